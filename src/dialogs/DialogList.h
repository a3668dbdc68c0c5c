#pragma once
// Every parameter dialog of the program, registered by class name for the shell's
// command table. The program calls it once at start-up, before its main window opens a
// dialog or a scene runs.
namespace qm {

class TDialogRegistry;

void InstallParameterDialogs(TDialogRegistry& registry);

}  // namespace qm
