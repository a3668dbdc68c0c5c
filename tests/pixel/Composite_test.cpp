#include "pixel/Composite.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "pixel/Blend.h"
#include "pixel/ColorAdjust.h"
#include "pixel/ImgUtils.h"
#include "platform/core/Parallel.h"
#include "platform/core/Random.h"
#include "support/TestImages.h"

using namespace qm;
using namespace qm::test;

namespace {

constexpr TColor clRed = RGB(255, 0, 0);

// Every routine that writes only inside its rect, as (bitmap, copy of it, rect).
struct Op {
  std::string name;
  std::function<void(TBitmap&, const TBitmap&, TRect)> run;
};

const std::vector<Op>& Ops() {
  static const std::vector<Op> ops = {
      {"FilterFragment", [](TBitmap& b, const TBitmap& c, TRect r) { FilterFragment(b, c, r); }},
      {"FilterMotionBlur0", [](TBitmap& b, const TBitmap& c, TRect r) { FilterMotionBlur(b, c, 0, r); }},
      {"FilterMotionBlur1", [](TBitmap& b, const TBitmap& c, TRect r) { FilterMotionBlur(b, c, 1, r); }},
      {"FilterMotionBlur2", [](TBitmap& b, const TBitmap& c, TRect r) { FilterMotionBlur(b, c, 2, r); }},
      {"FilterSharpEdges", [](TBitmap& b, const TBitmap& c, TRect r) { FilterSharpEdges(b, c, r); }},
      {"BlurThroughMask", [](TBitmap& b, const TBitmap& c, TRect r) { BlurThroughMask(b, c, r); }},
      {"FilterContours", [](TBitmap& b, const TBitmap&, TRect r) { FilterContours(b, r); }},
      {"FilterChalk", [](TBitmap& b, const TBitmap&, TRect r) { FilterChalk(b, r); }},
      {"FilterGraphite", [](TBitmap& b, const TBitmap&, TRect r) { FilterGraphite(b, r); }},
      {"FilterColorContours", [](TBitmap& b, const TBitmap& c, TRect r) { FilterColorContours(b, c, r); }},
      {"FilterInkOutlines", [](TBitmap& b, const TBitmap&, TRect r) { FilterInkOutlines(b, r); }},
      {"FilterPhotocopy", [](TBitmap& b, const TBitmap&, TRect r) { FilterPhotocopy(b, r); }},
      {"FilterPaper", [](TBitmap& b, const TBitmap&, TRect r) { FilterPaper(b, r); }},
      {"FilterGlass", [](TBitmap& b, const TBitmap& c, TRect r) { FilterGlass(b, c, r); }},
      {"FilterPastel", [](TBitmap& b, const TBitmap& c, TRect r) { FilterPastel(b, c, false, r); }},
      {"FilterPastelStripes", [](TBitmap& b, const TBitmap& c, TRect r) { FilterPastel(b, c, true, r); }},
      {"FilterCharcoalBlack", [](TBitmap& b, const TBitmap&, TRect r) { FilterCharcoal(b, true, r); }},
      {"FilterCharcoalBrown", [](TBitmap& b, const TBitmap&, TRect r) { FilterCharcoal(b, false, r); }},
      {"FilterPencil0", [](TBitmap& b, const TBitmap& c, TRect r) { FilterPencil(b, c, 0, 10, 5, r); }},
      {"FilterPencil1", [](TBitmap& b, const TBitmap& c, TRect r) { FilterPencil(b, c, 1, 30, -4, r); }},
      {"FilterPencil2", [](TBitmap& b, const TBitmap& c, TRect r) { FilterPencil(b, c, 2, 0, 99, r); }},
      {"FilterInk", [](TBitmap& b, const TBitmap&, TRect r) { FilterInk(b, r); }},
      {"FilterBlackPencil", [](TBitmap& b, const TBitmap&, TRect r) { FilterBlackPencil(b, r); }},
      {"FilterRadialBlur", [](TBitmap& b, const TBitmap& c, TRect r) { FilterRadialBlur(b, c, r); }},
      {"FilterMist", [](TBitmap& b, const TBitmap&, TRect r) { FilterMist(b, RGB(200, 210, 220), 50, r); }},
      {"FilterSmear", [](TBitmap& b, const TBitmap&, TRect r) { FilterSmear(b, r); }},
      {"FilterOilPaint", [](TBitmap& b, const TBitmap&, TRect r) { FilterOilPaint(b, r); }},
      {"FilterPaletteKnife", [](TBitmap& b, const TBitmap&, TRect r) { FilterPaletteKnife(b, r); }},
      {"FilterWatercolor", [](TBitmap& b, const TBitmap&, TRect r) { FilterWatercolor(b, r); }},
      {"FilterWatercolorFinish", [](TBitmap& b, const TBitmap&, TRect r) { FilterWatercolorFinish(b, r); }},
      {"FilterComicStrip", [](TBitmap& b, const TBitmap&, TRect r) { FilterComicStrip(b, r); }},
      {"FilterCrystallize", [](TBitmap& b, const TBitmap&, TRect r) { FilterCrystallize(b, r); }},
      {"DrawEdgeSketchInto", [](TBitmap& b, const TBitmap&, TRect r) {
         TBitmap t;
         DrawEdgeSketch(&t, b, clBlack, r, 3, 50, clWhite);
       }},
      {"DrawEdgeSketchInPlace", [](TBitmap& b, const TBitmap&, TRect r) { DrawEdgeSketch(nullptr, b, clRed, r, 2, 0, clWhite); }},
      {"DrawImageFrame", [](TBitmap& b, const TBitmap&, TRect r) { DrawImageFrame(b, r, RGB(9, 99, 199), 60, 3); }},
      {"FillGradientRect", [](TBitmap& b, const TBitmap&, TRect r) { FillGradientRect(b, clBlack, 20, r, 5, 90, clWhite); }},
      {"ApplyBlurPasses", [](TBitmap& b, const TBitmap&, TRect r) { ApplyBlurPasses(b, 3, r); }},
      {"BlurRectBorder", [](TBitmap& b, const TBitmap& c, TRect r) { BlurRectBorder(b, c, 2, r); }},
      {"MotionBlurTwoPass", [](TBitmap& b, const TBitmap&, TRect r) { MotionBlurTwoPass(b, r); }},
  };
  return ops;
}

// Runs an op on a copy of b from a fixed seed.
TBitmap RunOp(const Op& op, const TBitmap& b, TRect r, uint32_t seed = 7) {
  TBitmap out = b.Clone();
  const TBitmap copy = b.Clone();
  RandSeed(seed);
  op.run(out, copy, r);
  EXPECT_TRUE(SameBitmaps(copy, b)) << op.name << ": the copy is only read";
  return out;
}

TEST(Composite, ChainsLeaveACanaryBorder) {
  const TBitmap b = RandomBitmap(40, 30, 1);
  Rng rng(2);
  for (const Op& op : Ops()) {
    for (TRect r : {TRect{5, 4, 33, 25}, TRect{12, 9, 20, 14}, RandomRect(rng, 40, 30), RandomRect(rng, 40, 30)}) {
      TRect clip = r;
      ClipRectToBitmap(clip, b);
      const TBitmap out = RunOp(op, b, r);
      EXPECT_TRUE(SameOutside(out, b, clip)) << op.name << " rect " << r.Left << "," << r.Top << "," << r.Right << ","
                                             << r.Bottom;
      if (clip.IsEmpty()) {
        EXPECT_TRUE(SameBitmaps(out, b)) << op.name;
      }
    }
  }
}

// Tiny, edge-touching, very wide and very tall rects: nothing read or written out of
// bounds (the sanitizers watch) and nothing outside the rect changed.
TEST(Composite, ChainsOnOddShapes) {
  struct Case {
    int w, h;
    TRect r;
  };
  const Case cases[] = {{1, 1, UnboundedRect},       {2, 2, UnboundedRect},        {2, 2, TRect{1, 0, 2, 2}},
                        {50, 40, TRect{0, 0, 50, 7}}, {50, 40, TRect{45, 0, 50, 40}}, {50, 40, TRect{0, 36, 50, 40}},
                        {50, 40, TRect{-9, 30, 8, 99}}, {1500, 3, UnboundedRect},    {1500, 5, TRect{1, 1, 1499, 4}},
                        {3, 700, UnboundedRect},      {1200, 1, UnboundedRect}};
  for (const Case& c : cases) {
    const TBitmap b = RandomBitmap(c.w, c.h, uint32_t(c.w * 31 + c.h));
    TRect clip = c.r;
    ClipRectToBitmap(clip, b);
    for (const Op& op : Ops()) {
      const TBitmap out = RunOp(op, b, c.r);
      EXPECT_TRUE(SameOutside(out, b, clip)) << op.name << " on " << c.w << "x" << c.h;
    }
  }
}

// Seeded twice, at 1 and 8 threads: the same result.
TEST(Composite, ChainsDoNotDependOnTheThreadCount) {
  const TBitmap b = RandomBitmap(300, 230, 3);
  const TRect r{7, 5, 290, 226};
  for (const Op& op : Ops()) {
    SetEngineThreads(1);
    const TBitmap one = RunOp(op, b, r);
    SetEngineThreads(8);
    const TBitmap eight = RunOp(op, b, r);
    EXPECT_TRUE(SameBitmaps(one, eight)) << op.name;
  }
  SetEngineThreads(0);
}

TEST(Composite, ChainsRefuseOtherBitmaps) {
  const TBitmap b = RandomBitmap(20, 16, 4);
  const TBitmap smaller = RandomBitmap(19, 16, 5);
  for (const Op& op : Ops()) {
    TBitmap out = b.Clone();
    RandSeed(1);
    op.run(out, smaller, UnboundedRect);  // a copy of another size: chains that read one do nothing
    TBitmap four = RandomBitmap(20, 16, 6, pf4bit);
    const TBitmap fourBefore = four.Clone();
    op.run(four, four, UnboundedRect);
    EXPECT_TRUE(SameBitmaps(four, fourBefore)) << op.name;
  }
}

// --- The edge sketch ----------------------------------------------------------------------

TEST(Composite, EdgeSketchOfAUniformImageIsTheLightColour) {
  TBitmap b(30, 20, pf24bit, RGB(90, 120, 30));
  TBitmap t;
  DrawEdgeSketch(&t, b, clBlack, UnboundedRect, 0, 100, RGB(1, 2, 3));
  ASSERT_EQ(t.Width(), 30);
  EXPECT_TRUE(SameBitmaps(t, TBitmap(30, 20, pf24bit, RGB(1, 2, 3))));
}

// The sketch smooths and contrasts its source: the filters built on it change the layer
// under the outlines too. This is how the filters look, and is kept.
TEST(Composite, EdgeSketchSmoothsItsSource) {
  const TBitmap orig = RandomBitmap(40, 30, 8);
  const TRect r{3, 2, 37, 28};
  TBitmap src = orig.Clone(), want = orig.Clone(), t;
  DrawEdgeSketch(&t, src, clBlack, r, 0, 40, clWhite);
  DirectionalSmoothRect(want, 0, r);
  ContrastRect(want, 40, r);
  EXPECT_TRUE(SameBitmaps(src, want));
}

// A linear ramp has no edges but along the bitmap's border, where the smoothing has no
// neighbours: inside, the sketch is white, so what the ink-outline and photocopy filters
// show there is the smoothed layer, not the layer.
TEST(Composite, InkOutlinesAndPhotocopyShowTheSmoothedLayer) {
  TBitmap ramp(64, 64, pf24bit, clBlack);
  for (int y = 0; y < 64; ++y)
    for (int x = 0; x < 64; ++x) std::memset(Px(ramp, x, y), 64 + x + y, 3);  // 64..190: no contrast clipping
  const TRect inside{3, 3, 61, 61};
  TBitmap smoothed = ramp.Clone();
  DirectionalSmoothRect(smoothed, 0, UnboundedRect);

  TBitmap ink = ramp.Clone();
  FilterInkOutlines(ink, UnboundedRect);
  for (int y = inside.Top; y < inside.Bottom; ++y)
    ASSERT_EQ(0, std::memcmp(Px(ink, 3, y), Px(smoothed, 3, y), 58 * 3)) << y;

  // Photocopy: threshold at 33 of the contrasted grey, 2 (64 + x + y + 1) - 128.
  TBitmap copy = ramp.Clone();
  FilterPhotocopy(copy, UnboundedRect);
  int differ = 0;
  for (int y = inside.Top; y < inside.Bottom; ++y)
    for (int x = inside.Left; x < inside.Right; ++x) {
      const int fromSmoothed = 2 * (65 + x + y) - 128, fromLayer = 2 * (64 + x + y) - 128;
      ASSERT_EQ(Px(copy, x, y)[0], fromSmoothed <= 33 ? 0 : 255) << x << "," << y;
      differ += (fromSmoothed <= 33) != (fromLayer <= 33);
    }
  EXPECT_GT(differ, 0);
}

// --- Fills, frames and blurs ---------------------------------------------------------------

TEST(Composite, GradientIsATintPerColumnOrRow) {
  const TBitmap b = RandomBitmap(37, 23, 9);
  Rng rng(10);
  for (int iter = 0; iter < 40; ++iter) {
    const TRect r = RandomRect(rng, 37, 23);
    const TColor a = RGB(rng.Int(0, 255), rng.Int(0, 255), rng.Int(0, 255));
    const TColor z = RGB(rng.Int(0, 255), rng.Int(0, 255), rng.Int(0, 255));
    const int pa = rng.Int(-150, 150), pz = rng.Int(-150, 150), mode = rng.Int(-1, 6);
    TBitmap got = b.Clone(), want = b.Clone();
    FillGradientRect(got, a, pa, r, mode, pz, z);
    TRect c = r;
    ClipRectToBitmap(c, b);
    if (mode >= 0 && mode <= 5 && !c.IsEmpty()) {
      const bool swap = mode >= 4, columns = mode == 0 || mode == 2 || mode == 4;
      const TPixel24 s = ColorToPixel24(swap ? z : a), e = ColorToPixel24(swap ? a : z);
      const int ps = swap ? pz : pa, pe = swap ? pa : pz;
      const int n = columns ? c.Width() : c.Height();
      for (int i = 0; i < n; ++i) {
        const TColor ci = RGB(s.R + (e.R - s.R) * i / n, s.G + (e.G - s.G) * i / n, s.B + (e.B - s.B) * i / n);
        const TRect band = columns ? TRect{c.Left + i, c.Top, c.Left + i + 1, c.Bottom}
                                   : TRect{c.Left, c.Top + i, c.Right, c.Top + i + 1};
        TintRect(want, ci, ps + (pe - ps) * i / n, band);
      }
    }
    ASSERT_TRUE(SameBitmaps(got, want)) << iter << " mode " << mode;
  }
  TBitmap m0 = b.Clone(), m2 = b.Clone(), m4 = b.Clone(), m0s = b.Clone();
  FillGradientRect(m0, clRed, 10, UnboundedRect, 0, 90, clWhite);
  FillGradientRect(m2, clRed, 10, UnboundedRect, 2, 90, clWhite);
  FillGradientRect(m4, clWhite, 90, UnboundedRect, 4, 10, clRed);
  EXPECT_TRUE(SameBitmaps(m0, m2));
  EXPECT_TRUE(SameBitmaps(m0, m4));
}

// The rings one by one as written down: grow the rect by one, draw its ring, while the
// ring before did not enclose the whole bitmap.
void RefRelief3D(TBitmap& bmp, TRect rect, int width, bool sunken, int percent) {
  if (width < 1 || rect.IsEmpty()) return;
  const TColor raised[4] = {clWhite, RGB(0xCC, 0xCC, 0xCC), RGB(0x22, 0x22, 0x22), clBlack};
  const TColor low[4] = {clBlack, RGB(0x22, 0x22, 0x22), RGB(0xCC, 0xCC, 0xCC), clWhite};
  const TColor* c = sunken ? low : raised;
  for (int i = 0; i < width; ++i) {
    if (rect.Left < 0 && rect.Top < 0 && rect.Right > bmp.Width() && rect.Bottom > bmp.Height()) break;
    rect = TRect{rect.Left - 1, rect.Top - 1, rect.Right + 1, rect.Bottom + 1};
    DrawBevelRing(bmp, rect, c[0], c[1], c[2], c[3], percent);
  }
}

// Near, inside, around and far beside the bitmap, with widths up to past the enclosing
// ring.
TEST(Composite, Relief3DMatchesTheRingByRingReference) {
  const TBitmap b = RandomBitmap(23, 17, 12);
  Rng rng(13);
  for (int iter = 0; iter < 300; ++iter) {
    const int w = rng.Int(0, 60), h = rng.Int(0, 60);
    const int far = rng.Chance(20) ? 1000 : 0;
    const int x = rng.Int(-70, 90) + (rng.Chance(50) ? far : -far), y = rng.Int(-70, 90);
    const TRect r{x, y, x + w, y + h};
    const int width = rng.Chance(20) ? 2000 : rng.Int(-1, 40);
    const bool sunken = rng.Chance(50);
    TBitmap got = b.Clone(), want = b.Clone();
    FilterRelief3D(got, r, width, sunken, 60);
    RefRelief3D(want, r, width, sunken, 60);
    ASSERT_TRUE(SameBitmaps(got, want)) << iter;
  }
}

TEST(Composite, Relief3DRings) {
  const TBitmap b(30, 30, pf24bit, RGB(128, 128, 128));
  TBitmap out = b.Clone();
  const TRect r{10, 10, 20, 20};
  FilterRelief3D(out, r, 3, false, 100);
  // Three rings, the outermost three pixels outside the rect; the rect and beyond stay.
  EXPECT_TRUE(SameOutside(out, b, TRect{7, 7, 23, 23}));
  for (int y = 10; y < 20; ++y) EXPECT_EQ(0, std::memcmp(Px(out, 10, y), Px(b, 10, y), 30));
  for (int k = 1; k <= 3; ++k) {
    EXPECT_EQ(Pixel24ToColor(Px(out, 15, 10 - k)), clWhite);              // top
    EXPECT_EQ(Pixel24ToColor(Px(out, 10 - k, 15)), RGB(0xCC, 0xCC, 0xCC));  // left
    EXPECT_EQ(Pixel24ToColor(Px(out, 19 + k, 15)), RGB(0x22, 0x22, 0x22));  // right
    EXPECT_EQ(Pixel24ToColor(Px(out, 15, 19 + k)), clBlack);              // bottom
    EXPECT_EQ(Pixel24ToColor(Px(out, 10 - k, 10 - k)), RGB(0xCC, 0xCC, 0xCC));  // corners: left line
    EXPECT_EQ(Pixel24ToColor(Px(out, 19 + k, 10 - k)), clWhite);               // top line
    EXPECT_EQ(Pixel24ToColor(Px(out, 19 + k, 19 + k)), clBlack);               // bottom line
  }
  TBitmap sunk = b.Clone();
  FilterRelief3D(sunk, r, 1, true, 100);
  EXPECT_EQ(Pixel24ToColor(Px(sunk, 15, 9)), clBlack);
  EXPECT_EQ(Pixel24ToColor(Px(sunk, 15, 20)), clWhite);
  // Width 0, an empty rect, a huge width at a bitmap's edge.
  TBitmap same = b.Clone();
  FilterRelief3D(same, r, 0, false, 100);
  FilterRelief3D(same, TRect{5, 5, 5, 9}, 2, false, 100);
  EXPECT_TRUE(SameBitmaps(same, b));
  FilterRelief3D(same, TRect{0, 0, 30, 30}, INT32_MAX, false, 60);
  EXPECT_TRUE(SameBitmaps(same, b));
}

TEST(Composite, ImageFrameBands) {
  const TBitmap b = RandomBitmap(30, 24, 11);
  for (int width : {0, 1, 4, 13, 1000}) {
    TBitmap got = b.Clone(), want = b.Clone();
    const TRect r{2, 3, 28, 21};
    DrawImageFrame(got, r, RGB(10, 200, 30), 40, width);
    for (int y = r.Top; y < r.Bottom; ++y)
      for (int x = r.Left; x < r.Right; ++x) {
        const int topOrBottom = (y < r.Top + width) + (y >= r.Bottom - width);
        const bool side = y >= r.Top + width && y < r.Bottom - width && (x < r.Left + width || x >= r.Right - width);
        // Overlapping bands tint twice, and two overlapping sides once each.
        int times = topOrBottom;
        if (side) times += (x < r.Left + width) + (x >= r.Right - width);
        for (int k = 0; k < times; ++k) TintRect(want, RGB(10, 200, 30), 40, TRect{x, y, x + 1, y + 1});
      }
    EXPECT_TRUE(SameBitmaps(got, want)) << width;
  }
}

TEST(Composite, HueSpectrum) {
  TBitmap b(12, 5, pf24bit, clBlack);
  FillHueSpectrum(b, false);
  for (int x = 0; x < 12; ++x) EXPECT_EQ(Pixel24ToColor(Px(b, x, 3)), HSVToColor(x * 30, 255, 255));
  FillHueSpectrum(b, true);
  for (int y = 0; y < 5; ++y) EXPECT_EQ(Pixel24ToColor(Px(b, 7, y)), HSVToColor(y * 72, 255, 255));
}

TEST(Composite, BlurPassesAndBorders) {
  const TBitmap b = RandomBitmap(30, 20, 12);
  const TRect r{3, 2, 27, 18};
  TBitmap got = b.Clone(), want = b.Clone();
  ApplyBlurPasses(got, 0, r);
  ApplyBlurPasses(got, -4, r);
  EXPECT_TRUE(SameBitmaps(got, b));
  ApplyBlurPasses(got, 2, r);
  BoxBlur3x3Rect(want, r);
  BoxBlur3x3Rect(want, r);
  EXPECT_TRUE(SameBitmaps(got, want));
  // Only a band of 3 along the rect's edges stays blurred.
  TBitmap border = b.Clone(), blurred = b.Clone();
  BlurRectBorder(border, b, 3, r);
  BoxBlur3x3Rect(blurred, r);
  EXPECT_TRUE(SameOutside(border, blurred, TRect{6, 5, 24, 15}));
  for (int y = 5; y < 15; ++y) EXPECT_EQ(0, std::memcmp(Px(border, 6, y), Px(b, 6, y), 18 * 3));
}

TEST(Composite, PencilDensity) {
  // A dark grey image (luminance 10): the threshold takes it to grey (15 - density) * 17.
  const TBitmap b(40, 30, pf24bit, RGB(10, 10, 10));
  TBitmap black = b.Clone(), white = b.Clone();
  FilterPencil(black, b, 0, 20, 15, UnboundedRect);
  FilterPencil(white, b, 0, 20, 0, UnboundedRect);
  int zeros = 0, full = 0;
  for (int y = 0; y < 30; ++y)
    for (int x = 0; x < 40; ++x) {
      EXPECT_LE(Px(black, x, y)[1], 10);
      EXPECT_GE(Px(white, x, y)[1], 10);
      zeros += Px(black, x, y)[1] == 0;
      full += Px(white, x, y)[1] == 255;
    }
  EXPECT_GT(zeros, 0);
  EXPECT_GT(full, 0);
}

TEST(Composite, MotionBlurDirections) {
  // Vertical stripes: a horizontal blur keeps every column uniform; a vertical one leaves
  // the stripes as they are, but for the final 3 x 3 blur.
  TBitmap stripes(40, 30, pf24bit, clBlack);
  for (int y = 0; y < 30; ++y)
    for (int x = 0; x < 40; ++x) ColorToPixel24(x % 7 < 3 ? clWhite : RGB(0, 90, 200), Px(stripes, x, y));
  TBitmap h = stripes.Clone(), v = stripes.Clone(), want = stripes.Clone();
  FilterMotionBlur(h, stripes, 1, UnboundedRect);
  for (int y = 1; y < 30; ++y) EXPECT_EQ(0, std::memcmp(Px(h, 0, y), Px(h, 0, 0), 40 * 3));
  EXPECT_FALSE(SameBitmaps(h, stripes));
  FilterMotionBlur(v, stripes, 2, UnboundedRect);
  BoxBlur3x3Rect(want, UnboundedRect);
  EXPECT_TRUE(SameBitmaps(v, want));
  TBitmap neg = stripes.Clone();
  FilterMotionBlur(neg, stripes, -1, UnboundedRect);
  EXPECT_TRUE(SameBitmaps(neg, stripes));
}

// A self-blend copies the bitmap onto itself as if from a copy taken before, shifted so
// that it lands over the selection, wherever the selection lies.
TEST(Composite, SelfBlendsReadTheBitmapAsItWas) {
  const TBitmap b = RandomBitmap(50, 40, 13);
  const TRect r{17, 11, 41, 33};
  TBitmap got = b.Clone();
  RandSeed(3);
  FilterSmear(got, r);
  TBitmap want = b.Clone();
  RandSeed(3);
  MosaicRect(want, 5, r);
  SpreadRect(want, 7, 0, r);
  for (int d : {1, 2}) {
    const TBitmap before = want.Clone();
    for (int y = r.Top; y < r.Bottom; ++y)
      for (int x = r.Left; x < r.Right; ++x) {
        const int sx = x - d, sy = y + d;
        if (sx >= 0 && sy < b.Height()) BlendPixel(Px(want, x, y), Px(before, sx, sy), 33);
      }
  }
  EXPECT_TRUE(SameBitmaps(got, want));
}

// Extreme sizes, widths, bands, percents and rects for the fills and frames: nothing
// undefined (the sanitizers watch), nothing outside the bitmap touched.
TEST(Composite, FillsAndFramesTakeExtremeParameters) {
  const int kInts[] = {INT32_MIN, -1, 0, 1, 3, 1000000, INT32_MAX};
  const TRect kRects[] = {UnboundedRect, TRect{5, 4, 20, 15}, TRect{INT32_MIN, INT32_MIN, INT32_MAX, INT32_MAX},
                          TRect{INT32_MIN, 3, 7, INT32_MAX}, TRect{2, 2, 3, 3}};
  const TBitmap b = RandomBitmap(25, 19, 11);
  for (const TRect& r : kRects)
    for (int a : kInts) {
      TBitmap t = b.Clone();
      DrawImageFrame(t, r, RGB(1, 2, 3), a, a);
      DrawImageFrame(t, r, RGB(1, 2, 3), 50, a);
      FillGradientRect(t, clBlack, a, r, 0, a == INT32_MIN ? INT32_MAX : -a, clWhite);
      FillGradientRect(t, clBlack, a, r, 5, a, clWhite);
      FilterRelief3D(t, r, a == INT32_MAX ? 1000 : a, a > 0, 60);
      BlurRectBorder(t, b, a, r);
      EXPECT_EQ(t.Width(), 25);
    }
}

}  // namespace
