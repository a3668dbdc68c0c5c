#include "dialogs/geometry/TransformForm.h"

#include <QCheckBox>
#include <QEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QSlider>
#include <cmath>

#include "controls/TableTexts.h"
#include "dialogs/command/CommandControls.h"
#include "document/LayeredImage.h"
#include "pixel/Transform.h"
#include "platform/qt/QtBitmap.h"
#include "platform/texts/Format.h"
#include "platform/texts/TextUtils.h"
#include "views/MyImage.h"
#include "views/ViewTypes.h"

namespace qm {
namespace {

// The outline's pen: drawn exclusive-or, so that it shows over any image and a second
// drawing takes it away.
constexpr TColor kOutlinePen = 0xFFD8CE;

// A label's format: the design text, or with a translation its entry followed by the
// value's own format.
std::string LabelFormat(TextId entry, TextId design, const char* value) {
  const std::string caption = CaptionOr(entry, "");
  return caption.empty() ? Tr(design) : caption + value;
}

}  // namespace

// The transformed layer's four corners, joined, over the image.
class TRotSelForm::TOutline : public TViewOverlay {
 public:
  explicit TOutline(TMyImage& view) : view_(view) {}
  std::array<TPoint, 4> Corners{};
  bool IsShown() const override { return true; }
  void Paint(QPainter& painter, const QRegion&) override {
    const TRect visible = view_.GetVisibleImageRect();
    const TPoint a = view_.ImageToClientPoint({visible.Left, visible.Top});
    const TPoint b = view_.ImageToClientPoint({visible.Right, visible.Bottom});
    painter.save();
    painter.setClipRect(QRect(QPoint(a.X, a.Y), QPoint(b.X, b.Y)));
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setCompositionMode(QPainter::RasterOp_SourceXorDestination);
    painter.setPen(QPen(QColor::fromRgb(ColorToQRgb(kOutlinePen)), 0));
    QPoint s[5];
    for (size_t i = 0; i < 4; ++i) {
      const TPoint c = view_.ImageToClientPoint(Corners[i]);
      s[i] = QPoint(c.X, c.Y);
    }
    s[4] = s[0];
    painter.drawPolyline(s, 5);
    painter.restore();
  }

 private:
  TMyImage& view_;
};

TRotSelForm::TRotSelForm() : TCommandDialog(kTraits) {
  struct TTrack {
    QSlider*& Slider;
    const char* Name;
    const char* Label;
    int Min, Max, Ticks;
    std::string Format;
  };
  const TTrack tracks[] = {
      {TBAngle, "TBAngle", "LblAngle", -100, 100, 10,
       LabelFormat(TextId::GetTrLblAngle, TextId::TrFixFmtAngleDegrees, " %d°")},
      {TBEchelle, "TBEchelle", "LblEchelle", 30, 230, 10,
       LabelFormat(TextId::GetTrLblScale, TextId::GetTrFmtScale, " %d%%")},
      {TBIX, "TBIX", "LblIX", -50, 50, 5, LabelFormat(TextId::GetTrLblHorzAxis, TextId::TrFixFmtHorzAxisPct, " %d%%")},
      {TBIY, "TBIY", "LblIY", -50, 50, 5, LabelFormat(TextId::GetTrLblVertAxis, TextId::TrFixFmtVertAxisPct, " %d%%")},
  };
  // " Rotation / Echelle ", under a translation its rotation and scale texts
  const std::string rotationScale =
      IsTextFilled(TextId::GetTrMnuRotate) && IsTextFilled(TextId::GetTrLblScale)
          ? DecorateCaption(CleanMenuCaption(Tr(TextId::GetTrMnuRotate)) + " / " + Tr(TextId::GetTrLblScale), ckGroup)
          : Tr(TextId::TrFixRotationScale);
  QGroupBox* groups[2] = {
      new QGroupBox(QString::fromStdString(rotationScale), this),
      new QGroupBox(QString::fromStdString(CaptionLike(TextId::GetTrMnuSkew, Tr(TextId::TrFixSkewGroup), ckGroup)), this)};
  groups[0]->setObjectName(QStringLiteral("GB1"));
  groups[1]->setObjectName(QStringLiteral("GB3"));
  QVBoxLayout* layouts[2] = {new QVBoxLayout(groups[0]), new QVBoxLayout(groups[1])};
  for (size_t i = 0; i < 4; ++i) {
    const TTrack& t = tracks[i];
    auto* label = new QLabel(this);
    label->setObjectName(QString::fromLatin1(t.Label));
    t.Slider = new QSlider(Qt::Horizontal, this);
    t.Slider->setObjectName(QString::fromLatin1(t.Name));
    t.Slider->setRange(t.Min, t.Max);
    t.Slider->setTickInterval(t.Ticks);
    t.Slider->setTickPosition(QSlider::TicksBelow);
    t.Slider->setMinimumWidth(240);
    t.Slider->installEventFilter(this);
    layouts[i / 2]->addWidget(label);
    layouts[i / 2]->addWidget(t.Slider);
    connect(t.Slider, &QSlider::valueChanged, this, [this, label, format = t.Format](int v) {
      label->setText(QString::fromStdString(Format(format, {v})));
      changed_ = true;
    });
    label->setText(QString::fromStdString(Format(t.Format, {t.Slider->value()})));
  }
  Body().addWidget(groups[0]);
  Body().addWidget(groups[1]);
  ChkPreview = new QCheckBox(CaptionText(TextId::GetTrLblDirectPreview, TextId::TrFixLblDirectPreview), this);
  ChkPreview->setObjectName(QStringLiteral("ChkPreview"));
  BApercu = new QPushButton(CaptionText(TextId::GetTrBtnPreview, TextId::TrFixBtnPreview), this);
  BApercu->setObjectName(QStringLiteral("BApercu"));
  BApercu->setAutoDefault(false);
  auto* row = new QHBoxLayout;
  row->addWidget(ChkPreview);
  row->addStretch(1);
  row->addWidget(BApercu);
  Body().addLayout(row);
  connect(BApercu, &QPushButton::clicked, this, [this] { Preview(); });
  connect(ChkPreview, &QCheckBox::toggled, this, [this](bool on) {
    BApercu->setEnabled(!on);
    if (on && changed_ && isVisible()) Preview();
  });
}

TRotSelForm::~TRotSelForm() { Hook(false); }

bool TRotSelForm::eventFilter(QObject* watched, QEvent* e) {
  // A gesture on a track bar ended: under "Aperçu direct" the layer follows.
  if ((e->type() == QEvent::MouseButtonRelease || e->type() == QEvent::KeyRelease) &&
      qobject_cast<QSlider*>(watched) && isVisible() && changed_ && ChkPreview->isChecked())
    Preview();
  return TCommandDialog::eventFilter(watched, e);
}

void TRotSelForm::Hook(bool on) {
  if (view_ && outline_) view_->RemoveOverlay(outline_.get());
  if (view_) view_->viewport()->update();
  view_ = nullptr;
  if (!on || !step_.Document()) return;
  view_ = &step_.Document()->View();
  outline_ = std::make_unique<TOutline>(*view_);
  outline_->Corners = corners_;
  view_->AddOverlay(outline_.get());
  view_->viewport()->update();
}

bool TRotSelForm::FormShow() {
  if (!Request().NewStep || !step_.Take(Host())) return false;
  setWindowTitle(QString::fromStdString(DialogCaption(Traits())));
  if (!switchSet_) {
    ChkPreview->setChecked(Host().LivePreviewEnabled());
    BApercu->setEnabled(!ChkPreview->isChecked());
    switchSet_ = true;
  }
  TBAngle->setValue(0);
  TBEchelle->setValue(100);
  TBIX->setValue(0);
  TBIY->setValue(0);
  // Untouched, OK still attaches the identity and renders the layer through it.
  changed_ = true;
  applied_ = false;
  Host().LayerHost().HideSelection();
  const TLayerItem& layer = *step_.Layer();
  layerRect_ = step_.Document()->Image().LayerRectToImageRect(TRect{0, 0, layer.Image.Width(), layer.Image.Height()});
  corners_ = {TPoint{layerRect_.Left, layerRect_.Top}, TPoint{layerRect_.Right, layerRect_.Top},
              TPoint{layerRect_.Right, layerRect_.Bottom}, TPoint{layerRect_.Left, layerRect_.Bottom}};
  bounds_ = layerRect_;
  step_.Document()->Host().ShowSelectionRectStatus(*step_.Document(), layerRect_);
  Hook(true);
  Host().RepaintActiveImage();
  Host().SelectPaletteTool(13);
  return true;
}

void TRotSelForm::Preview(bool ok) {
  if (!isVisible()) return;
  if (!step_.Resume(Host())) {
    hide();
    return;
  }
  TBusyScope busy(Host());
  TLayerItem& layer = *step_.Layer();
  if (!dynamic_cast<TAffineTransformation*>(layer.Transform.get()))
    layer.BeginTransform(std::make_unique<TAffineTransformation>());
  auto& t = static_cast<TAffineTransformation&>(*layer.Transform);
  const int w = layer.Image.Width(), h = layer.Image.Height();
  t.Clear();
  t.SetSrcRect(TRect{0, 0, w, h});
  const double s = TBEchelle->value() / 100.0;
  t.Scale(s, s);
  if (TBIX->value() != 0 || TBIY->value() != 0) t.Skew(-TBIX->value() / 100.0, -TBIY->value() / 100.0);
  // about the scaled layer's centre, rounded to whole pixels
  if (TBAngle->value() != 0) t.Rotate(std::round(w * s / 2), std::round(h * s / 2), -TBAngle->value());
  t.Translate(layerRect_.Left, layerRect_.Top);
  t.Prepared = false;
  const TRect before = bounds_;
  t.GetDestBounds(bounds_);
  TPoint corners[4];
  t.GetDestCorners(corners);
  corners_ = {corners[0], corners[1], corners[2], corners[3]};
  TNewImgForm& document = *step_.Document();
  document.Host().ShowSelectionRectStatus(document, bounds_);
  if (ok) {
    Hook(false);
  } else {
    if (outline_) outline_->Corners = corners_;
    document.Image().InvalidateImageRect(before);
    document.Image().InvalidateImageRect(bounds_);
    Host().RepaintActiveImage();
    if (view_) view_->viewport()->update();
  }
  changed_ = false;
}

bool TRotSelForm::Apply() {
  if (changed_) Preview(true);
  if (!isVisible() || !step_.Resume(Host())) return true;
  applied_ = true;
  TBusyScope busy(Host());
  TLayerItem& layer = *step_.Layer();
  if (layer.Transform) layer.ApplyTransform();
  step_.Document()->Image().InvalidateImage();
  Host().RepaintActiveImage();
  Host().RefreshLayerNavigator();
  return true;
}

void TRotSelForm::FormHide() {
  Hook(false);
  Host().UpdateStatusBar();
  if (!applied_) {
    // Detached first: the step's pixels are the layer's own, the view draws it plain.
    if (step_.Resume(Host()) && step_.Layer()->Transform) step_.Layer()->EndTransform();
    step_.TakeBack(Host(), false);
  }
  step_.Release();
}

}  // namespace qm
