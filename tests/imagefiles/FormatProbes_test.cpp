#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "imagefiles/CodecStreams.h"
#include "imagefiles/FormatProbes.h"
#include "imagefiles/LayeredFile.h"
#include "imagefiles/TiffWriter.h"
#include "support/TempFiles.h"
#include "support/TestImages.h"

#include <jpeglib.h>
#include <tiffio.h>

using namespace qm;
using namespace qm::test;

namespace {

std::string TempDir(const std::string& sub = "") { return test::TestTmpDir("probes", sub); }

using Bytes = std::vector<uint8_t>;

Bytes ReadAll(const std::string& name) { return ReadFileBytes(name); }
void WriteAll(const std::string& name, const Bytes& bytes) { WriteFileBytes(name, bytes); }

void Le32(Bytes& v, size_t at, uint32_t x) {
  for (int i = 0; i < 4; ++i) v[at + size_t(i)] = uint8_t(x >> (8 * i));
}
uint32_t GetLe32(const Bytes& v, size_t at) {
  return uint32_t(v[at]) | (uint32_t(v[at + 1]) << 8) | (uint32_t(v[at + 2]) << 16) | (uint32_t(v[at + 3]) << 24);
}

// A 2 x 2 24-bit BMP with the given pixels per metre.
Bytes Bmp(int32_t ppm) {
  Bytes b(54 + 16, 0);
  b[0] = 'B';
  b[1] = 'M';
  Le32(b, 2, uint32_t(b.size()));
  Le32(b, 10, 54);
  Le32(b, 14, 40);
  Le32(b, 18, 2);
  Le32(b, 22, 2);
  b[26] = 1;
  b[28] = 24;
  Le32(b, 38, uint32_t(ppm));
  Le32(b, 42, uint32_t(ppm));
  return b;
}

struct JpegOptions {
  int width = 37, height = 21;
  bool progressive = false;
  bool jfif = true;
  int densityUnit = 0, density = 1;
};

Bytes EncodeJpeg(const JpegOptions& o) {
  jpeg_compress_struct c{};
  jpeg_error_mgr err{};
  c.err = jpeg_std_error(&err);
  jpeg_create_compress(&c);
  unsigned char* mem = nullptr;
  unsigned long size = 0;
  jpeg_mem_dest(&c, &mem, &size);
  c.image_width = JDIMENSION(o.width);
  c.image_height = JDIMENSION(o.height);
  c.input_components = 3;
  c.in_color_space = JCS_RGB;
  jpeg_set_defaults(&c);
  c.write_JFIF_header = o.jfif;
  c.density_unit = UINT8(o.densityUnit);
  c.X_density = c.Y_density = UINT16(o.density);
  if (o.progressive) jpeg_simple_progression(&c);
  jpeg_start_compress(&c, TRUE);
  std::vector<uint8_t> row(size_t(o.width) * 3, 128);
  while (c.next_scanline < c.image_height) {
    JSAMPROW r = row.data();
    jpeg_write_scanlines(&c, &r, 1);
  }
  jpeg_finish_compress(&c);
  jpeg_destroy_compress(&c);
  Bytes out(mem, mem + size);
  std::free(mem);
  return out;
}

struct JpegHeader {
  int unit, x, y, width, height;
};

JpegHeader ReadJpegHeader(const std::string& name) {
  const Bytes b = ReadAll(name);
  jpeg_decompress_struct d{};
  jpeg_error_mgr err{};
  d.err = jpeg_std_error(&err);
  jpeg_create_decompress(&d);
  jpeg_mem_src(&d, b.data(), b.size());
  jpeg_read_header(&d, TRUE);
  JpegHeader h{d.density_unit, d.X_density, d.Y_density, int(d.image_width), int(d.image_height)};
  jpeg_destroy_decompress(&d);
  return h;
}

// FF D8, an APP1 EXIF segment holding a TIFF structure whose first directory has the
// given entries (tag, type, count, value), then the rest of a real JPEG.
Bytes ExifJpeg(bool bigEndian, const std::vector<std::array<uint32_t, 4>>& entries, uint32_t num, uint32_t den) {
  Bytes t;
  auto p16 = [&](uint16_t v) {
    if (bigEndian) t.insert(t.end(), {uint8_t(v >> 8), uint8_t(v)});
    else t.insert(t.end(), {uint8_t(v), uint8_t(v >> 8)});
  };
  auto p32 = [&](uint32_t v) {
    for (int i = 0; i < 4; ++i) t.push_back(uint8_t(bigEndian ? v >> (24 - 8 * i) : v >> (8 * i)));
  };
  t.insert(t.end(), bigEndian ? std::initializer_list<uint8_t>{'M', 'M'} : std::initializer_list<uint8_t>{'I', 'I'});
  p16(42);
  p32(16);  // the directory after 8 bytes of padding
  t.resize(16, 0xEE);
  p16(uint16_t(entries.size()));
  const uint32_t rational = uint32_t(16 + 2 + entries.size() * 12 + 4);
  for (const auto& e : entries) {
    p16(uint16_t(e[0]));
    p16(uint16_t(e[1]));
    p32(e[2]);
    if (e[1] == 3) {
      p16(uint16_t(e[3]));
      p16(0);
    } else {
      p32(e[0] == 282 ? rational : e[3]);
    }
  }
  p32(0);
  p32(num);
  p32(den);
  Bytes out = {0xFF, 0xD8, 0xFF, 0xE1};
  const size_t len = 2 + 6 + t.size();
  out.push_back(uint8_t(len >> 8));
  out.push_back(uint8_t(len));
  out.insert(out.end(), {'E', 'x', 'i', 'f', 0, 0});
  out.insert(out.end(), t.begin(), t.end());
  JpegOptions o;
  o.jfif = false;
  const Bytes rest = EncodeJpeg(o);
  out.insert(out.end(), rest.begin() + 2, rest.end());
  return out;
}

// The chunks of a PNG (type and whole bytes) in order.
std::vector<std::pair<std::string, Bytes>> Chunks(const Bytes& png) {
  std::vector<std::pair<std::string, Bytes>> out;
  size_t at = 8;
  while (at + 12 <= png.size()) {
    const size_t len = (size_t(png[at]) << 24) | (size_t(png[at + 1]) << 16) | (size_t(png[at + 2]) << 8) | png[at + 3];
    out.emplace_back(std::string(png.begin() + ptrdiff_t(at + 4), png.begin() + ptrdiff_t(at + 8)),
                     Bytes(png.begin() + ptrdiff_t(at), png.begin() + ptrdiff_t(at + 12 + len)));
    at += 12 + len;
  }
  return out;
}

Bytes Join(const std::vector<std::pair<std::string, Bytes>>& chunks) {
  Bytes out = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
  for (const auto& c : chunks) out.insert(out.end(), c.second.begin(), c.second.end());
  return out;
}

uint32_t Crc(const uint8_t* p, size_t n) {
  uint32_t c = 0xFFFFFFFFu;
  for (size_t i = 0; i < n; ++i) {
    c ^= p[i];
    for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
  }
  return ~c;
}

Bytes SamplePng(double dpi = 0) {
  PngPicture s{9, 4, PNG_COLOR_TYPE_RGB, 8, false, {}, {}};
  for (int i = 0; i < 9 * 4 * 3; ++i) s.samples.push_back(uint8_t(i * 5));
  Bytes png = EncodePng(s);
  if (dpi > 0) {
    // a pHYs chunk of our own before IDAT, built with a second PNG that has one
    auto chunks = Chunks(png);
    const uint32_t ppm = uint32_t(dpi * 100 / 2.54 + 0.5);
    Bytes phys = {0, 0, 0, 9, 'p', 'H', 'Y', 's'};
    for (int k = 0; k < 2; ++k)
      for (int i = 0; i < 4; ++i) phys.push_back(uint8_t(ppm >> (24 - 8 * i)));
    phys.push_back(1);
    const uint32_t crc = Crc(phys.data() + 4, 13);
    for (int i = 0; i < 4; ++i) phys.push_back(uint8_t(crc >> (24 - 8 * i)));
    chunks.insert(chunks.begin() + 1, {"pHYs", phys});
    png = Join(chunks);
  }
  return png;
}

struct PngRead {
  bool ok = false;
  png_uint_32 x = 0, y = 0;
  int unit = -1;
  std::vector<uint8_t> pixels;
};

PngRead ReadPngWithLibpng(const std::string& name) {
  PngRead r;
  FILE* f = std::fopen(name.c_str(), "rb");
  if (!f) return r;
  png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_read_struct(&png, &info, nullptr);
    std::fclose(f);
    return r;
  }
  png_init_io(png, f);
  png_read_info(png, info);
  if (png_get_valid(png, info, PNG_INFO_pHYs)) png_get_pHYs(png, info, &r.x, &r.y, &r.unit);
  const size_t row = png_get_rowbytes(png, info);
  r.pixels.resize(row * png_get_image_height(png, info));
  for (png_uint_32 y = 0; y < png_get_image_height(png, info); ++y) png_read_row(png, r.pixels.data() + y * row, nullptr);
  png_read_end(png, nullptr);
  png_destroy_read_struct(&png, &info, nullptr);
  std::fclose(f);
  r.ok = true;
  return r;
}

// The header of a PCX file of the resolution.
Bytes PcxHeader(uint8_t dpi) {
  Bytes h(128, 0);
  h[0] = 0x0A;
  h[12] = dpi;
  return h;
}

// The start of a Paint Shop Pro file, version 5 (block headers of 10 bytes, then the
// chunk size), with the resolution in the unit (1 inch, 2 centimetres).
Bytes PspHeader(double res, uint8_t unit) {
  Bytes p(80, 0);
  std::memcpy(p.data(), "Paint Shop Pro Image File\n\x1a", 27);
  p[32] = 5;
  std::memcpy(p.data() + 36, "~BK\0", 4);
  std::memcpy(p.data() + 58, &res, 8);
  p[66] = unit;
  return p;
}

int StrayFiles(const std::string& dir, const std::string& keep) {
  int n = 0;
  for (const auto& e : std::filesystem::directory_iterator(dir)) n += e.path().filename() != keep;
  return n;
}

}  // namespace

TEST(FormatProbes, ExtensionTests) {
  EXPECT_EQ(LowerExt("/a.b/c.Tar.GZ"), ".gz");
  EXPECT_EQ(LowerExt("/a.b/noext"), "");
  EXPECT_TRUE(IsBmpExt("x.DIB"));
  EXPECT_TRUE(IsTiffExt("x.tiff"));
  EXPECT_TRUE(IsTiffExt("x.TIF"));
  EXPECT_FALSE(IsTiffExt("x.tif.bak"));
  EXPECT_TRUE(IsJpegExt("x.JFIF"));
  EXPECT_TRUE(IsJpegExt("x.jpe"));
  EXPECT_FALSE(IsJpegExt("x.jp"));
  EXPECT_TRUE(IsPcxExt("x.scr"));
  EXPECT_TRUE(IsQxiExt("x.qxi") && IsQxsExt("y.qxs") && IsRleExt("z.rle") && IsGifExt("g.gif") &&
              IsPngExt("p.png") && IsPspExt("q.psp"));
  EXPECT_EQ(ByteSwap32(0x11223344u), 0x44332211u);
}

TEST(FormatProbes, JpegScale) {
  EXPECT_EQ(JpegScaleForSize(4000, 3000, 150), 3);
  EXPECT_EQ(JpegScaleForSize(299, 200, 150), 0);
  EXPECT_EQ(JpegScaleForSize(300, 10, 150), 1);
  EXPECT_EQ(JpegScaleForSize(10, 599, 150), 1);
  EXPECT_EQ(JpegScaleForSize(600, 1, 150), 2);
  EXPECT_EQ(JpegScaleForSize(1199, 1, 150), 2);
  EXPECT_EQ(JpegScaleForSize(1200, 1, 150), 3);
  EXPECT_EQ(JpegScaleForSize(0, 500, 150), 0);
  EXPECT_EQ(JpegScaleForSize(500, 500, 0), 0);
}

TEST(FormatProbes, BmpResolution) {
  const std::string name = TempDir() + "/r.bmp";
  WriteAll(name, Bmp(11811));
  EXPECT_EQ(GetFileResolution(name), 300.0);  // 299.9994
  WriteAll(name, Bmp(0));
  EXPECT_EQ(GetFileResolution(name), 72.0);
  WriteAll(name, Bmp(-5));
  EXPECT_EQ(GetFileResolution(name), 72.0);
  // 0.0254 dpi rounds to 0, which is no resolution; 0.0508 rounds to 0.1
  WriteAll(name, Bmp(1));
  EXPECT_EQ(GetFileResolution(name), 72.0);
  WriteAll(name, Bmp(2));
  EXPECT_EQ(GetFileResolution(name), 0.1);
  ASSERT_TRUE(SetFileResolution(name, 300));
  const Bytes b = ReadAll(name);
  EXPECT_EQ(GetLe32(b, 38), 11811u);
  EXPECT_EQ(GetLe32(b, 42), 11811u);
  EXPECT_EQ(b.size(), Bmp(0).size());
  // not a BMP, or a BMP of the old core header: left alone
  Bytes notBmp = Bmp(100);
  notBmp[0] = 'X';
  WriteAll(name, notBmp);
  EXPECT_FALSE(SetFileResolution(name, 300));
  EXPECT_EQ(ReadAll(name), notBmp);
  EXPECT_EQ(GetFileResolution(name), 72.0);
  Bytes core = Bmp(100);
  Le32(core, 14, 12);
  WriteAll(name, core);
  EXPECT_FALSE(SetFileResolution(name, 300));
  EXPECT_EQ(ReadAll(name), core);
  EXPECT_FALSE(SetFileResolution(TempDir() + "/missing.bmp", 300));
  EXPECT_EQ(GetFileResolution(TempDir() + "/missing.bmp"), 72.0);
}

TEST(FormatProbes, JfifResolution) {
  const std::string name = TempDir() + "/r.jpg";
  WriteAll(name, EncodeJpeg({}));  // units 0: an aspect ratio only
  EXPECT_EQ(GetFileResolution(name), 72.0);
  ASSERT_TRUE(SetFileResolution(name, 299.6));
  JpegHeader h = ReadJpegHeader(name);
  EXPECT_EQ(h.unit, 1);
  EXPECT_EQ(h.x, 300);
  EXPECT_EQ(h.y, 300);
  EXPECT_EQ(GetFileResolution(name), 300.0);
  JpegOptions cm;
  cm.densityUnit = 2;
  cm.density = 100;
  WriteAll(name, EncodeJpeg(cm));
  EXPECT_EQ(GetFileResolution(name), 254.0);
  // the density is 16 bits
  ASSERT_TRUE(SetFileResolution(name, 1e9));
  EXPECT_EQ(ReadJpegHeader(name).x, 65535);
  EXPECT_FALSE(SetFileResolution(name, 0));
  EXPECT_FALSE(SetFileResolution(name, -3));
  EXPECT_FALSE(SetFileResolution(name, std::nan("")));
  // an APP0 segment that is not JFIF is left alone
  Bytes notJfif = EncodeJpeg({});
  notJfif[6] = 'X';
  WriteAll(name, notJfif);
  EXPECT_FALSE(SetFileResolution(name, 300));
  EXPECT_EQ(ReadAll(name), notJfif);
  EXPECT_EQ(GetFileResolution(name), 72.0);
}

TEST(FormatProbes, ExifResolution) {
  const std::string name = TempDir() + "/exif.jpg";
  auto probe = [&](const Bytes& b) {
    WriteAll(name, b);
    return GetFileResolution(name);
  };
  const std::array<uint32_t, 4> x{282, 5, 1, 0}, inch{296, 3, 1, 2}, cm{296, 3, 1, 3}, other{271, 2, 4, 0};
  EXPECT_EQ(probe(ExifJpeg(false, {x, inch}, 300, 1)), 300.0);
  EXPECT_EQ(probe(ExifJpeg(false, {x, cm}, 300, 1)), 762.0);
  EXPECT_EQ(probe(ExifJpeg(true, {x, inch}, 600, 2)), 300.0);  // Motorola order
  EXPECT_EQ(probe(ExifJpeg(false, {x, inch}, 300, 0)), 72.0);  // no denominator
  EXPECT_EQ(probe(ExifJpeg(false, {x}, 300, 1)), 72.0);        // no unit
  // the unit as the 15th entry: the whole directory is read
  std::vector<std::array<uint32_t, 4>> many(13, other);
  many.insert(many.begin(), x);
  many.push_back(inch);
  EXPECT_EQ(probe(ExifJpeg(true, many, 72, 1)), 72.0);
  many.front() = x;
  EXPECT_EQ(probe(ExifJpeg(false, many, 1000, 3)), 333.3);
  // an entry count beyond the segment, a directory offset beyond it: no crash, 72
  Bytes b = ExifJpeg(false, {x, inch}, 300, 1);
  b[12 + 16] = 0xFF;
  b[12 + 17] = 0x7F;
  EXPECT_EQ(probe(b), 300.0);  // the entries that are there still count
  b = ExifJpeg(false, {x, inch}, 300, 1);
  b[12 + 4] = 0xF0;
  b[12 + 7] = 0x7F;
  EXPECT_EQ(probe(b), 72.0);
  // an EXIF-only file is not patched
  b = ExifJpeg(false, {x, inch}, 300, 1);
  WriteAll(name, b);
  EXPECT_FALSE(SetFileResolution(name, 150));
  EXPECT_EQ(ReadAll(name), b);
}

TEST(FormatProbes, JpegFrameSize) {
  const std::string name = TempDir() + "/sof.jpg";
  int w = -1, h = -1;
  WriteAll(name, EncodeJpeg({}));
  EXPECT_TRUE(ReadJpegSof0Size(name, w, h));
  EXPECT_EQ(w, 37);
  EXPECT_EQ(h, 21);
  // an EXIF thumbnail's frame inside APP1 comes first in the bytes but is not a segment
  Bytes thumbFirst = {0xFF, 0xD8, 0xFF, 0xE1, 0x00, 0x10, 'E', 'x', 'i', 'f', 0, 0,
                      0xFF, 0xC0, 0x00, 0x11, 0x08, 0x00, 0x10, 0x00};
  thumbFirst[5] = uint8_t(thumbFirst.size() - 4);
  const Bytes real = EncodeJpeg({});
  thumbFirst.insert(thumbFirst.end(), real.begin() + 2, real.end());
  WriteAll(name, thumbFirst);
  EXPECT_TRUE(ReadJpegSof0Size(name, w, h));
  EXPECT_EQ(w, 37);
  EXPECT_EQ(h, 21);
  // progressive: no SOF0 before the scan
  JpegOptions p;
  p.progressive = true;
  WriteAll(name, EncodeJpeg(p));
  EXPECT_FALSE(ReadJpegSof0Size(name, w, h));
  EXPECT_EQ(w, 0);
  EXPECT_EQ(h, 0);
  // cut short, not a JPEG, missing
  const Bytes full = EncodeJpeg({});
  for (size_t n : {size_t(0), size_t(1), size_t(3), size_t(10), size_t(22)}) {
    WriteAll(name, Bytes(full.begin(), full.begin() + ptrdiff_t(n)));
    EXPECT_FALSE(ReadJpegSof0Size(name, w, h)) << n;
  }
  WriteAll(name, Bmp(1));
  EXPECT_FALSE(ReadJpegSof0Size(name, w, h));
  EXPECT_FALSE(ReadJpegSof0Size(TempDir() + "/none.jpg", w, h));
  EXPECT_EQ(w, 0);
}

TEST(FormatProbes, TiffResolution) {
  const std::string name = TempDir() + "/r.tif";
  SaveTiffFile(name, RandomBitmap(5, 3, 1));
  EXPECT_EQ(GetFileResolution(name), 87.7);
  ASSERT_TRUE(SetFileResolution(name, 300));
  TIFF* t = TIFFOpen(name.c_str(), "r");
  ASSERT_NE(t, nullptr);
  float x = 0, y = 0;
  uint16_t unit = 0;
  TIFFGetField(t, TIFFTAG_XRESOLUTION, &x);
  TIFFGetField(t, TIFFTAG_YRESOLUTION, &y);
  TIFFGetField(t, TIFFTAG_RESOLUTIONUNIT, &unit);
  TIFFClose(t);
  EXPECT_EQ(x, 300.0f);
  EXPECT_EQ(y, 300.0f);
  EXPECT_EQ(unit, RESUNIT_INCH);
  EXPECT_EQ(GetFileResolution(name), 300.0);

  // a big-endian TIFF in centimetres, written by libtiff: found by its tags, made inches
  const std::string mm = TempDir() + "/mm.tif";
  t = TIFFOpen(mm.c_str(), "wb");
  ASSERT_NE(t, nullptr);
  TIFFSetField(t, TIFFTAG_IMAGEWIDTH, 4);
  TIFFSetField(t, TIFFTAG_IMAGELENGTH, 2);
  TIFFSetField(t, TIFFTAG_SAMPLESPERPIXEL, 1);
  TIFFSetField(t, TIFFTAG_BITSPERSAMPLE, 8);
  TIFFSetField(t, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_MINISBLACK);
  TIFFSetField(t, TIFFTAG_XRESOLUTION, 40.0f);
  TIFFSetField(t, TIFFTAG_YRESOLUTION, 40.0f);
  TIFFSetField(t, TIFFTAG_RESOLUTIONUNIT, RESUNIT_CENTIMETER);
  uint8_t row[4] = {1, 2, 3, 4};
  TIFFWriteScanline(t, row, 0, 0);
  TIFFWriteScanline(t, row, 1, 0);
  TIFFClose(t);
  EXPECT_EQ(GetFileResolution(mm), 101.6);
  ASSERT_TRUE(SetFileResolution(mm, 150.25));
  t = TIFFOpen(mm.c_str(), "r");
  ASSERT_NE(t, nullptr);
  TIFFGetField(t, TIFFTAG_XRESOLUTION, &x);
  TIFFGetField(t, TIFFTAG_RESOLUTIONUNIT, &unit);
  uint8_t back[4] = {};
  TIFFReadScanline(t, back, 1, 0);
  TIFFClose(t);
  EXPECT_EQ(x, 150.25f);
  EXPECT_EQ(unit, RESUNIT_INCH);
  EXPECT_EQ(std::memcmp(back, row, 4), 0);

  // no resolution entries: nothing written
  Bytes b = ReadAll(name);
  const uint32_t ifd = GetLe32(b, 4);
  for (size_t i = 0; i < 15; ++i) {
    const size_t e = ifd + 2 + i * 12;
    if (b[e] == 282 % 256 && b[e + 1] == 1) b[e] = 0x2A;  // XResolution becomes a tag 298
  }
  WriteAll(name, b);
  EXPECT_FALSE(SetFileResolution(name, 200));
  EXPECT_EQ(ReadAll(name), b);
  WriteAll(name, Bytes{'I', 'I', 42, 0, 0xFF, 0xFF, 0, 0});
  EXPECT_FALSE(SetFileResolution(name, 200));
  EXPECT_EQ(GetFileResolution(name), 72.0);
}

TEST(FormatProbes, PngResolution) {
  const std::string dir = TempDir("png");
  const std::string name = dir + "/r.png";
  WriteAll(name, SamplePng());
  const PngRead before = ReadPngWithLibpng(name);
  ASSERT_TRUE(before.ok);
  EXPECT_EQ(GetFileResolution(name), 72.0);
  ::chmod(name.c_str(), 0604);
  ASSERT_TRUE(SetFileResolution(name, 300));
  PngRead after = ReadPngWithLibpng(name);
  ASSERT_TRUE(after.ok);
  EXPECT_EQ(after.x, 11811u);
  EXPECT_EQ(after.y, 11811u);
  EXPECT_EQ(after.unit, PNG_RESOLUTION_METER);
  EXPECT_EQ(after.pixels, before.pixels);
  EXPECT_EQ(GetFileResolution(name), 300.0);
  struct stat st {};
  ASSERT_EQ(::stat(name.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0604u);
  EXPECT_EQ(StrayFiles(dir, "r.png"), 0);

  // patched again: one pHYs only, right after IHDR
  ASSERT_TRUE(SetFileResolution(name, 96));
  auto chunks = Chunks(ReadAll(name));
  int phys = 0;
  for (const auto& c : chunks) phys += c.first == "pHYs";
  EXPECT_EQ(phys, 1);
  EXPECT_EQ(chunks[1].first, "pHYs");
  EXPECT_EQ(GetFileResolution(name), 96.0);
  // a file that had its own pHYs keeps a single one
  WriteAll(name, SamplePng(600));
  EXPECT_EQ(GetFileResolution(name), 600.0);
  ASSERT_TRUE(SetFileResolution(name, 150));
  chunks = Chunks(ReadAll(name));
  phys = 0;
  for (const auto& c : chunks) phys += c.first == "pHYs";
  EXPECT_EQ(phys, 1);
  after = ReadPngWithLibpng(name);
  ASSERT_TRUE(after.ok);
  EXPECT_EQ(after.x, 5906u);
  EXPECT_EQ(after.pixels, before.pixels);

  // a pHYs after IDAT is not the image's
  chunks = Chunks(SamplePng(600));
  std::rotate(chunks.begin() + 1, chunks.begin() + 2, chunks.end() - 1);  // pHYs just before IEND
  WriteAll(name, Join(chunks));
  EXPECT_EQ(GetFileResolution(name), 72.0);

  // not a PNG: nothing written, nothing left behind
  Bytes junk = SamplePng();
  junk[1] = 'X';
  WriteAll(name, junk);
  EXPECT_FALSE(SetFileResolution(name, 300));
  EXPECT_EQ(ReadAll(name), junk);
  EXPECT_EQ(StrayFiles(dir, "r.png"), 0);
  // a damaged tail is copied as it is
  Bytes cut = SamplePng();
  cut.erase(cut.end() - 5, cut.end());
  WriteAll(name, cut);
  ASSERT_TRUE(SetFileResolution(name, 300));
  const Bytes patched = ReadAll(name);
  EXPECT_EQ(patched.size(), cut.size() + 21);
  EXPECT_TRUE(std::equal(cut.begin() + 33, cut.end(), patched.begin() + 33 + 21));
}

TEST(FormatProbes, PngPatchAcrossFileSystems) {
  // The file lies on one file system and the temporary folder on another: the patch
  // works in the file's own folder, so it neither fails nor loses the file.
  const std::string here = TempDir("fs");
  const std::string shm = "/dev/shm";
  struct stat a {}, b {};
  if (::stat(shm.c_str(), &b) != 0 || ::stat(here.c_str(), &a) != 0 || a.st_dev == b.st_dev || ::access(shm.c_str(), W_OK) != 0)
    GTEST_SKIP() << "no second writable file system";
  const std::string name = shm + "/qm_probe_" + std::to_string(::getpid()) + ".png";
  WriteAll(name, SamplePng());
  const char* oldTmp = std::getenv("TMPDIR");
  const std::string keep = oldTmp ? oldTmp : "";
  ::setenv("TMPDIR", here.c_str(), 1);
  const bool ok = SetFileResolution(name, 200);
  if (oldTmp) ::setenv("TMPDIR", keep.c_str(), 1);
  else ::unsetenv("TMPDIR");
  EXPECT_TRUE(ok);
  ASSERT_TRUE(std::filesystem::exists(name));
  EXPECT_EQ(GetFileResolution(name), 200.0);
  EXPECT_TRUE(ReadPngWithLibpng(name).ok);
  std::filesystem::remove(name);
}

TEST(FormatProbes, LayeredFileResolution) {
  const std::string name = TempDir() + "/r.qxi";
  TLayeredImage doc;
  doc.LoadFromBitmap(RandomBitmap(4, 4, 1), TBitmap(), "#0");
  SaveLayeredImageToFile(doc, name);
  EXPECT_EQ(GetFileResolution(name), 72.0);
  ASSERT_TRUE(SetFileResolution(name, 96));
  Bytes b = ReadAll(name);
  EXPECT_EQ(GetLe32(b, 26), 96000u);
  EXPECT_EQ(GetLe32(b, 30), 96000u);
  // rounded, not truncated: 1.005 stays 1.005
  ASSERT_TRUE(SetFileResolution(name, 1.005));
  TLayeredImage back;
  LoadLayeredImageFromFile(back, name);
  EXPECT_EQ(back.ResolutionX, 1.005);
  EXPECT_EQ(back.ResolutionY, 1.005);
  EXPECT_EQ(GetFileResolution(name), 1.0);
  b[3] = 'X';
  WriteAll(name, b);
  EXPECT_FALSE(SetFileResolution(name, 300));
  EXPECT_EQ(ReadAll(name), b);
}

TEST(FormatProbes, PcxAndPspResolution) {
  const std::string pcx = TempDir() + "/r.pcx";
  Bytes h = PcxHeader(150);
  WriteAll(pcx, h);
  EXPECT_EQ(GetFileResolution(pcx), 150.0);
  h[0] = 0;
  WriteAll(pcx, h);
  EXPECT_EQ(GetFileResolution(pcx), 72.0);

  const std::string psp = TempDir() + "/r.psp";
  Bytes p = PspHeader(118.11, 2);  // centimetres
  WriteAll(psp, p);
  EXPECT_EQ(GetFileResolution(psp), 300.0);
  p[66] = 1;
  WriteAll(psp, p);
  EXPECT_EQ(GetFileResolution(psp), 118.1);
  p[66] = 0;
  WriteAll(psp, p);
  EXPECT_EQ(GetFileResolution(psp), 72.0);
  EXPECT_FALSE(SetFileResolution(psp, 300));
}

TEST(FormatProbes, WritesTheFuzzSeeds) {
  // the seed corpus of FormatProbes_fuzz: the extension, a line break, then the file
  const std::string dir = TempDir("fuzz-seeds");
  int n = 0;
  auto save = [&](const std::string& ext, const Bytes& file) {
    Bytes seed(ext.begin(), ext.end());
    seed.push_back('\n');
    seed.insert(seed.end(), file.begin(), file.end());
    WriteAll(dir + "/seed" + std::to_string(n++), seed);
  };
  save("bmp", Bmp(11811));
  JpegOptions jfif;
  jfif.densityUnit = 1;
  jfif.density = 300;
  save("jpg", EncodeJpeg(jfif));
  save("jpeg", ExifJpeg(true, {{282, 5, 1, 0}, {296, 3, 1, 3}}, 1181, 10));
  const std::string tif = TempDir() + "/seed.tif";
  SaveTiffFile(tif, RandomBitmap(5, 3, 1));
  save("tif", ReadAll(tif));
  save("png", SamplePng(300));
  save("pcx", PcxHeader(150));
  save("psp", PspHeader(118.11, 2));
  const std::string qxi = TempDir() + "/seed.qxi";
  TLayeredImage doc;
  doc.LoadFromBitmap(RandomBitmap(4, 4, 1), TBitmap(), "#0");
  SaveLayeredImageToFile(doc, qxi);
  save("qxi", ReadAll(qxi));
  EXPECT_EQ(n, 8);
}
