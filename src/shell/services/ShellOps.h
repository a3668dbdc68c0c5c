#pragma once
// The desktop's file services: opening with the associated program, copying, moving,
// renaming, the trash and the folder browser.
#include <string>

namespace qm {

// Opens a file (or a web address) with the program the desktop associates with it;
// false when none could be started.
bool OpenWithAssociatedProgram(const std::string& pathOrUrl);

// Neither ever replaces an existing target, even one that appears while they run, and
// neither leaves a partial file behind: a copy is written beside the target under a
// temporary name and only then given the target's name. A copy keeps the source's
// permissions and modification time. false on failure or when the target exists.
bool CopyFileTo(const std::string& source, const std::string& target);
// Moves (or renames) a regular file, across file systems too (copy, then the source
// removed; when the source cannot be removed the copy is taken back).
bool MoveFileTo(const std::string& source, const std::string& target);

// Sends the file to the desktop's trash (the freedesktop trash of the user's data
// folder), after a confirmation when asked; false when refused or when it could not be
// moved.
bool DeleteToRecycleBin(const std::string& name, bool confirm);

// The desktop's folder chooser (folders only) owned by the active window, titled title
// and starting at initial; the chosen folder, whatever its length, empty when
// cancelled.
std::string BrowseForFolder(const std::string& title, const std::string& initial);

}  // namespace qm
