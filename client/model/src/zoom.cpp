#include "model/zoom.h"

#include <algorithm>
#include <cmath>

namespace model {
namespace {

constexpr double kScaleSlack = 1e-9;

bool usable(double extent) {
  return std::isfinite(extent) && extent > 0;
}

// A view read from outside (or built by hand) made sound: a scale in range
// and a centre that keeps the shown part inside the picture.
ZoomView normalised(const ZoomView& v) {
  if (!std::isfinite(v.scale) || v.scale <= 1.0) return {};
  ZoomView out;
  out.scale = std::min(v.scale, kMaxZoom);
  const double half = 0.5 / out.scale;
  auto centre = [half](double c) {
    return std::isfinite(c) ? std::clamp(c, half, 1.0 - half) : 0.5;
  };
  out.cx = centre(v.cx);
  out.cy = centre(v.cy);
  return out;
}

}  // namespace

ZoomView zoom_at(const ZoomView& v, double x, double y, double w, double h, double steps) {
  const ZoomView from = normalised(v);
  if (!usable(w) || !usable(h)) return {};
  if (!std::isfinite(x) || !std::isfinite(y) || !std::isfinite(steps)) return from;
  ZoomView to;
  to.scale = std::clamp(from.scale * std::pow(kZoomStep, steps), 1.0, kMaxZoom);
  // Rounding must not leave a view zoomed by a hair after as many steps out as in.
  if (to.scale <= 1.0 + kScaleSlack) return {};
  // The picture point under the cursor, in fractions, before and after.
  const double fx = std::clamp(x / w, 0.0, 1.0) - 0.5;
  const double fy = std::clamp(y / h, 0.0, 1.0) - 0.5;
  const double px = from.cx + fx / from.scale;
  const double py = from.cy + fy / from.scale;
  to.cx = px - fx / to.scale;
  to.cy = py - fy / to.scale;
  return normalised(to);
}

ZoomView pan(const ZoomView& v, double dx, double dy, double w, double h) {
  const ZoomView from = normalised(v);
  if (!usable(w) || !usable(h)) return {};
  if (!zoomed(from) || !std::isfinite(dx) || !std::isfinite(dy)) return from;
  ZoomView to = from;
  to.cx -= dx / w / from.scale;
  to.cy -= dy / h / from.scale;
  return normalised(to);
}

SourceRect source_rect(const ZoomView& v, double pw, double ph) {
  if (!usable(pw) || !usable(ph)) return {0, 0, 0, 0};
  const ZoomView z = normalised(v);
  const double width = pw / z.scale;
  const double height = ph / z.scale;
  return {(z.cx * pw) - width / 2, (z.cy * ph) - height / 2, width, height};
}

bool zoomed(const ZoomView& v) {
  return std::isfinite(v.scale) && v.scale > 1.0;
}

}  // namespace model
