#include "shell/commands/DirectCommands.h"

#include <new>
#include <stdexcept>

#include "platform/core/Messages.h"
#include "platform/texts/TextUtils.h"
#include "platform/texts/UiTexts.h"
#include "shell/services/DialogLauncher.h"
#include "shell/services/ShellServices.h"

namespace qm {
namespace {

std::string RowCaption(std::string_view name) {
  const TCommandRow* row = FindCommandRow(name);
  return row ? CleanMenuCaption(CommandCaption(*row)) : std::string();
}

// The busy state ends however the command ends.
class TBusyScope {
 public:
  explicit TBusyScope(TShellServices& services) : services_(services) { services_.BeginBusy(); }
  ~TBusyScope() { services_.EndBusy(); }
  TBusyScope(const TBusyScope&) = delete;
  TBusyScope& operator=(const TBusyScope&) = delete;

 private:
  TShellServices& services_;
};

// A chain failed half-way: the layer gets its pixels back and the step goes, so the
// history holds no step for a change that did not happen.
void DropFailedStep(TShellServices& services) {
  TUndoableOperations& ops = services.Operations();
  ops.RestoreFromHistory();
  if (TUndoList* history = services.GetActiveHistory()) history->DeleteLastUndoStep();
  ops.RefreshLayerNavigator();
  if (TLayeredImage* image = services.LayerHost().ActiveImage()) image->InvalidateImage();
  if (ops.Hooks.UpdateHistoryMenus) ops.Hooks.UpdateHistoryMenus();
}

}  // namespace

std::string DirectCommandCaption(const TDirectCommand& command) {
  const TCommandRow* row = FindCommandRow(command.Name);
  if (!row) return {};
  switch (command.Caption) {
    case TCaptionFrom::Own: return RowCaption(row->Name);
    case TCaptionFrom::Parent: return RowCaption(row->Parent);
    case TCaptionFrom::ParentAndOwn: return RowCaption(row->Parent) + " " + RowCaption(row->Name);
  }
  return {};
}

void RunDirectCommand(TShellServices& services, const TDirectCommand& command, const TCommandSender& sender) {
  if (command.Guarded && !services.CanRunCommand(sender.Action)) return;
  if (!services.HasActiveImage() || !services.GetActiveLayerBitmap()) return;
  TBusyScope busy(services);
  const std::string caption = DirectCommandCaption(command);
  TUndoableOperations& ops = services.Operations();
  try {
    if (!ops.BeginUndoableOperation(ukWorkRect, caption)) return;
    TLayerHost& host = services.LayerHost();
    TFilterRun run{*services.GetActiveLayerBitmap(), *ops.PreChangeCopy(), services.GetWorkRect(),
                   host.ForegroundColor(), host.BackgroundColor(), services.FillPattern()};
    command.Steps(run);
    services.RestrictToSelection(seProgressive);
    if (TLayeredImage* image = host.ActiveImage()) image->InvalidateLayerRect(image->LayerRectToImageRect(run.Rect));
    services.RepaintActiveImage();
  } catch (const std::bad_alloc&) {
    DropFailedStep(services);
    ShowMessageDialog(Tr(TextId::TrFixOutOfMemory), mtError, mbOK);
    return;
  } catch (const std::exception& e) {
    DropFailedStep(services);
    ShowMessageDialog(e.what(), mtError, mbOK);
    return;
  }
  if (command.Repeats) {
    ops.RecordRepeatableCommand(caption, [&services, &command, sender] { RunDirectCommand(services, command, sender); });
  } else {
    services.RefreshLayerNavigator();
  }
}

int AttachDirectCommands(TCommandSet& commands, TShellServices& services, std::span<const TDirectCommand> table) {
  int n = 0;
  for (const TDirectCommand& command : table)
    n += commands.SetHandler(command.Name, [&services, &command](const TCommandSender& sender) {
      RunDirectCommand(services, command, sender);
    });
  return n;
}

void RunDialogCommand(TShellServices& services, TDialogLauncher& dialogs, const TDialogRow& command,
                      const TCommandSender& sender) {
  if (command.Guarded && !services.CanRunCommand(sender.Action)) return;
  if (!services.HasActiveImage()) return;
  TDialogRequest request{RowCaption(sender.Row->Name), command.Mode, command.Modal};
  TUndoableOperations& ops = services.Operations();
  if (command.Step != TDialogStep::None) {
    const bool noFade = command.Step == TDialogStep::NoFade;
    TUndoLayerItem* step = ops.BeginUndoableOperation(noFade ? ukWorkRectImageAndMask : ukWorkRect, request.Caption);
    if (!step) return;
    if (noFade) SetUndoStepParam(*step, upNoFade, 1);
  }
  // a modal dialog may be drawn see-through: the documents behind it are brought up to date
  if (command.Modal) services.Windows().RefreshAllImageWindows();
  if (!dialogs.OpenDialog(command.Dialog, request) && command.Step != TDialogStep::None)
    ops.EndDialogOperation(false);
}

int AttachDialogCommands(TCommandSet& commands, TShellServices& services, TDialogLauncher* dialogs,
                         std::span<const TDialogRow> table) {
  if (!dialogs) return 0;
  int n = 0;
  for (const TDialogRow& command : table) {
    if (!dialogs->HasDialog(command.Dialog)) continue;
    n += commands.SetHandler(command.Name, [&services, dialogs, &command](const TCommandSender& sender) {
      RunDialogCommand(services, *dialogs, command, sender);
    });
  }
  return n;
}

}  // namespace qm
