// Names in any script: on the command line, to ffmpeg, as the output's name, and in framepack's
// own lines, redirected (the UTF-8 bytes) and on a terminal (the characters they encode).
#include <sys/stat.h>

#include <string>
#include <vector>

#include "tests/black_box/test_util.h"

namespace {

const std::string kInput = "vidéo-日本.mp4";
const std::string kOutput = "パック-é.bin";

class UnicodeTest : public WorkFolderTest {
 protected:
  void SetUp() override {
    WorkFolderTest::SetUp();
    WriteFile(At(kInput), "video bytes");
  }
  RunResult OnTerminal(const std::vector<std::string>& args) const {
    RunOptions options;
    options.on_terminal = true;
    return Convert(args, options);
  }
};

// Returns the text a terminal shows for out: control sequences left out, a cursor moved forward
// by n as n blanks (wine draws blanks so), CR LF as LF.
std::string TerminalText(const std::string& out) {
  std::string text;
  for (size_t i = 0; i < out.size(); ++i) {
    if (out[i] == '\r' && i + 1 < out.size() && out[i + 1] == '\n') continue;
    if (out[i] != '\x1b' || i + 1 == out.size() || out[i + 1] != '[') {
      text += out[i];
      continue;
    }
    size_t end = i + 2;
    while (end < out.size() && !(out[end] >= '@' && out[end] <= '~')) ++end;
    if (end < out.size() && out[end] == 'C') {
      const std::string count = out.substr(i + 2, end - i - 2);
      text.append(count.empty() ? 1 : std::stoul(count), ' ');
    }
    i = end;
  }
  return text;
}

TEST_F(UnicodeTest, NamesReachFfmpegAndTheOutputAsTheyAre) {
  FakeFfmpeg({"frame frame00001.jpg one", "out reading \\i"});
  const RunResult run = Convert({kInput, kOutput});
  EXPECT_EQ(run.out, kBanner + "reading " + kInput + "\n" + kSuccess);
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(ReadFile(At("args.txt")),
            "[lib\\ffmpeg.exe]\n[-i]\n[" + kInput + "]\n[-q:v]\n[1]\n[lib/temp/frame%05d.jpg]\n");
  EXPECT_EQ(ReadFile(At(kOutput)), U32(1) + Record(4, "one"));
  EXPECT_EQ(ReadFile(At(kInput)), "video bytes");
  EXPECT_FALSE(Exists(At("lib/temp")));
}

TEST_F(UnicodeTest, RedLinesNameThePathsAsTheyAre) {
  struct Case {
    std::vector<std::string> args;
    std::vector<std::string> fake;
    std::string out;
  };
  const std::string missing = "manquée-日本.mp4";
  const std::string no_folder = "dossier-日本/" + kOutput;
  const Case cases[] = {
      {{missing, kOutput}, {}, kBanner + missing + " file not found.\n"},
      {{kInput, no_folder}, {}, kBanner + "Unable to create: " + no_folder + "\n"},
      {{kInput, kOutput}, {"exit 1"}, kBanner + "\n\nUnable to convert " + kInput + "\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.out);
    FakeFfmpeg(c.fake);
    const RunResult run = Convert(c.args);
    EXPECT_EQ(run.out, c.out);
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(ReadFile(At(kInput)), "video bytes");
    EXPECT_FALSE(Exists(At("lib/temp")));
  }
  EXPECT_FALSE(Exists(At(missing)));
}

TEST_F(UnicodeTest, NamesShowAsThemselvesOnATerminal) {
  FakeFfmpeg({"out reading \\i\\n"});
  const RunResult failed = OnTerminal({"manquée-日本.mp4", kOutput});
  EXPECT_EQ(TerminalText(failed.out), kBanner + "manquée-日本.mp4 file not found.\n");
  EXPECT_EQ(failed.status, 1);
  const RunResult converted = OnTerminal({kInput, kOutput});
  EXPECT_EQ(TerminalText(converted.out), kBanner + "reading " + kInput + "\n\n" + kSuccess);
  EXPECT_EQ(converted.status, 0);
}

TEST_F(UnicodeTest, ConsoleShowsUtf8WhileFfmpegRunsAndItsOwnCodePageAfter) {
  SKIP_ON_NATIVE_BUILD(kPosixTerminalsHaveNoCodePage);
  // In one console, as a user's command interpreter runs them: the fake ffmpeg tells the console's
  // code page before framepack, while it runs under framepack, and after.
  WriteFile(At("framepack.exe"), ReadFile(FRAMEPACK_EXE));
  chmod(At("framepack.exe").c_str(), 0755);
  for (const std::string ending : {"exit 0", "exit 1"}) {
    SCOPED_TRACE(ending);
    FakeFfmpeg({"code_page code_page.txt", ending});
    WriteFile(At("code_page.txt"), "");
    RunOptions options;
    options.on_terminal = true;
    RunProgram(
        "cmd.exe",
        {"/c", "lib\\ffmpeg.exe & framepack.exe " + kInput + " " + kOutput + " & lib\\ffmpeg.exe"},
        folder_, options);
    const std::string pages = ReadFile(At("code_page.txt"));
    const size_t first_end = pages.find('\n');
    ASSERT_NE(first_end, std::string::npos) << pages;
    const std::string before = pages.substr(0, first_end);
    EXPECT_NE(before, "65001");
    EXPECT_NE(before, "0");
    EXPECT_EQ(pages, before + "\n65001\n" + before + "\n");
  }
}

}  // namespace
