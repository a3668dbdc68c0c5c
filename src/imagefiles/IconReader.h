#pragma once
// Windows icon files, read by our own parser over the icon directory. Of the pictures
// an icon holds, the largest opens (the most pixels, then the most bits per pixel).
//
//   directory (6):  0, type (1 icon, 2 cursor), count (16-bit each)
//   entry (16):     width, height, colours, 0 (bytes), planes, bits (16-bit), size of
//                   the picture, its offset (32-bit)
//   picture:        a PNG file, or a device-independent bitmap: its information
//                   header (40 bytes or more) with the height doubled, its palette
//                   (up to 8 bits per pixel), the colour rows, then the 1-bit mask rows
//                   (1: transparent), every row from the bottom, padded to 32 bits
//
// The sizes the entry and the information header state (the picture's size in bytes,
// biSizeImage) are not trusted: other tools often get them wrong. What the picture
// needs follows from its width, height and bits per pixel, and must be in the file.
#include <cstddef>
#include <cstdint>
#include <string>

#include "imagefiles/PictureLimit.h"
#include "platform/core/Bitmap.h"

namespace qm {

// The largest picture of the icon as a 32-bit bitmap: the colours with their alpha,
// from the bitmap's own alpha channel at 32 bits (the mask when that channel is empty),
// from the mask below 32 bits. A 32-bit picture whose alpha is set needs no mask rows.
// Throws EInvalidGraphic for a file that is no icon, whose largest picture is not
// whole in the file or is of a kind we do not read (compressed bitmaps other than
// PNG); EPictureTooLarge beyond the options' limit, before anything is allocated.
// sourceColors (when given) receives the colour count of the picture's pixel format:
// 2, 16 or 256 for a palette of that many entries at most, else 16777216.
void ReadIconFile(const std::string& fileName, TBitmap& out, int* sourceColors = nullptr,
                  const TDecodeOptions& options = {});
void ReadIconMemory(const uint8_t* data, size_t size, TBitmap& out, int* sourceColors = nullptr,
                    const TDecodeOptions& options = {});

}  // namespace qm
