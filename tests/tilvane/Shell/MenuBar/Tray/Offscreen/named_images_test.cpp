// The program's named images drawn for the tray and the menus: the sizes an icon carries, a template image in
// the colour it is given, a stretched pixmap for a dense screen, and nothing for a name without an image.
#include <gtest/gtest.h>

#include <QImage>

#include "Shell/MenuBar/Tray/NamedImages.h"

namespace tilvane::test {
namespace {

// halfLeftMenu is a 16-unit frame with its left half filled from (3,4) to (8,12).
constexpr QPoint kInFilledHalf(5, 8);
constexpr QPoint kCorner(0, 0);

TEST(NamedImagesTest, AnIconCarriesEveryTrayAndMenuSizeAndATemplateTakesItsColour) {
  const QIcon plain = namedImage("halfLeftMenu", false, Qt::red);
  const QIcon tinted = namedImage("halfLeftMenu", true, QColor(0, 0, 255));
  const QList<QSize> sizes{{16, 16}, {22, 22}, {24, 24}, {32, 32}, {48, 48}};
  EXPECT_EQ(plain.availableSizes(), sizes);
  EXPECT_EQ(tinted.availableSizes(), sizes);
  for (const int side : {16, 48}) {
    const QImage p = plain.pixmap(side).toImage();
    const QImage t = tinted.pixmap(side).toImage();
    ASSERT_EQ(p.size(), QSize(side, side));
    const QPoint inside = kInFilledHalf * side / 16;
    EXPECT_EQ(p.pixelColor(inside), QColor(Qt::black)) << side;  // as drawn: the colour is not applied
    EXPECT_EQ(t.pixelColor(inside), QColor(0, 0, 255)) << side;
    EXPECT_EQ(t.pixelColor(kCorner).alpha(), 0) << side;  // outside the shapes stays clear
    // Tinting keeps each pixel's coverage, antialiased edges included.
    for (int y = 0; y < side; ++y)
      for (int x = 0; x < side; ++x) ASSERT_EQ(t.pixelColor(x, y).alpha(), p.pixelColor(x, y).alpha()) << x << "," << y;
  }
}

TEST(NamedImagesTest, APixmapIsStretchedOverItsSizeInDevicePixels) {
  const QPixmap pixmap = namedPixmap("halfLeftMenu", QSize(32, 16), 2.0);
  ASSERT_FALSE(pixmap.isNull());
  EXPECT_EQ(pixmap.size(), QSize(64, 32));
  EXPECT_EQ(pixmap.devicePixelRatio(), 2.0);
  const QImage image = pixmap.toImage();
  // The half's fill from x 3 to 8 of 16 lands at device x 12 to 32 of 64; y 4 to 12 of 16 at 8 to 24 of 32.
  EXPECT_EQ(image.pixelColor(20, 16), QColor(Qt::black));
  EXPECT_EQ(image.pixelColor(40, 16).alpha(), 0);
}

TEST(NamedImagesTest, NoImageForAnUnknownOrEmptyNameOrAnEmptySize) {
  EXPECT_TRUE(namedImage("", true, Qt::black).isNull());
  EXPECT_TRUE(namedImage("noSuchImage", false, Qt::black).isNull());
  EXPECT_TRUE(namedPixmap("noSuchImage", QSize(16, 16)).isNull());
  EXPECT_TRUE(namedPixmap("halfLeftMenu", QSize(0, 16)).isNull());
}

}  // namespace
}  // namespace tilvane::test
