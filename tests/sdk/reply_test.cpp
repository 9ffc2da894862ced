#include <gtest/gtest.h>

#include "control/reply.h"

namespace velmo {
namespace {

TEST(SdkReply, AuthReplyListsServersInOrder) {
  auto r = read_auth_reply(
      "<Message><MSGTYPE>PublicAddr</MSGTYPE><IP>1.2.3.4</IP>"
      "<p2pSvrInf><IPv4>10.0.0.1</IPv4><Port>5000</Port></p2pSvrInf>"
      "<p2pSvrInf><IPv4>10.0.0.2</IPv4><Port>99999</Port></p2pSvrInf></Message>");
  ASSERT_TRUE(r);
  EXPECT_EQ(r->wan_ip, "1.2.3.4");
  ASSERT_EQ(r->servers.size(), 2u);
  EXPECT_EQ(r->servers[0]->ipv4, "10.0.0.1");
  EXPECT_EQ(r->servers[0]->port, 5000);
  EXPECT_EQ(r->servers[1]->port, 0);  // out of range: treated as not answering
}

TEST(SdkReply, AuthReplyNeedsTypeAddressAndServer) {
  EXPECT_FALSE(
      read_auth_reply("<M><MSGTYPE>Other</MSGTYPE><IP>1.2.3.4</IP>"
                      "<p2pSvrInf><IPv4>a</IPv4></p2pSvrInf></M>"));
  EXPECT_FALSE(
      read_auth_reply("<M><MSGTYPE>PublicAddr</MSGTYPE><IP></IP>"
                      "<p2pSvrInf><IPv4>a</IPv4></p2pSvrInf></M>"));
  EXPECT_FALSE(read_auth_reply("<M><MSGTYPE>PublicAddr</MSGTYPE><IP>1.2.3.4</IP></M>"));
  EXPECT_FALSE(read_auth_reply("not xml at all"));
  EXPECT_FALSE(read_auth_reply(""));
}

TEST(SdkReply, NegotiationReply) {
  auto r = read_negotiation_reply(
      "<Message><MSGTYPE>ConnectInfo</MSGTYPE><ConnectInfo>"
      "<ConnectType>client-monitor-direct</ConnectType><WAN-IP>1.1.1.1</WAN-IP>"
      "<LAN-IP>192.168.0.5</LAN-IP><RtcpPort>7000</RtcpPort><RandomValue>abc</RandomValue>"
      "<SessionId>4294967295</SessionId></ConnectInfo></Message>");
  ASSERT_TRUE(r.loaded);
  EXPECT_FALSE(r.passwd_error);
  ASSERT_TRUE(r.info);
  EXPECT_EQ(r.info->connect_type, "client-monitor-direct");
  EXPECT_EQ(r.info->lan_ip, "192.168.0.5");
  EXPECT_EQ(r.info->rtcp_port, 7000);
  EXPECT_EQ(r.info->session_id, 4294967295LL);
  EXPECT_FALSE(r.info->transit_port);

  auto pw = read_negotiation_reply("<Message><ERROR>PASSWD_ERROR</ERROR></Message>");
  EXPECT_TRUE(pw.loaded);
  EXPECT_TRUE(pw.passwd_error);
  EXPECT_FALSE(pw.info);

  EXPECT_FALSE(read_negotiation_reply("<<<").loaded);
  // ConnectInfo type without the element, and the element under another type.
  EXPECT_FALSE(read_negotiation_reply("<M><MSGTYPE>ConnectInfo</MSGTYPE></M>").info);
  EXPECT_FALSE(read_negotiation_reply("<M><MSGTYPE>X</MSGTYPE><ConnectInfo><ConnectType>"
                                      "client-monitor-p2p</ConnectType></ConnectInfo></M>")
                   .info);
}

TEST(SdkReply, ConfigurationReaders) {
  auto alarm = read_alarm_cfg(
      "<M><AlarmQuery>opened</AlarmQuery><MotionDetect>closed</MotionDetect>"
      "<RecordType>OPENED</RecordType></M>");
  ASSERT_TRUE(alarm);
  EXPECT_EQ(alarm->alarm, 1);
  EXPECT_EQ(alarm->motion_detect, 0);
  EXPECT_EQ(alarm->record_type, 0);  // any word but "opened" is off

  auto rs = read_rs485_cfg(
      "<M><BaudRate>115200</BaudRate><DataBit>8</DataBit><StopBit>1</StopBit><Parity>78</Parity>"
      "<Flowcontrol>0</Flowcontrol><DecoderType>7</DecoderType><DecoderAddress>300</DecoderAddress>"
      "</M>");
  ASSERT_TRUE(rs);
  EXPECT_EQ(rs->baud_rate, 115200u);
  EXPECT_EQ(rs->parity, 78);
  EXPECT_EQ(rs->decoder_address, 300);
  // A missing or out-of-range value, or an Error, gives nothing.
  EXPECT_FALSE(read_rs485_cfg("<M><BaudRate>9600</BaudRate></M>"));
  EXPECT_FALSE(read_rs485_cfg(
      "<M><BaudRate>9600</BaudRate><DataBit>800</DataBit><StopBit>1</StopBit><Parity>78</Parity>"
      "<Flowcontrol>0</Flowcontrol><DecoderType>7</DecoderType><DecoderAddress>3</DecoderAddress>"
      "</M>"));
  EXPECT_FALSE(read_gps_data("<M><Error>offline</Error><RecvGpsData>x</RecvGpsData></M>"));
  EXPECT_EQ(read_gps_data("<M><RecvGpsData>N31,E121</RecvGpsData></M>"), "N31,E121");
  EXPECT_EQ(read_tdnet_cfg("<M><allow_tel>139,138</allow_tel></M>"), "139,138");
  auto sec = read_security_cfg(
      "<M><const_pwd>1</const_pwd><tmp_pwd>2</tmp_pwd><emergency_tel>3</emergency_tel>"
      "<status>org_pwd_error</status></M>");
  ASSERT_TRUE(sec);
  EXPECT_TRUE(sec->org_pwd_error);
  EXPECT_EQ(sec->emergency_tel, "3");
}

TEST(SdkReply, NumbersAreStrict) {
  EXPECT_EQ(parse_number(" 42 "), 42);
  EXPECT_EQ(parse_number("-7"), -7);
  EXPECT_FALSE(parse_number("4x"));
  EXPECT_FALSE(parse_number(""));
  EXPECT_FALSE(parse_number("-"));
  EXPECT_FALSE(parse_number("1234567890123"));
}

}  // namespace
}  // namespace velmo
