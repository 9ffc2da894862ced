#include "controls/led.h"

#include <QPainter>
#include <QRadialGradient>

#include <algorithm>

CLedIndicator::CLedIndicator(QWidget* parent) : QWidget(parent) {}

void CLedIndicator::SetState(State state) {
  if (state == state_) return;
  state_ = state;
  update();
}

void CLedIndicator::SetOnColor(QColor color) {
  on_color_ = color;
  update();
}

void CLedIndicator::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.setRenderHint(QPainter::Antialiasing);
  const qreal d = std::min(width(), height()) - 2.0;
  if (d < 3) return;
  const QRectF body(QPointF((width() - d) / 2, (height() - d) / 2), QSizeF(d, d));

  QColor core;
  switch (state_) {
    case State::Off:
      core = QColor(64, 68, 74);
      break;
    case State::Normal:
      core = QColor(46, 128, 64);
      break;
    case State::On:
      core = on_color_;
      break;
  }
  if (state_ == State::On) {
    // The glow spills a little past the rim.
    QRadialGradient glow(body.center(), d / 2 + 1);
    QColor halo = on_color_;
    halo.setAlpha(110);
    glow.setColorAt(0.7, halo);
    halo.setAlpha(0);
    glow.setColorAt(1, halo);
    p.setPen(Qt::NoPen);
    p.setBrush(glow);
    p.drawEllipse(body.adjusted(-1, -1, 1, 1));
  }
  QRadialGradient fill(body.center() - QPointF(d * 0.15, d * 0.18), d * 0.62);
  fill.setColorAt(0, state_ == State::On ? core.lighter(160) : core.lighter(125));
  fill.setColorAt(0.6, core);
  fill.setColorAt(1, core.darker(state_ == State::On ? 150 : 190));
  p.setPen(QPen(QColor(12, 14, 18), 1));
  p.setBrush(fill);
  p.drawEllipse(body.adjusted(0.5, 0.5, -0.5, -0.5));

  QRectF shine(0, 0, d * 0.42, d * 0.28);
  shine.moveCenter(body.center() - QPointF(d * 0.12, d * 0.22));
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(255, 255, 255, state_ == State::Off ? 50 : 120));
  p.drawEllipse(shine);
}
