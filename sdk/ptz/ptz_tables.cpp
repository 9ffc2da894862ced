// The makers' own protocols: frame layout, creation bytes and command table of
// each, and the rules a plain table cannot say.
#include <algorithm>

#include "ptz/ptz_classes.h"

namespace velmo {

namespace {

// Sums preset arithmetic modulo 256 without signed overflow on wild values.
int ByteSum(std::initializer_list<unsigned> values) {
  unsigned sum = 0;
  for (unsigned v : values) sum += v;
  return static_cast<int>(sum & 0xFFu);
}

int Clamp3To255(int value) {
  return std::clamp(value, 3, 255);
}

}  // namespace

// ---------------------------------------------------------------- CLilin_1016

namespace {
constexpr PtzLayout kLilin1016Layout{
    .length = 2, .address_at = 0, .address_offset = 0x7F, .command_at = 1};
constexpr PtzCommandTable kLilin1016{
    .tilt_up = Bytes({0x00}),
    .tilt_down = Bytes({0x01}),
    .pan_left = Bytes({0x02}),
    .pan_right = Bytes({0x03}),
    .focus_far = kUnsupported,
    .focus_near = kUnsupported,
    .iris_open = Bytes({0x06}),
    .iris_close = Bytes({0x07}),
    .zoom_tele = Bytes({0x05}),
    .zoom_wide = Bytes({0x04}),
    .special = Bytes({0x0F}),
    .stop = Bytes({0x0E}),
};
}  // namespace

CLilin_1016::CLilin_1016() : CTableProtocol(kLilin1016Layout, kLilin1016, {0x80, 0x00}) {}

// -------------------------------------------------------------------- CDRAGON

namespace {
constexpr PtzLayout kDragonLayout{
    .length = 6, .address_at = 1, .address_offset = 0, .command_at = 2};
// Focus near and iris close set no bit: on this decoder they send Stop's bytes.
constexpr PtzCommandTable kDragon{
    .tilt_up = Bytes({0x01, 0x04, 0x00}),
    .tilt_down = Bytes({0x01, 0x08, 0x00}),
    .pan_left = Bytes({0x01, 0x02, 0x00}),
    .pan_right = Bytes({0x01, 0x01, 0x00}),
    .focus_far = Bytes({0x01, 0x40, 0x00}),
    .focus_near = Bytes({0x01, 0x00, 0x00}),
    .iris_open = Bytes({0x01, 0x00, 0x01}),
    .iris_close = Bytes({0x01, 0x00, 0x00}),
    .zoom_tele = Bytes({0x01, 0x10, 0x00}),
    .zoom_wide = Bytes({0x01, 0x20, 0x00}),
    .special = Bytes({0x00, 0x00, 0x00}),
    .stop = Bytes({0x01, 0x00, 0x00}),
};
}  // namespace

CDRAGON::CDRAGON() : CTableProtocol(kDragonLayout, kDragon, {0x02, 0x01, 0, 0, 0, 0}) {}

// The preset commands carry their own sum in data 2 as well as the frame's.
bool CDRAGON::SetPreset(int preset) {
  const auto p = static_cast<unsigned>(preset);
  return PutCommand({0x05, preset, ByteSum({0x02, m_frame[1], p, 0x05})});
}

bool CDRAGON::GotoPreset(int preset) {
  const auto p = static_cast<unsigned>(preset);
  return PutCommand({0x02, preset, ByteSum({0x02, m_frame[1], p, 0x02})});
}

void CDRAGON::BuildFrame() {
  Put(5, Sum(0, 4));
}

// --------------------------------------------------------------------- CHD600

namespace {
constexpr PtzLayout kHd600Layout{
    .length = 5, .address_at = 0, .address_offset = -1, .command_at = 2};
constexpr PtzCommandTable kHd600{
    .tilt_up = Bytes({0x50, 0x07}),
    .tilt_down = Bytes({0x51, 0x07}),
    .pan_left = Bytes({0x52, 0x07}),
    .pan_right = Bytes({0x53, 0x07}),
    .focus_far = Bytes({0x0A, 0x00}),
    .focus_near = Bytes({0x0B, 0x00}),
    .iris_open = Bytes({0x08, 0x00}),
    .iris_close = Bytes({0x09, 0x00}),
    .zoom_tele = Bytes({0x0D, 0x00}),
    .zoom_wide = Bytes({0x0C, 0x00}),
    .special = Bytes({0x60, 0x00}),
    .stop = Bytes({0x31, 0x00}),
};
}  // namespace

CHD600::CHD600() : CTableProtocol(kHd600Layout, kHd600, {0x00, 0xBF, 0, 0, 0}) {}

bool CHD600::Ext26(int) {
  return PutCommand({0x20, 0x00});
}

// The decoder leaves the command byte out of its check.
void CHD600::BuildFrame() {
  Put(4, m_frame[0] + m_frame[1] + m_frame[3]);
}

// ------------------------------------------------------------------------ CHY

namespace {
constexpr PtzLayout kHyLayout{.length = 5, .address_at = 1, .address_offset = -1, .command_at = 2};
constexpr PtzCommandTable kHy{
    .tilt_up = Bytes({0x02}),
    .tilt_down = Bytes({0x03}),
    .pan_left = Bytes({0x04}),
    .pan_right = Bytes({0x05}),
    .focus_far = Bytes({0x09}),
    .focus_near = Bytes({0x08}),
    .iris_open = Bytes({0x0B}),
    .iris_close = Bytes({0x0A}),
    .zoom_tele = Bytes({0x06}),
    .zoom_wide = Bytes({0x07}),
    .special = Bytes({0x0C}),
    .stop = kUnsupported,  // chosen by the last command
};
}  // namespace

CHY::CHY() : CTableProtocol(kHyLayout, kHy, {0xA5, 0x00, 0, 0, 0}) {}

// Each command has its own stop code, 0x20 above it.
bool CHY::Stop() {
  int code = 0x25;  // not 0x05: that is PanRight, and a stop must never start a pan
  if (const auto last = LastCommand()) {
    switch (*last) {
      case PtzOp::kTiltUp:
        code = 0x22;
        break;
      case PtzOp::kTiltDown:
        code = 0x23;
        break;
      case PtzOp::kPanLeft:
        code = 0x24;
        break;
      case PtzOp::kPanRight:
        code = 0x25;
        break;
      case PtzOp::kZoomTele:
        code = 0x26;
        break;
      case PtzOp::kZoomWide:
        code = 0x27;
        break;
      case PtzOp::kFocusNear:
        code = 0x28;
        break;
      case PtzOp::kFocusFar:
        code = 0x29;
        break;
      case PtzOp::kIrisClose:
        code = 0x2A;
        break;
      case PtzOp::kIrisOpen:
        code = 0x2B;
        break;
      case PtzOp::kSpecial:
        code = 0x2C;
        break;
      case PtzOp::kStop:
        break;
    }
  }
  return PutCommand({code});
}

void CHY::BuildFrame() {
  Put(4, Sum(0, 3));
}

// ------------------------------------------------------------------ CYX_V1200

namespace {
constexpr PtzLayout kYxLayout{.length = 3, .address_at = 0, .address_offset = 0, .command_at = 1};
constexpr PtzCommandTable kYx{
    .tilt_up = Bytes({0xC0, 0x70}),
    .tilt_down = Bytes({0xC0, 0xF0}),
    .pan_left = Bytes({0xC0, 0x07}),
    .pan_right = Bytes({0xC0, 0x0F}),
    .focus_far = Bytes({0x80, 0x14}),
    // Lens codes run 10-15 (iris, zoom, focus pairs); 0x20 is the focus stop.
    .focus_near = Bytes({0x80, 0x15}),
    .iris_open = Bytes({0x80, 0x10}),
    .iris_close = Bytes({0x80, 0x11}),
    .zoom_tele = Bytes({0x80, 0x12}),
    .zoom_wide = Bytes({0x80, 0x13}),
    .special = Bytes({0x80, 0x0E}),
    .stop = kUnsupported,  // chosen by the last command
};
}  // namespace

CYX_V1200::CYX_V1200() : CTableProtocol(kYxLayout, kYx, {0x01, 0, 0}) {}

// A motion stop keeps the direction bit of the move with its speed zeroed.
bool CYX_V1200::Stop() {
  const auto last = LastCommand();
  if (!last) return PutCommand({0xC0, 0x00});
  switch (*last) {
    case PtzOp::kTiltDown:
      return PutCommand({0xC0, 0x80});
    case PtzOp::kPanRight:
      return PutCommand({0xC0, 0x08});
    case PtzOp::kZoomTele:
    case PtzOp::kZoomWide:
      return PutCommand({0x80, 0x1F});
    case PtzOp::kFocusFar:
    case PtzOp::kFocusNear:
      return PutCommand({0x80, 0x20});
    case PtzOp::kIrisOpen:
    case PtzOp::kIrisClose:
      return PutCommand({0x80, 0x1E});
    case PtzOp::kSpecial:
      return PutCommand({0x80, 0x0F});
    default:
      return PutCommand({0xC0, 0x00});
  }
}

bool CYX_V1200::SetPreset(int preset) {
  return PutCommand({0xA0, preset});
}
bool CYX_V1200::GotoPreset(int preset) {
  return PutCommand({0x97, preset});
}

// ---------------------------------------------------------------------- CSYYT

namespace {
constexpr PtzLayout kSyytLayout{
    .length = 16, .address_at = 10, .address_offset = 0, .command_at = 11};
constexpr PtzCommandTable kSyyt{
    .tilt_up = Bytes({0x92}),
    .tilt_down = Bytes({0x94}),
    .pan_left = Bytes({0x96}),
    .pan_right = Bytes({0x98}),
    .focus_far = Bytes({0x8C}),
    .focus_near = Bytes({0x8A}),
    .iris_open = Bytes({0x86}),
    .iris_close = Bytes({0x88}),
    .zoom_tele = Bytes({0x8E}),
    .zoom_wide = Bytes({0x90}),
    .special = Bytes({0x9A}),
    .stop = Bytes({0x93}),
};
}  // namespace

CSYYT::CSYYT()
    : CTableProtocol(kSyytLayout, kSyyt,
                     {0xFF, 0xFF, 0xFF, 0xFF, 0x00, 0x00, 0x10, 0x00, 0x00, 0x00, 0x01, 0x00, 0x00,
                      0xFE, 0xEE, 0xEE}) {}

void CSYYT::BuildFrame() {
  Put(12, Xor(4, 11));
}

// --------------------------------------------------------------------- CSE300

namespace {
constexpr PtzLayout kSe300Layout{
    .length = 7, .address_at = 3, .address_offset = 0, .command_at = 2};
constexpr PtzCommandTable kSe300{
    .tilt_up = Bytes({'U'}),
    .tilt_down = Bytes({'D'}),
    .pan_left = Bytes({'L'}),
    .pan_right = Bytes({'R'}),
    .focus_far = Bytes({'N'}),
    .focus_near = Bytes({'F'}),
    .iris_open = Bytes({0x0A}),
    .iris_close = Bytes({0x0B}),
    .zoom_tele = Bytes({'O'}),
    .zoom_wide = Bytes({'I'}),
    .special = Bytes({0x05}),
    .stop = kUnsupported,  // chosen by the last command
};
}  // namespace

CSE300::CSE300()
    : CTableProtocol(kSe300Layout, kSe300, {'0', '0', 0x00, '0', '0', '1', '~'}, true) {}

// Three decimal digits; a larger address cannot be written.
bool CSE300::SetAddress(int address) {
  if (address < 0 || address > 999) return false;
  Put(3, '0' + address / 100);
  Put(4, '0' + address / 10 % 10);
  Put(5, '0' + address % 10);
  return true;
}

bool CSE300::Stop() {
  const auto last = LastCommand();
  if (!last) return PutCommand({0x11});
  switch (*last) {
    case PtzOp::kPanLeft:
    case PtzOp::kPanRight:
      return PutCommand({0x13});
    case PtzOp::kZoomTele:
    case PtzOp::kZoomWide:
    case PtzOp::kFocusFar:
    case PtzOp::kFocusNear:
    case PtzOp::kIrisOpen:
    case PtzOp::kIrisClose:
      return PutCommand({0x16});
    default:
      return PutCommand({0x11});
  }
}

// ------------------------------------------------------------------- CSAMSUNG

namespace {
constexpr PtzLayout kSamsungLayout{
    .length = 9, .address_at = 2, .address_offset = 0, .command_at = 3};
constexpr PtzCommandTable kSamsung{
    .tilt_up = Bytes({0x01, 0x00, 0x04, 0x00, 0x40}),
    .tilt_down = Bytes({0x01, 0x00, 0x08, 0x00, 0x40}),
    .pan_left = Bytes({0x01, 0x00, 0x01, 0x40, 0x00}),
    .pan_right = Bytes({0x01, 0x00, 0x02, 0x40, 0x00}),
    .focus_far = Bytes({0x01, 0x01, 0x00, 0x00, 0x00}),
    .focus_near = Bytes({0x01, 0x02, 0x00, 0x00, 0x00}),
    .iris_open = Bytes({0x01, 0x08, 0x00, 0x00, 0x00}),
    .iris_close = Bytes({0x01, 0x10, 0x00, 0x00, 0x00}),
    .zoom_tele = Bytes({0x01, 0x40, 0x00, 0x00, 0x00}),
    .zoom_wide = Bytes({0x01, 0x20, 0x00, 0x00, 0x00}),
    .special = Bytes({0x03, 0x13, 0x01, 0xFF, 0xFF}),
    .stop = Bytes({0x01, 0x00, 0x00, 0x00, 0x00}),
};
}  // namespace

CSAMSUNG::CSAMSUNG()
    : CTableProtocol(kSamsungLayout, kSamsung, {0xA0, 0x00, 0x01, 0, 0, 0, 0, 0, 0}) {}

bool CSAMSUNG::SetPreset(int preset) {
  return PutCommand({0x03, 0x50, preset, 0xFF, 0xFF});
}
bool CSAMSUNG::GotoPreset(int preset) {
  return PutCommand({0x03, 0x19, preset, 0xFF, 0xFF});
}

// These receivers check with an OR of the bytes, not a sum.
void CSAMSUNG::BuildFrame() {
  Put(8, Or(1, 7));
}

// -------------------------------------------------------------------- CKALATE

namespace {
constexpr PtzLayout kKalateLayout{
    .length = 6, .address_at = 1, .address_offset = 0, .command_at = 2};
// The iris has no command on these decoders; the operations succeed as no-ops.
constexpr PtzCommandTable kKalate{
    .tilt_up = Bytes({0x04, 0x00, 0x00}),
    .tilt_down = Bytes({0x04, 0x80, 0x00}),
    .pan_left = Bytes({0x03, 0x80, 0x00}),
    .pan_right = Bytes({0x03, 0x00, 0x00}),
    .focus_far = Bytes({0x0B, 0x00, 0x00}),
    .focus_near = Bytes({0x0C, 0x00, 0x00}),
    .iris_open = Bytes({}),
    .iris_close = Bytes({}),
    .zoom_tele = Bytes({0x09, 0x00, 0x00}),
    .zoom_wide = Bytes({0x07, 0x00, 0x00}),
    .special = Bytes({0x1D, 0x05, 0x00}),
    .stop = kUnsupported,  // chosen by the last command
};
}  // namespace

CKALATE::CKALATE() : CTableProtocol(kKalateLayout, kKalate, {0xA0, 0x01, 0, 0, 0, 0}) {}

bool CKALATE::Stop() {
  const auto last = LastCommand();
  if (last == PtzOp::kIrisOpen || last == PtzOp::kIrisClose) return true;
  if (last == PtzOp::kZoomTele || last == PtzOp::kZoomWide || last == PtzOp::kFocusFar ||
      last == PtzOp::kFocusNear) {
    return PutCommand({0x0D, 0x00, 0x00});
  }
  return PutCommand({0xFF, 0x00, 0x00});
}

bool CKALATE::SetPreset(int preset) {
  return PutCommand({0x05, preset, 0x00});
}
bool CKALATE::ClearPreset(int) {
  return PutCommand({0x1E, 0x00, 0x00});
}
bool CKALATE::GotoPreset(int preset) {
  return PutCommand({0x06, preset, 0x00});
}

void CKALATE::BuildFrame() {
  Put(5, Sum(0, 4));
}

// ------------------------------------------------------------------- CYaan_v1

namespace {
constexpr PtzLayout kYaanLayout{.length = 6, .address_at = 1, .address_offset = 0, .command_at = 2};
constexpr PtzCommandTable kYaan{
    .tilt_up = Bytes({0x01, 0x04, 0x00}),
    .tilt_down = Bytes({0x01, 0x08, 0x00}),
    .pan_left = Bytes({0x01, 0x02, 0x00}),
    .pan_right = Bytes({0x01, 0x01, 0x00}),
    .focus_far = Bytes({0x01, 0x40, 0x00}),
    .focus_near = Bytes({0x01, 0x80, 0x00}),
    .iris_open = Bytes({0x02, 0x00, 0x00}),
    .iris_close = Bytes({0x04, 0x00, 0x00}),
    .zoom_tele = Bytes({0x01, 0x20, 0x00}),
    .zoom_wide = Bytes({0x01, 0x10, 0x00}),
    .special = Bytes({0x0F, 0x03, 0x00}),
    .stop = Bytes({0x01, 0x00, 0x00}),
};
}  // namespace

CYaan_v1::CYaan_v1() : CTableProtocol(kYaanLayout, kYaan, {0x02, 0x01, 0, 0, 0, 0}) {}

// The decoder switches to the short frame with the first preset-type command
// and is driven with it from then on, moves included.
bool CYaan_v1::Short(int command, int data) {
  m_nLength = 5;
  return PutCommand({command, data});
}

bool CYaan_v1::SetPreset(int preset) {
  return Short(0x05, preset);
}
// This decoder has no clear command of its own; clear is sent as go-to.
bool CYaan_v1::ClearPreset(int preset) {
  return Short(0x02, preset);
}
bool CYaan_v1::GotoPreset(int preset) {
  return Short(0x02, preset);
}
bool CYaan_v1::Ext23(int a, int, int, int) {
  return Short(0x06, a);
}
bool CYaan_v1::Ext24(int) {
  return Short(0x08, 0x00);
}

bool CYaan_v1::Ext25(int value) {
  if (value > 0) return false;
  return Short(0x03, 0x00);
}

bool CYaan_v1::Ext26(int value) {
  return PanRight(value);
}
bool CYaan_v1::Ext27(int value, int) {
  return Short(0x0B, Clamp3To255(value));
}

void CYaan_v1::BuildFrame() {
  if (m_nLength == 5) {
    Put(4, Sum(0, 3));
  } else {
    Put(5, Sum(0, 4));
  }
}

// -------------------------------------------------------------------- CJY2000

namespace {
constexpr PtzLayout kJy2000Layout{
    .length = 5, .address_at = 3, .address_offset = 0, .command_at = 4};
constexpr PtzCommandTable kJy2000{
    .tilt_up = Bytes({0x01}),
    .tilt_down = Bytes({0x02}),
    .pan_left = Bytes({0x03}),
    .pan_right = Bytes({0x04}),
    .focus_far = Bytes({0x06}),
    .focus_near = Bytes({0x07}),
    .iris_open = Bytes({0x09}),
    .iris_close = Bytes({0x0A}),
    .zoom_tele = Bytes({0x0C}),
    .zoom_wide = Bytes({0x0D}),
    .special = Bytes({0x17}),
    .stop = Bytes({0x05}),
};
}  // namespace

CJY2000::CJY2000() : CTableProtocol(kJy2000Layout, kJy2000, {0xAA, 0xCB, 0x00, 0x01, 0x00}) {}

// ----------------------------------------------------------------------- KONY

namespace {
constexpr PtzCommandTable kKony{
    .tilt_up = Bytes({0x31}),
    .tilt_down = Bytes({0x32}),
    .pan_left = Bytes({0x33}),
    .pan_right = Bytes({0x34}),
    .focus_far = Bytes({0x39}),
    .focus_near = Bytes({0x41}),
    .iris_open = Bytes({0x35}),
    .iris_close = Bytes({0x36}),
    .zoom_tele = Bytes({0x37}),
    .zoom_wide = Bytes({0x38}),
    .special = Bytes({0x46}),
    .stop = kUnsupported,  // chosen by the last command
};
}  // namespace

CKonyFrame::CKonyFrame(int length)
    : CTableProtocol(
          PtzLayout{.length = length, .address_at = 0, .address_offset = 0, .command_at = 2}, kKony,
          {0x01, 0x77, 0x00, 0x00}) {}

bool CKonyFrame::Stop() {
  return PutCommand({LastCommand() == PtzOp::kSpecial ? 0x47 : 0x80});
}

CKONY_M800CI::CKONY_M800CI() : CKonyFrame(4) {}
void CKONY_M800CI::BuildFrame() {
  Put(3, Sum(0, 2));
}

CKONY_MTR500::CKONY_MTR500() : CKonyFrame(3) {}

// ------------------------------------------------------------ CLilin_FASTDOME

namespace {
constexpr PtzLayout kFastdomeLayout{
    .length = 3, .address_at = 0, .address_offset = 0, .command_at = 1};
constexpr PtzCommandTable kFastdome{
    .tilt_up = Bytes({0x04, 0x90}),
    .tilt_down = Bytes({0x08, 0x90}),
    .pan_left = Bytes({0x02, 0x82}),
    .pan_right = Bytes({0x01, 0x82}),
    .focus_far = Bytes({0x40, 0x00}),
    .focus_near = Bytes({0x80, 0x00}),
    .iris_open = Bytes({0x20, 0x00}),
    .iris_close = Bytes({0x10, 0x00}),
    .zoom_tele = Bytes({0x00, 0x00}),
    .zoom_wide = Bytes({0x00, 0x01}),
    .special = Bytes({0x00, 0x0A}),
    .stop = Bytes({0x00, 0x0F}),
};
}  // namespace

// Created all zero, address byte included.
CLilin_FASTDOME::CLilin_FASTDOME() : CTableProtocol(kFastdomeLayout, kFastdome, {0, 0, 0}, true) {}

// -------------------------------------------------------------- CPTZGeneralV2

namespace {
constexpr PtzLayout kGeneralV2Layout{
    .length = 7, .address_at = 1, .address_offset = 0, .command_at = 2};
// Only stop and the preset-style commands; the dome moves by presets.
constexpr PtzCommandTable kGeneralV2{
    .tilt_up = kUnsupported,
    .tilt_down = kUnsupported,
    .pan_left = kUnsupported,
    .pan_right = kUnsupported,
    .focus_far = kUnsupported,
    .focus_near = kUnsupported,
    .iris_open = kUnsupported,
    .iris_close = kUnsupported,
    .zoom_tele = kUnsupported,
    .zoom_wide = kUnsupported,
    .special = kUnsupported,
    .stop = Bytes({0x83, 0x00, 0x5A, 0x00}),
};
}  // namespace

CPTZGeneralV2::CPTZGeneralV2()
    : CTableProtocol(kGeneralV2Layout, kGeneralV2, {0xA5, 0x01, 0, 0, 0, 0, 0}) {}

bool CPTZGeneralV2::SetPreset(int preset) {
  return PutCommand({0x81, 0x00, preset, 0x00});
}
bool CPTZGeneralV2::ClearPreset(int) {
  return true;
}
bool CPTZGeneralV2::GotoPreset(int preset) {
  return PutCommand({0x83, 0x00, preset, 0x00});
}
bool CPTZGeneralV2::Ext24(int value) {
  return PutCommand({0x82, value, 0xFF, 0x00});
}
bool CPTZGeneralV2::Ext25(int value) {
  return PutCommand({0x83, value, 0x63, 0x00});
}

bool CPTZGeneralV2::Ext27(int value, int) {
  return PutCommand({0x81, Clamp3To255(value), 0x60, 0x00});
}

void CPTZGeneralV2::BuildFrame() {
  Put(6, Sum(0, 5));
}

}  // namespace velmo
