#include "support/format.h"

#include <cstdarg>
#include <cstdio>

namespace {

int FormatBounded(char* buffer, int size, const char* format, va_list arguments) {
  const int length = vsnprintf(buffer, static_cast<size_t>(size), format, arguments);
  if (length < 0 || length >= size) {
    buffer[0] = '\0';
    return -1;
  }
  return length;
}

}  // namespace

int FormatPath(char (&buffer)[kPathBufferSize], const char* format, ...) {
  va_list arguments;
  va_start(arguments, format);
  const int length = FormatBounded(buffer, kPathBufferSize, format, arguments);
  va_end(arguments);
  return length;
}

int FormatCommand(char (&buffer)[kCommandBufferSize], const char* format, ...) {
  va_list arguments;
  va_start(arguments, format);
  const int length = FormatBounded(buffer, kCommandBufferSize, format, arguments);
  va_end(arguments);
  return length;
}
