#include "imagefiles/FileSearch.h"

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <atomic>
#include <set>
#include <utility>


namespace qm {
namespace {

// Bumped by AbortFindFiles: a search stops when it sees another value than at its
// start.
std::atomic<unsigned> gAbortGeneration{0};

bool HasWildcard(const std::string& mask) { return mask.find_first_of("*?") != std::string::npos; }

inline char Lower(char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; }

// Wildcard match without regard to ASCII case; "*" backtracks to its last position.
bool WildcardMatch(const std::string& name, const std::string& mask) {
  if (mask == "*.*") return true;  // every file, with an extension or not
  size_t n = 0, m = 0, starM = std::string::npos, starN = 0;
  while (n < name.size()) {
    if (m < mask.size() && (mask[m] == '?' || Lower(mask[m]) == Lower(name[n]))) {
      ++n;
      ++m;
    } else if (m < mask.size() && mask[m] == '*') {
      starM = m++;
      starN = n;
    } else if (starM != std::string::npos) {
      m = starM + 1;
      n = ++starN;
    } else {
      return false;
    }
  }
  while (m < mask.size() && mask[m] == '*') ++m;
  return m == mask.size();
}

std::vector<std::string> SplitMasks(const std::string& masks) {
  std::vector<std::string> out;
  std::string current;
  for (char c : masks + ";") {
    if (c == ';') {
      if (!current.empty()) out.push_back(current);
      current.clear();
    } else if (c != ' ' && c != '\t') {
      current += c;
    }
  }
  return out;
}

struct TEntries {
  std::vector<std::string> Files, Folders;
};

// The regular files and the folders of a folder (links followed), sorted by name.
TEntries ReadFolder(const std::string& folder) {
  TEntries e;
  DIR* d = ::opendir(folder.c_str());
  if (!d) return e;
  while (const dirent* ent = ::readdir(d)) {
    const std::string name = ent->d_name;
    if (name == "." || name == "..") continue;
    unsigned char type = ent->d_type;
    if (type == DT_LNK || type == DT_UNKNOWN) {
      struct stat st {};
      if (::stat((folder + name).c_str(), &st) != 0) continue;  // a dangling link
      type = S_ISDIR(st.st_mode) ? DT_DIR : S_ISREG(st.st_mode) ? DT_REG : DT_UNKNOWN;
    }
    if (type == DT_REG) e.Files.push_back(name);
    else if (type == DT_DIR && name[0] != '.') e.Folders.push_back(name);
  }
  ::closedir(d);
  std::sort(e.Files.begin(), e.Files.end());
  std::sort(e.Folders.begin(), e.Folders.end());
  return e;
}

struct TSearch {
  std::vector<std::string> Masks;
  const TFindFilesOptions& Options;
  const TFindFilesCallback& Callback;
  unsigned Generation;
  std::set<std::pair<dev_t, ino_t>> Visited;
  int Hits = 0;
  bool Stopped = false;

  bool Aborted() {
    if (!Stopped && gAbortGeneration.load(std::memory_order_relaxed) != Generation) Stopped = true;
    return Stopped;
  }

  void Pump() {
    if (Options.Pump) Options.Pump();
  }

  void Run(const std::string& path) {
    const std::string folder = path.empty() ? std::string("./") : path.back() == '/' ? path : path + '/';
    struct stat st {};
    if (::stat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) return;
    if (!Visited.insert({st.st_dev, st.st_ino}).second) return;
    const TEntries entries = ReadFolder(folder);
    std::vector<bool> reported(entries.Files.size(), false);
    for (const std::string& mask : Masks) {
      if (Aborted()) return;
      const bool wild = HasWildcard(mask);
      for (size_t i = 0; i < entries.Files.size(); ++i) {
        if (reported[i]) continue;
        const std::string& name = entries.Files[i];
        if (wild ? !WildcardMatch(name, mask) : name != mask) continue;
        if (Aborted()) return;
        reported[i] = true;
        if (!Callback(folder, name)) {
          Stopped = true;
          return;
        }
        if (++Hits % 3 == 0) Pump();
      }
      Pump();
    }
    if (!Options.Recurse) return;
    for (const std::string& sub : entries.Folders) {
      if (Aborted()) return;
      Run(folder + sub);
    }
  }
};

}  // namespace

bool MatchesFileMask(const std::string& name, const std::string& mask) {
  return HasWildcard(mask) ? WildcardMatch(name, mask) : name == mask;
}

bool FindFilesWithCallback(const std::string& folder, const std::string& masks, const TFindFilesOptions& options,
                           const TFindFilesCallback& callback) {
  TSearch search{SplitMasks(masks), options, callback, gAbortGeneration.load(), {}};
  search.Run(folder);
  return !search.Stopped;
}

std::vector<std::string> FindFilesToList(const std::string& folder, const std::string& masks, bool recurse) {
  std::vector<std::string> files;
  FindFilesWithCallback(folder, masks, recurse, [&](const std::string& dir, const std::string& name) {
    files.push_back(dir + name);
    return true;
  });
  std::sort(files.begin(), files.end());
  files.erase(std::unique(files.begin(), files.end()), files.end());
  return files;
}

void AbortFindFiles() { gAbortGeneration.fetch_add(1); }

}  // namespace qm
