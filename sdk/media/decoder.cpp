#include "media/decoder.h"

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <system_error>
#include <utility>

#include "platform/window.h"
#include "velmosdk.h"
#include "vidrane/vidrane.h"

namespace velmo {
namespace {

namespace fs = std::filesystem;
using media::read_frame_header;

// Lost-frame mode 1: after a gap in the numbering, frames without picture
// data are held back until a type-1 frame.
bool passes_loss_rule(const media::FrameHeader& h, std::uint32_t& last, bool& recovering) {
  const std::uint32_t diff = h.number > last ? h.number - last : last - h.number;
  if (last != 0 && diff > 1) recovering = true;
  if (recovering && h.type() == 1) recovering = false;
  last = h.number;
  return !(recovering && h.length1 == 0);
}

bool write_whole(std::FILE* f, std::span<const std::uint8_t> bytes) {
  return std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size() && std::fflush(f) == 0;
}

}  // namespace

CDecoder::CDecoder(HWND wnd, int playPort) : CDecoder(wnd, playPort, Limits{}) {}

CDecoder::CDecoder(HWND wnd, int playPort, Limits limits)
    : m_limits(limits), m_hWnd(wnd), m_nPlayPort(playPort), m_recordWriter(write_whole) {}

CDecoder::~CDecoder() {
  Stop();
  ResumeThread();
  JoinThread();
  StopRecord();
}

void CDecoder::Stop() {
  {
    std::lock_guard lock(m_hQueueMutex);
    m_bStop.store(true);
  }
  m_queueCv.notify_all();
}

bool CDecoder::Push(std::span<const std::uint8_t> frame) {
  if (m_bStop.load()) return false;
  const auto h = read_frame_header(frame);
  if (!h || !h->signed_ok() || h->data_length() == 0 || h->total() > frame.size()) return false;
  const bool key = h->type() == 1;
  const auto whole = frame.first(static_cast<std::size_t>(h->total()));
  // Before any drop decision: a display that falls behind must not leave
  // gaps in the file.
  Record(whole, *h);
  {
    std::lock_guard lock(m_hQueueMutex);
    if (const int fps = h->fps(); fps >= 1 && fps <= 25) m_nQueueFps = fps;
    if (m_bPushWaitKey && !key) {
      ++m_nDropped;
      return true;
    }
    m_bPushWaitKey = false;
    if (m_queue.size() + 1 > FrameLimit() || m_nQueuedBytes + whole.size() > m_limits.max_bytes)
      DropForRoom(key, whole.size());
    if (m_bPushWaitKey) {
      ++m_nDropped;
      return true;
    }
    Frame copy;
    if (!m_pool.empty()) {
      copy = std::move(m_pool.back());
      m_pool.pop_back();
    }
    copy.assign(whole.begin(), whole.end());
    m_nQueuedBytes += copy.size();
    m_queue.push_back(std::move(copy));
    const int waiting =
        static_cast<int>(m_queue.size() * 1000 / static_cast<unsigned>(m_nQueueFps));
    if (waiting > m_nMaxQueuedMs.load(std::memory_order_relaxed)) m_nMaxQueuedMs.store(waiting);
  }
  m_queueCv.notify_one();
  return true;
}

// Under the queue mutex.
std::size_t CDecoder::FrameLimit() const {
  const auto by_time =
      static_cast<std::size_t>(std::max(1, m_nQueueFps * std::max(0, m_limits.max_ms) / 1000));
  return std::max<std::size_t>(1, std::min(m_limits.max_frames, by_time));
}

// Under the queue mutex.
void CDecoder::Recycle(Frame frame) {
  // A few buffers cover the frames in flight; an oversized one is not kept.
  if (m_pool.size() < 8 && frame.capacity() <= media::kMaxFrameSize) {
    frame.clear();
    m_pool.push_back(std::move(frame));
  }
}

// Under the queue mutex. The queue must keep starting where the picture can
// be decoded, so it is cut only at a later type-1 frame: the earliest one
// that leaves at most half the byte limit (trimming then is not repeated for
// every frame), else the newest. Without a later type-1 frame the whole
// backlog goes and the stream resumes at the next type-1 frame that arrives.
void CDecoder::DropForRoom(bool incoming_key, std::size_t incoming_size) {
  const std::size_t max_frames = FrameLimit();
  std::size_t cut = m_queue.size();
  std::size_t before = m_queue.empty() ? 0 : m_queue.front().size();
  for (std::size_t i = 1; i < m_queue.size(); before += m_queue[i].size(), ++i) {
    const auto h = read_frame_header(m_queue[i]);
    if (!h || h->type() != 1) continue;
    cut = i;
    if (m_queue.size() - i + 1 <= max_frames && m_nQueuedBytes - before <= m_limits.max_bytes / 2)
      break;
  }
  for (std::size_t i = 0; i < cut; ++i) {
    m_nQueuedBytes -= m_queue[i].size();
    Recycle(std::move(m_queue[i]));
  }
  m_nDropped += cut;
  m_queue.erase(m_queue.begin(), m_queue.begin() + static_cast<std::ptrdiff_t>(cut));
  if (!m_queue.empty() &&
      (m_queue.size() + 1 > max_frames || m_nQueuedBytes + incoming_size > m_limits.max_bytes)) {
    if (!incoming_key) {
      // The kept start stays decodable; what arrives waits for a type-1 frame.
      m_bPushWaitKey = true;
      return;
    }
    // The incoming type-1 frame is the newer start.
    m_nDropped += m_queue.size();
    for (auto& f : m_queue) Recycle(std::move(f));
    m_queue.clear();
    m_nQueuedBytes = 0;
  }
  if (m_queue.empty() && !incoming_key) m_bPushWaitKey = true;
}

void CDecoder::Run() {
  Frame frame;
  while (!m_bStop.load()) {
    {
      std::unique_lock lock(m_hQueueMutex);
      if (frame.capacity() > 0) Recycle(std::exchange(frame, Frame()));
      if (m_queue.empty()) {
        // Push and Stop wake the wait; the limit only bounds it.
        m_queueCv.wait_for(lock, std::chrono::seconds(1),
                           [&] { return m_bStop.load() || !m_queue.empty(); });
        continue;
      }
      frame = std::move(m_queue.front());
      m_queue.pop_front();
      m_nQueuedBytes -= frame.size();
    }
    const auto h = read_frame_header(frame);
    const bool key = h->type() == 1;
    if (m_bWaitKey) {
      if (!key) continue;
      m_bWaitKey = false;
    }
    if (m_nLostFrameProc == 1 && !passes_loss_rule(*h, m_nLastFrameNo, m_bRecovering)) continue;
    if (!Play264_InputData(m_nPlayPort, frame.data(), static_cast<DWORD>(frame.size()))) Stop();
    ++m_nPlayed;
    m_nLastFrameNo = h->number;
  }
}

void CDecoder::Record(std::span<const std::uint8_t> frame, const media::FrameHeader& h) {
  {
    std::lock_guard lock(m_recordMutex);
    // Followed on every frame, so a recording started later knows the stream.
    const bool passes =
        m_nLostFrameProc != 1 || passes_loss_rule(h, m_nRecordLastNo, m_bRecordRecovering);
    if (!m_pFile || !passes) return;
    if (!m_bRecordStarted) {
      if (h.type() != 1) return;
      m_bRecordStarted = true;
    }
    if (m_recordWriter(m_pFile, frame)) {
      m_nRecordSize += frame.size();
      return;
    }
    // Frames after a torn one would be read misaligned: cut the torn part
    // off and end the recording.
    std::fclose(m_pFile);
    m_pFile = nullptr;
    std::error_code ec;
    if (fs::is_regular_file(m_strRecordPath, ec))
      fs::resize_file(m_strRecordPath, m_nRecordSize, ec);
    m_strRecordPath.clear();
    m_bRecordStarted = false;
  }
  PostMessage(m_hWnd, WM_USER, NOTIFY_RECORD_FAILED, 0);
}

void CDecoder::SetRecordWriter(RecordWriter writer) {
  std::lock_guard lock(m_recordMutex);
  m_recordWriter = writer ? std::move(writer) : RecordWriter(write_whole);
}

bool CDecoder::StartRecord(const std::string& path) {
  std::lock_guard lock(m_recordMutex);
  if (m_pFile) std::fclose(m_pFile);
  m_pFile = nullptr;
  m_strRecordPath.clear();
  m_bRecordStarted = false;
  if (path.empty()) return false;
  m_pFile = std::fopen(path.c_str(), "a+b");
  if (!m_pFile) return false;
  const long size = std::fseek(m_pFile, 0, SEEK_END) == 0 ? std::ftell(m_pFile) : -1;
  m_nRecordSize = size > 0 ? static_cast<std::uint64_t>(size) : 0;
  m_strRecordPath = path;
  return true;
}

bool CDecoder::StopRecord() {
  std::lock_guard lock(m_recordMutex);
  const bool was = m_pFile != nullptr;
  if (m_pFile) std::fclose(m_pFile);
  m_pFile = nullptr;
  m_strRecordPath.clear();
  m_bRecordStarted = false;
  return was;
}

bool CDecoder::Recording() const {
  std::lock_guard lock(m_recordMutex);
  return m_pFile != nullptr;
}

std::size_t CDecoder::QueueSize() const {
  std::lock_guard lock(m_hQueueMutex);
  return m_queue.size();
}

}  // namespace velmo
