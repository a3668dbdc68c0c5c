#include "imagefiles/RawClient.h"

#include <dlfcn.h>
#include <gtest/gtest.h>

#include <cfenv>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "imagefiles/PictureFiles.h"
#include "imagefiles/FormatRegistry.h"
#include "platform/core/Exceptions.h"
#include "imagefiles/ImageFilesTest.h"
#include "support/SyntheticDng.h"
#include "support/TestImages.h"

namespace qm {
namespace {

using test::ReadFileBytes;
using test::MessageCatcher;
using test::SameBitmaps;
using test::TestFolder;

constexpr const char* kModule = QM_RAW_MODULE_PATH;

// Points the client at the module the build made, and back at nothing afterwards.
struct WithModule {
  explicit WithModule(const std::string& path = kModule) { SetRawPluginPath(path); }
  ~WithModule() {
    UnregisterRawFormats();
    SetRawPluginPath({});
  }
};

bool ModuleLoaded() {
  void* h = dlopen(kModule, RTLD_NOW | RTLD_NOLOAD);
  if (h) dlclose(h);
  return h != nullptr;
}

std::string ErrorOf(const std::function<void()>& f) {
  try {
    f();
  } catch (const EInvalidGraphic& e) {
    return e.what();
  }
  return {};
}

TEST(RawClient, RawExtensionsAreWholeEntriesOfTheTable) {
  EXPECT_TRUE(IsRawFile("a/IMG_0001.CR2"));
  EXPECT_TRUE(IsRawFile("x.dcr"));
  EXPECT_TRUE(IsRawFile("x.nef"));
  EXPECT_TRUE(IsRawFile("x.raw"));
  EXPECT_FALSE(IsRawFile("x.r"));
  EXPECT_FALSE(IsRawFile("x.c"));
  EXPECT_FALSE(IsRawFile("x.cr"));
  EXPECT_FALSE(IsRawFile("x.jpg"));
  EXPECT_FALSE(IsRawFile("nef"));
  EXPECT_FALSE(IsRawFile("x."));
  ASSERT_EQ(RawFormatTable().size(), 11u);
  EXPECT_STREQ(RawFormatTable()[2].Description, "Canon raw");
  int w = 0, h = 0;
  EXPECT_TRUE(CheckRawGeometry(3000, 2000, 4, w, h));
  EXPECT_EQ(w, 2992);
  EXPECT_EQ(h, 1992);
  EXPECT_FALSE(CheckRawGeometry(3000, 2000, -1, w, h));
  EXPECT_FALSE(CheckRawGeometry(8, 2000, 4, w, h));
  EXPECT_FALSE(CheckRawGeometry(0, 10, 0, w, h));
  EXPECT_FALSE(CheckRawGeometry(1 << 30, 1 << 30, 0, w, h));
  EXPECT_EQ(w, 0);
}

TEST(RawClient, FastFileBuffersReadsSeeksAndWrites) {
  const std::string dir = TestFolder();
  std::vector<uint8_t> data(10000);
  for (size_t i = 0; i < data.size(); ++i) data[i] = uint8_t(i * 7);
  test::WriteFileBytes(dir + "/f.bin", data);
  int io = -1;
  TFastFile f(dir + "/f.bin", ffOpenRead, io);
  EXPECT_EQ(io, 0);
  EXPECT_EQ(f.Size(), 10000);
  uint8_t buf[6000];
  EXPECT_EQ(f.Read(buf, 10), 10);
  EXPECT_EQ(std::memcmp(buf, data.data(), 10), 0);
  EXPECT_EQ(f.Position(), 10);
  f.Seek(5, 0);  // inside the buffer
  EXPECT_EQ(f.ReadByte(), data[5]);
  f.Seek(100, 1);
  EXPECT_EQ(f.Position(), 106);
  EXPECT_EQ(f.ReadByte(), data[106]);
  f.Seek(-3, 2);  // outside: a physical seek
  EXPECT_EQ(f.Read(buf, 10), 3);
  EXPECT_EQ(f.ReadByte(), -1);
  f.Seek(1000, 0);
  EXPECT_EQ(f.Read(buf, 6000), 6000);  // a read larger than the buffer
  EXPECT_EQ(std::memcmp(buf, data.data() + 1000, 6000), 0);
  EXPECT_EQ(f.Position(), 7000);
  f.Seek(-1, 0);
  EXPECT_TRUE(f.Error());
  EXPECT_EQ(f.ReadByte(), -1);
  f.Seek(9500, 0);  // a new start outside the buffer clears the error
  EXPECT_FALSE(f.Error());
  EXPECT_EQ(f.ReadByte(), data[9500]);
  TFastFile missing(dir + "/none.bin", ffOpenRead, io);
  EXPECT_NE(io, 0);

  TFastFile w(dir + "/w.bin", ffCreate, io);
  EXPECT_EQ(io, 0);
  EXPECT_EQ(w.Write("hello world", 11), 11);
  w.Seek(6, 0);
  EXPECT_EQ(w.ReadByte(), 'w');
  EXPECT_EQ(w.Write("W", 1), 1);  // at the logical position
  w.Seek(0, 0);
  char text[12] = {};
  EXPECT_EQ(w.Read(text, 11), 11);
  EXPECT_STREQ(text, "hello wWrld");

  TFastFile mem("", ffCreate, io);
  EXPECT_EQ(mem.Write(data.data(), 5000), 5000);
  mem.Seek(4998, 0);
  EXPECT_EQ(mem.Read(buf, 10), 2);
  EXPECT_EQ(mem.Size(), 5000);
}

TEST(RawClient, CallbacksOverTheHostFiles) {
  const std::string dir = TestFolder();
  test::WriteFileBytes(dir + "/lines.txt", {'o', 'n', 'e', '\n', 't', 'w', 'o', '\n'});
  const QxlRawCallbacks cb = RawHostCallbacks();
  EXPECT_EQ(cb.Size, sizeof(QxlRawCallbacks));
  QxlRawFile* f = cb.Open((dir + "/lines.txt").c_str(), "rb");
  ASSERT_NE(f, nullptr);
  EXPECT_GE(cb.FileNumber(f), 0);
  char line[32];
  ASSERT_NE(cb.ReadLine(line, sizeof line, f), nullptr);
  EXPECT_STREQ(line, "one");
  ASSERT_NE(cb.ReadLine(line, sizeof line, f), nullptr);
  EXPECT_STREQ(line, "two");
  EXPECT_EQ(cb.ReadLine(line, sizeof line, f), nullptr);
  EXPECT_EQ(cb.EndOfFile(f), -1);
  EXPECT_EQ(cb.Seek(f, 4, 0), 0);
  EXPECT_EQ(cb.Tell(f), 4);
  EXPECT_EQ(cb.ReadByte(f), 't');
  EXPECT_EQ(cb.Seek(f, -1, 2), 0);
  EXPECT_EQ(cb.EndOfFile(f), 0);
  EXPECT_EQ(cb.Seek(f, 0, 7), -1);
  char two[4];
  EXPECT_EQ(cb.Seek(f, 0, 0), 0);
  EXPECT_EQ(cb.Read(two, 2, 2, f), 2);  // whole items
  EXPECT_EQ(cb.Read(two, 3, 1, f), 1);
  EXPECT_EQ(cb.Write("x", 1, 1, f), 0);  // opened read only
  EXPECT_EQ(cb.Close(f), 0);
  // Handles the host did not make are refused.
  QxlRawFile* foreign = reinterpret_cast<QxlRawFile*>(line);
  std::memset(line, 0x69, sizeof line);
  EXPECT_EQ(cb.Tell(foreign), -1);
  EXPECT_EQ(cb.Read(two, 1, 1, foreign), -1);
  EXPECT_EQ(cb.EndOfFile(foreign), -1);
  EXPECT_EQ(cb.FileNumber(foreign), -1);
  EXPECT_EQ(cb.Close(foreign), -1);
  EXPECT_NE(cb.ReadLine(line, sizeof line, foreign), nullptr);
  EXPECT_STREQ(line, "");
  EXPECT_EQ(cb.Open((dir + "/missing").c_str(), "r"), nullptr);

  // "w" creates, "a" appends.
  QxlRawFile* w = cb.Open((dir + "/out.txt").c_str(), "wb");
  ASSERT_NE(w, nullptr);
  EXPECT_EQ(cb.WriteText("abc", w), 1);
  EXPECT_EQ(cb.WriteText("", w), 1);
  EXPECT_EQ(cb.WriteByte('d', w), 'd');
  EXPECT_EQ(cb.Close(w), 0);
  QxlRawFile* a = cb.Open((dir + "/out.txt").c_str(), "a");
  ASSERT_NE(a, nullptr);
  EXPECT_EQ(cb.Seek(a, 0, 0), 0);
  EXPECT_EQ(cb.Write("ef", 1, 2, a), 2);
  EXPECT_EQ(cb.Close(a), 0);
  EXPECT_EQ(ReadFileBytes(dir + "/out.txt"), (std::vector<uint8_t>{'a', 'b', 'c', 'd', 'e', 'f'}));
  QxlRawFile* rw = cb.Open((dir + "/out.txt").c_str(), "rb+");
  ASSERT_NE(rw, nullptr);
  EXPECT_EQ(cb.Write("Z", 1, 1, rw), 1);
  EXPECT_EQ(cb.Close(rw), 0);
  EXPECT_EQ(ReadFileBytes(dir + "/out.txt")[0], 'Z');
}

TEST(RawClient, DecodesTheSyntheticDngThroughTheModule) {
  const std::string dir = TestFolder();
  WithModule module;
  ASSERT_TRUE(RawPluginExists());
  const std::string dng = dir + "/shot.nef";  // LibRaw knows the file by its content
  ASSERT_TRUE(test::WriteSyntheticDng(dng, 96, 64));
  TRawInfo info;
  ReadRawInfo(dng, info);
  EXPECT_EQ(info.Width, 96);
  EXPECT_EQ(info.Height, 64);
  EXPECT_EQ(info.TextA, "Quillomatic");
  EXPECT_EQ(info.TextB, "Synthetic");
  EXPECT_EQ(info.Resolution, 72.0);
  EXPECT_FALSE(ModuleLoaded());

  std::fesetround(FE_DOWNWARD);
  TBitmap bmp;
  DecodeRawFile(dng, bmp, kRawDecodeOptions);
  EXPECT_EQ(std::fegetround(), FE_DOWNWARD);  // our environment comes back
  std::fesetround(FE_TONEAREST);
  EXPECT_FALSE(ModuleLoaded());
  ASSERT_EQ(bmp.Width(), 96);
  ASSERT_EQ(bmp.Height(), 64);
  ASSERT_EQ(bmp.PixelFormat(), pf24bit);
  // The scene: blue top left, yellow bottom right.
  const TColor tl = bmp.GetPixel(4, 4), br = bmp.GetPixel(90, 58);
  EXPECT_GT(GetBValue(tl), GetRValue(tl) + 40);
  EXPECT_GT(GetRValue(br), GetBValue(br) + 40);
  EXPECT_GT(GetGValue(br), GetBValue(br) + 40);

  // The half-size option halves the picture.
  DecodeRawFile(dng, bmp, kRawDecodeOptions | 0x40);
  EXPECT_EQ(bmp.Width(), 48);

  // Through the load dispatch, and the embedded thumbnail for previews.
  MessageCatcher messages;
  TPictureFileSettings files;
  std::string name = dng;
  TBitmap loaded;
  TLoadResult report;
  ASSERT_EQ(LoadBitmapFile(files, name, loaded, {}, &report), 1);
  EXPECT_EQ(loaded.Width(), 96);
  EXPECT_EQ(report.StoredWidth, 96);
  ASSERT_EQ(LoadBitmapFilePreview(files, dng, loaded, &report), 1);
  EXPECT_EQ(loaded.Width(), 12);
  EXPECT_EQ(loaded.Height(), 8);
  EXPECT_EQ(report.StoredWidth, 96);
  EXPECT_EQ(report.StoredHeight, 64);
  EXPECT_EQ(messages.count, 0);
}

TEST(RawClient, ThumbnailsUseAUniqueTemporaryFileAndDeleteIt) {
  const std::string dir = TestFolder();
  WithModule module;
  const std::string dng = dir + "/shot.raw";
  // LibRaw takes no thumbnail as small as 8 x 6: a 12 x 8 one.
  ASSERT_TRUE(test::WriteSyntheticDng(dng, 96, 64));
  const std::string temp = dir + "/tmp";
  std::filesystem::create_directories(temp);
  const char* old = std::getenv("TMPDIR");
  const std::string saved = old ? old : "";
  setenv("TMPDIR", temp.c_str(), 1);
  TBitmap thumb;
  ExtractRawThumbnail(dng, thumb);
  EXPECT_EQ(thumb.Width(), 12);
  EXPECT_EQ(thumb.Height(), 8);
  // The thumbnail holds the scene too: a bluish corner.
  EXPECT_GT(GetBValue(thumb.GetPixel(0, 0)), GetRValue(thumb.GetPixel(0, 0)));
  EXPECT_TRUE(std::filesystem::is_empty(temp));
  if (old)
    setenv("TMPDIR", saved.c_str(), 1);
  else
    unsetenv("TMPDIR");
}

TEST(RawClient, TruncatedFilesReportTheModulesErrorCode) {
  const std::string dir = TestFolder();
  WithModule module;
  const std::string dng = dir + "/cut.nef";
  ASSERT_TRUE(test::WriteSyntheticDng(dng, 96, 64));
  std::vector<uint8_t> bytes = ReadFileBytes(dng);
  bytes.resize(bytes.size() / 2);
  test::WriteFileBytes(dng, bytes);
  const std::string prefix = "Error in decoding RAW image. Error code = ";
  std::string message = ErrorOf([&] {
    TBitmap bmp;
    DecodeRawFile(dng, bmp, kRawDecodeOptions);
  });
  ASSERT_EQ(message.rfind(prefix, 0), 0u) << message;
  const int code = std::atoi(message.c_str() + prefix.size());
  EXPECT_NE(code, 0);
  message = ErrorOf([&] {
    TRawInfo info;
    ReadRawInfo(dir + "/missing.nef", info);
  });
  EXPECT_EQ(message.rfind(prefix, 0), 0u) << message;
  MessageCatcher messages;
  TPictureFileSettings files;
  std::string name = dng;
  TBitmap bmp;
  EXPECT_EQ(LoadBitmapFile(files, name, bmp), -1);
  EXPECT_EQ(messages.last, "Impossible d'ouvrir l'image dans le fichier \"" + dng + "\" !");
  EXPECT_FALSE(ModuleLoaded());
}

TEST(RawClient, WithoutTheModule) {
  const std::string dir = TestFolder();
  WithModule module(dir + "/Plugins/raw.qxl");
  EXPECT_FALSE(RawPluginExists());
  const std::string dng = dir + "/shot.nef";
  ASSERT_TRUE(test::WriteSyntheticDng(dng, 32, 32));
  EXPECT_EQ(ErrorOf([&] {
              TRawInfo info;
              ReadRawInfo(dng, info);
            }),
            "DLL not loaded");
  EXPECT_EQ(ErrorOf([&] {
              TBitmap bmp;
              ExtractRawThumbnail(dng, bmp);
            }),
            "DLL not loaded");
  RegisterRawFormats();
  EXPECT_FALSE(FileFormatList().Find("nef").has_value());
  // Still routed to the RAW reader, which fails as any unreadable file.
  MessageCatcher messages;
  TPictureFileSettings files;
  std::string name = dng;
  TBitmap bmp;
  EXPECT_EQ(LoadBitmapFile(files, name, bmp), -1);
  EXPECT_EQ(messages.count, 1);
  const TLoadResult result = LoadPicture(dng, {});
  EXPECT_EQ(result.Object, TFileObject::Raw);
  EXPECT_EQ(result.Error.Reason, "DLL not loaded");
  // A file that is no module does not load either.
  std::filesystem::create_directories(dir + "/Plugins");
  test::WriteFileBytes(dir + "/Plugins/raw.qxl", {0x7F, 'E', 'L', 'F'});
  EXPECT_TRUE(RawPluginExists());
  EXPECT_FALSE(LoadRawPlugin());
}

TEST(RawClient, WhatAModuleReturnsIsCheckedAndWhatItThrowsIsCaught) {
  const std::string dir = TestFolder();
  WithModule module(QM_UNRULY_RAW_MODULE_PATH);
  ASSERT_TRUE(LoadRawPlugin());
  UnloadRawPlugin();
  auto loaded = [] {
    void* h = dlopen(QM_UNRULY_RAW_MODULE_PATH, RTLD_NOW | RTLD_NOLOAD);
    if (h) dlclose(h);
    return h != nullptr;
  };
  const std::string prefix = "Error in decoding RAW image. Error code = ";
  auto info = [&](const char* name) {
    return ErrorOf([&] {
      TRawInfo i;
      ReadRawInfo(dir + "/" + name, i);
    });
  };
  const TBitmap before(5, 4, pf24bit, clWhite);
  auto decode = [&](const char* name, TBitmap& bmp) {
    bmp = before.Clone();
    return ErrorOf([&] { DecodeRawFile(dir + "/" + name, bmp, kRawDecodeOptions); });
  };
  TBitmap bmp;
  // Exceptions leaving an entry count as -1; the module is unloaded all the same.
  EXPECT_EQ(info("throw.nef"), prefix + "-1");
  EXPECT_EQ(decode("decodethrow.nef", bmp), prefix + "-1");
  EXPECT_TRUE(SameBitmaps(bmp, before));
  EXPECT_FALSE(loaded());
  // Sizes and margins that leave no picture, or one larger than we read, are refused
  // before any row is handed out.
  for (const char* name : {"huge.nef", "margin.nef", "negmargin.nef"}) {
    EXPECT_EQ(info(name), prefix + "-1") << name;
    EXPECT_EQ(decode(name, bmp), prefix + "-1") << name;
    EXPECT_TRUE(SameBitmaps(bmp, before)) << name;
  }
  // The module runs in the default environment and ours comes back after it.
  std::fesetround(FE_DOWNWARD);
  EXPECT_EQ(info("rounding.nef"), prefix + "42");
  EXPECT_EQ(std::fegetround(), FE_DOWNWARD);
  std::fesetround(FE_TONEAREST);
  // Texts without their terminating zero are cut at their buffers.
  TRawInfo texts;
  ReadRawInfo(dir + "/texts.nef", texts);
  EXPECT_EQ(texts.TextA, std::string(QXL_RAW_TEXT_A_SIZE - 1, 'a'));
  EXPECT_EQ(texts.TextB, std::string(QXL_RAW_TEXT_B_SIZE - 1, 'b'));
  EXPECT_EQ(texts.TextC, std::string(QXL_RAW_TEXT_C_SIZE - 1, 'c'));
  // The margins come off each side; every row of a tall picture gets its address.
  ASSERT_EQ(decode("framed.nef", bmp), "");
  ASSERT_EQ(bmp.Width(), 2992);
  ASSERT_EQ(bmp.Height(), 1992);
  EXPECT_EQ(bmp.ScanLine(1991)[2992 * 3 - 1], uint8_t(1991 * 7 + 1));
  ASSERT_EQ(decode("tall.nef", bmp), "");
  ASSERT_EQ(bmp.Height(), 20000);
  for (int y : {0, 10000, 10001, 19999}) EXPECT_EQ(bmp.ScanLine(y)[8], uint8_t(y * 7 + 1)) << y;
  // Thumbnails: an unknown kind, a missing thumbnail and a failed call are errors
  // with their codes, and no temporary file stays behind.
  const std::string temp = dir + "/tmp";
  std::filesystem::create_directories(temp);
  const char* old = std::getenv("TMPDIR");
  const std::string saved = old ? old : "";
  setenv("TMPDIR", temp.c_str(), 1);
  auto thumb = [&](const char* name) {
    return ErrorOf([&] {
      TBitmap t;
      ExtractRawThumbnail(dir + "/" + name, t);
    });
  };
  EXPECT_EQ(thumb("thumbkind.nef"), prefix + "7");
  EXPECT_EQ(thumb("thumbnone.nef"), prefix + "-2");
  EXPECT_EQ(thumb("thumbfail.nef"), prefix + "5");
  EXPECT_TRUE(std::filesystem::is_empty(temp));
  if (old)
    setenv("TMPDIR", saved.c_str(), 1);
  else
    unsetenv("TMPDIR");
  // Through the load dispatch: the failure message, and a preview whose thumbnail
  // fails gives no empty picture but a failure.
  MessageCatcher messages;
  TPictureFileSettings files;
  std::string name = dir + "/throw.nef";
  bmp = before.Clone();
  EXPECT_EQ(LoadBitmapFile(files, name, bmp), -1);
  EXPECT_EQ(messages.last, "Impossible d'ouvrir l'image dans le fichier \"" + name + "\" !");
  EXPECT_EQ(LoadBitmapFilePreview(files, dir + "/thumbnone.nef", bmp), -1);
  EXPECT_TRUE(SameBitmaps(bmp, before));
  EXPECT_EQ(messages.count, 1);
  EXPECT_FALSE(loaded());
}

TEST(RawClient, RegistersOneClassPerMakerWhenTheModuleExists) {
  WithModule module;
  RegisterRawFormats();
  const std::optional<TFileFormatEntry> cr2 = FileFormatList().Find("cr2");
  ASSERT_TRUE(cr2.has_value());
  EXPECT_EQ(cr2->Description, "Canon raw");
  EXPECT_EQ(cr2->Class, FileFormatList().Find("crw")->Class);
  EXPECT_NE(cr2->Class, FileFormatList().Find("nef")->Class);
  EXPECT_NE(BuildImageFilter(false, false, false).find("Canon raw (*.cr2;*.crw)|*.cr2;*.crw"), std::string::npos);
  UnregisterRawFormats();
  EXPECT_FALSE(FileFormatList().Find("cr2").has_value());
  EXPECT_FALSE(DefaultRawPluginPath().empty());
}

}  // namespace
}  // namespace qm
