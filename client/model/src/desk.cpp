#include "model/desk.h"

#include <algorithm>

namespace model {

std::array<std::optional<Rect>, kPanes> layout_panes(int page_size, int first, Rect area,
                                                     bool full_screen) {
  std::array<std::optional<Rect>, kPanes> out{};
  const int ox = full_screen ? 0 : 10;
  const int oy = full_screen ? 0 : 10;
  if (page_size == 1) {
    if (first < 0 || first >= kPanes) return out;
    out[static_cast<std::size_t>(first)] =
        full_screen ? Rect{0, 0, 1024, 768} : Rect{10, 10, area.width, area.height};
    return out;
  }
  int k = 0;
  switch (page_size) {
    case 4:
      k = 2;
      break;
    case 9:
      k = 3;
      break;
    case 16:
      k = 4;
      break;
    default:
      return out;
  }
  const int w = area.width / k;
  const int h = area.height / k;
  for (int i = 0; i < page_size; ++i) {
    const int r = i / k;
    const int c = i % k;
    out[static_cast<std::size_t>(i)] = Rect{ox + c * (w + 3), oy + r * (h + 2), w, h};
  }
  return out;
}

int page_size_item(int page_size) {
  auto it = std::find(kPageSizes.begin(), kPageSizes.end(), page_size);
  return it == kPageSizes.end() ? -1 : static_cast<int>(it - kPageSizes.begin());
}

bool choose_layout(DeskState& desk, int page_size, MessageSink& messages) {
  if (page_size_item(page_size) < 0 || page_size == desk.page_size) return false;
  if (desk.cycling) {
    messages.info(kStopCyclingFirst);
    return false;
  }
  desk.page_size = page_size;
  desk.selected_pane = 0;
  return true;
}

PreviewStart begin_preview(DeskState& desk, const PlayList& play_list, bool cycle_play) {
  PreviewStart out;
  const int count = std::clamp(play_list.count, 0, kPlayListSize);
  const int n = std::min(count, desk.page_size);
  for (int i = 0; i < n; ++i) {
    if (play_list.entries[static_cast<std::size_t>(i)].listed == 0) continue;
    desk.previewing = true;
    if (desk.page_size < count) {
      desk.play_list_offset = desk.page_size;
      if (cycle_play) {
        desk.cycling = true;
        desk.cycle_position = 0;
        desk.cycle_paused = false;
        out.start_cycling = true;
        break;
      }
      desk.next_page_available = true;
      desk.previous_page_available = false;
    } else {
      desk.play_list_offset = count;
    }
    out.panes.push_back(i);
  }
  return out;
}

void end_preview(DeskState& desk) {
  desk.play_list_offset = 0;
  desk.previewing = false;
  desk.cycling = false;
  desk.cycle_paused = false;
  desk.enlarged = false;
}

namespace {

int entry_or_skip(int e) {
  return e < kPlayListSize ? e : -1;
}

}  // namespace

PageTurn next_page(DeskState& desk, int count) {
  PageTurn out;
  const int n = desk.page_size;
  if (n <= 0 || desk.play_list_offset % n != 0 || desk.play_list_offset == count) return out;
  out.turn = true;
  const int offset = desk.play_list_offset;
  for (int j = 0; j < std::min(n, count - offset); ++j)
    out.entries.push_back(entry_or_skip(offset + j));
  if (n < count - offset) {
    desk.play_list_offset = offset + n;
  } else {
    desk.play_list_offset = count;
    desk.next_page_available = false;
  }
  desk.previous_page_available = true;
  return out;
}

PageTurn previous_page(DeskState& desk, int /*count*/) {
  PageTurn out;
  const int n = desk.page_size;
  const int offset = desk.play_list_offset;
  if (n <= 0 || n >= offset) return out;
  out.turn = true;
  int first;
  if (offset < 2 * n)
    first = 0;
  else if (offset % n != 0)
    first = offset - n - offset % n;
  else
    first = offset - 2 * n;
  for (int j = 0; j < n; ++j) out.entries.push_back(entry_or_skip(first + j));
  if (2 * n < offset) {
    desk.play_list_offset = offset - (offset % n != 0 ? offset % n : n);
  } else {
    desk.play_list_offset = n;
    desk.previous_page_available = false;
  }
  desk.next_page_available = true;
  return out;
}

PageTurn cycle_page(DeskState& desk, int count) {
  PageTurn out;
  const int n = desk.page_size;
  if (count <= 0 || n >= count) return out;
  out.turn = true;
  for (int i = 0; i < n; ++i) {
    out.entries.push_back(entry_or_skip(desk.cycle_position % count));
    ++desk.cycle_position;
  }
  desk.cycle_position %= count;
  desk.play_list_offset =
      desk.play_list_offset == count ? n : std::min(desk.play_list_offset + n, count);
  return out;
}

Compression compression_of(const ChannelRecord& c) {
  Compression out;
  out.resolution = video_format_value(c.video_format_index);
  out.frame_rate = frame_rate_value(c.frame_rate_index);
  out.bit_rate = bit_rate_value(c.bit_rate_index);
  out.image_type = c.video_type_index + 1;
  return out;
}

namespace {
constexpr std::array<Shortcut, 12> kShortcuts{{
    {u"F11", u"选中窗口全屏 / 退出全屏"},
    {u"Esc", u"退出全屏；未全屏时恢复画面缩放"},
    {u"Ctrl+1", u"1 画面"},
    {u"Ctrl+2", u"4 画面"},
    {u"Ctrl+3", u"9 画面"},
    {u"Ctrl+4", u"16 画面"},
    {u"Page Up / Page Down", u"上一页 / 下一页"},
    {u"空格", u"暂停 / 开始循环"},
    {u"方向键", u"按住时转动选中窗口的云台"},
    {u"Ctrl+I", u"显示 / 隐藏通道状态"},
    {u"鼠标滚轮 / 拖动", u"画面数字缩放 / 平移"},
    {u"0", u"恢复画面缩放"},
}};
}  // namespace

std::span<const Shortcut> desk_shortcuts() {
  return kShortcuts;
}

}  // namespace model
