#pragma once
// What assistive technology reads of a control that shows no text (a button with only
// a glyph, an arrow button): its hint. Installed once for the application, the rule
// holds for every such control of every window, made before or after: when its hint
// changes, or when it is first shown, a control without a name of its own takes its
// hint as its accessible name. A name its owner gave it is kept.
class QWidget;

namespace qm {

void InstallHintNames();

// Marks a control that draws its meaning rather than writing it (an arrow button made
// of a plain widget): it is named by its hint as a button without text is.
void MarkShowsNoText(QWidget* control);

// Whether the control shows no text of its own: a button without text, or a control
// marked so. (A tool bar's button is named by its command's caption, which it keeps.)
bool ShowsNoText(const QWidget* control);

}  // namespace qm
