#include "ui/remote_config.h"

namespace ui {

CRemoteParamsCfg::CRemoteParamsCfg(model::ClientState& state, int server,
                                   model::DeviceConfig& device, model::MessageSink& messages,
                                   QWidget* parent)
    : QDialog(parent), state_(state), server_(server), device_(device), messages_(messages) {
  setWindowTitle(QStringLiteral("远程配置"));
}

}  // namespace ui
