#pragma once
// Small helpers of the document's dialogs: texts of the table as Qt strings, controls
// named as the interface names them.
#include <QString>
#include <string>

namespace qm {

inline QString QText(const std::string& s) { return QString::fromStdString(s); }

// The control, given its object name (the name tests and translations find it by).
template <class W>
W* Named(W* w, const char* name) {
  w->setObjectName(QString::fromLatin1(name));
  return w;
}

}  // namespace qm
