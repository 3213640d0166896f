// Faults around a conversion: files that cannot be deleted, and two conversions at once.
#include <string>
#include <thread>

#include "tests/black_box/test_util.h"

namespace {

using FaultTest = ClipFolderTest;

TEST_F(FaultTest, FileThatCannotBeDeletedNeverMixesIntoALaterPack) {
  const std::string why_not = WhyNoUndeletableFiles();
  if (!why_not.empty()) GTEST_SKIP() << why_not;
  // The run that made it goes on.
  FakeFfmpeg(
      {"frame frame00001.jpg one", "frame frame00002.jpg two", "undeletable frame00002.jpg"});
  RunResult run = Convert({"clip.mp4", "out.bin"});
  EXPECT_EQ(run.out, kBanner + kSuccess);
  EXPECT_EQ(ReadFile(At("out.bin")), U32(2) + Record(4, "one") + Record(15, "two"));
  EXPECT_EQ(ReadFile(At("lib/temp/frame00002.jpg")), "two");

  // The next run packs its own frames only.
  FakeFfmpeg({"frame frame00001.jpg uno"});
  run = Convert({"clip.mp4", "out.bin"});
  EXPECT_EQ(run.out, kBanner + kSuccess);
  EXPECT_EQ(ReadFile(At("out.bin")), U32(1) + Record(4, "uno"));
}

TEST_F(FaultTest, LeftoverThatFfmpegWritesAgainIsItsOwn) {
  SKIP_ON_NATIVE_BUILD(kNoWritableLeftover);
  FakeFfmpeg({"frame frame00002.jpg two", "undeletable frame00002.jpg"});
  ASSERT_EQ(Convert({"clip.mp4", "out.bin"}).status, 0);
  ASSERT_TRUE(Exists(At("lib/temp/frame00002.jpg")));
  FakeFfmpeg({"frame frame00001.jpg uno", "frame frame00002.jpg dos"});
  const RunResult run = Convert({"clip.mp4", "out.bin"});
  EXPECT_EQ(run.out, kBanner + kSuccess);
  EXPECT_EQ(ReadFile(At("out.bin")), U32(2) + Record(4, "uno") + Record(15, "dos"));
}

TEST_F(FaultTest, ConversionsStartedTogetherNeverMixFrames) {
  WriteFile(At("a.mp4"), "a");
  WriteFile(At("b.mp4"), "b");
  // Slow frames, so that the two runs overlap if nothing keeps them apart.
  FakeFfmpeg({"pause 200", "frame frame00001.jpg \\i-1", "frame frame00002.jpg \\i-2",
              "frame frame00003.jpg \\i-3"});
  RunResult a, b;
  std::thread first([&] { a = Convert({"a.mp4", "a.bin"}); });
  std::thread second([&] { b = Convert({"b.mp4", "b.bin"}); });
  first.join();
  second.join();
  const std::string waited = "Waiting for another conversion in this folder...\n";
  EXPECT_EQ(a.status, 0);
  EXPECT_EQ(b.status, 0);
  EXPECT_TRUE(a.out == kBanner + kSuccess || a.out == kBanner + waited + kSuccess) << a.out;
  EXPECT_TRUE(b.out == kBanner + kSuccess || b.out == kBanner + waited + kSuccess) << b.out;
  EXPECT_NE(a.out == b.out, true) << "one of them must have waited";
  for (const std::string name : {"a", "b"}) {
    const std::string input = name + ".mp4";
    EXPECT_EQ(ReadFile(At(name + ".bin")), U32(3) + Record(4, input + "-1") +
                                               Record(4 + 8 + 7, input + "-2") +
                                               Record(4 + 16 + 14, input + "-3"));
  }
  EXPECT_FALSE(Exists(At("lib/temp")));
}

}  // namespace
