#include <gtest/gtest.h>

#include <filesystem>

#include "imagefiles/ReadBack.h"
#include "imagefiles/TiffWriter.h"
#include "support/TestImages.h"

#include <tiffio.h>

using namespace qm;
using namespace qm::test;

namespace {

struct TiffRead {
  bool ok = false;
  uint32_t width = 0, height = 0;
  uint16_t bps = 0, spp = 0, photometric = 0, compression = 0, unit = 0;
  float xres = 0, yres = 0;
  std::string software;
  std::vector<uint32_t> rgba;  // top-down, libtiff's ABGR packing
  TColor Color(int x, int y) const {
    const uint32_t p = rgba[size_t(y) * width + size_t(x)];
    return RGB(int(TIFFGetR(p)), int(TIFFGetG(p)), int(TIFFGetB(p)));
  }
};

int Quiet(TIFF*, void*, const char*, const char*, va_list) { return 1; }

TiffRead ReadWithLibtiff(const std::string& name) {
  TiffRead r;
  TIFFOpenOptions* o = TIFFOpenOptionsAlloc();
  TIFFOpenOptionsSetWarningHandlerExtR(o, Quiet, nullptr);
  TIFF* t = TIFFOpenExt(name.c_str(), "r", o);
  TIFFOpenOptionsFree(o);
  if (!t) return r;
  TIFFGetField(t, TIFFTAG_IMAGEWIDTH, &r.width);
  TIFFGetField(t, TIFFTAG_IMAGELENGTH, &r.height);
  TIFFGetFieldDefaulted(t, TIFFTAG_BITSPERSAMPLE, &r.bps);
  TIFFGetFieldDefaulted(t, TIFFTAG_SAMPLESPERPIXEL, &r.spp);
  TIFFGetField(t, TIFFTAG_PHOTOMETRIC, &r.photometric);
  TIFFGetField(t, TIFFTAG_COMPRESSION, &r.compression);
  TIFFGetField(t, TIFFTAG_RESOLUTIONUNIT, &r.unit);
  TIFFGetField(t, TIFFTAG_XRESOLUTION, &r.xres);
  TIFFGetField(t, TIFFTAG_YRESOLUTION, &r.yres);
  char* sw = nullptr;
  if (TIFFGetField(t, TIFFTAG_SOFTWARE, &sw) && sw) r.software = sw;
  r.rgba.resize(size_t(r.width) * r.height);
  r.ok = TIFFReadRGBAImageOriented(t, r.width, r.height, r.rgba.data(), ORIENTATION_TOPLEFT, 0) == 1;
  TIFFClose(t);
  return r;
}

void ExpectSamePicture(const TiffRead& r, const TBitmap& b) {
  ASSERT_TRUE(r.ok);
  ASSERT_EQ(int(r.width), b.Width());
  ASSERT_EQ(int(r.height), b.Height());
  for (int y = 0; y < b.Height(); ++y)
    for (int x = 0; x < b.Width(); ++x)
      ASSERT_EQ(r.Color(x, y), b.GetPixel(x, y) & 0xFFFFFF) << x << "," << y;
}

// The directory's entries as (tag, type, count, value).
std::vector<std::array<uint32_t, 4>> Directory(const std::vector<uint8_t>& f) {
  const uint32_t at = U32At(f, 4);
  std::vector<std::array<uint32_t, 4>> e;
  for (uint32_t i = 0; i < U16At(f, at); ++i) {
    const size_t p = at + 2 + i * 12;
    e.push_back({U16At(f, p), U16At(f, p + 2), U32At(f, p + 4), U32At(f, p + 8)});
  }
  return e;
}

uint32_t Value(const std::vector<std::array<uint32_t, 4>>& dir, uint32_t tag) {
  for (const auto& e : dir)
    if (e[0] == tag) return e[3];
  return 0xFFFFFFFF;
}

TBitmap Indexed(int w, int h, TPixelFormat pf, uint32_t seed) {
  TBitmap b(w, h, pf, clBlack);
  std::vector<TColor> pal;
  Rng rng(seed);
  for (int i = 0; i < (1 << pf); ++i) pal.push_back(RGB(rng.Int(0, 255), rng.Int(0, 255), rng.Int(0, 255)));
  if (pf == pf1bit) pal = {clBlack, clWhite};  // a bilevel file knows no other colours
  b.SetPalette(pal);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) b.SetPixelIndex(x, y, unsigned(rng.Int(0, (1 << pf) - 1)));
  return b;
}

}  // namespace

TEST(TiffWriter, RgbLayout) {
  const std::string name = WriterDir("tiff") + "/rgb.tif";
  const TBitmap b = RandomBitmap(3, 2, 7);
  SaveTiffFile(name, b);
  const std::vector<uint8_t> f = ReadFileBytes(name);
  ASSERT_EQ(f.size(), 40u + 18 + 2 + 15 * 12 + 4);
  EXPECT_EQ(std::memcmp(f.data(), "II*\0", 4), 0);
  EXPECT_EQ(U32At(f, 4), 58u);
  EXPECT_EQ(U32At(f, 8), 877u);
  EXPECT_EQ(U32At(f, 12), 10u);
  EXPECT_EQ(U32At(f, 16), 877u);
  EXPECT_EQ(U16At(f, 24), 8);
  EXPECT_EQ(U16At(f, 28), 8);
  EXPECT_EQ(std::memcmp(f.data() + 30, "QM Morvek\0", 10), 0);
  // red, green, blue
  EXPECT_EQ(f[40], b.ScanLine(0)[2]);
  EXPECT_EQ(f[41], b.ScanLine(0)[1]);
  EXPECT_EQ(f[42], b.ScanLine(0)[0]);
  EXPECT_EQ(f[49], b.ScanLine(1)[2]);
  const auto dir = Directory(f);
  ASSERT_EQ(dir.size(), 15u);
  const uint32_t tags[15] = {254, 256, 257, 258, 259, 262, 273, 277, 278, 279, 282, 283, 284, 296, 305};
  for (size_t i = 0; i < 15; ++i) EXPECT_EQ(dir[i][0], tags[i]);
  EXPECT_EQ(Value(dir, 273), 40u);
  EXPECT_EQ(Value(dir, 279), 18u);
  EXPECT_EQ(Value(dir, 258), 24u);
  EXPECT_EQ(dir[14][2], 10u);  // the Software text with its zero

  const TiffRead r = ReadWithLibtiff(name);
  EXPECT_EQ(r.bps, 8);
  EXPECT_EQ(r.spp, 3);
  EXPECT_EQ(r.photometric, PHOTOMETRIC_RGB);
  EXPECT_EQ(r.compression, COMPRESSION_NONE);
  EXPECT_EQ(r.unit, RESUNIT_INCH);
  EXPECT_FLOAT_EQ(r.xres, 87.7f);
  EXPECT_FLOAT_EQ(r.yres, 87.7f);
  EXPECT_EQ(r.software, kTiffSoftware);
  ExpectSamePicture(r, b);

  // 32 bits: the fourth byte is dropped
  const TBitmap b32 = RandomBitmap(33, 17, 8, pf32bit);
  SaveTiffFile(name, b32);
  ExpectSamePicture(ReadWithLibtiff(name), b32);
  EXPECT_EQ(ReadWithLibtiff(name).spp, 3);
}

TEST(TiffWriter, PaletteLayouts) {
  const std::string name = WriterDir("tiff") + "/pal.tif";
  const TBitmap b8 = Indexed(21, 9, pf8bit, 3);
  SaveTiffFile(name, b8);
  std::vector<uint8_t> f = ReadFileBytes(name);
  auto dir = Directory(f);
  ASSERT_EQ(dir.size(), 15u);
  EXPECT_EQ(dir[10][0], 282u);
  EXPECT_EQ(dir[11][0], 283u);
  EXPECT_EQ(Value(dir, 320), 8u);
  EXPECT_EQ(dir.back()[2], 768u);
  EXPECT_EQ(Value(dir, 273), 1570u);
  EXPECT_EQ(Value(dir, 262), 3u);
  // the colour map: red plane, green, blue; component x 256
  EXPECT_EQ(U16At(f, 8 + 2 * 5), GetRValue(b8.Palette()[5]) * 256);
  EXPECT_EQ(U16At(f, 8 + 512 + 2 * 5), GetGValue(b8.Palette()[5]) * 256);
  EXPECT_EQ(U16At(f, 8 + 1024 + 2 * 5), GetBValue(b8.Palette()[5]) * 256);
  ExpectSamePicture(ReadWithLibtiff(name), b8);

  // 4 bits: the whole width, odd widths included
  for (int w : {10, 7, 1}) {
    const TBitmap b4 = Indexed(w, 5, pf4bit, uint32_t(w));
    SaveTiffFile(name, b4);
    f = ReadFileBytes(name);
    dir = Directory(f);
    EXPECT_EQ(Value(dir, 256), uint32_t(w));
    EXPECT_EQ(Value(dir, 279), uint32_t((w + 1) / 2 * 5));
    EXPECT_EQ(Value(dir, 273), 8u + 96 + 8 + 8 + 10);
    ExpectSamePicture(ReadWithLibtiff(name), b4);
  }
}

TEST(TiffWriter, Bilevel) {
  const std::string name = WriterDir("tiff") + "/bw.tif";
  for (bool inverted : {false, true}) {
    TBitmap b(19, 5, pf1bit, clBlack);
    if (inverted) b.SetPalette({clWhite, clBlack});
    Rng rng(inverted);
    for (int y = 0; y < 5; ++y)
      for (int x = 0; x < 19; ++x) b.SetPixelIndex(x, y, unsigned(rng.Int(0, 1)));
    SaveTiffFile(name, b);
    const auto f = ReadFileBytes(name);
    const auto dir = Directory(f);
    ASSERT_EQ(dir.size(), 14u);
    EXPECT_EQ(dir[10][0], 282u);
    EXPECT_EQ(Value(dir, 273), 8u);
    EXPECT_EQ(Value(dir, 279), 15u);
    EXPECT_EQ(Value(dir, 262), 1u);
    // the resolutions follow the 15 pixel bytes at the next even offset
    EXPECT_EQ(Value(dir, 282), 24u);
    const TiffRead r = ReadWithLibtiff(name);
    EXPECT_EQ(r.bps, 1);
    ExpectSamePicture(r, b);
  }
}

TEST(TiffWriter, WideImagesAndEvenOffsets) {
  const std::string name = WriterDir("tiff") + "/wide.tif";
  const TBitmap wide = RandomBitmap(70000, 1, 4);
  SaveTiffFile(name, wide);
  const auto dir = Directory(ReadFileBytes(name));
  EXPECT_EQ(dir[1][1], 4u);  // ImageWidth as LONG
  EXPECT_EQ(dir[1][3], 70000u);
  EXPECT_EQ(dir[2][1], 3u);  // ImageLength still SHORT
  const TiffRead r = ReadWithLibtiff(name);
  EXPECT_EQ(r.width, 70000u);
  ExpectSamePicture(r, wide);

  // every block that an offset names starts at an even offset
  for (auto [w, pf] : {std::pair{1, pf24bit}, std::pair{3, pf8bit}, std::pair{9, pf1bit}, std::pair{5, pf4bit}}) {
    TBitmap b = pf == pf24bit ? RandomBitmap(w, 1, 2) : Indexed(w, 1, pf, 2);
    SaveTiffFile(name, b);
    const auto f = ReadFileBytes(name);
    EXPECT_EQ(U32At(f, 4) % 2, 0u);
    for (const auto& e : Directory(f)) {
      const bool offset = e[0] == 273 || e[0] == 282 || e[0] == 283 || e[0] == 305 || (e[0] == 258 && e[2] == 3);
      EXPECT_TRUE(!offset || e[3] % 2 == 0) << "tag " << e[0];
    }
    ExpectSamePicture(ReadWithLibtiff(name), b);
  }
}

TEST(TiffWriter, EmptyBitmapsAreRefused) {
  const std::string dir = WriterDir("tiff-empty");
  const std::string name = dir + "/old.tif";
  SaveTiffFile(name, RandomBitmap(4, 4, 1));
  const auto before = ReadFileBytes(name);
  EXPECT_THROW(SaveTiffFile(name, TBitmap()), EInvalidGraphic);
  EXPECT_EQ(ReadFileBytes(name), before);
  EXPECT_THROW(SaveTiffFile(dir + "/new.tif", TBitmap()), EInvalidGraphic);
  EXPECT_FALSE(std::filesystem::exists(dir + "/new.tif"));
  int files = 0;
  for (const auto& e : std::filesystem::directory_iterator(dir)) files += e.is_regular_file();
  EXPECT_EQ(files, 1);
}
