// The rules of the "设备配置" page: the RS-485 record, the password checks, the
// device commands' results and the in-memory edits of the server record.
#include "model/remote_config.h"

#include <gtest/gtest.h>

#include <vector>

#include "model_test_util.h"

using model_test::Recorder;

namespace {

class FakeDevice : public model::DeviceConfig {
 public:
  int user_anthenticate(std::string_view device_id, int length, std::u16string_view phone,
                        std::u16string_view server, int port, int timeout_s) override {
    calls.push_back("auth");
    auth_id = device_id;
    auth_length = length;
    auth_phone = phone;
    auth_server = server;
    auth_port = port;
    auth_timeout = timeout_s;
    return auth_result;
  }
  int get_alarm_cfg(std::string_view, std::u16string_view, std::u16string_view, int, int& inside,
                    int& perimeter, int& recording) override {
    calls.push_back("get-alarm");
    if (alarm_result == 0) return 0;
    inside = alarm[0];
    perimeter = alarm[1];
    recording = alarm[2];
    return alarm_result;
  }
  int alarm_open(std::string_view, std::u16string_view, std::u16string_view, int, int inside,
                 int perimeter, int recording, int check) override {
    calls.push_back("alarm-open");
    opened = {inside, perimeter, recording, check};
    return alarm_result;
  }
  int set_rs485_cfg(long handle, long channel, std::span<const std::uint8_t> record) override {
    calls.push_back("rs485 " + std::to_string(handle) + " " + std::to_string(channel));
    rs485.assign(record.begin(), record.end());
    return rs485_result;
  }
  int set_security_cfg(long handle, long channel, int set, int reset, int unused1,
                       std::string_view old_password, std::string_view new_password, int tel_set,
                       int unused2, std::string_view tel) override {
    calls.push_back("security " + std::to_string(handle) + " " + std::to_string(channel) + " " +
                    std::to_string(set) + " " + std::to_string(reset) + " " +
                    std::to_string(unused1) + " " + std::string(old_password) + " " +
                    std::string(new_password) + " " + std::to_string(tel_set) + " " +
                    std::to_string(unused2) + " " + std::string(tel));
    return security_result;
  }

  std::vector<std::string> calls;
  int auth_result = 1, alarm_result = 1, rs485_result = 1, security_result = 1;
  int alarm[3] = {0, 0, 0};
  std::vector<int> opened;
  std::vector<std::uint8_t> rs485;
  std::string auth_id;
  int auth_length = 0, auth_port = 0, auth_timeout = 0;
  std::u16string auth_phone, auth_server;
};

struct RemoteConfig : ::testing::Test {
  RemoteConfig() {
    model::ServerRecord& s = state.servers.servers[1];
    s.channel_count = model::kDeviceChannels;
    s.login_handle = 7;
    s.phone = u"13800000001";
    s.auth_address = u"10.1.1.1";
    s.auth_port = 8080;
    s.switch1 = s.switch2 = s.switch3 = 1;
    for (int k = 0; k < model::kDeviceChannels; ++k)
      model::fill_default_channel(s.channels[k], s, 1, k);
  }
  model::ServerRecord& server() { return state.servers.servers[1]; }
  std::optional<model::Arming> finish(const model::DeviceRequest& request) {
    return page.apply(model::run_device_request(device, request));
  }

  model::ClientState state;
  Recorder messages;
  FakeDevice device;
  model::RemoteDevConfig page{state, 1, messages};
};

using Bytes = std::vector<std::uint8_t>;

TEST(Rs485Record, LaysOutTheLineSettingsLittleEndian) {
  struct Case {
    model::PtzSettings settings;
    Bytes bytes;
  } cases[] = {
      {{9, 3, 0, 0, 0, 3, 1}, {0x80, 0x25, 0, 0, 8, 1, 'N', 0, 3, 0, 1, 0}},
      {{14, 0, 1, 2, 2, 55, 300}, {0x00, 0xC2, 0x01, 0, 5, 2, 'E', 0, 55, 0, 0x2C, 0x01}},
      {{0, 2, 0, 1, 1, 0, 65535}, {50, 0, 0, 0, 7, 1, 'O', 0, 0, 0, 0xFF, 0xFF}},
      // A damaged file: the defaults of a new channel, the address clipped.
      {{99, -1, 5, 3, 0, 56, 70000}, {0x80, 0x25, 0, 0, 8, 1, 'N', 0, 7, 0, 0xFF, 0xFF}},
  };
  for (const auto& c : cases) {
    const model::Rs485Record r = model::rs485_record(c.settings);
    EXPECT_EQ(Bytes(r.begin(), r.end()), c.bytes) << c.settings.baud_rate;
  }
  ASSERT_EQ(model::decoder_type_items().size(), 56u);
  EXPECT_EQ(model::decoder_type_items()[3], u"Pelco-p");
  EXPECT_EQ(model::decoder_type_items()[55], u"行业标准");
}

TEST_F(RemoteConfig, PasswordChecksRunInOrderBeforeTheDevice) {
  const std::u16string digits = u"密码只能为数字，请输入有效的密码!";
  struct Case {
    model::PasswordForm form;
    std::u16string message;
  } cases[] = {
      {{u"12345", u"abcdef", u""}, u"请输入6位的原密码!"},
      {{u"12a456", u"123456", u"123456"}, digits},
      {{u"000000", u"1234567", u"1234567"}, u"请输入6位新的密码!"},
      {{u"000000", u"12345a", u"12345a"}, digits},
      {{u"000000", u"123456", u"12345"}, u"请输入6位确认密码!"},
      {{u"000000", u"123456", u"１23456"}, digits},
      {{u"000000", u"123456", u"654321"}, u"确认密码与新密码不相符!"},
  };
  for (const auto& c : cases) {
    messages.clear();
    EXPECT_FALSE(page.change_password(c.form).has_value());
    EXPECT_EQ(messages.texts(), std::vector{c.message});
  }

  struct Outcome {
    int result;
    std::vector<std::u16string> messages;
  } outcomes[] = {{1, {u"设置成功"}}, {0, {u"设置失败"}}, {-1, {u"设置失败", u"密码错误"}}};
  for (const auto& o : outcomes) {
    messages.clear();
    device.calls.clear();
    device.security_result = o.result;
    auto request = page.change_password({u"000000", u"123456", u"123456"});
    ASSERT_TRUE(request.has_value());
    finish(*request);
    EXPECT_EQ(device.calls,
              std::vector<std::string>{"security 7 0 1 0 6 000000 123456 0 0 00000000000"});
    EXPECT_EQ(messages.texts(), o.messages);
  }
}

TEST_F(RemoteConfig, AlarmCommandsAuthenticateAndStoreTheSwitches) {
  // "获取状态" that fails clears the switches; one that succeeds stores them.
  struct Case {
    int auth, alarm;
    std::vector<std::string> calls;
    model::Arming shown;
    std::u16string message;
  } cases[] = {
      {0, 1, {"auth"}, {}, u"更新失败..."},
      {1, 0, {"auth", "get-alarm"}, {}, u"更新失败..."},
      {1, 1, {"auth", "get-alarm"}, {true, false, true}, u"更新成功..."},
  };
  for (const auto& c : cases) {
    server().switch1 = server().switch2 = server().switch3 = 1;
    messages.clear();
    device.calls.clear();
    device.auth_result = c.auth;
    device.alarm_result = c.alarm;
    device.alarm[0] = device.alarm[2] = 1;
    EXPECT_EQ(finish(page.query_alarm(u"设备01")), c.shown);
    EXPECT_EQ(device.calls, c.calls);
    EXPECT_EQ(messages.texts(), std::vector{c.message});
    EXPECT_EQ(page.arming(), c.shown);
  }
  EXPECT_EQ(device.auth_length, 6);  // two CP936 characters, two digits
  EXPECT_EQ(device.auth_id.size(), 6u);
  EXPECT_EQ(device.auth_phone, u"13800000001");
  EXPECT_EQ(device.auth_server, u"10.1.1.1");
  EXPECT_EQ(device.auth_port, 8080);
  EXPECT_EQ(device.auth_timeout, 20);

  // "保存" of "远程布防" stores only what the device took.
  messages.clear();
  device.alarm_result = 0;
  EXPECT_FALSE(finish(page.save_arming(u"1", {false, true, false})).has_value());
  EXPECT_EQ(page.arming(), (model::Arming{true, false, true}));
  device.alarm_result = 1;
  finish(page.save_arming(u"1", {false, true, false}));
  EXPECT_EQ(device.opened, (std::vector<int>{0, 1, 0, 0}));
  EXPECT_EQ(page.arming(), (model::Arming{false, true, false}));
  EXPECT_EQ(messages.texts(), (std::vector<std::u16string>{u"保存失败", u"保存成功"}));
}

TEST_F(RemoteConfig, PtzSaveStoresTheChannelThenSendsItsRecord) {
  const model::PtzSettings shown{9, 3, 0, 0, 1, 3, 1};
  device.rs485_result = 0;
  finish(page.save_ptz(2, shown));
  EXPECT_EQ(page.ptz(2), shown);
  EXPECT_EQ(device.calls, std::vector<std::string>{"rs485 7 2"});
  EXPECT_EQ(device.rs485, (Bytes{0x80, 0x25, 0, 0, 8, 1, 'N', 0, 3, 0, 1, 0}));
  EXPECT_EQ(messages.texts(), std::vector<std::u16string>{u"保存rs485参数失败"});
}

TEST_F(RemoteConfig, PositionIsAskedOnlyOfALoggedInServer) {
  const auto query = page.gps_query();
  ASSERT_TRUE(query);
  EXPECT_EQ(query->handle, 7);
  EXPECT_EQ(query->channel, 0);
  // A device configuration without the command reports no position.
  EXPECT_EQ(device.gps_data(7, 0), "");
  server().login_handle = -1;
  EXPECT_FALSE(page.gps_query());
}

TEST_F(RemoteConfig, CopyToAllChannelsFillsEveryUsedChannelAndKeepsNames) {
  const model::ChannelRecord unused = server().channels[6];
  model::VideoSettings video = page.video(2);
  video.frame_rate = 6;
  video.bit_rate = 8;
  video.name = u"后门";
  page.copy_video_to_all(video);
  const model::PtzSettings ptz{12, 2, 1, 2, 2, 40, 9};
  page.copy_ptz_to_all(ptz);
  for (int k = 0; k < model::kDeviceChannels; ++k) {
    model::VideoSettings expected = video;
    expected.name = model::default_channel_name(k);
    EXPECT_EQ(page.video(k), expected) << k;
    EXPECT_EQ(page.ptz(k), ptz) << k;
  }
  EXPECT_EQ(server().channels[6], unused);
  EXPECT_TRUE(device.calls.empty());
}

TEST_F(RemoteConfig, SaveParamsCopiesTheDeviceInformationOnlyWhenMarked) {
  model::DeviceInfo info = page.device_info();
  info.name = u"东线大巴";
  info.allowed_caller = u"13900000000";
  page.mark_changed(info);
  page.clear_changed();
  page.save_params();
  EXPECT_EQ(server().name, u"");

  page.mark_changed(info);
  page.save_params();
  EXPECT_FALSE(page.changed());
  EXPECT_EQ(server().name, u"东线大巴");
  EXPECT_EQ(server().display_name, u"东线大巴");
  EXPECT_EQ(server().allowed_caller, u"13900000000");
  EXPECT_EQ(page.device_info(), info);
  EXPECT_EQ(messages.texts(), (std::vector<std::u16string>(2, u"参数保存成功!")));
}

}  // namespace
