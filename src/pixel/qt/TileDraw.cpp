#include "pixel/qt/TileDraw.h"

#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QPolygon>
#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#include "pixel/Convolution.h"
#include "pixel/ImgUtils.h"
#include "pixel/Tiles.h"
#include "platform/core/Parallel.h"
#include "platform/core/Random.h"
#include "platform/qt/QtBitmap.h"

namespace qm {
namespace {

inline bool Is24(const TBitmap& b) { return b.PixelFormat() == pf24bit && !b.Empty(); }

QColor ToQColor(TColor c) { return QColor::fromRgb(ColorToQRgb(c)); }

// Where a band's painter draws. Qt's raster engine draws thick lines and curves on the
// 24-bit view of the bitmap a quarter faster than on a 32-bit image, but every run of
// pixels it writes there goes through its generic blend, which locks a mutex of the
// application's: with one painter a thread, the threads wait on each other wherever
// there are many short runs, as in small filled shapes (8 threads drew 1.5 million
// small discs only 1.3 times as fast as one). On a 32-bit image the engine writes
// opaque colours itself. Figures on the development machine, 24 MP at one thread:
// 480 000 lines 2 pixels wide, 712 ms on the view, 965 ms on 32 bits; 1.5 million
// discs of 6 pixels, 462 and 351 ms.
enum class TBandSurface { View, Image32 };

// A painter over a band of the bitmap, in the bitmap's coordinates, aliased and clipped
// to the band, drawing on the bitmap's own pixels or on a 32-bit copy of the band that
// goes back into the bitmap when the painter ends. The band is first filled with the
// background unless that is clNone.
class BandPainter {
 public:
  BandPainter(TBitmap& bmp, const TRect& band, TColor background, TBandSurface surface) : bmp_(bmp), band_(band) {
    if (surface == TBandSurface::View) {
      if (background != clNone) bmp.FillRect(band, background);
      img_ = BitmapAsQImage(bmp);
      p_.begin(&img_);
    } else {
      copy_ = true;
      img_ = QImage(band.Width(), band.Height(), QImage::Format_RGB32);
      if (background != clNone) {
        img_.fill(ColorToQRgb(background));
      } else {
        for (int y = band.Top; y < band.Bottom; ++y) {
          const uint8_t* s = bmp.ScanLine(y) + ptrdiff_t(band.Left) * 3;
          auto* d = reinterpret_cast<QRgb*>(img_.scanLine(y - band.Top));
          for (int x = 0; x < band.Width(); ++x, s += 3) d[x] = qRgb(s[2], s[1], s[0]);
        }
      }
      p_.begin(&img_);
      p_.translate(-band.Left, -band.Top);
    }
    p_.setRenderHint(QPainter::Antialiasing, false);
    p_.setClipRect(QRect(band.Left, band.Top, band.Width(), band.Height()));
  }
  ~BandPainter() {
    p_.end();
    if (!copy_) return;
    for (int y = band_.Top; y < band_.Bottom; ++y) {
      const auto* s = reinterpret_cast<const QRgb*>(img_.constScanLine(y - band_.Top));
      uint8_t* d = bmp_.ScanLine(y) + ptrdiff_t(band_.Left) * 3;
      for (int x = 0; x < band_.Width(); ++x, d += 3) {
        d[0] = uint8_t(qBlue(s[x]));
        d[1] = uint8_t(qGreen(s[x]));
        d[2] = uint8_t(qRed(s[x]));
      }
    }
  }
  BandPainter(const BandPainter&) = delete;
  BandPainter& operator=(const BandPainter&) = delete;
  QPainter* operator->() { return &p_; }

 private:
  TBitmap& bmp_;
  TRect band_;
  bool copy_ = false;
  QImage img_;
  QPainter p_;
};

// The pen of the original drawing: solid, round ends and joins beyond one pixel.
QPen SolidPen(TColor c, int width) { return QPen(ToQColor(c), width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin); }

// The source to read cell colours from, copied when it is also the destination, which
// the routine is about to paint over; then the destination sized like it.
const TBitmap& PrepareCells(const TBitmap& src, TBitmap& dst, TBitmap& holder) {
  const TBitmap* s = &src;
  if (&src == &dst) {
    holder = src.Clone();
    s = &holder;
  }
  SizeLikeSource(*s, dst);
  return *s;
}

TColor CellColor(const TBitmap& src, int x, int y) { return Pixel24ToColor(src.ScanLine(y) + ptrdiff_t(x) * 3); }

// The drawing is split into bands of rows painted on their own threads, each through
// its own painter clipped to its band (and the rect). A band draws, in their order,
// every item of the whole drawing that can reach it: a pixel then ends as the last
// item over it left it, as with one painter over the whole rect, because the raster
// engine covers the same pixels of an item whatever the clip it cuts them to.
//
// The items lie on a grid of rows from `top`, `step` apart, `count` of them; an item
// of grid row k reaches rows [top + k step - before, top + k step + after). The rows of
// the grid whose items may reach band [y0, y1) are [first, last).
void GridRowsReaching(int top, double step, int count, int before, int after, int y0, int y1, int& first,
                      int& last) {
  first = std::clamp(int(std::floor((y0 - top - after) / step)), 0, count);
  last = std::clamp(int(std::floor((y1 - top + before) / step)) + 1, first, count);
}

// Calls paint(painter, y0, y1) for each band [y0, y1) of the rect's rows, the painter
// clipped to the band, which is first filled with the background unless it is clNone.
template <class Paint>
void PaintBands(TBitmap& dst, const TRect& rect, TColor background, TBandSurface surface, Paint&& paint) {
  ParallelRows(rect.Top, rect.Bottom, int64_t(rect.Width()) * rect.Height(), [&](int y0, int y1) {
    BandPainter p(dst, TRect{rect.Left, y0, rect.Right, y1}, background, surface);
    paint(p, y0, y1);
  });
}

// Random(n) drawn `count` times in a row (n at most 256), in the generator's order.
std::vector<uint8_t> Draws(size_t count, int n) {
  std::vector<uint8_t> d(count);
  for (uint8_t& v : d) v = uint8_t(Random(n));
  return d;
}

}  // namespace

void FilterPuzzle(TBitmap& bmp, int size, TColor color, TRect rect, int penWidth) {
  if (size < 5 || size > 500 || penWidth < 1 || penWidth > 10 || !Is24(bmp)) return;
  ClipRectToBitmap(rect, bmp);
  if (rect.IsEmpty()) return;
  const int W = rect.Width(), H = rect.Height();
  if (2 * size > W || 2 * size > H) return;
  const int nx = PieceCount(W, size), ny = PieceCount(H, size);
  const double cw = double(W) / nx, ch = double(H) / ny;
  // The edge shapes in the order the pieces draw them: the top edge (rows after the
  // first), then the left edge (columns after the first).
  std::vector<uint8_t> shapes(size_t(nx) * size_t(ny) * 2);
  for (int r = 0; r < ny; ++r)
    for (int c = 0; c < nx; ++c) {
      uint8_t* s = &shapes[(size_t(r) * size_t(nx) + size_t(c)) * 2];
      if (r > 0) s[0] = uint8_t(Random(2));
      if (c > 0) s[1] = uint8_t(2 + Random(2));
    }
  // A piece's edges lie between 6/15 of a row above its top and its bottom, widened by
  // the pen and the rounding of the points.
  const int reach = penWidth + 2;
  PaintBands(bmp, rect, clNone, TBandSurface::View, [&](BandPainter& p, int y0, int y1) {
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
    int first, last;
    GridRowsReaching(rect.Top, ch, ny, int(std::ceil(ch * 6 / 15)) + reach, int(std::ceil(ch)) + reach, y0, y1,
                     first, last);
    for (int r = first; r < last; ++r)
      for (int c = 0; c < nx; ++c) {
        const uint8_t* s = &shapes[(size_t(r) * size_t(nx) + size_t(c)) * 2];
        if (r > 0) draw(s[0], c, r);
        if (c > 0) draw(s[1], c, r);
      }
  });
}

namespace {

// The pixels one aliased drawing covers, as runs [x0, x1) of row y relative to an
// origin, drawn once by the raster engine itself in white on black with draw(painter,
// origin) into a box of `extent` pixels beyond the origin on every side. An aliased
// shape of integer coordinates covers the same pixels wherever it lies (the engine
// steps and cuts it to the clip in whole pixels), so stamping these runs at each place
// gives the pixels of drawing the shape there, without the painter's work for each:
// setting its pen and brush, stroking round ends as curves, filling.
struct TPixelRun {
  int y, x0, x1;
};

template <class Draw>
std::vector<TPixelRun> CoveredRuns(int extent, Draw&& draw) {
  QImage img(2 * extent, 2 * extent, QImage::Format_RGB32);
  img.fill(Qt::black);
  {
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing, false);
    draw(p, extent);
  }
  std::vector<TPixelRun> runs;
  for (int y = 0; y < img.height(); ++y) {
    const auto* row = reinterpret_cast<const QRgb*>(img.constScanLine(y));
    for (int x = 0; x < img.width();) {
      if (qRed(row[x]) == 0) {
        ++x;
        continue;
      }
      const int x0 = x;
      while (x < img.width() && qRed(row[x]) != 0) ++x;
      runs.push_back({y - extent, x0 - extent, x - extent});
    }
  }
  return runs;
}

// The runs stamped with their origin at (ox, oy) in the colour (3 bytes), cut to rows
// [y0, y1) and columns [left, right).
void StampRuns(TBitmap& dst, const std::vector<TPixelRun>& runs, int ox, int oy, int y0, int y1, int left, int right,
               const uint8_t* color) {
  for (const TPixelRun& run : runs) {
    const int py = oy + run.y;
    if (py < y0 || py >= y1) continue;
    const int a = std::max(ox + run.x0, left), b = std::min(ox + run.x1, right);
    uint8_t* d = dst.ScanLine(py) + ptrdiff_t(a) * 3;
    for (int px = a; px < b; ++px, d += 3) std::memcpy(d, color, 3);
  }
}

}  // namespace

void FilterCrossStitch(const TBitmap& src0, TBitmap& dst, TColor background, TRect rect, bool secondDiagonal,
                       bool firstDiagonal, int thickness, int cell) {
  if (cell < 3 || cell > 50 || thickness < 1 || thickness > 5 || !Is24(src0)) return;
  ClipRectToBitmap(rect, src0);
  if (rect.IsEmpty()) return;
  TBitmap holder;
  const TBitmap& src = PrepareCells(src0, dst, holder);
  const int h = thickness / 2, rows = (rect.Height() + cell - 1) / cell;
  // Each diagonal is one shape from its cell's corner, stamped cell after cell in the
  // cells' order: 400 000 lines of 24 MP took Qt's stroker 0.6 s at 1 thread.
  const auto line = [&](bool falling) {
    return CoveredRuns(cell + 2 * thickness + 2, [&](QPainter& p, int o) {
      p.setPen(SolidPen(clWhite, thickness));
      if (falling) p.drawLine(o + h, o + h, o + cell - h, o + cell - h);
      else p.drawLine(o + cell - h, o + h, o + h, o + cell - h);
    });
  };
  const std::vector<TPixelRun> falling = firstDiagonal ? line(true) : std::vector<TPixelRun>();
  const std::vector<TPixelRun> rising = secondDiagonal ? line(false) : std::vector<TPixelRun>();
  ParallelRows(rect.Top, rect.Bottom, int64_t(rect.Width()) * rect.Height(), [&](int y0, int y1) {
    if (background != clNone) dst.FillRect(TRect{rect.Left, y0, rect.Right, y1}, background);
    int first, last;
    // a line and its round ends stay within a pen width of its cell
    GridRowsReaching(rect.Top, cell, rows, thickness + 1, cell + thickness + 1, y0, y1, first, last);
    for (int y = rect.Top + first * cell; y < rect.Top + last * cell; y += cell)
      for (int x = rect.Left; x < rect.Right; x += cell) {
        const uint8_t* c = src.ScanLine(y) + ptrdiff_t(x) * 3;
        StampRuns(dst, falling, x, y, y0, y1, rect.Left, rect.Right, c);
        StampRuns(dst, rising, x, y, y0, y1, rect.Left, rect.Right, c);
      }
  });
}

void DrawCrossStitch(const TBitmap& src0, TBitmap& dst, TColor background, TRect rect, bool secondHalf,
                     bool firstHalf, int cell) {
  if (cell < 3 || cell > 50 || !Is24(src0)) return;
  ClipRectToBitmap(rect, src0);
  if (rect.IsEmpty()) return;
  TBitmap holder;
  const TBitmap& src = PrepareCells(src0, dst, holder);
  const bool any = firstHalf || secondHalf;
  const int rows = (rect.Height() + cell - 1) / cell;
  PaintBands(dst, rect, background, TBandSurface::Image32, [&](BandPainter& p, int y0, int y1) {
    if (!any) return;
    int first, last;
    GridRowsReaching(rect.Top, cell, rows, 2, cell + 2, y0, y1, first, last);
    for (int y = rect.Top + first * cell; y < rect.Top + last * cell; y += cell)
      for (int x = rect.Left; x < rect.Right; x += cell) {
        const QColor c = ToQColor(CellColor(src, x, y));
        p->setPen(QPen(c, 1));
        p->setBrush(c);
        const int a = 1, b = cell - 1;
        if (firstHalf) p->drawPolygon(QPolygon({QPoint(x + a, y + a), QPoint(x + b, y + b), QPoint(x + a, y + b)}));
        if (secondHalf) p->drawPolygon(QPolygon({QPoint(x + b, y + a), QPoint(x + a, y + b), QPoint(x + b, y + b)}));
      }
  });
}

void FilterPointillism(const TBitmap& src0, TBitmap& dst, int size, TRect rect, TColor background, int step) {
  // A step below 1 would never leave the first dot.
  if (size < 3 || size > 50 || step < 1 || !Is24(src0)) return;
  ClipRectToBitmap(rect, src0);
  if (rect.IsEmpty()) return;
  TBitmap holder;
  const TBitmap& src = PrepareCells(src0, dst, holder);
  const int rows = (rect.Height() + step - 1) / step, cols = (rect.Width() + step - 1) / step;
  // each dot's offsets, left then up, in the dots' order
  const std::vector<uint8_t> offsets = Draws(size_t(rows) * size_t(cols) * 2, size);
  // Every dot is the same disc, stamped in the dots' order in its cell's colour: a
  // painter setting its pen and brush and walking the ellipse again for each of a
  // million and a half dots took 0.9 s of a 24 MP picture's pointillism.
  const std::vector<TPixelRun> disc = CoveredRuns(size + 2, [&](QPainter& p, int o) {
    p.setPen(QPen(Qt::white, 1));
    p.setBrush(Qt::white);
    p.drawEllipse(QRect(o, o, size - 1, size - 1));
  });
  ParallelRows(rect.Top, rect.Bottom, int64_t(rect.Width()) * rect.Height(), [&](int y0, int y1) {
    if (background != clNone) dst.FillRect(TRect{rect.Left, y0, rect.Right, y1}, background);
    int first, last;
    // a dot's box starts up to size - 1 above its grid row and is size - 1 high
    GridRowsReaching(rect.Top, step, rows, size + 1, size + 1, y0, y1, first, last);
    for (int r = first; r < last; ++r) {
      const int y = rect.Top + r * step;
      const uint8_t* o = &offsets[size_t(r) * size_t(cols) * 2];
      for (int x = rect.Left; x < rect.Right; x += step, o += 2) {
        StampRuns(dst, disc, x - o[0], y - o[1], y0, y1, rect.Left, rect.Right, src.ScanLine(y) + ptrdiff_t(x) * 3);
      }
    }
  });
}

void ApplyPuzzle(TBitmap& bmp, const TPuzzleParams& params, TRect rect) {
  FilterPuzzle(bmp, params.Size, params.Color, rect, params.Thickness);
  if (params.Relief) ApplyConvolutionPresetInPlace(bmp, 11, rect);
}

void ApplyCrossStitch(TBitmap& bmp, const TBitmap& source, const TCrossStitchParams& params, TRect rect) {
  // FilterCrossStitch takes the second (rising) diagonal before the first (falling).
  switch (params.Style) {
    case ssCross:
      FilterCrossStitch(source, bmp, params.Background, rect, true, true, params.Thickness, params.Length);
      break;
    case ssRising:
      FilterCrossStitch(source, bmp, params.Background, rect, true, false, params.Thickness, params.Length);
      break;
    case ssFalling:
      FilterCrossStitch(source, bmp, params.Background, rect, false, true, params.Thickness, params.Length);
      break;
    case ssTriangle:
      DrawCrossStitch(source, bmp, params.Background, rect, true, false, params.Length);
      break;
    default:
      return;
  }
  if (params.Grid) DrawGridLines(bmp, params.Length, clBlack, rect, false, true, true, false, 1);
}

}  // namespace qm
