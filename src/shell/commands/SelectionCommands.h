#pragma once
// The Selection menu and its pop-ups, the shell's show and hide selection services, and
// what the main window answers to every document window's image: a shape drawn (its
// start, changes, end or cancel, combined with the selection while Ctrl or Alt is
// held), the keys (layers, zoom, letters for the tools and shapes, combine modes) and
// the hints switched off while dragging.
//
// One object per main window. It keeps the shape clipboard, the combine mode and the
// counter of the suggested selection file names; the selection itself belongs to each
// document window. The palette and the zoom steps, which live elsewhere, come through
// THooks, each of which may stay empty.
#include <QObject>
#include <functional>
#include <string>

#include "document/SelectionHost.h"
#include "document/Shapes.h"
#include "imagefiles/PictureFiles.h"
#include "views/MyImage.h"

class QKeyEvent;

namespace qm {

class TCommandSet;
class TNewImgForm;
class TShellServices;

// How a shape drawn while Ctrl or Alt is held meets the shown selection.
enum class TCombineMode : uint8_t { None, Add, Subtract };

// The zoom steps the number and sign keys ask for.
enum class TZoomKey : uint8_t { In, Out, Fit, Actual };

// The shape clipboard: a selection's kind and size (its rectangle moved to the origin)
// and, for a polygon or a traced outline, its points.
struct TShapeClip {
  bool Filled = false;
  TMyShape Kind = ssRect;
  TRect Rect{};
  TShapeRecord Points;
};

class TSelectionCommands : public QObject {
 public:
  struct THooks {
    // The palette: its tool n chosen (0 the selection tool, 1..14 the others).
    std::function<void(int tool)> SelectPaletteTool;
    // A palette shape tool is drawing: it draws the finished shape (image coordinates)
    // into the layer; false when no such tool is active.
    std::function<bool(TNewImgForm& window, const TRect& r)> DrawWithShapeTool;
    // The line tool draws the line from (Left, Top) to (Right, Bottom), image
    // coordinates.
    std::function<void(TNewImgForm& window, const TRect& line)> DrawLine;
    std::function<void(TZoomKey key)> Zoom;
    // The file dialogs of the selection files; an empty name when cancelled. Without
    // them the picture dialogs run.
    std::function<std::string(const TSavePictureRequest& request)> AskSaveFileName;
    std::function<std::string(const TOpenPictureRequest& request)> AskOpenFileName;
  };

  // Attaches the menu's commands to the rows of commands, becomes the services' answer to the document
  // windows and follows every document window of the services' area. Lives as long as
  // the services (it is their child).
  TSelectionCommands(TCommandSet& commands, TShellServices& services);
  THooks Hooks;

  // --- Services of the shell -----------------------------------------------------------
  // Hides the active document's selection (it stays defined).
  void HideSelection();
  // Shows the active document's selection as the selection tool works on it: unlocked,
  // outlined in its colours (green for a traced outline), resizable unless traced, the
  // image in its selection mode; the status bar shows its rectangle.
  void ResetSelectionMode();
  // The selection shape for the next drawing (modes 0 and 2) with the vertex-by-vertex
  // flag of the polygon, and the shown selection's shape (modes 0 and 1).
  void SelectSelectionTool(TMyShape kind, bool multiLine, int mode);
  // Loads a selection file as the active document's selection (an empty name asks for
  // one); false when nothing was loaded.
  bool LoadSelectionFile(const std::string& fileName);
  // The smoothing the Selection menu's radio items choose.
  TSelectionSmoothing Smoothing() const;
  // The rectangle the selection dialog proposes without a selection: the visible part
  // of the image shrunk on every side by a tenth of its smaller side.
  TRect DefaultSelectionRect() const;

  TCombineMode CombineMode() const { return combine_; }
  const TShapeClip& ShapeClipboard() const { return clip_; }
  // Numbers the suggested file name "SelectionNN.qxs"; grows after each save.
  int SelectionFileCounter = 1;

  // --- Answers to the document windows -----------------------------------------------------
  void ShapeDrawn(TNewImgForm& window, const TRect& r, TSelectionOption option);
  // Hints of the palette and, with windows, the palette, the browser and the other
  // document windows, off during a drag and back after it.
  void SetShowHints(bool on, bool windows);
  // Keys on a document's image, before the image and its selection get them; true when
  // the key was used up here.
  bool KeyDown(TNewImgForm& window, QKeyEvent* e);
  void KeyUp(TNewImgForm& window, QKeyEvent* e);

 protected:
  bool eventFilter(QObject* watched, QEvent* e) override;

 private:
  TNewImgForm* Active() const;
  void FollowWindow(TNewImgForm* window);
  void SetSelectionCaption(bool shown);
  void EndCombine();
  // The menu's commands.
  void ToggleSelection(const QObject* sender);
  void SelectAll();
  void SelectLayer();
  void ChangeShape(int tag, std::string_view menu);
  void UpdateShapeMenu(std::string_view menu);
  void Invert();
  void Centre(int alignment);
  void FitRatio(int tag);
  void CopyShape();
  void PasteShape();
  void SaveShape();
  // Steps 1 to 4 of a pasted or loaded shape: the question, then kind and points taken
  // by take, then the rectangle placed.
  void PlaceShape(const std::function<bool(TSelectionOverlay& sel, TRect& stored)>& take);

  TCommandSet& commands_;
  TShellServices& services_;
  TShapeClip clip_;
  TCombineMode combine_ = TCombineMode::None;
  TCombineMode drawing_ = TCombineMode::None;  // the mode the shape being drawn took
};

}  // namespace qm
