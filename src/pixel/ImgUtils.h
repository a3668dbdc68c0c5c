#pragma once
// Bitmap utilities: a bitmap's rectangle and the clipping every kernel starts with;
// crop, resize, flips and wrap-around scrolls; canvas enlargement, frames and
// thumbnails; trimming a uniform border; colour tolerance, mixing and HSV.
// Unless a routine says 24-bit, bitmaps may have any pixel format, and copies keep
// the source's format, palette, transparent colour and transparent flag.
#include <cstdint>

#include "pixel/RectUtils.h"
#include "platform/core/Bitmap.h"
#include "platform/core/Canvas.h"
#include "platform/core/Types.h"

namespace qm {

void GetBitmapRect(const TBitmap& bmp, TRect& out);
TRect GetBitmapRect(const TBitmap& bmp);
// Orders the rect and cuts it to (0, 0, Width, Height); nothing left gives (0, 0, 0, 0).
void ClipRectToBitmap(TRect& r, const TBitmap& bmp);

void CropBitmap(TBitmap& bmp, TRect r);
void CopyBitmapRegion(const TBitmap& src, TBitmap& dst, TRect r);
void ResizeBitmap(int width, int height, TBitmap& bmp);
// Nearest-pixel stretch of the whole source onto a new width x height destination.
void StretchBitmapTo(int width, int height, const TBitmap& src, TBitmap& dst);
// Covers (left, top, left + width, top + height) with copies of the source's top-left
// tile, row by row from the top, each copy cut at the area's edges.
void TileBlt(TCanvas& dst, int left, int top, int width, int height, const TBitmap& src, int tileWidth,
             int tileHeight);

void FlipBitmapRectVertical(TBitmap& bmp, TRect r);
void FlipBitmapVertical(TBitmap& bmp);
void FlipBitmapRectHorizontal(TBitmap& bmp, TRect r);
void FlipBitmapHorizontal(TBitmap& bmp);
void RotateBitmapRect180(TBitmap& bmp, TRect r);
void RotateBitmap180(TBitmap& bmp);
// n > 0 moves the content down (right) by n, the rows (columns) pushed out coming back
// on the other side; n is taken modulo the size.
void ScrollBitmapWrapVertical(TBitmap& bmp, int n);
void ScrollBitmapWrapHorizontal(TBitmap& bmp, int n);

// width x height scaled by the one factor that makes it the largest size of its ratio
// inside maxWidth x maxHeight (enlarging as well as shrinking), each side rounded and
// kept within 1..its maximum. Nothing when a value is below 1.
void FitSizeProportional(int& width, int& height, int maxWidth, int maxHeight);
void FillRectFrame(TCanvas& canvas, const TRect& r, TColor color, int thickness);
void ResizeCanvasInto(const TBitmap& src, TBitmap& dst, int width, int height, TColor background,
                      TAlignment alignment, TRect& imageRect);
void ResizeCanvas(TBitmap& bmp, int width, int height, TColor background, TAlignment alignment,
                  TRect& imageRect);
void AddImageBorder(TBitmap& bmp, int border, TColor color, bool enlarge);
// The rect left after cutting the rows and columns that are uniformly of the colour
// (within the tolerance) from each side; clNone takes each side's own reference pixel.
void FindTrimRect(const TBitmap& bmp, int tolerance, TColor color, TRect& out);

bool ColorsWithinTolerance(TColor a, TColor b, int tolerance);
TColor MixColors(TColor a, TColor b, int percent);
// Hue in degrees 0..359, saturation and value 0..255.
void HSVToRGB(int hue, int saturation, int value, int& red, int& green, int& blue);
TColor HSVToColor(int hue, int saturation, int value);
void RGBToHSV(int red, int green, int blue, int& hue, int& saturation, int& value);

}  // namespace qm
