#include "ui/output_pane.h"

#include <QApplication>
#include <QDrag>
#include <QMetaObject>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>

#include <map>

#include "controls/bitmap_tree.h"
#include "controls/skin.h"
#include "model/desk.h"
#include "platform/clock.h"
#include "platform/text.h"
#include "ui/i18n.h"
#include "ui/message_box.h"
#include "velmosdk.h"

namespace ui {

QPixmap working_picture(const std::filesystem::path& folder, const char* name) {
  static std::map<std::filesystem::path, QPixmap> cache;
  const auto load = [&](const std::string& file) {
    const auto path = folder / "res" / file;
    auto it = cache.find(path);
    if (it == cache.end()) {
      QPixmap p;
      p.load(QString::fromStdString(path.string()));
      it = cache.emplace(path, p).first;
    }
    return it->second;
  };
  // A picture with words has its own in the interface's language.
  if (const QString own = skin::language_variant(QString::fromLatin1(name)); !own.isEmpty())
    if (QPixmap p = load(own.toStdString()); !p.isNull()) return p;
  return load(name);
}

CMyOutput::CMyOutput(int index, model::ClientState& state, QWidget* parent)
    : QWidget(parent), index_(index), state_(state) {
  setObjectName(QStringLiteral("pane%1").arg(index));
  setAttribute(Qt::WA_OpaquePaintEvent);
  setAcceptDrops(true);
  // A click gives the keys (arrows, space, pages) to the desk through the pane.
  setFocusPolicy(Qt::ClickFocus);
  QtWindowBackend::Hooks hooks;
  hooks.message = [this](UINT msg, WPARAM w, LPARAM) {
    if (msg != WM_USER) return;
    // A lost stream must not look like a frozen picture.
    if (w == NOTIFY_SESSION_LOST || w == NOTIFY_P2P_TIMEOUT) {
      status_ = w == NOTIFY_SESSION_LOST ? tx("网络中断，正在重新连接…") : tx("连接超时，设备离线");
      Backend().clear();
      update();
    }
    if (w == NOTIFY_SESSION_LOST) ++health_.reconnects;
    if (const std::u16string words = model::notice_words(static_cast<unsigned>(w));
        !words.empty()) {
      model::SystemClock clock;
      health_.last_failure = words + u" " + model::clock_text(clock.local_now());
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
    entry_ = entry;
  }
  Backend().clear();
  QMetaObject::invokeMethod(
      this,
      [this] {
        health_ = {};
        picture_rate_.reset();
        byte_rate_.reset();
        ResetZoom();
      },
      Qt::QueuedConnection);
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

std::optional<model::ChannelRecord> CMyOutput::Entry() const {
  std::lock_guard lock(m_);
  return entry_;
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
  fit_picture_size();
}

// The player scales into the size the backend gives: a zoomed pane asks for
// a larger picture, so the part shown keeps the stream's detail.
void CMyOutput::fit_picture_size() {
  const double scale = zoom_.Zoomed() ? zoom_.View().scale : 1.0;
  const double limit = std::min(scale, 2048.0 / std::max(1, width()));
  const double k = std::max(1.0, limit);
  Backend().set_size(static_cast<int>(width() * k), static_cast<int>(height() * k));
}

void CMyOutput::ResetZoom() {
  if (!zoom_.Zoomed()) return;
  zoom_.Reset();
  fit_picture_size();
  update();
}

void CMyOutput::wheelEvent(QWheelEvent* e) {
  if (PlayHandle() < 0 || !zoom_.Wheel(e, size())) {
    e->ignore();
    return;
  }
  fit_picture_size();
  update();
}

CMyOutput::Shown CMyOutput::shown() const {
  std::lock_guard lock(m_);
  return {play_handle_, login_handle_, channel_, address_};
}

void CMyOutput::HealthTick(std::int64_t now_ms) {
  const auto [handle, login, channel, address] = shown();
  if (handle < 0) return;
  char type[64] = {};
  health_.connect = GetConnectType(login, channel, type, sizeof type)
                        ? model::connect_type_words(type)
                        : std::u16string();
  unsigned long long frames = 0, bytes = 0;
  if (GetStreamCounters(login, channel, &frames, &bytes)) byte_rate_.add(now_ms, bytes);
  picture_rate_.add(now_ms, Backend().pictures_received());
  health_.fps = picture_rate_.per_second();
  health_.kbps = byte_rate_.per_second() * 8.0 / 1000.0;
  const std::int64_t last = Backend().last_picture_ms();
  health_.since_picture_ms = last < 0 ? -1 : std::max<std::int64_t>(0, now_ms - last);
  if (overlay_ || Stalled(now_ms)) update();
}

bool CMyOutput::Stalled(std::int64_t now_ms) {
  return PlayHandle() >= 0 && status_.isEmpty() &&
         model::stream_stalled(Backend().last_picture_ms(), now_ms);
}

void CMyOutput::SetHealthOverlay(bool on) {
  if (overlay_ == on) return;
  overlay_ = on;
  update();
}

void CMyOutput::SetPosition(const QString& text) {
  health_.position = u16(text);
  if (overlay_) update();
}

void CMyOutput::paint_stall(QPainter& p, std::int64_t now_ms) {
  const QRect all = rect();
  p.fillRect(all, QColor(16, 16, 20));
  const std::int64_t age = now_ms - Backend().last_picture_ms();
  model::SystemClock clock;
  const model::LocalTime since = model::local_time_of(clock.seconds_now() - age / 1000);
  QFont big = font();
  big.setPointSizeF(big.pointSizeF() * (height() > 200 ? 1.6 : 1.2));
  big.setBold(true);
  p.setFont(big);
  p.setPen(QColor(235, 70, 60));
  const QFontMetrics fm(big);
  const int mid = all.height() / 2;
  p.drawText(QRect(0, mid - fm.height(), all.width(), fm.height()), Qt::AlignCenter,
             tx("信号中断"));
  p.setFont(font());
  p.setPen(QColor(220, 220, 220));
  p.drawText(QRect(4, mid + 4, all.width() - 8, QFontMetrics(font()).height() + 4), Qt::AlignCenter,
             qs(model::stall_text(since, age)));
}

void CMyOutput::paint_health(QPainter& p) {
  const std::vector<std::u16string> lines = model::health_lines(health_);
  QFont small = font();
  small.setPointSizeF(std::max(7.0, small.pointSizeF() * (width() < 320 ? 0.85 : 1.0)));
  p.setFont(small);
  const QFontMetrics fm(small);
  int w = 0;
  for (const auto& l : lines) w = std::max(w, fm.horizontalAdvance(qs(l)));
  const int lh = fm.height();
  const QRect box(4, 4, std::min(width() - 8, w + 12),
                  std::min(height() - 8, lh * static_cast<int>(lines.size()) + 8));
  p.fillRect(box, QColor(0, 0, 0, 150));
  p.setPen(QColor(240, 240, 240));
  int y = box.top() + 4;
  for (const auto& l : lines) {
    if (y + lh > box.bottom() + 1) break;
    p.drawText(QRect(box.left() + 6, y, box.width() - 8, lh), Qt::AlignLeft | Qt::AlignVCenter,
               fm.elidedText(qs(l), Qt::ElideRight, box.width() - 8));
    y += lh;
  }
}

void CMyOutput::paintEvent(QPaintEvent*) {
  QPainter p(this);
  const auto [handle, login, channel, address] = shown();
  const QRect all = rect();
  const auto now_ms = static_cast<std::int64_t>(platform::tick_ms64());
  if (handle >= 0) {
    // Live: the player's latest picture, or its progress text until the first.
    const QImage* picture = Backend().take_picture();
    if (Stalled(now_ms)) {
      // A stream that stopped bringing pictures must not pass for live.
      paint_stall(p, now_ms);
    } else if (picture && !picture->isNull()) {
      status_.clear();
      if (zoom_.Zoomed())
        zoom_.Draw(p, all, *picture);
      else if (picture->size() == all.size())
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
    if (overlay_) paint_health(p);
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
  if (e->button() == Qt::LeftButton) {
    press_at_ = e->position().toPoint();
    // A zoomed picture pans under a drag; otherwise the drag moves the pane.
    may_drag_ = !zoom_.Press(e);
    emit leftPressed(index_);
  }
  if (e->button() == Qt::RightButton) emit rightPressed(index_, e->globalPosition().toPoint());
}

void CMyOutput::mouseMoveEvent(QMouseEvent* e) {
  if (zoom_.Move(e, size())) {
    update();
    return;
  }
  if (!may_drag_ || !(e->buttons() & Qt::LeftButton)) return;
  if ((e->position().toPoint() - press_at_).manhattanLength() < QApplication::startDragDistance())
    return;
  may_drag_ = false;
  if (PlayHandle() < 0) return;
  // A pane dragged onto another swaps what the two show.
  auto* drag = new QDrag(this);
  auto mime = std::make_unique<QMimeData>();
  mime->setData(QString::fromLatin1(kPaneMime), QByteArray::number(index_));
  drag->setMimeData(mime.release());
  const QImage* picture = Backend().take_picture();
  if (picture && !picture->isNull())
    drag->setPixmap(QPixmap::fromImage(picture->scaled(120, 90, Qt::KeepAspectRatio)));
  drag->exec(Qt::MoveAction);
}

void CMyOutput::mouseReleaseEvent(QMouseEvent* e) {
  zoom_.Release(e);
  may_drag_ = false;
}

void CMyOutput::mouseDoubleClickEvent(QMouseEvent* e) {
  may_drag_ = false;
  if (e->button() == Qt::LeftButton) emit leftDoubleClicked(index_);
}

namespace {
// The pane index a pane drag carries; -1 for anything else.
int dragged_pane(const QMimeData* mime) {
  if (!mime || !mime->hasFormat(QString::fromLatin1(kPaneMime))) return -1;
  bool ok = false;
  const int i = mime->data(QString::fromLatin1(kPaneMime)).toInt(&ok);
  return ok && i >= 0 && i < model::kPanes ? i : -1;
}
}  // namespace

void CMyOutput::dragEnterEvent(QDragEnterEvent* e) {
  qint64 server = 0, channel = 0;
  const int from = dragged_pane(e->mimeData());
  if ((from >= 0 && from != index_) || CBitmapTree::DraggedItem(e->mimeData(), server, channel))
    e->acceptProposedAction();
}

void CMyOutput::dropEvent(QDropEvent* e) {
  qint64 server = 0, channel = 0;
  const int from = dragged_pane(e->mimeData());
  if (from >= 0 && from != index_) {
    e->acceptProposedAction();
    emit paneDropped(from, index_);
  } else if (CBitmapTree::DraggedItem(e->mimeData(), server, channel)) {
    e->acceptProposedAction();
    emit channelDropped(index_, static_cast<int>(server), static_cast<int>(channel));
  }
}

}  // namespace ui
