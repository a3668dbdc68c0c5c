#pragma once
// The user's number and date conventions, taken from the system at start-up.
#include <QLocale>
#include <string>

namespace qm {

// A Qt date-time format ("dd/MM/yyyy HH:mm") as the interface's date picture
// ("dd/mm/yyyy hh:nn").
std::string DatePictureFromQt(const QString& qtFormat);

// Sets the decimal and thousand separators from the locale, and fills the file-date
// entry of the text table with the locale's short date and time when it is empty.
void ApplyLocale(const QLocale& locale = QLocale::system());

}  // namespace qm
