#include "app/window_host.h"

#include <QCoreApplication>
#include <QDir>

#include "app/timeGraph.h"
#include "ui/picture_reader.h"

namespace velmora {

std::string WindowHost::EditText(EditBox box) const {
  const QLineEdit* edit = controls_.edits[static_cast<size_t>(box)];
  return edit ? edit->text().toStdString() : std::string();
}

void WindowHost::SetCaption(ValueLabel label, const std::string& caption) {
  QLabel* target = controls_.labels[static_cast<size_t>(label)];
  if (!target) return;
  target->setText(QString::fromStdString(caption));
  target->adjustSize();
}

ShowFilter WindowHost::CheckedFilter() const {
  for (size_t k = 1; k < controls_.filters.size(); ++k)
    if (controls_.filters[k]->isChecked()) return static_cast<ShowFilter>(k);
  return ShowFilter::All;
}

int WindowHost::ImageWidth() const {
  return controls_.image->width();
}
int WindowHost::ImageHeight() const {
  return controls_.image->height();
}
Canvas& WindowHost::BaseCanvas() {
  return controls_.image->BaseCanvas();
}
void WindowHost::CreateOverlay() {
  controls_.image->CreateOverlay();
}
void WindowHost::DestroyOverlay() {
  controls_.image->DestroyOverlay();
}
Canvas* WindowHost::OverlayCanvas() {
  Canvas* canvas = controls_.image->OverlayCanvas();
  if (canvas) controls_.image->update();
  return canvas;
}

std::string WindowHost::ExecutableDir() const {
  if (!executableDir_.empty()) return executableDir_;
  return QDir::toNativeSeparators(QCoreApplication::applicationDirPath()).toStdString() +
         QDir::separator().toLatin1();
}

std::unique_ptr<Picture> WindowHost::LoadPicture(const std::string& path) {
  return LoadQImagePicture(path);
}

bool WindowHost::TimerEnabled() const {
  return controls_.timer->Enabled();
}
void WindowHost::SetTimerEnabled(bool enabled) {
  controls_.timer->SetEnabled(enabled);
}
void WindowHost::SetTimerInterval(int milliseconds) {
  controls_.timer->SetInterval(milliseconds);
}

void WindowHost::ChartClear() {
  if (chart_) chart_->ClearSeries();
}
void WindowHost::ChartAddPoint(double x, double y) {
  if (chart_) chart_->AddPoint(x, y);
}
void WindowHost::ChartSetLine(double x) {
  if (chart_) chart_->SetLineValue(x);
}
void WindowHost::ChartShow() {
  if (chart_) chart_->ShowAndRaise();
}

}  // namespace velmora
