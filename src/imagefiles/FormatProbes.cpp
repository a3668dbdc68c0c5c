#include "imagefiles/FormatProbes.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <vector>

#include "imagefiles/LayeredFile.h"
#include "platform/core/Numeric.h"
#include "platform/core/Stream.h"

#include <tiffio.h>

namespace qm {

namespace {

// --- Byte helpers ----------------------------------------------------------------------

uint16_t Be16(const uint8_t* p) { return uint16_t((p[0] << 8) | p[1]); }
uint32_t Be32(const uint8_t* p) {
  return (uint32_t(p[0]) << 24) | (uint32_t(p[1]) << 16) | (uint32_t(p[2]) << 8) | uint32_t(p[3]);
}
uint32_t Le32(const uint8_t* p) {
  return uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24);
}
void PutBe16(uint8_t* p, uint16_t v) {
  p[0] = uint8_t(v >> 8);
  p[1] = uint8_t(v);
}
void PutBe32(uint8_t* p, uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = uint8_t(v >> (24 - 8 * i));
}
void PutLe32(uint8_t* p, uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = uint8_t(v >> (8 * i));
}

// Numbers of a TIFF structure in its byte order.
struct TiffOrder {
  bool big = false;
  uint16_t U16(const uint8_t* p) const { return big ? Be16(p) : uint16_t(p[0] | (p[1] << 8)); }
  uint32_t U32(const uint8_t* p) const { return big ? Be32(p) : Le32(p); }
  void Put16(uint8_t* p, uint16_t v) const {
    if (big) PutBe16(p, v);
    else p[0] = uint8_t(v), p[1] = uint8_t(v >> 8);
  }
  void Put32(uint8_t* p, uint32_t v) const {
    if (big) PutBe32(p, v);
    else PutLe32(p, v);
  }
};

bool ReadAt(TStream& f, int64_t at, void* buf, size_t n) {
  if (at < 0 || at > f.Size() || int64_t(n) > f.Size() - at) return false;
  f.Seek(at);
  return f.Read(buf, n) == n;
}

void WriteAt(TStream& f, int64_t at, const void* buf, size_t n) {
  f.Seek(at);
  f.Write(buf, n);
}

constexpr double kCmPerInch = 2.54;
double DpiFromDotsPerMetre(double v) { return v / 100.0 * kCmPerInch; }

// --- Readers of the raw value (0: none) ---------------------------------------------------

double BmpResolution(TStream& f) {
  uint8_t h[46];
  if (!ReadAt(f, 0, h, sizeof h) || h[0] != 'B' || h[1] != 'M' || Le32(h + 14) < 40) return 0;
  return DpiFromDotsPerMetre(double(int32_t(Le32(h + 38))));
}

// XResolution (tag 282) and ResolutionUnit (296) of the first directory of the TIFF
// structure inside an EXIF segment.
double ExifResolution(const uint8_t* t, size_t n) {
  if (n < 8) return 0;
  TiffOrder o;
  if (t[0] == 'M' && t[1] == 'M') o.big = true;
  else if (!(t[0] == 'I' && t[1] == 'I')) return 0;
  if (o.U16(t + 2) != 42) return 0;
  const uint32_t ifd = o.U32(t + 4);
  if (ifd > n || n - ifd < 2) return 0;
  const uint32_t count = o.U16(t + ifd);
  double value = 0;
  int unit = -1;
  bool haveValue = false;
  for (uint32_t i = 0; i < count; ++i) {
    const size_t e = size_t(ifd) + 2 + size_t(i) * 12;
    if (e + 12 > n) break;
    const uint16_t tag = o.U16(t + e), type = o.U16(t + e + 2);
    if (tag == 282 && type == 5) {
      const uint32_t at = o.U32(t + e + 8);
      if (at <= n && n - at >= 8) {
        const uint32_t num = o.U32(t + at), den = o.U32(t + at + 4);
        value = den == 0 ? 0.0 : double(num) / double(den);
        haveValue = true;
      }
    } else if (tag == 296 && type == 3) {
      unit = o.U16(t + e + 8);
    }
  }
  if (!haveValue) return 0;
  if (unit == 2) return value;
  if (unit == 3) return value * kCmPerInch;
  return 0;
}

double JpegResolution(TStream& f) {
  uint8_t h[18];
  if (!ReadAt(f, 0, h, 4) || h[0] != 0xFF || h[1] != 0xD8 || h[2] != 0xFF) return 0;
  if (h[3] == 0xE0) {
    if (!ReadAt(f, 0, h, sizeof h) || std::memcmp(h + 6, "JFIF", 5) != 0) return 0;
    const int units = h[13];
    const double density = Be16(h + 14);
    if (units == 1) return density;
    if (units == 2) return density * kCmPerInch;
    return 0;
  }
  if (h[3] == 0xE1) {
    uint8_t len[2];
    if (!ReadAt(f, 4, len, 2)) return 0;
    const size_t n = Be16(len);
    if (n < 2 + 6) return 0;
    std::vector<uint8_t> seg(n - 2);
    if (!ReadAt(f, 6, seg.data(), seg.size()) || std::memcmp(seg.data(), "Exif\0\0", 6) != 0) return 0;
    return ExifResolution(seg.data() + 6, seg.size() - 6);
  }
  return 0;
}

int SilentTiffHandler(TIFF*, void*, const char*, const char*, va_list) { return 1; }

double TiffResolution(const std::string& fileName) {
  TIFFOpenOptions* opts = TIFFOpenOptionsAlloc();
  if (!opts) return 0;
  TIFFOpenOptionsSetErrorHandlerExtR(opts, SilentTiffHandler, nullptr);
  TIFFOpenOptionsSetWarningHandlerExtR(opts, SilentTiffHandler, nullptr);
  TIFF* tif = TIFFOpenExt(fileName.c_str(), "rm", opts);
  TIFFOpenOptionsFree(opts);
  if (!tif) return 0;
  float x = 0;
  uint16_t unit = RESUNIT_INCH;
  double value = 0;
  if (TIFFGetField(tif, TIFFTAG_XRESOLUTION, &x) == 1 && std::isfinite(x)) {
    TIFFGetFieldDefaulted(tif, TIFFTAG_RESOLUTIONUNIT, &unit);
    if (unit == RESUNIT_INCH) value = x;
    else if (unit == RESUNIT_CENTIMETER) value = double(x) * kCmPerInch;
  }
  TIFFClose(tif);
  return value;
}

double PcxResolution(TStream& f) {
  uint8_t h[16];
  if (!ReadAt(f, 0, h, sizeof h) || h[0] != 0x0A) return 0;
  return double(h[12] | (h[13] << 8));
}

// Paint Shop Pro: the general image attributes block comes first; its resolution (a
// double) and metric byte sit at the same file offsets in every version.
double PspResolution(TStream& f) {
  static constexpr char kSig[] = "Paint Shop Pro Image File\n\x1a";
  uint8_t h[67];
  if (!ReadAt(f, 0, h, sizeof h) || std::memcmp(h, kSig, sizeof kSig - 1) != 0) return 0;
  if (std::memcmp(h + 36, "~BK\0", 4) != 0 || (h[40] | (h[41] << 8)) != 0) return 0;
  uint64_t u = 0;
  for (int i = 7; i >= 0; --i) u = (u << 8) | h[58 + i];
  double res;
  std::memcpy(&res, &u, 8);
  if (!std::isfinite(res)) return 0;
  if (h[66] == 1) return res;
  if (h[66] == 2) return res * kCmPerInch;
  return 0;
}

constexpr uint8_t kPngSignature[8] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};

double PngResolution(TStream& f) {
  uint8_t sig[8];
  if (!ReadAt(f, 0, sig, 8) || std::memcmp(sig, kPngSignature, 8) != 0) return 0;
  int64_t at = 8;
  uint8_t c[17];
  while (ReadAt(f, at, c, 8)) {
    const uint32_t len = Be32(c);
    if (std::memcmp(c + 4, "pHYs", 4) == 0) {
      if (len < 9 || !ReadAt(f, at + 8, c + 8, 9)) return 0;
      return c[16] == 1 ? DpiFromDotsPerMetre(double(Be32(c + 8))) : 0;
    }
    if (std::memcmp(c + 4, "IDAT", 4) == 0) return 0;
    at += 12 + int64_t(len);
  }
  return 0;
}

double QxiResolution(TStream& f) {
  uint8_t h[kLayeredResolutionOffset + 4];
  if (!ReadAt(f, 0, h, sizeof h) || std::memcmp(h, kLayeredFileMagic, kLayeredFileMagicSize) != 0) return 0;
  return int32_t(Le32(h + kLayeredResolutionOffset)) / 1000.0;
}

template <class Probe>
double Probe1(const std::string& fileName, Probe probe) {
  try {
    TFileStream f(fileName, fmOpenRead);
    return probe(f);
  } catch (...) {
    return 0;
  }
}

// --- Writers --------------------------------------------------------------------------

bool PatchBmp(const std::string& fileName, double dpi) {
  TFileStream f(fileName, fmOpenReadWrite);
  uint8_t h[46];
  if (!ReadAt(f, 0, h, sizeof h) || h[0] != 'B' || h[1] != 'M' || Le32(h + 14) < 40) return false;
  uint8_t v[8];
  const uint32_t ppm = uint32_t(Trunc(dpi * 100.0 / kCmPerInch));
  PutLe32(v, ppm);
  PutLe32(v + 4, ppm);
  WriteAt(f, 38, v, 8);
  f.Close();
  return true;
}

bool PatchJpeg(const std::string& fileName, double dpi) {
  TFileStream f(fileName, fmOpenReadWrite);
  uint8_t h[18];
  if (!ReadAt(f, 0, h, sizeof h) || h[0] != 0xFF || h[1] != 0xD8 || h[2] != 0xFF || h[3] != 0xE0 ||
      std::memcmp(h + 6, "JFIF", 5) != 0)
    return false;
  const uint16_t d = uint16_t(std::clamp(RoundHalfEven(dpi), 1, 65535));
  uint8_t v[5] = {1};
  PutBe16(v + 1, d);
  PutBe16(v + 3, d);
  WriteAt(f, 13, v, 5);
  f.Close();
  return true;
}

bool PatchTiff(const std::string& fileName, double dpi) {
  TFileStream f(fileName, fmOpenReadWrite);
  uint8_t h[8];
  if (!ReadAt(f, 0, h, 8)) return false;
  TiffOrder o;
  if (h[0] == 'M' && h[1] == 'M') o.big = true;
  else if (!(h[0] == 'I' && h[1] == 'I')) return false;
  if (o.U16(h + 2) != 42) return false;
  const int64_t ifd = o.U32(h + 4);
  uint8_t cnt[2];
  if (!ReadAt(f, ifd, cnt, 2)) return false;
  const uint32_t count = o.U16(cnt);
  std::vector<uint8_t> entries(size_t(count) * 12);
  if (!ReadAt(f, ifd + 2, entries.data(), entries.size())) return false;
  int64_t xAt = -1, yAt = -1, unitAt = -1;
  for (uint32_t i = 0; i < count; ++i) {
    const uint8_t* e = entries.data() + size_t(i) * 12;
    const uint16_t tag = o.U16(e), type = o.U16(e + 2);
    const uint32_t n = o.U32(e + 4);
    if ((tag == 282 || tag == 283) && type == 5 && n == 1) {
      const int64_t at = o.U32(e + 8);
      if (at + 8 > f.Size()) return false;
      (tag == 282 ? xAt : yAt) = at;
    } else if (tag == 296 && type == 3 && n == 1) {
      unitAt = ifd + 2 + int64_t(i) * 12 + 8;
    }
  }
  if (xAt < 0 || yAt < 0) return false;
  uint8_t r[8];
  o.Put32(r, uint32_t(std::max(RoundHalfEven(dpi * 100.0), 1)));
  o.Put32(r + 4, 100);
  WriteAt(f, xAt, r, 8);
  WriteAt(f, yAt, r, 8);
  if (unitAt >= 0) {
    uint8_t u[2];
    o.Put16(u, 2);
    WriteAt(f, unitAt, u, 2);
  }
  f.Close();
  return true;
}

uint32_t Crc32(const uint8_t* p, size_t n, uint32_t crc = 0) {
  static const std::array<uint32_t, 256> table = [] {
    std::array<uint32_t, 256> t{};
    for (uint32_t i = 0; i < 256; ++i) {
      uint32_t c = i;
      for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
      t[i] = c;
    }
    return t;
  }();
  crc = ~crc;
  for (size_t i = 0; i < n; ++i) crc = table[(crc ^ p[i]) & 0xFF] ^ (crc >> 8);
  return ~crc;
}

// Copies n bytes from the source's position to the target's.
bool CopyBytes(TStream& from, TStream& to, int64_t n, std::vector<uint8_t>& buf) {
  while (n > 0) {
    const size_t k = size_t(std::min<int64_t>(n, int64_t(buf.size())));
    if (from.Read(buf.data(), k) != k) return false;
    to.Write(buf.data(), k);
    n -= int64_t(k);
  }
  return true;
}

bool PatchPng(const std::string& fileName, double dpi) {
  TFileStream src(fileName, fmOpenRead);
  uint8_t head[8 + 8 + 13 + 4];
  if (!ReadAt(src, 0, head, sizeof head) || std::memcmp(head, kPngSignature, 8) != 0 || Be32(head + 8) != 13 ||
      std::memcmp(head + 12, "IHDR", 4) != 0)
    return false;
  TAtomicFileStream dst(fileName);
  dst.Write(head, sizeof head);
  uint8_t phys[21];
  PutBe32(phys, 9);
  std::memcpy(phys + 4, "pHYs", 4);
  const uint32_t ppm = uint32_t(std::max(RoundHalfEven(dpi * 100.0 / kCmPerInch), 0));
  PutBe32(phys + 8, ppm);
  PutBe32(phys + 12, ppm);
  phys[16] = 1;
  PutBe32(phys + 17, Crc32(phys + 4, 13));
  dst.Write(phys, sizeof phys);
  // The other chunks in order, without any pHYs of their own; what no longer walks
  // as chunks (a damaged tail) is copied as it is.
  std::vector<uint8_t> buf(1 << 16);
  int64_t at = sizeof head;
  const int64_t size = src.Size();
  while (at < size) {
    uint8_t c[8];
    src.Seek(at);
    const int64_t whole = ReadAt(src, at, c, 8) ? 12 + int64_t(Be32(c)) : -1;
    if (whole < 0 || whole > size - at) {
      src.Seek(at);
      if (!CopyBytes(src, dst, size - at, buf)) return false;
      break;
    }
    if (std::memcmp(c + 4, "pHYs", 4) != 0) {
      src.Seek(at);
      if (!CopyBytes(src, dst, whole, buf)) return false;
    }
    at += whole;
  }
  src.Close();
  dst.Commit();
  return true;
}

bool PatchQxi(const std::string& fileName, double dpi) {
  TFileStream f(fileName, fmOpenReadWrite);
  uint8_t h[kLayeredFileMagicSize];
  if (!ReadAt(f, 0, h, sizeof h) || std::memcmp(h, kLayeredFileMagic, kLayeredFileMagicSize) != 0 ||
      f.Size() < kLayeredResolutionOffset + 8)
    return false;
  uint8_t v[8];
  const uint32_t stored = uint32_t(RoundHalfEven(dpi * 1000.0));
  PutLe32(v, stored);
  PutLe32(v + 4, stored);
  WriteAt(f, kLayeredResolutionOffset, v, 8);
  f.Close();
  return true;
}

}  // namespace

// --- Extension tests -----------------------------------------------------------------

std::string LowerExt(const std::string& fileName) {
  const size_t dot = fileName.find_last_of('.');
  const size_t slash = fileName.find_last_of('/');
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return std::string();
  std::string ext = fileName.substr(dot);
  for (char& c : ext)
    if (c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
  return ext;
}

namespace {
bool ExtIn(const std::string& fileName, std::initializer_list<const char*> exts) {
  const std::string e = LowerExt(fileName);
  for (const char* x : exts)
    if (e == x) return true;
  return false;
}
}  // namespace

bool IsBmpExt(const std::string& f) { return ExtIn(f, {".bmp", ".dib"}); }
bool IsRleExt(const std::string& f) { return ExtIn(f, {".rle"}); }
bool IsTiffExt(const std::string& f) { return ExtIn(f, {".tif", ".tiff"}); }
bool IsPngExt(const std::string& f) { return ExtIn(f, {".png"}); }
bool IsQxiExt(const std::string& f) { return ExtIn(f, {".qxi"}); }
bool IsGifExt(const std::string& f) { return ExtIn(f, {".gif"}); }
bool IsQxsExt(const std::string& f) { return ExtIn(f, {".qxs"}); }
bool IsPcxExt(const std::string& f) { return ExtIn(f, {".pcx", ".pcc", ".scr"}); }
bool IsPspExt(const std::string& f) { return ExtIn(f, {".psp"}); }
bool IsJpegExt(const std::string& f) { return ExtIn(f, {".jpg", ".jpeg", ".jpe", ".jfif"}); }

// --- Resolution ----------------------------------------------------------------------

double GetFileResolution(const std::string& fileName) {
  double raw = 0;
  if (IsBmpExt(fileName)) raw = Probe1(fileName, BmpResolution);
  else if (IsJpegExt(fileName)) raw = Probe1(fileName, JpegResolution);
  else if (IsTiffExt(fileName)) raw = TiffResolution(fileName);
  else if (IsPcxExt(fileName)) raw = Probe1(fileName, PcxResolution);
  else if (IsPspExt(fileName)) raw = Probe1(fileName, PspResolution);
  else if (IsPngExt(fileName)) raw = Probe1(fileName, PngResolution);
  else if (IsQxiExt(fileName)) raw = Probe1(fileName, QxiResolution);
  // A value that rounds to 0 is no resolution either: callers divide by it.
  const double rounded = raw > 0 ? RoundHalfEven(raw * 10.0) / 10.0 : 0.0;
  return rounded > 0 ? rounded : 72;
}

bool SetFileResolution(const std::string& fileName, double dpi) {
  if (!(dpi > 0) || !std::isfinite(dpi)) return false;
  try {
    if (IsBmpExt(fileName)) return PatchBmp(fileName, dpi);
    if (IsJpegExt(fileName)) return PatchJpeg(fileName, dpi);
    if (IsTiffExt(fileName)) return PatchTiff(fileName, dpi);
    if (IsPngExt(fileName)) return PatchPng(fileName, dpi);
    if (IsQxiExt(fileName)) return PatchQxi(fileName, dpi);
  } catch (...) {
  }
  return false;
}

// --- JPEG ----------------------------------------------------------------------------

bool ReadJpegSof0Size(const std::string& fileName, int& width, int& height) {
  width = height = 0;
  try {
    TFileStream f(fileName, fmOpenRead);
    if (f.ReadUInt8() != 0xFF || f.ReadUInt8() != 0xD8) return false;
    for (;;) {
      // a marker: 0xFF, any number of fill bytes 0xFF, then its code
      if (f.ReadUInt8() != 0xFF) return false;
      uint8_t m = f.ReadUInt8();
      while (m == 0xFF) m = f.ReadUInt8();
      if (m == 0x01 || (m >= 0xD0 && m <= 0xD8)) continue;  // markers without a segment
      if (m == 0xD9 || m == 0xDA) return false;              // end of image, start of scan
      uint8_t len[2];
      f.ReadBuffer(len, 2);
      const int n = Be16(len);
      if (n < 2) return false;
      if (m == 0xC0) {
        uint8_t sof[5];
        if (n < 7) return false;
        f.ReadBuffer(sof, 5);
        const int h = Be16(sof + 1), w = Be16(sof + 3);
        if (w < 1 || h < 1) return false;
        width = w;
        height = h;
        return true;
      }
      f.Skip(n - 2);
    }
  } catch (...) {
    width = height = 0;
    return false;
  }
}

int JpegScaleForSize(int width, int height, int target) {
  if (width < 1 || height < 1 || target < 1) return 0;
  const int r = std::max(width, height) / target;
  if (r < 2) return 0;
  if (r < 4) return 1;
  if (r < 8) return 2;
  return 3;
}

}  // namespace qm
