#include "shell/services/RecentFiles.h"

#include <filesystem>

#include "platform/texts/TextUtils.h"

namespace qm {

std::string ResolvedFileName(const std::string& name) {
  if (name.empty()) return name;
  std::error_code ec;
  const std::filesystem::path resolved = std::filesystem::weakly_canonical(std::filesystem::absolute(name, ec), ec);
  return ec ? name : resolved.string();
}

void TRecentFiles::Assign(const std::vector<std::string>& names) {
  names_.clear();
  for (const std::string& n : names)
    if (int(names_.size()) < kCapacity && !n.empty() && IndexOf(n) < 0) names_.push_back(n);
}

int TRecentFiles::IndexOf(const std::string& name) const {
  const std::string wanted = ResolvedFileName(name);
  for (size_t i = 0; i < names_.size(); ++i)
    if (ResolvedFileName(names_[i]) == wanted) return int(i);
  return -1;
}

void TRecentFiles::Add(const std::string& name) {
  if (name.empty()) return;
  if (const int i = IndexOf(name); i >= 0) names_.erase(names_.begin() + i);
  else if (int(names_.size()) >= kCapacity) names_.pop_back();
  names_.insert(names_.begin(), name);
}

void TRecentFiles::Remove(const std::string& name) {
  if (const int i = IndexOf(name); i >= 0) names_.erase(names_.begin() + i);
}

void TRecentFiles::Rename(const std::string& from, const std::string& to) {
  const int i = IndexOf(from);
  if (i < 0) return;
  // The new name may already have an entry of its own: the renamed one takes its place.
  if (const int j = IndexOf(to); j >= 0 && j != i) {
    names_.erase(names_.begin() + j);
    Rename(from, to);
    return;
  }
  names_[size_t(i)] = to;
}

std::string TRecentFiles::Caption(int index) const {
  if (index < 0 || index >= Count()) return {};
  std::string bare = ExtractFileName(names_[size_t(index)]);
  if (Utf8Length(bare) > 30) bare = Utf8Left(bare, 30) + "...";
  std::string caption = std::to_string(index + 1) + "  ";
  for (char c : bare) {
    caption += c;
    if (c == '&') caption += '&';
  }
  return caption;
}

}  // namespace qm
