#pragma once
// The geometry that rotates, scales, skews, moves and distorts layers and selections,
// and the rasterisers that draw a 24-bit source through it into a destination.
//
// A transformation maps the source rectangle SrcRect forward onto the destination; the
// rasterisers walk the destination and map each pixel back (MapPoint / MapRow, valid
// after Prepare). Every change clears Prepared; the rasterisers prepare on demand.
#include <array>
#include <cstdint>

#include "platform/core/Bitmap.h"
#include "platform/core/Types.h"

namespace qm {

// A 3 x 3 matrix stored by rows and applied to row vectors: (x, y, 1) goes to
// (x * M[0] + y * M[3] + M[6], x * M[1] + y * M[4] + M[7]).
using TMatrix3 = std::array<double, 9>;
constexpr TMatrix3 kIdentityMatrix{1, 0, 0, 0, 1, 0, 0, 0, 1};

// C := B x A: pass the elementary matrix as A and the current one as B to make the
// elementary step act after the current ones.
void MatrixMultiply(const TMatrix3& a, const TMatrix3& b, TMatrix3& c);
// r[i] = M[i] * v[0] + M[i + 3] * v[1] + M[i + 6] * v[2].
void MatrixTransformVector(const TMatrix3& m, const double v[3], double r[3]);
double MatrixDeterminant(const TMatrix3& m);
// In place: the transposed cofactors.
void MatrixAdjugate(TMatrix3& m);
void MatrixScale(TMatrix3& m, double k);
// M := adjugate / determinant when |determinant| > 0.00001, else the identity.
void MatrixInvert(TMatrix3& m);

// Integer results of the geometry (bounds, corners) are cut to +-kCoordLimit, far
// beyond any bitmap, so that widths and differences of them never overflow.
constexpr int32_t kCoordLimit = 1 << 28;

class TTransformation {
 public:
  virtual ~TTransformation() = default;

  TRect SrcRect{};
  bool Prepared = false;

  void SetSrcRect(const TRect& r);
  // The destination corners line up into an upright rectangle (top-left and top-right
  // on one row, bottom-left and bottom-right on one row, left and right edges
  // vertical) that keeps the source's orientation: top-left strictly left of
  // top-right and strictly above bottom-left. Mirrors and half turns are not.
  bool IsAxisAligned() const;
  // IsAxisAligned, and the bounds have the source rectangle's size.
  bool IsPlainTranslation() const;

  // The source position of destination point (x, y). Valid after Prepare.
  virtual void MapPoint(double x, double y, double& sx, double& sy) const = 0;
  // MapPoint of (x0 + i, y) for i < n, with the same arithmetic.
  virtual void MapRow(double x0, double y, int n, double* sx, double* sy) const = 0;
  virtual void Prepare() = 0;
  // The destination rectangle covered by SrcRect.
  virtual void GetDestBounds(TRect& out) const = 0;
  // The destination positions of SrcRect's corners: top-left, top-right,
  // bottom-right, bottom-left.
  virtual void GetDestCorners(TPoint (&corners)[4]) const = 0;
  // Shifts the transformation so that GetDestBounds starts at (0, 0).
  virtual void MoveToOrigin() = 0;
};

class TAffineTransformation : public TTransformation {
 public:
  TAffineTransformation() { Clear(); }

  // The inverse mapping after Prepare: sx = x * a + y * b + c, sy = x * d + y * e + f.
  std::array<double, 6> Inverse{};
  TMatrix3 Matrix = kIdentityMatrix;

  // Each step below acts after the ones already in Matrix (Matrix := Matrix x E).
  void Clear();
  void Translate(double dx, double dy);
  void Scale(double sx, double sy);
  // x' = x + kx * y, y' = ky * x + y.
  void Skew(double kx, double ky);
  // About (cx, cy); positive degrees turn counter-clockwise on the y-down screen.
  void Rotate(double cx, double cy, double degrees);

  void MapPoint(double x, double y, double& sx, double& sy) const override;
  void MapRow(double x0, double y, int n, double* sx, double* sy) const override;
  void Prepare() override;
  // The corners' extremes, rounded to nearest with ties to even.
  void GetDestBounds(TRect& out) const override;
  void GetDestCorners(TPoint (&corners)[4]) const override;
  void MoveToOrigin() override;

 private:
  void Compose(const TMatrix3& e);
};

class TProjectiveTransformation : public TTransformation {
 public:
  // Destination corners 0 top-left, 1 top-right, 2 bottom-right, 3 bottom-left.
  std::array<int32_t, 4> CornerX{}, CornerY{};
  // After Prepare: the inverse mapping (destination to source) in homogeneous form.
  TMatrix3 Matrix = kIdentityMatrix;

  void SetTopLeft(TPoint p) { SetCorner(0, p); }
  void SetTopRight(TPoint p) { SetCorner(1, p); }
  void SetBottomRight(TPoint p) { SetCorner(2, p); }
  void SetBottomLeft(TPoint p) { SetCorner(3, p); }

  // w = x * M[2] + y * M[5] + M[8]; w = 0 or NaN gives (-9999, -9999), a position
  // outside every source.
  void MapPoint(double x, double y, double& sx, double& sy) const override;
  void MapRow(double x0, double y, int n, double* sx, double* sy) const override;
  // A twisted or concave quadrilateral, or one with a corner turning by less than 0.2
  // radians, is first replaced by its bounding rectangle (the corners change). An
  // empty SrcRect maps nothing.
  void Prepare() override;
  void GetDestBounds(TRect& out) const override;
  void GetDestCorners(TPoint (&corners)[4]) const override;
  void MoveToOrigin() override;

 private:
  void SetCorner(int i, TPoint p);
};

// The rasterisers write only inside GetDestBounds clipped to the destination. An
// upright, unmirrored placement (a plain translation, or without smoothing any
// axis-aligned one) is a stretch copy of SrcRect onto the bounds. Otherwise every
// destination pixel is mapped back from its centre: without smoothing the nearest
// source pixel is taken, with smoothing the four around the position are blended, a
// neighbour outside the source counting as the destination's own pixel (and, for the
// mask, as 255), so edges fade into what lies beneath. Positions outside the source
// leave the destination pixel as it is. Source and destination are 24-bit.
void RasterizeTransform(const TBitmap& src, TBitmap& dst, TTransformation& t, bool smooth);
// Opacity <= 0: nothing; above 100 counts as 100 (a plain RasterizeTransform).
void RasterizeTransformOpacity(const TBitmap& src, TBitmap& dst, TTransformation& t, int opacity, bool smooth);
// The mask (grey, first byte; 0 opaque, 255 hidden) lies over the source and must be at
// least its size. Nothing for opacity <= 0.
void RasterizeTransformMasked(const TBitmap& src, TBitmap& dst, TTransformation& t, int opacity,
                              const TBitmap& mask, bool smooth);

// A layer and its mask drawn smoothly through t in one pass, with the same pixels as
//   RasterizeTransform(src, dst, t, true);
//   RasterizeTransform(mask, maskDst, t, true);
// followed by whitening every pixel of dst whose pixel in maskDst is 255 (first byte),
// for a transformation that is not axis-aligned. A null mask stands for a mask of the
// source's size that is 0 (opaque) everywhere; a mask has the source's size. dst and
// maskDst have the same size; src, mask, dst and maskDst are four 24-bit bitmaps.
// Anything else: nothing.
void RasterizeLayerTransform(const TBitmap& src, const TBitmap* mask, TBitmap& dst, TBitmap& maskDst,
                             TTransformation& t);

}  // namespace qm
