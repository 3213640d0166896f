// framepack-inspect's own command line: its version, and what it tells scripts.
#include <string>
#include <vector>

#include "tests/black_box/test_util.h"

namespace {

constexpr char kInspectUsage[] =
    "usage: framepack-inspect PACK [--extract DIR]\n"
    "       framepack-inspect --version\n";

class InspectTest : public WorkFolderTest {
 protected:
  // Returns the result of framepack-inspect with its standard error in the same pipe as its
  // standard output.
  RunResult InspectMerged(const std::vector<std::string>& args) const {
    RunOptions options;
    options.merge_stderr = true;
    return RunProgram(INSPECT_EXE, args, folder_, options);
  }
};

TEST_F(InspectTest, VersionIsTheProjectsOwn) {
  const RunResult run = Inspect({"--version"});
  EXPECT_EQ(run.out, std::string("framepack-inspect ") + VERSION + "\n");
  EXPECT_EQ(run.status, 0);
}

TEST_F(InspectTest, WrongCommandLinesGetTheUsageOnStandardError) {
  for (const std::vector<std::string>& args :
       {std::vector<std::string>{}, {"--version", "extra"}, {"pack.bin", "--extract"}}) {
    EXPECT_EQ(Inspect(args).out, "");
    const RunResult run = InspectMerged(args);
    EXPECT_EQ(run.out, kInspectUsage);
    EXPECT_EQ(run.status, 1);
  }
}

}  // namespace
