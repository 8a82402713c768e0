// The main window's port to the model: the Host the model reads edit texts, sets captions,
// draws, loads pictures, switches the timer and works the chart through, over the window's
// controls. Edit boxes and value labels are found by table, in the order of their enums.
#pragma once

#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <array>
#include <string>

#include "model/host.h"
#include "ui/frame_timer.h"
#include "ui/layer_view.h"

namespace velmora {

class TForm2;

class WindowHost : public Host {
 public:
  struct Controls {
    std::array<QLineEdit*, kEditBoxes.size()> edits{};  // by EditBox
    std::array<QLabel*, kValueLabelCount> labels{};     // by ValueLabel
    std::array<QRadioButton*, 4> filters{};             // by ShowFilter
    LayerView* image = nullptr;
    FrameTimer* timer = nullptr;
  };
  explicit WindowHost(const Controls& controls) : controls_(controls) {}

  // The chart window the chart operations act on; none until set.
  void SetChart(TForm2* chart) { chart_ = chart; }
  TForm2* Chart() const { return chart_; }
  // Overrides the folder the pictures folder is looked for in; empty means the folder of the
  // running executable.
  void SetExecutableDir(const std::string& folder) { executableDir_ = folder; }
  // Where commands tell their progress.
  void SetProgress(const Progress* progress) { progress_ = progress; }
  const Progress& CommandProgress() override { return progress_ ? *progress_ : kNoProgress; }

  // Edit texts, captions and the show filter.
  std::string EditText(EditBox box) const override;
  void SetCaption(ValueLabel label, const std::string& caption) override;
  ShowFilter CheckedFilter() const override;
  // The drawing layers.
  int ImageWidth() const override;
  int ImageHeight() const override;
  Canvas& BaseCanvas() override;
  void CreateOverlay() override;
  void DestroyOverlay() override;
  Canvas* OverlayCanvas() override;
  // Pictures.
  std::string ExecutableDir() const override;
  std::unique_ptr<Picture> LoadPicture(const std::string& path) override;
  // The timer.
  bool TimerEnabled() const override;
  void SetTimerEnabled(bool enabled) override;
  void SetTimerInterval(int milliseconds) override;
  // The departures chart.
  void ChartClear() override;
  void ChartAddPoint(double x, double y) override;
  void ChartSetLine(double x) override;
  void ChartShow() override;

 private:
  Controls controls_;
  TForm2* chart_ = nullptr;
  const Progress* progress_ = nullptr;
  std::string executableDir_;
};

}  // namespace velmora
