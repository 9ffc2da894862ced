#include "ui/about_dialog.h"

#include <QCoreApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

#include "controls/bmp_button.h"
#include "controls/skin.h"
#include "model/desk.h"
#include "ui/i18n.h"
#include "ui/message_box.h"

namespace ui {

CAboutDlg::CAboutDlg(QWidget* parent) : QDialog(parent) {
  setWindowTitle(tx("关于 Brevanta"));

  auto* top = new QHBoxLayout;
  top->setSpacing(16);
  // The icon is drawn at build time beside the other pictures (installed or not).
  QPixmap icon(skin::folder() + QStringLiteral("/icon.png"));
  if (!icon.isNull()) {
    auto* picture = new QLabel(this);
    picture->setObjectName(QStringLiteral("icon"));
    picture->setPixmap(icon.scaled(64, 64, Qt::KeepAspectRatio, Qt::SmoothTransformation));
    picture->setAlignment(Qt::AlignTop);
    top->addWidget(picture);
  }

  auto* lines = new QVBoxLayout;
  lines->setSpacing(8);
  auto* version = new QLabel(tx("Brevanta 版本 1.0"), this);
  QFont bold = version->font();
  bold.setBold(true);
  version->setFont(bold);
  lines->addWidget(version);
  lines->addWidget(new QLabel(tx("移动视频监控客户端"), this));
  lines->addWidget(new QLabel(tx("© 2026 Brevanta 开发组"), this));
  lines->addStretch(1);
  top->addLayout(lines, 1);

  auto* ok = new CBMPButton(tx("确定"), this);
  ok->setObjectName(QStringLiteral("ok"));
  ok->setMinimumWidth(80);
  ok->setDefault(true);
  connect(ok, &QPushButton::clicked, this, &QDialog::accept);
  auto* keys = new CBMPButton(tx("快捷键"), this);
  keys->setObjectName(QStringLiteral("shortcuts"));
  keys->setMinimumWidth(80);
  keys->setAutoDefault(false);
  connect(keys, &QPushButton::clicked, this, [this] {
    CShortcutsDlg list(this);
    list.exec();
  });
  auto* buttons = new QHBoxLayout;
  buttons->addWidget(keys);
  buttons->addStretch(1);
  buttons->addWidget(ok);

  auto* outer = new QVBoxLayout(this);
  outer->setContentsMargins(24, 20, 24, 16);
  outer->addLayout(top, 1);
  outer->addSpacing(12);
  outer->addLayout(buttons);
  outer->activate();
  setFixedSize(sizeHint().expandedTo(QSize(340, 170)));
}

CShortcutsDlg::CShortcutsDlg(QWidget* parent) : QDialog(parent) {
  setWindowTitle(tx("快捷键"));
  const auto list = model::desk_shortcuts();
  auto* table = new QTableWidget(static_cast<int>(list.size()), 2, this);
  table->setObjectName(QStringLiteral("keys"));
  table->setHorizontalHeaderLabels({tx("按键"), tx("功能")});
  table->verticalHeader()->hide();
  table->setEditTriggers(QAbstractItemView::NoEditTriggers);
  table->setSelectionMode(QAbstractItemView::NoSelection);
  table->setFocusPolicy(Qt::NoFocus);
  for (int i = 0; i < table->rowCount(); ++i) {
    const model::Shortcut& k = list[static_cast<std::size_t>(i)];
    table->setItem(i, 0, new QTableWidgetItem(tx(k.keys)));
    table->setItem(i, 1, new QTableWidgetItem(tx(k.action)));
  }
  table->resizeColumnsToContents();
  table->resizeRowsToContents();
  table->horizontalHeader()->setStretchLastSection(true);
  int h = table->horizontalHeader()->height() + 4;
  for (int i = 0; i < table->rowCount(); ++i) h += table->rowHeight(i);
  table->setMinimumSize(table->columnWidth(0) + table->columnWidth(1) + 40, h);

  auto* ok = new CBMPButton(tx("确定"), this);
  ok->setObjectName(QStringLiteral("ok"));
  ok->setMinimumWidth(80);
  ok->setDefault(true);
  connect(ok, &QPushButton::clicked, this, &QDialog::accept);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  buttons->addWidget(ok);
  auto* outer = new QVBoxLayout(this);
  outer->setContentsMargins(16, 16, 16, 12);
  outer->addWidget(table, 1);
  outer->addLayout(buttons);
}

}  // namespace ui
