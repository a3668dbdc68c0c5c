#pragma once
// One page read from a SANE device, in the form our TWAIN sources hand over: rows top
// down, each padded to 4 bytes, of 1-bit black and white (most significant bit first,
// 1 is black), 8-bit grey or 24-bit colour in R, G, B order. 16-bit samples are
// reduced to their high byte, the frames of a three-pass scanner are interleaved, the
// pixels a device wastes at the end of its lines are dropped.
#include <sane/sane.h>

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>

namespace qm::twaindsm {

enum class TPageKind : uint8_t { BlackWhite, Gray, Rgb };

struct TScanPage {
  SANE_Status Status = SANE_STATUS_GOOD;  // of the whole read: GOOD, or what failed
  TPageKind Kind = TPageKind::Gray;
  int Width = 0;
  int Height = 0;
  size_t Pitch = 0;  // bytes from one row to the next
  std::unique_ptr<uint8_t[]> Rows;

  int BitsPerPixel() const { return Kind == TPageKind::BlackWhite ? 1 : Kind == TPageKind::Gray ? 8 : 24; }
};

// The bytes of one row of `width` pixels of that kind, padded to 4.
size_t PagePitch(TPageKind kind, int width);

// Starts the device and reads every frame of one page into `page`; `started` is called
// once with the status of the first sane_start. A device that fails to start leaves
// the page empty with that status. Runs on the thread that owns the device. When
// `cancelled` turns true the scan is cancelled between two reads, on this thread (a
// backend cancelled from another thread while it reads may join its reader twice).
void ReadSanePage(SANE_Handle device, TScanPage& page, const std::function<void(SANE_Status)>& started,
                  const std::atomic<bool>* cancelled = nullptr);

// The rows of one frame as the device sent them (`rows` rows of bytes_per_line bytes)
// written into the page: all channels, or only `channel` (0 red, 1 green, 2 blue) of a
// colour page. The page must have its kind, size and rows already.
void StoreSaneRows(const SANE_Parameters& p, const uint8_t* raw, int rows, int channel, TScanPage& page);

}  // namespace qm::twaindsm
