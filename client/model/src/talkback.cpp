#include "model/talkback.h"

#include <algorithm>

#include "model/i18n.h"
#include "voice/voice.h"

namespace model {

namespace {

std::u16string number(int n) {
  std::u16string s;
  for (char c : std::to_string(n)) s += static_cast<char16_t>(c);
  return s;
}

bool used(const ServerRecord& s) {
  return s.channel_count >= 0;
}

}  // namespace

std::vector<TalkServerItem> talk_server_items(const ServerTable& table) {
  std::vector<TalkServerItem> items{{tx(kChooseServerItem), -1}};
  for (int i = 0; i < kMaxServers; ++i) {
    const ServerRecord& s = table.servers[static_cast<std::size_t>(i)];
    if (used(s)) items.push_back({s.name, i});
  }
  return items;
}

int talk_preselected_item(const std::vector<TalkServerItem>& items, const ServerTable& table) {
  for (std::size_t i = 1; i < items.size(); ++i)
    if (table.servers[static_cast<std::size_t>(items[i].server)].login_handle == 0)
      return static_cast<int>(i);
  return -1;
}

std::vector<std::u16string> talk_channel_items(const ServerRecord& server, bool quick) {
  std::vector<std::u16string> items;
  const int n = std::min(server.channel_count, kChannelsPerServer);
  for (int c = 0; c < n; ++c) {
    const std::u16string name =
        quick ? std::u16string{}
              : shown_channel_name(server.channels[static_cast<std::size_t>(c)].name, c);
    items.push_back(tx(u"通道%1:%2", {number(c), name}));
  }
  return items;
}

std::optional<TalkStart> check_talk_start(const ServerTable& table,
                                          const std::vector<TalkServerItem>& items, int item,
                                          int channel, bool playing_elsewhere,
                                          MessageSink& messages) {
  if (item <= 0 || item >= static_cast<int>(items.size()) || channel < 0) {
    messages.info(kChooseServer);
    return std::nullopt;
  }
  // The list's own item data: with gaps in the table the row is not the index.
  const int server = items[static_cast<std::size_t>(item)].server;
  const ServerRecord& s = table.servers[static_cast<std::size_t>(server)];
  if (playing_elsewhere) {
    messages.info(kStopOtherPlay);
    return std::nullopt;
  }
  if (s.login_handle < 0) {
    messages.info(kLoginFirst);
    return std::nullopt;
  }
  if (!used(s) || channel >= std::min(s.channel_count, kChannelsPerServer)) {
    messages.info(kChooseServerAndChannel);
    return std::nullopt;
  }
  return TalkStart{server, channel, s.login_handle,
                   compression_of(s.channels[static_cast<std::size_t>(channel)])};
}

bool BroadcastTargets::add(const ServerTable& table, const std::vector<TalkServerItem>& items,
                           int item, MessageSink& messages) {
  if (item <= 0 || item >= static_cast<int>(items.size())) {
    messages.info(kChooseServer);
    return false;
  }
  const ServerRecord& s = table.servers[static_cast<std::size_t>(items[item].server)];
  if (s.login_handle < 0 || s.login_handle >= kHandles) {
    messages.info(tx(u"无法与前端%1 对话!\n", {items[static_cast<std::size_t>(item)].text}));
    return false;
  }
  marks_[static_cast<std::size_t>(s.login_handle)] = true;
  return true;
}

void BroadcastTargets::remove_row(int row) {
  const auto marked = handles();
  if (row < 0 || row >= static_cast<int>(marked.size())) return;
  marks_[static_cast<std::size_t>(marked[static_cast<std::size_t>(row)])] = false;
}

std::vector<long> BroadcastTargets::handles() const {
  std::vector<long> out;
  for (int h = 0; h < kHandles; ++h)
    if (marks_[static_cast<std::size_t>(h)]) out.push_back(h);
  return out;
}

std::vector<std::u16string> BroadcastTargets::rows(const ServerTable& table) const {
  std::vector<std::u16string> out;
  for (long h : handles()) {
    std::u16string name;
    for (const auto& s : table.servers)
      if (used(s) && s.login_handle == h) {
        name = s.name;
        break;
      }
    out.push_back(std::move(name));
  }
  return out;
}

VoiceFramer::VoiceFramer() : state_(VOICE_STATE_SIZE) {
  reset();
}

void VoiceFramer::reset() {
  VOICE_EncReset(state_.data(), VOICE_G726_16);
  pending_.clear();
}

std::vector<VoiceFramer::Frame> VoiceFramer::push(std::span<const std::int16_t> samples) {
  pending_.insert(pending_.end(), samples.begin(), samples.end());
  std::vector<Frame> frames;
  std::size_t used_samples = 0;
  while (pending_.size() - used_samples >= kFrameSamples) {
    Frame f{};
    if (VOICE_EncodeFrame(state_.data(), pending_.data() + used_samples, f.data(), kFrameSamples) ==
        0)
      frames.push_back(f);
    used_samples += kFrameSamples;
  }
  pending_.erase(pending_.begin(), pending_.begin() + static_cast<std::ptrdiff_t>(used_samples));
  return frames;
}

}  // namespace model
