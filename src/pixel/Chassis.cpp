#include "pixel/Chassis.h"

namespace qm {

void ApplyTables(TBitmap& bmp, TRect rect, const uint8_t* blue, const uint8_t* green, const uint8_t* red) {
  ForEachRow(bmp, rect, [&](uint8_t* p, int n) {
    for (int i = 0; i < n; ++i, p += 3) {
      p[0] = blue[p[0]];
      p[1] = green[p[1]];
      p[2] = red[p[2]];
    }
  });
}

void ApplyTable(TBitmap& bmp, TRect rect, const uint8_t* table) {
  ForEachRow(bmp, rect, [&](uint8_t* p, int n) {
    const int nb = 3 * n;
    for (int i = 0; i < nb; ++i) p[i] = table[p[i]];
  });
}

}  // namespace qm
