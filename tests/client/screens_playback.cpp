#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QTreeWidget>
#include <QWheelEvent>

#include <cstdio>

#include "client_test_util.h"
#include "platform/text.h"
#include "screens_util.h"
#include "tavimor_app.h"
#include "ui/playback.h"

namespace screens {

namespace {

using client_test::pump_until;

void settle(int ms) {
  pump_until([] { return false; }, ms);
}

// A few seconds of the first play-list channel, recorded by the desk's "录像"
// into the drive. The server index of that channel, or -1.
int record_live_channel(CTavimorApp& app) {
  model::ClientState& state = app.State();
  ui::CTavimorDlg& desk = *app.MainWindow();
  desk.StopAll();
  pump_until([&] { return !desk.PreviewBusy(); }, 10000);
  desk.SelectLayout(1);
  desk.SetPaneStartPause(0);
  desk.OnPreview();
  pump_until([&] { return !desk.PreviewBusy(); }, 30000);
  ui::CMyOutput* pane = desk.Pane(0);
  if (!pump_until([&] { return pane->Backend().pictures_received() > 0; }, 30000)) {
    std::printf("playback: the first pane showed no video\n");
    return -1;
  }
  desk.SelectPane(0);
  desk.OnRecord();
  if (!pane->Recording()) {
    std::printf("playback: recording did not start\n");
    return -1;
  }
  settle(6000);
  desk.OnRecord();
  int server = -1;
  {
    std::lock_guard lock(state.table_mutex);
    for (int i = 0; i < model::kMaxServers && state.servers.servers[i].used(); ++i)
      if (state.servers.servers[i].login_handle == pane->LoginHandle()) server = i;
  }
  desk.StopAll();
  pump_until([&] { return !desk.PreviewBusy(); }, 10000);
  return server;
}

}  // namespace

int playback(const Context& c) {
  model::ClientState& state = c.app.State();
  const model::RecordingDrives drives = state.drives;
  const model::ClientSettings settings = state.settings;
  const fs::path drive = fresh_folder(c.out / "work", "playback-drive");
  state.drives.drives = {{'C', drive}};
  state.drives.current = 0;
  state.settings.start_drive = state.settings.end_drive = 0;
  state.settings.snapshot_folder = u"C:\\Picture";
  if (state.play_list.count == 0) state.rebuild_play_list(state.listed_ids(), c.sink);

  int failures = 0;
  const int server = record_live_channel(c.app);
  if (server < 0) ++failures;

  {
    ui::CPlayBack dialog(state, c.sink, c.app.MainWindow());
    ui::CLocalFilePlay* page = dialog.Page();
    dialog.show();
    dialog.findChild<QComboBox*>(QStringLiteral("server"))->setCurrentIndex(server + 1);
    dialog.findChild<QPushButton*>(QStringLiteral("search"))->click();
    pump_until([&] { return !page->Searching(); }, 10000);
    auto* list = dialog.findChild<QTreeWidget*>(QStringLiteral("fileList"));
    if (list->topLevelItemCount() == 0) {
      std::printf("playback: the search found no recording\n");
      ++failures;
    } else {
      list->setCurrentItem(list->topLevelItem(0));
    }
    failures += !save(dialog, c.out, "playback.png");

    dialog.findChild<QPushButton*>(QStringLiteral("play"))->click();
    auto* status = dialog.findChild<QLabel*>(QStringLiteral("status"));
    const bool playing = pump_until(
        [&] {
          return page->Video()->Backend().pictures_received() > 10 && !status->text().isEmpty();
        },
        10000);
    if (!playing) {
      std::printf("playback: the recording showed no pictures\n");
      ++failures;
    }
    dialog.findChild<QPushButton*>(QStringLiteral("snapshot"))->click();
    settle(1500);
    failures += !save(dialog, c.out, "playback-playing.png");

    double_click(page->Video());
    settle(800);
    if (!page->Enlarged()) {
      std::printf("playback: no enlarged view\n");
      ++failures;
    }
    failures += !save_screen(c.out, "playback-enlarged.png");
    double_click(page->Video());
    settle(300);

    // x2.5 (4.1 wheel notches) around the corner of the bright box and the moving bar.
    ui::CPlayVideo* video = page->Video();
    const QPointF at(video->width() * 0.3, video->height() * 0.45);
    QWheelEvent wheel(at, video->mapToGlobal(at), QPoint(), QPoint(0, 493), Qt::NoButton,
                      Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(video, &wheel);
    settle(500);
    if (!video->Zoom().Zoomed()) {
      std::printf("playback: the wheel did not zoom\n");
      ++failures;
    }
    failures += !save(dialog, c.out, "playback-zoomed.png");
    dialog.reject();
  }
  state.drives = drives;
  state.settings = settings;
  return failures;
}

}  // namespace screens
