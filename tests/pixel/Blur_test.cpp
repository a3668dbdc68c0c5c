#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "pixel/Blur.h"
#include "platform/core/Numeric.h"
#include "platform/core/Parallel.h"
#include "support/ParamTables.h"
#include "support/TestImages.h"

using namespace qm;
using namespace qm::test;

namespace {

// One pass over a run of values as written down: the double sum over the kernel, the
// run's end values repeated, rounded to the nearest level.
void RefRun(std::vector<int>& v, const TKernel& k, bool snap) {
  const int n = int(v.size()), S = k.Size;
  std::vector<int> out(v.size());
  for (int j = 0; j < n; ++j) {
    double t = 0;
    for (int i = -S; i <= S; ++i) t += double(k.W(i)) * v[size_t(std::clamp(j - i, 0, n - 1))];
    int level = std::clamp(RoundHalfEven(t), 0, 255);
    if (snap && level > 250) level = 255;
    out[size_t(j)] = level;
  }
  v = out;
}

void RefBlur(TBitmap& b, int radius, TRect r, bool mask) {
  r = TRect{std::min(r.Left, r.Right), std::min(r.Top, r.Bottom), std::max(r.Left, r.Right),
            std::max(r.Top, r.Bottom)};
  r = IntersectRect(r, TRect{0, 0, b.Width(), b.Height()});
  if (r.IsEmpty() || radius < 1) return;
  TKernel k;
  MakeGaussianKernel(k, 1.0, 255.0, radius);
  const int channels = mask ? 1 : 3;
  for (int c = 0; c < channels; ++c) {
    for (int y = r.Top; y < r.Bottom; ++y) {
      std::vector<int> v;
      for (int x = r.Left; x < r.Right; ++x) v.push_back(Px(b, x, y)[c]);
      RefRun(v, k, mask);
      for (int x = r.Left; x < r.Right; ++x) Px(b, x, y)[c] = uint8_t(v[size_t(x - r.Left)]);
    }
    for (int x = r.Left; x < r.Right; ++x) {
      std::vector<int> v;
      for (int y = r.Top; y < r.Bottom; ++y) v.push_back(Px(b, x, y)[c]);
      RefRun(v, k, mask);
      for (int y = r.Top; y < r.Bottom; ++y) Px(b, x, y)[c] = uint8_t(v[size_t(y - r.Top)]);
    }
  }
  if (mask)
    for (int y = r.Top; y < r.Bottom; ++y)
      for (int x = r.Left; x < r.Right; ++x) Px(b, x, y)[1] = Px(b, x, y)[2] = Px(b, x, y)[0];
}

}  // namespace

TEST(MakeGaussianKernel, CutsTheTailsAndStaysSymmetric) {
  const std::pair<int, int> sizes[] = {{1, 2}, {2, 5}, {6, 18}, {7, 21}, {30, 89}, {50, 99}, {100, 99}};
  for (auto [radius, size] : sizes) {
    TKernel k;
    MakeGaussianKernel(k, 1.0, 255.0, radius);
    EXPECT_EQ(k.Size, size) << radius;
  }
  for (int radius = 1; radius <= 100; ++radius) {
    TKernel k;
    MakeGaussianKernel(k, 1.0, 255.0, radius);
    double sum = 0;
    for (int j = -k.Size; j <= k.Size; ++j) {
      ASSERT_EQ(k.W(j), k.W(-j)) << radius;
      // every weight kept is far above 2^-22, so the double sums of the blur are exact
      ASSERT_GT(k.W(j), std::ldexp(1.0f, -20)) << radius;
      sum += k.W(j);
    }
    EXPECT_NEAR(sum, 1.0, 1e-6) << radius;
  }
  TKernel id;
  MakeGaussianKernel(id, 1.0, 255.0, 0.0);
  EXPECT_EQ(id.Size, 1);
  EXPECT_EQ(id.W(0), 1.0f);
  EXPECT_EQ(id.W(1), 0.0f);
}

TEST(GaussianBlurRect, MatchesTheReferenceOnRandomBitmapsRectsAndThreadCounts) {
  Rng rng(17);
  for (int iter = 0; iter < 60; ++iter) {
    const int w = rng.Int(1, 90), h = rng.Int(1, 70);
    const TBitmap src = RandomBitmap(w, h, uint32_t(iter));
    const TRect r = RandomRect(rng, w, h);
    const int radius = iter < 5 ? iter - 1 : rng.Int(1, iter % 7 == 0 ? 120 : 12);
    const bool mask = iter % 4 == 3;
    TBitmap expected = src.Clone();
    RefBlur(expected, radius, r, mask);
    for (int threads : {1, 3, 8}) {
      SetEngineThreads(threads);
      TBitmap got = src.Clone();
      if (mask) GaussianBlurMaskRect(got, radius, r);
      else GaussianBlurRect(got, radius, r);
      ASSERT_TRUE(SameBitmaps(got, expected))
          << "iteration " << iter << " radius " << radius << (mask ? " mask" : "") << " threads " << threads;
    }
  }
  SetEngineThreads(0);
}

TEST(GaussianBlurRect, LargeBlursAgreeWithTheReference) {
  // Many sums near half a level: the rounding must follow the exact sum every time.
  const TBitmap src = RandomBitmap(300, 200, 3);
  for (int radius : {1, 6, 30}) {
    TBitmap expected = src.Clone();
    RefBlur(expected, radius, TRect{2, 3, 297, 199}, false);
    for (int threads : {1, 8}) {
      SetEngineThreads(threads);
      TBitmap got = src.Clone();
      GaussianBlurRect(got, radius, TRect{2, 3, 297, 199});
      EXPECT_TRUE(SameBitmaps(got, expected)) << radius << " " << threads;
    }
  }
  // Rows long enough to be split into several chunks, in both forms.
  const TBitmap wide = RandomBitmap(1100, 40, 5);
  for (int radius : {3, 30})
    for (bool mask : {false, true}) {
      TBitmap expected = wide.Clone();
      RefBlur(expected, radius, TRect{1, 1, 1099, 39}, mask);
      for (int threads : {1, 8}) {
        SetEngineThreads(threads);
        TBitmap got = wide.Clone();
        if (mask) GaussianBlurMaskRect(got, radius, TRect{1, 1, 1099, 39});
        else GaussianBlurRect(got, radius, TRect{1, 1, 1099, 39});
        EXPECT_TRUE(SameBitmaps(got, expected)) << radius << (mask ? " mask " : " ") << threads;
      }
    }
  SetEngineThreads(0);
}

TEST(GaussianBlurRect, GreyPicturesBlurAsThreeChannels) {
  // A grey rect is blurred through one channel: the same bytes as the three, near-white
  // levels kept (no snapping), whatever lies outside the rect; one coloured pixel in the
  // rect takes the three-channel road.
  TBitmap grey = RandomMask(330, 90, 8);
  for (int x = 0; x < grey.Width(); ++x) Px(grey, x, 0)[1] = 9;  // outside the rect
  TBitmap spotted = grey.Clone();
  Px(spotted, 200, 50)[2] ^= 0x55;
  for (const TBitmap* src : {&grey, &spotted})
    for (int radius : {1, 4, 7, 40}) {
      const TRect r{1, 1, 329, 90};
      TBitmap expected = src->Clone();
      RefBlur(expected, radius, r, false);
      for (int threads : {1, 8}) {
        SetEngineThreads(threads);
        TBitmap got = src->Clone();
        GaussianBlurRect(got, radius, r);
        EXPECT_TRUE(SameBitmaps(got, expected)) << radius << " " << threads << (src == &grey ? " grey" : " spotted");
      }
    }
  SetEngineThreads(0);
}

TEST(GaussianBlurRect, UniformAreasKeepTheirLevelForEveryRadius) {
  for (int radius = 1; radius <= 100; ++radius) {
    for (TColor color : {RGB(0, 255, 128), RGB(1, 254, 77), RGB(250, 5, 200)}) {
      TBitmap b(24, 16, pf24bit, color);
      const TBitmap before = b.Clone();
      GaussianBlurRect(b, radius, UnboundedRect);
      ASSERT_TRUE(SameBitmaps(b, before)) << "radius " << radius << " colour " << color;
    }
    // the grey form keeps its levels too, except 251..254 that snap to 255
    for (int level : {0, 77, 250, 253, 255}) {
      TBitmap m(24, 16, pf24bit, RGB(level, level, level));
      TBitmap expected = m.Clone();
      if (level > 250) expected.FillRect(TRect{3, 4, 20, 13}, clWhite);
      GaussianBlurMaskRect(m, radius, TRect{3, 4, 20, 13});
      ASSERT_TRUE(SameBitmaps(m, expected)) << "mask, radius " << radius << " level " << level;
    }
  }
  // Every level, in both forms (small areas: a uniform sum does not depend on the size).
  for (int radius = 1; radius <= 100; ++radius) {
    for (int v = 0; v < 86; ++v) {
      const int b = 3 * v, g = std::min(3 * v + 1, 255), r = std::min(3 * v + 2, 255);
      TBitmap c(19, 6, pf24bit, RGB(r, g, b));
      const TBitmap before = c.Clone();
      GaussianBlurRect(c, radius, UnboundedRect);
      ASSERT_TRUE(SameBitmaps(c, before)) << "radius " << radius << " levels " << b << ".." << r;
    }
    for (int level = 0; level < 256; ++level) {
      TBitmap m(13, 5, pf24bit, RGB(level, level, level));
      GaussianBlurMaskRect(m, radius, UnboundedRect);
      const int want = level > 250 ? 255 : level;
      ASSERT_TRUE(SameBitmaps(m, TBitmap(13, 5, pf24bit, RGB(want, want, want))))
          << "mask, radius " << radius << " level " << level;
    }
  }
}

TEST(GaussianBlurRect, EdgeCases) {
  const TBitmap src = RandomBitmap(40, 30, 9);
  TBitmap b = src.Clone();
  GaussianBlurRect(b, 6, TRect{50, 50, 60, 60});  // outside
  GaussianBlurRect(b, 6, TRect{5, 5, 5, 20});     // empty
  GaussianBlurRect(b, 0, UnboundedRect);           // no radius
  GaussianBlurMaskRect(b, -3, UnboundedRect);
  EXPECT_TRUE(SameBitmaps(b, src));
  // One pixel: every tap reads the pixel itself.
  GaussianBlurRect(b, 30, TRect{7, 8, 8, 9});
  EXPECT_TRUE(SameBitmaps(b, src));
  // Nothing outside the rect is read or written: a dark frame does not darken the edge.
  TBitmap framed(20, 20, pf24bit, clBlack);
  framed.FillRect(TRect{2, 2, 18, 18}, clWhite);
  const TBitmap frameBefore = framed.Clone();
  GaussianBlurRect(framed, 5, TRect{2, 2, 18, 18});
  EXPECT_TRUE(SameBitmaps(framed, frameBefore));
  // The grey form snaps 251..254 to 255 and writes all three bytes.
  TBitmap m(30, 10, pf24bit, RGB(252, 252, 252));
  Px(m, 15, 5)[0] = 0;
  Px(m, 3, 3)[1] = 9;  // only the first byte is read
  GaussianBlurMaskRect(m, 1, UnboundedRect);
  EXPECT_EQ(Px(m, 0, 0)[0], 255);
  EXPECT_EQ(Px(m, 3, 3)[1], 255);
  EXPECT_LT(Px(m, 15, 5)[0], 250);
  EXPECT_EQ(Px(m, 15, 5)[0], Px(m, 15, 5)[2]);
}

TEST(GaussianBlur, ThroughItsParameters) {
  test::CheckOperationKeepsToTable<TGaussianBlurParams>(&GaussianBlur);
  EXPECT_FALSE(IsNeutral(DefaultParams<TGaussianBlurParams>()));  // every radius blurs
  const TBitmap src = RandomBitmap(40, 30, 3);
  TBitmap a = src.Clone(), b = src.Clone();
  GaussianBlur(a, {12}, TRect{3, 4, 30, 25});
  GaussianBlurRect(b, 12, TRect{3, 4, 30, 25});
  EXPECT_TRUE(SameBitmaps(a, b));
}
