#include "devices/batch/BatchPipeline.h"

#include <cmath>
#include <new>

#include "dialogs/command/SizeUnits.h"
#include "pixel/Blend.h"
#include "pixel/ColorAdjust.h"
#include "pixel/Composite.h"
#include "pixel/Convolution.h"
#include "pixel/ImgUtils.h"
#include "pixel/PixelFormat.h"
#include "pixel/RectUtils.h"
#include "pixel/Rotation.h"
#include "pixel/Shadow.h"
#include "platform/texts/Format.h"
#include "platform/texts/TextUtils.h"

namespace qm {
namespace {

constexpr TRect kWhole = UnboundedRect;

// The convolution presets of the fixed filters.
constexpr int kSoftenPreset = 1, kSharpenPreset = 2, kReliefPreset = 6;
constexpr int kNoiseAmount = 15;
constexpr int kScanlinePercent = 40;
constexpr int kShadowOpacity = 70;
constexpr int kThresholdLevel = 128;

void AdjustColors(TBitmap& bmp, const TBatchSettings& s, const TBatchStop& stop, bool& stopped) {
  int r = 0, g = 0, b = 0;
  if (s.Gamma != kBatchNeutralGamma) {
    double gr = 1, gg = 1, gb = 1;
    SplitByChannelFloat(gr, gg, gb, s.GammaChannel, s.Gamma / 10.0);
    GammaChannelsRect(bmp, kWhole, gr, gg, gb);
    if ((stopped = stop())) return;
  }
  if (s.Saturation != 0) {
    SplitByChannel(r, g, b, s.SaturationChannel, s.Saturation);
    SaturationChannelsRect(bmp, r, g, b, kWhole);
    if ((stopped = stop())) return;
  }
  if (s.Brightness != 0) {
    SplitByChannel(r, g, b, s.BrightnessChannel, s.Brightness);
    LightenDarkenChannelsRect(bmp, r, g, b, kWhole);
    if ((stopped = stop())) return;
  }
  if (s.Contrast != 0) {
    SplitByChannel(r, g, b, s.ContrastChannel, s.Contrast);
    ContrastChannelsRect(bmp, r, g, b, kWhole);
    if ((stopped = stop())) return;
  }
}

// Rows 0, 2, 4... darkened: the first row alone, then one band of every two from row 2.
void DarkenScanlines(TBitmap& bmp) {
  TintRect(bmp, clBlack, kScanlinePercent, TRect{kWhole.Left, 0, kWhole.Right, 1});
  TintRectStripes(bmp, 1, 1, clBlack, kScanlinePercent, TRect{kWhole.Left, 1, kWhole.Right, kWhole.Bottom});
}

// The image on a canvas of the settings' size (a side below 10 is the image's own plus
// the shadow), placed by the position, over the colour and the pattern, with its
// shadow. Nothing when the canvas is the image's size already.
void PlaceOnCanvas(TBitmap& bmp, const TBatchSettings& s, const TBatchPattern& pattern) {
  const int shadow = s.Shadow ? s.ShadowWidth : 0;
  int cw = s.CanvasWidth, ch = s.CanvasHeight;
  if (cw < kBatchCanvasOwnSide) cw = bmp.Width() + shadow;
  if (ch < kBatchCanvasOwnSide) ch = bmp.Height() + shadow;
  if (cw == bmp.Width() && ch == bmp.Height()) return;
  TBitmap canvas(cw, ch, pf24bit, s.CanvasColor);
  TRect r{0, 0, bmp.Width() + shadow, bmp.Height() + shadow};
  AlignRectInRect(r, TRect{0, 0, cw, ch}, TAlignment(std::clamp(s.Position, 0, 8)));
  if (!pattern.Bitmap.Empty()) FillRectWithPattern(pattern.Bitmap, canvas, 0, 0, kWhole, 100, pattern.Key, 0);
  CopyBitmap24At(bmp, canvas, r.Left, r.Top);
  if (shadow > 0) {
    r.Right -= shadow;
    r.Bottom -= shadow;
    DrawBitmapShadow(canvas, r, shadow, kShadowOpacity, true);
  }
  bmp = std::move(canvas);
}

}  // namespace

std::string GetOutputExtension(int format) {
  static const char* const kExtensions[kBatchFormatCount] = {".jpg", ".bmp", ".gif", ".tga", ".png", ".tif"};
  return format >= 0 && format < kBatchFormatCount ? kExtensions[format] : kExtensions[0];
}

std::string BatchOutputName(const TBatchSettings& s, const std::string& listedName, int index) {
  const std::string ext = GetOutputExtension(s.OutputFormat);
  if (s.Sequence) return Format("%s%.3d", {s.SequenceName, index}) + ext;
  const size_t dot = listedName.rfind('.');
  return (dot == std::string::npos ? listedName : listedName.substr(0, dot)) + ext;
}

TResampleFilter ChooseResampleFilter(int w, int h, int W, int H) { return AutomaticFilter(w, h, W, H); }

TBatchSize BatchTargetSize(const TBatchSettings& s, int w, int h) {
  TBatchSize size{w, h};
  if (s.Percent) {
    size.Width = UnitToPixels(s.Width, suPercent, w, kDefaultResolution);
    size.Height = UnitToPixels(s.Height, suPercent, h, kDefaultResolution);
  } else if (s.KeepProportions) {
    FitSizeProportional(size.Width, size.Height, int(std::trunc(s.Width)), int(std::trunc(s.Height)));
  } else {
    size.Width = int(std::trunc(s.Width));
    size.Height = int(std::trunc(s.Height));
  }
  // 10 % of 4 pixels rounds to nothing: the image keeps one.
  size.Width = std::max(size.Width, 1);
  size.Height = std::max(size.Height, 1);
  return size;
}

bool RunBatchChain(TBitmap& bmp, const TBatchSettings& s, const TBatchPattern& pattern, const TBatchStop& stop) {
  const auto step = [&stop](bool run, const auto& op) {
    if (!run) return false;
    op();
    return stop();
  };
  if (step(s.Resize, [&] {
        const TBatchSize size = BatchTargetSize(s, bmp.Width(), bmp.Height());
        if (s.Optimize && size.Width > 2 && size.Height > 2) {
          const TResampleFilter filter = ChooseResampleFilter(bmp.Width(), bmp.Height(), size.Width, size.Height);
          if (!Resample(bmp, size.Width, size.Height, filter, bmp)) throw std::bad_alloc();
        } else {
          ResizeBitmap(size.Width, size.Height, bmp);
        }
      }))
    return false;
  bool stopped = false;
  AdjustColors(bmp, s, stop, stopped);
  if (stopped) return false;
  if (step(s.ColorFilter, [&] { TintRect(bmp, s.FilterColor, s.FilterInvert ? -s.FilterOpacity : s.FilterOpacity, kWhole); }) ||
      step(s.Soften, [&] { ApplyConvolutionPresetInPlace(bmp, kSoftenPreset, kWhole); }) ||
      step(s.Sharpen, [&] { ApplyConvolutionPresetInPlace(bmp, kSharpenPreset, kWhole); }) ||
      step(s.Blur, [&] { BoxBlur3x3Rect(bmp, kWhole); }) ||
      step(s.Relief, [&] { ApplyConvolutionPresetInPlace(bmp, kReliefPreset, kWhole); }) ||
      step(s.Noise, [&] { AddMonoNoiseRect(bmp, kNoiseAmount, kWhole); }) ||
      step(s.Scanlines, [&] { DarkenScanlines(bmp); }) ||
      step(s.InnerBlur, [&] { BlurThroughMask(bmp, bmp.Clone(), kWhole); }) ||
      step(s.SharpEdges, [&] { FilterSharpEdges(bmp, bmp.Clone(), kWhole); }) ||
      step(s.Negative, [&] { InvertRect(bmp, kWhole); }) ||
      step(s.Frame, [&] { AddImageBorder(bmp, s.FrameWidth, s.FrameColor, s.FrameOutside); }) ||
      step(s.Canvas, [&] { PlaceOnCanvas(bmp, s, pattern); }) ||
      step(s.Rotate, [&] {
        if (s.Rotation == brHalfTurn) RotateBitmap180(bmp);
        else RotateBitmap90(bmp, s.Rotation == brClockwise);
      }) ||
      step(s.Flip, [&] {
        if (s.FlipMode == bfVertical) FlipBitmapVertical(bmp);
        else FlipBitmapHorizontal(bmp);
      }))
    return false;
  return true;
}

void FinishBatchImage(TBitmap& bmp, const TBatchSettings& s, const TBatchStamp& stamp) {
  if (stamp.Settings && !stamp.Settings->Text.empty())
    DrawCopyrightStamp(*stamp.Settings, bmp, nullptr, stamp.FileName, stamp.Date);
  if (s.OutputFormat == bfJpeg) return;
  switch (s.ColorCount) {
    case bc256: ConvertBitmapToIndexed(bmp, 256, true, true); break;
    case bc16: ConvertBitmapToIndexed(bmp, 16, true, true); break;
    case bcBlackWhite:
    case bcDithered:
      if (s.ColorCount == bcDithered) DitherBlackWhiteRect(bmp, kWhole);
      ThresholdRect(bmp, kThresholdLevel, clBlack, clWhite, kWhole);
      ConvertBitmapToIndexed(bmp, 2, false, false);
      break;
    default: break;
  }
}

uint32_t BatchNoiseSeed(int index) {
  // A step of a 32-bit mix (the golden ratio's multiplier) spreads neighbouring indices
  // far apart in the generator's sequence.
  uint32_t x = uint32_t(index) * 0x9E3779B9u + 0x2545F491u;
  x ^= x >> 16;
  x *= 0x85EBCA6Bu;
  x ^= x >> 13;
  return x;
}

}  // namespace qm
