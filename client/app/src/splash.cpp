#include "splash.h"

#include <QGuiApplication>
#include <QPainter>
#include <QScreen>

#include "controls/skin.h"

COrvClnInit::COrvClnInit(const std::filesystem::path& working_folder, QWidget* parent)
    : QWidget(parent, Qt::SplashScreen | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint) {
  setObjectName(QStringLiteral("COrvClnInit"));
  const QString res = QString::fromStdString((working_folder / "res").string()) + QLatin1Char('/');
  const QString english = skin::language_variant(QStringLiteral("maindlgbk.bmp"));
  if (english.isEmpty() || !bitmap_.load(res + english))
    bitmap_.load(res + QStringLiteral("maindlgbk.bmp"));
  const QSize size = bitmap_.isNull() ? QSize(480, 300) : bitmap_.size();
  resize(size);
  if (QScreen* screen = QGuiApplication::primaryScreen()) {
    const QRect s = screen->geometry();
    move(s.x() + (s.width() - size.width()) / 2, s.y() + (s.height() - size.height()) / 2);
  }
}

void COrvClnInit::paintEvent(QPaintEvent*) {
  QPainter p(this);
  if (bitmap_.isNull()) {
    p.fillRect(rect(), palette().window());
    return;
  }
  p.drawPixmap(rect(), bitmap_);
}
