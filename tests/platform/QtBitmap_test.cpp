#include <gtest/gtest.h>

#include <cstring>

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

// The screen copy against the pixel-by-pixel rule, over rectangles of every width
// modulo four and at odd offsets, rows repeated whole or within the rectangle only (a
// magnified view), into an image shared with a copy that keeps its pixels; what lies
// outside the rectangle stays as it was.
TEST(QtBitmap, CopyToRGB32MatchesEachPixel) {
  TBitmap b = RandomBitmap(37, 9, 3);
  std::memcpy(b.ScanLine(3), b.ScanLine(2), 37 * 3);
  std::memcpy(b.ScanLine(4), b.ScanLine(2), 37 * 3);
  std::memcpy(b.ScanLine(7) + 5 * 3, b.ScanLine(6) + 5 * 3, 20 * 3);
  for (const TRect r : {TRect{0, 0, 37, 9}, TRect{1, 2, 6, 5}, TRect{3, 0, 10, 9}, TRect{5, 1, 36, 2}, TRect{-4, -1, 50, 20},
                        TRect{5, 5, 25, 9}}) {
    QImage img(37, 9, QImage::Format_RGB32);
    img.fill(0xFF345678u);
    const QImage kept = img;
    CopyBitmapToRGB32(b, img, r);
    ASSERT_EQ(kept.pixel(4, 4), 0xFF345678u);
    for (int y = 0; y < 9; ++y)
      for (int x = 0; x < 37; ++x) {
        const bool in = x >= r.Left && x < r.Right && y >= r.Top && y < r.Bottom;
        const TColor c = b.GetPixel(x, y);  // 0x00BBGGRR
        const uint32_t want = in ? 0xFF000000u | (c & 0xFFu) << 16 | (c & 0xFF00u) | (c >> 16 & 0xFFu) : 0xFF345678u;
        ASSERT_EQ(reinterpret_cast<const uint32_t*>(img.constScanLine(y))[x], want) << x << "," << y;
      }
  }
}
