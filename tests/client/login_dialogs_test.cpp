// The login dialogs' wiring: texts from the widgets reach the controller, and
// its answer decides whether the dialog ends. The rules are tested in the model.
#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>

#include "model_test_util.h"
#include "ui/about_dialog.h"
#include "ui/login_dialogs.h"

using model_test::Recorder;
using model_test::TempDir;

namespace {

struct LoginDialogs : ::testing::Test {
  TempDir dir;
  model::UserFiles files{dir.path()};
  model::CurrentUser current;
  Recorder messages;
  model::UserDialogs controller{files, current, messages};

  void SetUp() override {
    ASSERT_TRUE(files.write_admin({u"boss", u"secret1"}));
    ASSERT_TRUE(files.write_user({u"li", u"pass1", u"tel 9", model::kBasicRights | 0x8}));
  }
};

QLineEdit* edit(QDialog& dialog, const char* name) {
  auto* e = dialog.findChild<QLineEdit*>(QString::fromLatin1(name));
  EXPECT_NE(e, nullptr) << name;
  return e;
}

void click(QDialog& dialog, const char* name) {
  auto* button = dialog.findChild<QPushButton*>(QString::fromLatin1(name));
  ASSERT_NE(button, nullptr) << name;
  button->click();
}

void press_enter(QWidget* widget) {
  QKeyEvent press(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
  QApplication::sendEvent(widget, &press);
}

}  // namespace

TEST_F(LoginDialogs, FirstLoginPassesFieldsAndEndsOnlyOnSuccess) {
  struct Case {
    QString name, password, confirm;
    std::u16string message;  // empty: accepted
  } cases[] = {
      {"admin", "abcd", "abcd", u""},
      {"admin", "abcd", "abce", u"密码不匹配，重新输入！"},
      // A name longer than 12 must still reach the controller to be refused.
      {"abcdefghijklm", "abcd", "abcd", u"用户名应该在12个字符以内！"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name.toStdString() + "/" + c.confirm.toStdString());
    std::filesystem::remove(files.admin_path());
    messages.clear();
    ui::CFirstLogin dialog(controller);
    dialog.open();
    edit(dialog, "name")->setText(c.name);
    edit(dialog, "password")->setText(c.password);
    edit(dialog, "confirm")->setText(c.confirm);
    click(dialog, "ok");
    if (c.message.empty()) {
      EXPECT_TRUE(messages.texts().empty());
      EXPECT_EQ(dialog.result(), QDialog::Accepted);
      EXPECT_FALSE(dialog.isVisible());
      auto admin = files.read_admin();
      EXPECT_EQ(admin ? admin->name : u"", u"admin");
    } else {
      EXPECT_EQ(messages.texts(), std::vector<std::u16string>{c.message});
      EXPECT_TRUE(dialog.isVisible());
      EXPECT_EQ(edit(dialog, "name")->text(), c.name);
      EXPECT_EQ(edit(dialog, "confirm")->text(), c.confirm);
    }
  }
}

TEST_F(LoginDialogs, FirstLoginCancelAndCloseDeleteAdminFile) {
  for (bool by_button : {true, false}) {
    SCOPED_TRACE(by_button ? "cancel" : "close");
    ASSERT_TRUE(files.write_admin({u"half", u"done"}));
    ui::CFirstLogin dialog(controller);
    dialog.open();
    if (by_button)
      click(dialog, "cancel");
    else
      dialog.close();
    EXPECT_EQ(dialog.result(), QDialog::Rejected);
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_FALSE(std::filesystem::exists(files.admin_path()));
  }
}

TEST_F(LoginDialogs, LoginNeedsAChosenUserThenSetsItsRights) {
  current.rights = 0;
  ui::CDlgLogin dialog(controller);
  dialog.open();
  auto* user = dialog.findChild<QComboBox*>(QStringLiteral("user"));
  ASSERT_NE(user, nullptr);
  ASSERT_EQ(user->count(), 3);
  EXPECT_EQ(user->currentIndex(), 0);
  EXPECT_EQ(user->itemText(0), QStringLiteral("请选择登录用户"));
  edit(dialog, "password")->setText("pass1");
  click(dialog, "ok");
  EXPECT_EQ(messages.texts(), std::vector<std::u16string>{u"请选择用户名！"});
  EXPECT_TRUE(dialog.isVisible());

  user->setCurrentIndex(user->findText("li"));
  press_enter(edit(dialog, "password"));
  EXPECT_EQ(dialog.result(), QDialog::Accepted);
  EXPECT_EQ(current.name, u"li");
  EXPECT_EQ(current.rights, model::kBasicRights | 0x8);
}

TEST_F(LoginDialogs, UnlockAsAnotherUserSwitchesRights) {
  current = {u"boss", u"secret1", u"", model::kAdministrator};
  ui::CDlgLockPwd dialog(controller);
  dialog.open();
  edit(dialog, "name")->setText("li");
  edit(dialog, "password")->setText("wrong");
  click(dialog, "ok");
  EXPECT_EQ(messages.texts(), std::vector<std::u16string>{u"用户名或密码错误，点击返回"});
  EXPECT_TRUE(dialog.isVisible());
  EXPECT_EQ(current.rights, model::kAdministrator);

  edit(dialog, "password")->setText("pass1");
  press_enter(edit(dialog, "name"));
  EXPECT_EQ(dialog.result(), QDialog::Accepted);
  EXPECT_EQ(current.name, u"li");
  EXPECT_EQ(current.rights, model::kBasicRights | 0x8);
}

TEST(AboutDialog, OkAccepts) {
  ui::CAboutDlg dialog;
  dialog.open();
  click(dialog, "ok");
  EXPECT_EQ(dialog.result(), QDialog::Accepted);
  EXPECT_FALSE(dialog.isVisible());
}
