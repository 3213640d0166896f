// Fuzzes the Windows command-line splitter: any line splits without harm, and arguments quoted the
// way a Windows run time reads them come back unchanged.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/command_line-posix.h"

namespace {

// Returns argument between double quotes, with backslashes doubled where a quote follows them.
std::string Quote(const std::string& argument) {
  std::string quoted = "\"";
  size_t backslashes = 0;
  for (char c : argument) {
    if (c == '\\') {
      ++backslashes;
      continue;
    }
    quoted.append(c == '"' ? 2 * backslashes + 1 : backslashes, '\\');
    backslashes = 0;
    quoted += c;
  }
  quoted.append(2 * backslashes, '\\');
  return quoted + "\"";
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  SplitCommandLine(bytes);

  // The bytes, cut at zero bytes, as the arguments of a program.
  std::vector<std::string> arguments = {"prog"};
  std::string line = "prog";
  size_t start = 0;
  while (start <= bytes.size()) {
    size_t end = bytes.find('\0', start);
    if (end == std::string::npos) end = bytes.size();
    arguments.push_back(bytes.substr(start, end - start));
    line += " " + Quote(arguments.back());
    start = end + 1;
  }
  if (SplitCommandLine(line) != arguments) std::abort();
  return 0;
}
