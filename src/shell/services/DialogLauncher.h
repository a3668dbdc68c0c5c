#pragma once
// How a command of the menus opens its parameter dialog: by the dialog's class name
// ("TBlurForm", "TOptionSelForm"...), through a launcher the dialogs' layer implements
// (it sits above the shell). A command whose dialog the launcher does not know keeps no
// handler, so its row stays disabled.
//
// Contract of OpenDialog: the dialog is made once per process and kept; it is shown
// modeless unless the request says modal. When the command opened an undo step before
// (most filter and adjustment commands do), the dialog owns that step from then on:
// it previews over it, keeps it on Ok (and records the repeat command), and ends it
// through the shell's dialog-end service when cancelled. Returns false when the class
// is unknown, and the command then drops the step it opened.
#include <string>
#include <string_view>

namespace qm {

struct TDialogRequest {
  // The command's caption, cleaned: the dialog's title, and its undo step's name.
  std::string Caption;
  // The mode field of the dialogs that have one (minimum 0, maximum 1, dust removal 2;
  // dilate 0, contract 1; selection 0); -1 for the others.
  int Mode = -1;
  bool Modal = false;
  // The fade: false when it is reopened on the fade step it made before (it changes
  // that step instead of opening another), and the opacity its slider starts at.
  bool NewStep = true;
  int Value = -1;
};

class TDialogLauncher {
 public:
  virtual ~TDialogLauncher() = default;
  virtual bool HasDialog(std::string_view className) const = 0;
  virtual bool OpenDialog(std::string_view className, const TDialogRequest& request) = 0;
};

}  // namespace qm
