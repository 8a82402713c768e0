// The model state of the main window and its command table. Plain C++: it reaches the window
// only through Host. The operations the commands run live in the model's parts, each declared
// in its own header: cell.h (cells, land use, pairing), agent.h (nodes, formation, catchment),
// calc_AStern.h (route search), planning.h (commute planning) and traffic.h (the clock and
// the vehicles).
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

#include "model/agent.h"
#include "model/calc_AStern.h"
#include "model/cell.h"
#include "model/departure_index.h"
#include "model/host.h"
#include "model/planning.h"
#include "model/traffic.h"

namespace velmora {

class Model {
 public:
  explicit Model(Host& host) : host_(host) {}
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

  // ---- Grid and layers. ----
  void SetupGrid();
  void Teardown();
  void CreateOverlay();
  void ClearOverlay();
  // The overlay's canvas, or a canvas that draws nothing while no overlay exists.
  Canvas& Overlay();

  // The node at an index of nodeList; an index outside it raises the list index error.
  TAgent* NodeAt(long long index) const;
  // Index of a node in nodeList by reference, or -1.
  int32_t IndexOfNode(const TAgent* node) const;

  Host& host() { return host_; }

  // ---- Model state (public: the parts, the windows and the tests read it). ----
  CellGrid cells;
  std::vector<TCell*> workerCells;
  std::vector<TCell*> jobCells;
  std::vector<TCell*> retailCells;
  Route routeList;
  std::vector<std::unique_ptr<TTraveller>> travellers;

  NodeList nodeList;
  std::vector<std::array<int32_t, 2>> nodePositions;
  int32_t cellSize = 0;
  int32_t gridCols = 0;
  int32_t gridRows = 0;
  int32_t halfCell = 0;
  int32_t fieldWidth = 0;
  int32_t fieldHeight = 0;
  uint32_t stepCount = 0;
  int8_t stepsPerHour = 0;
  int16_t stepsPerDay = 0;
  double clockHours = 0.0;
  double prevClockHours = 0.0;

  AStarSearch search;
  // The trips that can depart, by departure tenth; rebuilt when the cells' version moves on.
  DepartureIndex departures;

 private:
  Host& host_;
  NullCanvas nullCanvas_;
};

}  // namespace velmora
