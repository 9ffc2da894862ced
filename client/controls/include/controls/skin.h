// The client's one look: where its pictures live, its font and its colours.
#pragma once

#include <QColor>
#include <QPixmap>
#include <QRectF>
#include <QString>

class QPainter;

namespace skin {

// <directory of the running program>/res, or ../share/brevanta/res from there
// for an installed program, unless set_folder() chose another.
QString folder();
void set_folder(const QString& folder);

// A picture of folder(), cached; null when missing, so callers paint by code.
// Pixels of kMask become transparent. With a picture language other than
// Chinese ("en"), <base>_en.<ext> is taken when it exists, since pictures with
// words are drawn in each language.
QPixmap picture(const QString& file_name);
// "en", or empty/"zh" for the pictures as drawn.
void set_picture_language(const QString& lang);
QString picture_language();
// file_name's picture in that language ("logo.bmp" -> "logo_en.bmp"); empty
// when the language is Chinese, whose pictures have the plain names.
QString language_variant(const QString& file_name);

// WenQuanYi Micro Hei at 9 pt, so the windows look the same on every machine;
// the default font stays when the family is not installed.
inline constexpr const char* kFontFamily = "WenQuanYi Micro Hei";
inline constexpr int kFontPoints = 9;
void apply_application_font();
// The font above, the Fusion style and the console palette for every window,
// so dialogs and message boxes match the desk.
void apply_application_style();

// Colours: a dark slate console with steel-blue accents.
inline constexpr QColor kWindow{148, 148, 148};
inline constexpr QColor kPanel{44, 52, 64};
inline constexpr QColor kPanelLight{62, 73, 89};
inline constexpr QColor kPanelDark{30, 36, 45};
inline constexpr QColor kEdge{18, 22, 28};
inline constexpr QColor kVideoBack{24, 27, 32};
inline constexpr QColor kList{32, 38, 47};
inline constexpr QColor kAccent{70, 130, 180};
inline constexpr QColor kAccentLight{120, 172, 215};
inline constexpr QColor kText{228, 234, 241};
inline constexpr QColor kTextDim{150, 161, 175};
inline constexpr QColor kTextDisabled{128, 134, 142};
inline constexpr QColor kButton{74, 88, 108};
inline constexpr QColor kSegment{70, 235, 120};
inline constexpr QColor kSegmentOff{18, 42, 26};
// The colour key of the pictures (24-bit files carry no alpha).
inline constexpr QColor kMask{255, 0, 255};

enum class Face { Normal, Hover, Pressed, Disabled };

// A rounded, gradient button face; the pictures and the code fallback share it.
void draw_face(QPainter& p, const QRectF& r, Face face, QColor base = kButton, qreal radius = 4);

// The caption colour that reads on draw_face() of that base.
QColor caption_color(Face face, QColor base = kButton);

// A greyed copy, for controls without a picture of their disabled look.
QPixmap greyed(const QPixmap& pixmap);

}  // namespace skin
