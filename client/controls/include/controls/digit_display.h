// CDigitDisplay: a seven-segment read-out under a title line.
#pragma once

#include <QString>
#include <QWidget>

class CDigitDisplay : public QWidget {
  Q_OBJECT

 public:
  explicit CDigitDisplay(QWidget* parent = nullptr);

  void SetTitle(const QString& title);
  QString Title() const { return title_; }
  void SetValue(int value);
  int Value() const { return value_; }
  // 1..10; default 5.
  void SetDigits(int digits);
  int Digits() const { return digits_; }
  // Off shows the dark segments only.
  void SetOn(bool on);
  bool IsOn() const { return on_; }
  void SetSegmentColor(QColor lit);

  // What the cells show, right-aligned in `digits` characters of "0-9", '-'
  // and ' '; a value too long for them saturates at 99..9 or -9..9.
  static QString Shown(int value, int digits);

  QSize sizeHint() const override { return {160, 64}; }
  QSize minimumSizeHint() const override { return {60, 40}; }

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  QString title_;
  int value_ = 0;
  int digits_ = 5;
  bool on_ = true;
  QColor lit_;
};
