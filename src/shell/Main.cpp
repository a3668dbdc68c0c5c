// Until the main window exists, the program opens its start window: a generated
// document in the document's image view. `--scene NAME --shots FOLDER` photographs a
// scene instead (scripts/screens.sh).
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include <QApplication>

#include "dialogs/DialogList.h"
#include "shell/Scenes.h"
#include "shell/StartWindow.h"

int main(int argc, char** argv) {
  // idle worker threads of the kernels sleep rather than spin between operations
  setenv("OMP_WAIT_POLICY", "passive", 0);
  QApplication app(argc, argv);
  qm::InstallParameterDialogs();
  std::string scene;
  QString shots;
  for (int i = 1; i + 1 < argc; ++i) {
    if (std::strcmp(argv[i], "--scene") == 0) scene = argv[++i];
    else if (std::strcmp(argv[i], "--shots") == 0) shots = QString::fromLocal8Bit(argv[++i]);
  }
  if (!scene.empty()) {
    const int rc = qm::RunScene(scene, shots.isEmpty() ? QStringLiteral(".") : shots);
    if (rc == 2) {
      std::fprintf(stderr, "no scene \"%s\"; the scenes are:", scene.c_str());
      for (const std::string& n : qm::SceneNames()) std::fprintf(stderr, " %s", n.c_str());
      std::fprintf(stderr, "\n");
    }
    return rc;
  }
  qm::TStartWindow w;
  w.show();
  w.View().ZoomToFitWindow();
  return app.exec();
}
