#include <fcntl.h>
#include <io.h>

#include "platform/standard_streams.h"

void OpenClosedStandardStreams() {
  for (int fd = 0; fd < 3; ++fd) {
    if (_get_osfhandle(fd) != -1) continue;
    const int null_device = _open("NUL", fd == 0 ? _O_RDONLY : _O_WRONLY);
    if (null_device >= 0 && null_device != fd) {
      _dup2(null_device, fd);
      _close(null_device);
    }
  }
}
