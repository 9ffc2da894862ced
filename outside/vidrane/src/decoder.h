// H.264 decoding with libavcodec and picture delivery: conversion with
// libswscale to the window's size, and the display callback's I420 copy.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "platform/types.h"
#include "vidrane/vidrane.h"

struct AVCodecContext;
struct AVFrame;
struct AVPacket;
struct SwsContext;

namespace vidrane {

// A decoder used as the strict send/receive state machine: send one access
// unit, then take every picture it releases.
class VideoDecoder {
 public:
  VideoDecoder();
  ~VideoDecoder();
  VideoDecoder(const VideoDecoder&) = delete;
  VideoDecoder& operator=(const VideoDecoder&) = delete;

  bool ok() const { return ctx_ != nullptr; }
  // False when the decoder refused the unit (a broken unit is not fatal).
  bool send(std::span<const std::uint8_t> access_unit, std::int64_t pts);
  // Asks for the pictures still held back (end of a file).
  void drain();
  // The next picture, valid until the next call; null when none is ready.
  const AVFrame* receive();
  // Forgets everything held, for a seek; decoding restarts at an IDR.
  void flush();

 private:
  AVCodecContext* ctx_ = nullptr;
  AVPacket* packet_ = nullptr;
  AVFrame* frame_ = nullptr;
  std::vector<std::uint8_t> padded_;
  bool draining_ = false;
};

// Hands pictures to a window and to the display callback. One per player
// thread; keeps its buffers between pictures.
class Presenter {
 public:
  Presenter() = default;
  ~Presenter();
  Presenter(const Presenter&) = delete;
  Presenter& operator=(const Presenter&) = delete;

  // Converts the picture to the window's size and shows it; false when the
  // window is gone or the conversion failed.
  bool to_window(HWND hwnd, const AVFrame& picture);
  void to_callback(PLAY264_DISPLAY_CALLBACK callback, long port, const AVFrame& picture,
                   long time_stamp_ms);

 private:
  SwsContext* sws_ = nullptr;
  std::vector<std::uint8_t> i420_;
};

// The picture kept for a redraw: a reference to the decoder's frame.
class HeldPicture {
 public:
  HeldPicture();
  ~HeldPicture();
  HeldPicture(const HeldPicture&) = delete;
  HeldPicture& operator=(const HeldPicture&) = delete;
  void hold(const AVFrame& picture);
  void clear();
  const AVFrame* get() const;

 private:
  AVFrame* frame_ = nullptr;
  bool held_ = false;
};

}  // namespace vidrane
