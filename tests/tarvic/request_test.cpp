#include <gtest/gtest.h>

#include <string>

#include "tarvic/tarvic.h"

namespace {

// Reaches the time-outs the class keeps to itself.
struct Probe : CTarvic {
  int recv_timeout() const { return m_nRecvTimeOut; }
  int send_timeout() const { return m_nSendTimeOut; }
  std::string request() const { return m_szRequest; }
};

const std::string kMobile = "User-Agent:Mozilla/4.0 (compatible; MSIE 6.00; Windows Mobile 6)\r\n";

TEST(TarvicRequest, SessionRequestsCarryFixedSequenceNumbers) {
  CTarvic t;
  const char* play = t.FormatPlayRequestHeader(L"rtsp://a/b", 7);
  ASSERT_NE(play, nullptr);
  EXPECT_EQ(std::string(play),
            "PLAY rtsp://a/b RTSP/1.0\r\nCSeq: 4\r\nSession: 7\r\n" + kMobile + "\r\n");
  EXPECT_EQ(std::string(t.FormatPauseRequestHeader(L"rtsp://a/b", 4294967295ul)),
            "PAUSE rtsp://a/b RTSP/1.0\r\nCSeq: 5\r\nSession: 4294967295\r\n" + kMobile + "\r\n");
  EXPECT_EQ(std::string(t.FormatTearDownRequestHeader(L"rtsp://a/b", 0)),
            "TEARDOWN rtsp://a/b RTSP/1.0\r\nCSeq: 7\r\nSession: 0\r\n" + kMobile + "\r\n");

  char copy[16] = {};
  EXPECT_EQ(t.GetRequestHeader(copy, 8), 8);
  EXPECT_EQ(std::string(copy, 8), "TEARDOWN");
}

TEST(TarvicRequest, PlayWithTransportOnlyForMethodFour) {
  CTarvic t;
  const char* play =
      t.FormatRequestHeader(4, L"rtsp://1.2.3.4:554/13800-1.264", 99, L"192.0.2.7", 6000);
  ASSERT_NE(play, nullptr);
  EXPECT_EQ(std::string(play),
            "PLAY rtsp://1.2.3.4:554/13800-1.264 RTSP/1.0\r\nCSeq: 4\r\nSession: 99\r\n"
            "Transport: ip=192.0.2.7; port=6000; protocol=tcp\r\n"
            "User-Agent:Mozilla/4.0 (compatible; MSIE 5.00; Windows 98)\r\n\r\n");

  EXPECT_EQ(t.FormatRequestHeader(3, L"rtsp://a/b", 1, L"1.2.3.4", 1), nullptr);
  char copy[8] = {};
  EXPECT_EQ(t.GetRequestHeader(copy, sizeof copy), 0);  // cleared, not the earlier PLAY
}

TEST(TarvicRequest, SetParameterWithAndWithoutBody) {
  CTarvic t;
  const std::string head = "SET_PARAMETER rtsp://a/b RTSP/1.0\r\nCSeq: 6\r\n";
  const std::string tail = "Content-Type: text/parameters\r\n" + kMobile + "\r\n";
  EXPECT_EQ(std::string(t.FormatSetParamRequestHeader(L"rtsp://a/b", nullptr)), head + tail);
  EXPECT_EQ(std::string(t.FormatSetParamRequestHeader(L"rtsp://a/b", L"abc")),
            head + "Content-Length: 3\r\n" + tail + "abc");
  EXPECT_EQ(std::string(t.FormatSetParamRequestHeader(L"rtsp://a/b", L"speed", L"5")),
            head + "Content-Length: 8\r\n" + tail + "speed: 5");
  EXPECT_EQ(std::string(t.FormatSetParamRequestHeader(L"rtsp://a/b", L"speed", nullptr)),
            head + tail);
  // The announced length counts the bytes that go on the wire.
  EXPECT_NE(std::string(t.FormatSetParamRequestHeader(L"rtsp://a/b", L"云台"))
                .find("Content-Length: 4\r\n"),
            std::string::npos);
}

TEST(TarvicRequest, TextTooLongLeavesTheBufferEmpty) {
  Probe t;
  const std::wstring url = L"rtsp://a/" + std::wstring(1000, L'x');
  const char* r = t.FormatPlayRequestHeader(url.c_str(), 1);
  ASSERT_NE(r, nullptr);
  EXPECT_STREQ(r, "");
  // Just below the limit it still fits: 1023 bytes and the terminator.
  const std::size_t fixed = t.FormatPlayRequestHeader(L"", 1) ? t.request().size() : 0;
  const std::wstring fits(1023 - fixed, L'y');
  EXPECT_EQ(std::string(t.FormatPlayRequestHeader(fits.c_str(), 1)).size(), 1023u);
  const std::wstring over(1024 - fixed, L'y');
  EXPECT_STREQ(t.FormatPlayRequestHeader(over.c_str(), 1), "");
  EXPECT_EQ(t.FormatPlayRequestHeader(nullptr, 1), nullptr);
}

TEST(TarvicRequest, FormattingResetsTimeouts) {
  Probe t;
  EXPECT_EQ(t.recv_timeout(), 25);
  EXPECT_EQ(t.send_timeout(), 25);
  EXPECT_EQ(t.SetTimeout(5, 0), 1);
  EXPECT_EQ(t.SetTimeout(3, 1), 1);
  EXPECT_EQ(t.recv_timeout(), 5);
  EXPECT_EQ(t.send_timeout(), 3);
  t.FormatSetParamRequestHeader(L"rtsp://a/b", nullptr);
  EXPECT_EQ(t.recv_timeout(), 20);
  EXPECT_EQ(t.send_timeout(), 10);
}

}  // namespace
