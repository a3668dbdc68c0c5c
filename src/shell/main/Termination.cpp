#include "shell/main/Termination.h"

#include <QCoreApplication>
#include <QSocketNotifier>
#include <csignal>
#include <sys/socket.h>
#include <unistd.h>

namespace qm {
namespace {

int g_wake[2] = {-1, -1};
volatile std::sig_atomic_t g_signalled = 0;

void OnSignal(int) {
  g_signalled = 1;
  const char byte = 1;
  [[maybe_unused]] const ssize_t n = ::write(g_wake[1], &byte, 1);
}

}  // namespace

void EndOnTerminationSignals(QCoreApplication& app) {
  if (g_wake[0] >= 0 || ::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, g_wake) != 0) return;
  auto* notifier = new QSocketNotifier(g_wake[0], QSocketNotifier::Read, &app);
  QObject::connect(notifier, &QSocketNotifier::activated, &app, [] {
    char byte;
    [[maybe_unused]] const ssize_t n = ::read(g_wake[0], &byte, 1);
    // exit, not quit: a quit asks the windows to close, and a window with unsaved
    // changes would ask its question of nobody
    QCoreApplication::exit(0);
  });
  struct sigaction action = {};
  action.sa_handler = OnSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  for (const int s : {SIGTERM, SIGINT, SIGHUP}) ::sigaction(s, &action, nullptr);
}

bool TerminationSignalled() { return g_signalled != 0; }

}  // namespace qm
