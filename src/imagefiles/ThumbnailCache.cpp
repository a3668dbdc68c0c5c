#include "imagefiles/ThumbnailCache.h"

#include <png.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>
#include <vector>

#include "imagefiles/FileDispatch.h"
#include "imagefiles/ImageFileUtils.h"
#include "imagefiles/Metadata.h"
#include "pixel/PixelFormat.h"
#include "pixel/Thumbnail.h"
#include "platform/core/Exceptions.h"
#include "platform/core/Md5.h"

namespace qm {
namespace {

// The largest entry we read: the standard's largest size is 1024 (xx-large).
constexpr png_uint_32 kMaxEntrySide = 1024;
// Text chunks are short; a longer one is no entry of ours to trust.
constexpr size_t kMaxTextLength = 4096;

constexpr char kSoftware[] = "Quillomatic Morvek";
// Our own key: which metadata blocks the file holds ("E", "I", "C" in any order).
constexpr char kMetadataKey[] = "X-Quillomatic::Metadata";

void OnPngError(png_structp png, png_const_charp) { png_longjmp(png, 1); }
void OnPngWarning(png_structp, png_const_charp) {}

struct TFileCloser {
  void operator()(FILE* f) const {
    if (f) std::fclose(f);
  }
};
using TFilePtr = std::unique_ptr<FILE, TFileCloser>;

struct TTextPair {
  std::string Key, Value;
};

// --- Writing (setjmp phases keep plain C locals only) --------------------------------

bool WriteEntryPng(FILE* f, int width, int height, png_bytepp rows, png_textp texts, int textCount) {
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, OnPngError, OnPngWarning);
  if (!png) return false;
  png_infop info = png_create_info_struct(png);
  if (!info || setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    return false;
  }
  png_init_io(png, f);
  png_set_IHDR(png, info, png_uint_32(width), png_uint_32(height), 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
               PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_set_text(png, info, texts, textCount);
  // Small pictures written often and read often: a fast level is the better trade.
  png_set_compression_level(png, 3);
  png_set_bgr(png);
  png_write_info(png, info);
  png_write_image(png, rows);
  png_write_end(png, info);
  png_destroy_write_struct(&png, &info);
  return true;
}

// Written under a unique name beside the entry (mkstemp: readable by the user alone,
// as the standard asks) and renamed over it.
void WriteEntry(const std::string& path, const TBitmap& picture, const std::vector<TTextPair>& pairs) {
  TTempFile temp(CreateUniqueFile(FolderOf(path), ".qm-thumb.", ".png"));
  {
    TFilePtr f(std::fopen(temp.Name().c_str(), "wb"));
    if (!f) throw EInvalidGraphic("cannot write the thumbnail");
    std::vector<png_text> texts(pairs.size());
    for (size_t i = 0; i < pairs.size(); ++i) {
      texts[i].compression = PNG_TEXT_COMPRESSION_NONE;
      texts[i].key = const_cast<char*>(pairs[i].Key.c_str());
      texts[i].text = const_cast<char*>(pairs[i].Value.c_str());
    }
    std::vector<png_bytep> rows(size_t(picture.Height()));
    for (int y = 0; y < picture.Height(); ++y) rows[size_t(y)] = const_cast<png_bytep>(picture.ScanLine(y));
    if (!WriteEntryPng(f.get(), picture.Width(), picture.Height(), rows.data(), texts.data(), int(texts.size())) ||
        std::fflush(f.get()) != 0)
      throw EInvalidGraphic("cannot write the thumbnail");
  }
  if (::rename(temp.Name().c_str(), path.c_str()) != 0) throw EInvalidGraphic("cannot write the thumbnail");
  temp.Release();
}

// --- Reading --------------------------------------------------------------------------

struct TEntryInfo {
  png_uint_32 width, height;
  int colorType;
};

bool ReadEntryHeader(png_structp png, png_infop info, FILE* f, TEntryInfo* ei) {
  if (setjmp(png_jmpbuf(png))) return false;
  png_init_io(png, f);
  png_set_user_limits(png, kMaxEntrySide, kMaxEntrySide);
  png_read_info(png, info);
  int bitDepth = 0, interlace = 0;
  png_get_IHDR(png, info, &ei->width, &ei->height, &bitDepth, &ei->colorType, &interlace, nullptr, nullptr);
  png_set_strip_16(png);
  png_set_expand(png);  // palettes to RGB, grey below 8 bits to 8 bits, tRNS to alpha
  if (ei->colorType == PNG_COLOR_TYPE_GRAY || ei->colorType == PNG_COLOR_TYPE_GRAY_ALPHA) png_set_gray_to_rgb(png);
  png_set_filler(png, 0xFF, PNG_FILLER_AFTER);  // always 4 bytes: B, G, R, A
  png_set_bgr(png);
  if (interlace != PNG_INTERLACE_NONE) png_set_interlace_handling(png);
  png_read_update_info(png, info);
  return true;
}

bool ReadEntryRows(png_structp png, png_infop endInfo, png_bytepp rows) {
  if (setjmp(png_jmpbuf(png))) return false;
  png_read_image(png, rows);
  png_read_end(png, endInfo);
  return true;
}

void CollectTexts(png_structp png, png_infop info, std::vector<TTextPair>& out) {
  png_textp texts = nullptr;
  int n = 0;
  if (!png_get_text(png, info, &texts, &n) || !texts) return;
  for (int i = 0; i < n; ++i) {
    if (!texts[i].key || !texts[i].text) continue;
    const size_t length = texts[i].compression > 0 ? texts[i].itxt_length : texts[i].text_length;
    if (length > kMaxTextLength) continue;
    out.push_back({texts[i].key, std::string(texts[i].text, length)});
  }
}

// Reads an entry: the picture laid over white when it has alpha, and its text chunks.
bool ReadEntry(const std::string& path, TBitmap* picture, std::vector<TTextPair>& texts) {
  TFilePtr f(std::fopen(path.c_str(), "rb"));
  if (!f) return false;
  png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, OnPngError, OnPngWarning);
  if (!png) return false;
  png_infop info = png_create_info_struct(png), endInfo = png_create_info_struct(png);
  struct TGuard {
    png_structp* p;
    png_infop* i;
    png_infop* e;
    ~TGuard() { png_destroy_read_struct(p, i, e); }
  } guard{&png, &info, &endInfo};
  if (!info || !endInfo) return false;
  TEntryInfo ei{};
  if (!ReadEntryHeader(png, info, f.get(), &ei) || ei.width == 0 || ei.height == 0) return false;
  CollectTexts(png, info, texts);
  if (!picture) return true;
  std::vector<uint8_t> bgra(size_t(ei.width) * ei.height * 4);
  std::vector<png_bytep> rows(ei.height);
  for (png_uint_32 y = 0; y < ei.height; ++y) rows[y] = bgra.data() + size_t(y) * ei.width * 4;
  if (!ReadEntryRows(png, endInfo, rows.data())) return false;
  CollectTexts(png, endInfo, texts);
  TBitmap bmp(int(ei.width), int(ei.height), pf24bit, clWhite);
  for (int y = 0; y < bmp.Height(); ++y) {
    const uint8_t* s = rows[size_t(y)];
    uint8_t* d = bmp.ScanLine(y);
    for (int x = 0; x < bmp.Width(); ++x, s += 4, d += 3) {
      const unsigned a = s[3];
      for (int c = 0; c < 3; ++c) d[c] = uint8_t((s[c] * a + 255 * (255 - a) + 127) / 255);
    }
  }
  *picture = std::move(bmp);
  return true;
}

const std::string* FindText(const std::vector<TTextPair>& texts, const char* key) {
  for (const TTextPair& t : texts)
    if (t.Key == key) return &t.Value;
  return nullptr;
}

bool ParseInt64(const std::string* text, int64_t& v) {
  if (!text || text->empty() || text->size() > 20) return false;
  char* end = nullptr;
  errno = 0;
  v = std::strtoll(text->c_str(), &end, 10);
  return errno == 0 && end && *end == 0;
}

// The URI and the time must match; the size too when the entry records one.
bool EntryMatches(const std::vector<TTextPair>& texts, const std::string& uri, const TFileStamp& stamp) {
  const std::string* u = FindText(texts, "Thumb::URI");
  int64_t mtime = 0, size = 0;
  if (!u || *u != uri || !ParseInt64(FindText(texts, "Thumb::MTime"), mtime) || mtime != int64_t(stamp.MTime))
    return false;
  const std::string* s = FindText(texts, "Thumb::Size");
  return !s || (ParseInt64(s, size) && size == stamp.Size);
}

void MakeFolder(const std::string& path) { ::mkdir(path.c_str(), 0700); }

// exiv2's XMP parser is set up without a lock: one metadata read at a time.
std::mutex& MetadataLock() {
  static std::mutex m;
  return m;
}

// Fits a 24-bit picture in the cached box, averaging whole blocks; smaller pictures
// stay as they are.
TBitmap FitForCache(TBitmap&& picture) {
  const int w = picture.Width(), h = picture.Height();
  if (w <= kCachedThumbnailSide && h <= kCachedThumbnailSide) return std::move(picture);
  int tw = kCachedThumbnailSide, th = kCachedThumbnailSide;
  if (w >= h) th = std::max(1, int((int64_t(h) * kCachedThumbnailSide + w / 2) / w));
  else tw = std::max(1, int((int64_t(w) * kCachedThumbnailSide + h / 2) / h));
  TBitmap out(tw, th, pf24bit);
  ReduceForThumbnail(picture, TRect{0, 0, w, h}, out, h / th + 1);
  return out;
}

}  // namespace

bool GetFileStamp(const std::string& fileName, TFileStamp& stamp) {
  struct stat st {};
  if (::stat(fileName.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return false;
  stamp.Size = int64_t(st.st_size);
  stamp.MTime = st.st_mtime;
  return true;
}

std::string FileUri(const std::string& absolutePath) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string uri = "file://";
  for (unsigned char c : absolutePath) {
    const bool keep = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                      std::strchr("-_.!~*'()/$&+,=:@", c) != nullptr;
    if (keep && c != 0) {
      uri += char(c);
    } else {
      uri += '%';
      uri += kHex[c >> 4];
      uri += kHex[c & 15];
    }
  }
  return uri;
}

std::string AbsolutePath(const std::string& path) {
  if (!path.empty() && path[0] == '/') return path;
  std::vector<char> buf(4096);
  if (!::getcwd(buf.data(), buf.size())) return path;
  std::string cwd = buf.data();
  if (cwd.empty() || cwd.back() != '/') cwd += '/';
  return cwd + (path.rfind("./", 0) == 0 ? path.substr(2) : path);
}

std::string TThumbnailCache::UserCacheRoot() {
  const char* xdg = std::getenv("XDG_CACHE_HOME");
  if (xdg && xdg[0] == '/') return std::string(xdg) + "/thumbnails";
  const char* home = std::getenv("HOME");
  return std::string(home && *home ? home : TempFolder().c_str()) + "/.cache/thumbnails";
}

TThumbnailCache::TThumbnailCache(std::string root) : root_(root.empty() ? UserCacheRoot() : std::move(root)) {}

std::string TThumbnailCache::EntryPath(const std::string& absolutePath) const {
  return root_ + "/normal/" + Md5Hex(FileUri(absolutePath)) + ".png";
}

bool TThumbnailCache::Inside(const std::string& absolutePath) const {
  return absolutePath.rfind(root_ + "/", 0) == 0;
}

bool TThumbnailCache::Lookup(const std::string& absolutePath, const TFileStamp& stamp, TThumbnail& out) const {
  std::vector<TTextPair> texts;
  TBitmap picture;
  if (!ReadEntry(EntryPath(absolutePath), &picture, texts) || !EntryMatches(texts, FileUri(absolutePath), stamp))
    return false;
  // Entries of other programs may lack the stored size or our metadata key: those are
  // made again, with them.
  int64_t w = 0, h = 0;
  const std::string* kinds = FindText(texts, kMetadataKey);
  if (!kinds || !ParseInt64(FindText(texts, "Thumb::Image::Width"), w) ||
      !ParseInt64(FindText(texts, "Thumb::Image::Height"), h) || w <= 0 || h <= 0 || w > kMaxBitmapSide ||
      h > kMaxBitmapSide)
    return false;
  out.Picture = std::move(picture);
  out.Width = int(w);
  out.Height = int(h);
  out.HasExif = kinds->find('E') != std::string::npos;
  out.HasIptc = kinds->find('I') != std::string::npos;
  out.HasComment = kinds->find('C') != std::string::npos;
  return true;
}

bool TThumbnailCache::KnownFailure(const std::string& absolutePath, const TFileStamp& stamp) const {
  std::vector<TTextPair> texts;
  const std::string path = root_ + "/fail/quillomatic/" + Md5Hex(FileUri(absolutePath)) + ".png";
  return ReadEntry(path, nullptr, texts) && EntryMatches(texts, FileUri(absolutePath), stamp);
}

void TThumbnailCache::Store(const std::string& absolutePath, const TFileStamp& stamp, const TThumbnail& thumb) const {
  if (thumb.Picture.Empty() || thumb.Picture.PixelFormat() != pf24bit || Inside(absolutePath)) return;
  std::string kinds;
  if (thumb.HasExif) kinds += 'E';
  if (thumb.HasIptc) kinds += 'I';
  if (thumb.HasComment) kinds += 'C';
  if (kinds.empty()) kinds = "-";
  const std::vector<TTextPair> texts = {{"Thumb::URI", FileUri(absolutePath)},
                                        {"Thumb::MTime", std::to_string(int64_t(stamp.MTime))},
                                        {"Thumb::Size", std::to_string(stamp.Size)},
                                        {"Thumb::Image::Width", std::to_string(thumb.Width)},
                                        {"Thumb::Image::Height", std::to_string(thumb.Height)},
                                        {"Software", kSoftware},
                                        {kMetadataKey, kinds}};
  try {
    MakeFolder(root_);
    MakeFolder(root_ + "/normal");
    WriteEntry(EntryPath(absolutePath), thumb.Picture, texts);
  } catch (...) {
  }
}

void TThumbnailCache::StoreFailure(const std::string& absolutePath, const TFileStamp& stamp) const {
  if (Inside(absolutePath)) return;
  const std::vector<TTextPair> texts = {{"Thumb::URI", FileUri(absolutePath)},
                                        {"Thumb::MTime", std::to_string(int64_t(stamp.MTime))},
                                        {"Thumb::Size", std::to_string(stamp.Size)},
                                        {"Software", kSoftware}};
  try {
    MakeFolder(root_);
    MakeFolder(root_ + "/fail");
    MakeFolder(root_ + "/fail/quillomatic");
    WriteEntry(root_ + "/fail/quillomatic/" + Md5Hex(FileUri(absolutePath)) + ".png", TBitmap(1, 1, pf24bit, clWhite),
               texts);
  } catch (...) {
  }
}

bool MakeThumbnail(const std::string& fileName, const TThumbnailCache* cache, TThumbnail& out, TFileStamp* stampOut) {
  const std::string path = AbsolutePath(fileName);
  TFileStamp stamp;
  if (!GetFileStamp(path, stamp)) return false;
  if (stampOut) *stampOut = stamp;
  if (cache && cache->Lookup(path, stamp, out)) return true;
  if (cache && cache->KnownFailure(path, stamp)) return false;
  TLoadRequest request;
  request.Preview = true;
  TLoadResult loaded = LoadPicture(path, request);
  if (loaded.Result != frDone || loaded.Bitmap.Empty()) {
    if (cache) cache->StoreFailure(path, stamp);
    return false;
  }
  FlattenTransparentGraphic(loaded.Bitmap, clWhite);
  out.Width = loaded.StoredWidth > 0 ? loaded.StoredWidth : loaded.Bitmap.Width();
  out.Height = loaded.StoredHeight > 0 ? loaded.StoredHeight : loaded.Bitmap.Height();
  out.Picture = FitForCache(std::move(loaded.Bitmap));
  {
    std::lock_guard<std::mutex> lock(MetadataLock());
    GetMetadataKinds(path, out.HasExif, out.HasIptc, out.HasComment);
  }
  // The stamp again: a file rewritten while it was read must not be recorded as the
  // new version.
  TFileStamp after;
  if (cache && GetFileStamp(path, after) && after.MTime == stamp.MTime && after.Size == stamp.Size)
    cache->Store(path, stamp, out);
  return true;
}

}  // namespace qm
