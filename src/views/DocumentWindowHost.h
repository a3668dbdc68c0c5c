#pragma once
// What a document window needs of the shell around it: the view settings, the state
// of the shell (a parameter dialog holding it, a colour-picking dialog, a running
// plug-in, the palette's active tool), the commands a window starts (save, layer
// options, selection guides, the undo step of a layer move) and the notices the shell
// keeps its menus, palette and status bar current with.
//
// The shell derives from TDocumentWindowHost and overrides what it provides. The
// defaults are headless: no dialog, no tool, no status bar; a save writes through the
// save dispatch; a finished shape becomes the selection. Every method runs on the GUI
// thread.
#include <QMouseEvent>
#include <string>

#include "views/MyImage.h"
#include "platform/core/Types.h"

class QMenu;

namespace qm {

class TNewImgForm;
struct TPictureFileSettings;

// The shell's display settings a document window follows.
struct TDocumentViewSettings {
  bool OptimizedDisplay = true;  // smooth reduction below 100 %
  bool BorderShadow = true;      // a black frame and a 4-pixel shadow around the image
  int GridWidth = 16;            // image pixels between grid lines
  TColor GridColor = 0xC0C0C0;
  bool SelectionBoundsHitTest = true;  // the selection is grabbed by its bounding frame
  int LayerStripSize = 80;       // thumbnail size of the layer strip; 0 hides the strip
};

// A pointer event on the image, as a tool receives it.
struct TImagePointer {
  TPoint Client;                   // the view's viewport coordinates
  Qt::MouseButton Button;          // pressed or released; Qt::NoButton for a move
  Qt::MouseButtons Buttons;        // held after the event
  Qt::KeyboardModifiers Modifiers;

  static TImagePointer From(const QMouseEvent& e);
};

// A tool of the palette, driven by the window of the press: Press on the image,
// Move while a button is held, Release with the left or right button. Points are the
// view's client coordinates; the tool maps them to the active layer.
class TImageTool {
 public:
  virtual ~TImageTool() = default;
  virtual void Press(TNewImgForm& window, const TImagePointer& p) = 0;
  virtual void Move(TNewImgForm& window, const TImagePointer& p) = 0;
  virtual void Release(TNewImgForm& window, const TImagePointer& p) = 0;
};

// A dialog that takes a colour picked on the image (the shell's colour-picking
// parameter dialogs).
class TColorPickTarget {
 public:
  virtual ~TColorPickTarget() = default;
  virtual void ColorPicked(TColor color) = 0;
};

// What SaveImageWindow reports, as the save dispatch does.
enum TSaveOutcome : int { soSaveFailed = -1, soSaveCancelled = 0, soSaved = 1 };

class TDocumentWindowHost {
 public:
  virtual ~TDocumentWindowHost() = default;

  // --- Settings --------------------------------------------------------------------
  // The main window's colour: a document window shows it mixed a third toward white.
  virtual TColor WorkspaceColor() const { return RGB(212, 208, 200); }
  virtual TDocumentViewSettings ViewSettings() const { return {}; }
  // What the default SaveImageWindow saves by; the default: the settings' defaults.
  virtual const TPictureFileSettings& PictureFileSettings() const;

  // --- The shell's state -----------------------------------------------------------
  // A parameter dialog holds the shell: windows refuse to close and tools to start.
  virtual bool IsDialogOpen() const { return false; }
  // The free-distortion frame is open on the active document.
  virtual bool IsDistortionFrameOpen() const { return false; }
  // A plug-in module is loaded for a running command.
  virtual bool IsPluginLoaded() const { return false; }
  // The colour-picking dialog shown, if any.
  virtual TColorPickTarget* ActiveToolDialog() const { return nullptr; }
  // The palette's active tool; null when the image handles the pointer itself (the
  // selection tool draws its shapes in the view).
  virtual TImageTool* ActiveTool() { return nullptr; }
  // The menus of a right click on the image and on the selection; null: none (a tool
  // that paints with the right button wants none).
  virtual QMenu* ImagePopupMenu() { return nullptr; }
  virtual QMenu* SelectionPopupMenu() { return nullptr; }

  // --- Requests --------------------------------------------------------------------
  // Typed values of the palette are put in force before a press acts; true when one
  // had the focus.
  virtual bool FlushPaletteEdits() { return false; }
  // A click on the image while a plug-in runs with its dialog: image coordinates,
  // button 0 left, 1 right.
  virtual void SendPluginPointClick(TPoint /*imagePoint*/, int /*button*/) {}
  virtual void SendPluginColorPick(TColor /*color*/) {}
  // A middle-button press on the image.
  virtual void MiddleButtonPressed(TNewImgForm& /*window*/) {}
  // Saves the document because the close query was answered Yes: to its own file when
  // it has one whose format keeps what the document holds (the format-limit questions
  // asked), else through the save dialog proposing its name. On success the window is
  // marked saved under the name written. The default writes through the save dispatch.
  virtual TSaveOutcome SaveImageWindow(TNewImgForm& window);
  // The active layer of the window was moved from oldPosition by the pointer or the
  // keys: records the move in the history; false when it did not (the window then
  // counts the document changed outside its history).
  virtual bool PushLayerMoveUndo(TNewImgForm& /*window*/, TPoint /*oldPosition*/) { return false; }
  virtual void OpenLayerOptions(TNewImgForm& /*window*/) {}
  virtual void OpenSelectionGuides(TNewImgForm& /*window*/) {}
  // A shape drawn on the image started, changed, finished or was cancelled (r in image
  // coordinates, as the view reports it). The default makes a finished shape the
  // selection and hides it on a new start or a cancel.
  virtual void ShapeDrawn(TNewImgForm& window, const TRect& r, TSelectionOption option);

  // --- Notices ---------------------------------------------------------------------
  // A window became current. Activating comes first (the menus follow the window);
  // Activated after the window restored its selection (the palette leaves a state
  // of the previous window; status bar and menus follow). Neither comes for the
  // activation during a window's creation.
  virtual void WindowActivating(TNewImgForm& /*window*/) {}
  virtual void WindowActivated(TNewImgForm& /*window*/) {}
  // The window agreed to close and leaves the list; it is freed after the call.
  virtual void WindowClosing(TNewImgForm& /*window*/) {}
  // The layer strip changed the active layer, or the order or flags of layers.
  virtual void ActiveLayerChanged(TNewImgForm& /*window*/) {}
  virtual void LayersChanged(TNewImgForm& /*window*/) {}

  // --- Status bar and hints ----------------------------------------------------------
  virtual void SetShowHints(bool /*on*/) {}
  virtual void ShowCursorPosStatus(TNewImgForm& /*window*/, TPoint /*imagePoint*/) {}
  virtual void ClearCursorPosStatus() {}
  virtual void ShowSelectionRectStatus(TNewImgForm& /*window*/, const TRect& /*r*/) {}
  // The active layer's rectangle (during a layer move).
  virtual void ShowLayerRectStatus(TNewImgForm& /*window*/) {}
  virtual void UpdateStatusBar() {}
};

}  // namespace qm
