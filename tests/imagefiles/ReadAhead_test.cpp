#include "imagefiles/ReadAhead.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <thread>

#include "imagefiles/FileDispatch.h"
#include "imagefiles/ImageFilesTest.h"
#include "imagefiles/JpegCodec.h"
#include "imagefiles/PictureFiles.h"
#include "support/TestImages.h"

namespace qm {
namespace {

using test::SameBitmaps;
using test::TestFolder;
using test::TestPicture;

TLoadResult Load(const std::string& name, TPictureReadAhead* ahead, bool preview = false) {
  TLoadRequest request;
  request.ReadAhead = ahead;
  request.Preview = preview;
  return LoadPicture(name, request);
}

}  // namespace

// What a load takes from a read ahead is what it would have read: the same pixels and
// reports, the stages in their order; once taken, nothing is held.
TEST(ReadAhead, ALoadTakesThePictureReadAheadOnlyWhenItIsThatFilesAsItIs) {
  const std::string dir = TestFolder();
  const std::string jpeg = dir + "/vue.jpg", other = dir + "/autre.jpg";
  WriteJpegFile(jpeg, TestPicture(300, 200, 1, true), TJpegWriteOptions{90, false});
  WriteJpegFile(other, TestPicture(120, 80, 2, true), TJpegWriteOptions{90, false});
  const TLoadResult direct = Load(jpeg, nullptr);
  ASSERT_EQ(direct.Result, frDone);

  TPictureReadAhead ahead;
  ahead.Start(jpeg);
  // another file, and a preview of this one, read for themselves and leave it there
  EXPECT_TRUE(SameBitmaps(Load(other, &ahead).Bitmap, Load(other, nullptr).Bitmap));
  EXPECT_EQ(Load(jpeg, &ahead, true).Bitmap.Width(), Load(jpeg, nullptr, true).Bitmap.Width());
  // the same file under another name of it: taken, with the stages of a load
  TPictureFileSettings files;
  files.ReadAhead = &ahead;
  test::StageRecorder stages(files);
  TBitmap taken;
  TLoadResult report;
  std::string name = dir + "/./vue.jpg";
  ASSERT_EQ(LoadBitmapFile(files, name, taken, {}, &report), frDone);
  EXPECT_TRUE(SameBitmaps(taken, direct.Bitmap));
  EXPECT_EQ(report.StoredWidth, direct.StoredWidth);
  EXPECT_EQ(report.SourceColors, direct.SourceColors);
  EXPECT_EQ(stages.stages, (std::vector<int>{fpBeforeLoad, fpAfterLoad}));
  // taken once: the next load reads the file
  EXPECT_FALSE(
      [&] {
        TLoadedPicture p;
        TReadRequest r;
        return ahead.Take(jpeg, FileFormatList().ReaderFor(".jpg").get(), r, p);
      }());

  // Taken by the reader of its extension, for a full load under the same limit; a
  // picture of another format is never read ahead.
  ahead.Start(jpeg);
  TLoadedPicture own;
  ASSERT_TRUE(ahead.Take(jpeg, FileFormatList().ReaderFor(".jpg").get(), TReadRequest{}, own));
  EXPECT_TRUE(SameBitmaps(own.Bitmap, direct.Bitmap));
  std::string png = dir + "/vue.png";
  TBitmap copy = direct.Bitmap.Clone();
  ASSERT_EQ(SaveBitmapFile(TPictureFileSettings{}, png, copy), frDone);
  ahead.Start(png);
  EXPECT_FALSE(ahead.Take(png, FileFormatList().ReaderFor(".png").get(), TReadRequest{}, own));

  // A file written again after its read began is read again, as it is now.
  ahead.Start(jpeg);
  std::this_thread::sleep_for(std::chrono::milliseconds(20));  // the file's time moves on
  const TBitmap rewritten = TestPicture(64, 48, 5, true);
  WriteJpegFile(jpeg, rewritten, TJpegWriteOptions{90, false});
  EXPECT_EQ(Load(jpeg, &ahead).Bitmap.Width(), 64);

  // A read that failed is not reported: the load fails for itself, with its message.
  const std::string broken = dir + "/casse.jpg";
  test::WriteFileBytes(broken, {0xFF, 0xD8, 0xFF, 0xE0, 0, 16, 'J', 'F', 'I', 'F'});
  ahead.Start(broken);
  const TLoadResult failed = Load(broken, &ahead);
  EXPECT_EQ(failed.Result, frFailed);
  ASSERT_TRUE(failed.Error);
  EXPECT_EQ(failed.Error.Message, Load(broken, nullptr).Error.Message);

  // Dropped, the picture of a file nobody opened goes; a start without a reader or a
  // file does nothing.
  ahead.Start(other);
  ahead.Drop();
  TLoadedPicture none;
  EXPECT_FALSE(ahead.Take(other, FileFormatList().ReaderFor(".jpg").get(), TReadRequest{}, none));
  ahead.Start(dir + "/absent.jpg");
  ahead.Start(dir + "/notes.txt");
  EXPECT_EQ(Load(other, &ahead).Result, frDone);
}

}  // namespace qm
