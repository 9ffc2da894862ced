#include <gtest/gtest.h>

#include "model/config_files.h"
#include "model/settings_page.h"
#include "model_test_util.h"

using namespace model;
using model_test::Recorder;
using model_test::TempDir;

namespace {

struct ModelPlanEditor : ::testing::Test {
  WeeklyPlan plan{};
  Recorder messages;
  PlanEditor editor{plan, messages};

  static PlanEditor::DayFields day(std::initializer_list<std::array<int, 4>> segs) {
    PlanEditor::DayFields f{};
    int i = 0;
    for (auto& s : segs) f[i++] = s;
    return f;
  }
  bool store_one(std::initializer_list<std::array<int, 4>> segs) {
    messages.clear();
    return editor.store(0, day(segs));
  }
  std::u16string last() const { return messages.shown.empty() ? u"" : messages.shown.back().text; }
};

}  // namespace

TEST_F(ModelPlanEditor, SegmentLimitsAndOrderOfChecks) {
  EXPECT_TRUE(store_one({{8, 0, 24, 0}}));
  EXPECT_TRUE(messages.shown.empty());
  EXPECT_FALSE(store_one({{8, 0, 24, 1}}));
  EXPECT_EQ(last(), u"录像时间不能超过24:00!");
  EXPECT_FALSE(store_one({{24, 0, 24, 0}}));
  EXPECT_EQ(last(), u"录像时间不能超过24:00!");
  EXPECT_FALSE(store_one({{12, 0, 8, 0}}));
  EXPECT_EQ(last(), u"录像起始时间不能大于录像停止时间!");
  EXPECT_FALSE(store_one({{8, 0, 12, 0}, {11, 0, 13, 0}}));
  EXPECT_EQ(last(), u"录像时间不能重复!");
  EXPECT_TRUE(store_one({{8, 0, 12, 0}, {12, 0, 13, 0}}));  // touching ends
  // Containment passes this test, as the editor always did.
  EXPECT_TRUE(store_one({{8, 0, 18, 0}, {9, 0, 10, 0}}));
  EXPECT_FALSE(store_one({{8, -1, 9, 0}, {-1, 0, 0, 0}}));
  EXPECT_EQ(last(), u"小时的范围在0 -- 24之间!");  // hours are checked before minutes
  EXPECT_FALSE(store_one({{8, 61, 9, 0}}));
  EXPECT_EQ(last(), u"分钟的范围在0 -- 60之间!");
  EXPECT_FALSE(store_one({{700, 0, 701, 0}}));
  EXPECT_EQ(last(), u"小时的范围在0 -- 24之间!");
}

TEST_F(ModelPlanEditor, MinuteSixtyAndWrittenEvenWhenFailing) {
  ASSERT_TRUE(store_one({{10, 60, 11, 30}}));
  EXPECT_EQ(plan[0][0].start, 1060);
  EXPECT_EQ(plan[0][0].start_minute, 60);
  EXPECT_FALSE(store_one({{12, 0, 8, 0}, {1, 0, 2, 0}}));
  EXPECT_EQ(plan[0][0].start, 1200);
  EXPECT_EQ(plan[0][0].end, 800);
  EXPECT_EQ(plan[0][1].end, 200);
  // A range failure stores nothing.
  EXPECT_FALSE(store_one({{5, 0, 6, 70}}));
  EXPECT_EQ(plan[0][0].start, 1200);
  EXPECT_EQ(editor.load_day(0)[1], (std::array<int, 4>{1, 0, 2, 0}));
}

TEST_F(ModelPlanEditor, CopyNeedsAStoredDayAndWholeWeekSkipsSource) {
  plan[3][0] = PlanSegment{1, 0, 2, 0, 100, 200};
  editor.copy(3, PlanEditor::kWholeWeek);
  EXPECT_EQ(plan[0][0].start, 0);  // disabled until a day is stored
  EXPECT_FALSE(editor.copy_enabled());
  ASSERT_TRUE(editor.store(2, day({{8, 0, 9, 0}})));
  EXPECT_TRUE(editor.copy_enabled());
  EXPECT_TRUE(editor.changed());
  editor.copy(2, 5);
  EXPECT_EQ(plan[5], plan[2]);
  EXPECT_EQ(plan[3][0].start, 100);
  editor.copy(2, PlanEditor::kWholeWeek);
  for (int d = 0; d < 7; ++d) EXPECT_EQ(plan[d], plan[2]) << d;
  const PlanDay before = plan[4];
  editor.copy(4, 4);
  EXPECT_EQ(plan[4], before);
}

TEST(ModelPlanDays, EditorOrderStartsMonday) {
  EXPECT_EQ(plan_day_name(0), u"星期一");
  EXPECT_EQ(plan_day_name(6), u"星期天");
  EXPECT_EQ(plan_day_for_weekday(1), 0);  // Monday
  EXPECT_EQ(plan_day_for_weekday(0), 6);  // Sunday
  EXPECT_EQ(plan_day_for_weekday(6), 5);
}

namespace {

struct ModelSettingsPage : ::testing::Test {
  TempDir dir;
  Recorder messages;
  std::vector<platform::Drive> drives;
  ClientSettings stored = default_settings(2);
  ClientSettings form = default_settings(2);

  void SetUp() override {
    for (char l : {'C', 'D'}) {
      auto root = dir.path() / std::string(1, l);
      std::filesystem::create_directory(root);
      drives.push_back({l, root});
    }
  }
  StoreResult store(std::int32_t rights = -1) {
    messages.clear();
    return store_settings(form, {12, 34, 56}, rights, stored, drives, dir.path(), messages);
  }
};

}  // namespace

TEST_F(ModelSettingsPage, ChecksInOrder) {
  EXPECT_FALSE(store(0x4007).stored);
  EXPECT_EQ(messages.texts(), std::vector<std::u16string>{u"对不起,您无权限进行这项操作"});
  form.pre_record_time = 5;
  form.pack_minutes = 0;
  EXPECT_FALSE(store().stored);
  EXPECT_EQ(messages.texts(), std::vector<std::u16string>{u"请输入一个介于10和1800之间的整数。"});
  form.pre_record_time = 10;
  form.alarm_duration = 77;
  form.snapshot_folder.clear();
  EXPECT_FALSE(store().stored);
  EXPECT_EQ(messages.texts(), std::vector<std::u16string>{u"非法的文件打包时间!"});
  EXPECT_EQ(stored.alarm_duration, 77);  // stored before the later checks
  form.pack_minutes = 60;
  form.start_drive = 1;
  form.end_drive = 0;
  EXPECT_FALSE(store().stored);
  EXPECT_EQ(messages.texts(), std::vector<std::u16string>{u"请选择文件保存路径!"});
  form.snapshot_folder = u"D:\\Pic";
  EXPECT_FALSE(store().stored);
  EXPECT_EQ(messages.texts(), std::vector<std::u16string>{u"起始驱动器和终止驱动器不匹配!"});
  EXPECT_EQ(stored.start_drive, 0);
  EXPECT_FALSE(std::filesystem::exists(dir.path() / "ClientCfg.dat"));
}

TEST_F(ModelSettingsPage, RangesShareOneMessage) {
  struct Case {
    std::int32_t ClientSettings::*field;
    int low, high;
  };
  for (const Case& c : {Case{&ClientSettings::alarm_duration, 0, 1000000},
                        Case{&ClientSettings::switch_time, 1, 100000},
                        Case{&ClientSettings::occlusion_time, 1, 100000},
                        Case{&ClientSettings::pre_record_time, 10, 1800}}) {
    const std::u16string message =
        u"请输入一个介于" + u16_number(c.low) + u"和" + u16_number(c.high) + u"之间的整数。";
    for (int value : {c.low - 1, c.high + 1}) {
      form = default_settings(2);
      form.*c.field = value;
      EXPECT_FALSE(store().stored) << value;
      EXPECT_EQ(messages.texts(), std::vector<std::u16string>{message}) << value;
    }
    for (int value : {c.low, c.high}) {
      form = default_settings(2);
      form.*c.field = value;
      EXPECT_TRUE(store().stored) << value;
      EXPECT_EQ(stored.*c.field, value);
    }
  }
  // The pack time has its own message; a short cycle time is raised instead.
  form = default_settings(2);
  form.pack_minutes = 61;
  EXPECT_FALSE(store().stored);
  EXPECT_EQ(messages.texts(), std::vector<std::u16string>{u"非法的文件打包时间!"});
  form.pack_minutes = 1;
  form.cycle_time = -7;
  EXPECT_TRUE(store().stored);
  EXPECT_EQ(stored.cycle_time, 5);
}

TEST_F(ModelSettingsPage, StoreClampsCycleMakesFoldersAndWritesFile) {
  stored.plan[1][0] = PlanSegment{8, 0, 9, 0, 800, 900};
  form.cycle_time = 3;
  form.hardware_decoding = 1;
  form.snapshot_folder = u"D:\\图片";
  form.log_folder = (dir.path() / "logs").u16string();
  auto r = store();
  ASSERT_TRUE(r.stored);
  EXPECT_EQ(r.hardware_change, 1);
  EXPECT_EQ(stored.cycle_time, 5);
  EXPECT_EQ(stored.time_sync_time, 123456);
  EXPECT_EQ(stored.plan[1][0].start, 800);  // the plan is not the page's
  EXPECT_TRUE(std::filesystem::is_directory(dir.path() / "C" / "DownLoad"));
  EXPECT_TRUE(std::filesystem::is_directory(dir.path() / "D" / "图片"));
  EXPECT_TRUE(std::filesystem::is_directory(dir.path() / "logs"));
  ClientSettings back = default_settings(2);
  ASSERT_TRUE(read_client_cfg(dir.path(), back));
  EXPECT_EQ(back, stored);
  form.hardware_decoding = 0;
  EXPECT_EQ(store().hardware_change, 2);
  EXPECT_EQ(store().hardware_change, 0);
}

TEST(ModelPaths, LetteredTextsMapToDriveRoots) {
  std::vector<platform::Drive> drives{{'C', "/r/c"}, {'D', "/r/d"}};
  EXPECT_EQ(path_from_text(u"C:\\DownLoad", drives, "/w"), "/r/c/DownLoad");
  EXPECT_EQ(path_from_text(u"d:\\a\\..\\b", drives, "/w"), "/r/d/a/b");
  EXPECT_EQ(path_from_text(u"E:\\x", drives, "/w"), "/w/x");
  EXPECT_EQ(path_from_text(u"/var/log", drives, "/w"), "/var/log");
}

TEST(ModelPaths, ChosenPathsTakeTheDeepestDriveLetter) {
  std::vector<platform::Drive> drives{{'C', "/"}, {'D', "/r/d/"}};
  EXPECT_EQ(text_from_path("/r/d/图片/a", drives), u"D:\\图片\\a");
  EXPECT_EQ(text_from_path("/r/d", drives), u"D:\\");
  EXPECT_EQ(text_from_path("/r/dd/x/", drives), u"C:\\r\\dd\\x");
  EXPECT_EQ(text_from_path("/r/d/x/../y", drives), u"D:\\y");
  EXPECT_EQ(text_from_path("/r/d/a\\b", drives), u"/r/d/a\\b");  // would read back as a/b
  EXPECT_EQ(text_from_path("/var/log", {{'D', "/r/d"}}), u"/var/log");
  for (const char* p : {"/r/d/图片/a", "/r/dd/x"})
    EXPECT_EQ(path_from_text(text_from_path(p, drives), drives, "/w"), p);
}

TEST(ModelTimeSync, DueAtTheStoredSecondOnly) {
  ClientSettings s = default_settings(1);
  s.time_sync_time = 123456;
  EXPECT_FALSE(time_sync_due(s, 12, 34, 56));
  s.time_sync = 1;
  EXPECT_TRUE(time_sync_due(s, 12, 34, 56));
  EXPECT_FALSE(time_sync_due(s, 12, 34, 57));
}
