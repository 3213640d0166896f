#include "tests/black_box/test_util.h"

#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <ftw.h>
#include <limits.h>
#include <linux/fs.h>
#include <pty.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/ioctl.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace {

bool IsOurs(const std::string& program) {
  return program == FRAMEPACK_EXE || program == INSPECT_EXE;
}

// Returns the words that start program: under wine for the Windows build, and our own executables
// under FRAMEPACK_TEST_WRAPPER (a memory checker, say) when it is set.
std::vector<std::string> CommandFor(const std::string& program) {
  std::vector<std::string> words;
  const char* wrapper = getenv("FRAMEPACK_TEST_WRAPPER");
  if (wrapper != nullptr && IsOurs(program)) {
    std::istringstream split(wrapper);
    for (std::string word; split >> word;) words.push_back(word);
  }
  if (kWindowsBuild && program.size() > 4 && program.compare(program.size() - 4, 4, ".exe") == 0) {
    words.push_back(WINE_EXE);
  }
  words.push_back(program);
  return words;
}

void SetWineEnvironment() {
  setenv("WINEPREFIX", WINE_PREFIX, 1);
  setenv("WINEDEBUG", "-all", 1);
  // A crash ends the program at once, without wine's debugger writing its report to its output.
  setenv("WINEDLLOVERRIDES", "winedbg.exe=d", 1);
  // wine reads Unix arguments and names, and writes to a terminal, in the locale's character set.
  setenv("LC_ALL", "C.UTF-8", 1);
}

// Runs a program of wine's with no standard stream of ours and waits for it; returns nothing.
void RunDetached(const std::vector<const char*>& argv) {
  const pid_t pid = fork();
  if (pid == 0) {
    const int null_device = open("/dev/null", O_RDWR);
    for (int fd = 0; fd < 3; ++fd) dup2(null_device, fd);
    SetWineEnvironment();
    std::vector<char*> words;
    for (const char* word : argv) words.push_back(const_cast<char*>(word));
    words.push_back(nullptr);
    execv(words[0], words.data());
    _exit(127);
  }
  int status = 0;
  waitpid(pid, &status, 0);
}

// Starts the wine server and wine's own background programs for the prefix, unless they run,
// with no standard stream of ours: started by a run under test, they would hold that run's output
// open for as long as they live, and the run would seem never to end. The server stays until a
// while after the last program has ended.
class WineServer : public ::testing::Environment {
 public:
  void SetUp() override {
    if (!kWindowsBuild) return;
    const std::string wine = WINE_EXE;
    const std::string server = wine.substr(0, wine.rfind('/') + 1) + "wineserver";
    RunDetached({server.c_str(), "-p30"});
    RunDetached({wine.c_str(), "cmd", "/c", "exit"});
  }
};

const auto* const kWineServer = ::testing::AddGlobalTestEnvironment(new WineServer);

// Returns the words that run command with its standard streams sent to the files the options
// name, as a user's shell sends them: natively the files are opened here, for the Windows build
// cmd.exe opens them, so that the program inherits them from a Windows parent as it would there.
std::vector<std::string> RedirectedByTheShell(const std::vector<std::string>& command,
                                              const RunOptions& options) {
  const std::pair<const std::string&, int> redirects[] = {{options.stdout_to, STDOUT_FILENO},
                                                          {options.stderr_to, STDERR_FILENO}};
  if (!kWindowsBuild) {
    for (const auto& [file, fd] : redirects) {
      if (!file.empty()) dup2(open(file.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644), fd);
    }
    return command;
  }
  std::string line;
  for (size_t i = 1; i < command.size(); ++i) {
    std::string word = command[i];
    if (i == 1) {
      word = "Z:" + word;
      std::replace(word.begin(), word.end(), '/', '\\');
    }
    line += (i > 1 ? " " : "") + word;
  }
  if (!options.stdout_to.empty()) line += " > " + options.stdout_to;
  if (!options.stderr_to.empty()) line += " 2> " + options.stderr_to;
  return {command[0], "cmd", "/c", line};
}

[[noreturn]] void StartChild(const std::string& program, const std::vector<std::string>& args,
                             const std::string& folder, const RunOptions& options, int input) {
  if (chdir(folder.c_str()) != 0) _exit(126);
  dup2(input, STDIN_FILENO);
  if (options.quiet) dup2(open("/dev/null", O_WRONLY), STDERR_FILENO);
  if (options.address_space != 0) {
    const rlimit limit = {options.address_space, options.address_space};
    setrlimit(RLIMIT_AS, &limit);
  }
  if (options.file_size != 0) {
    // framepack ignores the signal itself; wine, which a Windows program cannot tell to, leaves
    // its default in place, which ends the run. Windows has no such signal.
    if (kWindowsBuild) signal(SIGXFSZ, SIG_IGN);
    const rlimit limit = {options.file_size, options.file_size};
    setrlimit(RLIMIT_FSIZE, &limit);
  }
  if (options.hangup_ignored) signal(SIGHUP, SIG_IGN);
  if (options.streams_closed) {
    // wine starts no program at all without its standard input and output.
    if (!kWindowsBuild) close(STDIN_FILENO);
    close(STDOUT_FILENO);
  }
  if (kWindowsBuild) SetWineEnvironment();
  for (const std::string& setting : options.environment) putenv(const_cast<char*>(setting.c_str()));
  std::vector<std::string> words = CommandFor(program);
  words.insert(words.end(), args.begin(), args.end());
  if (!options.stdout_to.empty() || !options.stderr_to.empty()) {
    words = RedirectedByTheShell(words, options);
  }
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

// Returns a file open at its start holding text, for standard input: unlike a pipe it tells
// afterwards, by its position, how much of it was read.
int InputFile(const std::string& text) {
  char name[] = "/tmp/framepack-input-XXXXXX";
  const int fd = mkstemp(name);
  if (fd < 0) throw std::runtime_error("mkstemp");
  unlink(name);
  if (write(fd, text.data(), text.size()) != static_cast<ssize_t>(text.size()) ||
      lseek(fd, 0, SEEK_SET) != 0) {
    throw std::runtime_error("cannot write standard input");
  }
  return fd;
}

// The Windows build writes every line end as CR LF. Returns out with those as LF; a bare LF, which
// the Windows build must never write, is marked so that no comparison can pass.
std::string WithUnixLineEnds(const std::string& out) {
  std::string unix_out;
  for (size_t i = 0; i < out.size(); ++i) {
    if (out[i] == '\r' && i + 1 < out.size() && out[i + 1] == '\n') continue;
    if (out[i] == '\n' && (i == 0 || out[i - 1] != '\r')) unix_out += "<bare LF>";
    unix_out += out[i];
  }
  return unix_out;
}

}  // namespace

StartedRun StartProgram(const std::string& program, const std::vector<std::string>& args,
                        const std::string& folder, const RunOptions& options) {
  fflush(nullptr);
  const int input = InputFile(options.input);
  StartedRun run = {-1, -1, input, IsOurs(program)};
  if (options.on_terminal) {
    termios raw;
    cfmakeraw(&raw);
    run.pid = forkpty(&run.output, nullptr, &raw, nullptr);
    if (run.pid == 0) StartChild(program, args, folder, options, input);
  } else {
    int ends[2];
    if (pipe(ends) != 0) throw std::runtime_error("pipe");
    run.pid = fork();
    if (run.pid == 0) {
      setpgid(0, 0);
      if (options.output_closed) close(ends[0]);
      dup2(ends[1], STDOUT_FILENO);
      if (options.merge_stderr) dup2(ends[1], STDERR_FILENO);
      close(ends[0]);
      close(ends[1]);
      StartChild(program, args, folder, options, input);
    }
    if (run.pid > 0) setpgid(run.pid, run.pid);  // before any signal to the group is sent
    close(ends[1]);
    run.output = ends[0];
    if (options.output_closed) {
      close(ends[0]);
      run.output = -1;
    }
  }
  if (run.pid < 0) throw std::runtime_error("fork");
  return run;
}

RunResult FinishRun(const StartedRun& run) {
  RunResult result;
  if (run.output >= 0) {
    result.out = ReadAll(run.output);
    close(run.output);
  }
  if (kWindowsBuild && run.ours) result.out = WithUnixLineEnds(result.out);
  result.status = StatusOf(run.pid);
  result.input_read = static_cast<long>(lseek(run.input, 0, SEEK_CUR));
  close(run.input);
  return result;
}

RunResult RunProgram(const std::string& program, const std::vector<std::string>& args,
                     const std::string& folder, const RunOptions& options) {
  return FinishRun(StartProgram(program, args, folder, options));
}

std::string OurLines(const std::string& bytes) {
  return kWindowsBuild ? WithUnixLineEnds(bytes) : bytes;
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

// Returns nothing; takes away the immutable attribute the fake ffmpeg may have given the file.
void MakeDeletable(const char* path) {
  const int fd = open(path, O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
  int flags = 0;
  if (fd >= 0 && ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0 && (flags & FS_IMMUTABLE_FL)) {
    flags &= ~FS_IMMUTABLE_FL;
    ioctl(fd, FS_IOC_SETFLAGS, &flags);
  }
  if (fd >= 0) close(fd);
}

void RemoveAll(const std::string& path) {
  nftw(
      path.c_str(),
      [](const char* entry, const struct stat* st, int type, FTW*) {
        if (type == FTW_DP) return rmdir(entry);
        if (S_ISREG(st->st_mode)) MakeDeletable(entry);
        return unlink(entry);
      },
      64, FTW_DEPTH | FTW_PHYS);
}

std::string WhyNoUndeletableFiles() {
  if (kWindowsBuild) return "";
  const std::string probe = MakeTempFolder() + "/probe";
  WriteFile(probe, "");
  const int fd = open(probe.c_str(), O_RDONLY | O_CLOEXEC);
  int flags = 0;
  const bool made = fd >= 0 && ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0 &&
                    (flags |= FS_IMMUTABLE_FL, ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0);
  if (fd >= 0) close(fd);
  RemoveAll(probe.substr(0, probe.rfind('/')));
  return made ? ""
              : "no file here can be made immutable (root and a file system that keeps the "
                "attribute are needed): " +
                    std::string(strerror(errno));
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return "<missing>";
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

long long FileSize(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0 ? static_cast<long long>(st.st_size) : -1;
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

bool ProcessRunning(pid_t pid) {
  std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
  std::string line;
  if (!std::getline(stat, line)) return false;
  const size_t state = line.rfind(')');
  return state != std::string::npos && state + 2 < line.size() && line[state + 2] != 'Z';
}

std::vector<pid_t> ProcessesIn(const std::string& folder) {
  std::vector<pid_t> found;
  char real_folder[PATH_MAX];
  if (realpath(folder.c_str(), real_folder) == nullptr) return found;
  DIR* processes = opendir("/proc");
  while (const dirent* entry = processes == nullptr ? nullptr : readdir(processes)) {
    char cwd[PATH_MAX];
    const std::string link = std::string("/proc/") + entry->d_name + "/cwd";
    const ssize_t length = readlink(link.c_str(), cwd, sizeof cwd - 1);
    if (length > 0 && std::string(cwd, static_cast<size_t>(length)) == real_folder &&
        ProcessRunning(atoi(entry->d_name))) {
      found.push_back(atoi(entry->d_name));
    }
  }
  if (processes != nullptr) closedir(processes);
  return found;
}

pid_t FfmpegProcessIn(const std::string& folder) {
  for (const pid_t pid : ProcessesIn(folder)) {
    if (ReadFile("/proc/" + std::to_string(pid) + "/cmdline").rfind("lib\\ffmpeg.exe", 0) == 0) {
      return pid;
    }
  }
  return 0;
}

bool WaitFor(const std::function<bool()>& condition, double seconds) {
  for (int waited = 0; waited < seconds * 500; ++waited) {
    if (condition()) return true;
    usleep(2000);
  }
  return condition();
}

std::string HonestPack(const std::string& bytes) {
  if (bytes.empty()) return "";
  if (bytes.size() < 4) return "a pack of " + std::to_string(bytes.size()) + " bytes";
  auto u32 = [&](size_t at) {
    uint32_t value = 0;
    for (int i = 3; i >= 0; --i) value = (value << 8) | static_cast<unsigned char>(bytes[at + i]);
    return value;
  };
  const uint32_t count = u32(0);
  uint64_t complete = 0;
  for (size_t at = 4; at + 8 <= bytes.size() && u32(at + 4) == at; ++complete) {
    const uint64_t end = at + 8 + uint64_t{u32(at)};
    if (end > bytes.size()) break;
    at = static_cast<size_t>(end);
  }
  if (count <= complete) return "";
  return "the count promises " + std::to_string(count) + " frames, " + std::to_string(complete) +
         " are there";
}

bool MountSmallDisk(const std::string& folder, int megabytes, std::string* reason) {
  mkdir(folder.c_str(), 0755);
  const std::string size = "size=" + std::to_string(megabytes) + "m";
  if (mount("tmpfs", folder.c_str(), "tmpfs", 0, size.c_str()) == 0) return true;
  *reason = "a tmpfs cannot be mounted here: " + std::string(strerror(errno));
  return false;
}

int InterruptedStatus(int signal_number) { return kWindowsBuild ? 1 : 128 + signal_number; }

bool CatchableOnTarget(int signal_number) { return !kWindowsBuild || signal_number == SIGINT; }

std::vector<int> UncatchableOnTarget() {
  std::vector<int> signals = {SIGKILL};
  for (const int signal_number : {SIGTERM, SIGHUP, SIGQUIT}) {
    if (!CatchableOnTarget(signal_number)) signals.push_back(signal_number);
  }
  return signals;
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

std::string Record(uint32_t offset, const std::string& body) {
  return U32(static_cast<uint32_t>(body.size())) + U32(offset) + body;
}

void WorkFolderTest::SetUp() {
  folder_ = MakeTempFolder();
  mkdir(At("lib").c_str(), 0755);
}

void WorkFolderTest::TearDown() {
  // What a test mounted inside goes first, the deepest first.
  std::vector<std::string> mounted;
  std::ifstream mounts("/proc/self/mounts");
  for (std::string device, point, rest; mounts >> device >> point && std::getline(mounts, rest);) {
    if (point == folder_ || point.rfind(folder_ + "/", 0) == 0) mounted.push_back(point);
  }
  std::sort(mounted.rbegin(), mounted.rend());
  for (const std::string& point : mounted) umount2(point.c_str(), MNT_DETACH);
  RemoveAll(folder_);
}

StartedRun WorkFolderTest::Start(const std::vector<std::string>& args,
                                 const RunOptions& options) const {
  return StartProgram(FRAMEPACK_EXE, args, folder_, options);
}

RunResult WorkFolderTest::Convert(const std::vector<std::string>& args,
                                  const RunOptions& options) const {
  return RunProgram(FRAMEPACK_EXE, args, folder_, options);
}

RunResult WorkFolderTest::Inspect(const std::vector<std::string>& args) const {
  return RunProgram(INSPECT_EXE, args, folder_);
}

RunResult WorkFolderTest::Ffmpeg(const std::vector<std::string>& args) const {
  RunOptions options;
  options.quiet = true;
  return RunProgram(REAL_FFMPEG_EXE, args, folder_, options);
}

void WorkFolderTest::FakeFfmpeg(const std::vector<std::string>& lines) const {
  if (!Exists(At("lib/ffmpeg.exe"))) WriteFile(At("lib/ffmpeg.exe"), ReadFile(FAKE_FFMPEG_EXE));
  chmod(At("lib/ffmpeg.exe").c_str(), 0755);
  std::string script;
  for (const std::string& line : lines) script += line + "\n";
  WriteFile(At("fake.txt"), script);
}
