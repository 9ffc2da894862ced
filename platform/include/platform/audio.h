// Sound output: 16-bit mono samples to the default audio device. Without a
// device open() fails and nothing else changes. Built as its own library
// (platformaudio) so programs without sound need no audio system.
#pragma once

#include <cstdint>
#include <memory>
#include <span>

namespace platform {

class AudioOutput {
 public:
  AudioOutput();
  ~AudioOutput();  // closes
  AudioOutput(const AudioOutput&) = delete;
  AudioOutput& operator=(const AudioOutput&) = delete;

  // Opens the default output device for mono 16-bit samples; false without one.
  bool open(int sample_rate);
  void close();
  bool is_open() const;
  // Queues samples to be played; never blocks. What does not fit in the
  // device's queue (about half a second) is dropped. The count queued.
  std::size_t write(std::span<const std::int16_t> samples);

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace platform
