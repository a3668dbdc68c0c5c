#include "imagefiles/FileDispatch.h"

#include "document/LayeredImage.h"
#include "imagefiles/BmpCodec.h"
#include "imagefiles/FileFormats.h"
#include "imagefiles/FormatRegistry.h"
#include "imagefiles/GifCodec.h"
#include "imagefiles/GmCodec.h"
#include "platform/core/Exceptions.h"
#include "imagefiles/ImageFileUtils.h"
#include "imagefiles/LayeredFile.h"
#include "imagefiles/Metadata.h"
#include "imagefiles/RawClient.h"
#include "imagefiles/RleWriter.h"
#include "imagefiles/TiffWriter.h"
#include "platform/core/Messages.h"
#include "platform/texts/Format.h"
#include "platform/texts/UiTexts.h"

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

TOpenPictureDialog& OpenDialog() {
  static TOpenPictureDialog d;
  return d;
}
TSavePictureDialog& SaveDialog() {
  static TSavePictureDialog d;
  return d;
}

// Raises a stage; true to go on. The flag starts true.
bool Raise(const TFileSender& sender, const std::string& fileName, int stage) {
  bool flag = true;
  if (OnFileProgress && !PreviewLoading) OnFileProgress(sender, fileName, stage, flag);
  return flag;
}

// The dispatchers never throw: a failure is their result. What the message box or
// the handler of stage 4 might throw is dropped here.
void ReportFailure(const std::string& fileName, TextId message) {
  try {
    if (ShowFileErrors && !PreviewLoading) ShowMessageDialog(Format(message, {fileName}), mtError, mbOK);
  } catch (...) {
  }
  try {
    bool flag = true;
    if (OnFileProgress && !PreviewLoading) OnFileProgress(TFileSender{}, fileName, fpFailed, flag);
  } catch (...) {
  }
}

// The layered file's picture: the composed image, or with preview its thumbnail; the
// document's size either way.
void ReadLayeredPicture(const std::string& fileName, bool preview, TBitmap& out, int& width, int& height) {
  TMyImageLayeredReg reg;
  reg.ThumbnailOnly = preview;
  reg.LoadFromFile(fileName);
  out = std::move(reg.Bitmap);
  width = reg.ImageWidth;
  height = reg.ImageHeight;
}

// --- Load ------------------------------------------------------------------------

// The picture a reader delivered, as the caller's bitmap receives it.
void Deliver(TBitmap& picture, TBitmap& bitmap) {
  if (picture.Empty()) throw EInvalidGraphic("the file holds no picture");
  bitmap = std::move(picture);
}

int LoadDispatch(const std::string& fileName, TBitmap& bitmap) {
  const std::string ext = LowerExt(fileName);
  TFileSender sender;
  TReadRequest request;
  request.Preview = PreviewLoading;

  if (ext == ".gif") {
    TGifImage gif;
    sender.Kind = TFileObject::Gif;
    sender.Gif = &gif;
    if (!Raise(sender, fileName, fpBeforeLoad)) return 0;
    ReadGifFile(fileName, gif);
    LastLoadedWidth = gif.Width;
    LastLoadedHeight = gif.Height;
    TBitmap picture;
    GifFrameToBitmap(gif, picture, 0, true);
    if (picture.PixelFormat() != pf24bit) {
      const bool t = picture.Transparent;
      const TColor key = picture.TransparentColor;
      picture.SetPixelFormat(pf24bit);
      picture.Transparent = t;
      picture.TransparentColor = key;
    }
    sender.Bitmap = &picture;
    sender.FrameCount = int(gif.Frames.size());
    sender.SourceColors = gif.Frames.empty() ? 0 : int(gif.FrameColorMap(0).size());
    if (!Raise(sender, fileName, fpAfterLoad)) return 0;
    Deliver(picture, bitmap);
    return 1;
  }

  if (IsJpegExt(fileName)) {
    TJpegImage2 jpeg;
    jpeg.Preview = PreviewLoading;
    sender.Kind = TFileObject::Jpeg;
    if (!Raise(sender, fileName, fpBeforeLoad)) return 0;
    jpeg.LoadFromFile(fileName);
    LastLoadedWidth = jpeg.StoredWidth;
    LastLoadedHeight = jpeg.StoredHeight;
    sender.Bitmap = &jpeg.Picture;
    sender.SourceColors = 16777216;
    sender.FrameCount = 1;
    if (!Raise(sender, fileName, fpAfterLoad)) return 0;
    Deliver(jpeg.Picture, bitmap);
    return 1;
  }

  if (ext == ".qxi") {
    sender.Kind = TFileObject::Layered;
    if (!Raise(sender, fileName, fpBeforeLoad)) return 0;
    TBitmap picture;
    int w = 0, h = 0;
    ReadLayeredPicture(fileName, PreviewLoading, picture, w, h);
    LastLoadedWidth = w;
    LastLoadedHeight = h;
    sender.Bitmap = &picture;
    sender.FrameCount = 1;
    if (!Raise(sender, fileName, fpAfterLoad)) return 0;
    Deliver(picture, bitmap);
    return 1;
  }

  if (IsRawFile(fileName)) {
    TRawImage raw;
    raw.Preview = PreviewLoading;
    sender.Kind = TFileObject::Raw;
    if (!Raise(sender, fileName, fpBeforeLoad)) return 0;
    raw.LoadFromFile(fileName);
    LastLoadedWidth = raw.StoredWidth;
    LastLoadedHeight = raw.StoredHeight;
    sender.Bitmap = &raw.Picture;
    sender.SourceColors = 16777216;
    sender.FrameCount = 1;
    if (!Raise(sender, fileName, fpAfterLoad)) return 0;
    Deliver(raw.Picture, bitmap);
    return 1;
  }

  // Anything else goes through the reader registry.
  sender.Kind = TFileObject::None;
  if (!Raise(sender, fileName, fpBeforeLoad)) return 0;
  TLoadedPicture picture;
  ReadPictureByRegistry(fileName, request, picture);
  LastLoadedWidth = picture.StoredWidth > 0 ? picture.StoredWidth : picture.Bitmap.Width();
  LastLoadedHeight = picture.StoredHeight > 0 ? picture.StoredHeight : picture.Bitmap.Height();
  sender.Kind = TFileObject::Picture;
  sender.Bitmap = &picture.Bitmap;
  sender.SourceColors = picture.SourceColors;
  sender.FrameCount = picture.FrameCount;
  sender.IsIcon = picture.IsIcon;
  sender.IsMetafile = picture.IsMetafile;
  if (!Raise(sender, fileName, fpAfterLoad)) return 0;
  Deliver(picture.Bitmap, bitmap);
  return 1;
}

// --- Save ------------------------------------------------------------------------

// Runs a writer between stages 2 and 3: veto, then the file written atomically (a
// writer that replaces its file atomically itself is given the target).
int Write(TFileSender& sender, const std::string& fileName, const std::function<void(const std::string&)>& write,
          bool writerIsAtomic = false) {
  if (!Raise(sender, fileName, fpBeforeSave)) return 0;
  if (!sender.Bitmap || sender.Bitmap->Empty()) throw EInvalidGraphic("nothing to write");
  if (writerIsAtomic)
    write(fileName);
  else
    ReplaceFileAtomically(fileName, write);
  Raise(sender, fileName, fpAfterSave);
  return 1;
}

// The GIF of a bitmap as the save dispatch writes it.
void BuildGif(const TBitmap& bmp, TGifImage& gif) {
  if (bmp.PixelFormat() == pf32bit || (bmp.PixelFormat() == pf24bit && bmp.Transparent)) {
    // Transparency needs its own entry: at most 254 colours, whatever the picture has.
    ConvertToGifWithTransparency(bmp, gif, false, gpOptimized);
  } else {
    gif.ColorReduction = rmQuantize;
    gif.ReductionBits = 8;
    gif.DitherFloydSteinberg = true;
    if (bmp.PixelFormat() <= pf8bit) gif.ColorReduction = rmNone;  // an indexed bitmap keeps its palette
    gif.Assign(bmp);
  }
  if (gif.Frames.empty()) throw EInvalidGraphic("GIF: no frame");
  gif.Frames[0].Interlaced = GifInterlaced;
  if (GifOptimizePalette) OptimizeGifFrameColorMap(gif, 0);
  if (bmp.Transparent && bmp.PixelFormat() != pf32bit && gif.Frames[0].TransparentIndex < 0) {
    // An indexed bitmap's key colour becomes the transparent entry when its map has it.
    const TColor key = ColorToRGB(bmp.EffectiveTransparentColor()) & 0xFFFFFF;
    const TPalette& map = gif.FrameColorMap(0);
    for (size_t i = 0; i < map.size(); ++i)
      if ((map[i] & 0xFFFFFF) == key) {
        gif.Frames[0].TransparentIndex = int(i);
        break;
      }
  }
}

int SaveDispatch(const std::string& fileName, TBitmap& bitmap) {
  const std::string ext = LowerExt(fileName);
  TFileSender sender;
  sender.Bitmap = &bitmap;
  if (ext == ".bmp") {
    sender.Kind = TFileObject::Bitmap;
    return Write(sender, fileName, [&](const std::string& temp) { WriteBmpFile(temp, bitmap); });
  }
  if (ext == ".rle") {
    sender.Kind = TFileObject::Bitmap;
    return Write(sender, fileName, [&](const std::string& f) { SaveRleFile(f, bitmap); }, true);
  }
  if (ext == ".jpg" || ext == ".jpe" || ext == ".jpeg" || ext == ".jfif") {
    TJpegWriteOptions options = JpegSaveDefaults;
    sender.Kind = TFileObject::Jpeg;
    sender.Jpeg = &options;
    if (!Raise(sender, fileName, fpBeforeSave)) return 0;
    if (bitmap.Empty()) throw EInvalidGraphic("nothing to write");
    if (KeepExif) {
      std::string source = fileName;
      if (OnExifSource) OnExifSource(source);
      SaveJpegKeepingExif(bitmap, options, fileName, source);
    } else {
      ReplaceFileAtomically(fileName, [&](const std::string& temp) { WriteJpegFile(temp, bitmap, options); });
    }
    Raise(sender, fileName, fpAfterSave);
    return 1;
  }
  if (ext == ".gif") {
    sender.Kind = TFileObject::Gif;
    return Write(sender, fileName, [&](const std::string& temp) {
      TGifImage gif;
      BuildGif(bitmap, gif);
      WriteGifFile(temp, gif);
    });
  }
  if (ext == ".tga") {
    sender.Kind = TFileObject::Targa;
    return Write(sender, fileName, [&](const std::string& temp) { WriteTargaFile(temp, bitmap); });
  }
  if (ext == ".png") {
    TPngWriteOptions options = PngSaveDefaults;
    sender.Kind = TFileObject::Png;
    sender.Png = &options;
    return Write(sender, fileName, [&](const std::string& temp) {
      TPngImage png;
      BitmapToPng(bitmap, png);
      WritePngFile(temp, png, options);
    });
  }
  if (ext == ".tif" || ext == ".tiff") {
    sender.Kind = TFileObject::Bitmap;
    return Write(sender, fileName, [&](const std::string& f) { SaveTiffFile(f, bitmap); }, true);
  }
  return -1;
}

}  // namespace

void SetPictureDialogs(TOpenPictureDialog open, TSavePictureDialog save) {
  OpenDialog() = std::move(open);
  SaveDialog() = std::move(save);
}

int LoadBitmapFile(std::string& fileName, TBitmap& bitmap, const std::string& initialDir) {
  if (fileName.empty()) {
    if (!OpenDialog()) return 0;
    TOpenPictureRequest request;
    request.InitialDir = initialDir;
    request.Title = OpenDialogTitle;
    request.Filter = BuildImageFilter(true, false, false);
    request.MultiSelect = false;
    request.PreviewChecked = OpenPreviewChecked;
    std::vector<std::string> files;
    const bool chosen = OpenDialog()(request, files);
    OpenPreviewChecked = request.PreviewChecked;
    if (!chosen || files.empty() || files[0].empty()) return 0;
    fileName = files[0];
  }
  int result;
  try {
    result = LoadDispatch(fileName, bitmap);
  } catch (...) {
    result = -1;
  }
  if (result < 0) ReportFailure(fileName, TextId::GetOeMsgErrorOpening);
  return result;
}

int LoadBitmapFilePreview(const std::string& fileName, TBitmap& bitmap) {
  TScopedFlag preview(PreviewLoading, true);
  std::string name = fileName;
  if (name.empty()) return 0;
  return LoadBitmapFile(name, bitmap, {});
}

std::vector<std::string> ExecuteOpenPictureDialog(const std::string& initialDir) {
  std::vector<std::string> files;
  if (!OpenDialog()) return files;
  TOpenPictureRequest request;
  request.InitialDir = initialDir;
  request.Title = OpenDialogTitle;
  request.Filter = BuildImageFilter(true, false, false);
  request.MultiSelect = true;
  request.PreviewChecked = OpenPreviewChecked;
  const bool chosen = OpenDialog()(request, files);
  OpenPreviewChecked = request.PreviewChecked;
  if (!chosen) files.clear();
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
  int result;
  try {
    result = SaveDispatch(fileName, bitmap);
  } catch (...) {
    result = -1;
  }
  if (result < 0) ReportFailure(fileName, TextId::GetOeMsgErrorSaving);
  return result;
}

int SaveDocumentFile(std::string& fileName, TBitmap& bitmap, TLayeredImage& layered, const std::string& initialDir) {
  if (fileName.empty()) {
    ExecuteSaveDialog(initialDir, fileName);
    if (fileName.empty()) return 0;
  }
  if (LowerExt(fileName) != ".qxi") return SaveBitmapFile(fileName, bitmap, {});
  int result;
  try {
    TFileSender sender;
    sender.Kind = TFileObject::Layered;
    sender.Layered = &layered;
    if (!Raise(sender, fileName, fpBeforeSave)) {
      result = 0;
    } else {
      SaveLayeredImageToFile(layered, fileName);  // replaces the file atomically
      Raise(sender, fileName, fpAfterSave);
      result = 1;
    }
  } catch (...) {
    result = -1;
  }
  if (result < 0) ReportFailure(fileName, TextId::GetOeMsgErrorSaving);
  return result;
}

}  // namespace qm
