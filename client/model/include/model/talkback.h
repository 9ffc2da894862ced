// The talkback dialog's rules: the server and channel lists, the checks of a
// start, the broadcast targets, and the framing of microphone samples into
// G.726-16 voice frames.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "model/desk.h"
#include "model/messages.h"
#include "model/records.h"

namespace model {

inline constexpr std::u16string_view kChooseServerItem = u"请选择视频服务器";
inline constexpr std::u16string_view kChooseServer = u"请选择视频服务器!";
inline constexpr std::u16string_view kStopOtherPlay = u"请首先停止其他播放！";
inline constexpr std::u16string_view kLoginFirst = u"请首先登录服务器！";
inline constexpr std::u16string_view kChooseServerAndChannel = u"请选择要对讲的服务器和通道！";
inline constexpr std::u16string_view kTalkPlayFailed = u"播放失败";

// One item of the server list: item 0 is the prompt (server -1).
struct TalkServerItem {
  std::u16string text;
  int server = -1;
};

// Item 0 and every used server record in table order.
std::vector<TalkServerItem> talk_server_items(const ServerTable& table);
// The item to preselect: the first server logged in as handle 0, else none (-1).
int talk_preselected_item(const std::vector<TalkServerItem>& items, const ServerTable& table);
// The channel items of a server; quick: numbers only.
std::vector<std::u16string> talk_channel_items(const ServerRecord& server, bool quick);

// What Start may go on with.
struct TalkStart {
  int server = -1;
  int channel = -1;
  long login_handle = -1;
  Compression compression;
};

// Start's checks in order, each with its message. item: the server list's
// selection; channel: the channel list's (-1 none). Nothing is marked playing
// here: the caller does that once the start goes on.
std::optional<TalkStart> check_talk_start(const ServerTable& table,
                                          const std::vector<TalkServerItem>& items, int item,
                                          int channel, bool playing_elsewhere,
                                          MessageSink& messages);

// The broadcast targets by login handle.
class BroadcastTargets {
 public:
  static constexpr int kHandles = 128;
  // Item 0 or a server without login: the message, false.
  bool add(const ServerTable& table, const std::vector<TalkServerItem>& items, int item,
           MessageSink& messages);
  // The row of the list (rows follow ascending handles).
  void remove_row(int row);
  void clear() { marks_.fill(false); }
  // Ascending marked handles.
  std::vector<long> handles() const;
  // The rows: the name of the first server record with each handle.
  std::vector<std::u16string> rows(const ServerTable& table) const;

 private:
  std::array<bool, kHandles> marks_{};
};

// Microphone samples in, whole voice frames out: every sample is coded, in
// frames of 320 samples (40 ms, 84 bytes), the rest kept for the next call.
class VoiceFramer {
 public:
  static constexpr int kFrameSamples = 320;
  static constexpr std::size_t kFrameBytes = 84;
  using Frame = std::array<std::uint8_t, kFrameBytes>;

  VoiceFramer();
  void reset();
  std::vector<Frame> push(std::span<const std::int16_t> samples);

 private:
  std::vector<unsigned char> state_;
  std::vector<std::int16_t> pending_;
};

}  // namespace model
