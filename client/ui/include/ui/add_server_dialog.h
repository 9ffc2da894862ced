// The add-server dialog "添加服务器". The rules live in model::confirm_add_server;
// this class only moves the fields in and the result out.
//
// objectNames of the widgets (tests and the screenshot script use them):
//   visible  "deviceId", "phone", "authAddress", "authPort", "password" (QLineEdit),
//            "ok", "cancel" (CBMPButton, "确定" / "退出")
//   hidden   "ipAddress" (QWidget) holding "ip0".."ip3" (QSpinBox, the address
//            bytes), "name", "port", "domain", "user", "userPassword" (QLineEdit),
//            "byDomain", "byAuth" (QCheckBox, unchecked / checked)
// Only the authentication group is in use: the hidden address, port, domain and
// account fields are disabled. OK is the default button.
#pragma once

#include <QDialog>
#include <QString>

#include "model/client_state.h"

class QCheckBox;
class QLineEdit;
class QPushButton;
class QSpinBox;

namespace ui {

class CAddSvrInfo : public QDialog {
  Q_OBJECT

 public:
  // target: the server index the dialog writes on success.
  CAddSvrInfo(model::ClientState& state, model::DeviceLogin& sdk, model::MessageSink& messages,
              int target, QWidget* parent = nullptr);
  // A double-clicked server-list entry: its name, port and dotted address text.
  CAddSvrInfo(model::ClientState& state, model::DeviceLogin& sdk, model::MessageSink& messages,
              int target, const QString& name, int port, const QString& address,
              QWidget* parent = nullptr);

  // A server was written into the table at the target index.
  bool Added() const { return added_; }

  // While the login of "确定" runs the dialog cannot be closed.
  void reject() override;

  // "增加服务器": the right and full-table checks, then the dialog for the first
  // unused record. True when a server was added.
  static bool RunAdd(model::ClientState& state, model::DeviceLogin& sdk,
                     model::MessageSink& messages, QWidget* parent = nullptr);

 private:
  void ok_clicked();
  model::AddServerForm read_form() const;
  void set_busy(bool busy);

  model::ClientState& state_;
  model::DeviceLogin& sdk_;
  model::MessageSink& messages_;
  int target_;
  bool added_ = false;
  bool busy_ = false;

  QLineEdit* device_id_;
  QLineEdit* phone_;
  QLineEdit* auth_address_;
  QLineEdit* auth_port_;
  QLineEdit* password_;
  QPushButton* ok_;
  QPushButton* cancel_;

  QWidget* ip_address_;
  QSpinBox* ip_bytes_[4];
  QLineEdit* name_;
  QLineEdit* port_;
  QLineEdit* domain_;
  QLineEdit* user_;
  QLineEdit* user_password_;
  QCheckBox* by_domain_;
  QCheckBox* by_auth_;
};

}  // namespace ui
