#pragma once
// How a command of the menus opens its dialog: by the dialog's class name
// ("TBlurForm", "TOptionSelForm"...), through the launcher the program's start hands to
// the main window (the dialogs' layer implements it, above the shell). A row whose
// dialog the launcher does not know keeps no handler, so it stays disabled: registering
// a dialog is what enables its row.
//
// Contract of OpenDialog: the dialog is made once per process and kept; it is shown
// modeless unless the request says modal. When the command opened an undo step for it
// (TUndoableOperations::BeginDialogOperation), the dialog owns that step from then on:
// it previews over it, keeps it on OK (and records the repeat command), and ends it
// through EndDialogOperation when closed otherwise. Returns false when the dialog did
// not open (unknown class, or it refused the document); the command then ends the step
// it opened.
#include <string>
#include <string_view>

class QObject;

namespace qm {

class TDialogHost;

struct TDialogRequest {
  // The command's caption, cleaned: the dialog's title, and its undo step's name.
  std::string Caption;
  // The mode field of the dialogs that have one (minimum 0, maximum 1, dust removal 2;
  // dilate 0, contract 1; selection 0; a layer's options 0, a new layer's 1); -1 for
  // the others.
  int Mode = -1;
  bool Modal = false;
  // The command opened an undo step for the dialog. The fade reopened on the fade step
  // it made before changes that step instead: NewStep is then false.
  bool NewStep = true;
  // A starting value the command hands over (the fade's opacity); -1 for none.
  int Value = -1;
  // A file the command hands over (the image browser's mask for Sheerlay); empty for
  // none.
  std::string File;
  // The menu item or tool button that ran the command.
  const QObject* Sender = nullptr;
};

// Previewed dialogs follow the preview protocol over an undo step (filters and
// adjustments); command dialogs are commands with their own OK (image size, canvas, new
// image, selection options ...).
enum class TDialogKind : unsigned char { Previewed, Command };

class TDialogLauncher {
 public:
  virtual ~TDialogLauncher() = default;
  virtual bool HasDialog(std::string_view className) const = 0;
  virtual bool OpenDialog(TDialogHost& host, std::string_view className, const TDialogRequest& request) = 0;
  // The dialog's form is made again at its next opening (the units it shows changed);
  // nothing while it is shown.
  virtual void FreeDialog(std::string_view className) = 0;
};

}  // namespace qm
