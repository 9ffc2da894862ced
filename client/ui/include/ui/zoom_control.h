// Digital zoom of a widget that shows a video picture: the wheel zooms around
// the cursor, a left-button drag pans while zoomed, and the widget paints
// through Draw. The geometry is model/zoom.h; the widget keeps its own
// meaning of clicks and double clicks while not zoomed.
#pragma once

#include <QImage>
#include <QPointF>
#include <QRect>
#include <QSize>

#include "model/zoom.h"

class QMouseEvent;
class QPainter;
class QWheelEvent;

namespace ui {

class ZoomControl {
 public:
  // Event handlers of the widget showing the picture over its whole area;
  // true when the event was used (and accepted).
  bool Wheel(QWheelEvent* e, QSize widget);  // angleDelta/120 steps, fractions too
  bool Press(QMouseEvent* e);                // left button while zoomed starts a pan
  bool Move(QMouseEvent* e, QSize widget);
  bool Release(QMouseEvent* e);
  void Reset();
  bool Zoomed() const { return model::zoomed(view_); }
  bool Panning() const { return panning_; }
  const model::ZoomView& View() const { return view_; }

  // Draws picture into target as the zoom shows it (the whole picture when not
  // zoomed), with a small "x2.0" badge in a corner while zoomed.
  void Draw(QPainter& p, const QRect& target, const QImage& picture) const;

 private:
  model::ZoomView view_;
  bool panning_ = false;
  QPointF last_;
};

}  // namespace ui
