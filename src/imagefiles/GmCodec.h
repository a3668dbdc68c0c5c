#pragma once
// The rarer formats through GraphicsMagick: reading (Targa, PCX, SGI, portable maps,
// icons, metafiles, ...) and Targa writing.
#include <cstddef>
#include <cstdint>
#include <string>

#include "imagefiles/PictureLimit.h"
#include "platform/core/Bitmap.h"

namespace qm {

// Reads the first picture of the file with the named GraphicsMagick coder ("TGA",
// "BMP", ...; the coder is forced, the file's name plays no part). out becomes 24-bit,
// or 32-bit when the picture has an alpha channel; sourceColors (when given) receives
// the colour count of the file's pixel format: 2, 16 or 256 for a palette picture of
// that many entries at most, else 16777216. Throws EInvalidGraphic, also for a picture
// the library read only in part or found damaged (a corrupt-image warning), and for a
// run-length BMP or SGI file whose runs do not back the size it declares
// (RunLengthChecks.h); EPictureTooLarge when the bitmap, or
// the library's own pixels of it, would be beyond the options' limit (checked on the
// header before the pixels are read). The library's other warnings go to the options'
// warnings.
void ReadWithGraphicsMagick(const std::string& fileName, const char* coder, TBitmap& out,
                            int* sourceColors = nullptr, const TDecodeOptions& options = {});
void ReadWithGraphicsMagick(const uint8_t* data, size_t size, const char* coder, TBitmap& out,
                            int* sourceColors = nullptr, const TDecodeOptions& options = {});

// Writes an uncompressed Targa file: 32-bit bitmaps with their alpha, any other as 24
// bits. The pixels reach the library's image on all threads and the library writes the
// file itself, with no copy of the file in memory. Throws EInvalidGraphic.
void WriteTargaFile(const std::string& fileName, const TBitmap& bmp);

}  // namespace qm
