#include "ui/user_page.h"

namespace ui {

CUserDlg::CUserDlg(model::ClientState& state, model::MessageSink& messages, QWidget* parent)
    : QWidget(parent), state_(state), messages_(messages) {}

}  // namespace ui
