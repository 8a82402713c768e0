#include "ui/picture_reader.h"

#include <QFile>
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

// Whether a bitmap file holds all the pixel data its header declares. The image reader takes a
// bitmap cut short without complaint and leaves the missing rows as whatever the memory held
// (or black, for run-length encoded ones), so the counts would come from garbage. Files that
// are not bitmaps, and headers the reader refuses anyway, pass here.
bool BitmapIsComplete(const QString& path) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) return true;
  const QByteArray h = file.read(54);
  if (h.size() < 26 || h[0] != 'B' || h[1] != 'M') return true;
  auto byte = [&](int at) -> uint32_t { return static_cast<uint8_t>(h[at]); };
  auto u16 = [&](int at) -> uint32_t { return byte(at) | byte(at + 1) << 8; };
  auto u32 = [&](int at) -> uint32_t { return u16(at) | u16(at + 2) << 16; };
  const int64_t fileSize = file.size();
  const int64_t offset = u32(10);
  const uint32_t headerSize = u32(14);
  int64_t width, height;
  uint32_t bits, compression = 0, imageSize = 0;
  if (headerSize == 12) {  // the old core header: 16-bit sizes, never compressed
    width = u16(18);
    height = u16(20);
    bits = u16(24);
  } else {
    if (h.size() < 38) return false;
    width = static_cast<int32_t>(u32(18));
    height = static_cast<int32_t>(u32(22));
    bits = u16(28);
    compression = u32(30);
    imageSize = u32(34);
  }
  if (height < 0) height = -height;  // top-down rows
  if (width <= 0 || height == 0 || bits == 0 || bits > 32) return true;
  switch (compression) {
    case 0:  // uncompressed
    case 3:  // uncompressed with channel masks
    case 6: {
      const int64_t stride = (width * bits + 31) / 32 * 4;
      return offset + stride * height <= fileSize;
    }
    case 1:  // run-length encoded, 8 or 4 bits: the header gives the encoded size
    case 2:
      return imageSize == 0 || offset + imageSize <= fileSize;
    default:
      return true;
  }
}
}  // namespace

std::unique_ptr<Picture> LoadQImagePicture(const std::string& path) {
  const QString file = QString::fromStdString(path);
  if (!BitmapIsComplete(file)) throw VError::CannotOpenFile(path);
  // The reader refuses to decode a picture larger than this, whatever the process or its
  // environment set before: a small file can declare a picture of gigabytes.
  QImageReader::setAllocationLimit(kMaxPictureMegabytes);
  QImageReader reader(file);
  QImage image = reader.read();
  if (image.isNull()) throw VError::CannotOpenFile(path);
  // One 32-bit layout for every depth the file had; alpha is dropped.
  image = image.convertToFormat(QImage::Format_RGB32);
  return std::make_unique<QImagePicture>(std::move(image));
}

}  // namespace velmora
