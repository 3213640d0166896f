// Starting ffmpeg. No command interpreter is involved on either build: the command line reaches
// the program as the words its run time splits it into, and nothing acts on > < | & ^ % ! in it.
#ifndef FRAMEPACK_PLATFORM_COMMAND_H_
#define FRAMEPACK_PLATFORM_COMMAND_H_

#include <cstdio>

// Returns a text-mode stream (a CR before an LF dropped) on the standard output of the program
// that the first word of command_line names, started with command_line as its command line, or
// null when it cannot be started. Its standard input is the null device, its standard error
// ours, and it ends when framepack does, however framepack ends. One command runs at a time.
FILE* StartCommand(const char* command_line);
// Returns the exit status of the command read through stream once it has ended, after closing
// the stream; -1 when it did not end with a status of its own (killed, crashed).
int FinishCommand(FILE* stream);
// Ends the running command at once, if one runs; returns nothing. Safe in a signal handler or a
// console control handler.
void StopCommand();

#endif  // FRAMEPACK_PLATFORM_COMMAND_H_
