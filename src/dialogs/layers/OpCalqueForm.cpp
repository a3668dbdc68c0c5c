#include <QButtonGroup>
#include <QCheckBox>
#include <QEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QRadioButton>
#include <QSlider>
#include <QVBoxLayout>
#include <algorithm>
#include <utility>

#include "controls/ColorEditor.h"
#include "controls/SpinEdit.h"
#include "controls/TableTexts.h"
#include "dialogs/layers/LayerControls.h"
#include "dialogs/layers/LayerForms.h"
#include "document/LayerOps.h"
#include "document/LayeredImage.h"
#include "platform/texts/Format.h"
#include "platform/texts/TextUtils.h"
#include "shell/services/CommandTable.h"
#include "views/DocumentWindow.h"

namespace qm {
namespace {

using namespace layerforms;

QSlider* TrackBar(QWidget* parent, const char* name, int min, int max, int tick) {
  auto* s = new QSlider(Qt::Horizontal, parent);
  s->setObjectName(QLatin1String(name));
  s->setRange(min, max);
  s->setTickInterval(tick);
  s->setTickPosition(QSlider::TicksBelow);
  s->setMinimumWidth(260);
  return s;
}

// A shadow offset as the field reads, or the one the layer has while its text is no
// number.
int OffsetOf(const TSpinEdit2& edit, int current) {
  int v = 0;
  return TryStrToInt(edit.text().toStdString(), v) ? edit.CheckValue(v) : current;
}

std::string RowCaption(const char* name) {
  const TCommandRow* row = FindCommandRow(name);
  return row ? CleanMenuCaption(CommandCaption(*row)) : std::string();
}

}  // namespace

TOpCalqueForm::TOpCalqueForm() : TCommandDialog(kTraits) {
  LblOpacite = Label(this, "LblOpacite");
  TBAlpha = TrackBar(this, "TBAlpha", 10, 100, 2);
  Body().addWidget(LblOpacite);
  Body().addWidget(TBAlpha);

  PageControl = new QWidget(this);
  PageControl->setObjectName(QStringLiteral("PageControl"));
  auto* pages = new QVBoxLayout(PageControl);
  pages->setContentsMargins(0, 0, 0, 0);

  // a bitmap layer's drop shadow
  TshStd = new QWidget(PageControl);
  TshStd->setObjectName(QStringLiteral("TshStd"));
  auto* shadow = new QGridLayout(TshStd);
  CBOmbre = new QCheckBox(Q(CleanMenuCaption(CaptionOr(TextId::GetTrMnuDropShadow, Tr(TextId::TrFixDropShadow)))),
                          TshStd);
  CBOmbre->setObjectName(QStringLiteral("CBOmbre"));
  LblDX = Label(TshStd, "LblDX", Fixed(TextId::TrFixDeltaX));
  LblDY = Label(TshStd, "LblDY", Fixed(TextId::TrFixDeltaY));
  EdiDX = Spin(TshStd, "EdiDX", -50, 50, 3);
  EdiDY = Spin(TshStd, "EdiDY", -50, 50, 3);
  LblCouleur = Label(TshStd, "LblCouleur", Q(CaptionOr(TextId::GetTrLblColor, Tr(TextId::TrFixLblColor))));
  ColorEditOmbre = new TColorEdit(TshStd);
  ColorEditOmbre->setObjectName(QStringLiteral("ColorEditOmbre"));
  LblAlphaShadow = Label(TshStd, "LblAlphaShadow");
  TBAlphaShadow = TrackBar(TshStd, "TBAlphaShadow", 10, 100, 5);
  StyleGroup = new QGroupBox(Q(CaptionLike(TextId::GetTrLblStyle, Tr(TextId::TrFixStyleGroup), ckGroup)), TshStd);
  StyleGroup->setObjectName(QStringLiteral("RGStyle"));
  auto* styles = new QHBoxLayout(StyleGroup);
  RGStyle = new QButtonGroup(this);
  const QStringList names = Fixed(TextId::TrFixShadowStyles).split('|');
  const TextId styleTexts[] = {TextId::GetTrLblFlat, TextId::GetTrLblSmooth, TextId::GetTrLblDiffusion};
  for (int i = 0; i < names.size(); ++i) {
    auto* b = new QRadioButton(i < 3 ? Q(CaptionOr(styleTexts[i], names[i].toStdString())) : names[i], StyleGroup);
    b->setObjectName(QStringLiteral("RGStyle%1").arg(i));
    RGStyle->addButton(b, i);
    styles->addWidget(b);
  }
  RGStyle->button(1)->setChecked(true);
  shadow->addWidget(CBOmbre, 0, 0, 1, 4);
  shadow->addWidget(LblDX, 1, 0);
  shadow->addWidget(EdiDX, 1, 1);
  shadow->addWidget(LblDY, 1, 2);
  shadow->addWidget(EdiDY, 1, 3);
  shadow->addWidget(LblCouleur, 2, 0);
  shadow->addWidget(ColorEditOmbre, 2, 1, 1, 3, Qt::AlignLeft);
  shadow->addWidget(LblAlphaShadow, 3, 0, 1, 4);
  shadow->addWidget(TBAlphaShadow, 4, 0, 1, 4);
  shadow->addWidget(StyleGroup, 5, 0, 1, 4);
  pages->addWidget(TshStd);

  // an adjustment layer's settings
  TshAdjust = new QWidget(PageControl);
  TshAdjust->setObjectName(QStringLiteral("TshAdjust"));
  auto* adjust = new QVBoxLayout(TshAdjust);
  LblLuminosite = Label(TshAdjust, "LblLuminosite");
  TBLuminosite = TrackBar(TshAdjust, "TBLuminosite", -100, 100, 10);
  LblContraste = Label(TshAdjust, "LblContraste");
  TBContraste = TrackBar(TshAdjust, "TBContraste", -100, 100, 10);
  LblSaturation = Label(TshAdjust, "LblSaturation");
  TBSaturation = TrackBar(TshAdjust, "TBSaturation", -100, 100, 10);
  LblGamma = Label(TshAdjust, "LblGamma");
  TBGamma = TrackBar(TshAdjust, "TBGamma", 1, 30, 1);
  for (QWidget* w : std::initializer_list<QWidget*>{LblLuminosite, TBLuminosite, LblContraste, TBContraste,
                                                    LblSaturation, TBSaturation, LblGamma, TBGamma})
    adjust->addWidget(w);
  pages->addWidget(TshAdjust);

  // a colour layer's colour
  TshColor = new QWidget(PageControl);
  TshColor->setObjectName(QStringLiteral("TshColor"));
  auto* color = new QGridLayout(TshColor);
  ColorEdit = new TColorEdit(TshColor);
  ColorEdit->setObjectName(QStringLiteral("ColorEdit"));
  CBInverser = new QCheckBox(Q(CaptionOr(TextId::GetTrMnuSelInvert, Tr(TextId::TrFixInvert))), TshColor);
  CBInverser->setObjectName(QStringLiteral("CBInverser"));
  color->addWidget(new QLabel(Q(CaptionOr(TextId::GetTrLblColor, Tr(TextId::TrFixLblColor))), TshColor), 0, 0);
  color->addWidget(ColorEdit, 0, 1, Qt::AlignLeft);
  color->addWidget(CBInverser, 1, 0, 1, 2);
  pages->addWidget(TshColor);
  Body().addWidget(PageControl);

  // Every change is put into the layer at once; a track bar's at the end of its
  // gesture (released, a key let go) or when it moves without one (the wheel, a click
  // on its groove), so the image always shows what the controls say.
  for (QSlider* s : {TBAlpha, TBAlphaShadow, TBLuminosite, TBContraste, TBSaturation, TBGamma}) {
    connect(s, &QSlider::valueChanged, this, [this, s] {
      ShowLabels();
      if (!s->isSliderDown()) Changed();
    });
    connect(s, &QSlider::sliderReleased, this, [this] { Changed(); });
  }
  for (TSpinEdit2* e : {EdiDX, EdiDY}) e->OnChange = [this] { Changed(); };
  for (TColorEdit* e : {ColorEditOmbre, ColorEdit}) e->OnChange = [this] { Changed(); };
  connect(CBInverser, &QCheckBox::toggled, this, [this] { Changed(); });
  connect(RGStyle, &QButtonGroup::idToggled, this, [this](int, bool on) {
    if (on) Changed();
  });
  connect(CBOmbre, &QCheckBox::toggled, this, [this] {
    ShadowEnabling();
    Changed();
  });
  ShowLabels();
}

TOpCalqueForm::~TOpCalqueForm() = default;

TLayerItem* TOpCalqueForm::Layer() const {
  if (!document_ || !layer_ || document_->Image().Layers.IndexOf(layer_) < 0) return nullptr;
  return layer_;
}

void TOpCalqueForm::ShowLabels() {
  LblOpacite->setText(Q(Format(TextId::GetTrFmtOpacity, {TBAlpha->value()})));
  LblAlphaShadow->setText(Q(Format(TextId::GetTrFmtOpacity, {TBAlphaShadow->value()})));
  LblLuminosite->setText(Q(Format(TextId::GetTrFmtBrightness, {TBLuminosite->value()})));
  LblContraste->setText(Q(Format(TextId::GetTrFmtContrast, {TBContraste->value()})));
  LblSaturation->setText(Q(Format(TextId::GetTrFmtSaturation, {TBSaturation->value()})));
  LblGamma->setText(Q(Format(TextId::GetTrFmtGamma, {TBGamma->value() / 10.0})));
}

void TOpCalqueForm::ShadowEnabling() {
  const bool on = CBOmbre->isChecked();
  for (QWidget* w : std::initializer_list<QWidget*>{LblDX, EdiDX, LblDY, EdiDY, LblCouleur, ColorEditOmbre,
                                                    LblAlphaShadow, TBAlphaShadow, StyleGroup})
    w->setEnabled(on);
}

void TOpCalqueForm::Changed() {
  if (!loading_) ApplySettings();
}

void TOpCalqueForm::ApplySettings() {
  TLayerItem* layer = isVisible() ? Layer() : nullptr;
  if (!layer) return;
  layer->Opacity = uint8_t(TBAlpha->value());
  switch (layer->LayerType) {
    case ltBitmap: {
      TLayerShadow& s = layer->Shadow;
      s.Enabled = CBOmbre->isChecked();
      s.Color = ColorEditOmbre->Color();
      // A field being typed ("", "-") keeps the offset the layer has.
      s.OffsetX = OffsetOf(*EdiDX, s.OffsetX);
      s.OffsetY = OffsetOf(*EdiDY, s.OffsetY);
      s.Opacity = TBAlphaShadow->value();
      bool diffuse = false;
      SetShadowStyle(std::max(0, RGStyle->checkedId()), s.Radius, diffuse);
      s.Spread = diffuse;
      break;
    }
    case ltAdjustment:
      layer->Adjustment.Lighten = TBLuminosite->value();
      layer->Adjustment.Contrast = TBContraste->value();
      layer->Adjustment.Saturation = TBSaturation->value();
      layer->Adjustment.Gamma = TBGamma->value() / 10.0;
      break;
    case ltColor:
      layer->Color = ColorEdit->Color();
      layer->ColorNegate = CBInverser->isChecked() ? 1 : 0;
      break;
    default: break;
  }
  document_->Image().InvalidateImage();
  Host().RepaintActiveImage();
}

bool TOpCalqueForm::FormShow() {
  TDialogHost& host = Host();
  document_ = host.GetActiveImgForm();
  layer_ = document_ ? document_->Image().GetActiveLayer() : nullptr;
  if (!layer_) return false;
  newLayer_ = Request().Mode == 1;
  applied_ = false;
  const std::string caption = RowCaption(newLayer_ ? "MenuCalqueNouveau" : "MenuCalqueOptions");
  if (!caption.empty()) setWindowTitle(Q(caption));
  saved_ = std::make_unique<TLayerItem>();
  saved_->Assign(*layer_);

  loading_ = true;
  TBAlpha->setValue(layer_->Opacity);
  TshStd->setVisible(layer_->LayerType == ltBitmap);
  TshAdjust->setVisible(layer_->LayerType == ltAdjustment);
  TshColor->setVisible(layer_->LayerType == ltColor);
  switch (layer_->LayerType) {
    case ltBitmap: {
      const TLayerShadow& s = layer_->Shadow;
      CBOmbre->setChecked(s.Enabled);
      EdiDX->SetValue(s.OffsetX);
      EdiDY->SetValue(s.OffsetY);
      TBAlphaShadow->setValue(s.Opacity);
      ColorEditOmbre->SetColor(s.Color);
      RGStyle->button(ShadowStyleOf(s.Radius, s.Spread != 0))->setChecked(true);
      ShadowEnabling();
      break;
    }
    case ltAdjustment:
      TBLuminosite->setValue(layer_->Adjustment.Lighten);
      TBContraste->setValue(layer_->Adjustment.Contrast);
      TBSaturation->setValue(layer_->Adjustment.Saturation);
      TBGamma->setValue(int(layer_->Adjustment.Gamma * 10));
      break;
    case ltColor:
      ColorEdit->SetColor(layer_->Color);
      CBInverser->setChecked(layer_->ColorNegate != 0);
      break;
    default: break;
  }
  loading_ = false;
  ShowLabels();
  return true;
}

bool TOpCalqueForm::Apply() {
  if (TshStd->isVisibleTo(this) && RefuseEmptyFields({EdiDX, EdiDY})) return false;
  ApplySettings();
  applied_ = true;
  Host().RefreshLayerNavigator();
  return true;
}

void TOpCalqueForm::FormHide() {
  TDialogHost& host = Host();
  TLayerItem* layer = Layer();
  if (!applied_ && layer) {
    if (newLayer_) {
      if (document_->Image().GetActiveLayer() != layer) SelectLayer(host.LayerHost(), *layer);
      DeleteActiveLayer(host.LayerHost());
    } else {
      layer->Assign(*saved_);
    }
    document_->Image().InvalidateImage();
    host.RepaintActiveImage();
    host.RefreshLayerNavigator();
  }
  saved_.reset();
  newLayer_ = false;
  layer_ = nullptr;
  document_ = nullptr;
  if (applied_) SelectToolOnceHidden(13);
}

bool TOpCalqueForm::eventFilter(QObject* watched, QEvent* e) {
  // a key let go on a track bar ends its gesture
  if (e->type() == QEvent::KeyRelease && qobject_cast<QSlider*>(watched)) Changed();
  return TCommandDialog::eventFilter(watched, e);
}

}  // namespace qm
