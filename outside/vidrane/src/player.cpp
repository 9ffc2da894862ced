#include "player.h"

namespace vidrane {

void Player::set_display_callback(PLAY264_DISPLAY_CALLBACK callback) {
  std::lock_guard lock(settings_m_);
  display_ = callback;
}

void Player::set_window(HWND hwnd) {
  std::lock_guard lock(settings_m_);
  hwnd_ = hwnd;
}

void Player::present(const AVFrame& picture, long time_stamp_ms) {
  HWND hwnd;
  PLAY264_DISPLAY_CALLBACK callback;
  {
    std::lock_guard lock(settings_m_);
    hwnd = hwnd_;
    callback = display_;
  }
  if (hwnd) presenter_.to_window(hwnd, picture);
  if (callback) presenter_.to_callback(callback, port_, picture, time_stamp_ms);
}

}  // namespace vidrane
