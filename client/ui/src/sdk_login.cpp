#include "ui/sdk_login.h"

#include "platform/text.h"
#include "velmosdk.h"

namespace ui {

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

}  // namespace ui
