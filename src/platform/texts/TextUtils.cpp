#include "platform/texts/TextUtils.h"

#include <charconv>
#include <cmath>

#include "platform/core/Colors.h"
#include "platform/core/Numeric.h"
#include "platform/texts/Format.h"
#include "platform/texts/UiTexts.h"

namespace qm {
namespace {

// A byte that does not start a well-formed sequence: one character of its own that
// no case mapping touches.
constexpr uint32_t kMalformed = 0x80000000u;

// Decodes one code point at i (advancing i).
uint32_t DecodeAt(std::string_view s, size_t& i) {
  const auto b0 = uint8_t(s[i]);
  const size_t extra = b0 >= 0xF0 ? 3 : b0 >= 0xE0 ? 2 : b0 >= 0xC0 ? 1 : 0;
  if (b0 < 0x80) {
    ++i;
    return b0;
  }
  if (extra == 0 || i + extra >= s.size()) {
    ++i;
    return kMalformed | b0;
  }
  uint32_t cp = b0 & (0x3F >> extra);
  for (size_t k = 1; k <= extra; ++k) {
    const auto b = uint8_t(s[i + k]);
    if ((b & 0xC0) != 0x80) {
      ++i;
      return kMalformed | b0;
    }
    cp = (cp << 6) | (b & 0x3F);
  }
  i += extra + 1;
  return cp;
}

void Encode(uint32_t cp, std::string& out) {
  if (cp < 0x80) {
    out += char(cp);
  } else if (cp < 0x800) {
    out += char(0xC0 | (cp >> 6));
    out += char(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    out += char(0xE0 | (cp >> 12));
    out += char(0x80 | ((cp >> 6) & 0x3F));
    out += char(0x80 | (cp & 0x3F));
  } else {
    out += char(0xF0 | (cp >> 18));
    out += char(0x80 | ((cp >> 12) & 0x3F));
    out += char(0x80 | ((cp >> 6) & 0x3F));
    out += char(0x80 | (cp & 0x3F));
  }
}

uint32_t ToUpper(uint32_t c) {
  if (c >= 'a' && c <= 'z') return c - 32;
  if (c >= 0xE0 && c <= 0xFE && c != 0xF7) return c - 32;
  if (c == 0xFF) return 0x178;
  if (c == 0x153) return 0x152;
  return c;
}

uint32_t ToLower(uint32_t c) {
  if (c >= 'A' && c <= 'Z') return c + 32;
  if (c >= 0xC0 && c <= 0xDE && c != 0xD7) return c + 32;
  if (c == 0x178) return 0xFF;
  if (c == 0x152) return 0x153;
  return c;
}

template <class F>
std::string MapChars(std::string_view s, F f) {
  std::string out;
  out.reserve(s.size());
  for (size_t i = 0; i < s.size();) {
    const size_t start = i;
    const uint32_t cp = DecodeAt(s, i);
    const uint32_t m = f(cp);
    if (m == cp)
      out.append(s.substr(start, i - start));  // keeps malformed bytes as they were
    else
      Encode(m, out);
  }
  return out;
}

bool IsBlank(char c) { return uint8_t(c) <= 0x20; }

bool IsHex(char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'); }

}  // namespace

// ---- UTF-8 ----------------------------------------------------------------------

size_t Utf8Length(std::string_view s) {
  size_t n = 0;
  for (size_t i = 0; i < s.size(); ++n) DecodeAt(s, i);
  return n;
}

std::string Utf8Left(std::string_view s, size_t n) {
  size_t i = 0;
  for (size_t k = 0; k < n && i < s.size(); ++k) DecodeAt(s, i);
  return std::string(s.substr(0, i));
}

std::string UpperCase(std::string_view s) { return MapChars(s, ToUpper); }
std::string LowerCase(std::string_view s) { return MapChars(s, ToLower); }

std::string UpperFirst(std::string_view s) {
  if (s.empty()) return {};
  size_t i = 0;
  DecodeAt(s, i);
  return UpperCase(s.substr(0, i)) + std::string(s.substr(i));
}

bool SameText(std::string_view a, std::string_view b) {
  if (a.size() == b.size() && a == b) return true;
  return LowerCase(a) == LowerCase(b);
}

size_t FindText(std::string_view text, std::string_view sub, bool ignoreCase) {
  if (!ignoreCase) return text.find(sub);
  // Lower-casing keeps the length of every letter we fold (both cases of a Latin letter
  // take the same number of bytes, and so do Œ / œ and Ÿ / ÿ), so positions carry over.
  const std::string t = LowerCase(text), s = LowerCase(sub);
  return t.find(s);
}

std::string Trim(std::string_view s) {
  size_t b = 0, e = s.size();
  while (b < e && IsBlank(s[b])) ++b;
  while (e > b && IsBlank(s[e - 1])) --e;
  return std::string(s.substr(b, e - b));
}

// ---- Numbers ----------------------------------------------------------------------

bool TryStrToInt64(std::string_view s, int64_t& out) {
  size_t i = 0;
  while (i < s.size() && s[i] == ' ') ++i;
  bool neg = false;
  if (i < s.size() && (s[i] == '+' || s[i] == '-')) {
    neg = s[i] == '-';
    ++i;
  }
  int base = 10;
  if (i < s.size() && s[i] == '$') {
    base = 16;
    ++i;
  } else if (i + 1 < s.size() && s[i] == '0' && (s[i + 1] == 'x' || s[i + 1] == 'X')) {
    base = 16;
    i += 2;
  }
  if (i >= s.size()) return false;
  uint64_t v = 0;
  const uint64_t limit = neg ? uint64_t(INT64_MAX) + 1 : uint64_t(INT64_MAX);
  for (; i < s.size(); ++i) {
    const char c = s[i];
    int d;
    if (c >= '0' && c <= '9') d = c - '0';
    else if (base == 16 && c >= 'a' && c <= 'f') d = c - 'a' + 10;
    else if (base == 16 && c >= 'A' && c <= 'F') d = c - 'A' + 10;
    else return false;
    if (v > (limit - uint64_t(d)) / uint64_t(base)) return false;
    v = v * uint64_t(base) + uint64_t(d);
  }
  out = neg ? int64_t(uint64_t(0) - v) : int64_t(v);
  return true;
}

bool TryStrToInt(std::string_view s, int& out) {
  int64_t v = 0;
  if (!TryStrToInt64(s, v) || v < INT32_MIN || v > INT32_MAX) return false;
  out = int(v);
  return true;
}

int StrToIntDef(std::string_view s, int def) {
  int v = 0;
  return TryStrToInt(s, v) ? v : def;
}

bool TryStrToFloat(std::string_view s, double& out) {
  const std::string t = Trim(s);
  const std::string& sep = FormatSettings().DecimalSeparator;
  // Rewrites the text in C form ("." and digits) after checking its shape.
  std::string c;
  size_t i = 0;
  if (i < t.size() && (t[i] == '+' || t[i] == '-')) c += t[i++];
  size_t digits = 0;
  while (i < t.size() && t[i] >= '0' && t[i] <= '9') c += t[i++], ++digits;
  if (!sep.empty() && t.compare(i, sep.size(), sep) == 0) {
    c += '.';
    i += sep.size();
    while (i < t.size() && t[i] >= '0' && t[i] <= '9') c += t[i++], ++digits;
  }
  if (digits == 0) return false;
  if (i < t.size() && (t[i] == 'e' || t[i] == 'E')) {
    c += 'e';
    ++i;
    if (i < t.size() && (t[i] == '+' || t[i] == '-')) c += t[i++];
    size_t expDigits = 0;
    while (i < t.size() && t[i] >= '0' && t[i] <= '9') c += t[i++], ++expDigits;
    if (expDigits == 0) return false;
  }
  if (i != t.size()) return false;
  const char* first = c.data();
  if (*first == '+') ++first;
  double v = 0;
  const auto r = std::from_chars(first, c.data() + c.size(), v);
  if (r.ec != std::errc() || r.ptr != c.data() + c.size() || !std::isfinite(v)) return false;
  out = v;
  return true;
}

int StrToIntClamped(std::string_view text, int def, int min, int max) {
  int v = StrToIntDef(text, def);
  if (v < min) v = min;
  if (v > max) v = max;
  return v;
}

double StrToFloatClamped(std::string_view text, double def, double min, double max) {
  double v = def;
  if (!TryStrToFloat(text, v)) v = def;
  if (v < min) v = min;
  if (v > max) v = max;
  return v;
}

// ---- Captions ---------------------------------------------------------------------

std::string CleanMenuCaption(std::string_view caption) {
  std::string s(caption);
  if (const auto amp = s.find('&'); amp != std::string::npos) s.erase(amp, 1);
  if (s.size() >= 3 && s.compare(s.size() - 3, 3, "...") == 0) s.erase(s.size() - 3);
  if (!s.empty() && s.back() == ':') s.pop_back();
  return Trim(s);
}

std::string DecorateCaption(std::string_view caption, int kind) {
  const std::string s = UpperFirst(CleanMenuCaption(caption));
  if (s.empty()) return s;
  switch (kind) {
    case ckGroup: return " " + s + " ";
    case ckEllipsis: return s + "...";
    case ckLabel: return s + " :";
    case ckDash: return "- " + s;
    default: return s;
  }
}

std::string EscapeAmpersands(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    out += c;
    if (c == '&') out += '&';
  }
  return out;
}

std::string StripHotkey(std::string_view caption) {
  std::string out;
  for (size_t i = 0; i < caption.size(); ++i) {
    if (caption[i] == '&') {
      if (i + 1 < caption.size() && caption[i + 1] == '&') {
        out += '&';
        ++i;
      }
      continue;
    }
    out += caption[i];
  }
  return out;
}

std::string TruncateWithEllipsis(std::string_view text, size_t n) {
  if (Utf8Length(text) <= n) return std::string(text);
  return Utf8Left(text, n) + "...";
}

std::string DeleteSubString(std::string_view sub, std::string_view text, bool ignoreCase) {
  std::string out(text);
  if (sub.empty()) return out;
  const size_t pos = FindText(text, sub, ignoreCase);
  if (pos != std::string::npos) out.erase(pos, sub.size());
  return out;
}

// ---- Colours ----------------------------------------------------------------------

namespace {
struct TColorName {
  std::string_view Name;
  TColor Color;
};
// The classic colour-name table: the sixteen standard colours, four extras, the system
// colours (resolved when drawn) and the two special values.
constexpr TColorName kColorNames[] = {
    {"clBlack", 0x000000}, {"clMaroon", 0x000080}, {"clGreen", 0x008000}, {"clOlive", 0x008080},
    {"clNavy", 0x800000}, {"clPurple", 0x800080}, {"clTeal", 0x808000}, {"clGray", 0x808080},
    {"clSilver", 0xC0C0C0}, {"clRed", 0x0000FF}, {"clLime", 0x00FF00}, {"clYellow", 0x00FFFF},
    {"clBlue", 0xFF0000}, {"clFuchsia", 0xFF00FF}, {"clAqua", 0xFFFF00}, {"clWhite", 0xFFFFFF},
    {"clMoneyGreen", 0xC0DCC0}, {"clSkyBlue", 0xF0CAA6}, {"clCream", 0xF0FBFF}, {"clMedGray", 0xA4A0A0},
    {"clActiveBorder", clActiveBorder}, {"clActiveCaption", clActiveCaption},
    {"clAppWorkSpace", clAppWorkSpace}, {"clBackground", clBackground}, {"clBtnFace", clBtnFace},
    {"clBtnHighlight", clBtnHighlight}, {"clBtnShadow", clBtnShadow}, {"clBtnText", clBtnText},
    {"clCaptionText", clCaptionText}, {"clGradientActiveCaption", clGradientActiveCaption},
    {"clGradientInactiveCaption", clGradientInactiveCaption}, {"clGrayText", clGrayText},
    {"clHighlight", clHighlight}, {"clHighlightText", clHighlightText}, {"clHotLight", clHotLight},
    {"clInactiveBorder", clInactiveBorder}, {"clInactiveCaption", clInactiveCaption},
    {"clInactiveCaptionText", clInactiveCaptionText}, {"clInfoBk", clInfoBk}, {"clInfoText", clInfoText},
    {"clMenu", clMenu}, {"clMenuBar", clMenuBar}, {"clMenuHighlight", clMenuHighlight},
    {"clMenuText", clMenuText}, {"clScrollBar", clScrollBar}, {"cl3DDkShadow", cl3DDkShadow},
    {"cl3DLight", cl3DLight}, {"clWindow", clWindow}, {"clWindowFrame", clWindowFrame},
    {"clWindowText", clWindowText}, {"clNone", clNone}, {"clDefault", 0x20000000},
};
}  // namespace

bool IdentToColor(std::string_view ident, TColor& out) {
  for (const TColorName& c : kColorNames) {
    if (c.Name.size() == ident.size() && SameText(c.Name, ident)) {
      out = c.Color;
      return true;
    }
  }
  return false;
}

TColor HexStrToColor(std::string_view text, TColor def, bool rgbOrder) {
  TColor named;
  if (IdentToColor(text, named)) return named;
  std::string_view s = text;
  if (!s.empty() && (s[0] == '#' || s[0] == '$')) s.remove_prefix(1);
  if (s.size() != 6) return def;
  for (char c : s)
    if (!IsHex(c)) return def;
  auto byte = [&](size_t at) { return int(std::stoi(std::string(s.substr(at, 2)), nullptr, 16)); };
  const int a = byte(0), b = byte(2), c = byte(4);
  return rgbOrder ? RGB(a, b, c) : RGB(c, b, a);
}

std::string ColorToHexStr(TColor color, bool rgbOrder) {
  const TColor c = ColorToRGB(color);
  static const char hex[] = "0123456789ABCDEF";
  auto put = [&](std::string& s, uint8_t v) {
    s += hex[v >> 4];
    s += hex[v & 15];
  };
  std::string s(1, rgbOrder ? '#' : '$');
  if (rgbOrder) {
    put(s, GetRValue(c));
    put(s, GetGValue(c));
    put(s, GetBValue(c));
  } else {
    put(s, GetBValue(c));
    put(s, GetGValue(c));
    put(s, GetRValue(c));
  }
  return s;
}

// ---- Sizes ------------------------------------------------------------------------

std::string FormatFileSize(int64_t bytes, bool rounded) {
  if (bytes < 2) return Format("%d %s", {bytes, Tr(TextId::GetDlgByte)});
  if (bytes < 1024) return Format("%d %s", {bytes, Tr(TextId::GetDlgBytes)});
  double value;
  TextId unit;
  if (bytes < 1048576) {
    value = double(bytes) / 1024.0;
    unit = TextId::GetDlgKb;
  } else if (bytes < 1073741824) {
    value = double(bytes) / 1048576.0;
    unit = TextId::GetDlgMb;
  } else {
    value = double(bytes) / 1073741824.0;
    unit = TextId::GetDlgGb;
  }
  if (rounded) return Format("%d %s", {RoundHalfEven(value), Tr(unit)});
  return Format("%.2f %s", {value, Tr(unit)});
}

std::string FormatImageMemory(int32_t width, int32_t height) {
  const int64_t pixels = int64_t(width) * height;  // within 2^62
  if (pixels > INT64_MAX / 3) return FormatFileSize(INT64_MAX, false);
  return FormatFileSize(pixels * 3, false);
}

std::string GetImageCountWord(int64_t n) {
  return Tr(n >= 2 ? TextId::GetTrLblPictures : TextId::GetTrLblPicture);
}

std::string GetPixelCountWord(int64_t n) { return Tr(n >= 2 ? TextId::GetTrLblPixels : TextId::GetTrLblPixel); }

// ---- Dialog filters -----------------------------------------------------------------

std::string GetFilterPart(std::string_view filter, int index, bool wantMasks) {
  if (filter.empty()) return {};
  int64_t want = (int64_t(index) - 1) * 2 + (wantMasks ? 1 : 0);
  if (want < 0) want = 0;
  size_t start = 0;
  for (int64_t field = 0;; ++field) {
    const size_t bar = filter.find('|', start);
    if (field == want || bar == std::string_view::npos)
      return std::string(filter.substr(start, bar == std::string_view::npos ? std::string_view::npos : bar - start));
    start = bar + 1;
  }
}

std::string GetFirstMaskExt(std::string_view masks) {
  const std::string_view first = masks.substr(0, masks.find(';'));
  const size_t dot = first.rfind('.');
  if (dot == std::string_view::npos) {
    std::string ext(".");
    ext += first;
    return ext;
  }
  return std::string(first.substr(dot));
}

// ---- Names ------------------------------------------------------------------------

void SplitNameValue(std::string_view text, std::string& name, std::string& value) {
  const size_t bar = text.find('|');
  if (bar != std::string_view::npos && bar >= 1) {
    name = std::string(text.substr(0, bar));
    value = std::string(text.substr(bar + 1));
  } else {
    name = std::string(text);
    std::erase(name, '|');
    value = name;
  }
  name = CleanMenuCaption(Utf8Left(name, 32));
  value = Utf8Left(value, 32);
}

// ---- Channels ---------------------------------------------------------------------


void SplitByChannel(int& r, int& g, int& b, int channel, int value) { qm::SplitByChannel(r, g, b, channel, value, 0); }

void SplitByChannelFloat(double& r, double& g, double& b, int channel, double value) {
  qm::SplitByChannel(r, g, b, channel, value, 1.0);
}

// ---- Paths ------------------------------------------------------------------------

std::string AddTrailingBackslash(std::string_view path) {
  std::string s(path);
  if (s.empty() || s.back() != '/') s += '/';
  return s;
}

std::string ExtractFileName(std::string_view path) {
  const size_t slash = path.rfind('/');
  return std::string(slash == std::string_view::npos ? path : path.substr(slash + 1));
}

std::string ChangeFileFolder(std::string_view fileName, std::string_view folder) {
  if (fileName.empty()) return {};
  return AddTrailingBackslash(folder) + ExtractFileName(fileName);
}

}  // namespace qm
