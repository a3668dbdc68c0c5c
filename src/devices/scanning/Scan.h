#pragma once
// The scanner's commands: choosing the source, acquiring a page into a new document,
// and the batch acquisition, whose pages open as documents, or replace one document's
// background and are saved under numbered names, one after the other.
//
// Each command makes its TWAIN component, drives the manager's default source with
// memory transfers and the scanner's own window, and frees the component when it ends.
// An acquisition waits in a nested event loop until the source is disabled (after its
// transfers, or when the user closes the scanner's window); the pages arrive inside
// that loop. A page of a series that cannot be saved ends the series, and the user is
// told which page, where and why once the scanner's window has closed. Our manager shows its window application-modal, so no other document or
// command is reachable while pages arrive.
#include <QPointer>
#include <exception>
#include <memory>
#include <string>

#include "shell/services/DeviceCommands.h"

namespace qm {

class TBitmap;
class TDialogHost;
class TNewImgForm;
class TScanLotForm;
class TTwainSource;
class TVornelTwain;

enum class TScanMode { Single, Batch };

// What becomes of a page the scanner delivers.
enum class TScanAction { NewDocument, NewDocumentAndSave, ReplaceAndSave, Refuse };

// The number of documents a batch without automatic save opens at most.
inline constexpr int kMaxBatchDocuments = 10;

// The acceptance policy, by the mode, whether the pages are saved automatically and
// the number of pages accepted so far: one acquisition keeps the first page and refuses
// the rest; a batch without automatic save opens up to kMaxBatchDocuments documents; a
// batch with it opens the first page, then replaces its background and saves, without
// limit.
TScanAction ScanPageAction(TScanMode mode, bool autoSave, int accepted);

// The horizontal resolution a page gives its new document: the scanner's, or the
// document's own when the scanner gives none (printing and the image information
// divide by it).
double ScanDocumentResolution(double scanned, double own);

// The file of a batch page: "sequence_007.jpg" in the folder (four digits from 1000).
std::string MakeBatchScanFileName(const std::string& folder, const std::string& sequence, int counter,
                                  const std::string& extension);

class TScanning {
 public:
  // Over the data source manager in libraryFolder.
  TScanning(TDialogHost& host, std::string libraryFolder);
  ~TScanning();
  TScanning(const TScanning&) = delete;
  TScanning& operator=(const TScanning&) = delete;

  // The manager's chooser; its choice becomes the default source the acquisitions use.
  // Each command tells the user when the manager finds no scanner.
  void CmdTwainSelectSource();
  // One page into a new document; the pages after it are refused, with a warning.
  void CmdTwainAcquire();
  // The batch dialog, then the series it asks for.
  void CmdTwainBatchAcquire();
  // Whether the manager is in the library folder.
  bool ManagerPresent() const;

 private:
  std::unique_ptr<TVornelTwain> CreateInternalTwain();
  void Acquire(TScanMode mode);
  // Whether the manager had a source to acquire from.
  bool AcquisitionRun(TVornelTwain& twain);
  // A command that found no scanner says so, rather than doing nothing.
  void SayNoScanner();
  void WaitWhileEnabled(TVornelTwain& twain, TTwainSource& source);
  void OnTwainAcquireImage(TVornelTwain& twain, int index, TBitmap& image, bool& cancel);
  void AcceptPage(TVornelTwain& twain, int index, TBitmap& image, bool& cancel);
  bool ShowBatchScanDialog();
  std::string InitialBatchFolder();
  void NewImageFromScan(TBitmap& image, double resolution);
  void ReplaceImageFromScan(TBitmap& image);
  bool SaveBatchScanImage();

  TDialogHost& host_;
  const std::string libraryFolder_;
  bool running_ = false;
  // The acquisition running.
  TScanMode mode_ = TScanMode::Single;
  int accepted_ = 0;
  bool refused_ = false;
  int pages_ = 0;             // the pages delivered so far
  std::string notSaved_;      // the page that could not be saved, where, and why
  QPointer<TNewImgForm> document_;  // the document a series' pages replace
  std::exception_ptr failure_;      // thrown by a page's handler, rethrown once the command ends
  // The batch's choices, from one confirmed dialog to the next.
  std::string folder_, sequence_, extension_;
  int counter_ = 1;
  QPointer<TScanLotForm> lotForm_;
};

// Gives the devices the scanner's commands over the manager in libraryFolder.
void AddScanningCommands(TDeviceCommands& devices, TDialogHost& host, const std::string& libraryFolder);

}  // namespace qm
