#include "ui/frame_timer.h"

namespace velmora {

FrameTimer::FrameTimer(QObject* parent) : QObject(parent) {
  timer_.setTimerType(Qt::PreciseTimer);
  connect(&timer_, &QTimer::timeout, this, [this] {
    if (onTick_) onTick_();
  });
}

void FrameTimer::SetEnabled(bool enabled) {
  enabled_ = enabled;
  Apply();
}

void FrameTimer::SetInterval(int milliseconds) {
  interval_ = milliseconds;
  Apply();
}

void FrameTimer::Apply() {
  if (enabled_ && interval_ > 0)
    timer_.start(interval_);
  else
    timer_.stop();
}

}  // namespace velmora
