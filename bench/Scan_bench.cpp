// The batch acquisition as a user runs it in the editor: ten pages of SANE's test
// device's feeder in colour at 150 dpi, each saved as JPEG (quality 75, scanimage's),
// from the menu item to the last file written, the batch dialog confirmed as it shows;
// against scanimage writing the same ten pages in its batch mode (a process per run,
// its start-up included). And the cost of waiting in the scanner's window: the
// process's CPU time over five seconds with the window shown, as a share of one core.
#include <time.h>

#include <QApplication>
#include <QComboBox>
#include <QPushButton>
#include <QRadioButton>
#include <QLineEdit>
#include <QTimer>
#include <chrono>
#include <filesystem>
#include <functional>
#include <memory>

#include "../tests/support/SaneTestDevice.h"
#include "CodecBench.h"
#include "EditorBench.h"
#include "devices/scanning/Scan.h"
#include "devices/scanning/ScanLot.h"
#include "platform/core/Messages.h"
#include "platform/core/Parallel.h"

namespace qm::bench {
namespace {

// 80 x 100 mm at 150 dpi.
constexpr int kPageWidth = 472, kPageHeight = 590;
constexpr int64_t kTenPagesBytes = int64_t(kPageWidth) * kPageHeight * 3 * 10;

// The test device, configured again at each run: the other scanning benchmarks of the
// program configure the same one (SANE reads one configuration folder a process).
void ConfigureDevice() {
  static std::unique_ptr<test::TSaneTestDevice> device;
  device = std::make_unique<test::TSaneTestDevice>(CodecFolder(), test::TSaneOptions{{"mode", "Color"}, {"resolution", "150"}});
}

// The editor with its scanner commands over the manager the build makes; the device's
// feeder chosen in the manager's settings.
struct TScanEditor {
  std::unique_ptr<TBenchEditor> editor;
  std::string out;

  TScanEditor() {
    EnsureGuiApp();
    SetMessageHandler([](const std::string&, int, int, const std::string&) { return int(mrOk); });
    TMainForm::TStartOptions options = ProgramStartOptions();
    options.Devices = [](TDialogHost& host) {
      TDeviceCommands devices = ProgramDevices(host);
      AddScanningCommands(devices, host, QM_TWAIN_DSM_FOLDER);
      return devices;
    };
    editor = std::make_unique<TBenchEditor>("[Params]\nJpgCompression=75\n", std::move(options));
    TIniFile twain(Home() + "/Twain.ini");
    twain.WriteString("test:0", "source", "Automatic Document Feeder");
    twain.Save();
    out = CodecFolder() + "/scans";
    std::filesystem::create_directories(out);
  }
  std::string Home() const { return editor->home.path().toStdString(); }
  TMainForm& Form() { return *editor->form; }
  // The device configured, and the editor's settings folder the manager's again.
  void Prepare() {
    ConfigureDevice();
    setenv("QM_HOME", Home().c_str(), 1);
  }
};

// Kept for the run, as the application is: once its dialogs have shown, its windows
// can no longer be destroyed at the program's exit (Qt's thread data is gone by then).
// Its settings folder is removed then.
TScanEditor& Editor() {
  static TScanEditor* editor = new TScanEditor;
  static const struct TRemoveHome {
    std::string Path;
    ~TRemoveHome() {
      std::error_code ec;
      std::filesystem::remove_all(Path, ec);
    }
  } home{editor->Home()};
  return *editor;
}

// Calls act with the modal dialog of that name once it shows.
void WhenModal(const char* name, std::function<void(QWidget*)> act) {
  auto* timer = new QTimer(qApp);
  QObject::connect(timer, &QTimer::timeout, timer, [timer, name, act] {
    QWidget* w = QApplication::activeModalWidget();
    if (!w || w->objectName() != QLatin1String(name)) return;
    timer->stop();
    timer->deleteLater();
    act(w);
  });
  timer->start(0);
}

double ProcessCpuSeconds() {
  timespec t{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return double(t.tv_sec) + double(t.tv_nsec) / 1e9;
}

void Clear(const std::string& folder) {
  for (const auto& e : std::filesystem::directory_iterator(folder)) std::filesystem::remove(e.path());
}

QM_BENCH("batch scan, ten feeder pages at 150 dpi saved as JPEG", kOurs, kTenPagesBytes, [](benchmark::State& st) {
  TScanEditor& e = Editor();
  e.Prepare();
  setenv("QM_TWAIN_AUTOSCAN", "1", 1);
  TShellServices& services = e.Form().Services();
  for (auto _ : st) {
    WhenModal("TScanLotForm", [&e](QWidget* w) {
      auto* form = static_cast<TScanLotForm*>(w);
      form->RBAuto->setChecked(true);
      form->EdiDir->setText(QString::fromStdString(e.out));
      form->EdiSequence->setText(QStringLiteral("page"));
      form->CBFormat->setCurrentIndex(form->CBFormat->findData(QStringLiteral(".jpg")));
      form->BOk->click();
    });
    e.Form().Commands().Trigger("MenuTwainLot");
    st.PauseTiming();
    TNewImgForm* doc = services.GetActiveImgForm();
    const bool whole = doc && doc->FileName() == e.out + "/page_010.jpg" &&
                       doc->Image().Layers[0].Image.Width() == kPageWidth &&
                       doc->Image().Layers[0].Image.Height() == kPageHeight;
    const bool closed = e.editor->CloseDocuments();
    Clear(e.out);
    st.ResumeTiming();
    if (!whole) return st.SkipWithError("the ten pages did not arrive");
    if (!closed) return st.SkipWithError("a document window did not close");
  }
});

QM_BENCH("batch scan, ten feeder pages at 150 dpi saved as JPEG", kTool, kTenPagesBytes, [](benchmark::State& st) {
  TScanEditor& e = Editor();
  e.Prepare();
  if (!HaveTool("scanimage")) return st.SkipWithError("scanimage missing (sane-utils)");
  const int threads = EngineThreads();
  for (auto _ : st) {
    const TToolRun r = RunTool({"scanimage", "-d", "test:0", "--source", "Automatic Document Feeder", "--mode",
                                "Color", "--resolution", "150", "--format=jpeg", "--batch=" + e.out + "/page_%03d.jpg"},
                               threads);
    if (!r) return st.SkipWithError(r.Reason.c_str());
    st.PauseTiming();
    const bool whole = std::filesystem::exists(e.out + "/page_010.jpg");
    Clear(e.out);
    st.ResumeTiming();
    if (!whole) return st.SkipWithError("scanimage wrote fewer than ten pages");
  }
});

// One run: five seconds in the scanner's window, then its close button.
QM_BENCH("waiting five seconds in the scanner's window", kOurs, 0, [](benchmark::State& st) {
  TScanEditor& e = Editor();
  e.Prepare();
  unsetenv("QM_TWAIN_AUTOSCAN");
  double cpu = 0, seconds = 0;
  for (auto _ : st) {
    WhenModal("TScanOptionsDialog", [&cpu, &seconds](QWidget* dialog) {
      const double cpu0 = ProcessCpuSeconds();
      const auto start = std::chrono::steady_clock::now();
      QTimer::singleShot(5000, Qt::PreciseTimer, dialog, [dialog, cpu0, start, &cpu, &seconds] {
        cpu += ProcessCpuSeconds() - cpu0;
        seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        if (auto* close = dialog->findChild<QPushButton*>(QStringLiteral("BtnClose"))) close->click();
      });
    });
    e.Form().Commands().Trigger("MenuTwainNumeriser");
  }
  if (seconds <= 0) return st.SkipWithError("the scanner's window did not show");
  st.counters["cpu_percent_of_a_core"] = 100 * cpu / seconds;
});

}  // namespace
}  // namespace qm::bench
