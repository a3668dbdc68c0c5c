#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QTimer>
#include <QToolBar>

#include "app/Scenes.h"
#include "shell/commands/PluginCommands.h"
#include "shell/services/CommandSet.h"

namespace qm {
namespace {

// The .8bf filters the scene's bridge lists: "category|name|operation" a line.
constexpr const char* kFilters8bf[][2] = {{"flou-artistique.8bf", "Flou|Flou artistique|invert\n"},
                                          {"flou-radial.8bf", "Flou|Flou radial|invert\n"},
                                          {"aquarelle.8bf", "Artistique|Aquarelle|invert\n"},
                                          {"nettete.8bf", "|Netteté douce|invert\n"}};

// The plug-ins built for the scenes, in the scene's own plug-in folder, with .8bf files
// for the bridge among them and the plug-in tool bar shown.
void InstallScenePlugins(const QString& home) {
  const QString folder = home + "/Plugins";
  QDir().mkpath(folder + "/8bf");
  const QDir built(QCoreApplication::applicationDirPath() + "/ScenePlugins");
  for (const QString& module : built.entryList({QStringLiteral("*.qxl")}, QDir::Files))
    QFile::copy(built.filePath(module), folder + "/" + module);
  for (const auto& filter : kFilters8bf) {
    QFile file(folder + "/8bf/" + QString::fromUtf8(filter[0]));
    if (file.open(QIODevice::WriteOnly)) file.write(filter[1]);
  }
  QFile settings(home + "/Quillomatic.ini");
  if (settings.open(QIODevice::WriteOnly)) settings.write("[Plugins]\nPluginsBar=1\n");
}

}  // namespace

// The plug-ins in the editor's menus: the Filter menu's 8BF sub-menus and plug-in
// commands, the About menu's entries, the plug-in tool bar, and the host's about box of
// a plug-in.
void PluginsScene(TSceneCamera& camera) {
  TSceneEditor editor(1200, 860, &InstallScenePlugins);
  TMainForm& window = *editor.form;
  TCommandSet& commands = window.Commands();
  TNewImgForm& doc = editor.OpenSample();
  doc.Image().ColorCount = 16777216;
  window.UpdateCommandStates();
  SettleScene();

  auto open = [&](const char* menu, const char* sub) {
    commands.MenuBar()->setActiveAction(commands.Menu(menu)->menuAction());
    SettleScene();
    commands.Menu(menu)->setActiveAction(commands.Menu(sub)->menuAction());
    SettleScene();
  };
  auto close = [&](const char* menu, const char* sub) {
    commands.Menu(sub)->close();
    commands.Menu(menu)->close();
    SettleScene();
  };
  open("MenuFiltre", "Menu8bfFiltre");
  if (QMenu* menu8bf = commands.Menu("Menu8bfFiltre"); !menu8bf->actions().isEmpty()) {
    menu8bf->setActiveAction(menu8bf->actions().first());
    SettleScene();
  }
  camera.ShootWithPopups(window, "filter-8bf");
  close("MenuFiltre", "Menu8bfFiltre");
  open("MenuFiltre", "MenuPluginFiltre");
  camera.ShootWithPopups(window, "filter-plugins");
  close("MenuFiltre", "MenuPluginFiltre");
  open("MenuAide", "MenuPluginAPropos");
  camera.ShootWithPopups(window, "about-menu");
  close("MenuAide", "MenuPluginAPropos");
  camera.Shoot(window, "tool-bar");

  // The host's box for a plug-in without one of its own, shot while it is shown.
  TPluginCommands* plugins = window.PluginCommands();
  if (!plugins) return;
  QTimer::singleShot(200, &window, [&] {
    if (QWidget* box = QApplication::activeModalWidget()) {
      SettleScene();
      camera.ShootWithPopups(window, "about-box");
      if (auto* ok = box->findChild<QPushButton*>(QStringLiteral("Button1"))) ok->click();
    }
  });
  for (QAction* about : plugins->AboutItems())
    if (about->text() == QStringLiteral("Mosaïque")) return about->trigger();
}

}  // namespace qm
