#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <map>
#include <thread>

#include "model/client_state.h"
#include "model/config_files.h"
#include "model_test_util.h"

using namespace model;
using model_test::Recorder;
using model_test::TempDir;

namespace {

// Stands in for the SDK: devices known by id answer with a handle, the others
// fail with their error code, kept per calling thread as the SDK keeps it.
class FakeSdk : public DeviceLogin {
 public:
  long login(std::u16string_view server, int port, std::u16string_view device_id,
             std::u16string_view phone, std::u16string_view password, std::u16string_view extra,
             int timeout_s) override {
    if (on_login) on_login(device_id);
    std::lock_guard lock(m);
    calls.push_back({std::u16string(server), port, std::u16string(device_id), std::u16string(phone),
                     std::u16string(password), std::u16string(extra), timeout_s});
    auto it = handles.find(std::u16string(device_id));
    if (it != handles.end()) return it->second;
    auto e = errors.find(std::u16string(device_id));
    error[std::this_thread::get_id()] = e == errors.end() ? 0 : e->second;
    return -1;
  }
  int last_error() override {
    std::lock_guard lock(m);
    return std::exchange(error[std::this_thread::get_id()], 0);
  }
  long log_out(long handle) override {
    std::lock_guard lock(m);
    logged_out.push_back(handle);
    return 0;  // a failed log-out must not stop a deletion
  }

  struct Call {
    std::u16string server;
    int port;
    std::u16string device_id, phone, password, extra;
    int timeout;
  };
  std::mutex m;
  std::vector<Call> calls;
  std::map<std::u16string, long> handles;
  std::map<std::u16string, int> errors;
  std::vector<long> logged_out;
  std::map<std::thread::id, int> error;
  // Runs first in every login, on the caller's thread, without the lock.
  std::function<void(std::u16string_view device_id)> on_login;
};

struct ModelServerTable : ::testing::Test {
  std::unique_ptr<ClientState> state = std::make_unique<ClientState>();
  FakeSdk sdk;
  Recorder messages;

  // A used server with n default channels, as read from a file.
  void put_server(int i, const std::u16string& id, int channels = 6) {
    ServerRecord& s = state->servers.servers[i];
    s.name = u"srv" + u16_number(i);
    s.device_id = id;
    s.auth_address = u"127.0.0.1";
    s.auth_port = 8000;
    s.phone = u"139" + id;
    s.device_password = u"123456";
    s.channel_count = 6;
    for (int k = 0; k < channels; ++k) fill_default_channel(s.channels[k], s, i, k);
  }
  std::u16string id_of(int i) { return u"dev" + u16_number(i); }
};

}  // namespace

TEST_F(ModelServerTable, AddServerChecksBeforeAnyLogin) {
  state->user.rights = 0x4007;
  EXPECT_EQ(add_server_target(*state, messages), -1);
  state->user.rights = -1;
  for (int i = 0; i < kMaxServers; ++i) put_server(i, id_of(i), 1);
  EXPECT_EQ(add_server_target(*state, messages), -1);
  EXPECT_EQ(messages.texts(), (std::vector<std::u16string>{u"对不起,您无权限进行这项操作",
                                                           u"超过最大服务器数，请先删除再添加！"}));
  state->reset_tables();
  ASSERT_EQ(add_server_target(*state, messages), 0);
  messages.clear();
  AddServerForm f;
  f.port = 0;
  EXPECT_FALSE(confirm_add_server(*state, 0, f, sdk, messages));
  f.port = 80;
  f.user_name = u"12345678901234567";
  EXPECT_FALSE(confirm_add_server(*state, 0, f, sdk, messages));
  f.user_name = u"admin";
  EXPECT_FALSE(confirm_add_server(*state, 0, f, sdk, messages));
  EXPECT_EQ(messages.texts(),
            (std::vector<std::u16string>{u"非法的端口号", u"用户名和密码不能超过16个字符!",
                                         u"请输入密码!"}));
  EXPECT_TRUE(sdk.calls.empty());
  EXPECT_FALSE(state->servers.servers[0].used());
}

TEST_F(ModelServerTable, AddServerLoginErrorsLeaveTheTable) {
  AddServerForm f;
  f.password = u"654321";
  f.device_id = u"offline";
  sdk.errors[u"offline"] = 20404;
  EXPECT_FALSE(confirm_add_server(*state, 0, f, sdk, messages));
  f.device_id = u"weird";
  sdk.errors[u"weird"] = 99;
  EXPECT_FALSE(confirm_add_server(*state, 0, f, sdk, messages));
  EXPECT_EQ(messages.texts(), (std::vector<std::u16string>{u"序列号，手机号不匹配，或设备不在线",
                                                           u"由于网络原因或ORV忙, 注册失败!"}));
  EXPECT_FALSE(state->servers.servers[0].used());
  for (int code : {20400, 20500, 20501, 20503, 20601}) EXPECT_FALSE(login_error_text(code).empty());
}

TEST_F(ModelServerTable, AddedServerRecordAndChannelDefaults) {
  put_server(0, u"first");
  AddServerForm f;
  f.device_id = u"860001";
  f.phone = u"13912345678";
  f.auth_address = u"10.0.0.9";
  f.auth_port = 9000;
  f.password = u"12345678";  // the field takes six
  sdk.handles[u"860001"] = 3;
  ASSERT_TRUE(confirm_add_server(*state, 1, f, sdk, messages));
  ASSERT_EQ(sdk.calls.size(), 1u);
  const auto& call = sdk.calls[0];
  EXPECT_EQ(call.server, u"10.0.0.9");
  EXPECT_EQ(call.port, 9000);
  EXPECT_EQ(call.phone, u"13912345678");
  EXPECT_EQ(call.password, u"123456");
  EXPECT_EQ(call.extra, u"");
  EXPECT_EQ(call.timeout, 20);
  const ServerRecord& s = state->servers.servers[1];
  EXPECT_EQ(s.name, u"dev");
  EXPECT_EQ(s.display_name, u"dev");
  EXPECT_EQ(s.login_handle, 3);
  EXPECT_EQ(s.channel_count, 6);
  EXPECT_EQ(s.device_id_copy, u"860001");
  EXPECT_EQ(s.allowed_caller, u"0123456789");
  EXPECT_EQ(s.second_address, u"0.0.0.0");
  EXPECT_EQ(s.user_name, u"admin");
  EXPECT_EQ(s.logged_in, 1);
  EXPECT_EQ(s.flag1 + s.flag2 + s.flag3, 2);
  const ChannelRecord& c = s.channels[4];
  EXPECT_EQ(c.name, u"通道4");
  EXPECT_EQ(c.login_handle, 3);
  EXPECT_EQ(c.server_index, 1);
  EXPECT_EQ(c.address, s.address);
  EXPECT_EQ(c.frame_rate_index, 5);
  EXPECT_EQ(c.bit_rate_index, 3);
  EXPECT_EQ(c.decoder_type_index, 7);
  EXPECT_EQ(c.ptz_channel, 4);
  EXPECT_EQ(frame_rate_value(c.frame_rate_index), 20);
  EXPECT_EQ(bit_rate_value(c.bit_rate_index), 128);
  EXPECT_EQ(bit_rate_value(99), 128);  // a damaged index never reads past the table
  EXPECT_EQ(s.channels[6].channel_index, -1);
  EXPECT_EQ(state->servers.first_unused(), 2);
}

TEST_F(ModelServerTable, UnusedRecordEndsEveryScan) {
  put_server(0, u"a");
  put_server(2, u"c");  // after the gap: never shown nor written
  auto tree = device_tree(state->servers);
  ASSERT_EQ(tree.size(), 1u);
  EXPECT_EQ(tree[0].channels.size(), 6u);
  EXPECT_EQ(tree[0].channels[5].name, u"通道5");
  EXPECT_EQ(state->servers.first_unused(), 1);
  ServerTable back;
  reset_table(back);
  parse_channel_cfg(format_channel_cfg(state->servers), back);
  EXPECT_TRUE(back.servers[0].used());
  EXPECT_FALSE(back.servers[2].used());
}

TEST_F(ModelServerTable, DeleteMovesLaterRecordsDownAndRebuildsPlayList) {
  for (int i = 0; i < 3; ++i) put_server(i, id_of(i));
  state->servers.servers[0].login_handle = 7;
  state->servers.servers[1].login_handle = -1;
  ASSERT_TRUE(state->rebuild_play_list({201, 0, 105, 200}, messages));
  EXPECT_FALSE(delete_server(*state, -1, false, sdk, messages));
  EXPECT_FALSE(delete_server(*state, 0, true, sdk, messages));
  messages.answers = {Answer::kCancel};
  EXPECT_FALSE(delete_server(*state, 0, false, sdk, messages));
  ASSERT_TRUE(delete_server(*state, 0, false, sdk, messages));
  ASSERT_EQ(messages.shown.size(), 4u);
  EXPECT_EQ(messages.shown[0].text, u"请选择ORV\"");
  EXPECT_EQ(messages.shown[1].text, u"请关闭预览再删除该视频服务器");
  EXPECT_EQ(messages.shown[1].caption, u"警告!");
  EXPECT_EQ(messages.shown[2].text, u"确实要删除该视频服务器吗?");
  EXPECT_EQ(messages.shown[2].caption, u"警告!");
  EXPECT_EQ(sdk.logged_out, std::vector<long>{7});
  const auto& t = state->servers.servers;
  EXPECT_EQ(t[0].device_id, id_of(1));
  EXPECT_EQ(t[1].device_id, id_of(2));
  EXPECT_EQ(t[1].channels[1].server_index, 1);
  EXPECT_FALSE(t[2].used());
  // The deleted server's channel left the play list; the others kept their order.
  ASSERT_EQ(state->play_list.count, 3);
  EXPECT_EQ(state->play_list.entries[0].server_index, 1);
  EXPECT_EQ(state->play_list.entries[0].channel_number, 1);
  EXPECT_EQ(state->play_list.entries[1].server_index, 0);
  EXPECT_EQ(state->play_list.entries[1].channel_number, 5);
  EXPECT_EQ(t[0].channels[5].play_list_position, 1);
  EXPECT_EQ(state->listed_ids(), (std::vector<int>{101, 5, 100}));
  // Logged out (handle -1): no log-out call.
  ASSERT_TRUE(delete_server(*state, 0, false, sdk, messages));
  EXPECT_EQ(sdk.logged_out.size(), 1u);
}

TEST_F(ModelServerTable, PlayListOf510PlusAServerWithFourChannels) {
  std::vector<int> ids;
  for (int i = 0; i < 85; ++i) {
    put_server(i, id_of(i));
    for (int k = 0; k < 6; ++k) ids.push_back(i * 100 + k);
  }
  put_server(85, id_of(85), 4);
  ASSERT_TRUE(state->rebuild_play_list(ids, messages));
  ASSERT_EQ(state->play_list.count, 510);
  TempDir dir;
  state->working_folder = dir.path();
  PlayListEditor editor(*state, messages);
  ASSERT_EQ(editor.items().size(), 510u);
  EXPECT_EQ(editor.devices()[85].channels.size(), 4u);
  EXPECT_FALSE(editor.add_server(85));
  EXPECT_EQ(messages.texts(), std::vector<std::u16string>{u"最多可添加512路,路数达到最大!"});
  EXPECT_EQ(editor.items().size(), 512u);
  EXPECT_EQ(editor.items().back(), 8501);
  EXPECT_EQ(editor.devices()[85].channels.size(), 2u);
  EXPECT_EQ(editor.item_text(8501), u"srv85(通道1)");
  // Exactly 512 is a full list, not an overflow: it is stored and written.
  messages.clear();
  ASSERT_TRUE(editor.confirm());
  EXPECT_TRUE(messages.shown.empty());
  EXPECT_EQ(state->play_list.count, 512);
  EXPECT_EQ(state->servers.servers[85].channels[1].play_list_position, 511);
  ServerTable back;
  reset_table(back);
  PlayList pl;
  ASSERT_TRUE(read_channel_cfg(dir.path(), back, pl));
  EXPECT_EQ(back.servers[85].channels[1].listed, 1);
  EXPECT_EQ(back.servers[85].channels[2].listed, 0);
  // More than 512 ids stop the copy with the message.
  ids.push_back(8502);
  ids.push_back(8503);
  ids.push_back(8500);
  EXPECT_FALSE(state->rebuild_play_list(ids, messages));
  EXPECT_EQ(messages.texts(), std::vector<std::u16string>{u"最多可添加512路,路数达到最大!"});
  EXPECT_EQ(state->play_list.count, 512);
}

TEST_F(ModelServerTable, PlayListEditingMovesAndGuards) {
  put_server(0, u"a");
  put_server(1, u"b");
  ASSERT_TRUE(state->rebuild_play_list({0, 1, 2, 3}, messages));
  PlayListEditor editor(*state, messages);
  EXPECT_EQ(editor.devices()[0].channels.size(), 2u);
  EXPECT_FALSE(editor.remove(3, [](int pane) { return pane == 3; }));
  EXPECT_EQ(messages.texts(),
            std::vector<std::u16string>{u"请先停止网络预览,然后再从播放列表中移开!"});
  ASSERT_TRUE(editor.remove(1, [](int pane) { return pane == 3; }));
  EXPECT_EQ(editor.items(), (std::vector<int>{0, 2, 3}));
  ASSERT_EQ(editor.devices()[0].channels.size(), 3u);
  EXPECT_EQ(editor.devices()[0].channels[0].channel, 1);  // back in channel order
  ASSERT_TRUE(editor.add_channel(1, 5));
  ASSERT_TRUE(editor.move_up(3));
  EXPECT_FALSE(editor.move_up(0));
  EXPECT_FALSE(editor.move_down(3));
  EXPECT_EQ(editor.items(), (std::vector<int>{0, 2, 105, 3}));
  // A server added or deleted meanwhile: the edited list survives the new trees.
  put_server(2, u"c", 2);
  editor.refresh();
  ASSERT_EQ(editor.devices().size(), 3u);
  EXPECT_EQ(editor.devices()[1].channels.size(), 5u);
  EXPECT_EQ(editor.items(), (std::vector<int>{0, 2, 105, 3}));
  ASSERT_TRUE(editor.add_channel(2, 1));
  ASSERT_TRUE(delete_server(*state, 1, false, sdk, messages));
  editor.server_deleted(1);
  EXPECT_EQ(editor.items(), (std::vector<int>{0, 2, 3, 101}));
  ASSERT_EQ(editor.devices().size(), 2u);
  EXPECT_EQ(editor.devices()[1].channels.size(), 1u);
  state->user.rights = 0x4007;
  messages.clear();
  EXPECT_FALSE(editor.move_down(0));
  EXPECT_EQ(messages.texts(), std::vector<std::u16string>{u"对不起,您无权限进行这项操作"});
}

TEST_F(ModelServerTable, StartupLoginOfStoredServers) {
  put_server(0, u"ok0");
  put_server(1, u"off");
  put_server(2, u"weird");
  put_server(3, u"ok3");
  state->servers.servers[3].channel_count = 0;  // still logged in
  put_server(5, u"never");                      // behind the unused record 4
  state->servers.servers[0].channels[2].name = u"门口";
  state->servers.servers[0].channels[2].listed = 1;
  state->servers.servers[0].channels[2].play_list_position = 1;
  state->servers.servers[3].channels[0].listed = 1;
  state->servers.servers[3].channels[0].play_list_position = 0;
  state->servers.servers[1].channels[0].listed = 1;
  state->servers.servers[1].channels[0].play_list_position = 2;
  state->servers.servers[0].channels[1].listed = 1;
  state->servers.servers[0].channels[1].play_list_position = 900;  // damaged: ignored
  state->servers.servers[0].channels[9] = state->servers.servers[0].channels[1];
  state->servers.servers[0].channels[9].channel_index = 9;
  sdk.handles = {{u"ok0", 0}, {u"ok3", 1}};
  sdk.errors = {{u"off", 20404}, {u"weird", 7}};
  login_stored_servers(*state, sdk, messages);
  EXPECT_EQ(sdk.calls.size(), 4u);
  EXPECT_EQ(messages.texts(),
            (std::vector<std::u16string>{u"设备:off序列号，手机号不匹配，或设备不在线",
                                         u"由于网络原因或ORV忙, 注册失败!"}));
  const auto& t = state->servers.servers;
  EXPECT_EQ(t[0].login_handle, 0);
  EXPECT_EQ(t[0].logged_in, 1);
  EXPECT_EQ(t[3].channel_count, 6);
  EXPECT_EQ(t[1].login_handle, -1);
  EXPECT_EQ(t[0].channels[2].name, u"门口");
  EXPECT_EQ(t[0].channels[5].login_handle, 0);
  EXPECT_EQ(t[0].channels[9].channel_index, -1);
  EXPECT_TRUE(t[0].channels[9].name.empty());
  EXPECT_EQ(state->play_list.count, 2);
  EXPECT_EQ(state->play_list.entries[0].login_handle, 1);
  EXPECT_EQ(state->play_list.entries[0].server_index, 3);
  EXPECT_EQ(state->play_list.entries[1].name, u"门口");
  EXPECT_EQ(state->play_list.entries[1].channel_number, 2);
}

TEST_F(ModelServerTable, StoredLoginsRunSideBySideAndReportInTableOrder) {
  constexpr int kServers = 20;
  for (int i = 0; i < kServers; ++i) {
    put_server(i, id_of(i), 1);
    sdk.handles[id_of(i)] = i;
  }
  // The first server fails last, the later ones first.
  sdk.handles.erase(id_of(0));
  sdk.handles.erase(id_of(17));
  sdk.handles.erase(id_of(18));
  sdk.errors = {{id_of(0), 20503}, {id_of(17), 20404}, {id_of(18), 7}};

  std::mutex m;
  std::condition_variable cv;
  int started = 0, in_flight = 0, max_in_flight = 0, finished = 0, pumps = 0;
  bool gave_up = false, last_first = false, pumped = false;
  const auto wait = [&](std::unique_lock<std::mutex>& lock, auto pred) {
    return cv.wait_for(lock, std::chrono::seconds(3), pred);
  };
  sdk.on_login = [&](std::u16string_view id) {
    std::unique_lock lock(m);
    ++started;
    max_in_flight = std::max(max_in_flight, ++in_flight);
    cv.notify_all();
    // One after another, the first login would wait here for its own deadline.
    if (!gave_up && !wait(lock, [&] { return started >= 16; })) gave_up = true;
    if (id == id_of(0)) {
      last_first = wait(lock, [&] { return finished == kServers - 1; });
      pumped = wait(lock, [&] { return pumps > 0; });
    }
    --in_flight;
    ++finished;
    cv.notify_all();
  };
  const auto gui = std::this_thread::get_id();
  bool pump_elsewhere = false;
  login_stored_servers(*state, sdk, messages, [&] {
    pump_elsewhere |= std::this_thread::get_id() != gui;
    std::lock_guard lock(m);
    ++pumps;
    cv.notify_all();
  });
  EXPECT_FALSE(gave_up);
  EXPECT_EQ(max_in_flight, 16);  // the SDK's login slots
  EXPECT_TRUE(last_first);
  EXPECT_TRUE(pumped);
  EXPECT_FALSE(pump_elsewhere);
  EXPECT_EQ(sdk.calls.size(), std::size_t{kServers});
  EXPECT_EQ(messages.texts(),
            (std::vector<std::u16string>{u"设备:dev0鉴权服务器忙",
                                         u"设备:dev17序列号，手机号不匹配，或设备不在线",
                                         u"由于网络原因或ORV忙, 注册失败!"}));
  EXPECT_EQ(state->servers.servers[19].login_handle, 19);
  EXPECT_EQ(state->servers.servers[18].login_handle, -1);
}

TEST_F(ModelServerTable, ReloginKeepsNamesAndRunsOnItsOwnThread) {
  put_server(0, u"a");
  put_server(1, u"b");
  put_server(2, u"held");
  state->servers.servers[2].login_handle = 7;  // logged in: not logged in again
  state->servers.servers[0].channels[1].name = u"后门";
  state->servers.servers[0].channels[1].listed = 1;
  state->servers.servers[0].channels[1].play_list_position = 0;
  state->play_list.count = 1;
  sdk.handles = {{u"a", 4}};
  ReloginWorker worker(*state, sdk);
  ASSERT_TRUE(worker.start());
  ASSERT_TRUE(worker.wait(10000));
  std::lock_guard lock(state->table_mutex);
  EXPECT_EQ(state->servers.servers[0].login_handle, 4);
  EXPECT_EQ(state->servers.servers[0].channels[1].name, u"后门");
  EXPECT_EQ(state->play_list.entries[0].login_handle, 4);
  EXPECT_EQ(state->play_list.count, 1);  // refreshed, not added again
  EXPECT_EQ(state->servers.servers[1].login_handle, -1);
  EXPECT_EQ(state->servers.servers[1].logged_in, 0);
  EXPECT_EQ(sdk.calls.size(), 2u);
  EXPECT_EQ(state->servers.servers[2].login_handle, 7);
}

TEST_F(ModelServerTable, LoadReadsFilesAndPicksTheStartDrive) {
  TempDir dir;
  state->working_folder = dir.path();
  for (char l : {'C', 'D'}) {
    std::filesystem::create_directory(dir.path() / std::string(1, l));
    state->drives.drives.push_back({l, dir.path() / std::string(1, l)});
  }
  put_server(0, u"a");
  ASSERT_TRUE(write_channel_cfg(dir.path(), state->servers));
  ClientSettings s = default_settings(2);
  s.start_drive = 1;
  ASSERT_TRUE(write_client_cfg(dir.path(), s));
  state->load_channel_file();
  EXPECT_EQ(state->servers.servers[0].device_id, u"a");
  state->load_settings();
  EXPECT_EQ(state->drives.current, 1);
  EXPECT_TRUE(std::filesystem::is_directory(dir.path() / "C" / "DownLoad"));
  EXPECT_TRUE(std::filesystem::is_directory(dir.path() / "C" / "EventLog"));
}
