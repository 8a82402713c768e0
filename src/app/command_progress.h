// The progress of a long command, shown over the main window: once a command has run for half a
// second, a modal dialog titled with the command's caption says what is being done and how far.
//
// The model runs on the one thread and tells its progress at the natural points of its loops
// (Progress::Report). At most twenty times a second a report lets the window repaint and moves
// the dialog on; nothing else reaches the model meanwhile: every user input event that arrives
// while a command runs, before the dialog shows and after, is dropped, so no click lands and no
// edit box changes under a running command. The main window skips timer ticks and defers its
// closing while a command runs (Running()).
#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QPointer>
#include <QProgressDialog>
#include <QString>

#include "model/progress.h"

class QWidget;

namespace velmora {

class CommandProgress final : public QObject, public Progress {
  Q_OBJECT
 public:
  // A command shows its dialog after running this long.
  static constexpr int kShowAfterMs = 500;
  // The window repaints and the dialog moves at most this often.
  static constexpr int kPumpEveryMs = 50;

  // Shows its dialog over `window`.
  explicit CommandProgress(QWidget* window);
  ~CommandProgress() override;

  // A command with this caption starts; its reports count from now.
  void Begin(const QString& caption);
  // The command has ended: the dialog goes, and user input is taken again.
  void End();
  bool Running() const { return running_; }

  void Report(double done, const char* doing, int64_t step, int64_t steps) const override;

  // The dialog while it shows, else null (for tests).
  QProgressDialog* Dialog() const { return dialog_; }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void Show() const;
  QString Phrase() const;

  QWidget* window_;
  bool running_ = false;
  QString caption_;
  QElapsedTimer clock_;
  // What the reports said last, and when the window last handled its events.
  mutable double done_ = 0.0;
  mutable const char* doing_ = "";
  mutable int64_t step_ = 0, steps_ = 0;
  mutable qint64 lastPump_ = 0;
  mutable QPointer<QProgressDialog> dialog_;
};

}  // namespace velmora
