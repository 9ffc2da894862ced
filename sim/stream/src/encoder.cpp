#include <algorithm>
#include <cmath>
#include <cstring>

#include "teststream/teststream.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/frame.h>
#include <libavutil/log.h>
#include <libavutil/opt.h>
}

namespace teststream {

struct Encoder::Impl {
  AVCodecContext* ctx = nullptr;
  AVFrame* picture = nullptr;
  AVPacket* packet = nullptr;
  std::int64_t index = 0;
  double phase = 0.0;  // of the test tone

  ~Impl() {
    av_packet_free(&packet);
    av_frame_free(&picture);
    avcodec_free_context(&ctx);
  }

  // A diagonal gradient scrolling right, a box bouncing across it and a
  // colour band whose hue turns, so every picture differs from its neighbours.
  void draw(int w, int h) {
    const auto t = static_cast<int>(index);
    std::uint8_t* y = picture->data[0];
    for (int row = 0; row < h; ++row) {
      std::uint8_t* line = y + static_cast<std::ptrdiff_t>(row) * picture->linesize[0];
      for (int col = 0; col < w; ++col)
        line[col] = static_cast<std::uint8_t>((col + row + 3 * t) & 0xFF);
    }
    const int box = h / 4;
    const int span_x = std::max(1, w - box);
    const int span_y = std::max(1, h - box);
    int bx = (t * 7) % (2 * span_x);
    if (bx >= span_x) bx = 2 * span_x - bx;
    int by = (t * 5) % (2 * span_y);
    if (by >= span_y) by = 2 * span_y - by;
    for (int row = by; row < by + box && row < h; ++row) {
      std::uint8_t* line = y + static_cast<std::ptrdiff_t>(row) * picture->linesize[0];
      for (int col = bx; col < bx + box && col < w; ++col) line[col] = 235;
    }
    for (int row = 0; row < h / 2; ++row) {
      std::uint8_t* u = picture->data[1] + static_cast<std::ptrdiff_t>(row) * picture->linesize[1];
      std::uint8_t* v = picture->data[2] + static_cast<std::ptrdiff_t>(row) * picture->linesize[2];
      for (int col = 0; col < w / 2; ++col) {
        u[col] = static_cast<std::uint8_t>(128 + ((col * 2 + t) % 64) - 32);
        v[col] = static_cast<std::uint8_t>(128 + ((row * 2 + 2 * t) % 96) - 48);
      }
    }
  }
};

Encoder::Encoder(const Options& options) : options_(options), impl_(std::make_unique<Impl>()) {
  // The encoder's statistics are noise in test logs.
  if (av_log_get_level() == AV_LOG_INFO) av_log_set_level(AV_LOG_WARNING);
  const AVCodec* codec = avcodec_find_encoder_by_name("libx264");
  if (!codec) return;
  AVCodecContext* ctx = avcodec_alloc_context3(codec);
  if (!ctx) return;
  impl_->ctx = ctx;
  ctx->width = options.width;
  ctx->height = options.height;
  ctx->pix_fmt = AV_PIX_FMT_YUV420P;
  ctx->time_base = AVRational{1, std::max(1, options.fps)};
  ctx->framerate = AVRational{std::max(1, options.fps), 1};
  ctx->gop_size = std::max(1, options.gop);
  ctx->keyint_min = ctx->gop_size;
  ctx->max_b_frames = 0;
  ctx->thread_count = 1;
  av_opt_set(ctx->priv_data, "preset", options.preset.c_str(), 0);
  av_opt_set(ctx->priv_data, "tune", "zerolatency", 0);
  av_opt_set(ctx->priv_data, "profile", "main", 0);
  av_opt_set(ctx->priv_data, "x264-params", "scenecut=0:open-gop=0", 0);
  av_opt_set_int(ctx->priv_data, "crf", options.crf, 0);
  if (avcodec_open2(ctx, codec, nullptr) < 0) {
    avcodec_free_context(&impl_->ctx);
    return;
  }
  impl_->picture = av_frame_alloc();
  impl_->packet = av_packet_alloc();
  if (!impl_->picture || !impl_->packet) {
    avcodec_free_context(&impl_->ctx);
    return;
  }
  impl_->picture->format = AV_PIX_FMT_YUV420P;
  impl_->picture->width = options.width;
  impl_->picture->height = options.height;
  if (av_frame_get_buffer(impl_->picture, 0) < 0) avcodec_free_context(&impl_->ctx);
}

Encoder::~Encoder() = default;

bool Encoder::ok() const {
  return impl_->ctx != nullptr;
}

Frame Encoder::next() {
  Frame frame;
  if (!ok()) return frame;
  Impl& s = *impl_;
  if (av_frame_make_writable(s.picture) < 0) return frame;
  s.draw(options_.width, options_.height);
  s.picture->pts = s.index;
  // Force IDRs on the gop grid, whatever the encoder would choose.
  const bool want_idr = (s.index % std::max(1, options_.gop)) == 0;
  s.picture->pict_type = want_idr ? AV_PICTURE_TYPE_I : AV_PICTURE_TYPE_NONE;
  s.picture->key_frame = want_idr ? 1 : 0;
  if (avcodec_send_frame(s.ctx, s.picture) < 0) return frame;
  if (avcodec_receive_packet(s.ctx, s.packet) < 0) return frame;

  std::vector<std::uint8_t> sound;
  if (options_.sound) {
    const int count = 8000 / std::max(1, options_.fps) / 80 * 80;  // whole 10 ms steps
    std::vector<std::int16_t> samples(static_cast<std::size_t>(std::clamp(count, 80, 480)));
    for (auto& sample : samples) {
      sample = static_cast<std::int16_t>(8000.0 * std::sin(s.phase));
      s.phase += 2.0 * 3.14159265358979 * 440.0 / 8000.0;
    }
    sound = alaw_voice_frame(samples);
  }

  frame.idr = (s.packet->flags & AV_PKT_FLAG_KEY) != 0;
  frame.video_size = static_cast<std::size_t>(s.packet->size);
  frame.bytes.reserve(kHeaderSize + frame.video_size + sound.size());
  append_header(frame.bytes, static_cast<std::uint32_t>(s.index + 1), frame.idr, options_.fps,
                static_cast<std::uint32_t>(frame.video_size),
                static_cast<std::uint32_t>(sound.size()));
  frame.bytes.insert(frame.bytes.end(), s.packet->data, s.packet->data + s.packet->size);
  frame.bytes.insert(frame.bytes.end(), sound.begin(), sound.end());
  av_packet_unref(s.packet);
  ++s.index;
  return frame;
}

std::vector<Frame> make_frames(const Options& options, int count) {
  std::vector<Frame> frames;
  Encoder encoder(options);
  if (!encoder.ok()) return frames;
  frames.reserve(static_cast<std::size_t>(std::max(0, count)));
  for (int i = 0; i < count; ++i) {
    Frame f = encoder.next();
    if (f.bytes.empty()) break;
    frames.push_back(std::move(f));
  }
  return frames;
}

std::string raw_h264(const std::vector<Frame>& frames) {
  std::string raw;
  for (const auto& f : frames) {
    auto v = f.video();
    raw.append(reinterpret_cast<const char*>(v.data()), v.size());
  }
  return raw;
}

void append_header(std::vector<std::uint8_t>& out, std::uint32_t number, bool idr, int fps,
                   std::uint32_t video_size, std::uint32_t sound_size) {
  const std::uint32_t words[6] = {
      0,          number,    kSignature, (idr ? 1u : 0u) | (static_cast<std::uint32_t>(fps) << 2),
      video_size, sound_size};
  std::uint8_t bytes[kHeaderSize];
  std::memcpy(bytes, words, sizeof bytes);
  out.insert(out.end(), bytes, bytes + kHeaderSize);
}

}  // namespace teststream
