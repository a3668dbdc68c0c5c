#pragma once
// The services every command, tool and dialog reaches the active document through:
// the accessors of the current document window, the working rectangle, the busy state
// with the status bar's four panels, the shell lock a parameter dialog holds, the
// command guard, the creation and closing of document windows and the callback of the
// file loads and saves. The main window owns one, over its MDI area and status bar;
// what belongs to parts of the main window built elsewhere (the palette, the browser,
// the menus and the zoom box) comes through THooks, each of which may stay empty.
//
// Busy: while a long operation runs, the shell only processes events that are not user
// input (ProcessPendingEvents), and a close of the main window or of a document window
// is held until EndBusy, so that neither a second command nor a close nor a save can
// start in the middle of a kernel or of a save.
#include <QObject>
#include <QPointer>
#include <exception>
#include <functional>
#include <string>
#include <vector>

#include <QDialog>

#include "document/LayerHost.h"
#include "views/DocumentWindow.h"
#include "views/DocumentWindowHost.h"
#include "views/ImageWindows.h"
#include "document/qt/SelectionMask.h"
#include "views/WindowLayerHost.h"
#include "imagefiles/PictureFiles.h"
#include "shell/services/DialogHost.h"
#include "shell/services/FileActionHost.h"
#include "shell/services/UndoableOps.h"

class QAction;
class QLabel;
class QMdiArea;
class QStatusBar;

namespace qm {

// The status bar's panels.
enum TStatusPanel : int { spStatus = 0, spImageSize = 1, spCursor = 2, spGeometry = 3 };

class TShellServices;

// Holds the closes of the shell's windows for its life (HoldCloses).
class TCloseHold {
 public:
  explicit TCloseHold(TShellServices& services);
  ~TCloseHold();
  TCloseHold(const TCloseHold&) = delete;
  TCloseHold& operator=(const TCloseHold&) = delete;

 private:
  TShellServices& services_;
};

class TShellServices : public QObject, public TDialogHost, public TDocumentWindowHost, public TFileActionHost {
 public:
  struct THooks {
    // The palette: typed values put in force, its window, its selection tool chosen,
    // its colours, whether its layer tool is active and the tool it drives the image
    // with.
    std::function<bool()> FlushPaletteEdits;
    std::function<QWidget*()> PaletteWindow;
    std::function<void()> SelectPaletteSelectionTool;
    std::function<void(int number)> SelectPaletteTool;
    std::function<void()> ResetSelectionMode;
    std::function<TColor()> ForegroundColor, BackgroundColor;
    std::function<bool()> IsLayerToolActive;
    std::function<TImageTool*()> ActiveTool;
    // The image browser: its window, and whether it is scanning a folder.
    std::function<QWidget*()> BrowserWindow;
    std::function<bool()> IsBrowserScanning;
    // Menus and controls of the main window: command states, the image control's mode
    // and cursor, the zoom box (its first entry, its read-only state), the Selection
    // menu's smoothing, the "maximise new windows" item, the selection button.
    std::function<void()> UpdateCommandStates;
    std::function<void()> RefreshImageMode;
    std::function<void()> RefreshImageCursor;
    std::function<void()> ResetZoomBox;
    std::function<void(bool readOnly)> SetZoomBoxReadOnly;
    std::function<void(TNewImgForm&)> ReapplyZoom;
    std::function<TSelectionSmoothing()> SelectionSmoothing;
    std::function<bool()> MaximiseNewWindows;
    std::function<void(bool enabled)> EnableSelectionButton;
    // The main window's display settings for the document windows.
    std::function<TDocumentViewSettings()> ViewSettings;
    // A plug-in module is loaded for a running command; a click and a colour picked on
    // the image for it.
    std::function<bool()> IsPluginLoaded;
    std::function<void(TPoint imagePoint, int button)> SendPluginPointClick;
    std::function<void(TColor color)> SendPluginColorPick;
    // The free-distortion frame is open on the active document.
    std::function<bool()> IsDistortionFrameOpen;
    // Save-time options. The JPEG question is asked in a modal dialog; each returns
    // false when cancelled. Without a hook the writer's defaults stand.
    std::function<bool(const std::string& fileName, TJpegWriteOptions& options, bool& keepExif)> AskJpegOptions;
    std::function<bool(const std::string& fileName, TPngWriteOptions& options)> AskPngOptions;
    std::function<bool(const std::string& fileName, TGifWriteOptions& options)> AskGifOptions;
    // The recent-files list and the browser follow a file renamed, moved or trashed.
    std::function<void(const std::string& from, const std::string& to)> FileRenamed;
    std::function<void(const std::string& name)> FileRemoved;
    // The settings file and the folder last opened from (the copy-to-folder dialog).
    std::function<TIniFile*()> SettingsFile;
    std::function<std::string()> LastUsedFolder;
    // The folder of the last save (empty before the first).
    std::function<std::string()> SaveFolder;
    // Makes the bitmap a save writes from the document (the export bitmap).
    std::function<void(const TFileSender& sender, const std::string& fileName)> PrepareExportBitmap;
    // The selection commands' answers to a document window: a shape drawn on the image
    // (started, changed, finished, cancelled; without the hook the window's default)
    // and the hints and other windows switched off during a drag.
    std::function<void(TNewImgForm& window, const TRect& r, TSelectionOption option)> ShapeDrawn;
    std::function<void(bool on)> SetShowHints;
  };

  // The main window (may be null) is disabled by EnableShell and its close is held
  // while busy.
  TShellServices(QMdiArea& area, QStatusBar& statusBar, QWidget* mainWindow = nullptr);
  ~TShellServices() override;
  TShellServices(const TShellServices&) = delete;
  TShellServices& operator=(const TShellServices&) = delete;

  THooks Hooks;
  // The adjustment dialogs follow their sliders as each gesture ends (their Preview
  // button hidden). The main window sets it at start-up.
  bool LivePreview = true;
  bool LivePreviewEnabled() const override { return LivePreview; }
  // The menus, buttons and status bar follow the editor's state (Hooks.UpdateCommandStates).
  void UpdateCommandStates() override;
  void SelectPaletteTool(int tool) override {
    if (Hooks.SelectPaletteTool) Hooks.SelectPaletteTool(tool);
  }
  void ResetSelectionMode() override;
  // The main window the dialogs centre on; null in a shell without one.
  QWidget* MainWindow() const override { return mainWindow_; }
  TImageWindows& Windows() override { return windows_; }
  // The current window's document as the layer operations, the selection masks and the
  // undo steps reach it.
  TLayerHost& LayerHost() override { return layerHost_; }
  TUndoableOperations& Operations() override { return operations_; }
  QLabel* StatusPanel(TStatusPanel panel) const { return panels_[panel]; }

  // --- The active document -----------------------------------------------------------
  TNewImgForm* GetActiveImgForm() const override { return windows_.Current(); }
  TMyImageLayered* GetActiveImage() const;
  TBitmap* GetActiveLayerBitmap() override;
  TBitmap* GetActiveLayerMask();
  TBitmap* GetBaseLayerBitmap();
  TSelectionControl* GetActiveSelection() const;
  TUndoList* GetActiveHistory() const;
  bool ActiveImageHasAlpha() const;
  std::string GetActiveFileName() const;
  void SetActiveFileName(const std::string& name);
  bool IsSelectionDefined() const;
  void SetSelectionDefined(bool defined);
  int GetActiveImageColorCount() const;
  void SetActiveImageColorCount(int count);
  // The item's caption cleaned of its "&", a trailing "..." and a trailing ":".
  static std::string GetMenuItemCaption(const QAction* item);
  // The rectangle an operation applies to, in the active layer's coordinates.
  TRect GetWorkRect() override { return qm::GetWorkRect(layerHost_); }
  // The part of the active image shown in its view (image coordinates), inset on every
  // side by a tenth of its smaller side: where a new shape first stands.
  TRect ShrinkSelectionByTenth();
  bool IsActiveImageTrueColor() { return layerHost_.IsActiveImageTrueColor(); }

  // --- Busy state and status bar -------------------------------------------------------
  // The status text (processing when empty) and, with hourglass, the wait cursor.
  void BeginBusy(const std::string& text = {}, bool hourglass = true) override;
  // Ends the busy state whatever began it: the cursor and "Prêt" back ("Exploration"
  // and the busy cursor while the browser scans), and the closes held meanwhile run.
  void EndBusy() override;
  bool IsBusy() const override { return busy_; }
  // Closes of the main window and of document windows are held, as while busy, until
  // as many releases as holds (a module that runs inside the editor, whatever busy
  // state it shows meanwhile); the last release runs the closes held, unless busy.
  void HoldCloses();
  void ReleaseCloses();
  // Lets the window live during a long operation: only events that are not user input
  // while busy, every event otherwise.
  void ProcessPendingEvents() override;
  void SetStatusText(const std::string& text) override;
  void UpdateStatusBar() override;
  void ShowCursorPosStatus(TNewImgForm& window, TPoint imagePoint) override;
  void ClearCursorPosStatus() override;
  void ShowSelectionRectStatus(TNewImgForm& window, const TRect& r) override;
  void ShowLayerRectStatus(TNewImgForm& window) override;

  // --- The shell lock --------------------------------------------------------------------
  // A parameter dialog holds the shell from its show (form) to its hide (null): the
  // palette and the browser are disabled, and so is every other document window.
  void SetShellLock(QWidget* form) override;
  QWidget* ShellLock() const override { return lock_; }
  // A colour-picking dialog (a TPipetteForm, or the plug-in host's window) shown, or
  // hidden (null): it takes the lock, and clicks on the image pick colours for it.
  void SetActiveToolDialog(QWidget* form) override;
  QWidget* GetActiveToolDialog() const { return toolDialog_; }
  // The main window disabled while form is shown, then the lock.
  void EnableShell(QWidget* form) override;
  // A batch holds the shell: the active window disabled and the zoom refused.
  void SetBatchLock(QWidget* form) override;
  void SetZoomEnabled(bool enabled);
  bool ZoomEnabled() const { return zoomEnabled_; }
  bool CanStartToolAction();
  // Where the active document's history stood before a command, and what a failure
  // inside it leaves: the busy state ended, the steps the command pushed and their
  // pixels given back, a lock it took but never showed released, its message shown.
  struct THistoryMark {
    QPointer<TNewImgForm> Window;
    int32_t StepId = 0;  // the current step's id then; 0 for none
    TNewImgForm::TChangeWatch Changes;  // what the document was
  };
  THistoryMark MarkHistory() const;
  void RecoverFromFailure(const THistoryMark& mark, const std::exception_ptr& failure);
  // After the command (done or failed): what it changed of the document that the
  // history does not hold marks it modified (TNewImgForm::EndWatch).
  void EndCommand(const THistoryMark& mark);
  // The guard every command starts with: refused (a beep, or the warning of an open
  // distortion frame) while a dialog holds the shell, except the zoom buttons while
  // zooming is allowed, and while the active view is dragged.
  bool CanRunCommand(const QObject* sender);

  // --- The Edit menu's undo and redo ---------------------------------------------------
  // Each passes the command guard and runs busy; every window is repainted first unless
  // the sender is the tool bar's own button (BtnUndo, BtnRedo).
  void UndoCommand(const QObject* sender);
  void RedoCommand(const QObject* sender);

  // --- Repaint, navigator, selection ---------------------------------------------------
  void RepaintActiveImage() override;
  void RefreshLayerNavigator() override { operations_.RefreshLayerNavigator(); }
  // After a change of the active layer: the pixels outside the selection come back from
  // the copy taken before it (through the cache of the change's previews, when given).
  void RestrictToSelection(TSelectionEdge edge, TRestoreMaskCache* cache = nullptr) override;
  void StrokeSelectionWith(TColor color, int width, bool smooth) override;
  // After a load or a revert: the zoom again, the selection forgotten, the status bar.
  void ResetImageWindowState() override;
  bool PickColorWithDialog(TColor& color);
  bool CanPasteImage(bool needTrueColourDocument);
  // The Edit menu's delete: the working rectangle cleared to the background colour, or
  // hidden in the layer's mask.
  void ClearWorkRect();

  // --- Document windows --------------------------------------------------------------------
  // A new document window on the bitmap (the moving form takes its pixels), or on a copy
  // of image's layers.
  TNewImgForm* CreateImageWindow(const TBitmap* bitmap, const TLayeredImage* image, int colorCount, bool isNew,
                                 const std::string& fileName) override;
  TNewImgForm* CreateImageWindow(TBitmap&& bitmap, const TLayeredImage* image, int colorCount, bool isNew,
                                 const std::string& fileName) override;
  bool CloseImageWindow(TNewImgForm* window, bool force);

  // --- Loads and saves ---------------------------------------------------------------------
  // The shell's settings of picture files: every load and save of the shell is made
  // from them, and the default save of a document window goes by them.
  TPictureFileSettings FileSettings;
  const TPictureFileSettings& PictureFileSettings() const override { return FileSettings; }
  TPictureFileSettings& PictureFiles() override { return FileSettings; }
  int JpegQuality = -1;  // -1: ask; else 0..100
  bool KeepExifSetting = true;
  // What a command's load or save asks of the progress handler.
  struct TFileCall {
    bool AllowReopen = false;         // a revert reads the document's own file again
    bool ConfirmFormatLimits = true;  // stage 2 asks about what the format loses
    bool AskOptions = true;           // stage 2 asks for the writer's options
  };
  // A copy of FileSettings whose OnFileProgress reports to OnFileProgress for the call.
  TPictureFileSettings FileSettingsFor(TFileCall call);
  // Stage 0: a file already open is not read twice (its window comes forward instead).
  // Stage 2: the format's questions, the export bitmap, the writer options asked or
  // configured.
  void OnFileProgress(const TFileCall& call, const TFileSender& sender, const std::string& fileName, int stage,
                      bool& flag);
  // A device's save (the pages of a batch scan): the writers' options as configured,
  // nothing asked.
  int SaveImageFile(std::string& fileName, TBitmap& bitmap, TLayeredImage& document,
                    TSaveResult* report = nullptr) override;
  std::string SaveFolder() override;
  std::string OpenFolder() override { return LastUsedFolder(); }

  // --- TFileActionHost: a document window follows its file ---------------------------
  bool IsBrowserScanning() override;
  TIniFile* SettingsFile() override;
  std::string LastUsedFolder() override;
  void FileRenamed(const std::string& from, const std::string& to) override;
  void FileRecycled(const std::string& name) override;

  // --- TDocumentWindowHost --------------------------------------------------------------
  TDocumentViewSettings ViewSettings() const override;
  bool IsDialogOpen() const override { return lock_ != nullptr; }
  bool IsDistortionFrameOpen() const override;
  bool IsPluginLoaded() const override;
  // The colour-picking dialog; a plug-in that holds the tool-dialog lock picks through
  // the host.
  TColorPickTarget* ActiveToolDialog() const override;
  TImageTool* ActiveTool() override;
  bool FlushPaletteEdits() override;
  bool PushLayerMoveUndo(TNewImgForm& window, TPoint oldPosition) override;
  void SendPluginPointClick(TPoint imagePoint, int button) override;
  void SendPluginColorPick(TColor color) override;
  void ShapeDrawn(TNewImgForm& window, const TRect& r, TSelectionOption option) override;
  void SetShowHints(bool on) override;
  void WindowActivated(TNewImgForm& window) override;
  void WindowClosing(TNewImgForm& window) override;

  // The main window's fill pattern (the layer operations set it).
  const TBitmap& FillPattern() const override { return layerHost_.FillPattern; }

 protected:
  bool eventFilter(QObject* watched, QEvent* e) override;

 private:
  // The active view is dragged (a shape drawn, a layer moved).
  bool IsViewDragged() const;
  // Closes are held now (busy, or held by a module).
  bool HoldingCloses() const { return busy_ || closeHolds_ > 0; }
  void RunHeldCloses();
  // Where the active layer lies, as the layer tool shows it.
  std::string LayerBoundsText() const;

  // The layer host of the current window, with what only the shell knows.
  class TServicesLayerHost : public TWindowLayerHost {
   public:
    TServicesLayerHost(TShellServices& services);
    const TBitmap* PreChangeCopy() override;
    TSelectionSmoothing SelectionSmoothing() override;
    TColor ForegroundColor() override;
    TColor BackgroundColor() override;
    void OpenImageDocument(TBitmap&& image, int colorCount, const std::string& caption) override;

   private:
    TShellServices& services_;
  };

  TImageWindows windows_;
  TServicesLayerHost layerHost_;
  // Colours picked for a running plug-in that holds the tool-dialog lock.
  class TPluginPicker : public TColorPickTarget {
   public:
    explicit TPluginPicker(TShellServices& services) : services_(services) {}
    void ColorPicked(TColor color) override { services_.SendPluginColorPick(color); }

   private:
    TShellServices& services_;
  };
  mutable TPluginPicker pluginPicker_{*this};
  TUndoableOperations operations_;
  QStatusBar& statusBar_;
  QWidget* mainWindow_;
  QLabel* panels_[4];
  bool busy_ = false;
  int closeHolds_ = 0;
  std::vector<QPointer<QWidget>> heldCloses_;
  QPointer<QWidget> lock_;
  THistoryMark lockMark_;  // the document as the lock found it
  QPointer<QWidget> toolDialog_;
  bool zoomEnabled_ = true;
};

}  // namespace qm
