#include "imagefiles/FormatRegistry.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <set>

#include "document/LayeredImage.h"
#include "document/qt/QxsPreview.h"
#include "imagefiles/FileFormats.h"
#include "platform/core/Exceptions.h"
#include "imagefiles/ImageFilesTest.h"
#include "imagefiles/LayeredFile.h"
#include "imagefiles/PngCodec.h"
#include "pixel/PixelFormat.h"

namespace qm {
namespace {

using test::TestFolder;
using test::TestPicture;

void Put16(std::vector<uint8_t>& b, uint32_t v, bool big = false) {
  if (big) {
    b.push_back(uint8_t(v >> 8));
    b.push_back(uint8_t(v));
  } else {
    b.push_back(uint8_t(v));
    b.push_back(uint8_t(v >> 8));
  }
}
void Put32(std::vector<uint8_t>& b, uint32_t v, bool big = false) {
  if (big) {
    Put16(b, v >> 16, true);
    Put16(b, v & 0xFFFF, true);
  } else {
    Put16(b, v & 0xFFFF);
    Put16(b, v >> 16);
  }
}

// A 16 x 16 icon, 24 bits with its AND mask: the left half transparent, the rest red.
std::vector<uint8_t> IconFile() {
  std::vector<uint8_t> img;
  Put32(img, 40);
  Put32(img, 16);
  Put32(img, 32);
  Put16(img, 1);
  Put16(img, 24);
  for (int i = 0; i < 6; ++i) Put32(img, 0);
  for (int i = 0; i < 16 * 16; ++i) img.insert(img.end(), {0, 0, 255});
  for (int y = 0; y < 16; ++y) img.insert(img.end(), {0xFF, 0x00, 0, 0});
  std::vector<uint8_t> f;
  Put16(f, 0);
  Put16(f, 1);
  Put16(f, 1);
  f.insert(f.end(), {16, 16, 0, 0});
  Put16(f, 1);
  Put16(f, 24);
  Put32(f, uint32_t(img.size()));
  Put32(f, 22);
  f.insert(f.end(), img.begin(), img.end());
  return f;
}

// A placeable metafile 100 x 100 units at 72 units per inch with a red rectangle.
std::vector<uint8_t> MetafileFile() {
  std::vector<uint8_t> rec;
  auto record = [&](uint16_t func, std::initializer_list<int> params) {
    Put32(rec, uint32_t(3 + params.size()));
    Put16(rec, func);
    for (int p : params) Put16(rec, uint16_t(p));
  };
  record(0x020B, {0, 0});    // SetWindowOrg
  record(0x020C, {100, 100});  // SetWindowExt
  Put32(rec, 7);
  Put16(rec, 0x02FC);  // CreateBrushIndirect: solid red
  Put16(rec, 0);
  Put32(rec, 0x000000FF);
  Put16(rec, 0);
  record(0x012D, {0});                // SelectObject
  record(0x041B, {80, 80, 20, 20});   // Rectangle
  record(0x0000, {});                 // end
  std::vector<uint8_t> f;
  Put32(f, 0x9AC6CDD7);
  Put16(f, 0);
  for (int v : {0, 0, 100, 100}) Put16(f, uint16_t(v));
  Put16(f, 72);
  Put32(f, 0);
  uint16_t sum = 0;
  for (size_t i = 0; i < 20; i += 2) sum ^= uint16_t(f[i] | f[i + 1] << 8);
  Put16(f, sum);
  Put16(f, 1);
  Put16(f, 9);
  Put16(f, 0x0300);
  Put32(f, uint32_t(9 + rec.size() / 2));
  Put16(f, 1);
  Put32(f, 7);
  Put16(f, 0);
  f.insert(f.end(), rec.begin(), rec.end());
  return f;
}

// A Dr. Halo picture, 8 x 4, one grey run per row.
std::vector<uint8_t> CutFile() {
  std::vector<uint8_t> f;
  Put16(f, 8);
  Put16(f, 4);
  Put16(f, 0);
  for (int y = 0; y < 4; ++y) {
    Put16(f, 3);
    f.insert(f.end(), {0x88, uint8_t(40 * y + 10), 0});
  }
  return f;
}

// An Alias/Wavefront picture, 16 x 8, each channel one run per row.
std::vector<uint8_t> RlaFile() {
  std::vector<uint8_t> f;
  for (int k = 0; k < 2; ++k)
    for (int v : {0, 15, 0, 7}) Put16(f, uint16_t(v), true);
  for (int v : {1, 0, 3, 0, 0, 0xFFFE}) Put16(f, uint16_t(v), true);
  f.resize(740, 0);
  std::memcpy(&f[580], "rgb", 3);
  f[658] = 0;
  f[659] = 8;
  std::vector<uint8_t> rows;
  const uint32_t base = 740 + 4 * 8;
  for (int y = 0; y < 8; ++y) {
    Put32(f, base + uint32_t(rows.size()), true);
    for (int v : {200, 100, 30 + 20 * y}) {
      Put16(rows, 2, true);
      rows.insert(rows.end(), {15, uint8_t(v)});
    }
  }
  f.insert(f.end(), rows.begin(), rows.end());
  return f;
}

// A file of the extension, made with the gm tool or written here for the formats it
// only reads.
std::string MakeFixture(const std::string& dir, const std::string& ext) {
  const std::string path = dir + "/fixture." + ext;
  const std::string src = dir + "/src.png";
  if (!std::filesystem::exists(src)) {
    TPngImage png;
    BitmapToPng(TestPicture(40, 30), png);
    WritePngFile(src, png, TPngWriteOptions{});
  }
  if (ext == "qxi") {
    TLayeredImage doc;
    doc.LoadFromBitmap(TestPicture(40, 30), TBitmap(), "#0");
    SaveLayeredImageToFile(doc, path);
  } else if (ext == "ico") test::WriteFileBytes(path, IconFile());
  else if (ext == "wmf") test::WriteFileBytes(path, MetafileFile());
  else if (ext == "cut") test::WriteFileBytes(path, CutFile());
  else if (ext == "rla" || ext == "rpf") test::WriteFileBytes(path, RlaFile());
  else if (ext == "rle") EXPECT_TRUE(test::Gm("convert " + src + " -colors 100 -compress RLE BMP3:" + path));
  else {
    std::string coder = ext;
    for (const TGmFormat& g : GraphicsMagickFormats())
      for (const std::string& e : SplitExtensionList(g.Extensions))
        if (e == ext) coder = g.Coder;
    if (ext == "jpg" || ext == "jpe" || ext == "jfif") coder = "JPEG";
    if (ext == "tif") coder = "TIFF";
    if (ext == "ppm" || ext == "pgm" || ext == "pbm") coder = ext;  // each its own kind
    EXPECT_TRUE(test::Gm("convert " + src + " " + coder + ":" + path)) << ext;
  }
  return path;
}

TEST(FormatRegistry, ListsOnlyWhatReadsHere) {
  std::set<std::string> exts;
  for (const TFileFormatEntry& e : FileFormatList().Entries()) exts.insert(e.Extension);
  for (const char* e : {"bmp", "ico", "wmf", "jfif", "jpg", "jpe", "jpeg", "rle", "dib", "win", "vst", "vda", "tga",
                        "icb", "tiff", "tif", "fax", "pcx", "pcc", "scr", "rpf", "rla", "sgi", "rgba", "rgb", "bw",
                        "ppm", "pgm", "pbm", "pcd", "cut", "png", "gif", "qxi"})
    EXPECT_TRUE(exts.count(e)) << e;
  for (const char* e : {"emf", "eps", "psd", "pdd", "cel", "pic", "psp", "tub"}) EXPECT_FALSE(exts.count(e)) << e;
  const std::optional<TFileFormatEntry> gif = FileFormatList().Find(".GIF");
  ASSERT_TRUE(gif.has_value());
  EXPECT_EQ(gif->Kinds, unsigned(fkAnimation | fkMultiImage | fkRaster));
  EXPECT_EQ(FileFormatList().Find("jpeg")->Class, FileFormatList().Find("jpg")->Class);
  EXPECT_FALSE(FileFormatList().Find("nothing").has_value());
}

TEST(FormatRegistry, EveryRegisteredExtensionOpensAFixture) {
  const std::string dir = TestFolder();
  std::vector<std::string> exts;
  for (const TFileFormatEntry& e : FileFormatList().Entries())
    if (e.Class->Name != "QXS" && e.Class->Name.rfind("TRawImage", 0) != 0) exts.push_back(e.Extension);
  for (const std::string& ext : exts) {
    const std::string path = MakeFixture(dir, ext);
    TLoadedPicture pic;
    ASSERT_NO_THROW(ReadPictureByRegistry(path, TReadRequest{}, pic)) << ext;
    ASSERT_FALSE(pic.Bitmap.Empty()) << ext;
    EXPECT_TRUE(pic.Bitmap.PixelFormat() == pf24bit || pic.Bitmap.PixelFormat() == pf32bit) << ext;
    // Upper-case extensions read the same.
    std::string upper = ext;
    for (char& c : upper) c = char(std::toupper(c));
    const std::string upperPath = dir + "/FIXTURE." + upper;
    std::filesystem::copy_file(path, upperPath, std::filesystem::copy_options::overwrite_existing);
    TLoadedPicture again;
    ASSERT_NO_THROW(ReadPictureByRegistry(upperPath, TReadRequest{}, again)) << upper;
    EXPECT_EQ(again.Bitmap.Width(), pic.Bitmap.Width());
  }
  // Spot checks of the pixels.
  TLoadedPicture pic;
  ReadPictureByRegistry(MakeFixture(dir, "tga"), {}, pic);
  EXPECT_EQ(pic.Bitmap.GetPixel(5, 7), TestPicture(40, 30).GetPixel(5, 7));
  ReadPictureByRegistry(MakeFixture(dir, "rla"), {}, pic);
  EXPECT_EQ(pic.Bitmap.GetPixel(3, 0), RGB(200, 100, 30 + 20 * 7));  // rows stored bottom up
  // Icons and metafiles come over the transparent colour.
  ReadPictureByRegistry(MakeFixture(dir, "ico"), {}, pic);
  EXPECT_TRUE(pic.IsIcon);
  EXPECT_TRUE(pic.Bitmap.Transparent);
  EXPECT_EQ(pic.Bitmap.TransparentColor, clGlobalTransparent);
  EXPECT_EQ(pic.Bitmap.GetPixel(2, 5), clGlobalTransparent);
  EXPECT_EQ(pic.Bitmap.GetPixel(12, 5), RGB(255, 0, 0));
  ReadPictureByRegistry(MakeFixture(dir, "wmf"), {}, pic);
  EXPECT_TRUE(pic.IsMetafile);
  EXPECT_TRUE(pic.Bitmap.Transparent);
  EXPECT_EQ(pic.Bitmap.PixelFormat(), pf24bit);
}

TEST(FormatRegistry, FiltersAndMasks) {
  const std::string open = BuildImageFilter(true, false, false);
  EXPECT_EQ(open.rfind("Toutes les images|*.*|", 0), 0u);
  // One entry per reading class, its extensions sorted, "; *" closed up.
  EXPECT_NE(open.find("|Bitmap Windows (*.bmp;*.dib;*.rle)|*.bmp;*.dib;*.rle|"), std::string::npos);
  EXPECT_NE(open.find("|JPEG (*.jfif;*.jpe;*.jpeg;*.jpg)|*.jfif;*.jpe;*.jpeg;*.jpg|"), std::string::npos);
  EXPECT_EQ(open.find("; "), std::string::npos);
  // Sorted by description.
  EXPECT_LT(open.find("Alias/Wavefront"), open.find("Bitmap Windows"));
  EXPECT_LT(open.find("|GIF ("), open.find("|PNG ("));
  const std::string dropped = BuildImageFilter(false, true, true);
  for (const char* m : {";*.jpeg", ";*.tiff", ";*.rgba"}) EXPECT_EQ(dropped.find(m), std::string::npos) << m;
  EXPECT_NE(dropped.find("*.jpg"), std::string::npos);
  const std::string masks = GetImageMaskList();
  EXPECT_EQ(masks.find('|'), std::string::npos);
  EXPECT_NE(masks.find("*.bmp"), std::string::npos);
  EXPECT_NE(masks.find("*.tiff"), std::string::npos);
  EXPECT_EQ(std::count(masks.begin(), masks.end(), ';') + 1, ptrdiff_t(FileFormatList().Entries().size()));
}

TEST(FormatRegistry, SelectionFilesThroughTheRegisteredReaderAndUnknownExtensions) {
  const std::string dir = TestFolder();
  test::WriteFileBytes(dir + "/shape.qxs", std::vector<uint8_t>{'-', '1', '\r', '\n', '6', '0', '\r', '\n', '3', '0', '\r', '\n'});
  TLoadedPicture pic;
  EXPECT_THROW(ReadPictureByRegistry(dir + "/shape.qxs", {}, pic), EInvalidGraphic);
  RegisterSelectionFileReader(kQxsExtension, kQxsDescription, LoadQxsPicture);
  SetShapePreviewFitMode();
  ReadPictureByRegistry(dir + "/shape.qxs", {}, pic);
  EXPECT_EQ(pic.Bitmap.Width(), 70);  // the shape and its margins
  test::WriteFileBytes(dir + "/bad.qxs", std::vector<uint8_t>{'x'});
  EXPECT_THROW(ReadPictureByRegistry(dir + "/bad.qxs", {}, pic), EStreamError);
  EXPECT_NE(BuildImageFilter(false, false, false).find("QXS (*.qxs)"), std::string::npos);
  RegisterSelectionFileReader(kQxsExtension, kQxsDescription, nullptr);
  EXPECT_FALSE(FileFormatList().Find("qxs").has_value());
  EXPECT_THROW(ReadPictureByRegistry(dir + "/a.xyz", {}, pic), EInvalidGraphic);
  EXPECT_THROW(ReadPictureByRegistry(dir + "/noext", {}, pic), EInvalidGraphic);
}

}  // namespace
}  // namespace qm
