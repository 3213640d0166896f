#include <unistd.h>

#include "platform/platform.h"

namespace {

// Light grey on black, the word a new console starts with.
constexpr WORD kStartingAttributes = FOREGROUND_RED | FOREGROUND_GREEN | FOREGROUND_BLUE;

WORD g_attributes = kStartingAttributes;

// Returns the ANSI colour number (0 to 7) of the three colour bits of a console nibble.
int AnsiColour(int nibble) {
  return ((nibble & FOREGROUND_RED) ? 1 : 0) | ((nibble & FOREGROUND_GREEN) ? 2 : 0) |
         ((nibble & FOREGROUND_BLUE) ? 4 : 0);
}

}  // namespace

HANDLE GetStdHandle(DWORD which) {
  if (which == STD_OUTPUT_HANDLE) return reinterpret_cast<HANDLE>(static_cast<intptr_t>(1));
  if (which == STD_ERROR_HANDLE) return reinterpret_cast<HANDLE>(static_cast<intptr_t>(2));
  return INVALID_HANDLE_VALUE;
}

BOOL GetConsoleScreenBufferInfo(HANDLE console, CONSOLE_SCREEN_BUFFER_INFO* info) {
  if (console != GetStdHandle(STD_OUTPUT_HANDLE) || !isatty(STDOUT_FILENO)) return FALSE;
  info->wAttributes = g_attributes;
  return TRUE;
}

BOOL SetConsoleTextAttribute(HANDLE console, WORD attributes) {
  if (console != GetStdHandle(STD_OUTPUT_HANDLE) || !isatty(STDOUT_FILENO)) return FALSE;
  g_attributes = attributes;
  if (attributes == kStartingAttributes) {
    fputs("\x1b[0m", stdout);
    return TRUE;
  }
  const int foreground = attributes & 0x0F;
  const int background = (attributes >> 4) & 0x0F;
  fprintf(stdout, "\x1b[0;%d;%dm",
          ((foreground & FOREGROUND_INTENSITY) ? 90 : 30) + AnsiColour(foreground),
          ((background & FOREGROUND_INTENSITY) ? 100 : 40) + AnsiColour(background));
  return TRUE;
}
