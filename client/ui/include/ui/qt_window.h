// The Qt side of a platform window handle: what the SDK and the player post,
// draw and show reaches a widget on the GUI thread. Calls from the libraries'
// threads never block on the GUI and never paint; a picture is copied once
// into a buffer this backend owns and a newer one replaces one still waiting.
#pragma once

#include <QImage>
#include <QObject>
#include <QString>

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

#include "platform/window.h"

namespace ui {

class QtWindowBackend : public platform::WindowBackend {
 public:
  struct Hooks {
    // GUI thread: a posted message.
    std::function<void(UINT, WPARAM, LPARAM)> message;
    // GUI thread: a new picture or text waits; the widget calls update().
    std::function<void()> repaint;
  };
  // context: the widget; the hooks run on its thread through queued calls.
  QtWindowBackend(QObject* context, Hooks hooks, int width, int height);

  // GUI thread, before the widget goes: later calls from any thread go nowhere.
  void detach();

  // Any thread.
  void post_message(UINT msg, WPARAM wparam, LPARAM lparam) override;
  void draw_text(std::wstring_view text) override;
  void show_picture(const platform::Picture& picture) override;
  // Fills the spare buffer in place: the player converts straight into it.
  void fill_picture(int width, int height, PictureFill fill, void* context) override;
  void size(int& width, int& height) override;

  // GUI thread.
  void set_size(int width, int height);
  // The newest picture; null when none came since the last clear or the last
  // text drawn. Valid until
  // the next call of take_picture or clear.
  const QImage* take_picture();
  QString text() const;
  // Forgets the picture and the text (the view stopped).
  void clear();

  // Repaint requests posted so far, for tests and the benchmark.
  std::uint64_t repaint_requests() const { return repaints_.load(); }
  // Pictures taken from the player so far.
  std::uint64_t pictures_received() const { return pictures_.load(); }
  // platform::tick_ms64() of the first picture since the last clear; -1: none.
  std::int64_t first_picture_ms() const { return first_picture_ms_.load(); }
  // platform::tick_ms64() of the newest picture since the last clear; -1: none.
  std::int64_t last_picture_ms() const { return last_picture_ms_.load(); }

  ~QtWindowBackend() override;
  QtWindowBackend(const QtWindowBackend&) = delete;
  QtWindowBackend& operator=(const QtWindowBackend&) = delete;

 private:
  // What a queued call needs; it outlives the backend in the queue.
  struct Link {
    std::mutex m;  // held while posting, so detach waits for a post under way
    QObject* context = nullptr;
    std::atomic<bool> detached{false};
    std::atomic<bool> repaint_pending{false};
    Hooks hooks;
  };

  void request_repaint();
  bool post(std::function<void(Link&)> call);

  const std::shared_ptr<Link> link_;
  std::atomic<int> width_;
  std::atomic<int> height_;
  std::atomic<std::uint64_t> repaints_{0};
  std::atomic<std::uint64_t> pictures_{0};
  std::atomic<std::int64_t> first_picture_ms_{-1};
  std::atomic<std::int64_t> last_picture_ms_{-1};

  mutable std::mutex m_;  // the buffers' places and the text
  // Pictures pass from write (filled without the lock) to ready to display.
  std::unique_ptr<QImage> write_;
  std::unique_ptr<QImage> ready_;
  std::unique_ptr<QImage> display_;
  bool ready_fresh_ = false;
  bool display_valid_ = false;
  std::uint64_t generation_ = 0;  // bumped by clear: a copy under way is dropped
  QString text_;
};

// Registers a QtWindowBackend for a widget and owns its handle: destroying it
// (in the widget's destructor) makes the handle dead for the SDK at once.
class QtWindow {
 public:
  QtWindow(QObject* context, QtWindowBackend::Hooks hooks, int width, int height);
  ~QtWindow();
  QtWindow(const QtWindow&) = delete;
  QtWindow& operator=(const QtWindow&) = delete;

  HWND hwnd() const { return hwnd_; }
  QtWindowBackend& backend() { return *backend_; }

 private:
  std::shared_ptr<QtWindowBackend> backend_;
  HWND hwnd_ = nullptr;
};

}  // namespace ui
