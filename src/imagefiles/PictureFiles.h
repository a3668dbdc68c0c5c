#pragma once
// The shell's road to picture files: the process-wide defaults every load and save of
// the shell starts from, the picture dialogs, and LoadBitmapFile, SaveBitmapFile and
// SaveDocumentFile, which build a request from the defaults, run the dispatch
// (FileDispatch.h) and show its failure message.
//
// Results: 1 done, 0 vetoed or no name chosen, -1 failed, the message already shown
// unless ShowFileErrors is off or a preview is loading.
//
// GUI thread only. A worker thread loads through LoadPicture with a request of its
// own and never touches these names.
#include <functional>
#include <string>
#include <vector>

#include "imagefiles/FileDispatch.h"
#include "platform/core/Bitmap.h"

namespace qm {

class TLayeredImage;

// --- The shell's defaults -----------------------------------------------------------

extern std::string OpenDialogTitle, SaveDialogTitle;
extern bool ShowFileErrors;      // true by default
extern bool PreviewLoading;      // true only while LoadBitmapFilePreview runs
extern bool OpenPreviewChecked;  // the open dialog's preview box
// The size stored in the file the shell last loaded: set by LoadBitmapFile from its
// result.
extern int LastLoadedWidth, LastLoadedHeight;
extern bool KeepExif;  // false by default
extern std::function<void(std::string& sourceName)> OnExifSource;
// The writer options each save starts from. A stage-2 handler that asks the user
// changes the save's own copy, through the sender (Jpeg, Png, GifOptions): what it
// writes here serves the saves that follow.
extern bool GifOptimizePalette;  // true by default
extern bool GifInterlaced;       // false by default
extern TJpegWriteOptions JpegSaveDefaults;
extern TPngWriteOptions PngSaveDefaults;
extern TFileProgressEvent OnFileProgress;

// The request a load of the shell makes: a preview while PreviewLoading is set,
// OnFileProgress, and the failure message unless ShowFileErrors is off or a preview
// is loading.
TLoadRequest DefaultLoadRequest();
// The request a save of the shell makes: the writer defaults, KeepExif with
// OnExifSource, OnFileProgress, and the failure message unless ShowFileErrors is off.
TSaveRequest DefaultSaveRequest();

// Sets a flag for a scope and restores the previous value however the scope ends.
class TScopedFlag {
 public:
  TScopedFlag(bool& flag, bool value) : flag_(flag), saved_(flag) { flag_ = value; }
  ~TScopedFlag() { flag_ = saved_; }
  TScopedFlag(const TScopedFlag&) = delete;
  TScopedFlag& operator=(const TScopedFlag&) = delete;

 private:
  bool& flag_;
  bool saved_;
};

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

// --- Loading ----------------------------------------------------------------------

// Loads a picture into bitmap: 24-bit (32-bit when the file keeps alpha), transparent
// with its key colour where the format has one. An empty fileName shows the open
// dialog first and receives the chosen name. On failure or veto, bitmap is untouched.
int LoadBitmapFile(std::string& fileName, TBitmap& bitmap, const std::string& initialDir = {});
// LoadBitmapFile with PreviewLoading set: reduced pictures where a reader can make
// one, no event, no message.
int LoadBitmapFilePreview(const std::string& fileName, TBitmap& bitmap);
// The open dialog with multiple selection; empty when cancelled.
std::vector<std::string> ExecuteOpenPictureDialog(const std::string& initialDir);

// --- Saving -----------------------------------------------------------------------

// Writes the bitmap by the extension of fileName (an empty name shows the save dialog
// first). The file is replaced atomically: a failing writer leaves the previous file
// intact.
int SaveBitmapFile(std::string& fileName, TBitmap& bitmap, const std::string& initialDir = {});
// A ".qxi" name writes the layered image; any other goes to SaveBitmapFile with the
// flattened bitmap.
int SaveDocumentFile(std::string& fileName, TBitmap& bitmap, TLayeredImage& layered,
                     const std::string& initialDir = {});
// The save dialog on a proposed name or folder; fileName stays empty when cancelled.
void ExecuteSaveDialog(const std::string& initialName, std::string& fileName);

}  // namespace qm
