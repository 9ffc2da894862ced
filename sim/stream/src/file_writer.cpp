#include <fstream>

#include "teststream/teststream.h"

namespace teststream {

bool write_264_file(const std::filesystem::path& path, const std::vector<Frame>& frames) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  if (!out) return false;
  for (const auto& f : frames)
    out.write(reinterpret_cast<const char*>(f.bytes.data()),
              static_cast<std::streamsize>(f.bytes.size()));
  out.flush();
  return static_cast<bool>(out);
}

}  // namespace teststream
