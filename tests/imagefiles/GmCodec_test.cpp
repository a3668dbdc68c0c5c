// The GraphicsMagick readers and Targa writer, and our Windows bitmap writer read back
// by GraphicsMagick.
#include "imagefiles/GmCodec.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "imagefiles/BmpCodec.h"
#include "platform/core/Exceptions.h"
#include "imagefiles/ImageFilesTest.h"
#include "platform/core/Parallel.h"
#include "support/GmThreadLimit.h"
#include "support/TestImages.h"

namespace qm {
namespace {

using test::SameBitmaps;
using test::TestFolder;
using test::TestPicture;

TEST(BmpCodec, EveryPixelFormatRoundTripsThroughTheReader) {
  const std::string dir = TestFolder();
  const TBitmap photo = TestPicture(37, 21);
  for (TPixelFormat pf : {pf1bit, pf4bit, pf8bit, pf24bit, pf32bit}) {
    TBitmap src = pf == pf32bit ? test::RandomBitmap(37, 21, 3, pf32bit) : photo.Clone();
    if (pf != pf32bit) src.SetPixelFormat(pf);
    WriteBmpFile(dir + "/a.bmp", src);
    TBitmap back;
    ReadWithGraphicsMagick(dir + "/a.bmp", "BMP", back);
    if (pf == pf32bit) {
      ASSERT_TRUE(SameBitmaps(src, back));  // the alpha channel survives
      continue;
    }
    TBitmap expected = src.Clone();
    expected.SetPixelFormat(pf24bit);
    ASSERT_TRUE(SameBitmaps(expected, back)) << int(pf);
  }
  const std::vector<uint8_t> b = test::ReadFileBytes(dir + "/a.bmp");
  ASSERT_GT(b.size(), 54u);
  EXPECT_EQ(b[0], 'B');
  EXPECT_EQ(b[38] | b[39] << 8, 2835);  // 72 dpi
  EXPECT_THROW(WriteBmpFile(dir + "/e.bmp", TBitmap()), EInvalidGraphic);
}

TEST(GmCodec, TargaRoundTripsWithAndWithoutAlpha) {
  const std::string dir = TestFolder();
  const TBitmap rgb = TestPicture(41, 19);
  WriteTargaFile(dir + "/a.tga", rgb);
  TBitmap back;
  ReadWithGraphicsMagick(dir + "/a.tga", "TGA", back);
  EXPECT_TRUE(SameBitmaps(rgb, back));
  const TBitmap rgba = test::RandomBitmap(41, 19, 8, pf32bit);
  WriteTargaFile(dir + "/b.tga", rgba);
  ReadWithGraphicsMagick(dir + "/b.tga", "TGA", back);
  EXPECT_TRUE(SameBitmaps(rgba, back));
  // An indexed bitmap is written at 24 bits.
  TBitmap indexed = rgb.Clone();
  indexed.SetPixelFormat(pf8bit);
  WriteTargaFile(dir + "/c.tga", indexed);
  ReadWithGraphicsMagick(dir + "/c.tga", "TGA", back);
  indexed.SetPixelFormat(pf24bit);
  EXPECT_TRUE(SameBitmaps(indexed, back));
  EXPECT_THROW(WriteTargaFile(dir + "/e.tga", TBitmap()), EInvalidGraphic);
}

TEST(GmCodec, ALargeTargaIsWrittenWholeOnEightThreads) {
  // Two bands of the library's pixels, the rows of each shared among our threads.
  // GraphicsMagick is held to two threads, as OMP_NUM_THREADS=2 holds it: it must still
  // be called on this thread alone.
  const std::string file = TestFolder() + "/big.tga";
  const TBitmap big = test::RandomBitmap(4200, 4000, 5);
  {
    const test::GmThreadLimit two(2);
    SetEngineThreads(8);
    WriteTargaFile(file, big);
    SetEngineThreads(0);
  }
  TBitmap back;
  ReadWithGraphicsMagick(file, "TGA", back);
  std::filesystem::remove(file);
  EXPECT_TRUE(SameBitmaps(big, back));
}

TEST(GmCodec, ColourCountsAndFailures) {
  const std::string dir = TestFolder();
  ASSERT_TRUE(test::Gm("convert -size 20x10 xc:red -colors 2 PCX:" + dir + "/a.pcx"));
  TBitmap back;
  int colors = 0;
  ReadWithGraphicsMagick(dir + "/a.pcx", "PCX", back, &colors);
  EXPECT_EQ(back.GetPixel(3, 3), RGB(255, 0, 0));
  EXPECT_LE(colors, 256);
  EXPECT_THROW(ReadWithGraphicsMagick(dir + "/missing.tga", "TGA", back), EInvalidGraphic);
  test::WriteFileBytes(dir + "/junk.pcx", std::vector<uint8_t>(40, 7));
  EXPECT_THROW(ReadWithGraphicsMagick(dir + "/junk.pcx", "PCX", back), EInvalidGraphic);
  EXPECT_EQ(back.Width(), 20);  // untouched by the failure
}

}  // namespace
}  // namespace qm
