#include "decode.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/frame.h>
}

namespace simdevice {

struct H264Check::Impl {
  AVCodecContext* ctx = nullptr;
  AVPacket* packet = nullptr;
  AVFrame* frame = nullptr;
  ~Impl() {
    av_frame_free(&frame);
    av_packet_free(&packet);
    avcodec_free_context(&ctx);
  }
};

H264Check::H264Check() : impl_(std::make_unique<Impl>()) {
  const AVCodec* codec = avcodec_find_decoder(AV_CODEC_ID_H264);
  if (!codec) return;
  impl_->ctx = avcodec_alloc_context3(codec);
  if (!impl_->ctx) return;
  impl_->ctx->thread_count = 1;
  impl_->ctx->flags2 |= AV_CODEC_FLAG2_CHUNKS;
  if (avcodec_open2(impl_->ctx, codec, nullptr) < 0) avcodec_free_context(&impl_->ctx);
  impl_->packet = av_packet_alloc();
  impl_->frame = av_frame_alloc();
}

H264Check::~H264Check() = default;

bool H264Check::ok() const {
  return impl_->ctx && impl_->packet && impl_->frame;
}

bool H264Check::feed(std::string_view au) {
  if (!ok() || au.empty()) return false;
  if (av_new_packet(impl_->packet, static_cast<int>(au.size())) < 0) return false;
  std::copy(au.begin(), au.end(), reinterpret_cast<char*>(impl_->packet->data));
  int r = avcodec_send_packet(impl_->ctx, impl_->packet);
  av_packet_unref(impl_->packet);
  if (r < 0) return false;
  while (avcodec_receive_frame(impl_->ctx, impl_->frame) == 0) {
    ++pictures_;
    width_ = impl_->frame->width;
    height_ = impl_->frame->height;
    av_frame_unref(impl_->frame);
  }
  return true;
}

}  // namespace simdevice
