#include "decoder.h"

#include <cstring>

#include "platform/window.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/frame.h>
#include <libavutil/imgutils.h>
#include <libswscale/swscale.h>
}

namespace vidrane {

VideoDecoder::VideoDecoder() {
  const AVCodec* codec = avcodec_find_decoder(AV_CODEC_ID_H264);
  if (!codec) return;
  ctx_ = avcodec_alloc_context3(codec);
  packet_ = av_packet_alloc();
  frame_ = av_frame_alloc();
  if (!ctx_ || !packet_ || !frame_) {
    avcodec_free_context(&ctx_);
    return;
  }
  // One thread per port: a player runs many ports at once, and frame threads
  // would add a picture of latency to every live view.
  ctx_->thread_count = 1;
  if (avcodec_open2(ctx_, codec, nullptr) < 0) avcodec_free_context(&ctx_);
}

VideoDecoder::~VideoDecoder() {
  av_frame_free(&frame_);
  av_packet_free(&packet_);
  avcodec_free_context(&ctx_);
}

bool VideoDecoder::send(std::span<const std::uint8_t> access_unit, std::int64_t pts) {
  if (!ctx_ || access_unit.empty() || draining_) return false;
  // The parser may read past the end: the unit is copied with zero padding.
  padded_.resize(access_unit.size() + AV_INPUT_BUFFER_PADDING_SIZE);
  std::memcpy(padded_.data(), access_unit.data(), access_unit.size());
  std::memset(padded_.data() + access_unit.size(), 0, AV_INPUT_BUFFER_PADDING_SIZE);
  packet_->data = padded_.data();
  packet_->size = static_cast<int>(access_unit.size());
  packet_->pts = pts;
  packet_->dts = pts;
  int rc = avcodec_send_packet(ctx_, packet_);
  if (rc == AVERROR(EAGAIN)) {
    // Pictures were not taken: drop them rather than wedge.
    while (avcodec_receive_frame(ctx_, frame_) == 0) av_frame_unref(frame_);
    rc = avcodec_send_packet(ctx_, packet_);
  }
  packet_->data = nullptr;
  packet_->size = 0;
  return rc == 0;
}

void VideoDecoder::drain() {
  if (!ctx_ || draining_) return;
  draining_ = avcodec_send_packet(ctx_, nullptr) == 0;
}

const AVFrame* VideoDecoder::receive() {
  if (!ctx_) return nullptr;
  av_frame_unref(frame_);
  if (avcodec_receive_frame(ctx_, frame_) != 0) return nullptr;
  const bool yuv420 = frame_->format == AV_PIX_FMT_YUV420P || frame_->format == AV_PIX_FMT_YUVJ420P;
  if (frame_->width <= 0 || frame_->height <= 0 || !yuv420) {
    // Only 4:2:0 8-bit comes from these devices; anything else is skipped.
    av_frame_unref(frame_);
    return nullptr;
  }
  return frame_;
}

void VideoDecoder::flush() {
  if (!ctx_) return;
  avcodec_flush_buffers(ctx_);
  draining_ = false;
}

Presenter::~Presenter() {
  sws_freeContext(sws_);
}

bool Presenter::to_window(HWND hwnd, const AVFrame& picture) {
  int width = 0;
  int height = 0;
  if (!platform::window_size(hwnd, width, height)) return false;
  if (width <= 0 || height <= 0 || width > 16384 || height > 16384) {
    width = picture.width;
    height = picture.height;
  }
  // Scaling to a pane costs several times the plain conversion; the fast
  // bilinear filter saves a quarter to a third of it (counted instructions,
  // CIF and D1 into a sixteenth of a full-HD screen) at no visible loss.
  sws_ = sws_getCachedContext(sws_, picture.width, picture.height,
                              static_cast<AVPixelFormat>(picture.format), width, height,
                              AV_PIX_FMT_BGRA, SWS_FAST_BILINEAR, nullptr, nullptr, nullptr);
  if (!sws_) return false;
  struct Job {
    SwsContext* sws;
    const AVFrame& picture;
    int height;
  } job{sws_, picture, height};
  // Converted straight into the window's buffer: one pass over the pixels.
  return platform::fill_window_picture(
      hwnd, width, height,
      [](void* context, std::uint8_t* pixels, int stride) {
        const auto& j = *static_cast<Job*>(context);
        std::uint8_t* dst[4] = {pixels, nullptr, nullptr, nullptr};
        const int dst_stride[4] = {stride, 0, 0, 0};
        return sws_scale(j.sws, j.picture.data, j.picture.linesize, 0, j.picture.height, dst,
                         dst_stride) == j.height;
      },
      &job);
}

void Presenter::to_callback(PLAY264_DISPLAY_CALLBACK callback, long port, const AVFrame& picture,
                            long time_stamp_ms) {
  const int w = picture.width;
  const int h = picture.height;
  const int cw = (w + 1) / 2;
  const int ch = (h + 1) / 2;
  const std::size_t luma = static_cast<std::size_t>(w) * h;
  const std::size_t chroma = static_cast<std::size_t>(cw) * ch;
  i420_.resize(luma + 2 * chroma);
  std::uint8_t* out = i420_.data();
  for (int y = 0; y < h; ++y)
    std::memcpy(out + static_cast<std::size_t>(y) * w,
                picture.data[0] + static_cast<std::ptrdiff_t>(y) * picture.linesize[0], w);
  for (int plane = 1; plane <= 2; ++plane) {
    std::uint8_t* base = out + luma + (plane - 1) * chroma;
    for (int y = 0; y < ch; ++y)
      std::memcpy(base + static_cast<std::size_t>(y) * cw,
                  picture.data[plane] + static_cast<std::ptrdiff_t>(y) * picture.linesize[plane],
                  cw);
  }
  callback(port, reinterpret_cast<char*>(i420_.data()), static_cast<long>(i420_.size()), w, h,
           time_stamp_ms, PLAY264_PICTURE_I420, 0);
}

HeldPicture::HeldPicture() : frame_(av_frame_alloc()) {}
HeldPicture::~HeldPicture() {
  av_frame_free(&frame_);
}

void HeldPicture::hold(const AVFrame& picture) {
  clear();
  if (frame_ && av_frame_ref(frame_, &picture) == 0) held_ = true;
}

void HeldPicture::clear() {
  if (frame_) av_frame_unref(frame_);
  held_ = false;
}

const AVFrame* HeldPicture::get() const {
  return held_ ? frame_ : nullptr;
}

}  // namespace vidrane
