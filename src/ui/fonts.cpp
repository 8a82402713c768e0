#include "ui/fonts.h"

#include <QFile>
#include <QFontDatabase>

namespace velmora {

void EnsureWindowFont() {
  static bool done = false;
  if (done) return;
  done = true;
  if (QFontDatabase::families().contains(QStringLiteral("Tahoma"))) return;
  for (const char* path : {"/usr/share/wine/fonts/tahoma.ttf", "/usr/lib/wine/fonts/tahoma.ttf"})
    if (QFile::exists(path) && QFontDatabase::addApplicationFont(path) >= 0) return;
}

QFont WindowFont() {
  QFont font(QStringLiteral("Tahoma"));
  font.setPixelSize(11);
  font.setStyleHint(QFont::SansSerif);
  return font;
}

}  // namespace velmora
