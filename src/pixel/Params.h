#pragma once
// The parameters of an operation a dialog drives: one plain struct per operation, and
// beside it a table of its integer fields with their ranges. The dialog's controls,
// its replay for the repeat command, the batch and the tests all read the same table,
// so a range is written once.
#include <array>
#include <cstddef>

namespace qm {

struct TParamRange {
  static constexpr int kNoNeutral = -2147483647 - 1;

  int HardMin, HardMax;  // what the operation takes: outside it, it changes nothing
  int Min, Max;          // what the dialog's control offers (inside the hard range)
  int Default;           // the value of a dialog's first showing
  int Neutral = kNoNeutral;  // the value that leaves the image as it is, when there is one

  constexpr bool HasNeutral() const { return Neutral != kNoNeutral; }
  constexpr bool Accepts(int v) const { return v >= HardMin && v <= HardMax; }
};

// One integer field of a parameter struct P.
template <class P>
struct TParamField {
  const char* Name;
  int P::*Member;
  TParamRange Range;
};

// Specialised beside each parameter struct: static constexpr std::array Fields of
// TParamField<P>, in the order a dialog shows them.
template <class P>
struct TParamTable;

// Every field within its hard range.
template <class P>
constexpr bool InHardRange(const P& p) {
  for (const TParamField<P>& f : TParamTable<P>::Fields)
    if (!f.Range.Accepts(p.*f.Member)) return false;
  return true;
}

// Every field that has a neutral value at it, and at least one such field: the
// operation leaves the image as it is. Fields without a neutral value (a threshold, a
// radius) do not count.
template <class P>
constexpr bool IsNeutral(const P& p) {
  bool any = false;
  for (const TParamField<P>& f : TParamTable<P>::Fields) {
    if (!f.Range.HasNeutral()) continue;
    if (p.*f.Member != f.Range.Neutral) return false;
    any = true;
  }
  return any;
}

// The range of one field; null for a member the table does not list.
template <class P>
constexpr const TParamRange* RangeOf(int P::*member) {
  for (const TParamField<P>& f : TParamTable<P>::Fields)
    if (f.Member == member) return &f.Range;
  return nullptr;
}

}  // namespace qm
