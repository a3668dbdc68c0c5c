#include "document/Resample.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>
#include <utility>

#include "platform/core/Parallel.h"

// GraphicsMagick's headers after ours: they define macros of their own.
#include <magick/api.h>

namespace qm {

namespace {

// The library's memory: the system's own, with huge pages asked for over the large
// blocks (its pixel caches of tens to hundreds of megabytes, made for every picture it
// takes and every pass of a resize). Each 4 KB page of a fresh block otherwise costs a
// fault at its first touch, and those faults were most of a whole-picture resize.
constexpr size_t kLargeBlock = size_t(8) << 20;

void* LibraryMalloc(size_t bytes) {
  void* p = std::malloc(bytes);
  if (p && bytes >= kLargeBlock) AdviseHugePages(p, bytes);
  return p;
}

void* LibraryRealloc(void* p, size_t bytes) {
  void* q = std::realloc(p, bytes);
  if (q && bytes >= kLargeBlock) AdviseHugePages(q, bytes);
  return q;
}

void LibraryFree(void* p) { std::free(p); }

}  // namespace

void EnsureGraphicsMagick() {
  static std::once_flag once;
  std::call_once(once, [] {
    MagickAllocFunctions(LibraryFree, LibraryMalloc, LibraryRealloc);
    // The library's own signal handlers would end the program on SIGTERM without its
    // settings: the program's are kept.
    ExceptionInfo ex;
    GetExceptionInfo(&ex);
    InitializeMagickEx(nullptr, MAGICK_OPT_NO_SIGNAL_HANDER, &ex);
    DestroyExceptionInfo(&ex);
  });
}

namespace {

constexpr FilterTypes kKinds[kResampleFilterCount] = {BoxFilter,       TriangleFilter, HermiteFilter, QuadraticFilter,
                                                      CubicFilter,     LanczosFilter,  MitchellFilter};
// The library's supports of those filters, in source pixels at a ratio of 1.
constexpr double kSupports[kResampleFilterCount] = {0.5, 1.0, 1.0, 1.5, 2.0, 3.0, 2.0};

// The library's picture of rows [y0, y0 + rows) of src (24-bit, packed or not): its
// pixels written straight into the picture's pixel cache, the rows shared out over the
// engine's threads (the library's own import of packed bytes runs on one thread and
// was a third of a whole-picture resize), with the values the import gives: each byte
// scaled to the library's quantum, opaque. Null when the library fails.
Image* ImportRows(const TBitmap& src, int y0, int rows, ExceptionInfo* ex) {
  Image* image = AllocateImage(nullptr);
  if (!image) return nullptr;
  const int w = src.Width();
  image->columns = unsigned(w);
  image->rows = unsigned(rows);
  PixelPacket* pixels = SetImagePixels(image, 0, 0, unsigned(w), unsigned(rows));
  if (!pixels) {
    DestroyImage(image);
    return nullptr;
  }
  ParallelRows(0, rows, int64_t(w) * rows, [&](int r0, int r1) {
    for (int y = r0; y < r1; ++y) {
      const uint8_t* s = src.ScanLine(y0 + y);
      PixelPacket* q = pixels + size_t(y) * size_t(w);
      for (int x = 0; x < w; ++x, s += 3, ++q) {
        q->blue = ScaleCharToQuantum(s[0]);
        q->green = ScaleCharToQuantum(s[1]);
        q->red = ScaleCharToQuantum(s[2]);
        q->opacity = OpaqueOpacity;
      }
    }
  });
  if (SyncImagePixels(image) != MagickPass) {
    CopyException(ex, &image->exception);
    DestroyImage(image);
    return nullptr;
  }
  return image;
}

// Rows [keep0, keep0 + keepRows) of the library's picture written to out from its row
// outY, each quantum scaled back to a byte as the library's export does, the rows
// shared out over the engine's threads. False when the library fails.
bool ExportRows(Image* image, int keep0, int keepRows, TBitmap& out, int outY, ExceptionInfo* ex) {
  const int w = int(image->columns);
  const PixelPacket* pixels = AcquireImagePixels(image, 0, keep0, unsigned(w), unsigned(keepRows), ex);
  if (!pixels) return false;
  ParallelRows(0, keepRows, int64_t(w) * keepRows, [&](int r0, int r1) {
    for (int y = r0; y < r1; ++y) {
      const PixelPacket* p = pixels + size_t(y) * size_t(w);
      uint8_t* d = out.ScanLine(outY + y);
      for (int x = 0; x < w; ++x, d += 3, ++p) {
        d[0] = ScaleQuantumToChar(p->blue);
        d[1] = ScaleQuantumToChar(p->green);
        d[2] = ScaleQuantumToChar(p->red);
      }
    }
  });
  return true;
}

// Rows [y0, y0 + rows) of src resized by the library to w x outRows; the output rows
// [keep0, keep0 + keepRows) written to out from its row outY. False when the library
// fails.
bool ResizeRows(const TBitmap& src, int y0, int rows, int w, int outRows, FilterTypes kind, int keep0, int keepRows,
                TBitmap& out, int outY) {
  ExceptionInfo ex;
  GetExceptionInfo(&ex);
  bool ok = false;
  if (Image* image = ImportRows(src, y0, rows, &ex)) {
    Image* sized = ResizeImage(image, unsigned(w), unsigned(outRows), kind, 1.0, &ex);
    DestroyImage(image);
    if (sized) {
      ok = ExportRows(sized, keep0, keepRows, out, outY, &ex);
      DestroyImage(sized);
    }
  }
  DestroyExceptionInfo(&ex);
  return ok;
}

// How many output rows a band unit has and how many source rows it reads, when the
// vertical ratio h / from is a power of two (1/4, 1/2, 1, 2, 4 ...); {0, 0} otherwise.
std::pair<int, int> PowerOfTwoUnit(int from, int h) {
  const int big = std::max(from, h), small = std::min(from, h);
  if (big % small != 0) return {0, 0};
  const int k = big / small;
  if ((k & (k - 1)) != 0) return {0, 0};
  return h >= from ? std::pair{k, 1} : std::pair{1, k};
}

}  // namespace

// Bands of rows resized side by side from plain threads give the pixels of one call
// when the vertical ratio is a power of two. The library centres output row y on
// source row (y + 0.5) / factor, starts its window at that centre less the support and
// weighs source row j by the filter at (j - centre + 0.5) / scale. With a factor of
// 2^k all of these are exact in doubles, so a band that starts n units down (a unit:
// the rows of output that a whole number of source rows make) sees the same centres,
// windows and weights moved by whole rows, and sums the same numbers in the same
// order; the library's choice of which pass runs first depends on the ratios only, and
// each band's source rows reach past every window its kept rows read. Other ratios
// would round the centres differently in a band than in the whole picture: they get
// one call, the library threading it itself.
bool Resample(const TBitmap& src, int w, int h, TResampleFilter filter, TBitmap& out) {
  if (src.Empty() || src.PixelFormat() != pf24bit || w < 1 || h < 1) return false;
  EnsureGraphicsMagick();
  const int code = std::min(int(filter), kResampleFilterCount - 1);
  const FilterTypes kind = kKinds[code];
  // every row is written whole by the library, in the bands by the thread of its band
  TBitmap result = TBitmap::Uninitialized(w, h);
  const int H = src.Height();
  const auto [unitOut, unitSrc] = PowerOfTwoUnit(H, h);
  const int units = unitOut ? h / unitOut : 0;
  const int threads = EngineThreads();
  const int64_t pixels = std::max(int64_t(src.Width()) * H, int64_t(w) * h);
  // Bands of at most 2 MP of the larger side (16 MB of the library's pixels, which
  // malloc then keeps for the next band instead of mapping and zeroing them anew), a
  // whole number of them per thread; each band's margin reaches past the filter's
  // support by two units.
  int bands = 1;
  if (unitOut && threads > 1 && WorthThreading(pixels)) {
    const int64_t perThread = (pixels + int64_t(threads) * 2000000 - 1) / (int64_t(threads) * 2000000);
    bands = int(std::min<int64_t>(int64_t(threads) * perThread, units / 4));
  }
  bool ok;
  if (bands < 2) {
    ok = ResizeRows(src, 0, H, w, h, kind, 0, h, result, 0);
  } else {
    const double support = kSupports[code] * std::max(1.0, double(unitSrc));
    const int margin = int(std::ceil(support / unitSrc)) + 2;
    std::atomic<bool> failed{false};
    ParallelLibraryJobs(bands, [&](int b) {
      const int u0 = int(int64_t(units) * b / bands), u1 = int(int64_t(units) * (b + 1) / bands);
      const int c0 = std::max(0, u0 - margin), c1 = std::min(units, u1 + margin);
      if (!ResizeRows(src, c0 * unitSrc, (c1 - c0) * unitSrc, w, (c1 - c0) * unitOut, kind, (u0 - c0) * unitOut,
                      (u1 - u0) * unitOut, result, u0 * unitOut))
        failed = true;
    });
    ok = !failed;
  }
  if (!ok) return false;
  for (int y = 0; y < h; ++y) result.ZeroRowPadding(y);
  result.Transparent = src.Transparent;
  result.TransparentColor = src.TransparentColor;
  out = std::move(result);
  return true;
}

}  // namespace qm
