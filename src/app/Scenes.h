#pragma once
// Scenes: the program set up in a known state and photographed, for scripts/screens.sh
// (`quillomatic --scene NAME --shots FOLDER`). A scene builds its windows, and for each
// state it wants seen calls Shoot, which lets the windows settle and writes
// FOLDER/NAME-shot.png. A new scene is a function and one row of the table in
// Scenes.cpp, or, for a layer above the shell, a function it registers.
#include <QPixmap>
#include <QString>
#include <QTemporaryDir>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "shell/main/MainForm.h"

class QPixmap;
class QWidget;

namespace qm {

class TLayeredImage;
class TMainForm;
class TNewImgForm;
class TBitmap;

// Lets the windows shown settle: pending events and paints processed.
void SettleScene();

// A sunset of three layers: a gradient background, a sun with a soft edge and a shadow,
// a translucent card with rounded corners. With a see-through background the sky's top
// is left open.
void MakeSampleDocument(TLayeredImage& doc, bool seeThrough);

// The editor as a user starts it, over settings and user folders of the scene's own (the
// user's are never touched), at a known size; with a translation module, that module
// first put in the user's data folder, where the start finds it.
class TSceneEditor {
 public:
  // prepare: called with the home folder before the editor starts (its settings, its
  // plug-ins). A width of 0 leaves the window where a first start places it.
  explicit TSceneEditor(int width = 1200, int height = 860,
                        const std::function<void(const QString& home)>& prepare = {});
  ~TSceneEditor();
  // A document window on a copy of the image (or the bitmap), named name (untitled
  // when empty).
  TNewImgForm& Open(const TLayeredImage* image, const TBitmap* bitmap = nullptr, const std::string& name = {});
  TNewImgForm& OpenSample(bool seeThrough = false, const std::string& name = {});

  std::unique_ptr<TMainForm> form;

 private:
  QTemporaryDir home_;
};

class TSceneCamera {
 public:
  TSceneCamera(std::string scene, QString folder) : scene_(std::move(scene)), folder_(std::move(folder)) {}
  // Writes the window as it is shown into the folder; false when the file could not be
  // written.
  bool Shoot(QWidget& window, const std::string& shot);
  // The same with the pop-up menus, popups and dialogs open over the window drawn where
  // they stand, each dialog under a plain title bar (the virtual X server has no window
  // manager to draw one).
  bool ShootWithPopups(QWidget& window, const std::string& shot);
  // The whole screen: a dialog with the window under it.
  bool ShootScreen(const std::string& shot);
  // Counts a failure of the scene, told on the error output.
  void Fail(const std::string& why);
  int Failures() const { return failures_; }

 private:
  std::string scene_;
  QString folder_;
  bool Write(const QPixmap& picture, const std::string& shot);
  int failures_ = 0;
};

// The parameter dialogs, each opened from its menu over the sample document.
void DialogsScene(TSceneCamera& camera);
// The same shots, in an editor whose user's data folder prepare filled first (with a
// translation module, say).
void ShootEveryDialog(TSceneCamera& camera, const std::function<void(const QString& home)>& prepare);
// The batch scan dialog.
void ScanningScene(TSceneCamera& camera);
// The print dialog and the cancel window of a print.
void PrintingScene(TSceneCamera& camera);
// The batch automation window's pages and the report of a run.
void BatchScene(TSceneCamera& camera);
// The plug-in menus, the 8BF menu, the plug-in tool bar and the host's about box.
void PluginsScene(TSceneCamera& camera);

// A scene added at start-up before any scene runs; a name already taken is replaced.
using TSceneFunction = void (*)(TSceneCamera& camera);
void RegisterScene(const std::string& name, TSceneFunction run);

// The names of the scenes: the table's, then the registered ones.
std::vector<std::string> SceneNames();
// Runs a scene; the process's exit code: 0 done, 1 a shot failed, 2 no such scene.
int RunScene(const std::string& name, const QString& folder, const TMainForm::TStartOptions& options);

}  // namespace qm
