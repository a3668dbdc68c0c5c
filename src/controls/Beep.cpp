#include "controls/Beep.h"

#include <QApplication>

namespace qm {
namespace {
std::function<void()>& Handler() {
  static std::function<void()> handler;
  return handler;
}
}  // namespace

void ControlBeep() {
  if (Handler())
    Handler()();
  else
    QApplication::beep();
}

void SetBeepHandler(std::function<void()> handler) { Handler() = std::move(handler); }

}  // namespace qm
