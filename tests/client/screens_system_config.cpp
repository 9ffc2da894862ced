#include <QTabWidget>

#include "client_test_util.h"
#include "controls/bitmap_tree.h"
#include "model/users.h"
#include "screens_util.h"
#include "tavimor_app.h"
#include "ui/sdk_login.h"
#include "ui/set_surveillance.h"
#include "ui/system_config.h"

namespace screens {

int system_config(const Context& c) {
  int failures = 0;
  // The demo starts without a login; the user page shows an administrator.
  const model::UserFiles files(c.app.State().working_folder);
  if (!files.has_admin()) files.write_admin({u"admin", u"admin123"});
  ui::SdkDeviceLogin sdk;
  ui::SdkDeviceConfig device;
  ui::CSystemConfig dialog(
      c.app.State(), c.sink, sdk, device, [](int) { return false; }, c.app.MainWindow());
  // Part of the fleet back out of the play list: the last server's channels.
  ui::CSetSurveillance& page = *dialog.Surveillance();
  auto* list = page.findChild<CBitmapTree*>(QStringLiteral("playList"));
  for (int i = 0; i < 2 && list->topLevelItemCount() > 0; ++i) {
    list->setCurrentItem(list->topLevelItem(list->topLevelItemCount() - 1));
    page.RemoveFromList();
  }
  list->setCurrentItem(list->topLevelItem(0));
  dialog.show();
  client_test::pump_until([] { return false; }, 300);
  failures += !save(dialog, c.out, "settings-devices.png");
  dialog.Tabs()->setCurrentIndex(1);
  failures += !save(dialog, c.out, "settings-local.png");
  dialog.Tabs()->setCurrentIndex(2);
  failures += !save(dialog, c.out, "settings-users.png");
  // Closed without the page's "确定": the channel file keeps the fleet as it was.
  dialog.hide();
  return failures;
}

}  // namespace screens
