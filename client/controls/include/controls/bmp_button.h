// CBMPButton: a push button drawn from pictures of its normal, hover, pressed
// and disabled looks, with the caption (and icon) centred on top.
#pragma once

#include <QPixmap>
#include <QPushButton>

#include <array>

#include "controls/skin.h"

class CBMPButton : public QPushButton {
  Q_OBJECT

 public:
  explicit CBMPButton(const QString& caption = {}, QWidget* parent = nullptr);

  // Missing hover or pressed pictures fall back to normal; a missing disabled
  // one to a greyed normal.
  void SetBitmaps(const QPixmap& normal, const QPixmap& hover, const QPixmap& pressed,
                  const QPixmap& disabled = {});
  // Through skin::picture(); false, and the look unchanged, when normal is missing.
  bool LoadBitmaps(const QString& normal, const QString& hover, const QString& pressed,
                   const QString& disabled = {});

  // Pressed while down or checked.
  skin::Face Look() const;
  bool Hovered() const { return hovered_; }

  // The caption without mnemonic markers: "&&" stays one '&'.
  static QString PlainCaption(const QString& caption);

  QSize sizeHint() const override;
  QSize minimumSizeHint() const override;

 protected:
  void paintEvent(QPaintEvent* event) override;
  void enterEvent(QEnterEvent* event) override;
  void leaveEvent(QEvent* event) override;
  void hideEvent(QHideEvent* event) override;

  virtual void PaintFace(QPainter& p, skin::Face look);
  virtual QColor CaptionColor(skin::Face look) const;

 private:
  void PaintCaption(QPainter& p, skin::Face look);

  // Normal, hover, pressed, disabled from SetBitmaps; without them the generic
  // skin pictures, stretched around their corners.
  std::array<QPixmap, 4> bitmaps_;
  bool own_bitmaps_ = false;
  bool hovered_ = false;
};
