#pragma once
// How the program ends when it is told to from outside. SIGTERM (a logout, kill),
// SIGINT (Ctrl+C in a terminal) and SIGHUP (its terminal gone) end it at once as
// Quitter does, without a question: every event loop ends, a dialog's included, and the
// main window goes, writing the settings. The handler only wakes the loop (a byte on a
// socket pair); the rest runs on the GUI thread. The question about unsaved changes
// belongs to the desktop's logout, which asks first (TMainForm::CommitSession).
class QCoreApplication;

namespace qm {

void EndOnTerminationSignals(QCoreApplication& app);
// A signal came: true from then on (one that came before the main loop ran is seen
// there, or the end it asks for would be lost).
bool TerminationSignalled();

}  // namespace qm
