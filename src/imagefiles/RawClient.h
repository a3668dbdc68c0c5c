#pragma once
// Camera RAW files through the RAW decoding module "raw.qxl" (interface in
// RawModuleApi.h): the module is loaded around each call, reads the file through our
// buffered file callbacks and fills the rows of a 24-bit bitmap, an embedded thumbnail
// or an information record. Nothing the module returns is trusted: sizes, margins,
// thumbnail kinds and texts are checked before use.
//
// Threads: every decoding loads the module for itself (the system counts the
// loadings), so RAW files may be read on several threads at once. The module path is
// set once at start-up, on the GUI thread, before any read; LoadRawPlugin,
// UnloadRawPlugin and the registration of the RAW formats belong to the GUI thread.
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "imagefiles/PictureLimit.h"
#include "imagefiles/RawModuleApi.h"
#include "platform/core/Bitmap.h"

namespace qm {

struct TGraphicClass;

// --- The buffered file the callbacks work on ------------------------------------

// Open modes of TFastFile (the file-sharing bits of the classic modes are ignored:
// every open shares the file with others).
enum : int { ffOpenRead = 0, ffOpenWrite = 1, ffOpenReadWrite = 2, ffCreate = 65535 };

class TFastFile {
 public:
  static constexpr int kBufferSize = 4096;
  // Over a file: ffCreate creates (or empties) it for reading and writing, any other
  // mode opens an existing file. ioResult receives 0, or the system's error number.
  // With an empty name, the file is a new memory stream.
  TFastFile(const std::string& fileName, int mode, int& ioResult);
  ~TFastFile();
  TFastFile(const TFastFile&) = delete;
  TFastFile& operator=(const TFastFile&) = delete;

  bool IsOpen() const { return isStream_ || fd_ >= 0; }
  int64_t Size();
  // The logical position: the physical one less the bytes still buffered.
  int64_t Position() const;
  // origin 0 start, 1 current, 2 end. A target inside the buffered bytes only moves
  // the buffer index; any other empties the buffer and sets the error flag from its
  // result (a failing seek sets it, a successful one clears it).
  void Seek(int64_t offset, int origin);
  // Copies up to n bytes; returns the bytes copied (fewer at the end or on an error).
  int64_t Read(void* buffer, int64_t n);
  // The next byte, -1 at the end or once the error flag is set.
  int ReadByte();
  // Writes at the logical position; returns the bytes written (a short write sets the
  // error flag).
  int64_t Write(const void* buffer, int64_t n);
  bool Error() const { return error_; }
  void ClearError() { error_ = false; }

 private:
  bool Fill();

  int fd_ = -1;
  bool isStream_ = false;
  std::vector<uint8_t> stream_;  // the memory stream's bytes
  int64_t physical_ = 0;         // the position of the file (or stream) after the buffer
  int64_t left_ = 0;             // bytes left in the buffer
  int64_t index_ = 0;            // read index into the buffer
  int64_t filled_ = 0;           // bytes in the buffer after the last fill
  bool error_ = false;
  uint8_t buffer_[kBufferSize];
};

// The callback record the host hands a module (without a host-opened file): every
// handle it opens must be closed through it.
QxlRawCallbacks RawHostCallbacks();

// --- The module -----------------------------------------------------------------

void SetRawPluginPath(const std::string& path);
const std::string& RawPluginPath();
bool RawPluginExists();
// Where the program looks for "raw.qxl", first found first: "Plugins" beside the
// executable (the build tree), "lib/quillomatic/Plugins" beside its "bin" folder (an
// installation), the user's Plugins folder ($XDG_DATA_HOME/Quillomatic/Plugins).
// When none holds it, the first of these.
std::string DefaultRawPluginPath();

// Loads the module and keeps it loaded until UnloadRawPlugin (the readers load it for
// themselves whether or not it is held); false when it does not load.
bool LoadRawPlugin();
void UnloadRawPlugin();

struct TRawInfo {
  std::string TextA, TextB, TextC;  // raw.qxl: camera maker, model, shot date
  double Resolution = 72.0;
  int Width = 0, Height = 0;
};

// Each throws EInvalidGraphic "DLL not loaded" when the module does not load, and
// "Error in decoding RAW image. Error code = <n>" when it reports an error.
void ReadRawInfo(const std::string& fileName, TRawInfo& info);
// options: the option bits (the program always uses 0x2A). bitmap becomes 24-bit on
// success only; a picture beyond the limit raises EPictureTooLarge before it is made.
void DecodeRawFile(const std::string& fileName, TBitmap& bitmap, int options, const TPictureLimit& limit = {});
// The camera's embedded thumbnail (JPEG thumbnails decoded at a preview scale).
void ExtractRawThumbnail(const std::string& fileName, TBitmap& target);

// The option byte every decoding of the program uses.
constexpr int kRawDecodeOptions = 0x2A;

// Checks a size a module reported: the picture inside the margins must be at least
// 1 x 1 and no larger than we read. Returns false for anything else.
bool CheckRawGeometry(int width, int height, int margin, int& innerWidth, int& innerHeight);

// --- RAW formats ----------------------------------------------------------------

struct TRawFormatRow {
  const char* Extensions;  // ";"-separated, without dots
  const char* Description;
  const char* ClassName;
};
const std::vector<TRawFormatRow>& RawFormatTable();

// The file's extension is a whole entry of a row of the RAW table (case ignored).
bool IsRawFile(const std::string& fileName);

// The reading classes of the RAW formats, one per row of the table (a maker), in its
// order. The reader registry routes the RAW extensions to them even when it does not
// list them, so a RAW file without the module fails as an unreadable file.
const std::vector<std::shared_ptr<const TGraphicClass>>& RawGraphicClasses();

// When the module exists, lists every RAW extension in the reader registry (one class
// per maker). Unregister removes them from the list again.
void RegisterRawFormats();
void UnregisterRawFormats();

// A RAW picture: the decoded image, or with Preview the embedded thumbnail (any error
// of the thumbnail leaves the picture empty); the stored size is the decoded size.
class TRawImage {
 public:
  bool Preview = false;
  TDecodeOptions Options;  // the limit of the decoded picture
  int StoredWidth = 0, StoredHeight = 0;
  TBitmap Picture;
  void LoadFromFile(const std::string& fileName);
};

}  // namespace qm
