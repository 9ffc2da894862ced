// Talkback upstream: one "audio_data?" request per block of voice data.
#include <span>

#include "control/auth.h"
#include "control/http.h"
#include "control/request.h"
#include "frame/user_table.h"
#include "velmosdk.h"

int SendAudioDataVoiceExchange(long loginHandle, char* data, int length, int reauthenticate) {
  using namespace velmo;
  if (!data || length < 0) return 0;
  UserInfo* user = guarded_user(loginHandle);
  if (!user) return 0;
  // The block goes into a 1024-byte buffer with its terminating zero.
  const auto chars =
      audio_data_chars(std::span<const char>(data, static_cast<std::size_t>(length)));
  if (!chars) return 0;
  const std::wstring query = L"audio_data?i2c=" + wide(user->m_strI2c) + L"&tel=" +
                             wide(user->m_strTel) + L"&buflen=" + std::to_wstring(length) +
                             L"&data_buf=" + *chars + L"&transmit=true";
  // A block whose characters would break the request line is not sent at all.
  if (!url_text_safe(query)) return 0;
  ChannelInfo& ch = user->channel(0);
  if (reauthenticate && !authenticate_channel(ch, 20)) return 0;
  auto conn = ch.http();
  if (!conn) return 0;
  return http_request(*conn, wide(user->m_strServer), user->m_nPort, query).ok() ? 1 : 0;
}
