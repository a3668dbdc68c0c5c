#include <gtest/gtest.h>

#include <cstring>

#include "imagefiles/CodecStreams.h"
#include "imagefiles/LayerRecords.h"
#include "imagefiles/LayerStream.h"
#include "document/LayeredImage.h"
#include "document/TextData.h"
#include "pixel/PixelFormat.h"
#include "platform/core/Stream.h"
#include "support/TestImages.h"

using namespace qm;
using namespace qm::test;

namespace {

std::vector<uint8_t> Save(const TLayerItem& l) {
  TMemoryStream m;
  SaveToStream(l, m);
  return m.Data();
}

std::unique_ptr<TLayerItem> Load(const std::vector<uint8_t>& bytes, size_t* used = nullptr) {
  TBytesStream s(bytes.data(), bytes.size());
  auto l = std::make_unique<TLayerItem>();
  LoadFromStream(*l, s);
  if (used) *used = size_t(s.Position());
  return l;
}

void PutI32(std::vector<uint8_t>& v, size_t at, int32_t x) {
  for (int i = 0; i < 4; ++i) v[at + size_t(i)] = uint8_t(uint32_t(x) >> (8 * i));
}

// Installs a hook for the life of a test.
template <class F>
struct HookGuard {
  F& hook;
  HookGuard(F& h, F value) : hook(h) { hook = std::move(value); }
  ~HookGuard() { hook = nullptr; }
};

// Offsets in a record whose name has n bytes.
size_t TypeAt(size_t n) { return 4 + n + 1 + 1 + 16; }
size_t ImagePresentAt(size_t n) { return TypeAt(n) + 1 + 4 + 4 + 4 + 4 + 1; }

}  // namespace

TEST(LayerStream, RawBitmapAndMaskLayout) {
  // 3 pixels wide: our rows are padded to 12 bytes, the stored ones are 9
  TBitmap b = RandomBitmap(3, 2, 5);
  TMemoryStream m;
  WriteBitmap24(b, m);
  ASSERT_EQ(m.Size(), 8 + 18);
  EXPECT_EQ(std::memcmp(m.Data().data(), "\x03\0\0\0\x02\0\0\0", 8), 0);
  EXPECT_EQ(std::memcmp(m.Data().data() + 8, b.ScanLine(0), 9), 0);
  EXPECT_EQ(std::memcmp(m.Data().data() + 17, b.ScanLine(1), 9), 0);
  m.Seek(0);
  TBitmap back;
  ReadBitmap24(back, m);
  EXPECT_TRUE(SameBitmaps(back, b));

  // a mask stores the first byte of each pixel and reads back grey
  TBitmap mask(3, 1, pf24bit, clBlack);
  mask.ScanLine(0)[3] = 200;
  mask.ScanLine(0)[4] = 1;  // not grey: only the first byte counts
  mask.ScanLine(0)[6] = 255;
  TMemoryStream mm;
  WriteMask8(mask, mm);
  const std::vector<uint8_t> expect = {3, 0, 0, 0, 1, 0, 0, 0, 0, 200, 255};
  EXPECT_EQ(mm.Data(), expect);
  mm.Seek(0);
  TBitmap mb;
  ReadMask8(mb, mm);
  EXPECT_EQ(mb.GetPixel(1, 0), RGB(200, 200, 200));
  EXPECT_EQ(mb.GetPixel(2, 0), clWhite);

  // other formats are stored from a 24-bit copy; empty ones are refused
  TBitmap idx(4, 4, pf8bit, clWhite);
  TMemoryStream mi;
  WriteBitmap24(idx, mi);
  EXPECT_EQ(mi.Size(), 8 + 48);
  TMemoryStream me;
  EXPECT_THROW(WriteBitmap24(TBitmap(), me), EInvalidGraphic);
  EXPECT_THROW(WriteMask8(TBitmap(), me), EInvalidGraphic);
}

TEST(LayerStream, RawBitmapSizesAreChecked) {
  auto read = [](std::vector<uint8_t> bytes) {
    TBytesStream s(bytes.data(), bytes.size());
    TBitmap b(2, 2, pf24bit, clBlack);
    try {
      ReadBitmap24(b, s);
    } catch (...) {
      EXPECT_EQ(b.Width(), 2);  // left as it was
      throw;
    }
    return b;
  };
  std::vector<uint8_t> ok = {1, 0, 0, 0, 1, 0, 0, 0, 1, 2, 3};
  EXPECT_EQ(read(ok).GetPixel(0, 0), RGB(3, 2, 1));
  auto with = [&](int32_t w, int32_t h) {
    std::vector<uint8_t> v = ok;
    PutI32(v, 0, w);
    PutI32(v, 4, h);
    return v;
  };
  EXPECT_THROW(read(with(0, 1)), EStreamError);
  EXPECT_THROW(read(with(1, -1)), EStreamError);
  EXPECT_THROW(read(with(kMaxStoredSide + 1, 1)), EStreamError);
  EXPECT_THROW(read(with(2, 1)), EReadError);            // 6 bytes asked, 3 left
  EXPECT_THROW(read(with(65536, 65536)), EReadError);    // 12 GB asked: refused before allocating
  EXPECT_THROW(read(with(1 << 20, 1 << 20)), EReadError);
}

TEST(LayerStream, RecordsOfEveryKindReadBackAndSaveIdentically) {
  Rng rng(20240611);
  for (int round = 0; round < 60; ++round) {
    const uint8_t type = uint8_t(round % 4);
    auto l = RandomLayer(rng, type, 19, 13, uint32_t(round * 7 + 1));
    const std::vector<uint8_t> bytes = Save(*l);
    size_t used = 0;
    auto back = Load(bytes, &used);
    EXPECT_EQ(used, bytes.size());
    StripToStored(*l);
    EXPECT_TRUE(SameLayer(*back, *l)) << "round " << round;
    EXPECT_EQ(Save(*back), bytes) << "round " << round;
  }
}

TEST(LayerStream, RecordLayout) {
  TLayerItem l;
  l.Name = "Ciel";
  l.LayerType = ltColor;
  l.Color = 0x123456;
  l.ColorNegate = 1;
  l.Left = -3;
  l.Top = 7;
  l.Opacity = 55;
  l.Adjustment.Gamma = 2.0;
  l.Shadow.Enabled = 1;
  l.Shadow.Spread = 1;
  const std::vector<uint8_t> b = Save(l);
  ASSERT_EQ(b.size(), size_t(kMinLayerRecordSize + 4));
  EXPECT_EQ(std::memcmp(b.data(), "\x04\0\0\0Ciel\x01\x00", 10), 0);
  const size_t t = TypeAt(4);
  EXPECT_EQ(b[t], 3);
  EXPECT_EQ(std::memcmp(b.data() + t + 1, "\x56\x34\x12\x00\x01\0\0\0\xFD\xFF\xFF\xFF\x07\0\0\0\x37", 17), 0);
  const size_t adj = ImagePresentAt(4) + 3;
  EXPECT_EQ(b[adj - 3], 0);  // no image, mask or second mask
  EXPECT_EQ(std::memcmp(b.data() + adj + 16, "\0\0\0\0\0\0\0\x40", 8), 0);  // 2.0
  const size_t sh = adj + 24;
  // Enabled, 3 zero bytes, colour 0, offsets 5, 5, opacity 70, radius 2, Spread, 3 zero bytes
  const uint8_t shadow[32] = {1, 0, 0, 0, 0, 0, 0, 0, 5, 0, 0, 0, 5, 0, 0, 0, 70, 0, 0, 0, 2, 0, 0, 0, 1, 0, 0, 0};
  EXPECT_EQ(std::memcmp(b.data() + sh, shadow, 32), 0);
  EXPECT_EQ(b[sh + 32], 0);  // no payload
  // Padding another program wrote is kept: what was opened saves to the same bytes.
  std::vector<uint8_t> padded = b;
  for (size_t i : {1, 2, 3, 25, 26, 27}) padded[sh + i] = uint8_t(0xA0 + i);
  EXPECT_EQ(Save(*Load(padded)), padded);
}

TEST(LayerStream, TextPayloadIsAlwaysRead) {
  Rng rng(3);
  auto l = RandomLayer(rng, ltText, 10, 10, 4);
  std::vector<uint8_t> bytes = Save(*l);
  // a second record after it: the stream must stay in step
  TLayerItem after;
  after.Name = "after";
  const std::vector<uint8_t> next = Save(after);
  bytes.insert(bytes.end(), next.begin(), next.end());
  const auto& text = dynamic_cast<const TTextData&>(*l->Data);

  {  // no hook: the payload is kept as text data
    TBytesStream s(bytes.data(), bytes.size());
    TLayerItem a, b;
    LoadFromStream(a, s);
    LoadFromStream(b, s);
    ASSERT_TRUE(a.Data);
    EXPECT_TRUE(dynamic_cast<const TTextData&>(*a.Data) == text);
    EXPECT_EQ(b.Name, "after");
  }
  {  // the hook makes the payload, which reads itself
    int calls = 0;
    HookGuard g(CreateLayerData, std::function<void(TLayerItem&)>([&](TLayerItem& x) {
                  ++calls;
                  if (!x.Data) x.Data = std::make_unique<TTextData>();
                }));
    TBytesStream s(bytes.data(), bytes.size());
    TLayerItem a, b;
    LoadFromStream(a, s);
    LoadFromStream(b, s);
    EXPECT_EQ(calls, 1);
    EXPECT_TRUE(dynamic_cast<const TTextData&>(*a.Data) == text);
    EXPECT_EQ(b.Name, "after");
  }
  {  // a hook that gives nothing does not leave the payload unread
    HookGuard g(CreateLayerData, std::function<void(TLayerItem&)>([](TLayerItem&) {}));
    TBytesStream s(bytes.data(), bytes.size());
    TLayerItem a, b;
    LoadFromStream(a, s);
    LoadFromStream(b, s);
    EXPECT_EQ(b.Name, "after");
  }
  // a bitmap layer never stores a payload, nor a text layer its bitmaps
  TLayerItem bmp;
  bmp.Image = RandomBitmap(2, 2, 1);
  bmp.Data = RandomText(rng);
  EXPECT_FALSE(Load(Save(bmp))->Data);
  l->Image = RandomBitmap(4, 4, 2);
  EXPECT_TRUE(Load(Save(*l))->Image.Empty());
}

TEST(LayerStream, TextPayloadLimits) {
  TTextData t;
  t.FontName = std::string(300, 'f');
  t.Lines = {std::string(256, 'a'), "é" + std::string(254, 'b')};  // 256 bytes: "é" is 2
  TMemoryStream m;
  t.SaveToStream(m);
  m.Seek(0);
  TTextData back;
  back.LoadFromStream(m);
  EXPECT_EQ(back.FontName, std::string(255, 'f'));
  EXPECT_EQ(back.Lines[0], std::string(255, 'a'));
  EXPECT_EQ(back.Lines[1], "é" + std::string(253, 'b'));

  // a line count beyond the bytes left fails without touching the payload
  std::vector<uint8_t> bytes = m.Data();
  const size_t linesAt = bytes.size() - 8 - (4 + 255) - (4 + 255) - 4;
  PutI32(bytes, linesAt, 1000000);
  TBytesStream s(bytes.data(), bytes.size());
  TTextData keep;
  keep.FontName = "kept";
  EXPECT_THROW(keep.LoadFromStream(s), EReadError);
  EXPECT_EQ(keep.FontName, "kept");
}

TEST(LayerStream, WhatAKindDoesNotKeepIsDropped) {
  // bitmaps stored for a text layer (no writer of ours stores them) are read and let go
  TLayerItem bmp;
  bmp.Image = RandomBitmap(4, 3, 1);
  bmp.Mask2 = GreyMask(2, 2, 2);
  std::vector<uint8_t> v = Save(bmp);
  v[TypeAt(0)] = ltText;
  auto l = Load(v);
  EXPECT_EQ(l->LayerType, ltText);
  EXPECT_TRUE(l->Image.Empty());
  EXPECT_TRUE(l->Mask2.Empty());
  // and a payload stored for a bitmap layer
  Rng rng(5);
  auto text = RandomLayer(rng, ltText, 5, 5, 6);
  text->Name.clear();
  v = Save(*text);
  v[TypeAt(0)] = ltBitmap;
  l = Load(v);
  EXPECT_FALSE(l->Data);
  EXPECT_EQ(Save(*l), Save(*Load(Save(*l))));
}

TEST(LayerStream, DamagedRecordsAreRefused) {
  TLayerItem l;
  l.Name = "ab";
  l.Image = RandomBitmap(3, 2, 9);
  l.Mask = GreyMask(3, 2, 10);
  const std::vector<uint8_t> good = Save(l);
  ASSERT_NO_THROW(Load(good));
  auto expectError = [&](std::vector<uint8_t> bytes, const char* what) {
    EXPECT_THROW(Load(bytes), EStreamError) << what;
  };
  std::vector<uint8_t> v = good;
  v[TypeAt(2)] = 4;
  expectError(v, "layer type");
  v = good;
  v[ImagePresentAt(2)] = 2;
  expectError(v, "presence flag");
  v = good;
  v[ImagePresentAt(2) + 1] = 2;
  expectError(v, "codec");
  v = good;
  const size_t transparentAt = ImagePresentAt(2) + 1 + 1 + 8 + 18;
  ASSERT_EQ(v[transparentAt], 0);
  v[transparentAt] = 1;
  EXPECT_TRUE(Load(v)->Image.Transparent);
  v[transparentAt] = 2;
  expectError(v, "transparency flag");
  v = good;
  PutI32(v, 0, -1);
  expectError(v, "name length");
  v = good;
  PutI32(v, 0, 1 << 30);
  expectError(v, "name length");
  v = good;
  PutI32(v, TypeAt(2) + 9, kCoordLimit + 1);
  expectError(v, "position");
  // the mask's width (after the image's codec byte, raw bitmap, transparency) differs
  v = good;
  const size_t maskAt = ImagePresentAt(2) + 1 + 1 + 8 + 18 + 5;
  ASSERT_EQ(v[maskAt], 1);
  PutI32(v, maskAt + 2, 2);
  expectError(v, "mask size");
  for (size_t n = 0; n < good.size(); ++n) {
    std::vector<uint8_t> cut(good.begin(), good.begin() + ptrdiff_t(n));
    EXPECT_THROW(Load(cut), EReadError) << "cut at " << n;
  }
  // an opacity above 100 reads as 100
  v = good;
  v[ImagePresentAt(2) - 1] = 250;
  EXPECT_EQ(Load(v)->Opacity, 100);
}

TEST(LayerStream, PngAndGifCodecsAreRead) {
  // an image as a PNG stream: RGB, palette, 16-bit grey with alpha, interlaced
  const int w = 13, h = 9;
  TBitmap expect(w, h, pf24bit, clBlack);
  PngPicture rgb{w, h, PNG_COLOR_TYPE_RGB, 8, true, {}, {}};
  Rng rng(8);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      const int r = rng.Int(0, 255), g = rng.Int(0, 255), b = rng.Int(0, 255);
      rgb.samples.insert(rgb.samples.end(), {uint8_t(r), uint8_t(g), uint8_t(b)});
      expect.SetPixel(x, y, RGB(r, g, b));
    }
  PngPicture pal{w, h, PNG_COLOR_TYPE_PALETTE, 8, false, {}, {{10, 20, 30}, {200, 100, 0}}};
  for (int i = 0; i < w * h; ++i) pal.samples.push_back(uint8_t(i % 2));
  PngPicture grey{w, h, PNG_COLOR_TYPE_GRAY_ALPHA, 16, false, {}, {}};
  for (int i = 0; i < w * h; ++i) grey.samples.insert(grey.samples.end(), {uint8_t(i), 0x80, 0x12, 0x34});

  // a mask as a GIF stream, interlaced, with a comment and a second frame
  GifPicture gif{w, h, {{0, 0, 0}, {255, 255, 255}, {128, 128, 128}, {7, 7, 7}}, {}, true, 1};
  for (int i = 0; i < w * h; ++i) gif.indices.push_back(uint8_t(rng.Int(0, 3)));

  for (const PngPicture* pic : {&rgb, &pal, &grey}) {
    TMemoryStream m;
    m.WriteUInt8(1);
    const std::vector<uint8_t> png = EncodePng(*pic);
    ASSERT_FALSE(png.empty());
    m.Write(png.data(), png.size());
    m.WriteUInt8(1);
    const std::vector<uint8_t> g = EncodeGif(gif);
    ASSERT_FALSE(g.empty());
    m.Write(g.data(), g.size());
    m.WriteUInt32(0xC0FFEE);  // what follows must still be in step
    m.Seek(0);
    TBitmap img, mask;
    ReadLayerBitmap(img, m);
    ReadLayerMask(mask, m);
    EXPECT_EQ(m.ReadUInt32(), 0xC0FFEEu);
    ASSERT_EQ(img.PixelFormat(), pf24bit);
    ASSERT_EQ(img.Width(), w);
    ASSERT_EQ(img.Height(), h);
    if (pic == &rgb) {
      EXPECT_TRUE(SameBitmaps(img, expect));
    } else if (pic == &pal) {
      EXPECT_EQ(img.GetPixel(1, 0), RGB(200, 100, 0));
    } else {
      EXPECT_EQ(img.GetPixel(5, 0), RGB(5, 5, 5));
    }
    ASSERT_EQ(mask.Width(), w);
    for (int i = 0; i < w * h; ++i) {
      const GifColorType c = gif.colors[gif.indices[size_t(i)]];
      ASSERT_EQ(mask.GetPixel(i % w, i / w), RGB(c.Red, c.Green, c.Blue)) << i;
    }
  }

  // damaged streams fail cleanly
  std::vector<uint8_t> png = EncodePng(rgb);
  for (size_t n : {size_t(0), size_t(7), size_t(20), png.size() / 2, png.size() - 1}) {
    std::vector<uint8_t> v = {1};
    v.insert(v.end(), png.begin(), png.begin() + ptrdiff_t(n));
    TBytesStream s(v.data(), v.size());
    TBitmap b;
    EXPECT_THROW(ReadLayerBitmap(b, s), EStreamError) << n;
  }
  std::vector<uint8_t> g = EncodeGif(gif);
  g.pop_back();  // no trailer
  g.insert(g.begin(), 1);
  TBytesStream gs(g.data(), g.size());
  TBitmap gm;
  EXPECT_THROW(ReadLayerMask(gm, gs), EStreamError);
}

TEST(LayerStream, LayerListKeepsItsLayersOnFailure) {
  TLayeredImage doc;
  doc.LoadFromBitmap(RandomBitmap(6, 4, 1), TBitmap(), "#0");
  doc.AddColorLayer(0x00FF00, 40, "#1", false);
  TMemoryStream m;
  SaveToStream(doc.Layers, m);
  const std::vector<uint8_t> good = m.Data();

  TLayeredImage other;
  other.LoadFromBitmap(RandomBitmap(3, 3, 2), TBitmap(), "old");
  for (size_t n = 0; n < good.size(); n += 7) {
    std::vector<uint8_t> cut(good.begin(), good.begin() + ptrdiff_t(n));
    TBytesStream s(cut.data(), cut.size());
    EXPECT_THROW(LoadFromStream(other.Layers, s), EStreamError);
    ASSERT_EQ(other.GetLayerCount(), 1);
    EXPECT_EQ(other.Layers[0].Name, "old");
  }
  // a count of 0 and a background that is not a bitmap layer are refused
  std::vector<uint8_t> zero = {0, 0, 0, 0};
  TBytesStream z(zero.data(), zero.size());
  EXPECT_THROW(LoadFromStream(other.Layers, z), EStreamError);
  TLayeredImage colourOnly;
  colourOnly.LoadFromBitmap(RandomBitmap(2, 2, 3), TBitmap(), "#0");
  colourOnly.Layers[0].LayerType = ltColor;
  TMemoryStream c;
  EXPECT_THROW(SaveToStream(colourOnly.Layers, c), EInvalidGraphic);
  std::vector<uint8_t> moved = good;
  moved[4 + 4 + 2 + 1 + 1 + 16] = ltColor;  // the background's type
  TBytesStream ms(moved.data(), moved.size());
  EXPECT_THROW(LoadFromStream(other.Layers, ms), EStreamError);

  // success: the background is put at 0, 0 and made active
  std::vector<uint8_t> shifted = good;
  PutI32(shifted, 4 + 4 + 2 + 1 + 1 + 16 + 1 + 4 + 4, 5);
  TBytesStream ss(shifted.data(), shifted.size());
  other.SetActiveLayerIndex(0);
  LoadFromStream(other.Layers, ss);
  ASSERT_EQ(other.GetLayerCount(), 2);
  EXPECT_EQ(other.Layers[0].Left, 0);
  EXPECT_EQ(other.ActiveIndex(), 0);
  EXPECT_EQ(other.Layers[1].Color, 0x00FF00u);
}

TEST(LayeredImage, LayersFromGraphics) {
  TLayeredImage doc;
  // a 32-bit graphic: its alpha becomes the mask
  TBitmap g32 = RandomBitmap(5, 4, 11, pf32bit);
  doc.LoadFromGraphic(g32, "#0");
  ASSERT_EQ(doc.GetLayerCount(), 1);
  const TLayerItem& bg = doc.Layers[0];
  EXPECT_EQ(bg.Opacity, 100);
  EXPECT_EQ(bg.Name, "#0");
  ASSERT_EQ(bg.Mask.Width(), 5);
  EXPECT_EQ(bg.Image.PixelFormat(), pf24bit);
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 5; ++x) {
      ASSERT_EQ(bg.Mask.ScanLine(y)[3 * x], 255 - g32.ScanLine(y)[4 * x + 3]);
      ASSERT_EQ(bg.Image.GetPixel(x, y), g32.GetPixel(x, y) & 0xFFFFFF);
    }
  EXPECT_EQ(doc.ComposedBitmap().Width(), 5);

  // a transparent 8-bit graphic: its key colour becomes the hidden part of the mask
  TBitmap keyed(4, 3, pf8bit, clWhite);
  keyed.SetPixel(1, 1, clBlack);
  keyed.Transparent = true;
  keyed.TransparentColor = clWhite;
  const int i = doc.AddLayerFromGraphic(keyed, TPoint{2, -1}, "#1", 60);
  ASSERT_EQ(i, 1);
  const TLayerItem& l = doc.Layers[1];
  EXPECT_EQ(doc.ActiveIndex(), 1);
  EXPECT_EQ(l.Opacity, 60);
  EXPECT_EQ(l.Left, 2);
  EXPECT_EQ(l.Top, -1);
  EXPECT_EQ(l.Image.PixelFormat(), pf24bit);
  ASSERT_FALSE(l.Mask.Empty());
  EXPECT_EQ(l.Mask.ScanLine(1)[3], 0);
  EXPECT_EQ(l.Mask.ScanLine(0)[0], 255);

  // an opaque graphic has no mask
  doc.AddLayerFromGraphic(RandomBitmap(3, 3, 4), TPoint{}, "#2", 100);
  EXPECT_TRUE(doc.Layers[2].Mask.Empty());
}
