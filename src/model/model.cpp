// The command table, grid setup and teardown, the overlay layer and the node list access.
#include "model/model.h"

#include <cmath>
#include <string>

#include "core/convert.h"
#include "core/error.h"
#include "core/random.h"
#include "core/rounding.h"
#include "model/planning.h"

namespace velmora {

// ---- Command table. ----

void Model::FormCreate() {
  SetupGrid();
  E_timeScaleChange();
}

void Model::B_loadDataClick() {
  workerCells.clear();
  jobCells.clear();
  LoadLandUse(*this);
  AssignWorkplaces(*this);
}

void Model::B_lineWorkClick() {
  DrawLinesToWork(*this);
}

void Model::RB_sAllClick() {
  ApplyShowFilter(*this);
}

void Model::B_deleteAllClick() {
  host_.SetTimerEnabled(false);
  Teardown();
}

void Model::B_workPathClick() {
  PlanDepartures(*this);
  PlanRoutes(*this);
  host_.ChartShow();
}

void Model::B_showGraphClick() {
  host_.ChartShow();
}

void Model::B_startTClick() {
  host_.SetTimerEnabled(!host_.TimerEnabled());
}

void Model::B_oneStepClick() {
  SimulationStep(*this);
}

void Model::Timer1Timer() {
  SimulationStep(*this);
}

void Model::FormClose() {
  Teardown();
}

void Model::E_timeScaleChange() {
  const int32_t value = StrToInt(host_.EditText(EditBox::TimeScale));
  // Only the low 8 bits are kept, as a two's-complement signed byte.
  stepsPerHour = static_cast<int8_t>(static_cast<uint8_t>(value & 0xFF));
  stepsPerDay = static_cast<int16_t>(stepsPerHour * 24);
  const long double perStep = CheckedFloatDiv(1.0L, stepsPerHour);
  const int64_t minutes = RoundHalfEven(60.0L * perStep);
  host_.SetCaption(ValueLabel::Min, std::to_string(minutes) + " min");
}

void Model::E_tIntervChange() {
  host_.SetTimerInterval(StrToInt(host_.EditText(EditBox::TInterv)));
}

void Model::B_agCreateClick() {
  CreateNodes(*this);
  ClearOverlay();
  FormNetwork(*this, 5 * static_cast<int64_t>(nodeList.size()) + 1);
  SizeLinkLoads(*this);
  ClearOverlay();
  DrawNodes(*this);
  DrawLinks(*this);
  AssignNearestNodes(*this);
  DrawNodes(*this);
}

void Model::B_agDeleteClick() {
  host_.SetTimerEnabled(false);
  ClearLinkLoads(*this);
  // Vehicles, routes and catchments refer to the nodes: they go before the nodes do.
  DropNodeReferences(*this);
  nodeList.clear();
  ClearOverlay();
  DrawNodes(*this);
}

void Model::E_conDistChange() {
  // Both texts are read anew for every node, so a bad text stops the loop part way.
  for (auto& node : nodeList) {
    node->SetConDist(StrToInt(host_.EditText(EditBox::ConDist)));
    node->SetRepDist(StrToInt(host_.EditText(EditBox::RepDist)));
  }
}

void Model::B_findPathClick() {
  ResetRoute(*this);
  // Both indices come from 0 .. n - 2: the last node is never chosen. With no nodes the draw
  // is Random(-1) and the list access fails.
  const int32_t n = static_cast<int32_t>(nodeList.size());
  TAgent* start = NodeAt(Random(n - 1));
  TAgent* goal = NodeAt(Random(n - 1));
  search.FindPath(routeList, start, goal, nodeList);
  DrawNodes(*this);
  DrawLinks(*this);
  DrawRoute(*this);
}

// ---- Grid and layers. ----

void Model::SetupGrid() {
  const std::string text = host_.EditText(EditBox::CellScale);
  const int32_t size = StrToInt(text);
  // A negative size would give a grid of negative extent: refused like a non-number, before
  // anything changes.
  if (size < 0) throw VError::NotAnInteger(text);
  cellSize = size;
  const long double width = host_.ImageWidth();
  const long double height = host_.ImageHeight();
  const long double cols = std::floor(CheckedFloatDiv(width, cellSize));
  const long double rows = std::floor(CheckedFloatDiv(height, cellSize));
  gridCols = static_cast<int32_t>(cols);
  gridRows = static_cast<int32_t>(rows);
  fieldWidth = gridCols * cellSize;
  fieldHeight = gridRows * cellSize;
  halfCell = cellSize / 2;

  // Everything the earlier setup held is released here: vehicles and routes first (they refer
  // to nodes), then the cells with their trips, then the nodes.
  travellers.clear();
  routeList.clear();
  cells.Clear();
  cells.Resize(gridCols, gridRows);
  workerCells.clear();
  jobCells.clear();
  retailCells.clear();
  nodeList.clear();

  CreateOverlay();
  CreateCells(*this);
  InitCells(*this);
}

void Model::Teardown() {
  if (!cells.Empty()) {
    cells.Clear();
    workerCells.clear();
    jobCells.clear();
    retailCells.clear();
  }
  if (!nodeList.empty()) {
    DropNodeReferences(*this);
    nodeList.clear();
    host_.DestroyOverlay();
  }
  if (!travellers.empty()) {
    travellers.clear();
    routeList.clear();
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

// ---- Nodes. ----

TAgent* Model::NodeAt(long long index) const {
  if (index < 0 || index >= static_cast<long long>(nodeList.size())) throw VError::ListIndex(index);
  return nodeList[static_cast<size_t>(index)].get();
}

int32_t Model::IndexOfNode(const TAgent* node) const {
  for (size_t i = 0; i < nodeList.size(); ++i)
    if (nodeList[i].get() == node) return static_cast<int32_t>(i);
  return -1;
}

}  // namespace velmora
