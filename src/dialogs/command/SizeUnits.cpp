#include "dialogs/command/SizeUnits.h"

#include <algorithm>
#include <charconv>

#include "pixel/ImgUtils.h"
#include "platform/core/Numeric.h"
#include "platform/texts/TextUtils.h"

namespace qm {

int UnitToPixels(double value, TSizeUnit unit, int oldSide, double ppi) {
  switch (unit) {
    case suPercent: return RoundHalfEven(value * oldSide / 100);
    case suCentimeters: return RoundHalfEven(value * ppi / kCmPerInch);
    case suInches: return RoundHalfEven(value * ppi);
    default: return RoundHalfEven(value);
  }
}

double PixelsToUnit(int pixels, TSizeUnit unit, int oldSide, double ppi) {
  // A resolution or a side of 0 never reaches a division: the fields read through their
  // ranges, and an empty image shows its pixels.
  switch (unit) {
    case suPercent: return oldSide > 0 ? pixels * 100.0 / oldSide : 0;
    case suCentimeters: return ppi > 0 ? pixels / ppi * kCmPerInch : 0;
    case suInches: return ppi > 0 ? pixels / ppi : 0;
    default: return pixels;
  }
}

int ClampImageSide(int pixels) { return std::clamp(pixels, kMinImageSide, kMaxImageSide); }

double PixelsPerInch(double value, bool perCentimetre) { return perCentimetre ? value * kCmPerInch : value; }
double ResolutionInUnit(double ppi, bool perCentimetre) { return perCentimetre ? ppi / kCmPerInch : ppi; }

TSizeUnit UnitFromPreference(int preference) {
  return preference == 1 ? suCentimeters : preference == 2 ? suInches : suPixels;
}

int UnitIndex(TSizeUnit unit, bool withPercent) {
  if (withPercent) return int(unit);
  return unit == suCentimeters ? 1 : unit == suInches ? 2 : 0;
}

TSizeUnit UnitAt(int index, bool withPercent) {
  if (withPercent) return index >= 0 && index <= 3 ? TSizeUnit(index) : suPixels;
  return index == 1 ? suCentimeters : index == 2 ? suInches : suPixels;
}

TResampleFilter AutomaticFilter(int oldWidth, int oldHeight, int newWidth, int newHeight) {
  if (newWidth < oldWidth && newHeight < oldHeight) return TResampleFilter::Lanczos;
  if (oldWidth > 0 && oldHeight > 0 &&
      (double(newWidth) / oldWidth > 2.0 || double(newHeight) / oldHeight > 2.0))
    return TResampleFilter::BSpline;
  return TResampleFilter::Lanczos;
}

TImageSize FitImageSize(int oldWidth, int oldHeight, int maxWidth, int maxHeight, bool deform) {
  if (deform) return {maxWidth, maxHeight};
  int w = oldWidth, h = oldHeight;
  FitSizeProportional(w, h, maxWidth, maxHeight);
  return {w, h};
}

TRect AnchorPlacement(int oldWidth, int oldHeight, int newWidth, int newHeight, TAlignment anchor) {
  TRect r{0, 0, oldWidth, oldHeight};
  AlignRectInRect(r, TRect{0, 0, newWidth, newHeight}, anchor);
  return r;
}

namespace {

bool ReadInt(std::string_view s, int& out) {
  while (!s.empty() && s.front() == ' ') s.remove_prefix(1);
  while (!s.empty() && s.back() == ' ') s.remove_suffix(1);
  const auto r = std::from_chars(s.data(), s.data() + s.size(), out);
  return r.ec == std::errc() && r.ptr == s.data() + s.size();
}

}  // namespace

bool ParsePresetSize(std::string_view text, int& width, int& height) {
  const size_t x = text.find('x');
  if (x == std::string_view::npos || x == 0) return false;
  std::string_view after = text.substr(x + 1);
  // " 480 pixels": the number is what precedes the next word
  while (!after.empty() && after.front() == ' ') after.remove_prefix(1);
  after = after.substr(0, after.find(' '));
  return ReadInt(text.substr(0, x - 1), width) && ReadInt(after, height);
}

namespace {

struct TPresetRow {
  TextId Entry;    // the entry a translation fills
  TextId Design;   // the text shown until then
  const char* Prefix;  // "A4 - " before the entry's text
  double Width, Height;
  bool Pixels;
  int Resolution;
};

// Screen and video sizes are in pixels at 72 pixels per inch; paper, photo and disc
// sizes in centimetres.
constexpr TPresetRow kPresets[kNewImagePresetCount] = {
    {TextId::GetTrLblCustomSize, TextId::TrFixCustomSize, "", 0, 0, true, 72},
    {TextId::Count, TextId::Count, "640 x 480", 640, 480, true, 72},
    {TextId::Count, TextId::Count, "800 x 600", 800, 600, true, 72},
    {TextId::Count, TextId::Count, "1024 x 768", 1024, 768, true, 72},
    {TextId::Count, TextId::Count, "1280 x 1024", 1280, 1024, true, 72},
    {TextId::Count, TextId::Count, "1600 x 1200", 1600, 1200, true, 72},
    {TextId::GetTrLblPortrait, TextId::TrFixPortrait, "A4 - ", 21.0, 29.7, false, 200},
    {TextId::GetTrLblLandscape, TextId::TrFixLandscape, "A4 - ", 29.7, 21.0, false, 200},
    {TextId::GetTrLblPortrait, TextId::TrFixPortrait, "B5 - ", 18.2, 25.7, false, 200},
    {TextId::GetTrLblLandscape, TextId::TrFixLandscape, "B5 - ", 25.7, 18.2, false, 200},
    {TextId::GetTrLblPhoto, TextId::TrFixPhoto, "", 15.0, 10.0, false, 300},
    {TextId::GetTrLblDigitalPhoto, TextId::TrFixDigitalPhoto, "", 15.0, 11.0, false, 300},
    {TextId::GetTrLblPostcard, TextId::TrFixPostcard, "", 14.8, 10.9, false, 300},
    {TextId::GetTrLblJacketCD1, TextId::TrFixJacketCD1, "", 12.0, 12.0, false, 200},
    {TextId::GetTrLblJacketCD2, TextId::TrFixJacketCD2, "", 13.8, 11.8, false, 200},
    {TextId::GetTrLblJacketDVD, TextId::TrFixJacketDVD, "", 27.3, 18.3, false, 200},
    {TextId::Count, TextId::Count, "DVD - NTSC (720x480)", 720, 480, true, 72},
    {TextId::Count, TextId::Count, "DVD - PAL/SECAM (720x576)", 720, 576, true, 72},
};

}  // namespace

bool NewImagePreset(int index, int printUnit, TSizePreset& preset) {
  if (index < 1 || index >= kNewImagePresetCount) return false;
  const TPresetRow& row = kPresets[index];
  if (row.Pixels) {
    preset = {row.Width, row.Height, suPixels, double(row.Resolution)};
  } else if (printUnit == 1) {
    preset = {row.Width / kCmPerInch, row.Height / kCmPerInch, suInches, double(row.Resolution)};
  } else {
    preset = {row.Width, row.Height, suCentimeters, double(row.Resolution)};
  }
  return true;
}

std::string NewImagePresetText(int index) {
  if (index < 0 || index >= kNewImagePresetCount) return {};
  const TPresetRow& row = kPresets[index];
  if (row.Entry == TextId::Count) {
    // the screen sizes read "640 x 480 pixels"
    std::string text = row.Prefix;
    if (index >= 1 && index <= 5) text += " " + CaptionOr(TextId::GetTrLblPixels, "pixels");
    return text;
  }
  return row.Prefix + CaptionOr(row.Entry, Tr(row.Design));
}

}  // namespace qm
