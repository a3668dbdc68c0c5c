#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "imagefiles/CodecStreams.h"
#include "imagefiles/LayerRecords.h"
#include "imagefiles/LayerStream.h"
#include "imagefiles/LayeredFile.h"
#include "pixel/ImgUtils.h"
#include "pixel/Transform.h"
#include "platform/core/Numeric.h"
#include "platform/core/Parallel.h"
#include "support/TempFiles.h"
#include "support/TestImages.h"

#include <magick/api.h>

using namespace qm;
using namespace qm::test;

namespace {

std::string TempDir(const std::string& sub) { return test::TestTmpDir("layeredfile", sub); }

std::vector<uint8_t> ReadAll(const std::string& name) { return ReadFileBytes(name); }
void WriteAll(const std::string& name, const std::vector<uint8_t>& bytes) { WriteFileBytes(name, bytes); }

int32_t GetI32(const std::vector<uint8_t>& v, size_t at) {
  return int32_t(uint32_t(v[at]) | (uint32_t(v[at + 1]) << 8) | (uint32_t(v[at + 2]) << 16) |
                 (uint32_t(v[at + 3]) << 24));
}

void PutI32(std::vector<uint8_t>& v, size_t at, int32_t x) {
  for (int i = 0; i < 4; ++i) v[at + size_t(i)] = uint8_t(uint32_t(x) >> (8 * i));
}

std::vector<uint8_t> Save(TLayeredImage& doc) {
  TMemoryStream m;
  SaveLayeredImageToStream(doc, m);
  return m.Data();
}

void Load(TLayeredImage& doc, const std::vector<uint8_t>& bytes) {
  TBytesStream s(bytes.data(), bytes.size());
  LoadLayeredImageFromStream(doc, s);
}

// A document of 1 to 6 layers of every kind: negative positions, masks and second
// masks, transparent images, text payloads, hidden and locked layers.
void RandomDocument(TLayeredImage& doc, Rng& rng, uint32_t seed, int w, int h) {
  TBitmap bg = RandomBitmap(w, h, seed);
  doc.LoadFromBitmap(bg, rng.Chance(30) ? GreyMask(w, h, seed + 1) : TBitmap(), "#0");
  TLayerItem& b = doc.Layers[0];
  RandomShadowRecord(rng, b.Shadow);
  if (rng.Chance(30)) b.Mask2 = GreyMask(rng.Int(1, w), rng.Int(1, h), seed + 2);
  const int extra = rng.Int(0, 5);
  for (int i = 0; i < extra; ++i) {
    const uint8_t type = uint8_t(rng.Int(0, 3));
    auto l = RandomLayer(rng, type, w, h, seed * 31 + uint32_t(i));
    // a text layer's bitmaps are rendered from its payload, never stored
    StripToStored(*l);
    doc.Layers.Add(std::move(l));
  }
  static const double kRes[] = {72, 300, 96.5, 1.005, 0.0625, 2400};
  doc.ResolutionX = kRes[rng.Int(0, 5)];
  doc.ResolutionY = kRes[rng.Int(0, 5)];
  doc.Comment = rng.Chance(50) ? "" : "Vue du pont, été " + std::to_string(rng.Int(1990, 2030));
  if (rng.Chance(10)) doc.Comment = std::string(300, 'c');
  doc.ColorCount = rng.Chance(50) ? 16777216 : rng.Int(2, 256);
}

// Three layers: a wide, flat background (so that the thumbnail stays small), a masked
// bitmap and a text layer.
void ThreeLayers(TLayeredImage& doc) {
  doc.LoadFromBitmap(RandomBitmap(300, 4, 1), TBitmap(), "#0");
  doc.AddLayer(RandomBitmap(5, 3, 2), GreyMask(5, 3, 3), "Calque élevé", 70, TPoint{-2, 1});
  Rng rng(4);
  doc.AddDataLayer(RandomText(rng), "Texte");
  doc.Comment = "trois";
}

// A layer record with the given codec sections written as they are.
void WriteRecordWithCodecs(TStream& s, const std::vector<uint8_t>& png, const std::vector<uint8_t>& gif,
                           int32_t left, int32_t top) {
  WriteStoredString(s, "ancien", 255);
  s.WriteUInt8(1);
  s.WriteUInt8(0);
  for (int i = 0; i < 4; ++i) s.WriteInt32(0);
  s.WriteUInt8(ltBitmap);
  s.WriteUInt32(0xFFFFFF);
  s.WriteInt32(0);
  s.WriteInt32(left);
  s.WriteInt32(top);
  s.WriteUInt8(100);
  s.WriteUInt8(1);
  s.WriteUInt8(1);
  s.Write(png.data(), png.size());
  s.WriteUInt8(gif.empty() ? 0 : 1);
  if (!gif.empty()) {
    s.WriteUInt8(1);
    s.Write(gif.data(), gif.size());
  }
  s.WriteUInt8(0);
  for (int i = 0; i < 4; ++i) s.WriteInt32(0);
  s.WriteDouble(1.0);
  s.WriteUInt8(0);
  s.Write("\0\0\0", 3);
  s.WriteUInt32(0);
  s.WriteInt32(5);
  s.WriteInt32(5);
  s.WriteInt32(70);
  s.WriteInt32(2);
  s.WriteUInt8(0);
  s.Write("\0\0\0", 3);
  s.WriteInt32(0);
  s.WriteUInt8(0);
}

// A file of an older version whose layers use the PNG and GIF codecs: a 150 x 2 RGB
// background and a 4 x 3 layer with a GIF mask.
std::vector<uint8_t> OldCodecFile() {
  TLayeredImage doc;
  doc.LoadFromBitmap(TBitmap(150, 2, pf24bit, clWhite), TBitmap(), "#0");
  std::vector<uint8_t> bytes = Save(doc);
  bytes.resize(size_t(294 + GetI32(bytes, 294)));  // header and thumbnail only
  TMemoryStream m(bytes);
  m.Seek(m.Size());
  m.WriteInt32(2);
  PngPicture bg{150, 2, PNG_COLOR_TYPE_RGB, 8, false, {}, {}};
  for (int i = 0; i < 300; ++i) bg.samples.insert(bg.samples.end(), {uint8_t(i * 7), 50, uint8_t(255 - i)});
  WriteRecordWithCodecs(m, EncodePng(bg), {}, 0, 0);
  PngPicture layer{4, 3, PNG_COLOR_TYPE_PALETTE, 8, true, {}, {{255, 0, 0}, {0, 0, 255}}};
  for (int i = 0; i < 12; ++i) layer.samples.push_back(uint8_t(i & 1));
  GifPicture mask{4, 3, {{0, 0, 0}, {255, 255, 255}}, {0, 1, 0, 1, 1, 1, 0, 0, 0, 0, 0, 1}, false, 0};
  WriteRecordWithCodecs(m, EncodePng(layer), EncodeGif(mask), 2, 1);
  return m.Data();
}

}  // namespace

TEST(LayeredFile, RandomDocumentsReadBackAndSaveIdentically) {
  Rng rng(1103);
  for (int round = 0; round < 24; ++round) {
    TLayeredImage doc;
    RandomDocument(doc, rng, uint32_t(round + 1), rng.Int(1, 40), rng.Int(1, 30));
    const std::vector<uint8_t> bytes = Save(doc);

    TLayeredImage back;
    Load(back, bytes);
    ASSERT_EQ(back.GetLayerCount(), doc.GetLayerCount());
    EXPECT_EQ(back.ActiveIndex(), 0);
    for (int i = 0; i < doc.GetLayerCount(); ++i) {
      StripToStored(doc.Layers[i]);
      EXPECT_TRUE(SameLayer(back.Layers[i], doc.Layers[i])) << "round " << round << " layer " << i;
    }
    EXPECT_EQ(back.ResolutionX, RoundHalfEven(doc.ResolutionX * 1000) / 1000.0);
    EXPECT_EQ(back.ResolutionY, RoundHalfEven(doc.ResolutionY * 1000) / 1000.0);
    EXPECT_EQ(back.Comment, doc.Comment.substr(0, 255));
    EXPECT_EQ(back.ColorCount, doc.ColorCount);
    EXPECT_EQ(Save(back), bytes) << "round " << round;
  }
}

TEST(LayeredFile, WorkedSizesAndOffsets) {
  // one 1 x 1 background: the thumbnail is enlarged to 150 x 150
  TLayeredImage doc;
  doc.LoadFromBitmap(TBitmap(1, 1, pf24bit, RGB(10, 20, 30)), TBitmap(), "#0");
  doc.ResolutionX = 72;
  doc.ResolutionY = 0.0625;
  doc.Comment = "bonjour";
  doc.ColorCount = 1;
  const std::vector<uint8_t> b = Save(doc);
  EXPECT_EQ(std::memcmp(b.data(), "Quillomatic Image\x01", 18), 0);
  EXPECT_EQ(GetI32(b, 18), 1);
  EXPECT_EQ(GetI32(b, 22), 1);
  EXPECT_EQ(GetI32(b, 26), 72000);
  EXPECT_EQ(GetI32(b, 30), 62);  // 62.5, halves to even
  EXPECT_EQ(std::memcmp(b.data() + 34, "bonjour", 8), 0);
  for (size_t i = 34 + 7; i < 290; ++i) ASSERT_EQ(b[i], 0);
  EXPECT_EQ(GetI32(b, 290), 1);
  EXPECT_EQ(GetI32(b, 294), 67525);
  EXPECT_EQ(std::memcmp(b.data() + 298, "Thumbnail\0\0\0\0", 13), 0);
  EXPECT_EQ(GetI32(b, 311), 150);
  EXPECT_EQ(GetI32(b, 315), 150);
  const size_t list = 294 + 67525;
  EXPECT_EQ(GetI32(b, list), 1);
  // the record: name "#0", flags, reserved, type, colour, negate, position, opacity
  const size_t image = list + 4 + 6 + 2 + 16 + 1 + 16 + 1;
  EXPECT_EQ(b[image - 1], 100);
  EXPECT_EQ(b[image], 1);      // ImagePresent
  EXPECT_EQ(b[image + 1], 0);  // codec 0
  EXPECT_EQ(GetI32(b, image + 2), 1);
  EXPECT_EQ(GetI32(b, image + 6), 1);
  EXPECT_EQ(b[image + 10], 30);  // blue, green, red
  EXPECT_EQ(b[image + 12], 10);
  EXPECT_EQ(b.size(), image + 2 + 8 + 3 + 5 + 2 + 24 + 32 + 1);

  // thumbnail sizes: proportional, enlarged, never a side of 0
  int tw, th;
  ThumbnailSize(300, 100, 150, tw, th);
  EXPECT_EQ(tw, 150);
  EXPECT_EQ(th, 50);
  ThumbnailSize(300, 1, 150, tw, th);
  EXPECT_EQ(tw, 150);
  EXPECT_EQ(th, 1);
  ThumbnailSize(1, 1000, 150, tw, th);
  EXPECT_EQ(tw, 1);
  EXPECT_EQ(th, 150);
  for (int w = 1; w < 700; w += 3)
    for (int h : {1, 2, 77, 150, 151, 449}) {
      int ew = w, eh = h;
      FitSizeProportional(ew, eh, 150, 150);
      ThumbnailSize(w, h, 150, tw, th);
      ASSERT_EQ(tw, std::max(ew, 1));
      ASSERT_EQ(th, std::max(eh, 1));
    }
  const TBitmap t = CreateThumbnail(RandomBitmap(300, 100, 3), 150);
  EXPECT_EQ(t.Width(), 150);
  EXPECT_EQ(t.Height(), 50);
  // a flat 600 x 2 document still saves (its thumbnail is 150 x 1) and reads back
  TLayeredImage flat;
  flat.LoadFromBitmap(RandomBitmap(600, 2, 5), TBitmap(), "#0");
  TLayeredImage flatBack;
  Load(flatBack, Save(flat));
  EXPECT_TRUE(SameBitmaps(flatBack.Layers[0].Image, flat.Layers[0].Image));
}

TEST(LayeredFile, ThumbnailIsGraphicsMagickLanczos) {
  // a flat colour stays that colour; an edge rings a little, as a 3-lobe Lanczos does
  TBitmap grey(600, 300, pf24bit, RGB(90, 90, 90));
  const TBitmap t = CreateThumbnail(grey, 150);
  ASSERT_EQ(t.Width(), 150);
  ASSERT_EQ(t.Height(), 75);
  for (int y = 0; y < 75; ++y)
    for (int x = 0; x < 150; ++x) ASSERT_EQ(t.GetPixel(x, y), RGB(90, 90, 90));
  TBitmap edge(40, 40, pf24bit, clBlack);
  edge.FillRect(TRect{20, 0, 40, 40}, RGB(200, 200, 200));
  const TBitmap big = CreateThumbnail(edge, 150);
  ASSERT_EQ(big.Width(), 150);
  int over = 0;
  for (int x = 0; x < 150; ++x) over += GetRValue(big.GetPixel(x, 70)) > 200;
  EXPECT_GT(over, 0);
}

namespace {

// A photo-sized picture: smooth gradients, hard-edged blocks and a little noise.
TBitmap PhotoLike(int w, int h) {
  TBitmap b(w, h, pf24bit, clBlack);
  Rng rng(77);
  for (int y = 0; y < h; ++y) {
    uint8_t* row = b.ScanLine(y);
    for (int x = 0; x < w; ++x) {
      const bool block = ((x / 173) + (y / 131)) % 3 == 0;
      const int n = rng.Int(-6, 6);
      row[3 * x] = uint8_t(std::clamp((block ? 230 : x * 200 / w) + n, 0, 255));
      row[3 * x + 1] = uint8_t(std::clamp((block ? 40 : y * 220 / h) + n, 0, 255));
      row[3 * x + 2] = uint8_t(std::clamp(((x + y) * 255 / (w + h)) + n, 0, 255));
    }
  }
  return b;
}

}  // namespace

TEST(LayeredFile, ThumbnailsOfLargePicturesMatchTheDirectLanczos) {
  // Large pictures are averaged down before the filter: the thumbnail must stay what
  // the filter alone gives, to within what the eye cannot tell.
  const TBitmap photo = PhotoLike(2400, 1600);
  const TBitmap t = CreateThumbnail(photo, 150);
  ASSERT_EQ(t.Width(), 150);
  ASSERT_EQ(t.Height(), 100);
  ExceptionInfo ex;
  GetExceptionInfo(&ex);
  Image* image = ConstituteImage(2400, 1600, "BGR", CharPixel, photo.Bits(), &ex);
  ASSERT_NE(image, nullptr);
  Image* sized = ResizeImage(image, 150, 100, LanczosFilter, 1.0, &ex);
  ASSERT_NE(sized, nullptr);
  std::vector<uint8_t> direct(150 * 100 * 3);
  ASSERT_EQ(DispatchImage(sized, 0, 0, 150, 100, "BGR", CharPixel, direct.data(), &ex), MagickPass);
  DestroyImage(sized);
  DestroyImage(image);
  DestroyExceptionInfo(&ex);
  int64_t sum = 0;
  int worst = 0;
  for (int y = 0; y < 100; ++y)
    for (int i = 0; i < 450; ++i) {
      const int d = std::abs(int(t.ScanLine(y)[i]) - int(direct[size_t(y) * 450 + size_t(i)]));
      sum += d;
      worst = std::max(worst, d);
    }
  EXPECT_LE(double(sum) / (150 * 100 * 3), 0.5);
  EXPECT_LE(worst, 6);
  // a flat colour stays exactly that colour through both steps
  const TBitmap flat = CreateThumbnail(TBitmap(2400, 1200, pf24bit, RGB(91, 17, 203)), 150);
  for (int y = 0; y < flat.Height(); ++y)
    for (int x = 0; x < flat.Width(); ++x) ASSERT_EQ(flat.GetPixel(x, y), RGB(91, 17, 203));
}

TEST(LayeredFile, BadFilesFailAndLeaveTheDocument) {
  TLayeredImage doc;
  ThreeLayers(doc);
  const std::vector<uint8_t> good = Save(doc);
  TLayeredImage target;
  target.LoadFromBitmap(RandomBitmap(3, 3, 9), TBitmap(), "avant");
  target.Comment = "avant";
  auto unchanged = [&] {
    ASSERT_EQ(target.GetLayerCount(), 1);
    EXPECT_EQ(target.Layers[0].Name, "avant");
    EXPECT_EQ(target.Comment, "avant");
  };

  std::vector<uint8_t> v = good;
  v[0] = 'q';
  EXPECT_THROW(Load(target, v), EStreamError);
  unchanged();
  v = good;
  v[17] = 2;  // another version: a failure, not an empty document
  EXPECT_THROW(Load(target, v), EStreamError);
  unchanged();
  v = good;
  v[294] = 3;  // a block too small for its tag
  v[295] = v[296] = v[297] = 0;
  EXPECT_THROW(Load(target, v), EStreamError);
  unchanged();
  // The thumbnail block is checked as the preview checks it: its tag, a size that is
  // that of its bitmap, a bitmap of a valid size. Both readers refuse the same files.
  auto thumbnailRefused = [&](const std::vector<uint8_t>& bad, const char* what) {
    EXPECT_THROW(Load(target, bad), EStreamError) << what;
    unchanged();
    TBytesStream s(bad.data(), bad.size());
    TMyImageLayeredReg preview;
    EXPECT_THROW(preview.LoadThumbnailFromStream(s), EStreamError) << what;
  };
  v = good;
  v[300] = 'X';
  thumbnailRefused(v, "tag");
  for (int32_t delta : {3, -3}) {
    v = good;
    PutI32(v, 294, GetI32(v, 294) + delta);
    thumbnailRefused(v, "block size");
  }
  v = good;
  PutI32(v, 294 + 4 + 9 + 4 + 4, 0);  // the thumbnail's height
  thumbnailRefused(v, "thumbnail size");

  // cut at every offset: always an error
  for (size_t n = 0; n < good.size(); ++n) {
    std::vector<uint8_t> cut(good.begin(), good.begin() + ptrdiff_t(n));
    EXPECT_THROW(Load(target, cut), EStreamError) << "cut at " << n;
  }
  unchanged();

  // each header byte flipped: the checked fields fail (the magic, the version, a
  // size below 1, the block size), the others read as data
  for (size_t i = 0; i < 294 + 4; ++i) {
    v = good;
    v[i] ^= 0xFF;
    const bool badSize = GetI32(v, 18) < 1 || GetI32(v, 22) < 1;
    TLayeredImage d;
    try {
      Load(d, v);
      ASSERT_TRUE(i >= 18 && i < 294 && !badSize) << "byte " << i;
      ASSERT_EQ(d.GetLayerCount(), 3);
      for (int k = 0; k < 3; ++k) EXPECT_TRUE(SameLayer(d.Layers[k], doc.Layers[k]));
    } catch (const EStreamError&) {
      EXPECT_TRUE(i < 18 || i >= 294 || badSize) << "byte " << i;
    }
  }
  // a size of 0 in the header is refused like the thumbnail reader refuses it
  v = good;
  v[18] = v[19] = v[20] = v[21] = 0;
  EXPECT_THROW(Load(target, v), EStreamError);
  unchanged();
  // and every byte of the file: never a crash; what reads saves and reads again (one
  // in 25 is saved: most are flips of pixels, saving is the slow part, and the fuzzer
  // does the rest)
  int loaded = 0;
  for (size_t i = 0; i < good.size(); ++i) {
    v = good;
    v[i] ^= uint8_t(0x5A);
    TLayeredImage d;
    try {
      Load(d, v);
    } catch (const EStreamError&) {
      continue;
    }
    if (loaded++ % 25 != 0) continue;
    const std::vector<uint8_t> again = Save(d);
    TLayeredImage e;
    Load(e, again);
    ASSERT_EQ(Save(e), again) << "byte " << i;
  }
}

TEST(LayeredFile, OlderCodecsAndTexts) {
  const std::vector<uint8_t> old = OldCodecFile();
  TLayeredImage doc;
  Load(doc, old);
  ASSERT_EQ(doc.GetLayerCount(), 2);
  EXPECT_EQ(doc.Layers[0].Image.GetPixel(2, 0), RGB(14, 50, 253));
  const TLayerItem& l = doc.Layers[1];
  EXPECT_EQ(l.Left, 2);
  EXPECT_EQ(l.Image.GetPixel(1, 0), RGB(0, 0, 255));
  EXPECT_EQ(l.Mask.GetPixel(1, 0), clWhite);
  EXPECT_EQ(l.Mask.GetPixel(0, 0), clBlack);
  // saved again with the raw codecs, it reads back the same
  TLayeredImage again;
  Load(again, Save(doc));
  EXPECT_TRUE(SameLayer(again.Layers[1], doc.Layers[1]));

  // names and comments of the first platform's code page keep their accents
  TLayeredImage t;
  t.LoadFromBitmap(RandomBitmap(2, 2, 1), TBitmap(), "Crxme");
  t.Comment = "Noxl";
  std::vector<uint8_t> b = Save(t);
  b[34 + 2] = 0xEB;  // ë
  const size_t name = 294 + size_t(GetI32(b, 294)) + 4 + 4;
  ASSERT_EQ(b[name + 2], 'x');
  b[name + 2] = 0xE8;  // è
  Load(t, b);
  EXPECT_EQ(t.Comment, "Noël");
  EXPECT_EQ(t.Layers[0].Name, "Crème");
}

TEST(LayeredFile, FilesThumbnailsAndThePicture) {
  const std::string dir = TempDir("files");
  const std::string name = dir + "/doc.qxi";
  TLayeredImage doc;
  ThreeLayers(doc);
  doc.ResolutionX = doc.ResolutionY = 150;
  SaveLayeredImageToFile(doc, name);

  TLayeredImage back;
  LoadLayeredImageFromFile(back, name);
  EXPECT_EQ(back.GetLayerCount(), 3);
  EXPECT_EQ(back.ResolutionX, 150);

  TMyImageLayeredReg full;
  full.LoadFromFile(name);
  doc.RenderLayers();
  EXPECT_TRUE(SameBitmaps(full.Bitmap, doc.ComposedBitmap()));
  EXPECT_EQ(full.ImageWidth, 300);
  EXPECT_EQ(full.ImageHeight, 4);

  TMyImageLayeredReg thumb;
  thumb.ThumbnailOnly = true;
  thumb.LoadFromFile(name);
  EXPECT_EQ(thumb.ImageWidth, 300);
  EXPECT_EQ(thumb.ImageHeight, 4);
  EXPECT_TRUE(SameBitmaps(thumb.Bitmap, CreateThumbnail(doc.ComposedBitmap(), 150)));
  // the file's block is the one WriteThumbnailBlock writes, and ReadThumbnailBlock reads it
  TMemoryStream block;
  WriteThumbnailBlock(thumb.Bitmap, block);
  const std::vector<uint8_t> file = ReadAll(name);
  ASSERT_GE(file.size(), 294 + block.Data().size());
  EXPECT_TRUE(std::equal(block.Data().begin(), block.Data().end(), file.begin() + 294));
  block.Seek(0);
  TBitmap read;
  ReadThumbnailBlock(read, block);
  EXPECT_TRUE(SameBitmaps(read, thumb.Bitmap));
  EXPECT_EQ(block.Remaining(), 0);

  // the thumbnail reader checks the magic and the tag, not the version
  std::vector<uint8_t> b = ReadAll(name);
  b[17] = 7;
  TBytesStream v7(b.data(), b.size());
  TMyImageLayeredReg t7;
  t7.LoadThumbnailFromStream(v7);
  EXPECT_EQ(t7.Bitmap.Width(), 150);
  b[300] = 'X';
  TBytesStream badTag(b.data(), b.size());
  EXPECT_THROW(t7.LoadThumbnailFromStream(badTag), EStreamError);
  for (size_t n = 0; n < 294 + 25; ++n) {
    TBytesStream cut(b.data(), n);
    EXPECT_THROW(t7.LoadThumbnailFromStream(cut), EStreamError) << n;
  }

  // a save that fails midway leaves the previous file and no stray file
  const std::vector<uint8_t> before = ReadAll(name);
  doc.Layers[1].Left = kCoordLimit + 5;  // beyond what the format allows: refused
  EXPECT_THROW(SaveLayeredImageToFile(doc, name), EInvalidGraphic);
  EXPECT_EQ(ReadAll(name), before);
  int files = 0;
  for (const auto& e : std::filesystem::directory_iterator(dir)) files += e.is_regular_file();
  EXPECT_EQ(files, 1);
  EXPECT_THROW(LoadLayeredImageFromFile(back, dir + "/missing.qxi"), EFileStreamError);
  TLayeredImage empty;
  EXPECT_THROW(SaveLayeredImageToFile(empty, dir + "/empty.qxi"), EInvalidGraphic);
  EXPECT_FALSE(std::filesystem::exists(dir + "/empty.qxi"));
}

TEST(LayeredFile, LargeDocumentsWriteTheirLayersWhileTheThumbnailIsMade) {
  // a megapixel or more: the layers go to the stream on a second thread
  TLayeredImage doc;
  doc.LoadFromBitmap(RandomBitmap(1100, 1000, 1), TBitmap(), "#0");
  doc.AddLayer(RandomBitmap(300, 200, 2), GreyMask(300, 200, 3), "#1", 60, TPoint{-50, 700});
  const std::vector<uint8_t> bytes = Save(doc);
  TLayeredImage back;
  Load(back, bytes);
  ASSERT_EQ(back.GetLayerCount(), 2);
  EXPECT_TRUE(SameLayer(back.Layers[1], doc.Layers[1]));
  TBytesStream s(bytes.data(), bytes.size());
  TMyImageLayeredReg thumb;
  thumb.LoadThumbnailFromStream(s);
  EXPECT_TRUE(SameBitmaps(thumb.Bitmap, CreateThumbnail(doc.ComposedBitmap(), 150)));
  EXPECT_EQ(Save(back), bytes);
  for (int threads : {1, 3, 8}) {
    SetEngineThreads(threads);
    EXPECT_EQ(Save(doc), bytes) << threads;
  }
  SetEngineThreads(0);
  // The thumbnail shows what changed since the last composition; while a dialog holds
  // the composition (and draws a preview into it) the layers are composed all the same.
  auto thumbnailOf = [](const std::vector<uint8_t>& file) {
    TBytesStream f(file.data(), file.size());
    TMyImageLayeredReg t;
    t.LoadThumbnailFromStream(f);
    return std::move(t.Bitmap);
  };
  doc.Layers[0].Image.FillRect(TRect{0, 0, 1100, 400}, clBlack);
  doc.InvalidateLayerRect(TRect{0, 0, 1100, 400});
  const TBitmap changed = thumbnailOf(Save(doc));
  doc.RenderLayers();
  EXPECT_TRUE(SameBitmaps(changed, CreateThumbnail(doc.ComposedBitmap(), 150)));
  doc.SuspendComposition = true;
  doc.ComposedBitmap().FillRect(TRect{0, 0, 1100, 1000}, clWhite);
  EXPECT_TRUE(SameBitmaps(thumbnailOf(Save(doc)), changed));
  doc.SuspendComposition = false;
  // a layer that cannot be written fails the save once the thumbnail is done
  doc.Layers[1].Top = -kCoordLimit - 1;
  TMemoryStream m;
  EXPECT_THROW(SaveLayeredImageToStream(doc, m), EInvalidGraphic);
}

TEST(LayeredFile, WritesTheFuzzSeeds) {
  // the seed corpus of LayeredFile_fuzz and LayeredThumbnail_fuzz
  const std::string dir = TempDir("fuzz-seeds");
  int n = 0;
  auto save = [&](const std::vector<uint8_t>& bytes) {
    WriteAll(dir + "/seed" + std::to_string(n++) + ".qxi", bytes);
  };
  TLayeredImage three;
  ThreeLayers(three);
  save(Save(three));
  save(OldCodecFile());
  Rng rng(77);
  for (int i = 0; i < 6; ++i) {
    TLayeredImage doc;
    // wide and flat, so that the thumbnail is a few rows and the seeds stay small
    RandomDocument(doc, rng, uint32_t(500 + i), rng.Int(150, 400), rng.Int(1, 3));
    save(Save(doc));
  }
  EXPECT_EQ(n, 8);
}
