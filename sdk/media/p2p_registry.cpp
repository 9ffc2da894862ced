#include "media/p2p_registry.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <cstring>
#include <mutex>
#include <new>
#include <vector>

#include "control/reply.h"
#include "platform/net.h"
#include "quillon/quillon.h"

namespace velmo {
namespace {

class Registry {
 public:
  // The library going away closes every path still held.
  ~Registry() {
    std::vector<std::shared_ptr<CUDP_CE>> left;
    {
      std::lock_guard lock(m_);
      left.swap(objects_);
    }
    for (auto& o : left) o->Close();
  }

  std::shared_ptr<CUDP_CE> find(unsigned int s) {
    if (s == INVALID_SOCKET) return nullptr;
    std::lock_guard lock(m_);
    for (auto& o : objects_)
      if (o->GetP2pSocket() == s) return o;
    return nullptr;
  }
  void add(std::shared_ptr<CUDP_CE> o) {
    std::lock_guard lock(m_);
    objects_.push_back(std::move(o));
  }
  std::shared_ptr<CUDP_CE> remove(unsigned int s) {
    if (s == INVALID_SOCKET) return nullptr;
    std::lock_guard lock(m_);
    auto it = std::find_if(objects_.begin(), objects_.end(),
                           [&](const auto& o) { return o->GetP2pSocket() == s; });
    if (it == objects_.end()) return nullptr;
    auto o = std::move(*it);
    objects_.erase(it);
    return o;
  }
  std::size_t count() {
    std::lock_guard lock(m_);
    return objects_.size();
  }

 private:
  std::mutex m_;
  std::vector<std::shared_ptr<CUDP_CE>> objects_;
};

Registry& registry() {
  static Registry r;
  return r;
}

std::atomic<std::size_t> g_opened{0};

// CQuillon takes mutable names.
std::string query(CQuillon& doc, const char* name, const char* child = nullptr) {
  std::array<char, 32> n{}, c{};
  std::strncpy(n.data(), name, n.size() - 1);
  if (child) std::strncpy(c.data(), child, c.size() - 1);
  return doc.Query(n.data(), child ? c.data() : nullptr);
}

}  // namespace

CUDP_CE::Timing& p2p_timing() {
  static CUDP_CE::Timing t;
  return t;
}

std::shared_ptr<CUDP_CE> p2p_find(unsigned int s) {
  return registry().find(s);
}
void p2p_add(std::shared_ptr<CUDP_CE> object) {
  registry().add(std::move(object));
}
std::shared_ptr<CUDP_CE> p2p_remove(unsigned int s) {
  return registry().remove(s);
}
std::size_t p2p_count() {
  return registry().count();
}
std::size_t p2p_opened() {
  return g_opened.load();
}

unsigned int make_hole(std::string_view svr_ip, int svr_port, std::uint32_t session,
                       const char* random, int max_try, int interval, int port_range) {
  // Registration could never be sent: fail now rather than after every round.
  if (!random || !platform::parse_dotted(svr_ip) || svr_port < 1 || svr_port > 65535)
    return INVALID_SOCKET;
  std::shared_ptr<CUDP_CE> object;
  try {
    object = std::make_shared<CUDP_CE>();
  } catch (const std::bad_alloc&) {
    return INVALID_SOCKET;
  }
  object->SetTiming(p2p_timing());
  if (object->Open(nullptr, 0, nullptr, 0) != 1) return INVALID_SOCKET;
  ++g_opened;
  const std::string ip(svr_ip);
  object->Setp2pSvrInfo(ip.c_str(), svr_port);
  object->SetMakeHoleInterval(interval);
  object->SetMakeHoleMaxTry(max_try);
  const unsigned int s =
      object->P2PMakeHole(session, random, static_cast<int>(std::strlen(random)), port_range);
  if (s == INVALID_SOCKET) {
    object->Close();
    return INVALID_SOCKET;
  }
  p2p_add(std::move(object));
  return s;
}

std::optional<P2pReply> read_p2p_reply(std::string_view body) {
  if (body.empty() || body.size() > 0x7FFFFFFF) return std::nullopt;
  CQuillon doc;
  if (doc.LoadXML(body.data(), static_cast<int>(body.size())) != 0) return std::nullopt;
  P2pReply reply;
  const std::string type = query(doc, "MSGTYPE");
  if (type == "Error") {
    reply.error = true;
    std::array<char, 16> n{"MSGTYPE"}, a{"detail"};
    reply.detail = doc.QueryAttr(n.data(), a.data());
    return reply;
  }
  if (type != "p2pInfo") return reply;
  P2pInfo info;
  info.ipv4 = query(doc, "p2pInfo", "IPv4");
  info.random = query(doc, "p2pInfo", "RandomValue");
  const auto port = parse_number(query(doc, "p2pInfo", "Port"));
  const auto session = parse_number(query(doc, "p2pInfo", "SessionId"));
  if (!platform::parse_dotted(info.ipv4) || !port || *port < 1 || *port > 65535 || !session ||
      *session < -2147483648LL || *session > 4294967295LL || info.random.size() > 31)
    return reply;
  info.port = static_cast<int>(*port);
  info.session = static_cast<std::uint32_t>(*session);
  reply.info = std::move(info);
  return reply;
}

}  // namespace velmo
