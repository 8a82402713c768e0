// How far a long operation is, told to whoever shows it: the share of the work done and what is
// being done now. The model tells it at the natural points of its loops (a row of cells, a
// formation pass, a batch of pairings); the window decides whether and when to show it, so a
// report must cost next to nothing.
#pragma once

#include <cstdint>

namespace velmora {

class Progress {
 public:
  // `done` of the work (0 to 1) is behind, while doing `doing` (a short phrase that lives as
  // long as the program), the step-th of `steps` when steps > 0.
  virtual void Report(double done, const char* doing, int64_t step = 0,
                      int64_t steps = 0) const = 0;

 protected:
  ~Progress() = default;
};

// A progress that goes nowhere: for operations no one watches.
class NoProgress final : public Progress {
 public:
  void Report(double, const char*, int64_t, int64_t) const override {}
};
inline const NoProgress kNoProgress;

// A stretch of a larger piece of work: its own 0 to 1 is `from` to `to` of the whole.
class ProgressPart final : public Progress {
 public:
  ProgressPart(const Progress& whole, double from, double to)
      : whole_(whole), from_(from), to_(to) {}
  void Report(double done, const char* doing, int64_t step = 0, int64_t steps = 0) const override {
    whole_.Report(from_ + done * (to_ - from_), doing, step, steps);
  }

 private:
  const Progress& whole_;
  double from_, to_;
};

// The share k of n is, for reports inside a loop (0 for no n).
inline double Share(int64_t k, int64_t n) {
  return n > 0 ? static_cast<double>(k) / static_cast<double>(n) : 0.0;
}

// A loop of `total` items that tells its progress every `every` items.
class ProgressCount {
 public:
  ProgressCount(const Progress& progress, int64_t total, const char* doing, int64_t every = 1)
      : progress_(progress),
        total_(total),
        every_(every > 0 ? every : 1),
        next_(every_),
        doing_(doing) {}
  // One more item done.
  void Tick() {
    if (++done_ < next_) return;
    next_ += every_;
    progress_.Report(Share(done_, total_), doing_);
  }

 private:
  const Progress& progress_;
  int64_t total_, every_, next_;
  int64_t done_ = 0;
  const char* doing_;
};

}  // namespace velmora
