#include "ui/event_log_window.h"

#include <QFontMetrics>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "dialog_frame.h"
#include "ui/i18n.h"
#include "ui/message_box.h"

namespace ui {

CEventLog::CEventLog(model::ClientState& state, model::MessageSink& messages, model::Clock& clock,
                     QWidget* parent)
    : QDialog(parent), state_(state), messages_(messages), clock_(clock) {
  setWindowTitle(tx("事件日志"));
  list_ = new QTreeWidget(this);
  list_->setObjectName(QStringLiteral("List1"));
  list_->setRootIsDecorated(false);
  list_->setUniformRowHeights(true);
  list_->setHeaderLabels({tx("时间"), tx("事件内容")});
  // The time column fits a time text whatever the font, also while the list is
  // empty; the event text takes the rest.
  list_->setColumnWidth(
      0, list_->fontMetrics().horizontalAdvance(QStringLiteral("0000-00-00 00:00:00")) + 24);
  list_->header()->setStretchLastSection(true);
  list_->setMinimumSize(760, 420);

  auto* save = make_dialog_button(this, tx("保存日志"), "save");
  auto* exit = make_dialog_button(this, tx("退出"), "exit");
  save->setAutoDefault(false);
  exit->setAutoDefault(false);
  connect(save, &QPushButton::clicked, this, &CEventLog::OnSave);
  connect(exit, &QPushButton::clicked, this, &QDialog::reject);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  buttons->addWidget(save);
  buttons->addWidget(exit);

  auto* outer = new QVBoxLayout(this);
  outer->setContentsMargins(12, 12, 12, 12);
  outer->addWidget(list_, 1);
  outer->addLayout(buttons);
  fill();
}

void CEventLog::fill() {
  list_->clear();
  QList<QTreeWidgetItem*> rows;
  for (const model::Event& e : state_.events.events())
    rows.append(new QTreeWidgetItem(QStringList{qs(e.time), qs(model::event_shown(e.text))}));
  list_->addTopLevelItems(rows);
}

void CEventLog::OnSave() {
  const auto folder = model::path_from_text(state_.settings.log_folder, state_.drives.drives,
                                            state_.working_folder);
  if (state_.events.save(folder, clock_.local_now(), messages_)) fill();
}

}  // namespace ui
