#include "imagefiles/BmpCodec.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <vector>

#include "platform/core/Exceptions.h"
#include "imagefiles/ImageFileUtils.h"
#include "platform/core/Colors.h"

namespace qm {

namespace {

void Put16(std::vector<uint8_t>& b, size_t at, uint32_t v) {
  b[at] = uint8_t(v);
  b[at + 1] = uint8_t(v >> 8);
}
void Put32(std::vector<uint8_t>& b, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) b[at + size_t(i)] = uint8_t(v >> (8 * i));
}

}  // namespace

void WriteBmpFile(const std::string& fileName, const TBitmap& bmp) {
  if (bmp.Empty()) throw EInvalidGraphic("empty bitmap");
  const int bits = int(bmp.PixelFormat());
  const bool v5 = bits == 32;
  const uint32_t infoSize = v5 ? 124 : 40;
  std::vector<TColor> palette;
  if (bits <= 8) {
    palette = bmp.Palette().empty() ? DefaultPalette(bmp.PixelFormat()) : bmp.Palette();
    palette.resize(std::min<size_t>(palette.size(), size_t(1) << bits));
  }
  const uint64_t rowBytes = uint64_t(bmp.Stride());  // already padded to 4 bytes, as BMP rows are
  const uint64_t imageSize = rowBytes * uint64_t(bmp.Height());
  const uint64_t offset = 14 + infoSize + 4 * palette.size();
  if (offset + imageSize > 0xFFFFFFFFull) throw EInvalidGraphic("bitmap too large for a BMP file");
  std::vector<uint8_t> head(size_t(offset), 0);
  head[0] = 'B';
  head[1] = 'M';
  Put32(head, 2, uint32_t(offset + imageSize));
  Put32(head, 10, uint32_t(offset));
  Put32(head, 14, infoSize);
  Put32(head, 18, uint32_t(bmp.Width()));
  Put32(head, 22, uint32_t(bmp.Height()));  // positive: bottom-up rows
  Put16(head, 26, 1);
  Put16(head, 28, uint32_t(bits));
  Put32(head, 30, v5 ? 3 : 0);  // BI_BITFIELDS for the masks, else BI_RGB
  Put32(head, 34, uint32_t(imageSize));
  Put32(head, 38, 2835);  // 72 dpi in pixels per metre
  Put32(head, 42, 2835);
  Put32(head, 46, uint32_t(palette.size()));
  if (v5) {
    Put32(head, 54, 0x00FF0000);  // red, green, blue and alpha masks
    Put32(head, 58, 0x0000FF00);
    Put32(head, 62, 0x000000FF);
    Put32(head, 66, 0xFF000000);
    Put32(head, 70, 0x73524742);  // 'sRGB'
    Put32(head, 122, 4);          // LCS_GM_IMAGES
  }
  for (size_t i = 0; i < palette.size(); ++i) {
    const TColor c = ColorToRGB(palette[i]);
    const size_t at = 14 + infoSize + 4 * i;
    head[at] = GetBValue(c);
    head[at + 1] = GetGValue(c);
    head[at + 2] = GetRValue(c);
  }
  FILE* f = std::fopen(fileName.c_str(), "wb");
  if (!f) throw EInvalidGraphic("cannot create " + fileName);
  bool ok = std::fwrite(head.data(), 1, head.size(), f) == head.size();
  for (int y = bmp.Height() - 1; ok && y >= 0; --y)
    ok = std::fwrite(bmp.ScanLine(y), 1, size_t(rowBytes), f) == size_t(rowBytes);
  ok = std::fclose(f) == 0 && ok;
  if (!ok) throw EInvalidGraphic("cannot write " + fileName);
}

}  // namespace qm
