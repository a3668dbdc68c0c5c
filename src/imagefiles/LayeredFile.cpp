#include "imagefiles/LayeredFile.h"

#include <algorithm>
#include <cstring>
#include <future>
#include <memory>
#include <vector>
#include <string_view>

#include "document/Resample.h"
#include "imagefiles/LayerStream.h"
#include "pixel/ImgUtils.h"
#include "pixel/ImgZoom.h"
#include "platform/core/Numeric.h"

namespace qm {

namespace {

constexpr char kThumbnailTag[] = "Thumbnail";
constexpr int64_t kThumbnailTagSize = 9;
// size field, tag, the zero int32, the bitmap's width and height
constexpr int64_t kThumbnailBlockOverhead = 4 + kThumbnailTagSize + 4 + 8;

struct Header {
  int32_t width = 0, height = 0;
  int32_t resX = 0, resY = 0;
  std::string comment;
  int32_t colorCount = 0;
};

void ReadMagic(TStream& s) {
  char magic[kLayeredFileMagicSize];
  s.ReadBuffer(magic, sizeof magic);
  if (std::memcmp(magic, kLayeredFileMagic, kLayeredFileMagicSize) != 0) throw EStreamError();
}

// Everything after the version byte up to the thumbnail block.
Header ReadHeaderFields(TStream& s) {
  Header h;
  h.width = s.ReadInt32();
  h.height = s.ReadInt32();
  h.resX = s.ReadInt32();
  h.resY = s.ReadInt32();
  char comment[kLayeredCommentField];
  s.ReadBuffer(comment, sizeof comment);
  h.comment = DecodeStoredText(std::string_view(comment, strnlen(comment, sizeof comment)));
  h.colorCount = s.ReadInt32();
  return h;
}

// From about a megapixel on, the thumbnail is made while the layers are written.
constexpr int64_t kConcurrentThumbnailPixels = 1 << 20;

int32_t StoredResolution(double dpi) { return RoundHalfEven(dpi * 1000.0); }

}  // namespace

// --- Thumbnail ---------------------------------------------------------------------

void ThumbnailSize(int w, int h, int size, int& tw, int& th) {
  tw = w;
  th = h;
  FitSizeProportional(tw, th, size, size);
  // A picture of 300:1 or flatter would round one side to 0, which cannot be
  // resampled: a side is at least one pixel.
  tw = std::max(tw, 1);
  th = std::max(th, 1);
}

TBitmap CreateThumbnail(const TBitmap& bmp, int size) {
  if (bmp.Empty() || size < 1) return TBitmap();
  TBitmap copy;
  const TBitmap* src = &bmp;
  if (bmp.PixelFormat() != pf24bit) {
    copy.Assign(bmp);
    copy.SetPixelFormat(pf24bit);
    src = &copy;
  }
  int tw, th;
  ThumbnailSize(src->Width(), src->Height(), size, tw, th);
  // Straight from a photo, the Lanczos filter weighs hundreds of source pixels for each
  // thumbnail pixel along each axis, and the library first copies the whole photo into
  // its own image. Averaging areas down to four times the thumbnail's size first leaves
  // the filter the same picture at a small part of the cost.
  constexpr int kPreShrink = 4;
  TBitmap reduced;
  if (src->Width() >= 2 * kPreShrink * tw && src->Height() >= 2 * kPreShrink * th) {
    const int pw = kPreShrink * tw, ph = kPreShrink * th;
    reduced = TBitmap(pw, ph, pf24bit, clBlack);
    StretchBitmapRectHalftone(*src, TRect{0, 0, src->Width(), src->Height()}, reduced, TRect{0, 0, pw, ph},
                              TRect{0, 0, pw, ph});
    src = &reduced;
  }
  TBitmap out;
  if (!Resample(*src, tw, th, TResampleFilter::Lanczos, out)) throw EInvalidGraphic("Impossible de réduire l'image");
  return out;
}

void WriteThumbnailBlock(const TBitmap& thumbnail, TStream& s) {
  const int64_t start = s.Position();
  s.WriteInt32(0);
  s.Write(kThumbnailTag, kThumbnailTagSize);
  s.WriteInt32(0);
  WriteBitmap24(thumbnail, s);
  const int64_t end = s.Position();
  if (end - start > INT32_MAX) throw EInvalidGraphic("Vignette trop grande");
  s.Seek(start);
  s.WriteInt32(int32_t(end - start));
  s.Seek(end);
}

namespace {

// Checks the thumbnail block at the stream's position, as both the document and the
// preview read it: a size that holds at least the head and is within the bytes left,
// the tag, and a bitmap of a valid size that fills the block exactly. Returns the
// block's start and leaves the stream on the bitmap (its width).
int64_t CheckThumbnailBlock(TStream& s) {
  const int64_t start = s.Position();
  const int32_t blockSize = s.ReadInt32();
  if (blockSize < kThumbnailBlockOverhead) throw EStreamError("Taille de vignette invalide");
  s.Require(blockSize - 4);
  char tag[kThumbnailTagSize];
  s.ReadBuffer(tag, sizeof tag);
  if (std::memcmp(tag, kThumbnailTag, kThumbnailTagSize) != 0) throw EStreamError();
  s.ReadInt32();
  const int64_t bitmapAt = s.Position();
  const int32_t w = s.ReadInt32(), h = s.ReadInt32();
  if (w < 1 || h < 1 || w > kMaxStoredSide || h > kMaxStoredSide) throw EStreamError("Taille de vignette invalide");
  if (kThumbnailBlockOverhead + int64_t(w) * h * 3 != blockSize) throw EStreamError("Taille de vignette invalide");
  s.Seek(bitmapAt);
  return start;
}

}  // namespace

void ReadThumbnailBlock(TBitmap& thumbnail, TStream& s) {
  CheckThumbnailBlock(s);
  TBitmap b;
  ReadBitmap24(b, s);
  thumbnail = std::move(b);
}

// --- The document ------------------------------------------------------------------

void SaveLayeredImageToStream(TLayeredImage& image, TStream& s) {
  if (image.GetLayerCount() == 0) throw EInvalidGraphic("Image sans calque");
  // What the view shows is composed already: only what changed since is composed again
  // (all of it while a dialog holds the composition, which may hold its preview).
  if (image.SuspendComposition) image.RenderLayers();
  const TBitmap& composed = image.UpdatedComposition();
  if (composed.Empty()) throw EInvalidGraphic("Image vide");

  s.Write(kLayeredFileMagic, kLayeredFileMagicSize);
  s.WriteUInt8(kLayeredFileVersion);
  s.WriteInt32(composed.Width());
  s.WriteInt32(composed.Height());
  s.WriteInt32(StoredResolution(image.ResolutionX));
  s.WriteInt32(StoredResolution(image.ResolutionY));
  // the text up to its first zero byte, as the reader will see it
  const std::string_view text(image.Comment.c_str());
  const std::string_view comment = Utf8Prefix(text, kLayeredCommentField - 1);
  char field[kLayeredCommentField] = {};
  std::memcpy(field, comment.data(), comment.size());
  s.Write(field, sizeof field);
  s.WriteInt32(image.ColorCount);

  // The thumbnail's block size follows from the picture's, so its place can be kept
  // and its pixels written last. On a large picture the thumbnail is made meanwhile on
  // a second thread: reducing 24 MP takes about as long as writing three such layers.
  // The layers stay on this thread, whose OpenMP team gathers their masks: written from
  // a fresh thread, each save started a second team beside this thread's, and the
  // writing took about twice as long at 8 threads as at 1 (270 MB: 125 ms at 1 thread,
  // 270 ms at 8, timed inside the save on the development machine).
  int tw, th;
  ThumbnailSize(composed.Width(), composed.Height(), kLayeredThumbnailSize, tw, th);
  const int64_t pixels = int64_t(tw) * th * 3;
  const int64_t blockAt = s.Position();
  s.WriteInt32(int32_t(kThumbnailBlockOverhead + pixels));
  s.Write(kThumbnailTag, kThumbnailTagSize);
  s.WriteInt32(0);
  const std::vector<uint8_t> room(size_t(8 + pixels), 0);
  s.Write(room.data(), room.size());
  TBitmap thumb;
  if (int64_t(composed.Width()) * composed.Height() >= kConcurrentThumbnailPixels) {
    std::future<TBitmap> reduced =
        std::async(std::launch::async, [&composed] { return CreateThumbnail(composed, kLayeredThumbnailSize); });
    try {
      SaveToStream(image.Layers, s);
    } catch (...) {
      reduced.wait();
      throw;
    }
    thumb = reduced.get();
  } else {
    SaveToStream(image.Layers, s);
    thumb = CreateThumbnail(composed, kLayeredThumbnailSize);
  }
  if (thumb.Width() != tw || thumb.Height() != th) throw EInvalidGraphic("Vignette inattendue");
  const int64_t end = s.Position();
  s.Seek(blockAt + 4 + kThumbnailTagSize + 4);
  WriteBitmap24(thumb, s);
  s.Seek(end);
}

void LoadLayeredImageFromStream(TLayeredImage& image, TStream& s) {
  ReadMagic(s);
  const uint8_t version = s.ReadUInt8();
  if (version != kLayeredFileVersion) throw EStreamError("Version de fichier non prise en charge");
  const Header h = ReadHeaderFields(s);
  // The size is not used here (layer 0 gives it), but previews report it: a file that
  // does not hold a picture's size is refused, as the thumbnail reader refuses it.
  if (h.width < 1 || h.height < 1) throw EStreamError("Taille d'image invalide");
  // The thumbnail is checked as the preview checks it, and passed over.
  const int64_t block = CheckThumbnailBlock(s);
  s.Seek(block);
  s.Skip(int64_t(s.ReadInt32()) - 4);
  // The list reads every layer before it replaces the old ones; the properties follow
  // only once it has.
  LoadFromStream(image.Layers, s);
  image.ResolutionX = h.resX / 1000.0;
  image.ResolutionY = h.resY / 1000.0;
  image.Comment = h.comment;
  image.ColorCount = h.colorCount;
  image.SetActiveLayerIndex(0);
  image.InvalidateImage();
}

void SaveLayeredImageToFile(TLayeredImage& image, const std::string& fileName) {
  TAtomicFileStream f(fileName);
  SaveLayeredImageToStream(image, f);
  f.Commit();
}

void LoadLayeredImageFromFile(TLayeredImage& image, const std::string& fileName) {
  TFileStream f(fileName, fmOpenRead);
  LoadLayeredImageFromStream(image, f);
}

// --- The registry's picture ----------------------------------------------------------

void TMyImageLayeredReg::LoadFromFile(const std::string& fileName) {
  if (ThumbnailOnly) {
    LoadThumbnail(fileName);
    return;
  }
  TFileStream f(fileName, fmOpenRead);
  LoadFromStream(f);
}

void TMyImageLayeredReg::LoadFromStream(TStream& s) {
  TLayeredImage doc;
  LoadLayeredImageFromStream(doc, s);
  doc.RenderLayers();
  TBitmap& composed = doc.ComposedBitmap();
  ImageWidth = composed.Width();
  ImageHeight = composed.Height();
  Bitmap = std::move(composed);
}

void TMyImageLayeredReg::LoadThumbnail(const std::string& fileName) {
  TFileStream f(fileName, fmOpenRead);
  LoadThumbnailFromStream(f);
}

void TMyImageLayeredReg::LoadThumbnailFromStream(TStream& s) {
  ReadMagic(s);
  s.ReadUInt8();
  const int32_t w = s.ReadInt32(), h = s.ReadInt32();
  if (w < 1 || h < 1) throw EStreamError("Taille d'image invalide");
  s.Skip(4 + 4 + int64_t(kLayeredCommentField) + 4);
  TBitmap thumb;
  ReadThumbnailBlock(thumb, s);
  Bitmap = std::move(thumb);
  ImageWidth = w;
  ImageHeight = h;
}

}  // namespace qm
