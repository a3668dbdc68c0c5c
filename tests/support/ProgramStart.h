#pragma once
// The layers above the shell as the program's start hands them to its main window: the
// dialogs registered as the program registers them, the devices, the plug-in host, the
// translation (from the program's folders: none in a build tree). For the test programs
// that link the whole program.
#include "devices/DeviceList.h"
#include "dialogs/DialogList.h"
#include "dialogs/DialogRegistry.h"
#include "extensions/PluginHost.h"
#include "extensions/Translation.h"
#include "shell/main/MainForm.h"

namespace qm::test {

// The registry every dialog of the program is in, made once.
inline TDialogRegistry& ProgramDialogs() {
  static TDialogRegistry registry = [] {
    TDialogRegistry r;
    InstallParameterDialogs(r);
    return r;
  }();
  return registry;
}

inline TMainForm::TStartOptions ProgramStartOptions(TDialogLauncher* dialogs = &ProgramDialogs()) {
  TMainForm::TStartOptions options;
  options.Dialogs = dialogs;
  options.Devices = ProgramDevices;
  options.Plugins = MakeProgramPluginHost;
  options.LoadTranslation = [] { return LoadProgramTranslation(); };
  return options;
}

}  // namespace qm::test
