#include "views/GifAnimForm.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QUrl>
#include <QVBoxLayout>
#include <algorithm>
#include <filesystem>

#include "controls/SpinEdit.h"
#include "imagefiles/FileDispatch.h"
#include "platform/core/Messages.h"
#include "platform/texts/Format.h"
#include "platform/texts/TextUtils.h"
#include "platform/texts/UiTexts.h"
#include "views/DocumentWindow.h"
#include "views/DocumentWindowHost.h"
#include "views/FormParts.h"
#include "views/PictureDialogs.h"
#include "views/WindowLayerHost.h"

namespace qm {

namespace {

// The preview's files, under these names in the editor's own temporary folder.
constexpr char kPreviewGif[] = "GIFTest-Quillomatic.gif";
constexpr char kCheckerTile[] = "BrushTest-Quillomatic.gif";
constexpr char kPreviewPage[] = "HtmlTest-Quillomatic.htm";

bool editorOpen = false;

// The page's background under a transparent animation: two light grey squares on white.
TBitmap CheckerTile() {
  TBitmap tile(16, 16, pf24bit, clWhite);
  tile.FillRect(TRect{0, 0, 8, 8}, TColor(0xC0C0C0));
  tile.FillRect(TRect{8, 8, 16, 16}, TColor(0xC0C0C0));
  return tile;
}

}  // namespace

bool IsGifAnimEditorOpen() { return editorOpen; }

TGifAnimForm::TGifAnimForm(QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("GifAnimForm"));
  setWindowTitle(QText(CleanMenuCaption(CaptionOr(TextId::GetTrMnuAnimatedGif, Tr(TextId::TrFixGifAnimCaption)))));
  setWindowFlag(Qt::WindowStaysOnTopHint);
  setModal(false);
  ChooseFile = RunSavePictureDialog;
  OpenPage = [](const QUrl& page) { QDesktopServices::openUrl(page); };

  CBImages = Named(new QComboBox(this), "CBImages");
  CBImages->setMinimumWidth(220);
  SEDelai = Named(new TSpinEdit2(this), "SEDelai");
  SEDelai->SetMinValue(0);
  SEDelai->SetMaxValue(1000);
  SEDelai->SetValue(100);
  SEDelai->installEventFilter(this);
  Label1 = Named(new QLabel(QText(CaptionOr(TextId::GetTrLblDelay, Tr(TextId::TrFixDelay))), this), "Label1");
  LblDelai = Named(new QLabel(QText(CaptionOr(TextId::GetTrLblDelay2, Tr(TextId::TrFixDelayHint))), this), "LblDelai");
  CBLoop = Named(new QCheckBox(QText(CaptionOr(TextId::GetTrLblLoop, Tr(TextId::TrFixLoop))), this), "CBLoop");
  CBLoop->setChecked(true);
  RBOptimiser = Named(
      new QRadioButton(QText(CaptionOr(TextId::GetTrLblOptimizedPalette, Tr(TextId::TrFixOptimizedPalette))), this),
      "RBOptimiser");
  const std::string web = Tr(TextId::TrLblWeb216).empty() ? Tr(TextId::TrFixWeb216) : Tr(TextId::TrLblWeb216);
  RBNetscape = Named(new QRadioButton(QText(web), this), "RBNetscape");
  RBNetscape->setChecked(true);
  CBDiffuse = Named(new QCheckBox(QText(CaptionOr(TextId::GetTrLblDiffusion, Tr(TextId::TrFixDiffusion))), this),
                    "CBDiffuse");
  CBDiffuse->setChecked(true);
  CBTransp = Named(new QCheckBox(QText(CaptionOr(TextId::GetTrLblTransparent, Tr(TextId::TrFixTransparency))), this),
                   "CBTransp");
  CBrestoreBkg = Named(
      new QCheckBox(QText(CaptionOr(TextId::GetTrLblRestoreBkg, Tr(TextId::TrFixRestoreBkg))), this), "CBrestoreBkg");
  BApercu = Named(new QPushButton(QText(CaptionOr(TextId::GetTrBtnPreview, Tr(TextId::GetDlgPicturePreview))), this),
                  "BApercu");
  BOk = Named(new QPushButton(QText(CaptionOr(TextId::GetTrBtnExport, Tr(TextId::TrFixExport))), this), "BOk");
  BOk->setDefault(true);
  BAnnuler = Named(new QPushButton(QText(CaptionOr(TextId::GetTrBtnCancel, Tr(TextId::GetDlgCancel))), this), "BAnnuler");

  auto* delay = new QHBoxLayout;
  delay->addWidget(Label1);
  delay->addWidget(SEDelai);
  delay->addWidget(LblDelai, 1);
  auto* boxes = new QGridLayout;
  boxes->addWidget(RBNetscape, 0, 0);
  boxes->addWidget(CBLoop, 0, 1);
  boxes->addWidget(RBOptimiser, 1, 0);
  boxes->addWidget(CBDiffuse, 1, 1);
  boxes->addWidget(CBTransp, 2, 0);
  boxes->addWidget(CBrestoreBkg, 2, 1);
  auto* buttons = new QHBoxLayout;
  buttons->addWidget(BApercu);
  buttons->addStretch(1);
  buttons->addWidget(BOk);
  buttons->addWidget(BAnnuler);
  auto* all = new QVBoxLayout(this);
  all->addWidget(CBImages);
  all->addLayout(delay);
  all->addLayout(boxes);
  all->addLayout(buttons);

  connect(CBImages, qOverload<int>(&QComboBox::currentIndexChanged), this, [this](int i) { ItemChosen(i); });
  SEDelai->OnChange = [this] { DelayEdited(); };
  connect(CBTransp, &QCheckBox::toggled, this, [this](bool on) {
    if (on) CBrestoreBkg->setChecked(false);
    CBrestoreBkg->setEnabled(!on);
  });
  connect(BApercu, &QPushButton::clicked, this, [this] { Preview(); });
  connect(BOk, &QPushButton::clicked, this, [this] { Export(); });
  connect(BAnnuler, &QPushButton::clicked, this, &QDialog::reject);
}

TGifAnimForm::~TGifAnimForm() {
  if (isVisible()) editorOpen = false;
}

bool TGifAnimForm::Open(TNewImgForm& window, const std::string& folder) {
  TLayeredImage& image = window.Image();
  if (image.GetLayerCount() < 2) {
    ShowMessageDialog(Tr(TextId::GetTrDlgLayer3), mtWarning, mbOK);
    return false;
  }
  if (window_) disconnect(window_, nullptr, this, nullptr);
  window_ = &window;
  // The editor works on its document only: it goes when the document's window does.
  connect(&window, &QObject::destroyed, this, &QWidget::close);
  folder_ = folder;
  // A delay per layer above the background, 100 each, then the kept ones as far as
  // both lists go.
  const int layers = image.GetLayerCount() - 1;
  delays_.assign(size_t(layers), 100);
  for (size_t i = 0; i < delays_.size() && i < kept_.size(); ++i) delays_[i] = kept_[i];
  filling_ = true;
  CBImages->clear();
  CBImages->addItem(QText(Tr(TextId::GetOeAll)));
  for (int i = 1; i <= layers; ++i)
    CBImages->addItem(QText(Format(Tr(TextId::TrFixFmtGifAnimItem), {i, image.Layers[i].GetDisplayName()})));
  CBImages->setCurrentIndex(0);
  filling_ = false;
  ItemChosen(0);
  editorOpen = true;
  show();
  raise();
  activateWindow();
  return true;
}

void TGifAnimForm::ItemChosen(int index) {
  if (filling_ || index < 0) return;
  filling_ = true;
  SEDelai->SetValue(index == 0 ? (delays_.empty() ? 100 : delays_[0]) : delays_[size_t(index - 1)]);
  filling_ = false;
  LblDelai->setVisible(index > 0);
  if (index > 0 && window_ && index < window_->Image().GetLayerCount()) {
    window_->Image().SetActiveLayerIndex(index);
    TWindowLayerHost(*window_).LayerStackChanged(TLayerChange::Selected, index);
    window_->Host().ActiveLayerChanged(*window_);
  }
}

void TGifAnimForm::DelayEdited() {
  if (filling_ || SEDelai->text().trimmed().isEmpty()) return;
  const int value = std::clamp(SEDelai->Value(), 0, 1000);
  const int index = CBImages->currentIndex();
  if (index <= 0)
    std::fill(delays_.begin(), delays_.end(), value);
  else if (size_t(index - 1) < delays_.size())
    delays_[size_t(index - 1)] = value;
}

bool TGifAnimForm::eventFilter(QObject* watched, QEvent* e) {
  // Enter in the delay applies it, and is not the dialog's default button.
  if (watched == SEDelai && e->type() == QEvent::KeyPress) {
    const int key = static_cast<QKeyEvent*>(e)->key();
    if (key == Qt::Key_Return || key == Qt::Key_Enter) {
      DelayEdited();
      return true;
    }
  }
  return QDialog::eventFilter(watched, e);
}

TGifAnimOptions TGifAnimForm::Options() const {
  TGifAnimOptions o;
  o.Delays = delays_;
  o.Loop = CBLoop->isChecked();
  o.Palette = RBOptimiser->isChecked() ? TGifAnimPalette::Optimized : TGifAnimPalette::Web216;
  o.Diffuse = CBDiffuse->isChecked();
  o.Transparent = CBTransp->isChecked();
  o.RestoreBackground = CBrestoreBkg->isChecked();
  return o;
}

bool TGifAnimForm::Ready() {
  if (!window_) return false;
  if (window_->Image().GetLayerCount() < 2) {
    ShowMessageDialog(Tr(TextId::GetTrDlgLayer3), mtWarning, mbOK);
    return false;
  }
  if (SEDelai->text().trimmed().isEmpty()) {
    ShowMessageDialog(Tr(TextId::GetTrDldGlb1), mtWarning, mbOK);
    return false;
  }
  // Layers added since the editor opened take 100, as a new showing would give them.
  delays_.resize(size_t(window_->Image().GetLayerCount() - 1), 100);
  return true;
}

std::string TGifAnimForm::PreviewFolder() const { return temp_ ? temp_->path().toStdString() : std::string(); }

void TGifAnimForm::WritePage(const std::string& folder, bool withTile) const {
  const TBitmap& screen = window_->Image().Layers[0].Image;
  QString line13 = (RBOptimiser->isChecked() ? RBOptimiser : RBNetscape)->text();
  for (const QCheckBox* box : {CBDiffuse, CBLoop, CBTransp, CBrestoreBkg})
    if (box->isChecked()) line13 += QStringLiteral(" / ") + box->text();
  const QString tile = withTile ? QStringLiteral(" background=\"%1\"").arg(QLatin1String(kCheckerTile)) : QString();
  const QStringList lines = {
      QStringLiteral("<html>"),
      QStringLiteral("<head>"),
      QStringLiteral("<title>") + windowTitle().toHtmlEscaped() + QStringLiteral("</title>"),
      QStringLiteral("</head>"),
      QStringLiteral("<body bgcolor=\"#FFFFFF\">"),
      QStringLiteral("<table border=\"0\" cellpadding=\"0\" cellspacing=\"0\" align=\"center\">"),
      QStringLiteral("<td") + tile + QStringLiteral(">"),
      QStringLiteral("<img src=\"%1\" width=\"%2\" height=\"%3\">")
          .arg(QLatin1String(kPreviewGif))
          .arg(screen.Width())
          .arg(screen.Height()),
      QStringLiteral("</td>"),
      QStringLiteral("</tr>"),
      QStringLiteral("</table>"),
      QStringLiteral("<p align=\"center\">"),
      line13.toHtmlEscaped(),
      QStringLiteral("<br>"),
      QStringLiteral("(%1 x %2)").arg(screen.Width()).arg(screen.Height()),
      QStringLiteral("</p>"),
      QStringLiteral("</body>"),
      QStringLiteral("</html>")};
  QFile page(QString::fromStdString(folder) + QLatin1Char('/') + QLatin1String(kPreviewPage));
  if (!page.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Text)) return;
  page.write((lines.join(QLatin1Char('\n')) + QLatin1Char('\n')).toUtf8());
}

bool TGifAnimForm::Preview() {
  if (!Ready()) return false;
  if (!temp_) {
    temp_ = std::make_unique<QTemporaryDir>(QDir::tempPath() + QStringLiteral("/quillomatic-gif-XXXXXX"));
    if (!temp_->isValid()) {
      temp_.reset();
      return false;
    }
  }
  const std::string folder = PreviewFolder();
  QApplication::setOverrideCursor(Qt::WaitCursor);
  bool transparent = false;
  bool done = true;
  try {
    SaveGifAnimation(folder + "/" + kPreviewGif, window_->Image(), Options(), &transparent);
  } catch (const std::exception&) {
    done = false;
  }
  if (done) {
    if (transparent) {
      // Written without a failure message: the page only loses its checkerboard.
      TBitmap tile = CheckerTile();
      SavePicture(folder + "/" + kCheckerTile, tile, TSaveRequest{});
    }
    WritePage(folder, transparent);
  }
  QApplication::restoreOverrideCursor();
  if (!done) {
    ShowMessageDialog(Format(TextId::GetOeMsgErrorSaving, {folder + "/" + kPreviewGif}), mtError, mbOK);
    return false;
  }
  if (OpenPage) OpenPage(QUrl::fromLocalFile(QString::fromStdString(folder) + QLatin1Char('/') + QLatin1String(kPreviewPage)));
  return true;
}

bool TGifAnimForm::Export() {
  if (!Ready()) return false;
  TSavePictureRequest request;
  const std::string name = std::filesystem::path(window_->FileName()).stem().string();
  request.InitialDir = folder_;
  request.FileName = (folder_.empty() ? name : folder_ + "/" + name) + ".gif";
  request.Filter = Tr(TextId::TrFixGifFilter);
  request.DefaultExt = ".gif";
  std::string fileName;
  if (!ChooseFile || !ChooseFile(request, fileName) || fileName.empty()) return false;
  QApplication::processEvents();
  QApplication::setOverrideCursor(Qt::WaitCursor);
  bool done = true;
  try {
    SaveGifAnimation(fileName, window_->Image(), Options());
  } catch (const std::exception&) {
    done = false;
  }
  QApplication::restoreOverrideCursor();
  if (!done) {
    ShowMessageDialog(Format(TextId::GetOeMsgErrorSaving, {fileName}), mtError, mbOK);
    return false;
  }
  close();
  return true;
}

void TGifAnimForm::hideEvent(QHideEvent* e) {
  editorOpen = false;
  temp_.reset();  // the preview's files go with their folder
  kept_ = delays_;
  QDialog::hideEvent(e);
  if (OnClosed) OnClosed();
}

bool OpenGifAnimEditor(QWidget* parent, TNewImgForm& window, const std::string& folder) {
  static QPointer<TGifAnimForm> form;
  if (!form) form = new TGifAnimForm(parent);
  return form->Open(window, folder);
}

}  // namespace qm
