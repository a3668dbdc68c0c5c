#include "shell/commands/SelectionCommands.h"

#include <QAction>
#include <QActionGroup>
#include <QKeyEvent>
#include <QLabel>
#include <QMdiArea>
#include <QMenu>
#include <cmath>

#include "document/SelectionFile.h"
#include "document/qt/SelectionMask.h"
#include "pixel/ImgUtils.h"
#include "pixel/RectUtils.h"
#include "platform/core/Exceptions.h"
#include "platform/core/Messages.h"
#include "platform/core/Numeric.h"
#include "platform/texts/AppPaths.h"
#include "platform/texts/Format.h"
#include "platform/texts/TextUtils.h"
#include "platform/texts/UiTexts.h"
#include "shell/services/CommandSet.h"
#include "shell/commands/DirectCommands.h"
#include "shell/services/ShellServices.h"
#include "views/PictureDialogs.h"

namespace qm {
namespace {

// The aspect ratios of "Adapter aux proportions", by the items' tags.
constexpr double kRatios[] = {2.0, 1.5, 4.0 / 3.0, 16.0 / 9.0};

// The selection shape each letter chooses, "A" to "J" ("J" is the polygon drawn vertex
// by vertex); "K" to "X" choose the palette's tools 1 to 14.
constexpr TMyShape kLetterShapes[] = {ssRect,      ssEllipse,   ssRoundRect, ssLosange, ssTriangle1,
                                      ssTriangle2, ssTriangle3, ssTriangle4, ssPolygon, ssPolygon};


std::string RowCaption(std::string_view name) {
  const TCommandRow* row = FindCommandRow(name);
  return row ? CleanMenuCaption(CommandCaption(*row)) : std::string();
}

// A text of the table, or the program's own when a translation left it empty.
std::string TextOr(TextId id, TextId fallback) {
  const std::string& t = Tr(id);
  return t.empty() ? Tr(fallback) : t;
}

TRect ImageRect(TNewImgForm& w) {
  const TBitmap& bg = w.Image().Layers[0].Image;
  return TRect{0, 0, bg.Width(), bg.Height()};
}

bool HasPolygonPoints(const TSelectionOverlay& sel) { return !sel.Shape.Points.empty() && !sel.Shape.HasFlags(); }

}  // namespace

TSelectionCommands::TSelectionCommands(TCommandSet& commands, TShellServices& services)
    : QObject(&services), commands_(commands), services_(services) {
  using S = const TCommandSender&;
  commands.SetSharedHandler("MenuSelSelectionClick", [this](S s) { ToggleSelection(s.Action); });
  commands.SetHandler("MenuSelTout", [this](S) { SelectAll(); });
  commands.SetHandler("MenuSelCalque", [this](S) { SelectLayer(); });
  commands.SetSharedHandler("MenuSelFormeClick", [this](S s) { ChangeShape(s.Tag(), s.Parent); });
  commands.SetSharedHandler("MenuSelInverserClick", [this](S) { Invert(); });
  commands.SetSharedHandler("MenuSelCentreClick", [this](S s) { Centre(s.Tag()); });
  commands.SetSharedHandler("MenuSelAdapterClick", [this](S s) { FitRatio(s.Tag()); });
  commands.SetHandler("MenuSelReperes", [this](S s) {
    services_.Windows().SetSelectionHitTestAll(s.Action->isChecked());
  });
  // The radio group keeps one of the three checked; the masks read it through Smoothing.
  commands.SetSharedHandler("MenuSelLissageClick", [](S) {});
  commands.SetHandler("MenuSelCopier", [this](S) { CopyShape(); });
  commands.SetHandler("MenuSelColler", [this](S) { PasteShape(); });
  commands.SetPredicate("MenuSelColler", [this] { return clip_.Filled; });
  commands.SetHandler("MenuSelEnregistrer", [this](S) { SaveShape(); });
  commands.SetHandler("MenuSelCharger", [this](S) { LoadSelectionFile({}); });

  for (std::string_view menu : {"MenuSelForme", "PopSelForme", "PopImgForme"})
    if (QMenu* m = commands.Menu(menu))
      connect(m, &QMenu::aboutToShow, this, [this, menu] { UpdateShapeMenu(menu); });
  if (QMenu* m = commands.Menu("MenuSelection"))
    connect(m, &QMenu::aboutToShow, this, [this] {
      TNewImgForm* w = Active();
      SetSelectionCaption(w && w->Selection().Visible);
    });

  services.Hooks.SelectionSmoothing = [this] { return Smoothing(); };
  services.Hooks.ShapeDrawn = [this](TNewImgForm& w, const TRect& r, TSelectionOption o) { ShapeDrawn(w, r, o); };
  services.Hooks.SetShowHints = [this](bool on) { SetShowHints(on, true); };
  for (TNewImgForm* w : services.Windows().Windows()) FollowWindow(w);
  connect(&services.Windows().Area(), &QMdiArea::subWindowActivated, this,
          [this](QMdiSubWindow* sub) { FollowWindow(dynamic_cast<TNewImgForm*>(sub)); });
}

TNewImgForm* TSelectionCommands::Active() const { return services_.GetActiveImgForm(); }

void TSelectionCommands::FollowWindow(TNewImgForm* window) {
  if (!window || window->View().property("qmSelectionKeys").toBool()) return;
  window->View().setProperty("qmSelectionKeys", true);
  window->View().installEventFilter(this);
}

bool TSelectionCommands::eventFilter(QObject* watched, QEvent* e) {
  if (e->type() != QEvent::KeyPress && e->type() != QEvent::KeyRelease) return false;
  TNewImgForm* w = Active();
  if (!w || watched != &w->View()) return false;
  auto* key = static_cast<QKeyEvent*>(e);
  if (e->type() == QEvent::KeyRelease) {
    KeyUp(*w, key);
    return false;
  }
  return KeyDown(*w, key);
}

// --- Services ---------------------------------------------------------------------------------

void TSelectionCommands::SetSelectionCaption(bool shown) {
  if (QAction* a = commands_.Action("MenuSelSelection"))
    a->setText(QString::fromStdString(Tr(shown ? TextId::GetTrMnuSelHide : TextId::GetTrMnuSelShow)));
}

void TSelectionCommands::HideSelection() {
  TNewImgForm* w = Active();
  if (!w) return;
  w->Selection().Hide();
  SetSelectionCaption(false);
  services_.UpdateStatusBar();
}

void TSelectionCommands::ResetSelectionMode() {
  TNewImgForm* w = Active();
  if (!w) return;
  TSelectionControl& sel = w->Selection();
  QWidget* palette = services_.Hooks.PaletteWindow ? services_.Hooks.PaletteWindow() : nullptr;
  if (palette && palette->isVisible() && services_.Hooks.SelectPaletteSelectionTool)
    services_.Hooks.SelectPaletteSelectionTool();
  else
    w->View().RefreshCursor();
  sel.SetLocked(false);
  sel.SetOutlineVisible(true);
  const bool traced = sel.ShapeKind == ssMultiPoints;
  sel.AntsColorA = traced ? 0x337733 : 0x333333;
  sel.AntsColorB = traced ? 0xCCDDDD : 0xDDDDDD;
  w->View().SetSelectionMode(smShape);
  SetSelectionCaption(true);
  sel.Resizable = !traced;
  sel.Show();
  w->SelectionDefined = true;
  if (services_.Hooks.UpdateCommandStates) services_.Hooks.UpdateCommandStates();
  services_.UpdateStatusBar();
}

void TSelectionCommands::SelectSelectionTool(TMyShape kind, bool multiLine, int mode) {
  TNewImgForm* w = Active();
  if (!w) return;
  if (mode == 0 || mode == 2) {
    w->View().SetSelShape(kind);
    w->View().MultiLine = multiLine;
    w->View().RefreshCursor();
    if (mode == 2) return;
  }
  TSelectionControl& sel = w->Selection();
  const bool wasTraced = sel.Visible && sel.ShapeKind == ssMultiPoints;
  sel.SetShape(kind);
  // the outline is fitted again to the rectangle; a polygon's own points stay, so the
  // shape can be turned back into it
  sel.Shape.DisplayPoints.clear();
  sel.Shape.DisplayRect = TRect{};
  if (wasTraced) ResetSelectionMode();
}

TSelectionSmoothing TSelectionCommands::Smoothing() const {
  QAction* a = commands_.Action("MenuSelAucunLissage");
  QAction* checked = a && a->actionGroup() ? a->actionGroup()->checkedAction() : nullptr;
  if (!checked) return selSmoothEdge;
  if (checked->objectName() == QLatin1String("MenuSelAucunLissage")) return selSmoothNone;
  if (checked->objectName() == QLatin1String("MenuSelContourProgressif")) return selSmoothProgressive;
  return selSmoothEdge;
}

TRect TSelectionCommands::DefaultSelectionRect() const {
  const TRect v = services_.LayerHost().VisibleImageRect();
  const int d = std::min(v.Width(), v.Height()) / 10;
  return TRect{v.Left + d, v.Top + d, v.Right - d, v.Bottom - d};
}

// --- The menu's commands -------------------------------------------------------------------

void TSelectionCommands::ToggleSelection(const QObject* sender) {
  if (!services_.CanRunCommand(sender)) return;
  TNewImgForm* w = Active();
  if (!w) return;
  if (w->Selection().Visible) HideSelection();
  else ResetSelectionMode();
}

void TSelectionCommands::SelectAll() {
  TNewImgForm* w = Active();
  if (!w) return;
  HideSelection();
  SelectSelectionTool(ssRect, false, 0);
  w->Selection().SetSelectionRect(ImageRect(*w));
  w->Selection().SetOutlineInset(false);
  ResetSelectionMode();
}

void TSelectionCommands::SelectLayer() {
  TNewImgForm* w = Active();
  TLayerItem* layer = w ? w->Image().GetActiveLayer() : nullptr;
  if (!layer) return;
  HideSelection();
  TSelectionControl& sel = w->Selection();
  TRect r;
  if (layer->Mask.Empty()) {
    // a layer without a mask is opaque all over: its whole rectangle
    sel.SetShape(ssRect);
    r = w->Image().GetActiveLayerBounds();
  } else {
    TShapeManager traced;
    traced.ShapeFromMask(&layer->Mask, 254, r);
    if (r.IsEmpty()) return;
    r = w->Image().LayerRectToImageRect(r);
    sel.Shape.Points = std::move(traced.Points);
    sel.Shape.PointFlags = std::move(traced.PointFlags);
    sel.Shape.Bounds = traced.Bounds;
    sel.Shape.DisplayPoints.clear();
    sel.Shape.DisplayRect = TRect{};
    sel.SetShape(ssMultiPoints);
  }
  sel.SetSelectionRect(r);
  sel.SetOutlineInset(false);
  ResetSelectionMode();
}

void TSelectionCommands::ChangeShape(int tag, std::string_view menu) {
  // from the image's pop-up only the shape of the next drawing changes
  if (menu == "PopImgForme") SelectSelectionTool(TMyShape(tag), true, 2);
  else SelectSelectionTool(TMyShape(tag), false, 1);
}

void TSelectionCommands::UpdateShapeMenu(std::string_view menu) {
  QMenu* m = commands_.Menu(menu);
  TNewImgForm* w = Active();
  if (!m || !w) return;
  const bool tool = menu == "PopImgForme";
  const TSelectionControl& sel = w->Selection();
  const int current = tool ? w->View().SelShape() : sel.ShapeKind;
  for (QAction* a : m->actions()) {
    const TCommandRow* row = FindCommandRow(a->objectName().toStdString());
    if (!row || row->Kind != TCommandKind::Item) continue;
    const bool checked = row->Tag == current;
    a->setChecked(checked);
    // a selection becomes a polygon again only from points of its own
    const bool polygonOk = tool || (HasPolygonPoints(sel) && sel.ShapeKind != ssMultiPoints);
    a->setEnabled(!checked && (row->Tag != ssPolygon || polygonOk));
  }
}

void TSelectionCommands::Invert() {
  TNewImgForm* w = Active();
  if (!w) return;
  TSelectionControl& sel = w->Selection();
  if (sel.ShapeKind == ssMultiPoints) {
    HideSelection();
    TRect r;
    InvertSelectionShape(services_.LayerHost(), r);
    ResetSelectionMode();
  } else {
    sel.SetOutlineInset(!sel.Inverted);
    services_.UpdateStatusBar();
  }
}

void TSelectionCommands::Centre(int alignment) {
  TNewImgForm* w = Active();
  if (!w) return;
  TRect r = w->Selection().SelRect;
  AlignRectInRect(r, ImageRect(*w), TAlignment(alignment));
  w->Selection().SetSelectionRect(r);
  services_.ShowSelectionRectStatus(*w, r);
}

void TSelectionCommands::FitRatio(int tag) {
  TNewImgForm* w = Active();
  if (!w || w->Selection().ShapeKind == ssMultiPoints) return;
  const TRect image = ImageRect(*w);
  TRect r = w->Selection().SelRect;
  KeepRectInside(r, image, true);
  if (tag < 0 || tag >= int(std::size(kRatios))) {
    MakeRectSquare(r, true, true, r);
  } else {
    const double q = kRatios[tag];
    int width = r.Width(), height = r.Height();
    if (height >= width) {
      width = RoundHalfEven(height / q);
      if (width > image.Width()) {
        width = image.Width();
        height = RoundHalfEven(width * q);
      }
    } else {
      height = RoundHalfEven(width / q);
      if (height > image.Height()) {
        height = image.Height();
        width = RoundHalfEven(height * q);
      }
    }
    r.Right = r.Left + width;
    r.Bottom = r.Top + height;
  }
  KeepRectInside(r, image, true);
  HideSelection();
  w->Selection().SetSelectionRect(r);
  ResetSelectionMode();
}

void TSelectionCommands::CopyShape() {
  TNewImgForm* w = Active();
  if (!w) return;
  const TSelectionControl& sel = w->Selection();
  clip_.Filled = true;
  clip_.Kind = sel.ShapeKind;
  clip_.Rect = TRect{0, 0, sel.SelRect.Width(), sel.SelRect.Height()};
  clip_.Points = TShapeRecord{};
  if (sel.ShapeKind == ssPolygon || sel.ShapeKind == ssMultiPoints) sel.Shape.SaveToRecord(clip_.Points);
  commands_.UpdateStates();
}

void TSelectionCommands::PlaceShape(const std::function<bool(TSelectionOverlay& sel, TRect& stored)>& take) {
  TNewImgForm* w = Active();
  if (!w) return;
  TSelectionControl& sel = w->Selection();
  const bool keep = sel.Visible && ShowMessageDialog(Tr(TextId::GetTrDlgSel1), mtConfirmation, mbYes | mbNo) == mrYes;
  const TRect current = sel.SelRect;
  HideSelection();
  TRect stored;
  if (!take(sel, stored)) {
    sel.SetShape(ssRect);
    return;
  }
  sel.Shape.DisplayPoints.clear();
  sel.Shape.DisplayRect = TRect{};
  TRect r = current;
  if (!keep) {
    const TRect image = ImageRect(*w);
    int width = stored.Width(), height = stored.Height();
    if (width > image.Width() || height > image.Height()) {
      FitSizeProportional(width, height, image.Width(), image.Height());
      if (sel.ShapeKind == ssMultiPoints) {
        TRect scaled{0, 0, width, height};
        sel.Shape.ScaleToSize(width, height, scaled);
      }
    }
    r = TRect{0, 0, width, height};
    AlignRectInRect(r, services_.LayerHost().VisibleImageRect(), alCenter);
    KeepRectInside(r, image, false);
  }
  sel.SetSelectionRect(r);
  sel.SetOutlineInset(false);
  ResetSelectionMode();
}

void TSelectionCommands::PasteShape() {
  if (!clip_.Filled) return;
  PlaceShape([this](TSelectionOverlay& sel, TRect& stored) {
    if (clip_.Kind == ssPolygon || clip_.Kind == ssMultiPoints) sel.Shape.LoadFromRecord(clip_.Points);
    sel.SetShape(clip_.Kind);
    stored = clip_.Rect;
    return true;
  });
}

void TSelectionCommands::SaveShape() {
  TNewImgForm* w = Active();
  if (!w) return;
  const TSelectionControl& sel = w->Selection();
  TSavePictureRequest request;
  request.InitialDir = UserFolder(TUserFolder::Selections);
  request.Title = RowCaption("MenuSelEnregistrer");
  request.Filter =
      Format(TextId::TrFixFmtSelectionFilter, {TextOr(TextId::GetTrLblSelFileName, TextId::TrFixSelectionFileType)});
  request.DefaultExt = "qxs";
  request.FileName = Format("Selection%0.2d.qxs", {SelectionFileCounter});
  std::string name;
  if (Hooks.AskSaveFileName) name = Hooks.AskSaveFileName(request);
  else RunSavePictureDialog(request, name);
  if (name.empty()) return;
  TFileError error;
  try {
    if (!SaveSelectionToFile(sel.Shape, name, sel.ShapeKind, sel.SelRect, &error)) {
      if (SelectionFileShowErrors()) ShowFileError(error);
      return;
    }
  } catch (const EFileStreamError& e) {
    ShowMessageDialog(e.what(), mtError, mbOK);
    return;
  }
  ++SelectionFileCounter;
}

bool TSelectionCommands::LoadSelectionFile(const std::string& fileName) {
  if (!Active()) return false;
  std::string name = fileName;
  if (name.empty()) {
    TOpenPictureRequest request;
    request.InitialDir = UserFolder(TUserFolder::Selections);
    request.Title = RowCaption("MenuSelCharger");
    request.Filter =
        Format(TextId::TrFixFmtSelectionFilter, {TextOr(TextId::GetTrLblSelFileName, TextId::TrFixSelectionFileType)});
    request.PreviewChecked = true;
    if (Hooks.AskOpenFileName) {
      name = Hooks.AskOpenFileName(request);
    } else {
      std::vector<std::string> files;
      if (RunOpenPictureDialog(request, files) && !files.empty()) name = files[0];
    }
    if (name.empty()) return false;
  }
  bool loaded = false;
  PlaceShape([&](TSelectionOverlay& sel, TRect& stored) {
    TShapeManager shape;
    TMyShape kind = ssRect;
    TFileError error;
    try {
      loaded = LoadSelectionFromFile(shape, name, kind, stored, &error);
      if (!loaded && SelectionFileShowErrors()) ShowFileError(error);
    } catch (const EFileStreamError& e) {
      ShowMessageDialog(e.what(), mtError, mbOK);
    }
    if (!loaded) return false;
    if (kind == ssPolygon || kind == ssMultiPoints) {
      TShapeRecord points;
      shape.SaveToRecord(points);
      sel.Shape.LoadFromRecord(points);
    }
    sel.SetShape(kind);
    return true;
  });
  return loaded;
}

// --- Answers to the document windows --------------------------------------------------------

void TSelectionCommands::EndCombine() {
  const bool was = combine_ != TCombineMode::None || drawing_ != TCombineMode::None;
  combine_ = drawing_ = TCombineMode::None;
  if (TNewImgForm* w = Active()) w->Selection().SetLocked(false);
  if (was) services_.SetStatusText(Tr(TextId::GetTrStaReady));
}

void TSelectionCommands::ShapeDrawn(TNewImgForm& w, const TRect& r, TSelectionOption option) {
  TSelectionControl& sel = w.Selection();
  const bool shapeMode = w.View().SelectionMode() == smShape;
  switch (option) {
    case soStart:
      if (shapeMode) {
        drawing_ = combine_;
        if (drawing_ == TCombineMode::None) HideSelection();
      }
      SetShowHints(false, true);
      break;
    case soChanged:
      services_.ShowSelectionRectStatus(w, r);
      break;
    case soFinished:
      if (w.View().SelectionMode() == smLine) {
        if (Hooks.DrawLine) Hooks.DrawLine(w, r);
      } else if (drawing_ != TCombineMode::None) {
        TRect out;
        CombineDrawnShapeWithSelection(services_.LayerHost(), w.View().Shape(), w.View().SelShape(), r,
                                       drawing_ == TCombineMode::Subtract, out);
        EndCombine();
        if (!out.IsEmpty()) ResetSelectionMode();
      } else if (!(Hooks.DrawWithShapeTool && Hooks.DrawWithShapeTool(w, r))) {
        sel.SyncShape();
        sel.SetSelectionRect(r);
        sel.SetOutlineInset(false);
        ResetSelectionMode();
      }
      SetShowHints(true, true);
      break;
    case soCancelled:
      if (drawing_ != TCombineMode::None || combine_ != TCombineMode::None) EndCombine();
      else HideSelection();
      SetShowHints(true, true);
      break;
  }
}

void TSelectionCommands::SetShowHints(bool on, bool windows) {
  // hints of the palette and the plug-in panel follow the palette's own window
  QWidget* palette = services_.Hooks.PaletteWindow ? services_.Hooks.PaletteWindow() : nullptr;
  if (palette) palette->setAttribute(Qt::WA_AlwaysShowToolTips, on);
  if (!windows) return;
  // a parameter dialog holding the shell keeps the windows it disabled
  if (on && services_.ShellLock()) return;
  if (palette) palette->setEnabled(on);
  if (QWidget* browser = services_.Hooks.BrowserWindow ? services_.Hooks.BrowserWindow() : nullptr;
      browser && browser->isVisible())
    browser->setEnabled(on);
  if (on) services_.Windows().EnableAllImageWindows();
  else services_.Windows().DisableOtherImageWindows(Active());
}

bool TSelectionCommands::KeyDown(TNewImgForm& w, QKeyEvent* e) {
  if (services_.IsDistortionFrameOpen() || services_.ShellLock()) return false;
  TLayeredImage& image = w.Image();
  TSelectionControl& sel = w.Selection();
  TMyImageLayered& view = w.View();
  const int key = e->key();
  if ((key == Qt::Key_F6 || key == Qt::Key_F7) && image.GetLayerCount() > 1) {
    const int i = std::clamp(image.ActiveIndex() + (key == Qt::Key_F6 ? 1 : -1), 0, image.GetLayerCount() - 1);
    image.SetActiveLayerIndex(i);
    services_.LayerHost().LayerStackChanged(TLayerChange::Selected, i);
    if (services_.Hooks.UpdateCommandStates) services_.Hooks.UpdateCommandStates();
    return true;
  }
  if (key == Qt::Key_Escape && sel.Visible && !sel.IsDragging() && combine_ == TCombineMode::None) HideSelection();
  if (key == Qt::Key_Control) view.RefreshCursor();
  if ((key == Qt::Key_Control || key == Qt::Key_Alt) && sel.Visible && !services_.ActiveTool() &&
      view.SelectionMode() == smShape && !view.IsTracking()) {
    combine_ = key == Qt::Key_Control ? TCombineMode::Add : TCombineMode::Subtract;
    // a press inside the selection then draws instead of moving it
    sel.SetLocked(true);
    const std::string tool = TextOr(TextId::GetTrHntSelTool, TextId::TrFixSelectionTool);
    services_.StatusPanel(spStatus)->setText(
        QString::fromStdString(tool + (combine_ == TCombineMode::Add ? " (+)" : " (-)")));
    return false;
  }
  if (e->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier)) return false;
  const QString text = e->text().toUpper();
  if (text.size() != 1) return false;
  const QChar c = text[0];
  if (c == '+' || c == '=' || c == '-' || c == '0' || c == '1') {
    if (Hooks.Zoom)
      Hooks.Zoom(c == '-' ? TZoomKey::Out : c == '0' ? TZoomKey::Fit : c == '1' ? TZoomKey::Actual : TZoomKey::In);
    return true;
  }
  if (c >= 'A' && c <= 'J') {
    const int i = c.unicode() - 'A';
    SelectSelectionTool(kLetterShapes[i], c == 'J', 2);
    if (Hooks.SelectPaletteTool) Hooks.SelectPaletteTool(0);
    return true;
  }
  if (c >= 'K' && c <= 'X') {
    if (Hooks.SelectPaletteTool) Hooks.SelectPaletteTool(1 + (c.unicode() - 'K'));
    return true;
  }
  return false;
}

void TSelectionCommands::KeyUp(TNewImgForm& w, QKeyEvent* e) {
  const int key = e->key();
  if (key == Qt::Key_Control) w.View().RefreshCursor();
  if ((key == Qt::Key_Control || key == Qt::Key_Alt) && combine_ != TCombineMode::None && !w.View().IsTracking())
    EndCombine();
}

}  // namespace qm
