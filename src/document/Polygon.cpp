#include "document/Polygon.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "pixel/Blend.h"
#include "pixel/ImgUtils.h"
#include "platform/core/Numeric.h"
#include "platform/core/Parallel.h"

namespace qm {

namespace {

// Drawing opacity of every polygon and line, in percent.
constexpr int kOpacity = 100;

struct IntensityTable {
  uint8_t v[256];
  IntensityTable() {
    for (int i = 0; i < 256; ++i) v[i] = uint8_t(RoundHalfEven(std::pow(i / 255.0, 0.7) * 255.0));
  }
};
const IntensityTable kIntensity;

// a * b / c rounded half away from zero, in 64 bits (c != 0).
int64_t MulDivRound(int64_t a, int64_t b, int64_t c) {
  const int64_t n = a * b;
  const bool neg = (n < 0) != (c < 0);
  const int64_t an = n < 0 ? -n : n, ac = c < 0 ? -c : c;
  const int64_t q = (2 * an + ac) / (2 * ac);
  return neg ? -q : q;
}

int32_t ClampCoord(int64_t v) { return int32_t(std::clamp<int64_t>(v, INT32_MIN, INT32_MAX)); }

// 24.8 fixed point rounded to a pixel: (x shr 8) + 1 when the low byte is >= 128.
inline int64_t RoundFixed(int64_t x) { return (x >> 8) + ((x & 255) >= 128 ? 1 : 0); }

void PutPixel(TBitmap& bmp, int x, int y, const uint8_t* px, int percent) {
  BlendPixel(bmp.ScanLine(y) + ptrdiff_t(x) * 3, px, percent);
}

void FillSpan(uint8_t* row, int64_t a, int64_t b, const uint8_t* px) {
  uint8_t* d = row + a * 3;
  if (kOpacity >= 100) {
    for (int64_t x = a; x <= b; ++x, d += 3) d[0] = px[0], d[1] = px[1], d[2] = px[2];
  } else {
    for (int64_t x = a; x <= b; ++x, d += 3) BlendPixel(d, px, kOpacity);
  }
}

// One non-horizontal edge, walked from its first point toward its second: it covers
// its first row and not its last, and its x at each row comes from an integer DDA in
// 24.8 fixed point whose remainder starts at half.
struct Edge {
  int64_t x0f;       // x of the first point, 24.8
  int64_t y0;        // first row
  int64_t dy;        // rows walked (> 0)
  int64_t q, absr;   // quotient and |remainder| of the x step
  int sgnR;          // sign of the remainder
  int dir;           // +1 walking down, -1 up
  int64_t rowLo, rowHi;  // rows covered, inclusive
  int64_t XAt(int64_t y) const {
    const int64_t k = (y - y0) * dir;
    // |remainder| * k stays below dy * dy: 64 bits hold it unless dy passes 2^31
    const int64_t carry = dy <= INT32_MAX ? (dy / 2 + absr * k) / dy
                                          : int64_t((__int128(dy / 2) + __int128(absr) * k) / dy);
    return x0f + q * k + sgnR * carry;
  }
};

struct Crossing {
  int64_t x;
  int dir;
};

struct ExtraCrossing {
  int64_t row;
  Crossing c;
};

}  // namespace

const uint8_t* LineIntensityTable() { return kIntensity.v; }

TPolygon24::TPolygon24() { polygons_.emplace_back(); }

void TPolygon24::NewPolygon() {
  polygons_.emplace_back();
  normalsValid_ = false;
}

void TPolygon24::AddPoint(TPoint p) {
  polygons_.back().push_back(p);
  normalsValid_ = false;
}

void TPolygon24::AddPoints(const TPoint* pts, int count) {
  if (count > 0) polygons_.back().insert(polygons_.back().end(), pts, pts + count);
  normalsValid_ = false;
}

void TPolygon24::Clear() {
  polygons_.assign(1, {});
  normals_.clear();
  normalsValid_ = false;
}

TRect TPolygon24::ClippedRect(const TBitmap& bmp) const {
  TRect c = ClipRect;
  ClipRectToBitmap(c, bmp);
  return c;
}

void TPolygon24::Draw(TBitmap& bmp, TColor outline, TColor fill) const {
  if (fill != clNone) Fill(bmp, fill);
  if (outline != clNone) Outline(bmp, outline);
}

void TPolygon24::Fill(TBitmap& bmp, TColor color) const {
  if (bmp.PixelFormat() != pf24bit) return;
  const TRect clip = ClippedRect(bmp);
  if (clip.IsEmpty()) return;
  uint8_t px[3];
  ColorToPixel24(color, px);

  std::vector<Edge> edges;
  std::vector<ExtraCrossing> extras;
  // Horizontal edges lie on the boundary: their pixels are filled as they are.
  struct Flat {
    int64_t row, x0, x1;
  };
  std::vector<Flat> flats;
  int64_t yMin = INT64_MAX, yMax = INT64_MIN;
  for (const auto& poly : polygons_) {
    const size_t n = poly.size();
    if (n < 3) continue;
    const size_t firstEdge = edges.size();
    for (size_t i = 0; i < n; ++i) {
      const TPoint a = poly[i], b = poly[(i + 1) % n];
      yMin = std::min<int64_t>(yMin, a.Y);
      yMax = std::max<int64_t>(yMax, a.Y);
      if (a.Y == b.Y) {
        flats.push_back(Flat{a.Y, std::min(a.X, b.X), std::max(a.X, b.X)});
        continue;
      }
      Edge e;
      e.x0f = int64_t(a.X) * 256;
      e.y0 = a.Y;
      e.dir = b.Y > a.Y ? 1 : -1;
      e.dy = (int64_t(b.Y) - a.Y) * e.dir;
      const int64_t dx = (int64_t(b.X) - a.X) * 256;
      e.q = dx / e.dy;
      const int64_t r = dx % e.dy;
      e.absr = r < 0 ? -r : r;
      e.sgnR = r < 0 ? -1 : 1;
      const int64_t last = int64_t(b.Y) - e.dir;
      e.rowLo = std::min<int64_t>(a.Y, last);
      e.rowHi = std::max<int64_t>(a.Y, last);
      edges.push_back(e);
    }
    // Where the walk turns back (an apex, or the two sides of a flat top or bottom),
    // the edge arriving stops short of the row the next one starts on: a crossing of
    // the arriving edge's direction at its end point keeps that row paired.
    const size_t m = edges.size() - firstEdge;
    for (size_t k = 0; k < m; ++k) {
      const Edge& in = edges[firstEdge + k];
      const Edge& out = edges[firstEdge + (k + 1) % m];
      if (m < 2 || in.dir == out.dir) continue;
      const int64_t endRow = in.y0 + in.dir * in.dy;
      extras.push_back(ExtraCrossing{endRow, Crossing{in.XAt(endRow), in.dir}});
    }
  }
  if (edges.empty() && flats.empty()) return;
  const int64_t top = std::max<int64_t>(yMin, clip.Top), bottom = std::min<int64_t>(yMax, clip.Bottom - 1);
  if (top > bottom) return;

  std::sort(edges.begin(), edges.end(), [](const Edge& a, const Edge& b) { return a.rowLo < b.rowLo; });
  std::sort(extras.begin(), extras.end(), [](const ExtraCrossing& a, const ExtraCrossing& b) { return a.row < b.row; });
  std::sort(flats.begin(), flats.end(), [](const Flat& a, const Flat& b) { return a.row < b.row; });
  // x is clamped just outside the clip rect (keeping the order of the crossings), and
  // spans are cut to it.
  const int64_t xLo = (int64_t(clip.Left) - 1) * 256, xHi = (int64_t(clip.Right) + 1) * 256;
  const bool winding = Winding != 0;
  const int64_t rows = bottom - top + 1;
  ParallelRows(int(top), int(bottom) + 1, rows * clip.Width(), [&](int y0, int y1) {
    std::vector<const Edge*> active;
    std::vector<Crossing> xs;
    size_t next = 0, extra = size_t(std::lower_bound(extras.begin(), extras.end(), int64_t(y0),
                                                      [](const ExtraCrossing& e, int64_t r) { return e.row < r; }) -
                                     extras.begin());
    size_t flat = size_t(std::lower_bound(flats.begin(), flats.end(), int64_t(y0),
                                          [](const Flat& f, int64_t r) { return f.row < r; }) -
                         flats.begin());
    for (int y = y0; y < y1; ++y) {
      while (next < edges.size() && edges[next].rowLo <= y) {
        if (edges[next].rowHi >= y) active.push_back(&edges[next]);
        ++next;
      }
      active.erase(std::remove_if(active.begin(), active.end(), [y](const Edge* e) { return e->rowHi < y; }),
                   active.end());
      xs.clear();
      for (const Edge* e : active) xs.push_back(Crossing{std::clamp(e->XAt(y), xLo, xHi), e->dir});
      for (; extra < extras.size() && extras[extra].row == y; ++extra)
        xs.push_back(Crossing{std::clamp(extras[extra].c.x, xLo, xHi), extras[extra].c.dir});
      uint8_t* row = bmp.ScanLine(y);
      for (; flat < flats.size() && flats[flat].row == y; ++flat) {
        const int64_t a = std::max<int64_t>(flats[flat].x0, clip.Left), b = std::min<int64_t>(flats[flat].x1, clip.Right - 1);
        if (a <= b) FillSpan(row, a, b, px);
      }
      if (xs.size() < 2) continue;
      std::sort(xs.begin(), xs.end(), [](const Crossing& a, const Crossing& b) { return a.x < b.x; });
      int64_t prevEnd = int64_t(clip.Left) - 1;
      // a span from the first x rounded to the second x less 1/256 rounded: both
      // boundaries belong to the polygon
      auto span = [&](int64_t xa, int64_t xb) {
        int64_t a = std::max(RoundFixed(xa), prevEnd + 1);
        const int64_t b = std::min<int64_t>(RoundFixed(xb - 1), clip.Right - 1);
        if (a > b) return;
        FillSpan(row, a, b, px);
        prevEnd = b;
      };
      if (!winding) {
        for (size_t i = 0; i + 1 < xs.size(); i += 2) span(xs[i].x, xs[i + 1].x);
      } else {
        int count = 0;
        int64_t start = 0;
        for (const Crossing& c : xs) {
          const int before = count;
          count += c.dir;
          if (before == 0 && count != 0) start = c.x;
          else if (before != 0 && count == 0) span(start, c.x);
        }
      }
    }
  });
}

void TPolygon24::DrawLine(TBitmap& bmp, const TRect& clip, TPoint a, TPoint b, bool lastPixel,
                          const uint8_t* px) const {
  const int64_t dx = int64_t(b.X) - a.X, dy = int64_t(b.Y) - a.Y;
  const bool xMajor = std::llabs(dx) >= std::llabs(dy);
  const int64_t dMaj = xMajor ? dx : dy, dMin = xMajor ? dy : dx;
  const int64_t n = std::llabs(dMaj), sMaj = dMaj < 0 ? -1 : 1;
  const int64_t maj0 = xMajor ? a.X : a.Y, min0 = xMajor ? a.Y : a.X;
  // steps 0..kLast, cut to where the major coordinate lies inside the clip rect
  const int64_t kLast = lastPixel ? n : n - 1;
  if (kLast < 0) return;
  const int64_t lo = xMajor ? clip.Left : clip.Top, hi = (xMajor ? clip.Right : clip.Bottom) - 1;
  int64_t k0 = 0, k1 = kLast;
  if (sMaj > 0) k0 = std::max(k0, lo - maj0), k1 = std::min(k1, hi - maj0);
  else k0 = std::max(k0, maj0 - hi), k1 = std::min(k1, maj0 - lo);
  auto plot = [&](int64_t maj, int64_t mnr, int percent) {
    const int64_t x = xMajor ? maj : mnr, y = xMajor ? mnr : maj;
    if (x < clip.Left || x >= clip.Right || y < clip.Top || y >= clip.Bottom || percent <= 0) return;
    PutPixel(bmp, int(x), int(y), px, percent);
  };
  if (!Antialias || dMin == 0) {
    // Bresenham, in closed form so a clipped line starts where the full one would be
    const int64_t aMin = std::llabs(dMin), sMin = dMin < 0 ? -1 : 1;
    for (int64_t k = k0; k <= k1; ++k) {
      const int64_t off = n == 0 ? 0
                          : n < (int64_t(1) << 30) ? (2 * aMin * k + n) / (2 * n)
                                                   : int64_t((__int128(2) * aMin * k + n) / (__int128(2) * n));
      plot(maj0 + sMaj * k, min0 + sMin * off, kOpacity);
    }
    return;
  }
  // Wu: a 16-bit fraction accumulates dMin * 65536 / dMaj per step; the two pixels
  // across the line share the step's intensity.
  const int64_t g = dMin * 65536 / n;
  for (int64_t k = k0; k <= k1; ++k) {
    const int64_t maj = maj0 + sMaj * k;
    if (k == 0) {
      plot(maj, min0, kOpacity);
      continue;
    }
    const int64_t acc = g * k;
    const int64_t whole = DivFloor(acc, 65536), frac = acc - whole * 65536;
    const int f8 = int(frac >> 8);
    plot(maj, min0 + whole, kIntensity.v[f8 ^ 255] * kOpacity / 255);
    plot(maj, min0 + whole + 1, kIntensity.v[f8] * kOpacity / 255);
  }
}

void TPolygon24::Outline(TBitmap& bmp, TColor color) const {
  if (bmp.PixelFormat() != pf24bit) return;
  const TRect clip = ClippedRect(bmp);
  if (clip.IsEmpty()) return;
  uint8_t px[3];
  ColorToPixel24(color, px);
  for (const auto& poly : polygons_) {
    const size_t n = poly.size();
    if (n == 0) continue;
    if (n == 1) {
      DrawLine(bmp, clip, poly[0], poly[0], true, px);
      continue;
    }
    for (size_t i = 0; i + 1 < n; ++i) DrawLine(bmp, clip, poly[i], poly[i + 1], !Closed && i + 2 == n, px);
    if (Closed && n >= 3) DrawLine(bmp, clip, poly[n - 1], poly[0], false, px);
  }
}

const std::vector<std::vector<TPoint>>& TPolygon24::Normals() const {
  if (normalsValid_) return normals_;
  normals_.assign(polygons_.size(), {});
  for (size_t p = 0; p < polygons_.size(); ++p) {
    const auto& poly = polygons_[p];
    auto& out = normals_[p];
    out.resize(poly.size());
    for (size_t i = 0; i < poly.size(); ++i) {
      const TPoint a = poly[i], b = poly[(i + 1) % poly.size()];
      const double dx = double(b.X) - a.X, dy = double(b.Y) - a.Y, len = std::sqrt(dx * dx + dy * dy);
      out[i] = len == 0 ? TPoint{} : TPoint{RoundHalfEven(dy / len * 65536), RoundHalfEven(-dx / len * 65536)};
    }
  }
  normalsValid_ = true;
  return normals_;
}

TPolygon24 TPolygon24::Widen(int width, double miterLimit) const {
  TPolygon24 out;
  out.Antialias = Antialias, out.Closed = Closed, out.Winding = Winding, out.ClipRect = ClipRect;
  out.polygons_.clear();
  if (width < 1) {
    out.polygons_.emplace_back();
    return out;
  }
  const int64_t d1 = (width - 1) / 2, d2 = width / 2;
  if (!(miterLimit <= 0.99)) miterLimit = miterLimit > 0.99 ? 0.99 : 0.0;  // NaN counts as 0
  if (miterLimit < 0) miterLimit = 0;
  // A join whose normals make 1 + cos(turn) at most this (in 16.16) is bevelled.
  const int64_t bevelBelow = RoundHalfEven((1.0 - miterLimit) * 65536.0);
  const auto& normals = Normals();
  const bool single = polygons_.size() == 1;
  for (size_t p = 0; p < polygons_.size(); ++p) {
    const auto& poly = polygons_[p];
    const auto& nrm = normals[p];
    const size_t n = poly.size();
    if (n < 2) continue;
    std::vector<TPoint> res;
    res.reserve(n * 2);
    auto isZero = [](TPoint v) { return v.X == 0 && v.Y == 0; };
    for (size_t i = 0; i < n; ++i) {
      const int64_t d = single ? (i < n / 2 ? d1 : d2) : (p == 0 ? d1 : d2);
      const TPoint v = poly[i];
      // the normals of the edge arriving at v and the edge leaving it
      TPoint nin{}, nout{};
      bool hasIn = i > 0 || Closed, hasOut = i + 1 < n || Closed;
      if (hasIn) nin = nrm[i > 0 ? i - 1 : n - 1];
      if (hasOut) nout = nrm[i];
      if (hasIn && isZero(nin)) hasIn = false;
      if (hasOut && isZero(nout)) hasOut = false;
      if (n <= 4 && hasIn && hasOut) hasIn = false;
      auto scaled = [d](TPoint nv) {
        return std::pair<int64_t, int64_t>{MulDivRound(nv.X, d, 65536), MulDivRound(nv.Y, d, 65536)};
      };
      auto emit = [&](int64_t ox, int64_t oy) { res.push_back(TPoint{ClampCoord(v.X + ox), ClampCoord(v.Y + oy)}); };
      if (!hasIn && !hasOut) {
        emit(0, 0);
        continue;
      }
      if (!hasIn || !hasOut) {
        const auto s = scaled(hasIn ? nin : nout);
        emit(s.first, s.second);
        continue;
      }
      const auto si = scaled(nin), so = scaled(nout);
      const int64_t sumX = int64_t(nin.X) + nout.X, sumY = int64_t(nin.Y) + nout.Y;
      // 1 + cos(turn) in 16.16, from the unit normals rather than their rounded offsets
      const int64_t q = (int64_t(nin.X) * sumX + int64_t(nin.Y) * sumY) / 65536;
      if (d == 0) {
        emit(0, 0);
      } else if (q <= bevelBelow) {
        emit(si.first, si.second);
        emit(so.first, so.second);
      } else {
        emit(MulDivRound(sumX, d, q), MulDivRound(sumY, d, q));
      }
    }
    out.polygons_.push_back(std::move(res));
  }
  if (out.polygons_.empty()) out.polygons_.emplace_back();
  return out;
}

TPolygon24 TPolygon24::MakeStrokePath() const {
  TPolygon24 out;
  out.Antialias = Antialias, out.Winding = Winding, out.ClipRect = ClipRect;
  out.Closed = 1;
  out.polygons_.clear();
  for (const auto& poly : polygons_) {
    if (poly.size() < 2) continue;
    // A closed outline runs on to its second point, so that its first corner is
    // joined like the others before the path turns back.
    std::vector<TPoint> fwd = poly;
    if (Closed) fwd.push_back(poly[0]), fwd.push_back(poly[1]);
    std::vector<TPoint> path = fwd;
    path.insert(path.end(), fwd.rbegin(), fwd.rend());
    out.polygons_.push_back(std::move(path));
  }
  if (out.polygons_.empty()) out.polygons_.emplace_back();
  return out;
}

void TPolygon24::DrawThickLine(TBitmap& bmp, int x1, int y1, bool antialias, const TRect& clip, int width,
                               TColor color, int x2, int y2) {
  if (width <= 0 || bmp.PixelFormat() != pf24bit) return;
  TPolygon24 line;
  line.Antialias = antialias ? 1 : 0;
  line.ClipRect = clip;
  line.Closed = 0;
  line.AddPoint(TPoint{x1, y1});
  line.AddPoint(TPoint{x2, y2});
  if (width == 1) {
    line.Outline(bmp, color);
    return;
  }
  TPolygon24 stroke = line.MakeStrokePath().Widen(width, 0.0);
  stroke.Winding = 1;
  stroke.Fill(bmp, color);
}

void TPolygon24::DrawArrowLine(TBitmap& bmp, int x1, int y1, bool antialias, const TRect& clip, bool arrowAtEnd,
                               bool arrowAtStart, int arrowWidth, int arrowLength, int width, TColor color, int x2,
                               int y2) {
  if (bmp.PixelFormat() != pf24bit) return;
  const double dx = double(x2) - x1, dy = double(y2) - y1, len = std::sqrt(dx * dx + dy * dy);
  const double angle = std::atan2(dy, dx), c = std::cos(angle), s = std::sin(angle);
  const double pull = width / 2;
  double ax = x1, ay = y1, bx = x2, by = y2;
  if (arrowAtStart && len > 0) ax += c * pull, ay += s * pull;
  if (arrowAtEnd && len > 0) bx -= c * pull, by -= s * pull;
  DrawThickLine(bmp, RoundHalfEven(ax), RoundHalfEven(ay), antialias, clip, width, color, RoundHalfEven(bx),
                RoundHalfEven(by));
  if (arrowWidth < 1 || arrowLength < 0) return;
  const double w1 = (arrowWidth - 1) / 2, w2 = arrowWidth / 2;
  // a head in the line's own frame, tip at the origin pointing along +u, then turned
  auto head = [&](int tx, int ty, double dir) {
    TPolygon24 tri;
    tri.ClipRect = clip;
    tri.Antialias = antialias ? 1 : 0;
    const double local[3][2] = {{0, 0}, {-arrowLength * dir, -w1}, {-arrowLength * dir, w2}};
    for (const auto& pt : local) {
      const double u = pt[0], v = pt[1];
      tri.AddPoint(TPoint{RoundHalfEven(tx + u * c - v * s), RoundHalfEven(ty + u * s + v * c)});
    }
    tri.Fill(bmp, color);
  };
  if (arrowAtEnd) head(x2, y2, 1.0);
  if (arrowAtStart) head(x1, y1, -1.0);
}

}  // namespace qm
