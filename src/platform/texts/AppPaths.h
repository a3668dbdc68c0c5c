#pragma once
// Where the program keeps its settings and the user's folders. The program's own
// folder is usually not writable on Linux, so both follow the XDG base directories:
//   settings      $XDG_CONFIG_HOME/Quillomatic/Quillomatic.ini   (~/.config/...)
//   user folders  $XDG_DATA_HOME/Quillomatic/{Selections,Masks,Patterns,Plugins}
//                                                                (~/.local/share/...)
// QM_HOME=<folder> puts both directly under that folder (tests and portable set-ups).
//
// Beside them, the program's own data, which it only reads: the masks and patterns
// every profile starts with and the help page. In the build tree they lie beside the
// program; installed, in PREFIX/share/quillomatic beside the program's PREFIX/bin.
#include <string>
#include <vector>

namespace qm {

std::string ConfigFolder();
std::string DataFolder();
// The settings file, "Quillomatic.ini" in the configuration folder.
std::string SettingsFilePath();

enum class TUserFolder { Selections, Masks, Patterns, Plugins };
std::string UserFolder(TUserFolder folder);

// Creates the four user folders when missing; false when one could not be made.
bool EnsureUserFolders();

// The folder of the program's executable (empty when the system does not say).
std::string ProgramFolder();
// The folder of the program's own data (see above).
std::string ProgramDataFolder();
// Names the data folder for a program that does not lie beside it (a test program);
// empty finds it again as above. Set it before anything reads it.
void SetProgramDataFolder(const std::string& folder);

// The folders a list reads, the user's first: for masks and patterns the user's folder,
// then the program's "Masks" or "Patterns"; for selections and plug-ins the user's
// folder alone. Whatever the program adds to a list goes into the user's folder.
std::vector<std::string> ListFolders(TUserFolder folder);

}  // namespace qm
