// Conversions with the real ffmpeg, checked against what ffmpeg itself writes as one stream.
#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "frame_pack/frame_pack.h"
#include "tests/black_box/test_util.h"

namespace {

class RealFfmpegTest : public WorkFolderTest {
 protected:
  void SetUp() override {
    WorkFolderTest::SetUp();
    ASSERT_EQ(symlink(REAL_FFMPEG_EXE, At("lib/ffmpeg.exe").c_str()), 0);
    const RunResult made =
        Ffmpeg({"-v", "error", "-f", "lavfi", "-i", "testsrc=duration=1:size=64x48:rate=10", "-c:v",
                "libx264", "-pix_fmt", "yuv420p", "clip.mp4"});
    ASSERT_EQ(made.status, 0) << "ffmpeg could not make the sample clip";
  }
  static RunOptions Quiet() {
    RunOptions options;
    options.quiet = true;
    return options;
  }
  // Returns the frame bodies of the pack at path, one after another, after checking the pack.
  std::string Bodies(const std::string& path, size_t* frames) const {
    std::vector<PackRecord> records;
    EXPECT_EQ(CheckPack(path, true, &records), "");
    const std::string bytes = ReadFile(path);
    std::string bodies;
    for (const PackRecord& record : records) bodies += bytes.substr(record.offset + 8, record.size);
    *frames = records.size();
    return bodies;
  }
};

// Returns width x height from the first start-of-frame marker of a JPEG image.
std::string Dimensions(const std::string& jpeg) {
  for (size_t i = 0; i + 9 < jpeg.size(); ++i) {
    if (static_cast<unsigned char>(jpeg[i]) == 0xFF &&
        static_cast<unsigned char>(jpeg[i + 1]) == 0xC0) {
      auto at = [&](size_t k) { return static_cast<unsigned char>(jpeg[k]); };
      return std::to_string(at(i + 7) << 8 | at(i + 8)) + "x" +
             std::to_string(at(i + 5) << 8 | at(i + 6));
    }
  }
  return "none";
}

TEST_F(RealFfmpegTest, PackHoldsExactlyTheFramesFfmpegWrites) {
  const RunResult run = Convert({"clip.mp4", "out.bin"}, Quiet());
  EXPECT_EQ(run.out, kBanner + kSuccess);
  EXPECT_EQ(run.status, 0);
  EXPECT_FALSE(Exists(At("lib/temp")));
  size_t frames = 0;
  const std::string bodies = Bodies(At("out.bin"), &frames);
  EXPECT_EQ(frames, 10u);
  const RunResult stream = Ffmpeg(
      {"-v", "error", "-i", "clip.mp4", "-q:v", "1", "-f", "image2pipe", "-c:v", "mjpeg", "-"});
  ASSERT_EQ(stream.status, 0);
  EXPECT_TRUE(bodies == stream.out) << "pack bodies differ from ffmpeg's own stream";
}

TEST_F(RealFfmpegTest, UserOptionsReachFfmpeg) {
  const RunResult run = Convert({"clip.mp4", "out.bin", "-vf", "scale=32:-1"}, Quiet());
  EXPECT_EQ(run.status, 0);
  size_t frames = 0;
  const std::string bodies = Bodies(At("out.bin"), &frames);
  EXPECT_EQ(frames, 10u);
  EXPECT_EQ(Dimensions(bodies), "32x24");
}

TEST_F(RealFfmpegTest, ScriptsInputOddNamesAndShellCharactersReachNoOneElse) {
  // A file named "-", a "q" waiting on standard input (ffmpeg's key to stop), a bar in a filter.
  WriteFile(At("-"), ReadFile(At("clip.mp4")));
  RunOptions options = Quiet();
  options.input = "q\nnext.mp4\n";
  const std::string filter = "format=pix_fmts=yuvj420p|yuv420p";
  const RunResult run = Convert({"-", "out.bin", "-vf", filter}, options);
  EXPECT_EQ(run.out, kBanner + kSuccess);
  EXPECT_EQ(run.input_read, 0);
  size_t frames = 0;
  const std::string bodies = Bodies(At("out.bin"), &frames);
  EXPECT_EQ(frames, 10u);
  const RunResult stream = Ffmpeg(
      {"-v", "error", "-i", "clip.mp4", "-vf", filter, "-f", "image2pipe", "-c:v", "mjpeg", "-"});
  ASSERT_EQ(stream.status, 0);
  EXPECT_TRUE(bodies == stream.out) << "pack bodies differ from ffmpeg's own stream";
}

TEST_F(RealFfmpegTest, NamesInAnyScriptConvert) {
  const std::string input = "vidéo-日本.mp4";
  const std::string output = "パック-é.bin";
  WriteFile(At(input), ReadFile(At("clip.mp4")));
  const RunResult run = Convert({input, output}, Quiet());
  EXPECT_EQ(run.out, kBanner + kSuccess);
  EXPECT_EQ(run.status, 0);
  size_t frames = 0;
  const std::string bodies = Bodies(At(output), &frames);
  EXPECT_EQ(frames, 10u);
  const RunResult stream = Ffmpeg(
      {"-v", "error", "-i", "clip.mp4", "-q:v", "1", "-f", "image2pipe", "-c:v", "mjpeg", "-"});
  ASSERT_EQ(stream.status, 0);
  EXPECT_TRUE(bodies == stream.out) << "pack bodies differ from ffmpeg's own stream";
}

TEST_F(RealFfmpegTest, InputOrOptionsFfmpegRejectsFailTheConversion) {
  WriteFile(At("text.mp4"), "this is no video\n");
  WriteFile(At("empty.mp4"), "");
  ASSERT_EQ(mkdir(At("folder.mp4").c_str(), 0755), 0);
  const std::vector<std::string> cases[] = {
      {"text.mp4", "out.bin"},
      {"empty.mp4", "out.bin"},
      {"folder.mp4", "out.bin"},
      {"clip.mp4", "out.bin", "-no-such-option"},
      {"clip.mp4", "out.bin", "-vf", "no_such_filter"},
      {"clip.mp4", "out.bin", "-q:v"},
  };
  for (const std::vector<std::string>& args : cases) {
    WriteFile(At("out.bin"), "old pack");
    const RunResult run = Convert(args, Quiet());
    EXPECT_EQ(run.out, kBanner + "\n\nUnable to convert " + args[0] + "\n") << args.back();
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(ReadFile(At("out.bin")), "");
    EXPECT_FALSE(Exists(At("lib/temp")));
    EXPECT_TRUE(Exists(At(args[0])));
  }
}

TEST_F(RealFfmpegTest, InspectorListsChecksAndExtractsAPack) {
  ASSERT_EQ(Convert({"clip.mp4", "out.bin"}, Quiet()).status, 0);
  const RunResult listed = Inspect({"out.bin", "--extract", "frames"});
  EXPECT_EQ(listed.status, 0);
  EXPECT_EQ(listed.out.substr(0, 10), "frames: 10");
  EXPECT_NE(listed.out.find("\nframe 1: offset 4, size "), std::string::npos);
  size_t frames = 0;
  const std::string bodies = Bodies(At("out.bin"), &frames);
  std::string files;
  for (int i = 1; i <= 10; ++i) {
    char name[32];
    snprintf(name, sizeof name, "frames/frame%05d.jpg", i);
    files += ReadFile(At(name));
  }
  EXPECT_TRUE(files == bodies) << "extracted frames differ from the pack's";

  std::string broken = ReadFile(At("out.bin"));
  broken[8] ^= 1;  // the first record's offset
  WriteFile(At("broken.bin"), broken);
  const RunResult refused = Inspect({"broken.bin"});
  EXPECT_EQ(refused.status, 1);
  EXPECT_EQ(refused.out, "");
}

}  // namespace
