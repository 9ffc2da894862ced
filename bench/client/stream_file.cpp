// client_stream_file FORMAT SECONDS FILE: the raw H.264 that a simulated
// channel of FORMAT ("cif", "d1") sends at 25 fps, SECONDS long, for reference
// decodes beside the client. Prints "WIDTHxHEIGHT FRAMES".
#include <cstdio>
#include <cstdlib>
#include <fstream>

#include "media_source.h"

int main(int argc, char** argv) {
  if (argc < 4) {
    std::fprintf(stderr, "usage: client_stream_file cif|d1 SECONDS FILE\n");
    return 2;
  }
  auto format = orvsim::format_for_resolution(argv[1]);
  const int seconds = std::atoi(argv[2]);
  if (!format || seconds <= 0) {
    std::fprintf(stderr, "client_stream_file: bad format or length\n");
    return 2;
  }
  format->fps = 25;
  // The very loop the simulator streams: same encoder settings, same cache.
  const auto loop = orvsim::FrameLoop::get(*format);
  if (!loop) {
    std::fprintf(stderr, "client_stream_file: no H.264 encoder\n");
    return 1;
  }
  std::ofstream out(argv[3], std::ios::binary);
  const int frames = seconds * loop->format().fps;
  for (int i = 0; i < frames; ++i) {
    const auto video = loop->frames()[static_cast<std::size_t>(i) % loop->size()].video();
    out.write(reinterpret_cast<const char*>(video.data()),
              static_cast<std::streamsize>(video.size()));
  }
  if (!out) {
    std::fprintf(stderr, "client_stream_file: cannot write %s\n", argv[3]);
    return 1;
  }
  std::printf("%dx%d %d\n", format->width, format->height, frames);
  return 0;
}
