// Departure tenths drawn a batch at a time against the extended draw, position by position, at
// every kernel width this processor runs.
#include "engine/departure_draws.h"

#include <gtest/gtest.h>

#include <vector>

#include "core/cpu_features.h"
#include "core/random.h"
#include "model/planning.h"
#include "support/kernel_widths.h"

namespace velmora {
namespace {

using DepartureBatchWidth = testing::KernelWidthTest;

TEST_P(DepartureBatchWidth, MatchesTheExtendedDraws) {
  // Batches of departures with alternating means against one extended GaussianDraw per
  // position: the same tenths and the same generator state after the batch. The cases of the
  // one-at-a-time test (planning tests), and a mean no double holds (the extended path for every
  // position).
  const long double cases[][3] = {
      {8.0f, 17.0f, 1.0f},  {7.5f, 16.3f, 0.7f},     {0.25f, 0.05f, 0.0f},
      {12.0f, 0.15f, 0.0f}, {0.0f, -3.3f, 40.0f},    {1e5f, 8.0f, 3e4f},
      {8.0f, 17.0f, 1e-7f}, {2.5e5f, -2.5e5f, 1e6f}, {0.1L, 17.0f, 1.0f}};
  for (const auto& [first, second, sd] : cases) {
    DepartureBatch batch(first, second, sd, TenthsOfPolarPair);
    SetRandSeed(static_cast<uint32_t>(first * 1000 + sd * 7));
    for (const size_t count : {1u, 2u, 7u, 5000u, 40000u}) {
      const uint32_t seed = RandSeed();
      const std::vector<int64_t> tenths = batch.Draw(count);
      const uint32_t after = RandSeed();
      SetRandSeed(seed);
      for (size_t i = 0; i < count; ++i) {
        const long double draw = GaussianDraw(i % 2 == 0 ? first : second, sd);
        ASSERT_EQ(tenths[i], TenthsOfHour(static_cast<double>(draw)))
            << first << " " << sd << " position " << i << " of " << count;
      }
      ASSERT_EQ(RandSeed(), after);
    }
  }
}

INSTANTIATE_TEST_SUITE_P(EveryWidth, DepartureBatchWidth, ::testing::ValuesIn(kKernelWidths),
                         testing::WidthName);

}  // namespace
}  // namespace velmora
