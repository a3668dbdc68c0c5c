#pragma once
// The document window: the multiple-document child that holds one open document. It
// owns the document by composition (the layered image, its undo history, its selection)
// and the widgets that show it (the layer strip on the left, the image view with its
// selection overlay); the image never knows it is shown. It keeps the file name, the
// file date, the new and modified state, asks about unsaved changes before it closes,
// and routes the pointer on the image to the palette's tool, to a colour-picking
// dialog or to a running plug-in.
//
// The window belongs to a TImageWindows (the windows of one MDI area), which places,
// lists and activates it; the MDI area owns it as a child and closing frees it. What it
// needs of the shell goes through the list's TDocumentWindowHost.
#include <QMdiSubWindow>
#include <ctime>
#include <memory>
#include <string>

#include "document/DocumentFacts.h"
#include "document/LayeredImage.h"
#include "document/Undo.h"
#include "views/LayerNavigator.h"
#include "views/LayeredView.h"
#include "views/SelectionControl.h"

namespace qm {

class TImageWindows;
class TDocumentWindowHost;
struct TImagePointer;
class TImageTool;

// What a new document window is made of.
struct TImageWindowSetup {
  bool Maximised = false;
  bool FitZoom = true;         // the zoom fits the window (never above 100 %)
  int ColorCount = 16777216;   // of the file the document comes from
  bool IsNew = true;           // never saved: modified from the start
  std::string FileName;        // the full path; empty gives the next untitled name
  // The content: a copy of SourceImage when it holds layers, else Bitmap as the
  // background "#0" (a 32-bit bitmap's alpha becomes its mask). The window takes
  // Bitmap's pixels: a picture of 24 MP is not copied on its way to the document.
  const TLayeredImage* SourceImage = nullptr;
  TBitmap Bitmap;
};

class TNewImgForm : public QMdiSubWindow {
 public:
  // Builds the window in the list's MDI area, places it (cascaded at the number of open
  // windows, sized to the area, the zoom fitted), lists it in the Window menu and makes
  // it current.
  static TNewImgForm* CreateWithImage(TImageWindows& windows, TImageWindowSetup setup);
  ~TNewImgForm() override;
  TNewImgForm(const TNewImgForm&) = delete;
  TNewImgForm& operator=(const TNewImgForm&) = delete;

  TImageWindows& Windows() const { return windows_; }
  TDocumentWindowHost& Host() const;

  // --- What the window owns -----------------------------------------------------------
  TLayeredImage& Image() { return image_; }
  TUndoList& History() { return history_; }
  TMyImageLayered& View() { return *view_; }
  TSelectionControl& Selection() { return *selection_; }
  TLayerNavigator& Navigator() { return *navigator_; }

  // --- The document's state ---------------------------------------------------------
  const std::string& FileName() const { return fileName_; }
  // Stores the name; the caption (and the Window-menu entry) become its bare file name.
  void SetFileName(const std::string& name);
  bool IsNew = true;            // never saved
  std::time_t FileDate = 0;     // the file's modification time at opening
  bool HasExif = false;         // the opened file holds EXIF data
  bool FitToWindow = false;     // the zoom was last fitted to the window
  bool SelectionDefined = false;
  TPoint CloneSource{-1, -1};   // the clone stamp's source point (layer coordinates)
  // The offset from a stroke's start to the clone source, taken by the first aligned
  // stroke after the source was set and kept by the strokes that follow.
  TPoint CloneOffset{};
  bool CloneOffsetSet = false;
  int LayerNameCounter = 0;     // numbers the default layer names "#n"

  // --- Modified state: the history's position against the step of the last save -------
  // Modified when the current step (0 without one) is not the saved one, when an oldest
  // step was dropped, or when something changed beside the history (a change the
  // history did not record, layers reordered or toggled in the strip, a purge of a
  // modified document).
  bool IsImageModified() const;
  // The current step becomes the saved one; the other inputs are cleared.
  void MarkImageWindowSaved();
  // The document changed without an undo step.
  void NoteChangedOutsideHistory() { changedOutsideHistory_ = true; }
  // The strip changed the layers (order, visibility, lock, options).
  void NoteLayersChanged() { layersChanged_ = true; }
  // Clears the history, keeping the modified state as it was.
  void PurgeHistory();
  int32_t SavedStepId() const { return savedStepId_; }

  // --- Changes watched: every command, every dialog shown ----------------------------
  // What the document is when a change starts.
  struct TChangeWatch {
    TDocumentFacts Facts;
    int Saves = 0;  // saves and reverts until then
    int32_t CurrentStep = 0, LastStep = 0;
    int Steps = 0;
  };
  TChangeWatch WatchChanges() const;
  // At the change's end: what it changed that the history does not hold marks the
  // document modified. That is what no undo step holds (which layers there are and in
  // what order, their names, flags and settings), and what a step would hold (places,
  // sizes, types, colour count, resolution) when no step was taken for it: the history
  // neither grew nor moved (an undo or a redo moves it), and stepTaken does not say that
  // the change had its step before the watch began (a dialog's). A save or a revert
  // during the change is its new start: nothing is marked.
  void EndWatch(const TChangeWatch& watch, bool stepTaken = false);

  // --- Closing -----------------------------------------------------------------------
  // Whether the window may close: not while a parameter dialog holds the shell, nor
  // while the distortion frame is open (the user is told), and only when the question
  // about unsaved changes lets it.
  bool CloseQuery();
  // Asks about unsaved changes when the document is modified: Yes saves (and lets the
  // window close only when the save succeeded), No lets it close, Cancel keeps it.
  bool QuerySaveImageWindow();
  // Closes the window (after CloseQuery unless forced) and frees it; false when it
  // stays. A close of the window by other means (its close button, the area) asks
  // CloseQuery itself.
  bool CloseImageWindow(bool force);
  // The last CloseQuery agreed (the main window asks every window before it closes).
  bool Closing() const { return closing_; }

  // --- Placement -----------------------------------------------------------------------
  // Maximised, or cascaded at the index (index x 12 + 3 from the area's corner) and
  // sized to the rest of the area; then fitted to the image.
  void PlaceImageWindow(int index, bool fitZoom, bool resize, bool cascade, bool maximise);
  // fitZoom: the zoom fits the window (never above 100 %); shrink: a normal window's
  // client area shrinks (never grows) to the image on screen.
  void FitWindowToImage(bool fitZoom, bool shrink);
  // The strip's width from the settings (hidden at size 0).
  void LayOutLayerStrip();
  // Grid, frame and shadow, display optimisation and selection hit test from the
  // settings.
  void ApplyViewSettings();

  // The composed colour at a point of the view (clNone off the image).
  TColor PickColorAt(TPoint client);

 protected:
  void closeEvent(QCloseEvent* e) override;

 private:
  friend class TImageWindows;
  TNewImgForm(TImageWindows& windows);
  void Build(TImageWindowSetup& setup);
  void SetContent(TImageWindowSetup& setup);
  void WireEvents();

  // Activation bookkeeping, run by the list.
  void LeaveCurrent();
  void BecomeCurrent();

  void MouseDown(QMouseEvent* e);
  void MouseMove(QMouseEvent* e);
  void MouseUp(QMouseEvent* e);
  void LayerMoved(TLayerMoveStage stage);
  void SelectionChanged(TSelectionChange code);
  bool IsCurrent() const;
  int StripWidth() const;
  QSize ClientSize() const;
  void SetClientSize(QSize s);

  TImageWindows& windows_;
  TLayeredImage image_;
  TUndoList history_;
  QWidget* content_ = nullptr;  // the strip and the view, side by side
  TLayerNavigator* navigator_ = nullptr;
  TMyImageLayered* view_ = nullptr;
  std::unique_ptr<TSelectionControl> selection_;

  std::string fileName_;
  int32_t savedStepId_ = -1;
  bool creating_ = true;
  int savedSelectionVisible_ = -1;
  bool modifiedBeforePurge_ = false;
  int saves_ = 0;  // MarkImageWindowSaved calls
  bool changedOutsideHistory_ = false;
  bool layersChanged_ = false;
  bool closing_ = false;
  bool closeAgreed_ = false;  // during the close CloseImageWindow makes
  bool closed_ = false;       // closed, and out of the list
  TPoint moveStart_{};     // the active layer's place when a move or nudge began
  bool moveArmed_ = false;  // between the start and the end of that move
  TImageTool* pressTool_ = nullptr;  // the tool that took the press, until the release
};

}  // namespace qm
