#pragma once
// Separable Gaussian blur of a rectangle of a 24-bit bitmap: a colour form that blurs
// the three channels, and a grey form for masks that blurs the first byte and writes it
// to all three.
#include <cstdint>

#include "pixel/Params.h"
#include "platform/core/Bitmap.h"
#include "platform/core/Types.h"

namespace qm {

// A Gaussian kernel: weights -Size..Size are the ones used (Size 1..100); the others
// keep their values from before the truncation and are never read.
struct TKernel {
  uint8_t Size = 1;
  float Weights[201] = {};  // indexed -100..100 through W
  float W(int j) const { return Weights[j + 100]; }
  float& W(int j) { return Weights[j + 100]; }
};

// Fills the kernel for a radius (the Gaussian's sigma): w[j] = exp(-(j / radius)^2 / 2)
// for j = -100..100, normalised; then the tails are cut while their total stays below
// granularity / (2 * maximum) (so a blurred value moves by less than half a level),
// and the weights kept are normalised again. The usual call passes 1 and 255. A radius
// that is not a positive number gives the identity.
void MakeGaussianKernel(TKernel& kernel, double granularity, double maximum, double radius);

// Blurs the rect in place: every row of the rect, then every column, each pass
// t = sum of w[k] * pixel[clamp(j - k)] over the run (the run's end pixels repeat, so
// nothing outside the rect is read), rounded to the nearest level (halves to even) and
// clamped to 0..255. A uniform area keeps its value. Nothing for a radius below 1.
void GaussianBlurRect(TBitmap& bmp, int radius, TRect rect);
// The same on the first byte of each pixel, written to all three; after each pass a
// value above 250 becomes 255, so near-white mask areas snap to fully outside.
void GaussianBlurMaskRect(TBitmap& bmp, int radius, TRect rect);

// The Gaussian blur dialog's operation: GaussianBlurRect with the radius.
struct TGaussianBlurParams {
  int Radius;
};
template <>
struct TParamTable<TGaussianBlurParams> {
  // Beyond 100 the kernel's half-width no longer grows.
  static constexpr std::array Fields{
      IntParam("Radius", &TGaussianBlurParams::Radius, {1, 100}, {1, 30}, 6),
  };
};
void GaussianBlur(TBitmap& bmp, const TGaussianBlurParams& params, TRect rect);

}  // namespace qm
