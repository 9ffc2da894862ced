#include "file_index.h"

#include <algorithm>
#include <cstring>

#include "frame.h"

namespace vidrane {

std::size_t MemorySource::read(std::uint64_t offset, std::span<std::uint8_t> out) {
  if (offset >= bytes_.size()) return 0;
  const std::size_t n = std::min<std::uint64_t>(out.size(), bytes_.size() - offset);
  std::memcpy(out.data(), bytes_.data() + offset, n);
  return n;
}

FileSource::FileSource(const std::filesystem::path& path) {
  std::error_code ec;
  if (!std::filesystem::is_regular_file(path, ec)) return;
  file_ = std::fopen(path.c_str(), "rb");
  if (!file_) return;
  const auto size = std::filesystem::file_size(path, ec);
  size_ = ec ? 0 : size;
}

FileSource::~FileSource() {
  if (file_) std::fclose(file_);
}

std::size_t FileSource::read(std::uint64_t offset, std::span<std::uint8_t> out) {
  if (!file_ || offset >= size_) return 0;
  if (offset != position_) {
    if (std::fseek(file_, static_cast<long>(offset), SEEK_SET) != 0) return 0;
    position_ = offset;
  }
  const std::size_t n = std::fread(out.data(), 1, out.size(), file_);
  position_ += n;
  if (n < out.size()) std::clearerr(file_);
  return n;
}

namespace {

// A window of the source kept in memory; reads whole blocks.
class Window {
 public:
  static constexpr std::size_t kBlock = 1u << 20;
  explicit Window(ByteSource& source)
      : source_(source),
        buf_(static_cast<std::size_t>(std::max<std::uint64_t>(
            std::min<std::uint64_t>(kBlock, source.size()), kHeaderSize))) {}
  std::size_t capacity() const { return buf_.size(); }

  // At most n (<= capacity()) bytes from offset; fewer only at the end of the source.
  std::span<const std::uint8_t> at(std::uint64_t offset, std::size_t n) {
    n = std::min(n, buf_.size());
    if (offset < start_ || offset + n > start_ + len_) {
      // Keep reading forward from the end of the window when possible, so a
      // sequential scan reads every byte once.
      start_ = offset;
      len_ = source_.read(offset, buf_);
    }
    const std::size_t have = static_cast<std::size_t>(start_ + len_ - offset);
    return {buf_.data() + (offset - start_), std::min(n, have)};
  }

 private:
  ByteSource& source_;
  std::vector<std::uint8_t> buf_;
  std::uint64_t start_ = 0;
  std::size_t len_ = 0;
};

bool header_at(Window& w, std::uint64_t offset, std::uint64_t size, FrameHeader& out) {
  if (offset + kHeaderSize > size) return false;
  auto h = parse_header(w.at(offset, kHeaderSize));
  if (!h) return false;
  out = *h;
  return true;
}

// A header at offset whose frame lies within the source.
bool fits_at(Window& w, std::uint64_t offset, std::uint64_t size) {
  FrameHeader h;
  return header_at(w, offset, size, h) && offset + h.total() <= size;
}

// A header at offset whose frame ends at the end of the source or at another
// header: a frame whose length can be trusted.
bool chained_at(Window& w, std::uint64_t offset, std::uint64_t size) {
  FrameHeader h;
  FrameHeader next;
  if (!header_at(w, offset, size, h)) return false;
  const std::uint64_t end = offset + h.total();
  return end == size || header_at(w, end, size, next);
}

// Offset of the first header position in [from, to) whose signature is in
// place, or to.
std::uint64_t find_signature(Window& w, std::uint64_t from, std::uint64_t to) {
  std::uint8_t pattern[4];
  std::memcpy(pattern, &kSignature, sizeof pattern);
  std::uint64_t pos = from;
  while (pos < to) {
    const std::size_t want =
        static_cast<std::size_t>(std::min<std::uint64_t>(w.capacity(), to - pos + 8 + 4));
    auto bytes = w.at(pos, want);
    if (bytes.size() < kHeaderSize) return to;
    // The signature sits 8 bytes into the header.
    auto it = std::search(bytes.begin() + 8, bytes.end(), pattern, pattern + 4);
    if (it != bytes.end()) {
      const std::uint64_t found = pos + static_cast<std::uint64_t>(it - bytes.begin()) - 8;
      return std::min(found, to);
    }
    if (bytes.size() <= 12) return to;
    pos += bytes.size() - 11;  // the pattern may straddle the block's end
  }
  return to;
}

// Offset of the first signature in [from, to) that starts a valid header (and
// when whole is set, one whose frame lies within the source), or to.
std::uint64_t find_header(Window& w, std::uint64_t from, std::uint64_t to, std::uint64_t size,
                          bool whole) {
  while (from < to) {
    const std::uint64_t at = find_signature(w, from, to);
    if (at >= to) return to;
    FrameHeader h;
    if (whole ? fits_at(w, at, size) : header_at(w, at, size, h)) return at;
    from = at + 1;
  }
  return to;
}
}  // namespace

bool scan_frames(ByteSource& source, const std::function<bool()>& keep_going,
                 const std::function<void(const IndexEntry&)>& add) {
  const std::uint64_t size = source.size();
  Window w(source);
  std::uint64_t pos = 0;
  std::uint64_t checked = 0;  // where keep_going was last asked
  while (pos + kHeaderSize <= size) {
    if (pos >= checked + Window::kBlock) {
      if (!keep_going()) return false;
      checked = pos;
    }
    FrameHeader h;
    if (!header_at(w, pos, size, h)) {
      pos = find_header(w, pos + 1, size, size, false);
      continue;
    }
    const std::uint64_t end = pos + h.total();
    if (!chained_at(w, pos, size)) {
      // The frame's own length does not lead to the next header: a frame cut
      // short and followed by later frames shows as a header inside it.
      const std::uint64_t inner = find_header(w, pos + 1, std::min(end, size), size, true);
      if (inner < std::min(end, size)) {
        pos = inner;
        continue;
      }
      if (end > size) break;  // truncated last frame
    }
    IndexEntry e;
    e.offset = pos;
    e.size = static_cast<std::uint32_t>(h.total());
    e.fps = static_cast<std::uint16_t>(pacing_fps(h.fps));
    e.idr = h.idr;
    e.number = h.number;
    e.sound_size = h.sound_size;
    add(e);
    pos = end;
  }
  return true;
}

}  // namespace vidrane
