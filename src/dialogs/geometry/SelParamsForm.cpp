#include "dialogs/geometry/SelParamsForm.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QRadioButton>
#include <QStandardItemModel>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>

#include "controls/SpinEdit.h"
#include "dialogs/command/CommandControls.h"
#include "document/LayerOps.h"
#include "document/LayeredImage.h"
#include "document/SelectionHost.h"
#include "platform/texts/TextUtils.h"
#include "shell/services/CommandTable.h"
#include "views/SelectionControl.h"

namespace qm {
namespace {

constexpr int kShapeKinds[kGeometryShapeItems] = {ssRect, ssEllipse, ssRoundRect, ssLosange, 5, 6, 7, 8, ssPolygon,
                                                  ssMultiPoints};
constexpr int kPolygonItem = 8, kBitmapItem = 9;
// The position fields' reach: far beyond any image, and x + w stays an int.
constexpr int kPositionLimit = 99999;

QString Q(const std::string& s) { return QString::fromStdString(s); }

std::string RowCaptionOf(const char* name) {
  const TCommandRow* row = FindCommandRow(name);
  return row ? CleanMenuCaption(CommandCaption(*row)) : std::string();
}

}  // namespace

int ShapeKindOfItem(int item) { return item >= 0 && item < kGeometryShapeItems ? kShapeKinds[item] : ssRect; }

int ItemOfShapeKind(int kind, bool polygonOffered, bool bitmapOffered) {
  switch (kind) {
    case ssRect: return 0;
    case ssEllipse: return 1;
    case ssRoundRect: return 2;
    case ssLosange: return 3;
    case 5: case 6: case 7: case 8: return kind - 1;
    case ssPolygon: return polygonOffered ? kPolygonItem : 0;
    case ssMultiPoints: return bitmapOffered ? kBitmapItem : 0;
    default: return -1;
  }
}

TSelParamsForm::TSelParamsForm() : TCommandDialog(kTraits) {
  auto* position = new QGroupBox(CaptionText(TextId::GetTrLblPosition, TextId::TrFixPosition), this);
  auto* pos = new QGridLayout(position);
  RBPos1 = new QRadioButton(CaptionText(TextId::GetTrLblManual, TextId::TrFixPosManual), position);
  RBPos1->setObjectName(QStringLiteral("RBPos1"));
  RBPos2 = new QRadioButton(CaptionText(TextId::GetTrLblAuto, TextId::TrFixFilterAuto), position);
  RBPos2->setObjectName(QStringLiteral("RBPos2"));
  auto* group = new QButtonGroup(position);
  group->addButton(RBPos1);
  group->addButton(RBPos2);
  lblX_ = new QLabel(Q(Tr(TextId::TrFixLblX)), position);
  lblY_ = new QLabel(Q(Tr(TextId::TrFixLblY)), position);
  lblX_->setObjectName(QStringLiteral("LblX"));
  lblY_->setObjectName(QStringLiteral("LblY"));
  for (TSpinEdit2** e : {&EdiX, &EdiY}) {
    *e = new TSpinEdit2(position);
    (*e)->SetMinValue(-kPositionLimit);
    (*e)->SetMaxValue(kPositionLimit);
  }
  EdiX->setObjectName(QStringLiteral("EdiX"));
  EdiY->setObjectName(QStringLiteral("EdiY"));
  ToolBar = new TAnchorGrid(position);
  ToolBar->setObjectName(QStringLiteral("ToolBar"));
  ToolBar->SetAnchor(alCenter);
  pos->addWidget(RBPos1, 0, 0, 1, 2);
  pos->addWidget(lblX_, 1, 0);
  pos->addWidget(EdiX, 1, 1);
  pos->addWidget(lblY_, 2, 0);
  pos->addWidget(EdiY, 2, 1);
  pos->addWidget(RBPos2, 0, 2);
  pos->addWidget(ToolBar, 1, 2, 2, 1, Qt::AlignCenter);
  Body().addWidget(position);

  Size = new TSizeFields(*this, true, QString());
  Size->OldGroup->hide();
  Size->CmbUnit->setItemText(1, Q(Tr(TextId::TrFixPctImage)));
  sizeGroup_ = new QGroupBox(CaptionText(TextId::GetTrLblNewSize, TextId::TrFixNewSize), this);
  sizeGroup_->setObjectName(QStringLiteral("GBTaille"));
  auto* size = new QVBoxLayout(sizeGroup_);
  size->addWidget(Size->NewFields);
  CBProportions = new QCheckBox(CaptionText(TextId::GetTrLblAspectRation, TextId::TrFixKeepRatio), sizeGroup_);
  CBProportions->setObjectName(QStringLiteral("CBProportions"));
  size->addWidget(CBProportions);
  Body().addWidget(sizeGroup_);

  GBForme = new QGroupBox(CaptionText(TextId::GetTrLblShape, TextId::TrFixShape), this);
  GBForme->setObjectName(QStringLiteral("GBForme"));
  auto* shape = new QHBoxLayout(GBForme);
  EdiForme = new QComboBox(GBForme);
  EdiForme->setObjectName(QStringLiteral("EdiForme"));
  EdiForme->addItems(Q(Tr(TextId::TrFixShapeNames)).split(QLatin1Char('|')));
  CBInverser = new QCheckBox(CaptionText(TextId::GetTrMnuSelInvert, TextId::TrFixInvert), GBForme);
  CBInverser->setObjectName(QStringLiteral("CBInverser"));
  shape->addWidget(EdiForme, 1);
  shape->addWidget(CBInverser);
  Body().addWidget(GBForme);

  connect(RBPos1, &QRadioButton::toggled, this, [this] { PositionChanged(); });
  Size->Typed = [this](bool width) {
    typed_ = true;
    if (!CBProportions->isChecked() || aspect_ <= 0) return;
    if (width) Size->SetHeightPixels(int(std::lround(Size->Width() / aspect_)));
    else Size->SetWidthPixels(int(std::lround(Size->Height() * aspect_)));
  };
  RBPos2->setChecked(true);
  PositionChanged();
}

void TSelParamsForm::PositionChanged() {
  const bool manual = RBPos1->isChecked();
  ToolBar->setEnabled(!manual);
  for (QWidget* w : {static_cast<QWidget*>(EdiX), static_cast<QWidget*>(EdiY), static_cast<QWidget*>(lblX_),
                     static_cast<QWidget*>(lblY_)})
    w->setEnabled(manual);
}

void TSelParamsForm::Load(const TRect& r) {
  EdiX->SetValue(r.Left);
  EdiY->SetValue(r.Top);
  loadedWidth_ = std::max(1, r.Width());
  loadedHeight_ = std::max(1, r.Height());
  aspect_ = double(loadedWidth_) / loadedHeight_;
  Size->SetPixels(loadedWidth_, loadedHeight_);
  typed_ = false;
}

bool TSelParamsForm::FormShow() {
  TNewImgForm* document = Host().GetActiveImgForm();
  TLayeredImage* image = Host().LayerHost().ActiveImage();
  if (!document || !image || image->GetLayerCount() == 0) return false;
  mode_ = std::clamp(Request().Mode, 0, 2);
  setWindowTitle(Q(RowCaptionOf(mode_ == 2 ? "MenuCalqueNouveau" : "MenuSelParams")));
  TSelectionOverlay* sel = Host().LayerHost().ActiveSelection();
  const bool selected = sel && sel->Visible;
  (selected ? RBPos1 : RBPos2)->setChecked(true);
  PositionChanged();
  const TBitmap& bg = image->Layers[0].Image;
  baseWidth_ = std::max(1, bg.Width());
  baseHeight_ = std::max(1, bg.Height());
  Size->StartFrom(Host().DialogPreferences().ImageUnit, baseWidth_, baseHeight_, image->ResolutionX);
  GBForme->setVisible(mode_ == 0);
  sizeGroup_->setEnabled(mode_ != 1 || !IsTextLayerActive(image));
  TRect r{};
  if (mode_ == 0) {
    CBProportions->setChecked(selected);
    r = selected ? sel->SelRect : document->View().GetVisibleImageRect();
    if (!selected) {
      const int inset = std::min(r.Width(), r.Height()) / 10;
      r = TRect{r.Left + inset, r.Top + inset, r.Right - inset, r.Bottom - inset};
    }
    CBInverser->setChecked(sel && sel->Inverted);
    const bool hasPoints = sel && sel->Shape.GetPointCount() > 0;
    const bool polygon = hasPoints && sel->ShapeKind != ssMultiPoints;
    const bool bitmap = selected && sel->ShapeKind == ssMultiPoints;
    auto* model = static_cast<QStandardItemModel*>(EdiForme->model());
    model->item(kPolygonItem)->setEnabled(polygon);
    model->item(kBitmapItem)->setEnabled(bitmap);
    if (sel) {
      const int item = ItemOfShapeKind(sel->ShapeKind, polygon, bitmap);
      if (item >= 0) EdiForme->setCurrentIndex(item);
    }
    shapeItem_ = EdiForme->currentIndex();
  } else if (mode_ == 1) {
    CBProportions->setChecked(true);
    r = image->GetActiveLayerBounds();
  } else {
    CBProportions->setChecked(false);
    r = selected ? sel->SelRect : TRect{0, 0, bg.Width(), bg.Height()};
  }
  Load(r);
  return true;
}

TRect TSelParamsForm::Target(int w, int h) const {
  if (RBPos2->isChecked()) return AnchorPlacement(w, h, baseWidth_, baseHeight_, ToolBar->Anchor());
  return Bounds(EdiX->Value(), EdiY->Value(), w, h);
}

bool TSelParamsForm::Apply() {
  if (RefuseEmptyFields({EdiX, EdiY, Size->EdiL, Size->EdiH})) return false;
  // Untouched, the fields stand for the size loaded: a unit's rounding changes nothing.
  const int w = typed_ ? ClampImageSide(Size->Width()) : loadedWidth_;
  const int h = typed_ ? ClampImageSide(Size->Height()) : loadedHeight_;
  const TRect t = Target(w, h);
  if (mode_ == 0) PlaceSelection(t, w, h);
  else if (mode_ == 1) PlaceLayer(t, w, h);
  else AddBlankLayer(t, w, h);
  return true;
}

void TSelParamsForm::PlaceSelection(const TRect& t, int w, int h) {
  TNewImgForm* document = Host().GetActiveImgForm();
  if (!document) return;
  TSelectionControl& sel = document->Selection();
  const bool shown = sel.Visible;
  sel.Hide();
  TRect r = t;
  sel.SetSelectionRect(r);
  const int item = EdiForme->currentIndex();
  if (item == kBitmapItem) {
    sel.Shape.ScaleToSize(w, h, r);
    if (!r.IsEmpty()) sel.SetSelectionRect(r);
  }
  if (CBInverser->isChecked() != sel.Inverted) sel.SetOutlineInset(CBInverser->isChecked());
  if (item != shapeItem_ && item < kBitmapItem) sel.SetShape(TMyShape(ShapeKindOfItem(item)));
  sel.Show();
  document->Host().ShowSelectionRectStatus(*document, sel.SelRect);
  if (!shown) Host().UpdateCommandStates();
}

void TSelParamsForm::PlaceLayer(const TRect& t, int w, int h) {
  TNewImgForm* document = Host().GetActiveImgForm();
  TLayeredImage* image = Host().LayerHost().ActiveImage();
  TLayerItem* layer = image ? image->GetActiveLayer() : nullptr;
  if (!document || !layer) return;
  TBusyScope busy(Host());
  const bool resized = w != loadedWidth_ || h != loadedHeight_;
  if (resized) {
    if (!Host().Operations().BeginUndoableOperation(ukWholeLayer, RowCaptionOf("MenuSelParams"))) return;
  } else {
    document->Host().PushLayerMoveUndo(*document, TPoint{layer->Left, layer->Top});
  }
  layer->Left = t.Left;
  layer->Top = t.Top;
  if (resized) layer->ScaleBy(double(w) / loadedWidth_, double(h) / loadedHeight_);
  image->InvalidateImage();
  Host().RepaintActiveImage();
  Host().RefreshLayerNavigator();
  document->Host().ShowSelectionRectStatus(*document, image->GetActiveLayerBounds());
}

void TSelParamsForm::AddBlankLayer(const TRect& t, int w, int h) {
  TNewImgForm* document = Host().GetActiveImgForm();
  if (!document) return;
  const TBitmap blank(w, h, pf24bit, clWhite);
  TLayerHost& layers = Host().LayerHost();
  if (AddLayerFromBitmap(layers, MakeNewLayerName(layers), blank, nullptr, TPoint{t.Left, t.Top}) < 0) return;
  document->NoteChangedOutsideHistory();
  Host().RefreshLayerNavigator();
  Host().UpdateCommandStates();
  SelectToolOnceHidden(13);
}

}  // namespace qm
