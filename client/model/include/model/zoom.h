// Digital zoom of a shown video picture: which part of the decoded picture a
// view shows, as the wheel zooms around the cursor and a drag pans. Pure
// geometry on the picture alone; no device is asked to zoom.
#pragma once

namespace model {

// scale 1 shows the whole picture; (cx, cy) is the centre of the shown part
// in fractions of the picture's width and height.
struct ZoomView {
  double scale = 1.0;
  double cx = 0.5;
  double cy = 0.5;
};

inline constexpr double kMaxZoom = 8.0;
inline constexpr double kZoomStep = 1.25;

// steps wheel steps (> 0 in, < 0 out, fractions allowed; each whole step x1.25)
// around the point (x, y) of a view of w x h: the picture point under it stays
// there. The scale stays in [1, kMaxZoom]; back at 1 the centre resets.
ZoomView zoom_at(const ZoomView& v, double x, double y, double w, double h, double steps);

// A drag by (dx, dy) view pixels moves the picture with the mouse; the shown
// part stays inside the picture.
ZoomView pan(const ZoomView& v, double dx, double dy, double w, double h);

// The shown part of a picture of pw x ph, in picture pixels.
struct SourceRect {
  double x;
  double y;
  double width;
  double height;
};
SourceRect source_rect(const ZoomView& v, double pw, double ph);

bool zoomed(const ZoomView& v);

}  // namespace model
