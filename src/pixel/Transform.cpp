#include "pixel/Transform.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <numbers>
#include <vector>

#include "pixel/Blend.h"
#include "pixel/ImgUtils.h"
#include "pixel/Sampling.h"
#include "platform/core/Numeric.h"
#include "platform/core/Parallel.h"

namespace qm {

// --- Matrices --------------------------------------------------------------------------

void MatrixMultiply(const TMatrix3& a, const TMatrix3& b, TMatrix3& c) {
  TMatrix3 r;
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 3; ++j) r[3 * i + j] = b[3 * i] * a[j] + b[3 * i + 1] * a[3 + j] + b[3 * i + 2] * a[6 + j];
  c = r;
}

void MatrixTransformVector(const TMatrix3& m, const double v[3], double r[3]) {
  double t[3];
  for (int i = 0; i < 3; ++i) t[i] = m[i] * v[0] + m[i + 3] * v[1] + m[i + 6] * v[2];
  r[0] = t[0];
  r[1] = t[1];
  r[2] = t[2];
}

double MatrixDeterminant(const TMatrix3& m) {
  return m[0] * (m[4] * m[8] - m[5] * m[7]) - m[1] * (m[3] * m[8] - m[5] * m[6]) +
         m[2] * (m[3] * m[7] - m[4] * m[6]);
}

void MatrixAdjugate(TMatrix3& m) {
  const TMatrix3 a = m;
  m[0] = a[4] * a[8] - a[5] * a[7];
  m[1] = -(a[1] * a[8] - a[2] * a[7]);
  m[2] = a[1] * a[5] - a[2] * a[4];
  m[3] = -(a[3] * a[8] - a[5] * a[6]);
  m[4] = a[0] * a[8] - a[2] * a[6];
  m[5] = -(a[0] * a[5] - a[2] * a[3]);
  m[6] = a[3] * a[7] - a[4] * a[6];
  m[7] = -(a[0] * a[7] - a[1] * a[6]);
  m[8] = a[0] * a[4] - a[1] * a[3];
}

void MatrixScale(TMatrix3& m, double k) {
  for (double& v : m) v *= k;
}

void MatrixInvert(TMatrix3& m) {
  const double d = MatrixDeterminant(m);
  if (std::fabs(d) > 0.00001) {
    MatrixAdjugate(m);
    MatrixScale(m, 1.0 / d);
  } else {
    m = kIdentityMatrix;
  }
}

namespace {

// A rounded coordinate, cut to +-kCoordLimit; NaN gives 0.
inline int32_t RoundCoord(double v) { return std::clamp(RoundHalfEven(v), -kCoordLimit, kCoordLimit); }
inline int32_t ClampCoord(int64_t v) { return int32_t(std::clamp<int64_t>(v, -kCoordLimit, kCoordLimit)); }

}  // namespace

// --- TTransformation -------------------------------------------------------------------

void TTransformation::SetSrcRect(const TRect& r) {
  SrcRect = r;
  Prepared = false;
}

bool TTransformation::IsAxisAligned() const {
  TPoint c[4];
  GetDestCorners(c);
  return c[0].Y == c[1].Y && c[2].Y == c[3].Y && c[0].X == c[3].X && c[1].X == c[2].X && c[0].X < c[1].X &&
         c[0].Y < c[3].Y;
}

bool TTransformation::IsPlainTranslation() const {
  if (!IsAxisAligned()) return false;
  TRect b;
  GetDestBounds(b);
  return int64_t(b.Right) - b.Left == int64_t(SrcRect.Right) - SrcRect.Left &&
         int64_t(b.Bottom) - b.Top == int64_t(SrcRect.Bottom) - SrcRect.Top;
}

// --- TAffineTransformation ---------------------------------------------------------------

void TAffineTransformation::Compose(const TMatrix3& e) {
  MatrixMultiply(e, Matrix, Matrix);
  Prepared = false;
}

void TAffineTransformation::Clear() {
  Matrix = kIdentityMatrix;
  Prepared = false;
}

void TAffineTransformation::Translate(double dx, double dy) {
  TMatrix3 e = kIdentityMatrix;
  e[6] = dx;
  e[7] = dy;
  Compose(e);
}

void TAffineTransformation::Scale(double sx, double sy) {
  TMatrix3 e = kIdentityMatrix;
  e[0] = sx;
  e[4] = sy;
  Compose(e);
}

void TAffineTransformation::Skew(double kx, double ky) {
  TMatrix3 e = kIdentityMatrix;
  e[3] = kx;
  e[1] = ky;
  Compose(e);
}

void TAffineTransformation::Rotate(double cx, double cy, double degrees) {
  const bool centred = cx != 0.0 || cy != 0.0;
  if (centred) Translate(-cx, -cy);
  const double r = degrees * std::numbers::pi / 180.0;
  const double c = std::cos(r), s = std::sin(r);
  TMatrix3 e = kIdentityMatrix;
  e[0] = c;
  e[1] = -s;
  e[3] = s;
  e[4] = c;
  Compose(e);
  if (centred) Translate(cx, cy);
}

void TAffineTransformation::MapPoint(double x, double y, double& sx, double& sy) const {
  sx = x * Inverse[0] + y * Inverse[1] + Inverse[2];
  sy = x * Inverse[3] + y * Inverse[4] + Inverse[5];
}

void TAffineTransformation::MapRow(double x0, double y, int n, double* sx, double* sy) const {
  const double a = Inverse[0], d = Inverse[3];
  const double yb = y * Inverse[1], ye = y * Inverse[4], c = Inverse[2], f = Inverse[5];
  for (int i = 0; i < n; ++i) {
    const double x = x0 + i;
    sx[i] = x * a + yb + c;
    sy[i] = x * d + ye + f;
  }
}

void TAffineTransformation::Prepare() {
  TMatrix3 inv = Matrix;
  MatrixInvert(inv);
  Inverse = {inv[0], inv[3], inv[6], inv[1], inv[4], inv[7]};
  Prepared = true;
}

void TAffineTransformation::GetDestBounds(TRect& out) const {
  const double xs[4] = {double(SrcRect.Left), double(SrcRect.Right), double(SrcRect.Right), double(SrcRect.Left)};
  const double ys[4] = {double(SrcRect.Top), double(SrcRect.Top), double(SrcRect.Bottom), double(SrcRect.Bottom)};
  double minX = 0, minY = 0, maxX = 0, maxY = 0;
  for (int i = 0; i < 4; ++i) {
    const double x = xs[i] * Matrix[0] + ys[i] * Matrix[3] + Matrix[6];
    const double y = xs[i] * Matrix[1] + ys[i] * Matrix[4] + Matrix[7];
    if (i == 0 || x < minX) minX = x;
    if (i == 0 || x > maxX) maxX = x;
    if (i == 0 || y < minY) minY = y;
    if (i == 0 || y > maxY) maxY = y;
  }
  out = TRect{RoundCoord(minX), RoundCoord(minY), RoundCoord(maxX), RoundCoord(maxY)};
}

void TAffineTransformation::GetDestCorners(TPoint (&corners)[4]) const {
  const double xs[4] = {double(SrcRect.Left), double(SrcRect.Right), double(SrcRect.Right), double(SrcRect.Left)};
  const double ys[4] = {double(SrcRect.Top), double(SrcRect.Top), double(SrcRect.Bottom), double(SrcRect.Bottom)};
  for (int i = 0; i < 4; ++i)
    corners[i] = TPoint{RoundCoord(xs[i] * Matrix[0] + ys[i] * Matrix[3] + Matrix[6]),
                        RoundCoord(xs[i] * Matrix[1] + ys[i] * Matrix[4] + Matrix[7])};
}

void TAffineTransformation::MoveToOrigin() {
  TRect b;
  GetDestBounds(b);
  Translate(-double(b.Left), -double(b.Top));
}

// --- TProjectiveTransformation -------------------------------------------------------------

void TProjectiveTransformation::SetCorner(int i, TPoint p) {
  CornerX[size_t(i)] = ClampCoord(p.X);
  CornerY[size_t(i)] = ClampCoord(p.Y);
  Prepared = false;
}

void TProjectiveTransformation::GetDestBounds(TRect& out) const {
  out = TRect{*std::min_element(CornerX.begin(), CornerX.end()), *std::min_element(CornerY.begin(), CornerY.end()),
              *std::max_element(CornerX.begin(), CornerX.end()), *std::max_element(CornerY.begin(), CornerY.end())};
}

void TProjectiveTransformation::GetDestCorners(TPoint (&corners)[4]) const {
  for (size_t i = 0; i < 4; ++i) corners[i] = TPoint{CornerX[i], CornerY[i]};
}

void TProjectiveTransformation::MoveToOrigin() {
  TRect b;
  GetDestBounds(b);
  for (size_t i = 0; i < 4; ++i) {
    CornerX[i] = ClampCoord(int64_t(CornerX[i]) - b.Left);
    CornerY[i] = ClampCoord(int64_t(CornerY[i]) - b.Top);
  }
  Prepared = false;
}

namespace {
inline void ProjectiveMap(const TMatrix3& m, double x, double y, double& sx, double& sy) {
  const double w = x * m[2] + y * m[5] + m[8];
  if (w == 0.0 || std::isnan(w)) {
    sx = sy = -9999.0;
    return;
  }
  const double px = x * m[0] + y * m[3] + m[6];
  const double py = x * m[1] + y * m[4] + m[7];
  if (w == 1.0) {
    sx = px;
    sy = py;
  } else {
    const double r = 1.0 / w;
    sx = px * r;
    sy = py * r;
  }
}
}  // namespace

void TProjectiveTransformation::MapPoint(double x, double y, double& sx, double& sy) const {
  ProjectiveMap(Matrix, x, y, sx, sy);
}

void TProjectiveTransformation::MapRow(double x0, double y, int n, double* sx, double* sy) const {
  for (int i = 0; i < n; ++i) ProjectiveMap(Matrix, x0 + i, y, sx[i], sy[i]);
}

void TProjectiveTransformation::Prepare() {
  int64_t x[4], y[4];
  for (size_t i = 0; i < 4; ++i) x[i] = CornerX[i], y[i] = CornerY[i];
  // 1. The quadrilateral must turn the same way, by at least 0.2 radians, at every
  //    corner; otherwise its bounding rectangle stands in for it.
  double a[4];
  for (int i = 0; i < 4; ++i) {
    const int j = (i + 1) % 4;
    a[i] = std::atan2(double(y[i] - y[j]), double(x[j] - x[i]));
  }
  auto turns = [](double d) { return d >= 0.2 || d <= -3.3415926535897933; };
  if (!(a[0] - a[1] >= 0.2 && a[3] - a[0] >= 0.2 && turns(a[1] - a[2]) && turns(a[2] - a[3]))) {
    TRect b;
    GetDestBounds(b);
    CornerX = {b.Left, b.Right, b.Right, b.Left};
    CornerY = {b.Top, b.Top, b.Bottom, b.Bottom};
    for (size_t i = 0; i < 4; ++i) x[i] = CornerX[i], y[i] = CornerY[i];
  }
  Prepared = true;
  const int64_t srcW = int64_t(SrcRect.Right) - SrcRect.Left, srcH = int64_t(SrcRect.Bottom) - SrcRect.Top;
  if (srcW <= 0 || srcH <= 0) {
    // Nothing to map from: every weight is 0, so every position lies outside.
    Matrix.fill(0.0);
    return;
  }
  // 2-3. The unit square onto the quadrilateral. Corners lie within +-2^29, so the
  //      integer products below stay far inside 64 bits.
  const int64_t sx = x[0] - x[1] + x[2] - x[3], sy = y[0] - y[1] + y[2] - y[3];
  TMatrix3 m;
  if (sx == 0 && sy == 0) {
    m = {double(x[1] - x[0]), double(y[1] - y[0]), 0, double(x[2] - x[1]), double(y[2] - y[1]), 0,
         double(x[0]), double(y[0]), 1};
  } else {
    const int64_t dx1 = x[1] - x[2], dx2 = x[3] - x[2], dy1 = y[1] - y[2], dy2 = y[3] - y[2];
    const int64_t den = dx1 * dy2 - dx2 * dy1;
    if (den == 0) {
      m.fill(0.0);
    } else {
      const double g = double(sx * dy2 - sy * dx2) / double(den);
      const double h = double(dx1 * sy - dy1 * sx) / double(den);
      m = {double(x[1] - x[0]) + g * double(x[1]), double(y[1] - y[0]) + g * double(y[1]), g,
           double(x[3] - x[0]) + h * double(x[3]), double(y[3] - y[0]) + h * double(y[3]), h,
           double(x[0]), double(y[0]), 1};
    }
  }
  // 4. The source rectangle onto the unit square first.
  TMatrix3 s = kIdentityMatrix;
  s[0] = 1.0 / double(srcW);
  s[4] = 1.0 / double(srcH);
  MatrixMultiply(m, s, m);
  TMatrix3 t = kIdentityMatrix;
  t[6] = -double(SrcRect.Left);
  t[7] = -double(SrcRect.Top);
  MatrixMultiply(m, t, m);
  // 5. Destination to source.
  MatrixInvert(m);
  Matrix = m;
}

// --- Rasterisers -------------------------------------------------------------------------------

namespace {

enum class Mode { Copy, Opacity, Masked };

inline bool Is24(const TBitmap& b) { return b.PixelFormat() == pf24bit && !b.Empty(); }

// Writes the sampled colour s (and mask value m) onto d as the mode says.
inline void Put(uint8_t* d, const uint8_t* s, uint8_t m, Mode mode, int opacity) {
  switch (mode) {
    case Mode::Copy: std::memcpy(d, s, 3); break;
    case Mode::Opacity: BlendPixel(d, s, opacity); break;
    case Mode::Masked: BlendPixelMasked(d, s, &m, opacity); break;
  }
}

// The source positions of the centres of n destination pixels from (x, y), in pixel
// units with the source's pixel centres on integers.
void MapPixelCentres(const TTransformation& t, int x, int y, int n, double* sx, double* sy) {
  t.MapRow(x + 0.5, y + 0.5, n, sx, sy);
  for (int i = 0; i < n; ++i) {
    sx[i] -= 0.5;
    sy[i] -= 0.5;
  }
}

// For each i, the source pixel nearest to (u[i], v[i]), halves to the even neighbour,
// as RoundHalfEven gives it, in ix and iy; ix = kNoSample where that pixel lies outside
// width x height (infinite and NaN positions too). Written without branches, so that it
// runs on vectors: one pixel at a time, the rounding was a third of a layer's turn.
void NearestCoords(const double* u, const double* v, int n, int width, int height, int32_t* ix, int32_t* iy) {
  for (int i = 0; i < n; ++i) {
    // checked as doubles first, so the rounding only sees small values
    const bool near = u[i] >= -1.0 && u[i] <= width && v[i] >= -1.0 && v[i] <= height;
    const double a = near ? u[i] : 0.0, b = near ? v[i] : 0.0;
    const double fa = std::floor(a), fb = std::floor(b);
    const double da = a - fa, db = b - fb;
    const bool oddA = fa - 2.0 * std::floor(fa * 0.5) != 0.0, oddB = fb - 2.0 * std::floor(fb * 0.5) != 0.0;
    const int32_t px = int32_t(fa) + int32_t((da > 0.5) | ((da == 0.5) & oddA));
    const int32_t py = int32_t(fb) + int32_t((db > 0.5) | ((db == 0.5) & oddB));
    const bool in = near & (px >= 0) & (px < width) & (py >= 0) & (py < height);
    ix[i] = in ? px : kNoSample;
    iy[i] = py;
  }
}

// The general path: every destination pixel of the area mapped back from its centre.
void RasterizeMapped(const TBitmap& src, TBitmap& dst, const TTransformation& t, const TRect& area, Mode mode,
                     int opacity, const TBitmap* mask, bool smooth) {
  const int W = src.Width(), H = src.Height();
  // How far the source moves some rows down, measured at the area's centre (exact for
  // an affine mapping, near enough for a projective one).
  ptrdiff_t prefetch = 0, maskPrefetch = 0;
  {
    const double cx = (area.Left + area.Right) / 2.0, cy = (area.Top + area.Bottom) / 2.0;
    double x0, y0, x1, y1;
    t.MapPoint(cx, cy, x0, y0);
    t.MapPoint(cx, cy + kPrefetchRows, x1, y1);
    prefetch = PrefetchDistance(x1 - x0, y1 - y0, src.Stride());
    if (mask) maskPrefetch = PrefetchDistance(x1 - x0, y1 - y0, mask->Stride());
  }
  ParallelSlabs(area.Top, area.Bottom, int64_t(area.Width()) * area.Height(), [&](int y0, int y1) {
    const size_t n0 = size_t(std::min(area.Width(), kTileColumns));
    std::vector<double> sx(n0), sy(n0), wx, wy;
    std::vector<int32_t> ix(n0), iy(n0);
    std::vector<uint64_t> top, bottom, mtop, mbottom;
    std::vector<uint32_t> out, mout;
    if (smooth) {
      wx.resize(n0);
      wy.resize(n0);
      top.resize(n0);
      bottom.resize(n0);
      out.resize(n0);
      if (mask) {
        mtop.resize(n0);
        mbottom.resize(n0);
        mout.resize(n0);
      }
    }
    static constexpr uint8_t kHidden[3] = {255, 255, 255};
    ForEachTileSegment(y0, y1, area.Left, area.Right, [&](int y, int x0, int x1) {
      const int n = x1 - x0;
      MapPixelCentres(t, x0, y, n, sx.data(), sy.data());
      uint8_t* drow = dst.ScanLine(y) + ptrdiff_t(x0) * 3;
      if (!smooth) {
        NearestCoords(sx.data(), sy.data(), n, W, H, ix.data(), iy.data());
        for (size_t i = 0; i < size_t(n); ++i) {
          if (ix[i] == kNoSample) continue;
          const uint8_t* s = src.ScanLine(iy[i]) + ptrdiff_t(ix[i]) * 3;
          // The source rows a turned picture reads come in an order the processor does
          // not guess: the pixel some rows below is asked for ahead (an address only;
          // it may lie outside the bitmap).
          if (prefetch) __builtin_prefetch(reinterpret_cast<const void*>(reinterpret_cast<uintptr_t>(s) + uintptr_t(prefetch)));
          Put(drow + i * 3, s, mask ? mask->ScanLine(iy[i])[ptrdiff_t(ix[i]) * 3] : 0, mode, opacity);
        }
        return;
      }
      BilinearCoords(sx.data(), sy.data(), n, W, H, ix.data(), iy.data(), wx.data(), wy.data());
      GatherTaps(src, W, H, ix.data(), iy.data(), n, drow, 3, prefetch, wx.data(), wy.data(), top.data(),
                 bottom.data());
      BlendTaps(top.data(), bottom.data(), wx.data(), wy.data(), n, false, 3, out.data());
      if (mask) {
        GatherTaps(*mask, W, H, ix.data(), iy.data(), n, kHidden, 0, maskPrefetch, wx.data(), wy.data(), mtop.data(),
                   mbottom.data());
        BlendTaps(mtop.data(), mbottom.data(), wx.data(), wy.data(), n, false, 1, mout.data());
      }
      for (size_t i = 0; i < size_t(n); ++i) {
        if (ix[i] == kNoSample) continue;
        const uint8_t s[3] = {uint8_t(out[i]), uint8_t(out[i] >> 8), uint8_t(out[i] >> 16)};
        Put(drow + i * 3, s, mask ? uint8_t(mout[i]) : 0, mode, opacity);
      }
    });
  });
}

void Rasterize(const TBitmap& src0, TBitmap& dst, TTransformation& t, Mode mode, int opacity,
               const TBitmap* mask0, bool smooth) {
  if (!Is24(src0) || !Is24(dst)) return;
  TRect bounds;
  t.GetDestBounds(bounds);
  const TRect area = IntersectRect(bounds, GetBitmapRect(dst));
  if (area.IsEmpty()) return;
  if (t.IsPlainTranslation() || (!smooth && t.IsAxisAligned())) {
    switch (mode) {
      case Mode::Copy: StretchBitmapRect(src0, t.SrcRect, dst, bounds, UnboundedRect); break;
      case Mode::Opacity: StretchBitmapRectOpacity(src0, t.SrcRect, dst, bounds, UnboundedRect, opacity); break;
      case Mode::Masked:
        StretchBitmapRectMasked(src0, t.SrcRect, dst, bounds, UnboundedRect, opacity, *mask0);
        break;
    }
    return;
  }
  if (!t.Prepared) t.Prepare();
  // Drawing a bitmap onto itself reads it as it was.
  TBitmap srcCopy, maskCopy;
  const TBitmap* src = &src0;
  const TBitmap* mask = mask0;
  if (src == &dst) {
    srcCopy = src0.Clone();
    src = &srcCopy;
  }
  if (mask && mask == &dst) {
    maskCopy = mask0->Clone();
    mask = &maskCopy;
  }
  RasterizeMapped(*src, dst, t, area, mode, opacity, mask, smooth);
}

}  // namespace

void RasterizeTransform(const TBitmap& src, TBitmap& dst, TTransformation& t, bool smooth) {
  Rasterize(src, dst, t, Mode::Copy, 100, nullptr, smooth);
}

void RasterizeTransformOpacity(const TBitmap& src, TBitmap& dst, TTransformation& t, int opacity, bool smooth) {
  if (opacity <= 0) return;
  if (opacity >= 100) return RasterizeTransform(src, dst, t, smooth);
  Rasterize(src, dst, t, Mode::Opacity, opacity, nullptr, smooth);
}

void RasterizeLayerTransform(const TBitmap& src, const TBitmap* mask, TBitmap& dst, TBitmap& maskDst,
                             TTransformation& t) {
  if (!Is24(src) || !Is24(dst) || !Is24(maskDst) || (mask && !Is24(*mask))) return;
  if (maskDst.Width() != dst.Width() || maskDst.Height() != dst.Height() || &src == &dst || mask == &maskDst) return;
  if (mask && (mask->Width() != src.Width() || mask->Height() != src.Height())) return;
  if (t.IsAxisAligned()) return;
  TRect bounds;
  t.GetDestBounds(bounds);
  const TRect area = IntersectRect(bounds, GetBitmapRect(dst));
  static constexpr uint8_t kWhite[3] = {255, 255, 255};
  // Outside the area nothing is sampled: only the whitening.
  for (int y = 0; y < dst.Height(); ++y) {
    const bool inRows = !area.IsEmpty() && y >= area.Top && y < area.Bottom;
    uint8_t* d = dst.ScanLine(y);
    const uint8_t* m = maskDst.ScanLine(y);
    for (int x = 0; x < dst.Width(); ++x) {
      if (inRows && x == area.Left) x = area.Right;
      if (x < dst.Width() && m[ptrdiff_t(x) * 3] == 255) std::memcpy(d + ptrdiff_t(x) * 3, kWhite, 3);
    }
  }
  if (area.IsEmpty()) return;
  if (!t.Prepared) t.Prepare();
  const int W = src.Width(), H = src.Height();
  double x0, y0, x1, y1;
  const double cx = (area.Left + area.Right) / 2.0, cy = (area.Top + area.Bottom) / 2.0;
  t.MapPoint(cx, cy, x0, y0);
  t.MapPoint(cx, cy + kPrefetchRows, x1, y1);
  const ptrdiff_t prefetch = PrefetchDistance(x1 - x0, y1 - y0, src.Stride());
  const ptrdiff_t maskPrefetch = mask ? PrefetchDistance(x1 - x0, y1 - y0, mask->Stride()) : 0;
  ParallelSlabs(area.Top, area.Bottom, int64_t(area.Width()) * area.Height(), [&](int ya, int yb) {
    const size_t n0 = size_t(std::min(area.Width(), kTileColumns));
    std::vector<double> sx(n0), sy(n0), wx(n0), wy(n0);
    std::vector<int32_t> ix(n0), iy(n0);
    std::vector<uint64_t> top(n0), bottom(n0), mtop(n0), mbottom(n0);
    std::vector<uint32_t> out(n0), mout(n0), edge(n0), eout(n0);
    std::vector<double> ewx(n0), ewy(n0);
    ForEachTileSegment(ya, yb, area.Left, area.Right, [&](int y, int xa, int xb) {
      const int n = xb - xa;
      MapPixelCentres(t, xa, y, n, sx.data(), sy.data());
      uint8_t* drow = dst.ScanLine(y) + ptrdiff_t(xa) * 3;
      uint8_t* mrow = maskDst.ScanLine(y) + ptrdiff_t(xa) * 3;
      BilinearCoords(sx.data(), sy.data(), n, W, H, ix.data(), iy.data(), wx.data(), wy.data());
      GatherTaps(src, W, H, ix.data(), iy.data(), n, drow, 3, prefetch, wx.data(), wy.data(), top.data(),
                 bottom.data());
      BlendTaps(top.data(), bottom.data(), wx.data(), wy.data(), n, false, 3, out.data());
      if (mask) {
        GatherTaps(*mask, W, H, ix.data(), iy.data(), n, mrow, 3, maskPrefetch, wx.data(), wy.data(), mtop.data(),
                   mbottom.data());
        BlendTaps(mtop.data(), mbottom.data(), wx.data(), wy.data(), n, false, 3, mout.data());
      } else {
        // The opaque mask: 0 in the source, the destination's own mask pixel outside.
        // Inside, all four taps are 0 and so is the blend: only the pixels along the
        // edge are blended, gathered apart.
        static constexpr uint8_t kOpaque[3] = {0, 0, 0};
        size_t m = 0;
        for (size_t i = 0; i < size_t(n); ++i) {
          mout[i] = 0;
          if (ix[i] == kNoSample || (ix[i] >= 0 && ix[i] + 1 < W && iy[i] >= 0 && iy[i] + 1 < H)) continue;
          const uint8_t* own = mrow + i * 3;
          auto at = [&](int px, int py) { return px >= 0 && px < W && py >= 0 && py < H ? kOpaque : own; };
          mtop[m] = PackPixelPair(at(ix[i], iy[i]), at(ix[i] + 1, iy[i]));
          mbottom[m] = PackPixelPair(at(ix[i], iy[i] + 1), at(ix[i] + 1, iy[i] + 1));
          ewx[m] = wx[i];
          ewy[m] = wy[i];
          edge[m++] = uint32_t(i);
        }
        BlendTaps(mtop.data(), mbottom.data(), ewx.data(), ewy.data(), int(m), false, 3, eout.data());
        for (size_t k = 0; k < m; ++k) mout[edge[k]] = eout[k];
      }
      for (size_t i = 0; i < size_t(n); ++i) {
        uint8_t* d = drow + i * 3;
        uint8_t* m = mrow + i * 3;
        if (ix[i] != kNoSample) {
          const uint8_t c[3] = {uint8_t(out[i]), uint8_t(out[i] >> 8), uint8_t(out[i] >> 16)};
          const uint8_t v[3] = {uint8_t(mout[i]), uint8_t(mout[i] >> 8), uint8_t(mout[i] >> 16)};
          std::memcpy(d, c, 3);
          std::memcpy(m, v, 3);
        }
        if (m[0] == 255) std::memcpy(d, kWhite, 3);
      }
    });
  });
}

void RasterizeTransformMasked(const TBitmap& src, TBitmap& dst, TTransformation& t, int opacity,
                              const TBitmap& mask, bool smooth) {
  if (opacity <= 0 || mask.PixelFormat() != pf24bit || mask.Width() < src.Width() || mask.Height() < src.Height())
    return;
  Rasterize(src, dst, t, Mode::Masked, std::min(opacity, 100), &mask, smooth);
}

}  // namespace qm
