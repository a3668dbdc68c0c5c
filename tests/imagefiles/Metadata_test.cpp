#include "imagefiles/Metadata.h"

#include <gtest/gtest.h>

#include <exiv2/exiv2.hpp>

#include "platform/core/Exceptions.h"
#include "imagefiles/ImageFilesTest.h"
#include "support/SyntheticDng.h"

namespace qm {
namespace {

using test::TestFolder;
using test::TestPicture;

// Adds camera EXIF (maker, model, pixel dimensions), and on request IPTC and a
// comment, with exiv2.
void AddMetadata(const std::string& jpeg, bool iptc = false, bool comment = false) {
  auto image = Exiv2::ImageFactory::open(jpeg);
  image->readMetadata();
  Exiv2::ExifData exif;
  exif["Exif.Image.Make"] = "Quillocam";
  exif["Exif.Image.Model"] = "QC-1000";
  exif["Exif.Photo.PixelXDimension"] = uint32_t(4000);
  exif["Exif.Photo.PixelYDimension"] = uint32_t(3000);
  image->setExifData(exif);
  if (iptc) {
    Exiv2::IptcData data;
    data["Iptc.Application2.Caption"] = "Morvek";
    image->setIptcData(data);
  }
  if (comment) image->setComment("un commentaire");
  image->writeMetadata();
}

std::string ExifOf(const std::string& file, const char* key) {
  auto image = Exiv2::ImageFactory::open(file);
  image->readMetadata();
  auto it = image->exifData().findKey(Exiv2::ExifKey(key));
  return it == image->exifData().end() ? std::string() : it->toString();
}

TEST(Metadata, KindsOfMetadataAreDetected) {
  const std::string dir = TestFolder();
  WriteJpegFile(dir + "/plain.jpg", TestPicture(40, 30), TJpegWriteOptions{});
  EXPECT_FALSE(FileHasExif(dir + "/plain.jpg"));
  bool e = true, i = true, c = true;
  EXPECT_FALSE(GetMetadataKinds(dir + "/plain.jpg", e, i, c));
  EXPECT_FALSE(e || i || c);

  WriteJpegFile(dir + "/exif.jpg", TestPicture(40, 30), TJpegWriteOptions{});
  AddMetadata(dir + "/exif.jpg");
  EXPECT_TRUE(FileHasExif(dir + "/exif.jpg"));
  EXPECT_TRUE(GetMetadataKinds(dir + "/exif.jpg", e, i, c));
  EXPECT_TRUE(e);
  EXPECT_FALSE(i);
  EXPECT_FALSE(c);

  WriteJpegFile(dir + "/all.jpg", TestPicture(40, 30), TJpegWriteOptions{});
  AddMetadata(dir + "/all.jpg", true, true);
  EXPECT_TRUE(GetMetadataKinds(dir + "/all.jpg", e, i, c));
  EXPECT_TRUE(e && i && c);

  EXPECT_FALSE(FileHasExif(dir + "/missing.jpg"));
  test::WriteFileBytes(dir + "/junk.jpg", std::vector<uint8_t>(50, 3));
  EXPECT_FALSE(FileHasExif(dir + "/junk.jpg"));
  EXPECT_FALSE(GetMetadataKinds(dir + "/junk.jpg", e, i, c));
  EXPECT_FALSE(e || i || c);
  EXPECT_TRUE(ReadMetadataBlock(dir + "/junk.jpg").Empty());
}

TEST(Metadata, TheSourcesThumbnailIsDroppedAndRawSourcesStillSave) {
  const std::string dir = TestFolder();
  WriteJpegFile(dir + "/thumb.jpg", TestPicture(16, 12), TJpegWriteOptions{});
  const std::vector<uint8_t> thumb = test::ReadFileBytes(dir + "/thumb.jpg");
  WriteJpegFile(dir + "/src.jpg", TestPicture(40, 30), TJpegWriteOptions{});
  {
    auto image = Exiv2::ImageFactory::open(dir + "/src.jpg");
    image->readMetadata();
    Exiv2::ExifData exif;
    exif["Exif.Image.Model"] = "QC-1000";
    Exiv2::ExifThumb(exif).setJpegThumbnail(thumb.data(), long(thumb.size()));
    image->setExifData(exif);
    image->writeMetadata();
  }
  auto thumbSize = [](const std::string& f) {
    auto image = Exiv2::ImageFactory::open(f);
    image->readMetadata();
    return Exiv2::ExifThumbC(image->exifData()).copy().size_;
  };
  ASSERT_GT(thumbSize(dir + "/src.jpg"), 0);
  SaveJpegKeepingExif(TestPicture(20, 10), TJpegWriteOptions{}, dir + "/out.jpg", dir + "/src.jpg");
  EXPECT_EQ(ExifOf(dir + "/out.jpg", "Exif.Image.Model"), "QC-1000");
  EXPECT_EQ(thumbSize(dir + "/out.jpg"), 0);
  // A camera RAW file as the source: the picture is saved whatever its metadata.
  ASSERT_TRUE(test::WriteSyntheticDng(dir + "/shot.dng", 96, 64));
  SaveJpegKeepingExif(TestPicture(20, 10), TJpegWriteOptions{}, dir + "/fromraw.jpg", dir + "/shot.dng");
  TBitmap back;
  ReadJpegFile(dir + "/fromraw.jpg", back);
  EXPECT_EQ(back.Width(), 20);
}

TEST(Metadata, SavedJpegCarriesTheSourceExifWithItsNewSize) {
  const std::string dir = TestFolder();
  WriteJpegFile(dir + "/src.jpg", TestPicture(40, 30), TJpegWriteOptions{});
  AddMetadata(dir + "/src.jpg", true);
  const TMetadataBlock block = ReadMetadataBlock(dir + "/src.jpg");
  EXPECT_EQ(block.ExifValue("Exif.Image.Make"), "Quillocam");

  SaveJpegKeepingExif(TestPicture(64, 48), TJpegWriteOptions{}, dir + "/out.jpg", dir + "/src.jpg");
  EXPECT_EQ(ExifOf(dir + "/out.jpg", "Exif.Image.Make"), "Quillocam");
  EXPECT_EQ(ExifOf(dir + "/out.jpg", "Exif.Image.Model"), "QC-1000");
  EXPECT_EQ(ExifOf(dir + "/out.jpg", "Exif.Photo.PixelXDimension"), "64");
  EXPECT_EQ(ExifOf(dir + "/out.jpg", "Exif.Photo.PixelYDimension"), "48");
  // The JPEG dialog's preview weighs the file so, without writing it.
  EXPECT_EQ(JpegSizeWithMetadata(WriteJpegMemory(TestPicture(64, 48), TJpegWriteOptions{}), dir + "/src.jpg", 64, 48),
            test::ReadFileBytes(dir + "/out.jpg").size());
  bool e, i, c;
  GetMetadataKinds(dir + "/out.jpg", e, i, c);
  EXPECT_TRUE(i);  // IPTC comes along
  TBitmap back;
  ReadJpegFile(dir + "/out.jpg", back);
  EXPECT_EQ(back.Width(), 64);

  // Over the source itself: the metadata is read before the file is replaced.
  SaveJpegKeepingExif(TestPicture(20, 10), TJpegWriteOptions{}, dir + "/src.jpg", dir + "/src.jpg");
  EXPECT_EQ(ExifOf(dir + "/src.jpg", "Exif.Image.Model"), "QC-1000");
  EXPECT_EQ(ExifOf(dir + "/src.jpg", "Exif.Photo.PixelXDimension"), "20");
  ReadJpegFile(dir + "/src.jpg", back);
  EXPECT_EQ(back.Width(), 20);

  // A source without metadata gives a plain JPEG; a failing write leaves the target.
  SaveJpegKeepingExif(TestPicture(8, 8), TJpegWriteOptions{}, dir + "/plain.jpg", dir + "/missing.jpg");
  EXPECT_FALSE(FileHasExif(dir + "/plain.jpg"));
  const std::vector<uint8_t> before = test::ReadFileBytes(dir + "/out.jpg");
  EXPECT_THROW(SaveJpegKeepingExif(TBitmap(), TJpegWriteOptions{}, dir + "/out.jpg", dir + "/src.jpg"),
               EInvalidGraphic);
  EXPECT_EQ(test::ReadFileBytes(dir + "/out.jpg"), before);
}

}  // namespace
}  // namespace qm
