#include "views/IconForm.h"

#include <QButtonGroup>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QImage>
#include <QLabel>
#include <QPixmap>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>
#include <filesystem>

#include "document/Resample.h"
#include "imagefiles/IconWriter.h"
#include "pixel/Blend.h"
#include "pixel/ColorReduce.h"
#include "platform/core/Messages.h"
#include "platform/qt/QtBitmap.h"
#include "platform/texts/Format.h"
#include "platform/texts/TextUtils.h"
#include "platform/texts/UiTexts.h"
#include "views/DocumentWindow.h"
#include "views/FormParts.h"
#include "views/PictureDialogs.h"

namespace qm {

namespace {

constexpr int kSides[3] = {32, 48, 64};

// The picture fitted into a square of the side, keeping its shape.
TBitmap FitIntoSquare(const TBitmap& picture, int side) {
  const int w = picture.Width(), h = picture.Height();
  const double scale = std::min(double(side) / w, double(side) / h);
  const int fw = std::clamp(int(std::lround(w * scale)), 1, side), fh = std::clamp(int(std::lround(h * scale)), 1, side);
  TBitmap out;
  if (picture.Transparent || fw < 3 || fh < 3 ||
      !Resample(picture, fw, fh, TResampleFilter::Lanczos, out)) {
    out = TBitmap(fw, fh, pf24bit, clBlack);
    StretchBitmapRect(picture, TRect{0, 0, w, h}, out, TRect{0, 0, fw, fh}, TRect{0, 0, fw, fh});
  }
  out.Transparent = picture.Transparent;
  out.TransparentColor = picture.TransparentColor;
  return out;
}

// The preview as shown: the key colour transparent for a keyed picture.
QPixmap PreviewPixmap(const TBitmap& bmp) {
  QImage img = BitmapAsQImage(bmp).convertToFormat(QImage::Format_ARGB32);
  if (bmp.Transparent) {
    const TColor key = ColorToRGB(bmp.EffectiveTransparentColor()) & 0xFFFFFF;
    const QRgb k = qRgb(GetRValue(key), GetGValue(key), GetBValue(key));
    for (int y = 0; y < img.height(); ++y) {
      auto* line = reinterpret_cast<QRgb*>(img.scanLine(y));
      for (int x = 0; x < img.width(); ++x)
        if ((line[x] & 0xFFFFFF) == (k & 0xFFFFFF)) line[x] = 0;
    }
  }
  return QPixmap::fromImage(img);
}

QLabel* PreviewPanel(QWidget* parent, const char* name) {
  auto* l = new QLabel(parent);
  l->setObjectName(QString::fromLatin1(name));
  l->setFrameStyle(QFrame::Panel | QFrame::Sunken);
  l->setAlignment(Qt::AlignCenter);
  l->setFixedSize(64 + 8, 64 + 8);
  return l;
}

}  // namespace

TIconForm::TIconForm(QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("IconForm"));
  setWindowTitle(QText(CleanMenuCaption(CaptionOr(TextId::GetTrMnuExportIcon, Tr(TextId::TrFixIconCaption)))));
  setWindowFlag(Qt::WindowStaysOnTopHint);
  ChooseFile = RunSavePictureDialog;
  Image32 = PreviewPanel(this, "Image32");
  Image48 = PreviewPanel(this, "Image48");
  Image64 = PreviewPanel(this, "Image64");
  Sizes = new QButtonGroup(this);
  auto* previews = new QHBoxLayout;
  QLabel* images[3] = {Image32, Image48, Image64};
  QRadioButton** radios[3] = {&RB32, &RB48, &RB64};
  for (int i = 0; i < 3; ++i) {
    *radios[i] = new QRadioButton(QText(Format(Tr(TextId::TrFixFmtIconSize), {kSides[i], kSides[i]})), this);
    (*radios[i])->setObjectName(QStringLiteral("RB%1").arg(kSides[i]));
    Sizes->addButton(*radios[i], i);
    auto* column = new QVBoxLayout;
    column->addWidget(images[i], 0, Qt::AlignHCenter);
    column->addWidget(*radios[i], 0, Qt::AlignHCenter);
    previews->addLayout(column);
  }
  RB32->setChecked(true);

  RGFormat = new QGroupBox(QText(CaptionOr(TextId::GetTrLblFormat, Tr(TextId::TrFixExportFormat))), this);
  RGFormat->setObjectName(QStringLiteral("RGFormat"));
  Formats = new QButtonGroup(this);
  auto* formats = new QVBoxLayout(RGFormat);
  const std::pair<TextId, TextId> items[3] = {{TextId::GetTrLbl4bits, TextId::TrFixIcon4Bits},
                                              {TextId::GetTrLbl8bits, TextId::TrFixIcon8Bits},
                                              {TextId::GetTrLbl24bits, TextId::TrFixIcon24Bits}};
  for (int i = 0; i < 3; ++i) {
    auto* rb = new QRadioButton(QText(CaptionOr(items[i].first, Tr(items[i].second))), RGFormat);
    rb->setObjectName(QStringLiteral("RBFormat%1").arg(i));
    Formats->addButton(rb, i);
    formats->addWidget(rb);
  }
  Formats->button(ifColor256)->setChecked(true);

  BSauver = new QPushButton(QText(CaptionOr(TextId::GetTrBtnExport, Tr(TextId::TrFixExport))), this);
  BSauver->setObjectName(QStringLiteral("BSauver"));
  BSauver->setDefault(true);
  BAnnuler = new QPushButton(QText(CleanMenuCaption(CaptionOr(TextId::GetTrMnuClose, Tr(TextId::TrFixClose)))), this);
  BAnnuler->setObjectName(QStringLiteral("BAnnuler"));
  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  buttons->addWidget(BSauver);
  buttons->addWidget(BAnnuler);
  auto* all = new QVBoxLayout(this);
  all->addLayout(previews);
  all->addWidget(RGFormat);
  all->addLayout(buttons);

  connect(BSauver, &QPushButton::clicked, this, [this] { Export(); });
  connect(BAnnuler, &QPushButton::clicked, this, &QDialog::reject);
}

bool TIconForm::Execute(TNewImgForm& window, const std::string& folder) {
  folder_ = folder;
  documentName_ = std::filesystem::path(window.FileName()).stem().string();
  if (documentName_.empty()) documentName_ = window.windowTitle().toStdString();
  lastFile_.clear();
  TLayeredImage& image = window.Image();
  // A lone keyed background is the picture with its key; otherwise the composition.
  const TBitmap& flat = image.GetLayerCount() == 1 && image.Layers[0].Image.Transparent && image.Layers[0].Mask.Empty()
                            ? image.Layers[0].Image
                            : image.UpdatedComposition();
  TBitmap picture;
  picture.Assign(flat);
  picture.SetPixelFormat(pf24bit);
  QLabel* panels[3] = {Image32, Image48, Image64};
  for (int i = 0; i < 3; ++i) {
    previews_[i] = FitIntoSquare(picture, kSides[i]);
    panels[i]->setPixmap(PreviewPixmap(previews_[i]));
  }
  const int colors = CountBitmapColors(picture);
  Formats->button(colors < 17 ? ifColor16 : colors > 256 ? ifTrueColor : ifColor256)->setChecked(true);
  BSauver->setFocus();
  return exec() == QDialog::Accepted;
}

void TIconForm::Export() {
  TSavePictureRequest request;
  request.InitialDir = folder_;
  request.FileName = (folder_.empty() ? documentName_ : folder_ + "/" + documentName_) + ".ico";
  request.Filter = Format(Tr(TextId::TrFixFmtIconFilter), {Tr(TextId::GetFltIconFile)});
  request.DefaultExt = ".ico";
  std::string fileName;
  if (!ChooseFile || !ChooseFile(request, fileName) || fileName.empty()) return;
  const int index = std::max(0, Sizes->checkedId());
  try {
    SaveIconFile(fileName, CreateIconFromBitmap(previews_[index], kSides[index]), std::max(0, Formats->checkedId()));
  } catch (const std::exception&) {
    ShowMessageDialog(Format(TextId::GetOeMsgErrorSaving, {fileName}), mtError, mbOK);
    return;
  }
  lastFile_ = fileName;
  accept();
}

bool ExecuteIconExportDialog(QWidget* parent, TNewImgForm& window, const std::string& folder) {
  static QPointer<TIconForm> form;
  if (!form) form = new TIconForm(parent);
  return form->Execute(window, folder);
}

}  // namespace qm
