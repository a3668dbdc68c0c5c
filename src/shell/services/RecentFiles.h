#pragma once
// The File menu's list of recently opened files: at most 12 full names, most recent
// first, kept in the settings ([Files] File1..File12). Two names are the same file when
// their resolved forms are equal to the byte (links and "." / ".." resolved where the
// file exists; case counts, as the file system says).
#include <string>
#include <vector>

namespace qm {

class TRecentFiles {
 public:
  static constexpr int kCapacity = 12;

  const std::vector<std::string>& Names() const { return names_; }
  int Count() const { return int(names_.size()); }
  // The list as read from the settings, cut to the capacity, a file named twice kept
  // once.
  void Assign(const std::vector<std::string>& names);
  // The file moves to the top; a new one is inserted there, the oldest dropped when
  // the list is full.
  void Add(const std::string& name);
  void Remove(const std::string& name);
  // The entry of from now names to, in its place.
  void Rename(const std::string& from, const std::string& to);
  // The index of the file's entry, -1 when none.
  int IndexOf(const std::string& name) const;

  // The caption of entry index (0-based): its number from 1, two spaces, then its
  // bare file name cut to 30 characters with "..." after, every "&" doubled.
  std::string Caption(int index) const;

 private:
  std::vector<std::string> names_;
};

// The name resolved for comparison: links, "." and ".." resolved as far as the path
// exists, absolute.
std::string ResolvedFileName(const std::string& name);

}  // namespace qm
