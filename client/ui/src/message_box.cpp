#include "ui/message_box.h"

#include <QAbstractButton>
#include <QMessageBox>

#include "ui/i18n.h"

namespace ui {

model::Answer QtMessageSink::show(std::u16string_view text, std::u16string_view caption,
                                  model::Buttons buttons) {
  QMessageBox box(parent_.data());
  // The model's fixed texts translate here; those it composes come translated.
  box.setWindowTitle(tx(caption));
  box.setText(tx(text));
  if (buttons == model::Buttons::kOkCancel) {
    box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel);
    box.setIcon(QMessageBox::Question);
  } else {
    box.setStandardButtons(QMessageBox::Ok);
    box.setIcon(QMessageBox::Information);
  }
  box.button(QMessageBox::Ok)->setText(tx("确定"));
  if (auto* cancel = box.button(QMessageBox::Cancel)) cancel->setText(tx("取消"));
  return box.exec() == QMessageBox::Ok ? model::Answer::kOk : model::Answer::kCancel;
}

}  // namespace ui
