#include <chrono>
#include <cstring>
#include <functional>
#include <future>
#include <iostream>
#include <thread>

#include "control/http.h"
#include "morvic/morvic.h"
#include "platform/headless_window.h"
#include "platform/net.h"
#include "sim_fixture.h"
#include "velmosdk_live.h"
#include "velmosdk_p2p.h"

namespace velmo::test {
namespace {

using orvsim::Fault;

TEST_F(SdkSim, LoginAuthenticatesChannelOne) {
  const long h = login();
  ASSERT_EQ(h, 0);
  UserInfo* user = guarded_user(h);
  EXPECT_EQ(user->m_strI2c, "D1");
  EXPECT_EQ(user->m_nUserId, 0);
  EXPECT_EQ(user->m_bLogin, 1);
  auto conn = channel(h, 1).http();
  ASSERT_TRUE(conn);
  EXPECT_EQ(conn->m_strWanIP, "127.0.0.1");
  EXPECT_EQ(conn->m_nDriftRange, 0);  // one probe socket, the same port twice
  char ip[16];
  int drift = -1;
  EXPECT_EQ(GetLoginPublicAddr(h, ip, sizeof ip, drift), 1);
  EXPECT_STREQ(ip, "127.0.0.1");
  EXPECT_EQ(drift, 0);
  EXPECT_EQ(GetLoginPublicAddr(h, ip, 9, drift), 0);  // no room for the zero
  EXPECT_STREQ(ip, "");
  EXPECT_EQ(GetLoginPublicAddr(1, ip, sizeof ip, drift), 0);
  EXPECT_FALSE(channel(h, 0).http());
  EXPECT_EQ(targets().front(), "/query?i2c=D1&tel=139001");
  EXPECT_EQ(sim_->responder(0).answered_count(), 1u);
  EXPECT_EQ(sim_->responder(1).answered_count(), 1u);
}

TEST_F(SdkSim, SeventeenthLoginFailsAndLogOutFreesItsSlot) {
  for (long i = 0; i < 16; ++i) ASSERT_EQ(login(), i);
  const std::size_t requests = sim_->log().size();
  EXPECT_EQ(login(), -1);
  EXPECT_EQ(sim_->log().size(), requests);  // no slot, no request
  EXPECT_EQ(LogOut(6), 1);
  EXPECT_EQ(login("D2", "139002", ""), 6);
  EXPECT_EQ(guarded_user(6)->m_strI2c, "D2");
}

TEST_F(SdkSim, EachStatusGivesItsCodeOnceAndLeavesTheSlotFree) {
  for (auto [status, code] : {std::pair{400, 20400},
                              {404, 20404},
                              {500, 20500},
                              {501, 20501},
                              {503, 20503},
                              {601, 20601},
                              {302, 30000},
                              {401, 30000}}) {
    sim_->faults().next(Fault::Status(status));
    EXPECT_EQ(login(), -1) << status;
    EXPECT_EQ(_GetLastErrorCode(), code) << status;
    EXPECT_EQ(_GetLastErrorCode(), 0);
    EXPECT_TRUE(guarded_user(0)->m_strI2c.empty());
    EXPECT_FALSE(guarded_channel(0, 1)->http());
  }
  // A device the server does not know, or a phone number that does not match.
  EXPECT_EQ(login("nobody", "1"), -1);
  EXPECT_EQ(_GetLastErrorCode(), 20404);
  EXPECT_EQ(login(kI2c, "000"), -1);
  EXPECT_EQ(_GetLastErrorCode(), 20404);
  EXPECT_EQ(login(), 0);  // the failed attempts left slot 0 free
}

TEST_F(SdkSim, ConnectAndSendFailuresHaveTheirCodes) {
  platform::Socket closed(platform::tcp_socket());
  ASSERT_TRUE(platform::bind_socket(closed.get(), {0x7F000001u, 0}));
  const int dead_port = platform::local_address(closed.get())->port;
  closed.reset();
  EXPECT_EQ(Login("127.0.0.1", dead_port, kI2c, kTel, kPasswd, "", 2), -1);
  EXPECT_EQ(_GetLastErrorCode(), 20002);

  sim_->faults().next(Fault::Drop());
  EXPECT_EQ(login(), -1);
  EXPECT_EQ(_GetLastErrorCode(), 20003);

  // Two threads fail at once; each reads only after both failed, and gets its own code.
  std::promise<void> failed[2];
  std::shared_future<void> both[2] = {failed[0].get_future().share(),
                                      failed[1].get_future().share()};
  int codes[2] = {-1, -1};
  auto fail = [&](int self, auto&& attempt) {
    EXPECT_EQ(attempt(), -1) << self;
    failed[self].set_value();
    EXPECT_EQ(both[1 - self].wait_for(std::chrono::seconds(10)), std::future_status::ready);
    codes[self] = _GetLastErrorCode();
  };
  std::thread unknown(fail, 0, [&] { return login("nobody", "1"); });
  std::thread refused(fail, 1,
                      [&] { return Login("127.0.0.1", dead_port, kI2c, kTel, kPasswd, "", 2); });
  unknown.join();
  refused.join();
  EXPECT_EQ(codes[0], 20404);
  EXPECT_EQ(codes[1], 20002);
  EXPECT_EQ(_GetLastErrorCode(), 0);  // each code was read once
}

TEST_F(SdkSim, WideLoginConvertsItsText) {
  EXPECT_EQ(Login(L"127.0.0.1", port(), L"D1", L"139001", L"pw1", nullptr, 2), 0);
  EXPECT_EQ(guarded_user(0)->m_strPasswd, "pw1");
}

TEST_F(SdkSim, UnsafeValuesFailBeforeAnythingIsSent) {
  for (const char* i2c : {"D1\r\nX-Injected: 1", "D 1", "D1\n"}) {
    EXPECT_EQ(login(i2c), -1);
    EXPECT_TRUE(guarded_user(0)->m_strI2c.empty());
  }
  EXPECT_EQ(sim_->http().accepted(), 0u);
  EXPECT_EQ(sim_->log().size(), 0u);
}

// Drift: the first and second server's view of one probe socket.
class SdkDrift : public SdkSim {
 protected:
  int drift_after_auth(int initial) {
    CMorvic conn;
    conn.m_nDriftRange = initial;
    AuthTarget t{"127.0.0.1", port(), kI2c, kTel, 2};
    EXPECT_TRUE(authenticate(conn, t, false));
    return conn.m_nDriftRange;
  }
};

TEST_F(SdkDrift, SecondPortLowerGives65540) {
  sim_->responder(1).set_port_offset(-10);
  EXPECT_EQ(drift_after_auth(7), 65540);
  // What a login measured, as its export reports it.
  const long h = login();
  char ip[16];
  int drift = 0;
  ASSERT_EQ(GetLoginPublicAddr(h, ip, sizeof ip, drift), 1);
  EXPECT_EQ(drift, 65540);
}

TEST_F(SdkDrift, SecondPortEqualOrHigherGivesZero) {
  EXPECT_EQ(drift_after_auth(7), 0);
  sim_->responder(1).set_port_offset(10);
  EXPECT_EQ(drift_after_auth(7), 0);
}

TEST_F(SdkDrift, SilentServerGives10000) {
  sim_->responder(1).set_silent(true);
  EXPECT_EQ(drift_after_auth(7), 10000);
  sim_->responder(1).set_silent(false);
  sim_->responder(0).set_silent(true);
  EXPECT_EQ(drift_after_auth(7), 10000);
  // The walk ended at the first server: the second was never asked.
  EXPECT_EQ(sim_->responder(1).answered_count(), 0u);
}

TEST_F(SdkDrift, OneAnsweringServerLeavesTheValue) {
  start_sim("p2p-server self\ndevice D1 139001 pw1\nchannel 0 client-monitor-direct\n");
  EXPECT_EQ(drift_after_auth(7), 7);
  sim_->responder(0).set_silent(true);
  EXPECT_EQ(drift_after_auth(7), 10000);
}

// Every stop ends a connect thread at once wherever it waits: on a stalled
// authentication or negotiation, or in the drift measurement against a P2P
// server that never answers (production waits: 6 tries of 2 s).
TEST_F(SdkSim, EveryStopEndsAConnectThreadAtOnce) {
  platform::Socket silent(platform::udp_socket());
  ASSERT_TRUE(platform::bind_socket(silent.get(), {0x7F000001u, 0}));
  const int silent_port = platform::local_address(silent.get())->port;
  const auto probed = [&] {
    // The probe's query has arrived: the connect thread waits for the answer.
    if (platform::wait_readable(silent.get(), 5000) != 1) return false;
    char drain[16];
    while (platform::wait_readable(silent.get(), 0) == 1)
      platform::recv_from(silent.get(), drain, sizeof drain, nullptr);
    return true;
  };
  const auto requested = [&](const char* path, std::size_t count) {
    for (int i = 0; i < 500 && targets_for(path).size() < count; ++i) platform::sleep_ms(10);
    return targets_for(path).size() >= count;
  };
  struct State {
    const char* name;
    bool silent_p2p;
    const char* stalled_path;
  };
  const State states[] = {
      {"authenticating", false, "/query"},
      {"port drift", true, nullptr},
      {"negotiating", false, "/realtime"},
  };
  platform::ScopedHeadlessWindow w;
  long h = -1;
  struct Stop {
    const char* name;
    std::function<void()> call;
  };
  const Stop stops[] = {
      {"StopRealPlay", [&] { StopRealPlay(h, 0); }},
      {"RealPlay again", [&] { EXPECT_GE(RealPlay(h, 0, w.hwnd()), 0); }},
      {"LogOut", [&] { LogOut(h); }},
      {"ReleaseMonitClientSDK", [&] { ReleaseMonitClientSDK(); }},
  };
  for (const auto& state : states) {
    for (const auto& stop : stops) {
      ReleaseMonitClientSDK();
      start_sim(std::string(state.silent_p2p
                                ? "p2p-server 127.0.0.1 " + std::to_string(silent_port) + "\n"
                                : "") +
                "device D1 139001 pw1\nchannel 0 client-monitor-direct\n");
      tuning().addr_query_wait_ms = 150;
      tuning().addr_query_tries = 2;
      ASSERT_EQ(InitMonitClientSDK(), 1);
      h = login();
      ASSERT_GE(h, 0) << state.name;
      if (state.silent_p2p) {
        ASSERT_TRUE(probed());
      }
      channel(h, 0).m_nHttpTimeout = 20;
      tuning() = ControlTuning{};
      if (state.stalled_path) sim_->faults().for_path(state.stalled_path, Fault::Stall());
      ASSERT_GE(RealPlay(h, 0, w.hwnd()), 0) << state.name;
      if (state.silent_p2p) {
        ASSERT_TRUE(probed()) << state.name;
      } else {
        ASSERT_TRUE(
            requested(state.stalled_path, std::string(state.stalled_path) == "/query" ? 2 : 1))
            << state.name;
      }
      const auto start = std::chrono::steady_clock::now();
      stop.call();
      const auto took = std::chrono::steady_clock::now() - start;
      EXPECT_LT(took, std::chrono::milliseconds(1500)) << stop.name << " while " << state.name;
      std::cout << "[ timing   ] " << stop.name << " while " << state.name << ": "
                << std::chrono::duration_cast<std::chrono::milliseconds>(took).count() << " ms\n";
      sim_->faults().clear();
    }
  }
  ReleaseMonitClientSDK();
  ASSERT_EQ(InitMonitClientSDK(), 1);
}

// A Login waiting on a stalled server returns at once when the library is
// released, before its slot goes; logins after a new start work again.
TEST_F(SdkSim, ReleaseEndsALoginInFlight) {
  sim_->faults().for_path("/query", Fault::Stall());
  auto pending = std::async(std::launch::async, [&] {
    return Login(server().c_str(), port(), L"D1", L"139001", L"pw1", nullptr, 20);
  });
  for (int i = 0; i < 500 && targets_for("/query").empty(); ++i) platform::sleep_ms(10);
  ASSERT_FALSE(targets_for("/query").empty());
  const auto start = std::chrono::steady_clock::now();
  ReleaseMonitClientSDK();
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(1500));
  ASSERT_EQ(pending.wait_for(std::chrono::seconds(2)), std::future_status::ready);
  EXPECT_EQ(pending.get(), -1);
  sim_->faults().clear();
  ASSERT_EQ(InitMonitClientSDK(), 1);
  EXPECT_EQ(login(), 0);
}

TEST_F(SdkSim, PublicAddressQueryAnswersFromTheServerOnly) {
  platform::Socket s(platform::udp_socket());
  ASSERT_TRUE(platform::bind_socket(s.get(), {0x7F000001u, 0}));
  const int own_port = platform::local_address(s.get())->port;
  sockaddr_in addr;
  std::memset(&addr, 0xAB, sizeof addr);
  ASSERT_EQ(GetPublicAddrBySock(s.get(), L"127.0.0.1", sim_->udp_ports()[0], addr), 1);
  EXPECT_EQ(addr.sin_family, 0);
  EXPECT_EQ(ntohs(addr.sin_port), own_port);
  EXPECT_EQ(ntohl(addr.sin_addr.s_addr), 0x7F000001u);

  // An answer from another address ends the query at once, without retries.
  platform::Socket other(platform::udp_socket());
  ASSERT_TRUE(platform::bind_socket(other.get(), {0x7F000002u, 0}));
  const int other_port = platform::local_address(other.get())->port;
  const char junk[12] = {0, 0, 1, 2, 127, 0, 0, 1, 0, 80, 0, 0};
  ASSERT_EQ(
      platform::send_to(other.get(), junk, 12, {0x7F000001u, static_cast<std::uint16_t>(own_port)}),
      12);
  ASSERT_EQ(platform::wait_readable(s.get(), 1000), 1);
  tuning().addr_query_wait_ms = 5000;
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(GetPublicAddrBySock(s.get(), L"127.0.0.3", other_port, addr), 0);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
  EXPECT_EQ(addr.sin_port, 0);
  EXPECT_EQ(GetPublicAddrBySock(s.get(), nullptr, 1, addr), 0);
  EXPECT_EQ(GetPublicAddrBySock(INVALID_SOCKET, L"127.0.0.1", 1, addr), 0);
}

TEST_F(SdkSim, UserAnthenticateChecksItsIdLength) {
  char id[] = "D1";
  EXPECT_EQ(UserAnthenticate(nullptr, 2, L"139001", server().c_str(), port(), 2), 0);
  EXPECT_EQ(UserAnthenticate(id, 0, L"139001", server().c_str(), port(), 2), 0);
  EXPECT_EQ(UserAnthenticate(id, 1, L"139001", server().c_str(), port(), 2), 0);
  EXPECT_EQ(sim_->log().size(), 0u);
  EXPECT_EQ(UserAnthenticate(id, 2, L"139001", server().c_str(), port(), 2), 1);
  sim_->faults().next(Fault::Status(404));
  EXPECT_EQ(UserAnthenticate(id, 2, L"139001", server().c_str(), port(), 2), 0);
  EXPECT_EQ(_GetLastErrorCode(), 0);  // sets no code
}

// Outside the library's life every export fails as its guard demands, even
// against a server that would answer: no authentication socket is made, so the
// device-form commands have nothing to run on.
TEST_F(SdkSim, ExportsFailTheirGuardBeforeStartAndAfterRelease) {
  char id[] = "D1";
  const std::wstring srv = server();
  const int p = port();
  char buf[64] = {};
  char data[4] = {'a', 'b', 'c', 'd'};
  int a = 0, m = 0, r = 0;
  NegotiatedTarget target;
  sockaddr_in addr{};
  platform::Socket udp(platform::udp_socket());
  const unsigned int u = static_cast<unsigned int>(udp.get());
  struct Case {
    const char* name;
    std::function<bool()> failed;
  };
  const std::vector<Case> cases = {
      {"UserAnthenticate",
       [&] { return UserAnthenticate(id, 2, L"139001", srv.c_str(), p, 2) == 0; }},
      {"ConnectAnalyze",
       [&] {
         return *ConnectAnalyze(id, L"139001", srv.c_str(), p, 5000, 3, 300, 1, 0, 1, 10, 1) == 0;
       }},
      {"GetAlarmCfg", [&] { return GetAlarmCfg(id, L"139001", srv.c_str(), p, a, m, r) == 0; }},
      {"AlarmOpen(device)",
       [&] { return AlarmOpen(id, L"139001", srv.c_str(), p, 1, 1, 1, 0) == 0; }},
      {"GetP2pSocket",
       [&] { return GetP2pSocket(id, L"139001", srv.c_str(), p, 1, 10) == INVALID_SOCKET; }},
      {"CancleHttpRequst()",
       [&] {
         CancleHttpRequst();
         return true;
       }},
      {"Login", [&] { return Login("127.0.0.1", p, "D1", "139001", "pw1", "", 2) == -1; }},
      {"LogOut", [&] { return LogOut(0) == 0; }},
      {"GetLoginPublicAddr", [&] { return GetLoginPublicAddr(0, buf, 20, a) == 0; }},
      {"_GetLastErrorCode", [&] { return _GetLastErrorCode() == 0; }},
      {"SetMsgWnd", [&] { return SetMsgWnd(0, 0, nullptr) == 0; }},
      {"CancleHttpRequst(h,c)", [&] { return CancleHttpRequst(0, 0) == 0; }},
      {"AlarmOpen(handle)", [&] { return AlarmOpen(0, 1, 1, 1, 1, 0) == 0; }},
      {"GetGPSData", [&] { return GetGPSData(0, 1).empty(); }},
      {"GetRS485Cfg", [&] { return GetRS485Cfg(0, 1, buf, 12) == 0; }},
      {"SetRS485Cfg", [&] { return SetRS485Cfg(0, 1, buf, 12) == 0; }},
      {"GetTDNetCfg", [&] { return GetTDNetCfg(0, 1, buf, 64) == 0; }},
      {"SetTDNetCfg", [&] { return SetTDNetCfg(0, 1, buf, 0, 0) == 0; }},
      {"GetSecurityCfg", [&] { return GetSecurityCfg(0, 1, buf, 8, buf, 8, buf, 8) == 0; }},
      {"SetSecurityCfg", [&] { return SetSecurityCfg(0, 1, 0, 0, 0, buf, buf, 0, 0, buf) == 0; }},
      {"SetCompressionInf", [&] { return SetCompressionInf(0, 0, 0, 0, 0, 0) == 0; }},
      {"SendAudioDataVoiceExchange",
       [&] { return SendAudioDataVoiceExchange(0, data, 4, 1) == 0; }},
      {"RealPlay", [&] { return RealPlay(0, 0, nullptr) == -1; }},
      {"StopRealPlay", [&] { return StopRealPlay(0, 0) == 0; }},
      {"StartLocalRecord", [&] { return StartLocalRecord(0, 0, L"x") == 0; }},
      {"StopLoacalRecord", [&] { return StopLoacalRecord(0, 0) == 0; }},
      {"CapturePicture", [&] { return CapturePicture(0, L"x.bmp") == 0; }},
      {"_GetBitRate", [&] { return _GetBitRate(0, 0) == 0; }},
      {"GetStreamCounters",
       [&] {
         unsigned long long f = 7, b = 7;
         return GetStreamCounters(0, 0, &f, &b) == 0 && f == 0 && b == 0;
       }},
      {"PtzControl", [&] { return PtzControl(0, 0, 1, 0, 0, 0, 0) == 0; }},
      {"NegotiateChannel", [&] { return NegotiateChannel(0, 0, 2, target) == 0; }},
      {"GetConnectType", [&] { return GetConnectType(0, 0, buf, 20) == 0; }},
      {"UdpMakeHole",
       [&] {
         return UdpMakeHole("127.0.0.1", sim_->udp_ports()[0], 1, "r", 1, 10, 0) == INVALID_SOCKET;
       }},
      {"GetPublicAddrBySock",
       [&] { return GetPublicAddrBySock(u, srv.c_str(), sim_->udp_ports()[0], addr) == 0; }},
      {"ReleaseP2pSocket", [&] { return ReleaseP2pSocket(u) == 0; }},
      {"GetRemoteIP", [&] { return GetRemoteIP(u, buf, 20) == 0; }},
      {"GetRemotePort", [&] { return GetRemotePort(u) == 0; }},
      {"GetRandomValue", [&] { return GetRandomValue(u, buf, 20) == 0; }},
      {"GetSessionId", [&] { return GetSessionId(u) == 0xFFFFFFFFul; }},
      {"GetP2pSvrIP", [&] { return GetP2pSvrIP(u, buf, 20) == nullptr; }},
      {"GetP2pSvrPort", [&] { return GetP2pSvrPort(u) == 0; }},
      {"SendHeartBeat_RTP", [&] { return SendHeartBeat_RTP(u, L"127.0.0.1", p, 1) == 0; }},
      {"SendHeartBeatBack_RTP", [&] { return SendHeartBeatBack_RTP(u, L"127.0.0.1", p, 1) == 0; }},
      {"SendHeartBeat_RTCP", [&] { return SendHeartBeat_RTCP(u, L"127.0.0.1", p, 1) == 0; }},
      {"IsHeartBeat_RTP", [&] { return IsHeartBeat_RTP(u, buf, 8, 0) == 0; }},
      {"IsHeartBeatBack_RTP", [&] { return IsHeartBeatBack_RTP(u, buf, 8, 0) == 0; }},
      {"IsHeartBeatBack_RTCP", [&] { return IsHeartBeatBack_RTCP(u, buf, 8, 0) == 0; }},
  };
  // Heart-beat frames that would be recognised while started.
  const char beat[8] = {0, 0, 1, 5, 0, 0, 0, 0};
  std::memcpy(buf, beat, sizeof beat);
  ReleaseMonitClientSDK();
  for (const char* when : {"before start", "after release"}) {
    for (const auto& c : cases) EXPECT_TRUE(c.failed()) << c.name << " " << when;
    EXPECT_FALSE(auth_socket()) << when;
    ASSERT_EQ(InitMonitClientSDK(), 1);
    ASSERT_EQ(UserAnthenticate(id, 2, L"139001", srv.c_str(), p, 2), 1);  // the server answers
    ReleaseMonitClientSDK();
  }
  ASSERT_EQ(InitMonitClientSDK(), 1);  // as the fixture left it
}

TEST_F(SdkSim, ConnectAnalyzeReturnsTheBodyAndEmptiesOnFailure) {
  char id[] = "D1";
  EXPECT_STREQ(
      ConnectAnalyze(id, L"139001", server().c_str(), port(), 5000, 3, 300, 1, 0, 1, 15, 2),
      "");  // no authentication socket connected yet
  ASSERT_EQ(UserAnthenticate(id, 2, L"139001", server().c_str(), port(), 2), 1);
  std::string body =
      ConnectAnalyze(id, L"139001", server().c_str(), port(), 5000, 4, 200, 0, 1, 1, -1, 2);
  EXPECT_NE(body.find("<ConnectType>client-monitor-direct</ConnectType>"), std::string::npos);
  EXPECT_EQ(last_target("/connect"),
            "/connect?i2c=D1&tel=139001&wan-ip=127.0.0.1&lan-ip=127.0.0.1&listen-port=5000"
            "&p2p-port-drift-range=0&p2p-overtime=200&p2p-repeat=4&p2p-open=false"
            "&img-resolution=cif&img-type=2&frame-rate=10&transmit=true");
  sim_->faults().next(Fault::ShortBody(10));
  EXPECT_STREQ(
      ConnectAnalyze(id, L"139001", server().c_str(), port(), 5000, 3, 300, 1, 0, 0, 10, 1), "");
  EXPECT_STREQ(ConnectAnalyze(nullptr, L"1", server().c_str(), port(), 1, 0, 0, 1, 0, 0, 0, 0), "");
  EXPECT_STREQ(ConnectAnalyze(id, L"1", server().c_str(), port(), -1, 0, 0, 1, 0, 0, 0, 0), "");
}

TEST_F(SdkSim, CancelEndsAStalledAuthenticationWithinASecond) {
  sim_->faults().for_path("/query", Fault::Stall());
  char id[] = "D1";
  auto done = std::async(std::launch::async, [&] {
    return UserAnthenticate(id, 2, L"139001", server().c_str(), port(), 20);
  });
  ASSERT_TRUE(sim_->log().wait_for(0, 5000));
  const auto start = std::chrono::steady_clock::now();
  CancleHttpRequst();
  ASSERT_EQ(done.wait_for(std::chrono::seconds(1)), std::future_status::ready);
  EXPECT_EQ(done.get(), 0);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));
}

TEST_F(SdkSim, CancelEndsAStalledChannelRequestWithinASecond) {
  const long h = login();
  ASSERT_EQ(h, 0);
  ChannelInfo& ch = channel(h, 1);
  ch.m_nHttpTimeout = 20;
  sim_->faults().for_path("/gpsdata-get", Fault::Stall());
  auto done = std::async(std::launch::async, [&] { return GetGPSData(h, 1); });
  ASSERT_TRUE(sim_->log().wait_until(
      [](const orvsim::LoggedRequest& r) { return r.request.path == "/gpsdata-get"; }, 5000));
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(CancleHttpRequst(h, 1), 1);
  ASSERT_EQ(done.wait_for(std::chrono::seconds(1)), std::future_status::ready);
  EXPECT_EQ(done.get(), "");
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));
  EXPECT_FALSE(ch.http());
}

}  // namespace
}  // namespace velmo::test
