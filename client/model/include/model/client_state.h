// The process-wide state of the client, owned by the client as one object:
// the server table, the play list, the working folder, the recording drives,
// the current user, the settings and plan, the event table. Also the server
// operations that go through the SDK's Login.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "model/event_log.h"
#include "model/messages.h"
#include "model/recording.h"
#include "model/records.h"
#include "model/settings.h"
#include "model/user_dialogs.h"
#include "platform/thread.h"

namespace model {

// The SDK's device login as the client uses it. The client program binds it to
// the velmosdk exports Login, LogOut and _GetLastErrorCode; tests fake it.
class DeviceLogin {
 public:
  virtual ~DeviceLogin() = default;
  // Login(auth server, auth port, device id, phone, device password, extra,
  // time-out in seconds): a login handle, negative on failure.
  virtual long login(std::u16string_view server, int port, std::u16string_view device_id,
                     std::u16string_view phone, std::u16string_view password,
                     std::u16string_view extra, int timeout_s) = 0;
  // The SDK's last error code (read and cleared).
  virtual int last_error() = 0;
  virtual long log_out(long handle) = 0;
};

inline constexpr int kLoginTimeoutSeconds = 20;

// The text of a login error code; empty for codes without one.
std::u16string_view login_error_text(int code);
inline constexpr std::u16string_view kLoginFailed = u"由于网络原因或ORV忙, 注册失败!";
inline constexpr std::u16string_view kPlayListFull = u"最多可添加512路,路数达到最大!";

struct ClientState {
  ClientState();

  // Everything the re-login thread may touch is guarded by this lock.
  std::mutex table_mutex;
  ServerTable servers;
  PlayList play_list;
  // Panes showing each server's channels.
  std::array<int, kMaxServers> live_views{};

  std::filesystem::path working_folder;
  RecordingDrives drives;  // the drive letters and the current recording drive
  CurrentUser user;
  int startup_login_mode = 0;  // 1 when the first-login dialog ran
  ClientSettings settings;
  EventLog events;

  // Start-up: every record unused, play list empty.
  void reset_tables();
  // Main window initialisation, in this order: load_channel_file (unused
  // tables, then the file), log the stored servers in, load_settings (defaults,
  // their folders, the file, then the start drive as the recording drive).
  void load_channel_file();
  void load_settings();
  // Moves the channel records' play-list order into the play list (512 at most;
  // "最多可添加512路,路数达到最大!" beyond) and writes nothing.
  bool rebuild_play_list(const std::vector<int>& ids, MessageSink& messages);
  // The listed channels in play-list order, as server index * 100 + channel index.
  std::vector<int> listed_ids() const;
};

// ---- adding a server ("添加服务器") ----

struct AddServerForm {
  // Visible fields, pre-filled.
  std::u16string device_id = u"10000001";      // "序列号"
  std::u16string phone = u"13800000000";       // "电话号码"
  std::u16string auth_address = u"127.0.0.1";  // "鉴权IP"
  int auth_port = 80;                          // "鉴权端口"
  std::u16string password;                     // "密码", 6 units at most
  // Hidden fields.
  int port = 80;
  std::u16string user_name = u"admin";
  std::u16string user_password = u"abc";
};
inline constexpr std::u16string_view kPlaceholderAddress = u"192.168.1.100";

// "增加服务器": the first unused index, or -1 after a message (no right, full table).
int add_server_target(ClientState& state, MessageSink& messages);
// "确定" of the add dialog: true when the logged-in server was written into the
// record at target (the dialog closes), false when it stays open.
bool confirm_add_server(ClientState& state, int target, const AddServerForm& form, DeviceLogin& sdk,
                        MessageSink& messages);

// "删除服务器": index -1 when no server item is selected; in_use when a pane shows
// one of its channels. Logs the server out, moves the later records down and
// rebuilds the play list.
bool delete_server(ClientState& state, int index, bool in_use, DeviceLogin& sdk,
                   MessageSink& messages);

// ---- log-in of stored servers ----

// Start-up: logs every used server in, up to 16 side by side on worker threads,
// then gives one message per failed server in table order and puts their
// listed channels into the play list. pump runs on the calling thread about
// every 50 ms while the logins go on.
void login_stored_servers(ClientState& state, DeviceLogin& sdk, MessageSink& messages,
                          const std::function<void()>& pump = {});
// The periodic re-login of the servers without a login handle (those with one
// keep it, so the SDK's login slots are not used up): the logins run without
// the table lock, their results are stored under it. Failures change nothing. A set stop flag ends
// the pass before the next server. result hears each attempt (server index,
// logged in), on the calling thread.
void relogin_servers(ClientState& state, DeviceLogin& sdk, const std::atomic<bool>* stop = nullptr,
                     const std::function<void(int, bool)>& result = {});

// Runs relogin_servers on its own thread, one run at a time, and joins it.
class ReloginWorker {
 public:
  ReloginWorker(ClientState& state, DeviceLogin& sdk) : state_(state), sdk_(sdk) {}
  ~ReloginWorker() {
    stop_ = true;
    thread_.join();
  }
  // The 60-second timer: false while the previous run still goes on.
  bool start();
  // Hears every attempt on the worker thread; set before the first start.
  void set_result_hook(std::function<void(int, bool)> hook) { result_ = std::move(hook); }
  // Waits for the running pass, up to timeout_ms.
  bool wait(int timeout_ms) { return thread_.wait(timeout_ms); }

 private:
  ClientState& state_;
  DeviceLogin& sdk_;
  std::atomic<bool> stop_{false};
  std::function<void(int, bool)> result_;
  platform::Thread thread_;
};

// ---- device tree and play-list editing ----

struct TreeChannel {
  std::u16string name;
  int channel = 0;
};
struct TreeServer {
  std::u16string name;
  int server = 0;
  std::vector<TreeChannel> channels;
};
// The main window's device tree: every used server with its used channels.
std::vector<TreeServer> device_tree(const ServerTable& table);

// The surveillance page's two trees: servers with their channels not in the play
// list, and the play list (server index * 100 + channel index).
class PlayListEditor {
 public:
  PlayListEditor(ClientState& state, MessageSink& messages);

  const std::vector<TreeServer>& devices() const { return devices_; }
  const std::vector<int>& items() const { return items_; }
  // "%s(%s)": server name, channel name.
  std::u16string item_text(int id) const;

  // ">>" with a channel or a whole server selected; false when refused or full.
  bool add_channel(int server, int channel);
  bool add_server(int server);
  // "<<" on item i; pane_showing(pane) tells whether that pane shows video.
  bool remove(std::size_t item, const std::function<bool(int)>& pane_showing);
  // " 上" / "下".
  bool move_up(std::size_t item);
  bool move_down(std::size_t item);
  // "确定": rebuilds the play list and writes the channel file.
  bool confirm();
  // The trees again after a server was added: the listed items stay as edited.
  void refresh();
  // After delete_server(index): its items go, the later servers' move down.
  void server_deleted(int index);

 private:
  bool may_edit();
  ChannelRecord* channel(int id);
  void fill_devices();

  ClientState& state_;
  MessageSink& messages_;
  std::vector<TreeServer> devices_;
  std::vector<int> items_;
};

}  // namespace model
