#pragma once
// The invariants every parameter table keeps, checked against its struct and the
// routine that reads it: the control's range inside the hard one, the default and the
// neutral inside the control's; the struct starts at the table's defaults; the neutral
// values and any value outside a hard range change nothing.
#include <gtest/gtest.h>

#include "pixel/Params.h"
#include "support/TestImages.h"

namespace qm::test {

template <class P>
void CheckParamTable(void (*apply)(TBitmap&, const P&, TRect)) {
  const TBitmap a = RandomBitmap(25, 17, 8);
  P neutral{};
  for (const TParamField<P>& f : TParamTable<P>::Fields) {
    const TParamRange& r = f.Range;
    SCOPED_TRACE(f.Name);
    EXPECT_TRUE(r.HardMin <= r.Min && r.Min < r.Max && r.Max <= r.HardMax);
    EXPECT_TRUE(r.Default >= r.Min && r.Default <= r.Max);
    EXPECT_EQ(P{}.*f.Member, r.Default);
    EXPECT_EQ(RangeOf<P>(f.Member), &r);
    if (r.HasNeutral()) {
      EXPECT_TRUE(r.Neutral >= r.Min && r.Neutral <= r.Max);
      neutral.*f.Member = r.Neutral;
    }
    for (int outside : {r.HardMin - 1, r.HardMax + 1}) {
      P p{};
      p.*f.Member = outside;
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
