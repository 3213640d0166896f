// How a Windows program's C run time splits its command line into arguments.
#ifndef FRAMEPACK_PLATFORM_COMMAND_LINE_POSIX_H_
#define FRAMEPACK_PLATFORM_COMMAND_LINE_POSIX_H_

#include <string>
#include <vector>

// Returns the arguments of command_line: blanks separate; double quotes group, and inside a group
// two double quotes stand for one; backslashes are literal except before a double quote, where each
// pair gives one backslash and an odd one makes the quote literal. The program name (the first
// argument) takes quotes only, no backslash rules.
std::vector<std::string> SplitCommandLine(const std::string& command_line);

#endif  // FRAMEPACK_PLATFORM_COMMAND_LINE_POSIX_H_
