// The command line, the input and output checks, and the refusals that protect the user's files.
#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "tests/black_box/test_util.h"

namespace {

constexpr char kUsage[] = "args: InputVideo OutputVideo Options\n";

class CliTest : public ClipFolderTest {
 protected:
  void SetUp() override {
    ClipFolderTest::SetUp();
    mkdir(At("lib/temp").c_str(), 0755);
    WriteFile(At("lib/temp/keep.txt"), "left by an earlier run");
    FakeFfmpeg({});
  }
};

TEST_F(CliTest, TooFewArgumentsPrintOnlyTheUsageLine) {
  for (const std::vector<std::string>& args : {std::vector<std::string>{}, {"clip.mp4"}}) {
    const RunResult run = Convert(args);
    EXPECT_EQ(run.out, kUsage);
    EXPECT_EQ(run.status, 1);
  }
  EXPECT_EQ(ReadFile(At("lib/temp/keep.txt")), "left by an earlier run");
  EXPECT_FALSE(FfmpegRan());
}

TEST_F(CliTest, MissingInputIsReportedAndNothingIsTouched) {
  for (const std::string input : {"missing.mp4", "nodir/clip.mp4", ""}) {
    const RunResult run = Convert({input, "out.bin"});
    EXPECT_EQ(run.out, kBanner + input + " file not found.\n");
    EXPECT_EQ(run.status, 1);
  }
  EXPECT_FALSE(Exists(At("out.bin")));
  EXPECT_EQ(ReadFile(At("lib/temp/keep.txt")), "left by an earlier run");
  EXPECT_FALSE(FfmpegRan());
}

TEST_F(CliTest, OutputThatCannotBeCreatedRemovesTheLeftOverScratchFolder) {
  mkdir(At("lib/temp/sub").c_str(), 0755);
  WriteFile(At("lib/temp/sub/frame00001.jpg"), "old frame");
  mkdir(At("a folder").c_str(), 0755);
  for (const std::string output : {"nodir/out.bin", "nodir\\out.bin", "a folder", ""}) {
    const RunResult run = Convert({"clip.mp4", output});
    EXPECT_EQ(run.out, kBanner + "Unable to create: " + output + "\n");
    EXPECT_EQ(run.status, 1);
    EXPECT_FALSE(Exists(At("lib/temp")));
  }
  EXPECT_EQ(ReadFile(At("clip.mp4")), "video bytes");
  EXPECT_FALSE(FfmpegRan());
}

TEST_F(CliTest, ExistingOutputIsEmptiedBeforeFfmpegRuns) {
  WriteFile(At("out.bin"), "an old pack of some length");
  FakeFfmpeg({"size_of out.bin seen_size.txt"});
  const RunResult run = Convert({"clip.mp4", "out.bin"});
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(ReadFile(At("seen_size.txt")), "0");
  EXPECT_EQ(ReadFile(At("out.bin")), U32(0));
}

TEST_F(CliTest, InputPathsOfAnyNameAreAccepted) {
  // A folder passes the existence check; ffmpeg is the one to judge it.
  mkdir(At("folder.mp4").c_str(), 0755);
  const RunResult run = Convert({"folder.mp4", "out.bin"});
  EXPECT_EQ(run.out, kBanner + kSuccess);
  EXPECT_TRUE(FfmpegRan());
}

TEST_F(CliTest, RefusesPathsThatWouldLoseAFile) {
  mkdir(At("trailing").c_str(), 0755);
  WriteFile(At("lib/temp/clip.mp4"), "inside");
  WriteFile(At("out.bin"), "old pack");
  ASSERT_EQ(symlink("temp", At("lib/link").c_str()), 0);
  ASSERT_EQ(symlink("lib/temp/clip.mp4", At("inlink.mp4").c_str()), 0);
  ASSERT_EQ(symlink("clip.mp4", At("clip_sym.mp4").c_str()), 0);
  ASSERT_EQ(link(At("clip.mp4").c_str(), At("clip_hard.mp4").c_str()), 0);
  const std::string long_name = std::string(199, 'n') + ".mp4";  // 203 characters
  WriteFile(At(long_name), "long");

  struct Case {
    std::string input, output, message;
  };
  const std::string inside = " lies inside the scratch folder lib/temp.\n";
  const std::string overwrite = "Output would overwrite the input: ";
  const Case cases[] = {
      {"lib/temp/clip.mp4", "out.bin", "lib/temp/clip.mp4" + inside},
      {"lib\\temp\\clip.mp4", "out.bin", "lib\\temp\\clip.mp4" + inside},
      {"lib/link/clip.mp4", "out.bin", "lib/link/clip.mp4" + inside},
      {"inlink.mp4", "out.bin", "inlink.mp4" + inside},
      {"lib/temp", "out.bin", "lib/temp" + inside},
      {"clip.mp4", "lib/temp/out.bin", "lib/temp/out.bin" + inside},
      {"clip.mp4", "lib/link/new.bin", "lib/link/new.bin" + inside},
      {"clip.mp4", "lib/./temp/../temp/x.bin", "lib/./temp/../temp/x.bin" + inside},
      {"clip.mp4", "lib/temp", "lib/temp" + inside},
      {"clip.mp4", "clip.mp4", overwrite + "clip.mp4\n"},
      {"clip.mp4", "./clip.mp4", overwrite + "./clip.mp4\n"},
      {"clip.mp4", ".\\clip.mp4", overwrite + ".\\clip.mp4\n"},
      {"clip.mp4", "clip_hard.mp4", overwrite + "clip_hard.mp4\n"},
      {"clip.mp4", "clip_sym.mp4", overwrite + "clip_sym.mp4\n"},
      {"clip_sym.mp4", "clip.mp4", overwrite + "clip.mp4\n"},
      {"trailing\\", "out.bin", "Unable to pass the path to ffmpeg: trailing\\\n"},
      {long_name, "out.bin", "Command line too long for: " + long_name + "\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.input + " -> " + c.output);
    const RunResult run = Convert({c.input, c.output});
    EXPECT_EQ(run.out, kBanner + c.message);
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(ReadFile(At("clip.mp4")), "video bytes");
    EXPECT_EQ(ReadFile(At("lib/temp/clip.mp4")), "inside");
    EXPECT_EQ(ReadFile(At("lib/temp/keep.txt")), "left by an earlier run");
    EXPECT_EQ(ReadFile(At("out.bin")), "old pack");
    EXPECT_FALSE(Exists(At("lib/temp/out.bin")));
    EXPECT_FALSE(Exists(At("lib/temp/new.bin")));
    EXPECT_FALSE(FfmpegRan());
  }
}

TEST_F(CliTest, OutputNamingTheInputInOtherCaseIsRefused) {
  SKIP_ON_NATIVE_BUILD(kPosixNamesKeepCase);
  for (const std::string output : {"CLIP.MP4", "Clip.mp4"}) {
    const RunResult run = Convert({"clip.mp4", output});
    EXPECT_EQ(run.out, kBanner + "Output would overwrite the input: " + output + "\n");
    EXPECT_EQ(run.status, 1);
  }
  EXPECT_EQ(ReadFile(At("clip.mp4")), "video bytes");
  EXPECT_FALSE(FfmpegRan());
}

TEST_F(CliTest, InputPathWithADoubleQuoteIsRefused) {
  SKIP_ON_WINDOWS_BUILD(kWindowsNamesHoldNoQuote);
  WriteFile(At("we\"ird.mp4"), "quoted");
  const RunResult run = Convert({"we\"ird.mp4", "out.bin"});
  EXPECT_EQ(run.out, kBanner + "Unable to pass the path to ffmpeg: we\"ird.mp4\n");
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(ReadFile(At("we\"ird.mp4")), "quoted");
  EXPECT_FALSE(FfmpegRan());
}

TEST_F(CliTest, OutputLinkedIntoTheScratchFolderIsRefusedOnceCreated) {
  ASSERT_EQ(symlink("lib/temp/new.bin", At("pack.bin").c_str()), 0);
  const RunResult run = Convert({"clip.mp4", "pack.bin"});
  EXPECT_EQ(run.out, kBanner + "pack.bin lies inside the scratch folder lib/temp.\n");
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(ReadFile(At("lib/temp/keep.txt")), "left by an earlier run");
  EXPECT_FALSE(FfmpegRan());
}

TEST_F(CliTest, AThousandOptionsAreTooLongACommandLine) {
  std::vector<std::string> args = {"clip.mp4", "out.bin"};
  for (int i = 0; i < 500; ++i) {
    args.push_back("-q:v");
    args.push_back("1");
  }
  const RunResult run = Convert(args);
  EXPECT_EQ(run.out, kBanner + "Command line too long for: clip.mp4\n");
  EXPECT_EQ(run.status, 1);
  EXPECT_FALSE(Exists(At("out.bin")));
  EXPECT_FALSE(FfmpegRan());
}

TEST_F(CliTest, CommandLineOfExactly254CharactersRuns) {
  const std::string name = std::string(198, 'n') + ".mp4";  // 202 characters
  WriteFile(At(name), "long");
  const RunResult run = Convert({name, "out.bin"});
  EXPECT_EQ(run.out, kBanner + kSuccess);
  EXPECT_EQ(run.status, 0);
  EXPECT_TRUE(FfmpegRan());
}

}  // namespace
