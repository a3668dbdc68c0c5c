#pragma once
// What the parameter dialogs and the devices (batch, scanning, printing, plug-ins) reach
// the editor through: the active document and its layer, the undo operations, the busy
// state and the status bar, the shell lock, the repaint, the document windows, the
// settings file. The shell's services implement it for the main window; nothing above
// the shell needs the whole of them.
//
// All of it runs on the GUI thread.
#include <QDialog>
#include <string>

#include "document/qt/SelectionMask.h"
#include "platform/core/Bitmap.h"
#include "platform/core/Types.h"
#include "document/LayerHost.h"
#include "imagefiles/PictureFiles.h"
#include "shell/services/UndoableOps.h"
#include "views/DocumentWindow.h"
#include "views/DocumentWindowHost.h"
#include "views/ImageWindows.h"

class QWidget;

namespace qm {

class TIniFile;
class TImageWindows;
class TLayerHost;
class TLayeredImage;
class TNewImgForm;
class TUndoableOperations;

// The base of the parameter dialogs that take a colour picked on the image: while one
// is the active tool dialog, a click on the image picks the composed colour there and
// hands it to ColorPicked.
class TPipetteForm : public QDialog, public TColorPickTarget {
 public:
  using QDialog::QDialog;
};

// A holder of the shell lock whose work belongs to one document window (a parameter
// dialog over its undo step): told when that window closes all the same, before it
// leaves the list, so that it lets go of the window without touching its history.
class TShellLockHolder {
 public:
  virtual ~TShellLockHolder() = default;
  virtual void DocumentClosing(TNewImgForm& window) = 0;
};

// The shell's preferences that the dialogs show sizes and dates by.
struct TDialogPreferences {
  int ImageUnit = 0;  // the unit sizes start in: 0 pixels, 1 centimetres, 2 inches
  int PrintUnit = 0;  // the unit of paper sizes: 0 centimetres, 1 inches
  bool PreserveFileDate = false;  // saved files keep their source's date
  bool PreserveExif = false;      // saved JPEG files keep their source's EXIF data
};

class TDialogHost {
 public:
  virtual ~TDialogHost() = default;

  // The main window the dialogs centre on and are owned by; null in a shell without one.
  virtual QWidget* MainWindow() const = 0;
  virtual TImageWindows& Windows() = 0;
  // The active document as the layer operations, the selection masks and the undo
  // steps reach it.
  virtual TLayerHost& LayerHost() = 0;
  virtual TUndoableOperations& Operations() = 0;
  virtual TNewImgForm* GetActiveImgForm() const = 0;
  virtual TBitmap* GetActiveLayerBitmap() = 0;
  // The rectangle an operation applies to, in the active layer's coordinates.
  virtual TRect GetWorkRect() = 0;
  // The main window's fill pattern (may be empty).
  virtual const TBitmap& FillPattern() const = 0;
  // The adjustment dialogs follow their sliders as each gesture ends.
  virtual bool LivePreviewEnabled() const = 0;
  // The settings file the features keep their sections in (may be null).
  virtual TIniFile* SettingsFile() = 0;
  virtual TDialogPreferences DialogPreferences() const { return {}; }
  // What the shell's loads go by (a dialog's pattern file, among others).
  virtual TPictureFileSettings& PictureFiles() = 0;

  // The busy state: the status text (processing when empty) and, with hourglass, the
  // wait cursor; input is held off and closes wait until it ends.
  virtual void BeginBusy(const std::string& text = {}, bool hourglass = true) = 0;
  virtual void EndBusy() = 0;
  virtual bool IsBusy() const = 0;
  virtual void ProcessPendingEvents() = 0;
  virtual void SetStatusText(const std::string& text) = 0;
  virtual void UpdateStatusBar() = 0;

  // The shell lock a dialog holds from its show (form) to its hide (null); a
  // colour-picking dialog takes it as the active tool dialog; a modal window disables
  // the main window (EnableShell); a batch holds the shell with SetBatchLock.
  virtual void SetShellLock(QWidget* form) = 0;
  virtual QWidget* ShellLock() const = 0;
  virtual void SetActiveToolDialog(QWidget* form) = 0;
  virtual void EnableShell(QWidget* form) = 0;
  virtual void SetBatchLock(QWidget* form) = 0;

  virtual void RepaintActiveImage() = 0;
  virtual void RefreshLayerNavigator() = 0;
  // After a change of the active layer: the pixels outside the selection come back from
  // the copy taken before it (through the cache of the change's previews, when given).
  virtual void RestrictToSelection(TSelectionEdge edge, TRestoreMaskCache* cache = nullptr) = 0;
  virtual void StrokeSelectionWith(TColor color, int width, bool smooth) = 0;
  // A new selection made by a dialog is shown as one the selection tool drew: outline,
  // ants, the selection tool, the menus.
  virtual void ResetSelectionMode() = 0;
  // After the image changed size: the zoom again, the selection forgotten, the status bar.
  virtual void ResetImageWindowState() = 0;
  // The menus, buttons and status bar follow a change made outside a command.
  virtual void UpdateCommandStates() = 0;
  // The tool palette presses the tool of the number (0 the selection, 13 the layer
  // tool); nothing in a shell without a palette.
  virtual void SelectPaletteTool(int /*tool*/) {}

  // A new document window on the bitmap (the moving form takes its pixels), or on a copy
  // of image's layers.
  virtual TNewImgForm* CreateImageWindow(const TBitmap* bitmap, const TLayeredImage* image, int colorCount,
                                         bool isNew, const std::string& fileName) = 0;
  virtual TNewImgForm* CreateImageWindow(TBitmap&& bitmap, const TLayeredImage* image, int colorCount, bool isNew,
                                         const std::string& fileName) = 0;

  // The folders the shell last saved to and opened from; empty when there is none.
  virtual std::string SaveFolder() = 0;
  virtual std::string OpenFolder() = 0;
  // Writes the document to the file its name's extension chooses, through the shell's
  // picture-file settings and its save-time questions: a ".qxi" name writes its layers,
  // any other the bitmap. The save's result (> 0 done); a failure is told to the user,
  // or, when report is given, handed back in it for the caller to tell.
  virtual int SaveImageFile(std::string& fileName, TBitmap& bitmap, TLayeredImage& document,
                            TSaveResult* report = nullptr) = 0;

  bool HasActiveImage() const { return GetActiveImgForm() != nullptr; }
};

// The busy state for a scope: begun unless it is on already, and then ended however the
// scope ends (an outer scope or command keeps its own).
class TBusyScope {
 public:
  explicit TBusyScope(TDialogHost& host, const std::string& text = {}, bool hourglass = true)
      : host_(host), owner_(!host.IsBusy()) {
    if (owner_) host_.BeginBusy(text, hourglass);
    else if (!text.empty()) host_.SetStatusText(text);
  }
  ~TBusyScope() {
    if (owner_) host_.EndBusy();
  }
  TBusyScope(const TBusyScope&) = delete;
  TBusyScope& operator=(const TBusyScope&) = delete;

 private:
  TDialogHost& host_;
  bool owner_;
};

}  // namespace qm
