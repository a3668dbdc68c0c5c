#pragma once
// The load and save dispatch: the reader of a file is found once, by its extension, in
// the reader registry; the writer once, by its extension, in the table of the formats
// written (FileFormats.h). Each call carries its own request (options, progress event,
// error hook) and returns its own result, so loads and saves may run on any thread,
// several at once: nothing here reads or writes process-wide state, and nothing here
// shows a message. A failure comes back as a TFileError naming its text-table
// message, the file and the library's reason.
//
// The shell's road to it (the shell's settings each call's request is made from, the
// picture dialogs, the failure messages) is PictureFiles.h.
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "imagefiles/FormatRegistry.h"
#include "imagefiles/JpegCodec.h"
#include "imagefiles/PngCodec.h"
#include "pixel/PixelFormat.h"
#include "platform/core/Bitmap.h"
#include "platform/texts/FileError.h"

namespace qm {

class TLayeredImage;
class TPictureReadAhead;
struct TFormatRow;

// Progress stages.
enum : int {
  fpBeforeLoad = 0,   // Flag false vetoes the load
  fpAfterLoad = 1,    // before the pixels reach the caller; Flag false drops them
  fpBeforeSave = 2,   // Flag false vetoes the save; the options may be changed
  fpAfterSave = 3,
  fpFailed = 4,       // after a failed load or save (Flag not read)
};

// The result of a load or save, as the shell's callers count it.
enum TFileResult : int { frFailed = -1, frVetoed = 0, frDone = 1 };

struct TGifWriteOptions {
  bool OptimizePalette = true;  // drop the colour-map entries no pixel uses
  bool Interlaced = false;
};

struct TFileSender {
  TFileObject Kind = TFileObject::None;
  // Load, stage 1: the picture read (not yet the caller's). Save: the bitmap to write;
  // stage 2 may still change it (the writer encodes it after the stage).
  TBitmap* Bitmap = nullptr;
  const TGifImage* Gif = nullptr;          // GIF load, stage 1: every frame
  TJpegWriteOptions* Jpeg = nullptr;       // JPEG save, stage 2: quality and progressive mode
  TPngWriteOptions* Png = nullptr;         // PNG save, stage 2: interlacing, filters, level
  TGifWriteOptions* GifOptions = nullptr;  // GIF save, stage 2: palette and interlacing
  bool* KeepExif = nullptr;                // JPEG save, stage 2: the request's KeepExif, for this save
  const TFormatRow* Format = nullptr;      // save: the format written (its row of FormatTable)
  TLayeredImage* Layered = nullptr;        // layered save
  int SourceColors = 0;                    // load, stage 1: colour count of the file's pixel format
  int FrameCount = 0;                      // load, stage 1
  bool IsIcon = false, IsMetafile = false;
};

// Raised on the thread that loads or saves.
using TFileProgressEvent =
    std::function<void(const TFileSender& sender, const std::string& fileName, int stage, bool& flag)>;
// Called once with a failure, on the thread that loads or saves, before stage 4. What
// it throws is dropped.
using TFileErrorEvent = std::function<void(const TFileError& error)>;

// --- Loading ----------------------------------------------------------------------

struct TLoadRequest {
  // A reduced picture where the reader can make one (JPEG at a reduced scale, the
  // layered file's stored thumbnail, a RAW file's embedded thumbnail). A preview raises
  // no stage and calls no OnError.
  bool Preview = false;
  TFileProgressEvent OnProgress;  // stages 0, 1 and 4
  TFileErrorEvent OnError;        // leave it empty on a worker thread
  // The largest picture to make. A larger one fails with GetOeMsgPictureTooLarge
  // before its pixels are allocated.
  TPictureLimit Limit;
  // A picture of the file read ahead, taken in place of reading the file when it is
  // that file's (ReadAhead.h); null: the file is read.
  TPictureReadAhead* ReadAhead = nullptr;
};

struct TLoadResult {
  TFileResult Result = frFailed;
  // The picture, once loaded: 24-bit (32-bit when the file keeps alpha), transparent
  // with its key colour where the format has one. Empty on failure or veto.
  TBitmap Bitmap;
  TFileObject Object = TFileObject::None;  // the reader's; None when no reader takes the extension
  // The size stored in the file (the full size, also when a reduced picture was
  // decoded); 0 until the file was read.
  int StoredWidth = 0, StoredHeight = 0;
  int SourceColors = 0;  // colour count of the file's pixel format; 0 when the reader knows none
  int FrameCount = 0;
  std::shared_ptr<const TGifImage> Frames;  // every frame, where the reader gives them (GIF)
  bool IsIcon = false, IsMetafile = false;
  // The failure: GetOeMsgErrorOpening with the file name and the reason, or
  // GetOeMsgPictureTooLarge with the file name, the picture's size and the limit in MB.
  TFileError Error;
  // What the reader's library warned of a picture it still read whole.
  std::vector<std::string> Warnings;
};

// Loads a picture with the reader of its extension. A picture the file holds only in
// part (the file ends early, its data is damaged) fails like an unreadable one, with
// the library's words as the reason: it never opens with invented rows. Never throws.
TLoadResult LoadPicture(const std::string& fileName, const TLoadRequest& request);

// --- Saving -----------------------------------------------------------------------

struct TSaveRequest {
  // The writers' options; stage 2 changes this call's copy through the sender.
  TJpegWriteOptions Jpeg;
  TPngWriteOptions Png;
  TGifWriteOptions Gif;
  // Saved JPEG files carry the EXIF and IPTC data of a source file: the target itself,
  // unless OnExifSource names another.
  bool KeepExif = false;
  std::function<void(std::string& sourceName)> OnExifSource;
  TFileProgressEvent OnProgress;  // stages 2, 3 and 4
  TFileErrorEvent OnError;
};

struct TSaveResult {
  TFileResult Result = frFailed;
  TFileError Error;  // the failure: GetOeMsgErrorSaving with the file name and the reason
  // A JPEG was written with KeepExif in force (as stage 2 left it): it carries the
  // source's metadata, where the source had any.
  bool ExifKept = false;
};

// Writes the bitmap by the extension of fileName, replacing the file atomically: a
// failing writer leaves the previous file intact. An unknown extension fails. Never
// throws.
TSaveResult SavePicture(const std::string& fileName, TBitmap& bitmap, const TSaveRequest& request);
// A ".qxi" name writes the layered image; any other goes to SavePicture with the
// flattened bitmap.
TSaveResult SaveDocument(const std::string& fileName, TBitmap& bitmap, TLayeredImage& layered,
                         const TSaveRequest& request);

}  // namespace qm
