#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>

#include <cstdio>

#include "client_test_util.h"
#include "screens_util.h"
#include "tavimor_app.h"
#include "ui/main_window.h"
#include "ui/preset_ptz.h"

namespace screens {
namespace {

template <typename W>
W* child(QWidget* dialog, const char* name) {
  return dialog->findChild<W*>(QString::fromLatin1(name));
}

}  // namespace

int preset_ptz(const Context& c) {
  using client_test::pump_until;
  ui::CTavimorDlg& desk = *c.app.MainWindow();
  desk.StopAll();
  pump_until([&] { return !desk.PreviewBusy(); }, 10000);
  desk.SelectLayout(1);
  desk.SetPaneStartPause(0);
  desk.OnPreview();
  pump_until([&] { return !desk.PreviewBusy(); }, 30000);
  if (!pump_until([&] { return desk.Pane(0)->Backend().pictures_received() > 0; }, 30000)) {
    std::printf("preset-ptz: the first pane showed no video\n");
    return 1;
  }
  desk.SelectPane(0);
  desk.OpenPresetDialog(0);
  ui::CPresetPTZ* dialog = desk.PresetDialog();
  if (!dialog) return 1;
  auto* number = child<QSpinBox>(dialog, "presetNumber");
  auto* name = child<QLineEdit>(dialog, "presetName");
  auto* point = child<QComboBox>(dialog, "pointCombo");
  auto* dwell = child<QSpinBox>(dialog, "dwell");
  auto click = [dialog](const char* button) { child<QPushButton>(dialog, button)->click(); };
  const struct {
    int number;
    const char* name;
    const char* english;  // names are the operator's: in English ones of that language
    int dwell;
  } presets[] = {{1, "大门入口", "gate", 5},
                 {2, "停车场东侧", "car park east", 10},
                 {3, "仓库通道", "store aisle", 8}};
  for (const auto& p : presets) {
    number->setValue(p.number);
    name->setText(QString::fromUtf8(ui::english() ? p.english : p.name));
    click("setPreset");
  }
  for (const auto& p : presets) {
    point->setCurrentIndex(point->findData(p.number));
    dwell->setValue(p.dwell);
    click("addPoint");
  }
  click("finishPath");
  number->setValue(2);
  name->setText(QString::fromUtf8(ui::english() ? presets[1].english : presets[1].name));
  const int failures = !save(*dialog, c.out, "preset-ptz.png");
  dialog->SetSaveQuestion(
      [](std::u16string_view, std::u16string_view) { return model::SaveAnswer::kNo; });
  dialog->close();
  desk.StopAll();
  pump_until([&] { return !desk.PreviewBusy(); }, 10000);
  return failures;
}

}  // namespace screens
