#include "controls/skin.h"

#include <QApplication>
#include <QFile>
#include <QFileInfo>
#include <QFontDatabase>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QPalette>
#include <QPixmapCache>
#include <QStyle>
#include <QStyleFactory>

namespace skin {
namespace {

QString& folder_override() {
  static QString folder;
  return folder;
}

QString& language() {
  static QString lang;
  return lang;
}

QColor mix(QColor a, QColor b, qreal t) {
  return QColor::fromRgbF(a.redF() + (b.redF() - a.redF()) * t,
                          a.greenF() + (b.greenF() - a.greenF()) * t,
                          a.blueF() + (b.blueF() - a.blueF()) * t);
}

QImage without_mask(QImage image) {
  const QRgb key = kMask.rgb();
  bool keyed = false;
  for (int y = 0; y < image.height() && !keyed; ++y)
    for (int x = 0; x < image.width() && !keyed; ++x) keyed = image.pixel(x, y) == key;
  if (!keyed) return image;
  image = image.convertToFormat(QImage::Format_ARGB32);
  for (int y = 0; y < image.height(); ++y) {
    auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
    for (int x = 0; x < image.width(); ++x)
      if ((line[x] | 0xff000000u) == key) line[x] = 0;
  }
  return image;
}

QPixmap load(const QString& file_name) {
  const QString path = folder() + QLatin1Char('/') + file_name;
  QPixmap pixmap;
  if (QPixmapCache::find(path, &pixmap)) return pixmap;
  QImage image;
  if (!QFile::exists(path) || !image.load(path)) return {};
  pixmap = QPixmap::fromImage(without_mask(std::move(image)));
  QPixmapCache::insert(path, pixmap);
  return pixmap;
}

}  // namespace

QString folder() {
  const QString& set = folder_override();
  if (!set.isEmpty()) return set;
  // Beside the program in the build tree; an installed program (bin/) has
  // them under share/.
  const QString dir = QCoreApplication::applicationDirPath();
  const QString beside = dir + QStringLiteral("/res");
  const QString installed = dir + QStringLiteral("/../share/brevanta/res");
  if (!QFileInfo::exists(beside) && QFileInfo::exists(installed))
    return QFileInfo(installed).canonicalFilePath();
  return beside;
}

void set_folder(const QString& folder) {
  folder_override() = folder;
}

QString language_variant(const QString& file_name) {
  const QString& lang = language();
  if (lang.isEmpty() || lang == QLatin1String("zh")) return {};
  const qsizetype dot = file_name.lastIndexOf(QLatin1Char('.'));
  const qsizetype end = dot < 0 ? file_name.size() : dot;
  return file_name.left(end) + QLatin1Char('_') + lang + file_name.mid(end);
}

QPixmap picture(const QString& file_name) {
  // Most pictures have no words and exist only once.
  if (const QString own = language_variant(file_name); !own.isEmpty()) {
    const QPixmap p = load(own);
    if (!p.isNull()) return p;
  }
  return load(file_name);
}

void set_picture_language(const QString& lang) {
  language() = lang;
}

QString picture_language() {
  return language();
}

void apply_application_font() {
  const QString family = QString::fromLatin1(kFontFamily);
  if (!QFontDatabase::families().contains(family)) return;
  QFont font(family, kFontPoints);
  // Grey antialiasing without hinting does not depend on the screen or fontconfig.
  font.setStyleStrategy(QFont::StyleStrategy(QFont::PreferAntialias | QFont::NoSubpixelAntialias));
  font.setHintingPreference(QFont::PreferNoHinting);
  QApplication::setFont(font);
}

void apply_application_style() {
  apply_application_font();
  if (QStyle* fusion = QStyleFactory::create(QStringLiteral("Fusion")))
    QApplication::setStyle(fusion);
  QPalette pal;
  pal.setColor(QPalette::Window, kPanel);
  pal.setColor(QPalette::WindowText, kText);
  pal.setColor(QPalette::Base, kList);
  pal.setColor(QPalette::AlternateBase, kPanelDark);
  pal.setColor(QPalette::Text, kText);
  pal.setColor(QPalette::PlaceholderText, kTextDim);
  pal.setColor(QPalette::Button, kButton);
  pal.setColor(QPalette::ButtonText, kText);
  pal.setColor(QPalette::Highlight, kAccent);
  pal.setColor(QPalette::HighlightedText, Qt::white);
  pal.setColor(QPalette::ToolTipBase, kPanelLight);
  pal.setColor(QPalette::ToolTipText, kText);
  pal.setColor(QPalette::Light, kPanelLight);
  pal.setColor(QPalette::Mid, kPanelDark);
  pal.setColor(QPalette::Dark, kEdge);
  for (auto role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
    pal.setColor(QPalette::Disabled, role, kTextDisabled);
  pal.setColor(QPalette::Disabled, QPalette::Base, kPanelDark);
  QApplication::setPalette(pal);
}

void draw_face(QPainter& p, const QRectF& r, Face face, QColor base, qreal radius) {
  QColor top;
  QColor bottom;
  QColor border = kEdge;
  QColor shine(255, 255, 255, 46);
  switch (face) {
    case Face::Normal:
      top = base.lighter(122);
      bottom = base.darker(128);
      break;
    case Face::Hover: {
      const QColor lit = mix(base, kAccent, 0.6);
      top = lit.lighter(128);
      bottom = lit.darker(118);
      shine.setAlpha(70);
      break;
    }
    case Face::Pressed: {
      const QColor deep = mix(base, kAccent, 0.35);
      top = deep.darker(150);
      bottom = deep.darker(105);
      border = kEdge.darker(130);
      shine = QColor(0, 0, 0, 60);
      break;
    }
    case Face::Disabled: {
      const int g = qGray(base.rgb());
      const QColor grey = mix(QColor(g, g, g), kPanel, 0.5);
      top = grey.lighter(108);
      bottom = grey.darker(108);
      border = mix(kEdge, grey, 0.4);
      shine.setAlpha(16);
      break;
    }
  }
  p.save();
  p.setRenderHint(QPainter::Antialiasing);
  const QRectF outer = r.adjusted(0.5, 0.5, -0.5, -0.5);
  QLinearGradient fill(outer.topLeft(), outer.bottomLeft());
  fill.setColorAt(0, top);
  fill.setColorAt(0.48, mix(top, bottom, 0.45));
  fill.setColorAt(0.52, mix(top, bottom, 0.6));
  fill.setColorAt(1, bottom);
  p.setPen(QPen(border, 1));
  p.setBrush(fill);
  p.drawRoundedRect(outer, radius, radius);
  // The bevel: a light line under the top edge, or a shadow when pressed.
  const QRectF inner = outer.adjusted(1, 1, -1, -1);
  p.setBrush(Qt::NoBrush);
  p.setPen(QPen(shine, 1));
  p.drawLine(QPointF(inner.left() + radius - 1, inner.top()),
             QPointF(inner.right() - radius + 1, inner.top()));
  p.restore();
}

QColor caption_color(Face face, QColor base) {
  if (face == Face::Disabled) return kTextDisabled;
  if (qGray(base.rgb()) > 150) return QColor(20, 24, 30);
  return face == Face::Hover ? QColor(255, 255, 255) : kText;
}

QPixmap greyed(const QPixmap& pixmap) {
  if (pixmap.isNull()) return {};
  QImage image = pixmap.toImage().convertToFormat(QImage::Format_ARGB32);
  for (int y = 0; y < image.height(); ++y) {
    auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
    for (int x = 0; x < image.width(); ++x) {
      const QRgb c = line[x];
      // Towards the panel colour so the control recedes.
      const int g = (qGray(c) * 3 + qGray(kPanel.rgb()) * 2) / 5;
      line[x] = qRgba(g, g, g + 4 > 255 ? 255 : g + 4, qAlpha(c));
    }
  }
  return QPixmap::fromImage(image);
}

}  // namespace skin
