#include "pixel/Brush.h"

#include <gtest/gtest.h>

#include <cmath>

#include "pixel/ImgUtils.h"
#include "platform/core/Numeric.h"
#include "platform/core/Random.h"
#include "support/TestImages.h"

using namespace qm;
using namespace qm::test;

namespace {

// The dab as described, pixel by pixel: target(px, py, before) gives the target of a
// pixel (false: leave it), `before` being the bitmap as it was before the dab.
template <class Target>
void ReferenceDab(TBitmap& bmp, int x, int y, TRect rect, int strength, int radius, int coreDiv, Target target) {
  if (radius < 0 || strength < 1) return;
  strength = std::min(strength, 100);
  ClipRectToBitmap(rect, bmp);
  TRect box = IntersectRect(TRect{x - radius, y - radius, x + radius + 1, y + radius + 1}, rect);
  if (box.IsEmpty()) return;
  const int core = radius / coreDiv;
  TBitmap before = bmp.Clone();
  for (int py = box.Top; py < box.Bottom; ++py)
    for (int px = box.Left; px < box.Right; ++px) {
      const int d = IntDistance(px, py, x, y);
      if (d > radius) continue;
      const int w = d <= core ? strength : (radius - d) * strength / (radius - core);
      int t[3];
      if (!target(px, py, box, before, t, w)) continue;
      uint8_t* p = Px(bmp, px, py);
      for (int c = 0; c < 3; ++c) p[c] = uint8_t(p[c] + (std::clamp(t[c], 0, 255) - p[c]) * w / 100);
    }
}

struct Case {
  int x, y, radius, strength;
  TRect rect;
};

Case RandomCase(Rng& rng, int w, int h) {
  Case c;
  c.x = rng.Int(-10, w + 10);
  c.y = rng.Int(-10, h + 10);
  c.radius = rng.Chance(10) ? rng.Int(-3, 0) : rng.Int(0, 25);
  c.strength = rng.Chance(10) ? rng.Int(-5, 0) : rng.Int(1, 130);
  c.rect = rng.Chance(40) ? UnboundedRect : RandomRect(rng, w, h);
  return c;
}

TRect BoxOf(const Case& c) { return TRect{c.x - c.radius, c.y - c.radius, c.x + c.radius + 1, c.y + c.radius + 1}; }

}  // namespace

TEST(BrushDabs, BlurAndSmudgeMatchTheReference) {
  Rng rng(1);
  for (int iter = 0; iter < 200; ++iter) {
    const int w = rng.Int(1, 60), h = rng.Int(1, 50);
    TBitmap a = RandomBitmap(w, h, uint32_t(iter));
    const Case c = RandomCase(rng, w, h);

    TBitmap b = a.Clone(), e = a.Clone();
    BlurBrushDab(b, c.x, c.y, c.rect, c.strength, c.radius);
    ReferenceDab(e, c.x, c.y, c.rect, c.strength, c.radius, 3, [](int px, int py, TRect box, const TBitmap& old, int* t, int) {
      for (int k = 0; k < 3; ++k) {
        int s = 0;
        for (int dy = -1; dy <= 1; ++dy)
          for (int dx = -1; dx <= 1; ++dx) {
            int yy = py + dy, xx = px + dx;
            if (yy < box.Top || yy >= box.Bottom) yy = py;
            if (xx < box.Left || xx >= box.Right) xx = px;
            s += Px(old, xx, yy)[k];
          }
        t[k] = s / 9;
      }
      return true;
    });
    ASSERT_TRUE(SameBitmaps(b, e)) << "blur " << iter;
    ASSERT_TRUE(SameOutside(b, a, BoxOf(c)));

    const int vs = rng.Int(-3, 3), hs = rng.Int(-3, 3);
    TBitmap s = a.Clone(), se = a.Clone();
    SmudgeDab(s, c.x, c.y, c.rect, vs, hs, c.strength, c.radius);
    TRect clip = c.rect;
    ClipRectToBitmap(clip, a);
    const int cv = std::clamp(vs, -1, 1), ch = std::clamp(hs, -1, 1);
    ReferenceDab(se, c.x, c.y, c.rect, c.strength, c.radius, 3, [&](int px, int py, TRect box, const TBitmap& old, int* t, int) {
      TRect from = IntersectRect(OffsetRect(box, ch, cv), clip);
      if (from.IsEmpty()) return false;
      int sx = from.Left + std::clamp(px - box.Left + ch, 0, from.Width() - 1);
      int sy = from.Top + std::clamp(py - box.Top + cv, 0, from.Height() - 1);
      for (int k = 0; k < 3; ++k) t[k] = Px(old, sx, sy)[k];
      return true;
    });
    ASSERT_TRUE(SameBitmaps(s, se)) << "smudge " << iter;
  }
}

TEST(BrushDabs, AirbrushCloneAndPatternMatchTheReference) {
  Rng rng(2);
  for (int iter = 0; iter < 200; ++iter) {
    const int w = rng.Int(1, 60), h = rng.Int(1, 50);
    TBitmap a = RandomBitmap(w, h, uint32_t(iter) + 500);
    const Case c = RandomCase(rng, w, h);

    const int sparsity = rng.Int(-1, 6);
    const TColor color = RGB(rng.Int(0, 255), rng.Int(0, 255), rng.Int(0, 255));
    TBitmap b = a.Clone(), e = a.Clone();
    RandSeed(uint32_t(iter));
    AirbrushDab(b, c.x, c.y, c.rect, sparsity, color, c.strength, c.radius);
    RandSeed(uint32_t(iter));
    if (sparsity >= 0)
      ReferenceDab(e, c.x, c.y, c.rect, c.strength, c.radius, 4, [&](int, int, TRect, const TBitmap&, int* t, int) {
        if (sparsity > 1 && Random(sparsity) != 0) return false;
        t[0] = GetBValue(color);
        t[1] = GetGValue(color);
        t[2] = GetRValue(color);
        return true;
      });
    ASSERT_TRUE(SameBitmaps(b, e)) << "airbrush " << iter;

    // clone from another bitmap, and from the bitmap itself (read as the dab goes)
    const int vo = rng.Int(-20, 20), ho = rng.Int(-20, 20);
    TBitmap src = RandomBitmap(rng.Int(1, 70), rng.Int(1, 60), uint32_t(iter) + 900);
    for (bool self : {false, true}) {
      TBitmap cl = a.Clone(), ce = a.Clone();
      CloneDab(cl, self ? cl : src, c.x, c.y, c.rect, c.strength, vo, ho, c.radius);
      const TBitmap& from = self ? ce : src;
      ReferenceDab(ce, c.x, c.y, c.rect, c.strength, c.radius, 3, [&](int px, int py, TRect, const TBitmap&, int* t, int) {
        const int sx = px + ho, sy = py + vo;
        if (sx < 0 || sy < 0 || sx >= from.Width() || sy >= from.Height()) return false;
        for (int k = 0; k < 3; ++k) t[k] = Px(from, sx, sy)[k];
        return true;
      });
      ASSERT_TRUE(SameBitmaps(cl, ce)) << "clone " << iter << " self " << self;
    }

    // pattern, anchored or not, with a transparent key
    TBitmap pat = RandomBitmap(rng.Int(1, 9), rng.Int(1, 9), uint32_t(iter) + 1300);
    pat.Transparent = rng.Chance(50);
    pat.TransparentColor = pat.GetPixel(0, 0);
    const bool anchored = rng.Chance(50);
    TBitmap pb = a.Clone(), pe = a.Clone();
    PatternDab(pb, pat, c.x, c.y, c.rect, anchored, c.strength, c.radius);
    const int ox = anchored ? c.x - c.radius : 0, oy = anchored ? c.y - c.radius : 0;
    ReferenceDab(pe, c.x, c.y, c.rect, c.strength, c.radius, 3, [&](int px, int py, TRect, const TBitmap&, int* t, int) {
      const int sx = ModFloor(px - ox, pat.Width()), sy = ModFloor(py - oy, pat.Height());
      if (pat.Transparent && pat.GetPixel(sx, sy) == pat.TransparentColor) return false;
      for (int k = 0; k < 3; ++k) t[k] = Px(pat, sx, sy)[k];
      return true;
    });
    ASSERT_TRUE(SameBitmaps(pb, pe)) << "pattern " << iter;
  }
}

TEST(BrushDabs, RetouchMatchesTheReference) {
  Rng rng(3);
  for (int iter = 0; iter < 150; ++iter) {
    const int w = rng.Int(1, 40), h = rng.Int(1, 40);
    TBitmap a = RandomBitmap(w, h, uint32_t(iter) + 77);
    const Case c = RandomCase(rng, w, h);
    const int mode = rng.Int(-1, 5);
    TBitmap b = a.Clone(), e = a.Clone();
    RetouchDab(b, c.x, c.y, c.rect, mode, c.strength, c.radius);
    if (mode >= 0 && mode <= 4)
      ReferenceDab(e, c.x, c.y, c.rect, c.strength, c.radius, 4, [&](int px, int py, TRect, const TBitmap& old, int* t, int) {
        const uint8_t* p = Px(old, px, py);
        const int lum = Luminance(p[0], p[1], p[2]);
        for (int k = 0; k < 3; ++k) {
          const int v = p[k];
          switch (mode) {
            case 0: t[k] = RoundHalfEven(std::pow(v / 255.0, 1.13) * 255.0); break;
            case 1: t[k] = RoundHalfEven(std::pow(v / 255.0, 0.88) * 255.0); break;
            case 2: t[k] = RoundHalfEven(v + (v - lum) * -0.2); break;
            case 3: t[k] = RoundHalfEven(v + (v - lum) * 0.1); break;
            default: t[k] = v;
          }
        }
        if (mode == 4 && p[2] / (p[0] + 1.0) >= 1.33 && p[2] / (p[1] + 1.0) >= 1.33) t[2] = RoundHalfEven(lum * 0.69);
        return true;
      });
    ASSERT_TRUE(SameBitmaps(b, e)) << "retouch " << iter << " mode " << mode;
  }
}

TEST(BrushDabs, EdgeCases) {
  // red eye: (B, G, R) = (200, 100, 160) stays, (40, 40, 200) gets red round(88 * 0.69)
  TBitmap eye(2, 1, pf24bit, clBlack);
  Px(eye, 0, 0)[0] = 200, Px(eye, 0, 0)[1] = 100, Px(eye, 0, 0)[2] = 160;
  Px(eye, 1, 0)[0] = 40, Px(eye, 1, 0)[1] = 40, Px(eye, 1, 0)[2] = 200;
  RetouchDab(eye, 0, 0, UnboundedRect, 4, 100, 0);
  RetouchDab(eye, 1, 0, UnboundedRect, 4, 100, 0);
  EXPECT_EQ(eye.GetPixel(0, 0), RGB(160, 100, 200));
  EXPECT_EQ(eye.GetPixel(1, 0), RGB(61, 40, 40));

  // radius 0: only the point, at full strength; the ring at the radius is unchanged
  TBitmap b(9, 9, pf24bit, clBlack);
  AirbrushDab(b, 4, 4, UnboundedRect, 0, clWhite, 100, 0);
  EXPECT_EQ(b.GetPixel(4, 4), clWhite);
  EXPECT_EQ(b.GetPixel(3, 4), clBlack);
  AirbrushDab(b, 4, 4, UnboundedRect, 1, RGB(255, 0, 0), 100, 3);
  EXPECT_EQ(b.GetPixel(4, 1), clBlack);  // d = 3 = radius: weight 0
  EXPECT_EQ(b.GetPixel(4, 2), RGB(84, 0, 0));  // d = 2: weight (3 - 2) * 100 / 3 = 33
  EXPECT_EQ(b.GetPixel(4, 4), RGB(255, 0, 0));

  // a dab outside the rect changes nothing; a negative radius neither
  TBitmap c = RandomBitmap(20, 20, 4), ref = c.Clone();
  BlurBrushDab(c, 3, 3, TRect{10, 10, 20, 20}, 100, 5);
  PatternDab(c, c, 10, 10, UnboundedRect, true, 100, -1);
  SmudgeDab(c, 10, 10, UnboundedRect, 1, 1, 0, 5);
  EXPECT_TRUE(SameBitmaps(c, ref));

  // smudge steps are clamped to -1..1
  TBitmap s1 = RandomBitmap(30, 30, 5), s2 = s1.Clone();
  SmudgeDab(s1, 15, 15, UnboundedRect, 5, -7, 80, 8);
  SmudgeDab(s2, 15, 15, UnboundedRect, 1, -1, 80, 8);
  EXPECT_TRUE(SameBitmaps(s1, s2));

  // a 1 x 1 pattern paints its colour
  TBitmap one(1, 1, pf24bit, RGB(10, 20, 30));
  TBitmap p(11, 11, pf24bit, clWhite);
  PatternDab(p, one, 5, 5, UnboundedRect, false, 100, 5);
  EXPECT_EQ(p.GetPixel(5, 5), RGB(10, 20, 30));
  EXPECT_EQ(p.GetPixel(5, 6), RGB(10, 20, 30));  // within the core (radius / 3 = 1)
  EXPECT_EQ(p.GetPixel(5, 7), RGB(72, 79, 87));  // d = 2: weight 75
}

// Extreme points, radii and offsets: nothing undefined (the sanitizers watch), nothing
// outside the rect written, and a point a billion pixels away whose radius reaches the
// bitmap costs no more than the pixels it covers.
TEST(BrushDabs, ExtremeParametersStayInBounds) {
  const int kInts[] = {INT32_MIN, INT32_MIN + 1, -1000000000, -5, 0, 3, 1000000000, INT32_MAX - 1, INT32_MAX};
  const TBitmap orig = RandomBitmap(13, 11, 91);
  const TBitmap pat = RandomBitmap(3, 2, 92);
  const TRect r{2, 1, 12, 10};
  for (int x : kInts)
    for (int y : {INT32_MIN, -3, 5, INT32_MAX})
      for (int radius : {-1, 0, 7, 1000000000, INT32_MAX}) {
        TBitmap b = orig.Clone();
        RandSeed(1);
        BlurBrushDab(b, x, y, r, 100, radius);
        SmudgeDab(b, x, y, r, x, y, 100, radius);
        AirbrushDab(b, x, y, r, 3, clWhite, 100, radius);
        CloneDab(b, orig, x, y, r, 100, x, y, radius);
        CloneDab(b, orig, x, y, r, 100, INT32_MAX, INT32_MIN, radius);
        PatternDab(b, pat, x, y, r, true, 100, radius);
        PatternDab(b, pat, x, y, r, false, 100, radius);
        for (int mode = 0; mode <= 4; ++mode) RetouchDab(b, x, y, r, mode, 100, radius);
        EXPECT_TRUE(SameOutside(b, orig, r));
      }
}
