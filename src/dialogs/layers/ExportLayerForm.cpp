#include <QButtonGroup>
#include <QGroupBox>
#include <QRadioButton>
#include <QVBoxLayout>
#include <QPushButton>

#include "dialogs/layers/LayerControls.h"
#include "dialogs/layers/LayerForms.h"
#include "document/LayeredImage.h"
#include "imagefiles/BmpCodec.h"
#include "imagefiles/GifCodec.h"
#include "imagefiles/ImageFileUtils.h"
#include "imagefiles/PictureFiles.h"
#include "imagefiles/PngCodec.h"
#include "pixel/PixelFormat.h"
#include "platform/core/Messages.h"
#include "platform/texts/Format.h"
#include "platform/texts/TextUtils.h"
#include "views/DocumentWindow.h"

namespace qm {
using layerforms::Q;

void ExportLayer(const TLayerItem& layer, TLayerExportFormat format, const std::string& fileName) {
  const TBitmap& image = layer.Image;
  // the routines refuse an empty mask: a layer without one is shown whole
  TBitmap black;
  if (layer.Mask.Empty()) black = TBitmap(image.Width(), image.Height(), pf24bit, clBlack);
  const TBitmap& mask = layer.Mask.Empty() ? black : layer.Mask;
  switch (format) {
    case TLayerExportFormat::Png: {
      TPngImage png;
      BitmapMaskToPng(image, mask, png, true);
      ReplaceFileAtomically(fileName, [&](const std::string& temp) { WritePngFile(temp, png, TPngWriteOptions{}); });
      break;
    }
    case TLayerExportFormat::Bmp: {
      TBitmap bmp;
      CombineBitmapWithMask32(image, mask, bmp, true);
      ReplaceFileAtomically(fileName, [&](const std::string& temp) { WriteBmpFile(temp, bmp); });
      break;
    }
    case TLayerExportFormat::Gif: {
      TBitmap reduced;
      ReduceColorsWithTransparency(image, mask, reduced, gpOptimized, false);
      TGifImage gif;
      gif.Assign(reduced);
      SetGifTransparentColor(gif, 0, clGlobalTransparent);
      ReplaceFileAtomically(fileName, [&](const std::string& temp) { WriteGifFile(temp, gif); });
      break;
    }
  }
}

std::string ExportFileName(const std::string& displayName, const std::string& ext) {
  std::string name = displayName;
  for (char& c : name)
    if (c == '/') c = '_';
  const size_t dot = name.find_last_of('.');
  if (dot != std::string::npos && dot > 0) name.resize(dot);
  return name + "." + ext;
}

TExportLayerForm::TExportLayerForm() : TCommandDialog(kTraits) {
  const std::string title = IsTextFilled(TextId::GetTrLblOutputFormat)
                                ? DecorateCaption(Tr(TextId::GetTrLblOutputFormat), ckGroup)
                                : Tr(TextId::TrFixExportFormat);
  auto* group = new QGroupBox(Q(title), this);
  group->setObjectName(QStringLiteral("RGFormat"));
  auto* items = new QVBoxLayout(group);
  RGFormat = new QButtonGroup(this);
  const QStringList names = Q(Tr(TextId::TrFixLayerExportFormats)).split('|');
  for (int i = 0; i < names.size(); ++i) {
    auto* b = new QRadioButton(names[i], group);
    b->setObjectName(QStringLiteral("RGFormat%1").arg(i));
    RGFormat->addButton(b, i);
    items->addWidget(b);
  }
  RGFormat->button(0)->setChecked(true);
  group->setMinimumWidth(240);
  Body().addWidget(group);
  OkButton()->setText(Q(CaptionOr(TextId::GetTrBtnExport, Tr(TextId::TrFixExport))));
}

bool TExportLayerForm::Apply() {
  TDialogHost& host = Host();
  TNewImgForm* window = host.GetActiveImgForm();
  const TLayerItem* layer = window ? window->Image().GetActiveLayer() : nullptr;
  if (!layer) return true;
  const int format = std::max(0, RGFormat->checkedId());
  const std::string text = RGFormat->button(format)->text().toStdString();
  const std::string ext = QString::fromStdString(text.substr(0, 3)).toLower().toStdString();
  TSavePictureRequest request;
  request.InitialDir = host.SaveFolder();
  request.DefaultExt = ext;
  request.Filter = Format(Tr(TextId::TrFixFmtExportFilter), {text, ext});
  request.FileName = ExportFileName(layer->GetDisplayName(), ext);
  if (!request.InitialDir.empty()) request.FileName = request.InitialDir + "/" + request.FileName;
  std::string fileName;
  if (!RunSavePicture(request, fileName) || fileName.empty()) return false;
  host.ProcessPendingEvents();
  // the events may have closed the document
  window = host.GetActiveImgForm();
  layer = window ? window->Image().GetActiveLayer() : nullptr;
  if (!layer) return true;
  try {
    TBusyScope busy(host);
    ExportLayer(*layer, TLayerExportFormat(format), fileName);
  } catch (...) {
    ShowMessageDialog(Format(TextId::GetOeMsgErrorSaving, {fileName}), mtError, mbOK);
  }
  return true;
}

}  // namespace qm
