// Shared by the parts of the screens program: saving pictures and the context
// each window family's pictures are taken in.
#pragma once

#include <QApplication>
#include <QMouseEvent>
#include <QPixmap>
#include <QScreen>
#include <QWidget>

#include <cstdio>
#include <filesystem>
#include <string_view>

#include "model/messages.h"

class CTavimorApp;
namespace orvsim {
class Simulator;
}

namespace screens {

namespace fs = std::filesystem;

// Message boxes would stop an unattended run: they are printed instead.
class PrintingSink : public model::MessageSink {
 public:
  model::Answer show(std::u16string_view text, std::u16string_view, model::Buttons) override {
    std::printf(
        "message: %s\n",
        QString::fromUtf16(text.data(), static_cast<qsizetype>(text.size())).toUtf8().data());
    return model::Answer::kOk;
  }
};

inline bool save(QWidget& w, const fs::path& out, const char* name) {
  QCoreApplication::processEvents();
  const fs::path file = out / name;
  const bool ok = w.grab().save(QString::fromStdString(file.string()), "PNG");
  std::printf("%s %s\n", ok ? "wrote" : "FAILED", file.c_str());
  return ok;
}

// The whole screen: popup menus and nested modal dialogs are windows of their own.
inline bool save_screen(const fs::path& out, const char* name) {
  QCoreApplication::processEvents();
  const fs::path file = out / name;
  const bool ok = QGuiApplication::primaryScreen()->grabWindow(0).save(
      QString::fromStdString(file.string()), "PNG");
  std::printf("%s %s\n", ok ? "wrote" : "FAILED", file.c_str());
  return ok;
}

inline void double_click(QWidget* w) {
  const QPointF at(5, 5);
  QMouseEvent e(QEvent::MouseButtonDblClick, at, w->mapToGlobal(at), Qt::LeftButton, Qt::LeftButton,
                Qt::NoModifier);
  QApplication::sendEvent(w, &e);
}

inline fs::path fresh_folder(const fs::path& base, const char* name) {
  const fs::path p = base / name;
  std::error_code ec;
  fs::remove_all(p, ec);
  fs::create_directories(p);
  return p;
}

// A running client on the demo fleet (its devices logged in to sim) whose
// main window is shown; out is where the pictures go.
struct Context {
  fs::path out;
  model::MessageSink& sink;
  CTavimorApp& app;
  orvsim::Simulator& sim;
};

// Each family of windows writes its pictures; the result is the number of failures.
// settings-devices.png, settings-local.png, settings-users.png
int system_config(const Context& c);
// remote-config.png
int remote_config(const Context& c);
// record-plan.png
int local_settings(const Context& c);
// add-user.png, edit-rights.png, admin-password.png, password-change.png
int users(const Context& c);
// playback.png, playback-playing.png, playback-enlarged.png, playback-zoomed.png
int playback(const Context& c);
// event-log.png
int event_log(const Context& c);
// preset-ptz.png
int preset_ptz(const Context& c);
// talkback.png
int talkback(const Context& c);

}  // namespace screens
