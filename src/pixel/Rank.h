#pragma once
// Minimum, maximum and median filters over a square window of 3 x 3, 5 x 5 or 7 x 7
// pixels, per channel, with a threshold below which a channel is left alone.
#include <cstdint>

#include "pixel/Params.h"
#include "platform/core/Bitmap.h"
#include "platform/core/Types.h"

namespace qm {

// Mode: 0 minimum, 1 maximum, any other value median.
enum TRankMode : uint8_t { rkMinimum = 0, rkMaximum = 1, rkMedian = 2 };

// For each pixel of the rect and each channel, the source value c when c is below the
// threshold, otherwise the mode's rank value of that channel over the window. The
// window is 3 x 3 for a radius of 1 or less, 5 x 5 for 2, 7 x 7 for 3 or more; a window
// row outside the rect is replaced by the pixel's own row, a window column outside it
// by the pixel's own column (each axis on its own), so nothing outside the rect is read.
// Nothing at all for a threshold outside 0..255 or an empty rect; otherwise both bitmaps
// are made 24-bit, the destination takes the source's size and only the rect of the
// destination is written. The destination may be the source itself.
void ApplyRankFilter(TBitmap& dst, TBitmap& src, TRankMode mode, TRect rect, int threshold, int radius);

// The rank filters' choices: the window (0 low, 3 x 3; 1 medium, 5 x 5; 2 high, 7 x 7)
// and the threshold.
struct TRankFilterParams {
  int Radius;  // the kernel's radius less one
  int Threshold;
};
template <>
struct TParamTable<TRankFilterParams> {
  static constexpr std::array Fields{
      ChoiceParam("Radius", &TRankFilterParams::Radius, 3, 0),
      IntParam("Threshold", &TRankFilterParams::Threshold, {0, 255}, {0, 254}, 0),
  };
};
// ApplyRankFilter of the source into the layer; nothing for values outside their ranges.
void RankFilter(TBitmap& layer, TBitmap& source, TRankMode mode, const TRankFilterParams& params, TRect rect);

}  // namespace qm
