// The process-wide window handle table. A handle packs a slot index and that
// slot's generation, so a destroyed window's handle never names a later one.
#include <mutex>
#include <vector>

#include "platform/window.h"

namespace platform {
namespace {

struct Slot {
  std::shared_ptr<WindowBackend> backend;
  std::uint32_t generation = 0;
};

constexpr int kMaxPictureSide = 16384;
constexpr std::uintptr_t kIndexBits = 16;
constexpr std::uintptr_t kIndexMask = (std::uintptr_t{1} << kIndexBits) - 1;

struct Table {
  std::mutex m;
  std::vector<Slot> slots;
  std::vector<std::size_t> free;
};

Table& table() {
  static Table t;
  return t;
}

HWND make_handle(std::size_t index, std::uint32_t generation) {
  // +1 keeps every handle non-null.
  auto value = ((static_cast<std::uintptr_t>(generation) << kIndexBits) | index) + 1;
  return reinterpret_cast<HWND>(value);
}

bool split_handle(HWND hwnd, std::size_t& index, std::uint32_t& generation) {
  auto value = reinterpret_cast<std::uintptr_t>(hwnd);
  if (value == 0) return false;
  --value;
  index = value & kIndexMask;
  generation = static_cast<std::uint32_t>(value >> kIndexBits);
  return true;
}

}  // namespace

HWND register_window(std::shared_ptr<WindowBackend> backend) {
  if (!backend) return nullptr;
  Table& t = table();
  std::lock_guard lock(t.m);
  std::size_t index;
  if (!t.free.empty()) {
    index = t.free.back();
    t.free.pop_back();
  } else {
    if (t.slots.size() > kIndexMask) return nullptr;
    index = t.slots.size();
    t.slots.emplace_back();
  }
  Slot& slot = t.slots[index];
  slot.generation = (slot.generation + 1) & 0x7FFFFFFF;
  if (slot.generation == 0) slot.generation = 1;
  slot.backend = std::move(backend);
  return make_handle(index, slot.generation);
}

void destroy_window(HWND hwnd) {
  std::shared_ptr<WindowBackend> doomed;  // released outside the lock
  std::size_t index;
  std::uint32_t generation;
  if (!split_handle(hwnd, index, generation)) return;
  Table& t = table();
  std::lock_guard lock(t.m);
  if (index >= t.slots.size()) return;
  Slot& slot = t.slots[index];
  if (slot.generation != generation || !slot.backend) return;
  doomed = std::move(slot.backend);
  t.free.push_back(index);
}

std::shared_ptr<WindowBackend> window_backend(HWND hwnd) {
  std::size_t index;
  std::uint32_t generation;
  if (!split_handle(hwnd, index, generation)) return nullptr;
  Table& t = table();
  std::lock_guard lock(t.m);
  if (index >= t.slots.size()) return nullptr;
  const Slot& slot = t.slots[index];
  if (slot.generation != generation) return nullptr;
  return slot.backend;
}

bool draw_window_text(HWND hwnd, std::wstring_view text) {
  auto backend = window_backend(hwnd);
  if (!backend) return false;
  backend->draw_text(text);
  return true;
}

bool show_window_picture(HWND hwnd, const Picture& picture) {
  auto backend = window_backend(hwnd);
  if (!backend) return false;
  backend->show_picture(picture);
  return true;
}

bool fill_window_picture(HWND hwnd, int width, int height, WindowBackend::PictureFill fill,
                         void* context) {
  if (width <= 0 || height <= 0 || width > kMaxPictureSide || height > kMaxPictureSide || !fill)
    return false;
  auto backend = window_backend(hwnd);
  if (!backend) return false;
  backend->fill_picture(width, height, fill, context);
  return true;
}

void WindowBackend::fill_picture(int width, int height, PictureFill fill, void* context) {
  thread_local std::vector<std::uint8_t> pixels;
  const int stride = width * 4;
  pixels.resize(static_cast<std::size_t>(stride) * static_cast<std::size_t>(height));
  if (!fill(context, pixels.data(), stride)) return;
  show_picture({width, height, stride, pixels});
}

bool window_size(HWND hwnd, int& width, int& height) {
  auto backend = window_backend(hwnd);
  if (!backend) return false;
  backend->size(width, height);
  return true;
}

}  // namespace platform

BOOL IsWindow(HWND hwnd) {
  return platform::window_backend(hwnd) ? 1 : 0;
}

BOOL PostMessage(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam) {
  auto backend = platform::window_backend(hwnd);
  if (!backend) return 0;
  backend->post_message(msg, wparam, lparam);
  return 1;
}
