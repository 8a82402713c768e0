// Velmora start-up: seed the random generator from the clock, initialise the window
// framework, create the main window and then the hidden chart window, run the message loop.
#include <QApplication>
#include <QLocale>

#include "app/Main.h"
#include "app/timeGraph.h"
#include "core/convert.h"
#include "core/random.h"
#include "ui/fonts.h"

int main(int argc, char** argv) {
  velmora::Randomize();
  QApplication app(argc, argv);
  app.setApplicationName("Velmora");
  velmora::EnsureWindowFont();
  QApplication::setFont(velmora::WindowFont());
  const QString point = QLocale::system().decimalPoint();
  velmora::SetDecimalSeparator(point.isEmpty() ? '.' : point.at(0).toLatin1());

  velmora::TForm1 form1;
  velmora::TForm2 form2;
  form1.SetForm2(&form2);
  form1.show();
  return app.exec();
}
