// A run that ends early, by a signal, a kill, a closed standard output or a full disk, leaves no
// pack that lies, no running ffmpeg and nothing else behind.
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "tests/black_box/test_util.h"

namespace {

// Frames enough for the packing to last a good while on either build (wine's calls are slower).
const int kManyFrames = kWindowsBuild ? 6000 : 30000;
constexpr int kFrameBytes = 1000;

class EarlyEndTest : public ClipFolderTest {
 protected:
  // Installs a fake ffmpeg that writes a frame every 50 ms for hours.
  void EndlessFfmpeg() const { FakeFfmpeg({"pause 50", "frames 999999 0"}); }
  // Installs the fake ffmpeg behind a shell script that starts it without handing over its
  // process, as some installations do: ffmpeg is then framepack's grandchild.
  void WrappedFfmpeg(const std::vector<std::string>& lines) const {
    FakeFfmpeg(lines);
    ASSERT_EQ(rename(At("lib/ffmpeg.exe").c_str(), At("lib/real_ffmpeg").c_str()), 0);
    WriteFile(At("lib/ffmpeg.exe"), "#!/bin/sh\n\"$(dirname \"$0\")/real_ffmpeg\" \"$@\"\n");
    chmod(At("lib/ffmpeg.exe").c_str(), 0755);
  }
  // Returns the process id of the fake ffmpeg, once it runs and has written two frames.
  pid_t RunningFfmpeg() const {
    EXPECT_TRUE(WaitFor([&] { return Exists(At("lib/temp/frame00002.jpg")); }, 20));
    const pid_t ffmpeg = FfmpegProcessIn(folder_);
    EXPECT_NE(ffmpeg, 0);
    return ffmpeg;
  }
  // Installs a fake ffmpeg that hands over many ready frames of kFrameBytes bytes.
  void ManyFrames() const {
    mkdir(At("made").c_str(), 0755);
    for (int i = 1; i <= kManyFrames; ++i) {
      char name[32];
      snprintf(name, sizeof name, "made/frame%05d.jpg", i);
      WriteFile(At(name), std::string(kFrameBytes, static_cast<char>('a' + i % 26)));
    }
    FakeFfmpeg({"adopt made"});
  }
  // Returns once the packing has begun: each frame file goes once it is packed.
  void WaitForPacking() const {
    char last[32];
    snprintf(last, sizeof last, "lib/temp/frame%05d.jpg", kManyFrames);
    ASSERT_TRUE(
        WaitFor([&] { return !Exists(At("lib/temp/frame00001.jpg")) && Exists(At(last)); }, 60))
        << "the packing never began";
  }
  // Expects that nothing of a run ended early is left but an honest output, and that the next
  // conversion in the folder is exact.
  void ExpectNextRunExact() const {
    EXPECT_EQ(HonestPack(ReadFile(At("out.bin"))), "");
    FakeFfmpeg({"frame frame00001.jpg one", "frame frame00002.jpg two"});
    const RunResult next = Convert({"clip.mp4", "out.bin"});
    EXPECT_EQ(next.out, kBanner + kSuccess);
    EXPECT_EQ(ReadFile(At("out.bin")), U32(2) + Record(4, "one") + Record(15, "two"));
    ExpectNothingLeft();
  }
  void ExpectNothingLeft() const {
    EXPECT_FALSE(Exists(At("lib/temp")));
    EXPECT_FALSE(Exists(At("lib/temp.lock")));
  }
  // Expects the ending of a run that caught the signal: one red line after what came before it
  // (the end of ffmpeg's echo only if ffmpeg had finished), the output empty and nothing left.
  void ExpectInterrupted(const RunResult& run, int signal_number, const std::string& before) const {
    EXPECT_EQ(run.out, kBanner + before + "Unable to convert clip.mp4: interrupted\n");
    EXPECT_EQ(run.status, InterruptedStatus(signal_number));
    EXPECT_EQ(ReadFile(At("out.bin")).size(), 0u);
    ExpectNothingLeft();
  }
  // Sends the signal while ffmpeg runs, to framepack alone or to its whole process group as a
  // terminal's Ctrl+C does.
  void InterruptFfmpeg(int signal_number, bool whole_group) const {
    EndlessFfmpeg();
    const StartedRun started = Start({"clip.mp4", "out.bin"});
    const pid_t ffmpeg = RunningFfmpeg();
    kill(whole_group ? -started.pid : started.pid, signal_number);
    ExpectInterrupted(FinishRun(started), signal_number, "");
    EXPECT_TRUE(WaitFor([&] { return !ProcessRunning(ffmpeg); }, 2)) << "ffmpeg outlived the run";
  }
  void InterruptPacking(int signal_number, bool whole_group) const {
    ManyFrames();
    const StartedRun started = Start({"clip.mp4", "out.bin"});
    WaitForPacking();
    kill(whole_group ? -started.pid : started.pid, signal_number);
    ExpectInterrupted(FinishRun(started), signal_number, "\n\n");
  }
};

TEST_F(EarlyEndTest, KillDuringFfmpegStopsFfmpeg) {
  for (const int signal_number : UncatchableOnTarget()) {
    SCOPED_TRACE(strsignal(signal_number));
    EndlessFfmpeg();
    const StartedRun started = Start({"clip.mp4", "out.bin"});
    const pid_t ffmpeg = RunningFfmpeg();
    ASSERT_TRUE(ProcessRunning(ffmpeg));
    kill(started.pid, signal_number);
    FinishRun(started);
    EXPECT_TRUE(WaitFor([&] { return !ProcessRunning(ffmpeg); }, 2)) << "ffmpeg outlived framepack";
    ExpectNextRunExact();
  }
}

TEST_F(EarlyEndTest, CtrlCDuringFfmpeg) { InterruptFfmpeg(SIGINT, true); }

TEST_F(EarlyEndTest, TermDuringFfmpeg) {
  if (!CatchableOnTarget(SIGTERM)) GTEST_SKIP() << kWineEndsOnTermAndHangUp;
  InterruptFfmpeg(SIGTERM, false);
}

TEST_F(EarlyEndTest, HangUpDuringFfmpeg) {
  if (!CatchableOnTarget(SIGHUP)) GTEST_SKIP() << kWineEndsOnTermAndHangUp;
  InterruptFfmpeg(SIGHUP, true);
}

TEST_F(EarlyEndTest, QuitKeyDuringFfmpeg) {
  if (!CatchableOnTarget(SIGQUIT)) GTEST_SKIP() << kWineEndsOnTermAndHangUp;
  InterruptFfmpeg(SIGQUIT, true);
}

TEST_F(EarlyEndTest, WhatFfmpegStartsEndsWithTheRun) {
  SKIP_ON_WINDOWS_BUILD(kShellWrapper);
  WrappedFfmpeg({"pause 50", "frames 999999 0"});
  const StartedRun started = Start({"clip.mp4", "out.bin"});
  ASSERT_TRUE(WaitFor([&] { return Exists(At("lib/temp/frame00002.jpg")); }, 20));
  kill(started.pid, SIGTERM);
  ExpectInterrupted(FinishRun(started), SIGTERM, "");
  EXPECT_TRUE(WaitFor([&] { return ProcessesIn(folder_).empty(); }, 2));
}

TEST_F(EarlyEndTest, NextRunWaitsForWhatAKilledRunsFfmpegStarted) {
  SKIP_ON_WINDOWS_BUILD(kShellWrapper);
  WrappedFfmpeg({"pause 50", "frames 60 0"});
  const StartedRun started = Start({"clip.mp4", "out.bin"});
  ASSERT_TRUE(WaitFor([&] { return Exists(At("lib/temp/frame00002.jpg")); }, 20));
  kill(started.pid, SIGKILL);
  FinishRun(started);
  // The wrapper dies with framepack; the ffmpeg it started goes on for a while, lock in hand.
  FakeFfmpeg({"frame frame00001.jpg one", "frame frame00002.jpg two"});
  const RunResult next = Convert({"clip.mp4", "out.bin"});
  EXPECT_EQ(next.out, kBanner + "Waiting for another conversion in this folder...\n" + kSuccess);
  EXPECT_EQ(ReadFile(At("out.bin")), U32(2) + Record(4, "one") + Record(15, "two"));
  ExpectNothingLeft();
}

TEST_F(EarlyEndTest, StalledReaderOfOurOutputHoldsNothingUp) {
  if (!CatchableOnTarget(SIGTERM)) GTEST_SKIP() << kWineEndsOnTermAndHangUp;
  // More of ffmpeg's output than a pipe holds, which nobody reads for now.
  FakeFfmpeg({"out " + std::string(200000, 'x') + "\\n", "frames 999999 0"});
  const StartedRun started = Start({"clip.mp4", "out.bin"});
  ASSERT_TRUE(WaitFor([&] { return FfmpegProcessIn(folder_) != 0; }, 20));
  usleep(200000);
  kill(started.pid, SIGTERM);
  EXPECT_TRUE(WaitFor([&] { return !Exists(At("lib/temp")) && !Exists(At("lib/temp.lock")); }, 5))
      << "the clean-up waits for the reader";
  const RunResult run = FinishRun(started);
  EXPECT_EQ(run.status, InterruptedStatus(SIGTERM));
  const std::string line = "Unable to convert clip.mp4: interrupted\n";
  ASSERT_GE(run.out.size(), line.size());
  EXPECT_EQ(run.out.substr(run.out.size() - line.size()), line);
  EXPECT_EQ(ReadFile(At("out.bin")).size(), 0u);
}

TEST_F(EarlyEndTest, CtrlCDuringPacking) { InterruptPacking(SIGINT, true); }

TEST_F(EarlyEndTest, TermDuringPacking) {
  if (!CatchableOnTarget(SIGTERM)) GTEST_SKIP() << kWineEndsOnTermAndHangUp;
  InterruptPacking(SIGTERM, false);
}

TEST_F(EarlyEndTest, KillDuringPackingLeavesAnHonestPack) {
  for (const int signal_number : UncatchableOnTarget()) {
    SCOPED_TRACE(strsignal(signal_number));
    ManyFrames();
    const StartedRun started = Start({"clip.mp4", "out.bin"});
    WaitForPacking();
    // Some records are on disk by now, in the gathered writes of a MiB each.
    ASSERT_TRUE(WaitFor([&] { return FileSize(At("out.bin")) > 4; }, 60));
    kill(started.pid, signal_number);
    FinishRun(started);
    const std::string left = ReadFile(At("out.bin"));
    EXPECT_EQ(HonestPack(left), "");
    EXPECT_EQ(left.substr(0, 4), U32(0)) << "the count is written last";
    ExpectNextRunExact();
    RemoveAll(At("made"));
  }
}

TEST_F(EarlyEndTest, ClosedStandardOutputLetsTheConversionFinish) {
  // As with "framepack ... 2>&1 | head -1": ffmpeg's log goes to the closed pipe too.
  FakeFfmpeg({"out working\\n", "err ffmpeg's log\\n", "frame frame00001.jpg one",
              "err more of the log\\n"});
  RunOptions options;
  options.output_closed = true;
  options.merge_stderr = true;
  const RunResult run = Convert({"clip.mp4", "out.bin"}, options);
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(ReadFile(At("out.bin")), U32(1) + Record(4, "one"));
  ExpectNothingLeft();
}

TEST_F(EarlyEndTest, StandardStreamsNotOpenAtAll) {
  // No file framepack opens may take their place: the lock and the pack would get its lines.
  FakeFfmpeg({"out working\\n", "frame frame00001.jpg one"});
  RunOptions options;
  options.streams_closed = true;
  const RunResult run = Convert({"clip.mp4", "out.bin"}, options);
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(ReadFile(At("out.bin")), U32(1) + Record(4, "one"));
  ExpectNothingLeft();
}

TEST_F(EarlyEndTest, HangUpIgnoredAsUnderNohupIsLeftIgnored) {
  if (!CatchableOnTarget(SIGHUP)) GTEST_SKIP() << kWineEndsOnTermAndHangUp;
  FakeFfmpeg({"pause 100", "frames 8 0"});
  RunOptions options;
  options.hangup_ignored = true;
  const StartedRun started = Start({"clip.mp4", "out.bin"}, options);
  ASSERT_TRUE(WaitFor([&] { return Exists(At("lib/temp/frame00002.jpg")); }, 20));
  kill(started.pid, SIGHUP);
  const RunResult run = FinishRun(started);
  EXPECT_EQ(run.out, kBanner + kSuccess);
  EXPECT_EQ(run.status, 0);
  std::vector<PackRecord> records;
  EXPECT_EQ(CheckPack(At("out.bin"), false, &records), "");
  EXPECT_EQ(records.size(), 8u);
}

class SmallDiskTest : public EarlyEndTest {
 protected:
  // Puts the working folder on a disk of that many MiB, with clip.mp4 and the fake ffmpeg (a
  // link to it, which takes no room); returns false when that cannot be done.
  bool WorkOnSmallDisk(int megabytes, std::string* reason) const {
    if (!MountSmallDisk(folder_, megabytes, reason)) return false;
    mkdir(At("lib").c_str(), 0755);
    WriteFile(At("clip.mp4"), "video bytes");
    return symlink(FAKE_FFMPEG_EXE, At("lib/ffmpeg.exe").c_str()) == 0;
  }
};

TEST_F(SmallDiskTest, FullDiskUnderTheOutput) {
  std::string reason;
  if (!MountSmallDisk(At("full"), 1, &reason)) GTEST_SKIP() << reason;
  FakeFfmpeg({"frames 3 600000"});
  const RunResult run = Convert({"clip.mp4", "full/out.bin"});
  EXPECT_EQ(run.out, kBanner + "\n\nUnable to write: full/out.bin\n");
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(ReadFile(At("full/out.bin")).size(), 0u);
  ExpectNothingLeft();
}

TEST_F(SmallDiskTest, FullDiskUnderTheFrames) {
  std::string reason;
  if (!WorkOnSmallDisk(2, &reason)) GTEST_SKIP() << reason;
  FakeFfmpeg({"frames 4 1048576"});
  const RunResult run = Convert({"clip.mp4", "out.bin"});
  EXPECT_EQ(run.out, kBanner + "\n\nUnable to convert clip.mp4\n");
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(ReadFile(At("out.bin")).size(), 0u);
  ExpectNothingLeft();
}

TEST_F(SmallDiskTest, FramesNeedNoMoreRoomThanThemselvesAndOneFrame) {
  std::string reason;
  if (!WorkOnSmallDisk(36, &reason)) GTEST_SKIP() << reason;
  FakeFfmpeg({"frames 24 1048576"});
  const RunResult run = Convert({"clip.mp4", "out.bin"});
  EXPECT_EQ(run.out, kBanner + kSuccess);
  std::vector<PackRecord> records;
  EXPECT_EQ(CheckPack(At("out.bin"), false, &records), "");
  EXPECT_EQ(records.size(), 24u);
  ExpectNothingLeft();
}

}  // namespace
