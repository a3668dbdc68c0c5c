#include "platform/core/Colors.h"

namespace qm {
namespace {
constexpr TColor kSystemColors[31] = {
    RGB(200, 200, 200),  // scroll bar
    RGB(0, 0, 0),        // desktop background
    RGB(153, 180, 209),  // active caption
    RGB(191, 205, 219),  // inactive caption
    RGB(240, 240, 240),  // menu
    RGB(255, 255, 255),  // window
    RGB(100, 100, 100),  // window frame
    RGB(0, 0, 0),        // menu text
    RGB(0, 0, 0),        // window text
    RGB(0, 0, 0),        // caption text
    RGB(180, 180, 180),  // active border
    RGB(244, 247, 252),  // inactive border
    RGB(171, 171, 171),  // application workspace
    RGB(51, 153, 255),   // highlight
    RGB(255, 255, 255),  // highlight text
    RGB(240, 240, 240),  // button face
    RGB(160, 160, 160),  // button shadow
    RGB(109, 109, 109),  // grey text
    RGB(0, 0, 0),        // button text
    RGB(67, 78, 84),     // inactive caption text
    RGB(255, 255, 255),  // button highlight
    RGB(105, 105, 105),  // 3-D dark shadow
    RGB(227, 227, 227),  // 3-D light
    RGB(0, 0, 0),        // tooltip text
    RGB(255, 255, 225),  // tooltip background
    RGB(0, 0, 0),        // (unused index)
    RGB(0, 102, 204),    // hot-tracked item
    RGB(185, 209, 234),  // active caption gradient
    RGB(215, 228, 242),  // inactive caption gradient
    RGB(51, 153, 255),   // menu highlight
    RGB(240, 240, 240),  // menu bar
};
}  // namespace

TColor ColorToRGB(TColor c) {
  if (!IsSystemColor(c)) return c;
  unsigned i = c & 0xFF;
  return i < sizeof(kSystemColors) / sizeof(kSystemColors[0]) ? kSystemColors[i] : 0;
}

void ColorToPixel24(TColor c, uint8_t* dst) {
  TColor v = ColorToRGB(c);
  dst[0] = GetBValue(v);
  dst[1] = GetGValue(v);
  dst[2] = GetRValue(v);
}

TPixel24 ColorToPixel24(TColor c) {
  TPixel24 p;
  ColorToPixel24(c, &p.B);
  return p;
}

}  // namespace qm
