#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

#include "controls/ColorEditor.h"
#include "controls/SpinEdit.h"
#include "dialogs/imagesize/ImageSizeForms.h"
#include "document/LayeredImage.h"
#include "platform/texts/IniFile.h"
#include "platform/texts/TextUtils.h"
#include "shell/services/CommandChecks.h"

namespace qm {
namespace {

QString Q(const std::string& s) { return QString::fromStdString(s); }

}  // namespace

// --- The canvas -------------------------------------------------------------------------

TRecadrerForm::TRecadrerForm() : TCommandDialog(kTraits) {
  size_ = new TSizeFields(*this, true, BackgroundSizeCaption());
  size_->OldGroup->setEnabled(false);
  Body().addWidget(size_->OldGroup);
  auto* row = new QHBoxLayout;
  auto* fields = new QGroupBox(CaptionText(TextId::GetTrLblNewSize, TextId::TrFixNewSize), this);
  (new QVBoxLayout(fields))->addWidget(size_->NewFields);
  row->addWidget(fields, 1);
  auto* position = new QGroupBox(CaptionText(TextId::GetTrLblPosition, TextId::TrFixPosition), this);
  anchors_ = new TAnchorGrid(position);
  (new QVBoxLayout(position))->addWidget(anchors_, 0, Qt::AlignCenter);
  row->addWidget(position);
  Body().addLayout(row);

  auto* grid = new QGridLayout;
  ColorEdit = new TColorEdit(this);
  ColorEdit->setObjectName(QStringLiteral("ColorEdit"));
  ColorEdit->SetColor(clWhite);
  grid->addWidget(new QLabel(CaptionText(TextId::GetTrLblBkg, TextId::TrFixLblBkg), this), 0, 0);
  grid->addWidget(ColorEdit, 0, 1, Qt::AlignLeft);
  pattern_ = new TPatternRow(*this, *grid, 1);
  grid->setColumnStretch(1, 1);
  Body().addLayout(grid);

  size_->Typed = [this](bool) { size_->ShowFieldPixels(); };
}

bool TRecadrerForm::FormShow() {
  TLayeredImage* image = Host().LayerHost().ActiveImage();
  if (!image || image->GetLayerCount() == 0) return false;
  const TLayerItem& layer = image->Layers[0];
  const TBitmap& bg = layer.Image;
  size_->StartFrom(Host().DialogPreferences().ImageUnit, bg.Width(), bg.Height(), image->ResolutionX);
  oldWidth_ = std::max(1, bg.Width());
  oldHeight_ = std::max(1, bg.Height());
  anchors_->SetAnchor(alCenter);
  const bool trueColor = image->ColorCount >= 257;
  const bool alpha = !layer.Mask.Empty();
  ColorEdit->SetColor(CanvasBackgroundColor(*image, ColorEdit->Color()));
  ColorEdit->SetReadOnly(!trueColor || bg.Transparent);
  pattern_->SetAvailable(trueColor && !bg.Transparent && !alpha);
  return true;
}

void TRecadrerForm::TakePickedColor(TColor color) {
  TLayeredImage* image = Host().LayerHost().ActiveImage();
  if (image && !image->BackgroundHasTransparency()) ColorEdit->SetColor(color);
}

bool TRecadrerForm::Apply() {
  if (RefuseEmptyFields({size_->EdiL, size_->EdiH})) return false;
  if (pattern_->Incomplete()) {
    ShowEmptyFieldWarning();
    return false;
  }
  TCanvasRequest request;
  request.Width = ClampImageSide(size_->Width());
  request.Height = ClampImageSide(size_->Height());
  if (request.Width == oldWidth_ && request.Height == oldHeight_) return true;
  request.Anchor = anchors_->Anchor();
  request.Color = ColorEdit->Color();
  // The pattern is read before the step: one that does not load refuses with its
  // reader's message, and no step is left.
  TBitmap pattern;
  if (pattern_->Checked()) {
    if (!pattern_->Load(Host(), pattern, request.PatternKey)) return false;
    request.Pattern = &pattern;
  }
  TDialogHost& host = Host();
  return RunWholeImageChange(host, Caption(),
                             [&](TLayerRun& run) { EnlargeDocumentCanvas(host.LayerHost(), run, request); });
}

// --- The fit ----------------------------------------------------------------------------

namespace {

constexpr const char* kFitPresets[] = {"100 x 100", "640 x 480", "800 x 600", "1024 x 768", "1280 x 1024",
                                       "1600 x 1200"};
constexpr int kMinFit = 10, kMaxFit = 10000;

TSpinEdit2* LimitEdit(QWidget* parent, const char* name, int value) {
  auto* e = new TSpinEdit2(parent);
  e->setObjectName(QLatin1String(name));
  e->SetMinValue(kMinFit);
  e->SetMaxValue(kMaxFit);
  e->setMaxLength(5);
  e->SetValue(value);
  return e;
}

}  // namespace

TAdapterForm::TAdapterForm() : TCommandDialog(kTraits) {
  QString limits = CaptionText(TextId::GetTrLblLimits, TextId::TrFixLimits);
  if (IsTextFilled(TextId::GetTrLblLimits))
    limits = Q(DecorateCaption(Tr(TextId::GetTrLblLimits) + " (" + CaptionOr(TextId::GetTrLblPixels, "pixels") + ")",
                               ckGroup));
  auto* group = new QGroupBox(limits, this);
  auto* grid = new QGridLayout(group);
  EdiL = LimitEdit(group, "EdiL", 800);
  EdiH = LimitEdit(group, "EdiH", 600);
  grid->addWidget(new QLabel(CaptionText(TextId::GetTrLblWidth, TextId::TrFixLblWidth), group), 0, 0);
  grid->addWidget(EdiL, 0, 1);
  grid->addWidget(new QLabel(CaptionText(TextId::GetTrLblHeight, TextId::TrFixLblHeight), group), 1, 0);
  grid->addWidget(EdiH, 1, 1);
  LstTaille = new QComboBox(group);
  LstTaille->setObjectName(QStringLiteral("LstTaille"));
  LstTaille->addItem(CaptionText(TextId::GetTrLblCustomSize, TextId::TrFixCustomSize));
  for (const char* p : kFitPresets) LstTaille->addItem(QLatin1String(p));
  grid->addWidget(new QLabel(CaptionText(TextId::GetTrLblLimitList, TextId::TrFixLimitList), group), 2, 0);
  grid->addWidget(LstTaille, 2, 1);
  Body().addWidget(group);
  CBOptimiser = new QCheckBox(CaptionText(TextId::GetTrLblOptimize, TextId::TrFixOptimize), this);
  CBOptimiser->setObjectName(QStringLiteral("CBOptimiser"));
  CBDeformer = new QCheckBox(CaptionText(TextId::GetTrLblAcceptDeform, TextId::TrFixAcceptDeform), this);
  CBDeformer->setObjectName(QStringLiteral("CBDeformer"));
  CBTous = new QCheckBox(CaptionText(TextId::GetTrLblAllLayers, TextId::TrFixAllLayers), this);
  CBTous->setObjectName(QStringLiteral("CBTous"));
  Body().addWidget(CBOptimiser);
  Body().addWidget(CBDeformer);
  Body().addWidget(CBTous);

  connect(LstTaille, &QComboBox::activated, this, [this](int i) { PresetChosen(i); });
  const auto typed = [this] {
    if (!silent_) LstTaille->setCurrentIndex(0);
  };
  EdiL->OnChange = typed;
  EdiH->OnChange = typed;
}

void TAdapterForm::PresetChosen(int index) {
  int w = 0, h = 0;
  if (index <= 0 || !ParsePresetSize(LstTaille->itemText(index).toStdString(), w, h)) return;
  silent_ = true;
  EdiL->SetValue(w);
  EdiH->SetValue(h);
  silent_ = false;
}

bool TAdapterForm::FormShow() {
  TLayeredImage* image = Host().LayerHost().ActiveImage();
  if (!image || image->GetLayerCount() == 0) return false;
  if (!settingsRead_) {
    // The limits start from the preferences' [FitImage] at the first showing; a missing
    // or unreadable key keeps the field's value.
    settingsRead_ = true;
    if (const TIniFile* ini = Host().SettingsFile()) {
      int v = 0;
      silent_ = true;
      if (TryStrToInt(ini->ReadString("FitImage", "Width", "ERR!"), v)) EdiL->SetValue(v);
      if (TryStrToInt(ini->ReadString("FitImage", "Height", "ERR!"), v)) EdiH->SetValue(v);
      silent_ = false;
      CBDeformer->setChecked(ini->ReadString("FitImage", "Deform", "ERR!") == "1");
    }
  }
  const TBitmap& bg = image->Layers[0].Image;
  CBOptimiser->setEnabled(!bg.Transparent);
  CBOptimiser->setChecked(CBOptimiser->isEnabled());
  CBTous->setEnabled(image->GetLayerCount() > 1);
  CBTous->setChecked(CBTous->isEnabled());
  return true;
}

bool TAdapterForm::Apply() {
  if (RefuseEmptyFields({EdiL, EdiH})) return false;
  TDialogHost& host = Host();
  TLayeredImage* image = host.LayerHost().ActiveImage();
  if (!image) return true;
  const bool all = CBTous->isEnabled() && CBTous->isChecked();
  if (all && CheckNoTextLayer(image)) return false;
  const TBitmap& bg = image->Layers[0].Image;
  // The limits through their range: a typed 99999 is 10000.
  const TImageSize size = FitImageSize(bg.Width(), bg.Height(), EdiL->CheckValue(EdiL->Value()),
                                       EdiH->CheckValue(EdiH->Value()), CBDeformer->isChecked());
  if (size.Width == bg.Width() && size.Height == bg.Height()) return true;
  TResizeRequest request;
  request.Width = size.Width;
  request.Height = size.Height;
  request.Filtered = CBOptimiser->isEnabled() && CBOptimiser->isChecked();
  request.Filter = AutomaticFilter(bg.Width(), bg.Height(), size.Width, size.Height);
  request.MinimumForFilter = false;
  request.AllLayers = all;
  return RunWholeImageChange(host, Caption(), [&](TLayerRun& run) {
    ResizeBackground(host.LayerHost(), run, request, [&host](const std::string& text) { host.SetStatusText(text); });
  });
}

}  // namespace qm
