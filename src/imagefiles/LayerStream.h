#pragma once
// The layer records of the layered file (.qxi): the layer list, each layer, and the
// bitmap and mask codecs inside a record. The rest of the file is LayeredFile.h; a text
// layer's payload streams itself (TLayerData). All integers are little-endian; int32
// is signed.
//
// Raw bitmap:  int32 Width, int32 Height, then Height rows from the top, each
//              Width x 3 bytes blue, green, red, without padding.
// Raw mask:    int32 Width, int32 Height, then Height rows from the top, each Width
//              bytes: the first (blue) byte of each grey mask pixel.
// Layer bitmap: codec byte; 0: raw bitmap, byte Transparent (0 or 1), int32
//              TransparentColor;
//              1: a PNG stream (read by PngCodec.h).
// Layer mask:  codec byte; 0: raw mask; 1: a GIF stream (read by GifCodec.h).
//
// Layer record: int32 n + n bytes Name; byte Visible; byte Locked; 4 x int32 reserved
// rectangle; byte LayerType; int32 Color; int32 ColorNegate; int32 Left; int32 Top;
// byte Opacity; byte ImagePresent (+ layer bitmap); byte MaskPresent (+ layer mask);
// byte Mask2Present (+ layer mask); 24-byte adjustment record (4 x int32, double
// Gamma); 32-byte shadow record (byte Enabled, 3 padding bytes, 5 x int32 Color,
// OffsetX, OffsetY, Opacity, Radius, byte Spread, 3 padding bytes, int32 reserved: the
// padding as read, zero for layers the program made);
// byte DataPresent (+ the payload's stream).
//
// We always write codec 0; codec 1 is read for files of older versions. Readers raise
// EReadError when the stream ends early or a size asks for more bytes than are left,
// and EStreamError for anything else the format does not allow.
#include <cstdint>

#include "document/LayerItem.h"
#include "platform/core/Bitmap.h"
#include "platform/core/Stream.h"

namespace qm {

// The largest side a stored bitmap may have (that of TBitmap).
constexpr int32_t kMaxStoredSide = kMaxBitmapSide;

// Width, height and rows of a 24-bit bitmap (another format is written from a 24-bit
// copy). An empty bitmap raises EInvalidGraphic: the format has no empty bitmaps.
void WriteBitmap24(const TBitmap& bmp, TStream& s);
// bmp becomes the 24-bit bitmap read; sizes must be 1..kMaxStoredSide and the rows
// within the bytes left. On failure bmp is left as it was.
void ReadBitmap24(TBitmap& bmp, TStream& s);
// The first byte of every pixel of a 24-bit mask (others from a 24-bit copy).
void WriteMask8(const TBitmap& mask, TStream& s);
// mask becomes a 24-bit grey bitmap (each byte read repeated three times).
void ReadMask8(TBitmap& mask, TStream& s);

// Codec 0 with the transparency of the bitmap.
void WriteLayerBitmap(const TBitmap& bmp, TStream& s);
// Either codec; the result is 24-bit. A PNG must end within the stream; its alpha, if
// any, is dropped. On failure bmp is left as it was.
void ReadLayerBitmap(TBitmap& bmp, TStream& s);
void WriteLayerMask(const TBitmap& mask, TStream& s);
// Either codec; the result is 24-bit. A GIF gives the colours of its first frame.
void ReadLayerMask(TBitmap& mask, TStream& s);

// One layer record. Saving stores the bitmaps of bitmap layers only and the payload of
// text layers only. Loading reads into a fresh layer: it raises EReadError for a
// truncated record and EStreamError for one the format does not allow (a bitmap whose
// size is below 1 or beyond the bytes left, a mask of another size than its image, an
// unknown layer type, presence flag, Transparent byte or codec), and the layer is then
// partly read. A payload is made by CreateLayerData when it is set, else it is kept as
// a TTextData, so that it is always read. Bitmaps read for a layer other than a bitmap
// layer, and a payload for one other than a text layer, are dropped, as saving would
// drop them.
void SaveToStream(const TLayerItem& layer, TStream& s);
void LoadFromStream(TLayerItem& layer, TStream& s);

// The layer list: int32 count, then each layer record, the background first. Saving
// refuses (EInvalidGraphic) a list without layers or whose background is not a bitmap
// layer with pixels. Loading reads every record before it touches the list: on failure
// (the errors of a record, a count below 1 or beyond what the bytes left can hold, a
// background that is not a bitmap layer with pixels) the list is left as it was. The
// background's position is read as 0, 0. On success the list holds the layers read and
// the active index is 0.
void SaveToStream(const TLayerList& list, TStream& s);
void LoadFromStream(TLayerList& list, TStream& s);

// Bytes of the smallest layer record: a reader bounds counts of records with it.
constexpr int64_t kMinLayerRecordSize = 4 + 1 + 1 + 16 + 1 + 4 + 4 + 4 + 4 + 1 + 1 + 1 + 1 + 24 + 32 + 1;

}  // namespace qm
