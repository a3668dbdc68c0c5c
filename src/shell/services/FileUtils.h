#pragma once
// File facts the shell's commands need: sizes, dates and names as found on disk.
#include <cstdint>
#include <ctime>
#include <string>

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

}  // namespace qm
