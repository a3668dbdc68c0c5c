#include "imagefiles/TiffCodec.h"

#include <tiffio.h>

#include <algorithm>
#include <cctype>
#include <cstdarg>
#include <cstdio>
#include <iterator>
#include <memory>
#include <optional>
#include <string_view>
#include <vector>

#include "imagefiles/JpegCodec.h"
#include "platform/core/Exceptions.h"

namespace qm {

namespace {

// What libtiff said while it read: its first error (every error is a failure, also
// one a call then goes past), its first warning that the pixels it gives are not the
// file's (a dropped tag they depend on: a palette picture whose colour map is cut off
// reads as grey; data missing or a strip of the wrong size: the decoder invents the
// rows it lacks), the strips or tiles whose JPEG decoder warned, to be judged as a
// JPEG file is, and the other warnings, for the picture.
struct TTiffMessages {
  std::string error;
  std::string damage;
  std::vector<uint32_t> jpegStreams;
  const TDecodeOptions* options = nullptr;
  int warnings = 0;
};

constexpr int kMaxWarnings = 8;

std::string Message(const char* module, const char* fmt, va_list ap) {
  char buf[512];
  std::vsnprintf(buf, sizeof buf, fmt, ap);
  return std::string(module ? module : "TIFF") + ": " + buf;
}

int OnError(TIFF*, void* user, const char* module, const char* fmt, va_list ap) {
  auto* m = static_cast<TTiffMessages*>(user);
  try {
    if (m && m->error.empty()) m->error = Message(module, fmt, ap);
  } catch (...) {
  }
  return 1;  // handled: nothing goes to the standard error stream
}

// The tags whose loss changes what the pixels are. The byte counts of strips and
// tiles are not among them: libtiff works them out again from the picture's size, and
// data that then falls short is an error of its own.
constexpr ttag_t kPixelTags[] = {
    TIFFTAG_IMAGEWIDTH,   TIFFTAG_IMAGELENGTH,  TIFFTAG_BITSPERSAMPLE, TIFFTAG_COMPRESSION,  TIFFTAG_PHOTOMETRIC,
    TIFFTAG_FILLORDER,    TIFFTAG_STRIPOFFSETS, TIFFTAG_ORIENTATION,   TIFFTAG_SAMPLESPERPIXEL, TIFFTAG_ROWSPERSTRIP,
    TIFFTAG_PLANARCONFIG, TIFFTAG_COLORMAP,     TIFFTAG_TILEWIDTH,     TIFFTAG_TILELENGTH,   TIFFTAG_TILEOFFSETS,
    TIFFTAG_EXTRASAMPLES, TIFFTAG_SAMPLEFORMAT, TIFFTAG_JPEGTABLES,    TIFFTAG_YCBCRSUBSAMPLING,
};

bool IsWordChar(char c) { return std::isalnum(static_cast<unsigned char>(c)) != 0; }

// libtiff says "...; tag ignored" or "Ignoring ..." with the field's name when it
// drops a tag it cannot read.
bool DropsPixelTag(TIFF* tif, const std::string& text) {
  std::string lower = text;
  for (char& c : lower) c = char(std::tolower(static_cast<unsigned char>(c)));
  if (lower.find("ignor") == std::string::npos) return false;
  for (ttag_t tag : kPixelTags) {
    const TIFFField* field = tif ? TIFFFindField(tif, tag, TIFF_ANY) : nullptr;  // quietly: no error
    const char* name = field ? TIFFFieldName(field) : nullptr;
    if (!name || !*name) continue;
    const std::string n(name);
    for (size_t at = text.find(n); at != std::string::npos; at = text.find(n, at + 1)) {
      const size_t end = at + n.size();
      if ((at == 0 || !IsWordChar(text[at - 1])) && (end == text.size() || !IsWordChar(text[end]))) return true;
    }
  }
  return false;
}

// The codecs' warnings that data is missing or a strip or line is not of the
// picture's size. libtiff goes on after each of them and hands out the strip whole:
// grey or black rows, a fax line padded with its background, a run cut at the end of
// its row.
constexpr const char* kDataLossWarnings[] = {
    "Premature EOF",                  // fax: the strip ends inside a line
    "Premature EOL",                  // fax: a line shorter than the width
    "Line length mismatch",           // fax: a line longer than the width
    "Improper JPEG strip/tile size",  // a JPEG stream narrower or lower than its strip
    "Premature end of JPEG data",     // old-style JPEG
    "to avoid buffer overrun",        // PackBits: a run beyond its row, the rest dropped
    "due to lack of data",            // PackBits
    "Not enough data",
    "less lines than expected",       // WebP
};

bool LosesData(const std::string& text) {
  return std::any_of(std::begin(kDataLossWarnings), std::end(kDataLossWarnings),
                     [&](const char* words) { return text.find(words) != std::string::npos; });
}

bool IsJpegLibrary(const char* module) { return module && std::string_view(module) == "JPEGLib"; }

// The strip or tile libtiff is decoding, or none.
std::optional<uint32_t> CurrentStrile(TIFF* tif) {
  if (!tif) return std::nullopt;
  const bool tiled = TIFFIsTiled(tif) != 0;
  const uint32_t strile = tiled ? TIFFCurrentTile(tif) : TIFFCurrentStrip(tif);
  if (strile >= (tiled ? TIFFNumberOfTiles(tif) : TIFFNumberOfStrips(tif))) return std::nullopt;
  return strile;
}

int OnWarning(TIFF* tif, void* user, const char* module, const char* fmt, va_list ap) {
  auto* m = static_cast<TTiffMessages*>(user);
  if (!m) return 1;
  try {
    std::string text = Message(module, fmt, ap);
    // libjpeg's first warning of a strip hides the others: whether pixels are lost is
    // judged afterwards, on the strip's stream as a whole.
    std::optional<uint32_t> strile;
    if (IsJpegLibrary(module) && (strile = CurrentStrile(tif))) {
      if (std::find(m->jpegStreams.begin(), m->jpegStreams.end(), *strile) == m->jpegStreams.end())
        m->jpegStreams.push_back(*strile);
    }
    if (IsJpegLibrary(module) ? !strile : LosesData(text) || DropsPixelTag(tif, text)) {
      if (m->damage.empty()) m->damage = std::move(text);
    } else if (m->options && m->warnings <= kMaxWarnings) {
      m->options->Warn(++m->warnings > kMaxWarnings ? std::string("TIFF: further warnings left out")
                                                    : "TIFF: " + text);
    }
  } catch (...) {
  }
  return 1;
}

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

// The first of the strips or tiles whose JPEG decoder warned that loses pixels, judged
// as the JPEG reader judges a file: its stream read raw, the file's tables before it.
std::string JpegStreamsDamage(TIFF* tif, const std::vector<uint32_t>& striles, const TPictureLimit& limit) {
  uint32_t tablesSize = 0;
  void* tables = nullptr;
  if (!TIFFGetField(tif, TIFFTAG_JPEGTABLES, &tablesSize, &tables)) tablesSize = 0;
  const bool tiled = TIFFIsTiled(tif) != 0;
  for (const uint32_t strile : striles) {
    const uint64_t size = TIFFGetStrileByteCount(tif, strile);
    if (size == 0 || size > std::max<uint64_t>(limit.MaxBytes, 1u << 20)) return "JPEGLib: strip size";
    std::vector<uint8_t> raw(size_t(size), 0);
    const tmsize_t read = tiled ? TIFFReadRawTile(tif, strile, raw.data(), tmsize_t(size))
                                : TIFFReadRawStrip(tif, strile, raw.data(), tmsize_t(size));
    if (read <= 0) return "JPEGLib: strip unreadable";
    const std::string damage =
        JpegStreamDamage(static_cast<const uint8_t*>(tables), tablesSize, raw.data(), size_t(read), limit);
    if (!damage.empty()) return "JPEGLib: " + damage;
  }
  return {};
}

}  // namespace

void ReadTiffFile(const std::string& fileName, TBitmap& out, const TDecodeOptions& options) {
  TTiffMessages msgs;
  msgs.options = &options;
  std::unique_ptr<TIFFOpenOptions, void (*)(TIFFOpenOptions*)> opts(TIFFOpenOptionsAlloc(), TIFFOpenOptionsFree);
  if (!opts) throw EInvalidGraphic("libtiff");
  TIFFOpenOptionsSetErrorHandlerExtR(opts.get(), OnError, &msgs);
  TIFFOpenOptionsSetWarningHandlerExtR(opts.get(), OnWarning, &msgs);
  // No single allocation of a damaged file may exceed what the largest picture we take
  // needs (with room for the library's own buffers of a small one).
  TIFFOpenOptionsSetMaxSingleMemAlloc(opts.get(), tmsize_t(std::max<uint64_t>(options.Limit.MaxBytes, 64u << 20)));
  std::unique_ptr<TIFF, TTiffCloser> tif(TIFFOpenExt(fileName.c_str(), "r", opts.get()));
  // The reason: libtiff's error, else its warning of damage, else what failed.
  auto fail = [&](const std::string& what) -> void {
    throw EInvalidGraphic("TIFF: " + (!msgs.error.empty() ? msgs.error : !msgs.damage.empty() ? msgs.damage : what));
  };
  // After each step: an error is a failure whatever the call answered, and so is a
  // warning of damage.
  auto check = [&] {
    if (!msgs.error.empty() || !msgs.damage.empty()) fail({});
  };
  if (!tif) fail("cannot open");
  check();
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

  // The first extra sample is the alpha channel when it says so (or says nothing
  // and the picture has exactly one sample beyond its colours).
  const int colorSamples = photometric == PHOTOMETRIC_RGB || photometric == PHOTOMETRIC_YCBCR ? 3
                           : photometric == PHOTOMETRIC_SEPARATED                             ? 4
                                                                                               : 1;
  const bool hasAlpha = extraCount > 0 && extra &&
                        (extra[0] == EXTRASAMPLE_ASSOCALPHA || extra[0] == EXTRASAMPLE_UNASSALPHA ||
                         (extra[0] == EXTRASAMPLE_UNSPECIFIED && spp == colorSamples + 1));
  const bool premultiplied = hasAlpha && extra[0] != EXTRASAMPLE_UNASSALPHA;
  options.Limit.Check(w, h, hasAlpha ? 32 : 24);

  // Fast path: 8-bit RGB(A) or grey in strips, rows top to bottom: decoded row by row
  // straight into the bitmap.
  const bool fast = bps == 8 && planar == PLANARCONFIG_CONTIG && orientation == ORIENTATION_TOPLEFT &&
                    !TIFFIsTiled(tif.get()) &&
                    ((photometric == PHOTOMETRIC_RGB && (spp == 3 || (spp == 4 && hasAlpha))) ||
                     (photometric == PHOTOMETRIC_MINISBLACK && spp == 1));
  // Every row of the bitmap is written below before it is handed out.
  TBitmap bmp = TBitmap::Uninitialized(int(w), int(h), hasAlpha ? pf32bit : pf24bit);
  if (fast) {
    std::vector<uint8_t> row(size_t(TIFFScanlineSize(tif.get())));
    if (row.size() < size_t(w) * spp) fail("scanline size");
    for (uint32_t y = 0; y < h; ++y) {
      if (TIFFReadScanline(tif.get(), row.data(), y, 0) < 0) fail("damaged data");
      check();
      bmp.ZeroRowPadding(int(y));
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
    options.Limit.CheckWorkingMemory(w, h, uint64_t(w) * h * sizeof(uint32_t));
    // Filled whole by libtiff, which stops at the first error.
    std::unique_ptr<uint32_t[]> raster(new uint32_t[size_t(w) * size_t(h)]);
    if (!TIFFReadRGBAImageOriented(tif.get(), w, h, raster.get(), ORIENTATION_TOPLEFT, 1)) fail("damaged data");
    check();
    // libtiff's RGBA interface hands out premultiplied colour for both kinds of alpha.
    for (uint32_t y = 0; y < h; ++y) {
      const uint32_t* s = raster.get() + size_t(y) * w;
      bmp.ZeroRowPadding(int(y));
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
  if (!msgs.jpegStreams.empty()) {
    msgs.damage = JpegStreamsDamage(tif.get(), msgs.jpegStreams, options.Limit);
    check();
  }
  out = std::move(bmp);
}

}  // namespace qm
