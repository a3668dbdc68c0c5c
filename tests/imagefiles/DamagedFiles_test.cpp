// Damaged and hostile picture files, made here from good ones the real libraries
// write (cut short, a colour map cut off, declared sizes raised, strip byte counts
// halved, a run lengthened, an LZW code beyond its table): each fails with the
// load message (or, too large, with its own), or opens whole, with what the library
// warned; none allocates beyond the limit it was given.
#include <gtest/gtest.h>
#include <tiffio.h>
#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <functional>

#include "imagefiles/BmpCodec.h"
#include "imagefiles/CodecStreams.h"
#include "imagefiles/FileDispatch.h"
#include "imagefiles/GifCodec.h"
#include "imagefiles/GmCodec.h"
#include "imagefiles/IconReader.h"
#include "imagefiles/ImageFilesTest.h"
#include "imagefiles/JpegCodec.h"
#include "imagefiles/LayeredFile.h"
#include "imagefiles/PictureLimit.h"
#include "imagefiles/PngCodec.h"
#include "support/AllocationWatch.h"
#include "support/TestImages.h"

namespace qm {
namespace {

using Bytes = std::vector<uint8_t>;
using test::TestFolder;
using test::TestPicture;

// --- Byte surgery ------------------------------------------------------------------

uint32_t Get16(const Bytes& b, size_t at) { return uint32_t(b[at]) | uint32_t(b[at + 1]) << 8; }
uint32_t Get32(const Bytes& b, size_t at) { return Get16(b, at) | Get16(b, at + 2) << 16; }
void Put16(Bytes& b, size_t at, uint32_t v) {
  b[at] = uint8_t(v);
  b[at + 1] = uint8_t(v >> 8);
}
void Put32(Bytes& b, size_t at, uint32_t v) {
  Put16(b, at, v & 0xFFFF);
  Put16(b, at + 2, v >> 16);
}
void Put16BE(Bytes& b, size_t at, uint32_t v) {
  b[at] = uint8_t(v >> 8);
  b[at + 1] = uint8_t(v);
}
void Put32BE(Bytes& b, size_t at, uint32_t v) {
  Put16BE(b, at, v >> 16);
  Put16BE(b, at + 2, v & 0xFFFF);
}
Bytes Cut(Bytes b, size_t n) {
  b.resize(n);
  return b;
}

// The JPEG frame header (SOFn) and its size fields.
Bytes JpegSized(Bytes b, int w, int h) {
  for (size_t i = 2; i + 9 < b.size() && b[i] == 0xFF; i += 2 + (size_t(b[i + 2]) << 8 | b[i + 3]))
    if (b[i + 1] == 0xC0 || b[i + 1] == 0xC2) {
      Put16BE(b, i + 5, uint32_t(h));
      Put16BE(b, i + 7, uint32_t(w));
      return b;
    }
  ADD_FAILURE() << "no frame header";
  return b;
}

void FixPngCrc(Bytes& b, size_t chunk) {
  const uint32_t n = uint32_t(b[chunk]) << 24 | uint32_t(b[chunk + 1]) << 16 | uint32_t(b[chunk + 2]) << 8 |
                     b[chunk + 3];
  Put32BE(b, chunk + 8 + n, uint32_t(crc32(0, b.data() + chunk + 4, n + 4)));
}
Bytes PngSized(Bytes b, uint32_t w, uint32_t h) {
  Put32BE(b, 16, w);
  Put32BE(b, 20, h);
  FixPngCrc(b, 8);
  return b;
}
// A text chunk after the header whose check sum is wrong.
Bytes PngWithBadTextChunk(Bytes b) {
  Bytes chunk = {0, 0, 0, 5, 't', 'E', 'X', 't', 'a', 0, 'b', 'c', 'd', 0, 0, 0, 0};
  b.insert(b.begin() + 33, chunk.begin(), chunk.end());
  return b;
}

// The GIF's logical screen and its first frame's rectangle.
constexpr size_t kGifFrameAt = 13 + 6;  // header and screen, a global map of 2 colours
Bytes GifSized(Bytes b, int screenW, int screenH, int frameW, int frameH) {
  Put16(b, 6, uint32_t(screenW));
  Put16(b, 8, uint32_t(screenH));
  EXPECT_EQ(b[kGifFrameAt], 0x2C);
  Put16(b, kGifFrameAt + 5, uint32_t(frameW));
  Put16(b, kGifFrameAt + 7, uint32_t(frameH));
  return b;
}
// A GIF of 36 bytes: a 10 x 10 screen and one frame of 65535 x 32768 pixels.
Bytes TinyHugeGif() {  // (more than 60000 x 60000 pixels)
  Bytes b = {'G', 'I', 'F', '8', '9', 'a', 10, 0, 10, 0, 0, 0, 0};
  b.insert(b.end(), {0x2C, 0, 0, 0, 0, 0xFF, 0xFF, 0x00, 0x80, 0x80});  // local map of 2
  b.insert(b.end(), {0, 0, 0, 255, 255, 255, 2, 3, 0x4C, 0x01, 0x00, 0, 0x3B});
  EXPECT_EQ(b.size(), 36u);
  return b;
}

// The entry of a tag in the first directory of a little-endian TIFF.
size_t TiffEntry(const Bytes& b, uint16_t tag) {
  const size_t ifd = Get32(b, 4);
  for (size_t i = 0, n = Get16(b, ifd); i < n; ++i)
    if (Get16(b, ifd + 2 + 12 * i) == tag) return ifd + 2 + 12 * i;
  ADD_FAILURE() << "no tag " << tag;
  return 0;
}
Bytes TiffPatched(Bytes b, uint16_t tag, size_t field, uint32_t value) {
  Put32(b, TiffEntry(b, tag) + field, value);
  return b;
}

// An 8-bit palette TIFF of libtiff's, with a document name.
Bytes PaletteTiff(const std::string& file) {
  TIFF* t = TIFFOpen(file.c_str(), "w");
  EXPECT_NE(t, nullptr);
  TIFFSetField(t, TIFFTAG_IMAGEWIDTH, 40u);
  TIFFSetField(t, TIFFTAG_IMAGELENGTH, 30u);
  TIFFSetField(t, TIFFTAG_SAMPLESPERPIXEL, 1);
  TIFFSetField(t, TIFFTAG_BITSPERSAMPLE, 8);
  TIFFSetField(t, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_PALETTE);
  TIFFSetField(t, TIFFTAG_DOCUMENTNAME, "palette picture");
  TIFFSetField(t, TIFFTAG_ROWSPERSTRIP, 30u);
  std::vector<uint16_t> r(256), g(256), bl(256);
  for (int i = 0; i < 256; ++i) {
    r[size_t(i)] = uint16_t(i * 257);
    g[size_t(i)] = uint16_t((255 - i) * 257);
    bl[size_t(i)] = 40000;
  }
  TIFFSetField(t, TIFFTAG_COLORMAP, r.data(), g.data(), bl.data());
  std::vector<uint8_t> row(40);
  for (uint32_t y = 0; y < 30; ++y) {
    for (int x = 0; x < 40; ++x) row[size_t(x)] = uint8_t(x * 6 + y);
    TIFFWriteScanline(t, row.data(), y, 0);
  }
  TIFFClose(t);
  return test::ReadFileBytes(file);
}

// An icon of a 16 x 16 picture at 8 bits and a 32 x 32 one at 32 bits with alpha (left
// half transparent, the rest green), every size field the entries and headers carry
// wrong, as other tools write them.
Bytes IconWithWrongSizes() {
  auto header = [](Bytes& img, int w, int h, int bits) {
    for (uint32_t v : {40u, uint32_t(w), uint32_t(2 * h)}) img.insert(img.end(), {uint8_t(v), uint8_t(v >> 8), 0, 0});
    img.insert(img.end(), {1, 0, uint8_t(bits), 0, 0, 0, 0, 0});
    img.insert(img.end(), {0x10, 0, 0, 0});  // biSizeImage: 16
    img.resize(img.size() + 16, 0);
  };
  Bytes small, large;
  header(small, 16, 16, 8);
  for (int i = 0; i < 256; ++i) small.insert(small.end(), {uint8_t(i), 0, 0, 0});
  small.resize(small.size() + 16 * 16 + 16 * 4, 7);
  header(large, 32, 32, 32);
  for (int y = 0; y < 32; ++y)
    for (int x = 0; x < 32; ++x) large.insert(large.end(), {0, 200, 0, uint8_t(x < 16 ? 0 : 255)});
  large.resize(large.size() + 32 * 4, 0);
  Bytes f = {0, 0, 1, 0, 2, 0};
  uint32_t at = 6 + 2 * 16;
  for (const Bytes* img : {&small, &large}) {
    const uint8_t side = img == &small ? 16 : 32;
    f.insert(f.end(), {side, side, 0, 0, 1, 0, uint8_t(img == &small ? 8 : 32), 0});
    f.insert(f.end(), {0xF0, 0xFF, 0xFF, 0x7F});  // bytes in the picture: far too many
    f.insert(f.end(), {uint8_t(at), uint8_t(at >> 8), 0, 0});
    at += uint32_t(img->size());
  }
  f.insert(f.end(), small.begin(), small.end());
  f.insert(f.end(), large.begin(), large.end());
  return f;
}

// An icon of one picture stored as a PNG file.
Bytes IconOfPng(const Bytes& png) {
  Bytes f = {0, 0, 1, 0, 1, 0, 0, 0, 0, 0, 1, 0, 32, 0};
  const uint32_t size = uint32_t(png.size());
  f.insert(f.end(), {uint8_t(size), uint8_t(size >> 8), uint8_t(size >> 16), 0, 22, 0, 0, 0});
  f.insert(f.end(), png.begin(), png.end());
  return f;
}

// Each strip's byte count halved, whether libtiff wrote them as shorts or longs, in
// the entry or out of it.
Bytes TiffStripsHalved(Bytes b) {
  const size_t entry = TiffEntry(b, TIFFTAG_STRIPBYTECOUNTS);
  const uint32_t type = Get16(b, entry + 2), count = Get32(b, entry + 4), size = type == TIFF_SHORT ? 2 : 4;
  const size_t at = count * size <= 4 ? entry + 8 : Get32(b, entry + 8);
  for (size_t i = 0; i < count; ++i) {
    const size_t v = at + i * size;
    if (size == 2)
      Put16(b, v, Get16(b, v) / 2);
    else
      Put32(b, v, Get32(b, v) / 2);
  }
  return b;
}

// A 97 x 61 TIFF of libtiff's in strips of 16 rows: RGB for JPEG, LZW and Deflate,
// bilevel (black where the picture's green is dark) for the fax codings.
Bytes StripTiff(const std::string& file, const TBitmap& picture, uint16_t compression) {
  const bool fax = compression == COMPRESSION_CCITTFAX3 || compression == COMPRESSION_CCITTFAX4;
  TIFF* t = TIFFOpen(file.c_str(), "w");
  EXPECT_NE(t, nullptr);
  TIFFSetField(t, TIFFTAG_IMAGEWIDTH, uint32_t(picture.Width()));
  TIFFSetField(t, TIFFTAG_IMAGELENGTH, uint32_t(picture.Height()));
  TIFFSetField(t, TIFFTAG_SAMPLESPERPIXEL, fax ? 1 : 3);
  TIFFSetField(t, TIFFTAG_BITSPERSAMPLE, fax ? 1 : 8);
  TIFFSetField(t, TIFFTAG_PHOTOMETRIC, fax ? PHOTOMETRIC_MINISWHITE : PHOTOMETRIC_RGB);
  TIFFSetField(t, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
  TIFFSetField(t, TIFFTAG_COMPRESSION, compression);
  TIFFSetField(t, TIFFTAG_ROWSPERSTRIP, 16u);
  if (compression == COMPRESSION_JPEG) TIFFSetField(t, TIFFTAG_JPEGQUALITY, 90);
  std::vector<uint8_t> row(size_t(picture.Width()) * 3);
  for (int y = 0; y < picture.Height(); ++y) {
    std::fill(row.begin(), row.end(), 0);
    const uint8_t* p = picture.ScanLine(y);
    for (int x = 0; x < picture.Width(); ++x, p += 3)
      if (!fax) {
        row[size_t(3 * x)] = p[2];
        row[size_t(3 * x + 1)] = p[1];
        row[size_t(3 * x + 2)] = p[0];
      } else if (p[1] < 128) {
        row[size_t(x / 8)] |= uint8_t(0x80 >> (x % 8));
      }
    EXPECT_EQ(TIFFWriteScanline(t, row.data(), uint32_t(y), 0), 1);
  }
  TIFFClose(t);
  return test::ReadFileBytes(file);
}

// The first run of a run-length BMP made as long as a byte allows.
Bytes BmpFirstRunLengthened(Bytes b) {
  for (size_t at = Get32(b, 10); at + 1 < b.size(); at += 2) {
    if (b[at] > 0) {
      b[at] = 250;
      return b;
    }
    if (b[at + 1] >= 2) break;  // a move or literal pixels first
  }
  ADD_FAILURE() << "no run at the start";
  return b;
}

// Where the LZW codes of a GIF's first frame start, and their root size.
std::pair<size_t, int> GifFirstCodes(const Bytes& g) {
  size_t at = 13 + (g[10] & 0x80 ? 3u << ((g[10] & 7) + 1) : 0);
  while (at < g.size() && g[at] == 0x21) {  // extensions: their blocks up to an empty one
    for (at += 2; at < g.size() && g[at] != 0;) at += g[at] + 1u;
    ++at;
  }
  EXPECT_EQ(g[at], 0x2C);
  at += 10 + (g[at + 9] & 0x80 ? 3u << ((g[at + 9] & 7) + 1) : 0);
  return {at + 2, g[at]};  // after the root size and the first block's size
}

// The third code of the frame (the second pixel) made one beyond the string table.
Bytes GifWithCodeBeyondTheTable(Bytes g) {
  const auto [data, root] = GifFirstCodes(g);
  const int bits = root + 1, clear = 1 << root;
  uint32_t v = 0;
  for (int i = 0; i < 4; ++i) v |= uint32_t(g[data + size_t(i)]) << (8 * i);
  const uint32_t mask = ((1u << bits) - 1) << (2 * bits);
  EXPECT_EQ(v & ((1u << bits) - 1), uint32_t(clear)) << "the codes start with a clear code";
  EXPECT_LT((v & mask) >> (2 * bits), uint32_t(clear)) << "the second pixel is a colour";
  v = (v & ~mask) | uint32_t(clear + 3) << (2 * bits);  // the table holds codes up to clear + 1
  for (int i = 0; i < 4; ++i) g[data + size_t(i)] = uint8_t(v >> (8 * i));
  return g;
}

// A layered file whose layer mask is stored as a GIF stream (codec 1), as older
// versions wrote it: the raw mask section of a file we saved, replaced by the GIF of
// the same bytes over a grey ramp.
Bytes LayeredWithGifMask(const TLayeredImage& doc, const Bytes& gif) {
  TLayeredImage copy;
  copy.AssignImage(&doc);
  TMemoryStream m;
  SaveLayeredImageToStream(copy, m);
  Bytes b = m.Data();
  const TBitmap& mask = doc.Layers[1].Mask;
  const int w = mask.Width(), h = mask.Height();
  Bytes section = {1, 0};  // present, codec 0
  for (int v : {w, h}) section.insert(section.end(), {uint8_t(v), uint8_t(v >> 8), 0, 0});
  for (int x = 0; x < 8; ++x) section.push_back(mask.ScanLine(0)[3 * x]);
  const auto at = std::search(b.begin(), b.end(), section.begin(), section.end());
  EXPECT_NE(at, b.end());
  const auto codec = at + 1;
  *codec = 1;
  b.erase(codec + 1, codec + 9 + ptrdiff_t(w) * h);
  b.insert(codec + 1, gif.begin(), gif.end());
  return b;
}

// --- The good files ------------------------------------------------------------------

struct GoodFiles {
  Bytes jpeg, progressive, arithmetic, png, tinyPng, gif, tiff, palette, bmp, icon;
};

const GoodFiles& Goods() {
  static const GoodFiles g = [] {
    // a fresh folder, gone once the files are read: test cases run side by side
    const test::TempFolder folder("good");
    const std::string dir = folder.Path.string();
    const TBitmap photo = TestPicture(300, 200, 4);
    GoodFiles f;
    WriteJpegFile(dir + "/b.jpg", photo, TJpegWriteOptions{90, false});
    f.jpeg = test::ReadFileBytes(dir + "/b.jpg");
    WriteJpegFile(dir + "/p.jpg", photo, TJpegWriteOptions{90, true});
    f.progressive = test::ReadFileBytes(dir + "/p.jpg");
    EXPECT_EQ(std::system(("jpegtran -arithmetic -outfile " + dir + "/a.jpg " + dir + "/b.jpg").c_str()), 0);
    f.arithmetic = test::ReadFileBytes(dir + "/a.jpg");
    TPngImage png;
    BitmapToPng(photo, png);
    WritePngFile(dir + "/a.png", png, TPngWriteOptions{});
    f.png = test::ReadFileBytes(dir + "/a.png");
    BitmapToPng(TestPicture(2, 2), png);
    WritePngFile(dir + "/tiny.png", png, TPngWriteOptions{});
    f.tinyPng = test::ReadFileBytes(dir + "/tiny.png");
    TGifImage gif;
    gif.Width = 120;
    gif.Height = 80;
    gif.GlobalColorMap = {clBlack, clWhite};
    TGifFrame frame{0, 0, 120, 80, TByteBuffer(120 * 80), {}, -1, 0, 0, false};
    for (size_t i = 0; i < frame.Pixels.size(); ++i) frame.Pixels[i] = uint8_t((i * 7919 >> 5) & 1);
    gif.Frames.push_back(frame);
    WriteGifFile(dir + "/a.gif", gif);
    f.gif = test::ReadFileBytes(dir + "/a.gif");
    EXPECT_TRUE(test::Gm("convert " + dir + "/a.png -compress None " + dir + "/a.tif"));
    f.tiff = test::ReadFileBytes(dir + "/a.tif");
    f.palette = PaletteTiff(dir + "/pal.tif");
    WriteBmpFile(dir + "/a.bmp", photo);
    f.bmp = test::ReadFileBytes(dir + "/a.bmp");
    f.icon = IconWithWrongSizes();
    return f;
  }();
  return g;
}

enum class Outcome { Fails, TooLarge, Opens, OpensWithWarning };

struct Case {
  const char* name;
  const char* ext;
  Bytes bytes;
  Outcome outcome;
  // The largest block the load may allocate: the limit, or less where the file is
  // refused before its pixels are allocated.
  uint64_t maxBlock;
};

constexpr uint64_t kLimit = uint64_t(8) << 20;
constexpr uint64_t kSmall = uint64_t(1) << 20;

TEST(DamagedFiles, FailOrOpenWholeAndNeverAllocateBeyondTheLimit) {
  const GoodFiles& g = Goods();
  const Bytes& j = g.jpeg;
  const size_t jpegEnd = j.size() - 2;  // the end marker
  Bytes jfif2 = j;
  ASSERT_EQ(std::memcmp(j.data() + 6, "JFIF", 5), 0);
  jfif2[11] = 2;  // a major version we do not know
  const uint32_t colormap = uint32_t(TiffEntry(g.palette, TIFFTAG_COLORMAP));
  Bytes unterminated = g.palette;
  unterminated[Get32(g.palette, TiffEntry(g.palette, TIFFTAG_DOCUMENTNAME) + 8) + 15] = '!';
  const std::vector<Case> cases = {
      {"good", "jpg", j, Outcome::Opens, kLimit},
      {"cut in its data", "jpg", Cut(j, j.size() * 2 / 3), Outcome::Fails, kLimit},
      {"progressive, cut", "jpg", Cut(g.progressive, g.progressive.size() * 2 / 3), Outcome::Fails, kLimit},
      {"without its end marker", "jpg", Cut(j, jpegEnd), Outcome::OpensWithWarning, kLimit},
      {"arithmetic-coded", "jpg", g.arithmetic, Outcome::Opens, kLimit},
      {"arithmetic-coded, cut", "jpg", Cut(g.arithmetic, g.arithmetic.size() * 2 / 3), Outcome::Fails, kLimit},
      {"JFIF version 2", "jpg", jfif2, Outcome::OpensWithWarning, kLimit},
      {"1500 x 1500 declared", "jpg", JpegSized(j, 1500, 1500), Outcome::Fails, kLimit},
      {"60000 x 60000 declared", "jpg", JpegSized(j, 60000, 60000), Outcome::TooLarge, kSmall},
      {"progressive, 60000 x 60000", "jpg", JpegSized(g.progressive, 60000, 60000), Outcome::TooLarge, kSmall},
      {"good", "png", g.png, Outcome::Opens, kLimit},
      {"cut in its data", "png", Cut(g.png, g.png.size() / 2), Outcome::Fails, kLimit},
      {"1500 x 1500 declared", "png", PngSized(g.png, 1500, 1500), Outcome::Fails, kLimit},
      {"1500 x 1500 in a tiny file", "png", PngSized(g.tinyPng, 1500, 1500), Outcome::Fails, kSmall},
      {"60000 x 60000 declared", "png", PngSized(g.png, 60000, 60000), Outcome::TooLarge, kSmall},
      {"damaged text chunk", "png", PngWithBadTextChunk(g.png), Outcome::OpensWithWarning, kLimit},
      {"good", "gif", g.gif, Outcome::Opens, kLimit},
      {"cut in its frame", "gif", Cut(g.gif, g.gif.size() / 2), Outcome::Fails, kLimit},
      {"a frame 0 pixels wide", "gif", GifSized(g.gif, 120, 80, 0, 80), Outcome::Fails, kLimit},
      {"without its trailer", "gif", Cut(g.gif, g.gif.size() - 1), Outcome::OpensWithWarning, kLimit},
      {"1500 x 1500 declared", "gif", GifSized(g.gif, 1500, 1500, 1500, 1500), Outcome::Fails, kSmall},
      {"60000 x 60000 screen", "gif", GifSized(g.gif, 60000, 60000, 120, 80), Outcome::TooLarge, kSmall},
      {"36 bytes, a frame of 65535 x 32768", "gif", TinyHugeGif(), Outcome::TooLarge, kSmall},
      {"good", "tif", g.tiff, Outcome::Opens, kLimit},
      {"good palette", "tif", g.palette, Outcome::Opens, kLimit},
      {"colour map cut short", "tif", TiffPatched(g.palette, TIFFTAG_COLORMAP, 4, 3 * 16), Outcome::Fails, kLimit},
      {"colour map beyond the end", "tif", TiffPatched(g.palette, TIFFTAG_COLORMAP, 8, colormap + (1u << 20)),
       Outcome::Fails, kLimit},
      {"width raised", "tif", TiffPatched(g.tiff, TIFFTAG_IMAGEWIDTH, 8, 600), Outcome::Fails, kLimit},
      {"strips beyond the end", "tif", Cut(g.tiff, g.tiff.size() / 2), Outcome::Fails, kLimit},
      {"60000 x 60000 declared", "tif",
       TiffPatched(TiffPatched(TiffPatched(g.palette, TIFFTAG_IMAGEWIDTH, 8, 60000), TIFFTAG_IMAGELENGTH, 8, 60000),
                   TIFFTAG_ROWSPERSTRIP, 8, 60000),
       Outcome::TooLarge, kSmall},
      {"name without its end", "tif", unterminated, Outcome::OpensWithWarning, kLimit},
      {"good", "bmp", g.bmp, Outcome::Opens, kLimit},
      {"cut in its rows", "bmp", Cut(g.bmp, g.bmp.size() / 2), Outcome::Fails, kLimit},
      {"60000 x 60000 declared", "bmp",
       [&] {
         Bytes b = g.bmp;
         Put32(b, 18, 60000);
         Put32(b, 22, 60000);
         return b;
       }(),
       Outcome::TooLarge, kSmall},
      {"wrong sizes in every entry", "ico", g.icon, Outcome::Opens, kLimit},
      {"cut in its largest picture", "ico", Cut(g.icon, g.icon.size() - 700), Outcome::Fails, kLimit},
      {"60000 x 60000 declared", "ico",
       [&] {
         Bytes b = g.icon;
         const size_t large = Get32(b, 6 + 16 + 12);
         Put32(b, large + 4, 60000);
         Put32(b, large + 8, 120000);
         return b;
       }(),
       Outcome::TooLarge, kSmall},
  };
  const std::string dir = TestFolder();
  // Each reader once, so that what a library sets up at its first use is not counted.
  for (const Case& c : cases)
    if (std::string(c.name).rfind("good", 0) == 0) {
      test::WriteFileBytes(dir + "/warm." + c.ext, c.bytes);
      LoadPicture(dir + "/warm." + c.ext, TLoadRequest{});
    }
  int n = 0;
  for (const Case& c : cases) {
    const std::string what = std::string(c.ext) + ", " + c.name;
    const std::string file = dir + "/case" + std::to_string(n++) + "." + c.ext;
    test::WriteFileBytes(file, c.bytes);
    TLoadRequest request;
    request.Limit.MaxBytes = kLimit;
    test::AllocationWatch watch;
    const TLoadResult r = LoadPicture(file, request);
    if (watch.Counting()) {
      EXPECT_LE(watch.Largest(), c.maxBlock) << what;
      EXPECT_LE(watch.PeakGrowth(), 3 * kLimit) << what;
    }
    switch (c.outcome) {
      case Outcome::Opens:
      case Outcome::OpensWithWarning:
        ASSERT_EQ(r.Result, frDone) << what << ": " << r.Error.Reason;
        EXPECT_FALSE(r.Bitmap.Empty()) << what;
        EXPECT_EQ(r.Warnings.empty(), c.outcome == Outcome::Opens) << what;
        break;
      case Outcome::Fails:
        ASSERT_EQ(r.Result, frFailed) << what;
        EXPECT_EQ(r.Error.Message, TextId::GetOeMsgErrorOpening) << what << ": " << r.Error.Reason;
        EXPECT_FALSE(r.Error.Reason.empty()) << what;
        EXPECT_TRUE(r.Bitmap.Empty()) << what;
        break;
      case Outcome::TooLarge:
        ASSERT_EQ(r.Result, frFailed) << what;
        ASSERT_EQ(r.Error.Message, TextId::GetOeMsgPictureTooLarge) << what << ": " << r.Error.Reason;
        ASSERT_EQ(r.Error.Numbers.size(), 3u) << what;
        EXPECT_GT(uint64_t(r.Error.Numbers[0] * r.Error.Numbers[1]) * 3, kLimit) << what;  // width, height
        EXPECT_EQ(r.Error.Numbers[2], int64_t(kLimit >> 20)) << what;                     // the limit in MB
        break;
    }
  }
}

TEST(DamagedFiles, TheHostileFilesOfOtherProgramsAskForNothingUnderTheDefaultLimit) {
  // A 1.4 KB JPEG of 65500 x 65500 pixels, a PNG of a few dozen bytes of 100000 x
  // 100000, a GIF of 36 bytes whose frame is 65535 x 32768: beyond any machine's
  // limit, or beyond what their bytes can give.
  const GoodFiles& g = Goods();
  const std::string dir = TestFolder();
  TBitmap tiny = TestPicture(16, 16);
  WriteJpegFile(dir + "/tiny.jpg", tiny, TJpegWriteOptions{50, false});
  const std::vector<std::pair<std::string, Bytes>> files = {
      {"jpg", JpegSized(test::ReadFileBytes(dir + "/tiny.jpg"), 65500, 65500)},
      {"png", PngSized(g.tinyPng, 100000, 100000)},
      {"gif", TinyHugeGif()},
  };
  for (const auto& [ext, bytes] : files) {
    const std::string file = dir + "/hostile." + ext;
    test::WriteFileBytes(file, bytes);
    test::AllocationWatch watch;
    const TLoadResult r = LoadPicture(file, TLoadRequest{});
    EXPECT_EQ(r.Result, frFailed) << ext;
    EXPECT_TRUE(r.Error) << ext;
    if (watch.Counting()) EXPECT_LE(watch.Largest(), kSmall) << ext;
  }
  EXPECT_LT(files[0].second.size(), 1500u);
  // The limit is a quarter of the memory, as much as a bitmap can address at most.
  const uint64_t memory = uint64_t(sysconf(_SC_PHYS_PAGES)) * uint64_t(sysconf(_SC_PAGE_SIZE));
  EXPECT_EQ(TLoadRequest{}.Limit.MaxBytes, memory / 4);
  EXPECT_FALSE(TPictureLimit{uint64_t(1) << 62}.Allows(65536, 32768));  // 2^31 pixels
  EXPECT_TRUE(TPictureLimit{uint64_t(1) << 62}.Allows(65535, 32768));
}

TEST(DamagedFiles, APictureOfTheLimitOpensAndOneByteLessRefusesIt) {
  const GoodFiles& g = Goods();
  const std::string dir = TestFolder();
  // The smallest limit each file opens under: its bitmap's bytes, or a larger buffer
  // its reader needs (the coefficients of a progressive JPEG, GraphicsMagick's own
  // pixels of 8 bytes); one byte less gives the message of a picture too large.
  struct Row {
    const char* ext;
    const Bytes* bytes;
    uint64_t least, most;
  };
  const uint64_t photo = PictureBytes(300, 200, 24);
  const Row rows[] = {
      {"jpg", &g.jpeg, photo, photo},          {"jpg", &g.progressive, photo, 2 * photo},
      {"png", &g.png, photo, photo},           {"gif", &g.gif, PictureBytes(120, 80, 24), PictureBytes(120, 80, 24)},
      {"tif", &g.tiff, photo, photo},          {"bmp", &g.bmp, 300 * 200 * 8, 300 * 200 * 8},
      {"ico", &g.icon, 32 * 32 * 4, 32 * 32 * 4},
  };
  auto load = [](const std::string& file, uint64_t limit) {
    TLoadRequest r;
    r.Limit.MaxBytes = limit;
    return LoadPicture(file, r);
  };
  for (const Row& row : rows) {
    const std::string file = dir + "/limit." + row.ext;
    test::WriteFileBytes(file, *row.bytes);
    uint64_t lo = 1, hi = uint64_t(64) << 20;  // opens at hi, not at lo
    ASSERT_EQ(load(file, hi).Result, frDone) << row.ext;
    while (hi - lo > 1) {
      const uint64_t mid = lo + (hi - lo) / 2;
      (load(file, mid).Result == frDone ? hi : lo) = mid;
    }
    EXPECT_GE(hi, row.least) << row.ext;
    EXPECT_LE(hi, row.most) << row.ext;
    EXPECT_EQ(load(file, hi - 1).Error.Message, TextId::GetOeMsgPictureTooLarge) << row.ext;
  }
}

TEST(DamagedFiles, TheShellShowsItsMessageAndWritesTheReasonToStandardError) {
  const GoodFiles& g = Goods();
  const std::string dir = TestFolder();
  test::MessageCatcher messages;
  TPictureFileSettings files;
  TBitmap bmp(3, 3, pf24bit, clWhite);
  // A palette picture whose colour map is cut off: the load message, never a grey picture.
  std::string cut = dir + "/cut.tif";
  test::WriteFileBytes(cut, TiffPatched(g.palette, TIFFTAG_COLORMAP, 4, 3 * 16));
  testing::internal::CaptureStderr();
  EXPECT_EQ(LoadBitmapFile(files, cut, bmp), -1);
  std::string err = testing::internal::GetCapturedStderr();
  EXPECT_EQ(messages.last, "Impossible d'ouvrir l'image dans le fichier \"" + cut + "\" !");
  EXPECT_NE(err.find(cut + ": TIFF: "), std::string::npos) << err;
  EXPECT_NE(err.find("ColorMap"), std::string::npos) << err;
  EXPECT_EQ(bmp.Width(), 3);
  // Too large: its own message, with the size and the limit.
  std::string huge = dir + "/huge.png";
  test::WriteFileBytes(huge, PngSized(g.tinyPng, 100000, 100000));
  testing::internal::CaptureStderr();
  EXPECT_EQ(LoadBitmapFile(files, huge, bmp), -1);
  err = testing::internal::GetCapturedStderr();
  EXPECT_EQ(messages.last, "L'image du fichier \"" + huge +
                               "\" est trop grande pour être ouverte :\r100000 × 100000 pixels, quand une image "
                               "peut occuper au plus " + std::to_string(DefaultPictureBytes() >> 20) +
                               " Mo de mémoire.");
  EXPECT_NE(err.find(huge + ": picture too large"), std::string::npos) << err;
  // A picture read whole despite a library's warning opens, the warning on the stream.
  std::string named = dir + "/named.tif";
  Bytes unterminated = g.palette;
  unterminated[Get32(g.palette, TiffEntry(g.palette, TIFFTAG_DOCUMENTNAME) + 8) + 15] = '!';
  test::WriteFileBytes(named, unterminated);
  const int shown = messages.count;
  testing::internal::CaptureStderr();
  EXPECT_EQ(LoadBitmapFile(files, named, bmp), 1);
  err = testing::internal::GetCapturedStderr();
  EXPECT_EQ(messages.count, shown);
  EXPECT_EQ(bmp.Width(), 40);
  EXPECT_NE(err.find(named + ": warning: TIFF: "), std::string::npos) << err;
  // Previews stay quiet.
  testing::internal::CaptureStderr();
  EXPECT_EQ(LoadBitmapFilePreview(files, cut, bmp), -1);
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
}

TEST(DamagedFiles, IconsWithWrongSizesOpenTheirLargestPicture) {
  const GoodFiles& g = Goods();
  const std::string dir = TestFolder();
  const std::string file = dir + "/wrong.ico";
  test::WriteFileBytes(file, g.icon);
  // GraphicsMagick believes the sizes, and finds the file too short.
  TBitmap gm;
  EXPECT_THROW(ReadWithGraphicsMagick(file, "ICO", gm), EInvalidGraphic);
  const TLoadResult r = LoadPicture(file, TLoadRequest{});
  ASSERT_EQ(r.Result, frDone) << r.Error.Reason;
  EXPECT_TRUE(r.IsIcon);
  EXPECT_EQ(r.SourceColors, 16777216);
  ASSERT_EQ(r.Bitmap.Width(), 32);
  ASSERT_EQ(r.Bitmap.Height(), 32);
  EXPECT_TRUE(r.Bitmap.Transparent);
  for (int y = 0; y < 32; ++y)
    for (int x = 0; x < 32; ++x)
      ASSERT_EQ(r.Bitmap.GetPixel(x, y), x < 16 ? clGlobalTransparent : RGB(0, 200, 0)) << x << "," << y;
  // Below 32 bits the mask says what is transparent; a 32-bit picture with an empty
  // alpha channel is one of those too. Rows are stored from the bottom.
  Bytes masked = g.icon;
  const size_t large = Get32(masked, 6 + 16 + 12), rows = large + 40, mask = rows + 32 * 32 * 4;
  for (size_t i = rows + 3; i < mask; i += 4) masked[i] = 0;
  for (size_t y = 0; y < 8; ++y) masked[mask + 4 * y] = 0x80;  // the bottom rows' first pixel
  test::WriteFileBytes(file, masked);
  TBitmap bmp;
  ReadIconFile(file, bmp);
  ASSERT_EQ(bmp.PixelFormat(), pf32bit);
  EXPECT_EQ(bmp.ScanLine(31)[3], 0);
  EXPECT_EQ(bmp.ScanLine(24)[3], 0);
  EXPECT_EQ(bmp.ScanLine(23)[3], 255);
  EXPECT_EQ(bmp.ScanLine(31)[7], 255);
  // A picture stored as PNG opens through libpng.
  test::WriteFileBytes(file, IconOfPng(g.png));
  ReadIconFile(file, bmp);
  EXPECT_EQ(bmp.Width(), 300);
  EXPECT_EQ(bmp.GetPixel(7, 9), TestPicture(300, 200, 4).GetPixel(7, 9));
  // No icon, no picture of a kind we read.
  EXPECT_THROW(ReadIconMemory(g.png.data(), g.png.size(), bmp), EInvalidGraphic);
  Bytes compressed = g.icon;
  Put32(compressed, large + 16, 1);  // run-length bitmaps
  Put32(compressed, Get32(compressed, 6 + 12) + 16, 1);
  EXPECT_THROW(ReadIconMemory(compressed.data(), compressed.size(), bmp), EInvalidGraphic);
}

// --- Pictures held in part that the libraries open with rows of their own ------------

TBitmap Copy(const TBitmap& b) {
  TBitmap c;
  c.Assign(b);
  return c;
}

// A whole file and the picture it opens to, or one made from it by a cut and words of
// the reason its load fails with.
struct CutCase {
  std::string name, ext;
  Bytes bytes;
  TBitmap opens;  // empty: the load fails
  const char* reason = "";
};

const std::vector<CutCase>& CutCases() {
  static const std::vector<CutCase> cases = [] {
    const test::TempFolder folder("cut");
    const std::string dir = folder.Path.string();
    std::vector<CutCase> c;
    const TBitmap photo = TestPicture(97, 61, 5);
    TBitmap bilevel(97, 61, pf24bit, clWhite);
    for (int y = 0; y < 61; ++y)
      for (int x = 0; x < 97; ++x)
        if (photo.ScanLine(y)[3 * x + 1] < 128) bilevel.SetPixel(x, y, clBlack);
    const struct {
      const char* name;
      uint16_t compression;
      const char *halved, *wide;
    } tiffs[] = {
        {"JPEG", COMPRESSION_JPEG, "JPEGLib: Corrupt JPEG data: premature end of data segment",
         "Improper JPEG strip/tile size"},
        {"G3", COMPRESSION_CCITTFAX3, "Fax3Decode1D: Premature EO", "Premature EOL at line 0 of strip 0 (got 97, "},
        {"G4", COMPRESSION_CCITTFAX4, "Fax4Decode: Premature EO", "Fax4Decode: "},
        {"LZW", COMPRESSION_LZW, "LZWDecode: ", "LZWDecode: "},
        {"Deflate", COMPRESSION_ADOBE_DEFLATE, "ZIPDecode: ", "ZIPDecode: "},
    };
    for (const auto& t : tiffs) {
      const std::string file = dir + "/" + t.name + ".tif";
      const bool fax = t.compression == COMPRESSION_CCITTFAX3 || t.compression == COMPRESSION_CCITTFAX4;
      const Bytes whole = StripTiff(file, photo, t.compression);
      // JPEG as GraphicsMagick reads it; the others are lossless
      TBitmap opens = Copy(fax ? bilevel : photo);
      if (t.compression == COMPRESSION_JPEG) ReadWithGraphicsMagick(file, "TIFF", opens);
      c.push_back({std::string(t.name) + ", whole", "tif", whole, std::move(opens)});
      c.push_back({std::string(t.name) + ", strip byte counts halved", "tif", TiffStripsHalved(whole), {}, t.halved});
      c.push_back({std::string(t.name) + ", 65535 wide over strips of 97 columns", "tif",
                   TiffPatched(whole, TIFFTAG_IMAGEWIDTH, 8, 65535), {}, t.wide});
    }
    // Run-length pictures GraphicsMagick writes and reads: few colours, in runs.
    TBitmap flat(97, 61, pf24bit, clBlack);
    for (int y = 0; y < 61; ++y)
      for (int x = 0; x < 97; ++x) flat.SetPixel(x, y, RGB(40 * ((x / 7 + y / 5) % 6), 60 * (y / 16), 200));
    TPngImage png;
    BitmapToPng(flat, png);
    WritePngFile(dir + "/flat.png", png, TPngWriteOptions{});
    EXPECT_TRUE(test::Gm("convert " + dir + "/flat.png -type Palette -compress RLE BMP3:" + dir + "/rle.bmp"));
    const Bytes bmp = test::ReadFileBytes(dir + "/rle.bmp");
    EXPECT_EQ(Get32(bmp, 30), 1u) << "RLE8";
    c.push_back({"RLE8, whole", "bmp", bmp, Copy(flat)});
    c.push_back({"RLE8, a run beyond its row", "bmp", BmpFirstRunLengthened(bmp), {}, "a run of 250 pixels overruns"});
    EXPECT_TRUE(test::Gm("convert " + dir + "/flat.png -compress RLE SGI:" + dir + "/rle.sgi"));
    const Bytes sgi = test::ReadFileBytes(dir + "/rle.sgi");
    EXPECT_EQ(sgi[2], 1) << "run-length";
    Bytes wideSgi = sgi;
    Put16BE(wideSgi, 6, 65535);
    c.push_back({"SGI run-length, whole", "sgi", sgi, Copy(flat)});
    c.push_back({"SGI run-length, 65535 wide over rows of 97", "sgi", wideSgi, {},
                 "SGI: row 0 holds 97 pixels, in a picture 65535 pixels wide"});
    // Layered files of an older version, their mask a GIF: of giflib's over a grey ramp,
    // and of GraphicsMagick's. Noisy enough that the string table fills and starts again.
    TLayeredImage doc;
    doc.LoadFromBitmap(TestPicture(124, 94, 6), TBitmap(), "#0");
    test::GifPicture gif{120, 90, {}, {}, false, 0};
    TBitmap mask(120, 90, pf24bit, clBlack);
    for (int i = 0; i < 256; ++i) gif.colors.push_back(GifColorType{uint8_t(i), uint8_t(i), uint8_t(i)});
    for (int y = 0; y < 90; ++y)
      for (int x = 0; x < 120; ++x) {
        const uint8_t v = uint8_t((x * x * 7 + y * 31) ^ (x * y));
        gif.indices.push_back(v);
        mask.SetPixel(x, y, RGB(v, v, v));
      }
    BitmapToPng(mask, png);
    WritePngFile(dir + "/mask.png", png, TPngWriteOptions{});
    EXPECT_TRUE(test::Gm("convert " + dir + "/mask.png GIF:" + dir + "/mask.gif"));
    doc.AddLayer(TestPicture(120, 90, 7), mask, "masque", 80, TPoint{2, 3});
    doc.RenderLayers();
    const Bytes gifMask = test::EncodeGif(gif);
    c.push_back({"GIF mask of giflib's, whole", "qxi", LayeredWithGifMask(doc, gifMask), Copy(doc.ComposedBitmap())});
    c.push_back({"GIF mask of GraphicsMagick's, whole", "qxi",
                 LayeredWithGifMask(doc, test::ReadFileBytes(dir + "/mask.gif")), Copy(doc.ComposedBitmap())});
    c.push_back({"GIF mask, a code beyond the string table", "qxi",
                 LayeredWithGifMask(doc, GifWithCodeBeyondTheTable(gifMask)), {}, "code au-delà de la table LZW"});
    return c;
  }();
  return cases;
}

TEST(DamagedFiles, PicturesHeldInPartFailAndLeaveTheOpenDocumentAsItWas) {
  const std::string dir = TestFolder();
  test::MessageCatcher messages;
  const TBitmap untouched(3, 3, pf24bit, clWhite);
  int n = 0;
  TPictureFileSettings files;
  for (const CutCase& c : CutCases()) {
    const std::string what = c.ext + ", " + c.name;
    const std::string file = dir + "/cut" + std::to_string(n++) + "." + c.ext;
    test::WriteFileBytes(file, c.bytes);
    const TLoadResult r = LoadPicture(file, TLoadRequest{});
    // The editor's road: the bitmap it opens into, and the document of a layered file.
    TBitmap target = Copy(untouched);
    std::string name = file;
    testing::internal::CaptureStderr();
    const int loaded = LoadBitmapFile(files, name, target);
    const std::string err = testing::internal::GetCapturedStderr();
    TLayeredImage open;
    open.LoadFromBitmap(TBitmap(5, 4, pf24bit, RGB(255, 0, 0)), TBitmap(), "ouvert");
    if (!c.opens.Empty()) {
      ASSERT_EQ(r.Result, frDone) << what << ": " << r.Error.Reason;
      EXPECT_TRUE(r.Warnings.empty()) << what << ": " << r.Warnings.front();
      EXPECT_EQ(loaded, 1) << what;
      EXPECT_TRUE(test::SameBitmaps(target, c.opens)) << what;
      if (c.ext == "qxi") {
        LoadLayeredImageFromFile(open, file);
        EXPECT_EQ(open.GetLayerCount(), 2) << what;
      }
      continue;
    }
    EXPECT_EQ(r.Result, frFailed) << what;
    EXPECT_EQ(r.Error.Message, TextId::GetOeMsgErrorOpening) << what << ": " << r.Error.Reason;
    EXPECT_NE(r.Error.Reason.find(c.reason), std::string::npos) << what << ": " << r.Error.Reason;
    EXPECT_EQ(loaded, -1) << what;
    EXPECT_EQ(messages.last, "Impossible d'ouvrir l'image dans le fichier \"" + file + "\" !") << what;
    EXPECT_NE(err.find(file + ": " + r.Error.Reason), std::string::npos) << what << ": " << err;
    EXPECT_TRUE(test::SameBitmaps(target, untouched)) << what;
    if (c.ext == "qxi") {
      EXPECT_THROW(LoadLayeredImageFromFile(open, file), EStreamError) << what;
      ASSERT_EQ(open.GetLayerCount(), 1) << what;
      EXPECT_EQ(open.Layers[0].Name, "ouvert") << what;
      EXPECT_EQ(open.Layers[0].Image.GetPixel(4, 3), RGB(255, 0, 0)) << what;
    }
  }
  EXPECT_EQ(n, 22);
}

// --- JPEG inside TIFF -----------------------------------------------------------------

// Value i of a strip field (a short or a long, in the entry or out of it).
size_t StripFieldAt(const Bytes& b, uint16_t tag, size_t i, bool& isShort) {
  const size_t entry = TiffEntry(b, tag);
  isShort = Get16(b, entry + 2) == TIFF_SHORT;
  const size_t size = isShort ? 2 : 4;
  return (Get32(b, entry + 4) * size <= 4 ? entry + 8 : Get32(b, entry + 8)) + i * size;
}
uint32_t StripField(const Bytes& b, uint16_t tag, size_t i) {
  bool isShort = false;
  const size_t at = StripFieldAt(b, tag, i, isShort);
  return isShort ? Get16(b, at) : Get32(b, at);
}
void PutStripField(Bytes& b, uint16_t tag, size_t i, uint32_t v) {
  bool isShort = false;
  const size_t at = StripFieldAt(b, tag, i, isShort);
  isShort ? Put16(b, at, v) : Put32(b, at, v);
}

// The TIFF with strip i's stream replaced by what damage makes of it (put at the end).
Bytes TiffStripDamaged(Bytes b, size_t strip, const std::function<Bytes(Bytes)>& damage) {
  const uint32_t at = StripField(b, TIFFTAG_STRIPOFFSETS, strip);
  const uint32_t count = StripField(b, TIFFTAG_STRIPBYTECOUNTS, strip);
  const Bytes stream = damage(Bytes(b.begin() + at, b.begin() + at + count));
  PutStripField(b, TIFFTAG_STRIPOFFSETS, strip, uint32_t(b.size()));
  PutStripField(b, TIFFTAG_STRIPBYTECOUNTS, strip, uint32_t(stream.size()));
  b.insert(b.end(), stream.begin(), stream.end());
  return b;
}

// Where the stream's scan header (SOS) starts.
size_t ScanAt(const Bytes& j) {
  for (size_t i = 2; i + 3 < j.size(); i += 2 + (size_t(j[i + 2]) << 8 | j[i + 3])) {
    while (i + 3 < j.size() && j[i] != 0xFF) ++i;  // bytes out of place
    if (j[i + 1] == 0xDA) return i;
  }
  ADD_FAILURE() << "no scan";
  return j.size();
}
Bytes StrayBytesBeforeTheScan(Bytes j) {
  j.insert(j.begin() + ptrdiff_t(ScanAt(j)), {0x12, 0x34});
  return j;
}
Bytes WithoutItsEnd(Bytes j) {
  if (j.size() >= 2) j.erase(j.end() - 2, j.end());
  return j;
}
Bytes CutInItsScan(Bytes j) {
  const size_t scan = ScanAt(j);
  j.resize(scan + (j.size() - scan) / 2);
  return j;
}

TEST(DamagedFiles, AJpegStreamInsideATiffIsJudgedAsAJpegFileIs) {
  const std::string dir = TestFolder();
  const TBitmap photo = TestPicture(97, 61, 8);
  WriteJpegFile(dir + "/whole.jpg", photo, TJpegWriteOptions{90, false});
  const Bytes jpeg = test::ReadFileBytes(dir + "/whole.jpg");
  const Bytes tiff = StripTiff(dir + "/whole.tif", photo, COMPRESSION_JPEG);
  TBitmap tiffPixels, jpegPixels;
  ReadWithGraphicsMagick(dir + "/whole.tif", "TIFF", tiffPixels);
  ReadJpegFile(dir + "/whole.jpg", jpegPixels);
  // libjpeg hands libtiff the first warning of a stream only: the loss after bytes out
  // of place is found all the same.
  const struct {
    const char* name;
    Bytes (*damage)(Bytes);
    bool opens;
  } cases[] = {
      {"without its end marker", WithoutItsEnd, true},
      {"two stray bytes before its scan", StrayBytesBeforeTheScan, true},
      {"cut in its scan", CutInItsScan, false},
      {"stray bytes before its scan, then cut in it", [](Bytes j) { return CutInItsScan(StrayBytesBeforeTheScan(j)); },
       false},
  };
  for (const auto& c : cases)
    for (size_t strip : {size_t(1), size_t(3)}) {  // a middle strip and the shorter last one
      const std::string what = std::string(c.name) + ", strip " + std::to_string(strip);
      test::WriteFileBytes(dir + "/damaged.jpg", c.damage(jpeg));
      test::WriteFileBytes(dir + "/damaged.tif", TiffStripDamaged(tiff, strip, c.damage));
      const TLoadResult asJpeg = LoadPicture(dir + "/damaged.jpg", TLoadRequest{});
      const TLoadResult asTiff = LoadPicture(dir + "/damaged.tif", TLoadRequest{});
      ASSERT_EQ(asJpeg.Result, c.opens ? frDone : frFailed) << what << ": " << asJpeg.Error.Reason;
      ASSERT_EQ(asTiff.Result, c.opens ? frDone : frFailed) << what << ": " << asTiff.Error.Reason;
      if (!c.opens) {
        EXPECT_NE(asTiff.Error.Reason.find("TIFF: JPEGLib: "), std::string::npos) << what << ": " << asTiff.Error.Reason;
        continue;
      }
      EXPECT_FALSE(asJpeg.Warnings.empty()) << what;
      ASSERT_FALSE(asTiff.Warnings.empty()) << what;
      EXPECT_EQ(asTiff.Warnings[0].rfind("TIFF: JPEGLib: ", 0), 0u) << what << ": " << asTiff.Warnings[0];
      EXPECT_TRUE(test::SameBitmaps(asJpeg.Bitmap, jpegPixels)) << what;
      EXPECT_TRUE(test::SameBitmaps(asTiff.Bitmap, tiffPixels)) << what;
      TBitmap gm;
      ReadWithGraphicsMagick(dir + "/damaged.tif", "TIFF", gm);
      EXPECT_TRUE(test::SameBitmaps(asTiff.Bitmap, gm)) << what;
    }
}

TEST(DamagedFiles, WritesTheFuzzSeeds) {
  // The seed corpora of the picture readers' fuzz targets, one folder each:
  // <build>/tests/tmp/pictures/fuzz-seeds/<target>
  const GoodFiles& g = Goods();
  const std::string good = TestFolder();
  auto seed = [](const char* target, const std::string& name, const Bytes& bytes) {
    test::WriteFileBytes(test::TestTmpDir("pictures", std::string("fuzz-seeds/") + target) + "/" + name, bytes);
  };
  const TBitmap small = TestPicture(24, 16, 9);
  // coder: the format gm writes, when the name's extension does not say it all
  auto gm = [&](const char* target, const std::string& name, const std::string& args, const std::string& coder = {}) {
    const std::string file = good + "/seed-" + name;
    ASSERT_TRUE(test::Gm("convert " + good + "/seed.png " + args + " " + coder + file)) << name;
    seed(target, name, test::ReadFileBytes(file));
  };
  TPngImage png;
  BitmapToPng(small, png);
  WritePngFile(good + "/seed.png", png, TPngWriteOptions{});
  seed("PngCodec", "rgb.png", test::ReadFileBytes(good + "/seed.png"));
  seed("PngCodec", "tiny.png", g.tinyPng);
  gm("PngCodec", "interlaced.png", "-interlace Line");
  gm("PngCodec", "palette.png", "-colors 16", "PNG8:");
  gm("PngCodec", "grey16.png", "-colorspace gray -depth 16");
  WriteJpegFile(good + "/seed.jpg", small, TJpegWriteOptions{80, false});
  seed("JpegCodec", "baseline.jpg", test::ReadFileBytes(good + "/seed.jpg"));
  WriteJpegFile(good + "/seed.jpg", small, TJpegWriteOptions{80, true});
  seed("JpegCodec", "progressive.jpg", test::ReadFileBytes(good + "/seed.jpg"));
  gm("JpegCodec", "grey.jpg", "-colorspace gray");
  gm("JpegCodec", "cmyk.jpg", "-colorspace cmyk");
  seed("GifCodec", "frame.gif", g.gif);
  seed("GifCodec", "tiny.gif", TinyHugeGif());
  gm("GifCodec", "interlaced.gif", "-interlace Line");
  gm("GifCodec", "animated.gif", "-delay 10 " + good + "/seed.png -loop 0");
  seed("TiffCodec", "palette.tif", g.palette);
  gm("TiffCodec", "lzw.tif", "-compress LZW");
  gm("TiffCodec", "tiled.tif", "-define tiff:tile-geometry=16x16");
  gm("TiffCodec", "jpeg.tif", "-compress JPEG");
  gm("TiffCodec", "bilevel.tif", "-monochrome -compress Group4");
  WriteBmpFile(good + "/seed.bmp", small);
  seed("GmCodec", "rgb.bmp", test::ReadFileBytes(good + "/seed.bmp"));
  gm("GmCodec", "palette.bmp", "-colors 16", "BMP3:");
  gm("GmCodec", "rle.bmp", "-colors 100 -compress RLE", "BMP3:");
  gm("GmCodec", "alpha.bmp", "-matte", "BMP:");
  // the whole and damaged files of the table above; layered files with the seeds of
  // the layered file's own tests
  int n = 0;
  for (const CutCase& c : CutCases()) {
    const std::string name = "cut" + std::to_string(n++) + "." + c.ext;
    if (c.ext == "qxi")
      test::WriteFileBytes(test::TestTmpDir("layeredfile", "fuzz-seeds") + "/" + name, c.bytes);
    else
      seed(c.ext == "tif" ? "TiffCodec" : "GmCodec", name, c.bytes);
  }
  seed("IconReader", "two.ico", g.icon);
  seed("IconReader", "png.ico", IconOfPng(g.tinyPng));
  EXPECT_TRUE(std::filesystem::exists(test::TestTmpDir("pictures", "fuzz-seeds/IconReader") + "/png.ico"));
}

}  // namespace
}  // namespace qm
