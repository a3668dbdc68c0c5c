#pragma once
// One QGuiApplication for a test program whose cases need fonts or the clipboard but
// no widgets (offscreen, as the test environment sets).
#include <QCoreApplication>
#include <QGuiApplication>

namespace qm::test {

inline void EnsureGuiApp() {
  if (QCoreApplication::instance()) return;
  static int argc = 1;
  static char name[] = "qm_gui_tests";
  static char* argv[] = {name, nullptr};
  new QGuiApplication(argc, argv);  // kept until the process ends
}

}  // namespace qm::test
