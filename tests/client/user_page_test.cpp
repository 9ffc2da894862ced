// The user management page's wiring: what it shows, which buttons reach the
// model, and that the nested dialogs' fields reach the files. The rules are
// tested in the model.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>
#include <QListWidget>
#include <QMouseEvent>
#include <QPushButton>

#include <functional>

#include "model_test_util.h"
#include "ui/message_box.h"
#include "ui/user_page.h"

using model_test::Recorder;
using model_test::TempDir;

namespace {

constexpr std::int32_t kAmyRights = model::kBasicRights | 0x8 | 0x10000000;

template <typename W = QLineEdit>
W* child(QWidget& w, const char* name) {
  auto* c = w.findChild<W*>(QString::fromLatin1(name));
  EXPECT_NE(c, nullptr) << name;
  return c;
}

void click(QWidget& w, const char* name) {
  if (auto* b = child<QPushButton>(w, name)) b->click();
}

QStringList items(QListWidget* list) {
  QStringList out;
  for (int i = 0; i < list->count(); ++i) out << list->item(i)->text();
  return out;
}

struct UserPage : ::testing::Test {
  TempDir dir;
  model::ClientState state;
  model::UserFiles files{dir.path()};
  Recorder messages;
  int dialogs_run = 0;

  void SetUp() override {
    state.working_folder = dir.path();
    ASSERT_TRUE(files.write_admin({u"boss", u"secret1"}));
    ASSERT_TRUE(files.write_user({u"amy", u"apass", u"tel 1", kAmyRights}));
    ASSERT_TRUE(files.write_user({u"bob", u"bpass", u"", model::kBasicRights}));
  }

  // The page whose nested dialogs are driven by fill instead of a user.
  std::unique_ptr<ui::CUserDlg> page(const std::function<void(QDialog&)>& fill = {}) {
    auto p = std::make_unique<ui::CUserDlg>(state, messages);
    p->SetDialogRunner([this, fill](QDialog& d) {
      ++dialogs_run;
      d.open();
      if (fill) fill(d);
      return d.result();
    });
    return p;
  }
};

}  // namespace

TEST_F(UserPage, OpeningShowsTheStoreAndTheCurrentUser) {
  struct Case {
    model::CurrentUser user;
    QString level, name;
    int rights;
  } cases[] = {
      {{u"", u"", u"", model::kAdministrator}, "系统管理员", "boss", 19},
      {{u"amy", u"apass", u"tel 1", kAmyRights}, "普通用户", "amy", 7},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.level.toStdString());
    state.user = c.user;
    auto p = page();
    EXPECT_EQ(child(*p, "adminName")->text(), "boss");
    EXPECT_EQ(child(*p, "adminPassword")->echoMode(), QLineEdit::Password);
    EXPECT_TRUE(child(*p, "adminPassword")->isReadOnly());
    EXPECT_EQ(child(*p, "level")->text(), c.level);
    EXPECT_EQ(child(*p, "userName")->text(), c.name);
    EXPECT_TRUE(child<QCheckBox>(*p, "confirmAtStart")->isChecked());
    EXPECT_EQ(items(child<QListWidget>(*p, "users")), QStringList({"amy", "bob"}));
    EXPECT_EQ(child<QListWidget>(*p, "rights")->count(), c.rights);
  }
}

TEST_F(UserPage, DoubleClickListsThatUsersRights) {
  auto p = page();
  p->show();
  auto* users = child<QListWidget>(*p, "users");
  const QPoint at = users->visualItemRect(users->item(1)).center();  // bob
  QMouseEvent press(QEvent::MouseButtonPress, at, users->viewport()->mapToGlobal(at),
                    Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
  QMouseEvent twice(QEvent::MouseButtonDblClick, at, users->viewport()->mapToGlobal(at),
                    Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(users->viewport(), &press);
  QApplication::sendEvent(users->viewport(), &twice);
  EXPECT_EQ(child<QListWidget>(*p, "rights")->count(), 5);
}

TEST_F(UserPage, OrdinaryUserIsRefusedAndTheCheckBoxGoesBack) {
  state.user = {u"amy", u"apass", u"tel 1", kAmyRights};
  auto p = page();
  auto* box = child<QCheckBox>(*p, "confirmAtStart");
  box->click();
  for (const char* button : {"addUser", "editUser", "deleteUser", "changePassword"})
    click(*p, button);
  EXPECT_TRUE(box->isChecked());
  EXPECT_FALSE(std::filesystem::exists(files.flag_path()));
  EXPECT_EQ(messages.texts(), std::vector<std::u16string>(5, u"您无权进行此操作！"));
  EXPECT_EQ(dialogs_run, 0);
}

TEST_F(UserPage, AddUserWithoutOptionalRightsWritesTheBasicRights) {
  auto p = page([](QDialog& d) {
    child(d, "name")->setText("carl");
    child(d, "password")->setText("cpass");
    child(d, "confirm")->setText("cpass");
    EXPECT_EQ(child(d, "contact")->maxLength(), 16);
    EXPECT_FALSE(child<QCheckBox>(d, "right0")->isEnabled());
    click(d, "ok");
  });
  click(*p, "addUser");
  const std::string bytes = model_test::read_file(files.user_path(u"carl"));
  ASSERT_EQ(bytes.size(), 152u);
  EXPECT_EQ(model::decode_user(bytes)->rights, 16391);
  EXPECT_EQ(items(child<QListWidget>(*p, "users")), QStringList({"amy", "bob", "carl"}));
}

TEST_F(UserPage, DeleteAsksThenRemovesTheFile) {
  auto p = page();
  auto* users = child<QListWidget>(*p, "users");
  users->setCurrentRow(0);
  messages.answers = {model::Answer::kCancel, model::Answer::kOk};
  click(*p, "deleteUser");
  EXPECT_TRUE(files.user_exists(u"amy"));
  click(*p, "deleteUser");
  EXPECT_FALSE(files.user_exists(u"amy"));
  EXPECT_EQ(items(users), QStringList({"bob"}));
  ASSERT_EQ(messages.shown.size(), 2u);
  EXPECT_EQ(messages.shown[1].text, u"您确定要删除用户amy吗？");
  EXPECT_EQ(messages.shown[1].caption, u"系统提示");
}

TEST_F(UserPage, EditRightsKeepsAnUntouchedAlarmOutputBit) {
  auto p = page([](QDialog& d) {
    click(d, "ok");  // nothing selected: nothing written, the dialog stays
    EXPECT_TRUE(d.isVisible());
    auto* users = child<QListWidget>(d, "users");
    users->setCurrentRow(0);
    EXPECT_EQ(child(d, "contact")->text(), "tel 1");
    EXPECT_TRUE(child<QCheckBox>(d, "right28")->isChecked());
    child<QCheckBox>(d, "right3")->setChecked(false);  // PTZ only
    click(d, "ok");
  });
  const std::string before = model_test::read_file(files.user_path(u"amy"));
  click(*p, "editUser");
  EXPECT_EQ(messages.texts(), std::vector<std::u16string>{u"请选择您要操作的对象"});
  const std::string after = model_test::read_file(files.user_path(u"amy"));
  EXPECT_EQ(after.substr(0, 120), before.substr(0, 120));
  EXPECT_EQ(model::decode_user(after)->rights, model::kBasicRights | 0x10000000);
}

TEST_F(UserPage, AdminLoginAndPasswordChangeReachTheFiles) {
  state.user = {u"amy", u"apass", u"tel 1", kAmyRights};
  auto p = page([](QDialog& d) {
    if (d.windowTitle() == "管理员密码") {
      child(d, "password")->setText("wrong");
      click(d, "ok");
      EXPECT_TRUE(d.isVisible());
      child(d, "password")->setText("secret1");
    } else {
      child(d, "oldPassword")->setText("secret1");
      child(d, "newPassword")->setText("fresh9");
      child(d, "confirm")->setText("fresh9");
    }
    click(d, "ok");
  });
  click(*p, "adminLogin");
  EXPECT_EQ(state.user.rights, model::kAdministrator);
  EXPECT_EQ(child(*p, "level")->text(), "系统管理员");
  EXPECT_EQ(child(*p, "userName")->text(), "boss");
  EXPECT_TRUE(child(*p, "contact")->text().isEmpty());
  EXPECT_EQ(child<QListWidget>(*p, "rights")->count(), 19);

  click(*p, "changePassword");
  EXPECT_EQ(files.read_admin()->password, u"fresh9");
  EXPECT_EQ(child(*p, "adminPassword")->text(), "fresh9");
  click(*p, "adminLogin");  // already the administrator
  EXPECT_EQ(messages.texts(), (std::vector<std::u16string>{u"管理员密码错误！", u"您已经登录！"}));
  EXPECT_EQ(dialogs_run, 2);
}
