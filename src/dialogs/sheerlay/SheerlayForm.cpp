#include "dialogs/sheerlay/SheerlayForm.h"

#include <QCheckBox>
#include <QEvent>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QToolButton>
#include <QVBoxLayout>

#include "controls/ColorEditor.h"
#include "controls/SpecialEdit.h"
#include "controls/SpinEdit.h"
#include "dialogs/command/CommandGlyphs.h"
#include "document/LayeredImage.h"
#include "imagefiles/ImageFileUtils.h"
#include "imagefiles/PictureFiles.h"
#include "pixel/ColorAdjust.h"
#include "pixel/ImgUtils.h"
#include "pixel/Rotation.h"
#include "platform/qt/QtBitmap.h"
#include "platform/texts/AppPaths.h"
#include "platform/texts/IniFile.h"
#include "platform/texts/TextUtils.h"
#include "shell/services/CommandTable.h"
#include "views/PictureDialogs.h"

namespace qm {
namespace {

constexpr const char* kSection = "Sheerlay";
constexpr const char* kMissing = "ERR!";

QString Q(const std::string& s) { return QString::fromStdString(s); }

std::string MenuCaption(std::string_view command) {
  const TCommandRow* row = FindCommandRow(command);
  return row ? CleanMenuCaption(CommandCaption(*row)) : std::string();
}

// The file's bare name, without folder and extension.
std::string BareName(const std::string& path) {
  std::string name = ExtractFileName(path);
  const size_t dot = name.rfind('.');
  return dot == std::string::npos || dot == 0 ? name : name.substr(0, dot);
}

// The pattern of the pattern mode, read without a dialog; empty when it does not load.
TBitmap LoadPattern(TPictureFileSettings& files, const std::string& fileName, TColor& key) {
  key = clNone;
  TBitmap picture;
  std::string name = fileName;
  if (name.empty() || !FileExists(name) || LoadBitmapFile(files, name, picture) != 1 || picture.Empty()) return {};
  if (picture.Transparent) key = picture.EffectiveTransparentColor();
  picture.SetPixelFormat(pf24bit);
  return picture;
}

// The effect on the step's layer with the state's picture.
void RunSheerlay(TLayerRun& c, const TSheerlayState& s, TDialogHost& host) {
  TLayeredImage* image = host.LayerHost().ActiveImage();
  const bool background = image && image->Layers.GetCount() > 0 && c.Item == &image->Layers[0];
  TColor key = clNone;
  const TBitmap pattern = s.Mode == slPattern ? LoadPattern(host.PictureFiles(), s.Pattern, key) : TBitmap();
  TSheerlayTarget target{c.Layer, c.Source, c.Item ? &c.Item->Mask : nullptr, background,
                         pattern.Empty() ? nullptr : &pattern, key};
  ApplySheerlay(target, s.Picture, s.Mode, s.Params, c.Rect);
}

}  // namespace

bool LoadSheerlayMask(TPictureFileSettings& files, std::string fileName, const std::string& folder,
                      TSheerlayState& s) {
  // The open dialog shows its preview for a mask, whatever the user left it at.
  const bool preview = files.OpenPreviewChecked;
  files.OpenPreviewChecked = true;
  TBitmap picture;
  const int loaded = LoadBitmapFile(files, fileName, picture, folder);
  files.OpenPreviewChecked = preview;
  if (loaded != 1 || picture.Empty()) return false;
  picture.SetPixelFormat(pf24bit);
  picture.Transparent = false;
  GrayscaleRect(picture, UnboundedRect);
  s.Picture = std::move(picture);
  s.MaskPath = fileName;
  s.Negative = false;
  s.Angle = 0;
  return true;
}

void ReadSheerlaySection(const TIniFile& ini, TSheerlayState& s, TPictureFileSettings& files, bool readMask,
                         bool transparencyOffered) {
  auto read = [&ini](const char* key) { return ini.ReadString(kSection, key, kMissing); };
  auto present = [](const std::string& v) { return v != kMissing; };
  if (std::string mask = read("Mask"); readMask && present(mask) && FileExists(mask))
    LoadSheerlayMask(files, mask, {}, s);
  if (std::string v = read("Color"); present(v)) s.Params.Color = HexStrToColor(v, s.Params.Color, true);
  if (std::string v = read("Opacity"); present(v)) s.Params.Opacity = StrToIntClamped(v, s.Params.Opacity, 10, 100);
  if (!s.Picture.Empty()) {
    if (read("Negative") == "1") {
      InvertRect(s.Picture, UnboundedRect);
      s.Negative = true;
    }
    const std::string angle = read("Angle");
    if (angle == "90") RotateBitmap90(s.Picture, true);
    else if (angle == "180") RotateBitmap180(s.Picture);
    else if (angle == "270") RotateBitmap90(s.Picture, false);
    if (angle == "90" || angle == "180" || angle == "270") s.Angle = std::stoi(angle);
  }
  if (std::string v = read("Format"); present(v)) {
    s.Mode = StrToIntClamped(v, 0, 0, 4);
    if (s.Mode == slTransparency && !transparencyOffered) s.Mode = slColor;
  }
  if (std::string v = read("Soften"); present(v)) s.Params.Soften = v == "1";
  if (std::string v = read("Duatone"); present(v)) s.Params.Duotone = v == "1";
  if (std::string v = read("Stretch"); present(v)) s.Params.Fit = v == "0" ? 1 : 0;
  if (std::string v = read("Pattern"); present(v) && FileExists(v)) s.Pattern = v;
}

void WriteSheerlaySection(TIniFile& ini, const TSheerlayState& s) {
  ini.WriteString(kSection, "Mask", s.MaskPath);
  ini.WriteString(kSection, "Color", ColorToHexStr(s.Params.Color, true));
  ini.WriteInteger(kSection, "Opacity", s.Params.Opacity);
  ini.WriteBool(kSection, "Negative", s.Negative);
  ini.WriteInteger(kSection, "Angle", s.Angle);
  ini.WriteInteger(kSection, "Format", s.Mode);
  ini.WriteBool(kSection, "Soften", s.Params.Soften);
  ini.WriteBool(kSection, "Duatone", s.Params.Duotone);
  ini.WriteBool(kSection, "Stretch", s.Params.Fit == 0);
  ini.WriteString(kSection, "Pattern", s.Pattern);
}

bool SheerlayTransparencyOffered(TDialogHost& host) {
  TLayeredImage* image = host.LayerHost().ActiveImage();
  const TLayerItem* layer = image ? image->GetActiveLayer() : nullptr;
  if (!layer) return false;
  return !layer->Mask.Empty() || (image->ActiveIndex() == 0 && image->Layers.GetCount() == 1);
}

// --- The form -------------------------------------------------------------------------

TSLForm::TSLForm() : TParamDialogOf(kTraits), state_(std::make_shared<TSheerlayState>()) {
  using P = TSheerlayParams;
  PopMode = new QMenu(this);
  PopMode->setObjectName(QStringLiteral("PopMode"));
  const TextId modes[] = {TextId::TrFixSlColor, TextId::TrFixSlGray, TextId::TrFixDlgGaussianBlur,
                          TextId::TrFixSlPattern, TextId::TrFixTransparency};
  for (int i = 0; i < kSheerlayModeCount; ++i) {
    if (i == slTransparency) PopMode->addSeparator();
    QAction* a = PopMode->addAction(Q(Tr(modes[i])));
    connect(a, &QAction::triggered, this, [this, i] { SetMode(i); });
    modes_.push_back(a);
  }
  LstFormat = new TSpecialEdit(this);
  LstFormat->setObjectName(QStringLiteral("LstFormat"));
  LstFormat->SetDropDownMenu(PopMode);
  LstFormat->SetShowButton(true);
  LstFormat->SetItemIndex(slColor);
  LstFormat->OnBtnClick = [this] { LstFormat->DropDown(); };
  LstFormat->OnClick = [this] { LstFormat->DropDown(); };
  AddWidget(LstFormat);

  color_ = AddColorEdit(&P::Color, {"ColorEdit", {TextId::GetTrLblColor, TextId::TrFixLblColor}});
  opacity_ = AddSpinEdit(&P::Opacity, {"EdiOpacite", {TextId::GetTrLblOpacity, TextId::TrFixLblOpacity}, 3});
  AddCheckBox(&P::Soften, {"ChbFlou", {TextId::GetTrMnuBlur, TextId::TrFixEffectBlur}});
  AddRadioGroup(&P::Fit, {"GBMasque",
                          {},
                          {{"RdbAjuster", {TextId::GetTrLblStretchMask, TextId::TrFixSlStretch}},
                           {"RdbRepeter", {TextId::GetTrLblTileMask, TextId::TrFixSlTile}}}});
  duotone_ = AddCheckBox(&P::Duotone, {"ChbBichromie", {TextId::GetTrMnuDuotone, TextId::TrFixDlgDuotone}});

  auto* patternRow = new QWidget(this);
  auto* pr = new QHBoxLayout(patternRow);
  pr->setContentsMargins(0, 0, 0, 0);
  LblMotif = new QLabel(Q(Tr(TextId::TrFixSlFillPattern)), patternRow);
  LblMotif->setObjectName(QStringLiteral("LblMotif"));
  EdiMotif = new QLineEdit(patternRow);
  EdiMotif->setObjectName(QStringLiteral("EdiMotif"));
  EdiMotif->setReadOnly(true);
  SBMotif = new QToolButton(patternRow);
  SBMotif->setObjectName(QStringLiteral("SBMotif"));
  SetPatternChooser(SBMotif);
  pr->addWidget(LblMotif);
  pr->addWidget(EdiMotif, 1);
  pr->addWidget(SBMotif);
  AddWidget(patternRow);

  auto* maskRow = new QWidget(this);
  auto* mr = new QHBoxLayout(maskRow);
  mr->setContentsMargins(0, 0, 0, 0);
  PnlMasque = new QFrame(maskRow);
  PnlMasque->setObjectName(QStringLiteral("PnlMasque"));
  PnlMasque->setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
  PnlMasque->setFixedSize(112, 84);
  ImgMasque = new QLabel(PnlMasque);
  ImgMasque->setObjectName(QStringLiteral("ImgMasque"));
  ImgMasque->setAlignment(Qt::AlignCenter);
  (new QVBoxLayout(PnlMasque))->addWidget(ImgMasque);
  auto* side = new QVBoxLayout;
  EdiNomMasque = new QLineEdit(maskRow);
  EdiNomMasque->setObjectName(QStringLiteral("EdiNomMasque"));
  EdiNomMasque->setReadOnly(true);
  auto* buttons = new QHBoxLayout;
  BtnParcourir = new QToolButton(maskRow);
  BtnParcourir->setObjectName(QStringLiteral("BtnParcourir"));
  SetPatternChooser(BtnParcourir, true);
  BtnNegatif = new QToolButton(maskRow);
  BtnNegatif->setObjectName(QStringLiteral("BtnNegatif"));
  BtnNegatif->setText(QStringLiteral("-"));
  BtnNegatif->setToolTip(Q(MenuCaption("MenuReglageNegatif")));
  BtnRotation = new QToolButton(maskRow);
  BtnRotation->setObjectName(QStringLiteral("BtnRotation"));
  BtnRotation->setText(QStringLiteral("\u21bb"));
  BtnRotation->setToolTip(Q(MenuCaption("MenuImageRot90")));
  for (QToolButton* b : {BtnParcourir, BtnNegatif, BtnRotation}) {
    b->setAutoRaise(true);
    buttons->addWidget(b);
  }
  buttons->addStretch(1);
  side->addWidget(EdiNomMasque);
  side->addLayout(buttons);
  side->addStretch(1);
  mr->addWidget(PnlMasque);
  mr->addLayout(side, 1);
  AddWidget(maskRow);

  connect(BtnParcourir, &QToolButton::clicked, this, [this] { LoadMask({}); });
  connect(BtnNegatif, &QToolButton::clicked, this, [this] { Negative(); });
  connect(BtnRotation, &QToolButton::clicked, this, [this] { Rotate(); });
  connect(SBMotif, &QToolButton::clicked, this, [this] { ChoosePattern(); });
  LstFormat->OnChange = [this] { FollowMode(); };
  FollowMode();
  ShowMask();
}

TSLForm::~TSLForm() { LstFormat->OnChange = nullptr; }

bool TSLForm::TakeRequest(TDialogHost& host, const TDialogRequest& request) {
  openingMask_ = request.File;
  return TParamDialogOf::TakeRequest(host, request);
}

void TSLForm::Showing() {
  showing_ = true;
  for (QWidget* w : findChildren<QWidget*>()) w->installEventFilter(this);
  const bool offered = SheerlayTransparencyOffered(Host());
  modes_[slTransparency]->setEnabled(offered);
  TSheerlayState& s = *state_;
  const bool withMask = !openingMask_.empty();
  if (withMask) LoadSheerlayMask(Host().PictureFiles(), openingMask_, {}, s);
  openingMask_.clear();
  TakeControls();
  const TIniFile* ini = Host().SettingsFile();
  if (ini) ReadSheerlaySection(*ini, s, Host().PictureFiles(), !withMask, offered);
  // A profile that never kept a mask starts on the first of the masks' list, so the
  // dialog has something to work with; a kept mask that is gone leaves none.
  if (!withMask && s.Picture.Empty() && (!ini || ini->ReadString(kSection, "Mask", kMissing) == kMissing))
    for (const std::string& mask : ListedPictures(TUserFolder::Masks))
      if (LoadSheerlayMask(Host().PictureFiles(), mask, {}, s)) break;
  Params() = s.Params;
  EdiMotif->setText(Q(s.Pattern));
  Controls().Show(TParamControls::rsKeep);
  LstFormat->SetItemIndex(s.Mode);
  showing_ = false;
  FollowMode();
  ShowMask();
  auto* ok = findChild<QPushButton*>(QStringLiteral("BOk"));
  if (ok && ok->isEnabled()) ok->setFocus();
  else if (auto* cancel = findChild<QPushButton*>(QStringLiteral("BAnnuler"))) cancel->setFocus();
}

void TSLForm::setVisible(bool visible) {
  TParamDialogOf::setVisible(visible);
  if (visible) return;
  // The picture lives from its load to the hide.
  state_->Picture = TBitmap();
  ShowMask();
  EdiNomMasque->clear();
}

void TSLForm::TakeControls() {
  state_->Params = Params();
  state_->Mode = std::max(0, LstFormat->ItemIndex());
  state_->Pattern = EdiMotif->text().toStdString();
}

TLayerOperation TSLForm::Operation() const {
  auto s = std::make_shared<TSheerlayState>();
  s->Picture = state_->Picture.Clone();
  s->Params = Params();
  s->Mode = std::max(0, LstFormat->ItemIndex());
  s->Pattern = EdiMotif->text().toStdString();
  return [s, host = &Host()](TLayerRun& c) { RunSheerlay(c, *s, *host); };
}

TLayerOperation TSLForm::RepeatOperation() const {
  TSheerlayState base;
  base.Params = Params();
  base.Mode = std::max(0, LstFormat->ItemIndex());
  base.Pattern = EdiMotif->text().toStdString();
  return [base = std::make_shared<const TSheerlayState>(std::move(base)), host = &Host()](TLayerRun& c) {
    // The section and its picture as they are now: a picture gone since leaves no step.
    TSheerlayState s;
    s.Params = base->Params;
    s.Mode = base->Mode;
    s.Pattern = base->Pattern;
    const TIniFile* ini = host->SettingsFile();
    if (ini) ReadSheerlaySection(*ini, s, host->PictureFiles(), true, SheerlayTransparencyOffered(*host));
    if (s.Picture.Empty()) {
      c.Refused = true;
      return;
    }
    RunSheerlay(c, s, *host);
  };
}

void TSLForm::Applied() {
  TakeControls();
  Host().UpdateCommandStates();
  Host().UpdateStatusBar();
  if (TIniFile* ini = Host().SettingsFile()) {
    WriteSheerlaySection(*ini, *state_);
    ini->Save();  // a failure keeps the file as it was
  }
}

void TSLForm::LoadMask(const std::string& fileName) {
  if (!LoadSheerlayMask(Host().PictureFiles(), fileName, ListStartFolder(TUserFolder::Masks), *state_)) return;
  ShowMask();
  Controls().Changed();
}

void TSLForm::Negative() {
  if (state_->Picture.Empty()) return;
  InvertRect(state_->Picture, UnboundedRect);
  state_->Negative = !state_->Negative;
  ShowMask();
  Controls().Changed();
}

void TSLForm::Rotate() {
  if (state_->Picture.Empty()) return;
  RotateBitmap90(state_->Picture, true);
  state_->Angle = (state_->Angle + 90) % 360;
  ShowMask();
  Controls().Changed();
}

void TSLForm::ChoosePattern() {
  const std::string name = ChoosePatternFile();
  if (name.empty()) return;
  EdiMotif->setText(Q(name));
  Controls().Changed();
}

void TSLForm::SetMode(int mode) {
  if (mode == slTransparency && !modes_[slTransparency]->isEnabled()) return;
  LstFormat->SetItemIndex(mode);
}

void TSLForm::FollowMode() {
  const int mode = std::max(0, LstFormat->ItemIndex());
  const TLayeredImage* image = isVisible() || showing_ ? Host().LayerHost().ActiveImage() : nullptr;
  const TLayerItem* layer = image ? image->GetActiveLayer() : nullptr;
  const bool layerMaskEmpty = !layer || layer->Mask.Empty();
  duotone_->setEnabled(mode != slTransparency);
  opacity_->setEnabled(!(mode == slTransparency && layerMaskEmpty));
  color_->setEnabled(mode == slColor);
  for (QWidget* w : {static_cast<QWidget*>(LblMotif), static_cast<QWidget*>(EdiMotif),
                     static_cast<QWidget*>(SBMotif)})
    w->setVisible(mode == slPattern);
  if (Controls().Changed) Controls().Changed();
}

void TSLForm::ShowMask() {
  const TBitmap& picture = state_->Picture;
  const bool loaded = !picture.Empty();
  if (loaded) {
    const QSize room = PnlMasque->size() - QSize(12, 12);
    ImgMasque->setPixmap(QPixmap::fromImage(
        BitmapAsQImage(picture).scaled(room, Qt::KeepAspectRatio, Qt::SmoothTransformation)));
    EdiNomMasque->setText(Q(BareName(state_->MaskPath)));
  } else {
    ImgMasque->clear();
  }
  BtnNegatif->setEnabled(loaded);
  BtnRotation->setEnabled(loaded);
  for (const char* name : {"BOk", "BApercu"})
    if (auto* b = findChild<QPushButton*>(QLatin1String(name))) b->setEnabled(loaded);
}

bool TSLForm::eventFilter(QObject* watched, QEvent* e) {
  if (TParamDialogOf::eventFilter(watched, e)) return true;
  if (!isVisible()) return false;
  const bool browses = watched == PnlMasque || watched == ImgMasque || watched == EdiNomMasque;
  if (e->type() == QEvent::MouseButtonRelease && (browses || watched == EdiMotif)) {
    if (watched == EdiMotif) ChoosePattern();
    else LoadMask({});
    return true;
  }
  return false;
}

}  // namespace qm
