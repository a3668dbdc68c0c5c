#pragma once
// JPEG through libjpeg(-turbo): decoding into 24-bit bitmaps, at full size or at a
// reduced scale for previews, and encoding with a quality and the progressive mode.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "imagefiles/PictureLimit.h"
#include "platform/core/Bitmap.h"

namespace qm {

struct TJpegWriteOptions {
  int Quality = 90;  // 1..100 (values outside are clamped)
  bool Progressive = false;
};

// Decoding scale for a frame size: 0 full, 1 half, 2 quarter, 3 eighth.
using TJpegScaleChooser = std::function<int(int width, int height)>;

// Decodes a JPEG file (or a JPEG held in memory) into a 24-bit bitmap (grey, CMYK and
// YCCK pictures are converted). The chooser, when given, picks the scale from the frame
// size read from the header; storedWidth/storedHeight receive that frame size. Throws
// EInvalidGraphic on any error, and on a picture the data gives only in part (it ends
// inside a scan, or is corrupt); EPictureTooLarge beyond the options' limit (the
// decoded picture, or the coefficients a file of several scans keeps). Out is untouched
// then. libjpeg's other warnings go to the options' warnings.
void ReadJpegFile(const std::string& fileName, TBitmap& out, const TJpegScaleChooser& chooser = {},
                  int* storedWidth = nullptr, int* storedHeight = nullptr, const TDecodeOptions& options = {});
void ReadJpegMemory(const uint8_t* data, size_t size, TBitmap& out, const TJpegScaleChooser& chooser = {},
                    int* storedWidth = nullptr, int* storedHeight = nullptr, const TDecodeOptions& options = {});

// What the readers above make of a JPEG stream another library decodes through
// libjpeg (a strip or tile of a TIFF file, the tables the file keeps apart read first):
// empty when the stream gives every pixel, else libjpeg's words for the error or the
// first warning the readers above fail on. Such a library hands on only the first
// warning of each stream, and a premature end loses pixels or not by the scans: the
// stream is decoded again, at an eighth of its size, to see every warning. Throws
// EPictureTooLarge when its frame is beyond the limit.
std::string JpegStreamDamage(const uint8_t* tables, size_t tablesSize, const uint8_t* data, size_t size,
                             const TPictureLimit& limit);

// Encodes the bitmap (any pixel format; a 32-bit bitmap's alpha is dropped) into a
// JPEG file, created or replaced. Throws EInvalidGraphic on an empty bitmap or any
// error of the encoder or of the file.
void WriteJpegFile(const std::string& fileName, const TBitmap& bmp, const TJpegWriteOptions& options);
// The same JPEG made in memory: the bytes WriteJpegFile would write.
std::vector<uint8_t> WriteJpegMemory(const TBitmap& bmp, const TJpegWriteOptions& options);
// What the file of these options would look like and weigh: out (made 24-bit of the
// bitmap's size, its rows reused when it already is) receives the pixels a decoder of
// the file shows, and the result is the file's bytes (WriteJpegMemory's). Made on
// EngineThreads() threads. Throws EInvalidGraphic; out may then be half-written.
std::vector<uint8_t> JpegPreview(const TBitmap& bmp, const TJpegWriteOptions& options, TBitmap& out);

// The program's JPEG picture: decodes at a reduced scale when Preview is set, and
// keeps the size stored in the file either way.
class TJpegImage2 {
 public:
  bool Preview = false;
  TDecodeOptions Options;
  int StoredWidth = 0, StoredHeight = 0;
  TBitmap Picture;
  // Throws EInvalidGraphic.
  void LoadFromFile(const std::string& fileName);
};

}  // namespace qm
