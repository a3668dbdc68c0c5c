#pragma once
// The parameters of an operation a dialog drives: one plain struct per operation, and
// beside it a table of its fields with their ranges and values. The dialog's controls,
// its replay for the repeat command, the batch and the tests all read the same table,
// so a range or a default is written once.
//
// The struct declares no values of its own: DefaultParams<P>() makes one at the table's
// defaults, and refuses to compile unless the table lists every member of the struct
// exactly once (ParamTableFault), so no member can be left at a silent zero. A table:
//
//   struct TGaussianBlurParams {
//     int Radius;
//   };
//   template <>
//   struct TParamTable<TGaussianBlurParams> {
//     static constexpr std::array Fields{
//         IntParam("Radius", &TGaussianBlurParams::Radius, {1, 100}, {1, 30}, 6),
//     };
//   };
//
// Each field gives its name (the key of stored values), its member, and by kind:
//   IntParam(name, &P::m, hard, shown, default [, neutral])     int m
//   DoubleParam(name, &P::m, hard, shown, default [, neutral])  double m
//   BoolParam(name, &P::m, default [, neutral])                 bool m
//   ColorParam(name, &P::m, default)                            TColor m (plain RGB)
//   ChoiceParam(name, &P::m, count, default [, neutral])        int m, an index 0..count-1
//   PointParam(name, &P::m, hard, shown, default [, neutral])   TPoint m, both coordinates
// The hard range {min, max} is what the operation takes: outside it, it changes nothing.
// The shown range is what a dialog's control offers, inside the hard one. The neutral
// value, where the operation has one, leaves the image as it is.
#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "platform/core/Types.h"

namespace qm {

enum class TParamKind : uint8_t { Int, Double, Bool, Color, Choice, Point };

// A value of any kind: the number (a switch 0 or 1, a colour's RGB value, a choice's
// index), or a point's X and Y.
struct TParamValue {
  double X = 0, Y = 0;
  constexpr TParamValue() = default;
  constexpr TParamValue(double x, double y = 0) : X(x), Y(y) {}
  constexpr TParamValue(TPoint p) : X(p.X), Y(p.Y) {}
  friend constexpr bool operator==(const TParamValue&, const TParamValue&) = default;
};

struct TParamSpan {
  double Lo, Hi;
};

struct TParamRange {
  TParamKind Kind = TParamKind::Int;
  double HardMin = 0, HardMax = 0;  // each coordinate of a point
  double Min = 0, Max = 0;          // the control's range, inside the hard one
  TParamValue Default;
  std::optional<TParamValue> Neutral;

  constexpr bool HasNeutral() const { return Neutral.has_value(); }
  constexpr bool WholeNumbers() const { return Kind != TParamKind::Double; }
  constexpr int ChoiceCount() const { return int(HardMax) + 1; }

  // Within the hard range (a NaN never is).
  constexpr bool Accepts(TParamValue v) const {
    return InHard(v.X) && (Kind != TParamKind::Point || InHard(v.Y));
  }
  // The value the operation takes for v: each number cut to the hard range and, for the
  // kinds of whole numbers, rounded to the nearest (halves away from zero); a switch is
  // on for any value but 0. A NaN, or a colour that is not a plain RGB value, gives the
  // default: neither has a nearest value.
  constexpr TParamValue Clamp(TParamValue v) const {
    if (v.X != v.X || v.Y != v.Y) return Default;
    switch (Kind) {
      case TParamKind::Bool: return v.X != 0 ? 1.0 : 0.0;
      case TParamKind::Color: return Accepts(v) && Round(v.X) == v.X ? TParamValue(v.X) : Default;
      case TParamKind::Point: return TParamValue(ClampNumber(v.X), ClampNumber(v.Y));
      default: return ClampNumber(v.X);
    }
  }

 private:
  constexpr bool InHard(double x) const { return x >= HardMin && x <= HardMax; }
  static constexpr double Round(double x) {
    return x < 0 ? -double(int64_t(-x + 0.5)) : double(int64_t(x + 0.5));
  }
  constexpr double ClampNumber(double x) const {
    x = x < HardMin ? HardMin : (x > HardMax ? HardMax : x);
    return WholeNumbers() ? Round(x) : x;
  }
};

// A field without its struct: what type-erased readers (the tests over every dialog,
// the batch's stored values) see.
struct TParamInfo {
  const char* Name;
  TParamRange Range;
};

// One field of a parameter struct P: its member, by kind.
template <class P>
struct TParamField : TParamInfo {
  int P::*Int = nullptr;  // Int and Choice
  double P::*Double = nullptr;
  bool P::*Bool = nullptr;
  TColor P::*Color = nullptr;
  TPoint P::*Point = nullptr;
};

// Specialised beside each parameter struct: static constexpr std::array Fields of
// TParamField<P>, in the order a dialog shows them.
template <class P>
struct TParamTable;

// --- Declaring fields -----------------------------------------------------------------------

namespace param_detail {
template <class P>
constexpr void SetSlot(TParamField<P>& f, int P::*m) { f.Int = m; }
template <class P>
constexpr void SetSlot(TParamField<P>& f, double P::*m) { f.Double = m; }
template <class P>
constexpr void SetSlot(TParamField<P>& f, bool P::*m) { f.Bool = m; }
template <class P>
constexpr void SetSlot(TParamField<P>& f, TColor P::*m) { f.Color = m; }
template <class P>
constexpr void SetSlot(TParamField<P>& f, TPoint P::*m) { f.Point = m; }

template <class P, class T>
constexpr TParamField<P> Field(const char* name, TParamKind kind, T P::*m, TParamSpan hard, TParamSpan shown, T def,
                               std::optional<T> neutral) {
  TParamField<P> f{};
  f.Name = name;
  f.Range = {kind, hard.Lo, hard.Hi, shown.Lo, shown.Hi, TParamValue(def), std::nullopt};
  if (neutral) f.Range.Neutral = TParamValue(*neutral);
  SetSlot(f, m);
  return f;
}
}  // namespace param_detail

template <class P>
constexpr TParamField<P> IntParam(const char* name, int P::*m, TParamSpan hard, TParamSpan shown, int def,
                                  std::optional<int> neutral = {}) {
  return param_detail::Field(name, TParamKind::Int, m, hard, shown, def, neutral);
}

template <class P>
constexpr TParamField<P> DoubleParam(const char* name, double P::*m, TParamSpan hard, TParamSpan shown, double def,
                                     std::optional<double> neutral = {}) {
  return param_detail::Field(name, TParamKind::Double, m, hard, shown, def, neutral);
}

template <class P>
constexpr TParamField<P> BoolParam(const char* name, bool P::*m, bool def, std::optional<bool> neutral = {}) {
  return param_detail::Field(name, TParamKind::Bool, m, {0, 1}, {0, 1}, def, neutral);
}

template <class P>
constexpr TParamField<P> ColorParam(const char* name, TColor P::*m, TColor def) {
  return param_detail::Field(name, TParamKind::Color, m, {0, 0xFFFFFF}, {0, 0xFFFFFF}, def, std::optional<TColor>());
}

template <class P>
constexpr TParamField<P> ChoiceParam(const char* name, int P::*m, int count, int def,
                                     std::optional<int> neutral = {}) {
  const TParamSpan all{0, double(count - 1)};
  return param_detail::Field(name, TParamKind::Choice, m, all, all, def, neutral);
}

template <class P>
constexpr TParamField<P> PointParam(const char* name, TPoint P::*m, TParamSpan hard, TParamSpan shown, TPoint def,
                                    std::optional<TPoint> neutral = {}) {
  return param_detail::Field(name, TParamKind::Point, m, hard, shown, def, neutral);
}

// --- Reading and writing fields -------------------------------------------------------------

// GCC warns, after inlining over a struct of a few bytes, that the branches of the other
// kinds would read past it; a field's member is only ever read through its own kind.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Warray-bounds"
#endif

template <class P>
constexpr TParamValue GetParam(const P& p, const TParamField<P>& f) {
  switch (f.Range.Kind) {
    case TParamKind::Int:
    case TParamKind::Choice: return p.*f.Int;
    case TParamKind::Double: return p.*f.Double;
    case TParamKind::Bool: return p.*f.Bool ? 1.0 : 0.0;
    case TParamKind::Color: return double(p.*f.Color);
    case TParamKind::Point: return p.*f.Point;
  }
  return {};
}

// Stores v brought into the field's hard range (TParamRange::Clamp).
template <class P>
constexpr void SetParam(P& p, const TParamField<P>& f, TParamValue v) {
  v = f.Range.Clamp(v);
  switch (f.Range.Kind) {
    case TParamKind::Int:
    case TParamKind::Choice: p.*f.Int = int(v.X); break;
    case TParamKind::Double: p.*f.Double = v.X; break;
    case TParamKind::Bool: p.*f.Bool = v.X != 0; break;
    case TParamKind::Color: p.*f.Color = TColor(v.X); break;
    case TParamKind::Point: p.*f.Point = TPoint{int32_t(v.X), int32_t(v.Y)}; break;
  }
}

#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic pop
#endif

namespace param_detail {
template <class P>
constexpr int P::*Slot(const TParamField<P>& f, int P::*) { return f.Int; }
template <class P>
constexpr double P::*Slot(const TParamField<P>& f, double P::*) { return f.Double; }
template <class P>
constexpr bool P::*Slot(const TParamField<P>& f, bool P::*) { return f.Bool; }
template <class P>
constexpr TColor P::*Slot(const TParamField<P>& f, TColor P::*) { return f.Color; }
template <class P>
constexpr TPoint P::*Slot(const TParamField<P>& f, TPoint P::*) { return f.Point; }
}  // namespace param_detail

// The place of a member in its table; -1 for a member the table does not list.
template <class P, class T>
constexpr int FieldIndex(T P::*member) {
  const auto& fields = TParamTable<P>::Fields;
  for (size_t i = 0; i < fields.size(); ++i)
    if (member && param_detail::Slot(fields[i], member) == member) return int(i);
  return -1;
}

// The field of a member; null for a member the table does not list.
template <class P, class T>
constexpr const TParamField<P>* FieldOf(T P::*member) {
  const int i = FieldIndex<P>(member);
  return i < 0 ? nullptr : &TParamTable<P>::Fields[size_t(i)];
}

// The range of one field; null for a member the table does not list.
template <class P, class T>
constexpr const TParamRange* RangeOf(T P::*member) {
  const TParamField<P>* f = FieldOf<P>(member);
  return f ? &f->Range : nullptr;
}

// Every field within its hard range.
template <class P>
constexpr bool InHardRange(const P& p) {
  for (const TParamField<P>& f : TParamTable<P>::Fields)
    if (!f.Range.Accepts(GetParam(p, f))) return false;
  return true;
}

// Every field that has a neutral value at it, and at least one such field: the
// operation leaves the image as it is. Fields without a neutral value (a threshold, a
// radius, a channel choice) do not count.
template <class P>
constexpr bool IsNeutral(const P& p) {
  bool any = false;
  for (const TParamField<P>& f : TParamTable<P>::Fields) {
    if (!f.Range.HasNeutral()) continue;
    if (GetParam(p, f) != *f.Range.Neutral) return false;
    any = true;
  }
  return any;
}

// Every field brought into its hard range, as values read from outside (a settings
// file, a plug-in) must be before an operation takes them.
template <class P>
constexpr void ClampToHardRange(P& p) {
  for (const TParamField<P>& f : TParamTable<P>::Fields) SetParam(p, f, GetParam(p, f));
}

// --- Soundness of a table -------------------------------------------------------------------

// What is wrong with a range, or null: the control's range inside the hard one and not
// empty, the default inside the control's range and a value of its kind, the neutral
// value (where there is one) inside the hard range and of its kind.
constexpr const char* RangeFault(const TParamRange& r) {
  if (!(r.HardMin <= r.Min && r.Min < r.Max && r.Max <= r.HardMax))
    return "the control's range is empty or leaves the hard range";
  if (r.WholeNumbers() && (r.HardMin < -2147483648.0 || r.HardMax > 2147483647.0))
    return "the hard range leaves the numbers the member holds";
  const auto shown = [&r](double x) { return x >= r.Min && x <= r.Max; };
  if (!shown(r.Default.X) || (r.Kind == TParamKind::Point && !shown(r.Default.Y)))
    return "the default leaves the control's range";
  if (r.Clamp(r.Default) != r.Default) return "the default is not a value of its kind";
  if (r.Neutral && (!r.Accepts(*r.Neutral) || r.Clamp(*r.Neutral) != *r.Neutral))
    return "the neutral value leaves the hard range or is not a value of its kind";
  return nullptr;
}

namespace param_detail {
// Stands for any member's initialiser, in an unevaluated braced list only.
struct TAnyInitialiser {
  template <class T>
  constexpr operator T() const noexcept;
};
template <class P, size_t... I>
constexpr bool TakesInitialisers(std::index_sequence<I...>) {
  return requires { P{(void(I), TAnyInitialiser{})...}; };
}
// The members of the aggregate P: the longest braced list it takes.
template <class P, size_t N = 0>
constexpr size_t MemberCount() {
  if constexpr (N < 64 && TakesInitialisers<P>(std::make_index_sequence<N + 1>{}))
    return MemberCount<P, N + 1>();
  else
    return N;
}
template <class P>
constexpr int SlotsSet(const TParamField<P>& f) {
  return (f.Int != nullptr) + (f.Double != nullptr) + (f.Bool != nullptr) + (f.Color != nullptr) +
         (f.Point != nullptr);
}
constexpr bool SameName(const char* a, const char* b) {
  while (*a && *a == *b) ++a, ++b;
  return *a == *b;
}
}  // namespace param_detail

// What is wrong with P's table, or null: it lists every member of P exactly once, under
// names of their own, each with a range that holds (RangeFault).
template <class P>
constexpr const char* ParamTableFault() {
  const auto& fields = TParamTable<P>::Fields;
  if (fields.size() != param_detail::MemberCount<P>()) return "the table does not list every member of its struct";
  for (size_t i = 0; i < fields.size(); ++i) {
    const TParamField<P>& f = fields[i];
    if (!f.Name || !*f.Name) return "a field has no name";
    if (param_detail::SlotsSet(f) != 1) return "a field names no member";
    if (const char* fault = RangeFault(f.Range)) return fault;
    for (size_t j = 0; j < i; ++j) {
      const TParamField<P>& g = fields[j];
      if (param_detail::SameName(f.Name, g.Name)) return "two fields share a name";
      if ((f.Int && f.Int == g.Int) || (f.Double && f.Double == g.Double) || (f.Bool && f.Bool == g.Bool) ||
          (f.Color && f.Color == g.Color) || (f.Point && f.Point == g.Point))
        return "a member is listed twice";
    }
  }
  return nullptr;
}

// The struct at its table's defaults: the values of a dialog's first showing, and of
// anything that runs the operation without a dialog.
template <class P>
constexpr P DefaultParams() {
  static_assert(ParamTableFault<P>() == nullptr, "the parameter table is unsound: ParamTableFault<P>() says why");
  P p{};
  for (const TParamField<P>& f : TParamTable<P>::Fields) SetParam(p, f, f.Range.Default);
  return p;
}

// --- Stored values ----------------------------------------------------------------------------

// A value as text for a settings file, the same in every locale: a whole number in
// decimal, a real number in its shortest exact form ("0.5"), a switch "1" or "0", a
// colour "#RRGGBB", a point "x,y".
std::string ParamText(const TParamRange& range, TParamValue v);
// The value of such a text, clamped into the range; false (and v as it was) for a text
// that is not one (blanks around it are allowed).
bool ParamFromText(const TParamRange& range, std::string_view text, TParamValue& v);

template <class P>
std::string FieldText(const P& p, const TParamField<P>& f) {
  return ParamText(f.Range, GetParam(p, f));
}
template <class P>
bool SetFieldFromText(P& p, const TParamField<P>& f, std::string_view text) {
  TParamValue v;
  if (!ParamFromText(f.Range, text, v)) return false;
  SetParam(p, f, v);
  return true;
}

}  // namespace qm
