#include <signal.h>
#include <stdio.h>

#include "platform/command.h"
#include "platform/interrupt.h"

namespace {

volatile sig_atomic_t g_caught = 0;

constexpr int kCaught[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT};

void OnInterrupt(int signal_number) {
  g_caught = signal_number;
  StopCommand();
}

}  // namespace

void CatchInterrupts() {
  struct sigaction action = {};
  action.sa_handler = OnInterrupt;
  sigemptyset(&action.sa_mask);
  for (const int signal_number : kCaught) sigaddset(&action.sa_mask, signal_number);
  for (const int signal_number : kCaught) {
    // One that the caller ignores, as nohup does with SIGHUP, stays ignored.
    struct sigaction inherited;
    if (sigaction(signal_number, nullptr, &inherited) == 0 && inherited.sa_handler == SIG_IGN) {
      continue;
    }
    sigaction(signal_number, &action, nullptr);
  }
  // A closed standard output fails our writes instead of ending us halfway, and so does ffmpeg's
  // standard error, which it inherits ignored. A file-size limit fails a write the same way.
  signal(SIGPIPE, SIG_IGN);
  signal(SIGXFSZ, SIG_IGN);
}

bool Interrupted() { return g_caught != 0; }

void EndAsInterrupted() {
  const int signal_number = g_caught;
  if (signal_number == 0) return;
  fflush(stdout);
  signal(signal_number, SIG_DFL);
  sigset_t caught;
  sigemptyset(&caught);
  sigaddset(&caught, signal_number);
  sigprocmask(SIG_UNBLOCK, &caught, nullptr);
  raise(signal_number);
}
