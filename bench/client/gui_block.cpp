// client_gui_block [--pause MS]: how long the desk's GUI thread stalls while a
// preview of sixteen panes starts, a page turns and everything stops, against
// the in-process simulator (32 CIF channels at 25 fps over the four
// connection types). A 2 ms heartbeat timer on the GUI thread notes the
// longest gap between two of its ticks while an operation runs, until its
// panes show video and one second more; the call itself is timed too. Goal:
// no gap over 100 ms.
//
// First it prints where the desk puts its panes (layouts 4 and 16) and the
// centres of the preview and layout buttons in screen coordinates, for the
// benchmark script that clicks and paints there. --pause: milliseconds between
// the panes of a preview (default: the desk's own).
#include <QApplication>
#include <QElapsedTimer>
#include <QScreen>
#include <QTimer>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "controls/skin.h"
#include "demo_workdir.h"
#include "simulator.h"
#include "tavimor_app.h"

namespace fs = std::filesystem;

namespace {

constexpr int kHeartbeatMs = 2;
constexpr int kSettleMs = 1000;
constexpr int kPanesShown = 16;

// Message boxes would stop an unattended run: they are printed instead.
class PrintingSink : public model::MessageSink {
 public:
  model::Answer show(std::u16string_view text, std::u16string_view, model::Buttons) override {
    std::printf("message: %s\n", QString::fromUtf16(text.data(), text.size()).toUtf8().data());
    return model::Answer::kOk;
  }
};

std::string fleet_text() {
  static const char* kTypes[] = {"client-monitor-direct", "monitor-client-direct",
                                 "client-monitor-p2p", "client-monitor-middle-transfer"};
  std::string out = "p2p-server self\np2p-server self\n";
  int n = 0;
  for (int d = 1; n < 32; ++d) {
    out += "device 40000000000" + std::to_string(d) + " 1370000000" + std::to_string(d) + " pw\n";
    for (int c = 0; c < 6 && n < 32; ++c, ++n)
      out += "channel " + std::to_string(c) + " " + kTypes[n % 4] + " resolution=cif fps=25\n";
  }
  return out;
}

// The longest gap between two ticks of a fast timer since the last reset.
class Heartbeat {
 public:
  Heartbeat() {
    timer_.setTimerType(Qt::PreciseTimer);
    QObject::connect(&timer_, &QTimer::timeout, [this] { tick(); });
    clock_.start();
    timer_.start(kHeartbeatMs);
  }
  void reset() {
    last_ns_ = clock_.nsecsElapsed();
    longest_ns_ = 0;
    over_100_ = 0;
  }
  double longest_ms() const { return static_cast<double>(longest_ns_) / 1e6; }
  int blocks_over_100_ms() const { return over_100_; }

 private:
  void tick() {
    const qint64 now = clock_.nsecsElapsed();
    const qint64 gap = now - last_ns_;
    if (gap > longest_ns_) longest_ns_ = gap;
    if (gap > 100'000'000) ++over_100_;
    last_ns_ = now;
  }
  QTimer timer_;
  QElapsedTimer clock_;
  qint64 last_ns_ = 0;
  qint64 longest_ns_ = 0;
  int over_100_ = 0;
};

// Operations one after another from the event loop: each is called, then
// watched until done() holds (or its time is up) and the settle time passed.
struct Operation {
  const char* name;
  std::function<void()> call;
  std::function<bool()> done;
  int timeout_ms;
};

class Driver {
 public:
  Driver(std::vector<Operation> ops, Heartbeat& beat) : ops_(std::move(ops)), beat_(beat) {
    poll_.setInterval(10);
    QObject::connect(&poll_, &QTimer::timeout, [this] { poll(); });
  }
  void start() {
    QTimer::singleShot(0, [this] { begin(); });
  }

 private:
  void begin() {
    if (next_ >= ops_.size()) {
      QCoreApplication::quit();
      return;
    }
    const Operation& op = ops_[next_];
    beat_.reset();
    since_.start();
    QElapsedTimer call;
    call.start();
    op.call();
    call_ms_ = static_cast<double>(call.nsecsElapsed()) / 1e6;
    done_at_ = -1;
    timed_out_ = false;
    poll_.start();
  }
  void poll() {
    const Operation& op = ops_[next_];
    const qint64 now = since_.elapsed();
    if (done_at_ < 0 && op.done()) done_at_ = now;
    if (done_at_ < 0 && now > op.timeout_ms) {
      done_at_ = now;
      timed_out_ = true;
    }
    if (done_at_ < 0 || now < done_at_ + kSettleMs) return;
    poll_.stop();
    std::printf("%s: longest GUI block %.1f ms (call %.1f ms); %d blocks over 100 ms, %s %lld ms\n",
                op.name, beat_.longest_ms(), call_ms_, beat_.blocks_over_100_ms(),
                timed_out_ ? "TIMED OUT after" : "done after", static_cast<long long>(done_at_));
    std::fflush(stdout);
    ++next_;
    QTimer::singleShot(0, [this] { begin(); });
  }

  std::vector<Operation> ops_;
  Heartbeat& beat_;
  QTimer poll_;
  QElapsedTimer since_;
  std::size_t next_ = 0;
  double call_ms_ = 0;
  qint64 done_at_ = -1;
  bool timed_out_ = false;
};

// Every pane of the page plays and has shown a picture since its start.
bool page_live(ui::CTavimorDlg& desk, int panes) {
  if (desk.PreviewBusy()) return false;
  for (int i = 0; i < panes; ++i) {
    ui::CMyOutput* p = desk.Pane(i);
    if (p->PlayHandle() < 0 || p->Backend().first_picture_ms() < 0) return false;
  }
  return true;
}

void print_geometry(ui::CTavimorDlg& desk) {
  const QPoint origin = desk.mapToGlobal(QPoint(0, 0));
  std::printf("geometry: desk %dx%d at %d,%d\n", desk.width(), desk.height(), origin.x(),
              origin.y());
  for (int layout : {4, 16}) {
    desk.SelectLayout(layout);
    std::string line = "panes " + std::to_string(layout) + ":";
    for (int i = 0; i < layout; ++i) {
      const model::Rect r = desk.Pane(i)->PaneRect();
      line += " " + std::to_string(r.x) + "," + std::to_string(r.y) + "," +
              std::to_string(r.width) + "," + std::to_string(r.height);
    }
    std::printf("%s\n", line.c_str());
  }
  for (const char* id : {"1087", "1531", "1527", "1528", "1529"}) {
    auto* w = desk.findChild<QWidget*>(QString::fromLatin1(id));
    if (!w) continue;
    const QPoint c = w->mapToGlobal(w->rect().center());
    std::printf("button %s: %d,%d\n", id, c.x(), c.y());
  }
}

}  // namespace

int main(int argc, char** argv) {
  QApplication qapp(argc, argv);
  skin::apply_application_style();
  int pause_ms = -1;
  for (int i = 1; i + 1 < argc; ++i)
    if (std::strcmp(argv[i], "--pause") == 0) pause_ms = std::atoi(argv[++i]);

  std::random_device rd;
  const fs::path work = fs::temp_directory_path() / ("gui-block-" + std::to_string(rd()));
  fs::create_directories(work / "drive");
  // Recording roots inside the scratch folder, not the machine's disks.
  if (!std::getenv("BREVANTA_DRIVES")) setenv("BREVANTA_DRIVES", (work / "drive").c_str(), 1);

  const auto fleet = orvsim::parse_fleet(fleet_text());
  if (!fleet.ok()) {
    std::fprintf(stderr, "fleet: %s\n", fleet.error.c_str());
    return 1;
  }
  orvsim::SimulatorOptions sim_options;
  sim_options.fleet = *fleet.fleet;
  orvsim::Simulator sim(std::move(sim_options));
  if (!sim.start()) {
    std::fprintf(stderr, "simulator: %s\n", sim.error().c_str());
    return 1;
  }
  demo::DemoOptions demo_options;
  demo_options.auth_port = sim.http_port();
  if (!demo::write_demo_workdir(*fleet.fleet, demo_options, work / "desk")) return 1;

  PrintingSink sink;
  int status = 0;
  {
    AppOptions options;
    options.working_folder = work / "desk";
    CTavimorApp app(options, &sink);
    QElapsedTimer init;
    init.start();
    if (!app.InitInstance()) {
      std::fprintf(stderr, "the desk did not start\n");
      return 1;
    }
    const qint64 init_ms = init.elapsed();
    ui::CTavimorDlg& desk = *app.MainWindow();
    if (pause_ms >= 0) desk.SetPaneStartPause(pause_ms);
    QCoreApplication::processEvents();
    QScreen* screen = QGuiApplication::primaryScreen();
    std::printf("platform %s, screen %dx%d; %d play-list entries, %zu devices\n",
                QGuiApplication::platformName().toUtf8().data(),
                screen ? screen->geometry().width() : 0, screen ? screen->geometry().height() : 0,
                app.State().play_list.count, fleet.fleet->devices.size());
    print_geometry(desk);  // leaves layout 16
    std::printf("start-up with %zu stored logins: call %lld ms (before the event loop runs)\n",
                fleet.fleet->devices.size(), static_cast<long long>(init_ms));

    Heartbeat beat;
    std::vector<Operation> ops;
    ops.push_back({"preview start", [&] { desk.OnPreview(); },
                   [&] { return page_live(desk, kPanesShown); }, 90000});
    auto quiet = std::make_shared<QElapsedTimer>();
    ops.push_back({"live, no operation", [quiet] { quiet->start(); },
                   [quiet] { return quiet->elapsed() >= 3000; }, 10000});
    ops.push_back({"page turn", [&] { desk.NextPage(); },
                   [&] { return desk.Desk().play_list_offset > 0 && page_live(desk, kPanesShown); },
                   30000});
    ops.push_back(
        {"stop-all", [&] { desk.StopAll(); }, [&] { return !desk.PreviewBusy(); }, 10000});
    Driver driver(std::move(ops), beat);
    driver.start();
    status = qapp.exec();
    desk.StopAll();
  }
  sim.stop();
  std::error_code ec;
  fs::remove_all(work, ec);
  return status;
}
