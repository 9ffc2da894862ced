// The fixture of the end-to-end suite: the in-process simulator with one
// device whose channels cover the four connection types, the SDK logged in
// there, and a play window and a message window per channel.
#pragma once

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <ostream>
#include <string>

#include "e2e_support.h"
#include "frame/user_table.h"
#include "platform/headless_window.h"
#include "simulator.h"

namespace e2e {

inline constexpr char kI2c[] = "E2E1";
inline constexpr int kFirstPictureMs = 8000;
inline constexpr std::uint64_t kStopGoalMs = 1500;
// Channels 0-3 carry the four connection types. Channel 4 is direct with a
// SessionId above 2^31; tests point it at peers of their own (the
// simulator's devices misread such a session in a URL). Channel 5 is not in
// the fleet, so its negotiation fails.
inline constexpr int kChannels = 6;
inline constexpr int kDirect = 0;
inline constexpr int kDialBack = 1;
inline constexpr int kP2p = 2;
inline constexpr int kRelay = 3;
inline constexpr int kOwnPeer = 4;
inline constexpr int kNoRoute = 5;
inline constexpr std::uint32_t kLargeSession = 4000000000u;

class E2e : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  std::string fleet_text() const;
  orvsim::ChannelKey key(int c) const { return {kI2c, c}; }
  velmo::ChannelInfo& channel(int c) { return *velmo::guarded_channel(handle_, c); }
  orvsim::DeviceLog& log() { return sim_->devices().log(); }
  platform::HeadlessWindow& play(int c) { return panes_[c].play.window(); }
  HWND play_hwnd(int c) { return panes_[c].play.hwnd(); }
  // Where the channel's notifications go: the message window for the direct
  // type, the play window for the others.
  platform::HeadlessWindow& notify(int c);

  // RealPlay until the first picture; the time taken is printed.
  long play_until_picture(int c, const char* what);
  // StopRealPlay within the goal; afterwards no message reaches the
  // channel's windows and the channel holds no player port.
  void stop_promptly(int c, const char* state);
  // The frame loop the device streams for the channel's newest negotiation.
  std::shared_ptr<const orvsim::FrameLoop> source(int c) const;
  // The next negotiation's reply gets `element` set to `text` (after the
  // simulator filled it in).
  void rewrite_next_negotiation(const std::string& element, const std::string& text);
  // The UDP settings file of the test's device, removed at the end.
  void write_udp_settings(const std::string& xml);

  struct Pane {
    platform::ScopedHeadlessWindow play{176, 144};
    platform::ScopedHeadlessWindow msg;
  };
  SavedTimings saved_;
  std::array<Pane, kChannels> panes_;
  std::unique_ptr<orvsim::Simulator> sim_;
  long handle_ = -1;
  std::string tel_;
  std::filesystem::path dir_;  // scratch folder of the test
  std::filesystem::path settings_;
};

struct TypeCase {
  int channel;
  const char* type;
  bool tcp;
};

inline void PrintTo(const TypeCase& c, std::ostream* os) {
  *os << c.type;
}

// One connection type per case.
class E2eLive : public E2e, public ::testing::WithParamInterface<TypeCase> {
 protected:
  int ch() const { return GetParam().channel; }
  const char* type() const { return GetParam().type; }
  bool tcp() const { return GetParam().tcp; }
  orvsim::ChannelKey key() const { return E2e::key(ch()); }
  platform::HeadlessWindow& play() { return E2e::play(ch()); }
  platform::HeadlessWindow& notify() { return E2e::notify(ch()); }
  long play_until_picture() { return E2e::play_until_picture(ch(), type()); }
  void stop_promptly(const char* state) { E2e::stop_promptly(ch(), state); }
  // Records while `pictures` more pictures are shown.
  void record(const std::filesystem::path& path, std::size_t pictures);
};

class E2eTcp : public E2eLive {};
class E2eP2p : public E2eLive {};

}  // namespace e2e
