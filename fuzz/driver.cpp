// Replays a fuzz target without libFuzzer: every file of the corpus folders
// given on the command line, then deterministic random inputs and mutations of
// the corpus. Lets the ordinary (sanitizer) builds run each target briefly.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

namespace {

std::vector<std::vector<uint8_t>> load_corpus(int argc, char** argv) {
  std::vector<std::vector<uint8_t>> corpus;
  for (int i = 1; i < argc; ++i) {
    std::error_code ec;
    std::filesystem::path root(argv[i]);
    auto add = [&](const std::filesystem::path& p) {
      std::ifstream in(p, std::ios::binary);
      corpus.emplace_back(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    };
    if (std::filesystem::is_regular_file(root, ec)) {
      add(root);
      continue;
    }
    for (auto it = std::filesystem::recursive_directory_iterator(root, ec);
         !ec && it != std::filesystem::recursive_directory_iterator(); it.increment(ec)) {
      if (it->is_regular_file()) add(it->path());
    }
  }
  return corpus;
}

}  // namespace

int main(int argc, char** argv) {
  auto corpus = load_corpus(argc, argv);
  for (auto& input : corpus) LLVMFuzzerTestOneInput(input.data(), input.size());

  const char* env = std::getenv("FUZZ_RUNS");
  const long runs = env ? std::strtol(env, nullptr, 10) : 3000;
  std::mt19937 rng(12345);
  std::vector<uint8_t> buf;
  for (long i = 0; i < runs; ++i) {
    if (!corpus.empty() && (i % 2) == 0) {
      buf = corpus[rng() % corpus.size()];
      const int edits = 1 + static_cast<int>(rng() % 8);
      for (int e = 0; e < edits; ++e) {
        switch (rng() % 4) {
          case 0:
            if (!buf.empty()) buf[rng() % buf.size()] = static_cast<uint8_t>(rng());
            break;
          case 1:
            if (!buf.empty()) buf.resize(rng() % buf.size());
            break;
          case 2:
            buf.insert(buf.begin() + static_cast<long>(buf.empty() ? 0 : rng() % buf.size()),
                       static_cast<uint8_t>(rng()));
            break;
          default:
            if (!buf.empty()) buf[rng() % buf.size()] ^= static_cast<uint8_t>(1u << (rng() % 8));
        }
      }
    } else {
      buf.resize(rng() % 2048);
      for (auto& b : buf) b = static_cast<uint8_t>(rng());
    }
    LLVMFuzzerTestOneInput(buf.data(), buf.size());
  }
  std::printf("fuzz driver: %zu corpus inputs, %ld generated inputs, no fault\n", corpus.size(),
              runs);
  return 0;
}
