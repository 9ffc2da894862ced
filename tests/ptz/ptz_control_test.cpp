// The channel-level encoding behind PtzControl: encoder selection and
// replacement, address, the resend of the previous frame, and the factory.
#include <gtest/gtest.h>

#include <cstdint>
#include <initializer_list>
#include <memory>
#include <string>
#include <typeinfo>

#include "ptz/ptz_classes.h"
#include "ptz/ptz_control.h"

namespace {

using namespace velmo;

constexpr int kSetPreset = 8;
constexpr int kTiltUp = 21;
constexpr int kPanLeft = 23;
constexpr int kStop = 30;
constexpr int kFocusFar = 14;

// A channel as ChannelInfo starts: protocol 25, address 1, no encoder.
struct Channel {
  std::uint16_t decoder_type = 25;
  std::uint16_t held = 25;
  std::uint16_t address = 1;
  std::unique_ptr<CPTZProtocol> encoder;

  std::string Send(int command, int a = 0, int b = 0, int c = 0, int d = 0) {
    return EncodePtzCommand({decoder_type, held, address, encoder}, command, a, b, c, d);
  }
};

TEST(PtzControl, DefaultChannelTiltUp) {
  Channel ch;
  EXPECT_EQ(ch.Send(kTiltUp, 0x20), "ff010008002029");
  EXPECT_NE(dynamic_cast<CTcPelco_d*>(ch.encoder.get()), nullptr);
}

TEST(PtzControl, StopOnPelcoPVariants) {
  Channel p;
  p.decoder_type = 3;
  EXPECT_EQ(p.Send(kStop), "a00100000000af0e");
  Channel tc;
  tc.decoder_type = 24;
  EXPECT_EQ(tc.Send(kStop), "a00100000000af01");
}

TEST(PtzControl, ProtocolWithoutClassGivesNothing) {
  Channel ch;
  ch.decoder_type = 2;
  EXPECT_EQ(ch.Send(kTiltUp, 0x20), "");
  EXPECT_EQ(ch.held, 2);
  EXPECT_EQ(ch.encoder, nullptr);
  EXPECT_EQ(ch.Send(kStop), "");
  for (int n : {0, 9, 17, 20, 23, 26, 48, 50, 53, 56, 0xFFFF}) {
    ch.decoder_type = static_cast<std::uint16_t>(n);
    EXPECT_EQ(ch.Send(kStop), "") << n;
  }
  // And back to a real protocol.
  ch.decoder_type = 25;
  EXPECT_EQ(ch.Send(kStop), "ff010000000001");
}

TEST(PtzControl, ProtocolChangeStartsFromCreationValues) {
  Channel ch;
  EXPECT_EQ(ch.Send(kTiltUp, 0x20), "ff010008002029");
  ch.decoder_type = 24;
  // Fresh Pelco-P frame: no speed carried over from the Pelco-D encoder.
  EXPECT_EQ(ch.Send(kFocusFar), "a00101000000af00");
  EXPECT_EQ(ch.held, 24);
  EXPECT_NE(dynamic_cast<CTcPelco_p*>(ch.encoder.get()), nullptr);
  ch.decoder_type = 25;
  // A new Pelco-D encoder: the 0x20 tilt speed of the first one is gone.
  EXPECT_EQ(ch.Send(kStop), "ff010000000001");
}

TEST(PtzControl, SameProtocolKeepsEncoderAndFrame) {
  Channel ch;
  ch.Send(kTiltUp, 0x20);
  const CPTZProtocol* first = ch.encoder.get();
  EXPECT_EQ(ch.Send(kPanLeft, 0x11), "ff010004112036");
  EXPECT_EQ(ch.encoder.get(), first);
}

TEST(PtzControl, UnsupportedCommandResendsPreviousFrame) {
  Channel ch;
  ch.decoder_type = 8;
  EXPECT_EQ(ch.Send(kTiltUp, 0x20), "ff010008002029");
  EXPECT_EQ(ch.Send(kSetPreset, 0, 0, 5), "ff010008002029");
  // Fresh address and check bytes on the resent frame.
  ch.address = 2;
  EXPECT_EQ(ch.Send(kSetPreset, 0, 0, 5), "ff02000800202a");
}

TEST(PtzControl, FirstCommandUnsupportedSendsCreationFrame) {
  Channel ch;
  ch.decoder_type = 8;
  EXPECT_EQ(ch.Send(kSetPreset, 0, 0, 5), "ff010000000001");
}

TEST(PtzControl, AddressThatDoesNotFitSendsNothing) {
  Channel ch;
  ch.address = 256;
  EXPECT_EQ(ch.Send(kTiltUp, 0x20), "");
  ch.address = 255;
  EXPECT_EQ(ch.Send(kTiltUp, 0x20), "ffff0008002027");
  ch.decoder_type = 5;  // address - 1 on the wire
  ch.address = 0;
  EXPECT_EQ(ch.Send(kTiltUp), "");
  ch.decoder_type = 1;  // address + 0x7F
  ch.address = 0x81;
  EXPECT_EQ(ch.Send(kTiltUp), "");
}

TEST(PtzControl, CommandTableReturnsSupport) {
  CTcPelco_d tc;
  EXPECT_TRUE(RunPtzCommand(tc, 21, 1, 0, 0, 0));
  EXPECT_TRUE(RunPtzCommand(tc, 40, 1, 2, 3, 4));
  EXPECT_FALSE(RunPtzCommand(tc, 42, 0, 0, 0, 0));
  EXPECT_FALSE(RunPtzCommand(tc, 44, 0, 0, 0, 6));
  EXPECT_FALSE(RunPtzCommand(tc, 10, 0, 0, 0, 0));
  EXPECT_FALSE(RunPtzCommand(tc, -30, 0, 0, 0, 0));
  CPelco_d_pico pico;
  EXPECT_FALSE(RunPtzCommand(pico, 8, 0, 0, 5, 0));
}

TEST(PtzControl, HexText) {
  const std::uint8_t bytes[] = {0x00, 0x0f, 0xa0, 0xff};
  EXPECT_EQ(PtzFrameHex(bytes), "000fa0ff");
  EXPECT_EQ(PtzFrameHex({}), "");
}

// ------------------------------------------------------------------ factory

template <typename T>
bool Is(int protocol) {
  auto p = CreatePtzProtocol(protocol);
  return p && typeid(*p) == typeid(T);
}

TEST(PtzFactory, ProtocolNumbers) {
  EXPECT_TRUE(Is<CLilin_1016>(1));
  EXPECT_TRUE(Is<CPelco_p>(3));
  EXPECT_TRUE(Is<CDRAGON>(4));
  EXPECT_TRUE(Is<CHD600>(5));
  EXPECT_TRUE(Is<CYX_V1200>(6));
  EXPECT_TRUE(Is<CPelco_d_wx>(7));
  EXPECT_TRUE(Is<CPelco_d_pico>(8));
  EXPECT_TRUE(Is<CSYYT>(10));
  EXPECT_TRUE(Is<CSE300>(11));
  EXPECT_TRUE(Is<CSAMSUNG>(12));
  EXPECT_TRUE(Is<CKALATE>(13));
  EXPECT_TRUE(Is<CYaan_v1>(14));
  EXPECT_TRUE(Is<CPelco_P_TL>(15));
  EXPECT_TRUE(Is<CJY2000>(16));
  EXPECT_TRUE(Is<CKONY_M800CI>(18));
  EXPECT_TRUE(Is<CKONY_MTR500>(19));
  EXPECT_TRUE(Is<CTcPelco_p>(24));
  EXPECT_TRUE(Is<CTcPelco_d>(25));
  EXPECT_TRUE(Is<CLilin_FASTDOME>(49));
  EXPECT_TRUE(Is<CHY>(54));
  EXPECT_TRUE(Is<CPTZGeneralV2>(55));
  int listed = 0;
  for (int n = -5; n <= 300; ++n) listed += CreatePtzProtocol(n) != nullptr;
  EXPECT_EQ(listed, 21);
}

// Creation frames, before any command; the address byte is that of address 1
// except on the fast dome, which starts all zero.
TEST(PtzFactory, CreationFrames) {
  struct Case {
    int protocol;
    std::string frame;
  } cases[] = {
      {1, "8000"},
      {3, "a00100000000af00"},
      {4, "020100000000"},
      {5, "00bf000000"},
      {6, "010000"},
      {7, "ff010000000000"},
      {10, "ffffffff000010000000010000feeeee"},
      {11, "3030003030317e"},
      {12, "a00001000000000000"},
      {13, "a00100000000"},
      {14, "020100000000"},
      {16, "aacb000100"},
      {18, "01770000"},
      {19, "017700"},
      {49, "000000"},
      {54, "a500000000"},
      {55, "a5010000000000"},
  };
  for (const Case& c : cases) {
    auto p = CreatePtzProtocol(c.protocol);
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(PtzFrameHex(p->Frame()), c.frame) << c.protocol;
  }
}

// ----------------------------------------------------- operations by slot

TEST(PtzBase, EveryOperationRefusesAndLeavesTheFrame) {
  struct Bare : CPTZProtocol {
    Bare() : CPTZProtocol(3) { m_frame = {1, 2, 3}; }
  } bare;
  CPTZProtocol& p = bare;
  EXPECT_FALSE(p.TiltUp(1) || p.TiltDown(1) || p.PanLeft(1) || p.PanRight(1));
  EXPECT_FALSE(p.UpLeft(1) || p.DownLeft(1) || p.UpRight(1) || p.DownRight(1));
  EXPECT_FALSE(p.Stop() || p.FocusFar() || p.FocusNear() || p.IrisOpen() || p.IrisClose());
  EXPECT_FALSE(p.ZoomTele() || p.ZoomWide() || p.Special() || p.SetAddress(1));
  EXPECT_FALSE(p.SetPreset(1) || p.ClearPreset(1) || p.GotoPreset(1));
  EXPECT_FALSE(p.Ext21(1) || p.Ext22(1) || p.Ext23(1, 2, 3, 4) || p.Ext24(1) || p.Ext25(1) ||
               p.Ext26(1) || p.Ext27(1, 255));
  std::uint8_t buffer[8] = {};
  EXPECT_FALSE(p.DumpPresets(buffer));
  EXPECT_EQ(p.Reserved(), 0);
  p.BuildFrame();
  int length = 0;
  const std::uint8_t* frame = p.GetFrame(length);
  ASSERT_EQ(length, 3);
  EXPECT_EQ(PtzFrameHex({frame, 3}), "010203");
}

std::string Hex(std::initializer_list<int> bytes) {
  static const char* digits = "0123456789abcdef";
  std::string text;
  for (int b : bytes) {
    text += digits[(b >> 4) & 0xF];
    text += digits[b & 0xF];
  }
  return text;
}

// The diagonals have no command code; they are reached on the encoder itself.
std::string Diagonals(CPTZProtocol& p, int which, int speed) {
  p.SetAddress(1);
  bool ok = false;
  switch (which) {
    case 0:
      ok = p.UpLeft(speed);
      break;
    case 1:
      ok = p.DownLeft(speed);
      break;
    case 2:
      ok = p.UpRight(speed);
      break;
    default:
      ok = p.DownRight(speed);
      break;
  }
  if (!ok) return "refused";
  p.BuildFrame();
  return PtzFrameHex(p.Frame());
}

TEST(PtzBase, PelcoDiagonals) {
  const int bits[] = {0x0C, 0x14, 0x0A, 0x12};
  for (int i = 0; i < 4; ++i) {
    const int c2 = bits[i];
    const int s = 0x15;
    const std::string d = Hex({0xFF, 1, 0, c2, s, s, (1 + c2 + s + s) & 0xFF});
    const std::string pp = Hex({0xA0, 1, 0, c2, s, s, 0xAF, 0xA0 ^ 1 ^ c2 ^ 0xAF});
    const std::string tp = Hex({0xA0, 1, 0, c2, s, s, 0xAF, 1 ^ c2});
    CTcPelco_d tc;
    CPelco_d_pico pico;
    CPelco_d_wx wx;
    CPelco_p p;
    CPelco_P_TL tl;
    CTcPelco_p tcp;
    EXPECT_EQ(Diagonals(tc, i, s), d) << i;
    EXPECT_EQ(Diagonals(pico, i, s), d) << i;
    EXPECT_EQ(Diagonals(wx, i, s), d) << i;
    EXPECT_EQ(Diagonals(p, i, s), pp) << i;
    EXPECT_EQ(Diagonals(tl, i, s), pp) << i;
    EXPECT_EQ(Diagonals(tcp, i, s), tp) << i;
  }
  // None of the makers' tables has diagonals.
  for (int n : {1, 4, 5, 6, 10, 11, 12, 13, 14, 16, 18, 19, 49, 54, 55}) {
    auto p = CreatePtzProtocol(n);
    for (int i = 0; i < 4; ++i) EXPECT_EQ(Diagonals(*p, i, 3), "refused") << n;
  }
}

}  // namespace
