#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "pixel/Convolution.h"
#include "platform/core/Parallel.h"
#include "support/TestImages.h"

using namespace qm;
using namespace qm::test;

namespace {

TRect Clipped(TRect r, const TBitmap& b) {
  r = TRect{std::min(r.Left, r.Right), std::min(r.Top, r.Bottom), std::max(r.Left, r.Right),
            std::max(r.Top, r.Bottom)};
  return IntersectRect(r, TRect{0, 0, b.Width(), b.Height()});
}

// The convolution as written down, in 32-bit arithmetic that wraps (kept in unsigned
// integers so that the wrap is defined).
void RefConvolve(TBitmap& dst, const TBitmap& src, const TConvolutionMatrix& m, TRect r) {
  r = Clipped(r, src);
  if (r.IsEmpty()) return;
  const int32_t div = m.Divisor == 0 ? 1 : m.Divisor;
  for (int y = r.Top; y < r.Bottom; ++y)
    for (int x = r.Left; x < r.Right; ++x) {
      int64_t v[3];
      for (int c = 0; c < 3; ++c) {
        uint32_t s = 0;
        for (int dy = -1; dy <= 1; ++dy)
          for (int dx = -1; dx <= 1; ++dx) {
            const int yy = (y + dy < r.Top || y + dy >= r.Bottom) ? y : y + dy;
            const int xx = (x + dx < r.Left || x + dx >= r.Right) ? x : x + dx;
            s += uint32_t(m.C[(dy + 1) * 3 + dx + 1]) * Px(src, xx, yy)[c];
          }
        v[c] = int32_t(uint32_t(int64_t(int32_t(s)) / div));
      }
      if (m.Grey) v[0] = v[1] = v[2] = (v[0] + v[1] + v[2]) / 3;
      for (int c = 0; c < 3; ++c) {
        int u = int(std::clamp<int64_t>(v[c], 0, 255));
        if (m.Invert) u = 255 - u;
        Px(dst, x, y)[c] = uint8_t(u);
      }
    }
}

TConvolutionMatrix RandomMatrix(Rng& rng) {
  TConvolutionMatrix m{};
  const int kind = rng.Int(0, 9);
  // small weights (16-bit sums), medium (32-bit sums), huge (wrapping sums)
  const int range = kind < 6 ? 12 : (kind < 9 ? 5000 : 2000000000);
  for (int32_t& w : m.C) w = rng.Int(-range, range);
  const int d = rng.Int(0, 6);
  m.Divisor = d == 0 ? 0 : d == 1 ? 1 << rng.Int(0, 6) : d == 2 ? -rng.Int(1, 20) : rng.Int(1, 100);
  m.Grey = rng.Chance(25) ? rng.Int(1, 3) : 0;
  m.Invert = rng.Chance(25) ? -1 : 0;
  return m;
}

}  // namespace

TEST(Convolve3x3, MatchesTheReferenceForAnyMatrixRectAndThreadCount) {
  Rng rng(2024);
  for (int iter = 0; iter < 150; ++iter) {
    const int w = rng.Int(1, 40), h = rng.Int(1, 30);
    TBitmap src = RandomBitmap(w, h, uint32_t(iter));
    const TBitmap canvas = RandomBitmap(w, h, uint32_t(iter + 500));  // the destination's old pixels
    const TRect r = RandomRect(rng, w, h);
    const TConvolutionMatrix m = iter < 13 ? kConvolutionPresets[iter] : RandomMatrix(rng);
    TBitmap expected = canvas.Clone();
    RefConvolve(expected, src, m, r);
    for (int threads : {1, 3, 8}) {
      SetEngineThreads(threads);
      TBitmap dst = canvas.Clone();
      Convolve3x3(dst, src, m, r);
      ASSERT_TRUE(SameBitmaps(dst, expected)) << "iteration " << iter << " threads " << threads;
      TBitmap in = src.Clone();
      Convolve3x3InPlace(in, m, r);
      TBitmap expectedInPlace = src.Clone();
      RefConvolve(expectedInPlace, src, m, r);
      ASSERT_TRUE(SameBitmaps(in, expectedInPlace)) << "in place, iteration " << iter << " threads " << threads;
    }
  }
  SetEngineThreads(0);
}

TEST(Convolve3x3, InPlaceAndCopyingAgreeOnLargeBitmaps) {
  // tall enough for thread bands, wider than any fixed row buffer
  const TBitmap src = RandomBitmap(10050, 40, 1);
  for (int index = 0; index < kConvolutionPresetCount; ++index) {
    TBitmap a = src.Clone(), copy = src.Clone();
    TBitmap b;
    SetEngineThreads(8);
    Convolve3x3(b, copy, kConvolutionPresets[index], TRect{2, 1, 10049, 40});
    Convolve3x3InPlace(a, kConvolutionPresets[index], TRect{2, 1, 10049, 40});
    SetEngineThreads(0);
    TBitmap expected = src.Clone();
    RefConvolve(expected, src, kConvolutionPresets[index], TRect{2, 1, 10049, 40});
    EXPECT_TRUE(SameBitmaps(a, expected)) << index;
    EXPECT_TRUE(SameOutside(b, TBitmap(10050, 40, pf24bit, clWhite), TRect{2, 1, 10049, 40})) << index;
    EXPECT_TRUE(SameOutside(a, src, TRect{2, 1, 10049, 40})) << index;
  }
}

TEST(Convolve3x3, SourceAsDestinationRunsInPlace) {
  TBitmap a = RandomBitmap(30, 20, 5);
  TBitmap expected = a.Clone();
  RefConvolve(expected, a, kConvolutionPresets[5], TRect{3, 3, 25, 18});
  Convolve3x3(a, a, kConvolutionPresets[5], TRect{3, 3, 25, 18});
  EXPECT_TRUE(SameBitmaps(a, expected));
}

TEST(Convolve3x3, DestinationTakesTheSourceSizeAndFormat) {
  TBitmap src = RandomBitmap(12, 9, 3, pf32bit);
  TBitmap dst(4, 4, pf8bit, clWhite);
  Convolve3x3(dst, src, kConvolutionPresets[12], TRect{20, 20, 30, 30});  // outside: only sized
  EXPECT_EQ(src.PixelFormat(), pf24bit);
  EXPECT_EQ(dst.PixelFormat(), pf24bit);
  EXPECT_EQ(dst.Width(), 12);
  EXPECT_EQ(dst.Height(), 9);
}

TEST(ConvolutionPresets, EdgeCases) {
  const TBitmap uniform(7, 5, pf24bit, RGB(90, 140, 200));
  TBitmap a = uniform.Clone();
  ApplyConvolutionPresetInPlace(a, 3, UnboundedRect);
  EXPECT_TRUE(SameBitmaps(a, uniform));
  ApplyConvolutionPresetInPlace(a, 8, UnboundedRect);
  EXPECT_EQ(a.GetPixel(3, 2), clWhite);
  EXPECT_EQ(a.GetPixel(0, 0), clWhite);

  // Divisor 0 behaves as 1.
  TConvolutionMatrix zero = kConvolutionPresets[3];
  zero.Divisor = 0;
  TBitmap src = RandomBitmap(9, 9, 8), b1, b2;
  Convolve3x3(b1, src, zero, UnboundedRect);
  Convolve3x3(b2, src, kConvolutionPresets[3], UnboundedRect);
  EXPECT_TRUE(SameBitmaps(b1, b2));

  // Grey presets give equal channels.
  for (int index : {9, 10}) {
    TBitmap g = RandomBitmap(9, 9, uint32_t(index));
    ApplyConvolutionPresetInPlace(g, index, UnboundedRect);
    for (int y = 0; y < 9; ++y)
      for (int x = 0; x < 9; ++x) {
        const uint8_t* p = Px(g, x, y);
        ASSERT_TRUE(p[0] == p[1] && p[1] == p[2]) << index;
      }
  }

  // A one-pixel rect with weights summing to the divisor keeps the pixel.
  for (int index : {1, 2, 3, 5, 11, 12}) {
    TBitmap one = RandomBitmap(5, 5, 4);
    const TBitmap before = one.Clone();
    ApplyConvolutionPresetInPlace(one, index, TRect{2, 2, 3, 3});
    EXPECT_TRUE(SameBitmaps(one, before)) << index;
  }

  // An index outside the table does nothing, not even sizing the destination.
  TBitmap dst(2, 2, pf24bit, clWhite);
  const TBitmap dstBefore = dst.Clone();
  ApplyConvolutionPreset(dst, src, 13, UnboundedRect);
  ApplyConvolutionPreset(dst, src, -1, UnboundedRect);
  EXPECT_TRUE(SameBitmaps(dst, dstBefore));
  TBitmap keep = src.Clone();
  ApplyConvolutionPresetInPlace(keep, 200, UnboundedRect);
  EXPECT_TRUE(SameBitmaps(keep, src));
}

// The custom filter's matrix: its nine values, the divisor (0 taken as 1) and two
// zeros; the defaults leave a picture as it is; values outside their ranges do nothing.
TEST(CustomFilter, RunsTheDialogsMatrix) {
  TCustomFilterParams p = DefaultParams<TCustomFilterParams>();
  const TConvolutionMatrix identity = CustomMatrix(p);
  EXPECT_EQ(std::vector<int32_t>(identity.C, identity.C + 9), (std::vector<int32_t>{0, 0, 0, 0, 1, 0, 0, 0, 0}));
  EXPECT_EQ(identity.Divisor, 1);
  const TBitmap src = RandomBitmap(40, 30, 12);
  TBitmap copy = src.Clone(), layer(40, 30, pf24bit, clBlack);
  CustomFilter(layer, copy, p, UnboundedRect);
  EXPECT_TRUE(SameBitmaps(layer, src));

  p = {-1, -1, -1, -1, 9, -1, -1, -1, -1, 0};
  const TConvolutionMatrix m = CustomMatrix(p);
  EXPECT_EQ(m.C[4], 9);
  EXPECT_EQ(m.Divisor, 1);
  EXPECT_EQ(m.Grey, 0);
  EXPECT_EQ(m.Invert, 0);
  TBitmap ours = src.Clone(), reference = src.Clone();
  CustomFilter(ours, copy, p, TRect{4, 3, 30, 25});
  RefConvolve(reference, src, m, TRect{4, 3, 30, 25});
  EXPECT_TRUE(SameBitmaps(ours, reference));

  p.M8 = 1000;
  TBitmap untouched = src.Clone();
  CustomFilter(untouched, copy, p, UnboundedRect);
  EXPECT_TRUE(SameBitmaps(untouched, src));
}
