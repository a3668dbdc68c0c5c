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


// Whether the format takes something else than the composed image as it is: the
// background with its alpha or its transparent colour, or a palette.
bool ExportNeedsOwnBitmap(const TLayeredImage& image, const TFormatRow* format) {
  if (image.GetLayerCount() == 0) return false;
  const TLayerItem& bg = image.Layers[0];
  if (!bg.Mask.Empty() && FormatKeeps(format, kpAlpha)) return true;
  if (bg.Image.Transparent && FormatKeeps(format, kpTransparentColor)) return true;
  return image.ColorCount >= 1 && image.ColorCount < 257 && FormatKeeps(format, kpExactPalette | kp256Palette);
}

}  // namespace

TLoadedColors ColorsOfLoad(const TLoadResult& loaded) {
  if (loaded.IsMetafile) return {16777216, false};
  if (loaded.IsIcon) return {loaded.SourceColors <= 256 ? 256 : 16777216, false};
  if (loaded.Object == TFileObject::Gif)
    return {loaded.SourceColors > 0 ? loaded.SourceColors : 256, loaded.FrameCount > 1};
  return {};
}

TFileCommands::TFileCommands(TShellServices& services, TShellSettings& settings, TRecentFiles& recent)
    : services_(services), settings_(settings), recent_(recent) {}

// --- Opening ---------------------------------------------------------------------------------

bool TFileCommands::OpenImageFile(const std::string& name, bool newWindow, bool remember, bool reopen) {
  TBusyScope busy(services_, Tr(TextId::GetTrStaOpening), true);
  services_.Windows().RefreshAllImageWindows();

  std::string fileName = name;
  TBitmap picture;
  TLayeredImage layered;  // filled for the files that bring layers
  int colors = -1;
  {
    TPictureFileSettings files = services_.FileSettingsFor({.AllowReopen = reopen});
    TLoadResult loaded;
    if (LoadBitmapFile(files, fileName, picture, {}, &loaded) != frDone) return false;
    const TLoadedColors found = ColorsOfLoad(loaded);
    colors = found.ColorCount;
    const std::string ext = LowerExt(fileName);
    try {
      if (ext == ".qxi") {
        LoadLayeredImageFromFile(layered, fileName);
        colors = layered.ColorCount;
      } else if (found.AsLayers && ext == ".gif") {
        LoadGifAsLayers(layered, fileName);
        colors = 16777216;
      }
    } catch (const std::exception& e) {
      ShowFileError(TFileError{TextId::GetOeMsgErrorOpening, fileName, e.what()});
      return false;
    }
    if (colors < 0) colors = ext == ".rle" ? 256 : ColorCountOfFormat(loaded.SourceColors);
  }
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
    files = ExecuteOpenPictureDialog(services_.FileSettings, settings_.OpenDir);
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
  const TFormatRow* format = FindSaveFormat(name);
  if (image.GetLayerCount() > 1 && !FormatKeeps(format, kpLayers)) name = WithExtension(name, ".qxi");
  else if (!bg.Mask.Empty() && !FormatKeeps(format, kpAlpha)) name = WithExtension(name, ".png");
  else if (bg.Image.Transparent && !FormatKeeps(format, kpTransparentColor))
    name = WithExtension(name, image.ColorCount < 257 ? ".gif" : ".png");
  return name;
}

void TFileCommands::PrepareExportBitmap(const TFileSender& sender) {
  TNewImgForm* w = services_.GetActiveImgForm();
  if (!sender.Bitmap || !w || w->Image().GetLayerCount() == 0) return;
  TLayeredImage& image = w->Image();
  if (sender.Bitmap == &image.UpdatedComposition()) return;  // written as it is
  const TLayerItem& bg = image.Layers[0];
  TBitmap& out = *sender.Bitmap;
  const TFormatRow* format = sender.Format;
  if (!bg.Mask.Empty() && FormatKeeps(format, kpAlpha)) {
    // The background's own mask: it is what the alpha channel is, and the only mask of
    // the background's size.
    CombineBitmapWithMask32(bg.Image, bg.Mask, out, false);
    return;
  }
  if (!bg.Image.Transparent || !FormatKeeps(format, kpTransparentColor)) out = image.UpdatedComposition().Clone();
  else out = bg.Image.Clone();
  const int colors = image.ColorCount;
  if (colors >= 257 || colors < 1) return;
  const int target = FormatKeeps(format, kpExactPalette) ? colors : FormatKeeps(format, kp256Palette) ? 256 : 0;
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
    ExecuteSaveDialog(services_.FileSettings, DefaultSaveName(proposed, image), name);
    if (name.empty()) return frVetoed;
  }
  TBitmap exportBitmap;  // made at the format's stage 2
  int result = frFailed;
  {
    TBusyScope busy(services_, Tr(TextId::GetTrStaSaving), true);
    const TFormatRow* format = FindSaveFormat(name);
    // The writers never change what they are given, nor does the format's stage 2 when
    // it is given the composition: where the file takes the composed image as it is, it
    // is written from the composition itself (a 24 MP copy saved), which may be the
    // background's own bitmap.
    TBitmap& written =
        ExportNeedsOwnBitmap(image, format) ? exportBitmap : const_cast<TBitmap&>(image.UpdatedComposition());
    TPictureFileSettings files = services_.FileSettingsFor({.ConfirmFormatLimits = askLimits});
    // A JPEG keeps the EXIF of the file the document came from, also under a new name.
    const std::string source = !w->IsNew && w->HasExif ? w->FileName() : std::string();
    if (!source.empty())
      files.OnExifSource = [source](std::string& s) {
        if (!FileExists(s)) s = source;
      };
    TSaveResult saved;
    result = SaveDocumentFile(files, name, written, image, {}, &saved);
    if (result == frDone) {
      w->MarkImageWindowSaved();
      w->SetFileName(name);
      services_.UpdateStatusBar();
      if (dialogShown && !settings_.LockDir && remember) {
        settings_.SaveDir = FolderOf(name);
        if (settings_.UniqueDir) settings_.OpenDir = settings_.SaveDir;
      }
      if (!format || format->Id != TFormatId::Quillomatic) SetFileResolution(name, image.ResolutionX);
      if (settings_.PreserveFileDate && !w->IsNew && w->FileDate != 0) SetFileDateByName(name, w->FileDate);
      if (w->IsNew) {
        w->IsNew = false;
        w->FileDate = GetFileDateByName(name);
        if (FirstSaved) FirstSaved();
      }
      w->HasExif = saved.ExifKept && FileHasExif(name);
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
  OpenImageFile(w->FileName(), false, false, true);
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
