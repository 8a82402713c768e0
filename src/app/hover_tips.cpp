#include "app/hover_tips.h"

#include <QHelpEvent>
#include <QRect>
#include <QStringList>
#include <QToolTip>
#include <QWidget>
#include <utility>

#include "model/model.h"

namespace velmora {

HoverTips::HoverTips(QWidget* view, const Model& model)
    : QObject(view), view_(view), model_(model) {
  view->installEventFilter(this);
}

const NetworkParts& HoverTips::Parts() {
  return lookup_.Parts(model_.town, model_.network);
}

bool HoverTips::eventFilter(QObject* watched, QEvent* event) {
  // Qt sends the tooltip event only after the mouse has rested on the view for a moment.
  if (watched != view_ || event->type() != QEvent::ToolTip)
    return QObject::eventFilter(watched, event);
  auto* help = static_cast<QHelpEvent*>(event);
  const HoverHit hit = lookup_.At(model_.town, model_.network, help->pos().x(), help->pos().y());
  if (hit.kind == HoverHit::Kind::None) {
    QToolTip::hideText();
    event->ignore();
    return true;
  }
  // The tip goes when the pointer leaves what it describes, and is asked again where it rests.
  const QRect area(QPoint(hit.left, hit.top), QPoint(hit.right - 1, hit.bottom - 1));
  QToolTip::showText(help->globalPos(), QString::fromStdString(hit.text), view_, area);
  event->accept();
  return true;
}

QString WrapTip(const QString& text, int width) {
  QStringList lines;
  for (const QString& paragraph : text.split('\n')) {
    QString line;
    for (const QString& word : paragraph.split(' ')) {
      if (!line.isEmpty() && line.size() + 1 + word.size() > width) {
        lines << line;
        line.clear();
      }
      line += (line.isEmpty() ? "" : " ") + word;
    }
    lines << line;
  }
  return lines.join('\n');
}

ReadoutTips::ReadoutTips(QWidget* control, Readout readout)
    : QObject(control), control_(control), readout_(std::move(readout)) {
  control->installEventFilter(this);
}

QString ReadoutTips::Text() const {
  const std::string readout = readout_ ? readout_() : std::string();
  if (readout.empty()) return control_->toolTip();
  return control_->toolTip() + "\n\n" + WrapTip(QString::fromStdString(readout));
}

bool ReadoutTips::eventFilter(QObject* watched, QEvent* event) {
  if (watched != control_ || event->type() != QEvent::ToolTip)
    return QObject::eventFilter(watched, event);
  auto* help = static_cast<QHelpEvent*>(event);
  QToolTip::showText(help->globalPos(), Text(), control_, control_->rect());
  event->accept();
  return true;
}

}  // namespace velmora
