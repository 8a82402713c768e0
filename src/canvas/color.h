// Colours as the framework's colour integer (0x00BBGGRR) and the named colours the drawings use.
#pragma once

#include <cstdint>

namespace velmora {

// A 24-bit colour as the framework's colour integer: 0x00BBGGRR.
using TColor = uint32_t;

constexpr TColor RGBColor(int r, int g, int b) {
  return static_cast<TColor>((r & 0xFF) | ((g & 0xFF) << 8) | ((b & 0xFF) << 16));
}
constexpr int RedOf(TColor c) {
  return static_cast<int>(c & 0xFF);
}
constexpr int GreenOf(TColor c) {
  return static_cast<int>((c >> 8) & 0xFF);
}
constexpr int BlueOf(TColor c) {
  return static_cast<int>((c >> 16) & 0xFF);
}

constexpr TColor clWhite = RGBColor(255, 255, 255);
constexpr TColor clSilver = RGBColor(192, 192, 192);
constexpr TColor clBlack = RGBColor(0, 0, 0);
constexpr TColor clRed = RGBColor(255, 0, 0);
constexpr TColor clYellow = RGBColor(255, 255, 0);
constexpr TColor clGreen = RGBColor(0, 128, 0);
constexpr TColor clBlue = RGBColor(0, 0, 255);
constexpr TColor clLime = RGBColor(0, 255, 0);

}  // namespace velmora
