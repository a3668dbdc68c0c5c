#pragma once
// GIF through giflib: files to and from the in-memory GIF model (TGifImage), every
// frame with its colour map, graphic-control extension (delay, disposal, transparent
// index), interlacing, and the looping extension of animations.
#include <string>

#include "imagefiles/PictureLimit.h"
#include "pixel/PixelFormat.h"
#include "platform/core/Bitmap.h"

namespace qm {

class TStream;

// Reads every frame, record by record. Interlaced frames come back in row order. A
// frame index beyond its colour map reads as black (the map is padded); a frame
// without any colour map gets a grey ramp. A file that ends after a whole frame, only
// its trailer missing, reads with a warning. Throws EInvalidGraphic on a file that is
// no GIF, that ends early or whose data is damaged, and, before its pixels are
// allocated, for a frame larger than the bytes left could give; EPictureTooLarge when
// the logical screen, a frame with the screen it is drawn on, or all the frames
// together are beyond the options' limit.
void ReadGifFile(const std::string& fileName, TGifImage& gif, const TDecodeOptions& options = {});

// Writes GIF89a: the logical screen with the global colour map (when not empty), the
// looping extension when LoopCount >= 0, and per frame a graphic-control extension
// when it has a delay, a disposal or a transparent index, its own colour map when not
// empty, and its rows (in interlaced order when Interlaced). Colour maps are padded to
// a power of two. Throws EInvalidGraphic on a picture without frames, a frame whose
// pixels do not fill its rectangle, one without any colour map, or a giflib error.
void WriteGifFile(const std::string& fileName, const TGifImage& gif);

// Drops the colour-map entries no pixel of the frame uses (the transparent entry is
// kept) and orders the rest by use, most used first, remapping the pixels and the
// transparent index. The frame then carries its own map.
void OptimizeGifFrameColorMap(TGifImage& gif, int frame);

// Reads one GIF from the stream's position through its trailer, leaving the stream
// after it: the first frame's colours become out, a 24-bit bitmap of the frame's size
// (indices beyond the colour map stay black); later frames and extensions are passed
// over. A side beyond kMaxBitmapSide is refused (EStreamError), as is a frame larger
// than the bytes left could give (EReadError); anything else that does not decode
// raises EStreamError, among it a code beyond the LZW string table and codes that end
// before the frame's last pixel. On failure out is left as it was.
void ReadGifStreamFirstFrame(TStream& s, TBitmap& out);

}  // namespace qm
