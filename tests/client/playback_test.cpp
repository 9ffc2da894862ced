// "回放" through its widgets, against a recording the live path made from the
// in-process simulator: search and its cancel, play, single-step, seeking,
// snapshots, the clip, the enlarged view, deletion and closing. The rules are
// tested in the model.
#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QProgressDialog>
#include <QPushButton>
#include <QRegularExpression>
#include <QScreen>
#include <QSlider>
#include <QTreeWidget>
#include <QWheelEvent>

#include <cmath>
#include <filesystem>
#include <memory>
#include <string>

#include "client_test_util.h"
#include "model/recording.h"
#include "model/zoom.h"
#include "model_test_util.h"
#include "platform/headless_window.h"
#include "platform/text.h"
#include "simulator.h"
#include "ui/playback.h"
#include "velmosdk.h"
#include "velmosdk_live.h"
#include "vidrane/vidrane.h"

namespace {

namespace fs = std::filesystem;
using client_test::pump_until;
using model_test::Recorder;
using model_test::TempDir;

constexpr char kDevice[] = "400000000001";
constexpr char kPhone[] = "13600000001";
constexpr char kPassword[] = "123456";
constexpr long kPort = ui::CLocalFilePlay::kPlayPort;

model::LocalTime now() {
  return model::SystemClock().local_now();
}

fs::path day_folder(const fs::path& drive, const model::LocalTime& t) {
  char day[16];
  std::snprintf(day, sizeof day, "%04d-%02d-%02d", t.year, t.month, t.day);
  return drive / model::kRecordFolderName / day;
}

// Today's file name of the device's channel 0 at the given time of day.
std::string file_name_at(int hour, int minute, int second) {
  model::LocalTime t = now();
  t.hour = hour;
  t.minute = minute;
  t.second = second;
  return platform::utf8_from_u16(model::record_file_name(model::record_key(u"400000000001"), 0, t));
}

class ClientPlayback : public ::testing::Test {
 protected:
  // A few seconds of channel 0, recorded once by the SDK as the panes do.
  static void SetUpTestSuite() {
    suite_dir_ = new TempDir;
    auto fleet = orvsim::parse_fleet(std::string("device ") + kDevice + " " + kPhone + " " +
                                     kPassword + "\nchannel 0 client-monitor-direct fps=25\n");
    ASSERT_TRUE(fleet.ok()) << fleet.error;
    orvsim::SimulatorOptions o;
    o.fleet = *fleet.fleet;
    orvsim::Simulator sim(std::move(o));
    ASSERT_TRUE(sim.start()) << sim.error();
    ASSERT_EQ(InitMonitClientSDK(), 1);
    const long login = Login("127.0.0.1", sim.http_port(), kDevice, kPhone, kPassword, "", 5);
    EXPECT_GE(login, 0) << _GetLastErrorCode();
    if (login >= 0) {
      platform::ScopedHeadlessWindow pane(176, 144);
      EXPECT_GE(RealPlay(login, 0, pane.hwnd()), 0);
      auto pictures = [&](std::size_t n) {
        return pane.window().wait_until([n](const auto& s) { return s.pictures >= n; }, 10000);
      };
      if (pictures(1)) {
        const model::LocalTime start = now();
        const fs::path folder = day_folder(suite_dir_->path(), start);
        fs::create_directories(folder);
        const fs::path file =
            folder / platform::utf8_from_u16(model::record_file_name(u"400000000001", 0, start));
        const std::size_t shown = pane.window().picture_count();
        EXPECT_EQ(StartLocalRecord(login, 0, platform::wide_from_utf8(file.string()).c_str()), 1);
        EXPECT_TRUE(pictures(shown + 110));
        EXPECT_EQ(StopLoacalRecord(login, 0), 1);
        if (fs::exists(file) && fs::file_size(file) > 0) recording_ = new fs::path(file);
      }
      StopRealPlay(login, 0);
      LogOut(login);
    }
    ReleaseMonitClientSDK();
    sim.stop();
  }
  static void TearDownTestSuite() {
    delete recording_;
    recording_ = nullptr;
    delete suite_dir_;
    suite_dir_ = nullptr;
  }

  void SetUp() override {
    drive_ = dir_.path() / "drive-c";
    fs::create_directories(drive_);
    state_.working_folder = dir_.path();
    state_.drives.drives = {{'C', drive_}};
    state_.drives.current = 0;
    state_.settings.start_drive = state_.settings.end_drive = 0;
    state_.settings.snapshot_folder = platform::u16_from_utf8((dir_.path() / "shots").string());
    auto& server = state_.servers.servers[0];
    server.name = u"east";
    server.device_id = u"400000000001";
    server.channel_count = 1;
    server.channels[0].channel_index = 0;
    dialog_ = std::make_unique<ui::CPlayBack>(state_, messages_);
    dialog_->show();
    page_ = dialog_->Page();
  }
  void TearDown() override { dialog_.reset(); }

  // The suite's recording under this test's drive; name: its file name.
  fs::path put_recording(const std::string& name = {}) {
    EXPECT_NE(recording_, nullptr) << "no recording was made";
    if (!recording_) return {};
    const fs::path folder = day_folder(drive_, now());
    fs::create_directories(folder);
    const fs::path to = folder / (name.empty() ? recording_->filename().string() : name);
    fs::copy_file(*recording_, to, fs::copy_options::overwrite_existing);
    return to;
  }

  template <typename W = QPushButton>
  W* child(const char* name) {
    auto* w = dialog_->findChild<W*>(QString::fromLatin1(name));
    EXPECT_NE(w, nullptr) << name;
    return w;
  }
  // "查找" for the first server and all its channels, to the end.
  void search() {
    child<QComboBox>("server")->setCurrentIndex(1);
    child("search")->click();
    ASSERT_TRUE(pump_until([&] { return !page_->Searching(); }));
    messages_.clear();
  }
  // Plays row 0 until pictures show.
  void play() {
    auto* list = child<QTreeWidget>("fileList");
    ASSERT_GT(list->topLevelItemCount(), 0);
    list->setCurrentItem(list->topLevelItem(0));
    child("play")->click();
    ASSERT_TRUE(page_->FileOpen());
    ASSERT_TRUE(
        pump_until([&] { return page_->Video()->Backend().pictures_received() > 0; }, 10000));
  }
  long frame() const { return Play264_GetCurrentFrameNum(kPort); }
  void double_click_video() {
    QWidget* v = page_->Video();
    const QPointF at(10, 10);
    QMouseEvent e(QEvent::MouseButtonDblClick, at, v->mapToGlobal(at), Qt::LeftButton,
                  Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(v, &e);
  }
  static void settle(int ms) {
    pump_until([] { return false; }, ms);
  }

  static inline TempDir* suite_dir_ = nullptr;
  static inline fs::path* recording_ = nullptr;
  TempDir dir_;
  fs::path drive_;
  model::ClientState state_;
  Recorder messages_;
  std::unique_ptr<ui::CPlayBack> dialog_;
  ui::CLocalFilePlay* page_ = nullptr;
};

TEST_F(ClientPlayback, SearchListsTheRecordingAndACancelledSearchListsWhatItFound) {
  EXPECT_EQ(dialog_->windowTitle(), QStringLiteral("回放"));
  EXPECT_EQ(dialog_->Tabs()->tabText(0), QStringLiteral("本地文件"));
  EXPECT_FALSE(child("play")->isEnabled());
  const fs::path file = put_recording();
  auto* server = child<QComboBox>("server");
  ASSERT_EQ(server->count(), 2);
  EXPECT_EQ(server->itemText(1), QStringLiteral("east"));
  server->setCurrentIndex(1);
  auto* channel = child<QComboBox>("channel");
  ASSERT_EQ(channel->count(), 2);
  EXPECT_EQ(channel->itemText(1), QStringLiteral("通道0"));
  channel->setCurrentIndex(1);
  child("search")->click();
  ASSERT_TRUE(pump_until([&] { return !page_->Searching(); }));
  auto* list = child<QTreeWidget>("fileList");
  ASSERT_EQ(list->topLevelItemCount(), 1);
  EXPECT_EQ(list->topLevelItem(0)->text(0), QString::fromStdString(file.string()));
  EXPECT_EQ(list->topLevelItem(0)->text(1), QStringLiteral("0"));
  EXPECT_EQ(list->topLevelItem(0)->text(2), QStringLiteral("正常"));
  EXPECT_EQ(messages_.texts(), std::vector<std::u16string>{u"文件查找结束!"});
  EXPECT_TRUE(child("play")->isEnabled());
  EXPECT_FALSE(child("stop")->isEnabled());

  // Many files: the search shows that it runs and can be ended early.
  constexpr int kFiles = 4000;
  for (int d = 0; d < 40; ++d) {
    const fs::path folder = drive_ / model::kRecordFolderName / ("x" + std::to_string(100 + d));
    fs::create_directories(folder);
    for (int i = 0; i < kFiles / 40; ++i) {
      const int k = d * 100 + i;
      model_test::write_file(folder / file_name_at(k / 3600 % 24, k / 60 % 60, k % 60), "");
    }
  }
  messages_.clear();
  channel->setCurrentIndex(0);
  auto* button = child("search");
  button->click();
  EXPECT_EQ(button->text(), QStringLiteral("停止查找"));
  EXPECT_TRUE(child<QLabel>("status")->text().startsWith(QStringLiteral("正在查找…")));
  EXPECT_EQ(list->topLevelItemCount(), 0);
  int shown = 0;
  pump_until(
      [&] {
        static const QRegularExpression count(QStringLiteral("已找到(\\d+)个文件"));
        const auto m = count.match(child<QLabel>("status")->text());
        if (m.hasMatch()) shown = m.captured(1).toInt();
        return shown > 0 || !page_->Searching();
      },
      10000);
  button->click();
  ASSERT_TRUE(pump_until([&] { return !page_->Searching(); }));
  EXPECT_EQ(messages_.texts(), std::vector<std::u16string>{u"文件查找结束!"});
  EXPECT_EQ(button->text(), QStringLiteral("查找"));
  EXPECT_TRUE(button->isEnabled());
  EXPECT_GE(list->topLevelItemCount(), shown);
  EXPECT_LE(list->topLevelItemCount(), kFiles + 1);
  EXPECT_EQ(static_cast<std::size_t>(list->topLevelItemCount()), page_->Rows().size());
}

TEST_F(ClientPlayback, PlayShowsPicturesStatusSoundSnapshotEnlargedViewAndStop) {
  put_recording();
  search();
  play();
  EXPECT_EQ(page_->State(), model::Transport::kPlaying);
  EXPECT_EQ(child("play")->toolTip(), QStringLiteral("暂停"));
  const QRegularExpression status(
      QStringLiteral("^\\d+/\\d+  \\d\\d:\\d\\d:\\d\\d/\\d\\d:\\d\\d:\\d\\d$"));
  EXPECT_TRUE(pump_until([&] { return status.match(child<QLabel>("status")->text()).hasMatch(); }));

  auto* sound = child("sound");
  EXPECT_TRUE(page_->SoundOn());
  EXPECT_EQ(sound->toolTip(), QStringLiteral("关闭声音"));
  sound->click();
  EXPECT_FALSE(page_->SoundOn());
  EXPECT_EQ(sound->toolTip(), QStringLiteral("开启声音"));

  // A snapshot while paused: the shown picture is written at once.
  child("play")->click();
  EXPECT_EQ(page_->State(), model::Transport::kPaused);
  EXPECT_EQ(child("play")->toolTip(), QStringLiteral("开始播放"));
  bool taken = false;
  QObject::connect(page_, &ui::CLocalFilePlay::snapshotTaken, [&](bool ok) { taken = ok; });
  child("snapshot")->click();
  ASSERT_TRUE(pump_until([&] { return taken; }, 5000));
  std::vector<fs::path> shots;
  for (const auto& e : fs::directory_iterator(dir_.path() / "shots")) shots.push_back(e.path());
  ASSERT_EQ(shots.size(), 1u);
  EXPECT_EQ(shots[0].filename().string().rfind("Picture_400000000001_00_", 0), 0u);
  EXPECT_GT(fs::file_size(shots[0]), 54u);
  EXPECT_EQ(child<QLabel>("snapshotMessage")->text(),
            QStringLiteral("抓图成功 %1!").arg(QString::fromStdString(shots[0].string())));

  // The enlarged view covers the window, which covers the screen but 30 px.
  const QRect normal = dialog_->geometry();
  double_click_video();
  ASSERT_TRUE(page_->Enlarged());
  EXPECT_FALSE(child<QTreeWidget>("fileList")->isVisible());
  EXPECT_FALSE(child("exit")->isVisible());
  const QRect screen = dialog_->screen()->geometry();
  EXPECT_EQ(dialog_->geometry(), screen.adjusted(30, 30, -30, -30));
  settle(100);
  EXPECT_GE(page_->Video()->width(), dialog_->width() - 8);
  EXPECT_GE(page_->Video()->height(), dialog_->height() - 8);
  double_click_video();
  EXPECT_FALSE(page_->Enlarged());
  EXPECT_TRUE(child<QTreeWidget>("fileList")->isVisible());
  EXPECT_EQ(dialog_->geometry(), normal);

  child("stop")->click();
  EXPECT_FALSE(page_->FileOpen());
  EXPECT_EQ(page_->State(), model::Transport::kStopped);
  EXPECT_EQ(child("play")->toolTip(), QStringLiteral("播放"));
  EXPECT_TRUE(child<QLabel>("status")->text().isEmpty());
  EXPECT_EQ(child<QSlider>("progress")->value(), 0);
  EXPECT_FALSE(child<QSlider>("progress")->isEnabled());
  EXPECT_FALSE(child("frameBack")->isEnabled());
  EXPECT_EQ(Play264_Pause(kPort, 0), 0);  // nothing open on the port
  // Double clicks without a file do nothing.
  double_click_video();
  EXPECT_FALSE(page_->Enlarged());
  EXPECT_TRUE(messages_.shown.empty());
}

TEST_F(ClientPlayback, TheWheelZoomsAroundTheCursorADragPansAndTheKeysOrStopReset) {
  put_recording();
  search();
  play();
  child("play")->click();  // paused: one picture to compare
  settle(300);
  ui::CPlayVideo* video = page_->Video();
  const ui::ZoomControl& zoom = video->Zoom();
  const double w = video->width();
  const double h = video->height();
  auto wheel = [&](QPointF at, int delta) {
    QWheelEvent e(at, video->mapToGlobal(at), QPoint(), QPoint(0, delta), Qt::NoButton,
                  Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(video, &e);
  };
  auto mouse = [&](QEvent::Type type, QPointF at, Qt::MouseButton button, Qt::MouseButtons held) {
    QMouseEvent e(type, at, video->mapToGlobal(at), button, held, Qt::NoModifier);
    QApplication::sendEvent(video, &e);
  };
  auto key = [&](int k) {
    QKeyEvent e(QEvent::KeyPress, k, Qt::NoModifier);
    QApplication::sendEvent(video, &e);
  };
  auto same = [](const model::ZoomView& a, const model::ZoomView& b) {
    return std::abs(a.scale - b.scale) < 1e-9 && std::abs(a.cx - b.cx) < 1e-9 &&
           std::abs(a.cy - b.cy) < 1e-9;
  };

  // Unzoomed, a press is the widget's own.
  mouse(QEvent::MouseButtonPress, {50, 50}, Qt::LeftButton, Qt::LeftButton);
  EXPECT_FALSE(zoom.Panning());
  mouse(QEvent::MouseButtonRelease, {50, 50}, Qt::LeftButton, Qt::NoButton);
  const QImage whole = video->grab().toImage();

  const QPointF at(w * 0.25, h * 0.7);
  wheel(at, 240);
  wheel(at, 60);  // half a notch
  model::ZoomView expected = model::zoom_at({}, at.x(), at.y(), w, h, 2);
  expected = model::zoom_at(expected, at.x(), at.y(), w, h, 0.5);
  EXPECT_TRUE(same(zoom.View(), expected)) << zoom.View().scale;
  EXPECT_TRUE(zoom.Zoomed());
  EXPECT_NE(video->grab().toImage(), whole) << "the zoom is not painted";

  // A drag moves the picture with the mouse.
  mouse(QEvent::MouseButtonPress, {200, 150}, Qt::LeftButton, Qt::LeftButton);
  EXPECT_TRUE(zoom.Panning());
  mouse(QEvent::MouseMove, {230, 130}, Qt::NoButton, Qt::LeftButton);
  mouse(QEvent::MouseMove, {260, 170}, Qt::NoButton, Qt::LeftButton);
  mouse(QEvent::MouseButtonRelease, {260, 170}, Qt::LeftButton, Qt::NoButton);
  EXPECT_FALSE(zoom.Panning());
  expected = model::pan(expected, 60, 20, w, h);
  EXPECT_TRUE(same(zoom.View(), expected)) << zoom.View().cx << " " << zoom.View().cy;

  key(Qt::Key_0);
  EXPECT_FALSE(zoom.Zoomed());
  EXPECT_EQ(video->grab().toImage(), whole);

  // Escape while zoomed shows the whole picture and leaves the window open.
  wheel(at, 120);
  ASSERT_TRUE(zoom.Zoomed());
  video->setFocus();
  QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
  QApplication::sendEvent(video, &escape);
  EXPECT_FALSE(zoom.Zoomed());
  EXPECT_TRUE(dialog_->isVisible());

  // Double clicks keep their meaning while zoomed.
  wheel(at, 120);
  double_click_video();
  EXPECT_TRUE(page_->Enlarged());
  double_click_video();
  EXPECT_FALSE(page_->Enlarged());

  video->Clear();
  EXPECT_FALSE(zoom.Zoomed());
  wheel(at, 120);
  child("stop")->click();
  EXPECT_FALSE(zoom.Zoomed());
  EXPECT_TRUE(messages_.shown.empty());
}

TEST_F(ClientPlayback, FrameSteppingEntersSingleStepAndSeekingHasADeadBand) {
  put_recording();
  search();
  play();
  child("play")->click();  // paused
  auto* progress = child<QSlider>("progress");
  progress->setValue(50);
  EXPECT_EQ(page_->LastPosition(), 50);
  settle(600);
  const long seeked = frame();  // an IDR picture: the seek goes to one

  auto* forward = child("frameForward");
  forward->click();
  EXPECT_EQ(page_->State(), model::Transport::kSingleStep);
  EXPECT_EQ(child("play")->toolTip(), QStringLiteral("开始播放"));
  forward->click();
  ASSERT_TRUE(pump_until([&] { return frame() == seeked + 2; }, 5000)) << frame();
  ASSERT_TRUE(pump_until([&] { return child("frameBack")->isEnabled(); }, 5000));
  child("frameBack")->click();
  ASSERT_TRUE(pump_until([&] { return frame() == seeked + 1; }, 5000)) << frame();
  EXPECT_EQ(page_->State(), model::Transport::kSingleStep);

  // The progress timer has settled the last position on the played time.
  settle(1200);
  const int last = page_->LastPosition();
  progress->setValue(last + 2);
  settle(600);
  EXPECT_EQ(frame(), seeked + 1) << "a move of 2 steps seeked";
  progress->setValue(last + 3);
  EXPECT_TRUE(pump_until([&] { return frame() != seeked + 1; }, 5000)) << "no seek";

  child("play")->click();  // single-step ends
  EXPECT_EQ(page_->State(), model::Transport::kPlaying);
  EXPECT_TRUE(messages_.shown.empty());
}

TEST_F(ClientPlayback, ClipFromThePlayingFilePlaysOnItsOwn) {
  put_recording();
  search();
  play();
  auto* start = child("clipStart");
  auto* end = child("clipEnd");
  EXPECT_FALSE(end->isEnabled());
  start->click();
  EXPECT_FALSE(start->isEnabled());
  EXPECT_TRUE(end->isEnabled());
  const long from = frame();
  ASSERT_TRUE(pump_until([&] { return frame() >= from + 40; }, 10000));

  QString folder;
  QString answer;
  page_->SetSavePathChooser([&](QWidget*, const QString& f) {
    folder = f;
    return answer;
  });
  end->click();  // cancelled: still clipping
  EXPECT_EQ(folder.toStdString(), (drive_ / "H264_MyClip").string());
  EXPECT_TRUE(fs::is_directory(drive_ / "H264_MyClip"));
  EXPECT_TRUE(end->isEnabled());

  const fs::path target = drive_ / "H264_MyClip" / "MyClip.264";
  model_test::write_file(target, "old");
  answer = QString::fromStdString(target.string());
  messages_.answers = {model::Answer::kCancel};
  end->click();  // the existing file is kept
  EXPECT_EQ(model_test::read_file(target), "old");
  EXPECT_TRUE(end->isEnabled());
  end->click();
  ASSERT_EQ(messages_.shown.size(), 2u);
  EXPECT_EQ(messages_.shown[1].text, u"该文件已存在，是否覆盖原来的文件?");
  EXPECT_EQ(messages_.shown[1].caption, u"系统提示");
  EXPECT_TRUE(start->isEnabled());
  EXPECT_FALSE(end->isEnabled());
  child("stop")->click();

  constexpr long kOther = 21;
  ASSERT_EQ(Play264_OpenFile(kOther, target.c_str()), 1);
  EXPECT_GT(Play264_GetFileTime(kOther), 0);
  EXPECT_GE(Play264_GetFileTotalFrames(kOther), 40);
  platform::ScopedHeadlessWindow window(176, 144);
  ASSERT_EQ(Play264_Play(kOther, window.hwnd()), 1);
  EXPECT_TRUE(window.window().wait_until([](const auto& s) { return s.pictures >= 10; }, 10000));
  Play264_Stop(kOther);
  Play264_CloseFile(kOther);
}

TEST_F(ClientPlayback, ExportMp4WritesTheSelectedFileAndSaysHowItWent) {
  const fs::path file = put_recording();
  search();
  auto* button = child("exportMp4");
  EXPECT_EQ(button->text(), QStringLiteral("导出MP4"));
  EXPECT_FALSE(button->isEnabled());
  auto* list = child<QTreeWidget>("fileList");
  ASSERT_EQ(list->topLevelItemCount(), 1);
  list->setCurrentItem(list->topLevelItem(0));
  ASSERT_TRUE(button->isEnabled());

  QString suggested;
  QString answer;
  page_->SetExportPathChooser([&](const QString& s) {
    suggested = s;
    return answer;
  });
  button->click();  // cancelled: nothing runs
  fs::path expected = file;
  expected.replace_extension(".mp4");
  EXPECT_EQ(suggested.toStdString(), expected.string());
  EXPECT_FALSE(page_->Exporting());

  const fs::path target = dir_.path() / "导出.mp4";
  model_test::write_file(target, "old");
  answer = QString::fromStdString(target.string());
  messages_.answers = {model::Answer::kCancel};
  button->click();  // the existing file is kept
  EXPECT_EQ(model_test::read_file(target), "old");
  EXPECT_EQ(messages_.texts(), std::vector<std::u16string>{u"该文件已存在，是否覆盖原来的文件?"});
  messages_.clear();

  button->click();
  EXPECT_TRUE(page_->Exporting());
  EXPECT_FALSE(button->isEnabled());
  EXPECT_NE(dialog_->findChild<QProgressDialog*>(QStringLiteral("exportProgress")), nullptr);
  ASSERT_TRUE(pump_until([&] { return !page_->Exporting(); }, 20000));
  // The overwrite question again (answered OK), then the result.
  EXPECT_EQ(messages_.texts(), (std::vector<std::u16string>{
                                   u"该文件已存在，是否覆盖原来的文件?",
                                   u"导出完成：" + platform::u16_from_utf8(target.string())}));
  EXPECT_GT(fs::file_size(target), 1000u);
  EXPECT_TRUE(button->isEnabled());
  pump_until(
      [&] {
        return dialog_->findChild<QProgressDialog*>(QStringLiteral("exportProgress")) == nullptr;
      },
      2000);
  EXPECT_EQ(dialog_->findChild<QProgressDialog*>(QStringLiteral("exportProgress")), nullptr);

  // A file with no whole frame left fails and says why.
  model_test::write_file(file, std::string(3000, 'x'));
  messages_.clear();
  messages_.answers = {model::Answer::kOk};
  button->click();
  ASSERT_TRUE(pump_until([&] { return !page_->Exporting(); }, 20000));
  EXPECT_EQ(messages_.texts().back(), u"导出失败：文件中没有完整的视频帧");
  EXPECT_EQ(model_test::read_file(target).size(), fs::file_size(target));
  EXPECT_GT(fs::file_size(target), 1000u);  // the earlier export stays
}

TEST_F(ClientPlayback, AnEmptyFileSaysSoAndLeavesThePlayerClosed) {
  const fs::path folder = day_folder(drive_, now());
  fs::create_directories(folder);
  model_test::write_file(folder / file_name_at(8, 0, 0), "");
  search();
  child("play")->click();
  EXPECT_EQ(messages_.texts(), std::vector<std::u16string>{u"请选择要播放的文件!"});
  messages_.clear();
  auto* list = child<QTreeWidget>("fileList");
  list->setCurrentItem(list->topLevelItem(0));
  child("play")->click();
  EXPECT_EQ(messages_.texts(), std::vector<std::u16string>{u"文件大小为0!"});
  EXPECT_FALSE(page_->FileOpen());
  EXPECT_EQ(page_->State(), model::Transport::kStopped);
  EXPECT_EQ(Play264_Pause(kPort, 0), 0);
}

TEST_F(ClientPlayback, DeleteAllReportsTheFileItCannotDeleteAndDeletesTheOthers) {
  const fs::path first = put_recording(file_name_at(1, 0, 0));
  const fs::path stuck = put_recording(file_name_at(2, 0, 0));
  const fs::path last = put_recording(file_name_at(3, 0, 0));
  const fs::path single = put_recording(file_name_at(4, 0, 0));
  search();
  auto* list = child<QTreeWidget>("fileList");
  ASSERT_EQ(list->topLevelItemCount(), 4);

  // "删除" of the selected row.
  list->setCurrentItem(list->topLevelItem(3));
  child("delete")->click();
  EXPECT_FALSE(fs::exists(single));
  ASSERT_EQ(list->topLevelItemCount(), 3);
  EXPECT_EQ(messages_.shown.at(0).text, u"确定删除此文件吗?");
  EXPECT_EQ(messages_.shown.at(0).caption, u"警告");
  messages_.clear();

  // A folder with content where the second file was cannot be removed, not
  // even by root; the first file is playing.
  fs::remove(stuck);
  fs::create_directories(stuck / "held");
  play();
  child("deleteAll")->click();
  EXPECT_EQ(messages_.texts(),
            (std::vector<std::u16string>{
                u"确定删除所有文件吗?",
                u"不能删除文件:" + platform::u16_from_utf8(stuck.string()) + u"!"}));
  EXPECT_EQ(messages_.shown[0].caption, u"警告");
  EXPECT_FALSE(page_->FileOpen());
  EXPECT_FALSE(fs::exists(first));
  EXPECT_FALSE(fs::exists(last));
  ASSERT_EQ(list->topLevelItemCount(), 1);
  EXPECT_EQ(list->topLevelItem(0)->text(0), QString::fromStdString(stuck.string()));
}

TEST_F(ClientPlayback, ClosingTheWindowStopsThePlayer) {
  put_recording();
  search();
  play();
  child("exit")->click();
  EXPECT_FALSE(dialog_->isVisible());
  EXPECT_FALSE(page_->FileOpen());
  EXPECT_EQ(Play264_Pause(kPort, 0), 0);
  const auto pictures = page_->Video()->Backend().pictures_received();
  settle(300);
  EXPECT_EQ(page_->Video()->Backend().pictures_received(), pictures);
}

}  // namespace
