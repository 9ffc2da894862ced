#include "ui/set_surveillance.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QScrollBar>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "controls/bitmap_tree.h"
#include "dialog_frame.h"
#include "model/users.h"
#include "ui/add_server_dialog.h"
#include "ui/i18n.h"
#include "ui/message_box.h"
#include "ui/remote_config.h"

namespace ui {

CSetSurveillance::CSetSurveillance(model::ClientState& state, model::DeviceLogin& sdk,
                                   model::DeviceConfig& device, model::MessageSink& messages,
                                   std::function<bool(int)> pane_showing, QWidget* parent)
    : QWidget(parent),
      state_(state),
      sdk_(sdk),
      device_(device),
      messages_(messages),
      pane_showing_(std::move(pane_showing)),
      editor_(std::make_unique<model::PlayListEditor>(state, messages)) {
  add_server_ = [this] { return CAddSvrInfo::RunAdd(state_, sdk_, messages_, this); };
  configure_server_ = [this](int server) {
    CRemoteParamsCfg dialog(state_, server, device_, messages_, this);
    dialog.exec();
  };

  // Enter in the settings window presses none of the page's buttons.
  auto button = [this](const char16_t* caption, const char* name) {
    QPushButton* b = make_dialog_button(this, tx(caption), name);
    b->setAutoDefault(false);
    return b;
  };

  servers_ = new QTreeWidget(this);
  servers_->setObjectName(QStringLiteral("List2"));
  servers_->setRootIsDecorated(false);
  servers_->setHeaderLabels({tx("服务器名称"), tx("IP地址"), QString()});
  for (int c = 0; c < 3; ++c) servers_->setColumnWidth(c, 100);
  servers_->setFixedHeight(110);
  auto* login = button(u"登录", "login");
  auto* server_list = button(u"获取服务器列表", "serverList");

  devices_ = new CBitmapTree(this);
  devices_->setObjectName(QStringLiteral("deviceTree"));
  list_ = new CBitmapTree(this);
  list_->setObjectName(QStringLiteral("playList"));
  for (CBitmapTree* tree : {devices_, list_}) tree->setMinimumSize(240, 260);

  add_ = button(u"增加服务器", "addServer");
  delete_ = button(u"删除服务器", "deleteServer");
  auto* configure = button(u"配置服务器", "configServer");
  find_ = button(u"查找服务器", "findServer");
  auto* to_list = button(u">>", "toList");
  auto* from_list = button(u"<<", "fromList");
  auto* up = button(u" 上", "up");
  auto* down = button(u"下", "down");
  auto* ok = button(u"确定", "ok");
  upgrade_ = button(u"远程升级", "upgrade");
  restart_ = button(u"重新启动", "restart");
  format_ = button(u"格式化硬盘", "format");
  status_ = button(u"服务器状态", "status");
  auto* keys = button(u"远程按键", "remoteKeys");
  auto* log = button(u"日志信息", "deviceLog");
  time_sync_ = button(u"系统校时", "timeSync");
  // "登录", "获取服务器列表", "查找服务器" and the device buttons have no action.
  (void)login, (void)server_list, (void)keys, (void)log;

  connect(add_, &QPushButton::clicked, this, &CSetSurveillance::AddServer);
  connect(delete_, &QPushButton::clicked, this, &CSetSurveillance::DeleteServer);
  connect(configure, &QPushButton::clicked, this, &CSetSurveillance::ConfigureServer);
  connect(to_list, &QPushButton::clicked, this, &CSetSurveillance::AddToList);
  connect(from_list, &QPushButton::clicked, this, &CSetSurveillance::RemoveFromList);
  connect(up, &QPushButton::clicked, this, &CSetSurveillance::MoveUp);
  connect(down, &QPushButton::clicked, this, &CSetSurveillance::MoveDown);
  connect(ok, &QPushButton::clicked, this, &CSetSurveillance::Confirm);

  auto* top = new QHBoxLayout;
  top->addWidget(servers_, 1);
  auto* top_buttons = new QVBoxLayout;
  top_buttons->addWidget(login);
  top_buttons->addWidget(server_list);
  top_buttons->addStretch(1);
  top->addLayout(top_buttons);

  auto* middle = new QVBoxLayout;
  middle->addStretch(1);
  for (QPushButton* b : {to_list, from_list, up, down, ok}) middle->addWidget(b);
  middle->addStretch(1);

  auto* trees = new QGridLayout;
  trees->addWidget(new QLabel(tx("服务器"), this), 0, 0);
  trees->addWidget(new QLabel(tx("播放列表"), this), 0, 2);
  trees->addWidget(devices_, 1, 0);
  trees->addLayout(middle, 1, 1);
  trees->addWidget(list_, 1, 2);
  trees->setColumnStretch(0, 1);
  trees->setColumnStretch(2, 1);
  auto* server_buttons = new QHBoxLayout;
  for (QPushButton* b : {add_, delete_, configure, find_}) server_buttons->addWidget(b);
  server_buttons->addStretch(1);
  trees->addLayout(server_buttons, 2, 0, 1, 3);

  auto* device_buttons = new QHBoxLayout;
  for (QPushButton* b : {upgrade_, restart_, format_, status_, keys, log, time_sync_})
    device_buttons->addWidget(b);
  device_buttons->addStretch(1);

  auto* outer = new QVBoxLayout(this);
  outer->setContentsMargins(12, 12, 12, 12);
  outer->addLayout(top);
  outer->addLayout(trees, 1);
  outer->addLayout(device_buttons);

  apply_rights();
  fill_trees();
}

CSetSurveillance::~CSetSurveillance() = default;

void CSetSurveillance::apply_rights() {
  const std::int32_t r = state_.user.rights;
  using namespace model::rights;
  for (QPushButton* b : {status_, time_sync_}) b->setEnabled(model::has_right(r, kDeviceStatus));
  for (QPushButton* b : {add_, delete_, find_})
    b->setEnabled(model::has_right(r, kServerManagement));
  for (QPushButton* b : {upgrade_, restart_, format_})
    b->setEnabled(model::has_right(r, kRemoteMaintenance));
}

// The current user may change while the window is open ("管理员登录").
void CSetSurveillance::paintEvent(QPaintEvent* e) {
  apply_rights();
  QWidget::paintEvent(e);
}

void CSetSurveillance::fill_trees() {
  // A move keeps both trees where the operator scrolled them.
  const int device_scroll = devices_->verticalScrollBar()->value();
  const int list_scroll = list_->verticalScrollBar()->value();
  devices_->DeleteAllItems();
  for (const model::TreeServer& s : editor_->devices()) {
    QTreeWidgetItem* root = devices_->AddItem(nullptr, qs(s.name), 0, s.server);
    for (const model::TreeChannel& c : s.channels)
      devices_->AddItem(root, qs(c.name), 1, c.channel);
  }
  devices_->expandAll();
  list_->DeleteAllItems();
  for (int id : editor_->items()) list_->AddItem(nullptr, qs(editor_->item_text(id)), 1, id);
  devices_->verticalScrollBar()->setValue(device_scroll);
  list_->verticalScrollBar()->setValue(list_scroll);
}

int CSetSurveillance::selected_server() const {
  const QTreeWidgetItem* item = devices_->currentItem();
  if (!item || item->parent()) return -1;
  return static_cast<int>(CBitmapTree::ItemData(item));
}

void CSetSurveillance::select_list_item(int item) {
  if (item >= 0 && item < list_->topLevelItemCount())
    list_->setCurrentItem(list_->topLevelItem(item));
}

void CSetSurveillance::AddToList() {
  const QTreeWidgetItem* item = devices_->currentItem();
  if (!item) return;
  const bool changed =
      item->parent() ? editor_->add_channel(static_cast<int>(CBitmapTree::ItemData(item->parent())),
                                            static_cast<int>(CBitmapTree::ItemData(item)))
                     : editor_->add_server(static_cast<int>(CBitmapTree::ItemData(item)));
  // A server moves part of its channels before the list is full.
  (void)changed;
  fill_trees();
  select_list_item(list_->topLevelItemCount() - 1);
}

void CSetSurveillance::RemoveFromList() {
  const int item = list_->indexOfTopLevelItem(list_->currentItem());
  if (item < 0) return;
  const int id = editor_->items()[static_cast<std::size_t>(item)];
  if (!editor_->remove(static_cast<std::size_t>(item), pane_showing_)) return;
  fill_trees();
  // The channel's server is opened to show it back in place.
  for (int i = 0; i < devices_->topLevelItemCount(); ++i) {
    QTreeWidgetItem* root = devices_->topLevelItem(i);
    if (CBitmapTree::ItemData(root) == id / 100) devices_->setCurrentItem(root);
  }
}

void CSetSurveillance::MoveUp() {
  const int item = list_->indexOfTopLevelItem(list_->currentItem());
  if (item < 0 || !editor_->move_up(static_cast<std::size_t>(item))) return;
  fill_trees();
  select_list_item(item - 1);
}

void CSetSurveillance::MoveDown() {
  const int item = list_->indexOfTopLevelItem(list_->currentItem());
  if (item < 0 || !editor_->move_down(static_cast<std::size_t>(item))) return;
  fill_trees();
  select_list_item(item + 1);
}

bool CSetSurveillance::Confirm() {
  confirmed_ = true;
  return editor_->confirm();
}

void CSetSurveillance::AddServer() {
  if (!add_server_ || !add_server_()) return;
  editor_->refresh();
  fill_trees();
}

void CSetSurveillance::DeleteServer() {
  const int server = selected_server();
  const bool in_use = server >= 0 && server < model::kMaxServers &&
                      state_.live_views[static_cast<std::size_t>(server)] > 0;
  if (!model::delete_server(state_, server, in_use, sdk_, messages_)) return;
  editor_->server_deleted(server);
  fill_trees();
}

void CSetSurveillance::ConfigureServer() {
  if (!model::check_right(state_.user.rights, model::rights::kServerManagement, messages_)) return;
  const QTreeWidgetItem* item = devices_->currentItem();
  if (item && item->parent()) return;  // a channel item does nothing
  const int server = selected_server();
  if (server < 0) {
    messages_.info(u"请选择ORV\"");
    return;
  }
  if (configure_server_) configure_server_(server);
  // The dialog may have renamed the server.
  editor_->refresh();
  fill_trees();
}

}  // namespace ui
