#include "ui/output_pane.h"

#include <QMetaObject>
#include <QMouseEvent>
#include <QPainter>

#include <map>

#include "model/desk.h"
#include "platform/clock.h"
#include "platform/text.h"
#include "ui/message_box.h"
#include "velmosdk.h"

namespace ui {

QPixmap working_picture(const std::filesystem::path& folder, const char* name) {
  static std::map<std::filesystem::path, QPixmap> cache;
  const auto path = folder / "res" / name;
  auto it = cache.find(path);
  if (it == cache.end()) {
    QPixmap p;
    p.load(QString::fromStdString(path.string()));
    it = cache.emplace(path, p).first;
  }
  return it->second;
}

CMyOutput::CMyOutput(int index, model::ClientState& state, QWidget* parent)
    : QWidget(parent), index_(index), state_(state) {
  setObjectName(QStringLiteral("pane%1").arg(index));
  setAttribute(Qt::WA_OpaquePaintEvent);
  QtWindowBackend::Hooks hooks;
  hooks.message = [this](UINT msg, WPARAM w, LPARAM) {
    if (msg != WM_USER) return;
    // A lost stream must not look like a frozen picture.
    if (w == NOTIFY_SESSION_LOST || w == NOTIFY_P2P_TIMEOUT) {
      status_ = w == NOTIFY_SESSION_LOST ? QStringLiteral("网络中断，正在重新连接…")
                                         : QStringLiteral("连接超时，设备离线");
      Backend().clear();
      update();
    }
    // The state stays until a picture comes: a stream can start and be lost
    // again before it carries one.
    emit streamNotice(index_, static_cast<unsigned>(w));
  };
  hooks.repaint = [this] { update(); };
  window_ = std::make_unique<QtWindow>(this, std::move(hooks), 352, 288);
}

CMyOutput::~CMyOutput() {
  StopLive(kIdle);
  // The handle is dead for the SDK before the widget goes.
  window_.reset();
}

bool CMyOutput::StartLive(const model::ChannelRecord& entry) {
  std::lock_guard op(op_mutex_);
  if (PlayHandle() != kIdle) stop_locked(kIdle);
  {
    std::lock_guard lock(m_);
    playing_ = false;
    address_ = qs(entry.address);
    address_extra_ = entry.address_extra;
    channel_ = entry.channel_index;
    login_handle_ = entry.login_handle;
    server_index_ = entry.server_index;
  }
  Backend().clear();
  started_ms_ = static_cast<std::int64_t>(platform::tick_ms64());
  const auto c = model::compression_of(entry);
  SetCompressionInf(entry.login_handle, entry.channel_index, c.resolution, c.frame_rate, c.bit_rate,
                    c.image_type);
  // A directly dialled channel posts its stream notices (lost, record
  // failed) to the message window, the others to the play window.
  SetMsgWnd(entry.login_handle, entry.channel_index, Hwnd());
  const long handle = RealPlay(entry.login_handle, entry.channel_index, Hwnd());
  if (handle < 0) {
    request_update();
    return false;
  }
  {
    std::lock_guard lock(m_);
    play_handle_ = handle;
    playing_ = true;
  }
  if (entry.server_index >= 0 && entry.server_index < model::kMaxServers) {
    std::lock_guard lock(state_.table_mutex);
    ++state_.live_views[static_cast<std::size_t>(entry.server_index)];
  }
  request_update();
  return true;
}

void CMyOutput::StopLive(long final_handle) {
  std::lock_guard op(op_mutex_);
  stop_locked(final_handle);
}

void CMyOutput::stop_locked(long final_handle) {
  long login;
  int channel, server;
  bool recording;
  {
    std::lock_guard lock(m_);
    if (play_handle_ < 0) return;
    login = login_handle_;
    channel = channel_;
    server = server_index_;
    recording = recording_;
  }
  if (recording) {
    StopLoacalRecord(login, channel);
    emit recordingChanged(index_, false);
  }
  StopRealPlay(login, channel);
  sound_ = false;
  {
    std::lock_guard lock(m_);
    recording_ = false;
    playing_ = false;
    play_handle_ = final_handle;
  }
  // One pane counts once for its own server, however many entries it has.
  if (server >= 0 && server < model::kMaxServers) {
    std::lock_guard lock(state_.table_mutex);
    int& n = state_.live_views[static_cast<std::size_t>(server)];
    if (n > 0) --n;
  }
  Backend().clear();
  QMetaObject::invokeMethod(
      this, [this] { status_.clear(); }, Qt::QueuedConnection);
  request_update();
}

void CMyOutput::MarkFailed() {
  {
    std::lock_guard lock(m_);
    if (play_handle_ >= 0) return;
    play_handle_ = kFailed;
    playing_ = false;
  }
  request_update();
}

long CMyOutput::PlayHandle() const {
  std::lock_guard lock(m_);
  return play_handle_;
}
bool CMyOutput::Playing() const {
  std::lock_guard lock(m_);
  return playing_;
}
bool CMyOutput::Recording() const {
  std::lock_guard lock(m_);
  return recording_;
}
long CMyOutput::LoginHandle() const {
  std::lock_guard lock(m_);
  return login_handle_;
}
int CMyOutput::Channel() const {
  std::lock_guard lock(m_);
  return channel_;
}
QString CMyOutput::Address() const {
  std::lock_guard lock(m_);
  return address_;
}

bool CMyOutput::StartRecording(const std::filesystem::path& file, std::int64_t stop_time) {
  long login;
  int channel;
  {
    std::lock_guard lock(m_);
    if (!playing_ || recording_) return false;
    login = login_handle_;
    channel = channel_;
  }
  const std::wstring path = platform::wide_from_utf8(file.string());
  if (!StartLocalRecord(login, channel, path.c_str())) return false;
  {
    std::lock_guard lock(m_);
    recording_ = true;
  }
  record_stop_time_ = stop_time;
  emit recordingChanged(index_, true);
  return true;
}

QString CMyOutput::StreamStatus() const {
  return status_;
}

void CMyOutput::StopRecording() {
  long login;
  int channel;
  {
    std::lock_guard lock(m_);
    if (!recording_) return;
    recording_ = false;
    login = login_handle_;
    channel = channel_;
  }
  StopLoacalRecord(login, channel);
  emit recordingChanged(index_, false);
}

int CMyOutput::TakePtzSpeed() {
  int speed = ptz_speed_.load();
  if (speed < 0 || speed > 63) ptz_speed_ = speed = 32;
  return speed;
}

void CMyOutput::request_update() {
  QMetaObject::invokeMethod(
      this, [this] { update(); }, Qt::QueuedConnection);
}

void CMyOutput::SetSelected(bool selected) {
  if (selected_ == selected) return;
  selected_ = selected;
  update();
}

void CMyOutput::SetPaneRect(const model::Rect& r) {
  rect_ = r;
  setGeometry(r.x, r.y, r.width, r.height);
}

void CMyOutput::resizeEvent(QResizeEvent*) {
  Backend().set_size(width(), height());
}

void CMyOutput::paintEvent(QPaintEvent*) {
  QPainter p(this);
  long handle;
  QString address;
  int channel;
  {
    std::lock_guard lock(m_);
    handle = play_handle_;
    address = address_;
    channel = channel_;
  }
  const QRect all = rect();
  if (handle >= 0) {
    // Live: the player's latest picture, or its progress text until the first.
    const QImage* picture = Backend().take_picture();
    if (picture && !picture->isNull()) {
      status_.clear();
      if (picture->size() == all.size())
        p.drawImage(0, 0, *picture);
      else
        p.drawImage(all, *picture);
    } else {
      p.fillRect(all, Qt::black);
      const QString text = status_.isEmpty() ? Backend().text() : status_;
      if (!text.isEmpty()) {
        p.setPen(QColor(220, 220, 220));
        p.drawText(all.adjusted(8, 8, -8, -8), Qt::AlignCenter | Qt::TextWordWrap, text);
      }
    }
  } else {
    p.fillRect(all, QColor(24, 26, 30));
    const QPixmap bg = working_picture(state_.working_folder,
                                       handle == kFailed ? "NoSignal2.bmp" : "NoSignal1.bmp");
    if (!bg.isNull()) p.drawPixmap(all, bg);
    if (handle == kFailed) {
      p.setPen(Qt::white);
      const QFontMetrics fm(font());
      p.drawText(10, 10 + fm.ascent(), address);
      p.drawText(20, 40 + fm.ascent(), QStringLiteral("Channel %1 no signal").arg(channel));
    }
  }
  // The selection frame along the edge.
  p.setPen(selected_ ? QColor(0, 255, 0) : QColor(206, 206, 206));
  p.setBrush(Qt::NoBrush);
  p.drawRect(all.adjusted(0, 0, -1, -1));
}

void CMyOutput::mousePressEvent(QMouseEvent* e) {
  if (e->button() == Qt::LeftButton) emit leftPressed(index_);
  if (e->button() == Qt::RightButton) emit rightPressed(index_, e->globalPosition().toPoint());
}

void CMyOutput::mouseDoubleClickEvent(QMouseEvent* e) {
  if (e->button() == Qt::LeftButton) emit leftDoubleClicked(index_);
}

}  // namespace ui
