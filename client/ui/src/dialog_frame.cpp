#include "dialog_frame.h"

#include <QHBoxLayout>
#include <QVBoxLayout>

#include <algorithm>

#include "controls/bmp_button.h"
#include "ui/i18n.h"

namespace ui {

int read_int(const QLineEdit* edit) {
  bool ok = false;
  const int value = edit->text().trimmed().toInt(&ok);
  return ok ? value : 0;
}

QFormLayout* make_form() {
  auto* form = new QFormLayout;
  form->setRowWrapPolicy(QFormLayout::DontWrapRows);
  form->setFieldGrowthPolicy(QFormLayout::AllNonFixedFieldsGrow);
  form->setLabelAlignment(Qt::AlignRight | Qt::AlignVCenter);
  form->setHorizontalSpacing(10);
  form->setVerticalSpacing(12);
  return form;
}

QPushButton* make_dialog_button(QWidget* parent, const QString& text, const char* name) {
  auto* button = named(new CBMPButton(text, parent), name);
  button->setMinimumWidth(80);
  return button;
}

DialogButtons make_button_row(QDialog* dialog, const QString& ok_text, const QString& cancel_text,
                              QHBoxLayout*& row) {
  DialogButtons b{make_dialog_button(dialog, ok_text, "ok"),
                  make_dialog_button(dialog, cancel_text, "cancel")};
  b.ok->setDefault(true);
  QObject::connect(b.cancel, &QPushButton::clicked, dialog, &QDialog::reject);
  row = new QHBoxLayout;
  row->addStretch(1);
  row->addWidget(b.ok);
  row->addWidget(b.cancel);
  return b;
}

DialogButtons finish_dialog(QDialog* dialog, QFormLayout* form, const QString& cancel_text,
                            QSize minimum) {
  QHBoxLayout* buttons = nullptr;
  const DialogButtons b = make_button_row(dialog, tx("确定"), cancel_text, buttons);

  auto* outer = new QVBoxLayout(dialog);
  outer->setContentsMargins(24, 20, 24, 16);
  outer->addLayout(form);
  outer->addStretch(1);
  outer->addSpacing(12);
  outer->addLayout(buttons);

  outer->activate();
  QSize size = dialog->sizeHint().expandedTo(minimum);
  if (outer->hasHeightForWidth())
    size.setHeight(std::max(size.height(), outer->totalHeightForWidth(size.width())));
  dialog->setFixedSize(size);
  return b;
}

}  // namespace ui
