#pragma once
// The program's own icon: the one drawing (src/shell/services/desktop) at the sizes the window
// frames, the task bar and the desktop's launchers ask for.
#include <QIcon>

class QApplication;

namespace qm {

// Every size of the icon, from 16 to 256 pixels.
QIcon ApplicationIcon();

// Once at start: the icon of every window of the process (the main window and the
// document windows inherit it), and the name of the desktop file the desktop matches
// the windows with.
void InstallApplicationIcon(QApplication& app);

}  // namespace qm
