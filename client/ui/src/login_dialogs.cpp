#include "ui/login_dialogs.h"

#include <QComboBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "dialog_frame.h"
#include "ui/i18n.h"
#include "ui/message_box.h"

namespace ui {
namespace {

QLineEdit* make_edit(QWidget* parent, const char* name, bool password) {
  auto* edit = new QLineEdit(parent);
  edit->setObjectName(QString::fromLatin1(name));
  // The user files keep 20 units per field; longer names must still reach the
  // controller so it can refuse them with its message.
  edit->setMaxLength(static_cast<int>(model::kFieldUnits));
  if (password) edit->setEchoMode(QLineEdit::Password);
  return edit;
}

}  // namespace

CFirstLogin::CFirstLogin(model::UserDialogs& controller, QWidget* parent)
    : QDialog(parent), controller_(controller) {
  setWindowTitle(tx("您是首次进入该系统，请填写登录信息"));
  name_ = make_edit(this, "name", false);
  password_ = make_edit(this, "password", true);
  confirm_ = make_edit(this, "confirm", true);

  auto* note =
      new QLabel(tx("1～12个字符 （注意：你是作为管理员登录，管理员名字一经注册不可修改）"), this);
  note->setObjectName(QStringLiteral("note"));
  note->setWordWrap(true);

  auto* form = make_form();
  form->addRow(tx("登录名："), name_);
  form->addRow(QString(), note);
  form->addRow(tx("密码："), password_);
  form->addRow(tx("确认密码："), confirm_);

  auto* ok = finish_dialog(this, form, tx("取消"), QSize(420, 260)).ok;
  connect(ok, &QPushButton::clicked, this, &CFirstLogin::ok_clicked);
  name_->setFocus();
}

void CFirstLogin::ok_clicked() {
  if (controller_.first_login(u16(name_->text()), u16(password_->text()), u16(confirm_->text())))
    accept();
}

void CFirstLogin::reject() {
  controller_.first_login_cancel();
  QDialog::reject();
}

CDlgLogin::CDlgLogin(model::UserDialogs& controller, QWidget* parent)
    : QDialog(parent), controller_(controller), choices_(controller.login_choices()) {
  setWindowTitle(tx("登录"));
  user_ = new QComboBox(this);
  user_->setObjectName(QStringLiteral("user"));
  for (const auto& choice : choices_) user_->addItem(qs(choice));
  user_->setCurrentIndex(0);
  password_ = make_edit(this, "password", true);

  auto* form = make_form();
  form->addRow(tx("用户名："), user_);
  form->addRow(tx("密码："), password_);

  auto* ok = finish_dialog(this, form, tx("取消"), QSize(360, 170)).ok;
  connect(ok, &QPushButton::clicked, this, &CDlgLogin::ok_clicked);
  user_->setFocus();
}

void CDlgLogin::ok_clicked() {
  if (controller_.login(choices_, user_->currentIndex(), u16(password_->text()))) accept();
}

CDlgLockPwd::CDlgLockPwd(model::UserDialogs& controller, QWidget* parent)
    : QDialog(parent), controller_(controller) {
  setWindowTitle(tx("解锁屏幕"));
  name_ = make_edit(this, "name", false);
  password_ = make_edit(this, "password", true);

  auto* form = make_form();
  form->addRow(tx("用户名:"), name_);
  form->addRow(tx("密  码:"), password_);

  auto* ok = finish_dialog(this, form, tx("退出"), QSize(360, 170)).ok;
  connect(ok, &QPushButton::clicked, this, &CDlgLockPwd::ok_clicked);
  name_->setFocus();
}

void CDlgLockPwd::ok_clicked() {
  if (controller_.unlock(u16(name_->text()), u16(password_->text()))) accept();
}

}  // namespace ui
