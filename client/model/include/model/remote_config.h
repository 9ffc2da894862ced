// The remote device configuration dialogs without widgets.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

namespace model {

// The SDK's device configuration commands as the client uses them. The client
// program binds them to the velmosdk exports; tests fake them.
class DeviceConfig {
 public:
  virtual ~DeviceConfig() = default;
};

}  // namespace model
