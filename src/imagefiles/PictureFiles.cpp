#include "imagefiles/PictureFiles.h"

#include "imagefiles/FileFormats.h"
#include "imagefiles/FormatRegistry.h"
#include "imagefiles/ImageFileUtils.h"

namespace qm {

std::string OpenDialogTitle, SaveDialogTitle;
bool ShowFileErrors = true;
bool PreviewLoading = false;
bool OpenPreviewChecked = false;
int LastLoadedWidth = 0, LastLoadedHeight = 0;
bool KeepExif = false;
std::function<void(std::string&)> OnExifSource;
bool GifOptimizePalette = true;
bool GifInterlaced = false;
TJpegWriteOptions JpegSaveDefaults;
TPngWriteOptions PngSaveDefaults;
TFileProgressEvent OnFileProgress;

namespace {

TOpenPictureRunner& OpenDialog() {
  static TOpenPictureRunner d;
  return d;
}
TSavePictureRunner& SaveDialog() {
  static TSavePictureRunner d;
  return d;
}

// Shows the open dialog with the shell's title, filter and preview box; false when
// cancelled.
bool RunOpenDialog(const std::string& initialDir, bool multiSelect, std::vector<std::string>& files) {
  if (!OpenDialog()) return false;
  TOpenPictureRequest request;
  request.InitialDir = initialDir;
  request.Title = OpenDialogTitle;
  request.Filter = BuildImageFilter(true, false, false);
  request.MultiSelect = multiSelect;
  request.PreviewChecked = OpenPreviewChecked;
  const bool chosen = OpenDialog()(request, files);
  OpenPreviewChecked = request.PreviewChecked;
  return chosen;
}

// The reason goes to the standard error stream whether or not the message is shown,
// as do the warnings of a picture that loaded; a preview fails silently.
void LogFailure(const TFileError& error, bool preview) {
  if (error && !preview) LogFileError(error);
}

}  // namespace

TLoadRequest DefaultLoadRequest() {
  TLoadRequest request;
  request.Preview = PreviewLoading;
  request.OnProgress = OnFileProgress;
  if (ShowFileErrors && !PreviewLoading) request.OnError = ShowFileError;
  return request;
}

TSaveRequest DefaultSaveRequest() {
  TSaveRequest request;
  request.Jpeg = JpegSaveDefaults;
  request.Png = PngSaveDefaults;
  request.Gif = TGifWriteOptions{GifOptimizePalette, GifInterlaced};
  request.KeepExif = KeepExif;
  request.OnExifSource = OnExifSource;
  request.OnProgress = OnFileProgress;
  if (ShowFileErrors) request.OnError = ShowFileError;
  return request;
}

void SetPictureDialogs(TOpenPictureRunner open, TSavePictureRunner save) {
  OpenDialog() = std::move(open);
  SaveDialog() = std::move(save);
}

int LoadBitmapFile(std::string& fileName, TBitmap& bitmap, const std::string& initialDir) {
  if (fileName.empty()) {
    std::vector<std::string> files;
    if (!RunOpenDialog(initialDir, false, files) || files.empty() || files[0].empty()) return 0;
    fileName = files[0];
  }
  const TLoadRequest request = DefaultLoadRequest();
  TLoadResult result = LoadPicture(fileName, request);
  if (result.StoredWidth > 0 && result.StoredHeight > 0) {
    LastLoadedWidth = result.StoredWidth;
    LastLoadedHeight = result.StoredHeight;
  }
  LogFailure(result.Error, request.Preview);
  if (!request.Preview) LogFileWarnings(fileName, result.Warnings);
  if (result.Result == frDone) bitmap = std::move(result.Bitmap);
  return result.Result;
}

int LoadBitmapFilePreview(const std::string& fileName, TBitmap& bitmap) {
  TScopedFlag preview(PreviewLoading, true);
  std::string name = fileName;
  if (name.empty()) return 0;
  return LoadBitmapFile(name, bitmap, {});
}

std::vector<std::string> ExecuteOpenPictureDialog(const std::string& initialDir) {
  std::vector<std::string> files;
  if (!RunOpenDialog(initialDir, true, files)) files.clear();
  return files;
}

void ExecuteSaveDialog(const std::string& initialName, std::string& fileName) {
  fileName.clear();
  if (!SaveDialog()) return;
  TSavePictureRequest request;
  request.Title = SaveDialogTitle;
  request.Filter = GetFormatFilter(false);
  request.DefaultExt = ".bmp";
  if (FolderExists(initialName)) {
    request.InitialDir = initialName;
    request.FilterIndex = 1;
  } else {
    const int row = FindFormatByExt(initialName);
    request.FileName = initialName;
    if (row >= 0) {
      request.FilterIndex = row + 1;
    } else {
      request.FilterIndex = 1;
      const std::string ext = LowerExt(initialName);
      if (!ext.empty()) request.FileName = initialName.substr(0, initialName.size() - ext.size());
    }
    const size_t slash = request.FileName.find_last_of('/');
    if (slash != std::string::npos) request.InitialDir = request.FileName.substr(0, slash);
  }
  std::string chosen;
  if (SaveDialog()(request, chosen)) fileName = chosen;
}

int SaveBitmapFile(std::string& fileName, TBitmap& bitmap, const std::string& initialDir) {
  if (fileName.empty()) {
    ExecuteSaveDialog(initialDir, fileName);
    if (fileName.empty()) return 0;
  }
  const TSaveResult result = SavePicture(fileName, bitmap, DefaultSaveRequest());
  LogFailure(result.Error, false);
  return result.Result;
}

int SaveDocumentFile(std::string& fileName, TBitmap& bitmap, TLayeredImage& layered, const std::string& initialDir) {
  if (fileName.empty()) {
    ExecuteSaveDialog(initialDir, fileName);
    if (fileName.empty()) return 0;
  }
  const TSaveResult result = SaveDocument(fileName, bitmap, layered, DefaultSaveRequest());
  LogFailure(result.Error, false);
  return result.Result;
}

}  // namespace qm
