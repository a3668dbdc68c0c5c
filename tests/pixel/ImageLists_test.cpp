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
