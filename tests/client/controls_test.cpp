// The skinned controls' own behaviour: what they show and what they keep.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QEnterEvent>
#include <QImage>
#include <QTemporaryDir>

#include <climits>
#include <memory>

#include "controls/bitmap_tree.h"
#include "controls/bmp_button.h"
#include "controls/color_button.h"
#include "controls/digit_display.h"
#include "controls/skin.h"

namespace {

TEST(DigitDisplay, ShownRightAlignedAndSaturated) {
  struct Case {
    int value;
    int digits;
    const char* shown;
  };
  const Case cases[] = {
      {0, 5, "    0"},
      {1234, 5, " 1234"},
      {99999, 5, "99999"},
      {100000, 5, "99999"},
      {-42, 3, "-42"},
      {-1234, 3, "-99"},
      {-1, 1, "-"},
      {7, 0, "7"},
      {INT_MIN, 10, "-999999999"},
      {INT_MAX, 12, "2147483647"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(CDigitDisplay::Shown(c.value, c.digits), QString::fromLatin1(c.shown))
        << c.value << " in " << c.digits;
}

TEST(BmpButton, PlainCaptionDropsMnemonics) {
  const std::pair<const char*, const char*> cases[] = {
      {"&File", "File"}, {"a&&b", "a&b"}, {"&&&x", "&x"}, {"end&", "end"}, {"预览", "预览"}};
  for (auto [in, out] : cases)
    EXPECT_EQ(CBMPButton::PlainCaption(QString::fromUtf8(in)), QString::fromUtf8(out)) << in;
}

TEST(BmpButton, LookFollowsStateWithDisabledFirst) {
  CBMPButton b(QStringLiteral("预览"));
  EXPECT_EQ(b.Look(), skin::Face::Normal);
  QEnterEvent enter(QPointF(2, 2), QPointF(2, 2), QPointF(2, 2));
  QCoreApplication::sendEvent(&b, &enter);
  EXPECT_EQ(b.Look(), skin::Face::Hover);
  b.setCheckable(true);
  b.setChecked(true);
  EXPECT_EQ(b.Look(), skin::Face::Pressed);
  b.setEnabled(false);
  EXPECT_EQ(b.Look(), skin::Face::Disabled);
  b.setEnabled(true);
  b.setChecked(false);
  QEvent leave(QEvent::Leave);
  QCoreApplication::sendEvent(&b, &leave);
  EXPECT_EQ(b.Look(), skin::Face::Normal);
  EXPECT_FALSE(b.LoadBitmaps(QStringLiteral("no-such.bmp"), {}, {}));
}

TEST(ColorButton, IndexCountsCreations) {
  CColorButton first;
  CColorButton second;
  auto third = std::make_unique<CColorButton>();
  EXPECT_EQ(second.Index(), first.Index() + 1);
  EXPECT_EQ(third->Index(), first.Index() + 2);
  third.reset();
  EXPECT_EQ(CColorButton().Index(), first.Index() + 3);
}

TEST(Skin, PictureKeysMaskColourAndMissesAreNull) {
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  QImage image(4, 2, QImage::Format_RGB32);
  image.fill(QColor(10, 20, 30));
  image.setPixelColor(1, 1, skin::kMask);
  ASSERT_TRUE(image.save(dir.filePath(QStringLiteral("keyed.bmp")), "BMP"));
  skin::set_folder(dir.path());
  const QPixmap keyed = skin::picture(QStringLiteral("keyed.bmp"));
  const bool missing = skin::picture(QStringLiteral("absent.bmp")).isNull();
  skin::set_folder({});
  ASSERT_FALSE(keyed.isNull());
  const QImage back = keyed.toImage();
  EXPECT_EQ(qAlpha(back.pixel(1, 1)), 0);
  EXPECT_EQ(back.pixelColor(0, 0), QColor(10, 20, 30));
  EXPECT_TRUE(missing);
  EXPECT_TRUE(skin::folder().endsWith(QStringLiteral("/res")));
}

TEST(Skin, PictureLanguagePrefersItsOwnPictureAndFallsBack) {
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  auto write = [&](const char* name, QColor colour) {
    QImage image(2, 2, QImage::Format_RGB32);
    image.fill(colour);
    return image.save(dir.filePath(QString::fromLatin1(name)), "BMP");
  };
  ASSERT_TRUE(write("caption.bmp", Qt::red));
  ASSERT_TRUE(write("caption_en.bmp", Qt::blue));
  ASSERT_TRUE(write("plain.bmp", Qt::green));
  auto colour = [](const char* name) {
    const QPixmap p = skin::picture(QString::fromLatin1(name));
    return p.isNull() ? QColor() : p.toImage().pixelColor(0, 0);
  };
  skin::set_folder(dir.path());
  const QColor chinese = colour("caption.bmp");
  skin::set_picture_language(QStringLiteral("en"));
  const QColor english = colour("caption.bmp");
  const QColor fallback = colour("plain.bmp");
  const bool missing = skin::picture(QStringLiteral("absent.bmp")).isNull();
  skin::set_picture_language(QStringLiteral("zh"));
  const QColor chinese_again = colour("caption.bmp");
  skin::set_picture_language({});
  skin::set_folder({});
  EXPECT_EQ(chinese, QColor(Qt::red));
  EXPECT_EQ(english, QColor(Qt::blue));
  EXPECT_EQ(fallback, QColor(Qt::green));
  EXPECT_TRUE(missing);
  EXPECT_EQ(chinese_again, QColor(Qt::red));
}

TEST(BitmapTree, ItemsKeepDataAndImages) {
  CBitmapTree tree;
  QPixmap red(16, 16);
  red.fill(Qt::red);
  tree.SetImages({red});
  QTreeWidgetItem* root = tree.AddItem(nullptr, QStringLiteral("车辆"), 0, INT64_MAX);
  QTreeWidgetItem* child = tree.AddItem(root, QStringLiteral("通道 1"), 1, -5);
  EXPECT_EQ(tree.topLevelItemCount(), 1);
  EXPECT_EQ(root->child(0), child);
  EXPECT_EQ(CBitmapTree::ItemData(root), INT64_MAX);
  EXPECT_EQ(CBitmapTree::ItemData(child), -5);
  EXPECT_EQ(CBitmapTree::ItemData(nullptr), 0);
  EXPECT_FALSE(root->icon(0).isNull());
  EXPECT_TRUE(child->icon(0).isNull());  // no image 1 yet
  tree.SetImages({red, red});
  EXPECT_FALSE(child->icon(0).isNull());
  tree.DeleteAllItems();
  EXPECT_EQ(tree.topLevelItemCount(), 0);
}

}  // namespace
