#pragma once
// The thumbnails of picture files, made at a reduced size and kept in the desktop's
// shared thumbnail cache, so a folder opens at once the second time and file managers
// share our thumbnails (and we theirs).
//
// The cache follows the freedesktop thumbnail managing standard: a file's thumbnail is
// <cache>/thumbnails/normal/<MD5 of the file's URI>.png (at most 128 x 128), with the
// text chunks Thumb::URI and Thumb::MTime (and Thumb::Size, Thumb::Image::Width and
// Thumb::Image::Height); it is valid while the URI, the modification time and, when
// recorded, the size still match the file. Files that could not be read are recorded
// under fail/quillomatic/, so they are not tried again until they change. Entries are
// written to a temporary file beside the target and renamed over it, readable by the
// user alone.
//
// Threads: every function may run on any thread, several at once.
#include <cstdint>
#include <ctime>
#include <string>

#include "platform/core/Bitmap.h"

namespace qm {

// The side of the box a cached thumbnail fits in ("normal" in the standard).
constexpr int kCachedThumbnailSide = 128;

// What identifies one version of a file.
struct TFileStamp {
  int64_t Size = -1;
  std::time_t MTime = 0;
};
// False when the file cannot be read (missing, not a regular file).
bool GetFileStamp(const std::string& fileName, TFileStamp& stamp);

// The file's URI as the standard keys it: "file://" and the absolute path, its bytes
// outside the unreserved set and "/!$&'()*+,=:@~" percent-encoded.
std::string FileUri(const std::string& absolutePath);
// The absolute form of a path (relative to the working folder), without resolving
// links.
std::string AbsolutePath(const std::string& path);

// A thumbnail and what the browser shows beside it.
struct TThumbnail {
  TBitmap Picture;                // 24-bit, fitted in kCachedThumbnailSide; empty on failure
  int Width = 0, Height = 0;      // the picture's size as stored in the file
  bool HasExif = false, HasIptc = false, HasComment = false;
};

class TThumbnailCache {
 public:
  // root holds normal/ and fail/; an empty root takes the user's cache folder:
  // $XDG_CACHE_HOME/thumbnails, else ~/.cache/thumbnails.
  explicit TThumbnailCache(std::string root = {});
  const std::string& Root() const { return root_; }
  static std::string UserCacheRoot();

  // The entry's file of a picture file (given by its absolute path).
  std::string EntryPath(const std::string& absolutePath) const;

  // The cached thumbnail of the file when it is still valid for stamp.
  bool Lookup(const std::string& absolutePath, const TFileStamp& stamp, TThumbnail& out) const;
  // Whether the file is recorded as unreadable in that version.
  bool KnownFailure(const std::string& absolutePath, const TFileStamp& stamp) const;

  // Records a thumbnail, or a failure; errors are ignored (the cache is a help, not a
  // must). Files inside the cache itself are never recorded.
  void Store(const std::string& absolutePath, const TFileStamp& stamp, const TThumbnail& thumb) const;
  void StoreFailure(const std::string& absolutePath, const TFileStamp& stamp) const;

 private:
  bool Inside(const std::string& absolutePath) const;
  std::string root_;
};

// Makes the thumbnail of a file: from the cache when it holds a valid one, else
// through the registry's reduced load (JPEG decoded at a reduced scale, the layered
// file's stored thumbnail, a RAW file's embedded one), fitted in kCachedThumbnailSide
// and recorded in the cache (when given). False when the file cannot be read.
bool MakeThumbnail(const std::string& fileName, const TThumbnailCache* cache, TThumbnail& out,
                   TFileStamp* stamp = nullptr);

}  // namespace qm
