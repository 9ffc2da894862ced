// The alarm sound feeds a whole file to the output from its timer, drains it,
// closes, and lets a new file replace a playing one.
#include "ui/alarm_sound.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "client_test_util.h"
#include "model_test_util.h"
#include "wav_test_util.h"

using model_test::TempDir;

namespace {

struct Device {
  bool present = true;
  int opened_rate = 0;
  int opens = 0;
  bool open = false;
  std::size_t room = 1000;  // samples taken per write
  std::vector<std::int16_t> played;
};

class FakeSound : public ui::SoundDevice {
 public:
  explicit FakeSound(Device& d) : d_(d) {}
  bool open(int rate) override {
    if (!d_.present) return false;
    ++d_.opens;
    d_.opened_rate = rate;
    d_.open = true;
    d_.played.clear();
    return true;
  }
  void close() override { d_.open = false; }
  std::size_t write(std::span<const std::int16_t> samples) override {
    const std::size_t n = std::min(d_.room, samples.size());
    d_.played.insert(d_.played.end(), samples.begin(), samples.begin() + static_cast<long>(n));
    return n;
  }

 private:
  Device& d_;
};

struct AlarmSound : ::testing::Test {
  TempDir dir;
  Device device;
  ui::AlarmSound sound{std::make_unique<FakeSound>(device)};

  std::filesystem::path wav(const char* name, int rate, std::size_t count) {
    std::vector<std::int16_t> samples(count);
    for (std::size_t i = 0; i < count; ++i) samples[i] = static_cast<std::int16_t>(i);
    const auto p = dir.path() / name;
    model_test::write_file(p, model_test::pcm16_wav(1, rate, samples));
    return p;
  }
};

}  // namespace

TEST_F(AlarmSound, FeedsTheWholeFileThenCloses) {
  ASSERT_TRUE(sound.Play(wav("a.wav", 8000, 3500)));
  EXPECT_EQ(device.opened_rate, 8000);
  EXPECT_TRUE(sound.Playing());
  ASSERT_TRUE(client_test::pump_until([&] { return !sound.Playing(); }, 5000));
  EXPECT_FALSE(device.open);
  ASSERT_EQ(device.played.size(), 3500u);
  EXPECT_EQ(device.played[3499], 3499);
}

TEST_F(AlarmSound, NewFileReplacesAPlayingOneAndBadFilesChangeNothing) {
  ASSERT_TRUE(sound.Play(wav("long.wav", 8000, 100000)));
  const auto broken = dir.path() / "broken.wav";
  model_test::write_file(broken, "RIFF....WAVEfmt ");
  EXPECT_FALSE(sound.Play(broken));
  EXPECT_FALSE(sound.Play(dir.path() / "missing.wav"));
  EXPECT_TRUE(sound.Playing());
  EXPECT_EQ(device.opens, 1);

  ASSERT_TRUE(sound.Play(wav("short.wav", 16000, 10)));
  EXPECT_EQ(device.opens, 2);  // reopened: nothing of the long file stays queued
  EXPECT_EQ(device.opened_rate, 16000);
  EXPECT_EQ(device.played.size(), 10u);
  sound.Stop();
  EXPECT_FALSE(sound.Playing());
  EXPECT_FALSE(device.open);

  device.present = false;
  EXPECT_FALSE(sound.Play(wav("c.wav", 8000, 10)));
  EXPECT_FALSE(sound.Playing());
}

TEST_F(AlarmSound, AlarmPlaysTheStoredFileOnlyWhenSwitchedOn) {
  model::ClientState state;
  state.drives.drives = {{'C', dir.path()}};
  wav("ring.wav", 8000, 10);
  state.settings.alarm_sound_file = u"C:\\ring.wav";
  state.settings.alarm_sound = 0;
  EXPECT_FALSE(sound.PlayAlarm(state));
  EXPECT_EQ(device.opens, 0);
  state.settings.alarm_sound = 1;
  EXPECT_TRUE(sound.PlayAlarm(state));
}

TEST(AlarmSoundDevice, WithoutASoundCardPlayFailsSoftly) {
  // The real output: on machines with a device the file plays, otherwise false.
  TempDir dir;
  model_test::write_file(dir.path() / "a.wav", model_test::pcm16_wav(1, 8000, {0, 0}));
  ui::AlarmSound sound;
  const bool played = sound.Play(dir.path() / "a.wav");
  EXPECT_EQ(played, sound.Playing());
  sound.Stop();
}
