// The simulation step: the clock, the release of vehicles, their movement over the network
// with the link-load counters, and the drawing of the loads.
#include "model/traffic.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <memory>
#include <string>

#include "core/convert.h"
#include "core/error.h"
#include "core/huge_pages.h"
#include "core/rounding.h"
#include "model/model.h"
#include "model/node_index_table.h"
#include "model/vehicle_pool.h"

namespace velmora {

namespace {

// The clock is whole hundredths: n times the double nearest 0.01.
constexpr double kHundredth = 0.01;

// The clock's time of day as whole hundredths (it is always n times the double nearest 0.01).
int64_t HundredthsOf(double clock) {
  return RoundHalfEven(static_cast<long double>(clock) * 100);
}

using TravellerPool = SlabPool<sizeof(TTraveller), alignof(TTraveller)>;

// Never destroyed, so vehicles released during program exit still have their pool.
TravellerPool& Pool() {
  static TravellerPool* pool = new TravellerPool;
  return *pool;
}

// Counters wrap like the signed 32-bit integers they are instead of overflowing.
inline void AddTo(int32_t& counter, int32_t delta) {
  counter = static_cast<int32_t>(static_cast<uint32_t>(counter) + static_cast<uint32_t>(delta));
}

}  // namespace

// ---- Vehicles. ----

void* TTraveller::operator new(size_t size) {
  if (size != sizeof(TTraveller)) return ::operator new(size);
  return Pool().Take();
}

void TTraveller::operator delete(void* block, size_t size) noexcept {
  if (block == nullptr) return;
  if (size != sizeof(TTraveller)) return ::operator delete(block);
  Pool().Give(block);
}

// ---- The simulation step. ----

void SimulationStep(Model& m) {
  ++m.stepCount;
  const int64_t stepOfDay =
      CheckedMod(static_cast<int64_t>(m.stepCount), static_cast<int64_t>(m.stepsPerDay));
  const double h = static_cast<double>(CheckedFloatDiv(stepOfDay, m.stepsPerHour));

  // Rounded to hundredths by dividing by the double nearest 0.01 in extended precision; that
  // divisor is a little above 0.01, so exact halves go toward zero (0.125 -> 0.12).
  const long double quotient = static_cast<long double>(h) / kHundredth;
  const int64_t n = TruncToInt64(h >= 0 ? quotient + 0.5L : quotient - 0.5L);
  m.clockHours = static_cast<double>(static_cast<long double>(n) * kHundredth);

  // Release every departure of this step's window, prevClockHours + 0.01 up to clockHours,
  // compared in whole hundredths so that each tenth of the day is due in exactly one window.
  if (!m.departures.ValidFor(m.cells)) m.departures.Build(m.cells);
  const std::vector<uint32_t>& dueKeys =
      m.departures.Due(HundredthsOf(m.prevClockHours) + 1, HundredthsOf(m.clockHours));

  // The list grows in steps of its own, each advised to huge pages: at a fine grid's morning
  // peak it holds millions of vehicles, and fresh room faulted in 4 KB at a time costs more than
  // the copying.
  const size_t onRoad = m.travellers.size() + dueKeys.size();
  if (onRoad > m.travellers.capacity())
    ReserveHuge(m.travellers, std::max(onRoad, 2 * m.travellers.capacity()));

  const auto release = [&m](const RouteRef& route, bool morning) {
    auto vehicle = std::make_unique<TTraveller>();
    vehicle->route = route;
    vehicle->direction = morning ? 1 : 0;
    vehicle->position = 0;
    vehicle->entries = vehicle->route->data();
    vehicle->entryCount = static_cast<uint32_t>(vehicle->route->size());
    vehicle->currentNode = vehicle->At(0);
    vehicle->previousNode = nullptr;
    m.travellers.push_back(std::move(vehicle));
  };
  const size_t due = dueKeys.size();
  if (m.departures.NumbersRoutes()) {
    // The index holds the route of every listed trip (more than one entry) as the trip held
    // it when the index was built, which is the trip's route now: any change to the trips
    // since would have made the index invalid and rebuilt it above.
    // A large network has more routes than the cache holds: each route (its count is raised
    // and its entries read) is fetched a few releases ahead.
    constexpr size_t kAhead = 8;
    for (size_t i = 0; i < due; ++i) {
      if (i + kAhead < due) __builtin_prefetch(m.departures.RouteOf(dueKeys[i + kAhead]).get(), 1);
      release(m.departures.RouteOf(dueKeys[i]), DepartureIndex::IsMorning(dueKeys[i]));
    }
  } else {
    // Each release reads a trip touched long ago, somewhere in the grid's hundreds of
    // megabytes of trips: the trips are fetched well ahead, both ends of each, as a trip can
    // straddle two cache lines. Their routes are not: all trips of a pair of nodes share one,
    // so the few routes stay in the cache.
    const std::vector<const Trip*>& dueTrips = m.departures.Trips(m.cells, dueKeys);
    constexpr size_t kAhead = 16;
    for (size_t i = 0; i < due; ++i) {
      if (i + kAhead < due) {
        if (const Trip* ahead = dueTrips[i + kAhead]) {
          __builtin_prefetch(ahead);
          __builtin_prefetch(reinterpret_cast<const char*>(ahead) + sizeof(Trip) - 1);
        }
      }
      const Trip* trip = dueTrips[i];
      if (trip == nullptr || !trip->HasWorkplace() || trip->RouteCount() <= 1) continue;
      release(trip->route, DepartureIndex::IsMorning(dueKeys[i]));
    }
  }
  // The window is used up once its departures are on the road: a failure later in this step
  // must not make the next step release them a second time.
  m.prevClockHours = m.clockHours;

  m.host().SetCaption(ValueLabel::OnRoad, std::to_string(m.travellers.size()));
  AdvanceTravellers(m);
  m.host().SetCaption(ValueLabel::Time, FloatToStr(m.clockHours));
  m.host().SetCaption(ValueLabel::Steps, std::to_string(m.stepCount));
  m.host().ChartSetLine(m.clockHours);
}

void AdvanceTravellers(Model& m) {
  const size_t nodeCount = m.nodeList.size();
  // Every node keeps a counter per node index; arrays not yet sized for all nodes grow with
  // zeros, as sizing the loads does, so no counter is ever written out of range.
  for (const auto& node : m.nodeList)
    if (node->linkLoad.size() < nodeCount) node->linkLoad.resize(nodeCount, 0);

  const NodeIndexTable table(m.nodeList);
  // A remembered index is used when nodeList still holds the node there; otherwise the node
  // is looked up, and the answer remembered.
  auto indexOf = [&](const TAgent* node, int32_t& remembered) {
    if (remembered >= 0 && static_cast<size_t>(remembered) < nodeCount &&
        m.nodeList[static_cast<size_t>(remembered)].get() == node)
      return remembered;
    remembered = table.Find(node);
    return remembered;
  };

  // Every vehicle moves one node on: it enters the link to the next node and leaves the link
  // it came by. A vehicle reaching its last node has arrived; it leaves that last link in the
  // same step, so it never adds to a counter, and it is removed. The survivors are compacted
  // in place, keeping their order.
  //
  // The loop is bound by memory latency: the vehicles lie all over their pool, so they are
  // fetched well ahead; a vehicle's next route entry (and, when it is about to arrive, its
  // route's count) a little ahead, from the vehicle fetched by then. Routes are shared per pair
  // of nodes: on a small network they all stay in the cache, on a large one they do not.
  constexpr size_t kAhead = 24;
  constexpr size_t kEntryAhead = 8;
  size_t kept = 0;
  const size_t count = m.travellers.size();
  for (size_t k = 0; k < count; ++k) {
    if (k + kAhead < count) __builtin_prefetch(m.travellers[k + kAhead].get(), 1);
    if (k + kEntryAhead < count) {
      const TTraveller& ahead = *m.travellers[k + kEntryAhead];
      if (ahead.entries != nullptr && ahead.position + 1 < ahead.entryCount) {
        __builtin_prefetch(ahead.entries + (ahead.direction == 0
                                                ? ahead.position + 1
                                                : ahead.entryCount - 2 - ahead.position));
        if (ahead.position + 2 == ahead.entryCount) __builtin_prefetch(ahead.route.get(), 1);
      }
    }
    TTraveller& v = *m.travellers[k];
    if (v.entries == nullptr && v.route) {
      v.entries = v.route->data();
      v.entryCount = static_cast<uint32_t>(v.route->size());
    }
    TAgent* cur = v.currentNode;
    const size_t nextPosition = static_cast<size_t>(v.position) + 1;
    const int32_t ci = indexOf(cur, v.currentIndex);
    const int32_t pi = v.previousNode ? indexOf(v.previousNode, v.previousIndex) : kNoNode;
    TAgent* next = nullptr;
    if (nextPosition < v.entryCount)
      next = v.entries[v.direction == 0 ? nextPosition : v.entryCount - 1 - nextPosition];
    const int32_t ni = table.Find(next);
    if (ci < 0 || ni < 0 || (v.previousNode != nullptr && pi < 0)) {
      // A vehicle whose nodes are not in nodeList (or whose route has run out) leaves the road
      // without touching any counter but the one of the link it is known to be on.
      if (ci >= 0 && pi >= 0) AddTo(cur->linkLoad[static_cast<size_t>(pi)], -1);
      m.travellers[k].reset();
      continue;
    }

    const bool arrived = nextPosition + 1 == v.entryCount;
    if (!arrived) AddTo(next->linkLoad[static_cast<size_t>(ci)], 1);
    if (v.previousNode != nullptr) AddTo(cur->linkLoad[static_cast<size_t>(pi)], -1);
    v.previousNode = cur;
    v.previousIndex = ci;
    v.currentNode = next;
    v.currentIndex = ni;
    v.position = static_cast<uint32_t>(nextPosition);

    if (arrived) {
      m.travellers[k].reset();
    } else {
      if (kept != k) m.travellers[kept] = std::move(m.travellers[k]);
      ++kept;
    }
  }
  m.travellers.resize(kept);

  m.ClearOverlay();
  DrawLinkLoads(m);
  DrawLinks(m);
  DrawNodes(m);
}

void DrawLinkLoads(Model& m) {
  const std::string text = m.host().EditText(EditBox::TScale);
  const int32_t d = StrToInt(text);
  // A negative scale would give widths of 2 or less that shrink with the traffic: refused
  // like a text that is not a number.
  if (d < 0) throw VError::NotAnInteger(text);

  Canvas& overlay = m.Overlay();
  overlay.SetPenColor(clYellow);
  overlay.SetPenStyle(PenStyle::Solid);
  const size_t positions = m.nodePositions.size();
  for (size_t i = 0; i < m.nodeList.size(); ++i) {
    const TAgent& node = *m.nodeList[i];
    for (const TLink& link : node.links) {
      const size_t t = static_cast<size_t>(link.node);
      // Node i's line toward t carries the load from t to i.
      const int32_t load = t < node.linkLoad.size() ? node.linkLoad[t] : 0;
      const long double quotient = CheckedFloatDiv(load, d);
      overlay.SetPenWidth(static_cast<int>(std::ceil(quotient)) + 2);
      if (i >= positions || t >= positions) continue;
      overlay.MoveTo(m.nodePositions[i][0], m.nodePositions[i][1]);
      overlay.LineTo(m.nodePositions[t][0], m.nodePositions[t][1]);
    }
  }
}

}  // namespace velmora
