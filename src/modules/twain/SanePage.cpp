#include "modules/twain/SanePage.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <new>
#include <vector>

#include "imagefiles/PictureLimit.h"
#include "platform/core/Bitmap.h"

namespace qm::twaindsm {

namespace {

// Reads of 1 MB: the test device answers a 26 MB page in about 30 reads of its pipe's
// worth, where scanimage's 32 KB reads take 800 calls.
constexpr size_t kReadChunk = size_t(1) << 20;

int Channels(const SANE_Parameters& p) { return p.format == SANE_FRAME_RGB ? 3 : 1; }

size_t NeededLineBytes(const SANE_Parameters& p) {
  return (size_t(p.pixels_per_line) * size_t(Channels(p)) * size_t(p.depth) + 7) / 8;
}

// What a frame's parameters may say before anything is allocated for it.
bool Plausible(const SANE_Parameters& p) {
  const bool format = p.format == SANE_FRAME_GRAY || p.format == SANE_FRAME_RGB || p.format == SANE_FRAME_RED ||
                      p.format == SANE_FRAME_GREEN || p.format == SANE_FRAME_BLUE;
  if (!format || (p.depth != 1 && p.depth != 8 && p.depth != 16)) return false;
  if (p.pixels_per_line < 1 || p.pixels_per_line > kMaxBitmapSide || p.lines < -1 || p.lines > kMaxBitmapSide)
    return false;
  if (p.bytes_per_line < 1 || size_t(p.bytes_per_line) < NeededLineBytes(p)) return false;
  return p.lines < 0 || uint64_t(p.pixels_per_line) * uint64_t(p.lines) <= kMaxPicturePixels;
}

// A read asked to stop: the scan is cancelled here, on the thread that reads.
bool StopAsked(SANE_Handle h, const std::atomic<bool>* cancelled) {
  if (!cancelled || !cancelled->load(std::memory_order_acquire)) return false;
  sane_cancel(h);
  return true;
}

// Reads the frame until the device says it is complete, keeping the first `size`
// bytes in dst and dropping any beyond.
SANE_Status ReadKnown(SANE_Handle h, uint8_t* dst, size_t size, size_t& got, const std::atomic<bool>* cancelled) {
  got = 0;
  std::vector<uint8_t> spill;
  for (;;) {
    SANE_Int len = 0;
    uint8_t* to = dst + got;
    size_t room = size - got;
    if (room == 0) {
      spill.resize(kReadChunk);
      to = spill.data();
      room = spill.size();
    }
    if (StopAsked(h, cancelled)) return SANE_STATUS_CANCELLED;
    const SANE_Status st = sane_read(h, to, SANE_Int(std::min(room, kReadChunk)), &len);
    if (st == SANE_STATUS_EOF) return SANE_STATUS_GOOD;
    if (st != SANE_STATUS_GOOD) return st;
    if (len < 0 || size_t(len) > std::min(room, kReadChunk)) return SANE_STATUS_IO_ERROR;
    if (to != spill.data()) got += size_t(len);
  }
}

// A frame of unknown height: everything up to the end, within the pixel limit.
SANE_Status ReadUnknown(SANE_Handle h, const SANE_Parameters& p, std::vector<uint8_t>& raw,
                        const std::atomic<bool>* cancelled) {
  const size_t limit = size_t(std::min<uint64_t>(kMaxPicturePixels / uint64_t(p.pixels_per_line), kMaxBitmapSide)) *
                       size_t(p.bytes_per_line);
  for (;;) {
    const size_t at = raw.size();
    if (at >= limit) return SANE_STATUS_NO_MEM;
    if (StopAsked(h, cancelled)) return SANE_STATUS_CANCELLED;
    raw.resize(at + std::min(kReadChunk, limit - at));
    SANE_Int len = 0;
    const SANE_Status st = sane_read(h, raw.data() + at, SANE_Int(raw.size() - at), &len);
    if (st != SANE_STATUS_GOOD || len < 0 || size_t(len) > raw.size() - at) {
      raw.resize(at);
      if (st == SANE_STATUS_EOF) return SANE_STATUS_GOOD;
      return st == SANE_STATUS_GOOD ? SANE_STATUS_IO_ERROR : st;
    }
    raw.resize(at + size_t(len));
  }
}

inline unsigned Sample(const uint8_t* row, size_t i, int depth) {
  switch (depth) {
    case 1: return ((row[i >> 3] >> (7 - (i & 7))) & 1) ? 255 : 0;
    case 16: {
      uint16_t v;
      std::memcpy(&v, row + 2 * i, 2);  // the machine's byte order, as SANE sends it
      return v >> 8;
    }
    default: return row[i];
  }
}

void StoreSamples(const uint8_t* s, int depth, size_t count, uint8_t* d) {
  if (depth == 8) {
    std::memcpy(d, s, count);
  } else if (depth == 16) {
    for (size_t i = 0; i < count; ++i) d[i] = uint8_t(Sample(s, i, 16));
  } else {
    for (size_t i = 0; i < count; ++i) d[i] = uint8_t(Sample(s, i, 1));
  }
}

}  // namespace

size_t PagePitch(TPageKind kind, int width) {
  const size_t bits = size_t(width) * (kind == TPageKind::BlackWhite ? 1 : kind == TPageKind::Gray ? 8 : 24);
  return (bits + 31) / 32 * 4;
}

void StoreSaneRows(const SANE_Parameters& p, const uint8_t* raw, int rows, int channel, TScanPage& page) {
  const size_t n = size_t(std::min(p.pixels_per_line, page.Width));
  const size_t used = (n * size_t(page.BitsPerPixel()) + 7) / 8;
  rows = std::min(rows, page.Height);
  for (int r = 0; r < rows; ++r) {
    const uint8_t* s = raw + size_t(r) * size_t(p.bytes_per_line);
    uint8_t* d = page.Rows.get() + size_t(r) * page.Pitch;
    if (page.Kind == TPageKind::BlackWhite) {
      std::memcpy(d, s, used);
    } else if (channel < 0) {
      StoreSamples(s, p.depth, n * size_t(page.Kind == TPageKind::Rgb ? 3 : 1), d);
    } else {
      for (size_t x = 0; x < n; ++x) d[3 * x + size_t(channel)] = uint8_t(Sample(s, x, p.depth));
    }
    std::memset(d + used, 0, page.Pitch - used);
  }
}

void ReadSanePage(SANE_Handle device, TScanPage& page, const std::function<void(SANE_Status)>& started,
                  const std::atomic<bool>* cancelled) {
  page = TScanPage{};
  SANE_Status st = sane_start(device);
  started(st);
  bool first = true;
  while (st == SANE_STATUS_GOOD) {
    SANE_Parameters p{};
    st = sane_get_parameters(device, &p);
    if (st != SANE_STATUS_GOOD) break;
    if (!Plausible(p)) {
      st = SANE_STATUS_INVAL;
      break;
    }
    const bool single = p.format == SANE_FRAME_GRAY || p.format == SANE_FRAME_RGB;
    const int channel = single ? -1 : p.format - SANE_FRAME_RED;
    if (!first && (single || page.Kind != TPageKind::Rgb)) {
      st = SANE_STATUS_INVAL;  // a page's frames all belong to one colour picture
      break;
    }
    try {
      // The usual case goes straight into the page: whole 8-bit rows already padded.
      const bool direct = first && single && p.depth == 8 && p.lines > 0 &&
                          size_t(p.bytes_per_line) == NeededLineBytes(p) && p.bytes_per_line % 4 == 0;
      std::vector<uint8_t> raw;
      size_t got = 0;
      if (direct) {
        page.Kind = p.format == SANE_FRAME_RGB ? TPageKind::Rgb : TPageKind::Gray;
        page.Width = p.pixels_per_line;
        page.Height = p.lines;
        page.Pitch = size_t(p.bytes_per_line);
        page.Rows = std::make_unique_for_overwrite<uint8_t[]>(page.Pitch * size_t(page.Height));
        AdviseHugePages(page.Rows.get(), page.Pitch * size_t(page.Height));
        st = ReadKnown(device, page.Rows.get(), page.Pitch * size_t(page.Height), got, cancelled);
        std::memset(page.Rows.get() + got, 0, page.Pitch * size_t(page.Height) - got);
      } else {
        if (p.lines >= 0) {
          raw.resize(size_t(p.lines) * size_t(p.bytes_per_line));
          st = ReadKnown(device, raw.data(), raw.size(), got, cancelled);
        } else {
          st = ReadUnknown(device, p, raw, cancelled);
          got = raw.size();
        }
        const int rows = int(got / size_t(p.bytes_per_line));
        if (first) {
          page.Kind = !single || p.format == SANE_FRAME_RGB ? TPageKind::Rgb
                      : p.depth == 1                         ? TPageKind::BlackWhite
                                                             : TPageKind::Gray;
          page.Width = p.pixels_per_line;
          page.Height = p.lines >= 0 ? p.lines : rows;
          page.Pitch = PagePitch(page.Kind, page.Width);
          const size_t bytes = page.Pitch * size_t(page.Height);
          page.Rows = std::make_unique_for_overwrite<uint8_t[]>(bytes);
          std::memset(page.Rows.get(), 0, bytes);
        }
        StoreSaneRows(p, raw.data(), rows, channel, page);
      }
    } catch (const std::bad_alloc&) {
      st = SANE_STATUS_NO_MEM;
    }
    first = false;
    if (st != SANE_STATUS_GOOD || single || p.last_frame) break;
    st = sane_start(device);
  }
  page.Status = st;
}

}  // namespace qm::twaindsm
