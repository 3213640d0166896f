// Nothing of the user's is ever deleted, emptied, overwritten or packed: whatever lib/ holds,
// whatever the output path names, whatever the options and standard input hold.
#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "tests/black_box/test_util.h"

namespace {

class UserFilesTest : public ClipFolderTest {
 protected:
  // Makes the user's folder mine/ with two files in it; returns nothing.
  void MakeUsersFolder() const {
    mkdir(At("mine").c_str(), 0755);
    WriteFile(At("mine/frame00001.jpg"), "my own picture");
    WriteFile(At("mine/notes.txt"), "my notes");
  }
  void ExpectUsersFolderIntact() const {
    EXPECT_EQ(ReadFile(At("mine/frame00001.jpg")), "my own picture");
    EXPECT_EQ(ReadFile(At("mine/notes.txt")), "my notes");
  }
  // Expects a conversion of the fake's frame00001.jpg "one" that went through, and nothing left.
  void ExpectConverted(const RunResult& run) const {
    EXPECT_EQ(run.out, kBanner + kSuccess);
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(ReadFile(At("out.bin")), U32(1) + Record(4, "one"));
    EXPECT_FALSE(Exists(At("lib/temp")));
    EXPECT_FALSE(Exists(At("lib/temp.lock")));
  }
};

TEST_F(UserFilesTest, ScratchFolderThatIsALinkIsRemovedAsALink) {
  MakeUsersFolder();
  FakeFfmpeg({"frame frame00001.jpg one"});
  ASSERT_EQ(symlink("../mine", At("lib/temp").c_str()), 0);
  const RunResult failed = Convert({"clip.mp4", "nodir/out.bin"});
  EXPECT_EQ(failed.out, kBanner + "Unable to create: nodir/out.bin\n");
  ExpectUsersFolderIntact();
  EXPECT_EQ(Exists(At("lib/temp")), !kFolderLinksRemovable);
  if (kFolderLinksRemovable) {
    ASSERT_EQ(symlink("../mine", At("lib/temp").c_str()), 0);
  }

  const RunResult run = Convert({"clip.mp4", "out.bin"});
  ExpectUsersFolderIntact();
  if (kFolderLinksRemovable) {
    ExpectConverted(run);
  } else {
    // The link cannot go, so ffmpeg never runs: its frames would land in the user's folder.
    EXPECT_EQ(run.out, kBanner + "Unable to convert clip.mp4\n");
    EXPECT_EQ(run.status, 1);
    EXPECT_FALSE(FfmpegRan());
  }
}

TEST_F(UserFilesTest, ScratchFolderMountedInPlaceIsNeverCleared) {
  SKIP_ON_WINDOWS_BUILD(kWineNoMountPoints);
  std::string reason;
  if (!MountSmallDisk(At("lib/temp"), 1, &reason)) GTEST_SKIP() << reason;
  WriteFile(At("lib/temp/frame00001.jpg"), "somebody's picture");
  FakeFfmpeg({"frame frame00001.jpg one"});
  const RunResult run = Convert({"clip.mp4", "out.bin"});
  EXPECT_EQ(run.out, kBanner + "Unable to convert clip.mp4\n");
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(ReadFile(At("lib/temp/frame00001.jpg")), "somebody's picture");
  EXPECT_FALSE(FfmpegRan());
}

TEST_F(UserFilesTest, OutputSpeltThroughALinkedScratchFolderGoesWhereItIsSpelt) {
  // ".." is taken by spelling, as Windows takes it: lib/temp/../out.pack is lib/out.pack, never
  // the parent of whatever lib/temp links to.
  mkdir(At("mine").c_str(), 0755);
  mkdir(At("mine/photos").c_str(), 0755);
  WriteFile(At("mine/out.pack"), "my own pack");
  ASSERT_EQ(symlink("../mine/photos", At("lib/temp").c_str()), 0);
  FakeFfmpeg({"frame frame00001.jpg one"});
  const RunResult run = Convert({"clip.mp4", "lib/temp/../out.pack"});
  EXPECT_EQ(ReadFile(At("mine/out.pack")), "my own pack");
  if (kFolderLinksRemovable) {
    EXPECT_EQ(run.out, kBanner + kSuccess);
    EXPECT_EQ(ReadFile(At("lib/out.pack")), U32(1) + Record(4, "one"));
  } else {
    EXPECT_EQ(run.out, kBanner + "Unable to convert clip.mp4\n");
    EXPECT_EQ(ReadFile(At("lib/out.pack")), "");
  }
}

TEST_F(UserFilesTest, FolderLinkInsideTheScratchFolderIsNeverFollowed) {
  MakeUsersFolder();
  mkdir(At("made").c_str(), 0755);
  WriteFile(At("made/frame00001.jpg"), "one");
  ASSERT_EQ(symlink("../../mine", At("made/link").c_str()), 0);  // from lib/temp, once adopted
  FakeFfmpeg({"adopt made"});
  const RunResult run = Convert({"clip.mp4", "out.bin"});
  EXPECT_EQ(run.out, kBanner + kSuccess);
  EXPECT_EQ(ReadFile(At("out.bin")), U32(1) + Record(4, "one"));
  ExpectUsersFolderIntact();
  EXPECT_EQ(Exists(At("lib/temp")), !kFolderLinksRemovable);
}

TEST_F(UserFilesTest, ReadOnlySecondNameOfAUsersFileIsNeverWrittenThrough) {
  SKIP_ON_WINDOWS_BUILD(kWineRootWritesReadOnlyFiles);
  // Left in the scratch folder from before, a read-only second name of the user's photo.
  WriteFile(At("photo.jpg"), "the user's photo");
  chmod(At("photo.jpg").c_str(), 0444);
  mkdir(At("lib/temp").c_str(), 0755);
  ASSERT_EQ(link(At("photo.jpg").c_str(), At("lib/temp/frame00001.jpg").c_str()), 0);
  FakeFfmpeg({"frame frame00001.jpg one"});
  const RunResult run = Convert({"clip.mp4", "out.bin"});
  EXPECT_EQ(ReadFile(At("photo.jpg")), "the user's photo");
  ExpectConverted(run);
}

TEST_F(UserFilesTest, NameWithBackslashesReachesNothingOutsideTheScratchFolder) {
  WriteFile(At("victim"), "the user's file");
  mkdir(At("made").c_str(), 0755);
  WriteFile(At("made/..\\..\\victim"), "ffmpeg's odd file");
  WriteFile(At("made/frame00001.jpg"), "one");
  FakeFfmpeg({"adopt made"});
  const RunResult run = Convert({"clip.mp4", "out.bin"});
  EXPECT_EQ(run.out, kBanner + "\n\nUnable to read frame: lib/temp\\..\\..\\victim\n");
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(ReadFile(At("out.bin")), "");
  EXPECT_EQ(ReadFile(At("victim")), "the user's file");
  EXPECT_EQ(Exists(At("lib/temp")), !kRemovesNamesWindowsCannotHold);
}

TEST_F(UserFilesTest, OutputThatIsFfmpegIsRefused) {
  FakeFfmpeg({});
  const std::string ffmpeg = ReadFile(At("lib/ffmpeg.exe"));
  // The system's ffmpeg, reached through a link as the README suggests.
  ASSERT_EQ(rename(At("lib/ffmpeg.exe").c_str(), At("system_ffmpeg").c_str()), 0);
  ASSERT_EQ(symlink("../system_ffmpeg", At("lib/ffmpeg.exe").c_str()), 0);
  ASSERT_EQ(symlink("lib/ffmpeg.exe", At("tool").c_str()), 0);
  for (const std::string output :
       {"lib/ffmpeg.exe", "lib\\ffmpeg.exe", "./lib/../lib/ffmpeg.exe", "system_ffmpeg", "tool"}) {
    const RunResult run = Convert({"clip.mp4", output});
    EXPECT_EQ(run.out, kBanner + "Output would overwrite ffmpeg: " + output + "\n");
    EXPECT_EQ(run.status, 1);
    EXPECT_TRUE(ReadFile(At("system_ffmpeg")) == ffmpeg) << output << " changed ffmpeg";
  }
  EXPECT_FALSE(FfmpegRan());
}

TEST_F(UserFilesTest, OtherWindowsSpellingsOfAFileAreRefused) {
  SKIP_ON_NATIVE_BUILD(kPosixNamesKeepCase);
  FakeFfmpeg({});
  const std::string ffmpeg = ReadFile(At("lib/ffmpeg.exe"));
  struct Case {
    std::string output, message;
  };
  const Case cases[] = {
      {"CLIP.MP4", "Output would overwrite the input: CLIP.MP4\n"},
      {"clip.mp4.", "Output would overwrite the input: clip.mp4.\n"},
      {"lib\\ffmpeg.exe.", "Output would overwrite ffmpeg: lib\\ffmpeg.exe.\n"},
      {"LIB\\FFMPEG.EXE", "Output would overwrite ffmpeg: LIB\\FFMPEG.EXE\n"},
  };
  for (const Case& c : cases) {
    const RunResult run = Convert({"clip.mp4", c.output});
    EXPECT_EQ(run.out, kBanner + c.message);
    EXPECT_EQ(run.status, 1);
  }
  EXPECT_EQ(ReadFile(At("clip.mp4")), "video bytes");
  EXPECT_TRUE(ReadFile(At("lib/ffmpeg.exe")) == ffmpeg);
  EXPECT_FALSE(FfmpegRan());
}

TEST_F(UserFilesTest, OptionsReachFfmpegAsLiteralWords) {
  WriteFile(At("notes.txt"), "my notes");
  WriteFile(At("100%OS%.mp4"), "video");
  FakeFfmpeg({});
  struct Case {
    std::vector<std::string> args;
    std::string received;
  };
  const std::string frames = "[lib/temp/frame%05d.jpg]\n";
  const Case cases[] = {
      {{"clip.mp4", "out.bin", "-metadata", "title=Q>notes.txt"},
       "[-metadata]\n[title=Q>notes.txt]\n"},
      {{"clip.mp4", "out.bin", "-metadata", "title=x&echo", "INJECTED"},
       "[-metadata]\n[title=x&echo]\n[INJECTED]\n"},
      {{"clip.mp4", "out.bin", "-vf", "format=pix_fmts=yuvj420p|yuv420p"},
       "[-vf]\n[format=pix_fmts=yuvj420p|yuv420p]\n"},
      {{"clip.mp4", "out.bin", "-metadata", "title=%OS%^!<x>"}, "[-metadata]\n[title=%OS%^!<x>]\n"},
      // A quote is a character like any other: it never groups words or swallows the frames'.
      {{"clip.mp4", "out.bin", "-metadata", "title=\"a", "b\\\"", "c\\"},
       "[-metadata]\n[title=\"a]\n[b\\\"]\n[c\\]\n"},
  };
  for (const Case& c : cases) {
    const RunResult run = Convert(c.args);
    EXPECT_EQ(run.out, kBanner + kSuccess);
    EXPECT_EQ(ReadFile(At("args.txt")),
              "[lib\\ffmpeg.exe]\n[-i]\n[clip.mp4]\n" + c.received + frames);
  }
  const RunResult percent = Convert({"100%OS%.mp4", "out.bin"});
  EXPECT_EQ(percent.out, kBanner + kSuccess);
  EXPECT_EQ(ReadFile(At("args.txt")),
            "[lib\\ffmpeg.exe]\n[-i]\n[100%OS%.mp4]\n[-q:v]\n[1]\n" + frames);
  EXPECT_EQ(ReadFile(At("notes.txt")), "my notes");
}

TEST_F(UserFilesTest, StandardInputIsNeverFfmpegs) {
  FakeFfmpeg({"stdin", "frame frame00001.jpg one"});
  RunOptions options;
  options.input = "q\nnext.mp4\nlast.mp4\n";
  const RunResult run = Convert({"clip.mp4", "out.bin"}, options);
  ExpectConverted(run);
  EXPECT_EQ(ReadFile(At("stdin.txt")), "");
  EXPECT_EQ(run.input_read, 0) << "the rest of a script's list was taken";
}

TEST_F(UserFilesTest, InputThatFfmpegWouldReadAsSomethingElseIsNamedAsAFile) {
  WriteFile(At("-"), "video");
  FakeFfmpeg({});
  const RunResult run = Convert({"-", "out.bin"});
  EXPECT_EQ(run.out, kBanner + kSuccess);
  EXPECT_EQ(ReadFile(At("args.txt")),
            "[lib\\ffmpeg.exe]\n[-i]\n[file:-]\n[-q:v]\n[1]\n[lib/temp/frame%05d.jpg]\n");
}

TEST_F(UserFilesTest, InputNamedLikeAProtocolIsNamedAsAFile) {
  SKIP_ON_WINDOWS_BUILD(kWindowsNamesHoldNoColon);
  mkdir(At("concat:a|b").c_str(), 0755);
  WriteFile(At("concat:a|b/c.mp4"), "video");
  for (const std::string input : {"pipe:0", "ab:c.mp4", "concat:a|b/c.mp4"}) {
    if (!Exists(At(input))) WriteFile(At(input), "video");
    FakeFfmpeg({});
    const RunResult run = Convert({input, "out.bin"});
    EXPECT_EQ(run.out, kBanner + kSuccess);
    EXPECT_EQ(ReadFile(At("args.txt")), "[lib\\ffmpeg.exe]\n[-i]\n[file:" + input +
                                            "]\n[-q:v]\n[1]\n[lib/temp/frame%05d.jpg]\n");
  }
  // One letter before a colon is a drive, and other names go unchanged.
  WriteFile(At("c:x.mp4"), "video");
  const RunResult run = Convert({"c:x.mp4", "out.bin"});
  EXPECT_EQ(ReadFile(At("args.txt")),
            "[lib\\ffmpeg.exe]\n[-i]\n[c:x.mp4]\n[-q:v]\n[1]\n[lib/temp/frame%05d.jpg]\n");
}

TEST_F(UserFilesTest, LockThatCannotBeTakenIsOneRedLine) {
  FakeFfmpeg({"frame frame00001.jpg one"});
  const std::string refused = kBanner + "Unable to lock the scratch folder: lib/temp.lock\n";
  // A folder, and a file with something in it: neither is a lock framepack left.
  mkdir(At("lib/temp.lock").c_str(), 0755);
  WriteFile(At("lib/temp.lock/inside.txt"), "kept");
  RunResult run = Convert({"clip.mp4", "out.bin"});
  EXPECT_EQ(run.out, refused);
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(ReadFile(At("lib/temp.lock/inside.txt")), "kept");
  RemoveAll(At("lib/temp.lock"));

  WriteFile(At("lib/temp.lock"), "somebody's text");
  run = Convert({"clip.mp4", "out.bin"});
  EXPECT_EQ(run.out, refused);
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(ReadFile(At("lib/temp.lock")), "somebody's text");
  EXPECT_FALSE(Exists(At("out.bin")));
  EXPECT_FALSE(FfmpegRan());

  // An empty one is what a killed run leaves: it is taken, and gone afterwards.
  WriteFile(At("lib/temp.lock"), "");
  ExpectConverted(Convert({"clip.mp4", "out.bin"}));
}

TEST_F(UserFilesTest, LockErrorOtherThanAHolderIsOneRedLine) {
  SKIP_ON_WINDOWS_BUILD(kPosixLockShim);
  if (UnderMemoryTool()) GTEST_SKIP() << "a memory tool must be the first library loaded";
  FakeFfmpeg({"frame frame00001.jpg one"});
  RunOptions options;
  options.environment = {std::string("LD_PRELOAD=") + NO_LOCKS_SHIM};
  const RunResult run = Convert({"clip.mp4", "out.bin"}, options);
  EXPECT_EQ(run.out, kBanner + "Unable to lock the scratch folder: lib/temp.lock\n");
  EXPECT_EQ(run.status, 1);
  EXPECT_FALSE(Exists(At("out.bin")));
  EXPECT_FALSE(FfmpegRan());
}

TEST_F(UserFilesTest, OutputThatIsTheLockIsRefused) {
  FakeFfmpeg({"frame frame00001.jpg one"});
  const RunResult run = Convert({"clip.mp4", "lib/temp.lock"});
  EXPECT_EQ(run.out, kBanner + "Output would overwrite the lock file: lib/temp.lock\n");
  EXPECT_EQ(run.status, 1);
  EXPECT_FALSE(Exists(At("lib/temp.lock")));
  EXPECT_FALSE(FfmpegRan());
}

TEST_F(UserFilesTest, OutputThatIsAlsoStandardOutputOrErrorIsRefused) {
  FakeFfmpeg({"err ffmpeg's log\\n", "frame frame00001.jpg one"});
  const std::string refused = "Output is also standard output or error: same.pack\n";
  RunOptions to_output;
  to_output.stdout_to = "same.pack";
  RunResult run = Convert({"clip.mp4", "same.pack"}, to_output);
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(OurLines(ReadFile(At("same.pack"))), kBanner + refused);
  RunOptions to_error;
  to_error.stderr_to = "same.pack";
  run = Convert({"clip.mp4", "same.pack"}, to_error);
  EXPECT_EQ(run.out, kBanner + refused);
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(ReadFile(At("same.pack")), "");
  EXPECT_FALSE(FfmpegRan());
}

TEST_F(UserFilesTest, OutputThatIsTheStandardOutputPipeIsRefused) {
  SKIP_ON_WINDOWS_BUILD(kNoDevStdout);
  FakeFfmpeg({"frame frame00001.jpg one"});
  const RunResult run = Convert({"clip.mp4", "/dev/stdout"});
  EXPECT_EQ(run.out, kBanner + "Output is also standard output or error: /dev/stdout\n");
  EXPECT_EQ(run.status, 1);
  EXPECT_FALSE(FfmpegRan());
}

TEST_F(UserFilesTest, OutputRefusedOnceCreatedIsRemovedAgain) {
  FakeFfmpeg({"frame frame00001.jpg one"});
  ASSERT_EQ(symlink("lib", At("L").c_str()), 0);
  const RunResult run = Convert({"clip.mp4", "L/temp"});
  EXPECT_EQ(run.out, kBanner + "L/temp lies inside the scratch folder lib/temp.\n");
  EXPECT_EQ(run.status, 1);
  EXPECT_FALSE(Exists(At("lib/temp")));
  EXPECT_FALSE(FfmpegRan());
  ExpectConverted(Convert({"clip.mp4", "out.bin"}));
}

}  // namespace
