// Encoders of the camera makers' RS-485 PTZ byte protocols. An encoder keeps
// one frame; each command rewrites part of it, BuildFrame fills the check
// bytes and GetFrame hands the bytes on. The frame persists between commands,
// so bytes a command does not touch keep what the previous one left.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <span>

namespace velmo {

class CPTZProtocol {
 public:
  static constexpr int kMaxFrame = 16;

  CPTZProtocol(const CPTZProtocol&) = delete;
  CPTZProtocol& operator=(const CPTZProtocol&) = delete;

  // The declaration order of the virtual operations is the slot order the
  // command table is written against; keep it.
  virtual ~CPTZProtocol() = default;
  virtual bool TiltUp(int speed);
  virtual bool TiltDown(int speed);
  virtual bool PanLeft(int speed);
  virtual bool PanRight(int speed);
  virtual bool UpLeft(int speed);
  virtual bool DownLeft(int speed);
  virtual bool UpRight(int speed);
  virtual bool DownRight(int speed);
  virtual bool Stop();
  virtual bool FocusFar();
  virtual bool FocusNear();
  virtual bool IrisOpen();
  virtual bool IrisClose();
  virtual bool ZoomTele();
  virtual bool ZoomWide();
  virtual bool Special();
  // False when the protocol cannot encode the address; the frame is then
  // left as it was.
  virtual bool SetAddress(int address);
  virtual bool SetPreset(int preset);
  virtual bool ClearPreset(int preset);
  virtual bool GotoPreset(int preset);
  // Maker-specific extended commands, named by their slot (21-27).
  virtual bool Ext21(int value);
  virtual bool Ext22(int value);
  virtual bool Ext23(int a, int b, int c, int d);
  virtual bool Ext24(int value);
  virtual bool Ext25(int value);
  virtual bool Ext26(int value);
  virtual bool Ext27(int value, int second);
  virtual void BuildFrame();
  virtual int Reserved();
  virtual bool DumpPresets(std::span<std::uint8_t> buffer);
  virtual const std::uint8_t* GetFrame(int& length) const;

  // The frame as GetFrame gives it.
  std::span<const std::uint8_t> Frame() const;

 protected:
  explicit CPTZProtocol(int length) : m_nLength(length) {}

  void Put(int index, int value) { m_frame[index] = static_cast<std::uint8_t>(value); }
  std::uint8_t Sum(int first, int last) const;
  std::uint8_t Xor(int first, int last) const;
  std::uint8_t Or(int first, int last) const;

  std::array<std::uint8_t, kMaxFrame> m_frame{};
  int m_nLength;
};

// The encoder of protocol number 1-55; null for every number without a class.
std::unique_ptr<CPTZProtocol> CreatePtzProtocol(int protocol);

}  // namespace velmo
