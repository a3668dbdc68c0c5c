#include "shell/services/Locale.h"

#include <QRegularExpression>

#include "platform/texts/Format.h"
#include "platform/texts/UiTexts.h"

namespace qm {

std::string DatePictureFromQt(const QString& f) {
  std::string out;
  for (int i = 0; i < f.size();) {
    const QChar c = f[i];
    int n = 1;
    while (i + n < f.size() && f[i + n] == c) ++n;
    auto repeat = [&](char ch, int count) { out.append(size_t(count), ch); };
    if (c == QLatin1Char('\'')) {
      // Quoted text; '' is a quote.
      const int close = f.indexOf(QLatin1Char('\''), i + 1);
      if (n == 2) {
        out += "\"'\"";
        i += 2;
        continue;
      }
      const int end = close < 0 ? int(f.size()) : close;
      out += '"';
      out += f.mid(i + 1, end - i - 1).toStdString();
      out += '"';
      i = end + 1;
      continue;
    }
    switch (c.unicode()) {
      case 'd': repeat('d', n); break;
      case 'M': repeat('m', n); break;
      case 'y': repeat('y', n >= 3 ? 4 : 2); break;
      case 'H':
      case 'h': repeat('h', n >= 2 ? 2 : 1); break;
      case 'm': repeat('n', n >= 2 ? 2 : 1); break;
      case 's': repeat('s', n >= 2 ? 2 : 1); break;
      case 'z': repeat('z', n >= 3 ? 3 : 1); break;
      case 'A':
      case 'a':
        out += "am/pm";
        if (i + n < f.size() && (f[i + n] == QLatin1Char('P') || f[i + n] == QLatin1Char('p'))) ++n;
        break;
      case 't': break;  // time zones are not shown
      default: {
        const QString lit = f.mid(i, n);
        // Letters our pictures read must be quoted to stay literal.
        if (lit.contains(QRegularExpression(QStringLiteral("[A-Za-z]")))) {
          out += '"';
          out += lit.toStdString();
          out += '"';
        } else {
          out += lit.toStdString();
        }
      }
    }
    i += n;
  }
  return out;
}

void ApplyLocale(const QLocale& locale) {
  TFormatSettings& fs = FormatSettings();
  fs.DecimalSeparator = locale.decimalPoint().toStdString();
  fs.ThousandSeparator = locale.groupSeparator().toStdString();
  if (fs.DecimalSeparator.empty()) fs.DecimalSeparator = ".";
  if (Tr(TextId::GetTrFmtFileDate).empty()) {
    std::string picture = DatePictureFromQt(locale.dateFormat(QLocale::ShortFormat)) + " " +
                          DatePictureFromQt(locale.timeFormat(QLocale::LongFormat));
    while (!picture.empty() && picture.back() == ' ') picture.pop_back();
    SetText(TextId::GetTrFmtFileDate, picture);
  }
}

}  // namespace qm
