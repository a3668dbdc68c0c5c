#include "dialogs/selection/SelectionForms.h"

#include <QGridLayout>
#include <QLabel>
#include <QPushButton>
#include <QSlider>

#include "document/qt/SelectionMask.h"
#include "platform/texts/Format.h"

namespace qm {
namespace {

QString Q(const std::string& s) { return QString::fromStdString(s); }

QSlider* WidthSlider(QWidget* parent, int high, int value) {
  auto* s = new QSlider(Qt::Horizontal, parent);
  s->setObjectName(QStringLiteral("TBN"));
  s->setRange(1, high);
  s->setValue(value);
  s->setPageStep(5);
  s->setMinimumWidth(200);
  return s;
}

QLabel* WidthLabel(QWidget* parent) {
  auto* l = new QLabel(parent);
  l->setObjectName(QStringLiteral("LblEpaisseur"));
  return l;
}

void ShowWidth(QLabel* label, int n) { label->setText(Q(Format(Tr(TextId::GetTrFmtWidth), {n}))); }

}  // namespace

TRect GrownSelectionRect(const TRect& selection, int n) {
  const TRect r{selection.Left - n, selection.Top - n, selection.Right + n, selection.Bottom + n};
  return r.IsEmpty() ? TRect{} : r;
}

std::string SelectionRectText(const TRect& r) {
  if (r.IsEmpty()) return "?";
  return Format(Tr(TextId::TrFixFmtSelectionRect), {r.Left, r.Top, r.Right - 1, r.Bottom - 1, r.Width(), r.Height()});
}

// --- Grow and shrink ------------------------------------------------------------------

TOptionSelForm::TOptionSelForm() : TCommandDialog(kTraits) {
  auto* grid = new QGridLayout;
  LblEpaisseur = WidthLabel(this);
  TBN = WidthSlider(this, 51, 10);
  Label1 = new QLabel(Q(CaptionOr(TextId::GetTrLblNewPos, Tr(TextId::TrFixLblNewPos))), this);
  Label1->setObjectName(QStringLiteral("Label1"));
  LblInfos = new QLabel(this);
  LblInfos->setObjectName(QStringLiteral("LblInfos"));
  grid->addWidget(LblEpaisseur, 0, 0);
  grid->addWidget(TBN, 1, 0);
  grid->addWidget(Label1, 2, 0);
  grid->addWidget(LblInfos, 3, 0);
  Body().addLayout(grid);
  connect(TBN, &QSlider::valueChanged, this, [this] {
    if (isVisible()) Result();
  });
}

int TOptionSelForm::Width() const { return Request().Mode == 1 ? -TBN->value() : TBN->value(); }

TRect TOptionSelForm::Result() {
  ShowWidth(LblEpaisseur, TBN->value());
  const TSelectionOverlay* sel = Host().LayerHost().ActiveSelection();
  const TRect r = sel ? GrownSelectionRect(sel->SelRect, Width()) : TRect{};
  LblInfos->setText(Q(SelectionRectText(r)));
  return r;
}

bool TOptionSelForm::FormShow() {
  if (!Host().LayerHost().ActiveSelection()) return false;
  Result();
  return true;
}

bool TOptionSelForm::Apply() {
  TLayerHost& layers = Host().LayerHost();
  TSelectionOverlay* sel = layers.ActiveSelection();
  if (!sel) return true;
  TRect r = Result();
  if (r.IsEmpty()) {
    layers.HideSelection();
  } else if (sel->ShapeKind == ssMultiPoints) {
    // The outline's own bounds after the change: a shrink that removes thin parts
    // leaves bounds smaller than the grown rectangle, and nothing when all is gone.
    TBusyScope busy(Host());
    r = sel->SelRect;
    sel->Shape.Expand(Width(), r);
    if (r.IsEmpty()) layers.HideSelection();
  }
  if (!r.IsEmpty()) sel->SetSelectionRect(r);
  Host().UpdateStatusBar();
  return true;
}

// --- Border ---------------------------------------------------------------------------

TFrangeForm::TFrangeForm() : TCommandDialog(kTraits) {
  LblEpaisseur = WidthLabel(this);
  TBN = WidthSlider(this, 41, 5);
  Body().addWidget(LblEpaisseur);
  Body().addWidget(TBN);
  connect(TBN, &QSlider::valueChanged, this, [this](int n) { ShowWidth(LblEpaisseur, n); });
}

bool TFrangeForm::FormShow() {
  ShowWidth(LblEpaisseur, TBN->value());
  return Host().LayerHost().ActiveSelection() != nullptr;
}

bool TFrangeForm::Apply() {
  TBusyScope busy(Host());
  TLayerHost& layers = Host().LayerHost();
  layers.HideSelection();
  TRect r;
  ConvertSelectionToBorder(layers, TBN->value(), r);
  if (!r.IsEmpty()) Host().ResetSelectionMode();
  return true;
}

}  // namespace qm
