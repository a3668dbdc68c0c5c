#pragma once
// The layered image file (.qxi): a whole document with its size, resolution, comment,
// colour count, a 150-pixel thumbnail for browsers, and every layer (the layer records
// are in LayerStream.h). Little-endian throughout.
//
//   0    17  "Quillomatic Image"
//   17    1  version, 1
//   18    4  int32 width of the composed image
//   22    4  int32 height
//   26    4  int32 ResolutionX x 1000, rounded to nearest, halves to even
//   30    4  int32 ResolutionY x 1000
//   34  256  comment: at most 255 bytes of UTF-8, then zeros
//   290   4  int32 ColorCount
//   294      thumbnail block: int32 BlockSize (the bytes of the block, this field
//            included), "Thumbnail", int32 0, raw bitmap (int32 W, int32 H, rows)
//            layer list: int32 Count, then Count layer records, the background first
//
// Text is written as UTF-8; stored text that is not valid UTF-8 comes from files of
// the program's first platform and is read as Windows-1252.
//
// Readers raise EStreamError for a stream that is not such a file (bad magic, bad
// thumbnail tag, a version other than 1, a value the format does not allow) and
// EReadError for one that ends early. A failed read leaves the document as it was.
#include <cstdint>
#include <string>

#include "document/LayeredImage.h"
#include "platform/core/Bitmap.h"
#include "platform/core/Stream.h"

namespace qm {

inline constexpr char kLayeredFileMagic[] = "Quillomatic Image";
constexpr size_t kLayeredFileMagicSize = 17;
constexpr uint8_t kLayeredFileVersion = 1;
constexpr size_t kLayeredCommentField = 256;
constexpr int kLayeredThumbnailSize = 150;
// The file offset of the resolution fields.
constexpr int64_t kLayeredResolutionOffset = 26;

// The size of a thumbnail of a w x h picture fitted to a size x size box: the
// proportional fit (smaller pictures are enlarged to touch the box), each side at
// least 1.
void ThumbnailSize(int w, int h, int size, int& tw, int& th);
// A new 24-bit bitmap of bmp resampled to ThumbnailSize with GraphicsMagick's Lanczos
// filter (three lobes). An empty bitmap gives an empty one; EInvalidGraphic when the
// library fails.
TBitmap CreateThumbnail(const TBitmap& bmp, int size);

// The thumbnail block: the block size is written last (the stream must seek).
void WriteThumbnailBlock(const TBitmap& thumbnail, TStream& s);
// Reads the block into thumbnail (24-bit) and leaves the stream after the block. The
// block size must be that of the tag and the bitmap (EStreamError otherwise, as for a
// bad tag); opening a document checks its block the same way.
void ReadThumbnailBlock(TBitmap& thumbnail, TStream& s);

// The document as a layered file: the layers are composed first (for the size and the
// thumbnail). An image without layers, or whose background is not a bitmap layer with
// pixels, raises EInvalidGraphic.
void SaveLayeredImageToStream(TLayeredImage& image, TStream& s);
// Replaces the document's layers, resolution, comment and colour count with the
// file's; the active layer becomes the background. The caller recomposes before
// display.
void LoadLayeredImageFromStream(TLayeredImage& image, TStream& s);
// The file is written beside the target under a temporary name and renamed over it
// once complete: a failure leaves any previous file as it was.
void SaveLayeredImageToFile(TLayeredImage& image, const std::string& fileName);
void LoadLayeredImageFromFile(TLayeredImage& image, const std::string& fileName);

// The picture the format registry reads from a layered file: the composed image, or
// with ThumbnailOnly (previews, the image browser) the stored thumbnail only, read
// without the layers.
class TMyImageLayeredReg {
 public:
  bool ThumbnailOnly = false;
  // The document's size (also when only the thumbnail was read).
  int ImageWidth = 0, ImageHeight = 0;
  TBitmap Bitmap;

  void LoadFromFile(const std::string& fileName);
  void LoadFromStream(TStream& s);
  // The header and the thumbnail block; the version byte is not checked.
  void LoadThumbnail(const std::string& fileName);
  void LoadThumbnailFromStream(TStream& s);
};

}  // namespace qm
