#pragma once
// What the image browser and the main window's image-management menu do with an image
// file: open it with the desktop's program, copy, move or rename it, send it to the
// trash; and the folder navigation from one image file to its neighbours.
#include <string>

#include "shell/services/FileActionHost.h"

namespace qm {

// Runs the action on the file, asking and warning through the message box; title
// captions the folder chooser and the name box. Returns true when the action was done;
// newName then holds the file's name after it (the copy's name for a copy). Moves,
// renames and copies never replace an existing file, and a rename refuses a name that
// is empty, "." or "..", or holds a "/".
bool DoBrowserFileAction(TFileActionHost& host, const std::string& title, const std::string& fileName,
                         TFileAction action, std::string& newName);

// The readable image files of current's folder sorted by name, and the one the mode
// asks for: empty when the folder holds fewer than two, when current is not among them,
// or when there is none in that direction (the first or previous of the first, the
// next or last of the last). Refused with a warning while the browser scans.
std::string GetSiblingImageFile(TFileActionHost& host, const std::string& current, TSiblingFile mode);

}  // namespace qm
