#pragma once
// The run-length-encoded bitmap (.rle): a Windows bitmap file of 8 bits per pixel with
// BI_RLE8 compression.
//
//   file header (14):  "BM", file size = 54 + 4 N + data size, 0, 0, 54 + 4 N
//   info header (40):  40, width, height (rows bottom-up), 1 plane, 8 bits,
//                      compression 1, data size, 0, 0 pixels per metre, N colours
//                      used, 0 important
//   palette:           N entries blue, green, red, 0 (N = the palette's size)
//   data:              per row, from the bottom: encoded runs (count 1..255, index),
//                      absolute runs (0, count 3..255, the indices, a zero byte when
//                      the count is odd), then end of line (0, 0); the last row ends
//                      with end of bitmap (0, 1) instead
#include <cstdint>
#include <string>
#include <vector>

#include "platform/core/Bitmap.h"
#include "platform/core/Stream.h"

namespace qm {

// The compressed rows of an 8-bit bitmap (any other format gives nothing). Rows are
// encoded in bands over the engine's threads; the result does not depend on them.
std::vector<uint8_t> EncodeRle8(const TBitmap& bmp);

// The bitmap as an RLE file: a copy of it is made 8-bit first (1- and 4-bit bitmaps
// widened with their palette, 24- and 32-bit ones reduced to 256 colours by an octree
// palette and Floyd-Steinberg dithering); the caller's bitmap is not changed. An
// empty bitmap raises EInvalidGraphic.
void WriteRleBitmap(const TBitmap& bmp, TStream& s);
// WriteRleBitmap into a file written beside the target and renamed over it.
void SaveRleFile(const std::string& fileName, const TBitmap& bmp);

}  // namespace qm
