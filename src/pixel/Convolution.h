#pragma once
// 3 x 3 integer convolution of 24-bit bitmaps with a divisor and two post-processing
// flags, and the table of built-in matrices the filter commands use by index.
//
// For each pixel of the rect and each channel: sum = the weighted sum of the 3 x 3
// neighbours in 32-bit signed arithmetic, neighbours outside the rect replaced by the
// rect's edge row or column (never read outside the rect); value = sum / divisor,
// truncating toward zero; with grey the three values become (B + G + R) / 3; each is
// clamped to 0..255; with invert each becomes 255 - value.
#include <cstdint>

#include "pixel/Params.h"
#include "platform/core/Bitmap.h"
#include "platform/core/Types.h"

namespace qm {

// Twelve signed 32-bit integers in this order (custom filters store it as is).
struct TConvolutionMatrix {
  int32_t C[9];     // row above: left, centre, right; current row; row below
  int32_t Divisor;  // 0 is taken as 1
  int32_t Grey;     // non-zero: the three channel results are replaced by their mean
  int32_t Invert;   // non-zero: each final value v becomes 255 - v
};
static_assert(sizeof(TConvolutionMatrix) == 48);

constexpr int kConvolutionPresetCount = 13;
// 0 2 x 2 mean toward the right and below; 1 smoothing; 2 sharpen; 3 sharpen more;
// 4 strong sharpen; 5 reinforce; 6 relief; 7 more relief; 8 Laplacian edges, inverted;
// 9 grey inverted edges; 10 plaster; 11 gentle relief; 12 3 x 3 mean.
extern const TConvolutionMatrix kConvolutionPresets[kConvolutionPresetCount];

// Convolves the rect of the source into the same rect of the destination. Both bitmaps
// are made 24-bit and the destination takes the source's size first; only the rect of
// the destination is written. The destination may be the source itself.
void Convolve3x3(TBitmap& dst, TBitmap& src, const TConvolutionMatrix& m, TRect rect);
// The same result, written into the bitmap itself.
void Convolve3x3InPlace(TBitmap& bmp, const TConvolutionMatrix& m, TRect rect);
// The same with a row of the table; nothing for an index outside it.
void ApplyConvolutionPreset(TBitmap& dst, TBitmap& src, int index, TRect rect);
void ApplyConvolutionPresetInPlace(TBitmap& bmp, int index, TRect rect);

// A matrix of the user's: nine coefficients row by row from the top left, and the
// divisor (0 taken as 1); neither grey nor invert. The defaults leave a picture as it is.
struct TCustomFilterParams {
  int M0, M1, M2, M3, M4, M5, M6, M7, M8;
  int Divisor;
};
template <>
struct TParamTable<TCustomFilterParams> {
  static constexpr TParamSpan kCoefficients{-999, 999};
  static constexpr std::array Fields{
      IntParam("M0", &TCustomFilterParams::M0, kCoefficients, kCoefficients, 0),
      IntParam("M1", &TCustomFilterParams::M1, kCoefficients, kCoefficients, 0),
      IntParam("M2", &TCustomFilterParams::M2, kCoefficients, kCoefficients, 0),
      IntParam("M3", &TCustomFilterParams::M3, kCoefficients, kCoefficients, 0),
      IntParam("M4", &TCustomFilterParams::M4, kCoefficients, kCoefficients, 1),
      IntParam("M5", &TCustomFilterParams::M5, kCoefficients, kCoefficients, 0),
      IntParam("M6", &TCustomFilterParams::M6, kCoefficients, kCoefficients, 0),
      IntParam("M7", &TCustomFilterParams::M7, kCoefficients, kCoefficients, 0),
      IntParam("M8", &TCustomFilterParams::M8, kCoefficients, kCoefficients, 0),
      IntParam("Divisor", &TCustomFilterParams::Divisor, kCoefficients, kCoefficients, 1),
  };
};
// The twelve values the convolution takes: the nine, the divisor (1 for 0), two zeros.
TConvolutionMatrix CustomMatrix(const TCustomFilterParams& params);
// Convolve3x3 of the source into the layer with that matrix; nothing for values
// outside their ranges.
void CustomFilter(TBitmap& layer, TBitmap& source, const TCustomFilterParams& params, TRect rect);

}  // namespace qm
