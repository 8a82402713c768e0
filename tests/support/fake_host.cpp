#include "support/fake_host.h"

#include "core/error.h"

namespace velmora::testing {

Layer::Layer(int width, int height)
    : pixels(static_cast<size_t>(width) * height, ToPixel(clWhite)),
      canvas(PixelBuffer{pixels.data(), width, height, width}) {}

FakeHost::FakeHost() {
  edits = {{EditBox::CellScale, "30"}, {EditBox::NodeNumber, "41"}, {EditBox::ConDist, "130"},
           {EditBox::RepDist, "40"},   {EditBox::STD, "1,0"},       {EditBox::MDep, "8"},
           {EditBox::EDep, "17"},      {EditBox::TScale, "10"},     {EditBox::TInterv, "1"},
           {EditBox::TimeScale, "6"}};
}

void FakeHost::SetPicture(const std::string& fileName, std::shared_ptr<MemoryPicture> picture) {
  pictures[exeDir + "pictures/" + fileName] = std::move(picture);
}

std::string FakeHost::EditText(EditBox box) const {
  auto it = edits.find(box);
  return it == edits.end() ? std::string() : it->second;
}

void FakeHost::SetCaption(ValueLabel label, const std::string& caption) {
  captions[label] = caption;
}

Canvas& FakeHost::BaseCanvas() {
  if (!base) base = std::make_unique<Layer>(width, height);
  return base->canvas;
}

void FakeHost::CreateOverlay() {
  overlay = std::make_unique<Layer>(width, height);
  ++overlaysCreated;
}

std::unique_ptr<Picture> FakeHost::LoadPicture(const std::string& path) {
  loadedPaths.push_back(path);
  auto it = pictures.find(path);
  if (it == pictures.end() || !it->second) throw VError::CannotOpenFile(path);
  return std::make_unique<MemoryPicture>(*it->second);
}

}  // namespace velmora::testing
