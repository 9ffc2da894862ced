// The add-server dialog's wiring: typed fields reach the model, its answer
// decides whether the dialog ends, and the login runs with the dialog locked.
// The rules are tested in the model.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTimer>

#include <functional>
#include <utility>

#include "model_test_util.h"
#include "ui/add_server_dialog.h"
#include "ui/message_box.h"

using model_test::Recorder;

namespace {

class FakeLogin : public model::DeviceLogin {
 public:
  long login(std::u16string_view server, int port, std::u16string_view, std::u16string_view,
             std::u16string_view password, std::u16string_view, int timeout_s) override {
    ++calls;
    this->server = server;
    this->port = port;
    this->password = password;
    timeout = timeout_s;
    if (during) during();
    return result;
  }
  int last_error() override { return std::exchange(error, 0); }
  long log_out(long) override { return 0; }

  long result = 41;
  int error = 0;
  std::function<void()> during;
  int calls = 0;
  std::u16string server, password;
  int port = -1, timeout = -1;
};

struct AddServer : ::testing::Test {
  model::ClientState state;
  FakeLogin sdk;
  Recorder messages;
};

template <typename W = QLineEdit>
W* child(QWidget& dialog, const char* name) {
  auto* w = dialog.findChild<W*>(QString::fromLatin1(name));
  EXPECT_NE(w, nullptr) << name;
  return w;
}

void type(QWidget* widget, const QString& text) {
  for (QChar c : text) {
    QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, QString(c));
    QApplication::sendEvent(widget, &press);
  }
}

}  // namespace

TEST_F(AddServer, OpensWithFormDefaultsAndOnlyTheAuthGroupShown) {
  const model::AddServerForm defaults;
  ui::CAddSvrInfo dialog(state, sdk, messages, 0);
  dialog.open();
  EXPECT_EQ(child(dialog, "deviceId")->text(), ui::qs(defaults.device_id));
  EXPECT_EQ(child(dialog, "password")->echoMode(), QLineEdit::Password);
  EXPECT_TRUE(child<QCheckBox>(dialog, "byAuth")->isChecked());
  EXPECT_FALSE(child<QCheckBox>(dialog, "byDomain")->isChecked());
  for (const char* hidden : {"ipAddress", "port", "domain", "user", "userPassword", "byAuth"})
    EXPECT_FALSE(child<QWidget>(dialog, hidden)->isVisible()) << hidden;

  type(child(dialog, "password"), QStringLiteral("1234567"));
  EXPECT_EQ(child(dialog, "password")->text(), QStringLiteral("123456"));
}

TEST_F(AddServer, SecondConstructorSplitsTheAddressIntoBytes) {
  struct Case {
    QString address;
    int bytes[4];
  } cases[] = {
      {"10.1.2.3", {10, 1, 2, 3}},
      {"a.300.5.6.9", {0, 0, 5, 6}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.address.toStdString());
    ui::CAddSvrInfo dialog(state, sdk, messages, 0, "cam", 8000, c.address);
    for (int i = 0; i < 4; ++i)
      EXPECT_EQ(
          child<QSpinBox>(dialog, QStringLiteral("ip%1").arg(i).toLatin1().constData())->value(),
          c.bytes[i]);
    EXPECT_EQ(child(dialog, "port")->text(), QStringLiteral("8000"));
  }
}

TEST_F(AddServer, RefusalsBeforeTheLoginKeepTheDialogOpen) {
  struct Case {
    QString port, password;
    std::u16string message;
  } cases[] = {
      {"80", "", u"请输入密码!"},
      {"abc", "123456", u"非法的端口号"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.port.toStdString());
    messages.clear();
    ui::CAddSvrInfo dialog(state, sdk, messages, 0);
    dialog.open();
    child(dialog, "port")->setText(c.port);
    child(dialog, "password")->setText(c.password);
    child(dialog, "deviceId")->setText("555");
    child<QPushButton>(dialog, "ok")->click();
    EXPECT_EQ(messages.texts(), std::vector<std::u16string>{c.message});
    EXPECT_EQ(sdk.calls, 0);
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_EQ(child(dialog, "deviceId")->text(), QStringLiteral("555"));
  }
}

TEST_F(AddServer, FailedLoginLocksTheDialogThenLeavesItOpenAndTheTableUnchanged) {
  const model::ServerRecord before = state.servers.servers[0];
  ui::CAddSvrInfo dialog(state, sdk, messages, 0);
  dialog.open();
  auto* ok = child<QPushButton>(dialog, "ok");
  auto* cancel = child<QPushButton>(dialog, "cancel");
  child(dialog, "password")->setText("123456");
  child(dialog, "authPort")->setText("8o");
  sdk.result = -1;
  sdk.error = 20404;
  bool waiting = false;
  sdk.during = [&] {
    const QCursor* cursor = QApplication::overrideCursor();
    waiting = cursor && cursor->shape() == Qt::WaitCursor;
    EXPECT_FALSE(ok->isEnabled());
    EXPECT_FALSE(cancel->isEnabled());
    dialog.reject();
  };
  ok->click();

  EXPECT_TRUE(waiting);
  EXPECT_EQ(QApplication::overrideCursor(), nullptr);
  EXPECT_EQ(sdk.calls, 1);
  EXPECT_EQ(sdk.port, 0);
  EXPECT_EQ(messages.texts(), std::vector<std::u16string>{u"序列号，手机号不匹配，或设备不在线"});
  EXPECT_TRUE(dialog.isVisible());
  EXPECT_FALSE(dialog.Added());
  EXPECT_TRUE(ok->isEnabled());
  EXPECT_TRUE(state.servers.servers[0] == before);

  cancel->click();
  EXPECT_EQ(dialog.result(), QDialog::Rejected);
  EXPECT_FALSE(dialog.isVisible());
}

TEST_F(AddServer, RunAddWritesTheTypedServerAtTheFirstUnusedRecord) {
  state.user.rights = 0;
  EXPECT_FALSE(ui::CAddSvrInfo::RunAdd(state, sdk, messages));
  EXPECT_EQ(messages.texts(), std::vector<std::u16string>{std::u16string(model::kNoRight)});

  state.user.rights = model::kAdministrator;
  state.servers.servers[0].channel_count = 6;
  state.servers.servers[1].channel_count = 6;
  QTimer::singleShot(0, [] {
    for (QWidget* w : QApplication::topLevelWidgets()) {
      auto* dialog = qobject_cast<ui::CAddSvrInfo*>(w);
      if (!dialog || !dialog->isVisible()) continue;
      child(*dialog, "deviceId")->setText("20000002");
      child(*dialog, "phone")->setText("13912345678");
      child(*dialog, "authAddress")->setText("10.0.0.9");
      child(*dialog, "authPort")->setText("7000");
      child(*dialog, "password")->setText("654321");
      child<QPushButton>(*dialog, "ok")->click();
    }
  });
  EXPECT_TRUE(ui::CAddSvrInfo::RunAdd(state, sdk, messages));

  EXPECT_EQ(sdk.server, u"10.0.0.9");
  EXPECT_EQ(sdk.password, u"654321");
  EXPECT_EQ(sdk.timeout, model::kLoginTimeoutSeconds);
  const model::ServerRecord& s = state.servers.servers[2];
  EXPECT_EQ(s.device_id, u"20000002");
  EXPECT_EQ(s.phone, u"13912345678");
  EXPECT_EQ(s.auth_address, u"10.0.0.9");
  EXPECT_EQ(s.auth_port, 7000);
  EXPECT_EQ(s.channel_count, model::kDeviceChannels);
  EXPECT_EQ(s.channels[5].channel_index, 5);
  EXPECT_EQ(s.channels[6].channel_index, -1);
}
