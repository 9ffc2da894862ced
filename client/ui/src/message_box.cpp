#include "ui/message_box.h"

#include <QAbstractButton>
#include <QMessageBox>

namespace ui {

model::Answer QtMessageSink::show(std::u16string_view text, std::u16string_view caption,
                                  model::Buttons buttons) {
  QMessageBox box(parent_.data());
  box.setWindowTitle(qs(caption));
  box.setText(qs(text));
  if (buttons == model::Buttons::kOkCancel) {
    box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel);
    box.setIcon(QMessageBox::Question);
  } else {
    box.setStandardButtons(QMessageBox::Ok);
    box.setIcon(QMessageBox::Information);
  }
  box.button(QMessageBox::Ok)->setText(QStringLiteral("确定"));
  if (auto* cancel = box.button(QMessageBox::Cancel)) cancel->setText(QStringLiteral("取消"));
  return box.exec() == QMessageBox::Ok ? model::Answer::kOk : model::Answer::kCancel;
}

}  // namespace ui
