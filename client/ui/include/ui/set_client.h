// The local settings page "本地设置" and the weekly plan editor "本地录像计划表".
// The rules live in model::store_settings and model::PlanEditor; these classes
// only move the fields in and the results out.
//
// objectNames of the page's widgets (tests and the screenshot program use them):
//   QCheckBox   "cyclePlay", "hardwareDecoding", "autoRecord", "cyclicRecord",
//               "motionRecord", "motionPopup", "alarmSound", "switchRecord",
//               "occlusionRecord", "preRecord", "timeSync"
//   QLineEdit   "cycleTime", "packTime", "alarmDuration", "switchTime",
//               "occlusionTime", "preRecordTime" (numbers), "alarmSoundFile",
//               "downloadFolder", "snapshotFolder", "logFolder"
//   QRadioButton "switchD1", "switchCif", "occlusionD1", "occlusionCif"
//   QComboBox   "startDrive", "endDrive"
//   QTimeEdit   "timeSyncTime"
//   QPushButton "planButton" ("时间设置"), "alarmSoundBrowse", "downloadBrowse",
//               "snapshotBrowse", "logBrowse" ("浏览"), "ok" ("确定")
// The plan editor's: "day", "copyTarget" (QComboBox); "startHour1".."startHour4",
// "startMinute1".., "endHour1".., "endMinute1".. (QLineEdit); "ok" ("确定"),
// "cancel" ("退出"), "copy" ("复制").
#pragma once

#include <QDialog>
#include <QString>
#include <QWidget>

#include <array>
#include <functional>
#include <utility>

#include "model/client_state.h"
#include "model/settings_page.h"

class QCheckBox;
class QComboBox;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QTimeEdit;

namespace ui {

class CSetClient : public QWidget {
  Q_OBJECT

 public:
  // The folder browser: a folder or empty when cancelled. start is where it opens.
  using FolderChooser =
      std::function<QString(QWidget* parent, const QString& title, const QString& start)>;
  // The sound file chooser: a file or empty when cancelled.
  using FileChooser = std::function<QString(QWidget* parent, const QString& title,
                                            const QString& start, const QString& filter)>;

  CSetClient(model::ClientState& state, model::MessageSink& messages, QWidget* parent = nullptr);

  // The hardware-decoding change of the stores since the page opened: 1 on,
  // 2 off, 0 unchanged.
  int HardwareChange() const { return hardware_change_; }

  // QFileDialog unless replaced (tests).
  void SetFolderChooser(FolderChooser chooser) { choose_folder_ = std::move(chooser); }
  void SetFileChooser(FileChooser chooser) { choose_file_ = std::move(chooser); }

  // "确定": true when the settings were stored and written.
  bool OnOK();
  // "时间设置": the plan editor, modal.
  void OnPlan();

 private:
  QLineEdit* number_edit(const char* name);
  QPushButton* browse_button(const char* name);
  void load(const model::ClientSettings& s);
  model::ClientSettings read_form() const;
  void update_enabling();
  void browse_folder(QLineEdit* edit);
  void browse_sound();

  model::ClientState& state_;
  model::MessageSink& messages_;
  int hardware_change_ = 0;
  FolderChooser choose_folder_;
  FileChooser choose_file_;

  QCheckBox* cycle_play_;
  QLineEdit* cycle_time_;
  QCheckBox* hardware_;
  QCheckBox* auto_record_;
  QPushButton* plan_;
  QCheckBox* cyclic_record_;
  QComboBox* start_drive_;
  QComboBox* end_drive_;
  QLineEdit* pack_time_;
  QCheckBox* pre_record_;
  QLineEdit* pre_record_time_;
  QCheckBox* motion_record_;
  QCheckBox* motion_popup_;
  QLineEdit* alarm_duration_;
  QCheckBox* alarm_sound_;
  QLineEdit* alarm_sound_file_;
  QPushButton* alarm_sound_browse_;
  QCheckBox* switch_record_;
  QRadioButton* switch_d1_;
  QRadioButton* switch_cif_;
  QLineEdit* switch_time_;
  QCheckBox* occlusion_record_;
  QRadioButton* occlusion_d1_;
  QRadioButton* occlusion_cif_;
  QLineEdit* occlusion_time_;
  QLineEdit* download_folder_;
  QLineEdit* snapshot_folder_;
  QLineEdit* log_folder_;
  QCheckBox* time_sync_;
  QTimeEdit* time_sync_time_;
  QPushButton* ok_;
  // Values the page has no control for (the reserved flag) come from here.
  model::ClientSettings opened_;
};

class CSetClientRecordPlan : public QDialog {
  Q_OBJECT

 public:
  // Edits plan in place: a stored day takes effect at once.
  CSetClientRecordPlan(model::WeeklyPlan& plan, model::MessageSink& messages,
                       QWidget* parent = nullptr);

  // "确定": stores the shown day; true when every segment passed.
  bool OnOK();
  // "复制"
  void OnCopy();
  bool Changed() const { return editor_.changed(); }

 private:
  void show_day(int day);

  model::PlanEditor editor_;
  QComboBox* day_;
  // Per segment: start hour, start minute, end hour, end minute.
  std::array<std::array<QLineEdit*, 4>, model::kSegmentsPerDay> fields_{};
  QComboBox* copy_target_;
  QPushButton* ok_;
  QPushButton* cancel_;
  QPushButton* copy_;
};

}  // namespace ui
