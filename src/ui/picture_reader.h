// Bitmap pictures read with QImage (every depth and compression it reads).
#pragma once

#include <memory>
#include <string>

#include "canvas/picture.h"

namespace velmora {

// The largest picture the reader decodes, in megabytes of decoded pixels.
constexpr int kMaxPictureMegabytes = 128;

// Loads a picture file; raises VError naming the path when it is missing, unreadable, or larger
// than kMaxPictureMegabytes decoded.
std::unique_ptr<Picture> LoadQImagePicture(const std::string& path);

}  // namespace velmora
