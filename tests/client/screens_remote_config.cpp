#include <QCheckBox>
#include <QPushButton>

#include "client_test_util.h"
#include "screens_util.h"
#include "tavimor_app.h"
#include "ui/remote_config.h"
#include "ui/sdk_login.h"

namespace screens {

int remote_config(const Context& c) {
  ui::SdkDeviceConfig device;
  ui::CRemoteParamsCfg dialog(c.app.State(), 0, device, c.sink, c.app.MainWindow());
  dialog.show();
  ui::CRemoteDevConfig* page = dialog.Page();
  auto run = [&](const char* button) {
    dialog.findChild<QPushButton*>(QString::fromLatin1(button))->click();
    return client_test::pump_until([&] { return !page->Busy(); }, 30000);
  };
  auto box = [&](const char* name) {
    return dialog.findChild<QCheckBox*>(QString::fromLatin1(name));
  };

  // Arm the device first, so that the state read back shows in the boxes.
  box("armInside")->setChecked(true);
  box("armRecording")->setChecked(true);
  int failures = !run("saveArming");
  for (const char* name : {"armInside", "armPerimeter", "armRecording"})
    box(name)->setChecked(false);
  failures += !run("getStatus");
  if (!box("armInside")->isChecked() || !box("armRecording")->isChecked()) {
    std::printf("remote-config: the arming read back does not show\n");
    ++failures;
  }
  failures += !save(dialog, c.out, "remote-config.png");
  dialog.hide();
  return failures;
}

}  // namespace screens
