#include <QComboBox>
#include <QCoreApplication>

#include "platform/clock.h"
#include "screens_util.h"
#include "tavimor_app.h"
#include "ui/main_window.h"
#include "ui/playback.h"
#include "ui/talkback.h"

namespace screens {

int talkback(const Context& c) {
  ui::CVoiceExchange dialog(
      c.app.State(), c.sink, [] { return false; }, c.app.MainWindow());
  dialog.show();
  auto* servers = dialog.findChild<QComboBox*>(QStringLiteral("1100"));
  auto* channels = dialog.findChild<QComboBox*>(QStringLiteral("1733"));
  if (servers->count() > 1) servers->setCurrentIndex(1);
  for (int i = 0; i < 200 && channels->count() == 0; ++i) {
    QCoreApplication::processEvents();
    platform::sleep_ms(10);
  }
  dialog.OnStart();
  // Until the device's picture shows in the dialog.
  for (int i = 0; i < 1000 && dialog.Video()->Backend().pictures_received() < 10; ++i) {
    QCoreApplication::processEvents();
    platform::sleep_ms(10);
  }
  const int failures = !save(dialog, c.out, "talkback.png");
  dialog.OnExit();
  return failures;
}

}  // namespace screens
