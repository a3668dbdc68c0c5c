#include <gtest/gtest.h>

#include "imagefiles/IconWriter.h"
#include "imagefiles/ReadBack.h"
#include "platform/core/Palettes.h"
#include "support/TestImages.h"

using namespace qm;
using namespace qm::test;

namespace {

bool Shown(const TIcon& icon, int x, int y) { return icon.Mask.GetPixelIndex(x, y) == 0; }

// A picture of the 16 standard colours in blocks.
TBitmap StandardColours(int w, int h) {
  TBitmap b(w, h, pf24bit, clBlack);
  const auto& p = Standard16Palette();
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) b.SetPixel(x, y, p[size_t((x / 4 + y / 4) % 16)]);
  return b;
}

TBitmap ManyColours(int w, int h, int n) {
  TBitmap b(w, h, pf24bit, clBlack);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      const int i = (y * w + x) % n;
      b.SetPixel(x, y, RGB(i & 255, (i * 7) & 255, 40 + (i >> 8)));
    }
  return b;
}

}  // namespace

TEST(IconWriter, IconsFromBitmaps) {
  const TBitmap src = RandomBitmap(10, 6, 1);
  const TIcon icon = CreateIconFromBitmap(src, 16);
  ASSERT_EQ(icon.Color.Width(), 16);
  ASSERT_EQ(icon.Mask.Height(), 16);
  EXPECT_EQ(icon.HotSpotX, 0);
  for (int y = 0; y < 16; ++y)
    for (int x = 0; x < 16; ++x) {
      const bool inside = x >= 3 && x < 13 && y >= 5 && y < 11;
      ASSERT_EQ(Shown(icon, x, y), inside) << x << "," << y;
      ASSERT_EQ(icon.Color.GetPixel(x, y), inside ? src.GetPixel(x - 3, y - 5) : clBlack);
    }
  // larger than the icon: centred and cropped ((16 - 20) div 2 = -2)
  const TBitmap wide = RandomBitmap(20, 3, 2);
  const TIcon cropped = CreateIconFromBitmap(wide, 16);
  EXPECT_EQ(cropped.Color.GetPixel(0, 6), wide.GetPixel(2, 0));
  EXPECT_TRUE(Shown(cropped, 15, 8));
  EXPECT_FALSE(Shown(cropped, 15, 9));
  // a transparent bitmap: its key colour stays transparent, and black in the colours
  TBitmap keyed = RandomBitmap(4, 4, 3);
  keyed.SetPixel(1, 1, RGB(1, 2, 3));
  keyed.Transparent = true;
  keyed.TransparentColor = RGB(1, 2, 3);
  const TIcon k = CreateIconFromBitmap(keyed, 8);
  EXPECT_FALSE(Shown(k, 3, 3));
  EXPECT_EQ(k.Color.GetPixel(3, 3), clBlack);
  EXPECT_TRUE(Shown(k, 2, 2));
  // a 32-bit bitmap keeps its alpha
  const TBitmap alpha = RandomBitmap(4, 4, 4, pf32bit);
  const TIcon a = CreateIconFromBitmap(alpha, 6);
  ASSERT_EQ(a.Color.PixelFormat(), pf32bit);
  EXPECT_EQ(a.Color.ScanLine(2)[4 * 2 + 3], alpha.ScanLine(1)[4 * 1 + 3]);
  EXPECT_EQ(a.Color.ScanLine(0)[3], 0);
  EXPECT_TRUE(CreateIconFromBitmap(src, 0).Empty());
  EXPECT_TRUE(CreateIconFromBitmap(TBitmap(), 16).Empty());
}

TEST(IconWriter, FormatIndex) {
  EXPECT_EQ(GetIconFormatIndex(CreateIconFromBitmap(StandardColours(16, 16), 16)), ifColor16);
  // black around a picture of 16 colours that are not all standard
  EXPECT_EQ(GetIconFormatIndex(CreateIconFromBitmap(ManyColours(16, 16, 12), 32)), ifColor256);
  EXPECT_EQ(GetIconFormatIndex(CreateIconFromBitmap(ManyColours(32, 32, 256), 32)), ifColor256);
  EXPECT_EQ(GetIconFormatIndex(CreateIconFromBitmap(ManyColours(32, 32, 257), 32)), ifTrueColor);
  // the colours under the mask do not count
  TIcon masked = CreateIconFromBitmap(ManyColours(32, 32, 1000), 32);
  for (int y = 0; y < 32; ++y)
    for (int x = 0; x < 32; ++x)
      if (y > 0) masked.Mask.SetPixelIndex(x, y, 1);
  EXPECT_EQ(GetIconFormatIndex(masked), ifColor256);
  EXPECT_EQ(GetIconFormatIndex(CreateIconFromBitmap(RandomBitmap(8, 8, 1, pf32bit), 8)), ifTrueColorAlpha);
}

TEST(IconWriter, FileLayout) {
  const std::string name = WriterDir("icon") + "/layout.ico";
  const TIcon icon = CreateIconFromBitmap(ManyColours(40, 50, 200), 64);
  SaveIconFile(name, icon, ifColor256);
  const auto f = ReadFileBytes(name);
  const uint32_t size = 40 + 256 * 4 + 64 * 64 + 64 * 8;
  ASSERT_EQ(f.size(), 22u + size);
  EXPECT_EQ(U16At(f, 0), 0);
  EXPECT_EQ(U16At(f, 2), 1);
  EXPECT_EQ(U16At(f, 4), 1);
  EXPECT_EQ(f[6], 64);
  EXPECT_EQ(f[7], 64);
  EXPECT_EQ(f[8], 8);  // planes x bits per pixel
  EXPECT_EQ(U32At(f, 14), size);
  EXPECT_EQ(U32At(f, 18), 22u);
  EXPECT_EQ(U32At(f, 22), 40u);
  EXPECT_EQ(U32At(f, 26), 64u);
  EXPECT_EQ(U32At(f, 30), 128u);  // the height doubled
  EXPECT_EQ(U16At(f, 36), 8);
  // the mask's bottom row (stored first): transparent left of the picture
  const size_t mask = 22 + 40 + 1024 + 64 * 64;
  EXPECT_EQ(f[mask], 0xFF);
  EXPECT_EQ(f[mask + 53 * 8 + 1], 0xF0);  // row 10 (53 from the bottom), columns 8..15: 12 on shown

  EXPECT_THROW(SaveIconFile(name, TIcon(), 1), EInvalidGraphic);
  try {
    SaveIconFile(name, icon, 4);
    FAIL();
  } catch (const EInvalidGraphic& e) {
    EXPECT_STREQ(e.what(), kInvalidIconText);
  }
  EXPECT_THROW(SaveIconFile(name, CreateIconFromBitmap(ManyColours(4, 4, 2), 257), 2), EInvalidGraphic);
  EXPECT_EQ(ReadFileBytes(name), f);
}

TEST(IconWriter, EveryFormatReadsBackWithItsMask) {
  const std::string name = WriterDir("icon") + "/formats.ico";
  struct Case {
    int format;
    TBitmap picture;
    int size;
  };
  std::vector<Case> cases;
  cases.push_back({ifColor16, StandardColours(20, 12), 32});
  cases.push_back({ifColor256, ManyColours(30, 30, 255), 48});  // and black around
  cases.push_back({ifTrueColor, RandomBitmap(17, 23, 5), 32});
  cases.push_back({ifTrueColorAlpha, RandomBitmap(24, 24, 6), 32});
  cases.push_back({ifTrueColor, RandomBitmap(256, 200, 7), 256});
  for (const Case& c : cases) {
    const TIcon icon = CreateIconFromBitmap(c.picture, c.size);
    SaveIconFile(name, icon, c.format);
    for (const bool qt : {true, false}) {
      const Rgba r = qt ? ReadWithQt(name) : ReadWithGM(name);
      ASSERT_EQ(r.width, c.size) << "format " << c.format;
      ASSERT_EQ(r.height, c.size);
      // Qt 6.4 reads 24-bit icons into an image without alpha and drops their mask
      // (GraphicsMagick reads it): only their colours are compared there.
      const bool mask = !(qt && c.format == ifTrueColor);
      for (int y = 0; y < c.size; ++y)
        for (int x = 0; x < c.size; ++x) {
          if (Shown(icon, x, y)) {
            if (mask) {
              ASSERT_EQ(r.Alpha(x, y), 255) << c.format << " " << x << "," << y;
            }
            ASSERT_EQ(r.Color(x, y), icon.Color.GetPixel(x, y)) << c.format << " " << x << "," << y;
          } else if (mask) {
            ASSERT_EQ(r.Alpha(x, y), 0) << c.format << " " << x << "," << y;
          }
        }
    }
  }
  // a 32-bit picture's own alpha
  TBitmap alpha = RandomBitmap(8, 8, 9, pf32bit);
  for (int y = 0; y < 8; ++y)
    for (int x = 0; x < 8; ++x) alpha.ScanLine(y)[4 * x + 3] = uint8_t(x < 4 ? 255 : 0);
  SaveIconFile(name, CreateIconFromBitmap(alpha, 8), ifTrueColorAlpha);
  const Rgba q = ReadWithQt(name);
  EXPECT_EQ(q.Alpha(1, 1), 255);
  EXPECT_EQ(q.Alpha(6, 1), 0);
}
