#include "app/command_progress.h"

#include <QCoreApplication>
#include <QEvent>
#include <QWidget>
#include <algorithm>

namespace velmora {

namespace {

// The dialog's bar counts to this.
constexpr int kBarEnd = 1000;

bool IsUserInput(QEvent::Type type) {
  switch (type) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::MouseMove:
    case QEvent::Wheel:
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::ShortcutOverride:
    case QEvent::Shortcut:
    case QEvent::ContextMenu:
    case QEvent::InputMethod:
    case QEvent::TouchBegin:
    case QEvent::TouchUpdate:
    case QEvent::TouchEnd:
    case QEvent::TouchCancel:
    case QEvent::TabletPress:
    case QEvent::TabletMove:
    case QEvent::TabletRelease:
    case QEvent::DragEnter:
    case QEvent::DragMove:
    case QEvent::Drop:
    case QEvent::ToolTip:
      return true;
    default:
      return false;
  }
}

}  // namespace

CommandProgress::CommandProgress(QWidget* window) : QObject(window), window_(window) {}

CommandProgress::~CommandProgress() {
  if (running_) QCoreApplication::instance()->removeEventFilter(this);
  delete dialog_;
}

void CommandProgress::Begin(const QString& caption) {
  caption_ = caption;
  done_ = 0.0;
  doing_ = "";
  step_ = steps_ = 0;
  lastPump_ = 0;
  running_ = true;
  clock_.start();
  QCoreApplication::instance()->installEventFilter(this);
}

void CommandProgress::End() {
  if (!running_) return;
  if (dialog_) {
    dialog_->setValue(kBarEnd);
    delete dialog_;
  }
  // Input that came during the command's last moments is dropped too, not handled after it.
  QCoreApplication::processEvents();
  QCoreApplication::instance()->removeEventFilter(this);
  running_ = false;
}

void CommandProgress::Report(double done, const char* doing, int64_t step, int64_t steps) const {
  if (!running_) return;
  // The bar only moves forward.
  done_ = std::max(done_, std::clamp(done, 0.0, 1.0));
  doing_ = doing;
  step_ = step;
  steps_ = steps;
  const qint64 now = clock_.elapsed();
  if (now - lastPump_ < kPumpEveryMs) return;
  lastPump_ = now;
  if (!dialog_ && now >= kShowAfterMs) Show();
  if (dialog_) {
    dialog_->setLabelText(Phrase());
    dialog_->setValue(static_cast<int>(done_ * kBarEnd));
  }
  // The window repaints; the input filter drops whatever the user does meanwhile.
  QCoreApplication::processEvents();
}

void CommandProgress::Show() const {
  auto* dialog = new QProgressDialog(window_);
  dialog->setObjectName("CommandProgress");
  dialog->setWindowTitle(caption_);
  dialog->setWindowModality(Qt::ApplicationModal);
  dialog->setCancelButton(nullptr);
  dialog->setAutoClose(false);
  dialog->setAutoReset(false);
  dialog->setMinimumDuration(0);
  dialog->setRange(0, kBarEnd);
  dialog->setMinimumWidth(320);
  dialog->setLabelText(Phrase());
  dialog->setValue(static_cast<int>(done_ * kBarEnd));
  dialog->show();
  dialog_ = dialog;
}

QString CommandProgress::Phrase() const {
  QString phrase = QString::fromUtf8(doing_);
  if (steps_ > 0) phrase += QString(" %1 of %2").arg(step_).arg(steps_);
  return phrase;
}

bool CommandProgress::eventFilter(QObject* watched, QEvent* event) {
  if (running_ && IsUserInput(event->type())) return true;
  return QObject::eventFilter(watched, event);
}

}  // namespace velmora
