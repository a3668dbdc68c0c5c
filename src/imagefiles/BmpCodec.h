#pragma once
// Windows bitmap files written from a bitmap in its own pixel format.
#include <string>

#include "platform/core/Bitmap.h"

namespace qm {

// Writes the bitmap as a Windows bitmap file (created or replaced), rows bottom-up:
// 1, 4 and 8 bits with the bitmap's palette (the format's default one when it has
// none) behind a 40-byte header; 24 bits behind a 40-byte header; 32 bits behind a
// 124-byte (version 5) header whose masks name the fourth byte as alpha, so that
// readers keep the alpha channel. The resolution fields say 72 dpi. Throws
// EInvalidGraphic on an empty bitmap or a failing file.
void WriteBmpFile(const std::string& fileName, const TBitmap& bmp);

}  // namespace qm
