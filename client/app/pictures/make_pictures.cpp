// brevanta_pictures OUTDIR: draws the client's pictures and writes them as
// 24-bit BMP files (and the program icon as PNG) into OUTDIR. The pictures
// with words come twice: as written and in English (<base>_en.bmp).
#include <QDir>
#include <QFontDatabase>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>

#include <array>
#include <cmath>
#include <cstdio>
#include <functional>

#include "controls/skin.h"

namespace {

using skin::Face;

constexpr std::array<Face, 3> kStates{Face::Normal, Face::Hover, Face::Pressed};
constexpr std::array<const char*, 3> kSuffix{"", "_hover", "_pressed"};

QFont font(int pixels, bool bold = false) {
  QFont f(QString::fromLatin1(skin::kFontFamily));
  f.setPixelSize(pixels);
  f.setBold(bold);
  f.setStyleStrategy(QFont::StyleStrategy(QFont::PreferAntialias | QFont::NoSubpixelAntialias));
  f.setHintingPreference(QFont::PreferNoHinting);
  return f;
}

// The largest font up to pixels whose text fits width.
QFont fitted_font(const QString& text, int pixels, int width) {
  QFont f = font(pixels);
  while (f.pixelSize() > 8 && QFontMetrics(f).horizontalAdvance(text) > width)
    f.setPixelSize(f.pixelSize() - 1);
  return f;
}

// The words drawn into the pictures, and the suffix of the files that carry
// them: the Chinese set is the one without.
struct Captions {
  QString suffix;
  QString title;
  QString starting;
  QString version;
  QString no_video;
  QString no_signal;
  bool english = false;
};

Captions chinese_captions() {
  return {QString(),
          QStringLiteral("移动视频监控客户端"),
          QStringLiteral("正在初始化，请稍候…"),
          QStringLiteral("版本 1.0"),
          QStringLiteral("无视频"),
          QStringLiteral("无信号"),
          false};
}

Captions english_captions() {
  return {QStringLiteral("_en"),
          QStringLiteral("Mobile video surveillance client"),
          QStringLiteral("Starting, please wait..."),
          QStringLiteral("Version 1.0"),
          QStringLiteral("No video"),
          QStringLiteral("No signal"),
          true};
}

QString named(const char* base, const Captions& c) {
  return QString::fromLatin1(base) + c.suffix + QStringLiteral(".bmp");
}

QColor alpha(QColor c, int a) {
  c.setAlpha(a);
  return c;
}

class Writer {
 public:
  explicit Writer(QString dir) : dir_(std::move(dir)) {}

  void save(const QString& name, const QImage& image) {
    const QString path = dir_ + QLatin1Char('/') + name;
    const bool png = name.endsWith(QLatin1String(".png"));
    const QImage out = png ? image : image.convertToFormat(QImage::Format_RGB32);
    if (!out.save(path, png ? "PNG" : "BMP")) {
      std::fprintf(stderr, "brevanta_pictures: cannot write %s\n", qPrintable(path));
      ++failures_;
    }
  }

  // A picture of w x h on a solid ground, drawn by paint.
  void draw(const QString& name, int w, int h, QColor ground,
            const std::function<void(QPainter&)>& paint) {
    QImage image(w, h, QImage::Format_RGB32);
    image.fill(ground);
    {
      QPainter p(&image);
      p.setRenderHint(QPainter::Antialiasing);
      p.setRenderHint(QPainter::TextAntialiasing);
      paint(p);
    }
    save(name, image);
  }

  int failures() const { return failures_; }

 private:
  QString dir_;
  int failures_ = 0;
};

// The emblem: a camera lens seen from the front.
void draw_lens(QPainter& p, QPointF c, qreal r) {
  p.save();
  p.setPen(Qt::NoPen);
  QLinearGradient metal(c - QPointF(0, r), c + QPointF(0, r));
  metal.setColorAt(0, QColor(196, 208, 222));
  metal.setColorAt(0.5, QColor(112, 126, 144));
  metal.setColorAt(1, QColor(50, 58, 70));
  p.setBrush(metal);
  p.drawEllipse(c, r, r);
  p.setBrush(QColor(14, 18, 24));
  p.drawEllipse(c, r * 0.84, r * 0.84);
  QRadialGradient glass(c + QPointF(-r * 0.2, -r * 0.25), r * 0.85);
  glass.setColorAt(0, QColor(62, 122, 176));
  glass.setColorAt(0.55, QColor(22, 52, 86));
  glass.setColorAt(1, QColor(6, 12, 22));
  p.setBrush(glass);
  p.drawEllipse(c, r * 0.74, r * 0.74);
  p.setPen(QPen(alpha(skin::kAccentLight, 210), std::max<qreal>(1.0, r * 0.07)));
  p.setBrush(Qt::NoBrush);
  p.drawEllipse(c, r * 0.46, r * 0.46);
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(4, 8, 14));
  p.drawEllipse(c, r * 0.26, r * 0.26);
  // Reflections: a crescent at the upper left and a spark.
  QPainterPath crescent;
  crescent.addEllipse(c, r * 0.66, r * 0.66);
  QPainterPath cut;
  cut.addEllipse(c + QPointF(r * 0.14, r * 0.16), r * 0.66, r * 0.66);
  p.setBrush(QColor(255, 255, 255, 70));
  p.drawPath(crescent.subtracted(cut));
  p.setBrush(QColor(255, 255, 255, 200));
  p.drawEllipse(c + QPointF(-r * 0.14, -r * 0.16), r * 0.08, r * 0.08);
  p.restore();
}

void draw_splash(Writer& out, const Captions& words) {
  out.draw(named("maindlgbk", words), 640, 400, skin::kPanelDark, [&words](QPainter& p) {
    QLinearGradient sky(0, 0, 640, 400);
    sky.setColorAt(0, QColor(14, 21, 32));
    sky.setColorAt(0.6, QColor(24, 42, 64));
    sky.setColorAt(1, QColor(34, 62, 92));
    p.fillRect(0, 0, 640, 400, sky);
    QRadialGradient glow(QPointF(492, 130), 250);
    glow.setColorAt(0, alpha(skin::kAccent, 90));
    glow.setColorAt(1, alpha(skin::kAccent, 0));
    p.fillRect(0, 0, 640, 400, glow);

    // A faint survey grid on the right.
    for (int x = 320; x < 640; x += 24) {
      QLinearGradient fade(x, 0, x, 400);
      fade.setColorAt(0, QColor(255, 255, 255, 0));
      fade.setColorAt(0.4, QColor(255, 255, 255, 12));
      fade.setColorAt(1, QColor(255, 255, 255, 0));
      p.setPen(QPen(QBrush(fade), 1));
      p.drawLine(x, 0, x, 400);
    }
    for (int y = 12; y < 320; y += 24) {
      QLinearGradient fade(320, y, 640, y);
      fade.setColorAt(0, QColor(255, 255, 255, 0));
      fade.setColorAt(1, QColor(255, 255, 255, 12));
      p.setPen(QPen(QBrush(fade), 1));
      p.drawLine(320, y, 640, y);
    }

    // The lens with its scanning rings.
    const QPointF lens(492, 126);
    p.setBrush(Qt::NoBrush);
    for (auto [r, a, from, span] : std::array<std::array<int, 4>, 3>{
             {{110, 70, 30, 120}, {138, 48, 200, 110}, {170, 30, 70, 80}}}) {
      p.setPen(QPen(alpha(skin::kAccentLight, a), 2, Qt::SolidLine, Qt::RoundCap));
      p.drawArc(QRectF(lens.x() - r, lens.y() - r, 2 * r, 2 * r), from * 16, span * 16);
      p.setPen(QPen(alpha(skin::kAccentLight, a / 3), 1));
      p.drawEllipse(lens, r, r);
    }
    draw_lens(p, lens, 86);

    // The road along the bottom with a bus on it.
    QLinearGradient ground(0, 318, 0, 400);
    ground.setColorAt(0, QColor(10, 15, 24, 230));
    ground.setColorAt(1, QColor(6, 9, 14, 255));
    p.fillRect(0, 318, 640, 82, ground);
    p.setPen(QPen(alpha(skin::kAccentLight, 150), 1));
    p.drawLine(0, 318, 640, 318);
    p.setPen(QPen(QColor(255, 255, 255, 40), 2, Qt::SolidLine, Qt::FlatCap));
    for (int x = 300; x < 640; x += 38) p.drawLine(x, 334, x + 20, 334);

    const QRectF bus(392, 250, 196, 62);
    QLinearGradient paint(bus.topLeft(), bus.bottomLeft());
    paint.setColorAt(0, QColor(132, 156, 184));
    paint.setColorAt(1, QColor(58, 74, 96));
    p.setPen(QPen(QColor(8, 12, 18), 1.5));
    p.setBrush(paint);
    QPainterPath body;
    body.moveTo(bus.left() + 6, bus.bottom());
    body.lineTo(bus.left(), bus.bottom() - 8);
    body.lineTo(bus.left() + 4, bus.top() + 8);
    body.quadTo(bus.left() + 6, bus.top(), bus.left() + 16, bus.top());
    body.lineTo(bus.right() - 10, bus.top());
    body.quadTo(bus.right(), bus.top(), bus.right(), bus.top() + 12);
    body.lineTo(bus.right(), bus.bottom() - 4);
    body.lineTo(bus.right() - 4, bus.bottom());
    body.closeSubpath();
    p.drawPath(body);
    p.setPen(Qt::NoPen);
    QLinearGradient glass(0, bus.top() + 8, 0, bus.top() + 30);
    glass.setColorAt(0, QColor(20, 36, 58));
    glass.setColorAt(1, QColor(44, 84, 124));
    p.setBrush(glass);
    p.drawRoundedRect(QRectF(bus.left() + 20, bus.top() + 8, bus.width() - 30, 20), 3, 3);
    p.drawRoundedRect(QRectF(bus.left() + 5, bus.top() + 8, 11, 24), 2, 2);
    p.setPen(QPen(QColor(70, 88, 112), 2));
    for (int i = 1; i < 6; ++i)
      p.drawLine(QPointF(bus.left() + 20 + i * 28, bus.top() + 9),
                 QPointF(bus.left() + 20 + i * 28, bus.top() + 27));
    p.setPen(Qt::NoPen);
    QRadialGradient beam(QPointF(bus.right() - 1, bus.bottom() - 12), 26);
    beam.setColorAt(0, QColor(255, 240, 200, 160));
    beam.setColorAt(1, QColor(255, 240, 200, 0));
    p.setBrush(beam);
    p.drawEllipse(QPointF(bus.right() - 1, bus.bottom() - 12), 26, 26);
    p.setBrush(QColor(255, 246, 220));
    p.drawRoundedRect(QRectF(bus.right() - 6, bus.bottom() - 15, 5, 5), 1.5, 1.5);
    p.setBrush(QColor(220, 50, 44));
    p.drawRect(QRectF(bus.left() + 2, bus.bottom() - 16, 3, 6));
    p.setBrush(alpha(skin::kAccentLight, 200));
    p.drawRect(QRectF(bus.left() + 8, bus.top() + 38, bus.width() - 16, 3));
    for (qreal wx : {bus.left() + 38, bus.right() - 40}) {
      p.setBrush(QColor(8, 10, 14));
      p.drawEllipse(QPointF(wx, bus.bottom()), 12, 12);
      p.setBrush(QColor(120, 132, 148));
      p.drawEllipse(QPointF(wx, bus.bottom()), 5, 5);
    }
    // The camera on the roof sends its picture.
    p.setBrush(QColor(200, 212, 226));
    p.drawRoundedRect(QRectF(bus.left() + 30, bus.top() - 7, 14, 7), 2, 2);
    p.setBrush(Qt::NoBrush);
    for (int i = 1; i <= 3; ++i) {
      p.setPen(QPen(alpha(skin::kAccentLight, 230 - i * 50), 2, Qt::SolidLine, Qt::RoundCap));
      const qreal r = 6.0 + i * 7;
      p.drawArc(QRectF(bus.left() + 37 - r, bus.top() - 10 - r, 2 * r, 2 * r), 50 * 16, 80 * 16);
    }

    // The words.
    p.setPen(Qt::white);
    p.setFont(font(46, true));
    p.drawText(44, 136, QStringLiteral("Brevanta"));
    QLinearGradient bar(46, 0, 170, 0);
    bar.setColorAt(0, skin::kAccentLight);
    bar.setColorAt(1, alpha(skin::kAccentLight, 0));
    p.fillRect(46, 152, 160, 3, bar);
    p.setPen(skin::kText);
    // Clear of the lens's rim.
    p.setFont(fitted_font(words.title, 22, 350));
    p.drawText(46, 190, words.title);
    // The Chinese title has the English name beneath; the English title is that name.
    if (!words.english) {
      p.setPen(skin::kTextDim);
      p.setFont(font(12));
      p.drawText(47, 214, QStringLiteral("Mobile Video Surveillance Client"));
    }

    p.setPen(skin::kText);
    p.setFont(font(13));
    p.drawText(46, 362, words.starting);
    p.fillRect(46, 372, 180, 2, QColor(255, 255, 255, 30));
    QLinearGradient run(46, 0, 126, 0);
    run.setColorAt(0, alpha(skin::kAccentLight, 40));
    run.setColorAt(1, skin::kAccentLight);
    p.fillRect(46, 372, 80, 2, run);
    p.setPen(skin::kTextDim);
    p.setFont(font(12));
    p.drawText(46, 392, words.version);

    p.setPen(QPen(QColor(92, 118, 148), 1));
    p.setBrush(Qt::NoBrush);
    p.setRenderHint(QPainter::Antialiasing, false);
    p.drawRect(0, 0, 639, 399);
  });
}

void draw_logo(Writer& out, const Captions& words) {
  out.draw(named("logo", words), 240, 56, skin::kPanel, [&words](QPainter& p) {
    draw_lens(p, QPointF(27, 28), 21);
    p.setPen(Qt::white);
    p.setFont(font(28, true));
    p.drawText(58, 32, QStringLiteral("Brevanta"));
    p.setPen(skin::kTextDim);
    p.setFont(fitted_font(words.title, 12, 176));
    p.drawText(60, 52, words.title);
    QLinearGradient bar(58, 0, 230, 0);
    bar.setColorAt(0, skin::kAccentLight);
    bar.setColorAt(1, alpha(skin::kAccentLight, 0));
    p.fillRect(QRectF(59, 37, 170, 1.5), bar);
  });
}

void draw_camera_glyph(QPainter& p, QPointF c, qreal s, QColor body, QColor lens) {
  p.save();
  p.setPen(Qt::NoPen);
  p.setBrush(body);
  p.drawRoundedRect(QRectF(c.x() - 0.24 * s, c.y() - 0.44 * s, 0.3 * s, 0.12 * s), 0.03 * s,
                    0.03 * s);
  p.drawRoundedRect(QRectF(c.x() - 0.5 * s, c.y() - 0.34 * s, 1.0 * s, 0.68 * s), 0.1 * s, 0.1 * s);
  p.setBrush(lens);
  p.drawEllipse(c, 0.24 * s, 0.24 * s);
  p.setBrush(body);
  p.drawEllipse(c, 0.15 * s, 0.15 * s);
  p.setBrush(lens);
  p.drawEllipse(c + QPointF(0.34 * s, -0.2 * s), 0.05 * s, 0.05 * s);
  p.restore();
}

void draw_no_signal(Writer& out, const Captions& words) {
  out.draw(named("NoSignal1", words), 352, 288, skin::kVideoBack, [&words](QPainter& p) {
    QRadialGradient light(QPointF(176, 138), 220);
    light.setColorAt(0, QColor(40, 45, 52));
    light.setColorAt(1, QColor(16, 18, 22));
    p.fillRect(0, 0, 352, 288, light);
    draw_camera_glyph(p, QPointF(176, 132), 84, QColor(78, 85, 95), QColor(36, 40, 46));
    p.setPen(QColor(110, 118, 128));
    p.setFont(font(14));
    p.drawText(QRectF(0, 178, 352, 24), Qt::AlignCenter, words.no_video);
  });
  out.draw(named("NoSignal2", words), 352, 288, QColor(50, 20, 22), [&words](QPainter& p) {
    // Only under the glyph, so the address lines at the top left stay on plain ground.
    QRadialGradient light(QPointF(176, 168), 100);
    light.setColorAt(0, QColor(74, 30, 32));
    light.setColorAt(1, QColor(50, 20, 22));
    p.fillRect(0, 68, 352, 220, light);
    const QPointF c(176, 160);
    draw_camera_glyph(p, c, 84, QColor(132, 74, 76), QColor(58, 26, 28));
    p.setPen(QPen(QColor(50, 20, 22), 9, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(c + QPointF(-44, -40), c + QPointF(44, 40));
    p.setPen(QPen(QColor(226, 92, 88), 4, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(c + QPointF(-44, -40), c + QPointF(44, 40));
    p.setPen(QColor(186, 118, 116));
    p.setFont(font(14));
    p.drawText(QRectF(0, 210, 352, 24), Qt::AlignCenter, words.no_signal);
  });
}

void draw_backgrounds(Writer& out) {
  // The bottom bar, as tall as the window's: a bevelled top and a groove
  // between the lights and the command row.
  out.draw(QStringLiteral("bk318.bmp"), 64, 104, skin::kPanel, [](QPainter& p) {
    p.setRenderHint(QPainter::Antialiasing, false);
    QLinearGradient g(0, 2, 0, 104);
    g.setColorAt(0, skin::kPanel.lighter(110));
    g.setColorAt(0.4, skin::kPanel);
    g.setColorAt(1, skin::kPanel.darker(112));
    p.fillRect(0, 2, 64, 102, g);
    p.fillRect(0, 0, 64, 1, skin::kEdge);
    p.fillRect(0, 1, 64, 1, skin::kPanelLight);
    p.fillRect(0, 35, 64, 1, skin::kPanelDark);
    p.fillRect(0, 36, 64, 1, skin::kPanelLight);
  });
  // The side panel, as wide as the window's; plain inside so the logo sits on it.
  out.draw(QStringLiteral("bk320.bmp"), 300, 64, skin::kPanel, [](QPainter& p) {
    p.setRenderHint(QPainter::Antialiasing, false);
    p.fillRect(0, 0, 1, 64, skin::kEdge);
    p.fillRect(1, 0, 1, 64, skin::kPanelLight);
  });
  out.draw(QStringLiteral("bk323.bmp"), 64, 64, skin::kVideoBack, [](QPainter&) {});
}

void draw_tree_icons(Writer& out) {
  // Pixel drawings on the mask colour, without antialiasing so no edge mixes with it.
  out.draw(QStringLiteral("tree_server.bmp"), 16, 16, skin::kMask, [](QPainter& p) {
    p.setRenderHint(QPainter::Antialiasing, false);
    p.fillRect(12, 1, 1, 4, QColor(150, 162, 178));
    p.fillRect(1, 5, 14, 9, QColor(30, 36, 46));
    p.fillRect(2, 6, 12, 7, QColor(150, 166, 188));
    p.fillRect(2, 6, 12, 1, QColor(200, 212, 228));
    p.fillRect(3, 8, 6, 2, QColor(40, 48, 60));
    p.fillRect(11, 8, 1, 1, QColor(60, 230, 100));
    p.fillRect(11, 10, 1, 1, QColor(250, 180, 40));
    p.fillRect(3, 11, 10, 1, QColor(96, 110, 130));
  });
  out.draw(QStringLiteral("tree_channel.bmp"), 16, 16, skin::kMask, [](QPainter& p) {
    p.setRenderHint(QPainter::Antialiasing, false);
    p.fillRect(1, 3, 11, 7, QColor(30, 36, 46));
    p.fillRect(2, 4, 9, 5, QColor(196, 206, 220));
    p.fillRect(2, 4, 9, 1, QColor(236, 240, 246));
    p.fillRect(12, 4, 3, 5, QColor(30, 36, 46));
    p.fillRect(12, 5, 2, 3, QColor(60, 120, 180));
    p.fillRect(5, 10, 2, 3, QColor(30, 36, 46));
    p.fillRect(3, 13, 6, 2, QColor(30, 36, 46));
    p.fillRect(4, 13, 4, 1, QColor(120, 132, 148));
    p.fillRect(3, 6, 1, 1, QColor(230, 60, 50));
  });
}

void draw_buttons(Writer& out) {
  constexpr std::array<std::pair<Face, const char*>, 4> kFaces{
      {{Face::Normal, "btn_normal.bmp"},
       {Face::Hover, "btn_hover.bmp"},
       {Face::Pressed, "btn_pressed.bmp"},
       {Face::Disabled, "btn_disabled.bmp"}}};
  for (auto [face, name] : kFaces)
    out.draw(QString::fromLatin1(name), 96, 28, skin::kPanel,
             [face = face](QPainter& p) { skin::draw_face(p, QRectF(0, 0, 96, 28), face); });

  out.draw(QStringLiteral("slider_channel.bmp"), 120, 8, skin::kPanel, [](QPainter& p) {
    p.setPen(QPen(skin::kEdge, 1));
    p.setBrush(QColor(14, 17, 22));
    p.drawRoundedRect(QRectF(0.5, 0.5, 119, 7), 3.5, 3.5);
    p.setPen(QPen(QColor(255, 255, 255, 34), 1));
    p.drawLine(QPointF(4, 7.5), QPointF(116, 7.5));
  });
  out.draw(QStringLiteral("slider_thumb.bmp"), 12, 20, skin::kPanel, [](QPainter& p) {
    skin::draw_face(p, QRectF(0, 0, 12, 20), Face::Normal, QColor(128, 148, 172), 3);
    p.setPen(QPen(QColor(40, 50, 64), 1));
    for (qreal y : {7.5, 10.5, 13.5}) p.drawLine(QPointF(3.5, y), QPointF(8.5, y));
  });
}

QColor glyph_color(Face face) {
  switch (face) {
    case Face::Hover:
      return Qt::white;
    case Face::Pressed:
      return skin::kAccentLight;
    default:
      return skin::kText;
  }
}

void draw_ptz(Writer& out) {
  // Directions as angles: up, down, left, right.
  constexpr std::array<std::pair<const char*, int>, 4> kArrows{
      {{"ptz_up", 0}, {"ptz_down", 180}, {"ptz_left", 270}, {"ptz_right", 90}}};
  for (std::size_t s = 0; s < kStates.size(); ++s) {
    const Face face = kStates[s];
    for (auto [base, angle] : kArrows) {
      out.draw(
          QString::fromLatin1(base) + QString::fromLatin1(kSuffix[s]) + ".bmp", 40, 40,
          skin::kPanel, [face, angle = angle](QPainter& p) {
            skin::draw_face(p, QRectF(0, 0, 40, 40), face, skin::kButton, 6);
            p.translate(20, 20);
            if (face == Face::Pressed) p.translate(0.5, 0.5);
            p.rotate(angle);
            QPolygonF arrow({{0, -11}, {10, 4}, {3, 4}, {3, 10}, {-3, 10}, {-3, 4}, {-10, 4}});
            p.setPen(QPen(QColor(0, 0, 0, 90), 1.2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
            p.setBrush(glyph_color(face));
            p.drawPolygon(arrow);
          });
    }
    out.draw(QStringLiteral("ptz_auto") + QString::fromLatin1(kSuffix[s]) + ".bmp", 40, 40,
             skin::kPanel, [face](QPainter& p) {
               skin::draw_face(p, QRectF(0, 0, 40, 40), face, skin::kButton, 6);
               const QColor c = glyph_color(face);
               const QPointF m(20, 20);
               p.setPen(QPen(c, 2.4, Qt::SolidLine, Qt::RoundCap));
               p.setBrush(Qt::NoBrush);
               const QRectF ring(m.x() - 11, m.y() - 11, 22, 22);
               p.drawArc(ring, 110 * 16, 290 * 16);
               // The arrowhead where the arc ends, pointing along it.
               const qreal end = qDegreesToRadians(110.0 + 290.0);
               const QPointF tip = m + QPointF(11 * std::cos(end), -11 * std::sin(end));
               p.setPen(Qt::NoPen);
               p.setBrush(c);
               p.translate(tip);
               p.rotate(-(110.0 + 290.0));
               p.drawPolygon(QPolygonF({{-5, 2}, {5, 2}, {0, -5}}));
               p.resetTransform();
               p.setPen(c);
               p.setFont(font(11, true));
               p.drawText(QRectF(0, 0, 40, 40), Qt::AlignCenter, QStringLiteral("A"));
             });
  }
}

void draw_layouts(Writer& out) {
  for (int n : {1, 2, 3, 4}) {
    for (std::size_t s = 0; s < kStates.size(); ++s) {
      const Face face = kStates[s];
      const QString name = QStringLiteral("layout%1%2.bmp").arg(n * n).arg(kSuffix[s]);
      out.draw(name, 32, 32, skin::kPanel, [face, n](QPainter& p) {
        skin::draw_face(p, QRectF(0, 0, 32, 32), face);
        p.setRenderHint(QPainter::Antialiasing, false);
        const int gap = n >= 3 ? 1 : 2;
        const int cell = (20 - gap * (n - 1)) / n;
        const int span = cell * n + gap * (n - 1);
        const int x0 = (32 - span) / 2 + (face == Face::Pressed ? 1 : 0);
        const int y0 = (32 - span) / 2 + (face == Face::Pressed ? 1 : 0);
        const QColor c = face == Face::Normal ? QColor(176, 190, 208) : glyph_color(face);
        p.fillRect(x0 - 1, y0 - 1, span + 2, span + 2, QColor(16, 20, 26));
        for (int r = 0; r < n; ++r)
          for (int k = 0; k < n; ++k)
            p.fillRect(x0 + k * (cell + gap), y0 + r * (cell + gap), cell, cell, c);
      });
    }
  }
}

void draw_icon(Writer& out) {
  QImage icon(64, 64, QImage::Format_ARGB32);
  icon.fill(Qt::transparent);
  {
    QPainter p(&icon);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(20, 26, 34, 230));
    p.drawEllipse(QPointF(32, 32), 31.5, 31.5);
    draw_lens(p, QPointF(32, 32), 29);
  }
  out.save(QStringLiteral("icon.png"), icon);
}

}  // namespace

int main(int argc, char** argv) {
  QGuiApplication app(argc, argv);
  if (argc != 2) {
    std::fprintf(stderr, "usage: brevanta_pictures OUTDIR\n");
    return 2;
  }
  if (!QFontDatabase::families().contains(QString::fromLatin1(skin::kFontFamily)))
    std::fprintf(stderr, "brevanta_pictures: warning: font %s is missing\n", skin::kFontFamily);
  const QString dir = QString::fromLocal8Bit(argv[1]);
  if (!QDir().mkpath(dir)) {
    std::fprintf(stderr, "brevanta_pictures: cannot create %s\n", argv[1]);
    return 1;
  }
  Writer out(dir);
  for (const Captions& words : {chinese_captions(), english_captions()}) {
    draw_splash(out, words);
    draw_logo(out, words);
    draw_no_signal(out, words);
  }
  draw_backgrounds(out);
  draw_tree_icons(out);
  draw_buttons(out);
  draw_ptz(out);
  draw_layouts(out);
  draw_icon(out);
  return out.failures() == 0 ? 0 : 1;
}
