#include "pixel/Convolution.h"

#include <algorithm>
#include <cstdlib>
#include <vector>

#include "pixel/AreaChassis.h"
#include "pixel/ImgUtils.h"
#include "pixel/Planes.h"
#include "platform/core/Parallel.h"

namespace qm {

const TConvolutionMatrix kConvolutionPresets[kConvolutionPresetCount] = {
    {{0, 0, 0, 0, 1, 1, 0, 1, 1}, 4, 0, 0},
    {{1, 2, 1, 2, 20, 2, 1, 2, 1}, 32, 0, 0},
    {{-1, -2, -1, -2, 28, -2, -1, -2, -1}, 16, 0, 0},
    {{0, -1, 0, -1, 5, -1, 0, -1, 0}, 1, 0, 0},
    {{-5, -5, -5, -5, 42, -5, -5, -5, -5}, 2, 0, 0},
    {{-1, -1, -1, -1, 9, -1, -1, -1, -1}, 1, 0, 0},
    {{0, 1, 0, 1, 1, -1, 0, -1, 0}, 1, 0, 0},
    {{0, 2, 0, 2, 1, -2, 0, -2, 0}, 1, 0, 0},
    {{1, 1, 1, 1, -8, 1, 1, 1, 1}, 1, 0, 1},
    {{5, 5, 5, 5, -41, 5, 5, 5, 5}, 1, 1, 1},
    {{0, -3, -3, 0, 6, 0, 0, 0, 0}, 1, 1, 1},
    {{0, 2, 0, 2, 7, -2, 0, -2, 0}, 7, 0, 0},
    {{1, 1, 1, 1, 1, 1, 1, 1, 1}, 9, 0, 0},
};

namespace {

// The three source rows of one output row, each at the rect's left edge.
struct Rows {
  const uint8_t* above;
  const uint8_t* row;
  const uint8_t* below;
};

// What a row needs to know of the matrix, worked out once per call.
struct Plan {
  int32_t w[9];
  int32_t divisor;
  bool grey, invert;
  int n;           // pixels in a row of the rect
  int shift;       // divisor = 1 << shift, or -1
  int64_t bound;   // the largest |sum| a matrix can reach: 255 * sum of |weights|
};

inline int32_t Wrap32(int64_t v) { return static_cast<int32_t>(static_cast<uint32_t>(v)); }

inline uint8_t Finish(int32_t v, bool invert) {
  const int u = v < 0 ? 0 : (v > 255 ? 255 : v);
  return uint8_t(invert ? 255 - u : u);
}

// The divided (not yet clamped) values of pixel x, its neighbours outside the rect
// replaced by the edge. 32-bit signed arithmetic that wraps, as the stored matrices of
// custom filters may overflow it.
void ExactValues(const Plan& p, const Rows& r, int x, int32_t v[3]) {
  const int xs[3] = {x > 0 ? x - 1 : x, x, x + 1 < p.n ? x + 1 : x};
  const uint8_t* rows[3] = {r.above, r.row, r.below};
  for (int c = 0; c < 3; ++c) {
    int64_t s = 0;
    for (int i = 0; i < 3; ++i)
      for (int k = 0; k < 3; ++k) s += int64_t(p.w[3 * i + k]) * rows[i][3 * xs[k] + c];
    v[c] = Wrap32(int64_t(Wrap32(s)) / p.divisor);
  }
}

void FinishPixel(const Plan& p, int32_t v[3], uint8_t* out) {
  if (p.grey) v[0] = v[1] = v[2] = int32_t((int64_t(v[0]) + v[1] + v[2]) / 3);
  for (int c = 0; c < 3; ++c) out[c] = Finish(v[c], p.invert);
}

void ExactPixel(const Plan& p, const Rows& r, int x, uint8_t* out) {
  int32_t v[3];
  ExactValues(p, r, x, v);
  FinishPixel(p, v, out + 3 * x);
}

// Divisions that vectorise. A power of two shifts (rounding toward zero like the
// integer division); any other divisor goes through float, which truncates exactly
// for sums below 2^24: the quotient's rounding error stays below its distance to the
// next integer.
struct DivNone {
  template <class T>
  T operator()(T s) const { return s; }
};
struct DivShift {
  int k;
  template <class T>
  T operator()(T s) const {
    const T bias = T((s < 0 ? (T(1) << k) - 1 : 0));
    return T((s + bias) >> k);
  }
};
struct DivFloat {
  float d;
  int32_t operator()(int32_t s) const { return int32_t(float(s) / d); }
};

// The interior bytes of a row (pixels 1 .. n - 2), T wide enough for every sum. The
// loop over bytes treats the three channels alike: a neighbour is 3 bytes away.
template <class T, class Div, class Store>
void Interior(const Plan& p, const Rows& r, Div div, Store store) {
  const int32_t w0 = p.w[0], w1 = p.w[1], w2 = p.w[2], w3 = p.w[3], w4 = p.w[4], w5 = p.w[5], w6 = p.w[6],
                w7 = p.w[7], w8 = p.w[8];
  const uint8_t* a = r.above;
  const uint8_t* c = r.row;
  const uint8_t* b = r.below;
  const int end = 3 * (p.n - 1);
  for (int i = 3; i < end; ++i) {
    const T s = T(w0 * a[i - 3] + w1 * a[i] + w2 * a[i + 3] + w3 * c[i - 3] + w4 * c[i] + w5 * c[i + 3] +
                  w6 * b[i - 3] + w7 * b[i] + w8 * b[i + 3]);
    store(i, div(s));
  }
}

// FinishPixel over the interior pixels 1 .. n - 2 of a row, their divided values in
// scratch (3n values, then room for n levels): the grey levels (below 2^24 each, their
// sum fits 32 bits) gathered, then spread over the pixels.
void GreyInterior(const int32_t* __restrict scratch, int n, bool invert, uint8_t* __restrict out) {
  uint8_t* __restrict levels = reinterpret_cast<uint8_t*>(const_cast<int32_t*>(scratch) + 3 * size_t(n));
  const int flip = invert ? 255 : 0;
  for (int x = 1; x + 1 < n; ++x) {
    const int32_t v = (scratch[3 * x] + scratch[3 * x + 1] + scratch[3 * x + 2]) / 3;
    const int u = v < 0 ? 0 : (v > 255 ? 255 : v);
    levels[x] = uint8_t(u ^ flip);  // 255 - u for 0 <= u <= 255
  }
  SpreadPlane(levels + 1, n - 2, out + 3);
}

// The scratch a grey row needs, in 32-bit values.
size_t GreyScratch(int n) { return size_t(n) * 3 + size_t(n) / 4 + 1; }

template <class T, class Div>
void FastRow(const Plan& p, const Rows& r, uint8_t* out, int32_t* scratch, Div div) {
  if (p.n >= 3) {
    if (p.grey) {
      Interior<T>(p, r, div, [scratch](int i, T v) { scratch[i] = v; });
      GreyInterior(scratch, p.n, p.invert, out);
    } else if (p.invert) {
      Interior<T>(p, r, div, [out](int i, T v) { out[i] = uint8_t(255 - (v < 0 ? 0 : (v > 255 ? 255 : v))); });
    } else {
      Interior<T>(p, r, div, [out](int i, T v) { out[i] = uint8_t(v < 0 ? 0 : (v > 255 ? 255 : v)); });
    }
  }
  ExactPixel(p, r, 0, out);
  if (p.n > 1) ExactPixel(p, r, p.n - 1, out);
}

void ConvolveRow(const Plan& p, const Rows& r, uint8_t* out, int32_t* scratch) {
  // Narrow lanes when no sum can leave 16 bits, wide ones below 2^24, and the plain
  // arithmetic for anything larger.
  if (p.shift >= 0 && p.bound < 32768) {
    if (p.shift == 0) FastRow<int16_t>(p, r, out, scratch, DivNone{});
    else FastRow<int16_t>(p, r, out, scratch, DivShift{p.shift});
  } else if (p.bound < (int64_t(1) << 24)) {
    if (p.shift == 0) FastRow<int32_t>(p, r, out, scratch, DivNone{});
    else if (p.shift > 0) FastRow<int32_t>(p, r, out, scratch, DivShift{p.shift});
    else FastRow<int32_t>(p, r, out, scratch, DivFloat{float(p.divisor)});
  } else {
    for (int x = 0; x < p.n; ++x) ExactPixel(p, r, x, out);
  }
}

Plan MakePlan(const TConvolutionMatrix& m, int n) {
  Plan p{};
  int64_t sum = 0;
  for (int i = 0; i < 9; ++i) {
    p.w[i] = m.C[i];
    sum += std::abs(int64_t(m.C[i]));
  }
  p.divisor = m.Divisor == 0 ? 1 : m.Divisor;
  p.grey = m.Grey != 0;
  p.invert = m.Invert != 0;
  p.n = n;
  p.bound = sum * 255;
  p.shift = -1;
  for (int k = 0; k < 31; ++k)
    if (p.divisor == (int32_t(1) << k)) p.shift = k;
  return p;
}

void ForceBitmap24(TBitmap& b) {
  if (b.PixelFormat() != pf24bit) b.SetPixelFormat(pf24bit);
}

}  // namespace

void Convolve3x3(TBitmap& dst, TBitmap& src, const TConvolutionMatrix& m, TRect rect) {
  if (&dst == &src) {
    Convolve3x3InPlace(dst, m, rect);
    return;
  }
  ForceBitmap24(src);
  ForceBitmap24(dst);
  if (dst.Width() != src.Width() || dst.Height() != src.Height()) dst.SetSize(src.Width(), src.Height());
  ClipRectToBitmap(rect, src);
  if (rect.IsEmpty()) return;
  const Plan p = MakePlan(m, rect.Width());
  const ptrdiff_t left = ptrdiff_t(rect.Left) * 3;
  ParallelRows(rect.Top, rect.Bottom, int64_t(rect.Width()) * rect.Height(), [&](int y0, int y1) {
    std::vector<int32_t> scratch(p.grey ? GreyScratch(p.n) : 0);
    for (int y = y0; y < y1; ++y) {
      const Rows r{src.ScanLine(y > rect.Top ? y - 1 : y) + left, src.ScanLine(y) + left,
                   src.ScanLine(y + 1 < rect.Bottom ? y + 1 : y) + left};
      ConvolveRow(p, r, dst.ScanLine(y) + left, scratch.data());
    }
  });
}

void Convolve3x3InPlace(TBitmap& bmp, const TConvolutionMatrix& m, TRect rect) {
  ForceBitmap24(bmp);
  ClipRectToBitmap(rect, bmp);
  if (rect.IsEmpty()) return;
  const Plan p = MakePlan(m, rect.Width());
  ForEachRowInPlace3(bmp, rect, p.grey ? GreyScratch(p.n) * sizeof(int32_t) : 0,
                     [&](const uint8_t* above, const uint8_t* row, const uint8_t* below, uint8_t* out, int,
                         uint8_t* scratch) {
                       const Rows r{above ? above : row, row, below ? below : row};
                       ConvolveRow(p, r, out, reinterpret_cast<int32_t*>(scratch));
                     });
}

void ApplyConvolutionPreset(TBitmap& dst, TBitmap& src, int index, TRect rect) {
  if (index < 0 || index >= kConvolutionPresetCount) return;
  Convolve3x3(dst, src, kConvolutionPresets[index], rect);
}

void ApplyConvolutionPresetInPlace(TBitmap& bmp, int index, TRect rect) {
  if (index < 0 || index >= kConvolutionPresetCount) return;
  Convolve3x3InPlace(bmp, kConvolutionPresets[index], rect);
}

TConvolutionMatrix CustomMatrix(const TCustomFilterParams& p) {
  return {{p.M0, p.M1, p.M2, p.M3, p.M4, p.M5, p.M6, p.M7, p.M8}, p.Divisor == 0 ? 1 : p.Divisor, 0, 0};
}

void CustomFilter(TBitmap& layer, TBitmap& source, const TCustomFilterParams& params, TRect rect) {
  if (InHardRange(params)) Convolve3x3(layer, source, CustomMatrix(params), rect);
}

}  // namespace qm
