#include "ui/set_client.h"

namespace ui {

CSetClient::CSetClient(model::ClientState& state, model::MessageSink& messages, QWidget* parent)
    : QWidget(parent), state_(state), messages_(messages) {}

}  // namespace ui
