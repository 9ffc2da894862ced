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

class SdkDeviceConfig : public model::DeviceConfig {};

}  // namespace ui
