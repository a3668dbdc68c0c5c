#pragma once
// The one road by which flat pictures are read and written: the load dispatch picks a
// reader by extension, the save dispatch a writer; both report each step to one
// progress event (through which the caller vetoes, counts and sets the writer's
// options) and report failures with the program's messages.
//
// Results: 1 done, 0 vetoed or no name chosen, -1 failed (the message shown unless
// ShowFileErrors is off or a preview is loading).
//
// Process-wide state, GUI thread only; one load or save at a time.
#include <functional>
#include <string>
#include <vector>

#include "imagefiles/JpegCodec.h"
#include "imagefiles/PngCodec.h"
#include "pixel/PixelFormat.h"
#include "platform/core/Bitmap.h"

namespace qm {

class TLayeredImage;

// Progress stages.
enum : int {
  fpBeforeLoad = 0,   // Flag false vetoes the load
  fpAfterLoad = 1,    // before the pixels reach the caller's bitmap; Flag false drops them
  fpBeforeSave = 2,   // Flag false vetoes the save; the options may be changed
  fpAfterSave = 3,
  fpFailed = 4,       // after a failed load or save (Flag not read)
};

// The object a stage concerns.
enum class TFileObject {
  None,      // the generic reader before it knows the format, and stage 4
  Picture,   // a picture read through the reader registry
  Gif,       // the GIF reader and writer
  Jpeg,      // the JPEG reader and writer
  Layered,   // the layered file
  Raw,       // a RAW file
  Bitmap,    // the BMP, RLE and TIFF writers: the bitmap itself
  Png,       // the PNG writer
  Targa,     // the Targa writer
};

struct TFileSender {
  TFileObject Kind = TFileObject::None;
  // Load, stage 1: the picture read (not yet the caller's). Save: the bitmap to write;
  // stage 2 may still change it (the writer encodes it after the stage).
  TBitmap* Bitmap = nullptr;
  const TGifImage* Gif = nullptr;      // GIF load, stage 1: every frame
  TJpegWriteOptions* Jpeg = nullptr;   // JPEG save, stage 2: quality and progressive mode
  TPngWriteOptions* Png = nullptr;     // PNG save, stage 2: interlacing, filters, level
  TLayeredImage* Layered = nullptr;    // layered save
  int SourceColors = 0;                // load, stage 1: colour count of the file's pixel format
  int FrameCount = 0;                  // load, stage 1
  bool IsIcon = false, IsMetafile = false;
};

using TFileProgressEvent =
    std::function<void(const TFileSender& sender, const std::string& fileName, int stage, bool& flag)>;

// --- Process-wide state -------------------------------------------------------------

extern std::string OpenDialogTitle, SaveDialogTitle;
extern bool ShowFileErrors;      // true by default
extern bool PreviewLoading;      // true only while LoadBitmapFilePreview runs
extern bool OpenPreviewChecked;  // the open dialog's preview box
extern int LastLoadedWidth, LastLoadedHeight;  // the size stored in the file last loaded
// When set, saved JPEG files carry the EXIF and IPTC data of a source file: the
// target itself, unless OnExifSource names another.
extern bool KeepExif;
extern std::function<void(std::string& sourceName)> OnExifSource;
extern bool GifOptimizePalette;  // true by default
extern bool GifInterlaced;       // false by default
// The writer options each save starts from (stage 2 may change the save's copy).
extern TJpegWriteOptions JpegSaveDefaults;
extern TPngWriteOptions PngSaveDefaults;
extern TFileProgressEvent OnFileProgress;

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
using TOpenPictureDialog = std::function<bool(TOpenPictureRequest& request, std::vector<std::string>& files)>;

struct TSavePictureRequest {
  std::string InitialDir, FileName, Title, Filter, DefaultExt;
  int FilterIndex = 1;  // 1-based
};
using TSavePictureDialog = std::function<bool(const TSavePictureRequest& request, std::string& fileName)>;

void SetPictureDialogs(TOpenPictureDialog open, TSavePictureDialog save);

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
