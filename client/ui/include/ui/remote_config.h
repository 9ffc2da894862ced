// "远程配置" (CRemoteParamsCfg) and its page CRemoteDevConfig for one server.
#pragma once

#include <QDialog>
#include <QWidget>

#include "model/client_state.h"
#include "model/remote_config.h"

namespace ui {

class CRemoteParamsCfg : public QDialog {
  Q_OBJECT

 public:
  CRemoteParamsCfg(model::ClientState& state, int server, model::DeviceConfig& device,
                   model::MessageSink& messages, QWidget* parent = nullptr);

 private:
  model::ClientState& state_;
  int server_;
  model::DeviceConfig& device_;
  model::MessageSink& messages_;
};

}  // namespace ui
