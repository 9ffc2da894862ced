// CLedIndicator: a round indicator light.
#pragma once

#include <QColor>
#include <QWidget>

class CLedIndicator : public QWidget {
  Q_OBJECT

 public:
  // Normal: dim green, the slot is in use; On: lit in the on colour.
  enum class State { Off, Normal, On };

  explicit CLedIndicator(QWidget* parent = nullptr);

  void SetState(State state);
  State GetState() const { return state_; }
  void SetOnColor(QColor color);
  QColor OnColor() const { return on_color_; }

  QSize sizeHint() const override { return {16, 16}; }
  QSize minimumSizeHint() const override { return {8, 8}; }

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  State state_ = State::Off;
  QColor on_color_{230, 40, 40};
};
