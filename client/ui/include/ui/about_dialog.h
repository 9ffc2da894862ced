// "关于 Brevanta": program icon, version and copyright; one OK button
// (objectName "ok").
#pragma once

#include <QDialog>

namespace ui {

class CAboutDlg : public QDialog {
  Q_OBJECT

 public:
  explicit CAboutDlg(QWidget* parent = nullptr);
};

}  // namespace ui
