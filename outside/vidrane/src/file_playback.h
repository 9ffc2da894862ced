// A record file on a port: an index thread builds the frame index while a
// play thread paces, steps, seeks and clips.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <vector>

#include "decoder.h"
#include "file_index.h"
#include "platform/thread.h"
#include "player.h"

namespace vidrane {

class FilePlayback : public Player {
 public:
  FilePlayback(long port, std::filesystem::path path);
  ~FilePlayback() override;

  // Opens the file and starts indexing; false when it cannot be read.
  bool start(PLAY264_FILEREF_CALLBACK callback, void* user);
  void set_fileref_callback(PLAY264_FILEREF_CALLBACK callback, void* user);

  bool play(HWND hwnd) override;
  bool stop() override;
  bool refresh() override;
  void shutdown() override;
  bool on_own_thread() const override {
    return player_thread_.is_current() || index_thread_.is_current();
  }

  bool pause(bool paused);
  bool faster();
  bool slower();
  bool step_forward();
  bool step_back();
  bool set_position(double percent);

  long file_seconds();
  long played_seconds();
  long total_frames();
  long current_frame();
  bool index_complete();
  // Waits up to timeout_ms for the index; true when it is complete.
  bool wait_index(int timeout_ms);
  bool clip(const std::filesystem::path& target, long start, long end);
  // Speed as 2^exponent, -4..4.
  int speed_exponent();

 private:
  struct Timed {
    IndexEntry entry;
    std::uint64_t start_us = 0;
  };
  void index_run();
  void play_run();
  std::optional<Timed> entry(long k);
  // Decodes frame k (when it is next) and shows its picture; false when k is
  // not (yet) in the index.
  bool forward();
  // Shows exactly frame k, decoding from the IDR at or before it.
  void show_exactly(long k);
  bool read_frame(const IndexEntry& e, std::vector<std::uint8_t>& out);
  void deliver(const AVFrame& picture);
  void feed_sound(std::span<const std::uint8_t> sound_part);

  const std::filesystem::path path_;

  // The index, built by the index thread.
  std::mutex index_m_;
  std::condition_variable index_cv_;
  std::vector<Timed> entries_;
  std::uint64_t total_us_ = 0;
  std::uint64_t indexed_bytes_ = 0;
  std::uint64_t file_bytes_ = 0;
  bool index_done_ = false;
  std::atomic<bool> quit_index_{false};
  PLAY264_FILEREF_CALLBACK fileref_ = nullptr;
  void* fileref_user_ = nullptr;

  // Transport state and commands for the play thread.
  std::mutex m_;
  std::condition_variable cv_;
  bool quit_ = false;
  bool playing_ = false;
  bool paused_ = false;
  bool step_mode_ = false;
  int speed_exp_ = 0;
  int pending_steps_ = 0;
  int pending_back_ = 0;
  std::optional<double> pending_percent_;
  bool pending_refresh_ = false;
  bool pending_rewind_ = false;
  std::atomic<long> current_{-1};

  // Play thread only.
  std::unique_ptr<FileSource> data_;
  VideoDecoder decoder_;
  HeldPicture held_;
  long next_ = 0;
  bool primed_ = false;  // an IDR was sent since the last flush
  bool drained_ = false;
  std::vector<std::uint8_t> frame_buf_;
  std::vector<std::int16_t> pcm_;

  platform::Thread index_thread_;
  platform::Thread player_thread_;
};

}  // namespace vidrane
