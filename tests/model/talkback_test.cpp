#include "model/talkback.h"

#include <gtest/gtest.h>

#include <cmath>

#include "model/i18n.h"
#include "model_test_util.h"
#include "voice/voice.h"

namespace {

using model_test::Recorder;

model::ServerTable table_with_gap() {
  model::ServerTable t;
  model::reset_table(t);
  auto put = [&](int i, const char16_t* name, int login, int channels) {
    auto& s = t.servers[static_cast<std::size_t>(i)];
    s.name = name;
    s.login_handle = login;
    s.channel_count = channels;
    for (int c = 0; c < channels; ++c) {
      s.channels[static_cast<std::size_t>(c)].name = u"前门";
      s.channels[static_cast<std::size_t>(c)].channel_index = c;
    }
  };
  put(0, u"bus-7", -1, 2);
  put(2, u"ferry-1", 0, 1);  // index 1 is a gap
  put(3, u"coach-5", 3, 2);
  return t;
}

TEST(Talkback, ListsAndStartChecksInOrder) {
  const auto t = table_with_gap();
  const auto items = model::talk_server_items(t);
  ASSERT_EQ(items.size(), 4u);
  EXPECT_EQ(items[0].text, u"请选择视频服务器");
  EXPECT_EQ(items[2].server, 2);  // the list row is not the table index
  EXPECT_EQ(model::talk_preselected_item(items, t), 2);
  EXPECT_EQ(model::talk_channel_items(t.servers[0], false),
            (std::vector<std::u16string>{u"通道0:前门", u"通道1:前门"}));
  EXPECT_EQ(model::talk_channel_items(t.servers[0], true),
            (std::vector<std::u16string>{u"通道0:", u"通道1:"}));

  struct Case {
    int item, channel;
    bool elsewhere;
    const char16_t* message;  // nullptr: the start goes on
  } cases[] = {{0, 0, false, u"请选择视频服务器!"},
               {2, -1, false, u"请选择视频服务器!"},
               {2, 0, true, u"请首先停止其他播放！"},
               {1, 0, false, u"请首先登录服务器！"},
               {2, 1, false, u"请选择要对讲的服务器和通道！"},
               {3, 1, false, nullptr}};
  for (const auto& c : cases) {
    Recorder r;
    const auto start = model::check_talk_start(t, items, c.item, c.channel, c.elsewhere, r);
    if (c.message) {
      EXPECT_FALSE(start) << c.item;
      EXPECT_EQ(r.texts(), std::vector<std::u16string>{c.message});
    } else {
      ASSERT_TRUE(start);
      EXPECT_TRUE(r.shown.empty());
      EXPECT_EQ(start->server, 3);
      EXPECT_EQ(start->login_handle, 3);
      EXPECT_EQ(start->channel, 1);
    }
  }
}

TEST(Talkback, BroadcastTargetsFollowAscendingHandles) {
  const auto t = table_with_gap();
  const auto items = model::talk_server_items(t);
  model::BroadcastTargets b;
  Recorder r;
  EXPECT_FALSE(b.add(t, items, 0, r));
  EXPECT_FALSE(b.add(t, items, 1, r));  // bus-7 is not logged in
  EXPECT_EQ(r.texts(),
            (std::vector<std::u16string>{u"请选择视频服务器!", u"无法与前端bus-7 对话!\n"}));
  EXPECT_TRUE(b.add(t, items, 3, r));
  EXPECT_TRUE(b.add(t, items, 2, r));
  EXPECT_TRUE(b.add(t, items, 2, r));  // once only
  EXPECT_EQ(b.handles(), (std::vector<long>{0, 3}));
  EXPECT_EQ(b.rows(t), (std::vector<std::u16string>{u"ferry-1", u"coach-5"}));
  b.remove_row(0);
  EXPECT_EQ(b.rows(t), std::vector<std::u16string>{u"coach-5"});
  b.remove_row(5);  // no such row
  EXPECT_EQ(b.handles().size(), 1u);
}

TEST(Talkback, TranslatedPatternsPlaceTheirValues) {
  // English puts the values elsewhere; a name holding "%2" is no placeholder.
  model::set_translation([](std::u16string_view s) -> std::u16string {
    if (s == u"通道%1:%2") return u"%2 (channel %1)";
    if (s == u"无法与前端%1 对话!\n") return u"Cannot talk to %1!\n";
    if (s == u"请选择视频服务器") return u"Choose a video server";
    return std::u16string(s);
  });
  struct Reset {
    ~Reset() { model::set_translation({}); }
  } reset;
  auto t = table_with_gap();
  t.servers[0].name = u"bus-%2";
  const auto items = model::talk_server_items(t);
  EXPECT_EQ(items[0].text, u"Choose a video server");
  EXPECT_EQ(model::talk_channel_items(t.servers[0], false),
            (std::vector<std::u16string>{u"前门 (channel 0)", u"前门 (channel 1)"}));
  EXPECT_EQ(model::talk_channel_items(t.servers[0], true),
            (std::vector<std::u16string>{u" (channel 0)", u" (channel 1)"}));
  model::BroadcastTargets b;
  Recorder r;
  EXPECT_FALSE(b.add(t, items, 1, r));
  EXPECT_EQ(r.texts(), std::vector<std::u16string>{u"Cannot talk to bus-%2!\n"});
}

TEST(Talkback, EverySampleIsCodedInFramesOf320) {
  std::vector<std::int16_t> samples(1600);
  for (std::size_t i = 0; i < samples.size(); ++i)
    samples[i] = static_cast<std::int16_t>(6000 * std::sin(0.07 * static_cast<double>(i)));
  // Four capture buffers of 400 samples give five whole frames, nothing lost.
  model::VoiceFramer framer;
  std::vector<model::VoiceFramer::Frame> frames;
  for (int b = 0; b < 4; ++b) {
    auto f = framer.push(std::span(samples).subspan(static_cast<std::size_t>(b) * 400, 400));
    frames.insert(frames.end(), f.begin(), f.end());
  }
  ASSERT_EQ(frames.size(), 5u);
  std::vector<unsigned char> state(VOICE_STATE_SIZE);
  VOICE_EncReset(state.data(), VOICE_G726_16);
  for (std::size_t i = 0; i < frames.size(); ++i) {
    model::VoiceFramer::Frame direct{};
    ASSERT_EQ(VOICE_EncodeFrame(state.data(), samples.data() + i * 320, direct.data(), 320), 0);
    EXPECT_EQ(frames[i], direct) << i;
  }
  EXPECT_EQ(frames[0][0], 0x00);
  EXPECT_EQ(frames[0][1], 0x01);
  EXPECT_EQ(frames[0][2], 40);
  // A reset starts a new stream: no carried samples.
  framer.reset();
  EXPECT_TRUE(framer.push(std::span(samples).first(319)).empty());
  EXPECT_EQ(framer.push(std::span(samples).first(1)).size(), 1u);
}

}  // namespace
