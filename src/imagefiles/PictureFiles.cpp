#include "imagefiles/PictureFiles.h"

#include "imagefiles/FileFormats.h"
#include "imagefiles/FileSearch.h"
#include "imagefiles/FormatRegistry.h"
#include "imagefiles/ImageFileUtils.h"

namespace qm {

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
bool RunOpenDialog(TPictureFileSettings& settings, const std::string& initialDir, bool multiSelect,
                   std::vector<std::string>& files) {
  if (!OpenDialog()) return false;
  TOpenPictureRequest request;
  request.InitialDir = initialDir;
  request.Title = settings.OpenDialogTitle;
  request.Filter = BuildImageFilter(true, false, false);
  request.MultiSelect = multiSelect;
  request.PreviewChecked = settings.OpenPreviewChecked;
  const bool chosen = OpenDialog()(request, files);
  settings.OpenPreviewChecked = request.PreviewChecked;
  return chosen;
}

// The reason goes to the standard error stream whether or not the message is shown,
// as do the warnings of a picture that loaded; a preview fails silently.
void LogFailure(const TFileError& error, bool preview) {
  if (error && !preview) LogFileError(error);
}

// Runs a load; the picture goes to bitmap on success, the rest to report.
int Load(const std::string& fileName, const TLoadRequest& request, TBitmap& bitmap, TLoadResult* report) {
  TLoadResult result = LoadPicture(fileName, request);
  LogFailure(result.Error, request.Preview);
  if (!request.Preview) LogFileWarnings(fileName, result.Warnings);
  if (result.Result == frDone) bitmap = std::move(result.Bitmap);
  const int code = result.Result;
  if (report) *report = std::move(result);
  return code;
}

}  // namespace

TLoadRequest DefaultLoadRequest(const TPictureFileSettings& settings, bool preview) {
  TLoadRequest request;
  request.Preview = preview;
  if (preview) return request;  // a preview raises no stage and shows no message
  request.OnProgress = settings.OnFileProgress;
  request.ReadAhead = settings.ReadAhead;
  if (settings.ShowFileErrors) request.OnError = ShowFileError;
  return request;
}

TSaveRequest DefaultSaveRequest(const TPictureFileSettings& settings) {
  TSaveRequest request;
  request.Jpeg = settings.JpegSaveDefaults;
  request.Png = settings.PngSaveDefaults;
  request.Gif = TGifWriteOptions{settings.GifOptimizePalette, settings.GifInterlaced};
  request.KeepExif = settings.KeepExif;
  request.OnExifSource = settings.OnExifSource;
  request.OnProgress = settings.OnFileProgress;
  if (settings.ShowFileErrors) request.OnError = ShowFileError;
  return request;
}

void SetPictureDialogs(TOpenPictureRunner open, TSavePictureRunner save) {
  OpenDialog() = std::move(open);
  SaveDialog() = std::move(save);
}

int LoadBitmapFile(TPictureFileSettings& settings, std::string& fileName, TBitmap& bitmap,
                   const std::string& initialDir, TLoadResult* report) {
  if (fileName.empty()) {
    std::vector<std::string> files;
    if (!RunOpenDialog(settings, initialDir, false, files) || files.empty() || files[0].empty()) return 0;
    fileName = files[0];
  }
  return Load(fileName, DefaultLoadRequest(settings), bitmap, report);
}

int LoadBitmapFilePreview(const TPictureFileSettings& settings, const std::string& fileName, TBitmap& bitmap,
                          TLoadResult* report) {
  if (fileName.empty()) return 0;
  return Load(fileName, DefaultLoadRequest(settings, true), bitmap, report);
}

bool RunSavePicture(const TSavePictureRequest& request, std::string& fileName) {
  return SaveDialog() && SaveDialog()(request, fileName);
}

std::vector<std::string> ExecuteOpenPictureDialog(TPictureFileSettings& settings, const std::string& initialDir) {
  std::vector<std::string> files;
  if (!RunOpenDialog(settings, initialDir, true, files)) files.clear();
  return files;
}

void ExecuteSaveDialog(const TPictureFileSettings& settings, const std::string& initialName, std::string& fileName) {
  fileName.clear();
  if (!SaveDialog()) return;
  TSavePictureRequest request;
  request.Title = settings.SaveDialogTitle;
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

namespace {

// The save of SaveBitmapFile (layered null) and SaveDocumentFile.
int Save(const TPictureFileSettings& settings, std::string& fileName, TBitmap& bitmap, TLayeredImage* layered,
         const std::string& initialDir, TSaveResult* report) {
  if (fileName.empty()) {
    ExecuteSaveDialog(settings, initialDir, fileName);
    if (fileName.empty()) return 0;
  }
  const TSaveRequest request = DefaultSaveRequest(settings);
  TSaveResult result =
      layered ? SaveDocument(fileName, bitmap, *layered, request) : SavePicture(fileName, bitmap, request);
  LogFailure(result.Error, false);
  const int code = result.Result;
  if (report) *report = std::move(result);
  return code;
}

}  // namespace

int SaveBitmapFile(const TPictureFileSettings& settings, std::string& fileName, TBitmap& bitmap,
                   const std::string& initialDir, TSaveResult* report) {
  return Save(settings, fileName, bitmap, nullptr, initialDir, report);
}

int SaveDocumentFile(const TPictureFileSettings& settings, std::string& fileName, TBitmap& bitmap,
                     TLayeredImage& layered, const std::string& initialDir, TSaveResult* report) {
  return Save(settings, fileName, bitmap, &layered, initialDir, report);
}

// --- The lists of masks and patterns ------------------------------------------------

std::vector<std::string> ListedPictures(TUserFolder list) {
  const std::string masks = GetImageMaskList();
  std::vector<std::string> pictures;
  for (const std::string& folder : ListFolders(list))
    for (std::string& file : FindFilesToList(folder, masks, false)) pictures.push_back(std::move(file));
  return pictures;
}

std::string ListStartFolder(TUserFolder list) {
  const std::string masks = GetImageMaskList();
  const std::vector<std::string> folders = ListFolders(list);
  for (const std::string& folder : folders)
    if (!FindFilesToList(folder, masks, false).empty()) return folder;
  return folders.front();
}

}  // namespace qm
