// Device configuration commands: single requests on a connection that an
// authentication opened, forwarded by the server to the device.
#include <algorithm>
#include <cstring>
#include <string>

#include "control/auth.h"
#include "control/http.h"
#include "control/reply.h"
#include "control/request.h"
#include "frame/user_table.h"
#include "velmosdk.h"

namespace velmo {
namespace {

constexpr int kRs485Size = 12;
constexpr std::size_t kTdNetBufferSize = 120;

HttpResult failed(HttpFailure why) {
  HttpResult r;
  r.failure = why;
  return r;
}

std::wstring num(long long v) {
  return std::to_wstring(v);
}
const wchar_t* flag(int v) {
  return v ? L"true" : L"false";
}

std::wstring device_query(std::wstring_view i2c, std::wstring_view tel) {
  std::wstring q = L"i2c=";
  q += i2c;
  q += L"&tel=";
  q += tel;
  return q;
}

std::wstring alarm_open_query(int alarm, int motion, int record) {
  return std::wstring(L"&alarm-open=") + flag(alarm) + L"&motion-detect=" + flag(motion) +
         L"&record-type=" + flag(record) + L"&transmit=true";
}

// A request on the channel's object, authenticating it first when auth_timeout
// is not negative.
HttpResult channel_request(ChannelInfo& ch, int auth_timeout, std::wstring_view action,
                           std::wstring_view rest) {
  const UserInfo& user = *ch.m_pUser;
  std::wstring aq(action);
  aq += device_query(wide(user.m_strI2c), wide(user.m_strTel));
  aq += rest;
  // Nothing goes out, not even the authentication, for a request that could
  // not be sent.
  if (!url_text_safe(aq)) return failed(HttpFailure::bad_url);
  if (auth_timeout >= 0 && !authenticate_channel(ch, auth_timeout))
    return failed(HttpFailure::send);
  auto conn = ch.http();
  if (!conn) return failed(HttpFailure::send);
  return http_request(*conn, wide(user.m_strServer), user.m_nPort, aq);
}

HttpResult auth_socket_request(std::wstring_view server, int port, std::wstring_view action_query) {
  if (!user_table()) return failed(HttpFailure::send);
  auto conn = auth_socket();
  if (!conn) return failed(HttpFailure::send);
  return http_request(*conn, server, port, action_query);
}

std::wstring channel_key(const ChannelInfo& ch) {
  return L"&channel=" + num(ch.m_nChannel);
}

// Copies text with its terminating zero, cut to size bytes.
void copy_cut(const std::string& text, char* buffer, std::size_t size) {
  if (size == 0) return;
  const std::size_t n = std::min(text.size(), size - 1);
  std::memcpy(buffer, text.data(), n);
  buffer[n] = '\0';
}

struct Rs485Record {
  std::int32_t baud_rate;
  std::uint8_t data_bit, stop_bit, parity, flow_control;
  std::uint16_t decoder_type, decoder_address;
};
static_assert(sizeof(Rs485Record) == kRs485Size);

}  // namespace
}  // namespace velmo

using namespace velmo;

int GetAlarmCfg(const char* i2c, const wchar_t* tel, const wchar_t* server, int port, int& alarm,
                int& motionDetect, int& recordType) {
  if (!i2c || !tel || !server) return 0;
  const HttpResult r = auth_socket_request(
      server, port, L"alarm?" + device_query(wide(i2c), tel) + L"&alarm-query=true&transmit=true");
  if (!r.ok()) return 0;
  const auto cfg = read_alarm_cfg(r.body);
  if (!cfg) return 0;
  alarm = cfg->alarm;
  motionDetect = cfg->motion_detect;
  recordType = cfg->record_type;
  return 1;
}

int AlarmOpen(const char* i2c, const wchar_t* tel, const wchar_t* server, int port, int alarm,
              int motionDetect, int recordType, int check) {
  if (!i2c || !tel || !server || check < 0) return 0;
  return auth_socket_request(server, port,
                             L"alarm?" + device_query(wide(i2c), tel) +
                                 alarm_open_query(alarm, motionDetect, recordType))
                 .ok()
             ? 1
             : 0;
}

int AlarmOpen(long loginHandle, long channel, int alarm, int motionDetect, int recordType,
              int check) {
  ChannelInfo* ch = guarded_channel(loginHandle, channel);
  if (!ch || check < 0) return 0;
  return channel_request(*ch, -1, L"alarm?", alarm_open_query(alarm, motionDetect, recordType)).ok()
             ? 1
             : 0;
}

std::string GetGPSData(long loginHandle, long channel) {
  ChannelInfo* ch = guarded_channel(loginHandle, channel);
  if (!ch) return {};
  const HttpResult r = channel_request(*ch, ch->m_nHttpTimeout, L"gpsdata-get?",
                                       channel_key(*ch) + L"&transmit=true");
  if (!r.ok()) return {};
  return read_gps_data(r.body).value_or(std::string());
}

int GetRS485Cfg(long loginHandle, long channel, void* record, int size) {
  ChannelInfo* ch = guarded_channel(loginHandle, channel);
  if (!ch || !record || size != kRs485Size) return 0;
  const HttpResult r =
      channel_request(*ch, ch->m_nHttpTimeout, L"rs485-get?", channel_key(*ch) + L"&transmit=true");
  if (!r.ok()) return 0;
  const auto cfg = read_rs485_cfg(r.body);
  if (!cfg) return 0;
  ch->m_wDecoderType = cfg->decoder_type;
  ch->m_nDecoderAddress = cfg->decoder_address;
  const Rs485Record rec{static_cast<std::int32_t>(cfg->baud_rate),
                        cfg->data_bit,
                        cfg->stop_bit,
                        cfg->parity,
                        cfg->flow_control,
                        cfg->decoder_type,
                        cfg->decoder_address};
  std::memcpy(record, &rec, sizeof rec);
  return 1;
}

int SetRS485Cfg(long loginHandle, long channel, void* record, int size) {
  ChannelInfo* ch = guarded_channel(loginHandle, channel);
  if (!ch || !record || size != kRs485Size) return 0;
  Rs485Record rec;
  std::memcpy(&rec, record, sizeof rec);
  const std::wstring rest = channel_key(*ch) + L"&BaudRate=" + num(rec.baud_rate) + L"&DataBit=" +
                            num(rec.data_bit) + L"&StopBit=" + num(rec.stop_bit) + L"&Parity=" +
                            num(rec.parity) + L"&Flowcontrol=" + num(rec.flow_control) +
                            L"&DecoderType=" + num(rec.decoder_type) + L"&DecoderAddress=" +
                            num(rec.decoder_address) + L"&transmit=true";
  if (!channel_request(*ch, 20, L"rs485-set?", rest).ok()) return 0;
  ch->m_wDecoderType = rec.decoder_type;
  ch->m_nDecoderAddress = rec.decoder_address;
  return 1;
}

int GetTDNetCfg(long loginHandle, long channel, char* buffer, int /*size*/) {
  ChannelInfo* ch = guarded_channel(loginHandle, channel);
  if (!ch || !buffer) return 0;
  const HttpResult r = channel_request(*ch, ch->m_nHttpTimeout, L"tdnetcfg-get?",
                                       channel_key(*ch) + L"&transmit=true");
  if (!r.ok()) return 0;
  const auto numbers = read_tdnet_cfg(r.body);
  if (!numbers) return 0;
  copy_cut(*numbers, buffer, kTdNetBufferSize);
  return 1;
}

int SetTDNetCfg(long loginHandle, long channel, char* numbers, int /*unused*/, int deleteCount) {
  ChannelInfo* ch = guarded_channel(loginHandle, channel);
  if (!ch || !numbers) return 0;
  const std::wstring text = wide(numbers);
  const std::wstring rest = channel_key(*ch) + L"&Del_Curr_Num=" + num(deleteCount) + L"&len=" +
                            num(static_cast<long long>(text.size())) + L"&New_num=" + text +
                            L"&transmit=true";
  return channel_request(*ch, 20, L"tdnetcfg-set?", rest).ok() ? 1 : 0;
}

int GetSecurityCfg(long loginHandle, long channel, char* constPwd, int constSize, char* tmpPwd,
                   int tmpSize, char* emergencyTel, int telSize) {
  ChannelInfo* ch = guarded_channel(loginHandle, channel);
  if (!ch || !constPwd || !tmpPwd || !emergencyTel || constSize <= 0 || tmpSize <= 0 ||
      telSize <= 0)
    return 0;
  const HttpResult r = channel_request(*ch, ch->m_nHttpTimeout, L"securitycfg-get?",
                                       channel_key(*ch) + L"&transmit=true");
  if (!r.ok()) return 0;
  const auto cfg = read_security_cfg(r.body);
  if (!cfg) return 0;
  copy_cut(cfg->const_pwd, constPwd, static_cast<std::size_t>(constSize));
  copy_cut(cfg->tmp_pwd, tmpPwd, static_cast<std::size_t>(tmpSize));
  copy_cut(cfg->emergency_tel, emergencyTel, static_cast<std::size_t>(telSize));
  return cfg->org_pwd_error ? 0 : 1;
}

int SetSecurityCfg(long loginHandle, long channel, int constPwdSet, int constPwdReset,
                   int /*unused1*/, char* oldPwd, char* newPwd, int emergencyTelSet,
                   int /*unused2*/, char* emergencyTel) {
  ChannelInfo* ch = guarded_channel(loginHandle, channel);
  if (!ch || !oldPwd || !newPwd || !emergencyTel) return 0;
  const std::wstring old_pwd = wide(oldPwd);
  const std::wstring tel = wide(emergencyTel);
  const std::wstring rest =
      channel_key(*ch) + L"&const_pwd_set=" + num(constPwdSet) + L"&const_pwd_reset=" +
      num(constPwdReset) + L"&pwdlen=" + num(static_cast<long long>(old_pwd.size())) +
      L"&org_pwd=" + old_pwd + L"&new_pwd=" + wide(newPwd) + L"&emergency_tel_set=" +
      num(emergencyTelSet) + L"&tellen=" + num(static_cast<long long>(tel.size())) +
      L"&emergency_tel=" + tel + L"&transmit=true";
  const HttpResult r = channel_request(*ch, 20, L"securitycfg-set?", rest);
  if (!r.ok()) return 0;
  return r.body.find("org_pwd_error") != std::string::npos ? -1 : 1;
}

int SetCompressionInf(long loginHandle, long channel, int resolution, int frameRate, int bitRate,
                      int imageType) {
  ChannelInfo* ch = guarded_channel(loginHandle, channel);
  if (!ch) return 0;
  ch->m_nResolution = resolution;
  ch->m_nFrameRate = frameRate;
  ch->m_nBitRate = bitRate;
  ch->m_nImageType = imageType;
  return 1;
}
