// Shared test helpers: reference decodes by the ffmpeg program, picture
// recorders behind the display callback, and temporary folders.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <filesystem>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "teststream/teststream.h"
#include "vidrane/vidrane.h"

namespace vidrane_test {

std::uint64_t fnv1a(std::span<const std::uint8_t> bytes);

bool have_ffmpeg();

// Decodes a raw H.264 stream with the ffmpeg program into pictures of the
// pixel format ("yuv420p", "bgra"); only the pictures whose index is listed
// are returned in full (all when the list is empty), the others as empty.
std::optional<std::vector<std::vector<std::uint8_t>>> ffmpeg_decode(
    const std::string& raw, const std::string& pix_fmt, int width, int height,
    const std::vector<int>& keep = {});

double psnr(std::span<const std::uint8_t> a, std::span<const std::uint8_t> b);

// A folder removed with the object.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  const std::filesystem::path& path() const { return path_; }
  std::filesystem::path operator/(const std::string& name) const { return path_ / name; }

 private:
  std::filesystem::path path_;
};

// What the display callback of a port saw.
struct Shown {
  long width = 0;
  long height = 0;
  long stamp = 0;
  long type = 0;
  std::uint64_t hash = 0;
};

class Recorder {
 public:
  // The recorder of port (one per port, for the plain callback).
  static Recorder& of(long port);
  static PLAY264_DISPLAY_CALLBACK callback();

  void clear();
  std::vector<Shown> shown();
  // Waits until at least n pictures were seen; false after timeout_ms.
  bool wait_count(std::size_t n, int timeout_ms = 10000);
  // Keep the I420 bytes of the next picture seen.
  std::vector<std::uint8_t> last_bytes();

  void add(const Shown& s, std::span<const std::uint8_t> bytes);

 private:
  std::mutex m_;
  std::condition_variable cv_;
  std::vector<Shown> shown_;
  std::vector<std::uint8_t> last_;
};

}  // namespace vidrane_test
