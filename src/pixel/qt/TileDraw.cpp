#include "pixel/qt/TileDraw.h"

#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QPolygon>
#include <algorithm>

#include "pixel/ImgUtils.h"
#include "pixel/Tiles.h"
#include "platform/core/Random.h"
#include "platform/qt/QtBitmap.h"

namespace qm {
namespace {

inline bool Is24(const TBitmap& b) { return b.PixelFormat() == pf24bit && !b.Empty(); }

QColor ToQColor(TColor c) { return QColor::fromRgb(ColorToQRgb(c)); }

// A painter on a QImage view of the bitmap: aliased, clipped to the rect. The view
// shares the bitmap's pixels, so the bitmap must keep its size while this lives.
class RectPainter {
 public:
  RectPainter(TBitmap& bmp, const TRect& r) : img_(BitmapAsQImage(bmp)), p_(&img_) {
    p_.setRenderHint(QPainter::Antialiasing, false);
    p_.setClipRect(QRect(r.Left, r.Top, r.Width(), r.Height()));
  }
  QPainter* operator->() { return &p_; }

 private:
  QImage img_;
  QPainter p_;
};

// The pen of the original drawing: solid, round ends and joins beyond one pixel.
QPen SolidPen(TColor c, int width) { return QPen(ToQColor(c), width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin); }

// The source to read cell colours from, copied when it is also the destination, which
// the routine is about to paint over; then the destination sized like it and the rect
// filled with the background (unless that is clNone).
const TBitmap& PrepareCells(const TBitmap& src, TBitmap& dst, TBitmap& holder, const TRect& rect, TColor background) {
  const TBitmap* s = &src;
  if (&src == &dst) {
    holder = src.Clone();
    s = &holder;
  }
  SizeLikeSource(*s, dst);
  if (background != clNone) dst.FillRect(rect, background);
  return *s;
}

TColor CellColor(const TBitmap& src, int x, int y) { return Pixel24ToColor(src.ScanLine(y) + ptrdiff_t(x) * 3); }

}  // namespace

void FilterPuzzle(TBitmap& bmp, int size, TColor color, TRect rect, int penWidth) {
  if (size < 5 || size > 500 || penWidth < 1 || penWidth > 10 || !Is24(bmp)) return;
  ClipRectToBitmap(rect, bmp);
  if (rect.IsEmpty()) return;
  const int W = rect.Width(), H = rect.Height();
  if (2 * size > W || 2 * size > H) return;
  const int nx = PieceCount(W, size), ny = PieceCount(H, size);
  const double cw = double(W) / nx, ch = double(H) / ny;
  RectPainter p(bmp, rect);
  p->setPen(SolidPen(color, penWidth));
  p->setBrush(Qt::NoBrush);
  auto draw = [&](int shape, int c, int r) {
    TPoint pt[10];
    PuzzleEdgePoints(shape, c, r, cw, ch, rect.Left, rect.Top, pt);
    QPainterPath path(QPointF(pt[0].X, pt[0].Y));
    for (int i = 1; i < 10; i += 3)
      path.cubicTo(QPointF(pt[i].X, pt[i].Y), QPointF(pt[i + 1].X, pt[i + 1].Y), QPointF(pt[i + 2].X, pt[i + 2].Y));
    p->drawPath(path);
  };
  for (int r = 0; r < ny; ++r)
    for (int c = 0; c < nx; ++c) {
      if (r > 0) draw(Random(2), c, r);
      if (c > 0) draw(2 + Random(2), c, r);
    }
}

void FilterCrossStitch(const TBitmap& src0, TBitmap& dst, TColor background, TRect rect, bool secondDiagonal,
                       bool firstDiagonal, int thickness, int cell) {
  if (cell < 3 || cell > 50 || thickness < 1 || thickness > 5 || !Is24(src0)) return;
  ClipRectToBitmap(rect, src0);
  if (rect.IsEmpty()) return;
  TBitmap holder;
  const TBitmap& src = PrepareCells(src0, dst, holder, rect, background);
  if (!firstDiagonal && !secondDiagonal) return;
  const int h = thickness / 2;
  RectPainter p(dst, rect);
  QPen pen = SolidPen(clBlack, thickness);
  for (int y = rect.Top; y < rect.Bottom; y += cell)
    for (int x = rect.Left; x < rect.Right; x += cell) {
      pen.setColor(ToQColor(CellColor(src, x, y)));
      p->setPen(pen);
      if (firstDiagonal) p->drawLine(x + h, y + h, x + cell - h, y + cell - h);
      if (secondDiagonal) p->drawLine(x + cell - h, y + h, x + h, y + cell - h);
    }
}

void DrawCrossStitch(const TBitmap& src0, TBitmap& dst, TColor background, TRect rect, bool secondHalf,
                     bool firstHalf, int cell) {
  if (cell < 3 || cell > 50 || !Is24(src0)) return;
  ClipRectToBitmap(rect, src0);
  if (rect.IsEmpty()) return;
  TBitmap holder;
  const TBitmap& src = PrepareCells(src0, dst, holder, rect, background);
  if (!firstHalf && !secondHalf) return;
  RectPainter p(dst, rect);
  for (int y = rect.Top; y < rect.Bottom; y += cell)
    for (int x = rect.Left; x < rect.Right; x += cell) {
      const QColor c = ToQColor(CellColor(src, x, y));
      p->setPen(QPen(c, 1));
      p->setBrush(c);
      const int a = 1, b = cell - 1;
      if (firstHalf) p->drawPolygon(QPolygon({QPoint(x + a, y + a), QPoint(x + b, y + b), QPoint(x + a, y + b)}));
      if (secondHalf) p->drawPolygon(QPolygon({QPoint(x + b, y + a), QPoint(x + a, y + b), QPoint(x + b, y + b)}));
    }
}

void FilterPointillism(const TBitmap& src0, TBitmap& dst, int size, TRect rect, TColor background, int step) {
  // A step below 1 would never leave the first dot.
  if (size < 3 || size > 50 || step < 1 || !Is24(src0)) return;
  ClipRectToBitmap(rect, src0);
  if (rect.IsEmpty()) return;
  TBitmap holder;
  const TBitmap& src = PrepareCells(src0, dst, holder, rect, background);
  RectPainter p(dst, rect);
  for (int y = rect.Top; y < rect.Bottom; y += step)
    for (int x = rect.Left; x < rect.Right; x += step) {
      const QColor c = ToQColor(CellColor(src, x, y));
      p->setPen(QPen(c, 1));
      p->setBrush(c);
      const int ex = x - Random(size);
      const int ey = y - Random(size);
      // The box's right and bottom edges are outside it, as for every rect here.
      p->drawEllipse(QRect(ex, ey, size - 1, size - 1));
    }
}

}  // namespace qm
