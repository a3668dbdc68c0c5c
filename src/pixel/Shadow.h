#pragma once
// Drop shadows to the lower right of a rectangle. On a 24-bit bitmap the shadow
// darkens what is there, with a little noise; on a canvas it is painted as bands of a
// colour darkened toward black. A flat shadow is two uniform bands; a feathered one
// is a stack of one-pixel bands fading over its last four pixels and near the corners.
#include "platform/core/Bitmap.h"
#include "platform/core/Canvas.h"
#include "platform/core/Types.h"

namespace qm {

// Nothing for an empty rect, width < 1, percent outside 1..100, or a bitmap not wider
// than the rect's Right or not higher than its Bottom. The noise comes from the
// program's random generator.
void DrawBitmapShadow(TBitmap& bmp, TRect rect, int width, int percent, bool feathered);
void DrawFlatShadow(TBitmap& bmp, TRect rect, int width, int percent);
void DrawFeatheredShadow(TBitmap& bmp, TRect rect, int width, int percent);
// Every byte v of the area (cut to the bitmap) becomes
// clamp(v - trunc(v * percent / 100) + Random(7) - 3).
void DarkenWithNoise(TBitmap& bmp, int left, int top, int right, int bottom, int percent);

// With corner, the squares at the upper right and lower left that the offset shadow
// leaves open are painted in the plain colour.
void DrawCanvasShadow(TCanvas& canvas, TRect rect, int width, int percent, TColor color, bool feathered,
                      bool corner);
void DrawCanvasFlatShadow(TCanvas& canvas, TRect rect, int width, int percent, TColor color);
void DrawCanvasFeatheredShadow(TCanvas& canvas, TRect rect, int width, int percent, TColor color);
// Paints the area with MixColors(color, black, percent).
void FillShadowBand(TCanvas& canvas, int left, int top, int right, int bottom, int percent, TColor color);

}  // namespace qm
