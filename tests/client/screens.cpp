// client_screens FLEET OUTDIR: opens the client's windows in their states
// against the in-process simulator and writes one PNG per state into OUTDIR.
// scripts/screens.sh runs it under Xvfb (xcb, 1920x1080x24).
#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QPixmap>

#include <cstdio>
#include <filesystem>
#include <functional>
#include <random>
#include <string>

#include "client_test_util.h"
#include "controls/skin.h"
#include "demo_workdir.h"
#include "model/user_dialogs.h"
#include "model/users.h"
#include "simulator.h"
#include "tavimor_app.h"
#include "ui/about_dialog.h"
#include "ui/login_dialogs.h"

namespace fs = std::filesystem;

namespace {

using client_test::pump_until;

// Message boxes would stop an unattended run: they are printed instead.
class PrintingSink : public model::MessageSink {
 public:
  model::Answer show(std::u16string_view text, std::u16string_view, model::Buttons) override {
    std::printf("message: %s\n", QString::fromUtf16(text.data(), text.size()).toUtf8().data());
    return model::Answer::kOk;
  }
};

bool save(QWidget& w, const fs::path& out, const char* name) {
  QCoreApplication::processEvents();
  const fs::path file = out / name;
  const bool ok = w.grab().save(QString::fromStdString(file.string()), "PNG");
  std::printf("%s %s\n", ok ? "wrote" : "FAILED", file.c_str());
  return ok;
}

fs::path fresh_folder(const fs::path& base, const char* name) {
  const fs::path p = base / name;
  std::error_code ec;
  fs::remove_all(p, ec);
  fs::create_directories(p);
  return p;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: client_screens FLEET OUTDIR\n");
    return 2;
  }
  QApplication qapp(argc, argv);
  skin::apply_application_style();
  const fs::path out = argv[2];
  fs::create_directories(out);
  const fs::path work = out / "work";
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
    files.write_user({u"张伟", u"1234", u"13900001111", model::kBasicRights});
    model::CurrentUser user;
    model::UserDialogs controller(files, user, sink);

    ui::CFirstLogin first(controller);
    first.show();
    first.findChild<QLineEdit*>(QStringLiteral("name"))->setText(QStringLiteral("管理员"));
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
  sim.stop();
  return failures == 0 ? 0 : 1;
}
