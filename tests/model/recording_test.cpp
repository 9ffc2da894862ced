#include <gtest/gtest.h>

#include <map>

#include "model/recording.h"
#include "model_test_util.h"
#include "platform/text.h"

using namespace model;
using model_test::Recorder;
using model_test::TempDir;
using model_test::write_file;

namespace {

class FakeSpace : public SpaceSource {
 public:
  std::optional<std::uint64_t> available(const std::filesystem::path& root) override {
    auto it = free.find(root);
    if (it == free.end()) return std::nullopt;
    return it->second;
  }
  std::map<std::filesystem::path, std::uint64_t> free;
};

class FakePanes : public PaneRecorders {
 public:
  struct Pane {
    bool playing = false;
    bool recording = false;
    std::int64_t stop = 0;
  };
  explicit FakePanes(int n) : panes(static_cast<std::size_t>(n)) {}
  int pane_count() const override { return static_cast<int>(panes.size()); }
  bool playing(int i) const override { return panes[i].playing; }
  bool recording(int i) const override { return panes[i].recording; }
  std::int64_t record_stop_time(int i) const override { return panes[i].stop; }
  void start_recording(int i) override {
    panes[i].recording = true;
    log.push_back("start" + std::to_string(i));
  }
  void stop_recording(int i) override {
    panes[i].recording = false;
    log.push_back("stop" + std::to_string(i));
  }
  void restart_recording(int i) override { log.push_back("restart" + std::to_string(i)); }

  std::vector<Pane> panes;
  std::vector<std::string> log;
};

LocalTime at(int y, int mo, int d, int h, int mi, int s, int wd) {
  return LocalTime{y, mo, d, h, mi, s, wd};
}

constexpr std::uint64_t kLimit = kDriveSpaceThreshold;

struct ModelRecordingDrives : ::testing::Test {
  TempDir dir;
  FakeSpace space;
  RecordingDrives drives;
  ClientSettings settings = default_settings(0);
  FakePanes panes{4};
  EventLog log;
  Recorder messages;

  void add_drives(std::initializer_list<char> letters) {
    for (char l : letters) {
      auto root = dir.path() / std::string(1, l);
      std::filesystem::create_directory(root);
      drives.drives.push_back({l, root});
      space.free[root] = 0;
    }
    settings.start_drive = 0;
    settings.end_drive = static_cast<int>(drives.drives.size()) - 1;
  }
  void set_free(char l, std::uint64_t bytes) { space.free[dir.path() / std::string(1, l)] = bytes; }
  DiskCheckResult check() {
    return disk_space_check(drives, settings, space, panes, log, at(2026, 3, 2, 10, 0, 0, 1),
                            messages);
  }
};

}  // namespace

TEST_F(ModelRecordingDrives, ChoiceNeedsMoreThanTheThresholdWithinTheRange) {
  add_drives({'C', 'D', 'E'});
  set_free('C', kLimit);
  set_free('D', kLimit + 1);
  set_free('E', kLimit * 4);
  ASSERT_TRUE(choose_recording_drive(drives, settings, space));
  EXPECT_EQ(drives.current_drive()->letter, 'D');
  EXPECT_FALSE(drives.all_full);
  settings.start_drive = 2;
  ASSERT_TRUE(choose_recording_drive(drives, settings, space));
  EXPECT_EQ(drives.current, 2);
  set_free('E', 0);
  EXPECT_FALSE(choose_recording_drive(drives, settings, space));
  EXPECT_TRUE(drives.all_full);
  EXPECT_EQ(drives.current, 2);  // stays on the last drive chosen
  settings.start_drive = 9;      // out of the list: clamped, never read past it
  settings.end_drive = 12;
  EXPECT_FALSE(choose_recording_drive(drives, settings, space));
}

TEST_F(ModelRecordingDrives, FullDriveSwitchesToNextAndRestartsRecordings) {
  add_drives({'C', 'D'});
  set_free('C', kLimit);  // exactly the threshold: the check leaves it alone
  drives.current = 0;
  panes.panes[1] = {true, true, 0};
  panes.panes[2] = {true, false, 0};
  EXPECT_EQ(check().action, DiskAction::kEnoughSpace);
  set_free('C', kLimit - 1);
  set_free('D', kLimit + 1);
  auto r = check();
  EXPECT_EQ(r.action, DiskAction::kSwitchedDrive);
  EXPECT_TRUE(r.rearm);
  EXPECT_EQ(drives.current, 1);
  EXPECT_EQ(panes.log, std::vector<std::string>{"restart1"});
}

TEST_F(ModelRecordingDrives, AllFullWithoutCyclicRecordingStopsEverything) {
  add_drives({'C', 'D'});
  drives.current = 0;
  settings.auto_record = settings.motion_record = settings.switch_record = 1;
  panes.panes[0] = {true, true, 0};
  panes.panes[3] = {true, true, 0};
  auto r = check();
  EXPECT_EQ(r.action, DiskAction::kStoppedAll);
  EXPECT_FALSE(r.rearm);
  EXPECT_EQ(panes.log, (std::vector<std::string>{"stop0", "stop3"}));
  EXPECT_EQ(settings.auto_record, 0);
  EXPECT_EQ(settings.motion_record, 0);
  EXPECT_EQ(settings.switch_record, 0);
  EXPECT_EQ(messages.texts(),
            std::vector<std::u16string>{u"客户端录像硬盘驱动器已满，无法继续录像!"});
  EXPECT_TRUE(drives.all_full);
}

TEST_F(ModelRecordingDrives, CyclicRecordingOnOneDriveDeletesItsWholeTree) {
  add_drives({'C'});
  drives.current = 0;
  settings.cyclic_record = 1;
  const auto root = drives.drives[0].root;
  std::filesystem::create_directories(root / "H264record/2026-03-01");
  std::filesystem::create_directories(root / "H264record/alarm/2026-03-01");
  write_file(root / "H264record/2026-03-01/a_00_20260301_000000.264", "x");
  write_file(root / "H264record/alarm/2026-03-01/b.264", "y");
  write_file(root / "keep.txt", "z");
  // A link inside the tree is removed as a link; what it points at stays.
  std::filesystem::create_directory(dir.path() / "outside");
  write_file(dir.path() / "outside/precious.264", "p");
  std::filesystem::create_directory_symlink(dir.path() / "outside", root / "H264record/link");
  auto r = check();
  EXPECT_EQ(r.action, DiskAction::kDeletedRecordings);
  EXPECT_TRUE(r.rearm);
  EXPECT_FALSE(std::filesystem::exists(root / "H264record"));
  EXPECT_TRUE(std::filesystem::exists(root / "keep.txt"));
  EXPECT_TRUE(std::filesystem::exists(dir.path() / "outside/precious.264"));
  auto events = log.events();
  ASSERT_EQ(events.size(), 1u);
  EXPECT_EQ(events[0].text, u"删除文件C:\\H264record成功");
  EXPECT_EQ(events[0].time, u"2026-03-02 10:00:00");
  EXPECT_TRUE(messages.shown.empty());
}

TEST_F(ModelRecordingDrives, CyclicRecordingDeletesTheFollowingDriveWrapping) {
  add_drives({'C', 'D', 'E'});
  settings.cyclic_record = 1;
  for (auto& d : drives.drives) std::filesystem::create_directories(d.root / "H264record/x");
  drives.current = 1;
  check();
  EXPECT_FALSE(std::filesystem::exists(drives.drives[2].root / "H264record"));
  EXPECT_TRUE(std::filesystem::exists(drives.drives[0].root / "H264record"));
  drives.current = 2;
  check();
  EXPECT_FALSE(std::filesystem::exists(drives.drives[0].root / "H264record"));
  EXPECT_TRUE(std::filesystem::exists(drives.drives[1].root / "H264record"));
  EXPECT_EQ(log.events()[1].text, u"删除文件C:\\H264record成功");
}

TEST(ModelPlanCheck, EndMinuteIsExclusiveAndDayFollowsWeekday) {
  ClientSettings s = default_settings(1);
  s.auto_record = 1;
  s.plan[0][1] = PlanSegment{8, 0, 12, 0, 800, 1200};  // Monday, second segment
  FakePanes panes(3);
  panes.panes[0].playing = true;
  panes.panes[2] = {true, true, 0};
  EXPECT_TRUE(plan_matches(s.plan, at(2026, 3, 2, 8, 0, 0, 1)));
  EXPECT_TRUE(plan_matches(s.plan, at(2026, 3, 2, 11, 59, 59, 1)));
  EXPECT_FALSE(plan_matches(s.plan, at(2026, 3, 2, 12, 0, 0, 1)));
  EXPECT_FALSE(plan_matches(s.plan, at(2026, 3, 1, 9, 0, 0, 0)));  // Sunday
  EXPECT_EQ(plan_check(s, false, false, at(2026, 3, 2, 9, 0, 0, 1), panes), PlanAction::kStarted);
  EXPECT_EQ(panes.log, std::vector<std::string>{"start0"});
  panes.log.clear();
  EXPECT_EQ(plan_check(s, false, false, at(2026, 3, 2, 12, 0, 0, 1), panes), PlanAction::kStopped);
  EXPECT_EQ(panes.log, (std::vector<std::string>{"stop0", "stop2"}));
  panes.log.clear();
  EXPECT_EQ(plan_check(s, false, true, at(2026, 3, 2, 9, 0, 0, 1), panes), PlanAction::kNothing);
  EXPECT_EQ(plan_check(s, true, false, at(2026, 3, 2, 9, 0, 0, 1), panes), PlanAction::kNothing);
  s.auto_record = 0;
  EXPECT_EQ(plan_check(s, false, false, at(2026, 3, 2, 13, 0, 0, 1), panes), PlanAction::kNothing);
  EXPECT_TRUE(panes.log.empty());
  // A zero segment never matches, not even at midnight.
  EXPECT_FALSE(plan_matches(WeeklyPlan{}, at(2026, 3, 2, 0, 0, 0, 1)));
}

TEST(ModelFilePacking, RestartsFilesWhoseTimeHasCome) {
  FakePanes panes(3);
  panes.panes[0] = {true, true, record_stop_time(1000, 60)};
  panes.panes[1] = {true, true, record_stop_time(1000, 1)};
  panes.panes[2] = {true, false, 0};
  EXPECT_EQ(record_stop_time(1000, 1), 1060);
  EXPECT_TRUE(file_packing(1059, panes).empty());
  EXPECT_EQ(file_packing(1060, panes), std::vector<int>{1});
}

TEST_F(ModelRecordingDrives, RecordingFolderAndFileName) {
  add_drives({'C', 'D'});
  set_free('D', kLimit * 2);
  auto folder =
      prepare_recording_folder(drives, settings, space, at(2026, 3, 2, 10, 15, 30, 1), false);
  ASSERT_TRUE(folder);
  EXPECT_EQ(*folder, drives.drives[1].root / "H264record" / "2026-03-02");
  EXPECT_TRUE(std::filesystem::is_directory(*folder));
  EXPECT_EQ(record_file_name(u"860001", 2, at(2026, 3, 2, 10, 15, 30, 1)),
            u"860001_02_20260302_101530.264");
  auto alarm = prepare_recording_folder(drives, settings, space, at(2026, 3, 2, 0, 0, 0, 1), true);
  ASSERT_TRUE(alarm);
  EXPECT_EQ(*alarm, drives.drives[1].root / "H264record" / "alarm" / "2026-03-02");
  // A file where the folder should be makes the preparation fail.
  write_file(drives.drives[1].root / "H264record" / "2026-03-03", "");
  EXPECT_FALSE(
      prepare_recording_folder(drives, settings, space, at(2026, 3, 3, 0, 0, 0, 2), false));
  EXPECT_EQ(snapshot_file_name(u"10.0.0.1", 3, at(2026, 3, 2, 1, 2, 3, 1), 4567),
            u"Picture_10.0.0.1_03_20260302_010203_4567.bmp");
  EXPECT_EQ(record_key(u"../a/b"), u".._a_b");
  EXPECT_EQ(record_file_name(u"a/b", 2, at(2026, 3, 2, 10, 15, 30, 1)),
            u"a_b_02_20260302_101530.264");
  auto parts = parse_record_file_name(u"dev_7_02_20260302_101530.264");
  ASSERT_TRUE(parts);
  EXPECT_EQ(parts->key, u"dev_7");  // a key with "_" keeps it
  EXPECT_EQ(parts->channel, 2);
  EXPECT_EQ(parts->start, at(2026, 3, 2, 10, 15, 30, 0));
  EXPECT_FALSE(parse_record_file_name(u"dev_02_2026030_101530.264"));
  EXPECT_FALSE(parse_record_file_name(u"_02_20260302_101530.bmp"));
  EXPECT_FALSE(parse_record_file_name(u".264"));
  EXPECT_EQ(record_key(u".."), u"_..");
}

TEST_F(ModelRecordingDrives, SearchFindsFileStartedAtTheEndSecond) {
  add_drives({'C', 'D', 'E'});
  settings.end_drive = 1;  // E is outside the recording range
  auto put = [&](char drive, const char* day, const std::u16string& name) {
    auto folder = dir.path() / std::string(1, drive) / "H264record" / day;
    std::filesystem::create_directories(folder);
    write_file(folder / platform::utf8_from_u16(name), "frames");
  };
  put('C', "2026-03-02", record_file_name(u"860001", 2, at(2026, 3, 2, 10, 15, 30, 1)));
  put('C', "2026-03-02", record_file_name(u"860001", 2, at(2026, 3, 2, 10, 15, 31, 1)));
  put('C', "2026-03-02", record_file_name(u"860001", 3, at(2026, 3, 2, 9, 0, 0, 1)));
  put('C', "2026-03-01", record_file_name(u"860001", 2, at(2026, 3, 2, 8, 0, 0, 1)));
  put('C', "2026-03-02", record_file_name(u"860002", 2, at(2026, 3, 2, 9, 0, 0, 1)));
  put('D', "2026-03-02", record_file_name(u"860001", 2, at(2026, 3, 2, 10, 0, 0, 1)));
  put('E', "2026-03-02", record_file_name(u"860001", 2, at(2026, 3, 2, 10, 0, 0, 1)));
  std::filesystem::create_directories(dir.path() / "C" / "H264record" / "2026-03-02" / "sub.264");

  SearchRequest req{u"860001", 2, at(2026, 3, 2, 0, 0, 0, 1), at(2026, 3, 2, 10, 15, 30, 1)};
  auto rows = run_search(req, true, -1, drives, settings, messages);
  ASSERT_TRUE(rows);
  ASSERT_EQ(rows->size(), 3u);
  // Day folders in name order, then the next drive.
  EXPECT_EQ((*rows)[0].path.filename(), "860001_02_20260302_080000.264");
  EXPECT_EQ((*rows)[1].path.filename(), "860001_02_20260302_101530.264");
  EXPECT_EQ((*rows)[1].start, u"20260302 10:15:30");
  EXPECT_EQ((*rows)[1].channel, u"2");
  EXPECT_EQ((*rows)[1].type, u"正常");
  EXPECT_EQ((*rows)[2].path.parent_path().parent_path().parent_path(), drives.drives[1].root);
  EXPECT_EQ(messages.texts(), std::vector<std::u16string>{u"文件查找结束!"});

  req.channel = -1;
  rows = run_search(req, true, -1, drives, settings, messages);
  EXPECT_EQ(rows->size(), 4u);
  EXPECT_EQ((*rows)[0].channel, u"-1");
}

TEST_F(ModelRecordingDrives, SearchGuards) {
  add_drives({'C'});
  SearchRequest req{u"860001", 2, at(2026, 3, 2, 10, 0, 1, 1), at(2026, 3, 2, 10, 0, 0, 1)};
  EXPECT_FALSE(run_search(req, true, -1, drives, settings, messages));
  EXPECT_TRUE(messages.shown.empty());  // start later than end: nothing at all
  EXPECT_FALSE(run_search(req, true, 0x4007, drives, settings, messages));
  req.start = req.end;
  auto rows = run_search(req, false, -1, drives, settings, messages);
  ASSERT_TRUE(rows);
  EXPECT_TRUE(rows->empty());
  EXPECT_EQ(messages.texts(),
            (std::vector<std::u16string>{u"对不起,您无权限进行这项操作", u"请选择ORV!"}));
}

TEST(ModelPlayback, StatusLineAndSliderArithmetic) {
  EXPECT_EQ(playback_status(250, 9000, 3723, 7200), u"250/9000  01:02:03/02:00:00");
  EXPECT_EQ(playback_status(0, 0, 25 * 3600, 0), u"0/0  01:00:00/00:00:00");
  EXPECT_FALSE(seek_percent(52, 50));
  EXPECT_FALSE(seek_percent(48, 50));
  EXPECT_DOUBLE_EQ(*seek_percent(53, 50), 26.5);
  auto m = progress_slider(360, 7200, 5);
  EXPECT_TRUE(m.move);
  EXPECT_EQ(m.position, 11);  // 10, plus one for a forward move
  EXPECT_EQ(m.last, 10);
  EXPECT_FALSE(progress_slider(360, 7200, 10).move);
  EXPECT_EQ(progress_slider(0, 7200, 10).position, 0);
  EXPECT_FALSE(progress_slider(10, 0, 3).move);
}

TEST(ModelSystemSources, ClockAndDiskSpaceAnswer) {
  SystemClock clock;
  const LocalTime now = clock.local_now();
  EXPECT_GE(now.year, 2024);
  EXPECT_EQ(local_time_of(clock.seconds_now()).year, now.year);
  TempDir dir;
  DiskSpace space;
  EXPECT_TRUE(space.available(dir.path()));
  EXPECT_FALSE(space.available(dir.path() / "absent"));
}

TEST_F(ModelRecordingDrives, SearchUsesWriteTimeForOtherNames) {
  add_drives({'C'});
  auto folder = dir.path() / "C" / "H264record" / "day";
  std::filesystem::create_directories(folder);
  write_file(folder / "860001_02_copied.264", "x");
  SystemClock clock;
  const LocalTime now = clock.local_now();
  SearchRequest req{u"860001", 2, LocalTime{now.year - 1, 1, 1, 0, 0, 0, 0},
                    LocalTime{now.year + 1, 1, 1, 0, 0, 0, 0}};
  auto rows = search_recordings(req, drives, settings);
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0].start, rows[0].end);
}

TEST_F(ModelRecordingDrives, SearchReportsProgressAndEndsEarlyWhenCancelled) {
  add_drives({'C'});
  auto folder = dir.path() / "C" / "H264record" / "2026-03-02";
  std::filesystem::create_directories(folder);
  for (int s = 0; s < 5; ++s)
    write_file(folder / platform::utf8_from_u16(
                            record_file_name(u"860001", 1, at(2026, 3, 2, 9, 0, s, 1))),
               "x");
  SearchRequest req{u"860001", -1, at(2026, 3, 2, 0, 0, 0, 1), at(2026, 3, 2, 23, 59, 59, 1)};
  std::atomic<bool> cancel{false};
  std::vector<std::size_t> counts;
  auto rows = search_recordings(req, drives, settings, &cancel, [&](std::size_t n) {
    counts.push_back(n);
    if (n == 2) cancel = true;
  });
  ASSERT_EQ(rows.size(), 2u);  // the rows found before the cancel
  EXPECT_EQ(rows[1].path.filename(), "860001_01_20260302_090001.264");
  EXPECT_EQ(counts, (std::vector<std::size_t>{1, 2}));
  cancel = false;
  EXPECT_EQ(search_recordings(req, drives, settings, &cancel).size(), 5u);
  // The checks before the walk.
  EXPECT_EQ(begin_search(req, true, -1, messages), SearchStart::kSearch);
  EXPECT_EQ(begin_search(req, false, -1, messages), SearchStart::kNoServer);
  EXPECT_EQ(begin_search(req, true, 0, messages), SearchStart::kNothing);
  EXPECT_EQ(messages.texts(),
            (std::vector<std::u16string>{u"请选择ORV!", u"对不起,您无权限进行这项操作"}));
}

TEST(ModelPlayback, TransportStatesEnableTheControls) {
  struct Case {
    Transport state;
    bool index_ready, clipping;
    const char* enabled;  // play stop slow fast snapshot back forward sound progress volume clip
    const char16_t* play_tip;
  };
  const Case cases[] = {
      {Transport::kInitial, true, false, "000000000000", u"播放"},
      {Transport::kStopped, true, false, "100000000000", u"播放"},
      {Transport::kPlaying, false, false, "111110111110", u"暂停"},
      {Transport::kPlaying, true, true, "111111111101", u"暂停"},
      {Transport::kPaused, true, false, "111111111110", u"开始播放"},
      {Transport::kSingleStep, true, false, "111111111110", u"开始播放"},
  };
  for (const Case& c : cases) {
    const auto t = transport_controls(c.state, false, c.index_ready, c.clipping);
    std::string got;
    for (bool b : {t.play, t.stop, t.slow, t.fast, t.snapshot, t.frame_back, t.frame_forward,
                   t.sound, t.progress, t.volume, t.clip_start, t.clip_end})
      got += b ? '1' : '0';
    EXPECT_EQ(got, c.enabled) << static_cast<int>(c.state);
    EXPECT_EQ(t.play_tip, c.play_tip) << static_cast<int>(c.state);
  }
  EXPECT_EQ(transport_controls(Transport::kPlaying, true, true, false).sound_tip, u"关闭声音");
  EXPECT_EQ(transport_controls(Transport::kPlaying, false, true, false).sound_tip, u"开启声音");

  // Snapshots during playback are named after the record file.
  auto n = playback_snapshot_naming(u"dev_7_03_20260302_101530.264", -1);
  EXPECT_EQ(n.key, u"dev_7");
  EXPECT_EQ(n.channel, 3);
  n = playback_snapshot_naming(u"copied_file.264", -1);
  EXPECT_EQ(n.key, u"copied");
  EXPECT_EQ(n.channel, 0);
  EXPECT_EQ(playback_snapshot_naming(u"copied.264", 4).channel, 4);
}

TEST(ModelPlayback, DeletionAsksReportsEachFailureAndGoesOn) {
  std::vector<FileRow> rows(4);
  for (std::size_t i = 0; i < rows.size(); ++i) {
    rows[i].path = "f" + std::to_string(i);
    rows[i].name = u"X:\\f" + u16_number(static_cast<long long>(i));
  }
  std::vector<std::string> removed;
  auto remove = [&](const std::filesystem::path& p) {
    removed.push_back(p.string());
    return p != "f1" && p != "f2";
  };
  Recorder messages;
  EXPECT_EQ(delete_listed_files(rows, -1, messages, remove), (std::vector<std::size_t>{3, 0}));
  EXPECT_EQ(removed, (std::vector<std::string>{"f3", "f2", "f1", "f0"}));
  EXPECT_EQ(messages.texts(),
            (std::vector<std::u16string>{u"确定删除所有文件吗?", u"不能删除文件:X:\\f2!",
                                         u"不能删除文件:X:\\f1!"}));
  EXPECT_EQ(messages.shown[0].caption, u"警告");

  removed.clear();
  messages.clear();
  messages.answers = {Answer::kCancel};
  EXPECT_TRUE(delete_listed_files(rows, -1, messages, remove).empty());
  EXPECT_TRUE(delete_listed_files({}, -1, messages, remove).empty());  // nothing to ask
  EXPECT_TRUE(delete_listed_files(rows, 0x4007, messages, remove).empty());
  EXPECT_FALSE(delete_listed_file(&rows[0], 0x4007, messages, remove));
  EXPECT_FALSE(delete_listed_file(nullptr, -1, messages, remove));
  EXPECT_TRUE(removed.empty());
  EXPECT_EQ(messages.texts(),
            (std::vector<std::u16string>{u"确定删除所有文件吗?", u"对不起,您无权限进行这项操作",
                                         u"对不起,您无权限进行这项操作"}));

  messages.clear();
  EXPECT_TRUE(delete_listed_file(&rows[3], -1, messages, remove));
  EXPECT_FALSE(delete_listed_file(&rows[1], -1, messages, remove));
  EXPECT_EQ(messages.texts(),
            (std::vector<std::u16string>{u"确定删除此文件吗?", u"确定删除此文件吗?",
                                         u"不能删除文件:X:\\f1!"}));
  // A file already gone counts as deleted; a folder with content does not.
  TempDir dir;
  EXPECT_TRUE(remove_listed_file(dir.path() / "absent.264"));
  std::filesystem::create_directories(dir.path() / "full.264" / "x");
  EXPECT_FALSE(remove_listed_file(dir.path() / "full.264"));
}
