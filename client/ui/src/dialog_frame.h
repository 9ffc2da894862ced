// The frame the client's small dialogs share: a form of labelled fields over a
// right-aligned OK/cancel row, fixed at its content's size.
#pragma once

#include <QDialog>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QSize>
#include <QString>

namespace ui {

// The widget with its objectName (tests and the screens program find widgets by name).
template <typename W>
W* named(W* widget, const char* name) {
  widget->setObjectName(QString::fromLatin1(name));
  return widget;
}

// A number typed as text; anything else counts as 0, so the model's checks refuse it.
int read_int(const QLineEdit* edit);

QFormLayout* make_form();
QPushButton* make_dialog_button(QWidget* parent, const QString& text, const char* name);

struct DialogButtons {
  QPushButton* ok;
  QPushButton* cancel;  // rejects the dialog
};
// The right-aligned OK/cancel row under a dialog's body; OK is the default button.
DialogButtons make_button_row(QDialog* dialog, const QString& ok_text, const QString& cancel_text,
                              QHBoxLayout*& row);
// Lays out the form above the buttons and fixes the size, never smaller than
// the content (fonts differ between desktops) nor than minimum.
DialogButtons finish_dialog(QDialog* dialog, QFormLayout* form, const QString& cancel_text,
                            QSize minimum);

}  // namespace ui
