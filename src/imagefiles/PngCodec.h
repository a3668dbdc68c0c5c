#pragma once
// PNG files to and from the in-memory PNG model (TPngImage): read through libpng,
// written by our own encoder on all threads (PngWriter.cpp); and the
// bitmap to PNG assignment of the save dispatch.
#include <string>

#include "imagefiles/PictureLimit.h"
#include "pixel/PixelFormat.h"
#include "platform/core/Bitmap.h"

namespace qm {

// Row filter bits of TPngWriteOptions::FilterMask.
constexpr int pfNone = 1, pfSub = 2, pfUp = 4, pfAverage = 8, pfPaeth = 16, pfAllFilters = 31;

struct TPngWriteOptions {
  bool Interlaced = false;     // Adam7
  int FilterMask = pfAllFilters;  // the filters libpng may choose from per row; 0 counts as all
  int CompressionLevel = 7;    // zlib 0..9
};

class TStream;

// Reads a PNG file: palette pictures keep their indices (bit depths below 8 widened to
// one byte per index) and transparency entries; grey pictures become RGB, grey with
// alpha RGBA; 16-bit samples are scaled to 8 bits; a tRNS key of a grey or RGB picture
// becomes TransparentColor. Interlaced files are read whole. Throws EInvalidGraphic on
// any error of libpng (a file that ends early, damaged data) and for more rows than
// the file's bytes could give; EPictureTooLarge when the bitmap it becomes is beyond
// the options' limit. libpng's warnings go to the options' warnings.
void ReadPngFile(const std::string& fileName, TPngImage& png, const TDecodeOptions& options = {});

// Writes the PNG model: indexed pictures at the smallest bit depth their palette needs,
// with their transparency entries; RGB with its key colour as tRNS; RGBA. The rows
// are filtered as the options allow (among several filters, per row the one libpng's
// heuristic picks) and deflated on EngineThreads() threads; the file is the same for
// any thread count. Throws EInvalidGraphic on an empty or inconsistent picture or any
// error of zlib or the file.
void WritePngFile(const std::string& fileName, const TPngImage& png, const TPngWriteOptions& options);

// The PNG the save dispatch writes for a bitmap: a 32-bit bitmap gives RGBA; an indexed
// bitmap an indexed PNG with its palette (its transparent colour, when it is marked
// transparent and the palette holds it, as a fully transparent entry); any other an RGB
// PNG, keyed with its transparent colour when marked transparent.
void BitmapToPng(const TBitmap& bmp, TPngImage& png);

// Reads one PNG from the stream's position through its IEND chunk, leaving the stream
// after it: palettes and grey are expanded to RGB, 16-bit samples cut to 8 bits, an
// alpha channel kept (RGBA). A side beyond kMaxBitmapSide, or more rows than the bytes
// left could inflate to, is refused before anything is allocated. Throws EStreamError
// for anything that does not decode; png is then left as it was.
void ReadPngStream(TStream& s, TPngImage& png);

}  // namespace qm
