// CEventLog "事件日志": the process-wide event table listed, "保存日志" writes it
// into the log folder and empties it. The rules live in model::EventLog. The
// list shows the events in the operator's language; the file keeps them as
// stored.
//
// objectNames: "List1" (QTreeWidget: "时间", "事件内容"), "save" ("保存日志"),
// "exit" ("退出").
#pragma once

#include <QDialog>

#include "model/client_state.h"
#include "model/time_source.h"

class QTreeWidget;

namespace ui {

class CEventLog : public QDialog {
  Q_OBJECT

 public:
  CEventLog(model::ClientState& state, model::MessageSink& messages, model::Clock& clock,
            QWidget* parent = nullptr);

  // "保存日志".
  void OnSave();

 private:
  void fill();

  model::ClientState& state_;
  model::MessageSink& messages_;
  model::Clock& clock_;
  QTreeWidget* list_;
};

}  // namespace ui
