#pragma once
// "+" and "-" in the dialogs whose traits ask for it: typed into one of their controls,
// they reach it as "A", which a number field refuses (with its beep) and no shortcut of
// the main window takes. A multi-line text box and a field that takes values below zero
// keep them: a hyphen in a text, a negative angle or offset.
class QEvent;
class QObject;

namespace qm {

// Whether the control takes "+" and "-" as typed even in such a dialog.
bool KeepsPlusMinus(const QObject* control);
// A key press of "+" or "-" on a control that does not keep them is sent to it as "A"
// instead; true when it was (the press is then taken).
bool TypePlusMinusAsA(QObject* watched, QEvent* e);

}  // namespace qm
