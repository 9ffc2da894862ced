// "关于 Brevanta": program icon, version and copyright; "快捷键" (objectName
// "shortcuts") lists the desk's keys; one OK button (objectName "ok").
#pragma once

#include <QDialog>

namespace ui {

class CAboutDlg : public QDialog {
  Q_OBJECT

 public:
  explicit CAboutDlg(QWidget* parent = nullptr);
};

// "快捷键": the desk's keys and what they do (a table, objectName "keys").
class CShortcutsDlg : public QDialog {
  Q_OBJECT

 public:
  explicit CShortcutsDlg(QWidget* parent = nullptr);
};

}  // namespace ui
