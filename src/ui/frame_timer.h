// The window's timer: an enable flag and an interval in milliseconds. Ticks arrive on the GUI
// thread only while it is enabled and the interval is above 0; at most one tick is pending.
#pragma once

#include <QObject>
#include <QTimer>
#include <functional>

namespace velmora {

class FrameTimer : public QObject {
  Q_OBJECT
 public:
  explicit FrameTimer(QObject* parent = nullptr);

  bool Enabled() const { return enabled_; }
  void SetEnabled(bool enabled);
  int Interval() const { return interval_; }
  void SetInterval(int milliseconds);
  // Whether ticks are being delivered now.
  bool Ticking() const { return timer_.isActive(); }
  void SetOnTick(std::function<void()> onTick) { onTick_ = std::move(onTick); }

 private:
  void Apply();

  QTimer timer_;
  bool enabled_ = false;
  int interval_ = 1;
  std::function<void()> onTick_;
};

}  // namespace velmora
