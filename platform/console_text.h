// Text with names in it, on the console. framepack's strings are UTF-8 on both builds (on Windows
// through the manifest that makes UTF-8 the process's code page); a console must show the
// characters they encode, and redirected output must carry the UTF-8 bytes themselves.
#ifndef FRAMEPACK_PLATFORM_CONSOLE_TEXT_H_
#define FRAMEPACK_PLATFORM_CONSOLE_TEXT_H_

#include <cstddef>
#include <cstdio>

// Returns whether all of text, UTF-8, was written to stream: on a Windows console as the
// characters it encodes whatever the console's code page, each LF as CR LF; anywhere else
// through the stream as it is.
bool WriteText(FILE* stream, const char* text, size_t length);
// Returns the console's output code page to restore at the end, or 0 for nothing to restore,
// after switching a Windows console to UTF-8: ffmpeg writes names to it as UTF-8 bytes. A POSIX
// terminal has no code page of its own to switch.
unsigned SwitchConsoleToUtf8();
// Gives the console back the code page SwitchConsoleToUtf8 returned, unless that is 0; returns
// nothing.
void RestoreConsoleCodePage(unsigned code_page);

#endif  // FRAMEPACK_PLATFORM_CONSOLE_TEXT_H_
