#include "imagefiles/LayerStream.h"

#include <cstring>
#include <memory>
#include <vector>

#include "document/LayerItem.h"
#include "document/TextData.h"
#include "imagefiles/GifCodec.h"
#include "imagefiles/PngCodec.h"
#include "pixel/PixelFormat.h"
#include "pixel/Transform.h"
#include "platform/core/Parallel.h"

namespace qm {

namespace {

void CheckSize(int64_t w, int64_t h) {
  if (w < 1 || h < 1 || w > kMaxStoredSide || h > kMaxStoredSide) throw EStreamError("Taille de bitmap invalide");
}

const TBitmap& As24(const TBitmap& bmp, TBitmap& copy) {
  if (bmp.PixelFormat() == pf24bit) return bmp;
  copy.Assign(bmp);
  copy.SetPixelFormat(pf24bit);
  return copy;
}

bool SameSize(const TBitmap& a, const TBitmap& b) { return a.Width() == b.Width() && a.Height() == b.Height(); }

// A flag byte of the format: 0 or 1, nothing else.
bool ReadPresence(TStream& s, const char* what = "Indicateur de présence invalide") {
  const uint8_t p = s.ReadUInt8();
  if (p > 1) throw EStreamError(what);
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
  const int w = m.Width(), h = m.Height();
  s.WriteInt32(w);
  s.WriteInt32(h);
  // gathered whole over the threads (one parallel step per mask), written at once
  std::vector<uint8_t> buf(size_t(w) * size_t(h));
  ParallelRows(0, h, int64_t(w) * h, [&](int y0, int y1) {
    for (int y = y0; y < y1; ++y) {
      const uint8_t* p = m.ScanLine(y);
      uint8_t* d = buf.data() + size_t(y) * size_t(w);
      for (int x = 0; x < w; ++x) d[x] = p[3 * x];
    }
  });
  s.Write(buf.data(), buf.size());
}

void ReadMask8(TBitmap& mask, TStream& s) {
  const int32_t w = s.ReadInt32(), h = s.ReadInt32();
  CheckSize(w, h);
  s.Require(int64_t(w) * h);
  std::vector<uint8_t> buf(size_t(w) * size_t(h));
  s.ReadBuffer(buf.data(), buf.size());
  TBitmap m(w, h, pf24bit, clBlack);
  ParallelRows(0, h, int64_t(w) * h, [&](int y0, int y1) {
    for (int y = y0; y < y1; ++y) {
      const uint8_t* src = buf.data() + size_t(y) * size_t(w);
      uint8_t* p = m.ScanLine(y);
      for (int x = 0; x < w; ++x, p += 3) p[0] = p[1] = p[2] = src[x];
    }
  });
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
    b.Transparent = ReadPresence(s, "Indicateur de transparence invalide");
    b.TransparentColor = s.ReadUInt32();
    bmp = std::move(b);
  } else if (codec == 1) {
    TPngImage png;
    ReadPngStream(s, png);
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
    ReadGifStreamFirstFrame(s, mask);
  } else {
    throw EStreamError("Codec inconnu");
  }
}

// --- Layer records -----------------------------------------------------------------

void SaveToStream(const TLayerItem& layer, TStream& s) {
  if (layer.LayerType > ltColor) throw EInvalidGraphic("Type de calque inconnu");
  if (layer.Left < -kCoordLimit || layer.Left > kCoordLimit || layer.Top < -kCoordLimit || layer.Top > kCoordLimit)
    throw EInvalidGraphic("Position de calque invalide");
  const bool bitmaps = layer.LayerType == ltBitmap;
  const bool image = bitmaps && !layer.Image.Empty(), mask = bitmaps && !layer.Mask.Empty(),
             mask2 = bitmaps && !layer.Mask2.Empty();
  if (mask && (!image || !SameSize(layer.Mask, layer.Image)))
    throw EInvalidGraphic("Masque de taille différente de son image");

  WriteStoredString(s, layer.Name, kMaxStoredString);
  s.WriteUInt8(layer.Visible ? 1 : 0);
  s.WriteUInt8(layer.Locked ? 1 : 0);
  s.WriteInt32(layer.Reserved.Left);
  s.WriteInt32(layer.Reserved.Top);
  s.WriteInt32(layer.Reserved.Right);
  s.WriteInt32(layer.Reserved.Bottom);
  s.WriteUInt8(layer.LayerType);
  s.WriteUInt32(layer.Color);
  s.WriteInt32(layer.ColorNegate);
  s.WriteInt32(layer.Left);
  s.WriteInt32(layer.Top);
  s.WriteUInt8(layer.Opacity);
  s.WriteUInt8(image);
  if (image) WriteLayerBitmap(layer.Image, s);
  s.WriteUInt8(mask);
  if (mask) WriteLayerMask(layer.Mask, s);
  s.WriteUInt8(mask2);
  if (mask2) WriteLayerMask(layer.Mask2, s);

  s.WriteInt32(layer.Adjustment.Lighten);
  s.WriteInt32(layer.Adjustment.Contrast);
  s.WriteInt32(layer.Adjustment.Saturation);
  s.WriteInt32(layer.Adjustment.Reserved);
  s.WriteDouble(layer.Adjustment.Gamma);

  s.WriteUInt8(layer.Shadow.Enabled);
  s.Write(layer.Shadow.EnabledPadding.data(), 3);
  s.WriteUInt32(layer.Shadow.Color);
  s.WriteInt32(layer.Shadow.OffsetX);
  s.WriteInt32(layer.Shadow.OffsetY);
  s.WriteInt32(layer.Shadow.Opacity);
  s.WriteInt32(layer.Shadow.Radius);
  s.WriteUInt8(layer.Shadow.Spread);
  s.Write(layer.Shadow.SpreadPadding.data(), 3);
  s.WriteInt32(layer.Shadow.Reserved);

  const bool data = layer.LayerType == ltText && layer.Data;
  s.WriteUInt8(data);
  if (data) layer.Data->SaveToStream(s);
}

void LoadFromStream(TLayerItem& layer, TStream& s) {
  layer.Name = ReadStoredString(s);
  layer.Visible = s.ReadUInt8() != 0;
  layer.Locked = s.ReadUInt8() != 0;
  layer.Reserved.Left = s.ReadInt32();
  layer.Reserved.Top = s.ReadInt32();
  layer.Reserved.Right = s.ReadInt32();
  layer.Reserved.Bottom = s.ReadInt32();
  layer.LayerType = s.ReadUInt8();
  if (layer.LayerType > ltColor) throw EStreamError("Type de calque inconnu");
  layer.Color = s.ReadUInt32();
  layer.ColorNegate = s.ReadInt32();
  layer.Left = ReadCoord(s);
  layer.Top = ReadCoord(s);
  // the percent, whatever larger value a damaged file holds
  layer.Opacity = std::min<uint8_t>(s.ReadUInt8(), 100);

  layer.Image = TBitmap();
  layer.Mask = TBitmap();
  layer.Mask2 = TBitmap();
  if (ReadPresence(s)) ReadLayerBitmap(layer.Image, s);
  if (ReadPresence(s)) ReadLayerMask(layer.Mask, s);
  if (ReadPresence(s)) ReadLayerMask(layer.Mask2, s);
  if (!layer.Mask.Empty() && !SameSize(layer.Mask, layer.Image))
    throw EStreamError("Masque de taille différente de son image");

  layer.Adjustment.Lighten = s.ReadInt32();
  layer.Adjustment.Contrast = s.ReadInt32();
  layer.Adjustment.Saturation = s.ReadInt32();
  layer.Adjustment.Reserved = s.ReadInt32();
  layer.Adjustment.Gamma = s.ReadDouble();

  layer.Shadow.Enabled = s.ReadUInt8();
  s.ReadBuffer(layer.Shadow.EnabledPadding.data(), 3);
  layer.Shadow.Color = s.ReadUInt32();
  layer.Shadow.OffsetX = s.ReadInt32();
  layer.Shadow.OffsetY = s.ReadInt32();
  layer.Shadow.Opacity = s.ReadInt32();
  layer.Shadow.Radius = s.ReadInt32();
  layer.Shadow.Spread = s.ReadUInt8();
  s.ReadBuffer(layer.Shadow.SpreadPadding.data(), 3);
  layer.Shadow.Reserved = s.ReadInt32();

  layer.Data.reset();
  if (ReadPresence(s)) {
    if (CreateLayerData) CreateLayerData(layer);
    // Without the hook (or when it gives no payload) the payload is still read, so
    // that the stream stays in step and a later save keeps the text.
    if (!layer.Data) layer.Data = std::make_unique<TTextData>();
    layer.Data->LoadFromStream(s);
  }
  // What a layer of its kind does not keep is read and let go, as saving would: a text
  // layer's pixels are rendered again from its payload.
  if (layer.LayerType != ltBitmap) {
    layer.Image = TBitmap();
    layer.Mask = TBitmap();
    layer.Mask2 = TBitmap();
  }
  if (layer.LayerType != ltText) layer.Data.reset();
}

void SaveToStream(const TLayerList& list, TStream& s) {
  if (list.GetCount() == 0) throw EInvalidGraphic("Image sans calque");
  const TLayerItem& bg = list[0];
  if (bg.LayerType != ltBitmap || bg.Image.Empty()) throw EInvalidGraphic("Fond invalide");
  s.WriteInt32(list.GetCount());
  for (int i = 0; i < list.GetCount(); ++i) SaveToStream(list[i], s);
}

void LoadFromStream(TLayerList& list, TStream& s) {
  const int32_t count = s.ReadInt32();
  if (count < 1) throw EStreamError("Nombre de calques invalide");
  if (count > s.Remaining() / kMinLayerRecordSize) throw EReadError("Nombre de calques invalide");
  std::vector<std::unique_ptr<TLayerItem>> read;
  read.reserve(size_t(count));
  for (int32_t i = 0; i < count; ++i) {
    auto l = std::make_unique<TLayerItem>();
    LoadFromStream(*l, s);
    if (i == 0) {
      if (l->LayerType != ltBitmap || l->Image.Empty()) throw EStreamError("Fond invalide");
      l->Left = l->Top = 0;
    }
    read.push_back(std::move(l));
  }
  list.Replace(std::move(read));
}

}  // namespace qm
