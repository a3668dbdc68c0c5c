#include "views/CompressForms.h"

#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QEventLoop>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QVBoxLayout>
#include <algorithm>
#include <utility>

#include "imagefiles/JpegCodec.h"
#include "imagefiles/Metadata.h"
#include "imagefiles/PngCodec.h"
#include "platform/texts/Format.h"
#include "platform/texts/TextUtils.h"
#include "platform/texts/UiTexts.h"
#include "views/DocumentWindow.h"
#include "views/FormParts.h"

namespace qm {

namespace {

QPushButton* OkButton(QWidget* parent) {
  auto* b = new QPushButton(QText(CaptionOr(TextId::GetTrBtnOk, Tr(TextId::GetDlgOk))), parent);
  b->setObjectName(QStringLiteral("BOk"));
  b->setDefault(true);
  return b;
}

QPushButton* CancelButton(QWidget* parent, const std::string& caption) {
  auto* b = new QPushButton(QText(caption), parent);
  b->setObjectName(QStringLiteral("BAnnuler"));
  return b;
}

// The buttons at the bottom right, what comes before them at the left.
QHBoxLayout* ButtonRow(std::initializer_list<QWidget*> left, std::initializer_list<QWidget*> right) {
  auto* row = new QHBoxLayout;
  for (QWidget* w : left) row->addWidget(w);
  row->addStretch(1);
  for (QWidget* w : right) row->addWidget(w);
  return row;
}

}  // namespace

// --- JPEG ------------------------------------------------------------------------------

TJPGCompressForm::TJPGCompressForm(QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("JPGCompressForm"));
  setWindowTitle(QText(CaptionOr(TextId::GetTrLblJpegTitle, Tr(TextId::TrFixJpegCaption))));
  setWindowFlag(Qt::WindowStaysOnTopHint);
  TBN = Named(new QSlider(Qt::Horizontal, this), "TBN");
  TBN->setRange(10, 100);
  TBN->setPageStep(10);
  TBN->setTickInterval(5);
  TBN->setTickPosition(QSlider::TicksBelow);
  TBN->setValue(90);
  TBN->setMinimumWidth(240);
  LblN = Named(new QLabel(this), "LblN");
  LblN->setAlignment(Qt::AlignCenter);
  LblLow = Named(new QLabel(QText(CaptionOr(TextId::GetTrlLblCompressLow, Tr(TextId::TrFixCompressLow))), this), "LblLow");
  LblHigh =
      Named(new QLabel(QText(CaptionOr(TextId::GetTrlLblCompressHigh, Tr(TextId::TrFixCompressHigh))), this), "LblHigh");
  RBStandard =
      Named(new QRadioButton(QText(CaptionOr(TextId::GetTrLblStandard, Tr(TextId::TrFixStandard))), this), "RBStandard");
  RBProgressif = Named(
      new QRadioButton(QText(CaptionOr(TextId::GetTrLblProgressive, Tr(TextId::TrFixProgressive))), this), "RBProgressif");
  RBStandard->setChecked(true);
  CBExif = Named(new QCheckBox(QText(CaptionOr(TextId::GetTrLblPreserveExif, Tr(TextId::TrFixPreserveExif))), this),
                 "CBExif");
  LblStatut = Named(new QLabel(this), "LblStatut");
  LblStatut->setMinimumHeight(LblStatut->fontMetrics().height() + 4);
  BApercu = Named(new QPushButton(QText(CaptionOr(TextId::GetTrBtnPreview, Tr(TextId::GetDlgPicturePreview))), this),
                  "BApercu");
  BOk = OkButton(this);
  BAnnuler = CancelButton(this, CaptionOr(TextId::GetTrBtnCancel, Tr(TextId::GetDlgCancel)));

  auto* scale = new QHBoxLayout;
  scale->addWidget(LblLow);
  scale->addWidget(TBN, 1);
  scale->addWidget(LblHigh);
  auto* all = new QVBoxLayout(this);
  all->addWidget(LblN);
  all->addLayout(scale);
  all->addWidget(RBStandard);
  all->addWidget(RBProgressif);
  all->addWidget(CBExif);
  all->addWidget(LblStatut);
  all->addLayout(ButtonRow({BApercu}, {BOk, BAnnuler}));
  setLayout(all);

  connect(TBN, &QSlider::valueChanged, this, [this] { ShowValue(); });
  connect(BApercu, &QPushButton::clicked, this, [this] { Preview(); });
  connect(BOk, &QPushButton::clicked, this, [this] {
    ok_ = true;
    accept();
  });
  connect(BAnnuler, &QPushButton::clicked, this, &QDialog::reject);
  ShowValue();
}

int TJPGCompressForm::Quality() const { return TBN->value(); }
bool TJPGCompressForm::Progressive() const { return RBProgressif->isChecked(); }
bool TJPGCompressForm::KeepExif() const { return !CBExif->isHidden() && CBExif->isChecked(); }

void TJPGCompressForm::ShowValue() { LblN->setText(QText(Format(TextId::GetTrFmtCompress, {TBN->value()}))); }

bool TJPGCompressForm::Execute(TNewImgForm* window, const std::string& fileName, TJpegWriteOptions& options,
                               bool& keepExif, const std::function<void(QWidget* shown)>& hold) {
  window_ = window;
  sourceName_ = window && !window->FileName().empty() ? window->FileName() : fileName;
  TBN->setValue(std::clamp(options.Quality, TBN->minimum(), TBN->maximum()));
  (options.Progressive ? RBProgressif : RBStandard)->setChecked(true);
  CBExif->setHidden(!(keepExif && window && window->HasExif));
  CBExif->setChecked(keepExif);
  BApercu->setEnabled(window != nullptr);
  ok_ = false;
  // Modeless: the document stays free to scroll and zoom while the save waits here,
  // until the dialog hides or the application quits.
  setWindowModality(Qt::NonModal);
  QEventLoop wait;
  const QMetaObject::Connection hidden = connect(this, &QDialog::finished, &wait, &QEventLoop::quit);
  show();
  raise();
  activateWindow();
  if (hold) hold(this);
  if (isVisible()) wait.exec();
  disconnect(hidden);
  if (isVisible()) reject();  // the application quits: the dialog closes unanswered
  if (hold) hold(nullptr);
  window_ = nullptr;
  if (!ok_) return false;
  options.Quality = Quality();
  options.Progressive = Progressive();
  keepExif = KeepExif();
  return true;
}

void TJPGCompressForm::showEvent(QShowEvent* e) {
  QDialog::showEvent(e);
  ShowValue();
  previewed_ = false;
  LblStatut->clear();
  BOk->setFocus();
  if (!window_) return;
  // The preview state: the view shows the flattened picture as it is composed now.
  TLayeredImage& image = window_->Image();
  image.UpdatedComposition();
  image.SuspendComposition = true;
  image.InvalidateImage();
}

void TJPGCompressForm::hideEvent(QHideEvent* e) {
  Leave();
  QDialog::hideEvent(e);
}

void TJPGCompressForm::Leave() {
  if (!window_) return;
  TLayeredImage& image = window_->Image();
  if (!image.SuspendComposition) return;
  if (previewed_) std::swap(image.ComposedBitmap(), held_);
  held_ = TBitmap();
  previewed_ = false;
  image.SuspendComposition = false;
  image.InvalidateImage();
}

void TJPGCompressForm::Preview() {
  if (!window_) return;
  QApplication::setOverrideCursor(Qt::WaitCursor);
  LblStatut->setText(QText(DecorateCaption(Tr(TextId::GetTrStaProcessing), ckEllipsis)));
  LblStatut->repaint();
  TLayeredImage& image = window_->Image();
  TBitmap& composed = image.ComposedBitmap();
  // The flattened picture back in place, then compressed into the other bitmap, which
  // is then shown: the artefacts are seen where they will be.
  if (previewed_) std::swap(composed, held_);
  std::string status;
  try {
    const std::vector<uint8_t> file = JpegPreview(composed, TJpegWriteOptions{Quality(), Progressive()}, held_);
    std::swap(composed, held_);
    previewed_ = true;
    const size_t bytes =
        KeepExif() ? JpegSizeWithMetadata(file, sourceName_, composed.Width(), composed.Height()) : file.size();
    status = Format(TextId::GetTrFmtFileSize, {FormatFileSize(int64_t(bytes), false)});
  } catch (const std::exception& e) {
    previewed_ = false;
    status = e.what();
  }
  image.InvalidateImage();
  LblStatut->setText(QText(status));
  QApplication::restoreOverrideCursor();
}

// --- PNG -------------------------------------------------------------------------------

TPNGCompressForm::TPNGCompressForm(QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("PNGCompressForm"));
  setWindowTitle(QText(CaptionOr(TextId::GetTrLblPngTitle, Tr(TextId::TrFixPngCaption))));
  CBEntrelacer = Named(
      new QCheckBox(QText(CaptionOr(TextId::GetTrLblInterlaced, Tr(TextId::TrFixInterlaced))), this), "CBEntrelacer");
  RBFiltres = Named(new QGroupBox(QText(CaptionOr(TextId::GetTrLblFilterType, Tr(TextId::TrFixFilterType))), this),
                    "RBFiltres");
  Filters = new QButtonGroup(this);
  static constexpr std::pair<TextId, TextId> kItems[6] = {
      {TextId::GetTrLblNone, TextId::TrFixFilterNone},       {TextId::GetTrLblSub, TextId::TrFixFilterSub},
      {TextId::GetTrLblUp, TextId::TrFixFilterUp},           {TextId::GetTrLblAverage, TextId::TrFixFilterAverage},
      {TextId::GetTrLblPaeth, TextId::TrFixFilterPaeth},     {TextId::GetTrLblAutoFilter, TextId::TrFixFilterAuto}};
  auto* grid = new QVBoxLayout(RBFiltres);
  for (int i = 0; i < 6; ++i) {
    auto* rb = new QRadioButton(QText(CaptionOr(kItems[i].first, Tr(kItems[i].second))), RBFiltres);
    rb->setObjectName(QStringLiteral("RBFiltre%1").arg(i));
    Filters->addButton(rb, i);
    grid->addWidget(rb);
  }
  Filters->button(0)->setChecked(true);
  BOk = OkButton(this);
  BAnnuler = CancelButton(this, CaptionOr(TextId::GetTrBtnCancel, Tr(TextId::GetDlgCancel)));
  auto* all = new QVBoxLayout(this);
  all->addWidget(CBEntrelacer);
  all->addWidget(RBFiltres);
  all->addLayout(ButtonRow({}, {BOk, BAnnuler}));
  connect(BOk, &QPushButton::clicked, this, &QDialog::accept);
  connect(BAnnuler, &QPushButton::clicked, this, &QDialog::reject);
}

int GetPngFilterMask(const TPNGCompressForm& form) {
  static constexpr int kMasks[5] = {pfNone, pfSub, pfUp, pfAverage, pfPaeth};
  const int id = form.Filters->checkedId();
  return id >= 0 && id < 5 ? kMasks[id] : pfAllFilters;
}

bool IsPngInterlaced(const TPNGCompressForm& form) { return form.CBEntrelacer->isChecked(); }

bool TPNGCompressForm::Execute(const std::string& /*fileName*/, TPngWriteOptions& options) {
  if (exec() != QDialog::Accepted) return false;
  options.Interlaced = IsPngInterlaced(*this);
  options.FilterMask = GetPngFilterMask(*this);
  options.CompressionLevel = 7;
  return true;
}

// --- GIF -------------------------------------------------------------------------------

TGIFCompressForm::TGIFCompressForm(QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("GIFCompressForm"));
  // A translation titles it with its PNG title, the format's name changed.
  QString title = QText(Tr(TextId::TrFixGifCaption));
  if (IsTextFilled(TextId::GetTrLblPngTitle) && !Tr(TextId::GetTrLblPngTitle).empty())
    title = QText(Tr(TextId::GetTrLblPngTitle)).replace(QStringLiteral("PNG"), QStringLiteral("GIF"));
  setWindowTitle(title);
  CBEntrelacer = Named(
      new QCheckBox(QText(CaptionOr(TextId::GetTrLblInterlaced, Tr(TextId::TrFixInterlaced))), this), "CBEntrelacer");
  CBPalette = Named(new QCheckBox(QText(CaptionOr(TextId::GetTrLblOptimizedPalette, Tr(TextId::TrFixOptimizedPalette))),
                                  this),
                    "CBPalette");
  BOk = OkButton(this);
  BAnnuler = CancelButton(this, CaptionOr(TextId::GetTrBtnCancel, Tr(TextId::GetDlgCancel)));
  auto* all = new QVBoxLayout(this);
  all->addWidget(CBEntrelacer);
  all->addWidget(CBPalette);
  all->addLayout(ButtonRow({}, {BOk, BAnnuler}));
  connect(BOk, &QPushButton::clicked, this, &QDialog::accept);
  connect(BAnnuler, &QPushButton::clicked, this, &QDialog::reject);
}

bool TGIFCompressForm::Execute(const std::string& /*fileName*/, TGifWriteOptions& options) {
  CBEntrelacer->setChecked(options.Interlaced);
  CBPalette->setChecked(options.OptimizePalette);
  if (exec() != QDialog::Accepted) return false;
  options.Interlaced = CBEntrelacer->isChecked();
  options.OptimizePalette = CBPalette->isChecked();
  return true;
}

// --- Made once ---------------------------------------------------------------------------

namespace {

template <class Form>
Form& FormOnce(QPointer<Form>& form, QWidget* parent) {
  if (!form) form = new Form(parent);
  return *form;
}

QPointer<TJPGCompressForm> jpegForm;
QPointer<TPNGCompressForm> pngForm;
QPointer<TGIFCompressForm> gifForm;

}  // namespace

bool ExecuteJpegCompressDialog(QWidget* parent, TNewImgForm* window, const std::string& fileName,
                               TJpegWriteOptions& options, bool& keepExif,
                               const std::function<void(QWidget* shown)>& hold) {
  return FormOnce(jpegForm, parent).Execute(window, fileName, options, keepExif, hold);
}

bool ExecutePngCompressDialog(QWidget* parent, const std::string& fileName, TPngWriteOptions& options) {
  return FormOnce(pngForm, parent).Execute(fileName, options);
}

bool ExecuteGifCompressDialog(QWidget* parent, const std::string& fileName, TGifWriteOptions& options) {
  return FormOnce(gifForm, parent).Execute(fileName, options);
}

}  // namespace qm
