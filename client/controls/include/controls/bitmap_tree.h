// CBitmapTree: a one-column tree on the skin's list background whose items
// carry an image of the image list and a 64-bit value.
#pragma once

#include <QList>
#include <QPixmap>
#include <QTreeWidget>

class CBitmapTree : public QTreeWidget {
  Q_OBJECT

 public:
  // Role of the item's image index; Qt::UserRole holds its data.
  static constexpr int kImageRole = Qt::UserRole + 1;
  // A dragged child item carries "<parent data> <item data>" under this type.
  static constexpr const char* kItemMime = "application/x-bitmaptree-item";

  // The images default to tree_server.bmp (0) and tree_channel.bmp (1).
  explicit CBitmapTree(QWidget* parent = nullptr);

  // A null parent adds a top-level item; an image outside the list shows none.
  QTreeWidgetItem* AddItem(QTreeWidgetItem* parent, const QString& text, int image, qint64 data);
  // 0 for a null item.
  static qint64 ItemData(const QTreeWidgetItem* item);
  void DeleteAllItems();
  // Re-images the items already there.
  void SetImages(const QList<QPixmap>& images);
  const QList<QPixmap>& Images() const { return images_; }
  // Child items may be dragged out (never dropped onto the tree).
  void SetChildDrag(bool on);
  // The data pair of a dragged child item; false for anything else.
  static bool DraggedItem(const QMimeData* mime, qint64& parent_data, qint64& item_data);

 protected:
  QMimeData* mimeData(const QList<QTreeWidgetItem*>& items) const override;

 private:
  QIcon icon_for(int image) const;

  QList<QPixmap> images_;
};
