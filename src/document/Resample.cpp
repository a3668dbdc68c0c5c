#include "document/Resample.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstring>
#include <memory>
#include <mutex>
#include <utility>

#include "platform/core/Parallel.h"

// GraphicsMagick's headers after ours: they define macros of their own.
#include <magick/api.h>

namespace qm {

void EnsureGraphicsMagick() {
  static std::once_flag once;
  std::call_once(once, [] {
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

// Rows [y0, y0 + rows) of src (24-bit, packed or not) resized by the library to w x
// outRows; the output rows [keep0, keep0 + keepRows) written to out from its row
// outY. False when the library fails.
bool ResizeRows(const TBitmap& src, int y0, int rows, int w, int outRows, FilterTypes kind, int keep0, int keepRows,
                TBitmap& out, int outY) {
  const size_t srcRow = size_t(src.Width()) * 3, dstRow = size_t(w) * 3;
  // The library takes and gives packed rows; ours are padded to 4 bytes unless the
  // width is a multiple of 4.
  std::unique_ptr<uint8_t[]> packed;
  const uint8_t* pixels = src.ScanLine(y0);
  if (ptrdiff_t(srcRow) != src.Stride()) {
    packed.reset(new uint8_t[srcRow * size_t(rows)]);
    for (int y = 0; y < rows; ++y) std::memcpy(packed.get() + srcRow * size_t(y), src.ScanLine(y0 + y), srcRow);
    pixels = packed.get();
  }
  ExceptionInfo ex;
  GetExceptionInfo(&ex);
  bool ok = false;
  Image* image = ConstituteImage(unsigned(src.Width()), unsigned(rows), "BGR", CharPixel, pixels, &ex);
  packed.reset();
  if (image) {
    Image* sized = ResizeImage(image, unsigned(w), unsigned(outRows), kind, 1.0, &ex);
    DestroyImage(image);
    if (sized) {
      std::unique_ptr<uint8_t[]> buffer;
      uint8_t* target = out.ScanLine(outY);
      if (ptrdiff_t(dstRow) != out.Stride()) {
        buffer.reset(new uint8_t[dstRow * size_t(keepRows)]);
        target = buffer.get();
      }
      if (DispatchImage(sized, 0, keep0, unsigned(w), unsigned(keepRows), "BGR", CharPixel, target, &ex) ==
          MagickPass) {
        if (buffer)
          for (int y = 0; y < keepRows; ++y)
            std::memcpy(out.ScanLine(outY + y), buffer.get() + dstRow * size_t(y), dstRow);
        ok = true;
      }
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
