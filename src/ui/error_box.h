// Where handler errors are shown: the error message box in the program, a recorder in tests.
#pragma once

#include <string>
#include <vector>

namespace velmora {

class ErrorReporter {
 public:
  virtual ~ErrorReporter() = default;
  // Shows an error message; the reporter applies the box's full-stop rule.
  virtual void ShowError(const std::string& message) = 0;
};

// The message box: error icon, title "Velmora", an OK button.
class MessageBoxReporter : public ErrorReporter {
 public:
  void ShowError(const std::string& message) override;
};

// Records the texts the box would have shown.
class RecordingReporter : public ErrorReporter {
 public:
  void ShowError(const std::string& message) override;
  std::vector<std::string> messages;
};

}  // namespace velmora
