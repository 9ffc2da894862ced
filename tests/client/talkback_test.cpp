// The talkback dialog against the in-process simulator: live play inside the
// dialog, and the microphone's voice at the device, frame for frame.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QTableWidget>
#include <QTimer>

#include <cmath>

#include "client_test_util.h"
#include "demo_workdir.h"
#include "model/talkback.h"
#include "model_test_util.h"
#include "sim_client.h"
#include "simulator.h"
#include "tavimor_app.h"
#include "ui/main_window.h"
#include "ui/playback.h"
#include "ui/talkback.h"
#include "voice/voice.h"

namespace {

using client_test::pump_until;
using model_test::Recorder;

constexpr const char* kFleet =
    "device 200000000001 13900000001 111111\n"
    "channel 0 client-monitor-direct\n"
    "channel 1 client-monitor-direct\n"
    "device 200000000002 13900000002 222222\n"
    "channel 0 client-monitor-direct\n";

class FakeMicrophone : public ui::Microphone {
 public:
  explicit FakeMicrophone(std::vector<std::int16_t> samples, bool present = true)
      : samples_(std::move(samples)), present_(present) {}
  bool Open() override { return present_; }
  void Close() override {}
  std::size_t Read(std::span<std::int16_t> out) override {
    const std::size_t n = std::min(out.size(), samples_.size() - at_);
    std::copy_n(samples_.begin() + static_cast<std::ptrdiff_t>(at_), n, out.begin());
    at_ += n;
    return n;
  }

 private:
  std::vector<std::int16_t> samples_;
  std::size_t at_ = 0;
  bool present_;
};

// Records the live calls and passes the voice on to the SDK.
class RecordingSdk : public ui::SdkTalkback {
 public:
  long RealPlay(long login, int channel, HWND window) override {
    calls.push_back("RealPlay " + std::to_string(login) + " " + std::to_string(channel));
    return port = ui::SdkTalkback::RealPlay(login, channel, window);
  }
  void StopRealPlay(long login, int channel) override {
    calls.push_back("StopRealPlay " + std::to_string(login) + " " + std::to_string(channel));
    ui::SdkTalkback::StopRealPlay(login, channel);
  }
  std::vector<std::string> calls;
  long port = -1;
};

std::vector<std::int16_t> speech(std::size_t n) {
  std::vector<std::int16_t> s(n);
  for (std::size_t i = 0; i < n; ++i) {
    const double t = static_cast<double>(i) / 8000.0;
    s[i] = static_cast<std::int16_t>(5000 * std::sin(2 * M_PI * (180 + 60 * t) * t) +
                                     1500 * std::sin(2 * M_PI * 720 * t));
  }
  return s;
}

class Talkback : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_NO_FATAL_FAILURE(client_.start(kFleet)); }

  std::unique_ptr<ui::CVoiceExchange> dialog(bool elsewhere = false) {
    auto d = std::make_unique<ui::CVoiceExchange>(app_->State(), messages_,
                                                  [elsewhere] { return elsewhere; });
    d->SetSdk(&sdk_);
    d->show();
    return d;
  }
  template <typename W>
  static W* find(ui::CVoiceExchange& d, const char* name) {
    return d.findChild<W*>(QString::fromLatin1(name));
  }
  // The list item of a device (the demo table has no gaps).
  int item_of(std::u16string_view id) {
    const auto& t = app_->State().servers.servers;
    for (int i = 0; i < 2; ++i)
      if (t[static_cast<std::size_t>(i)].device_id == id) return i + 1;
    return -1;
  }
  long login_of(int item) {
    return app_->State().servers.servers[static_cast<std::size_t>(item - 1)].login_handle;
  }
  // Chooses the server and waits for its channel list.
  static bool choose(ui::CVoiceExchange& d, int item, int channels) {
    find<QComboBox>(d, "1100")->setCurrentIndex(item);
    return pump_until([&] { return find<QComboBox>(d, "1733")->count() == channels; });
  }
  static bool filled(ui::CVoiceExchange& d) {
    return pump_until([&] { return find<QComboBox>(d, "1733")->count() > 0; });
  }

  client_test::SimClient client_;
  model_test::TempDir& dir_ = client_.dir;
  Recorder& messages_ = client_.messages;
  std::unique_ptr<orvsim::Simulator>& sim_ = client_.sim;
  std::unique_ptr<CTavimorApp>& app_ = client_.app;
  RecordingSdk sdk_;
};

TEST_F(Talkback, StartRefusesInOrderAndLeavesNothingBehind) {
  auto d = dialog();
  auto* servers = find<QComboBox>(*d, "1100");
  ASSERT_EQ(servers->count(), 3);
  const int pre = servers->currentIndex();
  ASSERT_GT(pre, 0);
  EXPECT_EQ(login_of(pre), 0);  // the first server logged in as handle 0
  ASSERT_TRUE(filled(*d));
  servers->setCurrentIndex(0);
  d->OnStart();
  EXPECT_EQ(messages_.texts(), std::vector<std::u16string>{u"请选择视频服务器!"});

  // A device not logged in: Start stays, and a later Start is not refused for it.
  ASSERT_TRUE(choose(*d, pre, app_->State().servers.servers[pre - 1].channel_count));
  auto& server = app_->State().servers.servers[static_cast<std::size_t>(pre - 1)];
  const auto login = server.login_handle;
  // The channel-fill thread reads the table under its lock.
  auto set_login = [&](std::int32_t h) {
    std::lock_guard lock(app_->State().table_mutex);
    server.login_handle = h;
  };
  set_login(-1);
  messages_.clear();
  d->OnStart();
  EXPECT_EQ(messages_.texts(), std::vector<std::u16string>{u"请首先登录服务器！"});
  EXPECT_TRUE(find<QPushButton>(*d, "1098")->isEnabled());
  EXPECT_TRUE(sdk_.calls.empty());
  set_login(login);
  messages_.clear();
  d->OnStart();
  EXPECT_TRUE(messages_.shown.empty());
  EXPECT_TRUE(d->Talking());
  d->OnStop();

  auto busy = dialog(true);
  ASSERT_TRUE(filled(*busy));
  busy->OnStart();
  EXPECT_EQ(messages_.texts(), std::vector<std::u16string>{u"请首先停止其他播放！"});
  busy->OnExit();
  d->OnExit();
  EXPECT_FALSE(d->ChannelFillRunning());
}

TEST_F(Talkback, VoiceReachesTheDeviceAsSpokenAndStopEndsTheChannel) {
  const auto samples = speech(4000);  // ten capture buffers
  auto d = dialog();
  d->SetMicrophone(std::make_unique<FakeMicrophone>(samples));
  const int item = item_of(u"200000000001");
  ASSERT_TRUE(choose(*d, item, model::kDeviceChannels));
  find<QComboBox>(*d, "1733")->setCurrentIndex(1);
  d->OnStart();
  ASSERT_TRUE(d->Talking());
  EXPECT_TRUE(d->Capturing());
  EXPECT_FALSE(find<QPushButton>(*d, "1098")->isEnabled());
  EXPECT_FALSE(find<QPushButton>(*d, "1346")->isEnabled());
  EXPECT_TRUE(find<QPushButton>(*d, "1577")->isEnabled());
  ASSERT_TRUE(pump_until([&] { return d->Video()->Backend().pictures_received() > 0; }, 10000))
      << d->Video()->Backend().text().toStdString() << " port " << sdk_.port;
  d->PumpMicrophone();
  d->OnStop();
  // The channel, not the player port.
  const std::string login = std::to_string(login_of(item));
  EXPECT_EQ(sdk_.calls,
            (std::vector<std::string>{"RealPlay " + login + " 1", "StopRealPlay " + login + " 1"}));
  EXPECT_NE(sdk_.port, 1);
  EXPECT_TRUE(find<QPushButton>(*d, "1098")->isEnabled());

  // Every sample went out in 320-sample frames; the device decoded the same voice.
  model::VoiceFramer framer;
  const auto frames = framer.push(samples);
  ASSERT_EQ(frames.size(), 12u);
  const auto blocks = sim_->control().audio_blocks();
  ASSERT_EQ(blocks.size(), frames.size());
  std::vector<unsigned char> state(VOICE_STATE_SIZE);
  VOICE_DecReset(state.data(), VOICE_G726_16);
  std::vector<std::int16_t> expected;
  for (std::size_t i = 0; i < frames.size(); ++i) {
    EXPECT_EQ(blocks[i].i2c, "200000000001");
    EXPECT_EQ(blocks[i].bytes, std::vector<std::uint8_t>(frames[i].begin(), frames[i].end()));
    std::int16_t out[480];
    std::uint16_t n = 0;
    ASSERT_EQ(VOICE_DecodeFrame(state.data(), frames[i].data(), out, &n), 0);
    expected.insert(expected.end(), out, out + n);
  }
  EXPECT_EQ(sim_->control().voice_samples("200000000001"), expected);
  d->OnExit();
}

TEST_F(Talkback, BroadcastGoesToEveryMarkedTargetAndNoMicrophoneIsSaid) {
  auto d = dialog();
  d->SetMicrophone(std::make_unique<FakeMicrophone>(speech(800)));
  ASSERT_TRUE(filled(*d));
  find<QRadioButton>(*d, "1575")->click();
  EXPECT_TRUE(find<QPushButton>(*d, "1572")->isEnabled());
  auto* servers = find<QComboBox>(*d, "1100");
  for (int item : {2, 1}) {
    servers->setCurrentIndex(item);
    d->OnAdd();
  }
  auto* list = find<QTableWidget>(*d, "1574");
  ASSERT_EQ(list->rowCount(), 2);
  ASSERT_TRUE(choose(*d, item_of(u"200000000001"), model::kDeviceChannels));
  find<QComboBox>(*d, "1733")->setCurrentIndex(1);
  d->OnStart();
  d->PumpMicrophone();
  d->OnStop();
  const auto blocks = sim_->control().audio_blocks();
  ASSERT_EQ(blocks.size(), 4u) << d->Sender().Sent() << " sent " << d->Sender().Failed()
                               << " failed";  // two frames to each
  int to_first = 0, to_second = 0;
  for (const auto& b : blocks) (b.i2c == "200000000001" ? to_first : to_second)++;
  EXPECT_EQ(to_first, 2);
  EXPECT_EQ(to_second, 2);
  list->selectRow(0);
  d->OnDelete();
  EXPECT_EQ(list->rowCount(), 1);

  d->SetMicrophone(std::make_unique<FakeMicrophone>(speech(800), false));
  d->OnStart();
  EXPECT_TRUE(d->Talking());
  EXPECT_FALSE(d->Capturing());
  EXPECT_FALSE(find<QLabel>(*d, "status")->text().isEmpty());
  d->OnExit();
}

TEST_F(Talkback, TheDeskRunsItWithTheRight) {
  auto* desk = app_->MainWindow();
  const auto rights = app_->State().user.rights;
  app_->State().user.rights = 0;
  desk->OnTalkback();
  EXPECT_EQ(messages_.texts(), std::vector<std::u16string>{u"对不起,您无权限进行这项操作"});
  app_->State().user.rights = rights;
  bool ran = false;
  desk->SetTalkbackSetup([&](ui::CVoiceExchange& d) {
    QTimer::singleShot(0, &d, [&] {
      ran = true;
      d.OnExit();
    });
  });
  desk->OnTalkback();
  EXPECT_TRUE(ran);
}

}  // namespace
