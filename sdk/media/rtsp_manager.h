// CRtspManger: one live session of a channel. Its thread runs the RTSP PLAY
// dialogue (over TCP, or as datagrams over a punched UDP path), hands the
// stream to a CRtpStreamManager, keeps the control path and, when the path
// dies, tells the caller's window and restarts the channel. Its socket waits
// end at once when the session is torn down or deleted; an idle session's
// thread wakes about once a second.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

#include "frame/user_table.h"
#include "media/stream_manager.h"
#include "media/thread_template.h"
#include "platform/clock.h"
#include "platform/event.h"
#include "platform/types.h"

class CTarvic;
class CUDP_CE;

namespace velmo {

class CRtcpListener;

// The session's states.
inline constexpr int kStateNew = -1;
inline constexpr int kStatePlaying = 4;
inline constexpr int kStatePtzSent = 6;
inline constexpr int kStateTornDown = 7;

class CRtspManger final : public LiveSession, public CThreadTemplate {
 public:
  explicit CRtspManger(ChannelInfo* channel);
  // Stops the session, waits for its thread and releases what it holds.
  ~CRtspManger() override;

  void Run() override;
  // Sets m_hEvent and lets the thread start.
  void Resume();
  void SetP2pTarget(const char* peerIP, int p2pPort, const char* p2pIP, SOCKET sock, int peerPort);
  void ReadUdpSettings();
  void ReadTcpSettings();
  // The SET_PARAMETER of a PTZ frame's hexadecimal text on a TCP session's
  // control connection: 1 sent, 0 not (UDP session, no connection, failure).
  int SendPtzCommand(const std::string& content, int channel);
  // Marks the session torn down (it will not restart the channel) and, on a
  // connected TCP session, sends TEARDOWN: 1 when the device answered 200.
  int TearDown();
  // "rtsp://%s:%d/%s-%d.264"
  std::string SessionUrl() const;

  // Recording and bit rate through the stream manager (see the exports).
  int StartRecord(const std::string& path);
  int StopRecord();
  int BitRate() const;
  bool HasStream() const;
  // For tests: the stream manager's frames pushed so far.
  std::uint64_t FramesReceived() const;
  // The current stream's frames and frame bytes; false without a stream.
  bool StreamCounters(std::uint64_t& frames, std::uint64_t& bytes) const;

  CRtcpListener* m_pListener = nullptr;
  std::unique_ptr<CRtpStreamManager> m_pStream;
  std::unique_ptr<CTarvic> m_pRtsp;
  HWND m_hWnd = nullptr;
  platform::StopSignal m_bStop;
  SOCKET m_sock = INVALID_SOCKET;
  std::string m_strLocalIP;
  int m_nLocalPort = 0;
  std::string m_strPeerIP;
  int m_nPeerPort = -1;
  int m_nStreamPort = -1;
  int m_bGotReply = 0;
  std::string m_strResponse;
  SOCKET m_sockStream = INVALID_SOCKET;
  std::uint32_t m_nMagic = 0;
  std::uint32_t m_nStreamSession = 0;
  int m_nSessionId = 0;
  int m_nRtcpHbInterval = 10000;
  int m_nRtcpTimeOut = 15000;
  std::string m_strConnectType;
  int m_nTransport = 1;
  std::string m_strRandomValue;
  std::string m_strP2pSvrIP;
  int m_nP2pSvrPort = 0;
  int m_nHoleMaxTry = 3;
  int m_nHoleInterval = 500;
  int m_nPortDriftRange = 0;
  int m_nConnectTimeOut = 5000;
  int m_nAcceptTimeOut = 10000;
  std::wstring m_strTel;
  int m_nRtpHbInterval = 10000;
  int m_nRtpTimeOut = 15000;
  int m_nFrameSliceInterval = 0;
  int m_nLostFrameProc = 1;
  std::atomic<int> m_nState{kStateNew};
  platform::Event m_hEvent{false, true};  // this session's own event
  ChannelInfo* m_pChannel;
  int m_nReconnectDelay = 5000;
  // The channel's player port as the hand-off found it: the channel's own
  // field changes under the restart lock, which this thread cannot take.
  int m_nPlayPort = -1;

  // Settings folder base; empty means the program's directory.
  std::string m_strSettingsBase;
  // Decoder queue bounds handed to the stream manager (tests shrink them).
  CDecoder::Limits m_decoderLimits;

 private:
  void RunTcp();
  void RunP2p();
  bool ConnectControl();
  bool PlayTcp();
  // A stream receiver with the session's addresses, socket and tokens; mode 1
  // is TCP, 0 is UDP. StartStream installs and starts it.
  std::unique_ptr<CRtpStreamManager> MakeStream(int mode);
  void StartStream(std::unique_ptr<CRtpStreamManager> stream);
  bool PlayUdp();
  bool Punch();
  bool ReadAnswer(std::string& header, int timeout_ms);
  // TEARDOWN on the control connection and its answer: 1 when 200.
  int SendTearDown();
  void Cleanup();
  void RestartChannel(bool p2p_failed);
  bool Quit() const { return m_quit.stopped(); }
  bool PublicAddress(SOCKET s, std::string& ip, int& port);
  bool HandleP2pDatagram(const char* data, int n, std::uint64_t& last_answer);

  platform::StopSignal m_quit;               // torn down or deleted: no restart, wake every wait
  std::atomic<bool> m_bTearDownSent{false};  // the device hears TEARDOWN once
  platform::Mutex m_ctrlMutex;               // the control connection and m_pRtsp
  bool m_bCtrlConnected = false;
  bool m_bP2pRegistered = false;
  mutable std::mutex m_streamMutex;  // m_pStream against the caller's thread
  // A recording asked for before the stream exists; the stream takes it.
  std::string m_strPendingRecord;
  std::mutex m_punchMutex;
  std::shared_ptr<CUDP_CE> m_pPunching;
};

}  // namespace velmo
