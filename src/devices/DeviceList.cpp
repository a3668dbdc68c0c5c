#include "devices/DeviceList.h"

#include "devices/VornelTwainUtils.h"
#include "devices/scanning/Scan.h"

namespace qm {

TDeviceCommands ProgramDevices(TDialogHost& host) {
  TDeviceCommands devices;
  AddScanningCommands(devices, host, DefaultTwainLibraryFolder());
  return devices;
}

}  // namespace qm
