#include "imagefiles/GmCodec.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>
#include <mutex>
#include <vector>

#include "document/Resample.h"
#include "platform/core/Exceptions.h"
#include "imagefiles/ImageFileUtils.h"
#include "imagefiles/PictureLimit.h"
#include "imagefiles/RunLengthChecks.h"
#include "platform/core/Parallel.h"

// GraphicsMagick's headers after ours: they define macros of their own.
#include <magick/api.h>

namespace qm {

namespace {

void EnsureLimits() {
  static std::once_flag once;
  std::call_once(once, [] {
    EnsureGraphicsMagick();
    // Beside each read's own check of the size a file declares, a header the ping
    // misreads must not make the library allocate beyond what a bitmap can address.
    SetMagickResourceLimit(WidthResource, magick_int64_t(kMaxBitmapSide));
    SetMagickResourceLimit(HeightResource, magick_int64_t(kMaxBitmapSide));
    SetMagickResourceLimit(PixelsResource, magick_int64_t(kMaxPicturePixels));
  });
}

std::string ExceptionText(const ExceptionInfo& ex, const char* fallback) {
  std::string s = ex.reason ? ex.reason : fallback;
  if (ex.description) s += std::string(" (") + ex.description + ")";
  return s;
}

struct TException {
  ExceptionInfo ex;
  TException() { GetExceptionInfo(&ex); }
  ~TException() { DestroyExceptionInfo(&ex); }
  std::string Text(const char* fallback) const { return ExceptionText(ex, fallback); }
};

struct TImageInfoDeleter {
  void operator()(ImageInfo* i) const { DestroyImageInfo(i); }
};
struct TImageListDeleter {
  void operator()(Image* i) const { DestroyImageList(i); }
};
using TImagePtr = std::unique_ptr<Image, TImageListDeleter>;

int ColorsOf(const Image* image) {
  if (image->storage_class == PseudoClass && image->colors > 0 && image->colors <= 256)
    return image->colors <= 2 ? 2 : image->colors <= 16 ? 16 : 256;
  return 16777216;
}

// The bitmap of a picture and the library's own pixels of it (a PixelPacket each)
// within the limit.
void CheckSize(const Image* image, const TDecodeOptions& options) {
  const int64_t w = int64_t(image->columns), h = int64_t(image->rows);
  options.Limit.Check(w, h, image->matte != MagickFalse ? 32 : 24);
  options.Limit.CheckWorkingMemory(w, h, uint64_t(w) * uint64_t(h) * sizeof(PixelPacket));
}

void FromImage(Image* image, TBitmap& out, int* sourceColors, TException& ex, const TDecodeOptions& options) {
  const unsigned long w = image->columns, h = image->rows;
  CheckSize(image, options);
  if (sourceColors) *sourceColors = ColorsOf(image);
  if (image->colorspace != RGBColorspace && !TransformColorspace(image, RGBColorspace))
    throw EInvalidGraphic("GraphicsMagick: colour space");
  const bool alpha = image->matte != MagickFalse;
  // every row is copied from the library's pixels below
  TBitmap bmp = TBitmap::Uninitialized(int(w), int(h), alpha ? pf32bit : pf24bit);
  const size_t rowBytes = size_t(w) * (alpha ? 4 : 3);
  // Dispatched in bands so the packed copy stays small.
  const unsigned long band = 256;
  std::vector<uint8_t> buf(rowBytes * band);
  for (unsigned long y0 = 0; y0 < h; y0 += band) {
    const unsigned long n = std::min(band, h - y0);
    if (DispatchImage(image, 0, long(y0), w, n, alpha ? "BGRA" : "BGR", CharPixel, buf.data(), &ex.ex) !=
        MagickPass)
      throw EInvalidGraphic("GraphicsMagick: " + ex.Text("cannot take the pixels"));
    for (unsigned long k = 0; k < n; ++k) {
      std::memcpy(bmp.ScanLine(int(y0 + k)), buf.data() + k * rowBytes, rowBytes);
      bmp.ZeroRowPadding(int(y0 + k));
    }
  }
  out = std::move(bmp);
}

// A picture the library read only in part, or whose data it found damaged, is a
// failure; its other warnings go on with the picture. A coder tells either through the
// read's exception or through the picture's own: the worse of the two counts.
void CheckRead(const TException& ex, const Image& image, const TDecodeOptions& options) {
  const ExceptionInfo& worst = image.exception.severity > ex.ex.severity ? image.exception : ex.ex;
  const ExceptionType severity = worst.severity;
  if (severity == UndefinedException) return;
  if (severity == CorruptImageWarning || severity >= ErrorException)
    throw EInvalidGraphic("GraphicsMagick: " + ExceptionText(worst, "damaged picture"));
  options.Warn("GraphicsMagick: " + ExceptionText(worst, "warning"));
}

void ReadBlob(const uint8_t* data, size_t size, const char* coder, TBitmap& out, int* sourceColors,
              const TDecodeOptions& options) {
  EnsureLimits();
  if (!data || size == 0) throw EInvalidGraphic("empty file");
  std::unique_ptr<ImageInfo, TImageInfoDeleter> info(CloneImageInfo(nullptr));
  if (!info) throw EInvalidGraphic("GraphicsMagick");
  std::snprintf(info->magick, sizeof info->magick, "%s", coder);
  std::snprintf(info->filename, sizeof info->filename, "%s:", coder);
  info->subimage = 0;
  info->subrange = 1;
  // A metafile is drawn over a transparent background, so what it leaves undrawn stays
  // transparent.
  if (std::strcmp(coder, "WMF") == 0) {
    info->background_color.red = info->background_color.green = info->background_color.blue = 0;
    info->background_color.opacity = TransparentOpacity;
  }
  // The size first, from the header alone: the library allocates its pixels as it
  // reads them.
  {
    TException pingEx;
    TImagePtr header(PingBlob(info.get(), data, size, &pingEx.ex));
    if (header) CheckSize(header.get(), options);
  }
  CheckRunLengths(data, size, coder);
  TException ex;
  TImagePtr image(BlobToImage(info.get(), data, size, &ex.ex));
  if (!image) throw EInvalidGraphic("GraphicsMagick: " + ex.Text("cannot read the picture"));
  CheckRead(ex, *image, options);
  FromImage(image.get(), out, sourceColors, ex, options);
}

}  // namespace

void ReadWithGraphicsMagick(const std::string& fileName, const char* coder, TBitmap& out, int* sourceColors,
                            const TDecodeOptions& options) {
  const std::vector<uint8_t> data = ReadWholeFile(fileName);
  ReadBlob(data.data(), data.size(), coder, out, sourceColors, options);
}

void ReadWithGraphicsMagick(const uint8_t* data, size_t size, const char* coder, TBitmap& out, int* sourceColors,
                            const TDecodeOptions& options) {
  ReadBlob(data, size, coder, out, sourceColors, options);
}

namespace {

// A GraphicsMagick image of a 24- or 32-bit bitmap. The library is asked for its
// pixels on this thread alone, a band of rows at a time (an image held in memory hands
// out its own rows); our threads then convert the band without calling the library:
// called from our team, it would pick its per-thread state by our thread numbers.
Image* ToGmImage(const TBitmap& src, TException& ex) {
  const int w = src.Width(), h = src.Height();
  const bool alpha = src.PixelFormat() == pf32bit;
  std::unique_ptr<ImageInfo, TImageInfoDeleter> info(CloneImageInfo(nullptr));
  TImagePtr image(AllocateImage(info.get()));
  if (!image) throw EInvalidGraphic("GraphicsMagick: cannot make the picture");
  image->columns = unsigned(w);
  image->rows = unsigned(h);
  image->matte = alpha ? MagickTrue : MagickFalse;
  image->depth = 8;
  // 16 M pixels (128 MB of the library's pixels) a band: a picture the library keeps on
  // disk goes through a buffer of that size. A 24 MP picture makes two bands; in six,
  // the threads waiting for the slowest of each made the write 3 % slower on 8 threads.
  constexpr int64_t kBandPixels = int64_t(1) << 24;
  const int band = int(std::clamp<int64_t>(kBandPixels / w, 1, h));
  for (int top = 0; top < h; top += band) {
    const int rows = std::min(band, h - top);
    PixelPacket* pixels = SetImagePixelsEx(image.get(), 0, top, unsigned(w), unsigned(rows), &ex.ex);
    if (!pixels) throw EInvalidGraphic("GraphicsMagick: " + ex.Text("cannot make the picture"));
    ParallelRows(top, top + rows, int64_t(w) * rows, [&](int y0, int y1) {
      for (int y = y0; y < y1; ++y) {
        PixelPacket* q = pixels + size_t(y - top) * size_t(w);
        const uint8_t* s = src.ScanLine(y);
        if (alpha) {
          for (int x = 0; x < w; ++x, s += 4) {
            q[x].blue = ScaleCharToQuantum(s[0]);
            q[x].green = ScaleCharToQuantum(s[1]);
            q[x].red = ScaleCharToQuantum(s[2]);
            q[x].opacity = Quantum(MaxRGB - ScaleCharToQuantum(s[3]));
          }
        } else {
          for (int x = 0; x < w; ++x, s += 3) {
            q[x].blue = ScaleCharToQuantum(s[0]);
            q[x].green = ScaleCharToQuantum(s[1]);
            q[x].red = ScaleCharToQuantum(s[2]);
            q[x].opacity = Quantum(OpaqueOpacity);
          }
        }
      }
    });
    if (!SyncImagePixelsEx(image.get(), &ex.ex))
      throw EInvalidGraphic("GraphicsMagick: " + ex.Text("cannot make the picture"));
  }
  return image.release();
}

}  // namespace

void WriteTargaFile(const std::string& fileName, const TBitmap& bmp) {
  EnsureLimits();
  if (bmp.Empty()) throw EInvalidGraphic("empty bitmap");
  TBitmap wide;
  const TBitmap* src = &bmp;
  if (bmp.PixelFormat() != pf24bit && bmp.PixelFormat() != pf32bit) {
    wide.Assign(bmp);
    wide.SetPixelFormat(pf24bit);
    src = &wide;
  }
  TException ex;
  TImagePtr image(ToGmImage(*src, ex));
  std::unique_ptr<ImageInfo, TImageInfoDeleter> info(CloneImageInfo(nullptr));
  // Straight into the file: no picture-sized blob to grow and copy again.
  const std::string target = "TGA:" + fileName;
  if (target.size() >= sizeof info->filename) throw EInvalidGraphic("file name too long");
  std::snprintf(info->magick, sizeof info->magick, "TGA");
  std::snprintf(image->magick, sizeof image->magick, "TGA");
  std::snprintf(info->filename, sizeof info->filename, "%s", target.c_str());
  std::snprintf(image->filename, sizeof image->filename, "%s", target.c_str());
  info->compression = NoCompression;
  image->compression = NoCompression;
  if (!WriteImage(info.get(), image.get()) || image->exception.severity >= ErrorException)
    throw EInvalidGraphic("GraphicsMagick: " + std::string(image->exception.reason ? image->exception.reason
                                                                                    : "cannot write Targa"));
}

}  // namespace qm
