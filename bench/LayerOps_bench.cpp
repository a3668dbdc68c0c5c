#include <memory>

#include "Harness.h"
#include "document/LayerHost.h"
#include "document/LayerOps.h"

namespace qm::bench {
namespace {

const char* kFlipAll = "FlipRotateAllLayers flip, 10 layers (24 MP)";
const char* kTurnAll = "FlipRotateAllLayers quarter turn, 10 layers (24 MP)";
const char* kFlipMasked = "FlipRotateAllLayers flip, 10 photo-masked layers (24 MP)";
const char* kTurnMasked = "FlipRotateAllLayers quarter turn, 10 photo-masked layers (24 MP)";

// A document of ten full-size layers over the photo, added as the layer strip adds them
// (each with its default mask), or each with the photo mask.
TStandaloneDocument& TenLayers(bool masked) {
  auto make = [masked] {
    auto doc = std::make_unique<TStandaloneDocument>();
    AddFirstLayer(*doc, Photo());
    for (int i = 0; i < 10; ++i)
      AddLayerFromBitmap(*doc, "#", i % 2 ? Photo2() : Photo(), masked ? &PhotoMask() : nullptr,
                         TPoint{17 * i - 80, 11 * i - 50});
    return doc;
  };
  // one document of each kind (each place that asks keeps its own)
  return masked ? FamilyFixture([make] { return make(); }) : FamilyFixture(make);
}

// Each run applies the code and then its inverse; a time is one of the two.
void Alternate(benchmark::State& st, int code, bool masked) {
  TStandaloneDocument& d = TenLayers(masked);
  int c = code;
  for (auto _ : st) {
    FlipRotateAllLayers(d, c);
    c = -c;
  }
  if (c != code) FlipRotateAllLayers(d, c);
}

QM_BENCH(kFlipAll, kOurs, 10 * kPhotoBytes, [](benchmark::State& st) { Alternate(st, 2, false); });
QM_BENCH(kTurnAll, kOurs, 10 * kPhotoBytes, [](benchmark::State& st) { Alternate(st, 3, false); });
QM_BENCH(kFlipMasked, kOurs, 20 * kPhotoBytes, [](benchmark::State& st) { Alternate(st, 2, true); });
QM_BENCH(kTurnMasked, kOurs, 20 * kPhotoBytes, [](benchmark::State& st) { Alternate(st, 3, true); });

}  // namespace
}  // namespace qm::bench
