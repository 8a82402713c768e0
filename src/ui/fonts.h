// The window font: Tahoma with a character height of 11 pixels.
#pragma once

#include <QFont>

namespace velmora {

// Makes Tahoma available: Debian ships it with Wine, outside the font search path, so it is
// registered from there when the family is missing. Safe to call more than once.
void EnsureWindowFont();
// Tahoma, 11 pixels high; a sans face stands in where Tahoma cannot be had.
QFont WindowFont();

}  // namespace velmora
