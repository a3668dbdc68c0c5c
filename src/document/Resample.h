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

// The library's filters the program asks for: the triangle filter resizes layers,
// masks and navigator thumbnails; Lanczos (three lobes) makes the layered file's
// thumbnail.
enum class TResampleFilter : uint8_t { Triangle, Lanczos };

// out := src (24-bit) resampled to w x h with the filter, keeping src's transparency
// flag and colour. out may be src. False, with out untouched, when src is not a
// non-empty 24-bit bitmap, the size is below 1 or the library fails.
bool Resample(const TBitmap& src, int w, int h, TResampleFilter filter, TBitmap& out);

}  // namespace qm
