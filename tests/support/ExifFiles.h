#pragma once
// EXIF data written into picture files through exiv2 itself, for the tests that check
// what our saves keep of it.
#include <exiv2/exiv2.hpp>

#include <string>
#include <utility>
#include <vector>

namespace qm::test {

// Replaces the file's EXIF data by these keys ("Exif.Image.Model") and text values.
inline void WriteExifData(const std::string& fileName,
                          const std::vector<std::pair<std::string, std::string>>& values) {
  auto image = Exiv2::ImageFactory::open(fileName);
  image->readMetadata();
  Exiv2::ExifData exif;
  for (const auto& [key, value] : values) exif[key] = value;
  image->setExifData(exif);
  image->writeMetadata();
}

}  // namespace qm::test
