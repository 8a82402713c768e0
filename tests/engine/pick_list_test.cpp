// The pick list against the vector it stands for: the k-th remaining entry and the removals.
#include "engine/pick_list.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

namespace velmora {
namespace {

TEST(PickList, FindsAndRemovesLikeAVector) {
  std::mt19937 rng(5);
  for (size_t n : {0u, 1u, 2u, 63u, 64u, 65u, 127u, 128u, 1000u, 4099u}) {
    PickList picks(n);
    std::vector<size_t> plain(n);
    for (size_t k = 0; k < n; ++k) plain[k] = k;
    while (!plain.empty()) {
      ASSERT_EQ(picks.Count(), plain.size());
      // Every rank answers like the vector now and then; one random rank always.
      if (rng() % 16 == 0) {
        for (size_t k = 0; k < plain.size(); ++k) ASSERT_EQ(picks.At(k), plain[k]) << n;
      }
      const size_t k = rng() % plain.size();
      ASSERT_EQ(picks.At(k), plain[k]) << n << " rank " << k;
      ASSERT_TRUE(picks.Present(plain[k]));
      picks.Remove(plain[k]);
      EXPECT_FALSE(picks.Present(plain[k]));
      plain.erase(plain.begin() + static_cast<ptrdiff_t>(k));
    }
    EXPECT_EQ(picks.Count(), 0u);
  }
}

}  // namespace
}  // namespace velmora
