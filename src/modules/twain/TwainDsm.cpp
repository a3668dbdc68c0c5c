// Our TWAIN data source manager: one source per SANE device. It is loaded by the
// program's TWAIN driver and answers its calls through DSM_Entry.
//
// Every SANE call runs on one thread of its own, in order; the GUI thread never waits
// in sane_read. Where a TWAIN answer needs a SANE result (the device list, opening a
// device, starting a page, a page's pixels), the call waits for it while the event
// loop keeps running (user input aside), so the program keeps painting and its timers
// keep firing. A page is read whole before it is handed over.
//
// Events: a source posts a TSourceEvent to the window handle the application gave at
// MSG_OPENDSM (a QObject*); MSG_PROCESSEVENT recognises it. Events that would arrive
// while a call of ours is waiting are held and posted when the outermost call returns.
//
// Settings kept in "Twain.ini" in the program's configuration folder: [Manager]
// Default=<SANE name> (the chooser's last choice), and one section per device named by
// its SANE name with the options its dialog last scanned with (mode, depth,
// resolution, source), applied when the source is opened.
//
// QM_TWAIN_AUTOSCAN=1 makes a source asked to show its dialog scan at once instead
// (tests and unattended runs).
#include <QCoreApplication>
#include <QEvent>
#include <QPointer>
#include <QThread>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <pthread.h>
#include <thread>
#include <unistd.h>
#include <vector>

#include "devices/TwainApi.h"
#include "modules/twain/DsmDialogs.h"
#include "modules/twain/SaneOptions.h"
#include "modules/twain/SanePage.h"
#include "platform/texts/AppPaths.h"
#include "platform/texts/Format.h"
#include "platform/texts/IniFile.h"
#include "platform/texts/UiTexts.h"

namespace qm::twaindsm {

using namespace qm::twain;

namespace {

// Strips of 64 KB: large enough that a transfer is a few hundred calls for an A4 page
// at 300 dpi, small enough to stay in the second-level cache while it is copied twice.
constexpr size_t kStripBytes = 64 * 1024;
constexpr TW_UINT16 kPendingUnknown = 0xFFFF;  // a Count of -1: more pages, how many unknown
constexpr const char* kOptionOrder[] = {SANE_NAME_SCAN_MODE, SANE_NAME_BIT_DEPTH, SANE_NAME_SCAN_RESOLUTION,
                                        SANE_NAME_SCAN_SOURCE};

// --- The SANE thread -----------------------------------------------------------------

// The one thread every SANE call of the process runs on, in order, from the first
// manager opened to the end of the process: sane_exit of a closing manager and
// sane_init of the next one can never overlap, and closing waits for nothing.
class TSaneThread {
 public:
  TSaneThread() { std::thread([this] { Run(); }).detach(); }
  void Post(std::function<void()> task) {
    {
      std::lock_guard lock(mutex_);
      tasks_.push_back(std::move(task));
    }
    wake_.notify_one();
  }
  // Waits until every task posted has run, at most the time given; false on time out.
  bool WaitIdle(std::chrono::milliseconds limit) {
    std::unique_lock lock(mutex_);
    return idle_.wait_for(lock, limit, [this] { return tasks_.empty() && !running_; });
  }

 private:
  [[noreturn]] void Run() {
    for (;;) {
      std::function<void()> task;
      {
        std::unique_lock lock(mutex_);
        running_ = false;
        if (tasks_.empty()) idle_.notify_all();
        wake_.wait(lock, [this] { return !tasks_.empty(); });
        task = std::move(tasks_.front());
        tasks_.pop_front();
        running_ = true;
      }
      task();
      task = nullptr;
    }
  }
  std::mutex mutex_;
  std::condition_variable wake_, idle_;
  std::deque<std::function<void()>> tasks_;
  bool running_ = false;
};

// The process must not end while the SANE thread is inside a call: a sane_exit still
// unloading its backends holds the loader's lock, and the exit path (the C library's
// finalisers, the leak checker of a sanitised build) then waits on it forever. The
// last closing posted is given a few seconds to finish when the process ends; a device
// that never answers does not keep the process alive past them.
struct TSaneThreadDrain {
  ~TSaneThreadDrain();
};

TSaneThread& SaneThread() {
  static TSaneThread* thread = new TSaneThread;  // lives as long as the process
  static TSaneThreadDrain drain;                 // registered after it: runs at exit
  return *thread;
}

TSaneThreadDrain::~TSaneThreadDrain() { SaneThread().WaitIdle(std::chrono::seconds(5)); }

// The object the SANE thread's answers are queued to, on the GUI thread (the first
// call, from the GUI thread, makes it); it lives as long as the process, so a late
// answer never meets a deleted receiver.
QObject& Mailbox() {
  static QObject* mailbox = new QObject;
  return *mailbox;
}

// --- Events --------------------------------------------------------------------------

QEvent::Type SourceEventType() {
  static const QEvent::Type type = QEvent::Type(QEvent::registerEventType());
  return type;
}

class TSourceEvent : public QEvent {
 public:
  TSourceEvent(TW_UINT32 source, TW_UINT16 message)
      : QEvent(SourceEventType()), Source(source), Message(message) {}
  const TW_UINT32 Source;
  const TW_UINT16 Message;
};

// --- State -----------------------------------------------------------------------------

struct TPageJob {
  std::atomic<bool> Started{false};
  std::atomic<bool> Finished{false};
  std::atomic<bool> Cancelled{false};
  SANE_Status StartStatus = SANE_STATUS_GOOD;  // valid once Started
  double Resolution = 0;                       // valid once Started
  bool Feeder = false;                         // valid once Started
  TScanPage Page;                              // valid once Finished
};

struct TDevice {
  TW_UINT32 Id = 0;
  std::string Name, Vendor, Model;
};

struct TSource {
  TDevice Device;
  SANE_Handle Handle = nullptr;
  int State = 4;
  TW_UINT16 Condition = TWCC_SUCCESS;
  bool Scanning = false;     // sane_start was called since the last sane_cancel
  bool Feeder = false;       // the series reads a document feeder
  bool StartFailed = false;  // the feeder's last start failed: the series ends after its page
  std::shared_ptr<TPageJob> Job;
  int NextRow = 0;
  QPointer<TScanOptionsDialog> Dialog;
  std::string FileName;       // of file transfers
  bool FileProposed = false;  // a temporary file we made, not the application's
};

TW_UINT16 ConditionOf(SANE_Status st) {
  switch (st) {
    case SANE_STATUS_GOOD: return TWCC_SUCCESS;
    case SANE_STATUS_UNSUPPORTED: return TWCC_BADPROTOCOL;
    case SANE_STATUS_DEVICE_BUSY: return TWCC_DENIED;
    case SANE_STATUS_INVAL: return TWCC_BADVALUE;
    case SANE_STATUS_JAMMED: return TWCC_PAPERJAM;
    case SANE_STATUS_NO_DOCS: return TWCC_NOMEDIA;
    case SANE_STATUS_COVER_OPEN: return TWCC_INTERLOCK;
    case SANE_STATUS_IO_ERROR: return TWCC_CHECKDEVICEONLINE;
    case SANE_STATUS_NO_MEM: return TWCC_LOWMEMORY;
    case SANE_STATUS_ACCESS_DENIED: return TWCC_DENIED;
    default: return TWCC_BUMMER;
  }
}

QString StatusMessage(SANE_Status st) {
  switch (st) {
    case SANE_STATUS_NO_DOCS: return QString::fromStdString(Tr(TextId::GetTrDlgTwainNoDocs));
    case SANE_STATUS_JAMMED: return QString::fromStdString(Tr(TextId::GetTrDlgTwainJammed));
    case SANE_STATUS_COVER_OPEN: return QString::fromStdString(Tr(TextId::GetTrDlgTwainCoverOpen));
    case SANE_STATUS_DEVICE_BUSY: return QString::fromStdString(Tr(TextId::GetTrDlgTwainBusy));
    default: return QString::fromStdString(Format(TextId::GetTrFmtTwainError, {sane_strstatus(st)}));
  }
}

// SANE backends cancel their reader threads asynchronously (sanei_thread). The first
// thread of a process to exit or be cancelled has the C library load the unwinder with
// dlopen, and a reader cancelled in the middle of that dies holding the loader's lock:
// the next dlopen or dlclose (sane_exit's) then waits forever. Loading the unwinder
// once, on a thread no one cancels, takes that step away from the readers.
void LoadUnwinder() {
  static std::once_flag once;
  std::call_once(once, [] {
    pthread_t thread;
    if (pthread_create(&thread, nullptr, +[](void*) -> void* { pthread_exit(nullptr); }, nullptr) == 0)
      pthread_join(thread, nullptr);
  });
}

bool AutoScan() {
  const char* v = std::getenv("QM_TWAIN_AUTOSCAN");
  return v && *v && std::strcmp(v, "0") != 0;
}

std::string SettingsPath() { return ConfigFolder() + "/Twain.ini"; }

void CopyText(TW_STR32& field, const std::string& s) {
  std::memset(field, 0, sizeof field);
  std::memcpy(field, s.data(), std::min(s.size(), size_t(32)));
}

void FillIdentity(TW_IDENTITY& id, const TDevice& d) {
  std::memset(&id, 0, sizeof id);
  id.Id = d.Id;
  id.Version.MajorNum = 1;
  id.Version.Language = TWLG_FRENCH;
  id.Version.Country = TWCY_FRANCE;
  CopyText(id.Version.Info, "SANE");
  id.ProtocolMajor = 1;
  id.ProtocolMinor = 9;
  id.SupportedGroups = DG_CONTROL | DG_IMAGE;
  CopyText(id.Manufacturer, d.Vendor);
  CopyText(id.ProductFamily, d.Model);
  CopyText(id.ProductName, d.Name);
}

// The image as a device-independent bitmap: header, colour table, rows bottom-up in
// blue, green, red order.
std::vector<uint8_t> PageAsDib(const TScanPage& page, double resolution) {
  const int bpp = page.BitsPerPixel();
  const size_t colours = page.Kind == TPageKind::BlackWhite ? 2 : page.Kind == TPageKind::Gray ? 256 : 0;
  TDibInfoHeader h{};
  h.biSize = sizeof h;
  h.biWidth = page.Width;
  h.biHeight = page.Height;
  h.biPlanes = 1;
  h.biBitCount = uint16_t(bpp);
  h.biSizeImage = uint32_t(page.Pitch * size_t(page.Height));
  h.biXPelsPerMeter = h.biYPelsPerMeter = int32_t(resolution * 100 / 2.54 + 0.5);
  h.biClrUsed = uint32_t(colours);
  std::vector<uint8_t> dib(sizeof h + colours * 4 + page.Pitch * size_t(page.Height));
  std::memcpy(dib.data(), &h, sizeof h);
  uint8_t* table = dib.data() + sizeof h;
  for (size_t i = 0; i < colours; ++i) {
    // SANE's 1 is black: entry 0 white, entry 1 black.
    const uint8_t v = colours == 2 ? uint8_t(i ? 0 : 255) : uint8_t(i);
    table[4 * i] = table[4 * i + 1] = table[4 * i + 2] = v;
  }
  uint8_t* bits = table + colours * 4;
  for (int y = 0; y < page.Height; ++y) {
    const uint8_t* src = page.Rows.get() + size_t(y) * page.Pitch;
    uint8_t* dst = bits + size_t(page.Height - 1 - y) * page.Pitch;
    std::memcpy(dst, src, page.Pitch);
    if (page.Kind == TPageKind::Rgb)
      for (int x = 0; x < page.Width; ++x) std::swap(dst[3 * x], dst[3 * x + 2]);
  }
  return dib;
}

// Writes the bytes to a temporary file beside the target and renames it over.
bool WriteFileAtomically(const std::string& target, const uint8_t* head, size_t headSize,
                         const std::vector<uint8_t>& body) {
  std::string pattern = target + ".XXXXXX";
  const int fd = ::mkstemp(pattern.data());
  if (fd < 0) return false;
  bool ok = ::write(fd, head, headSize) == ssize_t(headSize);
  size_t done = 0;
  while (ok && done < body.size()) {
    const ssize_t n = ::write(fd, body.data() + done, body.size() - done);
    ok = n > 0;
    if (ok) done += size_t(n);
  }
  ok = ::close(fd) == 0 && ok && ::rename(pattern.c_str(), target.c_str()) == 0;
  if (!ok) ::unlink(pattern.c_str());
  return ok;
}

bool WriteBmpFile(const std::string& name, const std::vector<uint8_t>& dib) {
  const size_t colours = reinterpret_cast<const TDibInfoHeader*>(dib.data())->biClrUsed;
  uint8_t head[14] = {'B', 'M'};
  const uint32_t size = uint32_t(14 + dib.size()), offset = uint32_t(14 + sizeof(TDibInfoHeader) + colours * 4);
  std::memcpy(head + 2, &size, 4);
  std::memcpy(head + 10, &offset, 4);
  return WriteFileAtomically(name, head, sizeof head, dib);
}

class TManager;
TManager* gManager = nullptr;
TW_UINT16 gClosedCondition = TWCC_SUCCESS;  // the condition while no manager is open

class TManager {
 public:
  explicit TManager(QObject* parent) : Session(++sessions_), parent_(parent) {}

  TW_UINT16 Condition = TWCC_SUCCESS;
  int Busy = 0;
  // Answers of the SANE thread name the session they belong to: those of a closed
  // manager are dropped.
  const unsigned Session;

  // Starts SANE and lists its devices in the same step: the first enumeration comes
  // right after.
  bool Init() {
    LoadUnwinder();
    Mailbox();  // made here, so that it belongs to the GUI thread
    SANE_Status st = SANE_STATUS_GOOD;
    std::vector<TDevice> found;
    RunOnSane([&] {
      st = sane_init(nullptr, nullptr);
      if (st == SANE_STATUS_GOOD) found = ReadDevices();
    });
    if (st != SANE_STATUS_GOOD) {
      SaneThread().Post([] { sane_exit(); });
      return false;
    }
    TakeDevices(std::move(found));
    fresh_ = true;
    return true;
  }

  bool CanClose() const { return Busy == 0; }
  // Closes the sources still open, drops the events not yet delivered, ends SANE.
  void Close() {
    while (!sources_.empty()) {
      TW_IDENTITY identity{};
      identity.Id = sources_.begin()->first;
      CloseSource(identity);
    }
    if (parent_) QCoreApplication::removePostedEvents(parent_, SourceEventType());
    SaneThread().Post([] { sane_exit(); });
  }

  TW_UINT16 Manager(TW_IDENTITY* origin, TW_UINT32 dg, TW_UINT16 dat, TW_UINT16 msg, void* data);
  // A page job of a source moved on (the SANE thread's answer, on the GUI thread).
  void JobProgress(TW_UINT32 id, const std::shared_ptr<TPageJob>& job);
  TW_UINT16 SourceCall(TSource& s, TW_UINT32 dg, TW_UINT16 dat, TW_UINT16 msg, void* data);
  TSource* Find(TW_UINT32 id) {
    auto it = sources_.find(id);
    return it == sources_.end() ? nullptr : it->second.get();
  }
  // Posts the held events once the outermost call returns.
  void Flush() {
    auto held = std::move(held_);
    held_.clear();
    for (auto [source, message] : held)
      if (Find(source) && parent_) QCoreApplication::postEvent(parent_, new TSourceEvent(source, message));
  }

 private:
  TW_UINT16 Fail(TW_UINT16 condition) {
    Condition = condition;
    return TWRC_FAILURE;
  }
  static TW_UINT16 Fail(TSource& s, TW_UINT16 condition) {
    s.Condition = condition;
    return TWRC_FAILURE;
  }

  // Runs f on the SANE thread and waits for it with the event loop running.
  static void RunOnSane(const std::function<void()>& f) {
    std::atomic<bool> done{false};
    SaneThread().Post([&] {
      f();
      done = true;
      Wake();
    });
    WaitUntil([&] { return done.load(); });
  }
  static void Wake() { QMetaObject::invokeMethod(&Mailbox(), [] {}, Qt::QueuedConnection); }
  static void WaitUntil(const std::function<bool()>& done) {
    while (!done()) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents | QEventLoop::ExcludeUserInputEvents);
  }

  void Post(TSource& s, TW_UINT16 message) {
    if (Busy > 0)
      held_.emplace_back(s.Device.Id, message);
    else if (parent_)
      QCoreApplication::postEvent(parent_, new TSourceEvent(s.Device.Id, message));
  }

  // Devices.
  static std::vector<TDevice> ReadDevices();  // on the SANE thread
  void TakeDevices(std::vector<TDevice> found);
  void ListDevices();
  int DefaultDevice();
  TW_UINT16 OpenSource(TW_IDENTITY& identity);
  TW_UINT16 CloseSource(TW_IDENTITY& identity);

  // Scanning.
  void StartSeries(TSource& s);
  void StartPage(TSource& s);
  void EndScan(TSource& s);
  // A page the device cancelled is a cancelled transfer; any other failure an error.
  enum class TPageState { Ready, Cancelled, Failed };
  TPageState WaitPage(TSource& s);
  TW_UINT16 EnableSource(TSource& s, const TW_USERINTERFACE& ui);
  TW_UINT16 DisableSource(TSource& s);
  void ShowDialog(TSource& s, bool modal);
  void DialogScan(TW_UINT32 id);
  void DialogChoice(TW_UINT32 id, const std::string& option, const std::string& value);
  std::vector<TSaneChoice> ReadChoices(TSource& s);
  TW_UINT16 EndTransfer(TSource& s, TW_PENDINGXFERS& pending);

  // Transfers.
  TW_UINT16 ImageInfo(TSource& s, TW_IMAGEINFO& info);
  // The page of a transfer: TWRC_SUCCESS when it is there to hand over.
  TW_UINT16 BeginTransfer(TSource& s);
  TW_UINT16 MemoryStrip(TSource& s, TW_IMAGEMEMXFER& strip);
  TW_UINT16 NativeImage(TSource& s, TW_MEMREF* handle);
  TW_UINT16 SetupFile(TSource& s, TW_UINT16 msg, TW_SETUPFILEXFER& setup);
  TW_UINT16 FileImage(TSource& s);
  TW_UINT16 Capability(TSource& s, TW_UINT16 msg, TW_CAPABILITY& cap);
  void ProposeFile(TSource& s);

  static inline unsigned sessions_ = 0;
  QPointer<QObject> parent_;
  std::vector<TDevice> devices_;
  bool listed_ = false;
  bool fresh_ = false;  // the list read when SANE started, not yet enumerated
  size_t next_ = 0;
  std::map<std::string, TW_UINT32> ids_;
  std::map<TW_UINT32, std::unique_ptr<TSource>> sources_;
  std::vector<std::pair<TW_UINT32, TW_UINT16>> held_;
};

// --- Devices ---------------------------------------------------------------------------

std::vector<TDevice> TManager::ReadDevices() {
  std::vector<TDevice> found;
  const SANE_Device** list = nullptr;
  if (sane_get_devices(&list, SANE_FALSE) != SANE_STATUS_GOOD || !list) return found;
  for (int i = 0; list[i]; ++i) {
    TDevice d;
    d.Name = list[i]->name ? list[i]->name : "";
    d.Vendor = list[i]->vendor ? list[i]->vendor : "";
    d.Model = list[i]->model ? list[i]->model : "";
    if (!d.Name.empty()) found.push_back(std::move(d));
  }
  return found;
}

void TManager::TakeDevices(std::vector<TDevice> found) {
  // Identities stay the same for a device as long as the manager is open.
  for (TDevice& d : found) {
    auto [it, added] = ids_.emplace(d.Name, TW_UINT32(ids_.size() + 1));
    d.Id = it->second;
  }
  devices_ = std::move(found);
  listed_ = true;
}

void TManager::ListDevices() {
  std::vector<TDevice> found;
  RunOnSane([&] { found = ReadDevices(); });
  TakeDevices(std::move(found));
}

int TManager::DefaultDevice() {
  if (!listed_) ListDevices();
  if (devices_.empty()) return -1;
  const std::string chosen = TIniFile(SettingsPath()).ReadString("Manager", "Default", "");
  const char* env = std::getenv("SANE_DEFAULT_DEVICE");
  for (const std::string& name : {chosen, std::string(env ? env : "")})
    for (size_t i = 0; i < devices_.size() && !name.empty(); ++i)
      if (devices_[i].Name == name) return int(i);
  return 0;
}

TW_UINT16 TManager::OpenSource(TW_IDENTITY& identity) {
  if (!listed_) ListDevices();
  const std::string product(identity.ProductName, strnlen(identity.ProductName, sizeof identity.ProductName));
  int found = -1;
  for (size_t i = 0; i < devices_.size() && found < 0; ++i)
    if (identity.Id != 0 ? devices_[i].Id == identity.Id : devices_[i].Name.substr(0, 32) == product) found = int(i);
  // An empty identity opens the default source.
  if (found < 0 && identity.Id == 0 && product.empty()) found = DefaultDevice();
  if (found < 0) return Fail(TWCC_NODS);
  const TDevice device = devices_[size_t(found)];  // a copy: the list may change while SANE opens it
  if (Find(device.Id)) return Fail(TWCC_MAXCONNECTIONS);
  SANE_Handle handle = nullptr;
  SANE_Status st = SANE_STATUS_GOOD;
  const std::string& name = device.Name;
  RunOnSane([&] {
    st = sane_open(name.c_str(), &handle);
    if (st != SANE_STATUS_GOOD) return;
    // The options the dialog last scanned with; the source first, as the others may
    // depend on it.
    const TIniFile ini(SettingsPath());
    for (const char* option : {kOptionSource, kOptionMode, kOptionDepth, kOptionResolution})
      if (ini.ValueExists(name, option)) WriteSaneChoice(handle, option, ini.ReadString(name, option, ""));
  });
  if (st != SANE_STATUS_GOOD) return Fail(st == SANE_STATUS_ACCESS_DENIED ? TWCC_DENIED : TWCC_NODS);
  auto source = std::make_unique<TSource>();
  source->Device = device;
  source->Handle = handle;
  FillIdentity(identity, source->Device);
  sources_.emplace(source->Device.Id, std::move(source));
  return TWRC_SUCCESS;
}

TW_UINT16 TManager::CloseSource(TW_IDENTITY& identity) {
  TSource* s = Find(identity.Id);
  if (!s) return Fail(TWCC_BADDEST);
  // Closing is always granted, whatever the state: a source that could not be brought
  // down step by step must not keep its device, nor the manager open.
  EndScan(*s);
  if (s->Dialog) {
    s->Dialog->hide();
    s->Dialog->deleteLater();
  }
  SANE_Handle h = s->Handle;
  SaneThread().Post([h] { sane_close(h); });
  if (s->FileProposed) {
    std::error_code ec;
    if (std::filesystem::file_size(s->FileName, ec) == 0 && !ec) std::filesystem::remove(s->FileName, ec);
  }
  sources_.erase(identity.Id);
  return TWRC_SUCCESS;
}

TW_UINT16 TManager::Manager(TW_IDENTITY* origin, TW_UINT32 dg, TW_UINT16 dat, TW_UINT16 msg, void* data) {
  if (dg != DG_CONTROL) return Fail(TWCC_BADPROTOCOL);
  if (dat == DAT_STATUS && msg == MSG_GET) {
    if (!data) return Fail(TWCC_BADVALUE);
    auto* status = static_cast<TW_STATUS*>(data);
    status->ConditionCode = Condition;
    status->Reserved = 0;
    Condition = TWCC_SUCCESS;
    return TWRC_SUCCESS;
  }
  if (dat == DAT_PARENT && msg == MSG_OPENDSM) return Fail(TWCC_SEQERROR);
  if (dat != DAT_IDENTITY || !data) return Fail(TWCC_BADPROTOCOL);
  auto& identity = *static_cast<TW_IDENTITY*>(data);
  switch (msg) {
    case MSG_GETFIRST:
      if (!fresh_) ListDevices();
      fresh_ = false;
      next_ = 0;
      [[fallthrough]];
    case MSG_GETNEXT:
      if (!listed_) ListDevices();
      if (next_ >= devices_.size()) return TWRC_ENDOFLIST;
      FillIdentity(identity, devices_[next_++]);
      return TWRC_SUCCESS;
    case MSG_GETDEFAULT: {
      const int d = DefaultDevice();
      if (d < 0) return Fail(TWCC_NODS);
      FillIdentity(identity, devices_[size_t(d)]);
      return TWRC_SUCCESS;
    }
    case MSG_USERSELECT: {
      ListDevices();
      fresh_ = false;
      if (devices_.empty()) return Fail(TWCC_NODS);
      std::vector<TChooserEntry> entries;
      for (const TDevice& d : devices_) entries.push_back({d.Name, d.Vendor, d.Model});
      const int chosen = RunSourceChooser(entries, DefaultDevice());
      if (chosen < 0 || chosen >= int(devices_.size())) return TWRC_CANCEL;
      TIniFile ini(SettingsPath());
      ini.WriteString("Manager", "Default", devices_[size_t(chosen)].Name);
      ini.Save();
      FillIdentity(identity, devices_[size_t(chosen)]);
      return TWRC_SUCCESS;
    }
    case MSG_OPENDS:
      return OpenSource(identity);
    case MSG_CLOSEDS:
      return CloseSource(identity);
    default:
      (void)origin;
      return Fail(TWCC_BADPROTOCOL);
  }
}

// --- Scanning --------------------------------------------------------------------------

void TManager::StartSeries(TSource& s) {
  s.StartFailed = false;
  StartPage(s);
}

void TManager::StartPage(TSource& s) {
  auto job = std::make_shared<TPageJob>();
  const bool cancelFirst = s.Job && s.Job->Finished && s.Job->Page.Status != SANE_STATUS_GOOD;
  s.Job = job;
  s.NextRow = 0;
  s.Scanning = true;
  const TW_UINT32 id = s.Device.Id;
  const unsigned session = Session;
  SANE_Handle h = s.Handle;
  SaneThread().Post([session, id, h, job, cancelFirst] {
    auto notify = [session, id, job] {
      QMetaObject::invokeMethod(
          &Mailbox(),
          [session, id, job] {
            if (gManager && gManager->Session == session) gManager->JobProgress(id, job);
          },
          Qt::QueuedConnection);
    };
    // A device stays in error after a failed read until it is cancelled.
    if (cancelFirst) sane_cancel(h);
    if (job->Cancelled) {
      job->StartStatus = job->Page.Status = SANE_STATUS_CANCELLED;
      job->Started = true;
    } else {
      job->Resolution = ReadSaneResolution(h);
      job->Feeder = IsFeederSource(ReadSaneChoice(h, kOptionSource).Current);
      ReadSanePage(
          h, job->Page,
          [&](SANE_Status st) {
            job->StartStatus = st;
            job->Started = true;
            notify();
          },
          &job->Cancelled);
    }
    job->Finished = true;
    notify();
  });
}

void TManager::EndScan(TSource& s) {
  if (s.Job && !s.Job->Finished) {
    s.Job->Cancelled = true;  // the reading thread cancels the scan at its next read
  }
  s.Job.reset();
  s.NextRow = 0;
  s.StartFailed = false;
  if (s.Scanning) {
    SANE_Handle h = s.Handle;
    SaneThread().Post([h] { sane_cancel(h); });
    s.Scanning = false;
  }
}

void TManager::JobProgress(TW_UINT32 id, const std::shared_ptr<TPageJob>& job) {
  TSource* s = Find(id);
  if (!s || s->Job != job || !job->Finished || s->State != 5) return;
  s->Feeder = job->Feeder;
  if (job->StartStatus != SANE_STATUS_GOOD) {
    // Only the dialog starts pages in state 5 without waiting for the start: it says
    // what went wrong and stays open.
    EndScan(*s);
    if (s->Dialog) {
      s->Dialog->SetBusy(false);
      s->Dialog->SetStatus(StatusMessage(job->StartStatus));
    }
    return;
  }
  s->State = 6;
  Post(*s, MSG_XFERREADY);
}

TManager::TPageState TManager::WaitPage(TSource& s) {
  if (!s.Job) {
    s.Condition = TWCC_SEQERROR;
    return TPageState::Failed;
  }
  const std::shared_ptr<TPageJob> job = s.Job;
  WaitUntil([&] { return job->Finished.load(); });
  if (job->Page.Status == SANE_STATUS_GOOD) return TPageState::Ready;
  if (job->Page.Status == SANE_STATUS_CANCELLED) return TPageState::Cancelled;
  s.Condition = ConditionOf(job->Page.Status);
  return TPageState::Failed;
}

std::vector<TSaneChoice> TManager::ReadChoices(TSource& s) {
  std::vector<TSaneChoice> choices;
  SANE_Handle h = s.Handle;
  RunOnSane([&] {
    for (const char* option : kOptionOrder) choices.push_back(ReadSaneChoice(h, option));
  });
  return choices;
}

void TManager::ShowDialog(TSource& s, bool modal) {
  const std::string title = s.Device.Vendor.empty() ? s.Device.Name : s.Device.Vendor + " " + s.Device.Model;
  auto* dialog = new TScanOptionsDialog(QString::fromStdString(title));
  const TW_UINT32 id = s.Device.Id;
  // The dialog may outlive its manager by a few events: it speaks to the one open now,
  // and only when it is the same.
  const unsigned session = Session;
  auto manager = [session]() { return gManager && gManager->Session == session ? gManager : nullptr; };
  dialog->OnScan = [manager, id] {
    if (TManager* m = manager()) m->DialogScan(id);
  };
  dialog->OnClose = [manager, id] {
    TManager* m = manager();
    if (TSource* src = m ? m->Find(id) : nullptr; src && src->State == 5) m->Post(*src, MSG_CLOSEDSREQ);
  };
  dialog->OnCancel = [manager, id] {
    // Only a page not yet announced can be stopped; one being handed over is finished.
    TManager* m = manager();
    TSource* src = m ? m->Find(id) : nullptr;
    if (!src || src->State != 5 || !src->Job || !src->Dialog) return;
    m->EndScan(*src);
    src->Dialog->SetBusy(false);
  };
  dialog->OnChoiceChanged = [manager, id](const std::string& option, const std::string& value) {
    if (TManager* m = manager()) m->DialogChoice(id, option, value);
  };
  dialog->SetChoices(ReadChoices(s));
  dialog->setWindowModality(modal ? Qt::ApplicationModal : Qt::NonModal);
  s.Dialog = dialog;
  dialog->show();
}

void TManager::DialogChoice(TW_UINT32 id, const std::string& option, const std::string& value) {
  TSource* s = Find(id);
  if (!s || !s->Dialog || s->Job) return;
  SANE_Handle h = s->Handle;
  RunOnSane([&] { WriteSaneChoice(h, option, value); });
  if ((s = Find(id)) && s->Dialog) s->Dialog->SetChoices(ReadChoices(*s));
}

void TManager::DialogScan(TW_UINT32 id) {
  TSource* s = Find(id);
  if (!s || !s->Dialog || s->State != 5 || s->Job) return;
  const std::vector<std::string> values = s->Dialog->ChosenValues();
  const std::string name = s->Device.Name;
  SANE_Handle h = s->Handle;
  s->Dialog->SetBusy(true);
  RunOnSane([&] {
    // The source first: the other options may depend on it.
    for (size_t i : {size_t(3), size_t(0), size_t(1), size_t(2)})
      if (i < values.size() && !values[i].empty()) WriteSaneChoice(h, kOptionOrder[i], values[i]);
  });
  TIniFile ini(SettingsPath());
  for (size_t i = 0; i < values.size(); ++i)
    if (!values[i].empty()) ini.WriteString(name, kOptionOrder[i], values[i]);
  ini.Save();
  if ((s = Find(id)) && s->State == 5) StartSeries(*s);
}

TW_UINT16 TManager::EnableSource(TSource& s, const TW_USERINTERFACE& ui) {
  if (s.State != 4) return Fail(s, TWCC_SEQERROR);
  s.State = 5;
  if (ui.ShowUI && !AutoScan()) {
    ShowDialog(s, ui.ModalUI != 0);
    return TWRC_SUCCESS;
  }
  StartSeries(s);
  const std::shared_ptr<TPageJob> job = s.Job;
  WaitUntil([&] { return job->Started.load(); });
  s.Feeder = job->Feeder;
  if (job->StartStatus == SANE_STATUS_GOOD) return TWRC_SUCCESS;
  EndScan(s);
  s.State = 4;
  return Fail(s, ConditionOf(job->StartStatus));
}

TW_UINT16 TManager::DisableSource(TSource& s) {
  if (s.State != 5) return Fail(s, TWCC_SEQERROR);
  EndScan(s);
  if (s.Dialog) {
    s.Dialog->hide();
    s.Dialog->deleteLater();
    s.Dialog = nullptr;
  }
  s.State = 4;
  return TWRC_SUCCESS;
}

TW_UINT16 TManager::EndTransfer(TSource& s, TW_PENDINGXFERS& pending) {
  pending.EOJ = 0;
  if (s.State != 6 && s.State != 7) return Fail(s, TWCC_SEQERROR);
  // The page is handed over, or skipped (a page still being read is abandoned).
  const bool pageFailed = s.Job && s.Job->Finished && s.Job->Page.Status != SANE_STATUS_GOOD;
  if (s.Job && !s.Job->Finished) EndScan(s);
  if (!s.Scanning || !s.Feeder || s.StartFailed) {
    EndScan(s);
  } else {
    if (!pageFailed) s.Job.reset();
    StartPage(s);
    const std::shared_ptr<TPageJob> job = s.Job;
    WaitUntil([&] { return job->Started.load(); });
    if (job->StartStatus == SANE_STATUS_NO_DOCS) {
      EndScan(s);
    } else {
      // A start that fails otherwise is reported by the next transfer, and ends the
      // series after it.
      s.StartFailed = job->StartStatus != SANE_STATUS_GOOD;
      s.State = 6;
      pending.Count = kPendingUnknown;
      return TWRC_SUCCESS;
    }
  }
  s.State = 5;
  pending.Count = 0;
  if (s.Dialog) s.Dialog->SetBusy(false);
  return TWRC_SUCCESS;
}

// --- Transfers -------------------------------------------------------------------------

TW_UINT16 TManager::ImageInfo(TSource& s, TW_IMAGEINFO& info) {
  if (s.State != 6 && s.State != 7) return Fail(s, TWCC_SEQERROR);
  const TPageState state = WaitPage(s);
  if (state == TPageState::Failed) return TWRC_FAILURE;
  const TScanPage& page = s.Job->Page;
  if (state == TPageState::Cancelled && (page.Width < 1 || page.Height < 1)) return TWRC_CANCEL;
  std::memset(&info, 0, sizeof info);
  const double dpi = s.Job->Resolution;
  const TW_INT32 whole = TW_INT32(dpi);
  info.XResolution.Whole = info.YResolution.Whole = TW_INT16(whole);
  info.XResolution.Frac = info.YResolution.Frac = TW_UINT16((dpi - whole) * 65536);
  info.ImageWidth = page.Width;
  info.ImageLength = page.Height;
  info.SamplesPerPixel = page.Kind == TPageKind::Rgb ? 3 : 1;
  for (int i = 0; i < info.SamplesPerPixel; ++i) info.BitsPerSample[i] = page.Kind == TPageKind::BlackWhite ? 1 : 8;
  info.BitsPerPixel = TW_INT16(page.BitsPerPixel());
  info.Planar = 0;
  info.PixelType = page.Kind == TPageKind::BlackWhite ? TWPT_BW : page.Kind == TPageKind::Gray ? TWPT_GRAY : TWPT_RGB;
  info.Compression = TWCP_NONE;
  return TWRC_SUCCESS;
}

TW_UINT16 TManager::BeginTransfer(TSource& s) {
  switch (WaitPage(s)) {
    case TPageState::Ready: return TWRC_SUCCESS;
    case TPageState::Cancelled: s.State = 7; return TWRC_CANCEL;
    default: return TWRC_FAILURE;
  }
}

TW_UINT16 TManager::MemoryStrip(TSource& s, TW_IMAGEMEMXFER& strip) {
  if (s.State != 6 && s.State != 7) return Fail(s, TWCC_SEQERROR);
  if (const TW_UINT16 rc = BeginTransfer(s); rc != TWRC_SUCCESS) return rc;
  const TScanPage& page = s.Job->Page;
  if (!strip.Memory.TheMem || !(strip.Memory.Flags & (TWMF_POINTER | TWMF_HANDLE)) || strip.Memory.Length < page.Pitch)
    return Fail(s, TWCC_BADVALUE);
  const int rows = std::min(int(strip.Memory.Length / page.Pitch), page.Height - s.NextRow);
  std::memcpy(strip.Memory.TheMem, page.Rows.get() + size_t(s.NextRow) * page.Pitch, size_t(rows) * page.Pitch);
  strip.Compression = TWCP_NONE;
  strip.BytesPerRow = TW_UINT32(page.Pitch);
  strip.Columns = TW_UINT32(page.Width);
  strip.Rows = TW_UINT32(rows);
  strip.XOffset = 0;
  strip.YOffset = TW_UINT32(s.NextRow);
  strip.BytesWritten = TW_UINT32(size_t(rows) * page.Pitch);
  s.NextRow += rows;
  s.State = 7;
  return s.NextRow >= page.Height ? TWRC_XFERDONE : TWRC_SUCCESS;
}

TW_UINT16 TManager::NativeImage(TSource& s, TW_MEMREF* handle) {
  if (s.State != 6) return Fail(s, TWCC_SEQERROR);
  if (!handle) return Fail(s, TWCC_BADVALUE);
  if (const TW_UINT16 rc = BeginTransfer(s); rc != TWRC_SUCCESS) return rc;
  const std::vector<uint8_t> dib = PageAsDib(s.Job->Page, s.Job->Resolution);
  void* block = std::malloc(dib.size());
  if (!block) return Fail(s, TWCC_LOWMEMORY);
  std::memcpy(block, dib.data(), dib.size());
  *handle = block;
  s.State = 7;
  return TWRC_XFERDONE;
}

void TManager::ProposeFile(TSource& s) {
  std::error_code ec;
  std::string pattern = (std::filesystem::temp_directory_path(ec) / "quillomatic-scan-XXXXXX.bmp").string();
  const int fd = ::mkstemps(pattern.data(), 4);
  if (fd < 0) return;
  ::close(fd);
  s.FileName = pattern;
  s.FileProposed = true;
}

TW_UINT16 TManager::SetupFile(TSource& s, TW_UINT16 msg, TW_SETUPFILEXFER& setup) {
  if (s.State < 4 || s.State > 6) return Fail(s, TWCC_SEQERROR);
  if (msg == MSG_SET) {
    const std::string name(setup.FileName, strnlen(setup.FileName, sizeof setup.FileName));
    if (name.empty() || setup.Format != TWFF_BMP) return Fail(s, TWCC_BADVALUE);
    s.FileName = name;
    s.FileProposed = false;
    return TWRC_SUCCESS;
  }
  if (msg != MSG_GET && msg != MSG_GETDEFAULT) return Fail(s, TWCC_BADPROTOCOL);
  if (s.FileName.empty()) ProposeFile(s);
  if (s.FileName.empty() || s.FileName.size() >= sizeof setup.FileName) return Fail(s, TWCC_FILEWRITEERROR);
  std::memset(&setup, 0, sizeof setup);
  std::memcpy(setup.FileName, s.FileName.data(), s.FileName.size());
  setup.Format = TWFF_BMP;
  return TWRC_SUCCESS;
}

TW_UINT16 TManager::FileImage(TSource& s) {
  if (s.State != 6) return Fail(s, TWCC_SEQERROR);
  if (const TW_UINT16 rc = BeginTransfer(s); rc != TWRC_SUCCESS) return rc;
  if (s.FileName.empty()) ProposeFile(s);
  if (s.FileName.empty() || !WriteBmpFile(s.FileName, PageAsDib(s.Job->Page, s.Job->Resolution)))
    return Fail(s, TWCC_FILEWRITEERROR);
  // The next page gets a file of its own, unless the application named one.
  if (s.FileProposed) s.FileName.clear();
  s.FileProposed = false;
  s.State = 7;
  return TWRC_XFERDONE;
}

TW_UINT16 TManager::Capability(TSource& s, TW_UINT16 msg, TW_CAPABILITY& cap) {
  if (msg != MSG_GET && msg != MSG_GETCURRENT && msg != MSG_GETDEFAULT && msg != MSG_RESET)
    return Fail(s, TWCC_CAPBADOPERATION);
  TW_UINT16 item;
  if (cap.Cap == ICAP_UNITS) {
    item = TWUN_INCHES;
  } else if (cap.Cap == ICAP_PIXELFLAVOR) {
    // SANE's 1-bit pixels are 1 for black: vanilla. Everything else is chocolate. The
    // page at hand decides, else the depth the device is set to.
    bool bw = false;
    if (s.Job && s.Job->Finished) {
      bw = s.Job->Page.Kind == TPageKind::BlackWhite;
    } else {
      SANE_Handle h = s.Handle;
      RunOnSane([&] { bw = ReadSaneChoice(h, kOptionDepth).Current == "1"; });
    }
    item = bw ? TWPF_VANILLA : TWPF_CHOCOLATE;
  } else {
    return Fail(s, TWCC_CAPUNSUPPORTED);
  }
  auto* e = static_cast<TW_ENUMERATION*>(std::calloc(1, sizeof(TW_ENUMERATION) + sizeof item));
  if (!e) return Fail(s, TWCC_LOWMEMORY);
  e->ItemType = TWTY_UINT16;
  e->NumItems = 1;
  std::memcpy(e->ItemList, &item, sizeof item);
  cap.ConType = TWON_ENUMERATION;
  cap.hContainer = e;
  return TWRC_SUCCESS;
}

TW_UINT16 TManager::SourceCall(TSource& s, TW_UINT32 dg, TW_UINT16 dat, TW_UINT16 msg, void* data) {
  if (dg == DG_CONTROL && dat == DAT_STATUS && msg == MSG_GET && data) {
    auto* status = static_cast<TW_STATUS*>(data);
    status->ConditionCode = s.Condition;
    status->Reserved = 0;
    s.Condition = TWCC_SUCCESS;
    return TWRC_SUCCESS;
  }
  if (!data && !(dg == DG_IMAGE && dat == DAT_IMAGEFILEXFER)) return Fail(s, TWCC_BADVALUE);
  if (dg == DG_CONTROL) {
    switch (dat) {
      case DAT_EVENT: {
        if (msg != MSG_PROCESSEVENT) break;
        auto& ev = *static_cast<TW_EVENT*>(data);
        ev.TWMessage = MSG_NULL;
        auto* e = static_cast<QEvent*>(ev.pEvent);
        if (!e || e->type() != SourceEventType()) return TWRC_NOTDSEVENT;
        const auto* se = static_cast<const TSourceEvent*>(e);
        if (se->Source != s.Device.Id) return TWRC_NOTDSEVENT;
        if (Busy > 1)
          held_.emplace_back(se->Source, se->Message);  // a call of ours is waiting: later
        else
          ev.TWMessage = se->Message;
        return TWRC_DSEVENT;
      }
      case DAT_USERINTERFACE:
        if (msg == MSG_ENABLEDS) return EnableSource(s, *static_cast<TW_USERINTERFACE*>(data));
        if (msg == MSG_DISABLEDS) return DisableSource(s);
        break;
      case DAT_CAPABILITY:
        return Capability(s, msg, *static_cast<TW_CAPABILITY*>(data));
      case DAT_SETUPMEMXFER: {
        if (msg != MSG_GET) break;
        if (s.State < 4 || s.State > 6) return Fail(s, TWCC_SEQERROR);
        auto& setup = *static_cast<TW_SETUPMEMXFER*>(data);
        const size_t pitch = s.Job && s.Job->Finished ? std::max<size_t>(s.Job->Page.Pitch, 4) : 4;
        const size_t preferred = std::max(kStripBytes / pitch, size_t(1)) * pitch;
        setup.MinBufSize = TW_UINT32(pitch);
        setup.Preferred = TW_UINT32(preferred);
        setup.MaxBufSize = TW_UINT32(std::max(preferred, kStripBytes));
        return TWRC_SUCCESS;
      }
      case DAT_SETUPFILEXFER:
        return SetupFile(s, msg, *static_cast<TW_SETUPFILEXFER*>(data));
      case DAT_PENDINGXFERS: {
        auto& pending = *static_cast<TW_PENDINGXFERS*>(data);
        if (msg == MSG_ENDXFER) return EndTransfer(s, pending);
        if (msg == MSG_RESET) {
          if (s.State != 6) return Fail(s, TWCC_SEQERROR);
          EndScan(s);
          s.State = 5;
          pending.Count = 0;
          if (s.Dialog) s.Dialog->SetBusy(false);
          return TWRC_SUCCESS;
        }
        if (msg == MSG_GET) {
          pending.Count = s.State >= 6 ? (s.Feeder ? kPendingUnknown : 1) : 0;
          return TWRC_SUCCESS;
        }
        break;
      }
      default:
        break;
    }
    return Fail(s, TWCC_BADPROTOCOL);
  }
  if (dg == DG_IMAGE && msg == MSG_GET) {
    switch (dat) {
      case DAT_IMAGEINFO: return ImageInfo(s, *static_cast<TW_IMAGEINFO*>(data));
      case DAT_IMAGEMEMXFER: return MemoryStrip(s, *static_cast<TW_IMAGEMEMXFER*>(data));
      case DAT_IMAGENATIVEXFER: return NativeImage(s, static_cast<TW_MEMREF*>(data));
      case DAT_IMAGEFILEXFER: return FileImage(s);
      default: break;
    }
  }
  return Fail(s, TWCC_BADPROTOCOL);
}

}  // namespace

}  // namespace qm::twaindsm

using namespace qm::twain;
using qm::twaindsm::gClosedCondition;
using qm::twaindsm::gManager;

extern "C" __attribute__((visibility("default"))) TW_UINT16 DSM_Entry(TW_IDENTITY* origin, TW_IDENTITY* dest,
                                                                        TW_UINT32 dg, TW_UINT16 dat, TW_UINT16 msg,
                                                                        TW_MEMREF data) {
  if (!origin) return TWRC_FAILURE;
  const bool control = dg == DG_CONTROL && !dest;
  if (!gManager) {
    if (control && dat == DAT_STATUS && msg == MSG_GET && data) {
      static_cast<TW_STATUS*>(data)->ConditionCode = gClosedCondition;
      gClosedCondition = TWCC_SUCCESS;
      return TWRC_SUCCESS;
    }
    // The window handle is the QObject that receives the sources' events, on the
    // thread of the program's event loop.
    QObject* parent = data && control && dat == DAT_PARENT ? *static_cast<QObject**>(data) : nullptr;
    if (!control || dat != DAT_PARENT || msg != MSG_OPENDSM || !parent || !QCoreApplication::instance() ||
        QThread::currentThread() != QCoreApplication::instance()->thread()) {
      gClosedCondition = control && dat == DAT_PARENT && msg == MSG_OPENDSM ? TWCC_BADVALUE : TWCC_SEQERROR;
      return TWRC_FAILURE;
    }
    gManager = new qm::twaindsm::TManager(parent);
    gManager->Busy = 1;
    const bool ok = gManager->Init();
    gManager->Busy = 0;
    if (!ok) {
      delete gManager;
      gManager = nullptr;
      gClosedCondition = TWCC_BUMMER;
      return TWRC_FAILURE;
    }
    origin->Id = 1;
    return TWRC_SUCCESS;
  }
  if (control && dat == DAT_PARENT && msg == MSG_CLOSEDSM) {
    if (!gManager->CanClose()) {
      gManager->Condition = TWCC_SEQERROR;
      return TWRC_FAILURE;
    }
    gManager->Close();
    delete gManager;
    gManager = nullptr;
    return TWRC_SUCCESS;
  }
  qm::twaindsm::TManager& m = *gManager;
  ++m.Busy;
  TW_UINT16 rc;
  if (!dest) {
    rc = m.Manager(origin, dg, dat, msg, data);
  } else if (qm::twaindsm::TSource* s = m.Find(dest->Id)) {
    rc = m.SourceCall(*s, dg, dat, msg, data);
  } else {
    m.Condition = TWCC_BADDEST;
    rc = TWRC_FAILURE;
  }
  if (--m.Busy == 0) m.Flush();
  return rc;
}
