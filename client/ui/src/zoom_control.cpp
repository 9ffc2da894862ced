#include "ui/zoom_control.h"

#include <QFont>
#include <QFontMetrics>
#include <QMouseEvent>
#include <QPainter>
#include <QRectF>
#include <QWheelEvent>

namespace ui {
namespace {

constexpr double kWheelStep = 120.0;  // one notch of a common wheel
constexpr int kBadgeMargin = 8;

bool same(const model::ZoomView& a, const model::ZoomView& b) {
  return a.scale == b.scale && a.cx == b.cx && a.cy == b.cy;
}

}  // namespace

bool ZoomControl::Wheel(QWheelEvent* e, QSize widget) {
  const QPoint delta = e->angleDelta();
  // A tilt-only wheel or a touchpad's sideways scroll is not a zoom.
  if (delta.y() == 0) return false;
  const model::ZoomView before = view_;
  const QPointF at = e->position();
  view_ = model::zoom_at(view_, at.x(), at.y(), widget.width(), widget.height(),
                         delta.y() / kWheelStep);
  if (!Zoomed()) panning_ = false;
  // Out past the whole picture the wheel is left to the widget's parents.
  const bool used = model::zoomed(before) || Zoomed() || !same(before, view_);
  if (used) e->accept();
  return used;
}

bool ZoomControl::Press(QMouseEvent* e) {
  if (e->button() != Qt::LeftButton || !Zoomed()) return false;
  panning_ = true;
  last_ = e->position();
  e->accept();
  return true;
}

bool ZoomControl::Move(QMouseEvent* e, QSize widget) {
  if (!panning_) return false;
  // A release lost to another window ends the pan at the next move.
  if (!(e->buttons() & Qt::LeftButton)) {
    panning_ = false;
    return false;
  }
  const QPointF at = e->position();
  view_ =
      model::pan(view_, at.x() - last_.x(), at.y() - last_.y(), widget.width(), widget.height());
  last_ = at;
  e->accept();
  return true;
}

bool ZoomControl::Release(QMouseEvent* e) {
  if (!panning_ || e->button() != Qt::LeftButton) return false;
  panning_ = false;
  e->accept();
  return true;
}

void ZoomControl::Reset() {
  view_ = {};
  panning_ = false;
}

void ZoomControl::Draw(QPainter& p, const QRect& target, const QImage& picture) const {
  if (picture.isNull() || target.isEmpty()) return;
  if (!Zoomed()) {
    if (picture.size() == target.size())
      p.drawImage(target.topLeft(), picture);
    else
      p.drawImage(target, picture);
    return;
  }
  const model::SourceRect s = model::source_rect(view_, picture.width(), picture.height());
  p.save();
  // Enlarged pixels are smoothed: blocks would hide more than they show.
  p.setRenderHint(QPainter::SmoothPixmapTransform);
  p.drawImage(QRectF(target), picture, QRectF(s.x, s.y, s.width, s.height));

  const QString badge = QStringLiteral("x%1").arg(view_.scale, 0, 'f', 1);
  QFont font = p.font();
  font.setBold(true);
  p.setFont(font);
  const QFontMetrics fm(font);
  const int w = fm.horizontalAdvance(badge) + 12;
  const int h = fm.height() + 4;
  const QRect box(target.right() - kBadgeMargin - w + 1, target.top() + kBadgeMargin, w, h);
  p.setRenderHint(QPainter::Antialiasing);
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(0, 0, 0, 150));
  p.drawRoundedRect(box, 4, 4);
  p.setPen(QColor(255, 255, 255));
  p.drawText(box, Qt::AlignCenter, badge);
  p.restore();
}

}  // namespace ui
