// The user management page "用户管理" and the dialogs it opens.
#pragma once

#include <QDialog>
#include <QWidget>

#include "model/client_state.h"

namespace ui {

class CUserDlg : public QWidget {
  Q_OBJECT

 public:
  CUserDlg(model::ClientState& state, model::MessageSink& messages, QWidget* parent = nullptr);

 private:
  model::ClientState& state_;
  model::MessageSink& messages_;
};

}  // namespace ui
