// Whole conversions with a fake ffmpeg: the command it gets, the echo of its output, the pack's
// bytes, the frame order and every way a conversion can fail.
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstdio>
#include <string>
#include <vector>

#include "frame_pack/frame_pack.h"
#include "tests/black_box/test_util.h"

namespace {

class ConversionTest : public ClipFolderTest {
 protected:
  // Expects a failed run: the message after the echo, status 1, an empty output, no scratch folder.
  void ExpectFailure(const RunResult& run, const std::string& message) const {
    EXPECT_EQ(run.out, kBanner + "\n\n" + message);
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(ReadFile(At("out.bin")).size(), 0u);
    EXPECT_FALSE(Exists(At("lib/temp")));
    EXPECT_FALSE(Exists(At("lib/temp.lock")));
  }
};

TEST_F(ConversionTest, FfmpegGetsTheInputAndOptionsAsArguments) {
  const std::string odd = "we ird $HOME `id` ;&'(x)^!.mp4";
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
  FakeFfmpeg({});
  for (const Case& c : cases) {
    const RunResult run = Convert(c.args);
    EXPECT_EQ(run.out, kBanner + kSuccess);
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(ReadFile(At("args.txt")), "[lib\\ffmpeg.exe]\n" + c.received);
  }
}

TEST_F(ConversionTest, EchoesEachPieceOfFfmpegsOutputOnALineOfItsOwn) {
  struct Case {
    std::string line;
    std::string echo;
  };
  const std::string x1023(1023, 'x');
  const Case cases[] = {
      {"", ""},
      {"out A\\nB\\n", "A\n\nB\n\n"},
      {"out A", "A\n"},
      {"out " + std::string(1500, 'x') + "\\n", x1023 + "\n" + std::string(477, 'x') + "\n\n"},
      {"out A\\r\\nB\\rC\\n", "A\n\nB\rC\n\n"},
      {"out ab\\0cd\\n", "ab\n"},
  };
  for (const Case& c : cases) {
    FakeFfmpeg({c.line});
    const RunResult run = Convert({"clip.mp4", "out.bin"});
    EXPECT_EQ(run.out, kBanner + c.echo + kSuccess) << c.line;
    EXPECT_EQ(run.status, 0);
  }
}

TEST_F(ConversionTest, OurLinesAndFfmpegsErrorsStayInOrderInOneLog) {
  FakeFfmpeg({"err ffmpeg on stderr\\n"});
  RunOptions options;
  options.merge_stderr = true;
  const RunResult run = Convert({"clip.mp4", "out.bin"}, options);
  // The Windows build's own lines end in CR LF, ffmpeg's error line is its own.
  EXPECT_EQ(run.out, kBanner + "ffmpeg on stderr\n" + kSuccess);
}

TEST_F(ConversionTest, PacksFramesWithTheirSizesAndOffsets) {
  struct Case {
    std::vector<std::string> lines;
    std::string pack;
  };
  const Case cases[] = {
      {{}, U32(0)},
      {{"frame frame00001.jpg 0123456789", "frame frame00002.jpg 01234567890123456789"},
       U32(2) + Record(4, "0123456789") + Record(22, "01234567890123456789")},
      {{"frame frame00001.jpg", "frame frame00002.jpg abc"},
       U32(2) + Record(4, "") + Record(12, "abc")},
      // Whatever else ffmpeg leaves is packed too; folders are not.
      {{"frame frame00001.jpg one", "frame notes.txt stray", "frame sub/frame00002.jpg hidden",
        "dir frame00003.jpg"},
       U32(2) + Record(4, "one") + Record(15, "stray")},
  };
  for (const Case& c : cases) {
    FakeFfmpeg(c.lines);
    const RunResult run = Convert({"clip.mp4", "out.bin"});
    EXPECT_EQ(run.out, kBanner + kSuccess);
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(ReadFile(At("out.bin")), c.pack) << c.lines.size();
    EXPECT_FALSE(Exists(At("lib/temp")));
    EXPECT_FALSE(Exists(At("lib/temp.lock")));
  }
}

TEST_F(ConversionTest, PacksFramesInFrameNumberOrderPast99999) {
  constexpr int kFrames = 100001;
  // Made here and moved into place by the fake: wine makes files in a large folder slowly.
  mkdir(At("made").c_str(), 0755);
  for (int i = 1; i <= kFrames; ++i) {
    char name[32];
    snprintf(name, sizeof name, "made/frame%05d.jpg", i);
    WriteFile(At(name), std::to_string(i));
  }
  FakeFfmpeg({"adopt made"});
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
  const std::vector<std::string> cases[] = {
      {"exit 1"}, {"frame frame00001.jpg x", "crash"}, {"frame frame00001.jpg x", "exit 3"}};
  for (const std::vector<std::string>& lines : cases) {
    WriteFile(At("out.bin"), "old pack");
    FakeFfmpeg(lines);
    ExpectFailure(Convert({"clip.mp4", "out.bin"},
                          [] {
                            RunOptions quiet;  // wine reports the crash on standard error
                            quiet.quiet = true;
                            return quiet;
                          }()),
                  "Unable to convert clip.mp4\n");
  }
}

TEST_F(ConversionTest, MissingFfmpegCannotBeExecuted) {
  // An empty lib folder, none at all, and a file of that name.
  for (const std::string lib : {"folder", "none", "file"}) {
    if (lib == "none") rmdir(At("lib").c_str());
    if (lib == "file") WriteFile(At("lib"), "not a folder");
    const RunResult run = Convert({"clip.mp4", "out.bin"});
    EXPECT_EQ(run.out, kBanner + "Unable to execute ffmpeg\n") << lib;
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(ReadFile(At("out.bin")), "");
    EXPECT_FALSE(Exists(At("lib/temp")));
    EXPECT_FALSE(Exists(At("lib/temp.lock")));
  }
  EXPECT_EQ(ReadFile(At("lib")), "not a folder");
}

TEST_F(ConversionTest, VanishedScratchFolderCannotBeConverted) {
  FakeFfmpeg({"remove_folder"});
  ExpectFailure(Convert({"clip.mp4", "out.bin"}), "Unable to convert clip.mp4\n");
}

TEST_F(ConversionTest, FrameThatCannotBeReadStopsTheConversion) {
  SKIP_ON_WINDOWS_BUILD(kWineShowsFileLinksAsFiles);
  for (const std::string target : {"nowhere", "../../clip.mp4"}) {
    FakeFfmpeg({"frame frame00001.jpg one", "link frame00002.jpg " + target});
    ExpectFailure(Convert({"clip.mp4", "out.bin"}),
                  "Unable to read frame: lib/temp\\frame00002.jpg\n");
    EXPECT_EQ(ReadFile(At("clip.mp4")), "video bytes");
  }
}

TEST_F(ConversionTest, FifoOrSocketNamedLikeAFrameIsNotRead) {
  SKIP_ON_WINDOWS_BUILD(kPosixOnlyFiles);
  for (const bool fifo : {true, false}) {
    mkdir(At("made").c_str(), 0755);
    WriteFile(At("made/frame00001.jpg"), "one");
    const std::string path = At("made/frame00002.jpg");
    int listener = -1;
    if (fifo) {
      ASSERT_EQ(mkfifo(path.c_str(), 0644), 0);
    } else {
      listener = socket(AF_UNIX, SOCK_STREAM, 0);
      sockaddr_un address = {};
      address.sun_family = AF_UNIX;
      ASSERT_LT(path.size(), sizeof address.sun_path);
      path.copy(address.sun_path, path.size());
      ASSERT_EQ(bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    }
    FakeFfmpeg({"adopt made"});
    ExpectFailure(Convert({"clip.mp4", "out.bin"}),
                  "Unable to read frame: lib/temp\\frame00002.jpg\n");
    if (listener >= 0) close(listener);
  }
}

TEST_F(ConversionTest, EntryWhosePathDoesNotFitStopsTheConversion) {
  const std::string name(251, 'n');  // "lib/temp\" and this name make 260 characters
  FakeFfmpeg({"frame frame00001.jpg one", "frame " + name});
  ExpectFailure(Convert({"clip.mp4", "out.bin"}), "Path too long: lib/temp\\" + name + "\n");
}

TEST_F(ConversionTest, ShortWriteLeavesNoPack) {
  // Small frames fail at the last of the gathered writes, large ones while they are written.
  for (const int frame_size : {60000, 600000}) {
    const std::string size = std::to_string(frame_size);
    FakeFfmpeg({"size frame00001.jpg " + size, "size frame00002.jpg " + size,
                "size frame00003.jpg " + size});
    RunOptions options;
    options.file_size = static_cast<rlim_t>(frame_size) * 5 / 3;
    ExpectFailure(Convert({"clip.mp4", "out.bin"}, options), "Unable to write: out.bin\n");
  }
}

TEST_F(ConversionTest, FrameTooLargeForMemoryIsReported) {
  SKIP_ON_WINDOWS_BUILD(kWineNeedsAddressSpace);
  if (UnderMemoryTool()) GTEST_SKIP() << "a memory tool needs more address space than the limit";
  FakeFfmpeg({"size frame00001.jpg 2147483648"});
  RunOptions options;
  options.address_space = 1u << 30;
  ExpectFailure(Convert({"clip.mp4", "out.bin"}, options),
                "Unable to convert clip.mp4: out of memory\n");
}

TEST_F(ConversionTest, PackOver4GiBIsRefusedBeforeAnyFrameIsRead) {
  FakeFfmpeg({"size frame00001.jpg 3221225472", "size frame00002.jpg 1073741824"});
  ExpectFailure(Convert({"clip.mp4", "out.bin"}),
                "Frame pack would exceed the 4 GiB limit: out.bin\n");
}

TEST_F(ConversionTest, OffsetsPast2GiBAreExact) {
  const uint64_t first = (uint64_t{1} << 31) + 100;
  FakeFfmpeg({"size frame00001.jpg " + std::to_string(first), "frame frame00002.jpg tail"});
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
  std::vector<std::string> lines;
  for (int i = 10; i <= 26; ++i) {
    lines.push_back("frame frame000" + std::to_string(i) + ".jpg \\xff\\xd8" + std::to_string(i) +
                    "\\xff\\xd9");
  }
  FakeFfmpeg(lines);
  ASSERT_EQ(Convert({"clip.mp4", "jpeg.bin"}).status, 0);
  const RunResult summary = Inspect({"jpeg.bin"});
  EXPECT_EQ(summary.out, "frames: 17\nframe sizes: 6 to 6 bytes; pack size: 242 bytes\n");
  EXPECT_EQ(summary.status, 0);

  FakeFfmpeg({"frame frame00001.jpg no jpeg"});
  ASSERT_EQ(Convert({"clip.mp4", "text.bin"}).status, 0);
  const RunResult refused = Inspect({"text.bin"});
  EXPECT_EQ(refused.out, "");
  EXPECT_EQ(refused.status, 1);
}

}  // namespace
