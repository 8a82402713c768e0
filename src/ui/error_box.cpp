#include "ui/error_box.h"

#include <QApplication>
#include <QMessageBox>

#include "core/error.h"

namespace velmora {

void MessageBoxReporter::ShowError(const std::string& message) {
  QMessageBox box(QMessageBox::Critical, QStringLiteral("Velmora"),
                  QString::fromStdString(ErrorBoxText(message)), QMessageBox::Ok,
                  QApplication::activeWindow());
  box.exec();
}

void RecordingReporter::ShowError(const std::string& message) {
  messages.push_back(ErrorBoxText(message));
}

}  // namespace velmora
