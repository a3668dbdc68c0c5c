#include "imagefiles/PictureLimit.h"

#include <unistd.h>

#include <algorithm>

#include "platform/core/Bitmap.h"

namespace qm {

namespace {

std::string SizeText(int64_t width, int64_t height) { return std::to_string(width) + " x " + std::to_string(height); }

}  // namespace

uint64_t PictureBytes(int64_t width, int64_t height, int bitsPerPixel) {
  if (width <= 0 || height <= 0) return 0;
  const uint64_t row = (uint64_t(width) * uint64_t(bitsPerPixel) + 31) / 32 * 4;
  return row * uint64_t(height);
}

EPictureTooLarge::EPictureTooLarge(int64_t width, int64_t height, uint64_t bytes, uint64_t limit)
    : EInvalidGraphic("picture too large: " + SizeText(width, height) + " pixels take " + std::to_string(bytes) +
                      " bytes, more than the " + std::to_string(limit) + " a picture may take"),
      Width(width),
      Height(height),
      Bytes(bytes),
      Limit(limit) {}

uint64_t DefaultPictureBytes() {
  static const uint64_t bytes = [] {
    const long pages = ::sysconf(_SC_PHYS_PAGES), pageSize = ::sysconf(_SC_PAGE_SIZE);
    // Without an answer, a machine of 4 GB.
    const uint64_t physical = pages > 0 && pageSize > 0 ? uint64_t(pages) * uint64_t(pageSize) : uint64_t(4) << 30;
    return physical / 4;
  }();
  return bytes;
}

void TPictureLimit::Check(int64_t width, int64_t height, int bitsPerPixel) const {
  CheckWorkingMemory(width, height, PictureBytes(width, height, bitsPerPixel));
}

void TPictureLimit::CheckWorkingMemory(int64_t width, int64_t height, uint64_t bytes) const {
  if (width < 1 || height < 1) throw EInvalidGraphic("no picture: " + SizeText(width, height) + " pixels");
  if (width > kMaxBitmapSide || height > kMaxBitmapSide || uint64_t(width) * uint64_t(height) > kMaxPicturePixels ||
      bytes > MaxBytes)
    throw EPictureTooLarge(width, height, bytes, MaxBytes);
}

bool TPictureLimit::Allows(int64_t width, int64_t height, int bitsPerPixel) const {
  return width >= 1 && height >= 1 && width <= kMaxBitmapSide && height <= kMaxBitmapSide &&
         uint64_t(width) * uint64_t(height) <= kMaxPicturePixels &&
         PictureBytes(width, height, bitsPerPixel) <= MaxBytes;
}

}  // namespace qm
