#include <gtest/gtest.h>

#include "model/event_log.h"
#include "model/i18n.h"
#include "model/records.h"
#include "model/stream_health.h"
#include "model_test_util.h"

using namespace model;
using model_test::read_file;
using model_test::Recorder;
using model_test::TempDir;

namespace {
const LocalTime kNoon{2026, 3, 2, 12, 0, 5, 1};
}

TEST(ModelEventLog, TableWrapsAtTwoThousand) {
  EventLog log;
  for (int i = 0; i < 1999; ++i) log.append(u"e" + u16_number(i), kNoon);
  EXPECT_EQ(log.count(), 1999);
  EXPECT_EQ(log.events().back().text, u"e1998");
  log.append(u"e1999", kNoon);
  EXPECT_EQ(log.count(), 0);
  EXPECT_TRUE(log.events().empty());
  log.append(u"after", kNoon);
  auto events = log.events();
  ASSERT_EQ(events.size(), 1u);
  EXPECT_EQ(events[0], (Event{u"2026-03-02 12:00:05", u"after"}));
}

TEST(ModelEventLog, SaveWritesLinesAndEmptiesTheTable) {
  TempDir dir;
  Recorder messages;
  EventLog log;
  EXPECT_FALSE(log.save(dir.path(), kNoon, messages));  // empty: no file, no message
  EXPECT_TRUE(std::filesystem::is_empty(dir.path()));
  log.append(live_start_failed_text(u"1.2.3.4", 2, 5), kNoon);
  log.append(u"second", LocalTime{2026, 3, 2, 12, 0, 6, 1});
  ASSERT_TRUE(log.save(dir.path(), kNoon, messages));
  EXPECT_EQ(EventLog::file_name(kNoon), "EventFile_20260302_120005.txt");
  EXPECT_EQ(read_file(dir.path() / "EventFile_20260302_120005.txt"),
            "2026-03-02 12:00:05 访问IP:1.2.3.4 通道2 连接启动失败 dwErr = 5\r\n"
            "2026-03-02 12:00:06 second\r\n");
  EXPECT_EQ(log.count(), 0);
  // A second save in the same second overwrites the first file.
  log.append(u"third", kNoon);
  ASSERT_TRUE(log.save(dir.path(), kNoon, messages));
  EXPECT_EQ(read_file(dir.path() / "EventFile_20260302_120005.txt"),
            "2026-03-02 12:00:05 third\r\n");
  EXPECT_TRUE(messages.shown.empty());
}

TEST(ModelEventLog, MissingFolderReportsAndKeepsEvents) {
  TempDir dir;
  Recorder messages;
  EventLog log;
  log.append(u"kept", kNoon);
  EXPECT_FALSE(log.save(dir.path() / "absent", kNoon, messages));
  EXPECT_EQ(messages.texts(), std::vector<std::u16string>{u"日志文件创建失败!"});
  EXPECT_EQ(log.count(), 1);
  EXPECT_FALSE(std::filesystem::exists(dir.path() / "absent"));
}

namespace {
// An English translation of a few texts for as long as it lives.
class FakeEnglish {
 public:
  FakeEnglish() {
    set_translation([](std::u16string_view s) -> std::u16string {
      if (s == kDeviceLost) return u"Device %1 lost the connection";
      if (s == kLiveStartFailed) return u"channel %2 of %1: start failed (%3)";
      if (s == u"预览时网络重连!!!") return u"Reconnect!!!";
      if (s == u"故障：%1") return u"Failure: %1";
      if (s == u"网络中断") return u"Network down";
      return std::u16string(s);
    });
  }
  ~FakeEnglish() { set_translation({}); }
};
}  // namespace

TEST(ModelEventLog, PatternsFillInOnePass) {
  EXPECT_EQ(fill_pattern(u"%2 before %1", {u"a", u"b"}), u"b before a");
  EXPECT_EQ(fill_pattern(u"[%1|%2]", {u"%2"}), u"[%2|]");  // no second expansion
  EXPECT_EQ(fill_pattern(u"100% %x %", {}), u"100% %x %");
}

TEST(ModelEventLog, StoredLinesStayChineseAndShowTranslated) {
  const FakeEnglish english;
  const std::u16string failed = live_start_failed_text(u"10.0.0.9", 3, 20404);
  EXPECT_EQ(failed, u"访问IP:10.0.0.9 通道3 连接启动失败 dwErr = 20404");
  EXPECT_EQ(event_shown(failed), u"channel 3 of 10.0.0.9: start failed (20404)");
  DeviceWatch watch;
  // A name holding the pattern's own words is kept whole.
  const auto lost = watch.observe(1, u"车 失去连接 7", DeviceWatch::Seen::down);
  ASSERT_TRUE(lost);
  EXPECT_EQ(*lost, u"设备 车 失去连接 7 失去连接");
  EXPECT_EQ(event_shown(*lost), u"Device 车 失去连接 7 lost the connection");
  EXPECT_EQ(event_shown(exception_notice(32773)), u"Reconnect!!!");
  EXPECT_EQ(event_shown(u"设备 bus-7 恢复连接"), u"设备 bus-7 恢复连接");  // no translation
  EXPECT_EQ(event_shown(u"访问IP:1.2.3.4 其它"), u"访问IP:1.2.3.4 其它");  // not of a pattern

  TempDir dir;
  Recorder messages;
  EventLog log;
  log.append(failed, kNoon);
  ASSERT_TRUE(log.save(dir.path(), kNoon, messages));
  EXPECT_EQ(read_file(dir.path() / EventLog::file_name(kNoon)),
            "2026-03-02 12:00:05 访问IP:10.0.0.9 通道3 连接启动失败 dwErr = 20404\r\n");

  // The overlay is painted in the operator's language.
  PaneHealth h;
  h.last_failure = notice_words(2144) + u" 20:41:07";
  EXPECT_EQ(health_lines(h).at(4), u"Failure: Network down 20:41:07");
}
