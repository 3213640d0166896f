// Status lines on standard output.
#ifndef FRAMEPACK_SUPPORT_CONSOLE_H_
#define FRAMEPACK_SUPPORT_CONSOLE_H_

#include "platform/platform.h"

constexpr WORD kRed = FOREGROUND_RED;
constexpr WORD kGreen = FOREGROUND_GREEN;

// Prints one formatted line in colour (red or green on black), then restores the console's
// attributes; returns nothing. Redirected output gets the text alone.
void PrintColored(WORD colour, const char* format, ...) __attribute__((format(printf, 2, 3)));

#endif  // FRAMEPACK_SUPPORT_CONSOLE_H_
