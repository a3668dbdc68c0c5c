#pragma once
// Where the program keeps its settings and the user's folders. The program's own
// folder is usually not writable on Linux, so both follow the XDG base directories:
//   settings      $XDG_CONFIG_HOME/Quillomatic/Quillomatic.ini   (~/.config/...)
//   user folders  $XDG_DATA_HOME/Quillomatic/{Selections,Masks,Patterns,Plugins}
//                                                                (~/.local/share/...)
// QM_HOME=<folder> puts both directly under that folder (tests and portable set-ups).
#include <string>

namespace qm {

std::string ConfigFolder();
std::string DataFolder();
// The settings file, "Quillomatic.ini" in the configuration folder.
std::string SettingsFilePath();

enum class TUserFolder { Selections, Masks, Patterns, Plugins };
std::string UserFolder(TUserFolder folder);

// Creates the four user folders when missing; false when one could not be made.
bool EnsureUserFolders();

}  // namespace qm
