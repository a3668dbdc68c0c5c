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
#include "pixel/Blend.h"
#include "views/DocumentWindow.h"

namespace qm {
namespace {

QString Q(const std::string& s) { return QString::fromStdString(s); }

}  // namespace

TNewForm::TNewForm() : TCommandDialog(kTraits) {
  size_ = new TSizeFields(*this, false, CaptionText(TextId::GetTrLblSizeMemory, TextId::TrFixSizeMemory));
  size_->OldGroup->setEnabled(false);
  Body().addWidget(size_->OldGroup);

  auto* group = new QGroupBox(CaptionText(TextId::GetTrLblNewSize, TextId::TrFixNewSize), this);
  auto* grid = new QGridLayout(group);
  LstTaille = new QComboBox(group);
  LstTaille->setObjectName(QStringLiteral("LstTaille"));
  for (int i = 0; i < kNewImagePresetCount; ++i) LstTaille->addItem(Q(NewImagePresetText(i)));
  grid->addWidget(new QLabel(CaptionText(TextId::GetTrLblSizeList, TextId::TrFixSizeList), group), 0, 0);
  grid->addWidget(LstTaille, 0, 1);
  grid->addWidget(size_->NewFields, 1, 0, 1, 2);
  res_ = new TResolutionFields(*this);
  auto* resolution = new QHBoxLayout;
  resolution->addWidget(res_->EdiRes);
  resolution->addWidget(res_->CmbRes);
  resolution->addStretch(1);
  grid->addWidget(new QLabel(CaptionText(TextId::GetTrLblResolution, TextId::TrFixLblResolution), group), 2, 0);
  grid->addLayout(resolution, 2, 1);
  Body().addWidget(group);

  auto* fill = new QGridLayout;
  ColorEdit = new TColorEdit(this);
  ColorEdit->setObjectName(QStringLiteral("ColorEdit"));
  ColorEdit->SetColor(clWhite);
  fill->addWidget(new QLabel(CaptionText(TextId::GetTrLblBkg, TextId::TrFixLblBkg), this), 0, 0);
  fill->addWidget(ColorEdit, 0, 1, Qt::AlignLeft);
  pattern_ = new TPatternRow(*this, *fill, 1);
  fill->setColumnStretch(1, 1);
  Body().addLayout(fill);

  connect(LstTaille, &QComboBox::activated, this, [this](int i) { PresetChosen(i); });
  size_->Typed = [this](bool) {
    if (!silent_) LstTaille->setCurrentIndex(0);
    size_->ShowFieldPixels();
  };
  res_->Typed = [this] {
    size_->SetPixelsPerInch(res_->PixelsPerInch());
    if (size_->Unit() != suPixels) size_->ShowFieldPixels();
  };
  connect(res_->CmbRes, &QComboBox::currentIndexChanged, this, [this] { size_->SetPixelsPerInch(res_->PixelsPerInch()); });
}

void TNewForm::PresetChosen(int index) {
  TSizePreset preset;
  if (!NewImagePreset(index, Host().DialogPreferences().PrintUnit, preset)) return;
  silent_ = true;
  LstTaille->setCurrentIndex(index);
  size_->SetUnit(preset.Unit);
  res_->SetPerInch();
  res_->SetPixelsPerInch(preset.Resolution);
  size_->SetPixelsPerInch(preset.Resolution);
  size_->SetValues(preset.Width, preset.Height);
  size_->ShowFieldPixels();
  silent_ = false;
}

bool TNewForm::FormShow() {
  // The first showing starts from the preference's unit, then the second preset; later
  // ones keep every choice.
  if (!unitSet_) {
    unitSet_ = true;
    size_->SetUnit(UnitFromPreference(Host().DialogPreferences().ImageUnit));
    PresetChosen(2);
  }
  return true;
}

bool TNewForm::Apply() {
  if (RefuseEmptyFields({size_->EdiL, size_->EdiH, res_->EdiRes})) return false;
  if (pattern_->Incomplete()) {
    ShowEmptyFieldWarning();
    return false;
  }
  TDialogHost& host = Host();
  const int w = ClampImageSide(size_->Width()), h = ClampImageSide(size_->Height());
  // A pattern that does not load leaves the plain colour (its reader said why).
  TBitmap pattern;
  TColor key = clNone;
  const bool tiled = pattern_->Checked() && pattern_->Load(host, pattern, key);
  TBitmap picture;
  if (tiled && key == clNone) {
    // every pixel is the pattern's: the colour would be written for nothing
    picture = TBitmap::Uninitialized(w, h, pf24bit);
    for (int y = 0; y < h; ++y) picture.ZeroRowPadding(y);
  } else {
    picture = TBitmap(w, h, pf24bit, ColorEdit->Color());
  }
  if (tiled) FillRectWithPattern(pattern, picture, 0, 0, UnboundedRect, 100, key, 0);
  const double ppi = res_->PixelsPerInch();
  TNewImgForm* window = host.CreateImageWindow(std::move(picture), nullptr, 16777216, true, std::string());
  if (!window) return false;
  // A new document has no other resolution: both directions take it.
  window->Image().ResolutionX = ppi;
  window->Image().ResolutionY = ppi;
  host.UpdateStatusBar();
  return true;
}

}  // namespace qm
