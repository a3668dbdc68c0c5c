#pragma once
// The largest picture a reader makes. Every reader hands the size a file declares to
// TPictureLimit::Check once it has read the header and before it allocates anything
// for the pixels, so that a small damaged or hostile file cannot make the program ask
// for gigabytes; the load dispatch turns the refusal into its own message.
//
// Beside the limit, each reader trusts a declared size only as far as the bytes of the
// file can back it (a compressed stream expands by a bounded ratio), and writes its
// bitmaps without filling them first, so a file that ends early has made the program
// touch only the rows it really held.
#include <cstdint>
#include <string>
#include <vector>

#include "platform/core/Exceptions.h"

namespace qm {

// The most pixels one picture may have, whatever the memory: the count stays within
// the 32-bit integers the codec libraries and the kernels count pixels in (each side
// is within kMaxBitmapSide as well).
constexpr uint64_t kMaxPicturePixels = (uint64_t(1) << 31) - 1;

// Bytes of a bitmap of that size (its rows padded to 4 bytes).
uint64_t PictureBytes(int64_t width, int64_t height, int bitsPerPixel);

// A picture beyond the limit. The load dispatch shows its own message for it, with the
// size and the limit.
class EPictureTooLarge : public EInvalidGraphic {
 public:
  EPictureTooLarge(int64_t width, int64_t height, uint64_t bytes, uint64_t limit);
  int64_t Width, Height;
  uint64_t Bytes, Limit;
};

// A quarter of the physical memory: what one bitmap may take by default. A user who
// opens such a picture still has room for the view, a filter's copy and an undo step.
uint64_t DefaultPictureBytes();

struct TPictureLimit {
  uint64_t MaxBytes = DefaultPictureBytes();  // of one decoded bitmap

  // Throws EPictureTooLarge when a width x height bitmap at bitsPerPixel takes more than
  // MaxBytes, or has more than kMaxPicturePixels or a side beyond kMaxBitmapSide;
  // EInvalidGraphic for a side below 1.
  void Check(int64_t width, int64_t height, int bitsPerPixel = 24) const;
  // The same for memory a decoder needs beside the bitmap for a picture of that size
  // (a progressive JPEG's coefficients, a library's own pixel cache).
  void CheckWorkingMemory(int64_t width, int64_t height, uint64_t bytes) const;
  bool Allows(int64_t width, int64_t height, int bitsPerPixel = 24) const;
};

// How a codec reader is bounded, and where it tells what it let pass: the warnings of
// a library about a picture it still read whole (an unknown tag, extra bytes after
// the data), for the standard error stream. A library's warning that the picture is
// incomplete is a failure, never one of these.
struct TDecodeOptions {
  TPictureLimit Limit;
  std::vector<std::string>* Warnings = nullptr;

  void Warn(std::string text) const {
    if (Warnings) Warnings->push_back(std::move(text));
  }
};

// The most pixels a compressed stream of `bytes` bytes can expand to at `ratio` pixels
// a byte, with a little room for headers: a declared size beyond it cannot be backed
// by the file, which then ends early.
constexpr uint64_t StreamCanHold(uint64_t bytes, uint64_t ratio) { return bytes * ratio + 65536; }

}  // namespace qm
