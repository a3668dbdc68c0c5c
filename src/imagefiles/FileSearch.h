#pragma once
// The file search: the files of a folder (and, on request, of its sub-folders) whose
// names match a list of masks, reported one by one to a callback or gathered into a
// sorted list. The image browser scans folders with it; the translation loader lists
// its modules with it.
//
// Masks are ";"-separated; blanks are ignored. "*" and "?" are wildcards and match
// without regard to case ("*.JPG" finds "a.jpg"); a mask without a wildcard names one
// file exactly. "*.*" and "*" match every file. A file is reported once per folder,
// for the first mask that matches it.
//
// Sub-folders are entered in name order, those whose name starts with "." skipped.
// Links to folders are followed, but a folder reached twice (a link to one of its
// parents, two links to one folder) is searched once: the walk always ends.
//
// Threads: any thread, several searches at once.
#include <functional>
#include <string>
#include <vector>

namespace qm {

// Called per file with the folder (ending in "/") and the bare file name; false stops
// the search.
using TFindFilesCallback = std::function<bool(const std::string& folder, const std::string& fileName)>;

struct TFindFilesOptions {
  bool Recurse = false;
  // Called every 3rd file and after each mask, so a caller on the GUI thread keeps
  // its window painted while it searches.
  std::function<void()> Pump;
};

// Searches folder for the masks. False when the search was stopped (by the callback
// or by AbortFindFiles), true when it ran to its end.
bool FindFilesWithCallback(const std::string& folder, const std::string& masks, const TFindFilesOptions& options,
                           const TFindFilesCallback& callback);
inline bool FindFilesWithCallback(const std::string& folder, const std::string& masks, bool recurse,
                                  const TFindFilesCallback& callback) {
  TFindFilesOptions options;
  options.Recurse = recurse;
  return FindFilesWithCallback(folder, masks, options, callback);
}

// The full paths of the matching files, sorted, each once.
std::vector<std::string> FindFilesToList(const std::string& folder, const std::string& masks, bool recurse);

// Stops every search running now, at its next file.
void AbortFindFiles();

// Whether a bare file name matches one mask (see above).
bool MatchesFileMask(const std::string& name, const std::string& mask);

}  // namespace qm
