#include "imagefiles/ThumbnailCache.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <utime.h>

#include <QImage>
#include <atomic>
#include <exiv2/exiv2.hpp>
#include <filesystem>
#include <mutex>
#include <set>

#include "imagefiles/ImageFilesTest.h"
#include "imagefiles/JpegCodec.h"
#include "imagefiles/ThumbnailPool.h"
#include "platform/core/Md5.h"
#include "support/TestImages.h"

namespace qm {
namespace {

using test::TestPicture;

void SetMTime(const std::string& file, std::time_t t) {
  utimbuf times{t, t};
  ASSERT_EQ(::utime(file.c_str(), &times), 0);
}

TEST(ThumbnailCache, UrisAreEscapedAsTheStandardKeysThem) {
  EXPECT_EQ(FileUri("/home/a b/été #1;[x].jpg"), "file:///home/a%20b/%C3%A9t%C3%A9%20%231%3B%5Bx%5D.jpg");
  EXPECT_EQ(FileUri("/p/a-b_c.d!~*'()$&+,=:@"), "file:///p/a-b_c.d!~*'()$&+,=:@");
  TThumbnailCache cache("/c/thumbnails");
  EXPECT_EQ(cache.EntryPath("/home/jens/photos/me.png"),
            "/c/thumbnails/normal/c6ee772d9e49320e97ec29a7eb5b1697.png");
  EXPECT_EQ(AbsolutePath("/x/y"), "/x/y");
  EXPECT_EQ(AbsolutePath("y").back(), 'y');
  EXPECT_EQ(AbsolutePath("y")[0], '/');
}

// A 4000 x 3000 photo with EXIF, IPTC and a comment: its thumbnail is made at a
// reduced size, kept in the cache with the standard's keys (read back by Qt's PNG
// reader), served from there while the file is unchanged, and made again once the file
// changes.
TEST(ThumbnailCache, EntriesFollowTheStandardAndNoticeChangedFiles) {
  test::TempFolder dir("thumbs");
  const std::string photo = dir.File("photo.jpg");
  WriteJpegFile(photo, TestPicture(4000, 3000), TJpegWriteOptions{85, false});
  {
    auto image = Exiv2::ImageFactory::open(photo);
    image->readMetadata();
    Exiv2::ExifData exif;
    exif["Exif.Image.Make"] = "Quillocam";
    image->setExifData(exif);
    Exiv2::IptcData iptc;
    iptc["Iptc.Application2.Caption"] = "Morvek";
    image->setIptcData(iptc);
    image->setComment("un commentaire");
    image->writeMetadata();
  }
  SetMTime(photo, 1700000000);
  const TThumbnailCache cache(dir.File("cache"));

  TThumbnail made;
  TFileStamp stamp;
  ASSERT_TRUE(MakeThumbnail(photo, &cache, made, &stamp));
  EXPECT_EQ(made.Picture.Width(), 128);
  EXPECT_EQ(made.Picture.Height(), 96);
  EXPECT_EQ(made.Width, 4000);
  EXPECT_EQ(made.Height, 3000);
  EXPECT_TRUE(made.HasExif && made.HasIptc && made.HasComment);

  const std::string entry = cache.EntryPath(photo);
  EXPECT_EQ(entry, dir.File("cache") + "/normal/" + Md5Hex(FileUri(photo)) + ".png");
  QImage png(QString::fromStdString(entry));
  ASSERT_FALSE(png.isNull());
  EXPECT_EQ(png.size(), QSize(128, 96));
  EXPECT_EQ(png.text("Thumb::URI").toStdString(), "file://" + photo);
  EXPECT_EQ(png.text("Thumb::MTime"), "1700000000");
  EXPECT_EQ(png.text("Thumb::Size").toLongLong(), stamp.Size);
  EXPECT_EQ(png.text("Thumb::Image::Width"), "4000");
  struct stat st {};
  ASSERT_EQ(::stat(entry.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);

  TThumbnail cached;
  ASSERT_TRUE(cache.Lookup(photo, stamp, cached));
  EXPECT_TRUE(test::SameBitmaps(cached.Picture, made.Picture));
  EXPECT_EQ(cached.Width, 4000);
  EXPECT_TRUE(cached.HasExif && cached.HasIptc && cached.HasComment);

  // another time, or another size, is another version of the file
  TFileStamp later = stamp;
  later.MTime += 1;
  EXPECT_FALSE(cache.Lookup(photo, later, cached));
  TFileStamp bigger = stamp;
  bigger.Size += 1;
  EXPECT_FALSE(cache.Lookup(photo, bigger, cached));

  WriteJpegFile(photo, TestPicture(300, 600), TJpegWriteOptions{85, false});
  SetMTime(photo, 1700000100);
  TThumbnail remade;
  ASSERT_TRUE(MakeThumbnail(photo, &cache, remade));
  EXPECT_EQ(remade.Width, 300);
  EXPECT_EQ(remade.Picture.Width(), 64);
  EXPECT_EQ(remade.Picture.Height(), 128);
  EXPECT_FALSE(remade.HasExif);
  EXPECT_EQ(QImage(QString::fromStdString(entry)).text("Thumb::MTime"), "1700000100");

  // an unreadable file is recorded as such, and tried again once it changes
  const std::string broken = dir.Write("broken.jpg", "not a picture");
  TThumbnail none;
  EXPECT_FALSE(MakeThumbnail(broken, &cache, none));
  TFileStamp brokenStamp;
  ASSERT_TRUE(GetFileStamp(broken, brokenStamp));
  EXPECT_TRUE(cache.KnownFailure(broken, brokenStamp));
  WriteJpegFile(broken, TestPicture(40, 30), TJpegWriteOptions{85, false});
  SetMTime(broken, 1700000200);
  EXPECT_TRUE(MakeThumbnail(broken, &cache, none));

  // an entry another program wrote without our keys is made again, not trusted
  QImage foreign(128, 96, QImage::Format_RGB32);
  foreign.fill(Qt::red);
  foreign.setText("Thumb::URI", QString::fromStdString(FileUri(photo)));
  foreign.setText("Thumb::MTime", "1700000100");
  ASSERT_TRUE(foreign.save(QString::fromStdString(entry)));
  ASSERT_TRUE(GetFileStamp(photo, stamp));
  EXPECT_FALSE(cache.Lookup(photo, stamp, cached));
  ASSERT_TRUE(MakeThumbnail(photo, &cache, cached));
  EXPECT_TRUE(cache.Lookup(photo, stamp, cached));
}

// The pool makes every file of a folder once, and a cancelled scan delivers nothing
// after Cancel returns.
TEST(ThumbnailCache, ThePoolDeliversEveryFileOnceAndStopsWhenCancelled) {
  test::TempFolder dir("pool");
  for (int i = 0; i < 12; ++i)
    WriteJpegFile(dir.File("p" + std::to_string(i) + ".jpg"), TestPicture(200 + i, 150), TJpegWriteOptions{80, false});
  dir.Write("p99.jpg", "broken");
  const TThumbnailCache cache(dir.File("cache"));
  TThumbnailPool pool(4, &cache);

  std::mutex m;
  std::set<int> indexes;
  int ok = 0, walked = -1;
  TScanRequest request;
  request.Folder = dir.Path.string();
  request.Masks = "*.jpg";
  request.Deliver = [&](TScannedFile&& f) {
    std::lock_guard<std::mutex> g(m);
    EXPECT_TRUE(indexes.insert(f.Index).second);
    ok += f.Ok;
    if (f.Ok) {
      EXPECT_EQ(f.Thumb.Width, 200 + std::stoi(f.FileName.substr(f.FileName.rfind('/') + 2)));
    }
  };
  request.WalkDone = [&](int n) { walked = n; };
  pool.Start(request);
  pool.Wait();
  EXPECT_FALSE(pool.Busy());
  EXPECT_EQ(walked, 13);
  EXPECT_EQ(indexes.size(), 13u);
  EXPECT_EQ(ok, 12);

  std::atomic<int> after{0};
  std::atomic<bool> cancelled{false};
  request.Deliver = [&](TScannedFile&&) {
    if (cancelled) ++after;
  };
  pool.Start(request);
  pool.Cancel();
  cancelled = true;
  pool.Wait();
  EXPECT_EQ(after, 0);
}

}  // namespace
}  // namespace qm
