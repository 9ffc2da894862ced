#include "platform/headless_window.h"

#include <chrono>
#include <cstring>

namespace platform {

void HeadlessWindow::post_message(UINT msg, WPARAM wparam, LPARAM lparam) {
  {
    std::lock_guard lock(m_);
    messages_.push_back({msg, wparam, lparam});
  }
  cv_.notify_all();
}

void HeadlessWindow::draw_text(std::wstring_view text) {
  {
    std::lock_guard lock(m_);
    texts_.emplace_back(text);
  }
  cv_.notify_all();
}

void HeadlessWindow::show_picture(const Picture& picture) {
  StoredPicture copy;
  const bool valid = picture.width > 0 && picture.height > 0 &&
                     picture.stride >= picture.width * 4 &&
                     picture.pixels.size() >= static_cast<std::size_t>(picture.stride) *
                                                  static_cast<std::size_t>(picture.height - 1) +
                                                  static_cast<std::size_t>(picture.width) * 4;
  if (valid) {
    copy.width = picture.width;
    copy.height = picture.height;
    const std::size_t row = static_cast<std::size_t>(picture.width) * 4;
    copy.pixels.resize(row * static_cast<std::size_t>(picture.height));
    for (int y = 0; y < picture.height; ++y)
      std::memcpy(copy.pixels.data() + row * static_cast<std::size_t>(y),
                  picture.pixels.data() + static_cast<std::size_t>(picture.stride) * y, row);
  }
  {
    std::lock_guard lock(m_);
    ++picture_count_;
    if (kept_.size() < keep_) kept_.push_back(copy);
    last_ = std::move(copy);
  }
  cv_.notify_all();
}

void HeadlessWindow::size(int& width, int& height) {
  std::lock_guard lock(m_);
  width = width_;
  height = height_;
}

void HeadlessWindow::set_size(int width, int height) {
  std::lock_guard lock(m_);
  width_ = width;
  height_ = height;
}

void HeadlessWindow::keep_pictures(std::size_t count) {
  std::lock_guard lock(m_);
  keep_ = count;
}

std::vector<HeadlessWindow::Message> HeadlessWindow::messages() const {
  std::lock_guard lock(m_);
  return messages_;
}

std::vector<std::wstring> HeadlessWindow::texts() const {
  std::lock_guard lock(m_);
  return texts_;
}

std::size_t HeadlessWindow::picture_count() const {
  std::lock_guard lock(m_);
  return picture_count_;
}

std::optional<HeadlessWindow::StoredPicture> HeadlessWindow::last_picture() const {
  std::lock_guard lock(m_);
  return last_;
}

std::vector<HeadlessWindow::StoredPicture> HeadlessWindow::pictures() const {
  std::lock_guard lock(m_);
  return kept_;
}

bool HeadlessWindow::wait_until(const std::function<bool(const Snapshot&)>& pred,
                                int timeout_ms) {
  std::unique_lock lock(m_);
  auto check = [&] { return pred(Snapshot{messages_, texts_, picture_count_}); };
  if (timeout_ms < 0) {
    cv_.wait(lock, check);
    return true;
  }
  return cv_.wait_for(lock, std::chrono::milliseconds(timeout_ms), check);
}

}  // namespace platform
