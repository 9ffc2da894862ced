#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>

#include "screens_util.h"
#include "tavimor_app.h"
#include "ui/set_client.h"

namespace screens {

int local_settings(const Context& c) {
  ui::CSetClientRecordPlan editor(c.app.State().settings.plan, c.sink, c.app.MainWindow());
  editor.findChild<QComboBox*>(QStringLiteral("day"))->setCurrentIndex(2);
  const char* names[4] = {"startHour", "startMinute", "endHour", "endMinute"};
  const int segments[2][4] = {{8, 0, 12, 0}, {13, 30, 18, 0}};
  for (int k = 0; k < 2; ++k)
    for (int f = 0; f < 4; ++f)
      editor.findChild<QLineEdit*>(QStringLiteral("%1%2").arg(QLatin1String(names[f])).arg(k + 1))
          ->setText(QString::number(segments[k][f]));
  // Stored, so "复制" shows enabled.
  editor.findChild<QPushButton*>(QStringLiteral("ok"))->click();
  editor.show();
  const int failures = !save(editor, c.out, "record-plan.png");
  editor.hide();
  return failures;
}

}  // namespace screens
