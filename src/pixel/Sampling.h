#pragma once
// The geometric chassis: bilinear sampling of a 24-bit source for the kernels that draw
// one bitmap into another through a mapping (rotation, affine and projective
// transforms). A kernel maps the destination pixels of a row segment to source
// positions (u, v) in pixel units, pixel centres on integers, and then:
//   1. BilinearCoords splits them into the upper-left neighbour (ix, iy) and the
//      weights of the right and lower neighbours;
//   2. GatherTaps reads the 2 x 2 neighbourhood of each pixel, with the kernel's own
//      stand-in for neighbours outside the source;
//   3. BlendTaps interpolates them.
// Everything is computed in doubles, operation for operation the same with and without
// vector instructions, so results never depend on the machine or the thread count.
// ForEachTileSegment walks the destination in an order that keeps the source reads
// local.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "platform/core/Bitmap.h"
#include "platform/core/Parallel.h"

namespace qm {

// ix of a destination pixel that takes no sample.
constexpr int32_t kNoSample = INT32_MIN;

// For each i: when -1 <= u[i] < width and -1 <= v[i] < height (so that at least one
// neighbour lies in the source), ix = floor(u), iy = floor(v), wx = u - ix,
// wy = v - iy; otherwise ix = kNoSample (and the rest is unspecified). Infinite and
// NaN positions take no sample.
void BilinearCoords(const double* u, const double* v, int n, int width, int height, int32_t* ix, int32_t* iy,
                    double* wx, double* wy);

// A 2 x 2 neighbourhood: pixels (ix, iy) and (ix + 1, iy) in bytes 0-2 and 3-5 of top,
// the row iy + 1 likewise in bottom (B, G, R order; bytes 6-7 zero).
inline uint64_t PackPixelPair(const uint8_t* a, const uint8_t* b) {
  return uint64_t(a[0]) | uint64_t(a[1]) << 8 | uint64_t(a[2]) << 16 | uint64_t(b[0]) << 24 |
         uint64_t(b[1]) << 32 | uint64_t(b[2]) << 40;
}

// The neighbourhood of (ix, iy), -1 <= ix < width and -1 <= iy < height, in the 24-bit
// bitmap src; a neighbour outside width x height (which src must cover) is `outside`.
inline void LoadTaps(const TBitmap& src, int width, int height, int ix, int iy, const uint8_t* outside,
                     uint64_t& top, uint64_t& bottom) {
  if (ix >= 0 && ix + 3 <= width && iy >= 0 && iy + 2 <= height) {
    // Eight bytes from the first pixel stay inside the row (ix <= width - 3), so one
    // load takes both pixels.
    std::memcpy(&top, src.ScanLine(iy) + ptrdiff_t(ix) * 3, 8);
    std::memcpy(&bottom, src.ScanLine(iy + 1) + ptrdiff_t(ix) * 3, 8);
    top &= 0xFFFFFFFFFFFFull;
    bottom &= 0xFFFFFFFFFFFFull;
    return;
  }
  auto at = [&](int x, int y) {
    return x >= 0 && x < width && y >= 0 && y < height ? src.ScanLine(y) + ptrdiff_t(x) * 3 : outside;
  };
  top = PackPixelPair(at(ix, iy), at(ix + 1, iy));
  bottom = PackPixelPair(at(ix, iy + 1), at(ix + 1, iy + 1));
}

// LoadTaps for n pixels: pixel i's stand-in is outside + i * outsideStride (stride 0
// for one colour for all). A pixel without a sample gets its stand-in in all four
// taps and weights 0, so that BlendTaps gives exactly the stand-in. prefetch, when
// not 0, is how many bytes further on the source the same pixels of a row some rows
// below will read: those bytes are asked for ahead (a hint only, it changes nothing).
void GatherTaps(const TBitmap& src, int width, int height, const int32_t* ix, const int32_t* iy, int n,
                const uint8_t* outside, ptrdiff_t outsideStride, ptrdiff_t prefetch, double* wx, double* wy,
                uint64_t* top, uint64_t* bottom);

// The prefetch distance for GatherTaps when a step of `rows` destination rows moves
// the source position by (dx, dy): 0 when that is not a sensible number of bytes.
ptrdiff_t PrefetchDistance(double dx, double dy, ptrdiff_t stride);

// For each pixel i and channel k < channels, 1 or 3 (the other bytes of out[i] are 0):
//   c0 = (1 - wy) * v(ix, iy) + wy * v(ix, iy + 1), c1 likewise for ix + 1,
//   value = round((1 - wx) * c0 + wx * c1), clamped to 0..255,
// with c0 and c1 rounded first when roundColumns is set. Rounding is to nearest with
// ties to even. out[i] packs the channels as B | G << 8 | R << 16.
void BlendTaps(const uint64_t* top, const uint64_t* bottom, const double* wx, const double* wy, int n,
               bool roundColumns, int channels, uint32_t* out);

// Round to nearest, ties to even, of a finite double (the rounding BlendTaps uses).
double RoundEven(double v);

// Destination rows ahead of the one being sampled whose source GatherTaps prefetches.
constexpr int kPrefetchRows = 4;

// The widest row segment ForEachTileSegment hands over, and the rows of a slab.
constexpr int kTileColumns = 256, kTileRows = 32;

// Walks rows [y0, y1) in tiles of kTileColumns columns, calling f(y, x0, x1) for each
// row segment of a tile. Across a turned row the source row changes every few pixels,
// so a whole row's worth of source rows falls out of the caches before the next row
// comes back to them; a tile's worth stays.
template <class F>
void ForEachTileSegment(int y0, int y1, int x0, int x1, F&& f) {
  for (int tx = x0; tx < x1; tx += kTileColumns) {
    const int tx1 = tx + kTileColumns < x1 ? tx + kTileColumns : x1;
    for (int y = y0; y < y1; ++y) f(y, tx, tx1);
  }
}

// Runs body(first, last) over slabs of kTileRows rows of [y0, y1), handed to the
// engine's threads as they come free: the rows of a turned picture cost unevenly (its
// corners are background), so equal bands would leave threads waiting. Each call of
// body owns its scratch. Slabs are independent, so results do not depend on the order.
template <class Body>
void ParallelSlabs(int y0, int y1, int64_t work, Body&& body) {
  const int rows = y1 - y0;
  if (rows <= 0) return;
  const int slabs = (rows + kTileRows - 1) / kTileRows;
  const int n = WorthThreading(work) ? std::min(EngineThreads(), slabs) : 1;
  if (n <= 1) {
    for (int i = 0; i < slabs; ++i) body(y0 + i * kTileRows, std::min(y1, y0 + (i + 1) * kTileRows));
    return;
  }
#pragma omp parallel for schedule(dynamic) num_threads(n)
  for (int i = 0; i < slabs; ++i) body(y0 + i * kTileRows, std::min(y1, y0 + (i + 1) * kTileRows));
}

}  // namespace qm
