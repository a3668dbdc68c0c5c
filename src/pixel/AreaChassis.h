#pragma once
// Area chassis for in-place 3 x 3 neighbourhood kernels: every output row is computed
// from rows y - 1, y and y + 1 as they were before the call, although the rows are
// written back into the same bitmap.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

#include "platform/core/Bitmap.h"
#include "platform/core/Parallel.h"
#include "platform/core/Types.h"

namespace qm {

// Calls body(above, row, below, out, y, scratch) for every row y of r (already
// clipped, not empty, 24-bit bitmap). above, row and below point at the unchanged
// pixels of rows y - 1, y and y + 1 from the rect's left edge (nullptr for a row
// outside the rect); out points at the same pixels of the bitmap, to write; scratch at
// scratchBytes bytes the body may use, its own for the rows of one thread. The rows are
// split into bands over the threads; the unchanged rows on the bands' borders are
// copied before any band starts, so the result never depends on the thread count.
template <class Body>
void ForEachRowInPlace3(TBitmap& bmp, const TRect& r, size_t scratchBytes, Body&& body) {
  const int height = r.Height();
  const size_t nb = size_t(r.Width()) * 3;
  const ptrdiff_t left = ptrdiff_t(r.Left) * 3;
  const int threads = WorthThreading(int64_t(r.Width()) * height) ? std::min(EngineThreads(), height) : 1;
  std::vector<int> start(size_t(threads) + 1);
  for (int i = 0; i <= threads; ++i) start[size_t(i)] = r.Top + int(int64_t(height) * i / threads);
  std::vector<uint8_t> borders(size_t(threads) * 2 * nb);
  for (int i = 0; i < threads; ++i) {
    const int a = start[size_t(i)], b = start[size_t(i) + 1];
    if (a > r.Top) std::memcpy(&borders[size_t(i) * 2 * nb], bmp.ScanLine(a - 1) + left, nb);
    if (b < r.Bottom) std::memcpy(&borders[(size_t(i) * 2 + 1) * nb], bmp.ScanLine(b) + left, nb);
  }
#pragma omp parallel for schedule(static) num_threads(threads) if (threads > 1)
  for (int t = 0; t < threads; ++t) {
    const int a = start[size_t(t)], b = start[size_t(t) + 1];
    std::vector<uint8_t> buf(2 * nb), scratch(scratchBytes);
    uint8_t* prev = buf.data();
    uint8_t* cur = buf.data() + nb;
    const uint8_t* above = a > r.Top ? &borders[size_t(t) * 2 * nb] : nullptr;
    for (int y = a; y < b; ++y) {
      uint8_t* out = bmp.ScanLine(y) + left;
      std::memcpy(cur, out, nb);
      const uint8_t* below = nullptr;
      if (y + 1 < b) below = bmp.ScanLine(y + 1) + left;
      else if (y + 1 < r.Bottom) below = &borders[(size_t(t) * 2 + 1) * nb];
      body(static_cast<const uint8_t*>(above), static_cast<const uint8_t*>(cur), below, out, y, scratch.data());
      std::swap(prev, cur);
      above = prev;
    }
  }
}

}  // namespace qm
