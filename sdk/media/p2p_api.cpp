// The P2P exports: punching, the punched path's accessors, heart beats.
#include <array>
#include <cstring>
#include <string>

#include "control/http.h"
#include "control/request.h"
#include "frame/user_table.h"
#include "media/p2p_registry.h"
#include "morvic/morvic.h"
#include "platform/clock.h"
#include "platform/net.h"
#include "platform/socket_kind.h"
#include "platform/text.h"
#include "velmosdk_p2p.h"

namespace velmo {
namespace {

constexpr std::uint32_t kHeartBeat = 0x00000105;
constexpr std::uint32_t kHeartBeatBack = 0x00000106;
constexpr int kSendPauseMs = 10;
// A stream send that finds no room retries this often before it fails.
constexpr int kStreamRetries = 100;

using Frame = std::array<char, 8>;

// Type big-endian; the session value as it lies in memory.
Frame heart_beat(std::uint32_t type, unsigned long session) {
  Frame f{};
  for (int i = 0; i < 4; ++i) f[i] = static_cast<char>((type >> (24 - 8 * i)) & 0xFF);
  const auto value = static_cast<std::uint32_t>(session);
  std::memcpy(f.data() + 4, &value, 4);
  return f;
}

bool is_frame(const char* data, int len, std::uint32_t type, unsigned long session) {
  if (!data || len != 8) return false;
  const Frame want = heart_beat(type, session);
  return std::memcmp(data, want.data(), want.size()) == 0;
}

bool send_udp(unsigned int s, const wchar_t* ip, int port, const Frame& f) {
  if (s == INVALID_SOCKET || !ip || port < 1 || port > 65535) return false;
  const auto addr = platform::parse_dotted(platform::cp936_from_wide(ip));
  if (!addr) return false;
  const platform::SockAddr to{*addr, static_cast<std::uint16_t>(port)};
  std::size_t sent = 0;
  while (sent < f.size()) {
    const int n = platform::send_to(s, f.data() + sent, static_cast<int>(f.size() - sent), to);
    if (n < 0) return false;
    sent += static_cast<std::size_t>(n);
    platform::sleep_ms(kSendPauseMs);
  }
  return true;
}

bool send_stream(unsigned int s, const Frame& f) {
  std::size_t sent = 0;
  int retries = 0;
  while (sent < f.size()) {
    const int n = platform::send_some(s, std::string_view(f.data() + sent, f.size() - sent));
    if (n < 0) {
      if (!platform::would_block() || ++retries > kStreamRetries) return false;
    } else {
      sent += static_cast<std::size_t>(n);
    }
    platform::sleep_ms(kSendPauseMs);
  }
  return true;
}

}  // namespace
}  // namespace velmo

unsigned int UdpMakeHole(const char* svrIp, int svrPort, unsigned long sessionId,
                         const char* randomValue, int maxTry, int interval, int portRange) {
  if (!velmo::user_table()) return INVALID_SOCKET;
  if (!svrIp) return INVALID_SOCKET;
  return velmo::make_hole(svrIp, svrPort, static_cast<std::uint32_t>(sessionId), randomValue,
                          maxTry, interval, portRange);
}

unsigned int GetP2pSocket(char* i2c, const wchar_t* tel, const wchar_t* server, int port,
                          int maxTry, int interval) {
  if (!velmo::user_table()) return INVALID_SOCKET;
  using namespace velmo;
  if (!i2c || !tel || !server) return INVALID_SOCKET;
  auto conn = auth_socket();
  if (!conn) return INVALID_SOCKET;
  const std::wstring url =
      format_url(server, port, L"realtime?i2c=" + wide(i2c) + L"&tel=" + tel + L"&transmit=true");
  const HttpResult r = http_exchange(*conn, url, nullptr, 1);
  if (!r.ok()) return INVALID_SOCKET;
  const auto reply = read_p2p_reply(r.body);
  if (!reply || !reply->info) return INVALID_SOCKET;
  const P2pInfo& info = *reply->info;
  return make_hole(info.ipv4, info.port, info.session, info.random.c_str(), maxTry, interval, 0);
}

int ReleaseP2pSocket(unsigned int s) {
  if (!velmo::user_table()) return 0;
  auto object = velmo::p2p_remove(s);
  if (!object) return 0;
  object->CancelMakeHole();
  object->Close();
  return 1;
}

int GetRemoteIP(unsigned int s, char* buf, int size) {
  if (!velmo::user_table()) return 0;
  auto object = velmo::p2p_find(s);
  if (!object || !buf) return 0;
  return object->GetP2pInfo(buf, size, nullptr);
}

int GetRemotePort(unsigned int s) {
  if (!velmo::user_table()) return 0;
  auto object = velmo::p2p_find(s);
  if (!object) return 0;
  char ip[20];
  int port = 0;
  return object->GetP2pInfo(ip, sizeof ip, &port) ? port : 0;
}

int GetRandomValue(unsigned int s, char* buf, int size) {
  if (!velmo::user_table()) return 0;
  auto object = velmo::p2p_find(s);
  if (!object || !buf) return 0;
  return object->GetRandomValue(buf, size);
}

unsigned long GetSessionId(unsigned int s) {
  if (!velmo::user_table()) return 0xFFFFFFFFul;
  auto object = velmo::p2p_find(s);
  return object ? object->GetSessionId() : 0xFFFFFFFFul;
}

char* GetP2pSvrIP(unsigned int s, char* buf, int size) {
  if (!velmo::user_table()) return nullptr;
  auto object = velmo::p2p_find(s);
  if (!object || !buf) return nullptr;
  int port = 0;
  return object->GetP2pSvrInfo(buf, size, &port) ? buf : nullptr;
}

int GetP2pSvrPort(unsigned int s) {
  if (!velmo::user_table()) return 0;
  auto object = velmo::p2p_find(s);
  if (!object) return 0;
  char ip[20];
  int port = 0;
  return object->GetP2pSvrInfo(ip, sizeof ip, &port) ? port : -1;
}

int SendHeartBeat_RTP(unsigned int s, const wchar_t* ip, int port, unsigned long session) {
  if (!velmo::user_table()) return 0;
  return velmo::send_udp(s, ip, port, velmo::heart_beat(velmo::kHeartBeat, session)) ? 1 : 0;
}

int SendHeartBeatBack_RTP(unsigned int s, const wchar_t* ip, int port, unsigned long session) {
  if (!velmo::user_table()) return 0;
  return velmo::send_udp(s, ip, port, velmo::heart_beat(velmo::kHeartBeatBack, session)) ? 1 : 0;
}

int IsHeartBeat_RTP(unsigned int s, char* data, int len, unsigned long session) {
  if (!velmo::user_table()) return 0;
  return s != INVALID_SOCKET && velmo::is_frame(data, len, velmo::kHeartBeat, session) ? 1 : 0;
}

int IsHeartBeatBack_RTP(unsigned int s, char* data, int len, unsigned long session) {
  if (!velmo::user_table()) return 0;
  return s != INVALID_SOCKET && velmo::is_frame(data, len, velmo::kHeartBeatBack, session) ? 1 : 0;
}

int SendHeartBeat_RTCP(unsigned int s, const wchar_t* ip, int port, unsigned long session) {
  if (!velmo::user_table()) return 0;
  const auto kind = platform::socket_kind(s);
  if (!kind) return 0;
  if (*kind == platform::SocketKind::stream)
    return velmo::send_stream(s, velmo::heart_beat(velmo::kHeartBeat, session)) ? 1 : 0;
  if (*kind != platform::SocketKind::datagram) return 0;
  auto object = velmo::p2p_find(s);
  if (!object || !ip) return 0;
  return object->SendHeartBeat(ip, port);
}

int IsHeartBeatBack_RTCP(unsigned int s, char* data, int len, unsigned long session) {
  if (!velmo::user_table()) return 0;
  const auto kind = platform::socket_kind(s);
  if (!kind) return 0;
  if (*kind == platform::SocketKind::stream)
    return velmo::is_frame(data, len, velmo::kHeartBeatBack, session) ? 1 : 0;
  auto object = velmo::p2p_find(s);
  if (!object || !data) return 0;
  return object->IsHeartBeatBack(data, len);
}
