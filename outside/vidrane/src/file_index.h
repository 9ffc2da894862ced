// The frame index of a .264 record file: where each whole frame lies. Garbage
// between frames and a truncated last frame are skipped by resynchronising on
// the header signature.
#pragma once

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <span>
#include <vector>

namespace vidrane {

struct IndexEntry {
  std::uint64_t offset = 0;
  std::uint32_t size = 0;  // header + both parts
  std::uint16_t fps = 25;  // pacing value
  bool idr = false;
  std::uint32_t number = 0;      // as recorded
  std::uint32_t sound_size = 0;  // of the second part
};

// Random access to the bytes being indexed.
class ByteSource {
 public:
  virtual ~ByteSource() = default;
  virtual std::uint64_t size() const = 0;
  // Reads up to out.size() bytes at offset; the count read.
  virtual std::size_t read(std::uint64_t offset, std::span<std::uint8_t> out) = 0;
};

class MemorySource : public ByteSource {
 public:
  explicit MemorySource(std::span<const std::uint8_t> bytes) : bytes_(bytes) {}
  std::uint64_t size() const override { return bytes_.size(); }
  std::size_t read(std::uint64_t offset, std::span<std::uint8_t> out) override;

 private:
  std::span<const std::uint8_t> bytes_;
};

// A file read with the C library; closed with the object.
class FileSource : public ByteSource {
 public:
  explicit FileSource(const std::filesystem::path& path);
  ~FileSource() override;
  FileSource(const FileSource&) = delete;
  FileSource& operator=(const FileSource&) = delete;
  bool is_open() const { return file_ != nullptr; }
  std::uint64_t size() const override { return size_; }
  std::size_t read(std::uint64_t offset, std::span<std::uint8_t> out) override;

 private:
  std::FILE* file_ = nullptr;
  std::uint64_t size_ = 0;
  std::uint64_t position_ = 0;  // of the C stream, to skip needless seeks
};

// Scans source from the start, calling add for every whole frame in file
// order. stop is polled between blocks; false from it ends the scan early.
// The result is false when the scan was stopped.
bool scan_frames(ByteSource& source, const std::function<bool()>& keep_going,
                 const std::function<void(const IndexEntry&)>& add);

}  // namespace vidrane
