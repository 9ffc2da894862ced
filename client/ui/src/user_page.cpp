#include "ui/user_page.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QSignalBlocker>
#include <QVBoxLayout>

#include <bit>

#include "dialog_frame.h"
#include "ui/i18n.h"
#include "ui/message_box.h"

namespace ui {
namespace {

QLineEdit* make_edit(QWidget* parent, const char* name, int max_length, bool password,
                     bool read_only = false) {
  auto* edit = new QLineEdit(parent);
  edit->setObjectName(QString::fromLatin1(name));
  edit->setMaxLength(max_length);
  if (password) edit->setEchoMode(QLineEdit::Password);
  edit->setReadOnly(read_only);
  return edit;
}

QLabel* make_label(QWidget* parent, const QString& text) {
  auto* label = new QLabel(text, parent);
  label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  return label;
}

QListWidget* make_list(QWidget* parent, const char* name) {
  auto* list = new QListWidget(parent);
  list->setObjectName(QString::fromLatin1(name));
  list->setSelectionMode(QAbstractItemView::SingleSelection);
  list->setSortingEnabled(true);
  return list;
}

// The selected item's text, empty when none is selected.
std::u16string selected_text(const QListWidget* list) {
  const auto items = list->selectedItems();
  return items.empty() ? std::u16string() : u16(items.front()->text());
}

// The body above a right-aligned OK/cancel row, fixed at its content's size.
DialogButtons finish(QDialog* dialog, QLayout* body, const QString& ok_text,
                     const QString& cancel_text) {
  QHBoxLayout* buttons = nullptr;
  const DialogButtons b = make_button_row(dialog, ok_text, cancel_text, buttons);

  auto* outer = new QVBoxLayout(dialog);
  outer->setContentsMargins(24, 20, 24, 16);
  outer->addLayout(body);
  outer->addSpacing(16);
  outer->addLayout(buttons);
  outer->setSizeConstraint(QLayout::SetFixedSize);
  return b;
}

QGridLayout* make_grid() {
  auto* grid = new QGridLayout;
  grid->setHorizontalSpacing(10);
  grid->setVerticalSpacing(12);
  return grid;
}

// A labelled field in row of grid, with an optional hint to its right.
void add_row(QGridLayout* grid, int row, const QString& label, QWidget* field,
             const QString& hint = {}) {
  QWidget* parent = field->parentWidget();
  grid->addWidget(make_label(parent, label), row, 0);
  grid->addWidget(field, row, 1);
  if (!hint.isEmpty()) grid->addWidget(new QLabel(hint, parent), row, 2);
}

// Typed passwords and contacts stay within what the user file's fields hold,
// as the captions promise; names may be longer so the model refuses them.
constexpr int kNameUnits = static_cast<int>(model::kFieldUnits);
constexpr int kShortUnits = 16;

}  // namespace

RightsBoxes::RightsBoxes(int columns, QWidget* parent) : QWidget(parent) {
  auto* grid = new QGridLayout(this);
  grid->setContentsMargins(0, 0, 0, 0);
  grid->setHorizontalSpacing(18);
  grid->setVerticalSpacing(8);

  auto* lock = new QCheckBox(tx(model::kLockScreenRight), this);
  lock->setObjectName(QStringLiteral("lockScreen"));
  lock->setChecked(true);
  lock->setEnabled(false);
  grid->addWidget(lock, 0, 0);

  int cell = 1;
  for (const model::Right& r : model::rights_table()) {
    auto* box = new QCheckBox(tx(r.caption), this);
    box->setObjectName(QStringLiteral("right%1").arg(std::countr_zero(r.bit)));
    if (r.basic) {
      box->setChecked(true);
      box->setEnabled(false);
    }
    grid->addWidget(box, cell / columns, cell % columns);
    boxes_.emplace_back(r.bit, box);
    ++cell;
  }
}

std::uint32_t RightsBoxes::Checked() const {
  std::uint32_t bits = 0;
  for (const auto& [bit, box] : boxes_)
    if (box->isChecked()) bits |= bit;
  return bits;
}

void RightsBoxes::SetChecked(std::uint32_t bits) {
  for (const auto& [bit, box] : boxes_) box->setChecked((bits & bit) != 0);
}

CAddUserDlg::CAddUserDlg(model::UserDialogs& controller, QWidget* parent)
    : QDialog(parent), controller_(controller) {
  setWindowTitle(tx("添加用户"));
  name_ = make_edit(this, "name", kNameUnits, false);
  password_ = make_edit(this, "password", kShortUnits, true);
  confirm_ = make_edit(this, "confirm", kShortUnits, true);
  contact_ = make_edit(this, "contact", kShortUnits, false);
  rights_ = new RightsBoxes(3, this);

  auto* grid = make_grid();
  add_row(grid, 0, tx("用户名："), name_, tx("1～12个字符"));
  add_row(grid, 1, tx("密码："), password_, tx("4～16个字符"));
  add_row(grid, 2, tx("确认密码："), confirm_, tx("4～16个字符"));
  add_row(grid, 3, tx("联系方式："), contact_, tx("0～16个字符"));
  grid->setColumnStretch(3, 1);
  grid->setColumnMinimumWidth(1, 200);

  auto* body = new QVBoxLayout;
  body->addLayout(grid);
  body->addSpacing(8);
  body->addWidget(rights_);

  auto* ok = finish(this, body, tx("确定"), tx("取消")).ok;
  connect(ok, &QPushButton::clicked, this, &CAddUserDlg::ok_clicked);
  name_->setFocus();
}

void CAddUserDlg::ok_clicked() {
  model::AddUserForm form{u16(name_->text()), u16(password_->text()), u16(confirm_->text()),
                          u16(contact_->text()), rights_->Checked()};
  if (auto name = controller_.add_user(form)) {
    new_name_ = *name;
    accept();
  }
}

CChgUserPswDlg::CChgUserPswDlg(model::UserDialogs& controller, std::vector<std::u16string> users,
                               QWidget* parent)
    : QDialog(parent), controller_(controller) {
  setWindowTitle(QStringLiteral("Dialog"));
  users_ = make_list(this, "users");
  for (const auto& name : users) users_->addItem(qs(name));
  users_->setMinimumWidth(150);
  name_ = make_edit(this, "name", kNameUnits, false, true);
  contact_ = make_edit(this, "contact", kNameUnits, false, true);
  rights_ = new RightsBoxes(3, this);
  rights_->SetChecked(0);

  auto* left = new QVBoxLayout;
  left->setSpacing(6);
  auto* caption = new QLabel(tx("当前用户列表"), this);
  caption->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
  left->addWidget(caption);
  left->addWidget(users_, 1);

  auto* fields = make_grid();
  add_row(fields, 0, tx("用户名："), name_);
  add_row(fields, 1, tx("联系方式："), contact_);
  fields->setColumnMinimumWidth(1, 200);
  fields->setColumnStretch(2, 1);

  auto* right = new QVBoxLayout;
  right->addLayout(fields);
  right->addSpacing(8);
  right->addWidget(rights_);
  right->addStretch(1);

  auto* body = new QHBoxLayout;
  body->setSpacing(20);
  body->addLayout(left);
  body->addLayout(right, 1);

  auto* ok = finish(this, body, tx("确定修改"), tx("取消")).ok;
  connect(ok, &QPushButton::clicked, this, &CChgUserPswDlg::ok_clicked);
  connect(users_, &QListWidget::itemSelectionChanged, this, &CChgUserPswDlg::user_selected);
}

void CChgUserPswDlg::user_selected() {
  auto view = controller_.select_user_for_edit(selected_text(users_));
  // A damaged file shows nothing.
  name_->setText(view ? qs(view->name) : QString());
  contact_->setText(view ? qs(view->contact) : QString());
  rights_->SetChecked(view ? static_cast<std::uint32_t>(view->rights) : 0);
}

void CChgUserPswDlg::ok_clicked() {
  if (controller_.edit_rights(selected_text(users_), rights_->Checked())) accept();
}

CAdminPswDlg::CAdminPswDlg(model::UserDialogs& controller, QWidget* parent)
    : QDialog(parent), controller_(controller) {
  setWindowTitle(tx("管理员密码"));
  password_ = make_edit(this, "password", kNameUnits, true);
  auto* grid = make_grid();
  add_row(grid, 0, tx("密码："), password_);
  grid->setColumnMinimumWidth(1, 240);
  auto* ok = finish(this, grid, tx("确定"), tx("取消")).ok;
  connect(ok, &QPushButton::clicked, this, [this] {
    if (controller_.admin_login(u16(password_->text()))) accept();
  });
  password_->setFocus();
}

CPswChangeDlg::CPswChangeDlg(model::UserDialogs& controller, QWidget* parent)
    : QDialog(parent), controller_(controller) {
  setWindowTitle(tx("密码修改"));
  old_password_ = make_edit(this, "oldPassword", kNameUnits, true);
  new_password_ = make_edit(this, "newPassword", kNameUnits, true);
  confirm_ = make_edit(this, "confirm", kNameUnits, true);
  auto* grid = make_grid();
  add_row(grid, 0, tx("原始密码："), old_password_);
  add_row(grid, 1, tx("新密码："), new_password_);
  add_row(grid, 2, tx("新密码确认："), confirm_);
  grid->setColumnMinimumWidth(1, 240);
  auto* ok = finish(this, grid, tx("修改"), tx("放弃")).ok;
  connect(ok, &QPushButton::clicked, this, [this] {
    if (controller_.change_admin_password(u16(old_password_->text()), u16(new_password_->text()),
                                          u16(confirm_->text())))
      accept();
  });
  old_password_->setFocus();
}

CUserDlg::CUserDlg(model::ClientState& state, model::MessageSink& messages, QWidget* parent)
    : QWidget(parent),
      state_(state),
      files_(state.working_folder),
      controller_(files_, state.user, messages),
      run_([](QDialog& dialog) { return dialog.exec(); }) {
  admin_name_ = make_edit(this, "adminName", kNameUnits, false, true);
  admin_password_ = make_edit(this, "adminPassword", kNameUnits, true, true);
  level_ = make_edit(this, "level", kNameUnits, false, true);
  user_name_ = make_edit(this, "userName", kNameUnits, false, true);
  user_password_ = make_edit(this, "userPassword", kNameUnits, true, true);
  contact_ = make_edit(this, "contact", kNameUnits, false, true);
  confirm_at_start_ = new QCheckBox(tx("启动程序时确认身份"), this);
  confirm_at_start_->setObjectName(QStringLiteral("confirmAtStart"));
  users_ = make_list(this, "users");
  rights_ = make_list(this, "rights");
  rights_->setSelectionMode(QAbstractItemView::NoSelection);

  auto* info = make_grid();
  add_row(info, 0, tx("系统管理员"), admin_name_);
  add_row(info, 1, tx("管理员密码"), admin_password_);
  info->addItem(new QSpacerItem(0, 12), 2, 0);
  add_row(info, 3, tx("用户级别："), level_);
  add_row(info, 4, tx("当前用户："), user_name_);
  add_row(info, 5, tx("用户密码："), user_password_);
  add_row(info, 6, tx("联系方式："), contact_);
  info->addWidget(confirm_at_start_, 7, 1);
  info->setRowStretch(8, 1);
  info->setColumnMinimumWidth(1, 180);

  auto* lists = new QGridLayout;
  lists->setHorizontalSpacing(16);
  lists->setVerticalSpacing(6);
  lists->addWidget(new QLabel(tx("用户列表："), this), 0, 0);
  lists->addWidget(new QLabel(tx("管理权限："), this), 0, 1);
  lists->addWidget(users_, 1, 0);
  lists->addWidget(rights_, 1, 1);
  lists->setColumnStretch(0, 2);
  lists->setColumnStretch(1, 3);

  auto* top = new QHBoxLayout;
  top->setSpacing(24);
  top->addLayout(info);
  top->addLayout(lists, 1);

  auto* buttons = new QHBoxLayout;
  buttons->setSpacing(10);
  buttons->addStretch(1);
  auto button = [&](const char* name, const QString& text, void (CUserDlg::*slot)()) {
    auto* b = make_dialog_button(this, text, name);
    b->setMinimumWidth(100);
    buttons->addWidget(b);
    connect(b, &QPushButton::clicked, this, slot);
  };
  button("addUser", tx("添加用户"), &CUserDlg::add_clicked);
  button("editUser", tx("用户信息修改"), &CUserDlg::edit_clicked);
  button("deleteUser", tx("删除用户"), &CUserDlg::delete_clicked);
  button("changePassword", tx("修改密码"), &CUserDlg::password_clicked);
  button("adminLogin", tx("管理员登录"), &CUserDlg::admin_login_clicked);

  auto* outer = new QVBoxLayout(this);
  outer->setContentsMargins(20, 20, 20, 16);
  outer->addLayout(top, 1);
  outer->addSpacing(16);
  outer->addLayout(buttons);

  connect(users_, &QListWidget::itemDoubleClicked, this, &CUserDlg::double_clicked);
  connect(confirm_at_start_, &QCheckBox::clicked, this, &CUserDlg::confirm_clicked);
  Refresh();
}

void CUserDlg::Refresh() {
  const model::UserPageView view = controller_.open_user_page();
  admin_name_->setText(qs(view.admin_name));
  admin_password_->setText(qs(view.admin_password));
  level_->setText(tx(view.level));
  user_name_->setText(qs(view.user_name));
  user_password_->setText(qs(view.user_password));
  contact_->setText(qs(view.contact));
  confirm_at_start_->setChecked(view.confirm_at_start);
  users_->clear();
  for (const auto& name : view.users) users_->addItem(qs(name));
  show_rights(view.rights);
}

void CUserDlg::show_rights(const std::vector<std::u16string>& rights) {
  rights_->clear();
  for (const auto& text : rights) rights_->addItem(tx(text));
}

void CUserDlg::double_clicked(QListWidgetItem* item) {
  if (!item) return;
  if (auto rights = controller_.user_rights_listing(u16(item->text()))) show_rights(*rights);
}

void CUserDlg::confirm_clicked() {
  // The model decides the box's state: refused, it goes back.
  const bool checked = controller_.toggle_confirm_at_start();
  const QSignalBlocker block(confirm_at_start_);
  confirm_at_start_->setChecked(checked);
}

void CUserDlg::add_clicked() {
  if (!controller_.require_admin()) return;
  CAddUserDlg dialog(controller_, this);
  if (run_(dialog) != QDialog::Accepted || dialog.NewName().empty()) return;
  // Adding an existing name overwrote its file; the list keeps one entry.
  const QString name = qs(dialog.NewName());
  if (users_->findItems(name, Qt::MatchExactly).isEmpty()) users_->addItem(name);
}

void CUserDlg::edit_clicked() {
  if (!controller_.require_admin()) return;
  CChgUserPswDlg dialog(controller_, files_.user_names(), this);
  run_(dialog);
}

void CUserDlg::delete_clicked() {
  const auto items = users_->selectedItems();
  const std::u16string name = items.empty() ? std::u16string() : u16(items.front()->text());
  if (!controller_.delete_user(name) || items.empty()) return;
  delete items.front();
  show_rights(model::rights_listing(state_.user.rights));
}

void CUserDlg::password_clicked() {
  if (!controller_.require_admin()) return;
  CPswChangeDlg dialog(controller_, this);
  if (run_(dialog) != QDialog::Accepted) return;
  if (auto admin = files_.read_admin()) admin_password_->setText(qs(admin->password));
}

void CUserDlg::admin_login_clicked() {
  if (!controller_.admin_login_allowed()) return;
  CAdminPswDlg dialog(controller_, this);
  if (run_(dialog) == QDialog::Accepted) Refresh();
}

}  // namespace ui
