#include "model/client_state.h"

#include <algorithm>
#include <memory>
#include <optional>

#include "model/config_files.h"
#include "model/i18n.h"
#include "model/users.h"
#include "platform/event.h"
#include "platform/files.h"

namespace model {
namespace {

bool in_play_list(const ChannelRecord& c) {
  return c.listed == 1 && c.play_list_position >= 0 && c.play_list_position < kPlayListSize;
}

bool valid_id(const ServerTable& t, int id) {
  if (id < 0) return false;
  const int s = id / 100;
  const int k = id % 100;
  return s < kMaxServers && k < kChannelsPerServer && t.servers[s].used() &&
         t.servers[s].channels[k].channel_index >= 0;
}

// The SDK's login slots; more logins at once would only fail.
constexpr std::size_t kLoginSlots = 16;
constexpr int kLoginPumpMs = 50;

// Copies the ids into the play list in order; false when more than 512 were given.
bool rebuild_locked(ClientState& st, const std::vector<int>& ids) {
  for (auto& s : st.servers.servers)
    for (auto& c : s.channels) {
      c.listed = 0;
      c.play_list_position = -1;
    }
  st.play_list.count = 0;
  for (int id : ids) {
    if (!valid_id(st.servers, id)) continue;
    if (st.play_list.count >= kPlayListSize) return false;
    const int s = id / 100;
    const int k = id % 100;
    ChannelRecord& c = st.servers.servers[s].channels[k];
    c.listed = 1;
    c.play_list_position = st.play_list.count;
    ChannelRecord& e = st.play_list.entries[static_cast<std::size_t>(st.play_list.count++)];
    e = c;
    e.server_index = s;
    e.channel_number = k;
  }
  return true;
}

std::vector<int> listed_ids_locked(const ServerTable& t) {
  std::vector<std::pair<int, int>> found;  // position, id
  for (int s = 0; s < kMaxServers && t.servers[s].used(); ++s)
    for (int k = 0; k < kChannelsPerServer; ++k) {
      const ChannelRecord& c = t.servers[s].channels[k];
      if (c.channel_index >= 0 && in_play_list(c))
        found.emplace_back(c.play_list_position, s * 100 + k);
    }
  std::stable_sort(found.begin(), found.end());
  std::vector<int> ids;
  for (auto& f : found) ids.push_back(f.second);
  return ids;
}

struct LoginRequest {
  int index;
  std::u16string device_id, auth_address, phone, password;
  int auth_port;
};

std::vector<LoginRequest> login_requests(ClientState& st) {
  std::lock_guard lock(st.table_mutex);
  std::vector<LoginRequest> out;
  for (int i = 0; i < kMaxServers && st.servers.servers[i].used(); ++i) {
    const ServerRecord& s = st.servers.servers[i];
    out.push_back({i, s.device_id, s.auth_address, s.phone, s.device_password, s.auth_port});
  }
  return out;
}

long do_login(DeviceLogin& sdk, const LoginRequest& r) {
  return sdk.login(r.auth_address, r.auth_port, r.device_id, r.phone, r.password, u"",
                   kLoginTimeoutSeconds);
}

// Stores a successful login into the record, its channels and the play list.
void apply_login(ClientState& st, const LoginRequest& r, long handle, bool at_start) {
  ServerRecord& s = st.servers.servers[r.index];
  // The table may have changed while the login ran.
  if (!s.used() || s.device_id != r.device_id) return;
  const auto h = static_cast<std::int32_t>(handle);
  s.login_handle = h;
  s.logged_in = 1;
  s.state = 0;
  s.flag1 = 1;
  s.flag2 = 1;
  s.flag3 = 0;
  s.channel_count = kDeviceChannels;
  s.device_id_copy = s.device_id;
  for (int k = 0; k < kChannelsPerServer; ++k) {
    ChannelRecord& c = s.channels[k];
    if (k >= kDeviceChannels) {
      c.login_handle = -1;
      c.name.clear();
      c.channel_index = -1;
      continue;
    }
    // A channel the file did not hold starts with the defaults of a new one;
    // names and settings read from the file are kept (also on re-login).
    if (c.channel_index < 0) fill_default_channel(c, s, r.index, k);
    if (c.name.empty()) c.name = default_channel_name(k);
    c.channel_index = k;
    c.login_handle = h;
    c.server_index = r.index;
    c.channel_number = k;
    if (!in_play_list(c)) continue;
    ChannelRecord& e = st.play_list.entries[static_cast<std::size_t>(c.play_list_position)];
    e = c;
    if (at_start && st.play_list.count < kPlayListSize) ++st.play_list.count;
  }
}

}  // namespace

std::u16string_view login_error_text(int code) {
  switch (code) {
    case 20400:
      return u"错误的请求";
    case 20404:
      return u"序列号，手机号不匹配，或设备不在线";
    case 20500:
      return u"鉴权服务器出错";
    case 20501:
      return u"鉴权服务器发送出错,请重试";
    case 20503:
      return u"鉴权服务器忙";
    case 20601:
      return u"设备在其它端口重新登录";
    default:
      return {};
  }
}

ClientState::ClientState() {
  reset_tables();
}

void ClientState::reset_tables() {
  std::lock_guard lock(table_mutex);
  reset_table(servers);
  play_list.count = 0;
  live_views.fill(0);
}

void ClientState::load_channel_file() {
  reset_tables();
  std::lock_guard lock(table_mutex);
  read_channel_cfg(working_folder, servers, play_list);
}

void ClientState::load_settings() {
  settings = default_settings(static_cast<int>(drives.drives.size()));
  for (const auto* folder :
       {&settings.download_folder, &settings.snapshot_folder, &settings.log_folder}) {
    std::error_code ec;
    std::filesystem::create_directory(path_from_text(*folder, drives.drives, working_folder), ec);
  }
  read_client_cfg(working_folder, settings);
  const int n = static_cast<int>(drives.drives.size());
  drives.current = n > 0 ? std::clamp(settings.start_drive, 0, n - 1) : -1;
}

bool ClientState::rebuild_play_list(const std::vector<int>& ids, MessageSink& messages) {
  bool ok;
  {
    std::lock_guard lock(table_mutex);
    ok = rebuild_locked(*this, ids);
  }
  if (!ok) messages.info(kPlayListFull);
  return ok;
}

std::vector<int> ClientState::listed_ids() const {
  return listed_ids_locked(servers);
}

int add_server_target(ClientState& state, MessageSink& messages) {
  if (!check_right(state.user.rights, rights::kServerManagement, messages)) return -1;
  int target;
  {
    std::lock_guard lock(state.table_mutex);
    target = state.servers.first_unused();
  }
  if (target < 0) messages.info(u"超过最大服务器数，请先删除再添加！");
  return target;
}

bool confirm_add_server(ClientState& state, int target, const AddServerForm& form, DeviceLogin& sdk,
                        MessageSink& messages) {
  if (target < 0 || target >= kMaxServers) return false;
  if (form.port <= 0) {
    messages.info(u"非法的端口号");
    return false;
  }
  if (form.user_name.size() > 16 || form.user_password.size() > 16) {
    messages.info(u"用户名和密码不能超过16个字符!");
    return false;
  }
  if (form.password.empty()) {
    messages.info(u"请输入密码!");
    return false;
  }
  // The password field takes six characters.
  const std::u16string password = form.password.substr(0, kDevicePasswordMax);
  const long handle = sdk.login(form.auth_address, form.auth_port, form.device_id, form.phone,
                                password, u"", kLoginTimeoutSeconds);
  if (handle < 0) {
    const auto text = login_error_text(sdk.last_error());
    messages.info(text.empty() ? kLoginFailed : text);
    return false;
  }
  std::lock_guard lock(state.table_mutex);
  ServerRecord& s = state.servers.servers[target];
  reset_server(s);
  s.display_name = u"dev";
  s.auth_port = form.auth_port;
  s.auth_address = form.auth_address;
  s.auth_extra = 0;
  s.device_id = form.device_id;
  s.device_id_copy = form.device_id;
  s.allowed_caller = u"0123456789";
  s.phone = form.phone;
  s.device_password = password;
  s.user_name = form.user_name;
  s.user_password = form.user_password;
  s.channel_count = kDeviceChannels;
  s.state = 0;
  s.address = kPlaceholderAddress;
  s.name = u"dev";
  s.port = 80;
  s.logged_in = 1;
  s.login_handle = static_cast<std::int32_t>(handle);
  s.flag1 = 1;
  s.flag2 = 1;
  s.flag3 = 0;
  s.second_address = u"0.0.0.0";
  s.second_address_extra = 0;
  s.switch1 = s.switch2 = s.switch3 = 0;
  state.live_views[static_cast<std::size_t>(target)] = 0;
  for (int k = 0; k < kDeviceChannels; ++k) fill_default_channel(s.channels[k], s, target, k);
  return true;
}

bool delete_server(ClientState& state, int index, bool in_use, DeviceLogin& sdk,
                   MessageSink& messages) {
  if (!check_right(state.user.rights, rights::kServerManagement, messages)) return false;
  long handle;
  {
    std::lock_guard lock(state.table_mutex);
    const bool valid = index >= 0 && index < kMaxServers && state.servers.servers[index].used();
    handle = valid ? state.servers.servers[index].login_handle : -2;
  }
  if (handle == -2) {
    messages.info(u"请选择ORV\"");
    return false;
  }
  if (in_use) {
    messages.show(u"请关闭预览再删除该视频服务器", u"警告!", Buttons::kOk);
    return false;
  }
  if (!messages.confirm(u"确实要删除该视频服务器吗?", u"警告!")) return false;
  if (handle != -1) sdk.log_out(handle);  // a failure does not stop the deletion

  bool ok;
  {
    std::lock_guard lock(state.table_mutex);
    std::vector<int> ids;
    for (int id : listed_ids_locked(state.servers)) {
      if (id / 100 == index) continue;
      ids.push_back(id / 100 > index ? id - 100 : id);
    }
    auto& t = state.servers.servers;
    const int used = state.servers.used_count();
    for (int i = index; i + 1 < used; ++i) {
      t[i] = std::move(t[i + 1]);
      for (auto& c : t[i].channels)
        if (c.channel_index >= 0) c.server_index = i;
      state.live_views[static_cast<std::size_t>(i)] =
          state.live_views[static_cast<std::size_t>(i + 1)];
    }
    reset_server(t[used - 1]);
    state.live_views[static_cast<std::size_t>(used - 1)] = 0;
    ok = rebuild_locked(state, ids);
  }
  if (!ok) messages.info(kPlayListFull);
  return true;
}

void login_stored_servers(ClientState& state, DeviceLogin& sdk, MessageSink& messages,
                          const std::function<void()>& pump) {
  const std::vector<LoginRequest> requests = login_requests(state);
  struct Result {
    long handle = -1;
    int error = 0;
  };
  std::vector<Result> results(requests.size());
  std::atomic<std::size_t> next{0};
  // Each worker reads its error right after its own login: the SDK keeps it per thread.
  auto work = [&] {
    for (;;) {
      const std::size_t i = next.fetch_add(1);
      if (i >= requests.size()) return;
      results[i].handle = do_login(sdk, requests[i]);
      if (results[i].handle < 0) results[i].error = sdk.last_error();
    }
  };

  const std::size_t count = std::min<std::size_t>(requests.size(), kLoginSlots);
  std::atomic<std::size_t> running{0};
  platform::Event all_done(true, false);
  std::vector<std::unique_ptr<platform::Thread>> workers;
  for (std::size_t w = 0; w < count; ++w) {
    auto t = std::make_unique<platform::Thread>();
    running.fetch_add(1);
    if (!t->create([&] {
          work();
          if (running.fetch_sub(1) == 1) all_done.set();
        })) {
      running.fetch_sub(1);
      break;
    }
    workers.push_back(std::move(t));
  }
  if (workers.empty()) {
    work();  // no thread to be had: one after another, as before
  } else {
    for (auto& t : workers) t->resume();
    // The splash stays painted while the workers wait on unreachable servers.
    while (!all_done.wait(kLoginPumpMs))
      if (pump) pump();
    for (auto& t : workers) t->join();
  }

  for (std::size_t i = 0; i < requests.size(); ++i) {
    const LoginRequest& r = requests[i];
    if (results[i].handle >= 0) {
      std::lock_guard lock(state.table_mutex);
      apply_login(state, r, results[i].handle, true);
      continue;
    }
    const auto text = login_error_text(results[i].error);
    if (text.empty())
      messages.info(kLoginFailed);
    else
      messages.info(tx(u"设备:%1%2", {r.device_id, tx(text)}));
  }
}

void relogin_servers(ClientState& state, DeviceLogin& sdk, const std::atomic<bool>* stop,
                     const std::function<void(int, bool)>& result) {
  for (const LoginRequest& r : login_requests(state)) {
    if (stop && stop->load()) return;
    // A server that holds a handle keeps it: logging it in again would take
    // another of the SDK's 16 login slots every pass.
    {
      std::lock_guard lock(state.table_mutex);
      if (state.servers.servers[r.index].login_handle >= 0) continue;
    }
    const long handle = do_login(sdk, r);
    if (handle >= 0) {
      std::lock_guard lock(state.table_mutex);
      apply_login(state, r, handle, false);
    }
    if (result) result(r.index, handle >= 0);
  }
}

bool ReloginWorker::start() {
  if (thread_.running()) return false;
  if (!thread_.create([this] { relogin_servers(state_, sdk_, &stop_, result_); })) return false;
  thread_.resume();
  return true;
}

std::vector<TreeServer> device_tree(const ServerTable& table) {
  std::vector<TreeServer> tree;
  for (int i = 0; i < kMaxServers && table.servers[i].used(); ++i) {
    const ServerRecord& s = table.servers[i];
    TreeServer node{s.name, i, {}};
    for (int k = 0; k < kChannelsPerServer; ++k)
      if (s.channels[k].channel_index >= 0)
        node.channels.push_back(
            {shown_channel_name(s.channels[k].name, k), s.channels[k].channel_index});
    tree.push_back(std::move(node));
  }
  return tree;
}

PlayListEditor::PlayListEditor(ClientState& state, MessageSink& messages)
    : state_(state), messages_(messages) {
  {
    std::lock_guard lock(state_.table_mutex);
    items_ = listed_ids_locked(state_.servers);
  }
  fill_devices();
}

// Every channel that is not an item of the edited list goes under its server.
void PlayListEditor::fill_devices() {
  std::lock_guard lock(state_.table_mutex);
  const ServerTable& t = state_.servers;
  devices_.clear();
  for (int i = 0; i < kMaxServers && t.servers[i].used(); ++i) {
    TreeServer node{t.servers[i].name, i, {}};
    for (int k = 0; k < kChannelsPerServer; ++k) {
      const ChannelRecord& c = t.servers[i].channels[k];
      if (c.channel_index >= 0 &&
          std::find(items_.begin(), items_.end(), i * 100 + k) == items_.end())
        node.channels.push_back({shown_channel_name(c.name, k), k});
    }
    devices_.push_back(std::move(node));
  }
}

void PlayListEditor::refresh() {
  {
    std::lock_guard lock(state_.table_mutex);
    std::erase_if(items_, [&](int id) { return !valid_id(state_.servers, id); });
  }
  fill_devices();
}

void PlayListEditor::server_deleted(int index) {
  std::erase_if(items_, [&](int id) { return id / 100 == index; });
  for (int& id : items_)
    if (id / 100 > index) id -= 100;
  refresh();
}

std::u16string PlayListEditor::item_text(int id) const {
  std::lock_guard lock(state_.table_mutex);
  if (!valid_id(state_.servers, id)) return {};
  const ServerRecord& s = state_.servers.servers[id / 100];
  return s.name + u"(" + shown_channel_name(s.channels[id % 100].name, id % 100) + u")";
}

bool PlayListEditor::may_edit() {
  return check_right(state_.user.rights, rights::kServerManagement, messages_);
}

ChannelRecord* PlayListEditor::channel(int id) {
  if (!valid_id(state_.servers, id)) return nullptr;
  return &state_.servers.servers[id / 100].channels[id % 100];
}

bool PlayListEditor::add_channel(int server, int channel_index) {
  if (!may_edit()) return false;
  auto node = std::find_if(devices_.begin(), devices_.end(),
                           [&](const TreeServer& n) { return n.server == server; });
  if (node == devices_.end()) return false;
  auto ch = std::find_if(node->channels.begin(), node->channels.end(),
                         [&](const TreeChannel& c) { return c.channel == channel_index; });
  if (ch == node->channels.end()) return false;
  if (items_.size() >= kPlayListSize) {
    messages_.info(kPlayListFull);
    return false;
  }
  const int id = server * 100 + channel_index;
  {
    std::lock_guard lock(state_.table_mutex);
    if (ChannelRecord* c = channel(id)) c->listed = 1;
  }
  items_.push_back(id);
  node->channels.erase(ch);
  return true;
}

bool PlayListEditor::add_server(int server) {
  if (!may_edit()) return false;
  auto node = std::find_if(devices_.begin(), devices_.end(),
                           [&](const TreeServer& n) { return n.server == server; });
  if (node == devices_.end()) return false;
  const std::vector<TreeChannel> channels = node->channels;
  for (const TreeChannel& c : channels)
    if (!add_channel(server, c.channel)) return false;
  return true;
}

bool PlayListEditor::remove(std::size_t item, const std::function<bool(int)>& pane_showing) {
  if (!may_edit() || item >= items_.size()) return false;
  const int id = items_[item];
  int position;
  {
    std::lock_guard lock(state_.table_mutex);
    const ChannelRecord* c = channel(id);
    position = c ? c->play_list_position : -1;
  }
  if (position >= 0 && position < 16 && pane_showing && pane_showing(position)) {
    messages_.info(u"请先停止网络预览,然后再从播放列表中移开!");
    return false;
  }
  std::u16string name;
  {
    std::lock_guard lock(state_.table_mutex);
    if (ChannelRecord* c = channel(id)) {
      c->listed = 0;
      c->play_list_position = -1;
      name = shown_channel_name(c->name, id % 100);
    }
  }
  items_.erase(items_.begin() + static_cast<std::ptrdiff_t>(item));
  for (auto& node : devices_)
    if (node.server == id / 100) {
      auto at = std::find_if(node.channels.begin(), node.channels.end(),
                             [&](const TreeChannel& c) { return c.channel > id % 100; });
      node.channels.insert(at, TreeChannel{name, id % 100});
    }
  return true;
}

bool PlayListEditor::move_up(std::size_t item) {
  if (!may_edit() || item == 0 || item >= items_.size()) return false;
  std::swap(items_[item], items_[item - 1]);
  return true;
}

bool PlayListEditor::move_down(std::size_t item) {
  if (!may_edit() || item + 1 >= items_.size()) return false;
  std::swap(items_[item], items_[item + 1]);
  return true;
}

bool PlayListEditor::confirm() {
  if (!state_.rebuild_play_list(items_, messages_)) return false;
  std::string bytes;
  {
    std::lock_guard lock(state_.table_mutex);
    bytes = format_channel_cfg(state_.servers);
  }
  return platform::write_file_atomic(state_.working_folder / kChannelFileName, bytes);
}

}  // namespace model
