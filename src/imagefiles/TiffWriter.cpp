#include "imagefiles/TiffWriter.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "platform/core/Colors.h"
#include "platform/core/Parallel.h"

namespace qm {

namespace {

enum : uint16_t { kAscii = 2, kShort = 3, kLong = 4, kRational = 5 };

struct Entry {
  uint16_t tag, type;
  uint32_t count, value;
};

void Pad(TStream& s) {
  if (s.Position() & 1) s.WriteUInt8(0);
}

void WriteRational(TStream& s) {
  s.WriteUInt32(877);
  s.WriteUInt32(10);
}

void WriteSoftware(TStream& s) { s.Write(kTiffSoftware, sizeof kTiffSoftware); }

// Rows of 1, 4 or 8 bits as they are held (MSB first), optionally inverted.
void WriteIndexedRows(const TBitmap& bmp, size_t rowBytes, bool invert, TStream& s) {
  std::vector<uint8_t> row(rowBytes);
  for (int y = 0; y < bmp.Height(); ++y) {
    const uint8_t* p = bmp.ScanLine(y);
    if (invert) {
      for (size_t i = 0; i < rowBytes; ++i) row[i] = uint8_t(~p[i]);
      s.Write(row.data(), rowBytes);
    } else {
      s.Write(p, rowBytes);
    }
  }
}

// 24- and 32-bit rows as red, green, blue, converted a band at a time (in parallel)
// into a buffer large enough to go to the file without another copy.
void WriteRgbRows(const TBitmap& bmp, TStream& s) {
  const int w = bmp.Width(), h = bmp.Height();
  const int bpp = bmp.PixelFormat() == pf32bit ? 4 : 3;
  const size_t row = size_t(w) * 3;
  const int band = std::max(1, int((4u << 20) / row));
  std::vector<uint8_t> buf(row * size_t(std::min(band, h)));
  for (int y0 = 0; y0 < h; y0 += band) {
    const int y1 = std::min(h, y0 + band);
    ParallelRows(y0, y1, int64_t(w) * (y1 - y0), [&](int a, int b) {
      for (int y = a; y < b; ++y) {
        const uint8_t* p = bmp.ScanLine(y);
        uint8_t* d = buf.data() + size_t(y - y0) * row;
        for (int x = 0; x < w; ++x, p += bpp, d += 3) {
          d[0] = p[2];
          d[1] = p[1];
          d[2] = p[0];
        }
      }
    });
    s.Write(buf.data(), row * size_t(y1 - y0));
  }
}

}  // namespace

void WriteTiff(const TBitmap& bmp, TStream& s) {
  if (bmp.Empty()) throw EInvalidGraphic("Bitmap vide");
  const TPixelFormat pf = bmp.PixelFormat();
  const uint32_t w = uint32_t(bmp.Width()), h = uint32_t(bmp.Height());
  uint64_t rowBytes;
  switch (pf) {
    case pf1bit: rowBytes = (uint64_t(w) + 7) / 8; break;
    case pf4bit: rowBytes = (uint64_t(w) + 1) / 2; break;
    case pf8bit: rowBytes = w; break;
    case pf24bit:
    case pf32bit: rowBytes = uint64_t(w) * 3; break;
    default: throw EInvalidGraphic("Format de pixels non pris en charge");
  }
  const uint64_t stripBytes = rowBytes * h;
  // every offset of the file must fit in 32 bits; the rest of the file is below 2 KB
  if (stripBytes > 0xFFFFFFFFull - 4096) throw EInvalidGraphic("Image trop grande pour un fichier TIFF");

  const bool rgb = pf == pf24bit || pf == pf32bit;
  const bool palette = pf == pf4bit || pf == pf8bit;
  const int bits = pf;
  const uint16_t widthType = w > 65535 ? kLong : kShort, heightType = h > 65535 ? kLong : kShort;

  s.Seek(0);
  s.Write("II", 2);
  s.WriteUInt16(42);
  s.WriteUInt32(0);  // the directory's offset, written last

  uint32_t pixelsAt = 0, xAt = 0, yAt = 0, bpsAt = 0, softwareAt = 0;
  auto writeResolutionsAndSoftware = [&] {
    Pad(s);
    xAt = uint32_t(s.Position());
    WriteRational(s);
    yAt = uint32_t(s.Position());
    WriteRational(s);
    if (rgb) {
      bpsAt = uint32_t(s.Position());
      for (int i = 0; i < 3; ++i) s.WriteUInt16(8);
    }
    softwareAt = uint32_t(s.Position());
    WriteSoftware(s);
  };

  if (pf == pf1bit) {
    pixelsAt = uint32_t(s.Position());
    // Bilevel pixels read 0 as black: a palette whose first entry is the lighter one is
    // written inverted.
    const auto& pal = bmp.Palette();
    const auto lum = [](TColor c) { return Luminance(GetBValue(c), GetGValue(c), GetRValue(c)); };
    const bool invert = pal.size() >= 2 && lum(pal[0]) > lum(pal[1]);
    WriteIndexedRows(bmp, size_t(rowBytes), invert, s);
    writeResolutionsAndSoftware();
  } else if (palette) {
    const size_t n = size_t(1) << bits;
    const auto& pal = bmp.Palette();
    std::vector<uint8_t> map(n * 6, 0);
    for (size_t i = 0; i < n && i < pal.size(); ++i) {
      const TColor c = pal[i];
      const uint8_t comp[3] = {GetRValue(c), GetGValue(c), GetBValue(c)};
      for (int plane = 0; plane < 3; ++plane) {
        // component x 256, little-endian: the low byte is 0
        map[(size_t(plane) * n + i) * 2 + 1] = comp[plane];
      }
    }
    s.Write(map.data(), map.size());
    writeResolutionsAndSoftware();
    Pad(s);
    pixelsAt = uint32_t(s.Position());
    WriteIndexedRows(bmp, size_t(rowBytes), false, s);
  } else {
    writeResolutionsAndSoftware();
    Pad(s);
    pixelsAt = uint32_t(s.Position());
    WriteRgbRows(bmp, s);
  }

  std::vector<Entry> e;
  e.push_back({254, kLong, 1, 0});
  e.push_back({256, widthType, 1, w});
  e.push_back({257, heightType, 1, h});
  if (rgb) e.push_back({258, kShort, 3, bpsAt});
  else e.push_back({258, kShort, 1, uint32_t(bits)});
  e.push_back({259, kShort, 1, 1});
  e.push_back({262, kShort, 1, uint32_t(rgb ? 2 : palette ? 3 : 1)});
  e.push_back({273, kLong, 1, pixelsAt});
  e.push_back({277, kShort, 1, uint32_t(rgb ? 3 : 1)});
  e.push_back({278, kLong, 1, h});
  e.push_back({279, kLong, 1, uint32_t(stripBytes)});
  e.push_back({282, kRational, 1, xAt});
  e.push_back({283, kRational, 1, yAt});
  if (rgb) e.push_back({284, kShort, 1, 1});
  e.push_back({296, kShort, 1, 2});
  e.push_back({305, kAscii, uint32_t(sizeof kTiffSoftware), softwareAt});
  if (palette) e.push_back({320, kShort, uint32_t(3u << bits), 8});

  Pad(s);
  const uint32_t ifdAt = uint32_t(s.Position());
  s.WriteUInt16(uint16_t(e.size()));
  for (const Entry& x : e) {
    s.WriteUInt16(x.tag);
    s.WriteUInt16(x.type);
    s.WriteUInt32(x.count);
    s.WriteUInt32(x.value);  // a SHORT value sits in the low two bytes, as the format wants
  }
  s.WriteUInt32(0);
  const int64_t end = s.Position();
  s.Seek(4);
  s.WriteUInt32(ifdAt);
  s.Seek(end);
}

void SaveTiffFile(const std::string& fileName, const TBitmap& bmp) {
  if (bmp.Empty()) throw EInvalidGraphic("Bitmap vide");
  TAtomicFileStream f(fileName);
  WriteTiff(bmp, f);
  f.Commit();
}

}  // namespace qm
