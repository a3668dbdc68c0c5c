#include "pixel/Rotation.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <numbers>
#include <vector>

#include "pixel/Blend.h"
#include "pixel/RectUtils.h"
#include "pixel/Sampling.h"
#include "platform/core/Colors.h"
#include "platform/core/Numeric.h"
#include "platform/core/Parallel.h"

namespace qm {
namespace {

// A 24-bit view of the source: itself, or a converted copy kept in holder.
const TBitmap& As24(const TBitmap& src, TBitmap& holder) {
  if (src.PixelFormat() == pf24bit) return src;
  holder = src.Clone();
  holder.SetPixelFormat(pf24bit);
  return holder;
}

// Makes dst a 24-bit w x h bitmap for a kernel that then writes every pixel, so a
// destination that already has that shape is reused as it is.
void PrepareDest(TBitmap& dst, int w, int h, TColor brush) {
  dst.BrushColor = brush;
  if (dst.PixelFormat() == pf24bit && dst.Width() == w && dst.Height() == h) return;
  dst.Clear();
  dst.SetPixelFormat(pf24bit);
  dst.SetSize(w, h);
}

// Square tiles keep the rows a quarter turn reads across in the cache.
constexpr int kTile = 64;

// src 24-bit and not dst.
void QuarterTurn(const TBitmap& src, TBitmap& dst, bool clockwise) {
  const int W = src.Width(), H = src.Height();
  PrepareDest(dst, H, W, dst.BrushColor);
  if (dst.Empty()) return;
  const ptrdiff_t srcStride = src.Stride();
  ParallelRows(0, W, int64_t(W) * H, [&](int y0, int y1) {
    const uint8_t* rows[kTile];
    for (int ty = y0; ty < y1; ty += kTile) {
      const int ty1 = std::min(ty + kTile, y1);
      for (int tx = 0; tx < H; tx += kTile) {
        const int n = std::min(tx + kTile, H) - tx;
        // The source rows the tile's destination pixels come from, in their order:
        // clockwise (dx, dy) <- (dy, H - 1 - dx), else (dx, dy) <- (W - 1 - dy, dx).
        for (int i = 0; i < n; ++i) rows[i] = src.ScanLine(clockwise ? H - 1 - (tx + i) : tx + i);
        // A pixel moves as one 4-byte load and store, the fourth byte overwritten by the
        // next pixel, where that byte is still inside the source row and inside this
        // thread's destination row; the others move by 3 bytes.
        const int wide = tx + n < H ? n : n - 1;
        for (int dy = ty; dy < ty1; ++dy) {
          uint8_t* d = dst.ScanLine(dy) + ptrdiff_t(tx) * 3;
          const ptrdiff_t sx = ptrdiff_t(clockwise ? dy : W - 1 - dy) * 3;
          int i = 0;
          if (sx + 4 <= srcStride) {
            for (; i < wide; ++i) {
              uint32_t v;
              std::memcpy(&v, rows[i] + sx, 4);
              std::memcpy(d + ptrdiff_t(i) * 3, &v, 4);
            }
          }
          for (; i < n; ++i) std::memcpy(d + ptrdiff_t(i) * 3, rows[i] + sx, 3);
        }
      }
    }
  });
}

// src 24-bit and not dst; turns is 0 (a copy) or 2 (a half turn).
void StraightTurn(const TBitmap& src, TBitmap& dst, int turns) {
  const int W = src.Width(), H = src.Height();
  PrepareDest(dst, W, H, dst.BrushColor);
  if (dst.Empty()) return;
  ParallelRows(0, H, int64_t(W) * H, [&](int y0, int y1) {
    for (int y = y0; y < y1; ++y) {
      uint8_t* d = dst.ScanLine(y);
      if (turns == 0) {
        std::memcpy(d, src.ScanLine(y), size_t(W) * 3);
        continue;
      }
      const uint8_t* s = src.ScanLine(H - 1 - y) + ptrdiff_t(W - 1) * 3;
      for (int x = 0; x < W; ++x, d += 3, s -= 3) std::memcpy(d, s, 3);
    }
  });
}

// How a rotation is carried out: a number of quarter turns, or the general sampling
// with the cosine and sine of the angle; and the destination's size.
struct Plan {
  int quarters = -1;  // 0..3 clockwise, or -1
  double c = 1, s = 0;
  int width = 0, height = 0;
};

bool MakePlan(int W, int H, double degrees, bool enlarge, Plan& p) {
  if (degrees == 0.0 || !std::isfinite(degrees)) return false;
  const double d = std::fmod(degrees, 360.0);
  if (std::fmod(d, 90.0) == 0.0) {
    p.quarters = ((int(d / 90.0) % 4) + 4) % 4;
    const bool swap = enlarge && (p.quarters & 1);
    p.width = swap ? H : W;
    p.height = swap ? W : H;
    return true;
  }
  const double r = -d * std::numbers::pi / 180.0;
  p.c = std::cos(r);
  p.s = std::sin(r);
  if (enlarge) {
    const int64_t w = std::abs(int64_t(RoundHalfEven(H * p.s))) + std::abs(int64_t(RoundHalfEven(W * p.c)));
    const int64_t h = std::abs(int64_t(RoundHalfEven(W * p.s))) + std::abs(int64_t(RoundHalfEven(H * p.c)));
    if (w > kMaxBitmapSide || h > kMaxBitmapSide) return false;
    p.width = int(w);
    p.height = int(h);
  } else {
    p.width = W;
    p.height = H;
  }
  return true;
}

// The x range in which alpha * x + beta may lie in [lo, hi), cut to [0, limit]. The
// per-pixel arithmetic rounds differently from this linear model, by far less than
// 1e-6 at any coordinate a bitmap can have: the range is widened by that in value and
// by two pixels in x, so that no pixel it leaves out could have been sampled (a nearly
// vertical source edge, alpha close to 0, widens it to the whole row).
void Span(double alpha, double beta, double lo, double hi, int limit, int& x0, int& x1) {
  lo -= 1e-6;
  hi += 1e-6;
  double a, b;
  if (alpha > 0) {
    a = (lo - beta) / alpha;
    b = (hi - beta) / alpha;
  } else if (alpha < 0) {
    a = (hi - beta) / alpha;
    b = (lo - beta) / alpha;
  } else if (beta >= lo && beta < hi) {
    a = -1.0, b = limit + 1.0;
  } else {
    a = b = -1.0;
  }
  a = std::clamp(a - 2.0, -1.0, limit + 1.0);
  b = std::clamp(b + 2.0, -1.0, limit + 1.0);
  x0 = std::clamp(int(std::floor(a)), 0, limit);
  x1 = std::clamp(int(std::ceil(b)), 0, limit);
}

// The general rotation: every destination pixel sampled at its centre.
void SampledTurn(const TBitmap& src, TBitmap& dst, const Plan& p, bool smooth, TColor background) {
  const int W = src.Width(), H = src.Height(), W2 = p.width, H2 = p.height;
  PrepareDest(dst, W2, H2, background);
  if (dst.Empty()) return;
  const TPixel24 bg = ColorToPixel24(background);
  std::vector<uint8_t> bgRow(size_t(W2) * 3);
  for (int x = 0; x < W2; ++x) std::memcpy(&bgRow[size_t(x) * 3], &bg.B, 3);
  const double c = p.c, s = p.s;
  const double hw = W / 2.0, hh = H / 2.0, hw2 = W2 / 2.0, hh2 = H2 / 2.0;
  // dx * c and dx * s of every column, the same products the per-pixel formula takes.
  std::vector<double> pc(static_cast<size_t>(W2)), ps(static_cast<size_t>(W2));
  for (int x = 0; x < W2; ++x) {
    const double dx = (x + 0.5) - hw2;
    pc[size_t(x)] = dx * c;
    ps[size_t(x)] = dx * s;
  }
  const ptrdiff_t prefetch = smooth ? PrefetchDistance(-kPrefetchRows * s, kPrefetchRows * c, src.Stride()) : 0;
  ParallelSlabs(0, H2, int64_t(W2) * H2, [&](int y0, int y1) {
    const size_t n0 = size_t(std::min(W2, kTileColumns));
    std::vector<double> u(n0), v(n0), wx, wy;
    std::vector<int32_t> ix, iy;
    std::vector<uint64_t> top, bottom;
    std::vector<uint32_t> out;
    if (smooth) {
      wx.resize(n0);
      wy.resize(n0);
      ix.resize(n0);
      iy.resize(n0);
      top.resize(n0);
      bottom.resize(n0);
      out.resize(n0);
    }
    ForEachTileSegment(y0, y1, 0, W2, [&](int y, int t0, int t1) {
      const double dy = (y + 0.5) - hh2;
      const double a = dy * s, b = dy * c;
      // fx = (dx c - dy s) + W/2 and fy = (dx s + dy c) + H/2; only where they come
      // near the source is anything sampled.
      int xa, xb, xa2, xb2;
      Span(c, (0.5 - hw2) * c - a + hw, -0.5, W + 0.5, W2, xa, xb);
      Span(s, (0.5 - hw2) * s + b + hh, -0.5, H + 0.5, W2, xa2, xb2);
      xa = std::clamp(std::max(xa, xa2), t0, t1);
      xb = std::clamp(std::min(xb, xb2), xa, t1);
      const int n = xb - xa;
      uint8_t* d = dst.ScanLine(y);
      std::memcpy(d + ptrdiff_t(t0) * 3, bgRow.data(), size_t(xa - t0) * 3);
      std::memcpy(d + ptrdiff_t(xb) * 3, bgRow.data(), size_t(t1 - xb) * 3);
      const double off = smooth ? 0.5 : 0.0;  // bilinear taps sit on pixel centres
      for (int i = 0; i < n; ++i) {
        u[size_t(i)] = ((pc[size_t(xa + i)] - a) + hw) - off;
        v[size_t(i)] = ((ps[size_t(xa + i)] + b) + hh) - off;
      }
      uint8_t* dd = d + ptrdiff_t(xa) * 3;
      if (!smooth) {
        for (int i = 0; i < n; ++i, dd += 3) {
          const double fx = u[size_t(i)], fy = v[size_t(i)];
          if (fx >= 0.0 && fx < W && fy >= 0.0 && fy < H)
            std::memcpy(dd, src.ScanLine(int(fy)) + ptrdiff_t(int(fx)) * 3, 3);  // floor of a non-negative
          else
            std::memcpy(dd, &bg.B, 3);
        }
        return;
      }
      BilinearCoords(u.data(), v.data(), n, W, H, ix.data(), iy.data(), wx.data(), wy.data());
      GatherTaps(src, W, H, ix.data(), iy.data(), n, &bg.B, 0, prefetch, wx.data(), wy.data(), top.data(),
                 bottom.data());
      BlendTaps(top.data(), bottom.data(), wx.data(), wy.data(), n, true, 3, out.data());
      // Four bytes at a time, the fourth overwritten by the next pixel; the segment's
      // last pixel gets three, as its right neighbour may already be written.
      for (int i = 0; i + 1 < n; ++i, dd += 3) std::memcpy(dd, &out[size_t(i)], 4);
      if (n > 0) std::memcpy(dd, &out[size_t(n) - 1], 3);
    });
  });
}

void Render(const TBitmap& src, TBitmap& dst, const Plan& p, bool smooth, TColor background) {
  const int W = src.Width(), H = src.Height();
  switch (p.quarters) {
    case 0:
    case 2:
      dst.BrushColor = background;
      StraightTurn(src, dst, p.quarters);
      return;
    case 1:
    case 3:
      dst.BrushColor = background;
      if (p.width == H) return QuarterTurn(src, dst, p.quarters == 1);
      {
        // The frame keeps the source's size: the turned picture is centred in it.
        TBitmap turned;
        QuarterTurn(src, turned, p.quarters == 1);
        dst.Clear();
        dst.SetPixelFormat(pf24bit);
        dst.SetSize(W, H);
        TRect r{0, 0, H, W};
        AlignRectInRect(r, TRect{0, 0, W, H}, alCenter);
        CopyBitmapRect(turned, UnboundedRect, dst, r.Left, r.Top, UnboundedRect);
      }
      return;
    default: SampledTurn(src, dst, p, smooth, background);
  }
}

}  // namespace

void RotateBitmap90To(const TBitmap& src0, TBitmap& dst, bool clockwise) {
  if (&src0 == &dst) return RotateBitmap90(dst, clockwise);
  TBitmap holder;
  QuarterTurn(As24(src0, holder), dst, clockwise);
}

void RotateBitmap90(TBitmap& bmp, bool clockwise) {
  TBitmap tmp = std::move(bmp);  // keeps bmp's colours and flags
  if (tmp.PixelFormat() != pf24bit) tmp.SetPixelFormat(pf24bit);
  QuarterTurn(tmp, bmp, clockwise);
}

void RotateBitmapAngleTo(const TBitmap& src0, TBitmap& dst, bool smooth, double degrees, bool enlarge,
                         TColor background) {
  if (&src0 == &dst) return RotateBitmapAngle(dst, smooth, enlarge, degrees, background);
  Plan p;
  if (!MakePlan(src0.Width(), src0.Height(), degrees, enlarge, p)) return;
  TBitmap holder;
  Render(As24(src0, holder), dst, p, smooth, background);
}

void RotateBitmapAngle(TBitmap& bmp, bool smooth, bool enlarge, double degrees, TColor background) {
  Plan p;
  if (!MakePlan(bmp.Width(), bmp.Height(), degrees, enlarge, p)) return;
  TBitmap tmp = std::move(bmp);
  if (tmp.PixelFormat() != pf24bit) tmp.SetPixelFormat(pf24bit);
  Render(tmp, bmp, p, smooth, background);
}

void RotatePointInFrame(TPoint p, int oldWidth, int oldHeight, double degrees, int newWidth, int newHeight,
                        TPoint& out) {
  const double r = -degrees * std::numbers::pi / 180.0;
  double c = std::cos(r), s = std::sin(r);
  // Quarter turns exactly, so that halves round to even rather than by the last bit
  // of a cosine of 90 degrees.
  if (std::isfinite(degrees) && std::fmod(degrees, 90.0) == 0.0) {
    const int q = ((int(std::fmod(degrees, 360.0) / 90.0) % 4) + 4) % 4;
    static constexpr double kCos[4] = {1, 0, -1, 0}, kSin[4] = {0, -1, 0, 1};
    c = kCos[q];
    s = kSin[q];
  }
  const double u = p.X - oldWidth / 2.0, v = oldHeight / 2.0 - p.Y;
  out = TPoint{RoundHalfEven(u * c - v * s + newWidth / 2.0), RoundHalfEven(newHeight / 2.0 - (u * s + v * c))};
}

}  // namespace qm
