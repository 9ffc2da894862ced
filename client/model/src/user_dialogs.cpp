#include "model/user_dialogs.h"

#include "model/i18n.h"

namespace model {
namespace {

std::uint32_t table_bits(bool basic) {
  std::uint32_t bits = 0;
  for (const Right& r : rights_table())
    if (r.basic == basic) bits |= r.bit;
  return bits;
}

}  // namespace

StartupLogin startup_login(const UserFiles& files, CurrentUser& current) {
  if (std::filesystem::exists(files.flag_path())) current.rights = kAdministrator;
  if (files.read_flag() == 0) return StartupLogin::kNone;
  return files.has_admin() ? StartupLogin::kLogin : StartupLogin::kFirstLogin;
}

std::int32_t UserDialogs::assemble_rights(std::uint32_t checked) {
  return static_cast<std::int32_t>((checked & table_bits(false)) | table_bits(true));
}

bool UserDialogs::first_login(std::u16string_view name, std::u16string_view password,
                              std::u16string_view confirm) {
  // The record is written whole at the end; a failure leaves no file behind.
  auto fail = [&](std::u16string_view text) {
    files_.remove_admin();
    messages_.info(text);
    return false;
  };
  if (name.empty() || name.size() > 12) return fail(u"用户名应该在12个字符以内！");
  if (password.size() < 4 || password.size() > 16) return fail(u"密码应在4～16位之间！");
  if (password.substr(0, 32) != confirm.substr(0, 32)) return fail(u"密码不匹配，重新输入！");
  if (!files_.write_admin({std::u16string(name), std::u16string(password)})) {
    files_.remove_admin();
    return false;
  }
  current_.rights = kAdministrator;
  current_.name = name;
  current_.password = password;
  current_.contact.clear();
  return true;
}

void UserDialogs::first_login_cancel() {
  files_.remove_admin();
}

std::vector<std::u16string> UserDialogs::login_choices() const {
  std::vector<std::u16string> items{tx(kChooseUserItem)};
  if (auto admin = files_.read_admin()) items.push_back(admin->name);
  for (auto& n : files_.user_names()) items.push_back(n);
  return items;
}

bool UserDialogs::login(const std::vector<std::u16string>& choices, int item,
                        std::u16string_view password) {
  if (item <= 0 || static_cast<std::size_t>(item) >= choices.size()) {
    messages_.info(u"请选择用户名！");
    return false;
  }
  const std::u16string& name = choices[static_cast<std::size_t>(item)];
  auto admin = files_.read_admin();
  if (admin && !admin->name.empty() && name == admin->name) {
    if (password != admin->password) {
      messages_.info(u"密码不匹配！");
      return false;
    }
    current_ = {admin->name, admin->password, u"", kAdministrator};
    return true;
  }
  auto user = files_.read_user(name);
  if (!user) {
    messages_.info(u"用户文件被破坏，点击返回！");
    return false;
  }
  if (password != user->password) {
    messages_.info(u"密码不匹配！");
    return false;
  }
  current_ = {name, std::u16string(password), user->contact, user->rights};
  return true;
}

bool UserDialogs::unlock(std::u16string_view name, std::u16string_view password) {
  auto admin = files_.read_admin();
  if (admin && !admin->name.empty() && name == admin->name) {
    if (password != admin->password) {
      messages_.info(u"管理员密码错误，点击返回！");
      return false;
    }
    current_.rights = kAdministrator;
    current_.name = name;
    current_.password = password;
    return true;
  }
  if (!files_.user_exists(name)) {
    messages_.info(u"用户名或密码错误，点击返回！");
    return false;
  }
  auto user = files_.read_user(name);
  if (!user || password != user->password) {
    messages_.info(u"用户名或密码错误，点击返回");
    return false;
  }
  current_ = {std::u16string(name), std::u16string(password), user->contact, user->rights};
  return true;
}

UserPageView UserDialogs::open_user_page() {
  UserPageView v;
  if (auto admin = files_.read_admin()) {
    v.admin_name = admin->name;
    v.admin_password = admin->password;
  }
  if (current_.rights == kAdministrator) {
    v.level = kAdminLevel;
    current_.name = v.admin_name;
    current_.password = v.admin_password;
  } else {
    v.level = kUserLevel;
  }
  v.user_name = current_.name;
  v.user_password = current_.password;
  v.contact = current_.contact;
  v.confirm_at_start = files_.read_flag() != 0;
  v.users = files_.user_names();
  v.rights = rights_listing(current_.rights);
  return v;
}

std::optional<std::vector<std::u16string>> UserDialogs::user_rights_listing(
    std::u16string_view name) {
  auto user = files_.read_user(name);
  if (!user) {
    messages_.info(u"用户信息被破坏！");
    return std::nullopt;
  }
  return rights_listing(user->rights);
}

bool UserDialogs::require_admin() {
  if (current_.rights == kAdministrator) return true;
  messages_.info(u"您无权进行此操作！");
  return false;
}

bool UserDialogs::toggle_confirm_at_start() {
  const bool checked = files_.read_flag() != 0;
  if (!require_admin()) return checked;
  files_.write_flag(checked ? 0 : 1);
  return files_.read_flag() != 0;
}

bool UserDialogs::delete_user(std::u16string_view selected) {
  if (!require_admin()) return false;
  if (selected.empty()) {
    messages_.info(u"请选择您要操作的对象");
    return false;
  }
  const std::u16string question = tx(u"您确定要删除用户%1吗？", {std::u16string(selected)});
  if (!messages_.confirm(question, kSystemCaption)) return false;
  files_.remove_user(selected);
  return true;
}

bool UserDialogs::change_admin_password(std::u16string_view old_password,
                                        std::u16string_view new_password,
                                        std::u16string_view confirm) {
  auto admin = files_.read_admin();
  if (!admin || old_password != admin->password) {
    messages_.info(u"原始密码输入错误！");
    return false;
  }
  if (new_password != confirm) {
    messages_.info(u"确认密码错误，请检查确认密码后重新输入！");
    return false;
  }
  // The record holds 20 units; a longer password would be cut and never match.
  if (new_password.size() > kFieldUnits) {
    messages_.info(u"密码应在4～16位之间！");
    return false;
  }
  return files_.write_admin({admin->name, std::u16string(new_password)});
}

bool UserDialogs::admin_login_allowed() {
  if (current_.rights != kAdministrator) return true;
  messages_.info(u"您已经登录！");
  return false;
}

bool UserDialogs::admin_login(std::u16string_view password) {
  auto admin = files_.read_admin();
  if (!admin || password != admin->password) {
    messages_.info(u"管理员密码错误！");
    return false;
  }
  current_ = {admin->name, admin->password, u"", kAdministrator};
  return true;
}

std::optional<std::u16string> UserDialogs::add_user(const AddUserForm& f) {
  auto fail = [&](std::u16string_view text) -> std::optional<std::u16string> {
    messages_.info(text);
    return std::nullopt;
  };
  if (f.name.size() > 12) return fail(u"用户名不能超过12个字符！");
  if (f.name.empty()) return fail(u"用户名不能为空！");
  if (f.password != f.confirm) return fail(u"输入的密码不匹配！");
  if (f.password.empty()) return fail(u"密码不能为空");
  if (f.password.size() < 4) return fail(u"输入的密码太弱，请重新输入");
  // The fields hold what the captions promise; the name becomes a file name.
  if (f.password.size() > 16) return fail(u"密码应在4～16位之间！");
  if (f.contact.size() > 16) return fail(u"联系方式不能超过16个字符！");
  if (!valid_user_file_name(f.name)) return fail(u"用户名不能含有 . / \\ : 字符！");
  UserRecord u{f.name, f.password, f.contact, assemble_rights(f.checked)};
  if (!files_.write_user(u)) return fail(u"用户文件写入失败！");
  return f.name;
}

std::optional<UserRightsView> UserDialogs::select_user_for_edit(std::u16string_view name) const {
  auto user = files_.read_user(name);
  if (!user) return std::nullopt;
  return UserRightsView{std::u16string(name), user->contact, user->rights};
}

bool UserDialogs::edit_rights(std::u16string_view selected, std::uint32_t checked) {
  if (selected.empty()) {
    messages_.info(u"请选择您要操作的对象");
    return false;
  }
  // A damaged file was shown as nothing and stays as it is.
  if (!files_.read_user(selected)) return false;
  return files_.write_user_rights(selected, assemble_rights(checked));
}

}  // namespace model
