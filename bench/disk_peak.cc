// Runs a command and reports the most room it took on the file system of a folder: the largest
// rise in used bytes seen while it ran, sampled as fast as the system answers.
// Usage: disk_peak FOLDER COMMAND [ARGUMENT...]; prints "PEAK_BYTES EXIT_STATUS".
#include <sys/statvfs.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>

namespace {

// Returns the bytes in use on the file system that holds folder.
uint64_t UsedBytes(const char* folder) {
  struct statvfs info;
  if (statvfs(folder, &info) != 0) return 0;
  return static_cast<uint64_t>(info.f_blocks - info.f_bfree) * info.f_frsize;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    fprintf(stderr, "usage: disk_peak FOLDER COMMAND [ARGUMENT...]\n");
    return 2;
  }
  const uint64_t before = UsedBytes(argv[1]);
  uint64_t peak = before;
  const pid_t pid = fork();
  if (pid == 0) {
    execvp(argv[2], argv + 2);
    _exit(127);
  }
  int status = 0;
  while (waitpid(pid, &status, WNOHANG) == 0) {
    const uint64_t used = UsedBytes(argv[1]);
    if (used > peak) peak = used;
  }
  printf("%llu %d\n", static_cast<unsigned long long>(peak - before),
         WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status));
  return 0;
}
