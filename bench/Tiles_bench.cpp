#include "Harness.h"
#include "pixel/Tiles.h"
#include "pixel/qt/TileDraw.h"
#include "platform/core/Random.h"

namespace qm::bench {
namespace {

// The dialogs' usual settings over the whole photo. The effects that read a source
// draw from the photo into a destination made once; the others draw on a copy of it.
QM_BENCH("FilterTiles 10 px, gap 6, outlined (24 MP)", kOurs, kPhotoBytes, [](benchmark::State& st) {
  TBitmap d = Photo().Clone();
  RandSeed(1);
  for (auto _ : st) FilterTiles(Photo(), d, 10, UnboundedRect, true, clWhite, 6);
});
QM_BENCH("DrawGridLines cell 7, thickness 3 (24 MP)", kOurs, kPhotoBytes, [](benchmark::State& st) {
  TBitmap d = Photo().Clone();
  for (auto _ : st) DrawGridLines(d, 7, clWhite, UnboundedRect, false, true, true, true, 3);
});
QM_BENCH("FilterPuzzle 50 px, pen 2 (24 MP)", kOurs, kPhotoBytes, [](benchmark::State& st) {
  TBitmap d = Photo().Clone();
  RandSeed(1);
  for (auto _ : st) FilterPuzzle(d, 50, clBlack, UnboundedRect, 2);
});
QM_BENCH("FilterCrossStitch cell 10, both diagonals (24 MP)", kOurs, kPhotoBytes, [](benchmark::State& st) {
  TBitmap d = Photo().Clone();
  for (auto _ : st) FilterCrossStitch(Photo(), d, clWhite, UnboundedRect, true, true, 2, 10);
});
QM_BENCH("FilterPointillism dot 6, step 4 (24 MP)", kOurs, kPhotoBytes, [](benchmark::State& st) {
  TBitmap d = Photo().Clone();
  RandSeed(1);
  for (auto _ : st) FilterPointillism(Photo(), d, 6, UnboundedRect, clNone, 4);
});

}  // namespace
}  // namespace qm::bench
