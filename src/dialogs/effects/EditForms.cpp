#include "dialogs/effects/EditForms.h"

#include <QButtonGroup>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>
#include <initializer_list>

#include "dialogs/command/CommandControls.h"
#include "dialogs/imagesize/ImageSizeOps.h"
#include "document/LayerHost.h"
#include "document/qt/Clipboard.h"
#include "document/qt/SelectionMask.h"
#include "document/SelectionHost.h"
#include "pixel/Blend.h"
#include "pixel/Blur.h"
#include "pixel/ColorAdjust.h"
#include "pixel/Composite.h"
#include "pixel/ImgUtils.h"
#include "pixel/Mask.h"
#include "platform/core/Messages.h"
#include "platform/texts/Format.h"
#include "shell/services/CommandChecks.h"
#include "views/CustomImage.h"

namespace qm {
namespace {

struct TChoice {
  const char* Name;
  TextId Entry, Design;
};

// A titled frame of radio buttons, the first checked, numbered in their order.
QButtonGroup* RadioGroup(QWidget& dialog, QBoxLayout& into, const char* name, TextId entry, TextId design,
                         std::initializer_list<TChoice> items) {
  auto* box = new QGroupBox(CaptionText(entry, design), &dialog);
  box->setObjectName(QLatin1String(name));
  auto* column = new QVBoxLayout(box);
  auto* group = new QButtonGroup(box);
  int id = 0;
  for (const TChoice& item : items) {
    auto* b = new QRadioButton(CaptionText(item.Entry, item.Design), box);
    b->setObjectName(QLatin1String(item.Name));
    column->addWidget(b);
    group->addButton(b, id++);
  }
  group->button(0)->setChecked(true);
  into.addWidget(box);
  return group;
}

}  // namespace

// --- Assemble -------------------------------------------------------------------------

TAssemblerForm::TAssemblerForm() : TCommandDialog(kTraits) {
  RGPos = RadioGroup(*this, Body(), "RGPos", TextId::GetTrLblAssemblePos, TextId::TrFixAssemblePos,
                     {{"RBDroite", TextId::GetTrLblRight, TextId::TrFixAlignRight},
                      {"RBBas", TextId::GetTrLblBottom, TextId::TrFixBottom},
                      {"RBGauche", TextId::GetTrLblLeft, TextId::TrFixAlignLeft},
                      {"RBHaut", TextId::GetTrLblTop, TextId::TrFixTop}});
}

// An empty clipboard refuses the command as the paste commands do, saying why.
bool TAssemblerForm::FormShow() { return CheckClipboardHasImage(); }

bool TAssemblerForm::Apply() {
  TDialogHost& host = Host();
  TBitmap clip, mask;
  GetClipboardImageAndMask(ClipboardData(), clip, mask);
  // A picture that does not read (a format of another program's) is no picture: the
  // same message, and nothing changes.
  if (clip.Empty()) {
    ShowMessageDialog(Tr(TextId::GetTrDlgMain3), mtWarning, mbOK);
    return true;
  }
  const TColor background = host.LayerHost().BackgroundColor();
  // The clipboard's transparent parts take the palette's background colour.
  if (!mask.Empty()) {
    InvertRect(mask, UnboundedRect);
    BlendColorThroughMask(mask, UnboundedRect, clip, 0, 0, UnboundedRect, background, 100);
  }
  const int side = std::max(0, RGPos->checkedId());
  return RunWholeImageChange(host, Caption(), [&](TLayerRun& run) {
    const int w = run.Source.Width(), h = run.Source.Height();
    const bool across = side == asRight || side == asLeft;
    TCanvasRequest request;
    request.Width = across ? w + clip.Width() : std::max(w, clip.Width());
    request.Height = across ? std::max(h, clip.Height()) : h + clip.Height();
    request.Color = background;
    static constexpr TAlignment kAnchors[] = {alTopLeft, alTopLeft, alTopRight, alBottomLeft};
    request.Anchor = kAnchors[side];
    // The old picture lands where the anchor puts it, the other layers moved with it.
    EnlargeDocumentCanvas(host.LayerHost(), run, request);
    const TPoint at = side == asRight ? TPoint{w, 0} : side == asBottom ? TPoint{0, h} : TPoint{0, 0};
    CopyBitmap24At(clip, run.Layer, at.X, at.Y);
  });
}

// --- Cut-out --------------------------------------------------------------------------

void CutOutMask(const TBitmap& region, TBitmap& mask, int tolerance, bool horizontal, bool vertical,
                TCutEffect effect) {
  MaskOutBackgroundFromEdges(region, mask, horizontal, vertical, tolerance, UnboundedRect);
  switch (effect) {
    case cutSmooth:
      RampMaskEdges(mask, UnboundedRect, 33);
      break;
    case cutBlur:
      ApplyMinMaxPasses(mask, -3, UnboundedRect);
      ApplyBlurPasses(mask, 3, UnboundedRect);
      break;
    case cutProgressive:
      ApplyMinMaxPasses(mask, -8, UnboundedRect);
      GaussianBlurMaskRect(mask, 4, UnboundedRect);
      break;
    case cutDiffuse:
      ApplyMinMaxPasses(mask, -4, UnboundedRect);
      SpreadRect(mask, 8, 0, UnboundedRect);
      break;
    default:
      break;
  }
}

TDetourForm::TDetourForm() : TCommandDialog(kTraits) {
  auto* row = new QHBoxLayout;
  Body().addLayout(row);
  PnlImage = new QWidget(this);
  PnlImage->setObjectName(QStringLiteral("PnlImage"));
  PnlImage->setMinimumSize(260, 260);
  auto* panel = new QVBoxLayout(PnlImage);
  panel->setContentsMargins(0, 0, 0, 0);
  row->addWidget(PnlImage, 1);
  auto* side = new QVBoxLayout;
  row->addLayout(side);

  LblN = new QLabel(this);
  LblN->setObjectName(QStringLiteral("LblN"));
  side->addWidget(LblN);
  TBN = new QSlider(Qt::Horizontal, this);
  TBN->setObjectName(QStringLiteral("TBN"));
  TBN->setRange(0, 100);
  TBN->setPageStep(10);
  side->addWidget(TBN);
  auto showTolerance = [this] { LblN->setText(QString::fromStdString(Format(TextId::GetTrFmtTolerance, {TBN->value()}))); };
  showTolerance();
  connect(TBN, &QSlider::valueChanged, this, [this, showTolerance] {
    showTolerance();
    Changed();
  });

  auto* scans = new QGroupBox(CaptionText(TextId::GetTrLblFindEdges, TextId::TrFixFindEdgesGroup), this);
  scans->setObjectName(QStringLiteral("GroupBox1"));
  auto* scanColumn = new QVBoxLayout(scans);
  RBHorz = new QRadioButton(CaptionText(TextId::GetTrLblHorz, TextId::TrFixHorizontal), scans);
  RBVert = new QRadioButton(CaptionText(TextId::GetTrLblVert, TextId::TrFixVertical), scans);
  RBHorzVert = new QRadioButton(CaptionText(TextId::GetTrLblBoth, TextId::TrFixBoth), scans);
  RBHorz->setObjectName(QStringLiteral("RBHorz"));
  RBVert->setObjectName(QStringLiteral("RBVert"));
  RBHorzVert->setObjectName(QStringLiteral("RBHorzVert"));
  RBHorz->setChecked(true);
  for (QRadioButton* b : {RBHorz, RBVert, RBHorzVert}) {
    scanColumn->addWidget(b);
    // Every scan counts as a change, "Bidirectionnel" as the others.
    connect(b, &QRadioButton::toggled, this, [this](bool on) {
      if (on) Changed();
    });
  }
  side->addWidget(scans);

  RGEffet = RadioGroup(*this, *side, "RGEffet", TextId::GetTrLblEffect, TextId::TrFixEffectGroup,
                       {{"RBAucun", TextId::GetTrLblNone, TextId::TrFixFilterNone},
                        {"RBLissage", TextId::GetTrLblSmooth, TextId::TrFixSmoothing},
                        {"RBFlou", TextId::GetTrMnuBlur, TextId::TrFixBlur},
                        {"RBContourProgressif", TextId::GetTrMnuProgressiveContour, TextId::TrFixProgressiveEdge},
                        {"RBDiffusion", TextId::GetTrLblDiffusion, TextId::TrFixDiffusion}});
  connect(RGEffet, &QButtonGroup::idToggled, this, [this](int, bool on) {
    if (on) Changed();
  });
  RGResultat = RadioGroup(*this, *side, "RGResultat", TextId::GetTrLblResult, TextId::TrFixResultGroup,
                          {{"RBPressePapiers", TextId::GetTrLblSendToClipboard, TextId::TrFixSendToClipboard},
                           {"RBNouvelleImage", TextId::GetTrLblNewImage, TextId::TrFixNewImage}});
  auto* preview = new QPushButton(CaptionText(TextId::GetTrBtnPreview, TextId::TrFixBtnPreview), this);
  preview->setObjectName(QStringLiteral("BApercu"));
  preview->setAutoDefault(false);
  connect(preview, &QPushButton::clicked, this, [this] { Preview(); });
  side->addWidget(preview);
  side->addStretch(1);
}

TDetourForm::~TDetourForm() = default;

const TBitmap* TDetourForm::PreviewBitmap() const { return image_ ? &image_->Picture() : nullptr; }

bool TDetourForm::FormShow() {
  TDialogHost& host = Host();
  const TBitmap* layer = host.GetActiveLayerBitmap();
  if (!layer || layer->Empty()) return false;
  rect_ = IntersectRect(host.GetWorkRect(), GetBitmapRect(*layer));
  if (rect_.IsEmpty()) return false;
  const TSelectionOverlay* sel = host.LayerHost().ActiveSelection();
  std::unique_ptr<TBitmap> mask = BuildSelectionMask(host.LayerHost(), rect_, !(sel && sel->Inverted));
  if (!mask) return false;
  pristine_ = std::move(*mask);
  mask_ = pristine_.Clone();
  checker_ = TMyCustomImage::CreateCheckerTile(RGB(204, 204, 204), 8);
  image_ = new TMyCustomImage(PnlImage);
  image_->setObjectName(QStringLiteral("ImgPreview"));
  image_->setFrameShape(QFrame::NoFrame);
  image_->SetMarge(0);
  image_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);  // the whole region always shows
  image_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  static_cast<QVBoxLayout*>(PnlImage->layout())->addWidget(image_, 0, Qt::AlignCenter);
  CopyBitmapRegion(*layer, image_->Picture(), rect_);
  DrawPreview();
  image_->resize(PnlImage->size());  // fitted again once the dialog is laid out
  changed_ = true;  // OK without a preview cuts once
  return true;
}

void TDetourForm::showEvent(QShowEvent* e) {
  TCommandDialog::showEvent(e);
  FitPreview();
}

void TDetourForm::FitPreview() {
  if (!image_ || rect_.IsEmpty()) return;
  // The whole region as large as the pane takes it, centred in the pane.
  const QSize pane = PnlImage->size();
  const double zoom = std::min(double(pane.width()) / rect_.Width(), double(pane.height()) / rect_.Height());
  const QSize shown(std::clamp(int(std::ceil(rect_.Width() * zoom)), 1, pane.width()),
                    std::clamp(int(std::ceil(rect_.Height() * zoom)), 1, pane.height()));
  image_->setFixedSize(shown);
  image_->ZoomToFitSize(shown.width(), shown.height());
}

void TDetourForm::FormHide() {
  delete image_;
  image_ = nullptr;
  mask_ = TBitmap();
  pristine_ = TBitmap();
  checker_ = TBitmap();
}

void TDetourForm::DrawPreview() {
  FillPatternThroughMask(mask_, UnboundedRect, image_->Picture(), 0, 0, UnboundedRect, checker_, false, clNone, 100);
  image_->PictureChanged();
}

void TDetourForm::Preview() {
  if (!image_) return;
  TDialogHost& host = Host();
  const TBitmap* layer = host.GetActiveLayerBitmap();
  if (!layer) return;
  TBusyScope busy(host);
  CopyBitmapRegion(*layer, image_->Picture(), rect_);
  mask_ = pristine_.Clone();
  // The mask kernels remove at 255: the cut works in their polarity, the view in the
  // other.
  InvertRect(mask_, UnboundedRect);
  const bool both = RBHorzVert->isChecked();
  CutOutMask(image_->Picture(), mask_, TBN->value(), both || RBHorz->isChecked(), both || RBVert->isChecked(),
             TCutEffect(std::max(0, RGEffet->checkedId())));
  InvertRect(mask_, UnboundedRect);
  changed_ = false;
  DrawPreview();
  image_->viewport()->update();
}

bool TDetourForm::Apply() {
  if (changed_) Preview();
  TDialogHost& host = Host();
  const TBitmap* layer = host.GetActiveLayerBitmap();
  if (!layer || !image_) return true;
  TBitmap cut;
  CopyBitmapRegion(*layer, cut, rect_);
  if (RGResultat->checkedId() == 1) {
    // Removed pixels take the palette's background colour.
    BlendColorThroughMask(mask_, UnboundedRect, cut, 0, 0, UnboundedRect, host.LayerHost().BackgroundColor(), 100);
    host.CreateImageWindow(std::move(cut), nullptr, 16777216, true, {});
  } else {
    TBitmap mask = mask_.Clone();
    InvertRect(mask, UnboundedRect);  // the clipboard's: 0 copied, 255 transparent
    CopyBitmapWithMask(ClipboardData(), std::move(cut), std::move(mask));
  }
  return true;
}

}  // namespace qm
