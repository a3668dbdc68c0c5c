#pragma once
// Helpers of the TWAIN driver: the growable pointer list, fixed-point numbers, where
// the data source manager lives, and the assembly of memory-transfer strips.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "devices/TwainApi.h"
#include "platform/core/Bitmap.h"

namespace qm {

// A growable array of untyped pointers. Capacity grows in steps (10 at creation);
// Get answers null and Put does nothing outside 0..Count-1. The list does not own
// what it points to.
class TPointerList {
 public:
  TPointerList() { items_.reserve(size_t(growth_)); }
  int Count() const { return int(items_.size()); }
  int Capacity() const { return capacity_; }
  // Any value from 1 up, never below the count.
  void SetCapacity(int capacity);
  void Add(void* p);
  void* Get(int index) const;
  void Put(int index, void* p);
  // Empties the list; the capacity goes back to the growth step.
  void Clear();

 private:
  std::vector<void*> items_;
  int growth_ = 10;
  int capacity_ = 10;
};

// TW_FIX32 to floating point: the signed whole part plus the unsigned fraction / 65536.
double Fix32ToFloat(const twain::TW_FIX32& v);
// The nearest TW_FIX32 (values beyond its range are clamped).
twain::TW_FIX32 FloatToFix32(double v);
// The value as text with the interface's decimal separator ("72,5").
std::string Fix32ToText(const twain::TW_FIX32& v);

bool TwainFileExists(const std::string& path);

// The file name of our data source manager, and the program's library folder it is
// loaded from: the executable's folder when the manager is there (the build tree),
// else lib/quillomatic beside the executable's bin folder (an installation). Never the
// current or the temporary folder, where anyone may plant a library.
extern const char* const kTwainManagerFileName;
std::string DefaultTwainLibraryFolder();

// Copies one answer of a memory transfer into the bitmap (1, 8 or 24 bits per pixel)
// by its geometry: Rows rows of BytesPerRow bytes each from the buffer, the first
// going to image row YOffset, Columns pixels from column XOffset (whole bytes). The
// bytes taken are BytesWritten, clamped to the buffer; rows beyond the image and bytes
// beyond a row are dropped. An answer without geometry (BytesPerRow 0 or TWON_DONTCARE)
// is taken as whole rows of the bitmap's stride starting at nextRow. With swapRedBlue
// the copied pixels of a 24-bit bitmap go from R, G, B to the bitmap's B, G, R.
// Answers the row after the last row written (nextRow when none was).
//
// rowsWritten has a flag a row (sized to the bitmap when it is not): the bitmap may be
// made without filling, so the first write of a row clears what it does not cover,
// and ClearUnwrittenRows clears the rows no answer reached.
int AssembleTwainStrip(TBitmap& bmp, const twain::TW_IMAGEMEMXFER& strip, const uint8_t* buffer,
                       size_t bufferSize, int nextRow, bool swapRedBlue, std::vector<uint8_t>& rowsWritten);
void ClearUnwrittenRows(TBitmap& bmp, const std::vector<uint8_t>& rowsWritten);

// Whether a memory transfer's image information describes a bitmap we can make: both
// sides at least 1 (TWAIN lets a source say -1 for "unknown") and within the bitmap
// limits, 1, 4, 8, 24 or 32 bits per pixel (24 for RGB), uncompressed.
bool TwainImageFits(const twain::TW_IMAGEINFO& info);

// Copies pixels of three bytes, exchanging the first and the third of each.
void CopySwapRedBlue(uint8_t* dst, const uint8_t* src, size_t pixels);

// Makes a bitmap of a native transfer's image: a TDibInfoHeader, its colour table and
// its rows, `size` bytes in all. 1, 4, 8, 24 and 32 bits per pixel, uncompressed;
// false (and an empty bitmap) for anything else or when the bytes do not hold it.
bool DibToBitmap(const uint8_t* dib, size_t size, TBitmap& out);

}  // namespace qm
