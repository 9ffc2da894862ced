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

#include "model/client_state.h"
#include "model/desk.h"
#include "model/records.h"
#include "ui/qt_window.h"

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

 protected:
  void paintEvent(QPaintEvent*) override;
  void resizeEvent(QResizeEvent*) override;
  void mousePressEvent(QMouseEvent*) override;
  void mouseDoubleClickEvent(QMouseEvent*) override;

 private:
  void stop_locked(long final_handle);
  void request_update();

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

  std::atomic<int> ptz_speed_{32};
  std::atomic<bool> sound_{false};
  std::atomic<std::int64_t> record_stop_time_{0};
  std::atomic<std::int64_t> started_ms_{-1};
  QString status_;  // GUI thread
  bool selected_ = false;
  model::Rect rect_{};
};

// A picture of the working folder's "res", loaded once (GUI thread).
QPixmap working_picture(const std::filesystem::path& working_folder, const char* name);

}  // namespace ui
