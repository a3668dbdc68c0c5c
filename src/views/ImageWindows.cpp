#include "views/ImageWindows.h"

#include <QAction>
#include <QActionGroup>
#include <QDir>
#include <QFileInfo>
#include <QMenu>
#include <algorithm>

#include "platform/texts/Format.h"
#include "platform/texts/TextUtils.h"

namespace qm {
namespace {

// The Window menu shows captions up to this many characters.
constexpr size_t kMenuCaptionLength = 30;

// A file name as the file system resolves it: the canonical path of an existing file,
// else the absolute path cleaned of "." and ".."; a name without a folder (an untitled
// document) as it is.
QString ResolvedName(const std::string& name) {
  const QString q = QString::fromStdString(name);
  if (!q.contains(QLatin1Char('/'))) return q;
  const QFileInfo info(q);
  const QString canonical = info.canonicalFilePath();
  return canonical.isEmpty() ? QDir::cleanPath(info.absoluteFilePath()) : canonical;
}

}  // namespace

TImageWindows::TImageWindows(QMdiArea& area, TDocumentWindowHost* host)
    : area_(area), host_(host ? host : &defaultHost_), group_(new QActionGroup(this)) {
  group_->setExclusive(true);
  connect(&area_, &QMdiArea::subWindowActivated, this, [this](QMdiSubWindow* sub) { SubWindowActivated(sub); });
}

TImageWindows::~TImageWindows() {
  const std::vector<TNewImgForm*> open = windows_;
  for (TNewImgForm* w : open) delete w;
}

std::string TImageWindows::NextUntitledName() { return Format(TextId::GetTrFmtUntitled, {++untitledCounter_}); }

// --- The list and the Window menu -----------------------------------------------------------

void TImageWindows::SetWindowMenu(QMenu* menu) {
  if (menu_)
    for (QAction* a : entries_) menu_->removeAction(a);
  menu_ = menu;
  if (menu_)
    for (QAction* a : entries_) menu_->addAction(a);
}

QAction* TImageWindows::MenuEntry(const TNewImgForm* window) const {
  const auto it = std::find(windows_.begin(), windows_.end(), window);
  return it == windows_.end() ? nullptr : entries_[size_t(it - windows_.begin())];
}

void TImageWindows::AddImageWindow(TNewImgForm* window) {
  windows_.push_back(window);
  auto* entry = new QAction(this);
  entry->setCheckable(true);
  entry->setActionGroup(group_);
  entries_.push_back(entry);
  connect(entry, &QAction::triggered, this, [this, window] {
    if (window->isMinimized()) window->showNormal();
    else ActivateImageWindow(window);
  });
  connect(window, &QWidget::windowTitleChanged, entry, [this, window] { UpdateWindowMenuCaption(window); });
  UpdateWindowMenuCaption(window);
  if (menu_) menu_->addAction(entry);
}

void TImageWindows::RemoveImageWindow(TNewImgForm* window) {
  const auto it = std::find(windows_.begin(), windows_.end(), window);
  if (it == windows_.end()) return;
  const size_t i = size_t(it - windows_.begin());
  delete entries_[i];
  entries_.erase(entries_.begin() + std::ptrdiff_t(i));
  windows_.erase(it);
  if (current_ == window) current_ = nullptr;
  host_->ClearCursorPosStatus();
}

void TImageWindows::UpdateWindowMenuCaption(TNewImgForm* window) {
  if (QAction* entry = MenuEntry(window))
    entry->setText(QString::fromStdString(
        EscapeAmpersands(TruncateWithEllipsis(window->windowTitle().toStdString(), kMenuCaptionLength))));
}

void TImageWindows::CheckWindowMenuItem(TNewImgForm* window) {
  if (QAction* entry = MenuEntry(window)) entry->setChecked(true);
}

// --- Activation ---------------------------------------------------------------------------

void TImageWindows::ActivateImageWindow(TNewImgForm* window) {
  if (!window || window == current_ || !window->isEnabled() || !MenuEntry(window)) return;
  area_.setActiveSubWindow(window);
  // the area reports the activation only when it changed its own active window
  MakeCurrent(window);
}

void TImageWindows::SubWindowActivated(QMdiSubWindow* sub) {
  // The area also reports null when the main window loses the focus: the current
  // document stays what the commands work on.
  auto* window = dynamic_cast<TNewImgForm*>(sub);
  if (window && MenuEntry(window)) MakeCurrent(window);
}

void TImageWindows::MakeCurrent(TNewImgForm* window) {
  if (window == current_) return;
  current_ = window;
  for (TNewImgForm* w : windows_)
    if (w != window) w->LeaveCurrent();
  CheckWindowMenuItem(window);
  window->BecomeCurrent();
}

// --- Over every window ----------------------------------------------------------------------

void TImageWindows::CascadeImageWindows() {
  int index = 0;
  const std::vector<TNewImgForm*> all = windows_;
  for (TNewImgForm* w : all) {
    if (w->isMinimized()) continue;
    if (w->isMaximized()) w->showNormal();
    w->PlaceImageWindow(index++, true, true, true, false);
    ActivateImageWindow(w);
  }
}

void TImageWindows::ZoomAllImageWindowsToFit() {
  for (TNewImgForm* w : windows_)
    if (!w->isMinimized()) w->FitWindowToImage(true, false);
}

void TImageWindows::DisableOtherImageWindows(TNewImgForm* window) {
  for (TNewImgForm* w : windows_) {
    if (w != window) w->setEnabled(false);
    w->Navigator().setEnabled(false);
  }
}

void TImageWindows::EnableAllImageWindows() {
  for (TNewImgForm* w : windows_) {
    w->setEnabled(true);
    w->Navigator().setEnabled(true);
  }
}

bool TImageWindows::HasUndoableImage() const {
  return std::any_of(windows_.begin(), windows_.end(),
                     [](TNewImgForm* w) { return w->History().GetUndoStepCount() > 0; });
}

void TImageWindows::PurgeAllHistories() {
  for (TNewImgForm* w : windows_) w->PurgeHistory();
}

void TImageWindows::RefreshAllImageWindows() {
  for (TNewImgForm* w : windows_) w->View().viewport()->update();
}

void TImageWindows::SetBorderShadowAll(bool border, bool shadow) {
  for (TNewImgForm* w : windows_) {
    w->View().SetBorderColor(border ? 0x333333 : clNone);
    w->View().SetShadowSize(shadow ? 4 : 0);
    w->View().viewport()->update();
  }
}

void TImageWindows::SetSelectionHitTestAll(bool bounds) {
  for (TNewImgForm* w : windows_) w->Selection().SetBoundsHitTest(bounds);
}

void TImageWindows::ApplyViewSettingsToAll() {
  const TDocumentViewSettings s = host_->ViewSettings();
  for (TNewImgForm* w : windows_) {
    w->View().SetGridWidth(s.GridWidth);
    w->View().SetGridColor(s.GridColor);
  }
}

void TImageWindows::UpdateLayerStripAll() {
  for (TNewImgForm* w : windows_) {
    w->LayOutLayerStrip();
    if (w->Navigator().isVisibleTo(w)) w->Navigator().InvalidateLayerNavigator(true);
    w->FitWindowToImage(w->FitToWindow, false);
  }
}

TNewImgForm* TImageWindows::FindImageWindowByFileName(const std::string& name) const {
  const QString wanted = ResolvedName(name);
  for (TNewImgForm* w : windows_)
    if (ResolvedName(w->FileName()) == wanted) return w;
  return nullptr;
}

void TImageWindows::ArrangeImageWindowsAfterResize() {
  const QSize area = area_.viewport()->size();
  for (TNewImgForm* w : windows_) {
    if (w->isMaximized() || w->isMinimized()) continue;
    const QSize least = w->minimumSizeHint();
    const int width = std::max(least.width(), std::min(w->width(), area.width() - 3 - w->x()));
    const int height = std::max(least.height(), std::min(w->height(), area.height() - 3 - w->y()));
    if (width != w->width() || height != w->height()) w->resize(width, height);
  }
}

}  // namespace qm
