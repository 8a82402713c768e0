// A loaded bitmap picture, as the land-use loading reads it.
#pragma once

#include <cstdint>

namespace velmora {

// A loaded bitmap picture.
class Picture {
 public:
  virtual ~Picture() = default;
  virtual int Width() const = 0;
  virtual int Height() const = 0;
  // The RGB colour of one pixel as 0x00BBGGRR; a pixel outside the picture reads with all
  // channel bytes 255.
  virtual uint32_t Pixel(int x, int y) const = 0;
};

// The value an outside pixel reads as.
constexpr uint32_t kInvalidColor = 0xFFFFFFFFu;

}  // namespace velmora
