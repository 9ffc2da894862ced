// The local settings page's and the plan editor's wiring: the check boxes
// drive the enabling, the fields reach the model, its answer decides what is
// stored. The rules are tested in the model.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTimeEdit>
#include <QTimer>

#include "client_test_util.h"
#include "model/config_files.h"
#include "model_test_util.h"
#include "ui/set_client.h"

using model_test::Recorder;
using model_test::TempDir;

namespace {

template <typename W = QLineEdit>
W* child(QWidget& parent, const QString& name) {
  auto* w = parent.findChild<W*>(name);
  EXPECT_NE(w, nullptr) << name.toStdString();
  return w;
}

struct SetClient : ::testing::Test {
  TempDir dir;
  model::ClientState state;
  Recorder messages;

  void SetUp() override {
    state.working_folder = dir.path();
    for (char l : {'C', 'D'}) {
      auto root = dir.path() / std::string(1, l);
      std::filesystem::create_directory(root);
      state.drives.drives.push_back({l, root});
    }
    state.settings = model::default_settings(2);
    state.user.rights = model::kAdministrator;
  }
  void click(QWidget& page, const char* name) { child<QPushButton>(page, name)->click(); }
};

}  // namespace

TEST_F(SetClient, OpensWithTheStoredValuesAndDriveItems) {
  state.settings.pack_minutes = 25;
  state.settings.end_drive = 1;
  state.settings.time_sync_time = 123456;
  state.settings.occlusion_format = 1;
  ui::CSetClient page(state, messages);
  EXPECT_EQ(child(page, "packTime")->text(), "25");
  auto* end = child<QComboBox>(page, "endDrive");
  ASSERT_EQ(end->count(), 2);
  EXPECT_EQ(end->itemText(0), "C:\\");
  EXPECT_EQ(end->currentIndex(), 1);
  EXPECT_EQ(child<QComboBox>(page, "startDrive")->currentIndex(), 0);
  EXPECT_EQ(child<QTimeEdit>(page, "timeSyncTime")->time(), QTime(12, 34, 56));
  EXPECT_TRUE(child<QRadioButton>(page, "occlusionCif")->isChecked());
  EXPECT_TRUE(child<QRadioButton>(page, "switchD1")->isChecked());
  EXPECT_EQ(child(page, "downloadFolder")->text(), "C:\\DownLoad");
}

TEST_F(SetClient, DependentControlsFollowTheirCheckBoxAtOnce) {
  ui::CSetClient page(state, messages);
  const std::vector<std::pair<const char*, std::vector<const char*>>> deps = {
      {"cyclePlay", {"cycleTime"}},
      {"autoRecord", {"planButton"}},
      {"alarmSound", {"alarmSoundFile", "alarmSoundBrowse"}},
      {"timeSync", {"timeSyncTime"}}};
  for (const auto& [box, dependents] : deps) {
    auto* check = child<QCheckBox>(page, box);
    for (bool on : {true, false, true}) {
      check->setChecked(on);
      for (const char* d : dependents) EXPECT_EQ(child<QWidget>(page, d)->isEnabled(), on) << d;
    }
  }
}

TEST_F(SetClient, OkStoresTheFormAndWritesTheFile) {
  state.settings.hardware_decoding = 0;
  ui::CSetClient page(state, messages);
  child(page, "packTime")->setText("15");
  child(page, "cycleTime")->setText("3");
  child<QCheckBox>(page, "hardwareDecoding")->setChecked(true);
  child<QComboBox>(page, "startDrive")->setCurrentIndex(1);
  child<QComboBox>(page, "endDrive")->setCurrentIndex(1);
  child<QRadioButton>(page, "switchCif")->setChecked(true);
  child<QTimeEdit>(page, "timeSyncTime")->setTime(QTime(1, 2, 3));
  click(page, "ok");
  EXPECT_TRUE(messages.shown.empty());
  EXPECT_EQ(page.HardwareChange(), 1);
  EXPECT_EQ(child(page, "cycleTime")->text(), "5");  // as stored
  model::ClientSettings back = model::default_settings(2);
  ASSERT_TRUE(model::read_client_cfg(dir.path(), back));
  EXPECT_EQ(back.pack_minutes, 15);
  EXPECT_EQ(back.start_drive, 1);
  EXPECT_EQ(back.switch_format, 1);
  EXPECT_EQ(back.time_sync_time, 10203);
  EXPECT_EQ(back, state.settings);
  // A later store without a change keeps the code for the main window.
  click(page, "ok");
  EXPECT_EQ(page.HardwareChange(), 1);
}

TEST_F(SetClient, RefusedValueKeepsTheInputAndStoresNothing) {
  ui::CSetClient page(state, messages);
  child(page, "preRecordTime")->setText("5");
  child(page, "packTime")->setText("30");
  click(page, "ok");
  EXPECT_EQ(messages.texts(), std::vector<std::u16string>{u"请输入一个介于10和1800之间的整数。"});
  EXPECT_EQ(child(page, "preRecordTime")->text(), "5");
  EXPECT_EQ(state.settings.pack_minutes, 60);
  EXPECT_FALSE(std::filesystem::exists(dir.path() / model::kClientFileName));

  state.user.rights = model::kBasicRights;
  messages.clear();
  child(page, "preRecordTime")->setText("60");
  click(page, "ok");
  EXPECT_EQ(messages.texts(), std::vector<std::u16string>{std::u16string(model::kNoRight)});
}

TEST_F(SetClient, BrowseButtonsReplaceThePathsWithTheChoice) {
  ui::CSetClient page(state, messages);
  QString title, start, filter;
  QString answer = QString::fromStdString((dir.path() / "D" / "图片").string());
  page.SetFolderChooser([&](QWidget*, const QString& t, const QString& s) {
    title = t;
    start = s;
    return answer;
  });
  page.SetFileChooser([&](QWidget*, const QString&, const QString&, const QString& f) {
    filter = f;
    return QString::fromStdString((dir.path() / "C" / "ring.wav").string());
  });
  click(page, "snapshotBrowse");
  EXPECT_EQ(title, "文件夹");
  EXPECT_EQ(start, QString::fromStdString((dir.path() / "C" / "Picture").string()));
  EXPECT_EQ(child(page, "snapshotFolder")->text(), "D:\\图片");
  answer.clear();  // cancelled
  click(page, "logBrowse");
  EXPECT_EQ(child(page, "logFolder")->text(), "C:\\EventLog");

  child<QCheckBox>(page, "alarmSound")->setChecked(true);
  click(page, "alarmSoundBrowse");
  EXPECT_EQ(filter, "wav Files (*.wav);;All Files (*.*)");
  EXPECT_EQ(child(page, "alarmSoundFile")->text(), "C:\\ring.wav");
}

TEST_F(SetClient, PlanButtonOpensTheEditorOnTheStoredPlan) {
  state.settings.auto_record = 1;
  state.settings.plan[0][1] = model::PlanSegment{7, 5, 8, 0, 705, 800};
  ui::CSetClient page(state, messages);
  QString caption, shown;
  QTimer::singleShot(0, [&] {
    QWidget* modal = QApplication::activeModalWidget();
    ASSERT_NE(modal, nullptr);
    caption = modal->windowTitle();
    shown = child(*modal, "startMinute2")->text();
    static_cast<QDialog*>(modal)->reject();
  });
  click(page, "planButton");
  EXPECT_EQ(caption, "本地录像计划表");
  EXPECT_EQ(shown, "5");
}

TEST_F(SetClient, PlanEditorFieldsReachThePlanAndEnableCopy) {
  model::WeeklyPlan& plan = state.settings.plan;
  plan[2][0] = model::PlanSegment{1, 0, 2, 30, 100, 230};
  ui::CSetClientRecordPlan editor(plan, messages);
  auto* day = child<QComboBox>(editor, "day");
  EXPECT_EQ(day->currentText(), "星期一");
  EXPECT_EQ(child<QComboBox>(editor, "copyTarget")->currentText(), "整个星期");
  auto* copy = child<QPushButton>(editor, "copy");
  EXPECT_FALSE(copy->isEnabled());

  day->setCurrentIndex(2);
  EXPECT_EQ(child(editor, "endMinute1")->text(), "30");
  // A refused hour stores nothing and leaves "复制" off.
  child(editor, "startHour2")->setText("-1");
  child<QPushButton>(editor, "ok")->click();
  EXPECT_EQ(messages.texts(), std::vector<std::u16string>{u"小时的范围在0 -- 24之间!"});
  EXPECT_FALSE(copy->isEnabled());

  for (auto [name, value] : {std::pair{"startHour2", "8"}, std::pair{"startMinute2", "15"},
                             std::pair{"endHour2", "24"}, std::pair{"endMinute2", ""}})
    child(editor, name)->setText(value);
  child<QPushButton>(editor, "ok")->click();
  EXPECT_EQ(plan[2][1], (model::PlanSegment{8, 15, 24, 0, 815, 2400}));
  EXPECT_EQ(plan[2][0].end, 230);
  EXPECT_TRUE(copy->isEnabled());
  EXPECT_TRUE(editor.Changed());

  copy->click();
  for (int d = 0; d < model::kPlanDays; ++d) EXPECT_EQ(plan[d], plan[2]) << d;
}
