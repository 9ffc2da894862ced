#include "e2e_support.h"

#include <fstream>
#include <iterator>
#include <map>
#include <string_view>

#include "control/auth.h"
#include "media/advanced_cfg.h"
#include "media/frame_format.h"
#include "media/p2p_registry.h"
#include "platform/clock.h"
#include "platform/event.h"
#include "platform/process.h"
#include "platform/text.h"
#include "vidrane/vidrane.h"

namespace e2e {

namespace fs = std::filesystem;

void tune_for_loopback() {
  velmo::p2p_timing().registerWaitMs = 20;
  velmo::p2p_timing().addressedPauseMs = 5;
  velmo::p2p_timing().plainPauseMs = 1;
  velmo::p2p_timing().pollMs = 20;
  velmo::tuning().addr_query_wait_ms = 150;
  velmo::tuning().addr_query_tries = 2;
}

RecordCheck check_record(const fs::path& path, const orvsim::FrameLoop* loop) {
  RecordCheck r;
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    r.error = "cannot open " + path.string();
    return r;
  }
  const std::string bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  r.bytes = bytes.size();
  // The data of every source frame, keyed by its bytes after the header.
  std::map<std::string_view, std::size_t> source;
  if (loop) {
    for (std::size_t i = 0; i < loop->size(); ++i) {
      const auto& b = loop->frames()[i].bytes;
      if (b.size() < velmo::media::kFrameHeaderSize) continue;
      source.emplace(
          std::string_view(reinterpret_cast<const char*>(b.data()) + velmo::media::kFrameHeaderSize,
                           b.size() - velmo::media::kFrameHeaderSize),
          i);
    }
  }
  std::size_t at = 0;
  std::uint32_t previous = 0;
  while (at < bytes.size()) {
    const auto h = velmo::media::read_frame_header(
        {reinterpret_cast<const std::uint8_t*>(bytes.data()) + at, bytes.size() - at});
    if (!h) {
      r.error = "a partial header at byte " + std::to_string(at);
      return r;
    }
    if (!h->signed_ok()) {
      r.error = "a frame without signature at byte " + std::to_string(at);
      return r;
    }
    if (h->total() > bytes.size() - at) {
      r.error = "a cut frame at byte " + std::to_string(at);
      return r;
    }
    if (r.frames == 0) r.first_type = h->type();
    if (h->type() == 1) ++r.type1_starts;
    if (r.frames > 0 && h->number != previous + 1) ++r.numbering_gaps;
    previous = h->number;
    if (loop) {
      const std::string_view data(bytes.data() + at + velmo::media::kFrameHeaderSize,
                                  static_cast<std::size_t>(h->data_length()));
      if (!source.contains(data)) ++r.foreign_frames;
    }
    ++r.frames;
    at += static_cast<std::size_t>(h->total());
  }
  r.whole = true;
  return r;
}

double loop_kbits_per_second(const orvsim::FrameLoop& loop) {
  std::uint64_t bytes = 0;
  for (const auto& f : loop.frames()) bytes += f.bytes.size();
  const double seconds = static_cast<double>(loop.size()) / loop.format().fps;
  return static_cast<double>(bytes) * 8.0 / 1000.0 / seconds;
}

std::size_t count_messages(platform::HeadlessWindow& w, WPARAM wparam) {
  std::size_t n = 0;
  for (const auto& m : w.messages()) n += m.msg == WM_USER && m.wparam == wparam;
  return n;
}

bool wait_message(platform::HeadlessWindow& w, WPARAM wparam, std::size_t count, int timeout_ms) {
  return w.wait_until(
      [&](const auto& s) {
        std::size_t n = 0;
        for (const auto& m : s.messages) n += m.msg == WM_USER && m.wparam == wparam;
        return n >= count;
      },
      timeout_ms);
}

bool wait_pictures(platform::HeadlessWindow& w, std::size_t count, int timeout_ms) {
  return w.wait_until([&](const auto& s) { return s.pictures >= count; }, timeout_ms);
}

std::size_t count_requests(const orvsim::DeviceLog& log, const orvsim::ChannelKey& key,
                           std::string_view method) {
  std::size_t n = 0;
  for (const auto& r : log.requests()) n += r.key == key && r.request.method == method;
  return n;
}

fs::path write_udp_settings(const std::string& tel, const std::string& xml) {
  const fs::path folder =
      velmo::media::settings_folder(platform::program_dir(), platform::wide_from_utf8(tel));
  fs::create_directories(folder);
  std::ofstream(folder / "AdvancedCfg_UDP.xml") << xml;
  return folder;
}

bool wait_file(const fs::path& path, std::uintmax_t min_size, int timeout_ms) {
  const auto end = platform::tick_ms64() + static_cast<std::uint64_t>(timeout_ms);
  for (;;) {
    std::error_code ec;
    const auto size = fs::file_size(path, ec);
    if (!ec && size >= min_size) return true;
    if (platform::tick_ms64() >= end) return false;
    platform::sleep_ms(10);
  }
}

namespace {
void indexed(long, void* user) {
  static_cast<platform::Event*>(user)->set();
}
}  // namespace

long player_frame_count(const fs::path& path, long port) {
  platform::Event done(true, false);
  Play264_SetFileRefCallBack(port, &indexed, &done);
  if (!Play264_OpenFile(port, path.c_str())) {
    Play264_SetFileRefCallBack(port, nullptr, nullptr);
    return -1;
  }
  const bool ok = done.wait(5000);
  const long frames = ok ? Play264_GetFileTotalFrames(port) : -1;
  Play264_CloseFile(port);
  Play264_SetFileRefCallBack(port, nullptr, nullptr);
  return frames;
}

}  // namespace e2e
