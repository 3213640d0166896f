#include <errno.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <string>
#include <vector>

#include "platform/command.h"
#include "platform/command_line-posix.h"
#include "platform/path-posix.h"

namespace {

// The read end of a command's output, read in text mode: a CR right before an LF is dropped.
struct TextPipe {
  int fd;
  bool held_cr;
};

std::atomic<pid_t> g_child{0};
static_assert(std::atomic<pid_t>::is_always_lock_free, "read in a signal handler");

ssize_t ReadText(void* cookie, char* out, size_t size) {
  TextPipe* pipe = static_cast<TextPipe*>(cookie);
  char raw[4096];
  for (;;) {
    const size_t want = std::min(sizeof raw, size > 1 ? size - 1 : size_t{1});
    const ssize_t got = read(pipe->fd, raw, want);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) return -1;
    size_t written = 0;
    if (got == 0) {
      if (pipe->held_cr) out[written++] = '\r';
      pipe->held_cr = false;
      return static_cast<ssize_t>(written);
    }
    if (pipe->held_cr && raw[0] != '\n') out[written++] = '\r';
    pipe->held_cr = false;
    for (ssize_t i = 0; i < got; ++i) {
      if (raw[i] != '\r') {
        out[written++] = raw[i];
      } else if (i + 1 == got) {
        pipe->held_cr = true;
      } else if (raw[i + 1] != '\n') {
        out[written++] = '\r';
      }
    }
    if (written > 0) return static_cast<ssize_t>(written);
  }
}

int CloseText(void* cookie) {
  TextPipe* pipe = static_cast<TextPipe*>(cookie);
  const int result = close(pipe->fd);
  delete pipe;
  return result;
}

// Returns the status the child ended with, as FinishCommand reports it.
int Reap(pid_t pid) {
  int status = 0;
  while (waitpid(pid, &status, 0) < 0) {
    if (errno != EINTR) return -1;
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// Runs in the child: becomes the command or reports why not through report; never returns.
[[noreturn]] void BecomeCommand(const std::string& program, std::vector<char*>& argv, int output,
                                int report, pid_t parent) {
  // Killed with framepack, however framepack ends; if framepack has ended already, end now.
  prctl(PR_SET_PDEATHSIG, SIGKILL);
  if (getppid() != parent) _exit(127);
  // A process group of its own holds whatever it starts in turn, so that all of it can be ended
  // at once. Its writes to a terminal must not stop it for being in the background.
  setpgid(0, 0);
  signal(SIGTTOU, SIG_IGN);
  const int null_input = open("/dev/null", O_RDONLY);
  if (null_input < 0 || dup2(null_input, STDIN_FILENO) < 0 || dup2(output, STDOUT_FILENO) < 0) {
    const int error = errno;
    ssize_t ignored = write(report, &error, sizeof error);
    (void)ignored;
    _exit(127);
  }
  execv(program.c_str(), argv.data());
  const int error = errno;
  ssize_t ignored = write(report, &error, sizeof error);
  (void)ignored;
  _exit(127);
}

}  // namespace

FILE* StartCommand(const char* command_line) {
  std::vector<std::string> arguments = SplitCommandLine(command_line);
  if (arguments.empty()) return nullptr;
  // The program sees its name as written, as on Windows.
  const std::string program = ToPosixPath(arguments[0].c_str());
  std::vector<char*> argv;
  for (std::string& argument : arguments) argv.push_back(&argument[0]);
  argv.push_back(nullptr);

  int ends[2];
  if (pipe2(ends, O_CLOEXEC) != 0) return nullptr;
  // The child reports a failed start through this pipe; a successful exec closes it unwritten.
  int report[2];
  if (pipe2(report, O_CLOEXEC) != 0) {
    close(ends[0]);
    close(ends[1]);
    return nullptr;
  }
  const pid_t parent = getpid();
  const pid_t pid = fork();
  if (pid == 0) BecomeCommand(program, argv, ends[1], report[1], parent);
  if (pid > 0) {
    setpgid(pid, pid);  // as the child does, so that no signal finds it in ours
    g_child = pid;
  }
  close(ends[1]);
  close(report[1]);
  int exec_error = 0;
  ssize_t got = 0;
  if (pid > 0) {
    do {
      got = read(report[0], &exec_error, sizeof exec_error);
    } while (got < 0 && errno == EINTR);
  }
  close(report[0]);
  cookie_io_functions_t functions = {ReadText, nullptr, nullptr, CloseText};
  TextPipe* text = pid < 0 || got > 0 ? nullptr : new TextPipe{ends[0], false};
  FILE* stream = text == nullptr ? nullptr : fopencookie(text, "r", functions);
  if (stream == nullptr) {
    if (text != nullptr) {
      CloseText(text);
    } else {
      close(ends[0]);
    }
    if (pid > 0) {
      StopCommand();
      Reap(pid);
      g_child = 0;
    }
  }
  return stream;
}

int FinishCommand(FILE* stream) {
  fclose(stream);
  const pid_t pid = g_child;
  const int status = pid > 0 ? Reap(pid) : -1;
  // Whatever the command started and left running goes with it.
  if (pid > 0) kill(-pid, SIGKILL);
  g_child = 0;
  return status;
}

void StopCommand() {
  const pid_t pid = g_child;
  if (pid > 0) kill(-pid, SIGKILL);
}
