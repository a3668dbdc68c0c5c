#include "shell/services/FileUtils.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

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

}  // namespace qm
