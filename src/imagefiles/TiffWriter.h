#pragma once
// Our uncompressed TIFF writer: little-endian, one strip, one directory from a fixed
// template per kind of bitmap.
//
//   bilevel (1 bit):        header, pixels (8), XResolution, YResolution, Software,
//                           directory of 14 entries
//   palette (4 or 8 bits):  header, colour map (8; red, green, blue planes of
//                           2^bits values, component x 256), XResolution,
//                           YResolution, Software, pixels, directory of 15 entries
//   RGB (24 or 32 bits):    header, XResolution (8), YResolution (16),
//                           BitsPerSample 8, 8, 8 (24), Software (30), pixels (40)
//                           in red, green, blue order, directory of 15 entries
//
// XResolution and YResolution are 877/10 inch (87.7 dpi) until SetFileResolution
// writes the document's; they are the 11th and 12th entries. The Software text is 9
// characters and its zero. Rows run from the top, each whole (a 4-bit row of an odd
// width ends in half a byte). ImageWidth and ImageLength are SHORT up to 65535 and
// LONG beyond. A block placed after data of an odd length is moved to the next even
// offset, as the format requires. Bilevel pixels read 0 as black: a 1-bit bitmap
// whose first palette entry is the lighter one is written with its bits inverted.
#include <string>

#include "platform/core/Bitmap.h"
#include "platform/core/Stream.h"

namespace qm {

inline constexpr char kTiffSoftware[] = "QM Morvek";  // 9 characters and the zero

// Writes the bitmap (1, 4, 8, 24 or 32 bits) as a TIFF from the stream's position 0.
// An empty bitmap, or one too large for the 32-bit offsets of the format, raises
// EInvalidGraphic before anything is written.
void WriteTiff(const TBitmap& bmp, TStream& s);
// WriteTiff into a file written beside the target and renamed over it.
void SaveTiffFile(const std::string& fileName, const TBitmap& bmp);

}  // namespace qm
