#pragma once
// Second decoders for the files our writers make: GraphicsMagick and Qt read them back
// as 32-bit pixels (blue, green, red, alpha) so that tests compare what a user's other
// programs would see.
#include <QImage>
#include <QString>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "document/Resample.h"
#include "support/TempFiles.h"
#include "platform/core/Bitmap.h"

#include <magick/api.h>

namespace qm::test {

struct Rgba {
  int width = 0, height = 0;
  std::vector<uint32_t> px;  // 0xAARRGGBB, rows top to bottom
  uint32_t At(int x, int y) const { return px[size_t(y) * size_t(width) + size_t(x)]; }
  // The pixel as a colour value (0x00BBGGRR), alpha dropped.
  TColor Color(int x, int y) const {
    const uint32_t p = At(x, y);
    return RGB(int((p >> 16) & 0xFF), int((p >> 8) & 0xFF), int(p & 0xFF));
  }
  int Alpha(int x, int y) const { return int(At(x, y) >> 24); }
};

inline Rgba ReadWithQt(const std::string& file) {
  Rgba r;
  QImage img(QString::fromStdString(file));
  if (img.isNull()) return r;
  img = img.convertToFormat(QImage::Format_ARGB32);
  r.width = img.width();
  r.height = img.height();
  for (int y = 0; y < r.height; ++y) {
    const auto* line = reinterpret_cast<const uint32_t*>(img.constScanLine(y));
    r.px.insert(r.px.end(), line, line + r.width);
  }
  return r;
}

inline Rgba ReadWithGM(const std::string& file) {
  EnsureGraphicsMagick();
  Rgba r;
  ExceptionInfo ex;
  GetExceptionInfo(&ex);
  ImageInfo* info = CloneImageInfo(nullptr);
  std::strncpy(info->filename, file.c_str(), MaxTextExtent - 1);
  Image* img = ReadImage(info, &ex);
  if (img) {
    r.width = int(img->columns);
    r.height = int(img->rows);
    std::vector<uint8_t> bgra(size_t(r.width) * size_t(r.height) * 4);
    if (DispatchImage(img, 0, 0, img->columns, img->rows, "BGRA", CharPixel, bgra.data(), &ex) == MagickPass) {
      r.px.resize(size_t(r.width) * size_t(r.height));
      std::memcpy(r.px.data(), bgra.data(), bgra.size());
    } else {
      r.width = r.height = 0;
    }
    DestroyImage(img);
  }
  DestroyImageInfo(info);
  DestroyExceptionInfo(&ex);
  return r;
}

inline uint32_t U32At(const std::vector<uint8_t>& v, size_t at) {
  return uint32_t(v[at]) | (uint32_t(v[at + 1]) << 8) | (uint32_t(v[at + 2]) << 16) | (uint32_t(v[at + 3]) << 24);
}
inline uint16_t U16At(const std::vector<uint8_t>& v, size_t at) { return uint16_t(v[at] | (v[at + 1] << 8)); }

inline std::string WriterDir(const std::string& sub) { return TestTmpDir("writers", sub); }

}  // namespace qm::test
