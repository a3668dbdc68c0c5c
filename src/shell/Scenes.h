#pragma once
// Scenes: the program set up in a known state and photographed, for scripts/screens.sh
// (`quillomatic --scene NAME --shots FOLDER`). A scene builds its windows, and for each
// state it wants seen calls Shoot, which lets the windows settle and writes
// FOLDER/NAME-shot.png. A new scene is a function and one row of the table in
// Scenes.cpp, or, for a layer above the shell, a function it registers.
#include <QString>
#include <string>
#include <vector>

class QPixmap;
class QWidget;

namespace qm {

class TSceneCamera {
 public:
  TSceneCamera(std::string scene, QString folder) : scene_(std::move(scene)), folder_(std::move(folder)) {}
  // Writes the window as it is shown into the folder; false when the file could not be
  // written.
  bool Shoot(QWidget& window, const std::string& shot);
  // The same with the top-level windows shown over it (a dialog over the main window),
  // each drawn where it stands.
  bool ShootWithTopLevels(QWidget& window, const std::string& shot);
  int Failures() const { return failures_; }

 private:
  bool Save(const QPixmap& picture, const std::string& shot);

  std::string scene_;
  QString folder_;
  int failures_ = 0;
};

// Lets the windows shown settle: pending events and paints processed.
void SettleScene();

// A scene of a layer above the shell (the dialogs), added at start-up by the program
// before any scene runs; a name already taken is replaced.
using TSceneFunction = void (*)(TSceneCamera& camera);
void RegisterScene(const std::string& name, TSceneFunction run);

// The names of the scenes: the table's, then the registered ones.
std::vector<std::string> SceneNames();
// Runs a scene; the process's exit code: 0 done, 1 a shot failed, 2 no such scene.
int RunScene(const std::string& name, const QString& folder);

}  // namespace qm
