#include "ui/remote_config.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QIntValidator>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMetaObject>
#include <QPointer>
#include <QPushButton>
#include <QTabWidget>
#include <QVBoxLayout>

#include <algorithm>
#include <utility>

#include "dialog_frame.h"
#include "model/gps.h"
#include "ui/i18n.h"
#include "ui/message_box.h"

namespace ui {
namespace {

constexpr int kMaxDecoderAddress = 0xFFFF;
const char* const kBusyText = "正在与设备通信，请稍候...";

QLineEdit* make_edit(QWidget* parent, const char* name, bool read_only = false) {
  auto* edit = new QLineEdit(parent);
  edit->setObjectName(QString::fromLatin1(name));
  edit->setReadOnly(read_only);
  return edit;
}

QComboBox* make_combo(QWidget* parent, const char* name, model::Items items) {
  auto* combo = new QComboBox(parent);
  combo->setObjectName(QString::fromLatin1(name));
  // The index is what the page reads back, never the (translated) text.
  int translated_length = 0;
  for (std::u16string_view item : items) {
    const QString text = tx(item);
    if (text != qs(item))
      translated_length = std::max(translated_length, static_cast<int>(text.size()));
    combo->addItem(text);
  }
  // The 56 protocol names would otherwise widen the whole column; a translated
  // item (longer than its Chinese) still shows whole.
  combo->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
  combo->setMinimumContentsLength(std::max(6, translated_length));
  combo->setMaxVisibleItems(16);
  return combo;
}

QLineEdit* make_password(QWidget* parent, const char* name) {
  QLineEdit* edit = make_edit(parent, name);
  edit->setEchoMode(QLineEdit::Password);
  edit->setMaxLength(model::kPasswordLength);
  return edit;
}

// Label/field pairs, `columns` pairs to a row.
class FieldGrid {
 public:
  FieldGrid(QGridLayout* grid, int columns) : grid_(grid), columns_(columns) {
    grid_->setHorizontalSpacing(8);
    grid_->setVerticalSpacing(6);
    for (int c = 0; c < columns; ++c) grid_->setColumnStretch(2 * c + 1, 1);
  }
  void add(const QString& label, QWidget* field, int span = 1) {
    auto* text = new QLabel(label);
    text->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    text->setBuddy(field);
    grid_->addWidget(text, row_, 2 * column_);
    grid_->addWidget(field, row_, 2 * column_ + 1, 1, 2 * span - 1);
    column_ += span;
    if (column_ >= columns_) next_row();
  }
  // A button in a pair's place.
  void add_button(QPushButton* button) {
    grid_->addWidget(button, row_, 2 * column_ + 1, Qt::AlignRight);
    if (++column_ >= columns_) next_row();
  }
  void add_buttons(std::initializer_list<QPushButton*> buttons) {
    auto* row = new QHBoxLayout;
    row->setSpacing(8);
    row->addStretch(1);
    for (QPushButton* b : buttons) row->addWidget(b);
    if (column_ != 0) next_row();
    grid_->addLayout(row, row_, 0, 1, 2 * columns_);
    next_row();
  }

 private:
  void next_row() {
    ++row_;
    column_ = 0;
  }
  QGridLayout* grid_;
  int columns_;
  int row_ = 0;
  int column_ = 0;
};

QGroupBox* make_group(QWidget* parent, const QString& title, const char* name) {
  auto* group = new QGroupBox(title, parent);
  group->setObjectName(QString::fromLatin1(name));
  return group;
}

}  // namespace

// ---- CRemoteDevConfig ----

CRemoteDevConfig::CRemoteDevConfig(model::ClientState& state, int server,
                                   model::DeviceConfig& device, model::MessageSink& messages,
                                   QWidget* parent)
    : QWidget(parent), device_(device), controller_(state, server, messages) {
  build();
  show_device(controller_.device_info());
  show_video(controller_.video(0));
  show_ptz(controller_.ptz(0));
  show_arming(controller_.arming());
  fetch_position();
}

CRemoteDevConfig::~CRemoteDevConfig() {
  // Their queued results are dropped with this widget.
  thread_.join();
  gps_thread_.join();
  if (busy_) QApplication::restoreOverrideCursor();
}

void CRemoteDevConfig::build() {
  auto button = [this](const char* text, const char* name) {
    QPushButton* b = make_dialog_button(this, tx(text), name);
    b->setAutoDefault(false);
    commands_.append(b);
    return b;
  };

  // "设备信息"
  QGroupBox* device_group = make_group(this, tx("设备信息"), "deviceGroup");
  device_name_ = make_edit(device_group, "deviceName");
  device_id_ = make_edit(device_group, "deviceId", true);
  auth_address_ = make_edit(device_group, "authAddress", true);
  auth_port_ = make_edit(device_group, "authPort", true);
  allowed_caller_ = make_edit(device_group, "allowedCaller", true);
  sim_phone_ = make_edit(device_group, "simPhone", true);
  gps_position_ = make_edit(device_group, "gpsPosition", true);
  // Room for a whole position line, in the operator's language, in the font of the page.
  model::GpsFix widest;
  widest.latitude = 39.90421;
  widest.longitude = 116.40739;
  widest.speed_kmh = 120;
  gps_position_->setMinimumWidth(
      gps_position_->fontMetrics().horizontalAdvance(qs(model::gps_text(widest))) + 16);
  QPushButton* save_device = button("保存", "saveDevice");
  {
    FieldGrid g(new QGridLayout(device_group), 1);
    g.add(tx("设备名称"), device_name_);
    g.add(tx("设备序列号"), device_id_);
    g.add(tx("鉴权IP"), auth_address_);
    g.add(tx("鉴权端口"), auth_port_);
    g.add(tx("可连接电话"), allowed_caller_);
    g.add(tx("设备SIM卡号"), sim_phone_);
    g.add(tx("车辆位置"), gps_position_);
    g.add_buttons({save_device});
  }

  // "视频信息"
  QGroupBox* video_group = make_group(this, tx("视频信息"), "videoGroup");
  video_channel_ = make_combo(video_group, "videoChannel", model::channel_items());
  video_format_ = make_combo(video_group, "videoFormat", model::video_format_items());
  stream_type_ = make_combo(video_group, "streamType", model::stream_type_items());
  frame_rate_ = make_combo(video_group, "frameRate", model::frame_rate_items());
  video_type_ = make_combo(video_group, "videoType", model::video_type_items());
  bit_rate_ = make_combo(video_group, "bitRate", model::bit_rate_items());
  channel_name_ = make_edit(video_group, "channelName");
  QPushButton* save_video = button("保存", "saveVideo");
  QPushButton* copy_video = button("复制到所有通道", "copyVideo");
  {
    FieldGrid g(new QGridLayout(video_group), 2);
    g.add(tx("通道号"), video_channel_);
    g.add(tx("视频格式"), video_format_);
    g.add(tx("流类型"), stream_type_);
    g.add(tx("帧率"), frame_rate_);
    g.add(tx("视频类型"), video_type_);
    g.add(tx("码率"), bit_rate_);
    g.add(tx("通道名称"), channel_name_, 2);
    g.add_buttons({save_video, copy_video});
  }

  // "云台信息"
  QGroupBox* ptz_group = make_group(this, tx("云台信息"), "ptzGroup");
  ptz_channel_ = make_combo(ptz_group, "ptzChannel", model::channel_items());
  baud_rate_ = make_combo(ptz_group, "baudRate", model::baud_rate_items());
  data_bits_ = make_combo(ptz_group, "dataBits", model::data_bits_items());
  stop_bits_ = make_combo(ptz_group, "stopBits", model::stop_bits_items());
  parity_ = make_combo(ptz_group, "parity", model::parity_items());
  flow_control_ = make_combo(ptz_group, "flowControl", model::flow_control_items());
  decoder_type_ = make_combo(ptz_group, "decoderType", model::decoder_type_items());
  // Wide enough for every protocol name.
  decoder_type_->setSizeAdjustPolicy(QComboBox::AdjustToContents);
  decoder_type_->setMinimumContentsLength(0);
  decoder_address_ = make_edit(ptz_group, "decoderAddress");
  decoder_address_->setValidator(new QIntValidator(0, kMaxDecoderAddress, decoder_address_));
  decoder_address_->setMaxLength(5);
  QPushButton* save_ptz = button("保存", "savePtz");
  QPushButton* copy_ptz = button("复制到所有通道", "copyPtz");
  {
    FieldGrid g(new QGridLayout(ptz_group), 2);
    g.add(tx("通道号"), ptz_channel_);
    g.add(tx("波特率"), baud_rate_);
    g.add(tx("数据位"), data_bits_);
    g.add(tx("停止位"), stop_bits_);
    g.add(tx("校验"), parity_);
    g.add(tx("流控"), flow_control_);
    g.add(tx("解码器类型"), decoder_type_);
    g.add(tx("解码器地址"), decoder_address_);
    g.add_buttons({save_ptz, copy_ptz});
  }

  // "远程布防"
  QGroupBox* arm_group = make_group(this, tx("远程布防"), "armGroup");
  arm_inside_ = new QCheckBox(tx("布防/撤防（车内/室内）"), arm_group);
  arm_inside_->setObjectName(QStringLiteral("armInside"));
  arm_perimeter_ = new QCheckBox(tx("布防/撤防（周边/区域）"), arm_group);
  arm_perimeter_->setObjectName(QStringLiteral("armPerimeter"));
  arm_recording_ = new QCheckBox(tx("启动/停止连续录像"), arm_group);
  arm_recording_->setObjectName(QStringLiteral("armRecording"));
  QPushButton* get_status = button("获取状态", "getStatus");
  QPushButton* save_arming = button("保存", "saveArming");
  {
    // The buttons beside the boxes keep the group short.
    auto* g = new QGridLayout(arm_group);
    g->setVerticalSpacing(6);
    g->addWidget(arm_inside_, 0, 0);
    g->addWidget(arm_perimeter_, 1, 0);
    g->addWidget(arm_recording_, 2, 0);
    g->addWidget(get_status, 0, 1);
    g->addWidget(save_arming, 2, 1);
    g->setColumnStretch(0, 1);
  }

  // "密码修改"
  QGroupBox* password_group = make_group(this, tx("密码修改"), "passwordGroup");
  old_password_ = make_password(password_group, "oldPassword");
  new_password_ = make_password(password_group, "newPassword");
  confirm_password_ = make_password(password_group, "confirmPassword");
  QPushButton* change_password = button("修改", "changePassword");
  {
    FieldGrid g(new QGridLayout(password_group), 4);
    g.add(tx("原密码"), old_password_);
    g.add(tx("新密码"), new_password_);
    g.add(tx("确认密码"), confirm_password_);
    g.add_button(change_password);
  }

  status_ = new QLabel(this);
  status_->setObjectName(QStringLiteral("status"));

  auto* left = new QVBoxLayout;
  left->addWidget(device_group);
  left->addWidget(arm_group);
  left->addStretch(1);
  auto* right = new QVBoxLayout;
  right->addWidget(video_group);
  right->addWidget(ptz_group);
  right->addStretch(1);
  auto* columns = new QHBoxLayout;
  columns->addLayout(left, 1);
  columns->addLayout(right, 1);
  auto* outer = new QVBoxLayout(this);
  outer->setContentsMargins(8, 8, 8, 4);
  outer->addLayout(columns, 1);
  outer->addWidget(password_group);
  outer->addWidget(status_);

  connect(video_channel_, &QComboBox::currentIndexChanged, this,
          [this](int channel) { show_video(controller_.video(channel)); });
  connect(ptz_channel_, &QComboBox::currentIndexChanged, this,
          [this](int channel) { show_ptz(controller_.ptz(channel)); });
  connect(save_device, &QPushButton::clicked, this,
          [this] { controller_.mark_changed(read_device()); });
  connect(save_video, &QPushButton::clicked, this,
          [this] { controller_.save_video(video_channel_->currentIndex(), read_video()); });
  connect(copy_video, &QPushButton::clicked, this,
          [this] { controller_.copy_video_to_all(read_video()); });
  connect(save_ptz, &QPushButton::clicked, this,
          [this] { start(controller_.save_ptz(ptz_channel_->currentIndex(), read_ptz())); });
  connect(copy_ptz, &QPushButton::clicked, this,
          [this] { controller_.copy_ptz_to_all(read_ptz()); });
  connect(get_status, &QPushButton::clicked, this, [this] {
    start(controller_.query_alarm(u16(device_id_->text())));
    fetch_position();
  });
  connect(save_arming, &QPushButton::clicked, this,
          [this] { start(controller_.save_arming(u16(device_id_->text()), read_arming())); });
  connect(change_password, &QPushButton::clicked, this, [this] {
    const model::PasswordForm form{u16(old_password_->text()), u16(new_password_->text()),
                                   u16(confirm_password_->text())};
    if (auto request = controller_.change_password(form)) start(std::move(*request));
  });
  device_name_->setFocus();
}

void CRemoteDevConfig::show_device(const model::DeviceInfo& info) {
  device_name_->setText(qs(info.name));
  device_id_->setText(qs(info.device_id));
  auth_address_->setText(qs(info.auth_address));
  auth_port_->setText(QString::number(info.auth_port));
  allowed_caller_->setText(qs(info.allowed_caller));
  sim_phone_->setText(qs(info.phone));
}

void CRemoteDevConfig::show_video(const model::VideoSettings& v) {
  video_format_->setCurrentIndex(v.format);
  stream_type_->setCurrentIndex(v.stream_type);
  frame_rate_->setCurrentIndex(v.frame_rate);
  video_type_->setCurrentIndex(v.video_type);
  bit_rate_->setCurrentIndex(v.bit_rate);
  channel_name_->setText(qs(v.name));
}

void CRemoteDevConfig::show_ptz(const model::PtzSettings& p) {
  baud_rate_->setCurrentIndex(p.baud_rate);
  data_bits_->setCurrentIndex(p.data_bits);
  stop_bits_->setCurrentIndex(p.stop_bits);
  parity_->setCurrentIndex(p.parity);
  flow_control_->setCurrentIndex(p.flow_control);
  decoder_type_->setCurrentIndex(p.decoder_type);
  decoder_address_->setText(QString::number(p.decoder_address));
}

void CRemoteDevConfig::show_arming(const model::Arming& a) {
  arm_inside_->setChecked(a.inside);
  arm_perimeter_->setChecked(a.perimeter);
  arm_recording_->setChecked(a.recording);
}

model::DeviceInfo CRemoteDevConfig::read_device() const {
  return {u16(device_name_->text()), u16(device_id_->text()),      u16(auth_address_->text()),
          read_int(auth_port_),      u16(allowed_caller_->text()), u16(sim_phone_->text())};
}

model::VideoSettings CRemoteDevConfig::read_video() const {
  return {video_format_->currentIndex(), stream_type_->currentIndex(), frame_rate_->currentIndex(),
          video_type_->currentIndex(),   bit_rate_->currentIndex(),    u16(channel_name_->text())};
}

model::PtzSettings CRemoteDevConfig::read_ptz() const {
  return {baud_rate_->currentIndex(), data_bits_->currentIndex(),    stop_bits_->currentIndex(),
          parity_->currentIndex(),    flow_control_->currentIndex(), decoder_type_->currentIndex(),
          read_int(decoder_address_)};
}

model::Arming CRemoteDevConfig::read_arming() const {
  return {arm_inside_->isChecked(), arm_perimeter_->isChecked(), arm_recording_->isChecked()};
}

void CRemoteDevConfig::keyPressEvent(QKeyEvent* event) {
  switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
      controller_.mark_changed(read_device());
      event->accept();
      return;
    case Qt::Key_Escape:
      controller_.clear_changed();
      event->accept();
      return;
    default:
      QWidget::keyPressEvent(event);
  }
}

void CRemoteDevConfig::start(model::DeviceRequest request) {
  if (busy_) return;
  set_busy(true);
  const QPointer<CRemoteDevConfig> self(this);
  // The destructor joins the thread, so this object outlives the body.
  const bool created = thread_.create([this, self, request] {
    model::DeviceResult result;
    {
      std::lock_guard lock(device_mutex_);
      result = model::run_device_request(device_, request);
    }
    QMetaObject::invokeMethod(
        this,
        [self, result = std::move(result)] {
          if (self) self->finish(result);
        },
        Qt::QueuedConnection);
  });
  if (!created) {
    model::DeviceResult failed;
    failed.request = std::move(request);
    finish(failed);
    return;
  }
  thread_.resume();
}

void CRemoteDevConfig::fetch_position() {
  const auto query = controller_.gps_query();
  if (!query) return;
  // An answer on its way will do; the page never waits for the device.
  if (gps_thread_.running()) return;
  const QPointer<CRemoteDevConfig> self(this);
  const bool created = gps_thread_.create([this, self, q = *query] {
    std::string raw;
    {
      std::lock_guard lock(device_mutex_);
      raw = device_.gps_data(q.handle, q.channel);
    }
    QString text = qs(model::position_text(raw));
    QMetaObject::invokeMethod(
        this,
        [self, text = std::move(text)] {
          if (self) self->gps_position_->setText(text);
        },
        Qt::QueuedConnection);
  });
  if (created) gps_thread_.resume();
}

void CRemoteDevConfig::finish(const model::DeviceResult& result) {
  // The cursor and the buttons come back before a message box asks for them.
  set_busy(false);
  if (auto shown = controller_.apply(result)) show_arming(*shown);
}

void CRemoteDevConfig::set_busy(bool busy) {
  if (busy == busy_) return;
  busy_ = busy;
  if (busy)
    QApplication::setOverrideCursor(Qt::WaitCursor);
  else
    QApplication::restoreOverrideCursor();
  for (QPushButton* b : commands_) b->setEnabled(!busy);
  status_->setText(busy ? tx(kBusyText) : QString());
  emit BusyChanged(busy);
}

// ---- CRemoteParamsCfg ----

CRemoteParamsCfg::CRemoteParamsCfg(model::ClientState& state, int server,
                                   model::DeviceConfig& device, model::MessageSink& messages,
                                   QWidget* parent)
    : QDialog(parent) {
  setWindowTitle(tx("远程配置"));
  tabs_ = new QTabWidget(this);
  tabs_->setObjectName(QStringLiteral("tabs"));
  page_ = new CRemoteDevConfig(state, server, device, messages, tabs_);
  page_->setObjectName(QStringLiteral("page"));
  tabs_->addTab(page_, tx("设备配置"));

  save_params_ = make_dialog_button(this, tx("保存参数"), "saveParams");
  restore_defaults_ = make_dialog_button(this, tx("恢复默认值"), "restoreDefaults");
  exit_ = make_dialog_button(this, tx("退出"), "exit");
  for (QPushButton* b : {save_params_, restore_defaults_, exit_}) b->setAutoDefault(false);

  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  buttons->addWidget(save_params_);
  buttons->addWidget(restore_defaults_);
  buttons->addWidget(exit_);
  auto* outer = new QVBoxLayout(this);
  outer->setContentsMargins(10, 10, 10, 10);
  outer->addWidget(tabs_, 1);
  outer->addLayout(buttons);

  connect(save_params_, &QPushButton::clicked, this, [this] { page_->Controller().save_params(); });
  connect(exit_, &QPushButton::clicked, this, &CRemoteParamsCfg::reject);
  connect(page_, &CRemoteDevConfig::BusyChanged, this, [this](bool busy) {
    save_params_->setEnabled(!busy);
    exit_->setEnabled(!busy);
  });

  outer->activate();
  setFixedSize(sizeHint());
}

void CRemoteParamsCfg::reject() {
  if (!page_->Busy()) QDialog::reject();
}

}  // namespace ui
