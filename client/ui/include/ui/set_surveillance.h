// The server management page "监控点设置" of the system settings window: the
// device tree, the play list, adding, deleting and configuring servers. The
// rules live in model::PlayListEditor, add_server_target and delete_server.
//
// objectNames of the widgets (tests and the screenshot program use them):
//   "List2" (QTreeWidget, the server list: nothing fills it)
//   "deviceTree", "playList" (CBitmapTree)
//   buttons "login", "serverList", "addServer", "deleteServer", "configServer",
//   "findServer", "toList" (">>"), "fromList" ("<<"), "up", "down", "ok",
//   "upgrade", "restart", "format", "status", "remoteKeys", "deviceLog", "timeSync"
#pragma once

#include <QWidget>

#include <functional>
#include <memory>

#include "model/client_state.h"
#include "model/remote_config.h"

class QPushButton;
class QTreeWidget;
class QTreeWidgetItem;
class CBitmapTree;

namespace ui {

class CSetSurveillance : public QWidget {
  Q_OBJECT

 public:
  // pane_showing(pane): whether that pane of the desk shows video.
  CSetSurveillance(model::ClientState& state, model::DeviceLogin& sdk, model::DeviceConfig& device,
                   model::MessageSink& messages, std::function<bool(int)> pane_showing,
                   QWidget* parent = nullptr);
  ~CSetSurveillance() override;

  // "增加服务器" runs the add-server dialog and "配置服务器" the remote
  // configuration; tests replace them. add_server answers whether one was added.
  void SetAddServer(std::function<bool()> add) { add_server_ = std::move(add); }
  void SetConfigureServer(std::function<void(int server)> configure) {
    configure_server_ = std::move(configure);
  }

  // "确定" ran since the page opened.
  bool Confirmed() const { return confirmed_; }
  // "确定": the play list from the list tree and the channel file.
  bool Confirm();

  // The commands, on the selected items.
  void AddToList();
  void RemoveFromList();
  void MoveUp();
  void MoveDown();
  void AddServer();
  void DeleteServer();
  void ConfigureServer();

  const model::PlayListEditor& Editor() const { return *editor_; }

 protected:
  void paintEvent(QPaintEvent* e) override;

 private:
  void fill_trees();
  void apply_rights();
  // The server index of the selected root item of the device tree, -1 for none.
  int selected_server() const;
  void select_list_item(int item);

  model::ClientState& state_;
  model::DeviceLogin& sdk_;
  model::DeviceConfig& device_;
  model::MessageSink& messages_;
  std::function<bool(int)> pane_showing_;
  std::function<bool()> add_server_;
  std::function<void(int)> configure_server_;
  std::unique_ptr<model::PlayListEditor> editor_;
  bool confirmed_ = false;

  QTreeWidget* servers_ = nullptr;
  CBitmapTree* devices_ = nullptr;
  CBitmapTree* list_ = nullptr;
  QPushButton* add_ = nullptr;
  QPushButton* delete_ = nullptr;
  QPushButton* find_ = nullptr;
  QPushButton* status_ = nullptr;
  QPushButton* time_sync_ = nullptr;
  QPushButton* upgrade_ = nullptr;
  QPushButton* restart_ = nullptr;
  QPushButton* format_ = nullptr;
};

}  // namespace ui
