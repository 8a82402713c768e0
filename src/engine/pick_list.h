// A list of positions 0 .. n - 1 from which entries are taken out one by one while the others
// keep their order, with the k-th remaining entry found in a few steps. Asking for the k-th
// remaining entry and then removing it is what erasing element k from a vector of the same
// entries does, without moving the rest each time. Plain twin: that vector; pick_list_test
// holds the list to it, and land_use_oracle_test the pairing built on it to the plain pairing.
//
// The pairing asks for an entry tens of millions of times and removes one only every few dozen
// asks, so asking is made cheap and removing is paid in batches:
// - `order_` holds the entries present at the last compaction, in order. Entries removed since
//   then stay in it and are listed, by their index in `order_`, in `removed_` (sorted), at
//   most kPending of them; the next removal compacts `order_`.
// - The k-th present entry is order_[k + q], where q is the number of removed indices before
//   it. A removed index r_t (the t-th, from 0) has r_t - t present entries before it, so it
//   lies before the k-th present entry exactly when r_t - t <= k; `before_` holds those
//   numbers, so q is a count of small integers not above k, which takes no branch and no
//   chain of dependent memory reads (unlike a tree descent), and successive asks overlap.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <new>
#include <vector>

namespace velmora {

class PickList {
 public:
  // All n positions present.
  explicit PickList(size_t n) : present_(n, 1), count_(n) {
    if (n > static_cast<size_t>(INT32_MAX)) throw std::bad_alloc();
    order_.resize(n);
    for (size_t k = 0; k < n; ++k) order_[k] = static_cast<uint32_t>(k);
    before_.assign(kPending, kNever);
  }

  // Number of positions still present.
  size_t Count() const { return count_; }

  // The original position of the k-th present entry, counted from 0; k < Count().
  size_t At(size_t k) const {
    const auto rank = static_cast<int32_t>(k);
    // The unused tail of before_ holds kNever, which no rank reaches: the count runs over the
    // whole fixed array, in vector lanes.
    int32_t q = 0;
    for (size_t t = 0; t < kPending; ++t) q += before_[t] <= rank ? 1 : 0;
    return order_[k + static_cast<size_t>(q)];
  }

  // Takes out the entry at an original position that is still present.
  void Remove(size_t position) {
    if (removed_.size() == kPending) Compact();
    present_[position] = 0;
    --count_;
    // order_ is sorted, as positions only leave it.
    const auto index = static_cast<uint32_t>(
        std::lower_bound(order_.begin(), order_.end(), static_cast<uint32_t>(position)) -
        order_.begin());
    const size_t t = static_cast<size_t>(std::lower_bound(removed_.begin(), removed_.end(), index) -
                                         removed_.begin());
    removed_.insert(removed_.begin() + static_cast<std::ptrdiff_t>(t), index);
    for (size_t u = t; u < removed_.size(); ++u)
      before_[u] = static_cast<int32_t>(removed_[u]) - static_cast<int32_t>(u);
  }

  bool Present(size_t position) const { return present_[position] != 0; }

 private:
  // Removals held before a compaction: asks count over this many, compactions copy the list
  // once per this many removals.
  static constexpr size_t kPending = 64;
  static constexpr int32_t kNever = INT32_MAX;

  // Closes the gaps in order_: the runs between removed indices move down in one copy each.
  void Compact() {
    size_t kept = removed_.front();
    for (size_t t = 0; t < removed_.size(); ++t) {
      const size_t from = removed_[t] + 1;
      const size_t to = t + 1 < removed_.size() ? removed_[t + 1] : order_.size();
      std::copy(order_.begin() + static_cast<std::ptrdiff_t>(from),
                order_.begin() + static_cast<std::ptrdiff_t>(to),
                order_.begin() + static_cast<std::ptrdiff_t>(kept));
      kept += to - from;
    }
    order_.resize(kept);
    removed_.clear();
    before_.assign(kPending, kNever);
  }

  std::vector<uint8_t> present_;   // present_[p]: position p is still there
  std::vector<uint32_t> order_;    // present at the last compaction, in order
  std::vector<uint32_t> removed_;  // indices into order_ removed since, sorted
  std::vector<int32_t> before_;    // before_[t]: present entries before removed_[t]
  size_t count_ = 0;
};

}  // namespace velmora
