#include "file_playback.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <fstream>
#include <utility>

#include "frame.h"
#include "sound.h"

extern "C" {
#include <libavutil/avutil.h>
#include <libavutil/frame.h>
}

namespace vidrane {

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kIdleWaitMs = 1000;

}  // namespace

FilePlayback::FilePlayback(long port, std::filesystem::path path)
    : Player(port), path_(std::move(path)) {}

FilePlayback::~FilePlayback() {
  shutdown();
}

bool FilePlayback::start(PLAY264_FILEREF_CALLBACK callback, void* user) {
  data_ = std::make_unique<FileSource>(path_);
  if (!data_->is_open() || !decoder_.ok()) return false;
  {
    std::lock_guard lock(index_m_);
    fileref_ = callback;
    fileref_user_ = user;
    file_bytes_ = data_->size();
  }
  if (!index_thread_.create([this] { index_run(); })) return false;
  if (!player_thread_.create([this] { play_run(); })) {
    shutdown();
    return false;
  }
  index_thread_.resume();
  player_thread_.resume();
  return true;
}

void FilePlayback::set_fileref_callback(PLAY264_FILEREF_CALLBACK callback, void* user) {
  std::lock_guard lock(index_m_);
  fileref_ = callback;
  fileref_user_ = user;
}

void FilePlayback::index_run() {
  FileSource source(path_);
  std::vector<Timed> batch;
  std::uint64_t time_us;
  {
    std::lock_guard lock(index_m_);
    time_us = total_us_;
  }
  auto publish = [&](std::uint64_t bytes) {
    {
      std::lock_guard lock(index_m_);
      entries_.insert(entries_.end(), batch.begin(), batch.end());
      total_us_ = time_us;
      indexed_bytes_ = bytes;
    }
    batch.clear();
    index_cv_.notify_all();
    cv_.notify_all();
  };
  bool complete = scan_frames(
      source, [&] { return !quit_index_.load(); },
      [&](const IndexEntry& e) {
        batch.push_back({e, time_us});
        time_us += 1000000u / e.fps;
        if (batch.size() >= 256) publish(e.offset + e.size);
      });
  PLAY264_FILEREF_CALLBACK callback;
  void* user;
  {
    std::lock_guard lock(index_m_);
    entries_.insert(entries_.end(), batch.begin(), batch.end());
    total_us_ = time_us;
    indexed_bytes_ = file_bytes_;
    index_done_ = true;
    callback = fileref_;
    user = fileref_user_;
  }
  index_cv_.notify_all();
  cv_.notify_all();
  if (complete && callback) callback(port_, user);
}

std::optional<FilePlayback::Timed> FilePlayback::entry(long k) {
  std::lock_guard lock(index_m_);
  if (k < 0 || static_cast<std::size_t>(k) >= entries_.size()) return std::nullopt;
  return entries_[static_cast<std::size_t>(k)];
}

bool FilePlayback::read_frame(const IndexEntry& e, std::vector<std::uint8_t>& out) {
  out.resize(e.size);
  return data_->read(e.offset, out) == e.size;
}

void FilePlayback::deliver(const AVFrame& picture) {
  held_.hold(picture);
  const long k = picture.pts != AV_NOPTS_VALUE ? static_cast<long>(picture.pts) : next_ - 1;
  current_ = k;
  auto e = entry(k);
  present(picture, e ? static_cast<long>(e->start_us / 1000) : 0);
}

void FilePlayback::feed_sound(std::span<const std::uint8_t> sound_part) {
  if (sound_part.empty() || !SoundRouter::instance().heard(port_)) return;
  {
    std::lock_guard lock(m_);
    if (speed_exp_ != 0 || step_mode_) return;  // sound only at normal speed
  }
  pcm_.clear();
  decode_voice(sound_part, pcm_);
  SoundRouter::instance().feed(port_, pcm_);
}

bool FilePlayback::forward() {
  for (;;) {
    auto e = entry(next_);
    if (!e) {
      bool done;
      {
        std::lock_guard lock(index_m_);
        done = index_done_;
      }
      if (done && primed_ && !drained_) {
        // End of file: the pictures the decoder still holds.
        decoder_.drain();
        drained_ = true;
        bool shown = false;
        while (const AVFrame* p = decoder_.receive()) {
          deliver(*p);
          shown = true;
        }
        return shown;
      }
      return false;
    }
    const long k = next_++;
    if (!read_frame(e->entry, frame_buf_)) continue;
    auto view = parse_frame(frame_buf_);
    if (!view) continue;
    if (!primed_) {
      if (!view->header.idr) continue;  // decoding starts at an IDR
      primed_ = true;
    }
    bool shown = false;
    if (!view->video.empty() && decoder_.send(view->video, k)) {
      while (const AVFrame* p = decoder_.receive()) {
        deliver(*p);
        shown = true;
      }
    }
    feed_sound(view->sound);
    if (shown || view->video.empty()) {
      if (!shown) current_ = k;
      return true;
    }
    // A unit without a picture (broken or held back): go on to the next.
  }
}

void FilePlayback::show_exactly(long k) {
  auto target = entry(k);
  if (!target) return;
  long idr = k;
  for (;;) {
    auto e = entry(idr);
    if (e && e->entry.idr) break;
    if (idr == 0) {
      idr = -1;
      break;
    }
    --idr;
  }
  if (idr < 0) return;  // no IDR before it: nothing can be decoded there
  decoder_.flush();
  drained_ = false;
  primed_ = true;
  bool found = false;
  long i = idr;
  // Units up to k, and a few more if the stream reorders pictures.
  for (; !found && i <= k + 16; ++i) {
    auto e = entry(i);
    if (!e) {
      decoder_.drain();
      drained_ = true;
    } else {
      if (!read_frame(e->entry, frame_buf_)) continue;
      auto view = parse_frame(frame_buf_);
      if (!view || view->video.empty()) continue;
      decoder_.send(view->video, i);
    }
    while (const AVFrame* p = decoder_.receive()) {
      if (p->pts == k) {
        deliver(*p);
        found = true;
      }
    }
    if (drained_) break;
  }
  next_ = drained_ ? std::max(i, k + 1) : i;
  if (!found) current_ = k;
}

void FilePlayback::play_run() {
  auto due = Clock::now();
  for (;;) {
    std::unique_lock lock(m_);
    if (quit_) return;
    if (pending_rewind_) {
      pending_rewind_ = false;
      lock.unlock();
      decoder_.flush();
      held_.clear();
      primed_ = false;
      drained_ = false;
      next_ = 0;
      current_ = -1;
      continue;
    }
    if (pending_percent_) {
      const double percent = *pending_percent_;
      pending_percent_.reset();
      lock.unlock();
      // The share of the whole file's length: wait for the index.
      while (!wait_index(200)) {
        std::lock_guard l(m_);
        if (quit_) return;
      }
      long target = -1;
      {
        std::lock_guard l(index_m_);
        if (!entries_.empty()) {
          const auto at = static_cast<std::uint64_t>(std::clamp(percent, 0.0, 100.0) / 100.0 *
                                                     static_cast<double>(total_us_));
          auto it =
              std::upper_bound(entries_.begin(), entries_.end(), at,
                               [](std::uint64_t t, const Timed& e) { return t < e.start_us; });
          target = static_cast<long>(std::max<std::ptrdiff_t>(0, it - entries_.begin() - 1));
          while (target > 0 && !entries_[static_cast<std::size_t>(target)].entry.idr) --target;
        }
      }
      if (target >= 0) show_exactly(target);
      due = Clock::now();
      continue;
    }
    if (pending_back_ > 0) {
      --pending_back_;
      lock.unlock();
      const long k = current_.load();
      if (k > 0) show_exactly(k - 1);
      continue;
    }
    if (pending_steps_ > 0) {
      --pending_steps_;
      lock.unlock();
      forward();
      continue;
    }
    if (pending_refresh_) {
      pending_refresh_ = false;
      lock.unlock();
      if (const AVFrame* p = held_.get()) {
        auto e = entry(static_cast<long>(p->pts));
        present(*p, e ? static_cast<long>(e->start_us / 1000) : 0);
      }
      continue;
    }
    if (playing_ && !paused_ && !step_mode_) {
      const auto now = Clock::now();
      if (now < due) {
        cv_.wait_until(lock, std::min(due, now + std::chrono::milliseconds(kIdleWaitMs)));
        continue;
      }
      const int exp = speed_exp_;
      lock.unlock();
      if (!forward()) {
        // Nothing further yet (index still growing) or the end of the file.
        std::unique_lock l(m_);
        cv_.wait_for(l, std::chrono::milliseconds(index_complete() ? kIdleWaitMs : 20));
        due = Clock::now();
        continue;
      }
      auto e = entry(current_.load());
      const double us = 1e6 / (e ? e->entry.fps : 25) / std::ldexp(1.0, exp);
      due += std::chrono::microseconds(static_cast<std::int64_t>(us));
      // After a stall, carry on from now instead of racing to catch up.
      if (due < Clock::now() - std::chrono::milliseconds(500)) due = Clock::now();
      continue;
    }
    cv_.wait_for(lock, std::chrono::milliseconds(kIdleWaitMs));
    due = Clock::now();
  }
}

bool FilePlayback::play(HWND hwnd) {
  set_window(hwnd);
  {
    std::lock_guard lock(m_);
    if (quit_) return false;
    playing_ = true;
    paused_ = false;
    step_mode_ = false;
  }
  cv_.notify_all();
  return true;
}

bool FilePlayback::stop() {
  {
    std::lock_guard lock(m_);
    if (quit_) return false;
    playing_ = false;
    paused_ = false;
    step_mode_ = false;
    pending_steps_ = 0;
    pending_back_ = 0;
    pending_percent_.reset();
    pending_rewind_ = true;
  }
  set_window(nullptr);
  cv_.notify_all();
  return true;
}

bool FilePlayback::refresh() {
  {
    std::lock_guard lock(m_);
    if (quit_) return false;
    pending_refresh_ = true;
  }
  cv_.notify_all();
  return true;
}

void FilePlayback::shutdown() {
  quit_index_ = true;
  {
    std::lock_guard lock(m_);
    quit_ = true;
  }
  cv_.notify_all();
  if (!index_thread_.is_current()) index_thread_.join();
  if (!player_thread_.is_current()) player_thread_.join();
}

bool FilePlayback::pause(bool paused) {
  {
    std::lock_guard lock(m_);
    if (quit_) return false;
    paused_ = paused;
  }
  cv_.notify_all();
  return true;
}

bool FilePlayback::faster() {
  std::lock_guard lock(m_);
  if (quit_) return false;
  speed_exp_ = std::min(speed_exp_ + 1, 4);
  return true;
}

bool FilePlayback::slower() {
  std::lock_guard lock(m_);
  if (quit_) return false;
  speed_exp_ = std::max(speed_exp_ - 1, -4);
  return true;
}

int FilePlayback::speed_exponent() {
  std::lock_guard lock(m_);
  return speed_exp_;
}

bool FilePlayback::step_forward() {
  {
    std::lock_guard lock(m_);
    if (quit_) return false;
    step_mode_ = true;
    ++pending_steps_;
  }
  cv_.notify_all();
  return true;
}

bool FilePlayback::step_back() {
  {
    std::lock_guard lock(m_);
    if (quit_) return false;
    step_mode_ = true;
    ++pending_back_;
  }
  cv_.notify_all();
  return true;
}

bool FilePlayback::set_position(double percent) {
  if (!(percent >= 0.0 && percent <= 100.0)) return false;  // NaN too
  {
    std::lock_guard lock(m_);
    if (quit_) return false;
    pending_percent_ = percent;
    pending_steps_ = 0;
    pending_back_ = 0;
  }
  cv_.notify_all();
  return true;
}

bool FilePlayback::index_complete() {
  std::lock_guard lock(index_m_);
  return index_done_;
}

bool FilePlayback::wait_index(int timeout_ms) {
  std::unique_lock lock(index_m_);
  return index_cv_.wait_for(lock, std::chrono::milliseconds(timeout_ms),
                            [&] { return index_done_; });
}

long FilePlayback::file_seconds() {
  std::unique_lock lock(index_m_);
  // Asked right after opening: give the index a moment to find frames.
  index_cv_.wait_for(lock, std::chrono::milliseconds(3000),
                     [&] { return index_done_ || entries_.size() >= 64; });
  if (entries_.empty()) return 0;
  std::uint64_t us = total_us_;
  if (!index_done_ && indexed_bytes_ > 0 && file_bytes_ > indexed_bytes_)
    us = static_cast<std::uint64_t>(static_cast<double>(us) * static_cast<double>(file_bytes_) /
                                    static_cast<double>(indexed_bytes_));
  return static_cast<long>((us + 999999) / 1000000);
}

long FilePlayback::played_seconds() {
  const long k = current_.load();
  auto e = entry(k);
  return e ? static_cast<long>(e->start_us / 1000000) : 0;
}

long FilePlayback::total_frames() {
  std::lock_guard lock(index_m_);
  return static_cast<long>(entries_.size());
}

long FilePlayback::current_frame() {
  return std::max(0L, current_.load());
}

bool FilePlayback::clip(const std::filesystem::path& target, long start, long end) {
  if (start < 0 || end < start) return false;
  std::vector<IndexEntry> frames;
  {
    std::unique_lock lock(index_m_);
    index_cv_.wait_for(lock, std::chrono::milliseconds(10000), [&] {
      return index_done_ || entries_.size() > static_cast<std::size_t>(end);
    });
    if (static_cast<std::size_t>(start) >= entries_.size()) return false;
    const auto last = std::min<std::size_t>(static_cast<std::size_t>(end), entries_.size() - 1);
    // The clip must play on its own: it starts at the IDR at or before start,
    // or at the first one after it.
    std::size_t first = static_cast<std::size_t>(start);
    while (first > 0 && !entries_[first].entry.idr) --first;
    if (!entries_[first].entry.idr) {
      first = static_cast<std::size_t>(start);
      while (first <= last && !entries_[first].entry.idr) ++first;
      if (first > last) return false;
    }
    for (std::size_t i = first; i <= last; ++i) frames.push_back(entries_[i].entry);
  }
  std::error_code ec;
  if (std::filesystem::equivalent(target, path_, ec)) return false;  // would cut its own source
  FileSource source(path_);
  if (!source.is_open()) return false;
  std::ofstream out(target, std::ios::binary | std::ios::trunc);
  if (!out) return false;
  std::vector<std::uint8_t> buf;
  for (const auto& e : frames) {
    buf.resize(e.size);
    if (source.read(e.offset, buf) != e.size) return false;
    out.write(reinterpret_cast<const char*>(buf.data()), static_cast<std::streamsize>(buf.size()));
  }
  out.flush();
  return static_cast<bool>(out);
}

}  // namespace vidrane
