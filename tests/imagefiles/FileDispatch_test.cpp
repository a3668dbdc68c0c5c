#include "imagefiles/PictureFiles.h"

#include <gtest/gtest.h>

#include <exiv2/exiv2.hpp>
#include <filesystem>
#include <set>
#include <thread>

#include "document/LayeredImage.h"
#include "document/qt/QxsPreview.h"
#include "imagefiles/FileFormats.h"
#include "imagefiles/FormatRegistry.h"
#include "imagefiles/GifCodec.h"
#include "imagefiles/ImageFilesTest.h"
#include "imagefiles/Metadata.h"
#include "imagefiles/RawClient.h"
#include "pixel/ColorReduce.h"
#include "support/ExifFiles.h"
#include "support/SyntheticDng.h"
#include "support/TestImages.h"

namespace qm {
namespace {

using test::MessageCatcher;
using test::SameBitmaps;
using test::StageRecorder;
using test::TestFolder;
using test::TestPicture;

std::string OpenMessage(const std::string& f) { return "Impossible d'ouvrir l'image dans le fichier \"" + f + "\" !"; }
std::string SaveMessage(const std::string& f) {
  return "Impossible d'enregistrer l'image dans le fichier \"" + f + "\" !";
}

size_t FilesIn(const std::string& dir) {
  return size_t(std::distance(std::filesystem::directory_iterator(dir), std::filesystem::directory_iterator()));
}

TEST(FileDispatch, EveryWritableFormatRoundTrips) {
  TPictureFileSettings files;
  const std::string dir = TestFolder();
  const TBitmap photo = TestPicture(61, 37);
  // A picture GIF keeps exactly: few colours.
  TBitmap few = photo.Clone();
  ReduceBitmapColors(few, 200, 0);
  for (const char* ext : {".bmp", ".png", ".tga", ".tif", ".tiff", ".gif", ".rle", ".jpg", ".jpeg", ".jpe", ".jfif"}) {
    const bool gif = std::string(ext) == ".gif" || std::string(ext) == ".rle";
    TBitmap src = gif ? few.Clone() : photo.Clone();
    std::string name = dir + "/pic" + ext;
    ASSERT_EQ(SaveBitmapFile(files, name, src), 1) << ext;
    TBitmap back;
    TLoadResult report;
    ASSERT_EQ(LoadBitmapFile(files, name, back, {}, &report), 1) << ext;
    EXPECT_EQ(report.StoredWidth, 61);
    EXPECT_EQ(report.StoredHeight, 37);
    ASSERT_EQ(back.PixelFormat(), pf24bit) << ext;
    if (std::string(ext).find("j") != std::string::npos)
      EXPECT_GT(test::Psnr(src, back), 30) << ext;
    else
      EXPECT_TRUE(SameBitmaps(src, back)) << ext;
  }
  // 32-bit bitmaps keep their alpha where the format can.
  const TBitmap alpha = test::RandomBitmap(23, 17, 5, pf32bit);
  for (const char* ext : {".png", ".bmp", ".tga"}) {
    TBitmap src = alpha.Clone();
    std::string name = dir + "/alpha" + ext;
    ASSERT_EQ(SaveBitmapFile(files, name, src), 1) << ext;
    TBitmap back;
    ASSERT_EQ(LoadBitmapFile(files, name, back), 1) << ext;
    EXPECT_TRUE(SameBitmaps(alpha, back)) << ext;
  }
  // Upper-case extensions go to the same readers and writers.
  TBitmap src = photo.Clone();
  std::string upper = dir + "/UPPER.JPG";
  ASSERT_EQ(SaveBitmapFile(files, upper, src), 1);
  EXPECT_EQ(test::ReadFileBytes(upper)[3], 0xE0);  // a JFIF file
  TBitmap back;
  EXPECT_EQ(LoadBitmapFile(files, upper, back), 1);
  EXPECT_EQ(back.Width(), 61);
}

TEST(FileDispatch, LayeredDocumentsSaveAndLoadFlattened) {
  TPictureFileSettings files;
  const std::string dir = TestFolder();
  const TBitmap photo = TestPicture(300, 200);
  TLayeredImage doc;
  doc.LoadFromBitmap(photo, TBitmap(), "#0");
  doc.RenderLayers();
  StageRecorder stages(files);
  std::string name = dir + "/doc.qxi";
  TBitmap flat = doc.ComposedBitmap().Clone();
  ASSERT_EQ(SaveDocumentFile(files, name, flat, doc), 1);
  EXPECT_EQ(stages.stages, (std::vector<int>{fpBeforeSave, fpAfterSave}));
  EXPECT_EQ(stages.kinds[0], TFileObject::Layered);
  TBitmap back;
  TLoadResult report;
  ASSERT_EQ(LoadBitmapFile(files, name, back, {}, &report), 1);
  EXPECT_TRUE(SameBitmaps(photo, back));
  EXPECT_EQ(report.StoredWidth, 300);
  // Previews read the stored thumbnail, and the document's size.
  ASSERT_EQ(LoadBitmapFilePreview(files, name, back, &report), 1);
  EXPECT_EQ(back.Width(), 150);
  EXPECT_EQ(back.Height(), 100);
  EXPECT_EQ(report.StoredWidth, 300);
  EXPECT_EQ(report.StoredHeight, 200);
  // A vetoed layered save writes nothing.
  StageRecorder veto(files, fpBeforeSave);
  std::string other = dir + "/other.qxi";
  EXPECT_EQ(SaveDocumentFile(files, other, flat, doc), 0);
  EXPECT_FALSE(std::filesystem::exists(other));
  // A file of another version fails with the message instead of giving an empty picture.
  MessageCatcher messages;
  std::vector<uint8_t> bytes = test::ReadFileBytes(name);
  bytes[17] = 2;
  test::WriteFileBytes(dir + "/v2.qxi", bytes);
  std::string v2 = dir + "/v2.qxi";
  EXPECT_EQ(LoadBitmapFile(files, v2, back), -1);
  EXPECT_EQ(messages.last, OpenMessage(v2));
}

TEST(FileDispatch, UnknownExtensionsAndFailuresShowTheExactMessages) {
  TPictureFileSettings files;
  const std::string dir = TestFolder();
  MessageCatcher messages;
  StageRecorder stages(files);
  TBitmap bmp(5, 5, pf24bit, clWhite);
  std::string name = dir + "/a.xyz";
  test::WriteFileBytes(name, {1, 2, 3});
  EXPECT_EQ(LoadBitmapFile(files, name, bmp), -1);
  EXPECT_EQ(messages.last, OpenMessage(name));
  EXPECT_EQ(bmp.Width(), 5);  // untouched
  EXPECT_EQ(SaveBitmapFile(files, name, bmp), -1);
  EXPECT_EQ(messages.last, SaveMessage(name));
  EXPECT_EQ(messages.count, 2);
  EXPECT_EQ(test::ReadFileBytes(name), (std::vector<uint8_t>{1, 2, 3}));
  EXPECT_EQ(stages.stages, (std::vector<int>{fpBeforeLoad, fpFailed, fpFailed}));
  // A damaged file of a known format fails the same way.
  std::string bad = dir + "/bad.png";
  test::WriteFileBytes(bad, std::vector<uint8_t>(30, 9));
  EXPECT_EQ(LoadBitmapFile(files, bad, bmp), -1);
  EXPECT_EQ(messages.last, OpenMessage(bad));
  std::string missing = dir + "/missing.gif";
  EXPECT_EQ(LoadBitmapFile(files, missing, bmp), -1);
  EXPECT_EQ(messages.last, OpenMessage(missing));
  // A file whose reader delivers nothing is a failure, not an empty success.
  TGifImage empty;
  empty.Width = empty.Height = 10;
  empty.GlobalColorMap = {clBlack, clWhite};
  empty.Frames.push_back(TGifFrame{0, 0, 2, 2, {0, 1, 1, 0}, {}, -1, 0, 0, false});
  WriteGifFile(dir + "/one.gif", empty);
  std::vector<uint8_t> bytes = test::ReadFileBytes(dir + "/one.gif");
  // Keep the header, screen descriptor and colour map, then end the file at once.
  bytes.resize(13 + 6);
  bytes.push_back(0x3B);
  test::WriteFileBytes(dir + "/noframe.gif", bytes);
  const int before = messages.count;
  std::string noframe = dir + "/noframe.gif";
  bmp = TBitmap(5, 5, pf24bit, clWhite);
  EXPECT_EQ(LoadBitmapFile(files, noframe, bmp), -1);
  EXPECT_EQ(messages.count, before + 1);
  EXPECT_EQ(bmp.Width(), 5);
}

TEST(FileDispatch, SelectionFilesThatGiveNoPictureFailWithTheMessage) {
  TPictureFileSettings files;
  const std::string dir = TestFolder();
  MessageCatcher messages;
  StageRecorder stages(files);
  RegisterSelectionFileReader(kQxsExtension, kQxsDescription, LoadQxsPicture);
  SetShapePreviewFitMode();
  std::string good = dir + "/shape.qxs";
  test::WriteFileBytes(good, std::vector<uint8_t>{'-', '1', '\r', '\n', '6', '0', '\r', '\n', '3', '0', '\r', '\n'});
  TBitmap bmp;
  EXPECT_EQ(LoadBitmapFile(files, good, bmp), 1);
  EXPECT_EQ(bmp.Width(), 70);
  // An unreadable file: -1 with the message, the bitmap as it was.
  std::string bad = dir + "/bad.qxs";
  test::WriteFileBytes(bad, std::vector<uint8_t>{'x'});
  EXPECT_EQ(LoadBitmapFile(files, bad, bmp), -1);
  EXPECT_EQ(messages.last, OpenMessage(bad));
  EXPECT_EQ(bmp.Width(), 70);
  // A reader that claims success with nothing drawn is a failure as well.
  RegisterSelectionFileReader(kQxsExtension, kQxsDescription,
                              [](const uint8_t*, size_t, TBitmap& out) {
                                out = TBitmap();
                                return true;
                              });
  EXPECT_EQ(LoadBitmapFile(files, good, bmp), -1);
  EXPECT_EQ(messages.last, OpenMessage(good));
  EXPECT_EQ(messages.count, 2);
  EXPECT_EQ(bmp.Width(), 70);
  EXPECT_EQ(stages.stages, (std::vector<int>{fpBeforeLoad, fpAfterLoad, fpBeforeLoad, fpFailed, fpBeforeLoad,
                                             fpAfterLoad, fpFailed}));
  RegisterSelectionFileReader(kQxsExtension, kQxsDescription, nullptr);
}

TEST(FileDispatch, GifLoadsItsFirstFrameAndReportsTheLogicalSize) {
  TPictureFileSettings files;
  const std::string dir = TestFolder();
  TGifImage anim;
  anim.Width = 30;
  anim.Height = 20;
  anim.GlobalColorMap = {RGB(255, 0, 0), RGB(0, 0, 255)};
  anim.Frames.push_back(TGifFrame{0, 0, 10, 8, TByteBuffer(80, 0), {}, -1, 10, 0, false});
  anim.Frames.push_back(TGifFrame{0, 0, 30, 20, TByteBuffer(600, 1), {}, -1, 10, 0, false});
  std::string name = dir + "/anim.gif";
  WriteGifFile(name, anim);
  int frames = 0;
  files.OnFileProgress = [&](const TFileSender& s, const std::string&, int stage, bool&) {
    if (stage == fpAfterLoad) frames = s.FrameCount;
  };
  TBitmap bmp;
  TLoadResult report;
  ASSERT_EQ(LoadBitmapFile(files, name, bmp, {}, &report), 1);
  files.OnFileProgress = nullptr;
  EXPECT_EQ(frames, 2);
  EXPECT_EQ(report.FrameCount, 2);
  EXPECT_EQ(report.StoredWidth, 30);
  EXPECT_EQ(report.StoredHeight, 20);
  EXPECT_EQ(bmp.PixelFormat(), pf24bit);
  EXPECT_EQ(bmp.GetPixel(0, 0), RGB(255, 0, 0));
  EXPECT_EQ(bmp.GetPixel(bmp.Width() - 1, bmp.Height() - 1), RGB(255, 0, 0));
}

TEST(FileDispatch, VetoesGiveZeroWithoutMessage) {
  TPictureFileSettings files;
  const std::string dir = TestFolder();
  MessageCatcher messages;
  std::string name = dir + "/a.png";
  TBitmap src = TestPicture(9, 7);
  ASSERT_EQ(SaveBitmapFile(files, name, src), 1);
  const std::vector<uint8_t> saved = test::ReadFileBytes(name);
  for (int veto : {fpBeforeLoad, fpAfterLoad}) {
    StageRecorder stages(files, veto);
    TBitmap bmp(3, 3, pf24bit, clWhite);
    EXPECT_EQ(LoadBitmapFile(files, name, bmp), 0) << veto;
    EXPECT_EQ(bmp.Width(), 3);
    EXPECT_EQ(stages.stages.back(), veto);
  }
  {
    StageRecorder stages(files, fpBeforeSave);
    TBitmap other = TestPicture(20, 20, 9);
    EXPECT_EQ(SaveBitmapFile(files, name, other), 0);
    EXPECT_EQ(stages.stages, std::vector<int>{fpBeforeSave});
    EXPECT_EQ(test::ReadFileBytes(name), saved);
    std::string fresh = dir + "/fresh.jpg";
    EXPECT_EQ(SaveBitmapFile(files, fresh, other), 0);
    EXPECT_FALSE(std::filesystem::exists(fresh));
  }
  EXPECT_EQ(messages.count, 0);
  // Stage order and senders of a load and a save.
  StageRecorder stages(files);
  TBitmap bmp;
  EXPECT_EQ(LoadBitmapFile(files, name, bmp), 1);
  std::string gif = dir + "/b.gif";
  EXPECT_EQ(SaveBitmapFile(files, gif, bmp), 1);
  EXPECT_EQ(LoadBitmapFile(files, gif, bmp), 1);
  EXPECT_EQ(stages.stages, (std::vector<int>{0, 1, 2, 3, 0, 1}));
  EXPECT_EQ(stages.kinds, (std::vector<TFileObject>{TFileObject::None, TFileObject::Picture, TFileObject::Gif,
                                                     TFileObject::Gif, TFileObject::Gif, TFileObject::Gif}));
}

TEST(FileDispatch, HiddenErrorsStillRaiseStageFourAndFlagsComeBack) {
  TPictureFileSettings files;
  const std::string dir = TestFolder();
  MessageCatcher messages;
  StageRecorder stages(files);
  {
    // Quiet calls go by a copy of the settings: the shell's own stay as they are.
    TPictureFileSettings quiet = files;
    quiet.ShowFileErrors = false;
    TBitmap bmp;
    std::string name = dir + "/missing.tif";
    EXPECT_EQ(LoadBitmapFile(quiet, name, bmp), -1);
    std::string unknown = dir + "/x.abc";
    EXPECT_EQ(SaveBitmapFile(quiet, unknown, bmp), -1);
  }
  EXPECT_EQ(messages.count, 0);
  EXPECT_EQ(stages.stages, (std::vector<int>{fpBeforeLoad, fpFailed, fpFailed}));
  EXPECT_TRUE(files.ShowFileErrors);
  // A progress handler that throws makes the save fail; nothing leaks out, and the
  // settings are as they were whatever ended the call.
  files.OnFileProgress = [](const TFileSender&, const std::string&, int, bool&) {
    throw std::runtime_error("handler");
  };
  TBitmap bmp;
  std::string name = dir + "/x.png";
  TBitmap src = TestPicture(4, 4);
  EXPECT_EQ(SaveBitmapFile(files, name, src), -1);
  files.OnFileProgress = nullptr;
  EXPECT_TRUE(files.ShowFileErrors);
}

TEST(FileDispatch, PreviewsAreReducedQuietAndKeepTheStoredSize) {
  TPictureFileSettings files;
  const std::string dir = TestFolder();
  MessageCatcher messages;
  std::string big = dir + "/big.jpg";
  TBitmap photo = TestPicture(1200, 900);
  ASSERT_EQ(SaveBitmapFile(files, big, photo), 1);
  StageRecorder stages(files);
  TBitmap bmp;
  TLoadResult report;
  EXPECT_EQ(LoadBitmapFilePreview(files, big, bmp, &report), 1);
  EXPECT_EQ(bmp.Width(), 150);
  EXPECT_EQ(report.StoredWidth, 1200);
  EXPECT_EQ(report.StoredHeight, 900);
  EXPECT_FALSE(DefaultLoadRequest(files).Preview);
  EXPECT_EQ(LoadBitmapFilePreview(files, dir + "/missing.png", bmp), -1);
  EXPECT_EQ(LoadBitmapFilePreview(files, "", bmp), 0);
  EXPECT_TRUE(stages.stages.empty());
  EXPECT_EQ(messages.count, 0);
  // A preview is its call's alone: the next load by the same settings is whole.
  EXPECT_EQ(LoadBitmapFile(files, big, bmp), 1);
  EXPECT_EQ(bmp.Width(), 1200);
}

TEST(FileDispatch, WriterOptionsFromStageTwo) {
  TPictureFileSettings files;
  const std::string dir = TestFolder();
  TBitmap src = TestPicture(48, 40);
  std::vector<TFormatId> formats;  // the sender's row of the format written
  files.OnFileProgress = [&](const TFileSender& s, const std::string&, int stage, bool&) {
    if (stage != fpBeforeSave) return;
    if (s.Format) formats.push_back(s.Format->Id);
    if (s.Jpeg) *s.Jpeg = TJpegWriteOptions{60, true};
    if (s.Png) s.Png->Interlaced = true;
  };
  std::string jpg = dir + "/a.jpg", png = dir + "/a.png";
  EXPECT_EQ(SaveBitmapFile(files, jpg, src), 1);
  EXPECT_EQ(SaveBitmapFile(files, png, src), 1);
  files.OnFileProgress = nullptr;
  EXPECT_EQ(formats, (std::vector<TFormatId>{TFormatId::Jpeg, TFormatId::Png}));
  const std::vector<uint8_t> j = test::ReadFileBytes(jpg);
  bool sof2 = false;
  for (size_t i = 0; i + 1 < j.size(); ++i) sof2 = sof2 || (j[i] == 0xFF && j[i + 1] == 0xC2);
  EXPECT_TRUE(sof2);
  EXPECT_EQ(test::ReadFileBytes(png)[28], 1);  // IHDR interlace method: Adam7
  // GIF options: the shell's defaults, or this save's copy changed at stage 2.
  {
    TSaveRequest request = DefaultSaveRequest(files);
    request.OnProgress = [](const TFileSender& s, const std::string&, int stage, bool&) {
      if (stage == fpBeforeSave && s.GifOptions) s.GifOptions->Interlaced = true;
    };
    EXPECT_EQ(SavePicture(dir + "/s.gif", src, request).Result, frDone);
    TGifImage back;
    ReadGifFile(dir + "/s.gif", back);
    EXPECT_TRUE(back.Frames[0].Interlaced);
    EXPECT_FALSE(files.GifInterlaced);
  }
  {
    TPictureFileSettings interlaced = files;
    interlaced.GifInterlaced = true;
    std::string gif = dir + "/i.gif";
    EXPECT_EQ(SaveBitmapFile(interlaced, gif, src), 1);
    TGifImage back;
    ReadGifFile(gif, back);
    EXPECT_TRUE(back.Frames[0].Interlaced);
    EXPECT_LE(back.FrameColorMap(0).size(), 256u);
  }
  // The stage-2 handler may prepare the very bitmap the writer then encodes.
  files.OnFileProgress = [](const TFileSender& s, const std::string&, int stage, bool&) {
    if (stage == fpBeforeSave && s.Bitmap) s.Bitmap->SetSize(10, 10);
  };
  std::string bmpName = dir + "/p.bmp";
  EXPECT_EQ(SaveBitmapFile(files, bmpName, src), 1);
  files.OnFileProgress = nullptr;
  TBitmap back;
  LoadBitmapFile(files, bmpName, back);
  EXPECT_EQ(back.Width(), 10);
}

TEST(FileDispatch, TransparentGifOfManyColoursIsStillReduced) {
  TPictureFileSettings files;
  const std::string dir = TestFolder();
  TBitmap src = TestPicture(80, 60);  // thousands of colours
  ASSERT_GT(CountBitmapColors(src), 1000);
  src.FillRect(TRect{0, 0, 10, 10}, RGB(1, 2, 3));
  src.Transparent = true;
  src.TransparentColor = RGB(1, 2, 3);
  std::string gif = dir + "/t.gif";
  ASSERT_EQ(SaveBitmapFile(files, gif, src), 1);
  TGifImage file;
  ReadGifFile(gif, file);
  ASSERT_EQ(file.Frames.size(), 1u);
  EXPECT_LE(file.FrameColorMap(0).size(), 256u);
  ASSERT_GE(file.Frames[0].TransparentIndex, 0);
  TBitmap back;
  ASSERT_EQ(LoadBitmapFile(files, gif, back), 1);
  EXPECT_TRUE(back.Transparent);
  EXPECT_EQ(back.GetPixel(5, 5), back.TransparentColor);
  EXPECT_NE(back.GetPixel(40, 40), back.TransparentColor);
  EXPECT_LE(CountBitmapColors(back), 256);
  // Exactly the marked pixels are transparent: no reduced colour fell onto the key.
  int keyed = 0;
  for (int y = 0; y < back.Height(); ++y)
    for (int x = 0; x < back.Width(); ++x) keyed += back.GetPixel(x, y) == back.TransparentColor;
  EXPECT_EQ(keyed, 100);
  // A 32-bit bitmap: transparency from its alpha.
  TBitmap a32 = TestPicture(20, 20);
  a32.SetPixelFormat(pf32bit);
  for (int y = 0; y < 20; ++y) a32.ScanLine(y)[3] = 0;  // column 0 transparent
  ASSERT_EQ(SaveBitmapFile(files, gif, a32), 1);
  ASSERT_EQ(LoadBitmapFile(files, gif, back), 1);
  EXPECT_TRUE(back.Transparent);
  EXPECT_EQ(back.GetPixel(0, 7), back.TransparentColor);
  EXPECT_NE(back.GetPixel(1, 7), back.TransparentColor);
}

TEST(FileDispatch, SavesAreAtomic) {
  TPictureFileSettings files;
  const std::string dir = TestFolder();
  MessageCatcher messages;
  std::string name = dir + "/keep.gif";
  TBitmap src = TestPicture(30, 20);
  ASSERT_EQ(SaveBitmapFile(files, name, src), 1);
  const std::vector<uint8_t> saved = test::ReadFileBytes(name);
  // The encoder fails after the temporary file was started: a GIF frame is at most
  // 65535 pixels wide.
  TBitmap wide(70000, 1, pf24bit, clWhite);
  EXPECT_EQ(SaveBitmapFile(files, name, wide), -1);
  EXPECT_EQ(test::ReadFileBytes(name), saved);
  EXPECT_EQ(FilesIn(dir), 1u);  // no temporary file left behind
  // A target in a folder that does not exist fails cleanly.
  std::string nowhere = dir + "/no/such/folder/a.png";
  EXPECT_EQ(SaveBitmapFile(files, nowhere, src), -1);
  EXPECT_EQ(messages.last, SaveMessage(nowhere));
  // The file mode of a replaced file is kept.
  std::filesystem::permissions(name, std::filesystem::perms::owner_read | std::filesystem::perms::owner_write |
                                         std::filesystem::perms::group_read);
  ASSERT_EQ(SaveBitmapFile(files, name, src), 1);
  EXPECT_EQ(std::filesystem::status(name).permissions() & std::filesystem::perms::all,
            std::filesystem::perms::owner_read | std::filesystem::perms::owner_write |
                std::filesystem::perms::group_read);
}

TEST(FileDispatch, KeepExifCopiesTheSourceMetadata) {
  TPictureFileSettings files;
  const std::string dir = TestFolder();
  std::string src = dir + "/camera.jpg";
  TBitmap photo = TestPicture(64, 48);
  ASSERT_EQ(SaveBitmapFile(files, src, photo), 1);
  {
    auto image = Exiv2::ImageFactory::open(src);
    image->readMetadata();
    Exiv2::ExifData exif;
    exif["Exif.Image.Make"] = "Quillocam";
    exif["Exif.Image.Model"] = "QC-1000";
    exif["Exif.Photo.PixelXDimension"] = uint32_t(64);
    exif["Exif.Photo.PixelYDimension"] = uint32_t(48);
    image->setExifData(exif);
    image->writeMetadata();
  }
  files.KeepExif = true;
  // Over the source: the EXIF is read before the file is replaced.
  TBitmap smaller = TestPicture(32, 24);
  TSaveResult saved;
  ASSERT_EQ(SaveBitmapFile(files, src, smaller, {}, &saved), 1);
  EXPECT_TRUE(saved.ExifKept);
  TMetadataBlock block = ReadMetadataBlock(src);
  EXPECT_EQ(block.ExifValue("Exif.Image.Make"), "Quillocam");
  EXPECT_EQ(block.ExifValue("Exif.Image.Model"), "QC-1000");
  EXPECT_EQ(block.ExifValue("Exif.Photo.PixelXDimension"), "32");
  EXPECT_EQ(block.ExifValue("Exif.Photo.PixelYDimension"), "24");
  TBitmap back;
  ASSERT_EQ(LoadBitmapFile(files, src, back), 1);
  EXPECT_EQ(back.Width(), 32);
  // Another file takes its EXIF from the source the event names.
  std::string target = dir + "/copy.jpg";
  std::string asked;
  files.OnExifSource = [&](std::string& name) {
    asked = name;
    name = src;
  };
  ASSERT_EQ(SaveBitmapFile(files, target, photo), 1);
  files.OnExifSource = nullptr;
  EXPECT_EQ(asked, target);
  block = ReadMetadataBlock(target);
  EXPECT_EQ(block.ExifValue("Exif.Image.Model"), "QC-1000");
  EXPECT_EQ(block.ExifValue("Exif.Photo.PixelXDimension"), "64");
  // Without KeepExif no metadata is written.
  {
    TPictureFileSettings drop = files;
    drop.KeepExif = false;
    ASSERT_EQ(SaveBitmapFile(drop, target, photo, {}, &saved), 1);
    EXPECT_FALSE(FileHasExif(target));
    EXPECT_FALSE(saved.ExifKept);
  }
  // A stage-2 handler decides for its save alone, as the shell's JPEG question does.
  files.KeepExif = false;
  files.OnFileProgress = [](const TFileSender& s, const std::string&, int stage, bool&) {
    if (stage == fpBeforeSave && s.KeepExif) *s.KeepExif = true;
  };
  ASSERT_EQ(SaveBitmapFile(files, src, photo, {}, &saved), 1);
  EXPECT_TRUE(saved.ExifKept);
  EXPECT_EQ(ReadMetadataBlock(src).ExifValue("Exif.Image.Model"), "QC-1000");
  EXPECT_FALSE(files.KeepExif);
}

TEST(FileDispatch, DialogsAndDocumentSaves) {
  TPictureFileSettings files;
  const std::string dir = TestFolder();
  std::string chosen = dir + "/chosen.png";
  TBitmap pic = TestPicture(12, 8);
  ASSERT_EQ(SaveBitmapFile(files, chosen, pic), 1);
  TOpenPictureRequest seen;
  std::string savedName;
  TSavePictureRequest seenSave;
  SetPictureDialogs(
      [&](TOpenPictureRequest& r, std::vector<std::string>& picked) {
        seen = r;
        r.PreviewChecked = true;
        picked = {chosen};
        return true;
      },
      [&](const TSavePictureRequest& r, std::string& name) {
        seenSave = r;
        name = savedName;
        return !savedName.empty();
      });
  files.OpenDialogTitle = "Ouvrir";
  files.SaveDialogTitle = "Enregistrer sous";
  std::string name;
  TBitmap bmp;
  EXPECT_EQ(LoadBitmapFile(files, name, bmp, dir), 1);
  EXPECT_EQ(name, chosen);
  EXPECT_EQ(seen.InitialDir, dir);
  EXPECT_EQ(seen.Title, "Ouvrir");
  EXPECT_FALSE(seen.MultiSelect);
  EXPECT_EQ(seen.Filter.rfind("Toutes les images|*.*|", 0), 0u);
  EXPECT_TRUE(files.OpenPreviewChecked);
  EXPECT_EQ(ExecuteOpenPictureDialog(files, dir), std::vector<std::string>{chosen});
  EXPECT_TRUE(seen.MultiSelect);

  // The save dialog: filter entry by extension, or the first with the extension gone.
  ExecuteSaveDialog(files, dir + "/x.png", name);
  EXPECT_TRUE(name.empty());  // cancelled
  EXPECT_EQ(seenSave.FilterIndex, 5);
  EXPECT_EQ(seenSave.FileName, dir + "/x.png");
  EXPECT_EQ(seenSave.DefaultExt, ".bmp");
  EXPECT_EQ(seenSave.Title, "Enregistrer sous");
  EXPECT_EQ(seenSave.Filter.rfind("BMP (*.bmp)|*.bmp|", 0), 0u);
  ExecuteSaveDialog(files, dir + "/x.psd", name);
  EXPECT_EQ(seenSave.FilterIndex, 1);
  EXPECT_EQ(seenSave.FileName, dir + "/x");
  ExecuteSaveDialog(files, dir, name);
  EXPECT_EQ(seenSave.InitialDir, dir);
  EXPECT_TRUE(seenSave.FileName.empty());
  std::string none;
  EXPECT_EQ(SaveBitmapFile(files, none, bmp), 0);

  savedName = dir + "/doc.tga";
  TLayeredImage layered;
  std::string doc;
  EXPECT_EQ(SaveDocumentFile(files, doc, bmp, layered, dir), 1);
  EXPECT_EQ(doc, savedName);
  EXPECT_TRUE(std::filesystem::exists(savedName));
  SetPictureDialogs(nullptr, nullptr);
  std::string empty;
  EXPECT_EQ(LoadBitmapFile(files, empty, bmp), 0);
}

// A call's request and result stand alone: no message, no shell default read or
// written, the failure with its message id and the library's reason.
TEST(FileDispatch, RequestsAndResultsBelongToTheCall) {
  TPictureFileSettings files;
  const std::string dir = TestFolder();
  MessageCatcher messages;
  StageRecorder shell(files);  // the shell's OnFileProgress: a call's request never reaches it
  TGifImage anim;
  anim.Width = 30;
  anim.Height = 20;
  anim.GlobalColorMap = {RGB(255, 0, 0), RGB(0, 0, 255), clBlack, clWhite};
  anim.Frames.push_back(TGifFrame{0, 0, 30, 20, TByteBuffer(600, 1), {}, -1, 10, 0, false});
  anim.Frames.push_back(TGifFrame{0, 0, 30, 20, TByteBuffer(600, 0), {}, -1, 10, 0, false});
  WriteGifFile(dir + "/anim.gif", anim);
  TBitmap photo = TestPicture(1200, 900);
  ASSERT_EQ(SavePicture(dir + "/big.jpg", photo, {}).Result, frDone);

  std::vector<int> stages;
  TLoadRequest request;
  request.OnProgress = [&](const TFileSender& s, const std::string&, int stage, bool&) {
    stages.push_back(stage);
    if (stage == fpAfterLoad) {
      EXPECT_EQ(s.Gif ? s.Gif->Frames.size() : 0u, 2u);
    }
  };
  TLoadResult gif = LoadPicture(dir + "/anim.gif", request);
  ASSERT_EQ(gif.Result, frDone);
  EXPECT_EQ(gif.Object, TFileObject::Gif);
  EXPECT_EQ(gif.FrameCount, 2);
  EXPECT_EQ(gif.SourceColors, 4);
  ASSERT_TRUE(gif.Frames);
  EXPECT_EQ(gif.Frames->Frames.size(), 2u);
  EXPECT_EQ(gif.Bitmap.GetPixel(3, 3), RGB(0, 0, 255));
  EXPECT_EQ(stages, (std::vector<int>{fpBeforeLoad, fpAfterLoad}));

  TLoadRequest preview;
  preview.Preview = true;
  preview.OnProgress = request.OnProgress;
  const TLoadResult jpg = LoadPicture(dir + "/big.jpg", preview);
  ASSERT_EQ(jpg.Result, frDone);
  EXPECT_EQ(jpg.Bitmap.Width(), 150);
  EXPECT_EQ(jpg.StoredWidth, 1200);
  EXPECT_EQ(jpg.StoredHeight, 900);
  EXPECT_EQ(jpg.SourceColors, 16777216);
  EXPECT_EQ(stages.size(), 2u);  // a preview raises nothing

  const TLoadResult missing = LoadPicture(dir + "/missing.png", request);
  EXPECT_EQ(missing.Result, frFailed);
  EXPECT_TRUE(missing.Bitmap.Empty());
  EXPECT_EQ(missing.Error.Message, TextId::GetOeMsgErrorOpening);
  EXPECT_EQ(FileErrorText(missing.Error), OpenMessage(dir + "/missing.png"));
  EXPECT_NE(missing.Error.Reason.find("missing.png"), std::string::npos) << missing.Error.Reason;
  EXPECT_EQ(stages.back(), fpFailed);
  TBitmap any = TestPicture(4, 4);
  const TSaveResult unknown = SavePicture(dir + "/x.abc", any, {});
  EXPECT_EQ(unknown.Result, frFailed);
  EXPECT_EQ(FileErrorText(unknown.Error), SaveMessage(dir + "/x.abc"));
  EXPECT_NE(unknown.Error.Reason.find(".abc"), std::string::npos);

  // An error hook is the caller's: called once, before stage 4.
  std::vector<std::string> order;
  request.OnProgress = [&](const TFileSender&, const std::string&, int stage, bool&) {
    order.push_back("stage " + std::to_string(stage));
  };
  request.OnError = [&](const TFileError& e) { order.push_back(FileErrorText(e)); };
  LoadPicture(dir + "/missing.png", request);
  EXPECT_EQ(order, (std::vector<std::string>{"stage 0", OpenMessage(dir + "/missing.png"), "stage 4"}));

  EXPECT_EQ(messages.count, 0);
  EXPECT_TRUE(shell.stages.empty());
  // The size stored in the file is the result's: nothing of the shell holds it.
  EXPECT_EQ(gif.StoredWidth, 30);
  EXPECT_EQ(gif.StoredHeight, 20);
}

// Loads of different formats on two threads at once give each thread its own pictures
// and results, as one thread loading them in turn does.
TEST(FileDispatch, TwoThreadsLoadDifferentFormatsAtOnce) {
  const std::string dir = TestFolder();
  SetRawPluginPath(QM_RAW_MODULE_PATH);
  TBitmap photo = TestPicture(640, 480, 3), other = TestPicture(300, 200, 8);
  TBitmap few = other.Clone();
  ReduceBitmapColors(few, 200, 0);
  std::vector<std::string> files;
  for (const char* ext : {".jpg", ".png", ".tif", ".bmp", ".tga"}) {
    files.push_back(dir + "/photo" + ext);
    ASSERT_EQ(SavePicture(files.back(), photo, {}).Result, frDone) << ext;
  }
  files.push_back(dir + "/few.gif");
  ASSERT_EQ(SavePicture(files.back(), few, {}).Result, frDone);
  TLayeredImage doc;
  doc.LoadFromBitmap(other, TBitmap(), "#0");
  doc.RenderLayers();
  files.push_back(dir + "/doc.qxi");
  TBitmap flat = doc.ComposedBitmap().Clone();
  ASSERT_EQ(SaveDocument(files.back(), flat, doc, {}).Result, frDone);
  files.push_back(dir + "/shot.nef");
  ASSERT_TRUE(test::WriteSyntheticDng(files.back(), 96, 64));

  // Full loads and previews of each, one after the other.
  struct Load {
    std::string file;
    bool preview;
    TLoadResult expected;
  };
  std::vector<Load> loads;
  for (const std::string& f : files)
    for (bool preview : {false, true}) {
      TLoadRequest r;
      r.Preview = preview;
      loads.push_back({f, preview, LoadPicture(f, r)});
      ASSERT_EQ(loads.back().expected.Result, frDone) << f << " " << preview;
    }

  // Each entry's reader says what it is and what it knows.
  const std::vector<TFileObject> objects = {TFileObject::Jpeg,    TFileObject::Picture, TFileObject::Picture,
                                            TFileObject::Picture, TFileObject::Picture, TFileObject::Gif,
                                            TFileObject::Layered, TFileObject::Raw};
  for (size_t i = 0; i < files.size(); ++i) {
    const TLoadResult& full = loads[2 * i].expected;
    const TLoadResult& reduced = loads[2 * i + 1].expected;
    EXPECT_EQ(full.Object, objects[i]) << files[i];
    EXPECT_EQ(reduced.StoredWidth, full.StoredWidth) << files[i];
    EXPECT_EQ(full.SourceColors, objects[i] == TFileObject::Layered ? 0 : objects[i] == TFileObject::Gif ? 256 : 16777216)
        << files[i];
  }
  EXPECT_LT(loads[1].expected.Bitmap.Width(), 640);  // a JPEG preview is reduced

  // Both threads make every load, several times over, half a list apart: different
  // formats at the same moment.
  constexpr int kRounds = 3;
  auto run = [&](size_t offset, int& stagesSeen, std::vector<std::string>& wrong) {
    TLoadRequest full, preview;
    full.OnProgress = [&](const TFileSender&, const std::string&, int, bool&) { ++stagesSeen; };
    preview.Preview = true;
    for (int round = 0; round < kRounds; ++round)
      for (size_t i = 0; i < loads.size(); ++i) {
        const Load& l = loads[(i + offset) % loads.size()];
        const TLoadResult got = LoadPicture(l.file, l.preview ? preview : full);
        if (got.Result != frDone || !test::SameBitmaps(got.Bitmap, l.expected.Bitmap) ||
            got.StoredWidth != l.expected.StoredWidth || got.StoredHeight != l.expected.StoredHeight ||
            got.SourceColors != l.expected.SourceColors || got.FrameCount != l.expected.FrameCount ||
            got.Object != l.expected.Object)
          wrong.push_back(l.file + (l.preview ? " (preview)" : ""));
      }
  };
  int stagesA = 0, stagesB = 0;
  std::vector<std::string> wrongA, wrongB;
  std::thread a(run, 0, std::ref(stagesA), std::ref(wrongA));
  std::thread b(run, loads.size() / 2 + 1, std::ref(stagesB), std::ref(wrongB));
  a.join();
  b.join();
  EXPECT_TRUE(wrongA.empty()) << wrongA.front();
  EXPECT_TRUE(wrongB.empty()) << wrongB.front();
  // Each thread's event saw its own full loads only: two stages each.
  EXPECT_EQ(stagesA, kRounds * int(files.size()) * 2);
  EXPECT_EQ(stagesB, kRounds * int(files.size()) * 2);
  SetRawPluginPath({});
}


// Two saves at once on two threads, each by its own settings or request (the JPEG
// quality, the EXIF kept from a source or not), write what theirs says: byte for byte
// what the same save writes alone. The shell's settings they were copied from are as
// they were, and so is what the shell's next save writes.
TEST(FileDispatch, TwoThreadsSaveWithTheirOwnRequests) {
  TPictureFileSettings files;  // the shell's
  const std::string dir = TestFolder();
  MessageCatcher messages;
  const TBitmap photo = TestPicture(320, 240, 5);
  const std::string source = dir + "/camera.jpg";
  TBitmap camera = TestPicture(64, 48);
  ASSERT_EQ(SavePicture(source, camera, {}).Result, frDone);
  test::WriteExifData(source, {{"Exif.Image.Model", "QC-1000"}});
  std::string before = dir + "/before.jpg";
  TBitmap copy = photo.Clone();
  ASSERT_EQ(SaveBitmapFile(files, before, copy), 1);

  // One thread by settings of its own, the other by a request of its own.
  TPictureFileSettings keeping = files;
  keeping.ShowFileErrors = false;  // no message box away from the GUI thread
  keeping.JpegSaveDefaults.Quality = 40;
  keeping.KeepExif = true;
  keeping.OnExifSource = [source](std::string& name) { name = source; };
  TPictureFileSettings quiet = files;
  quiet.ShowFileErrors = false;
  TSaveRequest plain = DefaultSaveRequest(quiet);
  plain.Jpeg.Quality = 95;
  auto byKeeping = [&](const std::string& name) {
    TBitmap bmp = photo.Clone();
    std::string n = name;
    TSaveResult result;
    return SaveBitmapFile(keeping, n, bmp, {}, &result) == frDone && result.ExifKept;
  };
  auto byPlain = [&](const std::string& name) {
    TBitmap bmp = photo.Clone();
    const TSaveResult result = SavePicture(name, bmp, plain);
    return result.Result == frDone && !result.ExifKept;
  };
  ASSERT_TRUE(byKeeping(dir + "/keeping.jpg"));
  ASSERT_TRUE(byPlain(dir + "/plain.jpg"));
  const std::vector<uint8_t> keptBytes = test::ReadFileBytes(dir + "/keeping.jpg");
  const std::vector<uint8_t> plainBytes = test::ReadFileBytes(dir + "/plain.jpg");
  EXPECT_EQ(ReadMetadataBlock(dir + "/keeping.jpg").ExifValue("Exif.Image.Model"), "QC-1000");
  EXPECT_FALSE(FileHasExif(dir + "/plain.jpg"));
  EXPECT_LT(keptBytes.size(), plainBytes.size());  // quality 40 against 95

  constexpr int kRounds = 4;
  auto run = [&](const std::function<bool(const std::string&)>& save, const std::string& stem, int& done) {
    for (int i = 0; i < kRounds; ++i) done += save(dir + "/" + stem + std::to_string(i) + ".jpg");
  };
  int keptDone = 0, plainDone = 0;
  std::thread a(run, byKeeping, "k", std::ref(keptDone));
  std::thread b(run, byPlain, "p", std::ref(plainDone));
  a.join();
  b.join();
  EXPECT_EQ(keptDone, kRounds);
  EXPECT_EQ(plainDone, kRounds);
  for (int i = 0; i < kRounds; ++i) {
    EXPECT_EQ(test::ReadFileBytes(dir + "/k" + std::to_string(i) + ".jpg"), keptBytes) << i;
    EXPECT_EQ(test::ReadFileBytes(dir + "/p" + std::to_string(i) + ".jpg"), plainBytes) << i;
  }

  EXPECT_TRUE(files.ShowFileErrors);
  EXPECT_FALSE(files.KeepExif);
  EXPECT_FALSE(files.OnExifSource);
  EXPECT_EQ(files.JpegSaveDefaults.Quality, TJpegWriteOptions{}.Quality);
  EXPECT_EQ(messages.count, 0);
  std::string after = dir + "/after.jpg";
  copy = photo.Clone();
  ASSERT_EQ(SaveBitmapFile(files, after, copy), 1);
  EXPECT_EQ(test::ReadFileBytes(after), test::ReadFileBytes(before));
}

}  // namespace
}  // namespace qm
