// Starting and stopping the library, the last error code, message windows
// and what a login measured.
#include <atomic>
#include <cstring>
#include <memory>
#include <mutex>
#include <new>

#include "control/http.h"
#include "frame/user_table.h"
#include "media/live_channel.h"
#include "morvic/morvic.h"
#include "platform/net.h"
#include "platform/window.h"
#include "velmosdk.h"

namespace velmo {
namespace {

std::mutex g_life_mutex;  // Init and Release against each other
std::unique_ptr<UserTable> g_owned_table;
std::atomic<UserTable*> g_table{nullptr};

}  // namespace

UserTable* user_table() {
  return g_table.load(std::memory_order_acquire);
}

}  // namespace velmo

int InitMonitClientSDK() {
  using namespace velmo;
  std::lock_guard lock(g_life_mutex);
  if (!auth_socket()) {
    auto conn = make_http();
    if (!conn) return 0;
    set_auth_socket(std::move(conn));
  }
  platform::net_startup();
  // The channels' listeners come from the live media: in place before the
  // first table makes its channels.
  install_live_listener();
  if (!g_owned_table) {
    try {
      g_owned_table = std::make_unique<UserTable>();
    } catch (const std::bad_alloc&) {
      return 0;
    }
    g_table.store(g_owned_table.get(), std::memory_order_release);
  }
  return 1;
}

void ReleaseMonitClientSDK() {
  using namespace velmo;
  std::lock_guard lock(g_life_mutex);
  set_auth_socket(nullptr);
  // A Login that waits on its server would otherwise use the slots freed here.
  cancel_logins();
  if (g_owned_table) {
    // Live channels stop the way the caller would stop them, so their player
    // streams close too; destroying a slot alone would leave those open.
    for (long user = 0; user < kUserCount; ++user)
      for (long channel = 0; channel < kChannelCount; ++channel) StopRealPlay(user, channel);
    // Exports fail their guard from here on; the slots then stop their
    // channels' threads, listeners and sessions.
    g_table.store(nullptr, std::memory_order_release);
    g_owned_table.reset();
  }
  // A UserAnthenticate that raced this release may have put a socket back.
  set_auth_socket(nullptr);
  platform::net_cleanup();
  reopen_logins();
}

int _GetLastErrorCode() {
  return velmo::user_table() ? velmo::take_last_error() : 0;
}

int SetMsgWnd(long loginHandle, long channel, HWND wnd) {
  velmo::ChannelInfo* ch = velmo::guarded_channel(loginHandle, channel);
  if (!ch) return 0;
  if (IsWindow(wnd)) ch->m_hMsgWnd = wnd;
  return 1;
}

int GetLoginPublicAddr(long loginHandle, char* ip, int size, int& driftRange) {
  using namespace velmo;
  driftRange = 0;
  if (ip && size > 0) ip[0] = '\0';
  UserInfo* user = guarded_user(loginHandle);
  if (!user || !ip || size <= 0) return 0;
  // Login authenticates on channel 1.
  const auto conn = user->channel(1).http();
  if (!conn || conn->m_strWanIP.size() >= static_cast<std::size_t>(size)) return 0;
  std::memcpy(ip, conn->m_strWanIP.c_str(), conn->m_strWanIP.size() + 1);
  driftRange = conn->m_nDriftRange;
  return 1;
}
