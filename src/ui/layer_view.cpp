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
  // Premultiplied ARGB with black drawn transparent: painting it over the base with QPainter
  // keeps the base where the overlay is black and takes the overlay's pixel everywhere else,
  // as every other pixel is opaque.
  auto image = std::make_unique<QImage>(std::max(width(), 1), std::max(height(), 1),
                                        QImage::Format_ARGB32_Premultiplied);
  image->fill(Qt::white);
  auto canvas = std::make_unique<RasterCanvas>(BufferOf(*image));
  canvas->SetBlackTransparent(true);
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
  if (overlay_) {
    QPainter painter(&out);
    painter.drawImage(0, 0, *overlay_);
  }
  return out;
}

void LayerView::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.fillRect(rect(), Qt::white);
  if (base_.isNull()) return;
  painter.drawImage(0, 0, base_);
  // The overlay shows only where the base is, as in Composed.
  if (overlay_) {
    const QRect shown = base_.rect().intersected(overlay_->rect());
    painter.drawImage(shown.topLeft(), *overlay_, shown);
  }
}

}  // namespace velmora
