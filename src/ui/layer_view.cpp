#include "ui/layer_view.h"

#include <QPainter>

namespace velmora {

namespace {
PixelBuffer BufferOf(QImage& image) {
  return PixelBuffer{reinterpret_cast<uint32_t*>(image.bits()), image.width(), image.height(),
                     static_cast<int>(image.bytesPerLine() / 4)};
}
}  // namespace

LayerView::LayerView(QWidget* parent) : QWidget(parent) {
  setAttribute(Qt::WA_OpaquePaintEvent);
}

void LayerView::EnsureBase() {
  if (!base_.isNull()) return;
  base_ = QImage(std::max(width(), 1), std::max(height(), 1), QImage::Format_RGB32);
  base_.fill(Qt::white);
  baseCanvas_.SetBuffer(BufferOf(base_));
}

Canvas& LayerView::BaseCanvas() {
  EnsureBase();
  update();
  return baseCanvas_;
}

void LayerView::CreateOverlay() {
  auto image =
      std::make_unique<QImage>(std::max(width(), 1), std::max(height(), 1), QImage::Format_RGB32);
  image->fill(Qt::white);
  auto canvas = std::make_unique<RasterCanvas>(BufferOf(*image));
  overlayCanvas_ = std::move(canvas);
  overlay_ = std::move(image);
  update();
}

void LayerView::DestroyOverlay() {
  overlayCanvas_.reset();
  overlay_.reset();
  update();
}

QImage LayerView::Composed() const {
  if (base_.isNull()) {
    QImage blank(std::max(width(), 1), std::max(height(), 1), QImage::Format_RGB32);
    blank.fill(Qt::white);
    return blank;
  }
  QImage out = base_.copy();
  if (!overlay_) return out;
  const int w = std::min(out.width(), overlay_->width());
  const int h = std::min(out.height(), overlay_->height());
  for (int y = 0; y < h; ++y) {
    auto* dst = reinterpret_cast<uint32_t*>(out.scanLine(y));
    const auto* src = reinterpret_cast<const uint32_t*>(overlay_->constScanLine(y));
    for (int x = 0; x < w; ++x)
      if (src[x] & 0x00FFFFFFu) dst[x] = src[x];
  }
  return out;
}

void LayerView::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.fillRect(rect(), Qt::white);
  painter.drawImage(0, 0, Composed());
}

}  // namespace velmora
