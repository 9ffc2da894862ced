// A reference H.264 decoder (libavcodec) for the frames the devices send.
#pragma once

#include <memory>
#include <string_view>

namespace simdevice {

class H264Check {
 public:
  H264Check();
  ~H264Check();
  H264Check(const H264Check&) = delete;
  H264Check& operator=(const H264Check&) = delete;

  bool ok() const;
  // Feeds one access unit; false when the decoder refuses it.
  bool feed(std::string_view access_unit);
  int pictures() const { return pictures_; }
  int width() const { return width_; }
  int height() const { return height_; }

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
  int pictures_ = 0;
  int width_ = 0;
  int height_ = 0;
};

}  // namespace simdevice
