// Status lines on a terminal: the colour, the text, and the terminal's own colours restored.
#include "tests/black_box/test_util.h"

namespace {

class ConsoleTest : public WorkFolderTest {
 protected:
  void SetUp() override {
    WorkFolderTest::SetUp();
    SKIP_ON_WINDOWS_BUILD(kWineConsole);
  }
  RunResult OnTerminal(const std::vector<std::string>& args) const {
    RunOptions options;
    options.on_terminal = true;
    return Convert(args, options);
  }
};

TEST_F(ConsoleTest, FailureIsRedAndResetAfterwards) {
  const RunResult run = OnTerminal({"missing.mp4", "out.bin"});
  EXPECT_EQ(run.out, kBanner + "\x1b[0;31;40mmissing.mp4 file not found.\n\x1b[0m");
  EXPECT_EQ(run.status, 1);
}

TEST_F(ConsoleTest, SuccessIsGreenAndResetAfterwards) {
  WriteFile(At("clip.mp4"), "video bytes");
  FakeFfmpeg({"out working\\n"});
  const RunResult run = OnTerminal({"clip.mp4", "out.bin"});
  EXPECT_EQ(run.out, kBanner + "working\n\n\n\n\x1b[0;32;40mConverted successful!\n\x1b[0m");
  EXPECT_EQ(run.status, 0);
}

TEST_F(ConsoleTest, UsageLineIsPlain) {
  const RunResult run = OnTerminal({});
  EXPECT_EQ(run.out, "args: InputVideo OutputVideo Options\n");
  EXPECT_EQ(run.status, 1);
}

}  // namespace
