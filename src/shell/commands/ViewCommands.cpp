#include "shell/commands/ViewCommands.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QMainWindow>
#include <QMdiArea>
#include <QScrollBar>
#include <QStyleOptionComboBox>
#include <QStylePainter>
#include <QToolBar>
#include <QWheelEvent>
#include <cmath>

#include "pixel/ImgUtils.h"
#include "platform/core/Messages.h"
#include "platform/texts/AppPaths.h"
#include "imagefiles/ImageFileUtils.h"
#include "platform/texts/TextUtils.h"
#include "platform/texts/UiTexts.h"
#include "shell/services/AboutBox.h"
#include "shell/services/CommandSet.h"
#include "shell/services/Settings.h"
#include "shell/services/ShellOps.h"
#include "shell/services/ShellServices.h"

namespace qm {
namespace {

// The text of a step as the box lists it, and of a zoom as the automatic fit shows it.
QString PercentText(double zoom) { return QStringLiteral("%1 %").arg(std::lround(zoom * 100.0)); }

// The box draws its current text itself: the automatic fit shows the zoom it reached.
class TZoomBox : public QComboBox {
 public:
  using QComboBox::QComboBox;
  QString Shown;

 protected:
  // QComboBox's own painting, with the fit's zoom in place of the item's caption (the
  // items stay as they are, so the box keeps the width of its longest one)
  void paintEvent(QPaintEvent*) override {
    QStylePainter p(this);
    p.setPen(palette().color(QPalette::Text));
    QStyleOptionComboBox o;
    initStyleOption(&o);
    if (currentIndex() == kZoomAutoIndex && !Shown.isEmpty()) o.currentText = Shown;
    p.drawComplexControl(QStyle::CC_ComboBox, o);
    p.drawControl(QStyle::CE_ComboBoxLabel, o);
  }
};

}  // namespace

TViewCommands::TViewCommands(QMainWindow& window, TShellServices& services, TCommandSet& commands,
                             TShellSettings& settings)
    : window_(window), services_(services), commands_(commands), settings_(settings) {
  auto* box = new TZoomBox(&window);
  zoomBox_ = box;
  zoomBox_->setObjectName(QStringLiteral("EdiZoom"));
  zoomBox_->setFocusPolicy(Qt::ClickFocus);
  const TCommandRow* autoRow = FindCommandRow("MenuZoomAuto");
  zoomBox_->addItem(QString::fromStdString(autoRow ? CommandCaption(*autoRow) : std::string()));
  for (int i = 1; i <= kZoomStepCount; ++i) zoomBox_->addItem(PercentText(ZoomStepFactor(i)));
  // as wide as its longest item in the box's font: the automatic entry's caption shows
  // whole where no document gives it a zoom to show
  zoomBox_->setSizeAdjustPolicy(QComboBox::AdjustToContents);
  if (QToolBar* bar = commands_.ToolBar("ToolBar2")) {
    QAction* first = bar->actions().value(0);
    bar->insertWidget(first, zoomBox_);
  }
  connect(zoomBox_, &QComboBox::activated, this, [this](int) {
    if (services_.CanRunCommand(zoomBox_)) ApplyZoomChoice();
    else SyncZoomCombo();
  });
  services_.Hooks.ResetZoomBox = [this] { SyncZoomCombo(); };
  services_.Hooks.SetZoomBoxReadOnly = [this](bool readOnly) { zoomBox_->setEnabled(!readOnly); };
  Wire();
  SyncZoomCombo();
}

TViewCommands::~TViewCommands() {
  services_.Hooks.ResetZoomBox = nullptr;
  services_.Hooks.SetZoomBoxReadOnly = nullptr;
}

// --- Zoom -----------------------------------------------------------------------------------

void TViewCommands::ApplyZoomIndex(bool recentre) {
  TNewImgForm* w = services_.GetActiveImgForm();
  if (!w) return;
  const int index = zoomBox_->currentIndex();
  const bool fit = index == kZoomAutoIndex;
  w->FitToWindow = fit;
  QMdiArea& area = services_.Windows().Area();
  area.setUpdatesEnabled(false);
  if (!fit) w->View().SetZoom(ZoomStepFactor(index));
  const bool resize = !(QApplication::keyboardModifiers() & Qt::ControlModifier);
  const auto& windows = services_.Windows().Windows();
  const int place = int(std::find(windows.begin(), windows.end(), w) - windows.begin());
  w->PlaceImageWindow(place, fit, resize, fit && resize && recentre, w->isMaximized());
  area.setUpdatesEnabled(true);
}

void TViewCommands::ApplyZoomChoice(bool fromWheel, TPoint pointer) {
  TNewImgForm* w = services_.GetActiveImgForm();
  if (!w) return;
  TMyImageLayered& view = w->View();
  view.BeginUpdate();
  const TRect visible = view.ClientToImageRect(view.GetVisibleImageRect());
  const TPoint under = view.ClientToImagePoint(pointer);
  ApplyZoomIndex(true);
  if (w->SelectionDefined) w->Selection().UpdatePosition();
  TRect keep = visible;
  if (fromWheel) keep = TRect{under.X - 3, under.Y - 3, under.X + 3, under.Y + 3};
  else if (w->Selection().IsShown()) keep = w->Selection().SelRect;
  if (!w->FitToWindow) view.ScrollToShowRect(keep);
  view.EndUpdate();
  SyncZoomCombo();
  services_.UpdateStatusBar();
  if (Hooks.UpdateCommandStates) Hooks.UpdateCommandStates();
  if (Hooks.DistortionFrameOpen && Hooks.DistortionFrameOpen() && Hooks.DistortionFrameMoved)
    Hooks.DistortionFrameMoved();
  w->setFocus();
}

bool TViewCommands::ZoomStep(TZoomDirection direction, bool apply) {
  TNewImgForm* w = services_.GetActiveImgForm();
  if (!w) return false;
  const int index = ZoomStepFrom(w->View().Zoom(), direction);
  if (index == 0) return false;
  if (apply) {
    zoomBox_->setCurrentIndex(index);
    ApplyZoomChoice();
  }
  return true;
}

void TViewCommands::SyncZoomCombo() {
  auto* box = static_cast<TZoomBox*>(zoomBox_);
  TNewImgForm* w = services_.GetActiveImgForm();
  zoomBox_->setEnabled(w != nullptr && services_.ZoomEnabled());
  if (!w) {
    box->Shown.clear();
    zoomBox_->setCurrentIndex(kZoomAutoIndex);
    return;
  }
  const double zoom = w->View().Zoom();
  zoomBox_->setCurrentIndex(ZoomBoxIndex(zoom, w->FitToWindow));
  box->Shown = PercentText(zoom);
  zoomBox_->update();
}

bool TViewCommands::ZoomBoxOn100() const { return zoomBox_->currentIndex() == kZoom100Index; }

// --- The wheel ------------------------------------------------------------------------------

bool TViewCommands::Wheel(QObject* watched, QWheelEvent* e) {
  if (QWidget* browser = Hooks.ShownBrowser ? Hooks.ShownBrowser() : nullptr;
      browser && browser->isAncestorOf(QApplication::focusWidget()))
    return false;
  TNewImgForm* w = services_.GetActiveImgForm();
  if (!w || e->angleDelta().y() == 0) return false;
  TMyImageLayered& view = w->View();
  const bool down = e->angleDelta().y() < 0;  // turned toward the user
  QScrollBar* vertical = view.verticalScrollBar();
  QScrollBar* horizontal = view.horizontalScrollBar();
  enum { kNone, kVertical, kHorizontal, kImage } zone = kNone;
  if (watched == vertical) zone = kVertical;
  else if (watched == horizontal) zone = kHorizontal;
  else if (watched == view.viewport()) zone = kImage;
  if (zone == kNone) return false;
  // the wheel belongs to what is being dragged, and the distortion frame keeps its zoom
  const bool dragged = view.IsDragTracking() || view.LayerMove().State() != TMoveState::Idle;
  if (dragged || w->Selection().IsDragging() || (Hooks.DistortionFrameOpen && Hooks.DistortionFrameOpen()))
    return true;
  const int step = down ? kWheelScroll : -kWheelScroll;
  switch (zone) {
    case kVertical:
      view.ScrollImageBy(0, step);
      return true;
    case kHorizontal:
      view.ScrollImageBy(step, 0);
      return true;
    default:
      break;
  }
  if (!settings_.TrackBallZoom || !services_.ZoomEnabled()) return true;
  const QPoint p = e->position().toPoint();
  const int index = ZoomStepFrom(view.Zoom(), down ? TZoomDirection::In : TZoomDirection::Out);
  if (index == 0) return true;
  zoomBox_->setCurrentIndex(index);
  ApplyZoomChoice(true, TPoint{p.x(), p.y()});
  return true;
}

// --- View and window commands ---------------------------------------------------------------

void TViewCommands::RelayoutImageWindows() {
  if (!services_.GetActiveImgForm()) return;
  QMdiArea& area = services_.Windows().Area();
  area.setUpdatesEnabled(false);
  services_.Windows().ArrangeImageWindowsAfterResize();
  services_.UpdateStatusBar();
  area.setUpdatesEnabled(true);
}

void TViewCommands::ToggleFilterBar() {
  QAction* item = commands_.Action("MenuAffichageBarreFiltres");
  settings_.FilterBar = item->isChecked();
  commands_.ToolBar("ToolBar3")->setVisible(settings_.FilterBar);
  if (settings_.FilterBar) RelayoutImageWindows();
}

void TViewCommands::TogglePluginBar() {
  QAction* item = commands_.Action("MenuAffichageBarrePlugins");
  settings_.PluginsBar = item->isChecked();
  commands_.ToolBar("ToolBar4")->setVisible(settings_.PluginsBar);
  if (settings_.PluginsBar) RelayoutImageWindows();
}

void TViewCommands::Tile(Qt::Orientation orientation) {
  QMdiArea& area = services_.Windows().Area();
  std::vector<TNewImgForm*> shown;
  for (TNewImgForm* w : services_.Windows().Windows())
    if (!w->isMinimized()) shown.push_back(w);
  if (shown.empty()) return;
  area.setUpdatesEnabled(false);
  const QSize room = area.viewport()->size();
  const int n = int(shown.size());
  // horizontal tiles lie one above the other across the whole width; vertical ones
  // side by side over the whole height
  for (int i = 0; i < n; ++i) {
    TNewImgForm* w = shown[size_t(i)];
    if (w->isMaximized()) w->showNormal();
    if (orientation == Qt::Horizontal) {
      const int top = room.height() * i / n, bottom = room.height() * (i + 1) / n;
      w->setGeometry(0, top, room.width(), bottom - top);
    } else {
      const int left = room.width() * i / n, right = room.width() * (i + 1) / n;
      w->setGeometry(left, 0, right - left, room.height());
    }
    w->FitWindowToImage(w->FitToWindow, false);
  }
  area.setUpdatesEnabled(true);
  AfterArrange();
}

void TViewCommands::AfterArrange() {
  SyncZoomCombo();
  services_.UpdateStatusBar();
}

void TViewCommands::OpenHelp() {
  // The page the build makes from the user's guide, with the program's own data.
  const std::string page = ProgramDataFolder() + "/Quillomatic.htm";
  if (!FileExists(page) || !OpenWithAssociatedProgram(page))
    ShowMessageDialog(Tr(TextId::GetTrDlgMain1), mtInformation, mbOK);
}

void TViewCommands::Wire() {
  auto guarded = [this](std::string_view name, std::function<void()> run) {
    commands_.SetHandler(name, [this, run = std::move(run)](const TCommandSender& s) {
      if (services_.CanRunCommand(s.Action)) run();
    });
  };
  guarded("MenuZoomAvant", [this] { ZoomStep(TZoomDirection::In, true); });
  guarded("MenuZoomArriere", [this] { ZoomStep(TZoomDirection::Out, true); });
  guarded("MenuZoom100", [this] {
    zoomBox_->setCurrentIndex(kZoom100Index);
    ApplyZoomChoice();
  });
  guarded("MenuZoomAuto", [this] {
    zoomBox_->setCurrentIndex(kZoomAutoIndex);
    ApplyZoomChoice();
  });
  guarded("MenuZoomPe", [this] {
    if (Hooks.ShowFullScreen) Hooks.ShowFullScreen();
  });
  commands_.SetHandler("MenuAffichageMaximiser", [this](const TCommandSender& s) {
    settings_.MaximizeImgWin = s.Action->isChecked();
  });
  commands_.SetHandler("MenuCadreOmbre", [this](const TCommandSender& s) {
    settings_.BorderShadow = s.Action->isChecked();
    for (TNewImgForm* w : services_.Windows().Windows()) w->ApplyViewSettings();
    services_.Windows().RefreshAllImageWindows();
  });
  commands_.SetHandler("MenuAfficherGrille", [this](const TCommandSender& s) {
    if (TNewImgForm* w = services_.GetActiveImgForm()) w->View().SetShowGrid(s.Action->isChecked());
  });
  commands_.SetHandler("MenuAfficherMagnGrille", [this](const TCommandSender& s) {
    if (TNewImgForm* w = services_.GetActiveImgForm()) w->View().SetGridAlign(s.Action->isChecked());
  });
  commands_.SetHandler("MenuAffichageBarreFiltres", [this](const TCommandSender&) { ToggleFilterBar(); });
  commands_.SetHandler("MenuAffichageBarrePlugins", [this](const TCommandSender&) { TogglePluginBar(); });
  guarded("MenuFenetreCascade", [this] {
    QMdiArea& area = services_.Windows().Area();
    area.setUpdatesEnabled(false);
    services_.Windows().CascadeImageWindows();
    area.setUpdatesEnabled(true);
    AfterArrange();
  });
  guarded("MenuFenetreMosaiqueH", [this] { Tile(Qt::Horizontal); });
  guarded("MenuFenetreMosaiqueV", [this] { Tile(Qt::Vertical); });
  guarded("MenuFenetreReduire", [this] {
    for (TNewImgForm* w : services_.Windows().Windows()) w->showMinimized();
  });
  guarded("MenuFenetreRestaure", [this] {
    for (TNewImgForm* w : services_.Windows().Windows()) w->showNormal();
    AfterArrange();
  });
  commands_.SetHandler("MenuAideInfos", [this](const TCommandSender&) { OpenHelp(); });
  commands_.SetHandler("MenuAideWeb", [](const TCommandSender&) { OpenWithAssociatedProgram(kProductWebPage); });
  commands_.SetHandler("MenuAideForum", [](const TCommandSender&) { OpenWithAssociatedProgram(kProductForumPage); });
  commands_.SetHandler("MenuAproposQuillomatic", [this](const TCommandSender&) {
    if (settings_.AlphaBlendForm) services_.Windows().RefreshAllImageWindows();
    ShowAboutBox(&window_);
  });
}

}  // namespace qm
