// Helpers for black-box runs of the built executables in throw-away working directories.
#ifndef FRAMEPACK_TESTS_TEST_UTIL_H_
#define FRAMEPACK_TESTS_TEST_UTIL_H_

#include <gtest/gtest.h>
#include <sys/resource.h>

#include <cstdint>
#include <string>
#include <vector>

#include "frame_pack/frame_pack.h"

struct RunOptions {
  bool on_terminal = false;   // standard output a raw pseudo-terminal instead of a pipe
  rlim_t address_space = 0;   // RLIMIT_AS for the run, 0 for none
  rlim_t file_size = 0;       // RLIMIT_FSIZE for the run (SIGXFSZ ignored), 0 for none
  bool quiet = false;         // standard error to /dev/null instead of the test's own
  bool merge_stderr = false;  // standard error into the same pipe as standard output
};

struct RunResult {
  std::string out;  // everything written to standard output
  int status;       // exit status, or 128 plus the signal that ended the run
};

// Returns what program printed and its status, run with args in folder, standard input empty and
// standard error kept as the test's own. framepack and framepack-inspect run under the command in
// FRAMEPACK_TEST_WRAPPER when it is set.
RunResult RunProgram(const std::string& program, const std::vector<std::string>& args,
                     const std::string& folder, const RunOptions& options = RunOptions());

// Returns whether our executables run under a sanitizer or a memory checker, which need more
// address space than a test may leave them.
bool UnderMemoryTool();
// Returns a new empty folder below the system's temporary folder.
std::string MakeTempFolder();
// Deletes path and everything below it, never following links.
void RemoveAll(const std::string& path);
// Returns the bytes of the file, or "<missing>" when it cannot be read.
std::string ReadFile(const std::string& path);
// Writes bytes to the file, creating or truncating it.
void WriteFile(const std::string& path, const std::string& bytes);
// Returns whether anything (a dangling link included) exists at path.
bool Exists(const std::string& path);
// Writes an executable /bin/sh script with the body to path.
void WriteScript(const std::string& path, const std::string& body);
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
  // Installs a fake lib/ffmpeg.exe that runs the shell script body; in it, $frames is the folder
  // its last argument points into.
  void FakeFfmpeg(const std::string& body) const;

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

#endif  // FRAMEPACK_TESTS_TEST_UTIL_H_
