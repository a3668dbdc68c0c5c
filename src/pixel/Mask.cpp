#include "pixel/Mask.h"

#include <algorithm>
#include <array>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include "pixel/AreaChassis.h"
#include "pixel/Chassis.h"
#include "pixel/ImgUtils.h"
#include "pixel/Planes.h"
#include "platform/core/Colors.h"
#include "platform/core/Numeric.h"
#include "platform/core/Parallel.h"
#include "platform/core/Random.h"

namespace qm {
namespace {

inline void Put3(uint8_t* p, uint8_t v) { p[0] = p[1] = p[2] = v; }

// Clips the rect to a 24-bit bitmap; false when nothing is left to do.
bool Clip24(const TBitmap& bmp, TRect& r) {
  if (bmp.PixelFormat() != pf24bit) return false;
  ClipRectToBitmap(r, bmp);
  return !r.IsEmpty();
}

// Column strips for kernels that walk columns: wide enough for whole cache lines,
// narrow enough to share the columns of a photo among eight threads.
constexpr int kStrip = 256;

template <class Body>
void ParallelStrips(int width, int64_t work, Body&& body) {
  const int strips = (width + kStrip - 1) / kStrip;
  ParallelRows(0, strips, work, [&](int s0, int s1) {
    for (int s = s0; s < s1; ++s) body(s * kStrip, std::min(width, (s + 1) * kStrip));
  });
}

}  // namespace

// --- Fills ------------------------------------------------------------------------

void FillRadialGradient(TBitmap& bmp, TColor colorA, TColor colorB, int radius, int centerX, int centerY,
                        TRect rect) {
  if (!Clip24(bmp, rect)) return;
  const TPixel24 a = ColorToPixel24(colorA), b = ColorToPixel24(colorB);
  const int ca[3] = {a.B, a.G, a.R}, cb[3] = {b.B, b.G, b.R};
  uint8_t lut[3][256];
  for (int c = 0; c < 3; ++c)
    for (int t = 0; t < 256; ++t) lut[c][t] = uint8_t(cb[c] + (ca[c] - cb[c]) * t / 255);
  ParallelRows(rect.Top, rect.Bottom, int64_t(rect.Width()) * rect.Height(), [&](int y0, int y1) {
    for (int y = y0; y < y1; ++y) {
      uint8_t* p = bmp.ScanLine(y) + ptrdiff_t(rect.Left) * 3;
      for (int x = rect.Left; x < rect.Right; ++x, p += 3) {
        const int d = IntDistance(x, y, centerX, centerY);
        const int t = d < radius ? int(int64_t(radius - d) * 255 / radius) : 0;
        p[0] = lut[0][t];
        p[1] = lut[1][t];
        p[2] = lut[2][t];
      }
    }
  });
}

namespace {

// The plasma grid of the clouds: values 1..192 once filled, 0 while not yet set.
class CloudGrid {
 public:
  CloudGrid() { g_.fill(0); }
  uint8_t& At(int x, int y) { return g_[size_t(y) * 256 + size_t(x)]; }

  void Fill() {
    At(0, 0) = uint8_t(Random(192));
    At(0, 255) = uint8_t(Random(192));
    At(255, 0) = uint8_t(Random(192));
    At(255, 255) = uint8_t(Random(192));
    Subdivide(0, 0, 255, 255);
  }

 private:
  // An unset midpoint takes the mean of its two end corners, displaced at random by up
  // to twice the length of the edge.
  void SetMidpoint(int x, int y, int xa, int ya, int xb, int yb) {
    if (At(x, y) != 0) return;
    const double r = RandomFloat();
    const int v = (At(xa, ya) + At(xb, yb)) / 2 + 4 * Trunc((r - 0.5) * (std::abs(xa - xb) + std::abs(ya - yb)));
    At(x, y) = uint8_t(ClampInt(v, 1, 192));
  }

  void Subdivide(int x0, int y0, int x1, int y1) {
    if (x1 - x0 < 2 && y1 - y0 < 2) return;
    const int mx = (x0 + x1) / 2, my = (y0 + y1) / 2;
    SetMidpoint(mx, y0, x0, y0, x1, y0);
    SetMidpoint(x1, my, x1, y0, x1, y1);
    SetMidpoint(mx, y1, x0, y1, x1, y1);
    SetMidpoint(x0, my, x0, y0, x0, y1);
    if (At(mx, my) == 0) At(mx, my) = uint8_t((At(x0, y0) + At(x1, y0) + At(x0, y1) + At(x1, y1)) / 4);
    Subdivide(x0, y0, mx, my);
    Subdivide(mx, y0, x1, my);
    Subdivide(x0, my, mx, y1);
    Subdivide(mx, my, x1, y1);
  }

  std::array<uint8_t, 256 * 256> g_;
};

// The triangle wave that walks the grid: the index moves on every even coordinate,
// turning back at 255 and at 0, so 256 cells cover 512 pixels and then mirror.
std::vector<uint8_t> TriangleWalk(int from, int to) {
  std::vector<uint8_t> idx(size_t(to - from));
  int i = 0, step = 1;
  for (int v = from; v < to; ++v) {
    if (v % 2 == 0) {
      i += step;
      if (i == 255) step = -1;
      else if (i == 0) step = 1;
    }
    idx[size_t(v - from)] = uint8_t(i);
  }
  return idx;
}

}  // namespace

void RenderClouds(TBitmap& bmp, TColor colorA, TColor colorB, TRect rect) {
  if (!Clip24(bmp, rect)) return;
  CloudGrid grid;  // the random part runs here, on one thread
  grid.Fill();
  const TPixel24 a = ColorToPixel24(colorA), b = ColorToPixel24(colorB);
  const int ca[3] = {a.B, a.G, a.R}, cb[3] = {b.B, b.G, b.R};
  uint8_t lut[3][256];
  for (int c = 0; c < 3; ++c)
    for (int v = 0; v < 256; ++v) lut[c][v] = uint8_t(ClampInt(cb[c] + (ca[c] - cb[c]) * v / 192, 0, 255));
  const std::vector<uint8_t> gy = TriangleWalk(rect.Top, rect.Bottom);
  const std::vector<uint8_t> gx = TriangleWalk(rect.Left, rect.Right);
  ParallelRows(rect.Top, rect.Bottom, int64_t(rect.Width()) * rect.Height(), [&](int y0, int y1) {
    for (int y = y0; y < y1; ++y) {
      uint8_t* p = bmp.ScanLine(y) + ptrdiff_t(rect.Left) * 3;
      const int row = gy[size_t(y - rect.Top)];
      for (size_t i = 0; i < gx.size(); ++i, p += 3) {
        const uint8_t v = grid.At(gx[i], row);
        p[0] = lut[0][v];
        p[1] = lut[1][v];
        p[2] = lut[2][v];
      }
    }
  });
}

// --- Masks from colours -------------------------------------------------------------

namespace {

// Gives the mask the source's size, keeping the overlap; pixels gained are outside.
void SizeMaskTo(TBitmap& mask, const TBitmap& src) {
  if (mask.PixelFormat() != pf24bit) mask.SetPixelFormat(pf24bit);
  if (mask.Width() == src.Width() && mask.Height() == src.Height()) return;
  const TColor brush = mask.BrushColor;
  mask.BrushColor = clWhite;
  mask.SetSize(src.Width(), src.Height());
  mask.BrushColor = brush;
}

// out[i] = 1 where every channel of pixel i lies in [lo, hi] (planes b, g, r), else 0.
void MatchFlags(const uint8_t* __restrict b, const uint8_t* __restrict g, const uint8_t* __restrict r,
                uint8_t* __restrict out, int n, const uint8_t* lo, const uint8_t* hi) {
  const uint8_t lb = lo[0], lg = lo[1], lr = lo[2], hb = hi[0], hg = hi[1], hr = hi[2];
  for (int x = 0; x < n; ++x)
    out[x] = (b[x] >= lb) & (b[x] <= hb) & (g[x] >= lg) & (g[x] <= hg) & (r[x] >= lr) & (r[x] <= hr);
}

// Calls f(maskRow, matches, n) for every row of the rect: maskRow points at the mask's
// pixels from the rect's left edge, matches[i] is 1 where source pixel i is within the
// tolerance of the colour on every channel, else 0.
template <class F>
void ForEachColorMatch(const TBitmap& src, TBitmap& mask, TColor color, int tolerance, TRect rect, F&& f) {
  if (tolerance < 0 || !Clip24(src, rect)) return;
  SizeMaskTo(mask, src);
  const TPixel24 c = ColorToPixel24(color);
  const int key[3] = {c.B, c.G, c.R};
  uint8_t lo[3], hi[3];
  for (int k = 0; k < 3; ++k) {
    lo[k] = uint8_t(std::max(0, key[k] - std::min(tolerance, 255)));
    hi[k] = uint8_t(std::min(255, key[k] + std::min(tolerance, 255)));
  }
  const int n = rect.Width();
  ParallelRows(rect.Top, rect.Bottom, int64_t(n) * rect.Height(), [&](int y0, int y1) {
    std::vector<uint8_t> planes(static_cast<size_t>(n) * 3), match(static_cast<size_t>(n));
    uint8_t* b = planes.data();
    uint8_t* g = b + n;
    uint8_t* r = g + n;
    for (int y = y0; y < y1; ++y) {
      const uint8_t* s = src.ScanLine(y) + ptrdiff_t(rect.Left) * 3;
      ChannelPlane(s, n, 0, b);
      ChannelPlane(s, n, 1, g);
      ChannelPlane(s, n, 2, r);
      MatchFlags(b, g, r, match.data(), n, lo, hi);
      f(mask.ScanLine(y) + ptrdiff_t(rect.Left) * 3, match.data(), n);
    }
  });
}

// A mask row where matching pixels take `on` and the others `off` (-1: keep the pixel).
void PutMatches(uint8_t* m, uint8_t* matches, int n, int on, int off) {
  if (on >= 0 && off >= 0) {
    for (int x = 0; x < n; ++x) matches[x] = matches[x] ? uint8_t(on) : uint8_t(off);
    SpreadPlane(matches, n, m);
    return;
  }
  if (off >= 0) {
    for (int x = 0; x < n; ++x) matches[x] ^= 1;
    SpreadValueWhere(matches, n, uint8_t(off), m);
    return;
  }
  if (on >= 0) SpreadValueWhere(matches, n, uint8_t(on), m);
}

}  // namespace

void MaskByColorTolerance(const TBitmap& src, TBitmap& mask, TColor color, int tolerance, bool set, TRect rect) {
  ForEachColorMatch(src, mask, color, tolerance, rect,
                    [set](uint8_t* m, uint8_t* match, int n) { PutMatches(m, match, n, set ? 255 : -1, 0); });
}

void MaskByColorToleranceInverted(const TBitmap& src, TBitmap& mask, TColor color, int tolerance, bool set,
                                  TRect rect) {
  ForEachColorMatch(src, mask, color, tolerance, rect,
                    [set](uint8_t* m, uint8_t* match, int n) { PutMatches(m, match, n, 0, set ? 255 : -1); });
}

void ExcludeColorFromMask(const TBitmap& src, TBitmap& mask, TColor color, int tolerance, TRect rect) {
  ForEachColorMatch(src, mask, color, tolerance, rect,
                    [](uint8_t* m, uint8_t* match, int n) { PutMatches(m, match, n, 255, -1); });
}

// --- Point passes -----------------------------------------------------------------------

void ThresholdMaskRect(TBitmap& mask, int level, TRect rect) {
  ForEachRow(mask, rect, [level](uint8_t* p, int n) {
    for (int i = 0; i < n; ++i, p += 3)
      if (p[0] < 255) Put3(p, p[0] > level ? 255 : 0);
  });
}

bool MaskRectEquals(const TBitmap& bmp, int value, TRect rect) {
  ClipRectToBitmap(rect, bmp);
  if (rect.IsEmpty()) return true;
  if (bmp.PixelFormat() != pf24bit) return false;
  for (int y = rect.Top; y < rect.Bottom; ++y) {
    const uint8_t* p = bmp.ScanLine(y) + ptrdiff_t(rect.Left) * 3;
    for (int x = rect.Left; x < rect.Right; ++x, p += 3)
      if (p[0] != value) return false;
  }
  return true;
}

void MergeRectMax(const TBitmap& src, TBitmap& dst, int X, int Y, TRect rect) {
  if (src.PixelFormat() != pf24bit || dst.PixelFormat() != pf24bit) return;
  ClipRectToBitmap(rect, dst);
  rect = IntersectRect(rect, Bounds(X, Y, src.Width(), src.Height()));
  if (rect.IsEmpty()) return;
  if (&src == &dst) {  // read the source as it was before the merge
    const TBitmap copy = src.Clone();
    MergeRectMax(copy, dst, X, Y, rect);
    return;
  }
  ParallelRows(rect.Top, rect.Bottom, int64_t(rect.Width()) * rect.Height(), [&](int y0, int y1) {
    for (int y = y0; y < y1; ++y) {
      const uint8_t* s = src.ScanLine(y - Y) + ptrdiff_t(rect.Left - X) * 3;
      uint8_t* d = dst.ScanLine(y) + ptrdiff_t(rect.Left) * 3;
      for (int x = rect.Left; x < rect.Right; ++x, s += 3, d += 3)
        if (s[0] > d[0]) {
          d[0] = s[0];
          d[1] = s[1];
          d[2] = s[2];
        }
    }
  });
}

void MaskByTiledPattern(TBitmap& mask, TRect rect, const TBitmap& pattern, TColor key, int originX, int originY) {
  if (pattern.Empty() || pattern.PixelFormat() != pf24bit || !Clip24(mask, rect)) return;
  uint8_t k[3];
  ColorToPixel24(key, k);
  const int pw = pattern.Width(), ph = pattern.Height();
  const int px0 = ModFloor(int64_t(rect.Left) - originX, pw);
  ParallelRows(rect.Top, rect.Bottom, int64_t(rect.Width()) * rect.Height(), [&](int y0, int y1) {
    for (int y = y0; y < y1; ++y) {
      const uint8_t* pat = pattern.ScanLine(ModFloor(int64_t(y) - originY, ph));
      uint8_t* m = mask.ScanLine(y) + ptrdiff_t(rect.Left) * 3;
      // walk the pattern row alongside, wrapping at its end, instead of a modulo per pixel
      for (int x = 0, px = px0; x < rect.Width(); ++x, m += 3) {
        const uint8_t* p = pat + ptrdiff_t(px) * 3;
        if (m[0] != 255 && p[0] == k[0] && p[1] == k[1] && p[2] == k[2]) Put3(m, 255);
        if (++px == pw) px = 0;
      }
    }
  });
}

// --- Neighbourhood passes -------------------------------------------------------------

void FeatherMaskEdgesRect(TBitmap& mask, TRect rect) {
  if (!Clip24(mask, rect)) return;
  const int n = rect.Width();
  // A neighbour outside the rect or at 255 weighs 333, so the edge of a region lightens.
  // colsum[x + 1]: the weights of column x over the three rows; the two ends stand for
  // the columns outside the rect.
  ForEachRowInPlace3(mask, rect, size_t(n + 2) * sizeof(uint16_t),
                     [n](const uint8_t* above, const uint8_t* row, const uint8_t* below, uint8_t* out, int,
                         uint8_t* scratch) {
                       uint16_t* colsum = reinterpret_cast<uint16_t*>(scratch);
                       auto weight = [](int v) { return uint16_t(v == 255 ? 333 : v); };
                       colsum[0] = colsum[n + 1] = 3 * 333;
                       for (int x = 0; x < n; ++x)
                         colsum[x + 1] = uint16_t((above ? weight(above[3 * x]) : 333) + weight(row[3 * x]) +
                                                  (below ? weight(below[3 * x]) : 333));
                       for (int x = 0; x < n; ++x) {
                         if (row[3 * x] == 255) continue;
                         const int sum = colsum[x] + colsum[x + 1] + colsum[x + 2];
                         Put3(out + 3 * x, uint8_t(std::min(sum / 9, 255)));
                       }
                     });
}

void BlurMaskCrossPasses(TBitmap& bmp, int passes, TRect rect) {
  if (passes < 1 || !Clip24(bmp, rect)) return;
  const int n = rect.Width();
  for (int pass = 0; pass < passes; ++pass)
    ForEachRowInPlace3(bmp, rect, 0, [n](const uint8_t* above, const uint8_t* row, const uint8_t* below,
                                         uint8_t* out, int, uint8_t*) {
      for (int x = 0; x < n; ++x) {
        const int self = row[3 * x];
        const int left = x > 0 ? row[3 * x - 3] : self;
        const int right = x + 1 < n ? row[3 * x + 3] : self;
        const int up = above ? above[3 * x] : self;
        const int down = below ? below[3 * x] : self;
        Put3(out + 3 * x, uint8_t((left + up + self + right + down) / 5));
      }
    });
}

namespace {

// n grow (or shrink) passes at once. After k passes a pixel has changed exactly when
// its 4-connected (city-block) distance to the nearest seed is at most k: the seeds of
// a grow are the pixels below 255, those of a shrink the pixels at 255 and everything
// outside the rect. The distance is computed separably, a 1-D distance along each row
// and then a down and an up sweep along the columns, capped at passes + 1, so the cost
// does not depend on the number of passes. D holds distances up to passes + 2.
template <class D>
void MinMaxByDistance(TBitmap& mask, const TRect& r, bool grow, int passes) {
  const int w = r.Width(), h = r.Height();
  const int64_t work = int64_t(w) * h;
  const D cap = D(passes + 1);
  const D edge = grow ? cap : D(0);  // the distance just outside the rect
  std::vector<D> dist(static_cast<size_t>(work));
  ParallelRows(0, h, work, [&](int y0, int y1) {
    for (int y = y0; y < y1; ++y) {
      const uint8_t* p = mask.ScanLine(r.Top + y) + ptrdiff_t(r.Left) * 3;
      D* d = &dist[size_t(y) * size_t(w)];
      D run = edge;
      for (int x = 0; x < w; ++x) {
        const bool seed = grow ? p[3 * x] < 255 : p[3 * x] == 255;
        run = seed ? D(0) : D(std::min<int>(run + 1, cap));
        d[x] = run;
      }
      run = edge;
      for (int x = w - 1; x >= 0; --x) {
        run = D(std::min<int>(d[x], run + 1));
        d[x] = run;
      }
    }
  });
  ParallelStrips(w, work, [&](int x0, int x1) {
    const int sw = x1 - x0;
    std::vector<D> run(size_t(sw), edge);
    for (int y = 0; y < h; ++y) {
      D* d = &dist[size_t(y) * size_t(w) + size_t(x0)];
      for (int i = 0; i < sw; ++i) {
        const D v = std::min(d[i], D(run[size_t(i)] + 1));
        run[size_t(i)] = v;
        d[i] = v;
      }
    }
    std::fill(run.begin(), run.end(), edge);
    const uint8_t target = grow ? 0 : 255;
    for (int y = h - 1; y >= 0; --y) {
      const D* d = &dist[size_t(y) * size_t(w) + size_t(x0)];
      uint8_t* p = mask.ScanLine(r.Top + y) + ptrdiff_t(r.Left + x0) * 3;
      for (int i = 0; i < sw; ++i) {
        const D v = std::min(d[i], D(run[size_t(i)] + 1));
        run[size_t(i)] = v;
        // Seeds are at distance 0 and already what a pass would make of them.
        if (v <= passes && v > 0) Put3(p + 3 * i, target);
      }
    }
  });
}

// Up to kFewPasses passes, the same distances in bytes and in rows: the distance
// along each row to the nearest seed within the passes (the seed flags of a row
// spread by shifts of 1, 2, 4 ... pixels, each a plain byte minimum over the row),
// then down and up sweeps over bands of rows, each band reading the rows the passes
// reach beyond it. Every step is byte arithmetic over whole rows, where the row by row
// runs above go one pixel at a time: the 3 x 3 shrink of a 12 MP mask took 26.6 ms at 8
// threads that way, against OpenCV's 5.4 ms for its erosion of the same pixels.
constexpr int kFewPasses = 127;  // distances up to passes + 1 + the widest shift stay below 256

// The byte loops of those passes, apart so that they vectorise (nothing aliases).
void SeedDistances(uint8_t* __restrict line, int n, bool grow, uint8_t cap) {
  if (grow)
    for (int x = 0; x < n; ++x) line[x] = line[x] < 255 ? 0 : cap;
  else
    for (int x = 0; x < n; ++x) line[x] = line[x] == 255 ? 0 : cap;
}
void ShiftedMin(const uint8_t* __restrict from, uint8_t* __restrict to, int n, int s) {
  const uint8_t k = uint8_t(s);
  for (int x = 0; x < n; ++x) to[x] = std::min(from[x], uint8_t(std::min(from[x - s], from[x + s]) + k));
}
void SweepStep(const uint8_t* __restrict d, uint8_t* __restrict run, int n) {
  for (int x = 0; x < n; ++x) run[x] = std::min(d[x], uint8_t(run[x] + 1));
}
void ChangedFlags(const uint8_t* __restrict down, const uint8_t* __restrict up, uint8_t* __restrict flags, int n,
                  int passes) {
  const uint8_t p = uint8_t(passes);
  for (int x = 0; x < n; ++x) {
    const uint8_t v = std::min(down[x], up[x]);
    flags[x] = uint8_t(v - 1) < p;  // 0 < v <= passes
  }
}

// A pixel changes in one pass where it is no seed and a 4-neighbour is.
void OnePassChanges(const uint8_t* __restrict above, const uint8_t* __restrict row, const uint8_t* __restrict below,
                    uint8_t* __restrict changed, int n, uint8_t edge) {
  for (int x = 0; x < n; ++x) {
    const uint8_t left = x > 0 ? row[x - 1] : edge, right = x + 1 < n ? row[x + 1] : edge;
    changed[x] = uint8_t(~row[x] & (above[x] | below[x] | left | right) & 1);
  }
}

void SeedFlags(uint8_t* __restrict v, int n, bool grow) {
  if (grow)
    for (int x = 0; x < n; ++x) v[x] = v[x] < 255;
  else
    for (int x = 0; x < n; ++x) v[x] = v[x] == 255;
}

// One pass straight from the rows: the first bytes of a row and its two neighbours as
// they were, their seeds, and the pixels that change (a one-pixel shrink of a 12 MP
// mask: 3.0 ms at 1 thread, against 3.9 ms through the distances).
void MinMaxOne(TBitmap& mask, const TRect& r, bool grow) {
  const int n = r.Width();
  const uint8_t edge = grow ? 0 : 1;  // whether what lies outside the rect is a seed
  const uint8_t target = grow ? 0 : 255;
  // A thread's rows come one after the other: the seeds of a row serve as the next
  // row's above and the one after's row; the scratch keeps three planes in turn, and
  // which row each holds.
  struct TRing {
    int rows[3];
  };
  ForEachRowInPlace3(mask, r, sizeof(TRing) + size_t(4) * size_t(n),
                     [n, edge, target, grow](const uint8_t* above, const uint8_t* row, const uint8_t* below,
                                             uint8_t* out, int y, uint8_t* scratch) {
                       auto* ring = reinterpret_cast<TRing*>(scratch);
                       uint8_t* planes = scratch + sizeof(TRing);
                       uint8_t* changed = planes + 3 * size_t(n);
                       if (ring->rows[0] == 0 && ring->rows[1] == 0 && ring->rows[2] == 0)
                         ring->rows[0] = ring->rows[1] = ring->rows[2] = INT32_MIN;  // a fresh scratch
                       // the seeds of row yy (px its pixels, null outside the rect)
                       const auto seeds = [&](int yy, const uint8_t* px) -> const uint8_t* {
                         for (int k = 0; k < 3; ++k)
                           if (ring->rows[k] == yy) return planes + size_t(k) * size_t(n);
                         const int k = ((yy % 3) + 3) % 3;
                         uint8_t* plane = planes + size_t(k) * size_t(n);
                         ring->rows[k] = yy;
                         if (!px) std::memset(plane, edge, size_t(n));
                         else {
                           ChannelPlane(px, n, 0, plane);
                           SeedFlags(plane, n, grow);
                         }
                         return plane;
                       };
                       const uint8_t* a = seeds(y - 1, above);
                       const uint8_t* c = seeds(y, row);
                       const uint8_t* b = seeds(y + 1, below);
                       OnePassChanges(a, c, b, changed, n, edge);
                       SpreadValueWhere(changed, n, target, out);
                     });
}

void MinMaxFew(TBitmap& mask, const TRect& r, bool grow, int passes) {
  const int w = r.Width(), h = r.Height();
  const int64_t work = int64_t(w) * h;
  const uint8_t cap = uint8_t(passes + 1);  // "beyond the passes"
  const uint8_t edge = grow ? cap : 0;      // the distance just outside the rect
  // The shifts whose sum is the passes: 1, 2, 4 ... while they fit, then what is left.
  // Any distance up to the passes is a sum of some of them, so after the last shift a
  // row holds min(distance, cap) exactly.
  std::vector<int> shifts;
  for (int s = 1, covered = 0; covered < passes; s *= 2) {
    const int step = covered + s <= passes ? s : passes - covered;
    shifts.push_back(step);
    covered += step;
  }
  // The row distances of the whole rect, read by the bands on both sides of a border.
  // (Left uninitialised: the threads that fill it touch its pages first.)
  const std::unique_ptr<uint8_t[]> rows(new uint8_t[size_t(work)]);
  AdviseHugePages(rows.get(), size_t(work));
  ParallelRows(0, h, work, [&](int y0, int y1) {
    const int pad = passes;
    std::vector<uint8_t> a(size_t(w + 2 * pad), edge), b(size_t(w + 2 * pad), edge);
    for (int y = y0; y < y1; ++y) {
      uint8_t* from = a.data() + pad;
      uint8_t* to = b.data() + pad;
      ChannelPlane(mask.ScanLine(r.Top + y) + ptrdiff_t(r.Left) * 3, w, 0, from);
      SeedDistances(from, w, grow, cap);
      for (const int s : shifts) {
        ShiftedMin(from, to, w, s);
        std::swap(from, to);
      }
      std::memcpy(&rows[size_t(y) * size_t(w)], from, size_t(w));
    }
  });
  // The columns: a band's down sweep starts the passes above it (or at the rect's top,
  // where the rows outside stand at the edge distance), its up sweep the passes below.
  const int band = std::max(64, 2 * passes);
  const int bands = (h + band - 1) / band;
  const uint8_t target = grow ? 0 : 255;
  ParallelPieces(0, bands, 1, work, [&](int b0, int b1) {
    std::vector<uint8_t> down(static_cast<size_t>(band) * size_t(w)), run(static_cast<size_t>(w)),
        flags(static_cast<size_t>(w));
    for (int bi = b0; bi < b1; ++bi) {
      const int y0 = bi * band, y1 = std::min(h, y0 + band);
      int y = y0 - passes;
      std::fill(run.begin(), run.end(), y <= 0 ? edge : cap);
      for (y = std::max(0, y); y < y1; ++y) {
        SweepStep(&rows[size_t(y) * size_t(w)], run.data(), w);
        if (y >= y0) std::memcpy(&down[size_t(y - y0) * size_t(w)], run.data(), size_t(w));
      }
      y = y1 + passes;
      std::fill(run.begin(), run.end(), y >= h ? edge : cap);
      for (y = std::min(h, y) - 1; y >= y0; --y) {
        SweepStep(&rows[size_t(y) * size_t(w)], run.data(), w);
        if (y >= y1) continue;
        // Seeds are at distance 0 and already what a pass would make of them.
        ChangedFlags(&down[size_t(y - y0) * size_t(w)], run.data(), flags.data(), w, passes);
        SpreadValueWhere(flags.data(), w, target, mask.ScanLine(r.Top + y) + ptrdiff_t(r.Left) * 3);
      }
    }
  });
}

}  // namespace

void ApplyMinMaxPasses(TBitmap& mask, int n, TRect rect) {
  if (n == 0 || !Clip24(mask, rect)) return;
  const bool grow = n > 0;
  // After w + h passes every pixel that can change has changed.
  int64_t left = std::min<int64_t>(grow ? int64_t(n) : -int64_t(n), int64_t(rect.Width()) + rect.Height());
  if (left == 1) return MinMaxOne(mask, rect, grow);
  if (left <= kFewPasses) return MinMaxFew(mask, rect, grow, int(left));
  while (left > 0) {
    if (left <= 253) {
      MinMaxByDistance<uint8_t>(mask, rect, grow, int(left));
      return;
    }
    const int step = int(std::min<int64_t>(left, 65533));
    MinMaxByDistance<uint16_t>(mask, rect, grow, step);
    left -= step;
  }
}

// --- Scans from the edges ---------------------------------------------------------------

void MaskOutBackgroundFromEdges(const TBitmap& image, TBitmap& mask, bool horizontal, bool vertical,
                                int tolerance, TRect rect) {
  if (tolerance < 1 || mask.PixelFormat() != pf24bit || !Clip24(image, rect)) return;
  rect = IntersectRect(rect, GetBitmapRect(mask));
  if (rect.IsEmpty()) return;
  const int cx = (rect.Left + rect.Right) / 2, cy = (rect.Top + rect.Bottom) / 2;
  // One side of a row or column: count pixels from (img, msk), step bytes apart.
  auto scan = [tolerance](const uint8_t* img0, uint8_t* msk0, ptrdiff_t imgStep, ptrdiff_t mskStep, int count) {
    bool fresh = true;
    uint8_t ref[3] = {0, 0, 0};
    for (int k = 0; k < count; ++k) {
      const uint8_t* img = img0 + k * imgStep;
      uint8_t* msk = msk0 + k * mskStep;
      if (msk[0] == 255) {
        fresh = true;
        continue;
      }
      if (fresh) {
        std::memcpy(ref, img, 3);
        fresh = false;
      }
      if (std::abs(img[0] - ref[0]) > tolerance || std::abs(img[1] - ref[1]) > tolerance ||
          std::abs(img[2] - ref[2]) > tolerance)
        return;
      Put3(msk, 255);
    }
  };
  const int64_t work = int64_t(rect.Width()) * rect.Height();
  if (horizontal)
    ParallelRows(rect.Top, rect.Bottom, work, [&](int y0, int y1) {
      for (int y = y0; y < y1; ++y) {
        const uint8_t* img = image.ScanLine(y);
        uint8_t* msk = mask.ScanLine(y);
        scan(img + 3 * ptrdiff_t(rect.Left), msk + 3 * ptrdiff_t(rect.Left), 3, 3, cx - rect.Left);
        scan(img + 3 * ptrdiff_t(rect.Right - 1), msk + 3 * ptrdiff_t(rect.Right - 1), -3, -3, rect.Right - cx);
      }
    });
  if (vertical)
    ParallelStrips(rect.Width(), work, [&](int x0, int x1) {
      for (int x = rect.Left + x0; x < rect.Left + x1; ++x) {
        const ptrdiff_t at = 3 * ptrdiff_t(x);
        scan(image.ScanLine(rect.Top) + at, mask.ScanLine(rect.Top) + at, image.Stride(), mask.Stride(),
             cy - rect.Top);
        scan(image.ScanLine(rect.Bottom - 1) + at, mask.ScanLine(rect.Bottom - 1) + at, -image.Stride(),
             -mask.Stride(), rect.Bottom - cy);
      }
    });
}

// --- Outline -------------------------------------------------------------------------------

void StrokeMaskOutline(const TBitmap& mask, TBitmap& dst, TColor color, int penSize, int level, TRect rect) {
  if (penSize < 1 || dst.PixelFormat() != pf24bit || !Clip24(mask, rect)) return;
  if (&mask == &dst) {  // find the outline in the mask as it was before the stroke
    const TBitmap copy = mask.Clone();
    StrokeMaskOutline(copy, dst, color, penSize, level, rect);
    return;
  }
  const int w = rect.Width(), h = rect.Height();
  const int64_t work = int64_t(w) * h;
  // The edge pixels: at or below the level, on the rect's edge or beside a pixel above it.
  std::vector<uint8_t> edge(static_cast<size_t>(work));
  ParallelRows(0, h, work, [&](int y0, int y1) {
    for (int y = y0; y < y1; ++y) {
      const uint8_t* row = mask.ScanLine(rect.Top + y) + ptrdiff_t(rect.Left) * 3;
      const uint8_t* above = y > 0 ? row - mask.Stride() : nullptr;
      const uint8_t* below = y + 1 < h ? row + mask.Stride() : nullptr;
      uint8_t* e = &edge[size_t(y) * size_t(w)];
      for (int x = 0; x < w; ++x) {
        if (row[3 * x] > level) {
          e[x] = 0;
          continue;
        }
        const bool interior = above && below && x > 0 && x + 1 < w && above[3 * x] <= level &&
                              below[3 * x] <= level && row[3 * x - 3] <= level && row[3 * x + 3] <= level;
        e[x] = interior ? 0 : 1;
      }
    }
  });
  // The square of an edge pixel (x, y) covers rows y - h .. y - h + pen - 1, so row Y is
  // painted from the edge pixels of rows Y - after .. Y + before; columns likewise. The
  // union of the squares is painted once, in the colour itself (what a full tint of
  // each square would leave), and each destination row by one thread.
  const int before = (penSize - 1) / 2, after = penSize - 1 - before;
  const TRect paint = IntersectRect(rect, GetBitmapRect(dst));
  if (paint.IsEmpty()) return;
  const TPixel24 c = ColorToPixel24(color);
  ParallelRows(paint.Top, paint.Bottom, int64_t(paint.Width()) * paint.Height(), [&](int Y0, int Y1) {
    // count[x]: edge pixels of column x within the band's current row window
    std::vector<int> count(size_t(w), 0);
    auto addRow = [&](int y, int sign) {
      if (y < rect.Top || y >= rect.Bottom) return;
      const uint8_t* e = &edge[size_t(y - rect.Top) * size_t(w)];
      for (int x = 0; x < w; ++x) count[size_t(x)] += sign * e[x];
    };
    const int64_t first = std::max<int64_t>(rect.Top, int64_t(Y0) - after);
    const int64_t last = std::min<int64_t>(rect.Bottom - 1, int64_t(Y0) + before);
    for (int64_t y = first; y <= last; ++y) addRow(int(y), 1);
    for (int Y = Y0; Y < Y1; ++Y) {
      if (Y > Y0) {
        if (int64_t(Y) + before < rect.Bottom) addRow(Y + before, 1);
        if (int64_t(Y) - after - 1 >= rect.Top) addRow(Y - after - 1, -1);
      }
      uint8_t* out = dst.ScanLine(Y);
      // columns X - after .. X + before of the rect holding an edge pixel
      int live = 0;
      auto lit = [&](int64_t x) { return x >= rect.Left && x < rect.Right && count[size_t(x - rect.Left)] > 0; };
      for (int64_t x = std::max<int64_t>(rect.Left, int64_t(paint.Left) - after);
           x <= std::min<int64_t>(rect.Right - 1, int64_t(paint.Left) + before); ++x)
        live += lit(x);
      for (int X = paint.Left; X < paint.Right; ++X) {
        if (X > paint.Left) live += int(lit(int64_t(X) + before)) - int(lit(int64_t(X) - after - 1));
        if (live > 0) {
          out[3 * X] = c.B;
          out[3 * X + 1] = c.G;
          out[3 * X + 2] = c.R;
        }
      }
    }
  });
}

// --- Stair-step ramps ----------------------------------------------------------------------

namespace {

// Ramps n pixels from first (the pixel beside the inside one) outward, step bytes apart:
// the k-th takes round(k * 255 / (n + 1) + 0.5) when that is below its value. The
// fractions are accumulated one step at a time.
void Ramp(uint8_t* first, ptrdiff_t step, int n) {
  const double s = 255.0 / (n + 1);
  double acc = 0;
  for (int k = 1; k <= n; ++k) {
    acc += s;
    const int v = RoundHalfEven(acc + 0.5);
    uint8_t* p = first + (k - 1) * step;
    if (v < p[0]) Put3(p, uint8_t(v));
  }
}

}  // namespace

namespace {

// The first i in [from, to) where row[i] differs from row[i + 1], or to. Long runs of
// equal values (the inside and the outside of a mask) are passed 64 bytes at a time.
int NextChange(const uint8_t* row, int from, int to) {
  int i = from;
  while (i + 64 <= to && std::memcmp(row + i, row + i + 1, 64) == 0) i += 64;
  for (; i < to; ++i)
    if (row[i] != row[i + 1]) return i;
  return to;
}

}  // namespace

void RampMaskEdges(TBitmap& mask, TRect rect, int width) {
  if (width < 0) width = 99999;
  if (width < 2 || !Clip24(mask, rect)) return;  // a run always reaches a width of 1
  const int w = rect.Width(), h = rect.Height();
  const int64_t work = int64_t(w) * h;
  // Which pixels are inside. The ramps never write 0, so this stays true through both
  // passes, and as every ramp only lowers pixels their order does not matter.
  // (Left uninitialised: the threads that fill it touch its pages first.)
  const std::unique_ptr<uint8_t[]> in(new uint8_t[size_t(work)]);
  ParallelRows(0, h, work, [&](int y0, int y1) {
    for (int y = y0; y < y1; ++y) {
      uint8_t* q = &in[size_t(y) * size_t(w)];
      const int n = w;  // (a local count: the stores below cannot change it, so the loop vectorises)
      ChannelPlane(mask.ScanLine(rect.Top + y) + ptrdiff_t(rect.Left) * 3, n, 0, q);
      for (int x = 0; x < n; ++x) q[x] = q[x] == 0;
    }
  });
  auto inside = [&](int x, int y) { return in[size_t(y) * size_t(w) + size_t(x)] != 0; };
  const ptrdiff_t stride = mask.Stride();
  // Horizontal steps: from an inside pixel, the outside pixels to its left (right)
  // while the neighbouring row is inside under them. Only an inside pixel beside an
  // outside one starts a step: the rows are searched for changes.
  ParallelRows(0, h, work, [&](int y0, int y1) {
    for (int y = y0; y < y1; ++y) {
      uint8_t* row = mask.ScanLine(rect.Top + y) + ptrdiff_t(rect.Left) * 3;
      const uint8_t* cur = &in[size_t(y) * size_t(w)];
      const auto left = [&](int x) {
        for (int r : {y - 1, y + 1}) {
          if (r < 0 || r >= h) continue;
          int n = 0;
          while (n < width && x - 1 - n >= 0 && !inside(x - 1 - n, y) && inside(x - 1 - n, r)) ++n;
          if (n < width && n > 0) Ramp(row + 3 * (x - 1), -3, n);
        }
      };
      const auto right = [&](int x) {
        for (int r : {y - 1, y + 1}) {
          if (r < 0 || r >= h) continue;
          int n = 0;
          while (n < width && x + 1 + n < w && !inside(x + 1 + n, y) && inside(x + 1 + n, r)) ++n;
          if (n < width && n > 0) Ramp(row + 3 * (x + 1), 3, n);
        }
      };
      for (int i = NextChange(cur, 0, w - 1); i < w - 1; i = NextChange(cur, i + 1, w - 1)) {
        if (cur[i] && i >= 1) right(i);               // inside at i, outside at i + 1
        else if (cur[i + 1] && i + 1 < w - 1) left(i + 1);  // outside at i, inside at i + 1
      }
    }
  });
  // Vertical steps, the same along the columns, each strip of columns by one thread;
  // rows of a strip equal to the rows above and below it hold no step.
  ParallelStrips(w, work, [&](int x0, int x1) {
    const size_t n0 = size_t(x1 - x0);
    for (int y = 1; y + 1 < h; ++y) {
      const uint8_t* up = &in[size_t(y - 1) * size_t(w)];
      const uint8_t* cur = up + w;
      const uint8_t* down = cur + w;
      if (std::memcmp(cur + x0, up + x0, n0) == 0 && std::memcmp(cur + x0, down + x0, n0) == 0) continue;
      for (int x = x0; x < x1; ++x) {
        if (!cur[x] || (up[x] && down[x])) continue;
        uint8_t* col = mask.ScanLine(rect.Top) + ptrdiff_t(rect.Left + x) * 3;
        for (int c : {x - 1, x + 1}) {
          if (c < 0 || c >= w) continue;
          if (!up[x]) {
            int n = 0;
            while (n < width && y - 1 - n >= 0 && !inside(x, y - 1 - n) && inside(c, y - 1 - n)) ++n;
            if (n < width && n > 0) Ramp(col + (y - 1) * stride, -stride, n);
          }
          if (!down[x]) {
            int n = 0;
            while (n < width && y + 1 + n < h && !inside(x, y + 1 + n) && inside(c, y + 1 + n)) ++n;
            if (n < width && n > 0) Ramp(col + (y + 1) * stride, stride, n);
          }
        }
      }
    }
  });
}

}  // namespace qm
