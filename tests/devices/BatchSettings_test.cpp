// The batch's [Automate] section: every key written, read back, missing and garbled,
// the order the keys are written and read in, and decimals written by another locale.
#include "devices/batch/BatchSettings.h"

#include <gtest/gtest.h>

#include <functional>

#include "platform/texts/Format.h"
#include "platform/texts/IniFile.h"
#include "support/TempFiles.h"

using namespace qm;

namespace {

// Settings unlike the defaults in every field.
TBatchSettings Changed(const std::string& folder, const std::string& pattern) {
  TBatchSettings s;
  s.SourceFolder = folder;
  s.ExportFolder = folder;
  s.OutputFormat = bfPng, s.JpegQuality = 55, s.ColorCount = bcDithered;
  s.Sequence = true, s.SequenceName = "Vacances";
  s.Resize = true, s.Percent = true, s.Width = 37.5, s.Height = 250, s.KeepProportions = false, s.Optimize = false;
  s.Frame = true, s.FrameWidth = 42, s.FrameColor = RGB(1, 2, 3), s.FrameOutside = true;
  s.Canvas = true, s.CanvasWidth = 800, s.CanvasHeight = 9, s.CanvasColor = RGB(200, 100, 50), s.Pattern = pattern;
  s.Position = 7, s.Shadow = true, s.ShadowWidth = 12;
  s.ForceDpi = true, s.Dpi = 300.25;
  s.Brightness = -40, s.BrightnessChannel = 1, s.Contrast = 25, s.ContrastChannel = 2;
  s.Saturation = 100, s.SaturationChannel = 3, s.Gamma = 27, s.GammaChannel = 6;
  s.Soften = s.Sharpen = s.Blur = s.Relief = s.Noise = s.Scanlines = s.InnerBlur = s.SharpEdges = s.Negative = true;
  s.ColorFilter = true, s.FilterColor = RGB(0, 128, 255), s.FilterOpacity = 75, s.FilterInvert = true;
  s.Rotate = true, s.Rotation = brHalfTurn, s.Flip = true, s.FlipMode = bfHorizontal;
  s.Copyright = true;
  return s;
}

TBatchSettings Read(const std::string& text, TBatchSettings s = {}, const std::string& openFolder = "/open") {
  TIniFile ini;
  ini.LoadFromString(text);
  ReadBatchSettings(ini, s, openFolder);
  return s;
}

}  // namespace

TEST(BatchSettings, EveryKeyWrittenReadsBackAndAMissingFileGivesTheDefaults) {
  test::TempFolder folder("batchini");
  const std::string pattern = folder.Write("motif.bmp", "x");
  const TBatchSettings s = Changed(folder.Path.string(), pattern);
  TIniFile ini;
  WriteBatchSettings(ini, s);
  EXPECT_EQ(Read(ini.ToString()), s);
  // In pixels the sizes are whole numbers.
  TBatchSettings pixels = s;
  pixels.Percent = false, pixels.Width = 1024, pixels.Height = 10;
  WriteBatchSettings(ini, pixels);
  EXPECT_EQ(Read(ini.ToString()), pixels);

  TBatchSettings defaults;
  defaults.SourceFolder = "/open";
  EXPECT_EQ(Read(""), defaults);
}

// One row a key: its text when garbled (or missing) and what that leaves.
TEST(BatchSettings, EachKeyMissingOrGarbledFallsBackAsItsOwn) {
  test::TempFolder folder("batchini");
  // What the controls held before the reading: kept by the keys that keep them.
  const TBatchSettings current = Changed(folder.Path.string(), folder.Write("motif.bmp", "x"));
  const struct {
    const char* Key;
    const char* Garbage;
    std::function<bool(const TBatchSettings&)> Fallback;
  } rows[] = {
      {"Source", "/no/such/folder", [](auto& s) { return s.SourceFolder == "/open"; }},
      {"Ouput", "/no/such/folder", [&](auto& s) { return s.ExportFolder == current.ExportFolder; }},
      {"OutputFormat", "x", [](auto& s) { return s.OutputFormat == bfJpeg; }},
      {"JpgCompression", "x", [](auto& s) { return s.JpegQuality == 90; }},
      {"ColorCount", "x", [](auto& s) { return s.ColorCount == bcMaximum; }},
      {"SequenceName", "", [&](auto& s) { return s.SequenceName == current.SequenceName; }},
      {"ImageUnit", "%", [](auto& s) { return !s.Percent && s.Width == 640 && s.Height == 480; }},
      {"FrameWidth", "x", [&](auto& s) { return s.FrameWidth == current.FrameWidth; }},
      {"FrameColor", "#GG0000", [&](auto& s) { return s.FrameColor == current.FrameColor; }},
      {"CanvasWidth", "x", [&](auto& s) { return s.CanvasWidth == current.CanvasWidth; }},
      {"CanvasHeight", "x", [&](auto& s) { return s.CanvasHeight == current.CanvasHeight; }},
      {"CanvasColor", "red", [&](auto& s) { return s.CanvasColor == current.CanvasColor; }},
      {"ShadowWidth", "x", [&](auto& s) { return s.ShadowWidth == current.ShadowWidth; }},
      {"Pattern", "/no/such/file.bmp", [&](auto& s) { return s.Pattern == current.Pattern; }},
      {"Position", "x", [](auto& s) { return s.Position == 4; }},
      {"DpiValue", "x", [](auto& s) { return s.Dpi == 72; }},
      {"Brightness", "x", [](auto& s) { return s.Brightness == 0; }},
      {"BriChannel", "x", [](auto& s) { return s.BrightnessChannel == 0; }},
      {"Contrast", "x", [](auto& s) { return s.Contrast == 0; }},
      {"CtrChannel", "x", [](auto& s) { return s.ContrastChannel == 0; }},
      {"Saturation", "x", [](auto& s) { return s.Saturation == 0; }},
      {"SatChannel", "x", [](auto& s) { return s.SaturationChannel == 0; }},
      {"GammaCorrect", "x", [](auto& s) { return s.Gamma == 10; }},
      {"GamChannel", "x", [](auto& s) { return s.GammaChannel == 0; }},
      {"LayerOpacity", "x", [&](auto& s) { return s.FilterOpacity == current.FilterOpacity; }},
      {"LayerColor", "#12345", [&](auto& s) { return s.FilterColor == current.FilterColor; }},
      {"RotateMode", "x", [](auto& s) { return s.Rotation == brClockwise; }},
      {"FlipMode", "x", [](auto& s) { return s.FlipMode == bfVertical; }},
      // Booleans: only "1" checks, except the two that only "0" unchecks.
      {"Sequence", "yes", [](auto& s) { return !s.Sequence; }},
      {"ImageSize", "true", [](auto& s) { return !s.Resize; }},
      {"Frame", "2", [](auto& s) { return !s.Frame; }},
      {"OutsideFrame", "x", [](auto& s) { return !s.FrameOutside; }},
      {"Canvas", "x", [](auto& s) { return !s.Canvas; }},
      {"Shadow", "x", [](auto& s) { return !s.Shadow; }},
      {"Dpi", "x", [](auto& s) { return !s.ForceDpi; }},
      {"Soften", "x", [](auto& s) { return !s.Soften; }},
      {"Sharpen", "x", [](auto& s) { return !s.Sharpen; }},
      {"Blur", "x", [](auto& s) { return !s.Blur; }},
      {"Relief", "x", [](auto& s) { return !s.Relief; }},
      {"Noise", "x", [](auto& s) { return !s.Noise; }},
      {"Scanlines", "x", [](auto& s) { return !s.Scanlines; }},
      {"EdgePreservBlur", "x", [](auto& s) { return !s.InnerBlur; }},
      {"SharpenEdges", "x", [](auto& s) { return !s.SharpEdges; }},
      {"Negative", "x", [](auto& s) { return !s.Negative; }},
      {"ColoredLayer", "x", [](auto& s) { return !s.ColorFilter; }},
      {"LayerInverse", "x", [](auto& s) { return !s.FilterInvert; }},
      {"Rotate", "x", [](auto& s) { return !s.Rotate; }},
      {"Flip", "x", [](auto& s) { return !s.Flip; }},
      {"AspectRatio", "x", [](auto& s) { return s.KeepProportions; }},
      {"Optimize", "", [](auto& s) { return s.Optimize; }},
  };
  TIniFile full;
  WriteBatchSettings(full, current);
  for (const auto& row : rows) {
    for (const bool missing : {true, false}) {
      TIniFile ini;
      ini.LoadFromString(full.ToString());
      if (missing) ini.DeleteKey("Automate", row.Key);
      else ini.WriteString("Automate", row.Key, row.Garbage);
      // The unit decides the sizes: a garbled unit reads pixels, the sizes then
      // their pixel defaults.
      if (std::string(row.Key) == "ImageUnit") ini.DeleteKey("Automate", "ImageWidth"), ini.DeleteKey("Automate", "ImageHeight");
      TBatchSettings s = current;
      ReadBatchSettings(ini, s, "/open");
      EXPECT_TRUE(row.Fallback(s)) << row.Key << (missing ? " missing" : " garbled");
    }
  }
  // [Copyright] Copyright, read apart.
  EXPECT_FALSE(Read("[Copyright]\nCopyright=on\n", current).Copyright);
  EXPECT_TRUE(Read("[Copyright]\nCopyright=1\n").Copyright);
}

TEST(BatchSettings, TheUnitIsReadBeforeTheSizesAndDecimalsReadWithEitherSeparator) {
  // Percent: its limits and default (100) whatever the order in the file.
  TBatchSettings s = Read("[Automate]\nImageWidth=700\nImageHeight=x\nImageUnit=1\n");
  EXPECT_TRUE(s.Percent);
  EXPECT_EQ(s.Width, 500);
  EXPECT_EQ(s.Height, 100);
  s = Read("[Automate]\nImageWidth=5\nImageHeight=20000\n");
  EXPECT_EQ(s.Width, 10);
  EXPECT_EQ(s.Height, 10000);
  // A file written under a decimal comma, read where the separator is a point, and
  // the other way round; written back with a point either way.
  for (const char* separator : {".", ","}) {
    const std::string saved = FormatSettings().DecimalSeparator;
    FormatSettings().DecimalSeparator = separator;
    s = Read("[Automate]\nImageUnit=1\nImageWidth=50,5\nImageHeight=12.25\nDpiValue=300,75\n");
    FormatSettings().DecimalSeparator = saved;
    EXPECT_EQ(s.Width, 50.5) << separator;
    EXPECT_EQ(s.Height, 12.25) << separator;
    EXPECT_EQ(s.Dpi, 300.75) << separator;
    TIniFile ini;
    WriteBatchSettings(ini, s);
    EXPECT_EQ(ini.ReadString("Automate", "ImageWidth", ""), "50.50");
    EXPECT_EQ(ini.ReadString("Automate", "DpiValue", ""), "300.75");
  }
}

TEST(BatchSettings, KeysAreWrittenInTheDialogsOrderUnderTheirOldSpelling) {
  TIniFile ini;
  WriteBatchSettings(ini, TBatchSettings{});
  const std::vector<std::string> keys = ini.ReadSection("Automate");
  const std::vector<std::string> expected = {
      "Source", "Ouput", "OutputFormat", "JpgCompression", "ColorCount", "Sequence", "SequenceName", "ImageSize",
      "ImageWidth", "ImageHeight", "AspectRatio", "Optimize", "ImageUnit", "Frame", "FrameWidth", "FrameColor",
      "OutsideFrame", "Canvas", "CanvasWidth", "CanvasHeight", "CanvasColor", "Shadow", "ShadowWidth", "Pattern",
      "Position", "Dpi", "DpiValue", "Brightness", "BriChannel", "Contrast", "CtrChannel", "Saturation", "SatChannel",
      "GammaCorrect", "GamChannel", "Soften", "Sharpen", "Blur", "Relief", "Noise", "Scanlines", "EdgePreservBlur",
      "SharpenEdges", "Negative", "ColoredLayer", "LayerInverse", "LayerOpacity", "LayerColor", "Rotate",
      "RotateMode", "Flip", "FlipMode"};
  EXPECT_EQ(keys, expected);
  EXPECT_EQ(ini.ReadString("Automate", "LayerColor", ""), "#800000");
  EXPECT_EQ(ini.ReadString("Automate", "ImageWidth", ""), "640");
  EXPECT_EQ(ini.ReadString("Copyright", "Copyright", ""), "0");
}
