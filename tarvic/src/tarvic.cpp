#include "tarvic/tarvic.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <cwchar>
#include <string_view>

#include "platform/clock.h"
#include "platform/net.h"
#include "platform/text.h"
#include "rtsp_text.h"

namespace {

constexpr int kConnectLimitMs = 10000;
constexpr int kSendPauseMs = 10;
// A send that finds the socket full waits this long for room before failing.
constexpr int kSendStallMs = 10000;
constexpr std::size_t kHostMaxBytes = 128;

void diagnostic(const char* line) {
  std::fputs(line, stderr);
}

int seconds_to_ms(long long seconds) {
  if (seconds <= 0) return 0;
  return seconds >= INT_MAX / 1000 ? INT_MAX / 1000 * 1000 : static_cast<int>(seconds * 1000);
}

std::wstring_view wide_or_empty(const wchar_t* text) {
  return text ? std::wstring_view(text) : std::wstring_view();
}

}  // namespace

CTarvic::CTarvic()
    : m_bConnected(0),
      m_szRequest{},
      m_szResponse{},
      m_nPort(80),
      m_szPeerIP{},
      m_hSocket(INVALID_SOCKET),
      m_nSendTimeOut(25),
      m_nRecvTimeOut(25),
      m_nReadPos(0),
      m_bResponse(0),
      m_nResponseLen(-1) {}

CTarvic::~CTarvic() {
  if (HasSocket()) CloseSocket();
}

int CTarvic::Socket() {
  if (m_bConnected) return 0;
  const SOCKET s = platform::tcp_socket();
  if (s == INVALID_SOCKET) {
    diagnostic("错误: socket()函数执行失败!\n");
    return 0;
  }
  // A handle held but not connected may be adopted and owned elsewhere: it is
  // replaced, not closed.
  m_hSocket = s;
  return 1;
}

int CTarvic::Socket(unsigned int s) {
  if (s == INVALID_SOCKET) return 0;
  m_hSocket = s;
  return 1;
}

int CTarvic::Connect(const wchar_t* host, int port) {
  if (!host) return 0;
  if (m_bConnected) CloseSocket();
  const std::string narrow = platform::cp936_from_wide(host);
  if (narrow.size() > kHostMaxBytes) return 0;
  const auto ip = platform::parse_dotted(narrow);
  if (!ip || port < 0 || port > 65535) return 0;
  m_nPort = port;
  std::swprintf(m_szPeerIP, std::size(m_szPeerIP), L"%u.%u.%u.%u", (*ip >> 24) & 0xFF,
                (*ip >> 16) & 0xFF, (*ip >> 8) & 0xFF, *ip & 0xFF);
  if (!HasSocket() || !platform::set_nonblocking(m_hSocket, true)) return 0;

  const platform::SockAddr remote{*ip, static_cast<std::uint16_t>(port)};
  bool ok = false;
  switch (platform::connect_socket(m_hSocket, remote)) {
    case platform::ConnectResult::connected:
      ok = true;
      break;
    case platform::ConnectResult::in_progress:
      ok = platform::wait_writable(m_hSocket, kConnectLimitMs) == 1 &&
           platform::connect_succeeded(m_hSocket);
      break;
    case platform::ConnectResult::failed:
      break;
  }
  if (!ok) {
    platform::close_socket(m_hSocket);
    m_hSocket = INVALID_SOCKET;
    m_bConnected = 0;
    return 0;
  }
  m_bConnected = 1;
  return 1;
}

int CTarvic::CloseSocket() {
  if (!HasSocket()) return 0;
  platform::close_socket(m_hSocket);
  m_hSocket = INVALID_SOCKET;
  m_bConnected = 0;
  return 1;
}

unsigned int CTarvic::DetachSocket() {
  const unsigned int s = m_hSocket;
  m_hSocket = INVALID_SOCKET;
  m_bConnected = 0;
  return s;
}

void CTarvic::InitData() {
  m_nPort = 80;
  std::memset(m_szPeerIP, 0, sizeof m_szPeerIP);
  std::memset(m_szRequest, 0, sizeof m_szRequest);
  std::memset(m_szResponse, 0, sizeof m_szResponse);
  m_nReadPos = 0;
  m_bResponse = 0;
  m_nResponseLen = -1;
  m_nRecvTimeOut = 20;
  m_nSendTimeOut = 10;
}

const char* CTarvic::StoreRequest(const std::wstring& text) {
  // Both the wide text and its narrow form must fit 1024 with the terminator.
  if (text.size() >= tarvic::kBufferSize) return m_szRequest;
  const std::string narrow = platform::cp936_from_wide(text);
  if (narrow.size() >= sizeof m_szRequest) return m_szRequest;
  std::memcpy(m_szRequest, narrow.data(), narrow.size());
  m_szRequest[narrow.size()] = '\0';
  return m_szRequest;
}

const char* CTarvic::FormatRequestHeader(int method, const wchar_t* url, unsigned long session,
                                         const wchar_t* ip, int port) {
  InitData();
  if (method != 4 || !url) return nullptr;
  return StoreRequest(
      tarvic::play_tcp_request(url, static_cast<std::uint32_t>(session), wide_or_empty(ip), port));
}

const char* CTarvic::FormatPlayRequestHeader(const wchar_t* url, unsigned long session) {
  InitData();
  if (!url) return nullptr;
  return StoreRequest(
      tarvic::session_request(L"PLAY", 4, url, static_cast<std::uint32_t>(session)));
}

const char* CTarvic::FormatPauseRequestHeader(const wchar_t* url, unsigned long session) {
  InitData();
  if (!url) return nullptr;
  return StoreRequest(
      tarvic::session_request(L"PAUSE", 5, url, static_cast<std::uint32_t>(session)));
}

const char* CTarvic::FormatTearDownRequestHeader(const wchar_t* url, unsigned long session) {
  InitData();
  if (!url) return nullptr;
  return StoreRequest(
      tarvic::session_request(L"TEARDOWN", 7, url, static_cast<std::uint32_t>(session)));
}

const char* CTarvic::FormatSetParamRequestHeader(const wchar_t* url, const wchar_t* body) {
  InitData();
  if (!url) return nullptr;
  if (!body) return StoreRequest(tarvic::set_parameter_request(url, nullptr, 0));
  const std::wstring text(body);
  // The length announced is the body's size on the wire, after conversion.
  const std::size_t bytes = platform::cp936_from_wide(text).size();
  return StoreRequest(tarvic::set_parameter_request(url, &text, bytes));
}

const char* CTarvic::FormatSetParamRequestHeader(const wchar_t* url, const wchar_t* name,
                                                 const wchar_t* value) {
  if (!value) return FormatSetParamRequestHeader(url, static_cast<const wchar_t*>(nullptr));
  std::wstring body(wide_or_empty(name));
  body.append(L": ");
  body.append(value);
  return FormatSetParamRequestHeader(url, body.c_str());
}

int CTarvic::SendBytes(const wchar_t* text, long length, const char* diag) {
  if (!m_bConnected || !HasSocket()) return 0;
  std::string local;
  if (length == 0) {
    local.assign(m_szRequest, strnlen(m_szRequest, sizeof m_szRequest));
  } else {
    if (!text || length < 0 || length > static_cast<long>(tarvic::kBufferSize)) return 0;
    local = platform::cp936_from_wide(
        std::wstring_view(text, wcsnlen(text, static_cast<std::size_t>(length))));
    if (local.size() > tarvic::kBufferSize) return 0;
  }
  if (local.empty()) return 0;

  std::string_view rest(local);
  while (!rest.empty()) {
    const int n = platform::send_some(m_hSocket, rest);
    if (n < 0 && platform::would_block()) {
      // The socket is non-blocking after Connect: a full buffer is not an error.
      if (platform::wait_writable(m_hSocket, kSendStallMs) == 1) continue;
      diagnostic(diag);
      return 0;
    }
    if (n <= 0) {
      diagnostic(diag);
      return 0;
    }
    rest.remove_prefix(static_cast<std::size_t>(n));
    platform::sleep_ms(kSendPauseMs);
  }
  return 1;
}

int CTarvic::SendRequest(const wchar_t* text, long length) {
  if (!SendBytes(text, length, "CTarvic:SendRequest send()函数执行失败!\n")) return 0;
  int len = 0;
  return GetResponseHeader(len) ? 1 : 0;
}

int CTarvic::SendRequest_WithoutBack(const wchar_t* text, long length) {
  return SendBytes(text, length, "CTarvic:SendRequest_WithoutBack send()函数执行失败!\n");
}

const char* CTarvic::GetResponseHeader(int& length) {
  if (m_bResponse) {
    length = m_nResponseLen;
    return m_szResponse;
  }
  if (!HasSocket()) return nullptr;

  // Each byte may take the receive time-out, the whole header twice that:
  // a peer trickling one byte at a time cannot hold the caller forever.
  const int per_byte_ms = seconds_to_ms(m_nRecvTimeOut);
  const std::uint64_t deadline = platform::tick_ms64() + 2ull * static_cast<unsigned>(per_byte_ms);
  std::memset(m_szResponse, 0, sizeof m_szResponse);
  tarvic::HeaderCollector header(m_szResponse);
  while (!header.complete()) {
    const std::uint64_t now = platform::tick_ms64();
    if (now >= deadline && per_byte_ms > 0) return nullptr;
    const int wait_ms = static_cast<int>(std::min<std::uint64_t>(per_byte_ms, deadline - now));
    const int ready = platform::wait_readable(m_hSocket, wait_ms);
    if (ready == 0) return nullptr;  // time-out: the connection stays
    char byte = 0;
    const int n = ready < 0 ? -1 : platform::recv_some(m_hSocket, &byte, 1);
    if (n < 0 && ready > 0 && platform::would_block()) continue;
    if (n <= 0) {
      CloseSocket();
      return nullptr;
    }
    header.push(byte);
  }
  m_nResponseLen = static_cast<int>(header.size());
  m_bResponse = 1;
  m_nReadPos = 0;
  length = m_nResponseLen;
  return m_szResponse;
}

int CTarvic::GetResponseLine(char* dst, int size) {
  const std::size_t len = m_bResponse && m_nResponseLen > 0 ? m_nResponseLen : 0;
  return tarvic::next_line(std::string_view(m_szResponse, len), m_nReadPos, dst, size);
}

std::wstring CTarvic::GetField(const wchar_t* name) {
  if (!name || !m_bResponse || m_nResponseLen <= 0) return {};
  const std::wstring header =
      platform::wide_from_cp936(std::string_view(m_szResponse, m_nResponseLen));
  if (header.size() > tarvic::kBufferSize) return {};
  const auto value = tarvic::field_value(header, name);
  return value ? std::wstring(*value) : std::wstring();
}

int CTarvic::GetServerState() {
  if (!m_bResponse || m_nResponseLen < 0) return -1;
  return tarvic::status_code(std::string_view(m_szResponse, m_nResponseLen));
}

int CTarvic::GetRequestHeader(char* dst, int size) const {
  if (!dst || size <= 0) return 0;
  const std::size_t n =
      std::min(strnlen(m_szRequest, sizeof m_szRequest), static_cast<std::size_t>(size));
  std::memcpy(dst, m_szRequest, n);
  return static_cast<int>(n);
}

long CTarvic::Receive(char* buf, long size) {
  if (!m_bConnected || !HasSocket()) return 0;
  if (!buf || size <= 0) return -1;
  const int n =
      platform::recv_some(m_hSocket, buf, static_cast<int>(std::min<long>(size, INT_MAX)));
  if (n > 0) return n;
  // Nothing there yet on the non-blocking socket: the connection is fine.
  if (n < 0 && platform::would_block()) return -1;
  if (n < 0) diagnostic("错误CTarvic:recv()函数执行失败!\n");
  CloseSocket();
  return n;
}

int CTarvic::SelectRcv(unsigned int s, char* buf, int size, unsigned long seconds) {
  if (s == INVALID_SOCKET || !buf || size < 0) return -1;
  const int ready = platform::wait_readable(
      s, seconds_to_ms(static_cast<long long>(std::min<unsigned long>(seconds, INT_MAX))));
  if (ready != 1) {
    if (ready == 0) errno = ETIMEDOUT;
    return -1;
  }
  const int n = platform::recv_some(s, buf, size);
  return n < 0 ? -1 : n;
}

int CTarvic::SelectRcv(char* buf, int size) {
  return SelectRcv(m_hSocket, buf, size, static_cast<unsigned long>(std::max(m_nRecvTimeOut, 0)));
}

int CTarvic::Send_Block(unsigned int s, const char* data, int len, unsigned long seconds) {
  if (!data || len < 0) return -1;
  const int ready = platform::wait_writable(
      s, seconds_to_ms(static_cast<long long>(std::min<unsigned long>(seconds, INT_MAX))));
  if (ready != 1) return -1;
  return platform::send_some(s, std::string_view(data, static_cast<std::size_t>(len)));
}

int CTarvic::SelectSend(unsigned int s, const char* data, int len, unsigned long seconds) {
  if (s == INVALID_SOCKET || !data || len < 0) return -1;
  int total = 0;
  while (total < len) {
    const int n = Send_Block(s, data + total, len - total, seconds);
    if (n <= 0) return -1;
    total += n;
  }
  return total;
}

int CTarvic::SetTimeout(int seconds, int which) {
  if (which != 0)
    m_nSendTimeOut = seconds;
  else
    m_nRecvTimeOut = seconds;
  return 1;
}

std::wstring CTarvic::GetLocalIP() {
  if (!HasSocket()) return {};
  const auto local = platform::local_address(m_hSocket);
  if (!local) return {};
  return platform::wide_from_latin1(local->ip_text());
}
