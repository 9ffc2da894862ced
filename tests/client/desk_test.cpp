// The start-up and the desk through their widgets, against the in-process
// simulator: login decisions, the stored-server login, exit, Enter and Escape,
// the layouts and the preview of the first page.
#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QMouseEvent>
#include <QPushButton>
#include <QSlider>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>

#include <cstdio>
#include <functional>

#include "client_test_util.h"
#include "controls/bitmap_tree.h"
#include "controls/color_button.h"
#include "controls/led.h"
#include "demo_workdir.h"
#include "model/config_files.h"
#include "model/users.h"
#include "model_test_util.h"
#include "platform/text.h"
#include "simulator.h"
#include "tavimor_app.h"
#include "ui/i18n.h"
#include "ui/login_dialogs.h"
#include "ui/message_box.h"
#include "velmosdk.h"
#include "wav_test_util.h"

namespace {

using client_test::pump_until;

namespace fs = std::filesystem;
using model_test::Recorder;
using model_test::TempDir;

// Runs f on the first modal dialog once the start-up shows it.
void on_modal(const std::function<void(QWidget*)>& f) {
  auto* timer = new QTimer(qApp);
  QObject::connect(timer, &QTimer::timeout, timer, [timer, f] {
    if (QWidget* w = QApplication::activeModalWidget()) {
      timer->deleteLater();
      timer->stop();
      f(w);
    }
  });
  timer->start(10);
}

constexpr const char* kFleet =
    "device 200000000001 13900000001 111111\n"
    "channel 0 client-monitor-direct\n"
    "channel 1 client-monitor-direct\n"
    "set name east\n"
    "device 200000000002 13900000002 222222\n"
    "channel 0 client-monitor-middle-transfer\n"
    "set name west\n";

class ClientDesk : public ::testing::Test {
 protected:
  void SetUp() override {
    auto fleet = orvsim::parse_fleet(kFleet);
    ASSERT_TRUE(fleet.ok()) << fleet.error;
    fleet_ = *fleet.fleet;
    orvsim::SimulatorOptions o;
    o.fleet = fleet_;
    sim_ = std::make_unique<orvsim::Simulator>(std::move(o));
    ASSERT_TRUE(sim_->start()) << sim_->error();
    demo::DemoOptions d;
    d.auth_port = sim_->http_port();
    ASSERT_TRUE(demo::write_demo_workdir(fleet_, d, dir_.path()));
  }

  std::unique_ptr<CTavimorApp> start() {
    AppOptions o;
    o.working_folder = dir_.path();
    auto app = std::make_unique<CTavimorApp>(o, &messages_);
    EXPECT_TRUE(app->InitInstance());
    return app;
  }

  TempDir dir_;
  Recorder messages_;
  orvsim::Fleet fleet_;
  std::unique_ptr<orvsim::Simulator> sim_;
};

TEST(ClientStartup, FirstStartCreatesTheAdministratorFileAndCancelEndsTheProgram) {
  TempDir dir;
  Recorder messages;
  bool file_while_asking = false;
  QString caption;
  on_modal([&](QWidget* w) {
    file_while_asking = fs::exists(dir.path() / model::kAdminFileName);
    caption = w->windowTitle();
    ASSERT_NE(qobject_cast<ui::CFirstLogin*>(w), nullptr);
    qobject_cast<QDialog*>(w)->reject();
  });
  AppOptions o;
  o.working_folder = dir.path();
  CTavimorApp app(o, &messages);
  EXPECT_FALSE(app.InitInstance());
  EXPECT_TRUE(file_while_asking);
  EXPECT_EQ(caption, QStringLiteral("您是首次进入该系统，请填写登录信息"));
  EXPECT_FALSE(fs::exists(dir.path() / model::kAdminFileName));
  EXPECT_EQ(app.MainWindow(), nullptr);
  EXPECT_EQ(app.State().startup_login_mode, 1);
}

TEST(ClientStartup, LanguageComesFromTheOptionElseTheLocale) {
  struct Case {
    const char* option;
    const char* locale;
    const char* language;  // "" refused
  };
  for (const Case& c : {Case{"", "en_GB", "en"}, Case{"", "de_DE", "en"}, Case{"", "zh_CN", "zh"},
                        Case{"", "zh_TW", "zh"}, Case{"", "C", "zh"}, Case{"", "", "zh"},
                        Case{"", "POSIX", "zh"}, Case{"zh", "en_US", "zh"},
                        Case{"EN", "zh_CN", "en"}, Case{"fr", "en_US", ""}}) {
    EXPECT_EQ(ui::choose_language(QString::fromLatin1(c.option), QString::fromLatin1(c.locale)),
              QString::fromLatin1(c.language))
        << c.option << " " << c.locale;
  }
  // Chinese needs no file; English without its file stays Chinese.
  EXPECT_TRUE(ui::install_language(QStringLiteral("zh"), QStringLiteral("/nonexistent")));
  EXPECT_FALSE(ui::install_language(QStringLiteral("en"), QStringLiteral("/nonexistent")));
  EXPECT_FALSE(ui::english());
  EXPECT_EQ(ui::tx("确定"), QStringLiteral("确定"));
}

TEST(ClientStartup, DesktopWorkingFolderFollowsTheDataHome) {
  struct Case {
    const char* data;
    const char* home;
    const char* folder;
  };
  for (const Case& c :
       {Case{"/data", "/home/u", "/data/brevanta"}, Case{"/data/", "/home/u", "/data/brevanta"},
        Case{nullptr, "/home/u", "/home/u/.local/share/brevanta"},
        Case{"", "/home/u/", "/home/u/.local/share/brevanta"},
        Case{"data", "/home/u", "/home/u/.local/share/brevanta"}, Case{nullptr, nullptr, ""},
        Case{"data", "home", ""}}) {
    EXPECT_EQ(desktop_working_folder(c.data, c.home), fs::path(c.folder))
        << (c.data ? c.data : "(unset)") << " " << (c.home ? c.home : "(unset)");
  }
}

TEST(ClientStartup, DesktopStartMakesItsFolderAndAnExplicitOneWins) {
  TempDir data;
  const QByteArray saved = qgetenv("XDG_DATA_HOME");
  const bool was_set = qEnvironmentVariableIsSet("XDG_DATA_HOME");
  qputenv("XDG_DATA_HOME", QByteArray::fromStdString(data.path().string()));
  const fs::path folder = data.path() / "brevanta";
  for (bool explicit_folder : {false, true}) {
    TempDir given;
    Recorder messages;
    bool asked_in = false;
    on_modal([&](QWidget* w) {
      asked_in = fs::exists((explicit_folder ? given.path() : folder) / model::kAdminFileName);
      qobject_cast<QDialog*>(w)->reject();
    });
    AppOptions o;
    o.desktop = true;
    if (explicit_folder) o.working_folder = given.path();
    CTavimorApp app(o, &messages);
    EXPECT_FALSE(app.InitInstance());
    EXPECT_TRUE(asked_in) << explicit_folder;
    EXPECT_EQ(app.State().working_folder, explicit_folder ? given.path() : folder);
    for (const auto& text : messages.texts()) EXPECT_NE(text, u"无法获取当前目录!");
  }
  if (was_set)
    qputenv("XDG_DATA_HOME", saved);
  else
    qunsetenv("XDG_DATA_HOME");
}

TEST(ClientStartup, AnAdministratorFileAsksForTheLogin) {
  TempDir dir;
  Recorder messages;
  model::UserFiles(dir.path()).write_admin({u"root", u"secret1"});
  QString caption;
  on_modal([&](QWidget* w) {
    caption = w->windowTitle();
    qobject_cast<QDialog*>(w)->reject();
  });
  AppOptions o;
  o.working_folder = dir.path();
  CTavimorApp app(o, &messages);
  EXPECT_FALSE(app.InitInstance());
  EXPECT_EQ(caption, QStringLiteral("登录"));
  EXPECT_EQ(app.State().startup_login_mode, 0);
}

TEST_F(ClientDesk, FlagZeroStartsWithoutLoginAndLogsTheStoredServersIn) {
  // A third stored server the simulator does not know.
  model::ServerTable table;
  model::PlayList list;
  model::read_channel_cfg(dir_.path(), table, list);
  table.servers[2] = table.servers[1];
  table.servers[2].device_id = u"299999999999";
  table.servers[2].name = u"ghost";
  for (auto& c : table.servers[2].channels) c.listed = 0;
  model::write_channel_cfg(dir_.path(), table);

  auto app = start();
  ASSERT_NE(app->MainWindow(), nullptr);
  EXPECT_EQ(app->State().user.rights, model::kAdministrator);
  EXPECT_TRUE(app->SplashShown());
  EXPECT_FALSE(app->Splash()->isVisible());
  const auto& s = app->State().servers.servers;
  EXPECT_GE(s[0].login_handle, 0);
  EXPECT_GE(s[1].login_handle, 0);
  EXPECT_EQ(s[2].login_handle, -1);
  ASSERT_EQ(messages_.texts().size(), 1u);
  EXPECT_EQ(messages_.texts()[0].rfind(u"设备:299999999999", 0), 0u);
  EXPECT_EQ(app->State().play_list.count, 3);

  ui::CTavimorDlg& desk = *app->MainWindow();
  EXPECT_EQ(desk.windowTitle(), QStringLiteral("Brevanta"));
  for (int id :
       {ui::CTavimorDlg::kPlanTimer, ui::CTavimorDlg::kDiskTimer, ui::CTavimorDlg::kPackTimer,
        ui::CTavimorDlg::kReloginTimer, ui::CTavimorDlg::kBitRateTimer})
    EXPECT_TRUE(desk.TimerActive(id)) << id;
  EXPECT_FALSE(desk.TimerActive(ui::CTavimorDlg::kTimeSyncTimer));
  // The tree: every server with its six channels, the ghost included.
  auto* tree = desk.findChild<QTreeWidget*>(QStringLiteral("1554"));
  ASSERT_NE(tree, nullptr);
  ASSERT_EQ(tree->topLevelItemCount(), 3);
  EXPECT_EQ(tree->topLevelItem(0)->text(0), QStringLiteral("east"));
  EXPECT_EQ(tree->topLevelItem(0)->childCount(), 6);
  EXPECT_EQ(tree->topLevelItem(0)->child(1)->text(0), QStringLiteral("通道1"));

  // "系统配置" runs the settings window; what it stored applies afterwards.
  QString caption;
  on_modal([&](QWidget* w) {
    caption = w->windowTitle();
    app->State().settings.time_sync = 1;
    app->State().servers.servers[0].name = u"east-2";
    qobject_cast<QDialog*>(w)->reject();
  });
  desk.findChild<QPushButton*>(QStringLiteral("1089"))->click();
  EXPECT_EQ(caption, QStringLiteral("系统设置"));
  EXPECT_TRUE(desk.TimerActive(ui::CTavimorDlg::kTimeSyncTimer));
  EXPECT_EQ(tree->topLevelItem(0)->text(0), QStringLiteral("east-2"));
}

TEST_F(ClientDesk, ExitAsksRefusesWithoutTheRightAndIgnoresEnterAndEscape) {
  auto app = start();
  ui::CTavimorDlg& desk = *app->MainWindow();
  for (int key : {Qt::Key_Escape, Qt::Key_Return, Qt::Key_Enter}) {
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
    QApplication::sendEvent(&desk, &press);
  }
  EXPECT_TRUE(desk.isVisible());
  EXPECT_TRUE(messages_.shown.empty());

  app->State().user.rights = model::kBasicRights;
  desk.findChild<QPushButton*>(QStringLiteral("1000"))->click();
  EXPECT_EQ(messages_.texts(), std::vector<std::u16string>{std::u16string(model::kNoRight)});
  EXPECT_TRUE(desk.isVisible());

  app->State().user.rights = model::kAdministrator;
  messages_.clear();
  messages_.answers = {model::Answer::kCancel};
  desk.close();  // the window manager's close
  ASSERT_EQ(messages_.shown.size(), 1u);
  EXPECT_EQ(messages_.shown[0].text, u"确定要退出吗?");
  EXPECT_EQ(messages_.shown[0].caption, u"系统提示");
  EXPECT_TRUE(desk.isVisible());

  messages_.answers = {model::Answer::kOk};
  desk.close();
  EXPECT_FALSE(desk.isVisible());
  EXPECT_EQ(desk.result(), QDialog::Rejected);
}

// A termination request while a dialog is open: the dialog gives way, the
// desk exits without its question or right, and Run returns at once.
TEST_F(ClientDesk, TerminationRequestClosesDialogsAndExitsWithoutAsking) {
  auto app = start();
  ui::CTavimorDlg& desk = *app->MainWindow();
  app->State().user.rights = model::kBasicRights & ~model::rights::kExit;
  desk.OnLock();
  bool unlock_returned = false;
  bool still_locked = false;
  on_modal([&](QWidget*) { app->RequestExit(); });
  QTimer::singleShot(0, [&] {
    desk.OnLock();  // the unlock dialog, rejected by the request
    unlock_returned = true;
    still_locked = desk.Desk().locked;
  });
  EXPECT_EQ(app->Run(), 0);  // the desk is gone after this
  EXPECT_TRUE(unlock_returned);
  EXPECT_TRUE(still_locked);
  EXPECT_EQ(app->MainWindow(), nullptr);
  EXPECT_TRUE(messages_.shown.empty());
}

TEST_F(ClientDesk, LayoutsPlaceThePanesAndNeedTheRight) {
  auto app = start();
  ui::CTavimorDlg& desk = *app->MainWindow();
  const model::Rect area = desk.VideoArea();
  auto visible = [&] {
    int n = 0;
    for (int i = 0; i < model::kPanes; ++i) n += desk.Pane(i)->isVisible();
    return n;
  };
  EXPECT_EQ(visible(), 9);
  EXPECT_TRUE(desk.Pane(0)->Selected());
  const QPointF at(5, 5);
  QMouseEvent press(QEvent::MouseButtonPress, at, desk.Pane(4)->mapToGlobal(at), Qt::LeftButton,
                    Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(desk.Pane(4), &press);
  EXPECT_TRUE(desk.Pane(4)->Selected());
  EXPECT_FALSE(desk.Pane(0)->Selected());
  EXPECT_EQ(desk.Desk().selected_pane, 4);
  EXPECT_EQ(desk.Pane(4)->geometry(), QRect(10 + area.width / 3 + 3, 10 + area.height / 3 + 2,
                                            area.width / 3, area.height / 3));
  desk.findChild<QPushButton*>(QStringLiteral("1529"))->click();
  EXPECT_EQ(visible(), 16);
  EXPECT_EQ(desk.findChild<QComboBox*>(QStringLiteral("1074"))->currentText(), "16");
  desk.findChild<QPushButton*>(QStringLiteral("1531"))->click();
  EXPECT_EQ(visible(), 1);
  EXPECT_EQ(desk.Pane(0)->geometry(), QRect(10, 10, area.width, area.height));
  EXPECT_EQ(desk.Desk().selected_pane, 0);
  EXPECT_TRUE(messages_.shown.empty());

  app->State().user.rights = model::kBasicRights & ~model::rights::kSplitScreen;
  desk.findChild<QPushButton*>(QStringLiteral("1528"))->click();
  EXPECT_EQ(visible(), 1);
  EXPECT_EQ(messages_.texts(), std::vector<std::u16string>{std::u16string(model::kNoRight)});
}

TEST_F(ClientDesk, PreviewStartsThePageAndStopStopsEveryPane) {
  auto app = start();
  ui::CTavimorDlg& desk = *app->MainWindow();
  desk.SetPaneStartPause(0);
  auto* button = desk.findChild<QPushButton*>(QStringLiteral("1087"));
  ASSERT_EQ(button->text(), QStringLiteral("预览"));

  button->click();
  EXPECT_FALSE(button->isEnabled());
  ASSERT_TRUE(pump_until([&] { return !desk.PreviewBusy() && button->isEnabled(); }));
  EXPECT_EQ(button->text(), QStringLiteral("停止"));
  EXPECT_TRUE(desk.Desk().previewing);
  for (int i = 0; i < 3; ++i) EXPECT_GE(desk.Pane(i)->PlayHandle(), 0) << i;
  EXPECT_EQ(desk.Pane(3)->PlayHandle(), ui::CMyOutput::kIdle);
  EXPECT_EQ(app->State().live_views[0], 2);
  // Live video reaches the panes.
  EXPECT_TRUE(pump_until([&] {
    for (int i = 0; i < 3; ++i)
      if (desk.Pane(i)->Backend().pictures_received() == 0) return false;
    return true;
  }));

  button->click();
  ASSERT_TRUE(pump_until([&] { return !desk.PreviewBusy() && button->isEnabled(); }));
  EXPECT_EQ(button->text(), QStringLiteral("预览"));
  EXPECT_FALSE(desk.Desk().previewing);
  for (int i = 0; i < model::kPanes; ++i) EXPECT_EQ(desk.Pane(i)->PlayHandle(), -1) << i;
  EXPECT_EQ(app->State().live_views[0], 0);

  // Without the preview right nothing starts.
  app->State().user.rights = model::kBasicRights & ~model::rights::kPreview;
  button->click();
  EXPECT_TRUE(button->isEnabled());
  EXPECT_EQ(messages_.texts().back(), std::u16string(model::kNoRight));
}

TEST_F(ClientDesk, AFailedStartShowsTheFailedPaneAndThePageGoesOn) {
  auto app = start();
  ui::CTavimorDlg& desk = *app->MainWindow();
  desk.SetPaneStartPause(0);
  // Entries of a device that is not logged in, as the management page lists them.
  for (int i : {0, 1})
    app->State().play_list.entries[static_cast<std::size_t>(i)].login_handle = -1;
  desk.OnPreview();
  ASSERT_TRUE(pump_until([&] { return !desk.PreviewBusy(); }));
  EXPECT_EQ(desk.Pane(0)->PlayHandle(), ui::CMyOutput::kFailed);
  EXPECT_EQ(desk.Pane(1)->PlayHandle(), ui::CMyOutput::kFailed);
  EXPECT_GE(desk.Pane(2)->PlayHandle(), 0);
  const auto events = app->State().events.events();
  ASSERT_EQ(events.size(), 2u);
  EXPECT_EQ(events[0].text.rfind(u"访问IP:200000000001 通道0 连接启动失败 dwErr = ", 0), 0u);
  const QImage shot = desk.Pane(0)->grab().toImage();
  EXPECT_FALSE(shot.isNull());
}

}  // namespace

namespace {

void mouse(QWidget* w, QEvent::Type type, Qt::MouseButton button) {
  const QPointF at(5, 5);
  QMouseEvent e(type, at, w->mapToGlobal(at), button, button, Qt::NoModifier);
  QApplication::sendEvent(w, &e);
}

QAction* menu_item(QMenu* menu, int id) {
  return menu->findChild<QAction*>(QString::number(id));
}

class ClientDeskLive : public ClientDesk {
 protected:
  // The desk with the first page previewing at page size n.
  std::unique_ptr<CTavimorApp> preview(int n) {
    auto app = start();
    desk_ = app->MainWindow();
    desk_->SetPaneStartPause(0);
    desk_->SelectLayout(n);
    desk_->OnPreview();
    EXPECT_TRUE(pump_until([&] { return !desk_->PreviewBusy(); }));
    return app;
  }
  ui::CTavimorDlg* desk_ = nullptr;
};

TEST_F(ClientDeskLive, PaneMenuSoundAndStop) {
  auto app = preview(4);
  ui::CTavimorDlg& desk = *desk_;
  // An idle pane opens no menu and is not selected by the right button.
  mouse(desk.Pane(3), QEvent::MouseButtonPress, Qt::RightButton);
  EXPECT_EQ(desk.PaneMenu(), nullptr);
  EXPECT_EQ(desk.Desk().selected_pane, 0);

  mouse(desk.Pane(2), QEvent::MouseButtonPress, Qt::RightButton);
  QMenu* menu = desk.PaneMenu();
  ASSERT_NE(menu, nullptr);
  EXPECT_EQ(desk.Desk().selected_pane, 2);
  struct Item {
    int id;
    const char* caption;
    bool enabled;
  };
  for (const Item& i : {Item{32771, "暂停循环", false}, Item{32772, "下一页", false},
                        Item{32773, "上一页", false}, Item{32774, "打开声音", true},
                        Item{32775, "多窗口全屏", true}, Item{32778, "报警输出", false},
                        Item{32781, "停止预览", true}, Item{32782, "设置预置位", true}}) {
    QAction* a = menu_item(menu, i.id);
    ASSERT_NE(a, nullptr) << i.id;
    EXPECT_EQ(a->text(), QString::fromUtf8(i.caption)) << i.id;
    EXPECT_EQ(a->isEnabled(), i.enabled) << i.id;
  }
  menu->close();

  // Sound in pane 0, then pane 2: only pane 2 is heard.
  desk.SelectPane(0);
  desk.ToggleSound();
  desk.SelectPane(2);
  desk.ToggleSound();
  EXPECT_FALSE(desk.Pane(0)->SoundOn());
  EXPECT_TRUE(desk.Pane(2)->SoundOn());
  EXPECT_EQ(menu_item(desk.BuildPaneMenu(2), 32774)->text(), QStringLiteral("关闭声音"));

  // "停止预览" on each pane; the last one puts the button back.
  for (int i : {0, 1, 2}) menu_item(desk.BuildPaneMenu(i), 32781)->trigger();
  EXPECT_FALSE(desk.Pane(2)->SoundOn());
  EXPECT_EQ(desk.Pane(1)->PlayHandle(), ui::CMyOutput::kIdle);
  EXPECT_EQ(desk.findChild<QPushButton*>(QStringLiteral("1087"))->text(), QStringLiteral("预览"));
}

TEST_F(ClientDeskLive, DoubleClicksEnlargeThenFillTheScreenThenReturn) {
  auto app = preview(4);
  ui::CTavimorDlg& desk = *desk_;
  const model::Rect area = desk.VideoArea();
  mouse(desk.Pane(1), QEvent::MouseButtonDblClick, Qt::LeftButton);
  EXPECT_TRUE(desk.Desk().enlarged);
  EXPECT_EQ(desk.Pane(1)->geometry(), QRect(10, 10, area.width, area.height));
  EXPECT_FALSE(desk.Pane(0)->isVisible());
  mouse(desk.Pane(1), QEvent::MouseButtonDblClick, Qt::LeftButton);
  EXPECT_TRUE(desk.Desk().single_full_screen);
  EXPECT_EQ(desk.Pane(1)->geometry(), QRect(0, 0, desk.width(), desk.height()));
  EXPECT_FALSE(desk.findChild<QWidget*>(QStringLiteral("commands"))->isVisible());
  mouse(desk.Pane(1), QEvent::MouseButtonDblClick, Qt::LeftButton);
  EXPECT_FALSE(desk.Desk().single_full_screen);
  EXPECT_FALSE(desk.Desk().enlarged);
  EXPECT_TRUE(desk.findChild<QWidget*>(QStringLiteral("commands"))->isVisible());
  for (int i = 0; i < 4; ++i) EXPECT_TRUE(desk.Pane(i)->isVisible()) << i;
  EXPECT_EQ(desk.Desk().selected_pane, 1);
  // An idle pane only takes the selection.
  mouse(desk.Pane(3), QEvent::MouseButtonDblClick, Qt::LeftButton);
  EXPECT_FALSE(desk.Desk().enlarged);
  EXPECT_EQ(desk.Desk().selected_pane, 3);
}

TEST_F(ClientDeskLive, PagesTurnThroughThePlayList) {
  auto app = preview(1);
  ui::CTavimorDlg& desk = *desk_;
  auto shown = [&] { return desk.Pane(0)->Channel() + 10 * int(desk.Pane(0)->LoginHandle()); };
  const int first = shown();
  EXPECT_TRUE(menu_item(desk.BuildPaneMenu(0), 32772)->isEnabled());
  EXPECT_FALSE(menu_item(desk.BuildPaneMenu(0), 32773)->isEnabled());
  desk.NextPage();
  ASSERT_TRUE(pump_until([&] { return !desk.PreviewBusy(); }));
  const int second = shown();
  EXPECT_NE(second, first);
  desk.NextPage();
  ASSERT_TRUE(pump_until([&] { return !desk.PreviewBusy(); }));
  EXPECT_FALSE(desk.Desk().next_page_available);
  desk.NextPage();  // the end: nothing
  EXPECT_FALSE(desk.PreviewBusy());
  desk.PreviousPage();
  ASSERT_TRUE(pump_until([&] { return !desk.PreviewBusy(); }));
  EXPECT_EQ(shown(), second);
  EXPECT_GE(desk.Pane(0)->PlayHandle(), 0);
}

// Cycling with page size 1 over the three entries: each cycle-timer tick shows
// the next entry, a pause holds the page, resuming turns it at once, and
// stop-all ends the thread.
TEST_F(ClientDeskLive, CyclingTurnsPagesPausesAndStops) {
  auto app = start();
  desk_ = app->MainWindow();
  ui::CTavimorDlg& desk = *desk_;
  desk.SetPaneStartPause(0);
  app->State().settings.cycle_play = 1;
  app->State().settings.cycle_time = 30;
  desk.SelectLayout(1);
  desk.OnPreview();
  ASSERT_TRUE(pump_until([&] { return desk.TimerActive(ui::CTavimorDlg::kCycleTimer); }));
  EXPECT_TRUE(desk.Desk().cycling);
  EXPECT_TRUE(desk.CyclingThreadRunning());
  auto shown = [&] { return desk.Pane(0)->Channel() + 10 * int(desk.Pane(0)->LoginHandle()); };
  const int first = shown();
  EXPECT_GE(desk.Pane(0)->PlayHandle(), 0);
  desk.SelectLayout(4);
  EXPECT_EQ(messages_.texts().back(), std::u16string(model::kStopCyclingFirst));
  EXPECT_FALSE(menu_item(desk.BuildPaneMenu(0), 32772)->isEnabled());
  EXPECT_TRUE(menu_item(desk.BuildPaneMenu(0), 32771)->isEnabled());

  desk.RunTimer(ui::CTavimorDlg::kCycleTimer);
  ASSERT_TRUE(pump_until([&] { return desk.TimerActive(ui::CTavimorDlg::kCycleTimer); }));
  const int second = shown();
  EXPECT_NE(second, first);

  QTest::keyClick(desk.Pane(0), Qt::Key_Space);  // as "暂停循环"
  EXPECT_TRUE(desk.Desk().cycle_paused);
  EXPECT_FALSE(desk.TimerActive(ui::CTavimorDlg::kCycleTimer));
  EXPECT_EQ(menu_item(desk.BuildPaneMenu(0), 32771)->text(), QStringLiteral("开始循环"));
  desk.PauseCycling();  // the next page at once
  ASSERT_TRUE(pump_until([&] { return desk.TimerActive(ui::CTavimorDlg::kCycleTimer); }));
  EXPECT_NE(shown(), second);
  EXPECT_EQ(desk.Desk().cycle_position, 0);  // wrapped after the third entry

  desk.StopAll();
  EXPECT_FALSE(desk.CyclingThreadRunning());
  EXPECT_FALSE(desk.TimerActive(ui::CTavimorDlg::kCycleTimer));
  EXPECT_FALSE(desk.Desk().cycling);
  ASSERT_TRUE(pump_until([&] { return !desk.PreviewBusy(); }));
  EXPECT_EQ(desk.Pane(0)->PlayHandle(), ui::CMyOutput::kIdle);
}

// A channel double-clicked in the tree plays in the selected pane; a server
// item does nothing; a full play list refuses.
TEST_F(ClientDeskLive, TreeDoubleClickShowsTheChannelInTheSelectedPane) {
  auto app = start();
  ui::CTavimorDlg& desk = *app->MainWindow();
  QTreeWidgetItem* west = desk.DeviceTree()->topLevelItem(1);
  ASSERT_NE(west, nullptr);
  desk.SelectPane(3);
  desk.OnTreeDoubleClick(west);
  EXPECT_FALSE(desk.PreviewBusy());
  desk.OnTreeDoubleClick(west->child(0));
  ASSERT_TRUE(pump_until([&] { return !desk.PreviewBusy(); }));
  EXPECT_GE(desk.Pane(3)->PlayHandle(), 0);
  EXPECT_EQ(desk.Pane(3)->Address(), QStringLiteral("200000000002"));
  EXPECT_TRUE(desk.Desk().previewing);
  EXPECT_EQ(desk.findChild<QPushButton*>(QStringLiteral("1087"))->text(), QStringLiteral("停止"));
  EXPECT_TRUE(pump_until([&] { return desk.Pane(3)->Backend().pictures_received() > 0; }));

  app->State().play_list.count = model::kPlayListSize;
  desk.OnTreeDoubleClick(west->child(0));
  EXPECT_EQ(messages_.texts().back(), u"最多可添加512路,路数达到最大!");
}

// The keys run the commands of their buttons, each through its rights check:
// refused with the button's message, done with the right.
TEST_F(ClientDeskLive, KeysRunTheirCommandsThroughTheirRights) {
  auto app = preview(1);  // three entries, one pane: pages to turn
  ui::CTavimorDlg& desk = *desk_;
  desk.show();
  QApplication::setActiveWindow(&desk);
  auto& rights = app->State().user.rights;
  QWidget* pane = desk.Pane(0);
  ASSERT_TRUE(pump_until([&] { return desk.Pane(0)->Backend().pictures_received() > 0; }));
  const std::size_t ptz_before = sim_->devices().log().ptz().size();
  struct Case {
    const char* name;
    std::function<void()> press;
    std::uint32_t right;
    std::function<bool()> done;
  };
  const int offset = desk.Desk().play_list_offset;
  const Case cases[] = {
      {"Page Down", [&] { QTest::keyClick(desk.Pane(0), Qt::Key_PageDown); },
       model::rights::kSplitScreen, [&] { return desk.Desk().play_list_offset != offset; }},
      {"arrow up held",
       [&] {
         QTest::keyPress(desk.Pane(0), Qt::Key_Up);
         QTest::keyRelease(desk.Pane(0), Qt::Key_Up);
       },
       model::rights::kPtz,
       [&] {
         // Tilt up, then stop: the pad's press and release.
         return sim_->devices().log().wait_until(
             [&](const auto& l) { return l.ptz().size() >= ptz_before + 2; }, 1500);
       }},
      {"Ctrl+2", [&] { QTest::keyClick(pane, Qt::Key_2, Qt::ControlModifier); },
       model::rights::kSplitScreen, [&] { return desk.Desk().page_size == 4; }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    ASSERT_TRUE(pump_until([&] { return !desk.PreviewBusy(); }));
    rights = static_cast<std::int32_t>(~c.right);
    const std::size_t before = messages_.texts().size();
    c.press();
    EXPECT_GT(messages_.texts().size(), before);
    EXPECT_FALSE(c.done());
    rights = model::kAdministrator;
    const std::size_t said = messages_.texts().size();
    c.press();
    EXPECT_TRUE(pump_until([&] { return !desk.PreviewBusy() && c.done(); }));
    EXPECT_EQ(messages_.texts().size(), said);
  }
  // Keys without a right of their own: full screen, back, the overlay.
  desk.SelectLayout(1);
  ASSERT_GE(desk.Pane(0)->PlayHandle(), 0);
  desk.SelectPane(0);
  QTest::keyClick(desk.Pane(0), Qt::Key_F11);
  EXPECT_TRUE(desk.Desk().single_full_screen);
  EXPECT_EQ(desk.Pane(0)->geometry(), QRect(0, 0, desk.width(), desk.height()));
  QTest::keyClick(desk.Pane(0), Qt::Key_Escape);
  EXPECT_FALSE(desk.Desk().single_full_screen);
  EXPECT_TRUE(desk.findChild<QWidget*>(QStringLiteral("commands"))->isVisible());
  QTest::keyClick(desk.Pane(0), Qt::Key_I, Qt::ControlModifier);
  EXPECT_TRUE(desk.HealthOverlayOn());
  EXPECT_TRUE(desk.Pane(0)->HealthOverlay());
}

// A tree channel dropped onto a pane plays there under the double click's
// rules; a pane dropped onto another swaps what they show.
TEST_F(ClientDeskLive, DropAndSwapPanes) {
  auto app = preview(4);
  ui::CTavimorDlg& desk = *desk_;
  auto who = [&](int i) {
    return desk.Pane(i)->Address() + QString::number(desk.Pane(i)->Channel());
  };
  ASSERT_GE(desk.Pane(2)->PlayHandle(), 0);
  const QString a = who(0), b = who(1);
  desk.SwapPanes(0, 1);
  ASSERT_TRUE(pump_until([&] { return !desk.PreviewBusy(); }));
  EXPECT_EQ(who(0), b);
  EXPECT_EQ(who(1), a);
  EXPECT_EQ(desk.Desk().selected_pane, 1);
  // Onto an idle pane: a move.
  desk.SwapPanes(1, 3);
  ASSERT_TRUE(pump_until([&] { return !desk.PreviewBusy(); }));
  EXPECT_EQ(who(3), a);
  EXPECT_EQ(desk.Pane(1)->PlayHandle(), ui::CMyOutput::kIdle);
  EXPECT_TRUE(pump_until([&] { return desk.Pane(3)->Backend().pictures_received() > 0; }));

  // The tree's drag data dropped on pane 1: west's channel 0.
  QMimeData mime;
  mime.setData(QString::fromLatin1(CBitmapTree::kItemMime), "1 0");
  QDropEvent drop(QPointF(20, 20), Qt::MoveAction, &mime, Qt::LeftButton, Qt::NoModifier);
  // Delivered as the window system would, past QApplication (which passes
  // drop events on only while its own drag runs).
  static_cast<QObject*>(desk.Pane(1))->event(&drop);
  ASSERT_TRUE(pump_until([&] { return !desk.PreviewBusy(); }));
  EXPECT_EQ(who(1), QStringLiteral("2000000000020"));
  EXPECT_GE(desk.Pane(1)->PlayHandle(), 0);

  app->State().user.rights = model::kBasicRights & ~model::rights::kShowChannel;
  const QString before = who(0);
  desk.SwapPanes(0, 3);
  desk.DropChannel(0, 0, 1);
  EXPECT_FALSE(desk.PreviewBusy());
  EXPECT_EQ(who(0), before);
  EXPECT_EQ(messages_.texts().size(), 2u);
}

// The overlay's figures against what the simulator sends, an interrupted
// stream shown after the threshold and gone once frames flow, and a device
// whose every pane lost its stream logged going and coming back.
TEST_F(ClientDeskLive, HealthFiguresStallAndDeviceEvents) {
  auto app = preview(4);
  ui::CTavimorDlg& desk = *desk_;
  desk.ToggleHealthOverlay();
  ui::CMyOutput* pane = desk.Pane(0);
  ASSERT_TRUE(pump_until([&] { return pane->Backend().pictures_received() > 0; }));
  const orvsim::ChannelKey key{pane->Address().toStdString(), pane->Channel()};
  auto& log = sim_->devices().log();
  // Over four seconds of ticks.
  QElapsedTimer t;
  t.start();
  const auto sent0 = log.stats(key);
  pump_until([] { return false; }, 4000);
  const auto sent1 = log.stats(key);
  const double secs = static_cast<double>(t.elapsed()) / 1000.0;
  const double fps = static_cast<double>(sent1.frames - sent0.frames) / secs;
  const double kbps = static_cast<double>(sent1.bytes - sent0.bytes) * 8 / 1000 / secs;
  const model::PaneHealth& h = pane->Health();
  std::printf("[ measure  ] shown %.1f fps %.0f kbit/s, sent %.1f fps %.0f kbit/s\n", h.fps, h.kbps,
              fps, kbps);
  EXPECT_NEAR(h.fps, fps, fps * 0.25 + 1) << "sent " << fps;
  EXPECT_NEAR(h.kbps, kbps, kbps * 0.3 + 1) << "sent " << kbps;
  EXPECT_EQ(h.connect, u"直连");
  // The relayed pane may still be connecting on a slow machine.
  EXPECT_TRUE(pump_until([&] { return desk.Pane(2)->Health().connect == u"中转"; }, 10000));
  EXPECT_GE(h.since_picture_ms, 0);
  EXPECT_LT(h.since_picture_ms, 1500);
  EXPECT_EQ(h.reconnects, 0);

  sim_->devices().inject(key.i2c, key.channel, orvsim::MediaFault::stop_sending);
  const auto now = [] { return static_cast<std::int64_t>(platform::tick_ms64()); };
  EXPECT_FALSE(pane->Stalled(now()));
  ASSERT_TRUE(pump_until([&] { return pane->Stalled(now()); }, 8000));
  EXPECT_GT(now() - pane->LastPictureMs(), model::kStallMs);
  sim_->devices().inject(key.i2c, key.channel, orvsim::MediaFault::resume_sending);
  EXPECT_TRUE(pump_until([&] { return !pane->Stalled(now()); }, 8000));

  // West's only pane loses its sessions until the device serves again.
  ui::CMyOutput* west = desk.Pane(2);
  sim_->devices().inject(west->Address().toStdString(), 0, orvsim::MediaFault::close_control,
                         100000);
  auto logged = [&](const std::u16string& text) {
    for (const auto& e : app->State().events.events())
      if (e.text == text) return true;
    return false;
  };
  EXPECT_TRUE(pump_until([&] { return logged(u"设备 west 失去连接"); }, 15000));
  sim_->devices().faults().clear();
  EXPECT_TRUE(pump_until([&] { return logged(u"设备 west 恢复连接"); }, 30000));
  EXPECT_GE(west->Health().reconnects, 1);
  EXPECT_FALSE(logged(u"设备 east 失去连接"));
}

// WM_USER + 1 on the desk's handle: the notice goes into the event log, a
// preview exception stops that device's panes, an alarm exception lights its
// slots; other codes are ignored.
TEST_F(ClientDeskLive, ExceptionMessagesLogStopAndLight) {
  auto app = preview(4);
  ui::CTavimorDlg& desk = *desk_;
  const long east = desk.Pane(0)->LoginHandle();
  ASSERT_GE(east, 0);
  desk.SetAlarmSlot(5, east);
  // The lit light sounds the alarm file.
  struct CountingSound : ui::SoundDevice {
    explicit CountingSound(std::size_t& n) : played(n) {}
    bool open(int) override { return true; }
    void close() override {}
    std::size_t write(std::span<const std::int16_t> s) override {
      return played += s.size(), s.size();
    }
    std::size_t& played;
  };
  std::size_t played = 0;
  desk.SetAlarmSound(std::make_unique<ui::AlarmSound>(std::make_unique<CountingSound>(played)));
  const fs::path wav = dir_.path() / "alarm.wav";
  model_test::write_file(wav, model_test::pcm16_wav(1, 8000, std::vector<std::int16_t>(800, 7)));
  app->State().settings.alarm_sound = 1;
  app->State().settings.alarm_sound_file = ui::u16(QString::fromStdString(wav.string()));
  PostMessage(desk.Hwnd(), WM_USER + 1, 12345, east);
  PostMessage(desk.Hwnd(), WM_USER + 1, 32770, east);
  PostMessage(desk.Hwnd(), WM_USER + 1, 32771, east);
  ASSERT_TRUE(pump_until([&] { return app->State().events.count() == 2; }));
  const auto events = app->State().events.events();
  EXPECT_EQ(events[0].text, u"报警上传时网络异常!!!");
  EXPECT_EQ(events[1].text, u"网络预览时网络异常!!!");
  EXPECT_EQ(desk.findChild<CLedIndicator*>(QStringLiteral("1047"))->GetState(),
            CLedIndicator::State::On);
  EXPECT_TRUE(pump_until([&] { return played == 800; }, 5000)) << played;
  for (int i = 0; i < 3; ++i)
    EXPECT_EQ(desk.Pane(i)->PlayHandle() >= 0, desk.Pane(i)->LoginHandle() != east) << i;

  // "事件日志" lists the two events, "保存日志" writes them into the log folder and
  // empties the list; afterwards the lit light is back to normal.
  int rows_before = -1, rows_after = -1;
  on_modal([&](QWidget* w) {
    auto* list = w->findChild<QTreeWidget*>(QStringLiteral("List1"));
    rows_before = list->topLevelItemCount();
    w->findChild<QPushButton*>(QStringLiteral("save"))->click();
    rows_after = list->topLevelItemCount();
    qobject_cast<QDialog*>(w)->reject();
  });
  desk.findChild<QPushButton*>(QStringLiteral("1021"))->click();
  EXPECT_EQ(rows_before, 2);
  EXPECT_EQ(rows_after, 0);
  EXPECT_EQ(app->State().events.count(), 0);
  const fs::path log_folder = model::path_from_text(app->State().settings.log_folder,
                                                    app->State().drives.drives, dir_.path());
  int files = 0;
  for (const auto& f : fs::directory_iterator(log_folder))
    files += f.path().filename().string().rfind("EventFile_", 0) == 0;
  EXPECT_EQ(files, 1);
  EXPECT_EQ(desk.findChild<CLedIndicator*>(QStringLiteral("1047"))->GetState(),
            CLedIndicator::State::Normal);
}

// A directly dialled device drops its sessions: the pane says it reconnects
// instead of freezing, the desk logs the reconnect, and video comes back once
// the device serves again.
TEST_F(ClientDeskLive, ALostStreamShowsReconnectingUntilVideoReturns) {
  auto app = preview(4);
  ui::CTavimorDlg& desk = *desk_;
  ui::CMyOutput* pane = desk.Pane(0);
  ASSERT_TRUE(pump_until([&] { return pane->Backend().pictures_received() > 0; }));
  const std::string i2c = pane->Address().toStdString();
  sim_->devices().inject(i2c, pane->Channel(), orvsim::MediaFault::close_control, 1);
  ASSERT_TRUE(pump_until([&] { return !pane->StreamStatus().isEmpty(); }));
  EXPECT_EQ(pane->StreamStatus(), QStringLiteral("网络中断，正在重新连接…"));
  ASSERT_TRUE(pump_until([&] { return app->State().events.count() > 0; }));
  EXPECT_EQ(app->State().events.events()[0].text, u"预览时网络重连!!!");
  EXPECT_GE(pane->PlayHandle(), 0);
  const auto pictures = pane->Backend().pictures_received();
  ASSERT_TRUE(pump_until([&] { return pane->Backend().pictures_received() > pictures; }));
  pane->repaint();
  EXPECT_TRUE(pane->StreamStatus().isEmpty());
}

// The 60-second re-login gives a server that lost its handle a new one, and a
// login still waiting on a stalled server does not hold up the exit.
TEST_F(ClientDesk, ReloginRestoresALostHandleAndNeverHoldsUpTheExit) {
  auto app = start();
  ui::CTavimorDlg& desk = *app->MainWindow();
  auto& st = app->State();
  EXPECT_TRUE(desk.TimerActive(ui::CTavimorDlg::kReloginTimer));
  const long kept = st.servers.servers[0].login_handle;
  {
    std::lock_guard lock(st.table_mutex);
    st.servers.servers[1].login_handle = -1;
  }
  desk.RunTimer(ui::CTavimorDlg::kReloginTimer);
  ASSERT_TRUE(pump_until([&] {
    std::lock_guard lock(st.table_mutex);
    return st.servers.servers[1].login_handle >= 0;
  }));
  EXPECT_EQ(st.servers.servers[0].login_handle, kept);

  {
    std::lock_guard lock(st.table_mutex);
    st.servers.servers[1].login_handle = -1;
  }
  const std::size_t before = sim_->log().size();
  sim_->faults().for_path("/query", orvsim::Fault::Stall());
  ASSERT_TRUE(pump_until([&] {
    desk.RunTimer(ui::CTavimorDlg::kReloginTimer);
    return sim_->log().size() > before;
  }));
  QElapsedTimer t;
  t.start();
  app->ExitInstance();
  app.reset();
  EXPECT_LT(t.elapsed(), 5000);
}

TEST_F(ClientDesk, PtzPadInCreationOrderAndItsRights) {
  auto app = start();
  ui::CTavimorDlg& desk = *app->MainWindow();
  const auto& pad = desk.PtzPad();
  ASSERT_EQ(pad.size(), 25u);
  for (std::size_t i = 1; i < pad.size(); ++i) EXPECT_EQ(pad[i]->Index(), pad[0]->Index() + int(i));
  EXPECT_EQ(pad[0]->objectName(), QStringLiteral("1012"));
  EXPECT_EQ(pad[0]->toolTip(), QStringLiteral("向上"));
  EXPECT_EQ(pad[20]->objectName(), QStringLiteral("1531"));
  EXPECT_EQ(pad[24]->objectName(), QStringLiteral("1526"));

  app->State().user.rights = model::kBasicRights;
  pad[4]->pressed();
  pad[4]->released();
  pad[12]->pressed();  // no command, no right needed
  EXPECT_EQ(messages_.texts(), (std::vector<std::u16string>{u"对不起,您无权限进行这项操作",
                                                            u"对不起，你无权限进行这项操作!"}));
}

}  // namespace

namespace {

struct FixedClock : model::Clock {
  model::LocalTime now{2026, 3, 2, 10, 15, 30, 1};
  model::LocalTime local_now() override { return now; }
  std::int64_t seconds_now() override { return 1'772'446'530; }
};
struct PlentySpace : model::SpaceSource {
  std::optional<std::uint64_t> available(const fs::path&) override { return 1ull << 40; }
};

TEST_F(ClientDeskLive, RecordingSnapshotAndLights) {
  FixedClock clock;
  PlentySpace space;
  auto app = preview(4);
  ui::CTavimorDlg& desk = *desk_;
  desk.SetClock(&clock);
  desk.SetSpace(&space);
  auto& st = app->State();
  const fs::path drive = dir_.path() / "drive-d";
  fs::create_directories(drive);
  st.drives.drives = {{'D', drive}};
  st.drives.current = 0;
  st.settings.start_drive = st.settings.end_drive = 0;
  st.settings.snapshot_folder = platform::u16_from_utf8((dir_.path() / "shots").string());

  // An operator records a pane that shows video.
  ASSERT_TRUE(pump_until([&] { return desk.Pane(1)->Backend().pictures_received() > 0; }));
  desk.SelectPane(1);  // east, channel 1
  desk.findChild<QPushButton*>(QStringLiteral("1081"))->click();
  ASSERT_TRUE(desk.Pane(1)->Recording());
  auto* light = desk.findChild<CLedIndicator*>(QStringLiteral("1027"));
  EXPECT_TRUE(pump_until([&] { return light->GetState() == CLedIndicator::State::On; }));
  const fs::path file = drive / "H264record" / "2026-03-02" / "200000000001_01_20260302_101530.264";
  EXPECT_TRUE(pump_until([&] { return fs::exists(file) && fs::file_size(file) > 0; }, 10000));

  std::vector<fs::path> shown;
  desk.SetPictureViewer([&](const fs::path& p) { shown.push_back(p); });
  desk.findChild<QPushButton*>(QStringLiteral("1084"))->click();
  ASSERT_EQ(shown.size(), 1u);
  EXPECT_EQ(shown[0].parent_path(), dir_.path() / "shots");
  EXPECT_EQ(shown[0].filename().string().rfind("Picture_", 0), 0u);

  // Stopping the pane ends the recording first; its light goes off.
  desk.StopPane(1);
  EXPECT_FALSE(desk.Pane(1)->Recording());
  EXPECT_TRUE(pump_until([&] { return light->GetState() == CLedIndicator::State::Off; }));
  EXPECT_TRUE(messages_.shown.empty());
}

TEST_F(ClientDesk, LockUnlockAndSliderRights) {
  model::UserFiles files(dir_.path());
  files.write_admin({u"root", u"secret1"});
  files.write_user({u"li", u"4321", u"", model::kBasicRights});
  auto app = start();
  ui::CTavimorDlg& desk = *app->MainWindow();
  auto* preview_button = desk.findChild<QPushButton*>(QStringLiteral("1087"));
  desk.OnLock();
  EXPECT_TRUE(desk.Desk().locked);
  EXPECT_FALSE(preview_button->isEnabled());
  EXPECT_TRUE(desk.findChild<QPushButton*>(QStringLiteral("1000"))->isEnabled());

  on_modal([](QWidget* w) {
    w->findChild<QLineEdit*>(QStringLiteral("name"))->setText(QStringLiteral("li"));
    w->findChild<QLineEdit*>(QStringLiteral("password"))->setText(QStringLiteral("4321"));
    w->findChild<QPushButton*>(QStringLiteral("ok"))->click();
  });
  desk.OnLock();
  EXPECT_FALSE(desk.Desk().locked);
  EXPECT_TRUE(preview_button->isEnabled());
  EXPECT_EQ(app->State().user.rights, model::kBasicRights);

  // The ordinary user may not move the image sliders.
  auto* brightness = desk.findChild<QSlider*>(QStringLiteral("1083"));
  brightness->setValue(200);
  EXPECT_EQ(brightness->value(), 127);
  EXPECT_EQ(messages_.texts(), std::vector<std::u16string>{u"对不起，您无权限进行该操作！"});
}

}  // namespace
