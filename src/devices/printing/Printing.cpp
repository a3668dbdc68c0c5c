#include "devices/printing/Printing.h"

#include <cups/cups.h>

#include <QAction>
#include <QApplication>
#include <QFile>
#include <QFileInfo>
#include <QPainter>
#include <QPrinter>
#include <QPrinterInfo>
#include <algorithm>
#include <filesystem>

#include "document/LayeredImage.h"
#include "platform/qt/QtBitmap.h"
#include "platform/core/Messages.h"
#include "platform/texts/Format.h"
#include "platform/texts/IniFile.h"
#include "platform/texts/TextUtils.h"
#include "platform/texts/UiTexts.h"
#include "shell/services/DialogHost.h"
#include "shell/services/ShellServices.h"

namespace qm {
namespace {

// The PDF file printer's resolution: the page's pixels are those of a common printer.
constexpr int kFilePrinterDpi = 600;

// CUPS cannot take back a job once Qt has spooled it at the end of the document, and
// Qt's CUPS engine has no abort: the job just queued under this title, the newest of
// ours on that queue, is cancelled and purged.
void CancelQueuedJob(const QString& printer, const QString& title) {
  const QByteArray queue = printer.section(QLatin1Char('/'), 0, 0).toLocal8Bit();
  cups_job_t* jobs = nullptr;
  const int count = cupsGetJobs2(CUPS_HTTP_DEFAULT, &jobs, queue.constData(), 1, CUPS_WHICHJOBS_ACTIVE);
  int newest = 0;
  for (int i = 0; i < count; ++i)
    if (jobs[i].title && QString::fromLocal8Bit(jobs[i].title) == title) newest = std::max(newest, jobs[i].id);
  cupsFreeJobs(count, jobs);
  if (newest > 0) cupsCancelJob2(CUPS_HTTP_DEFAULT, queue.constData(), newest, 1);
}

}  // namespace

TPrintPage ReadPrintPage(const QPrinter& printer, TPrintUnit unit) {
  const QPageLayout page = printer.pageLayout();
  const QRect px = page.paintRectPixels(printer.resolution());
  const QRectF mm = page.paintRect(QPageLayout::Millimeter);
  const double perUnit = unit == TPrintUnit::Inches ? 25.4 : 10.0;
  return TPrintPage{px.width(), px.height(), mm.width() / perUnit, mm.height() / perUnit};
}

void DrawPrintPage(QPainter& painter, const TBitmap& image, const TPrintLayout& layout, const TPrintOptions& options) {
  const TRect r = layout.PrinterRect();
  painter.setPen(QPen(Qt::black, 1, Qt::SolidLine, Qt::FlatCap));
  if (options.OutlineOnly) {
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(QRect(r.Left, r.Top, r.Width() - 1, r.Height() - 1));
  } else {
    // The image's own pixels into the target rectangle: the printer (or the PDF
    // reader) scales them, no page-sized raster is made here.
    painter.setRenderHint(QPainter::SmoothPixmapTransform, options.Smooth);
    painter.drawImage(QRect(r.Left, r.Top, r.Width(), r.Height()), BitmapAsQImage(image));
  }
  if (options.CutLines)
    for (const TPrintSegment& s : layout.CutLines()) painter.drawLine(s.From.X, s.From.Y, s.To.X, s.To.Y);
}

TPrintResult PrintImage(QPrinter& printer, const TBitmap& image, const TPrintLayout& layout,
                        const TPrintOptions& options, const std::function<bool()>& idle, std::string* reason) {
  const auto fail = [reason](TextId text, const QString& name, const std::string& why) {
    if (reason) *reason = Format(Tr(text), {name.toStdString()}) + (why.empty() ? std::string() : "\r" + why);
    return TPrintResult::Failed;
  };
  // A PDF file goes to a file beside its target first.
  const QString target = printer.outputFormat() == QPrinter::PdfFormat ? printer.outputFileName() : QString();
  const QString part = target.isEmpty() ? QString() : target + QStringLiteral(".part");
  if (!part.isEmpty()) printer.setOutputFileName(part);
  auto restore = [&] {
    if (!part.isEmpty()) printer.setOutputFileName(target);
  };
  QPainter painter;
  if (image.Empty() || !painter.begin(&printer)) {
    restore();
    if (part.isEmpty()) return fail(TextId::TrFixFmtPrintNoPrinter, printer.printerName(), {});
    // The PDF writer keeps the system's words to itself: the file is asked again.
    QFile probe(part);
    const bool made = !QFileInfo::exists(part) && probe.open(QIODevice::WriteOnly);
    const std::string why = made ? std::string() : probe.errorString().toStdString();
    if (made) probe.remove();
    return fail(TextId::TrFixFmtPrintNoFile, target, why);
  }
  DrawPrintPage(painter, image, layout, options);
  const bool cancelled = idle && idle();
  // Qt's engines on Linux cannot abort (the call is a no-op there): what was made is
  // taken back below instead.
  if (cancelled) printer.abort();
  const QString queue = printer.outputFormat() == QPrinter::NativeFormat ? printer.printerName() : QString();
  painter.end();
  restore();
  if (cancelled) {
    if (!part.isEmpty()) QFile::remove(part);
    if (!queue.isEmpty()) CancelQueuedJob(queue, printer.docName());
    return TPrintResult::Cancelled;
  }
  if (!part.isEmpty()) {
    std::error_code ec;
    std::filesystem::rename(part.toStdString(), target.toStdString(), ec);
    if (ec) {
      QFile::remove(part);
      return fail(TextId::TrFixFmtPrintNotRenamed, target, ec.message());
    }
  }
  if (printer.printerState() == QPrinter::Error) return fail(TextId::TrFixFmtPrintNoPrinter, printer.printerName(), {});
  return TPrintResult::Printed;
}

// --- The command ------------------------------------------------------------------------------

TPrintService::TPrintService(TDialogHost& host) : host_(host) {}

TPrintService::~TPrintService() = default;

QPrinter& TPrintService::Printer() {
  if (!printer_) {
    const QPrinterInfo queue = QPrinterInfo::defaultPrinter();
    if (!queue.isNull()) {
      printer_ = std::make_unique<QPrinter>(queue, QPrinter::HighResolution);
    } else {
      printer_ = std::make_unique<QPrinter>(QPrinter::HighResolution);
      printer_->setOutputFormat(QPrinter::PdfFormat);
      printer_->setResolution(kFilePrinterDpi);
    }
  }
  return *printer_;
}

void TPrintService::FreeDialog() { dialog_.reset(); }

void TPrintService::Print() {
  TNewImgForm* window = host_.GetActiveImgForm();
  if (!window) return;
  host_.LayerHost().HideSelection();
  QWidget* main = host_.MainWindow();
  if (!dialog_) {
    const TIniFile* ini = host_.SettingsFile();
    const int unit = ini ? std::clamp(ini->ReadInteger("Params", "PrintUnit", 0), 0, 1) : 0;
    const bool smooth = ini ? ini->ReadBool("Params", "AdvancedDisplay", true) : true;
    dialog_ = std::make_unique<TImprForm>(Printer(), TPrintUnit(unit), smooth, main);
  }
  if (!cancel_) cancel_ = std::make_unique<TAnnulerForm>(nullptr);
  TLayeredImage& image = window->Image();
  image.RenderLayers();
  const TBitmap& bitmap = image.ComposedBitmap();
  const QAction* item = main ? main->findChild<QAction*>(QStringLiteral("MenuFichierImprimer")) : nullptr;
  const std::string title = item ? TShellServices::GetMenuItemCaption(item) : CleanMenuCaption(Tr(TextId::TrFixPrnPrint));
  const std::string file = ExtractFileName(window->FileName());
  if (!dialog_->Execute(bitmap, image.ResolutionX, title + " - " + file, file)) return;
  // The cancel window is heard once before the job and once between its drawing and
  // its end; the main window takes no input meanwhile.
  cancel_->OnCancel = [this] { printer_->abort(); };
  // Given back however the job ends (a failure reaches the command's barrier).
  struct TDuringJob {
    QWidget* Main;
    TAnnulerForm& Cancel;
    ~TDuringJob() {
      Cancel.hide();
      if (Main) Main->setEnabled(true);
    }
  } during{main, *cancel_};
  cancel_->Start(main);
  if (main) main->setEnabled(false);
  host_.ProcessPendingEvents();
  const TPrintOptions options = dialog_->Options();
  std::string reason;
  const TPrintResult result = PrintImage(
      *printer_, bitmap, dialog_->Layout(), options,
      [this] {
        host_.ProcessPendingEvents();
        return cancel_->Cancelled();
      },
      &reason);
  dialog_->Layout().SetImage(nullptr, 0);
  if (result != TPrintResult::Failed) return;
  cancel_->hide();
  if (main) main->setEnabled(true);
  ShowMessageDialog(Format(Tr(TextId::TrFixFmtPrintFailed), {reason}), mtError, mbOK);
}

}  // namespace qm
