#pragma once
#include <cstdint>

namespace qm {

// A colour value: 0x00BBGGRR, red in the low byte. A value with the high bit set
// names a system colour (see ColorToRGB).
using TColor = uint32_t;

constexpr TColor clNone = 0x1FFFFFFF;   // "no colour": no key, no transparent colour
constexpr TColor clBlack = 0x000000;
constexpr TColor clWhite = 0xFFFFFF;

constexpr uint8_t GetRValue(TColor c) { return uint8_t(c); }
constexpr uint8_t GetGValue(TColor c) { return uint8_t(c >> 8); }
constexpr uint8_t GetBValue(TColor c) { return uint8_t(c >> 16); }
constexpr TColor RGB(int r, int g, int b) {
  return TColor(uint8_t(r)) | (TColor(uint8_t(g)) << 8) | (TColor(uint8_t(b)) << 16);
}

struct TPoint {
  int32_t X = 0, Y = 0;
  friend constexpr bool operator==(const TPoint&, const TPoint&) = default;
};

// Rectangles are (Left, Top, Right, Bottom); Right and Bottom are exclusive.
struct TRect {
  int32_t Left = 0, Top = 0, Right = 0, Bottom = 0;
  constexpr int32_t Width() const { return Right - Left; }
  constexpr int32_t Height() const { return Bottom - Top; }
  constexpr bool IsEmpty() const { return Right <= Left || Bottom <= Top; }
  friend constexpr bool operator==(const TRect&, const TRect&) = default;
};

constexpr TRect Rect(int32_t l, int32_t t, int32_t r, int32_t b) { return TRect{l, t, r, b}; }
constexpr TRect Bounds(int32_t x, int32_t y, int32_t w, int32_t h) { return TRect{x, y, x + w, y + h}; }

// Stands for "the whole bitmap" wherever a routine clips its rectangle to a bitmap.
constexpr TRect UnboundedRect{-99999, -99999, 99999, 99999};

// Intersection of two rectangles; the empty rectangle (0, 0, 0, 0) when they do not meet.
constexpr TRect IntersectRect(const TRect& a, const TRect& b) {
  TRect r{a.Left > b.Left ? a.Left : b.Left, a.Top > b.Top ? a.Top : b.Top,
          a.Right < b.Right ? a.Right : b.Right, a.Bottom < b.Bottom ? a.Bottom : b.Bottom};
  if (r.IsEmpty()) return TRect{};
  return r;
}

// The smallest rectangle holding both; an empty one adds nothing.
constexpr TRect UnionRect(const TRect& a, const TRect& b) {
  if (a.IsEmpty()) return b;
  if (b.IsEmpty()) return a;
  return TRect{a.Left < b.Left ? a.Left : b.Left, a.Top < b.Top ? a.Top : b.Top,
               a.Right > b.Right ? a.Right : b.Right, a.Bottom > b.Bottom ? a.Bottom : b.Bottom};
}

constexpr bool PtInRect(const TRect& r, TPoint p) {
  return p.X >= r.Left && p.X < r.Right && p.Y >= r.Top && p.Y < r.Bottom;
}

constexpr TRect OffsetRect(const TRect& r, int32_t dx, int32_t dy) {
  return TRect{r.Left + dx, r.Top + dy, r.Right + dx, r.Bottom + dy};
}

}  // namespace qm
