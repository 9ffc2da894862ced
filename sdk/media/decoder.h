// CDecoder: the queue between the stream receiver and the player. Frames are
// recorded as they arrive; its thread waits for the first type-1 frame, skips
// what a loss made unplayable and hands the frames to Play264_InputData, which
// decodes and shows them on this thread.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <deque>
#include <functional>
#include <mutex>
#include <span>
#include <string>
#include <vector>

#include "media/frame_format.h"
#include "media/thread_template.h"
#include "platform/types.h"

namespace velmo {

class CDecoder final : public CThreadTemplate {
 public:
  // Live video must not lag: the queue holds at most max_ms of video (by the
  // stream's frame rate), and never more frames or bytes than the other two.
  struct Limits {
    std::size_t max_frames = 125;
    std::size_t max_bytes = 8u << 20;
    int max_ms = 500;
  };

  CDecoder(HWND wnd, int playPort);
  CDecoder(HWND wnd, int playPort, Limits limits);
  // Stops the thread, frees the queued frames and closes the record file.
  ~CDecoder() override;

  void Run() override;

  // Records a signed frame of non-zero length and copies it into the queue.
  // False while stopping or for a frame it cannot take. A full queue drops
  // frames up to a later type-1 frame (the newest picture that can be
  // decoded) instead of growing; the record file still gets them.
  bool Push(std::span<const std::uint8_t> frame);
  void Stop();
  bool Stopping() const { return m_bStop.load(); }

  // Recording (caller's thread): closes any open file, then opens path for
  // appending; false when it cannot be opened (no file is left open). A write
  // that fails cuts the file back to its last whole frame, stops recording
  // and posts NOTIFY_RECORD_FAILED to the window.
  bool StartRecord(const std::string& path);
  // Closes the file; true when recording was on.
  bool StopRecord();
  bool Recording() const;

  std::size_t QueueSize() const;
  std::uint64_t FramesPlayed() const { return m_nPlayed.load(); }
  std::uint64_t FramesDropped() const { return m_nDropped.load(); }
  // The most video that has waited in the queue, in ms at the stream's rate.
  int MaxQueuedMs() const { return m_nMaxQueuedMs.load(); }

  // Writes one whole frame to the record file and flushes it; false when any
  // part may be missing. Replaceable so a test can fail a write part-way.
  using RecordWriter = std::function<bool(std::FILE*, std::span<const std::uint8_t>)>;
  void SetRecordWriter(RecordWriter writer);

 private:
  using Frame = std::vector<std::uint8_t>;
  std::size_t FrameLimit() const;
  void DropForRoom(bool incoming_key, std::size_t incoming_size);
  void Recycle(Frame frame);
  void Record(std::span<const std::uint8_t> frame, const media::FrameHeader& h);

  Limits m_limits;
  std::deque<Frame> m_queue;
  std::vector<Frame> m_pool;  // buffers of played frames, reused by Push
  std::size_t m_nQueuedBytes = 0;
  int m_nQueueFps = 25;         // the stream's rate as Push last saw it
  bool m_bPushWaitKey = false;  // after an overflow, until a type-1 frame
  std::atomic<bool> m_bStop{false};
  bool m_bWaitKey = true;
  std::uint32_t m_nLastFrameNo = 0;
  bool m_bRecovering = false;
  int m_nLostFrameProc = 1;
  HWND m_hWnd;
  int m_nPlayPort;

  mutable std::mutex m_recordMutex;  // the file against the caller's open and close
  std::string m_strRecordPath;
  std::FILE* m_pFile = nullptr;
  bool m_bRecordStarted = false;
  std::uint64_t m_nRecordSize = 0;  // the file up to its last whole frame
  RecordWriter m_recordWriter;
  // The loss rule of the display, applied to the frames as they arrive.
  std::uint32_t m_nRecordLastNo = 0;
  bool m_bRecordRecovering = false;

  mutable std::mutex m_hQueueMutex;
  std::condition_variable m_queueCv;
  std::atomic<std::uint64_t> m_nPlayed{0};
  std::atomic<std::uint64_t> m_nDropped{0};
  std::atomic<int> m_nMaxQueuedMs{0};
};

}  // namespace velmo
