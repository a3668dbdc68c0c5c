#pragma once
// The geometry of one selection outline: its kind, its points (and, for an outline
// traced from a mask, the edge flags of each point), fitting to a display rectangle,
// hit testing, flips and turns, growing and rescaling through a mask, and tracing an
// outline back from a mask. No toolkit: drawing on a QPainter is document/qt/ShapeDraw.
#include <cstdint>
#include <vector>

#include "platform/core/Bitmap.h"
#include "platform/core/Canvas.h"
#include "platform/core/Types.h"

namespace qm {

// The selection shape kinds. The ordinal is stored in selection files and handed to
// plug-ins: never renumber.
enum TMyShape : uint8_t {
  ssRect = 0,
  ssEllipse = 1,
  ssRoundRect = 2,
  ssLine = 3,
  ssLineWidth = 4,
  ssTriangle1 = 5,  // apex up
  ssTriangle2 = 6,  // apex right
  ssTriangle3 = 7,  // apex down
  ssTriangle4 = 8,  // apex left
  ssLosange = 9,
  ssPolygon = 10,
  ssPolyline = 11,
  ssMultiPoints = 12,  // outline traced from a mask
};
constexpr int kShapeKindCount = 13;

// Edge flags of a traced point: which sides of the pixel lie on the outline.
enum : uint8_t { efLeft = 1, efTop = 2, efRight = 4, efBottom = 8 };

// Pen of a drawing style.
enum TShapePenMode : uint8_t { spmCopy = 0, spmXor = 1 };
enum TShapePenStyle : uint8_t { spsSolid = 0, spsDot = 1, spsClear = 2 };

struct TShapeStyle {
  uint8_t PenMode = spmCopy;
  uint8_t PenStyle = spsSolid;
  TColor PenColor = clBlack;
  TColor BackColor = clWhite;
};

// A shape's content as the clipboard and the shape mapping keep it.
struct TShapeRecord {
  std::vector<TPoint> Points;
  std::vector<uint8_t> Flags;  // empty unless the shape was traced
  TRect Bounds;
};

// One run of a traced outline: the inside pixels X0..X1 (inclusive) of row Y.
struct TEdgeRun {
  int32_t Y, X0, X1;
};

// Module settings shared by all shapes (GUI thread).
int ShapeLineWidth();  // width of ssLineWidth, default 1
void SetShapeLineWidth(int w);
int ShapePointSpacing();  // spacing of free-polygon points, default 3
void SetShapePointSpacing(int s);

// Selection-file kind codes: -(kind) - 1 for the rectangle-based kinds 0..9.
constexpr int EncodeShapeKind(int kind) { return -(kind & 127) - 1; }
constexpr int DecodeShapeKind(int code) { return -code - 1; }
constexpr bool IsShapeCode(int code) { return code >= -10 && code <= -1; }

// Bounds of a point list as (min x, min y, max x, max y), maxima inclusive;
// (0, 0, -1, -1) for an empty list.
TRect PointsBounds(const std::vector<TPoint>& pts);
// Even-odd point-in-polygon test (the polygon is closed implicitly).
bool PointInPolygon(const TPoint* pts, int count, TPoint p);

// The corner polygon of a kind in R: 4 points for ssLineWidth and ssLosange, 3 for
// the triangles; 0 for every other kind. For kinds 5 to 9 R's last row and column
// are inclusive (R loses one pixel at Right and Bottom first).
int RectShapePolygon(const TRect& r, TMyShape kind, TPoint out[4]);

class TShapeManager {
 public:
  TShapeManager();

  std::vector<TPoint> Points;          // shape space; their bounds start at (0, 0)
  std::vector<uint8_t> PointFlags;     // one per point for a traced outline, else empty
  TRect Bounds;                        // (0, 0, W, H): W and H the largest x and y
  std::vector<TPoint> DisplayPoints;   // control coordinates
  TRect DisplayRect;                   // what DisplayPoints were last fitted to
  uint8_t Building = 0;                // 1 while a free polygon is drawn
  TShapeStyle Styles[4];
  uint8_t AntsPhase = 0;

  void Clear();
  bool HasFlags() const { return !PointFlags.empty() && PointFlags.size() == Points.size(); }

  void SaveToRecord(TShapeRecord& rec) const;
  void LoadFromRecord(const TShapeRecord& rec);
  // Point i of Points, (0, 0) out of range.
  void GetPoint(int index, TPoint& p) const;
  int GetPointCount() const;
  // Marching-ants colours: style 2 is A on B, style 3 B on A.
  void SetAntsColors(TColor a, TColor b);

  // --- Drawing a free polygon (control coordinates) ---
  void BeginPoints(TPoint p);
  // Appends p unless it lies closer than the point spacing to the last point on both
  // axes (then -1). Returns the new point's index.
  int AddPoint(TPoint p);
  int GetLastPoint(TPoint& p) const;  // returns the count
  void GetFirstPoint(TPoint& p) const;
  // Drops the last point; r receives the bounds of the rest.
  void RemoveLastPoint(TRect& r);
  // Turns the drawn polygon into shape space, dividing by zoom when it is not 1.
  void EndPoints(double zoom);
  void OffsetDisplay(int dx, int dy);

  // --- Fitting and geometry ---
  // Fits DisplayPoints to r (see the shape's scaling rule); an axis of zero extent
  // maps to r's left or top.
  void FitToRect(const TRect& r);
  // The polygon of a kind in r: the kind polygons of RectShapePolygon, the fitted
  // display points for ssPolygon and ssPolyline. Other kinds leave count unchanged.
  void GetShapePolygon(const TRect& r, TMyShape kind, int& count, std::vector<TPoint>& pts);
  // Whether p (same coordinates as r) lies in the shape drawn in r.
  bool HitTest(const TRect& r, TPoint p, TMyShape kind);

  // --- Traced outlines ---
  // The runs of the traced outline: a run starts at a point with the left flag and
  // ends at the next point with the right flag on the same row; the walk stops at
  // the first point that breaks this.
  std::vector<TEdgeRun> EdgeRuns() const;
  // Fills each run scaled by (sx, sy) and moved by (dx, dy): x0 * sx + dx ..
  // (x1 + 1) * sx + dx, y * sy + dy .. (y + 1) * sy + dy, products truncated, at least
  // one pixel high.
  void FillEdgeRuns(TCanvas& canvas, int dx, TColor color, double sx, double sy, int dy) const;
  // Traces a 24-bit mask: every inside pixel (first byte <= threshold) with an
  // outside or border neighbour on some side becomes a point with its edge flags, in
  // scan order. r receives the bounds in the mask's coordinates (Right and Bottom
  // exclusive), (0, 0, -1, -1) when nothing is inside.
  void ShapeFromMask(const TBitmap* mask, int threshold, TRect& r);

  // --- Changes through a mask (flags) or on the points ---
  // 0 flip vertical, 1 flip horizontal, 2 quarter turn clockwise, 3 counter-clockwise,
  // 4 half turn.
  void Transform(int code);
  // Grows (pixels > 0) or shrinks the shape; r (the selection rect, image coordinates)
  // receives the new rect, empty when nothing is left. Nothing for 0.
  void Expand(int pixels, TRect& r);
  // Resamples the shape to w x h; r's top-left is kept, its size becomes the result's.
  void ScaleToSize(int w, int h, TRect& r);
  // The shape filled black at scale 1.0 on white, (Bounds.Right + 1) x
  // (Bounds.Bottom + 1), grown by pad on each side.
  TBitmap RenderMask(int pad = 0) const;
};

// Draws a traced outline on a canvas (everything is axis-aligned, so the canvas only
// fills rectangles). brush clNone leaves the runs unfilled; pen clNone draws no
// outline. penWidth below 2 draws the outline pixel by pixel in pen and second colour
// alternating every 4 pixels along x + y; from 2 on, each flagged side is a bar of
// the pen's width. r: the display rect, already one pixel smaller at Right and Bottom.
struct TTraceStyle {
  TColor Brush = clNone;
  TColor Pen = clNone;
  TColor Second = clNone;
  int PenWidth = 1;
};
void DrawTracedShape(const TShapeManager& shape, TCanvas& canvas, const TRect& r, const TTraceStyle& style);

}  // namespace qm
