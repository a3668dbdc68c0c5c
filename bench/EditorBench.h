#pragma once
// The real main window for the benchmarks that time a command as a user runs it: made
// offscreen in a home folder of its own, with the settings file given written first.
#include <QTemporaryDir>
#include <memory>
#include <string>

#include "GuiBench.h"
#include "devices/DeviceList.h"
#include "dialogs/DialogList.h"
#include "dialogs/DialogRegistry.h"
#include "extensions/PluginHost.h"
#include "platform/texts/IniFile.h"
#include "shell/main/MainForm.h"
#include "shell/services/ShellServices.h"
#include "views/DocumentWindow.h"

namespace qm::bench {

// The layers above the shell as the program's start hands them to its main window.
inline TMainForm::TStartOptions ProgramStartOptions() {
  static TDialogRegistry dialogs = [] {
    TDialogRegistry r;
    InstallParameterDialogs(r);
    return r;
  }();
  TMainForm::TStartOptions options;
  options.Dialogs = &dialogs;
  options.Devices = ProgramDevices;
  options.Plugins = MakeProgramPluginHost;
  return options;
}

struct TBenchEditor {
  QTemporaryDir home;
  std::unique_ptr<TMainForm> form;

  // settings: the text of the ini file the window reads at start (none when empty);
  // options: what the start hands the window.
  explicit TBenchEditor(const std::string& settings = {},
                        TMainForm::TStartOptions options = ProgramStartOptions()) {
    EnsureGuiApp();
    qputenv("QM_HOME", home.path().toLocal8Bit());
    if (!settings.empty()) {
      TIniFile ini;
      ini.LoadFromString(settings);
      ini.SaveAs(home.path().toStdString() + "/Quillomatic.ini");
    }
    form = std::make_unique<TMainForm>(std::move(options));
  }
  // Closes every document window and frees it now: a closed window goes only when an
  // event loop handles its deferred deletion, which a benchmark's loop never runs, so
  // each document made again would otherwise keep the one before alive.
  void CloseDocuments() {
    while (TNewImgForm* w = form->Services().GetActiveImgForm()) form->Services().CloseImageWindow(w, true);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  }
};

}  // namespace qm::bench
