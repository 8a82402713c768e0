// A small Qt program built like the window tests that leaks on purpose: once inside a timer
// slot and once inside a button's click handler, each run from the event loop. Run under
// LeakSanitizer with the project's suppressions, both leaks must be reported; if the
// suppressions ever grow wide enough to hide leaks of code called from Qt, this fails.
#include <QApplication>
#include <QPushButton>
#include <QTimer>

namespace {

// Each block is written through a volatile pointer so the allocation cannot be elided, then
// its only pointer is dropped.
__attribute__((noinline)) void LeakInTimerSlot() {
  volatile int* block = new int[16];
  block[0] = 1;
}

__attribute__((noinline)) void LeakInButtonClick() {
  volatile int* block = new int[16];
  block[0] = 2;
}

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QPushButton button("leak");
  QObject::connect(&button, &QPushButton::clicked, [] { LeakInButtonClick(); });
  QTimer::singleShot(0, [] { LeakInTimerSlot(); });
  QTimer::singleShot(
      10, [&button] { QMetaObject::invokeMethod(&button, "click", Qt::QueuedConnection); });
  QTimer::singleShot(50, &app, &QApplication::quit);
  return app.exec();
}
