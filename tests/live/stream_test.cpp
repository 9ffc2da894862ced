// The stream receiver on its own, against a loopback peer: bit-rate windows,
// the data time-out and the end of the session it causes, and punching.
#include <gtest/gtest.h>

#include <atomic>

#include "media/stream_manager.h"
#include "platform/clock.h"
#include "platform/headless_window.h"
#include "platform/net.h"
#include "teststream/teststream.h"
#include "velmosdk.h"
#include "vidrane/vidrane.h"

namespace velmo {
namespace {

constexpr std::uint32_t kLoopback = 0x7F000001;

struct TcpPair {
  TcpPair() {
    platform::Socket l(platform::tcp_socket());
    platform::bind_socket(l.get(), {kLoopback, 0});
    platform::listen_socket(l.get(), 1);
    const auto port = platform::local_address(l.get())->port;
    device.reset(platform::tcp_socket());
    EXPECT_TRUE(platform::connect_with_timeout(device.get(), {kLoopback, port}, 2000));
    client = platform::accept_socket(l.get());
  }
  platform::Socket device;
  SOCKET client = INVALID_SOCKET;  // handed to the receiver
};

const std::vector<teststream::Frame>& frames() {
  static const auto f = teststream::make_frames({.width = 176, .height = 144, .gop = 10}, 30);
  return f;
}

bool send_frame(SOCKET s, const teststream::Frame& f) {
  return platform::send_all(
      s, std::string_view(reinterpret_cast<const char*>(f.bytes.data()), f.bytes.size()), 1000);
}

class LiveStream : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(Play264_OpenStream(kPort, nullptr, 0, 0x10000));
    ASSERT_TRUE(Play264_Play(kPort, window_.hwnd()));
  }
  void TearDown() override {
    Play264_Stop(kPort);
    Play264_CloseStream(kPort);
  }
  std::unique_ptr<CRtpStreamManager> tcp_receiver(SOCKET s, int timeout_ms) {
    auto m = std::make_unique<CRtpStreamManager>(nullptr);
    m->m_nMode = 1;
    m->m_strConnectType = "monitor-client-direct";  // already connected
    m->SetStreamSocket(s);
    m->m_hWnd = window_.hwnd();
    m->m_nPlayPort = kPort;
    m->m_nTimeOut = timeout_ms;
    return m;
  }
  static constexpr int kPort = 26;
  platform::ScopedHeadlessWindow window_{176, 144};
};

// Time the test steps: each frame is taken at a known moment.
class SteppedClock final : public velmo::media::Clock {
 public:
  std::uint64_t now_ms() const override { return now_.load(); }
  void advance(std::uint64_t ms) { now_ += ms; }

 private:
  std::atomic<std::uint64_t> now_{1000000};
};

TEST_F(LiveStream, BitRateKeepsItsValueWhileNothingArrives) {
  TcpPair pair;
  SteppedClock clock;
  auto m = tcp_receiver(pair.client, 15000);
  m->m_pClock = &clock;
  m->ResumeThread();
  ASSERT_TRUE(window_->wait_until(
      [](const auto& s) {
        for (const auto& msg : s.messages)
          if (msg.wparam == NOTIFY_STREAM_START) return true;
        return false;
      },
      2000));
  // A frame every 40 ms: the window closes with the first frame past 1000 ms
  // (the 27th, at 1040 ms) and counts every byte up to it.
  std::uint64_t bytes = 0;
  for (std::size_t i = 0; i < 27; ++i) {
    ASSERT_TRUE(send_frame(pair.device.get(), frames()[i % 30]));
    bytes += frames()[i % 30].bytes.size();
    for (int k = 0; k < 400 && m->FramesPushed() < i + 1; ++k) platform::sleep_ms(5);
    ASSERT_EQ(m->FramesPushed(), i + 1);
    if (i < 26) clock.advance(40);
  }
  const int rate = m->m_nBitRate.load();
  EXPECT_EQ(rate, static_cast<int>(bytes * 8 / 1040));
  clock.advance(1300);  // silence: the last value stays
  platform::sleep_ms(20);
  EXPECT_EQ(m->m_nBitRate.load(), rate);
  // The first frame after it closes a window that spans the silence.
  ASSERT_TRUE(send_frame(pair.device.get(), frames()[27]));
  for (int k = 0; k < 400 && m->FramesPushed() < 28; ++k) platform::sleep_ms(5);
  EXPECT_EQ(m->m_nBitRate.load(), static_cast<int>(frames()[27].bytes.size() * 8 / 1300));
  EXPECT_TRUE(m->HasDecoder());
  EXPECT_FALSE(m->Ended());
}

TEST_F(LiveStream, SilenceEndsTheReceiverAndWakesTheSession) {
  TcpPair stream;
  TcpPair control;
  auto m = tcp_receiver(stream.client, 300);
  m->m_sockCtrl = control.client;
  m->ResumeThread();
  ASSERT_TRUE(send_frame(stream.device.get(), frames()[0]));
  for (int i = 0; i < 300 && !m->Ended(); ++i) platform::sleep_ms(10);
  EXPECT_TRUE(m->Ended());
  EXPECT_FALSE(m->HasDecoder());
  // The session's control connection was shut, not closed: its loop wakes.
  EXPECT_EQ(platform::wait_readable(control.client, 0), 1);
  char b;
  EXPECT_EQ(platform::recv_some(control.client, &b, 1), 0);
  platform::close_socket(control.client);
}

TEST_F(LiveStream, StopEndsAReceiveWaitAtOnce) {
  TcpPair pair;
  auto m = tcp_receiver(pair.client, 15000);
  m->ResumeThread();
  platform::sleep_ms(100);
  const auto t0 = platform::tick_ms64();
  m.reset();
  EXPECT_LT(platform::tick_ms64() - t0, 300u);
}

// A device's stream socket on loopback and a receiver punching towards it.
struct UdpPair {
  UdpPair() {
    platform::bind_socket(device.get(), {kLoopback, 0});
    const SOCKET s = platform::udp_socket();
    platform::bind_socket(s, {kLoopback, 0});
    receiver = std::make_unique<CRtpStreamManager>(nullptr);
    receiver->m_nMode = 0;
    receiver->SetStreamSocket(s);
    receiver->SetAddress("127.0.0.1", 0, "127.0.0.1", platform::local_address(device.get())->port);
    receiver->m_nSessionId = kSession;
    receiver->m_nHoleMaxTry = 3;
    receiver->m_nHoleInterval = 60;
  }
  // The next heart beat, and where it came from.
  bool heart_beat(std::vector<std::uint8_t>& bytes, platform::SockAddr& from) {
    if (platform::wait_readable(device.get(), 1000) != 1) return false;
    std::uint8_t hb[16];
    const int n = platform::recv_from(device.get(), std::as_writable_bytes(std::span(hb)), &from);
    bytes.assign(hb, hb + std::max(n, 0));
    return n == 8;
  }
  static constexpr std::uint32_t kSession = 0x01020304;
  platform::Socket device{platform::udp_socket()};
  std::unique_ptr<CRtpStreamManager> receiver;
};

TEST_F(LiveStream, UdpReceiverGivesUpWhenPunchingIsNotAnswered) {
  UdpPair p;
  p.receiver->m_hWnd = window_.hwnd();
  p.receiver->ResumeThread();
  // Three heart beats arrive, carrying the session in network order.
  for (int i = 0; i < 3; ++i) {
    std::vector<std::uint8_t> hb;
    platform::SockAddr from;
    ASSERT_TRUE(p.heart_beat(hb, from));
    EXPECT_EQ(hb, (std::vector<std::uint8_t>{0, 0, 1, 5, 1, 2, 3, 4}));
  }
  for (int i = 0; i < 100 && !p.receiver->Ended(); ++i) platform::sleep_ms(10);
  EXPECT_TRUE(p.receiver->Ended());
  EXPECT_TRUE(window_->messages().empty());  // no stream start without a path
}

TEST_F(LiveStream, UdpFrameWithoutDataIsSkipped) {
  UdpPair p;
  p.receiver->m_hWnd = window_.hwnd();
  p.receiver->m_nPlayPort = kPort;
  p.receiver->ResumeThread();
  std::vector<std::uint8_t> hb;
  platform::SockAddr from;
  ASSERT_TRUE(p.heart_beat(hb, from));
  const std::uint8_t back[8] = {0, 0, 1, 6, 1, 2, 3, 4};
  ASSERT_EQ(platform::send_to(p.device.get(), std::as_bytes(std::span(back)), from), 8);
  // One-slice frames: a header alone, then a frame with data.
  auto one_slice = [](std::uint32_t number, const std::vector<std::uint8_t>& frame) {
    std::vector<std::uint8_t> d = {0, 0, 0, 0, 0, 0, 0, static_cast<std::uint8_t>(number),
                                   0, 1, 0, 0};
    d.insert(d.end(), frame.begin(), frame.end());
    return d;
  };
  std::vector<std::uint8_t> empty, frame;
  teststream::append_header(empty, 1, true, 25, 0, 0);
  teststream::append_header(frame, 2, true, 25, 100, 0);
  frame.resize(frame.size() + 100, 0x41);
  for (const auto& d : {one_slice(1, empty), one_slice(2, frame)})
    ASSERT_EQ(platform::send_to(p.device.get(), std::as_bytes(std::span(d)), from),
              static_cast<int>(d.size()));
  for (int i = 0; i < 200 && p.receiver->FramesPushed() == 0 && !p.receiver->Ended(); ++i)
    platform::sleep_ms(10);
  EXPECT_EQ(p.receiver->FramesPushed(), 1u);
  EXPECT_FALSE(p.receiver->Ended());
}

}  // namespace
}  // namespace velmo
