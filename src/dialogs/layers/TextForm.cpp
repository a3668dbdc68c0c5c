#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QTabWidget>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>
#include <cctype>
#include <utility>

#include "controls/Beep.h"
#include "controls/ColorEditor.h"
#include "controls/SpinEdit.h"
#include "controls/TableTexts.h"
#include "dialogs/command/CommandGlyphs.h"
#include "dialogs/layers/LayerControls.h"
#include "dialogs/layers/LayerForms.h"
#include "document/LayerOps.h"
#include "document/LayeredImage.h"
#include "document/qt/TextRender.h"
#include "pixel/ImgUtils.h"
#include "platform/texts/Format.h"
#include "platform/texts/IniFile.h"
#include "platform/texts/TextUtils.h"
#include "views/DocumentWindow.h"
#include "views/PictureDialogs.h"

namespace qm {
namespace {

constexpr const char* kSection = "Text";
constexpr const char* kMissing = "ERR!";
constexpr int kDefaultSize = 12, kMinSize = 6, kMaxSize = 1000;

using namespace layerforms;

int SizeOf(const QString& text) { return StrToIntClamped(text.toStdString(), kDefaultSize, kMinSize, kMaxSize); }

}  // namespace

// --- [Text] and the record's defaults --------------------------------------------------

std::string TextStyleLetters(uint8_t fontStyle) {
  std::string s;
  if (fontStyle & fsBold) s += 'b';
  if (fontStyle & fsItalic) s += 'i';
  if (fontStyle & fsUnderline) s += 'u';
  if (fontStyle & fsStrikeOut) s += 's';
  return s;
}

uint8_t TextStyleFromLetters(std::string letters) {
  std::transform(letters.begin(), letters.end(), letters.begin(), [](unsigned char c) { return char(std::tolower(c)); });
  uint8_t style = 0;
  if (letters.find('b') != std::string::npos) style |= fsBold;
  if (letters.find('i') != std::string::npos) style |= fsItalic;
  if (letters.find('u') != std::string::npos) style |= fsUnderline;
  if (letters.find('s') != std::string::npos) style |= fsStrikeOut;
  return style;
}

void InitializeTextData(TTextData& data, const TIniFile* ini, TColor color) {
  if (data.Kind != 0) return;
  data.TextColor = color;
  if (data.FontSize == 0) data.FontSize = kDefaultSize;
  if (ini) {
    const std::string font = ini->ReadString(kSection, "Font", kMissing);
    if (font != kMissing) data.FontName = font;
    const std::string size = ini->ReadString(kSection, "Size", kMissing);
    if (size != kMissing) data.FontSize = StrToIntClamped(size, kDefaultSize, kMinSize, kMaxSize);
    const std::string style = ini->ReadString(kSection, "Style", kMissing);
    if (style != kMissing) data.FontStyle = TextStyleFromLetters(style);
    const std::string c = ini->ReadString(kSection, "Color", kMissing);
    if (c != kMissing) data.TextColor = HexStrToColor(c, color, true);
  }
  if (data.FontName.empty()) data.FontName = "Arial";
  data.ShadowOffsetX = 5;
  data.ShadowOffsetY = 5;
  data.Opacity = 100;
  data.ShadowOpacity = 70;
  SetShadowStyle(1, data.ShadowRadius, data.ShadowSpread);
  data.OutlineColor = 0xFFFFFF;
  data.Antialias = true;
  data.Kind = 1;
}

void WriteTextSection(TIniFile& ini, const TTextData& data) {
  ini.WriteString(kSection, "Font", data.FontName);
  ini.WriteString(kSection, "Size", std::to_string(data.FontSize));
  ini.WriteString(kSection, "Style", TextStyleLetters(data.FontStyle));
  ini.WriteString(kSection, "Color", ColorToHexStr(data.TextColor, true));
}

std::vector<std::string> TrimTrailingBlankLines(std::vector<std::string> lines) {
  while (!lines.empty() && QString::fromStdString(lines.back()).trimmed().isEmpty()) lines.pop_back();
  return lines;
}

int ShadowStyleOf(int blur, bool diffuse) { return blur == 0 ? 0 : diffuse ? 2 : 1; }

void SetShadowStyle(int style, int32_t& blur, bool& diffuse) {
  blur = style == 0 ? 0 : 2;
  diffuse = style == 2;
}

// --- The form ---------------------------------------------------------------------------

namespace {

// The controls' captions: the entry's text once a translation fills it, the design's
// until then.
QCheckBox* Check(QWidget* parent, const char* name, TTableText caption) {
  auto* b = new QCheckBox(parent);
  b->setObjectName(QLatin1String(name));
  SetTexts(b, caption);
  return b;
}

QLabel* Label(QWidget* parent, const char* name, TextId entry, TextId design) {
  QLabel* l = layerforms::Label(parent, name);
  SetTexts(l, {entry, design});
  return l;
}

QLabel* Label(QWidget* parent, TextId entry, TextId design) { return SetTexts(new QLabel(parent), {entry, design}); }

// A menu's text as a control's caption, without its key mark.
TTableText MenuText(TextId entry, TextId design) { return {entry, design, kPlainCaption}; }

TColorEdit* ColorEdit(QWidget* parent, const char* name) {
  auto* e = new TColorEdit(parent);
  e->setObjectName(QLatin1String(name));
  return e;
}

QToolButton* ToolButton(QWidget* parent, const char* name) {
  auto* b = new QToolButton(parent);
  b->setObjectName(QLatin1String(name));
  return b;
}

}  // namespace

TTextForm::TTextForm() : TCommandDialog(kTraits) {
  Pages = new QTabWidget(this);
  Pages->setObjectName(QStringLiteral("PageControl"));

  // "Texte"
  auto* text = new QWidget;
  auto* tg = new QGridLayout(text);
  CBPolices = new QComboBox(text);
  CBPolices->setObjectName(QStringLiteral("CBPolices"));
  FillFontList(CBPolices);
  CBTaille = new QComboBox(text);
  CBTaille->setObjectName(QStringLiteral("CBTaille"));
  CBTaille->setEditable(true);
  CBTaille->setInsertPolicy(QComboBox::NoInsert);
  for (const char* size : {"8", "10", "12", "14", "18", "24", "30", "36", "48", "60", "72", "100", "150", "200", "300"})
    CBTaille->addItem(QLatin1String(size));
  CBTaille->lineEdit()->setMaxLength(4);
  connect(CBTaille->lineEdit(), &QLineEdit::editingFinished, this, [this] { SizeLeft(); });
  ColorEditText = ColorEdit(text, "ColorEditText");
  ColorEditText->SetColor(clBlack);
  tg->addWidget(Label(text, TextId::GetTrLblFont, TextId::TrFixLblFont), 0, 0);
  tg->addWidget(CBPolices, 0, 1, 1, 3);
  tg->addWidget(Label(text, TextId::GetTrLblSize, TextId::TrFixLblSize), 0, 4);
  tg->addWidget(CBTaille, 0, 5);

  auto* style = new QHBoxLayout;
  CBGras = Check(text, "CBGras", {TextId::GetTrLblFontBold, TextId::TrFixBold});
  CBItalique = Check(text, "CBItalique", {TextId::GetTrLblFontItalic, TextId::TrFixItalic});
  CBSouligne = Check(text, "CBSouligne", {TextId::GetTrLblFontUnderline, TextId::TrFixUnderline});
  CBBarre = Check(text, "CBBarre", {TextId::GetTrLblFontStrikeOut, TextId::TrFixStrikeOut});
  for (QCheckBox* b : {CBGras, CBItalique, CBSouligne, CBBarre}) style->addWidget(b);
  style->addStretch(1);
  alignment_ = new QButtonGroup(this);
  QToolButton** aligns[] = {&SBGauche, &SBCentre, &SBDroite};
  const char* alignNames[] = {"SBGauche", "SBCentre", "SBDroite"};
  const TTableText alignHints[] = {{TextId::GetTrLblLeft, TextId::TrFixAlignLeft},
                                   {TextId::Count, TextId::TrFixAlignCenter},
                                   {TextId::GetTrLblRight, TextId::TrFixAlignRight}};
  for (int i = 0; i < 3; ++i) {
    QToolButton* b = ToolButton(text, alignNames[i]);
    b->setCheckable(true);
    b->setIcon(AlignmentGlyph(i));
    SetTexts(b, [b, hint = alignHints[i]] { b->setToolTip(Q(hint.Text())); });
    alignment_->addButton(b, i);
    style->addWidget(b);
    *aligns[i] = b;
  }
  tg->addLayout(style, 1, 0, 1, 6);

  EdiAngle = Spin(text, "EdiAngle", -180, 180, 4);
  CBLisser = Check(text, "CBLisser", {TextId::GetTrLblSmooth, TextId::TrFixSmoothText});
  tg->addWidget(Label(text, TextId::GetTrLblColor, TextId::TrFixLblColor), 2, 0);
  tg->addWidget(ColorEditText, 2, 1);
  tg->addWidget(Label(text, TextId::GetTrLblAngle, TextId::TrFixLblAngle), 2, 2);
  tg->addWidget(EdiAngle, 2, 3);
  tg->addWidget(CBLisser, 2, 4, 1, 2);

  Memo = new QPlainTextEdit(text);
  Memo->setObjectName(QStringLiteral("Memo"));
  Memo->setLineWrapMode(QPlainTextEdit::NoWrap);
  Memo->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  Memo->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  QFont memoFont = Memo->font();
  memoFont.setPixelSize(16);
  Memo->setFont(memoFont);
  Memo->setMinimumSize(360, 140);
  tg->addWidget(Memo, 3, 0, 1, 6);

  PnlApercu = new QLabel(Fixed(TextId::TrFixTextSample), text);
  PnlApercu->setObjectName(QStringLiteral("PnlApercu"));
  PnlApercu->setEnabled(false);
  // The style's own frame: a plain sunken panel draws its right and bottom edges in the
  // light colour, lost on the dialog's ground.
  PnlApercu->setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
  PnlApercu->setAlignment(Qt::AlignCenter);
  PnlApercu->setFixedHeight(56);
  auto* clear = new QPushButton(text);
  SetTexts(clear, {TextId::GetTrBtnEraseText, TextId::TrFixClearText});
  clear->setObjectName(QStringLiteral("BEffacer"));
  clear->setAutoDefault(false);
  tg->addWidget(PnlApercu, 4, 0, 1, 4);
  tg->addWidget(clear, 4, 4, 1, 2, Qt::AlignVCenter);
  tg->setColumnStretch(1, 1);
  Pages->addTab(text, QString());
  SetTexts(text, [this, text, name = MenuText(TextId::GetTrMnuText, TextId::TrFixTextPage)] {
    Pages->setTabText(Pages->indexOf(text), Q(name.Text()));
  });

  // "Effets"
  auto* effects = new QWidget;
  auto* eg = new QGridLayout(effects);
  LblOpacite = layerforms::Label(effects, "LblOpacite", Fixed(TextId::TrFixLblOpacity));
  TBOpacite = new QSlider(Qt::Horizontal, effects);
  TBOpacite->setObjectName(QStringLiteral("TBOpacite"));
  TBOpacite->setRange(10, 100);
  eg->addWidget(LblOpacite, 0, 0, 1, 2);
  eg->addWidget(TBOpacite, 0, 2, 1, 4);

  CBOmbre = Check(effects, "CBOmbre", MenuText(TextId::GetTrMnuDropShadow, TextId::TrFixDropShadow));
  LblDX = Label(effects, "LblDX", TextId::Count, TextId::TrFixDeltaX);
  LblDY = Label(effects, "LblDY", TextId::Count, TextId::TrFixDeltaY);
  EdiDX = Spin(effects, "EdiDX", -50, 50, 3);
  EdiDY = Spin(effects, "EdiDY", -50, 50, 3);
  LblCouleurOmbre = Label(effects, "LblCouleurOmbre", TextId::GetTrLblColor, TextId::TrFixLblColor);
  ColorEditOmbre = ColorEdit(effects, "ColorEditOmbre");
  ColorEditOmbre->SetColor(clBlack);
  SB1 = ToolButton(effects, "SB1");
  LblAlphaShadow = Label(effects, "LblAlphaShadow", TextId::GetTrLblOpacity, TextId::TrFixLblOpacity);
  EdiAlphaShadow = Spin(effects, "EdiAlphaShadow", 10, 100, 3);
  LblStyle = Label(effects, "LblStyle", TextId::GetTrLblStyle, TextId::TrFixLblStyle);
  CBStyle = new QComboBox(effects);
  CBStyle->setObjectName(QStringLiteral("CBStyle"));
  {
    const QStringList styles = Fixed(TextId::TrFixShadowStyles).split('|');
    const TextId entries[] = {TextId::GetTrLblFlat, TextId::GetTrLblSmooth, TextId::GetTrLblDiffusion};
    CBStyle->addItems(styles);
    SetTexts(CBStyle, [this, styles, entries] {
      for (int i = 0; i < 3; ++i) CBStyle->setItemText(i, Q(CaptionOr(entries[i], styles.value(i).toStdString())));
    });
  }
  eg->addWidget(CBOmbre, 1, 0, 1, 6);
  eg->addWidget(LblDX, 2, 0);
  eg->addWidget(EdiDX, 2, 1);
  eg->addWidget(LblDY, 2, 2);
  eg->addWidget(EdiDY, 2, 3);
  eg->addWidget(LblCouleurOmbre, 3, 0);
  eg->addWidget(ColorEditOmbre, 3, 1);
  eg->addWidget(SB1, 3, 2, Qt::AlignLeft);
  eg->addWidget(LblAlphaShadow, 4, 0);
  eg->addWidget(EdiAlphaShadow, 4, 1);
  eg->addWidget(LblStyle, 4, 2);
  eg->addWidget(CBStyle, 4, 3, 1, 3);

  CBContour = Check(effects, "CBContour", {TextId::GetTrLblContour, TextId::TrFixOutlineText});
  LblCouleurContour = Label(effects, "LblCouleurContour", TextId::GetTrLblColor, TextId::TrFixLblColor);
  ColorEditContour = ColorEdit(effects, "ColorEditContour");
  SB2 = ToolButton(effects, "SB2");
  eg->addWidget(CBContour, 5, 0, 1, 2);
  eg->addWidget(LblCouleurContour, 6, 0);
  eg->addWidget(ColorEditContour, 6, 1);
  eg->addWidget(SB2, 6, 2, Qt::AlignLeft);
  pickTarget_ = new QButtonGroup(this);
  for (QToolButton* b : {SB1, SB2}) {
    b->setCheckable(true);
    b->setAutoRaise(true);
    SetColorButtonGlyph(b);
    pickTarget_->addButton(b);
  }

  CBFlou = Check(effects, "CBFlou", MenuText(TextId::GetTrMnuBlur, TextId::TrFixBlurText));
  RBFlouLeger = new QRadioButton(effects);
  SetTexts(RBFlouLeger, {TextId::GetTrLblLow, TextId::TrFixBlurLight});
  RBFlouLeger->setObjectName(QStringLiteral("RBFlouLeger"));
  RBFlouFort = new QRadioButton(effects);
  SetTexts(RBFlouFort, {TextId::GetTrLblHigh, TextId::TrFixRadiusHigh});
  RBFlouFort->setObjectName(QStringLiteral("RBFlouFort"));
  RBFlouLeger->setChecked(true);
  CBInverser = Check(effects, "CBInverser", {TextId::GetTrLblNegativeMode, TextId::TrFixNegativeMode});
  CB3D = Check(effects, "CB3D", {TextId::GetTrLblOuterBevel, TextId::TrFixBevel});
  CBMotif = Check(effects, "CBMotif", {TextId::GetTrLblFillPattern, TextId::TrFixPatternFill});
  EdiMotif = new QLineEdit(effects);
  EdiMotif->setObjectName(QStringLiteral("EdiMotif"));
  EdiMotif->setReadOnly(true);
  SBMotif = ToolButton(effects, "SBMotif");
  SetPatternChooser(SBMotif);
  eg->addWidget(CBFlou, 7, 0);
  eg->addWidget(RBFlouLeger, 7, 1);
  eg->addWidget(RBFlouFort, 7, 2);
  eg->addWidget(CBInverser, 8, 0, 1, 2);
  eg->addWidget(CB3D, 8, 2, 1, 3);
  eg->addWidget(CBMotif, 9, 0, 1, 2);
  eg->addWidget(EdiMotif, 9, 2, 1, 3);
  eg->addWidget(SBMotif, 9, 5);
  eg->setRowStretch(10, 1);
  Pages->addTab(effects, QString());
  SetTexts(effects, [this, effects, name = TTableText{TextId::GetTrLblEffects, TextId::TrFixEffectsPage}] {
    Pages->setTabText(Pages->indexOf(effects), Q(name.Text()));
  });
  Body().addWidget(Pages);

  auto* sel = new QPushButton(this);
  SetTexts(sel, {TextId::GetTrBtnTxtSel, TextId::TrFixToSelection});
  sel->setObjectName(QStringLiteral("BSel"));
  sel->setAutoDefault(false);
  auto* row = new QHBoxLayout;
  row->addWidget(sel);
  row->addStretch(1);
  Body().addLayout(row);

  connect(sel, &QPushButton::clicked, this, [this] { ToSelection(); });
  connect(clear, &QPushButton::clicked, Memo, &QPlainTextEdit::clear);
  connect(CBPolices, &QComboBox::currentIndexChanged, this, [this] { FontChanged(); });
  connect(CBTaille, &QComboBox::activated, this, [this] {
    FontChanged();
    Memo->setFocus();
  });
  for (QCheckBox* b : {CBGras, CBItalique, CBSouligne, CBBarre}) connect(b, &QCheckBox::toggled, this, [this] { FontChanged(); });
  connect(TBOpacite, &QSlider::valueChanged, this, [this](int v) {
    LblOpacite->setText(Q(Format(TextId::GetTrFmtOpacity, {v})));
  });
  connect(CBOmbre, &QCheckBox::toggled, this, [this] { ShadowChanged(); });
  connect(CBContour, &QCheckBox::toggled, this, [this] { OutlineChanged(); });
  connect(CBInverser, &QCheckBox::toggled, this, [this] { NegativeChanged(); });
  connect(CBFlou, &QCheckBox::toggled, this, [this] {
    RBFlouLeger->setEnabled(CBFlou->isChecked());
    RBFlouFort->setEnabled(CBFlou->isChecked());
  });
  connect(CB3D, &QCheckBox::toggled, this, [this] { BevelChanged(); });
  connect(CBMotif, &QCheckBox::toggled, this, [this] { PatternChanged(); });
  connect(SBMotif, &QToolButton::clicked, this, [this] { ChoosePattern(); });
  EdiMotif->installEventFilter(this);
}

TTextForm::~TTextForm() = default;

void TTextForm::FontChanged() {
  QFont font(CBPolices->currentText());
  font.setPixelSize(std::clamp(SizeOf(CBTaille->currentText()) * 4 / 3, 1, 40));
  font.setBold(CBGras->isChecked());
  font.setItalic(CBItalique->isChecked());
  font.setUnderline(CBSouligne->isChecked());
  font.setStrikeOut(CBBarre->isChecked());
  PnlApercu->setFont(font);
  QFont memo = Memo->font();
  memo.setFamily(CBPolices->currentText());
  Memo->setFont(memo);
}

void TTextForm::SizeLeft() {
  CBTaille->setEditText(QString::number(SizeOf(CBTaille->currentText())));
  FontChanged();
}

void TTextForm::ShadowChanged() {
  const bool on = CBOmbre->isChecked();
  for (QWidget* w : std::initializer_list<QWidget*>{LblDX, EdiDX, LblDY, EdiDY, LblCouleurOmbre, ColorEditOmbre,
                                                    LblAlphaShadow, EdiAlphaShadow, CBStyle, LblStyle, SB1})
    w->setEnabled(on);
  if (SB1->isEnabled()) SB1->setChecked(true);
  else if (SB2->isEnabled()) SB2->setChecked(true);
}

void TTextForm::OutlineChanged() {
  const bool on = CBContour->isChecked();
  for (QWidget* w : std::initializer_list<QWidget*>{LblCouleurContour, ColorEditContour, SB2}) w->setEnabled(on);
  if (SB2->isEnabled()) SB2->setChecked(true);
  else if (SB1->isEnabled()) SB1->setChecked(true);
}

void TTextForm::NegativeChanged() {
  const bool negative = CBInverser->isChecked();
  if (negative)
    for (QCheckBox* b : {CB3D, CBOmbre, CBContour}) b->setChecked(false);
  CB3D->setEnabled(!negative);
  CBOmbre->setEnabled(!negative);
  CBContour->setEnabled(!negative && !CB3D->isChecked());
}

void TTextForm::BevelChanged() {
  if (CB3D->isChecked()) CBContour->setChecked(false);
  CBContour->setEnabled(!CB3D->isChecked() && !CBInverser->isChecked());
}

void TTextForm::PatternChanged() {
  EdiMotif->setEnabled(CBMotif->isChecked());
  SBMotif->setEnabled(CBMotif->isChecked());
}

void TTextForm::ChoosePattern() {
  const std::string name = ChoosePatternFile();
  if (!name.empty()) EdiMotif->setText(Q(name));
}

void TTextForm::Follow() {
  FontChanged();
  SizeLeft();
  LblOpacite->setText(Q(Format(TextId::GetTrFmtOpacity, {TBOpacite->value()})));
  ShadowChanged();
  OutlineChanged();
  NegativeChanged();
  RBFlouLeger->setEnabled(CBFlou->isChecked());
  RBFlouFort->setEnabled(CBFlou->isChecked());
  BevelChanged();
  PatternChanged();
}

void TTextForm::Load(const TTextData& d) {
  const int font = CBPolices->findText(Q(d.FontName));
  CBPolices->setCurrentIndex(std::max(0, font));
  CBTaille->setEditText(QString::number(d.FontSize));
  CBGras->setChecked(d.FontStyle & fsBold);
  CBItalique->setChecked(d.FontStyle & fsItalic);
  CBSouligne->setChecked(d.FontStyle & fsUnderline);
  CBBarre->setChecked(d.FontStyle & fsStrikeOut);
  ColorEditText->SetColor(d.TextColor);
  alignment_->button(std::clamp(int(d.Alignment), 0, 2))->setChecked(true);
  EdiAngle->SetValue(d.Angle);
  CBLisser->setChecked(d.Antialias);
  QStringList lines;
  for (const std::string& l : d.Lines) lines << Q(l);
  Memo->setPlainText(lines.join('\n'));
  TBOpacite->setValue(d.Opacity);
  CBOmbre->setChecked(d.ShadowEnabled);
  EdiDX->SetValue(d.ShadowOffsetX);
  EdiDY->SetValue(d.ShadowOffsetY);
  ColorEditOmbre->SetColor(d.ShadowColor);
  EdiAlphaShadow->SetValue(d.ShadowOpacity);
  CBStyle->setCurrentIndex(ShadowStyleOf(d.ShadowRadius, d.ShadowSpread));
  CBContour->setChecked(d.Outline);
  ColorEditContour->SetColor(d.OutlineColor);
  CBFlou->setChecked(d.Blur > 0);
  (d.Blur == 2 ? RBFlouFort : RBFlouLeger)->setChecked(true);
  CBInverser->setChecked(d.Inverted);
  CB3D->setChecked(d.Relief);
  CBMotif->setChecked(d.Textured);
  EdiMotif->setText(Q(d.TextureFile));
}

void TTextForm::Store(TTextData& d) const {
  d.FontName = CBPolices->currentText().toStdString();
  d.FontSize = SizeOf(CBTaille->currentText());
  d.TextColor = ColorEditText->Color();
  d.Alignment = SBCentre->isChecked() ? 1 : SBDroite->isChecked() ? 2 : 0;
  d.FontStyle = uint8_t((CBGras->isChecked() ? fsBold : 0) | (CBItalique->isChecked() ? fsItalic : 0) |
                        (CBSouligne->isChecked() ? fsUnderline : 0) | (CBBarre->isChecked() ? fsStrikeOut : 0));
  d.Antialias = CBLisser->isChecked();
  d.Angle = EdiAngle->CheckValue(EdiAngle->Value());
  d.ShadowEnabled = CBOmbre->isChecked();
  d.ShadowOffsetX = EdiDX->CheckValue(EdiDX->Value());
  d.ShadowOffsetY = EdiDY->CheckValue(EdiDY->Value());
  d.ShadowColor = ColorEditOmbre->Color();
  d.ShadowOpacity = EdiAlphaShadow->CheckValue(EdiAlphaShadow->Value());
  SetShadowStyle(CBStyle->currentIndex(), d.ShadowRadius, d.ShadowSpread);
  d.Outline = CBContour->isChecked();
  d.OutlineColor = ColorEditContour->Color();
  d.Opacity = TBOpacite->value();
  d.Blur = !CBFlou->isChecked() ? 0 : RBFlouFort->isChecked() ? 2 : 1;
  d.Inverted = CBInverser->isChecked();
  d.Relief = CB3D->isChecked();
  d.Textured = CBMotif->isChecked();
  d.TextureFile = EdiMotif->text().toStdString();
  d.Lines.clear();
  for (const QString& l : Memo->toPlainText().split('\n')) d.Lines.push_back(l.toStdString());
}

TTextData TTextForm::Record() const {
  TTextData d;
  d.Assign(edited_);
  Store(d);
  return d;
}

bool TTextForm::FormShow() {
  TDialogHost& host = Host();
  TLayeredImage* image = host.LayerHost().ActiveImage();
  if (!image || image->GetLayerCount() == 0) return false;
  isNew_ = Request().Mode < 0;
  toSelection_ = false;
  applied_ = false;
  document_ = host.GetActiveImgForm();
  layer_ = nullptr;
  edited_ = TTextData();
  if (isNew_) {
    // where the text goes: the shown selection, taken before its outline is hidden
    const TSelectionOverlay* sel = host.LayerHost().ActiveSelection();
    placement_ = sel && sel->Visible && !sel->SelRect.IsEmpty() ? sel->SelRect
                                                                : GetBitmapRect(image->Layers[0].Image);
    host.LayerHost().HideSelection();
    host.UpdateStatusBar();
    edited_.Lines = lastText_;
  } else {
    layer_ = image->GetActiveLayer();
    const auto* own = layer_ ? dynamic_cast<const TTextData*>(layer_->Data.get()) : nullptr;
    if (!own) return false;
    edited_.Assign(*own);
  }
  InitializeTextData(edited_, host.SettingsFile(), ColorEditText->Color());
  Pages->setCurrentIndex(0);
  Load(edited_);
  Follow();
  return true;
}

bool TTextForm::eventFilter(QObject* watched, QEvent* e) {
  if (watched == EdiMotif && e->type() == QEvent::MouseButtonRelease && EdiMotif->isEnabled()) ChoosePattern();
  if (e->type() == QEvent::KeyPress && isVisible()) {
    auto* key = static_cast<QKeyEvent*>(e);
    const bool enter = key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter;
    if (watched == Memo && enter) return false;  // a new line
    if (watched == CBTaille->lineEdit() || watched == CBTaille) {
      if (enter) {
        SizeLeft();
        Memo->setFocus();
        return true;
      }
      const QString t = key->text();
      if (!t.isEmpty() && !t[0].isDigit() && t[0].unicode() >= 32) {
        ControlBeep();
        return true;
      }
    }
  }
  return TCommandDialog::eventFilter(watched, e);
}

void TTextForm::ToSelection() {
  toSelection_ = true;
  Ok();
  toSelection_ = false;
}

bool TTextForm::Apply() {
  if (RefuseEmptyFields({EdiAngle, CBTaille->lineEdit(), EdiDX, EdiDY, EdiAlphaShadow})) return false;
  if (CBMotif->isChecked() && EdiMotif->text().trimmed().isEmpty()) {
    ShowEmptyFieldWarning();
    return false;
  }
  std::vector<std::string> lines;
  for (const QString& l : Memo->toPlainText().split('\n')) lines.push_back(l.toStdString());
  lines = TrimTrailingBlankLines(std::move(lines));
  if (lines.empty()) return true;
  QStringList kept;
  for (const std::string& l : lines) kept << Q(l);
  Memo->setPlainText(kept.join('\n'));

  TDialogHost& host = Host();
  applied_ = true;
  TBusyScope busy(host);
  Store(edited_);
  if (TIniFile* ini = host.SettingsFile()) {
    WriteTextSection(*ini, edited_);
    ini->Save();  // a failure keeps the file as it was
  }
  lastText_ = edited_.Lines;

  // The document and, when editing, the layer the dialog opened on: the strip stays
  // usable under the dialog, so another may have become active meanwhile.
  if (!document_ || host.GetActiveImgForm() != document_) {
    if (!document_) return true;
    host.Windows().ActivateImageWindow(document_);
    if (host.GetActiveImgForm() != document_) return true;
  }
  TLayeredImage& image = document_->Image();
  if (!isNew_) {
    if (image.Layers.IndexOf(layer_) < 0) return true;
    if (image.GetActiveLayer() != layer_) SelectLayer(host.LayerHost(), *layer_);
  }
  if (toSelection_) {
    TextToSelection(host.LayerHost(), edited_, isNew_);
  } else {
    const int i = CreateTextLayer(host.LayerHost(), isNew_ ? MakeNewLayerName(host.LayerHost()) : std::string(),
                                  edited_, isNew_, placement_);
    if (i >= 0) document_->NoteLayersChanged();
    host.RepaintActiveImage();  // the strip's row followed the layer
  }
  host.UpdateStatusBar();
  return true;
}

void TTextForm::FormHide() {
  if (applied_) SelectToolOnceHidden(toSelection_ ? 0 : 13);
  isNew_ = false;
  document_ = nullptr;
  layer_ = nullptr;
}

void TTextForm::TakePickedColor(TColor color) {
  if (Pages->currentIndex() == 0) ColorEditText->SetColor(color);
  else if (SB1->isEnabled() && SB1->isChecked()) ColorEditOmbre->SetColor(color);
  else if (SB2->isEnabled() && SB2->isChecked()) ColorEditContour->SetColor(color);
}

}  // namespace qm
