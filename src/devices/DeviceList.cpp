#include "devices/DeviceList.h"

#include "devices/VornelTwainUtils.h"
#include "devices/batch/AutoForm.h"
#include "devices/scanning/Scan.h"
#include <memory>

#include "devices/desktop/Wallpaper.h"
#include "devices/printing/Printing.h"

namespace qm {

TDeviceCommands ProgramDevices(TDialogHost& host) {
  TDeviceCommands devices;
  AddScanningCommands(devices, host, DefaultTwainLibraryFolder());
  AddBatchCommands(devices, host);
  devices.SetDesktopWallpaper = [](const TBitmap& bitmap, const std::string& fileName, bool tile, bool fit) {
    return SetDesktopWallpaper(bitmap, fileName, tile, fit);
  };
  auto printing = std::make_shared<TPrintService>(host);
  devices.Print = [printing] { printing->Print(); };
  // The PDF file printer is always there, with or without a CUPS queue.
  devices.PrinterPresent = [] { return true; };
  devices.FreePrintDialog = [printing] { printing->FreeDialog(); };
  return devices;
}

}  // namespace qm
