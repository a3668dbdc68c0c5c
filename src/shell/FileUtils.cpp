#include "shell/FileUtils.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>

#include "platform/texts/TextUtils.h"

namespace qm {

int64_t GetFileSizeByName(const std::string& name) {
  const int fd = ::open(name.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return -1;
  struct stat st{};
  const bool ok = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
  ::close(fd);
  return ok ? int64_t(st.st_size) : -1;
}

bool SetFileDateByName(const std::string& name, std::time_t t) {
  const int fd = ::open(name.c_str(), O_WRONLY | O_CLOEXEC);
  if (fd < 0) return false;
  const timespec times[2] = {{0, UTIME_OMIT}, {t, 0}};
  const bool ok = ::futimens(fd, times) == 0;
  ::close(fd);
  return ok;
}

std::time_t GetFileDateByName(const std::string& name) {
  struct stat st{};
  if (::stat(name.c_str(), &st) != 0) return 0;
  return st.st_mtime;
}

std::string GetTrueFileName(const std::string& name) {
  namespace fs = std::filesystem;
  std::error_code ec;
  if (name.empty() || fs::exists(name, ec)) return name;
  const fs::path p(name);
  const fs::path folder = p.has_parent_path() ? p.parent_path() : fs::path(".");
  const std::string wanted = p.filename().string();
  for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
    const std::string found = it->path().filename().string();
    if (SameText(found, wanted)) return p.has_parent_path() ? (folder / found).string() : found;
  }
  return name;
}

namespace {

char Lower(char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; }

// "*" any run, "?" any one byte, letters of either case.
bool MatchesMask(std::string_view name, std::string_view mask) {
  size_t n = 0, m = 0, starMask = std::string_view::npos, starName = 0;
  while (n < name.size()) {
    if (m < mask.size() && (mask[m] == '?' || Lower(mask[m]) == Lower(name[n]))) {
      ++n;
      ++m;
    } else if (m < mask.size() && mask[m] == '*') {
      starMask = m++;
      starName = n;
    } else if (starMask != std::string_view::npos) {
      m = starMask + 1;
      n = ++starName;
    } else {
      return false;
    }
  }
  while (m < mask.size() && mask[m] == '*') ++m;
  return m == mask.size();
}

}  // namespace

std::vector<std::string> FindFilesToList(const std::string& folder, const std::string& masks, bool recursive) {
  std::vector<std::string> patterns;
  std::string clean;
  for (char c : masks)
    if (c != ' ') clean += c;
  for (size_t at = 0; at <= clean.size();) {
    const size_t end = std::min(clean.find(';', at), clean.size());
    if (end > at) patterns.push_back(clean.substr(at, end - at));
    at = end + 1;
  }
  std::vector<std::string> found;
  namespace fs = std::filesystem;
  std::error_code ec;
  auto take = [&](const fs::directory_entry& e) {
    std::error_code fe;
    if (!e.is_regular_file(fe)) return;
    const std::string name = e.path().filename().string();
    if (std::any_of(patterns.begin(), patterns.end(), [&](const std::string& p) { return MatchesMask(name, p); }))
      found.push_back(e.path().string());
  };
  const auto options = fs::directory_options::skip_permission_denied;
  if (recursive) {
    for (fs::recursive_directory_iterator it(folder, options, ec), end; !ec && it != end; it.increment(ec)) take(*it);
  } else {
    for (fs::directory_iterator it(folder, options, ec), end; !ec && it != end; it.increment(ec)) take(*it);
  }
  auto folded = [](const std::string& a, const std::string& b) {
    return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(),
                                        [](char x, char y) { return Lower(x) < Lower(y); });
  };
  std::sort(found.begin(), found.end(), folded);
  found.erase(std::unique(found.begin(), found.end()), found.end());
  return found;
}

}  // namespace qm
