// The console's output code page, as ffmpeg's own messages to the console meet it.
#ifndef FRAMEPACK_TESTS_FAKE_FFMPEG_CODE_PAGE_H_
#define FRAMEPACK_TESTS_FAKE_FFMPEG_CODE_PAGE_H_

// Returns the output code page of the console the program shares, or 0 where it has none (a
// POSIX terminal has none at all).
unsigned ConsoleCodePage();

#endif  // FRAMEPACK_TESTS_FAKE_FFMPEG_CODE_PAGE_H_
