#include "document/qt/ShapeDraw.h"

#include <QImage>
#include <QPolygon>
#include <algorithm>
#include <cmath>
#include <vector>

#include "document/Polygon.h"
#include "platform/core/Numeric.h"
#include "platform/core/Parallel.h"
#include "platform/qt/QtBitmap.h"

namespace qm {

namespace {

TRect InclusiveRect(const TRect& r) { return TRect{r.Left, r.Top, r.Right - 1, r.Bottom - 1}; }

QPolygon ToQPolygon(const TPoint* pts, int n) {
  QPolygon q(n);
  for (int i = 0; i < n; ++i) q.setPoint(i, pts[i].X, pts[i].Y);
  return q;
}

// The shape's geometry with the painter's current pen and brush. A rect-based kind
// covers r's pixels up to Right - 1 and Bottom - 1 with its outline.
void DrawGeometry(TShapeManager& shape, QPainter& p, const TRect& r, TMyShape kind) {
  const int w = r.Right - r.Left, h = r.Bottom - r.Top;
  switch (kind) {
    case ssRect:
      if (w > 0 && h > 0) p.drawRect(QRect(r.Left, r.Top, w - 1, h - 1));
      return;
    case ssEllipse:
      if (w > 0 && h > 0) p.drawEllipse(QRect(r.Left, r.Top, w - 1, h - 1));
      return;
    case ssRoundRect:
      if (w > 0 && h > 0) {
        // the corner ellipse is min(w, h) div 4 wide and high
        const double radius = (std::min(w, h) / 4) / 2.0;
        p.drawRoundedRect(QRect(r.Left, r.Top, w - 1, h - 1), radius, radius, Qt::AbsoluteSize);
      }
      return;
    case ssLine:
      p.drawLine(QPoint(r.Left, r.Top), QPoint(r.Right, r.Bottom));
      return;
    case ssPolygon:
    case ssPolyline: {
      shape.FitToRect(InclusiveRect(r));
      const QPolygon q = ToQPolygon(shape.DisplayPoints.data(), int(shape.DisplayPoints.size()));
      if (kind == ssPolygon) p.drawPolygon(q);
      else p.drawPolyline(q);
      return;
    }
    default: {
      TPoint pts[4];
      const int n = RectShapePolygon(r, kind, pts);
      if (n > 0) p.drawPolygon(ToQPolygon(pts, n));
      return;
    }
  }
}

// The columns [x0, x1) of row y inside the ellipse inscribed in r, cut to [lo, hi): a
// pixel belongs to it when its centre does. Computed relative to r, so the same
// ellipse elsewhere covers the same pixels. False when the row misses it.
bool EllipseRowSpan(const TRect& r, int y, int lo, int hi, int& x0, int& x1) {
  const double a = (double(r.Right) - r.Left) / 2, b = (double(r.Bottom) - r.Top) / 2;
  if (a <= 0 || b <= 0) return false;
  const double dy = (double(y) - r.Top + 0.5 - b) / b;
  if (dy * dy > 1) return false;
  const double half = a * std::sqrt(1 - dy * dy);
  const int64_t first = std::max<int64_t>(int64_t(r.Left) + Ceil(a - half - 0.5), lo);
  const int64_t last = std::min<int64_t>(int64_t(r.Left) + Floor(a + half - 0.5), int64_t(hi) - 1);
  if (first > last) return false;
  x0 = int(first);
  x1 = int(last) + 1;
  return true;
}

void FillEllipse(TBitmap& bmp, const TRect& r, TColor color) {
  if (r.Right <= r.Left || r.Bottom <= r.Top) return;
  const int y0 = std::max(r.Top, 0), y1 = std::min(r.Bottom, bmp.Height());
  if (y0 >= y1) return;
  ParallelRows(y0, y1, int64_t(y1 - y0) * std::min(int64_t(r.Right) - r.Left, int64_t(bmp.Width())),
               [&](int ya, int yb) {
                 for (int y = ya; y < yb; ++y) {
                   int x0, x1;
                   if (EllipseRowSpan(r, y, 0, bmp.Width(), x0, x1)) bmp.FillRect(TRect{x0, y, x1, y + 1}, color);
                 }
               });
}

// The corner ellipses of a rounded rectangle are min(w, h) div 4 wide and high; below
// 2 the shape is its rectangle.
int RoundRectCorner(const TRect& r) { return std::min(r.Right - r.Left, r.Bottom - r.Top) / 4; }

void ApplyStyle(QPainter& p, const TShapeStyle& s) {
  p.setBrush(Qt::NoBrush);
  p.setBackground(QColor::fromRgb(ColorToQRgb(s.BackColor)));
  p.setBackgroundMode(Qt::OpaqueMode);
  p.setCompositionMode(s.PenMode == spmXor ? QPainter::RasterOp_SourceXorDestination
                                           : QPainter::CompositionMode_SourceOver);
  QPen pen(QColor::fromRgb(ColorToQRgb(s.PenColor)));
  pen.setWidth(1);
  pen.setStyle(s.PenStyle == spsDot ? Qt::DotLine : s.PenStyle == spsClear ? Qt::NoPen : Qt::SolidLine);
  p.setPen(pen);
}

// The painter's pen and brush as a traced outline's style.
TTraceStyle TraceStyleOf(const QPainter& p) {
  TTraceStyle st;
  if (p.brush().style() != Qt::NoBrush) st.Brush = QRgbToColor(p.brush().color().rgb());
  const QPen& pen = p.pen();
  if (pen.style() != Qt::NoPen) {
    st.Pen = QRgbToColor(pen.color().rgb());
    st.Second = pen.style() == Qt::SolidLine ? st.Pen : QRgbToColor(p.background().color().rgb());
    st.PenWidth = std::max(1, pen.width());
  }
  return st;
}

void DrawTraced(TShapeManager& shape, QPainter& p, const TRect& r) {
  const TTraceStyle st = TraceStyleOf(p);
  p.save();
  p.setCompositionMode(QPainter::CompositionMode_SourceOver);
  TQtCanvas canvas(p);
  DrawTracedShape(shape, canvas, InclusiveRect(r), st);
  p.restore();
}

}  // namespace

void Draw(TShapeManager& shape, QPainter& painter, const TRect& r, int mode, TMyShape kind) {
  painter.save();
  painter.setRenderHint(QPainter::Antialiasing, false);
  switch (mode) {
    case 1: ApplyStyle(painter, shape.Styles[0]); break;
    case 2: ApplyStyle(painter, shape.Styles[1]); break;
    case 3:
    case 4:
      ApplyStyle(painter, shape.Styles[shape.AntsPhase ? 3 : 2]);
      if (mode == 3) shape.AntsPhase ^= 1;
      break;
    default: break;
  }
  if (kind == ssMultiPoints) DrawTraced(shape, painter, r);
  else DrawGeometry(shape, painter, r, kind);
  painter.restore();
}

void DrawShapeFilled(TShapeManager& shape, TBitmap& bmp, const TRect& r, TMyShape kind, TColor color) {
  if (bmp.PixelFormat() != pf24bit || bmp.Empty()) return;
  const int w = r.Right - r.Left, h = r.Bottom - r.Top;
  switch (kind) {
    case ssMultiPoints: {
      TBitmapCanvas canvas(bmp);
      TTraceStyle st;
      st.Brush = st.Pen = st.Second = color;
      DrawTracedShape(shape, canvas, InclusiveRect(r), st);
      return;
    }
    case ssRect:
      bmp.FillRect(r, color);
      return;
    case ssEllipse:
      FillEllipse(bmp, r, color);
      return;
    case ssRoundRect: {
      if (w <= 0 || h <= 0) return;
      // two bands and four corner ellipses
      const int e = RoundRectCorner(r);
      if (e < 2) {
        bmp.FillRect(r, color);
        return;
      }
      bmp.FillRect(TRect{r.Left + e / 2, r.Top, r.Right - e / 2, r.Bottom}, color);
      bmp.FillRect(TRect{r.Left, r.Top + e / 2, r.Right, r.Bottom - e / 2}, color);
      FillEllipse(bmp, Bounds(r.Left, r.Top, e, e), color);
      FillEllipse(bmp, Bounds(r.Right - e, r.Top, e, e), color);
      FillEllipse(bmp, Bounds(r.Left, r.Bottom - e, e, e), color);
      FillEllipse(bmp, Bounds(r.Right - e, r.Bottom - e, e, e), color);
      return;
    }
    default: {
      // Lines and polygons go through the polygon rasteriser, which covers the
      // pixels of the boundary like a polygon drawn with a pen of the fill's colour.
      TPolygon24 poly;
      poly.Antialias = 0;
      if (kind == ssLine) {
        poly.Closed = 0;
        poly.AddPoint(TPoint{r.Left, r.Top});
        poly.AddPoint(TPoint{r.Right, r.Bottom});
        poly.Outline(bmp, color);
        return;
      }
      int count = 0;
      std::vector<TPoint> pts;
      shape.GetShapePolygon(r, kind, count, pts);
      if (count <= 0) return;
      poly.AddPoints(pts.data(), count);
      if (kind == ssPolyline) {
        poly.Closed = 0;
        poly.Outline(bmp, color);
      } else {
        poly.Draw(bmp, color, color);
      }
      return;
    }
  }
}

void DrawShapeStroked(TShapeManager& shape, TBitmap& bmp, const TRect& r, TMyShape kind, TColor color,
                      int penWidth) {
  if (bmp.PixelFormat() != pf24bit || bmp.Empty()) return;
  penWidth = std::max(1, penWidth);
  if (kind == ssMultiPoints) {
    TBitmapCanvas canvas(bmp);
    TTraceStyle st;
    st.Pen = st.Second = color;
    st.PenWidth = penWidth;
    DrawTracedShape(shape, canvas, InclusiveRect(r), st);
    return;
  }
  QImage img = BitmapAsQImage(bmp);
  QPainter p(&img);
  p.setPen(QPen(QColor::fromRgb(ColorToQRgb(color)), penWidth, Qt::SolidLine, Qt::SquareCap, Qt::MiterJoin));
  p.setBrush(Qt::NoBrush);
  DrawGeometry(shape, p, r, kind);
}

bool FilledShapeRowSpans(const TRect& r, TMyShape kind, int y, int lo, int hi, std::vector<TSpan>& spans) {
  spans.clear();
  auto rect = [&](const TRect& b) {
    if (y >= b.Top && y < b.Bottom && std::max(b.Left, lo) < std::min(b.Right, hi))
      spans.push_back({std::max(b.Left, lo), std::min(b.Right, hi)});
  };
  auto ellipse = [&](const TRect& b) {
    int x0, x1;
    if (EllipseRowSpan(b, y, lo, hi, x0, x1)) spans.push_back({x0, x1});
  };
  const int w = r.Right - r.Left, h = r.Bottom - r.Top;
  switch (kind) {
    case ssRect: rect(r); return true;
    case ssEllipse: ellipse(r); return true;
    case ssRoundRect: {
      if (w <= 0 || h <= 0) return true;
      const int e = RoundRectCorner(r);
      if (e < 2) {
        rect(r);
        return true;
      }
      rect(TRect{r.Left + e / 2, r.Top, r.Right - e / 2, r.Bottom});
      rect(TRect{r.Left, r.Top + e / 2, r.Right, r.Bottom - e / 2});
      ellipse(Bounds(r.Left, r.Top, e, e));
      ellipse(Bounds(r.Right - e, r.Top, e, e));
      ellipse(Bounds(r.Left, r.Bottom - e, e, e));
      ellipse(Bounds(r.Right - e, r.Bottom - e, e, e));
      // the union, in order
      std::sort(spans.begin(), spans.end(), [](const TSpan& a, const TSpan& b) { return a.x0 < b.x0; });
      size_t n = 0;
      for (const TSpan& s : spans) {
        if (n > 0 && s.x0 <= spans[n - 1].x1) spans[n - 1].x1 = std::max(spans[n - 1].x1, s.x1);
        else spans[n++] = s;
      }
      spans.resize(n);
      return true;
    }
    default: return false;
  }
}

}  // namespace qm
