#pragma once
// The shapes most kernels share. A kernel supplies only its arithmetic; the chassis
// clips the rectangle, walks the rows (split over threads where that pays) and hands
// each row's pixels over once.
#include <algorithm>
#include <cstdint>

#include "pixel/ImgUtils.h"
#include "platform/core/Bitmap.h"
#include "platform/core/Parallel.h"

namespace qm {

// Point chassis: body(row, npix) for each row of the clipped rect, row pointing at
// its first pixel (B, G, R). Rows go to several threads, so body must not depend on
// other rows. Returns false (and does nothing) for an empty rect or a bitmap that is
// not 24-bit. maxThreads, when above 0, caps the threads (see kMemoryBoundThreads).
template <class Body>
bool ForEachRow(TBitmap& bmp, TRect rect, Body&& body, int maxThreads = 0) {
  if (bmp.PixelFormat() != pf24bit) return false;
  ClipRectToBitmap(rect, bmp);
  if (rect.IsEmpty()) return false;
  const int w = rect.Width(), h = rect.Height();
  int threads = WorthThreading(int64_t(w) * h) ? std::min(EngineThreads(), h) : 1;
  if (maxThreads > 0) threads = std::min(threads, maxThreads);
  if (threads <= 1) {
    for (int y = rect.Top; y < rect.Bottom; ++y) body(bmp.ScanLine(y) + ptrdiff_t(rect.Left) * 3, w);
    return true;
  }
  // Rows go out in chunks of about 64 K pixels to whichever thread is free, so a thread
  // the system holds back delays its chunk only, not an eighth of the picture (with
  // other processes running on the 8-core machine, a hue shift of 24 MP at 8 threads
  // took 14.5 ms this way against 18.8 ms in equal bands).
  const int chunkRows = std::max(1, 65536 / w);
  const int chunks = (h + chunkRows - 1) / chunkRows;
#pragma omp parallel for schedule(dynamic) num_threads(threads)
  for (int c = 0; c < chunks; ++c) {
    const int y1 = std::min(rect.Bottom, rect.Top + (c + 1) * chunkRows);
    for (int y = rect.Top + c * chunkRows; y < y1; ++y) body(bmp.ScanLine(y) + ptrdiff_t(rect.Left) * 3, w);
  }
  return true;
}

// Threads for a pass that does little more than read and write each byte once: four
// already reach the memory bandwidth of the 8-core machine (a 72 MB in-place pass: 1.2 ms
// at 4 threads, 1.5 ms at 8 when nothing else runs), and with other processes running
// more threads only add some the system holds back (7.8 ms at 8 threads, 1.2 at 4).
constexpr int kMemoryBoundThreads = 4;

// Maps every pixel of the rect through three tables: blue for byte 0, green for
// byte 1, red for byte 2.
void ApplyTables(TBitmap& bmp, TRect rect, const uint8_t* blue, const uint8_t* green, const uint8_t* red);
// The same table for all three bytes.
void ApplyTable(TBitmap& bmp, TRect rect, const uint8_t* table);

}  // namespace qm
