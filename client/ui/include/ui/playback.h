// The playback window "回放" (CPlayBack) and its page "本地文件" (CLocalFilePlay):
// the client's own recordings found on the recording drives, played on player
// port 17.
#pragma once

#include <QDialog>

#include "model/client_state.h"

namespace ui {

class CPlayBack : public QDialog {
  Q_OBJECT

 public:
  CPlayBack(model::ClientState& state, model::MessageSink& messages, QWidget* parent = nullptr);

 private:
  model::ClientState& state_;
  model::MessageSink& messages_;
};

}  // namespace ui
