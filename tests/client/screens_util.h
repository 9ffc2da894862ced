// Shared by the parts of the screens program: saving pictures and the context
// each window family's pictures are taken in.
#pragma once

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPixmap>
#include <QRegularExpression>
#include <QScreen>
#include <QTabBar>
#include <QWidget>

#include <cstdio>
#include <filesystem>
#include <string_view>

#include "model/messages.h"
#include "ui/i18n.h"

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

// In English every picture is name-en.png.
inline fs::path picture(const fs::path& out, const char* name) {
  std::string n = name;
  if (ui::english() && n.size() > 4) n.insert(n.size() - 4, "-en");
  return out / n;
}

// The texts a window shows through its widgets (painted texts aside).
inline QStringList shown_texts(QWidget& top) {
  QStringList texts{top.windowTitle()};
  QList<QWidget*> widgets = top.findChildren<QWidget*>();
  widgets.prepend(&top);
  for (QWidget* w : widgets) {
    if (w != &top && !w->isVisibleTo(&top)) continue;
    texts << w->toolTip();
    if (auto* l = qobject_cast<QLabel*>(w)) texts << l->text();
    if (auto* b = qobject_cast<QAbstractButton*>(w)) texts << b->text();
    if (auto* g = qobject_cast<QGroupBox*>(w)) texts << g->title();
    // What an edit field holds is the operator's or the device's data.
    if (auto* e = qobject_cast<QLineEdit*>(w)) texts << e->placeholderText();
    if (auto* c = qobject_cast<QComboBox*>(w))
      for (int i = 0; i < c->count(); ++i) texts << c->itemText(i);
    if (auto* t = qobject_cast<QTabBar*>(w))
      for (int i = 0; i < t->count(); ++i) texts << t->tabText(i);
    if (auto* v = qobject_cast<QAbstractItemView*>(w); v && v->model()) {
      const QAbstractItemModel* m = v->model();
      for (int c = 0; c < m->columnCount(); ++c)
        texts << m->headerData(c, Qt::Horizontal).toString();
      QList<QModelIndex> open{QModelIndex()};
      while (!open.isEmpty() && texts.size() < 5000) {
        const QModelIndex parent = open.takeFirst();
        for (int r = 0; r < m->rowCount(parent); ++r)
          for (int c = 0; c < m->columnCount(parent); ++c) {
            const QModelIndex i = m->index(r, c, parent);
            texts << i.data().toString() << i.data(Qt::ToolTipRole).toString();
            if (c == 0) open << i;
          }
      }
    }
    for (QAction* a : w->actions()) texts << a->text() << a->toolTip();
  }
  return texts;
}

// In English, each shown text still holding Chinese is printed; their count.
inline int untranslated(QWidget& top, const char* name) {
  if (!ui::english()) return 0;
  static const QRegularExpression chinese(
      QStringLiteral("[\\x{3000}-\\x{303f}\\x{4e00}-\\x{9fff}\\x{ff00}-\\x{ffef}]"));
  int n = 0;
  for (const QString& t : shown_texts(top)) {
    if (!t.contains(chinese)) continue;
    std::printf("UNTRANSLATED %s: %s\n", name, t.toUtf8().constData());
    ++n;
  }
  return n;
}

inline bool save(QWidget& w, const fs::path& out, const char* name) {
  QCoreApplication::processEvents();
  const fs::path file = picture(out, name);
  const bool ok = w.grab().save(QString::fromStdString(file.string()), "PNG");
  std::printf("%s %s\n", ok ? "wrote" : "FAILED", file.c_str());
  return untranslated(w, name) == 0 && ok;
}

// The whole screen: popup menus and nested modal dialogs are windows of their own.
inline bool save_screen(const fs::path& out, const char* name) {
  QCoreApplication::processEvents();
  const fs::path file = picture(out, name);
  const bool ok = QGuiApplication::primaryScreen()->grabWindow(0).save(
      QString::fromStdString(file.string()), "PNG");
  std::printf("%s %s\n", ok ? "wrote" : "FAILED", file.c_str());
  int missed = 0;
  for (QWidget* w : QApplication::topLevelWidgets())
    if (w->isVisible()) missed += untranslated(*w, name);
  return missed == 0 && ok;
}

// A user of the pictures' users file: a Chinese name, in English a Latin one.
inline std::u16string demo_user() {
  return ui::english() ? u"zhang.wei" : u"张伟";
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
