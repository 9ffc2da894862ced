// A window without a screen, for tests and command-line tools: it records what
// it is given and lets a test wait for it.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "platform/window.h"

namespace platform {

class HeadlessWindow : public WindowBackend {
 public:
  struct Message {
    UINT msg;
    WPARAM wparam;
    LPARAM lparam;
  };
  struct StoredPicture {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> pixels;  // tightly packed BGRA
  };

  explicit HeadlessWindow(int width = 352, int height = 288) : width_(width), height_(height) {}

  void post_message(UINT msg, WPARAM wparam, LPARAM lparam) override;
  void draw_text(std::wstring_view text) override;
  void show_picture(const Picture& picture) override;
  void size(int& width, int& height) override;

  void set_size(int width, int height);
  // Pictures kept in full besides the last one (default 0: count only).
  void keep_pictures(std::size_t count);

  std::vector<Message> messages() const;
  std::vector<std::wstring> texts() const;
  std::size_t picture_count() const;
  std::optional<StoredPicture> last_picture() const;
  std::vector<StoredPicture> pictures() const;

  // Waits until pred() holds, re-checked after everything the window receives;
  // false on time-out. pred runs with the window's lock held: it may call the
  // accessors above only through the snapshot it is given.
  struct Snapshot {
    const std::vector<Message>& messages;
    const std::vector<std::wstring>& texts;
    std::size_t pictures;
  };
  bool wait_until(const std::function<bool(const Snapshot&)>& pred, int timeout_ms);

 private:
  mutable std::mutex m_;
  std::condition_variable cv_;
  int width_;
  int height_;
  std::vector<Message> messages_;
  std::vector<std::wstring> texts_;
  std::size_t picture_count_ = 0;
  std::size_t keep_ = 0;
  std::optional<StoredPicture> last_;
  std::vector<StoredPicture> kept_;
};

// Registers a headless window for a scope and destroys it afterwards.
class ScopedHeadlessWindow {
 public:
  explicit ScopedHeadlessWindow(int width = 352, int height = 288)
      : window_(std::make_shared<HeadlessWindow>(width, height)),
        hwnd_(register_window(window_)) {}
  ~ScopedHeadlessWindow() { destroy(); }
  ScopedHeadlessWindow(const ScopedHeadlessWindow&) = delete;
  ScopedHeadlessWindow& operator=(const ScopedHeadlessWindow&) = delete;

  HWND hwnd() const { return hwnd_; }
  HeadlessWindow& window() { return *window_; }
  HeadlessWindow* operator->() { return window_.get(); }
  void destroy() {
    if (hwnd_) destroy_window(hwnd_);
    hwnd_ = nullptr;
  }

 private:
  std::shared_ptr<HeadlessWindow> window_;
  HWND hwnd_;
};

}  // namespace platform
