// The system settings window and its management page through their widgets:
// the tabs, the trees and buttons reaching the play-list editor, the rights
// that disable buttons, and "退出" writing the channel file. The editing rules
// are tested in the model.
#include <gtest/gtest.h>

#include <QPushButton>
#include <QTabWidget>

#include <algorithm>
#include <functional>
#include <vector>

#include "controls/bitmap_tree.h"
#include "model/config_files.h"
#include "model_test_util.h"
#include "ui/sdk_login.h"
#include "ui/set_surveillance.h"
#include "ui/system_config.h"

using model_test::Recorder;
using model_test::TempDir;

namespace {

class CountingLogin : public model::DeviceLogin {
 public:
  long login(std::u16string_view, int, std::u16string_view, std::u16string_view,
             std::u16string_view, std::u16string_view, int) override {
    return -1;
  }
  int last_error() override { return 0; }
  long log_out(long handle) override {
    logged_out.push_back(handle);
    return 1;
  }
  std::vector<long> logged_out;
};

struct SystemSettings : ::testing::Test {
  TempDir dir;
  model::ClientState state;
  CountingLogin sdk;
  ui::SdkDeviceConfig device;
  Recorder messages;
  std::vector<int> showing;  // panes with video

  void SetUp() override {
    state.working_folder = dir.path();
    for (int i = 0; i < 3; ++i) {
      model::ServerRecord& s = state.servers.servers[static_cast<std::size_t>(i)];
      s.name = u"srv" + model::u16_number(i);
      s.channel_count = 4;
      s.login_handle = 10 + i;
      for (int k = 0; k < 4; ++k) model::fill_default_channel(s.channels[k], s, i, k);
    }
  }
  std::function<bool(int)> panes() {
    return [this](int pane) {
      return std::find(showing.begin(), showing.end(), pane) != showing.end();
    };
  }
};

CBitmapTree* tree(QWidget& w, const char* name) {
  auto* t = w.findChild<CBitmapTree*>(QString::fromLatin1(name));
  EXPECT_NE(t, nullptr) << name;
  return t;
}

void click(QWidget& w, const char* name) {
  auto* b = w.findChild<QPushButton*>(QString::fromLatin1(name));
  ASSERT_NE(b, nullptr) << name;
  b->click();
}

TEST_F(SystemSettings, ExitWithoutConfirmWritesTheEditedPlayList) {
  ui::CSystemConfig dialog(state, messages, sdk, device, panes());
  EXPECT_EQ(dialog.windowTitle(), QStringLiteral("系统设置"));
  QTabWidget* tabs = dialog.Tabs();
  ASSERT_EQ(tabs->objectName(), QStringLiteral("Tab1"));
  ASSERT_EQ(tabs->count(), 3);
  EXPECT_EQ(tabs->tabText(0), QStringLiteral("监控点设置"));
  EXPECT_EQ(tabs->tabText(1), QStringLiteral("本地设置"));
  EXPECT_EQ(tabs->tabText(2), QStringLiteral("用户管理"));
  EXPECT_EQ(tabs->currentIndex(), 0);

  ui::CSetSurveillance& page = *dialog.Surveillance();
  CBitmapTree* devices = tree(page, "deviceTree");
  CBitmapTree* list = tree(page, "playList");
  ASSERT_EQ(devices->topLevelItemCount(), 3);
  // Server 1's third channel, then the whole of server 2.
  devices->setCurrentItem(devices->topLevelItem(1)->child(2));
  click(page, "toList");
  devices->setCurrentItem(devices->topLevelItem(2));
  click(page, "toList");
  ASSERT_EQ(list->topLevelItemCount(), 5);
  EXPECT_EQ(list->topLevelItem(0)->text(0), QStringLiteral("srv1(通道2)"));
  EXPECT_EQ(devices->topLevelItem(1)->childCount(), 3);
  EXPECT_EQ(devices->topLevelItem(2)->childCount(), 0);
  list->setCurrentItem(list->topLevelItem(0));
  click(page, "down");
  EXPECT_EQ(list->currentItem(), list->topLevelItem(1));
  EXPECT_EQ(list->topLevelItem(1)->text(0), QStringLiteral("srv1(通道2)"));
  EXPECT_FALSE(std::filesystem::exists(dir.path() / model::kChannelFileName));

  click(dialog, "exit");
  EXPECT_EQ(dialog.result(), QDialog::Rejected);
  model::ServerTable back;
  model::reset_table(back);
  model::PlayList pl;
  ASSERT_TRUE(model::read_channel_cfg(dir.path(), back, pl));
  EXPECT_EQ(back.servers[1].channels[2].play_list_position, 1);
  EXPECT_EQ(back.servers[2].channels[0].play_list_position, 0);
  EXPECT_EQ(state.play_list.count, 5);
  EXPECT_TRUE(messages.shown.empty());
}

TEST_F(SystemSettings, ManagementPageGuardsPanesServersAndRights) {
  ASSERT_TRUE(state.rebuild_play_list({0, 1, 2, 3, 100}, messages));
  showing = {3};
  state.live_views[2] = 1;
  ui::CSetSurveillance page(state, sdk, device, messages, panes());
  int configured = -1;
  page.SetConfigureServer([&](int server) {
    configured = server;
    state.servers.servers[static_cast<std::size_t>(server)].name = u"renamed";
  });
  CBitmapTree* devices = tree(page, "deviceTree");
  CBitmapTree* list = tree(page, "playList");

  list->setCurrentItem(list->topLevelItem(3));
  click(page, "fromList");
  list->setCurrentItem(list->topLevelItem(4));
  click(page, "fromList");
  EXPECT_EQ(list->topLevelItemCount(), 4);
  EXPECT_EQ(devices->topLevelItem(1)->childCount(), 4);
  EXPECT_EQ(devices->currentItem(), devices->topLevelItem(1));  // its server, opened

  devices->setCurrentItem(devices->topLevelItem(0));
  click(page, "configServer");
  EXPECT_EQ(configured, 0);
  EXPECT_EQ(devices->topLevelItem(0)->text(0), QStringLiteral("renamed"));
  EXPECT_EQ(list->topLevelItem(0)->text(0), QStringLiteral("renamed(通道0)"));

  devices->setCurrentItem(devices->topLevelItem(2));  // shown in a pane
  click(page, "deleteServer");
  devices->setCurrentItem(devices->topLevelItem(1));
  click(page, "deleteServer");
  EXPECT_EQ(sdk.logged_out, std::vector<long>{11});
  ASSERT_EQ(devices->topLevelItemCount(), 2);
  EXPECT_EQ(devices->topLevelItem(1)->text(0), QStringLiteral("srv2"));
  EXPECT_EQ(messages.texts(), (std::vector<std::u16string>{
                                  u"请先停止网络预览,然后再从播放列表中移开!",
                                  u"请关闭预览再删除该视频服务器", u"确实要删除该视频服务器吗?"}));

  // An ordinary user without server management: its buttons are disabled.
  state.user.rights = model::kBasicRights | 0x2000000;
  ui::CSetSurveillance plain(state, sdk, device, messages, panes());
  for (const char* name : {"addServer", "deleteServer", "findServer", "status", "timeSync"})
    EXPECT_FALSE(plain.findChild<QPushButton*>(QString::fromLatin1(name))->isEnabled()) << name;
  EXPECT_TRUE(plain.findChild<QPushButton*>(QStringLiteral("restart"))->isEnabled());
}

}  // namespace
