#pragma once
// The commands of the Filter, Adjustment and Edit menus that change the active layer
// at once, without a dialog: a row of data each (the menu row's name, its kernel chain
// and how it is captioned, guarded and repeated), all run by RunDirectCommand:
//
//   the command guard (rows bound to a tool button), the busy state, an undo step of
//   kind 5 over the working rectangle captioned with the command, the kernel chain on
//   the active layer's bitmap, the pixels outside the selection brought back from the
//   copy taken before the change, the repaint, and the record for the repeat command
//   (or, for the rows that are not repeated, the navigator refreshed).
//
// A chain that throws leaves the layer as it was and the history without its step; the
// failure is shown and the busy state ends all the same.
//
// The commands that open a parameter dialog are rows too (TDialogRow): the undo
// step the dialog works over, then the dialog by its class name.
#include <span>
#include <string>
#include <string_view>

#include "platform/core/Bitmap.h"
#include "platform/core/Types.h"
#include "shell/services/CommandSet.h"

namespace qm {

class TDialogLauncher;
class TShellServices;

// What a chain works on.
struct TFilterRun {
  TBitmap& Layer;   // the active layer's image
  TBitmap& Source;  // the layer as it was before the command; the kernels only read it
  TRect Rect;       // the working rectangle, in the layer's coordinates (not clipped)
  TColor Foreground, Background;  // the palette's colours
  const TBitmap& Pattern;         // the main window's fill pattern (may be empty)
};
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

// What a dialog command opens before its dialog: nothing, or an undo step over the
// working rectangle (kind 5), or one that cannot be faded (kind 7, parameter 8 set).
enum class TDialogStep : uint8_t { None, WorkRect, NoFade };

struct TDialogRow {
  std::string_view Name;    // the row of the command table
  std::string_view Dialog;  // the dialog's class
  TDialogStep Step = TDialogStep::WorkRect;
  int Mode = -1;            // the dialog's mode, for the dialogs that have one
  bool Modal = false;
  bool Guarded = false;     // bound to a tool button: the command guard runs first
};

// Runs the dialog command with the own caption of the sender's row: its step, then the
// dialog; the step is dropped again when the dialog does not open.
void RunDialogCommand(TShellServices& services, TDialogLauncher& dialogs, const TDialogRow& command,
                      const TCommandSender& sender);
// Attaches the commands whose dialog the launcher knows; the others keep no handler, so
// their rows stay disabled. Returns how many rows took one.
int AttachDialogCommands(TCommandSet& commands, TShellServices& services, TDialogLauncher* dialogs,
                         std::span<const TDialogRow> table);

}  // namespace qm
