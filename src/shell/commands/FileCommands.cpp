#include "shell/commands/FileCommands.h"

#include <QMdiArea>
#include <exception>

#include "imagefiles/FileFormats.h"
#include "imagefiles/FormatProbes.h"
#include "imagefiles/GifLayers.h"
#include "imagefiles/ImageFileUtils.h"
#include "imagefiles/LayeredFile.h"
#include "imagefiles/Metadata.h"
#include "imagefiles/PictureFiles.h"
#include "pixel/ColorReduce.h"
#include "pixel/PixelFormat.h"
#include "platform/core/Messages.h"
#include "platform/texts/FileError.h"
#include "platform/texts/TextUtils.h"
#include "platform/texts/UiTexts.h"
#include "shell/services/FileUtils.h"
#include "shell/services/ImageInfo.h"
#include "shell/services/ShellServices.h"

namespace qm {
namespace {

// The colour count a document takes from its file's pixel format.
int ColorCountOfFormat(int sourceColors) {
  if (sourceColors <= 0) return 16777216;
  if (sourceColors <= 2) return 2;
  if (sourceColors <= 16) return 16;
  if (sourceColors <= 256) return 256;
  return 16777216;
}

// The name with its last extension replaced by ext (or ext appended).
std::string WithExtension(const std::string& name, const std::string& ext) {
  const std::string old = LowerExt(name);
  return name.substr(0, name.size() - old.size()) + ext;
}

// While it lives, the file dispatch reports to the services, and the colour count of
// the file being read is kept.
class TOpenProgressScope {
 public:
  TOpenProgressScope(TShellServices& services, int& sourceColors) : saved_(OnFileProgress) {
    OnFileProgress = [&services, &sourceColors](const TFileSender& s, const std::string& f, int stage, bool& flag) {
      if (stage == fpAfterLoad) sourceColors = s.SourceColors;
      services.OnFileProgress(s, f, stage, flag);
    };
  }
  ~TOpenProgressScope() { OnFileProgress = saved_; }
  TOpenProgressScope(const TOpenProgressScope&) = delete;
  TOpenProgressScope& operator=(const TOpenProgressScope&) = delete;

 private:
  TFileProgressEvent saved_;
};


// Whether the file takes something else than the composed image as it is: the
// background with its alpha or its transparent colour, or a palette.
bool ExportNeedsOwnBitmap(const TLayeredImage& image, const std::string& fileName) {
  if (image.GetLayerCount() == 0) return false;
  const TLayerItem& bg = image.Layers[0];
  if (!bg.Mask.Empty() && ExtKeepsAlpha(fileName)) return true;
  if (bg.Image.Transparent && ExtKeepsTransparentColor(fileName)) return true;
  return image.ColorCount >= 1 && image.ColorCount < 257 &&
         (ExtTakesExactPalette(fileName) || ExtTakes256Palette(fileName));
}

}  // namespace

TFileCommands::TFileCommands(TShellServices& services, TShellSettings& settings, TRecentFiles& recent)
    : services_(services), settings_(settings), recent_(recent) {}

// --- Opening ---------------------------------------------------------------------------------

bool TFileCommands::OpenImageFile(const std::string& name, bool newWindow, bool remember) {
  TBusyScope busy(services_, Tr(TextId::GetTrStaOpening), true);
  services_.Windows().RefreshAllImageWindows();
  services_.LoadAsLayers = false;
  services_.LoadColorCount = -1;
  loadSourceColors_ = 0;

  std::string fileName = name;
  TBitmap picture;
  TLayeredImage layered;  // filled for the files that bring layers
  {
    TOpenProgressScope progress(services_, loadSourceColors_);
    if (LoadBitmapFile(fileName, picture) != frDone) return false;
    int colors = services_.LoadColorCount;
    const std::string ext = LowerExt(fileName);
    try {
      if (ext == ".qxi") {
        LoadLayeredImageFromFile(layered, fileName);
        colors = layered.ColorCount;
      } else if (services_.LoadAsLayers && ext == ".gif") {
        LoadGifAsLayers(layered, fileName);
        colors = 16777216;
      }
    } catch (const std::exception& e) {
      ShowFileError(TFileError{TextId::GetOeMsgErrorOpening, fileName, e.what()});
      return false;
    }
    if (colors < 0) colors = ext == ".rle" ? 256 : ColorCountOfFormat(loadSourceColors_);
    services_.LoadColorCount = colors;
  }
  const int colors = services_.LoadColorCount;
  const bool withLayers = layered.GetLayerCount() > 0;

  TNewImgForm* w = nullptr;
  if (newWindow) {
    w = services_.CreateImageWindow(withLayers ? TBitmap() : std::move(picture), withLayers ? &layered : nullptr,
                                    colors, false, fileName);
  } else {
    w = services_.GetActiveImgForm();
    if (!w) return false;
    w->Selection().Hide();
    w->History().ClearUndoList();
    TLayeredImage& image = w->Image();
    if (withLayers) image.AssignImage(&layered);
    else image.LoadFromGraphic(std::move(picture), "#0");
    w->MarkImageWindowSaved();
    w->Navigator().SyncLayerNavigatorCount();
    w->Navigator().InvalidateLayerNavigator(true);
    w->SetFileName(fileName);
    image.ColorCount = colors;
    services_.ResetImageWindowState();
    if (services_.Hooks.UpdateCommandStates) services_.Hooks.UpdateCommandStates();
  }
  if (!w) return false;
  const double dpi = GetFileResolution(fileName);
  w->Image().ResolutionX = w->Image().ResolutionY = dpi;

  if (remember) {
    if (!settings_.LockDir) {
      settings_.OpenDir = FolderOf(fileName);
      if (settings_.UniqueDir || settings_.SaveDir.empty()) settings_.SaveDir = settings_.OpenDir;
    }
    recent_.Add(fileName);
  }
  return true;
}

void TFileCommands::OpenFiles(const std::vector<std::string>& names) {
  const size_t n = std::min(names.size(), size_t(kMaxOpenedFiles));
  for (size_t i = 0; i < n; ++i) OpenImageFile(GetTrueFileName(names[i]), true, true);
}

void TFileCommands::OpenWithDialog() {
  std::vector<std::string> files;
  {
    TBusyScope busy(services_, Tr(TextId::GetTrStaOpening), false);
    files = ExecuteOpenPictureDialog(settings_.OpenDir);
  }
  if (files.size() > size_t(kMaxOpenedFiles)) files.resize(size_t(kMaxOpenedFiles));
  for (const std::string& f : files) OpenImageFile(f, true, true);
}

// --- Saving -------------------------------------------------------------------------------------

std::string TFileCommands::DefaultSaveName(const std::string& proposed, const TLayeredImage& image) const {
  std::string name = proposed;
  if (name.find('/') == std::string::npos) {
    const std::string& folder =
        settings_.UniqueDir || settings_.SaveDir.empty() ? settings_.OpenDir : settings_.SaveDir;
    if (!folder.empty()) name = AddTrailingBackslash(folder) + name;
  }
  if (settings_.DefaultFormat >= 0) {
    const std::string ext = GetFormatFilterText(settings_.DefaultFormat, 2);
    if (!ext.empty()) name = WithExtension(name, ext);
  }
  if (image.GetLayerCount() == 0) return name;
  const TLayerItem& bg = image.Layers[0];
  if (image.GetLayerCount() > 1 && !ExtKeepsLayers(name)) name = WithExtension(name, ".qxi");
  else if (!bg.Mask.Empty() && !ExtKeepsAlpha(name)) name = WithExtension(name, ".png");
  else if (bg.Image.Transparent && !ExtKeepsTransparentColor(name))
    name = WithExtension(name, image.ColorCount < 257 ? ".gif" : ".png");
  return name;
}

void TFileCommands::PrepareExportBitmap(const TFileSender& sender, const std::string& fileName) {
  TNewImgForm* w = services_.GetActiveImgForm();
  if (!sender.Bitmap || !w || w->Image().GetLayerCount() == 0) return;
  TLayeredImage& image = w->Image();
  if (sender.Bitmap == &image.UpdatedComposition()) return;  // written as it is
  const TLayerItem& bg = image.Layers[0];
  TBitmap& out = *sender.Bitmap;
  if (!bg.Mask.Empty() && ExtKeepsAlpha(fileName)) {
    // The background's own mask: it is what the alpha channel is, and the only mask of
    // the background's size.
    CombineBitmapWithMask32(bg.Image, bg.Mask, out, false);
    return;
  }
  if (!bg.Image.Transparent || !ExtKeepsTransparentColor(fileName)) out = image.UpdatedComposition().Clone();
  else out = bg.Image.Clone();
  const int colors = image.ColorCount;
  if (colors >= 257 || colors < 1) return;
  const int target = ExtTakesExactPalette(fileName) ? colors : ExtTakes256Palette(fileName) ? 256 : 0;
  if (target > 0) ConvertBitmapToIndexed(out, target, CountBitmapColors(out) > target, false);
}

int TFileCommands::SaveImageFile(const std::string& fileName, const std::string& proposed, bool askLimits,
                                 bool remember) {
  TNewImgForm* w = services_.GetActiveImgForm();
  if (!w) return frVetoed;
  TLayeredImage& image = w->Image();
  const bool dialogShown = fileName.empty();
  std::string name = fileName;
  // The dialog comes first, with the pointer as it is; the work runs busy.
  if (dialogShown) {
    ExecuteSaveDialog(DefaultSaveName(proposed, image), name);
    if (name.empty()) return frVetoed;
  }
  TBitmap exportBitmap;  // made at the format's stage 2
  int result = frFailed;
  {
    TBusyScope busy(services_, Tr(TextId::GetTrStaSaving), true);
    // The writers never change what they are given, nor does the format's stage 2 when
    // it is given the composition: where the file takes the composed image as it is, it
    // is written from the composition itself (a 24 MP copy saved), which may be the
    // background's own bitmap.
    TBitmap& written =
        ExportNeedsOwnBitmap(image, name) ? exportBitmap : const_cast<TBitmap&>(image.UpdatedComposition());
    TShellServices::TFileCallbackScope callback(services_);
    services_.ConfirmFormatLimits = askLimits;
    // A JPEG keeps the EXIF of the file the document came from, also under a new name.
    const std::string source = !w->IsNew && w->HasExif ? w->FileName() : std::string();
    const auto savedSource = OnExifSource;
    if (!source.empty())
      OnExifSource = [source](std::string& s) {
        if (!FileExists(s)) s = source;
      };
    result = SaveDocumentFile(name, written, image);
    OnExifSource = savedSource;
    const bool exifKept = KeepExif;
    KeepExif = false;
    services_.ConfirmFormatLimits = true;
    if (result == frDone) {
      w->MarkImageWindowSaved();
      w->SetFileName(name);
      services_.UpdateStatusBar();
      if (dialogShown && !settings_.LockDir && remember) {
        settings_.SaveDir = FolderOf(name);
        if (settings_.UniqueDir) settings_.OpenDir = settings_.SaveDir;
      }
      if (!IsQxiExt(name)) SetFileResolution(name, image.ResolutionX);
      if (settings_.PreserveFileDate && !w->IsNew && w->FileDate != 0) SetFileDateByName(name, w->FileDate);
      if (w->IsNew) {
        w->IsNew = false;
        w->FileDate = GetFileDateByName(name);
        if (FirstSaved) FirstSaved();
      }
      w->HasExif = exifKept && FileHasExif(name);
      if (remember && dialogShown) recent_.Add(name);
    }
  }
  if (services_.Hooks.UpdateCommandStates) services_.Hooks.UpdateCommandStates();
  return result;
}

TSaveOutcome TFileCommands::Outcome(int result) const {
  return result == frDone ? soSaved : result == frVetoed ? soSaveCancelled : soSaveFailed;
}

TSaveOutcome TFileCommands::Save() {
  TNewImgForm* w = services_.GetActiveImgForm();
  if (!w) return soSaveCancelled;
  // Only a format we write saves without the dialog: a document read from any other
  // goes through the dialog with its name.
  if (!w->IsNew && IsKnownImageExt(w->FileName())) return Outcome(SaveImageFile(w->FileName(), {}, true, true));
  return SaveAs();
}

TSaveOutcome TFileCommands::SaveAs() {
  TNewImgForm* w = services_.GetActiveImgForm();
  if (!w) return soSaveCancelled;
  return Outcome(SaveImageFile({}, ExtractFileName(w->FileName()), true, true));
}

TSaveOutcome TFileCommands::SaveInto(TSaveIntoFolder folder) {
  TNewImgForm* w = services_.GetActiveImgForm();
  if (!w) return soSaveCancelled;
  const std::string bare = ExtractFileName(w->FileName());
  std::string target;
  switch (folder) {
    case sfMasks: target = MasksFolder; break;
    case sfPatterns: target = PatternsFolder; break;
    default: target = w->IsNew ? std::string() : FolderOf(w->FileName()); break;
  }
  const std::string proposed = target.empty() ? bare : AddTrailingBackslash(target) + bare;
  // The question about what the format loses is asked here too: a mask or a pattern
  // saved flat must not drop the layers unseen.
  return Outcome(SaveImageFile({}, proposed, true, false));
}

void TFileCommands::Revert() {
  TNewImgForm* w = services_.GetActiveImgForm();
  if (!w) return;
  if (ShowMessageDialog(Tr(TextId::GetTrDlgMain5), mtConfirmation, mbYes | mbNo) == mrNo) return;
  services_.AllowReopen = true;
  OpenImageFile(w->FileName(), false, false);
  services_.AllowReopen = false;
}

bool TFileCommands::CloseAll() {
  QMdiArea& area = services_.Windows().Area();
  area.setUpdatesEnabled(false);
  bool closed = true;
  while (closed && services_.Windows().Count() > 0) {
    TNewImgForm* w = services_.GetActiveImgForm();
    if (!w) w = services_.Windows().Windows().back();
    closed = services_.CloseImageWindow(w, false);
  }
  area.setUpdatesEnabled(true);
  return services_.Windows().Count() == 0;
}

void TFileCommands::ShowImageInfo(const std::string& title) {
  TNewImgForm* w = services_.GetActiveImgForm();
  if (!w) return;
  std::string text;
  {
    TBusyScope busy(services_, std::string(), true);
    TImageInfoRequest request;
    request.FileName = w->FileName();
    request.IsNew = w->IsNew;
    request.PrintUnit = settings_.PrintUnit;
    text = BuildImageInfo(w->Image(), &w->History(), request);
  }
  ShowMessageDialog(text, mtInformation, mbOK, title);
}

}  // namespace qm
