#pragma once
// The View, Window and Help commands of the main window: the zoom box and the zoom
// commands (steps, 100 %, automatic fit, full screen), the mouse wheel over a document
// (scrolling over its scroll bars, zooming elsewhere), the grid, frame and bar
// toggles, the arrangement of the document windows and the help pages.
//
// Every zoom goes through the zoom box: a command sets its index and applies it, so
// the box always shows the active document's zoom.
#include <QObject>
#include <QPointer>
#include <functional>
#include <string>

#include "platform/core/Types.h"
#include "shell/services/ZoomSteps.h"

class QComboBox;
class QMainWindow;
class QWheelEvent;

namespace qm {

class TCommandSet;
class TPeForm;
class TShellServices;
struct TShellSettings;

class TViewCommands : public QObject {
 public:
  // What the commands need of the main window around them.
  struct THooks {
    std::function<void()> UpdateCommandStates;
    // The image browser when it is shown (null otherwise).
    std::function<QWidget*()> ShownBrowser;
    // The free-distortion frame: whether it is open, and its handles placed again after
    // the zoom changed.
    std::function<bool()> DistortionFrameOpen;
    std::function<void()> DistortionFrameMoved;
    // Shows the full-screen view of the active document.
    std::function<void()> ShowFullScreen;
  };

  // Puts the zoom box in front of the zoom tool bar and attaches the commands.
  TViewCommands(QMainWindow& window, TShellServices& services, TCommandSet& commands, TShellSettings& settings);
  ~TViewCommands() override;

  THooks Hooks;
  QComboBox& ZoomBox() const { return *zoomBox_; }

  // --- Zoom ----------------------------------------------------------------------------
  // The box's index put in force on the active document: the automatic fit at index 0,
  // else the step; the window placed around the new zoom (it grows and shrinks to it
  // unless Ctrl is held; recentre moves it back to its cascade place on a fit).
  void ApplyZoomIndex(bool recentre);
  // ApplyZoomIndex with what was in view kept in view: the 6 x 6 pixels around the
  // pointer for the wheel (client point of the view), else the shown selection, else
  // the rectangle that was visible.
  void ApplyZoomChoice(bool fromWheel = false, TPoint pointer = {});
  // A step in or out exists from the active document's zoom; with apply the box takes it
  // and the zoom follows.
  bool ZoomStep(TZoomDirection direction, bool apply);
  // The box shows the active document's zoom.
  void SyncZoomCombo();
  bool ZoomBoxOn100() const;

  // A wheel event seen by the application: true when taken (the caller drops it).
  bool Wheel(QObject* watched, QWheelEvent* e);

  // Every document window not maximised fitted to the work area again, the status bar
  // refreshed; only with an active document.
  void RelayoutImageWindows();

  // The pixels the wheel scrolls by over a scroll bar.
  static constexpr int kWheelScroll = 33;

 private:
  void Wire();
  void ToggleFilterBar();
  void TogglePluginBar();
  void Tile(Qt::Orientation orientation);
  void AfterArrange();
  void OpenHelp();

  QMainWindow& window_;
  TShellServices& services_;
  TCommandSet& commands_;
  TShellSettings& settings_;
  QComboBox* zoomBox_ = nullptr;
  int syncing_ = 0;
};

// The addresses the Help menu opens.
inline constexpr char kProductWebPage[] = "https://quillomatic.org/morvek/";
inline constexpr char kProductForumPage[] = "https://quillomatic.org/morvek/forum/";

}  // namespace qm
