#pragma once
#include <vector>

#include "platform/core/Types.h"

namespace qm {

// The fixed palettes the desktop platform provided as system data.

// Black and white.
const std::vector<TColor>& MonochromePalette();
// The 16 standard colours in the order of the 4-bit default palette.
const std::vector<TColor>& Standard16Palette();
// The 20 reserved colours of an 8-bit display: the first ten, then the last ten.
const std::vector<TColor>& Windows20Palette();
// The 256-colour halftone palette. Its exact entries were the platform's; ours keeps
// the same shape: the first ten reserved colours, a 6 x 6 x 6 colour cube (levels
// 0, 51, ..., 255, blue varying slowest), a ramp of 20 greys round(255 k / 21) for
// k = 1..20 (none of them repeats a grey of the cube), then the last ten reserved
// colours.
const std::vector<TColor>& HalftonePalette();
// The four greys of the grey display palette: 0, 128, 192, 255.
const std::vector<TColor>& WindowsGrayPalette();
// The 216 browser-safe colours: entry 36 r + 6 g + b is (51 r, 51 g, 51 b) for r, g, b
// in 0..5, red varying slowest.
const std::vector<TColor>& WebPalette();

}  // namespace qm
