#include "imagefiles/ImageFileUtils.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/core/Exceptions.h"

namespace qm {

bool FileExists(const std::string& fileName) {
  struct stat st{};
  return !fileName.empty() && ::stat(fileName.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool FolderExists(const std::string& path) {
  struct stat st{};
  return !path.empty() && ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::string FolderOf(const std::string& fileName) {
  const size_t slash = fileName.find_last_of('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return fileName.substr(0, slash);
}

std::string TempFolder() {
  const char* env = std::getenv("TMPDIR");
  if (env && *env && FolderExists(env)) return env;
  return "/tmp";
}

std::string CreateUniqueFile(const std::string& folder, const std::string& stem, const std::string& suffix) {
  std::string pattern = folder + "/" + stem + "XXXXXX" + suffix;
  std::vector<char> buf(pattern.begin(), pattern.end());
  buf.push_back(0);
  const int fd = ::mkstemps(buf.data(), int(suffix.size()));
  if (fd < 0) throw EInvalidGraphic("cannot create a file in " + folder + ": " + std::strerror(errno));
  ::close(fd);
  return std::string(buf.data());
}

TTempFile::~TTempFile() {
  if (!name_.empty()) ::unlink(name_.c_str());
}

namespace {

// The umask, read without setting it: umask() can only be read by changing it, and
// for that moment a file another thread creates would get every permission.
mode_t ProcessUmask() {
  if (FILE* f = std::fopen("/proc/self/status", "r")) {
    char line[256];
    unsigned mask = 0;
    bool found = false;
    while (!found && std::fgets(line, sizeof line, f)) found = std::sscanf(line, "Umask: %o", &mask) == 1;
    std::fclose(f);
    if (found) return mode_t(mask & 0777);
  }
  static const mode_t once = [] {
    const mode_t m = ::umask(0);
    ::umask(m);
    return m;
  }();
  return once;
}

}  // namespace

void ReplaceFileAtomically(const std::string& target, const std::function<void(const std::string&)>& write) {
  const std::string folder = FolderOf(target);
  std::string base = target.substr(target.find_last_of('/') == std::string::npos ? 0 : target.find_last_of('/') + 1);
  TTempFile temp(CreateUniqueFile(folder, "." + base + ".", ".tmp"));
  write(temp.Name());
  struct stat st{};
  if (::stat(target.c_str(), &st) == 0) {
    ::chmod(temp.Name().c_str(), st.st_mode & 07777);
  } else {
    // A new file gets the permissions the user's umask gives (mkstemp makes it 0600).
    ::chmod(temp.Name().c_str(), 0666 & ~ProcessUmask());
  }
  if (::rename(temp.Name().c_str(), target.c_str()) != 0)
    throw EInvalidGraphic("cannot replace " + target + ": " + std::strerror(errno));
  temp.Release();
}

std::vector<uint8_t> ReadWholeFile(const std::string& fileName, uint64_t maxBytes) {
  FILE* f = std::fopen(fileName.c_str(), "rb");
  if (!f) throw EInvalidGraphic("cannot open " + fileName);
  std::vector<uint8_t> data;
  bool ok = std::fseek(f, 0, SEEK_END) == 0;
  const long size = ok ? std::ftell(f) : -1;
  ok = ok && size >= 0 && uint64_t(size) <= maxBytes && std::fseek(f, 0, SEEK_SET) == 0;
  if (ok) {
    data.resize(size_t(size));
    ok = size == 0 || std::fread(data.data(), 1, data.size(), f) == data.size();
  }
  std::fclose(f);
  if (!ok) throw EInvalidGraphic("cannot read " + fileName);
  return data;
}

void WriteWholeFile(const std::string& fileName, const uint8_t* data, size_t size) {
  FILE* f = std::fopen(fileName.c_str(), "wb");
  if (!f) throw EInvalidGraphic("cannot create " + fileName);
  bool ok = size == 0 || std::fwrite(data, 1, size, f) == size;
  ok = (std::fclose(f) == 0) && ok;
  if (!ok) throw EInvalidGraphic("cannot write " + fileName);
}

}  // namespace qm
