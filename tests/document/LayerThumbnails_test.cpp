#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>

#include "document/LayerThumbnails.h"
#include "document/LayeredImage.h"
#include "document/Resample.h"
#include "platform/core/Parallel.h"
#include "support/GmThreadLimit.h"
#include "support/TestImages.h"

using namespace qm;
using namespace qm::test;

namespace {

constexpr TColor kRed = 0x0000FF, kBlue = 0xFF0000, kGreen = 0x00FF00, kYellow = 0x00FFFF;

// Strips are laid out with these margins.
constexpr int kSpacing = 3, kMargin = 4;

// A smooth picture: what a photo looks like at thumbnail scale.
TBitmap Gradient(int w, int h) {
  TBitmap b(w, h, pf24bit, clBlack);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      uint8_t* p = Px(b, x, y);
      p[0] = uint8_t(x * 255 / w), p[1] = uint8_t(y * 255 / h), p[2] = uint8_t((x + y) * 127 / (w + h));
    }
  return b;
}

bool IsChecker(const TBitmap& b, int x, int y) {
  const TColor c = b.GetPixel(x, y);
  return c == clWhite || c == kThumbCheckerColor;
}

}  // namespace

TEST(LayerThumbnails, GeometryForEveryShapeOfBackgroundAndStrip) {
  struct Case {
    int clientWidth, bw, bh;
    TThumbGeometry want;
  } cases[] = {
      // a 146-pixel cell: 146 x 109, the thumbnail 140 wide and 70 high
      {158, 1000, 500, {146, 109, 140, 70, 999.0 / 140}},
      // small images keep their own size
      {158, 40, 30, {146, 109, 40, 30, 1.0}},
      // higher than wide: the height is fixed
      {158, 500, 1000, {146, 109, 52, 103, 999.0 / 103}},
      // wide enough for the width, too high for the cell
      {158, 1000, 800, {146, 109, 129, 103, 799.0 / 103}},
      {158, 1, 1, {146, 109, 1, 1, 1.0}},
      // narrower than the margins: nothing below 1, no division by zero
      {5, 1000, 500, {1, 1, 2, 1, 499.0}},
      {5, 100, 1, {1, 1, 100, 1, 1.0}},
      {0, 1, 1000, {1, 1, 1, 1, 999.0}},
  };
  for (const Case& c : cases) {
    const TThumbGeometry g = ComputeThumbGeometry(c.clientWidth, c.bw, c.bh, kSpacing, kMargin);
    EXPECT_EQ(g.ListWidth, c.want.ListWidth) << c.clientWidth << " " << c.bw << "x" << c.bh;
    EXPECT_EQ(g.ListHeight, c.want.ListHeight) << c.clientWidth << " " << c.bw << "x" << c.bh;
    EXPECT_EQ(g.ThumbWidth, c.want.ThumbWidth) << c.clientWidth << " " << c.bw << "x" << c.bh;
    EXPECT_EQ(g.ThumbHeight, c.want.ThumbHeight) << c.clientWidth << " " << c.bw << "x" << c.bh;
    EXPECT_DOUBLE_EQ(g.Scale, c.want.Scale) << c.clientWidth << " " << c.bw << "x" << c.bh;
  }
}

TEST(LayerThumbnails, ALargeLayerLooksAsTheTriangleFilterOfTheWholeImage) {
  // the quick reduction must not show: compared with the filter run on every pixel
  const TBitmap photo = Gradient(3000, 2000);
  TLayerItem layer;
  layer.Image = photo.Clone();
  layer.Opacity = 100;
  const TThumbGeometry g = ComputeThumbGeometry(158, 3000, 2000, kSpacing, kMargin);
  const TBitmap thumb = RenderLayerThumbnail(layer, g);
  TBitmap direct;
  ASSERT_TRUE(Resample(photo, g.ThumbWidth, g.ThumbHeight, TResampleFilter::Triangle, direct));
  ASSERT_EQ(thumb.Width(), direct.Width());
  ASSERT_EQ(thumb.Height(), direct.Height());
  int worst = 0;
  for (int y = 0; y < thumb.Height(); ++y)
    for (int x = 0; x < thumb.Width() * 3; ++x)
      worst = std::max(worst, std::abs(int(thumb.ScanLine(y)[x]) - int(direct.ScanLine(y)[x])));
  EXPECT_LE(worst, 3);
}

TEST(LayerThumbnails, LayersSitOnTheCheckerboardThroughTheirMasksAndKeys) {
  TLayeredImage doc;
  doc.LoadFromBitmap(TBitmap(1000, 500, pf24bit, kRed), TBitmap(), "#0");
  const TThumbGeometry g = ComputeThumbGeometry(158, 1000, 500, kSpacing, kMargin);
  // a half-size blue layer at the centre, its left half hidden by its mask
  TBitmap mask(500, 250, pf24bit, clBlack);
  mask.FillRect(TRect{0, 0, 250, 250}, clWhite);
  doc.AddLayer(TBitmap(500, 250, pf24bit, kBlue), mask, "#1", 100, TPoint{250, 125});
  // a keyed background: green with a key-coloured band at the top
  TLayerItem keyed;
  keyed.Image = TBitmap(1000, 500, pf24bit, kGreen);
  keyed.Image.FillRect(TRect{0, 0, 1000, 100}, 0x00DCEDCE);
  keyed.Image.Transparent = true;
  keyed.Image.TransparentColor = 0x00DCEDCE;
  keyed.Opacity = 100;

  const TBitmap bg = RenderLayerThumbnail(doc.Layers[0], g), up = RenderLayerThumbnail(doc.Layers[1], g),
                key = RenderLayerThumbnail(keyed, g);
  ASSERT_EQ(bg.Width(), 140);
  ASSERT_EQ(bg.Height(), 70);
  EXPECT_EQ(bg.GetPixel(0, 0), kRed);
  EXPECT_EQ(bg.GetPixel(139, 69), kRed);
  // the layer lands at (250 / Scale, 125 / Scale) = (35, 18), 70 x 35
  EXPECT_TRUE(IsChecker(up, 10, 10));
  EXPECT_TRUE(IsChecker(up, 40, 30));   // under the hidden half
  EXPECT_EQ(up.GetPixel(90, 30), kBlue);
  EXPECT_TRUE(IsChecker(up, 110, 30));  // right of the layer
  EXPECT_TRUE(IsChecker(key, 70, 3));   // the key shows the checkerboard
  EXPECT_EQ(key.GetPixel(70, 50), kGreen);
  // other kinds are the checkerboard alone (the strip adds their glyphs)
  doc.AddColorLayer(kYellow, 50, "#2", false);
  const TBitmap colour = RenderLayerThumbnail(doc.Layers[2], g);
  for (int y = 0; y < colour.Height(); ++y)
    for (int x = 0; x < colour.Width(); ++x) ASSERT_TRUE(IsChecker(colour, x, y));
}

TEST(LayerThumbnails, SameForAnyThreadCountAndOnlyTheVisiblePartOfHugeLayersIsScaled) {
  TLayeredImage doc;
  doc.LoadFromBitmap(RandomBitmap(40, 30, 1), TBitmap(), "#0");  // Scale 1
  // far larger than the background: only the 40 x 30 under it may be scaled
  const TBitmap big = RandomBitmap(4000, 3000, 2);
  doc.AddLayer(big, TBitmap(4000, 3000, pf24bit, clBlack), "#1", 100, TPoint{-100, -200});
  doc.AddLayer(RandomBitmap(300, 200, 4), RandomMask(300, 200, 3), "#2", 60, TPoint{5, 5});
  const TThumbGeometry g = ComputeThumbGeometry(158, 40, 30, kSpacing, kMargin);
  const std::vector<int> all = {0, 1, 2, 7};
  std::vector<TBitmap> one, eight;
  SetEngineThreads(1);
  RenderLayerThumbnails(doc.Layers, g, all, one);
  SetEngineThreads(8);
  RenderLayerThumbnails(doc.Layers, g, all, eight);
  SetEngineThreads(0);
  ASSERT_EQ(one.size(), 4u);
  for (size_t k = 0; k < 3; ++k) EXPECT_TRUE(SameBitmaps(one[k], eight[k])) << k;
  EXPECT_TRUE(one[3].Empty());  // there is no layer 7
  // at Scale 1 a layer shows its own pixels
  EXPECT_TRUE(SameBitmaps(one[0], doc.Layers[0].Image));
  TBitmap under(40, 30, pf24bit, clBlack);
  for (int y = 0; y < 30; ++y) std::copy_n(Px(big, 100, y + 200), 40 * 3, Px(under, 0, y));
  EXPECT_TRUE(SameBitmaps(one[1], under));
}

TEST(LayerThumbnails, ManyLayersGiveTheSamePicturesOnOneAndOnEightThreads) {
  // More layers than threads, of every sort: reduced first or not, masked, keyed, partly
  // outside. GraphicsMagick is held to two threads, as OMP_NUM_THREADS=2 holds it: the
  // scaling must still call it on threads of its own.
  TLayeredImage doc;
  doc.LoadFromBitmap(Gradient(900, 600), TBitmap(), "#0");
  Rng rng(11);
  for (int i = 1; i < 20; ++i) {
    const int w = rng.Int(2, 1200), h = rng.Int(2, 800);
    TBitmap image = i % 2 ? RandomBitmap(w, h, uint32_t(100 + i)) : Gradient(w, h);
    const bool masked = i % 4 == 1;
    const int at = doc.AddLayer(image, masked ? RandomMask(w, h, uint32_t(200 + i)) : TBitmap(), "#", rng.Int(1, 100),
                                TPoint{rng.Int(-300, 800), rng.Int(-200, 500)});
    if (i % 3 == 0) {
      TBitmap& keyed = doc.Layers[at].Image;
      keyed.FillRect(TRect{0, 0, w / 2, h}, 0x00DCEDCE);
      keyed.Transparent = true;
      keyed.TransparentColor = 0x00DCEDCE;
    }
  }
  const TThumbGeometry g = ComputeThumbGeometry(158, 900, 600, kSpacing, kMargin);
  std::vector<int> all(20);
  for (int i = 0; i < 20; ++i) all[size_t(i)] = i;
  std::vector<TBitmap> one, eight;
  {
    const GmThreadLimit two(2);
    SetEngineThreads(1);
    RenderLayerThumbnails(doc.Layers, g, all, one);
    SetEngineThreads(8);
    RenderLayerThumbnails(doc.Layers, g, all, eight);
    SetEngineThreads(0);
  }
  ASSERT_EQ(eight.size(), all.size());
  for (int i = 0; i < 20; ++i) {
    EXPECT_TRUE(SameBitmaps(one[size_t(i)], eight[size_t(i)])) << i;
    EXPECT_TRUE(SameBitmaps(one[size_t(i)], RenderLayerThumbnail(doc.Layers[i], g))) << i;
  }
}
