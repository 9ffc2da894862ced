#include <gtest/gtest.h>

#include <cstring>

#include "frame/user_table.h"
#include "media/thread_template.h"
#include "platform/event.h"
#include "platform/headless_window.h"
#include "velmosdk.h"

namespace velmo {
namespace {

class SdkFrame : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(InitMonitClientSDK(), 1); }
  void TearDown() override { ReleaseMonitClientSDK(); }
};

TEST_F(SdkFrame, ChannelSlotsStartWithTheirValues) {
  UserInfo* user = guarded_user(3);
  ASSERT_TRUE(user);
  EXPECT_EQ(user->m_nUserId, -1);
  EXPECT_TRUE(user->m_strI2c.empty());
  for (int c = 0; c < kChannelCount; ++c) {
    ChannelInfo& ch = user->channel(c);
    EXPECT_EQ(ch.m_nChannel, c);
    EXPECT_EQ(ch.m_pUser, user);
    EXPECT_EQ(ch.m_nHttpTimeout, 20);
    EXPECT_EQ(ch.m_nP2pRepeat, 3);
    EXPECT_EQ(ch.m_nP2pOvertime, 300);
    EXPECT_EQ(ch.m_nFrameRate, 10);
    EXPECT_EQ(ch.m_nImageType, 1);
    EXPECT_EQ(ch.m_bP2pOpen.load(), 1);
    EXPECT_EQ(ch.m_wDecoderType, 25);
    EXPECT_EQ(ch.m_nDecoderAddress, 1);
    EXPECT_EQ(ch.m_sock, INVALID_SOCKET);
    EXPECT_EQ(ch.m_nPlayPort, -1);
    EXPECT_EQ(ch.m_nReconnectDelay, 5000);
    EXPECT_TRUE(ch.m_pListener);
    EXPECT_FALSE(ch.http());
  }
}

TEST_F(SdkFrame, SeventeenthSlotFailsAndAFreedSlotIsReused) {
  for (int i = 0; i < kUserCount; ++i)
    EXPECT_EQ(allocate_user("s", 80, "dev" + std::to_string(i), "t", "p"), i);
  EXPECT_EQ(allocate_user("s", 80, "dev16", "t", "p"), -1);
  EXPECT_EQ(LogOut(9), 1);
  EXPECT_EQ(guarded_user(9)->m_nUserId, -1);
  EXPECT_EQ(allocate_user("s", 80, "again", "t", "p"), 9);
  EXPECT_EQ(LogOut(16), 0);
  EXPECT_EQ(LogOut(-1), 0);
}

TEST_F(SdkFrame, LastErrorIsReadOnce) {
  set_last_error(20404);
  EXPECT_EQ(_GetLastErrorCode(), 20404);
  EXPECT_EQ(_GetLastErrorCode(), 0);
}

TEST_F(SdkFrame, GuardRejectsBadHandlesAndChannels) {
  char buf[120];
  unsigned char rec[12] = {};
  for (auto [h, c] : {std::pair{16L, 0L}, {-1L, 0L}, {0L, 6L}, {0L, -1L}}) {
    EXPECT_EQ(SetMsgWnd(h, c, nullptr), 0);
    EXPECT_EQ(CancleHttpRequst(h, c), 0);
    EXPECT_EQ(SetCompressionInf(h, c, 1, 1, 1, 1), 0);
    EXPECT_EQ(GetRS485Cfg(h, c, rec, 12), 0);
    EXPECT_EQ(SetRS485Cfg(h, c, rec, 12), 0);
    EXPECT_EQ(GetTDNetCfg(h, c, buf, 120), 0);
    EXPECT_EQ(AlarmOpen(h, c, 1, 1, 1, 0), 0);
    EXPECT_EQ(GetGPSData(h, c), "");
    EXPECT_EQ(GetSecurityCfg(h, c, buf, 40, buf + 40, 40, buf + 80, 40), 0);
  }
  char data[4] = {1, 2, 3, 4};
  EXPECT_EQ(SendAudioDataVoiceExchange(16, data, 4, 0), 0);
  EXPECT_EQ(SendAudioDataVoiceExchange(0, nullptr, 4, 0), 0);
  EXPECT_EQ(_GetLastErrorCode(), 0);
}

TEST_F(SdkFrame, SetMsgWndKeepsALiveWindowOnly) {
  platform::ScopedHeadlessWindow live;
  platform::ScopedHeadlessWindow dead;
  dead.destroy();
  EXPECT_EQ(SetMsgWnd(2, 3, live.hwnd()), 1);
  EXPECT_EQ(guarded_channel(2, 3)->m_hMsgWnd, live.hwnd());
  EXPECT_EQ(SetMsgWnd(2, 3, nullptr), 1);
  EXPECT_EQ(SetMsgWnd(2, 3, reinterpret_cast<HWND>(0x1234)), 1);
  EXPECT_EQ(guarded_channel(2, 3)->m_hMsgWnd, live.hwnd());
}

TEST_F(SdkFrame, CompressionSettingsKeptAcrossLogOut) {
  EXPECT_EQ(SetCompressionInf(1, 5, 2, 25, 768, 4), 1);
  EXPECT_EQ(LogOut(1), 1);
  ChannelInfo* ch = guarded_channel(1, 5);
  EXPECT_EQ(ch->m_nResolution, 2);
  EXPECT_EQ(ch->m_nFrameRate, 25);
  EXPECT_EQ(ch->m_nBitRate, 768);
  EXPECT_EQ(ch->m_nImageType, 4);
}

TEST(SdkFrameLife, SecondStartReusesTheTable) {
  ASSERT_EQ(InitMonitClientSDK(), 1);
  UserTable* table = user_table();
  ASSERT_EQ(InitMonitClientSDK(), 1);
  EXPECT_EQ(user_table(), table);
  ReleaseMonitClientSDK();
  EXPECT_FALSE(user_table());
}

// A worker's own thread cannot join it, and may delete it: the object goes,
// the thread is joined once Run has returned, and the process lives on.
TEST(SdkThreadTemplate, RunJoiningOrDeletingItsOwnObject) {
  class Worker final : public CThreadTemplate {
   public:
    explicit Worker(bool self_delete) : self_delete_(self_delete) {}
    ~Worker() override { JoinThread(); }
    void Run() override {
      joined_itself = JoinThread() ? 1 : 0;
      if (!self_delete_) return;
      platform::Event& done = *deleted;
      delete this;
      done.set();
    }
    std::atomic<int> joined_itself{-1};
    platform::Event* deleted = nullptr;

   private:
    const bool self_delete_;
  };
  {
    Worker w(false);
    w.ResumeThread();
    EXPECT_TRUE(w.JoinThread());
    EXPECT_EQ(w.joined_itself, 0);
    EXPECT_FALSE(w.ThreadRunning());
  }
  platform::Event deleted(true, false);
  auto* w = new Worker(true);
  w->deleted = &deleted;
  w->ResumeThread();
  EXPECT_TRUE(deleted.wait(5000));
}

TEST(SdkFramePorts, LowestFreePortRangeChecksAndPlaybackPortsKept) {
  std::vector<int> taken;
  for (int i = 0; i < 30; ++i) taken.push_back(take_play_port());
  std::vector<int> expected;
  for (int i = 0; i < 32; ++i)
    if (i != 17 && i != 20) expected.push_back(i);
  EXPECT_EQ(taken, expected);
  EXPECT_EQ(take_play_port(), -1);
  release_play_port(40);
  release_play_port(-1);
  EXPECT_EQ(take_play_port(), -1);
  release_play_port(7);
  release_play_port(3);
  EXPECT_EQ(take_play_port(), 3);
  for (int i = 0; i < 32; ++i) release_play_port(i);
}

}  // namespace
}  // namespace velmo
