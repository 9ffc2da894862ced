#include "ptz/ptz_protocol.h"

#include "ptz/ptz_classes.h"

namespace velmo {

bool CPTZProtocol::TiltUp(int) {
  return false;
}
bool CPTZProtocol::TiltDown(int) {
  return false;
}
bool CPTZProtocol::PanLeft(int) {
  return false;
}
bool CPTZProtocol::PanRight(int) {
  return false;
}
bool CPTZProtocol::UpLeft(int) {
  return false;
}
bool CPTZProtocol::DownLeft(int) {
  return false;
}
bool CPTZProtocol::UpRight(int) {
  return false;
}
bool CPTZProtocol::DownRight(int) {
  return false;
}
bool CPTZProtocol::Stop() {
  return false;
}
bool CPTZProtocol::FocusFar() {
  return false;
}
bool CPTZProtocol::FocusNear() {
  return false;
}
bool CPTZProtocol::IrisOpen() {
  return false;
}
bool CPTZProtocol::IrisClose() {
  return false;
}
bool CPTZProtocol::ZoomTele() {
  return false;
}
bool CPTZProtocol::ZoomWide() {
  return false;
}
bool CPTZProtocol::Special() {
  return false;
}
bool CPTZProtocol::SetAddress(int) {
  return false;
}
bool CPTZProtocol::SetPreset(int) {
  return false;
}
bool CPTZProtocol::ClearPreset(int) {
  return false;
}
bool CPTZProtocol::GotoPreset(int) {
  return false;
}
bool CPTZProtocol::Ext21(int) {
  return false;
}
bool CPTZProtocol::Ext22(int) {
  return false;
}
bool CPTZProtocol::Ext23(int, int, int, int) {
  return false;
}
bool CPTZProtocol::Ext24(int) {
  return false;
}
bool CPTZProtocol::Ext25(int) {
  return false;
}
bool CPTZProtocol::Ext26(int) {
  return false;
}
bool CPTZProtocol::Ext27(int, int) {
  return false;
}
void CPTZProtocol::BuildFrame() {}
int CPTZProtocol::Reserved() {
  return 0;
}
bool CPTZProtocol::DumpPresets(std::span<std::uint8_t>) {
  return false;
}

const std::uint8_t* CPTZProtocol::GetFrame(int& length) const {
  length = m_nLength;
  return m_frame.data();
}

std::span<const std::uint8_t> CPTZProtocol::Frame() const {
  int length = 0;
  const std::uint8_t* bytes = GetFrame(length);
  if (bytes == nullptr || length <= 0) return {};
  if (length > kMaxFrame) length = kMaxFrame;
  return {bytes, static_cast<std::size_t>(length)};
}

std::uint8_t CPTZProtocol::Sum(int first, int last) const {
  unsigned sum = 0;
  for (int i = first; i <= last; ++i) sum += m_frame[i];
  return static_cast<std::uint8_t>(sum);
}

std::uint8_t CPTZProtocol::Xor(int first, int last) const {
  std::uint8_t x = 0;
  for (int i = first; i <= last; ++i) x ^= m_frame[i];
  return x;
}

std::uint8_t CPTZProtocol::Or(int first, int last) const {
  std::uint8_t x = 0;
  for (int i = first; i <= last; ++i) x |= m_frame[i];
  return x;
}

std::unique_ptr<CPTZProtocol> CreatePtzProtocol(int protocol) {
  switch (protocol) {
    case 1:
      return std::make_unique<CLilin_1016>();
    case 3:
      return std::make_unique<CPelco_p>();
    case 4:
      return std::make_unique<CDRAGON>();
    case 5:
      return std::make_unique<CHD600>();
    case 6:
      return std::make_unique<CYX_V1200>();
    case 7:
      return std::make_unique<CPelco_d_wx>();
    case 8:
      return std::make_unique<CPelco_d_pico>();
    case 10:
      return std::make_unique<CSYYT>();
    case 11:
      return std::make_unique<CSE300>();
    case 12:
      return std::make_unique<CSAMSUNG>();
    case 13:
      return std::make_unique<CKALATE>();
    case 14:
      return std::make_unique<CYaan_v1>();
    case 15:
      return std::make_unique<CPelco_P_TL>();
    case 16:
      return std::make_unique<CJY2000>();
    case 18:
      return std::make_unique<CKONY_M800CI>();
    case 19:
      return std::make_unique<CKONY_MTR500>();
    case 24:
      return std::make_unique<CTcPelco_p>();
    case 25:
      return std::make_unique<CTcPelco_d>();
    case 49:
      return std::make_unique<CLilin_FASTDOME>();
    case 54:
      return std::make_unique<CHY>();
    case 55:
      return std::make_unique<CPTZGeneralV2>();
    default:
      return nullptr;
  }
}

// ------------------------------------------------------------ CTableProtocol

CTableProtocol::CTableProtocol(const PtzLayout& layout, const PtzCommandTable& table,
                               std::initializer_list<int> bytes, bool keep_address)
    : CPTZProtocol(layout.length), layout_(layout), table_(table) {
  int i = 0;
  for (int b : bytes) Put(i++, b);
  if (!keep_address) CTableProtocol::SetAddress(1);
}

const PtzBytes& CTableProtocol::Entry(PtzOp op) const {
  switch (op) {
    case PtzOp::kTiltUp:
      return table_.tilt_up;
    case PtzOp::kTiltDown:
      return table_.tilt_down;
    case PtzOp::kPanLeft:
      return table_.pan_left;
    case PtzOp::kPanRight:
      return table_.pan_right;
    case PtzOp::kFocusFar:
      return table_.focus_far;
    case PtzOp::kFocusNear:
      return table_.focus_near;
    case PtzOp::kIrisOpen:
      return table_.iris_open;
    case PtzOp::kIrisClose:
      return table_.iris_close;
    case PtzOp::kZoomTele:
      return table_.zoom_tele;
    case PtzOp::kZoomWide:
      return table_.zoom_wide;
    case PtzOp::kSpecial:
      return table_.special;
    case PtzOp::kStop:
      break;
  }
  return table_.stop;
}

bool CTableProtocol::Apply(PtzOp op) {
  const PtzBytes& entry = Entry(op);
  if (!entry.supported) return false;
  for (int i = 0; i < entry.size; ++i) Put(layout_.command_at + i, entry.bytes[i]);
  if (op != PtzOp::kStop) last_ = op;
  return true;
}

bool CTableProtocol::PutCommand(std::initializer_list<int> bytes) {
  int i = layout_.command_at;
  for (int b : bytes) Put(i++, b);
  return true;
}

bool CTableProtocol::TiltUp(int) {
  return Apply(PtzOp::kTiltUp);
}
bool CTableProtocol::TiltDown(int) {
  return Apply(PtzOp::kTiltDown);
}
bool CTableProtocol::PanLeft(int) {
  return Apply(PtzOp::kPanLeft);
}
bool CTableProtocol::PanRight(int) {
  return Apply(PtzOp::kPanRight);
}
bool CTableProtocol::Stop() {
  return Apply(PtzOp::kStop);
}
bool CTableProtocol::FocusFar() {
  return Apply(PtzOp::kFocusFar);
}
bool CTableProtocol::FocusNear() {
  return Apply(PtzOp::kFocusNear);
}
bool CTableProtocol::IrisOpen() {
  return Apply(PtzOp::kIrisOpen);
}
bool CTableProtocol::IrisClose() {
  return Apply(PtzOp::kIrisClose);
}
bool CTableProtocol::ZoomTele() {
  return Apply(PtzOp::kZoomTele);
}
bool CTableProtocol::ZoomWide() {
  return Apply(PtzOp::kZoomWide);
}
bool CTableProtocol::Special() {
  return Apply(PtzOp::kSpecial);
}

bool CTableProtocol::SetAddress(int address) {
  // A truncated address would steer another camera on the same line.
  const long stored = static_cast<long>(address) + layout_.address_offset;
  if (address < 0 || stored < 0 || stored > 0xFF) return false;
  Put(layout_.address_at, static_cast<int>(stored));
  return true;
}

}  // namespace velmo
