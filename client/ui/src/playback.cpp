#include "ui/playback.h"

namespace ui {

CPlayBack::CPlayBack(model::ClientState& state, model::MessageSink& messages, QWidget* parent)
    : QDialog(parent), state_(state), messages_(messages) {
  setWindowTitle(QStringLiteral("回放"));
}

}  // namespace ui
