#include "imagefiles/GifCodec.h"

#include <gif_lib.h>
#include <sys/stat.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstring>
#include <memory>
#include <numeric>
#include <vector>

#include "platform/core/Exceptions.h"
#include "platform/core/Colors.h"
#include "platform/core/Stream.h"

namespace qm {

namespace {

std::string GifError(int code) {
  const char* s = GifErrorString(code);
  return std::string("GIF: ") + (s ? s : "error");
}

// Calls row(y) for the rows of a frame in the order the file stores them: top to
// bottom, or in the four passes of an interlaced frame.
template <class Row>
void ForEachStoredRow(int height, bool interlaced, Row&& row) {
  if (!interlaced) {
    for (int y = 0; y < height; ++y) row(y);
    return;
  }
  static constexpr int kStart[4] = {0, 4, 2, 1}, kStep[4] = {8, 8, 4, 2};
  for (int pass = 0; pass < 4; ++pass)
    for (int y = kStart[pass]; y < height; y += kStep[pass]) row(y);
}

TPalette MapToPalette(const ColorMapObject* map) {
  TPalette out;
  if (!map || !map->Colors || map->ColorCount <= 0) return out;
  const int n = std::min(map->ColorCount, 256);
  out.resize(size_t(n));
  for (int i = 0; i < n; ++i) out[size_t(i)] = RGB(map->Colors[i].Red, map->Colors[i].Green, map->Colors[i].Blue);
  return out;
}

struct TMapDeleter {
  void operator()(ColorMapObject* m) const { GifFreeMapObject(m); }
};
using TMapPtr = std::unique_ptr<ColorMapObject, TMapDeleter>;

TMapPtr PaletteToMap(const TPalette& pal) {
  if (pal.empty()) return nullptr;
  int size = 2;
  while (size < int(pal.size()) && size < 256) size *= 2;
  std::vector<GifColorType> colors(size_t(size), GifColorType{0, 0, 0});
  for (size_t i = 0; i < pal.size() && i < 256; ++i) {
    const TColor c = ColorToRGB(pal[i]);
    colors[i] = GifColorType{GetRValue(c), GetGValue(c), GetBValue(c)};
  }
  TMapPtr map(GifMakeMapObject(size, colors.data()));
  if (!map) throw EInvalidGraphic("GIF: out of memory");
  return map;
}

// The looping count of a NETSCAPE2.0 / ANIMEXTS1.0 application extension: its first
// block names it, the next holds 1 and the count.
bool IsLoopExtension(const GifByteType* first) {
  return first && first[0] == 11 &&
         (std::memcmp(first + 1, "NETSCAPE2.0", 11) == 0 || std::memcmp(first + 1, "ANIMEXTS1.0", 11) == 0);
}

// LZW with 12-bit codes expands data about 2730 times at most: a frame that claims
// more pixels than the bytes left could give ends early, and is refused before
// anything is allocated for it.
constexpr uint64_t kLzwRatio = 2731;

struct TFileCloser {
  void operator()(FILE* f) const {
    if (f) std::fclose(f);
  }
};

// giflib reads through this, so that we know how many bytes are left.
struct TGifFileSource {
  FILE* file = nullptr;
  uint64_t size = 0, read = 0;
  uint64_t Left() const { return size > read ? size - read : 0; }
};

int ReadFromFile(GifFileType* gif, GifByteType* buf, int n) {
  auto* src = static_cast<TGifFileSource*>(gif->UserData);
  const size_t got = n > 0 ? std::fread(buf, 1, size_t(n), src->file) : 0;
  src->read += got;
  return int(got);
}

struct TGifCloser {
  void operator()(GifFileType* g) const {
    int err = 0;
    DGifCloseFile(g, &err);
  }
};

// The extension at hand: a graphic control block is kept for the next frame, the
// looping count for the picture; the others are passed over.
void ReadExtension(GifFileType* g, TGifImage& img, GraphicsControlBlock& pending, bool& hasPending) {
  int code = 0;
  GifByteType* block = nullptr;
  if (DGifGetExtension(g, &code, &block) != GIF_OK) throw EInvalidGraphic(GifError(g->Error));
  if (code == GRAPHICS_EXT_FUNC_CODE && block && block[0] >= 4) {
    hasPending = DGifExtensionToGCB(block[0], block + 1, &pending) == GIF_OK;
  }
  const bool loop = code == APPLICATION_EXT_FUNC_CODE && IsLoopExtension(block);
  bool first = true;
  while (block) {
    if (!first && loop && img.LoopCount < 0 && block[0] >= 3 && block[1] == 1)
      img.LoopCount = block[2] | (block[3] << 8);
    first = false;
    if (DGifGetExtensionNext(g, &block) != GIF_OK) throw EInvalidGraphic(GifError(g->Error));
  }
}

// The frame's rows, in row order whether or not it is interlaced.
void ReadFramePixels(GifFileType* g, TGifFrame& f) {
  f.Pixels.resize(size_t(f.Width) * size_t(f.Height));  // written whole by giflib
  auto row = [&](int y) {
    if (DGifGetLine(g, f.Pixels.data() + size_t(y) * size_t(f.Width), f.Width) != GIF_OK)
      throw EInvalidGraphic(GifError(g->Error));
  };
  ForEachStoredRow(f.Height, f.Interlaced, row);
}

// A frame without pixels still carries its (empty) code blocks.
void SkipFrameCode(GifFileType* g) {
  int codeSize = 0;
  GifByteType* block = nullptr;
  if (DGifGetCode(g, &codeSize, &block) != GIF_OK) throw EInvalidGraphic(GifError(g->Error));
  while (block)
    if (DGifGetCodeNext(g, &block) != GIF_OK) throw EInvalidGraphic(GifError(g->Error));
}

// Trust no index: every pixel and the transparent index find an entry.
void MendFrameColors(TGifImage& img, TGifFrame& f) {
  TPalette& map = f.ColorMap.empty() ? img.GlobalColorMap : f.ColorMap;
  if (map.empty()) {
    // Neither a local nor a global map: a grey ramp, as most viewers show it.
    f.ColorMap.resize(256);
    for (int k = 0; k < 256; ++k) f.ColorMap[size_t(k)] = RGB(k, k, k);
  } else {
    uint8_t top = 0;
    for (uint8_t v : f.Pixels) top = std::max(top, v);
    if (map.size() <= top) map.resize(size_t(top) + 1, clBlack);
  }
  const TPalette& used = f.ColorMap.empty() ? img.GlobalColorMap : f.ColorMap;
  if (f.TransparentIndex >= int(used.size())) f.TransparentIndex = -1;
}

}  // namespace

void ReadGifFile(const std::string& fileName, TGifImage& out, const TDecodeOptions& options) {
  std::unique_ptr<FILE, TFileCloser> file(std::fopen(fileName.c_str(), "rb"));
  if (!file) throw EInvalidGraphic("cannot open " + fileName);
  struct stat st {};
  TGifFileSource src;
  src.file = file.get();
  src.size = ::fstat(::fileno(file.get()), &st) == 0 ? uint64_t(st.st_size) : 0;
  int err = 0;
  std::unique_ptr<GifFileType, TGifCloser> gif(DGifOpen(&src, ReadFromFile, &err));
  if (!gif) throw EInvalidGraphic(GifError(err));
  GifFileType* g = gif.get();
  TGifImage img;
  img.Width = g->SWidth;
  img.Height = g->SHeight;
  // The logical screen is the picture's size (a background of it holds the frames
  // as layers): it is a picture like any other. Some files leave it 0 x 0.
  if (img.Width > 0 || img.Height > 0) options.Limit.Check(img.Width, img.Height);
  img.GlobalColorMap = MapToPalette(g->SColorMap);
  img.BackgroundIndex = g->SBackGroundColor;
  GraphicsControlBlock pending{};
  bool hasPending = false;
  uint64_t framePixels = 0;
  for (;;) {
    // Every frame read whole, only the trailer missing: as a JPEG without its end
    // marker, nothing of the picture is lost.
    if (src.Left() == 0 && !img.Frames.empty()) {
      options.Warn("GIF: the file ends without its trailer");
      break;
    }
    GifRecordType type;
    if (DGifGetRecordType(g, &type) != GIF_OK) throw EInvalidGraphic(GifError(g->Error));
    if (type == TERMINATE_RECORD_TYPE) break;
    if (type == EXTENSION_RECORD_TYPE) {
      ReadExtension(g, img, pending, hasPending);
      continue;
    }
    if (type != IMAGE_DESC_RECORD_TYPE) throw EInvalidGraphic("GIF: unknown record");
    if (DGifGetImageDesc(g) != GIF_OK) throw EInvalidGraphic(GifError(g->Error));
    const GifImageDesc& d = g->Image;
    TGifFrame f;
    f.Left = d.Left;
    f.Top = d.Top;
    f.Width = d.Width;
    f.Height = d.Height;
    f.Interlaced = d.Interlace;
    f.ColorMap = MapToPalette(d.ColorMap);
    if (hasPending) {
      f.Delay = pending.DelayTime;
      f.Disposal = pending.DisposalMode;
      f.TransparentIndex = pending.TransparentColor;
      hasPending = false;
    }
    const uint64_t pixels = uint64_t(std::max(f.Width, 0)) * uint64_t(std::max(f.Height, 0));
    if (pixels == 0) {
      SkipFrameCode(g);
    } else {
      // Against the screen: the frame is drawn on it, and what both cover is a picture;
      // against the file: the bytes left must be able to give the frame; against the
      // limit: every frame is kept.
      options.Limit.Check(std::max<int64_t>(img.Width, int64_t(f.Left) + f.Width),
                          std::max<int64_t>(img.Height, int64_t(f.Top) + f.Height));
      if (pixels > StreamCanHold(src.Left(), kLzwRatio))
        throw EInvalidGraphic("GIF: " + std::to_string(src.Left()) + " bytes left cannot hold a frame of " +
                              std::to_string(f.Width) + " x " + std::to_string(f.Height) +
                              " pixels: the file ends early");
      framePixels += pixels;
      options.Limit.CheckWorkingMemory(f.Width, f.Height, framePixels);
      ReadFramePixels(g, f);
    }
    MendFrameColors(img, f);
    img.Frames.push_back(std::move(f));
  }
  out = std::move(img);
}

void WriteGifFile(const std::string& fileName, const TGifImage& img) {
  if (img.Frames.empty()) throw EInvalidGraphic("GIF: no frame");
  for (const TGifFrame& f : img.Frames) {
    if (f.Width < 1 || f.Height < 1 || f.Width > 65535 || f.Height > 65535 ||
        f.Pixels.size() < size_t(f.Width) * size_t(f.Height))
      throw EInvalidGraphic("GIF: frame size");
    if (f.ColorMap.empty() && img.GlobalColorMap.empty()) throw EInvalidGraphic("GIF: no colour map");
  }
  const int sw = std::clamp(img.Width, 1, 65535), sh = std::clamp(img.Height, 1, 65535);
  int err = 0;
  GifFileType* g = EGifOpenFileName(fileName.c_str(), false, &err);
  if (!g) throw EInvalidGraphic(GifError(err));
  struct TCloser {
    GifFileType* g;
    bool closed = false;
    ~TCloser() {
      int e = 0;
      if (!closed) EGifCloseFile(g, &e);
    }
  } closer{g};
  auto check = [&](int rc) {
    if (rc != GIF_OK) throw EInvalidGraphic(GifError(g->Error));
  };
  EGifSetGifVersion(g, true);
  TMapPtr global = PaletteToMap(img.GlobalColorMap);
  check(EGifPutScreenDesc(g, sw, sh, 8, std::clamp(img.BackgroundIndex, 0, 255), global.get()));
  if (img.LoopCount >= 0) {
    check(EGifPutExtensionLeader(g, APPLICATION_EXT_FUNC_CODE));
    check(EGifPutExtensionBlock(g, 11, "NETSCAPE2.0"));
    const int loop = std::clamp(img.LoopCount, 0, 65535);
    const uint8_t data[3] = {1, uint8_t(loop & 255), uint8_t(loop >> 8)};
    check(EGifPutExtensionBlock(g, 3, data));
    check(EGifPutExtensionTrailer(g));
  }
  std::vector<GifPixelType> line;
  for (const TGifFrame& f : img.Frames) {
    const size_t mapSize = (f.ColorMap.empty() ? img.GlobalColorMap : f.ColorMap).size();
    const int transparent = f.TransparentIndex >= 0 && size_t(f.TransparentIndex) < mapSize ? f.TransparentIndex : -1;
    if (f.Delay > 0 || f.Disposal != 0 || transparent >= 0) {
      GraphicsControlBlock gcb{};
      gcb.DisposalMode = std::clamp(f.Disposal, 0, 7);
      gcb.UserInputFlag = false;
      gcb.DelayTime = std::clamp(f.Delay, 0, 65535);
      gcb.TransparentColor = transparent >= 0 ? transparent : NO_TRANSPARENT_COLOR;
      GifByteType buf[4];
      const size_t len = EGifGCBToExtension(&gcb, buf);
      check(EGifPutExtension(g, GRAPHICS_EXT_FUNC_CODE, int(len), buf));
    }
    TMapPtr local = PaletteToMap(f.ColorMap);
    check(EGifPutImageDesc(g, f.Left, f.Top, f.Width, f.Height, f.Interlaced, local.get()));
    line.resize(size_t(f.Width));
    auto putRow = [&](int y) {
      std::memcpy(line.data(), f.Pixels.data() + size_t(y) * size_t(f.Width), size_t(f.Width));
      // Indices beyond the map would make an invalid file.
      for (GifPixelType& v : line)
        if (v >= mapSize) v = 0;
      check(EGifPutLine(g, line.data(), f.Width));
    };
    ForEachStoredRow(f.Height, f.Interlaced, putRow);
  }
  closer.closed = true;
  if (EGifCloseFile(g, &err) != GIF_OK) throw EInvalidGraphic(GifError(err));
}

void OptimizeGifFrameColorMap(TGifImage& gif, int frame) {
  if (frame < 0 || frame >= int(gif.Frames.size())) return;
  TGifFrame& f = gif.Frames[size_t(frame)];
  const TPalette map = gif.FrameColorMap(frame);
  if (map.empty()) return;
  std::array<uint64_t, 256> count{};
  for (uint8_t v : f.Pixels) ++count[v];
  if (f.TransparentIndex >= 0 && f.TransparentIndex < 256) count[size_t(f.TransparentIndex)] += 1;
  std::vector<int> order;
  for (int i = 0; i < int(map.size()); ++i)
    if (count[size_t(i)] > 0) order.push_back(i);
  std::stable_sort(order.begin(), order.end(), [&](int a, int b) { return count[size_t(a)] > count[size_t(b)]; });
  if (order.empty()) order.push_back(0);
  std::array<uint8_t, 256> remap{};
  TPalette next(order.size());
  for (size_t k = 0; k < order.size(); ++k) {
    remap[size_t(order[k])] = uint8_t(k);
    next[k] = map[size_t(order[k])];
  }
  for (uint8_t& v : f.Pixels) v = v < map.size() ? remap[v] : 0;
  if (f.TransparentIndex >= 0 && f.TransparentIndex < int(map.size()))
    f.TransparentIndex = remap[size_t(f.TransparentIndex)];
  f.ColorMap = std::move(next);
}

// --- One GIF inside another stream --------------------------------------------------

namespace {

int ReadFromStream(GifFileType* gif, GifByteType* buf, int n) {
  auto* s = static_cast<TStream*>(gif->UserData);
  try {
    return n > 0 ? int(s->Read(buf, size_t(n))) : 0;
  } catch (...) {
    return 0;
  }
}

[[noreturn]] void BadGif(const char* why = nullptr) {
  throw EStreamError(why ? std::string("GIF invalide : ") + why : std::string("GIF invalide"));
}

// The frame's LZW codes, from the code blocks giflib hands over, into pixels (in the
// order the file stores them; the caller sized the buffer to the frame). Decoded here
// and not by giflib, which takes a code beyond its string table for a string it never
// built and makes up the pixels. A first code that is no colour, a code beyond the
// table and codes that end before the last pixel fail; the codes after the last pixel
// are passed over, as giflib passes them over.
void DecodeFrameCodes(GifFileType* g, std::vector<uint8_t>& pixels) {
  int rootBits = 0;
  GifByteType* block = nullptr;
  if (DGifGetCode(g, &rootBits, &block) != GIF_OK) BadGif();
  if (rootBits < 1 || rootBits > 8) BadGif();
  constexpr int kMaxCodes = 4096, kMaxBits = 12;
  // Each string: the code it extends, its last and first pixels and its length.
  std::vector<uint16_t> prefix(kMaxCodes), length(kMaxCodes);
  std::vector<uint8_t> last(kMaxCodes), first(kMaxCodes);
  const int clear = 1 << rootBits, end = clear + 1;
  for (int c = 0; c < clear; ++c) {
    last[size_t(c)] = first[size_t(c)] = uint8_t(c);
    length[size_t(c)] = 1;
  }
  int bits = rootBits + 1, next = clear + 2, previous = -1;
  uint32_t held = 0;
  int heldBits = 0;
  const size_t total = pixels.size();
  size_t out = 0;
  // Writes the string of a code from its end; what lies beyond the frame is dropped.
  auto put = [&](int code) {
    size_t at = out + length[size_t(code)];
    for (int c = code;; c = prefix[size_t(c)]) {
      if (--at < total) pixels[at] = last[size_t(c)];
      if (c < clear) break;
    }
    out = std::min(total, out + length[size_t(code)]);
  };
  while (block && out < total) {
    for (int i = 1; i <= block[0] && out < total; ++i) {
      held |= uint32_t(block[i]) << heldBits;
      heldBits += 8;
      while (heldBits >= bits && out < total) {
        const int code = int(held & ((1u << bits) - 1));
        held >>= bits;
        heldBits -= bits;
        if (code == clear) {
          bits = rootBits + 1;
          next = clear + 2;
          previous = -1;
          continue;
        }
        if (code == end) BadGif("fin des codes avant le dernier pixel");
        if (previous < 0) {
          if (code >= clear) BadGif("premier code hors des couleurs");
          put(code);
          previous = code;
          continue;
        }
        if (code > next) BadGif("code au-delà de la table LZW");
        // A new string: the previous one and the first pixel of this one (of the
        // previous one when this code is the string being made).
        if (next < kMaxCodes) {
          prefix[size_t(next)] = uint16_t(previous);
          last[size_t(next)] = code < next ? first[size_t(code)] : first[size_t(previous)];
          first[size_t(next)] = first[size_t(previous)];
          length[size_t(next)] = uint16_t(length[size_t(previous)] + 1);
        }
        put(code);
        if (next < kMaxCodes && ++next == 1 << bits && bits < kMaxBits) ++bits;
        previous = code;
      }
    }
    if (out < total && DGifGetCodeNext(g, &block) != GIF_OK) BadGif();
  }
  if (out < total) BadGif("fin des codes avant le dernier pixel");
  while (block)
    if (DGifGetCodeNext(g, &block) != GIF_OK) BadGif();
}

}  // namespace

void ReadGifStreamFirstFrame(TStream& s, TBitmap& out) {
  int err = 0;
  std::unique_ptr<GifFileType, TGifCloser> gif(DGifOpen(&s, ReadFromStream, &err));
  if (!gif) throw EStreamError("GIF invalide");
  TBitmap frame;
  bool haveFrame = false;
  for (;;) {
    GifRecordType type;
    if (DGifGetRecordType(gif.get(), &type) != GIF_OK) throw EStreamError("GIF invalide");
    if (type == TERMINATE_RECORD_TYPE) break;
    if (type == EXTENSION_RECORD_TYPE) {
      int code = 0;
      GifByteType* ext = nullptr;
      if (DGifGetExtension(gif.get(), &code, &ext) != GIF_OK) throw EStreamError("GIF invalide");
      while (ext)
        if (DGifGetExtensionNext(gif.get(), &ext) != GIF_OK) throw EStreamError("GIF invalide");
      continue;
    }
    if (type != IMAGE_DESC_RECORD_TYPE) throw EStreamError("GIF invalide");
    if (DGifGetImageDesc(gif.get()) != GIF_OK) throw EStreamError("GIF invalide");
    const GifImageDesc& d = gif->Image;
    if (haveFrame) {
      // later frames are passed over
      int codeSize = 0;
      GifByteType* block = nullptr;
      if (DGifGetCode(gif.get(), &codeSize, &block) != GIF_OK) throw EStreamError("GIF invalide");
      while (block)
        if (DGifGetCodeNext(gif.get(), &block) != GIF_OK) throw EStreamError("GIF invalide");
      continue;
    }
    if (d.Width < 1 || d.Height < 1 || d.Width > kMaxBitmapSide || d.Height > kMaxBitmapSide)
      throw EStreamError("Taille de bitmap invalide");
    if (uint64_t(d.Width) * uint64_t(d.Height) > StreamCanHold(uint64_t(s.Remaining()), kLzwRatio))
      throw EReadError("GIF tronqué");
    const ColorMapObject* map = d.ColorMap ? d.ColorMap : gif->SColorMap;
    std::vector<uint8_t> indices(size_t(d.Width) * size_t(d.Height));
    DecodeFrameCodes(gif.get(), indices);
    TBitmap bmp(d.Width, d.Height, pf24bit, clBlack);
    const uint8_t* index = indices.data();
    auto put = [&](int y) {
      uint8_t* p = bmp.ScanLine(y);
      for (int x = 0; x < d.Width; ++x, p += 3, ++index) {
        if (map && *index < map->ColorCount) {
          p[0] = map->Colors[*index].Blue;
          p[1] = map->Colors[*index].Green;
          p[2] = map->Colors[*index].Red;
        }
      }
    };
    ForEachStoredRow(d.Height, d.Interlace, put);
    frame = std::move(bmp);
    haveFrame = true;
  }
  if (!haveFrame) throw EStreamError("GIF sans image");
  out = std::move(frame);
}

}  // namespace qm
