// Whole conversions with a fake ffmpeg: the command it gets, the echo of its output, the pack's
// bytes, the frame order and every way a conversion can fail.
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <string>
#include <vector>

#include "frame_pack/frame_pack.h"
#include "tests/test_util.h"

namespace {

class ConversionTest : public ClipFolderTest {
 protected:
  // Expects a failed run: the message after the echo, status 1, an empty output, no scratch folder.
  void ExpectFailure(const RunResult& run, const std::string& message) const {
    EXPECT_EQ(run.out, kBanner + "\n\n" + message);
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(ReadFile(At("out.bin")), "");
    EXPECT_FALSE(Exists(At("lib/temp")));
  }
};

TEST_F(ConversionTest, FfmpegGetsTheInputAndOptionsAsArguments) {
  const std::string odd = "we ird $HOME `id` ;&|%'\xc3\xa9\xff.mp4";
  WriteFile(At(odd), "video");
  struct Case {
    std::vector<std::string> args;
    std::string received;
  };
  const std::string frames = "[lib/temp/frame%05d.jpg]\n";
  const Case cases[] = {
      {{"clip.mp4", "out.bin"}, "[-i]\n[clip.mp4]\n[-q:v]\n[1]\n" + frames},
      {{"clip.mp4", "out.bin", "-vf", "scale=320:-1"},
       "[-i]\n[clip.mp4]\n[-vf]\n[scale=320:-1]\n" + frames},
      {{"clip.mp4", "out.bin", ""}, "[-i]\n[clip.mp4]\n" + frames},
      {{"clip.mp4", "out.bin", "-vf", "scale=32:-1 -an"},
       "[-i]\n[clip.mp4]\n[-vf]\n[scale=32:-1]\n[-an]\n" + frames},
      {{odd, "out.bin"}, "[-i]\n[" + odd + "]\n[-q:v]\n[1]\n" + frames},
  };
  FakeFfmpeg("printf '[%s]\\n' \"$0\" \"$@\" > args.txt\n");
  for (const Case& c : cases) {
    const RunResult run = Convert(c.args);
    EXPECT_EQ(run.out, kBanner + kSuccess);
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(ReadFile(At("args.txt")), "[lib/ffmpeg.exe]\n" + c.received);
  }
}

TEST_F(ConversionTest, EchoesEachPieceOfFfmpegsOutputOnALineOfItsOwn) {
  struct Case {
    std::string script;
    std::string echo;
  };
  const std::string x1023(1023, 'x');
  const Case cases[] = {
      {"", ""},
      {"printf 'A\\nB\\n'", "A\n\nB\n\n"},
      {"printf 'A'", "A\n"},
      {"head -c 1500 /dev/zero | tr '\\0' x; echo", x1023 + "\n" + std::string(477, 'x') + "\n\n"},
      {"printf 'A\\r\\nB\\rC\\n'", "A\n\nB\rC\n\n"},
      {"printf 'ab\\0cd\\n'", "ab\n"},
  };
  for (const Case& c : cases) {
    FakeFfmpeg(c.script + "\n");
    const RunResult run = Convert({"clip.mp4", "out.bin"});
    EXPECT_EQ(run.out, kBanner + c.echo + kSuccess) << c.script;
    EXPECT_EQ(run.status, 0);
  }
}

TEST_F(ConversionTest, OurLinesAndFfmpegsErrorsStayInOrderInOneLog) {
  FakeFfmpeg("echo 'ffmpeg on stderr' >&2\n");
  RunOptions options;
  options.merge_stderr = true;
  const RunResult run = Convert({"clip.mp4", "out.bin"}, options);
  EXPECT_EQ(run.out, kBanner + "ffmpeg on stderr\n" + kSuccess);
}

TEST_F(ConversionTest, PacksFramesWithTheirSizesAndOffsets) {
  struct Case {
    std::string script;
    std::string pack;
  };
  const Case cases[] = {
      {"", U32(0)},
      {"printf 0123456789 > \"$frames/frame00001.jpg\"\n"
       "printf 01234567890123456789 > \"$frames/frame00002.jpg\"\n",
       U32(2) + Record(4, "0123456789") + Record(22, "01234567890123456789")},
      {": > \"$frames/frame00001.jpg\"\nprintf abc > \"$frames/frame00002.jpg\"\n",
       U32(2) + Record(4, "") + Record(12, "abc")},
      // Whatever else ffmpeg leaves is packed too; folders are not.
      {"printf one > \"$frames/frame00001.jpg\"\nprintf stray > \"$frames/notes.txt\"\n"
       "mkdir \"$frames/sub\"\nprintf hidden > \"$frames/sub/frame00002.jpg\"\n"
       "mkdir \"$frames/frame00003.jpg\"\n",
       U32(2) + Record(4, "one") + Record(15, "stray")},
  };
  for (const Case& c : cases) {
    FakeFfmpeg(c.script);
    const RunResult run = Convert({"clip.mp4", "out.bin"});
    EXPECT_EQ(run.out, kBanner + kSuccess);
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(ReadFile(At("out.bin")), c.pack) << c.script;
    EXPECT_FALSE(Exists(At("lib/temp")));
  }
}

TEST_F(ConversionTest, PacksFramesInFrameNumberOrderPast99999) {
  constexpr int kFrames = 100001;
  mkdir(At("made").c_str(), 0755);
  for (int i = 1; i <= kFrames; ++i) {
    char name[32];
    snprintf(name, sizeof name, "made/frame%05d.jpg", i);
    WriteFile(At(name), std::to_string(i));
  }
  FakeFfmpeg("rmdir \"$frames\" && mv made \"$frames\"\n");
  const RunResult run = Convert({"clip.mp4", "out.bin"});
  ASSERT_EQ(run.out, kBanner + kSuccess);
  std::vector<PackRecord> records;
  EXPECT_EQ(CheckPack(At("out.bin"), false, &records), "");
  ASSERT_EQ(records.size(), static_cast<size_t>(kFrames));
  const std::string bytes = ReadFile(At("out.bin"));
  int out_of_order = 0;
  for (int i = 0; i < kFrames; ++i) {
    if (bytes.substr(records[i].offset + 8, records[i].size) != std::to_string(i + 1))
      ++out_of_order;
  }
  EXPECT_EQ(out_of_order, 0);
}

TEST_F(ConversionTest, FailedFfmpegIsAFailedConversion) {
  for (const std::string script :
       {"exit 1\n", "printf x > \"$frames/frame00001.jpg\"\nkill -9 $$\n",
        "printf x > \"$frames/frame00001.jpg\"\nexit 3\n"}) {
    WriteFile(At("out.bin"), "old pack");
    FakeFfmpeg(script);
    ExpectFailure(Convert({"clip.mp4", "out.bin"}), "Unable to convert clip.mp4\n");
  }
}

TEST_F(ConversionTest, MissingFfmpegCannotBeExecuted) {
  const RunResult run = Convert({"clip.mp4", "out.bin"});
  EXPECT_EQ(run.out, kBanner + "Unable to execute ffmpeg\n");
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(ReadFile(At("out.bin")), "");
}

TEST_F(ConversionTest, VanishedScratchFolderCannotBeConverted) {
  FakeFfmpeg("rm -r \"$frames\"\n");
  ExpectFailure(Convert({"clip.mp4", "out.bin"}), "Unable to convert clip.mp4\n");
}

TEST_F(ConversionTest, FrameThatCannotBeReadStopsTheConversion) {
  for (const std::string maker : {"ln -s nowhere", "ln -s ../../clip.mp4", "mkfifo"}) {
    FakeFfmpeg("printf one > \"$frames/frame00001.jpg\"\n" + maker +
               " \"$frames/frame00002.jpg\"\n");
    ExpectFailure(Convert({"clip.mp4", "out.bin"}),
                  "Unable to read frame: lib/temp\\frame00002.jpg\n");
    EXPECT_EQ(ReadFile(At("clip.mp4")), "video bytes");
  }
}

TEST_F(ConversionTest, EntryWhosePathDoesNotFitStopsTheConversion) {
  const std::string name(251, 'n');  // "lib/temp\" and this name make 260 characters
  FakeFfmpeg("printf one > \"$frames/frame00001.jpg\"\n: > \"$frames/" + name + "\"\n");
  const RunResult run = Convert({"clip.mp4", "out.bin"});
  EXPECT_EQ(run.out, kBanner + "\n\nPath too long: lib/temp\\" + name + "\n");
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(ReadFile(At("out.bin")), "");
  // It cannot be deleted through a path that fits either, so it stays, alone.
  EXPECT_TRUE(Exists(At("lib/temp/" + name)));
  EXPECT_FALSE(Exists(At("lib/temp/frame00001.jpg")));
}

TEST_F(ConversionTest, ShortWriteLeavesNoPack) {
  // Small frames fail only when the output is closed, large ones while they are written.
  for (const int frame_size : {60000, 600000}) {
    FakeFfmpeg("for i in 1 2 3; do head -c " + std::to_string(frame_size) +
               " /dev/zero > \"$frames/frame0000$i.jpg\"; done\n");
    RunOptions options;
    options.file_size = static_cast<rlim_t>(frame_size) * 5 / 3;
    ExpectFailure(Convert({"clip.mp4", "out.bin"}, options), "Unable to write: out.bin\n");
  }
}

TEST_F(ConversionTest, FrameTooLargeForMemoryIsReported) {
  if (UnderMemoryTool()) GTEST_SKIP() << "a memory tool needs more address space than the limit";
  FakeFfmpeg("truncate -s 2G \"$frames/frame00001.jpg\"\n");
  RunOptions options;
  options.address_space = 1u << 30;
  ExpectFailure(Convert({"clip.mp4", "out.bin"}, options),
                "Unable to convert clip.mp4: out of memory\n");
}

TEST_F(ConversionTest, PackOver4GiBIsRefusedBeforeAnyFrameIsRead) {
  FakeFfmpeg(
      "truncate -s 3G \"$frames/frame00001.jpg\"\ntruncate -s 1G \"$frames/frame00002.jpg\"\n");
  ExpectFailure(Convert({"clip.mp4", "out.bin"}),
                "Frame pack would exceed the 4 GiB limit: out.bin\n");
}

TEST_F(ConversionTest, OffsetsPast2GiBAreExact) {
  const uint64_t first = (uint64_t{1} << 31) + 100;
  FakeFfmpeg("truncate -s " + std::to_string(first) + " \"$frames/frame00001.jpg\"\n" +
             "printf tail > \"$frames/frame00002.jpg\"\n");
  const RunResult run = Convert({"clip.mp4", "out.bin"});
  ASSERT_EQ(run.out, kBanner + kSuccess);
  std::vector<PackRecord> records;
  EXPECT_EQ(CheckPack(At("out.bin"), false, &records), "");
  ASSERT_EQ(records.size(), 2u);
  EXPECT_EQ(records[0].size, first);
  EXPECT_EQ(records[1].offset, 4 + 8 + first);
  EXPECT_EQ(records[1].size, 4u);
  unlink(At("out.bin").c_str());
}

TEST_F(ConversionTest, InspectorSummarisesLongPacksAndRefusesNonJpegFrames) {
  FakeFfmpeg(
      "for i in $(seq 10 26); do printf '\\377\\330%s\\377\\331' $i > \"$frames/frame000$i.jpg\"; "
      "done\n");
  ASSERT_EQ(Convert({"clip.mp4", "jpeg.bin"}).status, 0);
  const RunResult summary = RunProgram(INSPECT_EXE, {"jpeg.bin"}, folder_);
  EXPECT_EQ(summary.out, "frames: 17\nframe sizes: 6 to 6 bytes; pack size: 242 bytes\n");
  EXPECT_EQ(summary.status, 0);

  FakeFfmpeg("printf 'no jpeg' > \"$frames/frame00001.jpg\"\n");
  ASSERT_EQ(Convert({"clip.mp4", "text.bin"}).status, 0);
  const RunResult refused = RunProgram(INSPECT_EXE, {"text.bin"}, folder_);
  EXPECT_EQ(refused.out, "");
  EXPECT_EQ(refused.status, 1);
}

}  // namespace
