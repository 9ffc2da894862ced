#include "model/zoom.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

using namespace model;

namespace {

constexpr double kW = 800;
constexpr double kH = 600;

// Where view point (x, y) falls on the picture, in fractions.
double picture_x(const ZoomView& v, double x) {
  return v.cx + (x / kW - 0.5) / v.scale;
}
double picture_y(const ZoomView& v, double y) {
  return v.cy + (y / kH - 0.5) / v.scale;
}

void expect_inside(const ZoomView& v, const char* why) {
  const SourceRect r = source_rect(v, kW, kH);
  EXPECT_GE(r.x, -1e-9) << why;
  EXPECT_GE(r.y, -1e-9) << why;
  EXPECT_LE(r.x + r.width, kW + 1e-9) << why;
  EXPECT_LE(r.y + r.height, kH + 1e-9) << why;
}

}  // namespace

TEST(ModelZoom, ThePointUnderTheCursorStaysPutUnlessAnEdgeStopsIt) {
  struct Case {
    const char* why;
    ZoomView from;
    double x, y, steps;
    bool stays;  // false: the picture edge holds the shown part instead
  } cases[] = {
      {"centre", {}, 400, 300, 1, true},
      {"off centre", {}, 200, 450, 3, true},
      {"fractional step", {}, 600, 100, 0.4, true},
      {"zoomed in further", {2.0, 0.3, 0.6}, 700, 50, 2, true},
      {"zoomed out a step", {4.0, 0.7, 0.4}, 100, 500, -1, true},
      {"out towards a corner", {4.0, 0.2, 0.2}, 790, 590, -2, false},
  };
  for (const auto& c : cases) {
    const ZoomView to = zoom_at(c.from, c.x, c.y, kW, kH, c.steps);
    EXPECT_NEAR(to.scale, c.from.scale * std::pow(1.25, c.steps), 1e-9) << c.why;
    expect_inside(to, c.why);
    if (!c.stays) continue;
    EXPECT_NEAR(picture_x(to, c.x), picture_x(c.from, c.x), 1e-9) << c.why;
    EXPECT_NEAR(picture_y(to, c.y), picture_y(c.from, c.y), 1e-9) << c.why;
  }
  // At a corner the corner itself stays put: the edge and the cursor agree.
  const ZoomView corner = zoom_at({}, 0, 0, kW, kH, 5);
  EXPECT_NEAR(picture_x(corner, 0), 0, 1e-9);
  EXPECT_NEAR(picture_y(corner, 0), 0, 1e-9);
}

TEST(ModelZoom, TheScaleStopsAtBothEndsAndStepsBackToTheWholePicture) {
  ZoomView v;
  for (int i = 0; i < 30; ++i) v = zoom_at(v, 123, 456, kW, kH, 1);
  EXPECT_DOUBLE_EQ(v.scale, kMaxZoom);
  expect_inside(v, "at the top");
  const SourceRect top = source_rect(v, 704, 576);
  EXPECT_DOUBLE_EQ(top.width, 88);
  EXPECT_DOUBLE_EQ(top.height, 72);

  // From below the top, as many steps out as in come back to exactly 1.
  ZoomView w;
  for (int i = 0; i < 7; ++i) w = zoom_at(w, 10 + 100 * i, 500 - 60 * i, kW, kH, 1);
  ASSERT_TRUE(zoomed(w));
  for (int i = 0; i < 7; ++i) w = zoom_at(w, 700 - 90 * i, 40 * i, kW, kH, -1);
  EXPECT_FALSE(zoomed(w));
  EXPECT_EQ(w.scale, 1.0);
  EXPECT_EQ(w.cx, 0.5);
  EXPECT_EQ(w.cy, 0.5);

  // Further out than 1 stays whole, centred.
  const ZoomView out = zoom_at({2.0, 0.3, 0.7}, 0, 0, kW, kH, -10);
  EXPECT_EQ(out.scale, 1.0);
  EXPECT_EQ(out.cx, 0.5);
  const SourceRect whole = source_rect(out, 704, 576);
  EXPECT_EQ(whole.x, 0);
  EXPECT_EQ(whole.y, 0);
  EXPECT_EQ(whole.width, 704);
  EXPECT_EQ(whole.height, 576);
}

TEST(ModelZoom, PanMovesThePictureWithTheMouseUpToItsEdges) {
  const ZoomView v{2.0, 0.5, 0.5};
  struct Case {
    const char* why;
    double dx, dy;
    double cx, cy;
  } cases[] = {
      {"right and down: the picture follows", 80, 60, 0.45, 0.45},
      {"left", -160, 0, 0.6, 0.5},
      {"far right stops at the left edge", 5000, 0, 0.25, 0.5},
      {"far up stops at the bottom edge", 0, -5000, 0.5, 0.75},
  };
  for (const auto& c : cases) {
    const ZoomView to = pan(v, c.dx, c.dy, kW, kH);
    EXPECT_DOUBLE_EQ(to.scale, 2.0) << c.why;
    EXPECT_NEAR(to.cx, c.cx, 1e-12) << c.why;
    EXPECT_NEAR(to.cy, c.cy, 1e-12) << c.why;
    expect_inside(to, c.why);
  }
  const ZoomView whole = pan({}, 100, 100, kW, kH);
  EXPECT_EQ(whole.cx, 0.5);
  EXPECT_EQ(whole.cy, 0.5);
}

TEST(ModelZoom, DegenerateSizesGiveTheWholePicture) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double inf = std::numeric_limits<double>::infinity();
  const ZoomView in{3.0, 0.4, 0.6};
  for (double bad : {0.0, -5.0, nan, inf}) {
    for (const ZoomView& v : {zoom_at(in, 10, 10, bad, kH, 1), zoom_at(in, 10, 10, kW, bad, 1),
                              pan(in, 5, 5, bad, kH), pan(in, 5, 5, kW, bad)}) {
      EXPECT_FALSE(zoomed(v)) << bad;
      EXPECT_EQ(v.cx, 0.5) << bad;
    }
    const SourceRect r = source_rect(in, bad, 576);
    EXPECT_EQ(r.width, 0) << bad;
    EXPECT_EQ(r.height, 0) << bad;
  }
  // Nonsense in the view itself or in a step never reaches the picture.
  EXPECT_EQ(zoom_at(in, nan, 10, kW, kH, 1).scale, 3.0);
  EXPECT_EQ(zoom_at(in, 10, 10, kW, kH, nan).scale, 3.0);
  EXPECT_EQ(pan(in, inf, 0, kW, kH).cx, 0.4);
  EXPECT_FALSE(zoomed({nan, nan, nan}));
  const SourceRect r = source_rect({nan, nan, nan}, 704, 576);
  EXPECT_EQ(r.width, 704);
  EXPECT_EQ(r.x, 0);
  expect_inside(zoom_at({100.0, -3.0, nan}, 10, 10, kW, kH, 0), "a view out of range");
}
