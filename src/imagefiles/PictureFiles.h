#pragma once
// The shell's road to picture files: the settings every load and save of the shell
// starts from, the picture dialogs, and LoadBitmapFile, SaveBitmapFile and
// SaveDocumentFile, which make the call's request from the settings, run the dispatch
// (FileDispatch.h) and show its failure message.
//
// Results: 1 done, 0 vetoed or no name chosen, -1 failed, the message already shown
// unless ShowFileErrors is off or the load is a preview.
//
// Nothing here is process-wide but the dialogs' runners: each call takes the settings
// it goes by and hands back what it found, so loads and saves of a name may run on any
// thread with settings of their own (ShowFileErrors off away from the GUI thread).
// The dialogs are the GUI thread's.
#include <functional>
#include <string>
#include <vector>

#include "imagefiles/FileDispatch.h"
#include "platform/core/Bitmap.h"
#include "platform/texts/AppPaths.h"

namespace qm {

class TLayeredImage;

// --- The shell's settings ---------------------------------------------------------

// What the shell's loads and saves go by. The shell owns one (its services), copies
// it for a call that needs something of its own (its progress event, the EXIF
// source), and a call reads it only: the open dialog alone writes back its preview
// box. A stage-2 handler that asks the user changes the save's own copy of the writer
// options through the sender (Jpeg, Png, GifOptions, KeepExif); what it keeps for the
// saves that follow it writes into the shell's settings itself.
struct TPictureFileSettings {
  std::string OpenDialogTitle, SaveDialogTitle;  // empty: the dialog's own
  bool ShowFileErrors = true;
  bool OpenPreviewChecked = false;  // the open dialog's preview box, as the user left it
  // Saved JPEG files carry the EXIF and IPTC data of a source file: the target itself,
  // unless OnExifSource names another.
  bool KeepExif = false;
  std::function<void(std::string& sourceName)> OnExifSource;
  bool GifOptimizePalette = true;
  bool GifInterlaced = false;
  TJpegWriteOptions JpegSaveDefaults;
  TPngWriteOptions PngSaveDefaults;
  TFileProgressEvent OnFileProgress;
  // The picture the program's start reads ahead (null: none); the full loads take it.
  TPictureReadAhead* ReadAhead = nullptr;
};

// The request of a load: a preview (reduced, quiet) or a full load with
// OnFileProgress and, unless ShowFileErrors is off, the failure message.
TLoadRequest DefaultLoadRequest(const TPictureFileSettings& settings, bool preview = false);
// The request of a save: the writer defaults, KeepExif with OnExifSource,
// OnFileProgress, and the failure message unless ShowFileErrors is off.
TSaveRequest DefaultSaveRequest(const TPictureFileSettings& settings);

// --- The picture dialogs (provided by the layer that shows dialogs) -----------------

struct TOpenPictureRequest {
  std::string InitialDir, Title, Filter;
  bool MultiSelect = false;
  bool PreviewChecked = false;  // in: the box's state; out: as the user left it
};
// Returns false when cancelled; files receives the chosen names. The dialog processes
// the pending events once it has closed.
using TOpenPictureRunner = std::function<bool(TOpenPictureRequest& request, std::vector<std::string>& files)>;

struct TSavePictureRequest {
  std::string InitialDir, FileName, Title, Filter, DefaultExt;
  int FilterIndex = 1;  // 1-based
};
using TSavePictureRunner = std::function<bool(const TSavePictureRequest& request, std::string& fileName)>;

void SetPictureDialogs(TOpenPictureRunner open, TSavePictureRunner save);
// The save dialog given to SetPictureDialogs, run on the request; false when it was
// cancelled or none is installed.
bool RunSavePicture(const TSavePictureRequest& request, std::string& fileName);

// --- Loading ----------------------------------------------------------------------

// Loads a picture into bitmap: 24-bit (32-bit when the file keeps alpha), transparent
// with its key colour where the format has one. An empty fileName shows the open
// dialog first (its title and preview box from the settings, the box written back)
// and receives the chosen name. On failure or veto, bitmap is untouched. report, when
// given, receives what the load found (the stored size, colour count, frames; its
// Bitmap stays empty: the picture went to bitmap).
int LoadBitmapFile(TPictureFileSettings& settings, std::string& fileName, TBitmap& bitmap,
                   const std::string& initialDir = {}, TLoadResult* report = nullptr);
// A preview load: reduced pictures where a reader can make one, no event, no message.
int LoadBitmapFilePreview(const TPictureFileSettings& settings, const std::string& fileName, TBitmap& bitmap,
                          TLoadResult* report = nullptr);
// The open dialog with multiple selection; empty when cancelled.
std::vector<std::string> ExecuteOpenPictureDialog(TPictureFileSettings& settings, const std::string& initialDir);

// --- The lists of masks and patterns ------------------------------------------------

// The readable pictures of the list's folders (ListFolders, AppPaths.h): the user's
// first, each folder's in name order, without sub-folders.
std::vector<std::string> ListedPictures(TUserFolder list);
// The folder a chooser of the list opens on: the first of the list's folders that holds
// a readable picture, else the user's own.
std::string ListStartFolder(TUserFolder list);

// --- Saving -----------------------------------------------------------------------

// Writes the bitmap by the extension of fileName (an empty name shows the save dialog
// first). The file is replaced atomically: a failing writer leaves the previous file
// intact. report, when given, receives the save's result.
int SaveBitmapFile(const TPictureFileSettings& settings, std::string& fileName, TBitmap& bitmap,
                   const std::string& initialDir = {}, TSaveResult* report = nullptr);
// A ".qxi" name writes the layered image; any other goes to SaveBitmapFile with the
// flattened bitmap.
int SaveDocumentFile(const TPictureFileSettings& settings, std::string& fileName, TBitmap& bitmap,
                     TLayeredImage& layered, const std::string& initialDir = {}, TSaveResult* report = nullptr);
// The save dialog on a proposed name or folder; fileName stays empty when cancelled.
void ExecuteSaveDialog(const TPictureFileSettings& settings, const std::string& initialName, std::string& fileName);

}  // namespace qm
