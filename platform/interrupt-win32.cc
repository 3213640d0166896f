#include <atomic>

#include "platform/command.h"
#include "platform/interrupt.h"
#include "platform/platform.h"

namespace {

std::atomic<bool> g_caught{false};
// Set once the run has cleaned up: closing the console ends the process as soon as the handler
// returns, so the handler waits for it.
HANDLE g_cleaned_up = nullptr;

BOOL WINAPI OnControl(DWORD event) {
  g_caught = true;
  StopCommand();
  if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT && g_cleaned_up != nullptr) {
    WaitForSingleObject(g_cleaned_up, 4000);
  }
  return TRUE;
}

}  // namespace

void CatchInterrupts() {
  g_cleaned_up = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  SetConsoleCtrlHandler(OnControl, TRUE);
}

bool Interrupted() { return g_caught; }

// Windows has no ending by a signal to hand on: the exit status stands. The console sends its
// Ctrl+C to the calling cmd.exe as well, which asks about its batch of its own accord.
void EndAsInterrupted() {
  fflush(stdout);
  if (g_cleaned_up != nullptr) SetEvent(g_cleaned_up);
}
