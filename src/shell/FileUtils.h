#pragma once
// File facts the shell's commands need: sizes, dates and names as found on disk.
#include <cstdint>
#include <ctime>
#include <string>
#include <vector>

namespace qm {

// The size in bytes of a file opened for reading; -1 when it cannot be read (missing,
// a folder, no permission).
int64_t GetFileSizeByName(const std::string& name);

// Gives the file the modification time t; false when the file cannot be written.
bool SetFileDateByName(const std::string& name, std::time_t t);

// The file's modification time; 0 when it cannot be read.
std::time_t GetFileDateByName(const std::string& name);

// The name as the disk spells it: when no file has exactly that name, one of the same
// folder whose name differs only in case; otherwise the name unchanged.
std::string GetTrueFileName(const std::string& name);

// The files of the folder (and of its sub-folders when recursive) whose names match one
// of the ";"-separated masks ("*.jpg; *.png"; blanks dropped, "*" and "?" as wildcards,
// letters of either case), full paths sorted without regard to case, each once. Empty
// when nothing matches or the folder cannot be read; unreadable sub-folders are passed.
std::vector<std::string> FindFilesToList(const std::string& folder, const std::string& masks, bool recursive);

}  // namespace qm
