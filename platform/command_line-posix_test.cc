#include "platform/command_line-posix.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

TEST(SplitCommandLine, FollowsTheWindowsRunTimeRules) {
  struct Case {
    const char* line;
    std::vector<std::string> arguments;
  };
  const Case cases[] = {
      {"", {}},
      {"   ", {}},
      {"prog", {"prog"}},
      {"lib\\ffmpeg.exe -i \"clip.mp4\" -q:v 1 \"lib/temp/frame%05d.jpg\"",
       {"lib\\ffmpeg.exe", "-i", "clip.mp4", "-q:v", "1", "lib/temp/frame%05d.jpg"}},
      {"p a\tb   c ", {"p", "a", "b", "c"}},
      {"p \"a b\" c", {"p", "a b", "c"}},
      {"p \"\"", {"p", ""}},
      {"p a\"b c\"d", {"p", "ab cd"}},
      {"p \"unterminated group", {"p", "unterminated group"}},
      {"p a\\b \\\\server\\x", {"p", "a\\b", "\\\\server\\x"}},
      {"p a\\\\\"b c\"", {"p", "a\\b c"}},
      {"p a\\\"b", {"p", "a\"b"}},
      {"p a\\\\\\\"b", {"p", "a\\\"b"}},
      {"p \"a\"\"b\"", {"p", "a\"b"}},
      {"p \"$x `id` ;&|%'\xc3\xa9\"", {"p", "$x `id` ;&|%'\xc3\xa9"}},
      {"\"C:\\Program Files\\f.exe\" x", {"C:\\Program Files\\f.exe", "x"}},
      {"a\\\"b c", {"a\\b c"}},  // the program name takes quotes only
  };
  for (const Case& c : cases) {
    EXPECT_EQ(SplitCommandLine(c.line), c.arguments) << c.line;
  }
}
