#pragma once
// What every operation that reads a parameter table keeps: a number outside a field's
// hard range makes it change nothing, and so do the neutral values. (A table's own
// soundness is checked where it is declared, by DefaultParams, and over every dialog.)
#include <gtest/gtest.h>

#include "pixel/Params.h"
#include "support/TestImages.h"

namespace qm::test {

// Writes x into the field as it is, past any range (SetParam would clamp it). (GCC's
// bounds warning: see GetParam.)
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Warray-bounds"
#endif
template <class P>
void WriteUnclamped(P& p, const TParamField<P>& f, double x) {
  switch (f.Range.Kind) {
    case TParamKind::Int:
    case TParamKind::Choice: p.*f.Int = int(x); break;
    case TParamKind::Double: p.*f.Double = x; break;
    case TParamKind::Point: (p.*f.Point).X = int32_t(x); break;
    case TParamKind::Bool:
    case TParamKind::Color: break;  // a switch has no value outside; a colour is checked by the controls
  }
}
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic pop
#endif

template <class P>
void CheckOperationKeepsToTable(void (*apply)(TBitmap&, const P&, TRect)) {
  const TBitmap a = RandomBitmap(25, 17, 8);
  P neutral = DefaultParams<P>();
  for (const TParamField<P>& f : TParamTable<P>::Fields) {
    const TParamRange& r = f.Range;
    SCOPED_TRACE(f.Name);
    if (r.HasNeutral()) SetParam(neutral, f, *r.Neutral);
    if (r.Kind == TParamKind::Bool || r.Kind == TParamKind::Color) continue;
    for (double outside : {r.HardMin - 1, r.HardMax + 1}) {
      P p = DefaultParams<P>();
      WriteUnclamped(p, f, outside);
      EXPECT_FALSE(InHardRange(p));
      TBitmap b = a.Clone();
      apply(b, p, UnboundedRect);
      EXPECT_TRUE(SameBitmaps(a, b)) << outside;
    }
  }
  if (IsNeutral(neutral)) {
    TBitmap b = a.Clone();
    apply(b, neutral, UnboundedRect);
    EXPECT_TRUE(SameBitmaps(a, b));
  }
}

}  // namespace qm::test
