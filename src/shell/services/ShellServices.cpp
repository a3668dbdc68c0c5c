#include "shell/services/ShellServices.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QColorDialog>
#include <QEventLoop>
#include <QLabel>
#include <QMdiArea>
#include <QStatusBar>

#include "document/qt/Clipboard.h"
#include "document/qt/SelectionMask.h"
#include "imagefiles/FileFormats.h"
#include "pixel/Blend.h"
#include "pixel/ColorAdjust.h"
#include "pixel/ImgUtils.h"
#include "platform/core/Messages.h"
#include "platform/qt/QtBitmap.h"
#include "platform/texts/Format.h"
#include "platform/texts/TextUtils.h"
#include "platform/texts/UiTexts.h"
#include "shell/services/CommandChecks.h"
#include "shell/services/FormUtils.h"
#include "shell/services/LayerChange.h"
#include "controls/Beep.h"

namespace qm {
namespace {

template <class R, class... A>
R CallOr(const std::function<R(A...)>& f, R fallback, A... args) {
  return f ? f(args...) : fallback;
}

void Call(const std::function<void()>& f) {
  if (f) f();
}

bool IsZoomButton(const QObject* sender) {
  if (!sender) return false;
  const QString n = sender->objectName();
  return n == QLatin1String("EdiZoom") || n == QLatin1String("BtnZoomPlus") || n == QLatin1String("BtnZoomMoins") ||
         n == QLatin1String("BtnZoom100") || n == QLatin1String("BtnZoomAuto");
}

// "%d:%d => %d:%d (L=%d  H=%d  L/H=%s)": the rectangle's corners (inclusive), its size
// and ratio.
std::string SelectionGeometry(const TRect& r) {
  const int w = r.Width(), h = r.Height();
  const std::string ratio = w == 0 || h == 0 ? std::string("?") : FloatToStrGeneral(double(w) / h, 3);
  return Format(TextId::GetTrFmtInfoSel, {r.Left, r.Top, r.Right - 1, r.Bottom - 1, w, h, ratio});
}

}  // namespace

TShellServices::TShellServices(QMdiArea& area, QStatusBar& statusBar, QWidget* mainWindow)
    : windows_(area, this), layerHost_(*this), operations_(layerHost_), statusBar_(statusBar), mainWindow_(mainWindow) {
  const char* names[4] = {"PnlStatus", "PnlImageSize", "PnlCursor", "PnlGeometry"};
  const int widths[4] = {160, 110, 110, 0};
  for (int i = 0; i < 4; ++i) {
    panels_[i] = new QLabel(&statusBar_);
    panels_[i]->setObjectName(QString::fromLatin1(names[i]));
    panels_[i]->setTextFormat(Qt::PlainText);
    if (widths[i]) panels_[i]->setMinimumWidth(widths[i]);
    statusBar_.addWidget(panels_[i], i == 3 ? 1 : 0);
  }
  panels_[spStatus]->setText(QString::fromStdString(Tr(TextId::GetTrStaReady)));
  operations_.Hooks.RepaintAll = [this] { windows_.RefreshAllImageWindows(); };
  operations_.Hooks.UpdateHistoryMenus = [this] { Call(Hooks.UpdateCommandStates); };
  operations_.Hooks.ResetWindowState = [this] { ResetImageWindowState(); };
  operations_.Hooks.UpdateCommandStates = [this] {
    Call(Hooks.UpdateCommandStates);
    UpdateStatusBar();
  };
}

TShellServices::~TShellServices() {
  if (HoldingCloses()) qApp->removeEventFilter(this);
}

// --- The active document ---------------------------------------------------------------

TMyImageLayered* TShellServices::GetActiveImage() const {
  TNewImgForm* w = GetActiveImgForm();
  return w ? &w->View() : nullptr;
}

TBitmap* TShellServices::GetActiveLayerBitmap() { return layerHost_.ActiveLayerBitmap(); }

TBitmap* TShellServices::GetActiveLayerMask() {
  TLayeredImage* image = layerHost_.ActiveImage();
  TLayerItem* layer = image ? image->GetActiveLayer() : nullptr;
  return layer ? &layer->Mask : nullptr;
}

TBitmap* TShellServices::GetBaseLayerBitmap() { return layerHost_.BaseLayerBitmap(); }

TSelectionControl* TShellServices::GetActiveSelection() const {
  TNewImgForm* w = GetActiveImgForm();
  return w ? &w->Selection() : nullptr;
}

TUndoList* TShellServices::GetActiveHistory() const {
  TNewImgForm* w = GetActiveImgForm();
  return w ? &w->History() : nullptr;
}

bool TShellServices::ActiveImageHasAlpha() const {
  TNewImgForm* w = GetActiveImgForm();
  return w && w->Image().GetLayerCount() > 0 && !w->Image().Layers[0].Mask.Empty();
}

std::string TShellServices::GetActiveFileName() const {
  TNewImgForm* w = GetActiveImgForm();
  return w ? w->FileName() : std::string();
}

void TShellServices::SetActiveFileName(const std::string& name) {
  if (TNewImgForm* w = GetActiveImgForm()) w->SetFileName(name);
}

bool TShellServices::IsSelectionDefined() const {
  TNewImgForm* w = GetActiveImgForm();
  return w && w->SelectionDefined;
}

void TShellServices::SetSelectionDefined(bool defined) {
  if (TNewImgForm* w = GetActiveImgForm()) w->SelectionDefined = defined;
  Call(Hooks.UpdateCommandStates);
}

int TShellServices::GetActiveImageColorCount() const {
  TNewImgForm* w = GetActiveImgForm();
  return w ? w->Image().ColorCount : 0;
}

void TShellServices::SetActiveImageColorCount(int count) {
  if (TNewImgForm* w = GetActiveImgForm()) w->Image().ColorCount = count;
}

std::string TShellServices::GetMenuItemCaption(const QAction* item) {
  return item ? CleanMenuCaption(item->text().toStdString()) : std::string();
}

TRect TShellServices::ShrinkSelectionByTenth() {
  const TRect r = layerHost_.VisibleImageRect();
  const int d = std::min(r.Width(), r.Height()) / 10;
  return TRect{r.Left + d, r.Top + d, r.Right - d, r.Bottom - d};
}

// --- Busy state and status bar -------------------------------------------------------------

void TShellServices::BeginBusy(const std::string& text, bool hourglass) {
  SetStatusText(text.empty() ? Tr(TextId::GetTrStaProcessing) : text);
  if (hourglass) SetCursorById(Qt::WaitCursor);
  if (busy_) return;
  if (!HoldingCloses()) qApp->installEventFilter(this);
  busy_ = true;
  UpdateCommandStates();
}

void TShellServices::EndBusy() {
  if (CallOr(Hooks.IsBrowserScanning, false)) {
    SetCursorById(Qt::BusyCursor);
    SetStatusText(Tr(TextId::GetTrStaExploring));
  } else {
    // The full-screen view keeps its own (blank) cursor once the override is gone.
    SetCursorById(Qt::ArrowCursor);
    SetStatusText(Tr(TextId::GetTrStaReady));
  }
  if (!busy_) return;
  busy_ = false;
  if (!HoldingCloses()) qApp->removeEventFilter(this);
  UpdateCommandStates();
  if (!HoldingCloses()) RunHeldCloses();
}

TCloseHold::TCloseHold(TShellServices& services) : services_(services) { services_.HoldCloses(); }
TCloseHold::~TCloseHold() { services_.ReleaseCloses(); }

void TShellServices::HoldCloses() {
  if (!HoldingCloses()) qApp->installEventFilter(this);
  ++closeHolds_;
}

void TShellServices::ReleaseCloses() {
  if (closeHolds_ == 0) return;
  --closeHolds_;
  if (HoldingCloses()) return;
  qApp->removeEventFilter(this);
  RunHeldCloses();
}

void TShellServices::RunHeldCloses() {
  // The closes asked for meanwhile run now, each through its window's own question.
  std::vector<QPointer<QWidget>> held;
  held.swap(heldCloses_);
  for (const QPointer<QWidget>& w : held)
    if (w) w->close();
}

void TShellServices::ProcessPendingEvents() {
  QCoreApplication::processEvents(busy_ ? QEventLoop::ExcludeUserInputEvents : QEventLoop::AllEvents);
}

bool TShellServices::eventFilter(QObject* watched, QEvent* e) {
  if (!HoldingCloses() || e->type() != QEvent::Close || !watched->isWidgetType()) return false;
  auto* w = static_cast<QWidget*>(watched);
  // The filter is the application's: only this shell's own windows are held. A
  // document window of another shell belongs to work this one knows nothing of, and
  // holding it would leave that shell's forced close refused for as long as this one
  // stays busy.
  auto* document = dynamic_cast<TNewImgForm*>(w);
  const bool shellWindow = w == mainWindow_ || (document && windows_.MenuEntry(document));
  if (!shellWindow) return false;
  e->ignore();
  if (std::find(heldCloses_.begin(), heldCloses_.end(), w) == heldCloses_.end()) heldCloses_.emplace_back(w);
  return true;
}

void TShellServices::SetStatusText(const std::string& text) {
  const std::string shown = text == Tr(TextId::GetTrStaReady) ? text : DecorateCaption(text, ckEllipsis);
  panels_[spStatus]->setText(QString::fromStdString(shown));
  panels_[spStatus]->repaint();
}

void TShellServices::UpdateStatusBar() {
  TNewImgForm* w = GetActiveImgForm();
  if (!w || w->Image().GetLayerCount() == 0) {
    SetStatusText(Tr(TextId::GetTrStaReady));
    for (int i = 1; i < 4; ++i) panels_[i]->clear();
    Call(Hooks.ResetZoomBox);
    return;
  }
  const TBitmap& bg = w->Image().Layers[0].Image;
  const bool alpha = ActiveImageHasAlpha();
  const int colors = w->Image().ColorCount;
  const std::string depth = alpha ? Tr(TextId::TrFixAlpha)
                                  : colors >= 257 ? Tr(TextId::GetTrStaFlagRVB) : std::to_string(colors);
  panels_[spImageSize]->setText(QString::fromStdString(
      Format(alpha ? TextId::TrFixFmtImageSizeAlpha : TextId::TrFixFmtImageSizeDepth, {bg.Width(), bg.Height(), depth})));
  std::string geometry;
  if (w->Selection().Visible) geometry = SelectionGeometry(w->Selection().SelRect);
  else if (!CallOr(Hooks.IsLayerToolActive, false)) geometry = w->FileName();
  else geometry = LayerBoundsText();
  panels_[spGeometry]->setText(QString::fromStdString(geometry));
}

void TShellServices::ShowCursorPosStatus(TNewImgForm&, TPoint p) {
  panels_[spCursor]->setText(QString::fromStdString(Format(TextId::TrFixFmtCursorPos, {p.X, p.Y})));
  panels_[spCursor]->repaint();
}

void TShellServices::ClearCursorPosStatus() {
  if (QCoreApplication::closingDown()) return;
  panels_[spCursor]->clear();
}

void TShellServices::ShowSelectionRectStatus(TNewImgForm& window, const TRect& r) {
  const bool dragging = window.View().IsTracking();
  if (!window.Selection().Visible && !CallOr(Hooks.IsDistortionFrameOpen, false) && !dragging) return;
  panels_[spGeometry]->setText(QString::fromStdString(SelectionGeometry(r)));
  panels_[spGeometry]->repaint();
}

void TShellServices::ShowLayerRectStatus(TNewImgForm&) {
  if (!CallOr(Hooks.IsLayerToolActive, false)) return;
  panels_[spGeometry]->setText(QString::fromStdString(LayerBoundsText()));
  panels_[spGeometry]->repaint();
}

std::string TShellServices::LayerBoundsText() const {
  TNewImgForm* w = GetActiveImgForm();
  const TLayerItem* layer = w ? w->Image().GetActiveLayer() : nullptr;
  if (!layer) return {};
  if (layer->LayerType >= ltAdjustment) return w->FileName();
  const TRect r = w->Image().GetActiveLayerBounds();
  return Format(TextId::GetTrFmtInfoSel2, {r.Left, r.Top, r.Right - 1, r.Bottom - 1, r.Width(), r.Height()});
}

// --- The shell lock ---------------------------------------------------------------------------

void TShellServices::SetShellLock(QWidget* form) {
  if (form == lock_) return;
  // A dialog's changes are its undo step's, but for what no step holds (the layers'
  // settings): those mark the document when the dialog goes.
  if (!lock_) lockMark_ = MarkHistory();
  else if (!form && lockMark_.Window) lockMark_.Window->EndWatch(lockMark_.Changes, true);
  lock_ = form;
  panels_[spCursor]->clear();
  if (QWidget* palette = CallOr<QWidget*>(Hooks.PaletteWindow, nullptr); palette && palette->isVisible()) {
    if (form) Call(Hooks.SelectPaletteSelectionTool);
    palette->setEnabled(!form);
  }
  if (QWidget* browser = CallOr<QWidget*>(Hooks.BrowserWindow, nullptr)) browser->setEnabled(!form);
  Call(Hooks.RefreshImageMode);
  if (form) windows_.DisableOtherImageWindows(GetActiveImgForm());
  else windows_.EnableAllImageWindows();
  // the states computed while the lock held are stale once it changes
  UpdateCommandStates();
}

void TShellServices::UpdateCommandStates() { Call(Hooks.UpdateCommandStates); }

void TShellServices::ResetSelectionMode() { Call(Hooks.ResetSelectionMode); }

void TShellServices::SetActiveToolDialog(QWidget* form) {
  if (form == toolDialog_) return;
  toolDialog_ = form;
  SetShellLock(form);
  Call(Hooks.RefreshImageCursor);
}

void TShellServices::EnableShell(QWidget* form) {
  if (mainWindow_) mainWindow_->setEnabled(!form);
  if (!form) {
    if (TNewImgForm* w = GetActiveImgForm()) w->setFocus();
    else if (mainWindow_) mainWindow_->setFocus();
  }
  SetShellLock(form);
}

void TShellServices::SetBatchLock(QWidget* form) {
  SetShellLock(form);
  if (form) {
    if (TNewImgForm* w = GetActiveImgForm()) w->setEnabled(false);
    SetZoomEnabled(false);
  } else {
    SetZoomEnabled(true);
  }
}

void TShellServices::SetZoomEnabled(bool enabled) {
  zoomEnabled_ = enabled;
  if (Hooks.SetZoomBoxReadOnly) Hooks.SetZoomBoxReadOnly(!enabled);
}

bool TShellServices::IsViewDragged() const {
  TNewImgForm* w = GetActiveImgForm();
  return w && (w->View().IsDragTracking() || w->View().LayerMove().State() != TMoveState::Idle);
}

bool TShellServices::CanStartToolAction() {
  if (lock_ || IsPluginLoaded()) return false;
  TNewImgForm* w = GetActiveImgForm();
  if (!w) return true;
  if (IsViewDragged()) return false;
  return !w->Selection().IsDragging();
}

bool TShellServices::CanRunCommand(const QObject* sender) {
  FlushPaletteEdits();
  bool allowed = !IsViewDragged();
  if (allowed) allowed = IsZoomButton(sender) ? zoomEnabled_ : lock_ == nullptr;
  if (allowed) return true;
  if (IsDistortionFrameOpen()) ShowMessageDialog(Tr(TextId::GetTrDlgImage11), mtWarning, mbOK);
  else ControlBeep();
  return false;
}

TShellServices::THistoryMark TShellServices::MarkHistory() const {
  THistoryMark mark;
  mark.Window = GetActiveImgForm();
  if (mark.Window) {
    if (const TUndoLayerItem* step = mark.Window->History().GetCurrentUndoStep()) mark.StepId = step->Id();
    mark.Changes = mark.Window->WatchChanges();
  }
  return mark;
}

void TShellServices::EndCommand(const THistoryMark& mark) {
  if (mark.Window) mark.Window->EndWatch(mark.Changes);
}

void TShellServices::RecoverFromFailure(const THistoryMark& mark, const std::exception_ptr& failure) {
  TNewImgForm* w = GetActiveImgForm();
  if (w && w == mark.Window) {
    TUndoList& history = w->History();
    bool dropped = false;
    for (TUndoLayerItem* step = history.GetCurrentUndoStep(); step && step->Id() > mark.StepId;
         step = history.GetCurrentUndoStep()) {
      operations_.RestoreFromHistory();
      history.DeleteLastUndoStep();
      dropped = true;
    }
    if (dropped) {
      w->Image().InvalidateImage();
      operations_.RefreshLayerNavigator();
    }
  }
  if (lock_ && !lock_->isVisible()) SetShellLock(nullptr);
  EndBusy();
  RepaintActiveImage();
  ShowMessageDialog(FailureMessage(failure), mtError, mbOK);
}

// --- Undo and redo ---------------------------------------------------------------------------------

void TShellServices::UndoCommand(const QObject* sender) {
  if (!CanRunCommand(sender)) return;
  BeginBusy({}, true);
  if (!sender || sender->objectName() != QLatin1String("BtnUndo")) windows_.RefreshAllImageWindows();
  operations_.Undo();
  EndBusy();
}

void TShellServices::RedoCommand(const QObject* sender) {
  if (!CanRunCommand(sender)) return;
  BeginBusy({}, true);
  if (!sender || sender->objectName() != QLatin1String("BtnRedo")) windows_.RefreshAllImageWindows();
  operations_.Redo();
  EndBusy();
}

// --- Repaint, navigator, selection --------------------------------------------------------------

void TShellServices::RepaintActiveImage() {
  if (TMyImageLayered* view = GetActiveImage()) view->viewport()->update();
}

void TShellServices::RestrictToSelection(TSelectionEdge edge, TRestoreMaskCache* cache) {
  RestrictChangeToSelection(layerHost_, edge, cache);
}

void TShellServices::StrokeSelectionWith(TColor color, int width, bool smooth) {
  StrokeSelectionOutline(layerHost_, color, width, smooth);
}

void TShellServices::ResetImageWindowState() {
  TNewImgForm* w = GetActiveImgForm();
  if (!w) return;
  if (Hooks.ReapplyZoom) Hooks.ReapplyZoom(*w);
  UpdateStatusBar();
  w->SelectionDefined = false;
  w->Selection().Hide();
  w->Selection().Shape.Clear();
  if (Hooks.EnableSelectionButton) Hooks.EnableSelectionButton(false);
  panels_[spCursor]->clear();
  w->CloneSource = TPoint{-1, -1};
  w->CloneOffsetSet = false;
  w->Navigator().InvalidateLayerNavigator(true);
}

bool TShellServices::PickColorWithDialog(TColor& color) {
  const QColor chosen = QColorDialog::getColor(QColor::fromRgb(ColorToQRgb(color)), QApplication::activeWindow());
  if (!chosen.isValid()) return false;
  color = QRgbToColor(chosen.rgb());
  return true;
}

bool TShellServices::CanPasteImage(bool needTrueColourDocument) {
  if (!ClipboardHasImage()) return false;
  return !needTrueColourDocument || (HasActiveImage() && IsActiveImageTrueColor());
}

void TShellServices::ClearWorkRect() {
  TLayeredImage* image = layerHost_.ActiveImage();
  TLayerItem* layer = image ? image->GetActiveLayer() : nullptr;
  if (!layer) return;
  const TRect r = IntersectRect(GetWorkRect(), TRect{0, 0, layer->Image.Width(), layer->Image.Height()});
  if (r.IsEmpty()) return;
  if (layer->Mask.Empty()) {
    const TLayerItem& bg = image->Layers[0];
    const bool transparent = bg.Image.Transparent;
    const TColor fill = transparent ? bg.Image.EffectiveTransparentColor() : layerHost_.BackgroundColor();
    layer->Image.FillRect(r, fill);
    RestrictToSelection(transparent ? seHard : seSmooth);
  } else if (HasUsableSelection(layerHost_, true)) {
    // The smoothed restore mask (0 outside the selection, 255 inside) complemented:
    // white is blended into the layer's mask inside the selection, and the region is
    // hidden there.
    if (std::unique_ptr<TBitmap> mask = ApplySelectionMaskToLayer(layerHost_, seSmooth)) {
      InvertRect(*mask, r);
      BlendColorThroughMask(*mask, r, layer->Mask, 0, 0, r, clWhite, 100);
    }
  } else {
    layer->Mask.FillRect(r, clWhite);
  }
  image->InvalidateLayerRect(image->LayerRectToImageRect(r));
}

// --- Document windows -----------------------------------------------------------------------------

TNewImgForm* TShellServices::CreateImageWindow(const TBitmap* bitmap, const TLayeredImage* image, int colorCount,
                                               bool isNew, const std::string& fileName) {
  // a bitmap beside layers is never used: it is not copied
  return CreateImageWindow(bitmap && !(image && image->GetLayerCount() > 0) ? bitmap->Clone() : TBitmap(), image,
                           colorCount, isNew, fileName);
}

TNewImgForm* TShellServices::CreateImageWindow(TBitmap&& bitmap, const TLayeredImage* image, int colorCount,
                                               bool isNew, const std::string& fileName) {
  QMdiArea& area = windows_.Area();
  area.setUpdatesEnabled(false);
  TImageWindowSetup spec;
  if (CallOr(Hooks.MaximiseNewWindows, false)) spec.Maximised = true;
  else if (TNewImgForm* previous = GetActiveImgForm()) spec.Maximised = previous->isMaximized();
  else spec.Maximised = false;
  spec.ColorCount = colorCount;
  spec.IsNew = isNew;
  spec.FileName = fileName;
  spec.SourceImage = image;
  spec.Bitmap = std::move(bitmap);
  TNewImgForm* window = TNewImgForm::CreateWithImage(windows_, std::move(spec));
  area.setUpdatesEnabled(true);
  Call(Hooks.ResetZoomBox);
  UpdateStatusBar();
  Call(Hooks.UpdateCommandStates);
  return window;
}

bool TShellServices::CloseImageWindow(TNewImgForm* window, bool force) {
  if (!window) return false;
  FlushPaletteEdits();
  const bool closed = window->CloseImageWindow(force);
  if (closed && windows_.Count() == 0 && !QCoreApplication::closingDown()) {
    Call(Hooks.UpdateCommandStates);
    UpdateStatusBar();
  }
  return closed;
}

// --- Loads and saves ------------------------------------------------------------------------------

TPictureFileSettings TShellServices::FileSettingsFor(TFileCall call) {
  TPictureFileSettings settings = FileSettings;
  settings.OnFileProgress = [this, call](const TFileSender& s, const std::string& f, int stage, bool& flag) {
    OnFileProgress(call, s, f, stage, flag);
  };
  return settings;
}

void TShellServices::OnFileProgress(const TFileCall& call, const TFileSender& sender, const std::string& fileName,
                                    int stage, bool& flag) {
  switch (stage) {
    case fpBeforeLoad: {
      if (call.AllowReopen) return;
      TNewImgForm* open = windows_.FindImageWindowByFileName(fileName);
      if (!open) return;
      windows_.ActivateImageWindow(open);
      open->raise();
      ShowMessageDialog(Tr(TextId::GetTrDlgMain7), mtWarning, mbOK);
      flag = false;
      return;
    }
    case fpBeforeSave: {
      if (call.ConfirmFormatLimits && !ConfirmSaveFormatLimits(layerHost_.ActiveImage(), sender.Format)) {
        flag = false;
        return;
      }
      if (Hooks.PrepareExportBitmap) Hooks.PrepareExportBitmap(sender, fileName);
      if (sender.Kind == TFileObject::Jpeg && sender.Jpeg) {
        if (JpegQuality >= 0 && JpegQuality <= 100) {
          sender.Jpeg->Quality = JpegQuality;
          if (sender.KeepExif) *sender.KeepExif = KeepExifSetting;
        } else if (call.AskOptions && Hooks.AskJpegOptions) {
          SetCursorById(Qt::ArrowCursor);
          bool keep = KeepExifSetting;
          flag = Hooks.AskJpegOptions(fileName, *sender.Jpeg, keep);
          if (!flag) return;
          if (sender.KeepExif) *sender.KeepExif = keep;
          BeginBusy(Tr(TextId::GetTrStaSaving));
        }
      } else if (sender.Kind == TFileObject::Png && sender.Png && call.AskOptions && Hooks.AskPngOptions) {
        flag = Hooks.AskPngOptions(fileName, *sender.Png);
      } else if (sender.Kind == TFileObject::Gif && sender.GifOptions && call.AskOptions && Hooks.AskGifOptions) {
        flag = Hooks.AskGifOptions(fileName, *sender.GifOptions);
        if (flag) {
          // Kept for the GIF saves that follow.
          FileSettings.GifOptimizePalette = sender.GifOptions->OptimizePalette;
          FileSettings.GifInterlaced = sender.GifOptions->Interlaced;
        }
      }
      return;
    }
    default: return;
  }
}

// --- File actions ------------------------------------------------------------------------------------

bool TShellServices::IsBrowserScanning() { return CallOr(Hooks.IsBrowserScanning, false); }
TIniFile* TShellServices::SettingsFile() { return CallOr<TIniFile*>(Hooks.SettingsFile, nullptr); }
std::string TShellServices::LastUsedFolder() { return CallOr(Hooks.LastUsedFolder, std::string()); }

std::string TShellServices::SaveFolder() { return CallOr(Hooks.SaveFolder, std::string()); }

int TShellServices::SaveImageFile(std::string& fileName, TBitmap& bitmap, TLayeredImage& document,
                                  TSaveResult* report) {
  TPictureFileSettings settings = FileSettingsFor({.AskOptions = false});
  if (report) settings.ShowFileErrors = false;
  return SaveDocumentFile(settings, fileName, bitmap, document, {}, report);
}

void TShellServices::FileRenamed(const std::string& from, const std::string& to) {
  if (TNewImgForm* w = windows_.FindImageWindowByFileName(from)) {
    w->SetFileName(to);
    if (w == GetActiveImgForm()) UpdateStatusBar();
  }
  if (Hooks.FileRenamed) Hooks.FileRenamed(from, to);
}

void TShellServices::FileRecycled(const std::string& name) {
  // The document's file is gone: its window closes without asking to save it.
  if (TNewImgForm* w = windows_.FindImageWindowByFileName(name)) {
    w->MarkImageWindowSaved();
    CloseImageWindow(w, true);
  }
  if (Hooks.FileRemoved) Hooks.FileRemoved(name);
}

// --- TDocumentWindowHost ---------------------------------------------------------------------------

TDocumentViewSettings TShellServices::ViewSettings() const {
  return Hooks.ViewSettings ? Hooks.ViewSettings() : TDocumentViewSettings{};
}

bool TShellServices::IsDistortionFrameOpen() const { return CallOr(Hooks.IsDistortionFrameOpen, false); }
bool TShellServices::IsPluginLoaded() const { return CallOr(Hooks.IsPluginLoaded, false); }

void TShellServices::SendPluginPointClick(TPoint imagePoint, int button) {
  if (Hooks.SendPluginPointClick) Hooks.SendPluginPointClick(imagePoint, button);
}

void TShellServices::SendPluginColorPick(TColor color) {
  if (Hooks.SendPluginColorPick) Hooks.SendPluginColorPick(color);
}

TColorPickTarget* TShellServices::ActiveToolDialog() const {
  if (auto* target = dynamic_cast<TColorPickTarget*>(toolDialog_.data())) return target;
  return toolDialog_ && IsPluginLoaded() ? &pluginPicker_ : nullptr;
}
TImageTool* TShellServices::ActiveTool() { return CallOr<TImageTool*>(Hooks.ActiveTool, nullptr); }
bool TShellServices::FlushPaletteEdits() { return CallOr(Hooks.FlushPaletteEdits, false); }

bool TShellServices::PushLayerMoveUndo(TNewImgForm& window, TPoint oldPosition) {
  if (&window != GetActiveImgForm()) return false;
  operations_.PushLayerMoveUndo(oldPosition);
  const TUndoLayerItem* step = window.History().GetCurrentUndoStep();
  return step && step->Layer == window.Image().GetActiveLayer() && GetUndoStepParam(*step, upKind) == ukLayerMove;
}

void TShellServices::ShapeDrawn(TNewImgForm& window, const TRect& r, TSelectionOption option) {
  if (Hooks.ShapeDrawn) Hooks.ShapeDrawn(window, r, option);
  else TDocumentWindowHost::ShapeDrawn(window, r, option);
}

void TShellServices::SetShowHints(bool on) {
  if (Hooks.SetShowHints) Hooks.SetShowHints(on);
}

void TShellServices::WindowActivated(TNewImgForm&) {
  UpdateStatusBar();
  Call(Hooks.UpdateCommandStates);
}

void TShellServices::WindowClosing(TNewImgForm& window) {
  if (auto* holder = dynamic_cast<TShellLockHolder*>(lock_.data())) holder->DocumentClosing(window);
}

// --- The current window's layer host ---------------------------------------------------------

TShellServices::TServicesLayerHost::TServicesLayerHost(TShellServices& services)
    : TWindowLayerHost(services.windows_), services_(services) {}

const TBitmap* TShellServices::TServicesLayerHost::PreChangeCopy() { return services_.operations_.PreChangeCopy(); }

TSelectionSmoothing TShellServices::TServicesLayerHost::SelectionSmoothing() {
  return services_.Hooks.SelectionSmoothing ? services_.Hooks.SelectionSmoothing() : selSmoothEdge;
}

TColor TShellServices::TServicesLayerHost::ForegroundColor() {
  return CallOr(services_.Hooks.ForegroundColor, TColor(clBlack));
}

TColor TShellServices::TServicesLayerHost::BackgroundColor() {
  return CallOr(services_.Hooks.BackgroundColor, TColor(clWhite));
}

void TShellServices::TServicesLayerHost::OpenImageDocument(TBitmap&& image, int colorCount,
                                                           const std::string& caption) {
  services_.CreateImageWindow(std::move(image), nullptr, colorCount, true, caption);
}

}  // namespace qm
