#include "shell/commands/AdjustCommands.h"

#include "pixel/Blend.h"
#include "pixel/ColorAdjust.h"
#include "pixel/Rank.h"
#include "platform/core/Numeric.h"
#include "platform/texts/TextUtils.h"
#include "shell/services/ShellServices.h"

namespace qm {
namespace {

using R = TFilterRun;
using enum TCaptionFrom;

// Mid-tones (levels 77 to 177) are what the automatic adjustments look at.
constexpr int kMidLow = 77, kMidHigh = 177;

// Each channel's mean mid-tone is brought to 133 by a gamma of its own; a channel
// without any mid-tone leaves the image as it is.
void AutoLevels(R& r) {
  uint8_t red = 0, green = 0, blue = 0;
  AverageChannelsInRange(r.Layer, AutoSampleRegion(r.Rect), kMidLow, kMidHigh, red, green, blue);
  if (red == 0 || green == 0 || blue == 0) return;
  GammaChannelsRect(r.Layer, r.Rect, 133.0 / red, 133.0 / green, 133.0 / blue);
}

// The shares of dark, middle and light pixels set the contrast of each half of the
// levels: more middle than dark pixels stretches the dark half, and the reverse flattens
// it; likewise the light half. Nothing to measure (an empty region) changes nothing.
void AutoContrast(R& r) {
  int64_t dark = 0, middle = 0, light = 0;
  CountLuminanceClasses(r.Layer, AutoSampleRegion(r.Rect), kMidLow, kMidHigh, dark, middle, light);
  const int64_t total = dark + middle + light;
  if (total == 0) return;
  const int a = RoundHalfEven(100.0 * double(dark) / double(total));
  const int b = RoundHalfEven(100.0 * double(middle) / double(total));
  const int c = RoundHalfEven(100.0 * double(light) / double(total));
  ContrastInRangeRect(r.Layer, (b - a) / 2, 0, 127, 127, r.Rect);
  ContrastInRangeRect(r.Layer, (b - c) / 2, 128, 255, 128, r.Rect);
}

// The pattern tiled from the rectangle's corner, opaque, its transparent colour (when
// it has one) left out.
void FillWithPattern(R& r) {
  const TColor key = r.Pattern.Transparent ? r.Pattern.EffectiveTransparentColor() : clNone;
  FillRectWithPattern(r.Pattern, r.Layer, r.Rect.Left, r.Rect.Top, r.Rect, 100, key, 0);
}

const TDirectCommand kAdjustments[] = {
    {"MenuReglageNivAuto", AutoLevels, Own, true, false},
    {"MenuReglageCtrAuto", AutoContrast, Own, true, false},
    {"MenuReglageTonsSombres", [](R& r) { ContrastInRangeRect(r.Layer, 33, 0, 100, 100, r.Rect); }, Own, false, false},
    {"MenuReglageTonsClairs", [](R& r) { ContrastInRangeRect(r.Layer, 33, 150, 255, 150, r.Rect); }, Own, false,
     false},
    {"MenuReglageNegatif", [](R& r) { InvertRect(r.Layer, r.Rect); }, Own, false, false},
    {"MenuReglageTramage", [](R& r) { DitherBlackWhiteRect(r.Layer, r.Rect); }, Own, false, false},
    {"BtnAntipoussiere", [](R& r) { ApplyRankFilter(r.Layer, r.Source, rkMedian, r.Rect, 0, 1); }, Own, true, true},
    {"MenuEditionRemplirMotif", FillWithPattern, Own, false, false},
};


const TStepButtons kSteps[] = {
    {"BtnLumClick", "BtnLumMoins", "BtnLumPlus",
     [](TBitmap& b, TRect r, bool plus) { LightenDarkenRect(b, plus ? 8 : -8, r); }},
    {"BtnColClick", "BtnColMoins", "BtnColPlus",
     [](TBitmap& b, TRect r, bool plus) { SaturationRect(b, plus ? 20 : -20, r); }},
    {"BtnCtrClick", "BtnCtrMoins", "BtnCtrPlus",
     [](TBitmap& b, TRect r, bool plus) { ContrastRect(b, plus ? 10 : -10, r); }},
    {"BtnGamClick", "BtnGamMoins", "BtnGamPlus",
     [](TBitmap& b, TRect r, bool plus) { GammaRect(b, r, plus ? 1.2 : 0.8); }},
};

std::string ButtonCaption(std::string_view name) {
  const TCommandRow* row = FindCommandRow(name);
  return row ? CleanMenuCaption(CommandCaption(*row)) : std::string();
}

}  // namespace

std::span<const TDirectCommand> DirectAdjustCommands() { return kAdjustments; }
std::span<const TStepButtons> StepButtonPairs() { return kSteps; }

TRect AutoSampleRegion(const TRect& w) {
  const int a = 3 * w.Width() / 4, b = 3 * w.Height() / 4;
  return TRect{w.Left + w.Width() - a, w.Top + w.Height() - b, w.Left + a, w.Top + b};
}

void RunStepButton(TShellServices& services, const TStepButtons& pair, const TCommandSender& sender) {
  if (!services.CanRunCommand(sender.Action)) return;
  TLayeredImage* image = services.LayerHost().ActiveImage();
  TUndoList* history = services.GetActiveHistory();
  if (!image || !history || !services.GetActiveLayerBitmap()) return;
  const bool plus = sender.Name() == pair.Plus;
  const TUndoLayerItem* current = history->GetCurrentUndoStep();
  if (current && current->Layer == image->GetActiveLayer() &&
      current->Name == ButtonCaption(plus ? pair.Minus : pair.Plus)) {
    // the other button of the pair was the last change of this layer: take it back
    TBusyScope busy(services);
    history->DiscardRedoSteps();
    services.Operations().EndDialogOperation(true);
    services.RepaintActiveImage();
  } else {
    TLayerChangeOptions options;
    options.Caption = ButtonCaption(sender.Name());
    RunLayerChange(services, options, [&pair, plus](TLayerRun& c) { pair.Step(c.Layer, c.Rect, plus); });
  }
  services.RefreshLayerNavigator();
}

void RegisterAdjustCommands(TCommandSet& commands, TShellServices& services) {
  AttachDirectCommands(commands, services, DirectAdjustCommands());
  for (const TStepButtons& pair : StepButtonPairs())
    commands.SetSharedHandler(pair.Handler, [&services, &pair](const TCommandSender& sender) {
      RunStepButton(services, pair, sender);
    });
}

}  // namespace qm
