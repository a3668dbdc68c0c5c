#pragma once
// The document windows of one MDI area: the list in creation order, the current window
// (what every command works on), the numbering of untitled documents, one entry per
// window in the Window menu, and the operations over every window (cascade, fit,
// enable and disable, purge the histories, view settings, find by file name).
//
// The shell makes one with its main window and hands it its MDI area, its
// TDocumentWindowHost and its Window menu. Windows are made with
// TNewImgForm::CreateWithImage and leave the list when they close.
#include <QMdiArea>
#include <QObject>
#include <string>
#include <vector>

#include "views/DocumentWindow.h"
#include "views/DocumentWindowHost.h"

class QAction;
class QActionGroup;
class QMenu;

namespace qm {

class TImageWindows : public QObject {
 public:
  // Without a host the headless defaults apply. The area and the host must outlive
  // the list; windows still open when the list goes are freed with it.
  explicit TImageWindows(QMdiArea& area, TDocumentWindowHost* host = nullptr);
  ~TImageWindows() override;
  TImageWindows(const TImageWindows&) = delete;
  TImageWindows& operator=(const TImageWindows&) = delete;

  QMdiArea& Area() const { return area_; }
  TDocumentWindowHost& Host() const { return *host_; }

  // The menu the entries are appended to (after what it holds); null: none.
  void SetWindowMenu(QMenu* menu);
  // A window's entry: its caption cut to 30 characters with "..." after, checked for
  // the current window.
  QAction* MenuEntry(const TNewImgForm* window) const;

  const std::vector<TNewImgForm*>& Windows() const { return windows_; }
  int Count() const { return int(windows_.size()); }
  // The current window; null when none is open.
  TNewImgForm* Current() const { return current_; }
  // The next untitled name: "Sans titre %d" with a counter that only grows.
  std::string NextUntitledName();

  // Makes the window current unless it already is or is disabled.
  void ActivateImageWindow(TNewImgForm* window);

  // --- Over every window -----------------------------------------------------------
  // Every window not minimised placed again, cascaded at its running index, sized,
  // fitted, and activated.
  void CascadeImageWindows();
  // The zoom of every window not minimised fitted to it.
  void ZoomAllImageWindowsToFit();
  // Every window but one disabled, and every layer strip (that one's too); and back.
  void DisableOtherImageWindows(TNewImgForm* window);
  void EnableAllImageWindows();
  // Whether some window's history holds a step.
  bool HasUndoableImage() const;
  // Every history cleared, each document keeping its modified state.
  void PurgeAllHistories();
  // Every view and visible selection repainted.
  void RefreshAllImageWindows();
  // A 0x333333 frame and a 4-pixel shadow around every image, or neither.
  void SetBorderShadowAll(bool border, bool shadow);
  void SetSelectionHitTestAll(bool bounds);
  // Grid width and colour from the settings, in every window.
  void ApplyViewSettingsToAll();
  // Every layer strip laid out again from the settings, and every window fitted again
  // keeping its fit-to-window state.
  void UpdateLayerStripAll();
  // The first window whose document is that file: names are compared as the file
  // system does (case counts), folders resolved (links, "..") when the file exists.
  TNewImgForm* FindImageWindowByFileName(const std::string& name) const;
  // After the main window changed size: windows (not maximised) that no longer fit the
  // area are narrowed and shortened.
  void ArrangeImageWindowsAfterResize();

 private:
  friend class TNewImgForm;
  void AddImageWindow(TNewImgForm* window);
  void RemoveImageWindow(TNewImgForm* window);
  void UpdateWindowMenuCaption(TNewImgForm* window);
  void CheckWindowMenuItem(TNewImgForm* window);
  void SubWindowActivated(QMdiSubWindow* sub);
  // The activation bookkeeping when window becomes current.
  void MakeCurrent(TNewImgForm* window);

  QMdiArea& area_;
  TDocumentWindowHost defaultHost_;
  TDocumentWindowHost* host_;
  std::vector<TNewImgForm*> windows_;
  std::vector<QAction*> entries_;  // in step with windows_
  TNewImgForm* current_ = nullptr;
  int untitledCounter_ = 0;
  QMenu* menu_ = nullptr;
  QActionGroup* group_;
};

}  // namespace qm
