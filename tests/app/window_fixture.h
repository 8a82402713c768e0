// The window tests' fixture: the main window with its chart window, offscreen, errors recorded
// instead of shown in the message box, the timer switched off at the end.
#pragma once

#include <QLineEdit>
#include <QString>
#include <string>
#include <vector>

#include "app/Main.h"
#include "app/timeGraph.h"
#include "ui/error_box.h"

namespace velmora::testing {

struct Window {
  RecordingReporter errors;
  TForm2 form2;
  TForm1 form{&errors};
  Window() { form.SetForm2(&form2); }
  ~Window() { form.timer().SetEnabled(false); }
  Window(const Window&) = delete;
  Window& operator=(const Window&) = delete;

  Model& m() { return form.model(); }
  void Type(QLineEdit* edit, const QString& text) { edit->setText(text); }
  void Type(QLineEdit* edit, const std::string& text) {
    edit->setText(QString::fromStdString(text));
  }
  void Type(QLineEdit* edit, const char* text) { edit->setText(QString::fromUtf8(text)); }
  // The messages shown since the last call.
  std::vector<std::string> Shown() {
    std::vector<std::string> out;
    out.swap(errors.messages);
    return out;
  }
};

}  // namespace velmora::testing
