#include "dialogs/replace/VarianteForm.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QVBoxLayout>
#include <memory>

#include "dialogs/DialogRegistry.h"
#include "dialogs/replace/HueBar.h"
#include "document/qt/SelectionMask.h"
#include "pixel/Blend.h"
#include "pixel/ImgUtils.h"
#include "pixel/Thumbnail.h"
#include "platform/core/Colors.h"
#include "platform/texts/Format.h"
#include "platform/texts/TextUtils.h"
#include "platform/texts/UiTexts.h"
#include "shell/services/FormUtils.h"
#include "shell/services/LayerChange.h"

namespace qm {
namespace {

QString Q(const std::string& s) { return QString::fromStdString(s); }

// A method button's caption: the design text, or the two entries of a translation.
std::string MethodCaption(TextId first, TextId second, TextId design) {
  const std::string a = Tr(first), b = Tr(second);
  return a.empty() || b.empty() ? Tr(design) : CleanMenuCaption(a) + " / " + CleanMenuCaption(b);
}

}  // namespace

TVarianteForm::TVarianteForm() {
  setObjectName(QString::fromLatin1(kClassName));
  setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
  setWindowModality(Qt::ApplicationModal);
  setWindowTitle(Q(CleanMenuCaption(CaptionOr(TextId::GetTrMnuVariation, Tr(TextId::TrFixDlgHueVariation)))));

  bar_ = new THueBar(this);
  bar_->setObjectName(QStringLiteral("ImgDegrade"));
  hue_ = new QSlider(Qt::Horizontal, this);
  hue_->setObjectName(QStringLiteral("TBN"));
  hue_->setRange(0, 359);
  hue_->setPageStep(10);
  hue_->setValue(50);
  lblN_ = new QLabel(this);
  lblN_->setObjectName(QStringLiteral("LblN"));
  swatch_ = new THueSwatch(this);
  swatch_->setObjectName(QStringLiteral("PnlCouleur"));
  colorize_ = new QRadioButton(
      Q(MethodCaption(TextId::GetTrMnuWatercolor1, TextId::GetTrMnuColorize, TextId::TrFixColorizeMethod)), this);
  colorize_->setObjectName(QStringLiteral("RB1"));
  colorize_->setChecked(true);
  hueOnly_ = new QRadioButton(
      Q(MethodCaption(TextId::GetTrMnuWatercolor2, TextId::TrLblHue, TextId::TrFixHueMethod)), this);
  hueOnly_->setObjectName(QStringLiteral("RB2"));
  picture_ = new TBitmapPicture(this, kThumbnailWidth, kThumbnailHeight);
  picture_->setObjectName(QStringLiteral("ImgApercu"));
  btnOk_ = new QPushButton(Q(CaptionOr(TextId::GetTrBtnOk, Tr(TextId::GetDlgOk))), this);
  btnOk_->setObjectName(QStringLiteral("BOk"));
  btnOk_->setDefault(true);
  btnCancel_ = new QPushButton(Q(CaptionOr(TextId::GetTrBtnCancel, Tr(TextId::GetDlgCancel))), this);
  btnCancel_->setObjectName(QStringLiteral("BAnnuler"));
  btnCancel_->setAutoDefault(false);

  auto* outer = new QVBoxLayout(this);
  outer->setSizeConstraint(QLayout::SetFixedSize);
  auto* body = new QHBoxLayout;
  auto* left = new QVBoxLayout;
  left->addWidget(bar_);
  left->addWidget(hue_);
  auto* value = new QHBoxLayout;
  value->addWidget(lblN_);
  value->addStretch(1);
  value->addWidget(swatch_);
  left->addLayout(value);
  left->addSpacing(6);
  left->addWidget(colorize_);
  left->addWidget(hueOnly_);
  left->addStretch(1);
  body->addLayout(left);
  body->addSpacing(8);
  body->addWidget(picture_, 0, Qt::AlignTop);
  outer->addLayout(body);
  outer->addSpacing(8);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  buttons->addWidget(btnOk_);
  buttons->addWidget(btnCancel_);
  outer->addLayout(buttons);

  const auto showHue = [this](int h) {
    lblN_->setText(Q(Format(TextId::TrFixFmtDegrees, {h})));
    swatch_->SetColor(HueColor(h));
  };
  showHue(hue_->value());
  bar_->OnPick = [this](int x) { hue_->setValue(x); };
  // Every change of the hue, the wheel's and the keys' too: the swatch, the thumbnail
  // and OK never disagree.
  connect(hue_, &QSlider::valueChanged, this, [this, showHue](int h) {
    showHue(h);
    UpdatePreview();
  });
  connect(colorize_, &QRadioButton::toggled, this, [this] { UpdatePreview(); });
  connect(btnOk_, &QPushButton::clicked, this, [this] { Ok(); });
  connect(btnCancel_, &QPushButton::clicked, this, [this] { Cancel(); });
}

TVarianteForm::~TVarianteForm() { shown_ = false; }

TColor TVarianteForm::Color() const { return swatch_->Color(); }

THueVariation TVarianteForm::Method() const { return colorize_->isChecked() ? hvColorize : hvHue; }

bool TVarianteForm::Open(TDialogHost& host, const TDialogRequest& request) {
  if (shown_) return false;
  const TBitmap* layer = host.GetActiveLayerBitmap();
  if (!host.GetActiveImgForm() || !layer || layer->Empty() || layer->PixelFormat() != pf24bit) return false;
  host_ = &host;
  document_ = host.GetActiveImgForm();
  caption_ = request.Caption.empty() ? windowTitle().toStdString() : request.Caption;
  QWidget* main = host.MainWindow();
  if (main && parentWidget() != main) setParent(main, windowFlags());
  FormShow();
  shown_ = true;
  host.SetShellLock(this);
  adjustSize();
  if (main) move(main->mapToGlobal(main->rect().center()) - QPoint(width() / 2, height() / 2));
  show();
  raise();
  activateWindow();
  btnOk_->setFocus();
  return true;
}

void TVarianteForm::FormShow() {
  TDialogHost& host = *host_;
  const TBitmap& layer = *host.GetActiveLayerBitmap();
  thumbnail_ = TBitmap(kThumbnailWidth, kThumbnailHeight, pf24bit, clWhite);
  DrawThumbnail(layer, thumbnail_, clWhite, 4, 4, ColorToRGB(clBtnFace), true, imageRect_);
  const TLayeredImage* image = host.LayerHost().ActiveImage();
  const TLayerItem* item = image ? image->GetActiveLayer() : nullptr;
  const int w = imageRect_.Width(), h = imageRect_.Height();
  if (item && !item->Mask.Empty() && w > 0 && h > 0) {
    // What the mask hides shows white: the mask inverted is dark where it hides.
    TBitmap hidden;
    StretchBitmapTo(w, h, item->Mask, hidden);
    InvertRect(hidden, GetBitmapRect(hidden));
    BlendColorThroughMask(hidden, GetBitmapRect(hidden), thumbnail_, imageRect_.Left, imageRect_.Top, imageRect_,
                          clWhite, 100);
  }
  selectionMask_ = TBitmap();
  if (std::unique_ptr<TBitmap> restore = SelectionRestoreMaskAt(host.LayerHost(), w, h)) {
    selectionMask_ = TBitmap(kThumbnailWidth, kThumbnailHeight, pf24bit, clWhite);
    CopyBitmap24At(*restore, selectionMask_, imageRect_.Left, imageRect_.Top);
  }
  preview_ = thumbnail_.Clone();
  picture_->SetBitmap(&preview_);
  UpdatePreview();
}

void TVarianteForm::UpdatePreview() {
  if (thumbnail_.Empty()) return;
  // (the thumbnail and the preview share their places: neither block moves)
  CopyBitmapRect(thumbnail_, imageRect_, preview_, 0, 0, imageRect_);
  VaryHueRect(preview_, Color(), Method(), imageRect_);
  if (!selectionMask_.Empty())
    CopyBitmapRectMasked(thumbnail_, imageRect_, preview_, 0, 0, imageRect_, 100, selectionMask_);
  picture_->update();
}

void TVarianteForm::Ok() {
  if (!shown_) return;
  TDialogHost& host = *host_;
  const TColor color = Color();
  const THueVariation method = Method();
  // The dialog's one step, pushed now: the chain on the working rectangle, confined to
  // the selection.
  TLayerChangeOptions options;
  options.Kind = ukWorkRect;
  options.Caption = caption_;
  options.Edge = seProgressive;
  if (RunLayerChange(host, options, [color, method](TLayerRun& c) { VaryHueRect(c.Layer, color, method, c.Rect); }))
    host.RefreshLayerNavigator();
  hide();
}

void TVarianteForm::setVisible(bool visible) {
  QDialog::setVisible(visible);
  if (!visible && shown_) {
    shown_ = false;
    FormHide();
  }
}

void TVarianteForm::FormHide() {
  picture_->SetBitmap(nullptr);
  thumbnail_ = TBitmap();
  preview_ = TBitmap();
  selectionMask_ = TBitmap();
  imageRect_ = TRect{};
  document_ = nullptr;
  if (host_) host_->SetShellLock(nullptr);
}

void TVarianteForm::DocumentClosing(TNewImgForm& window) {
  if (shown_ && &window == document_) hide();
}

void RegisterVarianteForm(TDialogRegistry& registry) {
  auto form = std::make_shared<QPointer<TVarianteForm>>();
  registry.Register(
      TVarianteForm::kClassName, TDialogKind::Command,
      [form](TDialogHost& host, const TDialogRequest& request) { return CreateFormOnce(*form)->Open(host, request); },
      [form] {
        if (*form && !(*form)->isVisible()) delete form->data();
      });
}

}  // namespace qm
