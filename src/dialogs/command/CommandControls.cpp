#include "dialogs/command/CommandControls.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QToolButton>
#include <algorithm>

#include "controls/SpinEdit.h"
#include "dialogs/command/CommandGlyphs.h"
#include "imagefiles/PictureFiles.h"
#include "platform/texts/TextUtils.h"
#include "platform/texts/UiTexts.h"
#include "shell/services/DialogHost.h"
#include "views/PictureDialogs.h"

namespace qm {
namespace {

QString Q(const std::string& s) { return QString::fromStdString(s); }

QLineEdit* ReadOnlyEdit(QWidget* parent, const char* name) {
  auto* e = new QLineEdit(parent);
  e->setObjectName(QLatin1String(name));
  e->setReadOnly(true);
  e->setFocusPolicy(Qt::NoFocus);
  return e;
}

TFloatSpinEdit* SizeEdit(QWidget* parent, const char* name) {
  auto* e = new TFloatSpinEdit(parent);
  e->setObjectName(QLatin1String(name));
  e->SetMinValue(0);
  e->SetMaxValue(kMaxImageSide);
  e->SetIncrement(1);
  e->setMaxLength(7);
  e->setMinimumWidth(e->fontMetrics().horizontalAdvance(QStringLiteral("0000.000")) + 24);
  return e;
}

}  // namespace

QString CaptionText(TextId entry, TextId design) { return Q(CaptionOr(entry, Tr(design))); }

QString BackgroundSizeCaption() {
  if (!IsTextFilled(TextId::GetTrLblSizeMemory)) return Q(Tr(TextId::TrFixSizeMemoryBkg));
  return Q(DecorateCaption(Tr(TextId::GetTrLblSizeMemory) + " (" + CaptionOr(TextId::GetTrLblLayerBkg, "Fond") + ")",
                           ckGroup));
}

// --- The size fields --------------------------------------------------------------------

TSizeFields::TSizeFields(QWidget& dialog, bool withPercent, const QString& groupCaption)
    : QObject(&dialog), withPercent_(withPercent) {
  OldGroup = new QGroupBox(groupCaption, &dialog);
  OldGroup->setObjectName(QStringLiteral("GBOld"));
  auto* old = new QGridLayout(OldGroup);
  EdiLargeur = ReadOnlyEdit(OldGroup, "EdiLargeur");
  EdiHauteur = ReadOnlyEdit(OldGroup, "EdiHauteur");
  EdiMem = ReadOnlyEdit(OldGroup, "EdiMem");
  old->addWidget(new QLabel(CaptionText(TextId::GetTrLblWidth, TextId::TrFixLblWidth), OldGroup), 0, 0);
  old->addWidget(EdiLargeur, 0, 1);
  old->addWidget(new QLabel(CaptionText(TextId::GetTrLblHeight, TextId::TrFixLblHeight), OldGroup), 1, 0);
  old->addWidget(EdiHauteur, 1, 1);
  old->addWidget(new QLabel(CaptionText(TextId::GetTrLblMemory, TextId::TrFixLblMemory), OldGroup), 2, 0);
  old->addWidget(EdiMem, 2, 1);

  NewFields = new QWidget(&dialog);
  auto* grid = new QGridLayout(NewFields);
  grid->setContentsMargins(0, 0, 0, 0);
  EdiL = SizeEdit(NewFields, "EdiL");
  EdiH = SizeEdit(NewFields, "EdiH");
  CmbUnit = new QComboBox(NewFields);
  CmbUnit->setObjectName(QStringLiteral("CmbUnit"));
  CmbUnit->addItem(Q(CaptionOr(TextId::GetTrLblPixels, "pixels")));
  if (withPercent) CmbUnit->addItem(CaptionText(TextId::GetTrLblPct, TextId::TrFixPct));
  CmbUnit->addItem(Q(CaptionOr(TextId::GetTrLblCm, "cm")));
  CmbUnit->addItem(Q(CaptionOr(TextId::GetTrLblInches, "pouces")));
  grid->addWidget(new QLabel(CaptionText(TextId::GetTrLblWidth, TextId::TrFixLblWidth), NewFields), 0, 0);
  grid->addWidget(EdiL, 0, 1);
  grid->addWidget(CmbUnit, 0, 2, 2, 1, Qt::AlignVCenter);
  grid->addWidget(new QLabel(CaptionText(TextId::GetTrLblHeight, TextId::TrFixLblHeight), NewFields), 1, 0);
  grid->addWidget(EdiH, 1, 1);
  grid->setColumnStretch(3, 1);

  EdiL->SetFormat(QStringLiteral("0"));
  EdiH->SetFormat(QStringLiteral("0"));
  EdiL->OnChange = [this] {
    if (!silent_ && !EdiL->text().isEmpty() && Typed) Typed(true);
  };
  EdiH->OnChange = [this] {
    if (!silent_ && !EdiH->text().isEmpty() && Typed) Typed(false);
  };
  connect(CmbUnit, &QComboBox::currentIndexChanged, this, [this](int i) {
    if (!silent_) SetUnit(UnitAt(i, withPercent_));
  });
}

void TSizeFields::SetUnit(TSizeUnit unit) {
  if (!withPercent_ && unit == suPercent) unit = suPixels;
  const int w = Width(), h = Height();
  const bool empty = Empty();
  unit_ = unit;
  silent_ = true;
  CmbUnit->setCurrentIndex(UnitIndex(unit, withPercent_));
  const QString format = unit == suPixels ? QStringLiteral("0") : QStringLiteral("0.00");
  EdiL->SetFormat(format);
  EdiH->SetFormat(format);
  silent_ = false;
  if (!empty) SetPixels(w, h);
}

bool TSizeFields::Empty() const { return EdiL->text().isEmpty() || EdiH->text().isEmpty(); }

int TSizeFields::Width() const { return UnitToPixels(EdiL->CheckValue(EdiL->Value()), unit_, refWidth_, ppi_); }
int TSizeFields::Height() const { return UnitToPixels(EdiH->CheckValue(EdiH->Value()), unit_, refHeight_, ppi_); }

void TSizeFields::SetPixels(int width, int height) {
  SetValues(PixelsToUnit(width, unit_, refWidth_, ppi_), PixelsToUnit(height, unit_, refHeight_, ppi_));
}

void TSizeFields::SetValues(double width, double height) {
  silent_ = true;
  EdiL->SetValue(width);
  EdiH->SetValue(height);
  silent_ = false;
}

void TSizeFields::SetWidthPixels(int width) {
  silent_ = true;
  EdiL->SetValue(PixelsToUnit(width, unit_, refWidth_, ppi_));
  silent_ = false;
}

void TSizeFields::SetHeightPixels(int height) {
  silent_ = true;
  EdiH->SetValue(PixelsToUnit(height, unit_, refHeight_, ppi_));
  silent_ = false;
}

void TSizeFields::StartFrom(int imageUnitPreference, int width, int height, double ppi) {
  if (!started_) SetUnit(UnitFromPreference(imageUnitPreference));
  started_ = true;
  SetReference(std::max(1, width), std::max(1, height));
  SetPixelsPerInch(ppi > 0 ? ppi : kDefaultResolution);
  ShowPixels(refWidth_, refHeight_);
  SetPixels(refWidth_, refHeight_);
}

void TSizeFields::ShowPixels(int width, int height) {
  EdiLargeur->setText(QString::number(width));
  EdiHauteur->setText(QString::number(height));
  EdiMem->setText(Q(FormatImageMemory(width, height)));
}

// --- The anchor grid --------------------------------------------------------------------

TAnchorGrid::TAnchorGrid(QWidget* parent) : QWidget(parent), buttons_(new QButtonGroup(this)) {
  setObjectName(QStringLiteral("ToolBar"));
  auto* grid = new QGridLayout(this);
  grid->setSpacing(1);
  grid->setContentsMargins(0, 0, 0, 0);
  const QStringList hints = Q(Tr(TextId::GetTrHntAnchors)).split('|');
  for (int i = 0; i < 9; ++i) {
    auto* b = new QToolButton(this);
    b->setObjectName(QStringLiteral("TB%1").arg(i));
    b->setToolTip(hints.value(i));
    b->setCheckable(true);
    b->setAutoRaise(false);
    b->setIconSize(QSize(16, 16));
    b->setFixedSize(26, 26);
    buttons_->addButton(b, i);
    grid->addWidget(b, i / 3, i % 3);
  }
  buttons_->setExclusive(true);
  connect(buttons_, &QButtonGroup::idToggled, this, [this](int, bool on) {
    if (on) ShowGlyphs();
  });
  SetAnchor(alCenter);
}

TAlignment TAnchorGrid::Anchor() const {
  const int id = buttons_->checkedId();
  return id >= 0 && id <= 8 ? TAlignment(id) : alCenter;
}

void TAnchorGrid::SetAnchor(TAlignment anchor) {
  if (int(anchor) > 8) anchor = alCenter;
  buttons_->button(anchor)->setChecked(true);
  ShowGlyphs();
}

void TAnchorGrid::ShowGlyphs() {
  const int anchor = Anchor();
  for (int i = 0; i < 9; ++i)
    buttons_->button(i)->setIcon(AnchorGlyph(i % 3 - anchor % 3, i / 3 - anchor / 3));
}

// --- The pattern row --------------------------------------------------------------------

TPatternRow::TPatternRow(QWidget& dialog, QGridLayout& grid, int row) : QObject(&dialog) {
  CBMotif = new QCheckBox(CaptionText(TextId::GetTrLblBkgPattern, TextId::TrFixLblBkgPattern), &dialog);
  CBMotif->setObjectName(QStringLiteral("CBMotif"));
  EdiMotif = new QLineEdit(&dialog);
  EdiMotif->setObjectName(QStringLiteral("EdiMotif"));
  EdiMotif->setReadOnly(true);
  EdiMotif->setMinimumWidth(160);
  EdiMotif->installEventFilter(this);
  SBMotif = new QToolButton(&dialog);
  SBMotif->setObjectName(QStringLiteral("SBMotif"));
  SetPatternChooser(SBMotif);
  auto* file = new QHBoxLayout;
  file->setSpacing(2);
  file->addWidget(EdiMotif, 1);
  file->addWidget(SBMotif);
  grid.addWidget(CBMotif, row, 0);
  grid.addLayout(file, row, 1, 1, -1);
  connect(CBMotif, &QCheckBox::toggled, this, [this] { Follow(); });
  connect(SBMotif, &QToolButton::clicked, this, [this] { Choose(); });
  Follow();
}

bool TPatternRow::Checked() const { return CBMotif->isChecked(); }
std::string TPatternRow::FileName() const { return EdiMotif->text().toStdString(); }
bool TPatternRow::Incomplete() const { return Checked() && EdiMotif->text().isEmpty(); }

void TPatternRow::SetAvailable(bool available) {
  if (!available) CBMotif->setChecked(false);
  CBMotif->setEnabled(available);
  Follow();
}

void TPatternRow::SetEnabled(bool enabled) {
  CBMotif->setEnabled(enabled);
  Follow();
}

void TPatternRow::Follow() {
  const bool on = CBMotif->isChecked() && CBMotif->isEnabled();
  EdiMotif->setEnabled(on);
  SBMotif->setEnabled(on);
}

void TPatternRow::Choose() {
  const std::string name = ChoosePatternFile();
  if (!name.empty()) EdiMotif->setText(Q(name));
}

bool TPatternRow::eventFilter(QObject* watched, QEvent* e) {
  if (watched == EdiMotif && e->type() == QEvent::MouseButtonRelease && EdiMotif->isEnabled()) Choose();
  return QObject::eventFilter(watched, e);
}

bool TPatternRow::Load(TDialogHost& host, TBitmap& pattern, TColor& key) const {
  std::string name = FileName();
  if (name.empty()) return false;
  TBitmap picture;
  if (LoadBitmapFile(host.PictureFiles(), name, picture) != 1 || picture.Empty()) return false;
  key = picture.Transparent ? picture.EffectiveTransparentColor() : clNone;
  picture.SetPixelFormat(pf24bit);
  pattern = std::move(picture);
  return true;
}

}  // namespace qm
