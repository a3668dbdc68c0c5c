#include "shell/commands/DirectCommands.h"

#include "platform/texts/TextUtils.h"
#include "shell/services/ShellServices.h"

namespace qm {
namespace {

std::string RowCaption(std::string_view name) {
  const TCommandRow* row = FindCommandRow(name);
  return row ? CleanMenuCaption(CommandCaption(*row)) : std::string();
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
  TLayerChangeOptions options;
  options.Caption = DirectCommandCaption(command);
  if (!RunLayerChange(services, options, command.Steps)) return;
  if (command.Repeats) {
    services.Operations().RecordRepeatableCommand(
        options.Caption, [&services, &command, sender] { RunDirectCommand(services, command, sender); });
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

}  // namespace qm
