#include "platform/core/Stream.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <thread>

namespace qm {

// --- TStream ------------------------------------------------------------------------

void TStream::Require(int64_t count) const {
  if (count < 0 || count > Remaining()) throw EReadError("Lecture au-delà de la fin du flux");
}

void TStream::ReadBuffer(void* buffer, size_t count) {
  if (Read(buffer, count) != count) throw EReadError("Lecture au-delà de la fin du flux");
}

void TStream::Skip(int64_t count) {
  Require(count);
  Seek(Position() + count);
}

uint8_t TStream::ReadUInt8() {
  uint8_t v;
  ReadBuffer(&v, 1);
  return v;
}

uint16_t TStream::ReadUInt16() {
  uint8_t b[2];
  ReadBuffer(b, 2);
  return uint16_t(b[0] | (b[1] << 8));
}

uint32_t TStream::ReadUInt32() {
  uint8_t b[4];
  ReadBuffer(b, 4);
  return uint32_t(b[0]) | (uint32_t(b[1]) << 8) | (uint32_t(b[2]) << 16) | (uint32_t(b[3]) << 24);
}

int32_t TStream::ReadInt32() { return int32_t(ReadUInt32()); }

double TStream::ReadDouble() {
  uint8_t b[8];
  ReadBuffer(b, 8);
  uint64_t u = 0;
  for (int i = 7; i >= 0; --i) u = (u << 8) | b[i];
  double v;
  std::memcpy(&v, &u, 8);
  return v;
}

void TStream::WriteUInt16(uint16_t v) {
  const uint8_t b[2] = {uint8_t(v), uint8_t(v >> 8)};
  Write(b, 2);
}

void TStream::WriteUInt32(uint32_t v) {
  const uint8_t b[4] = {uint8_t(v), uint8_t(v >> 8), uint8_t(v >> 16), uint8_t(v >> 24)};
  Write(b, 4);
}

void TStream::WriteDouble(double v) {
  uint64_t u;
  std::memcpy(&u, &v, 8);
  uint8_t b[8];
  for (int i = 0; i < 8; ++i) b[i] = uint8_t(u >> (8 * i));
  Write(b, 8);
}

// --- Memory streams -----------------------------------------------------------------

size_t TMemoryStream::Read(void* buffer, size_t count) {
  const size_t n = std::min(count, data_.size() - pos_);
  if (n) std::memcpy(buffer, data_.data() + pos_, n);
  pos_ += n;
  return n;
}

void TMemoryStream::Write(const void* buffer, size_t count) {
  if (count == 0) return;
  if (data_.size() - pos_ < count) data_.resize(pos_ + count);
  std::memcpy(data_.data() + pos_, buffer, count);
  pos_ += count;
}

void TMemoryStream::Seek(int64_t position) {
  if (position < 0 || position > Size()) throw EStreamError("Position hors du flux");
  pos_ = size_t(position);
}

size_t TBytesStream::Read(void* buffer, size_t count) {
  const size_t n = std::min(count, size_ - pos_);
  if (n) std::memcpy(buffer, data_ + pos_, n);
  pos_ += n;
  return n;
}

void TBytesStream::Write(const void*, size_t) { throw EWriteError("Flux en lecture seule"); }

void TBytesStream::Seek(int64_t position) {
  if (position < 0 || position > Size()) throw EStreamError("Position hors du flux");
  pos_ = size_t(position);
}

// --- File streams -------------------------------------------------------------------

namespace {

// 256 KB: large enough that the system calls cost nothing next to the copies, small
// enough to stay in the second-level cache while it fills.
constexpr size_t kFileBuffer = 256 * 1024;

int OpenFlags(TFileMode mode) {
  switch (mode) {
    case fmOpenRead: return O_RDONLY;
    case fmOpenReadWrite: return O_RDWR;
    case fmCreate: return O_RDWR | O_CREAT | O_TRUNC;
  }
  return O_RDONLY;
}

bool PReadAll(int fd, uint8_t* p, size_t n, int64_t at, size_t& got) {
  got = 0;
  while (got < n) {
    const ssize_t r = ::pread(fd, p + got, n - got, off_t(at + int64_t(got)));
    if (r < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    if (r == 0) break;
    got += size_t(r);
  }
  return true;
}

bool PWriteAll(int fd, const uint8_t* p, size_t n, int64_t at) {
  size_t done = 0;
  while (done < n) {
    const ssize_t r = ::pwrite(fd, p + done, n - done, off_t(at + int64_t(done)));
    if (r < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    if (r == 0) return false;
    done += size_t(r);
  }
  return true;
}

}  // namespace

TFileStream::TFileStream(const std::string& fileName, TFileMode mode) : fileName_(fileName) {
  fd_ = ::open(fileName.c_str(), OpenFlags(mode) | O_CLOEXEC, 0666);
  if (fd_ < 0) throw EFileStreamError("Impossible d'ouvrir le fichier " + fileName);
  struct stat st {};
  if (::fstat(fd_, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(fd_);
    fd_ = -1;
    throw EFileStreamError("Impossible d'ouvrir le fichier " + fileName);
  }
  size_ = int64_t(st.st_size);
  writable_ = mode != fmOpenRead;
  buf_.reset(new uint8_t[kFileBuffer]);
}

TFileStream::TFileStream(int fd, std::string fileName) : fd_(fd), fileName_(std::move(fileName)) {
  buf_.reset(new uint8_t[kFileBuffer]);
}

TFileStream::~TFileStream() {
  try {
    Close();
  } catch (...) {
    // a destructor cannot report; callers that care call Close
  }
}

void TFileStream::Flush() {
  if (wlen_ == 0 || fd_ < 0) return;
  const size_t n = wlen_;
  wlen_ = 0;
  if (!PWriteAll(fd_, buf_.get(), n, wstart_)) throw EWriteError("Impossible d'écrire le fichier " + fileName_);
}

void TFileStream::Close() {
  if (fd_ < 0) return;
  const int fd = fd_;
  try {
    Flush();
  } catch (...) {
    ::close(fd);
    fd_ = -1;
    throw;
  }
  fd_ = -1;
  if (::close(fd) != 0) throw EWriteError("Impossible d'écrire le fichier " + fileName_);
}

size_t TFileStream::Read(void* buffer, size_t count) {
  if (fd_ < 0) throw EReadError("Fichier fermé");
  Flush();
  uint8_t* out = static_cast<uint8_t*>(buffer);
  size_t done = 0;
  while (done < count) {
    if (rlen_ > 0 && pos_ >= rstart_ && pos_ < rstart_ + int64_t(rlen_)) {
      const size_t at = size_t(pos_ - rstart_);
      const size_t n = std::min(count - done, rlen_ - at);
      std::memcpy(out + done, buf_.get() + at, n);
      done += n;
      pos_ += int64_t(n);
      continue;
    }
    const size_t want = count - done;
    size_t got = 0;
    if (want >= kFileBuffer) {
      if (!PReadAll(fd_, out + done, want, pos_, got)) throw EReadError("Impossible de lire le fichier " + fileName_);
      done += got;
      pos_ += int64_t(got);
      break;
    }
    if (!PReadAll(fd_, buf_.get(), kFileBuffer, pos_, got)) throw EReadError("Impossible de lire le fichier " + fileName_);
    rstart_ = pos_;
    rlen_ = got;
    if (got == 0) break;
  }
  return done;
}

void TFileStream::Write(const void* buffer, size_t count) {
  if (fd_ < 0 || !writable_) throw EWriteError("Fichier fermé ou en lecture seule");
  if (count == 0) return;
  DropReadBuffer();
  const uint8_t* in = static_cast<const uint8_t*>(buffer);
  if (wlen_ > 0 && pos_ != wstart_ + int64_t(wlen_)) Flush();
  if (wlen_ == 0) wstart_ = pos_;
  if (count >= kFileBuffer) {
    Flush();
    if (!PWriteAll(fd_, in, count, pos_)) throw EWriteError("Impossible d'écrire le fichier " + fileName_);
  } else {
    size_t done = 0;
    while (done < count) {
      if (wlen_ == kFileBuffer) {
        Flush();
        wstart_ = pos_ + int64_t(done);
      }
      const size_t n = std::min(count - done, kFileBuffer - wlen_);
      std::memcpy(buf_.get() + wlen_, in + done, n);
      wlen_ += n;
      done += n;
    }
  }
  pos_ += int64_t(count);
  size_ = std::max(size_, pos_);
}

void TFileStream::Seek(int64_t position) {
  if (position < 0 || position > size_) throw EStreamError("Position hors du fichier");
  pos_ = position;
}

// --- Atomic replacement -------------------------------------------------------------

namespace {

std::atomic<uint64_t> g_tempCounter{0};

std::string DirName(const std::string& path) {
  const size_t slash = path.find_last_of('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

std::string BaseName(const std::string& path) {
  const size_t slash = path.find_last_of('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

// The file a save replaces: a symbolic link is followed, so that the link stays and
// the file it names gets the new contents.
std::string ResolveTarget(const std::string& target) {
  struct stat st {};
  if (::lstat(target.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) {
    if (char* real = ::realpath(target.c_str(), nullptr)) {
      std::string r(real);
      std::free(real);
      return r;
    }
  }
  return target;
}

// A new, empty file beside the target under a name no other writer uses: the process
// id and a counter, created exclusively (another file of that name is skipped).
std::pair<int, std::string> CreateTemporaryBeside(const std::string& target) {
  // the name's start only, so that a long name leaves room for the suffix
  const std::string dir = DirName(target), base = BaseName(target).substr(0, 200);
  for (int attempt = 0; attempt < 100; ++attempt) {
    const std::string name = dir + "/." + base + "." + std::to_string(::getpid()) + "-" +
                             std::to_string(g_tempCounter.fetch_add(1)) + ".tmp";
    // 0666 less the umask, as any new file
    const int fd = ::open(name.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd >= 0) {
      struct stat st {};
      if (::stat(target.c_str(), &st) == 0 && S_ISREG(st.st_mode)) ::fchmod(fd, st.st_mode & 07777);
      return {fd, name};
    }
    if (errno != EEXIST) break;
  }
  throw EFileStreamError("Impossible de créer le fichier " + target);
}

}  // namespace

TAtomicFileStream::TAtomicFileStream(const std::string& target)
    : TAtomicFileStream(CreateTemporaryBeside(ResolveTarget(target)), ResolveTarget(target)) {}

TAtomicFileStream::TAtomicFileStream(std::pair<int, std::string> created, std::string target)
    : TFileStream(created.first, std::move(created.second)), target_(std::move(target)) {}

TAtomicFileStream::~TAtomicFileStream() {
  if (committed_) return;
  try {
    Close();
  } catch (...) {
  }
  ::unlink(FileName().c_str());
}

void TAtomicFileStream::Commit() {
  if (committed_) return;
  try {
    Close();
  } catch (...) {
    ::unlink(FileName().c_str());
    committed_ = true;
    throw;
  }
  // The file being replaced is let go on a thread of its own: the last close of a
  // large file drops its pages from the cache, waiting for those still being written
  // out (a save of a moment before), which the caller has no reason to wait for
  // (about 60 ms of a 270 MB save on the development machine). Opened without
  // blocking, for a target that is not a plain file.
  int replaced = ::open(target_.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  struct stat st {};
  if (replaced >= 0 && (::fstat(replaced, &st) != 0 || !S_ISREG(st.st_mode))) {
    ::close(replaced);
    replaced = -1;
  }
  if (::rename(FileName().c_str(), target_.c_str()) != 0) {
    if (replaced >= 0) ::close(replaced);
    ::unlink(FileName().c_str());
    committed_ = true;
    throw EFileStreamError("Impossible de remplacer le fichier " + target_);
  }
  committed_ = true;
  if (replaced < 0) return;
  try {
    std::thread([replaced] { ::close(replaced); }).detach();
  } catch (...) {
    ::close(replaced);
  }
}

// --- Stored text ----------------------------------------------------------------------

namespace {

// The length of the well-formed UTF-8 character at s[i], 0 when the bytes there are
// not one (a stray continuation byte, a cut sequence, an overlong form, a surrogate,
// a value beyond U+10FFFF).
size_t Utf8CharLength(std::string_view s, size_t i) {
  const uint8_t c = uint8_t(s[i]);
  if (c < 0x80) return 1;
  size_t len;
  uint32_t cp;
  if (c >= 0xC2 && c <= 0xDF) len = 2, cp = c & 0x1F;
  else if (c >= 0xE0 && c <= 0xEF) len = 3, cp = c & 0x0F;
  else if (c >= 0xF0 && c <= 0xF4) len = 4, cp = c & 0x07;
  else return 0;
  if (s.size() - i < len) return 0;
  for (size_t k = 1; k < len; ++k) {
    const uint8_t d = uint8_t(s[i + k]);
    if ((d & 0xC0) != 0x80) return 0;
    cp = (cp << 6) | (d & 0x3F);
  }
  if ((len == 3 && cp < 0x800) || (len == 4 && (cp < 0x10000 || cp > 0x10FFFF)) || (cp >= 0xD800 && cp <= 0xDFFF))
    return 0;
  return len;
}

}  // namespace

bool IsValidUtf8(std::string_view s) {
  for (size_t i = 0; i < s.size();) {
    const size_t len = Utf8CharLength(s, i);
    if (len == 0) return false;
    i += len;
  }
  return true;
}

std::string ReplaceInvalidUtf8(std::string_view s) {
  static constexpr char kReplacement[] = "\xEF\xBF\xBD";  // U+FFFD
  std::string out;
  out.reserve(s.size());
  for (size_t i = 0; i < s.size();) {
    const size_t len = Utf8CharLength(s, i);
    if (len == 0) {
      out += kReplacement;
      ++i;
    } else {
      out.append(s.data() + i, len);
      i += len;
    }
  }
  return out;
}

std::string Windows1252ToUtf8(std::string_view s) {
  // 0x80..0x9F; the five codes the code page leaves undefined keep their C1 value,
  // as the platform's own conversion did.
  static constexpr uint16_t kHigh[32] = {
      0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
      0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
      0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};
  std::string out;
  out.reserve(s.size() * 2);
  for (const char ch : s) {
    const uint8_t c = uint8_t(ch);
    const uint32_t cp = c >= 0x80 && c <= 0x9F ? kHigh[c - 0x80] : c;
    if (cp < 0x80) {
      out.push_back(char(cp));
    } else if (cp < 0x800) {
      out.push_back(char(0xC0 | (cp >> 6)));
      out.push_back(char(0x80 | (cp & 0x3F)));
    } else {
      out.push_back(char(0xE0 | (cp >> 12)));
      out.push_back(char(0x80 | ((cp >> 6) & 0x3F)));
      out.push_back(char(0x80 | (cp & 0x3F)));
    }
  }
  return out;
}

std::string DecodeStoredText(std::string_view bytes) {
  return IsValidUtf8(bytes) ? std::string(bytes) : Windows1252ToUtf8(bytes);
}

std::string_view Utf8Prefix(std::string_view s, size_t maxBytes) {
  if (s.size() <= maxBytes) return s;
  size_t n = maxBytes;
  // back over continuation bytes to the start of the character that was cut
  while (n > 0 && (uint8_t(s[n]) & 0xC0) == 0x80) --n;
  return s.substr(0, n);
}

void WriteStoredString(TStream& s, std::string_view text, size_t maxBytes) {
  const std::string_view t = Utf8Prefix(text, std::min<size_t>(maxBytes, INT32_MAX));
  s.WriteInt32(int32_t(t.size()));
  s.Write(t.data(), t.size());
}

std::string ReadStoredString(TStream& s) {
  const int32_t n = s.ReadInt32();
  s.Require(n);
  std::string bytes(size_t(n), '\0');
  s.ReadBuffer(bytes.data(), bytes.size());
  return DecodeStoredText(bytes);
}

}  // namespace qm
