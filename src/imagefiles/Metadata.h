#pragma once
// EXIF, IPTC and comments of picture files through exiv2, and JPEG saving that keeps
// the EXIF and IPTC data of a source file.
#include <memory>
#include <string>
#include <vector>

#include "imagefiles/JpegCodec.h"
#include "platform/core/Bitmap.h"

namespace qm {

// True when the file holds an EXIF block; false also when it cannot be read.
bool FileHasExif(const std::string& fileName);
// The presence of the three kinds of metadata; all false when the file cannot be read.
// True when any is set.
bool GetMetadataKinds(const std::string& fileName, bool& hasExif, bool& hasIptc, bool& hasComment);

// The EXIF and IPTC data of a file, held in memory (so that a file can be replaced by
// one carrying its own metadata).
class TMetadataBlock {
 public:
  TMetadataBlock();
  ~TMetadataBlock();
  TMetadataBlock(TMetadataBlock&&) noexcept;
  TMetadataBlock& operator=(TMetadataBlock&&) noexcept;
  bool Empty() const;
  // The value of an EXIF key ("Exif.Image.Make"), empty when absent.
  std::string ExifValue(const std::string& key) const;

  struct Data;

 private:
  friend TMetadataBlock ReadMetadataBlock(const std::string&);
  friend void WriteMetadataBlock(const std::string&, const TMetadataBlock&, int, int);
  friend size_t JpegSizeWithMetadata(const std::vector<uint8_t>&, const std::string&, int, int);
  std::unique_ptr<Data> data_;
};

// The metadata of a file; an empty block when the file cannot be read or has none.
TMetadataBlock ReadMetadataBlock(const std::string& fileName);
// Writes the block into an existing JPEG file, the EXIF pixel dimensions (and image
// width and length, where present) set to width x height, without the source's EXIF
// thumbnail (it shows the picture before its edits). Nothing for an empty block.
// Throws EInvalidGraphic when the file cannot be rewritten.
void WriteMetadataBlock(const std::string& jpegFileName, const TMetadataBlock& block, int width, int height);

// Writes the bitmap as a JPEG file carrying the EXIF and IPTC data of sourceName (read
// before anything is written, so sourceName may be fileName itself), the EXIF
// dimensions adjusted to the bitmap. The file is replaced atomically: a failure leaves
// the previous file intact. A source without metadata, or with metadata a JPEG cannot
// carry, gives a plain JPEG. Throws EInvalidGraphic when the picture is not written.
// The size the JPEG (held in memory) takes once it carries the EXIF and IPTC data of
// sourceName as SaveJpegKeepingExif writes them; its own size when there are none or
// they cannot be carried.
size_t JpegSizeWithMetadata(const std::vector<uint8_t>& jpeg, const std::string& sourceName, int width,
                            int height);

void SaveJpegKeepingExif(const TBitmap& bmp, const TJpegWriteOptions& options, const std::string& fileName,
                         const std::string& sourceName);

}  // namespace qm
