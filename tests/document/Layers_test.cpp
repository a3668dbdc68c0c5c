#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "document/Layers.h"
#include "document/Resample.h"
#include "pixel/Blend.h"
#include "pixel/ImgUtils.h"
#include "platform/core/Numeric.h"
#include "platform/core/Parallel.h"
#include "support/TestImages.h"

using namespace qm;
using namespace qm::test;

namespace {

bool IsKey(const TBitmap& b, int x, int y, TColor key) { return b.GetPixel(x, y) == key; }

// Every pixel read from the picture as it was before the pass.
void ReferenceEdgePass(TBitmap& bmp, int passes, TColor key, TRect r) {
  ClipRectToBitmap(r, bmp);
  if (r.IsEmpty()) return;
  for (int p = 0; p < passes; ++p) {
    TBitmap before = bmp.Clone();
    for (int y = r.Top; y < r.Bottom; ++y)
      for (int x = r.Left; x < r.Right; ++x) {
        if (!IsKey(before, x, y, key)) continue;
        const TPoint order[4] = {{x, std::max(y - 1, int(r.Top))},
                                 {x, std::min(y + 1, int(r.Bottom) - 1)},
                                 {std::max(x - 1, int(r.Left)), y},
                                 {std::min(x + 1, int(r.Right) - 1), y}};
        for (TPoint q : order)
          if (!IsKey(before, q.X, q.Y, key)) {
            bmp.SetPixel(x, y, before.GetPixel(q.X, q.Y));
            break;
          }
      }
  }
}

// A picture with islands of colour in a sea of the key colour.
TBitmap Islands(int w, int h, uint32_t seed, TColor key) {
  TBitmap b = RandomBitmap(w, h, seed);
  Rng rng(seed);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x)
      if (rng.Chance(80)) b.SetPixel(x, y, key);
  return b;
}

double Coverage(const TBitmap& mask, int x, int y, int opacity) {
  const int m = mask.Empty() ? 0 : mask.ScanLine(y)[3 * x];
  return (255 - m) / 255.0 * opacity / 100.0;
}

// The merge of two layers' pixels, transcribed rule by rule.
void ReferenceBlendThroughMasks(const TLayerItem& up, const TLayerItem& lo, TBitmap& out, int ox, int oy) {
  for (int y = 0; y < out.Height(); ++y)
    for (int x = 0; x < out.Width(); ++x) {
      const int ix = x + ox, iy = y + oy;
      const int ux = ix - up.Left, uy = iy - up.Top, lx = ix - lo.Left, ly = iy - lo.Top;
      if (ux < 0 || uy < 0 || ux >= up.Image.Width() || uy >= up.Image.Height()) continue;
      if (lx < 0 || ly < 0 || lx >= lo.Image.Width() || ly >= lo.Image.Height()) continue;
      const double au = Coverage(up.Mask, ux, uy, up.Opacity), al = Coverage(lo.Mask, lx, ly, lo.Opacity);
      uint8_t lower[3], upper[3];
      std::memcpy(lower, Px(lo.Image, lx, ly), 3);
      std::memcpy(upper, Px(up.Image, ux, uy), 3);
      int percent;
      if (au < 0.01) percent = 0;
      else if (al < 0.01) percent = 100;
      else if (au > 0.99) percent = 100;
      else if (al > 0.99) percent = RoundHalfEven(au * 100);
      else {
        int t = 255 - RoundHalfEven(255 * al);
        int d = t - RoundHalfEven(t * au);
        int o = d >= 0 ? 255 - d : 255;
        percent = RoundHalfEven(au / (o / 255.0) * 100);
      }
      for (int c = 0; c < 3; ++c)
        Px(out, x, y)[c] = percent >= 100 ? upper[c] : uint8_t(lower[c] + (upper[c] - lower[c]) * percent / 100);
    }
}

// A hard shadow, pixel by pixel.
void ReferenceHardShadow(const TBitmap& mask, TBitmap& target, int left, int top, int w, int h,
                         const TLayerShadow& s, TRect clip, int opacity) {
  ClipRectToBitmap(clip, target);
  const int op = opacity * s.Opacity / 100;
  for (int y = clip.Top; y < clip.Bottom; ++y)
    for (int x = clip.Left; x < clip.Right; ++x) {
      auto inside = [&](int lx, int ly) { return lx >= 0 && ly >= 0 && lx < w && ly < h; };
      auto maskAt = [&](int lx, int ly) { return mask.Empty() ? 0 : int(mask.ScanLine(ly)[3 * lx]); };
      int v = 255;
      const int sx = x - left - s.OffsetX, sy = y - top - s.OffsetY;
      if (inside(sx, sy)) v = maskAt(sx, sy);
      if (inside(x - left, y - top) && maskAt(x - left, y - top) < 255) v = 255;
      const uint8_t m[3] = {uint8_t(v), uint8_t(v), uint8_t(v)};
      uint8_t col[3];
      ColorToPixel24(s.Color, col);
      BlendPixelMasked(Px(target, x, y), col, m, op);
    }
}

}  // namespace

TEST(RepeatEdgePass, MatchesTheReferenceOnAnyRectAndThreadCount) {
  Rng rng(1);
  for (int round = 0; round < 60; ++round) {
    const int w = rng.Int(1, 40), h = rng.Int(1, 30);
    const TColor key = round % 2 ? clWhite : RGB(10, 20, 30);
    TBitmap a = Islands(w, h, 100 + round, key), b = a.Clone();
    const TRect r = RandomRect(rng, w, h);
    const int passes = rng.Int(0, 3);
    SetEngineThreads(round % 3 ? 8 : 1);
    RepeatEdgePass(a, passes, key, r);
    ReferenceEdgePass(b, passes, key, r);
    ASSERT_TRUE(SameBitmaps(a, b)) << "round " << round;
  }
  SetEngineThreads(0);
}

TEST(RepeatEdgePass, RowsWiderThanAnyFixedBuffer) {
  TBitmap a = Islands(10050, 40, 7, clWhite), b = a.Clone();
  RepeatEdgePass(a, 2, clWhite, UnboundedRect);
  ReferenceEdgePass(b, 2, clWhite, GetBitmapRect(b));
  EXPECT_TRUE(SameBitmaps(a, b));
}

TEST(BlendLayerThroughMasks, MatchesTheRules) {
  Rng rng(2);
  for (int round = 0; round < 40; ++round) {
    TLayerItem up, lo;
    up.Image = RandomBitmap(rng.Int(1, 20), rng.Int(1, 20), 200 + round);
    lo.Image = RandomBitmap(rng.Int(1, 20), rng.Int(1, 20), 300 + round);
    if (rng.Chance(80)) up.Mask = RandomMask(up.Image.Width(), up.Image.Height(), 400 + round);
    if (rng.Chance(80)) lo.Mask = RandomMask(lo.Image.Width(), lo.Image.Height(), 500 + round);
    up.Opacity = uint8_t(rng.Int(0, 100));
    lo.Opacity = uint8_t(rng.Int(0, 100));
    up.Left = rng.Int(-10, 10);
    up.Top = rng.Int(-10, 10);
    lo.Left = rng.Int(-10, 10);
    lo.Top = rng.Int(-10, 10);
    TBitmap a = RandomBitmap(30, 30, 600 + round), b = a.Clone();
    BlendLayerThroughMasks(up, lo, a, -12, -12);
    ReferenceBlendThroughMasks(up, lo, b, -12, -12);
    ASSERT_TRUE(SameBitmaps(a, b)) << "round " << round;
  }
}

TEST(BlendLayerThroughMasks, HalfOverFullBlendsHalfWay) {
  TLayerItem up, lo;
  up.Image = TBitmap(4, 4, pf24bit, RGB(200, 100, 0));
  lo.Image = TBitmap(4, 4, pf24bit, RGB(0, 100, 200));
  up.Mask = TBitmap(4, 4, pf24bit, clBlack);
  lo.Mask = TBitmap(4, 4, pf24bit, clBlack);
  up.Opacity = 50;
  lo.Opacity = 100;
  TBitmap out(4, 4, pf24bit, clBlack);
  BlendLayerThroughMasks(up, lo, out, 0, 0);
  EXPECT_EQ(out.GetPixel(2, 2), RGB(100, 100, 100));
}

TEST(LayerRoutines, DrawLayerBitmapPicksMaskKeyOrOpacity) {
  TBitmap src = RandomBitmap(10, 8, 3), mask = RandomMask(10, 8, 4);
  TBitmap t1 = RandomBitmap(20, 20, 5), t2 = t1.Clone();
  DrawLayerBitmap(src, t1, 3, mask, 70, TRect{0, 0, 15, 15}, -2);
  CopyBitmapRectMasked(src, GetBitmapRect(src), t2, 3, -2, TRect{0, 0, 15, 15}, 70, mask);
  EXPECT_TRUE(SameBitmaps(t1, t2));
  src.Transparent = true;
  src.TransparentColor = src.GetPixel(1, 1);
  DrawLayerBitmap(src, t1, 4, TBitmap(), 60, UnboundedRect, 4);
  CopyBitmapRectTransparent(src, GetBitmapRect(src), t2, 4, 4, UnboundedRect, 60, src.TransparentColor, 0);
  EXPECT_TRUE(SameBitmaps(t1, t2));
  src.Transparent = false;
  DrawLayerBitmap(src, t1, 5, TBitmap(), 30, UnboundedRect, 1);
  CopyBitmapRectOpacity(src, GetBitmapRect(src), t2, 5, 1, UnboundedRect, 30);
  EXPECT_TRUE(SameBitmaps(t1, t2));
}

TEST(LayerRoutines, MasksContentAndWhitening) {
  TBitmap img = RandomBitmap(6, 5, 6), mask(6, 5, pf24bit, clWhite);
  EXPECT_TRUE(GetLayerContentRect(img, mask).IsEmpty());
  EXPECT_EQ(GetLayerContentRect(img, TBitmap()), (TRect{0, 0, 6, 5}));
  mask.SetPixel(2, 1, RGB(254, 254, 254));
  mask.SetPixel(4, 3, clBlack);
  EXPECT_EQ(GetLayerContentRect(img, mask), (TRect{2, 1, 5, 4}));
  EXPECT_TRUE(IsMaskPixelHidden(mask, 0, 0));
  EXPECT_FALSE(IsMaskPixelHidden(mask, 2, 1));
  EXPECT_FALSE(IsMaskPixelHidden(mask, 9, 9));
  EXPECT_FALSE(IsMaskPixelHidden(TBitmap(), 0, 0));
  WhitenMaskedArea(img, mask);
  EXPECT_EQ(img.GetPixel(0, 0), clWhite);
  EXPECT_NE(img.GetPixel(4, 3), clWhite);
  TPoint pos{10, 10};
  CropLayerToMask(img, mask, pos);
  EXPECT_EQ(pos, (TPoint{12, 11}));
  EXPECT_EQ(img.Width(), 3);
  EXPECT_EQ(mask.Height(), 3);
}

TEST(LayerRoutines, ShadowReachAndExtent) {
  TLayerShadow s;
  EXPECT_EQ(ExtendRectByShadow(TRect{0, 0, 10, 10}, s), (TRect{0, 0, 10, 10}));  // disabled
  s.Enabled = 1;
  s.Radius = 0;
  s.OffsetX = -3;
  s.OffsetY = 4;
  EXPECT_EQ(ExtendRectByShadow(TRect{0, 0, 10, 10}, s), (TRect{-3, 0, 10, 14}));
  s.Radius = 3;
  const int m = ShadowReach(s);
  EXPECT_GE(m, 6);
  EXPECT_EQ(ExtendRectByShadow(TRect{0, 0, 10, 10}, s), (TRect{-3 - m, -m, 10 + m, 14 + m}));
  // stored values far out of range stay arithmetic (the sanitizers watch)
  s.OffsetX = INT32_MAX;
  s.OffsetY = INT32_MIN;
  s.Radius = INT32_MAX;
  const TRect far = ExtendRectByShadow(TRect{0, 0, 10, 10}, s);
  EXPECT_LT(far.Left, 0);
  EXPECT_GT(far.Right, 10);
  TBitmap t(20, 20, pf24bit, clWhite), before = t.Clone();
  s.Radius = 2;
  RenderShadowFromMask(TBitmap(), t, 0, 10, 10, s, UnboundedRect, 100, 0);
  EXPECT_TRUE(SameBitmaps(t, before));
}

TEST(LayerRoutines, HardShadowMatchesTheReference) {
  Rng rng(8);
  for (int round = 0; round < 40; ++round) {
    const int w = rng.Int(1, 15), h = rng.Int(1, 15);
    TBitmap mask = rng.Chance(70) ? RandomMask(w, h, 700 + round) : TBitmap();
    TLayerShadow s;
    s.Enabled = 1;
    s.Radius = 0;
    s.OffsetX = rng.Int(-6, 6);
    s.OffsetY = rng.Int(-6, 6);
    s.Opacity = rng.Int(0, 100);
    s.Color = RGB(rng.Int(0, 255), rng.Int(0, 255), rng.Int(0, 255));
    const int left = rng.Int(-5, 20), top = rng.Int(-5, 20), opacity = rng.Int(0, 100);
    const TRect clip = RandomRect(rng, 25, 25);
    TBitmap a = RandomBitmap(25, 25, 800 + round), b = a.Clone();
    RenderShadowFromMask(mask, a, left, h, w, s, clip, opacity, top);
    ReferenceHardShadow(mask, b, left, top, w, h, s, clip, opacity);
    ASSERT_TRUE(SameBitmaps(a, b)) << "round " << round;
  }
}

// A shadow drawn piece by piece gives the pixels of the shadow drawn whole.
TEST(LayerRoutines, ShadowsDoNotDependOnTheDrawnRectangle) {
  for (uint8_t spread : {0, 1})
    for (int radius : {0, 1, 3, 7}) {
      TLayerShadow s;
      s.Enabled = 1;
      s.Radius = radius;
      s.Spread = spread;
      s.OffsetX = 4;
      s.OffsetY = -3;
      TBitmap mask = RandomMask(30, 20, 9);
      TBitmap whole(80, 60, pf24bit, RGB(90, 120, 150)), pieces = whole.Clone();
      RenderShadowFromMask(mask, whole, 20, 20, 30, s, UnboundedRect, 80, 15);
      for (int y = 0; y < 60; y += 7)
        for (int x = 0; x < 80; x += 9) RenderShadowFromMask(mask, pieces, 20, 20, 30, s, Bounds(x, y, 9, 7), 80, 15);
      ASSERT_TRUE(SameBitmaps(whole, pieces)) << "radius " << radius << " spread " << int(spread);
    }
}

TEST(ResizeLayerBitmap, SmoothAndPlain) {
  TBitmap b = RandomBitmap(40, 30, 10), same = b.Clone();
  ResizeLayerBitmap(b, 40, 30, true);  // the same size: untouched
  EXPECT_TRUE(SameBitmaps(b, same));
  ResizeLayerBitmap(b, 0, 10, true);  // refused
  ResizeLayerBitmap(b, 10, -1, false);
  EXPECT_TRUE(SameBitmaps(b, same));

  TBitmap plain = same.Clone(), expected = same.Clone();
  ResizeLayerBitmap(plain, 17, 45, false);
  ResizeBitmap(17, 45, expected);
  EXPECT_TRUE(SameBitmaps(plain, expected));

  // a flat colour stays flat through the filter, at any size, wider than 10001 too
  TBitmap flat(13, 7, pf24bit, RGB(12, 200, 77));
  ResizeLayerBitmap(flat, 10007, 3, true);
  ASSERT_EQ(flat.Width(), 10007);
  ASSERT_EQ(flat.Height(), 3);
  for (int x = 0; x < 10007; x += 97) ASSERT_EQ(flat.GetPixel(x, 1), RGB(12, 200, 77));

  // an edge stays sharp in the middle of a large enlargement, and its ends keep their
  // colours: the triangle filter interpolates between them
  TBitmap edge(2, 1, pf24bit, clBlack);
  edge.SetPixel(1, 0, clWhite);
  ResizeLayerBitmap(edge, 20, 1, true);
  EXPECT_EQ(edge.GetPixel(0, 0), clBlack);
  EXPECT_EQ(edge.GetPixel(19, 0), clWhite);
  for (int x = 1; x < 20; ++x) EXPECT_GE(GetRValue(edge.GetPixel(x, 0)), GetRValue(edge.GetPixel(x - 1, 0)));
}
