// The record-file indexer on arbitrary bytes. The input is read as a script
// of chunks, each either raw bytes or a frame with a valid header, so random
// inputs mix real frames, garbage, stray signatures and cut frames.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "file_index.h"
#include "frame.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::vector<std::uint8_t> file;
  std::size_t i = 0;
  while (i + 2 <= size) {
    const std::uint8_t op = data[i];
    const std::size_t len = data[i + 1];
    i += 2;
    const std::size_t take = std::min(len, size - i);
    if (op & 1) {
      // A header, its length claims from the script, then the data taken.
      const std::uint32_t video = (op & 2) ? static_cast<std::uint32_t>(take) : len * 3u;
      const std::uint32_t words[6] = {0,     op, 0x12345678, static_cast<std::uint32_t>(op >> 2),
                                      video, 0};
      const auto* w = reinterpret_cast<const std::uint8_t*>(words);
      file.insert(file.end(), w, w + sizeof words);
    }
    file.insert(file.end(), data + i, data + i + take);
    i += take;
  }
  // The whole input as it is, too.
  for (const auto& bytes : {file, std::vector<std::uint8_t>(data, data + size)}) {
    vidrane::MemorySource source(bytes);
    std::uint64_t last_end = 0;
    vidrane::scan_frames(
        source, [] { return true; },
        [&](const vidrane::IndexEntry& e) {
          // Frames come in order, do not overlap, lie inside and parse whole.
          if (e.offset < last_end || e.offset + e.size > bytes.size()) std::abort();
          if (!vidrane::parse_frame(std::span(bytes).subspan(e.offset, e.size))) std::abort();
          last_end = e.offset + e.size;
        });
  }
  return 0;
}
