#include <gtest/gtest.h>

#include "pixel/ImgUtils.h"
#include "platform/core/Parallel.h"
#include "platform/core/Colors.h"
#include "platform/core/Numeric.h"
#include "support/TestImages.h"

using namespace qm;
using namespace qm::test;

namespace {
const TPixelFormat kFormats[] = {pf1bit, pf4bit, pf8bit, pf24bit, pf32bit};
}

TEST(ImgUtils, FlipsAndTurnMovePixelsInEveryFormat) {
  for (TPixelFormat pf : kFormats) {
    TBitmap a = RandomBitmap(13, 7, 3, pf);
    const TRect r{2, 1, 11, 6};
    TBitmap v = a.Clone(), h = a.Clone(), t = a.Clone();
    FlipBitmapRectVertical(v, r);
    FlipBitmapRectHorizontal(h, r);
    RotateBitmapRect180(t, r);
    for (int y = 0; y < 7; ++y)
      for (int x = 0; x < 13; ++x) {
        const bool in = PtInRect(r, {x, y});
        const int mx = in ? r.Right - 1 - (x - r.Left) : x, my = in ? r.Bottom - 1 - (y - r.Top) : y;
        ASSERT_EQ(v.GetPixel(x, y), a.GetPixel(x, my)) << int(pf);
        ASSERT_EQ(h.GetPixel(x, y), a.GetPixel(mx, y)) << int(pf);
        ASSERT_EQ(t.GetPixel(x, y), a.GetPixel(mx, my)) << int(pf);
      }
    FlipBitmapVertical(v);
    FlipBitmapVertical(v);
    FlipBitmapHorizontal(h);
    FlipBitmapHorizontal(h);
    RotateBitmap180(t);
    RotateBitmap180(t);
    FlipBitmapRectVertical(v, r);
    FlipBitmapRectHorizontal(h, r);
    RotateBitmapRect180(t, r);
    EXPECT_TRUE(SameBitmaps(v, a));
    EXPECT_TRUE(SameBitmaps(h, a));
    EXPECT_TRUE(SameBitmaps(t, a));
  }
}

// Large enough to be shared among threads: the same pixels at any thread count.
TEST(ImgUtils, FlipsOfLargeBitmapsMatchTheSmallRule) {
  const TBitmap a = RandomBitmap(701, 403, 5);
  const TRect r{3, 2, 699, 400};
  for (int threads : {1, 8}) {
    SetEngineThreads(threads);
    TBitmap h = a.Clone(), t = a.Clone();
    FlipBitmapRectHorizontal(h, r);
    RotateBitmapRect180(t, r);
    for (int y = 0; y < a.Height(); ++y)
      for (int x = 0; x < a.Width(); ++x) {
        const bool in = PtInRect(r, {x, y});
        const int mx = in ? r.Right - 1 - (x - r.Left) : x, my = in ? r.Bottom - 1 - (y - r.Top) : y;
        ASSERT_EQ(h.GetPixel(x, y), a.GetPixel(mx, y));
        ASSERT_EQ(t.GetPixel(x, y), a.GetPixel(mx, my));
      }
  }
  SetEngineThreads(0);
}

TEST(ImgUtils, WrapScrollsMoveContentAroundAndTakeTheSizeModulo) {
  for (TPixelFormat pf : kFormats) {
    TBitmap a = RandomBitmap(11, 6, 9, pf);
    for (int n : {0, 1, -1, 4, -7, 11, 22, -33, 100}) {
      TBitmap h = a.Clone(), v = a.Clone();
      ScrollBitmapWrapHorizontal(h, n);
      ScrollBitmapWrapVertical(v, n);
      for (int y = 0; y < 6; ++y)
        for (int x = 0; x < 11; ++x) {
          ASSERT_EQ(h.GetPixel(ModFloor(x + n, 11), y), a.GetPixel(x, y)) << n;
          ASSERT_EQ(v.GetPixel(x, ModFloor(y + n, 6)), a.GetPixel(x, y)) << n;
        }
    }
  }
  TBitmap e;
  ScrollBitmapWrapHorizontal(e, 5);
  ScrollBitmapWrapVertical(e, -5);
  EXPECT_TRUE(e.Empty());
}

TEST(ImgUtils, RegionsCropsAndResizesKeepFormatPaletteAndTransparency) {
  for (TPixelFormat pf : kFormats) {
    TBitmap a = RandomBitmap(20, 10, 4, pf);
    a.Transparent = true;
    a.TransparentColor = RGB(1, 2, 3);
    TBitmap r;
    CopyBitmapRegion(a, r, TRect{15, 8, 3, 2});  // reversed, ordered first
    ASSERT_EQ(r.Width(), 12);
    ASSERT_EQ(r.Height(), 6);
    EXPECT_EQ(r.PixelFormat(), pf);
    EXPECT_EQ(r.Palette(), a.Palette());
    EXPECT_TRUE(r.Transparent);
    EXPECT_EQ(r.TransparentColor, RGB(1, 2, 3));
    for (int y = 0; y < 6; ++y)
      for (int x = 0; x < 12; ++x) ASSERT_EQ(r.GetPixel(x, y), a.GetPixel(3 + x, 2 + y));
    TBitmap c = a.Clone();
    CropBitmap(c, TRect{-5, -5, 4, 3});
    EXPECT_EQ(c.Width(), 4);
    EXPECT_EQ(c.Height(), 3);
    EXPECT_EQ(c.GetPixel(3, 2), a.GetPixel(3, 2));
    TBitmap s = a.Clone();
    ResizeBitmap(40, 5, s);
    ASSERT_EQ(s.Width(), 40);
    EXPECT_EQ(s.PixelFormat(), pf);
    EXPECT_EQ(s.GetPixel(0, 0), a.GetPixel(0, 1));  // row 0 of 5 samples source row 1 of 10
    EXPECT_EQ(s.GetPixel(39, 4), a.GetPixel(19, 9));
    EXPECT_EQ(s.GetPixel(2, 2), a.GetPixel(1, 5));  // nearest, sampled at pixel centres
  }
  TBitmap empty;
  ResizeBitmap(10, 10, empty);
  CropBitmap(empty, TRect{0, 0, 5, 5});
  EXPECT_TRUE(empty.Empty());
}

TEST(ImgUtils, CanvasResizePlacesTheImageAndRefusesEmptySizes) {
  TBitmap a = RandomBitmap(4, 3, 1);
  TBitmap b;
  TRect placed;
  ResizeCanvasInto(a, b, 10, 9, RGB(9, 8, 7), alCenter, placed);
  EXPECT_EQ(placed, (TRect{3, 3, 7, 6}));
  EXPECT_EQ(b.GetPixel(0, 0), RGB(9, 8, 7));
  EXPECT_EQ(b.GetPixel(3, 3), a.GetPixel(0, 0));
  EXPECT_EQ(b.GetPixel(6, 5), a.GetPixel(3, 2));
  EXPECT_EQ(b.GetPixel(7, 5), RGB(9, 8, 7));
  ResizeCanvasInto(a, b, 2, 2, clBlack, alBottomRight, placed);  // a smaller canvas crops
  EXPECT_EQ(placed, (TRect{-2, -1, 2, 2}));
  EXPECT_EQ(b.GetPixel(0, 0), a.GetPixel(2, 1));
  TBitmap keep = a.Clone();
  ResizeCanvas(keep, 0, 5, clBlack, alCenter, placed);  // refused: the image stays
  EXPECT_EQ(placed, (TRect{0, 0, 0, 0}));
  EXPECT_TRUE(SameBitmaps(keep, a));
  TBitmap bordered = a.Clone();
  AddImageBorder(bordered, 2, clWhite, true);
  EXPECT_EQ(bordered.Width(), 8);
  EXPECT_EQ(bordered.GetPixel(2, 2), a.GetPixel(0, 0));
  TBitmap framed(6, 6, pf24bit, clBlack);
  AddImageBorder(framed, 1, clWhite, false);
  EXPECT_EQ(framed.GetPixel(0, 3), clWhite);
  EXPECT_EQ(framed.GetPixel(5, 5), clWhite);
  EXPECT_EQ(framed.GetPixel(1, 1), clBlack);
}

TEST(ImgUtils, FitSizeProportional) {
  int w = 400, h = 100;
  FitSizeProportional(w, h, 200, 200);
  EXPECT_EQ(w, 200);
  EXPECT_EQ(h, 50);
  w = 50, h = 50;
  FitSizeProportional(w, h, 200, 100);
  EXPECT_EQ(w, 100);
  EXPECT_EQ(h, 100);
  w = 0, h = 50;
  FitSizeProportional(w, h, 200, 100);
  EXPECT_EQ(w, 0);
  EXPECT_EQ(h, 50);
  // a side that rounds to nothing keeps a pixel
  w = 5000, h = 1;
  FitSizeProportional(w, h, 10, 10);
  EXPECT_EQ(w, 10);
  EXPECT_EQ(h, 1);
}

TEST(ImgUtils, TrimRectOfBordersUniformAndEmptyBitmaps) {
  TBitmap b(20, 12, pf24bit, clWhite);
  b.FillRect(TRect{3, 3, 17, 9}, RGB(200, 10, 10));
  b.SetPixel(5, 5, clWhite);  // inner white pixels do not matter
  TRect r;
  FindTrimRect(b, 0, clNone, r);
  EXPECT_EQ(r, (TRect{3, 3, 17, 9}));
  FindTrimRect(b, 0, clWhite, r);
  EXPECT_EQ(r, (TRect{3, 3, 17, 9}));
  b.SetPixel(0, 0, RGB(250, 250, 250));  // within tolerance 5 of white
  FindTrimRect(b, 5, clWhite, r);
  EXPECT_EQ(r, (TRect{3, 3, 17, 9}));
  FindTrimRect(b, 0, clWhite, r);
  EXPECT_EQ(r, (TRect{0, 0, 17, 9}));
  TBitmap u(7, 5, pf24bit, RGB(1, 2, 3));
  FindTrimRect(u, 0, clNone, r);
  EXPECT_EQ(r, (TRect{7, 5, 7, 5}));
  TBitmap e;
  FindTrimRect(e, 0, clNone, r);
  EXPECT_EQ(r, (TRect{0, 0, 0, 0}));
}

TEST(ImgUtils, ColourToleranceMixAndHsv) {
  EXPECT_TRUE(ColorsWithinTolerance(clBtnFace, RGB(240, 240, 240), 0));  // system colours resolve
  EXPECT_FALSE(ColorsWithinTolerance(RGB(0, 0, 0), RGB(0, 0, 2), 1));
  EXPECT_EQ(MixColors(clBtnFace, clBlack, 0), clBtnFace);  // out of range: as passed
  EXPECT_EQ(MixColors(RGB(200, 100, 0), clBlack, 101), RGB(200, 100, 0));
  EXPECT_EQ(MixColors(RGB(200, 100, 0), clBlack, 50), RGB(100, 50, 0));
  EXPECT_EQ(MixColors(RGB(0, 0, 0), RGB(255, 255, 255), 50), RGB(127, 127, 127));
  EXPECT_EQ(HSVToColor(0, 255, 255), RGB(255, 0, 0));
  EXPECT_EQ(HSVToColor(120, 255, 255), RGB(0, 255, 0));
  EXPECT_EQ(HSVToColor(240, 255, 255), RGB(0, 0, 255));
  EXPECT_EQ(HSVToColor(360, 255, 255), RGB(0, 0, 0));
  EXPECT_EQ(HSVToColor(77, 0, 90), RGB(90, 90, 90));
  int h, s, v;
  RGBToHSV(0, 0, 255, h, s, v);
  EXPECT_EQ(h, 240);
  EXPECT_EQ(s, 255);
  EXPECT_EQ(v, 255);
  RGBToHSV(255, 0, 128, h, s, v);  // red is the maximum, blue above green: negative hue wraps
  EXPECT_EQ(h, 330);
  RGBToHSV(0, 0, 0, h, s, v);
  EXPECT_EQ(s, 0);
  EXPECT_EQ(h, 0);
  // the integer round trip comes back within a few levels for saturated colours
  for (int hue = 0; hue < 360; hue += 7) {
    int r, g, b;
    HSVToRGB(hue, 255, 255, r, g, b);
    RGBToHSV(r, g, b, h, s, v);
    EXPECT_NEAR(h, hue, 2);
  }
}

TEST(ImgUtils, TileBltAndFramesOnABitmapCanvas) {
  TBitmap tile = RandomBitmap(3, 2, 5), dst(10, 7, pf24bit, clBlack);
  TBitmapCanvas canvas(dst);
  TileBlt(canvas, 1, 1, 8, 5, tile, 3, 2);
  for (int y = 0; y < 7; ++y)
    for (int x = 0; x < 10; ++x) {
      const bool in = x >= 1 && x < 9 && y >= 1 && y < 6;
      ASSERT_EQ(dst.GetPixel(x, y), in ? tile.GetPixel((x - 1) % 3, (y - 1) % 2) : clBlack) << x << "," << y;
    }
  TBitmap f(8, 8, pf24bit, clBlack);
  TBitmapCanvas fc(f);
  FillRectFrame(fc, TRect{1, 1, 7, 7}, clWhite, 2);
  EXPECT_EQ(f.GetPixel(1, 1), clWhite);
  EXPECT_EQ(f.GetPixel(2, 4), clWhite);
  EXPECT_EQ(f.GetPixel(3, 3), clBlack);
  EXPECT_EQ(f.GetPixel(6, 6), clWhite);
  EXPECT_EQ(f.GetPixel(7, 7), clBlack);
}
