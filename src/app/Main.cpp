// The program: the main window, opened on the files of the command line. Options
// (--help lists them):
//   --scene NAME --shots FOLDER   photographs a scene instead (scripts/screens.sh);
//   --quit-when-painted           ends once the window, and the document the command
//                                 line opened last, are painted (start-up timing).
//   --print-handed-over           after each hand-over from a later start, prints the
//                                 file of every open document, then an empty line
//                                 (hand-over tests and timing).
//
// With [Params] RunMulti "0", a start finding a running editor hands its files over
// and ends with code 0 (shell/OneInstance.h).
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include <QApplication>
#include <QMdiArea>
#include <QTimer>

#include "devices/DeviceList.h"
#include "devices/desktop/FileTypes.h"
#include "dialogs/DialogList.h"
#include "dialogs/DialogRegistry.h"
#include "extensions/PluginHost.h"
#include "extensions/Translation.h"
#include "imagefiles/ReadAhead.h"
#include "shell/services/AppIcon.h"
#include "shell/main/MainForm.h"
#include "shell/main/Termination.h"
#include "shell/services/MenuLook.h"
#include "shell/services/MsgDlg.h"
#include "shell/services/OneInstance.h"
#include "app/Scenes.h"
#include "views/PictureDialogs.h"

namespace {

// Quits the application after the next paint of the watched widget.
class TQuitAfterPaint : public QObject {
 public:
  using QObject::QObject;

 protected:
  bool eventFilter(QObject* watched, QEvent* e) override {
    if (e->type() == QEvent::Paint) {
      watched->removeEventFilter(this);
      QTimer::singleShot(0, qApp, &QCoreApplication::quit);
    }
    return false;
  }
};

// What the command line takes, for --help (before any window: it needs no display).
void PrintUsage() {
  std::printf(
      "Utilisation : quillomatic [IMAGE...]\n"
      "Ouvre Quillomatic Morvek sur les images nommées, 20 au plus.\n\n"
      "  --scene NOM --shots DOSSIER  photographie la scène NOM dans DOSSIER\n"
      "  --quit-when-painted          s'arrête dès la fenêtre et la dernière image peintes\n"
      "  --print-handed-over          écrit les documents ouverts après chaque passage d'images\n"
      "  --help                       affiche cette aide\n\n"
      "Scènes :");
  for (const std::string& n : qm::SceneNames()) std::printf(" %s", n.c_str());
  std::printf("\n");
}

// The first picture the command line names: the argument that is neither an option
// nor an option's value (Qt's own options included); empty when there is none.
std::string FirstNamedFile(int argc, char** argv) {
  static const char* const kWithValue[] = {"--shots", "-platform", "-platformpluginpath", "-platformtheme",
                                           "-plugin", "-qwindowgeometry", "-qwindowtitle", "-qwindowicon", "-style",
                                           "-stylesheet", "-display", "-geometry", "-title", "-session", "-name"};
  for (int i = 1; i < argc; ++i) {
    const char* a = argv[i];
    if (std::strcmp(a, "--scene") == 0) return {};  // a scene opens nothing
    if (a[0] != '-') return a;
    for (const char* o : kWithValue)
      if (std::strcmp(a, o) == 0) {
        ++i;
        break;
      }
  }
  return {};
}

}  // namespace

int main(int argc, char** argv) {
  for (int i = 1; i < argc; ++i)
    if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
      PrintUsage();
      return 0;
    }
  // idle worker threads of the kernels sleep rather than spin between operations
  setenv("OMP_WAIT_POLICY", "passive", 0);
  // The first file of the command line is read while the window is made: the first
  // paint's open takes it (a 24 MP photo takes as long to decode as the window to make).
  qm::TPictureReadAhead readAhead;
  readAhead.Start(FirstNamedFile(argc, argv));
  QApplication app(argc, argv);
  qm::EndOnTerminationSignals(app);
  qm::InstallApplicationIcon(app);
  qm::InstallMenuLook(app);
  qm::InstallMessageDialog();
  qm::InstallPictureDialogs();
  // The layers above the shell, handed to the main window: the dialogs by class name,
  // the devices, the plug-in host, the translation.
  qm::TDialogRegistry dialogs;
  qm::InstallParameterDialogs(dialogs);
  qm::TMainForm::TStartOptions options;
  options.Dialogs = &dialogs;
  options.ReadAhead = &readAhead;
  options.Devices = qm::ProgramDevices;
  options.Plugins = qm::MakeProgramPluginHost;
  options.LoadTranslation = [] { return qm::LoadProgramTranslation(); };
  std::string scene;
  QString shots;
  bool quitWhenPainted = false, printHandedOver = false;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--scene") == 0 && i + 1 < argc) scene = argv[++i];
    else if (std::strcmp(argv[i], "--shots") == 0 && i + 1 < argc) shots = QString::fromLocal8Bit(argv[++i]);
    else if (std::strcmp(argv[i], "--quit-when-painted") == 0) quitWhenPainted = true;
    else if (std::strcmp(argv[i], "--print-handed-over") == 0) printHandedOver = true;
    else options.Files.push_back(QString::fromLocal8Bit(argv[i]).toStdString());
  }
  if (!scene.empty()) {
    const int rc = qm::RunScene(scene, shots.isEmpty() ? QStringLiteral(".") : shots, options);
    if (rc == 2) {
      std::fprintf(stderr, "no scene \"%s\"; the scenes are:", scene.c_str());
      for (const std::string& n : qm::SceneNames()) std::fprintf(stderr, " %s", n.c_str());
      std::fprintf(stderr, "\n");
    }
    return rc;
  }
  options.RegisterFileTypes = qm::RegisterProgramFileTypes;
  qm::TOneInstance instance;
  options.HandOver = [&instance](const std::vector<std::string>& files) {
    return instance.Start(files) == qm::THandOverResult::HandedOver;
  };
  qm::TMainForm form(std::move(options));
  if (form.HandedOver()) return 0;
  instance.OnFiles = [&form, printHandedOver](const std::vector<std::string>& files) {
    form.ReceiveHandedOverFiles(files);
    if (!printHandedOver) return;
    for (qm::TNewImgForm* w : form.Services().Windows().Windows()) std::printf("%s\n", w->FileName().c_str());
    std::printf("\n");
    std::fflush(stdout);
  };
  TQuitAfterPaint quitter;
  if (quitWhenPainted)
    form.OnFirstPaint = [&form, &quitter] {
      if (qm::TNewImgForm* w = form.Services().GetActiveImgForm()) {
        w->View().viewport()->installEventFilter(&quitter);
        w->View().viewport()->update();
      } else {
        QTimer::singleShot(0, qApp, &QCoreApplication::quit);
      }
    };
  form.show();
  return qm::TerminationSignalled() ? 0 : app.exec();
}
