#pragma once
// TIFF reading through libtiff: every compression libtiff decodes (none, LZW,
// PackBits, Deflate, CCITT fax, JPEG, ...), every photometric it can turn into RGB
// (bilevel, grey, palette, RGB, CMYK, YCbCr), 8 and 16 bits per sample. The writer is
// the program's own (SaveTiffFile).
#include <string>

#include "imagefiles/PictureLimit.h"
#include "platform/core/Bitmap.h"

namespace qm {

// Reads the first image of the file into a 24-bit bitmap, or a 32-bit one (straight,
// not premultiplied alpha) when the file has an alpha channel. Throws EInvalidGraphic
// on any error libtiff reports (a strip that ends early, damaged data), also when the
// call it came from went on, when libtiff drops a tag the pixels depend on, and when a
// codec warns that data is missing or a strip or line is not of the picture's size
// (a JPEG or fax strip cut short, a width its strips do not hold); EPictureTooLarge
// beyond the options' limit. libtiff's other warnings go to the options' warnings.
void ReadTiffFile(const std::string& fileName, TBitmap& out, const TDecodeOptions& options = {});

}  // namespace qm
