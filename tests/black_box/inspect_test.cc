// framepack-inspect's own command line: its version, and what it tells scripts.
#include <string>
#include <vector>

#include "tests/black_box/test_util.h"

namespace {

constexpr char kInspectUsage[] =
    "usage: framepack-inspect PACK [--json] [--extract DIR]\n"
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
  for (const std::vector<std::string>& args : {std::vector<std::string>{},
                                               {"--version", "extra"},
                                               {"pack.bin", "--extract"},
                                               {"pack.bin", "--json", "--json"},
                                               {"--json", "pack.bin"},
                                               {"pack.bin", "--jsonl"}}) {
    EXPECT_EQ(Inspect(args).out, "");
    const RunResult run = InspectMerged(args);
    EXPECT_EQ(run.out, kInspectUsage);
    EXPECT_EQ(run.status, 1);
  }
}

// Returns a complete JPEG image, as the inspector checks one: FF D8, then body, then FF D9.
std::string Jpeg(const std::string& body) { return "\xff\xd8" + body + "\xff\xd9"; }

TEST_F(InspectTest, JsonDescribesASoundPack) {
  std::string long_pack = U32(17);
  std::string long_frames;
  for (uint32_t i = 0; i < 17; ++i) {
    long_frames += std::string(i == 0 ? "" : ", ") +
                   "{\"offset\": " + std::to_string(long_pack.size()) + ", \"size\": 5}";
    long_pack += Record(static_cast<uint32_t>(long_pack.size()), Jpeg("x"));
  }
  struct Case {
    std::string pack, json;
  };
  const Case cases[] = {
      {U32(0), "{\"frame_count\": 0, \"pack_size\": 4, \"frames\": []}\n"},
      {U32(2) + Record(4, Jpeg("one")) + Record(19, Jpeg("three")),
       "{\"frame_count\": 2, \"pack_size\": 36, \"frames\": [{\"offset\": 4, \"size\": 7}, "
       "{\"offset\": 19, \"size\": 9}]}\n"},
      // No summary for scripts, however many frames.
      {long_pack, "{\"frame_count\": 17, \"pack_size\": 225, \"frames\": [" + long_frames + "]}\n"},
  };
  for (const Case& c : cases) {
    WriteFile(At("pack.bin"), c.pack);
    const RunResult run = InspectMerged({"pack.bin", "--json"});
    EXPECT_EQ(run.out, c.json);
    EXPECT_EQ(run.status, 0);
    EXPECT_TRUE(ReadFile(At("pack.bin")) == c.pack);
  }
}

TEST_F(InspectTest, JsonAndExtractionTogether) {
  const std::string pack = U32(2) + Record(4, Jpeg("one")) + Record(19, Jpeg("three"));
  WriteFile(At("パック.bin"), pack);
  const RunResult run = Inspect({"パック.bin", "--extract", "images-é", "--json"});
  EXPECT_EQ(run.out,
            "{\"frame_count\": 2, \"pack_size\": 36, \"frames\": [{\"offset\": 4, \"size\": 7}, "
            "{\"offset\": 19, \"size\": 9}]}\n");
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(ReadFile(At("images-é/frame00001.jpg")), Jpeg("one"));
  EXPECT_EQ(ReadFile(At("images-é/frame00002.jpg")), Jpeg("three"));
  EXPECT_FALSE(Exists(At("images-é/frame00003.jpg")));
}

TEST_F(InspectTest, JsonIsNeverPrintedForABrokenPack) {
  const std::string good = U32(1) + Record(4, Jpeg("one"));
  struct Case {
    std::string pack, message;
  };
  const std::string unsound = "pack.bin: not a sound frame pack: ";
  const Case cases[] = {
      {"", unsound + "shorter than a frame count\n"},
      {U32(2) + Record(4, Jpeg("one")), unsound + "count says 2 frames, the file holds 1\n"},
      {U32(1) + Record(5, Jpeg("one")), unsound + "frame 1 carries offset 5 but stands at 4\n"},
      {good + "x", unsound + "1 bytes follow the last frame\n"},
      {U32(1) + Record(4, "no jpeg"), unsound + "frame 1 is not a complete JPEG image\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.message);
    WriteFile(At("pack.bin"), c.pack);
    EXPECT_EQ(Inspect({"pack.bin", "--json"}).out, "");
    const RunResult run = InspectMerged({"pack.bin", "--json"});
    EXPECT_EQ(run.out, c.message);
    EXPECT_EQ(run.status, 1);
    EXPECT_TRUE(ReadFile(At("pack.bin")) == c.pack);
  }
  const RunResult missing = InspectMerged({"manquée-日本.bin", "--json"});
  EXPECT_EQ(missing.out, "Unable to open: manquée-日本.bin\n");
  EXPECT_EQ(missing.status, 1);
}

TEST_F(InspectTest, FailedExtractionPrintsNoJson) {
  WriteFile(At("pack.bin"), U32(1) + Record(4, Jpeg("one")));
  WriteFile(At("file"), "in the way");
  EXPECT_EQ(Inspect({"pack.bin", "--json", "--extract", "file"}).out, "");
  const RunResult run = InspectMerged({"pack.bin", "--json", "--extract", "file"});
  EXPECT_EQ(run.out, "Unable to create: file/frame00001.jpg\n");
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(ReadFile(At("file")), "in the way");
}

}  // namespace
