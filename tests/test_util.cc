#include "tests/test_util.h"

#include <errno.h>
#include <fcntl.h>
#include <ftw.h>
#include <pty.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace {

// Returns the words of FRAMEPACK_TEST_WRAPPER (a memory checker, say) for our own executables, and
// nothing for anything else.
std::vector<std::string> OurToolWrapper(const std::string& program) {
  std::vector<std::string> words;
  const char* wrapper = getenv("FRAMEPACK_TEST_WRAPPER");
  if (wrapper == nullptr || (program != FRAMEPACK_EXE && program != INSPECT_EXE)) return words;
  std::istringstream split(wrapper);
  for (std::string word; split >> word;) words.push_back(word);
  return words;
}

[[noreturn]] void StartChild(const std::string& program, const std::vector<std::string>& args,
                             const std::string& folder, const RunOptions& options) {
  if (chdir(folder.c_str()) != 0) _exit(126);
  const int null_input = open("/dev/null", O_RDONLY);
  dup2(null_input, STDIN_FILENO);
  if (options.quiet) dup2(open("/dev/null", O_WRONLY), STDERR_FILENO);
  if (options.address_space != 0) {
    const rlimit limit = {options.address_space, options.address_space};
    setrlimit(RLIMIT_AS, &limit);
  }
  if (options.file_size != 0) {
    signal(SIGXFSZ, SIG_IGN);
    const rlimit limit = {options.file_size, options.file_size};
    setrlimit(RLIMIT_FSIZE, &limit);
  }
  std::vector<std::string> words = OurToolWrapper(program);
  words.push_back(program);
  words.insert(words.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (const std::string& word : words) argv.push_back(const_cast<char*>(word.c_str()));
  argv.push_back(nullptr);
  execvp(argv[0], argv.data());
  _exit(127);
}

int StatusOf(pid_t pid) {
  int status = 0;
  while (waitpid(pid, &status, 0) < 0) {
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

std::string ReadAll(int fd) {
  std::string out;
  char chunk[65536];
  for (;;) {
    const ssize_t got = read(fd, chunk, sizeof chunk);
    if (got > 0) {
      out.append(chunk, static_cast<size_t>(got));
    } else if (got == 0 || errno != EINTR) {
      return out;  // a pseudo-terminal ends with EIO once the child is gone
    }
  }
}

}  // namespace

RunResult RunProgram(const std::string& program, const std::vector<std::string>& args,
                     const std::string& folder, const RunOptions& options) {
  fflush(nullptr);
  int reader = -1;
  pid_t pid = -1;
  if (options.on_terminal) {
    termios raw;
    cfmakeraw(&raw);
    pid = forkpty(&reader, nullptr, &raw, nullptr);
    if (pid == 0) StartChild(program, args, folder, options);
  } else {
    int ends[2];
    if (pipe(ends) != 0) throw std::runtime_error("pipe");
    pid = fork();
    if (pid == 0) {
      dup2(ends[1], STDOUT_FILENO);
      if (options.merge_stderr) dup2(ends[1], STDERR_FILENO);
      close(ends[0]);
      close(ends[1]);
      StartChild(program, args, folder, options);
    }
    close(ends[1]);
    reader = ends[0];
  }
  if (pid < 0) throw std::runtime_error("fork");
  RunResult result;
  result.out = ReadAll(reader);
  close(reader);
  result.status = StatusOf(pid);
  return result;
}

bool UnderMemoryTool() {
  return FRAMEPACK_SANITIZED || getenv("FRAMEPACK_TEST_WRAPPER") != nullptr;
}

std::string MakeTempFolder() {
  const char* base = getenv("TMPDIR");
  std::string pattern = std::string(base != nullptr ? base : "/tmp") + "/framepack-test-XXXXXX";
  if (mkdtemp(&pattern[0]) == nullptr) throw std::runtime_error("mkdtemp");
  return pattern;
}

void RemoveAll(const std::string& path) {
  nftw(
      path.c_str(),
      [](const char* entry, const struct stat*, int type, FTW*) {
        return type == FTW_DP ? rmdir(entry) : unlink(entry);
      },
      64, FTW_DEPTH | FTW_PHYS);
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return "<missing>";
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

void WriteFile(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << bytes;
  if (!out) throw std::runtime_error("cannot write " + path);
}

bool Exists(const std::string& path) {
  struct stat st;
  return lstat(path.c_str(), &st) == 0;
}

void WriteScript(const std::string& path, const std::string& body) {
  WriteFile(path, "#!/bin/sh\n" + body);
  chmod(path.c_str(), 0755);
}

std::string CheckPack(const std::string& path, bool check_jpeg, std::vector<PackRecord>* records) {
  FILE* pack = fopen(path.c_str(), "rb");
  if (pack == nullptr) return "cannot open " + path;
  const std::string fault = ReadPack(pack, check_jpeg, records);
  fclose(pack);
  return fault;
}

std::string U32(uint32_t value) {
  std::string bytes(4, '\0');
  for (int i = 0; i < 4; ++i) bytes[i] = static_cast<char>(value >> (8 * i));
  return bytes;
}

void WorkFolderTest::SetUp() {
  folder_ = MakeTempFolder();
  mkdir(At("lib").c_str(), 0755);
}

void WorkFolderTest::TearDown() { RemoveAll(folder_); }

RunResult WorkFolderTest::Convert(const std::vector<std::string>& args,
                                  const RunOptions& options) const {
  return RunProgram(FRAMEPACK_EXE, args, folder_, options);
}

void WorkFolderTest::FakeFfmpeg(const std::string& body) const {
  WriteScript(At("lib/ffmpeg.exe"), "for last; do :; done\nframes=${last%/*}\n" + body);
}

std::string Record(uint32_t offset, const std::string& body) {
  return U32(static_cast<uint32_t>(body.size())) + U32(offset) + body;
}
