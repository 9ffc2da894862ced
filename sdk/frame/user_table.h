// The login table: 16 user slots with six channel slots each, the library's
// started state, the last error code and the player-port table.
#pragma once

#include <array>
#include <atomic>
#include <memory>
#include <mutex>
#include <string>

#include "platform/clock.h"
#include "platform/event.h"
#include "platform/thread.h"
#include "platform/types.h"

class CMorvic;

namespace velmo {

inline constexpr int kUserCount = 16;
inline constexpr int kChannelCount = 6;

struct UserInfo;
class CPTZProtocol;
struct LiveChannelState;

// The channel's listening TCP server. The media plane's listener (which also
// accepts the device's connections) implements this; until then a plain
// listening socket stands in for it.
class ChannelListener {
 public:
  virtual ~ChannelListener() = default;
  // Starts listening on port (0: ephemeral); the port listened on, or -1.
  virtual int Start(int port) = 0;
  virtual void Stop() = 0;
  virtual int Port() const = 0;
};

// A channel's live session. The live-session code derives its session class
// from this so the channel can own and discard it.
class LiveSession {
 public:
  virtual ~LiveSession() = default;
};

struct ChannelInfo {
  ChannelInfo(UserInfo* user, int index);
  ~ChannelInfo();
  ChannelInfo(const ChannelInfo&) = delete;
  ChannelInfo& operator=(const ChannelInfo&) = delete;

  // The HTTP client object is shared with a connect thread that may be using
  // it: discarding it closes its connection and drops the channel's
  // reference, and the object goes when the thread lets go of it.
  std::shared_ptr<CMorvic> http() const;
  void set_http(std::shared_ptr<CMorvic> conn);
  void discard_http();
  // The drift probe of an authentication on conn: discarding conn shuts it
  // down, which wakes its waits. False when conn is no longer the channel's.
  bool attach_probe(const CMorvic* conn, SOCKET probe);
  void detach_probe();

  int m_nHttpTimeout = 20;
  int m_nListenPort = 0;
  int m_nP2pRepeat = 3;
  int m_nP2pOvertime = 300;
  int m_nResolution = 0;
  int m_nFrameRate = 10;
  int m_nImageType = 1;
  HWND m_hMsgWnd = nullptr;
  int m_nBitRate = 0;
  std::atomic<int> m_bP2pOpen{1};
  int m_nChannel;
  WORD m_wDecoderType = 25;
  WORD m_wPtzProtocol = 25;
  WORD m_nDecoderAddress = 1;
  HWND m_hPlayWnd = nullptr;
  std::string m_strWanIP;
  std::string m_strLanIP;
  int m_nPeerPort = 0;
  SOCKET m_sock = INVALID_SOCKET;
  int m_nPlayPort = -1;
  // Set when the caller stops the channel; wakes the connect thread's waits.
  platform::StopSignal m_bStop;
  int m_nReconnectDelay = 5000;
  std::unique_ptr<CPTZProtocol> m_pPtz;  // the channel's PTZ encoder
  UserInfo* m_pUser;
  // The live code's locks for this channel (media/live_channel.h), made on
  // first use; its deleter comes from there as the type is not complete here.
  std::unique_ptr<LiveChannelState, void (*)(LiveChannelState*)> m_pLiveState{nullptr, nullptr};
  std::unique_ptr<LiveSession> m_pRtspManager;
  std::unique_ptr<ChannelListener> m_pListener;
  std::string m_strConnectType;
  std::wstring m_strRecordFile;
  platform::Thread m_hThread;

 private:
  mutable std::mutex http_mutex_;
  std::shared_ptr<CMorvic> m_pHttpConn;
  SOCKET probe_ = INVALID_SOCKET;
};

struct UserInfo {
  UserInfo();
  UserInfo(const UserInfo&) = delete;
  UserInfo& operator=(const UserInfo&) = delete;

  ChannelInfo& channel(int index) { return *m_Channel[static_cast<std::size_t>(index)]; }

  std::string m_strServer;
  int m_nPort = 0;
  std::string m_strI2c;
  std::string m_strTel;
  int m_bLogin = 0;
  std::string m_strPasswd;
  std::array<std::unique_ptr<ChannelInfo>, kChannelCount> m_Channel;
  int m_nUserId = -1;
};

struct UserTable {
  UserTable();
  ~UserTable();

  std::array<std::unique_ptr<UserInfo>, kUserCount> m_pUsers;
  std::shared_ptr<platform::Mutex> m_hUserMutex;
  int m_nCount = kUserCount;
};

// The table while the library is started, else null.
UserTable* user_table();
// Per-device guard: the channel of a valid login handle, or null.
ChannelInfo* guarded_channel(long login_handle, long channel);
UserInfo* guarded_user(long login_handle);

// Slot allocation and release under "UserMutex".
long allocate_user(const std::string& server, int port, const std::string& i2c,
                   const std::string& tel, const std::string& passwd);
int release_user(long login_handle);

// Logins in flight. A release cancels them and waits until they are out, so
// no Login uses a slot the release frees; until reopened new ones fail.
bool enter_login();
void leave_login();
void cancel_logins();
void reopen_logins();

void set_last_error(int code);
int take_last_error();

// Player ports 0-31 under "ORV_NET_PLAY_MUTEX"; live streams never take the
// playback and clipping ports.
inline constexpr int kPlaybackPort = 17;
inline constexpr int kClipPort = 20;
int take_play_port();
void release_play_port(int port);

// Which listener a channel gets; the media plane installs its own.
using ListenerFactory = std::unique_ptr<ChannelListener> (*)();
void set_listener_factory(ListenerFactory factory);

}  // namespace velmo
