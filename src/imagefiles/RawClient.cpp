#include "imagefiles/RawClient.h"

#include <dlfcn.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cfenv>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <unordered_set>

#include "imagefiles/FileFormats.h"
#include "imagefiles/FormatRegistry.h"
#include "imagefiles/GmCodec.h"
#include "platform/core/Exceptions.h"
#include "imagefiles/ImageFileUtils.h"
#include "imagefiles/JpegCodec.h"
#include "imagefiles/RawModuleApi.h"
#include "platform/texts/AppPaths.h"

// The handle the module holds: our file, a tag, and the append state.
struct QxlRawFile {
  qm::TFastFile* File;
  uint32_t Tag;
  int32_t AppendMode;  // 0 none, 1 append
  int64_t AppendPosition;
};

namespace qm {

// --- TFastFile ------------------------------------------------------------------

TFastFile::TFastFile(const std::string& fileName, int mode, int& ioResult) {
  ioResult = 0;
  if (fileName.empty()) {
    isStream_ = true;
    return;
  }
  int flags;
  if (mode == ffCreate) {
    flags = O_RDWR | O_CREAT | O_TRUNC;
  } else {
    switch (mode & 3) {
      case ffOpenWrite:
        flags = O_WRONLY;
        break;
      case ffOpenReadWrite:
        flags = O_RDWR;
        break;
      default:
        flags = O_RDONLY;
    }
  }
  fd_ = ::open(fileName.c_str(), flags | O_CLOEXEC, 0666);
  if (fd_ < 0) {
    ioResult = errno ? errno : EIO;
    return;
  }
  struct stat st{};
  if (::fstat(fd_, &st) == 0 && S_ISDIR(st.st_mode)) {
    ::close(fd_);
    fd_ = -1;
    ioResult = EISDIR;
  }
}

TFastFile::~TFastFile() {
  if (fd_ >= 0) ::close(fd_);
}

int64_t TFastFile::Size() {
  if (isStream_) return int64_t(stream_.size());
  struct stat st{};
  if (fd_ < 0 || ::fstat(fd_, &st) != 0) {
    error_ = true;
    return 0;
  }
  return int64_t(st.st_size);
}

int64_t TFastFile::Position() const { return physical_ - left_; }

void TFastFile::Seek(int64_t offset, int origin) {
  int64_t target;
  switch (origin) {
    case 0:
      target = offset;
      break;
    case 1:
      target = Position() + offset;
      break;
    case 2:
      target = Size() + offset;
      break;
    default:
      error_ = true;
      return;
  }
  if (target < 0 || !IsOpen()) {
    error_ = true;
    return;
  }
  const int64_t start = physical_ - filled_;
  if (target >= start && target <= physical_) {
    index_ = target - start;
    left_ = physical_ - target;
    return;
  }
  // A seek outside the buffer is a new start: its success clears an earlier error, as
  // a reader that seeks back after a failed read expects.
  physical_ = target;
  left_ = filled_ = index_ = 0;
  error_ = false;
}

bool TFastFile::Fill() {
  left_ = filled_ = index_ = 0;
  int64_t got = 0;
  if (isStream_) {
    if (physical_ < int64_t(stream_.size())) {
      got = std::min<int64_t>(kBufferSize, int64_t(stream_.size()) - physical_);
      std::memcpy(buffer_, stream_.data() + physical_, size_t(got));
    }
  } else {
    const ssize_t r = ::pread(fd_, buffer_, kBufferSize, off_t(physical_));
    if (r < 0) {
      error_ = true;
      return false;
    }
    got = r;
  }
  physical_ += got;
  left_ = filled_ = got;
  return got > 0;
}

int64_t TFastFile::Read(void* buffer, int64_t n) {
  if (!IsOpen() || n <= 0 || !buffer) return 0;
  auto* out = static_cast<uint8_t*>(buffer);
  int64_t done = 0;
  while (done < n) {
    if (left_ > 0) {
      const int64_t k = std::min(left_, n - done);
      std::memcpy(out + done, buffer_ + index_, size_t(k));
      index_ += k;
      left_ -= k;
      done += k;
      continue;
    }
    if (error_) break;
    // Large reads skip the buffer: the bytes would only be copied twice.
    if (n - done >= kBufferSize) {
      const int64_t want = (n - done) / kBufferSize * kBufferSize;
      int64_t got = 0;
      if (isStream_) {
        got = std::max<int64_t>(0, std::min<int64_t>(want, int64_t(stream_.size()) - physical_));
        if (got > 0) std::memcpy(out + done, stream_.data() + physical_, size_t(got));
      } else {
        const ssize_t r = ::pread(fd_, out + done, size_t(want), off_t(physical_));
        if (r < 0) {
          error_ = true;
          break;
        }
        got = r;
      }
      // The buffer is empty: the logical position moves with the physical one.
      filled_ = index_ = 0;
      physical_ += got;
      done += got;
      if (got < want) break;
      continue;
    }
    if (!Fill()) break;
  }
  return done;
}

int TFastFile::ReadByte() {
  if (error_) return -1;
  if (left_ == 0 && !Fill()) return -1;
  --left_;
  return buffer_[index_++];
}

int64_t TFastFile::Write(const void* buffer, int64_t n) {
  if (!IsOpen() || n <= 0 || !buffer) return 0;
  const int64_t pos = Position();
  int64_t written = 0;
  if (isStream_) {
    if (uint64_t(pos + n) > stream_.size()) stream_.resize(size_t(pos + n));
    std::memcpy(stream_.data() + pos, buffer, size_t(n));
    written = n;
  } else {
    const auto* p = static_cast<const uint8_t*>(buffer);
    while (written < n) {
      const ssize_t r = ::pwrite(fd_, p + written, size_t(n - written), off_t(pos + written));
      if (r <= 0) break;
      written += r;
    }
  }
  if (written < n) error_ = true;
  physical_ = pos + written;
  left_ = filled_ = index_ = 0;
  return written;
}

// --- Callbacks ------------------------------------------------------------------

namespace {

constexpr uint32_t kHandleTag = 0x6969;

// The handles made during the current module call (callbacks come from the calling
// thread only). A handle the module passes is used only when it is one of them.
thread_local std::unordered_set<QxlRawFile*> tHandles;
// The last handle found valid: the byte reader is called once per byte by some
// decoders and checks it first.
thread_local QxlRawFile* tLastHandle = nullptr;

QxlRawFile* Valid(QxlRawFile* h) {
  if (!h) return nullptr;
  if (h == tLastHandle) return h;
  if (!tHandles.count(h) || h->Tag != kHandleTag || !h->File) return nullptr;
  tLastHandle = h;
  return h;
}

QxlRawFile* NewHandle(TFastFile* file, bool append) {
  auto* h = new QxlRawFile{file, kHandleTag, append ? 1 : 0, append ? file->Size() : 0};
  tHandles.insert(h);
  return h;
}

void FreeHandle(QxlRawFile* h) {
  if (tLastHandle == h) tLastHandle = nullptr;
  tHandles.erase(h);
  delete h->File;
  h->Tag = 0;
  delete h;
}

int64_t CbFileNumber(QxlRawFile* file) {
  QxlRawFile* h = Valid(file);
  return h ? int64_t(reinterpret_cast<intptr_t>(h->File) & INT64_MAX) : -1;
}

char* CbReadLine(char* buffer, int32_t size, QxlRawFile* file) {
  if (!buffer || size < 1) return nullptr;
  QxlRawFile* h = Valid(file);
  if (!h) {
    buffer[0] = 0;
    return buffer;
  }
  TFastFile& f = *h->File;
  if (f.Position() >= f.Size()) return nullptr;
  int32_t n = 0;
  while (n < size - 1) {
    const int c = f.ReadByte();
    if (c < 0 || c == '\n') break;
    buffer[n++] = char(c);
  }
  buffer[n] = 0;
  return buffer;
}

QxlRawFile* CbOpen(const char* name, const char* mode) {
  if (!name || !mode) return nullptr;
  const std::string m(mode);
  int fmode;
  bool append = false;
  // "rb+" asks for reading and writing as "r+" does.
  if (m.find("r+") != std::string::npos || (m.find('r') != std::string::npos && m.find('+') != std::string::npos))
    fmode = ffOpenReadWrite;
  else if (m.find('r') != std::string::npos)
    fmode = ffOpenRead;
  else if (m.find('w') != std::string::npos)
    fmode = ffCreate;
  else if (m.find('a') != std::string::npos) {
    fmode = ffOpenReadWrite;
    append = true;
  } else
    return nullptr;
  try {
    int io = 0;
    auto file = std::make_unique<TFastFile>(name, fmode, io);
    if (io != 0 || !file->IsOpen()) return nullptr;
    return NewHandle(file.release(), append);
  } catch (...) {
    return nullptr;
  }
}

int32_t CbClose(QxlRawFile* file) {
  QxlRawFile* h = Valid(file);
  if (!h) return -1;
  FreeHandle(h);
  return 0;
}

int64_t CbTell(QxlRawFile* file) {
  QxlRawFile* h = Valid(file);
  return h ? h->File->Position() : -1;
}

int32_t CbFlush(QxlRawFile*) { return 0; }

int64_t CbRead(void* buffer, size_t size, size_t count, QxlRawFile* file) {
  QxlRawFile* h = Valid(file);
  if (!h) return -1;
  if (size == 0 || count == 0 || !buffer) return 0;
  if (count > size_t(INT64_MAX) / size) return -1;
  const int64_t got = h->File->Read(buffer, int64_t(size * count));
  return got / int64_t(size);
}

int32_t CbReadByte(QxlRawFile* file) {
  QxlRawFile* h = Valid(file);
  return h ? h->File->ReadByte() : -1;
}

int64_t CbWrite(const void* buffer, size_t size, size_t count, QxlRawFile* file) {
  QxlRawFile* h = Valid(file);
  if (!h) return -1;
  if (size == 0 || count == 0 || !buffer) return 0;
  if (count > size_t(INT64_MAX) / size) return -1;
  if (h->AppendMode) h->File->Seek(h->AppendPosition, 0);
  const int64_t written = h->File->Write(buffer, int64_t(size * count));
  if (h->AppendMode) h->AppendPosition += written;
  return written / int64_t(size);
}

int32_t CbWriteByte(int32_t character, QxlRawFile* file) {
  if (!file) return std::putchar(character) == EOF ? -1 : character & 255;
  const uint8_t b = uint8_t(character);
  return CbWrite(&b, 1, 1, file) == 1 ? character & 255 : -1;
}

int32_t CbWriteText(const char* text, QxlRawFile* file) {
  if (!text) return -1;
  const size_t n = std::strlen(text);
  if (n == 0) return Valid(file) ? 1 : -1;
  return CbWrite(text, 1, n, file) == int64_t(n) ? 1 : -1;
}

int32_t CbEndOfFile(QxlRawFile* file) {
  QxlRawFile* h = Valid(file);
  if (!h) return -1;
  return h->File->Position() >= h->File->Size() ? -1 : 0;
}

int32_t CbSeek(QxlRawFile* file, int64_t offset, int32_t whence) {
  QxlRawFile* h = Valid(file);
  if (!h || whence < 0 || whence > 2) return -1;
  h->File->Seek(offset, whence);
  if (whence == 0) return h->File->Position() == offset ? 0 : -1;
  return 0;
}

void* MemAllocate(size_t size) { return std::malloc(size ? size : 1); }
void* MemRelease(void* block) {
  std::free(block);
  return nullptr;
}

int32_t ProgressReport(void*, int32_t, int32_t) { return 0; }

QxlRawCallbacks MakeCallbacks(QxlRawFile* hostFile) {
  QxlRawCallbacks cb{};
  cb.Size = sizeof(QxlRawCallbacks);
  cb.FileNumber = CbFileNumber;
  cb.ReadLine = CbReadLine;
  cb.Open = CbOpen;
  cb.Close = CbClose;
  cb.Tell = CbTell;
  cb.Flush = CbFlush;
  cb.Read = CbRead;
  cb.ReadByte = CbReadByte;
  cb.Write = CbWrite;
  cb.WriteByte = CbWriteByte;
  cb.WriteText = CbWriteText;
  cb.EndOfFile = CbEndOfFile;
  cb.Seek = CbSeek;
  cb.HostFile = hostFile;
  return cb;
}

QxlRawMemory MakeMemory() {
  QxlRawMemory m{};
  m.Size = sizeof(QxlRawMemory);
  m.Allocate = MemAllocate;
  m.Release = MemRelease;
  return m;
}

// The RAW file the host opens for the module, and every handle the module left open:
// all freed when the call's scope ends.
class THostFiles {
 public:
  explicit THostFiles(const std::string& fileName) {
    int io = 0;
    auto file = std::make_unique<TFastFile>(fileName, ffOpenRead, io);
    // An unreadable file is not refused here: the module sees failing callbacks.
    file->Seek(0, 0);
    host_ = NewHandle(file.release(), false);
  }
  THostFiles() = default;
  ~THostFiles() {
    while (!tHandles.empty()) FreeHandle(*tHandles.begin());
  }
  QxlRawFile* Host() const { return host_; }
  void Rewind() {
    if (Valid(host_)) {
      host_->File->ClearError();
      host_->File->Seek(0, 0);
    }
  }

 private:
  QxlRawFile* host_ = nullptr;
};

// --- The module -----------------------------------------------------------------

std::string& PluginPath() {
  static std::string path;
  return path;
}

// One loading of the module for one operation. dlopen counts loadings, so operations
// on several threads each hold their own and none unloads the module under another.
class TModule {
 public:
  TModule() = default;
  ~TModule() { Unload(); }
  TModule(const TModule&) = delete;
  TModule& operator=(const TModule&) = delete;

  bool Load(const std::string& path) {
    Unload();
    if (path.empty()) return false;
    handle_ = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle_) return false;
    info = reinterpret_cast<QxlRawInfoFn>(::dlsym(handle_, "RawInfo"));
    decode = reinterpret_cast<QxlFromRawToPSDFn>(::dlsym(handle_, "FromRawToPSD"));
    thumbnail = reinterpret_cast<QxlExtractThumbnailFn>(::dlsym(handle_, "ExtractThumbnail"));
    if (info && decode && thumbnail) return true;
    Unload();
    return false;
  }
  void Unload() {
    if (handle_) ::dlclose(handle_);
    handle_ = nullptr;
    info = nullptr;
    decode = nullptr;
    thumbnail = nullptr;
  }
  bool Loaded() const { return handle_ != nullptr; }

  QxlRawInfoFn info = nullptr;
  QxlFromRawToPSDFn decode = nullptr;
  QxlExtractThumbnailFn thumbnail = nullptr;

 private:
  void* handle_ = nullptr;
};

// The loading LoadRawPlugin keeps for its caller (GUI thread).
TModule& HeldModule() {
  static TModule m;
  return m;
}

// Calls into the module in the default floating-point environment (all exceptions
// masked, round to nearest) and puts ours back afterwards; an exception that leaves
// the module counts as error -1.
template <class F>
int32_t CallModule(F&& call) {
  fenv_t saved;
  fegetenv(&saved);
  fesetenv(FE_DFL_ENV);
  int32_t result;
  try {
    result = call();
  } catch (...) {
    result = -1;
  }
  fesetenv(FE_DFL_ENV);
  fesetenv(&saved);
  return result;
}

[[noreturn]] void DecodingError(int64_t code) {
  throw EInvalidGraphic("Error in decoding RAW image. Error code = " + std::to_string(code));
}

// The module for one operation, loaded from the path set at start-up.
void RequireModule(TModule& module) {
  if (!module.Load(PluginPath())) throw EInvalidGraphic("DLL not loaded");
}

std::string Text(const char* buffer, size_t size) { return std::string(buffer, strnlen(buffer, size)); }

const char* NameOrPlaceholder(const std::string& fileName) {
  return fileName.empty() ? QXL_RAW_NO_FILE_NAME : fileName.c_str();
}

QxlRawOptions MakeOptions(int bits) {
  QxlRawOptions o{};
  o.Size = sizeof(QxlRawOptions);
  o.Params[0] = 0.6f;
  o.Params[1] = o.Params[2] = o.Params[3] = 1.0f;
  auto bit = [&](int b) { return uint8_t((bits >> b) & 1); };
  o.Flags[0] = bit(0);
  o.Flags[1] = bit(1);
  o.Flags[2] = bit(6);
  o.Flags[3] = bit(2);
  o.Flags[4] = bit(3);
  o.Flags[5] = uint8_t(1 - bit(4));
  o.Flags[6] = bit(5);
  return o;
}

struct TInfoResult {
  int32_t width = 0, height = 0, margin = 0, extra = 0;
  char a[QXL_RAW_TEXT_A_SIZE] = {}, b[QXL_RAW_TEXT_B_SIZE] = {}, c[QXL_RAW_TEXT_C_SIZE] = {};
};

int32_t CallInfo(const TModule& module, const std::string& fileName, QxlRawFile* host, int32_t flag,
                 TInfoResult& r) {
  const QxlRawCallbacks cb = MakeCallbacks(host);
  const QxlRawMemory mem = MakeMemory();
  const int32_t code = CallModule([&] {
    return module.info(&cb, &mem, NameOrPlaceholder(fileName), flag, &r.width, &r.height, &r.margin, &r.extra, r.a,
                       r.b, r.c);
  });
  r.a[sizeof r.a - 1] = r.b[sizeof r.b - 1] = r.c[sizeof r.c - 1] = 0;
  return code;
}

}  // namespace

QxlRawCallbacks RawHostCallbacks() { return MakeCallbacks(nullptr); }

void SetRawPluginPath(const std::string& path) { PluginPath() = path; }
const std::string& RawPluginPath() { return PluginPath(); }
bool RawPluginExists() { return FileExists(PluginPath()); }

std::string DefaultRawPluginPath() {
  std::vector<std::string> candidates;
  char exe[4096];
  const ssize_t n = ::readlink("/proc/self/exe", exe, sizeof exe - 1);
  if (n > 0) {
    exe[n] = 0;
    const std::string dir = FolderOf(exe);
    candidates.push_back(dir + "/Plugins/raw.qxl");
    candidates.push_back(FolderOf(dir) + "/lib/quillomatic/Plugins/raw.qxl");
  }
  candidates.push_back(UserFolder(TUserFolder::Plugins) + "/raw.qxl");
  for (const std::string& c : candidates)
    if (FileExists(c)) return c;
  return candidates.front();
}

bool LoadRawPlugin() { return HeldModule().Loaded() || HeldModule().Load(PluginPath()); }

void UnloadRawPlugin() { HeldModule().Unload(); }

bool CheckRawGeometry(int width, int height, int margin, int& innerWidth, int& innerHeight) {
  innerWidth = innerHeight = 0;
  if (width < 1 || height < 1 || margin < 0) return false;
  const int64_t w = int64_t(width) - 2 * int64_t(margin), h = int64_t(height) - 2 * int64_t(margin);
  if (w < 1 || h < 1 || w > kMaxBitmapSide || h > kMaxBitmapSide || uint64_t(w) * uint64_t(h) > kMaxPicturePixels)
    return false;
  innerWidth = int(w);
  innerHeight = int(h);
  return true;
}

void ReadRawInfo(const std::string& fileName, TRawInfo& info) {
  TInfoResult r;
  int32_t code;
  {
    TModule module;
    RequireModule(module);
    THostFiles files(fileName);
    code = CallInfo(module, fileName, files.Host(), 0, r);
  }
  if (code != 0) DecodingError(code);
  int w = 0, h = 0;
  if (!CheckRawGeometry(r.width, r.height, r.margin, w, h)) DecodingError(-1);
  info.TextA = Text(r.a, sizeof r.a);
  info.TextB = Text(r.b, sizeof r.b);
  info.TextC = Text(r.c, sizeof r.c);
  info.Width = w;
  info.Height = h;
  info.Resolution = 72.0;
}

void DecodeRawFile(const std::string& fileName, TBitmap& bitmap, int options, const TPictureLimit& limit) {
  TModule module;
  RequireModule(module);
  const QxlRawOptions opts = MakeOptions(options);
  THostFiles files(fileName);
  TInfoResult r;
  const int32_t code = CallInfo(module, fileName, files.Host(), (options >> 6) & 1, r);
  if (code != 0) DecodingError(code);
  int w = 0, h = 0;
  if (!CheckRawGeometry(r.width, r.height, r.margin, w, h)) DecodingError(-1);
  limit.Check(w, h);
  TBitmap out(w, h, pf24bit, clBlack);
  // One row address per row of the picture, however tall.
  std::vector<uint8_t*> rows(static_cast<size_t>(h));
  for (int y = 0; y < h; ++y) rows[size_t(y)] = out.ScanLine(y);
  files.Rewind();
  const QxlRawCallbacks cb = MakeCallbacks(files.Host());
  const QxlRawMemory mem = MakeMemory();
  QxlRawProgress progress{};
  progress.Size = sizeof(QxlRawProgress);
  progress.Report = ProgressReport;
  const int32_t decoded = CallModule([&] {
    return module.decode(&cb, &mem, &progress, NameOrPlaceholder(fileName), &opts, rows.data(), r.width, r.height,
                         r.margin, r.a, r.b, r.c);
  });
  if (decoded != 0) DecodingError(decoded);
  bitmap = std::move(out);
}

void ExtractRawThumbnail(const std::string& fileName, TBitmap& target) {
  TModule module;
  RequireModule(module);
  int32_t kind = QXL_RAW_THUMB_QUERY;
  TTempFile thumb(CreateUniqueFile(TempFolder(), "raw_thumb_", ".tmp"));
  int32_t result;
  {
    THostFiles files;
    const QxlRawCallbacks cb = MakeCallbacks(nullptr);
    result = CallModule([&] { return module.thumbnail(&cb, NameOrPlaceholder(fileName), thumb.Name().c_str(), &kind); });
  }
  module.Unload();
  if (result != 1) DecodingError(result);
  TBitmap picture;
  if (kind == QXL_RAW_THUMB_JPEG) {
    TJpegImage2 jpeg;
    jpeg.Preview = true;
    jpeg.LoadFromFile(thumb.Name());
    picture = std::move(jpeg.Picture);
  } else if (kind == QXL_RAW_THUMB_PPM) {
    ReadWithGraphicsMagick(thumb.Name(), "PNM", picture);
  } else {
    DecodingError(kind);
  }
  target = std::move(picture);
}

// --- RAW formats ----------------------------------------------------------------

const std::vector<TRawFormatRow>& RawFormatTable() {
  static const std::vector<TRawFormatRow> rows = {
      {"raw", "RAW", "TRawImageRaw"},          {"kdc;dcr;dc2", "Kodak raw", "TRawImageKodak"},
      {"crw;cr2", "Canon raw", "TRawImageCanon"}, {"mrw", "Minolta raw", "TRawImageMinolta"},
      {"nef", "Nikon raw", "TRawImageNikon"},  {"orf", "Olympus raw", "TRawImageOlympus"},
      {"pef", "Pentax raw", "TRawImagePentax"}, {"raf", "Fuji raw", "TRawImageFuji"},
      {"srf", "Sony raw", "TRawImageSony"},    {"x3f", "Sigma raw", "TRawImageSigma"},
      {"cam", "Casio raw", "TRawImageCasio"},
  };
  return rows;
}

bool IsRawFile(const std::string& fileName) {
  std::string ext = LowerExt(fileName);
  if (ext.size() < 2) return false;
  ext.erase(0, 1);
  const auto& rows = RawFormatTable();
  for (size_t i = rows.size(); i-- > 0;)
    for (const std::string& e : SplitExtensionList(rows[i].Extensions))
      if (e == ext) return true;
  return false;
}

void TRawImage::LoadFromFile(const std::string& fileName) {
  StoredWidth = StoredHeight = 0;
  TRawInfo info;
  ReadRawInfo(fileName, info);
  if (!Preview) {
    DecodeRawFile(fileName, Picture, kRawDecodeOptions, Options.Limit);
  } else {
    try {
      ExtractRawThumbnail(fileName, Picture);
    } catch (...) {
      Picture = TBitmap();
    }
  }
  StoredWidth = info.Width;
  StoredHeight = info.Height;
}

const std::vector<std::shared_ptr<const TGraphicClass>>& RawGraphicClasses() {
  static const std::vector<std::shared_ptr<const TGraphicClass>> classes = [] {
    std::vector<std::shared_ptr<const TGraphicClass>> v;
    for (const TRawFormatRow& row : RawFormatTable())
      v.push_back(std::make_shared<const TGraphicClass>(
          TGraphicClass{row.ClassName, ReadReduciblePicture<TRawImage>, TFileObject::Raw,
                        rrStoredSize | rrColorCount | rrFrameCount | rrReducedPreview}));
    return v;
  }();
  return classes;
}

namespace {
bool& RawFormatsRegistered() {
  static bool registered = false;
  return registered;
}
}  // namespace

void RegisterRawFormats() {
  if (!RawPluginExists() || RawFormatsRegistered()) return;
  const auto& classes = RawGraphicClasses();
  for (size_t i = 0; i < classes.size(); ++i) {
    const TRawFormatRow& row = RawFormatTable()[i];
    for (const std::string& e : SplitExtensionList(row.Extensions))
      FileFormatList().Register(e, row.Description, row.Description, fkRaster, classes[i]);
  }
  RawFormatsRegistered() = true;
}

void UnregisterRawFormats() {
  if (!RawFormatsRegistered()) return;
  for (const auto& cls : RawGraphicClasses()) FileFormatList().Unregister(cls.get());
  RawFormatsRegistered() = false;
}

}  // namespace qm
