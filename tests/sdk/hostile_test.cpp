// Replies that are broken or hostile fail cleanly within the time-out.
#include <chrono>

#include "control/connect.h"
#include "sim_fixture.h"

namespace velmo::test {
namespace {

using orvsim::Fault;
using Clock = std::chrono::steady_clock;

class SdkHostile : public SdkSim {
 protected:
  // A Login that must fail, within the 2 s time-out and some slack.
  void expect_login_fails() {
    const auto start = Clock::now();
    EXPECT_EQ(login(), -1);
    EXPECT_LT(Clock::now() - start, std::chrono::milliseconds(3500));
    EXPECT_TRUE(guarded_user(0)->m_strI2c.empty());
  }
};

TEST_F(SdkHostile, AuthenticationReplies) {
  sim_->faults().next(Fault::Raw("HTTP/1.1 200 OK\r\nContent-Length: 999999999999\r\n\r\n<M>"));
  expect_login_fails();
  sim_->faults().next(Fault::Raw("HTTP/1.1 200 OK\r\nContent-Length: 100000\r\n\r\n<M>"));
  expect_login_fails();  // the rest never comes: time-out
  sim_->faults().next(Fault::NoContentLength());
  expect_login_fails();
  sim_->faults().next(Fault::Raw("HTTP/1.1 200 OK\r\nContent-Length: 0\r\n\r\n"));
  expect_login_fails();  // authentication needs a body
  sim_->faults().next(Fault::Raw("HTTP/1.1 200 OK\r\nContent-Length: -5\r\n\r\n"));
  expect_login_fails();
  sim_->faults().next(Fault::ShortBody(20));
  expect_login_fails();
  sim_->faults().next(Fault::Raw("HTTP/1.1 200 OK\r\nContent-Length: 9\r\n\r\nnot xml!!"));
  expect_login_fails();
  sim_->faults().next(Fault::Raw("garbage\r\n\r\n"));
  expect_login_fails();
  for (const char* element : {"IP", "MSGTYPE", "p2pSvrInf"}) {
    sim_->faults().next(Fault::MissingElement(element));
    expect_login_fails();
  }
  sim_->faults().next(Fault::WrongElement("MSGTYPE", "Error"));
  expect_login_fails();
  EXPECT_EQ(login(), 0);  // and a good reply still works afterwards
}

TEST_F(SdkHostile, NegotiationReplies) {
  ASSERT_EQ(login(), 0);
  ChannelInfo& ch = channel(0, 0);
  for (const Fault& fault :
       {Fault::MissingElement("RtcpPort"), Fault::MissingElement("LAN-IP"),
        Fault::MissingElement("SessionId"), Fault::MissingElement("ConnectInfo"),
        Fault::WrongElement("RtcpPort", "70000"), Fault::WrongElement("RtcpPort", "12ab"),
        Fault::WrongElement("RandomValue", "a b"), Fault::WrongElement("MSGTYPE", "PublicAddr"),
        Fault::ShortBody(30), Fault::NoContentLength(), Fault::Stall(),
        Fault::Raw("HTTP/1.1 200 OK\r\nContent-Length: 4\r\n\r\n\x01\x02\x03\x04")}) {
    sim_->faults().for_path("/realtime", fault, 1);
    const auto start = Clock::now();
    EXPECT_FALSE(connect_sequence(ch)) << fault.describe();
    EXPECT_LT(Clock::now() - start, std::chrono::milliseconds(3500)) << fault.describe();
  }
  EXPECT_TRUE(handed().empty());
  EXPECT_TRUE(connect_sequence(ch));
  platform::close_socket(ch.m_sock);
}

TEST_F(SdkHostile, ConfigurationReplies) {
  ASSERT_EQ(login(), 0);
  channel(0, 1);
  sim_->faults().for_path("/rs485-get", Fault::MissingElement("DecoderAddress"), 1);
  unsigned char rec[12] = {};
  EXPECT_EQ(GetRS485Cfg(0, 1, rec, 12), 0);
  EXPECT_EQ(guarded_channel(0, 1)->m_wDecoderType, 25);
  sim_->faults().for_path("/gpsdata-get",
                          Fault::Raw("HTTP/1.1 200 OK\r\nContent-Length: 3\r\n\r\n<<<"), 1);
  EXPECT_EQ(GetGPSData(0, 1), "");
  sim_->faults().for_path("/securitycfg-set", Fault::ShortBody(5), 1);
  char a[] = "123456", b[] = "1", t[] = "1";
  EXPECT_EQ(SetSecurityCfg(0, 1, 0, 1, 0, a, b, 0, 0, t), 0);
  sim_->faults().for_path("/tdnetcfg-get", Fault::Stall(), 1);
  char buf[120];
  const auto start = Clock::now();
  EXPECT_EQ(GetTDNetCfg(0, 1, buf, 120), 0);
  EXPECT_LT(Clock::now() - start, std::chrono::milliseconds(3500));
}

}  // namespace
}  // namespace velmo::test
