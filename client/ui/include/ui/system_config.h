// CSystemConfig "系统设置": the tab control "Tab1" with the server management
// page, the local settings page and the user management page, one shown at a
// time. "退出" (or closing the window) runs the management page's "确定" when it
// has not run, so the channel file always holds the edited play list.
//
// objectNames: "Tab1" (QTabWidget), "exit" (the "退出" button).
#pragma once

#include <QDialog>

#include <functional>

#include "model/client_state.h"
#include "model/remote_config.h"

class QTabWidget;

namespace ui {

class CSetClient;
class CSetSurveillance;
class CUserDlg;

class CSystemConfig : public QDialog {
  Q_OBJECT

 public:
  // pane_showing(pane): whether that pane of the desk shows video.
  CSystemConfig(model::ClientState& state, model::MessageSink& messages, model::DeviceLogin& sdk,
                model::DeviceConfig& device, std::function<bool(int)> pane_showing,
                QWidget* parent = nullptr);

  QTabWidget* Tabs() const { return tabs_; }
  CSetSurveillance* Surveillance() const { return surveillance_; }
  CSetClient* Client() const { return client_; }
  CUserDlg* Users() const { return users_; }
  // The local settings page's hardware-decoding change: 1 on, 2 off, 0 none.
  int HardwareChange() const;

  // "退出", Escape and the window's close button.
  void reject() override;

 private:
  QTabWidget* tabs_;
  CSetSurveillance* surveillance_;
  CSetClient* client_;
  CUserDlg* users_;
};

}  // namespace ui
