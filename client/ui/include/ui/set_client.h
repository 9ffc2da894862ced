// The local settings page "本地设置" and the weekly plan editor "本地录像计划表".
#pragma once

#include <QDialog>
#include <QWidget>

#include "model/client_state.h"

namespace ui {

class CSetClient : public QWidget {
  Q_OBJECT

 public:
  CSetClient(model::ClientState& state, model::MessageSink& messages, QWidget* parent = nullptr);

  // The hardware-decoding change of the last "确定": 1 on, 2 off, 0 unchanged.
  int HardwareChange() const { return hardware_change_; }

 private:
  model::ClientState& state_;
  model::MessageSink& messages_;
  int hardware_change_ = 0;
};

}  // namespace ui
