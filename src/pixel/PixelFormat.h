#pragma once
// Conversions between our 24-bit image with its grey mask and the other shapes an
// image takes at the edges of the program: 32-bit bitmaps with alpha, bitmaps with a
// key colour, GIF images (frames with a transparent palette index), PNG images (an
// alpha channel or a transparent palette entry), and 1-, 4- and 8-bit indexed bitmaps;
// also canvas enlargement with an anchor.
//
// Masks follow the program's convention: 24-bit grey, 0 opaque, 255 transparent;
// alpha = 255 - mask.
#include <cstdint>
#include <vector>

#include "pixel/ColorReduce.h"
#include "pixel/RectUtils.h"
#include "platform/core/Bitmap.h"
#include "platform/core/ByteBuffer.h"
#include "platform/core/Types.h"

namespace qm {

// The key colour wherever an image needs transparency and brings none (red 0xCE,
// green 0xED, blue 0xDC). Fixed for the whole run.
constexpr TColor clGlobalTransparent = 0x00DCEDCE;

// The colour an opaque pixel takes when it happens to have the key colour, so that
// the key stands only for transparent pixels: green moved by 7 (up below 128, else
// down).
constexpr TColor SubstituteColor(TColor key) {
  const int g = GetGValue(key);
  return RGB(GetRValue(key), g < 128 ? g + 7 : g - 7, GetBValue(key));
}

// --- In-memory GIF and PNG images ---------------------------------------------------
// What the GIF and PNG readers fill and the writers read: plain data, no codec.

// One GIF frame: its own rectangle on the logical screen and its palette indices.
struct TGifFrame {
  int Left = 0, Top = 0, Width = 0, Height = 0;
  TByteBuffer Pixels;  // Width x Height indices, rows top to bottom
  TPalette ColorMap;            // the frame's own colour map; empty: the image's global one
  int TransparentIndex = -1;    // -1: none
  int Delay = 0;                // hundredths of a second
  int Disposal = 0;             // graphic-control disposal method, 0..7
  bool Interlaced = false;
};

// A GIF image: the logical screen, its global colour map and the frames. The reduction
// settings say how Assign turns a bitmap into a frame.
class TGifImage {
 public:
  int Width = 0, Height = 0;
  TPalette GlobalColorMap;
  int BackgroundIndex = 0;
  int LoopCount = -1;  // -1: no looping extension; 0: forever
  std::vector<TGifFrame> Frames;

  // rmNone: a bitmap of at most 256 colours keeps them exactly (an indexed one keeps its
  // palette and indices); one with more falls back to the halftone palette. Any other
  // method reduces through ReduceColors with these bits and dithering.
  TReductionMethod ColorReduction = rmNone;
  int ReductionBits = 8;
  bool DitherFloydSteinberg = false;

  // Makes the image one frame holding the bitmap, with its own colour map. A
  // transparent bitmap's key colour, when the map holds it, becomes the transparent
  // index.
  void Assign(const TBitmap& bmp);
  // The colour map the frame uses (its own, else the global one); index in range.
  TPalette& FrameColorMap(int index);
  const TPalette& FrameColorMap(int index) const;
  // The frame as an 8-bit bitmap with its colour map, not transparent; index in range.
  void FrameToBitmap(int index, TBitmap& bmp) const;
};

enum TPngColorType : uint8_t { pcIndexed, pcRGB, pcRGBA };

// A PNG image at 8 bits per sample. Greys and 16-bit samples are widened or narrowed
// to these forms by the reader.
struct TPngImage {
  int Width = 0, Height = 0;
  TPngColorType ColorType = pcRGB;
  // Rows top to bottom without padding: 1 byte (index), 3 (R, G, B) or 4 (R, G, B, A)
  // per pixel.
  TByteBuffer Pixels;
  TPalette Palette;                   // indexed images
  std::vector<uint8_t> Transparency;  // alpha per palette entry (may be shorter than it)
  TColor TransparentColor = clNone;   // the key colour of an RGB image

  bool Empty() const { return Width <= 0 || Height <= 0; }
  // The pixels as a bitmap: 8-bit with the palette, 24-bit, or 32-bit with the alpha.
  void ToBitmap(TBitmap& bmp) const;
};

// GIF palette modes (PrepareBitmapForGif and the routines built on it).
constexpr int gpOptimized = 0;   // the picture's own colours, or an octree palette
constexpr int gpWindows256 = 1;  // the halftone palette
constexpr int gpWeb = 2;         // the 216 web colours
constexpr int gpGiven = 3;       // the caller's palette

// --- 32-bit bitmaps and masks ------------------------------------------------------

// For a 32-bit source only: image and mask become 24-bit bitmaps of its size, the
// image with its colours, every byte of the mask 255 - alpha.
void SplitBitmap32(const TBitmap& src, TBitmap& image, TBitmap& mask);
// For a 24-bit image and mask of one size only: result becomes a 32-bit bitmap with
// the image's colours (white under a mask of 255 when whiten is set) and alpha
// 255 - mask.
void CombineBitmapWithMask32(const TBitmap& image, const TBitmap& mask, TBitmap& result, bool whiten);
// A 32-bit graphic: SplitBitmap32, and the mask emptied when it is 255 everywhere (a
// bitmap whose alpha is 0 throughout is taken as one that does not use alpha, thus
// opaque). Any other graphic: the image takes it at 24 bits and the mask, emptied, is
// built from its key colour when it is transparent.
void SplitBitmapToImageAndMask(const TBitmap& graphic, TBitmap& image, TBitmap& mask);
// A graphic that is neither transparent nor 32-bit is only made 24-bit. Any other is
// replaced by its image laid over the background colour through its mask.
void FlattenTransparentGraphic(TBitmap& graphic, TColor background);
// bmp becomes a 24-bit copy of the graphic; a transparent graphic's key-coloured
// pixels show clGlobalTransparent and bmp becomes transparent with it.
void DrawGraphicOnTransparentColor(const TBitmap& graphic, TBitmap& bmp);

// --- GIF ------------------------------------------------------------------------

// bmp takes the frame (an index out of range reads frame 0; no frame empties bmp),
// transparent with the colour of the frame's transparent index if it has one. With
// `unique`, a key colour that the colour map holds more than once is replaced, in the
// map too, by clGlobalTransparent.
void GifFrameToBitmap(TGifImage& gif, TBitmap& bmp, int frame, bool unique);
// When the frame (index clamped as above) has a transparent index, that colour-map
// entry becomes the colour.
void SetGifTransparentColor(TGifImage& gif, int frame, TColor color);
// For a transparent 24-bit or any 32-bit bitmap: result becomes the bitmap reduced to
// at most 254 colours, with the key colour (the bitmap's own, or clGlobalTransparent
// for 32 bits) on exactly the pixels that are transparent (alpha 128 or less), opaque
// pixels of the key colour changed to its SubstituteColor; result is transparent with
// the key. `palette` serves gpGiven.
void PrepareBitmapForGif(const TBitmap& bmp, TBitmap& result, bool dither, int paletteMode,
                         const TPalette* palette = nullptr);
// PrepareBitmapForGif, then the GIF takes the result as its one frame with the key
// colour's entry as the transparent index.
void ConvertToGifWithTransparency(const TBitmap& bmp, TGifImage& gif, bool dither, int paletteMode,
                                  const TPalette* palette = nullptr);
// For a 24-bit image and mask: result becomes the image reduced to at most 254
// colours, clGlobalTransparent where the mask is 129..255 (opaque pixels of that colour
// changed to its SubstituteColor), transparent with it.
void ReduceColorsWithTransparency(const TBitmap& image, const TBitmap& mask, TBitmap& result, int paletteMode,
                                  bool dither, const TPalette* palette = nullptr);

// --- PNG ------------------------------------------------------------------------

// bmp takes the PNG; an indexed PNG with transparency entries makes it transparent
// with the colour of the first entry whose alpha is 0, an RGB one with a key colour
// with that colour.
void PngToBitmapTransparent(const TPngImage& png, TBitmap& bmp);
// For a 24-bit image and mask of one size only: the PNG becomes the image with alpha
// 255 - mask, white where the mask is 255 when whiten is set.
void BitmapMaskToPng(const TBitmap& image, const TBitmap& mask, TPngImage& png, bool whiten);
// For a 32-bit bitmap only: the PNG takes its colours and alpha.
void Bitmap32ToPng(const TBitmap& bmp, TPngImage& png);

// --- Indexed bitmaps ------------------------------------------------------------

// Converts the bitmap to 1 bit (n <= 2), 4 bits (n <= 16) or 8 bits; nothing for an
// empty bitmap or n outside 1..256. An indexed bitmap of no more bits only widens
// (palette and indices kept). 1 bit: black and white by luminance. Otherwise the
// colours go through a GIF image (an octree of 16 or 256 colours when quantize is set,
// else the colours as they are), with Floyd-Steinberg when dither is set. The
// transparent colour and flag are kept.
void ConvertBitmapToIndexed(TBitmap& bmp, int n, bool quantize, bool dither);
// Packs an 8-bit bitmap into 4 bits with its first 16 palette entries. Refuses (false,
// bitmap unchanged) any other format and any bitmap using an index of 16 or more.
bool Convert8To4Bit(TBitmap& bmp);

// --- Canvas -----------------------------------------------------------------------

// dst becomes a 24-bit width x height canvas of the background colour, with the
// pattern (when given) tiled over it from (0, 0), keyed by patternKey, and the source
// placed on it by the anchor (alignment codes of RectUtils.h). Returns where the
// source went (it may reach outside the canvas). Width or height below 1 or above
// kMaxBitmapSide: returns the empty rectangle and leaves dst alone. src and dst may be
// the same bitmap.
TRect EnlargeCanvas(const TBitmap& src, TBitmap& dst, int width, int height, TAlignment anchor, TColor background,
                    const TBitmap* pattern = nullptr, TColor patternKey = clNone);

}  // namespace qm
