// Entry point of the window tests: a QApplication on the offscreen platform.
#include <gtest/gtest.h>

#include <QApplication>

#include "core/convert.h"
#include "ui/fonts.h"

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  ::testing::InitGoogleTest(&argc, argv);
  QApplication app(argc, argv);
  velmora::EnsureWindowFont();
  QApplication::setFont(velmora::WindowFont());
  velmora::SetDecimalSeparator(',');
  return RUN_ALL_TESTS();
}
