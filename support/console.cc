#include "support/console.h"

#include <cstdarg>
#include <cstdio>

namespace {

WORD g_saved_attributes = 0;

}  // namespace

void PrintColored(WORD colour, const char* format, ...) {
  // Whatever plain text is pending must not take the colour.
  fflush(stdout);
  CONSOLE_SCREEN_BUFFER_INFO info = {};
  GetConsoleScreenBufferInfo(GetStdHandle(STD_OUTPUT_HANDLE), &info);
  g_saved_attributes = info.wAttributes;
  SetConsoleTextAttribute(GetStdHandle(STD_OUTPUT_HANDLE), colour);
  va_list arguments;
  va_start(arguments, format);
  vprintf(format, arguments);
  va_end(arguments);
  fflush(stdout);
  SetConsoleTextAttribute(GetStdHandle(STD_OUTPUT_HANDLE), g_saved_attributes);
}
