#include "controls/digit_display.h"

#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>

#include "controls/skin.h"

namespace {

// Bits a..g: top, top right, bottom right, bottom, bottom left, top left, middle.
std::uint8_t segments_of(QChar c) {
  static constexpr std::array<std::uint8_t, 10> kDigits{0x3f, 0x06, 0x5b, 0x4f, 0x66,
                                                        0x6d, 0x7d, 0x07, 0x7f, 0x6f};
  if (c.isDigit()) return kDigits[static_cast<std::size_t>(c.digitValue())];
  return c == QLatin1Char('-') ? 0x40 : 0;
}

// One segment as a hexagon along a, b with half thickness t, shortened by gap.
QPolygonF bar(QPointF a, QPointF b, qreal t, qreal gap) {
  const QPointF d = b - a;
  const qreal len = std::hypot(d.x(), d.y());
  const QPointF u = d / len;
  const QPointF n(-u.y(), u.x());
  const QPointF s = a + u * gap;
  const QPointF e = b - u * gap;
  return QPolygonF(
      {s, s + u * t + n * t, e - u * t + n * t, e, e - u * t - n * t, s + u * t - n * t});
}

void draw_digit(QPainter& p, const QRectF& cell, std::uint8_t lit, QColor on, QColor off) {
  const qreal t = std::max<qreal>(1.0, cell.width() * 0.11);
  const qreal gap = t * 0.35;
  const qreal l = cell.left() + t;
  const qreal r = cell.right() - t;
  const qreal top = cell.top() + t;
  const qreal bottom = cell.bottom() - t;
  const qreal mid = (top + bottom) / 2;
  const std::array<std::pair<QPointF, QPointF>, 7> lines{{{{l, top}, {r, top}},
                                                          {{r, top}, {r, mid}},
                                                          {{r, mid}, {r, bottom}},
                                                          {{l, bottom}, {r, bottom}},
                                                          {{l, mid}, {l, bottom}},
                                                          {{l, top}, {l, mid}},
                                                          {{l, mid}, {r, mid}}}};
  for (std::size_t i = 0; i < lines.size(); ++i) {
    p.setBrush((lit >> i) & 1 ? on : off);
    p.drawPolygon(bar(lines[i].first, lines[i].second, t, gap));
  }
}

}  // namespace

CDigitDisplay::CDigitDisplay(QWidget* parent) : QWidget(parent), lit_(skin::kSegment) {}

void CDigitDisplay::SetTitle(const QString& title) {
  title_ = title;
  update();
}

void CDigitDisplay::SetValue(int value) {
  if (value == value_) return;
  value_ = value;
  update();
}

void CDigitDisplay::SetDigits(int digits) {
  digits_ = std::clamp(digits, 1, 10);
  update();
}

void CDigitDisplay::SetOn(bool on) {
  on_ = on;
  update();
}

void CDigitDisplay::SetSegmentColor(QColor lit) {
  lit_ = lit;
  update();
}

QString CDigitDisplay::Shown(int value, int digits) {
  digits = std::clamp(digits, 1, 10);
  const bool negative = value < 0;
  const int room = negative ? digits - 1 : digits;
  if (room == 0) return QStringLiteral("-");
  QString text = QString::number(static_cast<qint64>(value) * (negative ? -1 : 1));
  if (text.size() > room) text = QString(room, QLatin1Char('9'));
  if (negative) text.prepend(QLatin1Char('-'));
  return text.rightJustified(digits, QLatin1Char(' '));
}

void CDigitDisplay::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.setRenderHint(QPainter::Antialiasing);
  const QRectF all = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
  p.setPen(QPen(skin::kEdge, 1));
  p.setBrush(skin::kPanelDark);
  p.drawRoundedRect(all, 4, 4);

  const QFontMetrics fm(font());
  qreal y = all.top() + 3;
  if (!title_.isEmpty()) {
    p.setPen(skin::kTextDim);
    p.setFont(font());
    const QRectF line(all.left() + 8, y, all.width() - 16, fm.height());
    p.drawText(line, Qt::AlignLeft | Qt::AlignVCenter,
               fm.elidedText(title_, Qt::ElideRight, static_cast<int>(line.width())));
    y = line.bottom() + 2;
  }
  const QRectF window(all.left() + 5, y, all.width() - 10, all.bottom() - 5 - y);
  if (window.height() < 6 || window.width() < 6) return;
  p.setPen(QPen(QColor(0, 0, 0), 1));
  p.setBrush(QColor(4, 8, 6));
  p.drawRoundedRect(window, 3, 3);

  const QRectF area = window.adjusted(6, 5, -6, -5);
  qreal h = area.height();
  qreal w = h * 0.52;
  qreal step = w * 1.32;
  const qreal need = step * (digits_ - 1) + w;
  if (need > area.width()) {
    const qreal k = area.width() / need;
    w *= k;
    step *= k;
    h = std::min(h, w / 0.52);
  }
  const qreal total = step * (digits_ - 1) + w;
  const qreal x0 = area.right() - total - (area.width() - total) / 2;
  const qreal y0 = area.top() + (area.height() - h) / 2;
  const QString shown = Shown(value_, digits_);
  QColor off = lit_;
  off.setAlpha(28);
  p.setPen(Qt::NoPen);
  // A slight forward lean like real displays.
  p.translate(h * 0.04, 0);
  for (int i = 0; i < digits_; ++i) {
    const QRectF cell(x0 + i * step, y0, w, h);
    QTransform lean;
    lean.translate(cell.center().x(), cell.center().y());
    lean.shear(-0.08, 0);
    lean.translate(-cell.center().x(), -cell.center().y());
    p.save();
    p.setTransform(lean, true);
    draw_digit(p, cell, on_ ? segments_of(shown[i]) : 0, lit_, off);
    p.restore();
  }
}
