#pragma once
// The File menu's work on documents: opening a picture into a new document window (or
// into the active one for a revert), saving with or without the save dialog, saving
// into the masks or patterns folder, closing every window, the image information, and
// the folder memories and recent files that opening and saving keep.
//
// It works through the shell's services on their active document; the main window
// owns one and runs its commands through it. GUI thread only.
#include <functional>
#include <string>
#include <vector>

#include "imagefiles/FileDispatch.h"
#include "shell/services/RecentFiles.h"
#include "shell/services/Settings.h"
#include "views/DocumentWindowHost.h"

namespace qm {

class TLayeredImage;
class TShellServices;

// The most files one open command, a command line or a drop opens.
constexpr int kMaxOpenedFiles = 20;

// How a document opens from what its load found: its colour count before any layers
// are read (-1: by the file's pixel format, once the layers are known), and whether it
// opens as layers (a GIF of several frames).
struct TLoadedColors {
  int ColorCount = -1;
  bool AsLayers = false;
};
TLoadedColors ColorsOfLoad(const TLoadResult& loaded);

// Where a save into a folder writes (the tags of the "Enregistrer dans" items).
enum TSaveIntoFolder : int { sfImageFolder = 0, sfMasks = 1, sfPatterns = 2 };

class TFileCommands {
 public:
  TFileCommands(TShellServices& services, TShellSettings& settings, TRecentFiles& recent);

  std::string MasksFolder, PatternsFolder;
  // After a document was saved for the first time (the browser's buttons follow).
  std::function<void()> FirstSaved;

  // Opens the file: into a new document window, or (newWindow false, a revert) into
  // the active one. With remember, the open and save folders follow it and it heads
  // the recent files. A file open in a window already is refused (that window comes
  // forward) unless reopen (a revert reads the document's own file again). False when
  // nothing was opened (the user was told why).
  bool OpenImageFile(const std::string& name, bool newWindow, bool remember, bool reopen = false);
  // The first kMaxOpenedFiles names, each as the disk spells it, opened in turn; a
  // file that cannot be read does not stop the next.
  void OpenFiles(const std::vector<std::string>& names);
  // The open dialog in the open folder, then the files chosen.
  void OpenWithDialog();

  // Writes the active document. An empty fileName shows the save dialog on a name
  // made from proposed (its folder, the default format, an extension that keeps the
  // layers, the alpha channel or the transparent colour). askLimits: a format that
  // loses part of the document asks first. remember: the save folder and the recent
  // files follow a name chosen in the dialog. Returns 1 saved, 0 cancelled, -1 failed.
  int SaveImageFile(const std::string& fileName, const std::string& proposed, bool askLimits, bool remember);
  // Save: to the document's own file without a dialog when it has one in a writable
  // format, else as Save as.
  TSaveOutcome Save();
  TSaveOutcome SaveAs();
  // Save into the image's own folder, the masks folder or the patterns folder, through
  // the dialog; neither the folders nor the recent files follow.
  TSaveOutcome SaveInto(TSaveIntoFolder folder);
  // Asks, then reads the document's file again into its window.
  void Revert();
  // Closes the active window while windows remain and each agrees; false when one
  // stayed open.
  bool CloseAll();
  // The image information in a message box titled title.
  void ShowImageInfo(const std::string& title);

  // The name the save dialog proposes for the image (steps a to c above).
  std::string DefaultSaveName(const std::string& proposed, const TLayeredImage& image) const;
  // The bitmap a save writes, made at the format's stage 2 from the active document:
  // the background with its alpha for a format that keeps alpha, the background with
  // its transparent colour for one that keeps that, else the composed image; then, for
  // a document of 256 colours or fewer, reduced to the palette the format takes (the
  // sender's Format).
  void PrepareExportBitmap(const TFileSender& sender);

 private:
  TSaveOutcome Outcome(int result) const;

  TShellServices& services_;
  TShellSettings& settings_;
  TRecentFiles& recent_;
};

}  // namespace qm
