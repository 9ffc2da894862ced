#include <gtest/gtest.h>
#include <sys/stat.h>

#include "model/user_dialogs.h"
#include "model_test_util.h"

using namespace model;
using model_test::read_file;
using model_test::Recorder;
using model_test::TempDir;
using model_test::write_file;

namespace {

unsigned unit(const std::string& bytes, std::size_t i) {
  return static_cast<unsigned char>(bytes[2 * i]) |
         (static_cast<unsigned char>(bytes[2 * i + 1]) << 8);
}

unsigned mode_of(const std::filesystem::path& p) {
  struct stat st {};
  ::stat(p.c_str(), &st);
  return st.st_mode & 0777;
}

struct ModelUserStore : ::testing::Test {
  TempDir dir;
  UserFiles files{dir.path()};
  CurrentUser current;
  Recorder messages;
  UserDialogs dialogs{files, current, messages};

  void make_admin() { ASSERT_TRUE(files.write_admin({u"boss", u"secret1"})); }
  void make_user(std::u16string name, std::u16string pwd, std::int32_t rights) {
    ASSERT_TRUE(files.write_user({name, pwd, u"tel 1", rights}));
  }
};

}  // namespace

TEST(ModelUserFiles, AdminRecordLayout) {
  const std::string b = encode_admin({u"ab", u"xy"});
  ASSERT_EQ(b.size(), 82u);
  EXPECT_EQ(unit(b, 0), u'a' + 317u);
  EXPECT_EQ(unit(b, 1), u'b' + 317u);
  EXPECT_EQ(unit(b, 19), 317u);  // padding is the constant itself
  EXPECT_EQ(unit(b, 20), 0x20u);
  EXPECT_EQ(unit(b, 21), u'x' + 317u);
  EXPECT_EQ(unit(b, 40), 317u);
  auto back = decode_admin(b);
  ASSERT_TRUE(back);
  EXPECT_EQ(back->name, u"ab");
  EXPECT_EQ(back->password, u"xy");
  EXPECT_FALSE(decode_admin(b.substr(0, 81)));
}

TEST(ModelUserFiles, UserRecordLayoutAndRightsText) {
  const std::string b = encode_user({u"张三", u"pass", u"138", 16391});
  ASSERT_EQ(b.size(), 152u);
  EXPECT_EQ(unit(b, 0), (0x5F20u + 529u) & 0xFFFF);
  EXPECT_EQ(unit(b, 20), u'p' + 529u);
  EXPECT_EQ(unit(b, 40), u'1' + 529u);
  EXPECT_EQ(b.substr(120, 12), std::string("1\0"
                                           "6\0"
                                           "3\0"
                                           "9\0"
                                           "1\0"
                                           "\0\0",
                                           12));
  EXPECT_EQ(b.substr(130), std::string(22, '\0'));
  auto u = decode_user(b);
  ASSERT_TRUE(u);
  EXPECT_EQ(u->name, u"张三");
  EXPECT_EQ(u->contact, u"138");
  EXPECT_EQ(u->rights, 16391);
  EXPECT_EQ(decode_user(encode_user({u"a", u"b", u"", -1}))->rights, -1);
  EXPECT_FALSE(decode_user(b.substr(0, 151)));
}

TEST(ModelUserFiles, FlagFile) {
  TempDir dir;
  UserFiles f(dir.path());
  EXPECT_EQ(f.read_flag(), 1);  // absent: ask for a login
  ASSERT_TRUE(f.write_flag(0));
  const std::string b = read_file(f.flag_path());
  ASSERT_EQ(b.size(), 4u);
  EXPECT_EQ(unit(b, 0), u'0' + 743u);
  EXPECT_EQ(unit(b, 1), 743u);
  EXPECT_EQ(f.read_flag(), 0);
  EXPECT_EQ(mode_of(f.flag_path()), 0600u);
  EXPECT_EQ(decode_flag(encode_flag(1)), 1);
  EXPECT_EQ(decode_flag(""), 0);
}

TEST(ModelRights, ListingOrderCaptionsAndCheck) {
  ASSERT_EQ(rights_table().size(), 18u);
  EXPECT_EQ(rights_table()[4].caption, u"亮度、色度、对比度调节及恢复默认");
  EXPECT_EQ(rights_table()[4].list_text, u"色度、亮度、对比度调节及恢复默认");
  const std::vector<std::u16string> basic = {u"锁定屏幕", u"视频浏览", u"查看通道视频", u"画面分割",
                                             u"查看日志"};
  EXPECT_EQ(rights_listing(0x4007), basic);
  auto all = rights_listing(-1);
  ASSERT_EQ(all.size(), 19u);
  EXPECT_EQ(all[6], u"最小化及退出");
  EXPECT_EQ(all.back(), u"报警输出");
  Recorder m;
  EXPECT_TRUE(check_right(0x8000, rights::kLocalSettings, m));
  EXPECT_FALSE(check_right(0x4007, rights::kLocalSettings, m));
  EXPECT_TRUE(check_right(-1, rights::kDeviceStatus, m));
  EXPECT_EQ(m.texts(), std::vector<std::u16string>{u"对不起,您无权限进行这项操作"});
}

TEST_F(ModelUserStore, FirstLoginNameAndPasswordBounds) {
  EXPECT_FALSE(dialogs.first_login(u"abcdefghijklm", u"1234", u"1234"));
  EXPECT_FALSE(dialogs.first_login(u"", u"1234", u"1234"));
  EXPECT_FALSE(dialogs.first_login(u"abcdefghijkl", u"123", u"123"));
  EXPECT_FALSE(dialogs.first_login(u"abcdefghijkl", u"12345678901234567", u"12345678901234567"));
  EXPECT_FALSE(dialogs.first_login(u"abcdefghijkl", u"1234", u"1235"));
  EXPECT_EQ(messages.texts(),
            (std::vector<std::u16string>{u"用户名应该在12个字符以内！",
                                         u"用户名应该在12个字符以内！", u"密码应在4～16位之间！",
                                         u"密码应在4～16位之间！", u"密码不匹配，重新输入！"}));
  EXPECT_FALSE(std::filesystem::exists(files.admin_path()));
  current.rights = 0;
  EXPECT_TRUE(dialogs.first_login(u"abcdefghijkl", u"1234", u"1234"));
  EXPECT_EQ(current.rights, -1);
  EXPECT_EQ(mode_of(files.admin_path()), 0600u);
  EXPECT_TRUE(dialogs.first_login(u"abcdefghijkl", u"1234567890123456", u"1234567890123456"));
  EXPECT_EQ(files.read_admin()->password, u"1234567890123456");
  dialogs.first_login_cancel();
  EXPECT_FALSE(files.has_admin());
}

TEST_F(ModelUserStore, EmptyOrShortAdminFileMeansNoAdministrator) {
  write_file(files.admin_path(), "");
  EXPECT_FALSE(files.has_admin());
  make_admin();
  EXPECT_TRUE(files.has_admin());
}

TEST_F(ModelUserStore, LoginChoicesAndOutcomes) {
  make_admin();
  make_user(u"zoe", u"zpass", 0x4007 | 0x100);
  make_user(u"amy", u"apass", 0x4007);
  const auto choices = dialogs.login_choices();
  EXPECT_EQ(choices, (std::vector<std::u16string>{u"请选择登录用户", u"boss", u"amy", u"zoe"}));
  EXPECT_FALSE(dialogs.login(choices, 0, u"secret1"));
  EXPECT_FALSE(dialogs.login(choices, 1, u"Secret1"));  // case-sensitive
  EXPECT_FALSE(dialogs.login(choices, 3, u"apass"));
  EXPECT_EQ(messages.texts(),
            (std::vector<std::u16string>{u"请选择用户名！", u"密码不匹配！", u"密码不匹配！"}));
  ASSERT_TRUE(dialogs.login(choices, 3, u"zpass"));
  EXPECT_EQ(current.name, u"zoe");
  EXPECT_EQ(current.contact, u"tel 1");
  EXPECT_EQ(current.rights, 0x4107);
  ASSERT_TRUE(dialogs.login(choices, 1, u"secret1"));
  EXPECT_EQ(current.rights, -1);
}

TEST_F(ModelUserStore, DamagedUserFileOf151Bytes) {
  make_admin();
  make_user(u"amy", u"apass", 0x4007);
  std::string b = read_file(files.user_path(u"amy"));
  write_file(files.user_path(u"amy"), b.substr(0, 151));
  const auto choices = dialogs.login_choices();
  EXPECT_FALSE(dialogs.login(choices, 2, u"apass"));
  EXPECT_FALSE(dialogs.user_rights_listing(u"amy"));
  EXPECT_FALSE(dialogs.unlock(u"amy", u"apass"));
  EXPECT_FALSE(dialogs.select_user_for_edit(u"amy"));
  EXPECT_FALSE(dialogs.edit_rights(u"amy", 0xFFFFFFFF));
  EXPECT_EQ(read_file(files.user_path(u"amy")).size(), 151u);
  EXPECT_EQ(messages.texts(),
            (std::vector<std::u16string>{u"用户文件被破坏，点击返回！", u"用户信息被破坏！",
                                         u"用户名或密码错误，点击返回"}));
}

TEST_F(ModelUserStore, UnlockAsAnotherUserSwitchesRights) {
  make_admin();
  make_user(u"amy", u"apass", 0x4007);
  make_user(u"bob", u"bpass", 0x4007 | 0x800 | 0x10000000);
  current = {u"amy", u"apass", u"tel 1", 0x4007};
  EXPECT_FALSE(dialogs.unlock(u"boss", u"wrong"));
  EXPECT_FALSE(dialogs.unlock(u"carl", u"x"));
  EXPECT_FALSE(dialogs.unlock(u"bob", u"apass"));
  EXPECT_EQ(messages.texts(), (std::vector<std::u16string>{u"管理员密码错误，点击返回！",
                                                           u"用户名或密码错误，点击返回！",
                                                           u"用户名或密码错误，点击返回"}));
  EXPECT_EQ(current.rights, 0x4007);
  ASSERT_TRUE(dialogs.unlock(u"bob", u"bpass"));
  EXPECT_EQ(current.name, u"bob");
  EXPECT_EQ(current.rights, 0x4007 | 0x800 | 0x10000000);
  ASSERT_TRUE(dialogs.unlock(u"boss", u"secret1"));
  EXPECT_EQ(current.rights, -1);
  EXPECT_FALSE(dialogs.unlock(u"../boss", u"x"));
}

TEST_F(ModelUserStore, AddUserChecksInOrderAndStoredRights) {
  AddUserForm f{u"abcdefghijklm", u"", u"x", u"", 0};
  EXPECT_FALSE(dialogs.add_user(f));  // name first, even with other faults
  f.name = u"";
  EXPECT_FALSE(dialogs.add_user(f));
  f.name = u"abcdefghijkl";
  EXPECT_FALSE(dialogs.add_user(f));
  f.confirm = u"";
  EXPECT_FALSE(dialogs.add_user(f));
  f.password = f.confirm = u"abc";
  EXPECT_FALSE(dialogs.add_user(f));
  EXPECT_EQ(messages.texts(),
            (std::vector<std::u16string>{u"用户名不能超过12个字符！", u"用户名不能为空！",
                                         u"输入的密码不匹配！", u"密码不能为空",
                                         u"输入的密码太弱，请重新输入"}));
  EXPECT_TRUE(dialogs.login_choices().size() == 1);
  f.password = f.confirm = u"abcd";
  ASSERT_EQ(dialogs.add_user(f), std::optional<std::u16string>(u"abcdefghijkl"));
  const std::string b = read_file(files.user_path(u"abcdefghijkl"));
  ASSERT_EQ(b.size(), 152u);
  EXPECT_EQ(b.substr(120, 10), std::string("1\0"
                                           "6\0"
                                           "3\0"
                                           "9\0"
                                           "1\0",
                                           10));
  EXPECT_EQ(mode_of(files.user_path(u"abcdefghijkl")), 0600u);
  // Same name again overwrites without a question.
  f.checked = rights::kAlarmOutput | 0x20000;  // 0x20000 is never granted
  messages.clear();
  ASSERT_TRUE(dialogs.add_user(f));
  EXPECT_TRUE(messages.shown.empty());
  EXPECT_EQ(files.read_user(u"abcdefghijkl")->rights, 0x4007 | 0x10000000);
}

TEST_F(ModelUserStore, AddUserRefusesNamesThatLeaveTheFolderAndOverlongFields) {
  AddUserForm f{u"../x", u"abcd", u"abcd", u"", 0};
  EXPECT_FALSE(dialogs.add_user(f));
  f.name = u"ok";
  f.password = f.confirm = u"12345678901234567";
  EXPECT_FALSE(dialogs.add_user(f));
  f.password = f.confirm = u"1234567890123456";
  f.contact = u"12345678901234567";
  EXPECT_FALSE(dialogs.add_user(f));
  EXPECT_EQ(messages.shown.size(), 3u);
  EXPECT_TRUE(files.user_names().empty());
  EXPECT_FALSE(std::filesystem::exists(dir.path().parent_path() / "x.usr"));
}

TEST_F(ModelUserStore, EditRightsKeepsUntouchedBitsAndOnlyRightsField) {
  make_user(u"amy", u"apass", 0x4007 | 0x10000000 | 0x8);
  const std::string before = read_file(files.user_path(u"amy"));
  auto view = dialogs.select_user_for_edit(u"amy");
  ASSERT_TRUE(view);
  EXPECT_EQ(view->contact, u"tel 1");
  // The dialog sets the boxes from the stored word; the user unticks PTZ only.
  const std::uint32_t boxes = static_cast<std::uint32_t>(view->rights) & ~0x8u;
  ASSERT_TRUE(dialogs.edit_rights(u"amy", boxes));
  const std::string after = read_file(files.user_path(u"amy"));
  EXPECT_EQ(after.substr(0, 120), before.substr(0, 120));
  EXPECT_EQ(files.read_user(u"amy")->rights, 0x4007 | 0x10000000);
  EXPECT_FALSE(dialogs.edit_rights(u"", 0xFF));
  EXPECT_EQ(messages.texts(), std::vector<std::u16string>{u"请选择您要操作的对象"});
  EXPECT_EQ(read_file(files.user_path(u"amy")).substr(120), after.substr(120));
}

TEST_F(ModelUserStore, UserPageCommandsNeedTheAdministrator) {
  make_admin();
  make_user(u"amy", u"apass", 0x4007);
  current = {u"amy", u"apass", u"tel 1", 0x4007};
  auto page = dialogs.open_user_page();
  EXPECT_EQ(page.level, u"普通用户");
  EXPECT_EQ(page.admin_name, u"boss");
  EXPECT_TRUE(page.confirm_at_start);
  EXPECT_EQ(page.users, std::vector<std::u16string>{u"amy"});
  EXPECT_EQ(page.rights.size(), 5u);
  EXPECT_TRUE(dialogs.toggle_confirm_at_start());  // put back
  EXPECT_FALSE(std::filesystem::exists(files.flag_path()));
  EXPECT_FALSE(dialogs.delete_user(u"amy"));
  EXPECT_FALSE(dialogs.require_admin());
  EXPECT_EQ(messages.texts(), std::vector<std::u16string>(3, u"您无权进行此操作！"));
  messages.clear();
  // "管理员登录" with a wrong, then the right password.
  ASSERT_TRUE(dialogs.admin_login_allowed());
  EXPECT_FALSE(dialogs.admin_login(u"nope"));
  ASSERT_TRUE(dialogs.admin_login(u"secret1"));
  EXPECT_EQ(current.name, u"boss");
  EXPECT_TRUE(current.contact.empty());
  EXPECT_FALSE(dialogs.admin_login_allowed());
  EXPECT_EQ(messages.texts(), (std::vector<std::u16string>{u"管理员密码错误！", u"您已经登录！"}));
  page = dialogs.open_user_page();
  EXPECT_EQ(page.level, u"系统管理员");
  EXPECT_EQ(page.rights.size(), 19u);
  EXPECT_FALSE(dialogs.toggle_confirm_at_start());
  EXPECT_EQ(files.read_flag(), 0);
  EXPECT_TRUE(dialogs.toggle_confirm_at_start());
}

TEST_F(ModelUserStore, DeleteUserAsksFirst) {
  make_admin();
  make_user(u"amy", u"apass", 0x4007);
  messages.answers = {Answer::kCancel};
  EXPECT_FALSE(dialogs.delete_user(u""));
  EXPECT_FALSE(dialogs.delete_user(u"amy"));
  EXPECT_TRUE(files.user_exists(u"amy"));
  EXPECT_TRUE(dialogs.delete_user(u"amy"));
  EXPECT_FALSE(files.user_exists(u"amy"));
  ASSERT_EQ(messages.shown.size(), 3u);
  EXPECT_EQ(messages.shown[0].text, u"请选择您要操作的对象");
  EXPECT_EQ(messages.shown[1].text, u"您确定要删除用户amy吗？");
  EXPECT_EQ(messages.shown[1].caption, u"系统提示");
  EXPECT_EQ(messages.shown[1].buttons, Buttons::kOkCancel);
}

TEST_F(ModelUserStore, AdministratorPasswordChange) {
  make_admin();
  EXPECT_FALSE(dialogs.change_admin_password(u"bad", u"n1", u"n1"));
  EXPECT_FALSE(dialogs.change_admin_password(u"secret1", u"n1", u"n2"));
  EXPECT_EQ(messages.texts(),
            (std::vector<std::u16string>{u"原始密码输入错误！",
                                         u"确认密码错误，请检查确认密码后重新输入！"}));
  ASSERT_TRUE(dialogs.change_admin_password(u"secret1", u"n1", u"n1"));  // no length rule
  EXPECT_EQ(files.read_admin()->name, u"boss");
  EXPECT_EQ(files.read_admin()->password, u"n1");
  EXPECT_EQ(read_file(files.admin_path()).size(), 82u);
}

TEST_F(ModelUserStore, StartupChoosesTheLogin) {
  current.rights = 0;
  EXPECT_EQ(startup_login(files, current), StartupLogin::kFirstLogin);
  make_admin();
  EXPECT_EQ(startup_login(files, current), StartupLogin::kLogin);
  EXPECT_EQ(current.rights, 0);
  ASSERT_TRUE(files.write_flag(0));
  EXPECT_EQ(startup_login(files, current), StartupLogin::kNone);
  EXPECT_EQ(current.rights, -1);
}
