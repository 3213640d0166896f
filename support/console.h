// Status lines on standard output, and other lines that may hold names.
#ifndef FRAMEPACK_SUPPORT_CONSOLE_H_
#define FRAMEPACK_SUPPORT_CONSOLE_H_

#include <cstdio>

#include "platform/platform.h"

constexpr WORD kRed = FOREGROUND_RED;
constexpr WORD kGreen = FOREGROUND_GREEN;

// Prints one formatted line in colour (red or green on black), then restores the console's
// attributes; returns nothing. Redirected output gets the text alone. Names come out as
// PrintText prints them.
void PrintColored(WORD colour, const char* format, ...) __attribute__((format(printf, 2, 3)));
// Prints formatted text, its UTF-8 shown as the characters it encodes on a console and kept as
// bytes elsewhere (see platform/console_text.h); returns nothing.
void PrintText(FILE* stream, const char* format, ...) __attribute__((format(printf, 2, 3)));

#endif  // FRAMEPACK_SUPPORT_CONSOLE_H_
