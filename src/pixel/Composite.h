#pragma once
// Artistic filters made of fixed chains of simpler kernels, and a few fills and frames
// built on the colour tint. Every routine works on a 24-bit bitmap over a rect that it
// clips to the bitmap first; nothing happens for an empty rect or a bitmap that is not
// 24-bit. Where a chain needs the image as it was before the command, the caller passes
// a copy of it ("copy", the bitmap's size; otherwise nothing happens); the copy is only
// read. Temporary bitmaps live for one call.
//
// Notation of the chains' comments: a self-blend (dx, dy) p copies the bitmap onto
// itself shifted by (dx, dy) (pixel (x, y) takes (x - dx, y - dy)) at p percent over the
// rect, as if from a copy; a keyed copy skips the key colour exactly.
//
// Chains that spread or add noise draw from the program's one random generator.
#include <array>
#include <cstdint>

#include "pixel/Params.h"
#include "platform/core/Bitmap.h"
#include "platform/core/Types.h"

namespace qm {

// --- The edge sketch --------------------------------------------------------------------

// A two-colour drawing of the edges: first the source itself is smoothed
// (DirectionalSmoothRect mode 0) and its contrast raised by the percent (so the source
// is changed, on purpose: the filters built on it smooth the layer too); then convolution
// preset 9 from it into dst (made the source's size), or in place on the source when
// dst is null; then on that target luminance <= 250 becomes the dark colour and the
// rest the light one, and SpreadRect(spread, mode 0) scatters it.
void DrawEdgeSketch(TBitmap* dst, TBitmap& src, TColor dark, TRect rect, int spread, int contrast, TColor light);

// --- Fills, frames and blurs --------------------------------------------------------------

// Tints four bands of `width` pixels inside the rect toward the colour (TintRect at the
// percent): the top and bottom bands across the whole width, the left and right bands
// between them. Nothing for a width below 1.
void DrawImageFrame(TBitmap& bmp, TRect rect, TColor color, int percent, int width);
// Paints column i (row i when vertical) with hue i * 360 div width (height) at full
// saturation and value.
void FillHueSpectrum(TBitmap& bmp, bool vertical);
// Gradient of tints: mode 0 and 2 run left to right one column at a time, 1 and 3 top to
// bottom one row at a time; 4 and 5 are 0 and 1 with the two ends exchanged. Step i of n
// (n the width or height) tints with colour start + (end - start) * i / n per channel
// at percent startPercent + (endPercent - startPercent) * i / n (integer arithmetic),
// as TintRect would. Nothing for another mode.
void FillGradientRect(TBitmap& bmp, TColor startColor, int startPercent, TRect rect, int mode, int endPercent,
                      TColor endColor);
// Tints the one-pixel ring r at the percent: its top line but the first pixel in c1, its
// left column in c2, its right column between the top and bottom lines in c3, its bottom
// line but the first pixel in c4. r is not clipped first: the ring may lie partly outside.
void DrawBevelRing(TBitmap& bmp, TRect r, TColor c1, TColor c2, TColor c3, TColor c4, int percent);
// A 3-D border of `width` rings around the rect, each one pixel farther out: raised
// white, light grey, dark grey, black; sunken the reverse. Nothing for an empty rect or
// a width below 1.
void FilterRelief3D(TBitmap& bmp, TRect rect, int width, bool sunken, int percent);
// BoxBlur3x3Rect n times.
void ApplyBlurPasses(TBitmap& bmp, int n, TRect rect);
// Blurs only a band of the width along the rect's edges: the rect is blurred, then its
// inside, shrunk by the band, comes back from the copy. Nothing for a negative band.
void BlurRectBorder(TBitmap& bmp, const TBitmap& copy, int band, TRect rect);
// FilterMotionBlur mode 1, then mode 2 from a copy of the result.
void MotionBlurTwoPass(TBitmap& bmp, TRect rect);

// --- Filters ------------------------------------------------------------------------------

// The copy blended in twice at 33 percent, moved by (-4, -4) and (-8, -8).
void FilterFragment(TBitmap& bmp, const TBitmap& copy, TRect rect);
// Ten copies moved by 3k pixels (k = -5..5 but 0) blended in at 20 percent each, then a
// 3 x 3 blur: mode 1 horizontal, 2 and above vertical, 0 diagonal. Nothing for a
// negative mode.
void FilterMotionBlur(TBitmap& bmp, const TBitmap& copy, int mode, TRect rect);
// Sharpens the image near its edges only.
void FilterSharpEdges(TBitmap& bmp, const TBitmap& copy, TRect rect);
// Blurs the image away from its edges, which stay sharp.
void BlurThroughMask(TBitmap& bmp, const TBitmap& copy, TRect rect);
// Edge sketches in place: black on white; white on black, spread; graphite greys.
void FilterContours(TBitmap& bmp, TRect rect);
void FilterChalk(TBitmap& bmp, TRect rect);
void FilterGraphite(TBitmap& bmp, TRect rect);
// The image's colours, desaturated, along its edges on white.
void FilterColorContours(TBitmap& bmp, const TBitmap& copy, TRect rect);
// Black outlines over the (smoothed) image.
void FilterInkOutlines(TBitmap& bmp, TRect rect);
// Thresholded image with its outlines.
void FilterPhotocopy(TBitmap& bmp, TRect rect);
// Grey, slightly embossed, grainy paper.
void FilterPaper(TBitmap& bmp, TRect rect);
// The copy waved along rows, then along columns (period and amplitude 4).
void FilterGlass(TBitmap& bmp, const TBitmap& copy, TRect rect);
// Scattered colours smeared up-right with the edges drawn back; the stripes flag adds
// faint dark stripes.
void FilterPastel(TBitmap& bmp, const TBitmap& copy, bool stripes, TRect rect);
// Charcoal on paper: black on light grey with the flag, else brown on cream.
void FilterCharcoal(TBitmap& bmp, bool black, TRect rect);
// Pencil shading: style 0 and 1 hatched in stripes of 3 and 2, other styles in a grid;
// the image thresholded at the level (clamped to 1..20) to a grey set by the density
// (clamped to 0..15: 15 black, 0 white), the copy kept along the hatched edges.
void FilterPencil(TBitmap& bmp, const TBitmap& copy, int style, int level, int density, TRect rect);
// Ink drawing: thresholded, striped and spread, with doubled outlines.
void FilterInk(TBitmap& bmp, TRect rect);
// Dithered black and white, smeared up-right, with grain.
void FilterBlackPencil(TBitmap& bmp, TRect rect);
// The copy stays sharp at the rect's centre and blurs toward its edges.
void FilterRadialBlur(TBitmap& bmp, const TBitmap& copy, TRect rect);
// Blends the colour at the percent through a cloud texture (seed the generator first to
// repeat it).
void FilterMist(TBitmap& bmp, TColor color, int percent, TRect rect);
void FilterSmear(TBitmap& bmp, TRect rect);
void FilterOilPaint(TBitmap& bmp, TRect rect);
void FilterPaletteKnife(TBitmap& bmp, TRect rect);
void FilterWatercolor(TBitmap& bmp, TRect rect);
void FilterWatercolorFinish(TBitmap& bmp, TRect rect);
void FilterComicStrip(TBitmap& bmp, TRect rect);
void FilterCrystallize(TBitmap& bmp, TRect rect);

// --- The artistic dialogs' parameter sets ------------------------------------------

// Colour pencils: FilterPencil from the copy taken before the change with the paper
// Texture (coarse, fine grain, squares), the darkest tones' Intensity as its density
// (0 white .. 15 black) and Threshold as its level.
struct TPencilParams {
  int Texture;
  int Intensity;
  int Threshold;
};
template <>
struct TParamTable<TPencilParams> {
  static constexpr std::array Fields{
      ChoiceParam("Texture", &TPencilParams::Texture, 3, 0),
      IntParam("Intensity", &TPencilParams::Intensity, {0, 15}, {0, 15}, 12),
      IntParam("Threshold", &TPencilParams::Threshold, {1, 20}, {1, 20}, 3),
  };
};
void ApplyPencil(TBitmap& bmp, const TBitmap& source, const TPencilParams& params, TRect rect);

// The gradient's directions, in the order of the dialog's choices.
enum TGradientDirection : uint8_t { gdLeftRight = 0, gdTopBottom = 1, gdRightLeft = 2, gdBottomTop = 3 };

// A linear gradient tinting the rect from Color1 at Opacity1 to Color2 at Opacity2
// (FillGradientRect, mode Direction + 2); with Style 1 (one colour) Color1 fades from
// its opacity to nothing and Color2 is not used.
struct TGradientParams {
  TColor Color1;
  int Opacity1;
  TColor Color2;
  int Opacity2;
  int Direction;  // a TGradientDirection
  int Style;      // 0 two colours, 1 one colour
};
template <>
struct TParamTable<TGradientParams> {
  static constexpr std::array Fields{
      ColorParam("Color1", &TGradientParams::Color1, clBlack),
      IntParam("Opacity1", &TGradientParams::Opacity1, {0, 100}, {0, 100}, 50),
      ColorParam("Color2", &TGradientParams::Color2, clWhite),
      IntParam("Opacity2", &TGradientParams::Opacity2, {0, 100}, {0, 100}, 50),
      ChoiceParam("Direction", &TGradientParams::Direction, 4, gdLeftRight),
      ChoiceParam("Style", &TGradientParams::Style, 2, 0),
  };
};
void ApplyGradient(TBitmap& bmp, const TGradientParams& params, TRect rect);

}  // namespace qm
