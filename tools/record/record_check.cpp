// record_check FILE...: every record file must be whole frames, a key frame
// first; an empty file counts as whole. One line per file, then a total;
// exit status 1 when a file is not whole or cannot be read.
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "record_scan.h"

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fputs("usage: record_check FILE...\n", stderr);
    return 2;
  }
  int bad = 0;
  std::size_t frames = 0, empty = 0;
  for (int i = 1; i < argc; ++i) {
    std::ifstream in(argv[i], std::ios::binary);
    if (!in) {
      std::printf("%s: cannot be read\n", argv[i]);
      ++bad;
      continue;
    }
    const std::vector<std::uint8_t> bytes{std::istreambuf_iterator<char>(in),
                                          std::istreambuf_iterator<char>()};
    const auto scan = record::scan_record(bytes);
    if (!scan.whole) {
      std::printf("%s: %s\n", argv[i], scan.error.c_str());
      ++bad;
      continue;
    }
    std::printf("%s: %zu frames, %zu key frames, %zu numbering restarts, %zu bytes\n", argv[i],
                scan.frames, scan.key_frames, scan.numbering_restarts, bytes.size());
    frames += scan.frames;
    empty += scan.frames == 0;
  }
  std::printf("record_check: %d files, %zu frames, %zu empty, %d not whole\n", argc - 1, frames,
              empty, bad);
  return bad ? 1 : 0;
}
