// The PNG writer. The chunks around the picture are written here; the picture data is
// one zlib stream made on all threads: the scanlines (filtered as libpng filters them)
// are cut into segments of fixed size, each segment is deflated on its own, primed with
// the last 32 KB of the filtered data before it as its dictionary, and ended on a byte
// boundary with a sync flush (the last one finished); the segments' Adler-32 values are
// combined in order. The cuts depend only on the picture, so the file is the same byte
// for byte whatever the number of threads, and the priming keeps it as small as one
// stream made on a single thread.
#include "imagefiles/PngCodec.h"

#include <zlib.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include "platform/core/Colors.h"
#include "platform/core/Exceptions.h"
#include "platform/core/Parallel.h"

namespace qm {

namespace {

// Filtered bytes per segment. 512 KB makes some 140 segments of a 24 MP picture, so eight
// threads stay busy to the end, while the zlib set-up of a segment stays negligible.
constexpr size_t kSegmentBytes = size_t(512) << 10;
// Deflate's window: what a segment may refer back to.
constexpr size_t kWindowBytes = size_t(32) << 10;

enum : uint8_t { kFilterNone = 0, kFilterSub = 1, kFilterUp = 2, kFilterAverage = 3, kFilterPaeth = 4 };

// One scanline of the data: a row of the picture, or of one Adam7 pass of it.
struct TScanline {
  int Pass;   // 0 for a picture that is not interlaced
  int Y;      // the picture's row
  int Width;  // pixels in the scanline
  bool First; // the first scanline of its pass (its prior row is zero)
};

struct TLayout {
  int BitDepth = 8;
  int Channels = 3;    // bytes per pixel at 8 bits; 1 for indices
  int FilterBpp = 3;   // the distance filters look back, in bytes (at least 1)
  std::vector<TScanline> Lines;
  std::vector<size_t> LineBytes;   // without the filter byte
  size_t MaxLineBytes = 0;
};

constexpr int kAdam7X0[7] = {0, 4, 0, 2, 0, 1, 0}, kAdam7Dx[7] = {8, 8, 4, 4, 2, 2, 1};
constexpr int kAdam7Y0[7] = {0, 0, 4, 0, 2, 0, 1}, kAdam7Dy[7] = {8, 8, 8, 4, 4, 2, 2};

size_t RowBytesFor(int width, int bitDepth, int channels) {
  return (size_t(width) * size_t(bitDepth) * size_t(channels) + 7) / 8;
}

TLayout MakeLayout(const TPngImage& img, int bitDepth, bool interlaced) {
  TLayout l;
  l.BitDepth = bitDepth;
  l.Channels = img.ColorType == pcIndexed ? 1 : img.ColorType == pcRGB ? 3 : 4;
  l.FilterBpp = std::max(1, l.Channels * bitDepth / 8);
  auto add = [&](int pass, int y, int width, bool first) {
    l.Lines.push_back(TScanline{pass, y, width, first});
    l.LineBytes.push_back(RowBytesFor(width, bitDepth, l.Channels));
    l.MaxLineBytes = std::max(l.MaxLineBytes, l.LineBytes.back());
  };
  if (!interlaced) {
    for (int y = 0; y < img.Height; ++y) add(0, y, img.Width, y == 0);
    return l;
  }
  for (int p = 0; p < 7; ++p) {
    const int w = (img.Width - kAdam7X0[p] + kAdam7Dx[p] - 1) / kAdam7Dx[p];
    if (w <= 0) continue;
    bool first = true;
    for (int y = kAdam7Y0[p]; y < img.Height; y += kAdam7Dy[p]) {
      add(p + 1, y, w, first);
      first = false;
    }
  }
  return l;
}

// The unfiltered bytes of scanline i: a pointer into the picture where it can be one,
// else gathered (and packed below 8 bits) into buf.
const uint8_t* RawLine(const TPngImage& img, const TLayout& l, size_t i, uint8_t* buf) {
  const TScanline& s = l.Lines[i];
  const size_t bpp = size_t(l.Channels);
  const uint8_t* row = img.Pixels.data() + size_t(s.Y) * size_t(img.Width) * bpp;
  const int x0 = s.Pass ? kAdam7X0[s.Pass - 1] : 0, dx = s.Pass ? kAdam7Dx[s.Pass - 1] : 1;
  if (l.BitDepth == 8) {
    if (dx == 1) return row;
    for (int k = 0; k < s.Width; ++k) std::memcpy(buf + size_t(k) * bpp, row + size_t(x0 + k * dx) * bpp, bpp);
    return buf;
  }
  // Indices packed from the high bits down, the row's end padded with zero bits.
  std::memset(buf, 0, l.LineBytes[i]);
  const int perByte = 8 / l.BitDepth;
  for (int k = 0; k < s.Width; ++k) {
    const int shift = 8 - l.BitDepth * (k % perByte + 1);
    buf[k / perByte] |= uint8_t(row[x0 + k * dx] << shift);
  }
  return buf;
}

uint8_t PaethPredictor(int a, int b, int c) {
  const int p = a + b - c;
  const int pa = std::abs(p - a), pb = std::abs(p - b), pc = std::abs(p - c);
  if (pa <= pb && pa <= pc) return uint8_t(a);
  return uint8_t(pb <= pc ? b : c);
}

// out[0] the filter type, then the filtered bytes of cur against prior.
void ApplyFilter(int type, const uint8_t* cur, const uint8_t* prior, size_t n, size_t bpp, uint8_t* out) {
  out[0] = uint8_t(type);
  uint8_t* o = out + 1;
  const size_t lead = std::min(bpp, n);
  switch (type) {
    case kFilterNone: std::memcpy(o, cur, n); break;
    case kFilterSub:
      std::memcpy(o, cur, lead);
      for (size_t i = bpp; i < n; ++i) o[i] = uint8_t(cur[i] - cur[i - bpp]);
      break;
    case kFilterUp:
      for (size_t i = 0; i < n; ++i) o[i] = uint8_t(cur[i] - prior[i]);
      break;
    case kFilterAverage:
      for (size_t i = 0; i < lead; ++i) o[i] = uint8_t(cur[i] - (prior[i] >> 1));
      for (size_t i = bpp; i < n; ++i) o[i] = uint8_t(cur[i] - ((cur[i - bpp] + prior[i]) >> 1));
      break;
    default:
      for (size_t i = 0; i < lead; ++i) o[i] = uint8_t(cur[i] - prior[i]);
      for (size_t i = bpp; i < n; ++i) o[i] = uint8_t(cur[i] - PaethPredictor(cur[i - bpp], prior[i], prior[i - bpp]));
      break;
  }
}

// libpng's choice among several filters: the smallest sum of the filtered bytes read
// as signed values, the first filter winning a tie.
uint64_t SignedSum(const uint8_t* p, size_t n) {
  uint64_t s = 0;
  for (size_t i = 0; i < n; ++i) s += uint64_t(std::abs(int(int8_t(p[i]))));
  return s;
}

// Filters scanlines [first, last) into out (1 + bytes each) with the allowed filters.
class TLineFilter {
 public:
  TLineFilter(const TPngImage& img, const TLayout& l, int filterMask) : img_(img), l_(l), mask_(filterMask) {
    for (int t = 0; t < 5; ++t)
      if (mask_ & (1 << t)) types_.push_back(t);
    const size_t n = l.MaxLineBytes;
    zero_.assign(n, 0);
    curBuf_.resize(n);
    priorBuf_.resize(n);
    if (types_.size() > 1) trial_.resize(n + 1);
  }

  void Filter(size_t first, size_t last, std::vector<uint8_t>& out) {
    out.clear();
    size_t total = 0;
    for (size_t i = first; i < last; ++i) total += 1 + l_.LineBytes[i];
    out.resize(total);
    uint8_t* o = out.data();
    for (size_t i = first; i < last; ++i) {
      const size_t n = l_.LineBytes[i];
      const uint8_t* cur = RawLine(img_, l_, i, curBuf_.data());
      // The prior row comes anew for the first line of a range: ranges start anywhere.
      const uint8_t* prior = l_.Lines[i].First ? zero_.data() : RawLine(img_, l_, i - 1, priorBuf_.data());
      FilterOne(cur, prior, n, o);
      o += 1 + n;
    }
  }

 private:
  void FilterOne(const uint8_t* cur, const uint8_t* prior, size_t n, uint8_t* out) {
    const size_t bpp = size_t(l_.FilterBpp);
    if (types_.size() == 1) {
      ApplyFilter(types_[0], cur, prior, n, bpp, out);
      return;
    }
    uint64_t best = UINT64_MAX;
    for (int t : types_) {
      uint8_t* dst = trial_.data();
      ApplyFilter(t, cur, prior, n, bpp, dst);
      const uint64_t s = SignedSum(dst + 1, n);
      if (s < best) {
        best = s;
        std::memcpy(out, dst, n + 1);
      }
    }
  }

  const TPngImage& img_;
  const TLayout& l_;
  int mask_;
  std::vector<int> types_;
  std::vector<uint8_t> zero_, curBuf_, priorBuf_, trial_;
};

struct TSegment {
  size_t First = 0, Last = 0;  // scanlines
  size_t RawBytes = 0;
  uLong Adler = 1;
  std::vector<uint8_t> Deflated;
};

struct TDeflater {
  z_stream z{};
  bool open = false;
  ~TDeflater() {
    if (open) deflateEnd(&z);
  }
};

void DeflateSegment(const TPngImage& img, const TLayout& l, int filterMask, int level, int strategy, TSegment& segment,
                  bool last) {
  TLineFilter filter(img, l, filterMask);
  // The dictionary: the end of the filtered data before the segment, as the one-thread
  // stream would still see it in its window.
  std::vector<uint8_t> dict;
  if (segment.First > 0) {
    size_t from = segment.First, bytes = 0;
    while (from > 0 && bytes < kWindowBytes) bytes += 1 + l.LineBytes[--from];
    filter.Filter(from, segment.First, dict);
    if (dict.size() > kWindowBytes) dict.erase(dict.begin(), dict.end() - ptrdiff_t(kWindowBytes));
  }
  std::vector<uint8_t> data;
  filter.Filter(segment.First, segment.Last, data);
  segment.RawBytes = data.size();
  segment.Adler = adler32(1L, data.data(), uInt(data.size()));

  TDeflater d;
  if (deflateInit2(&d.z, level, Z_DEFLATED, -15, 8, strategy) != Z_OK) throw EInvalidGraphic("PNG: zlib");
  d.open = true;
  if (!dict.empty() && deflateSetDictionary(&d.z, dict.data(), uInt(dict.size())) != Z_OK)
    throw EInvalidGraphic("PNG: zlib");
  // A sync flush adds at most an empty stored block and a few bits.
  const uLong bound = deflateBound(&d.z, uLong(data.size()));
  if (bound > uLong(1) << 32) throw EInvalidGraphic("PNG: segment too large");
  segment.Deflated = std::vector<uint8_t>(size_t(bound) + 16);
  d.z.next_in = data.data();
  d.z.avail_in = uInt(data.size());
  d.z.next_out = segment.Deflated.data();
  d.z.avail_out = uInt(segment.Deflated.size());
  const int rc = deflate(&d.z, last ? Z_FINISH : Z_SYNC_FLUSH);
  // Room to spare is what tells a flush that is complete.
  if ((last && rc != Z_STREAM_END) || (!last && rc != Z_OK) || d.z.avail_in != 0 || d.z.avail_out == 0)
    throw EInvalidGraphic("PNG: zlib");
  // Kept at its size: the segments wait, all of them, until the file is written.
  const size_t produced = segment.Deflated.size() - size_t(d.z.avail_out);
  segment.Deflated = std::vector<uint8_t>(segment.Deflated.begin(), segment.Deflated.begin() + ptrdiff_t(produced));
}

// The zlib header for a window of 32 KB and the level's class, as zlib writes it.
std::array<uint8_t, 2> ZlibHeader(int level, int strategy) {
  const int levelFlags = (strategy >= Z_HUFFMAN_ONLY || level < 2) ? 0 : level < 6 ? 1 : level == 6 ? 2 : 3;
  unsigned header = (0x78u << 8) | unsigned(levelFlags << 6);
  header += 31 - header % 31;
  return {uint8_t(header >> 8), uint8_t(header & 0xFF)};
}

class TChunkWriter {
 public:
  explicit TChunkWriter(FILE* f) : f_(f) {}
  void Write(const char type[4], const uint8_t* data, size_t n) {
    if (n > 0x7FFFFFFFu) throw EInvalidGraphic("PNG: chunk too large");
    uint8_t head[8];
    Be32(head, uint32_t(n));
    std::memcpy(head + 4, type, 4);
    uLong crc = crc32(0L, head + 4, 4);
    if (n) crc = crc32(crc, data, uInt(n));
    uint8_t tail[4];
    Be32(tail, uint32_t(crc));
    Put(head, 8);
    if (n) Put(data, n);
    Put(tail, 4);
  }
  static void Be32(uint8_t* p, uint32_t v) {
    p[0] = uint8_t(v >> 24);
    p[1] = uint8_t(v >> 16);
    p[2] = uint8_t(v >> 8);
    p[3] = uint8_t(v);
  }

 private:
  void Put(const void* p, size_t n) {
    if (std::fwrite(p, 1, n, f_) != n) throw EInvalidGraphic("PNG: cannot write the file");
  }
  FILE* f_;
};

struct TFileCloser {
  void operator()(FILE* f) const {
    if (f) std::fclose(f);
  }
};

}  // namespace

void WritePngFile(const std::string& fileName, const TPngImage& img, const TPngWriteOptions& options) {
  const size_t bpp = img.ColorType == pcIndexed ? 1 : img.ColorType == pcRGB ? 3 : 4;
  if (img.Empty() || img.Pixels.size() < size_t(img.Width) * size_t(img.Height) * bpp)
    throw EInvalidGraphic("empty PNG picture");
  if (uint32_t(img.Width) > 0x7FFFFFFFu || uint32_t(img.Height) > 0x7FFFFFFFu) throw EInvalidGraphic("PNG size");

  // The chunks before the data.
  int colorType = 2, bitDepth = 8;
  std::vector<uint8_t> plte, trns;
  if (img.ColorType == pcIndexed) {
    if (img.Palette.empty() || img.Palette.size() > 256) throw EInvalidGraphic("PNG palette");
    const size_t n = img.Palette.size();
    for (size_t k = 0; k < size_t(img.Width) * size_t(img.Height); ++k)
      if (img.Pixels[k] >= n) throw EInvalidGraphic("PNG index outside the palette");
    colorType = 3;
    bitDepth = n <= 2 ? 1 : n <= 4 ? 2 : n <= 16 ? 4 : 8;
    for (TColor c : img.Palette) {
      c = ColorToRGB(c);
      plte.insert(plte.end(), {GetRValue(c), GetGValue(c), GetBValue(c)});
    }
    // Trailing opaque entries need not be stored.
    size_t nt = std::min(img.Transparency.size(), n);
    while (nt > 0 && img.Transparency[nt - 1] == 255) --nt;
    trns.assign(img.Transparency.begin(), img.Transparency.begin() + ptrdiff_t(nt));
  } else {
    colorType = img.ColorType == pcRGB ? 2 : 6;
    if (img.ColorType == pcRGB && img.TransparentColor != clNone) {
      const TColor c = ColorToRGB(img.TransparentColor);
      trns = {0, GetRValue(c), 0, GetGValue(c), 0, GetBValue(c)};
    }
  }
  const int mask = options.FilterMask & pfAllFilters ? options.FilterMask & pfAllFilters : pfAllFilters;
  const int level = std::clamp(options.CompressionLevel, 0, 9);
  // As libpng: filtered data is deflated with the strategy made for it.
  const int strategy = mask == pfNone ? Z_DEFAULT_STRATEGY : Z_FILTERED;

  // The data, segment by segment on all threads.
  const TLayout layout = MakeLayout(img, bitDepth, options.Interlaced);
  std::vector<TSegment> segments;
  {
    TSegment p;
    size_t bytes = 0;
    for (size_t i = 0; i < layout.Lines.size(); ++i) {
      bytes += 1 + layout.LineBytes[i];
      if (bytes >= kSegmentBytes || i + 1 == layout.Lines.size()) {
        p.Last = i + 1;
        segments.push_back(p);
        p.First = i + 1;
        bytes = 0;
      }
    }
  }
  const int count = int(segments.size());
  std::vector<std::exception_ptr> errors(segments.size());
  const int threads = std::max(1, std::min(EngineThreads(), count));
#pragma omp parallel for schedule(dynamic, 1) num_threads(threads)
  for (int k = 0; k < count; ++k) {
    try {
      DeflateSegment(img, layout, mask, level, strategy, segments[size_t(k)], k + 1 == count);
    } catch (...) {
      errors[size_t(k)] = std::current_exception();
    }
  }
  for (const std::exception_ptr& e : errors)
    if (e) std::rethrow_exception(e);

  std::unique_ptr<FILE, TFileCloser> f(std::fopen(fileName.c_str(), "wb"));
  if (!f) throw EInvalidGraphic("cannot create " + fileName);
  static constexpr uint8_t kSignature[8] = {137, 80, 78, 71, 13, 10, 26, 10};
  if (std::fwrite(kSignature, 1, 8, f.get()) != 8) throw EInvalidGraphic("cannot write " + fileName);
  TChunkWriter out(f.get());
  uint8_t ihdr[13];
  TChunkWriter::Be32(ihdr, uint32_t(img.Width));
  TChunkWriter::Be32(ihdr + 4, uint32_t(img.Height));
  ihdr[8] = uint8_t(bitDepth);
  ihdr[9] = uint8_t(colorType);
  ihdr[10] = 0;
  ihdr[11] = 0;
  ihdr[12] = options.Interlaced ? 1 : 0;
  out.Write("IHDR", ihdr, 13);
  if (!plte.empty()) out.Write("PLTE", plte.data(), plte.size());
  if (!trns.empty()) out.Write("tRNS", trns.data(), trns.size());

  // One IDAT per segment: the zlib header before the first, the combined Adler-32 after
  // the last.
  uLong adler = 1;
  for (const TSegment& p : segments) adler = adler32_combine(adler, p.Adler, z_off_t(p.RawBytes));
  const std::array<uint8_t, 2> header = ZlibHeader(level, strategy);
  std::vector<uint8_t> edge;
  for (size_t k = 0; k < segments.size(); ++k) {
    const std::vector<uint8_t>& d = segments[k].Deflated;
    if (k == 0 || k + 1 == segments.size()) {
      edge.clear();
      if (k == 0) edge.insert(edge.end(), header.begin(), header.end());
      edge.insert(edge.end(), d.begin(), d.end());
      if (k + 1 == segments.size()) {
        uint8_t a[4];
        TChunkWriter::Be32(a, uint32_t(adler));
        edge.insert(edge.end(), a, a + 4);
      }
      out.Write("IDAT", edge.data(), edge.size());
    } else {
      out.Write("IDAT", d.data(), d.size());
    }
  }
  out.Write("IEND", nullptr, 0);
  if (std::fflush(f.get()) != 0 || std::ferror(f.get())) throw EInvalidGraphic("cannot write " + fileName);
  if (std::fclose(f.release()) != 0) throw EInvalidGraphic("cannot write " + fileName);
}

}  // namespace qm
