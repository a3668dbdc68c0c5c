#include <gtest/gtest.h>

#include <cstring>
#include <stdexcept>
#include <vector>

#include "platform/core/Bitmap.h"
#include "platform/core/Canvas.h"
#include "platform/core/Palettes.h"
#include "support/TestImages.h"

using namespace qm;
using namespace qm::test;

TEST(Bitmap, RowsAreAlignedAndSizingKeepsTheOverlap) {
  for (TPixelFormat pf : {pf1bit, pf4bit, pf8bit, pf24bit, pf32bit}) {
    TBitmap b = RandomBitmap(13, 9, 1, pf);
    EXPECT_EQ(b.Stride() % 4, 0);
    EXPECT_EQ(b.ScanLine(1) - b.ScanLine(0), b.Stride());
    TBitmap before = b.Clone();
    b.BrushColor = clWhite;
    b.SetSize(17, 5);
    for (int y = 0; y < 5; ++y)
      for (int x = 0; x < 17; ++x)
        ASSERT_EQ(b.GetPixel(x, y), x < 13 ? before.GetPixel(x, y) : clWhite) << int(pf) << " " << x << "," << y;
    b.SetSize(3, 12);
    EXPECT_EQ(b.GetPixel(2, 4), before.GetPixel(2, 4));
    EXPECT_EQ(b.GetPixel(1, 11), clWhite);
    b.SetSize(-4, 3);
    EXPECT_TRUE(b.Empty());
    EXPECT_EQ(b.PixelFormat(), pf);
  }
  EXPECT_THROW(TBitmap(kMaxBitmapSide + 1, 1), std::length_error);
  // Uninitialized: the same geometry, its pixels left to the caller.
  for (TPixelFormat pf : {pf1bit, pf8bit, pf24bit}) {
    TBitmap u = TBitmap::Uninitialized(13, 9, pf);
    const TBitmap f(13, 9, pf);
    EXPECT_EQ(u.Width(), 13);
    EXPECT_EQ(u.Height(), 9);
    EXPECT_EQ(u.Stride(), f.Stride());
    EXPECT_EQ(u.Palette(), f.Palette());
    std::memset(u.Bits(), 0, size_t(u.Stride()) * 9);  // every byte is writable
  }
  EXPECT_TRUE(TBitmap::Uninitialized(0, 5, pf24bit).Empty());
  EXPECT_THROW(TBitmap::Uninitialized(1, kMaxBitmapSide + 1, pf8bit), std::length_error);
}

// Reshaping keeps the buffer only for a size of the same byte count.
TEST(Bitmap, ReshapeKeepsTheBufferForTheSameByteCount) {
  TBitmap b = RandomBitmap(8, 4, 2);  // 24 bytes a row
  const uint8_t* bits = b.Bits();
  const uint8_t second = b.ScanLine(1)[0];
  ASSERT_TRUE(b.Reshape(4, 8));  // 12 bytes a row
  EXPECT_EQ(b.Bits(), bits);
  EXPECT_EQ(b.Stride(), 12);
  EXPECT_EQ(b.ScanLine(2)[0], second);
  EXPECT_FALSE(b.Reshape(5, 5));  // 16 x 5 bytes
  EXPECT_EQ(b.Width(), 4);
  EXPECT_FALSE(b.Reshape(0, 96));
  EXPECT_FALSE(TBitmap().Reshape(1, 1));
}

// A large buffer freed is kept for the next bitmap of its byte size, which still gets
// the pixels asked for; what lies idle stays bounded and goes when released.
TEST(Bitmap, LargeBuffersAreKeptForTheNextBitmapOfTheirSize) {
  ReleaseBitmapBufferPool();
  const size_t bytes = size_t(TBitmap::StrideFor(2000, pf24bit)) * 1500;
  const uint8_t* first;
  {
    TBitmap a(2000, 1500, pf24bit, clBlack);
    first = a.Bits();
  }
  EXPECT_EQ(PooledBitmapBytes(), bytes);
  {
    const TBitmap b(1500, 2000, pf32bit, RGB(1, 2, 3));  // another byte size: a new buffer
    EXPECT_NE(b.Bits(), first);
    TBitmap c(2000, 1500, pf24bit, RGB(9, 8, 7));  // the kept one, filled anew
    EXPECT_EQ(c.Bits(), first);
    EXPECT_EQ(c.GetPixel(1999, 1499), RGB(9, 8, 7));
    EXPECT_EQ(PooledBitmapBytes(), 0u);
    const TBitmap copy = c.Clone();
    EXPECT_TRUE(SamePixels24(copy, c));
  }
  EXPECT_EQ(PooledBitmapBytes(), 2 * bytes + size_t(TBitmap::StrideFor(1500, pf32bit)) * 2000);
  {  // many at once: the oldest go beyond the bound
    std::vector<TBitmap> many;
    for (int i = 0; i < 12; ++i) many.emplace_back(2000, 1500, pf24bit, clBlack);
  }
  EXPECT_LE(PooledBitmapBytes(), size_t(300) << 20);
  EXPECT_GT(PooledBitmapBytes(), 0u);
  const TBitmap small(100, 100);
  ReleaseBitmapBufferPool();
  EXPECT_EQ(PooledBitmapBytes(), 0u);
}

TEST(Bitmap, PixelsPalettesAndConversions) {
  TBitmap b(5, 4, pf24bit, RGB(10, 20, 30));
  EXPECT_EQ(b.GetPixel(4, 3), RGB(10, 20, 30));
  EXPECT_EQ(b.GetPixel(5, 0), clInvalid);
  EXPECT_EQ(b.GetPixel(-1, 0), clInvalid);
  b.SetPixel(1, 1, clBtnFace);  // system colours resolve
  EXPECT_EQ(b.GetPixel(1, 1), RGB(240, 240, 240));
  EXPECT_EQ(b.ScanLine(1)[3], 240);

  TBitmap c = b.Clone();
  c.SetPixelFormat(pf32bit);
  EXPECT_EQ(c.GetPixel(1, 1), RGB(240, 240, 240));
  EXPECT_EQ(c.ScanLine(0)[3], 255);  // opaque
  c.SetPixelFormat(pf24bit);
  EXPECT_TRUE(SameBitmaps(b, c));

  TBitmap mono(10, 2, pf1bit, clWhite);
  mono.SetPixel(3, 1, RGB(20, 20, 20));
  EXPECT_EQ(mono.GetPixel(3, 1), clBlack);
  EXPECT_EQ(mono.GetPixelIndex(3, 1), 0u);
  EXPECT_EQ(mono.GetPixelIndex(4, 1), 1u);
  TBitmap grey(3, 1, pf8bit, clBlack);
  grey.SetPalette({RGB(0, 0, 0), RGB(128, 128, 128), RGB(255, 255, 255)});
  grey.SetPixel(1, 0, RGB(120, 130, 125));
  EXPECT_EQ(grey.GetPixelIndex(1, 0), 1u);
  TBitmap g24 = grey.Clone();
  g24.SetPixelFormat(pf24bit);
  EXPECT_EQ(g24.GetPixel(1, 0), RGB(128, 128, 128));
  TBitmap back = g24.Clone();
  back.SetPixelFormat(pf4bit);
  EXPECT_EQ(back.GetPixel(1, 0), RGB(128, 128, 128));  // standard 16 colours hold grey
  EXPECT_EQ(HalftonePalette().size(), 256u);
  EXPECT_EQ(Windows20Palette().size(), 20u);
}

TEST(Bitmap, AutomaticTransparentColourIsTheBottomLeftPixel) {
  TBitmap b(4, 3, pf24bit, clWhite);
  b.SetPixel(0, 2, RGB(1, 2, 3));
  EXPECT_EQ(b.EffectiveTransparentColor(), RGB(1, 2, 3));
  b.TransparentColor = RGB(9, 9, 9);
  EXPECT_EQ(b.EffectiveTransparentColor(), RGB(9, 9, 9));
}

TEST(BitmapCanvas, FillsAndDrawsInsideItsClip) {
  TBitmap b(10, 10, pf24bit, clBlack);
  TBitmapCanvas c(b);
  c.IntersectClip(TRect{2, 2, 6, 6});
  c.FillRect(TRect{0, 0, 10, 10}, clWhite);
  c.RestoreClip();
  EXPECT_EQ(b.GetPixel(2, 2), clWhite);
  EXPECT_EQ(b.GetPixel(6, 6), clBlack);
  TBitmap src = RandomBitmap(4, 4, 3);
  src.SetPixel(1, 1, RGB(255, 0, 255));
  c.DrawBitmap(7, 7, src, TRect{0, 0, 4, 4}, RGB(255, 0, 255));
  EXPECT_EQ(b.GetPixel(7, 7), src.GetPixel(0, 0));
  EXPECT_EQ(b.GetPixel(8, 8), clBlack);  // the key colour is not drawn
  EXPECT_EQ(b.GetPixel(9, 9), src.GetPixel(2, 2));
}
