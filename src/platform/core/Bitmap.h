#pragma once
// The bitmap every image, layer, mask and preview lives in: rows top to bottom, each
// row starting on a 4-byte boundary, pixels 1, 4 or 8 bits through a palette, or
// 24-bit (B, G, R) or 32-bit (B, G, R, A). Kernels reach the pixels through ScanLine,
// once per row.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "platform/core/Colors.h"
#include "platform/core/Types.h"

namespace qm {

enum TPixelFormat : uint8_t { pf1bit = 1, pf4bit = 4, pf8bit = 8, pf24bit = 24, pf32bit = 32 };

// What GetPixel answers outside the bitmap.
constexpr TColor clInvalid = 0xFFFFFFFF;

// Largest side accepted by SetSize; larger requests throw std::length_error.
constexpr int kMaxBitmapSide = 1 << 20;

class TBitmap {
 public:
  TBitmap() = default;
  // A bitmap of the given size filled with the colour (indexed formats take the
  // nearest entry of their default palette).
  TBitmap(int width, int height, TPixelFormat pf = pf24bit, TColor fill = clWhite);
  // A bitmap whose every row the caller writes whole before anything reads it (a
  // decoder's rows, a scanner's strips): nothing is filled and no threads are woken to
  // touch its pages first, so a decoder that stops half-way has touched only the rows
  // it wrote. The palette is the format's default. The
  // bytes after a row's last pixel are the caller's too (ZeroRowPadding). Sides beyond
  // kMaxBitmapSide throw std::length_error.
  static TBitmap Uninitialized(int width, int height, TPixelFormat pf = pf24bit);
  TBitmap(const TBitmap&) = delete;
  TBitmap& operator=(const TBitmap&) = delete;
  TBitmap(TBitmap&& o) noexcept;
  TBitmap& operator=(TBitmap&& o) noexcept;
  ~TBitmap();

  int Width() const { return width_; }
  int Height() const { return height_; }
  bool Empty() const { return width_ == 0 || height_ == 0; }
  TPixelFormat PixelFormat() const { return format_; }
  // Bytes from one row to the next: a multiple of 4.
  ptrdiff_t Stride() const { return stride_; }
  static ptrdiff_t StrideFor(int width, TPixelFormat pf);

  uint8_t* ScanLine(int y) { return bits_ + ptrdiff_t(y) * stride_; }
  const uint8_t* ScanLine(int y) const { return bits_ + ptrdiff_t(y) * stride_; }
  // Zeroes the bytes between the last pixel of row y and the next row.
  void ZeroRowPadding(int y);
  uint8_t* Bits() { return bits_; }
  const uint8_t* Bits() const { return bits_; }

  // Changes the size. The part both sizes share keeps its pixels (top-left anchored),
  // new pixels take BrushColor. Negative sizes count as 0.
  void SetSize(int width, int height);
  void SetWidth(int width) { SetSize(width, height_); }
  void SetHeight(int height) { SetSize(width_, height); }
  // Changes the pixel format and converts the pixels: indexed formats take the
  // nearest entry of the palette (the format's default palette when the bitmap has
  // none yet); 24 to 32 bits gives opaque alpha (255).
  void SetPixelFormat(TPixelFormat pf);
  // Makes the bitmap 0 x 0, keeping its pixel format.
  void Clear() { SetSize(0, 0); }
  // Takes the new size over the same pixel buffer when it needs exactly as many bytes:
  // the bytes stay and are read in the new shape (a kernel that then writes every pixel
  // saves an allocation). False, with nothing changed, for an empty bitmap or a size
  // that needs another number of bytes.
  bool Reshape(int width, int height);

  // A deep copy of pixels, format, palette and transparency settings.
  void Assign(const TBitmap& src);
  TBitmap Clone() const;

  // Palette of the 1-, 4- and 8-bit formats (empty for 24 and 32 bits).
  const std::vector<TColor>& Palette() const { return palette_; }
  void SetPalette(std::vector<TColor> colors);
  // Index of the palette entry nearest to the colour (squared RGB distance, the
  // lowest index on ties).
  int NearestPaletteIndex(TColor c) const;

  // The canvas pixel accessor: works for every format; clInvalid outside.
  TColor GetPixel(int x, int y) const;
  void SetPixel(int x, int y, TColor c);
  // Palette index of a pixel of an indexed format (0 for 24 and 32 bits), and its
  // setter; both ignore positions outside the bitmap.
  unsigned GetPixelIndex(int x, int y) const;
  void SetPixelIndex(int x, int y, unsigned index);
  // Fills the rect (clipped to the bitmap) with the colour, in any format.
  void FillRect(const TRect& r, TColor c);

  // The key colour the transparent drawing uses: TransparentColor, or, when that is
  // clNone, the bottom-left pixel (the automatic transparent colour).
  TColor EffectiveTransparentColor() const;

  bool Transparent = false;
  TColor TransparentColor = clNone;
  // The colour new pixels take when the bitmap grows (the canvas brush).
  TColor BrushColor = clWhite;

 private:
  void Release();
  int width_ = 0, height_ = 0;
  TPixelFormat format_ = pf24bit;
  ptrdiff_t stride_ = 0;
  uint8_t* bits_ = nullptr;
  std::vector<TColor> palette_;
};

// The default palette of an indexed format: black and white; the 16 standard colours;
// the 256-colour halftone palette. Empty for 24 and 32 bits.
const std::vector<TColor>& DefaultPalette(TPixelFormat pf);

// Asks the system for huge pages over a large pixel buffer (a few megabytes and up),
// so its first writes do not fault every 4 KB; bitmaps do it themselves. Only advice:
// nothing changes where the system does not offer them.
void AdviseHugePages(void* p, size_t bytes);

// Large pixel buffers are kept a while once their bitmap goes, for the next bitmap of
// the same byte size (its pages then need no clearing by the system); this frees the
// ones kept, and PooledBitmapBytes says how many bytes lie idle there.
void ReleaseBitmapBufferPool();
size_t PooledBitmapBytes();

// True when both bitmaps are 24-bit and hold the same pixels (row padding ignored).
bool SamePixels24(const TBitmap& a, const TBitmap& b);

}  // namespace qm
