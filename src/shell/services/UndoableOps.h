#pragma once
// Every change of an image opens its undo step here first: a kind says which layer,
// whether the whole layer or a rectangle, and which bitmaps the step keeps. The same
// object keeps the copy of the layer taken before the change (what previews restart
// from and what the selection restriction brings back), ends the step of a dialog,
// undoes and redoes with the document's colour count, resolution, layer offsets and
// turns, and keeps the last command for the repeat command.
//
// It works on the active document through TLayerHost, so it runs without any window;
// what the windows must do around it comes through THooks (each may be empty).
#include <cstdint>
#include <functional>
#include <string>

#include "document/LayerHost.h"
#include "document/Undo.h"
#include "platform/core/Bitmap.h"
#include "platform/core/Types.h"

namespace qm {

// The kinds of undo step. The values are those the steps carry in their parameter 2.
enum TUndoKind : uint8_t {
  ukWholeImage = 0,           // the background, whole, image and mask (hides the selection)
  ukImageRect = 1,            // the background, a rectangle grown later, image
  ukLayerMask = 2,            // the active layer's mask, whole (hides the selection)
  ukStroke = 3,               // the active layer, a rectangle the stroke grows, image
  ukMaskStroke = 4,           // the same on the mask
  ukWorkRect = 5,             // the active layer over the working rectangle, image
  ukWorkRectMask = 6,         // the same, mask
  ukWorkRectImageAndMask = 7, // the same, image and mask
  ukWholeLayer = 8,           // the active layer, whole, image and mask (hides the selection)
  ukLayerMove = 9,            // the move of the active layer
  ukUnused = 10,              // as 9; no command gives it
  ukTextToImage = 11,         // a text layer turned into an image layer
  ukFade = 12,                // the fade of the current step, over its rectangle and bitmaps
};
constexpr int kUndoKindCount = 13;

// The step parameters (GetUndoStepParam's 1-based indices).
enum TUndoParam : int {
  upColorCount = 1,   // the document's colour count before the change
  upKind = 2,         // the TUndoKind
  upFadeOpacity = 3,  // the fade's opacity
  upResolution = 4,   // the horizontal resolution before the change, x 1000
  upOffsetX = 5,      // every layer above the background moved by this ...
  upOffsetY = 6,      // ... and this, by the command
  upFlipRotate = 7,   // the all-layer flip or turn code of the command
  upNoFade = 8,       // 1: the step cannot be faded
  upResolutionY = 9,  // the vertical resolution before the change, x 1000
};

// The repeat command's enabling rule.
enum TRepeatGuard : uint8_t { rgAlways = 0, rgContour = 1, rgProgressive = 2, rgShadow = 3 };

class TUndoableOperations {
 public:
  struct THooks {
    std::function<void()> RepaintAll;          // flush pending overlay drawing of every window
    std::function<void()> UpdateHistoryMenus;  // the Edit menu's undo and redo items
    std::function<void()> ResetWindowState;    // the image changed size: zoom, selection, status
    std::function<void()> UpdateCommandStates; // menus, buttons and the status bar
  };

  explicit TUndoableOperations(TLayerHost& host) : host_(host) {}
  THooks Hooks;

  // The copy of the step's layer (its mask for a mask-only step) taken by the last
  // BeginUndoableOperation; null once the change is over.
  const TBitmap* PreChangeCopy() const { return preChangeValid_ ? &preChange_ : nullptr; }
  // The same copy for the kernels that take their source by reference: they only read
  // it (a 24-bit copy is never converted).
  TBitmap* PreChangeCopy() { return preChangeValid_ ? &preChange_ : nullptr; }
  // Frees the copy's pixels (kept between changes so that the next copy of a layer of
  // that size writes into pages already mapped).
  void ReleasePreChangeCopy();

  // Pushes the step of the kind onto the active document's history, captioned with
  // caption less a trailing " [shortcut]". Returns the new step; null without a
  // document (or without the layer the kind needs). A change that never reads the
  // pre-change copy (nothing to restrict to a selection, its blends made from the
  // step's own snapshot) may go without it: PreChangeCopy is then null.
  TUndoLayerItem* BeginUndoableOperation(TUndoKind kind, const std::string& caption, bool takeCopy = true);
  // The same for a parameter dialog, whose step EndDialogOperation may take back: the
  // steps the push drops (the redo branch, the oldest step) come back then, and go for
  // good when the change is over (RefreshLayerNavigator).
  TUndoLayerItem* BeginDialogOperation(TUndoKind kind, const std::string& caption);
  // Puts the current step's pixels back (its nested steps' too) without swapping: a
  // preview starts again from them.
  void RestoreFromHistory();
  // A parameter dialog closes without keeping its step: with previewed (a preview is
  // on the image) the step's pixels are put back first; then the step is deleted (the
  // history as it was before BeginDialogOperation), the pre-change copy emptied and the
  // repeatable command forgotten.
  void EndDialogOperation(bool previewed);
  // The document of a dialog's step went away with its history: only the pre-change
  // copy and the repeatable command are forgotten, no history is touched.
  void AbandonDialogOperation();
  // The active layer was moved from oldPosition: one step for any number of moves in
  // a row of the same layer.
  void PushLayerMoveUndo(TPoint oldPosition);

  // The Edit menu's undo and redo of one step (nothing when there is none).
  void Undo();
  void Redo();

  // The active layer's thumbnail refreshed, the pre-change copy emptied and the steps a
  // dialog's push held freed: the change is over.
  void RefreshLayerNavigator();

  // The last command, for the repeat command: its caption, how it runs again (the
  // replay keeps its own copy of the parameters and invalidates what it changes) and
  // its enabling rule.
  void RecordRepeatableCommand(const std::string& caption, std::function<void()> replay,
                               TRepeatGuard guard = rgAlways);
  void ClearRepeatableCommand();
  bool HasRepeatableCommand() const { return bool(replay_); }
  TRepeatGuard RepeatGuard() const { return repeatGuard_; }
  const std::string& RepeatableCaption() const { return repeatCaption_; }
  // "Répéter", followed by the stored caption when there is one.
  std::string RepeatCaption() const;
  // Runs the stored command again, then refreshes the navigator. The command repaints
  // what it changes, as it did the first time: a repeat costs what the first run cost,
  // not a recomposition of the whole image.
  void RepeatLastCommand();

 private:
  // Exchanges the document's colour count and resolution with the step's, toggles a
  // text-to-image step's layer type and hides the selection for whole steps.
  void ExchangeStepParams(TUndoLayerItem& step);
  // The all-layer offset and turn of the step, forward (+1) or back (-1).
  void ReplayAllLayerChange(const TUndoLayerItem& step, int sign);
  // After an undo or a redo of step: the window follows.
  void AfterStep(TUndoLayerItem& step, const TRect& imageBefore);

  TLayerHost& host_;
  TBitmap preChange_;
  bool preChangeValid_ = false;
  std::string repeatCaption_;
  std::function<void()> replay_;
  TRepeatGuard repeatGuard_ = rgAlways;
};

// The caption less a trailing " [shortcut]" (the hint's shortcut text): cut before its
// last " [" when it ends with "]".
std::string CutShortcutText(const std::string& caption);

}  // namespace qm
