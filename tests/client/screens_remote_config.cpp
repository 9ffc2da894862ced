#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>

#include "client_test_util.h"
#include "screens_util.h"
#include "tavimor_app.h"
#include "ui/remote_config.h"
#include "ui/sdk_login.h"
#include "velmosdk.h"

namespace screens {
namespace {

// The position asked as GetGPSData, so the picture shows the moving vehicle.
class PositionedDevice : public ui::SdkDeviceConfig {
 public:
  std::string gps_data(long handle, long channel) override { return GetGPSData(handle, channel); }
};

}  // namespace

int remote_config(const Context& c) {
  PositionedDevice device;
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
  auto* position = dialog.findChild<QLineEdit*>(QStringLiteral("gpsPosition"));
  if (!client_test::pump_until([&] { return !position->text().isEmpty(); }, 30000)) ++failures;
  failures += !save(dialog, c.out, "remote-config.png");
  dialog.hide();
  return failures;
}

}  // namespace screens
