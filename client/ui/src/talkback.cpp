#include "ui/talkback.h"

#include <QButtonGroup>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMetaObject>
#include <QPushButton>
#include <QRadioButton>
#include <QTableWidget>
#include <QTimer>
#include <QVBoxLayout>

#include "dialog_frame.h"
#include "platform/clock.h"
#include "ui/i18n.h"
#include "ui/message_box.h"
#include "ui/playback.h"
#include "velmosdk.h"
#include "velmosdk_live.h"
#include "vidrane/vidrane.h"

namespace ui {

// ---- the SDK ----

void SdkTalkback::SetCompression(long login, int channel, const model::Compression& c) {
  SetCompressionInf(login, channel, c.resolution, c.frame_rate, c.bit_rate, c.image_type);
}

long SdkTalkback::RealPlay(long login, int channel, HWND window) {
  return ::RealPlay(login, channel, window);
}

void SdkTalkback::StopRealPlay(long login, int channel) {
  ::StopRealPlay(login, channel);
}

void SdkTalkback::PlaySound(long port) {
  Play264_PlaySound(port);
}

bool SdkTalkback::SendVoice(long login, std::span<const std::uint8_t> frame, bool authenticate) {
  std::array<char, model::VoiceFramer::kFrameBytes> block{};
  const std::size_t n = std::min(frame.size(), block.size());
  std::copy_n(frame.begin(), n, reinterpret_cast<std::uint8_t*>(block.data()));
  return SendAudioDataVoiceExchange(login, block.data(), static_cast<int>(n),
                                    authenticate ? 1 : 0) == 1;
}

// ---- the sender ----

VoiceSender::VoiceSender(TalkbackSdk& sdk) : sdk_(sdk) {
  thread_.create([this] { loop(); });
  thread_.resume();
}

VoiceSender::~VoiceSender() {
  quit_ = true;
  wake_.set();
  thread_.join();
}

void VoiceSender::Send(std::vector<long> targets, const model::VoiceFramer::Frame& frame) {
  {
    std::lock_guard lock(m_);
    if (queue_.size() >= kMaxQueued) {
      queue_.pop_front();
      ++dropped_;
    }
    queue_.push_back({std::move(targets), frame});
  }
  wake_.set();
}

bool VoiceSender::Drain(int timeout_ms) {
  const auto until = platform::tick_ms64() + static_cast<std::uint64_t>(std::max(0, timeout_ms));
  for (;;) {
    {
      std::lock_guard lock(m_);
      if (queue_.empty() && !busy_) return true;
    }
    if (platform::tick_ms64() >= until) return false;
    platform::sleep_ms(5);
  }
}

void VoiceSender::loop() {
  while (!quit_) {
    Item item;
    {
      std::lock_guard lock(m_);
      if (!queue_.empty()) {
        item = std::move(queue_.front());
        queue_.pop_front();
        busy_ = true;
      }
    }
    if (item.targets.empty()) {
      wake_.wait(200);
      continue;
    }
    for (long t : item.targets) {
      if (quit_) break;
      if (t < 0 || t >= static_cast<long>(authenticated_.size())) continue;
      auto& authenticated = authenticated_[static_cast<std::size_t>(t)];
      // Channel 0 of the device may be connected already (live play of it):
      // authenticating again would replace the connection under it.
      bool ok = sdk_.SendVoice(t, item.frame, false);
      if (!ok && !authenticated) ok = sdk_.SendVoice(t, item.frame, true);
      authenticated = ok;
      ok ? ++sent_ : ++failed_;
    }
    std::lock_guard lock(m_);
    busy_ = false;
  }
}

// ---- the dialog ----

CVoiceExchange::CVoiceExchange(model::ClientState& state, model::MessageSink& messages,
                               std::function<bool()> playing_elsewhere, QWidget* parent)
    : QDialog(parent),
      state_(state),
      messages_(messages),
      playing_elsewhere_(std::move(playing_elsewhere)),
      microphone_(std::make_unique<SystemMicrophone>()),
      sender_(std::make_unique<VoiceSender>(*sdk_)) {
  setObjectName(QStringLiteral("CVoiceExchange"));
  setWindowTitle(tx("语音对讲"));

  video_ = new CPlayVideo(this);
  video_->setObjectName(QStringLiteral("1736"));

  auto* kind = named(new QGroupBox(tx("类型选择"), this), "kind");
  broadcast_button_ = named(new QRadioButton(tx("广播"), kind), "1575");
  talk_button_ = named(new QRadioButton(tx("对讲"), kind), "1576");
  talk_button_->setChecked(true);
  auto* group = new QButtonGroup(this);
  group->addButton(broadcast_button_);
  group->addButton(talk_button_);
  auto* kind_row = new QHBoxLayout(kind);
  kind_row->addWidget(broadcast_button_);
  kind_row->addWidget(talk_button_);
  kind_row->addStretch(1);

  auto* choice = named(new QGroupBox(this), "choice");
  servers_ = named(new QComboBox(choice), "1100");
  channels_ = named(new QComboBox(choice), "1733");
  channels_->setEnabled(false);
  servers_->setMinimumWidth(170);
  auto* form = new QGridLayout(choice);
  form->addWidget(new QLabel(tx("服务器："), choice), 0, 0);
  form->addWidget(servers_, 0, 1);
  form->addWidget(new QLabel(tx("通道号："), choice), 1, 0);
  form->addWidget(channels_, 1, 1);
  target_list_ = named(new QTableWidget(0, 1, choice), "1574");
  target_list_->setHorizontalHeaderLabels({tx("前端名称")});
  target_list_->setColumnWidth(0, 150);
  target_list_->horizontalHeader()->setStretchLastSection(true);
  target_list_->verticalHeader()->hide();
  target_list_->setSelectionBehavior(QAbstractItemView::SelectRows);
  target_list_->setSelectionMode(QAbstractItemView::SingleSelection);
  target_list_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  target_list_->setShowGrid(true);
  form->addWidget(target_list_, 2, 0, 1, 2);

  start_ = make_dialog_button(this, tx("开始"), "1098");
  add_ = make_dialog_button(this, tx("添加"), "1572");
  delete_ = make_dialog_button(this, tx("删除"), "1573");
  stop_ = make_dialog_button(this, tx("停止"), "1577");
  exit_ = make_dialog_button(this, tx("退出"), "1346");
  auto* buttons = new QGridLayout;
  buttons->addWidget(start_, 0, 0);
  buttons->addWidget(stop_, 0, 1);
  buttons->addWidget(add_, 1, 0);
  buttons->addWidget(delete_, 1, 1);
  buttons->addWidget(exit_, 2, 1);
  status_ = named(new QLabel(this), "status");
  status_->setWordWrap(true);

  auto* right = new QVBoxLayout;
  right->addWidget(kind);
  right->addWidget(choice, 1);
  right->addLayout(buttons);
  right->addWidget(status_);
  auto* top = new QHBoxLayout(this);
  top->addWidget(video_, 1);
  top->addLayout(right);
  resize(720, 400);

  connect(start_, &QPushButton::clicked, this, &CVoiceExchange::OnStart);
  connect(stop_, &QPushButton::clicked, this, &CVoiceExchange::OnStop);
  connect(exit_, &QPushButton::clicked, this, &CVoiceExchange::OnExit);
  connect(add_, &QPushButton::clicked, this, &CVoiceExchange::OnAdd);
  connect(delete_, &QPushButton::clicked, this, &CVoiceExchange::OnDelete);
  connect(broadcast_button_, &QRadioButton::clicked, this, [this] { set_mode(true); });
  connect(talk_button_, &QRadioButton::clicked, this, [this] { set_mode(false); });

  // Opening: the servers, the preselection, the quick labels for a moment.
  {
    std::lock_guard lock(state_.table_mutex);
    items_ = model::talk_server_items(state_.servers);
    for (const auto& item : items_) servers_->addItem(qs(item.text));
    const int pre = model::talk_preselected_item(items_, state_.servers);
    servers_->setCurrentIndex(pre);
  }
  targets_.clear();
  quick_labels_ = false;
  quick_timer_ = new QTimer(this);
  quick_timer_->setSingleShot(true);
  connect(quick_timer_, &QTimer::timeout, this, [this] { quick_labels_ = true; });
  quick_timer_->start(kQuickLabelMs);
  connect(servers_, &QComboBox::currentIndexChanged, this, [this] { fill_channels(); });
  fill_channels();
  refill_targets();
  set_mode(false);
  stop_->setEnabled(false);

  capture_timer_ = new QTimer(this);
  capture_timer_->setInterval(kCaptureMs);
  connect(capture_timer_, &QTimer::timeout, this, &CVoiceExchange::PumpMicrophone);
}

CVoiceExchange::~CVoiceExchange() {
  stop_fill_thread();
  close_microphone();
  if (port_ >= 0) sdk_->StopRealPlay(login_, channel_);
  sender_.reset();  // joined before the SDK it calls may go
}

void CVoiceExchange::SetSdk(TalkbackSdk* sdk) {
  sdk_ = sdk ? sdk : &sdk_default_;
  sender_ = std::make_unique<VoiceSender>(*sdk_);
}

void CVoiceExchange::SetMicrophone(std::unique_ptr<Microphone> microphone) {
  close_microphone();
  microphone_ = std::move(microphone);
}

model::ServerTable CVoiceExchange::table_copy() {
  std::lock_guard lock(state_.table_mutex);
  return state_.servers;
}

void CVoiceExchange::stop_fill_thread() {
  fill_quit_ = true;
  fill_thread_.join();
  fill_quit_ = false;
}

void CVoiceExchange::fill_channels() {
  const int item = servers_->currentIndex();
  if (item <= 0 || item >= static_cast<int>(items_.size())) return;
  const int server = items_[static_cast<std::size_t>(item)].server;
  stop_fill_thread();
  QPointer<CVoiceExchange> self(this);
  const bool quick = quick_labels_;
  fill_thread_.create([this, self, item, server, quick] {
    std::vector<QString> texts;
    long login = -1;
    {
      std::lock_guard lock(state_.table_mutex);
      const auto& s = state_.servers.servers[static_cast<std::size_t>(server)];
      login = s.login_handle;
      for (auto& t : model::talk_channel_items(s, quick)) texts.push_back(qs(t));
    }
    if (fill_quit_) return;
    QMetaObject::invokeMethod(
        this,
        [self, item, login, texts = std::move(texts)]() mutable {
          if (!self) return;
          self->login_ = login;
          self->apply_channels(item, std::move(texts));
        },
        Qt::QueuedConnection);
  });
  fill_thread_.resume();
}

void CVoiceExchange::apply_channels(int item, std::vector<QString> items) {
  if (servers_->currentIndex() != item) return;  // a newer choice fills again
  channels_->clear();
  for (const auto& t : items) channels_->addItem(t);
  if (!items.empty()) channels_->setCurrentIndex(0);
  channels_->setEnabled(!talking_);
  emit channelsFilled();
}

void CVoiceExchange::set_mode(bool broadcast) {
  broadcast_ = broadcast;
  target_list_->setEnabled(broadcast);
  add_->setEnabled(broadcast);
  delete_->setEnabled(broadcast);
}

void CVoiceExchange::refill_targets() {
  std::vector<std::u16string> rows;
  {
    std::lock_guard lock(state_.table_mutex);
    rows = targets_.rows(state_.servers);
  }
  target_list_->setRowCount(0);
  for (const auto& r : rows) {
    const int row = target_list_->rowCount();
    target_list_->insertRow(row);
    target_list_->setItem(row, 0, new QTableWidgetItem(qs(r)));
  }
}

void CVoiceExchange::OnStart() {
  // The messages wait for the operator: not under the table's lock.
  const model::ServerTable table = table_copy();
  const int channel = channels_->isEnabled() ? channels_->currentIndex() : -1;
  const bool elsewhere = talking_ || (playing_elsewhere_ && playing_elsewhere_());
  const auto start = model::check_talk_start(table, items_, servers_->currentIndex(), channel,
                                             elsewhere, messages_);
  if (!start) return;
  login_ = start->login_handle;
  channel_ = start->channel;
  sdk_->SetCompression(login_, channel_, start->compression);
  const long port = sdk_->RealPlay(login_, channel_, video_->Hwnd());
  if (port < 0) {
    messages_.info(model::kTalkPlayFailed);
    return;
  }
  port_ = port;
  talking_ = true;
  sdk_->PlaySound(port_);
  framer_.reset();
  capturing_ = microphone_ && microphone_->Open();
  if (capturing_) {
    capture_timer_->start();
    status_->setText(tx("正在对讲：麦克风的声音送往设备"));
  } else {
    status_->setText(tx("未找到麦克风：只播放设备的声音，不发送语音"));
  }
  start_->setEnabled(false);
  exit_->setEnabled(false);
  servers_->setEnabled(false);
  channels_->setEnabled(false);
  stop_->setEnabled(true);
}

void CVoiceExchange::PumpMicrophone() {
  if (!capturing_ || !microphone_) return;
  std::array<std::int16_t, kBufferSamples> buffer{};
  std::vector<long> targets = broadcast_ ? targets_.handles() : std::vector<long>{login_};
  for (;;) {
    const std::size_t n = microphone_->Read(buffer);
    if (n == 0) break;
    for (const auto& frame : framer_.push(std::span(buffer.data(), n)))
      sender_->Send(targets, frame);
    if (n < buffer.size()) break;
  }
}

void CVoiceExchange::close_microphone() {
  if (capture_timer_) capture_timer_->stop();
  if (capturing_) PumpMicrophone();  // what was captured still goes out
  if (microphone_) microphone_->Close();
  capturing_ = false;
}

void CVoiceExchange::OnStop() {
  close_microphone();
  talking_ = false;
  if (port_ >= 0) {
    sdk_->StopRealPlay(login_, channel_);
    port_ = -1;
  }
  // The last frames reach their targets before the dialog can start again.
  const int targets = broadcast_ ? static_cast<int>(targets_.handles().size()) : 1;
  sender_->Drain(100 * std::max(1, targets) + 400);
  video_->Clear();
  status_->clear();
  stop_->setEnabled(false);
  start_->setEnabled(true);
  exit_->setEnabled(true);
  servers_->setEnabled(true);
  channels_->setEnabled(channels_->count() > 0);
  update();
}

void CVoiceExchange::OnExit() {
  talking_ = false;
  if (port_ >= 0) {
    sdk_->StopRealPlay(login_, channel_);
    port_ = -1;
  }
  close_microphone();
  quick_timer_->stop();
  quick_labels_ = true;
  stop_fill_thread();
  done(QDialog::Accepted);
}

void CVoiceExchange::reject() {
  OnExit();
}

void CVoiceExchange::OnAdd() {
  if (targets_.add(table_copy(), items_, servers_->currentIndex(), messages_)) refill_targets();
}

void CVoiceExchange::OnDelete() {
  const int row = target_list_->currentRow();
  if (row < 0) return;
  targets_.remove_row(row);
  refill_targets();
}

}  // namespace ui
