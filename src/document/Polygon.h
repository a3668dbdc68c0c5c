#pragma once
// Polygons and lines rasterised into 24-bit bitmaps: filled polygons by scan lines
// (even-odd or non-zero winding), outlines by Bresenham or Wu lines, wide outlines by
// offsetting the path, and thick lines with arrow heads for the line tool.
//
// Integer vertices stand for pixel positions: a filled polygon covers the pixels on
// its boundary too, so the triangle (0, 9), (5, 0), (10, 9) reaches rows 0 to 9 and
// columns 0 to 10.
#include <cstdint>
#include <vector>

#include "platform/core/Bitmap.h"
#include "platform/core/Types.h"

namespace qm {

class TPolygon24 {
 public:
  TPolygon24();

  uint8_t Antialias = 1;  // outlines are drawn antialiased
  uint8_t Closed = 1;     // outlines and offsets join the last point to the first
  uint8_t Winding = 0;    // fills use the non-zero rule instead of even-odd
  // Nothing is drawn outside; the unbounded rect stands for the whole bitmap.
  TRect ClipRect = UnboundedRect;

  const std::vector<std::vector<TPoint>>& Polygons() const { return polygons_; }
  void NewPolygon();
  // Append to the last polygon.
  void AddPoint(TPoint p);
  void AddPoints(const TPoint* pts, int count);
  void Clear();

  // Fills unless fill is clNone, then outlines unless outline is clNone.
  void Draw(TBitmap& bmp, TColor outline, TColor fill) const;
  // Polygons of fewer than 3 points are not filled.
  void Fill(TBitmap& bmp, TColor color) const;
  void Outline(TBitmap& bmp, TColor color) const;

  // Per polygon, per point: the unit normal of the edge to the next point in 16.16
  // fixed point (65536 = 1), pointing to the left of the edge (x, y) -> (y, -x); a
  // zero-length edge has (0, 0).
  const std::vector<std::vector<TPoint>>& Normals() const;

  // The outlines offset by (width - 1) div 2 on one side and width div 2 on the
  // other, joined by miters unless sharper than the limit (0..0.99), then bevels.
  // Meant for the paths of MakeStrokePath: filled with the winding rule they give a
  // stroke of the width.
  TPolygon24 Widen(int width, double miterLimit) const;
  // Each polygon of two points or more followed by its points in reverse (a closed
  // one first runs on past its first point), so that widening gives the stroke.
  TPolygon24 MakeStrokePath() const;

  // A line of the width: nothing for width <= 0, a plain line for 1, else the
  // widened two-point stroke path filled.
  static void DrawThickLine(TBitmap& bmp, int x1, int y1, bool antialias, const TRect& clip, int width,
                            TColor color, int x2, int y2);
  // A thick line with a filled arrow head at either end: the head's base is
  // arrowWidth across the line, its tip arrowLength beyond the base and on the end
  // point; an arrowed end of the line is pulled back by half the line's width.
  static void DrawArrowLine(TBitmap& bmp, int x1, int y1, bool antialias, const TRect& clip, bool arrowAtEnd,
                            bool arrowAtStart, int arrowWidth, int arrowLength, int width, TColor color, int x2,
                            int y2);

 private:
  TRect ClippedRect(const TBitmap& bmp) const;
  void DrawLine(TBitmap& bmp, const TRect& clip, TPoint a, TPoint b, bool lastPixel, const uint8_t* px) const;

  std::vector<std::vector<TPoint>> polygons_;
  mutable std::vector<std::vector<TPoint>> normals_;
  mutable bool normalsValid_ = false;
};

// The intensity curve of antialiased lines: entry i = round((i / 255)^0.7 * 255).
const uint8_t* LineIntensityTable();

}  // namespace qm
