#include <gtest/gtest.h>

#include "pixel/ImgUtils.h"
#include "pixel/Shadow.h"
#include "pixel/Thumbnail.h"
#include "platform/core/Random.h"
#include "support/TestImages.h"

using namespace qm;
using namespace qm::test;

TEST(BitmapShadow, GuardsDrawNothing) {
  TBitmap b(50, 40, pf24bit, RGB(200, 200, 200)), before = b.Clone();
  DrawBitmapShadow(b, TRect{5, 5, 50, 30}, 4, 50, false);  // reaches the right edge
  DrawBitmapShadow(b, TRect{5, 5, 30, 40}, 4, 50, true);   // reaches the bottom edge
  DrawBitmapShadow(b, TRect{5, 5, 30, 30}, 4, 0, false);
  DrawBitmapShadow(b, TRect{5, 5, 30, 30}, 4, 101, false);
  DrawBitmapShadow(b, TRect{5, 5, 30, 30}, 0, 50, false);
  DrawBitmapShadow(b, TRect{5, 5, 5, 30}, 4, 50, false);
  EXPECT_TRUE(SameBitmaps(b, before));
}

TEST(BitmapShadow, FlatShadowDarkensBothBandsWithNoise) {
  RandSeed(11);
  TBitmap b(60, 50, pf24bit, RGB(200, 200, 200));
  DrawBitmapShadow(b, TRect{10, 10, 40, 30}, 5, 100, false);
  // the band below (x 15..44, y 30..34) and to the right (x 40..44, y 15..29)
  for (int y = 0; y < 50; ++y)
    for (int x = 0; x < 60; ++x) {
      const bool below = x >= 15 && x < 45 && y >= 30 && y < 35;
      const bool right = x >= 40 && x < 45 && y >= 15 && y < 30;
      const uint8_t* p = Px(b, x, y);
      if (below || right) {
        for (int c = 0; c < 3; ++c) ASSERT_LE(p[c], 3) << x << "," << y;
      } else {
        ASSERT_EQ(b.GetPixel(x, y), RGB(200, 200, 200)) << x << "," << y;
      }
    }
  // the same seed gives the same noise
  RandSeed(11);
  TBitmap c(60, 50, pf24bit, RGB(200, 200, 200));
  DrawBitmapShadow(c, TRect{10, 10, 40, 30}, 5, 100, false);
  EXPECT_TRUE(SameBitmaps(b, c));
}

TEST(CanvasShadow, FeatheredStepsFadeByTheirShareOfThePercent) {
  // width 2, percent 50: two steps at 34 and 18 percent
  TBitmap b(40, 40, pf24bit, clBlack);
  TBitmapCanvas canvas(b);
  DrawCanvasShadow(canvas, TRect{5, 5, 25, 25}, 2, 50, clWhite, true, false);
  const auto level = [](int p) { return GetRValue(MixColors(clWhite, clBlack, p)); };
  // rect after the offset: (7, 7, 25, 25); step 1 at row 25, step 2 at row 26
  EXPECT_EQ(GetRValue(b.GetPixel(15, 25)), level(34));
  EXPECT_EQ(GetRValue(b.GetPixel(15, 26)), level(18));
  EXPECT_EQ(GetRValue(b.GetPixel(25, 15)), level(34));
  EXPECT_EQ(GetRValue(b.GetPixel(26, 15)), level(18));
  // the near ends fade in: 2, 4, 6, 8 tenths of the step's percent
  EXPECT_EQ(GetRValue(b.GetPixel(7, 25)), level(34 * 2 / 10));
  EXPECT_EQ(GetRValue(b.GetPixel(10, 25)), level(34 * 8 / 10));
  EXPECT_EQ(b.GetPixel(15, 27), clBlack);
  // the corner squares take the plain colour
  TBitmap c(40, 40, pf24bit, clBlack);
  TBitmapCanvas cc(c);
  DrawCanvasShadow(cc, TRect{5, 5, 25, 25}, 3, 50, RGB(10, 20, 30), false, true);
  EXPECT_EQ(c.GetPixel(26, 6), RGB(10, 20, 30));
  EXPECT_EQ(c.GetPixel(6, 26), RGB(10, 20, 30));
  EXPECT_EQ(c.GetPixel(26, 20), MixColors(RGB(10, 20, 30), clBlack, 50));
}

TEST(CanvasShadow, WideFeatheredShadowRunsFullStrengthStepsFirst) {
  TBitmap b(60, 60, pf24bit, clBlack);
  TBitmapCanvas canvas(b);
  DrawCanvasShadow(canvas, TRect{5, 5, 30, 30}, 7, 60, clWhite, true, false);
  const auto level = [](int p) { return GetRValue(MixColors(clWhite, clBlack, p)); };
  EXPECT_EQ(GetRValue(b.GetPixel(20, 30)), level(60));  // 3 steps at 60 %
  EXPECT_EQ(GetRValue(b.GetPixel(20, 32)), level(60));
  EXPECT_EQ(GetRValue(b.GetPixel(20, 33)), level(60 - 12));  // then 4 fading steps: 48, 36, 24, 12
  EXPECT_EQ(GetRValue(b.GetPixel(20, 36)), level(12));
  EXPECT_EQ(b.GetPixel(20, 37), clBlack);
}

TEST(Thumbnail, FitsCentresAndNeverEnlarges) {
  TBitmap big = RandomBitmap(300, 150, 1), cell(100, 100, pf24bit, clBlack);
  TRect r;
  DrawThumbnail(big, cell, RGB(250, 250, 250), 5, 4, RGB(128, 128, 128), true, r);
  // cell (0,0,96,96), frame inside, margin 5: view (6, 6, 90, 90); 300x150 fits as 84x42
  EXPECT_EQ(r, (TRect{6, 27, 90, 69}));
  EXPECT_EQ(cell.GetPixel(0, 0), RGB(0xCC, 0xCC, 0xCC));  // the frame's light edge
  EXPECT_EQ(cell.GetPixel(95, 50), RGB(0x55, 0x55, 0x55));
  EXPECT_EQ(cell.GetPixel(50, 10), RGB(250, 250, 250));
  EXPECT_EQ(cell.GetPixel(98, 2), RGB(128, 128, 128));  // surround above the shadow

  TBitmap small = RandomBitmap(10, 6, 2), cell2(50, 50, pf24bit, clBlack);
  DrawThumbnail(small, cell2, clWhite, 0, 0, clBlack, false, r);
  EXPECT_EQ(r, (TRect{20, 22, 30, 28}));
  EXPECT_EQ(cell2.GetPixel(20, 22), small.GetPixel(0, 0));
  EXPECT_EQ(cell2.GetPixel(0, 0), clWhite);
}
