#pragma once
// The sizes the command dialogs (image size, canvas, fit, new image) and the batch read
// and show: a side typed in pixels, percent of the image's side, centimetres or inches,
// converted through the image's horizontal resolution; the automatic resampling
// filter; the fit into limits; the preset sizes. No widget: what the dialogs show is
// computed here.
#include <cstdint>
#include <string>
#include <string_view>

#include "document/Resample.h"
#include "pixel/RectUtils.h"
#include "platform/core/Types.h"
#include "platform/texts/UiTexts.h"

namespace qm {

enum TSizeUnit : uint8_t { suPixels = 0, suPercent = 1, suCentimeters = 2, suInches = 3 };

constexpr double kCmPerInch = 2.54;
// The sides a document can be given, in pixels.
constexpr int kMinImageSide = 1, kMaxImageSide = 10000;
// The resolution fields' range, in their unit.
constexpr double kMinResolution = 10, kMaxResolution = 20000;
constexpr double kDefaultResolution = 72;

// The pixels a field's value stands for, rounded to nearest (halves to even): percent
// of oldSide, centimetres and inches at ppi pixels per inch. Not clamped.
int UnitToPixels(double value, TSizeUnit unit, int oldSide, double ppi);
// The value a field shows for a side of pixels.
double PixelsToUnit(int pixels, TSizeUnit unit, int oldSide, double ppi);
int ClampImageSide(int pixels);

// Pixels per inch from a resolution field's value in pixels per inch, or per centimetre.
double PixelsPerInch(double value, bool perCentimetre);
// The value a resolution field shows for ppi in its unit.
double ResolutionInUnit(double ppi, bool perCentimetre);

// The units the shell's image-unit preference (0 pixels, 1 centimetres, 2 inches)
// starts a dialog with; anything else reads as pixels.
TSizeUnit UnitFromPreference(int preference);
// The position of a unit in a dialog's list: "pixels", "%", "cm", "pouces", or the list
// without "%" (the new image); and back.
int UnitIndex(TSizeUnit unit, bool withPercent);
TSizeUnit UnitAt(int index, bool withPercent);

// The filter "<Automatique>" takes: Lanczos for a reduction on both sides, the
// B-spline as soon as a side grows more than twice, else Lanczos.
TResampleFilter AutomaticFilter(int oldWidth, int oldHeight, int newWidth, int newHeight);

struct TImageSize {
  int Width = 0, Height = 0;
  bool operator==(const TImageSize&) const = default;
};

// A size fitted within limits: exactly the limits when deform, else the old size
// scaled by one factor to the largest size of its ratio inside them. At least 1 x 1.
TImageSize FitImageSize(int oldWidth, int oldHeight, int maxWidth, int maxHeight, bool deform);

// Where an image of oldWidth x oldHeight lands in a canvas of newWidth x newHeight by
// the anchor (0 top-left ... 8 bottom-right; centring truncates toward zero); it may
// reach outside the canvas.
TRect AnchorPlacement(int oldWidth, int oldHeight, int newWidth, int newHeight, TAlignment anchor);

// A preset's text "640 x 480" (a trailing word such as " pixels" allowed): the number
// before the "x" (its last character, the blank, dropped) and the one after. False when
// either is not a number.
bool ParsePresetSize(std::string_view text, int& width, int& height);

// The new image's predefined sizes, by their position in its list (0 "<Personnalisé>"):
// the size in the unit chosen, that unit and the resolution in pixels per inch. Paper
// sizes are in the print unit (0 centimetres, 1 inches).
struct TSizePreset {
  double Width = 0, Height = 0;
  TSizeUnit Unit = suPixels;
  double Resolution = kDefaultResolution;
};
constexpr int kNewImagePresetCount = 18;
// False for 0 and for positions outside the list.
bool NewImagePreset(int index, int printUnit, TSizePreset& preset);
// The entry's text as the list shows it.
std::string NewImagePresetText(int index);

}  // namespace qm
