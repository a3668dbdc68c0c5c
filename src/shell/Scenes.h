#pragma once
// Scenes: the program set up in a known state and photographed, for scripts/screens.sh
// (`quillomatic --scene NAME --shots FOLDER`). A scene builds its windows, and for each
// state it wants seen calls Shoot, which lets the windows settle and writes
// FOLDER/NAME-shot.png. A new scene is a function and one row of the table in
// Scenes.cpp.
#include <QPixmap>
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
  // The same with the pop-up menus and popups open over the window drawn where they
  // stand.
  bool ShootWithPopups(QWidget& window, const std::string& shot);
  // The whole screen: a dialog with the window under it.
  bool ShootScreen(const std::string& shot);
  int Failures() const { return failures_; }

 private:
  std::string scene_;
  QString folder_;
  bool Write(const QPixmap& picture, const std::string& shot);
  int failures_ = 0;
};

// The names of the scenes, in table order.
std::vector<std::string> SceneNames();
// Runs a scene; the process's exit code: 0 done, 1 a shot failed, 2 no such scene.
int RunScene(const std::string& name, const QString& folder);

}  // namespace qm
