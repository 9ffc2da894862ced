// The logic of the user dialogs: first login, login, unlock, the user
// management page and the dialogs it opens. Each operation returns whether the
// dialog ends with OK; every failure goes to the message sink and leaves the
// dialog open.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "model/messages.h"
#include "model/users.h"

namespace model {

struct CurrentUser {
  std::u16string name;
  std::u16string password;
  std::u16string contact;
  std::int32_t rights = kAdministrator;
};

inline constexpr std::u16string_view kChooseUserItem = u"请选择登录用户";
inline constexpr std::u16string_view kAdminLevel = u"系统管理员";
inline constexpr std::u16string_view kUserLevel = u"普通用户";

// What the user management page shows when it opens.
struct UserPageView {
  std::u16string admin_name;
  std::u16string admin_password;
  std::u16string level;  // "系统管理员" or "普通用户"
  std::u16string user_name;
  std::u16string user_password;
  std::u16string contact;
  bool confirm_at_start = true;  // "启动程序时确认身份"
  std::vector<std::u16string> users;
  std::vector<std::u16string> rights;
};

struct AddUserForm {
  std::u16string name;
  std::u16string password;
  std::u16string confirm;
  std::u16string contact;
  std::uint32_t checked = 0;  // right bits whose check boxes are checked
};

// What the edit-rights dialog shows for a selected user.
struct UserRightsView {
  std::u16string name;
  std::u16string contact;
  std::int32_t rights = 0;
};

// Which login runs at start-up: none (the flag file holds 0: administrator
// rights without a dialog), the first login (no administrator yet) or the login.
enum class StartupLogin { kNone, kFirstLogin, kLogin };
StartupLogin startup_login(const UserFiles& files, CurrentUser& current);

class UserDialogs {
 public:
  UserDialogs(const UserFiles& files, CurrentUser& current, MessageSink& messages)
      : files_(files), current_(current), messages_(messages) {}

  // "您是首次进入该系统，请填写登录信息"
  bool first_login(std::u16string_view name, std::u16string_view password,
                   std::u16string_view confirm);
  void first_login_cancel();

  // "登录": the combo box items, then OK with the selected item.
  std::vector<std::u16string> login_choices() const;
  bool login(const std::vector<std::u16string>& choices, int item, std::u16string_view password);

  // "解锁屏幕": may switch the current user and its rights.
  bool unlock(std::u16string_view name, std::u16string_view password);

  // The user management page.
  UserPageView open_user_page();
  // Double click in "用户列表：": that user's rights list, or nullopt (message shown).
  std::optional<std::vector<std::u16string>> user_rights_listing(std::u16string_view name);
  // Administrator-only commands call this first ("您无权进行此操作！").
  bool require_admin();
  // "启动程序时确认身份" clicked: the check box state afterwards.
  bool toggle_confirm_at_start();
  // "删除用户" with the selected name (empty: none selected).
  bool delete_user(std::u16string_view selected);
  // "修改密码" -> "修改".
  bool change_admin_password(std::u16string_view old_password, std::u16string_view new_password,
                             std::u16string_view confirm);
  // "管理员登录": false when already administrator ("您已经登录！"); then the
  // password dialog's answer.
  bool admin_login_allowed();
  bool admin_login(std::u16string_view password);

  // "添加用户": the new name on OK.
  std::optional<std::u16string> add_user(const AddUserForm& form);

  // "用户信息修改": selecting a user, then "确定修改" with the check boxes' state.
  std::optional<UserRightsView> select_user_for_edit(std::u16string_view name) const;
  bool edit_rights(std::u16string_view selected, std::uint32_t checked);

  // The rights word a set of check boxes stands for (basic rights always held).
  static std::int32_t assemble_rights(std::uint32_t checked);

 private:
  const UserFiles& files_;
  CurrentUser& current_;
  MessageSink& messages_;
};

}  // namespace model
