#include "ui/alarm_sound.h"

#include <optional>
#include <utility>

#include "model/wav.h"
#include "platform/audio.h"

namespace ui {
namespace {

// After the last sample was queued the output still plays what it holds.
constexpr int kDrainTicks = 600 / AlarmSound::kFeedPeriodMs;

class PlatformSound : public SoundDevice {
 public:
  bool open(int sample_rate) override { return out_.open(sample_rate); }
  void close() override { out_.close(); }
  std::size_t write(std::span<const std::int16_t> samples) override { return out_.write(samples); }

 private:
  platform::AudioOutput out_;
};

}  // namespace

AlarmSound::AlarmSound(QObject* parent) : AlarmSound(std::make_unique<PlatformSound>(), parent) {}

AlarmSound::AlarmSound(std::unique_ptr<SoundDevice> device, QObject* parent)
    : QObject(parent), device_(std::move(device)) {
  timer_.setInterval(kFeedPeriodMs);
  connect(&timer_, &QTimer::timeout, this, &AlarmSound::feed);
}

AlarmSound::~AlarmSound() {
  Stop();
}

bool AlarmSound::Play(const std::filesystem::path& wav) {
  std::optional<model::WavSound> sound = model::read_wav(wav);
  if (!sound || sound->samples.empty()) return false;
  // Reopening drops what the output still holds of an earlier file, and
  // follows the new file's rate.
  Stop();
  if (!device_->open(sound->sample_rate)) return false;
  open_ = true;
  samples_ = std::move(sound->samples);
  position_ = 0;
  drain_ticks_ = 0;
  feed();
  timer_.start();
  return true;
}

bool AlarmSound::PlayAlarm(const model::ClientState& state) {
  const model::ClientSettings& s = state.settings;
  if (s.alarm_sound != 1) return false;
  return Play(model::path_from_text(s.alarm_sound_file, state.drives.drives, state.working_folder));
}

void AlarmSound::Stop() {
  timer_.stop();
  samples_.clear();
  position_ = 0;
  if (open_) device_->close();
  open_ = false;
}

void AlarmSound::feed() {
  if (position_ < samples_.size()) {
    position_ += device_->write(std::span(samples_).subspan(position_));
    return;
  }
  if (++drain_ticks_ >= kDrainTicks) Stop();
}

}  // namespace ui
