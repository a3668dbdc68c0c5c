#pragma once
// The devices' commands as the shell runs them: the layer of the devices makes them
// over the shell's services (TDialogHost) when the program starts, and hands them to
// the main window; a command left empty keeps its rows disabled.
#include <functional>
#include <string>

namespace qm {

class TBitmap;

struct TDeviceCommands {
  // The batch automation window, shown modeless; whether its run is going (the main
  // window then refuses to close, and any key asks for the run's abort).
  std::function<void()> ShowBatch;
  std::function<bool()> IsBatchRunning;
  std::function<void()> AbortBatch;
  // Writes bitmap as a BMP file at fileName and makes it the desktop's wallpaper
  // (tiled, or fitted to the screen); false when nothing was changed.
  std::function<bool(const TBitmap& bitmap, const std::string& fileName, bool tile, bool fit)> SetDesktopWallpaper;
  // The scanner: choose the source, acquire one image into a new document, a series.
  std::function<void()> TwainSelectSource, TwainAcquire, TwainBatchAcquire;
  // Whether the data source manager the scanner commands load is there.
  std::function<bool()> TwainPresent;
  // Printing the active image; whether a printer (or a file printer) is there; the
  // print dialog made again at its next showing (the print unit changed).
  std::function<void()> Print;
  std::function<bool()> PrinterPresent;
  std::function<void()> FreePrintDialog;
};

}  // namespace qm
