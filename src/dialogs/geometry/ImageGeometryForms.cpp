#include "dialogs/geometry/ImageGeometryForms.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QVBoxLayout>
#include <algorithm>

#include "controls/ColorEditor.h"
#include "controls/SpinEdit.h"
#include "dialogs/command/CommandControls.h"
#include "document/LayerOps.h"
#include "document/LayeredImage.h"
#include "document/Undo.h"
#include "pixel/Distortion.h"
#include "pixel/ImgUtils.h"
#include "pixel/Rotation.h"
#include "platform/texts/Format.h"
#include "shell/services/CommandChecks.h"

namespace qm {
namespace {

QLabel* Label(QWidget* parent, TextId entry, TextId design) { return new QLabel(CaptionText(entry, design), parent); }

QCheckBox* CheckBox(QWidget* parent, const char* name, TextId entry, TextId design) {
  auto* box = new QCheckBox(CaptionText(entry, design), parent);
  box->setObjectName(QString::fromLatin1(name));
  return box;
}

QRadioButton* Radio(QWidget* parent, const char* name, TextId entry, TextId design) {
  auto* rb = new QRadioButton(CaptionText(entry, design), parent);
  rb->setObjectName(QString::fromLatin1(name));
  return rb;
}

// The background's mask turns with it under an alpha image: the kind-0 step keeps it.
TBitmap* AlphaMask(TLayeredImage& image) {
  TBitmap& mask = image.Layers[0].Mask;
  return mask.Empty() ? nullptr : &mask;
}

}  // namespace

// --- Rotation and skew --------------------------------------------------------------------

void TWholeImageForm::AddCommonRows(QGridLayout& grid, int row) {
  CBLisser = CheckBox(this, "CBLisser", TextId::GetTrLblSmooth, TextId::TrFixSmooth);
  grid.addWidget(CBLisser, row++, 0, 1, 2);
  ColorEdit = new TColorEdit(this);
  ColorEdit->setObjectName(QStringLiteral("ColorEdit"));
  ColorEdit->SetColor(clWhite);
  grid.addWidget(Label(this, TextId::GetTrLblBkg, TextId::TrFixLblBkg), row, 0);
  grid.addWidget(ColorEdit, row++, 1, Qt::AlignLeft);
  CBTous = CheckBox(this, "CBTous", TextId::GetTrLblAllLayers, TextId::TrFixAllLayers);
  grid.addWidget(CBTous, row, 0, 1, 2);
}

bool TWholeImageForm::FormShow() {
  TLayeredImage* image = Host().LayerHost().ActiveImage();
  if (!image || image->GetLayerCount() == 0) return false;
  const TBitmap& bg = image->Layers[0].Image;
  const bool trueColor = Host().LayerHost().IsActiveImageTrueColor();
  // The form's own title, whichever entry opened it.
  setWindowTitle(QString::fromStdString(DialogCaption(Traits())));
  // What the turned corners uncover: the key colour of a keyed background, hidden
  // white under an alpha image, a palette image's own first pixel.
  if (bg.Transparent) ColorEdit->SetColor(bg.EffectiveTransparentColor());
  else if (AlphaMask(*image)) ColorEdit->SetColor(clWhite);
  else if (!trueColor && !bg.Empty()) ColorEdit->SetColor(bg.GetPixel(0, 0));
  ColorEdit->SetReadOnly(!trueColor);
  CBLisser->setEnabled(trueColor && !bg.Transparent);
  CBLisser->setChecked(CBLisser->isEnabled());
  CBTous->setEnabled(image->GetLayerCount() > 1);
  CBTous->setChecked(CBTous->isEnabled());
  return true;
}

void TWholeImageForm::TakePickedColor(TColor color) {
  if (!ColorEdit->ReadOnly()) ColorEdit->SetColor(color);
}

TUndoLayerItem* TWholeImageForm::BeginChange(const std::string& name, int& width, int& height) {
  TLayeredImage* image = Host().LayerHost().ActiveImage();
  if (!image || image->GetLayerCount() == 0) return nullptr;
  const bool all = CBTous->isChecked() && CBTous->isEnabled();
  if (all && CheckNoTextLayer(image)) return nullptr;
  TUndoLayerItem* step = Host().Operations().BeginUndoableOperation(ukWholeImage, name);
  if (!step || !Host().Operations().PreChangeCopy()) return nullptr;
  if (all) SaveLayersForUndo(Host().LayerHost());
  width = image->Layers[0].Image.Width();
  height = image->Layers[0].Image.Height();
  return step;
}

void TWholeImageForm::EndChange() {
  if (TLayeredImage* image = Host().LayerHost().ActiveImage()) image->InvalidateImage();
  Host().ResetImageWindowState();
  Host().RefreshLayerNavigator();
  Host().RepaintActiveImage();
}

TRotForm::TRotForm() : TWholeImageForm(kTraits) {
  auto* grid = new QGridLayout;
  SEAngle = new TFloatSpinEdit(this);
  SEAngle->setObjectName(QStringLiteral("SEAngle"));
  SEAngle->SetFormat(QStringLiteral("0.0"));
  SEAngle->SetIncrement(1);
  SEAngle->SetMinValue(-359.9);
  // (the upper bound is the editor's own: a whole turn less one tenth is not offered)
  SEAngle->SetMaxValue(349.9);
  SEAngle->SetValue(45);
  grid->addWidget(Label(this, TextId::GetTrLblAngle, TextId::TrFixLblAngle), 0, 0);
  grid->addWidget(SEAngle, 0, 1, Qt::AlignLeft);
  CBAjuster = CheckBox(this, "CBAjuster", TextId::GetTrLblAdjustSize, TextId::TrFixAdjustSize);
  grid->addWidget(CBAjuster, 1, 0, 1, 2);
  AddCommonRows(*grid, 2);
  Body().addLayout(grid);
}

bool TRotForm::FormShow() {
  CBAjuster->setChecked(true);
  CBLisser->setChecked(true);
  return TWholeImageForm::FormShow();
}

bool TRotForm::Apply() {
  if (RefuseEmptyFields({SEAngle})) return false;
  const double angle = SEAngle->Value();
  if (angle == 0) return true;
  TBusyScope busy(Host());
  int w = 0, h = 0;
  // (the step takes the dialog's name, not the menu entry's)
  if (!BeginChange(DialogCaption(kTraits), w, h)) return false;
  TLayeredImage& image = *Host().LayerHost().ActiveImage();
  const bool smooth = CBLisser->isChecked();
  RotateBitmapAngleTo(*Host().Operations().PreChangeCopy(), image.Layers[0].Image, smooth, angle,
                      CBAjuster->isChecked(), ColorEdit->Color());
  if (TBitmap* mask = AlphaMask(image)) RotateBitmapAngle(*mask, smooth, CBAjuster->isChecked(), angle, clWhite);
  if (CBTous->isChecked() && CBTous->isEnabled()) RotateAllLayers(Host().LayerHost(), w, h, angle);
  EndChange();
  return true;
}

TInclinerForm::TInclinerForm() : TWholeImageForm(kTraits) {
  auto* grid = new QGridLayout;
  lbl_ = new QLabel(this);
  lbl_->setObjectName(QStringLiteral("Lbl"));
  TB = new QSlider(Qt::Horizontal, this);
  TB->setObjectName(QStringLiteral("TB"));
  TB->setRange(-50, 50);
  TB->setPageStep(5);
  TB->setMinimumWidth(220);
  grid->addWidget(lbl_, 0, 0, 1, 2);
  grid->addWidget(TB, 1, 0, 1, 2);
  auto* axes = new QHBoxLayout;
  RBHorz = Radio(this, "RBHorz", TextId::GetTrLblHorzAxis, TextId::TrFixHorzAxis);
  RBVert = Radio(this, "RBVert", TextId::GetTrLblVertAxis, TextId::TrFixVertAxis);
  RBHorz->setChecked(true);
  axes->addWidget(RBHorz);
  axes->addWidget(RBVert);
  grid->addLayout(axes, 2, 0, 1, 2);
  AddCommonRows(*grid, 3);
  Body().addLayout(grid);
  connect(TB, &QSlider::valueChanged, this, [this] { Relabel(); });
  connect(RBHorz, &QRadioButton::toggled, this, [this] { Relabel(); });
  Relabel();
}

void TInclinerForm::Relabel() {
  lbl_->setText(QString::fromStdString(
      Format(RBHorz->isChecked() ? TextId::GetTrFmtSkewLeftRight : TextId::GetTrFmtSkewTopBootom, {TB->value()})));
}

bool TInclinerForm::FormShow() {
  if (!TWholeImageForm::FormShow()) return false;
  Relabel();
  return true;
}

bool TInclinerForm::Apply() {
  const int p = TB->value();
  if (p == 0) return true;
  TBusyScope busy(Host());
  int w = 0, h = 0;
  if (!BeginChange(Caption(), w, h)) return false;
  TLayeredImage& image = *Host().LayerHost().ActiveImage();
  const TBitmap& source = *Host().Operations().PreChangeCopy();
  TBitmap& bg = image.Layers[0].Image;
  TBitmap* mask = AlphaMask(image);
  const bool smooth = CBLisser->isChecked();
  const bool horizontal = RBHorz->isChecked();
  const int amount = (horizontal ? h : w) * p / 100;
  if (horizontal) {
    SkewHorizontal(source, bg, amount, smooth, ColorEdit->Color(), true);
    if (mask) SkewHorizontalInPlace(*mask, amount, smooth, clWhite, true);
  } else {
    SkewVertical(source, bg, amount, smooth, ColorEdit->Color(), true);
    if (mask) SkewVerticalInPlace(*mask, amount, smooth, clWhite, true);
  }
  // The background's rows (columns) moved against the percent as they go down (right):
  // each layer leans the same way, x moved by y for the horizontal axis.
  if (CBTous->isChecked() && CBTous->isEnabled()) {
    const double f = -p / 100.0;
    SkewAllLayers(Host().LayerHost(), w, h, horizontal ? f : 0, horizontal ? 0 : f);
  }
  EndChange();
  return true;
}

// --- Offset -----------------------------------------------------------------------------

TDecalerForm::TDecalerForm() : TCommandDialog(kTraits) {
  auto makeAxis = [this](TextId entry, TextId design, TSpinEdit2*& edit, const char* name, QRadioButton*& a,
                         QRadioButton*& b) {
    auto* group = new QGroupBox(CaptionText(entry, design), this);
    auto* row = new QHBoxLayout(group);
    edit = new TSpinEdit2(group);
    edit->setObjectName(QString::fromLatin1(name));
    edit->SetMinValue(0);
    edit->SetMaxValue(1000);
    edit->setMaxLength(4);
    edit->SetValue(0);
    row->addWidget(edit);
    row->addWidget(a);
    row->addWidget(b);
    auto* buttons = new QButtonGroup(group);
    buttons->addButton(a);
    buttons->addButton(b);
    a->setChecked(true);
    Body().addWidget(group);
    // Typing, the arrows, the Up and Down keys: every new text counts.
    edit->OnChange = [this] { changed_ = true; };
    connect(a, &QRadioButton::toggled, this, [this] { changed_ = true; });
  };
  RBDroite = Radio(this, "RBDroite", TextId::GetTrLblRight, TextId::TrFixAlignRight);
  RBGauche = Radio(this, "RBGauche", TextId::GetTrLblLeft, TextId::TrFixAlignLeft);
  RBBas = Radio(this, "RBBas", TextId::GetTrLblBottom, TextId::TrFixBottom);
  RBHaut = Radio(this, "RBHaut", TextId::GetTrLblTop, TextId::TrFixTop);
  makeAxis(TextId::GetTrLblHorzAxis, TextId::TrFixHorzAxis, SEDX, "SEDX", RBDroite, RBGauche);
  makeAxis(TextId::GetTrLblVertAxis, TextId::TrFixVertAxis, SEDY, "SEDY", RBBas, RBHaut);
  BApercu = new QPushButton(CaptionText(TextId::GetTrBtnPreview, TextId::TrFixBtnPreview), this);
  BApercu->setObjectName(QStringLiteral("BApercu"));
  BApercu->setAutoDefault(false);
  Body().addWidget(BApercu, 0, Qt::AlignLeft);
  connect(BApercu, &QPushButton::clicked, this, [this] { Preview(); });
}

bool TDecalerForm::FormShow() {
  // Opened over the step its command pushed for it, on the active document.
  if (!Request().NewStep || !step_.Take(Host())) return false;
  setWindowTitle(QString::fromStdString(DialogCaption(Traits())));
  RBDroite->setChecked(true);
  RBBas->setChecked(true);
  SEDX->SetValue(0);
  SEDY->SetValue(0);
  // A showing starts from no shift: OK untouched writes none into the step.
  dx_ = dy_ = 0;
  changed_ = applied_ = previewed_ = false;
  return true;
}

bool TDecalerForm::Preview() {
  if (!isVisible()) return false;
  if (RefuseEmptyFields({SEDX, SEDY})) return false;
  if (!step_.Resume(Host())) {
    hide();
    return false;
  }
  TBusyScope busy(Host());
  TLayerHost& layers = Host().LayerHost();
  TLayeredImage& image = *layers.ActiveImage();
  if (previewed_) {
    Host().Operations().RestoreFromHistory();
    OffsetAllLayers(layers, -dx_, -dy_, false);
  }
  TLayerItem& bg = image.Layers[0];
  dx_ = RBGauche->isChecked() ? -SEDX->Value() : SEDX->Value();
  ScrollBitmapWrapHorizontal(bg.Image, dx_);
  if (TBitmap* mask = AlphaMask(image)) ScrollBitmapWrapHorizontal(*mask, dx_);
  dy_ = RBHaut->isChecked() ? -SEDY->Value() : SEDY->Value();
  ScrollBitmapWrapVertical(bg.Image, dy_);
  if (TBitmap* mask = AlphaMask(image)) ScrollBitmapWrapVertical(*mask, dy_);
  OffsetAllLayers(layers, dx_, dy_, false);
  image.InvalidateImage();
  Host().RepaintActiveImage();
  changed_ = false;
  previewed_ = true;
  return true;
}

bool TDecalerForm::Apply() {
  if (changed_ && !Preview()) return false;
  if (!isVisible()) return false;
  // No shift: nothing to keep, the step goes with the hide.
  if (dx_ == 0 && dy_ == 0) return true;
  if (!step_.Resume(Host())) return true;
  TLayerHost& layers = Host().LayerHost();
  // Moved back and again, refreshing: the layer strip shows the new places.
  OffsetAllLayers(layers, -dx_, -dy_, false);
  OffsetAllLayers(layers, dx_, dy_, true);
  TUndoLayerItem& step = *step_.Document()->History().GetCurrentUndoStep();
  SetUndoStepParam(step, upOffsetX, dx_);
  SetUndoStepParam(step, upOffsetY, dy_);
  Host().RefreshLayerNavigator();
  applied_ = true;
  return true;
}

void TDecalerForm::FormHide() {
  if (!applied_) {
    if (previewed_ && step_.Resume(Host())) OffsetAllLayers(Host().LayerHost(), -dx_, -dy_, false);
    step_.TakeBack(Host(), previewed_);
  }
  step_.Release();
  dx_ = dy_ = 0;
}

}  // namespace qm
