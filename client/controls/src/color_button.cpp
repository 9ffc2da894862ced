#include "controls/color_button.h"

#include <atomic>

namespace {
std::atomic<int> created{0};
}  // namespace

CColorButton::CColorButton(const QString& caption, QWidget* parent)
    : CBMPButton(caption, parent), index_(created.fetch_add(1)) {}

void CColorButton::SetColors(QColor face, QColor text) {
  face_ = face;
  text_ = text;
  update();
}

void CColorButton::PaintFace(QPainter& p, skin::Face look) {
  if (!face_.isValid()) {
    CBMPButton::PaintFace(p, look);
    return;
  }
  skin::draw_face(p, rect(), look, face_);
}

QColor CColorButton::CaptionColor(skin::Face look) const {
  if (look == skin::Face::Disabled || !text_.isValid())
    return face_.isValid() ? skin::caption_color(look, face_) : CBMPButton::CaptionColor(look);
  return text_;
}
