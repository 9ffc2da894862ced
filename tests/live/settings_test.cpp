// The per-device settings files: where they are and how their keys are read.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "frame/user_table.h"
#include "media/advanced_cfg.h"
#include "media/rtsp_manager.h"

namespace velmo::media {
namespace {

namespace fs = std::filesystem;

TEST(LiveSettings, FolderIsProgramDirFollowedByTheNumber) {
  EXPECT_EQ(settings_folder("/opt/App", L"123"), fs::path("/opt/App123"));
  EXPECT_EQ(settings_folder("/opt/App/", L"123"), fs::path("/opt/App123"));
  EXPECT_EQ(settings_folder("/opt/App", L"123") / "AdvancedCfg_UDP.xml",
            fs::path("/opt/App123/AdvancedCfg_UDP.xml"));
}

TEST(LiveSettings, UdpElementsAreReadByName) {
  UdpSettings s;
  apply_udp_settings(
      "<Cfg><Rtp><HbInterval>900</HbInterval><TimeOut>1800</TimeOut><LostFramProc>0</LostFramProc>"
      "<FrameSliceInterval>5</FrameSliceInterval></Rtp>"
      "<MakeHoleInf><MaxTry>7</MaxTry><Interval>250</Interval></MakeHoleInf>"
      "<Rtcp><HbInterval>400</HbInterval><TimeOut>1200</TimeOut></Rtcp></Cfg>",
      s);
  EXPECT_EQ(s.hole_max_try, 7);
  EXPECT_EQ(s.hole_interval, 250);
  EXPECT_EQ(s.rtcp_hb_interval, 400);
  EXPECT_EQ(s.rtcp_timeout, 1200);
  EXPECT_EQ(s.rtp_hb_interval, 900);
  EXPECT_EQ(s.rtp_timeout, 1800);
  EXPECT_EQ(s.lost_frame_proc, 0);
  EXPECT_EQ(s.frame_slice_interval, 5);
}

TEST(LiveSettings, MissingOddOrNegativeValuesKeepTheDefaults) {
  UdpSettings s;
  apply_udp_settings(
      "<Cfg><Rtcp><TimeOut>16777215</TimeOut><HbInterval>-5</HbInterval></Rtcp>"
      "<Rtp><TimeOut>800</TimeOut></Rtp></Cfg>",
      s);
  const UdpSettings d;
  EXPECT_EQ(s.rtcp_timeout, d.rtcp_timeout);  // 0xFFFFFF reads as missing
  EXPECT_EQ(s.rtcp_hb_interval, d.rtcp_hb_interval);
  EXPECT_EQ(s.hole_max_try, d.hole_max_try);
  EXPECT_EQ(s.rtp_timeout, 800);
  UdpSettings t;
  apply_udp_settings("<Cfg><Rtp>", t);  // not a document
  apply_udp_settings("", t);
  EXPECT_EQ(t.rtp_timeout, d.rtp_timeout);
}

TEST(LiveSettings, TcpKeysStopAtTheFirstMissingOne) {
  TcpSettings s;
  apply_tcp_settings("<Cfg><ConnectTimeOut>100</ConnectTimeOut></Cfg>", s);
  EXPECT_EQ(s.connect_timeout, 5000);  // RtspTimeOut missing: nothing read
  apply_tcp_settings("<Cfg><RtspTimeOut>700</RtspTimeOut><AccpetTimeOut>50</AccpetTimeOut></Cfg>",
                     s);
  EXPECT_EQ(s.rtsp_timeout, 700);
  EXPECT_EQ(s.accept_timeout, 10000);  // after the missing ConnectTimeOut
  apply_tcp_settings(
      "<Cfg><RtspTimeOut>1</RtspTimeOut><ConnectTimeOut>2</ConnectTimeOut>"
      "<AccpetTimeOut>3</AccpetTimeOut></Cfg>",
      s);
  EXPECT_EQ(s.rtsp_timeout, 1);
  EXPECT_EQ(s.connect_timeout, 2);
  EXPECT_EQ(s.accept_timeout, 3);
}

class LiveSettingsFiles : public ::testing::Test {
 protected:
  void SetUp() override {
    base_ = fs::temp_directory_path() /
            ("live-settings-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
             "-" + std::to_string(reinterpret_cast<std::uintptr_t>(this)));
    fs::create_directories(fs::path(base_.string() + "555"));
  }
  void TearDown() override { fs::remove_all(fs::path(base_.string() + "555")); }
  void write(const char* name, const std::string& text) {
    std::ofstream(fs::path(base_.string() + "555") / name) << text;
  }
  fs::path base_;
};

TEST_F(LiveSettingsFiles, SessionReadsItsDevicesFolder) {
  UserInfo user;
  ChannelInfo& ch = user.channel(2);
  ch.m_nP2pRepeat = 4;
  ch.m_nP2pOvertime = 350;
  CRtspManger session(&ch);
  session.m_strTel = L"555";
  session.m_strSettingsBase = base_.string();
  session.ReadUdpSettings();  // no file: the channel's P2P values
  EXPECT_EQ(session.m_nHoleMaxTry, 4);
  EXPECT_EQ(session.m_nHoleInterval, 350);
  write("AdvancedCfg_UDP.xml", "<a><Rtcp><TimeOut>2500</TimeOut></Rtcp></a>");
  write("AdvancedCfg_TCP.xml",
        "<a><RtspTimeOut>900</RtspTimeOut><ConnectTimeOut>300</ConnectTimeOut></a>");
  session.ReadUdpSettings();
  session.ReadTcpSettings();
  EXPECT_EQ(session.m_nRtcpTimeOut, 900);  // the TCP file read last wins
  EXPECT_EQ(session.m_nConnectTimeOut, 300);
  EXPECT_EQ(session.m_nAcceptTimeOut, 10000);
  EXPECT_EQ(session.m_nHoleMaxTry, 4);
}

}  // namespace
}  // namespace velmo::media
