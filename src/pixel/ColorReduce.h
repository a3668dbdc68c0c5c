#pragma once
// Counting the colours of a 24-bit bitmap, palette helpers, and reducing a bitmap to at
// most N colours (1..256): by a fixed palette, by a palette an octree builds from the
// picture, or by a caller's palette, each pixel mapped to its nearest entry or through
// Floyd-Steinberg error diffusion. A reduced bitmap stays 24-bit; only its colours
// change.
//
// The mapping runs in one serpentine scan (left to right on the first row, then
// alternating) and is order-dependent on purpose: the fast lookup's cache decides a
// 15-bit cell by the first colour that reaches it, and the octree reduces as it goes.
// Both therefore run on one thread; results never depend on the thread count.
#include <cstdint>
#include <vector>

#include "pixel/Params.h"
#include "platform/core/Bitmap.h"
#include "platform/core/Numeric.h"
#include "platform/core/Types.h"

namespace qm {

// A palette: up to 256 colour values, in entry order.
using TPalette = std::vector<TColor>;

// Options of ReduceBitmapColors, one bit each.
constexpr int rcDither = 1 << 0;                  // Floyd-Steinberg (else nearest colour)
constexpr int rcGivenPalette = 1 << 1;            // the caller's palette
constexpr int rcWindows256 = 1 << 2;              // the 256-colour halftone palette
constexpr int rcWindows20 = 1 << 3;               // the 20 reserved colours
constexpr int rcWindowsGray = 1 << 4;             // four greys
constexpr int rcWeb = 1 << 5;                     // the 216 web colours
constexpr int rcKeepTransparentEntries = 1 << 6;  // at most 254 colours: entries 254 and 255 stay free

// How ReduceColors builds its palette.
enum TReductionMethod : int {
  rmNone = 0,
  rmWindows20 = 1,
  rmWindows256 = 2,
  rmWindowsGray = 3,
  rmMonochrome = 4,
  rmNetscape = 6,
  rmQuantize = 7,
  rmPalette = 9,
};

// 2, 16 and 256 for the indexed formats, 16777216 for the others.
int GetPixelFormatColorCount(TPixelFormat pf);

// The entry's colour, or clNone for no palette or an index outside it.
TColor GetPaletteColor(const TPalette* palette, int index);
// Writes the entry; false for no palette or an index outside it.
bool SetPaletteColor(TPalette* palette, int index, TColor color);
// Gives the palette count entries (1..256), keeping the old ones and adding black;
// false (palette unchanged) for a count outside 1..256.
bool ResizePalette(TPalette& palette, int count);

// Number of distinct colours of a 24-bit bitmap; 0 for any other format.
int CountBitmapColors(const TBitmap& bmp);

// Reduces the bitmap to at most `colors` (1..256) colours; nothing for an empty bitmap
// or a count out of range. 1 or 2 colours give black and white whatever the options.
// Otherwise the first of these options picks the palette: rcGivenPalette (palette),
// rcWindows20, rcWindowsGray, rcWeb, rcWindows256; without any, a bitmap that already
// has no more than the count (254 at most with rcKeepTransparentEntries) is left as it
// is, and any other gets an octree palette of at most that many colours.
// With rcKeepTransparentEntries, the given-palette and halftone choices are replaced by
// an octree palette of 254 colours (the halftone one keeping the 20 reserved colours).
// The bitmap ends 24-bit.
void ReduceBitmapColors(TBitmap& bmp, int colors, int options, const TPalette* palette = nullptr);

// The bitmap mapped onto the method's palette as a new 8-bit bitmap; rmQuantize builds
// an octree palette of 2^colorBits colours, rmPalette takes a copy of the palette.
// rmNone (or an unknown method, or rmPalette without a palette) gives a 24-bit copy.
TBitmap ReduceColors(const TBitmap& bmp, TReductionMethod method, bool dither, int colorBits,
                     const TPalette* palette = nullptr);

// An octree palette of at most `colors` (1..256) colours with leaves at depth colorBits
// (1..8). With `windows`, 256 entries: the first ten reserved colours, 236 octree
// colours (black where the picture has fewer), the last ten reserved colours.
TPalette CreateOptimizedPalette(const TBitmap& bmp, int colors, int colorBits, bool windows);

// --- Indexed colours -------------------------------------------------------------
//
// A whole picture brought to a palette: an optimised one of 8 to 256 colours, with or
// without error diffusion, or one of seven system palettes.
enum TIndexedPaletteKind : int { ipOptimized = 0, ipSystem = 1 };
enum TSystemPalette : int {
  spMonochrome = 0,          // threshold 128
  spMonochromeDithered = 1,  // Floyd-Steinberg, then threshold 128
  spGray4 = 2,
  spGray16 = 3,
  spGray256 = 4,
  spWindows20 = 5,
  spWeb216 = 6,
};
constexpr int kOptimizedCountChoices = 6;  // 8, 16, 32, 64, 128, 256
constexpr int kSystemPaletteCount = 7;

struct TIndexedColorParams {
  int Kind;       // a TIndexedPaletteKind
  int Optimized;  // 8 << Optimized colours
  bool Diffusion;
  int System;  // a TSystemPalette
};
template <>
struct TParamTable<TIndexedColorParams> {
  static constexpr std::array Fields{
      ChoiceParam("Kind", &TIndexedColorParams::Kind, 2, ipOptimized),
      ChoiceParam("Optimized", &TIndexedColorParams::Optimized, kOptimizedCountChoices, 5),
      BoolParam("Diffusion", &TIndexedColorParams::Diffusion, true),
      ChoiceParam("System", &TIndexedColorParams::System, kSystemPaletteCount, spWeb216),
  };
};
// The colour count a document records once converted: the optimised choice's count; 2
// for both monochromes, 4, 16, 256, 20 and 256 for the others; 0 for values outside
// their ranges.
int IndexedColorCount(const TIndexedColorParams& params);
// Whether converting changes a picture whose document records `recorded` colours: a
// system palette always; an optimised one only when the recorded count exceeds the
// choice's (for 256 colours, a true-colour picture: 257 or more).
bool IndexedReductionNeeded(const TIndexedColorParams& params, int recorded);
// Converts the whole bitmap, whatever it records; nothing for values outside their
// ranges. The optimised palettes reduce with ReduceBitmapColors (rcDither for the
// diffusion; 256 colours keep the two transparent entries free); the system ones:
// monochrome ThresholdRect 128; dithered DitherBlackWhiteRect then the threshold; 4
// greys ReduceBitmapColors(4, rcDither | rcWindowsGray); 16 greys GrayscaleRect then
// ReduceBitmapColors(16, rcDither); 256 greys GrayscaleRect, the greys 2 and 252 moved
// to 3 and 253 (ReplaceColorRect) and ReduceBitmapColors(256, rcDither |
// rcKeepTransparentEntries); Windows ReduceBitmapColors(20, rcDither | rcWindows20); web
// ReduceBitmapColors(256, rcDither | rcWeb | rcKeepTransparentEntries).
void ReduceToIndexedColors(TBitmap& bmp, const TIndexedColorParams& params);

// --- The parts the reduction is built from ---------------------------------------

// One node of the colour octree. Nodes live in their quantizer's pool and name each
// other by index (-1: none).
struct TOctreeNode {
  bool IsLeaf = false;
  uint64_t PixelCount = 0;
  uint64_t RedSum = 0, GreenSum = 0, BlueSum = 0;
  int32_t Next = -1;  // the next node of the same level's reducible list
  int32_t Child[8] = {-1, -1, -1, -1, -1, -1, -1, -1};
};

// Octree colour quantizer: colours go in one by one; whenever there are more leaves
// than the maximum, the deepest reducible node (the most recently created of its level)
// folds its children into itself.
class TColorQuantizer {
 public:
  TColorQuantizer(int maxColors, int colorBits);
  void AddColor(uint8_t red, uint8_t green, uint8_t blue);
  // Every pixel of a 24-bit bitmap, rows top to bottom, pixels left to right.
  void ProcessImage(const TBitmap& bmp);
  int LeafCount() const { return leafCount_; }
  // The leaves' mean colours, depth first with children in index order.
  TPalette GetPalette() const;

 private:
  int32_t NewNode(int level);
  bool ReduceTree();  // false when nothing is left to reduce
  void CollectColors(int32_t node, TPalette& out) const;

  std::vector<TOctreeNode> nodes_;
  std::vector<int32_t> free_;
  int32_t root_ = -1;
  int leafCount_ = 0;
  int maxColors_;
  int colorBits_;
  int32_t reducible_[9] = {-1, -1, -1, -1, -1, -1, -1, -1, -1};
};

// Nearest palette entry by |dr| + |dg| + |db| (the first of equal distances), cached
// per 15-bit cell: the palette's own colours claim their cells first, then each cell
// keeps the answer found for the first colour that reaches it.
class TFastColorLookup {
  static constexpr uint16_t kEmpty = 0xFFFF;
  static unsigned Key(unsigned red, unsigned green, unsigned blue) {
    return (red >> 3) | ((green & 0xF8u) << 2) | ((blue & 0xF8u) << 7);
  }

 public:
  explicit TFastColorLookup(const TPalette& palette);
  int Lookup(uint8_t red, uint8_t green, uint8_t blue) { return Cursor(*this)(red, green, blue); }
  const TPalette& Palette() const { return palette_; }

  // The lookup for a hot loop: the cache's address stays in a register however the
  // loop's stores alias; misses go back to the owner.
  class Cursor {
   public:
    explicit Cursor(TFastColorLookup& owner) : cache_(owner.cache_.data()), owner_(&owner) {}
    int operator()(uint8_t red, uint8_t green, uint8_t blue) const {
      const unsigned key = Key(red, green, blue);
      const uint16_t hit = cache_[key];
      if (hit != kEmpty) [[likely]]
        return hit;
      return owner_->Search(key, red, green, blue);
    }

   private:
    const uint16_t* cache_;
    TFastColorLookup* owner_;
  };
  Cursor GetCursor() { return Cursor(*this); }

 private:
  int Search(unsigned key, int red, int green, int blue);
  TPalette palette_;
  std::vector<uint16_t> cache_;
};

// The web palette by arithmetic: each channel to its nearest level 51 k.
class TNetscapeColorLookup {
 public:
  int Lookup(uint8_t red, uint8_t green, uint8_t blue) const {
    return 36 * ((red + 25) / 51) + 6 * ((green + 25) / 51) + (blue + 25) / 51;
  }
  const TPalette& Palette() const;
  int operator()(uint8_t red, uint8_t green, uint8_t blue) const { return Lookup(red, green, blue); }
  TNetscapeColorLookup GetCursor() const { return *this; }
};

// Black (0) below the luminance threshold 77 r + 150 g + 29 b < 32513, else white (1).
class TMonochromeLookup {
 public:
  int Lookup(uint8_t red, uint8_t green, uint8_t blue) const {
    return 77 * red + 150 * green + 29 * blue < 32513 ? 0 : 1;
  }
  const TPalette& Palette() const;
  int operator()(uint8_t red, uint8_t green, uint8_t blue) const { return Lookup(red, green, blue); }
  TMonochromeLookup GetCursor() const { return *this; }
};

// Nearest-colour mapping along the serpentine scan: the column of the next pixel and
// the direction (+1 or -1) of the current row. NextLine turns at the end of a row.
class TDitherEngine {
 public:
  explicit TDitherEngine(int width) : width_(width) {}
  int Direction() const { return direction_; }
  int Column() const { return column_; }
  // One pixel, the next in scan order.
  template <class Lookup>
  int Dither(Lookup& lookup, uint8_t red, uint8_t green, uint8_t blue) {
    column_ += direction_;
    return lookup.Lookup(red, green, blue);
  }
  // A whole row of B, G, R pixels in scan order; indices[x] receives pixel x's entry.
  template <class Lookup>
  void DitherRow(Lookup& lookup, const uint8_t* row, uint8_t* indices);
  void NextLine() {
    direction_ = -direction_;
    column_ = direction_ > 0 ? 0 : width_ - 1;
  }

 protected:
  int width_;
  int direction_ = 1;
  int column_ = 0;
};

// Floyd-Steinberg in integer sixteenths: 7 to the next pixel of the row, 3, 5 and 1 to
// the pixels below (behind, under, ahead). The error reaching a pixel is rounded as
// (carried + from above + 8) div 16, truncating toward zero.
class TFloydSteinbergDitherer : public TDitherEngine {
 public:
  TFloydSteinbergDitherer(int width, const TPalette& palette);
  template <class Lookup>
  int Dither(Lookup& lookup, uint8_t red, uint8_t green, uint8_t blue);
  template <class Lookup>
  void DitherRow(Lookup& lookup, const uint8_t* row, uint8_t* indices);
  void NextLine();

 private:
  // Errors of the row being mapped and of the next one, three channels (R, G, B) per
  // column, with one spare column on each side.
  std::vector<int32_t> cur_, next_;
  int32_t carriedR_ = 0, carriedG_ = 0, carriedB_ = 0;
  // Palette entries packed as R | G << 10 | B << 20, one load per pixel.
  uint32_t pal_[256] = {};
};

template <class Lookup>
void TDitherEngine::DitherRow(Lookup& lookup, const uint8_t* row, uint8_t* indices) {
  const auto find = lookup.GetCursor();
  const int w = width_;
  if (direction_ > 0) {
    for (int x = 0; x < w; ++x) indices[x] = uint8_t(find(row[3 * x + 2], row[3 * x + 1], row[3 * x]));
  } else {
    for (int x = w - 1; x >= 0; --x) indices[x] = uint8_t(find(row[3 * x + 2], row[3 * x + 1], row[3 * x]));
  }
  column_ = direction_ > 0 ? w : -1;
}

template <class Lookup>
int TFloydSteinbergDitherer::Dither(Lookup& lookup, uint8_t red, uint8_t green, uint8_t blue) {
  const ptrdiff_t at = ptrdiff_t(column_ + 1) * 3;
  const int32_t* e = cur_.data() + at;
  const int r = ClampByte(red + (carriedR_ + e[0] + 8) / 16);
  const int g = ClampByte(green + (carriedG_ + e[1] + 8) / 16);
  const int b = ClampByte(blue + (carriedB_ + e[2] + 8) / 16);
  const int index = lookup.Lookup(uint8_t(r), uint8_t(g), uint8_t(b));
  const uint32_t pc = pal_[index];
  const int32_t er = r - int32_t(pc & 1023), eg = g - int32_t((pc >> 10) & 1023), eb = b - int32_t(pc >> 20);
  carriedR_ = 7 * er;
  carriedG_ = 7 * eg;
  carriedB_ = 7 * eb;
  int32_t* n = next_.data() + at;
  const ptrdiff_t d = 3 * direction_;
  n[-d] += 3 * er;
  n[-d + 1] += 3 * eg;
  n[-d + 2] += 3 * eb;
  n[0] += 5 * er;
  n[1] += 5 * eg;
  n[2] += 5 * eb;
  n[d] += er;
  n[d + 1] += eg;
  n[d + 2] += eb;
  column_ += direction_;
  return index;
}

template <class Lookup>
void TFloydSteinbergDitherer::DitherRow(Lookup& lookup, const uint8_t* row, uint8_t* indices) {
  // The same steps as Dither, with the running state in locals: each pixel waits on the
  // previous one's error, so that chain is kept free of memory round trips.
  const auto find = lookup.GetCursor();
  const int w = width_, dir = direction_;
  const uint32_t* __restrict pal = pal_;
  const int32_t* __restrict cur = cur_.data() + 3;
  int32_t* __restrict next = next_.data() + 3;
  const ptrdiff_t d = 3 * dir;
  int32_t cr = 0, cg = 0, cb = 0;
  int x = dir > 0 ? 0 : w - 1;
  for (int k = 0; k < w; ++k, x += dir) {
    const ptrdiff_t at = ptrdiff_t(x) * 3;
    const uint8_t* p = row + at;
    int r = p[2] + (cr + cur[at] + 8) / 16;
    int g = p[1] + (cg + cur[at + 1] + 8) / 16;
    int b = p[0] + (cb + cur[at + 2] + 8) / 16;
    // Values outside 0..255 are rare on pictures: a predicted branch keeps the clamp
    // off the chain.
    if ((r | g | b) & ~255) [[unlikely]] {
      r = ClampByte(r);
      g = ClampByte(g);
      b = ClampByte(b);
    }
    const int index = find(uint8_t(r), uint8_t(g), uint8_t(b));
    indices[x] = uint8_t(index);
    const uint32_t pc = pal[index];
    const int32_t er = r - int32_t(pc & 1023), eg = g - int32_t((pc >> 10) & 1023), eb = b - int32_t(pc >> 20);
    cr = 7 * er;
    cg = 7 * eg;
    cb = 7 * eb;
    int32_t* n = next + at;
    n[-d] += 3 * er;
    n[-d + 1] += 3 * eg;
    n[-d + 2] += 3 * eb;
    n[0] += 5 * er;
    n[1] += 5 * eg;
    n[2] += 5 * eb;
    n[d] += er;
    n[d + 1] += eg;
    n[d + 2] += eb;
  }
  carriedR_ = cr;
  carriedG_ = cg;
  carriedB_ = cb;
  column_ = x;
}

}  // namespace qm
