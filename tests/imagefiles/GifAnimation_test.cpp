#include "imagefiles/GifAnimation.h"

#include <gtest/gtest.h>

#include <cstdlib>

#include "imagefiles/GifCodec.h"
#include "imagefiles/ImageFilesTest.h"
#include "platform/core/Exceptions.h"

using namespace qm;
using namespace qm::test;

namespace {

struct Square {
  TRect R;
  TColor C;
};
// Three squares over a photo-like background of far more than 256 colours; the third
// is hidden by its mask on its left half.
const Square kSquares[3] = {{{4, 4, 16, 14}, RGB(230, 20, 20)},
                            {{24, 8, 36, 20}, RGB(20, 210, 40)},
                            {{40, 20, 56, 36}, RGB(30, 40, 220)}};

void MakeDocument(TLayeredImage& doc) {
  doc.LoadFromBitmap(TestPicture(60, 40, 7, true), TBitmap(), "#0");
  for (int i = 0; i < 3; ++i) {
    const Square& s = kSquares[i];
    TBitmap img(s.R.Width(), s.R.Height(), pf24bit, s.C);
    TBitmap mask;
    if (i == 2) {
      mask = TBitmap(s.R.Width(), s.R.Height(), pf24bit, clBlack);
      mask.FillRect(TRect{0, 0, s.R.Width() / 2, s.R.Height()}, clWhite);
    }
    doc.AddLayer(img, mask, "#" + std::to_string(i + 1), 100, TPoint{s.R.Left, s.R.Top});
  }
}

// The colour a frame read back shows at a point; clNone where it is transparent.
TColor FrameColor(const TGifImage& gif, int frame, int x, int y) {
  const TGifFrame& f = gif.Frames[size_t(frame)];
  const int i = f.Pixels[size_t(y - f.Top) * size_t(f.Width) + size_t(x - f.Left)];
  if (i == f.TransparentIndex) return clNone;
  return gif.FrameColorMap(frame)[size_t(i)] & 0xFFFFFF;
}

int Distance(TColor a, TColor b) {
  return std::max({std::abs(GetRValue(a) - GetRValue(b)), std::abs(GetGValue(a) - GetGValue(b)),
                   std::abs(GetBValue(a) - GetBValue(b))});
}

}  // namespace

// Optimised palette, accumulating frames, layer 2 skipped (delay 0): every frame read
// back through giflib shows its own colours, the later ones on maps of their own.
TEST(GifAnimation, EveryFrameShowsItsOwnColoursOnTheOptimisedPalette) {
  TLayeredImage doc;
  MakeDocument(doc);
  const TBitmap background = doc.Layers[0].Image.Clone();
  TGifAnimOptions o;
  o.Delays = {30, 0, 70};
  o.Palette = TGifAnimPalette::Optimized;
  o.Diffuse = false;
  const std::string file = TestFolder() + "/anim.gif";
  bool keyed = true;
  SaveGifAnimation(file, doc, o, &keyed);
  EXPECT_FALSE(keyed);
  TGifImage gif;
  ReadGifFile(file, gif);
  ASSERT_EQ(gif.Frames.size(), 2u);
  EXPECT_EQ(gif.LoopCount, 0);
  EXPECT_EQ(gif.Frames[0].Delay, 30);
  EXPECT_EQ(gif.Frames[1].Delay, 70);
  const int shown[2] = {1, 3};  // squares shown by each frame
  for (int k = 0; k < 2; ++k) {
    EXPECT_EQ(gif.Frames[size_t(k)].Disposal, 1);
    int64_t total = 0;
    for (int y = 0; y < 40; ++y)
      for (int x = 0; x < 60; ++x) {
        TColor want = background.GetPixel(x, y) & 0xFFFFFF;
        for (int s = 0; s < shown[k]; ++s)
          if (PtInRect(kSquares[s].R, TPoint{x, y}) && !(s == 2 && x < 48)) want = kSquares[s].C;
        const int d = Distance(FrameColor(gif, k, x, y), want);
        ASSERT_LE(d, 40) << "frame " << k << " at " << x << "," << y;
        total += d;
      }
    EXPECT_LT(total, 60 * 40 * 8) << "frame " << k;
  }
  // The document is left as it was.
  EXPECT_TRUE(doc.Layers[3].Visible);
}

// Transparency: each frame holds its layer alone, the rest (and what its mask hides)
// transparent, frames restored to the background; the web palette snaps the colours.
TEST(GifAnimation, TransparentFramesHoldTheirLayerAloneOnTheWebPalette) {
  TLayeredImage doc;
  MakeDocument(doc);
  TGifAnimOptions o;
  o.Delays = {0, 0, 0};  // all 0: the first layer gets 100
  o.Transparent = true;
  o.Loop = false;
  EXPECT_EQ(EffectiveGifDelays(o.Delays, 4), (std::vector<int>{100, 0, 0}));
  o.Delays = {10, 10, 10};
  bool keyed = false;
  const TGifImage gif = BuildGifAnimation(doc, o, &keyed);
  EXPECT_TRUE(keyed);
  EXPECT_EQ(gif.LoopCount, -1);
  ASSERT_EQ(gif.Frames.size(), 3u);
  for (int k = 0; k < 3; ++k) {
    EXPECT_EQ(gif.Frames[size_t(k)].Disposal, 2);
    const Square& s = kSquares[k];
    const TColor web = RGB((GetRValue(s.C) + 25) / 51 * 51, (GetGValue(s.C) + 25) / 51 * 51,
                           (GetBValue(s.C) + 25) / 51 * 51);
    EXPECT_EQ(FrameColor(gif, k, s.R.Right - 1, s.R.Bottom - 1), web) << k;
    EXPECT_EQ(FrameColor(gif, k, 0, 0), clNone) << k;
    EXPECT_EQ(FrameColor(gif, k, s.R.Left, s.R.Top), k == 2 ? clNone : web) << k;
  }
}

TEST(GifAnimation, ADocumentWithoutUpperLayersIsRefused) {
  TLayeredImage doc;
  doc.LoadFromBitmap(TestPicture(8, 8), TBitmap(), "#0");
  EXPECT_THROW(BuildGifAnimation(doc, TGifAnimOptions{}), EInvalidGraphic);
}
