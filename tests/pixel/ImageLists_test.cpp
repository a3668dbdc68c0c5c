#include "pixel/qt/ImageLists.h"

#include <gtest/gtest.h>

#include <QGuiApplication>
#include <memory>

#include "platform/core/Types.h"

using namespace qm;

namespace {

// A red square on a transparent background.
QImage Glyph(int w, int h) {
  QImage img(w, h, QImage::Format_ARGB32);
  img.fill(Qt::transparent);
  for (int y = 2; y < h - 2; ++y)
    for (int x = 2; x < w - 2; ++x) img.setPixel(x, y, qRgb(255, 0, 0));
  return img;
}

void EnsureGuiApplication() {
  if (QGuiApplication::instance()) return;
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  static int argc = 1;
  static char name[] = "qm_pixel_tests";
  static char* argv[] = {name, nullptr};
  static QGuiApplication app(argc, argv);
}

}  // namespace

TEST(ImageLists, DisabledListGreysTheGlyphsAndKeepsTheBackgroundClear) {
  TImageList source(8, 8, 6);
  source.Add(Glyph(8, 8));
  source.Add(Glyph(16, 16));  // scaled to the list's size
  QObject owner;
  TImageList* list = MakeDisabledImageList(&owner, source, RGB(192, 192, 192), 50);
  ASSERT_NE(list, nullptr);
  EXPECT_EQ(list->parent(), &owner);
  EXPECT_EQ(list->Width(), 8);
  EXPECT_EQ(list->Height(), 8);
  EXPECT_EQ(list->AllocBy(), 6);
  ASSERT_EQ(list->Count(), 2);
  const QImage& img = list->Image(0);
  EXPECT_EQ(qAlpha(img.pixel(0, 0)), 0);  // the background became the tint: masked out
  // red (255, 0, 0): channel mean 85, moved half way to 192: 138
  EXPECT_EQ(img.pixel(4, 4), qRgb(138, 138, 138));
}

TEST(ImageLists, MaskedAddAndIcons) {
  EnsureGuiApplication();
  TBitmap bmp(3, 2, pf24bit, RGB(10, 20, 30));
  bmp.SetPixel(1, 1, RGB(1, 2, 3));
  TImageList list(3, 2);
  EXPECT_EQ(list.AddMasked(bmp, RGB(1, 2, 3)), 0);
  EXPECT_EQ(qAlpha(list.Image(0).pixel(1, 1)), 0);
  EXPECT_EQ(list.Image(0).pixel(0, 0), qRgb(10, 20, 30));
  EXPECT_EQ(list.Pixmap(0).size(), QSize(3, 2));
  EXPECT_FALSE(list.Icon(0).isNull());
}

TEST(ImageLists, ShadowListDropsASoftShadowRightAndBelow) {
  TImageList source(10, 10, 3);
  source.Add(Glyph(10, 10));  // red over (2..7, 2..7)
  QObject owner;
  EXPECT_EQ(MakeShadowImageList(&owner, source, RGB(255, 255, 255), 101), nullptr);
  EXPECT_EQ(MakeShadowImageList(&owner, source, RGB(255, 255, 255), -1), nullptr);
  TImageList* list = MakeShadowImageList(&owner, source, RGB(255, 255, 255), 60);
  ASSERT_NE(list, nullptr);
  ASSERT_EQ(list->Count(), 1);
  EXPECT_EQ(list->AllocBy(), 3);
  const QImage& img = list->Image(0);
  EXPECT_EQ(img.pixel(4, 4), qRgb(255, 0, 0));
  EXPECT_EQ(qAlpha(img.pixel(0, 0)), 0);  // background: masked out
  EXPECT_EQ(qAlpha(img.pixel(0, 9)), 0);
  EXPECT_EQ(qAlpha(img.pixel(9, 9)), 255);  // the softened edge of the shadow
  const QRgb below = img.pixel(5, 8), above = img.pixel(5, 1);  // under the glyph, over it
  EXPECT_EQ(qAlpha(below), 255);
  EXPECT_LT(qRed(below), 200);
  EXPECT_EQ(qAlpha(above), 0);
}
