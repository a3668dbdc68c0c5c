#pragma once
// What the Image, Edit and Layer commands share: the services they reach the active
// document through, the busy state, the undo step opened before a change, and the
// dialog rows. Private to ImageCommands.cpp, EditCommands.cpp and LayerCommands.cpp.
#include <QObject>
#include <span>
#include <string>
#include <string_view>

#include "document/LayerHost.h"
#include "document/LayeredImage.h"
#include "shell/services/CommandSet.h"
#include "shell/commands/DocumentCommands.h"
#include "shell/services/UndoableOps.h"

namespace qm {

class TNewImgForm;

// The busy state ends however the command ends.
class TBusyScope {
 public:
  explicit TBusyScope(TShellServices& services, const std::string& text = {});
  ~TBusyScope();
  TBusyScope(const TBusyScope&) = delete;
  TBusyScope& operator=(const TBusyScope&) = delete;

 private:
  TShellServices& services_;
};

// A dialog command of these menus: its checks, the undo step it opens (none when
// Kind is -1), then the dialog. The step goes again when the dialog does not open.
enum TDialogCheck : uint8_t {
  dcNone = 0,
  dcGuard = 1,        // the command guard
  dcMerged = 2,       // a single-layer image
  dcPixels = 4,       // a shown selection holds pixels
  dcHide = 8,         // the selection is hidden first
  dcRefresh = 16,     // every document repainted first (a see-through modal dialog)
  dcFree = 32,        // nothing on a locked or hidden layer
};
struct TDocDialogRow {
  std::string_view Name;
  std::string_view Dialog;
  int Kind = -1;
  int Checks = dcNone;
  bool Modal = false;
  int Mode = -1;
};

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
  void AttachDialogs(std::span<const TDocDialogRow> rows);
  void RunDialog(const TDocDialogRow& row, const TCommandSender& sender);

  // After a change of the layer stack: the strip, the view, the menus. Without rebuild
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
