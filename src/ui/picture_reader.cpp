#include "ui/picture_reader.h"

#include <QImage>
#include <QImageReader>

#include "core/error.h"

namespace velmora {

namespace {
class QImagePicture : public Picture {
 public:
  explicit QImagePicture(QImage image) : image_(std::move(image)) {}
  int Width() const override { return image_.width(); }
  int Height() const override { return image_.height(); }
  uint32_t Pixel(int x, int y) const override {
    if (x < 0 || y < 0 || x >= image_.width() || y >= image_.height()) return kInvalidColor;
    const QRgb p = reinterpret_cast<const QRgb*>(image_.constScanLine(y))[x];
    return static_cast<uint32_t>(qRed(p)) | (static_cast<uint32_t>(qGreen(p)) << 8) |
           (static_cast<uint32_t>(qBlue(p)) << 16);
  }

 private:
  QImage image_;
};
}  // namespace

std::unique_ptr<Picture> LoadQImagePicture(const std::string& path) {
  QImageReader reader(QString::fromStdString(path));
  QImage image = reader.read();
  if (image.isNull()) throw VError::CannotOpenFile(path);
  // One 32-bit layout for every depth the file had; alpha is dropped.
  image = image.convertToFormat(QImage::Format_RGB32);
  return std::make_unique<QImagePicture>(std::move(image));
}

}  // namespace velmora
