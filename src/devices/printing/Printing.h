#pragma once
// Printing the active image on one page: the print command (the dialog, then the job
// with its cancel window) and the job itself.
//
// The printer is the system's default CUPS queue, or, without one, the PDF file printer
// that every Qt and GTK print dialog offers (the file is asked for when printing).
#include <QString>
#include <string>
#include <functional>
#include <memory>

#include "devices/printing/PrintForms.h"
#include "devices/printing/PrintLayout.h"

class QPainter;
class QPrinter;

namespace qm {

class TDialogHost;

enum class TPrintResult { Printed, Cancelled, Failed };

// The printable area of the printer's page as it stands (its orientation set), in its
// pixels and in the unit.
TPrintPage ReadPrintPage(const QPrinter& printer, TPrintUnit unit);

// The page's drawing on a painter in printer pixels: the image (or its outline), then the
// cut lines when asked.
void DrawPrintPage(QPainter& painter, const TBitmap& image, const TPrintLayout& layout, const TPrintOptions& options);

// One page: the image (or its outline) on the layout's printer rectangle, its own pixels
// scaled by the printer, and the cut lines when asked. Between the drawing and the end of
// the document (where the job is spooled) idle runs; when it answers true the job is
// dropped: no file is left and no queued job stays. A PDF file is written beside its
// target and renamed over it, so a failed or cancelled print keeps the file that was
// there. A failure says why in reason (the file or the printer, and the system's
// words), for the user.
TPrintResult PrintImage(QPrinter& printer, const TBitmap& image, const TPrintLayout& layout,
                        const TPrintOptions& options, const std::function<bool()>& idle,
                        std::string* reason = nullptr);

class TPrintService {
 public:
  explicit TPrintService(TDialogHost& host);
  ~TPrintService();
  TPrintService(const TPrintService&) = delete;
  TPrintService& operator=(const TPrintService&) = delete;

  // The print command: the active document's layers composed, the dialog, and on its
  // "Imprimer" the job while the cancel window shows. A job that fails is told, with
  // its reason; a cancelled one is not.
  void Print();
  // The dialog is made again at its next showing (the print unit changed).
  void FreeDialog();

  QPrinter& Printer();

 private:
  TDialogHost& host_;
  std::unique_ptr<QPrinter> printer_;
  std::unique_ptr<TImprForm> dialog_;
  std::unique_ptr<TAnnulerForm> cancel_;
};

}  // namespace qm
