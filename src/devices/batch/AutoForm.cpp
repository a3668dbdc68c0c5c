#include "devices/batch/AutoForm.h"

#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QTextCursor>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QStackedWidget>
#include <QStyle>
#include <QTabBar>
#include <QToolButton>
#include <QVBoxLayout>
#include <filesystem>

#include "controls/ColorEditor.h"
#include "controls/SpinEdit.h"
#include "controls/TableTexts.h"
#include "dialogs/command/CommandControls.h"
#include "dialogs/command/CommandGlyphs.h"
#include "dialogs/copyright/CopyrightForm.h"
#include "document/LayeredImage.h"
#include "imagefiles/FileSearch.h"
#include "imagefiles/FormatRegistry.h"
#include "imagefiles/PictureFiles.h"
#include "platform/core/Messages.h"
#include "platform/texts/Format.h"
#include "platform/texts/IniFile.h"
#include "platform/texts/TextUtils.h"
#include "platform/texts/UiTexts.h"
#include "shell/services/CommandTable.h"
#include "shell/services/DialogHost.h"
#include "shell/services/FormUtils.h"
#include "shell/services/MsgDlg.h"
#include "shell/services/ShellOps.h"
#include "views/DocumentWindow.h"
#include "views/ImageWindows.h"
#include "views/PictureDialogs.h"

namespace qm {
namespace {

QString Q(const std::string& s) { return QString::fromStdString(s); }
std::string S(const QString& s) { return s.toStdString(); }
// A control's caption: the entry once a translation fills it, else the design's.
QString Caption(TextId entry, TextId design) { return Q(CaptionOr(entry, Tr(design))); }
QStringList Items(TextId design) { return Q(Tr(design)).split(QLatin1Char('|')); }

template <class W>
W* Named(W* w, const char* name) {
  w->setObjectName(QLatin1String(name));
  return w;
}

QCheckBox* Check(const char* name, const QString& caption) { return Named(new QCheckBox(caption), name); }
QLabel* Label(const char* name, const QString& caption) { return Named(new QLabel(caption), name); }

QSlider* Slider(const char* name, int min, int max, int page, int value) {
  auto* s = Named(new QSlider(Qt::Horizontal), name);
  s->setRange(min, max);
  s->setPageStep(page);
  s->setValue(value);
  return s;
}

QComboBox* Combo(const char* name, const QStringList& items) {
  auto* c = Named(new QComboBox, name);
  c->addItems(items);
  c->setCurrentIndex(0);
  return c;
}

TSpinEdit2* IntSpin(const char* name, int min, int max, int value) {
  auto* e = Named(new TSpinEdit2, name);
  e->SetMinValue(min);
  e->SetMaxValue(max);
  e->SetValue(value);
  e->setMaximumWidth(70);
  return e;
}

TFloatSpinEdit* FloatSpin(const char* name, double min, double max, double value, const char* format) {
  auto* e = Named(new TFloatSpinEdit, name);
  e->SetMinValue(min);
  e->SetMaxValue(max);
  e->SetFormat(QLatin1String(format));
  e->SetValue(value);
  e->setMaximumWidth(80);
  return e;
}

TColorEdit* ColorEdit(const char* name, TColor color) {
  auto* e = Named(new TColorEdit, name);
  e->SetColor(color);
  return e;
}

QToolButton* ToolButton(const char* name) {
  auto* b = Named(new QToolButton, name);
  b->setAutoRaise(true);
  return b;
}

// A box around a group headed by its check box.
QGroupBox* Group(QLayout* content) {
  auto* box = new QGroupBox;
  box->setLayout(content);
  return box;
}

// The channel names, in the order of the shared channel code.
QStringList ChannelItems() {
  const std::pair<TextId, TextId> names[] = {
      {TextId::GetTrLblChannelAlls, TextId::TrFixChannelAll},     {TextId::GetTrLblChannelRed, TextId::TrFixChannelRed},
      {TextId::GetTrLblChannelGreen, TextId::TrFixChannelGreen},  {TextId::GetTrLblChannelBlue, TextId::TrFixChannelBlue},
      {TextId::GetTrLblChannelCyan, TextId::TrFixChannelCyan},    {TextId::GetTrLblChannelMagenta, TextId::TrFixChannelMagenta},
      {TextId::GetTrLblChannelYellow, TextId::TrFixChannelYellow}};
  QStringList items;
  for (const auto& [entry, design] : names) items << Caption(entry, design);
  return items;
}

// The path as the file system resolves it, for comparing folders.
std::string ResolvedFolder(const std::string& path) {
  std::error_code ec;
  const std::filesystem::path p = std::filesystem::weakly_canonical(std::filesystem::path(path), ec);
  return ec ? path : p.string();
}

bool IsFolder(const std::string& path) {
  std::error_code ec;
  return !path.empty() && std::filesystem::is_directory(path, ec);
}

std::string D2(const QString& caption) { return DecorateCaption(S(caption), ckLabel); }
std::string D3(const std::string& text) { return DecorateCaption(text, ckDash); }
std::string D3(const QString& text) { return D3(S(text)); }

}  // namespace

// The run's side of the window: titles, the outputs shown in the run's document, the
// polls that keep the window alive and turn a key into the question.
class TAutoForm::TRunHost : public TBatchRunHost {
 public:
  explicit TRunHost(TAutoForm& form) : form_(form) {}

  void Starting(int index, int count) override {
    if (QWidget* main = form_.host_.MainWindow())
      main->setWindowTitle(Q(Format(Tr(TextId::TrFixFmtBatchTitle), {kAppTitle, index, count, index * 100 / count})));
  }

  void Saved(int, const std::string& name, TBatchOutput& output) override {
    TDialogHost& host = form_.host_;
    TNewImgForm* window = form_.document_;
    if (!window) {
      window = host.CreateImageWindow(std::move(output.Image), nullptr, 16777216, false, output.Source);
      form_.document_ = window;
    } else {
      if (host.GetActiveImgForm() != window) host.Windows().ActivateImageWindow(window);
      TLayeredImage& doc = window->Image();
      const std::string layer = doc.GetLayerCount() > 0 ? doc.Layers[0].Name : std::string("#0");
      doc.LoadFromBitmap(std::move(output.Image), TBitmap(), layer);
    }
    if (window) {
      window->Image().ResolutionX = window->Image().ResolutionY = output.Resolution;
      window->FileDate = output.SourceDate;
      window->SetFileName(output.Target);
      host.ResetImageWindowState();
      host.RepaintActiveImage();
      host.UpdateStatusBar();
    }
    form_.Report(Tr(TextId::TrFixBatchItem) + name);
  }

  bool Poll() override { return form_.PollBatchAbort(); }

 private:
  TAutoForm& form_;
};

TAutoForm::TAutoForm(TDialogHost& host, QWidget* parent) : QDialog(parent), host_(host) {
  setObjectName(QStringLiteral("TAutoForm"));
  setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint | Qt::WindowStaysOnTopHint);
  setModal(false);
  SetTitle(this, [] {
    const TCommandRow* row = FindCommandRow("MenuAutomatisation");
    return row ? CleanMenuCaption(CommandCaption(*row)) : Tr(TextId::GetTrStaAutomation);
  });

  PageControl = Named(new QTabBar(this), "PageControl");
  PageControl->setExpanding(false);
  PageControl->setDrawBase(false);
  Pages = Named(new QStackedWidget(this), "Pages");
  Pages->setFrameShape(QFrame::StyledPanel);
  const char* const names[] = {"TshFichiers", "TshImage",     "TshReglages", "TshFiltres",
                               "TshTransform", "TshCopyright", "TshActions"};
  // Each page is named as the menu of its kind, once a translation names that menu; the
  // copyright has no entry and keeps its name in every language.
  const QStringList tabs = Items(TextId::TrFixBatchPages);
  const TextId tabTexts[7] = {TextId::GetTrMnuFile,      TextId::GetTrMnuImage, TextId::GetTrMnuAdjust,
                              TextId::GetTrMnuFilter,    TextId::GetTrMnuTransform, TextId::TrFixDlgCopyright,
                              TextId::GetTrMnuAction};
  QWidget* pages[7];
  for (int i = 0; i < 7; ++i) {
    PageControl->addTab(QString());
    SetTexts(PageControl, [this, i, design = S(tabs.value(i)), entry = tabTexts[i]] {
      PageControl->setTabText(i, Q(CleanMenuCaption(CaptionOr(entry, design))));
    });
    pages[i] = Named(new QWidget, names[i]);
    Pages->addWidget(pages[i]);
  }
  BuildFilesPage(pages[bpFiles]);
  BuildImagePage(pages[bpImage]);
  BuildAdjustPage(pages[bpAdjust]);
  BuildFiltersPage(pages[bpFilters]);
  BuildTransformPage(pages[bpTransform]);
  BuildCopyrightPage(pages[bpCopyright]);
  BuildActionsPage(pages[bpActions]);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(6, 6, 6, 6);
  layout->setSpacing(0);
  layout->addWidget(PageControl);
  layout->addWidget(Pages, 1);
  setFixedSize(535, 384);

  Connect();
  SetCustomFilter({});
  FollowControls();
  CmbFormatExportChange();
  SliderLabels();
}

TAutoForm::~TAutoForm() = default;

// --- Pages ---------------------------------------------------------------------------

void TAutoForm::BuildFilesPage(QWidget* page) {
  LblDirSrc = Label("LblDirSrc", Caption(TextId::GetTrLblSourceDir, TextId::TrFixBatchSourceDir));
  EdiDirSrc = Named(new QLineEdit, "EdiDirSrc");
  EdiDirSrc->setReadOnly(true);
  SBSrc = ToolButton("SBSrc");
  LblFilter = Label("LblFilter", Caption(TextId::GetTrLblSourceFormat, TextId::TrFixBatchSourceFormat));
  CmbFilter = Named(new QComboBox, "CmbFilter");
  CmbFilter->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
  CmbFilter->setMinimumContentsLength(10);
  SBFiltre = ToolButton("SBFiltre");
  FileListBox = Named(new QListWidget, "FileListBox");
  FileListBox->setSelectionMode(QAbstractItemView::NoSelection);
  CBSel = Check("CBSel", Caption(TextId::GetTrLblCustomSelection, TextId::TrFixBatchCustomSelection));
  LblDirExport = Label("LblDirExport", Caption(TextId::GetTrLblOutputDir, TextId::TrFixBatchOutputDir));
  EdiDossierExport = Named(new QLineEdit, "EdiDossierExport");
  EdiDossierExport->setReadOnly(true);
  SBExport = ToolButton("SBExport");
  LblFormatExport = Label("LblFormatExport", Caption(TextId::GetTrLblOutputFormat, TextId::TrFixOutputFormat));
  CmbFormatExport = Combo("CmbFormatExport", Items(TextId::TrFixBatchFormats));
  TrbCompress = Slider("TrbCompress", kBatchMinQuality, kBatchMaxQuality, 10, kBatchQuality);
  TrbCompress->setTickPosition(QSlider::TicksBelow);
  TrbCompress->setTickInterval(5);
  LblCompress = Label("LblCompress", QString::number(kBatchQuality));
  LblCompress->setAlignment(Qt::AlignCenter);
  LblQual1 = Label("LblQual1", Caption(TextId::GetTrlLblCompressLow, TextId::TrFixCompressLow));
  LblQual2 = Label("LblQual2", Caption(TextId::GetTrlLblCompressHigh, TextId::TrFixCompressHigh));
  LblNbCouleurs = Label("LblNbCouleurs", Caption(TextId::GetTrLblColorCount, TextId::TrFixBatchColorCount));
  CmbNbCouleurs = Combo("CmbNbCouleurs", {Caption(TextId::GetTrLblMaxColors, TextId::TrFixBatchMaxColors),
                                          Caption(TextId::GetTrLblColor256, TextId::TrFixBatchColors256),
                                          Caption(TextId::GetTrLblColor16, TextId::TrFixBatchColors16),
                                          Caption(TextId::GetTrLblMonoDuotone, TextId::TrFixBatchMonoDuotone),
                                          Caption(TextId::GetTrLblMonoDithering, TextId::TrFixBatchMonoDithering)});
  ChkSequence = Check("ChkSequence", Caption(TextId::GetTrLblSequence, TextId::TrFixBatchSequence));
  EdiSequence = Named(new QLineEdit(Q(Tr(TextId::TrFixBatchSequenceName))), "EdiSequence");
  LblExemple = Label("LblExemple", {});

  for (QToolButton* b : {SBSrc, SBExport}) {
    SetFolderButtonGlyph(b);
    if (b->icon().isNull()) b->setIcon(style()->standardIcon(QStyle::SP_DirOpenIcon));
  }
  SetButtonGlyph(58, SBFiltre);
  if (SBFiltre->icon().isNull()) SBFiltre->setIcon(style()->standardIcon(QStyle::SP_FileDialogContentsView));
  SBFiltre->setToolTip(Q(CaptionOr(TextId::GetTrLblFilter1, Tr(TextId::TrFixBatchCustomFilter))));

  auto row = [](QWidget* a, QWidget* b) {
    auto* h = new QHBoxLayout;
    h->setSpacing(2);
    h->addWidget(a, 1);
    h->addWidget(b);
    return h;
  };
  auto* left = new QVBoxLayout;
  left->setSpacing(3);
  left->addWidget(LblDirSrc);
  left->addLayout(row(EdiDirSrc, SBSrc));
  left->addWidget(LblFilter);
  left->addLayout(row(CmbFilter, SBFiltre));
  left->addWidget(FileListBox, 1);
  left->addWidget(CBSel);

  // The quality slider for JPEG, the colour count in its place for the other formats.
  auto* quality = new QGridLayout;
  quality->setSpacing(2);
  quality->addWidget(LblCompress, 0, 0, 1, 2);
  quality->addWidget(TrbCompress, 1, 0, 1, 2);
  quality->addWidget(LblQual1, 2, 0, Qt::AlignLeft);
  quality->addWidget(LblQual2, 2, 1, Qt::AlignRight);
  quality->addWidget(LblNbCouleurs, 0, 0, 1, 2);
  quality->addWidget(CmbNbCouleurs, 1, 0, 1, 2);
  auto* sequence = new QHBoxLayout;
  sequence->addWidget(ChkSequence);
  sequence->addWidget(EdiSequence, 1);
  auto* right = new QVBoxLayout;
  right->setSpacing(3);
  right->addWidget(LblDirExport);
  right->addLayout(row(EdiDossierExport, SBExport));
  right->addWidget(LblFormatExport);
  right->addWidget(CmbFormatExport);
  right->addSpacing(6);
  right->addLayout(quality);
  right->addSpacing(10);
  right->addLayout(sequence);
  right->addWidget(LblExemple);
  right->addStretch(1);

  auto* layout = new QHBoxLayout(page);
  layout->setContentsMargins(8, 8, 8, 8);
  layout->setSpacing(14);
  layout->addLayout(left, 1);
  layout->addLayout(right, 1);
}

void TAutoForm::BuildImagePage(QWidget* page) {
  ChkRedim = Check("ChkRedim", Caption(TextId::GetTrMnuImageSize, TextId::TrFixDlgImageSize));
  LblLargeurImage = Label("LblLargeurImage", Caption(TextId::GetTrLblWidth, TextId::TrFixLblWidth));
  LblHauteurImage = Label("LblHauteurImage", Caption(TextId::GetTrLblHeight, TextId::TrFixLblHeight));
  SELargeurImage = FloatSpin("SELargeurImage", kBatchMinSize, kBatchMaxPixels, kBatchPixelWidth, "0");
  SEHauteurImage = FloatSpin("SEHauteurImage", kBatchMinSize, kBatchMaxPixels, kBatchPixelHeight, "0");
  LblUnite = Label("LblUnite", Caption(TextId::GetTrLblUnit, TextId::TrFixBatchUnit));
  const QStringList units = Items(TextId::TrFixBatchUnits);
  CmbUnite = Combo("CmbUnite", {Q(CaptionOr(TextId::GetTrLblPixels, S(units.value(0)))),
                                Q(CaptionOr(TextId::GetTrLblPct, S(units.value(1))))});
  ChkRedimProportions = Check("ChkRedimProportions", Caption(TextId::GetTrLblAspectRation, TextId::TrFixKeepRatio));
  ChkRedimProportions->setChecked(true);
  ChkRedimOptimiser = Check("ChkRedimOptimiser", Caption(TextId::GetTrLblOptimize, TextId::TrFixOptimize));
  ChkRedimOptimiser->setChecked(true);
  auto* size = new QGridLayout;
  size->setVerticalSpacing(3);
  size->addWidget(ChkRedim, 0, 0, 1, 3);
  size->addWidget(LblLargeurImage, 1, 0);
  size->addWidget(SELargeurImage, 1, 1);
  size->addWidget(LblHauteurImage, 2, 0);
  size->addWidget(SEHauteurImage, 2, 1);
  size->addWidget(LblUnite, 3, 0);
  size->addWidget(CmbUnite, 3, 1);
  size->addWidget(ChkRedimProportions, 4, 0, 1, 3);
  size->addWidget(ChkRedimOptimiser, 5, 0, 1, 3);
  size->setColumnStretch(2, 1);

  ChkCadre = Check("ChkCadre", Caption(TextId::GetTrMnuFrame, TextId::TrFixBatchFrame));
  LblCouleurCadre = Label("LblCouleurCadre", Caption(TextId::GetTrLblColor, TextId::TrFixLblColor));
  ColorEditCadre = ColorEdit("ColorEditCadre", clWhite);
  LblLargeurCadre = Label("LblLargeurCadre", Caption(TextId::GetTrLblWidth, TextId::TrFixLblWidth));
  SELargeurCadre = IntSpin("SELargeurCadre", kBatchMinFrame, kBatchMaxFrame, 15);
  CBExterieur = Check("CBExterieur", Caption(TextId::GetTrLblOutside, TextId::TrFixOutside));
  auto* frame = new QGridLayout;
  frame->setVerticalSpacing(3);
  frame->addWidget(ChkCadre, 0, 0, 1, 3);
  frame->addWidget(LblCouleurCadre, 1, 0);
  frame->addWidget(ColorEditCadre, 1, 1);
  frame->addWidget(LblLargeurCadre, 2, 0);
  frame->addWidget(SELargeurCadre, 2, 1);
  frame->addWidget(CBExterieur, 3, 0, 1, 3);
  frame->setColumnStretch(2, 1);

  ChkDpi = Check("ChkDpi", Caption(TextId::GetTrLblForceDPI, TextId::TrFixBatchForceDpi));
  SEDpi = FloatSpin("SEDpi", kBatchMinDpi, kBatchMaxDpi, kBatchDpi, "0.00");
  auto* dpi = new QHBoxLayout;
  dpi->addWidget(ChkDpi);
  dpi->addWidget(SEDpi);
  dpi->addStretch(1);

  ChkZoneTravail = Check("ChkZoneTravail", Caption(TextId::GetTrMnuCanvasSize, TextId::TrFixDlgCanvasSize));
  LblLargeurZone = Label("LblLargeurZone", Caption(TextId::GetTrLblWidth, TextId::TrFixLblWidth));
  LblHauteurZone = Label("LblHauteurZone", Caption(TextId::GetTrLblHeight, TextId::TrFixLblHeight));
  SELargeurZone = IntSpin("SELargeurZone", 0, kBatchMaxCanvas, 0);
  SEHauteurZone = IntSpin("SEHauteurZone", 0, kBatchMaxCanvas, 0);
  LblCouleurFond = Label("LblCouleurFond", Caption(TextId::GetTrLblBkg, TextId::TrFixLblBkg));
  ColorEditFond = ColorEdit("ColorEditFond", clWhite);
  LblMotif = Label("LblMotif", Caption(TextId::GetTrLblBkgPattern, TextId::TrFixLblBkgPattern));
  EdiMotif = Named(new QLineEdit, "EdiMotif");
  EdiMotif->setReadOnly(true);
  SBMotif = ToolButton("SBMotif");
  SetPatternChooser(SBMotif);
  SBMotif2 = ToolButton("SBMotif2");
  SetButtonGlyph(59, SBMotif2);
  if (SBMotif2->icon().isNull()) SBMotif2->setIcon(style()->standardIcon(QStyle::SP_DialogResetButton));
  SBMotif2->setToolTip(Q(Tr(TextId::GetTrHntClearPattern)));
  LblPosition = Label("LblPosition", Caption(TextId::GetTrLblPosition, TextId::TrFixBatchPosition));
  ToolBar = new TAnchorGrid;
  ChkOmbre = Check("ChkOmbre", Caption(TextId::GetTrLblShadow, TextId::TrFixBatchShadow));
  SELargeurOmbre = IntSpin("SELargeurOmbre", kBatchMinShadow, kBatchMaxShadow, 7);
  auto* pattern = new QHBoxLayout;
  pattern->setSpacing(1);
  pattern->addWidget(EdiMotif, 1);
  pattern->addWidget(SBMotif);
  pattern->addWidget(SBMotif2);
  auto* shadow = new QHBoxLayout;
  shadow->addWidget(ChkOmbre);
  shadow->addWidget(SELargeurOmbre);
  shadow->addStretch(1);
  auto* canvas = new QGridLayout;
  canvas->setVerticalSpacing(3);
  canvas->addWidget(ChkZoneTravail, 0, 0, 1, 3);
  canvas->addWidget(LblLargeurZone, 1, 0);
  canvas->addWidget(SELargeurZone, 1, 1);
  canvas->addWidget(LblHauteurZone, 2, 0);
  canvas->addWidget(SEHauteurZone, 2, 1);
  canvas->addWidget(LblCouleurFond, 3, 0);
  canvas->addWidget(ColorEditFond, 3, 1);
  canvas->addWidget(LblMotif, 4, 0, 1, 3);
  canvas->addLayout(pattern, 5, 0, 1, 3);
  canvas->addWidget(LblPosition, 6, 0, Qt::AlignTop);
  canvas->addWidget(ToolBar, 6, 1, 1, 2, Qt::AlignLeft);
  canvas->addLayout(shadow, 7, 0, 1, 3);
  canvas->setColumnStretch(2, 1);
  canvas->setRowStretch(8, 1);

  auto* left = new QVBoxLayout;
  left->addWidget(Group(size));
  left->addWidget(Group(frame));
  left->addLayout(dpi);
  left->addStretch(1);
  auto* layout = new QHBoxLayout(page);
  layout->setContentsMargins(6, 4, 6, 4);
  layout->addLayout(left, 1);
  layout->addWidget(Group(canvas), 1);
}

void TAutoForm::BuildAdjustPage(QWidget* page) {
  auto* grid = new QGridLayout(page);
  grid->setContentsMargins(12, 10, 12, 10);
  grid->setHorizontalSpacing(16);
  const struct {
    QLabel*& Label;
    const char* LabelName;
    QSlider*& Slider;
    const char* SliderName;
    int Min, Max, Page, Value;
    QComboBox*& Channel;
    const char* ChannelName;
  } rows[] = {
      {LblLuminosite, "LblLuminosite", TrbLuminosite, "TrbLuminosite", -100, 100, 10, 0, CBCoucheLum, "CBCoucheLum"},
      {LblContraste, "LblContraste", TrbContraste, "TrbContraste", -100, 100, 10, 0, CBCoucheCtr, "CBCoucheCtr"},
      {LblSaturation, "LblSaturation", TrbSaturation, "TrbSaturation", -100, 100, 10, 0, CBCoucheSat, "CBCoucheSat"},
      {LblGamma, "LblGamma", TrbGamma, "TrbGamma", kBatchMinGamma, kBatchMaxGamma, 1, kBatchNeutralGamma, CBCoucheGam,
       "CBCoucheGam"},
  };
  int r = 0;
  for (const auto& row : rows) {
    row.Label = Label(row.LabelName, {});
    row.Slider = Slider(row.SliderName, row.Min, row.Max, row.Page, row.Value);
    row.Channel = Combo(row.ChannelName, ChannelItems());
    grid->addWidget(row.Label, r, 0);
    grid->addWidget(new QLabel(Caption(TextId::GetTrLblChannel, TextId::TrFixLblChannel)), r, 1);
    grid->addWidget(row.Slider, r + 1, 0);
    grid->addWidget(row.Channel, r + 1, 1);
    grid->setRowMinimumHeight(r + 2, 12);
    r += 3;
  }
  grid->setColumnStretch(0, 1);
  grid->setRowStretch(r, 1);
}

void TAutoForm::BuildFiltersPage(QWidget* page) {
  const QStringList captions = Items(TextId::TrFixBatchFilters);
  const struct {
    QCheckBox*& Box;
    const char* Name;
    TextId Entry;
  } boxes[] = {{ChkAdoucir, "ChkAdoucir", TextId::GetTrMnuSoften},
               {ChkFlouInt, "ChkFlouInt", TextId::GetTrMnuEdgePreservBlur},
               {ChkFlou, "ChkFlou", TextId::GetTrMnuBlur},
               {ChkContoursNet, "ChkContoursNet", TextId::GetTrMnuSharpenEdges},
               {ChkDurcir, "ChkDurcir", TextId::GetTrMnuSharpen},
               {ChkRelief, "ChkRelief", TextId::GetTrMnuRelief},
               {ChkNegatif, "ChkNegatif", TextId::GetTrMnuNegative},
               {ChkBruit, "ChkBruit", TextId::GetTrMnuAddNoise},
               {ChkScanlines, "ChkScanlines", TextId::GetTrMnuScanlines}};
  auto* fixed = new QGridLayout;
  fixed->setVerticalSpacing(6);
  int i = 0;
  for (const auto& b : boxes) {
    b.Box = Check(b.Name, Q(CleanMenuCaption(CaptionOr(b.Entry, S(captions.value(i))))));
    fixed->addWidget(b.Box, i % 3, i / 3);
    ++i;
  }
  ChkFiltre = Check("ChkFiltre", Caption(TextId::GetTrMnuColoredLayer, TextId::TrFixDlgColorFilter));
  ColorEditFiltre = ColorEdit("ColorEditFiltre", kBatchFilterColor);
  LblOpaciteFiltre = Label("LblOpaciteFiltre", {});
  TrbOpaciteFiltre = Slider("TrbOpaciteFiltre", 0, 100, 5, 30);
  ChkInverserFiltre = Check("ChkInverserFiltre", Caption(TextId::GetTrMnuSelInvert, TextId::TrFixInvert));
  auto* head = new QHBoxLayout;
  head->addWidget(ChkFiltre);
  head->addWidget(ColorEditFiltre);
  head->addStretch(1);
  auto* filter = new QVBoxLayout;
  filter->addLayout(head);
  filter->addWidget(LblOpaciteFiltre);
  filter->addWidget(TrbOpaciteFiltre);
  filter->addWidget(ChkInverserFiltre);
  auto* layout = new QVBoxLayout(page);
  layout->setContentsMargins(10, 10, 10, 10);
  layout->addWidget(Group(fixed));
  layout->addSpacing(8);
  layout->addWidget(Group(filter));
  layout->addStretch(1);
}

void TAutoForm::BuildTransformPage(QWidget* page) {
  ChkRotation = Check("ChkRotation", Caption(TextId::GetTrMnuRotate, TextId::TrFixBatchRotation));
  const QStringList rotations = Items(TextId::TrFixBatchRotations);
  RdbRotation1 = Named(new QRadioButton(Q(CleanMenuCaption(CaptionOr(TextId::GetTrMnuRotate90cw, S(rotations.value(0)))))),
                       "RdbRotation1");
  RdbRotation2 = Named(new QRadioButton(Q(CleanMenuCaption(CaptionOr(TextId::GetTrMnuRotate90ccw, S(rotations.value(1)))))),
                       "RdbRotation2");
  RdbRotation3 = Named(new QRadioButton(Q(CleanMenuCaption(CaptionOr(TextId::GetTrMnuRotate180, S(rotations.value(2)))))),
                       "RdbRotation3");
  ChkSymetrie = Check("ChkSymetrie", Caption(TextId::GetTrLblSymmetry, TextId::TrFixBatchSymmetry));
  const QStringList flips = Items(TextId::TrFixBatchSymmetries);
  RdbSymetrie1 = Named(new QRadioButton(Q(CleanMenuCaption(CaptionOr(TextId::GetTrMnuSymVert, S(flips.value(0)))))),
                       "RdbSymetrie1");
  RdbSymetrie2 = Named(new QRadioButton(Q(CleanMenuCaption(CaptionOr(TextId::GetTrMnuSymHorz, S(flips.value(1)))))),
                       "RdbSymetrie2");
  RdbRotation1->setChecked(true);
  RdbSymetrie1->setChecked(true);
  auto group = [page](QCheckBox* head, std::initializer_list<QRadioButton*> buttons) {
    auto* exclusive = new QButtonGroup(page);
    auto* v = new QVBoxLayout;
    v->addWidget(head);
    for (QRadioButton* b : buttons) {
      exclusive->addButton(b);
      auto* h = new QHBoxLayout;
      h->addSpacing(20);
      h->addWidget(b);
      v->addLayout(h);
    }
    return Group(v);
  };
  auto* layout = new QVBoxLayout(page);
  layout->setContentsMargins(10, 10, 10, 10);
  layout->addWidget(group(ChkRotation, {RdbRotation1, RdbRotation2, RdbRotation3}));
  layout->addSpacing(8);
  layout->addWidget(group(ChkSymetrie, {RdbSymetrie1, RdbSymetrie2}));
  layout->addStretch(1);
}

void TAutoForm::BuildCopyrightPage(QWidget* page) {
  CBCopyright = Check("CBCopyright", Q(Tr(TextId::TrFixDlgCopyright)));
  CBCopyright->setParent(page);
  CBCopyright->move(8, 14);
  CopyrightForm = new TCopyrightForm;
  // The font list as wide as the page leaves it, whatever the longest family name.
  CopyrightForm->CBPolices->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
  CopyrightForm->CBPolices->setMinimumContentsLength(14);
  CopyrightForm->CBPolices->setMaximumWidth(180);
  EmbedCopyrightPanel(*CopyrightForm, page, 8, 42);
}

void TAutoForm::BuildActionsPage(QWidget* page) {
  MemRapport = Named(new QPlainTextEdit, "MemRapport");
  MemRapport->setReadOnly(true);
  MemRapport->setLineWrapMode(QPlainTextEdit::NoWrap);
  MemRapport->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  MemRapport->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  BtnAction = Named(new QPushButton(Caption(TextId::GetTrBtnOk, TextId::GetDlgOk)), "BtnAction");
  BtnFermer = Named(new QPushButton, "BtnFermer");
  SetTexts(BtnFermer, {TextId::GetTrMnuClose, TextId::TrFixClose, kPlainCaption});
  BtnParams = Named(new QPushButton(Caption(TextId::GetTrBtnSaveSettings, TextId::TrFixBatchSaveSettings)), "BtnParams");
  BtnAction->setAutoDefault(false);
  BtnFermer->setAutoDefault(false);
  BtnParams->setAutoDefault(false);
  auto* buttons = new QHBoxLayout;
  buttons->addWidget(BtnParams);
  buttons->addStretch(1);
  buttons->addWidget(BtnAction);
  buttons->addWidget(BtnFermer);
  auto* layout = new QVBoxLayout(page);
  layout->setContentsMargins(8, 8, 8, 8);
  layout->addWidget(MemRapport, 1);
  layout->addLayout(buttons);
}

void TAutoForm::Connect() {
  connect(PageControl, &QTabBar::currentChanged, this, [this](int page) {
    if (page == Pages->currentIndex()) return;
    if (!PageControlChanging()) {
      const QSignalBlocker blocker(PageControl);
      PageControl->setCurrentIndex(Pages->currentIndex());
      return;
    }
    Pages->setCurrentIndex(page);
    PageControlChange(page);
  });
  connect(SBSrc, &QToolButton::clicked, this, [this] { SBSrcClick(); });
  connect(SBExport, &QToolButton::clicked, this, [this] { SBExportClick(); });
  connect(SBFiltre, &QToolButton::clicked, this, [this] { SBFiltreClick(); });
  connect(SBMotif, &QToolButton::clicked, this, [this] { SBMotifClick(); });
  connect(SBMotif2, &QToolButton::clicked, this, [this] { EdiMotif->clear(); });
  for (QWidget* w : {static_cast<QWidget*>(EdiDirSrc), static_cast<QWidget*>(EdiDossierExport),
                     static_cast<QWidget*>(EdiMotif), FileListBox->viewport()})
    w->installEventFilter(this);
  connect(CmbFilter, &QComboBox::currentIndexChanged, this, [this] { ReadFileList(); });
  connect(CBSel, &QCheckBox::toggled, this, [this](bool on) {
    FileListBox->setSelectionMode(on ? QAbstractItemView::ExtendedSelection : QAbstractItemView::NoSelection);
    if (!on) FileListBox->clearSelection();
  });
  connect(CmbFormatExport, &QComboBox::currentIndexChanged, this, [this] { CmbFormatExportChange(); });
  connect(EdiSequence, &QLineEdit::textChanged, this, [this] { EdiSequenceChange(); });
  connect(TrbCompress, &QSlider::valueChanged, this, [this](int v) { LblCompress->setText(QString::number(v)); });
  connect(CmbUnite, &QComboBox::currentIndexChanged, this, [this] { CmbUniteChange(); });
  SELargeurImage->OnChange = [this] { SizeChanged(true); };
  SEHauteurImage->OnChange = [this] { SizeChanged(false); };
  for (QCheckBox* b : {ChkRedim, ChkCadre, ChkZoneTravail, ChkOmbre, ChkDpi, ChkFiltre, ChkRotation, ChkSymetrie,
                       ChkSequence, CBCopyright})
    connect(b, &QCheckBox::toggled, this, [this] { FollowControls(); });
  for (QSlider* s : {TrbLuminosite, TrbContraste, TrbSaturation, TrbGamma, TrbOpaciteFiltre})
    connect(s, &QSlider::valueChanged, this, [this] { SliderLabels(); });
  connect(BtnAction, &QPushButton::clicked, this, [this] { BtnActionClick(); });
  connect(BtnFermer, &QPushButton::clicked, this, [this] { close(); });
  connect(BtnParams, &QPushButton::clicked, this, [this] {
    if (ShowMessageDialog(Tr(TextId::GetTrDlgBatch6), mtConfirmation, mbYes | mbNo) == mrYes) SaveBatchSettings();
  });
}

bool TAutoForm::eventFilter(QObject* watched, QEvent* e) {
  if (e->type() != QEvent::MouseButtonPress || static_cast<QMouseEvent*>(e)->button() != Qt::LeftButton)
    return QDialog::eventFilter(watched, e);
  if (watched == EdiDirSrc && EdiDirSrc->isEnabled()) SBSrcClick();
  else if (watched == EdiDossierExport && EdiDossierExport->isEnabled()) SBExportClick();
  else if (watched == EdiMotif && EdiMotif->isEnabled()) SBMotifClick();
  else if (watched == FileListBox->viewport() && !CBSel->isChecked()) {
    // The list only shows what a run takes: a click selects nothing.
    FileListBox->clearSelection();
    EdiDirSrc->setFocus();
    return true;
  } else {
    return QDialog::eventFilter(watched, e);
  }
  return true;
}

// --- The controls and the settings ------------------------------------------------------

TBatchSettings TAutoForm::Settings() const {
  TBatchSettings s;
  s.SourceFolder = sourceFolder_;
  s.ExportFolder = S(EdiDossierExport->text());
  s.OutputFormat = CmbFormatExport->currentIndex();
  s.JpegQuality = TrbCompress->value();
  s.ColorCount = CmbNbCouleurs->currentIndex();
  s.Sequence = ChkSequence->isChecked();
  s.SequenceName = S(EdiSequence->text());
  s.Resize = ChkRedim->isChecked();
  s.Width = SELargeurImage->CheckValue(SELargeurImage->Value());
  s.Height = SEHauteurImage->CheckValue(SEHauteurImage->Value());
  s.Percent = CmbUnite->currentIndex() == 1;
  s.KeepProportions = ChkRedimProportions->isChecked();
  s.Optimize = ChkRedimOptimiser->isChecked();
  s.Frame = ChkCadre->isChecked();
  s.FrameWidth = SELargeurCadre->CheckValue(SELargeurCadre->Value());
  s.FrameColor = ColorEditCadre->Color();
  s.FrameOutside = CBExterieur->isChecked();
  s.Canvas = ChkZoneTravail->isChecked();
  s.CanvasWidth = SELargeurZone->CheckValue(SELargeurZone->Value());
  s.CanvasHeight = SEHauteurZone->CheckValue(SEHauteurZone->Value());
  s.CanvasColor = ColorEditFond->Color();
  s.Pattern = S(EdiMotif->text());
  s.Position = int(ToolBar->Anchor());
  s.Shadow = ChkOmbre->isChecked();
  s.ShadowWidth = SELargeurOmbre->CheckValue(SELargeurOmbre->Value());
  s.ForceDpi = ChkDpi->isChecked();
  s.Dpi = SEDpi->CheckValue(SEDpi->Value());
  s.Brightness = TrbLuminosite->value();
  s.BrightnessChannel = CBCoucheLum->currentIndex();
  s.Contrast = TrbContraste->value();
  s.ContrastChannel = CBCoucheCtr->currentIndex();
  s.Saturation = TrbSaturation->value();
  s.SaturationChannel = CBCoucheSat->currentIndex();
  s.Gamma = TrbGamma->value();
  s.GammaChannel = CBCoucheGam->currentIndex();
  s.Soften = ChkAdoucir->isChecked();
  s.Sharpen = ChkDurcir->isChecked();
  s.Blur = ChkFlou->isChecked();
  s.Relief = ChkRelief->isChecked();
  s.Noise = ChkBruit->isChecked();
  s.Scanlines = ChkScanlines->isChecked();
  s.InnerBlur = ChkFlouInt->isChecked();
  s.SharpEdges = ChkContoursNet->isChecked();
  s.Negative = ChkNegatif->isChecked();
  s.ColorFilter = ChkFiltre->isChecked();
  s.FilterColor = ColorEditFiltre->Color();
  s.FilterOpacity = TrbOpaciteFiltre->value();
  s.FilterInvert = ChkInverserFiltre->isChecked();
  s.Rotate = ChkRotation->isChecked();
  s.Rotation = RdbRotation2->isChecked() ? brAnticlockwise : RdbRotation3->isChecked() ? brHalfTurn : brClockwise;
  s.Flip = ChkSymetrie->isChecked();
  s.FlipMode = RdbSymetrie2->isChecked() ? bfHorizontal : bfVertical;
  s.Copyright = CBCopyright->isChecked();
  return s;
}

void TAutoForm::SetSettings(const TBatchSettings& s) {
  SetSourceFolder(s.SourceFolder);
  SetExportFolder(s.ExportFolder);
  CmbFormatExport->setCurrentIndex(std::clamp(s.OutputFormat, 0, kBatchFormatCount - 1));
  TrbCompress->setValue(s.JpegQuality);
  CmbNbCouleurs->setCurrentIndex(std::clamp(s.ColorCount, 0, kBatchColorsCount - 1));
  ChkSequence->setChecked(s.Sequence);
  EdiSequence->setText(Q(s.SequenceName));
  ChkRedim->setChecked(s.Resize);
  ChkRedimProportions->setChecked(s.KeepProportions);
  ChkRedimOptimiser->setChecked(s.Optimize);
  // The unit first: it sets the sizes' limits.
  CmbUnite->setCurrentIndex(s.Percent ? 1 : 0);
  CmbUniteChange();
  syncSizes_ = false;
  SELargeurImage->SetValue(s.Width);
  SEHauteurImage->SetValue(s.Height);
  syncSizes_ = true;
  ChkCadre->setChecked(s.Frame);
  SELargeurCadre->SetValue(s.FrameWidth);
  ColorEditCadre->SetColor(s.FrameColor);
  CBExterieur->setChecked(s.FrameOutside);
  ChkZoneTravail->setChecked(s.Canvas);
  SELargeurZone->SetValue(s.CanvasWidth);
  SEHauteurZone->SetValue(s.CanvasHeight);
  ColorEditFond->SetColor(s.CanvasColor);
  ChkOmbre->setChecked(s.Shadow);
  SELargeurOmbre->SetValue(s.ShadowWidth);
  EdiMotif->setText(Q(s.Pattern));
  ToolBar->SetAnchor(TAlignment(std::clamp(s.Position, 0, 8)));
  ChkDpi->setChecked(s.ForceDpi);
  SEDpi->SetValue(s.Dpi);
  TrbLuminosite->setValue(s.Brightness);
  CBCoucheLum->setCurrentIndex(s.BrightnessChannel);
  TrbContraste->setValue(s.Contrast);
  CBCoucheCtr->setCurrentIndex(s.ContrastChannel);
  TrbSaturation->setValue(s.Saturation);
  CBCoucheSat->setCurrentIndex(s.SaturationChannel);
  TrbGamma->setValue(s.Gamma);
  CBCoucheGam->setCurrentIndex(s.GammaChannel);
  ChkAdoucir->setChecked(s.Soften);
  ChkDurcir->setChecked(s.Sharpen);
  ChkFlou->setChecked(s.Blur);
  ChkRelief->setChecked(s.Relief);
  ChkBruit->setChecked(s.Noise);
  ChkScanlines->setChecked(s.Scanlines);
  ChkFlouInt->setChecked(s.InnerBlur);
  ChkContoursNet->setChecked(s.SharpEdges);
  ChkNegatif->setChecked(s.Negative);
  ChkFiltre->setChecked(s.ColorFilter);
  ColorEditFiltre->SetColor(s.FilterColor);
  TrbOpaciteFiltre->setValue(s.FilterOpacity);
  ChkInverserFiltre->setChecked(s.FilterInvert);
  ChkRotation->setChecked(s.Rotate);
  (s.Rotation == brAnticlockwise ? RdbRotation2 : s.Rotation == brHalfTurn ? RdbRotation3 : RdbRotation1)
      ->setChecked(true);
  ChkSymetrie->setChecked(s.Flip);
  (s.FlipMode == bfHorizontal ? RdbSymetrie2 : RdbSymetrie1)->setChecked(true);
  CBCopyright->setChecked(s.Copyright);
  FollowControls();
  CmbFormatExportChange();
  SliderLabels();
}

void TAutoForm::LoadBatchSettings() {
  const TIniFile none;
  const TIniFile* ini = host_.SettingsFile();
  TBatchSettings s = Settings();
  ReadBatchSettings(ini ? *ini : none, s, host_.OpenFolder());
  SetSettings(s);
  LoadCopyrightSettings(*CopyrightForm, ini);
  FollowControls();
}

void TAutoForm::SaveBatchSettings() {
  TIniFile* ini = host_.SettingsFile();
  if (!ini) return;
  WriteBatchSettings(*ini, Settings());
  // Writes [Copyright] and saves the file; a failure keeps the file as it was.
  SaveCopyrightSettings(*CopyrightForm, ini);
}

void TAutoForm::FollowControls() {
  if (following_) return;
  following_ = true;
  const auto enable = [](bool on, std::initializer_list<QWidget*> widgets) {
    for (QWidget* w : widgets) w->setEnabled(on);
  };
  enable(ChkRedim->isChecked(), {LblLargeurImage, LblHauteurImage, SELargeurImage, SEHauteurImage, LblUnite, CmbUnite,
                                 ChkRedimProportions, ChkRedimOptimiser});
  enable(ChkCadre->isChecked(), {LblCouleurCadre, ColorEditCadre, LblLargeurCadre, SELargeurCadre, CBExterieur});
  const bool canvas = ChkZoneTravail->isChecked();
  enable(canvas, {LblLargeurZone, LblHauteurZone, SELargeurZone, SEHauteurZone, LblCouleurFond, ColorEditFond, LblMotif,
                  EdiMotif, SBMotif, SBMotif2, ChkOmbre, LblPosition, ToolBar});
  SELargeurOmbre->setEnabled(canvas && ChkOmbre->isChecked());
  SEDpi->setEnabled(ChkDpi->isChecked());
  enable(ChkFiltre->isChecked(), {ColorEditFiltre, ChkInverserFiltre, TrbOpaciteFiltre, LblOpaciteFiltre});
  enable(ChkRotation->isChecked(), {RdbRotation1, RdbRotation2, RdbRotation3});
  enable(ChkSymetrie->isChecked(), {RdbSymetrie1, RdbSymetrie2});
  enable(ChkSequence->isChecked(), {EdiSequence, LblExemple});
  SetEnabledRecursive(CopyrightForm, CBCopyright->isChecked());
  ApplyCopyrightFont(*CopyrightForm);
  following_ = false;
}

void TAutoForm::CmbFormatExportChange() {
  const bool jpeg = CmbFormatExport->currentIndex() == bfJpeg;
  for (QWidget* w : {static_cast<QWidget*>(TrbCompress), static_cast<QWidget*>(LblQual1),
                     static_cast<QWidget*>(LblQual2), static_cast<QWidget*>(LblCompress)})
    w->setVisible(jpeg);
  CmbNbCouleurs->setVisible(!jpeg);
  LblNbCouleurs->setVisible(!jpeg);
  EdiSequenceChange();
}

void TAutoForm::EdiSequenceChange() {
  const std::string example =
      Format(Tr(TextId::TrFixFmtBatchSequence), {S(EdiSequence->text()), 1, GetOutputExtension()});
  LblExemple->setText(Q(Format(TextId::GetTrFmtSequenceExample, {example})));
}

void TAutoForm::CmbUniteChange() {
  const bool percent = CmbUnite->currentIndex() == 1;
  syncSizes_ = false;
  for (TFloatSpinEdit* e : {SELargeurImage, SEHauteurImage}) {
    e->SetMaxValue(percent ? kBatchMaxPercent : kBatchMaxPixels);
    e->SetFormat(QLatin1String(percent ? "0.00" : "0"));
  }
  SELargeurImage->SetValue(percent ? 100 : kBatchPixelWidth);
  SEHauteurImage->SetValue(percent ? 100 : kBatchPixelHeight);
  syncSizes_ = true;
}

void TAutoForm::SizeChanged(bool width) {
  if (!syncSizes_ || CmbUnite->currentIndex() != 1 || !ChkRedimProportions->isChecked()) return;
  syncSizes_ = false;
  (width ? SEHauteurImage : SELargeurImage)->setText((width ? SELargeurImage : SEHauteurImage)->text());
  syncSizes_ = true;
}

void TAutoForm::SliderLabels() {
  LblLuminosite->setText(Q(Format(TextId::GetTrFmtBrightness, {TrbLuminosite->value()})));
  LblContraste->setText(Q(Format(TextId::GetTrFmtContrast, {TrbContraste->value()})));
  LblSaturation->setText(Q(Format(TextId::GetTrFmtSaturation, {TrbSaturation->value()})));
  LblGamma->setText(Q(Format(TextId::GetTrFmtGamma, {TrbGamma->value() / 10.0})));
  LblOpaciteFiltre->setText(Q(Format(TextId::GetTrFmtOpacity, {TrbOpaciteFiltre->value()})));
}

// --- Files ------------------------------------------------------------------------------

void TAutoForm::SetSourceFolder(const std::string& folder) {
  sourceFolder_ = folder;
  sameFolderWarned_ = false;
  EdiDirSrc->setText(Q(folder));
  ReadFileList();
}

void TAutoForm::SetExportFolder(const std::string& folder) {
  EdiDossierExport->setText(Q(folder));
  sameFolderWarned_ = false;
}

void TAutoForm::SetCustomFilter(const std::string& masks) {
  filter_ = masks.empty()
                ? BuildImageFilter(false, true, false)
                : Format(Tr(TextId::TrFixFmtBatchFilter),
                         {CaptionOr(TextId::GetTrLblFilter1, Tr(TextId::TrFixBatchCustomFilter)), masks, masks});
  const QSignalBlocker blocker(CmbFilter);
  CmbFilter->clear();
  const QStringList parts = Q(filter_).split(QLatin1Char('|'));
  for (int i = 0; i + 1 < parts.size(); i += 2) CmbFilter->addItem(parts[i], parts[i + 1]);
  CmbFilter->setCurrentIndex(0);
  ReadFileList();
}

void TAutoForm::ReadFileList() {
  FileListBox->clear();
  const std::string masks = S(CmbFilter->currentData().toString());
  if (!IsFolder(sourceFolder_) || masks.empty()) return;
  for (const std::string& path : FindFilesToList(sourceFolder_, masks, false)) {
    const std::string name = ExtractFileName(path);
    if (!IsBatchTempName(name)) FileListBox->addItem(Q(name));
  }
}

int TAutoForm::GetBatchFileCount() const {
  return CBSel->isChecked() ? int(FileListBox->selectedItems().size()) : FileListBox->count();
}

std::vector<std::string> TAutoForm::BatchFiles() const {
  std::vector<std::string> files;
  for (int i = 0; i < FileListBox->count(); ++i) {
    const QListWidgetItem* item = FileListBox->item(i);
    if (!CBSel->isChecked() || item->isSelected()) files.push_back(S(item->text()));
  }
  return files;
}

std::string TAutoForm::GetOutputExtension() const { return qm::GetOutputExtension(CmbFormatExport->currentIndex()); }

void TAutoForm::SBSrcClick() {
  const std::string folder = BrowseForFolder(S(LblDirSrc->text()), S(EdiDirSrc->text()));
  if (!folder.empty()) SetSourceFolder(folder);
}

void TAutoForm::SBExportClick() {
  const std::string folder = BrowseForFolder(S(LblDirExport->text()), S(EdiDossierExport->text()));
  if (!folder.empty()) SetExportFolder(folder);
}

void TAutoForm::SBFiltreClick() {
  const std::string label = CaptionOr(TextId::GetTrLblFilter1, Tr(TextId::TrFixBatchCustomFilter));
  const std::string def = S(CmbFilter->currentText()).rfind(label, 0) == 0 ? S(CmbFilter->currentData().toString()) : "";
  std::string answer = def;
  const std::string prompt =
      CaptionOr(TextId::GetTrLblFilter2, Tr(TextId::TrFixBatchEnterFilter)) + " :";
  if (!InputQueryWithDefault(label, prompt, def, answer)) answer = def;
  SetCustomFilter(Trim(answer));
}

void TAutoForm::SBMotifClick() {
  const std::string file = ChoosePatternFile();
  if (!file.empty()) EdiMotif->setText(Q(file));
}

// --- Pages ------------------------------------------------------------------------------

int TAutoForm::CurrentPage() const { return Pages->currentIndex(); }

bool TAutoForm::ChangePage(int page) {
  PageControl->setCurrentIndex(page);
  return CurrentPage() == page;
}

bool TAutoForm::PageControlChanging() {
  if (running_) return false;
  const int count = GetBatchFileCount();
  if (count == 0 || EdiDossierExport->text().isEmpty()) {
    ShowMessageDialog(Tr(count == 0 ? TextId::GetTrDlgBatch1 : TextId::GetTrDlgBatch2), mtWarning, mbOK);
    return false;
  }
  // The same folder, as the file system resolves both names.
  if (CurrentPage() == bpFiles && !sameFolderWarned_ &&
      ResolvedFolder(sourceFolder_) == ResolvedFolder(S(EdiDossierExport->text()))) {
    ShowMessageDialog(Tr(TextId::GetTrDlgBatch5), mtWarning, mbOK);
    sameFolderWarned_ = true;
  }
  return true;
}

void TAutoForm::PageControlChange(int page) {
  if (page == bpFiles) EdiDirSrc->setFocus();
  if (page == bpActions) TshActionsShow();
}

void TAutoForm::TshActionsShow() {
  BtnAction->setEnabled(true);
  MemRapport->setPlainText(Q(BuildBatchSummary()));
}

std::string TAutoForm::BuildBatchSummary() const {
  std::vector<std::string> lines;
  const auto add = [&lines](const std::string& line) { lines.push_back(line); };
  const int n = GetBatchFileCount();
  const std::string ext = GetOutputExtension();
  add(S(LblDirSrc->text()) + " " + sourceFolder_);
  add(D3(Format(Tr(TextId::TrFixFmtBatchCount), {n, LowerCase(GetImageCountWord(n))})));
  add({});
  add(S(LblDirExport->text()) + " " + S(EdiDossierExport->text()));
  add(D3(S(LblFormatExport->text()) + " " + S(CmbFormatExport->currentText())));
  if (CmbFormatExport->currentIndex() == bfJpeg) add(D3(Format(TextId::GetTrFmtCompress, {TrbCompress->value()})));
  else add(D3(CmbNbCouleurs->currentText()));
  if (ChkSequence->isChecked()) {
    const std::string base = S(EdiSequence->text());
    add({});
    add(D2(ChkSequence->text()));
    add(D3(Format(Tr(TextId::TrFixFmtBatchSequence), {base, 1, ext}) +
           Format(Tr(TextId::TrFixFmtBatchSequenceRange), {base, n, ext})));
  }
  const std::string pixels = GetPixelCountWord(2);
  if (ChkRedim->isChecked()) {
    add({});
    add(D2(ChkRedim->text()));
    const std::string w = S(SELargeurImage->text()), h = S(SEHauteurImage->text());
    if (CmbUnite->currentIndex() == 1) add(D3(Format(Tr(TextId::TrFixFmtBatchPercent), {w, h})));
    else add(D3(Format(Tr(TextId::TrFixFmtBatchPixels), {w, h, pixels})));
    if (ChkRedimProportions->isChecked()) add(D3(ChkRedimProportions->text()));
    if (ChkRedimOptimiser->isChecked()) add(D3(ChkRedimOptimiser->text()));
  }
  if (ChkCadre->isChecked()) {
    const int width = SELargeurCadre->Value();
    add({});
    add(D2(ChkCadre->text()));
    add(D3(S(LblCouleurCadre->text()) + " " + ColorToHexStr(ColorEditCadre->Color(), true)));
    add(D3(S(LblLargeurCadre->text()) + " " + Format(Tr(TextId::TrFixFmtBatchCount), {width, GetPixelCountWord(width)})));
    if (CBExterieur->isChecked()) add(D3(CBExterieur->text()));
  }
  if (ChkZoneTravail->isChecked()) {
    const int w = SELargeurZone->Value(), h = SEHauteurZone->Value();
    add({});
    add(D2(ChkZoneTravail->text()));
    add(D3(Format(Tr(TextId::TrFixFmtBatchCanvas), {w, h, GetPixelCountWord(w)})));
    add(D3(S(LblCouleurFond->text()) + " " + ColorToHexStr(ColorEditFond->Color(), true)));
    if (!EdiMotif->text().isEmpty()) add(D3(S(LblMotif->text()) + " " + S(EdiMotif->text())));
    if (ChkOmbre->isChecked())
      add(D3(D2(ChkOmbre->text()) + " " + Format(Tr(TextId::TrFixFmtBatchCount), {SELargeurOmbre->Value(), pixels})));
  }
  if (ChkDpi->isChecked()) {
    add({});
    add(D2(ChkDpi->text()));
    add(D3(SEDpi->text()));
  }
  const struct {
    bool Active;
    const QLabel* Label;
    const QComboBox* Channel;
  } adjustments[] = {{TrbLuminosite->value() != 0, LblLuminosite, CBCoucheLum},
                     {TrbContraste->value() != 0, LblContraste, CBCoucheCtr},
                     {TrbSaturation->value() != 0, LblSaturation, CBCoucheSat},
                     {TrbGamma->value() != kBatchNeutralGamma, LblGamma, CBCoucheGam}};
  if (std::any_of(std::begin(adjustments), std::end(adjustments), [](const auto& a) { return a.Active; })) {
    add({});
    add(D2(PageControl->tabText(bpAdjust)));
    for (const auto& a : adjustments) {
      if (!a.Active) continue;
      const std::string line = D3(a.Label->text());
      add(a.Channel->currentIndex() > 0
              ? Format(Tr(TextId::TrFixFmtBatchChannel), {line, S(a.Channel->currentText())})
              : line);
    }
  }
  const QCheckBox* filters[] = {ChkAdoucir, ChkFlouInt, ChkFlou,   ChkContoursNet, ChkDurcir,
                                ChkRelief,  ChkNegatif, ChkBruit, ChkScanlines};
  if (std::any_of(std::begin(filters), std::end(filters), [](const QCheckBox* b) { return b->isChecked(); })) {
    add({});
    add(D2(PageControl->tabText(bpFilters)));
    for (const QCheckBox* b : filters)
      if (b->isChecked()) add(D3(b->text()));
  }
  if (ChkFiltre->isChecked()) {
    add({});
    add(D2(ChkFiltre->text()));
    add(D3(S(LblCouleurCadre->text()) + " " + ColorToHexStr(ColorEditFiltre->Color(), true)));
    add(D3(LblOpaciteFiltre->text()));
    if (ChkInverserFiltre->isChecked()) add(D3(ChkInverserFiltre->text()));
  }
  if (ChkRotation->isChecked() || ChkSymetrie->isChecked()) {
    add({});
    add(D2(PageControl->tabText(bpTransform)));
    if (ChkRotation->isChecked())
      add(D3((RdbRotation2->isChecked() ? RdbRotation2 : RdbRotation3->isChecked() ? RdbRotation3 : RdbRotation1)->text()));
    if (ChkSymetrie->isChecked()) add(D3((RdbSymetrie2->isChecked() ? RdbSymetrie2 : RdbSymetrie1)->text()));
  }
  const std::string stamp = GetCopyrightText(*CopyrightForm);
  if (CBCopyright->isChecked() && !stamp.empty()) {
    add({});
    add(D2(PageControl->tabText(bpCopyright)));
    add(D3(stamp));
    add(D3((CopyrightForm->RBTop->isChecked() ? CopyrightForm->RBTop : CopyrightForm->RBBottom)->text()));
    if (CopyrightForm->CBTxtExt->isChecked()) add(D3(CopyrightForm->CBTxtExt->text()));
    if (CopyrightForm->EdiOpacite->isEnabled())
      add(D3(Format(TextId::GetTrFmtOpacity, {CopyrightForm->EdiOpacite->Value()})));
  }
  std::string text;
  for (size_t i = 0; i < lines.size(); ++i) text += (i ? "\n" : "") + lines[i];
  return text;
}

// --- Showing and hiding -------------------------------------------------------------------

void TAutoForm::showEvent(QShowEvent* e) {
  QDialog::showEvent(e);
  if (!running_) FormShow();
}

void TAutoForm::hideEvent(QHideEvent* e) {
  QDialog::hideEvent(e);
  if (!running_) FormHide();
}

void TAutoForm::FormShow() {
  // The settings name the source folder (or the shell's): the list reads it then.
  document_ = nullptr;
  host_.BeginBusy(Tr(TextId::GetTrStaAutomation), false);
  host_.SetBatchLock(this);
  LoadBatchSettings();
  EdiDirSrc->setFocus();
}

void TAutoForm::FormHide() {
  {
    const QSignalBlocker blocker(PageControl);
    PageControl->setCurrentIndex(bpFiles);
  }
  Pages->setCurrentIndex(bpFiles);
  host_.SetBatchLock(nullptr);
  host_.EndBusy();
  host_.UpdateCommandStates();
}

TNewImgForm* TAutoForm::RunDocument() const { return document_; }

// --- The run ------------------------------------------------------------------------------

void TAutoForm::Report(const std::string& line) { MemRapport->appendPlainText(Q(line)); }

bool TAutoForm::PollBatchAbort() {
  // Input too: the main window's key filter sees the keys here (the busy state's own
  // pump leaves them queued).
  QCoreApplication::processEvents(QEventLoop::AllEvents);
  if (abortRequested_ && !abortConfirmed_) {
    if (ShowMessageDialog(Tr(TextId::GetTrDlgBatch4), mtConfirmation, mbYes | mbNo) == mrYes) abortConfirmed_ = true;
    else abortRequested_ = false;
  }
  return abortRequested_;
}

void TAutoForm::BtnActionClick() {
  if (running_) return;
  SetCursorById(Qt::WaitCursor);
  running_ = true;
  hide();
  BtnAction->setEnabled(false);
  abortRequested_ = abortConfirmed_ = false;

  TBatchJob job;
  job.Settings = Settings();
  job.Files = BatchFiles();
  job.Threads = Threads;
  const TDialogPreferences prefs = host_.DialogPreferences();
  const TPictureFileSettings& files = host_.PictureFiles();
  job.Load = DefaultLoadRequest(files);
  job.Load.OnProgress = {};
  job.Load.OnError = {};
  job.Save = DefaultSaveRequest(files);
  job.Save.OnProgress = {};
  job.Save.OnError = {};
  job.Save.OnExifSource = {};
  job.Save.Jpeg.Quality = job.Settings.JpegQuality;
  job.Save.KeepExif = prefs.PreserveExif;
  job.KeepFileDate = prefs.PreserveFileDate;
  if (job.Settings.Canvas && !job.Settings.Pattern.empty()) {
    // A pattern that does not load leaves the canvas plain.
    TLoadResult pattern = LoadPicture(job.Settings.Pattern, job.Load);
    if (pattern.Result == frDone) {
      job.Pattern.Key = pattern.Bitmap.Transparent ? pattern.Bitmap.EffectiveTransparentColor() : clNone;
      job.Pattern.Bitmap = std::move(pattern.Bitmap);
      job.Pattern.Bitmap.SetPixelFormat(pf24bit);
    }
  }
  if (job.Settings.Copyright && !GetCopyrightText(*CopyrightForm).empty()) {
    job.Stamp = CopyrightForm->Settings();
    job.StampKeepsFileDate = prefs.PreserveFileDate;
  }

  Report({});
  Report(DecorateCaption(CaptionOr(TextId::GetTrLblFilesOk, Tr(TextId::TrFixBatchFilesOk)), ckLabel));
  TRunHost runHost(*this);
  report_ = RunBatchFiles(job, runHost);
  if (!report_.Failed.empty()) {
    Report({});
    Report(DecorateCaption(CaptionOr(TextId::GetTrLblFilesError, Tr(TextId::TrFixBatchFilesError)), ckLabel));
    for (size_t i = 0; i < report_.Failed.size(); ++i) {
      // A name kept from the run's own outputs says which.
      const TBatchFault fault = i < report_.Faults.size() ? report_.Faults[i] : TBatchFault::Failed;
      std::string line = Tr(TextId::TrFixBatchItem) + report_.Failed[i];
      if (fault != TBatchFault::Failed)
        line += Format(Tr(fault == TBatchFault::OtherSource ? TextId::TrFixFmtBatchOtherSource
                                                            : TextId::TrFixFmtBatchWrittenInRun),
                       {report_.RefusedNames[i]});
      Report(line);
    }
  }
  if (QWidget* main = host_.MainWindow()) main->setWindowTitle(QString::fromUtf8(kAppTitle));
  Report({});
  Report(!report_.Completed       ? Tr(TextId::GetTrLblBatchInterrupted)
         : report_.Failed.empty() ? Tr(TextId::GetTrLblbatchSuccess)
                                  : Tr(TextId::GetTrLblBatchFailures));
  MemRapport->moveCursor(QTextCursor::End);
  show();
  running_ = false;
  SetCursorById(Qt::ArrowCursor);
}

// --- The command --------------------------------------------------------------------------

namespace {

// The window, made at its first showing and kept; it goes with the devices.
class TBatchService {
 public:
  explicit TBatchService(TDialogHost& host) : host_(host) {}
  TBatchService(const TBatchService&) = delete;
  TBatchService& operator=(const TBatchService&) = delete;

  void Show() {
    if (!form_) {
      form_ = std::make_unique<TAutoForm>(host_, host_.MainWindow());
      CallFormCreationHook(form_.get());
      if (QWidget* main = host_.MainWindow()) {
        const QRect r = main->frameGeometry();
        form_->move(r.center() - QPoint(form_->width() / 2, form_->height() / 2));
      }
    }
    form_->show();
    form_->raise();
    form_->activateWindow();
  }
  bool Running() const { return form_ && form_->IsBatchRunning(); }
  void Abort() {
    if (form_) form_->RequestAbort();
  }

 private:
  TDialogHost& host_;
  std::unique_ptr<TAutoForm> form_;
};

}  // namespace

void AddBatchCommands(TDeviceCommands& devices, TDialogHost& host) {
  auto batch = std::make_shared<TBatchService>(host);
  devices.ShowBatch = [batch] { batch->Show(); };
  devices.IsBatchRunning = [batch] { return batch->Running(); };
  devices.AbortBatch = [batch] { batch->Abort(); };
}

}  // namespace qm
