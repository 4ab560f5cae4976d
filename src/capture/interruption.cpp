#include "capture/interruption.h"

#include <signal.h>

#include <csignal>

namespace {

volatile std::sig_atomic_t g_signal = 0;

void noteSignal(int signal) { g_signal = signal; }

}  // namespace

void catchInterruptions() {
  g_signal = 0;
  struct sigaction action {};
  action.sa_handler = noteSignal;
  sigemptyset(&action.sa_mask);
  sigaction(SIGINT, &action, nullptr);
  sigaction(SIGTERM, &action, nullptr);
  sigaction(SIGHUP, &action, nullptr);
  std::signal(SIGXFSZ, SIG_IGN);
  std::signal(SIGPIPE, SIG_IGN);
}

int pendingInterruption() { return g_signal; }

const char* interruptionName(int signal) {
  switch (signal) {
    case SIGINT:
      return "interrupted (SIGINT)";
    case SIGTERM:
      return "terminated (SIGTERM)";
    case SIGHUP:
      return "hung up (SIGHUP)";
    default:
      return "stopped by a signal";
  }
}
