#pragma once
// Formatting of the interface's format strings ("Opacité : %d%%", "%.2f dpi"): our
// own typed formatter, so a format string from a translation never reaches a
// printf-style call. Placeholders follow the classic
//   "%" [index ":"] ["-"] [width] ["." precision] type
// with the types d (integer; the precision is the minimum number of digits),
// u (unsigned), x (upper-case hexadecimal), e (scientific, precision = significant
// digits, 15 by default, at least three exponent digits), f (fixed, 2 decimals by
// default), g (shortest of fixed and scientific, 15 significant digits by default),
// n and m (fixed with thousand separators), s (text; the precision cuts it); "*" takes
// a width, precision or index from the arguments; "%%" is a percent sign. Widths and
// precisions count characters, not bytes.
//
// A placeholder that is malformed, lacks its argument or does not suit it is copied to
// the result as written; nothing throws.
#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

#include "platform/texts/UiTexts.h"

namespace qm {

// The separators numbers are shown with. The shell sets them from the user's locale
// at start-up; until then they are "." and ",".
struct TFormatSettings {
  std::string DecimalSeparator = ".";
  std::string ThousandSeparator = ",";
};
TFormatSettings& FormatSettings();

// One argument of Format: an integer, a floating value or a text. A text argument
// only refers to its characters: it must outlive the call, as temporaries in the
// argument list do.
class TFormatArg {
 public:
  enum class Kind { Int, Float, Text };
  TFormatArg(int v) : kind_(Kind::Int), int_(v) {}
  TFormatArg(unsigned v) : kind_(Kind::Int), int_(v) {}
  TFormatArg(long v) : kind_(Kind::Int), int_(v) {}
  TFormatArg(long long v) : kind_(Kind::Int), int_(v) {}
  TFormatArg(unsigned long v) : kind_(Kind::Int), int_(int64_t(v)) {}
  TFormatArg(unsigned long long v) : kind_(Kind::Int), int_(int64_t(v)) {}
  TFormatArg(double v) : kind_(Kind::Float), float_(v) {}
  TFormatArg(float v) : kind_(Kind::Float), float_(v) {}
  TFormatArg(const char* v) : kind_(Kind::Text), text_(v ? v : "") {}
  TFormatArg(const std::string& v) : kind_(Kind::Text), text_(v) {}
  TFormatArg(std::string_view v) : kind_(Kind::Text), text_(v) {}

  Kind GetKind() const { return kind_; }
  int64_t Int() const { return int_; }
  double Float() const { return float_; }
  std::string_view Text() const { return text_; }

 private:
  Kind kind_;
  int64_t int_ = 0;
  double float_ = 0;
  std::string_view text_;
};

std::string Format(std::string_view format, std::initializer_list<TFormatArg> args);
// Formats the current text of an entry.
std::string Format(TextId id, std::initializer_list<TFormatArg> args);

// The argument a placeholder consumes: its position in the argument list and the
// kind it needs (a "*" consumes an integer).
struct TFormatPlaceholder {
  int ArgIndex;
  TFormatArg::Kind Kind;
  friend bool operator==(const TFormatPlaceholder&, const TFormatPlaceholder&) = default;
};

// Lists the placeholders of a format string in order; false when one is malformed.
bool ParseFormatPlaceholders(std::string_view format, std::vector<TFormatPlaceholder>& out);

// True when both strings are well formed and use the same arguments with the same
// kinds (order, widths, precisions and the surrounding text may differ).
bool SameFormatPlaceholders(std::string_view a, std::string_view b);

// A floating value through a picture such as "0.00", "#,##0.0" or "0.00E+00":
// "0" a digit always shown, "#" a digit shown when significant, "." the decimal
// separator, "," (in the integer part) thousand separators, "E+" / "E-" an exponent,
// text in quotes copied; up to three sections separated by ";" for positive,
// negative and zero values. An empty picture gives the general form.
std::string FormatFloat(std::string_view picture, double value);

// The general form: the shortest text of the value with at most `precision`
// significant digits, in fixed notation unless the exponent calls for scientific.
std::string FloatToStrGeneral(double value, int precision = 15);

}  // namespace qm
