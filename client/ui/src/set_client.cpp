#include "ui/set_client.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QFileDialog>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpressionValidator>
#include <QTime>
#include <QTimeEdit>
#include <QVBoxLayout>

#include <tuple>
#include <utility>

#include "dialog_frame.h"
#include "model/config_files.h"
#include "ui/i18n.h"
#include "ui/message_box.h"

namespace ui {
namespace {

QCheckBox* make_check(QWidget* parent, const QString& text, const char* name) {
  return named(new QCheckBox(text, parent), name);
}

QRadioButton* make_radio(QWidget* parent, const QString& text, const char* name) {
  return named(new QRadioButton(text, parent), name);
}

QLineEdit* make_path(QWidget* parent, const char* name) {
  auto* edit = new QLineEdit(parent);
  edit->setObjectName(QString::fromLatin1(name));
  edit->setMinimumWidth(260);
  return edit;
}

QLabel* label(const QString& text) {
  return new QLabel(text);
}

// Numbers are typed as digits with an optional sign, so out-of-range values
// reach the model's checks; an empty field reads as 0.
int read_number(const QLineEdit* edit) {
  return model::line_number(edit->text().trimmed().toStdString());
}

void set_number(QLineEdit* edit, int value) {
  edit->setText(QString::number(value));
}

bool checked(const QCheckBox* box) {
  return box->isChecked();
}

QTime sync_time_of(std::int32_t stored) {
  const QTime t(stored / 10000, stored / 100 % 100, stored % 100);
  return t.isValid() ? t : QTime(0, 0, 0);
}

QString default_folder(QWidget* parent, const QString& title, const QString& start) {
  return QFileDialog::getExistingDirectory(parent, title, start, QFileDialog::ShowDirsOnly);
}

QString default_file(QWidget* parent, const QString& title, const QString& start,
                     const QString& filter) {
  return QFileDialog::getOpenFileName(parent, title, start, filter);
}

QString native(const std::filesystem::path& p) {
  return QString::fromStdString(p.string());
}

QGroupBox* group(QWidget* parent, const QString& title, QLayout* content) {
  auto* box = new QGroupBox(title, parent);
  box->setLayout(content);
  return box;
}

}  // namespace

CSetClient::CSetClient(model::ClientState& state, model::MessageSink& messages, QWidget* parent)
    : QWidget(parent),
      state_(state),
      messages_(messages),
      choose_folder_(default_folder),
      choose_file_(default_file),
      opened_(state.settings) {
  setObjectName(QStringLiteral("CSetClient"));

  cycle_play_ = make_check(this, tx("循环播放"), "cyclePlay");
  cycle_time_ = number_edit("cycleTime");
  hardware_ = make_check(this, tx("采用硬解压"), "hardwareDecoding");

  auto_record_ = make_check(this, tx("自动录像"), "autoRecord");
  plan_ = make_dialog_button(this, tx("时间设置"), "planButton");
  cyclic_record_ = make_check(this, tx("循环录像"), "cyclicRecord");
  start_drive_ = new QComboBox(this);
  start_drive_->setObjectName(QStringLiteral("startDrive"));
  end_drive_ = new QComboBox(this);
  end_drive_->setObjectName(QStringLiteral("endDrive"));
  for (const auto& d : state_.drives.drives) {
    const QString item = QStringLiteral("%1:\\").arg(QLatin1Char(d.letter));
    start_drive_->addItem(item);
    end_drive_->addItem(item);
  }
  pack_time_ = number_edit("packTime");
  pre_record_ = make_check(this, tx("启动预录"), "preRecord");
  pre_record_time_ = number_edit("preRecordTime");

  motion_record_ = make_check(this, tx("移动侦测报警录像"), "motionRecord");
  motion_popup_ = make_check(this, tx("移动侦测弹出窗口"), "motionPopup");
  alarm_duration_ = number_edit("alarmDuration");
  alarm_sound_ = make_check(this, tx("报警声音选择:"), "alarmSound");
  alarm_sound_file_ = make_path(this, "alarmSoundFile");
  alarm_sound_file_->setMinimumWidth(160);
  alarm_sound_browse_ = browse_button("alarmSoundBrowse");
  switch_record_ = make_check(this, tx("开关量报警时"), "switchRecord");
  switch_d1_ = make_radio(this, tx("D1显示"), "switchD1");
  switch_cif_ = make_radio(this, QStringLiteral("CIF"), "switchCif");
  switch_time_ = number_edit("switchTime");
  occlusion_record_ = make_check(this, tx("遮挡报警时"), "occlusionRecord");
  occlusion_d1_ = make_radio(this, tx("D1显示"), "occlusionD1");
  occlusion_cif_ = make_radio(this, QStringLiteral("CIF"), "occlusionCif");
  occlusion_time_ = number_edit("occlusionTime");
  // Each pair chooses on its own.
  for (auto pair : {std::pair{switch_d1_, switch_cif_}, std::pair{occlusion_d1_, occlusion_cif_}}) {
    auto* buttons = new QButtonGroup(this);
    buttons->addButton(pair.first);
    buttons->addButton(pair.second);
  }

  download_folder_ = make_path(this, "downloadFolder");
  snapshot_folder_ = make_path(this, "snapshotFolder");
  log_folder_ = make_path(this, "logFolder");
  auto* download_browse = browse_button("downloadBrowse");
  auto* snapshot_browse = browse_button("snapshotBrowse");
  auto* log_browse = browse_button("logBrowse");

  time_sync_ = make_check(this, tx("硬盘录像机校时"), "timeSync");
  time_sync_time_ = new QTimeEdit(this);
  time_sync_time_->setObjectName(QStringLiteral("timeSyncTime"));
  time_sync_time_->setDisplayFormat(QStringLiteral("HH:mm:ss"));
  time_sync_time_->setMinimumWidth(100);
  ok_ = make_dialog_button(this, tx("确定"), "ok");

  // ---- layout ----
  auto* play = new QGridLayout;
  play->addWidget(cycle_play_, 0, 0);
  play->addWidget(label(tx("循环播放时间")), 0, 1);
  play->addWidget(cycle_time_, 0, 2);
  play->addWidget(label(tx("秒")), 0, 3);
  play->addWidget(label(tx("（建议大于等于20秒）")), 1, 1, 1, 4, Qt::AlignLeft);
  play->addWidget(hardware_, 2, 0);
  play->setColumnStretch(4, 1);
  play->setRowStretch(3, 1);

  auto* record = new QGridLayout;
  record->addWidget(auto_record_, 0, 0);
  record->addWidget(plan_, 0, 1, Qt::AlignLeft);
  record->addWidget(cyclic_record_, 0, 2, 1, 2);
  record->addWidget(label(tx("录像起始驱动器")), 1, 0);
  record->addWidget(start_drive_, 1, 1);
  record->addWidget(label(tx("终止驱动器")), 1, 2, Qt::AlignRight);
  record->addWidget(end_drive_, 1, 3);
  record->addWidget(label(tx("文件打包时间")), 2, 0);
  record->addWidget(pack_time_, 2, 1);
  record->addWidget(label(tx("分钟")), 2, 2);
  record->addWidget(pre_record_, 3, 0);
  record->addWidget(label(tx("预录文件时间")), 3, 1, Qt::AlignRight);
  record->addWidget(pre_record_time_, 3, 2);
  record->addWidget(label(tx("秒")), 3, 3);
  record->setColumnStretch(4, 1);
  record->setRowStretch(4, 1);

  // Columns: the check box, the formats (or the pop-up box), a gap, the time
  // fields aligned under each other, then the free space.
  auto* alarm = new QGridLayout;
  alarm->addWidget(motion_record_, 0, 0);
  alarm->addWidget(motion_popup_, 0, 1, 1, 3);
  alarm->addWidget(label(tx("报警持续时间:")), 0, 5, Qt::AlignRight);
  alarm->addWidget(alarm_duration_, 0, 6);
  alarm->addWidget(label(tx("秒")), 0, 7);
  alarm->addWidget(alarm_sound_, 1, 0);
  auto* sound_row = new QHBoxLayout;
  sound_row->addWidget(alarm_sound_file_, 1);
  sound_row->addWidget(alarm_sound_browse_);
  alarm->addLayout(sound_row, 1, 1, 1, 8);
  int row = 2;
  for (auto [check, d1, cif, time] :
       {std::tuple{switch_record_, switch_d1_, switch_cif_, switch_time_},
        std::tuple{occlusion_record_, occlusion_d1_, occlusion_cif_, occlusion_time_}}) {
    alarm->addWidget(check, row, 0);
    alarm->addWidget(d1, row, 1);
    alarm->addWidget(cif, row, 2);
    alarm->addWidget(label(tx("录像")), row, 3);
    alarm->addWidget(label(tx("录像时间")), row, 5, Qt::AlignRight);
    alarm->addWidget(time, row, 6);
    alarm->addWidget(label(tx("秒")), row, 7);
    ++row;
  }
  alarm->setColumnMinimumWidth(4, 24);
  alarm->setColumnStretch(8, 1);

  auto* paths = new QGridLayout;
  row = 0;
  for (auto [caption, edit, browse] :
       {std::tuple{tx("远程文件下载保存路径"), download_folder_, download_browse},
        std::tuple{tx("图片抓取文件保存路径"), snapshot_folder_, snapshot_browse},
        std::tuple{tx("日志文件保存路径"), log_folder_, log_browse}}) {
    paths->addWidget(label(caption), row, 0);
    paths->addWidget(edit, row, 1);
    paths->addWidget(browse, row, 2);
    ++row;
  }
  paths->setColumnStretch(1, 1);

  auto* bottom = new QHBoxLayout;
  bottom->addWidget(time_sync_);
  bottom->addWidget(time_sync_time_);
  bottom->addStretch(1);
  bottom->addWidget(ok_);

  auto* top = new QHBoxLayout;
  top->addWidget(group(this, tx("播放设置"), play), 1);
  top->addWidget(group(this, tx("录像设置"), record), 1);

  auto* outer = new QVBoxLayout(this);
  outer->setContentsMargins(12, 10, 12, 10);
  outer->setSpacing(8);
  outer->addLayout(top);
  outer->addWidget(group(this, tx("报警设置"), alarm));
  outer->addWidget(group(this, tx("保存路径"), paths));
  outer->addStretch(1);
  outer->addLayout(bottom);

  // ---- signals ----
  for (QCheckBox* box : {cycle_play_, auto_record_, alarm_sound_, time_sync_})
    connect(box, &QCheckBox::toggled, this, &CSetClient::update_enabling);
  connect(plan_, &QPushButton::clicked, this, &CSetClient::OnPlan);
  connect(download_browse, &QPushButton::clicked, this,
          [this] { browse_folder(download_folder_); });
  connect(snapshot_browse, &QPushButton::clicked, this,
          [this] { browse_folder(snapshot_folder_); });
  connect(log_browse, &QPushButton::clicked, this, [this] { browse_folder(log_folder_); });
  connect(alarm_sound_browse_, &QPushButton::clicked, this, &CSetClient::browse_sound);
  connect(ok_, &QPushButton::clicked, this, &CSetClient::OnOK);

  load(state_.settings);
}

QLineEdit* CSetClient::number_edit(const char* name) {
  auto* edit = new QLineEdit(this);
  edit->setObjectName(QString::fromLatin1(name));
  edit->setValidator(
      new QRegularExpressionValidator(QRegularExpression(QStringLiteral("-?[0-9]{0,9}")), edit));
  edit->setFixedWidth(72);
  return edit;
}

QPushButton* CSetClient::browse_button(const char* name) {
  return make_dialog_button(this, tx("浏览"), name);
}

void CSetClient::load(const model::ClientSettings& s) {
  cycle_play_->setChecked(s.cycle_play == 1);
  set_number(cycle_time_, s.cycle_time);
  hardware_->setChecked(s.hardware_decoding == 1);
  auto_record_->setChecked(s.auto_record == 1);
  cyclic_record_->setChecked(s.cyclic_record == 1);
  // A stored index beyond the drives selects nothing.
  const int drives = start_drive_->count();
  start_drive_->setCurrentIndex(s.start_drive >= 0 && s.start_drive < drives ? s.start_drive : -1);
  end_drive_->setCurrentIndex(s.end_drive >= 0 && s.end_drive < drives ? s.end_drive : -1);
  set_number(pack_time_, s.pack_minutes);
  pre_record_->setChecked(s.pre_record == 1);
  set_number(pre_record_time_, s.pre_record_time);
  motion_record_->setChecked(s.motion_record == 1);
  motion_popup_->setChecked(s.motion_popup == 1);
  set_number(alarm_duration_, s.alarm_duration);
  alarm_sound_->setChecked(s.alarm_sound == 1);
  alarm_sound_file_->setText(qs(s.alarm_sound_file));
  switch_record_->setChecked(s.switch_record == 1);
  (s.switch_format == 1 ? switch_cif_ : switch_d1_)->setChecked(true);
  set_number(switch_time_, s.switch_time);
  occlusion_record_->setChecked(s.occlusion_record == 1);
  (s.occlusion_format == 1 ? occlusion_cif_ : occlusion_d1_)->setChecked(true);
  set_number(occlusion_time_, s.occlusion_time);
  download_folder_->setText(qs(s.download_folder));
  snapshot_folder_->setText(qs(s.snapshot_folder));
  log_folder_->setText(qs(s.log_folder));
  time_sync_->setChecked(s.time_sync == 1);
  time_sync_time_->setTime(sync_time_of(s.time_sync_time));
  update_enabling();
}

model::ClientSettings CSetClient::read_form() const {
  model::ClientSettings s = opened_;
  s.cycle_play = checked(cycle_play_);
  s.cycle_time = read_number(cycle_time_);
  s.hardware_decoding = checked(hardware_);
  s.auto_record = checked(auto_record_);
  s.cyclic_record = checked(cyclic_record_);
  // Without a selection (no such drive) the stored index stays.
  if (start_drive_->currentIndex() >= 0) s.start_drive = start_drive_->currentIndex();
  if (end_drive_->currentIndex() >= 0) s.end_drive = end_drive_->currentIndex();
  s.pack_minutes = read_number(pack_time_);
  s.pre_record = checked(pre_record_);
  s.pre_record_time = read_number(pre_record_time_);
  s.motion_record = checked(motion_record_);
  s.motion_popup = checked(motion_popup_);
  s.alarm_duration = read_number(alarm_duration_);
  s.alarm_sound = checked(alarm_sound_);
  s.alarm_sound_file = u16(alarm_sound_file_->text());
  s.switch_record = checked(switch_record_);
  s.switch_format = switch_cif_->isChecked() ? 1 : 0;
  s.switch_time = read_number(switch_time_);
  s.occlusion_record = checked(occlusion_record_);
  s.occlusion_format = occlusion_cif_->isChecked() ? 1 : 0;
  s.occlusion_time = read_number(occlusion_time_);
  s.download_folder = u16(download_folder_->text());
  s.snapshot_folder = u16(snapshot_folder_->text());
  s.log_folder = u16(log_folder_->text());
  s.time_sync = checked(time_sync_);
  return s;
}

void CSetClient::update_enabling() {
  cycle_time_->setEnabled(cycle_play_->isChecked());
  plan_->setEnabled(auto_record_->isChecked());
  alarm_sound_file_->setEnabled(alarm_sound_->isChecked());
  alarm_sound_browse_->setEnabled(alarm_sound_->isChecked());
  time_sync_time_->setEnabled(time_sync_->isChecked());
}

void CSetClient::browse_folder(QLineEdit* edit) {
  const auto& drives = state_.drives.drives;
  const auto start = model::path_from_text(u16(edit->text()), drives, state_.working_folder);
  const QString chosen = choose_folder_(this, tx("文件夹"), native(start));
  if (chosen.isEmpty()) return;
  edit->setText(qs(model::text_from_path(std::filesystem::path(chosen.toStdString()), drives)));
}

void CSetClient::browse_sound() {
  const auto& drives = state_.drives.drives;
  const auto current =
      model::path_from_text(u16(alarm_sound_file_->text()), drives, state_.working_folder);
  const QString chosen = choose_file_(this, tx("打开"), native(current),
                                      QStringLiteral("wav Files (*.wav);;All Files (*.*)"));
  if (chosen.isEmpty()) return;
  alarm_sound_file_->setText(
      qs(model::text_from_path(std::filesystem::path(chosen.toStdString()), drives)));
}

bool CSetClient::OnOK() {
  const model::ClientSettings form = read_form();
  const QTime t = time_sync_time_->time();
  const model::StoreResult r = model::store_settings(
      form, {t.hour(), t.minute(), t.second()}, state_.user.rights, state_.settings,
      state_.drives.drives, state_.working_folder, messages_);
  if (!r.stored) return false;
  if (r.hardware_change != 0) hardware_change_ = r.hardware_change;
  // The stored values as the model took them (a short cycle time became 5).
  opened_ = state_.settings;
  load(state_.settings);
  return true;
}

void CSetClient::OnPlan() {
  CSetClientRecordPlan editor(state_.settings.plan, messages_, this);
  editor.exec();
}

// ---- "本地录像计划表" ----

CSetClientRecordPlan::CSetClientRecordPlan(model::WeeklyPlan& plan, model::MessageSink& messages,
                                           QWidget* parent)
    : QDialog(parent), editor_(plan, messages) {
  setWindowTitle(tx("本地录像计划表"));

  day_ = new QComboBox(this);
  day_->setObjectName(QStringLiteral("day"));
  copy_target_ = new QComboBox(this);
  copy_target_->setObjectName(QStringLiteral("copyTarget"));
  for (int d = 0; d < model::kPlanDays; ++d) {
    day_->addItem(tx(model::plan_day_name(d)));
    copy_target_->addItem(tx(model::plan_day_name(d)));
  }
  copy_target_->addItem(tx("整个星期"));
  copy_target_->setCurrentIndex(model::PlanEditor::kWholeWeek);

  auto* grid = new QGridLayout;
  grid->setHorizontalSpacing(6);
  grid->setVerticalSpacing(10);
  auto* day_row = new QHBoxLayout;
  day_row->addWidget(label(tx("日期")));
  day_row->addWidget(day_);
  day_row->addStretch(1);
  grid->addLayout(day_row, 0, 0, 1, 10);
  grid->addWidget(label(tx("开始时间")), 1, 1, 1, 4, Qt::AlignCenter);
  grid->addWidget(label(tx("结束时间")), 1, 6, 1, 4, Qt::AlignCenter);
  static constexpr const char* kNames[4] = {"startHour", "startMinute", "endHour", "endMinute"};
  for (int k = 0; k < model::kSegmentsPerDay; ++k) {
    const int row = k + 2;
    grid->addWidget(label(tx("时间段%1").arg(k + 1)), row, 0);
    int column = 1;
    for (int f = 0; f < 4; ++f) {
      auto* edit = new QLineEdit(this);
      edit->setObjectName(QStringLiteral("%1%2").arg(QLatin1String(kNames[f])).arg(k + 1));
      edit->setValidator(new QRegularExpressionValidator(
          QRegularExpression(QStringLiteral("-?[0-9]{0,3}")), edit));
      edit->setFixedWidth(48);
      edit->setAlignment(Qt::AlignRight);
      fields_[k][f] = edit;
      grid->addWidget(edit, row, column++);
      grid->addWidget(label(f % 2 == 0 ? tx("时") : tx("分")), row, column++);
      if (f == 1) grid->addWidget(label(QStringLiteral("--")), row, column++, Qt::AlignCenter);
    }
  }
  grid->setColumnMinimumWidth(5, 28);

  ok_ = make_dialog_button(this, tx("确定"), "ok");
  cancel_ = make_dialog_button(this, tx("退出"), "cancel");
  copy_ = make_dialog_button(this, tx("复制"), "copy");
  copy_->setEnabled(false);
  ok_->setDefault(true);

  auto* copy_row = new QHBoxLayout;
  copy_row->addWidget(label(tx("复制该设置至")));
  copy_row->addWidget(copy_target_);
  copy_row->addWidget(copy_);
  copy_row->addStretch(1);

  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  buttons->addWidget(ok_);
  buttons->addWidget(cancel_);

  auto* outer = new QVBoxLayout(this);
  outer->setContentsMargins(24, 20, 24, 16);
  outer->addLayout(grid);
  outer->addSpacing(14);
  outer->addLayout(copy_row);
  outer->addSpacing(12);
  outer->addLayout(buttons);
  outer->setSizeConstraint(QLayout::SetFixedSize);

  connect(day_, &QComboBox::currentIndexChanged, this, &CSetClientRecordPlan::show_day);
  connect(ok_, &QPushButton::clicked, this, &CSetClientRecordPlan::OnOK);
  connect(cancel_, &QPushButton::clicked, this, &QDialog::reject);
  connect(copy_, &QPushButton::clicked, this, &CSetClientRecordPlan::OnCopy);
  show_day(0);
}

void CSetClientRecordPlan::show_day(int day) {
  const model::PlanEditor::DayFields values = editor_.load_day(day);
  for (int k = 0; k < model::kSegmentsPerDay; ++k)
    for (int f = 0; f < 4; ++f) set_number(fields_[k][f], values[k][f]);
}

bool CSetClientRecordPlan::OnOK() {
  model::PlanEditor::DayFields values{};
  for (int k = 0; k < model::kSegmentsPerDay; ++k)
    for (int f = 0; f < 4; ++f) values[k][f] = read_number(fields_[k][f]);
  const bool stored = editor_.store(day_->currentIndex(), values);
  copy_->setEnabled(editor_.copy_enabled());
  return stored;
}

void CSetClientRecordPlan::OnCopy() {
  editor_.copy(day_->currentIndex(), copy_target_->currentIndex());
}

}  // namespace ui
