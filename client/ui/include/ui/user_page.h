// The user management page "用户管理" and the dialogs it opens. The rules
// live in model::UserDialogs; these classes only move texts in and results out.
//
// objectNames of the widgets (tests and the screenshot program use them):
//   CUserDlg        "adminName", "adminPassword", "level", "userName", "userPassword",
//                   "contact" (read-only QLineEdit), "confirmAtStart" (QCheckBox),
//                   "users", "rights" (sorted QListWidget), buttons "addUser",
//                   "editUser", "deleteUser", "changePassword", "adminLogin"
//   CAddUserDlg     "name", "password", "confirm", "contact" (QLineEdit), the rights
//                   boxes (below), "ok", "cancel"
//   CChgUserPswDlg  "users" (QListWidget), "name", "contact" (read-only QLineEdit),
//                   the rights boxes, "ok" ("确定修改"), "cancel"
//   CAdminPswDlg    "password" (QLineEdit), "ok", "cancel"
//   CPswChangeDlg   "oldPassword", "newPassword", "confirm" (QLineEdit), "ok" ("修改"),
//                   "cancel" ("放弃")
// The rights boxes are QCheckBoxes "lockScreen" (checked and disabled) and
// "right<bit number>" for each right of model::rights_table(), e.g. "right28"
// for "报警输出". Buttons are QPushButton.
#pragma once

#include <QDialog>
#include <QWidget>

#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "model/client_state.h"
#include "model/user_dialogs.h"
#include "model/users.h"

class QCheckBox;
class QLineEdit;
class QListWidget;
class QListWidgetItem;
class QPushButton;

namespace ui {

// The check boxes of the rights, "锁定屏幕" first, then the table in bit order.
// "锁定屏幕" and the basic rights are every user's: checked and disabled.
class RightsBoxes : public QWidget {
  Q_OBJECT

 public:
  explicit RightsBoxes(int columns, QWidget* parent = nullptr);

  std::uint32_t Checked() const;
  void SetChecked(std::uint32_t bits);

 private:
  std::vector<std::pair<std::uint32_t, QCheckBox*>> boxes_;
};

// "添加用户".
class CAddUserDlg : public QDialog {
  Q_OBJECT

 public:
  explicit CAddUserDlg(model::UserDialogs& controller, QWidget* parent = nullptr);

  // The added user's name after OK.
  const std::u16string& NewName() const { return new_name_; }

 private:
  void ok_clicked();

  model::UserDialogs& controller_;
  std::u16string new_name_;
  QLineEdit* name_;
  QLineEdit* password_;
  QLineEdit* confirm_;
  QLineEdit* contact_;
  RightsBoxes* rights_;
};

// "Dialog": the rights of an existing ordinary user.
class CChgUserPswDlg : public QDialog {
  Q_OBJECT

 public:
  CChgUserPswDlg(model::UserDialogs& controller, std::vector<std::u16string> users,
                 QWidget* parent = nullptr);

 private:
  void user_selected();
  void ok_clicked();

  model::UserDialogs& controller_;
  std::u16string selected_;  // empty: none, or a damaged file
  QListWidget* users_;
  QLineEdit* name_;
  QLineEdit* contact_;
  RightsBoxes* rights_;
};

// "管理员密码": OK logs the administrator in.
class CAdminPswDlg : public QDialog {
  Q_OBJECT

 public:
  explicit CAdminPswDlg(model::UserDialogs& controller, QWidget* parent = nullptr);

 private:
  model::UserDialogs& controller_;
  QLineEdit* password_;
};

// "密码修改": the administrator password.
class CPswChangeDlg : public QDialog {
  Q_OBJECT

 public:
  explicit CPswChangeDlg(model::UserDialogs& controller, QWidget* parent = nullptr);

 private:
  model::UserDialogs& controller_;
  QLineEdit* old_password_;
  QLineEdit* new_password_;
  QLineEdit* confirm_;
};

class CUserDlg : public QWidget {
  Q_OBJECT

 public:
  CUserDlg(model::ClientState& state, model::MessageSink& messages, QWidget* parent = nullptr);

  // Runs a nested modal dialog and returns its result; exec() unless tests
  // replace it.
  using DialogRunner = std::function<int(QDialog&)>;
  void SetDialogRunner(DialogRunner run) { run_ = std::move(run); }

  // Reads the files and the current user again, as on opening.
  void Refresh();

 private:
  void double_clicked(QListWidgetItem* item);
  void confirm_clicked();
  void add_clicked();
  void edit_clicked();
  void delete_clicked();
  void password_clicked();
  void admin_login_clicked();
  void show_rights(const std::vector<std::u16string>& rights);

  model::ClientState& state_;
  model::UserFiles files_;
  model::UserDialogs controller_;
  DialogRunner run_;

  QLineEdit* admin_name_;
  QLineEdit* admin_password_;
  QLineEdit* level_;
  QLineEdit* user_name_;
  QLineEdit* user_password_;
  QLineEdit* contact_;
  QCheckBox* confirm_at_start_;
  QListWidget* users_;
  QListWidget* rights_;
};

}  // namespace ui
