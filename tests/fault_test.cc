// Faults around a conversion: files that cannot be deleted, sockets, and two conversions at once.
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstring>
#include <string>
#include <thread>

#include "tests/test_util.h"

namespace {

using FaultTest = ClipFolderTest;

TEST_F(FaultTest, FileThatCannotBeDeletedNeverMixesIntoALaterPack) {
  // A read-only file cannot be deleted, as on Windows. The run that made it goes on.
  FakeFfmpeg(
      "printf one > \"$frames/frame00001.jpg\"\nprintf two > \"$frames/frame00002.jpg\"\n"
      "chmod a-w \"$frames/frame00002.jpg\"\n");
  RunResult run = Convert({"clip.mp4", "out.bin"});
  EXPECT_EQ(run.out, kBanner + kSuccess);
  EXPECT_EQ(ReadFile(At("out.bin")), U32(2) + Record(4, "one") + Record(15, "two"));
  EXPECT_EQ(ReadFile(At("lib/temp/frame00002.jpg")), "two");

  // The next run packs its own frames only, and a leftover that ffmpeg writes again is its own.
  FakeFfmpeg("printf uno > \"$frames/frame00001.jpg\"\n");
  run = Convert({"clip.mp4", "out.bin"});
  EXPECT_EQ(run.out, kBanner + kSuccess);
  EXPECT_EQ(ReadFile(At("out.bin")), U32(1) + Record(4, "uno"));

  FakeFfmpeg("printf uno > \"$frames/frame00001.jpg\"\nprintf dos > \"$frames/frame00002.jpg\"\n");
  run = Convert({"clip.mp4", "out.bin"});
  EXPECT_EQ(run.out, kBanner + kSuccess);
  EXPECT_EQ(ReadFile(At("out.bin")), U32(2) + Record(4, "uno") + Record(15, "dos"));
}

TEST_F(FaultTest, SocketNamedLikeAFrameIsNotRead) {
  mkdir(At("made").c_str(), 0755);
  WriteFile(At("made/frame00001.jpg"), "one");
  const int listener = socket(AF_UNIX, SOCK_STREAM, 0);
  sockaddr_un address = {};
  address.sun_family = AF_UNIX;
  const std::string path = At("made/frame00002.jpg");
  ASSERT_LT(path.size(), sizeof address.sun_path);
  std::memcpy(address.sun_path, path.c_str(), path.size());
  ASSERT_EQ(bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
  FakeFfmpeg("rmdir \"$frames\" && mv made \"$frames\"\n");
  const RunResult run = Convert({"clip.mp4", "out.bin"});
  close(listener);
  EXPECT_EQ(run.out, kBanner + "\n\nUnable to read frame: lib/temp\\frame00002.jpg\n");
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(ReadFile(At("out.bin")), "");
}

TEST_F(FaultTest, ConversionsStartedTogetherNeverMixFrames) {
  WriteFile(At("a.mp4"), "a");
  WriteFile(At("b.mp4"), "b");
  // Slow frames, so that the two runs overlap if nothing keeps them apart.
  FakeFfmpeg(
      "for i in 1 2 3; do printf \"%s-$i\" \"$2\" > \"$frames/frame0000$i.jpg\"; sleep 0.2;"
      " done\n");
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
