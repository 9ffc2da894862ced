// The remote device configuration dialogs without widgets: the combo box
// contents, the RS-485 record and the rules of the "设备配置" page.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <variant>

#include "model/client_state.h"
#include "model/messages.h"
#include "model/records.h"

namespace model {

// The SDK's device configuration commands as the client uses them. The client
// program binds them to the velmosdk exports; tests fake them. Results are
// the SDK's own. Device ids and passwords are 8-bit text (code page 936).
class DeviceConfig {
 public:
  virtual ~DeviceConfig() = default;
  // UserAnthenticate(device id, its length in bytes, phone, auth server, port,
  // time-out in seconds): 1 or 0.
  virtual int user_anthenticate(std::string_view device_id, int length, std::u16string_view phone,
                                std::u16string_view server, int port, int timeout_s) = 0;
  // GetAlarmCfg: 1 with the three switches set, 0 leaving them alone.
  virtual int get_alarm_cfg(std::string_view device_id, std::u16string_view phone,
                            std::u16string_view server, int port, int& inside, int& perimeter,
                            int& recording) = 0;
  // AlarmOpen, device form: 1 or 0.
  virtual int alarm_open(std::string_view device_id, std::u16string_view phone,
                         std::u16string_view server, int port, int inside, int perimeter,
                         int recording, int check) = 0;
  // SetRS485Cfg(login handle, channel, record, record size): 1 or 0.
  virtual int set_rs485_cfg(long handle, long channel, std::span<const std::uint8_t> record) = 0;
  // SetSecurityCfg: 1, 0, or -1 for a wrong old password.
  virtual int set_security_cfg(long handle, long channel, int const_pwd_set, int const_pwd_reset,
                               int unused1, std::string_view old_password,
                               std::string_view new_password, int emergency_tel_set, int unused2,
                               std::string_view emergency_tel) = 0;
  // GetGPSData(login handle, channel): the device's position text, empty when
  // it gave none. A device without the command reports none.
  virtual std::string gps_data(long handle, long channel);
};

// ---- combo box contents (item index = stored index) ----

using Items = std::span<const std::u16string_view>;
Items channel_items();  // video and PTZ "通道号"
Items frame_rate_items();
Items bit_rate_items();
Items stream_type_items();
Items video_format_items();
Items video_type_items();
Items baud_rate_items();
Items data_bits_items();
Items stop_bits_items();
Items parity_items();
Items flow_control_items();
Items decoder_type_items();  // the 56 PTZ protocols

// ---- what the page shows and edits ----

struct DeviceInfo {
  std::u16string name;  // "设备名称", the display name
  std::u16string device_id;
  std::u16string auth_address;
  int auth_port = 0;
  std::u16string allowed_caller;  // "可连接电话"
  std::u16string phone;           // "设备SIM卡号"
  bool operator==(const DeviceInfo&) const = default;
};

struct VideoSettings {
  int format = 0;
  int stream_type = 0;
  int frame_rate = 0;
  int video_type = 0;
  int bit_rate = 0;
  std::u16string name;  // "通道名称"
  bool operator==(const VideoSettings&) const = default;
};

struct PtzSettings {
  int baud_rate = 0;
  int data_bits = 0;
  int stop_bits = 0;
  int parity = 0;
  int flow_control = 0;
  int decoder_type = 0;
  int decoder_address = 0;
  bool operator==(const PtzSettings&) const = default;
};

struct Arming {
  bool inside = false;     // "布防/撤防（车内/室内）"
  bool perimeter = false;  // "布防/撤防（周边/区域）"
  bool recording = false;  // "启动/停止连续录像"
  bool operator==(const Arming&) const = default;
};

struct PasswordForm {
  std::u16string old_password;
  std::u16string new_password;
  std::u16string confirm;
};

inline constexpr int kPasswordLength = 6;
inline constexpr int kDeviceCallTimeoutSeconds = 20;

// The 12-byte record SetRS485Cfg takes, little-endian. Indexes outside their
// tables take the defaults of a new channel.
using Rs485Record = std::array<std::uint8_t, 12>;
Rs485Record rs485_record(const PtzSettings& settings);

// ---- device commands, split so the SDK calls can leave the GUI thread ----
// The page prepares a request on the GUI thread (checks, form, record),
// run_device_request makes the SDK calls and touches nothing else, and the
// page's apply() handles the result on the GUI thread again.

// The device form's addressing: device id as 8-bit text, the server record's
// phone, auth server and auth port.
struct DeviceTarget {
  std::string device_id;
  std::u16string phone;
  std::u16string server;
  int port = 0;
};
struct AlarmQuery {  // "获取状态"
  DeviceTarget target;
};
struct AlarmSet {  // "保存" of "远程布防"
  DeviceTarget target;
  Arming arming;
};
struct Rs485Set {  // "保存" of "云台信息"
  long handle = -1;
  int channel = 0;
  Rs485Record record{};
};
struct PasswordSet {  // "修改"
  long handle = -1;
  std::string old_password;
  std::string new_password;
};
using DeviceRequest = std::variant<AlarmQuery, AlarmSet, Rs485Set, PasswordSet>;

struct DeviceResult {
  DeviceRequest request;
  int result = 0;  // of the last SDK call made
  Arming arming;   // the switches "获取状态" read (all off unless it succeeded)
};

// The position line of "车辆位置": the device's text asked on the login's
// first channel.
struct GpsQuery {
  long handle = -1;
  int channel = 0;
};

// Safe on any thread: only the device is called.
DeviceResult run_device_request(DeviceConfig& device, const DeviceRequest& request);

inline constexpr std::u16string_view kUpdateOk = u"更新成功...";
inline constexpr std::u16string_view kUpdateFailed = u"更新失败...";
inline constexpr std::u16string_view kSaveOk = u"保存成功";
inline constexpr std::u16string_view kSaveFailed = u"保存失败";
inline constexpr std::u16string_view kRs485Failed = u"保存rs485参数失败";
inline constexpr std::u16string_view kPasswordSet = u"设置成功";
inline constexpr std::u16string_view kPasswordNotSet = u"设置失败";
inline constexpr std::u16string_view kWrongPassword = u"密码错误";
inline constexpr std::u16string_view kParamsSaved = u"参数保存成功!";

// The "设备配置" page of one server. Every operation runs on the GUI thread;
// records are read and written under the table lock, messages shown without it.
// A server index outside the table edits a scratch record, never the table.
class RemoteDevConfig {
 public:
  RemoteDevConfig(ClientState& state, int server, MessageSink& messages);

  // Opening and channel selection. Stored indexes outside their item lists
  // (a damaged file) show as the defaults of a new channel.
  DeviceInfo device_info() const;
  VideoSettings video(int channel) const;
  PtzSettings ptz(int channel) const;
  Arming arming() const;

  // "保存" of "视频信息": into the channel record, no device command.
  void save_video(int channel, const VideoSettings& shown);
  // "复制到所有通道": the shown settings (names stay per channel) into every
  // used channel record of the server, the shown channel included. Records
  // only: the RS-485 line of each channel reaches the device with its "保存".
  void copy_video_to_all(const VideoSettings& shown);
  void copy_ptz_to_all(const PtzSettings& shown);

  // "保存" of "云台信息": stores into the channel record, then the request.
  Rs485Set save_ptz(int channel, const PtzSettings& shown);
  // "获取状态" and "保存" of "远程布防"; device_id is the "设备序列号" text.
  AlarmQuery query_alarm(std::u16string_view device_id) const;
  AlarmSet save_arming(std::u16string_view device_id, const Arming& shown) const;
  // "修改": the checks in order, each failing with its message.
  std::optional<PasswordSet> change_password(const PasswordForm& form);
  // "车辆位置" on opening and with "获取状态"; none while the server is not
  // logged in.
  std::optional<GpsQuery> gps_query() const;

  // Messages and record updates of a finished command. The switches to show
  // in the check boxes when the command sets them ("获取状态").
  std::optional<Arming> apply(const DeviceResult& result);

  // "保存" of "设备信息" and Enter keep the fields and mark the page changed;
  // Escape clears the mark.
  void mark_changed(const DeviceInfo& shown);
  void clear_changed() { changed_ = false; }
  bool changed() const { return changed_; }
  // The frame's "保存参数": the kept device information into the server
  // record when changed, then "参数保存成功!".
  void save_params();

 private:
  ServerRecord& record();
  const ServerRecord& record() const;
  DeviceTarget target(std::u16string_view device_id) const;

  ClientState& state_;
  int server_;
  MessageSink& messages_;
  ServerRecord scratch_;
  DeviceInfo pending_;
  bool changed_ = false;
};

}  // namespace model
