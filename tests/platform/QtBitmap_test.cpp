#include <gtest/gtest.h>

#include <QPainter>

#include "platform/qt/QtBitmap.h"
#include "support/TestImages.h"

using namespace qm;
using namespace qm::test;

TEST(QtBitmap, TheImageViewSharesThePixels) {
  TBitmap b = RandomBitmap(31, 7, 1);
  QImage view = BitmapAsQImage(b);
  ASSERT_EQ(view.format(), QImage::Format_BGR888);
  EXPECT_EQ(view.constBits(), b.Bits());
  EXPECT_EQ(QRgbToColor(view.pixel(3, 4)), b.GetPixel(3, 4));
  {
    QPainter p(&view);
    p.fillRect(QRect(0, 0, 2, 2), QColor(10, 20, 30));
  }
  EXPECT_EQ(b.GetPixel(1, 1), RGB(10, 20, 30));

  TBitmap idx = RandomBitmap(9, 3, 2, pf8bit);
  QImage iv = BitmapAsQImage(idx);
  EXPECT_EQ(iv.format(), QImage::Format_Indexed8);
  EXPECT_EQ(QRgbToColor(iv.pixel(4, 2)), idx.GetPixel(4, 2));
  TBitmap mono = RandomBitmap(19, 3, 2, pf1bit);
  QImage mv = BitmapAsQImage(mono);
  for (int x = 0; x < 19; ++x) EXPECT_EQ(QRgbToColor(mv.pixel(x, 1)), mono.GetPixel(x, 1));
  TBitmap nib = RandomBitmap(7, 3, 2, pf4bit);
  QImage nv = BitmapAsQImage(nib);  // a converted copy
  EXPECT_EQ(QRgbToColor(nv.pixel(5, 2)), nib.GetPixel(5, 2));

  TBitmap round = BitmapFromQImage(BitmapAsQImage(b));
  EXPECT_TRUE(SameBitmaps(round, b));
}

TEST(QtBitmap, CanvasOverAPainterFillsClipsAndDrawsWithAKey) {
  QImage img(20, 20, QImage::Format_RGB32);
  img.fill(Qt::black);
  QPainter p(&img);
  TQtCanvas c(p);
  EXPECT_EQ(c.ClipRect(), (TRect{0, 0, 20, 20}));
  c.IntersectClip(TRect{5, 5, 10, 10});
  EXPECT_EQ(c.ClipRect(), (TRect{5, 5, 10, 10}));
  c.FillRect(TRect{0, 0, 20, 20}, RGB(200, 100, 50));
  c.RestoreClip();
  TBitmap src(3, 3, pf24bit, RGB(1, 2, 3));
  src.SetPixel(1, 1, RGB(255, 0, 255));
  c.DrawBitmap(12, 12, src, TRect{0, 0, 3, 3}, RGB(255, 0, 255));
  p.end();
  EXPECT_EQ(QRgbToColor(img.pixel(5, 5)), RGB(200, 100, 50));
  EXPECT_EQ(QRgbToColor(img.pixel(10, 10)), clBlack);
  EXPECT_EQ(QRgbToColor(img.pixel(12, 12)), RGB(1, 2, 3));
  EXPECT_EQ(QRgbToColor(img.pixel(13, 13)), clBlack);
}
