// The main window's desk without widgets: the split-screen geometry, the
// layout choice, the first page of a preview and the compression values a
// channel's indexes stand for.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "model/messages.h"
#include "model/records.h"

namespace model {

inline constexpr int kPanes = 16;

struct Rect {
  int x = 0;
  int y = 0;
  int width = 0;
  int height = 0;
  bool operator==(const Rect&) const = default;
};

// Where each pane goes for page size n (1, 4, 9, 16): pane `first` alone for 1,
// panes 0 .. n-1 in row order otherwise; nullopt for hidden panes. The grid
// starts at (10, 10), or (0, 0) in full screen.
std::array<std::optional<Rect>, kPanes> layout_panes(int page_size, int first, Rect video_area,
                                                     bool full_screen);

// The combo box items of "分屏数" and the page sizes they stand for.
inline constexpr std::array<int, 4> kPageSizes{1, 4, 9, 16};
int page_size_item(int page_size);  // -1 for a size not offered

struct DeskState {
  int page_size = 9;
  int play_list_offset = 0;
  int cycle_position = 0;
  bool previewing = false;
  bool cycling = false;
  bool cycle_paused = false;
  bool enlarged = false;
  bool single_full_screen = false;
  bool multi_full_screen = false;
  bool next_page_available = false;
  bool previous_page_available = false;
  int selected_pane = 0;
  bool locked = false;
};

// A layout chosen with the combo box or a layout button: true when the layout
// is to be applied (first pane 0, pane 0 selected). Choosing the current size
// does nothing; while cycling "请停止循环播放!" refuses.
bool choose_layout(DeskState& desk, int page_size, MessageSink& messages);
inline constexpr std::u16string_view kStopCyclingFirst = u"请停止循环播放!";

// "预览" while idle: the panes to start, pane i on play-list entry i, and the
// paging flags set the way the first page leaves them. With cycle play on and
// more entries than panes, cycling takes over and no pane is started here.
struct PreviewStart {
  std::vector<int> panes;
  bool start_cycling = false;
};
PreviewStart begin_preview(DeskState& desk, const PlayList& play_list, bool cycle_play);

// After stop-all.
void end_preview(DeskState& desk);

// A page turn: pane j shows play-list entry entries[j] (entries at 512 or
// beyond are skipped: -1). turn is false when the command does nothing.
struct PageTurn {
  bool turn = false;
  std::vector<int> entries;
};
// "下一页" and "上一页" with count play-list entries; the offset and the
// page flags move as the pages do.
PageTurn next_page(DeskState& desk, int count);
PageTurn previous_page(DeskState& desk, int count);
// One page of automatic cycling: the next page size entries from the cycle
// position, wrapping at the end of the play list.
PageTurn cycle_page(DeskState& desk, int count);

// The values SetCompressionInf receives for a channel's indexes.
struct Compression {
  int resolution = 1;
  int frame_rate = 10;
  int bit_rate = 128;
  int image_type = 1;
  bool operator==(const Compression&) const = default;
};
Compression compression_of(const ChannelRecord& channel);

// The desk's keys, for the list the about dialog shows. Each key runs the
// command of its button or menu item, rights check included.
struct Shortcut {
  std::u16string_view keys;
  std::u16string_view action;
};
std::span<const Shortcut> desk_shortcuts();

}  // namespace model
