#pragma once
// The devices of the program (batch automation, wallpaper, scanning, printing) as the
// main window runs them, made over the shell's services when the program starts.
#include "shell/services/DeviceCommands.h"

namespace qm {

class TDialogHost;

TDeviceCommands ProgramDevices(TDialogHost& host);

}  // namespace qm
