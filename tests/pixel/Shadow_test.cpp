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

TEST(BitmapShadow, FeatheredStepsDarkenByTheirShareOfThePercent) {
  // width 2, percent 50 on a uniform 200: two steps at 34 and 18 percent, each darkening
  // v to v - trunc(v * p / 100) give or take 3 of noise
  RandSeed(5);
  TBitmap b(60, 50, pf24bit, RGB(200, 200, 200));
  DrawBitmapShadow(b, TRect{10, 10, 40, 30}, 2, 50, true);
  const auto near = [&](int x, int y, int p) {
    for (int c = 0; c < 3; ++c) {
      const int want = 200 - 200 * p / 100, got = Px(b, x, y)[c];
      if (got < want - 3 || got > want + 3)
        return ::testing::AssertionFailure() << "(" << x << ", " << y << ") " << got << " for " << p << " %";
    }
    return ::testing::AssertionSuccess();
  };
  // the offset rect is (12, 12, 40, 30); step 1 is the row y = 30 and the column x = 40
  EXPECT_TRUE(near(25, 30, 34));
  EXPECT_TRUE(near(40, 20, 34));
  EXPECT_TRUE(near(12, 30, 34 * 2 / 10));  // the near ends fade in
  EXPECT_TRUE(near(15, 30, 34 * 8 / 10));
  EXPECT_TRUE(near(40, 13, 34 * 4 / 10));
  EXPECT_TRUE(near(40, 30, 34 * 8 / 10));  // the far end of the row fades out
  // step 2 is the row y = 31 and the column x = 41, their far ends fading
  EXPECT_TRUE(near(25, 31, 18));
  EXPECT_TRUE(near(41, 20, 18));
  EXPECT_TRUE(near(40, 31, 18 * 8 / 10));
  EXPECT_TRUE(near(41, 31, 18 * 6 / 10));
  EXPECT_TRUE(near(41, 30, 18 * 8 / 10));
  EXPECT_TRUE(near(41, 12, 18 * 2 / 10));
  for (TPoint p : {TPoint{42, 31}, TPoint{25, 32}, TPoint{11, 30}, TPoint{40, 11}, TPoint{39, 29}, TPoint{41, 32}})
    EXPECT_EQ(b.GetPixel(p.X, p.Y), RGB(200, 200, 200)) << p.X << "," << p.Y;
}

TEST(BitmapShadow, DarkenWithNoiseCutsTheAreaToTheBitmap) {
  RandSeed(9);
  TBitmap b(8, 6, pf24bit, RGB(100, 100, 100));
  DarkenWithNoise(b, -4, -3, 3, 2, 40);
  DarkenWithNoise(b, 6, 4, 20, 30, 40);
  for (int y = 0; y < 6; ++y)
    for (int x = 0; x < 8; ++x) {
      const bool inside = (x < 3 && y < 2) || (x >= 6 && y >= 4);
      for (int c = 0; c < 3; ++c) {
        const int v = Px(b, x, y)[c];
        if (inside) {
          ASSERT_GE(v, 57) << x << "," << y;
          ASSERT_LE(v, 63) << x << "," << y;
        } else {
          ASSERT_EQ(v, 100) << x << "," << y;
        }
      }
    }
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
