#pragma once
// TIFF reading through libtiff: every compression libtiff decodes (none, LZW,
// PackBits, Deflate, CCITT fax, JPEG, ...), every photometric it can turn into RGB
// (bilevel, grey, palette, RGB, CMYK, YCbCr), 8 and 16 bits per sample. The writer is
// the program's own (SaveTiffFile).
#include <string>

#include "platform/core/Bitmap.h"

namespace qm {

// Reads the first image of the file into a 24-bit bitmap, or a 32-bit one (straight,
// not premultiplied alpha) when the file has an alpha channel. Throws EInvalidGraphic.
void ReadTiffFile(const std::string& fileName, TBitmap& out);

}  // namespace qm
