#pragma once
// The parameter dialogs by class name. The dialogs live above the shell and register
// their openers at start-up; the shell's command table opens a dialog by the class name
// its row gives and enables the row only when that name is registered. Registering and
// opening happen on the GUI thread.
#include <QWidget>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

class QObject;

namespace qm {

class TShellServices;

// What the command hands the dialog it opens.
struct TDialogCommand {
  // The cleaned menu caption: the name of the undo step and of the repeat command.
  // Empty: the dialog's own caption.
  std::string Caption;
  // The menu item or tool button that ran the command (the shell's guard reads it).
  const QObject* Sender = nullptr;
};

// Opens the dialog over the active document (its undo step pushed, the dialog shown);
// returns the dialog, or null when the opening was refused.
using TDialogOpener = std::function<QWidget*(TShellServices& services, const TDialogCommand& command)>;

// A second registration under a name replaces the first.
void RegisterDialog(const std::string& className, TDialogOpener opener);
bool IsDialogRegistered(std::string_view className);
// Null when nothing is registered under the name or the opener refused.
QWidget* OpenDialog(std::string_view className, TShellServices& services, const TDialogCommand& command = {});
// In the order of registration.
std::vector<std::string> RegisteredDialogNames();

}  // namespace qm
