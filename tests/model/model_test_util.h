// Shared helpers of the client model tests: a scratch folder, file access and
// a message recorder.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "model/messages.h"

namespace model_test {

class TempDir {
 public:
  TempDir() {
    std::random_device rd;
    path_ = std::filesystem::temp_directory_path() /
            ("brevanta-model-" + std::to_string(rd()) + "-" + std::to_string(rd()));
    std::filesystem::create_directories(path_);
  }
  ~TempDir() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
  }
  const std::filesystem::path& path() const { return path_; }

 private:
  std::filesystem::path path_;
};

inline std::string read_file(const std::filesystem::path& p) {
  std::ifstream in(p, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline void write_file(const std::filesystem::path& p, std::string_view bytes) {
  std::ofstream out(p, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

struct Shown {
  std::u16string text;
  std::u16string caption;
  model::Buttons buttons;
};

// Records every message box; questions are answered from a queue (OK when it is empty).
class Recorder : public model::MessageSink {
 public:
  model::Answer show(std::u16string_view text, std::u16string_view caption,
                     model::Buttons buttons) override {
    shown.push_back({std::u16string(text), std::u16string(caption), buttons});
    if (buttons == model::Buttons::kOk || answers.empty()) return model::Answer::kOk;
    auto a = answers.front();
    answers.erase(answers.begin());
    return a;
  }
  std::vector<std::u16string> texts() const {
    std::vector<std::u16string> out;
    for (auto& s : shown) out.push_back(s.text);
    return out;
  }
  void clear() { shown.clear(); }

  std::vector<Shown> shown;
  std::vector<model::Answer> answers;
};

}  // namespace model_test
