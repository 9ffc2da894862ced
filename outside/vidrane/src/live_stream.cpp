#include "live_stream.h"

#include <utility>

#include "sound.h"

extern "C" {
#include <libavutil/avutil.h>
#include <libavutil/frame.h>
}

namespace vidrane {

LiveStream::LiveStream(long port) : Player(port) {}

LiveStream::~LiveStream() {
  shutdown();
}

bool LiveStream::start() {
  return decoder_.ok();
}

bool LiveStream::input(std::span<const std::uint8_t> frame) {
  auto view = parse_frame(frame);
  {
    std::lock_guard lock(m_);
    if (quit_ || stopped_) return false;
  }
  if (!view) {
    // One damaged frame must not end the stream's feeding: it is dropped.
    ++malformed_;
    return true;
  }
  std::lock_guard decoding(decode_m_);
  bool restart;
  {
    std::lock_guard lock(m_);
    if (quit_ || stopped_) return false;
    restart = std::exchange(restart_, false);
  }
  decoding_thread_.store(std::this_thread::get_id());
  if (restart) {
    decoder_.flush();
    held_.clear();
    wait_key_ = true;
  }
  process(*view);
  decoding_thread_.store({});
  return true;
}

bool LiveStream::play(HWND hwnd) {
  {
    std::lock_guard lock(m_);
    if (quit_) return false;
    if (stopped_) {
      stopped_ = false;
      restart_ = true;
    }
  }
  set_window(hwnd);
  return true;
}

bool LiveStream::stop() {
  {
    std::lock_guard lock(m_);
    if (quit_) return false;
    stopped_ = true;
    restart_ = true;
  }
  set_window(nullptr);
  return true;
}

bool LiveStream::refresh() {
  {
    std::lock_guard lock(m_);
    if (quit_) return false;
  }
  // A frame being decoded brings a newer picture anyway; from a display
  // callback the held picture is the one just shown.
  if (on_own_thread()) return true;
  std::unique_lock decoding(decode_m_, std::try_to_lock);
  if (!decoding.owns_lock()) return true;
  if (const AVFrame* p = held_.get()) present(*p, last_stamp_);
  return true;
}

void LiveStream::shutdown() {
  {
    std::lock_guard lock(m_);
    quit_ = true;
  }
  // A frame under way finishes before the port is gone; a display callback
  // closing its own port cannot wait for itself.
  if (!on_own_thread()) {
    std::lock_guard decoding(decode_m_);
  }
}

void LiveStream::process(const FrameView& view) {
  if (wait_key_) {
    if (!view.header.idr) return;
    wait_key_ = false;
  }
  fps_ = pacing_fps(view.header.fps);
  if (!view.video.empty()) {
    // A unit the decoder refuses is skipped; the next ones go on.
    if (decoder_.send(view.video, count_)) {
      while (const AVFrame* picture = decoder_.receive()) {
        held_.hold(*picture);
        // A picture the decoder could not date (damaged input) takes the count.
        const std::int64_t n = picture->pts != AV_NOPTS_VALUE ? picture->pts : count_;
        last_stamp_ = static_cast<long>(n * 1000 / fps_);
        present(*picture, last_stamp_);
      }
    }
    ++count_;
  }
  if (!view.sound.empty() && SoundRouter::instance().heard(port_)) {
    pcm_.clear();
    decode_voice(view.sound, pcm_);
    SoundRouter::instance().feed(port_, pcm_);
  }
}

}  // namespace vidrane
