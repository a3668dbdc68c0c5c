#pragma once
// What a document is beside its pixels, written down to be compared before and after a
// change: every field a save keeps, split by whether an undo step gives it back. The
// pixels themselves are not read (a command that changes them takes an undo step).
#include <string>

#include "document/LayeredImage.h"

namespace qm {

struct TDocumentFacts {
  // What an undo step takes and gives back: each layer's place and size, its mask's
  // size, its type and its transparency settings; the colour count and the resolution.
  std::string Recorded;
  // What no undo step holds: which layers there are and in what order, their names,
  // visibility, locks, opacity, tints, adjustments, shadows and text; the comment.
  std::string Unrecorded;
  friend bool operator==(const TDocumentFacts&, const TDocumentFacts&) = default;
};

TDocumentFacts DocumentFactsOf(const TLayeredImage& image);

}  // namespace qm
