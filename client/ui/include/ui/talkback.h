// CVoiceExchange "语音对讲": live play of one device channel inside the dialog
// with the device's sound on, the operator's microphone coded into G.726-16
// voice frames, and the frames sent upstream to that device (talk) or to every
// marked target (broadcast).
#pragma once

#include <QDialog>
#include <QPointer>

#include <atomic>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <span>
#include <vector>

#include "model/client_state.h"
#include "model/talkback.h"
#include "platform/audio.h"
#include "platform/event.h"
#include "platform/thread.h"
#include "platform/window.h"

class QButtonGroup;
class QComboBox;
class QLabel;
class QPushButton;
class QRadioButton;
class QTableWidget;
class QTimer;

namespace ui {

class CPlayVideo;

// The SDK and player calls of the dialog (tests fake them).
class TalkbackSdk {
 public:
  virtual ~TalkbackSdk() = default;
  virtual void SetCompression(long login, int channel, const model::Compression& c) = 0;
  virtual long RealPlay(long login, int channel, HWND window) = 0;
  virtual void StopRealPlay(long login, int channel) = 0;
  virtual void PlaySound(long port) = 0;
  // May wait on the network: called on the sender's thread only.
  virtual bool SendVoice(long login, std::span<const std::uint8_t> frame, bool authenticate) = 0;
};

class SdkTalkback : public TalkbackSdk {
 public:
  void SetCompression(long login, int channel, const model::Compression& c) override;
  long RealPlay(long login, int channel, HWND window) override;
  void StopRealPlay(long login, int channel) override;
  void PlaySound(long port) override;
  bool SendVoice(long login, std::span<const std::uint8_t> frame, bool authenticate) override;
};

// 8 kHz mono 16-bit capture.
class Microphone {
 public:
  virtual ~Microphone() = default;
  virtual bool Open() = 0;
  virtual void Close() = 0;
  // Captured samples taken; never blocks.
  virtual std::size_t Read(std::span<std::int16_t> out) = 0;
};

class SystemMicrophone : public Microphone {
 public:
  bool Open() override { return input_.open(8000); }
  void Close() override { input_.close(); }
  std::size_t Read(std::span<std::int16_t> out) override { return input_.read(out); }

 private:
  platform::AudioInput input_;
};

// Frames go out on the sender's own thread, in order; the queue holds about
// two seconds of voice, the oldest dropped beyond. A frame goes on the
// device's open connection; without one the target authenticates first (and
// again after a failure).
class VoiceSender {
 public:
  static constexpr std::size_t kMaxQueued = 50;
  explicit VoiceSender(TalkbackSdk& sdk);
  ~VoiceSender();
  VoiceSender(const VoiceSender&) = delete;
  VoiceSender& operator=(const VoiceSender&) = delete;

  void Send(std::vector<long> targets, const model::VoiceFramer::Frame& frame);
  // Waits (bounded) until the queue is empty and the frame under way is out.
  bool Drain(int timeout_ms);
  std::uint64_t Sent() const { return sent_; }
  std::uint64_t Failed() const { return failed_; }
  std::uint64_t Dropped() const { return dropped_; }

 private:
  struct Item {
    std::vector<long> targets;
    model::VoiceFramer::Frame frame;
  };
  void loop();

  TalkbackSdk& sdk_;
  std::mutex m_;
  std::deque<Item> queue_;  // under m_
  bool busy_ = false;       // under m_
  std::array<bool, 128> authenticated_{};
  platform::Event wake_{false, false};
  std::atomic<bool> quit_{false};
  std::atomic<std::uint64_t> sent_{0}, failed_{0}, dropped_{0};
  platform::Thread thread_;
};

class CVoiceExchange : public QDialog {
  Q_OBJECT

 public:
  static constexpr int kQuickLabelTimer = 4597;
  static constexpr int kQuickLabelMs = 1500;
  static constexpr int kCaptureMs = 20;
  static constexpr int kBufferSamples = 400;  // one 800-byte capture buffer

  // playing_elsewhere: live view runs on the desk.
  CVoiceExchange(model::ClientState& state, model::MessageSink& messages,
                 std::function<bool()> playing_elsewhere, QWidget* parent = nullptr);
  ~CVoiceExchange() override;

  // Before the dialog runs (tests).
  void SetSdk(TalkbackSdk* sdk);
  void SetMicrophone(std::unique_ptr<Microphone> microphone);

  void OnStart();
  void OnStop();
  void OnExit();
  void OnAdd();
  void OnDelete();
  // The capture timer's work: whole buffers to frames to the sender.
  void PumpMicrophone();

  bool Talking() const { return talking_; }
  bool Capturing() const { return capturing_; }
  long Port() const { return port_; }
  bool QuickLabels() const { return quick_labels_; }
  bool ChannelFillRunning() const { return fill_thread_.running(); }
  VoiceSender& Sender() { return *sender_; }
  CPlayVideo* Video() const { return video_; }

 signals:
  void channelsFilled();

 protected:
  void reject() override;  // Escape and the close button: Exit

 private:
  void fill_channels();
  void apply_channels(int item, std::vector<QString> items);
  void set_mode(bool broadcast);
  void refill_targets();
  void close_microphone();
  void stop_fill_thread();
  model::ServerTable table_copy();

  model::ClientState& state_;
  model::MessageSink& messages_;
  std::function<bool()> playing_elsewhere_;
  SdkTalkback sdk_default_;
  TalkbackSdk* sdk_ = &sdk_default_;
  std::unique_ptr<Microphone> microphone_;
  std::unique_ptr<VoiceSender> sender_;
  model::VoiceFramer framer_;
  model::BroadcastTargets targets_;
  std::vector<model::TalkServerItem> items_;
  bool broadcast_ = false;
  bool talking_ = false;
  bool capturing_ = false;
  bool quick_labels_ = false;
  long login_ = -1;
  int channel_ = -1;
  long port_ = -1;

  CPlayVideo* video_ = nullptr;
  QRadioButton* broadcast_button_ = nullptr;
  QRadioButton* talk_button_ = nullptr;
  QComboBox* servers_ = nullptr;
  QComboBox* channels_ = nullptr;
  QTableWidget* target_list_ = nullptr;
  QPushButton* start_ = nullptr;
  QPushButton* add_ = nullptr;
  QPushButton* delete_ = nullptr;
  QPushButton* stop_ = nullptr;
  QPushButton* exit_ = nullptr;
  QLabel* status_ = nullptr;
  QTimer* capture_timer_ = nullptr;
  QTimer* quick_timer_ = nullptr;

  // The channel list is filled on its own thread from the server table.
  platform::Thread fill_thread_;
  std::atomic<bool> fill_quit_{false};
};

}  // namespace ui
