// CColorStatic: a label in chosen colours, for the captions of sliders and groups.
#pragma once

#include <QLabel>

class CColorStatic : public QLabel {
  Q_OBJECT

 public:
  explicit CColorStatic(QWidget* parent = nullptr);
  explicit CColorStatic(const QString& text, QWidget* parent = nullptr);

  // A transparent background lets the skin behind show through.
  void SetColors(QColor text, QColor background = Qt::transparent);
  QColor TextColor() const { return text_; }
  QColor BackgroundColor() const { return background_; }

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  QColor text_;
  QColor background_;
};
