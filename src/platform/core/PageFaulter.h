#pragma once
// Faulting in the pages of a large buffer ahead of the code that fills it.
#include <cstddef>
#include <memory>

#include "platform/core/Bitmap.h"

namespace qm {

// Faults in the pages of a large pixel buffer on a thread of its own, from the start
// toward the end, while its owner writes it in the same order (a decoder filling an
// uninitialised bitmap row by row). First touching memory costs more than the writes
// themselves: a 24 MP picture is 36 huge pages (or 18,000 small ones) for the system to
// map and clear, some 40 ms, which would otherwise be paid inside the decoding, on the
// decoding thread. It never writes the buffer: the system maps the pages as a first
// write would, and the owner's writes race with it harmlessly. Does nothing for buffers
// under 8 MB, or where the system cannot fault pages in without writing them (Linux
// before 5.14): the owner's writes fault them then. Stops and joins when it goes.
class TPageFaulter {
 public:
  TPageFaulter(void* p, size_t bytes);
  explicit TPageFaulter(TBitmap& bmp) : TPageFaulter(bmp.Bits(), size_t(bmp.Stride()) * size_t(bmp.Height())) {}
  ~TPageFaulter();
  TPageFaulter(const TPageFaulter&) = delete;
  TPageFaulter& operator=(const TPageFaulter&) = delete;

 private:
  struct TState;
  std::unique_ptr<TState> state_;
};

}  // namespace qm
