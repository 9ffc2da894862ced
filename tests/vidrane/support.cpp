#include "support.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <random>
#include <sstream>

namespace vidrane_test {

std::uint64_t fnv1a(std::span<const std::uint8_t> bytes) {
  std::uint64_t h = 1469598103934665603ull;
  for (auto b : bytes) {
    h ^= b;
    h *= 1099511628211ull;
  }
  return h;
}

bool have_ffmpeg() {
  return std::system("ffmpeg -version > /dev/null 2>&1") == 0;
}

std::optional<std::vector<std::vector<std::uint8_t>>> ffmpeg_decode(const std::string& raw,
                                                                    const std::string& pix_fmt,
                                                                    int width, int height,
                                                                    const std::vector<int>& keep) {
  TempDir dir;
  const auto in = dir / "in.h264";
  const auto out = dir / "out.raw";
  {
    std::ofstream f(in, std::ios::binary);
    f.write(raw.data(), static_cast<std::streamsize>(raw.size()));
  }
  const std::string cmd = "ffmpeg -v error -nostdin -threads 1 -i '" + in.string() +
                          "' -f rawvideo -pix_fmt " + pix_fmt + " '" + out.string() + "'";
  if (std::system(cmd.c_str()) != 0) return std::nullopt;
  const std::size_t size = pix_fmt == "bgra" ? static_cast<std::size_t>(width) * height * 4
                                             : static_cast<std::size_t>(width) * height * 3 / 2;
  std::ifstream f(out, std::ios::binary);
  std::vector<std::vector<std::uint8_t>> pictures;
  std::vector<std::uint8_t> buf(size);
  for (int i = 0; f.read(reinterpret_cast<char*>(buf.data()), static_cast<std::streamsize>(size));
       ++i) {
    const bool wanted = keep.empty() || std::find(keep.begin(), keep.end(), i) != keep.end();
    pictures.push_back(wanted ? buf : std::vector<std::uint8_t>{});
  }
  return pictures;
}

double psnr(std::span<const std::uint8_t> a, std::span<const std::uint8_t> b) {
  if (a.size() != b.size() || a.empty()) return 0.0;
  double sum = 0.0;
  for (std::size_t i = 0; i < a.size(); ++i) {
    const double d = static_cast<double>(a[i]) - static_cast<double>(b[i]);
    sum += d * d;
  }
  if (sum == 0.0) return 100.0;
  return 10.0 * std::log10(255.0 * 255.0 * static_cast<double>(a.size()) / sum);
}

TempDir::TempDir() {
  std::random_device rd;
  path_ = std::filesystem::temp_directory_path() /
          ("vidrane-test-" + std::to_string(rd()) + std::to_string(rd()));
  std::filesystem::create_directories(path_);
}

TempDir::~TempDir() {
  std::error_code ec;
  std::filesystem::remove_all(path_, ec);
}

Recorder& Recorder::of(long port) {
  static std::array<Recorder, PLAY264_MAX_PORTS> recorders;
  return recorders[static_cast<std::size_t>(port)];
}

namespace {
void on_picture(long port, char* buffer, long size, long width, long height, long stamp, long type,
                long) {
  std::span bytes(reinterpret_cast<const std::uint8_t*>(buffer), static_cast<std::size_t>(size));
  Recorder::of(port).add(Shown{width, height, stamp, type, fnv1a(bytes)}, bytes);
}
}  // namespace

PLAY264_DISPLAY_CALLBACK Recorder::callback() {
  return &on_picture;
}

void Recorder::clear() {
  std::lock_guard lock(m_);
  shown_.clear();
  last_.clear();
}

std::vector<Shown> Recorder::shown() {
  std::lock_guard lock(m_);
  return shown_;
}

bool Recorder::wait_count(std::size_t n, int timeout_ms) {
  std::unique_lock lock(m_);
  return cv_.wait_for(lock, std::chrono::milliseconds(timeout_ms),
                      [&] { return shown_.size() >= n; });
}

std::vector<std::uint8_t> Recorder::last_bytes() {
  std::lock_guard lock(m_);
  return last_;
}

void Recorder::add(const Shown& s, std::span<const std::uint8_t> bytes) {
  {
    std::lock_guard lock(m_);
    shown_.push_back(s);
    last_.assign(bytes.begin(), bytes.end());
  }
  cv_.notify_all();
}

}  // namespace vidrane_test
