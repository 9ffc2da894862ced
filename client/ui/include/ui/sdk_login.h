// The model's device login and configuration commands bound to the SDK's exports.
#pragma once

#include "model/client_state.h"
#include "model/remote_config.h"

namespace ui {

class SdkDeviceLogin : public model::DeviceLogin {
 public:
  long login(std::u16string_view server, int port, std::u16string_view device_id,
             std::u16string_view phone, std::u16string_view password, std::u16string_view extra,
             int timeout_s) override;
  int last_error() override;
  long log_out(long handle) override;
};

class SdkDeviceConfig : public model::DeviceConfig {
 public:
  int user_anthenticate(std::string_view device_id, int length, std::u16string_view phone,
                        std::u16string_view server, int port, int timeout_s) override;
  int get_alarm_cfg(std::string_view device_id, std::u16string_view phone,
                    std::u16string_view server, int port, int& inside, int& perimeter,
                    int& recording) override;
  int alarm_open(std::string_view device_id, std::u16string_view phone, std::u16string_view server,
                 int port, int inside, int perimeter, int recording, int check) override;
  int set_rs485_cfg(long handle, long channel, std::span<const std::uint8_t> record) override;
  std::string gps_data(long handle, long channel) override;
  int set_security_cfg(long handle, long channel, int const_pwd_set, int const_pwd_reset,
                       int unused1, std::string_view old_password, std::string_view new_password,
                       int emergency_tel_set, int unused2, std::string_view emergency_tel) override;
};

}  // namespace ui
