#include "media_source.h"

#include <algorithm>
#include <map>
#include <mutex>
#include <optional>
#include <tuple>

namespace orvsim {

std::string StreamFormat::text() const {
  std::string size = std::to_string(width) + "x" + std::to_string(height);
  if (width == 176 && height == 144) size = "QCIF";
  if (width == 352 && height == 288) size = "CIF";
  if (width == 720 && height == 576) size = "D1";
  return size + " " + std::to_string(fps) + " fps" + (sound ? " + sound" : "");
}

std::optional<StreamFormat> format_for_resolution(std::string_view name) {
  std::string n(name);
  for (char& c : n) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
  StreamFormat f;
  if (n == "qcif") {
    f.width = 176;
    f.height = 144;
  } else if (n == "cif") {
    f.width = 352;
    f.height = 288;
  } else if (n == "d1") {
    f.width = 720;
    f.height = 576;
  } else {
    return std::nullopt;
  }
  return f;
}

FrameLoop::FrameLoop(const StreamFormat& format) : format_(format) {
  teststream::Options o;
  o.width = format.width;
  o.height = format.height;
  o.fps = std::clamp(format.fps, 1, 30);
  o.gop = o.fps;
  format_.fps = o.fps;
  o.sound = format.sound;
  o.preset = "ultrafast";
  o.crf = 28;
  frames_ = teststream::make_frames(o, o.fps * kLoopSeconds);
  // A loop that does not start with an IDR cannot be repeated.
  if (!frames_.empty() && !frames_.front().idr) frames_.clear();
}

std::shared_ptr<const FrameLoop> FrameLoop::get(const StreamFormat& format) {
  using Key = std::tuple<int, int, int, bool>;
  static std::mutex m;
  static std::map<Key, std::shared_ptr<const FrameLoop>> cache;
  const Key key{format.width, format.height, std::clamp(format.fps, 1, 30), format.sound};
  // One lock for the encode too: sixteen channels asking at once wait for the
  // one encode instead of running sixteen.
  std::lock_guard lock(m);
  auto it = cache.find(key);
  if (it != cache.end()) return it->second;
  auto loop = std::make_shared<const FrameLoop>(format);
  if (loop->size() == 0) return nullptr;
  cache.emplace(key, loop);
  return loop;
}

}  // namespace orvsim
