#include <signal.h>
#include <stdio.h>

#include "platform/command.h"
#include "platform/interrupt.h"

namespace {

volatile sig_atomic_t g_caught = 0;

constexpr int kCaught[] = {SIGINT, SIGTERM, SIGHUP};

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
  for (const int signal_number : kCaught) sigaction(signal_number, &action, nullptr);
  signal(SIGPIPE, SIG_IGN);
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
