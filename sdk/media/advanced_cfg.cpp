#include "media/advanced_cfg.h"

#include <fstream>
#include <iterator>
#include <optional>
#include <sstream>

#include "platform/text.h"
#include "quillon/quillon.h"

namespace velmo::media {
namespace {

constexpr long kMissing = 0xFFFFFF;
constexpr std::uintmax_t kMaxFileSize = 1 << 20;

std::optional<int> value(CQuillon& doc, const char* key) {
  std::string name(key);
  const long v = doc.QueryLng(name.data());
  if (v == kMissing || v < 0 || v > 0x7FFFFFFFL) return std::nullopt;
  return static_cast<int>(v);
}

bool load(CQuillon& doc, std::string_view xml) {
  if (xml.empty() || xml.size() > kMaxFileSize) return false;
  const std::string text(xml);
  return doc.LoadXML(text.c_str(), static_cast<int>(text.size())) == 0;
}

// The children of the first element called name, as a document of their own.
bool element(CQuillon& doc, const char* name, CQuillon& out) {
  std::string n(name);
  if (!doc.MoveTo(n.data())) return false;
  const std::string xml = doc.GetXml(doc.m_pCurElement);
  return load(out, xml);
}

void set(CQuillon& doc, const char* key, int& field) {
  if (auto v = value(doc, key)) field = *v;
}

std::optional<std::string> read_file(const std::filesystem::path& path) {
  std::error_code ec;
  const auto size = std::filesystem::file_size(path, ec);
  if (ec || size > kMaxFileSize) return std::nullopt;
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  return text;
}

}  // namespace

std::filesystem::path settings_folder(const std::filesystem::path& program_dir,
                                      std::wstring_view tel) {
  std::string dir = program_dir.string();
  while (dir.size() > 1 && dir.back() == '/') dir.pop_back();
  return std::filesystem::path(dir + platform::utf8_from_wide(tel));
}

void apply_udp_settings(std::string_view xml, UdpSettings& s) {
  CQuillon doc;
  if (!load(doc, xml)) return;
  CQuillon part;
  if (element(doc, "MakeHoleInf", part)) {
    set(part, "MaxTry", s.hole_max_try);
    set(part, "Interval", s.hole_interval);
  }
  if (element(doc, "Rtcp", part)) {
    set(part, "HbInterval", s.rtcp_hb_interval);
    set(part, "TimeOut", s.rtcp_timeout);
  }
  if (element(doc, "Rtp", part)) {
    set(part, "HbInterval", s.rtp_hb_interval);
    set(part, "TimeOut", s.rtp_timeout);
    set(part, "LostFramProc", s.lost_frame_proc);
    set(part, "FrameSliceInterval", s.frame_slice_interval);
  }
}

void apply_tcp_settings(std::string_view xml, TcpSettings& s) {
  CQuillon doc;
  if (!load(doc, xml)) return;
  const auto rtsp = value(doc, "RtspTimeOut");
  if (!rtsp) return;
  s.rtsp_timeout = *rtsp;
  const auto connect = value(doc, "ConnectTimeOut");
  if (!connect) return;
  s.connect_timeout = *connect;
  const auto accept = value(doc, "AccpetTimeOut");
  if (!accept) return;
  s.accept_timeout = *accept;
}

bool read_udp_settings(const std::filesystem::path& folder, UdpSettings& s) {
  const auto text = read_file(folder / "AdvancedCfg_UDP.xml");
  if (!text) return false;
  apply_udp_settings(*text, s);
  return true;
}

bool read_tcp_settings(const std::filesystem::path& folder, TcpSettings& s) {
  const auto text = read_file(folder / "AdvancedCfg_TCP.xml");
  if (!text) return false;
  apply_tcp_settings(*text, s);
  return true;
}

}  // namespace velmo::media
