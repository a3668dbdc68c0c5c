#pragma once
#include <bit>
#include <cstring>

#include "platform/core/Types.h"

namespace qm {

// System colours: the high byte 0xFF with the system colour's index in the low byte.
// They resolve through one fixed table (the desktop's classic light scheme), so
// results never depend on the user's theme.
constexpr TColor clSystemColor = 0xFF000000;
constexpr TColor clScrollBar = clSystemColor | 0;
constexpr TColor clBackground = clSystemColor | 1;
constexpr TColor clActiveCaption = clSystemColor | 2;
constexpr TColor clInactiveCaption = clSystemColor | 3;
constexpr TColor clMenu = clSystemColor | 4;
constexpr TColor clWindow = clSystemColor | 5;
constexpr TColor clWindowFrame = clSystemColor | 6;
constexpr TColor clMenuText = clSystemColor | 7;
constexpr TColor clWindowText = clSystemColor | 8;
constexpr TColor clCaptionText = clSystemColor | 9;
constexpr TColor clActiveBorder = clSystemColor | 10;
constexpr TColor clInactiveBorder = clSystemColor | 11;
constexpr TColor clAppWorkSpace = clSystemColor | 12;
constexpr TColor clHighlight = clSystemColor | 13;
constexpr TColor clHighlightText = clSystemColor | 14;
constexpr TColor clBtnFace = clSystemColor | 15;
constexpr TColor clBtnShadow = clSystemColor | 16;
constexpr TColor clGrayText = clSystemColor | 17;
constexpr TColor clBtnText = clSystemColor | 18;
constexpr TColor clInactiveCaptionText = clSystemColor | 19;
constexpr TColor clBtnHighlight = clSystemColor | 20;
constexpr TColor cl3DDkShadow = clSystemColor | 21;
constexpr TColor cl3DLight = clSystemColor | 22;
constexpr TColor clInfoText = clSystemColor | 23;
constexpr TColor clInfoBk = clSystemColor | 24;
constexpr TColor clHotLight = clSystemColor | 26;
constexpr TColor clGradientActiveCaption = clSystemColor | 27;
constexpr TColor clGradientInactiveCaption = clSystemColor | 28;
constexpr TColor clMenuHighlight = clSystemColor | 29;
constexpr TColor clMenuBar = clSystemColor | 30;

constexpr bool IsSystemColor(TColor c) { return (c & 0x80000000u) != 0; }

// Resolves a system colour to its RGB value; any other value is returned as passed.
TColor ColorToRGB(TColor c);

// One pixel of a 24-bit bitmap, in memory order.
struct TPixel24 {
  uint8_t B, G, R;
  friend constexpr bool operator==(const TPixel24&, const TPixel24&) = default;
};
static_assert(sizeof(TPixel24) == 3);

// Resolves the colour and writes it as blue, green, red.
void ColorToPixel24(TColor c, uint8_t* dst);
TPixel24 ColorToPixel24(TColor c);
inline TColor Pixel24ToColor(const uint8_t* p) { return RGB(p[2], p[1], p[0]); }

// n pixels of a 24-bit row (B, G, R bytes) as the screen's 32-bit words 0xFFRRGGBB.
// Four pixels are three little-endian words, each output word two of them shifted
// together: the loop vectorises.
inline void Row24ToXrgb(const uint8_t* __restrict s, uint32_t* __restrict d, int n) {
  static_assert(std::endian::native == std::endian::little, "the pixels are read as little-endian words");
  int x = 0;
  for (; x + 4 <= n; x += 4) {
    uint32_t a, b, c;
    std::memcpy(&a, s + 3 * x, 4);
    std::memcpy(&b, s + 3 * x + 4, 4);
    std::memcpy(&c, s + 3 * x + 8, 4);
    d[x] = 0xFF000000u | (a & 0xFFFFFFu);
    d[x + 1] = 0xFF000000u | a >> 24 | (b & 0xFFFFu) << 8;
    d[x + 2] = 0xFF000000u | b >> 16 | (c & 0xFFu) << 16;
    d[x + 3] = 0xFF000000u | c >> 8;
  }
  for (; x < n; ++x) d[x] = 0xFF000000u | uint32_t(s[3 * x + 2]) << 16 | uint32_t(s[3 * x + 1]) << 8 | s[3 * x];
}

// The shared luminance of a B, G, R pixel. The weights sum to 256 so that a grey
// pixel keeps its value; vector kernels that compute it many lanes at a time take
// the same weights from here.
constexpr int kLumaBlue = 29, kLumaGreen = 150, kLumaRed = 77;
static_assert(kLumaBlue + kLumaGreen + kLumaRed == 256);
constexpr uint8_t Luminance(uint8_t b, uint8_t g, uint8_t r) {
  return uint8_t((kLumaBlue * b + kLumaGreen * g + kLumaRed * r) >> 8);
}

// The channel choice of the adjustments and the batch, by its stored code.
enum TChannelChoice : uint8_t {
  chAll = 0,
  chRed = 1,
  chGreen = 2,
  chBlue = 3,
  chCyan = 4,     // green and blue
  chMagenta = 5,  // red and blue
  chYellow = 6,   // red and green
};
constexpr int kChannelChoiceCount = 7;

// Spreads a value over red, green and blue by the channel code: the channels chosen
// get value, the others neutral (every channel gets value for chAll, none for a code
// outside the list).
template <class T>
constexpr void SplitByChannel(T& r, T& g, T& b, int channel, T value, T neutral) {
  r = g = b = neutral;
  switch (channel) {
    case chAll: r = g = b = value; break;
    case chRed: r = value; break;
    case chGreen: g = value; break;
    case chBlue: b = value; break;
    case chCyan: g = b = value; break;
    case chMagenta: r = b = value; break;
    case chYellow: r = g = value; break;
    default: break;
  }
}

}  // namespace qm
