// A library preloaded into framepack in which every flock fails with ENOLCK, as on a file system
// that keeps no locks.
#include <errno.h>
#include <sys/file.h>

extern "C" int flock(int, int) {
  errno = ENOLCK;
  return -1;
}
