// The desktop's devices: the 24 MP photo printed on an A4 page at 600 dpi into a PDF
// file (the end of the document, where the file is written, included) against
// GraphicsMagick writing it as a one-page PDF; a step of the print dialog's scale
// redrawing its preview; the wallpaper fitted to a 1920 x 1080 screen (resampled, BMP
// written, the desktop's settings set); an up-to-date start's file types. The print rows
// also report the memory the job added at its peak (MB).
#include <QPainter>
#include <QPrinter>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

#include "GmBench.h"
#include "GuiBench.h"
#include "Harness.h"
#include "devices/desktop/FileTypes.h"
#include "devices/desktop/Wallpaper.h"
#include "devices/printing/Printing.h"
#include "platform/core/Messages.h"
#include "platform/texts/IniFile.h"

namespace qm::bench {
namespace {

// Resident memory (kB) from /proc: now, and the peak since the last reset.
long StatusKb(const char* key) {
  std::ifstream in("/proc/self/status");
  std::string line;
  while (std::getline(in, line))
    if (line.rfind(key, 0) == 0) return std::atol(line.c_str() + std::strlen(key));
  return 0;
}
void ResetPeak() { std::ofstream("/proc/self/clear_refs") << "5"; }

void PrintPdf(benchmark::State& st) {
  EnsureGuiApp();
  TempFolder folder("qm_print_bench");
  const std::string file = (folder.path / "photo.pdf").string();
  QPrinter printer(QPrinter::HighResolution);
  printer.setOutputFormat(QPrinter::PdfFormat);
  printer.setResolution(600);
  printer.setPageSize(QPageSize(QPageSize::A4));
  printer.setOutputFileName(QString::fromStdString(file));
  const TBitmap& photo = Photo();
  TPrintLayout layout;
  layout.SetImage(&photo, 300);
  printer.setPageOrientation(layout.Landscape() ? QPageLayout::Landscape : QPageLayout::Portrait);
  layout.SetPage(ReadPrintPage(printer, TPrintUnit::Centimetres));
  double addedMb = 0;
  for (auto _ : st) {
    ResetPeak();
    const long base = StatusKb("VmRSS:");
    if (PrintImage(printer, photo, layout, TPrintOptions{}, {}) != TPrintResult::Printed) st.SkipWithError("no PDF");
    addedMb = std::max(addedMb, (StatusKb("VmHWM:") - base) / 1024.0);
  }
  st.counters["addedMB"] = addedMb;
}

QM_BENCH("Print 24 MP, A4 at 600 dpi into PDF", kOurs, kPhotoBytes, [](benchmark::State& st) { PrintPdf(st); });
QM_BENCH("Print 24 MP, A4 at 600 dpi into PDF", kGM, kPhotoBytes, [](benchmark::State& st) {
  ResetPeak();
  const long base = StatusKb("VmRSS:");
  TimeGraphicsMagickEncode(st, "PDF");
  st.counters["addedMB"] = (StatusKb("VmHWM:") - base) / 1024.0;
});

// One step of the scale bar: the layout follows, then the preview page is drawn as the
// dialog paints it (the zoomed image averaged down from the photo).
QM_BENCH("Print preview, one scale step, 24 MP", kOurs, kPhotoBytes, [](benchmark::State& st) {
  const TBitmap& photo = Photo();
  TPrintLayout layout;
  layout.SetImage(&photo, 300);
  layout.SetPage(TPrintPage{7016, 4961, 29.7, 21.0});
  TBitmap surface(257, 283);
  TBitmapCanvas canvas(surface);
  int step = 0;
  for (auto _ : st) {
    layout.ScrollTo(layout.BarMax() - 1 - (step++ % 4));
    TImageZoom& zoom = layout.Preview();
    zoom.Halftone = true;
    zoom.SetTarget(&canvas);
    zoom.SetViewRect(TRect{17, 17, 17 + 223, 17 + 157});
    TRect drawn;
    zoom.DrawTo(false, drawn);
    zoom.SetTarget(nullptr);
  }
});

// "Mosaïque" after its confirmation, fitted: GSettings' key file in a folder of the run.
QM_BENCH("Wallpaper fitted to 1920 x 1080, 24 MP", kOurs, kPhotoBytes, [](benchmark::State& st) {
  // GSettings takes its backend once per process.
  static TempFolder settingsFolder("qm_wallpaper_settings");
  setenv("GSETTINGS_BACKEND", "keyfile", 1);
  setenv("XDG_CONFIG_HOME", settingsFolder.path.c_str(), 1);
  setenv("XDG_CURRENT_DESKTOP", "GNOME", 1);
  TempFolder folder("qm_wallpaper_bench");
  const std::string file = (folder.path / "Papier-peint-Quillomatic.bmp").string();
  for (auto _ : st)
    if (!SetDesktopWallpaper(Photo(), file, true, true, TPoint{1920, 1080})) st.SkipWithError("not set");
});

QM_BENCH("File types, an up-to-date start", kOurs, 0, [](benchmark::State& st) {
  EnsureGuiApp();
  TempFolder folder("qm_filetypes_bench");
  TFileTypeSetup setup;
  setup.Executable = "/usr/bin/quillomatic";
  setup.DataHome = (folder.path / "data").string();
  setup.ConfigHome = (folder.path / "config").string();
  TIniFile settings;
  RegisterFileTypes(setup, settings);
  for (auto _ : st) benchmark::DoNotOptimize(RegisterFileTypes(setup, settings).FilesWritten);
});

}  // namespace
}  // namespace qm::bench
