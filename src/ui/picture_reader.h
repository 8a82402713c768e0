// Bitmap pictures read with QImage (every depth and compression it reads).
#pragma once

#include <memory>
#include <string>

#include "canvas/picture.h"

namespace velmora {

// Loads a picture file; raises VError naming the path when it is missing or unreadable.
std::unique_ptr<Picture> LoadQImagePicture(const std::string& path);

}  // namespace velmora
