#include "control/connect.h"

#include <string_view>

#include "control/auth.h"
#include "control/negotiate.h"
#include "frame/user_table.h"
#include "platform/window.h"

namespace velmo {
namespace {

void progress(const ChannelInfo& channel, std::wstring_view text) {
  if (channel.m_hPlayWnd) platform::draw_window_text(channel.m_hPlayWnd, text);
}

void connect_loop(ChannelInfo& channel) {
  for (;;) {
    if (connect_sequence(channel) || channel.m_bStop.stopped()) break;
    if (channel.m_nReconnectDelay > 0 && !channel.m_bStop.sleep_for(channel.m_nReconnectDelay))
      break;
    if (channel.m_bStop.stopped()) break;
  }
  channel.m_bP2pOpen.store(1);
}

}  // namespace

bool connect_sequence(ChannelInfo& channel) {
  if (!user_table()) return false;
  progress(channel, L"正在鉴权...");
  if (!authenticate_channel(channel, channel.m_nHttpTimeout, true)) {
    const int code = take_last_error();
    progress(channel, code == 20404   ? L"鉴权失败:无此设备!"
                      : code == 20002 ? L"鉴权失败:连接超时!"
                                      : L"鉴权失败!");
    return false;
  }
  progress(channel, L"鉴权成功 ...!");
  if (channel.m_pListener) {
    const int port = channel.m_pListener->Start(0);
    if (port >= 0) channel.m_nListenPort = port;
  }
  progress(channel, L"获取连接类型 ...!");
  const std::string body = negotiate(channel);
  if (body.empty()) {
    progress(channel, L"获取连接类型失败 ...!");
    return false;
  }
  const NegotiationReply reply = read_negotiation_reply(body);
  if (!reply.loaded) return false;
  if (reply.passwd_error) {
    progress(channel, L"密码错误!");
    channel.m_bStop.sleep_for(tuning().passwd_error_wait_ms);
    return false;
  }
  progress(channel, L"正在建立视频连接...");
  if (!interpret_reply(channel, reply)) {
    progress(channel, L"建立视频连接失败!!");
    return false;
  }
  return true;
}

bool start_connect_thread(ChannelInfo& channel) {
  if (channel.m_hThread.is_current()) return false;
  channel.m_hThread.join();
  channel.m_bStop.reset();
  if (!channel.m_hThread.create([&channel] { connect_loop(channel); })) return false;
  channel.m_hThread.resume();
  return true;
}

void stop_connect_thread(ChannelInfo& channel) {
  channel.m_bStop.stop();
  channel.discard_http();
  channel.m_hThread.join();
}

}  // namespace velmo
