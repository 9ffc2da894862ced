// CMyOutput: one pane of the split screen. It starts and stops the live view of
// a play-list entry through the SDK, shows the player's pictures (through its
// platform window) or a "no signal" picture, and its selection frame.
#pragma once

#include <QImage>
#include <QPixmap>
#include <QString>
#include <QWidget>

#include <atomic>
#include <filesystem>
#include <memory>
#include <mutex>
#include <optional>

#include "model/client_state.h"
#include "model/desk.h"
#include "model/records.h"
#include "model/stream_health.h"
#include "ui/qt_window.h"
#include "ui/zoom_control.h"

namespace ui {

class CMyOutput : public QWidget {
  Q_OBJECT

 public:
  static constexpr long kIdle = -1;
  static constexpr long kFailed = -2;

  CMyOutput(int index, model::ClientState& state, QWidget* parent = nullptr);
  ~CMyOutput() override;

  int Index() const { return index_; }
  HWND Hwnd() const { return window_->hwnd(); }
  QtWindowBackend& Backend() { return window_->backend(); }

  // Any thread; the SDK calls may wait on the network, so the preview runs
  // them off the GUI thread. Start: false when RealPlay refused (the pane is
  // then marked failed by the caller with StopLive(kFailed) or MarkFailed()).
  bool StartLive(const model::ChannelRecord& entry);
  // Ends the view; the play handle becomes final_handle (kIdle or kFailed).
  // Nothing happens while the pane is idle (a plain stop) or not playing.
  void StopLive(long final_handle = kIdle);
  void MarkFailed();

  long PlayHandle() const;
  // The play-list entry the pane plays or last tried (none before the first).
  std::optional<model::ChannelRecord> Entry() const;
  bool Playing() const;
  bool Recording() const;
  long LoginHandle() const;
  int Channel() const;
  QString Address() const;

  // The PTZ speed a command sends: 0-63, anything else is put back to 32.
  int TakePtzSpeed();
  bool SoundOn() const { return sound_; }
  void SetSound(bool on) { sound_ = on; }
  // Stops a running recording (any thread).
  void StopRecording();
  // Starts recording into file while the pane plays; false when the SDK
  // refused. stop_time: seconds since the epoch at which file packing closes it.
  bool StartRecording(const std::filesystem::path& file, std::int64_t stop_time);
  std::int64_t RecordStopTime() const { return record_stop_time_; }
  // The state shown over a lost stream until video returns (empty: none).
  QString StreamStatus() const;
  void SetPtzSpeed(int speed) { ptz_speed_ = speed; }
  // platform::tick_ms64() of the last start; -1 before the first.
  std::int64_t StartedMs() const { return started_ms_.load(); }

  // GUI thread.
  // Once a second: samples the stream's counters for the health figures and
  // repaints what changed (the overlay, an interrupted stream's time).
  void HealthTick(std::int64_t now_ms);
  const model::PaneHealth& Health() const { return health_; }
  // platform::tick_ms64() of the newest picture; -1: none since the start.
  std::int64_t LastPictureMs() { return Backend().last_picture_ms(); }
  // The stream showed pictures and none came for longer than model::kStallMs.
  bool Stalled(std::int64_t now_ms);
  void SetHealthOverlay(bool on);
  bool HealthOverlay() const { return overlay_; }
  void SetPosition(const QString& text);
  // Digital zoom of the picture (wheel, drag); it resets when another
  // channel starts.
  void ResetZoom();
  bool Zoomed() const { return zoom_.Zoomed(); }
  const ZoomControl& Zoom() const { return zoom_; }
  void SetSelected(bool selected);
  bool Selected() const { return selected_; }
  model::Rect PaneRect() const { return rect_; }
  void SetPaneRect(const model::Rect& r);

 signals:
  void leftPressed(int pane);
  void leftDoubleClicked(int pane);
  void rightPressed(int pane, QPoint global);
  void streamNotice(int pane, unsigned wparam);
  void recordingChanged(int pane, bool recording);
  // Drag and drop: a pane dragged onto this one, a device-tree channel dropped.
  void paneDropped(int from, int to);
  void channelDropped(int pane, int server, int channel);

 protected:
  void paintEvent(QPaintEvent*) override;
  void resizeEvent(QResizeEvent*) override;
  void mousePressEvent(QMouseEvent*) override;
  void mouseMoveEvent(QMouseEvent*) override;
  void mouseReleaseEvent(QMouseEvent*) override;
  void mouseDoubleClickEvent(QMouseEvent*) override;
  void wheelEvent(QWheelEvent*) override;
  void dragEnterEvent(QDragEnterEvent*) override;
  void dropEvent(QDropEvent*) override;

 private:
  // What the pane plays, read together under the lock.
  struct Shown {
    long handle;
    long login;
    int channel;
    QString address;
  };
  Shown shown() const;
  void stop_locked(long final_handle);
  void request_update();
  void paint_stall(QPainter& p, std::int64_t now_ms);
  void paint_health(QPainter& p);
  void fit_picture_size();

  const int index_;
  model::ClientState& state_;
  std::unique_ptr<QtWindow> window_;

  // Start and stop of one pane never interleave.
  std::mutex op_mutex_;
  // Guards the fields below, read by the painter.
  mutable std::mutex m_;
  long play_handle_ = kIdle;
  bool playing_ = false;
  bool recording_ = false;
  QString address_;
  std::int32_t address_extra_ = 0;
  int channel_ = -1;
  long login_handle_ = -1;
  int server_index_ = -1;
  std::optional<model::ChannelRecord> entry_;

  std::atomic<int> ptz_speed_{32};
  std::atomic<bool> sound_{false};
  std::atomic<std::int64_t> record_stop_time_{0};
  std::atomic<std::int64_t> started_ms_{-1};
  QString status_;  // GUI thread
  bool selected_ = false;
  model::Rect rect_{};
  // Health, GUI thread.
  bool overlay_ = false;
  model::PaneHealth health_;
  model::RateMeter picture_rate_;
  model::RateMeter byte_rate_;
  QPoint press_at_;
  bool may_drag_ = false;
  ZoomControl zoom_;
};

// The drag data of a pane (its index) and its reading.
inline constexpr const char* kPaneMime = "application/x-brevanta-pane";

// A picture of the working folder's "res", loaded once (GUI thread).
QPixmap working_picture(const std::filesystem::path& working_folder, const char* name);

}  // namespace ui
