#include "control/reply.h"

#include <array>
#include <cstring>
#include <limits>

#include "quillon/quillon.h"

namespace velmo {
namespace {

// How many p2pSvrInf elements an authentication reply may list.
constexpr std::size_t kMaxP2pServers = 32;

// CQuillon takes mutable names; one reader per document.
class XmlDoc {
 public:
  bool load(std::string_view text) {
    if (text.empty() || text.size() > 0x7FFFFFFF) return false;
    return doc_.LoadXML(text.data(), static_cast<int>(text.size())) == 0;
  }
  std::string text(const char* name) {
    Name n(name);
    return doc_.Query(n.data(), nullptr);
  }
  std::optional<std::int64_t> number(const char* name) { return parse_number(text(name)); }
  // The XML texts of the first `max` elements called name.
  std::vector<std::string> elements(const char* name, std::size_t max) {
    std::vector<std::string> out;
    Name n(name);
    if (!doc_.MoveTo(n.data())) return out;
    do {
      out.push_back(doc_.GetXml(current()));
    } while (out.size() < max && doc_.MoveNext(n.data(), nullptr, nullptr));
    return out;
  }
  std::optional<std::string> element(const char* name) {
    auto all = elements(name, 1);
    if (all.empty()) return std::nullopt;
    return std::move(all.front());
  }

 private:
  class Name {
   public:
    explicit Name(const char* s) { std::strncpy(buf_.data(), s, buf_.size() - 1); }
    char* data() { return buf_.data(); }

   private:
    std::array<char, 64> buf_{};
  };
  DOMElement* current() { return doc_.m_pCurElement; }

  CQuillon doc_;
};

bool has_error(XmlDoc& doc) {
  return !doc.text("Error").empty();
}

template <typename T>
bool in_range(const std::optional<std::int64_t>& v, T& out) {
  if (!v || *v < 0 || static_cast<std::uint64_t>(*v) > std::numeric_limits<T>::max()) return false;
  out = static_cast<T>(*v);
  return true;
}

}  // namespace

std::optional<std::int64_t> parse_number(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t' || text.front() == '\r' ||
                           text.front() == '\n'))
    text.remove_prefix(1);
  while (!text.empty() &&
         (text.back() == ' ' || text.back() == '\t' || text.back() == '\r' || text.back() == '\n'))
    text.remove_suffix(1);
  bool negative = false;
  if (!text.empty() && (text.front() == '-' || text.front() == '+')) {
    negative = text.front() == '-';
    text.remove_prefix(1);
  }
  if (text.empty() || text.size() > 12) return std::nullopt;
  std::int64_t value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    value = value * 10 + (c - '0');
  }
  return negative ? -value : value;
}

std::optional<AuthReply> read_auth_reply(std::string_view body) {
  XmlDoc doc;
  if (!doc.load(body) || doc.text("MSGTYPE") != "PublicAddr") return std::nullopt;
  AuthReply reply;
  reply.wan_ip = doc.text("IP");
  if (reply.wan_ip.empty()) return std::nullopt;
  for (const std::string& xml : doc.elements("p2pSvrInf", kMaxP2pServers)) {
    XmlDoc server;
    if (xml.empty() || !server.load(xml)) {
      reply.servers.emplace_back();
      continue;
    }
    P2pServer s;
    s.ipv4 = server.text("IPv4");
    std::uint16_t port = 0;
    if (in_range(server.number("Port"), port)) s.port = port;
    reply.servers.emplace_back(std::move(s));
  }
  if (reply.servers.empty()) return std::nullopt;
  return reply;
}

NegotiationReply read_negotiation_reply(std::string_view body) {
  NegotiationReply reply;
  XmlDoc doc;
  if (!doc.load(body)) return reply;
  reply.loaded = true;
  reply.passwd_error = doc.text("ERROR") == "PASSWD_ERROR";
  if (doc.text("MSGTYPE") != "ConnectInfo") return reply;
  auto xml = doc.element("ConnectInfo");
  XmlDoc ci;
  if (!xml || !ci.load(*xml)) return reply;
  ConnectInfo info;
  info.connect_type = ci.text("ConnectType");
  info.wan_ip = ci.text("WAN-IP");
  info.lan_ip = ci.text("LAN-IP");
  info.random_value = ci.text("RandomValue");
  info.ipv4 = ci.text("IPv4");
  info.transit_ip = ci.text("TransitIP");
  info.rtcp_port = ci.number("RtcpPort");
  info.port = ci.number("Port");
  info.transit_port = ci.number("TransitPort");
  info.session_id = ci.number("SessionId");
  info.drift_range = ci.number("P2pPortDriftRange");
  reply.info = std::move(info);
  return reply;
}

std::optional<AlarmCfg> read_alarm_cfg(std::string_view body) {
  XmlDoc doc;
  if (!doc.load(body)) return std::nullopt;
  AlarmCfg cfg;
  cfg.alarm = doc.text("AlarmQuery") == "opened";
  cfg.motion_detect = doc.text("MotionDetect") == "opened";
  cfg.record_type = doc.text("RecordType") == "opened";
  return cfg;
}

std::optional<Rs485Cfg> read_rs485_cfg(std::string_view body) {
  XmlDoc doc;
  if (!doc.load(body) || has_error(doc)) return std::nullopt;
  Rs485Cfg cfg;
  if (!in_range(doc.number("BaudRate"), cfg.baud_rate) ||
      !in_range(doc.number("DataBit"), cfg.data_bit) ||
      !in_range(doc.number("StopBit"), cfg.stop_bit) ||
      !in_range(doc.number("Parity"), cfg.parity) ||
      !in_range(doc.number("Flowcontrol"), cfg.flow_control) ||
      !in_range(doc.number("DecoderType"), cfg.decoder_type) ||
      !in_range(doc.number("DecoderAddress"), cfg.decoder_address))
    return std::nullopt;
  return cfg;
}

std::optional<std::string> read_tdnet_cfg(std::string_view body) {
  XmlDoc doc;
  if (!doc.load(body) || has_error(doc)) return std::nullopt;
  return doc.text("allow_tel");
}

std::optional<SecurityCfg> read_security_cfg(std::string_view body) {
  XmlDoc doc;
  if (!doc.load(body) || has_error(doc)) return std::nullopt;
  SecurityCfg cfg;
  cfg.const_pwd = doc.text("const_pwd");
  cfg.tmp_pwd = doc.text("tmp_pwd");
  cfg.emergency_tel = doc.text("emergency_tel");
  cfg.org_pwd_error = doc.text("status") == "org_pwd_error";
  return cfg;
}

std::optional<std::string> read_gps_data(std::string_view body) {
  XmlDoc doc;
  if (!doc.load(body) || has_error(doc)) return std::nullopt;
  return doc.text("RecvGpsData");
}

}  // namespace velmo
