#include "ui/qt_window.h"

#include <QMetaObject>

#include <cstring>
#include <utility>

#include "platform/clock.h"

namespace ui {

QtWindowBackend::QtWindowBackend(QObject* context, Hooks hooks, int width, int height)
    : link_(std::make_shared<Link>()), width_(width), height_(height) {
  link_->context = context;
  link_->hooks = std::move(hooks);
}

QtWindowBackend::~QtWindowBackend() {
  // The last owner may be a player thread: queued calls must not outlive us into a widget.
  std::lock_guard lock(link_->m);
  link_->detached.store(true);
  link_->context = nullptr;
}

void QtWindowBackend::detach() {
  std::lock_guard lock(link_->m);
  link_->detached.store(true);
  link_->context = nullptr;
  // The hooks may hold the widget; queued calls never run them again.
  link_->hooks = {};
}

bool QtWindowBackend::post(std::function<void(Link&)> call) {
  std::lock_guard lock(link_->m);
  if (link_->detached.load() || !link_->context) return false;
  // The functor holds the link, not the backend: the backend may go first.
  return QMetaObject::invokeMethod(
      link_->context,
      [link = link_, call = std::move(call)] {
        if (!link->detached.load()) call(*link);
      },
      Qt::QueuedConnection);
}

void QtWindowBackend::request_repaint() {
  if (link_->repaint_pending.exchange(true)) return;
  const bool posted = post([](Link& link) {
    // Cleared first: a picture that comes while painting asks again.
    link.repaint_pending.store(false);
    if (link.hooks.repaint) link.hooks.repaint();
  });
  if (posted)
    repaints_.fetch_add(1);
  else
    link_->repaint_pending.store(false);
}

void QtWindowBackend::post_message(UINT msg, WPARAM wparam, LPARAM lparam) {
  post([msg, wparam, lparam](Link& link) {
    if (link.hooks.message) link.hooks.message(msg, wparam, lparam);
  });
}

void QtWindowBackend::draw_text(std::wstring_view text) {
  QString converted = QString::fromWCharArray(text.data(), static_cast<qsizetype>(text.size()));
  {
    std::lock_guard lock(m_);
    text_ = std::move(converted);
    // Text drawn over a window covers its picture until the next one comes:
    // a channel that reconnects says so instead of freezing.
    ready_fresh_ = false;
    display_valid_ = false;
  }
  request_repaint();
}

void QtWindowBackend::show_picture(const platform::Picture& picture) {
  const std::int64_t width = picture.width;
  const std::int64_t height = picture.height;
  const std::int64_t stride = picture.stride;
  if (width <= 0 || height <= 0 || stride < width * 4 ||
      static_cast<std::uint64_t>(stride * height) > picture.pixels.size())
    return;
  fill_picture(
      picture.width, picture.height,
      [](void* context, std::uint8_t* dst, int dst_stride) {
        // B,G,R,A bytes are RGB32's little-endian layout: rows are copied as they are.
        const auto& p = *static_cast<const platform::Picture*>(context);
        const std::uint8_t* src = p.pixels.data();
        if (dst_stride == p.stride) {
          std::memcpy(dst, src, static_cast<std::size_t>(p.stride) * p.height);
          return true;
        }
        for (int y = 0; y < p.height; ++y)
          std::memcpy(dst + static_cast<std::ptrdiff_t>(y) * dst_stride,
                      src + static_cast<std::ptrdiff_t>(y) * p.stride,
                      static_cast<std::size_t>(p.width) * 4);
        return true;
      },
      const_cast<platform::Picture*>(&picture));
}

void QtWindowBackend::fill_picture(int width, int height, PictureFill fill, void* context) {
  if (width <= 0 || height <= 0 || !fill) return;
  std::unique_ptr<QImage> buffer;
  std::uint64_t generation;
  {
    std::lock_guard lock(m_);
    buffer = std::move(write_);
    generation = generation_;
  }
  if (!buffer || buffer->width() != width || buffer->height() != height)
    buffer = std::make_unique<QImage>(width, height, QImage::Format_RGB32);
  if (buffer->isNull()) return;  // too large to allocate
  const bool filled = fill(context, buffer->bits(), static_cast<int>(buffer->bytesPerLine()));

  {
    std::lock_guard lock(m_);
    if (filled && generation == generation_) {
      std::swap(buffer, ready_);
      ready_fresh_ = true;
    }
    // The replaced picture's buffer is the next one to fill.
    if (!write_) write_ = std::move(buffer);
    if (!filled || generation != generation_) return;
  }
  ++pictures_;
  const auto now = static_cast<std::int64_t>(platform::tick_ms64());
  std::int64_t none = -1;
  first_picture_ms_.compare_exchange_strong(none, now);
  last_picture_ms_ = now;
  request_repaint();
}

void QtWindowBackend::size(int& width, int& height) {
  width = width_.load();
  height = height_.load();
}

void QtWindowBackend::set_size(int width, int height) {
  width_.store(width);
  height_.store(height);
}

const QImage* QtWindowBackend::take_picture() {
  std::lock_guard lock(m_);
  if (ready_fresh_) {
    std::swap(ready_, display_);
    ready_fresh_ = false;
    display_valid_ = true;
  }
  return display_valid_ ? display_.get() : nullptr;
}

QString QtWindowBackend::text() const {
  std::lock_guard lock(m_);
  return text_;
}

void QtWindowBackend::clear() {
  std::lock_guard lock(m_);
  ready_fresh_ = false;
  display_valid_ = false;
  text_.clear();
  ++generation_;
  first_picture_ms_ = -1;
  last_picture_ms_ = -1;
}

QtWindow::QtWindow(QObject* context, QtWindowBackend::Hooks hooks, int width, int height)
    : backend_(std::make_shared<QtWindowBackend>(context, std::move(hooks), width, height)),
      hwnd_(platform::register_window(backend_)) {}

QtWindow::~QtWindow() {
  // Dead for the SDK first, then nothing more reaches the widget.
  platform::destroy_window(hwnd_);
  backend_->detach();
}

}  // namespace ui
