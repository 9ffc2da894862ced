#include <cstring>

#include "sim_fixture.h"

namespace velmo::test {
namespace {

using orvsim::Fault;

struct Rs485 {
  std::int32_t baud;
  std::uint8_t data, stop, parity, flow;
  std::uint16_t type, address;
};

class SdkConfig : public SdkSim {
 protected:
  void SetUp() override {
    SdkSim::SetUp();
    handle_ = login();
    ASSERT_EQ(handle_, 0);
    for (int c = 0; c < 6; ++c) channel(handle_, c);
  }
  char id_[3] = "D1";
  long handle_ = -1;
};

TEST_F(SdkConfig, AlarmCommandsOnTheAuthenticationSocket) {
  ASSERT_EQ(UserAnthenticate(id_, 2, L"139001", server().c_str(), port(), 2), 1);
  int a = -1, m = -1, r = -1;
  ASSERT_EQ(GetAlarmCfg(id_, L"139001", server().c_str(), port(), a, m, r), 1);
  EXPECT_EQ(last_target("/alarm"), "/alarm?i2c=D1&tel=139001&alarm-query=true&transmit=true");
  EXPECT_EQ(a, 1);
  EXPECT_EQ(m, 0);
  EXPECT_EQ(r, 0);                                                                 // "closed"
  EXPECT_EQ(AlarmOpen(id_, L"139001", server().c_str(), port(), 0, 1, 7, -1), 0);  // check < 0
  ASSERT_EQ(AlarmOpen(id_, L"139001", server().c_str(), port(), 0, 1, 7, 0), 1);
  EXPECT_EQ(last_target("/alarm"),
            "/alarm?i2c=D1&tel=139001&alarm-open=false&motion-detect=true&record-type=true"
            "&transmit=true");
  ASSERT_EQ(GetAlarmCfg(id_, L"139001", server().c_str(), port(), a, m, r), 1);
  EXPECT_EQ(a, 0);
  EXPECT_EQ(m, 1);
  EXPECT_EQ(r, 1);
  // A failed reply leaves the results alone.
  sim_->faults().next(Fault::Status(500));
  a = m = r = 9;
  EXPECT_EQ(GetAlarmCfg(id_, L"139001", server().c_str(), port(), a, m, r), 0);
  EXPECT_EQ(a + m + r, 27);
}

TEST_F(SdkConfig, AlarmOpenOnTheLoginChannel) {
  const std::size_t before = sim_->log().size();
  EXPECT_EQ(AlarmOpen(handle_, 0, 1, 1, 1, 0), 0);  // channel 0 never authenticated
  EXPECT_EQ(sim_->log().size(), before);
  EXPECT_EQ(AlarmOpen(handle_, 1, 1, 1, 1, -1), 0);
  ASSERT_EQ(AlarmOpen(handle_, 1, 1, 0, 1, 0), 1);
  EXPECT_EQ(last_target("/alarm"),
            "/alarm?i2c=D1&tel=139001&alarm-open=true&motion-detect=false&record-type=true"
            "&transmit=true");
  EXPECT_TRUE(control_->settings("D1").alarm);
}

TEST_F(SdkConfig, GpsData) {
  EXPECT_EQ(GetGPSData(handle_, 2), "N31.2,E121.5");
  EXPECT_EQ(last_target("/gpsdata-get"), "/gpsdata-get?i2c=D1&tel=139001&channel=2&transmit=true");
  control_->set_error("D1", "gps offline");
  EXPECT_EQ(GetGPSData(handle_, 2), "");
}

TEST_F(SdkConfig, Rs485ReadAndWrite) {
  Rs485 rec{};
  EXPECT_EQ(sizeof rec, 12u);
  const std::size_t before = sim_->log().size();
  EXPECT_EQ(GetRS485Cfg(handle_, 4, &rec, 11), 0);
  EXPECT_EQ(SetRS485Cfg(handle_, 4, &rec, 11), 0);
  EXPECT_EQ(SetRS485Cfg(handle_, 4, nullptr, 12), 0);
  EXPECT_EQ(sim_->log().size(), before);  // nothing sent, not even the authentication

  ASSERT_EQ(GetRS485Cfg(handle_, 4, &rec, 12), 1);
  EXPECT_EQ(last_target("/rs485-get"), "/rs485-get?i2c=D1&tel=139001&channel=4&transmit=true");
  EXPECT_EQ(rec.baud, 9600);
  EXPECT_EQ(rec.parity, 'N');
  EXPECT_EQ(rec.type, 7);
  EXPECT_EQ(rec.address, 3);
  ChannelInfo* ch = guarded_channel(handle_, 4);
  EXPECT_EQ(ch->m_wDecoderType, 7);
  EXPECT_EQ(ch->m_nDecoderAddress, 3);

  Rs485 next{19200, 7, 2, 'E', 0, 55, 65535};
  ASSERT_EQ(SetRS485Cfg(handle_, 4, &next, 12), 1);
  EXPECT_EQ(last_target("/rs485-set"),
            "/rs485-set?i2c=D1&tel=139001&channel=4&BaudRate=19200&DataBit=7&StopBit=2"
            "&Parity=69&Flowcontrol=0&DecoderType=55&DecoderAddress=65535&transmit=true");
  EXPECT_EQ(ch->m_wDecoderType, 55);
  EXPECT_EQ(ch->m_nDecoderAddress, 65535);

  control_->set_error("D1", "line busy");
  Rs485 untouched{};
  EXPECT_EQ(GetRS485Cfg(handle_, 4, &untouched, 12), 0);
  EXPECT_EQ(untouched.baud, 0);
  EXPECT_EQ(ch->m_wDecoderType, 55);
}

TEST_F(SdkConfig, AllowedNumbers) {
  char buf[120];
  std::memset(buf, 'x', sizeof buf);
  ASSERT_EQ(GetTDNetCfg(handle_, 0, buf, 0), 1);
  EXPECT_STREQ(buf, "13800000000");
  EXPECT_EQ(last_target("/tdnetcfg-get"),
            "/tdnetcfg-get?i2c=D1&tel=139001&channel=0&transmit=true");
  char numbers[] = "13900000001,13900000002";
  ASSERT_EQ(SetTDNetCfg(handle_, 0, numbers, 99, 1), 1);
  EXPECT_EQ(last_target("/tdnetcfg-set"),
            "/tdnetcfg-set?i2c=D1&tel=139001&channel=0&Del_Curr_Num=1&len=23"
            "&New_num=13900000001,13900000002&transmit=true");
  ASSERT_EQ(GetTDNetCfg(handle_, 0, buf, 120), 1);
  EXPECT_STREQ(buf, numbers);
  EXPECT_EQ(SetTDNetCfg(handle_, 0, nullptr, 0, 0), 0);
  // The buffer gets at most 120 bytes with the terminating zero.
  std::string longer(300, '1');
  ASSERT_EQ(SetTDNetCfg(handle_, 0, longer.data(), 0, 1), 1);
  char exact[121];
  exact[120] = 'z';
  ASSERT_EQ(GetTDNetCfg(handle_, 0, exact, 120), 1);
  EXPECT_EQ(std::strlen(exact), 119u);
  EXPECT_EQ(exact[120], 'z');
}

TEST_F(SdkConfig, SecuritySettings) {
  char c[16], t[16], e[3];
  ASSERT_EQ(GetSecurityCfg(handle_, 1, c, sizeof c, t, sizeof t, e, sizeof e), 1);
  EXPECT_EQ(last_target("/securitycfg-get"),
            "/securitycfg-get?i2c=D1&tel=139001&channel=1&transmit=true");
  EXPECT_STREQ(c, "123456");
  EXPECT_STREQ(t, "999");
  EXPECT_STREQ(e, "11");  // cut to its buffer
  EXPECT_EQ(GetSecurityCfg(handle_, 1, nullptr, 1, t, 16, e, 3), 0);

  char wrong[] = "000000", fresh[] = "654321", tel[] = "00000000000";
  EXPECT_EQ(SetSecurityCfg(handle_, 1, 0, 1, 0, wrong, fresh, 0, 0, tel), -1);
  char right[] = "123456";
  EXPECT_EQ(SetSecurityCfg(handle_, 1, 0, 1, 6, right, fresh, 0, 0, tel), 1);
  EXPECT_EQ(last_target("/securitycfg-set"),
            "/securitycfg-set?i2c=D1&tel=139001&channel=1&const_pwd_set=0&const_pwd_reset=1"
            "&pwdlen=6&org_pwd=123456&new_pwd=654321&emergency_tel_set=0&tellen=11"
            "&emergency_tel=00000000000&transmit=true");
  EXPECT_EQ(control_->settings("D1").const_pwd, "654321");
  // A status reading "org_pwd_error" in a get reply gives 0 with the texts copied.
  sim_->faults().for_path("/securitycfg-get", Fault::WrongElement("status", "org_pwd_error"), 1);
  c[0] = 0;
  EXPECT_EQ(GetSecurityCfg(handle_, 1, c, sizeof c, t, sizeof t, e, sizeof e), 0);
  EXPECT_STREQ(c, "654321");
  sim_->faults().for_path("/securitycfg-set", Fault::Status(404), 1);
  EXPECT_EQ(SetSecurityCfg(handle_, 1, 0, 1, 0, fresh, right, 0, 0, tel), 0);
}

TEST_F(SdkConfig, AuthenticatingCommandsFailWithTheAuthenticationCode) {
  sim_->faults().next(Fault::Status(503));
  EXPECT_EQ(GetGPSData(handle_, 3), "");
  EXPECT_EQ(_GetLastErrorCode(), 20503);
  EXPECT_FALSE(guarded_channel(handle_, 3)->http());
}

TEST_F(SdkConfig, UnsafeValuesFailBeforeAnythingIsSent) {
  const std::size_t before = sim_->log().size();
  char numbers[] = "139\r\nHost: evil";
  EXPECT_EQ(SetTDNetCfg(handle_, 2, numbers, 0, 0), 0);
  char spaced[] = "1 2", ok[] = "123456", tel[] = "1";
  EXPECT_EQ(SetSecurityCfg(handle_, 2, 0, 1, 0, ok, spaced, 0, 0, tel), 0);
  EXPECT_EQ(sim_->log().size(), before);
}

TEST_F(SdkConfig, CompressionTravelsWithTheNextNegotiation) {
  EXPECT_EQ(SetCompressionInf(handle_, 0, 2, 25, 1024, 3), 1);
  ChannelInfo* ch = guarded_channel(handle_, 0);
  EXPECT_EQ(ch->m_nResolution, 2);
  EXPECT_EQ(ch->m_nFrameRate, 25);
  EXPECT_EQ(ch->m_nBitRate, 1024);
  EXPECT_EQ(ch->m_nImageType, 3);
}

}  // namespace
}  // namespace velmo::test
