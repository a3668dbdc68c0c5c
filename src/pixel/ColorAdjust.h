#pragma once
// Point operations on 24-bit bitmaps, and a few small neighbourhood ones. Each works
// in place on the rect (clipped to the bitmap) and does nothing for an empty rect, a
// bitmap that is not 24-bit, or a neutral or out-of-range parameter.
//
// Integer arithmetic truncates toward zero; clamp means "cut to 0..255". Per-channel
// percents are given red, green, blue; the all-channel forms pass one value three
// times. The grey level of a pixel is qm::Luminance.
#include <cstdint>

#include "pixel/Params.h"
#include "platform/core/Bitmap.h"
#include "platform/core/Colors.h"
#include "platform/core/Types.h"

namespace qm {

// --- Tables: every byte goes through a 256-entry table built once per call --------

// p > 0: v + trunc((255 - v) * p / 100); p < 0: v + trunc(v * p / 100); clamped.
void LightenDarkenRect(TBitmap& bmp, int percent, TRect rect);
void LightenDarkenChannelsRect(TBitmap& bmp, int red, int green, int blue, TRect rect);
// v + trunc((v - 128) * p / 100), clamped.
void ContrastRect(TBitmap& bmp, int percent, TRect rect);
void ContrastChannelsRect(TBitmap& bmp, int red, int green, int blue, TRect rect);
// The contrast rule about the pivot, for levels low..high only; other levels keep
// their value. Nothing for percent 0, a pivot outside 0..255, low < 0, high > 255 or
// low >= high.
void ContrastInRangeRect(TBitmap& bmp, int percent, int low, int high, int pivot, TRect rect);
// Moves each channel toward the colour by percent (away from it when negative):
// v + trunc((c - v) * p / 100). Nothing for 0 or outside -100..100.
void TintRect(TBitmap& bmp, TColor color, int percent, TRect rect);
// TintRect on horizontal bands of bandHeight rows, the first starting gap rows below
// the clipped rect's top, the next gap rows after each band. Nothing for a percent
// outside 1..100, a band height below 1 or a negative gap.
void TintRectStripes(TBitmap& bmp, int bandHeight, int gap, TColor color, int percent, TRect rect);
// trunc(255 * (v / 255)^(1 / gamma)), clamped. A channel whose gamma is 0 or 1 (or
// negative, or not a number) keeps its values; nothing when every channel does.
void GammaRect(TBitmap& bmp, TRect rect, double gamma);
void GammaChannelsRect(TBitmap& bmp, TRect rect, double red, double green, double blue);
// v < n gives 0, v > 255 - n gives 255, otherwise (v div n) * n. Nothing for n < 2.
void PosterizeRect(TBitmap& bmp, int step, TRect rect);
// 255 - v.
void InvertRect(TBitmap& bmp, TRect rect);

// --- Per pixel ----------------------------------------------------------------------

// Each channel c := clamp(c + trunc((c - L) * p_c / 100)), L the pixel's luminance
// before the change.
void SaturationRect(TBitmap& bmp, int percent, TRect rect);
void SaturationChannelsRect(TBitmap& bmp, int red, int green, int blue, TRect rect);
// Luminance <= level gives the dark colour, else the light one. Nothing for a level
// outside 1..254.
void ThresholdRect(TBitmap& bmp, int level, TColor dark, TColor light, TRect rect);
// All three bytes := luminance; a grey pixel keeps its value.
void GrayscaleRect(TBitmap& bmp, TRect rect);
// A pixel whose three channels each lie within the tolerance of `from` becomes `to`.
// Nothing for a negative tolerance.
void ReplaceColorRect(TBitmap& bmp, TColor from, TColor to, int tolerance, TRect rect);

// --- Hue (through the integer HSV of ImgUtils) ----------------------------------------

// A pixel within the tolerance of colour a (each channel) takes the hue of colour b and
// keeps its saturation and value. Nothing for a negative tolerance.
void ReplaceHueWithinToleranceRect(TBitmap& bmp, TColor a, TColor b, int tolerance, TRect rect);
// Every pixel takes the hue (taken modulo 360).
void SetHueRect(TBitmap& bmp, int hue, TRect rect);
void SetHueFromColorRect(TBitmap& bmp, TColor color, TRect rect);
// Adds the degrees (modulo 360) to every pixel's hue. Nothing for 0.
void ShiftHueRect(TBitmap& bmp, int degrees, TRect rect);

// --- Random (the program's one generator, drawn on one thread in row order) -----------

// Every byte: clamp(v + Random(amount) - amount div 2). Nothing for amount <= 0.
void AddColorNoiseRect(TBitmap& bmp, int amount, TRect rect);
// One offset Random(amount) - amount div 2 per pixel, added to its three bytes.
// Nothing for amount < 1.
void AddMonoNoiseRect(TBitmap& bmp, int amount, TRect rect);
// Each pixel of the rect takes the source pixel at a random offset (d = amount div 2):
// mode 0 x and y (x drawn first), 1 x only, 2 y only, any other along the rising
// diagonal (sy := y - (sx - x)); the position is clamped to the bitmap. The source
// must have the bitmap's size. Nothing for amount < 2.
void SpreadPixels(TBitmap& bmp, const TBitmap& source, int amount, int mode, TRect rect);
// SpreadPixels from a copy of the bitmap.
void SpreadRect(TBitmap& bmp, int amount, int mode, TRect rect);

// --- Small neighbourhoods ----------------------------------------------------------------

// Pixel (x, y) := pixel ((x div n) * n, (y div n) * n): blocks aligned on the bitmap's
// origin, not the rect's. Nothing for n < 1.
void MosaicRect(TBitmap& bmp, int blockSize, TRect rect);
// Floyd-Steinberg to black and white on the luminance, threshold 128, in place; every
// pixel of the rect is thresholded and error that would leave the rect is dropped.
void DitherBlackWhiteRect(TBitmap& bmp, TRect rect);
// 3 x 3 mean of the unchanged pixels, the rect's edge pixels standing in for the
// neighbours outside the rect.
void BoxBlur3x3Rect(TBitmap& bmp, TRect rect);
// BoxBlur3x3Rect passes times (nothing below 1).
void BoxBlur3x3Passes(TBitmap& bmp, int passes, TRect rect);
// In place, top to bottom and left to right: each pixel is averaged with, by mode,
// 0 the right, lower and lower-right neighbours (divisor 4), 1 the right one, 2 the
// lower one, 3 the lower-right one (divisor 2). On the rect's last column the pixel to
// the left serves as the right one, on its last row the row above (already smoothed)
// as the lower one; where the bitmap has no such pixel the pixel stands in for itself.
// Nothing for other modes.
void DirectionalSmoothRect(TBitmap& bmp, int mode, TRect rect);
// Disabled-glyph look for a whole bitmap: pixels within 7 of the key colour become the
// tint colour, every other pixel the tint table (clamp(i + trunc((c - i) * p / 100)),
// p = min(percent, 100)) applied to the mean of its channels. Nothing for percent < 1.
void GrayTintBitmap(TBitmap& bmp, TColor key, TColor tint, int percent);

// --- Measures ----------------------------------------------------------------------------

// Per channel, the mean (truncated) of the byte values in low..high over the rect; an
// output is written only when its channel has at least one such value.
void AverageChannelsInRange(const TBitmap& bmp, TRect rect, int low, int high, uint8_t& red, uint8_t& green,
                            uint8_t& blue);
// Counts pixels by luminance: dark below low, light above high, middle otherwise. The
// counters are reset only when the clipped rect is not empty.
void CountLuminanceClasses(const TBitmap& bmp, TRect rect, int low, int high, int64_t& dark, int64_t& middle,
                           int64_t& light);

// --- The adjustment dialogs' operations ---------------------------------------------------
//
// Each is one parameter struct with its range table, and a routine that does nothing
// for values outside the hard ranges or at the neutral values.

// Brightness, then contrast, on the channels chosen: 80 percent of each slider value,
// rounded, is the percent of LightenDarkenChannelsRect and of ContrastChannelsRect.
struct TBrightnessContrastParams {
  int Brightness;
  int Contrast;
  int Channel;  // a TChannelChoice
};
template <>
struct TParamTable<TBrightnessContrastParams> {
  static constexpr std::array Fields{
      IntParam("Brightness", &TBrightnessContrastParams::Brightness, {-100, 100}, {-100, 100}, 0, 0),
      IntParam("Contrast", &TBrightnessContrastParams::Contrast, {-100, 100}, {-100, 100}, 0, 0),
      ChoiceParam("Channel", &TBrightnessContrastParams::Channel, kChannelChoiceCount, chAll),
  };
};
void AdjustBrightnessContrast(TBitmap& bmp, const TBrightnessContrastParams& params, TRect rect);

// The hue shifted by Hue degrees on every channel (the channel choice does not apply
// to it), then SaturationChannelsRect with Saturation on the channels chosen.
struct THueSaturationParams {
  int Hue;
  int Saturation;
  int Channel;  // a TChannelChoice
};
template <>
struct TParamTable<THueSaturationParams> {
  static constexpr std::array Fields{
      IntParam("Hue", &THueSaturationParams::Hue, {-360, 360}, {-180, 180}, 0, 0),
      IntParam("Saturation", &THueSaturationParams::Saturation, {-100, 100}, {-100, 100}, 0, 0),
      ChoiceParam("Channel", &THueSaturationParams::Channel, kChannelChoiceCount, chAll),
  };
};
void AdjustHueSaturation(TBitmap& bmp, const THueSaturationParams& params, TRect rect);

// LightenDarkenChannelsRect with a percent per channel: toward white above 0, toward
// black below.
struct TColorBalanceParams {
  int Red;
  int Green;
  int Blue;
};
template <>
struct TParamTable<TColorBalanceParams> {
  static constexpr std::array Fields{
      IntParam("Red", &TColorBalanceParams::Red, {-100, 100}, {-100, 100}, 0, 0),
      IntParam("Green", &TColorBalanceParams::Green, {-100, 100}, {-100, 100}, 0, 0),
      IntParam("Blue", &TColorBalanceParams::Blue, {-100, 100}, {-100, 100}, 0, 0),
  };
};
void AdjustColorBalance(TBitmap& bmp, const TColorBalanceParams& params, TRect rect);

// The colour replacement: the pixels within the tolerance of From (each channel) become
// To (ReplaceColorRect).
struct TReplaceColorParams {
  TColor From;
  TColor To;
  int Tolerance;
};
template <>
struct TParamTable<TReplaceColorParams> {
  static constexpr std::array Fields{
      ColorParam("From", &TReplaceColorParams::From, clBlack),
      ColorParam("To", &TReplaceColorParams::To, clWhite),
      IntParam("Tolerance", &TReplaceColorParams::Tolerance, {0, 255}, {0, 100}, 30),
  };
};
void ReplaceColor(TBitmap& bmp, const TReplaceColorParams& params, TRect rect);

// The colour of a hue (taken modulo 360) at full saturation and value: what the hue
// bars of the dialogs show at that column.
TColor HueColor(int hue);

// The hue range: the pixels within the tolerance of From take the hue Hue and keep their
// saturation and value (ReplaceHueWithinToleranceRect with the HueColor of Hue).
struct TReplaceHueParams {
  TColor From;
  int Hue;
  int Tolerance;
};
template <>
struct TParamTable<TReplaceHueParams> {
  static constexpr std::array Fields{
      ColorParam("From", &TReplaceHueParams::From, RGB(0, 255, 255)),
      IntParam("Hue", &TReplaceHueParams::Hue, {0, 359}, {0, 359}, 0),
      IntParam("Tolerance", &TReplaceHueParams::Tolerance, {0, 255}, {0, 200}, 30),
  };
};
void ReplaceHue(TBitmap& bmp, const TReplaceHueParams& params, TRect rect);

// The hue variation: colourise (GrayscaleRect, then TintRect with the colour at 12 %,
// ContrastRect 17 %, SaturationRect 33 %), or give every pixel the colour's hue
// (SetHueFromColorRect).
enum THueVariation : uint8_t { hvColorize = 0, hvHue = 1 };
void VaryHueRect(TBitmap& bmp, TColor color, THueVariation method, TRect rect);

// Dark tones 0..DarkThreshold move away from that threshold (toward it below 0) by
// DarkIntensity percent, then light tones LightThreshold..255 away from theirs by
// LightIntensity: ContrastInRangeRect twice, in one pass. The thresholds have no
// neutral value; both intensities at 0 leave the image as it is.
struct TLevelsParams {
  int DarkThreshold;
  int DarkIntensity;
  int LightThreshold;
  int LightIntensity;
};
template <>
struct TParamTable<TLevelsParams> {
  static constexpr std::array Fields{
      IntParam("DarkThreshold", &TLevelsParams::DarkThreshold, {10, 120}, {10, 120}, 100),
      IntParam("DarkIntensity", &TLevelsParams::DarkIntensity, {-100, 100}, {-100, 100}, 0, 0),
      IntParam("LightThreshold", &TLevelsParams::LightThreshold, {130, 240}, {130, 240}, 150),
      IntParam("LightIntensity", &TLevelsParams::LightIntensity, {-100, 100}, {-100, 100}, 0, 0),
  };
};
void AdjustLevels(TBitmap& bmp, const TLevelsParams& params, TRect rect);

// GammaChannelsRect with Gamma on the channels chosen, 1 on the others.
struct TGammaParams {
  double Gamma;
  int Channel;  // a TChannelChoice
};
template <>
struct TParamTable<TGammaParams> {
  static constexpr std::array Fields{
      DoubleParam("Gamma", &TGammaParams::Gamma, {0.1, 3}, {0.1, 3}, 1.0, 1.0),
      ChoiceParam("Channel", &TGammaParams::Channel, kChannelChoiceCount, chAll),
  };
};
void AdjustGamma(TBitmap& bmp, const TGammaParams& params, TRect rect);

// TintRect toward Color by Opacity percent, away from it when Invert is set.
struct TColorFilterParams {
  int Opacity;
  TColor Color;
  bool Invert;
};
template <>
struct TParamTable<TColorFilterParams> {
  static constexpr std::array Fields{
      IntParam("Opacity", &TColorFilterParams::Opacity, {1, 100}, {10, 100}, 30),
      ColorParam("Color", &TColorFilterParams::Color, RGB(128, 0, 0)),
      BoolParam("Invert", &TColorFilterParams::Invert, false),
  };
};
void ApplyColorFilter(TBitmap& bmp, const TColorFilterParams& params, TRect rect);

// ThresholdRect: a luminance at or below Threshold gives Color1, above it Color2.
struct TTwoColorParams {
  int Threshold;
  TColor Color1;
  TColor Color2;
};
template <>
struct TParamTable<TTwoColorParams> {
  static constexpr std::array Fields{
      IntParam("Threshold", &TTwoColorParams::Threshold, {1, 254}, {1, 254}, 128),
      ColorParam("Color1", &TTwoColorParams::Color1, clBlack),
      ColorParam("Color2", &TTwoColorParams::Color2, clWhite),
  };
};
void ApplyTwoColorThreshold(TBitmap& bmp, const TTwoColorParams& params, TRect rect);

// PosterizeRect with Step.
struct TPosterizeParams {
  int Step;
};
template <>
struct TParamTable<TPosterizeParams> {
  static constexpr std::array Fields{
      IntParam("Step", &TPosterizeParams::Step, {2, 255}, {2, 120}, 50),
  };
};
void ApplyPosterize(TBitmap& bmp, const TPosterizeParams& params, TRect rect);

// AddMonoNoiseRect (one offset per pixel) when Uniform, else AddColorNoiseRect (one
// per byte), drawn from the program's generator.
struct TNoiseParams {
  int Amount;
  bool Uniform;
};
template <>
struct TParamTable<TNoiseParams> {
  static constexpr std::array Fields{
      IntParam("Amount", &TNoiseParams::Amount, {1, 100}, {1, 100}, 20),
      BoolParam("Uniform", &TNoiseParams::Uniform, false),
  };
};
void AddNoise(TBitmap& bmp, const TNoiseParams& params, TRect rect);

// The orders of SwapChannelsRect: each names the old channels that become red, green
// and blue.
enum TChannelOrder : uint8_t {
  coRBG = 0,  // red, blue, green
  coGRB = 1,
  coGBR = 2,
  coBRG = 3,
  coBGR = 4,  // red and blue exchanged
};
constexpr int kChannelOrderCount = 5;
// Every pixel's channels permuted by the order. Nothing for another code.
void SwapChannelsRect(TBitmap& bmp, int order, TRect rect);

struct TSwapChannelsParams {
  int Order;  // a TChannelOrder
};
template <>
struct TParamTable<TSwapChannelsParams> {
  static constexpr std::array Fields{
      ChoiceParam("Order", &TSwapChannelsParams::Order, kChannelOrderCount, coRBG),
  };
};
void SwapChannels(TBitmap& bmp, const TSwapChannelsParams& params, TRect rect);

}  // namespace qm
