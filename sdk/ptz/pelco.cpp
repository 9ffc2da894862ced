// The Pelco-D and Pelco-P families. The frames and command bits are the
// published ones; where a maker's variant departs from the standard the
// departure is kept on purpose, because that maker's decoders expect it.
#include "ptz/ptz_classes.h"

namespace velmo {

namespace {

// Pelco-D frame positions.
constexpr int kDAddress = 1;
constexpr int kDCommand1 = 2;
constexpr int kDCommand2 = 3;
constexpr int kDPanSpeed = 4;
constexpr int kDTiltSpeed = 5;
constexpr int kDCheck = 6;

// Pelco-P frame positions.
constexpr int kPAddress = 1;
constexpr int kPData1 = 2;
constexpr int kPData2 = 3;
constexpr int kPPanSpeed = 4;
constexpr int kPTiltSpeed = 5;
constexpr int kPCheck = 7;

bool FitsByte(int value) {
  return value >= 0 && value <= 0xFF;
}

}  // namespace

// ------------------------------------------------------------------ Pelco-D

CPelcoDFrame::CPelcoDFrame() : CPTZProtocol(7) {
  Put(0, 0xFF);
  Put(kDAddress, 1);
}

bool CPelcoDFrame::Command(int command1, int command2) {
  Put(kDCommand1, command1);
  Put(kDCommand2, command2);
  return true;
}

bool CPelcoDFrame::Diagonal(int command2, int speed) {
  Command(0x00, command2);
  Put(kDPanSpeed, speed);
  Put(kDTiltSpeed, speed);
  return true;
}

bool CPelcoDFrame::TiltUp(int speed) {
  Put(kDTiltSpeed, speed);
  return Command(0x00, 0x08);
}

bool CPelcoDFrame::TiltDown(int speed) {
  Put(kDTiltSpeed, speed);
  return Command(0x00, 0x10);
}

bool CPelcoDFrame::PanLeft(int speed) {
  Put(kDPanSpeed, speed);
  return Command(0x00, 0x04);
}

bool CPelcoDFrame::PanRight(int speed) {
  Put(kDPanSpeed, speed);
  return Command(0x00, 0x02);
}

bool CPelcoDFrame::UpLeft(int speed) {
  return Diagonal(0x0C, speed);
}
bool CPelcoDFrame::DownLeft(int speed) {
  return Diagonal(0x14, speed);
}
bool CPelcoDFrame::UpRight(int speed) {
  return Diagonal(0x0A, speed);
}
bool CPelcoDFrame::DownRight(int speed) {
  return Diagonal(0x12, speed);
}

// Stop and the lens commands clear only the command bytes (the standard's
// stop also zeroes the speeds); the speed bytes keep what came before.
bool CPelcoDFrame::Stop() {
  return Command(0x00, 0x00);
}
bool CPelcoDFrame::FocusFar() {
  return Command(0x00, 0x80);
}
bool CPelcoDFrame::FocusNear() {
  return Command(0x01, 0x00);
}
bool CPelcoDFrame::IrisOpen() {
  return Command(0x02, 0x00);
}
bool CPelcoDFrame::IrisClose() {
  return Command(0x04, 0x00);
}
bool CPelcoDFrame::ZoomTele() {
  return Command(0x00, 0x20);
}
bool CPelcoDFrame::ZoomWide() {
  return Command(0x00, 0x40);
}

bool CPelcoDFrame::SetAddress(int address) {
  if (!FitsByte(address)) return false;
  Put(kDAddress, address);
  return true;
}

void CPelcoDFrame::BuildFrame() {
  Put(kDCheck, Sum(1, 5));
}

bool CTcPelco_d::Special() {
  Command(0x10, 0x07);
  Put(kDPanSpeed, 0x3F);
  Put(kDTiltSpeed, 0x65);
  return true;
}

// Preset numbers above 127 wrap on these decoders; go-to takes them whole.
bool CTcPelco_d::SetPreset(int preset) {
  Command(0x00, 0x03);
  Put(kDPanSpeed, 0);
  Put(kDTiltSpeed, preset & 0x7F);
  return true;
}

bool CTcPelco_d::ClearPreset(int preset) {
  Command(0x00, 0x05);
  Put(kDPanSpeed, 0);
  Put(kDTiltSpeed, preset & 0x7F);
  return true;
}

bool CTcPelco_d::GotoPreset(int preset) {
  Command(0x00, 0x07);
  Put(kDPanSpeed, 0);
  Put(kDTiltSpeed, preset);
  return true;
}

bool CTcPelco_d::Ext21(int value) {
  Command(0x00, 0x47);
  Put(kDPanSpeed, 0);
  Put(kDTiltSpeed, value & 0x7F);
  return true;
}

bool CTcPelco_d::Ext22(int) {
  Command(0x00, 0x4B);
  Put(kDPanSpeed, 0);
  Put(kDTiltSpeed, 0);
  return true;
}

bool CTcPelco_d::Ext23(int a, int, int c, int d) {
  Command(a & 0x7F, 0x49);
  Put(kDPanSpeed, c & 0x7F);
  Put(kDTiltSpeed, d);
  return true;
}

bool CTcPelco_d::Ext24(int value) {
  // Refused before anything is written: a half-written frame would be sent
  // as the repeat of the previous command.
  if (value > 5) return false;
  Command(0x00, 0x4D);
  Put(kDPanSpeed, 0);
  Put(kDTiltSpeed, value);
  return true;
}

bool CTcPelco_d::Ext25(int value) {
  Command(0x00, 0x4F);
  Put(kDPanSpeed, 1);
  Put(kDTiltSpeed, value);
  return true;
}

bool CTcPelco_d::Ext26(int value) {
  if (value > 5) return false;
  return PanRight(3);
}

bool CPelco_d_pico::Special() {
  Command(0x10, 0x00);
  Put(kDPanSpeed, 0);
  Put(kDTiltSpeed, 0);
  return true;
}

// This maker's decoders read the pan speed from data 2, not data 1 as the
// standard has it.
bool CPelco_d_wx::PanLeft(int speed) {
  Put(kDTiltSpeed, speed);
  return Command(0x00, 0x04);
}

bool CPelco_d_wx::PanRight(int speed) {
  Put(kDTiltSpeed, speed);
  return Command(0x00, 0x02);
}

bool CPelco_d_wx::Special() {
  Command(0x10, 0x00);
  Put(kDPanSpeed, 0x20);
  Put(kDTiltSpeed, 0x20);
  return true;
}

// ------------------------------------------------------------------ Pelco-P

CPelcoPFrame::CPelcoPFrame() : CPTZProtocol(8) {
  Put(0, 0xA0);
  Put(kPAddress, 1);
  Put(6, 0xAF);
}

bool CPelcoPFrame::Data(int data1, int data2) {
  Put(kPData1, data1);
  Put(kPData2, data2);
  return true;
}

bool CPelcoPFrame::Diagonal(int data2, int speed) {
  Data(0x00, data2);
  Put(kPPanSpeed, speed);
  Put(kPTiltSpeed, speed);
  return true;
}

bool CPelcoPFrame::TiltUp(int speed) {
  Put(kPTiltSpeed, speed);
  return Data(0x00, 0x08);
}

bool CPelcoPFrame::TiltDown(int speed) {
  Put(kPTiltSpeed, speed);
  return Data(0x00, 0x10);
}

bool CPelcoPFrame::PanLeft(int speed) {
  Put(kPPanSpeed, speed);
  return Data(0x00, 0x04);
}

bool CPelcoPFrame::PanRight(int speed) {
  Put(kPPanSpeed, speed);
  return Data(0x00, 0x02);
}

bool CPelcoPFrame::UpLeft(int speed) {
  return Diagonal(0x0C, speed);
}
bool CPelcoPFrame::DownLeft(int speed) {
  return Diagonal(0x14, speed);
}
bool CPelcoPFrame::UpRight(int speed) {
  return Diagonal(0x0A, speed);
}
bool CPelcoPFrame::DownRight(int speed) {
  return Diagonal(0x12, speed);
}
bool CPelcoPFrame::Stop() {
  return Data(0x00, 0x00);
}
bool CPelcoPFrame::FocusFar() {
  return Data(0x01, 0x00);
}
bool CPelcoPFrame::FocusNear() {
  return Data(0x02, 0x00);
}
bool CPelcoPFrame::IrisOpen() {
  return Data(0x04, 0x00);
}
bool CPelcoPFrame::IrisClose() {
  return Data(0x08, 0x00);
}
bool CPelcoPFrame::ZoomTele() {
  return Data(0x00, 0x20);
}
bool CPelcoPFrame::ZoomWide() {
  return Data(0x00, 0x40);
}

bool CPelcoPFrame::Special() {
  Data(0x20, 0x00);
  Put(kPPanSpeed, 0);
  Put(kPTiltSpeed, 0);
  return true;
}

bool CPelcoPFrame::SetAddress(int address) {
  if (!FitsByte(address)) return false;
  Put(kPAddress, address);
  return true;
}

bool CPelcoPFrame::SetPreset(int preset) {
  Data(0x00, 0x03);
  Put(kPPanSpeed, 0);
  Put(kPTiltSpeed, preset & 0x7F);
  return true;
}

bool CPelcoPFrame::ClearPreset(int preset) {
  Data(0x00, 0x05);
  Put(kPPanSpeed, 0);
  Put(kPTiltSpeed, preset & 0x7F);
  return true;
}

bool CPelcoPFrame::GotoPreset(int preset) {
  Data(0x00, 0x07);
  Put(kPPanSpeed, 0);
  Put(kPTiltSpeed, preset & 0x7F);
  return true;
}

void CPelcoPFrame::BuildFrame() {
  Put(kPCheck, Xor(0, 6));
}

// This maker's decoders read the pan speed from data 4 (the standard's tilt
// speed byte), so pan commands put it there.
bool CPelco_p::PanLeft(int speed) {
  Put(kPTiltSpeed, speed);
  return Data(0x00, 0x04);
}

bool CPelco_p::PanRight(int speed) {
  Put(kPTiltSpeed, speed);
  return Data(0x00, 0x02);
}

bool CPelco_p::Special() {
  Data(0x20, 0x00);
  Put(kPPanSpeed, 0x20);
  Put(kPTiltSpeed, 0x20);
  return true;
}

// Unlike the standard, this maker's check covers only the address and the four
// data bytes, not the start and end bytes.
void CTcPelco_p::BuildFrame() {
  Put(kPCheck, Xor(1, 5));
}

}  // namespace velmo
