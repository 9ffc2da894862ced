#include "ui/sdk_login.h"

#include <string>
#include <vector>

#include "platform/text.h"
#include "velmosdk.h"

namespace ui {
namespace {

// The SDK takes writable, zero-terminated buffers; the model's texts are views.
std::string owned(std::string_view text) {
  return std::string(text);
}

}  // namespace

long SdkDeviceLogin::login(std::u16string_view server, int port, std::u16string_view device_id,
                           std::u16string_view phone, std::u16string_view password,
                           std::u16string_view extra, int timeout_s) {
  const std::wstring s = platform::wide_from_u16(server), i = platform::wide_from_u16(device_id),
                     t = platform::wide_from_u16(phone), p = platform::wide_from_u16(password),
                     e = platform::wide_from_u16(extra);
  return Login(s.c_str(), port, i.c_str(), t.c_str(), p.c_str(), e.c_str(), timeout_s);
}

int SdkDeviceLogin::last_error() {
  return _GetLastErrorCode();
}

long SdkDeviceLogin::log_out(long handle) {
  return LogOut(handle);
}

int SdkDeviceConfig::user_anthenticate(std::string_view device_id, int length,
                                       std::u16string_view phone, std::u16string_view server,
                                       int port, int timeout_s) {
  std::string i2c = owned(device_id);
  const std::wstring t = platform::wide_from_u16(phone), s = platform::wide_from_u16(server);
  return UserAnthenticate(i2c.data(), length, t.c_str(), s.c_str(), port, timeout_s);
}

int SdkDeviceConfig::get_alarm_cfg(std::string_view device_id, std::u16string_view phone,
                                   std::u16string_view server, int port, int& inside,
                                   int& perimeter, int& recording) {
  const std::string i2c = owned(device_id);
  const std::wstring t = platform::wide_from_u16(phone), s = platform::wide_from_u16(server);
  return GetAlarmCfg(i2c.c_str(), t.c_str(), s.c_str(), port, inside, perimeter, recording);
}

int SdkDeviceConfig::alarm_open(std::string_view device_id, std::u16string_view phone,
                                std::u16string_view server, int port, int inside, int perimeter,
                                int recording, int check) {
  const std::string i2c = owned(device_id);
  const std::wstring t = platform::wide_from_u16(phone), s = platform::wide_from_u16(server);
  return AlarmOpen(i2c.c_str(), t.c_str(), s.c_str(), port, inside, perimeter, recording, check);
}

int SdkDeviceConfig::set_rs485_cfg(long handle, long channel,
                                   std::span<const std::uint8_t> record) {
  std::vector<std::uint8_t> bytes(record.begin(), record.end());
  return SetRS485Cfg(handle, channel, bytes.data(), static_cast<int>(bytes.size()));
}

int SdkDeviceConfig::set_security_cfg(long handle, long channel, int const_pwd_set,
                                      int const_pwd_reset, int unused1,
                                      std::string_view old_password, std::string_view new_password,
                                      int emergency_tel_set, int unused2,
                                      std::string_view emergency_tel) {
  std::string old_pwd = owned(old_password), new_pwd = owned(new_password),
              tel = owned(emergency_tel);
  return SetSecurityCfg(handle, channel, const_pwd_set, const_pwd_reset, unused1, old_pwd.data(),
                        new_pwd.data(), emergency_tel_set, unused2, tel.data());
}

std::string SdkDeviceConfig::gps_data(long handle, long channel) {
  return GetGPSData(handle, channel);
}

}  // namespace ui
