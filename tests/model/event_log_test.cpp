#include <gtest/gtest.h>

#include "model/event_log.h"
#include "model/records.h"
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
