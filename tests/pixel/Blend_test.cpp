#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <vector>

#include "pixel/Blend.h"
#include "platform/core/Numeric.h"
#include "platform/core/Parallel.h"
#include "support/TestImages.h"

using namespace qm;
using namespace qm::test;

namespace {

// --- The plain reference: every rule written out per pixel ------------------------

int Tr(int num, int den) { return num / den; }  // C++ division truncates toward zero

void RefBlend(uint8_t* d, const uint8_t* s, int p) {
  for (int c = 0; c < 3; ++c) d[c] = uint8_t(d[c] + Tr((s[c] - d[c]) * p, 100));
}

int RefMaskQ(int m, int p) { return (255 - m) * p / 255; }

bool RefKey(const uint8_t* s, const uint8_t* k, int tol) {
  for (int c = 0; c < 3; ++c)
    if (std::abs(s[c] - k[c]) > tol) return false;
  return true;
}

TRect Ordered(TRect r) {
  return TRect{std::min(r.Left, r.Right), std::min(r.Top, r.Bottom), std::max(r.Left, r.Right),
               std::max(r.Top, r.Bottom)};
}

TRect Clip(TRect r, const TBitmap& b) { return IntersectRect(Ordered(r), TRect{0, 0, b.Width(), b.Height()}); }

using PixelOp = std::function<void(uint8_t* d, const uint8_t* s, int sx, int sy)>;

// Block placement: destination (x, y) takes source (x - X, y - Y).
void RefPlace(const TBitmap& src, TRect srcRect, TBitmap& dst, int X, int Y, TRect dstRect, const PixelOp& op) {
  TRect sr = Clip(srcRect, src);
  if (sr.IsEmpty()) return;
  TRect dr = Clip(dstRect, dst);
  TBitmap s = src.Clone();  // the source as it was before the call
  for (int y = 0; y < dst.Height(); ++y)
    for (int x = 0; x < dst.Width(); ++x) {
      if (!PtInRect(dr, {x, y}) || !PtInRect(Bounds(X, Y, sr.Width(), sr.Height()), {x, y})) continue;
      op(Px(dst, x, y), Px(s, x - X, y - Y), x - X, y - Y);
    }
}

// Stretch: destination (x, y) of destRect ∩ clip takes source (sx, sy) sampled
// through the scale, the 1:1 case included (it keeps the source rect's offset).
void RefStretch(const TBitmap& src, TRect srcRect, TBitmap& dst, TRect dstRect, TRect clip, const PixelOp& op) {
  if (dstRect.IsEmpty()) return;
  TRect sr = Clip(srcRect, src);
  if (sr.IsEmpty()) return;
  const double scaleX = double(dstRect.Width()) / sr.Width(), scaleY = double(dstRect.Height()) / sr.Height();
  TRect area = IntersectRect(IntersectRect(clip, dstRect), TRect{0, 0, dst.Width(), dst.Height()});
  TBitmap s = src.Clone();
  for (int y = area.Top; y < area.Bottom; ++y)
    for (int x = area.Left; x < area.Right; ++x) {
      int sx = std::min(int((x - dstRect.Left) / scaleX + sr.Left), src.Width() - 1);
      int sy = std::min(int((y - dstRect.Top) / scaleY + sr.Top), src.Height() - 1);
      op(Px(dst, x, y), Px(s, sx, sy), sx, sy);
    }
}

void RefPattern(const TBitmap& pat, TBitmap& dst, int ox, int oy, TRect rect, const PixelOp& op) {
  TRect r = Clip(rect, dst);
  for (int y = r.Top; y < r.Bottom; ++y)
    for (int x = r.Left; x < r.Right; ++x) {
      int px = ModFloor(x - ox, pat.Width()), py = ModFloor(y - oy, pat.Height());
      op(Px(dst, x, y), Px(pat, px, py), px, py);
    }
}

int RandomOpacity(Rng& rng) {
  const int v[] = {-5, 0, 1, 13, 37, 50, 99, 100, 101, 150};
  return v[rng.Int(0, 9)];
}

// A colour taken from the bitmap (so keys really match), or no colour.
TColor RandomKey(Rng& rng, const TBitmap& b) {
  if (rng.Chance(20)) return clNone;
  return b.GetPixel(rng.Int(0, b.Width() - 1), rng.Int(0, b.Height() - 1));
}

struct Case {
  TBitmap src, dst, mask;
  TRect srcRect, dstRect, clip;
  int X, Y, opacity, tolerance;
  TColor key;
};

Case RandomCase(Rng& rng, int i) {
  Case c;
  const int sw = rng.Int(1, 40), sh = rng.Int(1, 30), dw = rng.Int(1, 50), dh = rng.Int(1, 40);
  c.src = RandomBitmap(sw, sh, uint32_t(i * 3 + 1));
  // few colours in the source so that keys match runs of pixels
  for (int y = 0; y < sh; ++y)
    for (int x = 0; x < sw; ++x)
      for (int k = 0; k < 3; ++k) Px(c.src, x, y)[k] &= 0xE0;
  c.dst = RandomBitmap(dw, dh, uint32_t(i * 3 + 2));
  const int mw = sw + (rng.Chance(15) ? -1 : rng.Int(0, 3)), mh = sh + (rng.Chance(15) ? -1 : rng.Int(0, 3));
  c.mask = RandomMask(std::max(mw, 1), std::max(mh, 1), uint32_t(i * 3 + 3));
  c.srcRect = rng.Chance(30) ? UnboundedRect : RandomRect(rng, sw, sh);
  c.dstRect = RandomRect(rng, dw, dh);
  c.clip = RandomRect(rng, dw, dh);
  c.X = rng.Int(-sw, dw);
  c.Y = rng.Int(-sh, dh);
  c.opacity = RandomOpacity(rng);
  c.tolerance = rng.Int(-3, 40);
  c.key = RandomKey(rng, c.src);
  return c;
}

int P(int opacity) { return std::min(opacity, 100); }

}  // namespace

TEST(BlendRows, EveryDifferenceAndPercentAgreesWithPlainDivision) {
  // all pairs of bytes at every percent: the fast division must equal trunc(t / 100)
  std::vector<uint8_t> d(256 * 256), s(256 * 256), w(256 * 256);
  for (int p = 0; p <= 100; ++p) {
    for (int a = 0; a < 256; ++a)
      for (int b = 0; b < 256; ++b) {
        d[size_t(a * 256 + b)] = uint8_t(a);
        s[size_t(a * 256 + b)] = uint8_t(b);
        w[size_t(a * 256 + b)] = uint8_t(p);
      }
    std::vector<uint8_t> d2 = d;
    BlendRow(d.data(), s.data(), int(d.size()), p);
    BlendRowWeighted(d2.data(), s.data(), w.data(), int(d2.size()));
    for (int a = 0; a < 256; ++a)
      for (int b = 0; b < 256; ++b) {
        const int want = a + Tr((b - a) * p, 100);
        ASSERT_EQ(d[size_t(a * 256 + b)], want) << a << " -> " << b << " at " << p;
        ASSERT_EQ(d2[size_t(a * 256 + b)], want);
      }
  }
}

TEST(BlendPixels, TruncateTowardZeroAndHonourMaskAndKey) {
  uint8_t black[3] = {0, 0, 0}, white[3] = {255, 255, 255};
  uint8_t d[3] = {0, 0, 0};
  BlendPixel(d, white, 50);
  EXPECT_EQ(d[0], 127);
  uint8_t e[3] = {255, 255, 255};
  BlendPixel(e, black, 50);
  EXPECT_EQ(e[0], 128);  // 255 + trunc(-127.5)

  uint8_t m255 = 255, m0 = 0, m128 = 128;
  uint8_t f[3] = {10, 20, 30};
  BlendPixelMasked(f, white, &m255, 100);
  EXPECT_EQ(f[2], 30);
  BlendPixelMasked(f, white, &m0, 100);
  EXPECT_EQ(f[0], 255);
  uint8_t g[3] = {0, 0, 0};
  BlendPixelMasked(g, white, &m128, 100);  // q = 49
  EXPECT_EQ(g[0], 124);

  uint8_t key[3] = {250, 250, 250};
  uint8_t h[3] = {1, 2, 3};
  BlendPixelKeyed(h, white, 100, key, 5);
  EXPECT_EQ(h[0], 1);  // within the tolerance of the key: skipped
  BlendPixelKeyed(h, white, 100, key, 4);
  EXPECT_EQ(h[0], 255);
  uint8_t k[3] = {0, 0, 0};
  BlendPixelKeyedMasked(k, white, &m128, 100, key, 0);
  EXPECT_EQ(k[0], 124);

  EXPECT_TRUE(SameColorWithin(0, 0x12345678, 0x00345678));  // low three bytes only
  EXPECT_FALSE(SameColorWithin(0, 0x345678, 0x345679));
  EXPECT_TRUE(SameColorWithin(3, RGB(10, 20, 30), RGB(13, 17, 33)));
  EXPECT_FALSE(SameColorWithin(3, RGB(10, 20, 30), RGB(14, 20, 30)));
}

TEST(BlockCopies, MatchTheReferenceOnRandomPlacements) {
  Rng rng(2024);
  for (int i = 0; i < 400; ++i) {
    Case c = RandomCase(rng, i);
    SetEngineThreads(i % 2 ? 8 : 1);
    const int op = i % 5;
    TBitmap got = c.dst.Clone(), want = c.dst.Clone();
    uint8_t key[3];
    ColorToPixel24(c.key, key);
    const int tol = std::max(c.tolerance, 0);
    const bool maskOk = c.mask.Width() >= c.src.Width() && c.mask.Height() >= c.src.Height();
    switch (op) {
      case 0:
        CopyBitmapRect(c.src, c.srcRect, got, c.X, c.Y, c.dstRect);
        RefPlace(c.src, c.srcRect, want, c.X, c.Y, c.dstRect,
                 [](uint8_t* d, const uint8_t* s, int, int) { std::copy(s, s + 3, d); });
        break;
      case 1:
        CopyBitmapRectOpacity(c.src, c.srcRect, got, c.X, c.Y, c.dstRect, c.opacity);
        if (c.opacity >= 1)
          RefPlace(c.src, c.srcRect, want, c.X, c.Y, c.dstRect,
                   [&](uint8_t* d, const uint8_t* s, int, int) { RefBlend(d, s, P(c.opacity)); });
        break;
      case 2:
        CopyBitmapRectTransparent(c.src, c.srcRect, got, c.X, c.Y, c.dstRect, c.opacity, c.key, c.tolerance);
        if (c.opacity >= 1)
          RefPlace(c.src, c.srcRect, want, c.X, c.Y, c.dstRect, [&](uint8_t* d, const uint8_t* s, int, int) {
            if (c.key == clNone || !RefKey(s, key, tol)) RefBlend(d, s, P(c.opacity));
          });
        break;
      case 3:
        CopyBitmapRectMasked(c.src, c.srcRect, got, c.X, c.Y, c.dstRect, c.opacity, c.mask);
        if (c.opacity >= 1 && maskOk)
          RefPlace(c.src, c.srcRect, want, c.X, c.Y, c.dstRect, [&](uint8_t* d, const uint8_t* s, int sx, int sy) {
            RefBlend(d, s, RefMaskQ(Px(c.mask, sx, sy)[0], P(c.opacity)));
          });
        break;
      case 4:
        CopyBitmapRectWhereMasked(c.src, c.srcRect, got, c.X, c.Y, c.dstRect, c.opacity, c.mask);
        if (c.opacity >= 1 && maskOk)
          RefPlace(c.src, c.srcRect, want, c.X, c.Y, c.dstRect, [&](uint8_t* d, const uint8_t* s, int sx, int sy) {
            if (Px(c.mask, sx, sy)[0] < 255) RefBlend(d, s, P(c.opacity));
          });
        break;
    }
    ASSERT_TRUE(SameBitmaps(got, want)) << "case " << i << " op " << op;
    // the canary: nothing outside the destination rect moves
    ASSERT_TRUE(SameOutside(got, c.dst, Ordered(c.dstRect))) << "case " << i;
  }
  SetEngineThreads(0);
}

TEST(StretchCopies, MatchTheReferenceAtEveryScaleIncludingOneToOne) {
  Rng rng(99);
  for (int i = 0; i < 400; ++i) {
    Case c = RandomCase(rng, i);
    SetEngineThreads(i % 2 ? 8 : 1);
    // destination rects of every scale, a third of them the clipped source's own size
    TRect sr = Clip(c.srcRect, c.src);
    int w = rng.Int(1, 60), h = rng.Int(1, 50);
    if (i % 3 == 0 && !sr.IsEmpty()) {
      w = sr.Width();
      h = sr.Height();
    }
    TRect dr = Bounds(rng.Int(-10, c.dst.Width()), rng.Int(-10, c.dst.Height()), w, h);
    TRect clip = Ordered(c.clip);
    const int op = i % 4;
    TBitmap got = c.dst.Clone(), want = c.dst.Clone();
    uint8_t key[3];
    ColorToPixel24(c.key, key);
    const int tol = std::max(c.tolerance, 0);
    const bool maskOk = c.mask.Width() >= c.src.Width() && c.mask.Height() >= c.src.Height();
    switch (op) {
      case 0:
        StretchBitmapRect(c.src, c.srcRect, got, dr, clip);
        RefStretch(c.src, c.srcRect, want, dr, clip,
                   [](uint8_t* d, const uint8_t* s, int, int) { std::copy(s, s + 3, d); });
        break;
      case 1:
        StretchBitmapRectOpacity(c.src, c.srcRect, got, dr, clip, c.opacity);
        if (c.opacity >= 1)
          RefStretch(c.src, c.srcRect, want, dr, clip,
                     [&](uint8_t* d, const uint8_t* s, int, int) { RefBlend(d, s, P(c.opacity)); });
        break;
      case 2:
        StretchBitmapRectTransparent(c.src, c.srcRect, got, dr, clip, c.opacity, c.key, c.tolerance);
        if (c.opacity >= 1)
          RefStretch(c.src, c.srcRect, want, dr, clip, [&](uint8_t* d, const uint8_t* s, int, int) {
            if (c.key == clNone || !RefKey(s, key, tol)) RefBlend(d, s, P(c.opacity));
          });
        break;
      case 3:
        StretchBitmapRectMasked(c.src, c.srcRect, got, dr, clip, c.opacity, c.mask);
        if (c.opacity >= 1 && maskOk)
          RefStretch(c.src, c.srcRect, want, dr, clip, [&](uint8_t* d, const uint8_t* s, int sx, int sy) {
            RefBlend(d, s, RefMaskQ(Px(c.mask, sx, sy)[0], P(c.opacity)));
          });
        break;
    }
    ASSERT_TRUE(SameBitmaps(got, want)) << "case " << i << " op " << op;
    if (op != 0) continue;
    // the same copy into the screen's 32-bit words, over a canary where it writes nothing
    const int W = c.dst.Width(), H = c.dst.Height(), stride = W + 3;
    std::vector<uint32_t> words(size_t(stride) * size_t(H), 0x12345678u);
    StretchBitmapRectToXrgb(c.src, c.srcRect, words.data(), ptrdiff_t(stride) * 4, W, H, dr, clip);
    TBitmap touched(W, H, pf24bit, clBlack);
    RefStretch(c.src, c.srcRect, touched, dr, clip, [](uint8_t* d, const uint8_t*, int, int) { d[0] = 1; });
    for (int y = 0; y < H; ++y)
      for (int x = 0; x < stride; ++x) {
        uint32_t expect = 0x12345678u;
        if (x < W && Px(touched, x, y)[0]) {
          const uint8_t* p = Px(want, x, y);
          expect = 0xFF000000u | uint32_t(p[2]) << 16 | uint32_t(p[1]) << 8 | p[0];
        }
        ASSERT_EQ(words[size_t(y) * size_t(stride) + size_t(x)], expect) << "case " << i << " at " << x << ", " << y;
      }
  }
  SetEngineThreads(0);
}

TEST(StretchCopies, OneToOneCopyFromAnOffsetSourceRectTakesThosePixels) {
  TBitmap src = RandomBitmap(20, 20, 5), dst(20, 20, pf24bit, clBlack);
  StretchBitmapRect(src, TRect{5, 6, 10, 12}, dst, TRect{2, 3, 7, 9}, UnboundedRect);
  for (int y = 0; y < 6; ++y)
    for (int x = 0; x < 5; ++x) ASSERT_EQ(dst.GetPixel(2 + x, 3 + y), src.GetPixel(5 + x, 6 + y));
  EXPECT_EQ(dst.GetPixel(1, 3), clBlack);
}

TEST(Patterns, TileFromTheOriginAndBlendOrSkipTheKey) {
  Rng rng(5);
  for (int i = 0; i < 200; ++i) {
    TBitmap pat = RandomBitmap(rng.Int(1, 9), rng.Int(1, 9), uint32_t(i));
    for (int y = 0; y < pat.Height(); ++y)
      for (int x = 0; x < pat.Width(); ++x) Px(pat, x, y)[1] &= 0xC0;
    TBitmap dst = RandomBitmap(rng.Int(1, 40), rng.Int(1, 40), uint32_t(i + 1000));
    TRect r = RandomRect(rng, dst.Width(), dst.Height());
    const int ox = rng.Int(-20, 20), oy = rng.Int(-20, 20), opacity = RandomOpacity(rng);
    const TColor key = RandomKey(rng, pat);
    const int tol = rng.Int(-2, 30);
    uint8_t k[3];
    ColorToPixel24(key, k);
    TBitmap got = dst.Clone(), want = dst.Clone();
    switch (i % 3) {
      case 0:
        FillRectWithPatternPlain(pat, got, ox, oy, r);
        RefPattern(pat, want, ox, oy, r, [](uint8_t* d, const uint8_t* s, int, int) { std::copy(s, s + 3, d); });
        break;
      case 1:
        FillRectWithPatternOpacity(pat, got, ox, oy, r, opacity);
        if (opacity >= 1)
          RefPattern(pat, want, ox, oy, r, [&](uint8_t* d, const uint8_t* s, int, int) { RefBlend(d, s, P(opacity)); });
        break;
      case 2:
        FillRectWithPattern(pat, got, ox, oy, r, opacity, key, tol);
        if (opacity >= 1)
          RefPattern(pat, want, ox, oy, r, [&](uint8_t* d, const uint8_t* s, int, int) {
            if (key == clNone || !RefKey(s, k, std::max(tol, 0))) RefBlend(d, s, P(opacity));
          });
        break;
    }
    ASSERT_TRUE(SameBitmaps(got, want)) << "case " << i;
  }
  // origin (-1, -1) over a rect at (0, 0) starts with pattern pixel (1, 1)
  TBitmap pat = RandomBitmap(3, 3, 1), dst(5, 5, pf24bit, clBlack);
  FillRectWithPatternPlain(pat, dst, -1, -1, TRect{0, 0, 5, 5});
  EXPECT_EQ(dst.GetPixel(0, 0), pat.GetPixel(1, 1));
  // an empty pattern changes nothing
  TBitmap empty, before = dst.Clone();
  FillRectWithPatternPlain(empty, dst, 0, 0, UnboundedRect);
  FillRectWithPattern(empty, dst, 0, 0, UnboundedRect, 50, RGB(1, 2, 3), 0);
  EXPECT_TRUE(SameBitmaps(dst, before));
  // nor does a pattern with only one of its sides zero, through any routine that tiles
  TBitmap mask = RandomMask(5, 5, 2);
  TBitmap noWidth(0, 4), noHeight(4, 0);
  for (const TBitmap* p : {&noWidth, &noHeight}) {
    FillRectWithPatternPlain(*p, dst, 1, 1, UnboundedRect);
    FillRectWithPatternOpacity(*p, dst, -1, 0, UnboundedRect, 40);
    FillRectWithPattern(*p, dst, 0, 0, UnboundedRect, 70, RGB(1, 2, 3), 4);
    FillPatternThroughMask(mask, UnboundedRect, dst, 0, 0, UnboundedRect, *p, true, RGB(1, 2, 3), 100);
    FillPatternThroughMask(mask, UnboundedRect, dst, 0, 0, UnboundedRect, *p, false, clNone, 50);
    ApplyTexturePattern(*p, dst, UnboundedRect, 60);
  }
  EXPECT_TRUE(SameBitmaps(dst, before));
}

TEST(MaskFills, ColourAndPatternThroughTheMaskAndRanges) {
  Rng rng(77);
  for (int i = 0; i < 200; ++i) {
    TBitmap mask = RandomMask(rng.Int(1, 30), rng.Int(1, 30), uint32_t(i));
    TBitmap dst = RandomBitmap(rng.Int(1, 40), rng.Int(1, 40), uint32_t(i + 7));
    TBitmap pat = RandomBitmap(rng.Int(1, 6), rng.Int(1, 6), uint32_t(i + 9));
    TRect mr = rng.Chance(40) ? UnboundedRect : RandomRect(rng, mask.Width(), mask.Height());
    TRect dr = RandomRect(rng, dst.Width(), dst.Height());
    const int X = rng.Int(-10, 30), Y = rng.Int(-10, 30), opacity = RandomOpacity(rng);
    const TColor color = RGB(rng.Int(0, 255), rng.Int(0, 255), rng.Int(0, 255));
    TBitmap got = dst.Clone(), want = dst.Clone();
    uint8_t cpx[3];
    ColorToPixel24(color, cpx);
    switch (i % 3) {
      case 0:
        BlendColorThroughMask(mask, mr, got, X, Y, dr, color, opacity);
        if (opacity >= 1)
          RefPlace(mask, mr, want, X, Y, dr, [&](uint8_t* d, const uint8_t* m, int, int) {
            RefBlend(d, cpx, RefMaskQ(m[0], P(opacity)));
          });
        break;
      case 1: {
        const bool useKey = rng.Chance(50);
        const TColor key = pat.GetPixel(0, 0);
        FillPatternThroughMask(mask, mr, got, X, Y, dr, pat, useKey, key, opacity);
        // the pattern starts at the top-left of the clipped block
        TRect sr = Clip(mr, mask), block = IntersectRect(Clip(dr, dst), Bounds(X, Y, sr.Width(), sr.Height()));
        uint8_t k[3];
        ColorToPixel24(key, k);
        if (opacity >= 1)
          RefPlace(mask, mr, want, X, Y, dr, [&](uint8_t* d, const uint8_t* m, int sx, int sy) {
            const uint8_t* s = Px(pat, ModFloor(sx + X - block.Left, pat.Width()), ModFloor(sy + Y - block.Top, pat.Height()));
            if (useKey && RefKey(s, k, 0)) return;
            RefBlend(d, s, RefMaskQ(m[0], P(opacity)));
          });
        break;
      }
      case 2: {
        const int lo = rng.Int(0, 255), hi = rng.Int(0, 255);
        FillColorWhereMaskInRange(mask, mr, got, X, Y, dr, color, lo, hi);
        RefPlace(mask, mr, want, X, Y, dr, [&](uint8_t* d, const uint8_t* m, int, int) {
          if (m[0] >= lo && m[0] <= hi) std::copy(cpx, cpx + 3, d);
        });
        break;
      }
    }
    ASSERT_TRUE(SameBitmaps(got, want)) << "case " << i;
  }
}

TEST(MaskFills, WideRowsThroughHardAndSoftMasks) {
  // Rows of whole 64-pixel blocks: blocks the mask hides, shows, or grades, with bytes
  // after the first that differ from it (only the first counts).
  Rng rng(78);
  const int w = 301, h = 12;
  TBitmap mask = RandomBitmap(w, h, 1);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      const int block = (x / 64 + y) % 3;
      if (block < 2 && rng.Int(0, 200) != 0) Px(mask, x, y)[0] = block == 0 ? 0 : 255;
    }
  const TBitmap src = RandomBitmap(w, h, 2), dst = RandomBitmap(w + 5, h + 2, 3);
  for (int opacity : {100, 60, 1}) {
    const TColor color = RGB(rng.Int(0, 255), rng.Int(0, 255), rng.Int(0, 255));
    uint8_t cpx[3];
    ColorToPixel24(color, cpx);
    TBitmap want = dst.Clone(), wantColor = dst.Clone();
    RefPlace(src, UnboundedRect, want, 2, 1, UnboundedRect, [&](uint8_t* d, const uint8_t* s, int sx, int sy) {
      RefBlend(d, s, RefMaskQ(Px(mask, sx, sy)[0], opacity));
    });
    RefPlace(mask, UnboundedRect, wantColor, 2, 1, UnboundedRect,
             [&](uint8_t* d, const uint8_t* m, int, int) { RefBlend(d, cpx, RefMaskQ(m[0], opacity)); });
    for (int threads : {1, 8}) {
      SetEngineThreads(threads);
      TBitmap got = dst.Clone(), gotColor = dst.Clone();
      CopyBitmapRectMasked(src, UnboundedRect, got, 2, 1, UnboundedRect, opacity, mask);
      BlendColorThroughMask(mask, UnboundedRect, gotColor, 2, 1, UnboundedRect, color, opacity);
      EXPECT_TRUE(SameBitmaps(got, want)) << opacity << " " << threads;
      EXPECT_TRUE(SameBitmaps(gotColor, wantColor)) << opacity << " " << threads;
    }
  }
  SetEngineThreads(0);
}

TEST(ApplyTexturePattern, DarkensUnderBlackLightensUnderWhiteLeavesGrey) {
  TBitmap pat(3, 1, pf24bit, clBlack);
  pat.SetPixel(1, 0, RGB(128, 128, 128));
  pat.SetPixel(2, 0, clWhite);
  TBitmap dst(7, 2, pf24bit, RGB(200, 100, 40));
  ApplyTexturePattern(pat, dst, TRect{1, 0, 7, 2}, 30);  // the pattern starts at x = 1
  EXPECT_EQ(dst.GetPixel(0, 0), RGB(200, 100, 40));
  EXPECT_EQ(dst.GetPixel(1, 0), RGB(140, 70, 28));   // v - trunc(v * 30 / 100)
  EXPECT_EQ(dst.GetPixel(2, 1), RGB(200, 100, 40));  // mid grey
  EXPECT_EQ(dst.GetPixel(3, 0), RGB(255, 130, 52));  // v + trunc(v * 30 / 100), clamped
  EXPECT_EQ(dst.GetPixel(4, 1), RGB(140, 70, 28));
  TBitmap before = dst.Clone();
  ApplyTexturePattern(pat, dst, UnboundedRect, 0);
  EXPECT_TRUE(SameBitmaps(dst, before));
}

TEST(SameBitmapAsSourceAndDestination, ResultIsAsIfTheSourceWereACopy) {
  Rng rng(8);
  for (int i = 0; i < 60; ++i) {
    TBitmap a = RandomBitmap(rng.Int(2, 40), rng.Int(2, 40), uint32_t(i));
    const int dx = rng.Int(-5, 5), dy = rng.Int(-5, 5), opacity = rng.Int(1, 100);
    TRect work = RandomRect(rng, a.Width(), a.Height());
    TBitmap copy = a.Clone(), want = a.Clone(), got = a.Clone();
    CopyBitmapRectOpacity(copy, UnboundedRect, want, dx, dy, work, opacity);
    CopyBitmapRectOpacity(got, UnboundedRect, got, dx, dy, work, opacity);
    ASSERT_TRUE(SameBitmaps(got, want)) << i;
    TBitmap s1 = a.Clone(), s2 = a.Clone();
    StretchBitmapRect(s1, TRect{1, 1, a.Width(), a.Height()}, s1, TRect{0, 0, a.Width(), a.Height()}, UnboundedRect);
    StretchBitmapRect(a, TRect{1, 1, a.Width(), a.Height()}, s2, TRect{0, 0, a.Width(), a.Height()}, UnboundedRect);
    ASSERT_TRUE(SameBitmaps(s1, s2)) << i;
  }
}

TEST(Blends, GuardsLeaveTheDestinationUnchanged) {
  TBitmap src = RandomBitmap(10, 10, 1), dst = RandomBitmap(10, 10, 2), before = dst.Clone();
  TBitmap narrowMask = RandomMask(9, 10, 3), mask8(10, 10, pf8bit, clBlack), src8(10, 10, pf8bit, clBlack);
  CopyBitmapRectOpacity(src, UnboundedRect, dst, 0, 0, UnboundedRect, 0);
  CopyBitmapRectOpacity(src, UnboundedRect, dst, 0, 0, UnboundedRect, -4);
  CopyBitmapRectMasked(src, UnboundedRect, dst, 0, 0, UnboundedRect, 100, narrowMask);
  CopyBitmapRectMasked(src, UnboundedRect, dst, 0, 0, UnboundedRect, 100, mask8);
  StretchBitmapRectMasked(src, UnboundedRect, dst, TRect{0, 0, 5, 5}, UnboundedRect, 100, narrowMask);
  CopyBitmapRect(src8, UnboundedRect, dst, 0, 0, UnboundedRect);  // not 24-bit
  CopyBitmapRect(src, TRect{3, 3, 3, 8}, dst, 0, 0, UnboundedRect);  // empty source rect
  BlendColorThroughMask(narrowMask, UnboundedRect, dst, 0, 0, UnboundedRect, clWhite, 0);
  ApplyTexturePattern(src, dst, UnboundedRect, -1);
  EXPECT_TRUE(SameBitmaps(dst, before));
  // 150 % behaves as 100 %
  TBitmap a = dst.Clone(), b = dst.Clone();
  CopyBitmapRectOpacity(src, UnboundedRect, a, 2, 3, UnboundedRect, 150);
  CopyBitmapRectOpacity(src, UnboundedRect, b, 2, 3, UnboundedRect, 100);
  EXPECT_TRUE(SameBitmaps(a, b));
  // no key behaves as the opacity copy; a key with tolerance 0 skips exact matches only
  TBitmap c = dst.Clone(), d = dst.Clone();
  CopyBitmapRectTransparent(src, UnboundedRect, c, 0, 0, UnboundedRect, 70, clNone, 5);
  CopyBitmapRectOpacity(src, UnboundedRect, d, 0, 0, UnboundedRect, 70);
  EXPECT_TRUE(SameBitmaps(c, d));
  TBitmap e = dst.Clone();
  const TColor key = src.GetPixel(4, 4);
  CopyBitmapRectTransparent(src, UnboundedRect, e, 0, 0, UnboundedRect, 100, key, 0);
  EXPECT_EQ(e.GetPixel(4, 4), dst.GetPixel(4, 4));
  EXPECT_EQ(e.GetPixel(5, 4), src.GetPixel(5, 4) == key ? dst.GetPixel(5, 4) : src.GetPixel(5, 4));
}

TEST(SameBitmapAsSourceAndDestination, StretchThroughTheDestinationAsMaskReadsItAsItWas) {
  // the mask is the destination itself: rows already written must not act as the mask
  // of later rows, at any scale and thread count
  for (int threads : {1, 8}) {
    SetEngineThreads(threads);
    TBitmap src = RandomBitmap(120, 90, 3), base = RandomMask(300, 260, 4);
    const TRect targets[] = {TRect{0, 0, 300, 260}, TRect{-7, 5, 60, 40}, TRect{3, 2, 123, 92}};
    for (const TRect& target : targets) {
      TBitmap got = base.Clone(), want = base.Clone(), maskCopy = base.Clone();
      StretchBitmapRectMasked(src, UnboundedRect, got, target, UnboundedRect, 80, got);
      StretchBitmapRectMasked(src, UnboundedRect, want, target, UnboundedRect, 80, maskCopy);
      ASSERT_TRUE(SameBitmaps(got, want)) << threads << " threads, target " << target.Right;
    }
  }
  SetEngineThreads(0);
}
