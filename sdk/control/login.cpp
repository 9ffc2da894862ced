// Login, logout, the library's own authentication and negotiation, cancels
// and the public-address query.
#include <cstring>
#include <string>

#include "control/auth.h"
#include "control/http.h"
#include "control/request.h"
#include "frame/user_table.h"
#include "morvic/morvic.h"
#include "velmosdk.h"

namespace velmo {
namespace {

std::string g_analyze_result;

}  // namespace
}  // namespace velmo

long Login(const char* server, int port, const char* i2c, const char* tel, const char* passwd,
           const char* /*unused*/, int timeout) {
  using namespace velmo;
  if (!server || !i2c || !tel || !*i2c) return -1;
  if (!enter_login()) return -1;
  struct Leave {
    ~Leave() { leave_login(); }
  } leave;
  const long handle = allocate_user(server, port, i2c, tel, passwd ? passwd : "");
  if (handle < 0) return -1;
  UserInfo* user = guarded_user(handle);
  if (!user || !authenticate_channel(user->channel(1), timeout)) {
    release_user(handle);
    return -1;
  }
  return handle;
}

long Login(const wchar_t* server, int port, const wchar_t* i2c, const wchar_t* tel,
           const wchar_t* passwd, const wchar_t* unused, int timeout) {
  using velmo::narrow;
  if (!server || !i2c || !tel) return -1;
  const std::string s = narrow(server), i = narrow(i2c), t = narrow(tel);
  const std::string p = passwd ? narrow(passwd) : std::string();
  const std::string u = unused ? narrow(unused) : std::string();
  return Login(s.c_str(), port, i.c_str(), t.c_str(), p.c_str(), u.c_str(), timeout);
}

int LogOut(long loginHandle) {
  using namespace velmo;
  UserInfo* user = guarded_user(loginHandle);
  if (!user) return 0;
  // The slot's kept-open connections must not serve the next login.
  for (int c = 0; c < kChannelCount; ++c) user->channel(c).discard_http();
  return release_user(loginHandle);
}

int UserAnthenticate(char* i2c, int i2cLen, const wchar_t* tel, const wchar_t* server, int port,
                     int timeout) {
  using namespace velmo;
  if (!user_table() || !i2c || i2cLen <= 0 || !tel || !server) return 0;
  const std::size_t len = strnlen(i2c, static_cast<std::size_t>(i2cLen) + 1);
  if (len > static_cast<std::size_t>(i2cLen)) return 0;
  auto conn = make_http();
  if (!conn) return 0;
  set_auth_socket(conn);
  // A release that ran meanwhile must not find its socket replaced.
  const auto still_started = [&] {
    if (user_table()) return true;
    if (auth_socket() == conn) set_auth_socket(nullptr);
    return false;
  };
  if (!still_started()) return 0;
  const AuthTarget target{narrow(server), port, std::string(i2c, len), narrow(tel), timeout};
  if (authenticate(*conn, target, false) && auth_socket() == conn && still_started()) return 1;
  if (auth_socket() == conn) set_auth_socket(nullptr);
  return 0;
}

const char* ConnectAnalyze(char* i2c, const wchar_t* tel, const wchar_t* server, int port,
                           int listenPort, int p2pRepeat, int p2pOvertime, int p2pOpen,
                           int useConnect, int resolution, int frameRate, int imageType) {
  using namespace velmo;
  g_analyze_result.clear();
  if (!user_table() || !i2c || !tel || !server || listenPort < 0) return g_analyze_result.c_str();
  auto conn = auth_socket();
  if (!conn) return g_analyze_result.c_str();
  NegotiationQuery q;
  q.i2c = wide(i2c);
  q.tel = tel;
  q.wan_ip = wide(conn->m_strWanIP);
  q.lan_ip = conn->GetLocalIP();
  q.listen_port = listenPort;
  q.drift_range = conn->m_nDriftRange;
  q.p2p_overtime = p2pOvertime;
  q.p2p_repeat = p2pRepeat;
  q.p2p_open = p2pOpen != 0;
  q.resolution = resolution;
  q.image_type = imageType;
  q.frame_rate = frameRate;
  q.with_bit_rate = false;
  HttpResult r = http_request(*conn, server, port,
                              (useConnect ? L"connect?" : L"realtime?") + negotiation_query(q));
  if (r.ok()) g_analyze_result = std::move(r.body);
  return g_analyze_result.c_str();
}

void CancleHttpRequst() {
  if (velmo::user_table()) velmo::close_http(velmo::auth_socket().get());
}

int CancleHttpRequst(long loginHandle, long channel) {
  velmo::ChannelInfo* ch = velmo::guarded_channel(loginHandle, channel);
  if (!ch) return 0;
  ch->discard_http();
  return 1;
}

int GetPublicAddrBySock(unsigned int sock, const wchar_t* server, int port, sockaddr_in& addr) {
  std::memset(&addr, 0, sizeof addr);
  if (!velmo::user_table() || !server) return 0;
  std::uint32_t ip = 0;
  std::uint16_t public_port = 0;
  if (!velmo::public_addr_query(sock, velmo::narrow(server), port, ip, public_port)) return 0;
  addr.sin_addr.s_addr = ip;
  addr.sin_port = public_port;
  return 1;
}
