#include "sim_fixture.h"

#include <chrono>

namespace velmo::test {

std::string default_fleet() {
  return "p2p-server self\n"
         "p2p-server self\n"
         "device D1 139001 pw1\n"
         "channel 0 client-monitor-direct lan-ip=127.0.0.1 rtcp-port=7000 random=r1 "
         "session-id=11\n"
         "channel 1 monitor-client-direct lan-ip=127.0.0.3 rtcp-port=7001 random=r2 "
         "session-id=12\n"
         "channel 2 client-monitor-p2p random=r3 session-id=13\n"
         "channel 3 client-monitor-middle-transfer transit-ip=127.0.0.9 transit-port=7300 "
         "random=r4 session-id=4000000000\n"
         "set gps N31.2,E121.5\n"
         "set allow_tel 13800000000\n"
         "set const_pwd 123456\n"
         "set tmp_pwd 999\n"
         "set emergency_tel 110\n"
         "set rs485 9600 8 1 78 0 7 3\n"
         "set alarm opened\n"
         "set record-type closed\n"
         "device D2 139002 -\n"
         "channel 0 client-monitor-direct\n";
}

void SdkSim::SetUp() {
  saved_tuning_ = tuning();
  tuning().addr_query_wait_ms = 150;
  tuning().addr_query_tries = 2;
  tuning().passwd_error_wait_ms = 400;
  start_sim(default_fleet());
  set_session_handoff([this](ChannelInfo& ch, const ConnectTarget& t) {
    {
      std::lock_guard lock(m_);
      handed_.push_back({&ch, t});
    }
    cv_.notify_all();
    return handoff_result_;
  });
  ASSERT_EQ(InitMonitClientSDK(), 1);
}

void SdkSim::TearDown() {
  ReleaseMonitClientSDK();
  set_session_handoff(nullptr);
  if (sim_) sim_->stop();
  tuning() = saved_tuning_;
}

void SdkSim::start_sim(const std::string& fleet_text) {
  if (sim_) sim_->stop();
  auto fleet = orvsim::parse_fleet(fleet_text);
  ASSERT_TRUE(fleet.ok()) << fleet.error;
  orvsim::SimulatorOptions options;
  options.fleet = *fleet.fleet;
  sim_ = std::make_unique<orvsim::Simulator>(options);
  control_ = &sim_->control();
  ASSERT_TRUE(sim_->start()) << sim_->error();
}

long SdkSim::login(const char* i2c, const char* tel, const char* passwd) {
  return Login("127.0.0.1", port(), i2c, tel, passwd, "", 2);
}

ChannelInfo& SdkSim::channel(long handle, int c) {
  ChannelInfo* ch = guarded_channel(handle, c);
  EXPECT_TRUE(ch);
  ch->m_nHttpTimeout = 2;
  return *ch;
}

std::vector<std::string> SdkSim::targets() const {
  std::vector<std::string> out;
  for (const auto& e : sim_->log().entries()) out.push_back(e.request.target);
  return out;
}

std::vector<std::string> SdkSim::targets_for(const std::string& path) const {
  std::vector<std::string> out;
  for (const auto& e : sim_->log().entries())
    if (e.request.path == path) out.push_back(e.request.target);
  return out;
}

std::string SdkSim::last_target(const std::string& path) const {
  auto all = targets_for(path);
  return all.empty() ? std::string() : all.back();
}

std::vector<SdkSim::Handed> SdkSim::handed() const {
  std::lock_guard lock(m_);
  return handed_;
}

bool SdkSim::wait_handed(std::size_t count, int timeout_ms) {
  std::unique_lock lock(m_);
  return cv_.wait_for(lock, std::chrono::milliseconds(timeout_ms),
                      [&] { return handed_.size() >= count; });
}

}  // namespace velmo::test
