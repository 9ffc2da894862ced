// The alarm sound: a ".wav" file played once through the sound output, fed
// from a timer on the GUI thread (the output queues about half a second).
#pragma once

#include <QObject>
#include <QTimer>

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <span>
#include <vector>

#include "model/client_state.h"

namespace ui {

// Where the samples go: platform::AudioOutput unless a test gives another.
class SoundDevice {
 public:
  virtual ~SoundDevice() = default;
  virtual bool open(int sample_rate) = 0;
  virtual void close() = 0;
  // Never blocks: the count taken.
  virtual std::size_t write(std::span<const std::int16_t> samples) = 0;
};

class AlarmSound : public QObject {
  Q_OBJECT

 public:
  explicit AlarmSound(QObject* parent = nullptr);
  explicit AlarmSound(std::unique_ptr<SoundDevice> device, QObject* parent = nullptr);
  ~AlarmSound() override;

  // Plays the file from its start, in place of one playing. False, and
  // nothing changed, for a file that cannot be read; false without a device.
  bool Play(const std::filesystem::path& wav);
  // With "报警声音选择:" on, the stored sound file; false when off.
  bool PlayAlarm(const model::ClientState& state);
  void Stop();
  // Samples are still being fed or drained.
  bool Playing() const { return timer_.isActive(); }

  static constexpr int kFeedPeriodMs = 100;

 private:
  void feed();

  std::unique_ptr<SoundDevice> device_;
  QTimer timer_;
  std::vector<std::int16_t> samples_;
  std::size_t position_ = 0;
  bool open_ = false;
  int drain_ticks_ = 0;
};

}  // namespace ui
