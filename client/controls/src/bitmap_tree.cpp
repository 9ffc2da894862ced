#include "controls/bitmap_tree.h"

#include <QHeaderView>
#include <QMimeData>
#include <QTreeWidgetItemIterator>

#include <memory>

#include "controls/skin.h"

CBitmapTree::CBitmapTree(QWidget* parent) : QTreeWidget(parent) {
  setColumnCount(1);
  setHeaderHidden(true);
  setIconSize(QSize(16, 16));
  setIndentation(16);
  setUniformRowHeights(true);
  QPalette pal = palette();
  for (auto group : {QPalette::Active, QPalette::Inactive}) {
    pal.setColor(group, QPalette::Base, skin::kList);
    pal.setColor(group, QPalette::AlternateBase, skin::kList.lighter(110));
    pal.setColor(group, QPalette::Text, skin::kText);
    pal.setColor(group, QPalette::WindowText, skin::kText);
    pal.setColor(group, QPalette::Window, skin::kPanel);
    pal.setColor(group, QPalette::Highlight, skin::kAccent);
    pal.setColor(group, QPalette::HighlightedText, Qt::white);
  }
  pal.setColor(QPalette::Disabled, QPalette::Base, skin::kPanel);
  pal.setColor(QPalette::Disabled, QPalette::Text, skin::kTextDisabled);
  setPalette(pal);
  SetImages({skin::picture(QStringLiteral("tree_server.bmp")),
             skin::picture(QStringLiteral("tree_channel.bmp"))});
}

QIcon CBitmapTree::icon_for(int image) const {
  if (image < 0 || image >= images_.size() || images_[image].isNull()) return {};
  return QIcon(images_[image]);
}

QTreeWidgetItem* CBitmapTree::AddItem(QTreeWidgetItem* parent, const QString& text, int image,
                                      qint64 data) {
  auto item = std::make_unique<QTreeWidgetItem>(QStringList{text});
  item->setData(0, Qt::UserRole, QVariant::fromValue(data));
  item->setData(0, kImageRole, image);
  item->setIcon(0, icon_for(image));
  QTreeWidgetItem* raw = item.get();
  if (parent)
    parent->addChild(item.release());
  else
    addTopLevelItem(item.release());
  return raw;
}

qint64 CBitmapTree::ItemData(const QTreeWidgetItem* item) {
  return item ? item->data(0, Qt::UserRole).toLongLong() : 0;
}

void CBitmapTree::DeleteAllItems() {
  clear();
}

void CBitmapTree::SetImages(const QList<QPixmap>& images) {
  images_ = images;
  for (QTreeWidgetItemIterator it(this); *it; ++it)
    (*it)->setIcon(0, icon_for((*it)->data(0, kImageRole).toInt()));
}

void CBitmapTree::SetChildDrag(bool on) {
  setDragEnabled(on);
  // Server items give no drag data (mimeData), so only channels leave.
  setDragDropMode(on ? QAbstractItemView::DragOnly : QAbstractItemView::NoDragDrop);
}

QMimeData* CBitmapTree::mimeData(const QList<QTreeWidgetItem*>& items) const {
  if (items.size() != 1 || !items.front()->parent()) return nullptr;
  auto mime = std::make_unique<QMimeData>();
  mime->setData(QString::fromLatin1(kItemMime),
                QByteArray::number(ItemData(items.front()->parent())) + ' ' +
                    QByteArray::number(ItemData(items.front())));
  return mime.release();
}

bool CBitmapTree::DraggedItem(const QMimeData* mime, qint64& parent_data, qint64& item_data) {
  if (!mime || !mime->hasFormat(QString::fromLatin1(kItemMime))) return false;
  const QList<QByteArray> words = mime->data(QString::fromLatin1(kItemMime)).split(' ');
  if (words.size() != 2) return false;
  bool ok1 = false, ok2 = false;
  parent_data = words[0].toLongLong(&ok1);
  item_data = words[1].toLongLong(&ok2);
  return ok1 && ok2;
}
