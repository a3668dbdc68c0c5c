#pragma once
// Which commands the editor allows now: the state of the active document and of the
// shell read once (TCommandState), and the one answer to every rule of the command
// table (CommandRuleHolds). The main window gives the command set an evaluator made of
// the two; menus, pop-ups and tool buttons all follow it.
#include "shell/services/CommandTable.h"
#include "shell/services/UndoableOps.h"

namespace qm {

class TShellServices;

// What the rules read. Without a document every document fact is false.
struct TCommandState {
  bool Doc = false;     // a document window is active
  bool Lock = false;    // a parameter dialog holds the shell
  bool TC = false;      // true colour
  bool Alpha = false;   // the background has an alpha mask
  bool Trn = false;     // the background has a transparent colour
  bool BgT = false;     // the background has transparency (either)
  bool Blk = false;     // the active layer is locked or hidden
  bool Txt = false;     // the active layer is not an image layer
  bool Bg = false;      // the active layer is the background
  bool Bl = false;      // the background is locked
  bool BgBitmap = false;       // the background is an image layer
  bool ActiveVisible = false;  // the active layer is shown
  bool ActiveMaskEmpty = false;
  bool Locked = false;       // the active layer is locked
  bool TextData = false;     // the active layer is a text layer carrying its text
  bool Shadow = false;       // the active layer casts its shadow
  bool BelowMergeable = false;  // the layer below the active one is an unlocked image layer
  bool UpperShown = false;   // some layer above the background is shown
  int LayerCount = 0;
  bool SelV = false, SelInv = false, SelDef = false;
  TMyShape SelKind = ssRect;
  bool Mod = false;     // modified since the last save
  bool New = false;     // never saved
  bool CanUndo = false, CanRedo = false;
  // The current step, for the fade.
  int StepKind = -1;
  bool StepFaded = false;
  bool PasteLayer = false;  // the clipboard pastes as a layer of this document
  bool PasteImage = false;  // the clipboard holds a picture
  bool Pattern = false;     // a fill pattern is defined
  bool AnyHistory = false;  // some document's history holds a step
  bool Printer = false, Scanning = true, PluginsAvailable = false;
  bool MasksFolder = false;
  bool RepeatStored = false;
  TRepeatGuard RepeatGuard = rgAlways;
  // The active view's zoom: a step in and a step out exist; the zoom box shows 100 %.
  bool ZoomStepIn = false, ZoomStepOut = false, ZoomOn100 = false;
};

// The state of the services' active document and shell; the facts only the main
// window knows (printer, scanning, plug-ins, the masks folder, the clipboard) are
// left for it to fill.
TCommandState ReadCommandState(TShellServices& services);

// The table's rule for that state. Rules of commands whose state lives in parts of the
// editor not present (copied shapes, layer effects) answer false.
bool CommandRuleHolds(TCommandRule rule, const TCommandState& s);

}  // namespace qm
