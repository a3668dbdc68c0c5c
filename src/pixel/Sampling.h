#pragma once
// The geometric chassis: bilinear sampling of a 24-bit source for the kernels that draw
// one bitmap into another through a mapping (rotation, affine and projective
// transforms). A kernel maps the destination pixels of a row to source positions
// (u, v) in pixel units, pixel centres on integers, and then:
//   1. BilinearCoords splits them into the upper-left neighbour (ix, iy) and the
//      weights of the right and lower neighbours;
//   2. LoadTaps reads the 2 x 2 neighbourhood of each sampled pixel, with the kernel's
//      own stand-in for neighbours outside the source;
//   3. BlendTaps interpolates whole rows of taps at once.
// Everything is computed in doubles, operation for operation the same with and without
// vector instructions, so results never depend on the machine or the thread count.
#include <cstdint>
#include <cstring>

#include "platform/core/Bitmap.h"

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
// the row iy + 1 likewise in bottom (B, G, R order; bytes 6-7 unused).
inline uint64_t PackPixelPair(const uint8_t* a, const uint8_t* b) {
  return uint64_t(a[0]) | uint64_t(a[1]) << 8 | uint64_t(a[2]) << 16 | uint64_t(b[0]) << 24 |
         uint64_t(b[1]) << 32 | uint64_t(b[2]) << 40;
}

// Reads the neighbourhood of (ix, iy), -1 <= ix < width and -1 <= iy < height, from
// the 24-bit bitmap src; a neighbour outside width x height (which src must cover)
// is `outside` (3 bytes).
inline void LoadTaps(const TBitmap& src, int width, int height, int ix, int iy, const uint8_t* outside,
                     uint64_t& top, uint64_t& bottom) {
  if (ix >= 0 && ix + 3 <= width && iy >= 0 && iy + 2 <= height) {
    // Eight bytes from the first pixel stay inside the row (ix <= width - 3), so one
    // load takes both pixels.
    const uint8_t* p = src.ScanLine(iy) + ptrdiff_t(ix) * 3;
    const uint8_t* q = src.ScanLine(iy + 1) + ptrdiff_t(ix) * 3;
    std::memcpy(&top, p, 8);
    std::memcpy(&bottom, q, 8);
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

// Taps that give `px` whatever the weights.
inline void UniformTaps(const uint8_t* px, uint64_t& top, uint64_t& bottom) { top = bottom = PackPixelPair(px, px); }

// For each pixel i and channel k < channels (the rest of out[i] is 0):
//   c0 = (1 - wy) * v(ix, iy) + wy * v(ix, iy + 1), c1 likewise for ix + 1,
//   value = round((1 - wx) * c0 + wx * c1), clamped to 0..255,
// with c0 and c1 rounded first when roundColumns is set. Rounding is to nearest with
// ties to even. out[i] packs the channels as B | G << 8 | R << 16.
void BlendTaps(const uint64_t* top, const uint64_t* bottom, const double* wx, const double* wy, int n,
               bool roundColumns, int channels, uint32_t* out);

// Round to nearest, ties to even, of a finite double (the rounding BlendTaps uses).
double RoundEven(double v);

}  // namespace qm
