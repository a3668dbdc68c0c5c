#pragma once
// The desktop's file services: opening with the associated program, copying, moving,
// renaming, the trash and the folder browser.
#include <string>

namespace qm {

// Opens a file (or a web address) with the program the desktop associates with it;
// false when none could be started.
bool OpenWithAssociatedProgram(const std::string& pathOrUrl);

// Copies without replacing an existing target; false on failure or when the target
// exists.
bool CopyFileTo(const std::string& source, const std::string& target);
// Moves (or renames) without replacing an existing target, across file systems too.
bool MoveFileTo(const std::string& source, const std::string& target);

// Sends the file to the desktop's trash, after a confirmation when asked; false when
// refused or when it could not be moved.
bool DeleteToRecycleBin(const std::string& name, bool confirm);

// The desktop's folder chooser (folders only) titled title and starting at initial;
// the chosen folder, empty when cancelled.
std::string BrowseForFolder(const std::string& title, const std::string& initial);

}  // namespace qm
