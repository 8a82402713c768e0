#include "headless/headless_host.h"

#include "core/error.h"

namespace velmora {

Layer::Layer(int width, int height)
    : pixels(static_cast<size_t>(width) * height, ToPixel(clWhite)),
      canvas(PixelBuffer{pixels.data(), width, height, width}) {}

HeadlessHost::HeadlessHost() {
  for (const EditBox box : kEditBoxes) edits[box] = DefaultEditText(box);
}

void HeadlessHost::SetPicture(const std::string& fileName, std::shared_ptr<MemoryPicture> picture) {
  pictures[exeDir + kPicturesFolder + fileName] = std::move(picture);
}

std::string HeadlessHost::EditText(EditBox box) const {
  auto it = edits.find(box);
  return it == edits.end() ? std::string() : it->second;
}

void HeadlessHost::SetCaption(ValueLabel label, const std::string& caption) {
  captions[label] = caption;
}

Canvas& HeadlessHost::BaseCanvas() {
  if (!base) base = std::make_unique<Layer>(width, height);
  return base->canvas;
}

void HeadlessHost::CreateOverlay() {
  overlay = std::make_unique<Layer>(width, height);
  ++overlaysCreated;
}

std::unique_ptr<Picture> HeadlessHost::LoadPicture(const std::string& path) {
  loadedPaths.push_back(path);
  if (uniformPictures) return std::make_unique<UniformPicture>(width, height, *uniformPictures);
  auto it = pictures.find(path);
  if (it == pictures.end() || !it->second) throw VError::CannotOpenFile(path);
  return std::make_unique<MemoryPicture>(*it->second);
}

}  // namespace velmora
