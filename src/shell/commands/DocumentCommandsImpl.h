#pragma once
// What the Image, Edit and Layer commands share: the services they reach the active
// document through, the busy state, the undo step opened before a change, and the
// dialogs' launcher. Private to ImageCommands.cpp, EditCommands.cpp and LayerCommands.cpp.
#include <QObject>
#include <span>
#include <string>
#include <string_view>

#include "document/LayerHost.h"
#include "document/LayeredImage.h"
#include "shell/services/CommandSet.h"
#include "shell/commands/DocumentCommands.h"
#include "shell/services/DialogHost.h"
#include "shell/services/DialogLauncher.h"
#include "shell/services/UndoableOps.h"

namespace qm {

class TNewImgForm;

class TDocumentCommands : public QObject {
 public:
  TDocumentCommands(TCommandSet& commands, TShellServices& services, TSelectionCommands& selection,
                    TDialogLauncher* dialogs, TDocumentCommandHooks hooks);

  TCommandSet& Commands;
  TShellServices& Services;
  TSelectionCommands& Selection;
  TDialogLauncher* Dialogs;
  TDocumentCommandHooks Hooks;

  TLayerHost& Host();
  TLayeredImage* Image();
  TLayerItem* ActiveLayer();
  TUndoableOperations& Ops();
  // The row's caption, cleaned.
  static std::string Caption(std::string_view row);

  // Attaches the handler to the row (false for a name without a command).
  void On(std::string_view name, TCommandHandler handler);
  void OnShared(std::string_view handlerName, TCommandHandler handler);
  // Opens the dialog of the row of that command and dialog (DialogCommands.h) when the
  // launcher knows it; false otherwise or when it did not open.
  bool RunDialog(std::string_view name, std::string_view dialog, const TCommandSender& sender,
                 TDialogRequest request = {});
  bool HasDialog(std::string_view dialog) const { return Dialogs && Dialogs->HasDialog(dialog); }

  // After a change of the layer stack: the strip, the view, the status bar (the menus
  // follow once the command has run). Without rebuild
  // the strip keeps its thumbnails (the operation told it what changed).
  void StackChanged(bool rebuild = true);
  // After a change of the active layer's pixels: the view and its thumbnail.
  void PixelsChanged();
  void HideSelection();
  void SelectLayerTool();
  // Drops the step the command just opened (the command changed nothing).
  void DropStep();
};

// Makes one menu's commands (a class with Register()) for as long as d lives.
template <class TMenu>
void RegisterMenu(TDocumentCommands& d) {
  auto* menu = new TMenu(d);
  QObject::connect(&d, &QObject::destroyed, [menu] { delete menu; });
  menu->Register();
}

void RegisterImageCommands(TDocumentCommands& d);
void RegisterEditCommands(TDocumentCommands& d);
void RegisterLayerCommands(TDocumentCommands& d);

}  // namespace qm
