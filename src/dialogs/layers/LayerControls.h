#pragma once
// The small makers the layer dialogs build their controls with: each control named as
// the dialogs name it, its caption a fixed text of the table.
#include <QLabel>
#include <QString>

#include "controls/SpinEdit.h"
#include "platform/texts/UiTexts.h"

namespace qm::layerforms {

inline QString Q(const std::string& s) { return QString::fromStdString(s); }
inline QString Fixed(TextId id) { return Q(Tr(id)); }

inline QLabel* Label(QWidget* parent, const char* name, const QString& text = {}) {
  auto* l = new QLabel(text, parent);
  l->setObjectName(QLatin1String(name));
  return l;
}

// An integer field of min..max taking at most characters characters.
inline TSpinEdit2* Spin(QWidget* parent, const char* name, int min, int max, int characters) {
  auto* e = new TSpinEdit2(parent);
  e->setObjectName(QLatin1String(name));
  e->SetMinValue(min);
  e->SetMaxValue(max);
  e->setMaxLength(characters);
  return e;
}

}  // namespace qm::layerforms
