#include <atomic>
#include <chrono>

#include "control/connect.h"
#include "morvic/morvic.h"
#include "platform/headless_window.h"
#include "sim_fixture.h"
#include "velmosdk_live.h"

namespace velmo::test {
namespace {

using orvsim::Fault;

class SdkNegotiation : public SdkSim {
 protected:
  void SetUp() override {
    SdkSim::SetUp();
    handle_ = login();
    ASSERT_EQ(handle_, 0);
  }
  ChannelInfo& prepared(int c) {
    ChannelInfo& ch = channel(handle_, c);
    ch.m_hPlayWnd = play_.hwnd();
    ch.m_nReconnectDelay = 100;
    return ch;
  }
  std::vector<std::wstring> texts() { return play_->texts(); }
  bool wait_text_count(std::size_t n, int timeout_ms) {
    return play_->wait_until([n](const auto& s) { return s.texts.size() >= n; }, timeout_ms);
  }

  long handle_ = -1;
  platform::ScopedHeadlessWindow play_;
};

TEST_F(SdkNegotiation, ExactQueryForNonDefaultSettingsWithoutP2p) {
  ChannelInfo& ch = prepared(2);
  ASSERT_EQ(SetCompressionInf(handle_, 2, 1, 15, 256, 2), 1);
  ch.m_bP2pOpen = 0;
  ch.m_nP2pRepeat = 5;
  ch.m_nP2pOvertime = 0;
  ASSERT_TRUE(connect_sequence(ch));
  const std::string expected =
      "/realtime?i2c=D1&tel=139001&wan-ip=127.0.0.1&lan-ip=127.0.0.1"
      "&listen-port=" +
      std::to_string(ch.m_nListenPort) +
      "&p2p-port-drift-range=0&channel=2&p2p-repeat=5&p2p-open=false"
      "&img-resolution=cif&img-type=2&frame-rate=15&bits-rate=256"
      "&passwd=pw1&transmit=true";
  EXPECT_EQ(last_target("/realtime"), expected);
  // Without P2P the server sent its relay instead.
  EXPECT_EQ(ch.m_strConnectType, "client-monitor-middle-transfer");
}

TEST_F(SdkNegotiation, ClientMonitorDirectTarget) {
  platform::ScopedHeadlessWindow msg;
  ChannelInfo& ch = prepared(0);
  ASSERT_EQ(SetMsgWnd(handle_, 0, msg.hwnd()), 1);
  ASSERT_TRUE(connect_sequence(ch));
  const auto all = handed();
  ASSERT_EQ(all.size(), 1u);
  const ConnectTarget& t = all[0].target;
  EXPECT_EQ(all[0].channel, &ch);
  EXPECT_EQ(t.connect_type, "client-monitor-direct");
  EXPECT_NE(t.sock, INVALID_SOCKET);
  EXPECT_EQ(t.sock, ch.m_sock);
  EXPECT_EQ(t.peer_ip, "127.0.0.1");
  EXPECT_EQ(t.peer_port, 7000);
  EXPECT_EQ(t.p2p_server_ip, "");
  EXPECT_EQ(t.p2p_server_port, 0);
  EXPECT_EQ(t.tcp_mode, 1);
  EXPECT_EQ(t.random_value, "r1");
  EXPECT_EQ(t.session_id, 11);
  EXPECT_EQ(t.device_phone, L"139001");
  EXPECT_TRUE(t.has_reconnect_delay);
  EXPECT_EQ(t.reconnect_delay, 100);
  EXPECT_EQ(t.notify_wnd, msg.hwnd());
  EXPECT_EQ(t.listener, nullptr);
  EXPECT_EQ(ch.m_strLanIP, "127.0.0.1");
  EXPECT_EQ(ch.m_strWanIP, "127.0.0.1");
  EXPECT_EQ(ch.m_nPeerPort, 7000);
  EXPECT_EQ(ch.m_pListener->Port(), -1);  // stopped
  EXPECT_EQ(ch.m_strConnectType, "client-monitor-direct");
  platform::close_socket(ch.m_sock);  // the session would own it
}

TEST_F(SdkNegotiation, MonitorClientDirectKeepsTheListener) {
  ChannelInfo& ch = prepared(1);
  ch.m_nReconnectDelay = -1;
  ASSERT_TRUE(connect_sequence(ch));
  const auto all = handed();
  ASSERT_EQ(all.size(), 1u);
  const ConnectTarget& t = all[0].target;
  EXPECT_EQ(t.connect_type, "monitor-client-direct");
  EXPECT_EQ(t.sock, INVALID_SOCKET);  // the channel's current m_sock
  EXPECT_EQ(t.peer_ip, "127.0.0.3");
  EXPECT_EQ(t.peer_port, 7001);
  EXPECT_EQ(t.listener, ch.m_pListener.get());
  EXPECT_GT(ch.m_pListener->Port(), 0);
  EXPECT_EQ(ch.m_pListener->Port(), ch.m_nListenPort);
  EXPECT_EQ(t.notify_wnd, play_.hwnd());
  EXPECT_FALSE(t.has_reconnect_delay);
  EXPECT_EQ(t.tcp_mode, 1);
}

TEST_F(SdkNegotiation, P2pTarget) {
  ChannelInfo& ch = prepared(2);
  ch.m_strWanIP = "203.0.113.5";
  ASSERT_TRUE(connect_sequence(ch));
  const auto all = handed();
  ASSERT_EQ(all.size(), 1u);
  const ConnectTarget& t = all[0].target;
  EXPECT_EQ(t.connect_type, "client-monitor-p2p");
  EXPECT_EQ(t.sock, 0u);
  EXPECT_EQ(t.peer_ip, "203.0.113.5");
  EXPECT_EQ(t.peer_port, 0);
  EXPECT_EQ(t.p2p_server_ip, "127.0.0.1");
  EXPECT_EQ(t.p2p_server_port, sim_->udp_ports()[0]);
  EXPECT_EQ(t.p2p_repeat, 3);
  EXPECT_EQ(t.p2p_overtime, 300);
  EXPECT_EQ(t.p2p_drift_range, 0);
  EXPECT_EQ(t.tcp_mode, 0);
  EXPECT_EQ(t.random_value, "r3");
  EXPECT_EQ(t.session_id, 13);
  EXPECT_EQ(t.notify_wnd, play_.hwnd());
  EXPECT_EQ(ch.m_pListener->Port(), -1);
}

TEST_F(SdkNegotiation, MiddleTransferTarget) {
  ChannelInfo& ch = prepared(3);
  ASSERT_TRUE(connect_sequence(ch));
  const auto all = handed();
  ASSERT_EQ(all.size(), 1u);
  const ConnectTarget& t = all[0].target;
  EXPECT_EQ(t.connect_type, "client-monitor-middle-transfer");
  EXPECT_NE(t.sock, INVALID_SOCKET);
  EXPECT_EQ(t.sock, ch.m_sock);
  EXPECT_EQ(t.peer_ip, "127.0.0.9");
  EXPECT_EQ(t.peer_port, 7300);
  EXPECT_EQ(ch.m_nPeerPort, 7300);
  EXPECT_EQ(t.session_id, static_cast<int>(4000000000u));  // wraps like the wire's 32 bits
  EXPECT_EQ(t.tcp_mode, 1);
  platform::close_socket(ch.m_sock);
}

TEST_F(SdkNegotiation, ProgressTextsInOrder) {
  ChannelInfo& ch = prepared(0);
  ASSERT_TRUE(start_connect_thread(ch));
  ASSERT_TRUE(wait_handed(1, 5000));
  ch.m_hThread.join();
  EXPECT_EQ(texts(), (std::vector<std::wstring>{L"正在鉴权...", L"鉴权成功 ...!",
                                                L"获取连接类型 ...!", L"正在建立视频连接..."}));
  EXPECT_EQ(ch.m_bP2pOpen.load(), 1);
  platform::close_socket(ch.m_sock);
}

TEST_F(SdkNegotiation, FailedAuthenticationTexts) {
  ChannelInfo& ch = prepared(0);
  sim_->faults().next(Fault::Status(404));
  EXPECT_FALSE(connect_sequence(ch));
  sim_->faults().next(Fault::Status(500));
  EXPECT_FALSE(connect_sequence(ch));
  EXPECT_EQ(_GetLastErrorCode(), 0);  // the sequence consumed the codes
  UserInfo& user = *ch.m_pUser;
  user.m_nPort = 1;  // nothing listens there
  EXPECT_FALSE(connect_sequence(ch));
  EXPECT_EQ(texts(),
            (std::vector<std::wstring>{L"正在鉴权...", L"鉴权失败:无此设备!", L"正在鉴权...",
                                       L"鉴权失败!", L"正在鉴权...", L"鉴权失败:连接超时!"}));
}

TEST_F(SdkNegotiation, NegotiationFailureTexts) {
  ChannelInfo& ch = prepared(0);
  sim_->faults().for_path("/realtime", Fault::Status(500), 1);
  EXPECT_FALSE(connect_sequence(ch));
  sim_->faults().for_path("/realtime", Fault::WrongElement("ConnectType", "carrier-pigeon"), 1);
  EXPECT_FALSE(connect_sequence(ch));
  sim_->faults().for_path("/realtime",
                          Fault::Raw("HTTP/1.1 200 OK\r\nContent-Length: 5\r\n\r\nhello"), 1);
  EXPECT_FALSE(connect_sequence(ch));  // not XML: fails without a text
  handoff_result_ = false;
  EXPECT_FALSE(connect_sequence(ch));
  EXPECT_EQ(ch.m_sock, INVALID_SOCKET);  // the refused target's socket was closed
  const std::vector<std::wstring> attempt{L"正在鉴权...", L"鉴权成功 ...!", L"获取连接类型 ...!"};
  std::vector<std::wstring> expected = attempt;
  expected.push_back(L"获取连接类型失败 ...!");
  expected.insert(expected.end(), attempt.begin(), attempt.end());
  expected.push_back(L"正在建立视频连接...");
  expected.push_back(L"建立视频连接失败!!");
  expected.insert(expected.end(), attempt.begin(), attempt.end());
  expected.insert(expected.end(), attempt.begin(), attempt.end());
  expected.push_back(L"正在建立视频连接...");
  expected.push_back(L"建立视频连接失败!!");
  EXPECT_EQ(texts(), expected);
}

TEST_F(SdkNegotiation, PasswordErrorWaitsBeforeTheNextAttempt) {
  guarded_user(handle_)->m_strPasswd = "wrong";
  ChannelInfo& ch = prepared(0);
  ch.m_nReconnectDelay = 200;
  ASSERT_TRUE(start_connect_thread(ch));
  ASSERT_TRUE(wait_text_count(5, 5000));
  // The second attempt starts after the extra wait and the reconnect delay.
  const auto first = sim_->log().wait_until(
      [](const orvsim::LoggedRequest& r) { return r.request.path == "/realtime"; }, 5000);
  const auto second = sim_->log().wait_until(
      [](const orvsim::LoggedRequest& r) { return r.request.path == "/query"; }, 5000, 2);
  stop_connect_thread(ch);
  ASSERT_TRUE(first && second);
  EXPECT_GE(second->tick_ms - first->tick_ms, 400u + 200u);
  const auto t = texts();
  EXPECT_EQ(t[3], L"密码错误!");
  EXPECT_EQ(t[4], L"正在鉴权...");
  EXPECT_TRUE(handed().empty());
}

TEST_F(SdkNegotiation, StopWakesTheReconnectWait) {
  ChannelInfo& ch = prepared(0);
  ch.m_nReconnectDelay = 60000;
  sim_->faults().for_path("/realtime", Fault::Status(503));
  ASSERT_TRUE(start_connect_thread(ch));
  ASSERT_TRUE(wait_text_count(4, 5000));
  const auto start = std::chrono::steady_clock::now();
  stop_connect_thread(ch);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));
  EXPECT_FALSE(ch.m_hThread.running());
}

TEST_F(SdkNegotiation, StopEndsAStalledNegotiation) {
  ChannelInfo& ch = prepared(0);
  ch.m_nHttpTimeout = 20;
  sim_->faults().for_path("/realtime", Fault::Stall());
  ASSERT_TRUE(start_connect_thread(ch));
  ASSERT_TRUE(sim_->log().wait_until(
      [](const orvsim::LoggedRequest& r) { return r.request.path == "/realtime"; }, 5000));
  const auto start = std::chrono::steady_clock::now();
  stop_connect_thread(ch);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));
}

// The diagnostic negotiation: the target each type would hand over, with no
// hand-off, socket, listener or connection type left behind.
TEST_F(SdkNegotiation, NegotiateChannelReportsEachTargetAndStartsNothing) {
  struct Case {
    int channel;
    const char* type;
    const char* peer_ip;
    int peer_port;
    int tcp_mode;
    const char* random;
    int session_id;
    bool device_connects;
  };
  const Case cases[] = {
      {0, "client-monitor-direct", "127.0.0.1", 7000, 1, "r1", 11, false},
      {1, "monitor-client-direct", "127.0.0.3", 7001, 1, "r2", 12, true},
      {2, "client-monitor-p2p", "", 0, 0, "r3", 13, false},
      {3, "client-monitor-middle-transfer", "127.0.0.9", 7300, 1, "r4",
       static_cast<int>(4000000000u), false},
  };
  for (const Case& c : cases) {
    ChannelInfo& ch = prepared(c.channel);
    NegotiatedTarget t;
    ASSERT_EQ(NegotiateChannel(handle_, c.channel, 2, t), 1) << c.type;
    EXPECT_EQ(t.connectType, c.type);
    EXPECT_EQ(t.peerIp, c.peer_ip) << c.type;
    EXPECT_EQ(t.peerPort, c.peer_port) << c.type;
    EXPECT_EQ(t.tcpMode, c.tcp_mode) << c.type;
    EXPECT_EQ(t.randomValue, c.random) << c.type;
    EXPECT_EQ(t.sessionId, c.session_id) << c.type;
    EXPECT_EQ(t.deviceConnects, c.device_connects) << c.type;
    EXPECT_EQ(t.p2pServerIp, c.tcp_mode ? "" : "127.0.0.1") << c.type;
    EXPECT_EQ(t.p2pServerPort, c.tcp_mode ? 0 : sim_->udp_ports()[0]) << c.type;
    EXPECT_EQ(t.p2pRepeat, c.tcp_mode ? 0 : 3) << c.type;
    EXPECT_EQ(t.p2pOvertime, c.tcp_mode ? 0 : 300) << c.type;
    EXPECT_GT(t.listenPort, 0) << c.type;
    EXPECT_NE(last_target("/realtime").find("&listen-port=" + std::to_string(t.listenPort) + "&"),
              std::string::npos)
        << c.type;
    EXPECT_EQ(ch.m_pListener->Port(), -1) << c.type;
    EXPECT_EQ(ch.m_sock, INVALID_SOCKET) << c.type;
    EXPECT_TRUE(ch.m_strConnectType.empty()) << c.type;
  }
  EXPECT_TRUE(handed().empty());
  EXPECT_TRUE(texts().empty());
}

TEST_F(SdkNegotiation, NegotiateChannelFailures) {
  NegotiatedTarget t;
  EXPECT_EQ(NegotiateChannel(handle_, 6, 2, t), 0);
  EXPECT_EQ(NegotiateChannel(handle_, 0, 0, t), 0);
  sim_->faults().next(Fault::Status(404));
  EXPECT_EQ(NegotiateChannel(handle_, 0, 2, t), 0);
  EXPECT_EQ(_GetLastErrorCode(), 20404);  // left for the caller
  sim_->faults().for_path("/realtime", Fault::WrongElement("ConnectType", "carrier-pigeon"), 1);
  EXPECT_EQ(NegotiateChannel(handle_, 0, 2, t), 0);
  EXPECT_TRUE(t.connectType.empty());
  guarded_user(handle_)->m_strPasswd = "wrong";
  EXPECT_EQ(NegotiateChannel(handle_, 0, 2, t), -1);
  // A channel with a connect thread is not probed behind its back.
  guarded_user(handle_)->m_strPasswd = kPasswd;
  ChannelInfo& ch = prepared(1);
  sim_->faults().for_path("/realtime", Fault::Stall());
  ASSERT_TRUE(start_connect_thread(ch));
  EXPECT_EQ(NegotiateChannel(handle_, 1, 2, t), 0);
  stop_connect_thread(ch);
  EXPECT_TRUE(handed().empty());
}

TEST_F(SdkNegotiation, ReleaseStopsConnectThreadsAndDeletesSessions) {
  struct Session : LiveSession {
    std::atomic<bool>* gone = nullptr;
    ~Session() override { *gone = true; }
  };
  std::atomic<bool> gone{false};
  set_session_handoff([&gone](ChannelInfo& ch, const ConnectTarget& t) {
    platform::close_socket(t.sock);
    ch.m_sock = INVALID_SOCKET;
    auto session = std::make_unique<Session>();
    session->gone = &gone;
    ch.m_pRtspManager = std::move(session);
    return true;
  });
  ASSERT_TRUE(connect_sequence(prepared(0)));
  ChannelInfo& stalled = prepared(1);
  stalled.m_nHttpTimeout = 20;
  sim_->faults().for_path("/realtime", Fault::Stall());
  const std::size_t from = sim_->log().size();
  ASSERT_TRUE(start_connect_thread(stalled));
  ASSERT_TRUE(sim_->log().wait_until(
      [](const orvsim::LoggedRequest& r) { return r.request.path == "/realtime"; }, 5000, from));
  const auto start = std::chrono::steady_clock::now();
  ReleaseMonitClientSDK();
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));
  EXPECT_TRUE(gone);
  EXPECT_EQ(SetMsgWnd(0, 0, nullptr), 0);
}

}  // namespace
}  // namespace velmo::test
