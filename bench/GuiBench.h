#pragma once
// The application of the benchmarks that draw text, use the clipboard or make widgets:
// a QApplication (widgets need one; a plain QGuiApplication made first would leave the
// widget benchmarks none), offscreen unless the environment names a platform, made on
// first use.
#include <QCoreApplication>
#include <QApplication>
#include <cstdlib>

namespace qm::bench {

inline void EnsureGuiApp() {
  if (QCoreApplication::instance()) return;
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  static int argc = 1;
  static char name[] = "qm_bench";
  static char* argv[] = {name, nullptr};
  new QApplication(argc, argv);  // kept until the process ends
}

}  // namespace qm::bench
