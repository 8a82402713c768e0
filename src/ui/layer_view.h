// The drawing area: a base layer and an optional overlay layer of the same size, shown as one
// picture in which the overlay's black pixels let the base layer show through.
#pragma once

#include <QImage>
#include <QWidget>
#include <memory>

#include "canvas/raster_canvas.h"

namespace velmora {

class LayerView : public QWidget {
  Q_OBJECT
 public:
  explicit LayerView(QWidget* parent = nullptr);

  // The base layer's canvas; its picture is made, white, at the first call, at the widget's
  // size at that moment, and keeps that size.
  Canvas& BaseCanvas();
  // A fresh, white overlay of the widget's current size with a new canvas (default pen and
  // brush); any earlier overlay is released.
  void CreateOverlay();
  void DestroyOverlay();
  Canvas* OverlayCanvas() { return overlay_ ? overlayCanvas_.get() : nullptr; }

  const QImage& BaseImage() const { return base_; }
  const QImage* OverlayImage() const { return overlay_ ? overlay_.get() : nullptr; }
  // The picture as the window shows it: the base with the overlay's non-black pixels on top.
  QImage Composed() const;

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  void EnsureBase();

  QImage base_;
  RasterCanvas baseCanvas_;
  std::unique_ptr<QImage> overlay_;
  std::unique_ptr<RasterCanvas> overlayCanvas_;
};

}  // namespace velmora
