#include "shell/services/Prefs.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QStackedWidget>
#include <QStyle>
#include <QToolButton>
#include <QVBoxLayout>

#include "controls/ColorEditor.h"
#include "controls/SpinEdit.h"
#include "controls/TableTexts.h"
#include "platform/texts/Format.h"
#include "platform/texts/IniFile.h"
#include "platform/texts/TextUtils.h"
#include "platform/texts/UiTexts.h"
#include "shell/services/ShellOps.h"

namespace qm {
namespace {

constexpr int kHistoryMin = 1, kHistoryMax = 24;
constexpr int kGridMin = 1, kGridMax = 50;
constexpr int kFitMin = 10, kFitMax = 5000, kFitWidth = 800, kFitHeight = 600;
constexpr int kJpegMin = 10, kJpegMax = 100, kJpegDefault = 90, kJpegPage = 10;
// The sentinel a missing key reads as.
constexpr const char* kMissing = "ERR!";

// The entries that replace the design texts once a translation fills them; a list's
// items, one entry each (none: the item stays as designed).
struct TPrefText {
  TextId Design;
  std::vector<TextId> Entries;
};
const std::vector<TPrefText>& PrefTexts() {
  using enum TextId;
  static const std::vector<TPrefText> texts = {
      {TrFixPrefCaption, {GetTrMnuPreferences}},
      {TrFixPrefPages,
       {GetTrLblFolders, GetTrLblSaving, GetTrLblHistory, GetTrLblToolsGrid, GetTrLblDefaultValues, GetTrPlgBar, Count,
        GetTrLblJpegTitle, GetTrLblStartup}},
      {TrFixPrefOpenDir, {GetTrMnuExpOpeningDir}},
      {TrFixPrefSaveDir, {GetTrMnuExpSavingDir}},
      {TrFixPrefLockDir, {GetTrLblLockDir}},
      {TrFixPrefUniqueDir, {GetTrLblUniqueDir}},
      {TrFixPrefFileDate, {GetTrLblPreserveFileDate}},
      {TrFixPrefExif, {GetTrLblPreserveExif}},
      {TrFixPrefDefaultFormat, {GetTrLblDefaultFormat}},
      {TrFixPrefHistory, {GetTrLblHistory}},
      {TrFixPrefHistoryNote, {GetTrLblUsedByNextImage}},
      {TrFixPrefMemory, {GetTrLblRequiredMemory}},
      {TrFixPrefPalette, {GetTrLblToolsAlign}},
      {TrFixPrefPaletteItems, {GetTrLblFloating, GetTrLblLeft, GetTrLblRight}},
      {TrFixPrefGridSize, {GetTrLblCellSize}},
      {TrFixPrefGridColor, {GetTrLblColor}},
      {TrFixPrefWidth, {GetTrLblWidth}},
      {TrFixPrefHeight, {GetTrLblHeight}},
      {TrFixPrefDeform, {GetTrLblAcceptDeform}},
      {TrFixPrefImageUnit, {GetTrLblPicture}},
      {TrFixPrefImageUnits, {GetTrLblPixels, GetTrLblCm, GetTrLblInches}},
      {TrFixPrefPrintUnit, {GetTrBtnPrint}},
      {TrFixPrefPrintUnits, {GetTrLblCm, GetTrLblInches}},
      {TrFixPrefPluginButtons, {GetTrPlgButton}},
      {TrFixPref8bfDir, {GetTrLbl8bfDir}},
      {TrFixPref8bfRGB, {GetTrMnuModeRVB}},
      {TrFixPref8bfRGBA, {GetTrMnuModeRGBA}},
      {TrFixPrefJpegAsk, {GetTrLblAskToUser}},
      {TrFixPrefJpegForce, {GetTrLblForceCompression}},
      {TrFixPrefAdvancedDisplay, {GetTrLblDisableDisplay}},
      {TrFixPrefBkgTexture, {GetTrLblDisableBkgTexture}},
      {TrFixPrefLoadPlugins, {GetTrLblLoadPlugins}},
      {TrFixPrefClearFiles, {GetTrLblClearRecent}},
      {TrFixPrefWheelZoom, {GetTrLblDisableZoom}},
      {TrFixPrefXPMenu, {GetTrLblMenuXP}},
      {TrFixPrefRunMulti, {GetTrLblRunMulti}},
      {TrFixPrefAlphaBlend, {GetTrLblAlphaBlendForm}},
      {TrFixPrefRestart, {GetTrLblNeedRestart}},
  };
  return texts;
}

std::vector<TextId> EntriesOf(TextId design) {
  for (const TPrefText& t : PrefTexts())
    if (t.Design == design) return t.Entries;
  return {};
}

// A caption: the entry's text once a translation fills it, dressed as the design is.
QString T(TextId id) {
  const std::vector<TextId> entries = EntriesOf(id);
  const int kind = id == TextId::TrFixPrefCaption ? kPlainCaption : -1;
  return QString::fromStdString(entries.empty() ? Tr(id) : CaptionLike(entries.front(), Tr(id), kind));
}

QStringList Items(TextId id) {
  QStringList items = QString::fromStdString(Tr(id)).split('|');
  const std::vector<TextId> entries = EntriesOf(id);
  for (int i = 0; i < items.size() && i < int(entries.size()); ++i)
    if (entries[size_t(i)] != TextId::Count)
      items[i] = QString::fromStdString(CaptionOr(entries[size_t(i)], items[i].toStdString()));
  return items;
}

QCheckBox* Check(TextId id, QWidget* page, QLayout* layout) {
  auto* box = new QCheckBox(T(id), page);
  layout->addWidget(box);
  return box;
}

// A page with its vertical layout, and the restart note at its foot when asked.
QWidget* Page(QStackedWidget* pages, QVBoxLayout*& layout) {
  auto* page = new QWidget(pages);
  layout = new QVBoxLayout(page);
  pages->addWidget(page);
  return page;
}

void RestartNote(QWidget* page, QVBoxLayout* layout) {
  layout->addStretch(1);
  auto* note = new QLabel(T(TextId::TrFixPrefRestart), page);
  note->setWordWrap(true);
  layout->addWidget(note);
}

// A "..." button that chooses a folder: read out by its hint rather than its dots.
QToolButton* FolderButton(QWidget* parent) {
  auto* button = new QToolButton(parent);
  button->setText(QStringLiteral("..."));
  button->setToolTip(T(TextId::GetTrHntChooseFolder));
  button->setAccessibleName(button->toolTip());
  return button;
}

TSpinEdit2* Spin(QWidget* parent, int min, int max, int value) {
  auto* spin = new TSpinEdit2(parent);
  spin->SetMinValue(min);
  spin->SetMaxValue(max);
  spin->SetValue(value);
  return spin;
}

}  // namespace

TPrefForm::TPrefForm(TPrefContext context, QWidget* parent) : QDialog(parent), context_(std::move(context)) {
  setObjectName(QStringLiteral("PrefForm"));
  setWindowTitle(T(TextId::TrFixPrefCaption));
  auto* layout = new QVBoxLayout(this);
  auto* top = new QHBoxLayout;
  CmbPrefs = new QComboBox(this);
  CmbPrefs->setObjectName(QStringLiteral("CmbPrefs"));
  CmbPrefs->addItems(Items(TextId::TrFixPrefPages));
  BtnPrev = new QPushButton(QStringLiteral("<"), this);
  BtnNext = new QPushButton(QStringLiteral(">"), this);
  for (QPushButton* b : {BtnPrev, BtnNext}) {
    b->setAutoDefault(false);
    b->setFixedWidth(b->fontMetrics().horizontalAdvance(QStringLiteral("<<")) * 2);
  }
  top->addWidget(CmbPrefs, 1);
  top->addWidget(BtnPrev);
  top->addWidget(BtnNext);
  layout->addLayout(top);
  Pages = new QStackedWidget(this);
  layout->addWidget(Pages, 1);
  BuildPages();
  auto* buttons = new QDialogButtonBox(this);
  BtnOk = buttons->addButton(QString::fromStdString(Tr(TextId::GetDlgOk)), QDialogButtonBox::AcceptRole);
  BtnAnnuler = buttons->addButton(QString::fromStdString(Tr(TextId::GetDlgCancel)), QDialogButtonBox::RejectRole);
  BtnOk->setObjectName(QStringLiteral("BtnOk"));
  BtnAnnuler->setObjectName(QStringLiteral("BtnAnnuler"));
  layout->addWidget(buttons);

  connect(CmbPrefs, &QComboBox::currentIndexChanged, this, [this](int i) { ShowPage(i); });
  const int count = CmbPrefs->count();
  connect(BtnPrev, &QPushButton::clicked, this,
          [this, count] { CmbPrefs->setCurrentIndex((CmbPrefs->currentIndex() + count - 1) % count); });
  connect(BtnNext, &QPushButton::clicked, this,
          [this, count] { CmbPrefs->setCurrentIndex((CmbPrefs->currentIndex() + 1) % count); });
  connect(BtnOk, &QPushButton::clicked, this, [this] { BOkClick(); });
  connect(BtnAnnuler, &QPushButton::clicked, this, &QDialog::reject);
  connect(LstUnit, &QComboBox::activated, this, [this] { unitChanged_ = true; });
  connect(LstUnitPrn, &QComboBox::activated, this, [this] { printUnitChanged_ = true; });
  for (QAbstractButton* b : {static_cast<QAbstractButton*>(CBUnDossier), static_cast<QAbstractButton*>(CBFormatDefaut),
                             static_cast<QAbstractButton*>(RBForcer), static_cast<QAbstractButton*>(RBDialogJpeg)})
    connect(b, &QAbstractButton::toggled, this, [this] { UpdateDependents(); });
  connect(TBHisto, &QSlider::valueChanged, this, [this] { UpdateDependents(); });
  connect(TBCompress, &QSlider::valueChanged, this, [this] { UpdateDependents(); });
  connect(SBOuvrir, &QToolButton::clicked, this, [this] { ChooseFolder(EdiDirOuvrir, nullptr, true); });
  connect(SBEnregistrer, &QToolButton::clicked, this,
          [this] { ChooseFolder(EdiDirEnregistrer, LblDirEnregistrer, true); });
  connect(SB8bfDir, &QToolButton::clicked, this, [this] { ChooseFolder(Edi8bfDir, nullptr, false); });
}

void TPrefForm::BuildPages() {
  QVBoxLayout* v = nullptr;
  // Dossiers
  QWidget* p = Page(Pages, v);
  auto folderRow = [&](TextId label, QLineEdit*& edit, QToolButton*& button) {
    auto* l = new QLabel(T(label), p);
    v->addWidget(l);
    auto* row = new QHBoxLayout;
    edit = new QLineEdit(p);
    button = FolderButton(p);
    row->addWidget(edit, 1);
    row->addWidget(button);
    v->addLayout(row);
    return l;
  };
  folderRow(TextId::TrFixPrefOpenDir, EdiDirOuvrir, SBOuvrir);
  LblDirEnregistrer = folderRow(TextId::TrFixPrefSaveDir, EdiDirEnregistrer, SBEnregistrer);
  CBVerrouiller = Check(TextId::TrFixPrefLockDir, p, v);
  CBUnDossier = Check(TextId::TrFixPrefUniqueDir, p, v);
  v->addStretch(1);
  // Enregistrement
  p = Page(Pages, v);
  CBDateFichier = Check(TextId::TrFixPrefFileDate, p, v);
  CBExif = Check(TextId::TrFixPrefExif, p, v);
  CBFormatDefaut = Check(TextId::TrFixPrefDefaultFormat, p, v);
  LstFormatDefaut = new QListWidget(p);
  for (const std::string& f : context_.Formats) LstFormatDefaut->addItem(QString::fromStdString(f));
  v->addWidget(LstFormatDefaut, 1);
  // Historiques
  p = Page(Pages, v);
  v->addWidget(new QLabel(T(TextId::TrFixPrefHistory), p));
  TBHisto = new QSlider(Qt::Horizontal, p);
  TBHisto->setRange(kHistoryMin, kHistoryMax);
  // The slider with its scale, the memory guide, right under it: the fixed steps spread
  // from its left end to its right end, then their caption centred between dashes.
  auto* scale = new QVBoxLayout;
  scale->setSpacing(0);
  scale->addWidget(TBHisto);
  // The slider's groove starts and ends half a handle in from its edges.
  const int inset = TBHisto->style()->pixelMetric(QStyle::PM_SliderLength, nullptr, TBHisto) / 2;
  auto* steps = new QHBoxLayout;
  const char* const mbs[] = {"48", "128", "256", "512"};
  for (const char* mb : mbs) {
    if (mb != mbs[0]) steps->addStretch(1);
    auto* step = new QLabel(QString::fromLatin1(mb), p);
    step->setObjectName(QStringLiteral("LblMemory%1").arg(QLatin1String(mb)));
    steps->addWidget(step);
  }
  steps->setContentsMargins(std::max(0, inset - 4), 0, std::max(0, inset - 4), 0);
  scale->addLayout(steps);
  const QString guide = T(TextId::TrFixPrefMemory);
  const QString dashes(std::max<qsizetype>(0, (68 - guide.size()) / 2), '-');
  auto* caption = new QLabel(QStringLiteral("<") + dashes + ' ' + guide + ' ' + dashes + '>', p);
  caption->setAlignment(Qt::AlignHCenter);
  scale->addWidget(caption);
  v->addLayout(scale);
  v->addSpacing(8);
  LblHisto = new QLabel(p);
  v->addWidget(LblHisto);
  auto* note = new QLabel(T(TextId::TrFixPrefHistoryNote), p);
  note->setStyleSheet(QStringLiteral("color: red"));
  v->addWidget(note);
  v->addStretch(1);
  // Palette d'outils et grille
  p = Page(Pages, v);
  RGPosOutils = new QGroupBox(T(TextId::TrFixPrefPalette), p);
  auto* rg = new QVBoxLayout(RGPosOutils);
  PosOutils = new QButtonGroup(this);
  const QStringList positions = Items(TextId::TrFixPrefPaletteItems);
  for (int i = 0; i < positions.size(); ++i) {
    auto* rb = new QRadioButton(positions[i], RGPosOutils);
    PosOutils->addButton(rb, i);
    rg->addWidget(rb);
  }
  v->addWidget(RGPosOutils);
  auto* form = new QFormLayout;
  SETailleGrille = Spin(p, kGridMin, kGridMax, 16);
  form->addRow(T(TextId::TrFixPrefGridSize), SETailleGrille);
  ColorEditGrid = new TColorEdit(p);
  ColorEditGrid->SetColor(0x000000);
  form->addRow(T(TextId::TrFixPrefGridColor), ColorEditGrid);
  v->addLayout(form);
  v->addStretch(1);
  // Valeurs par défaut
  p = Page(Pages, v);
  form = new QFormLayout;
  EdiL = Spin(p, kFitMin, kFitMax, kFitWidth);
  EdiL->setMaxLength(4);
  EdiH = Spin(p, kFitMin, kFitMax, kFitHeight);
  EdiH->setMaxLength(4);
  form->addRow(T(TextId::TrFixPrefWidth), EdiL);
  form->addRow(T(TextId::TrFixPrefHeight), EdiH);
  v->addLayout(form);
  CBDeformer = Check(TextId::TrFixPrefDeform, p, v);
  form = new QFormLayout;
  LstUnit = new QComboBox(p);
  LstUnit->addItems(Items(TextId::TrFixPrefImageUnits));
  LstUnitPrn = new QComboBox(p);
  LstUnitPrn->addItems(Items(TextId::TrFixPrefPrintUnits));
  form->addRow(T(TextId::TrFixPrefImageUnit), LstUnit);
  form->addRow(T(TextId::TrFixPrefPrintUnit), LstUnitPrn);
  v->addLayout(form);
  v->addStretch(1);
  // Barre de modules externes
  p = Page(Pages, v);
  v->addWidget(new QLabel(T(TextId::TrFixPrefPluginButtons), p));
  LstPlgPerso = new QListWidget(p);
  for (const std::string& name : context_.Plugins) {
    auto* item = new QListWidgetItem(QString::fromStdString(name), LstPlgPerso);
    item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
    item->setCheckState(Qt::Unchecked);
  }
  v->addWidget(LstPlgPerso, 1);
  RestartNote(p, v);
  // 8BF
  p = Page(Pages, v);
  v->addWidget(new QLabel(T(TextId::TrFixPref8bfDir), p));
  auto* row = new QHBoxLayout;
  Edi8bfDir = new QLineEdit(p);
  SB8bfDir = FolderButton(p);
  row->addWidget(Edi8bfDir, 1);
  row->addWidget(SB8bfDir);
  v->addLayout(row);
  RB8bfRGB = new QRadioButton(T(TextId::TrFixPref8bfRGB), p);
  RB8bfRGBA = new QRadioButton(T(TextId::TrFixPref8bfRGBA), p);
  RB8bfRGBA->setChecked(true);
  v->addWidget(RB8bfRGB);
  v->addWidget(RB8bfRGBA);
  RestartNote(p, v);
  // Compression JPEG
  p = Page(Pages, v);
  RBDialogJpeg = new QRadioButton(T(TextId::TrFixPrefJpegAsk), p);
  RBForcer = new QRadioButton(T(TextId::TrFixPrefJpegForce), p);
  v->addWidget(RBDialogJpeg);
  v->addWidget(RBForcer);
  TBCompress = new QSlider(Qt::Horizontal, p);
  TBCompress->setRange(kJpegMin, kJpegMax);
  TBCompress->setPageStep(kJpegPage);
  TBCompress->setValue(kJpegDefault);
  v->addWidget(TBCompress);
  LblTaux = new QLabel(p);
  v->addWidget(LblTaux);
  v->addStretch(1);
  // Démarrage
  p = Page(Pages, v);
  CBAffichageAvance = Check(TextId::TrFixPrefAdvancedDisplay, p, v);
  CBAffichageFond = Check(TextId::TrFixPrefBkgTexture, p, v);
  CBPlugins = Check(TextId::TrFixPrefLoadPlugins, p, v);
  CBViderListe = Check(TextId::TrFixPrefClearFiles, p, v);
  CBZoomMolette = Check(TextId::TrFixPrefWheelZoom, p, v);
  CBmenuXP = Check(TextId::TrFixPrefXPMenu, p, v);
  CBRunMulti = Check(TextId::TrFixPrefRunMulti, p, v);
  CBAlphaBlend = Check(TextId::TrFixPrefAlphaBlend, p, v);
  CBmenuXP->setEnabled(context_.ThemedMenus);
  CBAlphaBlend->setEnabled(context_.TranslucentDialogs);
  RestartNote(p, v);
}

void TPrefForm::ShowPage(int index) {
  if (index < 0 || index >= Pages->count()) return;
  if (CmbPrefs->currentIndex() != index) CmbPrefs->setCurrentIndex(index);
  Pages->setCurrentIndex(index);
  if (isVisible()) Pages->currentWidget()->setFocus();
}

void TPrefForm::UpdateDependents() {
  const bool separate = !CBUnDossier->isChecked();
  for (QWidget* w : {static_cast<QWidget*>(EdiDirEnregistrer), static_cast<QWidget*>(LblDirEnregistrer),
                     static_cast<QWidget*>(SBEnregistrer)})
    w->setEnabled(separate);
  LblTaux->setEnabled(RBForcer->isChecked());
  TBCompress->setEnabled(RBForcer->isChecked());
  LstFormatDefaut->setEnabled(CBFormatDefaut->isChecked());
  LblHisto->setText(QString::fromStdString(Format(IsTextFilled(TextId::GetTrFmtHistory) ? TextId::GetTrFmtHistory : TextId::TrFixPrefFmtHistory,
                                                   {TBHisto->value()})));
  LblTaux->setText(QString::fromStdString(Format(IsTextFilled(TextId::GetTrFmtCompress) ? TextId::GetTrFmtCompress : TextId::TrFixPrefFmtJpeg,
                                                  {TBCompress->value()})));
}

void TPrefForm::LoadControls() {
  const TShellSettings& s = *context_.Settings;
  EdiDirOuvrir->setText(QString::fromStdString(s.OpenDir));
  EdiDirEnregistrer->setText(QString::fromStdString(s.SaveDir));
  CBVerrouiller->setChecked(s.LockDir);
  CBUnDossier->setChecked(s.UniqueDir);
  CBDateFichier->setChecked(s.PreserveFileDate);
  CBExif->setChecked(s.PreserveExif);
  const bool format = s.DefaultFormat >= 0 && s.DefaultFormat < LstFormatDefaut->count();
  CBFormatDefaut->setChecked(format);
  LstFormatDefaut->setCurrentRow(format ? s.DefaultFormat : 0);
  TBHisto->setValue(std::clamp(s.History, kHistoryMin, kHistoryMax));
  if (QAbstractButton* b = PosOutils->button(std::clamp(s.ToolsAlignment, 0, 2))) b->setChecked(true);
  SETailleGrille->SetValue(std::clamp(s.GridCellSize, kGridMin, kGridMax));
  ColorEditGrid->SetColor(s.ColorGrid);
  LstUnit->setCurrentIndex(std::clamp(s.ImageUnit, 0, 2));
  LstUnitPrn->setCurrentIndex(std::clamp(s.PrintUnit, 0, 1));
  Edi8bfDir->setText(QString::fromStdString(s.Dir8bf));
  (s.Mode8bf ? RB8bfRGBA : RB8bfRGB)->setChecked(true);
  if (s.JpgCompression < 0) {
    RBDialogJpeg->setChecked(true);
    TBCompress->setValue(kJpegDefault);
  } else {
    RBForcer->setChecked(true);
    TBCompress->setValue(std::clamp(s.JpgCompression, kJpegMin, kJpegMax));
  }
  CBViderListe->setChecked(s.ClearFileListe);
  for (QWidget* w : {static_cast<QWidget*>(Edi8bfDir), static_cast<QWidget*>(SB8bfDir),
                     static_cast<QWidget*>(RB8bfRGB), static_cast<QWidget*>(RB8bfRGBA)})
    w->setEnabled(context_.Bridge8bf);

  // The keys that live only in the file.
  const TIniFile& ini = *context_.Ini;
  auto key = [&ini](const char* section, const char* name) { return ini.ReadString(section, name, kMissing); };
  EdiL->SetValue(std::clamp(StrToIntDef(key("FitImage", "Width"), EdiL->Value()), kFitMin, kFitMax));
  EdiH->SetValue(std::clamp(StrToIntDef(key("FitImage", "Height"), EdiH->Value()), kFitMin, kFitMax));
  CBDeformer->setChecked(key("FitImage", "Deform") == "1");
  CBAffichageAvance->setChecked(key("Params", "AdvancedDisplay") == "0");
  CBAffichageFond->setChecked(key("Params", "BkgTexture") == "0");
  if (context_.ThemedMenus) CBmenuXP->setChecked(key("Params", "XPMenu") == "0");
  CBZoomMolette->setChecked(key("Params", "TrackBallZoom") == "0");
  if (context_.TranslucentDialogs) CBAlphaBlend->setChecked(key("Params", "AlphaBlendForm") == "1");
  CBPlugins->setChecked(key("Plugins", "LoadPlugins") != "0");
  CBRunMulti->setChecked(key("Params", "RunMulti") != "0");
  selectedPlugins_.clear();
  for (int n = 1; n <= kMaxPluginButtons; ++n) {
    const std::string v = key("Plugins", ("Plugin" + std::to_string(n)).c_str());
    if (v != kMissing && !v.empty()) selectedPlugins_.push_back(v);
  }
  UpdateDependents();
  BtnOk->setFocus();
  unitChanged_ = printUnitChanged_ = false;
  for (int i = 0; i < LstPlgPerso->count(); ++i) {
    QListWidgetItem* item = LstPlgPerso->item(i);
    const bool chosen = std::find(selectedPlugins_.begin(), selectedPlugins_.end(), item->text().toStdString()) !=
                        selectedPlugins_.end();
    item->setCheckState(chosen ? Qt::Checked : Qt::Unchecked);
  }
}

bool TPrefForm::Execute() {
  LoadControls();
  ShowPage(CmbPrefs->currentIndex());
  return exec() == QDialog::Accepted;
}

void TPrefForm::BOkClick() {
  TShellSettings& s = *context_.Settings;
  s.LockDir = CBVerrouiller->isChecked();
  s.UniqueDir = CBUnDossier->isChecked();
  s.OpenDir = EdiDirOuvrir->text().toStdString();
  s.SaveDir = s.UniqueDir ? std::string() : EdiDirEnregistrer->text().toStdString();
  s.ToolsAlignment = std::max(0, PosOutils->checkedId());
  s.JpgCompression = RBForcer->isChecked() ? TBCompress->value() : -1;
  s.DefaultFormat = CBFormatDefaut->isChecked() ? std::max(0, LstFormatDefaut->currentRow()) : -1;
  s.PreserveFileDate = CBDateFichier->isChecked();
  s.ImageUnit = LstUnit->currentIndex();
  s.PrintUnit = LstUnitPrn->currentIndex();
  s.GridCellSize = SETailleGrille->Value();
  s.ColorGrid = ColorEditGrid->Color();
  s.History = TBHisto->value();
  s.ClearFileListe = CBViderListe->isChecked();
  s.PreserveExif = CBExif->isChecked();
  s.Dir8bf = Edi8bfDir->text().toStdString();
  s.Mode8bf = RB8bfRGBA->isChecked();
  // The keys read at the next start.
  s.LoadPlugins = CBPlugins->isChecked();
  s.AdvancedDisplay = !CBAffichageAvance->isChecked();
  s.BkgTexture = !CBAffichageFond->isChecked();
  if (context_.ThemedMenus) s.XPMenu = !CBmenuXP->isChecked();
  s.TrackBallZoom = !CBZoomMolette->isChecked();
  if (context_.TranslucentDialogs) s.AlphaBlendForm = CBAlphaBlend->isChecked();
  s.RunMulti = CBRunMulti->isChecked();
  s.PluginButtons.clear();
  for (int i = 0; i < LstPlgPerso->count() && int(s.PluginButtons.size()) < kMaxPluginButtons; ++i)
    if (LstPlgPerso->item(i)->checkState() == Qt::Checked) s.PluginButtons.push_back(LstPlgPerso->item(i)->text().toStdString());
  if (context_.Applied) context_.Applied();

  TPreferenceExtras extras;
  extras.FitWidth = EdiL->Value();
  extras.FitHeight = EdiH->Value();
  extras.FitDeform = CBDeformer->isChecked();
  extras.ThemedMenus = context_.ThemedMenus;
  extras.TranslucentDialogs = context_.TranslucentDialogs;
  WritePreferenceSettings(*context_.Ini, s, extras);
  context_.Ini->Save();  // a failure keeps the file as it was; the settings hold for this run

  if (unitChanged_ && context_.FreeImageUnitDialogs) context_.FreeImageUnitDialogs();
  if (printUnitChanged_ && context_.FreePrintDialog) context_.FreePrintDialog();
  unitChanged_ = printUnitChanged_ = false;
  accept();
}

void TPrefForm::ChooseFolder(QLineEdit* edit, QLabel* label, bool lock) {
  const std::string title = CleanMenuCaption(label ? label->text().toStdString() : std::string());
  const std::string folder = context_.ChooseFolder ? context_.ChooseFolder(title, edit->text().toStdString())
                                                   : BrowseForFolder(title, edit->text().toStdString());
  if (folder.empty()) return;
  edit->setText(QString::fromStdString(folder));
  if (lock) CBVerrouiller->setChecked(true);
}

void TPrefForm::keyPressEvent(QKeyEvent* e) {
  // Enter acts as Ok from any control; Esc closes without writing.
  if (e->key() == Qt::Key_Return || e->key() == Qt::Key_Enter) {
    BOkClick();
    return;
  }
  QDialog::keyPressEvent(e);
}

}  // namespace qm
