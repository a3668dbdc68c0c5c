#pragma once
// The batch automation's settings: what the pages of its dialog hold, as plain values
// (a run takes them once, at its start), and how they are kept in section [Automate]
// of the settings file (with key Copyright of [Copyright]). No widget: the dialog
// shows these values and reads them back.
#include <string>

#include "platform/core/Types.h"

namespace qm {

class TIniFile;

// The output formats, by their place in the dialog's list.
enum TBatchFormat : int { bfJpeg = 0, bfBmp, bfGif, bfTga, bfPng, bfTif };
constexpr int kBatchFormatCount = 6;

// The colour counts, by their place in the dialog's list (not used for JPEG).
enum TBatchColors : int { bcMaximum = 0, bc256, bc16, bcBlackWhite, bcDithered };
constexpr int kBatchColorsCount = 5;

enum TBatchRotation : int { brClockwise = 0, brAnticlockwise, brHalfTurn };
enum TBatchFlip : int { bfVertical = 0, bfHorizontal };

// The limits of the fields.
constexpr double kBatchMinSize = 10, kBatchMaxPixels = 10000, kBatchMaxPercent = 500;
constexpr double kBatchPixelWidth = 640, kBatchPixelHeight = 480;
constexpr int kBatchMinQuality = 10, kBatchMaxQuality = 100, kBatchQuality = 90;
constexpr int kBatchMinFrame = 1, kBatchMaxFrame = 500;
constexpr int kBatchMaxCanvas = 10000;
// A canvas side below this is the image's own (with its shadow).
constexpr int kBatchCanvasOwnSide = 10;
constexpr int kBatchMinShadow = 5, kBatchMaxShadow = 15;
constexpr double kBatchMinDpi = 10, kBatchMaxDpi = 20000, kBatchDpi = 72;
constexpr int kBatchNeutralGamma = 10;  // gamma x 10
constexpr int kBatchMinGamma = 1, kBatchMaxGamma = 30;
constexpr int kBatchChannelCount = 7;   // the shared channel code 0..6
constexpr TColor kBatchFilterColor = RGB(128, 0, 0);

struct TBatchSettings {
  // Files
  std::string SourceFolder, ExportFolder;
  int OutputFormat = bfJpeg;
  int JpegQuality = kBatchQuality;
  int ColorCount = bcMaximum;
  bool Sequence = false;
  std::string SequenceName = "Image";
  // Image: size (in pixels, or percent of the image), frame, canvas, resolution
  bool Resize = false;
  double Width = kBatchPixelWidth, Height = kBatchPixelHeight;
  bool Percent = false;
  bool KeepProportions = true;
  bool Optimize = true;  // filtered resampling
  bool Frame = false;
  int FrameWidth = 15;
  TColor FrameColor = clWhite;
  bool FrameOutside = false;
  bool Canvas = false;
  int CanvasWidth = 0, CanvasHeight = 0;
  TColor CanvasColor = clWhite;
  std::string Pattern;
  int Position = 4;  // the image on the canvas: 0 top left .. 8 bottom right
  bool Shadow = false;
  int ShadowWidth = 7;
  bool ForceDpi = false;
  double Dpi = kBatchDpi;
  // Adjustments: percents -100..100, gamma x 10, each with its channel code
  int Brightness = 0, BrightnessChannel = 0;
  int Contrast = 0, ContrastChannel = 0;
  int Saturation = 0, SaturationChannel = 0;
  int Gamma = kBatchNeutralGamma, GammaChannel = 0;
  // Filters
  bool Soften = false, Sharpen = false, Blur = false, Relief = false, Noise = false, Scanlines = false;
  bool InnerBlur = false, SharpEdges = false, Negative = false;
  bool ColorFilter = false;
  TColor FilterColor = kBatchFilterColor;
  int FilterOpacity = 30;
  bool FilterInvert = false;
  // Transformations
  bool Rotate = false;
  int Rotation = brClockwise;
  bool Flip = false;
  int FlipMode = bfVertical;
  // The copyright stamp (its own settings are the copyright form's)
  bool Copyright = false;

  bool operator==(const TBatchSettings&) const = default;
};

// Reads [Automate] and [Copyright] Copyright into s, whose values are the controls' as
// they stand: a key that is missing, reads "ERR!" or is unreadable gives the key's
// default, or for some keys (the frame, canvas and shadow widths, the colours, the
// filter's opacity, the sequence's name, the export folder and the pattern) keeps the
// value s holds. The source folder falls back to openFolder when the key names no
// existing folder. The unit is read before the sizes, whose limits and defaults it
// decides. Decimal numbers read with a point or a comma.
void ReadBatchSettings(const TIniFile& ini, TBatchSettings& s, const std::string& openFolder);
// Writes every key, in the dialog's order (the export folder under the key "Ouput",
// as the program always spelt it), then [Copyright] Copyright; decimal numbers with a
// point. Into ini only: the caller saves the file.
void WriteBatchSettings(TIniFile& ini, const TBatchSettings& s);

// The text a size field shows (and the settings keep): a whole number of pixels, or a
// percent with two decimals.
std::string BatchSizeText(double value, bool percent);
// The resolution field's text, with two decimals.
std::string BatchDpiText(double dpi);
// A decimal number written with a point or a comma (whatever the locale's separator),
// def when unreadable; then clamped into min..max.
double ReadBatchDecimal(const std::string& text, double def, double min, double max);

}  // namespace qm
