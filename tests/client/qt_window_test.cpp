// Window handles backed by Qt: what the libraries' threads post and show
// reaches the GUI thread as few queued calls, and nothing reaches a widget
// that went away.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>

#include <atomic>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

#include "client_test_util.h"
#include "platform/thread.h"
#include "ui/qt_window.h"

namespace {

using client_test::pump_until;

using ui::QtWindow;
using ui::QtWindowBackend;

// Runs body on a foreign thread and joins it.
void on_thread(std::function<void()> body) {
  platform::Thread t(std::move(body));
  t.resume();
  t.join();
}

// A BGRA picture whose pixel (x, y) has B = x, G = y, R = seed, A = 0xFF, with
// rows padded past their pixels.
struct TestPicture {
  TestPicture(int width, int height, int seed, int padding = 8)
      : width(width), height(height), stride(width * 4 + padding) {
    bytes.assign(static_cast<std::size_t>(stride * height), 0xEE);
    for (int y = 0; y < height; ++y)
      for (int x = 0; x < width; ++x) {
        auto* p = &bytes[static_cast<std::size_t>(y * stride + x * 4)];
        p[0] = static_cast<std::uint8_t>(x);
        p[1] = static_cast<std::uint8_t>(y);
        p[2] = static_cast<std::uint8_t>(seed);
        p[3] = 0xFF;
      }
  }
  platform::Picture picture() const { return {width, height, stride, bytes}; }

  int width, height, stride;
  std::vector<std::uint8_t> bytes;
};

void expect_picture(const QImage* image, int width, int height, int seed) {
  ASSERT_NE(image, nullptr);
  ASSERT_EQ(image->width(), width);
  ASSERT_EQ(image->height(), height);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x)
      ASSERT_EQ(image->pixel(x, y) & 0xFFFFFF, qRgb(seed, y, x) & 0xFFFFFF) << x << "," << y;
}

// Counts what the hooks received, and on which thread; a hook that runs once
// the pane is going counts as late.
struct Pane {
  struct Seen {
    std::atomic<bool> gone{false};
    std::atomic<int> late{0};
  };
  std::shared_ptr<Seen> seen = std::make_shared<Seen>();
  QObject widget;
  std::vector<WPARAM> messages;
  int repaints = 0;
  bool off_gui_thread = false;
  std::optional<QtWindow> window;

  explicit Pane(int width = 352, int height = 288) {
    QtWindowBackend::Hooks hooks;
    hooks.message = [this, seen = seen](UINT, WPARAM w, LPARAM) {
      if (seen->gone) return void(++seen->late);
      check_thread();
      messages.push_back(w);
    };
    hooks.repaint = [this, seen = seen] {
      if (seen->gone) return void(++seen->late);
      check_thread();
      ++repaints;
    };
    window.emplace(&widget, std::move(hooks), width, height);
  }
  // As a widget's destructor: the window goes before the QObject.
  ~Pane() { seen->gone = true; }
  void check_thread() { off_gui_thread |= QThread::currentThread() != widget.thread(); }
  QtWindowBackend& backend() { return window->backend(); }
  HWND hwnd() const { return window->hwnd(); }
};

TEST(QtWindow, PictureTextAndSizeFromAForeignThreadReachTheWidget) {
  Pane pane;
  const TestPicture pic(5, 3, 0x42);
  on_thread([&] {
    EXPECT_TRUE(platform::draw_window_text(pane.hwnd(), L"正在鉴权..."));
    EXPECT_TRUE(platform::show_window_picture(pane.hwnd(), pic.picture()));
  });
  ASSERT_TRUE(pump_until([&] { return pane.repaints > 0; }));
  EXPECT_EQ(pane.repaints, 1);  // picture and text waited together
  EXPECT_FALSE(pane.off_gui_thread);
  expect_picture(pane.backend().take_picture(), 5, 3, 0x42);
  expect_picture(pane.backend().take_picture(), 5, 3, 0x42);  // still the newest
  EXPECT_EQ(pane.backend().text(), QString::fromUtf8("正在鉴权..."));
  // Text drawn later covers the picture (a channel reconnecting).
  on_thread([&] { platform::draw_window_text(pane.hwnd(), L"正在建立视频连接..."); });
  EXPECT_EQ(pane.backend().take_picture(), nullptr);
  EXPECT_EQ(pane.backend().text(), QString::fromUtf8("正在建立视频连接..."));

  // The view stopped: nothing is shown until a new picture comes.
  pane.backend().clear();
  EXPECT_EQ(pane.backend().take_picture(), nullptr);
  EXPECT_TRUE(pane.backend().text().isEmpty());
  const TestPicture next(2, 2, 0x07, 0);
  on_thread([&] { pane.backend().show_picture(next.picture()); });
  ASSERT_TRUE(pump_until([&] { return pane.repaints >= 2; }));
  expect_picture(pane.backend().take_picture(), 2, 2, 0x07);

  pane.backend().set_size(704, 576);
  int w = 0, h = 0;
  on_thread([&] { EXPECT_TRUE(platform::window_size(pane.hwnd(), w, h)); });
  EXPECT_EQ(w, 704);
  EXPECT_EQ(h, 576);
}

TEST(QtWindow, BurstOfPicturesGivesFewRepaintsAndTheNewestPicture) {
  Pane pane;
  std::vector<TestPicture> pics;
  for (int i = 0; i < 4; ++i) pics.emplace_back(16, 8, i);
  on_thread([&] {
    for (int i = 0; i < 1000; ++i) pane.backend().show_picture(pics[i % 4].picture());
  });
  const auto requests = pane.backend().repaint_requests();
  EXPECT_GE(requests, 1u);
  EXPECT_LE(requests, 10u);
  ASSERT_TRUE(pump_until([&] { return pane.repaints > 0; }));
  EXPECT_EQ(pane.repaints, static_cast<int>(requests));
  expect_picture(pane.backend().take_picture(), 16, 8, 999 % 4);

  // Painted: the next picture asks again.
  pane.backend().show_picture(pics[1].picture());
  EXPECT_EQ(pane.backend().repaint_requests(), requests + 1);
  ASSERT_TRUE(pump_until([&] { return pane.repaints == static_cast<int>(requests) + 1; }));
  expect_picture(pane.backend().take_picture(), 16, 8, 1);
}

TEST(QtWindow, MalformedPicturesAreIgnored) {
  Pane pane;
  const TestPicture good(4, 4, 9, 0);
  const auto bytes = std::span<const std::uint8_t>(good.bytes);
  const platform::Picture bad[] = {
      {0, 4, 16, bytes},
      {4, -1, 16, bytes},
      {-4, 4, 16, bytes},
      {4, 4, 15, bytes},                   // stride shorter than a row
      {4, 4, 16, bytes.first(63)},         // one byte short
      {4, 4, 0x40000000, bytes},           // stride * height far past the bytes
      {0x7FFFFFFF, 1, 0x7FFFFFFF, bytes},  // width * 4 overflows int
      {4, 4, 16, {}},
  };
  for (const auto& p : bad) pane.backend().show_picture(p);
  EXPECT_EQ(pane.backend().repaint_requests(), 0u);
  EXPECT_EQ(pane.backend().take_picture(), nullptr);
  pane.backend().show_picture(good.picture());  // exactly stride * height bytes
  expect_picture(pane.backend().take_picture(), 4, 4, 9);
}

TEST(QtWindow, PostedMessagesArriveInOrderOnTheGuiThread) {
  Pane pane;
  on_thread([&] {
    for (WPARAM i = 0; i < 200; ++i) EXPECT_EQ(PostMessage(pane.hwnd(), WM_USER, i, 0), 1);
  });
  ASSERT_TRUE(pump_until([&] { return pane.messages.size() == 200; }));
  for (WPARAM i = 0; i < 200; ++i) ASSERT_EQ(pane.messages[i], i);
  EXPECT_FALSE(pane.off_gui_thread);
}

TEST(QtWindow, DestroyedPaneIsDeadAtOnceAndHearsNothingMore) {
  auto pane = std::make_unique<Pane>();
  const HWND hwnd = pane->hwnd();
  const auto seen = pane->seen;
  std::shared_ptr<platform::WindowBackend> held = platform::window_backend(hwnd);
  ASSERT_TRUE(held);
  const TestPicture pic(8, 8, 3);

  // A player thread that goes on with its copy of the backend through the destruction.
  std::mutex m;
  std::condition_variable cv;
  long calls = 0;
  std::atomic<bool> stop{false};
  platform::Thread player([&] {
    while (!stop) {
      held->post_message(WM_USER, 1, 0);
      held->show_picture(pic.picture());
      PostMessage(hwnd, WM_USER, 2, 0);
      std::lock_guard lock(m);
      ++calls;
      cv.notify_all();
    }
  });
  const auto wait_calls = [&](long n) {
    std::unique_lock lock(m);
    return cv.wait_for(lock, std::chrono::seconds(5), [&] { return calls >= n; });
  };
  player.resume();
  ASSERT_TRUE(wait_calls(100));
  ASSERT_TRUE(pump_until([&] { return !pane->messages.empty() && pane->repaints > 0; }));

  pane.reset();  // queued calls for it are still waiting
  EXPECT_EQ(IsWindow(hwnd), 0);
  EXPECT_EQ(PostMessage(hwnd, WM_USER, 3, 0), 0);
  EXPECT_FALSE(platform::show_window_picture(hwnd, pic.picture()));
  long now;
  {
    std::lock_guard lock(m);
    now = calls;
  }
  EXPECT_TRUE(wait_calls(now + 100));
  QCoreApplication::processEvents();  // would run anything still queued (ASan sees it)
  stop = true;
  player.join();
  QCoreApplication::processEvents();
  EXPECT_EQ(seen->late, 0);
}

}  // namespace
