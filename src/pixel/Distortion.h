#pragma once
// Geometric distortions of 24-bit bitmaps by inverse mapping: every destination pixel
// of the rect looks up where it comes from in the source. Also two row effects
// (emboss, water reflection) that read a source and write a destination.
//
// Sampling: nearest takes the source pixel at the floor of the position; linear (one
// axis) and bilinear (two axes) blend the neighbours with the background colour
// standing in for the neighbours outside the area the routine reads. Blends round to
// nearest (halves to even) and clamp; a bilinear blend rounds each column first, then
// across. Positions are tested as doubles before they become integers, so any
// parameter, however large, is safe. The spiral and the lens count positions from the
// rect's corner: the same rect content gives the same result wherever the rect lies.
//
// Source and destination are 24-bit (other formats: nothing happens, except for the
// skews, which convert). They may be the same bitmap: the result is as if the source
// had been copied first; the ...InPlace companions do just that. They may differ in
// size: the rect is clipped to the destination, and for the emboss, the reflection, the
// trapezia and the lens to the source too; the spiral and the wave take the background
// (or keep the pixel) where they would read beyond the source.
#include <cstdint>

#include "pixel/Params.h"
#include "platform/core/Bitmap.h"
#include "platform/core/Types.h"

namespace qm {

// Emboss: each channel := clamp(P + C / 2 - N), P the source pixel, C the colour's
// channel shifted right by one, N the source pixel at the direction's offset:
// 0 (d, 0), 1 (d, -d), 2 (0, -d), 3 (-d, -d), 4 (-d, 0), 5 (-d, d), 6 (0, d), 7 and
// above (d, d); where that neighbour lies outside the rect, P itself (so C / 2).
// Nothing for a negative direction.
void FilterEmboss(const TBitmap& src, TBitmap& dst, int direction, int depth, TColor color, TRect rect);

// Spiral about the rect's centre (cx, cy) = (left + width div 2, top + height div 2),
// radius R = max(width, height) div 2: a pixel at distance r <= R takes the source at
// its position turned about the centre by sense * (1 - r / R) * strength * pi / 8
// (sense +1 when clockwise); farther pixels map to themselves. The twist depends only
// on the rect's shape, so the same spiral on a moved selection moves with it. Source
// positions outside the source bitmap give the background; the rect is painted with it
// first.
void DistortSpiral(const TBitmap& src, TBitmap& dst, bool clockwise, TRect rect, bool interpolate,
                   TColor background, int strength);
void DistortSpiralInPlace(TBitmap& bmp, bool clockwise, int strength, TRect rect, bool interpolate,
                          TColor background);

// Water reflection: with H the rect's height and d = y - top, row y of the rect takes
// source row y + 1 + round(sin((H - d) * 16 / (d + 1) + n * 2 pi / m) * (d + 24) *
// (H / 16) / H) when it exists, else the colour. Nothing for m = 0.
void FilterReflection(const TBitmap& src, TBitmap& dst, int n, int m, TColor color, TRect rect);

// Wave: rows flag set, row y of the rect takes the source row round(sin((y - top) /
// period * pi) * amplitude + y) over the rect's columns; clear, column x takes the
// source column round(sin((x - left) / period * pi) * amplitude + x). Where that row
// or column does not exist the destination keeps its pixels. Nothing unless
// period >= 1 and amplitude >= 1.
void DistortWave(const TBitmap& src, TBitmap& dst, int period, TRect rect, bool rows, int amplitude);
void DistortWaveInPlace(TBitmap& bmp, int period, int amplitude, TRect rect, bool rows);

// Trapezium: each row of the rect (W wide, H high) is the source row squeezed to a
// width running linearly from W * p1 div 100 on the top row to W * p2 div 100 on the
// bottom row, centred; the rest of the rect is the background. Only the rect's columns
// of the source are read (the columns beside it stand as the background). Rows
// narrower than one pixel stay background. Nothing unless p1 > 0 and p2 > 0 and the
// rect is at least 2 x 2. The vertical form exchanges rows and columns: p1 sizes the
// left edge and p2 the right edge, as percents of the height.
void DistortTrapezoid(const TBitmap& src, TBitmap& dst, int p1, TRect rect, bool interpolate,
                      TColor background, int p2);
void DistortTrapezoidVertical(const TBitmap& src, TBitmap& dst, int p1, TRect rect, bool interpolate,
                              TColor background, int p2);
void DistortTrapezoidInPlace(TBitmap& bmp, int p1, TRect rect, bool interpolate, TColor background, int p2);
void DistortTrapezoidVerticalInPlace(TBitmap& bmp, int p1, TRect rect, bool interpolate, TColor background,
                                     int p2);

// Skew of the whole bitmap: the destination becomes (width + |shift|) x height, filled
// with the background, and row y is the source row moved right by shift * y / (height
// - 1) (by shift * (height - 1 - y) / (height - 1) with the reverse flag); a negative
// shift is the positive one with the reverse flag inverted. The vertical form moves
// columns down and grows the height. Nothing for a shift of 0, a source less than two
// rows high (two columns wide, vertically) or a destination beyond kMaxBitmapSide.
void SkewHorizontal(const TBitmap& src, TBitmap& dst, int shift, bool interpolate, TColor background,
                    bool reverse);
void SkewVertical(const TBitmap& src, TBitmap& dst, int shift, bool interpolate, TColor background,
                  bool reverse);
void SkewHorizontalInPlace(TBitmap& bmp, int shift, bool interpolate, TColor background, bool reverse);
void SkewVerticalInPlace(TBitmap& bmp, int shift, bool interpolate, TColor background, bool reverse);

// Lens: with (hx, hy) = (width div 2, height div 2) and R = min(width, height) *
// strength, a pixel at distance r < R from the rect's centre takes the source at
// (dx * q / r + hx + left, dy * q / r + hy + top), q = (1 / (1 - r / R) - 1) * (R / 2)
// * strength, bilinearly from the rect's pixels (the neighbours outside the rect stand
// as the background); the centre takes the centre; pixels at or beyond R, and those
// whose position leaves the rect, are the background.
void DistortLens(const TBitmap& src, TBitmap& dst, TColor background, TRect rect, double strength);
void DistortLensInPlace(TBitmap& bmp, TColor background, TRect rect, double strength);

// --- The deformation filters' parameters ------------------------------------------------
// Each filter renders the layer afresh from the copy taken before the change (layer
// and source may not be the same bitmap), and a mask, when the layer has one, in place
// with white (hidden) where nothing maps: what shows of the layer follows its pixels.

// Spiral: Amount 1..16 (16 is a full turn), Sense 0 clockwise, 1 counter-clockwise.
struct TSpiralParams {
  int Amount;
  int Sense;
  TColor Background;
};
template <>
struct TParamTable<TSpiralParams> {
  static constexpr std::array Fields{
      IntParam("Amount", &TSpiralParams::Amount, {1, 16}, {1, 16}, 4),
      ChoiceParam("Sense", &TSpiralParams::Sense, 2, 0),
      ColorParam("Background", &TSpiralParams::Background, clWhite),
  };
};
void ApplySpiral(TBitmap& layer, const TBitmap& source, const TSpiralParams& params, TRect rect);
void ApplySpiralToMask(TBitmap& mask, const TSpiralParams& params, TRect rect);

// Wave: Period (half a wavelength) and Amplitude in pixels; Axis 0 moves rows, 1
// columns. Rows or columns whose source lies outside keep the layer's pixels.
struct TWaveParams {
  int Period;
  int Amplitude;
  int Axis;
};
template <>
struct TParamTable<TWaveParams> {
  static constexpr std::array Fields{
      IntParam("Period", &TWaveParams::Period, {3, 60}, {3, 60}, 12),
      IntParam("Amplitude", &TWaveParams::Amplitude, {3, 60}, {3, 60}, 15),
      ChoiceParam("Axis", &TWaveParams::Axis, 2, 0),
  };
};
void ApplyWave(TBitmap& layer, const TBitmap& source, const TWaveParams& params, TRect rect);

// Trapezium: the two edges' sizes in percent (top and bottom on Axis 0, left and right
// on Axis 1). 100 and 100 is the identity: nothing runs.
struct TTrapezoidParams {
  int First;
  int Second;
  int Axis;
  TColor Background;
};
template <>
struct TParamTable<TTrapezoidParams> {
  static constexpr std::array Fields{
      IntParam("First", &TTrapezoidParams::First, {10, 200}, {10, 200}, 100),
      IntParam("Second", &TTrapezoidParams::Second, {10, 200}, {10, 200}, 100),
      ChoiceParam("Axis", &TTrapezoidParams::Axis, 2, 0),
      ColorParam("Background", &TTrapezoidParams::Background, clWhite),
  };
};
inline bool IsIdentity(const TTrapezoidParams& p) { return p.First == 100 && p.Second == 100; }
void ApplyTrapezoid(TBitmap& layer, const TBitmap& source, const TTrapezoidParams& params, TRect rect);
void ApplyTrapezoidToMask(TBitmap& mask, const TTrapezoidParams& params, TRect rect);

// Lens: Amount 1..20, the kernel's strength 1.33 - (Amount + 3) / 20 (1.13 down to 0.18).
struct TLensParams {
  int Amount;
  TColor Background;
};
template <>
struct TParamTable<TLensParams> {
  static constexpr std::array Fields{
      IntParam("Amount", &TLensParams::Amount, {1, 20}, {1, 20}, 5),
      ColorParam("Background", &TLensParams::Background, clWhite),
  };
};
inline double LensStrength(int amount) { return 1.33 - (amount + 3) / 20.0; }
void ApplyLens(TBitmap& layer, const TBitmap& source, const TLensParams& params, TRect rect);
void ApplyLensToMask(TBitmap& mask, const TLensParams& params, TRect rect);

}  // namespace qm
