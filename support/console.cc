#include "support/console.h"

#include <cstdarg>
#include <cstdio>

#include "platform/console_text.h"

namespace {

WORD g_saved_attributes = 0;

// Formats into a buffer of its own, never allocating: a line about a failed allocation must get
// out too. A longer text goes to the run time's own formatting, as bytes.
void PrintFormatted(FILE* stream, const char* format, va_list arguments) {
  char text[4096];
  va_list again;
  va_copy(again, arguments);
  const int length = vsnprintf(text, sizeof text, format, arguments);
  if (length >= 0 && static_cast<size_t>(length) < sizeof text) {
    WriteText(stream, text, static_cast<size_t>(length));
  } else {
    vfprintf(stream, format, again);
  }
  va_end(again);
}

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
  PrintFormatted(stdout, format, arguments);
  va_end(arguments);
  fflush(stdout);
  SetConsoleTextAttribute(GetStdHandle(STD_OUTPUT_HANDLE), g_saved_attributes);
}

void PrintText(FILE* stream, const char* format, ...) {
  va_list arguments;
  va_start(arguments, format);
  PrintFormatted(stream, format, arguments);
  va_end(arguments);
}
