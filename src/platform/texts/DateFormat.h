#pragma once
// Dates and times through the interface's patterns ("dd/mm/yyyy hh:nn").
#include <ctime>
#include <string>
#include <string_view>

namespace qm {

struct TDateTimeParts {
  int Year = 1899, Month = 12, Day = 30;  // Month 1..12
  int Hour = 0, Minute = 0, Second = 0, Millisecond = 0;
  int DayOfWeek = 6;  // 0 Sunday .. 6 Saturday
};

// The local date and time of a time stamp.
TDateTimeParts LocalDateTime(std::time_t t);

// Formats with the classic date-time picture (letters in either case):
//   d dd           day of the month, without / with a leading zero
//   ddd dddd       short / long day name
//   ddddd dddddd   the short date "dd/mm/yyyy" / the long date "dddd d mmmm yyyy"
//   m mm           month; minutes when right after an hour (h, hh)
//   mmm mmmm       short / long month name (the month entries of the text table)
//   yy yyyy        two- / four-digit year
//   h hh n nn s ss z zzz   hours, minutes, seconds, milliseconds
//   t tt           the short time "hh:nn" / the long time "hh:nn:ss"
//   c              the short date and the long time
//   am/pm a/p      twelve-hour clock with that marker
//   / :            the date and time separators
//   "text" 'text'  copied as written
// Any other character is copied.
std::string FormatDateTime(std::string_view pattern, const TDateTimeParts& dt);

}  // namespace qm
