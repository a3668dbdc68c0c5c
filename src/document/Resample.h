#pragma once
// Smooth resampling through GraphicsMagick, the program's resampling library: the one
// place the program hands pixels to it for a filtered resize (layers, selection masks,
// navigator and file thumbnails).
#include <cstdint>

#include "platform/core/Bitmap.h"

namespace qm {

// Starts GraphicsMagick once for the process; safe to call from any thread, any number
// of times (also when the program has started it itself).
void EnsureGraphicsMagick();

// The library's filters, by the codes the image-size dialogs and the batch store: each
// at its usual definition and support (box 0.5; triangle and Hermite 1; Bell, the
// quadratic B-spline, 1.5; the cubic B-spline and Mitchell-Netravali with B = C = 1/3,
// 2; Lanczos with three lobes, 3), widened by the ratio when reducing. The triangle
// filter also resizes layers, masks and navigator thumbnails; Lanczos makes the layered
// file's thumbnail.
enum class TResampleFilter : uint8_t { Box = 0, Triangle = 1, Hermite = 2, Bell = 3, BSpline = 4, Lanczos = 5, Mitchell = 6 };
constexpr int kResampleFilterCount = 7;

// out := src (24-bit) resampled to w x h with the filter, keeping src's transparency
// flag and colour. out may be src. False, with out untouched, when src is not a
// non-empty 24-bit bitmap, the size is below 1 or the library fails.
bool Resample(const TBitmap& src, int w, int h, TResampleFilter filter, TBitmap& out);

}  // namespace qm
