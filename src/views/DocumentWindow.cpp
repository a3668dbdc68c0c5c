#include "views/DocumentWindow.h"

#include <QContextMenuEvent>
#include <QDateTime>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QMdiArea>
#include <QMenu>
#include <QStyle>
#include <algorithm>

#include "controls/Beep.h"
#include "document/DocumentServices.h"
#include "document/LayerOps.h"
#include "views/DocumentWindowHost.h"
#include "views/ImageWindows.h"
#include "views/WindowLayerHost.h"
#include "imagefiles/Metadata.h"
#include "pixel/ImgUtils.h"
#include "platform/core/Messages.h"
#include "platform/qt/QtBitmap.h"
#include "platform/texts/Format.h"
#include "platform/texts/TextUtils.h"

namespace qm {
namespace {

// The highlight of the active row in the layer strip.
constexpr TColor kStripHighlight = 0x0099FF;
// The strip's width beyond its thumbnails: 2 for each of its two border edges.
constexpr int kStripEdges = 2 * 2;

TPoint ToPoint(const QPoint& p) { return TPoint{p.x(), p.y()}; }

// Sends the viewport's context-menu requests to the window.
class TContextMenuFilter : public QObject {
 public:
  TContextMenuFilter(QObject* parent, std::function<void(QContextMenuEvent*)> handler)
      : QObject(parent), handler_(std::move(handler)) {}

 protected:
  bool eventFilter(QObject*, QEvent* e) override {
    if (e->type() != QEvent::ContextMenu) return false;
    handler_(static_cast<QContextMenuEvent*>(e));
    return true;
  }

 private:
  std::function<void(QContextMenuEvent*)> handler_;
};

}  // namespace

TNewImgForm::TNewImgForm(TImageWindows& windows)
    : windows_(windows), history_(NewDocumentHistoryCapacity()) {
  setAttribute(Qt::WA_DeleteOnClose);
}

TNewImgForm* TNewImgForm::CreateWithImage(TImageWindows& windows, TImageWindowSetup setup) {
  auto* window = new TNewImgForm(windows);
  window->Build(setup);
  return window;
}

TNewImgForm::~TNewImgForm() {
  if (!closed_) {
    closed_ = true;
    windows_.RemoveImageWindow(this);
  }
  // The widgets go while the document they show is still there, and the history is
  // detached before it goes.
  selection_.reset();
  delete content_;
  image_.SetHistory(nullptr);
}

TDocumentWindowHost& TNewImgForm::Host() const { return windows_.Host(); }

// --- Creation ---------------------------------------------------------------------------

void TNewImgForm::Build(TImageWindowSetup& setup) {
  creating_ = true;
  TDocumentWindowHost& host = Host();
  const TColor color = MixColors(host.WorkspaceColor(), clWhite, 33);

  content_ = new QWidget;
  QPalette pal = content_->palette();
  pal.setColor(QPalette::Window, QColor::fromRgb(ColorToQRgb(color)));
  content_->setPalette(pal);
  content_->setAutoFillBackground(true);
  auto* row = new QHBoxLayout(content_);
  row->setContentsMargins(0, 0, 0, 0);
  row->setSpacing(0);
  navigator_ = new TLayerNavigator(image_, content_);
  navigator_->setFrameStyle(QFrame::NoFrame);
  navigator_->setBackgroundRole(QPalette::Button);
  navigator_->SetHighlightColor(kStripHighlight);
  row->addWidget(navigator_);
  view_ = new TMyImageLayered(image_, content_);
  view_->SetColor(color);
  view_->SetSelectionMode(smShape);
  view_->LayerMove().PickByClick = true;
  row->addWidget(view_, 1);
  selection_ = std::make_unique<TSelectionControl>(*view_);
  ApplyViewSettings();
  LayOutLayerStrip();
  setWidget(content_);
  WireEvents();

  image_.SetHistory(&history_);
  SetContent(setup);
  SetFileName(setup.FileName.empty() ? windows_.NextUntitledName() : setup.FileName);
  IsNew = setup.IsNew;
  if (IsNew) {
    savedStepId_ = -1;
  } else {
    savedStepId_ = 0;
    FileDate = QFileInfo(QString::fromStdString(fileName_)).lastModified().toSecsSinceEpoch();
    HasExif = FileHasExif(fileName_);
  }
  image_.ColorCount = setup.ColorCount;
  savedSelectionVisible_ = -1;
  CloneSource = TPoint{-1, -1};

  const int index = windows_.Count();
  windows_.Area().addSubWindow(this);
  show();
  PlaceImageWindow(index, setup.FitZoom, true, true, setup.Maximised);
  windows_.AddImageWindow(this);
  windows_.ActivateImageWindow(this);
  creating_ = false;
}

void TNewImgForm::SetContent(TImageWindowSetup& setup) {
  if (setup.SourceImage && setup.SourceImage->GetLayerCount() > 0) {
    image_.AssignImage(setup.SourceImage);
    navigator_->InvalidateLayerNavigator(true);
    navigator_->ShowActiveLayerRow();
  } else if (!setup.Bitmap.Empty()) {
    TWindowLayerHost host(*this);
    AddFirstLayer(host, std::move(setup.Bitmap));
  }
}

void TNewImgForm::WireEvents() {
  view_->OnMouseDown = [this](QMouseEvent* e) { MouseDown(e); };
  view_->OnMouseMove = [this](QMouseEvent* e) { MouseMove(e); };
  view_->OnMouseUp = [this](QMouseEvent* e) { MouseUp(e); };
  view_->OnSelection = [this](TMyImage&, const TRect& r, TSelectionOption option) {
    Host().ShapeDrawn(*this, r, option);
  };
  view_->OnDoubleClick = [this](TMyImage&, TPoint p) {
    const TLayerItem* layer = image_.GetActiveLayer();
    if (view_->SelectionMode() == smMoveLayer && image_.ActiveIndex() >= 1 && layer && !layer->Locked &&
        view_->IsPointOnActiveLayer(p))
      Host().OpenLayerOptions(*this);
  };
  view_->viewport()->installEventFilter(new TContextMenuFilter(this, [this](QContextMenuEvent* e) {
    const bool onSelection = selection_->IsShown() && selection_->HitTest(e->pos());
    if (QMenu* menu = onSelection ? Host().SelectionPopupMenu() : Host().ImagePopupMenu()) menu->popup(e->globalPos());
  }));
  image_.OnLayerMove = [this](TLayeredImage&, TLayerMoveStage stage) { LayerMoved(stage); };
  selection_->OnChange = [this](TSelectionControl&, TSelectionChange code) { SelectionChanged(code); };
  selection_->OnDoubleClick = [this](TSelectionControl& s) {
    if (s.ShapeKind != ssMultiPoints) Host().OpenSelectionGuides(*this);
  };
  connect(navigator_, &TLayerNavigator::ActiveChanged, this, [this](int) { Host().ActiveLayerChanged(*this); });
  connect(navigator_, &TLayerNavigator::LayerMoved, this, [this](int, int) {
    history_.DiscardRedoSteps();  // the order the steps ahead were taken in is gone
    NoteLayersChanged();
    Host().LayersChanged(*this);
  });
  connect(navigator_, &TLayerNavigator::LayerFlagsChanged, this, [this](int) {
    NoteLayersChanged();
    view_->RefreshCursor();
    Host().LayersChanged(*this);
  });
  connect(navigator_, &TLayerNavigator::LayerDoubleClicked, this, [this](int) { Host().OpenLayerOptions(*this); });
}

void TNewImgForm::SetFileName(const std::string& name) {
  fileName_ = name;
  setWindowTitle(QString::fromStdString(ExtractFileName(name)));
}

// --- Modified state ------------------------------------------------------------------------

namespace {
int32_t CurrentStepId(const TUndoList& history) {
  const TUndoLayerItem* step = history.GetCurrentUndoStep();
  return step ? step->Id() : 0;
}
}  // namespace

bool TNewImgForm::IsImageModified() const {
  return modifiedBeforePurge_ || changedOutsideHistory_ || layersChanged_ || history_.Overflow() ||
         CurrentStepId(history_) != savedStepId_;
}

void TNewImgForm::MarkImageWindowSaved() {
  ++saves_;
  savedStepId_ = CurrentStepId(history_);
  history_.SetOverflow(false);
  modifiedBeforePurge_ = changedOutsideHistory_ = layersChanged_ = false;
}

void TNewImgForm::PurgeHistory() {
  modifiedBeforePurge_ = IsImageModified();
  history_.ClearUndoList();
  // the empty history stands for the document as it is: unmodified unless it was
  savedStepId_ = CurrentStepId(history_);
}

TNewImgForm::TChangeWatch TNewImgForm::WatchChanges() const {
  TChangeWatch w;
  w.Facts = DocumentFactsOf(image_);
  w.Saves = saves_;
  w.CurrentStep = CurrentStepId(history_);
  w.Steps = history_.GetUndoStepCount();
  if (w.Steps > 0) w.LastStep = history_.GetUndoStep(w.Steps - 1)->Id();
  return w;
}

void TNewImgForm::EndWatch(const TChangeWatch& watch, bool stepTaken) {
  if (saves_ != watch.Saves) return;
  const TChangeWatch now = WatchChanges();
  // step ids grow through the run: a step taken has one above every earlier step's
  const bool grew = now.LastStep > watch.LastStep;
  const bool moved = now.Steps == watch.Steps && now.CurrentStep != watch.CurrentStep;
  if (now.Facts.Unrecorded != watch.Facts.Unrecorded ||
      (now.Facts.Recorded != watch.Facts.Recorded && !stepTaken && !grew && !moved))
    NoteChangedOutsideHistory();
}

// --- Closing ----------------------------------------------------------------------------------

bool TNewImgForm::CloseQuery() {
  TDocumentWindowHost& host = Host();
  if (host.IsDialogOpen()) {
    // the dialog works on this window's undo step: the close is refused aloud
    ControlBeep();
    return false;
  }
  if (host.IsDistortionFrameOpen()) {
    ShowMessageDialog(Tr(TextId::GetTrDlgImage11), mtWarning, mbOK);
    return false;
  }
  closing_ = QuerySaveImageWindow();
  return closing_;
}

bool TNewImgForm::QuerySaveImageWindow() {
  if (!IsImageModified()) return true;
  windows_.ActivateImageWindow(this);
  std::string text = Tr(TextId::GetTrDlgImage10);
  if (!IsNew) text = Format(TextId::GetTrDlgImage9, {windowTitle().toStdString()}) + "\r" + text;
  switch (ShowMessageDialog(text, mtConfirmation, mbYes | mbNo | mbCancel)) {
    case mrNo:
      return true;
    case mrYes:
      // only a document that is now on disk may go: a failed or cancelled save keeps
      // the window, and the document modified
      return Host().SaveImageWindow(*this) == soSaved;
    default:
      return false;
  }
}

bool TNewImgForm::CloseImageWindow(bool force) {
  if (!force && !CloseQuery()) return false;
  // the question was answered: the close that follows does not ask it again
  closeAgreed_ = true;
  const bool closed = close();
  closeAgreed_ = closing_ = false;
  return closed;
}

void TNewImgForm::closeEvent(QCloseEvent* e) {
  if (!closeAgreed_ && !CloseQuery()) {
    e->ignore();
    return;
  }
  QMdiSubWindow::closeEvent(e);
  if (!e->isAccepted()) return;
  if (!closed_) {
    closed_ = true;
    Host().WindowClosing(*this);
    windows_.RemoveImageWindow(this);
  }
}

// --- Placement ------------------------------------------------------------------------------------

int TNewImgForm::StripWidth() const { return navigator_->isVisibleTo(content_) ? navigator_->width() : 0; }

QSize TNewImgForm::ClientSize() const { return content_->size(); }

void TNewImgForm::SetClientSize(QSize s) { resize(size() - content_->size() + s); }

void TNewImgForm::PlaceImageWindow(int index, bool fitZoom, bool resize, bool cascade, bool maximise) {
  // A window made maximised gets its normal place too, for when it is restored.
  if (!isMaximized() && !isMinimized()) {
    if (cascade) move(index * 12 + 3, index * 12 + 3);
    if (resize) {
      const QSize area = windows_.Area().viewport()->size();
      const QSize least = minimumSizeHint();
      this->resize(std::max(least.width(), area.width() - 4 - x() - 3),
                   std::max(least.height(), area.height() - 4 - y() - 3));
    }
  }
  if (maximise) showMaximized();
  FitWindowToImage(fitZoom, resize);
}

void TNewImgForm::FitWindowToImage(bool fitZoom, bool shrink) {
  if (fitZoom) {
    FitToWindow = true;
    // Maximised or not, the view's own client area: a maximised child keeps its frame
    // and title bar inside the area.
    view_->ZoomToFitWindow();
    if (view_->Zoom() > 1.0) view_->SetZoom(1.0);
    if (selection_->IsShown()) selection_->UpdatePosition();
  }
  if (!shrink || isMaximized() || isMinimized()) return;
  const int frame = 2 * view_->frameWidth() + 4;
  const QSize want(view_->HorzRange() + frame + StripWidth(),
                   std::max(view_->VertRange() + frame, navigator_->isVisibleTo(content_)
                                                            ? navigator_->minimumSizeHint().height()
                                                            : 0));
  const QSize now = ClientSize();
  QSize s(std::min(now.width(), want.width()), std::min(now.height(), want.height()));
  // a side cut short brings a scroll bar across the other
  const int bar = style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, view_);
  if (s.width() < want.width()) s.setHeight(std::min(now.height(), s.height() + bar));
  if (s.height() < want.height()) s.setWidth(std::min(now.width(), s.width() + bar));
  if (s != now) SetClientSize(s);
}

void TNewImgForm::LayOutLayerStrip() {
  const int size = Host().ViewSettings().LayerStripSize;
  navigator_->setVisible(size > 0);
  if (size > 0) navigator_->setFixedWidth(size + kStripEdges);
  // the view takes the room left at once, so a fit that follows sees it
  content_->layout()->activate();
}

void TNewImgForm::ApplyViewSettings() {
  const TDocumentViewSettings s = Host().ViewSettings();
  view_->SetOptimizeMode(s.OptimizedDisplay ? omReduction : omNone);
  view_->SetBorderColor(s.BorderShadow ? clBlack : clNone);
  view_->SetShadowSize(s.BorderShadow ? 4 : 0);
  view_->SetGridWidth(s.GridWidth);
  view_->SetGridColor(s.GridColor);
  selection_->SetBoundsHitTest(s.SelectionBoundsHitTest);
}

TColor TNewImgForm::PickColorAt(TPoint client) {
  if (!view_->IsPointOnImage(client)) return clNone;
  const TPoint p = view_->ClientToImagePoint(client);
  return image_.PickComposedColor(p.X, p.Y, true);
}

// --- Activation -----------------------------------------------------------------------------

bool TNewImgForm::IsCurrent() const { return windows_.Current() == this; }

void TNewImgForm::LeaveCurrent() {
  if (savedSelectionVisible_ == -1) savedSelectionVisible_ = selection_->IsShown() ? 1 : 0;
  selection_->Hide();
  view_->SetSelectionMode(smShape);
}

void TNewImgForm::BecomeCurrent() {
  view_->viewport()->update();
  if (creating_) {
    creating_ = false;
    return;
  }
  TDocumentWindowHost& host = Host();
  host.WindowActivating(*this);
  if (savedSelectionVisible_ >= 1) selection_->Show();
  savedSelectionVisible_ = -1;
  host.WindowActivated(*this);
}

// --- The pointer on the image ------------------------------------------------------------

void TNewImgForm::MouseDown(QMouseEvent* e) {
  TDocumentWindowHost& host = Host();
  const bool dialog = host.IsDialogOpen();
  if (!dialog) {
    host.FlushPaletteEdits();
    windows_.ActivateImageWindow(this);
  }
  view_->setFocus();
  pressTool_ = nullptr;
  if (e->button() == Qt::MiddleButton) {
    host.MiddleButtonPressed(*this);
    return;
  }
  const TPoint p = ToPoint(e->position().toPoint());
  const bool onImage = view_->IsPointOnImage(p);
  if (dialog && host.IsPluginLoaded() && onImage)
    host.SendPluginPointClick(view_->ClientToImagePoint(p), e->button() == Qt::LeftButton ? 0 : 1);
  if (TColorPickTarget* picker = host.ActiveToolDialog()) {
    if (!onImage) return;
    const TColor c = PickColorAt(p);
    if (host.IsPluginLoaded()) host.SendPluginColorPick(c);
    else picker->ColorPicked(c);
    return;
  }
  if (dialog) return;
  pressTool_ = host.ActiveTool();
  if (pressTool_) pressTool_->Press(*this, TImagePointer::From(*e));
}

void TNewImgForm::MouseMove(QMouseEvent* e) {
  if (!IsCurrent()) return;
  TDocumentWindowHost& host = Host();
  const TPoint p = ToPoint(e->position().toPoint());
  if (view_->IsPointOnImage(p)) host.ShowCursorPosStatus(*this, view_->ClientToImagePoint(p));
  else host.ClearCursorPosStatus();
  if (pressTool_ && e->buttons() != Qt::NoButton && !host.IsDialogOpen())
    pressTool_->Move(*this, TImagePointer::From(*e));
}

void TNewImgForm::MouseUp(QMouseEvent* e) {
  TImageTool* tool = pressTool_;
  if (e->buttons() == Qt::NoButton) pressTool_ = nullptr;
  if (!tool || !IsCurrent() || Host().IsDialogOpen()) return;
  if (e->button() == Qt::LeftButton || e->button() == Qt::RightButton) tool->Release(*this, TImagePointer::From(*e));
}

void TNewImgForm::LayerMoved(TLayerMoveStage stage) {
  TDocumentWindowHost& host = Host();
  switch (stage) {
    case lmDragStart:
      host.SetShowHints(false);
      if (const TLayerItem* layer = image_.GetActiveLayer()) moveStart_ = TPoint{layer->Left, layer->Top};
      moveArmed_ = true;
      break;
    case lmDragging:
      host.ShowLayerRectStatus(*this);
      break;
    case lmDragEnd:
      host.SetShowHints(true);
      moveArmed_ = false;
      break;
    case lmMoved:
      host.UpdateStatusBar();
      navigator_->UpdateLayerThumbnail(image_.ActiveIndex());
      // a command placing the layer (no drag or nudge begun here) records its own step
      if (moveArmed_ && !host.PushLayerMoveUndo(*this, moveStart_)) NoteChangedOutsideHistory();
      break;
  }
}

void TNewImgForm::SelectionChanged(TSelectionChange code) {
  TDocumentWindowHost& host = Host();
  switch (code) {
    case scBegin: host.SetShowHints(false); break;
    case scMoving:
    case scChanged: host.ShowSelectionRectStatus(*this, selection_->SelRect); break;
    case scEnd: host.SetShowHints(true); break;
  }
}

}  // namespace qm
