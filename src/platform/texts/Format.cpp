#include "platform/texts/Format.h"

#include <locale.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "platform/texts/TextUtils.h"

namespace qm {
namespace {

// Widths and precisions beyond these come only from a broken or hostile format
// string; they are cut so that one placeholder cannot ask for gigabytes.
constexpr int kMaxWidth = 1024;
constexpr int kMaxFloatPrecision = 18;

// printf takes its decimal point from the process locale, which the GUI toolkit sets
// from the user's environment at start-up ("1,50" on a French desktop). Everything
// below reads C's "." and puts the configured separator in afterwards, so the numbers
// are printed in the C locale, on this thread only.
class TCNumbers {
 public:
  TCNumbers() {
    static const locale_t c = newlocale(LC_ALL_MASK, "C", locale_t(0));
    if (c) previous_ = uselocale(c);
  }
  ~TCNumbers() {
    if (previous_) uselocale(previous_);
  }
  TCNumbers(const TCNumbers&) = delete;
  TCNumbers& operator=(const TCNumbers&) = delete;

 private:
  locale_t previous_ = locale_t(0);
};

// Our own, well-formed printf formats only.
std::string PrintfDouble(const char* fmt, int precision, double v) {
  const TCNumbers cNumbers;
  char buf[64];
  int n = std::snprintf(buf, sizeof buf, fmt, precision, v);
  if (n < 0) return {};
  if (size_t(n) < sizeof buf) return std::string(buf, size_t(n));
  std::string big(size_t(n) + 1, '\0');
  std::snprintf(big.data(), big.size(), fmt, precision, v);
  big.resize(size_t(n));
  return big;
}

bool NonFinite(double v, std::string& out) {
  if (std::isnan(v)) {
    out = "NAN";
    return true;
  }
  if (std::isinf(v)) {
    out = v < 0 ? "-INF" : "INF";
    return true;
  }
  return false;
}

// Replaces the C decimal point of a printed number by the configured separator.
std::string Localise(std::string s) {
  const auto dot = s.find('.');
  if (dot != std::string::npos) s.replace(dot, 1, FormatSettings().DecimalSeparator);
  return s;
}

// Inserts thousand separators into the integer digits of a printed number.
std::string Group(std::string s) {
  size_t start = (!s.empty() && (s[0] == '-' || s[0] == '+')) ? 1 : 0;
  size_t end = s.find('.');
  if (end == std::string::npos) end = s.size();
  const std::string& sep = FormatSettings().ThousandSeparator;
  for (ptrdiff_t pos = ptrdiff_t(end) - 3; pos > ptrdiff_t(start); pos -= 3) s.insert(size_t(pos), sep);
  return s;
}

std::string Fixed(double v, int precision) {
  std::string s;
  if (NonFinite(v, s)) return s;
  return PrintfDouble("%.*f", precision, v);
}

// Scientific with `digits` significant digits and at least three exponent digits:
// 1234.5 with 3 digits gives "1.23E+003".
std::string Scientific(double v, int digits) {
  std::string s;
  if (NonFinite(v, s)) return s;
  if (digits < 1) digits = 1;
  s = PrintfDouble("%.*E", digits - 1, v);
  const auto e = s.find('E');
  if (e == std::string::npos || e + 2 > s.size()) return s;
  std::string mant = s.substr(0, e), exp = s.substr(e + 2);
  while (exp.size() < 3) exp.insert(exp.begin(), '0');
  return mant + "E" + s[e + 1] + exp;
}

std::string StripTrailingZeros(std::string s) {
  const auto dot = s.find('.');
  if (dot == std::string::npos) return s;
  size_t end = s.size();
  while (end > dot + 1 && s[end - 1] == '0') --end;
  if (end == dot + 1) end = dot;
  s.erase(end);
  return s;
}

// General form with C's decimal point.
std::string General(double v, int precision) {
  std::string s;
  if (NonFinite(v, s)) return s;
  if (v == 0) return "0";
  if (precision < 1) precision = 1;
  // The decimal exponent after rounding to `precision` digits.
  const std::string sci = PrintfDouble("%.*e", precision - 1, v);
  const auto e = sci.find('e');
  const int exp10 = e == std::string::npos ? 0 : std::atoi(sci.c_str() + e + 1);
  if (exp10 < precision && std::fabs(v) >= 0.00001) {
    return StripTrailingZeros(PrintfDouble("%.*f", std::max(0, precision - 1 - exp10), v));
  }
  std::string mant = StripTrailingZeros(sci.substr(0, e));
  std::string exp = sci.substr(e + 2);
  while (exp.size() > 1 && exp[0] == '0') exp.erase(0, 1);
  while (exp.size() < 2) exp.insert(exp.begin(), '0');
  return mant + "E" + sci[e + 1] + exp;
}

std::string PadTo(std::string s, int width, bool left) {
  const int len = int(Utf8Length(s));
  if (width > len) {
    if (left)
      s.append(size_t(width - len), ' ');
    else
      s.insert(0, size_t(width - len), ' ');
  }
  return s;
}

// One placeholder of a format string, as parsed after its "%".
struct TPlaceholder {
  bool HasIndex = false, IndexStar = false;
  int Index = 0;
  bool Left = false;
  bool WidthStar = false;
  int Width = -1;
  bool PrecStar = false;
  int Prec = -1;
  char Type = 0;  // lower case
};

// Parses the placeholder after its "%": returns the length consumed, 0 when malformed.
size_t ParsePlaceholder(std::string_view f, size_t pos, TPlaceholder& ph) {
  size_t i = pos;
  auto number = [&](int& out) {
    size_t start = i;
    long long v = 0;
    while (i < f.size() && f[i] >= '0' && f[i] <= '9') {
      if (v < 100000000) v = v * 10 + (f[i] - '0');
      ++i;
    }
    out = int(v);
    return i > start;
  };
  // An index is a number or "*" followed by ":"; otherwise the same characters are
  // the width.
  {
    size_t save = i;
    int n = 0;
    bool star = false;
    if (i < f.size() && f[i] == '*') {
      star = true;
      ++i;
    } else if (!number(n)) {
      i = save;
    }
    if (i < f.size() && f[i] == ':' && i > save) {
      ph.HasIndex = true;
      ph.IndexStar = star;
      ph.Index = n;
      ++i;
    } else {
      i = save;
    }
  }
  if (i < f.size() && f[i] == '-') {
    ph.Left = true;
    ++i;
  }
  if (i < f.size() && f[i] == '*') {
    ph.WidthStar = true;
    ++i;
  } else {
    int n = 0;
    if (number(n)) ph.Width = n;
  }
  if (i < f.size() && f[i] == '.') {
    ++i;
    if (i < f.size() && f[i] == '*') {
      ph.PrecStar = true;
      ++i;
    } else {
      int n = 0;
      if (!number(n)) n = 0;
      ph.Prec = n;
    }
  }
  if (i >= f.size()) return 0;
  char t = f[i];
  if (t >= 'A' && t <= 'Z') t = char(t - 'A' + 'a');
  switch (t) {
    case 'd': case 'u': case 'x': case 'e': case 'f': case 'g': case 'n': case 'm': case 's':
      ph.Type = t;
      return i + 1 - pos;
    default:
      return 0;
  }
}

TFormatArg::Kind KindOf(char type) {
  switch (type) {
    case 'd': case 'u': case 'x': return TFormatArg::Kind::Int;
    case 's': return TFormatArg::Kind::Text;
    default: return TFormatArg::Kind::Float;
  }
}

std::string FormatInt(char type, int64_t v, int prec) {
  std::string digits;
  bool neg = false;
  if (type == 'd') {
    neg = v < 0;
    uint64_t u = neg ? uint64_t(0) - uint64_t(v) : uint64_t(v);
    digits = std::to_string(u);
  } else {
    // Negative values show as their 32-bit pattern when they fit 32 bits.
    uint64_t u = (v < 0 && v >= INT32_MIN) ? uint64_t(uint32_t(int32_t(v))) : uint64_t(v);
    if (type == 'u') {
      digits = std::to_string(u);
    } else {
      static const char hex[] = "0123456789ABCDEF";
      do {
        digits.insert(digits.begin(), hex[u & 15]);
        u >>= 4;
      } while (u);
    }
  }
  if (prec > 0 && int(digits.size()) < prec) digits.insert(0, size_t(prec) - digits.size(), '0');
  return neg ? "-" + digits : digits;
}

std::string FormatFloatByType(char type, double v, int prec) {
  switch (type) {
    case 'e': return Localise(Scientific(v, prec < 0 ? 15 : std::min(prec, kMaxFloatPrecision)));
    case 'g': return Localise(General(v, prec < 0 ? 15 : std::min(std::max(prec, 1), kMaxFloatPrecision)));
    case 'n':
    case 'm': {
      std::string s;
      if (NonFinite(v, s)) return s;
      return Localise(Group(Fixed(v, prec < 0 ? 2 : std::min(prec, kMaxFloatPrecision))));
    }
    default: return Localise(Fixed(v, prec < 0 ? 2 : std::min(prec, kMaxFloatPrecision)));
  }
}

}  // namespace

TFormatSettings& FormatSettings() {
  static TFormatSettings settings;
  return settings;
}

std::string Format(std::string_view f, std::initializer_list<TFormatArg> argList) {
  const TFormatArg* args = argList.begin();
  const int argCount = int(argList.size());
  std::string out;
  int next = 0;
  size_t i = 0;
  while (i < f.size()) {
    const size_t pct = f.find('%', i);
    if (pct == std::string_view::npos) {
      out.append(f.substr(i));
      break;
    }
    out.append(f.substr(i, pct - i));
    if (pct + 1 < f.size() && f[pct + 1] == '%') {
      out += '%';
      i = pct + 2;
      continue;
    }
    TPlaceholder ph;
    const size_t len = ParsePlaceholder(f, pct + 1, ph);
    if (len == 0) {
      out += '%';
      i = pct + 1;
      continue;
    }
    const std::string_view written = f.substr(pct, len + 1);
    i = pct + 1 + len;
    auto takeInt = [&](int& v) {
      if (next < 0 || next >= argCount || args[next].GetKind() != TFormatArg::Kind::Int) return false;
      v = int(std::max<int64_t>(-kMaxWidth, std::min<int64_t>(args[next].Int(), kMaxWidth)));
      ++next;
      return true;
    };
    bool ok = true;
    if (ph.HasIndex) {
      if (ph.IndexStar) ok = takeInt(ph.Index);
      next = ph.Index;
    }
    if (ok && ph.WidthStar) ok = takeInt(ph.Width);
    if (ok && ph.PrecStar) ok = takeInt(ph.Prec);
    if (ok && (next < 0 || next >= argCount)) ok = false;
    if (!ok) {
      out.append(written);
      continue;
    }
    const TFormatArg& a = args[next];
    const TFormatArg::Kind want = KindOf(ph.Type);
    std::string text;
    if (want == TFormatArg::Kind::Int && a.GetKind() == TFormatArg::Kind::Int) {
      text = FormatInt(ph.Type, a.Int(), std::min(ph.Prec, kMaxWidth));
    } else if (want == TFormatArg::Kind::Float && a.GetKind() != TFormatArg::Kind::Text) {
      const double v = a.GetKind() == TFormatArg::Kind::Float ? a.Float() : double(a.Int());
      text = FormatFloatByType(ph.Type, v, ph.Prec);
    } else if (want == TFormatArg::Kind::Text && a.GetKind() == TFormatArg::Kind::Text) {
      text = ph.Prec >= 0 ? Utf8Left(a.Text(), size_t(ph.Prec)) : std::string(a.Text());
    } else {
      out.append(written);
      continue;
    }
    ++next;
    out += PadTo(std::move(text), std::min(ph.Width, kMaxWidth), ph.Left);
  }
  return out;
}

std::string Format(TextId id, std::initializer_list<TFormatArg> args) { return Format(Tr(id), args); }

bool ParseFormatPlaceholders(std::string_view f, std::vector<TFormatPlaceholder>& out) {
  out.clear();
  int next = 0;
  size_t i = 0;
  while ((i = f.find('%', i)) != std::string_view::npos) {
    if (i + 1 < f.size() && f[i + 1] == '%') {
      i += 2;
      continue;
    }
    TPlaceholder ph;
    const size_t len = ParsePlaceholder(f, i + 1, ph);
    if (len == 0) return false;
    i += len + 1;
    if (ph.HasIndex) {
      // An index taken from the arguments cannot be checked ahead of formatting.
      if (ph.IndexStar) return false;
      next = ph.Index;
    }
    if (ph.WidthStar) out.push_back({next++, TFormatArg::Kind::Int});
    if (ph.PrecStar) out.push_back({next++, TFormatArg::Kind::Int});
    out.push_back({next++, KindOf(ph.Type)});
  }
  return true;
}

bool SameFormatPlaceholders(std::string_view a, std::string_view b) {
  std::vector<TFormatPlaceholder> pa, pb;
  if (!ParseFormatPlaceholders(a, pa) || !ParseFormatPlaceholders(b, pb)) return false;
  auto normalise = [](std::vector<TFormatPlaceholder>& v) {
    std::sort(v.begin(), v.end(), [](const TFormatPlaceholder& x, const TFormatPlaceholder& y) {
      return x.ArgIndex != y.ArgIndex ? x.ArgIndex < y.ArgIndex : int(x.Kind) < int(y.Kind);
    });
    v.erase(std::unique(v.begin(), v.end()), v.end());
  };
  normalise(pa);
  normalise(pb);
  return pa == pb;
}

std::string FloatToStrGeneral(double value, int precision) {
  return Localise(General(value, std::min(std::max(precision, 1), kMaxFloatPrecision)));
}

namespace {

// One section of a FormatFloat picture, read into its parts.
struct TPicture {
  std::string Prefix, Suffix;  // literal text before the first and after the last digit
  int IntZeros = 0;            // "0" before the decimal point
  bool Thousands = false;
  bool HasPoint = false;
  int DecZeros = 0, DecHashes = 0;
  bool Sci = false;
  char SciChar = 'E';
  bool SciPlus = false;  // "E+" shows the sign of positive exponents
  int ExpZeros = 0;
  bool AnyDigit = false;
};

TPicture ReadPicture(std::string_view s) {
  TPicture p;
  bool seenDigit = false, afterPoint = false;
  std::string pending;  // literal text met since the last digit
  for (size_t i = 0; i < s.size(); ++i) {
    const char c = s[i];
    if (c == '"' || c == '\'') {
      const size_t close = s.find(c, i + 1);
      const size_t end = close == std::string_view::npos ? s.size() : close;
      pending.append(s.substr(i + 1, end - i - 1));
      i = end;
      continue;
    }
    if ((c == 'E' || c == 'e') && i + 1 < s.size() && (s[i + 1] == '+' || s[i + 1] == '-') && !p.Sci) {
      p.Sci = true;
      p.SciChar = c;
      p.SciPlus = s[i + 1] == '+';
      i += 2;
      while (i < s.size() && s[i] == '0') {
        ++p.ExpZeros;
        ++i;
      }
      --i;
      seenDigit = true;
      pending.clear();
      continue;
    }
    if (c == '0' || c == '#') {
      if (!seenDigit) p.Prefix += pending;
      pending.clear();
      seenDigit = true;
      p.AnyDigit = true;
      if (p.Sci) continue;
      if (afterPoint) {
        if (c == '0') p.DecZeros += 1 + p.DecHashes, p.DecHashes = 0;
        else ++p.DecHashes;
      } else if (c == '0') {
        ++p.IntZeros;
      }
      continue;
    }
    if (c == '.' && !afterPoint && !p.Sci) {
      if (!seenDigit) p.Prefix += pending;
      pending.clear();
      afterPoint = true;
      p.HasPoint = true;
      seenDigit = true;
      continue;
    }
    if (c == ',' && !afterPoint && !p.Sci) {
      if (seenDigit) {
        p.Thousands = true;
        continue;
      }
    }
    pending += c;
  }
  if (seenDigit)
    p.Suffix = pending;
  else
    p.Prefix += pending;
  return p;
}

std::string ApplyPicture(const TPicture& p, double v) {
  // v is not negative here: the sign is the caller's.
  if (!p.AnyDigit && !p.HasPoint) return p.Prefix + p.Suffix;
  const int maxDec = p.DecZeros + p.DecHashes;
  std::string body;
  if (p.Sci) {
    const int intDigits = std::max(1, p.IntZeros);
    int exp10 = 0;
    double mant = v;
    if (v != 0) {
      exp10 = int(std::floor(std::log10(v))) - (intDigits - 1);
      mant = v / std::pow(10.0, exp10);
      // Rounding may carry into another digit.
      std::string probe = PrintfDouble("%.*f", maxDec, mant);
      if (std::atof(probe.c_str()) >= std::pow(10.0, intDigits)) {
        ++exp10;
        mant = v / std::pow(10.0, exp10);
      }
    }
    body = PrintfDouble("%.*f", maxDec, mant);
    std::string e = std::to_string(std::abs(exp10));
    while (int(e.size()) < p.ExpZeros) e.insert(e.begin(), '0');
    const char* sign = exp10 < 0 ? "-" : (p.SciPlus ? "+" : "");
    body = StripTrailingZeros(body);
    // keep the required decimals
    auto dot = body.find('.');
    int have = dot == std::string::npos ? 0 : int(body.size() - dot - 1);
    if (have < p.DecZeros) {
      if (dot == std::string::npos) body += '.';
      body.append(size_t(p.DecZeros - have), '0');
    }
    body += std::string(1, p.SciChar) + sign + e;
  } else {
    body = PrintfDouble("%.*f", maxDec, v);
    auto dot = body.find('.');
    if (dot != std::string::npos) {
      size_t end = body.size();
      while (end > dot + 1 + size_t(p.DecZeros) && body[end - 1] == '0') --end;
      if (end == dot + 1) end = dot;
      body.erase(end);
    }
    dot = body.find('.');
    std::string intPart = body.substr(0, dot == std::string::npos ? body.size() : dot);
    std::string decPart = dot == std::string::npos ? "" : body.substr(dot);
    if (intPart == "0" && p.IntZeros == 0) intPart.clear();
    while (int(intPart.size()) < p.IntZeros) intPart.insert(intPart.begin(), '0');
    if (p.Thousands) intPart = Group(intPart);
    body = intPart + decPart;
  }
  return p.Prefix + Localise(body) + p.Suffix;
}

std::vector<std::string_view> SplitSections(std::string_view s) {
  std::vector<std::string_view> out;
  size_t start = 0;
  char quote = 0;
  for (size_t i = 0; i < s.size(); ++i) {
    if (quote) {
      if (s[i] == quote) quote = 0;
    } else if (s[i] == '"' || s[i] == '\'') {
      quote = s[i];
    } else if (s[i] == ';') {
      out.push_back(s.substr(start, i - start));
      start = i + 1;
    }
  }
  out.push_back(s.substr(start));
  return out;
}

}  // namespace

std::string FormatFloat(std::string_view picture, double value) {
  if (picture.empty()) return FloatToStrGeneral(value, 15);
  std::string special;
  if (NonFinite(value, special)) return special;
  const auto sections = SplitSections(picture);
  const TPicture pos = ReadPicture(sections[0]);
  // The zero section applies when the value shows as zero in the positive picture.
  const bool hasZero = sections.size() >= 3 && !sections[2].empty();
  const bool hasNeg = sections.size() >= 2 && !sections[1].empty();
  auto isZeroIn = [&](const TPicture& p) {
    const std::string s = ApplyPicture(p, std::fabs(value));
    for (char c : s)
      if (c >= '1' && c <= '9') return false;
    return true;
  };
  if (hasZero && isZeroIn(pos)) return ApplyPicture(ReadPicture(sections[2]), 0.0);
  if (value < 0) {
    if (hasNeg) return ApplyPicture(ReadPicture(sections[1]), -value);
    if (isZeroIn(pos)) return ApplyPicture(pos, 0.0);
    return "-" + ApplyPicture(pos, -value);
  }
  return ApplyPicture(pos, value);
}

}  // namespace qm
