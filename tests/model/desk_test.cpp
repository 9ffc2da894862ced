// The desk's arithmetic: pane geometry, layout choice, the first page.
#include <gtest/gtest.h>

#include "model/desk.h"
#include "model/stream_health.h"
#include "model_test_util.h"

namespace {

using model::Rect;

TEST(ModelDesk, LayoutGeometry) {
  const Rect area{10, 10, 1600, 960};
  struct Case {
    int n, first;
    bool full;
    int pane;
    Rect want;
    int shown;
  };
  const Case cases[] = {
      {1, 5, false, 5, {10, 10, 1600, 960}, 1},
      {1, 5, true, 5, {0, 0, 1024, 768}, 1},
      {4, 7, false, 3, {10 + 800 + 3, 10 + 480 + 2, 800, 480}, 4},
      {9, 0, false, 8, {10 + 2 * (533 + 3), 10 + 2 * (320 + 2), 533, 320}, 9},
      {16, 0, true, 5, {0 + 400 + 3, 0 + 240 + 2, 400, 240}, 16},
      {3, 0, false, 0, {}, 0},  // not a page size: nothing shown
  };
  for (const auto& c : cases) {
    const auto panes = model::layout_panes(c.n, c.first, area, c.full);
    int shown = 0;
    for (const auto& p : panes) shown += p.has_value();
    EXPECT_EQ(shown, c.shown) << c.n;
    if (c.shown) {
      ASSERT_TRUE(panes[static_cast<std::size_t>(c.pane)].has_value()) << c.n;
      EXPECT_EQ(*panes[static_cast<std::size_t>(c.pane)], c.want) << c.n;
    }
  }
}

TEST(ModelDesk, LayoutChoiceAndFirstPage) {
  model_test::Recorder messages;
  model::DeskState desk;
  desk.selected_pane = 4;
  EXPECT_FALSE(model::choose_layout(desk, 9, messages));  // the current one
  EXPECT_EQ(desk.selected_pane, 4);
  EXPECT_TRUE(model::choose_layout(desk, 4, messages));
  EXPECT_EQ(desk.selected_pane, 0);
  desk.cycling = true;
  EXPECT_FALSE(model::choose_layout(desk, 16, messages));
  EXPECT_EQ(messages.texts(), std::vector<std::u16string>{u"请停止循环播放!"});
  EXPECT_EQ(desk.page_size, 4);

  // 20 entries on 9 panes: the page, then paging by hand or cycling.
  auto list = std::make_unique<model::PlayList>();
  list->count = 20;
  for (int i = 0; i < 20; ++i) list->entries[static_cast<std::size_t>(i)].listed = 1;
  list->entries[2].listed = 0;
  model::DeskState paged;
  const auto page = model::begin_preview(paged, *list, false);
  EXPECT_EQ(page.panes, (std::vector<int>{0, 1, 3, 4, 5, 6, 7, 8}));
  EXPECT_EQ(paged.play_list_offset, 9);
  EXPECT_TRUE(paged.next_page_available);
  EXPECT_TRUE(paged.previewing);
  model::DeskState cycled;
  const auto cyc = model::begin_preview(cycled, *list, true);
  EXPECT_TRUE(cyc.start_cycling);
  EXPECT_TRUE(cyc.panes.empty());
  EXPECT_TRUE(cycled.cycling);

  list->count = 3;  // fewer than the panes: the offset is the count
  model::DeskState small;
  EXPECT_EQ(model::begin_preview(small, *list, true).panes, (std::vector<int>{0, 1}));
  EXPECT_EQ(small.play_list_offset, 3);
  EXPECT_FALSE(small.cycling);
  list->count = 0;
  model::DeskState empty;
  EXPECT_TRUE(model::begin_preview(empty, *list, false).panes.empty());
  EXPECT_FALSE(empty.previewing);
}

TEST(ModelDesk, PagingAndCycling) {
  auto range = [](int a, int b) {
    std::vector<int> v;
    for (int i = a; i <= b; ++i) v.push_back(i);
    return v;
  };
  // 20 entries on 9 panes, as the first page leaves the desk.
  model::DeskState d;
  d.play_list_offset = 9;
  EXPECT_EQ(model::next_page(d, 20).entries, range(9, 17));
  EXPECT_EQ(d.play_list_offset, 18);
  EXPECT_EQ(model::next_page(d, 20).entries, range(18, 19));
  EXPECT_EQ(d.play_list_offset, 20);
  EXPECT_FALSE(d.next_page_available);
  EXPECT_TRUE(d.previous_page_available);
  EXPECT_FALSE(model::next_page(d, 20).turn);  // nothing beyond the end

  EXPECT_EQ(model::previous_page(d, 20).entries, range(9, 17));
  EXPECT_EQ(d.play_list_offset, 18);
  EXPECT_EQ(model::previous_page(d, 20).entries, range(0, 8));
  EXPECT_EQ(d.play_list_offset, 9);
  EXPECT_FALSE(d.previous_page_available);
  EXPECT_TRUE(d.next_page_available);
  EXPECT_FALSE(model::previous_page(d, 20).turn);

  // Entries beyond the play list are skipped.
  model::DeskState full;
  full.page_size = 16;
  full.play_list_offset = 496;
  const auto last = model::next_page(full, 520);
  EXPECT_EQ(last.entries.size(), 16u);
  EXPECT_EQ(last.entries.back(), 511);
  full.play_list_offset = 512;
  EXPECT_EQ(model::next_page(full, 520).entries, std::vector<int>(8, -1));

  // Cycling wraps at the end of the list.
  model::DeskState c;
  c.play_list_offset = 9;
  c.cycle_position = 18;
  EXPECT_EQ(model::cycle_page(c, 20).entries, (std::vector<int>{18, 19, 0, 1, 2, 3, 4, 5, 6}));
  EXPECT_EQ(c.cycle_position, 7);
  EXPECT_EQ(c.play_list_offset, 18);
  model::DeskState one_page;
  EXPECT_FALSE(model::cycle_page(one_page, 9).turn);  // one page holds it all
}

TEST(ModelDesk, CompressionOfTheIndexes) {
  model::ChannelRecord c;
  c.video_format_index = 0;
  c.frame_rate_index = 6;
  c.bit_rate_index = 8;
  c.video_type_index = 2;
  EXPECT_EQ(model::compression_of(c), (model::Compression{0, 25, 1024, 3}));
}

}  // namespace

namespace {

// Stream health: rates survive a counter that starts again, the stall edge,
// the overlay's lines and a device's going and coming back.
TEST(ModelDesk, StreamHealth) {
  model::RateMeter m(3000);
  EXPECT_EQ(m.per_second(), 0);
  m.add(1000, 0);
  m.add(1200, 5);
  EXPECT_EQ(m.per_second(), 0);  // under half a second
  for (int t = 2000; t <= 6000; t += 1000) m.add(t, static_cast<std::uint64_t>((t - 1000) / 40));
  EXPECT_NEAR(m.per_second(), 25.0, 0.01);
  m.add(7000, 3);  // a new stream: the old samples go
  EXPECT_EQ(m.per_second(), 0);
  m.add(8000, 28);
  EXPECT_NEAR(m.per_second(), 25.0, 0.01);

  EXPECT_FALSE(model::stream_stalled(-1, 100000));  // never had a picture: starting
  EXPECT_FALSE(model::stream_stalled(1000, 1000 + model::kStallMs));
  EXPECT_TRUE(model::stream_stalled(1000, 1001 + model::kStallMs));

  model::PaneHealth h;
  h.connect = model::connect_type_words("client-monitor-middle-transfer");
  h.fps = 24.96;
  h.kbps = 511.6;
  h.since_picture_ms = 40;
  h.reconnects = 2;
  const auto lines = model::health_lines(h);
  ASSERT_EQ(lines.size(), 4u);
  EXPECT_EQ(lines[0], u"连接：中转");
  EXPECT_EQ(lines[1], u"帧率：25.0 帧/秒   码率：512 kbit/s");
  EXPECT_EQ(lines[2], u"画面：0.0 秒前");
  EXPECT_EQ(lines[3], u"重连：2 次");
  h.last_failure = model::notice_words(2144) + u" 20:41:07";
  h.position = u"北纬39.90421°";
  EXPECT_EQ(model::health_lines(h).size(), 6u);
  EXPECT_EQ(model::health_lines(h)[4], u"故障：网络中断 20:41:07");
  EXPECT_EQ(model::connect_type_words("odd"), u"odd");
  EXPECT_TRUE(model::notice_words(2145).empty());  // a stream start is no failure
  EXPECT_EQ(model::stall_text({2026, 12, 8, 20, 41, 7, 2}, 12900), u"20:41:07 起，已 12 秒");

  using Seen = model::DeviceWatch::Seen;
  model::DeviceWatch w;
  EXPECT_FALSE(w.observe(0, u"bus-7", Seen::up));  // first seen up: nothing to say
  EXPECT_EQ(w.observe(0, u"bus-7", Seen::down), u"设备 bus-7 失去连接");
  EXPECT_FALSE(w.observe(0, u"bus-7", Seen::down));  // once per change
  EXPECT_TRUE(w.down(0));
  EXPECT_EQ(w.observe(0, u"bus-7", Seen::up), u"设备 bus-7 恢复连接");
  EXPECT_EQ(w.observe(1, u"van-9", Seen::down), u"设备 van-9 失去连接");  // never up
  w.forget(1);
  EXPECT_FALSE(w.observe(1, u"van-9", Seen::up));
}

}  // namespace
