#include "controls/bitmap_tree.h"

#include <QHeaderView>
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
