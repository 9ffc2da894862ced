// "远程配置" through its widgets against the in-process simulator: the device
// commands run off the GUI thread and reach the wire with the shown values;
// the page's fields reach the server record. The rules are tested in the model.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include <memory>

#include "client_test_util.h"
#include "model_test_util.h"
#include "platform/net.h"
#include "simulator.h"
#include "ui/remote_config.h"
#include "ui/sdk_login.h"
#include "velmosdk.h"

namespace {

using client_test::pump_until;
using model_test::Recorder;

constexpr const char* kFleet =
    "device 300000000001 13700000001 123456\n"
    "channel 0 client-monitor-direct\n"
    "channel 1 client-monitor-direct\n"
    "set gps-track 22.54310 114.05790 40\n";

// The SDK's configuration commands with the position asked as GetGPSData.
class PositionedDevice : public ui::SdkDeviceConfig {
 public:
  std::string gps_data(long handle, long channel) override { return GetGPSData(handle, channel); }
};

class RemoteConfigDialog : public ::testing::Test {
 protected:
  void SetUp() override {
    auto fleet = orvsim::parse_fleet(kFleet);
    ASSERT_TRUE(fleet.ok()) << fleet.error;
    orvsim::SimulatorOptions o;
    o.fleet = *fleet.fleet;
    sim_ = std::make_unique<orvsim::Simulator>(std::move(o));
    ASSERT_TRUE(sim_->start()) << sim_->error();
    ASSERT_EQ(InitMonitClientSDK(), 1);
    model::AddServerForm form;
    form.device_id = u"300000000001";
    form.phone = u"13700000001";
    form.auth_address = u"127.0.0.1";
    form.auth_port = sim_->http_port();
    form.password = u"123456";
    ui::SdkDeviceLogin login;
    ASSERT_TRUE(model::confirm_add_server(state_, 0, form, login, messages_));
    dialog_ = std::make_unique<ui::CRemoteParamsCfg>(state_, 0, device_, messages_);
    dialog_->show();
  }
  void TearDown() override {
    dialog_.reset();
    LogOut(state_.servers.servers[0].login_handle);
    ReleaseMonitClientSDK();
    sim_->stop();
  }

  template <typename W = QLineEdit>
  W* child(const char* name) {
    auto* w = dialog_->findChild<W*>(QString::fromLatin1(name));
    EXPECT_NE(w, nullptr) << name;
    return w;
  }
  void click_and_wait(const char* button) {
    child<QPushButton>(button)->click();
    EXPECT_TRUE(pump_until([&] { return !dialog_->Page()->Busy(); }));
  }
  std::optional<orvsim::LoggedRequest> logged(const char* path) {
    return sim_->log().wait_until([&](const auto& r) { return r.request.path == path; }, 5000);
  }

  std::unique_ptr<orvsim::Simulator> sim_;
  model::ClientState state_;
  Recorder messages_;
  PositionedDevice device_;
  std::unique_ptr<ui::CRemoteParamsCfg> dialog_;
};

TEST_F(RemoteConfigDialog, GetStatusFromAnUnreachableServerFailsWithoutBlockingAndClearsTheBoxes) {
  platform::Socket closed(platform::tcp_socket());
  ASSERT_TRUE(platform::bind_socket(closed.get(), {0x7F000001u, 0}));
  state_.servers.servers[0].auth_port = platform::local_address(closed.get())->port;
  closed.reset();
  for (const char* box : {"armInside", "armPerimeter", "armRecording"})
    child<QCheckBox>(box)->setChecked(true);

  auto* get_status = child<QPushButton>("getStatus");
  get_status->click();
  // The click returned while the command runs: the page shows that it waits.
  EXPECT_TRUE(dialog_->Page()->Busy());
  EXPECT_FALSE(get_status->isEnabled());
  EXPECT_FALSE(child<QPushButton>("exit")->isEnabled());
  EXPECT_FALSE(child<QLabel>("status")->text().isEmpty());
  ASSERT_NE(QApplication::overrideCursor(), nullptr);
  EXPECT_EQ(QApplication::overrideCursor()->shape(), Qt::WaitCursor);
  dialog_->reject();
  EXPECT_TRUE(dialog_->isVisible());

  EXPECT_TRUE(pump_until([&] { return !messages_.shown.empty(); }));
  EXPECT_EQ(messages_.texts(), std::vector<std::u16string>{u"更新失败..."});
  for (const char* box : {"armInside", "armPerimeter", "armRecording"})
    EXPECT_FALSE(child<QCheckBox>(box)->isChecked()) << box;
  EXPECT_EQ(state_.servers.servers[0].switch1, 0);
  EXPECT_TRUE(get_status->isEnabled());
  EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

TEST_F(RemoteConfigDialog, PtzSaveSendsTheChosenLineSettingsOfTheChosenChannel) {
  child<QComboBox>("ptzChannel")->setCurrentIndex(1);
  child<QComboBox>("baudRate")->setCurrentIndex(14);
  child<QComboBox>("dataBits")->setCurrentIndex(2);
  child<QComboBox>("stopBits")->setCurrentIndex(1);
  child<QComboBox>("parity")->setCurrentIndex(1);
  child<QComboBox>("decoderType")->setCurrentIndex(3);
  child("decoderAddress")->setText(QStringLiteral("12"));
  click_and_wait("savePtz");

  const auto r = logged("/rs485-set");
  ASSERT_TRUE(r.has_value());
  const orvsim::QueryParams p = orvsim::parse_query(r->request.query);
  EXPECT_EQ(p.get("channel"), "1");
  EXPECT_EQ(p.get("BaudRate"), "115200");
  EXPECT_EQ(p.get("DataBit"), "7");
  EXPECT_EQ(p.get("StopBit"), "2");
  EXPECT_EQ(p.get("Parity"), "79");
  EXPECT_EQ(p.get("DecoderType"), "3");
  EXPECT_EQ(p.get("DecoderAddress"), "12");
  EXPECT_TRUE(messages_.shown.empty());
  EXPECT_EQ(state_.servers.servers[0].channels[1].baud_rate_index, 14);
}

TEST_F(RemoteConfigDialog, PasswordChangeReachesTheDeviceAndAWrongOldPasswordIsNamed) {
  child("oldPassword")->setText(QStringLiteral("111111"));
  child("newPassword")->setText(QStringLiteral("246810"));
  child("confirmPassword")->setText(QStringLiteral("246810"));
  click_and_wait("changePassword");
  const auto r = logged("/securitycfg-set");
  ASSERT_TRUE(r.has_value());
  const orvsim::QueryParams p = orvsim::parse_query(r->request.query);
  EXPECT_EQ(p.get("org_pwd"), "111111");
  EXPECT_EQ(p.get("new_pwd"), "246810");
  EXPECT_EQ(messages_.texts(), (std::vector<std::u16string>{u"设置失败", u"密码错误"}));

  messages_.clear();
  child("oldPassword")->setText(QStringLiteral("000000"));
  click_and_wait("changePassword");
  EXPECT_EQ(messages_.texts(), std::vector<std::u16string>{u"设置成功"});
  EXPECT_EQ(sim_->control().settings("300000000001").const_pwd, "246810");
}

TEST_F(RemoteConfigDialog, EnterMarksTheDeviceNameForSaveParamsAndEscapeKeepsTheDialog) {
  EXPECT_EQ(child("deviceId")->text(), QStringLiteral("300000000001"));
  EXPECT_TRUE(child("deviceId")->isReadOnly());
  QLineEdit* name = child("deviceName");
  name->setText(QStringLiteral("冷链车"));
  auto press = [&](Qt::Key key) {
    QKeyEvent e(QEvent::KeyPress, key, Qt::NoModifier);
    QApplication::sendEvent(name, &e);
  };
  press(Qt::Key_Return);
  press(Qt::Key_Escape);
  EXPECT_FALSE(dialog_->Page()->Controller().changed());
  EXPECT_TRUE(dialog_->isVisible());
  press(Qt::Key_Return);
  EXPECT_TRUE(dialog_->Page()->Controller().changed());
  child<QPushButton>("saveParams")->click();
  EXPECT_EQ(state_.servers.servers[0].name, u"冷链车");
  EXPECT_EQ(messages_.texts(), std::vector<std::u16string>{u"参数保存成功!"});
  EXPECT_TRUE(dialog_->isVisible());
}

}  // namespace

TEST_F(RemoteConfigDialog, VehiclePositionIsAskedOnOpeningAndWithGetStatus) {
  auto* position = child("gpsPosition");
  EXPECT_TRUE(position->isReadOnly());
  // Filled off the GUI thread: the page stays usable meanwhile.
  EXPECT_FALSE(dialog_->Page()->Busy());
  ASSERT_TRUE(pump_until([&] { return !position->text().isEmpty(); }));
  EXPECT_TRUE(position->text().startsWith(QStringLiteral("北纬22.5")))
      << position->text().toStdString();
  EXPECT_TRUE(position->text().endsWith(QStringLiteral(" 40km/h")))
      << position->text().toStdString();
  EXPECT_TRUE(logged("/gpsdata-get").has_value());

  sim_->control().set_error("300000000001", "no receiver");
  child<QPushButton>("getStatus")->click();
  ASSERT_TRUE(pump_until([&] { return position->text() == QStringLiteral("无定位信息"); }));
  EXPECT_TRUE(pump_until([&] { return !dialog_->Page()->Busy(); }));
}
