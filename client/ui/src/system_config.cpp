#include "ui/system_config.h"

#include <QHBoxLayout>
#include <QTabWidget>
#include <QVBoxLayout>

#include "dialog_frame.h"
#include "ui/i18n.h"
#include "ui/set_client.h"
#include "ui/set_surveillance.h"
#include "ui/user_page.h"

namespace ui {

CSystemConfig::CSystemConfig(model::ClientState& state, model::MessageSink& messages,
                             model::DeviceLogin& sdk, model::DeviceConfig& device,
                             std::function<bool(int)> pane_showing, QWidget* parent)
    : QDialog(parent) {
  setWindowTitle(tx("系统设置"));
  tabs_ = new QTabWidget(this);
  tabs_->setObjectName(QStringLiteral("Tab1"));
  surveillance_ = new CSetSurveillance(state, sdk, device, messages, std::move(pane_showing));
  client_ = new CSetClient(state, messages);
  users_ = new CUserDlg(state, messages);
  // QTabWidget shows the selected page and hides the others.
  tabs_->addTab(surveillance_, tx("监控点设置"));
  tabs_->addTab(client_, tx("本地设置"));
  tabs_->addTab(users_, tx("用户管理"));
  tabs_->setCurrentIndex(0);

  auto* exit = make_dialog_button(this, tx("退出"), "exit");
  exit->setAutoDefault(false);
  connect(exit, &QPushButton::clicked, this, &CSystemConfig::reject);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  buttons->addWidget(exit);

  auto* outer = new QVBoxLayout(this);
  outer->setContentsMargins(12, 12, 12, 12);
  outer->addWidget(tabs_, 1);
  outer->addLayout(buttons);
  resize(sizeHint().expandedTo(QSize(860, 640)));
}

int CSystemConfig::HardwareChange() const {
  return client_->HardwareChange();
}

void CSystemConfig::reject() {
  if (!surveillance_->Confirmed()) surveillance_->Confirm();
  QDialog::reject();
}

}  // namespace ui
