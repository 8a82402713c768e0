// The simulation step done the plain way, kept as the oracle of the fast one: every trip of
// every cell tested on every step, each vehicle with its own copy of its route in driving
// order, nodes and route positions found by linear search, the link loads in counters of its
// own, and the overlay drawn on a canvas that has never drawn before.
//
// It runs beside a Model on the same cells, nodes and edit texts, and never changes them, so
// after every step the two can be compared: vehicles, loads and pixels. Used by the
// differential tests and by the benchmarks for the plain figures.
#pragma once

#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "canvas/raster_canvas.h"
#include "core/convert.h"
#include "model/model.h"

namespace velmora::oracle {

class PlainDay {
 public:
  struct Vehicle {
    std::vector<TAgent*> route;     // driving order
    const Route* source = nullptr;  // the trip's route it was copied from
    TAgent* currentNode = nullptr;
    TAgent* previousNode = nullptr;
    uint8_t direction = 0;
  };

  // Starts from the model's clock and loads as they are now.
  PlainDay(Model& model, int width, int height)
      : model_(model),
        width_(width),
        height_(height),
        pixels_(static_cast<size_t>(width) * height, 0),
        stepCount_(model.day.stepCount),
        prevClockHours_(model.day.prevClockHours) {
    const size_t n = model.network.nodeList.size();
    loads_.assign(n, std::vector<int32_t>(n, 0));
    for (size_t b = 0; b < n; ++b)
      for (size_t a = 0; a < n && a < model.network.nodeList[b]->linkLoad.size(); ++a)
        loads_[b][a] = model.network.nodeList[b]->linkLoad[a];
  }

  // One step with the model's time scale and the given text of the load scale.
  void Step(const std::string& loadScaleText) {
    ++stepCount_;
    const int64_t m =
        static_cast<int64_t>(stepCount_) % static_cast<int64_t>(model_.day.stepsPerDay);
    const double h = static_cast<double>(static_cast<long double>(m) /
                                         static_cast<long double>(model_.day.stepsPerHour));
    const long double quotient = static_cast<long double>(h) / 0.01;
    const long double rounded = h >= 0 ? quotient + 0.5L : quotient - 0.5L;
    clockHours_ = static_cast<double>(static_cast<long double>(std::truncl(rounded)) * 0.01);

    // A departure is due when its whole tenths, in hundredths, lie in the window from the
    // hundredth after the previous clock to the clock.
    const int64_t lo = Hundredths(prevClockHours_) + 1;
    const int64_t hi = Hundredths(clockHours_);
    auto due = [&](long double t) {
      if (!(std::fabs(t) <= 3072.0L)) return false;
      const int64_t tenths = std::llrint(t / static_cast<long double>(0.1));
      return lo <= 10 * tenths && 10 * tenths <= hi;
    };
    for (int32_t row = 0; row < model_.town.cells.Rows(); ++row) {
      for (int32_t col = 0; col < model_.town.cells.Cols(); ++col) {
        for (const Trip& trip : model_.town.cells.At(col, row)->trips) {
          const size_t count = trip.route ? trip.route->size() : 0;
          if (due(trip.eveningDeparture)) {
            if (count > 1) Release(*trip.route, 0);
          } else if (due(trip.morningDeparture) && count > 1) {
            Release(*trip.route, 1);
          }
        }
      }
    }
    prevClockHours_ = clockHours_;
    onRoad_ = vehicles_.size();
    Advance();
    Draw(StrToInt(loadScaleText));
  }

  const std::vector<Vehicle>& Vehicles() const { return vehicles_; }
  // B's counter of the link from A, as the model keeps it in B.linkLoad[index of A].
  int32_t Load(size_t b, size_t a) const { return loads_[b][a]; }
  const std::vector<uint32_t>& Pixels() const { return pixels_; }
  size_t OnRoad() const { return onRoad_; }
  double ClockHours() const { return clockHours_; }

 private:
  static int64_t Hundredths(double clock) {
    return std::llrint(static_cast<long double>(clock) * 100);
  }

  int32_t IndexOf(const TAgent* node) const {
    for (size_t i = 0; i < model_.network.nodeList.size(); ++i)
      if (model_.network.nodeList[i].get() == node) return static_cast<int32_t>(i);
    return -1;
  }

  void Release(const Route& route, uint8_t direction) {
    Vehicle v;
    v.route.assign(route.begin(), route.end());
    if (direction == 1) v.route.assign(route.rbegin(), route.rend());
    v.currentNode = v.route.front();
    v.source = &route;
    v.direction = direction;
    vehicles_.push_back(std::move(v));
  }

  void Advance() {
    std::vector<size_t> arrived;
    const size_t n = vehicles_.size();
    for (size_t k = 0; k < n; ++k) {
      Vehicle& v = vehicles_[k];
      TAgent* cur = v.currentNode;
      const int32_t ci = IndexOf(cur);
      size_t p = 0;
      while (v.route[p] != cur) ++p;
      TAgent* next = v.route[p + 1];
      ++loads_[static_cast<size_t>(IndexOf(next))][static_cast<size_t>(ci)];
      if (v.previousNode != nullptr)
        --loads_[static_cast<size_t>(ci)][static_cast<size_t>(IndexOf(v.previousNode))];
      if (next == v.route.back()) arrived.push_back(k);
      v.previousNode = cur;
      v.currentNode = next;
    }
    for (size_t k : arrived) {
      const Vehicle& v = vehicles_[k];
      --loads_[static_cast<size_t>(IndexOf(v.currentNode))]
              [static_cast<size_t>(IndexOf(v.previousNode))];
    }
    // Every vehicle is in the list once, so removing the arrived ones one by one, each found by
    // reference, leaves the others in their order: the list is compacted in one pass.
    std::vector<Vehicle> kept;
    kept.reserve(vehicles_.size() - arrived.size());
    size_t next = 0;
    for (size_t k = 0; k < vehicles_.size(); ++k) {
      if (next < arrived.size() && arrived[next] == k) {
        ++next;
        continue;
      }
      kept.push_back(std::move(vehicles_[k]));
    }
    vehicles_.swap(kept);
  }

  void Draw(int32_t scale) {
    RasterCanvas canvas(PixelBuffer{pixels_.data(), width_, height_, width_});
    canvas.SetBrushColor(clBlack);
    canvas.SetPenColor(clBlack);
    canvas.SetPenWidth(1);
    canvas.Rectangle(0, 0, width_, height_);

    const auto& positions = model_.network.nodePositions;
    canvas.SetPenColor(clYellow);
    canvas.SetPenStyle(PenStyle::Solid);
    for (size_t i = 0; i < model_.network.nodeList.size(); ++i) {
      for (const TLink& link : model_.network.nodeList[i]->links) {
        const size_t t = static_cast<size_t>(link.node);
        const long double quotient =
            static_cast<long double>(loads_[i][t]) / static_cast<long double>(scale);
        canvas.SetPenWidth(static_cast<int>(std::ceil(quotient)) + 2);
        canvas.MoveTo(positions[i][0], positions[i][1]);
        canvas.LineTo(positions[t][0], positions[t][1]);
      }
    }
    canvas.SetPenColor(clRed);
    for (size_t i = 0; i < model_.network.nodeList.size(); ++i) {
      for (const TLink& link : model_.network.nodeList[i]->links) {
        const size_t t = static_cast<size_t>(link.node);
        canvas.SetPenWidth(2);
        canvas.MoveTo(positions[i][0], positions[i][1]);
        canvas.LineTo(positions[t][0], positions[t][1]);
      }
    }
    canvas.SetPenWidth(1);
    for (auto& node : model_.network.nodeList) node->Draw(canvas);
  }

  Model& model_;
  int width_, height_;
  std::vector<uint32_t> pixels_;
  std::vector<std::vector<int32_t>> loads_;
  std::vector<Vehicle> vehicles_;
  uint32_t stepCount_;
  double clockHours_ = 0.0;
  double prevClockHours_;
  size_t onRoad_ = 0;
};

}  // namespace velmora::oracle
