#include "frame/user_table.h"

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <utility>

#include "control/http.h"
#include "platform/net.h"
#include "ptz/ptz_protocol.h"

namespace velmo {
namespace {

// Stands in for the media plane's listener: listens, accepts nothing.
class PlainListener final : public ChannelListener {
 public:
  ~PlainListener() override { Stop(); }
  int Start(int port) override {
    Stop();
    if (port < 0 || port > 65535) return -1;
    platform::Socket s(platform::tcp_socket());
    if (!s || !platform::set_reuse_addr(s.get(), true) ||
        !platform::bind_socket(s.get(), {0, static_cast<std::uint16_t>(port)}) ||
        !platform::listen_socket(s.get(), 8))
      return -1;
    auto local = platform::local_address(s.get());
    if (!local) return -1;
    socket_ = std::move(s);
    port_ = local->port;
    return port_;
  }
  void Stop() override {
    socket_.reset();
    port_ = -1;
  }
  int Port() const override { return port_; }

 private:
  platform::Socket socket_;
  int port_ = -1;
};

std::unique_ptr<ChannelListener> make_plain_listener() {
  return std::make_unique<PlainListener>();
}

std::atomic<ListenerFactory> g_listener_factory{&make_plain_listener};
// The code with the sequence number of its setting (high half): a thread
// clears the global only while it still holds that thread's own code.
std::atomic<std::uint64_t> g_last_error{0};
std::atomic<std::uint32_t> g_error_sequence{0};

struct ThreadError {
  bool set = false;
  int code = 0;
  std::uint64_t packed = 0;
};
thread_local ThreadError t_last_error;

std::uint64_t pack_error(std::uint32_t sequence, int code) {
  return (std::uint64_t{sequence} << 32) | static_cast<std::uint32_t>(code);
}

std::shared_ptr<platform::Mutex> play_mutex() {
  static const std::shared_ptr<platform::Mutex> m =
      platform::open_named_mutex("ORV_NET_PLAY_MUTEX");
  return m;
}
// Opened at load, as the port table's lock has always been.
[[maybe_unused]] const bool g_play_mutex_opened = (play_mutex(), true);
std::array<int, 32> g_play_ports{};

}  // namespace

ChannelInfo::ChannelInfo(UserInfo* user, int index)
    : m_nChannel(index), m_pUser(user), m_pListener(g_listener_factory.load()()) {}

ChannelInfo::~ChannelInfo() {
  // The connect thread reads this slot: stop it, wake its exchange, wait.
  m_bStop.stop();
  discard_http();
  m_hThread.join();
  if (m_pListener) m_pListener->Stop();
  // m_sock belongs to the session it was handed to.
  m_pRtspManager.reset();
}

std::shared_ptr<CMorvic> ChannelInfo::http() const {
  std::lock_guard lock(http_mutex_);
  return m_pHttpConn;
}

void ChannelInfo::set_http(std::shared_ptr<CMorvic> conn) {
  std::shared_ptr<CMorvic> old;
  {
    std::lock_guard lock(http_mutex_);
    old = std::exchange(m_pHttpConn, std::move(conn));
    // The probe belongs to the replaced object's exchange; held under the
    // lock so its owner cannot close it meanwhile.
    if (old) platform::shutdown_socket(probe_);
  }
  close_http(old.get());
}

bool ChannelInfo::attach_probe(const CMorvic* conn, SOCKET probe) {
  std::lock_guard lock(http_mutex_);
  if (!conn || m_pHttpConn.get() != conn) return false;
  probe_ = probe;
  return true;
}

void ChannelInfo::detach_probe() {
  std::lock_guard lock(http_mutex_);
  probe_ = INVALID_SOCKET;
}

void ChannelInfo::discard_http() {
  set_http(nullptr);
}

UserInfo::UserInfo() {
  for (int i = 0; i < kChannelCount; ++i)
    m_Channel[static_cast<std::size_t>(i)] = std::make_unique<ChannelInfo>(this, i);
}

UserTable::UserTable() : m_hUserMutex(platform::open_named_mutex("UserMutex")) {
  for (auto& user : m_pUsers) user = std::make_unique<UserInfo>();
}

UserTable::~UserTable() {
  { platform::MutexLock lock(*m_hUserMutex); }
  for (auto& user : m_pUsers) user.reset();
}

ChannelInfo* guarded_channel(long login_handle, long channel) {
  UserTable* table = user_table();
  if (!table || static_cast<unsigned long>(channel) >= kChannelCount) return nullptr;
  UserInfo* user = guarded_user(login_handle);
  return user ? &user->channel(static_cast<int>(channel)) : nullptr;
}

UserInfo* guarded_user(long login_handle) {
  UserTable* table = user_table();
  if (!table || static_cast<unsigned long>(login_handle) >= kUserCount) return nullptr;
  return table->m_pUsers[static_cast<std::size_t>(login_handle)].get();
}

long allocate_user(const std::string& server, int port, const std::string& i2c,
                   const std::string& tel, const std::string& passwd) {
  UserTable* table = user_table();
  if (!table) return -1;
  platform::MutexLock lock(*table->m_hUserMutex);
  for (int i = 0; i < kUserCount; ++i) {
    UserInfo& u = *table->m_pUsers[static_cast<std::size_t>(i)];
    if (!u.m_strI2c.empty()) continue;
    u.m_strServer = server;
    u.m_nPort = port;
    u.m_strI2c = i2c;
    u.m_strTel = tel;
    u.m_strPasswd = passwd;
    u.m_nUserId = i;
    u.m_bLogin = 1;
    return i;
  }
  return -1;
}

namespace {

std::mutex g_login_mutex;
std::condition_variable g_login_done;
int g_logins = 0;
bool g_logins_closed = false;

}  // namespace

bool enter_login() {
  std::lock_guard lock(g_login_mutex);
  if (g_logins_closed) return false;
  ++g_logins;
  return true;
}

void leave_login() {
  std::lock_guard lock(g_login_mutex);
  --g_logins;
  g_login_done.notify_all();
}

void cancel_logins() {
  std::unique_lock lock(g_login_mutex);
  g_logins_closed = true;
  // A login may attach its connection after a pass, so the pass repeats until
  // every one has returned; each pass wakes its waits at once.
  while (g_logins > 0) {
    lock.unlock();
    if (UserTable* table = user_table())
      for (auto& user : table->m_pUsers) user->channel(1).discard_http();
    lock.lock();
    g_login_done.wait_for(lock, std::chrono::milliseconds(20), [] { return g_logins == 0; });
  }
}

void reopen_logins() {
  std::lock_guard lock(g_login_mutex);
  g_logins_closed = false;
}

int release_user(long login_handle) {
  UserTable* table = user_table();
  if (!table || static_cast<unsigned long>(login_handle) >= kUserCount) return 0;
  platform::MutexLock lock(*table->m_hUserMutex);
  UserInfo& u = *table->m_pUsers[static_cast<std::size_t>(login_handle)];
  u.m_strServer.clear();
  u.m_strI2c.clear();
  u.m_strPasswd.clear();
  u.m_strTel.clear();
  u.m_nPort = 0;
  u.m_bLogin = 0;
  u.m_nUserId = -1;
  return 1;
}

// Logins run side by side on the client's threads, each reading its own code;
// the global serves a reader on a thread that set none.
void set_last_error(int code) {
  const std::uint64_t packed = pack_error(g_error_sequence.fetch_add(1) + 1, code);
  t_last_error = {true, code, packed};
  g_last_error.store(packed);
}
int take_last_error() {
  ThreadError& own = t_last_error;
  if (own.set) {
    own.set = false;
    std::uint64_t expected = own.packed;
    g_last_error.compare_exchange_strong(expected, 0);
    return own.code;
  }
  return static_cast<int>(static_cast<std::uint32_t>(g_last_error.exchange(0)));
}

int take_play_port() {
  platform::MutexLock lock(*play_mutex());
  for (int i = 0; i < static_cast<int>(g_play_ports.size()); ++i) {
    // The client plays files on 17 and clips on 20: a live stream there would
    // be cut off by the next playback.
    if (i == kPlaybackPort || i == kClipPort) continue;
    if (!g_play_ports[static_cast<std::size_t>(i)]) {
      g_play_ports[static_cast<std::size_t>(i)] = 1;
      return i;
    }
  }
  return -1;
}

void release_play_port(int port) {
  if (port < 0 || port >= static_cast<int>(g_play_ports.size())) return;
  platform::MutexLock lock(*play_mutex());
  g_play_ports[static_cast<std::size_t>(port)] = 0;
}

void set_listener_factory(ListenerFactory factory) {
  g_listener_factory.store(factory ? factory : &make_plain_listener);
}

}  // namespace velmo
