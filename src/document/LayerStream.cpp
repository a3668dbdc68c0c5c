#include "document/LayerStream.h"

#include <csetjmp>
#include <cstring>
#include <memory>
#include <vector>

#include "document/LayerItem.h"
#include "document/TextData.h"
#include "pixel/PixelFormat.h"
#include "pixel/Transform.h"

// The codecs' headers after ours.
#include <gif_lib.h>
#include <png.h>

namespace qm {

namespace {

// Deflate never expands data more than 1032 times; LZW with 12-bit codes about 2730
// times. A compressed bitmap that claims more pixels than its codec could give from
// the bytes left is refused before anything is allocated for it.
constexpr int64_t kDeflateRatio = 1032;
constexpr int64_t kLzwRatio = 2731;
constexpr int64_t kCodecSlack = 65536;

void CheckSize(int64_t w, int64_t h) {
  if (w < 1 || h < 1 || w > kMaxStoredSide || h > kMaxStoredSide) throw EStreamError("Taille de bitmap invalide");
}

const TBitmap& As24(const TBitmap& bmp, TBitmap& copy) {
  if (bmp.PixelFormat() == pf24bit) return bmp;
  copy.Assign(bmp);
  copy.SetPixelFormat(pf24bit);
  return copy;
}

// --- PNG (codec 1) -------------------------------------------------------------------

struct PngSource {
  TStream* s;
};

void PngReadData(png_structp png, png_bytep data, size_t n) {
  auto* src = static_cast<PngSource*>(png_get_io_ptr(png));
  size_t got = 0;
  try {
    got = src->s->Read(data, n);
  } catch (...) {
    got = 0;
  }
  if (got != n) png_error(png, "truncated");
}

[[noreturn]] void PngFail(png_structp png, png_const_charp) { png_longjmp(png, 1); }
void PngWarn(png_structp, png_const_charp) {}

// Decodes one PNG from the stream's position to the end of its IEND chunk into 8-bit
// RGB or RGBA rows. False when it does not decode. Kept free of objects with
// destructors: libpng leaves through longjmp.
bool DecodePng(TStream& s, TPngImage& out) {
  PngSource src{&s};
  png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, PngFail, PngWarn);
  if (!png) return false;
  png_infop info = png_create_info_struct(png);
  if (!info) {
    png_destroy_read_struct(&png, nullptr, nullptr);
    return false;
  }
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_read_struct(&png, &info, nullptr);
    return false;
  }
  png_set_read_fn(png, &src, PngReadData);
  png_set_user_limits(png, kMaxStoredSide, kMaxStoredSide);
  png_read_info(png, info);
  const int64_t w = png_get_image_width(png, info), h = png_get_image_height(png, info);
  const int64_t raw = (int64_t(png_get_rowbytes(png, info)) + 1) * h;
  if (w < 1 || h < 1 || raw > kDeflateRatio * s.Remaining() + kCodecSlack) png_error(png, "too large");
  png_set_expand(png);
  png_set_strip_16(png);
  png_set_gray_to_rgb(png);
  const int passes = png_set_interlace_handling(png);
  png_read_update_info(png, info);
  const int channels = png_get_channels(png, info);
  if (channels != 3 && channels != 4) png_error(png, "channels");
  out.Width = int(w);
  out.Height = int(h);
  out.ColorType = channels == 4 ? pcRGBA : pcRGB;
  out.Pixels.assign(size_t(w) * size_t(h) * size_t(channels), 0);
  const size_t row = size_t(w) * size_t(channels);
  for (int pass = 0; pass < passes; ++pass)
    for (int64_t y = 0; y < h; ++y) png_read_row(png, out.Pixels.data() + size_t(y) * row, nullptr);
  png_read_end(png, nullptr);
  png_destroy_read_struct(&png, &info, nullptr);
  return true;
}

// --- GIF (codec 1) -------------------------------------------------------------------

int GifReadData(GifFileType* gif, GifByteType* buf, int n) {
  auto* s = static_cast<TStream*>(gif->UserData);
  try {
    return n > 0 ? int(s->Read(buf, size_t(n))) : 0;
  } catch (...) {
    return 0;
  }
}

struct GifCloser {
  void operator()(GifFileType* g) const {
    int err = 0;
    DGifCloseFile(g, &err);
  }
};

// Decodes a GIF from the stream's position through its trailer; the first frame's
// colours become a 24-bit bitmap of the frame's size.
void DecodeGifFirstFrame(TStream& s, TBitmap& out) {
  int err = 0;
  std::unique_ptr<GifFileType, GifCloser> gif(DGifOpen(&s, GifReadData, &err));
  if (!gif) throw EStreamError("GIF invalide");
  TBitmap frame;
  bool haveFrame = false;
  std::vector<GifByteType> line;
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
    CheckSize(d.Width, d.Height);
    if (int64_t(d.Width) * d.Height > kLzwRatio * s.Remaining() + kCodecSlack) throw EReadError("GIF tronqué");
    const ColorMapObject* map = d.ColorMap ? d.ColorMap : gif->SColorMap;
    TBitmap bmp(d.Width, d.Height, pf24bit, clBlack);
    line.resize(size_t(d.Width));
    auto put = [&](int y) {
      if (DGifGetLine(gif.get(), line.data(), d.Width) != GIF_OK) throw EStreamError("GIF invalide");
      uint8_t* p = bmp.ScanLine(y);
      for (int x = 0; x < d.Width; ++x, p += 3) {
        const int i = line[size_t(x)];
        if (map && i < map->ColorCount) {
          p[0] = map->Colors[i].Blue;
          p[1] = map->Colors[i].Green;
          p[2] = map->Colors[i].Red;
        }
      }
    };
    if (d.Interlace) {
      static constexpr int kStart[4] = {0, 4, 2, 1}, kStep[4] = {8, 8, 4, 2};
      for (int pass = 0; pass < 4; ++pass)
        for (int y = kStart[pass]; y < d.Height; y += kStep[pass]) put(y);
    } else {
      for (int y = 0; y < d.Height; ++y) put(y);
    }
    frame = std::move(bmp);
    haveFrame = true;
  }
  if (!haveFrame) throw EStreamError("GIF sans image");
  out = std::move(frame);
}

bool ReadPresence(TStream& s) {
  const uint8_t p = s.ReadUInt8();
  if (p > 1) throw EStreamError("Indicateur de présence invalide");
  return p == 1;
}

int32_t ReadCoord(TStream& s) {
  const int32_t v = s.ReadInt32();
  if (v < -kCoordLimit || v > kCoordLimit) throw EStreamError("Position de calque invalide");
  return v;
}

}  // namespace

// --- Raw codecs ----------------------------------------------------------------------

void WriteBitmap24(const TBitmap& bmp, TStream& s) {
  if (bmp.Empty()) throw EInvalidGraphic("Bitmap vide");
  TBitmap copy;
  const TBitmap& b = As24(bmp, copy);
  s.WriteInt32(b.Width());
  s.WriteInt32(b.Height());
  const size_t row = size_t(b.Width()) * 3;
  if (b.Stride() == ptrdiff_t(row)) {
    s.Write(b.Bits(), row * size_t(b.Height()));
  } else {
    for (int y = 0; y < b.Height(); ++y) s.Write(b.ScanLine(y), row);
  }
}

void ReadBitmap24(TBitmap& bmp, TStream& s) {
  const int32_t w = s.ReadInt32(), h = s.ReadInt32();
  CheckSize(w, h);
  const size_t row = size_t(w) * 3;
  s.Require(int64_t(row) * h);
  TBitmap b(w, h, pf24bit, clBlack);
  if (b.Stride() == ptrdiff_t(row)) {
    s.ReadBuffer(b.Bits(), row * size_t(h));
  } else {
    for (int y = 0; y < h; ++y) s.ReadBuffer(b.ScanLine(y), row);
  }
  bmp = std::move(b);
}

void WriteMask8(const TBitmap& mask, TStream& s) {
  if (mask.Empty()) throw EInvalidGraphic("Masque vide");
  TBitmap copy;
  const TBitmap& m = As24(mask, copy);
  const int w = m.Width();
  s.WriteInt32(w);
  s.WriteInt32(m.Height());
  // a band of rows at a time, so that the stream sees few large writes
  const int band = std::max(1, (1 << 20) / w);
  std::vector<uint8_t> buf(size_t(w) * size_t(std::min(band, m.Height())));
  for (int y0 = 0; y0 < m.Height(); y0 += band) {
    const int y1 = std::min(m.Height(), y0 + band);
    uint8_t* d = buf.data();
    for (int y = y0; y < y1; ++y) {
      const uint8_t* p = m.ScanLine(y);
      for (int x = 0; x < w; ++x) *d++ = p[3 * x];
    }
    s.Write(buf.data(), size_t(d - buf.data()));
  }
}

void ReadMask8(TBitmap& mask, TStream& s) {
  const int32_t w = s.ReadInt32(), h = s.ReadInt32();
  CheckSize(w, h);
  s.Require(int64_t(w) * h);
  TBitmap m(w, h, pf24bit, clBlack);
  const int band = std::max(1, (1 << 20) / w);
  std::vector<uint8_t> buf(size_t(w) * size_t(std::min(band, h)));
  for (int y0 = 0; y0 < h; y0 += band) {
    const int y1 = std::min(h, y0 + band);
    s.ReadBuffer(buf.data(), size_t(w) * size_t(y1 - y0));
    const uint8_t* src = buf.data();
    for (int y = y0; y < y1; ++y) {
      uint8_t* p = m.ScanLine(y);
      for (int x = 0; x < w; ++x, p += 3) p[0] = p[1] = p[2] = *src++;
    }
  }
  mask = std::move(m);
}

void WriteLayerBitmap(const TBitmap& bmp, TStream& s) {
  s.WriteUInt8(0);
  WriteBitmap24(bmp, s);
  s.WriteUInt8(bmp.Transparent ? 1 : 0);
  s.WriteUInt32(bmp.TransparentColor);
}

void ReadLayerBitmap(TBitmap& bmp, TStream& s) {
  const uint8_t codec = s.ReadUInt8();
  if (codec == 0) {
    TBitmap b;
    ReadBitmap24(b, s);
    b.Transparent = s.ReadUInt8() != 0;
    b.TransparentColor = s.ReadUInt32();
    bmp = std::move(b);
  } else if (codec == 1) {
    TPngImage png;
    if (!DecodePng(s, png)) throw EStreamError("PNG invalide");
    TBitmap b;
    png.ToBitmap(b);
    if (b.Empty()) throw EStreamError("PNG invalide");
    b.SetPixelFormat(pf24bit);
    bmp = std::move(b);
  } else {
    throw EStreamError("Codec inconnu");
  }
}

void WriteLayerMask(const TBitmap& mask, TStream& s) {
  s.WriteUInt8(0);
  WriteMask8(mask, s);
}

void ReadLayerMask(TBitmap& mask, TStream& s) {
  const uint8_t codec = s.ReadUInt8();
  if (codec == 0) {
    ReadMask8(mask, s);
  } else if (codec == 1) {
    DecodeGifFirstFrame(s, mask);
  } else {
    throw EStreamError("Codec inconnu");
  }
}

// --- Layer records -----------------------------------------------------------------

void TLayerItem::SaveToStream(TStream& s) const {
  if (LayerType > ltColor) throw EInvalidGraphic("Type de calque inconnu");
  if (Left < -kCoordLimit || Left > kCoordLimit || Top < -kCoordLimit || Top > kCoordLimit)
    throw EInvalidGraphic("Position de calque invalide");
  const bool bitmaps = LayerType == ltBitmap;
  const bool image = bitmaps && !Image.Empty(), mask = bitmaps && !Mask.Empty(), mask2 = bitmaps && !Mask2.Empty();
  if (mask && (!image || Mask.Width() != Image.Width() || Mask.Height() != Image.Height()))
    throw EInvalidGraphic("Masque de taille différente de son image");

  WriteStoredString(s, Name, kMaxStoredString);
  s.WriteUInt8(Visible ? 1 : 0);
  s.WriteUInt8(Locked ? 1 : 0);
  s.WriteInt32(Reserved.Left);
  s.WriteInt32(Reserved.Top);
  s.WriteInt32(Reserved.Right);
  s.WriteInt32(Reserved.Bottom);
  s.WriteUInt8(LayerType);
  s.WriteUInt32(Color);
  s.WriteInt32(ColorNegate);
  s.WriteInt32(Left);
  s.WriteInt32(Top);
  s.WriteUInt8(Opacity);
  s.WriteUInt8(image);
  if (image) WriteLayerBitmap(Image, s);
  s.WriteUInt8(mask);
  if (mask) WriteLayerMask(Mask, s);
  s.WriteUInt8(mask2);
  if (mask2) WriteLayerMask(Mask2, s);

  s.WriteInt32(Adjustment.Lighten);
  s.WriteInt32(Adjustment.Contrast);
  s.WriteInt32(Adjustment.Saturation);
  s.WriteInt32(Adjustment.Reserved);
  s.WriteDouble(Adjustment.Gamma);

  // the record's padding bytes are written as zeros
  static constexpr uint8_t kPad[3] = {0, 0, 0};
  s.WriteUInt8(Shadow.Enabled);
  s.Write(kPad, 3);
  s.WriteUInt32(Shadow.Color);
  s.WriteInt32(Shadow.OffsetX);
  s.WriteInt32(Shadow.OffsetY);
  s.WriteInt32(Shadow.Opacity);
  s.WriteInt32(Shadow.Radius);
  s.WriteUInt8(Shadow.Spread);
  s.Write(kPad, 3);
  s.WriteInt32(Shadow.Reserved);

  const bool data = LayerType == ltText && Data;
  s.WriteUInt8(data);
  if (data) Data->SaveToStream(s);
}

void TLayerItem::LoadFromStream(TStream& s) {
  Name = ReadStoredString(s);
  Visible = s.ReadUInt8() != 0;
  Locked = s.ReadUInt8() != 0;
  Reserved.Left = s.ReadInt32();
  Reserved.Top = s.ReadInt32();
  Reserved.Right = s.ReadInt32();
  Reserved.Bottom = s.ReadInt32();
  LayerType = s.ReadUInt8();
  if (LayerType > ltColor) throw EStreamError("Type de calque inconnu");
  Color = s.ReadUInt32();
  ColorNegate = s.ReadInt32();
  Left = ReadCoord(s);
  Top = ReadCoord(s);
  // the percent, whatever larger value a damaged file holds
  Opacity = std::min<uint8_t>(s.ReadUInt8(), 100);

  Image = TBitmap();
  Mask = TBitmap();
  Mask2 = TBitmap();
  if (ReadPresence(s)) ReadLayerBitmap(Image, s);
  if (ReadPresence(s)) ReadLayerMask(Mask, s);
  if (ReadPresence(s)) ReadLayerMask(Mask2, s);
  if (!Mask.Empty() && (Mask.Width() != Image.Width() || Mask.Height() != Image.Height()))
    throw EStreamError("Masque de taille différente de son image");

  Adjustment.Lighten = s.ReadInt32();
  Adjustment.Contrast = s.ReadInt32();
  Adjustment.Saturation = s.ReadInt32();
  Adjustment.Reserved = s.ReadInt32();
  Adjustment.Gamma = s.ReadDouble();

  Shadow.Enabled = s.ReadUInt8();
  s.Skip(3);
  Shadow.Color = s.ReadUInt32();
  Shadow.OffsetX = s.ReadInt32();
  Shadow.OffsetY = s.ReadInt32();
  Shadow.Opacity = s.ReadInt32();
  Shadow.Radius = s.ReadInt32();
  Shadow.Spread = s.ReadUInt8();
  s.Skip(3);
  Shadow.Reserved = s.ReadInt32();

  Data.reset();
  if (ReadPresence(s)) {
    if (CreateLayerData) CreateLayerData(*this);
    // Without the hook (or when it gives no payload) the payload is still read, so
    // that the stream stays in step and a later save keeps the text.
    if (!Data) Data = std::make_unique<TTextData>();
    Data->LoadFromStream(s);
  }
}

void TLayerList::SaveToStream(TStream& s) const {
  if (items_.empty()) throw EInvalidGraphic("Image sans calque");
  const TLayerItem& bg = *items_.front();
  if (bg.LayerType != ltBitmap || bg.Image.Empty()) throw EInvalidGraphic("Fond invalide");
  s.WriteInt32(int32_t(items_.size()));
  for (const auto& l : items_) l->SaveToStream(s);
}

void TLayerList::LoadFromStream(TStream& s) {
  const int32_t count = s.ReadInt32();
  if (count < 1) throw EStreamError("Nombre de calques invalide");
  if (count > s.Remaining() / kMinLayerRecordSize) throw EReadError("Nombre de calques invalide");
  std::vector<std::unique_ptr<TLayerItem>> read;
  read.reserve(size_t(count));
  for (int32_t i = 0; i < count; ++i) {
    auto l = std::make_unique<TLayerItem>();
    l->LoadFromStream(s);
    if (i == 0) {
      if (l->LayerType != ltBitmap || l->Image.Empty()) throw EStreamError("Fond invalide");
      l->Left = l->Top = 0;
    }
    read.push_back(std::move(l));
  }
  Clear();
  for (auto& l : read) Add(std::move(l));
  if (owner_) owner_->StoreActiveIndex(0);
}

}  // namespace qm
