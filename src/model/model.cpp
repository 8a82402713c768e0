// The command table, grid setup and teardown, the overlay layer, and the operations that read
// their numbers from the edit boxes.
#include "model/model.h"

#include <array>
#include <cmath>
#include <string>

#include "core/convert.h"
#include "core/error.h"
#include "core/random.h"
#include "core/rounding.h"
#include "model/agent.h"
#include "model/calc_AStern.h"
#include "model/cell.h"
#include "model/planning.h"
#include "model/traffic.h"

namespace velmora {

Model::Model(Host& host) : host_(host) {
  // The town's routes and catchments and the day's vehicles refer to the nodes.
  network.Attach(town);
  network.Attach(day);
}

// ---- Command table. ----

void Model::FormCreate() {
  SetupGrid();
  E_timeScaleChange();
}

void Model::B_loadDataClick() {
  const Progress& progress = host_.CommandProgress();
  town.workerCells.clear();
  town.jobCells.clear();
  LoadLandUse(ProgressPart(progress, 0.0, 0.45));
  AssignWorkplaces(town, ProgressPart(progress, 0.45, 1.0));
}

void Model::B_lineWorkClick() {
  DrawLinesToWork(town, host_.BaseCanvas(), host_.CommandProgress());
}

void Model::RB_sAllClick() {
  ApplyShowFilter(town, host_.CheckedFilter(), host_.BaseCanvas());
}

void Model::B_deleteAllClick() {
  host_.SetTimerEnabled(false);
  Teardown();
}

void Model::B_agCreateClick() {
  const Progress& progress = host_.CommandProgress();
  CreateNodes();
  ClearOverlay();
  FormNetwork(network, 5 * static_cast<int64_t>(network.nodeList.size()) + 1, town.fieldWidth,
              town.fieldHeight, ProgressPart(progress, 0.0, 0.9));
  SizeLinkLoads(network, ProgressPart(progress, 0.9, 0.92));
  ClearOverlay();
  DrawNodes(network, Overlay());
  DrawLinks(network, Overlay());
  AssignNearestNodes(town, network, ProgressPart(progress, 0.92, 1.0));
  DrawNodes(network, Overlay());
}

void Model::B_agDeleteClick() {
  const Progress& progress = host_.CommandProgress();
  host_.SetTimerEnabled(false);
  ClearLinkLoads(network, ProgressPart(progress, 0.0, 0.3));
  network.DeleteNodes(ProgressPart(progress, 0.3, 1.0));
  ClearOverlay();
  DrawNodes(network, Overlay());
}

void Model::E_conDistChange() {
  // Both texts are read anew for every node, so a bad text stops the loop part way.
  for (const auto& node : network.nodeList) {
    node->SetConDist(StrToInt(host_.EditText(EditBox::ConDist)));
    node->SetRepDist(StrToInt(host_.EditText(EditBox::RepDist)));
  }
}

void Model::B_workPathClick() {
  const Progress& progress = host_.CommandProgress();
  PlanDepartures(ProgressPart(progress, 0.0, 0.3));
  PlanRoutes(town, network, ProgressPart(progress, 0.3, 0.8));
  // The trips are final: the departure index is built now rather than by the next step, which
  // would otherwise take a pass over every trip on top of its own work.
  IndexDepartures(day, town, DepartureIndex::kMaxRouteIds, ProgressPart(progress, 0.8, 1.0));
  host_.ChartShow();
}

void Model::B_findPathClick() {
  ResetRoute(network);
  // Both indices come from 0 .. n - 2: the last node is never chosen. With no nodes the draw
  // is Random(-1) and the list access fails.
  const int32_t n = static_cast<int32_t>(network.nodeList.size());
  TAgent* start = network.NodeAt(Random(n - 1));
  TAgent* goal = network.NodeAt(Random(n - 1));
  FindPath(network, network.routeList, start, goal);
  DrawNodes(network, Overlay());
  DrawLinks(network, Overlay());
  DrawRoute(network, Overlay());
}

void Model::B_showGraphClick() {
  host_.ChartShow();
}

void Model::B_startTClick() {
  host_.SetTimerEnabled(!host_.TimerEnabled());
}

void Model::B_oneStepClick() {
  SimulationStep();
}

void Model::E_timeScaleChange() {
  const int32_t value = StrToInt(host_.EditText(EditBox::TimeScale));
  // Only the low 8 bits are kept, as a two's-complement signed byte.
  day.stepsPerHour = static_cast<int8_t>(static_cast<uint8_t>(value & 0xFF));
  day.stepsPerDay = static_cast<int16_t>(day.stepsPerHour * 24);
  const long double perStep = CheckedFloatDiv(1.0L, day.stepsPerHour);
  const int64_t minutes = RoundHalfEven(60.0L * perStep);
  host_.SetCaption(ValueLabel::Min, std::to_string(minutes) + " min");
}

void Model::E_tIntervChange() {
  host_.SetTimerInterval(StrToInt(host_.EditText(EditBox::TInterv)));
}

void Model::Timer1Timer() {
  SimulationStep();
}

void Model::FormClose() {
  Teardown();
}

// ---- Grid and layers. ----

void Model::SetupGrid() {
  const std::string text = host_.EditText(EditBox::CellScale);
  const int32_t size = StrToInt(text);
  // A negative size would give a grid of negative extent: refused like a non-number, before
  // anything changes.
  if (size < 0) throw VError::NotAnInteger(text);
  town.SetGeometry(size, host_.ImageWidth(), host_.ImageHeight());
  // Everything the earlier setup held goes: its cells with their trips, then its network with
  // the vehicles on it.
  const Progress& progress = host_.CommandProgress();
  town.NewGrid(ProgressPart(progress, 0.0, 0.4));
  network.DeleteNodes(ProgressPart(progress, 0.4, 0.5));
  CreateOverlay();
  CreateCells(town, ProgressPart(progress, 0.5, 0.6));
  InitCells(town, host_.BaseCanvas(), ProgressPart(progress, 0.6, 1.0));
}

void Model::Teardown() {
  const Progress& progress = host_.CommandProgress();
  if (!town.cells.Empty()) town.Clear(ProgressPart(progress, 0.0, 0.8));
  if (!network.nodeList.empty()) {
    network.DeleteNodes(ProgressPart(progress, 0.8, 0.95));
    host_.DestroyOverlay();
  }
  if (!day.travellers.empty()) {
    day.DropVehicles(ProgressPart(progress, 0.95, 1.0));
    network.routeList.clear();
  }
  Canvas& base = host_.BaseCanvas();
  base.SetBrushColor(clWhite);
  base.SetPenColor(clWhite);
  base.SetPenWidth(1);
  base.Rectangle(0, 0, host_.ImageWidth(), host_.ImageHeight());
}

void Model::CreateOverlay() {
  host_.CreateOverlay();
  Canvas& overlay = Overlay();
  overlay.SetBrushColor(clBlack);
  overlay.Rectangle(0, 0, host_.ImageWidth(), host_.ImageHeight());
}

void Model::ClearOverlay() {
  Canvas& overlay = Overlay();
  overlay.SetBrushColor(clBlack);
  overlay.SetPenColor(clBlack);
  overlay.SetPenWidth(1);
  overlay.Rectangle(0, 0, host_.ImageWidth(), host_.ImageHeight());
}

Canvas& Model::Overlay() {
  Canvas* canvas = host_.OverlayCanvas();
  return canvas ? *canvas : nullCanvas_;
}

// ---- Operations that read the window's inputs. ----

void Model::LoadLandUse(const Progress& progress) {
  // All three pictures are read before any cell changes, so a missing or unreadable file leaves
  // the counts, trips, colours and captions as they were.
  progress.Report(0.0, "reading the pictures");
  const std::string folder = host_.ExecutableDir() + kPicturesFolder;
  const auto workers = host_.LoadPicture(folder + "arbeiter.bmp");
  const auto workplaces = host_.LoadPicture(folder + "arbeitsstaetten.bmp");
  const auto retail = host_.LoadPicture(folder + "verkaufsflaechen.bmp");
  const LandUseTotals totals =
      ReadLandUse(town, *workers, *workplaces, *retail, ProgressPart(progress, 0.05, 0.7));
  ApplyShowFilter(town, host_.CheckedFilter(), host_.BaseCanvas(),
                  ProgressPart(progress, 0.7, 1.0));
  host_.SetCaption(ValueLabel::Worker, std::to_string(totals.workers));
  host_.SetCaption(ValueLabel::WorkPl, std::to_string(totals.workplaces));
  host_.SetCaption(ValueLabel::Retail, std::to_string(totals.retail));
}

void Model::CreateNodes() {
  velmora::CreateNodes(network, StrToInt(host_.EditText(EditBox::NodeNumber)), host_.ImageWidth(),
                       host_.ImageHeight());
}

void Model::PlanDepartures(const Progress& progress) {
  const long double deviation = StrToSingle(host_.EditText(EditBox::STD));
  const long double morningMean = StrToSingle(host_.EditText(EditBox::MDep));
  const long double eveningMean = StrToSingle(host_.EditText(EditBox::EDep));
  const DepartureHistogram histogram =
      velmora::PlanDepartures(town, deviation, morningMean, eveningMean, progress);
  host_.ChartClear();
  for (int k = 0; k < kDepartureBins; ++k)
    host_.ChartAddPoint(k / 10.0, static_cast<double>(histogram[static_cast<size_t>(k)]));
}

void Model::SimulationStep() {
  const Progress& progress = host_.CommandProgress();
  AdvanceClock(day);
  ReleaseDue(day, town, ProgressPart(progress, 0.0, 0.4));
  host_.SetCaption(ValueLabel::OnRoad, std::to_string(day.travellers.size()));
  AdvanceTravellers(day, network, ProgressPart(progress, 0.4, 0.9));
  DrawTraffic();
  host_.SetCaption(ValueLabel::Time, FloatToStr(day.clockHours));
  host_.SetCaption(ValueLabel::Steps, std::to_string(day.stepCount));
  host_.ChartSetLine(day.clockHours);
}

void Model::DrawTraffic() {
  ClearOverlay();
  // The load scale is read where the loads are drawn, after the vehicles have moved: a bad text
  // fails there, with the overlay cleared.
  const std::string text = host_.EditText(EditBox::TScale);
  const int32_t scale = StrToInt(text);
  // A negative scale would give widths of 2 or less that shrink with the traffic: refused like
  // a text that is not a number.
  if (scale < 0) throw VError::NotAnInteger(text);
  DrawLinkLoads(network, Overlay(), scale);
  DrawLinks(network, Overlay());
  DrawNodes(network, Overlay());
}

}  // namespace velmora
