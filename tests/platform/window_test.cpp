#include <gtest/gtest.h>

#include "platform/headless_window.h"
#include "platform/thread.h"

using namespace platform;

namespace {

TEST(Window, PostedMessagesTextsAndSizeReachTheBackend) {
  ScopedHeadlessWindow w(704, 576);
  ASSERT_TRUE(IsWindow(w.hwnd()));
  EXPECT_TRUE(PostMessage(w.hwnd(), WM_USER, 2145, 0));
  EXPECT_TRUE(draw_window_text(w.hwnd(), L"\u6B63\u5728\u8FDE\u63A5"));
  int width = 0, height = 0;
  EXPECT_TRUE(window_size(w.hwnd(), width, height));
  EXPECT_EQ(width, 704);
  EXPECT_EQ(height, 576);
  auto messages = w->messages();
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0].msg, WM_USER);
  EXPECT_EQ(messages[0].wparam, 2145u);
  EXPECT_EQ(w->texts(), std::vector<std::wstring>{L"\u6B63\u5728\u8FDE\u63A5"});
}

TEST(Window, DestroyedHandleStaysDeadWhenSlotIsReused) {
  auto first = std::make_unique<ScopedHeadlessWindow>();
  HWND dead = first->hwnd();
  first->destroy();
  EXPECT_FALSE(IsWindow(dead));
  ScopedHeadlessWindow second;  // takes the freed slot
  EXPECT_NE(second.hwnd(), dead);
  EXPECT_FALSE(IsWindow(dead));
  EXPECT_FALSE(PostMessage(dead, WM_USER, 1, 0));
  EXPECT_FALSE(draw_window_text(dead, L"x"));
  EXPECT_TRUE(second->messages().empty());
  EXPECT_FALSE(IsWindow(nullptr));
  EXPECT_FALSE(IsWindow(reinterpret_cast<HWND>(0x7FFFFFFF)));
}

TEST(Window, PictureRowsArePackedAndCounted) {
  ScopedHeadlessWindow w;
  w->keep_pictures(1);
  // 2x2 picture with 4 bytes of row padding.
  std::vector<std::uint8_t> pixels(2 * 12, 0);
  for (int i = 0; i < 8; ++i) pixels[i] = static_cast<std::uint8_t>(i + 1);
  for (int i = 0; i < 8; ++i) pixels[12 + i] = static_cast<std::uint8_t>(i + 11);
  Picture p{2, 2, 12, pixels};
  EXPECT_TRUE(show_window_picture(w.hwnd(), p));
  EXPECT_TRUE(show_window_picture(w.hwnd(), p));
  EXPECT_EQ(w->picture_count(), 2u);
  auto last = w->last_picture();
  ASSERT_TRUE(last);
  ASSERT_EQ(last->pixels.size(), 16u);
  EXPECT_EQ(last->pixels[8], 11);
  EXPECT_EQ(w->pictures().size(), 1u);
  Picture short_buffer{2, 2, 12, std::span(pixels).first(10)};
  EXPECT_TRUE(show_window_picture(w.hwnd(), short_buffer));  // counted, not copied past its end
  EXPECT_EQ(w->last_picture()->width, 0);
}

TEST(Window, WaitUntilWakesOnMessageFromAnotherThread) {
  ScopedHeadlessWindow w;
  HWND h = w.hwnd();
  Thread t([h] { PostMessage(h, WM_USER, 2144, 0); });
  t.resume();
  EXPECT_TRUE(w->wait_until(
      [](const HeadlessWindow::Snapshot& s) {
        return !s.messages.empty() && s.messages.back().wparam == 2144;
      },
      5000));
  t.join();
  EXPECT_FALSE(w->wait_until([](const HeadlessWindow::Snapshot& s) { return s.pictures > 0; }, 10));
}

}  // namespace
