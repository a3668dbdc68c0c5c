#include "imagefiles/Metadata.h"

#include <exiv2/exiv2.hpp>

#include <mutex>

#include "platform/core/Exceptions.h"
#include "imagefiles/ImageFileUtils.h"

namespace qm {

struct TMetadataBlock::Data {
  Exiv2::ExifData exif;
  Exiv2::IptcData iptc;
};

namespace {

void EnsureExiv2() {
  static std::once_flag once;
  std::call_once(once, [] {
    // Damaged metadata is common; exiv2's warnings would only clutter the terminal.
    Exiv2::LogMsg::setLevel(Exiv2::LogMsg::mute);
    Exiv2::XmpParser::initialize();
  });
}

Exiv2::Image::AutoPtr Open(const std::string& fileName) {
  EnsureExiv2();
  if (!FileExists(fileName)) return Exiv2::Image::AutoPtr();
  Exiv2::Image::AutoPtr image = Exiv2::ImageFactory::open(fileName);
  if (image.get()) image->readMetadata();
  return image;
}

// Sets a dimension tag to the new size, only when the data carries it.
void SetDimension(Exiv2::ExifData& exif, const char* key, int value) {
  auto it = exif.findKey(Exiv2::ExifKey(key));
  if (it == exif.end()) return;
  if (it->typeId() == Exiv2::unsignedShort && value <= 65535)
    it->setValue(std::to_string(value));
  else
    *it = uint32_t(value);
}

}  // namespace

bool FileHasExif(const std::string& fileName) {
  try {
    auto image = Open(fileName);
    return image.get() && !image->exifData().empty();
  } catch (...) {
    return false;
  }
}

bool GetMetadataKinds(const std::string& fileName, bool& hasExif, bool& hasIptc, bool& hasComment) {
  hasExif = hasIptc = hasComment = false;
  try {
    auto image = Open(fileName);
    if (!image.get()) return false;
    hasExif = !image->exifData().empty();
    hasIptc = !image->iptcData().empty();
    hasComment = !image->comment().empty();
  } catch (...) {
    hasExif = hasIptc = hasComment = false;
  }
  return hasExif || hasIptc || hasComment;
}

TMetadataBlock::TMetadataBlock() = default;
TMetadataBlock::~TMetadataBlock() = default;
TMetadataBlock::TMetadataBlock(TMetadataBlock&&) noexcept = default;
TMetadataBlock& TMetadataBlock::operator=(TMetadataBlock&&) noexcept = default;

bool TMetadataBlock::Empty() const { return !data_ || (data_->exif.empty() && data_->iptc.empty()); }

std::string TMetadataBlock::ExifValue(const std::string& key) const {
  if (!data_) return {};
  try {
    auto it = data_->exif.findKey(Exiv2::ExifKey(key));
    return it == data_->exif.end() ? std::string() : it->toString();
  } catch (...) {
    return {};
  }
}

TMetadataBlock ReadMetadataBlock(const std::string& fileName) {
  TMetadataBlock block;
  try {
    auto image = Open(fileName);
    if (!image.get()) return block;
    auto data = std::make_unique<TMetadataBlock::Data>();
    data->exif = image->exifData();
    data->iptc = image->iptcData();
    block.data_ = std::move(data);
  } catch (...) {
    block = TMetadataBlock();
  }
  return block;
}

namespace {

// Puts the block into an opened JPEG, the dimensions adjusted, and writes it there.
void PutMetadata(Exiv2::Image& image, const TMetadataBlock::Data& data, int width, int height) {
  image.readMetadata();
  Exiv2::ExifData exif = data.exif;
  // The source's embedded thumbnail shows the picture before it was edited.
  Exiv2::ExifThumb(exif).erase();
  SetDimension(exif, "Exif.Photo.PixelXDimension", width);
  SetDimension(exif, "Exif.Photo.PixelYDimension", height);
  SetDimension(exif, "Exif.Image.ImageWidth", width);
  SetDimension(exif, "Exif.Image.ImageLength", height);
  image.setExifData(exif);
  image.setIptcData(data.iptc);
  image.writeMetadata();
}

}  // namespace

void WriteMetadataBlock(const std::string& jpegFileName, const TMetadataBlock& block, int width, int height) {
  if (block.Empty()) return;
  try {
    EnsureExiv2();
    Exiv2::Image::AutoPtr image = Exiv2::ImageFactory::open(jpegFileName);
    if (!image.get()) throw EInvalidGraphic("cannot open " + jpegFileName);
    PutMetadata(*image, *block.data_, width, height);
  } catch (const Exiv2::AnyError& e) {
    throw EInvalidGraphic(std::string("exiv2: ") + e.what());
  }
}

size_t JpegSizeWithMetadata(const std::vector<uint8_t>& jpeg, const std::string& sourceName, int width,
                            int height) {
  const TMetadataBlock block = ReadMetadataBlock(sourceName);
  if (block.Empty() || jpeg.empty()) return jpeg.size();
  try {
    EnsureExiv2();
    Exiv2::Image::AutoPtr image = Exiv2::ImageFactory::open(jpeg.data(), long(jpeg.size()));
    if (!image.get()) return jpeg.size();
    PutMetadata(*image, *block.data_, width, height);
    return size_t(image->io().size());
  } catch (...) {
    return jpeg.size();  // as the save does: a block the JPEG cannot carry is left out
  }
}

void SaveJpegKeepingExif(const TBitmap& bmp, const TJpegWriteOptions& options, const std::string& fileName,
                         const std::string& sourceName) {
  // Read first: the source may be the very file about to be replaced.
  const TMetadataBlock block = ReadMetadataBlock(sourceName);
  ReplaceFileAtomically(fileName, [&](const std::string& temp) {
    WriteJpegFile(temp, bmp, options);
    try {
      WriteMetadataBlock(temp, block, bmp.Width(), bmp.Height());
    } catch (...) {
      // Metadata JPEG cannot carry (some RAW sources' blocks) must not cost the
      // picture: it is saved without them, as the file's EXIF state then says.
      WriteJpegFile(temp, bmp, options);
    }
  });
}

}  // namespace qm
