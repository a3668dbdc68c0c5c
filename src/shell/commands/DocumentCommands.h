#pragma once
// The Image, Edit and Layer menus (with their pop-up twins and tool buttons): the
// commands that change the active document as a whole or its layer stack, paste and
// copy, and open the layer and image dialogs.
//
// Each command passes its checks first (the command guard, a single-layer image, no
// text layer, a selection holding pixels), each with its own message, and a refused
// command takes no undo step. A command that changes pixels opens its undo step before
// it does; the merges and the deletion of a layer, which the history cannot take back,
// are confirmed first and drop the steps that would point at layers no longer there.
//
// Dialog commands open their dialog by class name through the launcher; a dialog the
// launcher does not know leaves its row without a handler, hence disabled.
#include <functional>
#include <string>

namespace qm {

class TCommandSet;
class TDialogLauncher;
class TSelectionCommands;
class TShellServices;

struct TDocumentCommandHooks {
  // The palette's tool n chosen (13: the layer tool, after a paste).
  std::function<void(int tool)> SelectPaletteTool;
  // The fill pattern was defined or purged: the palette's pattern boxes follow.
  std::function<void(bool defined)> PatternChanged;
  // The layer strips' thumbnail size (0 hides them) chosen in the View menu.
  std::function<void(int size)> ThumbnailSizeChanged;
  // The picture to open as a layer: its name, the open dialog's folder. Without the
  // hook the picture open dialog asks.
  std::function<std::string()> AskLayerFileName;
  std::function<std::string()> OpenFolder;
};

// Attaches the three menus' commands; the dialog commands only when dialogs knows their
// dialog. The hooks are kept (the object returned lives as long as the services).
void RegisterDocumentCommands(TCommandSet& commands, TShellServices& services, TSelectionCommands& selection,
                              TDialogLauncher* dialogs, TDocumentCommandHooks hooks);

}  // namespace qm
