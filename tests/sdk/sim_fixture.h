// The SDK started against an in-process simulator with a small test fleet.
#pragma once

#include <gtest/gtest.h>

#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "control/auth.h"
#include "control/negotiate.h"
#include "control_plane.h"
#include "frame/user_table.h"
#include "simulator.h"
#include "velmosdk.h"

namespace velmo::test {

inline constexpr char kI2c[] = "D1";
inline constexpr char kTel[] = "139001";
inline constexpr char kPasswd[] = "pw1";

class SdkSim : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // Restarts the simulator with another fleet text.
  void start_sim(const std::string& fleet_text);

  long login(const char* i2c = kI2c, const char* tel = kTel, const char* passwd = kPasswd);
  // The channel of a logged-in handle, with short waits.
  ChannelInfo& channel(long handle, int c);
  std::wstring server() const { return L"127.0.0.1"; }
  int port() const { return sim_->http_port(); }

  // Targets of the requests that arrived, in order ("/query?i2c=...").
  std::vector<std::string> targets() const;
  std::vector<std::string> targets_for(const std::string& path) const;
  std::string last_target(const std::string& path) const;

  // What reached the session hand-off.
  struct Handed {
    ChannelInfo* channel;
    ConnectTarget target;
  };
  std::vector<Handed> handed() const;
  bool wait_handed(std::size_t count, int timeout_ms);

  std::unique_ptr<orvsim::Simulator> sim_;
  orvsim::ControlPlane* control_ = nullptr;
  bool handoff_result_ = true;

 private:
  ControlTuning saved_tuning_;
  mutable std::mutex m_;
  std::condition_variable cv_;
  std::vector<Handed> handed_;
};

std::string default_fleet();

}  // namespace velmo::test
