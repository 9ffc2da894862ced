// CBitmapSlider: a QSlider painted from the skin's channel and thumb pictures;
// keyboard and mouse stay QSlider's.
#pragma once

#include <QSlider>

class CBitmapSlider : public QSlider {
  Q_OBJECT

 public:
  explicit CBitmapSlider(QWidget* parent = nullptr);

 protected:
  void paintEvent(QPaintEvent* event) override;
};
