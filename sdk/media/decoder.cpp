#include "media/decoder.h"

#include <chrono>

#include "media/frame_format.h"
#include "vidrane/vidrane.h"

namespace velmo {

using media::read_frame_header;

CDecoder::CDecoder(HWND wnd, int playPort) : CDecoder(wnd, playPort, Limits{}) {}

CDecoder::CDecoder(HWND wnd, int playPort, Limits limits)
    : m_limits(limits), m_hWnd(wnd), m_nPlayPort(playPort) {}

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
  Frame copy(frame.begin(), frame.begin() + static_cast<std::ptrdiff_t>(h->total()));
  {
    std::lock_guard lock(m_hQueueMutex);
    if (m_bPushWaitKey && !key) {
      ++m_nDropped;
      return true;
    }
    m_bPushWaitKey = false;
    if (m_queue.size() + 1 > m_limits.max_frames ||
        m_nQueuedBytes + copy.size() > m_limits.max_bytes)
      DropForRoom(key);
    if (m_bPushWaitKey) {
      ++m_nDropped;
      return true;
    }
    m_nQueuedBytes += copy.size();
    m_queue.push_back(std::move(copy));
  }
  m_queueCv.notify_one();
  return true;
}

// Under the queue mutex. Frames go from the front up to the next type-1
// frame after it, so the queue still starts where the picture can be decoded;
// without such a frame the whole backlog goes and the stream resumes at the
// next type-1 frame that arrives.
void CDecoder::DropForRoom(bool incoming_key) {
  std::size_t next_key = m_queue.size();
  for (std::size_t i = 1; i < m_queue.size(); ++i) {
    const auto h = read_frame_header(m_queue[i]);
    if (h && h->type() == 1) {
      next_key = i;
      break;
    }
  }
  for (std::size_t i = 0; i < next_key; ++i) m_nQueuedBytes -= m_queue[i].size();
  m_nDropped += next_key;
  m_queue.erase(m_queue.begin(), m_queue.begin() + static_cast<std::ptrdiff_t>(next_key));
  if (m_queue.empty() && !incoming_key) m_bPushWaitKey = true;
  // A backlog of key frames alone: keep only the newest data.
  while (!m_queue.empty() &&
         (m_queue.size() + 1 > m_limits.max_frames || m_nQueuedBytes > m_limits.max_bytes / 2)) {
    m_nQueuedBytes -= m_queue.front().size();
    m_queue.pop_front();
    ++m_nDropped;
    if (m_queue.empty() && !incoming_key) m_bPushWaitKey = true;
  }
}

void CDecoder::Run() {
  while (!m_bStop.load()) {
    Frame frame;
    {
      std::unique_lock lock(m_hQueueMutex);
      if (m_queue.empty()) {
        m_queueCv.wait_for(lock, std::chrono::milliseconds(m_nIdleSleep),
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
    if (m_nLostFrameProc == 1) {
      const std::uint32_t diff =
          h->number > m_nLastFrameNo ? h->number - m_nLastFrameNo : m_nLastFrameNo - h->number;
      if (m_nLastFrameNo != 0 && diff > 1) m_bRecovering = true;
      if (m_bRecovering && key) m_bRecovering = false;
      if (m_bRecovering && h->length1 == 0) {
        m_nLastFrameNo = h->number;
        continue;
      }
    }
    const int fps = h->fps();
    if (fps >= 1 && fps <= 25 && fps != m_nFps) {
      m_nFps = fps;
      m_nIdleSleep = 1000 / fps;
    }
    WriteRecord(frame, key);
    if (!Play264_InputData(m_nPlayPort, frame.data(), static_cast<DWORD>(frame.size()))) Stop();
    ++m_nPlayed;
    m_nLastFrameNo = h->number;
  }
}

void CDecoder::WriteRecord(const Frame& frame, bool key) {
  std::lock_guard lock(m_recordMutex);
  if (!m_pFile) return;
  if (!m_bRecordStarted) {
    if (!key) return;
    m_bRecordStarted = true;
  }
  std::fwrite(frame.data(), 1, frame.size(), m_pFile);
  std::fflush(m_pFile);
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
