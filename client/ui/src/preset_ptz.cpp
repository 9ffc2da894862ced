#include "ui/preset_ptz.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QSpinBox>
#include <QTimer>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "dialog_frame.h"
#include "model/remote_config.h"
#include "platform/text.h"
#include "ui/i18n.h"
#include "ui/message_box.h"
#include "velmosdk.h"

namespace ui {
namespace {

QTreeWidget* make_list(QWidget* parent, const char* name, const QStringList& columns, int width) {
  auto* list = named(new QTreeWidget(parent), name);
  list->setHeaderLabels(columns);
  list->setRootIsDecorated(false);
  list->setAllColumnsShowFocus(true);
  list->setSelectionBehavior(QAbstractItemView::SelectRows);
  list->setSelectionMode(QAbstractItemView::SingleSelection);
  for (int i = 0; i < columns.size(); ++i) list->setColumnWidth(i, width);
  list->setFixedWidth(width * static_cast<int>(columns.size()) + 24);
  list->setMinimumHeight(220);
  return list;
}

QSpinBox* make_spin(QWidget* parent, const char* name, int low, int high, int value) {
  auto* spin = named(new QSpinBox(parent), name);
  spin->setRange(low, high);
  spin->setValue(value);
  spin->setMinimumWidth(90);
  return spin;
}

model::SaveAnswer ask_with_box(QWidget* parent, std::u16string_view text,
                               std::u16string_view caption) {
  QMessageBox box(parent);
  box.setWindowTitle(tx(caption));
  box.setText(tx(text));
  box.setIcon(QMessageBox::Question);
  box.setStandardButtons(QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
  box.button(QMessageBox::Yes)->setText(tx("是"));
  box.button(QMessageBox::No)->setText(tx("否"));
  box.button(QMessageBox::Cancel)->setText(tx("取消"));
  switch (box.exec()) {
    case QMessageBox::Yes:
      return model::SaveAnswer::kYes;
    case QMessageBox::No:
      return model::SaveAnswer::kNo;
    default:
      return model::SaveAnswer::kCancel;
  }
}

}  // namespace

CPresetPTZ::CPresetPTZ(model::ClientState& state, model::MessageSink& messages, QWidget* parent)
    : QDialog(parent), state_(state), messages_(messages) {
  setObjectName(QStringLiteral("CPresetPTZ"));
  setWindowTitle(tx("预置点及云台速度设置"));
  setModal(false);
  ptz_ = [](long login, long channel, int command, int a, int b, int c, int d) {
    return PtzControl(login, channel, command, a, b, c, d);
  };
  ask_ = [this](std::u16string_view text, std::u16string_view caption) {
    return ask_with_box(this, text, caption);
  };
  tour_timer_ = new QTimer(this);
  tour_timer_->setSingleShot(true);
  connect(tour_timer_, &QTimer::timeout, this, [this] { tour_step(); });
  build();
  editor_.open({}, model::kDefaultDecoderProtocol);
  refresh_presets();
  refresh_points();
}

CPresetPTZ::~CPresetPTZ() = default;

void CPresetPTZ::build() {
  auto button = [this](const char* text, const char* name, void (CPresetPTZ::*slot)()) {
    auto* b = named(new QPushButton(tx(text), this), name);
    b->setAutoDefault(false);
    connect(b, &QPushButton::clicked, this, slot);
    return b;
  };
  auto label = [this](const char* text) { return new QLabel(tx(text), this); };

  // Presets and the PTZ speed.
  presets_ = make_list(this, "presetList", {tx("预置点"), tx("名称")}, 100);
  connect(presets_, &QTreeWidget::itemClicked, this, [this] { on_preset_clicked(); });
  number_ = make_spin(this, "presetNumber", 1, model::kPresetEntries, 1);
  name_ = named(new QLineEdit(this), "presetName");
  name_->setMinimumWidth(150);
  speed_ = make_spin(this, "ptzSpeed", 0, 64, model::kDefaultPtzSpeed);

  auto* preset_form = new QGridLayout;
  preset_form->addWidget(label("编   号:"), 0, 0);
  preset_form->addWidget(number_, 0, 1, 1, 2);
  preset_form->addWidget(label("名   称:"), 1, 0);
  preset_form->addWidget(name_, 1, 1, 1, 2);
  preset_form->addWidget(button("设置", "setPreset", &CPresetPTZ::on_add_preset), 2, 1);
  preset_form->addWidget(button("删除", "deletePreset", &CPresetPTZ::on_remove_preset), 2, 2);
  preset_form->addWidget(button("修改名称", "renamePreset", &CPresetPTZ::on_rename_preset), 3, 1);
  preset_form->addWidget(button("跳至", "gotoPreset", &CPresetPTZ::on_goto_preset), 3, 2);
  preset_form->addWidget(label("云台速度:"), 4, 0);
  preset_form->addWidget(speed_, 4, 1);
  preset_form->addWidget(label("(0-63,推荐32)"), 4, 2);
  preset_form->addWidget(button("修改速度", "changeSpeed", &CPresetPTZ::on_speed), 5, 1);
  preset_form->setRowStretch(6, 1);

  auto* left = new QHBoxLayout;
  left->addWidget(presets_);
  left->addLayout(preset_form);

  // Cruise paths.
  path_ = named(new QComboBox(this), "pathCombo");
  for (int i = 0; i < model::kCruisePaths; ++i) path_->addItem(QString::number(i));
  connect(path_, &QComboBox::currentIndexChanged, this, [this](int i) { on_path(i); });
  points_ = make_list(this, "pointList", {tx("预置点"), tx("速度"), tx("停留时间")}, 80);
  connect(points_, &QTreeWidget::itemSelectionChanged, this, [this] {
    auto* item = points_->currentItem();
    editor_.select_point(item && item->isSelected() ? points_->indexOfTopLevelItem(item) : -1);
    refresh_buttons();
  });
  point_ = named(new QComboBox(this), "pointCombo");
  point_->setMinimumWidth(90);
  dwell_ = make_spin(this, "dwell", model::kMinDwell, model::kMaxDwell, model::kMinDwell);
  point_speed_ = make_spin(this, "pointSpeed", 0, 255, 3);
  point_speed_label_ = named(new QLabel(this), "pointSpeedRange");
  point_speed_label_->setMinimumWidth(
      point_speed_label_->fontMetrics().horizontalAdvance(QStringLiteral("(3~255)")) + 8);

  auto* cruise_form = new QGridLayout;
  cruise_form->addWidget(label("巡航点:"), 0, 0);
  cruise_form->addWidget(point_, 0, 1);
  cruise_form->addWidget(label("停   留:"), 1, 0);
  cruise_form->addWidget(dwell_, 1, 1);
  cruise_form->addWidget(label("(3~255s)"), 1, 2);
  cruise_form->addWidget(label("速   度:"), 2, 0);
  cruise_form->addWidget(point_speed_, 2, 1);
  cruise_form->addWidget(point_speed_label_, 2, 2);
  cruise_form->addWidget(button("添加", "addPoint", &CPresetPTZ::on_add_point), 3, 1);
  remove_point_ = button("删除点", "deletePoint", &CPresetPTZ::on_remove_point);
  cruise_form->addWidget(remove_point_, 3, 2);
  cruise_form->addWidget(button("清空路径", "clearPath", &CPresetPTZ::on_clear_path), 4, 1);
  finish_ = button("完成", "finishPath", &CPresetPTZ::on_finish);
  cruise_form->addWidget(finish_, 4, 2);
  run_ = button("运行", "runPath", &CPresetPTZ::on_run);
  cruise_form->addWidget(run_, 5, 1);
  stop_ = button("停止", "stopPath", &CPresetPTZ::on_stop);
  cruise_form->addWidget(stop_, 5, 2);
  cruise_form->setRowStretch(6, 1);

  auto* path_row = new QHBoxLayout;
  path_row->addWidget(label("巡航路径:"));
  path_row->addWidget(path_);
  path_row->addStretch(1);
  auto* cruise_left = new QVBoxLayout;
  cruise_left->addLayout(path_row);
  cruise_left->addWidget(points_);
  auto* right = new QHBoxLayout;
  right->addLayout(cruise_left);
  right->addLayout(cruise_form);

  auto* body = new QHBoxLayout;
  body->addLayout(left);
  body->addSpacing(16);
  body->addLayout(right);

  auto* bottom = new QHBoxLayout;
  bottom->addStretch(1);
  bottom->addWidget(button("保存", "savePresets", &CPresetPTZ::on_save));

  auto* top = new QVBoxLayout(this);
  top->addLayout(body);
  top->addLayout(bottom);
  top->setSizeConstraint(QLayout::SetFixedSize);
}

void CPresetPTZ::Open(CMyOutput* pane) {
  stop_tour();
  pane_ = pane;
  login_ = pane ? pane->LoginHandle() : -1;
  channel_ = pane ? pane->Channel() : -1;
  int protocol = model::kDefaultDecoderProtocol;
  std::u16string device_id;
  {
    std::lock_guard lock(state_.table_mutex);
    for (const auto& s : state_.servers.servers) {
      if (!s.used()) break;
      if (login_ < 0 || s.login_handle != login_) continue;
      device_id = s.device_id;
      for (const auto& c : s.channels)
        if (c.channel_index == channel_ && c.decoder_type_index >= 0 &&
            static_cast<std::size_t>(c.decoder_type_index) < model::decoder_type_items().size())
          protocol = c.decoder_type_index;
      break;
    }
  }
  // Without a device id there is no file to keep the presets in.
  file_.clear();
  if (!device_id.empty() && channel_ >= 0)
    file_ = state_.working_folder /
            platform::utf8_from_u16(model::preset_file_name(device_id, channel_));
  editor_.open(file_.empty() ? model::PresetBlock{} : model::read_preset_file(file_), protocol);

  point_speed_->setRange(editor_.min_point_speed(), editor_.max_point_speed());
  point_speed_->setValue(3);
  point_speed_label_->setText(qs(editor_.point_speed_label()));
  dwell_->setValue(model::kMinDwell);
  speed_->setValue(pane ? pane->TakePtzSpeed() : model::kDefaultPtzSpeed);
  number_->setValue(1);
  name_->clear();
  {
    const QSignalBlocker block(path_);
    path_->setCurrentIndex(0);
  }
  refresh_presets();
  refresh_points();
}

bool CPresetPTZ::Touring() const {
  return tour_.has_value();
}

void CPresetPTZ::refresh_presets() {
  presets_->clear();
  for (const auto& row : editor_.preset_rows()) {
    auto* item = new QTreeWidgetItem({QString::number(row.number), qs(row.name)});
    item->setData(0, Qt::UserRole, row.number);
    presets_->addTopLevelItem(item);
  }
  refresh_point_choices();
}

void CPresetPTZ::refresh_point_choices() {
  point_->clear();
  for (int n : editor_.free_presets()) point_->addItem(QString::number(n), n);
  point_->setCurrentIndex(point_->count() - 1);
}

void CPresetPTZ::refresh_points() {
  {
    const QSignalBlocker block(points_);
    points_->clear();
    for (const auto& p : editor_.point_rows())
      points_->addTopLevelItem(new QTreeWidgetItem(
          {QString::number(p.preset), QString::number(p.speed), QString::number(p.dwell)}));
  }
  editor_.select_point(-1);
  refresh_point_choices();
  refresh_buttons();
}

void CPresetPTZ::refresh_buttons() {
  const model::CruiseButtons b = editor_.buttons();
  run_->setEnabled(b.run);
  stop_->setEnabled(b.stop);
  finish_->setEnabled(b.finish);
  remove_point_->setEnabled(b.remove_point);
}

bool CPresetPTZ::pane_still_ours() const {
  return pane_ && pane_->PlayHandle() >= 0 && pane_->Channel() == channel_ &&
         pane_->LoginHandle() == login_;
}

void CPresetPTZ::send(int command, int preset) {
  if (pane_still_ours()) ptz_(login_, channel_, command, 0, 0, preset, 0);
}

void CPresetPTZ::on_add_preset() {
  const int n = number_->value();
  if (!editor_.add_preset(n, u16(name_->text()), messages_)) return;
  send(model::kPtzSetPreset, n);
  refresh_presets();
}

void CPresetPTZ::on_remove_preset() {
  const int n = number_->value();
  if (!editor_.remove_preset(n, messages_)) return;
  send(model::kPtzClearPreset, n);
  refresh_presets();
}

void CPresetPTZ::on_rename_preset() {
  if (editor_.rename_preset(number_->value(), u16(name_->text()), messages_)) refresh_presets();
}

void CPresetPTZ::on_goto_preset() {
  const int n = number_->value();
  if (editor_.check_number(n, messages_)) send(model::kPtzGotoPreset, n);
}

void CPresetPTZ::on_preset_clicked() {
  const auto* item = presets_->currentItem();
  if (!item) return;
  const auto row = editor_.preset(item->data(0, Qt::UserRole).toInt());
  if (!row) return;
  number_->setValue(row->number);
  name_->setText(qs(row->name));
  name_->setFocus();
}

void CPresetPTZ::on_speed() {
  const int speed = speed_->value();
  editor_.set_speed(speed);
  if (pane_) pane_->SetPtzSpeed(speed);
}

void CPresetPTZ::on_path(int path) {
  editor_.select_path(path);
  refresh_points();
}

void CPresetPTZ::on_add_point() {
  const int preset = point_->currentIndex() >= 0 ? point_->currentData().toInt() : 0;
  if (editor_.add_point(preset, dwell_->value(), point_speed_->value(), messages_))
    refresh_points();
}

void CPresetPTZ::on_remove_point() {
  if (editor_.remove_point(points_->indexOfTopLevelItem(points_->currentItem()))) refresh_points();
}

void CPresetPTZ::on_clear_path() {
  editor_.clear_path();
  refresh_points();
}

void CPresetPTZ::on_finish() {
  editor_.finish(messages_);
  refresh_buttons();
}

void CPresetPTZ::on_run() {
  if (!editor_.run()) return;
  tour_.emplace(editor_.working().paths[static_cast<std::size_t>(editor_.path())]);
  refresh_buttons();
  tour_step();
}

void CPresetPTZ::on_stop() {
  stop_tour();
}

void CPresetPTZ::stop_tour() {
  tour_timer_->stop();
  tour_.reset();
  editor_.stop();
  refresh_buttons();
}

void CPresetPTZ::tour_step() {
  if (!tour_) return;
  const auto step = tour_->next();
  // The tour ends with the pane's view.
  if (!step || !pane_still_ours()) {
    stop_tour();
    return;
  }
  ptz_(login_, channel_, model::kPtzGotoPreset, 0, 0, step->preset, 0);
  tour_timer_->start(step->dwell_s * dwell_unit_ms_);
}

void CPresetPTZ::on_save() {
  editor_.save(file_, messages_);
}

void CPresetPTZ::closeEvent(QCloseEvent* e) {
  if (!editor_.close(ask_, file_, messages_)) {
    e->ignore();
    return;
  }
  stop_tour();
  e->accept();
}

void CPresetPTZ::reject() {
  close();
}

}  // namespace ui
