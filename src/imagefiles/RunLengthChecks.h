#pragma once
// The run-length pictures GraphicsMagick reads, checked against the size their header
// declares before the library reads them. The library cuts a run that overruns its
// row and pads a row whose runs fall short, so that a picture whose bytes cannot back
// its size would open with pixels nobody stored.
#include <cstddef>
#include <cstdint>

namespace qm {

// For the coder "BMP", a 4- or 8-bit run-length bitmap: no run, literal or move may go
// beyond its row (padded to 32 bits, as the stored rows are) or the last row, and the
// data must reach its end-of-picture mark (or fill every row). For "SGI", a run-length file: its row tables within the file, each
// row within the file and its runs giving exactly the declared width. Throws
// EInvalidGraphic naming the first row at fault. Any other coder, and a file not
// run-length coded or whose header the library will refuse on its own, passes.
void CheckRunLengths(const uint8_t* data, size_t size, const char* coder);

}  // namespace qm
