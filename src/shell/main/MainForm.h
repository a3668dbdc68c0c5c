#pragma once
// The main window: the frame around the document windows, with the menu bar, the tool
// bars and the status bar the command table builds, the image browser below the work
// area, and everything the editor owns for its whole run (the settings, the recent
// files, the shell's services, the commands). Made once by the program; its
// destruction writes the settings back.
//
// A start may end at once: when the settings ask for a single instance and a running
// one takes the command line's files (the hand-over), the window makes nothing else,
// opens nothing and writes no settings.
#include <QMainWindow>
#include <QPointer>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "document/DocumentServices.h"
#include "platform/texts/IniFile.h"
#include "shell/services/CommandSet.h"
#include "shell/services/CommandStates.h"
#include "shell/commands/DistortionFrame.h"
#include "shell/browser/Explor.h"
#include "shell/commands/FileCommands.h"
#include "shell/commands/PluginCommands.h"
#include "shell/services/RecentFiles.h"
#include "shell/commands/SelectionCommands.h"
#include "shell/services/Settings.h"
#include "shell/services/DialogLauncher.h"
#include "shell/services/ShellServices.h"
#include "shell/commands/ViewCommands.h"
#include "shell/commands/ToolsCommands.h"

class QMdiArea;

namespace qm {
class TPeForm;
class TPictureReadAhead;
class TOutilsForm;
}

namespace qm {

class TMainForm : public QMainWindow, public TExplorHost {
 public:
  // What the program's start hands the window: the layers above the shell are handed
  // over here, never found on their own. What is missing leaves its rows disabled.
  struct TStartOptions {
    // The files named on the command line, opened at the first paint (at most 20).
    std::vector<std::string> Files;
    // Asked only when [Params] RunMulti is "0": hands the files to a running instance
    // and returns true when one took them; this start then ends.
    std::function<bool(const std::vector<std::string>& files)> HandOver;
    // The parameter dialogs by class name; it outlives the window.
    TDialogLauncher* Dialogs = nullptr;
    // The devices (batch, wallpaper, scanning, printing), made over the window's
    // services once they exist.
    std::function<TDeviceCommands(TDialogHost& host)> Devices;
    // The plug-in host over the services, its plug-ins read from the setup's folders
    // (none: plug-ins are off), made once the settings are read.
    std::function<std::unique_ptr<TPluginHost>(TShellServices& services, const TPluginSetup& setup)> Plugins;
    // Loads the translation into the text table once the settings are read; true when
    // a module was loaded (TranslationLoaded). Without it the interface stays French.
    std::function<bool()> LoadTranslation;
    // The program's file types registered with the desktop, at the end of every start;
    // a foreign association found is kept in the settings file.
    std::function<void(TIniFile& settings)> RegisterFileTypes;
    // The first of Files, read ahead by the start (it outlives the window); the first
    // paint's open takes it, and then it is dropped.
    TPictureReadAhead* ReadAhead = nullptr;
  };

  TMainForm();
  explicit TMainForm(TStartOptions options);
  ~TMainForm() override;
  TMainForm(const TMainForm&) = delete;
  TMainForm& operator=(const TMainForm&) = delete;

  // The start handed its files to a running instance: nothing else was made.
  bool HandedOver() const { return handedOver_; }

  TShellServices& Services() { return *services_; }
  TCommandSet& Commands() { return *commands_; }
  TFileCommands& Files() { return *files_; }
  TRecentFiles& RecentFiles() { return recent_; }
  TSelectionCommands& Selection() { return *selection_; }
  const TShellSettings& ShellSettings() const { return settings_; }
  QMdiArea& Area() { return *area_; }
  // The zoom box and the View, Window and Help commands.
  TViewCommands& Views() { return *views_; }
  // The free transform of the active layer that the layer commands open.
  TDistortionFrame& Distortion() { return *distortion_; }
  // The tool palette (made with the window, shown at the first paint when the settings
  // say so).
  TOutilsForm& Palette() const { return *palette_; }
  // The image browser, once shown (null before).
  TExplorForm* Browser() const { return browser_; }

  // The first paint has run: the command line's files are open.
  bool FirstPaintDone() const { return firstPaintDone_; }
  // Called once the first paint has run.
  std::function<void()> OnFirstPaint;

  TPluginCommands* PluginCommands() const { return pluginCommands_; }
  // Where the plug-ins live (empty when the folder could not be made).
  const std::string& PluginFolder() const { return pluginFolder_; }
  TToolsCommands& Tools() { return *tools_; }

  // The Preferences dialog, made on first use.
  class TPrefForm* Preferences();

  // Every enabling rule evaluated again, with the history items' captions.
  void UpdateCommandStates();
  // The undo and redo items captioned with their steps, the tool buttons' hints.
  void UpdateHistoryMenus();
  // The captions and check marks that follow the state: the fade, the selection's
  // show/hide, the selection pop-up's crop, the colour mode, the View menu's toggles,
  // the Window menu's separator.
  void UpdateMenuDecorations();
  // Dropped or handed-over files: opened (the first 20) when the command guard agrees.
  void OpenDroppedFiles(const std::vector<std::string>& files);
  // Files a later start handed over: the window comes forward, then they are opened
  // as dropped ones.
  void ReceiveHandedOverFiles(const std::vector<std::string>& files);
  // The state the rules read now.
  TCommandState CommandState();
  // The desktop's session ends (a logout; the session manager's commit-data request):
  // with mayAsk (the manager lets the program ask), each modified document asks its
  // close question, and Annuler refuses the logout (as a batch running, a parameter
  // dialog or the transform frame open do, the user told as a close tells). Returns
  // whether the session may end. Nothing is asked without mayAsk. The end that follows
  // asks nothing more (every quit of the application ends it at once).
  bool CommitSession(bool mayAsk);

  // --- TExplorHost ---------------------------------------------------------------------
  std::string OpenFolder() override { return settings_.OpenDir; }
  std::string SaveFolder() override { return settings_.SaveDir; }
  bool UniqueDir() override { return settings_.UniqueDir; }
  bool HasActiveImage() override;
  std::string ActiveImageFile() override;
  bool ActiveImageTrueColor() override;
  bool IsFileOpen(const std::string& fileName) override;
  void OpenImageFile(const std::string& fileName) override;
  void SetPattern(TBitmap&& picture) override;
  // The Sheerlay dialog over a new step of the active document, on that mask.
  void RunSheerlay(const std::string& maskFile) override;
  bool FileAction(const std::string& title, const std::string& fileName, int action, std::string& newName) override;
  void BeginBusy(const std::string& status) override;
  void EndBusy() override;
  void StatusText(const std::string& text) override;
  TIniFile* Settings() override { return &ini_; }

 protected:
  void closeEvent(QCloseEvent* e) override;
  void dragEnterEvent(QDragEnterEvent* e) override;
  void dropEvent(QDropEvent* e) override;
  bool eventFilter(QObject* watched, QEvent* e) override;

 private:
  class TMainServices;

  void BuildWindow();
  void ReadSettings();
  // A start without a saved position: most of the screen the pointer is on, and every
  // tool bar whole (as far as the screen is wide), centred.
  void PlaceForFirstStart();
  void WriteSettings();
  void InstallServiceHooks();
  // The plug-in host: the plug-in menus, the about items and ToolBar4's buttons of the
  // [Plugins] list. The window keeps it to its end.
  void AttachPlugins(std::unique_ptr<TPluginHost> host);
  // What the plug-in host is told of the editor: the existing folders of those given
  // (none when plug-ins are off), the user's, the 8bf folder, the settings and the
  // open and save folders.
  TPluginSetup PluginSetup(const std::vector<std::string>& folders) const;
  // What runs around every command: the barrier and the states after it.
  void InstallCommandHooks();
  void InstallLayerHooks();
  void WireCommands();
  void WireCommand(std::string_view name, std::function<void(const TCommandSender&)> run);
  void PrepareBackground();
  void FirstPaint();
  // The application's keys, before the menus see them; true when one was taken.
  bool ApplicationKey(QKeyEvent* e);
  // While the devices' batch runs, every key asks for its abort; true when one was taken.
  bool IsBatchRunning() const;
  bool BatchKey();
  void ToggleBrowser();
  void UpdateRecentMenu();
  void ClipboardChanged();
  void ShowFullScreen();
  void BuildPalette();
  // The sides of the browser's buttons and of the plug-ins' bar, after the palette's.
  void FollowPaletteSide();

  TStartOptions options_;
  bool handedOver_ = false;
  bool firstPaintQueued_ = false, firstPaintDone_ = false;
  bool printerPresent_ = false;
  bool scannerPresent_ = false;
  TDeviceCommands devices_;
  std::vector<TShellServices::THistoryMark> commandMarks_;  // one per command running
  bool clipboardHasImage_ = false;

  TIniFile ini_;
  TShellSettings settings_;
  TRecentFiles recent_;
  std::string masksFolder_, patternsFolder_, selectionsFolder_, pluginFolder_;

  QMdiArea* area_ = nullptr;
  QWidget* column_ = nullptr;  // the work area above the browser
  std::unique_ptr<TShellServices> services_;  // a TMainServices
  TCommandSet* commands_ = nullptr;
  TSelectionCommands* selection_ = nullptr;  // a child of the services
  std::unique_ptr<TFileCommands> files_;
  std::unique_ptr<TToolsCommands> tools_;
  QPointer<TExplorForm> browser_;
  TOutilsForm* palette_ = nullptr;
  std::unique_ptr<TDocumentServices> documentServices_;
  std::unique_ptr<TViewCommands> views_;
  std::unique_ptr<TDistortionFrame> distortion_;
  QPointer<TPeForm> fullScreen_;
  class TFullScreenLink;
  std::unique_ptr<TFullScreenLink> fullScreenLink_;
  // The state the rules read, taken once per round of enabling.
  TCommandState state_;
  std::unique_ptr<TPluginHost> pluginHost_;
  TPluginCommands* pluginCommands_ = nullptr;  // a child of the command set
  class TPrefForm* prefs_ = nullptr;            // a child of the window
};

}  // namespace qm
