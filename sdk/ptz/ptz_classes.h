// The encoder classes, one per camera protocol. The Pelco families share a
// frame class each; the other makers' protocols are a fixed table of command
// bytes over CTableProtocol plus the few rules each adds (check bytes, stop
// bytes chosen by the last command, presets, extended commands).
#pragma once

#include <array>
#include <cstdint>
#include <initializer_list>
#include <optional>

#include "ptz/ptz_protocol.h"

namespace velmo {

// ---------------------------------------------------------------- Pelco-D

// FF, address, command 1, command 2, data 1 (pan speed), data 2 (tilt
// speed), sum of bytes 1-5.
class CPelcoDFrame : public CPTZProtocol {
 public:
  bool TiltUp(int speed) override;
  bool TiltDown(int speed) override;
  bool PanLeft(int speed) override;
  bool PanRight(int speed) override;
  bool UpLeft(int speed) override;
  bool DownLeft(int speed) override;
  bool UpRight(int speed) override;
  bool DownRight(int speed) override;
  bool Stop() override;
  bool FocusFar() override;
  bool FocusNear() override;
  bool IrisOpen() override;
  bool IrisClose() override;
  bool ZoomTele() override;
  bool ZoomWide() override;
  bool SetAddress(int address) override;
  void BuildFrame() override;

 protected:
  CPelcoDFrame();
  bool Command(int command1, int command2);
  bool Diagonal(int command2, int speed);
};

class CTcPelco_d final : public CPelcoDFrame {
 public:
  bool Special() override;
  bool SetPreset(int preset) override;
  bool ClearPreset(int preset) override;
  bool GotoPreset(int preset) override;
  bool Ext21(int value) override;
  bool Ext22(int value) override;
  bool Ext23(int a, int b, int c, int d) override;
  bool Ext24(int value) override;
  bool Ext25(int value) override;
  bool Ext26(int value) override;
};

class CPelco_d_pico final : public CPelcoDFrame {
 public:
  bool Special() override;
};

class CPelco_d_wx final : public CPelcoDFrame {
 public:
  bool PanLeft(int speed) override;
  bool PanRight(int speed) override;
  bool Special() override;
};

// ---------------------------------------------------------------- Pelco-P

// A0, address, data 1-4 (data 3 pan speed, data 4 tilt speed), AF, check.
class CPelcoPFrame : public CPTZProtocol {
 public:
  bool TiltUp(int speed) override;
  bool TiltDown(int speed) override;
  bool PanLeft(int speed) override;
  bool PanRight(int speed) override;
  bool UpLeft(int speed) override;
  bool DownLeft(int speed) override;
  bool UpRight(int speed) override;
  bool DownRight(int speed) override;
  bool Stop() override;
  bool FocusFar() override;
  bool FocusNear() override;
  bool IrisOpen() override;
  bool IrisClose() override;
  bool ZoomTele() override;
  bool ZoomWide() override;
  bool Special() override;
  bool SetAddress(int address) override;
  bool SetPreset(int preset) override;
  bool ClearPreset(int preset) override;
  bool GotoPreset(int preset) override;
  // The published check: XOR of bytes 0-6.
  void BuildFrame() override;

 protected:
  CPelcoPFrame();
  bool Data(int data1, int data2);
  bool Diagonal(int data2, int speed);
};

class CPelco_p final : public CPelcoPFrame {
 public:
  bool PanLeft(int speed) override;
  bool PanRight(int speed) override;
  bool Special() override;
};

class CTcPelco_p final : public CPelcoPFrame {
 public:
  void BuildFrame() override;
};

class CPelco_P_TL final : public CPelcoPFrame {};

// ------------------------------------------------------- table protocols

// Operations whose bytes come from a class's command table; also the values
// of the "last command" some protocols choose their stop bytes by.
enum class PtzOp : std::uint8_t {
  kTiltUp,
  kTiltDown,
  kPanLeft,
  kPanRight,
  kFocusFar,
  kFocusNear,
  kIrisOpen,
  kIrisClose,
  kZoomTele,
  kZoomWide,
  kSpecial,
  kStop,
};

// The bytes one operation writes at the command position. A supported entry
// may write nothing (the operation succeeds and leaves the frame as it is).
struct PtzBytes {
  bool supported = false;
  std::uint8_t size = 0;
  std::array<std::uint8_t, 5> bytes{};
};

constexpr PtzBytes Bytes(std::initializer_list<int> values) {
  PtzBytes b;
  b.supported = true;
  for (int v : values) b.bytes[b.size++] = static_cast<std::uint8_t>(v);
  return b;
}

// No such command on the protocol.
inline constexpr PtzBytes kUnsupported{};

struct PtzCommandTable {
  PtzBytes tilt_up, tilt_down, pan_left, pan_right;
  PtzBytes focus_far, focus_near, iris_open, iris_close, zoom_tele, zoom_wide;
  PtzBytes special, stop;
};

struct PtzLayout {
  int length;          // bytes handed on
  int address_at;      // frame index of the address byte
  int address_offset;  // added to the address before it is stored
  int command_at;      // frame index of the first command byte
};

class CTableProtocol : public CPTZProtocol {
 public:
  bool TiltUp(int speed) override;
  bool TiltDown(int speed) override;
  bool PanLeft(int speed) override;
  bool PanRight(int speed) override;
  bool Stop() override;
  bool FocusFar() override;
  bool FocusNear() override;
  bool IrisOpen() override;
  bool IrisClose() override;
  bool ZoomTele() override;
  bool ZoomWide() override;
  bool Special() override;
  // Stores address + offset; refuses what does not fit the address byte.
  bool SetAddress(int address) override;

 protected:
  // `bytes` is the creation frame; the address byte is set for address 1
  // unless `keep_address` (a class whose creation frame says otherwise).
  CTableProtocol(const PtzLayout& layout, const PtzCommandTable& table,
                 std::initializer_list<int> bytes, bool keep_address = false);

  // Writes the operation's table bytes and remembers it as the last command
  // (except Stop); false when the table has no entry.
  bool Apply(PtzOp op);
  // Writes bytes from the command position on; always true.
  bool PutCommand(std::initializer_list<int> bytes);
  std::optional<PtzOp> LastCommand() const { return last_; }

 private:
  const PtzBytes& Entry(PtzOp op) const;

  PtzLayout layout_;
  PtzCommandTable table_;
  std::optional<PtzOp> last_;
};

class CLilin_1016 final : public CTableProtocol {
 public:
  CLilin_1016();
};

class CDRAGON final : public CTableProtocol {
 public:
  CDRAGON();
  bool SetPreset(int preset) override;
  bool GotoPreset(int preset) override;
  void BuildFrame() override;
};

class CHD600 final : public CTableProtocol {
 public:
  CHD600();
  bool Ext26(int value) override;
  void BuildFrame() override;
};

class CHY final : public CTableProtocol {
 public:
  CHY();
  bool Stop() override;
  void BuildFrame() override;
};

class CYX_V1200 final : public CTableProtocol {
 public:
  CYX_V1200();
  bool Stop() override;
  bool SetPreset(int preset) override;
  bool GotoPreset(int preset) override;
};

class CSYYT final : public CTableProtocol {
 public:
  CSYYT();
  void BuildFrame() override;
};

class CSE300 final : public CTableProtocol {
 public:
  CSE300();
  bool SetAddress(int address) override;
  bool Stop() override;
};

class CSAMSUNG final : public CTableProtocol {
 public:
  CSAMSUNG();
  bool SetPreset(int preset) override;
  bool GotoPreset(int preset) override;
  void BuildFrame() override;
};

class CKALATE final : public CTableProtocol {
 public:
  CKALATE();
  bool Stop() override;
  bool SetPreset(int preset) override;
  bool ClearPreset(int preset) override;
  bool GotoPreset(int preset) override;
  void BuildFrame() override;
};

class CYaan_v1 final : public CTableProtocol {
 public:
  CYaan_v1();
  bool SetPreset(int preset) override;
  bool ClearPreset(int preset) override;
  bool GotoPreset(int preset) override;
  bool Ext23(int a, int b, int c, int d) override;
  bool Ext24(int value) override;
  bool Ext25(int value) override;
  bool Ext26(int value) override;
  bool Ext27(int value, int second) override;
  void BuildFrame() override;

 private:
  // The short frame, once chosen, stays.
  bool Short(int command, int data);
};

class CJY2000 final : public CTableProtocol {
 public:
  CJY2000();
};

class CKonyFrame : public CTableProtocol {
 public:
  bool Stop() override;

 protected:
  explicit CKonyFrame(int length);
};

class CKONY_M800CI final : public CKonyFrame {
 public:
  CKONY_M800CI();
  void BuildFrame() override;
};

class CKONY_MTR500 final : public CKonyFrame {
 public:
  CKONY_MTR500();
};

class CLilin_FASTDOME final : public CTableProtocol {
 public:
  CLilin_FASTDOME();
};

class CPTZGeneralV2 final : public CTableProtocol {
 public:
  CPTZGeneralV2();
  bool SetPreset(int preset) override;
  bool ClearPreset(int preset) override;
  bool GotoPreset(int preset) override;
  bool Ext24(int value) override;
  bool Ext25(int value) override;
  bool Ext27(int value, int second) override;
  void BuildFrame() override;
};

}  // namespace velmo
