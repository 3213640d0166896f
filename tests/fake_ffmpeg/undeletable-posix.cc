#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include "tests/fake_ffmpeg/undeletable.h"

bool MakeUndeletable(const std::string& path) {
  const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  int flags = 0;
  const bool made = ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0 &&
                    (flags |= FS_IMMUTABLE_FL, ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0);
  close(fd);
  return made;
}
