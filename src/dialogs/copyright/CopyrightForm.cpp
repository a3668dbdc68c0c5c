#include "dialogs/copyright/CopyrightForm.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QToolButton>
#include <QVBoxLayout>

#include "controls/ColorEditor.h"
#include "controls/PrevNextButton.h"
#include "controls/SpinEdit.h"
#include "controls/TableTexts.h"
#include "dialogs/command/CommandGlyphs.h"
#include "dialogs/imagesize/ImageSizeOps.h"
#include "document/LayerOps.h"
#include "document/LayeredImage.h"
#include "document/Undo.h"
#include "platform/qt/QtBitmap.h"
#include "platform/texts/IniFile.h"
#include "platform/texts/TextUtils.h"
#include "views/DocumentWindow.h"

namespace qm {
namespace {

QString Q(const std::string& s) { return QString::fromStdString(s); }
QString Fixed(TextId entry, TextId design) { return Q(CaptionOr(entry, Tr(design))); }

// The texts the placeholder entries insert, in the menu's order.
constexpr const char* kPlaceholders[] = {"Copyright ©", "<#n>", "<#ne>", "<#d>", "<#w> x <#h>", "<#w>", "<#h>"};

TSpinEdit2* Spin(QWidget* parent, const char* name, int min, int max, int value, int characters) {
  auto* e = new TSpinEdit2(parent);
  e->setObjectName(QLatin1String(name));
  e->SetMinValue(min);
  e->SetMaxValue(max);
  e->SetValue(value);
  e->setMaxLength(characters);
  return e;
}

QCheckBox* Check(QWidget* parent, const char* name, const QString& caption) {
  auto* b = new QCheckBox(caption, parent);
  b->setObjectName(QLatin1String(name));
  return b;
}

}  // namespace

TCopyrightForm::TCopyrightForm() : TCommandDialog(kTraits) {
  auto* grid = new QGridLayout;
  EdiCopyright = new QLineEdit(this);
  EdiCopyright->setObjectName(QStringLiteral("EdiCopyright"));
  EdiCopyright->setMinimumWidth(320);
  BtnMenu = new TPrevNextButton(this);
  BtnMenu->setObjectName(QStringLiteral("BtnMenu"));
  BtnMenu->setToolTip(Q(Tr(TextId::GetTrHntInsertField)));
  PopMenu = new QMenu(this);
  PopMenu->setObjectName(QStringLiteral("PopMenu"));
  const QStringList entries = Q(Tr(TextId::TrFixCopyrightEntries)).split('|');
  for (int i = 0; i < int(std::size(kPlaceholders)) && i < entries.size(); ++i)
    PopMenu->addAction(entries[i], this, [this, i] { InsertPlaceholder(i); });
  BtnMenu->OnClick = [this] { PopMenu->popup(BtnMenu->mapToGlobal(QPoint(0, BtnMenu->height()))); };
  auto* text = new QHBoxLayout;
  text->setSpacing(1);
  text->addWidget(EdiCopyright, 1);
  text->addWidget(BtnMenu);
  grid->addWidget(new QLabel(Q(CaptionLike(TextId::GetTrMnuText, Tr(TextId::TrFixLblText), ckLabel)), this), 0, 0);
  grid->addLayout(text, 0, 1, 1, 3);

  CBPolices = new QComboBox(this);
  CBPolices->setObjectName(QStringLiteral("CBPolices"));
  FillFontList(CBPolices);
  EdiTxtSize = Spin(this, "EdiTxtSize", kMinCopyrightSize, kMaxCopyrightSize, 10, 2);
  EdiTxtColor = new TColorEdit(this);
  EdiTxtColor->setObjectName(QStringLiteral("EdiTxtColor"));
  EdiTxtColor->SetColor(clWhite);
  grid->addWidget(new QLabel(Fixed(TextId::GetTrLblFont, TextId::TrFixLblFont), this), 1, 0);
  grid->addWidget(CBPolices, 1, 1);
  auto* size = new QHBoxLayout;
  size->addWidget(new QLabel(Fixed(TextId::GetTrLblSize, TextId::TrFixLblSize), this));
  size->addWidget(EdiTxtSize);
  size->addWidget(new QLabel(Q(CaptionLike(TextId::GetTrLblColor, Tr(TextId::TrFixLblColor))), this));
  size->addWidget(EdiTxtColor);
  grid->addLayout(size, 1, 2, 1, 2);

  auto* style = new QHBoxLayout;
  CBGras = Check(this, "CBGras", Fixed(TextId::GetTrLblFontBold, TextId::TrFixBold));
  CBItalique = Check(this, "CBItalique", Fixed(TextId::GetTrLblFontItalic, TextId::TrFixItalic));
  CBSouligne = Check(this, "CBSouligne", Fixed(TextId::GetTrLblFontUnderline, TextId::TrFixUnderline));
  style->addWidget(CBGras);
  style->addWidget(CBItalique);
  style->addWidget(CBSouligne);
  style->addStretch(1);
  alignment_ = new QButtonGroup(this);
  const struct {
    QToolButton*& Button;
    const char* Name;
    TextId Entry, Hint;
  } aligns[] = {{SBGauche, "SBGauche", TextId::GetTrLblLeft, TextId::TrFixAlignLeft},
                {SBCentre, "SBCentre", TextId::Count, TextId::TrFixAlignCenter},
                {SBDroite, "SBDroite", TextId::GetTrLblRight, TextId::TrFixAlignRight}};
  for (int i = 0; i < 3; ++i) {
    auto* b = new QToolButton(this);
    b->setObjectName(QLatin1String(aligns[i].Name));
    b->setCheckable(true);
    b->setToolTip(aligns[i].Entry == TextId::Count ? Q(Tr(aligns[i].Hint)) : Fixed(aligns[i].Entry, aligns[i].Hint));
    b->setIcon(AlignmentGlyph(i));
    alignment_->addButton(b, i);
    style->addWidget(b);
    aligns[i].Button = b;
  }
  alignment_->setExclusive(true);
  SBCentre->setChecked(true);
  grid->addLayout(style, 2, 0, 1, 4);

  auto* band = new QHBoxLayout;
  CBTxtFond = Check(this, "CBTxtFond", Fixed(TextId::GetTrLblBkg, TextId::TrFixTxtBkg));
  CBTxtFond->setChecked(true);
  EdiTxtFondColor = new TColorEdit(this);
  EdiTxtFondColor->setObjectName(QStringLiteral("EdiTxtFondColor"));
  EdiTxtFondColor->SetColor(clBlack);
  CBTxtExt = Check(this, "CBTxtExt", Fixed(TextId::GetTrLblOutside, TextId::TrFixOutside));
  CBTxtExt->setChecked(true);
  RBTop = new QRadioButton(Fixed(TextId::GetTrLblTop, TextId::TrFixTop), this);
  RBTop->setObjectName(QStringLiteral("RBTop"));
  RBBottom = new QRadioButton(Fixed(TextId::GetTrLblBottom, TextId::TrFixBottom), this);
  RBBottom->setObjectName(QStringLiteral("RBBottom"));
  RBBottom->setChecked(true);
  LblOpacite = new QLabel(Fixed(TextId::GetTrLblOpacity, TextId::TrFixLblOpacity), this);
  LblOpacite->setObjectName(QStringLiteral("LblOpacite"));
  EdiOpacite = Spin(this, "EdiOpacite", kMinCopyrightOpacity, kMaxCopyrightOpacity, 100, 3);
  band->addWidget(CBTxtFond);
  band->addWidget(EdiTxtFondColor);
  band->addSpacing(8);
  band->addWidget(CBTxtExt);
  band->addWidget(RBTop);
  band->addWidget(RBBottom);
  band->addSpacing(8);
  band->addWidget(LblOpacite);
  band->addWidget(EdiOpacite);
  band->addStretch(1);
  grid->addLayout(band, 3, 0, 1, 4);

  PnlTxtFond = new QFrame(this);
  PnlTxtFond->setObjectName(QStringLiteral("PnlTxtFond"));
  PnlTxtFond->setFrameStyle(QFrame::Panel | QFrame::Sunken);
  PnlTxtFond->setAutoFillBackground(true);
  PnlTxtFond->setMinimumHeight(56);
  PnlTxt = new QLabel(Q(Tr(TextId::TrFixCopyrightSample)), PnlTxtFond);
  PnlTxt->setObjectName(QStringLiteral("PnlTxt"));
  (new QVBoxLayout(PnlTxtFond))->addWidget(PnlTxt);
  grid->addWidget(PnlTxtFond, 4, 0, 1, 4);
  grid->setColumnStretch(1, 1);
  Body().addLayout(grid);

  const auto preview = [this] {
    if (!loading_) ApplyCopyrightFont(*this);
  };
  connect(CBPolices, &QComboBox::currentIndexChanged, this, preview);
  EdiTxtSize->OnChange = preview;
  EdiTxtColor->OnChange = preview;
  EdiTxtFondColor->OnChange = preview;
  for (QCheckBox* b : {CBGras, CBItalique, CBSouligne}) connect(b, &QCheckBox::toggled, this, preview);
  connect(alignment_, &QButtonGroup::idToggled, this, preview);
  connect(CBTxtFond, &QCheckBox::toggled, this, [this] { BackgroundChanged(); });
  connect(CBTxtExt, &QCheckBox::toggled, this, [this] { OutsideChanged(); });
  ApplyCopyrightFont(*this);
}

TCopyrightSettings TCopyrightForm::Settings() const {
  TCopyrightSettings s;
  s.Text = EdiCopyright->text().toStdString();
  s.FontName = CBPolices->currentText().toStdString();
  s.Size = EdiTxtSize->CheckValue(EdiTxtSize->Value());
  s.Color = EdiTxtColor->Color();
  s.Bold = CBGras->isChecked();
  s.Italic = CBItalique->isChecked();
  s.Underline = CBSouligne->isChecked();
  s.Alignment = std::max(0, alignment_->checkedId());
  s.Background = CBTxtFond->isChecked();
  s.BackgroundColor = EdiTxtFondColor->Color();
  s.Outside = CBTxtExt->isChecked();
  s.Top = RBTop->isChecked();
  s.Opacity = EdiOpacite->CheckValue(EdiOpacite->Value());
  return s;
}

void TCopyrightForm::SetSettings(const TCopyrightSettings& s) {
  loading_ = true;
  EdiCopyright->setText(Q(s.Text));
  int font = CBPolices->findText(Q(s.FontName));
  if (font < 0) font = CBPolices->findText(QStringLiteral("Arial"));
  CBPolices->setCurrentIndex(std::max(0, font));
  EdiTxtSize->SetValue(s.Size);
  EdiTxtColor->SetColor(s.Color);
  CBGras->setChecked(s.Bold);
  CBItalique->setChecked(s.Italic);
  CBSouligne->setChecked(s.Underline);
  alignment_->button(std::clamp(s.Alignment, 0, 2))->setChecked(true);
  CBTxtFond->setChecked(s.Background);
  EdiTxtFondColor->SetColor(s.BackgroundColor);
  CBTxtExt->setChecked(s.Outside);
  (s.Top ? RBTop : RBBottom)->setChecked(true);
  EdiOpacite->SetValue(s.Opacity);
  loading_ = false;
  // the dependent controls follow ("Fond" enables "Extérieur", which enables the opacity)
  BackgroundChanged();
}

void TCopyrightForm::InsertPlaceholder(int entry) {
  if (entry < 0 || entry >= int(std::size(kPlaceholders))) return;
  QString text = EdiCopyright->text();
  if (!text.isEmpty()) text += ' ';
  EdiCopyright->setText(text + QString::fromUtf8(kPlaceholders[entry]));
  EdiCopyright->setFocus();
  EdiCopyright->setCursorPosition(int(EdiCopyright->text().size()));
}

void TCopyrightForm::BackgroundChanged() {
  const bool on = CBTxtFond->isChecked() && isEnabled();
  EdiTxtFondColor->setEnabled(on);
  CBTxtExt->setEnabled(on);
  if (!on) CBTxtExt->setChecked(false);
  if (!loading_) ApplyCopyrightFont(*this);
}

void TCopyrightForm::OutsideChanged() {
  const bool on = isEnabled() && !CBTxtExt->isChecked();
  LblOpacite->setEnabled(on);
  EdiOpacite->setEnabled(on);
}

void TCopyrightForm::changeEvent(QEvent* e) {
  TCommandDialog::changeEvent(e);
  // the batch enables and disables the embedded panel as a whole
  if (e->type() == QEvent::EnabledChange && !loading_) ApplyCopyrightFont(*this);
}

bool TCopyrightForm::FormShow() {
  KeepFileDate = Host().DialogPreferences().PreserveFileDate;
  LoadCopyrightSettings(*this, Host().SettingsFile());
  return true;
}

bool TCopyrightForm::Apply() {
  if (RefuseEmptyFields({EdiTxtSize, EdiOpacite, EdiCopyright})) return false;
  TDialogHost& host = Host();
  TNewImgForm* window = host.GetActiveImgForm();
  if (!window) return true;
  const std::string fileName = window->FileName();
  ApplyCopyrightFont(*this);
  const bool outside = CBTxtExt->isChecked() && CBTxtFond->isChecked();
  if (!RunWholeImageChange(
          host, Caption(),
          [&](TLayerRun& run) {
            const TCopyrightStamp stamp = DrawCopyrightStamp(*this, run.Layer, nullptr, fileName);
            // an alpha background keeps its band shown
            if (run.Item) GrowMaskForBand(run.Item->Mask, stamp);
            if (stamp.TopOffset > 0) {
              // the layers stay over the same content
              if (run.Step) SetUndoStepParam(*run.Step, upOffsetY, stamp.TopOffset);
              OffsetAllLayers(host.LayerHost(), 0, stamp.TopOffset, true);
            }
          },
          outside))
    return false;
  SaveCopyrightSettings(*this, host.SettingsFile());
  return true;
}

void EmbedCopyrightPanel(TCopyrightForm& form, QWidget* parent, int left, int top) {
  form.setWindowOpacity(1.0);
  form.setParent(parent, Qt::Widget);
  form.OkButton()->hide();
  form.CancelButton()->hide();
  form.setAutoFillBackground(false);
  form.move(left, top);
  form.show();
}

void ApplyCopyrightFont(TCopyrightForm& form) {
  const TCopyrightSettings s = form.Settings();
  const bool enabled = form.isEnabled();
  form.PnlTxt->setFont(CopyrightFont(s));
  QPalette text = form.PnlTxt->palette();
  text.setColor(QPalette::WindowText, enabled ? QColor::fromRgb(ColorToQRgb(s.Color))
                                              : form.palette().color(QPalette::Disabled, QPalette::WindowText));
  form.PnlTxt->setPalette(text);
  QPalette back = form.PnlTxtFond->palette();
  back.setColor(QPalette::Window, s.Background && enabled ? QColor::fromRgb(ColorToQRgb(s.BackgroundColor))
                                                          : form.palette().color(QPalette::Window));
  form.PnlTxtFond->setPalette(back);
  form.PnlTxt->setAlignment((s.Alignment == 0   ? Qt::AlignLeft
                             : s.Alignment == 2 ? Qt::AlignRight
                                                : Qt::AlignHCenter) |
                            Qt::AlignVCenter);
  form.OutsideChanged();
}

std::string GetCopyrightText(const TCopyrightForm& form) { return form.EdiCopyright->text().toStdString(); }

TCopyrightStamp DrawCopyrightStamp(TCopyrightForm& form, TBitmap& bitmap, TBitmap* work, const std::string& fileName) {
  const TCopyrightStamp stamp =
      DrawCopyrightStamp(form.Settings(), bitmap, work, fileName, CopyrightDate(fileName, form.KeepFileDate));
  form.TopBandOffset = stamp.TopOffset;
  return stamp;
}

void LoadCopyrightSettings(TCopyrightForm& form, const TIniFile* ini) {
  TCopyrightSettings s = form.Settings();
  const TIniFile none;  // a missing file reads as missing keys
  ReadCopyrightSettings(ini ? *ini : none, s);
  form.SetSettings(s);
}

void SaveCopyrightSettings(TCopyrightForm& form, TIniFile* ini) {
  if (!ini) return;
  WriteCopyrightSettings(*ini, form.Settings());
  ini->Save();  // a failure keeps the file as it was; the controls keep their values
}

}  // namespace qm
