#include "imagefiles/PngCodec.h"

#include <png.h>
#include <sys/stat.h>

#include <algorithm>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

#include "platform/core/Exceptions.h"
#include "platform/core/Colors.h"
#include "platform/core/Parallel.h"
#include "platform/core/Stream.h"

namespace qm {

namespace {

// libpng reports errors by longjmp to png_jmpbuf. As with libjpeg, each phase holding a
// setjmp keeps only plain C locals; the C++ objects it fills belong to its caller.
struct TPngError {
  char message[256] = {};
  const TDecodeOptions* options = nullptr;  // reading: where warnings go
  int warnings = 0;
};

void OnError(png_structp png, png_const_charp msg) {
  auto* err = static_cast<TPngError*>(png_get_error_ptr(png));
  if (err) std::snprintf(err->message, sizeof err->message, "%s", msg ? msg : "libpng error");
  png_longjmp(png, 1);
}

constexpr int kMaxWarnings = 8;

// libpng's errors are fatal (a picture that ends early or whose data is damaged fails);
// its warnings concern a picture it reads whole (an ancillary chunk it skipped, extra
// data after the pixels) and go on with it.
void OnWarning(png_structp png, png_const_charp msg) {
  auto* err = static_cast<TPngError*>(png_get_error_ptr(png));
  if (!err || !err->options || err->warnings > kMaxWarnings) return;
  try {
    err->options->Warn(++err->warnings > kMaxWarnings ? std::string("PNG: further warnings left out")
                                                      : std::string("PNG: ") + (msg ? msg : ""));
  } catch (...) {
  }
}

struct TFileCloser {
  void operator()(FILE* f) const {
    if (f) std::fclose(f);
  }
};
using TFilePtr = std::unique_ptr<FILE, TFileCloser>;

// The picture's layout after the read transforms.
struct TReadInfo {
  png_uint_32 width, height;
  int colorType, bitDepth, interlace;
  int outType;  // 0 indexed, 1 RGB, 2 RGBA
  int paletteCount;
  png_color palette[256];
  int transCount;
  png_byte trans[256];
  int hasKey;
  png_uint_16 keyR, keyG, keyB;
};

bool ReadHeader(png_structp png, png_infop info, FILE* f, TReadInfo* ri) {
  if (setjmp(png_jmpbuf(png))) return false;
  png_init_io(png, f);
  png_read_info(png, info);
  png_get_IHDR(png, info, &ri->width, &ri->height, &ri->bitDepth, &ri->colorType, &ri->interlace, nullptr,
               nullptr);
  ri->paletteCount = 0;
  ri->transCount = 0;
  ri->hasKey = 0;
  const int ct = ri->colorType;
  if (ct == PNG_COLOR_TYPE_PALETTE) {
    png_colorp pal = nullptr;
    int n = 0;
    if (png_get_PLTE(png, info, &pal, &n) && pal && n > 0) {
      ri->paletteCount = std::min(n, 256);
      std::memcpy(ri->palette, pal, sizeof(png_color) * size_t(ri->paletteCount));
    }
    png_bytep t = nullptr;
    int nt = 0;
    if (png_get_valid(png, info, PNG_INFO_tRNS) && png_get_tRNS(png, info, &t, &nt, nullptr) && t && nt > 0) {
      ri->transCount = std::min(nt, 256);
      std::memcpy(ri->trans, t, size_t(ri->transCount));
    }
    if (ri->bitDepth < 8) png_set_packing(png);
    ri->outType = 0;
  } else {
    png_color_16p key = nullptr;
    if ((ct == PNG_COLOR_TYPE_GRAY || ct == PNG_COLOR_TYPE_RGB) && png_get_valid(png, info, PNG_INFO_tRNS) &&
        png_get_tRNS(png, info, nullptr, nullptr, &key) && key) {
      // The key is stored at the file's bit depth; scale it as the samples are.
      const int maxv = (1 << ri->bitDepth) - 1;
      auto scale = [&](int v) { return png_uint_16((std::min(v, maxv) * 255 + maxv / 2) / maxv); };
      ri->hasKey = 1;
      if (ct == PNG_COLOR_TYPE_GRAY) {
        ri->keyR = ri->keyG = ri->keyB = scale(key->gray);
      } else {
        ri->keyR = scale(key->red);
        ri->keyG = scale(key->green);
        ri->keyB = scale(key->blue);
      }
    }
    if (ri->bitDepth == 16) png_set_scale_16(png);
    if (ct == PNG_COLOR_TYPE_GRAY && ri->bitDepth < 8) png_set_expand_gray_1_2_4_to_8(png);
    if (ct == PNG_COLOR_TYPE_GRAY || ct == PNG_COLOR_TYPE_GRAY_ALPHA) png_set_gray_to_rgb(png);
    ri->outType = (ct & PNG_COLOR_MASK_ALPHA) ? 2 : 1;
  }
  // The key of tRNS stays a key: the transforms above never turn it into alpha.
  if (ri->interlace != PNG_INTERLACE_NONE) png_set_interlace_handling(png);
  png_read_update_info(png, info);
  return true;
}

bool ReadRows(png_structp png, png_infop info, png_bytepp rows) {
  if (setjmp(png_jmpbuf(png))) return false;
  png_read_image(png, rows);
  png_read_end(png, info);
  return true;
}

}  // namespace

// Deflate never expands data more than 1032 times: a PNG that claims more rows than
// the bytes left could give ends early, and is refused before anything is allocated.
constexpr int64_t kDeflateRatio = 1032;

void ReadPngFile(const std::string& fileName, TPngImage& out, const TDecodeOptions& options) {
  TFilePtr f(std::fopen(fileName.c_str(), "rb"));
  if (!f) throw EInvalidGraphic("cannot open " + fileName);
  struct stat st {};
  const uint64_t fileSize = ::fstat(::fileno(f.get()), &st) == 0 ? uint64_t(st.st_size) : 0;
  png_byte sig[8];
  if (std::fread(sig, 1, 8, f.get()) != 8 || png_sig_cmp(sig, 0, 8) != 0)
    throw EInvalidGraphic("not a PNG file: " + fileName);
  std::rewind(f.get());
  TPngError err;
  err.options = &options;
  png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, &err, OnError, OnWarning);
  if (!png) throw EInvalidGraphic("libpng");
  png_infop info = png_create_info_struct(png);
  struct TGuard {
    png_structp* p;
    png_infop* i;
    ~TGuard() { png_destroy_read_struct(p, i, nullptr); }
  } guard{&png, &info};
  if (!info) throw EInvalidGraphic("libpng");
  // Refuse pictures we could not hold before libpng allocates anything for them.
  png_set_user_limits(png, uint32_t(kMaxBitmapSide), uint32_t(kMaxBitmapSide));
  auto ri = std::make_unique<TReadInfo>();
  if (!ReadHeader(png, info, f.get(), ri.get())) throw EInvalidGraphic(std::string("PNG: ") + err.message);
  const size_t bpp = ri->outType == 0 ? 1 : ri->outType == 1 ? 3 : 4;
  if (png_get_rowbytes(png, info) != size_t(ri->width) * bpp) throw EInvalidGraphic("PNG: unexpected row layout");
  // The bitmap the picture becomes: 24-bit, or 32 with an alpha channel.
  options.Limit.Check(ri->width, ri->height, ri->outType == 2 ? 32 : 24);
  const uint64_t filtered = (uint64_t(png_get_rowbytes(png, info)) + 1) * ri->height;
  if (filtered > StreamCanHold(fileSize, kDeflateRatio))
    throw EInvalidGraphic("PNG: " + std::to_string(fileSize) + " bytes cannot hold " + std::to_string(ri->width) +
                          " x " + std::to_string(ri->height) + " pixels: the file ends early");
  TPngImage img;
  img.Width = int(ri->width);
  img.Height = int(ri->height);
  img.ColorType = ri->outType == 0 ? pcIndexed : ri->outType == 1 ? pcRGB : pcRGBA;
  img.Pixels.resize(size_t(ri->width) * size_t(ri->height) * bpp);
  std::vector<png_bytep> rows(ri->height);
  for (png_uint_32 y = 0; y < ri->height; ++y) rows[y] = img.Pixels.data() + size_t(y) * size_t(ri->width) * bpp;
  if (!ReadRows(png, info, rows.data())) throw EInvalidGraphic(std::string("PNG: ") + err.message);
  if (ri->outType == 0) {
    img.Palette.resize(size_t(ri->paletteCount));
    for (int i = 0; i < ri->paletteCount; ++i)
      img.Palette[size_t(i)] = RGB(ri->palette[i].red, ri->palette[i].green, ri->palette[i].blue);
    img.Transparency.assign(ri->trans, ri->trans + ri->transCount);
    // Indices beyond the palette read as black (libpng accepts them in damaged files).
    uint8_t top = 0;
    for (uint8_t v : img.Pixels) top = std::max(top, v);
    if (img.Palette.size() <= top) img.Palette.resize(size_t(top) + 1, clBlack);
  } else if (ri->hasKey) {
    img.TransparentColor = RGB(ri->keyR, ri->keyG, ri->keyB);
  }
  out = std::move(img);
}

void BitmapToPng(const TBitmap& bmp, TPngImage& png) {
  png = TPngImage();
  if (bmp.Empty()) return;
  if (bmp.PixelFormat() == pf32bit) {
    Bitmap32ToPng(bmp, png);
    return;
  }
  const int w = bmp.Width(), h = bmp.Height();
  png.Width = w;
  png.Height = h;
  if (bmp.PixelFormat() <= pf8bit) {
    png.ColorType = pcIndexed;
    png.Palette = bmp.Palette().empty() ? DefaultPalette(bmp.PixelFormat()) : bmp.Palette();
    png.Pixels.resize(size_t(w) * size_t(h));
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) png.Pixels[size_t(y) * size_t(w) + size_t(x)] = uint8_t(bmp.GetPixelIndex(x, y));
    if (bmp.Transparent) {
      const TColor key = ColorToRGB(bmp.EffectiveTransparentColor()) & 0xFFFFFF;
      for (size_t i = 0; i < png.Palette.size(); ++i)
        if ((ColorToRGB(png.Palette[i]) & 0xFFFFFF) == key) {
          png.Transparency.assign(i + 1, 255);
          png.Transparency[i] = 0;
          break;
        }
    }
    return;
  }
  png.ColorType = pcRGB;
  png.Pixels.resize(size_t(w) * size_t(h) * 3);
  ParallelRows(0, h, int64_t(w) * h, [&](int y0, int y1) {
    for (int y = y0; y < y1; ++y) {
      const uint8_t* s = bmp.ScanLine(y);
      uint8_t* d = png.Pixels.data() + size_t(y) * size_t(w) * 3;
      for (int x = 0; x < w; ++x, s += 3, d += 3) {
        d[0] = s[2];
        d[1] = s[1];
        d[2] = s[0];
      }
    }
  });
  if (bmp.Transparent) png.TransparentColor = ColorToRGB(bmp.EffectiveTransparentColor()) & 0xFFFFFF;
}

// --- One PNG inside another stream --------------------------------------------------

namespace {


void StreamReadData(png_structp png, png_bytep data, size_t n) {
  auto* s = static_cast<TStream*>(png_get_io_ptr(png));
  size_t got = 0;
  try {
    got = s->Read(data, n);
  } catch (...) {
    got = 0;
  }
  if (got != n) png_error(png, "truncated");
}

[[noreturn]] void StreamFail(png_structp png, png_const_charp) { png_longjmp(png, 1); }

// Kept free of objects with destructors: libpng leaves through longjmp.
bool DecodePngStream(TStream& s, TPngImage& out) {
  png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, StreamFail, OnWarning);
  if (!png) return false;
  png_infop info = png_create_info_struct(png);
  if (!info) {
    png_destroy_read_struct(&png, nullptr, nullptr);
    return false;
  }
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_read_struct(&png, &info, nullptr);
    return false;
  }
  png_set_read_fn(png, &s, StreamReadData);
  png_set_user_limits(png, kMaxBitmapSide, kMaxBitmapSide);
  png_read_info(png, info);
  const int64_t w = png_get_image_width(png, info), h = png_get_image_height(png, info);
  const int64_t raw = (int64_t(png_get_rowbytes(png, info)) + 1) * h;
  if (w < 1 || h < 1 || uint64_t(raw) > StreamCanHold(uint64_t(s.Remaining()), kDeflateRatio))
    png_error(png, "too large");
  png_set_expand(png);
  png_set_strip_16(png);
  png_set_gray_to_rgb(png);
  const int passes = png_set_interlace_handling(png);
  png_read_update_info(png, info);
  const int channels = png_get_channels(png, info);
  if (channels != 3 && channels != 4) png_error(png, "channels");
  out.Width = int(w);
  out.Height = int(h);
  out.ColorType = channels == 4 ? pcRGBA : pcRGB;
  out.Pixels.assign(size_t(w) * size_t(h) * size_t(channels), 0);
  const size_t row = size_t(w) * size_t(channels);
  for (int pass = 0; pass < passes; ++pass)
    for (int64_t y = 0; y < h; ++y) png_read_row(png, out.Pixels.data() + size_t(y) * row, nullptr);
  png_read_end(png, nullptr);
  png_destroy_read_struct(&png, &info, nullptr);
  return true;
}

}  // namespace

void ReadPngStream(TStream& s, TPngImage& png) {
  TPngImage read;
  if (!DecodePngStream(s, read)) throw EStreamError("PNG invalide");
  png = std::move(read);
}

}  // namespace qm
