#include "controls/color_static.h"

#include <QPainter>

#include "controls/skin.h"

CColorStatic::CColorStatic(QWidget* parent) : CColorStatic(QString(), parent) {}

CColorStatic::CColorStatic(const QString& text, QWidget* parent) : QLabel(text, parent) {
  setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  SetColors(skin::kText, Qt::transparent);
}

void CColorStatic::SetColors(QColor text, QColor background) {
  text_ = text;
  background_ = background;
  QPalette pal = palette();
  pal.setColor(QPalette::WindowText, text);
  pal.setColor(QPalette::Text, text);
  setPalette(pal);
  update();
}

void CColorStatic::paintEvent(QPaintEvent* event) {
  if (background_.alpha() > 0) {
    QPainter p(this);
    p.fillRect(rect(), background_);
  }
  QLabel::paintEvent(event);
}
