// Window handles. A window is a backend registered in one process-wide handle
// table; the libraries post messages, draw progress text and hand pictures to it
// through its HWND. A destroyed window's handle stays dead (IsWindow false) even
// when its table slot is reused.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string_view>

#include "platform/export.h"
#include "platform/types.h"

namespace platform {

// A decoded picture, 32 bits per pixel in B, G, R, A byte order.
struct Picture {
  int width = 0;
  int height = 0;
  int stride = 0;  // bytes per row
  std::span<const std::uint8_t> pixels;
};

// What a window does with what it is given. Called from any thread, never with
// the handle table locked; implementations return quickly and do not block.
class BREVANTA_EXPORT WindowBackend {
 public:
  virtual ~WindowBackend() = default;
  virtual void post_message(UINT msg, WPARAM wparam, LPARAM lparam) = 0;
  virtual void draw_text(std::wstring_view text) = 0;
  virtual void show_picture(const Picture& picture) = 0;
  // Writes the next picture in place, so it is converted once straight into
  // the buffer that is painted: fill writes width x height pixels at the
  // stride it is given and returns false to drop the picture. By default the
  // picture is filled into a buffer of the calling thread and shown with
  // show_picture.
  using PictureFill = bool (*)(void* context, std::uint8_t* pixels, int stride);
  virtual void fill_picture(int width, int height, PictureFill fill, void* context);
  // Client-area size in pixels.
  virtual void size(int& width, int& height) = 0;
};

BREVANTA_EXPORT HWND register_window(std::shared_ptr<WindowBackend> backend);
// The handle is dead afterwards; calls already under way finish on their copy.
BREVANTA_EXPORT void destroy_window(HWND hwnd);
// The live window's backend, or null.
BREVANTA_EXPORT std::shared_ptr<WindowBackend> window_backend(HWND hwnd);

BREVANTA_EXPORT bool draw_window_text(HWND hwnd, std::wstring_view text);
BREVANTA_EXPORT bool show_window_picture(HWND hwnd, const Picture& picture);
BREVANTA_EXPORT bool fill_window_picture(HWND hwnd, int width, int height,
                                         WindowBackend::PictureFill fill, void* context);
BREVANTA_EXPORT bool window_size(HWND hwnd, int& width, int& height);

}  // namespace platform

BREVANTA_EXPORT BOOL IsWindow(HWND hwnd);
BREVANTA_EXPORT BOOL PostMessage(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam);
