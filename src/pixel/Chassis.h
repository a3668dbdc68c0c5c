#pragma once
// The shapes most kernels share. A kernel supplies only its arithmetic; the chassis
// clips the rectangle, walks the rows (split over threads where that pays) and hands
// each row's pixels over once.
#include <cstdint>

#include "pixel/ImgUtils.h"
#include "platform/core/Bitmap.h"
#include "platform/core/Parallel.h"

namespace qm {

// Point chassis: body(row, npix) for each row of the clipped rect, row pointing at
// its first pixel (B, G, R). Rows go to several threads, so body must not depend on
// other rows. Returns false (and does nothing) for an empty rect or a bitmap that is
// not 24-bit.
template <class Body>
bool ForEachRow(TBitmap& bmp, TRect rect, Body&& body) {
  if (bmp.PixelFormat() != pf24bit) return false;
  ClipRectToBitmap(rect, bmp);
  if (rect.IsEmpty()) return false;
  const int w = rect.Width();
  ParallelRows(rect.Top, rect.Bottom, int64_t(w) * rect.Height(), [&](int y0, int y1) {
    for (int y = y0; y < y1; ++y) body(bmp.ScanLine(y) + ptrdiff_t(rect.Left) * 3, w);
  });
  return true;
}

// Maps every pixel of the rect through three tables: blue for byte 0, green for
// byte 1, red for byte 2.
void ApplyTables(TBitmap& bmp, TRect rect, const uint8_t* blue, const uint8_t* green, const uint8_t* red);
// The same table for all three bytes.
void ApplyTable(TBitmap& bmp, TRect rect, const uint8_t* table);

}  // namespace qm
