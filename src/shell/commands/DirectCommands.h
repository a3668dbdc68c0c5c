#pragma once
// The commands of the Filter, Adjustment and Edit menus that change the active layer
// at once, without a dialog: a row of data each (the menu row's name, its kernel chain
// and how it is captioned, guarded and repeated), all run as one change of the active
// layer (shell/services/LayerChange.h): an undo step of kind 5 over the working
// rectangle captioned with the command, the kernel chain with the copy taken before the
// change, the selection restriction, the repaint, and the record for the repeat command
// (or, for the rows that are not repeated, the navigator refreshed). A chain that
// throws leaves the layer as it was and the history without its step.
#include <span>
#include <string>
#include <string_view>

#include "platform/core/Bitmap.h"
#include "platform/core/Types.h"
#include "shell/services/CommandSet.h"
#include "shell/services/LayerChange.h"

namespace qm {

class TShellServices;

// What a chain works on: the change's context.
using TFilterRun = TLayerRun;
using TFilterSteps = void (*)(TFilterRun& run);

// Where the undo step's and the repeat's caption come from: the command's own item,
// the sub-menu holding it (variants), or both, the sub-menu's first ("Coloriser Bleu").
enum class TCaptionFrom : uint8_t { Own, Parent, ParentAndOwn };

struct TDirectCommand {
  std::string_view Name;  // the row of the command table
  TFilterSteps Steps;
  TCaptionFrom Caption = TCaptionFrom::Own;
  bool Guarded = false;  // bound to a tool button: the command guard runs first
  bool Repeats = true;   // recorded for the repeat command
};

// The command's caption as its undo step and the repeat command show it.
std::string DirectCommandCaption(const TDirectCommand& command);

// Runs the command on the active document (nothing without one). The sender is the row
// the command was run from; the repeat command runs it again with the same sender.
void RunDirectCommand(TShellServices& services, const TDirectCommand& command, const TCommandSender& sender);

// Attaches RunDirectCommand to the row of each command; returns how many rows took it.
int AttachDirectCommands(TCommandSet& commands, TShellServices& services, std::span<const TDirectCommand> table);

}  // namespace qm
