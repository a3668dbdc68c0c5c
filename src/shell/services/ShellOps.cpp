#include "shell/services/ShellOps.h"

#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QApplication>
#include <QDesktopServices>
#include <QFileDialog>
#include <QFileInfo>
#include <QUrl>
#include <cerrno>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <vector>

#include "platform/core/Messages.h"
#include "platform/texts/UiTexts.h"

namespace qm {
namespace {

QString Q(const std::string& s) { return QString::fromStdString(s); }

// Closes a descriptor on every path out.
struct TFd {
  int Fd = -1;
  ~TFd() {
    if (Fd >= 0) ::close(Fd);
  }
};

// Gives a file a new name without ever replacing one. Plain rename(2) replaces an
// existing target silently, so the kernel is asked not to (RENAME_NOREPLACE); a file
// system that cannot honour that gets a hard link, which fails on an existing name
// too, and the old name is then removed. errno tells why it failed.
bool RenameNoReplace(const std::string& from, const std::string& to) {
  if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return true;
  if (errno != EINVAL && errno != ENOSYS && errno != ENOTSUP) return false;
  if (::link(from.c_str(), to.c_str()) != 0) return false;
  if (::unlink(from.c_str()) != 0) {
    const int e = errno;
    ::unlink(to.c_str());
    errno = e;
    return false;
  }
  return true;
}

bool WriteAll(int fd, const char* p, size_t n) {
  while (n > 0) {
    const ssize_t w = ::write(fd, p, n);
    if (w < 0 && errno == EINTR) continue;
    if (w <= 0) return false;
    p += w;
    n -= size_t(w);
  }
  return true;
}

// Copies the bytes of in into out.
bool CopyBytes(int in, int out) {
  std::vector<char> buf(1 << 20);
  for (;;) {
    const ssize_t r = ::read(in, buf.data(), buf.size());
    if (r < 0 && errno == EINTR) continue;
    if (r < 0) return false;
    if (r == 0) return true;
    if (!WriteAll(out, buf.data(), size_t(r))) return false;
  }
}

// The home trash of the freedesktop trash specification: $XDG_DATA_HOME/Trash, the
// data home being ~/.local/share when the variable is unset or not absolute.
std::filesystem::path HomeTrash() {
  const char* data = std::getenv("XDG_DATA_HOME");
  if (data && *data == '/') return std::filesystem::path(data) / "Trash";
  const char* home = std::getenv("HOME");
  return std::filesystem::path(home && *home ? home : "/") / ".local/share" / "Trash";
}

// The mount point the path lies on: the highest folder above it on the same device.
std::filesystem::path TopDirectory(const std::filesystem::path& path) {
  std::filesystem::path dir = path.parent_path();
  struct stat st{};
  if (::stat(dir.c_str(), &st) != 0) return {};
  while (dir.has_parent_path() && dir != dir.root_path()) {
    struct stat up{};
    if (::stat(dir.parent_path().c_str(), &up) != 0 || up.st_dev != st.st_dev) break;
    dir = dir.parent_path();
  }
  return dir;
}

// A trash folder made when missing, readable by its owner alone.
bool EnsureTrashFolder(const std::filesystem::path& trash) {
  std::error_code ec;
  if (!std::filesystem::is_directory(trash, ec)) {
    std::filesystem::create_directories(trash, ec);
    if (ec || ::chmod(trash.c_str(), 0700) != 0) return false;
  }
  for (const char* sub : {"files", "info"}) {
    const std::filesystem::path p = trash / sub;
    if (!std::filesystem::is_directory(p, ec) && ::mkdir(p.c_str(), 0700) != 0 && errno != EEXIST) return false;
  }
  return true;
}

// Moves the file into a trash folder under a name of its own there, with the record
// of where it came from and when. The record is made first with O_EXCL: it claims the
// name, so two programs trashing files of one name never take the same.
bool TrashInto(const std::filesystem::path& trash, const std::filesystem::path& file) {
  if (!EnsureTrashFolder(trash)) return false;
  const std::string stem = file.stem().string(), ext = file.extension().string();
  char date[32] = "";
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  if (::localtime_r(&now, &local)) std::strftime(date, sizeof date, "%Y-%m-%dT%H:%M:%S", &local);
  const QByteArray where = QUrl::toPercentEncoding(QString::fromStdString(file.string()), "/");
  const std::string record = "[Trash Info]\nPath=" + where.toStdString() + "\nDeletionDate=" + date + "\n";
  for (int n = 1; n < 10000; ++n) {
    const std::string name = n == 1 ? file.filename().string() : stem + "." + std::to_string(n) + ext;
    const std::filesystem::path info = trash / "info" / (name + ".trashinfo"), target = trash / "files" / name;
    TFd fd;
    fd.Fd = ::open(info.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd.Fd < 0) {
      if (errno == EEXIST) continue;
      return false;
    }
    const bool written = WriteAll(fd.Fd, record.data(), record.size());
    ::close(fd.Fd);
    fd.Fd = -1;
    struct stat st{};
    if (!written) {
      ::unlink(info.c_str());
      errno = EIO;
      return false;
    }
    if (::lstat(target.c_str(), &st) == 0) {  // a file left there without its record
      ::unlink(info.c_str());
      continue;
    }
    if (RenameNoReplace(file.string(), target.string())) return true;
    const int e = errno;
    ::unlink(info.c_str());
    if (e == EEXIST) continue;
    errno = e;
    return false;
  }
  errno = EEXIST;
  return false;
}

// The file into the home trash, or, when it lies on another file system, into the
// trash at the top of that one ($topdir/.Trash/$uid when the administrator made a
// sticky .Trash there, else $topdir/.Trash-$uid).
bool MoveToTrash(const std::string& name) {
  std::error_code ec;
  const std::filesystem::path file = std::filesystem::absolute(name, ec).lexically_normal();
  if (ec) return false;
  if (TrashInto(HomeTrash(), file)) return true;
  if (errno != EXDEV) return false;
  const std::filesystem::path top = TopDirectory(file);
  if (top.empty()) return false;
  const std::string uid = std::to_string(::getuid());
  struct stat st{};
  const std::filesystem::path shared = top / ".Trash";
  if (::lstat(shared.c_str(), &st) == 0 && S_ISDIR(st.st_mode) && (st.st_mode & S_ISVTX) &&
      TrashInto(shared / uid, file))
    return true;
  return TrashInto(top / (".Trash-" + uid), file);
}

}  // namespace

bool OpenWithAssociatedProgram(const std::string& pathOrUrl) {
  if (pathOrUrl.empty()) return false;
  const QString s = Q(pathOrUrl);
  const QUrl url = QFileInfo::exists(s) ? QUrl::fromLocalFile(QFileInfo(s).absoluteFilePath()) : QUrl(s);
  if (!url.isValid()) return false;
  return QDesktopServices::openUrl(url);
}

bool CopyFileTo(const std::string& source, const std::string& target) {
  if (source.empty() || target.empty()) return false;
  TFd in;
  in.Fd = ::open(source.c_str(), O_RDONLY | O_CLOEXEC);
  struct stat st{};
  if (in.Fd < 0 || ::fstat(in.Fd, &st) != 0 || !S_ISREG(st.st_mode)) return false;
  // The copy is made under a temporary name beside the target, so that the target
  // name only ever shows a complete file.
  const std::filesystem::path t(target);
  const std::filesystem::path folder = t.has_parent_path() ? t.parent_path() : std::filesystem::path(".");
  std::string temp = (folder / ".qm-copy-XXXXXX").string();
  TFd out;
  out.Fd = ::mkostemp(temp.data(), O_CLOEXEC);
  if (out.Fd < 0) return false;
  const timespec times[2] = {{0, UTIME_OMIT}, st.st_mtim};
  bool ok = CopyBytes(in.Fd, out.Fd) && ::fchmod(out.Fd, st.st_mode & 07777) == 0 && ::futimens(out.Fd, times) == 0;
  ok = ::close(out.Fd) == 0 && ok;
  out.Fd = -1;
  if (ok) ok = RenameNoReplace(temp, target);
  if (!ok) ::unlink(temp.c_str());
  return ok;
}

bool MoveFileTo(const std::string& source, const std::string& target) {
  if (source.empty() || target.empty()) return false;
  struct stat st{};
  if (::stat(source.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return false;
  if (RenameNoReplace(source, target)) return true;
  if (errno != EXDEV) return false;
  if (!CopyFileTo(source, target)) return false;
  if (::unlink(source.c_str()) == 0) return true;
  ::unlink(target.c_str());
  return false;
}

bool DeleteToRecycleBin(const std::string& name, bool confirm) {
  if (name.empty() || !QFileInfo::exists(Q(name))) return false;
  if (confirm && ShowMessageDialog(Tr(TextId::GetTrDlgExplore1), mtConfirmation, mbYes | mbNo) != mrYes) return false;
  return MoveToTrash(name);
}

std::string BrowseForFolder(const std::string& title, const std::string& initial) {
  return QFileDialog::getExistingDirectory(QApplication::activeWindow(), Q(title), Q(initial),
                                           QFileDialog::ShowDirsOnly)
      .toStdString();
}

}  // namespace qm
