#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <stdexcept>
#include <string>

#include "pixel/Params.h"
#include "platform/core/Colors.h"

namespace qm {
namespace {

// One field of each kind, declared as an operation's struct declares them.
struct TEveryKind {
  int Amount;
  double Gamma;
  bool Invert;
  TColor Tint;
  int Mode;
  TPoint Offset;
};

// Tables that do not hold, each for one reason.
struct TMissing {
  int A, B;
};
struct TTwice {
  int A, B;
};
struct TWide {
  int A;
};
struct TOffDefault {
  double A;
};
struct TBadNeutral {
  int A;
};
struct TPointOffDefault {
  TPoint A;
};

}  // namespace

template <>
struct TParamTable<TEveryKind> {
  static constexpr std::array Fields{
      IntParam("Amount", &TEveryKind::Amount, {-100, 100}, {-50, 50}, 10, 0),
      DoubleParam("Gamma", &TEveryKind::Gamma, {0.1, 10}, {0.1, 3}, 1.0, 1.0),
      BoolParam("Invert", &TEveryKind::Invert, false),
      ColorParam("Tint", &TEveryKind::Tint, RGB(128, 0, 0)),
      ChoiceParam("Mode", &TEveryKind::Mode, 4, 2),
      PointParam("Offset", &TEveryKind::Offset, {-1000, 1000}, {-50, 50}, TPoint{3, -4}, TPoint{0, 0}),
  };
};
template <>
struct TParamTable<TMissing> {
  static constexpr std::array Fields{IntParam("A", &TMissing::A, {0, 9}, {0, 9}, 1)};
};
template <>
struct TParamTable<TTwice> {
  static constexpr std::array Fields{IntParam("A", &TTwice::A, {0, 9}, {0, 9}, 1),
                                     IntParam("B", &TTwice::A, {0, 9}, {0, 9}, 1)};
};
template <>
struct TParamTable<TWide> {
  static constexpr std::array Fields{IntParam("A", &TWide::A, {0, 9}, {0, 10}, 1)};
};
template <>
struct TParamTable<TOffDefault> {
  static constexpr std::array Fields{DoubleParam("A", &TOffDefault::A, {0, 9}, {1, 2}, 2.5)};
};
template <>
struct TParamTable<TBadNeutral> {
  static constexpr std::array Fields{IntParam("A", &TBadNeutral::A, {0, 9}, {0, 9}, 1, -1)};
};
template <>
struct TParamTable<TPointOffDefault> {
  static constexpr std::array Fields{PointParam("A", &TPointOffDefault::A, {0, 9}, {0, 5}, TPoint{1, 7})};
};

namespace {

const TParamField<TEveryKind>& Field(std::string_view name) {
  for (const auto& f : TParamTable<TEveryKind>::Fields)
    if (name == f.Name) return f;
  throw std::invalid_argument(std::string(name));
}

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

}  // namespace

// The defaults are the table's, at compile time, for every kind.
TEST(Params, DefaultsComeFromTheTable) {
  constexpr TEveryKind d = DefaultParams<TEveryKind>();
  static_assert(d.Amount == 10 && d.Gamma == 1.0 && !d.Invert && d.Tint == RGB(128, 0, 0) && d.Mode == 2 &&
                d.Offset == TPoint{3, -4});
  for (const auto& f : TParamTable<TEveryKind>::Fields) EXPECT_EQ(GetParam(d, f), f.Range.Default) << f.Name;
  EXPECT_TRUE(InHardRange(d));
  EXPECT_FALSE(IsNeutral(d));  // Amount and Offset are off their neutral values
}

// A value reaches a field within its hard range, as its kind has it.
TEST(Params, ValuesAreClampedByKind) {
  const struct {
    const char* Field;
    TParamValue In, Stored;
  } rows[] = {
      {"Amount", 500, 100},           {"Amount", -101, -100},
      {"Amount", 2.5, 3},             {"Amount", -2.5, -3},
      {"Amount", kNaN, 10},           {"Gamma", 0, 0.1},
      {"Gamma", 11, 10},              {"Gamma", 2.25, 2.25},
      {"Gamma", kNaN, 1.0},           {"Invert", 2, 1},
      {"Invert", 0, 0},               {"Tint", 0xFFFFFF, 0xFFFFFF},
      {"Tint", 0x1000000, 0x80},      {"Tint", double(clNone), 0x80},
      {"Tint", double(clBtnFace), 0x80}, {"Tint", 3.5, 0x80},
      {"Mode", 4, 3},                 {"Mode", -1, 0},
      {"Offset", {-5000, 5000}, {-1000, 1000}}, {"Offset", {1.4, -1.6}, {1, -2}},
  };
  for (const auto& r : rows) {
    TEveryKind p = DefaultParams<TEveryKind>();
    SetParam(p, Field(r.Field), r.In);
    EXPECT_EQ(GetParam(p, Field(r.Field)), r.Stored) << r.Field << " " << r.In.X << "," << r.In.Y;
    EXPECT_TRUE(InHardRange(p));
  }
}

// Any field outside its hard range puts the whole set outside; only the fields with a
// neutral value decide neutrality.
TEST(Params, HardRangesAndNeutralValues) {
  const TEveryKind d = DefaultParams<TEveryKind>();
  TEveryKind p = d;
  for (auto outside : {+[](TEveryKind& q) { q.Amount = 101; }, +[](TEveryKind& q) { q.Gamma = 0.05; },
                       +[](TEveryKind& q) { q.Gamma = kNaN; }, +[](TEveryKind& q) { q.Tint = clNone; },
                       +[](TEveryKind& q) { q.Mode = 4; }, +[](TEveryKind& q) { q.Offset = {0, 1001}; }}) {
    p = d;
    outside(p);
    EXPECT_FALSE(InHardRange(p));
    ClampToHardRange(p);
    EXPECT_TRUE(InHardRange(p));
  }

  TEveryKind n = d;
  n.Amount = 0;
  n.Offset = {0, 0};
  EXPECT_TRUE(IsNeutral(n));
  n.Invert = true;
  n.Tint = clWhite;
  n.Mode = 0;
  EXPECT_TRUE(IsNeutral(n));  // no neutral value: they do not count
  for (auto off : {+[](TEveryKind& q) { q.Gamma = 1.01; }, +[](TEveryKind& q) { q.Offset.Y = 1; },
                   +[](TEveryKind& q) { q.Amount = -1; }}) {
    p = n;
    off(p);
    EXPECT_FALSE(IsNeutral(p));
  }
}

// Every member finds its field, whatever its type; a member the table does not list
// finds none.
TEST(Params, FieldsFoundByTheirMembers) {
  const auto& fields = TParamTable<TEveryKind>::Fields;
  EXPECT_EQ(FieldIndex<TEveryKind>(&TEveryKind::Amount), 0);
  EXPECT_EQ(FieldIndex<TEveryKind>(&TEveryKind::Gamma), 1);
  EXPECT_EQ(FieldIndex<TEveryKind>(&TEveryKind::Invert), 2);
  EXPECT_EQ(FieldIndex<TEveryKind>(&TEveryKind::Tint), 3);
  EXPECT_EQ(FieldIndex<TEveryKind>(&TEveryKind::Mode), 4);
  EXPECT_EQ(FieldIndex<TEveryKind>(&TEveryKind::Offset), 5);
  EXPECT_EQ(FieldOf<TEveryKind>(&TEveryKind::Mode), &fields[4]);
  EXPECT_EQ(RangeOf<TEveryKind>(&TEveryKind::Offset), &fields[5].Range);
  EXPECT_EQ(FieldIndex<TMissing>(&TMissing::B), -1);
  EXPECT_EQ(RangeOf<TMissing>(&TMissing::B), nullptr);
}

// Stored values: the same text in any locale, read back clamped, refused when malformed.
TEST(Params, ValuesAsText) {
  const TEveryKind d = DefaultParams<TEveryKind>();
  const char* shown[] = {"10", "1", "0", "#800000", "2", "3,-4"};
  for (size_t i = 0; i < 6; ++i) {
    const auto& f = TParamTable<TEveryKind>::Fields[i];
    EXPECT_EQ(FieldText(d, f), shown[i]);
    TEveryKind p = d;
    EXPECT_TRUE(SetFieldFromText(p, f, shown[i]));
    EXPECT_EQ(GetParam(p, f), GetParam(d, f)) << f.Name;
  }
  const struct {
    const char* Field;
    const char* Text;
    bool Read;
    TParamValue Value;
  } rows[] = {
      {"Amount", " 42 ", true, 42},          {"Amount", "+7", true, 7},
      {"Amount", "500", true, 100},          {"Amount", "4x", false, {}},
      {"Amount", "", false, {}},             {"Amount", "99999999999999999999", false, {}},
      {"Gamma", "0.25", true, 0.25},         {"Gamma", "1e-3", true, 0.1},
      {"Gamma", "0,25", false, {}},          {"Gamma", "nan", false, {}},
      {"Invert", "1", true, 1},              {"Invert", "yes", false, {}},
      {"Tint", "#00FF80", true, double(RGB(0, 255, 128))}, {"Tint", "#00ff8", false, {}},
      {"Tint", "clRed", false, {}},          {"Mode", "9", true, 3},
      {"Offset", "7, 8", true, {7, 8}},      {"Offset", "7", false, {}},
      {"Offset", "-2000,0", true, {-1000, 0}},
  };
  for (const auto& r : rows) {
    TEveryKind p = d;
    EXPECT_EQ(SetFieldFromText(p, Field(r.Field), r.Text), r.Read) << r.Field << " '" << r.Text << "'";
    EXPECT_EQ(GetParam(p, Field(r.Field)), r.Read ? r.Value : GetParam(d, Field(r.Field))) << r.Text;
  }
  TParamValue g;
  ASSERT_TRUE(ParamFromText(Field("Gamma").Range, ParamText(Field("Gamma").Range, 0.1 + 0.2), g));
  EXPECT_EQ(g.X, 0.1 + 0.2);  // the shortest text that reads back exactly
}

// A table that does not hold says why; DefaultParams refuses to compile over it.
TEST(Params, UnsoundTablesSayWhy) {
  EXPECT_EQ(ParamTableFault<TEveryKind>(), nullptr);
  EXPECT_STREQ(ParamTableFault<TMissing>(), "the table does not list every member of its struct");
  EXPECT_STREQ(ParamTableFault<TTwice>(), "a member is listed twice");
  EXPECT_STREQ(ParamTableFault<TWide>(), "the control's range is empty or leaves the hard range");
  EXPECT_STREQ(ParamTableFault<TOffDefault>(), "the default leaves the control's range");
  EXPECT_STREQ(ParamTableFault<TBadNeutral>(),
               "the neutral value leaves the hard range or is not a value of its kind");
  EXPECT_STREQ(ParamTableFault<TPointOffDefault>(), "the default leaves the control's range");
  static_assert(param_detail::MemberCount<TEveryKind>() == 6);
}

}  // namespace qm
