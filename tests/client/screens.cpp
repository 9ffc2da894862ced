// client_screens FLEET OUTDIR: opens the client's windows in their states
// against the in-process simulator and writes one PNG per state into OUTDIR.
// scripts/screens.sh runs it under Xvfb (xcb, 1920x1080x24).
#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QMenu>
#include <QMouseEvent>
#include <QPixmap>
#include <QPushButton>
#include <QScreen>
#include <QWheelEvent>

#include <cstdio>
#include <filesystem>
#include <functional>
#include <random>
#include <string>

#include <stdlib.h>

#include "client_test_util.h"
#include "controls/skin.h"
#include "demo_workdir.h"
#include "model/user_dialogs.h"
#include "model/users.h"
#include "platform/clock.h"
#include "platform/drives.h"
#include "screens_util.h"
#include "simulator.h"
#include "tavimor_app.h"
#include "ui/about_dialog.h"
#include "ui/add_server_dialog.h"
#include "ui/login_dialogs.h"
#include "ui/sdk_login.h"

namespace fs = std::filesystem;

namespace {

using client_test::pump_until;
using screens::double_click;
using screens::fresh_folder;
using screens::PrintingSink;
using screens::save;
using screens::save_screen;

// Previews the play list at page size n and waits for video in every pane
// that started.
bool preview_live(ui::CTavimorDlg& desk, int n) {
  desk.StopAll();
  pump_until([&] { return !desk.PreviewBusy(); }, 10000);
  desk.SelectLayout(n);
  desk.SetPaneStartPause(100);
  desk.OnPreview();
  pump_until([&] { return !desk.PreviewBusy(); }, 30000);
  const bool live = pump_until(
      [&] {
        for (int i = 0; i < n; ++i) {
          ui::CMyOutput* p = desk.Pane(i);
          if (p->PlayHandle() >= 0 && p->Backend().pictures_received() == 0) return false;
        }
        return true;
      },
      30000);
  if (!live) std::printf("not every pane of %d showed video in time\n", n);
  pump_until([] { return false; }, 1000);
  return live;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3 || (argc > 3 && std::string_view(argv[3]) != "en")) {
    std::fprintf(stderr, "usage: client_screens FLEET OUTDIR [en]\n");
    return 2;
  }
  QApplication qapp(argc, argv);
  skin::apply_application_style();
  // In English each picture is also checked for texts left in Chinese.
  if (argc > 3 && !ui::install_language(QStringLiteral("en"), skin::folder())) {
    std::fprintf(stderr, "no English translation in %s\n", skin::folder().toUtf8().constData());
    return 1;
  }
  const fs::path out = argv[2];
  fs::create_directories(out);
  const fs::path work = out / "work";
  // The client's drives ("C:\", "D:\") are scratch folders of the run.
  fs::create_directories(work / "drive-c");
  fs::create_directories(work / "drive-d");
  ::setenv(platform::kDrivesEnv,
           ((work / "drive-c").string() + ":" + (work / "drive-d").string()).c_str(), 1);
  int failures = 0;
  PrintingSink sink;

  auto fleet = orvsim::load_fleet(argv[1]);
  if (!fleet.ok()) {
    std::fprintf(stderr, "%s: %s\n", argv[1], fleet.error.c_str());
    return 1;
  }
  // A ninth device the simulator does not know: its login fails at start, and
  // its channel, put into the play list as the management page does, shows
  // the failed picture.
  orvsim::SimDevice lost;
  lost.i2c = "100000000009";
  lost.tel = "13800000009";
  lost.password = "999999";
  lost.channels.push_back({});
  lost.settings["name"] = "van-9";
  orvsim::Fleet fleet9 = *fleet.fleet;
  fleet9.devices.push_back(lost);
  orvsim::SimulatorOptions sim_options;
  sim_options.fleet = *fleet.fleet;
  orvsim::Simulator sim(std::move(sim_options));
  if (!sim.start()) {
    std::fprintf(stderr, "simulator: %s\n", sim.error().c_str());
    return 1;
  }

  {
    const fs::path dir = fresh_folder(work, "users");
    const model::UserFiles files(dir);
    files.write_admin({u"admin", u"admin123"});
    files.write_user({screens::demo_user(), u"1234", u"13900001111", model::kBasicRights});
    model::CurrentUser user;
    model::UserDialogs controller(files, user, sink);

    ui::CFirstLogin first(controller);
    first.show();
    first.findChild<QLineEdit*>(QStringLiteral("name"))
        ->setText(ui::english() ? QStringLiteral("admin") : QStringLiteral("管理员"));
    failures += !save(first, out, "first-login.png");
    first.hide();

    ui::CDlgLogin login(controller);
    login.show();
    if (auto* c = login.findChild<QComboBox*>(QStringLiteral("user"))) c->setCurrentIndex(1);
    failures += !save(login, out, "login.png");
    login.hide();

    ui::CDlgLockPwd lock(controller);
    lock.show();
    failures += !save(lock, out, "lock.png");
    lock.hide();

    ui::CAboutDlg about;
    about.show();
    failures += !save(about, out, "about.png");
    about.hide();
    ui::CShortcutsDlg keys;
    keys.show();
    failures += !save(keys, out, "shortcuts.png");
    keys.hide();
  }

  demo::DemoOptions demo_options;
  demo_options.auth_port = sim.http_port();
  {
    const fs::path dir = fresh_folder(work, "idle");
    demo::write_demo_workdir(*fleet.fleet, demo_options, dir);
    AppOptions o;
    o.working_folder = dir;
    CTavimorApp app(o, &sink);
    if (app.InitInstance()) {
      COrvClnInit splash(dir);
      splash.show();
      failures += !save(splash, out, "splash.png");
      splash.hide();
      failures += !save(*app.MainWindow(), out, "main-idle.png");
    } else {
      ++failures;
    }
  }
  {
    // The settings windows on a client whose demo devices are logged in.
    const fs::path dir = fresh_folder(work, "settings");
    demo::write_demo_workdir(*fleet.fleet, demo_options, dir);
    AppOptions o;
    o.working_folder = dir;
    CTavimorApp app(o, &sink);
    if (app.InitInstance()) {
      const screens::Context c{out, sink, app, sim};
      failures += screens::remote_config(c);
      failures += screens::local_settings(c);
      failures += screens::users(c);
      failures += screens::playback(c);
      failures += screens::event_log(c);
      failures += screens::preset_ptz(c);
      failures += screens::talkback(c);
      failures += screens::system_config(c);
    } else {
      ++failures;
    }
  }
  {
    const fs::path dir = fresh_folder(work, "live");
    demo::write_demo_workdir(fleet9, demo_options, dir);
    AppOptions o;
    o.working_folder = dir;
    CTavimorApp app(o, &sink);
    if (app.InitInstance()) {
      ui::CTavimorDlg& desk = *app.MainWindow();
      app.State().rebuild_play_list(app.State().listed_ids(), sink);
      desk.SetPaneStartPause(200);
      desk.OnPreview();
      pump_until([&] { return !desk.PreviewBusy(); }, 30000);
      // Every started pane shows its first picture.
      const bool live = pump_until(
          [&] {
            for (int i = 0; i < 9; ++i) {
              ui::CMyOutput* p = desk.Pane(i);
              if (p->PlayHandle() >= 0 && p->Backend().pictures_received() == 0) return false;
            }
            return true;
          },
          30000);
      if (!live) std::printf("not every pane showed video in time\n");
      pump_until([] { return false; }, 1000);
      failures += !save(desk, out, "main-9-live.png");
    } else {
      ++failures;
    }
  }
  {
    // Twenty channels: sixteen panes live and a further page.
    orvsim::Fleet fleet20 = *fleet.fleet;
    for (const char* id : {"100000000011", "100000000012"}) {
      orvsim::SimDevice d;
      d.i2c = id;
      d.tel = std::string("139") + (id + 4);
      d.password = "123456";
      for (int c = 0; c < 6; ++c) {
        orvsim::SimChannel channel;
        channel.number = c;
        d.channels.push_back(channel);
      }
      d.settings["name"] = id[11] == '1' ? "coach-11" : "coach-12";
      fleet20.devices.push_back(d);
    }
    orvsim::SimulatorOptions o20;
    o20.fleet = fleet20;
    orvsim::Simulator sim20(std::move(o20));
    if (!sim20.start()) {
      std::fprintf(stderr, "simulator: %s\n", sim20.error().c_str());
      return 1;
    }
    demo::DemoOptions d20;
    d20.auth_port = sim20.http_port();
    const fs::path dir = fresh_folder(work, "sixteen");
    demo::write_demo_workdir(fleet20, d20, dir);
    AppOptions o;
    o.working_folder = dir;
    CTavimorApp app(o, &sink);
    if (app.InitInstance()) {
      ui::CTavimorDlg& desk = *app.MainWindow();
      failures += !preview_live(desk, 16);
      failures += !save(desk, out, "main-16-live.png");

      {
        // The health overlay on every pane; coach-11's second channel stops
        // sending and shows the interruption, ferry-1's first goes through
        // the relay.
        desk.ToggleHealthOverlay();
        int stalled = -1;
        for (int i = 0; i < 16; ++i)
          if (desk.Pane(i)->Address() == QStringLiteral("100000000011") &&
              desk.Pane(i)->Channel() == 1)
            stalled = i;
        if (stalled >= 0) {
          sim20.devices().inject("100000000011", 1, orvsim::MediaFault::stop_sending);
          const auto now = [] { return static_cast<std::int64_t>(platform::tick_ms64()); };
          if (!pump_until([&] { return desk.Pane(stalled)->Stalled(now()); }, 10000))
            std::printf("pane %d did not show the interruption\n", stalled);
        }
        pump_until([] { return false; }, 2500);  // rates over a few ticks, the GPS answers
        failures += !save(desk, out, "main-health.png");
        sim20.devices().inject("100000000011", 1, orvsim::MediaFault::resume_sending);
        desk.ToggleHealthOverlay();
      }

      desk.SelectPane(5);
      ui::CMyOutput* pane = desk.Pane(5);
      QMenu* menu = desk.BuildPaneMenu(5);
      menu->popup(pane->mapToGlobal(QPoint(pane->width() / 2, pane->height() / 2)));
      pump_until([&] { return menu->isVisible(); }, 2000);
      pump_until([] { return false; }, 300);
      failures += !save_screen(out, "pane-menu.png");
      menu->close();

      desk.findChild<QPushButton*>(QStringLiteral("1552"))->click();
      failures += !save(desk, out, "ptz-panel.png");
      desk.findChild<QPushButton*>(QStringLiteral("1553"))->click();

      desk.MultiFullScreen();
      pump_until([] { return false; }, 500);
      failures += !save(desk, out, "main-fullscreen.png");
      double_click(desk.Pane(5));
      pump_until([] { return false; }, 300);

      failures += !preview_live(desk, 4);
      failures += !save(desk, out, "main-4.png");

      // The device drops every session of the channel: the pane says that it
      // reconnects instead of showing a frozen picture.
      const std::string i2c = desk.Pane(0)->Address().toStdString();
      const int ch = desk.Pane(0)->Channel();
      sim20.devices().inject(i2c, ch, orvsim::MediaFault::close_control, 100000);
      // Reconnecting: a stream state or the SDK's progress text, no new picture.
      ui::CMyOutput* lost_pane = desk.Pane(0);
      std::uint64_t pictures = lost_pane->Backend().pictures_received();
      QElapsedTimer still;
      still.start();
      const bool reconnecting = pump_until(
          [&] {
            const std::uint64_t now = lost_pane->Backend().pictures_received();
            if (now != pictures) still.restart();
            pictures = now;
            const bool says =
                !lost_pane->StreamStatus().isEmpty() || !lost_pane->Backend().text().isEmpty();
            return says && still.elapsed() > 1500;
          },
          60000);
      if (!reconnecting) {
        std::printf("pane 0 showed no reconnect state in time\n");
        ++failures;
      }
      pump_until([] { return false; }, 500);
      failures += !save(desk, out, "pane-reconnecting.png");
      sim20.devices().faults().clear();

      failures += !preview_live(desk, 1);
      failures += !save(desk, out, "main-1.png");

      {
        // Two and a half times around a point right of the picture's centre.
        ui::CMyOutput* one = desk.Pane(desk.Desk().selected_pane);
        const QPointF at(one->width() * 0.6, one->height() * 0.45);
        for (int step = 0; step < 4; ++step) {
          QWheelEvent wheel(at, one->mapToGlobal(at), QPoint(), QPoint(0, 120), Qt::NoButton,
                            Qt::NoModifier, Qt::NoScrollPhase, false);
          QApplication::sendEvent(one, &wheel);
        }
        pump_until([] { return false; }, 1200);  // pictures at the zoomed size
        failures += !save(desk, out, "pane-zoomed.png");
        one->ResetZoom();
      }

      desk.OnLock();
      failures += !save(desk, out, "main-locked.png");

      ui::SdkDeviceLogin sdk;
      ui::CAddSvrInfo add(app.State(), sdk, sink, 8, &desk);
      add.findChild<QLineEdit*>(QStringLiteral("deviceId"))
          ->setText(QStringLiteral("100000000021"));
      add.findChild<QLineEdit*>(QStringLiteral("phone"))->setText(QStringLiteral("13800000021"));
      add.show();
      failures += !save(add, out, "add-server.png");
      add.hide();
      desk.StopAll();
    } else {
      ++failures;
    }
    sim20.stop();
  }
  sim.stop();
  return failures == 0 ? 0 : 1;
}
