#include "devices/batch/BatchSettings.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <filesystem>
#include <string_view>

#include "platform/texts/IniFile.h"
#include "platform/texts/TextUtils.h"

namespace qm {
namespace {

constexpr std::string_view kSection = "Automate";
constexpr std::string_view kCopyrightSection = "Copyright";
constexpr std::string_view kMissing = "ERR!";

bool IsExistingFolder(const std::string& path) {
  std::error_code ec;
  return !path.empty() && std::filesystem::is_directory(path, ec);
}

bool IsExistingFile(const std::string& path) {
  std::error_code ec;
  return !path.empty() && std::filesystem::is_regular_file(path, ec);
}

// A decimal number in C form: digits with an optional sign, fraction and exponent.
bool ParseDecimal(std::string_view t, double& out) {
  std::string c(Trim(t));
  for (char& ch : c)
    if (ch == ',') ch = '.';
  if (c.empty()) return false;
  const char* first = c.data();
  if (*first == '+') ++first;
  double v = 0;
  const auto r = std::from_chars(first, c.data() + c.size(), v, std::chars_format::general);
  if (r.ec != std::errc() || r.ptr != c.data() + c.size() || !std::isfinite(v)) return false;
  out = v;
  return true;
}

std::string FixedText(double v, int decimals) {
  char buf[64];
  const auto r = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::fixed, decimals);
  return std::string(buf, r.ptr);
}

// The keys as read: "ERR!" for a missing key.
class TReader {
 public:
  explicit TReader(const TIniFile& ini) : ini_(ini) {}
  std::string Text(std::string_view key, std::string_view section = kSection) const {
    return ini_.ReadString(section, key, kMissing);
  }
  bool Present(std::string_view key) const { return Text(key) != kMissing; }
  // Checked exactly for "1".
  bool Bool(std::string_view key, std::string_view section = kSection) const { return Text(key, section) == "1"; }
  // Checked unless "0".
  bool BoolOn(std::string_view key) const { return Text(key) != "0"; }
  int Int(std::string_view key, int def, int min, int max) const { return StrToIntClamped(Text(key), def, min, max); }
  TColor Color(std::string_view key, TColor current) const { return HexStrToColor(Text(key), current, true); }

 private:
  const TIniFile& ini_;
};

}  // namespace

double ReadBatchDecimal(const std::string& text, double def, double min, double max) {
  double v = def;
  if (!ParseDecimal(text, v)) v = def;
  return std::clamp(v, min, max);
}

std::string BatchSizeText(double value, bool percent) {
  return percent ? FixedText(value, 2) : FixedText(std::nearbyint(value), 0);
}

std::string BatchDpiText(double dpi) { return FixedText(dpi, 2); }

void ReadBatchSettings(const TIniFile& ini, TBatchSettings& s, const std::string& openFolder) {
  const TReader r(ini);
  const std::string source = r.Text("Source");
  s.SourceFolder = IsExistingFolder(source) ? source : openFolder;
  if (const std::string out = r.Text("Ouput"); IsExistingFolder(out)) s.ExportFolder = out;
  s.OutputFormat = r.Int("OutputFormat", bfJpeg, 0, kBatchFormatCount - 1);
  s.JpegQuality = r.Int("JpgCompression", kBatchQuality, kBatchMinQuality, kBatchMaxQuality);
  s.ColorCount = r.Int("ColorCount", bcMaximum, 0, kBatchColorsCount - 1);
  s.Sequence = r.Bool("Sequence");
  if (const std::string name = r.Text("SequenceName"); name != kMissing && !name.empty()) s.SequenceName = name;
  s.Resize = r.Bool("ImageSize");
  // The unit before the sizes: it decides their limits and defaults.
  s.KeepProportions = r.BoolOn("AspectRatio");
  s.Optimize = r.BoolOn("Optimize");
  s.Percent = r.Text("ImageUnit") == "1";
  const double max = s.Percent ? kBatchMaxPercent : kBatchMaxPixels;
  s.Width = ReadBatchDecimal(r.Text("ImageWidth"), s.Percent ? 100 : kBatchPixelWidth, kBatchMinSize, max);
  s.Height = ReadBatchDecimal(r.Text("ImageHeight"), s.Percent ? 100 : kBatchPixelHeight, kBatchMinSize, max);
  if (!s.Percent) {
    s.Width = std::nearbyint(s.Width);
    s.Height = std::nearbyint(s.Height);
  }
  s.Frame = r.Bool("Frame");
  s.FrameWidth = r.Int("FrameWidth", s.FrameWidth, kBatchMinFrame, kBatchMaxFrame);
  s.FrameColor = r.Color("FrameColor", s.FrameColor);
  s.FrameOutside = r.Bool("OutsideFrame");
  s.Canvas = r.Bool("Canvas");
  s.CanvasWidth = r.Int("CanvasWidth", s.CanvasWidth, 0, kBatchMaxCanvas);
  s.CanvasHeight = r.Int("CanvasHeight", s.CanvasHeight, 0, kBatchMaxCanvas);
  s.CanvasColor = r.Color("CanvasColor", s.CanvasColor);
  s.Shadow = r.Bool("Shadow");
  s.ShadowWidth = r.Int("ShadowWidth", s.ShadowWidth, kBatchMinShadow, kBatchMaxShadow);
  if (const std::string pattern = r.Text("Pattern"); IsExistingFile(pattern)) s.Pattern = pattern;
  s.Position = r.Int("Position", 4, 0, 8);
  s.ForceDpi = r.Bool("Dpi");
  s.Dpi = ReadBatchDecimal(r.Text("DpiValue"), kBatchDpi, kBatchMinDpi, kBatchMaxDpi);
  s.Brightness = r.Int("Brightness", 0, -100, 100);
  s.BrightnessChannel = r.Int("BriChannel", 0, 0, kBatchChannelCount - 1);
  s.Contrast = r.Int("Contrast", 0, -100, 100);
  s.ContrastChannel = r.Int("CtrChannel", 0, 0, kBatchChannelCount - 1);
  s.Saturation = r.Int("Saturation", 0, -100, 100);
  s.SaturationChannel = r.Int("SatChannel", 0, 0, kBatchChannelCount - 1);
  s.Gamma = r.Int("GammaCorrect", kBatchNeutralGamma, kBatchMinGamma, kBatchMaxGamma);
  s.GammaChannel = r.Int("GamChannel", 0, 0, kBatchChannelCount - 1);
  s.Soften = r.Bool("Soften");
  s.Sharpen = r.Bool("Sharpen");
  s.Blur = r.Bool("Blur");
  s.Relief = r.Bool("Relief");
  s.Noise = r.Bool("Noise");
  s.Scanlines = r.Bool("Scanlines");
  s.InnerBlur = r.Bool("EdgePreservBlur");
  s.SharpEdges = r.Bool("SharpenEdges");
  s.Negative = r.Bool("Negative");
  s.ColorFilter = r.Bool("ColoredLayer");
  s.FilterInvert = r.Bool("LayerInverse");
  s.FilterOpacity = r.Int("LayerOpacity", s.FilterOpacity, 0, 100);
  s.FilterColor = r.Color("LayerColor", s.FilterColor);
  s.Rotate = r.Bool("Rotate");
  const std::string rotation = r.Text("RotateMode");
  s.Rotation = rotation == "1" ? brAnticlockwise : rotation == "2" ? brHalfTurn : brClockwise;
  s.Flip = r.Bool("Flip");
  s.FlipMode = r.Text("FlipMode") == "1" ? bfHorizontal : bfVertical;
  s.Copyright = r.Bool("Copyright", kCopyrightSection);
}

void WriteBatchSettings(TIniFile& ini, const TBatchSettings& s) {
  const auto text = [&ini](std::string_view key, const std::string& value) { ini.WriteString(kSection, key, value); };
  const auto number = [&ini](std::string_view key, int value) { ini.WriteInteger(kSection, key, value); };
  const auto flag = [&ini](std::string_view key, bool value) { ini.WriteBool(kSection, key, value); };
  const auto color = [&text](std::string_view key, TColor c) { text(key, ColorToHexStr(c, true)); };
  text("Source", s.SourceFolder);
  text("Ouput", s.ExportFolder);
  number("OutputFormat", s.OutputFormat);
  number("JpgCompression", s.JpegQuality);
  number("ColorCount", s.ColorCount);
  flag("Sequence", s.Sequence);
  text("SequenceName", s.SequenceName);
  flag("ImageSize", s.Resize);
  text("ImageWidth", BatchSizeText(s.Width, s.Percent));
  text("ImageHeight", BatchSizeText(s.Height, s.Percent));
  flag("AspectRatio", s.KeepProportions);
  flag("Optimize", s.Optimize);
  number("ImageUnit", s.Percent ? 1 : 0);
  flag("Frame", s.Frame);
  number("FrameWidth", s.FrameWidth);
  color("FrameColor", s.FrameColor);
  flag("OutsideFrame", s.FrameOutside);
  flag("Canvas", s.Canvas);
  number("CanvasWidth", s.CanvasWidth);
  number("CanvasHeight", s.CanvasHeight);
  color("CanvasColor", s.CanvasColor);
  flag("Shadow", s.Shadow);
  number("ShadowWidth", s.ShadowWidth);
  text("Pattern", s.Pattern);
  number("Position", s.Position);
  flag("Dpi", s.ForceDpi);
  text("DpiValue", BatchDpiText(s.Dpi));
  number("Brightness", s.Brightness);
  number("BriChannel", s.BrightnessChannel);
  number("Contrast", s.Contrast);
  number("CtrChannel", s.ContrastChannel);
  number("Saturation", s.Saturation);
  number("SatChannel", s.SaturationChannel);
  number("GammaCorrect", s.Gamma);
  number("GamChannel", s.GammaChannel);
  flag("Soften", s.Soften);
  flag("Sharpen", s.Sharpen);
  flag("Blur", s.Blur);
  flag("Relief", s.Relief);
  flag("Noise", s.Noise);
  flag("Scanlines", s.Scanlines);
  flag("EdgePreservBlur", s.InnerBlur);
  flag("SharpenEdges", s.SharpEdges);
  flag("Negative", s.Negative);
  flag("ColoredLayer", s.ColorFilter);
  flag("LayerInverse", s.FilterInvert);
  number("LayerOpacity", s.FilterOpacity);
  color("LayerColor", s.FilterColor);
  flag("Rotate", s.Rotate);
  number("RotateMode", s.Rotation);
  flag("Flip", s.Flip);
  number("FlipMode", s.FlipMode);
  ini.WriteBool(kCopyrightSection, "Copyright", s.Copyright);
}

}  // namespace qm
