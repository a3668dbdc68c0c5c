#include "pixel/Params.h"

#include <charconv>
#include <system_error>

namespace qm {
namespace {

std::string_view Trimmed(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
  return s;
}

// The whole text as one number; from_chars takes no locale, so a stored "0.5" reads the
// same whatever the user's decimal separator.
template <class T>
bool Whole(std::string_view s, T& out) {
  if (!s.empty() && s.front() == '+') s.remove_prefix(1);
  const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), out);
  return ec == std::errc() && end == s.data() + s.size() && !s.empty();
}

std::string Number(double x) {
  char buf[32];
  const auto [end, ec] = std::to_chars(buf, buf + sizeof buf, x);
  return std::string(buf, ec == std::errc() ? end : buf);
}

std::string Integer(double x) { return std::to_string(int64_t(x)); }

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

}  // namespace

std::string ParamText(const TParamRange& range, TParamValue v) {
  switch (range.Kind) {
    case TParamKind::Double: return Number(v.X);
    case TParamKind::Bool: return v.X != 0 ? "1" : "0";
    case TParamKind::Color: {
      static const char kHex[] = "0123456789ABCDEF";
      const TColor c = TColor(range.Clamp(v).X);
      std::string s = "#";
      for (const uint8_t byte : {GetRValue(c), GetGValue(c), GetBValue(c)}) {
        s += kHex[byte >> 4];
        s += kHex[byte & 15];
      }
      return s;
    }
    case TParamKind::Point: return Integer(v.X) + "," + Integer(v.Y);
    default: return Integer(v.X);
  }
}

bool ParamFromText(const TParamRange& range, std::string_view text, TParamValue& v) {
  text = Trimmed(text);
  TParamValue read;
  switch (range.Kind) {
    case TParamKind::Double:
      if (!Whole(text, read.X) || read.X != read.X) return false;
      break;
    case TParamKind::Bool:
      if (text != "0" && text != "1") return false;
      read.X = text == "1" ? 1 : 0;
      break;
    case TParamKind::Color: {
      if (text.size() != 7 || text[0] != '#') return false;
      int rgb[3];
      for (int k = 0; k < 3; ++k) {
        const int hi = HexDigit(text[1 + 2 * k]), lo = HexDigit(text[2 + 2 * k]);
        if (hi < 0 || lo < 0) return false;
        rgb[k] = hi * 16 + lo;
      }
      read.X = RGB(rgb[0], rgb[1], rgb[2]);
      break;
    }
    case TParamKind::Point: {
      const size_t comma = text.find(',');
      int64_t x = 0, y = 0;
      if (comma == std::string_view::npos || !Whole(Trimmed(text.substr(0, comma)), x) ||
          !Whole(Trimmed(text.substr(comma + 1)), y))
        return false;
      read = TParamValue(double(x), double(y));
      break;
    }
    default: {
      int64_t n = 0;
      if (!Whole(text, n)) return false;
      read.X = double(n);
      break;
    }
  }
  v = range.Clamp(read);
  return true;
}

}  // namespace qm
