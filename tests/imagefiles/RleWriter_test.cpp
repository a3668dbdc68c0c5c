#include <gtest/gtest.h>

#include "imagefiles/ReadBack.h"
#include "imagefiles/RleWriter.h"
#include "pixel/ColorReduce.h"
#include "platform/core/Parallel.h"
#include "support/TestImages.h"

using namespace qm;
using namespace qm::test;

namespace {

// A plain BI_RLE8 decoder that also checks the form our encoder promises: counts of
// 1..255, absolute runs of 3..255 padded to an even length, every row whole and ended
// by end of line, the last by end of bitmap. Rows come back top to bottom.
bool DecodeRle8(const std::vector<uint8_t>& d, int w, int h, std::vector<uint8_t>& out, std::string& why) {
  out.assign(size_t(w) * size_t(h), 0);
  size_t i = 0;
  for (int r = 0; r < h; ++r) {
    const int y = h - 1 - r;
    int x = 0;
    for (;;) {
      if (i + 2 > d.size()) return why = "data ends early", false;
      const int a = d[i], b = d[i + 1];
      i += 2;
      if (a > 0) {
        if (x + a > w) return why = "run beyond the row", false;
        for (int k = 0; k < a; ++k) out[size_t(y) * size_t(w) + size_t(x++)] = uint8_t(b);
      } else if (b == 0 || b == 1) {
        if (x != w) return why = "row not whole", false;
        if ((b == 1) != (r == h - 1)) return why = "end of bitmap misplaced", false;
        break;
      } else if (b == 2) {
        return why = "delta", false;
      } else {
        if (x + b > w || i + size_t(b) > d.size()) return why = "absolute run too long", false;
        for (int k = 0; k < b; ++k) out[size_t(y) * size_t(w) + size_t(x++)] = d[i + size_t(k)];
        i += size_t(b) + (b & 1);
      }
    }
  }
  if (i != d.size()) return why = "bytes after the end", false;
  return true;
}

// An 8-bit bitmap of runs: long, short, single pixels and random stretches.
TBitmap Runs(int w, int h, uint32_t seed) {
  TBitmap b(w, h, pf8bit, clBlack);
  Rng rng(seed);
  for (int y = 0; y < h; ++y) {
    uint8_t* p = b.ScanLine(y);
    int x = 0;
    while (x < w) {
      const int kind = rng.Int(0, 3);
      const int n = kind == 0 ? rng.Int(200, 600) : kind == 1 ? rng.Int(1, 4) : rng.Int(1, 40);
      const uint8_t v = uint8_t(rng.Int(0, 255));
      for (int k = 0; k < n && x < w; ++k, ++x) p[x] = kind == 3 ? uint8_t(rng.Int(0, 3)) : v;
    }
  }
  return b;
}

}  // namespace

TEST(RleWriter, EncodesEveryRowExactly) {
  for (int w : {1, 2, 3, 4, 254, 255, 256, 257, 510, 511, 600, 1031}) {
    const TBitmap b = Runs(w, 7, uint32_t(w));
    const std::vector<uint8_t> data = EncodeRle8(b);
    std::vector<uint8_t> back;
    std::string why;
    ASSERT_TRUE(DecodeRle8(data, w, 7, back, why)) << "width " << w << ": " << why;
    for (int y = 0; y < 7; ++y)
      ASSERT_EQ(std::memcmp(back.data() + size_t(y) * size_t(w), b.ScanLine(y), size_t(w)), 0) << w << "," << y;
  }
  // a flat picture shrinks to a few bytes a row
  const TBitmap flat(1000, 10, pf8bit, clBlack);
  EXPECT_EQ(EncodeRle8(flat).size(), size_t(10 * (4 * 2 + 2)));
  // only 8-bit bitmaps
  EXPECT_TRUE(EncodeRle8(TBitmap(5, 5, pf24bit, clBlack)).empty());
  EXPECT_TRUE(EncodeRle8(TBitmap()).empty());
}

TEST(RleWriter, SameBytesForAnyThreadCount) {
  const TBitmap b = Runs(777, 300, 5);
  SetEngineThreads(1);
  const std::vector<uint8_t> one = EncodeRle8(b);
  SetEngineThreads(8);
  const std::vector<uint8_t> eight = EncodeRle8(b);
  SetEngineThreads(0);
  EXPECT_EQ(one, eight);
}

TEST(RleWriter, FileLayoutAndOtherReaders) {
  const std::string name = WriterDir("rle") + "/runs.rle";
  const std::string bmpName = WriterDir("rle") + "/runs.bmp";  // Qt reads by the extension
  TBitmap b = Runs(301, 23, 9);
  std::vector<TColor> pal;
  for (int i = 0; i < 256; ++i) pal.push_back(RGB(i, 255 - i, (i * 37) & 255));
  b.SetPalette(pal);
  SaveRleFile(name, b);
  const std::vector<uint8_t> f = ReadFileBytes(name);
  const std::vector<uint8_t> data = EncodeRle8(b);
  ASSERT_EQ(f.size(), 54 + 1024 + data.size());
  EXPECT_EQ(f[0], 'B');
  EXPECT_EQ(f[1], 'M');
  EXPECT_EQ(U32At(f, 2), f.size());
  EXPECT_EQ(U32At(f, 10), 54u + 1024);
  EXPECT_EQ(U32At(f, 14), 40u);
  EXPECT_EQ(U32At(f, 18), 301u);
  EXPECT_EQ(U32At(f, 22), 23u);
  EXPECT_EQ(U16At(f, 26), 1);
  EXPECT_EQ(U16At(f, 28), 8);
  EXPECT_EQ(U32At(f, 30), 1u);  // BI_RLE8
  EXPECT_EQ(U32At(f, 34), data.size());
  EXPECT_EQ(U32At(f, 46), 256u);
  EXPECT_EQ(U32At(f, 50), 0u);
  EXPECT_EQ(f[54 + 4 * 7], GetBValue(pal[7]));
  EXPECT_EQ(f[54 + 4 * 7 + 2], GetRValue(pal[7]));

  std::filesystem::copy_file(name, bmpName, std::filesystem::copy_options::overwrite_existing);
  for (const Rgba& r : {ReadWithGM(name), ReadWithQt(bmpName)}) {
    ASSERT_EQ(r.width, 301);
    ASSERT_EQ(r.height, 23);
    for (int y = 0; y < 23; ++y)
      for (int x = 0; x < 301; ++x) ASSERT_EQ(r.Color(x, y), b.GetPixel(x, y)) << x << "," << y;
  }
}

TEST(RleWriter, PreparesACopyOfOtherFormats) {
  const std::string name = WriterDir("rle") + "/colours.rle";
  // a 24-bit picture of 100 colours: reduced to 8 bits exactly; the caller's bitmap
  // stays as it was
  TBitmap b(64, 40, pf24bit, clBlack);
  Rng rng(2);
  std::vector<TColor> colours;
  for (int i = 0; i < 100; ++i) colours.push_back(RGB(rng.Int(0, 255), rng.Int(0, 255), rng.Int(0, 255)));
  for (int y = 0; y < 40; ++y)
    for (int x = 0; x < 64; ++x) b.SetPixel(x, y, colours[size_t((x / 3 + y * 7) % 100)]);
  const uint64_t before = Checksum(b);
  SaveRleFile(name, b);
  EXPECT_EQ(Checksum(b), before);
  EXPECT_EQ(b.PixelFormat(), pf24bit);
  Rgba r = ReadWithGM(name);
  ASSERT_EQ(r.width, 64);
  for (int y = 0; y < 40; ++y)
    for (int x = 0; x < 64; ++x) ASSERT_EQ(r.Color(x, y), b.GetPixel(x, y)) << x << "," << y;

  // a photo-like picture: at most 256 colours, close to the original
  const TBitmap photo = RandomBitmap(50, 30, 3);
  SaveRleFile(name, photo);
  r = ReadWithGM(name);
  ASSERT_EQ(r.width, 50);

  // 1 and 4 bits are widened with their palettes: 2 and 16 entries
  TBitmap mono(33, 5, pf1bit, clBlack);
  mono.SetPixel(3, 2, clWhite);
  SaveRleFile(name, mono);
  std::vector<uint8_t> f = ReadFileBytes(name);
  EXPECT_EQ(U32At(f, 46), 2u);
  EXPECT_EQ(U32At(f, 10), 54u + 8);
  r = ReadWithGM(name);
  EXPECT_EQ(r.Color(3, 2), clWhite);
  EXPECT_EQ(r.Color(4, 2), clBlack);
  TBitmap four(9, 9, pf4bit, RGB(255, 0, 0));
  SaveRleFile(name, four);
  f = ReadFileBytes(name);
  EXPECT_EQ(U32At(f, 46), 16u);
  EXPECT_EQ(ReadWithGM(name).Color(8, 8), RGB(255, 0, 0));
  EXPECT_EQ(four.PixelFormat(), pf4bit);

  EXPECT_THROW(SaveRleFile(name, TBitmap()), EInvalidGraphic);
}
