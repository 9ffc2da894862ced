#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <span>
#include <thread>
#include <vector>

#include "decoder.h"
#include "frame.h"
#include "player.h"

namespace vidrane {

// A live stream decodes on the thread that feeds it: the feeder already takes
// frames off a queue of its own, and a second queue and thread per channel
// would only add a wake-up, a copy and latency to every frame.
class LiveStream : public Player {
 public:
  explicit LiveStream(long port);
  ~LiveStream() override;

  bool start();
  // Decodes one whole frame and shows its pictures before it returns.
  bool input(std::span<const std::uint8_t> frame);

  bool play(HWND hwnd) override;
  bool stop() override;
  bool refresh() override;
  // Waits for a frame being decoded; afterwards input() refuses.
  void shutdown() override;
  bool on_own_thread() const override {
    return decoding_thread_.load() == std::this_thread::get_id();
  }

  // Frames refused for their layout, for tests.
  std::uint64_t malformed() const { return malformed_.load(); }

 private:
  void process(const FrameView& view);

  std::mutex m_;  // the flags, held briefly
  bool quit_ = false;
  bool stopped_ = false;
  bool restart_ = false;  // flush the decoder and wait for an IDR again
  std::atomic<std::uint64_t> malformed_{0};

  // Held while a frame is decoded and shown; close waits on it.
  std::mutex decode_m_;
  std::atomic<std::thread::id> decoding_thread_{};
  VideoDecoder decoder_;
  HeldPicture held_;
  bool wait_key_ = true;
  std::int64_t count_ = 0;
  int fps_ = 25;
  long last_stamp_ = 0;
  std::vector<std::int16_t> pcm_;
};

}  // namespace vidrane
