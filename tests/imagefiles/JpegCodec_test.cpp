#include "imagefiles/JpegCodec.h"

#include <gtest/gtest.h>

#include <cstdio>
// after <cstdio>: libjpeg's header uses FILE
#include <jpeglib.h>

#include "platform/core/Exceptions.h"
#include "platform/core/Parallel.h"
#include "support/TestImages.h"
#include "imagefiles/ImageFileUtils.h"
#include "imagefiles/PngCodec.h"
#include "imagefiles/ImageFilesTest.h"

namespace qm {
namespace {

using test::ReadFileBytes;
using test::Psnr;
using test::TestFolder;
using test::TestPicture;

// The start-of-frame marker the file's first frame uses (0xC0 baseline, 0xC2
// progressive), found by walking the segments.
int FrameMarker(const std::vector<uint8_t>& b) {
  size_t i = 2;
  while (i + 4 <= b.size() && b[i] == 0xFF) {
    const int m = b[i + 1];
    if (m >= 0xC0 && m <= 0xCF && m != 0xC4 && m != 0xC8 && m != 0xCC) return m;
    i += 2 + (size_t(b[i + 2]) << 8 | b[i + 3]);
  }
  return -1;
}

TEST(JpegCodec, RoundTripQualityRisesWithTheSetting) {
  const std::string dir = TestFolder();
  const TBitmap src = TestPicture(160, 96, 3, true);
  double last = 0;
  for (int q : {25, 50, 75, 90, 100}) {
    const std::string f = dir + "/q" + std::to_string(q) + ".jpg";
    WriteJpegFile(f, src, TJpegWriteOptions{q, false});
    TBitmap back;
    int w = 0, h = 0;
    ReadJpegFile(f, back, {}, &w, &h);
    ASSERT_EQ(back.PixelFormat(), pf24bit);
    ASSERT_EQ(back.Width(), 160);
    ASSERT_EQ(back.Height(), 96);
    EXPECT_EQ(w, 160);
    EXPECT_EQ(h, 96);
    const double psnr = Psnr(src, back);
    // Floors for this smooth picture; each quality step must also do better.
    const double floor = q == 25 ? 30 : q == 50 ? 33 : q == 75 ? 35 : q == 90 ? 38 : 40;
    EXPECT_GT(psnr, floor) << "quality " << q;
    EXPECT_GT(psnr, last) << "quality " << q;
    last = psnr;
  }
}

TEST(JpegCodec, PreviewInBandsShowsAndWeighsWhatTheFileHolds) {
  const std::string dir = TestFolder();
  const int saved = EngineThreads();
  // 601 rows: three bands, the last one short and ending inside an MCU row.
  for (const TBitmap& src : {TestPicture(333, 601, 4), test::RandomBitmap(50, 300, 2, pf32bit)}) {
    for (const TJpegWriteOptions options : {TJpegWriteOptions{50, false}, TJpegWriteOptions{10, true}}) {
      const std::vector<uint8_t> bytes = WriteJpegMemory(src, options);
      WriteJpegFile(dir + "/f.jpg", src, options);
      EXPECT_EQ(ReadFileBytes(dir + "/f.jpg"), bytes);
      TBitmap decoded;
      ReadJpegMemory(bytes.data(), bytes.size(), decoded);
      for (int threads : {1, 8}) {
        SetEngineThreads(threads);
        TBitmap shown(7, 7, pf8bit, clBlack);  // replaced: not the picture's size
        EXPECT_EQ(JpegPreview(src, options, shown), bytes);
        EXPECT_TRUE(test::SameBitmaps(shown, decoded)) << options.Quality << " " << threads;
        // a second preview reuses the rows
        const uint8_t* rows = shown.ScanLine(0);
        JpegPreview(src, options, shown);
        EXPECT_EQ(shown.ScanLine(0), rows);
      }
    }
  }
  SetEngineThreads(saved);
}

TEST(JpegCodec, ProgressiveFilesCarrySof2) {
  const std::string dir = TestFolder();
  const TBitmap src = TestPicture(64, 40);
  WriteJpegFile(dir + "/b.jpg", src, TJpegWriteOptions{80, false});
  WriteJpegFile(dir + "/p.jpg", src, TJpegWriteOptions{80, true});
  EXPECT_EQ(FrameMarker(ReadFileBytes(dir + "/b.jpg")), 0xC0);
  EXPECT_EQ(FrameMarker(ReadFileBytes(dir + "/p.jpg")), 0xC2);
  TBitmap a, b;
  ReadJpegFile(dir + "/b.jpg", a);
  ReadJpegFile(dir + "/p.jpg", b);
  EXPECT_GT(Psnr(a, b), 40);
}

TEST(JpegCodec, PreviewDecodesReducedAndKeepsTheStoredSize) {
  const std::string dir = TestFolder();
  WriteJpegFile(dir + "/big.jpg", TestPicture(1200, 900), TJpegWriteOptions{});
  WriteJpegFile(dir + "/bigp.jpg", TestPicture(1200, 900), TJpegWriteOptions{90, true});
  for (const char* name : {"/big.jpg", "/bigp.jpg"}) {
    TJpegImage2 jpeg;
    jpeg.Preview = true;
    jpeg.LoadFromFile(dir + name);
    EXPECT_EQ(jpeg.Picture.Width(), 150) << name;  // one eighth
    EXPECT_EQ(jpeg.Picture.Height(), 113) << name;
    EXPECT_EQ(jpeg.StoredWidth, 1200);
    EXPECT_EQ(jpeg.StoredHeight, 900);
    jpeg.Preview = false;
    jpeg.LoadFromFile(dir + name);
    EXPECT_EQ(jpeg.Picture.Width(), 1200);
    EXPECT_EQ(jpeg.StoredWidth, 1200);
  }
}

// A flat CMYK JPEG written with libjpeg as Adobe writers store it (inverted: 255 is
// no ink).
void WriteFlatCmykJpeg(const std::string& path, const uint8_t cmyk[4], int w, int h) {
  jpeg_compress_struct c{};
  jpeg_error_mgr err{};
  c.err = jpeg_std_error(&err);
  jpeg_create_compress(&c);
  FILE* f = std::fopen(path.c_str(), "wb");
  jpeg_stdio_dest(&c, f);
  c.image_width = JDIMENSION(w);
  c.image_height = JDIMENSION(h);
  c.input_components = 4;
  c.in_color_space = JCS_CMYK;
  jpeg_set_defaults(&c);
  jpeg_set_quality(&c, 100, TRUE);
  jpeg_start_compress(&c, TRUE);
  std::vector<uint8_t> row(size_t(w) * 4);
  for (int x = 0; x < w; ++x)
    for (int k = 0; k < 4; ++k) row[size_t(x) * 4 + size_t(k)] = uint8_t(255 - cmyk[k]);
  for (int y = 0; y < h; ++y) {
    JSAMPROW r = row.data();
    jpeg_write_scanlines(&c, &r, 1);
  }
  jpeg_finish_compress(&c);
  jpeg_destroy_compress(&c);
  std::fclose(f);
}

TEST(JpegCodec, GreyAndCmykFilesBecomeColourBitmaps) {
  const std::string dir = TestFolder();
  const TBitmap src = TestPicture(80, 50, 5, true);
  TPngImage png;
  BitmapToPng(src, png);
  WritePngFile(dir + "/src.png", png, TPngWriteOptions{});
  ASSERT_TRUE(test::Gm("convert " + dir + "/src.png -colorspace gray -quality 95 " + dir + "/grey.jpg"));
  TBitmap grey, cmyk;
  ReadJpegFile(dir + "/grey.jpg", grey);
  ASSERT_EQ(grey.PixelFormat(), pf24bit);
  ASSERT_EQ(grey.Width(), 80);
  for (int y = 0; y < grey.Height(); ++y)
    for (int x = 0; x < grey.Width(); ++x) {
      const uint8_t* p = grey.ScanLine(y) + 3 * x;
      ASSERT_TRUE(p[0] == p[1] && p[1] == p[2]);
    }
  // Ink amounts C 0, M 50 %, Y 100 %, K 20 %: orange darkened by a fifth.
  const uint8_t ink[4] = {0, 128, 255, 51};
  WriteFlatCmykJpeg(dir + "/cmyk.jpg", ink, 24, 16);
  ReadJpegFile(dir + "/cmyk.jpg", cmyk);
  ASSERT_EQ(cmyk.Width(), 24);
  const uint8_t* p = cmyk.ScanLine(8) + 3 * 12;
  EXPECT_NEAR(p[2], 204, 3);  // red
  EXPECT_NEAR(p[1], 102, 3);  // green
  EXPECT_NEAR(p[0], 0, 3);    // blue
}

TEST(JpegCodec, OtherPixelFormatsEncodeAndDamageThrows) {
  const std::string dir = TestFolder();
  TBitmap b32 = TestPicture(33, 17);
  b32.SetPixelFormat(pf32bit);
  WriteJpegFile(dir + "/a.jpg", b32, TJpegWriteOptions{95, false});
  TBitmap b8 = TestPicture(33, 17);
  b8.SetPixelFormat(pf8bit);
  WriteJpegFile(dir + "/b.jpg", b8, TJpegWriteOptions{95, false});
  TBitmap back;
  ReadJpegFile(dir + "/a.jpg", back);
  EXPECT_GT(Psnr(TestPicture(33, 17), back), 30);
  EXPECT_THROW(WriteJpegFile(dir + "/c.jpg", TBitmap(), TJpegWriteOptions{}), EInvalidGraphic);
  EXPECT_THROW(WriteJpegFile(dir + "/none/c.jpg", b8, TJpegWriteOptions{}), EInvalidGraphic);

  std::vector<uint8_t> bytes = ReadFileBytes(dir + "/a.jpg");
  TBitmap kept(2, 2, pf24bit, clWhite);
  EXPECT_THROW(ReadJpegMemory(bytes.data(), 20, kept), EInvalidGraphic);
  const std::vector<uint8_t> junk(100, 0x5A);
  EXPECT_THROW(ReadJpegMemory(junk.data(), junk.size(), kept), EInvalidGraphic);
  EXPECT_EQ(kept.Width(), 2);  // untouched
  EXPECT_THROW(ReadJpegFile(dir + "/missing.jpg", kept), EInvalidGraphic);
  // A file cut in its entropy data fails: its picture would have its last rows
  // invented.
  bytes.resize(bytes.size() * 2 / 3);
  EXPECT_THROW(ReadJpegMemory(bytes.data(), bytes.size(), kept), EInvalidGraphic);
  EXPECT_EQ(kept.Width(), 2);
}

}  // namespace
}  // namespace qm
