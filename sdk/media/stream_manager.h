// CRtpStreamManager: receives one live stream on its stream socket, as UDP
// slices (after punching the stream path) or as TCP records, and pushes each
// whole frame to its CDecoder. Created suspended by the session, configured,
// then resumed. Its waits last until the next thing it must do (a heart beat,
// a time-out) and end at once on Stop: a silent stream costs no wake-ups.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <span>
#include <string>

#include "media/decoder.h"
#include "media/media_clock.h"
#include "media/thread_template.h"
#include "platform/clock.h"
#include "platform/types.h"

namespace velmo {

class CRtspManger;

class CRtpStreamManager final : public CThreadTemplate {
 public:
  explicit CRtpStreamManager(CRtspManger* owner);
  // Stops and waits for the thread; closes the stream socket and deletes the
  // decoder (which closes the record file).
  ~CRtpStreamManager() override;

  void Run() override;

  // Takes the stream socket (blocking mode); 0 for INVALID_SOCKET.
  int SetStreamSocket(SOCKET s);
  // 0 for a null text or a negative port.
  int SetAddress(const char* localIp, int localPort, const char* deviceIp, int devicePort);
  void Stop();
  // The receiver has ended (time-out, error, stop).
  bool Ended() const { return m_bEnded.load(); }

  // Recording on the decoder: -1 when there is no decoder yet, else the
  // decoder's result (1 opened or stopped a recording, 0 not).
  int StartRecord(const std::string& path);
  int StopRecord();
  bool HasDecoder() const;
  // The decoder's MaxQueuedMs; 0 before the first frame.
  int MaxQueuedMs() const;
  std::uint64_t FramesPushed() const { return m_nFramesPushed.load(); }
  std::uint64_t BytesPushed() const { return m_nBytesPushed.load(); }

  CRtspManger* m_pOwner;
  int m_nMode = 1;  // 0 UDP, 1 TCP
  std::string m_strConnectType;
  std::atomic<int> m_bStop{0};
  std::atomic<int> m_bStopRecv{0};
  SOCKET m_sockStream = INVALID_SOCKET;
  SOCKET m_sockCtrl = INVALID_SOCKET;  // the session's; woken, never closed here
  std::string m_strLocalIP;
  int m_nLocalPort = 0;
  std::string m_strDevIP;
  int m_nDevPort = 0;
  std::uint32_t m_nMagic = 0;
  std::uint32_t m_nSessionId = 0;
  std::string m_strProtocol = "UDP";
  int m_nHoleMaxTry = 3;
  int m_nHoleInterval = 500;
  int m_nHbInterval = 10000;
  int m_nTimeOut = 15000;
  std::wstring m_strTel;
  std::string m_strStreamName = "realtime";
  HWND m_hWnd = nullptr;
  int m_nPlayPort = -1;
  std::atomic<int> m_nBitRate{0};
  CDecoder::Limits m_decoderLimits;
  // Set before the thread is resumed; outlives the receiver.
  const media::Clock* m_pClock = &media::steady_clock();

 private:
  void RunUdp();
  void RunTcp();
  bool Punch();
  bool PushFrame(std::span<const std::uint8_t> frame);
  bool ConnectStream();
  bool Stopped() const { return m_bStop.load() || m_bStopRecv.load(); }
  std::uint64_t Now() const { return m_pClock->now_ms(); }
  std::int64_t Since(std::uint64_t t) const { return static_cast<std::int64_t>(Now() - t); }
  // Milliseconds until limit_ms have passed since t; at least 1 so a wait
  // never spins, at most a minute.
  int Until(std::uint64_t t, std::int64_t limit_ms) const;

  platform::StopSignal m_stopWake;  // set with the stop flags: wakes every wait at once
  std::mutex m_sockMutex;           // closing the stream socket against Stop's wake-up
  mutable std::mutex m_decoderMutex;
  std::unique_ptr<CDecoder> m_pDecoder;
  // A recording asked for before the first frame made the decoder.
  std::string m_strPendingRecord;
  std::atomic<bool> m_bEnded{false};
  std::atomic<std::uint64_t> m_nFramesPushed{0};
  std::atomic<std::uint64_t> m_nBytesPushed{0};
};

// The 8-byte heart beats of the stream path: type (big-endian) and the
// session value in network byte order.
inline constexpr std::uint32_t kHeartBeat = 0x105;
inline constexpr std::uint32_t kHeartBeatBack = 0x106;
bool is_heart_beat(std::span<const std::uint8_t> d, std::uint32_t type, std::uint32_t session);

}  // namespace velmo
