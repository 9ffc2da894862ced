// Sound output and input through the default audio devices. Built as its own library
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

// Sound input: 16-bit mono samples from the default capture device (the
// microphone). Without one open() fails and nothing else changes.
class AudioInput {
 public:
  AudioInput();
  ~AudioInput();  // closes
  AudioInput(const AudioInput&) = delete;
  AudioInput& operator=(const AudioInput&) = delete;

  bool open(int sample_rate);
  void close();
  bool is_open() const;
  // Takes captured samples; never blocks. About a second is kept: while
  // nobody reads, newer samples are dropped. The count taken.
  std::size_t read(std::span<std::int16_t> out);

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace platform
