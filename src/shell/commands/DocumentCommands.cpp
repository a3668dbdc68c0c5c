#include "shell/commands/DocumentCommands.h"

#include "document/LayerOps.h"
#include "platform/texts/TextUtils.h"
#include "shell/services/CommandChecks.h"
#include "shell/commands/DialogCommands.h"
#include "shell/commands/DocumentCommandsImpl.h"
#include "shell/commands/SelectionCommands.h"
#include "shell/services/ShellServices.h"

namespace qm {

TDocumentCommands::TDocumentCommands(TCommandSet& commands, TShellServices& services, TSelectionCommands& selection,
                                     TDialogLauncher* dialogs, TDocumentCommandHooks hooks)
    : QObject(&services),
      Commands(commands),
      Services(services),
      Selection(selection),
      Dialogs(dialogs),
      Hooks(std::move(hooks)) {}

TLayerHost& TDocumentCommands::Host() { return Services.LayerHost(); }
TLayeredImage* TDocumentCommands::Image() { return Host().ActiveImage(); }
TLayerItem* TDocumentCommands::ActiveLayer() {
  TLayeredImage* image = Image();
  return image ? image->GetActiveLayer() : nullptr;
}
TUndoableOperations& TDocumentCommands::Ops() { return Services.Operations(); }

std::string TDocumentCommands::Caption(std::string_view row) {
  const TCommandRow* r = FindCommandRow(row);
  return r ? CleanMenuCaption(CommandCaption(*r)) : std::string();
}

void TDocumentCommands::On(std::string_view name, TCommandHandler handler) {
  Commands.SetHandler(name, std::move(handler));
}

void TDocumentCommands::OnShared(std::string_view handlerName, TCommandHandler handler) {
  Commands.SetSharedHandler(handlerName, std::move(handler));
}

bool TDocumentCommands::RunDialog(std::string_view name, std::string_view dialog, const TCommandSender& sender,
                                  TDialogRequest request) {
  const TDialogCommandRow* row = FindDialogCommand(name, dialog);
  return row && HasDialog(row->Dialog) && RunDialogCommand(Services, *Dialogs, *row, sender, std::move(request));
}

void TDocumentCommands::StackChanged(bool rebuild) {
  if (TLayeredImage* image = Image()) {
    image->InvalidateImage();
    if (rebuild) Host().LayerStackChanged(TLayerChange::Rebuild, image->ActiveIndex());
  }
  Services.RepaintActiveImage();
  Services.UpdateStatusBar();
}

void TDocumentCommands::PixelsChanged() {
  Services.RepaintActiveImage();
  Services.RefreshLayerNavigator();
}

void TDocumentCommands::HideSelection() { Selection.HideSelection(); }

void TDocumentCommands::SelectLayerTool() {
  if (Hooks.SelectPaletteTool) Hooks.SelectPaletteTool(13);
}

void TDocumentCommands::DropStep() {
  if (TUndoList* history = Services.GetActiveHistory()) history->DeleteLastUndoStep();
  Ops().ReleasePreChangeCopy();
  if (Ops().Hooks.UpdateHistoryMenus) Ops().Hooks.UpdateHistoryMenus();
}

void RegisterDocumentCommands(TCommandSet& commands, TShellServices& services, TSelectionCommands& selection,
                              TDialogLauncher* dialogs, TDocumentCommandHooks hooks) {
  auto* d = new TDocumentCommands(commands, services, selection, dialogs, std::move(hooks));
  RegisterImageCommands(*d);
  RegisterEditCommands(*d);
  RegisterLayerCommands(*d);
}

}  // namespace qm
