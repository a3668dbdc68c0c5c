// Sheerlay's mask and effect against what each mode means, on random layers.
#include <gtest/gtest.h>

#include "document/Resample.h"
#include "document/Sheerlay.h"
#include "pixel/ColorAdjust.h"
#include "pixel/Composite.h"
#include "support/TestImages.h"

using namespace qm;
using namespace qm::test;

namespace {

TBitmap Grey(int w, int h, int v) { return TBitmap(w, h, pf24bit, RGB(v, v, v)); }

TSheerlayParams Params(int opacity = 100) {
  TSheerlayParams p = DefaultParams<TSheerlayParams>();
  p.Color = RGB(200, 30, 90);
  p.Opacity = opacity;
  return p;
}

// The layer after the mode through the picture over the whole layer.
TBitmap Laid(const TBitmap& original, const TBitmap& picture, int mode, const TSheerlayParams& p,
            const TBitmap* pattern = nullptr) {
  TBitmap layer = original.Clone();
  TSheerlayTarget t{layer, original, nullptr, false, pattern};
  ApplySheerlay(t, picture, mode, p, TRect{0, 0, layer.Width(), layer.Height()});
  return layer;
}

}  // namespace

// At 100 % a white picture leaves the layer as it was in the modes 0 to 3; a black one
// gives the whole effect.
TEST(Sheerlay, WhiteChangesNothingBlackAppliesFully) {
  const TBitmap layer = RandomBitmap(64, 48, 11);
  const TBitmap pattern = RandomBitmap(7, 5, 12);
  TBitmap grey = layer.Clone(), blurred = layer.Clone(), tiled = layer.Clone();
  GrayscaleRect(grey, UnboundedRect);
  MotionBlurTwoPass(blurred, UnboundedRect);
  for (int y = 0; y < tiled.Height(); ++y)
    for (int x = 0; x < tiled.Width(); ++x) tiled.SetPixel(x, y, pattern.GetPixel(x % 7, y % 5));
  const TBitmap flat(64, 48, pf24bit, Params().Color);
  const TBitmap* full[] = {&flat, &grey, &blurred, &tiled};
  for (int mode = slColor; mode <= slPattern; ++mode) {
    SCOPED_TRACE(mode);
    EXPECT_EQ(Checksum(Laid(layer, Grey(10, 10, 255), mode, Params(), &pattern)), Checksum(layer));
    EXPECT_EQ(Checksum(Laid(layer, Grey(10, 10, 0), mode, Params(), &pattern)), Checksum(*full[mode]));
  }
}

// Greyscale at 60 % under a white picture: 40 % of the grey result remains.
TEST(Sheerlay, OpacityBringsTheLayerBack) {
  const TBitmap layer = RandomBitmap(32, 16, 5);
  TBitmap grey = layer.Clone();
  GrayscaleRect(grey, UnboundedRect);
  const TBitmap out = Laid(layer, Grey(8, 8, 255), slGray, Params(60));
  for (int y = 0; y < 16; ++y)
    for (int x = 0; x < 32 * 3; ++x) {
      const int g = grey.ScanLine(y)[x], o = layer.ScanLine(y)[x];
      ASSERT_NEAR(out.ScanLine(y)[x], g + (o - g) * 0.6, 1.01) << x << "," << y;
    }
}

// The mask over 250 x 120 from a 100 x 100 picture: tiled from the top-left, or
// stretched to the size; two tones cut at luminance 128.
TEST(Sheerlay, MaskTilesStretchesAndCuts) {
  const TBitmap picture = RandomBitmap(100, 100, 3);
  TSheerlayParams p = Params();
  p.Fit = 1;
  const TBitmap tiled = BuildSheerlayMask(picture, 250, 120, p, slColor, true);
  ASSERT_EQ(tiled.Width(), 250);
  ASSERT_EQ(tiled.Height(), 120);
  for (auto [x, y] : {std::pair{0, 0}, {130, 7}, {249, 119}, {205, 101}})
    EXPECT_EQ(tiled.GetPixel(x, y), picture.GetPixel(x % 100, y % 100)) << x << "," << y;
  p.Fit = 0;
  const TBitmap stretched = BuildSheerlayMask(Grey(100, 100, 90), 250, 120, p, slColor, true);
  ASSERT_EQ(stretched.Width(), 250);
  ASSERT_EQ(stretched.Height(), 120);
  EXPECT_EQ(stretched.GetPixel(200, 100), RGB(90, 90, 90));
  // near white snaps to white, so a white picture leaves the layer alone
  EXPECT_EQ(BuildSheerlayMask(Grey(10, 10, 245), 30, 30, p, slColor, true).GetPixel(5, 5), clWhite);

  p.Duotone = true;
  EXPECT_EQ(BuildSheerlayMask(Grey(4, 4, 129), 4, 4, p, slColor, true).GetPixel(1, 1), clBlack);
  EXPECT_EQ(BuildSheerlayMask(Grey(4, 4, 130), 4, 4, p, slColor, true).GetPixel(1, 1), clWhite);
  // the grey and blur modes take the mask the other way round
  EXPECT_EQ(BuildSheerlayMask(Grey(4, 4, 130), 4, 4, p, slGray, true).GetPixel(1, 1), clBlack);
}

// The transparency mode: through a layer mask when there is one; else a background
// takes the key colour where the picture is dark, and its transparency.
TEST(Sheerlay, TransparencyHidesThroughTheMaskOrKeysTheBackground) {
  const TBitmap original = RandomBitmap(20, 10, 9);
  TBitmap picture = Grey(20, 10, 255);
  picture.FillRect(TRect{0, 0, 10, 10}, clBlack);
  TSheerlayParams p = Params();
  TBitmap layer = original.Clone();
  TBitmap mask(20, 10, pf24bit, clBlack);
  TSheerlayTarget withMask{layer, original, &mask, false};
  ApplySheerlay(withMask, picture, slTransparency, p, TRect{0, 0, 20, 10});
  EXPECT_EQ(Checksum(layer), Checksum(original));
  EXPECT_EQ(mask.GetPixel(2, 2), clWhite);
  EXPECT_EQ(mask.GetPixel(15, 2), clBlack);

  TBitmap background = original.Clone();
  TSheerlayTarget keyed{background, original, nullptr, true};
  ApplySheerlay(keyed, picture, slTransparency, p, TRect{0, 0, 20, 10});
  EXPECT_TRUE(background.Transparent);
  EXPECT_EQ(background.TransparentColor, kSheerlayKey);
  EXPECT_EQ(background.GetPixel(3, 3), kSheerlayKey);
  EXPECT_EQ(background.GetPixel(15, 3), original.GetPixel(15, 3));
  // any other mode leaves a background opaque; an upper layer's flag is not touched
  ApplySheerlay(keyed, picture, slColor, p, TRect{0, 0, 20, 10});
  EXPECT_FALSE(background.Transparent);
  TBitmap upper = original.Clone();
  upper.Transparent = true;
  TSheerlayTarget plain{upper, original, nullptr, false};
  ApplySheerlay(plain, picture, slTransparency, p, TRect{0, 0, 20, 10});
  EXPECT_TRUE(upper.Transparent);
  EXPECT_EQ(Checksum(upper), Checksum(original));
}

// Enlarging, the mask is the library's triangle resampling (within one level); reducing
// goes through the library itself.
TEST(Sheerlay, StretchFollowsTheTriangleFilter) {
  TBitmap picture = RandomBitmap(37, 23, 21);
  GrayscaleRect(picture, UnboundedRect);
  TSheerlayParams p = Params();
  for (auto [w, h] : {std::pair{250, 120}, {37, 23}, {20, 60}}) {
    SCOPED_TRACE(w);
    const TBitmap m = BuildSheerlayMask(picture, w, h, p, slColor, true);
    TBitmap expected;
    ASSERT_TRUE(Resample(picture, w, h, TResampleFilter::Triangle, expected));
    ReplaceColorRect(expected, clWhite, clWhite, 12, UnboundedRect);
    ASSERT_EQ(m.Width(), w);
    int worst = 0;
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w * 3; ++x) worst = std::max(worst, std::abs(m.ScanLine(y)[x] - expected.ScanLine(y)[x]));
    EXPECT_LE(worst, 1);
  }
}
