#include "devices/printing/PrintForms.h"

#include "devices/printing/Printing.h"

#include <QCheckBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QFrame>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPainter>
#include <QPrintDialog>
#include <QPrinter>
#include <QPushButton>
#include <QScrollBar>
#include <QVBoxLayout>

#include "controls/Beep.h"
#include "controls/SpinEdit.h"
#include "pixel/Shadow.h"
#include "platform/core/Messages.h"
#include "platform/qt/QtBitmap.h"
#include "platform/qt/SystemColors.h"
#include "platform/texts/Format.h"
#include "platform/texts/TextUtils.h"
#include "platform/texts/UiTexts.h"

namespace qm {
namespace {

QString Q(const std::string& s) { return QString::fromStdString(s); }

// A caption: the translation's entry (decorated by kind, when one is given) once a
// translation filled it, else the design caption.
QString Caption(TextId entry, TextId design, int kind = -1) {
  if (TranslationLoaded() && IsTextFilled(entry) && !Tr(entry).empty())
    return Q(kind < 0 ? Tr(entry) : DecorateCaption(Tr(entry), kind));
  return Q(Tr(design));
}

TFloatSpinEdit* FloatField(QWidget* parent, const char* name) {
  auto* e = new TFloatSpinEdit(parent);
  e->setObjectName(QLatin1String(name));
  e->SetFormat(QStringLiteral("0.00"));
  e->SetIncrement(1);
  e->SetMinValue(0);
  e->SetMaxValue(1000);
  e->setMaxLength(5);
  return e;
}

}  // namespace

// The page as the dialog previews it: the shadowed sheet, the image on it at the
// preview's zoom, the image's properties below. Its coordinates are the layout's
// preview coordinates.
class TImprForm::TPreview : public QWidget {
 public:
  TPreview(TPrintLayout& layout, QWidget* parent) : QWidget(parent), layout_(layout) {
    const int side = TPrintLayout::kPreviewOrigin * 2 + TPrintLayout::kPreviewSide;
    setFixedSize(side, side + 26);
    label_ = new QLabel(this);
    label_->setObjectName(QStringLiteral("LblProp"));
    label_->setAlignment(Qt::AlignCenter);
  }
  QLabel* Label() const { return label_; }
  bool Smooth = true;

  // The label under the sheet: 8 pixels below, 20 high.
  void PlaceLabel() {
    const TRect page = layout_.PreviewPageRect();
    label_->setGeometry(0, page.Bottom + 8, width(), 20);
  }

 protected:
  void paintEvent(QPaintEvent*) override {
    const TColor face = QColorToColor(palette().color(QPalette::Window));
    if (surface_.Width() != width() || surface_.Height() != height()) surface_ = TBitmap(width(), height());
    TBitmapCanvas canvas(surface_);
    canvas.FillRect(TRect{0, 0, width(), height()}, face);
    const TRect page = layout_.PreviewPageRect();
    DrawCanvasShadow(canvas, page, 4, 70, face, false, true);
    canvas.FillRect(page, clWhite);
    canvas.FillRect(TRect{page.Left, page.Top, page.Right, page.Top + 1}, 0xCCCCCC);
    canvas.FillRect(TRect{page.Left, page.Top, page.Left + 1, page.Bottom}, 0xCCCCCC);
    canvas.FillRect(TRect{page.Left, page.Bottom - 1, page.Right, page.Bottom}, 0x555555);
    canvas.FillRect(TRect{page.Right - 1, page.Top, page.Right, page.Bottom}, 0x555555);
    TImageZoom& zoom = layout_.Preview();
    zoom.Halftone = Smooth;
    zoom.SetTarget(&canvas);
    // SetTarget took the canvas's clip as the view: the preview's own comes back.
    const TRect view{page.Left + 1, page.Top + 1, page.Right - 1, page.Bottom - 1};
    zoom.SetViewRect(view);
    canvas.IntersectClip(view);
    TRect drawn;
    zoom.DrawTo(false, drawn);
    canvas.RestoreClip();
    zoom.SetTarget(nullptr);
    QPainter painter(this);
    painter.drawImage(0, 0, BitmapAsQImage(std::as_const(surface_)));
  }

 private:
  TPrintLayout& layout_;
  QLabel* label_;
  TBitmap surface_;
};

TImprForm::TImprForm(QPrinter& printer, TPrintUnit unit, bool smooth, QWidget* parent)
    : QDialog(parent), printer_(printer), smooth_(smooth) {
  setObjectName(QStringLiteral("TImprForm"));
  setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
  setModal(true);
  layout_.SetUnit(unit);
  BuildControls(unit);
  AskOutputFile = [this](QString& fileName) {
    fileName = QFileDialog::getSaveFileName(this, windowTitle(), fileName, QStringLiteral("PDF (*.pdf)"));
    return !fileName.isEmpty();
  };
}

TImprForm::~TImprForm() = default;

void TImprForm::BuildControls(TPrintUnit unit) {
  setFixedSize(490, 393);
  preview_ = new TPreview(layout_, this);
  preview_->Smooth = smooth_;
  LblProp = preview_->Label();
  LabelZoom = new QLabel(this);
  LabelZoom->setObjectName(QStringLiteral("LabelZoom"));
  ScrollBarZoom = new QScrollBar(Qt::Horizontal, this);
  ScrollBarZoom->setObjectName(QStringLiteral("ScrollBarZoom"));
  ScrollBarZoom->setRange(TPrintLayout::kBarMin, TPrintLayout::kBarMin);
  ScrollBarZoom->setPageStep(4);

  auto check = [this](const char* name, TextId entry, TextId design) {
    auto* box = new QCheckBox(Caption(entry, design), this);
    box->setObjectName(QLatin1String(name));
    return box;
  };
  CBCentrer = check("CBCentrer", TextId::GetTrPrnPageCenter, TextId::TrFixPrnPageCenter);
  CBAjuster = check("CBAjuster", TextId::GetTrPrnFitPage, TextId::TrFixPrnFitPage);
  CBTailleReelle = check("CBTailleReelle", TextId::GetTrPrnOriginalSize, TextId::TrFixPrnOriginalSize);
  CBContours = check("CBContours", TextId::GetTrPrnBox, TextId::TrFixPrnBox);
  CBTraits = check("CBTraits", TextId::GetTrPrnCropMarks, TextId::TrFixPrnCropMarks);

  // The two groups: their captions end with the unit, " Taille de l'image (cm) ".
  const std::string suffix =
      "(" + Tr(unit == TPrintUnit::Inches ? TextId::GetTrLblInches : TextId::GetTrLblCm) + ") ";
  const QString ok = Caption(TextId::GetTrBtnOk, TextId::GetDlgOk);
  auto group = [&](const char* name, TextId entry, TextId design, TFloatSpinEdit*& a, const char* aName,
                   TextId aEntry, TextId aDesign, TFloatSpinEdit*& b, const char* bName, TextId bEntry,
                   TextId bDesign, int kind, QPushButton*& button, const char* buttonName) {
    auto* box = new QGroupBox(Caption(entry, design, 0) + Q(suffix), this);
    box->setObjectName(QLatin1String(name));
    auto* grid = new QGridLayout(box);
    grid->setContentsMargins(8, 4, 8, 6);
    grid->setVerticalSpacing(3);
    a = FloatField(box, aName);
    b = FloatField(box, bName);
    grid->addWidget(new QLabel(Caption(aEntry, aDesign, kind), box), 0, 0);
    grid->addWidget(a, 0, 1);
    grid->addWidget(new QLabel(Caption(bEntry, bDesign, kind), box), 1, 0);
    grid->addWidget(b, 1, 1);
    button = new QPushButton(ok, box);
    button->setObjectName(QLatin1String(buttonName));
    button->setAutoDefault(false);
    button->setFixedWidth(40);
    grid->addWidget(button, 0, 2, 2, 1, Qt::AlignVCenter);
    grid->setColumnStretch(1, 1);
    return box;
  };
  GBTaille = group("GBTaille", TextId::GetTrMnuImageSize, TextId::TrFixPrnSize, SEL, "SEL", TextId::GetTrLblWidth,
                   TextId::TrFixPrnWidth, SEH, "SEH", TextId::GetTrLblHeight, TextId::TrFixPrnHeight, -1, BOkTaille,
                   "BOkTaille");
  GBMarges = group("GBMarges", TextId::GetTrLblPosition, TextId::TrFixPrnPosition, SEX, "SEX", TextId::GetTrLblLeft,
                   TextId::TrFixPrnLeft, SEY, "SEY", TextId::GetTrLblTop, TextId::TrFixPrnTop, 2, BOkMarges,
                   "BOkMarges");

  SECopies = new TSpinEdit2(this);
  SECopies->setObjectName(QStringLiteral("SECopies"));
  SECopies->SetMinValue(1);
  SECopies->SetMaxValue(100);
  SECopies->SetValue(1);
  auto* LCopies = new QLabel(Caption(TextId::GetTrLblCopies, TextId::TrFixPrnCopies), this);
  LCopies->setObjectName(QStringLiteral("LCopies"));
  LblResolution = new QLabel(this);
  LblResolution->setObjectName(QStringLiteral("LblResolution"));

  auto button = [this](const char* name, const QString& text) {
    auto* b = new QPushButton(text, this);
    b->setObjectName(QLatin1String(name));
    b->setAutoDefault(false);
    return b;
  };
  BConfigurer = button("BConfigurer", Caption(TextId::GetTrBtnSetup, TextId::TrFixPrnSetup, 1));
  BImprimer = button("BImprimer", Caption(TextId::GetTrBtnPrint, TextId::TrFixPrnPrint));
  BAnnuler = button("BAnnuler", Caption(TextId::GetTrBtnCancel, TextId::GetDlgCancel));
  BImprimer->setDefault(true);

  // The sheet and the scale on the left, the settings on the right, the buttons below.
  auto* left = new QVBoxLayout;
  left->setSpacing(2);
  left->addWidget(preview_);
  left->addStretch(1);
  auto* scale = new QVBoxLayout;
  scale->setContentsMargins(TPrintLayout::kPreviewOrigin - 6, 0, 0, 0);
  scale->addWidget(LabelZoom);
  scale->addWidget(ScrollBarZoom);
  left->addLayout(scale);
  auto* right = new QVBoxLayout;
  right->setSpacing(3);
  right->addWidget(CBCentrer);
  right->addWidget(CBAjuster);
  right->addWidget(CBTailleReelle);
  right->addWidget(GBTaille);
  right->addWidget(GBMarges);
  right->addWidget(CBContours);
  right->addWidget(CBTraits);
  auto* copies = new QHBoxLayout;
  copies->addWidget(LCopies);
  copies->addWidget(SECopies);
  copies->addStretch(1);
  right->addLayout(copies);
  right->addWidget(LblResolution);
  right->addStretch(1);
  auto* columns = new QHBoxLayout;
  columns->addLayout(left);
  columns->addSpacing(4);
  columns->addLayout(right, 1);
  auto* buttons = new QHBoxLayout;
  buttons->setContentsMargins(TPrintLayout::kPreviewOrigin - 6, 0, 0, 0);
  buttons->addWidget(BConfigurer);
  buttons->addStretch(1);
  buttons->addWidget(BImprimer);
  buttons->addWidget(BAnnuler);
  auto* outer = new QVBoxLayout(this);
  outer->setContentsMargins(6, 0, 10, 10);
  outer->addLayout(columns, 1);
  outer->addLayout(buttons);

  connect(ScrollBarZoom, &QScrollBar::valueChanged, this, [this](int v) { ScrollBarZoomScroll(v); });
  connect(CBCentrer, &QCheckBox::clicked, this, [this] { CBCentrerClick(); });
  connect(CBAjuster, &QCheckBox::clicked, this, [this] { CBAjusterClick(); });
  connect(CBTailleReelle, &QCheckBox::clicked, this, [this] { CBTailleReelleClick(); });
  connect(BOkTaille, &QPushButton::clicked, this, [this] { BOkTailleClick(); });
  connect(BOkMarges, &QPushButton::clicked, this, [this] { BOkMargesClick(); });
  connect(BConfigurer, &QPushButton::clicked, this, [this] { BConfigurerClick(); });
  connect(BImprimer, &QPushButton::clicked, this, [this] { BImprimerClick(); });
  connect(BAnnuler, &QPushButton::clicked, this, [this] { reject(); });
  // A size typed: the other side follows by the image's proportions.
  SEL->OnChange = [this] {
    if (updating_) return;
    layout_.EditWidth(SEL->Value());
    updating_ = true;
    SEH->SetValue(layout_.Fields().Height);
    updating_ = false;
  };
  SEH->OnChange = [this] {
    if (updating_) return;
    layout_.EditHeight(SEH->Value());
    updating_ = true;
    SEL->SetValue(layout_.Fields().Width);
    updating_ = false;
  };
  auto position = [this] {
    if (!updating_) layout_.EditPosition(SEX->Value(), SEY->Value());
  };
  SEX->OnChange = position;
  SEY->OnChange = position;
  for (TSpinEditBase* e : {static_cast<TSpinEditBase*>(SEL), static_cast<TSpinEditBase*>(SEH),
                           static_cast<TSpinEditBase*>(SEX), static_cast<TSpinEditBase*>(SEY),
                           static_cast<TSpinEditBase*>(SECopies)})
    e->installEventFilter(this);
}

TPrintOptions TImprForm::Options() const {
  TPrintOptions o;
  o.OutlineOnly = CBContours->isChecked();
  o.CutLines = CBTraits->isChecked();
  o.Smooth = smooth_;
  return o;
}

bool TImprForm::Execute(const TBitmap& image, double resolution, const std::string& caption,
                        const std::string& jobName) {
  setWindowTitle(Q(caption));
  jobName_ = jobName;
  CBContours->setChecked(false);
  layout_.SetImage(&image, resolution);
  printer_.setPageOrientation(layout_.Landscape() ? QPageLayout::Landscape : QPageLayout::Portrait);
  ReadPage();
  LblProp->setText(Q(Format("%d x %d %s (%s)", {image.Width(), image.Height(), Tr(TextId::GetTrLblPixels),
                                                  Format(TextId::GetTrFmtResolution, {resolution})})));
  preview_->PlaceLabel();
  ShowLayout();
  if (QWidget* main = parentWidget())
    move(main->mapToGlobal(main->rect().center()) - QPoint(width() / 2, height() / 2));
  BImprimer->setFocus();
  const bool ok = exec() == QDialog::Accepted;
  layout_.Preview().SetBitmap(nullptr);
  return ok;
}

void TImprForm::ReadPage() { layout_.SetPage(ReadPrintPage(printer_, layout_.Unit())); }

void TImprForm::ShowLayout() {
  updating_ = true;
  const TPrintLayout& l = layout_;
  // The bar is enabled while it takes its position, then shows its state again.
  ScrollBarZoom->setRange(TPrintLayout::kBarMin, l.BarMax());
  ScrollBarZoom->setValue(l.BarPosition());
  LabelZoom->setText(Q(Format(TextId::GetTrFmtScale, {l.ScalePercent()})));
  ShowSizeFields();
  SEX->SetValue(l.Fields().Left);
  SEY->SetValue(l.Fields().Top);
  CBCentrer->setChecked(l.Centred());
  CBAjuster->setChecked(l.FitPage());
  CBTailleReelle->setChecked(l.RealSize());
  CBCentrer->setEnabled(l.CentreEnabled());
  CBAjuster->setEnabled(l.FitPageEnabled());
  CBTailleReelle->setEnabled(l.RealSizeEnabled());
  ScrollBarZoom->setEnabled(l.ScaleEnabled());
  LabelZoom->setEnabled(l.ScaleEnabled());
  GBTaille->setEnabled(l.SizeEnabled());
  GBMarges->setEnabled(l.PositionEnabled());
  updating_ = false;
  preview_->update();
}

void TImprForm::ShowSizeFields() {
  SEL->SetValue(layout_.Fields().Width);
  SEH->SetValue(layout_.Fields().Height);
  double dpi = 0;
  // No value to show for a printed side of 0.
  LblResolution->setText(layout_.RelativeResolution(dpi) ? Q(Format(TextId::GetTrFmtResolution2, {dpi})) : QString());
}

TFloatSpinEdit* TImprForm::Field(int code) const {
  switch (code) {
    case 1: return SEL;
    case 2: return SEH;
    case 3: return SEX;
    case 4: return SEY;
    default: return nullptr;
  }
}

TPrintFault TImprForm::CheckFields() const {
  if (layout_.FitPage()) return {};
  const TSpinEditBase* fields[] = {SEL, SEH, SEX, SEY, SECopies};
  for (int i = 0; i < 5; ++i)
    if (fields[i]->text().trimmed().isEmpty()) return {i + 1, Tr(TextId::GetTrDldGlb1)};
  return layout_.Check();
}

bool TImprForm::Accepts(const TPrintFault& fault) {
  if (!fault.Field) return true;
  ShowMessageDialog(fault.Message, mtWarning, mbOK);
  QLineEdit* field = fault.Field == 5 ? static_cast<QLineEdit*>(SECopies) : Field(fault.Field);
  if (field) {
    field->setFocus();
    field->selectAll();
  }
  return false;
}

void TImprForm::ScrollBarZoomScroll(int position) {
  if (updating_ || !layout_.ScaleEnabled()) return;
  layout_.ScrollTo(position);
  ShowLayout();
}

void TImprForm::BOkTailleClick() {
  if (!Accepts(CheckFields())) return;
  layout_.ApplySize();
  ShowLayout();
}

void TImprForm::BOkMargesClick() {
  if (!Accepts(CheckFields())) return;
  layout_.ApplyPosition();
  ShowLayout();
}

void TImprForm::CBCentrerClick() {
  layout_.SetCentred(CBCentrer->isChecked());
  ShowLayout();
}

void TImprForm::CBAjusterClick() {
  layout_.SetFitPage(CBAjuster->isChecked());
  ShowLayout();
}

void TImprForm::CBTailleReelleClick() {
  if (!layout_.SetRealSize(CBTailleReelle->isChecked())) {
    ShowMessageDialog(Tr(TextId::GetTrDlgPrint5), mtWarning, mbOK);
  }
  ShowLayout();
}

void TImprForm::BConfigurerClick() {
  QPrintDialog setup(&printer_, this);
  if (setup.exec() != QDialog::Accepted) return;
  ReadPage();
  preview_->PlaceLabel();
  ShowLayout();
}

void TImprForm::BImprimerClick() {
  if (!Accepts(CheckFields())) return;
  layout_.ApplyPending();
  ShowLayout();
  // The PDF file printer asks where to write at each print, unless the printer's setup
  // named the file; the folder asked last is proposed again.
  const QString named = printer_.outputFileName();
  if (printer_.outputFormat() == QPrinter::PdfFormat && (named.isEmpty() || named == askedFile_)) {
    QString file = QFileInfo(Q(jobName_)).completeBaseName() + QStringLiteral(".pdf");
    if (!askedFile_.isEmpty()) file = QFileInfo(askedFile_).dir().filePath(file);
    if (!AskOutputFile || !AskOutputFile(file)) return;
    if (QFileInfo(file).suffix().isEmpty()) file += QStringLiteral(".pdf");
    askedFile_ = file;
    printer_.setOutputFileName(file);
  }
  printer_.setDocName(Q(jobName_));
  printer_.setCopyCount(SECopies->Value());
  accept();
}

bool TImprForm::eventFilter(QObject* watched, QEvent* e) {
  if (e->type() != QEvent::KeyPress) return QDialog::eventFilter(watched, e);
  const auto* key = static_cast<QKeyEvent*>(e);
  // No field takes a sign.
  if (key->text() == QLatin1String("+") || key->text() == QLatin1String("-")) {
    ControlBeep();
    return true;
  }
  if (key->key() != Qt::Key_Return && key->key() != Qt::Key_Enter) return QDialog::eventFilter(watched, e);
  // Enter in a field applies its group; its text is written back normalised.
  if (auto* field = dynamic_cast<TFloatSpinEdit*>(watched)) {
    if (!field->text().trimmed().isEmpty()) field->SetValue(field->Value());
    if (field == SEL || field == SEH) BOkTailleClick();
    else BOkMargesClick();
  }
  return true;
}

// --- The cancel window ----------------------------------------------------------------------

TAnnulerForm::TAnnulerForm(QWidget* parent)
    : QWidget(parent, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint) {
  setObjectName(QStringLiteral("TAnnulerForm"));
  setFixedSize(282, 79);
  auto* panel = new QFrame(this);
  panel->setFrameShape(QFrame::Panel);
  panel->setFrameShadow(QFrame::Raised);
  auto* LabelTitre = new QLabel(Caption(TextId::GetTrPrnSpool, TextId::TrFixPrnSpool, 1), panel);
  LabelTitre->setObjectName(QStringLiteral("LabelTitre"));
  LabelTitre->setAlignment(Qt::AlignCenter);
  auto* BAnnuler = new QPushButton(Caption(TextId::GetTrBtnCancel, TextId::GetDlgCancel), panel);
  BAnnuler->setObjectName(QStringLiteral("BAnnuler"));
  auto* v = new QVBoxLayout(panel);
  v->addWidget(LabelTitre);
  v->addWidget(BAnnuler, 0, Qt::AlignHCenter);
  auto* outer = new QVBoxLayout(this);
  outer->setContentsMargins(0, 0, 0, 0);
  outer->addWidget(panel);
  connect(BAnnuler, &QPushButton::clicked, this, [this] {
    cancelled_ = true;
    if (OnCancel) OnCancel();
  });
}

void TAnnulerForm::Start(QWidget* centreOn) {
  cancelled_ = false;
  if (centreOn) move(centreOn->mapToGlobal(centreOn->rect().center()) - QPoint(width() / 2, height() / 2));
  show();
  raise();
  repaint();  // painted before the job holds the event loop
}

}  // namespace qm
