#pragma once
// Whole-bitmap rotation by quarter turns and by any angle, and the mapping of a point
// for the same rotation. Results are 24-bit; a source of another format is read through
// a 24-bit copy and left as it is. Positive degrees turn clockwise on screen.
#include "platform/core/Bitmap.h"
#include "platform/core/Types.h"

namespace qm {

// In place, through a temporary.
void RotateBitmap90(TBitmap& bmp, bool clockwise);
// The destination becomes H x W: clockwise, source (x, y) goes to (H - 1 - y, x);
// otherwise to (y, W - 1 - x).
void RotateBitmap90To(const TBitmap& src, TBitmap& dst, bool clockwise);

// In place, through a temporary.
void RotateBitmapAngle(TBitmap& bmp, bool smooth, bool enlarge, double degrees, TColor background);
// The destination becomes the source turned about its centre, the uncovered parts in
// the background colour: with enlarge, |round(H sin)| + |round(W cos)| wide and
// |round(W sin)| + |round(H cos)| high, otherwise the source's size. Every destination
// pixel is sampled at its centre: the source pixel under it, or with smooth the four
// around it (background standing in outside the source), interpolated down each column,
// rounded, then across, rounded. Exact multiples of 90 degrees are the quarter and
// half turns, centred in the frame when it keeps the source's size. An angle of
// exactly 0 (or not a finite number, or a frame wider or higher than a bitmap may be)
// leaves the destination untouched.
void RotateBitmapAngleTo(const TBitmap& src, TBitmap& dst, bool smooth, double degrees, bool enlarge,
                         TColor background);
// Where point p of an oldWidth x oldHeight frame goes when the frame is turned by the
// degrees into a newWidth x newHeight frame (both centred), rounded to nearest, ties
// to even.
void RotatePointInFrame(TPoint p, int oldWidth, int oldHeight, double degrees, int newWidth, int newHeight,
                        TPoint& out);

}  // namespace qm
