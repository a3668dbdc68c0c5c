#include "imagefiles/TiffCodec.h"

#include <tiffio.h>

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <memory>
#include <vector>

#include "platform/core/Exceptions.h"
#include "imagefiles/ImageFileUtils.h"

namespace qm {

namespace {

struct TTiffMessages {
  std::string error;
};

int OnError(TIFF*, void* user, const char* module, const char* fmt, va_list ap) {
  auto* m = static_cast<TTiffMessages*>(user);
  if (m && m->error.empty()) {
    char buf[512];
    std::vsnprintf(buf, sizeof buf, fmt, ap);
    m->error = std::string(module ? module : "TIFF") + ": " + buf;
  }
  return 1;  // handled: nothing goes to the standard error stream
}

int OnWarning(TIFF*, void*, const char*, const char*, va_list) { return 1; }

struct TTiffCloser {
  void operator()(TIFF* t) const {
    if (t) TIFFClose(t);
  }
};

// Colour from a premultiplied sample.
inline uint8_t Unpremultiply(unsigned c, unsigned a) {
  if (a == 0) return 0;
  const unsigned v = (c * 255 + a / 2) / a;
  return uint8_t(v > 255 ? 255 : v);
}

}  // namespace

void ReadTiffFile(const std::string& fileName, TBitmap& out) {
  TTiffMessages msgs;
  std::unique_ptr<TIFFOpenOptions, void (*)(TIFFOpenOptions*)> opts(TIFFOpenOptionsAlloc(), TIFFOpenOptionsFree);
  if (!opts) throw EInvalidGraphic("libtiff");
  TIFFOpenOptionsSetErrorHandlerExtR(opts.get(), OnError, &msgs);
  TIFFOpenOptionsSetWarningHandlerExtR(opts.get(), OnWarning, nullptr);
  // No single allocation of a damaged file may exceed what a picture of the largest
  // size we read needs.
  TIFFOpenOptionsSetMaxSingleMemAlloc(opts.get(), tmsize_t(1) << 31);
  std::unique_ptr<TIFF, TTiffCloser> tif(TIFFOpenExt(fileName.c_str(), "r", opts.get()));
  auto fail = [&](const char* what) -> void {
    throw EInvalidGraphic(std::string("TIFF: ") + (msgs.error.empty() ? what : msgs.error));
  };
  if (!tif) fail("cannot open");
  uint32_t w = 0, h = 0;
  uint16_t spp = 1, bps = 1, photometric = 0, planar = PLANARCONFIG_CONTIG, orientation = ORIENTATION_TOPLEFT;
  uint16_t extraCount = 0;
  uint16_t* extra = nullptr;
  if (!TIFFGetField(tif.get(), TIFFTAG_IMAGEWIDTH, &w) || !TIFFGetField(tif.get(), TIFFTAG_IMAGELENGTH, &h))
    fail("no image size");
  TIFFGetFieldDefaulted(tif.get(), TIFFTAG_SAMPLESPERPIXEL, &spp);
  TIFFGetFieldDefaulted(tif.get(), TIFFTAG_BITSPERSAMPLE, &bps);
  TIFFGetFieldDefaulted(tif.get(), TIFFTAG_PLANARCONFIG, &planar);
  TIFFGetFieldDefaulted(tif.get(), TIFFTAG_ORIENTATION, &orientation);
  TIFFGetFieldDefaulted(tif.get(), TIFFTAG_EXTRASAMPLES, &extraCount, &extra);
  if (!TIFFGetField(tif.get(), TIFFTAG_PHOTOMETRIC, &photometric)) photometric = PHOTOMETRIC_MINISWHITE;
  if (w < 1 || h < 1 || w > uint32_t(kMaxBitmapSide) || h > uint32_t(kMaxBitmapSide) ||
      uint64_t(w) * h > kMaxReadPixels)
    fail("image size out of range");
  // The first extra sample is the alpha channel when it says so (or says nothing
  // and the picture has exactly one sample beyond its colours).
  const int colorSamples = photometric == PHOTOMETRIC_RGB || photometric == PHOTOMETRIC_YCBCR ? 3
                           : photometric == PHOTOMETRIC_SEPARATED                             ? 4
                                                                                               : 1;
  const bool hasAlpha = extraCount > 0 && extra &&
                        (extra[0] == EXTRASAMPLE_ASSOCALPHA || extra[0] == EXTRASAMPLE_UNASSALPHA ||
                         (extra[0] == EXTRASAMPLE_UNSPECIFIED && spp == colorSamples + 1));
  const bool premultiplied = hasAlpha && extra[0] != EXTRASAMPLE_UNASSALPHA;
  TBitmap bmp(int(w), int(h), hasAlpha ? pf32bit : pf24bit, clBlack);

  // Fast path: 8-bit RGB(A) or grey in strips, rows top to bottom: decoded row by row
  // straight into the bitmap.
  const bool fast = bps == 8 && planar == PLANARCONFIG_CONTIG && orientation == ORIENTATION_TOPLEFT &&
                    !TIFFIsTiled(tif.get()) &&
                    ((photometric == PHOTOMETRIC_RGB && (spp == 3 || (spp == 4 && hasAlpha))) ||
                     (photometric == PHOTOMETRIC_MINISBLACK && spp == 1));
  if (fast) {
    std::vector<uint8_t> row(size_t(TIFFScanlineSize(tif.get())));
    if (row.size() < size_t(w) * spp) fail("scanline size");
    for (uint32_t y = 0; y < h; ++y) {
      if (TIFFReadScanline(tif.get(), row.data(), y, 0) < 0) fail("damaged data");
      uint8_t* d = bmp.ScanLine(int(y));
      const uint8_t* s = row.data();
      if (spp == 1) {
        for (uint32_t x = 0; x < w; ++x, d += 3) d[0] = d[1] = d[2] = s[x];
      } else if (spp == 3) {
        for (uint32_t x = 0; x < w; ++x, s += 3, d += 3) {
          d[0] = s[2];
          d[1] = s[1];
          d[2] = s[0];
        }
      } else {
        for (uint32_t x = 0; x < w; ++x, s += 4, d += 4) {
          const uint8_t a = s[3];
          if (premultiplied) {
            d[0] = Unpremultiply(s[2], a);
            d[1] = Unpremultiply(s[1], a);
            d[2] = Unpremultiply(s[0], a);
          } else {
            d[0] = s[2];
            d[1] = s[1];
            d[2] = s[0];
          }
          d[3] = a;
        }
      }
    }
  } else {
    char emsg[1024] = {};
    if (!TIFFRGBAImageOK(tif.get(), emsg)) fail(emsg);
    std::vector<uint32_t> raster(size_t(w) * size_t(h));
    if (!TIFFReadRGBAImageOriented(tif.get(), w, h, raster.data(), ORIENTATION_TOPLEFT, 0)) fail("damaged data");
    // libtiff's RGBA interface hands out premultiplied colour for both kinds of alpha.
    for (uint32_t y = 0; y < h; ++y) {
      const uint32_t* s = raster.data() + size_t(y) * w;
      uint8_t* d = bmp.ScanLine(int(y));
      if (!hasAlpha) {
        for (uint32_t x = 0; x < w; ++x, d += 3) {
          d[0] = uint8_t(TIFFGetB(s[x]));
          d[1] = uint8_t(TIFFGetG(s[x]));
          d[2] = uint8_t(TIFFGetR(s[x]));
        }
      } else {
        for (uint32_t x = 0; x < w; ++x, d += 4) {
          const unsigned a = TIFFGetA(s[x]);
          d[0] = Unpremultiply(TIFFGetB(s[x]), a);
          d[1] = Unpremultiply(TIFFGetG(s[x]), a);
          d[2] = Unpremultiply(TIFFGetR(s[x]), a);
          d[3] = uint8_t(a);
        }
      }
    }
  }
  out = std::move(bmp);
}

}  // namespace qm
