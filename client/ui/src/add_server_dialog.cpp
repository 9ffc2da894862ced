#include "ui/add_server_dialog.h"

#include <QApplication>
#include <QCheckBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QSpinBox>
#include <QStringList>

#include "dialog_frame.h"
#include "model/config_files.h"
#include "ui/i18n.h"
#include "ui/message_box.h"

namespace ui {
namespace {

constexpr int kDomainUnits = 256;

QLineEdit* make_edit(QWidget* parent, const char* name, const QString& text) {
  auto* edit = new QLineEdit(text, parent);
  edit->setObjectName(QString::fromLatin1(name));
  return edit;
}

// Kept out of every layout so the form holds all fields without showing them.
template <typename W>
W* conceal(W* widget, const char* name, bool enabled) {
  widget->setObjectName(QString::fromLatin1(name));
  widget->setVisible(false);
  widget->setEnabled(enabled);
  return widget;
}

// Holds the wait cursor while the login blocks, and gives the normal one back
// before a message box appears so the operator can answer it.
class BusyCursorSink : public model::MessageSink {
 public:
  explicit BusyCursorSink(model::MessageSink& inner) : inner_(inner) {
    QApplication::setOverrideCursor(Qt::WaitCursor);
  }
  ~BusyCursorSink() override { restore(); }
  BusyCursorSink(const BusyCursorSink&) = delete;
  BusyCursorSink& operator=(const BusyCursorSink&) = delete;

  model::Answer show(std::u16string_view text, std::u16string_view caption,
                     model::Buttons buttons) override {
    restore();
    return inner_.show(text, caption, buttons);
  }

 private:
  void restore() {
    if (!waiting_) return;
    waiting_ = false;
    QApplication::restoreOverrideCursor();
  }

  model::MessageSink& inner_;
  bool waiting_ = true;
};

}  // namespace

CAddSvrInfo::CAddSvrInfo(model::ClientState& state, model::DeviceLogin& sdk,
                         model::MessageSink& messages, int target, QWidget* parent)
    : QDialog(parent), state_(state), sdk_(sdk), messages_(messages), target_(target) {
  setWindowTitle(tx("添加服务器"));
  const model::AddServerForm defaults;

  device_id_ = make_edit(this, "deviceId", qs(defaults.device_id));
  phone_ = make_edit(this, "phone", qs(defaults.phone));
  auth_address_ = make_edit(this, "authAddress", qs(defaults.auth_address));
  auth_port_ = make_edit(this, "authPort", QString::number(defaults.auth_port));
  password_ = make_edit(this, "password", qs(defaults.password));
  password_->setEchoMode(QLineEdit::Password);
  password_->setMaxLength(static_cast<int>(model::kDevicePasswordMax));

  ip_address_ = conceal(new QWidget(this), "ipAddress", false);
  auto* ip_row = new QHBoxLayout(ip_address_);
  for (int i = 0; i < 4; ++i) {
    ip_bytes_[i] = new QSpinBox(ip_address_);
    ip_bytes_[i]->setObjectName(QStringLiteral("ip%1").arg(i));
    ip_bytes_[i]->setRange(0, 255);
    ip_row->addWidget(ip_bytes_[i]);
  }
  name_ = conceal(new QLineEdit(this), "name", true);
  port_ = conceal(new QLineEdit(QString::number(defaults.port), this), "port", false);
  domain_ = conceal(new QLineEdit(this), "domain", false);
  domain_->setMaxLength(kDomainUnits);
  // No length limit here: the model refuses over-long accounts with its message.
  user_ = conceal(new QLineEdit(qs(defaults.user_name), this), "user", false);
  user_password_ = conceal(new QLineEdit(qs(defaults.user_password), this), "userPassword", false);
  by_domain_ = conceal(new QCheckBox(tx("通过域名添加"), this), "byDomain", true);
  by_auth_ = conceal(new QCheckBox(tx("通过鉴权添加"), this), "byAuth", true);
  by_domain_->setChecked(false);
  by_auth_->setChecked(true);

  auto* form = make_form();
  form->addRow(tx("序列号："), device_id_);
  form->addRow(tx("电话号码："), phone_);
  form->addRow(tx("鉴权IP："), auth_address_);
  form->addRow(tx("鉴权端口："), auth_port_);
  form->addRow(tx("密码："), password_);

  const DialogButtons buttons = finish_dialog(this, form, tx("退出"), QSize(380, 240));
  ok_ = buttons.ok;
  cancel_ = buttons.cancel;
  connect(ok_, &QPushButton::clicked, this, &CAddSvrInfo::ok_clicked);
  device_id_->setFocus();
}

CAddSvrInfo::CAddSvrInfo(model::ClientState& state, model::DeviceLogin& sdk,
                         model::MessageSink& messages, int target, const QString& name, int port,
                         const QString& address, QWidget* parent)
    : CAddSvrInfo(state, sdk, messages, target, parent) {
  name_->setText(name);
  port_->setText(QString::number(port));
  // Missing or malformed parts of the address leave their byte at 0.
  const QStringList parts = address.trimmed().split(QLatin1Char('.'));
  for (int i = 0; i < 4 && i < parts.size(); ++i) {
    bool ok = false;
    const int value = parts[i].trimmed().toInt(&ok);
    if (ok && value >= 0 && value <= 255) ip_bytes_[i]->setValue(value);
  }
}

void CAddSvrInfo::reject() {
  if (!busy_) QDialog::reject();
}

model::AddServerForm CAddSvrInfo::read_form() const {
  model::AddServerForm form;
  form.device_id = u16(device_id_->text());
  form.phone = u16(phone_->text());
  form.auth_address = u16(auth_address_->text());
  form.auth_port = read_int(auth_port_);
  form.password = u16(password_->text());
  form.port = read_int(port_);
  form.user_name = u16(user_->text());
  form.user_password = u16(user_password_->text());
  return form;
}

void CAddSvrInfo::set_busy(bool busy) {
  busy_ = busy;
  ok_->setEnabled(!busy);
  cancel_->setEnabled(!busy);
}

void CAddSvrInfo::ok_clicked() {
  // The login blocks up to its time-out; a second press must not start another.
  if (busy_) return;
  const model::AddServerForm form = read_form();
  set_busy(true);
  bool added;
  {
    BusyCursorSink messages(messages_);
    added = model::confirm_add_server(state_, target_, form, sdk_, messages);
  }
  set_busy(false);
  if (!added) return;
  added_ = true;
  accept();
}

bool CAddSvrInfo::RunAdd(model::ClientState& state, model::DeviceLogin& sdk,
                         model::MessageSink& messages, QWidget* parent) {
  const int target = model::add_server_target(state, messages);
  if (target < 0) return false;
  CAddSvrInfo dialog(state, sdk, messages, target, parent);
  return dialog.exec() == QDialog::Accepted && dialog.Added();
}

}  // namespace ui
