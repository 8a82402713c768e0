// The model of the main window: its state in three owners (the town, the network and the day)
// and its command table, one handler per control event. Plain C++: it reaches the window only
// through Host, reading the edit texts there at the moment an operation needs them and handing
// the parts plain numbers. The parts do the work: cell.h (cells, land use, pairing), agent.h
// (nodes, formation, catchment), calc_AStern.h (route search), planning.h (commute planning)
// and traffic.h (the clock and the vehicles).
#pragma once

#include "canvas/canvas.h"
#include "model/day.h"
#include "model/host.h"
#include "model/network.h"
#include "model/town.h"

namespace velmora {

class Model {
 public:
  explicit Model(Host& host);
  Model(const Model&) = delete;
  Model& operator=(const Model&) = delete;

  // ---- Command table: one entry per control event of the main window. ----
  void FormCreate();         // window created, and "new setup"
  void B_loadDataClick();    // "load data"
  void B_lineWorkClick();    // "lines to work"
  void RB_sAllClick();       // any of the four "show" radio buttons
  void B_deleteAllClick();   // "delete all"
  void B_agCreateClick();    // "agents create"
  void B_agDeleteClick();    // "agents delete"
  void E_conDistChange();    // text of E_conDist or E_repDist changed
  void B_workPathClick();    // "workers path"
  void B_findPathClick();    // "find path"
  void B_showGraphClick();   // "show graph1"
  void B_startTClick();      // "startTimer"
  void B_oneStepClick();     // "oneStep"
  void E_timeScaleChange();  // text of E_timeScale changed
  void E_tIntervChange();    // text of E_tInterv changed
  void Timer1Timer();        // timer tick
  void FormClose();          // main window closing

  // ---- The main window's operations that read the window's inputs or draw on it. ----
  void SetupGrid();
  void Teardown();
  void CreateOverlay();
  void ClearOverlay();
  // The overlay's canvas, or a canvas that draws nothing while no overlay exists.
  Canvas& Overlay();
  // The three pictures into the cells' counts and lists, the cells coloured by the show filter,
  // the totals shown.
  void LoadLandUse(const Progress& progress = kNoProgress);
  // Appends E_nodeNumber + 1 nodes.
  void CreateNodes();
  // Departure times around E_mDep and E_eDep with the deviation E_STD, and their histogram on
  // the chart.
  void PlanDepartures(const Progress& progress = kNoProgress);
  // One step of the clock: releases, movement, the loads drawn, the counts shown.
  void SimulationStep();

  Host& host() { return host_; }

  // ---- The model's state, by owner. ----
  Town town;
  Network network;
  Day day;

 private:
  // The redraw after the vehicles moved: the loads under the network (reads E_tScale).
  void DrawTraffic();

  Host& host_;
  NullCanvas nullCanvas_;
};

}  // namespace velmora
