#include "platform/texts/DateFormat.h"

#include "platform/texts/TextUtils.h"
#include "platform/texts/UiTexts.h"

namespace qm {
namespace {

// The table holds month names only; day names are rare enough in the interface's
// patterns to stay here.
constexpr std::string_view kLongDays[] = {"dimanche", "lundi", "mardi", "mercredi", "jeudi", "vendredi", "samedi"};
constexpr std::string_view kShortDays[] = {"dim.", "lun.", "mar.", "mer.", "jeu.", "ven.", "sam."};

std::string Pad(int v, int width) {
  std::string s = std::to_string(v < 0 ? -v : v);
  while (int(s.size()) < width) s.insert(s.begin(), '0');
  return v < 0 ? "-" + s : s;
}

char Lower(char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; }

bool StartsWithNoCase(std::string_view s, size_t at, std::string_view what) {
  if (at + what.size() > s.size()) return false;
  for (size_t k = 0; k < what.size(); ++k)
    if (Lower(s[at + k]) != what[k]) return false;
  return true;
}

// Whether the pattern asks for the twelve-hour clock (outside quoted text).
bool UsesTwelveHours(std::string_view p) {
  char quote = 0;
  for (size_t i = 0; i < p.size(); ++i) {
    if (quote) {
      if (p[i] == quote) quote = 0;
      continue;
    }
    if (p[i] == '"' || p[i] == '\'') {
      quote = p[i];
      continue;
    }
    if (StartsWithNoCase(p, i, "am/pm") || StartsWithNoCase(p, i, "a/p") || StartsWithNoCase(p, i, "ampm")) return true;
  }
  return false;
}

std::string MonthName(int month, bool shortName) {
  if (month < 1 || month > 12) return {};
  const std::string& name = Tr(TextId(int(TextId::GetTrMonJanuary) + month - 1));
  return shortName ? Utf8Left(name, 3) : name;
}

void FormatInto(std::string_view p, const TDateTimeParts& dt, std::string& out, int depth) {
  const bool twelve = UsesTwelveHours(p);
  bool afterHour = false;
  size_t i = 0;
  auto run = [&](char c) {
    size_t n = 0;
    while (i + n < p.size() && Lower(p[i + n]) == c) ++n;
    i += n;
    return int(n);
  };
  while (i < p.size()) {
    const char c = p[i];
    const char l = Lower(c);
    if (c == '"' || c == '\'') {
      const size_t close = p.find(c, i + 1);
      const size_t end = close == std::string_view::npos ? p.size() : close;
      out.append(p.substr(i + 1, end - i - 1));
      i = end == p.size() ? end : end + 1;
      continue;
    }
    if (l == 'a') {
      if (StartsWithNoCase(p, i, "am/pm")) {
        const std::string_view m = dt.Hour < 12 ? p.substr(i, 2) : p.substr(i + 3, 2);
        out.append(m);
        i += 5;
        continue;
      }
      if (StartsWithNoCase(p, i, "a/p")) {
        out += dt.Hour < 12 ? p[i] : p[i + 2];
        i += 3;
        continue;
      }
      if (StartsWithNoCase(p, i, "ampm")) {
        out += dt.Hour < 12 ? "AM" : "PM";
        i += 4;
        continue;
      }
    }
    switch (l) {
      case 'd': {
        const int n = run('d');
        if (n == 1) out += std::to_string(dt.Day);
        else if (n == 2) out += Pad(dt.Day, 2);
        else if (n == 3 || n == 4) {
          const int w = dt.DayOfWeek >= 0 && dt.DayOfWeek <= 6 ? dt.DayOfWeek : 0;
          out += n == 3 ? kShortDays[w] : kLongDays[w];
        } else if (depth == 0) {
          FormatInto(n == 5 ? "dd/mm/yyyy" : "dddd d mmmm yyyy", dt, out, depth + 1);
        }
        afterHour = false;
        continue;
      }
      case 'm': {
        const int n = run('m');
        if (afterHour && n <= 2) {
          out += n == 1 ? std::to_string(dt.Minute) : Pad(dt.Minute, 2);
        } else if (n == 1) {
          out += std::to_string(dt.Month);
        } else if (n == 2) {
          out += Pad(dt.Month, 2);
        } else {
          out += MonthName(dt.Month, n == 3);
        }
        afterHour = false;
        continue;
      }
      case 'y': {
        const int n = run('y');
        out += n <= 2 ? Pad(((dt.Year % 100) + 100) % 100, 2) : Pad(dt.Year, 4);
        afterHour = false;
        continue;
      }
      case 'h': {
        const int n = run('h');
        int h = dt.Hour;
        if (twelve) {
          h %= 12;
          if (h == 0) h = 12;
        }
        out += n == 1 ? std::to_string(h) : Pad(h, 2);
        afterHour = true;
        continue;
      }
      case 'n': {
        const int n = run('n');
        out += n == 1 ? std::to_string(dt.Minute) : Pad(dt.Minute, 2);
        afterHour = false;
        continue;
      }
      case 's': {
        const int n = run('s');
        out += n == 1 ? std::to_string(dt.Second) : Pad(dt.Second, 2);
        afterHour = false;
        continue;
      }
      case 'z': {
        const int n = run('z');
        out += n < 3 ? std::to_string(dt.Millisecond) : Pad(dt.Millisecond, 3);
        afterHour = false;
        continue;
      }
      case 't': {
        const int n = run('t');
        if (depth == 0) FormatInto(n == 1 ? "hh:nn" : "hh:nn:ss", dt, out, depth + 1);
        afterHour = false;
        continue;
      }
      case 'c': {
        ++i;
        if (depth == 0) {
          FormatInto("dd/mm/yyyy", dt, out, depth + 1);
          if (dt.Hour || dt.Minute || dt.Second) {
            out += ' ';
            FormatInto("hh:nn:ss", dt, out, depth + 1);
          }
        }
        afterHour = false;
        continue;
      }
      default:
        out += c;
        ++i;
    }
  }
}

}  // namespace

TDateTimeParts LocalDateTime(std::time_t t) {
  std::tm tm{};
  localtime_r(&t, &tm);
  TDateTimeParts d;
  d.Year = tm.tm_year + 1900;
  d.Month = tm.tm_mon + 1;
  d.Day = tm.tm_mday;
  d.Hour = tm.tm_hour;
  d.Minute = tm.tm_min;
  d.Second = tm.tm_sec;
  d.DayOfWeek = tm.tm_wday;
  return d;
}

std::string FormatDateTime(std::string_view pattern, const TDateTimeParts& dt) {
  std::string out;
  FormatInto(pattern, dt, out, 0);
  return out;
}

}  // namespace qm
