#include <QButtonGroup>
#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QRadioButton>
#include <QToolButton>
#include <QVBoxLayout>

#include "controls/ColorEditor.h"
#include "controls/SpinEdit.h"
#include "dialogs/frames/FrameForms.h"
#include "dialogs/frames/FrameOps.h"
#include "dialogs/imagesize/ImageSizeOps.h"
#include "document/LayeredImage.h"

namespace qm {
namespace {

TSpinEdit2* SpinEdit(QWidget* parent, const char* name, int lo, int hi, int value) {
  auto* e = new TSpinEdit2(parent);
  e->setObjectName(QLatin1String(name));
  e->SetMinValue(lo);
  e->SetMaxValue(hi);
  e->setMaxLength(3);
  e->SetValue(value);
  return e;
}

// A spin edit's value read through its range: a typed value the field has not yet
// clamped (Enter is OK before the focus leaves it) counts as its nearest bound.
int Read(const TSpinEdit2* e) { return e->CheckValue(e->Value()); }

// A group of radio buttons in two columns; the first is checked.
QGroupBox* RadioGroup(QWidget* parent, const char* name, const QString& title,
                      std::initializer_list<std::pair<const char*, QString>> items, int columns) {
  auto* box = new QGroupBox(title, parent);
  box->setObjectName(QLatin1String(name));
  auto* grid = new QGridLayout(box);
  auto* group = new QButtonGroup(box);
  int i = 0;
  for (const auto& [itemName, text] : items) {
    auto* b = new QRadioButton(text, box);
    b->setObjectName(QLatin1String(itemName));
    group->addButton(b, i);
    grid->addWidget(b, i % ((int(items.size()) + columns - 1) / columns), i / ((int(items.size()) + columns - 1) / columns));
    ++i;
  }
  return box;
}

int Choice(const QGroupBox* box) {
  const QButtonGroup* group = box->findChild<QButtonGroup*>();
  return group ? std::max(0, group->checkedId()) : 0;
}
void SetChoice(QGroupBox* box, int i) {
  if (QButtonGroup* group = box->findChild<QButtonGroup*>(); group && group->button(i)) group->button(i)->setChecked(true);
}

QString Text(TextId entry, TextId design) { return CaptionText(entry, design); }

// What both dialogs take of the background: a colour of its own only in true colour,
// a pattern only in true colour on an opaque background.
struct TBackgroundRules {
  bool TrueColor = false, PatternAvailable = false;
};
TBackgroundRules BackgroundRules(TDialogHost& host) {
  TBackgroundRules r;
  TLayeredImage* image = host.LayerHost().ActiveImage();
  if (!image || image->GetLayerCount() == 0) return r;
  r.TrueColor = image->ColorCount >= 257;
  r.PatternAvailable = r.TrueColor && !image->BackgroundHasTransparency();
  return r;
}

}  // namespace

// --- Outer frame ------------------------------------------------------------------------------

TCadreExtForm::TCadreExtForm() : TCommandDialog(kTraits) {
  auto* grid = new QGridLayout;
  SELargeur = SpinEdit(this, "SELargeur", 1, 500, 20);
  grid->addWidget(new QLabel(Text(TextId::GetTrLblWidth, TextId::TrFixLblWidth), this), 0, 0);
  grid->addWidget(SELargeur, 0, 1, Qt::AlignLeft);
  ColorEdit = new TColorEdit(this);
  ColorEdit->setObjectName(QStringLiteral("ColorEdit"));
  ColorEdit->SetColor(clWhite);
  grid->addWidget(new QLabel(Text(TextId::GetTrLblColor, TextId::TrFixLblColor), this), 1, 0);
  grid->addWidget(ColorEdit, 1, 1, Qt::AlignLeft);
  pattern_ = new TPatternRow(*this, *grid, 2);
  grid->setColumnStretch(1, 1);
  Body().addLayout(grid);
}

bool TCadreExtForm::FormShow() {
  const TBackgroundRules rules = BackgroundRules(Host());
  if (const TLayeredImage* image = Host().LayerHost().ActiveImage())
    ColorEdit->SetColor(CanvasBackgroundColor(*image, ColorEdit->Color()));
  ColorEdit->SetReadOnly(!rules.TrueColor);
  pattern_->SetAvailable(rules.PatternAvailable);
  return Host().LayerHost().ActiveImage() != nullptr;
}

void TCadreExtForm::TakePickedColor(TColor color) {
  if (BackgroundRules(Host()).TrueColor) ColorEdit->SetColor(color);
}

bool TCadreExtForm::Apply() {
  if (RefuseEmptyFields({SELargeur})) return false;
  if (pattern_->Incomplete()) {
    ShowEmptyFieldWarning();
    return false;
  }
  TOuterFrameRequest request;
  request.Width = Read(SELargeur);
  request.Color = ColorEdit->Color();
  TBitmap pattern;
  // A pattern that does not load leaves the plain colour.
  if (pattern_->Checked() && pattern_->Load(Host(), pattern, request.PatternKey)) request.Pattern = &pattern;
  TDialogHost& host = Host();
  return RunWholeImageChange(host, Caption(),
                             [&](TLayerRun& run) { OuterFrameEffect(host.LayerHost(), run, request); });
}

// --- Outer shadow -----------------------------------------------------------------------------

TOmbreExtForm::TOmbreExtForm() : TCommandDialog(kTraits) {
  auto* grid = new QGridLayout;
  auto* picks = new QButtonGroup(this);
  const auto colorRow = [&](int row, const char* edit, const char* button, const QString& label, TColor color) {
    auto* e = new TColorEdit(this);
    e->setObjectName(QLatin1String(edit));
    e->SetColor(color);
    auto* b = new QToolButton(this);
    b->setObjectName(QLatin1String(button));
    b->setCheckable(true);
    b->setAutoRaise(true);
    SetColorButtonGlyph(b);
    picks->addButton(b);
    grid->addWidget(new QLabel(label, this), row, 0);
    grid->addWidget(e, row, 1, Qt::AlignLeft);
    grid->addWidget(b, row, 2);
    return std::pair{e, b};
  };
  std::tie(ColorEdit1, SB1) = colorRow(0, "ColorEdit1", "SB1", Text(TextId::GetTrLblBkg, TextId::TrFixLblBkg), clWhite);
  std::tie(ColorEdit2, SB2) =
      colorRow(1, "ColorEdit2", "SB2", Text(TextId::GetTrLblColor, TextId::TrFixLblColor), clBlack);
  SB2->setChecked(true);
  SE1 = SpinEdit(this, "SE1", 3, 50, 10);
  SE2 = SpinEdit(this, "SE2", 10, 100, 70);
  SE3 = SpinEdit(this, "SE3", 0, 500, 0);
  int row = 2;
  for (const auto& [edit, label] : {std::pair{SE1, Text(TextId::GetTrLblWidth, TextId::TrFixLblWidth)},
                                    std::pair{SE2, Text(TextId::GetTrLblOpacity, TextId::TrFixLblOpacity)},
                                    std::pair{SE3, Text(TextId::GetTrLblMargin, TextId::TrFixLblMargin)}}) {
    grid->addWidget(new QLabel(label, this), row, 0);
    grid->addWidget(edit, row++, 1, Qt::AlignLeft);
  }
  grid->setColumnStretch(3, 1);  // the pick buttons stay beside their colours
  Body().addLayout(grid);
  auto* groups = new QHBoxLayout;
  RGPos = RadioGroup(this, "RGPos", Text(TextId::GetTrLblPosition, TextId::TrFixPosition),
                     {{"RBHautGauche", Text(TextId::GetTrLblTopLeft, TextId::TrFixTopLeft)},
                      {"RBBasGauche", Text(TextId::GetTrLblBottomLeft, TextId::TrFixBottomLeft)},
                      {"RBHautDroite", Text(TextId::GetTrLblTopRight, TextId::TrFixTopRight)},
                      {"RBBasDroite", Text(TextId::GetTrLblBottomRight, TextId::TrFixBottomRight)}},
                     2);
  SetChoice(RGPos, cpBottomRight);
  RGStyle = RadioGroup(this, "RGStyle", Text(TextId::GetTrLblStyle, TextId::TrFixStyleGroup),
                       {{"RBPlat", Text(TextId::GetTrLblFlat, TextId::TrFixFlat)},
                        {"RBLisse", Text(TextId::GetTrLblSmooth, TextId::TrFixSmoothed)}},
                       1);
  SetChoice(RGStyle, shSmoothed);
  groups->addWidget(RGPos, 1);
  groups->addWidget(RGStyle);
  Body().addLayout(groups);
  auto* patternGrid = new QGridLayout;
  pattern_ = new TPatternRow(*this, *patternGrid, 0);
  Body().addLayout(patternGrid);
}

bool TOmbreExtForm::FormShow() {
  const TBackgroundRules rules = BackgroundRules(Host());
  ColorEdit1->SetReadOnly(!rules.TrueColor);
  pattern_->SetAvailable(rules.PatternAvailable);
  return Host().LayerHost().ActiveImage() != nullptr;
}

void TOmbreExtForm::TakePickedColor(TColor color) {
  TColorEdit* edit = SB1->isChecked() ? ColorEdit1 : ColorEdit2;
  if (!edit->ReadOnly()) edit->SetColor(color);
}

bool TOmbreExtForm::Apply() {
  if (RefuseEmptyFields({SE1, SE2, SE3})) return false;
  if (pattern_->Incomplete()) {
    ShowEmptyFieldWarning();
    return false;
  }
  TOuterShadowRequest request;
  request.Offset = Read(SE1);
  request.Opacity = Read(SE2);
  request.Margin = Read(SE3);
  request.Position = Choice(RGPos);
  request.Smoothed = Choice(RGStyle) == shSmoothed;
  request.Background = ColorEdit1->Color();
  request.Shadow = ColorEdit2->Color();
  TBitmap pattern;
  if (pattern_->Checked() && pattern_->Load(Host(), pattern, request.PatternKey)) request.Pattern = &pattern;
  TDialogHost& host = Host();
  return RunWholeImageChange(host, Caption(),
                             [&](TLayerRun& run) { OuterShadowEffect(host.LayerHost(), run, request); });
}

}  // namespace qm
