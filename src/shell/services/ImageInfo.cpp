#include "shell/services/ImageInfo.h"

#include <filesystem>

#include "document/LayeredImage.h"
#include "document/Undo.h"
#include "pixel/ColorReduce.h"
#include "platform/texts/DateFormat.h"
#include "platform/texts/Format.h"
#include "platform/texts/TextUtils.h"
#include "platform/texts/UiTexts.h"
#include "shell/services/FileUtils.h"

namespace qm {

namespace {

int64_t BitmapBytes(const TBitmap& bmp) { return bmp.Empty() ? 0 : int64_t(bmp.Width()) * bmp.Height() * 3; }

std::string FormatDate(std::time_t t) {
  // Before the locale filled the entry: the short date and the long time.
  const std::string& picture = Tr(TextId::GetTrFmtFileDate);
  return FormatDateTime(picture.empty() ? std::string_view("c") : std::string_view(picture), LocalDateTime(t));
}

}  // namespace

int64_t LayersMemory(const TLayeredImage& image) {
  int64_t total = 0;
  for (int i = 0; i < image.Layers.GetCount(); ++i) {
    const TLayerItem& l = image.Layers[i];
    total += BitmapBytes(l.Image) + BitmapBytes(l.Mask) + BitmapBytes(l.Mask2);
  }
  return total;
}

int64_t HistoryMemory(const TUndoList& history) {
  int64_t total = 0;
  for (int i = 0; i < history.GetUndoStepCount(); ++i) {
    const TUndoLayerItem* step = history.GetUndoStep(i);
    total += int64_t(step->ImageSnap.ByteSize()) + int64_t(step->MaskSnap.ByteSize()) + HistoryMemory(step->SubSteps);
  }
  return total;
}

std::string BuildImageInfo(TLayeredImage& image, const TUndoList* history, const TImageInfoRequest& request) {
  namespace fs = std::filesystem;
  const fs::path path(request.FileName);
  const std::string unsaved = Tr(TextId::GetTrLblNoSaved);
  const std::string name = request.IsNew ? unsaved : path.filename().string();
  const std::string folder = request.IsNew ? unsaved : path.parent_path().string();

  const int w = image.GetLayerCount() > 0 ? image.Layers[0].Image.Width() : 0;
  const int h = image.GetLayerCount() > 0 ? image.Layers[0].Image.Height() : 0;
  const bool inches = request.PrintUnit == 1;
  const double perInch = inches ? 1.0 : 2.54;
  const double rx = image.ResolutionX > 0 ? image.ResolutionX : 72, ry = image.ResolutionY > 0 ? image.ResolutionY : 72;
  const std::string dimensions =
      Format(TextId::TrFixFmtDimensions,
             {w, h, Tr(TextId::GetTrLblPixels), w / rx * perInch, h / ry * perInch,
              Tr(inches ? TextId::GetTrLblInches : TextId::GetTrLblCm), Format(TextId::GetTrFmtResolution, {rx})});

  const int colors = image.GetLayerCount() > 0 ? CountBitmapColors(image.UpdatedComposition()) : 0;

  // A document never saved has no file, so no size; a file gone since shows none either.
  std::string fileSize;
  std::time_t date = request.Now ? request.Now : std::time(nullptr);
  if (!request.IsNew) {
    const int64_t size = GetFileSizeByName(request.FileName);
    if (size >= 0) fileSize = FormatFileSize(size, false);
    date = GetFileDateByName(request.FileName);
  }
  const std::string dateText = date ? FormatDate(date) : std::string();

  const int64_t layers = LayersMemory(image);
  const int64_t all = layers + (history ? HistoryMemory(*history) : 0);
  return Format(TextId::GetTrFmtImageProperties, {name, folder, dimensions, colors, fileSize, dateText,
                                                   FormatFileSize(layers, false), FormatFileSize(all, false)});
}

}  // namespace qm
