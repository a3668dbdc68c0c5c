#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>
#include <algorithm>
#include <iterator>

#include "controls/SpinEdit.h"
#include "dialogs/imagesize/ImageSizeForms.h"
#include "document/LayeredImage.h"
#include "platform/core/Numeric.h"
#include "platform/texts/TextUtils.h"
#include "shell/services/CommandChecks.h"

namespace qm {
namespace {

QString Q(const std::string& s) { return QString::fromStdString(s); }

// The choices of the filter list after "<Automatique>" and "Au plus proche".
constexpr TResampleFilter kListedFilters[] = {TResampleFilter::Triangle, TResampleFilter::Hermite,
                                              TResampleFilter::Bell,     TResampleFilter::BSpline,
                                              TResampleFilter::Lanczos,  TResampleFilter::Mitchell};

}  // namespace

// --- The resolution fields --------------------------------------------------------------

TResolutionFields::TResolutionFields(QWidget& dialog) : QObject(&dialog) {
  EdiRes = new TFloatSpinEdit(&dialog);
  EdiRes->setObjectName(QStringLiteral("EdiRes"));
  EdiRes->SetMinValue(kMinResolution);
  EdiRes->SetMaxValue(kMaxResolution);
  EdiRes->SetFormat(QStringLiteral("0.00"));
  EdiRes->SetValue(kDefaultResolution);
  CmbRes = new QComboBox(&dialog);
  CmbRes->setObjectName(QStringLiteral("CmbRes"));
  const QString pixels = Q(CaptionOr(TextId::GetTrLblPixels, "pixels"));
  CmbRes->addItem(pixels + "/" + CaptionText(TextId::GetTrLblInch, TextId::TrFixInch));
  CmbRes->addItem(pixels + "/" + Q(CaptionOr(TextId::GetTrLblCm, "cm")));
  EdiRes->OnChange = [this] {
    if (!silent_ && !EdiRes->text().isEmpty() && Typed) Typed();
  };
  // The value follows its unit: the same resolution shown per inch or per centimetre.
  connect(CmbRes, &QComboBox::currentIndexChanged, this, [this](int i) {
    if (silent_ || EdiRes->text().isEmpty()) return;
    silent_ = true;
    const double v = EdiRes->Value();
    EdiRes->SetValue(i == 1 ? v / kCmPerInch : v * kCmPerInch);
    silent_ = false;
  });
}

bool TResolutionFields::Empty() const { return EdiRes->text().trimmed().isEmpty(); }

double TResolutionFields::PixelsPerInch() const {
  return qm::PixelsPerInch(EdiRes->CheckValue(EdiRes->Value()), CmbRes->currentIndex() == 1);
}

void TResolutionFields::SetPixelsPerInch(double ppi) {
  silent_ = true;
  EdiRes->SetValue(ResolutionInUnit(ppi, CmbRes->currentIndex() == 1));
  silent_ = false;
}

void TResolutionFields::SetPerInch() {
  silent_ = true;
  CmbRes->setCurrentIndex(0);
  silent_ = false;
}

// --- The image size ---------------------------------------------------------------------

TRedimForm::TRedimForm() : TCommandDialog(kTraits) {
  size_ = new TSizeFields(*this, true, BackgroundSizeCaption());
  size_->OldGroup->setEnabled(false);
  Body().addWidget(size_->OldGroup);

  auto* group = new QGroupBox(CaptionText(TextId::GetTrLblNewSize, TextId::TrFixNewSize), this);
  auto* column = new QVBoxLayout(group);
  column->addWidget(size_->NewFields);
  CBProportions = new QCheckBox(CaptionText(TextId::GetTrLblAspectRation, TextId::TrFixKeepRatio), group);
  CBProportions->setObjectName(QStringLiteral("CBProportions"));
  column->addWidget(CBProportions);
  res_ = new TResolutionFields(*this);
  auto* resolution = new QHBoxLayout;
  resolution->addWidget(new QLabel(CaptionText(TextId::GetTrLblResolution, TextId::TrFixLblResolution), group));
  resolution->addWidget(res_->EdiRes);
  resolution->addWidget(res_->CmbRes);
  resolution->addStretch(1);
  column->addLayout(resolution);
  Body().addWidget(group);

  auto* filters = new QGridLayout;
  CBFiltres = new QComboBox(this);
  CBFiltres->setObjectName(QStringLiteral("CBFiltres"));
  CBFiltres->addItem("<" + CaptionText(TextId::GetTrLblAutoFilter, TextId::TrFixFilterAuto) + ">");
  CBFiltres->addItem(CaptionText(TextId::GetTrLblNearest, TextId::TrFixNearest));
  CBFiltres->addItem(CaptionText(TextId::GetTrLblBilinear, TextId::TrFixBilinear));
  CBFiltres->addItems(Q(Tr(TextId::TrFixFilterNames)).split('|'));
  filters->addWidget(new QLabel(CaptionText(TextId::GetTrLblResampling, TextId::TrFixLblResampling), this), 0, 0);
  filters->addWidget(CBFiltres, 0, 1);
  CBTous = new QCheckBox(CaptionText(TextId::GetTrLblAllLayers, TextId::TrFixAllLayers), this);
  CBTous->setObjectName(QStringLiteral("CBTous"));
  filters->addWidget(CBTous, 1, 0, 1, 2);
  filters->setColumnStretch(2, 1);
  Body().addLayout(filters);

  size_->Typed = [this](bool width) { SizeTyped(width); };
  res_->Typed = [this] { ResolutionTyped(); };
  // A resolution per centimetre shows the same pixels too.
  connect(res_->CmbRes, &QComboBox::currentIndexChanged, this, [this] { size_->SetPixelsPerInch(res_->PixelsPerInch()); });
}

bool TRedimForm::FormShow() {
  TLayeredImage* image = Host().LayerHost().ActiveImage();
  if (!image || image->GetLayerCount() == 0) return false;
  const TBitmap& bg = image->Layers[0].Image;
  res_->SetPixelsPerInch(image->ResolutionX > 0 ? image->ResolutionX : kDefaultResolution);
  size_->StartFrom(Host().DialogPreferences().ImageUnit, bg.Width(), bg.Height(), res_->PixelsPerInch());
  oldWidth_ = std::max(1, bg.Width());
  oldHeight_ = std::max(1, bg.Height());
  ratio_ = double(oldWidth_) / oldHeight_;
  CBFiltres->setEnabled(!bg.Transparent);
  if (!CBFiltres->isEnabled()) CBFiltres->setCurrentIndex(0);
  CBProportions->setChecked(true);
  CBTous->setEnabled(image->GetLayerCount() > 1);
  CBTous->setChecked(CBTous->isEnabled());
  return true;
}

void TRedimForm::SizeTyped(bool width) {
  int w = size_->Width(), h = size_->Height();
  if (CBProportions->isChecked()) {
    if (width) {
      h = RoundHalfEven(w / ratio_);
      size_->SetHeightPixels(h);
    } else {
      w = RoundHalfEven(h * ratio_);
      size_->SetWidthPixels(w);
    }
  }
  size_->ShowPixels(w, h);
}

void TRedimForm::ResolutionTyped() {
  // At a physical unit the fields keep their values: the pixels follow the resolution.
  size_->SetPixelsPerInch(res_->PixelsPerInch());
  if (size_->Unit() == suCentimeters || size_->Unit() == suInches) size_->ShowFieldPixels();
}

void TRedimForm::ChooseFilter(TResizeRequest& request) const {
  const int choice = CBFiltres->currentIndex();
  request.Filtered = choice != 1;
  request.Filter = choice >= 2 && choice - 2 < int(std::size(kListedFilters))
                       ? kListedFilters[choice - 2]
                       : AutomaticFilter(oldWidth_, oldHeight_, request.Width, request.Height);
}

bool TRedimForm::Apply() {
  if (RefuseEmptyFields({size_->EdiL, size_->EdiH, res_->EdiRes})) return false;
  TDialogHost& host = Host();
  TLayeredImage* image = host.LayerHost().ActiveImage();
  if (!image) return true;
  const bool all = CBTous->isEnabled() && CBTous->isChecked();
  if (all && CheckNoTextLayer(image)) return false;
  TResizeRequest request;
  request.Width = ClampImageSide(size_->Width());
  request.Height = ClampImageSide(size_->Height());
  request.AllLayers = all;
  ChooseFilter(request);
  const double ppi = res_->PixelsPerInch();
  const TBitmap& bg = image->Layers[0].Image;
  if (request.Width == bg.Width() && request.Height == bg.Height()) {
    // Only the resolution changes, in a step of its own.
    TLayerChangeOptions options;
    options.Caption = Caption();
    options.Restrict = false;
    options.Kind = ukImageRect;
    if (!RunLayerChange(host, options, [image, ppi](TLayerRun&) { image->ResolutionX = ppi; })) return false;
    host.RefreshLayerNavigator();
    return true;
  }
  return RunWholeImageChange(host, Caption(), [&](TLayerRun& run) {
    ResizeBackground(host.LayerHost(), run, request, [&host](const std::string& text) { host.SetStatusText(text); });
    image->ResolutionX = ppi;
  });
}

}  // namespace qm
