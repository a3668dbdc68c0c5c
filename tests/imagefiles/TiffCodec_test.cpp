#include "imagefiles/TiffCodec.h"

#include <gtest/gtest.h>
#include <tiffio.h>

#include "platform/core/Exceptions.h"
#include "imagefiles/ImageFilesTest.h"
#include "support/TestImages.h"

namespace qm {
namespace {

using test::SameBitmaps;
using test::TestFolder;
using test::TestPicture;

struct TiffLayout {
  uint16_t compression = COMPRESSION_NONE;
  uint16_t photometric = PHOTOMETRIC_RGB;
  uint16_t spp = 3, bps = 8;
  uint16_t planar = PLANARCONFIG_CONTIG;
  int extra = -1;  // extra sample kind of the fourth sample
  bool tiled = false;
  uint16_t orientation = ORIENTATION_TOPLEFT;
};

// Writes samples(x, y, s) (0..255, widened for 16 bits) in the layout with libtiff.
template <class Samples>
void WriteTiffWith(const std::string& path, int w, int h, const TiffLayout& l, Samples samples) {
  TIFF* t = TIFFOpen(path.c_str(), "w");
  ASSERT_NE(t, nullptr);
  TIFFSetField(t, TIFFTAG_IMAGEWIDTH, uint32_t(w));
  TIFFSetField(t, TIFFTAG_IMAGELENGTH, uint32_t(h));
  TIFFSetField(t, TIFFTAG_SAMPLESPERPIXEL, l.spp);
  TIFFSetField(t, TIFFTAG_BITSPERSAMPLE, l.bps);
  TIFFSetField(t, TIFFTAG_PHOTOMETRIC, l.photometric);
  TIFFSetField(t, TIFFTAG_COMPRESSION, l.compression);
  TIFFSetField(t, TIFFTAG_PLANARCONFIG, l.planar);
  TIFFSetField(t, TIFFTAG_ORIENTATION, l.orientation);
  if (l.photometric == PHOTOMETRIC_SEPARATED) TIFFSetField(t, TIFFTAG_INKSET, INKSET_CMYK);
  if (l.compression == COMPRESSION_JPEG) {
    TIFFSetField(t, TIFFTAG_JPEGQUALITY, 95);
  }
  if (l.extra >= 0) {
    const uint16_t kinds[1] = {uint16_t(l.extra)};
    TIFFSetField(t, TIFFTAG_EXTRASAMPLES, 1, kinds);
  }
  if (l.photometric == PHOTOMETRIC_PALETTE) {
    std::vector<uint16_t> r(256), g(256), b(256);
    for (int i = 0; i < 256; ++i) {
      r[size_t(i)] = uint16_t(i * 257);
      g[size_t(i)] = uint16_t((255 - i) * 257);
      b[size_t(i)] = uint16_t((i * 3 % 256) * 257);
    }
    TIFFSetField(t, TIFFTAG_COLORMAP, r.data(), g.data(), b.data());
  }
  const int planes = l.planar == PLANARCONFIG_SEPARATE ? l.spp : 1;
  const int perPixel = l.planar == PLANARCONFIG_SEPARATE ? 1 : l.spp;
  if (l.tiled) {
    TIFFSetField(t, TIFFTAG_TILEWIDTH, 16);
    TIFFSetField(t, TIFFTAG_TILELENGTH, 16);
    std::vector<uint8_t> tile(static_cast<size_t>(TIFFTileSize(t)));
    for (int p = 0; p < planes; ++p)
      for (int ty = 0; ty < h; ty += 16)
        for (int tx = 0; tx < w; tx += 16) {
          std::fill(tile.begin(), tile.end(), 0);
          for (int y = 0; y < 16 && ty + y < h; ++y)
            for (int x = 0; x < 16 && tx + x < w; ++x)
              for (int s = 0; s < perPixel; ++s)
                tile[size_t((y * 16 + x) * perPixel + s)] = uint8_t(samples(tx + x, ty + y, p + s));
          ASSERT_GE(TIFFWriteTile(t, tile.data(), uint32_t(tx), uint32_t(ty), 0, uint16_t(p)), 0);
        }
  } else {
    TIFFSetField(t, TIFFTAG_ROWSPERSTRIP, l.compression == COMPRESSION_JPEG ? 16u : 7u);
    const tmsize_t rowBytes = TIFFScanlineSize(t);
    std::vector<uint8_t> row(static_cast<size_t>(rowBytes));
    for (int p = 0; p < planes; ++p)
      for (int y = 0; y < h; ++y) {
        std::fill(row.begin(), row.end(), 0);
        for (int x = 0; x < w; ++x)
          for (int s = 0; s < perPixel; ++s) {
            const int v = samples(x, y, p + s);
            if (l.bps == 16) {
              row[size_t((x * perPixel + s) * 2)] = uint8_t(v);  // little-endian v * 257
              row[size_t((x * perPixel + s) * 2 + 1)] = uint8_t(v);
            } else if (l.bps == 8) {
              row[size_t(x * perPixel + s)] = uint8_t(v);
            } else if (l.bps == 1) {
              if (v) row[size_t(x / 8)] |= uint8_t(0x80 >> (x % 8));
            }
          }
        ASSERT_GE(TIFFWriteScanline(t, row.data(), uint32_t(y), uint16_t(p)), 0);
      }
  }
  TIFFClose(t);
}

TEST(TiffCodec, RgbInEveryLosslessCompressionReadsExactly) {
  const std::string dir = TestFolder();
  const TBitmap src = TestPicture(45, 29);
  auto samples = [&](int x, int y, int s) { return int(src.ScanLine(y)[3 * x + 2 - s]); };
  for (uint16_t c : {COMPRESSION_NONE, COMPRESSION_LZW, COMPRESSION_PACKBITS, COMPRESSION_ADOBE_DEFLATE}) {
    for (bool tiled : {false, true}) {
      for (uint16_t planar : {PLANARCONFIG_CONTIG, PLANARCONFIG_SEPARATE}) {
        TiffLayout l;
        l.compression = c;
        l.tiled = tiled;
        l.planar = planar;
        const std::string f = dir + "/rgb.tif";
        WriteTiffWith(f, 45, 29, l, samples);
        TBitmap back;
        ReadTiffFile(f, back);
        ASSERT_TRUE(SameBitmaps(src, back)) << c << " " << tiled << " " << planar;
      }
    }
  }
  // 16 bits per sample are narrowed to 8.
  TiffLayout l16;
  l16.bps = 16;
  WriteTiffWith(dir + "/rgb16.tif", 45, 29, l16, samples);
  TBitmap back;
  ReadTiffFile(dir + "/rgb16.tif", back);
  EXPECT_TRUE(SameBitmaps(src, back));
  // Rows stored bottom up come back top down.
  TiffLayout flip;
  flip.orientation = ORIENTATION_BOTLEFT;
  WriteTiffWith(dir + "/flip.tif", 45, 29, flip, [&](int x, int y, int s) { return samples(x, 28 - y, s); });
  ReadTiffFile(dir + "/flip.tif", back);
  EXPECT_TRUE(SameBitmaps(src, back));
}

TEST(TiffCodec, AlphaGreyPaletteBilevelCmykAndJpeg) {
  const std::string dir = TestFolder();
  const TBitmap rgba = test::RandomBitmap(21, 13, 4, pf32bit);
  auto rgbaSample = [&](int x, int y, int s) {
    const uint8_t* p = rgba.ScanLine(y) + 4 * x;
    return int(s == 3 ? p[3] : p[2 - s]);
  };
  TiffLayout la;
  la.spp = 4;
  la.extra = EXTRASAMPLE_UNASSALPHA;
  WriteTiffWith(dir + "/a.tif", 21, 13, la, rgbaSample);
  TBitmap back;
  ReadTiffFile(dir + "/a.tif", back);
  EXPECT_TRUE(SameBitmaps(rgba, back));  // straight alpha comes back exactly
  la.tiled = true;                        // the same through libtiff's RGBA interface
  WriteTiffWith(dir + "/at.tif", 21, 13, la, rgbaSample);
  ReadTiffFile(dir + "/at.tif", back);
  ASSERT_EQ(back.PixelFormat(), pf32bit);
  for (int y = 0; y < 13; ++y)
    for (int x = 0; x < 21; ++x) {
      const uint8_t *p = rgba.ScanLine(y) + 4 * x, *q = back.ScanLine(y) + 4 * x;
      ASSERT_EQ(q[3], p[3]);
      // premultiplied on the way: colour within what the alpha can carry
      if (p[3] > 16) {
        for (int k = 0; k < 3; ++k) ASSERT_NEAR(q[k], p[k], 255 / p[3] + 1) << x << "," << y;
      }
    }

  TiffLayout grey;
  grey.photometric = PHOTOMETRIC_MINISBLACK;
  grey.spp = 1;
  WriteTiffWith(dir + "/g.tif", 20, 10, grey, [](int x, int y, int) { return x * 12 + y; });
  ReadTiffFile(dir + "/g.tif", back);
  EXPECT_EQ(back.GetPixel(7, 3), RGB(87, 87, 87));

  TiffLayout pal;
  pal.photometric = PHOTOMETRIC_PALETTE;
  pal.spp = 1;
  WriteTiffWith(dir + "/p.tif", 20, 10, pal, [](int x, int y, int) { return x * 10 + y; });
  ReadTiffFile(dir + "/p.tif", back);
  EXPECT_EQ(back.GetPixel(5, 2), RGB(52, 255 - 52, 52 * 3 % 256));

  for (uint16_t c : {COMPRESSION_NONE, COMPRESSION_CCITTFAX3, COMPRESSION_CCITTFAX4, COMPRESSION_PACKBITS}) {
    TiffLayout bi;
    bi.photometric = PHOTOMETRIC_MINISWHITE;
    bi.spp = 1;
    bi.bps = 1;
    bi.compression = c;
    WriteTiffWith(dir + "/fax.tif", 40, 12, bi, [](int x, int y, int) { return (x + y) % 3 == 0; });
    ReadTiffFile(dir + "/fax.tif", back);
    ASSERT_EQ(back.Width(), 40) << c;
    EXPECT_EQ(back.GetPixel(3, 0), clBlack) << c;  // a set bit is black in min-is-white
    EXPECT_EQ(back.GetPixel(4, 0), clWhite) << c;
  }

  TiffLayout cmyk;
  cmyk.photometric = PHOTOMETRIC_SEPARATED;
  cmyk.spp = 4;
  WriteTiffWith(dir + "/c.tif", 8, 8, cmyk, [](int, int, int s) { return s == 1 ? 255 : 0; });  // magenta ink
  ReadTiffFile(dir + "/c.tif", back);
  EXPECT_EQ(back.PixelFormat(), pf24bit);
  EXPECT_EQ(back.GetPixel(4, 4), RGB(255, 0, 255));

  const TBitmap src = TestPicture(48, 32, 7, true);
  TiffLayout jpeg;
  jpeg.compression = COMPRESSION_JPEG;
  WriteTiffWith(dir + "/j.tif", 48, 32, jpeg, [&](int x, int y, int s) { return int(src.ScanLine(y)[3 * x + 2 - s]); });
  ReadTiffFile(dir + "/j.tif", back);
  EXPECT_GT(test::Psnr(src, back), 35);
}

TEST(TiffCodec, DamagedFilesThrow) {
  const std::string dir = TestFolder();
  TBitmap back(3, 3, pf24bit, clWhite);
  EXPECT_THROW(ReadTiffFile(dir + "/missing.tif", back), EInvalidGraphic);
  test::WriteFileBytes(dir + "/junk.tif", std::vector<uint8_t>(64, 0x49));
  EXPECT_THROW(ReadTiffFile(dir + "/junk.tif", back), EInvalidGraphic);
  TiffLayout l;
  l.compression = COMPRESSION_LZW;
  WriteTiffWith(dir + "/ok.tif", 64, 64, l, [](int x, int y, int s) { return (x * y + s) & 255; });
  std::vector<uint8_t> bytes = test::ReadFileBytes(dir + "/ok.tif");
  // The directory sits at the end with libtiff: cut into the strips instead.
  for (size_t i = 200; i < 1200 && i < bytes.size(); ++i) bytes[i] ^= 0x5A;
  test::WriteFileBytes(dir + "/bad.tif", bytes);
  try {
    ReadTiffFile(dir + "/bad.tif", back);
  } catch (const EInvalidGraphic&) {
  }
  EXPECT_EQ(back.Width() == 3 || back.Width() == 64, true);
}

}  // namespace
}  // namespace qm
