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
  // The whole block travels: data_buf carries every unit, escaped where needed.
  const auto chars =
      audio_data_chars(std::span<const char>(data, static_cast<std::size_t>(length)));
  if (!chars) return 0;
  const std::wstring query = L"audio_data?i2c=" + wide(user->m_strI2c) + L"&tel=" +
                             wide(user->m_strTel) + L"&buflen=" + std::to_wstring(length) +
                             L"&data_buf=" + *chars + L"&transmit=true";
  ChannelInfo& ch = user->channel(0);
  if (reauthenticate && !authenticate_channel(ch, 20)) return 0;
  auto conn = ch.http();
  if (!conn) return 0;
  return http_request(*conn, wide(user->m_strServer), user->m_nPort, query, UrlCheck::binary).ok()
             ? 1
             : 0;
}
