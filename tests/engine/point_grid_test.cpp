// The integer distance the grid searches compare with, against PointDistance, and the grid's
// counts and nearest-point searches against plain loops over all points, at every kernel width
// this processor runs.
#include "engine/point_grid.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "core/cpu_features.h"
#include "core/distance.h"
#include "support/kernel_widths.h"
#include "support/plain_points.h"

namespace velmora {
namespace {

using oracle::PlainCount;
using oracle::PlainNearest;
using oracle::Point;

TEST(ExactDistance, MatchesPointDistanceOverTheWholeExactSpan) {
  // Every offset with |dx|, |dy| <= 4096, and the threshold rule the candidate scans use.
  for (int32_t dx = 0; dx <= kExactSpan; ++dx) {
    for (int32_t dy = 0; dy <= kExactSpan; ++dy) {
      const int64_t sq = int64_t{dx} * dx + int64_t{dy} * dy;
      const int32_t d = PointDistance(dx, dy, 0, 0);
      if (d != RoundedDistance(sq)) FAIL() << dx << "," << dy;
    }
  }
  for (int32_t dx : {-4096, -4095, -1000, -1}) {
    for (int32_t dy : {-4096, -129, 0, 77, 4096}) {
      EXPECT_EQ(PointDistance(dx, dy, 0, 0), RoundedDistance(int64_t{dx} * dx + int64_t{dy} * dy));
      EXPECT_EQ(PointDistance(0, 0, dx, dy), PointDistance(-dx, -dy, 0, 0));
    }
  }
  for (int64_t c = 1; c <= 6000; ++c) {
    // Rounded distance below c exactly up to c^2 - c.
    EXPECT_LT(RoundedDistance(c * c - c), c);
    EXPECT_GE(RoundedDistance(c * c - c + 1), c);
    EXPECT_EQ(MaxSquaredFor(c - 1), c * c - c);
  }
}

TEST(ExactDistance, SingleSquareBeyondTheSpanCanDiffer) {
  // 4107^2 = 16867449 is odd and above 2^24, so single precision holds 16867448, and with
  // dy = 2468 that crosses a rounding edge: 4791 where the exact distance is 4792. This is why the
  // grid is never used for spreads beyond 4096.
  EXPECT_EQ(PointDistance(4107, 2468, 0, 0), 4791);
  EXPECT_EQ(RoundedDistance(int64_t{4107} * 4107 + int64_t{2468} * 2468), 4792);
}

// The grid's counts and searches against the plain loops, with the kernels in force.
void CheckAgainstPlainLoops() {
  std::mt19937 rng(7);
  struct Layout {
    int32_t minX, minY, maxX, maxY, columnShift, rowShift, count;
  };
  // Dense and sparse; buckets of one pixel up to wider than the range; a range at negative
  // coordinates; the widest exact span; one spot; a crowd where most nearest points have ties.
  const Layout layouts[] = {{0, 0, 630, 660, 4, 7, 800},   {0, 0, 630, 660, 3, 3, 60},
                            {-50, -20, 40, 30, 0, 0, 200}, {0, 0, 100, 100, 8, 8, 300},
                            {0, 0, 4096, 4096, 6, 6, 400}, {5, 5, 5, 5, 4, 7, 30},
                            {0, 0, 20, 20, 2, 3, 120}};
  for (const Layout& l : layouts) {
    SCOPED_TRACE(l.count);
    std::uniform_int_distribution<int32_t> ux(l.minX, l.maxX), uy(l.minY, l.maxY);
    std::vector<Point> points;
    PointGrid grid;
    grid.Reset(l.minX, l.minY, l.maxX, l.maxY, l.columnShift, l.rowShift,
               static_cast<size_t>(l.count));
    for (int32_t i = 0; i < l.count; ++i) {
      points.push_back({ux(rng), uy(rng)});
      grid.Insert(i, points.back().x, points.back().y);
    }
    std::uniform_int_distribution<int32_t> radius(0, 200), pick(0, l.count - 1);
    for (int round = 0; round < 400; ++round) {
      // Move a point, sometimes only a pixel, sometimes anywhere.
      const int32_t moved = pick(rng);
      Point& p = points[static_cast<size_t>(moved)];
      if (round % 3 == 0) {
        p = {ux(rng), uy(rng)};
      } else {
        p.x = std::clamp(p.x + (round % 2 == 0 ? 1 : -1), l.minX, l.maxX);
        p.y = std::clamp(p.y + 1, l.minY, l.maxY);
      }
      grid.Move(moved, p.x, p.y);

      const int32_t self = pick(rng);
      const int32_t x = round % 5 == 0 ? ux(rng) : points[static_cast<size_t>(self)].x;
      const int32_t y = round % 5 == 0 ? uy(rng) : points[static_cast<size_t>(self)].y;
      const int64_t r = radius(rng);
      const int64_t r2 = round % 2 == 0 ? r * r : MaxSquaredFor(r);
      const Disc disc(r2);
      ASSERT_EQ(grid.CountWithin(x, y, disc), PlainCount(points, x, y, r2)) << round;

      int32_t want = 0, got = 0;
      const int32_t plain = PlainNearest(points, x, y, self, r2, &want);
      ASSERT_EQ(grid.NearestWithin(x, y, r2, self, &got), plain) << round;
      if (plain >= 0) {
        ASSERT_EQ(got, want);
      }
      // The disc's count without `self` and its nearest point: without guesses, with the right
      // one, with others (repeated, `self` among them) and with the right one among others.
      const Point& s = points[static_cast<size_t>(self)];
      const int64_t sx = s.x - x, sy = s.y - y;
      const int32_t a = pick(rng), b = pick(rng);
      const std::vector<std::vector<int32_t>> guessLists = {
          {}, {plain}, {a, self, a, b}, {b, plain, a}, {-1, 99999, plain}};
      for (const std::vector<int32_t>& guesses : guessLists) {
        const PointGrid::DiscCount scan =
            grid.CountAndNearest(x, y, disc, self, guesses.data(), guesses.size());
        ASSERT_EQ(scan.count, PlainCount(points, x, y, r2) - (sx * sx + sy * sy <= r2 ? 1 : 0));
        ASSERT_EQ(scan.nearest, plain) << round;
        if (plain >= 0) {
          ASSERT_EQ(scan.distance, want);
        }
      }

      // The growing search against the plain one over all points, with and without a limit.
      const int32_t all = PlainNearest(points, x, y, self, INT64_MAX, &want);
      const int64_t below = round % 4 == 0 ? 1000 : 999999;
      const int32_t grown = grid.Nearest(x, y, r, below, self, &got);
      if (all < 0 || want >= below) {
        ASSERT_EQ(grown, -1) << round;
      } else {
        ASSERT_EQ(grown, all) << round;
        ASSERT_EQ(got, want);
      }
    }
  }
}

using PointGridWidth = testing::KernelWidthTest;

TEST_P(PointGridWidth, CountsAndNearestMatchPlainLoopsWhilePointsMove) {
  ASSERT_EQ(KernelLanes(), GetParam());
  CheckAgainstPlainLoops();
}

INSTANTIATE_TEST_SUITE_P(EveryWidth, PointGridWidth, ::testing::ValuesIn(kKernelWidths),
                         testing::WidthName);

TEST(PointGrid, TiesGoToTheLowestIdAtTheSameRoundedDistance) {
  PointGrid grid;
  grid.Reset(0, 0, 200, 200, 4, 7, 6);
  grid.Insert(0, 100, 100);  // the query point itself, left out
  grid.Insert(1, 104, 101);  // squared 17: rounded 4
  grid.Insert(2, 103, 103);  // squared 18: rounded 4 as well
  grid.Insert(3, 100, 104);  // squared 16: rounded 4, the smallest square but a higher id
  grid.Insert(4, 100, 100);  // on the query point: rounded 0
  grid.Insert(5, 150, 150);
  int32_t d = -1;
  EXPECT_EQ(grid.NearestWithin(100, 100, 1000, 0, &d), 4);
  EXPECT_EQ(d, 0);
  grid.Move(4, 190, 10);
  EXPECT_EQ(grid.NearestWithin(100, 100, 1000, 0, &d), 1);
  EXPECT_EQ(d, 4);
  EXPECT_EQ(grid.Nearest(100, 100, 1, 999999, 0, &d), 1);
  // Far from everything: the growing search still finds the nearest.
  EXPECT_EQ(grid.Nearest(0, 200, 1, 999999, -1, &d), 3);
  EXPECT_EQ(d, PointDistance(0, 200, 100, 104));
  EXPECT_EQ(grid.Nearest(0, 200, 1, 100, -1, &d), -1);  // none below 100
}

}  // namespace
}  // namespace velmora
