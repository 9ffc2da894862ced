#include "controls/bitmap_slider.h"

#include <qdrawutil.h>
#include <QPainter>
#include <QStyle>
#include <QStyleOptionSlider>

#include <algorithm>

#include "controls/skin.h"

CBitmapSlider::CBitmapSlider(QWidget* parent) : QSlider(Qt::Horizontal, parent) {}

void CBitmapSlider::paintEvent(QPaintEvent* event) {
  if (orientation() != Qt::Horizontal) {
    QSlider::paintEvent(event);
    return;
  }
  QStyleOptionSlider opt;
  initStyleOption(&opt);
  // The thumb is drawn where the style hit-tests its handle, so dragging it works.
  const QRect handle =
      style()->subControlRect(QStyle::CC_Slider, &opt, QStyle::SC_SliderHandle, this);
  QPainter p(this);
  p.setRenderHint(QPainter::Antialiasing);
  p.setRenderHint(QPainter::SmoothPixmapTransform);
  if (!isEnabled()) p.setOpacity(0.5);

  const QPixmap channel = skin::picture(QStringLiteral("slider_channel.bmp"));
  const QPixmap thumb = skin::picture(QStringLiteral("slider_thumb.bmp"));
  const int ch = channel.isNull() ? 6 : std::min(channel.height(), height());
  const QRect groove(2, (height() - ch) / 2, width() - 4, ch);
  if (channel.isNull()) {
    p.setPen(QPen(skin::kEdge, 1));
    p.setBrush(skin::kPanelDark.darker(130));
    p.drawRoundedRect(QRectF(groove).adjusted(0.5, 0.5, -0.5, -0.5), ch / 2.0, ch / 2.0);
  } else {
    const int m = std::min(4, channel.width() / 2);
    qDrawBorderPixmap(&p, groove, QMargins(m, 0, m, 0), channel);
  }
  // The part up to the thumb in the accent colour.
  const int fill_to = handle.center().x();
  QRectF filled = QRectF(groove).adjusted(2, 2, -2, -2);
  if (invertedAppearance())
    filled.setLeft(fill_to);
  else
    filled.setRight(fill_to);
  if (filled.width() > 0 && filled.height() > 0) {
    QColor accent = skin::kAccent;
    accent.setAlpha(200);
    p.setPen(Qt::NoPen);
    p.setBrush(accent);
    p.drawRoundedRect(filled, filled.height() / 2, filled.height() / 2);
  }

  if (thumb.isNull()) {
    QRectF knob(0, 0, 10, std::min(height() - 2, 18));
    knob.moveCenter(QPointF(handle.center()) + QPointF(0.5, 0.5));
    skin::draw_face(p, knob, hasFocus() ? skin::Face::Hover : skin::Face::Normal, skin::kButton, 3);
  } else {
    const QSize size(thumb.width(), std::min(thumb.height(), height()));
    QRect knob(QPoint(), size);
    knob.moveCenter(handle.center());
    p.drawPixmap(knob, thumb);
    if (hasFocus()) {
      p.setPen(QPen(skin::kAccentLight, 1));
      p.setBrush(Qt::NoBrush);
      p.drawRoundedRect(QRectF(knob).adjusted(0.5, 0.5, -0.5, -0.5), 3, 3);
    }
  }
}
