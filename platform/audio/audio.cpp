// PortAudio behind platform::AudioOutput. The device pulls samples from a
// single-producer single-consumer ring on its own thread; silence when empty.
#include <alsa/asoundlib.h>
#include <portaudio.h>

#include <atomic>
#include <cstring>
#include <mutex>
#include <vector>

#include "platform/audio.h"

namespace platform {

namespace {

// Pa_Initialize and Pa_Terminate are counted by the library itself, but are
// not safe to call from several threads at once.
std::mutex& pa_mutex() {
  static std::mutex m;
  return m;
}

// A machine without a sound card is normal for a surveillance client (and for
// CI): ALSA's complaints while PortAudio probes it are not shown.
void quiet_alsa(const char*, int, const char*, int, const char*, ...) {}

// A started mono 16-bit stream on the default device of that direction, or
// null (the library is released again).
PaStream* open_default(bool input, int sample_rate, PaStreamCallback* callback, void* user) {
  std::lock_guard lock(pa_mutex());
  snd_lib_error_set_handler(&quiet_alsa);
  if (Pa_Initialize() != paNoError) return nullptr;
  PaStream* stream = nullptr;
  const PaDeviceIndex device = input ? Pa_GetDefaultInputDevice() : Pa_GetDefaultOutputDevice();
  if (device == paNoDevice ||
      Pa_OpenDefaultStream(&stream, input ? 1 : 0, input ? 0 : 1, paInt16, sample_rate,
                           paFramesPerBufferUnspecified, callback, user) != paNoError) {
    Pa_Terminate();
    return nullptr;
  }
  if (Pa_StartStream(stream) != paNoError) {
    Pa_CloseStream(stream);
    Pa_Terminate();
    return nullptr;
  }
  return stream;
}

void close_default(PaStream*& stream) {
  if (!stream) return;
  std::lock_guard lock(pa_mutex());
  Pa_StopStream(stream);
  Pa_CloseStream(stream);
  stream = nullptr;
  Pa_Terminate();
}

}  // namespace

struct AudioOutput::Impl {
  PaStream* stream = nullptr;
  std::vector<std::int16_t> ring;
  std::atomic<std::size_t> head{0};  // written by write()
  std::atomic<std::size_t> tail{0};  // written by the device thread

  static int pull(const void*, void* output, unsigned long frames, const PaStreamCallbackTimeInfo*,
                  PaStreamCallbackFlags, void* user) {
    auto* self = static_cast<Impl*>(user);
    auto* out = static_cast<std::int16_t*>(output);
    const std::size_t size = self->ring.size();
    std::size_t t = self->tail.load(std::memory_order_relaxed);
    const std::size_t h = self->head.load(std::memory_order_acquire);
    unsigned long i = 0;
    for (; i < frames && t != h; ++i) {
      out[i] = self->ring[t];
      t = (t + 1) % size;
    }
    for (; i < frames; ++i) out[i] = 0;
    self->tail.store(t, std::memory_order_release);
    return paContinue;
  }
};

AudioOutput::AudioOutput() : impl_(std::make_unique<Impl>()) {}

AudioOutput::~AudioOutput() {
  close();
}

bool AudioOutput::open(int sample_rate) {
  if (is_open()) return true;
  if (sample_rate <= 0) return false;
  impl_->ring.assign(static_cast<std::size_t>(sample_rate) / 2 + 1, 0);
  impl_->head = 0;
  impl_->tail = 0;
  impl_->stream = open_default(false, sample_rate, &Impl::pull, impl_.get());
  return impl_->stream != nullptr;
}

void AudioOutput::close() {
  close_default(impl_->stream);
}

bool AudioOutput::is_open() const {
  return impl_->stream != nullptr;
}

std::size_t AudioOutput::write(std::span<const std::int16_t> samples) {
  if (!impl_->stream) return 0;
  Impl& s = *impl_;
  const std::size_t size = s.ring.size();
  std::size_t h = s.head.load(std::memory_order_relaxed);
  const std::size_t t = s.tail.load(std::memory_order_acquire);
  std::size_t written = 0;
  for (auto sample : samples) {
    const std::size_t next = (h + 1) % size;
    if (next == t) break;  // full: the rest is dropped
    s.ring[h] = sample;
    h = next;
    ++written;
  }
  s.head.store(h, std::memory_order_release);
  return written;
}

// ---- capture ----

struct AudioInput::Impl {
  PaStream* stream = nullptr;
  std::vector<std::int16_t> ring;
  std::atomic<std::size_t> head{0};  // written by the device thread
  std::atomic<std::size_t> tail{0};  // written by read()

  static int push(const void* input, void*, unsigned long frames, const PaStreamCallbackTimeInfo*,
                  PaStreamCallbackFlags, void* user) {
    auto* self = static_cast<Impl*>(user);
    if (!input) return paContinue;
    const auto* in = static_cast<const std::int16_t*>(input);
    const std::size_t size = self->ring.size();
    std::size_t h = self->head.load(std::memory_order_relaxed);
    const std::size_t t = self->tail.load(std::memory_order_acquire);
    for (unsigned long i = 0; i < frames; ++i) {
      const std::size_t next = (h + 1) % size;
      if (next == t) break;  // nobody reads: the newest samples are dropped
      self->ring[h] = in[i];
      h = next;
    }
    self->head.store(h, std::memory_order_release);
    return paContinue;
  }
};

AudioInput::AudioInput() : impl_(std::make_unique<Impl>()) {}

AudioInput::~AudioInput() {
  close();
}

bool AudioInput::open(int sample_rate) {
  if (is_open()) return true;
  if (sample_rate <= 0) return false;
  impl_->ring.assign(static_cast<std::size_t>(sample_rate) + 1, 0);
  impl_->head = 0;
  impl_->tail = 0;
  impl_->stream = open_default(true, sample_rate, &Impl::push, impl_.get());
  return impl_->stream != nullptr;
}

void AudioInput::close() {
  close_default(impl_->stream);
}

bool AudioInput::is_open() const {
  return impl_->stream != nullptr;
}

std::size_t AudioInput::read(std::span<std::int16_t> out) {
  if (!impl_->stream) return 0;
  Impl& s = *impl_;
  const std::size_t size = s.ring.size();
  std::size_t t = s.tail.load(std::memory_order_relaxed);
  const std::size_t h = s.head.load(std::memory_order_acquire);
  std::size_t n = 0;
  for (; n < out.size() && t != h; ++n) {
    out[n] = s.ring[t];
    t = (t + 1) % size;
  }
  s.tail.store(t, std::memory_order_release);
  return n;
}

}  // namespace platform
