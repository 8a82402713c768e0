// The model's window onto the window framework: the only way the model reads edit texts,
// sets captions, draws, reads pictures, switches the timer and works the chart.
#pragma once

#include <array>
#include <cstddef>
#include <memory>
#include <string>

#include "canvas/canvas.h"
#include "canvas/picture.h"
#include "model/progress.h"

namespace velmora {

enum class EditBox {
  CellScale,
  NodeNumber,
  ConDist,
  RepDist,
  STD,
  MDep,
  EDep,
  TScale,
  TInterv,
  TimeScale,
};

// Every edit box, in the order of EditBox.
constexpr std::array<EditBox, 10> kEditBoxes = {
    EditBox::CellScale, EditBox::NodeNumber, EditBox::ConDist, EditBox::RepDist,
    EditBox::STD,       EditBox::MDep,       EditBox::EDep,    EditBox::TScale,
    EditBox::TInterv,   EditBox::TimeScale};

// The text an edit box holds when the window opens. The deviation's is written with a decimal
// comma; a window whose decimal separator is another character shows that one in its place.
constexpr const char* DefaultEditText(EditBox box) {
  constexpr std::array<const char*, kEditBoxes.size()> kTexts = {"30", "41", "130", "40", "1,0",
                                                                 "8",  "17", "10",  "1",  "6"};
  return kTexts[static_cast<size_t>(box)];
}

// The drawing area's size in pixels at the default layout.
constexpr int kDefaultImageWidth = 640;
constexpr int kDefaultImageHeight = 666;

// The folder the land-use pictures are read from, inside the executable's folder.
constexpr const char* kPicturesFolder = "pictures/";

// The departures chart's time line before the first step, in hours.
constexpr double kInitialChartLine = 11.0;

// The timer's interval in milliseconds when the window opens.
constexpr int kDefaultTimerInterval = 1;

enum class ValueLabel { Worker, WorkPl, Retail, Min, Time, OnRoad, Steps };
constexpr size_t kValueLabelCount = 7;

// Which of the four "show" radio buttons is checked, in their order in the window.
enum class ShowFilter { All, Red, Green, Blue };

class Host {
 public:
  virtual ~Host() = default;

  virtual std::string EditText(EditBox box) const = 0;
  virtual void SetCaption(ValueLabel label, const std::string& caption) = 0;
  virtual ShowFilter CheckedFilter() const = 0;

  // Current size of the drawing area Image_Cells.
  virtual int ImageWidth() const = 0;
  virtual int ImageHeight() const = 0;
  // The base layer's canvas; it always exists.
  virtual Canvas& BaseCanvas() = 0;
  // Creates a fresh overlay layer of the drawing area's size over the base layer, replacing
  // (and releasing) any earlier one. Its canvas starts with the default pen and brush.
  virtual void CreateOverlay() = 0;
  // Removes the overlay layer from the window and releases it.
  virtual void DestroyOverlay() = 0;
  // The overlay's canvas, or nullptr while no overlay exists.
  virtual Canvas* OverlayCanvas() = 0;

  // Folder of the running executable, ending in a path separator.
  virtual std::string ExecutableDir() const = 0;
  // Loads a bitmap file; raises a VError naming the path when it is missing or unreadable.
  virtual std::unique_ptr<Picture> LoadPicture(const std::string& path) = 0;

  virtual bool TimerEnabled() const = 0;
  virtual void SetTimerEnabled(bool enabled) = 0;
  virtual void SetTimerInterval(int milliseconds) = 0;

  // The departures chart.
  virtual void ChartClear() = 0;
  virtual void ChartAddPoint(double x, double y) = 0;
  virtual void ChartSetLine(double x) = 0;
  virtual void ChartShow() = 0;

  // Where the command now running tells its progress; nowhere unless the window shows it.
  virtual const Progress& CommandProgress() { return kNoProgress; }
};

}  // namespace velmora
