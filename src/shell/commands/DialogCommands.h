#pragma once
// Every command that opens a dialog, one row each: the dialog's class, the undo step
// the command opens for it, the checks that refuse it first, its mode and whether it is
// modal. One routine runs them all:
//
//   the checks (each with its own message), the selection hidden or the documents
//   repainted where the row says so, the undo step pushed with BeginDialogOperation
//   (a dialog closed without OK gives the history back as it was, redo branch
//   included), then the dialog through the launcher; a dialog that does not open ends
//   the step again.
//
// A row is attached only when the launcher knows its dialog: registering a dialog is
// what enables its row. The few commands that do more before their dialog (the fade,
// the indexed mode, the layer options, a new colour or adjustment layer) keep a handler
// of their own and open their row's dialog through the same routine.
#include <span>
#include <string_view>

#include "shell/services/CommandSet.h"
#include "shell/services/DialogLauncher.h"

namespace qm {

class TShellServices;

enum TDialogCheck : int {
  dcNone = 0,
  dcGuard = 1,      // the command guard (rows bound to a tool button)
  dcMerged = 2,     // a single-layer image
  dcPixels = 4,     // a shown selection holds pixels of the layer
  dcHide = 8,       // the selection is hidden first
  dcRefresh = 16,   // every document repainted first (a see-through modal dialog)
  dcFree = 32,      // nothing on a locked or hidden layer
  dcNoFade = 64,    // the step cannot be faded (its parameter 8 set)
  dcOwnHandler = 128,  // run by a command of its own, not attached with the others
  dcNoDocument = 256,  // runs without a document too
  dcMask = 512,        // an upper layer without a mask gets its default one before the step
};

struct TDialogCommandRow {
  std::string_view Name;    // the row of the command table
  std::string_view Dialog;  // the dialog's class
  int Kind = -1;            // the TUndoKind of the step opened for the dialog; -1: none
  int Checks = dcNone;
  bool Modal = false;
  int Mode = -1;            // the dialog's mode, for the dialogs that have one
};

// Every dialog command, in menu order; rows of one name may repeat (the layer options
// open the text dialog for a text layer).
std::span<const TDialogCommandRow> DialogCommandRows();
// The first row of that command name and dialog (any dialog when empty); null when none.
const TDialogCommandRow* FindDialogCommand(std::string_view name, std::string_view dialog = {});

// Runs the row's command from sender: request's caption defaults to the row's own
// caption, its mode, modal flag and new-step flag come from the row. False when a check
// refused it or the dialog did not open.
bool RunDialogCommand(TShellServices& services, TDialogLauncher& dialogs, const TDialogCommandRow& row,
                      const TCommandSender& sender, TDialogRequest request = {});

// Attaches every row the launcher knows a dialog for (not the rows with a handler of
// their own); returns how many took one.
int AttachDialogCommands(TCommandSet& commands, TShellServices& services, TDialogLauncher& dialogs);

}  // namespace qm
