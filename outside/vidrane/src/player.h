// One port's player: a live stream fed frame by frame (live_stream.h), or a
// record file (file_playback.h). shutdown() ends what it runs.
#pragma once

#include <mutex>

#include "decoder.h"
#include "vidrane/vidrane.h"

namespace vidrane {

class Player {
 public:
  explicit Player(long port) : port_(port) {}
  virtual ~Player() = default;
  Player(const Player&) = delete;
  Player& operator=(const Player&) = delete;

  long port() const { return port_; }
  void set_display_callback(PLAY264_DISPLAY_CALLBACK callback);

  virtual bool play(HWND hwnd) = 0;
  virtual bool stop() = 0;
  virtual bool refresh() = 0;
  // Stops and joins the threads; idempotent.
  virtual void shutdown() = 0;
  // True on one of this player's own threads (which must not shut it down).
  virtual bool on_own_thread() const = 0;

 protected:
  // On the player's thread: the picture to the window and to the callback.
  void present(const AVFrame& picture, long time_stamp_ms);
  void set_window(HWND hwnd);

  const long port_;
  Presenter presenter_;  // player thread only

 private:
  std::mutex settings_m_;
  HWND hwnd_ = nullptr;
  PLAY264_DISPLAY_CALLBACK display_ = nullptr;
};

}  // namespace vidrane
