#pragma once
// The real main window for the benchmarks that time a command as a user runs it: made
// offscreen in a home folder of its own, with the settings file given written first.
#include <QPushButton>
#include <QTemporaryDir>
#include <memory>
#include <string>
#include <vector>

#include "GuiBench.h"
#include "Harness.h"
#include "devices/DeviceList.h"
#include "dialogs/DialogList.h"
#include "dialogs/DialogRegistry.h"
#include "extensions/PluginHost.h"
#include "platform/texts/IniFile.h"
#include "shell/main/MainForm.h"
#include "shell/services/ShellServices.h"
#include "views/DocumentWindow.h"

namespace qm::bench {

// The layers above the shell as the program's start hands them to its main window.
inline TMainForm::TStartOptions ProgramStartOptions() {
  static TDialogRegistry dialogs = [] {
    TDialogRegistry r;
    InstallParameterDialogs(r);
    return r;
  }();
  TMainForm::TStartOptions options;
  options.Dialogs = &dialogs;
  options.Devices = ProgramDevices;
  options.Plugins = MakeProgramPluginHost;
  return options;
}

struct TBenchEditor {
  QTemporaryDir home;
  std::unique_ptr<TMainForm> form;

  // settings: the text of the ini file the window reads at start (none when empty);
  // options: what the start hands the window.
  explicit TBenchEditor(const std::string& settings = {},
                        TMainForm::TStartOptions options = ProgramStartOptions()) {
    EnsureGuiApp();
    qputenv("QM_HOME", home.path().toLocal8Bit());
    if (!settings.empty()) {
      TIniFile ini;
      ini.LoadFromString(settings);
      ini.SaveAs(home.path().toStdString() + "/Quillomatic.ini");
    }
    form = std::make_unique<TMainForm>(std::move(options));
  }
  // Closes every document window and frees it now: a closed window goes only when an
  // event loop handles its deferred deletion, which a benchmark's loop never runs, so
  // each document made again would otherwise keep the one before alive. Each window is
  // asked once: false when one stayed open, for the row to fail rather than wait.
  [[nodiscard]] bool CloseDocuments() {
    TShellServices& services = form->Services();
    const std::vector<TNewImgForm*> open = services.Windows().Windows();
    for (TNewImgForm* w : open) services.CloseImageWindow(w, true);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    return services.Windows().Count() == 0;
  }
};

// The editor over a document of the photo, maximised in a full-HD main window; the
// dialogs opened from their menus.
struct TDialogBench : TBenchEditor {
  TNewImgForm* Doc;
  TDialogBench() {
    form->resize(1920, 1080);
    form->show();
    Doc = form->Services().CreateImageWindow(&Photo(), nullptr, 16777216, true, "");
    Doc->showMaximized();
    Doc->FitWindowToImage(true, false);
    QApplication::processEvents();
  }
  QWidget* Open(const char* row, const char* dialog) {
    form->Commands().Trigger(row);
    return form->findChild<QWidget*>(dialog);
  }
  // What the user sees of a preview: the view painted again.
  void Repaint() { Doc->View().viewport()->repaint(); }
  // An elliptical selection of 4243 x 2828 pixels in the middle of the photo, shown.
  void SelectEllipse() {
    Doc->Selection().SetShape(ssEllipse);
    Doc->Selection().SetSelectionRect(TRect{878, 586, 5121, 3414});
    Doc->Selection().Show();
  }
  // Times the dialog's Preview button to the view repainted, then closes the dialog.
  // With warm, a first preview is not timed (one that puts the step back from then on).
  void TimePreviews(benchmark::State& st, QWidget* dialog, bool warm) {
    auto* preview = dialog->findChild<QPushButton*>("BApercu");
    if (warm) preview->click();
    for (auto _ : st) {
      preview->click();
      Repaint();
    }
    dialog->hide();
  }
};

}  // namespace qm::bench
