#include "imagefiles/PngCodec.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include "imagefiles/GmCodec.h"
#include "platform/core/Exceptions.h"
#include "platform/core/Parallel.h"
#include "imagefiles/ImageFilesTest.h"
#include "support/TestImages.h"

namespace qm {
namespace {

using test::ReadFileBytes;
using test::SameBitmaps;
using test::TestFolder;
using test::TestPicture;

uint32_t Be32(const uint8_t* p) { return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3]; }

struct PngChunks {
  std::vector<uint8_t> ihdr, idat;
};

PngChunks Chunks(const std::vector<uint8_t>& b) {
  PngChunks out;
  for (size_t i = 8; i + 12 <= b.size();) {
    const uint32_t len = Be32(&b[i]);
    const std::string type(b.begin() + ptrdiff_t(i) + 4, b.begin() + ptrdiff_t(i) + 8);
    const auto data = b.begin() + ptrdiff_t(i) + 8;
    if (type == "IHDR") out.ihdr.assign(data, data + len);
    if (type == "IDAT") out.idat.insert(out.idat.end(), data, data + len);
    i += 12 + len;
  }
  return out;
}

// The filter byte of every row of a non-interlaced picture.
std::vector<int> RowFilters(const PngChunks& c, int rowBytes, int rows) {
  std::vector<uint8_t> raw(size_t(rowBytes + 1) * size_t(rows));
  uLongf n = raw.size();
  EXPECT_EQ(uncompress(raw.data(), &n, c.idat.data(), c.idat.size()), Z_OK);
  std::vector<int> f;
  for (int y = 0; y < rows; ++y) f.push_back(raw[size_t(y) * size_t(rowBytes + 1)]);
  return f;
}

TEST(PngCodec, RgbRoundTripsExactlyThroughLibpngAndGraphicsMagick) {
  const std::string dir = TestFolder();
  const TBitmap src = TestPicture(57, 31);
  for (bool interlaced : {false, true}) {
    for (int mask : {pfNone, pfSub, pfUp, pfAverage, pfPaeth, pfAllFilters}) {
      const std::string f = dir + "/a.png";
      TPngImage png;
      BitmapToPng(src, png);
      WritePngFile(f, png, TPngWriteOptions{interlaced, mask, 7});
      TPngImage back;
      ReadPngFile(f, back);
      TBitmap bmp;
      back.ToBitmap(bmp);
      ASSERT_TRUE(SameBitmaps(src, bmp)) << interlaced << " " << mask;
      TBitmap gm;
      ReadWithGraphicsMagick(f, "PNG", gm);
      ASSERT_TRUE(SameBitmaps(src, gm)) << interlaced << " " << mask;
      const PngChunks c = Chunks(ReadFileBytes(f));
      ASSERT_EQ(c.ihdr.size(), 13u);
      EXPECT_EQ(c.ihdr[12], interlaced ? 1 : 0);
      // zlib header: compression level 7 is in the "maximum" class.
      EXPECT_EQ(c.idat[1] >> 6, 3);
      if (!interlaced) {
        const int only = mask == pfNone ? 0 : mask == pfSub ? 1 : mask == pfUp ? 2 : mask == pfAverage ? 3 : mask == pfPaeth ? 4 : -1;
        for (int type : RowFilters(c, 57 * 3, 31)) {
          if (only >= 0) {
            EXPECT_EQ(type, only) << "mask " << mask;
          }
        }
      }
    }
  }
}

// A picture of several of the writer's segments: written on 1, 2 and 8 threads with each
// filter choice, interlaced or not, at 8 and 4 bits, the file is the same byte for byte
// and libpng decodes it to the very pixels; the zlib stream is whole (one Adler-32).
TEST(PngCodec, SegmentsDeflatedOnThreadsMakeOneStreamWhateverTheThreadCount) {
  const std::string dir = TestFolder();
  const int saved = EngineThreads();
  TPngImage rgb;
  BitmapToPng(TestPicture(701, 400, 3), rgb);  // 840 KB of rows: two segments, more interlaced
  TPngImage indexed;
  indexed.Width = 1500;
  indexed.Height = 1000;  // 750 KB at 4 bits
  indexed.ColorType = pcIndexed;
  for (int i = 0; i < 16; ++i) indexed.Palette.push_back(RGB(i * 16, 255 - i * 9, i * 5));
  test::Rng rng(5);
  for (int i = 0; i < 1500 * 1000; ++i) indexed.Pixels.push_back(uint8_t(rng.Chance(80) ? (i / 7) % 16 : rng.Int(0, 15)));
  for (const TPngImage* png : {&rgb, &indexed}) {
    for (bool interlaced : {false, true}) {
      for (int mask : {pfNone, pfSub, pfUp, pfAverage, pfPaeth, pfAllFilters}) {
        std::vector<uint8_t> first;
        for (int threads : {1, 2, 8}) {
          SetEngineThreads(threads);
          const std::string f = dir + "/p" + std::to_string(threads) + ".png";
          WritePngFile(f, *png, TPngWriteOptions{interlaced, mask, 7});
          const std::vector<uint8_t> bytes = ReadFileBytes(f);
          if (threads == 1) {
            first = bytes;
            TPngImage back;
            ReadPngFile(f, back);
            EXPECT_EQ(back.Pixels, png->Pixels) << interlaced << " " << mask;
            const PngChunks c = Chunks(bytes);
            std::vector<uint8_t> raw(png->Pixels.size() * 2 + 8192);
            uLongf n = raw.size();
            EXPECT_EQ(uncompress(raw.data(), &n, c.idat.data(), c.idat.size()), Z_OK);
          } else {
            EXPECT_EQ(bytes, first) << threads << " threads, " << interlaced << " " << mask;
          }
        }
      }
    }
  }
  SetEngineThreads(saved);
}

TEST(PngCodec, IndexedRgbaAndKeyedPicturesRoundTrip) {
  const std::string dir = TestFolder();
  // Indexed: 2, 4, 16 and 200 colours at 1, 2, 4 and 8 bits, with transparency entries.
  for (int colors : {2, 4, 16, 200}) {
    TPngImage png;
    png.Width = 19;
    png.Height = 7;
    png.ColorType = pcIndexed;
    for (int i = 0; i < colors; ++i) png.Palette.push_back(RGB(i * 7 % 256, 255 - i, i * 13 % 256));
    png.Transparency = {0, 128};
    for (int i = 0; i < 19 * 7; ++i) png.Pixels.push_back(uint8_t(i * 5 % colors));
    WritePngFile(dir + "/i.png", png, TPngWriteOptions{});
    const int depth = colors <= 2 ? 1 : colors <= 4 ? 2 : colors <= 16 ? 4 : 8;
    EXPECT_EQ(Chunks(ReadFileBytes(dir + "/i.png")).ihdr[8], depth);
    TPngImage back;
    ReadPngFile(dir + "/i.png", back);
    EXPECT_EQ(back.ColorType, pcIndexed);
    EXPECT_EQ(back.Palette, png.Palette);
    EXPECT_EQ(back.Pixels, png.Pixels);
    EXPECT_EQ(back.Transparency, png.Transparency);
  }
  // RGBA.
  const TBitmap rgba = test::RandomBitmap(23, 11, 9, pf32bit);
  TPngImage png;
  BitmapToPng(rgba, png);
  EXPECT_EQ(png.ColorType, pcRGBA);
  WritePngFile(dir + "/a.png", png, TPngWriteOptions{});
  TPngImage back;
  ReadPngFile(dir + "/a.png", back);
  TBitmap bmp;
  back.ToBitmap(bmp);
  EXPECT_TRUE(SameBitmaps(rgba, bmp));
  // A transparent 24-bit bitmap keeps its key as tRNS.
  TBitmap keyed = TestPicture(12, 9);
  keyed.Transparent = true;
  keyed.TransparentColor = RGB(1, 2, 3);
  BitmapToPng(keyed, png);
  WritePngFile(dir + "/k.png", png, TPngWriteOptions{});
  ReadPngFile(dir + "/k.png", back);
  EXPECT_EQ(back.TransparentColor, RGB(1, 2, 3));
  // An 8-bit bitmap marked transparent: its key's entry is transparent.
  TBitmap indexed = TestPicture(12, 9);
  indexed.SetPixelFormat(pf8bit);
  indexed.Transparent = true;
  indexed.TransparentColor = indexed.Palette()[5];
  BitmapToPng(indexed, png);
  ASSERT_EQ(png.Transparency.size(), 6u);
  EXPECT_EQ(png.Transparency[5], 0);
}

TEST(PngCodec, GreySixteenBitAndAlphaFilesAreWidenedOrNarrowed) {
  const std::string dir = TestFolder();
  const TBitmap src = TestPicture(40, 20, 2, true);
  TPngImage png;
  BitmapToPng(src, png);
  WritePngFile(dir + "/src.png", png, TPngWriteOptions{});
  ASSERT_TRUE(test::Gm("convert " + dir + "/src.png -depth 16 PNG48:" + dir + "/d16.png"));
  ASSERT_TRUE(test::Gm("convert " + dir + "/src.png -colorspace gray -type Grayscale -depth 8 " + dir + "/g.png"));
  ASSERT_TRUE(test::Gm("convert " + dir + "/src.png -colorspace gray -type Grayscale -depth 16 " + dir + "/g16.png"));
  TPngImage back;
  TBitmap bmp;
  ReadPngFile(dir + "/d16.png", back);
  EXPECT_EQ(back.ColorType, pcRGB);
  back.ToBitmap(bmp);
  EXPECT_TRUE(SameBitmaps(src, bmp));  // 8 -> 16 -> 8 bits is exact
  for (const char* f : {"/g.png", "/g16.png"}) {
    ReadPngFile(dir + f, back);
    back.ToBitmap(bmp);
    ASSERT_EQ(bmp.Width(), 40) << f;
    const uint8_t* p = bmp.ScanLine(10) + 3 * 20;
    EXPECT_TRUE(p[0] == p[1] && p[1] == p[2]) << f;
  }
  EXPECT_THROW(ReadPngFile(dir + "/missing.png", back), EInvalidGraphic);
  std::vector<uint8_t> bytes = ReadFileBytes(dir + "/src.png");
  bytes.resize(bytes.size() / 2);
  test::WriteFileBytes(dir + "/cut.png", bytes);
  EXPECT_THROW(ReadPngFile(dir + "/cut.png", back), EInvalidGraphic);
  EXPECT_THROW(WritePngFile(dir + "/e.png", TPngImage(), TPngWriteOptions{}), EInvalidGraphic);
}

}  // namespace
}  // namespace qm
