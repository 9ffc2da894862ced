// The login dialogs: first login (creates the administrator), login at
// start-up and unlocking the main window. The rules live in
// model::UserDialogs; these classes only move texts in and results out.
//
// objectNames of the widgets (tests and the screenshot script use them):
//   CFirstLogin  "name", "password", "confirm" (QLineEdit), "ok", "cancel"
//   CDlgLogin    "user" (QComboBox), "password" (QLineEdit), "ok", "cancel"
//   CDlgLockPwd  "name", "password" (QLineEdit), "ok", "cancel" ("退出")
// Buttons are QPushButton; OK is the default button, so Enter in a field
// presses it. Message boxes go through the controller's MessageSink.
#pragma once

#include <QDialog>

#include <string>
#include <vector>

#include "model/user_dialogs.h"

class QComboBox;
class QLineEdit;
class QPushButton;

namespace ui {

class CFirstLogin : public QDialog {
  Q_OBJECT

 public:
  explicit CFirstLogin(model::UserDialogs& controller, QWidget* parent = nullptr);

  // Cancel, Escape and closing the window: no administrator file may remain.
  void reject() override;

 private:
  void ok_clicked();

  model::UserDialogs& controller_;
  QLineEdit* name_;
  QLineEdit* password_;
  QLineEdit* confirm_;
};

class CDlgLogin : public QDialog {
  Q_OBJECT

 public:
  // The user list is read once, here.
  explicit CDlgLogin(model::UserDialogs& controller, QWidget* parent = nullptr);

 private:
  void ok_clicked();

  model::UserDialogs& controller_;
  std::vector<std::u16string> choices_;
  QComboBox* user_;
  QLineEdit* password_;
};

class CDlgLockPwd : public QDialog {
  Q_OBJECT

 public:
  explicit CDlgLockPwd(model::UserDialogs& controller, QWidget* parent = nullptr);

 private:
  void ok_clicked();

  model::UserDialogs& controller_;
  QLineEdit* name_;
  QLineEdit* password_;
};

}  // namespace ui
