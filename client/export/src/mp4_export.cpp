#include "export/mp4_export.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <system_error>
#include <vector>

#include "file_index.h"
#include "frame.h"
#include "sound.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
#include <libavutil/error.h>
}

namespace exporter {

namespace {

constexpr int kVideoClock = 90000;
constexpr int kSoundRate = 8000;
constexpr int kSoundBitRate = 32000;
// Frame numbers that jump further than this are taken for a new recording
// appended to the file, not for lost frames.
constexpr std::int64_t kMaxGapSeconds = 10;
// The sound is padded with silence when it falls this far behind the picture.
constexpr std::int64_t kMaxSoundLag = kSoundRate / 2;

struct FormatDeleter {
  void operator()(AVFormatContext* c) const {
    if (c && c->pb) avio_closep(&c->pb);
    avformat_free_context(c);
  }
};
struct CodecDeleter {
  void operator()(AVCodecContext* c) const { avcodec_free_context(&c); }
};
struct PacketDeleter {
  void operator()(AVPacket* p) const { av_packet_free(&p); }
};
struct FrameDeleter {
  void operator()(AVFrame* f) const { av_frame_free(&f); }
};
using FormatPtr = std::unique_ptr<AVFormatContext, FormatDeleter>;
using CodecPtr = std::unique_ptr<AVCodecContext, CodecDeleter>;
using PacketPtr = std::unique_ptr<AVPacket, PacketDeleter>;
using FramePtr = std::unique_ptr<AVFrame, FrameDeleter>;

std::string av_text(int err) {
  char buf[AV_ERROR_MAX_STRING_SIZE] = {};
  av_strerror(err, buf, sizeof buf);
  return buf;
}

using vidrane::kHeaderSize;

struct ScannedFrame : vidrane::IndexEntry {
  bool after_gap = false;  // damaged bytes lie between this frame and the one before
  std::uint32_t video_size() const {
    return size - static_cast<std::uint32_t>(kHeaderSize) - sound_size;
  }
};

struct ScanResult {
  std::vector<ScannedFrame> frames;
  std::uint64_t skipped_bytes = 0;
  bool has_sound = false;
  bool cancelled = false;
};

// The whole frames of a recording, found by the player's own index so that
// what exports is what plays. progress(fraction) false stops the scan.
ScanResult scan_record(vidrane::ByteSource& source, const std::function<bool(double)>& progress) {
  ScanResult r;
  const double size = static_cast<double>(std::max<std::uint64_t>(source.size(), 1));
  std::uint64_t end = 0;  // of the last frame taken
  const bool whole = vidrane::scan_frames(
      source, [&] { return progress(static_cast<double>(end) / size); },
      [&](const vidrane::IndexEntry& e) {
        ScannedFrame f;
        static_cast<vidrane::IndexEntry&>(f) = e;
        if (f.video_size() == 0) return;  // nothing to show: counted as skipped
        f.after_gap = e.offset != end;
        r.skipped_bytes += e.offset - end;
        end = e.offset + e.size;
        r.has_sound = r.has_sound || e.sound_size > 0;
        r.frames.push_back(f);
      });
  // The index polls between large blocks only: the end of the scan is asked too.
  r.cancelled = !whole || !progress(1.0);
  if (source.size() > end) r.skipped_bytes += source.size() - end;
  return r;
}

// The start of each NAL unit of an Annex-B access unit: (payload offset, size).
std::vector<std::pair<std::size_t, std::size_t>> nal_units(std::span<const std::uint8_t> au) {
  std::vector<std::pair<std::size_t, std::size_t>> units;
  std::size_t i = 0;
  std::size_t start = std::string::npos;
  while (i + 3 <= au.size()) {
    if (au[i] == 0 && au[i + 1] == 0 && au[i + 2] == 1) {
      if (start != std::string::npos) {
        std::size_t end = i;
        while (end > start && au[end - 1] == 0) --end;  // a 4-byte start code's zero
        units.emplace_back(start, end - start);
      }
      i += 3;
      start = i;
    } else {
      ++i;
    }
  }
  if (start != std::string::npos && start < au.size()) units.emplace_back(start, au.size() - start);
  return units;
}

// The sequence and picture parameter sets of an access unit, in Annex-B form;
// empty unless both are there.
std::vector<std::uint8_t> parameter_sets(std::span<const std::uint8_t> au) {
  std::vector<std::uint8_t> out;
  bool sps = false, pps = false;
  for (auto [offset, size] : nal_units(au)) {
    if (size == 0) continue;
    const int type = au[offset] & 0x1f;
    if (type != 7 && type != 8) continue;
    sps = sps || type == 7;
    pps = pps || type == 8;
    static constexpr std::uint8_t kStart[] = {0, 0, 0, 1};
    out.insert(out.end(), std::begin(kStart), std::end(kStart));
    out.insert(out.end(), au.begin() + static_cast<std::ptrdiff_t>(offset),
               au.begin() + static_cast<std::ptrdiff_t>(offset + size));
  }
  if (!sps || !pps) out.clear();
  return out;
}

class Exporter {
 public:
  Exporter(const std::filesystem::path& in, const std::filesystem::path& part,
           const std::function<bool(double)>& progress)
      : in_(in), part_(part), progress_(progress) {}

  Mp4ExportResult run();

 private:
  bool fail(std::string text, std::string detail = {}) {
    result_.error = std::move(text);
    result_.detail = std::move(detail);
    return false;
  }
  bool report(double fraction) {
    if (!progress_) return true;
    if (fraction < 1.0 && fraction - reported_ < 0.005) return true;
    reported_ = fraction;
    if (progress_(std::clamp(fraction, 0.0, 1.0))) return true;
    cancelled_ = true;
    return fail(kCancelled);
  }
  bool read_frame(const ScannedFrame& f);
  bool probe_video(std::span<const std::uint8_t> au);
  bool open_output(const std::vector<std::uint8_t>& sets);
  bool open_sound();
  bool write_video(std::span<const std::uint8_t> au, bool key, std::int64_t pts,
                   std::int64_t duration);
  bool add_sound(std::span<const std::uint8_t> part, std::int64_t video_pts);
  bool encode_sound(bool flush);
  bool drain_sound();

  std::filesystem::path in_, part_;
  const std::function<bool(double)>& progress_;
  double reported_ = -1;
  bool cancelled_ = false;
  Mp4ExportResult result_;

  vidrane::FileSource source_{in_};
  std::vector<std::uint8_t> frame_;
  int width_ = 0, height_ = 0;
  CodecPtr probe_;
  FormatPtr out_;
  AVStream* video_ = nullptr;
  AVStream* sound_ = nullptr;
  CodecPtr aac_;
  FramePtr sound_frame_;
  PacketPtr packet_{av_packet_alloc()};
  std::vector<std::int16_t> pending_;  // decoded samples not yet encoded
  std::int64_t sound_next_ = -1;       // pts of pending_[0] in samples; -1 before any sound
};

bool Exporter::read_frame(const ScannedFrame& f) {
  frame_.resize(f.size);
  return source_.read(f.offset, frame_) == frame_.size();
}

bool Exporter::probe_video(std::span<const std::uint8_t> au) {
  // The picture size comes from decoding the first frame: the parameter sets
  // alone would need a parser of our own.
  const AVCodec* codec = avcodec_find_decoder(AV_CODEC_ID_H264);
  if (!codec) return fail("没有H.264解码器");
  probe_.reset(avcodec_alloc_context3(codec));
  if (!probe_ || avcodec_open2(probe_.get(), codec, nullptr) < 0)
    return fail("无法打开H.264解码器");
  PacketPtr pkt(av_packet_alloc());
  if (!pkt || av_new_packet(pkt.get(), static_cast<int>(au.size())) < 0) return fail("内存不足");
  std::memcpy(pkt->data, au.data(), au.size());
  FramePtr picture(av_frame_alloc());
  avcodec_send_packet(probe_.get(), pkt.get());
  avcodec_send_packet(probe_.get(), nullptr);
  if (avcodec_receive_frame(probe_.get(), picture.get()) == 0) {
    width_ = picture->width;
    height_ = picture->height;
  } else {
    width_ = probe_->width;
    height_ = probe_->height;
  }
  if (width_ <= 0 || height_ <= 0) return fail("无法识别视频的画面大小");
  return true;
}

bool Exporter::open_output(const std::vector<std::uint8_t>& sets) {
  AVFormatContext* raw = nullptr;
  const std::string part = part_.string();
  int err = avformat_alloc_output_context2(&raw, nullptr, "mp4", part.c_str());
  if (err < 0 || !raw) return fail("无法创建MP4文件：", av_text(err));
  out_.reset(raw);
  video_ = avformat_new_stream(out_.get(), nullptr);
  if (!video_) return fail("内存不足");
  AVCodecParameters* par = video_->codecpar;
  if (avcodec_parameters_from_context(par, probe_.get()) < 0) return fail("内存不足");
  par->codec_type = AVMEDIA_TYPE_VIDEO;
  par->codec_id = AV_CODEC_ID_H264;
  par->codec_tag = 0;
  par->width = width_;
  par->height = height_;
  av_freep(&par->extradata);
  par->extradata =
      static_cast<std::uint8_t*>(av_mallocz(sets.size() + AV_INPUT_BUFFER_PADDING_SIZE));
  if (!par->extradata) return fail("内存不足");
  std::memcpy(par->extradata, sets.data(), sets.size());
  par->extradata_size = static_cast<int>(sets.size());
  video_->time_base = {1, kVideoClock};
  probe_.reset();
  return true;
}

bool Exporter::open_sound() {
  const AVCodec* codec = avcodec_find_encoder_by_name("aac");
  if (!codec) return fail("没有AAC编码器");
  aac_.reset(avcodec_alloc_context3(codec));
  if (!aac_) return fail("内存不足");
  aac_->sample_fmt = AV_SAMPLE_FMT_FLTP;
  aac_->sample_rate = kSoundRate;
  aac_->bit_rate = kSoundBitRate;
  av_channel_layout_default(&aac_->ch_layout, 1);
  aac_->time_base = {1, kSoundRate};
  if (out_->oformat->flags & AVFMT_GLOBALHEADER) aac_->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
  int err = avcodec_open2(aac_.get(), codec, nullptr);
  if (err < 0) return fail("无法打开AAC编码器：", av_text(err));
  sound_ = avformat_new_stream(out_.get(), nullptr);
  if (!sound_ || avcodec_parameters_from_context(sound_->codecpar, aac_.get()) < 0)
    return fail("内存不足");
  sound_->time_base = {1, kSoundRate};
  sound_frame_.reset(av_frame_alloc());
  if (!sound_frame_) return fail("内存不足");
  sound_frame_->format = aac_->sample_fmt;
  sound_frame_->sample_rate = kSoundRate;
  sound_frame_->nb_samples = aac_->frame_size > 0 ? aac_->frame_size : 1024;
  if (av_channel_layout_copy(&sound_frame_->ch_layout, &aac_->ch_layout) < 0 ||
      av_frame_get_buffer(sound_frame_.get(), 0) < 0)
    return fail("内存不足");
  return true;
}

bool Exporter::write_video(std::span<const std::uint8_t> au, bool key, std::int64_t pts,
                           std::int64_t duration) {
  if (av_new_packet(packet_.get(), static_cast<int>(au.size())) < 0) return fail("内存不足");
  std::memcpy(packet_->data, au.data(), au.size());
  packet_->stream_index = video_->index;
  packet_->pts = packet_->dts = pts;
  packet_->duration = duration;
  if (key) packet_->flags |= AV_PKT_FLAG_KEY;
  av_packet_rescale_ts(packet_.get(), {1, kVideoClock}, video_->time_base);
  const int err = av_interleaved_write_frame(out_.get(), packet_.get());
  if (err < 0) return fail("写入MP4文件失败：", av_text(err));
  ++result_.video_frames;
  return true;
}

bool Exporter::add_sound(std::span<const std::uint8_t> part, std::int64_t video_pts) {
  const std::int64_t due = av_rescale(video_pts, kSoundRate, kVideoClock);
  const std::int64_t end = sound_next_ < 0 ? due : sound_next_ + std::int64_t(pending_.size());
  if (sound_next_ < 0) sound_next_ = due;
  if (due - end > kMaxSoundLag) pending_.resize(pending_.size() + std::size_t(due - end), 0);
  vidrane::decode_voice(part, pending_);
  return encode_sound(false);
}

bool Exporter::encode_sound(bool flush) {
  const std::size_t n = static_cast<std::size_t>(sound_frame_->nb_samples);
  while (pending_.size() >= n || (flush && !pending_.empty())) {
    if (av_frame_make_writable(sound_frame_.get()) < 0) return fail("内存不足");
    auto* dst = reinterpret_cast<float*>(sound_frame_->data[0]);
    const std::size_t take = std::min(n, pending_.size());
    for (std::size_t i = 0; i < n; ++i)
      dst[i] = i < take ? static_cast<float>(pending_[i]) / 32768.0f : 0.0f;
    pending_.erase(pending_.begin(), pending_.begin() + static_cast<std::ptrdiff_t>(take));
    sound_frame_->pts = sound_next_;
    sound_next_ += static_cast<std::int64_t>(n);
    const int err = avcodec_send_frame(aac_.get(), sound_frame_.get());
    if (err < 0) return fail("AAC编码失败：", av_text(err));
    if (!drain_sound()) return false;
  }
  if (flush) {
    avcodec_send_frame(aac_.get(), nullptr);
    return drain_sound();
  }
  return true;
}

bool Exporter::drain_sound() {
  for (;;) {
    const int got = avcodec_receive_packet(aac_.get(), packet_.get());
    if (got == AVERROR(EAGAIN) || got == AVERROR_EOF) return true;
    if (got < 0) return fail("AAC编码失败：", av_text(got));
    packet_->stream_index = sound_->index;
    av_packet_rescale_ts(packet_.get(), aac_->time_base, sound_->time_base);
    const int err = av_interleaved_write_frame(out_.get(), packet_.get());
    if (err < 0) return fail("写入MP4文件失败：", av_text(err));
    ++result_.audio_frames;
  }
}

Mp4ExportResult Exporter::run() {
  if (!source_.is_open()) {
    fail("无法打开录像文件");
    return result_;
  }
  // A fifth of the work is the scan, the rest the writing.
  constexpr double kScanShare = 0.2;
  ScanResult scan = scan_record(source_, [&](double f) { return report(f * kScanShare); });
  if (scan.cancelled) {
    cancelled_ = true;
    fail(kCancelled);
    return result_;
  }
  result_.skipped_bytes = scan.skipped_bytes;

  // The export starts at the first IDR frame that carries its parameter sets;
  // after damage it waits for the next IDR frame.
  std::size_t first = 0;
  std::vector<std::uint8_t> sets;
  for (; first < scan.frames.size(); ++first) {
    const ScannedFrame& f = scan.frames[first];
    if (f.idr && read_frame(f)) {
      sets = parameter_sets(std::span(frame_).subspan(kHeaderSize, f.video_size()));
      if (!sets.empty()) break;
    }
    result_.skipped_bytes += f.size;
  }
  if (first == scan.frames.size()) {
    fail(scan.frames.empty() ? "文件中没有完整的视频帧" : "文件中没有可播放的视频");
    return result_;
  }
  if (!probe_video(std::span(frame_).subspan(kHeaderSize, scan.frames[first].video_size())) ||
      !open_output(sets) || (scan.has_sound && !open_sound())) {
    return result_;
  }
  const std::string part = part_.string();
  int err = avio_open(&out_->pb, part.c_str(), AVIO_FLAG_WRITE);
  if (err < 0) {
    fail("无法创建MP4文件：", av_text(err));
    return result_;
  }
  AVDictionary* options = nullptr;
  // The index at the front, so players start before the whole file is read.
  av_dict_set(&options, "movflags", "+faststart", 0);
  err = avformat_write_header(out_.get(), &options);
  av_dict_free(&options);
  if (err < 0) {
    fail("无法写入MP4文件：", av_text(err));
    return result_;
  }

  const std::uint64_t total = std::max<std::uint64_t>(source_.size(), 1);
  // Each frame is written once the next one gives its duration.
  std::vector<std::uint8_t> held;
  bool held_key = false;
  bool have_held = false;
  std::uint32_t held_number = 0;
  std::int64_t pts = 0;
  std::int64_t step = kVideoClock / scan.frames[first].fps;
  bool waiting = false;
  for (std::size_t i = first; i < scan.frames.size(); ++i) {
    const ScannedFrame& f = scan.frames[i];
    if (!report(kScanShare + (1 - kScanShare) * double(f.offset) / double(total))) return result_;
    if (f.after_gap && !f.idr) waiting = true;
    if ((waiting && !f.idr) || !read_frame(f)) {
      result_.skipped_bytes += f.size;
      waiting = true;
      continue;
    }
    waiting = false;
    const int fps = f.fps;  // a pacing value
    if (have_held) {
      // Frame numbers keep lost frames' time; equal, backward or wild ones
      // (a recording appended to the file) advance by one frame.
      const auto delta = static_cast<std::int32_t>(f.number - held_number);
      const std::int64_t advance =
          delta >= 1 && delta <= fps * kMaxGapSeconds ? delta * step : step;
      if (!write_video(held, held_key, pts, advance)) return result_;
      pts += advance;
    }
    step = kVideoClock / fps;
    const auto bytes = std::span<const std::uint8_t>(frame_);
    if (sound_ && f.sound_size > 0 &&
        !add_sound(bytes.subspan(kHeaderSize + f.video_size(), f.sound_size), pts))
      return result_;
    const auto video = bytes.subspan(kHeaderSize, f.video_size());
    held.assign(video.begin(), video.end());
    held_key = f.idr;
    held_number = f.number;
    have_held = true;
  }
  if (have_held) {
    if (!write_video(held, held_key, pts, step)) return result_;
    pts += step;
  }
  if (sound_ && !encode_sound(true)) return result_;
  err = av_write_trailer(out_.get());
  if (err < 0) {
    fail("无法写入MP4文件：", av_text(err));
    return result_;
  }
  avio_closep(&out_->pb);
  result_.duration_s = static_cast<double>(pts) / kVideoClock;
  result_.ok = true;
  return result_;
}

}  // namespace

Mp4ExportResult export_mp4(const std::filesystem::path& in, const std::filesystem::path& out,
                           const std::function<bool(double)>& progress) {
  std::filesystem::path part = out;
  part += ".part";
  Mp4ExportResult r;
  {
    Exporter exporter(in, part, progress);
    r = exporter.run();
  }  // the output is closed here
  std::error_code ec;
  if (r.ok) {
    std::filesystem::rename(part, out, ec);
    if (ec) {
      r.ok = false;
      r.error = "无法保存MP4文件：";
      r.detail = ec.message();
    }
  }
  if (!r.ok) std::filesystem::remove(part, ec);
  if (r.ok && progress) progress(1.0);
  return r;
}

}  // namespace exporter
