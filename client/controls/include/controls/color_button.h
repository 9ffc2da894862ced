// CColorButton: a CBMPButton in colours of its own, numbered in creation order.
#pragma once

#include "controls/bmp_button.h"

class CColorButton : public CBMPButton {
  Q_OBJECT

 public:
  explicit CColorButton(const QString& caption = {}, QWidget* parent = nullptr);

  // How many CColorButtons the process created before this one.
  int Index() const { return index_; }

  // An invalid face keeps the pictures; an invalid text the skin's caption colour.
  void SetColors(QColor face, QColor text);
  QColor FaceColor() const { return face_; }
  QColor TextColor() const { return text_; }

 protected:
  void PaintFace(QPainter& p, skin::Face look) override;
  QColor CaptionColor(skin::Face look) const override;

 private:
  const int index_;
  QColor face_;
  QColor text_;
};
