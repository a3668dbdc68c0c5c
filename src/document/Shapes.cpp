#include "document/Shapes.h"

#include "document/Resample.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "document/Polygon.h"
#include "pixel/ImgUtils.h"
#include "pixel/Mask.h"
#include "pixel/Rotation.h"
#include "platform/core/Numeric.h"
#include "platform/core/Parallel.h"

namespace qm {

namespace {
int gLineWidth = 1;
int gPointSpacing = 3;

// Masks of shapes are made at scale 1. A shape read from a file may claim a size no
// picture could hold; past this many pixels the mask operations leave it alone.
constexpr int64_t kMaxShapeMaskPixels = int64_t(1) << 28;

constexpr TRect kNoRect{0, 0, -1, -1};

// For kinds 5 to 12 the last row and column of the rect are inclusive.
TRect InclusiveRect(const TRect& r) { return TRect{r.Left, r.Top, r.Right - 1, r.Bottom - 1}; }

// The walk over a traced outline shared by filling, drawing and hit testing.
struct IndexedRun {
  int32_t Y, X0, X1;
  size_t First, Last;  // indices of the run's first and last point
};

template <class Fn>
void WalkRuns(const std::vector<TPoint>& pts, const std::vector<uint8_t>& flags, Fn&& fn) {
  const size_t n = std::min(pts.size(), flags.size());
  size_t i = 0;
  while (i < n) {
    if (!(flags[i] & efLeft)) return;
    size_t j = i;
    while (j < n && !(flags[j] & efRight)) ++j;
    if (j == n || pts[j].Y != pts[i].Y) return;
    if (!fn(IndexedRun{pts[i].Y, pts[i].X, pts[j].X, i, j})) return;
    i = j + 1;
  }
}

// The scaled square of pixel (x, y) before the offset: columns xa..xb, rows ya..yb.
struct Square {
  int32_t xa, xb, ya, yb;
};
Square ScaledSquare(int32_t x, int32_t y, double sx, double sy) {
  Square s;
  s.xa = Trunc(x * sx);
  s.xb = std::max(s.xa, Trunc((double(x) + 1) * sx) - 1);
  s.ya = Trunc(y * sy);
  s.yb = std::max(s.ya, Trunc((double(y) + 1) * sy) - 1);
  return s;
}

// 1 where the pixel's first byte is at most the level, else 0.
void InsideRow(const uint8_t* __restrict src, uint8_t* __restrict in, int w, uint8_t level) {
  for (int x = 0; x < w; ++x) in[x] = src[3 * x] <= level;
}

// The edge flags of one row of a trace from the inside flags (0 or 1) of the rows
// above, at and below it, each with an outside column on either side.
void EdgeFlagsRow(const uint8_t* __restrict prev, const uint8_t* __restrict cur, const uint8_t* __restrict next,
                  uint8_t* __restrict f, int w) {
  for (int x = 0; x < w; ++x) {
    const uint8_t sides = uint8_t((cur[x] ^ 1) | ((prev[x + 1] ^ 1) << 1) | ((cur[x + 2] ^ 1) << 2) |
                                  ((next[x + 1] ^ 1) << 3));
    f[x] = uint8_t(sides & uint8_t(-cur[x + 1]));
  }
}

}  // namespace

int ShapeLineWidth() { return gLineWidth; }
void SetShapeLineWidth(int w) { gLineWidth = w; }
int ShapePointSpacing() { return gPointSpacing; }
void SetShapePointSpacing(int s) { gPointSpacing = s; }

TRect PointsBounds(const std::vector<TPoint>& pts) {
  if (pts.empty()) return kNoRect;
  TRect r{pts[0].X, pts[0].Y, pts[0].X, pts[0].Y};
  for (const TPoint& p : pts) {
    r.Left = std::min(r.Left, p.X);
    r.Top = std::min(r.Top, p.Y);
    r.Right = std::max(r.Right, p.X);
    r.Bottom = std::max(r.Bottom, p.Y);
  }
  return r;
}

bool PointInPolygon(const TPoint* pts, int count, TPoint p) {
  bool inside = false;
  for (int i = 0, j = count - 1; i < count; j = i++) {
    const int64_t xi = pts[i].X, yi = pts[i].Y, xj = pts[j].X, yj = pts[j].Y;
    if ((p.Y >= yi && p.Y < yj) || (p.Y >= yj && p.Y < yi)) {
      // x < (xj - xi) * (y - yi) / (yj - yi) + xi, without dividing
      const int64_t lhs = (int64_t(p.X) - xi) * (yj - yi), rhs = (xj - xi) * (int64_t(p.Y) - yi);
      if (yj > yi ? lhs < rhs : lhs > rhs) inside = !inside;
    }
  }
  return inside;
}

int RectShapePolygon(const TRect& r0, TMyShape kind, TPoint out[4]) {
  if (kind == ssLineWidth) {
    const double dx = double(r0.Right) - r0.Left, dy = double(r0.Bottom) - r0.Top;
    const double len = std::sqrt(dx * dx + dy * dy), angle = std::atan2(dy, dx);
    const int lw = gLineWidth, w1 = lw / 2, w2 = (lw + 1) / 2;
    const double c = std::cos(angle), s = std::sin(angle);
    const double corners[4][2] = {{0, -double(w1)}, {len, -double(w1)}, {len, double(w2)}, {0, double(w2)}};
    for (int i = 0; i < 4; ++i) {
      const double u = corners[i][0], v = corners[i][1];
      out[i] = TPoint{RoundHalfEven(r0.Left + u * c - v * s), RoundHalfEven(r0.Top + u * s + v * c)};
    }
    return 4;
  }
  if (kind < ssTriangle1 || kind > ssLosange) return 0;
  const TRect r = InclusiveRect(r0);
  const int32_t mx = int32_t((int64_t(r.Left) + r.Right) / 2), my = int32_t((int64_t(r.Top) + r.Bottom) / 2);
  switch (kind) {
    case ssTriangle1:
      out[0] = {r.Left, r.Bottom}, out[1] = {mx, r.Top}, out[2] = {r.Right, r.Bottom};
      return 3;
    case ssTriangle2:
      out[0] = {r.Left, r.Top}, out[1] = {r.Right, my}, out[2] = {r.Left, r.Bottom};
      return 3;
    case ssTriangle3:
      out[0] = {r.Left, r.Top}, out[1] = {r.Right, r.Top}, out[2] = {mx, r.Bottom};
      return 3;
    case ssTriangle4:
      out[0] = {r.Left, my}, out[1] = {r.Right, r.Top}, out[2] = {r.Right, r.Bottom};
      return 3;
    default:  // ssLosange
      out[0] = {mx, r.Top}, out[1] = {r.Right, my}, out[2] = {mx, r.Bottom}, out[3] = {r.Left, my};
      return 4;
  }
}

// --- TShapeManager ---------------------------------------------------------------

TShapeManager::TShapeManager() {
  Styles[0] = {spmXor, spsDot, 0xFFD8CE, clBlack};
  Styles[1] = {spmXor, spsSolid, 0xFFD8CE, clBlack};
  Styles[2] = {spmCopy, spsDot, clBlack, clWhite};
  Styles[3] = {spmCopy, spsDot, clWhite, clBlack};
}

void TShapeManager::Clear() {
  Points.clear();
  PointFlags.clear();
  DisplayPoints.clear();
  Bounds = TRect{};
  DisplayRect = TRect{};
}

void TShapeManager::SaveToRecord(TShapeRecord& rec) const {
  rec.Points = Points;
  rec.Flags = PointFlags;
  rec.Bounds = Bounds;
}

void TShapeManager::LoadFromRecord(const TShapeRecord& rec) {
  Clear();
  Points = rec.Points;
  if (!rec.Flags.empty()) PointFlags = rec.Flags;
  Bounds = rec.Bounds;
}

void TShapeManager::GetPoint(int index, TPoint& p) const {
  p = index >= 0 && size_t(index) < Points.size() ? Points[size_t(index)] : TPoint{};
}

int TShapeManager::GetPointCount() const {
  return int(DisplayPoints.empty() ? Points.size() : DisplayPoints.size());
}

void TShapeManager::SetAntsColors(TColor a, TColor b) {
  Styles[2].PenColor = a, Styles[2].BackColor = b;
  Styles[3].PenColor = b, Styles[3].BackColor = a;
}

void TShapeManager::BeginPoints(TPoint p) {
  Building = 1;
  DisplayPoints.assign(1, p);
  DisplayRect = TRect{p.X, p.Y, p.X, p.Y};
}

int TShapeManager::AddPoint(TPoint p) {
  if (!DisplayPoints.empty()) {
    const TPoint& last = DisplayPoints.back();
    if (std::llabs(int64_t(last.X) - p.X) < gPointSpacing && std::llabs(int64_t(last.Y) - p.Y) < gPointSpacing)
      return -1;
  }
  DisplayPoints.push_back(p);
  return int(DisplayPoints.size()) - 1;
}

int TShapeManager::GetLastPoint(TPoint& p) const {
  p = DisplayPoints.empty() ? TPoint{} : DisplayPoints.back();
  return int(DisplayPoints.size());
}

void TShapeManager::GetFirstPoint(TPoint& p) const { p = DisplayPoints.empty() ? TPoint{} : DisplayPoints.front(); }

void TShapeManager::RemoveLastPoint(TRect& r) {
  if (!DisplayPoints.empty()) DisplayPoints.pop_back();
  r = PointsBounds(DisplayPoints);
}

void TShapeManager::EndPoints(double zoom) {
  Building = 0;
  if (DisplayPoints.empty()) return;
  const TRect b = PointsBounds(DisplayPoints);
  Points.resize(DisplayPoints.size());
  for (size_t i = 0; i < Points.size(); ++i) {
    int32_t x = int32_t(int64_t(DisplayPoints[i].X) - b.Left), y = int32_t(int64_t(DisplayPoints[i].Y) - b.Top);
    if (zoom != 1.0) x = Trunc(x / zoom), y = Trunc(y / zoom);
    Points[i] = TPoint{x, y};
  }
  PointFlags.clear();
  const TRect nb = PointsBounds(Points);
  Bounds = TRect{0, 0, nb.Right, nb.Bottom};
}

void TShapeManager::OffsetDisplay(int dx, int dy) {
  for (TPoint& p : DisplayPoints) p.X += dx, p.Y += dy;
  DisplayRect = OffsetRect(DisplayRect, dx, dy);
}

void TShapeManager::FitToRect(const TRect& r) {
  if (Building || (r == DisplayRect && DisplayPoints.size() == Points.size())) return;
  const bool fresh = DisplayPoints.size() != Points.size();
  if (fresh) DisplayPoints.assign(Points.size(), TPoint{});
  if (!fresh && r.Width() == DisplayRect.Width() && r.Height() == DisplayRect.Height()) {
    const int32_t dx = r.Left - DisplayRect.Left, dy = r.Top - DisplayRect.Top;
    for (TPoint& p : DisplayPoints) p.X += dx, p.Y += dy;
  } else {
    const int64_t rw = int64_t(r.Right) - r.Left, rh = int64_t(r.Bottom) - r.Top;
    const int64_t sw = Bounds.Right, sh = Bounds.Bottom;
    // A shape of zero extent on an axis has nothing to scale: it sits on r's edge.
    auto scale = [](int32_t c, int64_t to, int64_t from) -> int32_t {
      if (to == from) return c;
      if (from == 0) return 0;
      return RoundHalfEven(double(c) * double(to) / double(from));
    };
    for (size_t i = 0; i < Points.size(); ++i)
      DisplayPoints[i] = TPoint{scale(Points[i].X, rw, sw) + r.Left, scale(Points[i].Y, rh, sh) + r.Top};
  }
  DisplayRect = r;
}

void TShapeManager::GetShapePolygon(const TRect& r, TMyShape kind, int& count, std::vector<TPoint>& pts) {
  if (kind == ssPolygon || kind == ssPolyline) {
    FitToRect(InclusiveRect(r));
    pts = DisplayPoints;
    count = int(pts.size());
    return;
  }
  TPoint p[4];
  const int n = RectShapePolygon(r, kind, p);
  if (n == 0) return;
  pts.assign(p, p + n);
  count = n;
}

bool TShapeManager::HitTest(const TRect& r, TPoint p, TMyShape kind) {
  if (!PtInRect(r, p)) return false;
  const int64_t w = int64_t(r.Right) - r.Left, h = int64_t(r.Bottom) - r.Top;
  switch (kind) {
    case ssRect:
    case ssLine:
    case ssLineWidth:
    case ssPolyline:
      return true;
    case ssEllipse: {
      // In floating point: an ellipse one pixel wide or high has a zero radius on
      // that axis, and only its centre line is inside.
      const double rx = double(w / 2), ry = double(h / 2);
      const double dx = double(p.X) - r.Left - rx, dy = double(p.Y) - r.Top - ry;
      const double tx = rx > 0 ? (dx / rx) * (dx / rx) : (dx == 0 ? 0.0 : 2.0);
      const double ty = ry > 0 ? (dy / ry) * (dy / ry) : (dy == 0 ? 0.0 : 2.0);
      return tx + ty <= 1.0;
    }
    case ssRoundRect: {
      const int64_t c = std::min(w, h) / 12;
      const int64_t x = int64_t(p.X) - r.Left, y = int64_t(p.Y) - r.Top, xr = w - 1 - x, yb = h - 1 - y;
      return x + y >= c && xr + y >= c && x + yb >= c && xr + yb >= c;
    }
    case ssPolygon: {
      FitToRect(InclusiveRect(r));
      return PointInPolygon(DisplayPoints.data(), int(DisplayPoints.size()), p);
    }
    case ssMultiPoints: {
      const TRect ri = InclusiveRect(r);
      const double sx = (double(ri.Right) - ri.Left + 1) / (double(Bounds.Right) + 1);
      const double sy = (double(ri.Bottom) - ri.Top + 1) / (double(Bounds.Bottom) + 1);
      bool hit = false;
      WalkRuns(Points, PointFlags, [&](const IndexedRun& run) {
        int32_t top = Trunc(run.Y * sy) + ri.Top, bottom = Trunc((double(run.Y) + 1) * sy) + ri.Top;
        if (bottom <= top) bottom = top + 1;
        const TRect cell{Trunc(run.X0 * sx) + ri.Left, top, Trunc((double(run.X1) + 1) * sx) + ri.Left, bottom};
        hit = PtInRect(cell, p);
        return !hit;
      });
      return hit;
    }
    default: {
      TPoint poly[4];
      const int n = RectShapePolygon(r, kind, poly);
      return n > 0 && PointInPolygon(poly, n, p);
    }
  }
}

std::vector<TEdgeRun> TShapeManager::EdgeRuns() const {
  std::vector<TEdgeRun> runs;
  WalkRuns(Points, PointFlags, [&](const IndexedRun& r) {
    runs.push_back(TEdgeRun{r.Y, r.X0, r.X1});
    return true;
  });
  return runs;
}

void TShapeManager::FillEdgeRuns(TCanvas& canvas, int dx, TColor color, double sx, double sy, int dy) const {
  WalkRuns(Points, PointFlags, [&](const IndexedRun& r) {
    int32_t top = Trunc(r.Y * sy) + dy, bottom = Trunc((double(r.Y) + 1) * sy) + dy;
    if (bottom <= top) bottom = top + 1;
    canvas.FillRect(TRect{Trunc(r.X0 * sx) + dx, top, Trunc((double(r.X1) + 1) * sx) + dx, bottom}, color);
    return true;
  });
}

void TShapeManager::ShapeFromMask(const TBitmap* mask, int threshold, TRect& r) {
  r = kNoRect;
  Clear();
  if (!mask || mask->PixelFormat() != pf24bit || mask->Empty() || threshold < 0) return;
  const int w = mask->Width(), h = mask->Height();
  const uint8_t level = uint8_t(std::min(threshold, 255));
  const int bands = WorthThreading(int64_t(w) * h) ? std::min(EngineThreads(), h) : 1;

  // Inside flags of one row with an outside column on either side, so the side
  // tests need no bounds checks.
  auto insideRow = [&](int y, uint8_t* in) {
    in[0] = in[w + 1] = 0;
    if (y < 0 || y >= h) std::memset(in + 1, 0, size_t(w));
    else InsideRow(mask->ScanLine(y), in + 1, w, level);
  };
  // Calls emit(x, y, flags) for each edge pixel of the band's rows, in scan order.
  auto scanBand = [&](int y0, int y1, auto&& emit) {
    std::vector<uint8_t> buf(size_t(w + 2) * 3), f(size_t(w) + 8, 0);
    uint8_t *prev = buf.data(), *cur = prev + (w + 2), *next = cur + (w + 2);
    insideRow(y0 - 1, prev);
    insideRow(y0, cur);
    for (int y = y0; y < y1; ++y) {
      insideRow(y + 1, next);
      EdgeFlagsRow(prev, cur, next, f.data(), w);
      for (int x = 0; x < w; ++x) {
        // most of a mask is interior or outside: skip eight quiet pixels at a time
        if (x + 8 <= w) {
          uint64_t q;
          std::memcpy(&q, &f[size_t(x)], 8);
          if (q == 0) {
            x += 7;
            continue;
          }
        }
        if (f[size_t(x)]) emit(x, y, f[size_t(x)]);
      }
      std::swap(prev, cur);
      std::swap(cur, next);
    }
  };
  auto bandRows = [&](int b, int& y0, int& y1) {
    y0 = int(int64_t(h) * b / bands);
    y1 = int(int64_t(h) * (b + 1) / bands);
  };

  struct Extent {
    size_t count = 0;
    int32_t minX = INT32_MAX, maxX = INT32_MIN, minY = INT32_MAX, maxY = INT32_MIN;
    void Add(int x, int y) {
      ++count;
      minX = std::min(minX, x);
      maxX = std::max(maxX, x);
      minY = std::min(minY, y);
      maxY = std::max(maxY, y);
    }
  };
  auto finish = [&](const Extent& all) {
    Bounds = TRect{0, 0, all.maxX - all.minX, all.maxY - all.minY};
    r = TRect{all.minX, all.minY, all.maxX + 1, all.maxY + 1};
  };

  // On one thread, one pass: the points are kept as found (the lists keep their room
  // from the last trace), then moved to the shape's origin.
  if (bands == 1) {
    Extent all;
    try {
      scanBand(0, h, [&](int x, int y, uint8_t f) {
        Points.push_back(TPoint{x, y});
        PointFlags.push_back(f);
        all.Add(x, y);
      });
    } catch (...) {
      Clear();  // no part of a shape is left behind
      throw;
    }
    if (all.count == 0) return;
    for (TPoint& p : Points) p = TPoint{p.X - all.minX, p.Y - all.minY};
    finish(all);
    return;
  }

  // Two passes: count each band's points, then write them straight to their place.
  // Growing lists on several threads at once costs more than tracing twice.
  std::vector<Extent> ext(static_cast<size_t>(bands));
#pragma omp parallel for schedule(static) num_threads(bands)
  for (int b = 0; b < bands; ++b) {
    int y0, y1;
    bandRows(b, y0, y1);
    Extent e;
    scanBand(y0, y1, [&e](int x, int y, uint8_t) { e.Add(x, y); });
    ext[size_t(b)] = e;
  }
  size_t total = 0;
  Extent all;
  std::vector<size_t> start(ext.size(), 0);
  for (size_t b = 0; b < ext.size(); ++b) {
    start[b] = total;
    total += ext[b].count;
    all.minX = std::min(all.minX, ext[b].minX);
    all.maxX = std::max(all.maxX, ext[b].maxX);
    all.minY = std::min(all.minY, ext[b].minY);
    all.maxY = std::max(all.maxY, ext[b].maxY);
  }
  if (total == 0) return;
  Points.resize(total);
  PointFlags.resize(total);
#pragma omp parallel for schedule(static) num_threads(bands)
  for (int b = 0; b < bands; ++b) {
    int y0, y1;
    bandRows(b, y0, y1);
    TPoint* pt = Points.data() + start[size_t(b)];
    uint8_t* fl = PointFlags.data() + start[size_t(b)];
    scanBand(y0, y1, [&](int x, int y, uint8_t f) {
      *pt++ = TPoint{x - all.minX, y - all.minY};
      *fl++ = f;
    });
  }
  finish(all);
}

TBitmap TShapeManager::RenderMask(int pad) const {
  if (Points.empty() || pad < 0) return TBitmap();
  const int64_t w = int64_t(Bounds.Right) + 1 + 2 * int64_t(pad), h = int64_t(Bounds.Bottom) + 1 + 2 * int64_t(pad);
  if (Bounds.Right < 0 || Bounds.Bottom < 0 || w > kMaxBitmapSide || h > kMaxBitmapSide || w * h > kMaxShapeMaskPixels)
    return TBitmap();
  TBitmap mask(int(w), int(h), pf24bit, clWhite);
  if (HasFlags()) {
    TBitmapCanvas canvas(mask);
    TTraceStyle st;
    st.Brush = st.Pen = st.Second = clBlack;
    DrawTracedShape(*this, canvas, TRect{pad, pad, pad + Bounds.Right, pad + Bounds.Bottom}, st);
  } else {
    TPolygon24 poly;
    poly.Antialias = 0;
    for (const TPoint& p : Points) poly.AddPoint(TPoint{p.X + pad, p.Y + pad});
    poly.Draw(mask, clBlack, clBlack);
  }
  return mask;
}

void TShapeManager::Transform(int code) {
  if (code < 0 || code > 4) return;
  if (!HasFlags()) {
    const int32_t W = Bounds.Right, H = Bounds.Bottom;
    for (TPoint& p : Points) {
      const TPoint q = p;
      switch (code) {
        case 0: p.Y = H - q.Y; break;
        case 1: p.X = W - q.X; break;
        case 2: p = TPoint{H - q.Y, q.X}; break;
        case 3: p = TPoint{q.Y, W - q.X}; break;
        default: p = TPoint{W - q.X, H - q.Y}; break;
      }
    }
    if (code == 2 || code == 3) Bounds = TRect{0, 0, H, W};
    DisplayRect = TRect{};
    DisplayPoints.clear();
    return;
  }
  TBitmap mask = RenderMask();
  if (mask.Empty()) return;
  switch (code) {
    case 0: FlipBitmapVertical(mask); break;
    case 1: FlipBitmapHorizontal(mask); break;
    case 2: RotateBitmap90(mask, true); break;
    case 3: RotateBitmap90(mask, false); break;
    default: RotateBitmap180(mask); break;
  }
  TRect r;
  ShapeFromMask(&mask, 128, r);
}

void TShapeManager::Expand(int pixels, TRect& r) {
  if (pixels == 0 || Points.empty()) return;
  const int pad = std::max(pixels, 0);
  TBitmap mask = RenderMask(pad);
  if (mask.Empty()) return;
  ApplyMinMaxPasses(mask, pixels, GetBitmapRect(mask));
  TRect traced;
  ShapeFromMask(&mask, 128, traced);
  r = traced.Right < traced.Left ? TRect{} : OffsetRect(traced, r.Left - pad, r.Top - pad);
}

void TShapeManager::ScaleToSize(int w, int h, TRect& r) {
  if (w < 1 || h < 1 || Points.empty()) return;
  TBitmap mask = RenderMask();
  if (mask.Empty() || int64_t(w) * h > kMaxShapeMaskPixels) return;
  TBitmap smooth;
  if (w >= 2 && h >= 2 && Resample(mask, w, h, TResampleFilter::Triangle, smooth))
    mask = std::move(smooth);
  else
    ResizeBitmap(w, h, mask);
  TRect traced;
  ShapeFromMask(&mask, 128, traced);
  r = traced.Right < traced.Left ? TRect{} : OffsetRect(traced, r.Left, r.Top);
}

// --- Drawing a traced outline --------------------------------------------------------

void DrawTracedShape(const TShapeManager& shape, TCanvas& canvas, const TRect& r, const TTraceStyle& st) {
  if (!shape.HasFlags()) return;
  const double sx = (double(r.Right) - r.Left + 1) / (double(shape.Bounds.Right) + 1);
  const double sy = (double(r.Bottom) - r.Top + 1) / (double(shape.Bounds.Bottom) + 1);
  const auto& pts = shape.Points;
  const auto& flags = shape.PointFlags;
  // At scale 1 an outline in the fill's colour lands on pixels the fill has already
  // painted; only points outside the runs (a broken list) still need drawing.
  const bool outlineHidden = st.Brush != clNone && st.Pen == st.Brush && st.Second == st.Pen && st.PenWidth < 2 &&
                             sx == 1.0 && sy == 1.0;
  std::vector<uint8_t> covered;
  if (st.Brush != clNone) {
    if (outlineHidden) covered.assign(pts.size(), 0);
    WalkRuns(pts, flags, [&](const IndexedRun& run) {
      int32_t top = Trunc(run.Y * sy) + r.Top, bottom = Trunc((double(run.Y) + 1) * sy) + r.Top;
      if (bottom <= top) bottom = top + 1;
      canvas.FillRect(TRect{Trunc(run.X0 * sx) + r.Left, top, Trunc((double(run.X1) + 1) * sx) + r.Left, bottom},
                      st.Brush);
      if (outlineHidden)
        for (size_t i = run.First; i <= run.Last; ++i)
          covered[i] = pts[i].Y == run.Y && pts[i].X >= run.X0 && pts[i].X <= run.X1;
      return true;
    });
  }
  if (st.Pen == clNone) return;
  const TColor second = st.Second == clNone ? st.Pen : st.Second;
  if (st.PenWidth >= 2) {
    const int pw = st.PenWidth, half = pw / 2;
    for (size_t i = 0; i < pts.size(); ++i) {
      const uint8_t f = flags[i];
      if (!f) continue;
      const Square s = ScaledSquare(pts[i].X, pts[i].Y, sx, sy);
      const int32_t x0 = r.Left + s.xa, x1 = r.Left + s.xb + 1, y0 = r.Top + s.ya, y1 = r.Top + s.yb + 1;
      // each side a bar of the pen's width centred on it, long enough to close the corners
      if (f & efLeft) canvas.FillRect(TRect{x0 - half, y0 - half, x0 - half + pw, y1 - half + pw}, st.Pen);
      if (f & efRight) canvas.FillRect(TRect{x1 - half, y0 - half, x1 - half + pw, y1 - half + pw}, st.Pen);
      if (f & efTop) canvas.FillRect(TRect{x0 - half, y0 - half, x1 - half + pw, y0 - half + pw}, st.Pen);
      if (f & efBottom) canvas.FillRect(TRect{x0 - half, y1 - half, x1 - half + pw, y1 - half + pw}, st.Pen);
    }
    return;
  }
  // One pixel at scaled (x', y'): pen colour when (x' + y') mod 8 < 4, else the second.
  auto plot = [&](int32_t x, int32_t y) {
    const TColor c = ModFloor(int64_t(x) + y, 8) < 4 ? st.Pen : second;
    canvas.FillRect(TRect{x + r.Left, y + r.Top, x + r.Left + 1, y + r.Top + 1}, c);
  };
  // A run of pixels along one axis, in blocks of one colour.
  auto line = [&](int32_t x0, int32_t y0, int32_t x1, int32_t y1) {
    if (st.Pen == second) {
      canvas.FillRect(TRect{x0 + r.Left, y0 + r.Top, x1 + r.Left + 1, y1 + r.Top + 1}, st.Pen);
      return;
    }
    if (y0 == y1)
      for (int32_t x = x0; x <= x1; ++x) plot(x, y0);
    else
      for (int32_t y = y0; y <= y1; ++y) plot(x0, y);
  };
  for (size_t i = 0; i < pts.size(); ++i) {
    const uint8_t f = flags[i];
    if (!f || (!covered.empty() && covered[i])) continue;
    const Square s = ScaledSquare(pts[i].X, pts[i].Y, sx, sy);
    if (s.xa == s.xb && s.ya == s.yb) {
      plot(s.xa, s.ya);
      continue;
    }
    if (f & efLeft) line(s.xa, s.ya, s.xa, s.yb);
    if (f & efRight) line(s.xb, s.ya, s.xb, s.yb);
    if (f & efTop) line(s.xa, s.ya, s.xb, s.ya);
    if (f & efBottom) line(s.xa, s.yb, s.xb, s.yb);
  }
}

}  // namespace qm
