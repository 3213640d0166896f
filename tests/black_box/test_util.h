// Helpers for black-box runs of the built executables in throw-away working directories. The
// executables are the native ones or the Windows ones under wine, chosen at build time; what
// differs between the two is stated here and nowhere else.
#ifndef FRAMEPACK_TESTS_BLACK_BOX_TEST_UTIL_H_
#define FRAMEPACK_TESTS_BLACK_BOX_TEST_UTIL_H_

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/types.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "frame_pack/frame_pack.h"

// Whether the executables under test are the Windows build, run under wine.
inline const bool kWindowsBuild = std::string(WINE_EXE) != "";

// Why a case cannot run on the Windows build under wine.
inline constexpr char kWineShowsFileLinksAsFiles[] =
    "wine shows a Unix link to a file as the file itself and deletes the target through it; "
    "Windows' own links are reparse points, which wine cannot make";
inline constexpr char kWineFollowsFolderLinks[] =
    "wine removes the target of a Unix link to a folder instead of the link; Windows' own "
    "links and junctions are reparse points, which wine cannot make";
inline constexpr char kWineNeedsAddressSpace[] =
    "wine cannot start a program within a limit on its address space";
inline constexpr char kPosixOnlyFiles[] = "Windows has no FIFOs or sockets in a folder listing";
inline constexpr char kWindowsNamesHoldNoQuote[] = "a Windows file name cannot hold a double quote";
inline constexpr char kWindowsNamesHoldNoColon[] =
    "a Windows file name cannot hold a colon, so no file there is named like a protocol";
inline constexpr char kNoDevStdout[] = "Windows has no /dev/stdout to name a pipe by";
inline constexpr char kShellWrapper[] =
    "a shell script cannot stand in for lib\\ffmpeg.exe on Windows";
inline constexpr char kPosixLockShim[] =
    "the lock error is made by a POSIX library preloaded into the native build";
inline constexpr char kWineRootWritesReadOnlyFiles[] =
    "Windows keeps a read-only file, which ffmpeg then cannot write either; wine run as root "
    "writes it all the same";
inline constexpr char kWineNoMountPoints[] =
    "a folder mounted in place (a junction or mount point on Windows) cannot be made under wine";
inline constexpr char kWineConsole[] =
    "wine draws a console on a terminal with sequences of its own, so the bytes are wine's";

// wine removes a Unix link to a folder by removing its target, so a link there cannot be removed
// (Windows' own links and junctions, which wine cannot make, are removed themselves).
inline const bool kFolderLinksRemovable = !kWindowsBuild;
// wine lists Unix names that no Windows file can have, with a backslash, say; the Windows build
// can neither open nor delete such an entry by its name, so it stays where it is.
inline const bool kRemovesNamesWindowsCannotHold = !kWindowsBuild;

// Why a case cannot run on the native build.
inline constexpr char kPosixNamesKeepCase[] =
    "POSIX names keep their case: CLIP.MP4 is another file";
inline constexpr char kNoWritableLeftover[] =
    "natively a file framepack cannot delete cannot be written either; wine, run as root, writes "
    "a read-only file that it cannot delete";
inline constexpr char kPosixTerminalsHaveNoCodePage[] =
    "a POSIX terminal has no code page: it shows the bytes as its locale says";

#define SKIP_ON_WINDOWS_BUILD(reason) \
  if (kWindowsBuild) GTEST_SKIP() << (reason)
#define SKIP_ON_NATIVE_BUILD(reason) \
  if (!kWindowsBuild) GTEST_SKIP() << (reason)

struct RunOptions {
  bool on_terminal = false;              // standard output a raw pseudo-terminal instead of a pipe
  rlim_t address_space = 0;              // RLIMIT_AS for the run, 0 for none
  rlim_t file_size = 0;                  // RLIMIT_FSIZE for the run, 0 for none
  bool quiet = false;                    // standard error to /dev/null instead of the test's own
  bool merge_stderr = false;             // standard error into the same pipe as standard output
  std::string input;                     // what standard input holds, empty by default
  std::vector<std::string> environment;  // NAME=value settings added for the run
  bool output_closed = false;            // standard output a pipe nobody reads, closed at once
  bool streams_closed = false;           // standard input and output not open (<&- >&-); under
                                         // wine standard output alone
  bool hangup_ignored = false;           // SIGHUP ignored, as under nohup
  // Files of the working folder that standard output or error go to, opened by the target's shell
  // (cmd.exe for the Windows build); words of the command must then need no quoting.
  std::string stdout_to;
  std::string stderr_to;
};

struct RunResult {
  std::string out;  // everything written to standard output, with the Windows CR LF as LF
  int status;       // exit status, or 128 plus the signal that ended the run
  long input_read;  // how many bytes of standard input the run and its children took
};

// Returns what framepack (the default), framepack-inspect or the real ffmpeg printed and its
// status, run with args in folder. framepack and framepack-inspect run under the command in
// FRAMEPACK_TEST_WRAPPER when it is set; the Windows executables run under wine.
RunResult RunProgram(const std::string& program, const std::vector<std::string>& args,
                     const std::string& folder, const RunOptions& options = RunOptions());

// A run started in the background, in a process group of its own.
struct StartedRun {
  pid_t pid;   // also the id of its process group
  int output;  // read end of its standard output, -1 when closed
  int input;   // its standard input, a file whose position tells how much was read
  bool ours;   // whether it runs framepack or framepack-inspect
};
// Returns a run of program started in folder, not waited for.
StartedRun StartProgram(const std::string& program, const std::vector<std::string>& args,
                        const std::string& folder, const RunOptions& options = RunOptions());
// Returns the output and status of a started run once it has ended.
RunResult FinishRun(const StartedRun& run);

// Returns what framepack wrote into a file, with the Windows CR LF as LF (see RunResult.out).
std::string OurLines(const std::string& bytes);
// Returns whether our executables run under a sanitizer or a memory checker, which need more
// address space than a test may leave them.
bool UnderMemoryTool();
// Returns a new empty folder below the system's temporary folder.
std::string MakeTempFolder();
// Deletes path and everything below it, never following links.
void RemoveAll(const std::string& path);
// Returns the bytes of the file, or "<missing>" when it cannot be read.
std::string ReadFile(const std::string& path);
// Returns the size of the file in bytes, or -1 when it cannot be queried.
long long FileSize(const std::string& path);
// Writes bytes to the file, creating or truncating it.
void WriteFile(const std::string& path, const std::string& bytes);
// Returns whether anything (a dangling link included) exists at path.
bool Exists(const std::string& path);
// Returns whether a process with this id is still running (a zombie counts as gone).
bool ProcessRunning(pid_t pid);
// Returns the ids of the processes running in folder (their working folder).
std::vector<pid_t> ProcessesIn(const std::string& folder);
// Returns the process id of the ffmpeg that runs in folder, found by its command line and working
// folder (under wine a Windows program cannot learn its Unix process id), or 0.
pid_t FfmpegProcessIn(const std::string& folder);
// Returns whether condition came true within the seconds given, asking every few milliseconds.
bool WaitFor(const std::function<bool()>& condition, double seconds);
// Returns "" when the bytes are an honest pack or empty: no more frames counted than complete
// records back to back from offset 4, each at its own offset. Otherwise what is wrong.
std::string HonestPack(const std::string& bytes);
// Returns "" when the fake ffmpeg can make a file that neither it nor framepack can delete or
// write (Windows: read-only; natively: immutable, which needs root and a file system that keeps
// the attribute), otherwise why not.
std::string WhyNoUndeletableFiles();
// Returns whether a tmpfs of that many MiB could be mounted on the folder (which is made if
// missing); reason tells why not.
bool MountSmallDisk(const std::string& folder, int megabytes, std::string* reason);

// The status of a run that caught the signal and then cleaned up: natively it ends by the signal
// again, so that a calling shell stops its loop too; the Windows build exits with 1.
int InterruptedStatus(int signal_number);
// Whether the Windows build can catch the signal under wine: wine turns SIGINT into Ctrl+C, and
// ends a program on SIGTERM, SIGHUP or SIGQUIT without an event it could catch, as
// TerminateProcess does.
bool CatchableOnTarget(int signal_number);
// Returns the signals that end the build under test without a chance to clean up.
std::vector<int> UncatchableOnTarget();
inline constexpr char kWineEndsOnTermAndHangUp[] =
    "wine ends a Windows program on SIGTERM, SIGHUP and SIGQUIT as TerminateProcess would; the "
    "kill cases cover that";
// Returns what ReadPack says of the pack at path ("" when sound), filling records.
std::string CheckPack(const std::string& path, bool check_jpeg, std::vector<PackRecord>* records);
// Returns the 4 little-endian bytes of value.
std::string U32(uint32_t value);
// Returns the bytes of a pack record holding body at offset.
std::string Record(uint32_t offset, const std::string& body);

// What every run that gets past the command line prints first, and what a success ends with
// (after the echo of ffmpeg's output).
inline const std::string kBanner = "\nConverting, please wait...\n\n";
inline const std::string kSuccess = "\n\nConverted successful!\n";

// A throw-away working directory with an empty lib folder, for runs of the converter.
class WorkFolderTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;
  // Returns the absolute path of a path relative to the working directory.
  std::string At(const std::string& relative) const { return folder_ + "/" + relative; }
  // Returns the result of framepack run with args in the working directory.
  RunResult Convert(const std::vector<std::string>& args,
                    const RunOptions& options = RunOptions()) const;
  // Returns framepack started with args in the working directory, not waited for.
  StartedRun Start(const std::vector<std::string>& args,
                   const RunOptions& options = RunOptions()) const;
  // Returns the result of framepack-inspect run with args in the working directory.
  RunResult Inspect(const std::vector<std::string>& args) const;
  // Returns the result of the real ffmpeg, standard error discarded, run in the working directory.
  RunResult Ffmpeg(const std::vector<std::string>& args) const;
  // Installs the fake ffmpeg as lib/ffmpeg.exe, following these lines of fake.txt.
  void FakeFfmpeg(const std::vector<std::string>& lines) const;
  // Returns whether the fake ffmpeg has run since the test began.
  bool FfmpegRan() const { return Exists(At("args.txt")); }

  std::string folder_;
};

// A working directory that also holds an input, clip.mp4, for a fake ffmpeg to be given.
class ClipFolderTest : public WorkFolderTest {
 protected:
  void SetUp() override {
    WorkFolderTest::SetUp();
    WriteFile(At("clip.mp4"), "video bytes");
  }
};

#endif  // FRAMEPACK_TESTS_BLACK_BOX_TEST_UTIL_H_
