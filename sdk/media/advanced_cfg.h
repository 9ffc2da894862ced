// The per-device settings files "AdvancedCfg_UDP.xml" and "AdvancedCfg_TCP.xml"
// in the folder named by the program's directory followed directly by the
// device's phone number. A missing file or key keeps the value given.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace velmo::media {

struct UdpSettings {
  int hole_max_try = 3;
  int hole_interval = 300;
  int rtcp_hb_interval = 10000;
  int rtcp_timeout = 15000;
  int rtp_hb_interval = 10000;
  int rtp_timeout = 15000;
  int lost_frame_proc = 1;
  int frame_slice_interval = 0;
};

struct TcpSettings {
  int rtsp_timeout = 15000;
  int connect_timeout = 5000;
  int accept_timeout = 10000;
};

// "<program dir><tel>" with no separator between the two.
std::filesystem::path settings_folder(const std::filesystem::path& program_dir,
                                      std::wstring_view tel);

// From XML text; the values in s that the text does not give stay. Negative
// values count as missing: every one of them is a time or a count.
void apply_udp_settings(std::string_view xml, UdpSettings& s);
// Keys read in order; reading stops at the first missing one.
void apply_tcp_settings(std::string_view xml, TcpSettings& s);

// From the files in folder; false when the file cannot be read.
bool read_udp_settings(const std::filesystem::path& folder, UdpSettings& s);
bool read_tcp_settings(const std::filesystem::path& folder, TcpSettings& s);

}  // namespace velmo::media
