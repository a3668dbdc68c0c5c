#pragma once
// The Adjustment menu and its tool bar: the direct adjustments
// (negative, dithering, shadows, highlights, automatic levels and contrast, the dust
// button, and the Edit menu's fill with the pattern, which runs the same way), and the
// step buttons that nudge brightness, saturation, contrast and gamma.
//
// A step button clicked right after the other button of its pair, on the same layer,
// takes that click back instead of applying: the layer returns to its pixels before
// it, byte for byte, and neither click stays in the history.
#include <span>
#include <string_view>

#include "shell/commands/DirectCommands.h"

namespace qm {

std::span<const TDirectCommand> DirectAdjustCommands();

// Where the automatic levels and contrast measure: the central half of the working
// rectangle, made by shrinking it by three quarters of its width and height on each
// side, corners crossing over (the measures order them). One pixel wide keeps that
// pixel; two pixels wide gives an empty region.
TRect AutoSampleRegion(const TRect& work);

// One pair of step buttons: their rows, the handler they share and the step either way.
struct TStepButtons {
  std::string_view Handler, Minus, Plus;
  void (*Step)(TBitmap& layer, TRect rect, bool plus);
};
std::span<const TStepButtons> StepButtonPairs();
void RunStepButton(TShellServices& services, const TStepButtons& pair, const TCommandSender& sender);

// Attaches every command of the menu and of its tool bar the program can run. The main
// window calls it once.
void RegisterAdjustCommands(TCommandSet& commands, TShellServices& services);

}  // namespace qm
