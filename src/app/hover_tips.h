// Tooltips over the drawing area: when the mouse rests on it, the view shows what lies under the
// pointer (a node, a link or a cell) with its numbers, read from the model at that moment. And
// readouts over controls: a control's own tooltip followed by figures worked out as it shows.
// Showing them changes nothing of the model, the drawing or the random generator.
#pragma once

#include <QObject>
#include <QString>
#include <functional>
#include <string>

#include "model/hover_lookup.h"

class QWidget;

namespace velmora {

class Model;

class HoverTips : public QObject {
  Q_OBJECT
 public:
  // Watches the view's tooltip events; a child of the view, it goes with it.
  HoverTips(QWidget* view, const Model& model);

  // The parts of the model's network as it is now, worked out once for every network.
  const NetworkParts& Parts();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  QWidget* view_;
  const Model& model_;
  HoverLookup lookup_;
};

// A tooltip's text with each line broken between words to at most `width` characters, so that
// a long explanation shows as a block beside the pointer rather than as a line across the screen.
QString WrapTip(const QString& text, int width = 80);

// The tooltip of a control with a readout below it: the control's own tooltip, a blank line and
// the readout, asked for each time the tooltip shows (a control's tooltip alone when the readout
// is empty), so it tells the state of that moment.
class ReadoutTips : public QObject {
  Q_OBJECT
 public:
  using Readout = std::function<std::string()>;
  // Watches the control's tooltip events; a child of the control, it goes with it.
  ReadoutTips(QWidget* control, Readout readout);

  // The text the tooltip shows now.
  QString Text() const;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  QWidget* control_;
  Readout readout_;
};

}  // namespace velmora
