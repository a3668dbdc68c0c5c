#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <memory>

#include "pixel/Blend.h"
#include "pixel/ImgUtils.h"
#include "pixel/Sampling.h"
#include "pixel/Transform.h"
#include "platform/core/Numeric.h"
#include "platform/core/Parallel.h"
#include "support/TestImages.h"

using namespace qm;
using namespace qm::test;

namespace {

enum class Kind { Plain, Opacity, Masked };

// The general path as written down: each destination pixel of the area mapped back
// from its centre with MapPoint, sampled and written one at a time.
void ReferenceRasterize(const TBitmap& src, TBitmap& dst, TTransformation& t, Kind kind, int opacity,
                        const TBitmap* mask, bool smooth) {
  TRect b;
  t.GetDestBounds(b);
  const TRect area = IntersectRect(b, TRect{0, 0, dst.Width(), dst.Height()});
  if (!t.Prepared) t.Prepare();
  const int W = src.Width(), H = src.Height();
  for (int y = area.Top; y < area.Bottom; ++y)
    for (int x = area.Left; x < area.Right; ++x) {
      double sx, sy;
      t.MapPoint(x + 0.5, y + 0.5, sx, sy);
      sx -= 0.5;
      sy -= 0.5;
      uint8_t* d = Px(dst, x, y);
      uint8_t s[3], m = 0;
      if (!smooth) {
        if (!(std::fabs(sx) < 1e6 && std::fabs(sy) < 1e6)) continue;
        const int ix = RoundHalfEven(sx), iy = RoundHalfEven(sy);
        if (ix < 0 || ix >= W || iy < 0 || iy >= H) continue;
        std::memcpy(s, Px(src, ix, iy), 3);
        if (mask) m = Px(*mask, ix, iy)[0];
      } else {
        if (!(sx >= -1 && sx < W && sy >= -1 && sy < H)) continue;
        const int ix = int(std::floor(sx)), iy = int(std::floor(sy));
        const double fx = sx - ix, fy = sy - iy;
        auto col = [&](int xx, int yy, int k) -> double {
          return xx >= 0 && xx < W && yy >= 0 && yy < H ? Px(src, xx, yy)[k] : d[k];
        };
        auto mk = [&](int xx, int yy) -> double {
          return xx >= 0 && xx < W && yy >= 0 && yy < H ? Px(*mask, xx, yy)[0] : 255;
        };
        auto lerp = [&](double v00, double v10, double v01, double v11) {
          const double c0 = (1 - fy) * v00 + fy * v01, c1 = (1 - fy) * v10 + fy * v11;
          return uint8_t(std::clamp(RoundHalfEven((1 - fx) * c0 + fx * c1), 0, 255));
        };
        for (int k = 0; k < 3; ++k)
          s[k] = lerp(col(ix, iy, k), col(ix + 1, iy, k), col(ix, iy + 1, k), col(ix + 1, iy + 1, k));
        if (mask) m = lerp(mk(ix, iy), mk(ix + 1, iy), mk(ix, iy + 1), mk(ix + 1, iy + 1));
      }
      if (kind == Kind::Plain) std::memcpy(d, s, 3);
      else if (kind == Kind::Opacity) BlendPixel(d, s, opacity);
      else BlendPixelMasked(d, s, &m, opacity);
    }
}

void RunKind(const TBitmap& src, TBitmap& dst, TTransformation& t, Kind kind, int opacity, const TBitmap* mask,
         bool smooth) {
  switch (kind) {
    case Kind::Plain: RasterizeTransform(src, dst, t, smooth); break;
    case Kind::Opacity: RasterizeTransformOpacity(src, dst, t, opacity, smooth); break;
    case Kind::Masked: RasterizeTransformMasked(src, dst, t, opacity, *mask, smooth); break;
  }
}

std::unique_ptr<TTransformation> RandomTransform(Rng& rng, int W, int H) {
  if (rng.Chance(40)) {
    auto p = std::make_unique<TProjectiveTransformation>();
    p->SetSrcRect(TRect{0, 0, W, H});
    const int s = std::max(W, H);
    p->SetTopLeft(TPoint{rng.Int(-5, s / 3), rng.Int(-5, s / 3)});
    p->SetTopRight(TPoint{rng.Int(s, 2 * s), rng.Int(-5, s / 3)});
    p->SetBottomRight(TPoint{rng.Int(s, 2 * s), rng.Int(s, 2 * s)});
    p->SetBottomLeft(TPoint{rng.Int(-5, s / 3), rng.Int(s, 2 * s)});
    return p;
  }
  auto a = std::make_unique<TAffineTransformation>();
  a->SetSrcRect(TRect{0, 0, W, H});
  a->Rotate(W / 2.0, H / 2.0, rng.Int(-3600, 3600) / 10.0);
  if (rng.Chance(50)) a->Skew(rng.Int(-50, 50) / 100.0, rng.Int(-50, 50) / 100.0);
  if (rng.Chance(50)) a->Scale(rng.Int(30, 250) / 100.0, rng.Int(30, 250) / 100.0);
  a->Translate(rng.Int(-20, 20), rng.Int(-20, 20));
  return a;
}

}  // namespace

TEST(Transform, AffineGeometryGivesTheListedCornersAndBounds) {
  TAffineTransformation t;
  t.SetSrcRect(TRect{0, 0, 10, 5});
  t.Rotate(0, 0, 90);
  TPoint c[4];
  t.GetDestCorners(c);
  EXPECT_EQ(c[0], (TPoint{0, 0}));
  EXPECT_EQ(c[1], (TPoint{0, -10}));
  EXPECT_EQ(c[2], (TPoint{5, -10}));
  EXPECT_EQ(c[3], (TPoint{5, 0}));
  EXPECT_FALSE(t.IsAxisAligned());

  TAffineTransformation s;
  s.SetSrcRect(TRect{0, 0, 10, 10});
  s.Scale(2, 3);
  TRect b;
  s.GetDestBounds(b);
  EXPECT_EQ(b, (TRect{0, 0, 20, 30}));
  EXPECT_TRUE(s.IsAxisAligned());
  EXPECT_FALSE(s.IsPlainTranslation());

  TAffineTransformation k;
  k.SetSrcRect(TRect{0, 0, 10, 10});
  k.Skew(1, 0);
  k.GetDestCorners(c);
  EXPECT_EQ(c[2], (TPoint{20, 10}));
  k.Translate(-3, 4);  // acts after the skew
  k.GetDestCorners(c);
  EXPECT_EQ(c[2], (TPoint{17, 14}));
  k.MoveToOrigin();
  k.GetDestBounds(b);
  EXPECT_EQ(b, (TRect{0, 0, 20, 10}));

  // The inverse maps back; Prepare is needed after every change.
  TAffineTransformation r;
  r.SetSrcRect(TRect{0, 0, 50, 40});
  r.Rotate(25, 20, 33);
  r.Scale(1.5, 0.75);
  EXPECT_FALSE(r.Prepared);
  r.Prepare();
  EXPECT_TRUE(r.Prepared);
  const double fx = 7 * r.Matrix[0] + 9 * r.Matrix[3] + r.Matrix[6], fy = 7 * r.Matrix[1] + 9 * r.Matrix[4] + r.Matrix[7];
  double sx, sy;
  r.MapPoint(fx, fy, sx, sy);
  EXPECT_NEAR(sx, 7, 1e-9);
  EXPECT_NEAR(sy, 9, 1e-9);
  r.Translate(1, 1);
  EXPECT_FALSE(r.Prepared);
  // A singular matrix inverts to the identity.
  TMatrix3 m{1, 2, 0, 2, 4, 0, 0, 0, 1};
  MatrixInvert(m);
  EXPECT_EQ(m, kIdentityMatrix);
}

TEST(Transform, HalfTurnsAndMirrorsAreNotTakenForUprightPlacements) {
  TAffineTransformation h;
  h.SetSrcRect(TRect{0, 0, 10, 6});
  h.Rotate(5, 3, 180);
  EXPECT_FALSE(h.IsAxisAligned());
  EXPECT_FALSE(h.IsPlainTranslation());
  TAffineTransformation m;
  m.SetSrcRect(TRect{0, 0, 10, 6});
  m.Scale(-1, 1);
  m.Translate(10, 0);
  EXPECT_FALSE(m.IsAxisAligned());
  TAffineTransformation v;
  v.SetSrcRect(TRect{0, 0, 10, 6});
  v.Scale(1, -1);
  EXPECT_FALSE(v.IsAxisAligned());
  TAffineTransformation up;
  up.SetSrcRect(TRect{0, 0, 10, 6});
  up.Rotate(5, 3, 360);
  EXPECT_TRUE(up.IsPlainTranslation());
}

TEST(Transform, HalfTurnedOrMirroredLayersReallyTurnOrMirror) {
  const TBitmap src = RandomBitmap(23, 14, 4);
  TBitmap half = src.Clone(), flipH = src.Clone(), flipV = src.Clone();
  RotateBitmap180(half);
  FlipBitmapHorizontal(flipH);
  FlipBitmapVertical(flipV);
  for (bool smooth : {false, true}) {
    TAffineTransformation t;
    t.SetSrcRect(TRect{0, 0, 23, 14});
    t.Rotate(11.5, 7, 180);
    TBitmap d(23, 14, pf24bit, clBlack);
    RasterizeTransform(src, d, t, smooth);
    EXPECT_TRUE(SameBitmaps(d, half)) << smooth;

    TAffineTransformation m;
    m.SetSrcRect(TRect{0, 0, 23, 14});
    m.Scale(-1, 1);
    m.Translate(23, 0);
    RasterizeTransform(src, d, m, smooth);
    EXPECT_TRUE(SameBitmaps(d, flipH)) << smooth;

    TAffineTransformation v;
    v.SetSrcRect(TRect{0, 0, 23, 14});
    v.Scale(1, -1);
    v.MoveToOrigin();
    RasterizeTransform(src, d, v, smooth);
    EXPECT_TRUE(SameBitmaps(d, flipV)) << smooth;
  }
}

TEST(Transform, TranslationsAreBlockCopies) {
  const TBitmap src = RandomBitmap(12, 9, 2);
  TAffineTransformation t;
  t.SetSrcRect(TRect{0, 0, 12, 9});
  t.Translate(5, 7);
  EXPECT_TRUE(t.IsPlainTranslation());
  for (bool smooth : {false, true}) {
    TBitmap d = RandomBitmap(30, 20, 3), e = d.Clone();
    RasterizeTransform(src, d, t, smooth);
    CopyBitmapRect(src, UnboundedRect, e, 5, 7, UnboundedRect);
    EXPECT_TRUE(SameBitmaps(d, e));
    TBitmap o = RandomBitmap(30, 20, 3), p = o.Clone();
    RasterizeTransformOpacity(src, o, t, 40, smooth);
    CopyBitmapRectOpacity(src, UnboundedRect, p, 5, 7, UnboundedRect, 40);
    EXPECT_TRUE(SameBitmaps(o, p));
  }
  // The identity quadrilateral maps every pixel onto itself.
  TProjectiveTransformation q;
  q.SetSrcRect(TRect{0, 0, 12, 9});
  q.SetTopLeft({0, 0});
  q.SetTopRight({12, 0});
  q.SetBottomRight({12, 9});
  q.SetBottomLeft({0, 9});
  EXPECT_TRUE(q.IsPlainTranslation());
  q.Prepare();
  for (int y = 0; y < 9; ++y)
    for (int x = 0; x < 12; ++x) {
      double sx, sy;
      q.MapPoint(x, y, sx, sy);
      EXPECT_NEAR(sx, x, 1e-9);
      EXPECT_NEAR(sy, y, 1e-9);
    }
  TBitmap d(12, 9, pf24bit, clBlack);
  RasterizeTransform(src, d, q, true);
  EXPECT_TRUE(SameBitmaps(d, src));
}

TEST(Transform, SmoothEdgesBlendWithWhatLiesBeneath) {
  // Mirrored top to bottom and moved half a pixel right: destination column 0 samples
  // source position -0.5, half of source column 0 and half of the destination itself.
  TBitmap src(4, 4, pf24bit, RGB(100, 100, 100));
  TAffineTransformation t;
  t.SetSrcRect(TRect{0, 0, 4, 4});
  t.Scale(1, -1);
  t.Translate(0.5, 4);
  TBitmap d(6, 6, pf24bit, RGB(50, 50, 50));
  RasterizeTransform(src, d, t, true);
  EXPECT_EQ(d.GetPixel(0, 1), RGB(75, 75, 75));
  EXPECT_EQ(d.GetPixel(1, 1), RGB(100, 100, 100));
  EXPECT_EQ(d.GetPixel(5, 1), RGB(50, 50, 50));  // outside the bounds
  TBitmap mask(4, 4, pf24bit, clBlack);
  TBitmap e(6, 6, pf24bit, RGB(50, 50, 50));
  RasterizeTransformMasked(src, e, t, 100, mask, true);
  // the mask fades to 255 outside the source too: (0 + 255) / 2 -> 128 hides half
  EXPECT_EQ(e.GetPixel(0, 1), RGB(62, 62, 62));
}

TEST(Transform, GeneralPathMatchesTheReferenceForEveryRasteriser) {
  Rng rng(44);
  for (int iter = 0; iter < 60; ++iter) {
    const int W = rng.Int(1, 40), H = rng.Int(1, 40);
    const TBitmap src = RandomBitmap(W, H, uint32_t(iter));
    const TBitmap mask = RandomMask(W + rng.Int(0, 3), H + rng.Int(0, 3), uint32_t(iter) + 1);
    const TBitmap base = RandomBitmap(rng.Int(1, 80), rng.Int(1, 80), uint32_t(iter) + 2);
    const Kind kind = Kind(iter % 3);
    const int opacity = rng.Int(1, 99);
    const bool smooth = rng.Chance(50);
    auto t = RandomTransform(rng, W, H);
    if (t->IsPlainTranslation() || (!smooth && t->IsAxisAligned())) continue;
    TBitmap expected = base.Clone();
    ReferenceRasterize(src, expected, *t, kind, opacity, kind == Kind::Masked ? &mask : nullptr, smooth);
    for (int threads : {1, 3, 8}) {
      SetEngineThreads(threads);
      TBitmap d = base.Clone();
      t->Prepared = false;
      RunKind(src, d, *t, kind, opacity, &mask, smooth);
      ASSERT_TRUE(SameBitmaps(d, expected)) << "iteration " << iter << " threads " << threads;
      TRect b;
      t->GetDestBounds(b);
      ASSERT_TRUE(SameOutside(base, d, b));
    }
  }
  SetEngineThreads(0);
}

TEST(Transform, NearestPixelsOfExactHalvesAreTheEvenOnes) {
  // A skew by a half and a move by halves put many positions exactly between two pixels.
  const TBitmap src = RandomBitmap(300, 240, 5);
  for (double k : {0.5, -0.5, 1.5})
    for (double dx : {0.5, -7.5, 3.0}) {
      TAffineTransformation t;
      t.SetSrcRect(TRect{0, 0, 300, 240});
      t.Skew(k, 0);
      t.Translate(dx, 0.5);
      TRect b;
      t.GetDestBounds(b);
      const TBitmap base = RandomBitmap(b.Right + 4, b.Bottom + 4, 6);
      TBitmap want = base.Clone();
      ReferenceRasterize(src, want, t, Kind::Plain, 100, nullptr, false);
      for (int threads : {1, 3, 8}) {
        SetEngineThreads(threads);
        TBitmap d = base.Clone();
        t.Prepared = false;
        RasterizeTransform(src, d, t, false);
        ASSERT_TRUE(SameBitmaps(d, want)) << k << " " << dx << " threads " << threads;
      }
    }
  SetEngineThreads(0);
}

TEST(Transform, LayerAndMaskInOnePassMatchTwoPassesAndTheWhitening) {
  Rng rng(45);
  for (int iter = 0; iter < 24; ++iter) {
    // large enough for the threads now and then
    const bool big = iter % 4 == 0;
    const int W = big ? rng.Int(200, 320) : rng.Int(1, 40), H = big ? rng.Int(200, 300) : rng.Int(1, 40);
    const TBitmap src = RandomBitmap(W, H, uint32_t(iter) + 7);
    const TBitmap mask = RandomMask(W, H, uint32_t(iter) + 8);
    auto t = RandomTransform(rng, W, H);
    if (t->IsAxisAligned()) continue;
    TRect b;
    t->GetDestBounds(b);
    const int w = std::max(b.Right, 1) + rng.Int(0, 9), h = std::max(b.Bottom, 1) + rng.Int(0, 9);
    // a picture with white in it, and a mask white but for a few grey pixels
    TBitmap base = RandomBitmap(w, h, uint32_t(iter) + 9);
    base.FillRect(TRect{0, 0, w / 3, h / 2}, clWhite);
    TBitmap maskBase(w, h, pf24bit, clWhite);
    maskBase.FillRect(TRect{w / 2, h / 2, w / 2 + 5, h / 2 + 3}, RGB(7, 7, 7));
    for (bool withMask : {false, true}) {
      TBitmap want = base.Clone(), wantMask = maskBase.Clone();
      const TBitmap opaque(W, H, pf24bit, clBlack);
      ReferenceRasterize(src, want, *t, Kind::Plain, 100, nullptr, true);
      ReferenceRasterize(withMask ? mask : opaque, wantMask, *t, Kind::Plain, 100, nullptr, true);
      for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
          if (Px(wantMask, x, y)[0] == 255) ColorToPixel24(clWhite, Px(want, x, y));
      for (int threads : {1, 3, 8}) {
        SetEngineThreads(threads);
        TBitmap d = base.Clone(), m = maskBase.Clone();
        t->Prepared = false;
        RasterizeLayerTransform(src, withMask ? &mask : nullptr, d, m, *t);
        ASSERT_TRUE(SameBitmaps(d, want)) << "iteration " << iter << " mask " << withMask << " threads " << threads;
        ASSERT_TRUE(SameBitmaps(m, wantMask)) << "iteration " << iter << " mask " << withMask;
      }
    }
  }
  SetEngineThreads(0);
}

TEST(Transform, RasteriserGuards) {
  const TBitmap src = RandomBitmap(10, 10, 1);
  TAffineTransformation t;
  t.SetSrcRect(TRect{0, 0, 10, 10});
  t.Rotate(5, 5, 20);
  const TBitmap base = RandomBitmap(20, 20, 2);
  TBitmap d = base.Clone();
  RasterizeTransformOpacity(src, d, t, 0, true);
  RasterizeTransformMasked(src, d, t, 50, TBitmap(9, 10), true);  // mask smaller than the source
  RasterizeTransformMasked(src, d, t, -3, TBitmap(10, 10), true);
  EXPECT_TRUE(SameBitmaps(d, base));
  TBitmap e = base.Clone(), f = base.Clone();
  RasterizeTransformOpacity(src, e, t, 250, true);
  RasterizeTransform(src, f, t, true);
  EXPECT_TRUE(SameBitmaps(e, f));
  // Drawing a bitmap onto itself reads it as it was.
  TBitmap self = base.Clone(), copy = base.Clone();
  TAffineTransformation u;
  u.SetSrcRect(TRect{0, 0, 20, 20});
  u.Rotate(10, 10, 37);
  RasterizeTransform(self, self, u, true);
  RasterizeTransform(base, copy, u, true);
  EXPECT_TRUE(SameBitmaps(self, copy));
}

TEST(Transform, ProjectiveQuadrilateralsAreCheckedAndRepaired) {
  TProjectiveTransformation q;
  q.SetSrcRect(TRect{0, 0, 10, 10});
  // counter-clockwise: replaced by its bounding rectangle
  q.SetTopLeft({0, 0});
  q.SetTopRight({0, 20});
  q.SetBottomRight({30, 20});
  q.SetBottomLeft({30, 0});
  q.Prepare();
  TPoint c[4];
  q.GetDestCorners(c);
  EXPECT_EQ(c[0], (TPoint{0, 0}));
  EXPECT_EQ(c[1], (TPoint{30, 0}));
  EXPECT_EQ(c[2], (TPoint{30, 20}));
  EXPECT_EQ(c[3], (TPoint{0, 20}));
  // A real trapezoid keeps its corners and maps its corners back to the source's.
  TProjectiveTransformation p;
  p.SetSrcRect(TRect{0, 0, 10, 10});
  p.SetTopLeft({10, 0});
  p.SetTopRight({30, 0});
  p.SetBottomRight({40, 20});
  p.SetBottomLeft({0, 20});
  p.Prepare();
  p.GetDestCorners(c);
  EXPECT_EQ(c[0], (TPoint{10, 0}));
  double sx, sy;
  p.MapPoint(40, 20, sx, sy);
  EXPECT_NEAR(sx, 10, 1e-9);
  EXPECT_NEAR(sy, 10, 1e-9);
  p.MapPoint(10, 0, sx, sy);
  EXPECT_NEAR(sx, 0, 1e-9);
  EXPECT_NEAR(sy, 0, 1e-9);
  p.MoveToOrigin();
  TRect b;
  p.GetDestBounds(b);
  EXPECT_EQ(b, (TRect{0, 0, 40, 20}));
  EXPECT_FALSE(p.Prepared);
}

TEST(Transform, DegenerateProjectiveSweepRunsClean) {
  // Every kind of bad quadrilateral and source rect, through every rasteriser: nothing
  // may trap, overflow or write outside the bounds.
  const TBitmap src = RandomBitmap(16, 12, 5);
  const TBitmap mask = RandomMask(16, 12, 6);
  const int32_t big = std::numeric_limits<int32_t>::max(), small = std::numeric_limits<int32_t>::min();
  const int32_t values[] = {0, 1, -1, 5, 15, 16, 40, -40, 1 << 20, -(1 << 20), big, small};
  Rng rng(8);
  for (int iter = 0; iter < 600; ++iter) {
    TProjectiveTransformation q;
    switch (iter % 4) {
      case 0: q.SetSrcRect(TRect{0, 0, 16, 12}); break;
      case 1: q.SetSrcRect(TRect{3, 3, 3, 9}); break;  // empty
      case 2: q.SetSrcRect(TRect{10, 10, 2, 2}); break;  // reversed
      default: q.SetSrcRect(TRect{small, small, big, big}); break;
    }
    TPoint corners[4];
    for (auto& c : corners) {
      const int mode = rng.Int(0, 3);
      if (mode == 0) c = TPoint{values[rng.Int(0, 11)], values[rng.Int(0, 11)]};
      else c = TPoint{rng.Int(-30, 60), rng.Int(-30, 60)};
    }
    if (iter % 7 == 0) corners[1] = corners[0];
    if (iter % 11 == 0) corners[2] = corners[3] = corners[0];
    if (iter % 13 == 0)  // collinear with the first two
      corners[2] = TPoint{int32_t(std::clamp<int64_t>(2 * int64_t(corners[0].X) - corners[1].X, small, big)),
                          int32_t(std::clamp<int64_t>(2 * int64_t(corners[0].Y) - corners[1].Y, small, big))};
    q.SetTopLeft(corners[0]);
    q.SetTopRight(corners[1]);
    q.SetBottomRight(corners[2]);
    q.SetBottomLeft(corners[3]);
    const TBitmap base = RandomBitmap(48, 40, uint32_t(iter));
    TBitmap d = base.Clone();
    const bool smooth = iter % 2 == 0;
    switch (iter % 3) {
      case 0: RasterizeTransform(src, d, q, smooth); break;
      case 1: RasterizeTransformOpacity(src, d, q, 60, smooth); break;
      default: RasterizeTransformMasked(src, d, q, 80, mask, smooth); break;
    }
    TRect b;
    q.GetDestBounds(b);
    ASSERT_TRUE(SameOutside(base, d, b)) << iter;
    double sx, sy;
    q.MapPoint(1e300, -1e300, sx, sy);
    q.MoveToOrigin();
  }
  // A weight of 0 maps outside every source.
  TProjectiveTransformation z;
  z.SetSrcRect(TRect{0, 0, 0, 0});
  z.Prepare();
  double sx, sy;
  z.MapPoint(3, 4, sx, sy);
  EXPECT_EQ(sx, -9999.0);
  EXPECT_EQ(sy, -9999.0);
  // Affine transformations of any size or kind run clean as well.
  for (double k : {0.0, 1e-9, 1e12, -1e12, std::numeric_limits<double>::infinity(),
                   std::numeric_limits<double>::quiet_NaN()}) {
    TAffineTransformation a;
    a.SetSrcRect(TRect{0, 0, 16, 12});
    a.Scale(k, 1.5);
    a.Rotate(3, 3, 10);
    TBitmap d(30, 30, pf24bit, clBlack);
    RasterizeTransformMasked(src, d, a, 70, mask, true);
    RasterizeTransform(src, d, a, false);
    TRect b;
    a.GetDestBounds(b);
    EXPECT_LE(b.Left, b.Right);
  }
}

TEST(Sampling, RoundEvenIsTiesToEven) {
  for (double v : {0.5, 1.5, 2.5, -0.5, -1.5, 254.5, 255.49999999999997, 3.0000000001, -7.25})
    EXPECT_EQ(RoundEven(v), double(RoundHalfEven(v))) << v;
}

