// Frames of every protocol class, driven through the channel-level encoding
// the exported PtzControl uses. Expected bytes are written out from the
// protocol tables; check bytes are computed here with the protocol's own rule,
// never by the encoder under test.
#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "ptz/ptz_control.h"
#include "ptz/ptz_protocol.h"

namespace {

using velmo::CPTZProtocol;
using velmo::EncodePtzCommand;
using velmo::PtzChannelState;

// Command codes of PtzControl.
constexpr int kSetPreset = 8;
constexpr int kClearPreset = 9;
constexpr int kZoomWide = 11;
constexpr int kZoomTele = 12;
constexpr int kFocusNear = 13;
constexpr int kFocusFar = 14;
constexpr int kIrisOpen = 15;
constexpr int kIrisClose = 16;
constexpr int kTiltUp = 21;
constexpr int kTiltDown = 22;
constexpr int kPanLeft = 23;
constexpr int kPanRight = 24;
constexpr int kSpecial = 29;
constexpr int kStop = 30;
constexpr int kGotoPreset = 39;
constexpr int kExt23 = 40;  // (C, D, A, B)
constexpr int kExt27 = 42;  // (B, 255)
constexpr int kExt25 = 43;  // (D)
constexpr int kExt24 = 44;  // (D)
constexpr int kExt21 = 45;  // (D)
constexpr int kExt22 = 46;  // (D)
constexpr int kExt26 = 50;  // (D)

struct Cmd {
  int code;
  int a = 0;
  int b = 0;
  int c = 0;
  int d = 0;
};

Cmd Preset(int code, int preset) {
  return {code, 0, 0, preset, 0};
}
Cmd ValueD(int code, int value) {
  return {code, 0, 0, 0, value};
}

struct Row {
  int address;
  std::vector<Cmd> before;
  Cmd cmd;
  std::string expected;
};

std::string Hex(const std::vector<int>& bytes) {
  static const char* digits = "0123456789abcdef";
  std::string s;
  for (int b : bytes) {
    s += digits[(b >> 4) & 0xF];
    s += digits[b & 0xF];
  }
  return s;
}

// Appends the sum (mod 256) of every byte so far.
std::string WithSum(std::vector<int> bytes) {
  int sum = 0;
  for (int b : bytes) sum += b;
  bytes.push_back(sum & 0xFF);
  return Hex(bytes);
}

// Pelco-D: FF addr cmd1 cmd2 data1 data2, checksum = sum of bytes 2-6 (1-based).
std::string PelcoD(int addr, int cmd1, int cmd2, int data1, int data2) {
  return Hex({0xFF, addr, cmd1, cmd2, data1, data2, (addr + cmd1 + cmd2 + data1 + data2) & 0xFF});
}

// Pelco-P: A0 addr d1 d2 d3 d4 AF, check = XOR of the seven bytes before it.
std::string PelcoP(int addr, int d1, int d2, int d3, int d4) {
  return Hex({0xA0, addr, d1, d2, d3, d4, 0xAF, 0xA0 ^ addr ^ d1 ^ d2 ^ d3 ^ d4 ^ 0xAF});
}

// The TC variant: XOR of the address and the four data bytes only.
std::string TcPelcoP(int addr, int d1, int d2, int d3, int d4) {
  return Hex({0xA0, addr, d1, d2, d3, d4, 0xAF, addr ^ d1 ^ d2 ^ d3 ^ d4});
}

std::string Encode(int protocol, int address, const std::vector<Cmd>& before, const Cmd& cmd) {
  std::uint16_t held = 25;
  std::unique_ptr<CPTZProtocol> encoder;
  PtzChannelState channel{static_cast<std::uint16_t>(protocol), held,
                          static_cast<std::uint16_t>(address), encoder};
  for (const Cmd& c : before) EncodePtzCommand(channel, c.code, c.a, c.b, c.c, c.d);
  return EncodePtzCommand(channel, cmd.code, cmd.a, cmd.b, cmd.c, cmd.d);
}

void Check(int protocol, const std::vector<Row>& rows) {
  for (std::size_t i = 0; i < rows.size(); ++i) {
    const Row& r = rows[i];
    SCOPED_TRACE("protocol " + std::to_string(protocol) + " row " + std::to_string(i) +
                 " command " + std::to_string(r.cmd.code));
    EXPECT_EQ(Encode(protocol, r.address, r.before, r.cmd), r.expected);
  }
}

// ------------------------------------------------------------------ Pelco-D

TEST(PtzPelcoD, TcPelcoD) {
  const Cmd up{kTiltUp, 0x20};
  Check(25, {
                {1, {}, up, "ff010008002029"},
                {1, {}, {kTiltDown, 0x15}, PelcoD(1, 0x00, 0x10, 0x00, 0x15)},
                {1, {}, {kPanLeft, 0x11}, PelcoD(1, 0x00, 0x04, 0x11, 0x00)},
                {1, {}, {kPanRight, 0x3F}, PelcoD(1, 0x00, 0x02, 0x3F, 0x00)},
                // A move leaves the other speed byte as the previous move left it.
                {1, {up}, {kPanLeft, 0x11}, PelcoD(1, 0x00, 0x04, 0x11, 0x20)},
                {1, {{kPanLeft, 0x11}}, up, PelcoD(1, 0x00, 0x08, 0x11, 0x20)},
                {1, {up}, {kStop}, PelcoD(1, 0x00, 0x00, 0x00, 0x20)},
                {1, {}, {kStop}, PelcoD(1, 0x00, 0x00, 0x00, 0x00)},
                {1, {up}, {kFocusFar}, PelcoD(1, 0x00, 0x80, 0x00, 0x20)},
                {1, {}, {kFocusNear}, PelcoD(1, 0x01, 0x00, 0x00, 0x00)},
                {1, {}, {kIrisOpen}, PelcoD(1, 0x02, 0x00, 0x00, 0x00)},
                {1, {}, {kIrisClose}, PelcoD(1, 0x04, 0x00, 0x00, 0x00)},
                {1, {}, {kZoomTele}, PelcoD(1, 0x00, 0x20, 0x00, 0x00)},
                {1, {{kPanRight, 9}}, {kZoomWide}, PelcoD(1, 0x00, 0x40, 0x09, 0x00)},
                {1, {}, {kSpecial}, PelcoD(1, 0x10, 0x07, 0x3F, 0x65)},
                {1, {}, Preset(kSetPreset, 5), PelcoD(1, 0x00, 0x03, 0x00, 0x05)},
                {1, {}, Preset(kSetPreset, 0x85), PelcoD(1, 0x00, 0x03, 0x00, 0x05)},
                {1, {}, Preset(kClearPreset, 0x90), PelcoD(1, 0x00, 0x05, 0x00, 0x10)},
                // Go-to sends the preset number whole.
                {1, {}, Preset(kGotoPreset, 0x85), PelcoD(1, 0x00, 0x07, 0x00, 0x85)},
                {1, {}, ValueD(kExt21, 0xC1), PelcoD(1, 0x00, 0x47, 0x00, 0x41)},
                {1, {up}, ValueD(kExt22, 9), PelcoD(1, 0x00, 0x4B, 0x00, 0x00)},
                // Command 40 passes (C, D, A, B): a = C, c = A, d = B.
                {1, {}, {kExt23, 0x83, 0x44, 0x92, 0x55}, PelcoD(1, 0x12, 0x49, 0x03, 0x44)},
                {1, {}, ValueD(kExt24, 5), PelcoD(1, 0x00, 0x4D, 0x00, 0x05)},
                // Refused above 5 without touching the frame: the previous one goes again.
                {1, {up}, ValueD(kExt24, 6), PelcoD(1, 0x00, 0x08, 0x00, 0x20)},
                {1, {}, ValueD(kExt25, 7), PelcoD(1, 0x00, 0x4F, 0x01, 0x07)},
                {1, {up}, ValueD(kExt26, 5), PelcoD(1, 0x00, 0x02, 0x03, 0x20)},
                {1, {up}, ValueD(kExt26, 6), PelcoD(1, 0x00, 0x08, 0x00, 0x20)},
                {1, {up}, {kExt27, 0, 9}, PelcoD(1, 0x00, 0x08, 0x00, 0x20)},
                // Codes without an operation change nothing.
                {1, {up}, {10}, PelcoD(1, 0x00, 0x08, 0x00, 0x20)},
                {1, {up}, {-1}, PelcoD(1, 0x00, 0x08, 0x00, 0x20)},
                {1, {up}, {51}, PelcoD(1, 0x00, 0x08, 0x00, 0x20)},
                {0x22, {}, {kTiltDown, 0x3F}, "ff220010003f71"},
                {255, {}, {kTiltUp, 0xFF}, "ffff000800ff06"},
                // Speeds go out as their low byte.
                {1, {}, {kTiltUp, 0x120}, PelcoD(1, 0x00, 0x08, 0x00, 0x20)},
            });
}

// Cross-check with frames written from the published Pelco-D rules.
TEST(PtzPelcoD, PublishedFrames) {
  EXPECT_EQ(Encode(25, 1, {}, {kPanRight, 0x20}), "ff010002200023");
  EXPECT_EQ(Encode(25, 1, {}, Preset(kGotoPreset, 1)), "ff010007000109");
  EXPECT_EQ(Encode(25, 1, {}, {kZoomTele}), "ff010020000021");
  EXPECT_EQ(Encode(25, 1, {}, {kFocusNear}), "ff010100000002");
  EXPECT_EQ(Encode(25, 1, {}, {kStop}), "ff010000000001");
}

TEST(PtzPelcoD, PelcoDPico) {
  const Cmd up{kTiltUp, 0x20};
  const std::string up_frame = PelcoD(1, 0x00, 0x08, 0x00, 0x20);
  Check(8, {
               {1, {}, up, up_frame},
               {1, {}, {kTiltDown, 0x15}, PelcoD(1, 0x00, 0x10, 0x00, 0x15)},
               {1, {up}, {kPanLeft, 0x11}, PelcoD(1, 0x00, 0x04, 0x11, 0x20)},
               {1, {}, {kPanRight, 0x3F}, PelcoD(1, 0x00, 0x02, 0x3F, 0x00)},
               {1, {up}, {kStop}, PelcoD(1, 0x00, 0x00, 0x00, 0x20)},
               {1, {}, {kFocusFar}, PelcoD(1, 0x00, 0x80, 0x00, 0x00)},
               {1, {}, {kFocusNear}, PelcoD(1, 0x01, 0x00, 0x00, 0x00)},
               {1, {}, {kIrisOpen}, PelcoD(1, 0x02, 0x00, 0x00, 0x00)},
               {1, {}, {kIrisClose}, PelcoD(1, 0x04, 0x00, 0x00, 0x00)},
               {1, {}, {kZoomTele}, PelcoD(1, 0x00, 0x20, 0x00, 0x00)},
               {1, {}, {kZoomWide}, PelcoD(1, 0x00, 0x40, 0x00, 0x00)},
               {1, {up}, {kSpecial}, PelcoD(1, 0x10, 0x00, 0x00, 0x00)},
               // No presets or extended commands: the previous frame goes again.
               {1, {up}, Preset(kSetPreset, 5), up_frame},
               {1, {up}, Preset(kClearPreset, 5), up_frame},
               {1, {up}, Preset(kGotoPreset, 5), up_frame},
               {1, {up}, {kExt23, 1, 2, 3, 4}, up_frame},
               {1, {up}, {kExt27, 0, 9}, up_frame},
               {1, {up}, ValueD(kExt25, 0), up_frame},
               {1, {up}, ValueD(kExt24, 1), up_frame},
               {1, {up}, ValueD(kExt21, 1), up_frame},
               {1, {up}, ValueD(kExt22, 1), up_frame},
               {1, {up}, ValueD(kExt26, 1), up_frame},
           });
}

TEST(PtzPelcoD, PelcoDWx) {
  const Cmd up{kTiltUp, 0x20};
  const std::string up_frame = PelcoD(1, 0x00, 0x08, 0x00, 0x20);
  Check(7, {
               {1, {}, up, up_frame},
               {1, {}, {kTiltDown, 0x15}, PelcoD(1, 0x00, 0x10, 0x00, 0x15)},
               // Pan speed in data 2, unlike the standard.
               {1, {}, {kPanLeft, 0x11}, PelcoD(1, 0x00, 0x04, 0x00, 0x11)},
               {1, {}, {kPanRight, 0x3F}, PelcoD(1, 0x00, 0x02, 0x00, 0x3F)},
               {1, {up}, {kStop}, PelcoD(1, 0x00, 0x00, 0x00, 0x20)},
               {1, {}, {kFocusFar}, PelcoD(1, 0x00, 0x80, 0x00, 0x00)},
               {1, {}, {kFocusNear}, PelcoD(1, 0x01, 0x00, 0x00, 0x00)},
               {1, {}, {kIrisOpen}, PelcoD(1, 0x02, 0x00, 0x00, 0x00)},
               {1, {}, {kIrisClose}, PelcoD(1, 0x04, 0x00, 0x00, 0x00)},
               {1, {}, {kZoomTele}, PelcoD(1, 0x00, 0x20, 0x00, 0x00)},
               {1, {}, {kZoomWide}, PelcoD(1, 0x00, 0x40, 0x00, 0x00)},
               {1, {}, {kSpecial}, PelcoD(1, 0x10, 0x00, 0x20, 0x20)},
               {1, {up}, Preset(kSetPreset, 5), up_frame},
               {1, {up}, Preset(kGotoPreset, 5), up_frame},
               {1, {up}, ValueD(kExt24, 1), up_frame},
           });
}

// ------------------------------------------------------------------ Pelco-P

TEST(PtzPelcoP, PelcoP) {
  const Cmd up{kTiltUp, 0x20};
  const std::string up_frame = PelcoP(1, 0x00, 0x08, 0x00, 0x20);
  Check(3, {
               {1, {}, up, up_frame},
               {1, {}, {kTiltDown, 0x15}, PelcoP(1, 0x00, 0x10, 0x00, 0x15)},
               // Pan speed in data 4 (the standard's tilt speed byte) on this variant.
               {1, {}, {kPanLeft, 0x11}, PelcoP(1, 0x00, 0x04, 0x00, 0x11)},
               {1, {}, {kPanRight, 0x3F}, PelcoP(1, 0x00, 0x02, 0x00, 0x3F)},
               {1, {}, {kStop}, "a00100000000af0e"},
               {1, {up}, {kStop}, PelcoP(1, 0x00, 0x00, 0x00, 0x20)},
               {1, {}, {kFocusFar}, PelcoP(1, 0x01, 0x00, 0x00, 0x00)},
               {1, {}, {kFocusNear}, PelcoP(1, 0x02, 0x00, 0x00, 0x00)},
               {1, {}, {kIrisOpen}, PelcoP(1, 0x04, 0x00, 0x00, 0x00)},
               {1, {}, {kIrisClose}, PelcoP(1, 0x08, 0x00, 0x00, 0x00)},
               {1, {}, {kZoomTele}, PelcoP(1, 0x00, 0x20, 0x00, 0x00)},
               {1, {up}, {kZoomWide}, PelcoP(1, 0x00, 0x40, 0x00, 0x20)},
               {1, {}, {kSpecial}, PelcoP(1, 0x20, 0x00, 0x20, 0x20)},
               {1, {}, Preset(kSetPreset, 0x85), PelcoP(1, 0x00, 0x03, 0x00, 0x05)},
               {1, {}, Preset(kClearPreset, 7), PelcoP(1, 0x00, 0x05, 0x00, 0x07)},
               {1, {}, Preset(kGotoPreset, 0x85), PelcoP(1, 0x00, 0x07, 0x00, 0x05)},
               {1, {up}, ValueD(kExt24, 1), up_frame},
               {1, {up}, {kExt23, 1, 2, 3, 4}, up_frame},
               {0xFE, {}, {kTiltDown, 0x3F}, PelcoP(0xFE, 0x00, 0x10, 0x00, 0x3F)},
           });
}

TEST(PtzPelcoP, TcPelcoP) {
  const Cmd up{kTiltUp, 0x20};
  Check(24, {
                {1, {}, {kStop}, "a00100000000af01"},
                {1, {}, up, TcPelcoP(1, 0x00, 0x08, 0x00, 0x20)},
                {1, {}, {kTiltDown, 0x15}, TcPelcoP(1, 0x00, 0x10, 0x00, 0x15)},
                {1, {up}, {kPanLeft, 0x11}, TcPelcoP(1, 0x00, 0x04, 0x11, 0x20)},
                {1, {}, {kPanRight, 0x3F}, TcPelcoP(1, 0x00, 0x02, 0x3F, 0x00)},
                {1, {}, {kFocusFar}, TcPelcoP(1, 0x01, 0x00, 0x00, 0x00)},
                {1, {}, {kFocusNear}, TcPelcoP(1, 0x02, 0x00, 0x00, 0x00)},
                {1, {}, {kIrisOpen}, TcPelcoP(1, 0x04, 0x00, 0x00, 0x00)},
                {1, {}, {kIrisClose}, TcPelcoP(1, 0x08, 0x00, 0x00, 0x00)},
                {1, {}, {kZoomTele}, TcPelcoP(1, 0x00, 0x20, 0x00, 0x00)},
                {1, {}, {kZoomWide}, TcPelcoP(1, 0x00, 0x40, 0x00, 0x00)},
                {1, {up}, {kSpecial}, TcPelcoP(1, 0x20, 0x00, 0x00, 0x00)},
                {1, {}, Preset(kSetPreset, 3), TcPelcoP(1, 0x00, 0x03, 0x00, 0x03)},
                {1, {}, Preset(kClearPreset, 0x83), TcPelcoP(1, 0x00, 0x05, 0x00, 0x03)},
                {1, {}, Preset(kGotoPreset, 3), TcPelcoP(1, 0x00, 0x07, 0x00, 0x03)},
                {1, {up}, ValueD(kExt21, 1), TcPelcoP(1, 0x00, 0x08, 0x00, 0x20)},
            });
}

TEST(PtzPelcoP, PelcoPTl) {
  const Cmd up{kTiltUp, 0x20};
  Check(15, {
                {1, {}, {kStop}, "a00100000000af0e"},
                {1, {}, up, PelcoP(1, 0x00, 0x08, 0x00, 0x20)},
                {1, {}, {kTiltDown, 0x15}, PelcoP(1, 0x00, 0x10, 0x00, 0x15)},
                {1, {up}, {kPanLeft, 0x11}, PelcoP(1, 0x00, 0x04, 0x11, 0x20)},
                {1, {}, {kPanRight, 0x3F}, PelcoP(1, 0x00, 0x02, 0x3F, 0x00)},
                {1, {}, {kFocusFar}, PelcoP(1, 0x01, 0x00, 0x00, 0x00)},
                {1, {}, {kFocusNear}, PelcoP(1, 0x02, 0x00, 0x00, 0x00)},
                {1, {}, {kIrisOpen}, PelcoP(1, 0x04, 0x00, 0x00, 0x00)},
                {1, {}, {kIrisClose}, PelcoP(1, 0x08, 0x00, 0x00, 0x00)},
                {1, {}, {kZoomTele}, PelcoP(1, 0x00, 0x20, 0x00, 0x00)},
                {1, {}, {kZoomWide}, PelcoP(1, 0x00, 0x40, 0x00, 0x00)},
                {1, {up}, {kSpecial}, PelcoP(1, 0x20, 0x00, 0x00, 0x00)},
                {1, {}, Preset(kSetPreset, 3), PelcoP(1, 0x00, 0x03, 0x00, 0x03)},
                {1, {}, Preset(kClearPreset, 3), PelcoP(1, 0x00, 0x05, 0x00, 0x03)},
                {1, {}, Preset(kGotoPreset, 0xFF), PelcoP(1, 0x00, 0x07, 0x00, 0x7F)},
                {1, {up}, {kExt27, 0, 9}, PelcoP(1, 0x00, 0x08, 0x00, 0x20)},
            });
}

// Cross-check with frames worked out by hand from the published Pelco-P rules.
TEST(PtzPelcoP, PublishedFrames) {
  EXPECT_EQ(Encode(15, 1, {}, {kTiltUp, 0x20}), "a00100080020af26");
  EXPECT_EQ(Encode(15, 2, {}, {kPanRight, 0x30}), "a00200023000af3f");
  EXPECT_EQ(Encode(15, 1, {}, Preset(kSetPreset, 3)), "a00100030003af0e");
}

// ------------------------------------------------------ the makers' tables

TEST(PtzTables, Lilin1016) {
  const Cmd down{kTiltDown, 9};
  Check(1, {
               {1, {}, {kTiltUp, 9}, "8000"},
               {1, {}, down, "8001"},
               {1, {}, {kPanLeft, 9}, "8002"},
               {1, {}, {kPanRight, 9}, "8003"},
               {1, {}, {kStop}, "800e"},
               {1, {}, {kIrisOpen}, "8006"},
               {1, {}, {kIrisClose}, "8007"},
               {1, {}, {kZoomTele}, "8005"},
               {1, {}, {kZoomWide}, "8004"},
               {1, {}, {kSpecial}, "800f"},
               {1, {down}, {kFocusFar}, "8001"},
               {1, {down}, {kFocusNear}, "8001"},
               {1, {down}, Preset(kSetPreset, 2), "8001"},
               {1, {down}, Preset(kClearPreset, 2), "8001"},
               {1, {down}, Preset(kGotoPreset, 2), "8001"},
               {1, {down}, ValueD(kExt26, 2), "8001"},
               {5, {}, {kTiltUp, 9}, "8400"},
               {0x80, {}, {kTiltUp, 9}, "ff00"},
               {0, {}, {kTiltUp, 9}, "7f00"},
           });
}

TEST(PtzTables, Dragon) {
  const Cmd up{kTiltUp, 9};
  Check(4, {
               {1, {}, up, WithSum({0x02, 0x01, 0x01, 0x04, 0x00})},
               {1, {}, {kTiltDown}, WithSum({0x02, 0x01, 0x01, 0x08, 0x00})},
               {1, {}, {kPanLeft}, WithSum({0x02, 0x01, 0x01, 0x02, 0x00})},
               {1, {}, {kPanRight}, WithSum({0x02, 0x01, 0x01, 0x01, 0x00})},
               {1, {up}, {kStop}, WithSum({0x02, 0x01, 0x01, 0x00, 0x00})},
               {1, {}, {kFocusFar}, WithSum({0x02, 0x01, 0x01, 0x40, 0x00})},
               {1, {up}, {kFocusNear}, WithSum({0x02, 0x01, 0x01, 0x00, 0x00})},
               {1, {}, {kIrisOpen}, WithSum({0x02, 0x01, 0x01, 0x00, 0x01})},
               {1, {{kIrisOpen}}, {kIrisClose}, WithSum({0x02, 0x01, 0x01, 0x00, 0x00})},
               {1, {}, {kZoomTele}, WithSum({0x02, 0x01, 0x01, 0x10, 0x00})},
               {1, {}, {kZoomWide}, WithSum({0x02, 0x01, 0x01, 0x20, 0x00})},
               {1, {up}, {kSpecial}, WithSum({0x02, 0x01, 0x00, 0x00, 0x00})},
               {1, {}, Preset(kSetPreset, 3), "020105030b16"},
               {1, {}, Preset(kGotoPreset, 3), "020102030810"},
               // The preset's own sum wraps as the frame's does.
               {0x10, {}, Preset(kSetPreset, 0xF0), "021005f0070e"},
               {1, {up}, Preset(kClearPreset, 3), WithSum({0x02, 0x01, 0x01, 0x04, 0x00})},
               {1, {up}, ValueD(kExt24, 3), WithSum({0x02, 0x01, 0x01, 0x04, 0x00})},
           });
}

std::string Hd600(int addr, int cmd, int data) {
  const int a = (addr - 1) & 0xFF;
  return Hex({a, 0xBF, cmd, data, (a + 0xBF + data) & 0xFF});
}

TEST(PtzTables, Hd600) {
  const Cmd up{kTiltUp, 9};
  Check(5, {
               {1, {}, up, "00bf5007c6"},
               {1, {}, {kTiltDown}, Hd600(1, 0x51, 0x07)},
               {1, {}, {kPanLeft}, Hd600(1, 0x52, 0x07)},
               {1, {}, {kPanRight}, Hd600(1, 0x53, 0x07)},
               {1, {up}, {kStop}, Hd600(1, 0x31, 0x00)},
               {1, {}, {kFocusFar}, Hd600(1, 0x0A, 0x00)},
               {1, {}, {kFocusNear}, Hd600(1, 0x0B, 0x00)},
               {1, {}, {kIrisOpen}, Hd600(1, 0x08, 0x00)},
               {1, {}, {kIrisClose}, Hd600(1, 0x09, 0x00)},
               {1, {}, {kZoomTele}, Hd600(1, 0x0D, 0x00)},
               {1, {}, {kZoomWide}, Hd600(1, 0x0C, 0x00)},
               {1, {}, {kSpecial}, Hd600(1, 0x60, 0x00)},
               {1, {up}, ValueD(kExt26, 0), Hd600(1, 0x20, 0x00)},
               {1, {up}, Preset(kSetPreset, 3), "00bf5007c6"},
               {1, {up}, Preset(kGotoPreset, 3), "00bf5007c6"},
               {3, {}, up, Hd600(3, 0x50, 0x07)},
               {256, {}, up, "ffbf5007c5"},
           });
}

TEST(PtzTables, Hy) {
  auto hy = [](int cmd) { return WithSum({0xA5, 0x00, cmd, 0x00}); };
  Check(54, {
                {1, {}, {kTiltUp}, hy(0x02)},
                {1, {}, {kTiltDown}, hy(0x03)},
                {1, {}, {kPanLeft}, hy(0x04)},
                {1, {}, {kPanRight}, hy(0x05)},
                {1, {}, {kFocusFar}, hy(0x09)},
                {1, {}, {kFocusNear}, hy(0x08)},
                {1, {}, {kIrisOpen}, hy(0x0B)},
                {1, {}, {kIrisClose}, hy(0x0A)},
                {1, {}, {kZoomTele}, hy(0x06)},
                {1, {}, {kZoomWide}, hy(0x07)},
                {1, {}, {kSpecial}, hy(0x0C)},
                // Stop is the last command's own stop code.
                {1, {{kTiltUp}}, {kStop}, hy(0x22)},
                {1, {{kTiltDown}}, {kStop}, hy(0x23)},
                {1, {{kPanLeft}}, {kStop}, hy(0x24)},
                {1, {{kPanRight}}, {kStop}, hy(0x25)},
                {1, {{kZoomWide}}, {kStop}, hy(0x27)},
                {1, {{kZoomTele}}, {kStop}, hy(0x26)},
                {1, {{kFocusNear}}, {kStop}, hy(0x28)},
                {1, {{kFocusFar}}, {kStop}, hy(0x29)},
                {1, {{kIrisOpen}}, {kStop}, hy(0x2B)},
                {1, {{kIrisClose}}, {kStop}, hy(0x2A)},
                {1, {{kSpecial}}, {kStop}, hy(0x2C)},
                {1, {{kTiltUp}, {kStop}}, {kStop}, hy(0x22)},
                // With nothing to stop, the pan stop rather than PanRight's 05.
                {1, {}, {kStop}, hy(0x25)},
                {1, {{kTiltUp}}, Preset(kSetPreset, 1), hy(0x02)},
                {1, {{kTiltUp}}, ValueD(kExt24, 1), hy(0x02)},
                {3, {}, {kTiltUp}, WithSum({0xA5, 0x02, 0x02, 0x00})},
            });
}

TEST(PtzTables, YxV1200) {
  Check(6, {
               {1, {}, {kTiltUp}, "01c070"},
               {1, {}, {kTiltDown}, "01c0f0"},
               {1, {}, {kPanLeft}, "01c007"},
               {1, {}, {kPanRight}, "01c00f"},
               {1, {}, {kFocusFar}, "018014"},
               // 80 15, not the focus stop 80 20 (see the encoder).
               {1, {}, {kFocusNear}, "018015"},
               {1, {}, {kIrisOpen}, "018010"},
               {1, {}, {kIrisClose}, "018011"},
               {1, {}, {kZoomTele}, "018012"},
               {1, {}, {kZoomWide}, "018013"},
               {1, {}, {kSpecial}, "01800e"},
               {1, {}, Preset(kSetPreset, 7), "01a007"},
               {1, {}, Preset(kGotoPreset, 7), "019707"},
               {1, {{kTiltUp}}, Preset(kClearPreset, 7), "01c070"},
               {1, {{kTiltDown}}, {kStop}, "01c080"},
               {1, {{kTiltUp}}, {kStop}, "01c000"},
               {1, {{kPanLeft}}, {kStop}, "01c000"},
               {1, {{kPanRight}}, {kStop}, "01c008"},
               {1, {{kZoomTele}}, {kStop}, "01801f"},
               {1, {{kZoomWide}}, {kStop}, "01801f"},
               {1, {{kFocusFar}}, {kStop}, "018020"},
               {1, {{kFocusNear}}, {kStop}, "018020"},
               {1, {{kIrisOpen}}, {kStop}, "01801e"},
               {1, {{kIrisClose}}, {kStop}, "01801e"},
               {1, {{kSpecial}}, {kStop}, "01800f"},
               {1, {}, {kStop}, "01c000"},
               // Presets are not movements: the stop still follows TiltDown.
               {1, {{kTiltDown}, Preset(kGotoPreset, 2)}, {kStop}, "01c080"},
               {0x2A, {}, {kTiltUp}, "2ac070"},
           });
}

std::string Syyt(int addr, int cmd) {
  std::vector<int> f{0xFF, 0xFF, 0xFF, 0xFF, 0x00, 0x00, 0x10, 0x00, 0x00, 0x00, addr, cmd};
  int x = 0;
  for (std::size_t i = 4; i < f.size(); ++i) x ^= f[i];
  f.insert(f.end(), {x, 0xFE, 0xEE, 0xEE});
  return Hex(f);
}

TEST(PtzTables, Syyt) {
  Check(10, {
                {1, {}, {kTiltUp}, "ffffffff000010000000019283feeeee"},
                {1, {}, {kTiltDown}, Syyt(1, 0x94)},
                {1, {}, {kPanLeft}, Syyt(1, 0x96)},
                {1, {}, {kPanRight}, Syyt(1, 0x98)},
                {1, {}, {kStop}, Syyt(1, 0x93)},
                {1, {}, {kFocusFar}, Syyt(1, 0x8C)},
                {1, {}, {kFocusNear}, Syyt(1, 0x8A)},
                {1, {}, {kIrisOpen}, Syyt(1, 0x86)},
                {1, {}, {kIrisClose}, Syyt(1, 0x88)},
                {1, {}, {kZoomTele}, Syyt(1, 0x8E)},
                {1, {}, {kZoomWide}, Syyt(1, 0x90)},
                {1, {}, {kSpecial}, Syyt(1, 0x9A)},
                {1, {{kTiltUp}}, Preset(kGotoPreset, 1), Syyt(1, 0x92)},
                {0x40, {}, {kPanLeft}, Syyt(0x40, 0x96)},
            });
}

std::string Se300(int cmd, const char* addr = "001") {
  return Hex({'0', '0', cmd, addr[0], addr[1], addr[2], '~'});
}

TEST(PtzTables, Se300) {
  Check(11, {
                {7, {}, {kPanLeft}, "30304c3030377e"},
                {1, {}, {kTiltUp}, Se300('U')},
                {1, {}, {kTiltDown}, Se300('D')},
                {1, {}, {kPanRight}, Se300('R')},
                {1, {}, {kFocusFar}, Se300('N')},
                {1, {}, {kFocusNear}, Se300('F')},
                {1, {}, {kIrisOpen}, Se300(0x0A)},
                {1, {}, {kIrisClose}, Se300(0x0B)},
                {1, {}, {kZoomTele}, Se300('O')},
                {1, {}, {kZoomWide}, Se300('I')},
                {1, {}, {kSpecial}, Se300(0x05)},
                {1, {{kPanLeft}}, {kStop}, Se300(0x13)},
                {1, {{kPanRight}}, {kStop}, Se300(0x13)},
                {1, {{kZoomTele}}, {kStop}, Se300(0x16)},
                {1, {{kZoomWide}}, {kStop}, Se300(0x16)},
                {1, {{kFocusFar}}, {kStop}, Se300(0x16)},
                {1, {{kFocusNear}}, {kStop}, Se300(0x16)},
                {1, {{kIrisOpen}}, {kStop}, Se300(0x16)},
                {1, {{kIrisClose}}, {kStop}, Se300(0x16)},
                {1, {{kTiltUp}}, {kStop}, Se300(0x11)},
                {1, {{kTiltDown}}, {kStop}, Se300(0x11)},
                {1, {{kSpecial}}, {kStop}, Se300(0x11)},
                {1, {}, {kStop}, Se300(0x11)},
                {1, {{kTiltUp}}, Preset(kSetPreset, 1), Se300('U')},
                {999, {}, {kTiltUp}, Se300('U', "999")},
                {250, {}, {kTiltUp}, Se300('U', "250")},
                {0, {}, {kTiltUp}, Se300('U', "000")},
                {1000, {}, {kTiltUp}, ""},
            });
}

std::string Samsung(int addr, int c1, int c2, int d1, int d2, int d3) {
  return Hex({0xA0, 0x00, addr, c1, c2, d1, d2, d3, addr | c1 | c2 | d1 | d2 | d3});
}

TEST(PtzTables, Samsung) {
  Check(12,
        {
            {1, {}, {kStop}, "a00001010000000001"},
            {1, {}, {kTiltUp}, Samsung(1, 0x01, 0x00, 0x04, 0x00, 0x40)},
            {1, {}, {kTiltDown}, Samsung(1, 0x01, 0x00, 0x08, 0x00, 0x40)},
            {1, {}, {kPanLeft}, Samsung(1, 0x01, 0x00, 0x01, 0x40, 0x00)},
            {1, {}, {kPanRight}, Samsung(1, 0x01, 0x00, 0x02, 0x40, 0x00)},
            {1, {{kTiltUp}}, {kStop}, Samsung(1, 0x01, 0x00, 0x00, 0x00, 0x00)},
            {1, {}, {kFocusFar}, Samsung(1, 0x01, 0x01, 0x00, 0x00, 0x00)},
            {1, {}, {kFocusNear}, Samsung(1, 0x01, 0x02, 0x00, 0x00, 0x00)},
            {1, {}, {kIrisOpen}, Samsung(1, 0x01, 0x08, 0x00, 0x00, 0x00)},
            {1, {}, {kIrisClose}, Samsung(1, 0x01, 0x10, 0x00, 0x00, 0x00)},
            {1, {}, {kZoomTele}, Samsung(1, 0x01, 0x40, 0x00, 0x00, 0x00)},
            {1, {}, {kZoomWide}, Samsung(1, 0x01, 0x20, 0x00, 0x00, 0x00)},
            {1, {}, {kSpecial}, Samsung(1, 0x03, 0x13, 0x01, 0xFF, 0xFF)},
            {1, {}, Preset(kSetPreset, 0x21), Samsung(1, 0x03, 0x50, 0x21, 0xFF, 0xFF)},
            {1, {}, Preset(kGotoPreset, 0x21), Samsung(1, 0x03, 0x19, 0x21, 0xFF, 0xFF)},
            {1, {{kTiltUp}}, Preset(kClearPreset, 0x21), Samsung(1, 0x01, 0x00, 0x04, 0x00, 0x40)},
            {0x80, {}, {kPanLeft}, Samsung(0x80, 0x01, 0x00, 0x01, 0x40, 0x00)},
        });
}

TEST(PtzTables, Kalate) {
  auto k = [](int cmd, int d1, int d2) { return WithSum({0xA0, 0x01, cmd, d1, d2}); };
  Check(13, {
                {1, {}, {kTiltUp}, k(0x04, 0x00, 0x00)},
                {1, {}, {kTiltDown}, k(0x04, 0x80, 0x00)},
                {1, {}, {kPanLeft}, k(0x03, 0x80, 0x00)},
                {1, {}, {kPanRight}, k(0x03, 0x00, 0x00)},
                {1, {}, {kFocusFar}, k(0x0B, 0x00, 0x00)},
                {1, {}, {kFocusNear}, k(0x0C, 0x00, 0x00)},
                {1, {}, {kZoomTele}, k(0x09, 0x00, 0x00)},
                {1, {}, {kZoomWide}, k(0x07, 0x00, 0x00)},
                {1, {}, {kSpecial}, k(0x1D, 0x05, 0x00)},
                {1, {}, Preset(kSetPreset, 9), k(0x05, 0x09, 0x00)},
                {1, {}, Preset(kClearPreset, 9), k(0x1E, 0x00, 0x00)},
                {1, {}, Preset(kGotoPreset, 9), k(0x06, 0x09, 0x00)},
                // Iris commands succeed and leave the frame as it was.
                {1, {{kTiltDown}}, {kIrisOpen}, k(0x04, 0x80, 0x00)},
                {1, {{kTiltDown}}, {kIrisClose}, k(0x04, 0x80, 0x00)},
                {1, {{kZoomTele}}, {kStop}, k(0x0D, 0x00, 0x00)},
                {1, {{kZoomWide}}, {kStop}, k(0x0D, 0x00, 0x00)},
                {1, {{kFocusFar}}, {kStop}, k(0x0D, 0x00, 0x00)},
                {1, {{kFocusNear}}, {kStop}, k(0x0D, 0x00, 0x00)},
                {1, {{kTiltDown}, {kIrisOpen}}, {kStop}, k(0x04, 0x80, 0x00)},
                {1, {{kZoomTele}, {kIrisClose}}, {kStop}, k(0x09, 0x00, 0x00)},
                {1, {{kPanLeft}}, {kStop}, k(0xFF, 0x00, 0x00)},
                {1, {{kSpecial}}, {kStop}, k(0xFF, 0x00, 0x00)},
                {1, {}, {kStop}, k(0xFF, 0x00, 0x00)},
                {1, {{kTiltDown}}, ValueD(kExt24, 1), k(0x04, 0x80, 0x00)},
            });
}

TEST(PtzTables, YaanLongFrame) {
  auto y = [](int cmd, int d1, int d2) { return WithSum({0x02, 0x01, cmd, d1, d2}); };
  Check(14, {
                {1, {}, {kTiltUp}, "020101040008"},
                {1, {}, {kTiltDown}, y(0x01, 0x08, 0x00)},
                {1, {}, {kPanLeft}, y(0x01, 0x02, 0x00)},
                {1, {}, {kPanRight}, y(0x01, 0x01, 0x00)},
                {1, {}, {kStop}, y(0x01, 0x00, 0x00)},
                {1, {}, {kFocusFar}, y(0x01, 0x40, 0x00)},
                {1, {}, {kFocusNear}, y(0x01, 0x80, 0x00)},
                {1, {}, {kIrisOpen}, y(0x02, 0x00, 0x00)},
                {1, {}, {kIrisClose}, y(0x04, 0x00, 0x00)},
                {1, {}, {kZoomTele}, y(0x01, 0x20, 0x00)},
                {1, {}, {kZoomWide}, y(0x01, 0x10, 0x00)},
                {1, {}, {kSpecial}, y(0x0F, 0x03, 0x00)},
                // Slot 26 is a pan right and keeps the long frame.
                {1, {}, ValueD(kExt26, 7), y(0x01, 0x01, 0x00)},
                // A refused slot 25 changes nothing, length included.
                {1, {{kTiltUp}}, ValueD(kExt25, 1), "020101040008"},
                {1, {{kTiltUp}}, {kExt21}, "020101040008"},
            });
}

TEST(PtzTables, YaanShortFrame) {
  auto y = [](int cmd, int data) { return WithSum({0x02, 0x01, cmd, data}); };
  const Cmd go = Preset(kGotoPreset, 4);
  Check(14, {
                {1, {}, Preset(kSetPreset, 4), y(0x05, 0x04)},
                {1, {}, Preset(kClearPreset, 4), y(0x02, 0x04)},
                {1, {}, go, y(0x02, 0x04)},
                {1, {}, {kExt23, 0x33, 0x44, 0x11, 0x22}, y(0x06, 0x11)},
                {1, {}, ValueD(kExt24, 9), y(0x08, 0x00)},
                {1, {}, ValueD(kExt25, 0), y(0x03, 0x00)},
                {1, {}, ValueD(kExt25, -4), y(0x03, 0x00)},
                {1, {}, {kExt27, 0, 1}, y(0x0B, 0x03)},
                {1, {}, {kExt27, 0, 100}, y(0x0B, 100)},
                {1, {}, {kExt27, 0, 300}, y(0x0B, 0xFF)},
                // Once short, always short: moves drop data 2.
                {1, {go}, {kTiltUp}, "0201010408"},
                {1, {go}, {kFocusNear}, y(0x01, 0x80)},
                {1, {go}, {kIrisClose}, y(0x04, 0x00)},
                {1, {go}, {kSpecial}, y(0x0F, 0x03)},
                {1, {go, {kTiltUp}, {kZoomTele}}, {kStop}, y(0x01, 0x00)},
                {1, {go}, ValueD(kExt26, 0), y(0x01, 0x01)},
            });
}

TEST(PtzTables, Jy2000) {
  auto j = [](int cmd) { return Hex({0xAA, 0xCB, 0x00, 0x01, cmd}); };
  Check(16, {
                {1, {}, {kTiltUp}, "aacb000101"},
                {1, {}, {kTiltDown}, j(0x02)},
                {1, {}, {kPanLeft}, j(0x03)},
                {1, {}, {kPanRight}, j(0x04)},
                {1, {}, {kStop}, j(0x05)},
                {1, {}, {kFocusFar}, j(0x06)},
                {1, {}, {kFocusNear}, j(0x07)},
                {1, {}, {kIrisOpen}, j(0x09)},
                {1, {}, {kIrisClose}, j(0x0A)},
                {1, {}, {kZoomTele}, j(0x0C)},
                {1, {}, {kZoomWide}, j(0x0D)},
                {1, {}, {kSpecial}, j(0x17)},
                {1, {{kTiltUp}}, Preset(kGotoPreset, 1), j(0x01)},
                {200, {}, {kTiltUp}, "aacb00c801"},
            });
}

TEST(PtzTables, KonyM800ci) {
  auto k = [](int cmd) { return WithSum({0x01, 0x77, cmd}); };
  Check(18, {
                {1, {}, {kTiltUp}, "017731a9"},
                {1, {}, {kTiltDown}, k(0x32)},
                {1, {}, {kPanLeft}, k(0x33)},
                {1, {}, {kPanRight}, k(0x34)},
                {1, {}, {kFocusFar}, k(0x39)},
                {1, {}, {kFocusNear}, k(0x41)},
                {1, {}, {kIrisOpen}, k(0x35)},
                {1, {}, {kIrisClose}, k(0x36)},
                {1, {}, {kZoomTele}, k(0x37)},
                {1, {}, {kZoomWide}, k(0x38)},
                {1, {}, {kSpecial}, k(0x46)},
                {1, {{kSpecial}}, {kStop}, k(0x47)},
                {1, {{kPanLeft}}, {kStop}, k(0x80)},
                {1, {}, {kStop}, k(0x80)},
                {1, {{kTiltUp}}, Preset(kSetPreset, 1), k(0x31)},
                {0xF0, {}, {kTiltUp}, WithSum({0xF0, 0x77, 0x31})},
            });
}

TEST(PtzTables, KonyMtr500) {
  Check(19, {
                {1, {}, {kTiltUp}, "017731"},
                {1, {}, {kTiltDown}, "017732"},
                {1, {}, {kPanLeft}, "017733"},
                {1, {}, {kPanRight}, "017734"},
                {1, {}, {kFocusFar}, "017739"},
                {1, {}, {kFocusNear}, "017741"},
                {1, {}, {kIrisOpen}, "017735"},
                {1, {}, {kIrisClose}, "017736"},
                {1, {}, {kZoomTele}, "017737"},
                {1, {}, {kZoomWide}, "017738"},
                {1, {}, {kSpecial}, "017746"},
                {1, {{kSpecial}}, {kStop}, "017747"},
                {1, {{kZoomTele}}, {kStop}, "017780"},
                {1, {{kTiltUp}}, Preset(kGotoPreset, 1), "017731"},
            });
}

TEST(PtzTables, LilinFastdome) {
  Check(49, {
                {1, {}, {kTiltUp}, "010490"},
                {1, {}, {kTiltDown}, "010890"},
                {1, {}, {kPanLeft}, "010282"},
                {1, {}, {kPanRight}, "010182"},
                {1, {}, {kStop}, "01000f"},
                {1, {}, {kFocusFar}, "014000"},
                {1, {}, {kFocusNear}, "018000"},
                {1, {}, {kIrisOpen}, "012000"},
                {1, {}, {kIrisClose}, "011000"},
                {1, {{kTiltUp}}, {kZoomTele}, "010000"},
                {1, {}, {kZoomWide}, "010001"},
                {1, {}, {kSpecial}, "01000a"},
                {1, {{kTiltUp}}, Preset(kSetPreset, 1), "010490"},
                {0x33, {}, {kPanLeft}, "330282"},
            });
}

TEST(PtzTables, GeneralV2) {
  auto g = [](int cmd, int d1, int d2, int d3) { return WithSum({0xA5, 0x01, cmd, d1, d2, d3}); };
  const Cmd stop{kStop};
  const std::string stop_frame = g(0x83, 0x00, 0x5A, 0x00);
  Check(55, {
                {1, {}, stop, stop_frame},
                {1, {}, Preset(kSetPreset, 6), g(0x81, 0x00, 0x06, 0x00)},
                {1, {}, Preset(kGotoPreset, 6), g(0x83, 0x00, 0x06, 0x00)},
                {1, {stop}, Preset(kClearPreset, 6), stop_frame},
                {1, {}, ValueD(kExt24, 0x12), g(0x82, 0x12, 0xFF, 0x00)},
                {1, {}, ValueD(kExt25, 0x34), g(0x83, 0x34, 0x63, 0x00)},
                {1, {}, {kExt27, 0, 2}, g(0x81, 0x03, 0x60, 0x00)},
                {1, {}, {kExt27, 0, 0x40}, g(0x81, 0x40, 0x60, 0x00)},
                {1, {}, {kExt27, 0, 4000}, g(0x81, 0xFF, 0x60, 0x00)},
                // No movement or lens commands.
                {1, {stop}, {kTiltUp, 5}, stop_frame},
                {1, {stop}, {kTiltDown, 5}, stop_frame},
                {1, {stop}, {kPanLeft, 5}, stop_frame},
                {1, {stop}, {kPanRight, 5}, stop_frame},
                {1, {stop}, {kFocusFar}, stop_frame},
                {1, {stop}, {kFocusNear}, stop_frame},
                {1, {stop}, {kIrisOpen}, stop_frame},
                {1, {stop}, {kIrisClose}, stop_frame},
                {1, {stop}, {kZoomTele}, stop_frame},
                {1, {stop}, {kZoomWide}, stop_frame},
                {1, {stop}, {kSpecial}, stop_frame},
                {1, {stop}, ValueD(kExt21, 1), stop_frame},
                {1, {stop}, ValueD(kExt26, 1), stop_frame},
            });
}

}  // namespace
