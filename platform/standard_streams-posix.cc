#include <fcntl.h>
#include <unistd.h>

#include "platform/standard_streams.h"

void OpenClosedStandardStreams() {
  for (int fd = 0; fd < 3; ++fd) {
    if (fcntl(fd, F_GETFD) >= 0) continue;
    // The lowest free descriptor is the closed one.
    const int null_device = open("/dev/null", fd == 0 ? O_RDONLY : O_WRONLY);
    if (null_device >= 0 && null_device != fd) {
      dup2(null_device, fd);
      close(null_device);
    }
  }
}
