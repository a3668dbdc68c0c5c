#include "shell/commands/DocumentCommands.h"

#include "document/LayerOps.h"
#include "platform/texts/TextUtils.h"
#include "shell/services/CommandChecks.h"
#include "shell/services/DialogLauncher.h"
#include "shell/commands/DocumentCommandsImpl.h"
#include "shell/commands/SelectionCommands.h"
#include "shell/services/ShellServices.h"

namespace qm {

TBusyScope::TBusyScope(TShellServices& services, const std::string& text) : services_(services) {
  services_.BeginBusy(text);
}
TBusyScope::~TBusyScope() { services_.EndBusy(); }

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

void TDocumentCommands::AttachDialogs(std::span<const TDocDialogRow> rows) {
  if (!Dialogs) return;
  for (const TDocDialogRow& row : rows)
    if (Dialogs->HasDialog(row.Dialog)) On(row.Name, [this, &row](const TCommandSender& s) { RunDialog(row, s); });
}

void TDocumentCommands::RunDialog(const TDocDialogRow& row, const TCommandSender& sender) {
  if ((row.Checks & dcGuard) && !Services.CanRunCommand(sender.Action)) return;
  if (!Image() || !Dialogs) return;
  if ((row.Checks & dcMerged) && !CheckLayersMerged(Image())) return;
  if ((row.Checks & dcPixels) && CheckSelectionHasPixels(Host())) return;
  if ((row.Checks & dcFree) && IsActiveLayerBlocked(Image())) return;
  if (row.Checks & dcHide) HideSelection();
  TDialogRequest request{Caption(sender.Row->Name), row.Mode, row.Modal};
  if (row.Kind >= 0 && !Ops().BeginUndoableOperation(TUndoKind(row.Kind), request.Caption)) return;
  if (row.Checks & dcRefresh) Services.Windows().RefreshAllImageWindows();
  if (!Dialogs->OpenDialog(row.Dialog, request) && row.Kind >= 0) Ops().EndDialogOperation(false);
}

void TDocumentCommands::StackChanged(bool rebuild) {
  if (TLayeredImage* image = Image()) {
    image->InvalidateImage();
    if (rebuild) Host().LayerStackChanged(TLayerChange::Rebuild, image->ActiveIndex());
  }
  Services.RepaintActiveImage();
  if (Services.Hooks.UpdateCommandStates) Services.Hooks.UpdateCommandStates();
  Services.UpdateStatusBar();
}

void TDocumentCommands::PixelsChanged() {
  Services.RepaintActiveImage();
  Services.RefreshLayerNavigator();
  if (Services.Hooks.UpdateCommandStates) Services.Hooks.UpdateCommandStates();
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
