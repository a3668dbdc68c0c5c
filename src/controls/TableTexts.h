#pragma once
// The texts a window takes from the interface's text table (captions, item lists,
// hints, titles): each is set by one routine of its control, run when the control is
// made and run again by ApplyTexts, so a window made before a translation filled the
// table shows the translation as one made after it does.
#include <QObject>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/texts/UiTexts.h"

class QAbstractButton;
class QComboBox;
class QGroupBox;
class QLabel;
class QTabBar;
class QTabWidget;
class QWidget;

namespace qm {

// Runs set now and again each time ApplyTexts reaches the object; set writes the
// object's texts from the table. The routine goes with the object.
void SetTexts(QObject* object, std::function<void()> set);

// Runs again the routines of the object and of every object it holds.
void ApplyTexts(QObject* root);
// ... of every window of the application.
void ApplyTextsToEveryWindow();

// The caption a control designed with the text design shows for an entry: the design
// until a translation fills the entry with a non-empty text, then that text dressed as
// the kind asks (DecorateCaption; kPlainCaption: cleaned, its first letter upper-cased),
// or, with no kind, as the design is dressed: blanks around a group title (" Style "),
// " :" after a label, "..." after a command.
constexpr int kPlainCaption = 4;
std::string CaptionLike(TextId id, std::string_view design, int kind = -1);

// A text of the table as a control shows it: the entry's (CaptionLike) over the design;
// the entry's own text when there is no design.
struct TTableText {
  TextId Entry = TextId::Count;  // Count: the design alone
  TextId Design = TextId::Count;
  int Kind = -1;  // DecorateCaption's, or as the design is dressed
  bool Empty() const { return Entry == TextId::Count && Design == TextId::Count; }
  std::string Text() const;
};

// The usual controls, their text set through SetTexts; each returns its control.
QLabel* SetTexts(QLabel* label, TTableText text);
QAbstractButton* SetTexts(QAbstractButton* button, TTableText text);
QGroupBox* SetTexts(QGroupBox* box, TTableText text);
// A window's title.
QWidget* SetTitle(QWidget* window, std::function<std::string()> title);
// A list's items, one per text, the chosen one kept.
QComboBox* SetItems(QComboBox* combo, std::vector<TTableText> items);

}  // namespace qm
