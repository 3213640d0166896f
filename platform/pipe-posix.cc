#include <errno.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "platform/command_line-posix.h"
#include "platform/path-posix.h"
#include "platform/platform.h"

namespace {

// The read end of a command's output, read in text mode: a CR right before an LF is dropped.
struct TextPipe {
  int fd;
  bool held_cr;
};

// The children started by _popen, by stream, for _pclose to wait for.
std::vector<std::pair<FILE*, pid_t>> g_children;

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

}  // namespace

FILE* _popen(const char* command, const char* mode) {
  if (std::strcmp(mode, "r") != 0 && std::strcmp(mode, "rt") != 0) return nullptr;
  std::vector<std::string> arguments = SplitCommandLine(command);
  if (arguments.empty()) return nullptr;
  // The program sees its name as written, as on Windows.
  const std::string program = ToPosixPath(arguments[0].c_str());
  std::vector<char*> argv;
  for (std::string& argument : arguments) argv.push_back(&argument[0]);
  argv.push_back(nullptr);

  int ends[2];
  if (pipe2(ends, O_CLOEXEC) != 0) return nullptr;
  // The child reports a failed exec through this pipe; a successful exec closes it unwritten.
  int report[2];
  if (pipe2(report, O_CLOEXEC) != 0) {
    close(ends[0]);
    close(ends[1]);
    return nullptr;
  }
  const pid_t pid = fork();
  if (pid == 0) {
    if (ends[1] != STDOUT_FILENO) {
      dup2(ends[1], STDOUT_FILENO);
    } else {
      fcntl(STDOUT_FILENO, F_SETFD, 0);
    }
    execvp(program.c_str(), argv.data());
    const int error = errno;
    ssize_t ignored = write(report[1], &error, sizeof error);
    (void)ignored;
    _exit(127);
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
  if (pid < 0 || got > 0) {
    close(ends[0]);
    if (pid > 0) waitpid(pid, nullptr, 0);
    return nullptr;
  }

  cookie_io_functions_t functions = {ReadText, nullptr, nullptr, CloseText};
  TextPipe* text = new TextPipe{ends[0], false};
  FILE* stream = fopencookie(text, "r", functions);
  if (stream == nullptr) {
    CloseText(text);
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
    return nullptr;
  }
  g_children.emplace_back(stream, pid);
  return stream;
}

int _pclose(FILE* stream) {
  pid_t pid = -1;
  for (auto it = g_children.begin(); it != g_children.end(); ++it) {
    if (it->first == stream) {
      pid = it->second;
      g_children.erase(it);
      break;
    }
  }
  if (pid < 0) return -1;
  fclose(stream);
  int status = 0;
  while (waitpid(pid, &status, 0) < 0) {
    if (errno != EINTR) return -1;
  }
  if (WIFEXITED(status)) return WEXITSTATUS(status);
  if (WIFSIGNALED(status)) return 128 + WTERMSIG(status);
  return -1;
}
