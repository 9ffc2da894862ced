#include "controls/bmp_button.h"

#include <qdrawutil.h>
#include <QEnterEvent>
#include <QPainter>

#include <algorithm>

namespace {

// The generic pictures keep their rounded corners; only the middle stretches.
constexpr int kSkinMargin = 6;

int index_of(skin::Face f) {
  return static_cast<int>(f);
}

void draw_stretched(QPainter& p, const QRect& target, const QPixmap& pm, int margin) {
  const int m =
      std::min({margin, target.width() / 2, target.height() / 2, pm.width() / 2, pm.height() / 2});
  if (m <= 0) {
    p.drawPixmap(target, pm);
    return;
  }
  qDrawBorderPixmap(&p, target, QMargins(m, m, m, m), pm);
}

}  // namespace

CBMPButton::CBMPButton(const QString& caption, QWidget* parent) : QPushButton(caption, parent) {}

void CBMPButton::SetBitmaps(const QPixmap& normal, const QPixmap& hover, const QPixmap& pressed,
                            const QPixmap& disabled) {
  bitmaps_ = {normal, hover.isNull() ? normal : hover, pressed.isNull() ? normal : pressed,
              disabled.isNull() ? skin::greyed(normal) : disabled};
  own_bitmaps_ = !normal.isNull();
  update();
}

bool CBMPButton::LoadBitmaps(const QString& normal, const QString& hover, const QString& pressed,
                             const QString& disabled) {
  const QPixmap n = skin::picture(normal);
  if (n.isNull()) return false;
  SetBitmaps(n, hover.isEmpty() ? QPixmap() : skin::picture(hover),
             pressed.isEmpty() ? QPixmap() : skin::picture(pressed),
             disabled.isEmpty() ? QPixmap() : skin::picture(disabled));
  return true;
}

skin::Face CBMPButton::Look() const {
  if (!isEnabled()) return skin::Face::Disabled;
  if (isDown() || isChecked()) return skin::Face::Pressed;
  return hovered_ ? skin::Face::Hover : skin::Face::Normal;
}

QSize CBMPButton::sizeHint() const {
  const QFontMetrics fm(font());
  int w = fm.horizontalAdvance(PlainCaption(text())) + 24;
  if (!icon().isNull()) w += iconSize().width() + (text().isEmpty() ? 0 : 4);
  const int h = std::max({28, fm.height() + 12, icon().isNull() ? 0 : iconSize().height() + 8});
  return {std::max(w, 40), h};
}

QSize CBMPButton::minimumSizeHint() const {
  return {16, 16};
}

void CBMPButton::paintEvent(QPaintEvent*) {
  QPainter p(this);
  const skin::Face look = Look();
  PaintFace(p, look);
  if (hasFocus() && look != skin::Face::Disabled) {
    p.setRenderHint(QPainter::Antialiasing);
    QColor ring = skin::kAccentLight;
    ring.setAlpha(170);
    p.setPen(QPen(ring, 1, Qt::DotLine));
    p.setBrush(Qt::NoBrush);
    p.drawRoundedRect(QRectF(rect()).adjusted(2.5, 2.5, -2.5, -2.5), 2.5, 2.5);
  }
  PaintCaption(p, look);
}

void CBMPButton::PaintFace(QPainter& p, skin::Face look) {
  p.setRenderHint(QPainter::SmoothPixmapTransform);
  if (own_bitmaps_) {
    p.drawPixmap(rect(), bitmaps_[static_cast<std::size_t>(index_of(look))]);
    return;
  }
  static constexpr std::array<const char*, 4> kNames{"btn_normal.bmp", "btn_hover.bmp",
                                                     "btn_pressed.bmp", "btn_disabled.bmp"};
  const QPixmap normal = skin::picture(QString::fromLatin1(kNames[0]));
  if (normal.isNull()) {
    skin::draw_face(p, rect(), look);
    return;
  }
  QPixmap face =
      skin::picture(QString::fromLatin1(kNames[static_cast<std::size_t>(index_of(look))]));
  if (face.isNull()) face = look == skin::Face::Disabled ? skin::greyed(normal) : normal;
  draw_stretched(p, rect(), face, kSkinMargin);
}

QColor CBMPButton::CaptionColor(skin::Face look) const {
  return skin::caption_color(look);
}

QString CBMPButton::PlainCaption(const QString& caption) {
  QString out;
  out.reserve(caption.size());
  for (qsizetype i = 0; i < caption.size(); ++i) {
    if (caption[i] == QLatin1Char('&')) {
      if (i + 1 < caption.size() && caption[i + 1] == QLatin1Char('&')) out += caption[++i];
      continue;
    }
    out += caption[i];
  }
  return out;
}

void CBMPButton::PaintCaption(QPainter& p, skin::Face look) {
  const QString caption = PlainCaption(text());
  const bool has_icon = !icon().isNull();
  if (caption.isEmpty() && !has_icon) return;
  QRect area = rect().adjusted(4, 2, -4, -2);
  if (look == skin::Face::Pressed) area.translate(1, 1);
  const QFontMetrics fm(font());
  const QSize is = has_icon ? iconSize() : QSize();
  const int gap = has_icon && !caption.isEmpty() ? 4 : 0;
  const QString shown =
      fm.elidedText(caption, Qt::ElideRight, std::max(0, area.width() - is.width() - gap));
  const int text_w = fm.horizontalAdvance(shown);
  int x = area.left() + (area.width() - (is.width() + gap + text_w)) / 2;
  if (has_icon) {
    const QIcon::Mode mode = look == skin::Face::Disabled ? QIcon::Disabled : QIcon::Normal;
    icon().paint(&p, QRect(QPoint(x, area.top() + (area.height() - is.height()) / 2), is),
                 Qt::AlignCenter, mode);
    x += is.width() + gap;
  }
  if (shown.isEmpty()) return;
  p.setPen(CaptionColor(look));
  p.setFont(font());
  p.drawText(QRect(x, area.top(), text_w + 1, area.height()), Qt::AlignLeft | Qt::AlignVCenter,
             shown);
}

void CBMPButton::enterEvent(QEnterEvent* event) {
  hovered_ = true;
  update();
  QPushButton::enterEvent(event);
}

void CBMPButton::leaveEvent(QEvent* event) {
  hovered_ = false;
  update();
  QPushButton::leaveEvent(event);
}

void CBMPButton::hideEvent(QHideEvent* event) {
  // No leave event comes for a window hidden under the mouse.
  hovered_ = false;
  QPushButton::hideEvent(event);
}
