// The outer shadow's layout, and its shadow against the whole mask it stands for.
#include <gtest/gtest.h>

#include "pixel/Blend.h"
#include "pixel/Composite.h"
#include "pixel/FrameEffects.h"
#include "pixel/Mask.h"
#include "support/TestImages.h"

using namespace qm;
using namespace qm::test;

TEST(FrameEffects, OuterShadowLayouts) {
  struct Row {
    int offset, margin, position;
    TOuterShadowLayout expected;
  };
  const Row rows[] = {
      {10, 0, cpBottomRight, {110, 90, {0, 0}, {10, 10}}},
      {10, 5, cpTopLeft, {120, 100, {15, 15}, {5, 5}}},
      {10, 0, cpBottomLeft, {110, 90, {10, 0}, {0, 10}}},
      {10, 0, cpTopRight, {110, 90, {0, 10}, {10, 0}}},
  };
  for (const Row& r : rows) {
    const TOuterShadowLayout l = OuterShadowLayout(100, 80, r.offset, r.margin, r.position);
    EXPECT_EQ(l.Width, r.expected.Width);
    EXPECT_EQ(l.Height, r.expected.Height);
    EXPECT_EQ(l.Image, r.expected.Image) << r.position;
    EXPECT_EQ(l.Shadow, r.expected.Shadow) << r.position;
  }
}

// The strips built from the small mask give the pixels the whole blurred mask gives.
TEST(FrameEffects, OuterShadowMatchesTheWholeMask) {
  for (const auto& [w, h] : {std::pair{300, 200}, std::pair{12, 9}, std::pair{17, 140}, std::pair{5, 3}}) {
    for (const bool smoothed : {false, true}) {
      const TOuterShadowLayout l = OuterShadowLayout(w, h, 10, 3, cpBottomRight);
      TBitmap canvas = RandomBitmap(l.Width, l.Height, 4);
      TBitmap expected = canvas.Clone();
      DrawOuterShadow(canvas, l, w, h, RGB(10, 20, 30), 70, smoothed);
      TBitmap mask(w, h, pf24bit, clWhite);
      const int half = smoothed ? 2 : 0;
      mask.FillRect(TRect{half, half, w - half, h - half}, clBlack);
      if (smoothed) ApplyBlurPasses(mask, 4, TRect{0, 0, w, h});
      BlendColorThroughMask(mask, TRect{0, 0, w, h}, expected, l.Shadow.X, l.Shadow.Y,
                            Bounds(l.Shadow.X, l.Shadow.Y, w, h), RGB(10, 20, 30), 70);
      EXPECT_TRUE(SameBitmaps(canvas, expected)) << w << "x" << h << " " << smoothed;
    }
  }
}

// The levels against their definition: each level painted through the shape, which then
// shrinks by a pixel inside a rect one pixel smaller each time; over shapes cut by the
// bitmap's edges too.
TEST(FrameEffects, InsideContourLevelsFollowTheShrinkingShape) {
  struct Row {
    TRect rect;
    int width;
  };
  const Row rows[] = {{{5, 4, 70, 50}, 6}, {{-8, 10, 40, 70}, 20}, {{20, -5, 90, 64}, 3}, {{0, 0, 90, 64}, 40}};
  for (const Row& r : rows) {
    TBitmap mask(90, 64, pf24bit, clWhite);
    // A blob: a few overlapping discs inside the rect, with holes.
    const TBitmap noise = RandomBitmap(90, 64, 11);
    for (int y = 0; y < 64; ++y)
      for (int x = 0; x < 90; ++x)
        if (PtInRect(r.rect, TPoint{x, y}) && (Px(noise, x, y)[0] > 40 || (x / 7 + y / 5) % 3 != 0))
          mask.FillRect(TRect{x, y, x + 1, y + 1}, clBlack);
    TBitmap expected = mask.Clone();
    const TRect area = IntersectRect(TRect{r.rect.Left - 4, r.rect.Top - 4, r.rect.Right + 4, r.rect.Bottom + 4},
                                     TRect{0, 0, 90, 64});
    TBitmap scratch(90, 64, pf24bit, clWhite);
    scratch.FillRect(area, clBlack);
    TRect k = r.rect;
    for (int i = r.width; i >= 0; --i) {
      const int g = ContourGrey(r.width - i, r.width);
      BlendColorThroughMask(expected, TRect{0, 0, 90, 64}, scratch, 0, 0, area, RGB(g, g, g), 100);
      ApplyMinMaxPasses(expected, -1, IntersectRect(k, TRect{0, 0, 90, 64}));
      k = TRect{k.Left + 1, k.Top + 1, k.Right - 1, k.Bottom - 1};
    }
    CopyBitmapRect(scratch, TRect{0, 0, 90, 64}, expected, 0, 0, area);
    InsideContourLevels(mask, r.rect, r.width);
    EXPECT_TRUE(SameBitmaps(mask, expected)) << r.width;
  }
}
