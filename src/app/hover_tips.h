// Tooltips over the drawing area: when the mouse rests on it, the view shows what lies under the
// pointer (a node, a link or a cell) with its numbers, read from the model at that moment.
// Showing them changes nothing of the model, the drawing or the random generator.
#pragma once

#include <QObject>

#include "model/hover_lookup.h"

class QWidget;

namespace velmora {

class Model;

class HoverTips : public QObject {
  Q_OBJECT
 public:
  // Watches the view's tooltip events; a child of the view, it goes with it.
  HoverTips(QWidget* view, const Model& model);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  QWidget* view_;
  const Model& model_;
  HoverLookup lookup_;
};

}  // namespace velmora
