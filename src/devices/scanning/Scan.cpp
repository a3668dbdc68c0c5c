#include "devices/scanning/Scan.h"

#include <QAbstractEventDispatcher>
#include <QDate>
#include <QEventLoop>
#include <QStandardPaths>
#include <cmath>
#include <filesystem>
#include <utility>

#include "devices/VornelTwain.h"
#include "devices/scanning/ScanLot.h"
#include "imagefiles/FormatProbes.h"
#include "platform/core/Messages.h"
#include "platform/texts/FileError.h"
#include "platform/texts/Format.h"
#include "platform/texts/TextUtils.h"
#include "platform/texts/UiTexts.h"
#include "shell/services/DialogHost.h"
#include "shell/services/FormUtils.h"

namespace qm {

namespace {

// Anything of that name, a dangling link included.
bool NameTaken(const std::string& name) {
  std::error_code ec;
  return std::filesystem::symlink_status(name, ec).type() != std::filesystem::file_type::not_found;
}

bool IsFolder(const std::string& path) {
  std::error_code ec;
  return !path.empty() && std::filesystem::is_directory(path, ec);
}

}  // namespace

TScanAction ScanPageAction(TScanMode mode, bool autoSave, int accepted) {
  if (mode == TScanMode::Single) return accepted == 0 ? TScanAction::NewDocument : TScanAction::Refuse;
  if (autoSave) return accepted == 0 ? TScanAction::NewDocumentAndSave : TScanAction::ReplaceAndSave;
  return accepted < kMaxBatchDocuments ? TScanAction::NewDocument : TScanAction::Refuse;
}

double ScanDocumentResolution(double scanned, double own) {
  return std::isfinite(scanned) && scanned > 0 ? scanned : own;
}

std::string MakeBatchScanFileName(const std::string& folder, const std::string& sequence, int counter,
                                  const std::string& extension) {
  return AddTrailingBackslash(folder) + Format(Tr(TextId::TrFixFmtBatchScanFile), {sequence, counter, extension});
}

TScanning::TScanning(TDialogHost& host, std::string libraryFolder)
    : host_(host), libraryFolder_(std::move(libraryFolder)) {}

TScanning::~TScanning() = default;

bool TScanning::ManagerPresent() const {
  return TwainFileExists(AddTrailingBackslash(libraryFolder_) + kTwainManagerFileName);
}

std::unique_ptr<TVornelTwain> TScanning::CreateInternalTwain() {
  auto twain = std::make_unique<TVornelTwain>();
  twain->LibraryFolder = libraryFolder_;
  twain->OnAcquireError = [](TVornelTwain&, int, int errorCode, int additional) {
    ShowMessageDialog(Format(Tr(TextId::TrFixFmtScanError), {Tr(TextId::GetDlgError), errorCode, additional}), mtError,
                      mbOK);
  };
  twain->OnTwainAcquire = [this](TVornelTwain& sender, int index, TBitmap& image, bool& cancel) {
    OnTwainAcquireImage(sender, index, image, cancel);
  };
  TTwainIdentity& info = twain->Info();
  info.SetMajorVersion(1);
  info.SetMinorVersion(0);
  info.SetVersionInfo("Quillomatic Morvek");
  info.SetManufacturer("Quillomatic Morvek");
  info.SetProductFamily("Image Capture");
  info.SetProductName("TWAIN 32");
  return twain;
}

void TScanning::CmdTwainSelectSource() {
  if (running_) return;
  const std::unique_ptr<TVornelTwain> twain = CreateInternalTwain();
  bool found = false;
  if (twain->LoadTwainLibrary()) {
    twain->SetSourceManagerLoaded(true);
    // The index chosen is not kept: the manager remembers the choice as its default
    // source, which every acquisition takes.
    found = twain->SourceCount() > 0;
    if (found) twain->SelectTwainSource();
    twain->CloseTwainSourceManager(false);
    twain->UnloadTwainLibrary();
  }
  if (!found) SayNoScanner();
}

void TScanning::SayNoScanner() { ShowMessageDialog(Tr(TextId::GetTrDlgTwainNoScanner), mtInformation, mbOK); }

void TScanning::CmdTwainAcquire() { Acquire(TScanMode::Single); }

void TScanning::CmdTwainBatchAcquire() {
  if (!running_ && ShowBatchScanDialog()) Acquire(TScanMode::Batch);
}

void TScanning::Acquire(TScanMode mode) {
  if (running_) return;
  mode_ = mode;
  accepted_ = 0;
  refused_ = false;
  pages_ = 0;
  notSaved_.clear();
  document_ = nullptr;
  failure_ = nullptr;
  bool found = false;
  {
    struct TRunningEnd {
      bool& Flag;
      ~TRunningEnd() { Flag = false; }
    } end{running_};
    running_ = true;
    const std::unique_ptr<TVornelTwain> twain = CreateInternalTwain();
    found = AcquisitionRun(*twain);
  }
  // What a page's handler threw ends the command as any failure inside a command does.
  if (failure_) std::rethrow_exception(std::exchange(failure_, nullptr));
  if (!found) SayNoScanner();
  // Told once the scanner's window is gone.
  if (!notSaved_.empty()) ShowMessageDialog(std::exchange(notSaved_, {}), mtError, mbOK);
  if (refused_)
    ShowMessageDialog(Tr(mode == TScanMode::Single ? TextId::GetTrDlgTwain1 : TextId::GetTrDlgTwain2), mtWarning,
                      mbOK);
}

bool TScanning::AcquisitionRun(TVornelTwain& twain) {
  if (!twain.LoadTwainLibrary()) return false;
  twain.SetSourceManagerLoaded(true);
  TTwainSource* source = twain.SourceCount() > 0 ? twain.GetTwainSource(-1) : nullptr;
  if (source) {
    source->SetTwainSourceLoaded(true);
    source->TransferMode = ttmMemory;
    source->ModalUI = true;
    WaitWhileEnabled(twain, *source);
  }
  twain.CloseTwainSourceManager(false);
  twain.UnloadTwainLibrary();
  return source != nullptr;
}

void TScanning::WaitWhileEnabled(TVornelTwain& twain, TTwainSource& source) {
  QEventLoop loop;
  twain.OnSourceDisable = [&loop](TVornelTwain&, int) { loop.quit(); };
  // A source the manager closed without disabling it first is not enabled either: the
  // loop also looks each time it is about to sleep.
  const QMetaObject::Connection idle =
      QObject::connect(QAbstractEventDispatcher::instance(), &QAbstractEventDispatcher::aboutToBlock, &loop,
                       [&loop, &source] {
                         if (!source.Enabled()) loop.quit();
                       });
  source.SetTwainSourceEnabled(true);
  if (source.Enabled()) loop.exec();
  QObject::disconnect(idle);
  twain.OnSourceDisable = nullptr;
}

void TScanning::OnTwainAcquireImage(TVornelTwain& twain, int index, TBitmap& image, bool& cancel) {
  // The handler runs inside the driver's event: nothing may leave it by a throw. A
  // failure ends the series and is rethrown once the command has closed the manager.
  try {
    AcceptPage(twain, index, image, cancel);
  } catch (...) {
    if (!failure_) failure_ = std::current_exception();
    cancel = true;
  }
}

void TScanning::AcceptPage(TVornelTwain& twain, int index, TBitmap& image, bool& cancel) {
  ++pages_;
  const TTwainSource* source = twain.GetTwainSource(index);
  const double resolution = source ? Fix32ToFloat(source->ImageInfo.XResolution) : 0;
  TScanAction action = ScanPageAction(mode_, !extension_.empty(), accepted_);
  if (action == TScanAction::ReplaceAndSave && !document_) action = TScanAction::NewDocumentAndSave;
  switch (action) {
    case TScanAction::Refuse:
      cancel = true;
      refused_ = true;
      return;
    case TScanAction::NewDocument:
      NewImageFromScan(image, resolution);
      return;
    case TScanAction::NewDocumentAndSave:
      NewImageFromScan(image, resolution);
      break;
    case TScanAction::ReplaceAndSave:
      ReplaceImageFromScan(image);
      break;
  }
  // A page that could not be saved stays in its document, and the series ends there:
  // the next page would replace it unsaved.
  if (!SaveBatchScanImage()) cancel = true;
}

void TScanning::NewImageFromScan(TBitmap& image, double resolution) {
  image.SetPixelFormat(pf24bit);
  TNewImgForm* window = host_.CreateImageWindow(std::move(image), nullptr, 16777216, true, {});
  if (!window) return;
  window->Image().ResolutionX = ScanDocumentResolution(resolution, window->Image().ResolutionX);
  document_ = window;
  ++accepted_;
}

void TScanning::ReplaceImageFromScan(TBitmap& image) {
  TNewImgForm* window = document_;
  if (host_.GetActiveImgForm() != window) host_.Windows().ActivateImageWindow(window);
  image.SetPixelFormat(pf24bit);
  // A series' document holds its background only.
  TLayeredImage& doc = window->Image();
  const std::string name = doc.GetLayerCount() > 0 ? doc.Layers[0].Name : std::string("#0");
  doc.LoadFromBitmap(std::move(image), TBitmap(), name);
  host_.ResetImageWindowState();
  host_.RepaintActiveImage();
}

bool TScanning::SaveBatchScanImage() {
  TNewImgForm* window = document_;
  if (!window || window->Image().GetLayerCount() == 0) return false;
  // Numbers already taken are skipped: a series never writes over the files of an
  // earlier one.
  std::string name = MakeBatchScanFileName(folder_, sequence_, counter_, extension_);
  while (NameTaken(name) && counter_ < INT32_MAX) name = MakeBatchScanFileName(folder_, sequence_, ++counter_, extension_);
  TLayeredImage& doc = window->Image();
  TSaveResult report;
  const bool saved = host_.SaveImageFile(name, doc.Layers[0].Image, doc, &report) > 0;
  if (!saved) {
    // Which page, where, and why: the series ends here.
    notSaved_ = Format(Tr(TextId::TrFixFmtBatchScanNotSaved), {pages_, name});
    const std::string why = !report.Error.Reason.empty() ? report.Error.Reason : FileErrorText(report.Error);
    if (!why.empty()) notSaved_ += "\r" + why;
  }
  if (saved) {
    window->SetFileName(name);
    host_.UpdateStatusBar();
    SetFileResolution(name, doc.ResolutionX);
    ++counter_;
  }
  // The save may leave the background in the format it wrote.
  if (doc.GetLayerCount() > 0 && doc.Layers[0].Image.PixelFormat() != pf24bit) doc.Layers[0].Image.SetPixelFormat(pf24bit);
  return saved;
}

std::string TScanning::InitialBatchFolder() {
  for (const std::string& folder :
       {host_.SaveFolder(), host_.OpenFolder(),
        QStandardPaths::writableLocation(QStandardPaths::PicturesLocation).toStdString()})
    if (IsFolder(folder)) return folder;
  return {};
}

bool TScanning::ShowBatchScanDialog() {
  const bool made = !lotForm_;
  TScanLotForm* form = CreateFormOnce(lotForm_);
  if (made) {
    // It goes with the main window, centred on it.
    if (QWidget* main = host_.MainWindow()) form->setParent(main, form->windowFlags());
    form->SetDefaults(InitialBatchFolder(), QDate::currentDate().toString(QStringLiteral("yyyyMMdd")).toStdString());
  }
  if (form->exec() != QDialog::Accepted) return false;
  folder_ = form->GetBatchScanFolder();
  sequence_ = form->GetBatchScanSequence();
  extension_ = form->GetBatchScanFormat();
  counter_ = 1;
  return true;
}

void AddScanningCommands(TDeviceCommands& devices, TDialogHost& host, const std::string& libraryFolder) {
  auto scanning = std::make_shared<TScanning>(host, libraryFolder);
  devices.TwainSelectSource = [scanning] { scanning->CmdTwainSelectSource(); };
  devices.TwainAcquire = [scanning] { scanning->CmdTwainAcquire(); };
  devices.TwainBatchAcquire = [scanning] { scanning->CmdTwainBatchAcquire(); };
  devices.TwainPresent = [scanning] { return scanning->ManagerPresent(); };
}

}  // namespace qm
