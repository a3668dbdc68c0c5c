#include "pixel/PixelFormat.h"

#include <gtest/gtest.h>

#include <set>

#include "pixel/Blend.h"
#include "pixel/RectUtils.h"
#include "platform/core/Palettes.h"
#include "support/TestImages.h"

using namespace qm;
using namespace qm::test;

namespace {

std::set<TColor> ColorsOf(const TBitmap& b) {
  std::set<TColor> s;
  for (int y = 0; y < b.Height(); ++y)
    for (int x = 0; x < b.Width(); ++x) s.insert(b.GetPixel(x, y));
  return s;
}

// The same pixels, whatever the formats.
::testing::AssertionResult SameColors(const TBitmap& a, const TBitmap& b) {
  if (a.Width() != b.Width() || a.Height() != b.Height()) return ::testing::AssertionFailure() << "sizes differ";
  for (int y = 0; y < a.Height(); ++y)
    for (int x = 0; x < a.Width(); ++x)
      if (a.GetPixel(x, y) != b.GetPixel(x, y))
        return ::testing::AssertionFailure() << "at " << x << "," << y << ": " << std::hex << a.GetPixel(x, y)
                                             << " vs " << b.GetPixel(x, y);
  return ::testing::AssertionSuccess();
}

TBitmap FewColors(int w, int h, int n, uint32_t seed) {
  Rng rng(seed);
  TBitmap b(w, h, pf24bit, clBlack);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      int k = rng.Int(0, n - 1);
      b.SetPixel(x, y, RGB(k * 37 % 256, k * 11 % 256, 255 - k));
    }
  return b;
}

TGifFrame Frame(int w, int h, TPalette map, int transparent, uint8_t fill) {
  TGifFrame f;
  f.Width = w;
  f.Height = h;
  f.Pixels.assign(size_t(w) * h, fill);
  f.ColorMap = std::move(map);
  f.TransparentIndex = transparent;
  return f;
}

}  // namespace

TEST(Bitmap32, SplitThenCombineGivesTheStartingPixels) {
  TBitmap src = RandomBitmap(37, 23, 1, pf32bit);
  TBitmap image, mask, back;
  SplitBitmap32(src, image, mask);
  ASSERT_EQ(image.PixelFormat(), pf24bit);
  ASSERT_EQ(mask.PixelFormat(), pf24bit);
  for (int y = 0; y < src.Height(); ++y)
    for (int x = 0; x < src.Width(); ++x) {
      const uint8_t* s = src.ScanLine(y) + 4 * x;
      ASSERT_EQ(Px(image, x, y)[2], s[2]);
      for (int c = 0; c < 3; ++c) ASSERT_EQ(Px(mask, x, y)[c], 255 - s[3]);
    }
  CombineBitmapWithMask32(image, mask, back, false);
  EXPECT_TRUE(SameBitmaps(back, src));

  // whitening: pixels under a mask of 255 become white, alpha still follows the mask
  Px(mask, 3, 4)[0] = 255;
  CombineBitmapWithMask32(image, mask, back, true);
  EXPECT_EQ(back.GetPixel(3, 4), RGB(255, 255, 255));
  EXPECT_EQ(back.ScanLine(4)[4 * 3 + 3], 0);

  // guards
  TBitmap untouched(2, 2, pf24bit, RGB(1, 2, 3)), m2;
  SplitBitmap32(image, untouched, m2);  // a 24-bit source
  EXPECT_EQ(untouched.GetPixel(0, 0), RGB(1, 2, 3));
  TBitmap small = RandomMask(5, 5, 2), result(1, 1, pf24bit);
  CombineBitmapWithMask32(image, small, result, false);  // sizes differ
  EXPECT_EQ(result.PixelFormat(), pf24bit);
}

TEST(DrawGraphicOnTransparentColor, KeyPixelsShowTheGlobalColour) {
  TBitmap g = FewColors(9, 7, 4, 3);
  g.Transparent = true;
  g.TransparentColor = g.GetPixel(0, 0);
  TBitmap out(3, 3, pf8bit);
  DrawGraphicOnTransparentColor(g, out);
  ASSERT_EQ(out.PixelFormat(), pf24bit);
  EXPECT_TRUE(out.Transparent);
  EXPECT_EQ(out.TransparentColor, clGlobalTransparent);
  for (int y = 0; y < g.Height(); ++y)
    for (int x = 0; x < g.Width(); ++x)
      EXPECT_EQ(out.GetPixel(x, y), g.GetPixel(x, y) == g.TransparentColor ? clGlobalTransparent : g.GetPixel(x, y));
  g.Transparent = false;
  DrawGraphicOnTransparentColor(g, out);
  EXPECT_FALSE(out.Transparent);
  EXPECT_TRUE(SameColors(out, g));
}

TEST(GifImage, AssignKeepsUpTo256ColoursExactly) {
  TBitmap few = FewColors(31, 17, 200, 4);
  TGifImage gif;
  gif.Assign(few);
  ASSERT_EQ(gif.Frames.size(), 1u);
  TBitmap back;
  gif.FrameToBitmap(0, back);
  EXPECT_EQ(back.PixelFormat(), pf8bit);
  EXPECT_TRUE(SameColors(back, few));

  TBitmap many = RandomBitmap(40, 30, 5);
  gif.Assign(many);
  gif.FrameToBitmap(0, back);
  EXPECT_EQ(gif.FrameColorMap(0), HalftonePalette());

  gif.ColorReduction = rmQuantize;
  gif.ReductionBits = 4;
  gif.Assign(many);
  EXPECT_LE(gif.FrameColorMap(0).size(), 16u);

  // an indexed bitmap keeps its palette and indices; a transparent one its key entry
  TBitmap idx(4, 4, pf8bit);
  idx.SetPalette({RGB(1, 1, 1), RGB(2, 2, 2), RGB(3, 3, 3)});
  idx.SetPixelIndex(1, 1, 2);
  idx.Transparent = true;
  idx.TransparentColor = RGB(3, 3, 3);
  gif.ColorReduction = rmNone;
  gif.Assign(idx);
  EXPECT_EQ(gif.Frames[0].Pixels[5], 2);
  EXPECT_EQ(gif.Frames[0].TransparentIndex, 2);
}

TEST(GifFrameToBitmap, ReadsTheFrameWithItsKey) {
  TGifImage gif;
  gif.GlobalColorMap = {RGB(10, 10, 10), RGB(20, 20, 20), RGB(10, 10, 10)};
  gif.Frames.push_back(Frame(3, 2, {RGB(1, 0, 0), RGB(0, 1, 0)}, 1, 1));
  gif.Frames.push_back(Frame(2, 2, {}, 2, 0));
  gif.Frames.push_back(Frame(4, 1, {RGB(5, 5, 5)}, -1, 0));
  TBitmap b;
  GifFrameToBitmap(gif, b, 5, false);  // out of range: frame 0
  EXPECT_EQ(b.Width(), 3);
  EXPECT_TRUE(b.Transparent);
  EXPECT_EQ(b.TransparentColor, RGB(0, 1, 0));
  GifFrameToBitmap(gif, b, -1, true);
  EXPECT_EQ(b.Width(), 3);
  EXPECT_EQ(b.TransparentColor, RGB(0, 1, 0));  // unique already

  // frame 1 uses the global map, whose key colour appears twice
  GifFrameToBitmap(gif, b, 1, false);
  EXPECT_EQ(b.TransparentColor, RGB(10, 10, 10));
  GifFrameToBitmap(gif, b, 1, true);
  EXPECT_EQ(b.TransparentColor, clGlobalTransparent);
  EXPECT_EQ(gif.GlobalColorMap[2], clGlobalTransparent);
  EXPECT_EQ(b.GetPixel(0, 0), RGB(10, 10, 10));

  GifFrameToBitmap(gif, b, 2, true);
  EXPECT_FALSE(b.Transparent);
  EXPECT_EQ(b.GetPixel(3, 0), RGB(5, 5, 5));

  SetGifTransparentColor(gif, 0, RGB(7, 8, 9));
  EXPECT_EQ(gif.Frames[0].ColorMap[1], RGB(7, 8, 9));
  SetGifTransparentColor(gif, 2, RGB(7, 8, 9));  // no transparent index
  EXPECT_EQ(gif.Frames[2].ColorMap[0], RGB(5, 5, 5));
  SetGifTransparentColor(gif, 9, RGB(1, 2, 3));  // out of range: frame 0
  EXPECT_EQ(gif.Frames[0].ColorMap[1], RGB(1, 2, 3));

  TGifImage none;
  GifFrameToBitmap(none, b, 0, true);
  EXPECT_TRUE(b.Empty());
}

TEST(ReduceColorsWithTransparency, KeyMarksExactlyTheTransparentPixels) {
  TBitmap image = RandomBitmap(50, 40, 6);
  Px(image, 2, 2)[0] = GetBValue(clGlobalTransparent);  // an opaque pixel of the key colour
  Px(image, 2, 2)[1] = GetGValue(clGlobalTransparent);
  Px(image, 2, 2)[2] = GetRValue(clGlobalTransparent);
  TBitmap mask = RandomMask(50, 40, 7);
  for (int x = 0; x < 5; ++x) Px(mask, x, 2)[0] = 0;
  Px(mask, 7, 7)[0] = 128;
  Px(mask, 8, 7)[0] = 129;
  for (bool dither : {false, true}) {
    for (int mode : {gpOptimized, gpWindows256, gpWeb}) {
      TBitmap out;
      ReduceColorsWithTransparency(image, mask, out, mode, dither);
      ASSERT_TRUE(out.Transparent);
      EXPECT_EQ(out.TransparentColor, clGlobalTransparent);
      EXPECT_LE(ColorsOf(out).size(), 255u);
      for (int y = 0; y < 40; ++y)
        for (int x = 0; x < 50; ++x)
          ASSERT_EQ(out.GetPixel(x, y) == clGlobalTransparent, Px(mask, x, y)[0] >= 129) << x << "," << y;
    }
  }
  TBitmap out(1, 1, pf24bit, RGB(1, 2, 3));
  ReduceColorsWithTransparency(image, TBitmap(50, 40, pf8bit), out, 0, false);
  EXPECT_EQ(out.GetPixel(0, 0), RGB(1, 2, 3));
  EXPECT_EQ(SubstituteColor(RGB(0, 100, 0)), RGB(0, 107, 0));
  EXPECT_EQ(SubstituteColor(clGlobalTransparent), RGB(0xCE, 0xED - 7, 0xDC));
}

TEST(Png, TransparentEntryAlphaAndWhitening) {
  TPngImage png;
  png.Width = 3;
  png.Height = 2;
  png.ColorType = pcIndexed;
  png.Palette = {RGB(1, 1, 1), RGB(2, 2, 2), RGB(3, 3, 3)};
  png.Pixels = {0, 1, 2, 2, 1, 0};
  png.Transparency = {255, 0, 0};
  TBitmap b;
  PngToBitmapTransparent(png, b);
  EXPECT_EQ(b.PixelFormat(), pf8bit);
  EXPECT_EQ(b.GetPixel(2, 0), RGB(3, 3, 3));
  EXPECT_TRUE(b.Transparent);
  EXPECT_EQ(b.TransparentColor, RGB(2, 2, 2));
  png.Transparency = {255, 128};
  PngToBitmapTransparent(png, b);
  EXPECT_FALSE(b.Transparent);

  png.ColorType = pcRGB;
  png.Pixels = {1, 2, 3, 4, 5, 6, 7, 8, 9, 1, 2, 3, 4, 5, 6, 7, 8, 9};
  png.TransparentColor = RGB(4, 5, 6);
  PngToBitmapTransparent(png, b);
  EXPECT_EQ(b.GetPixel(0, 0), RGB(1, 2, 3));
  EXPECT_TRUE(b.Transparent);
  EXPECT_EQ(b.TransparentColor, RGB(4, 5, 6));

  TBitmap image = RandomBitmap(6, 5, 8), mask = RandomMask(6, 5, 9);
  Px(mask, 1, 1)[0] = 255;
  TPngImage out;
  BitmapMaskToPng(image, mask, out, true);
  ASSERT_EQ(out.ColorType, pcRGBA);
  ASSERT_EQ(out.Pixels.size(), 6u * 5 * 4);
  const uint8_t* p = &out.Pixels[(1 * 6 + 1) * 4];
  EXPECT_EQ(p[0] + p[1] + p[2], 3 * 255);
  EXPECT_EQ(p[3], 0);
  const uint8_t* q = &out.Pixels[(4 * 6 + 5) * 4];
  EXPECT_EQ(q[0], Px(image, 5, 4)[2]);
  EXPECT_EQ(q[3], 255 - Px(mask, 5, 4)[0]);

  // 32 bits to PNG and back
  TBitmap b32 = RandomBitmap(7, 3, 10, pf32bit), round;
  Bitmap32ToPng(b32, out);
  out.ToBitmap(round);
  EXPECT_TRUE(SameBitmaps(round, b32));
}

TEST(Convert8To4Bit, PacksHighNibbleFirstAndRefusesWideIndices) {
  TBitmap b(5, 1, pf8bit);
  TPalette pal;
  for (int i = 0; i < 20; ++i) pal.push_back(RGB(i, i, i));
  b.SetPalette(pal);
  for (int x = 0; x < 5; ++x) b.SetPixelIndex(x, 0, unsigned(x + 1));
  b.Transparent = true;
  b.TransparentColor = RGB(3, 3, 3);
  ASSERT_TRUE(Convert8To4Bit(b));
  EXPECT_EQ(b.PixelFormat(), pf4bit);
  EXPECT_EQ(b.ScanLine(0)[0], 0x12);
  EXPECT_EQ(b.ScanLine(0)[1], 0x34);
  EXPECT_EQ(b.ScanLine(0)[2], 0x50);
  EXPECT_EQ(b.Palette().size(), 16u);
  EXPECT_TRUE(b.Transparent);
  EXPECT_EQ(b.TransparentColor, RGB(3, 3, 3));

  Rng rng(11);
  TBitmap r(13, 9, pf8bit);
  r.SetPalette(pal);
  for (int y = 0; y < 9; ++y)
    for (int x = 0; x < 13; ++x) r.SetPixelIndex(x, y, unsigned(rng.Int(0, 15)));
  TBitmap copy = r.Clone();
  ASSERT_TRUE(Convert8To4Bit(r));
  for (int y = 0; y < 9; ++y)
    for (int x = 0; x < 13; ++x) ASSERT_EQ(r.GetPixelIndex(x, y), copy.GetPixelIndex(x, y));

  copy.SetPixelIndex(12, 8, 16);
  TBitmap before = copy.Clone();
  EXPECT_FALSE(Convert8To4Bit(copy));
  EXPECT_EQ(copy.PixelFormat(), pf8bit);
  EXPECT_EQ(copy.GetPixelIndex(12, 8), 16u);
  TBitmap rgb = RandomBitmap(3, 3, 12);
  EXPECT_FALSE(Convert8To4Bit(rgb));
}

TEST(ConvertBitmapToIndexed, PicksTheFormatByTheCount) {
  // an indexed bitmap of fewer bits only widens
  TBitmap four(6, 4, pf4bit);
  TPalette custom;
  for (int i = 0; i < 16; ++i) custom.push_back(RGB(i * 3 + 1, 200 - i, i * 7));
  four.SetPalette(custom);
  for (int x = 0; x < 6; ++x) four.SetPixelIndex(x, 1, unsigned(x + 5));
  TBitmap ref = four.Clone();
  ConvertBitmapToIndexed(four, 200, true, true);
  EXPECT_EQ(four.PixelFormat(), pf8bit);
  EXPECT_TRUE(SameColors(four, ref));

  TBitmap photo = RandomBitmap(40, 30, 13);
  photo.Transparent = true;
  photo.TransparentColor = RGB(9, 9, 9);
  for (bool quantize : {false, true})
    for (bool dither : {false, true}) {
      TBitmap b = photo.Clone();
      ConvertBitmapToIndexed(b, 10, quantize, dither);
      EXPECT_EQ(b.PixelFormat(), pf4bit);
      EXPECT_TRUE(b.Transparent);
      EXPECT_EQ(b.TransparentColor, RGB(9, 9, 9));
      TBitmap c = photo.Clone();
      ConvertBitmapToIndexed(c, 100, quantize, dither);
      EXPECT_EQ(c.PixelFormat(), pf8bit);
    }
  // few colours keep them exactly through the GIF image
  TBitmap few = FewColors(20, 10, 12, 14);
  TBitmap fewRef = few.Clone();
  ConvertBitmapToIndexed(few, 16, false, false);
  EXPECT_EQ(few.PixelFormat(), pf4bit);
  EXPECT_TRUE(SameColors(few, fewRef));

  TBitmap mono = RandomBitmap(9, 9, 15);
  ConvertBitmapToIndexed(mono, 2, true, true);
  EXPECT_EQ(mono.PixelFormat(), pf1bit);
  TBitmap grey(2, 1, pf24bit, RGB(127, 127, 127));
  grey.SetPixel(1, 0, RGB(128, 128, 128));
  ConvertBitmapToIndexed(grey, 2, false, false);
  EXPECT_EQ(grey.GetPixel(0, 0), RGB(0, 0, 0));
  EXPECT_EQ(grey.GetPixel(1, 0), RGB(255, 255, 255));

  TBitmap same = photo.Clone();
  ConvertBitmapToIndexed(same, 0, true, true);
  ConvertBitmapToIndexed(same, 257, true, true);
  EXPECT_TRUE(SameBitmaps(same, photo));
}

TEST(EnlargeCanvas, PlacesTheSourceOverBackgroundAndPattern) {
  TBitmap src = RandomBitmap(4, 3, 16);
  src.Transparent = true;
  src.TransparentColor = RGB(1, 2, 3);
  TBitmap dst(2, 2, pf24bit, RGB(9, 9, 9));
  EXPECT_EQ(EnlargeCanvas(src, dst, 0, 5, alCenter, clBlack), TRect{});
  EXPECT_EQ(dst.Width(), 2);
  EXPECT_EQ(dst.GetPixel(0, 0), RGB(9, 9, 9));
  // a side beyond the largest bitmap is refused the same way, without throwing
  EXPECT_EQ(EnlargeCanvas(src, dst, kMaxBitmapSide + 1, 5, alCenter, clBlack), TRect{});
  EXPECT_EQ(EnlargeCanvas(src, dst, 5, INT32_MAX, alCenter, clBlack), TRect{});
  EXPECT_EQ(dst.Width(), 2);
  EXPECT_EQ(dst.GetPixel(0, 0), RGB(9, 9, 9));

  TRect r = EnlargeCanvas(src, dst, 10, 7, alBottomRight, RGB(50, 60, 70));
  EXPECT_EQ(r, (TRect{6, 4, 10, 7}));
  EXPECT_EQ(dst.PixelFormat(), pf24bit);
  EXPECT_EQ(dst.GetPixel(0, 0), RGB(50, 60, 70));
  EXPECT_EQ(dst.GetPixel(7, 5), src.GetPixel(1, 1));
  EXPECT_TRUE(dst.Transparent);
  EXPECT_EQ(dst.TransparentColor, RGB(1, 2, 3));

  // a pattern keyed by its colour, and a canvas smaller than the source
  TBitmap pat(2, 1, pf24bit, RGB(200, 0, 0));
  pat.SetPixel(1, 0, RGB(0, 0, 0));
  r = EnlargeCanvas(src, dst, 8, 5, alTopLeft, RGB(5, 5, 5), &pat, RGB(0, 0, 0));
  EXPECT_EQ(dst.GetPixel(6, 4), RGB(200, 0, 0));
  EXPECT_EQ(dst.GetPixel(7, 4), RGB(5, 5, 5));
  r = EnlargeCanvas(src, dst, 2, 2, alCenter, clBlack);
  EXPECT_EQ(r, (TRect{-1, 0, 3, 3}));
  EXPECT_EQ(dst.GetPixel(0, 0), src.GetPixel(1, 0));

  // in place
  TBitmap self = src.Clone();
  EnlargeCanvas(self, self, 6, 5, alCenter, clWhite);
  EXPECT_EQ(self.Width(), 6);
  EXPECT_EQ(self.GetPixel(1, 1), src.GetPixel(0, 0));
  EXPECT_EQ(self.GetPixel(0, 0), clWhite);
}

// The canvas written row by row against the plain way: the colour everywhere, the
// source copied over it; every anchor, canvases larger, smaller and crossing the source.
TEST(EnlargeCanvas, MatchesColourThenSourceEverywhere) {
  const TBitmap src = RandomBitmap(37, 23, 3);
  const struct {
    int W, H;
  } sizes[] = {{60, 41}, {20, 11}, {50, 9}, {13, 40}, {37, 23}, {1, 1}};
  for (const auto& sz : sizes)
    for (int a = 0; a <= 8; ++a) {
      TBitmap want(sz.W, sz.H, pf24bit, RGB(7, 130, 250));
      TRect placed{0, 0, 37, 23};
      AlignRectInRect(placed, TRect{0, 0, sz.W, sz.H}, TAlignment(a));
      CopyBitmap24At(src, want, placed.Left, placed.Top);
      // into a new bitmap, and over a target of the canvas's shape
      TBitmap got, reused = RandomBitmap(sz.W, sz.H, 9);
      EXPECT_EQ(EnlargeCanvas(src, got, sz.W, sz.H, TAlignment(a), RGB(7, 130, 250)), placed);
      EXPECT_TRUE(SameBitmaps(got, want)) << sz.W << "x" << sz.H << " anchor " << a;
      EnlargeCanvas(src, reused, sz.W, sz.H, TAlignment(a), RGB(7, 130, 250));
      EXPECT_TRUE(SameBitmaps(reused, want)) << sz.W << "x" << sz.H << " anchor " << a;
    }
}

TEST(SplitBitmapToImageAndMask, AlphaKeyOrNothing) {
  TBitmap b32 = RandomBitmap(6, 5, 20, pf32bit), image, mask;
  SplitBitmapToImageAndMask(b32, image, mask);
  ASSERT_EQ(mask.Width(), 6);
  EXPECT_EQ(Px(mask, 2, 3)[0], 255 - b32.ScanLine(3)[4 * 2 + 3]);
  // alpha 0 everywhere: taken as a bitmap that does not use alpha, so no mask
  for (int y = 0; y < 5; ++y)
    for (int x = 0; x < 6; ++x) b32.ScanLine(y)[4 * x + 3] = 0;
  SplitBitmapToImageAndMask(b32, image, mask);
  EXPECT_TRUE(mask.Empty());
  EXPECT_EQ(image.GetPixel(1, 1), b32.GetPixel(1, 1));

  TBitmap keyed = FewColors(7, 4, 3, 21);
  keyed.Transparent = true;
  keyed.TransparentColor = keyed.GetPixel(0, 0);
  keyed.SetPixelFormat(pf8bit);
  SplitBitmapToImageAndMask(keyed, image, mask);
  EXPECT_EQ(image.PixelFormat(), pf24bit);
  ASSERT_EQ(mask.Width(), 7);
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 7; ++x) EXPECT_EQ(Px(mask, x, y)[0], keyed.GetPixel(x, y) == keyed.TransparentColor ? 255 : 0);
  keyed.Transparent = false;
  mask = TBitmap(3, 3, pf24bit);
  SplitBitmapToImageAndMask(keyed, image, mask);
  EXPECT_TRUE(mask.Empty());
  EXPECT_TRUE(SameColors(image, keyed));
}

TEST(FlattenTransparentGraphic, LaysTheImageOverTheBackground) {
  TBitmap keyed = FewColors(7, 4, 3, 22);
  keyed.Transparent = true;
  keyed.TransparentColor = keyed.GetPixel(0, 0);
  TBitmap ref = keyed.Clone();
  FlattenTransparentGraphic(keyed, RGB(1, 2, 3));
  EXPECT_FALSE(keyed.Transparent);
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 7; ++x)
      EXPECT_EQ(keyed.GetPixel(x, y), ref.GetPixel(x, y) == ref.TransparentColor ? RGB(1, 2, 3) : ref.GetPixel(x, y));

  // half-transparent 32-bit pixels are blended, an all-zero alpha counts as opaque
  TBitmap b32(2, 1, pf32bit, RGB(200, 100, 0));
  b32.ScanLine(0)[3] = 255;
  b32.ScanLine(0)[7] = 0;
  FlattenTransparentGraphic(b32, RGB(0, 0, 0));
  EXPECT_EQ(b32.PixelFormat(), pf24bit);
  EXPECT_EQ(b32.GetPixel(0, 0), RGB(200, 100, 0));
  EXPECT_EQ(b32.GetPixel(1, 0), RGB(0, 0, 0));
  TBitmap clear(2, 1, pf32bit, RGB(200, 100, 0));
  clear.ScanLine(0)[3] = clear.ScanLine(0)[7] = 0;
  FlattenTransparentGraphic(clear, RGB(0, 0, 0));
  EXPECT_EQ(clear.GetPixel(1, 0), RGB(200, 100, 0));

  TBitmap plain(3, 3, pf8bit);
  FlattenTransparentGraphic(plain, clBlack);
  EXPECT_EQ(plain.PixelFormat(), pf24bit);
}

TEST(PrepareBitmapForGif, KeyColourStandsOnlyForTransparentPixels) {
  // 24-bit with a key colour; one opaque pixel differs from the key only after reduction
  TBitmap b = RandomBitmap(40, 30, 23);
  const TColor key = RGB(10, 100, 200);
  for (int x = 0; x < 10; ++x) b.SetPixel(x, 0, key);
  b.Transparent = true;
  b.TransparentColor = key;
  for (bool dither : {false, true})
    for (int mode : {gpOptimized, gpWindows256, gpWeb, gpGiven}) {
      TBitmap out;
      PrepareBitmapForGif(b, out, dither, mode);
      ASSERT_TRUE(out.Transparent);
      EXPECT_EQ(out.TransparentColor, key);
      EXPECT_LE(ColorsOf(out).size(), 255u);
      for (int y = 0; y < 30; ++y)
        for (int x = 0; x < 40; ++x) ASSERT_EQ(out.GetPixel(x, y) == key, b.GetPixel(x, y) == key) << x << "," << y;
    }

  // an opaque 32-bit pixel of the key colour (green 0xED) moves to green 0xED - 7; a
  // few colours survive the reduction unchanged
  TBitmap b32(4, 1, pf32bit, clGlobalTransparent);
  b32.SetPixel(1, 0, RGB(0, 100, 0));
  uint8_t* row = b32.ScanLine(0);
  row[3] = 255, row[7] = 255, row[11] = 128, row[15] = 129;
  TBitmap out;
  PrepareBitmapForGif(b32, out, false, gpOptimized);
  EXPECT_EQ(out.TransparentColor, clGlobalTransparent);
  EXPECT_EQ(out.GetPixel(0, 0), SubstituteColor(clGlobalTransparent));
  EXPECT_EQ(out.GetPixel(1, 0), RGB(0, 100, 0));
  EXPECT_EQ(out.GetPixel(2, 0), clGlobalTransparent);
  EXPECT_EQ(out.GetPixel(3, 0), SubstituteColor(clGlobalTransparent));

  // an opaque pixel that the reduction turns into the key colour takes the substitute:
  // (0, 100, 0) goes to the web colour (0, 102, 0), the key, and ends as (0, 109, 0)
  TBitmap web(3, 1, pf24bit, RGB(0, 102, 0));
  web.SetPixel(1, 0, RGB(0, 100, 0));
  web.SetPixel(2, 0, RGB(255, 255, 255));
  web.Transparent = true;
  web.TransparentColor = RGB(0, 102, 0);
  PrepareBitmapForGif(web, out, false, gpWeb);
  EXPECT_EQ(out.GetPixel(0, 0), RGB(0, 102, 0));
  EXPECT_EQ(out.GetPixel(1, 0), RGB(0, 109, 0));
  EXPECT_EQ(out.GetPixel(2, 0), RGB(255, 255, 255));
  EXPECT_EQ(SubstituteColor(RGB(5, 100, 5)), RGB(5, 107, 5));

  TBitmap opaque = RandomBitmap(5, 5, 24), untouched(1, 1, pf24bit, RGB(4, 4, 4));
  PrepareBitmapForGif(opaque, untouched, false, gpOptimized);
  EXPECT_EQ(untouched.GetPixel(0, 0), RGB(4, 4, 4));
}

TEST(ConvertToGifWithTransparency, FrameKeepsAUniqueTransparentEntry) {
  TBitmap b32 = RandomBitmap(30, 20, 25, pf32bit);
  TGifImage gif;
  gif.ColorReduction = rmQuantize;
  ConvertToGifWithTransparency(b32, gif, true, gpOptimized);
  ASSERT_EQ(gif.Frames.size(), 1u);
  EXPECT_EQ(gif.ColorReduction, rmNone);
  const TGifFrame& f = gif.Frames[0];
  ASSERT_GE(f.TransparentIndex, 0);
  EXPECT_EQ(f.ColorMap[size_t(f.TransparentIndex)], clGlobalTransparent);
  for (int y = 0; y < 20; ++y)
    for (int x = 0; x < 30; ++x)
      ASSERT_EQ(f.Pixels[size_t(y) * 30 + x] == f.TransparentIndex, b32.ScanLine(y)[4 * x + 3] <= 128);
  TBitmap back;
  GifFrameToBitmap(gif, back, 0, true);
  EXPECT_TRUE(back.Transparent);
  EXPECT_EQ(back.TransparentColor, clGlobalTransparent);
}
