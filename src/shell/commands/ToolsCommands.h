#pragma once
// The Tools menu's commands on the active image and its folder: the desktop wallpaper,
// the icon export and the animated GIF editor, copying, moving, renaming and deleting
// the image's file, and stepping through the images of its folder in the same window;
// and the scanner items of the File menu.
//
// The services that live in later parts of the editor (batch automation, wallpaper,
// scanning) come in through TDeviceCommands; a row whose service is missing keeps no
// handler and stays disabled.
#include <functional>
#include <memory>
#include <string>

#include "shell/services/DeviceCommands.h"

class QWidget;

namespace qm {

class TBitmap;
class TCommandSet;
class TFileCommands;
class TGifAnimForm;
class TIconForm;
class TShellServices;


class TToolsCommands {
 public:
  TToolsCommands(TShellServices& services, TCommandSet& commands, TFileCommands& files, QWidget* parent);
  ~TToolsCommands();

  // Attaches the handlers of every row whose service is there (again after a service
  // arrived).
  void Wire(const TDeviceCommands& devices);

  // The file of the wallpaper in the program's data folder, named by the text table.
  static std::string WallpaperFile();

  // The commands (tags as in the command table).
  void SetWallpaper(int tag);
  void ExportIcon();
  void AnimatedGif();
  void ManageImage(int tag, const std::string& title);
  void Navigate(int tag);

 private:
  void Busy(const std::function<void()>& run);

  TShellServices& services_;
  TCommandSet& commands_;
  TFileCommands& files_;
  QWidget* parent_;
  TDeviceCommands devices_;
  std::unique_ptr<TIconForm> icon_;
  TGifAnimForm* gifAnim_ = nullptr;  // a child of parent_, kept for the run
};

}  // namespace qm
