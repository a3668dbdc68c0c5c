#pragma once
// Icons: our own icon structure (a colour image and a transparency mask), making one
// from a bitmap, telling which colour format suits it, and writing it as a Windows
// icon file of one image.
//
//   directory (6):  0, type 1, count 1 (16-bit each)
//   entry (16):     width, height (bytes; 0 for 256), the colour image's planes x
//                   bits per pixel, 0, planes 0, bit count 0 (16-bit each), the
//                   image's size in bytes (32-bit), its offset 22 (32-bit)
//   image:          the colour image's 40-byte information header with its height
//                   doubled, its palette (2^bits entries blue, green, red, 0, up to 8
//                   bits per pixel), the colour rows, then the 1-bit mask rows (1:
//                   transparent), every row from the bottom and padded to 32 bits
#include <string>

#include "platform/core/Bitmap.h"
#include "platform/core/Stream.h"

namespace qm {

struct TIcon {
  // 24-bit, or 32-bit with an alpha channel.
  TBitmap Color;
  // 1-bit with the palette black, white, of Color's size: white (index 1) where the
  // icon is transparent. Empty: opaque throughout.
  TBitmap Mask;
  int HotSpotX = 0, HotSpotY = 0;
  bool Empty() const { return Color.Empty(); }
};

// Colour formats of the icon file (the icon export dialog's choice).
enum TIconFormat : int { ifColor16 = 0, ifColor256 = 1, ifTrueColor = 2, ifTrueColorAlpha = 3 };

// A size x size icon: the colour image black with the bitmap drawn at
// ((size - width) div 2, (size - height) div 2), cropped when larger; the mask white
// except under the bitmap, which covers it wholly, or, for a bitmap marked
// transparent, except where its pixels differ from its transparent colour (those of
// the key colour stay black in the colour image). A 32-bit bitmap keeps its alpha in
// a 32-bit colour image. A size below 1 or an empty bitmap gives an empty icon.
TIcon CreateIconFromBitmap(const TBitmap& bmp, int size);

// ifTrueColorAlpha when the colour image is 32-bit with any alpha byte above 0; else
// by the distinct colours of the pixels the mask shows (counted up to 257):
// ifColor16 for 1 to 16 colours all among the 16 standard colours, ifColor256 for at
// most 256, ifTrueColor for more.
int GetIconFormatIndex(const TIcon& icon);

// The icon file with the colour image at 4, 8, 24 or 32 bits per pixel (format 0..3):
// 4 and 8 bits with the image's own colours when it has no more than 16 or 256, else
// through an octree palette of that many, 32 bits with the image's alpha, or, when it has none, alpha from the
// mask. An empty icon raises EInvalidGraphic "Données invalides !", as do a format
// outside 0..3 and a side above 256.
void WriteIcon(const TIcon& icon, int format, TStream& s);
// WriteIcon into a file written beside the target and renamed over it.
void SaveIconFile(const std::string& fileName, const TIcon& icon, int format);

inline constexpr const char* kInvalidIconText = "Données invalides !";

}  // namespace qm
