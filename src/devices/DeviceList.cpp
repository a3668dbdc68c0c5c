#include "devices/DeviceList.h"

namespace qm {

TDeviceCommands ProgramDevices(TDialogHost&) {
  TDeviceCommands devices;
  return devices;
}

}  // namespace qm
